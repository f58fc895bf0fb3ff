#include "game/effects/effectbase.h"

#include <cmath>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/texture.h"
#include "game/objects/sky.h"
#include "game/objects/utilities.h"
#include "shell/frametimer.h"
#include "shell/gameinit.h"
#include "shell/sounds.h"

TvCamera* gMV2EffectCamera = nullptr;

float MV2EffectStep() {
    return gMV2FrameTimer.ticks;
}

float MV2EffectSeconds() {
    return gMV2FrameTimer.ticks / 30.0f;
}

uint32_t MV2EffectClock() {
    return gMV2DayClock.gameClock;
}

uint32_t MV2EffectFrame() {
    return gMV2FrameTimer.updateCounter;
}

float MV2EffectFar() {
    return gMV2FarClip.distance;
}

float MV2EffectInverseFar() {
    return gMV2FarClip.inverse;
}

const TvMatrix* MV2CameraMatrix(const TvCamera* camera) {
    static TvMatrix identity = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0, 0, 0}, 3, 0};
    if (!camera || !camera->object.frame) return &identity;
    return TvFrameGetLTM(camera->object.frame);
}

float MV2CameraDepth(const TvCamera* camera, const TvV3d& point) {
    const TvMatrix* m = MV2CameraMatrix(camera);
    return TvV3dDot(TvV3dSub(point, m->pos), m->at);
}

TvTexture* MV2ReadEffectTexture(const char* name, const char* mask, bool) {
    // The game's reader looks in the texture folder; it has no level folder to skip yet.
    TvTexture* texture = TvTextureRead(name, mask);
    if (texture) TvTextureSetFilterMode(texture, 4);
    return texture;
}

void MV2DestroyEffectTexture(TvTexture*& texture) {
    if (texture) TvTextureDestroy(texture);
    texture = nullptr;
}

TvRaster* MV2EffectRaster(const TvTexture* texture) {
    return texture ? TvTextureGetRaster(texture) : nullptr;
}

intptr_t MV2BeginAdditiveGlow() {
    intptr_t source = 0;
    TvRenderStateGet(kTvRenderStateSrcBlend, &source);
    TvRenderStateSet(kTvRenderStateZWriteEnable, 0);
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 1);
    TvRenderStateSet(kTvRenderStateSrcBlend, 2);
    TvRenderStateSet(kTvRenderStateDestBlend, 2);
    TvRenderStateSet(kTvRenderStateFogEnable, 0);
    TvRenderStateSet(kTvRenderStateTextureRaster, 0);
    TvRenderStateSet(kTvRenderStateShadeMode, 2);
    return source;
}

bool MV2EndAdditiveGlow(intptr_t source) {
    TvRenderStateSet(kTvRenderStateSrcBlend, source);
    TvRenderStateSet(kTvRenderStateDestBlend, 6);
    TvRenderStateSet(kTvRenderStateZWriteEnable, 1);
    return TvRenderStateSet(kTvRenderStateFogEnable, 1);
}

uint8_t MV2WrapByte(float value) {
    if (!(value > -2.0e9f && value < 2.0e9f)) return 0;
    return uint8_t(uint32_t(int64_t(value)));
}

TvV3d MV2EffectRandomDirection() {
    TvV3d d;
    MV2RandomDirection(&d);
    return d;
}

int32_t MV2EffectSound(const char* name) {
    const int32_t id = MV2FindSoundByName(name);
    return id >= 0 ? id : kMV2NoSound;
}

void MV2BuildQuadBatch(TvIm3DVertex* vertices, uint16_t* indices, int32_t quads) {
    constexpr float u[4] = {0, 0, 1, 1}, v[4] = {0, 1, 1, 0};
    for (int32_t k = 0; k < quads; k++) {
        const uint16_t b = uint16_t(4 * k);
        const uint16_t list[6] = {b, uint16_t(b + 1), uint16_t(b + 2),
                                  b, uint16_t(b + 2), uint16_t(b + 3)}; // toward the camera
        for (int32_t i = 0; i < 6; i++)
            indices[6 * k + i] = list[i];
        for (int32_t c = 0; c < 4; c++) {
            vertices[4 * k + c].u = u[c];
            vertices[4 * k + c].v = v[c];
        }
    }
}

void MV2SetQuadCorners(TvIm3DVertex* quad, const TvV3d& centre, const TvV3d& right,
                       const TvV3d& up) {
    quad[0].objVertex = TvV3dSub(TvV3dSub(centre, right), up);
    quad[1].objVertex = TvV3dSub(TvV3dAdd(centre, right), up);
    quad[2].objVertex = TvV3dAdd(TvV3dAdd(centre, right), up);
    quad[3].objVertex = TvV3dAdd(TvV3dSub(centre, right), up);
}
