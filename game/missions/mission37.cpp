// Mission rows 37 and 11. Row 37 chases the player's craft with spores from level 0 through
// level 3 to level 6, where row 38 takes over; spores that join it are kept on a leash near
// the player. Row 11 sends the player into the city for equipment, to a target post and to
// the passage into level 1, where row 12 takes over.
#include "game/missions/mission37.h"

#include <initializer_list>

#include "engine/core/camera.h"
#include "engine/core/matrix.h"
#include "engine/world/random.h"
#include "game/creatures/subai.h"
#include "game/frontend/hud.h"
#include "game/missions/missions.h"
#include "game/missions/routepoint.h"
#include "game/missions/rowkit.h"
#include "game/missions/scriptkit.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/player/loadout.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"
#include "shell/frametimer.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"

MV2Mission37State gMV2Mission37;
MV2Mission11State gMV2Mission11;

namespace {

constexpr int32_t kRow37 = 37, kRow11 = 11;
constexpr int32_t kLargeSpore = 353, kSmallSpore = 354;
constexpr uint32_t kConsoleObject = 0x00200005;

MV2Mission37State& S() {
    return gMV2Mission37;
}

bool Idle() {
    return MV2MissionHudMessagesFinished() && MV2MissionMessagesDone();
}

TvV3d PositionOf(uint32_t id, const TvV3d& otherwise) {
    MV2Object* object = MV2RowFind(id);
    return object ? object->matrix->pos : otherwise;
}

MV2Object* Boss() {
    return MV2ScriptLive(S().boss);
}

// The player's craft at least 18 units above the home point, outside level 3.
bool HighAboveHome(MV2Object* player) {
    return player && !S().inLevel3 && player->matrix->pos.y >= S().home.y + 18.0f;
}

void Timer37(int32_t event, int32_t ms) {
    MV2MissionSetTimer(kRow37, event, ms);
}

// One spore on the route from the player towards the spawn point (or, in level 3, towards
// object 0x03000002), else at the spawn point when the main camera sees it.
void SpawnStep() {
    if (S().chaseOver) return;
    Timer37(261, 700 + (TvRandom() & 511));
    if (S().sporeWeight >= 11) return;
    MV2Object* player = MV2RowPlayer();
    MV2Object* sub = MV2GetPlayerSub();
    TvV3d point{};
    bool found = false;
    const float reach = 30.0f - 3.0f;
    const bool belowCeiling = S().inLevel3 && sub && sub->matrix->pos.y < S().ceiling.y;
    if (player && !(belowCeiling && (TvRandom() & 3) == 0))
        found = MV2FindRoutePointAtDistance(&S().spawn, &reach, &point) != 0;
    if (!found && S().inLevel3 && player)
        if (MV2Object* far = MV2RowFind(0x03000002)) {
            const TvV3d goal = far->matrix->pos;
            found = MV2FindRoutePointAtDistance(&goal, &reach, &point) != 0;
        }
    if (!found) {
        const TvSphere sphere{S().spawn, 0.5f};
        if (!gMV2MainCamera || !TvCameraFrustumTestSphere(gMV2MainCamera, &sphere)) return;
        point = S().spawn;
    }
    MV2CreateObject((TvRandom() & 1) ? kLargeSpore : kSmallSpore, &point.x, nullptr);
}

// A message timer: waits in 200-ms steps while messages are busy.
void IdleMessage(int32_t event, uint32_t id, bool when) {
    if (!Idle()) {
        Timer37(event, 200);
        return;
    }
    if (when) MV2PlayMissionMessage(id);
}

void Timer37Message(int32_t message) {
    MV2Object* player = MV2RowPlayer();
    switch (message) {
    case 256:
        if (player && HighAboveHome(player)) Timer37(256, 500);
        else if (player) Timer37(262, 1);
        else Timer37(256, 500);
        break;
    case 257: {
        if (S().chaseStarted) break;
        const TvV3d d = player ? TvV3dSub(player->matrix->pos, S().home) : TvV3d{1e10f, 0, 0};
        if (MV2RowNow() - S().chaseStartMs < 60001 && TvV3dDot(d, d) >= 13225.0f) {
            Timer37(257, 880);
            break;
        }
        Timer37(263, 1);
        Timer37(264, 35000);
        Timer37(260, 60000);
        break;
    }
    case 258:
        if (S().inLevel3 && player && Boss() && MV2RowDistanceSquared(player, Boss()) < 100.0f) {
            Timer37(258, int32_t(MV2PlayMissionMessage(1350)));
            break;
        }
        Timer37(258, 990);
        break;
    case 259:
        if (S().inLevel3 && player && player->matrix->pos.y < S().ceiling.y) {
            MV2PlayMissionMessage(1351);
            break;
        }
        Timer37(259, 1095);
        break;
    case 260:
        if (S().chaseStarted) break;
        S().chaseStarted = 1;
        S().chaseTrack = 14;
        MV2PlayMusicTrack(14);
        if (!S().inLevel3) {
            Timer37(265, 1);
            Timer37(266, 35000);
        }
        SpawnStep();
        break;
    case 261: SpawnStep(); break;
    case 262: IdleMessage(262, 1349, !S().inLevel3); break;
    case 263: IdleMessage(263, 1347, !S().inLevel3); break;
    case 264: IdleMessage(264, 1353, player && HighAboveHome(player)); break;
    case 265: IdleMessage(265, 1348, !S().inLevel3); break;
    case 266: IdleMessage(266, 1354, !S().inLevel3); break;
    default: break;
    }
}

void LevelChanged37(uint32_t levelId) {
    switch (levelId >> 24) {
    case 3: {
        S().inLevel3 = 1;
        MV2SpawnLevelRecord(0x030DFFFF, kRow37);
        S().spawn = PositionOf(0x03000010, S().spawn);
        S().ceiling = PositionOf(0x030D0002, S().ceiling);
        MV2ScriptKeep(S().boss, MV2RowFind(0x030D0001));
        MV2Object* boss = Boss();
        if (MV2Object* player = MV2RowPlayer(); boss && player) {
            float far = 99999.0f;
            MV2ObjectSendMessage(boss, 33, 0, reinterpret_cast<intptr_t>(player));
            MV2ObjectSendMessage(boss, 79, 0, reinterpret_cast<intptr_t>(&far));
            MV2ObjectSendMessage(boss, 0, 1, 0);
        }
        Timer37(260, 20000);
        break;
    }
    case 6:
        S().chaseOver = 1;
        for (int32_t e : {8, 15, 18})
            MV2MissionRemoveNotify(kRow37, e);
        MV2MissionRestart(38);
        break;
    case 0:
        S().inLevel3 = 0;
        MV2HudSetObjective(MV2RowFind(0x00040264));
        S().spawn = PositionOf(0x00040264, S().spawn);
        break;
    default: S().inLevel3 = 0; break;
    }
}

void Event37(intptr_t event, intptr_t b, MV2Object* object) {
    switch (event) {
    case 13:
        MV2MissionRemoveNotify(kRow37, 13);
        MV2SelectSub(328);
        MV2MissionInstallNotify(kRow37, 8);
        break;
    case 8:
        if (S().chaseTrack == -1) {
            S().chaseTrack = 6;
            MV2PendingMission = 0;
            MV2SetLevelGates(0x03FFFFFF, 1);
            MV2MissionInstallNotify(kRow37, 15);
            MV2MissionInstallNotify(kRow37, 18);
            MV2MissionBegin(kRow37, 1);
            MV2PlayMissionMessage(1346);
            MV2HudSetObjective(MV2RowFind(0x00040264));
            S().chaseStartMs = MV2RowNow();
            Timer37(256, 10000);
            Timer37(257, 10000);
            Timer37(258, 20000);
            Timer37(259, 20000);
        }
        MV2AddMusicTrack(S().chaseTrack, 1);
        MV2StartMusic();
        break;
    case 15: LevelChanged37(uint32_t(b)); break;
    case 18:
        if (!object) break;
        MV2MissionAttachObject(kRow37, object);
        if (MV2Object* player = MV2RowPlayer())
            MV2ObjectSendMessage(object, 33, 0, reinterpret_cast<intptr_t>(player));
        object->typeHandler = MV2SporeLeashHandler;
        S().sporeWeight += MV2RowType(object) == kLargeSpore ? 2 : 1;
        break;
    default: break;
    }
}

// Row 11.

MV2Mission11State& E() {
    return gMV2Mission11;
}

MV2Object* Beacon() {
    return MV2ScriptLive(E().beacon);
}

void BeaconObjective() {
    if (MV2Object* beacon = Beacon()) MV2LockTarget(beacon, 10.0f, 0, kRow11);
}

void Timer11(int32_t event, int32_t ms) {
    MV2MissionSetTimer(kRow11, event, ms);
}

// The hook on the console object: installed only when not already in place.
void InstallConsoleHook() {
    MV2Object* console = MV2RowFind(kConsoleObject);
    if (!console || console->typeHandler == MV2Mission11ConsoleHook) return;
    E().savedHandler = console->typeHandler;
    console->typeHandler = MV2Mission11ConsoleHook;
}

void Reminder11(int32_t event, uint32_t flag, uint32_t id) {
    if (E().level1Reached || flag) return;
    if (!Idle()) {
        Timer11(event, 500);
        return;
    }
    MV2PlayMissionMessage(id);
    if (event == 260) MV2LockNearestTarget();
    if (event == 262) BeaconObjective();
    Timer11(event, 80000);
}

void OrderEscortGuard(MV2Object* craft, MV2Object* post) {
    MV2SubAIOrderGuard(craft, post, 3, kMV2AnyCategory, 56, 10.0f);
}

} // namespace

intptr_t MV2SporeLeashHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    const MV2ObjectHandler own = MV2GetObjectTypeHandler(MV2RowType(object));
    if (message == 2) {
        MV2Object* sub = MV2GetPlayerSub();
        if (sub && MV2RowDistanceSquared(sub, object) > 31.0f * 31.0f) {
            object->typeHandler = own;
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
        const int32_t chance = int32_t(gMV2FrameTimer.ticks * 819.0f);
        if ((TvRandom() & 4095) < chance && own) {
            MV2Object* target = sub;
            MV2Object* boss = Boss();
            if (boss && (TvRandom() & 1) && MV2RowDistanceSquared(boss, object) < 100.0f)
                target = boss;
            own(object, 33, 0, reinterpret_cast<intptr_t>(target));
        }
    }
    return own ? own(object, message, p1, p2) : MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2Mission11ConsoleHook(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    MV2ObjectHandler saved = E().savedHandler;
    if (!saved) saved = MV2GetObjectTypeHandler(MV2RowType(object));
    if (message == 2 && MV2RowPlayer() && (MV2GetPlayerControlState() & 2)) {
        MV2PlayMissionMessage(988);
        object->typeHandler = saved;
        E().savedHandler = nullptr;
    }
    return saved ? saved(object, message, p1, p2) : MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2Mission11RemoveConsoleHook() {
    MV2Object* console = MV2RowFind(kConsoleObject);
    if (console && console->typeHandler == MV2Mission11ConsoleHook)
        console->typeHandler = E().savedHandler ? E().savedHandler
                                                : MV2GetObjectTypeHandler(MV2RowType(console));
    E().savedHandler = nullptr;
}

int32_t MV2Mission37Script(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart:
        S() = {};
        S().chaseTrack = -1;
        S().home = PositionOf(0x00040246, S().home);
        S().spawn = PositionOf(0x00040264, S().spawn);
        MV2MissionInstallNotify(kRow37, 13);
        MV2SelectWallSet(17);
        MV2PendingMission = 52;
        break;
    case kMV2ScriptEvent: Event37(a, b, object); break;
    case 10: // a mission object destroyed
        if (MV2RowType(object) == kLargeSpore) S().sporeWeight -= 2;
        else if (MV2RowType(object) == kSmallSpore) S().sporeWeight -= 1;
        break;
    default:
        if (message < 256 || message > 266) break;
        if (gMV2GameState.current == 12) {
            // Nothing happens during cut-scenes: the timer only comes back.
            static const int32_t kPeriods[11] = {500, 880, 990, 1095, 1000, 700, 200, 200, 200, 200, 200};
            Timer37(message, kPeriods[message - 256]);
            break;
        }
        Timer37Message(message);
        break;
    }
    return 1;
}

int32_t MV2Mission11Script(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    switch (message) {
    case kMV2ScriptStart:
        if (MV2Object* post = MV2RowFind(0x000400FA)) {
            const TvV3d at = post->matrix->pos;
            if (MV2Object* craft = MV2CreateObject(0, &at.x, nullptr)) {
                MV2ObjectSendMessage(craft, 29, 0, reinterpret_cast<intptr_t>(MV2SubAIBrain));
                OrderEscortGuard(craft, post);
                MV2ObjectSendMessage(craft, 0, 1, 0);
                MV2ScriptKeep(E().escort, craft);
            }
        }
        [[fallthrough]];
    case kMV2ScriptRestart: {
        MV2SetLevelGates(0x01FFFFFF, 1);
        E().cityEntered = E().targetDestroyed = E().level1Reached = 0;
        MV2MissionInstallNotify(kRow11, 15);
        if (MV2Object* target = MV2RowFind(0x00040263)) {
            MV2MissionAttachObject(kRow11, target);
            const TvV3d at = target->matrix->pos;
            MV2ScriptKeep(E().beacon, MV2CreateObject(42, &at.x, nullptr));
        }
        MV2MissionBegin(kRow11, 1);
        break;
    }
    case kMV2ScriptShutdown: MV2Mission11RemoveConsoleHook(); break;
    case kMV2ScriptBegin: {
        const int32_t d = int32_t(MV2PlayMissionMessage(973));
        const int32_t t = MV2MissionQueueMessage(kRow11, 974, d);
        Timer11(256, MV2MissionQueueMessage(kRow11, 975, t));
        break;
    }
    case kMV2ScriptEvent:
        if (a == 7) {
            E().cityEntered = 1;
            MV2SetEquipmentLevel(25);
            MV2MissionRemoveNotify(kRow11, 7);
            MV2MissionInstallNotify(kRow11, 8);
            MV2SpawnLevelRecord(0x0020FFFF, kRow11);
            InstallConsoleHook();
        } else if (a == 8) {
            MV2MissionRemoveNotify(kRow11, 8);
            Timer11(257, 2500);
        } else if (a == 15 && (uint32_t(b) >> 24) == 1) {
            MV2MissionRemoveNotify(kRow11, 15);
            E().level1Reached = 1;
            MV2MissionRestart(12);
        }
        break;
    case 10:
        if (object && uint32_t(object->scriptId) == 0x00040263) {
            E().targetDestroyed = 1;
            MV2MissionQueueMessage(kRow11, 983, 1500);
            Timer11(262, 30000);
        }
        break;
    case 256:
        MV2PlayMissionMessage(976);
        MV2MissionInstallNotify(kRow11, 7);
        MV2LockNearestTarget();
        if (MV2Object* escort = MV2ScriptLive(E().escort)) MV2SubAIOrderCityRoute(escort, 1);
        Timer11(260, 120000);
        break;
    case 257:
        MV2PlayMissionMessage(978);
        Timer11(261, 120000);
        Timer11(259, 1000);
        BeaconObjective();
        break;
    case 259:
        if (E().level1Reached) break;
        if (!MV2IsNearObjectA(MV2RowPlayer())) {
            Timer11(259, 2020);
            break;
        }
        MV2PlayMissionMessage(986);
        BeaconObjective();
        Timer11(259, 20000);
        break;
    case 260: Reminder11(260, E().cityEntered, 977); break;
    case 261: Reminder11(261, E().targetDestroyed, 981); break;
    case 262: Reminder11(262, 0, 984); break;
    case 1001: {
        MV2Object* post = MV2RowFind(0x000400FA);
        if (!post) break;
        MV2Object* craft = MV2CityLaunchCraft(0, 1, MV2RowFind(0x0002001F));
        MV2ScriptKeep(E().escort, craft);
        if (!craft) break;
        OrderEscortGuard(craft, post);
        MV2ObjectSendMessage(craft, 0, 1, 0);
        if (MV2SubAIPushCommand(craft)) MV2SubAISetGoTo(craft, post, 5.0f);
        if (MV2SubAIPushCommand(craft)) MV2SubAIPlaceOnCityRoute(craft, 1);
        break;
    }
    default: break;
    }
    return 1;
}
