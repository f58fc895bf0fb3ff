// Shorthands shared by the mission scripts.
#include "game/missions/scriptkit.h"

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "game/missions/missionflow.h"
#include "game/objects/camera.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"

MV2Object* MV2ScriptCreateAtPoint(int32_t type, const TvV3d& point) {
    const float at[3] = {point.x, point.y, point.z};
    return MV2CreateObject(type, at, nullptr);
}

MV2Object* MV2ScriptCreateAt(int32_t type, MV2Object* at) {
    const TvV3d* p = MV2ScriptPosition(at);
    return p ? MV2ScriptCreateAtPoint(type, *p) : nullptr;
}

void MV2ScriptTakeFrame(MV2Object* object, MV2Object* source) {
    const TvV3d* p = MV2ScriptPosition(source);
    if (!object || !p) return;
    MV2ObjectCopyFrame(object, source);
    MV2ScriptMoveTo(object, *p);
}

void MV2ScriptMoveTo(MV2Object* object, const TvV3d& point) {
    if (!object) return;
    TvV3d at = point;
    MV2ObjectSendMessage(object, 83, 0, reinterpret_cast<intptr_t>(&at));
}

void MV2ScriptDestroy(MV2Object* object) {
    if (object) MV2ObjectSendMessage(object, 4, 0, 0);
}

void MV2ScriptSetCutSceneMode() {
    gMV2GameState.requested = int8_t((uint8_t(gMV2GameState.requested) & ~0xF3u) | 0x0Cu);
}

void MV2ScriptClearRequestedMode() {
    gMV2GameState.requested = 0;
}

TvMatrix* MV2ScriptCameraMatrix() {
    TvCamera* camera = gMV2MainCamera;
    return camera && camera->object.frame ? TvFrameGetMatrix(camera->object.frame) : nullptr;
}

void MV2ScriptCameraMoved() {
    if (gMV2MainCamera && gMV2MainCamera->object.frame) TvFrameUpdateObjects(gMV2MainCamera->object.frame);
}

void MV2ScriptCameraToPost(MV2Object* post, bool needsFrame) {
    if (!post || !post->matrix) return;
    TvMatrix* camera = MV2ScriptCameraMatrix();
    if (camera) {
        camera->pos = post->matrix->pos;
        MV2ScriptCameraMoved();
    } else if (needsFrame) {
        return;
    }
    MV2SetCameraMode(2);
}
