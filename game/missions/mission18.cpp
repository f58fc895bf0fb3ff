// Mission row 18: a carrier craft with four guards travels fifteen stages, stopping to sweep a
// beam from post to post and burn a target; friendly craft A escorts the player to a meeting
// post. Destroying the carrier and then every guard wins; the end of the last sweep loses.
#include "game/missions/mission18.h"

#include <initializer_list>

#include "engine/core/matrix.h"
#include "engine/world/random.h"
#include "game/creatures/subai.h"
#include "game/effects/beams.h"
#include "game/effects/explosions.h"
#include "game/frontend/hud.h"
#include "game/frontend/missionmap.h"
#include "game/missions/missions.h"
#include "game/missions/routepoint.h"
#include "game/missions/rowkit.h"
#include "game/missions/scriptkit.h"
#include "game/objects/levels.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"
#include "shell/gamestate.h"

const MV2Mission18Stage kMV2Mission18Stages[kMV2Mission18StageCount] = {
    {0x00110002, 0x00110003, 0x00110004, 5000, 0},
    {0x00110005, 0x00110006, 0x00110007, 2250, 0x004C0008},
    {0x00110008, 0x0011000A, 0x00110009, 2250, 0x004C0007},
    {0x0011000B, 0x0011000C, 0x0011000D, 2250, 0x004C0006},
    {0x0011000E, 0x0011000F, 0x00110010, 5600, 0},
    {0x00110011, 0x00110012, 0x00110013, 7000, 0},
    {0x00110027, 0x00110029, 0x00110028, 1800, 0},
    {0x00110026, 0, 0, 0, 0},
    {0x00110014, 0x00110015, 0x00110016, 2250, 0x00510000},
    {0x00110017, 0x00110018, 0x00110019, 5600, 0},
    {0x0011001A, 0x0011001B, 0x0011001C, 2250, 0x00510002},
    {0x0011001D, 0x0011001F, 0x0011001E, 2250, 0x00510001},
    {0x0011002A, 0x0011002B, 0x0011002C, 1800, 0},
    {0x00110020, 0x00110021, 0x00110022, 5600, 0},
    {0x00110023, 0x00110024, 0x00110025, 7000, 0},
};

MV2Mission18State gMV2Mission18;

namespace {

constexpr int32_t kRow = 18;
constexpr int32_t kGuardType = 56, kCarrierType = 70, kBurnTargetType = 169;
constexpr int32_t kCarrierSound = 68;

// Guard places in the carrier's frame: right, up and at components.
const TvV3d kGuardOffsets[kMV2Mission18Guards] = {{2, 0, 0}, {-2, 0, 0}, {0, 2, 0}, {0, 0, -2}};

MV2Mission18State& S() {
    return gMV2Mission18;
}

void Timer(int32_t event, int32_t ms) {
    MV2MissionSetTimer(kRow, event, ms);
}

MV2Object* Carrier() {
    return S().carrierDestroyed ? nullptr : MV2ScriptLive(S().carrier);
}

MV2Object* Guard(int32_t i) {
    return MV2ScriptLive(S().guards[i]);
}

MV2Object* Escort() {
    return MV2GetMissionObjectA();
}

MV2Object* Post() {
    return MV2ScriptLive(S().meetingPost);
}

float InitialEnergy(MV2Object* object) {
    return object && object->type ? MV2TypeFloat(object->type, 1) : 0.0f;
}

void Passivity(MV2Object* craft, int32_t value) {
    if (MV2SubAIData* data = MV2GetSubAIData(craft)) data->passivity = value;
}

int32_t PassivityOf(MV2Object* craft) {
    MV2SubAIData* data = MV2GetSubAIData(craft);
    return data ? data->passivity : 0;
}

void GuardCarrier(MV2Object* guard) {
    MV2SubAIOrderGuard(guard, Carrier(), 2, kMV2AnyCategory, 1, 10.0f);
}

float HorizontalDistanceSquared(MV2Object* a, MV2Object* b) {
    const float dx = a->matrix->pos.x - b->matrix->pos.x;
    const float dz = a->matrix->pos.z - b->matrix->pos.z;
    return dx * dx + dz * dz;
}

void MoveStep() {
    MV2Object* carrier = Carrier();
    if (S().stageIndex >= kMV2Mission18StageCount || !carrier) return;
    MV2Object* waypoint = MV2RowFind(kMV2Mission18Stages[S().stageIndex].waypoint);
    MV2SubAIOrderMoveDirect(carrier, waypoint);
    MV2ScriptKeep(S().waypoint, waypoint);
    if (S().stageIndex % 5 == 0)
        for (int32_t i = 0; i < kMV2Mission18Guards; ++i)
            if (MV2Object* guard = Guard(i))
                if (PassivityOf(guard) < 10) GuardCarrier(guard);
}

void Begin() {
    if (MV2Object* start = MV2RowFind(0x00110000)) {
        MV2Object* carrier = MV2CreateObject(kCarrierType, &start->matrix->pos.x, nullptr);
        MV2ScriptKeep(S().carrier, carrier);
        if (carrier) {
            MV2MissionAttachObject(kRow, carrier);
            Passivity(carrier, 10);
            const TvMatrix& m = *carrier->matrix;
            for (int32_t i = 0; i < kMV2Mission18Guards; ++i) {
                const TvV3d& o = kGuardOffsets[i];
                const TvV3d at = TvV3dAdd(
                    m.pos, TvV3dAdd(TvV3dScale(m.right, o.x), TvV3dAdd(TvV3dScale(m.up, o.y), TvV3dScale(m.at, o.z))));
                MV2Mission18SpawnGuard(i, at);
            }
            Timer(265, 2200);
        }
    } else {
        S().carrier = {};
        for (MV2ObjectRef& ref : S().guards)
            ref = {};
    }
    Timer(260, 1000);
    const int32_t d = int32_t(MV2PlayMissionMessage(1267));
    Timer(257, d);
    Timer(258, MV2MissionQueueMessage(kRow, 1268, d));
    MoveStep();
}

void Arrival() {
    MV2Object* carrier = Carrier();
    MV2Object* waypoint = MV2ScriptLive(S().waypoint);
    if (!carrier || !waypoint) return;
    if (MV2RowDistanceSquared(carrier, waypoint) >= 16.0f) {
        Timer(260, 1000);
        return;
    }
    if (!S().arrivedOnce) {
        S().arrivedOnce = 1;
        MV2MissionQueueMessage(kRow, 1271, int32_t(MV2PlayMissionMessage(1270)));
        if (MV2Object* a = Escort()) {
            MV2ObjectSendMessage(a, 21, 21, 0);
            MV2ObjectSendMessage(a, 21, 0, 0);
            MV2SubAIOrderGoTo(a, Post(), 40.0f);
        }
        Timer(263, 3000);
    }
    Timer(261, 1);
}

void StageAction() {
    if (S().stageIndex >= kMV2Mission18StageCount) return;
    const MV2Mission18Stage& stage = kMV2Mission18Stages[S().stageIndex];
    if (!stage.startPost) {
        if (++S().stageIndex < kMV2Mission18StageCount) {
            Timer(256, 1);
            Timer(260, 1000);
        }
        return;
    }
    MV2Object* carrier = Carrier();
    MV2Object* from = MV2RowFind(stage.startPost);
    MV2Object* to = MV2RowFind(stage.endPost);
    if (!carrier || !from || !to) return;
    S().beamStart = S().beamEnd = from->matrix->pos;
    S().beamDelta = TvV3dSub(to->matrix->pos, from->matrix->pos);
    S().stageStartMs = MV2RowNow();
    S().stageTimeMs = stage.sweepMs;
    S().beamId = MV2CreateBeam(carrier, &S().beamEnd, 0.6f, 0, 327);
    MV2StartObjectSound(carrier, kCarrierSound, &S().carrierSound, 0, 10000);
    S().burnTarget = {};
    if (stage.target)
        if (MV2Object* target = MV2RowFind(stage.target)) {
            MV2ScriptKeep(S().burnTarget, target);
            target->energy *= 0.5f;
        }
    Timer(262, 1);
    if (++S().stageIndex < kMV2Mission18StageCount) Timer(256, stage.sweepMs * 4 / 5);
}

void Lost() {
    S().missionOver = 1;
    MV2HudSetObjective(nullptr);
    MV2HudShowResultBanner(0);
    S().musicOnConsole = 0;
    MV2FadeMusic(0.0f, 3.0f);
    MV2MissionRemoveNotify(kRow, 8);
    MV2FriendlyFireTrigger(1281);
}

void Sweep() {
    const float t = S().stageTimeMs > 0 ? float(int32_t(MV2RowNow() - S().stageStartMs)) / float(S().stageTimeMs)
                                        : 2.0f;
    if (t <= 1.0f) {
        S().beamEnd = TvV3dAdd(S().beamStart, TvV3dScale(S().beamDelta, t));
        if (t > 0.9f)
            if (MV2Object* target = MV2ScriptLive(S().burnTarget)) {
                target->energy = -1.0f;
                S().burnTarget = {};
            }
        if (S().carrierSoundOn)
            if (MV2Object* carrier = Carrier())
                MV2StartObjectSound(carrier, kCarrierSound, &S().carrierSound, 0, 10000);
        Timer(262, 1);
        return;
    }
    if (S().beamId) MV2RemoveBeam(S().beamId);
    if (MV2Object* carrier = MV2ScriptLive(S().carrier)) MV2StopObjectSound(carrier, kCarrierSound, &S().carrierSound);
    S().beamId = 0;
    if (S().missionOver) return;
    if (S().stageIndex >= kMV2Mission18StageCount) Lost();
    else Timer(260, 500);
}

bool NearCarrierGroup(MV2Object* craft) {
    if (HorizontalDistanceSquared(craft, Carrier()) < 2500.0f) return true;
    for (int32_t i = 0; i < kMV2Mission18Guards; ++i)
        if (MV2Object* guard = Guard(i))
            if (HorizontalDistanceSquared(craft, guard) < 2500.0f) return true;
    return false;
}

void EscortCheck() {
    MV2Object* sub = MV2GetPlayerSub();
    MV2Object* a = S().escortLeft ? nullptr : Escort();
    if (sub) {
        if (Carrier()) {
            if (NearCarrierGroup(sub)) {
                MV2AddMusicTrack(13, 0);
                MV2StartMusic();
                S().musicOnConsole = 1;
                MV2PlayMissionMessage(1275);
                MV2HudSetObjective(nullptr);
                if (!S().escortLeft) Timer(264, 3000);
                return;
            }
            if (a && NearCarrierGroup(a)) {
                MV2PlayMissionMessage(1276);
                S().escortLeft = 1;
                Timer(264, 3000);
            }
        }
        if (MV2Object* post = Post())
            if (MV2RowDistanceSquared(sub, post) < 400.0f || (a && MV2RowDistanceSquared(a, post) < 400.0f)) {
                MV2PlayMissionMessage(1274);
                Timer(264, 3000);
                return;
            }
        S().searchMs += 3000;
        if (S().searchMs == 150000) MV2PlayMissionMessage(1273);
    }
    Timer(263, 3000);
}

void EscortFights() {
    MV2Object* a = Escort();
    if (!a) return;
    if (a->energy < 0.1f * InitialEnergy(a)) {
        MV2PlayMissionMessage(1277);
        S().escortWentHome = 1;
        MV2SubAIOrderCityRoute(a, 3);
        return;
    }
    MV2Object* nearest = nullptr;
    float best = 0.0f;
    for (int32_t i = 0; i < kMV2Mission18Guards; ++i)
        if (MV2Object* guard = Guard(i)) {
            const float d = MV2RowDistanceSquared(a, guard);
            if (!nearest || d < best) nearest = guard, best = d;
        }
    if (!nearest) nearest = Carrier();
    if (nearest) MV2SubAIOrderAttack(a, nearest, 1);
    Timer(264, 10000);
}

void GuardLeash() {
    MV2Object* carrier = Carrier();
    if (!carrier) {
        bool onPlayer = true;
        for (int32_t i = 0; i < kMV2Mission18Guards; ++i) {
            MV2Object* guard = Guard(i);
            if (!guard) continue;
            Passivity(guard, 0);
            MV2ObjectSendMessage(guard, 89, 100, 0);
            MV2Object* target = onPlayer ? MV2RowPlayer() : Escort();
            if (!target) target = onPlayer ? Escort() : MV2RowPlayer();
            if (target) MV2SubAIOrderAttack(guard, target, 1);
            onPlayer = !onPlayer;
        }
        Timer(265, 10300);
        return;
    }
    for (int32_t i = 0; i < kMV2Mission18Guards; ++i) {
        MV2Object* guard = Guard(i);
        if (!guard) continue;
        const int32_t count = PassivityOf(guard);
        const float d = MV2RowDistanceSquared(guard, carrier);
        if (count < 10 && d > 1600.0f) {
            Passivity(guard, 10);
            MV2ObjectSendMessage(guard, 89, 250, 0);
            MV2SubAIOrderGoTo(guard, carrier, 1.0f);
        } else if (count == 10 && d < 400.0f) {
            Passivity(guard, (TvRandom() & 1) ? 2 : 0);
            MV2ObjectSendMessage(guard, 89, 100, 0);
            GuardCarrier(guard);
        }
    }
    Timer(265, 3600);
}

float Jitter() {
    return MV2RandomUnit() - 0.5f;
}

void Reinforce() {
    if (S().missionOver || S().guardsAlive >= kMV2Mission18Guards) return;
    MV2Object* carrier = Carrier();
    MV2Object* player = MV2RowPlayer();
    if (!carrier || !player) return;
    int32_t slot = -1;
    for (int32_t i = 0; i < kMV2Mission18Guards && slot < 0; ++i)
        if (!Guard(i)) slot = i;
    if (slot < 0) return;
    TvV3d at{};
    bool placed = false;
    if (MV2RowDistanceSquared(player, carrier) < 2704.0f) {
        const float reach = 52.0f;
        for (MV2Object* goal : {Post(), MV2RowFind(0x00040291)}) {
            if (!goal || MV2RowDistanceSquared(player, goal) <= 2704.0f) continue;
            const TvV3d to = goal->matrix->pos;
            if (MV2FindRoutePointAtDistance(&to, &reach, &at)) {
                at = {at.x + Jitter(), at.y + Jitter(), at.z + Jitter()};
                placed = true;
                break;
            }
        }
    }
    if (!placed) {
        const float u1 = MV2RandomUnit(), u2 = MV2RandomUnit(), u3 = MV2RandomUnit();
        at = TvV3dAdd(carrier->matrix->pos, TvV3d{u1 - 0.5f, u2 + 3.0f, u3 - 0.5f});
    }
    MV2Mission18SpawnGuard(slot, at);
}

void Won() {
    MV2Object* a = Escort();
    if (a && !S().escortWentHome) {
        MV2MissionQueueMessage(kRow, 1279, int32_t(MV2PlayMissionMessage(1278)));
        MV2SubAIOrderCityRoute(a, 3);
    } else {
        MV2PlayMissionMessage(1279);
    }
    S().missionOver = 1;
    MV2HudShowResultBanner(1);
    MV2LockNearestTarget();
    MV2MissionInstallNotify(kRow, 7);
    MV2MissionRemoveNotify(kRow, 8);
    MV2FadeMusic(0.0f, 3.0f);
    S().musicOnConsole = 0;
}

void Destroyed(MV2Object* object) {
    if (!object) return;
    for (int32_t i = 0; i < kMV2Mission18Guards; ++i)
        if (object == Guard(i)) {
            --S().guardsAlive;
            S().guards[i] = {};
        }
    if (MV2RefIs(S().carrier, object) && !S().carrierDestroyed) {
        S().carrierDestroyed = 1;
        MV2StopObjectSound(object, kCarrierSound, &S().carrierSound);
        S().carrierSoundOn = 0;
    }
    if (S().missionOver) return;
    if (Carrier()) {
        Timer(266, 10000);
        Timer(266, 12000);
        Timer(266, 14000);
        return;
    }
    if (S().guardsAlive <= 0) Won();
}

void Reset() {
    S() = {};
    S().carrierSoundOn = 1;
    MV2SpawnLevelRecord(0x0011FFFF, kRow);
    MV2ScriptKeep(S().meetingPost, MV2RowFind(0x00040290));
    MV2MissionBegin(kRow, 1);
    MV2MissionInstallNotify(kRow, 8);
}

} // namespace

MV2SubAIData* MV2Mission18SpawnGuard(int32_t slot, const TvV3d& position) {
    if (slot < 0 || slot >= kMV2Mission18Guards) return nullptr;
    MV2Object* guard = MV2CreateObject(kGuardType, &position.x, nullptr);
    MV2ScriptKeep(S().guards[slot], guard);
    if (!guard) return nullptr;
    ++S().guardsAlive;
    MV2MissionAttachObject(kRow, guard);
    MV2ObjectCopyFrame(guard, MV2ScriptLive(S().carrier));
    MV2ObjectSendMessage(guard, 21, 17, 0);
    if (slot & 1) MV2ObjectSendMessage(guard, 21, 0, 1);
    GuardCarrier(guard);
    Passivity(guard, (TvRandom() & 1) ? 2 : 0);
    return MV2GetSubAIData(guard);
}

intptr_t MV2BurnTargetHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 2:
        if (object->energy < 0.0f) {
            const TvV3d at = object->matrix->pos;
            MV2CreateExplosion(&at.x, 3.0f, 20.0f, nullptr, 1, 22);
            MV2PlaySoundAt(&at, 9.0f, 81, 0, 0, 0);
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
        break;
    case 14:
    case 19: {
        MV2Object* other = reinterpret_cast<MV2Object*>(p2);
        if (other && other != object && MV2RowType(other) != kBurnTargetType) object->energy = -1.0f;
        break;
    }
    case 75: return 0;
    case 80: return 1;
    case 96: return 0;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterMission18Handlers() {
    MV2SetObjectTypeHandler(kBurnTargetType, MV2BurnTargetHandler);
}

int32_t MV2Mission18Script(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    switch (message) {
    case kMV2ScriptStart:
        if (MV2Object* craft = MV2CityLaunchCraft(1, 4, MV2RowFind(0x0002001C))) MV2SetMissionObjectA(craft);
        Reset();
        break;
    case kMV2ScriptRestart: Reset(); break;
    case kMV2ScriptBegin: Begin(); break;
    case kMV2ScriptEvent:
        if (a == 8) {
            if (S().musicOnConsole) {
                MV2AddMusicTrack(13, 0);
                MV2StartMusic();
            }
        } else if (a == 7) {
            MV2MissionRemoveNotify(kRow, 7);
            MV2DestroyLevelRecordObjects(0x0025FFFF);
            MV2MissionRestart(19);
        }
        break;
    case 13:
        if (MV2RowType(object) == kGuardType && Escort() && reinterpret_cast<MV2Object*>(b) == Escort() &&
            MV2MissionMessagesDone() && MV2MissionHudMessagesFinished())
            MV2PlayMissionMessage((TvRandom() & 1) ? 949 : 948);
        break;
    case 9:
        if (Escort() && reinterpret_cast<MV2Object*>(b) == Escort()) S().escortLeft = 1;
        break;
    case 10: Destroyed(object); break;
    case 256: MoveStep(); break;
    case 257:
        if (MV2Object* post = Post()) {
            MV2LockTarget(post, 20.0f, 0, kRow);
            MV2MapAddLabel(post, 144);
        }
        break;
    case 258:
        if (MV2Object* craft = Escort()) {
            MV2PlayMissionMessage(1272);
            MV2ObjectSendMessage(craft, 21, 21, 0);
            MV2ObjectSendMessage(craft, 21, 0, 0);
            MV2SubAIOrderGoTo(craft, Post(), 40.0f);
            MV2ObjectSendMessage(craft, 48, 12, 0);
            Timer(259, 3000);
        }
        break;
    case 259:
        if (S().escortLeft) break;
        if (MV2Object* craft = Escort()) MV2MissionToolCommand(craft, 12, 53, 0, nullptr);
        Timer(259, 1000);
        break;
    case 260: Arrival(); break;
    case 261: StageAction(); break;
    case 262: Sweep(); break;
    case 263: EscortCheck(); break;
    case 264: EscortFights(); break;
    case 265: GuardLeash(); break;
    case 266: Reinforce(); break;
    default: break;
    }
    return 1;
}
