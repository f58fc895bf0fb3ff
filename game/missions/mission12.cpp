// The script of mission row 12: the radio warns the player on the way to a site where four
// craft wait; they attack when the player trips a watched object, are replaced while the fight
// lasts, and the level change that follows hands over to row 13.
#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/pathnodes.h"
#include "game/creatures/subai.h"
#include "game/frontend/missionmap.h"
#include "game/missions/missions.h"
#include "game/objects/levels.h"
#include "game/objects/sky.h"
#include "game/player/playercraft.h"
#include "shell/cdaudio.h"
#include "shell/gamemain.h"

namespace {

constexpr int32_t kRow = 12;
constexpr int32_t kCraftType = 56;
constexpr int32_t kCraftSlots = 4;
constexpr float kNear = 225.0f; // 15 units, squared
constexpr uint32_t kRepeatMs = 30000, kGiveUpMs = 60000;
constexpr int32_t kSite = 0x1040002, kApproach = 0x1040001, kSpawnPoint = 0x1040000;
constexpr int32_t kWatched[] = {0x104003D, 0x104003E, 0x104003F, 0x1040040,
                                0x1040042, 0x1040041, 0x104004E};
constexpr int32_t kSwitchedOff[] = {0x1000006, 0x1000004};

enum Timer : int32_t {
    kApproachPoll = 256,
    kNextMission = 257,
    kTriggerWait = 259,
    kSeenCheck = 260,
    kReinforce = 261,
    kOpening = 262,
};

struct Mission12 {
    uint32_t reference; // game ms
    int32_t lateWarning; // the reinforcement warning was given
    int32_t triggered;
    int32_t done;
    int32_t seen; // the seen check succeeded: later seen checks are ignored
    MV2ObjectRef craft[kCraftSlots];
    TvV3d spawn;
};
Mission12 g_m;

uint32_t Now() {
    return gMV2DayClock.gameClock;
}

uint32_t SinceReference() {
    return Now() - g_m.reference;
}

void Triggered(MV2Object*, int32_t) {
    g_m.triggered = 1;
}

void Music(int32_t track) {
    MV2AddMusicTrack(track, 1);
    MV2StartMusic();
}

// A new craft in slot `slot`: its handle kept, its animation set and the craft activated.
MV2Object* MakeCraft(int32_t slot, const TvV3d& at) {
    const MV2Point3 p = MV2Point(at);
    MV2Object* craft = MV2CreateObject(kCraftType, p.v, nullptr);
    if (!craft) return nullptr;
    MV2ObjectSendMessage(craft, 17, 0, reinterpret_cast<intptr_t>(&g_m.craft[slot].handle));
    g_m.craft[slot].object = craft;
    return craft;
}

void Animate(MV2Object* craft) {
    MV2ObjectSendMessage(craft, 21, 17, 0);
    MV2ObjectSendMessage(craft, 21, 0, 0);
    MV2ObjectSendMessage(craft, 0, 1, 0);
}

void SetUp() {
    g_m.reference = Now();
    g_m.lateWarning = g_m.triggered = g_m.done = g_m.seen = 0;
    for (int32_t id : kWatched)
        if (MV2Object* o = MV2FindObjectByScriptID(id))
            MV2ObjectSendMessage(o, 12, 1, reinterpret_cast<intptr_t>(&Triggered));
    for (int32_t id : kSwitchedOff)
        if (MV2Object* o = MV2FindObjectByScriptID(id)) MV2ObjectSendMessage(o, 11, 0, 0);
    MV2Object* spawn = MV2FindObjectByScriptID(kSpawnPoint);
    g_m.spawn = spawn && spawn->matrix ? spawn->matrix->pos : TvV3d{0, 0, 0};
    for (int32_t i = 0; i < kCraftSlots; i++) {
        MV2ClearObjectRef(&g_m.craft[i]);
        if (MV2Object* craft = MakeCraft(i, g_m.spawn)) {
            MV2SubAIOrderLevelOff(craft);
            Animate(craft);
        }
    }
    MV2MissionBegin(kRow, 1);
    MV2MapClearVisited();
    MV2MissionSetTimer(kRow, kOpening, 8000);
}

void ApproachPoll() {
    if (!MV2PlayerWithinScriptObject(kSite, kNear) && SinceReference() <= kGiveUpMs) {
        if (SinceReference() > kRepeatMs && MV2PlayerWithinScriptObject(kApproach, kNear)) {
            g_m.reference = Now();
            MV2PlayMissionMessage(998);
        }
        MV2MissionSetTimer(kRow, kApproachPoll, 1000);
        return;
    }
    g_m.reference = Now();
    MV2PlayMissionMessage(1002);
    MV2MissionSetTimer(kRow, kTriggerWait, 1);
}

void TriggerWait() {
    if (g_m.triggered) {
        MV2Object* target = MV2GetPlayerObject();
        for (MV2ObjectRef& slot : g_m.craft)
            if (MV2Object* craft = MV2GetObjectRef(&slot)) MV2SubAIOrderAttack(craft, target, 1);
        g_m.reference = Now();
        MV2PlayMissionMessage(1007);
        MV2MissionSetTimer(kRow, kSeenCheck, 1);
        return;
    }
    if (SinceReference() > kRepeatMs && MV2PlayerWithinScriptObject(kSite, kNear)) {
        g_m.reference = Now();
        MV2PlayMissionMessage(998);
    }
    MV2MissionSetTimer(kRow, kTriggerWait, 1000);
}

bool Seen(MV2Object* craft) {
    if (!gMV2MainCamera || !craft->matrix) return false;
    const TvSphere sphere{craft->matrix->pos, MV2TypeRadius(craft)};
    return TvCameraFrustumTestSphere(gMV2MainCamera, &sphere) != 0;
}

void SeenCheck() {
    if (g_m.seen) return;
    for (MV2ObjectRef& slot : g_m.craft) {
        MV2Object* craft = MV2GetObjectRef(&slot);
        if (!craft || !Seen(craft)) continue;
        g_m.seen = 1;
        g_m.reference = Now();
        MV2PlayMissionMessage(915);
        MV2PlayMissionMessage(1008);
        MV2SetCurrentLevelGates(1);
        MV2MissionInstallNotify(kRow, 15);
        MV2MissionInstallNotify(kRow, 16);
        MV2MissionSetTimer(kRow, kReinforce, 1000);
        Music(13);
        return;
    }
    MV2MissionSetTimer(kRow, kSeenCheck, 1000);
}

void Reinforce() {
    if (!g_m.lateWarning && SinceReference() > kRepeatMs) {
        g_m.lateWarning = 1;
        MV2PlayMissionMessage(1009);
        MV2PlayMissionMessage(1010);
    }
    if (MV2Object* target = MV2GetPlayerObject()) {
        for (int32_t i = 0; i < kCraftSlots; i++) {
            if (MV2GetObjectRef(&g_m.craft[i])) continue;
            MV2ClearObjectRef(&g_m.craft[i]);
            const TvV3d* node = MV2FindHiddenPathNode();
            if (!node) continue;
            if (MV2Object* craft = MakeCraft(i, *node)) {
                MV2SubAIOrderAttack(craft, target, 1);
                Animate(craft);
            }
        }
    }
    MV2MissionSetTimer(kRow, kReinforce, 1000);
}

} // namespace

int32_t MV2Mission12Script(MV2Object*, int32_t message, intptr_t a, intptr_t b) {
    MV2CurrentLevelWorld world;
    switch (message) {
    case kNextMission: MV2MissionRestart(13); return 1;
    case kMV2ScriptStart:
        MV2PlayCutScene(0x10FFFFF, 0x10F0001);
        SetUp();
        return 1;
    case kMV2ScriptRestart: SetUp(); return 1;
    case kOpening:
        MV2PlayMissionMessage(995);
        MV2PlayMissionMessage(996);
        MV2MissionSetTimer(kRow, kApproachPoll, 1000);
        MV2MissionSetTimer(kRow, kSeenCheck, 1000);
        Music(7);
        return 1;
    default: break;
    }
    if (g_m.done) return 1;
    switch (message) {
    case kMV2ScriptEvent:
        if (a == 15) {
            g_m.done = 1;
            MV2QueueCutScene(0x24FFFF, 0x240001);
            MV2MissionSetTimer(kRow, kNextMission, 1);
            MV2MissionRemoveNotify(kRow, 15);
        } else if (a == 16 && b == 47) {
            MV2FadeMusic(0.0f, 3.0f);
            MV2MissionRemoveNotify(kRow, 16);
        }
        break;
    case kApproachPoll: ApproachPoll(); break;
    case kTriggerWait: TriggerWait(); break;
    case kSeenCheck: SeenCheck(); break;
    case kReinforce: Reinforce(); break;
    default: break;
    }
    return 1;
}
