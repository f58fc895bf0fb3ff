// Mission row 4: a night-time opening flies the player out of the city beside two friendly
// craft; three raiders attack a base object and the player with friendly craft A must
// destroy all three. Success continues the campaign at row 5.
#include "game/missions/mission4.h"

#include <initializer_list>

#include "engine/core/matrix.h"
#include "engine/world/random.h"
#include "game/creatures/subai.h"
#include "game/effects/explosions.h"
#include "game/effects/primitives.h"
#include "game/frontend/hud.h"
#include "game/frontend/missionmap.h"
#include "game/missions/mining.h"
#include "game/missions/missions.h"
#include "game/missions/rowkit.h"
#include "game/missions/scriptkit.h"
#include "game/objects/camera.h"
#include "game/objects/levelswitch.h"
#include "game/objects/objecttypes.h"
#include "game/objects/sky.h"
#include "game/objects/utilities.h"
#include "game/player/loadout.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"
#include "shell/gamestate.h"

MV2Mission4State gMV2Mission4;

namespace {

constexpr int32_t kRow = 4;
constexpr int32_t kRaiderType = 56;

MV2Mission4State& S() {
    return gMV2Mission4;
}

void Timer(int32_t event, int32_t ms) {
    MV2MissionSetTimer(kRow, event, ms);
}

MV2Object* Raider(int32_t i) {
    return MV2ScriptLive(S().raiders[i]);
}

MV2Object* Base() {
    return MV2ScriptLive(S().baseTarget);
}

MV2Object* CraftA() {
    return MV2GetMissionObjectA();
}

bool OnCityRoute(MV2Object* craft) {
    return MV2SubAIFindCommand(craft, kMV2SubAICityRoute) != 0;
}

void PushAttack(MV2Object* craft, MV2Object* target) {
    if (!craft || !target) return;
    MV2SubAIPushCommand(craft);
    MV2SubAISetAttack(craft, target, 1);
}

// The raider attacks the base with a pushed attack on the target on top.
void AttackBaseThen(MV2Object* raider, MV2Object* target) {
    MV2SubAIOrderAttack(raider, Base(), 5);
    PushAttack(raider, target);
}

void GuardAndAttack(MV2Object* a, MV2Object* raider) {
    MV2SubAIOrderGuard(a, nullptr, 1, 6, kRaiderType, 20.0f);
    PushAttack(a, raider);
}

// The first live raider that is none of the two excluded ones.
MV2Object* FirstRaiderExcept(MV2Object* x, MV2Object* y) {
    for (int32_t i = 0; i < kMV2Mission4Raiders; ++i)
        if (MV2Object* r = Raider(i))
            if (r != x && r != y) return r;
    return nullptr;
}

MV2Object* FirstRaider() {
    return FirstRaiderExcept(nullptr, nullptr);
}

// A new friendly craft of type 0 at the city launch post with the SubAI brain, on city
// route 2 at full ahead; null when creation fails.
MV2Object* FriendlyFromPost() {
    MV2Object* post = MV2FindObjectByWorldID(0x0002001E);
    if (!post) return nullptr;
    MV2Object* craft = MV2CreateObject(0, &post->matrix->pos.x, nullptr);
    if (!craft) return nullptr;
    MV2ObjectSendMessage(craft, 29, 0, reinterpret_cast<intptr_t>(MV2SubAIBrain));
    MV2SubAIOrderFullAhead(craft);
    MV2SubAIPlaceOnCityRoute(craft, 2);
    return craft;
}

// Every object of the type destroyed, the walk restarting after each destruction; an object
// whose script keeps it alive is stepped over, so the walk ends.
void DestroyAllOfType(int32_t type) {
    MV2Object* object = MV2RowNextWorldObject(nullptr);
    while (object) {
        if (MV2RowType(object) == type) {
            const MV2ObjectHandle handle = object->handle;
            MV2ObjectSendMessage(object, 4, 0, 0);
            if (!MV2ObjectHandleAlive(handle)) {
                object = MV2RowNextWorldObject(nullptr);
                continue;
            }
        }
        object = MV2RowNextWorldObject(object);
    }
}

void Opening() {
    MV2MissionRemoveNotify(kRow, 4);
    MV2PendingMission = 0;
    MV2SetTimeOfDay(22.0f);
    MV2SetLetterbox(1);
    MV2SetCameraMode(6);
    if (MV2Object* post = MV2FindObjectByWorldID(0x00040055)) MV2MoveCameraToObject(post);
    MV2SetCameraTarget(MV2RowPlayer());
    if (MV2Object* plant = MV2FindObjectByWorldID(0x00020039)) {
        float value = 0.2f;
        plant->energy = 0.2f;
        MV2ObjectSendMessage(plant, 12, 0, reinterpret_cast<intptr_t>(&value));
    }
    for (MV2Object* o = MV2RowNextWorldObject(nullptr); o; o = MV2RowNextWorldObject(o)) {
        if (MV2RowType(o) != 51) continue;
        MV2SubAICommand* frame = MV2SubAIGetCommand(o);
        MV2Object* target = frame ? MV2SubAICommandGetTarget(frame) : nullptr;
        if (!target || target->aiCategory != 9) continue;
        const uint32_t id = uint32_t(target->scriptId);
        if (id == 0x00020039 || id == 0x0002003A || id == 0x0002003B)
            MV2SubAICommandSetTarget(frame, nullptr);
    }
    MV2MiningSetRepairEnabled(0);
    S().beaconOn = 1;
    Timer(271, 500);
    if (MV2Object* post = MV2FindObjectByWorldID(0x00040056)) {
        TvV3d at = post->matrix->pos;
        if (MV2Object* player = MV2RowPlayer())
            MV2ObjectSendMessage(player, 83, 0, reinterpret_cast<intptr_t>(&at.x));
    }
    MV2Mission4DestroyAllOfType(kRaiderType);
    MV2MissionInstallNotify(kRow, 2);
    Timer(256, 2);
    Timer(261, 1);
    MV2AddMusicTrack(13, 1);
    MV2StartMusic();
}

void Spawn() {
    MV2Object* centre = MV2ScriptLive(S().spawnCentre);
    if (!centre) return;
    TvV3d dir{};
    MV2RandomHorizontalDirection(&dir);
    const TvV3d at{centre->matrix->pos.x + dir.x * 10.0f, centre->matrix->pos.y + 3.0f,
                   centre->matrix->pos.z + dir.z * 10.0f};
    MV2Object* raider = MV2CreateObject(kRaiderType, &at.x, nullptr);
    if (raider) {
        MV2SubAIOrderAttack(raider, Base(), 5);
        MV2ObjectSendMessage(raider, 21, 17, 0);
        MV2MissionAttachObject(kRow, raider);
        if (MV2SubAIData* data = MV2GetSubAIData(raider)) data->passivity = 2;
        MV2ScriptKeep(S().raiders[S().tickCount], raider);
        ++S().tickCount;
    }
    if (S().tickCount >= kMV2Mission4Raiders) {
        S().tickCount = 0;
        Timer(257, 1);
    } else {
        Timer(256, 10);
    }
}

void Approach() {
    if (MV2ObjectDistance(nullptr, Base()) >= 40.0f) {
        if (++S().tickCount == 121) {
            MV2PlayMissionMessage(727);
            S().tickCount = 0;
        }
        Timer(258, 1000);
        return;
    }
    Timer(259, 15000);
    S().engaged = 1;
    MV2Object* first = FirstRaider();
    if (first) {
        AttackBaseThen(first, MV2RowPlayer());
        MV2ScriptKeep(S().playerAttacker, first);
    }
    if (MV2Object* a = CraftA()) {
        bool seen = false;
        for (int32_t i = 0; i < kMV2Mission4Raiders; ++i) {
            MV2Object* r = Raider(i);
            if (!r) continue;
            if (!seen) {
                seen = r == first;
                continue;
            }
            AttackBaseThen(r, a);
            MV2ScriptKeep(S().craftAttacker, r);
            if (!OnCityRoute(a)) GuardAndAttack(a, r);
            break;
        }
    }
    Timer(275, 10000);
}

// A's fight: the raider that fights A, with A guarding and attacking it.
void AssignCraftAttacker(MV2Object* a) {
    if (!a || OnCityRoute(a)) return;
    if (MV2ScriptLive(S().craftAttacker)) return;
    if (MV2Object* r = FirstRaiderExcept(MV2ScriptLive(S().playerAttacker), nullptr)) {
        AttackBaseThen(r, a);
        MV2ScriptKeep(S().craftAttacker, r);
        GuardAndAttack(a, r);
    } else if ((r = FirstRaider()) != nullptr) {
        PushAttack(a, r);
        MV2ScriptKeep(S().craftAttacker, r);
    }
}

void Fight() {
    if (S().missionDone) return;
    MV2Object* player = MV2RowPlayer();
    if (!MV2ScriptLive(S().playerAttacker) && player) {
        MV2Object* r = FirstRaiderExcept(MV2ScriptLive(S().craftAttacker), nullptr);
        if (!r) r = FirstRaider();
        if (r) {
            AttackBaseThen(r, player);
            MV2ScriptKeep(S().playerAttacker, r);
        }
    }
    MV2Object* a = CraftA();
    AssignCraftAttacker(a);
    for (int32_t i = 0; i < kMV2Mission4Raiders; ++i)
        if (MV2Object* r = Raider(i))
            if (r != MV2ScriptLive(S().playerAttacker) && r != MV2ScriptLive(S().craftAttacker))
                MV2SubAIOrderAttack(r, Base(), 5);
    if (a && !S().craftARetreated) {
        const float initial = a->type ? MV2TypeFloat(a->type, 1) : 0.0f;
        if (a->energy < 0.05f * initial) {
            S().craftARetreated = 1;
            MV2PlayMissionMessage(941);
            MV2SubAIOrderCityRoute(a, 1);
            if (MV2SubAIData* data = MV2GetSubAIData(a)) data->passivity = 10;
        }
    }
    Timer(275, 10000);
}

void RaiderDestroyed(MV2Object* raider) {
    if (S().missionDone || MV2RowType(raider) != kRaiderType) return;
    ++S().raidersKilled;
    MV2Object* a = CraftA();
    if (MV2RefIs(S().playerAttacker, raider)) {
        S().playerAttacker = {};
        if (MV2Object* r = FirstRaiderExcept(raider, MV2ScriptLive(S().craftAttacker))) {
            AttackBaseThen(r, MV2RowPlayer());
            MV2ScriptKeep(S().playerAttacker, r);
        }
    } else if (MV2RefIs(S().craftAttacker, raider)) {
        S().craftAttacker = {};
        MV2Object* r = FirstRaiderExcept(raider, MV2ScriptLive(S().playerAttacker));
        if (r && a) {
            AttackBaseThen(r, a);
            MV2ScriptKeep(S().craftAttacker, r);
            if (!OnCityRoute(a)) GuardAndAttack(a, r);
        } else if (a && !OnCityRoute(a)) {
            MV2SubAIOrderGuard(a, nullptr, 1, 6, kRaiderType, 20.0f);
        }
    }
    if (S().raidersKilled >= 3) {
        Timer(3, 1);
        S().missionDone = 1;
        S().engaged = 1;
        MV2FadeMusic(0.0f, 3.0f);
    }
}

void Success() {
    for (int32_t e : {2, 6, 8})
        MV2MissionRemoveNotify(kRow, e);
    MV2HudShowResultBanner(1);
    MV2HudSetObjective(nullptr);
    const int32_t end = MV2MissionQueueMessage(kRow, 1279, MV2MissionQueueMessage(kRow, 745, 5000));
    Timer(277, end + 1000);
    MV2MiningSetRepairEnabled(1);
    if (MV2Object* a = CraftA())
        if (!OnCityRoute(a)) MV2SubAIOrderCityRoute(a, 3);
}

bool LaunchA() {
    MV2Object* craft = MV2CityLaunchCraft(0, 2, Base());
    if (!craft) return false;
    MV2SetMissionObjectA(craft);
    MV2ObjectSendMessage(craft, 21, 0, 0);
    MV2ObjectSendMessage(craft, 21, 21, 0);
    S().craftARetreated = 0;
    return true;
}

void Reset() {
    S() = {};
    S().awaitingConsole = 1;
    MV2ResetMusic();
    MV2ScriptKeep(S().spawnCentre, MV2RowFind(0x00040242));
    MV2ScriptKeep(S().baseTarget, MV2FindObjectByWorldID(0x0002003C));
    MV2MissionSetPeriodicMessage(-1, 0);
    MV2SelectWallSet(2);
    if (MV2Object* a = MV2GetMissionObjectA()) MV2ObjectSendMessage(a, 4, 0, 0);
    if (MV2Object* b = MV2GetMissionObjectB()) MV2ObjectSendMessage(b, 4, 0, 0);
    MV2PendingMission = 2;
    for (int32_t slot : {2, 1, 0})
        MV2AddAwardCounter(slot, 1, 7);
    MV2ScriptPlacesPlayer = 1;
    MV2MissionInstallNotify(kRow, 8);
}

} // namespace

void MV2Mission4DestroyAllOfType(int32_t type) {
    DestroyAllOfType(type);
}

int32_t MV2Mission4Script(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart: Reset(); break;
    case kMV2ScriptSequenceEnd: Success(); break;
    case kMV2ScriptEvent:
        if (a == 8) {
            if (!S().awaitingConsole) {
                MV2AddMusicTrack(13, 1);
                MV2StartMusic();
            } else {
                gMV2GameState.requested = 13;
                MV2MissionInstallNotify(kRow, 4);
                MV2MissionBegin(kRow, 1);
                S().awaitingConsole = 0;
            }
        } else if (a == 4) {
            Opening();
        } else if (a == 2) {
            if (b == kRaiderType && object && object == CraftA() && MV2MissionMessagesDone()) {
                if (TvRandom() % 3 == 0) MV2PlayMissionMessage((TvRandom() & 1) ? 746 : 743);
                else MV2PlayMissionMessage(742);
            }
        } else if (a == 6) {
            if (object && object == CraftA()) Timer(276, 1000);
        }
        break;
    case 10: RaiderDestroyed(object); break;
    case 256: Spawn(); break;
    case 257:
        MV2PlayMissionMessage(272);
        MV2MapAddLabel(MV2RowFind(0x00040242), 146);
        MV2HudSetObjective(Base());
        Timer(258, 1000);
        break;
    case 258: Approach(); break;
    case 259: case 272: case 273: case 274: {
        if (S().missionDone) break;
        const int32_t index = message == 259 ? 0 : message - 271;
        const int32_t d = int32_t(MV2PlayMissionMessage(uint32_t(232 + index)));
        if (message != 274) Timer(message == 259 ? 272 : message + 1, d);
        break;
    }
    case 261:
        if (MV2Object* craft = FriendlyFromPost()) {
            MV2SetMissionObjectB(craft);
            Timer(262, 1000);
            Timer(263, 20000);
            Timer(278, 60000);
        } else {
            Timer(261, 500);
        }
        break;
    case 262:
        if (MV2Object* craft = FriendlyFromPost()) {
            MV2SetMissionObjectA(craft);
            MV2ObjectSendMessage(craft, 21, 21, 0);
            MV2ObjectSendMessage(craft, 21, 0, 0);
            MV2MissionInstallNotify(kRow, 6);
            Timer(266, 1000);
        } else {
            Timer(262, 500);
        }
        break;
    case 263: {
        MV2MissionQueueMessage(kRow, 912, int32_t(MV2PlayMissionMessage(911)));
        Timer(268, 25000);
        if (MV2Object* craft = MV2GetMissionObjectB()) {
            const TvV3d at = craft->matrix->pos;
            MV2CreateExplosion(&at.x, 1.0f, 0.0f, nullptr, 2, 30);
            Timer(269, 1000);
            MV2SubAIOrderCityRoute(craft, 1);
        }
        break;
    }
    case 264: {
        MV2Object* post = MV2FindObjectByWorldID(0x00040291);
        MV2Object* craft = MV2CityLaunchCraft(0, 2, post);
        if (!craft) {
            Timer(264, 1000);
            break;
        }
        MV2SetMissionObjectB(craft);
        MV2ObjectSendMessage(craft, 21, 0, 0);
        MV2ObjectSendMessage(craft, 21, 21, 0);
        MV2SubAIOrderGuard(craft, post, 3, kMV2AnyCategory, kRaiderType, 20.0f);
        if (MV2SubAIPushCommand(craft)) MV2SubAIPlaceOnCityRoute(craft, 2);
        break;
    }
    case 266:
        if (MV2Object* player = MV2RowPlayer()) {
            MV2ObjectSendMessage(player, 29, 0, reinterpret_cast<intptr_t>(MV2SubAIBrain));
            MV2SubAIOrderFullAhead(player);
            MV2ObjectCopyFrame(player, MV2GetMissionObjectB());
        }
        Timer(267, 4000);
        break;
    case 267:
        if (MV2Object* craft = CraftA()) MV2SubAIOrderGuard(craft, Base(), 3, kMV2AnyCategory, kRaiderType, 20.0f);
        if (MV2Object* craft = MV2GetMissionObjectB()) MV2SubAIOrderGoTo(craft, Base(), 10.0f);
        if (MV2Object* player = MV2RowPlayer()) {
            MV2ObjectSendMessage(player, 31, 0, 0);
            MV2ObjectSendMessage(player, 29, 0, reinterpret_cast<intptr_t>(MV2PlayerHandler));
            player->typeWord |= 1u << 20;
        }
        MV2SetLetterbox(2);
        MV2SetCameraMode(1);
        gMV2GameState.requested = 0;
        Timer(270, 1000);
        S().beaconOn = 0;
        break;
    case 268:
        if (S().engaged) break;
        MV2PlayMissionMessage(727);
        Timer(268, 20000);
        break;
    case 269:
        if (MV2Object* craft = MV2GetMissionObjectB()) MV2SubAISetGoToBubbles(craft);
        break;
    case 270: MV2ScriptPlacesPlayer = 0; break;
    case 271:
        if (!S().beaconOn) break;
        if (MV2Object* beacon = MV2FindObjectByWorldID(0x00020029)) MV2ObjectSendMessage(beacon, 33, 1, 0);
        Timer(271, 500);
        break;
    case 275: Fight(); break;
    case 276:
        if (!LaunchA()) Timer(276, 1000);
        break;
    case 277:
        MV2MissionPurgeTimers(kRow);
        MV2MissionRestart(5);
        break;
    case 278:
        MV2StartCameraShake(1, 0.3f);
        Timer(264, 3000);
        break;
    default: break;
    }
    return 1;
}
