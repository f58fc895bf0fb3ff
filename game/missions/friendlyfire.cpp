#include "game/missions/friendlyfire.h"

#include <algorithm>

#include "game/creatures/subai.h"
#include "game/effects/effects.h"
#include "game/frontend/gameover.h"
#include "game/frontend/hud.h"
#include "game/frontend/hudmessages.h"
#include "game/missions/cutscenes.h"
#include "game/missions/missionflow.h"
#include "game/missions/missionhelpers.h"
#include "game/missions/missionscripts.h"
#include "game/missions/missiontimers.h"
#include "game/missions/scriptevents.h"
#include "game/objects/camera.h"
#include "game/objects/levels.h"
#include "game/objects/lighting.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/player/player.h"
#include "shell/gamestate.h"

MV2FriendlyFire gMV2FriendlyFire = {};

namespace {

constexpr int32_t kDecayTimer = 256;
constexpr int32_t kPunish = 257, kAfterReset = 258, kHome = 259, kBayDoor = 260;
constexpr uint32_t kPunishCutScene = 0x46FFFF;
constexpr uint32_t kEndCutScene = 0x3EFFFF, kEndCutSceneObject = 0x3E0001;
constexpr uint32_t kHomeMessage = 283;
constexpr int32_t kBayObject = 0x20029;

struct TypeWeight {
    float weight;
    int32_t type;
};
constexpr TypeWeight kTypeWeights[] = {{0.0f, 363}, {2.0f, 15},  {0.3f, 44},  {0.13f, 43}, {0.9f, 16},
                                       {1.75f, 14}, {2.5f, 39},  {2.5f, 13},  {1.0f, 134}, {0.0f, 461}};
constexpr float kCategoryWeights[12] = {0.4f, 0.4f, 0.4f, 0.4f, 0.4f, 0.2f,
                                        1.0f, 0.4f, 0.4f, 0.8f, 0.4f, 0.0f};

bool HomeLevel() {
    return (MV2GetCurrentLevelId() >> 24) <= 1;
}

// Tests the meter after a change: empty, full (the punishment) or decaying.
void AfterChange() {
    MV2FriendlyFire& f = gMV2FriendlyFire;
    f.lastChange = MV2GetGameTime();
    if (f.meter < 0.0f) {
        f.meter = 0.0f;
        return;
    }
    if (f.meter >= 1.0f) {
        if (!f.triggered) {
            f.triggered = 1;
            f.messageId = 0;
            MV2CallMissionScript(kMV2FriendlyFireRow, nullptr, kPunish, 0, 0);
        }
        return;
    }
    if (!f.decayArmed) {
        f.decayArmed = 1;
        MV2MissionSetTimer(kMV2FriendlyFireRow, kDecayTimer, 1000);
    }
}

void Punish() {
    if (MV2Object* sub = MV2GetPlayerSub()) {
        sub->energy = 9999999.0f;
        MV2ObjectSendMessage(sub, 29, 0, reinterpret_cast<intptr_t>(MV2SubAIBrain));
        MV2SubAIOrderLevelOff(sub);
        MV2SetCameraMode(0);
        MV2HudSetMode(5);
    }
    MV2MissionResetAndSend(kMV2FriendlyFireRow, kAfterReset);
}

void AfterReset() {
    MV2FriendlyFire& f = gMV2FriendlyFire;
    int32_t wait = 2000;
    if (f.messageId) wait = int32_t(MV2PlayMissionMessage(f.messageId));
    if (gMV2GameState.current == 1) gMV2GameState.requested = 0;
    if (gMV2GameState.current == 0 || gMV2GameState.current == 1)
        MV2MissionSetTimer(kMV2FriendlyFireRow, kHome, wait);
    else
        MV2CallMissionScript(kMV2FriendlyFireRow, nullptr, kHome, 0, 0);
}

void GoHome() {
    if (MV2GetCurrentLevelId() >> 24) {
        MV2ReportMissionOutcome(kMV2OutcomeLevelChange, intptr_t(kMV2WholeLevel));
        MV2RequestLevelChange(kMV2WholeLevel);
        MV2MissionInstallNotify(kMV2FriendlyFireRow, 15);
        return;
    }
    MV2PlayMissionMessage(kHomeMessage);
    MV2ResetLightingZone();
    MV2CancelCameraBlend();
    if (MV2Object* sub = MV2GetPlayerSub()) MV2ParkObject(sub, nullptr, nullptr);
    MV2CutSceneStart(kPunishCutScene, 0);
    MV2SetLetterbox(1);
    gMV2GameState.requested = 12;
    MV2MissionInstallNotify(kMV2FriendlyFireRow, 16);
    MV2MissionInstallNotify(kMV2FriendlyFireRow, 3);
}

void Timers(const int32_t* delays, int32_t count) {
    for (int32_t i = 0; i < count; ++i)
        MV2MissionSetTimer(kMV2FriendlyFireRow, kBayDoor, delays[i]);
}

void OnEvent(MV2Object* object, intptr_t event, intptr_t value) {
    switch (event) {
    case 15:
        MV2MissionRemoveNotify(kMV2FriendlyFireRow, 15);
        MV2MissionSetTimer(kMV2FriendlyFireRow, kHome, 1);
        break;
    case 16: {
        if (object) break;
        static constexpr int32_t kThree[] = {1, 301, 601};
        static constexpr int32_t kFour[] = {1, 401, 801, 1201};
        if (value == 3) {
            Timers(kThree, 3);
            MV2StartGameOverFade();
        } else if (value == 4) {
            Timers(kFour, 4);
        } else if (value == 31) {
            MV2StartGameOver(0);
        }
        break;
    }
    case 3:
        MV2DestroyLevelRecordObjects(kPunishCutScene);
        gMV2GameState.requested = 0;
        gMV2StateMachine.pendingCutScene = kEndCutScene;
        gMV2StateMachine.pendingCutSceneScript = kEndCutSceneObject;
        gMV2CutSceneSequence.current = 0;
        MV2MissionRemoveNotify(kMV2FriendlyFireRow, 3);
        break;
    default: break;
    }
}

} // namespace

float MV2FriendlyFireWeight(const MV2Object* victim) {
    const int32_t type = int32_t(victim->typeWord & kMV2ObjectTypeMask);
    for (const TypeWeight& w : kTypeWeights) {
        if (w.type == 461) break;
        if (w.type == type) return w.weight;
    }
    const int32_t category = victim->aiCategory;
    if (category < 0 || category >= 12) return 0.0f;
    return kCategoryWeights[category];
}

void MV2FriendlyFireAddDamage(MV2Object* victim, float damage) {
    if (!victim || !HomeLevel()) return;
    MV2FriendlyFire& f = gMV2FriendlyFire;
    const float weight = MV2FriendlyFireWeight(victim);
    const float energy = victim->type ? MV2TypeFloat(victim->type, 1) : 0.0f;
    const float x = energy != 0.0f ? damage / energy * 2.0f : damage * 0.04f;
    const float increment = std::min(weight * x, weight * 0.25f);
    const uint32_t now = MV2GetGameTime();
    // Several hits in one instant count as the largest of them.
    float add = increment;
    if (now == f.lastHitTime && f.lastIncrement > 0.0f) {
        add = increment > f.lastIncrement ? increment - f.lastIncrement : 0.0f;
        if (increment > f.lastIncrement) f.lastIncrement = increment;
    } else {
        f.lastHitTime = now;
        f.lastIncrement = increment;
    }
    if (add <= 0.0f) return;
    f.meter += add;
    AfterChange();
}

void MV2FriendlyFireDecaySlow(MV2Object*, float) {
    gMV2FriendlyFire.meter -= 0.01f;
    AfterChange();
}

void MV2FriendlyFireAddKill(MV2Object* victim) {
    if (!victim || !HomeLevel()) return;
    gMV2FriendlyFire.meter += MV2FriendlyFireWeight(victim);
    AfterChange();
}

void MV2FriendlyFireDecayFast(MV2Object*) {
    gMV2FriendlyFire.meter -= 0.05f;
    AfterChange();
}

void MV2FriendlyFireTrigger(uint32_t messageId) {
    MV2FriendlyFire& f = gMV2FriendlyFire;
    if (f.triggered) return;
    MV2ReportMissionOutcome(kMV2OutcomeMissionFailed, intptr_t(messageId));
    f.triggered = 1;
    f.messageId = messageId;
    MV2CallMissionScript(kMV2FriendlyFireRow, nullptr, kPunish, 0, 0);
}

float MV2GetFriendlyFireMeter() {
    return gMV2FriendlyFire.meter;
}

int32_t MV2FriendlyFireScript(MV2Object* object, int32_t message, intptr_t a, intptr_t b) {
    MV2FriendlyFire& f = gMV2FriendlyFire;
    switch (message) {
    case kMV2ScriptRestart:
        f = {};
        f.lastChange = MV2GetGameTime() + 5000;
        break;
    case kMV2ScriptEvent: OnEvent(object, a, b); break;
    case kDecayTimer:
        if (f.meter < 1.0f) {
            f.meter -= 0.002f;
            if (f.meter <= 0.0f) {
                f.meter = 0.0f;
                f.decayArmed = 0;
            } else {
                MV2MissionSetTimer(kMV2FriendlyFireRow, kDecayTimer, 1000);
            }
        }
        break;
    case kPunish: Punish(); break;
    case kAfterReset: AfterReset(); break;
    case kHome: GoHome(); break;
    case kBayDoor:
        if (MV2Object* bay = MV2FindObjectByWorldID(kBayObject)) MV2ObjectSendMessage(bay, 33, 1, 0);
        break;
    default: break;
    }
    return 1;
}
