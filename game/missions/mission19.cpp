// Mission row 19: the expedition into level 1. A friendly craft waits there; a guarded target
// must be reached and destroyed, after which the friendly craft is lost, a wreck takes its
// place, the passage home closes for a while and the player must find the beacon and return
// home, which ends the mission and starts row 20. Reminders run on the game clock.
#include "engine/core/camera.h"
#include "game/creatures/subai.h"
#include "game/frontend/hud.h"
#include "game/missions/missions.h"
#include "game/missions/scriptkit.h"
#include "game/objects/camera.h"
#include "game/objects/levels.h"
#include "game/objects/water.h"
#include "game/player/boltgun.h"
#include "game/player/player.h"
#include "shell/cdaudio.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"

namespace {

constexpr int32_t kRow = 19;

struct Mission19 {
    uint32_t stamp; // game ms of the last reminder or step
    int32_t friendlyNear, cutSceneStarted, targetReached, beaconSeen, targetDestroyed, done;
    float referenceHeight;
    MV2ObjectRef target;
};
Mission19 g_m19;

uint32_t Now() {
    return MV2GetGameTime();
}

bool Since(uint32_t ms) {
    return Now() - g_m19.stamp >= ms;
}

// The friendly craft is lost: sunk, electrified and destroyed, and the wreck replaces the
// level's craft mark.
void LoseFriendlyCraft(MV2Object* craft) {
    if (craft) {
        MV2SubAIOrderSink(craft);
        MV2BreakIntoDebris(craft, 0);
        MV2ScriptDestroy(craft);
    }
    if (MV2Object* wreck = MV2ScriptCreateAt(430, MV2FindObjectByScriptID(0x1050005)))
        MV2ScriptTakeFrame(wreck, MV2FindObjectByScriptID(0x1050005));
    MV2ScriptDestroy(MV2FindObjectByScriptID(0x1050000));
}

void ArriveInLevel1() {
    Mission19& m = g_m19;
    MV2SetLevelGates(0xFFFFFF, 0);
    MV2SpawnLevelRecord(0x105FFFF, kRow);
    if (MV2Object* sub = MV2GetPlayerSub()) m.referenceHeight = MV2GetWaterHeight(&sub->matrix->pos);
    MV2Object* mark = MV2FindObjectByScriptID(m.targetReached ? 0x1050002 : 0x1050001);
    MV2Object* craft = MV2ScriptCreateAt(67, mark);
    if (craft) {
        MV2ObjectSendMessage(craft, 29, reinterpret_cast<intptr_t>(MV2SubAIBrain), 0);
        MV2SetMissionObjectB(craft);
        MV2SetMissionObjectBState(2);
        MV2SubAIOrderLevelOff(craft);
        MV2ScriptTakeFrame(craft, mark);
    }
    if (m.targetReached)
        LoseFriendlyCraft(craft);
    else
        MV2HudSetObjective(MV2FindObjectByScriptID(0x1050000));
    MV2AddMusicTrack(7, 1);
    MV2StartMusic();
}

void OnEvent(int32_t event) {
    Mission19& m = g_m19;
    if (event == 8) {
        MV2MissionRemoveNotify(kRow, 8);
        m = {};
        m.stamp = Now();
        m.referenceHeight = 1000000.0f;
        const int32_t d = int32_t(MV2PlayMissionMessage(1118));
        MV2MissionQueueMessage(kRow, 1119, d);
        MV2MissionSetTimer(kRow, 256, 1000);
        MV2MissionSetPeriodicMessage(1137, 420); // seven minutes
        MV2MissionInstallNotify(kRow, 15);
        MV2HudSetObjective(MV2FindObjectByScriptID(0x40222));
    } else if (event == 15) {
        if ((MV2GetCurrentLevelId() >> 24) == 1) {
            ArriveInLevel1();
            return;
        }
        MV2ResetMusic();
        if (m.targetDestroyed) {
            MV2MissionRemoveNotify(kRow, 15);
            m.done = 1;
            MV2MissionRestart(20);
        }
    }
}

// The target appears once the cut-scene has run and the player reaches its site.
void Timer256() {
    Mission19& m = g_m19;
    MV2Object* sub = MV2GetPlayerSub();
    if (!m.friendlyNear && MV2ScriptDistanceSquared(MV2GetMissionObjectB(), sub) < 900.0f) {
        m.friendlyNear = 1;
        MV2PlayMissionMessage(1136);
    }
    if (!m.cutSceneStarted || !MV2PlayerWithinScriptObject(0x10D0005, 64.0f)) {
        MV2MissionSetTimer(kRow, 256, 1000);
        return;
    }
    m.stamp = Now();
    MV2Object* mark = MV2FindObjectByScriptID(0x10D0000);
    if (MV2Object* target = MV2ScriptCreateAt(243, mark)) {
        MV2ObjectCopyFrame(target, mark);
        MV2ScriptKeep(m.target, target);
        MV2MissionAttachObject(kRow, target);
        MV2ScriptMoveTo(target, mark->matrix->pos);
        MV2ObjectSendMessage(target, 12, reinterpret_cast<intptr_t>(MV2FindObjectByScriptID(0x10D0003)),
                             reinterpret_cast<intptr_t>(MV2FindObjectByScriptID(0x10D0001)));
        MV2ObjectSendMessage(target, 33, reinterpret_cast<intptr_t>(MV2FindObjectByScriptID(0x10D0002)),
                             reinterpret_cast<intptr_t>(MV2FindObjectByScriptID(0x10D0004)));
    }
    MV2PlayCutScene(0x117FFFF, 0x10D0002);
    MV2MissionSetTimer(kRow, 257, 1);
}

void Timer257() {
    Mission19& m = g_m19;
    if (!m.targetReached) {
        if (MV2PlayerWithinScriptObject(0x10D0001, 1000.0f)) {
            m.targetReached = 1;
        } else if (Since(900000)) {
            MV2PlayMissionMessage(1121);
            m.stamp = Now();
        }
    }
    if (!m.targetReached || MV2ScriptLive(m.target)) {
        MV2MissionSetTimer(kRow, 257, 1000);
        return;
    }
    m.stamp = Now();
    MV2SetLevelGates(0xFFFFFF, 1);
    MV2MissionSetTimer(kRow, 260, 5000);
    MV2Object* craft = MV2GetMissionObjectB();
    if (craft) MV2ScriptTakeFrame(craft, MV2FindObjectByScriptID(0x1050002));
    LoseFriendlyCraft(craft);
    int32_t d = int32_t(MV2PlayMissionMessage(1122));
    d = MV2MissionQueueMessage(kRow, 1123, d);
    MV2MissionQueueMessage(kRow, 1124, d);
    MV2MissionSetTimer(kRow, 258, 1);
    m.targetDestroyed = 1;
}

void Timer258() {
    Mission19& m = g_m19;
    if (m.done) return;
    MV2Object* beacon = MV2FindObjectByScriptID(0x1050002);
    const TvSphere sphere{beacon && beacon->matrix ? beacon->matrix->pos : TvV3d{}, 0.5f};
    if (beacon && gMV2MainCamera && TvCameraFrustumTestSphere(gMV2MainCamera, &sphere) &&
        MV2PlayerWithin(beacon, 25.0f)) {
        m.beaconSeen = 1;
        m.stamp = Now();
        const int32_t d = int32_t(MV2PlayMissionMessage(1125));
        const int32_t end = MV2MissionQueueMessage(kRow, 917, d + 500);
        MV2MissionSetTimer(kRow, 259, end);
    } else if (Since(300000)) {
        const int32_t d = int32_t(MV2PlayMissionMessage(1126));
        m.stamp = Now();
        MV2MissionSetTimer(kRow, 258, d + 500);
    } else {
        MV2MissionSetTimer(kRow, 258, 1000);
    }
}

} // namespace

int32_t MV2Mission19Script(MV2Object*, int32_t message, intptr_t a, intptr_t) {
    Mission19& m = g_m19;
    switch (message) {
    case kMV2ScriptStart:
    case kMV2ScriptRestart:
        MV2MissionInstallNotify(kRow, 8);
        MV2EmptyHook();
        MV2MissionBegin(kRow, 1);
        MV2SetLevelGates(0x1FFFFFF, 1);
        break;
    case kMV2ScriptEvent: OnEvent(int32_t(a)); break;
    case 15:
        MV2SpawnLevelRecord(0x10DFFFF, kRow);
        MV2SpawnLevelRecord(0x10EFFFF, kRow);
        MV2PlayCutScene(0x108FFFF, 0x1080001);
        m.cutSceneStarted = 1;
        MV2MissionSetPeriodicMessage(-1, 0);
        break;
    case 256: Timer256(); break;
    case 257: Timer257(); break;
    case 258: Timer258(); break;
    case 259:
        if (m.done) break;
        if (Since(120000)) {
            const int32_t d = int32_t(MV2PlayMissionMessage(1128));
            m.stamp = Now();
            MV2MissionSetTimer(kRow, 259, d + 500);
        } else {
            MV2MissionSetTimer(kRow, 259, 1000);
        }
        break;
    case 260: {
        if (m.done) break;
        MV2Object* sub = MV2GetPlayerSub();
        if (sub && sub->matrix && sub->matrix->pos.y <= m.referenceHeight) {
            MV2DestroyLevelRecordObjects(0x11AFFFF);
            MV2DestroyLevelRecordObjects(0x10EFFFF);
        } else {
            MV2MissionSetTimer(kRow, 260, 2000);
        }
        break;
    }
    default: break;
    }
    return 1;
}
