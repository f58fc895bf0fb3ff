#include "game/missions/missionhelpers.h"

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "game/effects/effects.h"
#include "game/frontend/hud.h"
#include "game/missions/city.h"
#include "game/missions/cutscenes.h"
#include "game/missions/missionflow.h"
#include "game/missions/missionscripts.h"
#include "game/missions/missiontimers.h"
#include "game/missions/scriptevents.h"
#include "game/objects/camera.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "game/player/playercraft.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"

MV2CutSceneSequence gMV2CutSceneSequence = {};
MV2ObjectiveLock gMV2ObjectiveLock = {};
uint32_t MV2CutSceneFocusId = 0;
uint32_t MV2LevelSwitchRequest = 0;

namespace {

constexpr int32_t kPollTimer = 256;
constexpr int32_t kEventPathEnded = 3, kEventModeLeft = 4, kEventCity = 7, kEventLevelDone = 15,
                  kEventSequenceDone = 17;
constexpr uint32_t kEndCutScene = 0x3EFFFF;
constexpr int32_t kLockCandidates[] = {0x2001C, 0x2001D, 0x2001E, 0x2001F, 0x20020};
constexpr uint8_t kAtomicRender = 4;

TvMatrix* CameraMatrix() {
    TvCamera* camera = gMV2MainCamera;
    return camera && camera->object.frame ? TvFrameGetMatrix(camera->object.frame) : nullptr;
}

void UpdateCamera() {
    if (gMV2MainCamera && gMV2MainCamera->object.frame) TvFrameUpdateObjects(gMV2MainCamera->object.frame);
}

float DistanceSquared(const MV2Object* a, const MV2Object* b) {
    const TvV3d d = TvV3dSub(a->matrix->pos, b->matrix->pos);
    return d.x * d.x + d.y * d.y + d.z * d.z;
}

bool Near(MV2Object* object, int32_t scriptId, float rangeSquared) {
    MV2Object* other = MV2FindObjectByScriptID(scriptId);
    if (!object || !other || !object->matrix || !other->matrix) return false;
    return DistanceSquared(object, other) < rangeSquared;
}

// The requested-mode byte of the game-state word (its bits 16-23).
void SetCutSceneModeBits() {
    gMV2GameState.requested = int8_t((uint8_t(gMV2GameState.requested) & ~0xF3u) | 0x0Cu);
}

void MoveTo(MV2Object* object, const TvV3d& position) {
    TvV3d at = position;
    MV2ObjectSendMessage(object, 83, 0, reinterpret_cast<intptr_t>(&at));
}

bool ObjectiveIsLocked() {
    MV2ObjectiveLock& l = gMV2ObjectiveLock;
    MV2Object* objective = nullptr;
    uint32_t handle = 0;
    MV2HudGetObjective(&objective, &handle);
    return objective && objective == l.target.object && handle == l.target.handle &&
           MV2ObjectHandleAlive(handle);
}

void ArmPoll() {
    MV2ObjectiveLock& l = gMV2ObjectiveLock;
    if (l.running) return;
    l.running = 1;
    MV2MissionSetTimer(kMV2CutSceneRow, kPollTimer, 500);
}

void Release() {
    if (ObjectiveIsLocked()) {
        MV2HudSetObjective(nullptr);
        gMV2ObjectiveLock.done = 1;
    }
}

void Lock(MV2Object* object, float rangeSquared, int32_t notifyRow) {
    MV2ObjectiveLock& l = gMV2ObjectiveLock;
    MV2HudSetObjective(object);
    MV2SetObjectRef(&l.target, object);
    l.notifyRow = notifyRow;
    l.rangeSquared = rangeSquared;
    if (rangeSquared > 0.0f) {
        l.done = 0;
        ArmPoll();
    } else {
        l.done = 1;
    }
}

void Poll() {
    MV2ObjectiveLock& l = gMV2ObjectiveLock;
    if (l.done) {
        l.running = l.done = 0;
        return;
    }
    if (!ObjectiveIsLocked()) {
        l.running = 0;
        return;
    }
    MV2Object* craft = MV2GetPlayerObject();
    MV2Object* target = l.target.object;
    if (craft && craft->matrix && target->matrix && DistanceSquared(craft, target) < l.rangeSquared) {
        MV2HudSetObjective(nullptr);
        l.running = 0;
        if (l.notifyRow)
            MV2CallMissionScript(l.notifyRow, craft, 6, 0, reinterpret_cast<intptr_t>(target));
        return;
    }
    MV2MissionSetTimer(kMV2CutSceneRow, kPollTimer, 500);
}

// The cut-scene's path has ended: the player's craft and the camera come back.
void PathEnded() {
    MV2CutSceneSequence& s = gMV2CutSceneSequence;
    MV2MissionRemoveNotify(kMV2CutSceneRow, kEventPathEnded);
    if (s.followUpPending) {
        MV2ReportMissionOutcome(kMV2OutcomeLevelChange, intptr_t(MV2LevelSwitchRequest));
        MV2RequestLevelChange(MV2LevelSwitchRequest);
        MV2MissionInstallNotify(kMV2CutSceneRow, kEventLevelDone);
    } else {
        MV2MissionInstallNotify(kMV2CutSceneRow, kEventModeLeft);
    }
    gMV2GameState.requested = 0;
    MV2SetLetterbox(2);
    MV2Object* craft = MV2GetPlayerObject();
    if (!craft) return;
    MV2ObjectSendMessage(craft, 102, 0, 0);
    if (s.current != kEndCutScene) {
        MV2ObjectSendMessage(craft, 29, 0, reinterpret_cast<intptr_t>(MV2PlayerHandler));
        MV2SetCameraMode(1);
    }
    if (s.objectId) {
        MV2Object* focus = MV2FindObjectByWorldID(int32_t(s.objectId));
        if (focus && focus->matrix) {
            s.savedPosition = focus->matrix->pos;
            MV2ObjectCopyFrame(craft, focus);
            gMV2GameCamera.savedPlayer = *focus->matrix;
        }
        MoveTo(craft, s.savedPosition);
    } else if (TvMatrix* m = CameraMatrix()) {
        m->pos = s.savedCamera;
        UpdateCamera();
    }
    craft->energy = s.savedEnergy;
    if (!s.wasVisible) MV2SetObjectVisible(craft, 0);
}

void SequenceDone(int32_t event) {
    MV2CutSceneSequence& s = gMV2CutSceneSequence;
    MV2MissionRemoveNotify(kMV2CutSceneRow, event);
    const uint32_t finished = s.current;
    MV2NotifyScripts(nullptr, kEventSequenceDone, intptr_t(finished));
    MV2DestroyLevelRecordObjects(finished);
    MV2CutSceneFocusId = 0;
    s.current = 0;
    if (s.followUpPending && s.followUp) {
        if (MV2PlayCutScene(s.followUp, s.followUpObject)) MV2SetScreenFade(1);
        s.followUp = s.followUpObject = 0;
        s.followUpPending = 0;
        return;
    }
    MV2SetScreenFade(0);
    s.followUpPending = 0;
}

} // namespace

int32_t MV2PlayCutScene(uint32_t recordId, uint32_t objectId) {
    MV2CurrentLevelWorld current;
    MV2CutSceneSequence& s = gMV2CutSceneSequence;
    if (s.current || !recordId) return 0;
    s.current = recordId;
    s.objectId = objectId;
    MV2Object* sub = MV2GetPlayerSub();
    if (!sub || (sub->typeWord & kMV2ObjectTypeMask) != 84) MV2CutSceneFocusId = objectId;
    if (!sub || !MV2CutSceneStart(recordId, 0)) {
        s.current = 0;
        MV2CutSceneFocusId = 0;
        return 0;
    }
    MV2Object* held = nullptr;
    if (MV2MissionToolCommand(sub, 0, 34, 0, &held) && held && (held->typeWord & kMV2ObjectTypeMask) != 183)
        MV2MissionToolCommand(sub, 0, 53, 0, nullptr);
    MV2SetCameraMode(5);
    MV2SetLetterbox(1);
    MV2Object* focus = objectId ? MV2FindObjectByScriptID(int32_t(objectId)) : nullptr;
    if (focus) {
        intptr_t value = 0;
        if (MV2MissionToolCommand(sub, 6, 13, 0, &value) && value) MV2ObjectSendMessage(focus, 48, 6, 0);
        if (sub->matrix) s.savedPosition = sub->matrix->pos;
        MoveTo(sub, TvV3d{0, 0, 0});
    } else if (TvMatrix* m = CameraMatrix()) {
        s.savedCamera = m->pos;
    }
    if (MV2Object* craft = MV2GetPlayerObject()) {
        MV2ObjectSendMessage(craft, 31, 0, reinterpret_cast<intptr_t>(craft->overrideHandler));
        s.savedEnergy = craft->energy;
        craft->energy = 100000.0f;
        TpAtomic* first = craft->clump ? MV2GetFirstAtomic(craft->clump) : nullptr;
        s.wasVisible = first && (first->object.object.flags & kAtomicRender) ? 1 : 0;
        MV2SetObjectVisible(craft, 1);
        MV2SetTag69PartVisible(craft, 0);
    }
    SetCutSceneModeBits();
    MV2MissionInstallNotify(kMV2CutSceneRow, kEventPathEnded);
    return 1;
}

int32_t MV2PlayCutSceneThen(uint32_t recordId, uint32_t objectId, uint32_t levelId,
                            uint32_t followUp, uint32_t followUpObject) {
    MV2LevelSwitchRequest = levelId;
    if (!MV2PlayCutScene(recordId, objectId)) {
        MV2ReportMissionOutcome(kMV2OutcomeLevelChange, intptr_t(levelId));
        MV2RequestLevelChange(levelId);
        return 0;
    }
    MV2CutSceneSequence& s = gMV2CutSceneSequence;
    s.followUpPending = 1;
    s.followUp = followUp;
    s.followUpObject = followUpObject;
    MV2SetScreenFade(2);
    return 1;
}

void MV2QueueCutScene(uint32_t recordId, uint32_t objectId) {
    MV2CutSceneSequence& s = gMV2CutSceneSequence;
    if (s.followUpPending) {
        s.followUp = recordId;
        s.followUpObject = objectId;
        return;
    }
    MV2PlayCutScene(recordId, objectId);
}

void MV2ResetCutSceneSequence() {
    MV2CutSceneSequence& s = gMV2CutSceneSequence;
    s.current = s.objectId = 0;
    s.followUp = s.followUpObject = 0;
    s.followUpPending = 0;
    MV2SetCutSceneActorFlag(1); // a run left mid-way does not keep actors from bouncing
}

int32_t MV2PlayerWithin(MV2Object* object, float rangeSquared) {
    MV2Object* craft = MV2GetPlayerObject();
    if (!craft || !object || !craft->matrix || !object->matrix) return 0;
    return DistanceSquared(craft, object) < rangeSquared ? 1 : 0;
}

int32_t MV2PlayerWithinScriptObject(int32_t scriptId, float rangeSquared) {
    MV2CurrentLevelWorld current;
    return MV2PlayerWithin(MV2FindObjectByScriptID(scriptId), rangeSquared);
}

int32_t MV2IsNearObjectA(MV2Object* object) {
    return Near(object, 0x4026D, 7225.0f) ? 1 : 0;
}

int32_t MV2IsNearObjectB(MV2Object* object) {
    return Near(object, 0x4026E, 2500.0f) ? 1 : 0;
}

void MV2LockTarget(MV2Object* object, float range, int32_t watch, int32_t notifyRow) {
    if (object) {
        Lock(object, range * range, notifyRow);
        if (watch) {
            MV2MissionInstallNotify(kMV2CutSceneRow, kEventCity);
            return;
        }
    } else {
        Release();
    }
    MV2MissionRemoveNotify(kMV2CutSceneRow, kEventCity);
}

void MV2LockNearestTarget() {
    MV2CurrentLevelWorld current;
    MV2Object* sub = MV2GetPlayerSub();
    if (!sub || !sub->matrix) return;
    MV2Object* nearest = nullptr;
    float best = 1e8f;
    for (int32_t id : kLockCandidates) {
        MV2Object* candidate = MV2FindObjectByScriptID(id);
        if (!candidate || !candidate->matrix) continue;
        const float d = DistanceSquared(sub, candidate);
        if (d < best) {
            best = d;
            nearest = candidate;
        }
    }
    if (!nearest) {
        Release();
        MV2MissionRemoveNotify(kMV2CutSceneRow, kEventCity);
        return;
    }
    Lock(nearest, 16.0f, 0);
    MV2MissionInstallNotify(kMV2CutSceneRow, kEventCity);
}

MV2Object* MV2RespawnScriptObject(int32_t scriptId) {
    MV2CurrentLevelWorld current;
    MV2Object* old = MV2FindObjectByScriptID(scriptId);
    if (!old || !old->matrix) return nullptr;
    const TvMatrix matrix = *old->matrix;
    MV2Object* fresh = MV2CreateObject(int32_t(old->typeWord & kMV2ObjectTypeMask), &matrix.pos.x, nullptr);
    if (!fresh) return nullptr;
    if (fresh->matrix) {
        *fresh->matrix = matrix;
        if (fresh->clump) TvFrameUpdateObjects(fresh->clump->frame);
    }
    MV2ObjectSendMessage(old, 4, 0, 0);
    return fresh;
}

void MV2ParkObject(MV2Object* object, TvV3d* position, float* energy) {
    if (!object) return;
    if (position && object->matrix) *position = object->matrix->pos;
    if (energy) *energy = object->energy;
    object->energy = 1000000.0f;
    MoveTo(object, TvV3d{0, 0, 0});
}

namespace {
void ApplyGates(const int32_t* switches, int32_t count, int32_t closeFlag) {
    for (int32_t i = 0; i < count; ++i) {
        if (closeFlag)
            MV2ClearLevelSwitch(switches[i]);
        else
            MV2SetLevelSwitch(switches[i], 1);
    }
}
} // namespace

int32_t MV2SetLevelGates(uint32_t levelId, int32_t closeFlag) {
    const uint32_t current = MV2GetCurrentLevelId() >> 24;
    int32_t pair[2];
    if (current == 0 && levelId == 0x1FFFFFF)
        pair[0] = 17, pair[1] = 20;
    else if (current == 0 && levelId == 0x3FFFFFF)
        pair[0] = 18, pair[1] = 26;
    else if (current == 1 && levelId == 0xFFFFFF)
        pair[0] = 20, pair[1] = 17;
    else if (current == 3 && levelId == 0xFFFFFF)
        pair[0] = 26, pair[1] = 18;
    else
        return 0;
    ApplyGates(pair, 2, closeFlag);
    return 1;
}

void MV2SetCurrentLevelGates(int32_t closeFlag) {
    static constexpr int32_t kLevel1[] = {20, 17}, kLevel3[] = {26, 18}, kLevel0[] = {17, 20, 18, 26};
    switch (MV2GetCurrentLevelId() >> 24) {
    case 0: ApplyGates(kLevel0, 4, closeFlag); break;
    case 1: ApplyGates(kLevel1, 2, closeFlag); break;
    case 3: ApplyGates(kLevel3, 2, closeFlag); break;
    default: break;
    }
}

int32_t MV2CutSceneScript(MV2Object*, int32_t message, intptr_t a, intptr_t) {
    MV2ObjectiveLock& l = gMV2ObjectiveLock;
    switch (message) {
    case kMV2ScriptRestart:
        MV2ClearObjectRef(&l.target);
        l.running = l.done = 0;
        break;
    case kPollTimer: Poll(); break;
    case kMV2ScriptEvent:
        switch (a) {
        case kEventPathEnded: PathEnded(); break;
        case kEventModeLeft:
        case kEventLevelDone: SequenceDone(int32_t(a)); break;
        case kEventCity:
            if (ObjectiveIsLocked()) {
                MV2HudSetObjective(nullptr);
                l.done = 1;
            }
            MV2MissionRemoveNotify(kMV2CutSceneRow, kEventCity);
            break;
        default: break;
        }
        break;
    default: break;
    }
    return 1;
}
