// Mission row 9: the player defends an object against fifteen raiders, up to four at once,
// helped by friendly craft from the city; the last raider's death wins, keeping away loses.
#include "game/missions/mission9.h"

#include <initializer_list>

#include "engine/core/matrix.h"
#include "engine/world/random.h"
#include "game/creatures/subai.h"
#include "game/frontend/hud.h"
#include "game/missions/missions.h"
#include "game/missions/rowkit.h"
#include "game/missions/scriptkit.h"
#include "game/objects/objecttypes.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"
#include "shell/gamestate.h"

MV2Mission9State gMV2Mission9;

namespace {

constexpr int32_t kRow = 9;
constexpr int32_t kRaiderType = 56;
constexpr int32_t kTotalRaiders = 15;

MV2Mission9State& S() {
    return gMV2Mission9;
}

void Timer(int32_t event, int32_t ms) {
    MV2MissionSetTimer(kRow, event, ms);
}

bool Idle() {
    return MV2MissionHudMessagesFinished() && MV2MissionMessagesDone();
}

MV2Object* Target() {
    return MV2ScriptLive(S().defendTarget);
}

MV2Object* Second() {
    return MV2ScriptLive(S().second);
}

MV2Object* Raider(int32_t slot) {
    return MV2ScriptLive(S().raiders[slot]);
}

float InitialEnergy(MV2Object* object) {
    return object && object->type ? MV2TypeFloat(object->type, 1) : 0.0f;
}

// Within `range` units of the defended object.
bool NearTarget(MV2Object* object, float range) {
    const float d = object && Target() ? MV2RowDistanceSquared(object, Target()) : -1.0f;
    return d >= 0.0f && d < range * range;
}

void TargetObjective() {
    if (MV2Object* target = Target()) MV2LockTarget(target, 40.0f, 0, kRow);
}

void GuardTarget(MV2Object* craft, float range) {
    MV2SubAIOrderGuard(craft, Target(), 3, kMV2AnyCategory, kRaiderType, range);
}

void GoHome(MV2Object* craft, int32_t route) {
    MV2SubAIOrderCityRoute(craft, route);
    if (MV2SubAIData* data = MV2GetSubAIData(craft)) data->passivity = 10;
}

// A friendly craft from city door 2 that guards the defended object.
MV2Object* LaunchFriendly() {
    MV2Object* craft = MV2CityLaunchCraft(0, 2, MV2RowFind(0x00040056));
    if (!craft) return nullptr;
    MV2MissionAttachObject(kRow, craft);
    for (intptr_t p1 : {21, 0, 5})
        MV2ObjectSendMessage(craft, 21, p1, 0);
    GuardTarget(craft, 40.0f);
    if (MV2SubAIPushCommand(craft)) MV2SubAIPlaceOnCityRoute(craft, 2);
    return craft;
}

void StartDefence() {
    for (int32_t i = 0; i < kMV2Mission9Slots; ++i)
        if (NearTarget(Raider(i), 60.0f)) {
            static const int32_t kTrack[1] = {12};
            MV2RowMusic(1, kTrack, 1);
            const int32_t d = int32_t(MV2PlayMissionMessage(931));
            TargetObjective();
            MV2MissionInstallNotify(kRow, 8);
            if (MV2Object* post = MV2RowFind(0x00040059)) {
                MV2Object* b = MV2GetMissionObjectB();
                const bool launched = !b;
                if (launched) {
                    b = MV2CityLaunchCraft(0, 4, MV2RowFind(0x0002001C));
                    if (b) MV2SetMissionObjectB(b);
                }
                if (b) {
                    MV2SubAIOrderGuard(b, post, 3, kMV2AnyCategory, kRaiderType, 20.0f);
                    MV2SubAIPushCommand(b);
                    MV2SubAISetGoTo(b, post, 5.0f);
                    if (launched && MV2SubAIPushCommand(b)) MV2SubAIPlaceOnCityRoute(b, 4);
                }
            }
            MV2MissionQueueMessage(kRow, 935, MV2MissionQueueMessage(kRow, 934, d));
            Timer(261, 4200);
            Timer(263, 9950);
            Timer(264, 90000);
            const bool first = TvRandom() & 1;
            Timer(260, first ? 2000 : 4000);
            Timer(259, first ? 4000 : 2000);
            MV2MissionInstallNotify(kRow, 6);
            return;
        }
    Timer(256, 3000);
}

void RaiderLeash() {
    for (int32_t i = 0; i < kMV2Mission9Slots; ++i) {
        MV2Object* raider = Raider(i);
        MV2SubAIData* data = MV2GetSubAIData(raider);
        if (!data || !Target()) continue;
        const float d = MV2RowDistanceSquared(raider, Target());
        if (data->passivity != 0 && d < 2025.0f) {
            data->passivity = 0;
        } else if (data->passivity == 0 && d > 4900.0f) {
            GuardTarget(raider, 30.0f);
            data->passivity = 2;
        }
    }
}

void AwayCheck() {
    if (S().wavesDone) return;
    RaiderLeash();
    MV2Object* sub = MV2GetPlayerSub();
    if (sub) {
        if (S().playerThreatened || sub->energy < 0.2f * InitialEnergy(sub) || NearTarget(sub, 60.0f)) {
            S().awayMs = 0;
            S().playerThreatened = 0;
        } else {
            S().awayMs += 4000;
            if (S().awayMs == 60000) {
                MV2PlayMissionMessage(932);
                TargetObjective();
            } else if (S().awayMs == 120000) {
                MV2FriendlyFireTrigger(943);
                return;
            }
        }
    }
    Timer(262, 2000);
}

void Won() {
    S().wavesDone = 1;
    if (MV2Object* a = MV2GetMissionObjectA()) MV2SubAIOrderCityRoute(a, 1);
    if (MV2Object* b = MV2GetMissionObjectB()) MV2SubAIOrderCityRoute(b, 4);
    if (MV2Object* second = Second()) MV2SubAIOrderCityRoute(second, 3);
    const int32_t d = int32_t(MV2PlayMissionMessage(944));
    MV2AddMusicTrack(21, 0);
    MV2StartMusic();
    Timer(266, d + 100);
    MV2MissionRemoveNotify(kRow, 6);
    MV2HudSetObjective(nullptr);
    MV2HudShowResultBanner(1);
    MV2MissionInstallNotify(kRow, 7);
    MV2LockNearestTarget();
}

// Friendly craft lose only half of what a threat reports.
void HalveLoss(MV2Object* craft, float& last) {
    if (craft->energy >= last) {
        last = craft->energy;
        return;
    }
    craft->energy = (craft->energy + last) * 0.5f;
    last = craft->energy;
}

void ObjectMessage(MV2Object* object, int32_t message, intptr_t b) {
    MV2Object* a = MV2GetMissionObjectA();
    MV2Object* second = Second();
    switch (message) {
    case 13:
        if (MV2RowType(object) != kRaiderType || !Idle()) break;
        if (reinterpret_cast<MV2Object*>(b) == a && a)
            MV2PlayMissionMessage((TvRandom() & 1) ? 949 : 948);
        else if (second && reinterpret_cast<MV2Object*>(b) == second)
            MV2PlayMissionMessage((TvRandom() & 1) ? 953 : 952);
        break;
    case 8:
    case 9:
        if (message == 8)
            for (int32_t i = 0; i < kMV2Mission9Slots; ++i)
                if (object && object == Raider(i)) S().playerThreatened = 1;
        if (object && object == a) HalveLoss(object, S().craftALastEnergy);
        else if (object && object == second) HalveLoss(object, S().secondLastEnergy);
        break;
    case 10:
        for (int32_t i = 0; i < kMV2Mission9Slots; ++i) {
            if (!object || object != Raider(i)) continue;
            --S().raidersLive;
            S().raiders[i] = {};
            if (S().raidersSpawned < kTotalRaiders) MV2Mission9SpawnRaider(i, nullptr);
            if (S().raidersLive == 0 && !S().wavesDone) Won();
            break;
        }
        break;
    default: break;
    }
}

void Event(intptr_t event) {
    switch (event) {
    case 6: break; // the craft is the script's object; see below
    case 8:
        MV2AddMusicTrack(12, 1);
        MV2StartMusic();
        TargetObjective();
        S().awayMs = S().awayMs > 30000 ? S().awayMs - 30000 : 0;
        break;
    case 7: {
        MV2MissionRemoveNotify(kRow, 7);
        MV2MissionRemoveNotify(kRow, 8);
        S().missionClosed = 1;
        for (MV2Object* craft : {MV2GetMissionObjectB(), MV2GetMissionObjectA(), Second()})
            if (craft) MV2ObjectSendMessage(craft, 4, 0, 0);
        MV2MissionRestart(10);
        break;
    }
    default: break;
    }
}

void Reset() {
    MV2ResetMusic();
    S() = {};
    MV2ScriptKeep(S().defendTarget, MV2RowFind(0x00040069));
    S().craftALastEnergy = -1.0f;
    S().secondLastEnergy = -1.0f;
    Timer(258, 1);
    Timer(258, 1112);
    Timer(257, 12222);
    Timer(257, 24444);
    MV2MissionBegin(kRow, 1);
}

} // namespace

int32_t MV2Mission9SpawnRaider(int32_t slot, MV2Object* place) {
    if (slot < 0) {
        for (int32_t i = 0; i < kMV2Mission9Slots && slot < 0; ++i)
            if (!Raider(i)) slot = i;
        if (slot < 0) return 0;
    }
    if (slot >= kMV2Mission9Slots) return 0;
    if (!place) {
        place = MV2RowFind(0x00040262);
        if (place && MV2RowPlayerDistanceSquared(place) < 2500.0f && Target()) place = Target();
    }
    if (!place) return 0;
    MV2Object* raider = MV2MissionCreateObject(kRaiderType, place, kRow);
    if (!raider) return 0;
    MV2ScriptKeep(S().raiders[slot], raider);
    MV2ObjectSendMessage(raider, 21, 17, 0);
    MV2ObjectSendMessage(raider, 21, 5, 0);
    if (slot & 1) MV2ObjectSendMessage(raider, 21, 0, 0);
    GuardTarget(raider, 30.0f);
    if (MV2SubAIPushCommand(raider)) MV2SubAISetGoTo(raider, Target(), 20.0f);
    ++S().raidersLive;
    ++S().raidersSpawned;
    return 1;
}

int32_t MV2Mission9Script(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart: Reset(); break;
    case kMV2ScriptBegin:
    case 256: StartDefence(); break;
    case kMV2ScriptEvent:
        if (a == 6) {
            if (object && object == MV2GetMissionObjectA()) Timer(259, 1000);
            else if (object && object == Second()) Timer(260, 1000);
        } else {
            Event(a);
        }
        break;
    case 8: case 9: case 10: case 13: ObjectMessage(object, message, b); break;
    case 257: MV2Mission9SpawnRaider(-1, nullptr); break;
    case 258: MV2Mission9SpawnRaider(-1, Target()); break;
    case 259:
        if (MV2Object* craft = MV2GetMissionObjectA()) {
            MV2SubAIOrderCityRoute(craft, 1);
        } else if ((craft = LaunchFriendly()) != nullptr) {
            MV2SetMissionObjectA(craft);
            S().craftAWentHome = 0;
        }
        break;
    case 260:
        if (!Second()) {
            MV2ScriptKeep(S().second, LaunchFriendly());
            S().secondWentHome = 0;
        }
        break;
    case 261:
        if (S().wavesDone) break;
        if (S().playerThreatened || NearTarget(MV2RowPlayer(), 60.0f)) {
            S().defenceJoined = 1;
            Timer(262, 4444);
            break;
        }
        if (!S().craftANear && NearTarget(MV2GetMissionObjectA(), 60.0f)) {
            S().craftANear = 1;
            MV2PlayMissionMessage(937);
        }
        Timer(261, 3500);
        break;
    case 262: AwayCheck(); break;
    case 263: {
        if (S().wavesDone) break;
        MV2Object* craft = MV2GetMissionObjectA();
        if (craft && !S().craftAWentHome && craft->energy < 0.05f * InitialEnergy(craft)) {
            S().craftAWentHome = 1;
            MV2PlayMissionMessage(941);
            GoHome(craft, 1);
        }
        MV2Object* second = Second();
        if (second && !S().secondWentHome && second->energy < 0.25f * InitialEnergy(second)) {
            S().secondWentHome = 1;
            GoHome(second, 3);
        }
        Timer(263, 2800);
        break;
    }
    case 264:
    case 265:
        if (S().defenceJoined || S().playerThreatened || S().wavesDone) break;
        if (!Idle()) {
            Timer(message, 500);
            break;
        }
        if (message == 264) {
            MV2PlayMissionMessage(932);
            Timer(265, 80000);
        } else {
            MV2FriendlyFireTrigger(933);
        }
        break;
    case 266:
    case 267:
        if (S().missionClosed || !MV2GetMissionObjectB()) break;
        if (!Idle()) {
            Timer(message, 500);
            break;
        }
        if (message == 266) Timer(267, int32_t(MV2PlayMissionMessage(946)) + 100);
        else MV2PlayMissionMessage(947);
        break;
    default: break;
    }
    return 1;
}
