#include "game/effects/lava.h"

#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "game/effects/effectbase.h"
#include "shell/gamemain.h"
#include "game/objects/camera.h"

MV2LavaBlob gMV2LavaBlobs[kMV2LavaBlobs];
MV2LavaEmitter gMV2LavaEmitter;

namespace {

constexpr int32_t kBatch = 20;

TvRaster* g_raster = nullptr;
TvIm3DVertex g_vertices[kBatch * 3];

void ClearBlobs() {
    for (MV2LavaBlob& b : gMV2LavaBlobs)
        b.end = 0;
}

float Spread(uint32_t r, float scale) {
    return (float(r & 8191) - 4095.5f) * scale;
}

void Burst(const TvMatrix* camera, uint32_t clock) {
    MV2LavaEmitter& e = gMV2LavaEmitter;
    const float a = (float(MV2EffectRandom() & 8191) / 4095.5f - 1.0f) * 3.0f;
    const TvV3d base = {e.source.x + a * camera->right.x, e.source.y - 1.5f,
                        e.source.z + a * camera->right.z};
    TvV3d velocity;
    velocity.x = Spread(MV2EffectRandom(), 9.766817e-6f);
    velocity.y = float(MV2EffectRandom() & 8191) * 2.4417044e-5f + 0.2f;
    velocity.z = Spread(MV2EffectRandom(), 9.766817e-6f);
    const int32_t n = int32_t(MV2EffectRandom() & 3) + 3;
    for (int32_t k = 0; k < n; k++) {
        MV2LavaBlob& b = gMV2LavaBlobs[e.ring % kMV2LavaBlobs];
        b.position = base;
        b.velocity.x = velocity.x + Spread(MV2EffectRandom(), 2.4417043e-6f);
        b.velocity.y = velocity.y + Spread(MV2EffectRandom(), 2.4417043e-6f);
        b.velocity.z = velocity.z + Spread(MV2EffectRandom(), 2.4417043e-6f);
        b.start = clock + uint32_t(25 * (n - k));
        b.end = b.start + 1000 + (MV2EffectRandom() & 1023);
        b.size = float(MV2EffectRandom() & 8191) * 0.00030521303f + 1.25f;
        e.ring = (e.ring + 1) % kMV2LavaBlobs;
    }
}

void Flush(int32_t count) {
    if (count == 0 || !TvIm3DTransform(g_vertices, count, nullptr, kTvIm3DVertexUV)) return;
    TvIm3DRenderPrimitive(kTvPrimitiveTriangleList);
    TvIm3DEnd();
}

} // namespace

int32_t MV2InitialiseLavaBlobs() {
    ClearBlobs();
    gMV2LavaEmitter.on = 0;
    gMV2LavaEmitter.ring = 0;
    if (!g_raster) {
        TvTexture* texture = MV2ReadEffectTexture("lavablob", "lavablom");
        if (!texture) return 0;
        g_raster = TvTextureGetRaster(texture);
        TvTextureSetRaster(texture, nullptr); // the texture goes, the raster stays
        TvTextureDestroy(texture);
    }
    return 1;
}

void MV2ShutdownLavaBlobs() {
    if (g_raster) TvRasterDestroy(g_raster);
    g_raster = nullptr;
}

void MV2StartLavaBlobs(const float* position) {
    if (!position) return;
    ClearBlobs();
    gMV2LavaEmitter.on = 1;
    gMV2LavaEmitter.source = MV2V3d(position);
    gMV2LavaEmitter.nextBurst = MV2EffectClock();
}

void MV2StopLavaBlobs() {
    gMV2LavaEmitter.on = 0;
}

void MV2UpdateLavaBlobs() {
    MV2LavaEmitter& e = gMV2LavaEmitter;
    if (!e.on) return;
    const TvMatrix* camera = MV2CameraMatrix(gMV2MainCamera);
    const uint32_t clock = MV2EffectClock();
    while (int32_t(clock - e.nextBurst) > 0) {
        Burst(camera, clock);
        e.nextBurst += 32 + (MV2EffectRandom() & 63);
    }
    const float step = MV2EffectStep();
    const TvV3d drift = TvV3dScale(camera->at, 0.01f * step);
    for (MV2LavaBlob& b : gMV2LavaBlobs) {
        if (b.end == 0) continue;
        if (int32_t(clock - b.end) >= 0) {
            b.end = 0;
        } else if (int32_t(clock - b.start) > 0) {
            b.position = TvV3dAdd(b.position, TvV3dScale(b.velocity, step));
            b.velocity = TvV3dSub(b.velocity, drift);
        }
    }
}

void MV2DrawLavaBlobs() {
    if (!gMV2LavaEmitter.on) return;
    constexpr int32_t kStates[6] = {kTvRenderStateShadeMode,         kTvRenderStateFogEnable,
                                    kTvRenderStateVertexAlphaEnable, kTvRenderStateSrcBlend,
                                    kTvRenderStateDestBlend,         kTvRenderStateZWriteEnable};
    constexpr intptr_t kValues[6] = {1, 0, 1, 5, 2, 0};
    intptr_t saved[6] = {};
    for (int32_t i = 0; i < 6; i++) {
        TvRenderStateGet(kStates[i], &saved[i]);
        TvRenderStateSet(kStates[i], kValues[i]);
    }
    TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(g_raster));
    const TvMatrix* camera = MV2EffectCameraMatrix();
    const uint32_t clock = MV2EffectClock();
    int32_t count = 0;
    for (int32_t i = 0; i < kMV2LavaBlobs; i++) {
        const MV2LavaBlob& b = gMV2LavaBlobs[i];
        if (b.end == 0 || int32_t(b.end - clock) <= 0) continue;
        // A blob still waiting to start is drawn at full brightness, not brighter.
        float t = float(b.end - clock) / float(b.end - b.start);
        if (t > 1.0f) t = 1.0f;
        const uint8_t a = uint8_t(255.0f * t), green = uint8_t(80.0f * t * t);
        const float s = 2.0f * b.size;
        TvIm3DVertex* v = &g_vertices[count];
        const float corner = float(i & 1);
        v[0].objVertex = b.position;
        v[0].u = v[0].v = corner;
        // The right corner before the upper one winds the triangle toward the camera.
        v[1].objVertex = TvV3dAdd(b.position, TvV3dScale(camera->right, s));
        v[1].u = 0.0f;
        v[1].v = 1.0f;
        v[2].objVertex = TvV3dAdd(b.position, TvV3dScale(camera->up, s));
        v[2].u = 1.0f;
        v[2].v = 0.0f;
        for (int32_t c = 0; c < 3; c++) {
            v[c].red = a;
            v[c].green = green;
            v[c].blue = uint8_t(green / 4);
            v[c].alpha = a;
        }
        count += 3;
        if (count == kBatch * 3) {
            Flush(count);
            count = 0;
        }
    }
    Flush(count);
    for (int32_t i = 0; i < 6; i++)
        TvRenderStateSet(kStates[i], saved[i]);
}
