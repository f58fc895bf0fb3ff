#include "game/effects/sunrays.h"

#include <cmath>

#include "engine/core/frame.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/effects/effectbase.h"
#include "shell/gamemain.h"
#include "game/objects/camera.h"
#include "game/objects/objects.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"

namespace {

constexpr int32_t kVertices = 1 + 3 * kMV2SunRays;
constexpr int32_t kWaves = 2 * kMV2WaveSamples;

struct State {
    TvRaster* raster;
    MV2ObjectRef listed[kMV2SunRayObjects];
    int32_t count;
    TvIm3DVertex vertices[kVertices];
    uint16_t indices[6 * kMV2SunRays];
};
State g = {};

void Unlist(MV2Object* object) {
    for (int32_t i = 0; i < g.count; i++)
        if (g.listed[i].object == object) {
            for (int32_t j = i + 1; j < g.count; j++)
                g.listed[j - 1] = g.listed[j];
            g.count--;
            return;
        }
}

// Where the time lies in its period, 0..1.
float Phase(uint32_t clock, uint32_t period) {
    return period ? float(clock % period) / float(period) : 0.0f;
}

void Aim(MV2Object* object, MV2SunRayData* d, bool relative, const TvV3d& target) {
    const TvV3d direction = MV2EffectUnit(relative ? target : TvV3dSub(target, d->source));
    d->end = TvV3dAdd(d->source, TvV3dScale(direction, 30.0f));
    MV2TriangleHit hit = {};
    float fraction = 1.0f;
    if (MV2IntersectWorldLine(MV2World, &d->source, &d->end, &hit, &fraction)) {
        d->end = TvV3dAdd(d->source, TvV3dScale(TvV3dSub(d->end, d->source), fraction));
        d->normal = hit.normal;
    } else {
        d->normal = TvV3dScale(direction, -1.0f);
    }
    d->tangent = TvV3dCross(TvV3dCross(d->normal, {1.0f, 0.0f, 0.0f}), d->normal);
    d->secondTangent = TvV3dCross(d->tangent, d->normal);
    const float radius = 0.5f * MV2EffectLength(TvV3dSub(d->end, d->source)) + d->width;
    object->radius = radius;
    if (object->matrix) {
        object->matrix->pos = TvV3dScale(TvV3dAdd(d->source, d->end), 0.5f);
        if (object->clump && object->clump->frame) TvFrameUpdateObjects(object->clump->frame);
    }
    if (TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr)
        if (TpGeometry* geometry = TpAtomicGetGeometry(root))
            if (TvSphere* sphere = TpMorphTargetGetBoundingSphere(TpGeometryGetMorphTarget(geometry, 0)))
                sphere->radius = radius;
}

void DrawOne(const MV2SunRayData& d, const TvV3d& eye, uint32_t clock) {
    const TvV3d side =
        TvV3dScale(MV2EffectUnit(TvV3dCross(d.normal, TvV3dSub(eye, d.end))), 0.5f);
    TvIm3DVertex* v = g.vertices;
    v[0].objVertex = d.source;
    v[0].red = MV2WrapByte(255.0f * d.red);
    v[0].green = MV2WrapByte(255.0f * d.green);
    v[0].blue = MV2WrapByte(255.0f * d.blue);
    v[0].alpha = 0;
    const float* waves = gMV2Water.waves;
    for (int32_t k = 0; k < kMV2SunRays; k++) {
        const int32_t p = int32_t(Phase(clock, d.wanderPeriod[k]) * float(kWaves)) & (kWaves - 1);
        const float a = waves[p] * d.width;
        const float b = waves[(p + 256) & (kWaves - 1)] * d.width;
        const TvV3d at = TvV3dAdd(d.end, TvV3dAdd(TvV3dScale(d.secondTangent, 2.0f * b),
                                                  TvV3dScale(d.tangent, 2.0f * a)));
        float f = Phase(clock, d.pulsePeriod[k]) * 411.0f + 50.0f;
        if (f >= 256.0f) f = 511.0f - f;
        const TvV3d points[3] = {TvV3dAdd(at, side), at, TvV3dSub(at, side)};
        constexpr uint8_t kAlpha[3] = {0, 56, 0};
        for (int32_t i = 0; i < 3; i++) {
            TvIm3DVertex& w = v[1 + 3 * k + i];
            w.objVertex = points[i];
            w.red = MV2WrapByte(f * d.red);
            w.green = MV2WrapByte(f * d.green);
            w.blue = MV2WrapByte(f * d.blue);
            w.alpha = kAlpha[i];
        }
    }
    if (!TvIm3DTransform(g.vertices, kVertices, nullptr, kTvIm3DVertexUV)) return;
    TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, g.indices, 6 * kMV2SunRays);
    TvIm3DEnd();
}

} // namespace

int32_t MV2InitialiseSunRays() {
    MV2SetObjectTypeHandler(kMV2SunRayType, MV2SunRayHandler);
    if (!g.raster) {
        if (TvTexture* texture = MV2ReadEffectTexture("sunray", nullptr)) {
            g.raster = TvTextureGetRaster(texture);
            TvTextureSetRaster(texture, nullptr); // the texture goes, the raster stays
            TvTextureDestroy(texture);
        }
    }
    for (int32_t k = 0; k < kMV2SunRays; k++) {
        const uint16_t b = uint16_t(3 * k);
        const uint16_t list[6] = {0, uint16_t(b + 1), uint16_t(b + 2),
                                  0, uint16_t(b + 2), uint16_t(b + 3)};
        for (int32_t i = 0; i < 6; i++)
            g.indices[6 * k + i] = list[i];
        const float u[3] = {0.0f, 0.5f, 1.0f};
        for (int32_t i = 0; i < 3; i++) {
            g.vertices[1 + 3 * k + i].u = u[i];
            g.vertices[1 + 3 * k + i].v = 1.0f;
        }
    }
    g.vertices[0].u = 0.5f;
    g.vertices[0].v = 0.0f;
    g.count = 0;
    return 1;
}

void MV2ShutdownSunRays() {
    if (g.raster) TvRasterDestroy(g.raster);
    g.raster = nullptr;
    g.count = 0;
}

void MV2DrawSunRays() {
    if (g.count == 0) return;
    constexpr int32_t kStates[5] = {kTvRenderStateShadeMode, kTvRenderStateFogEnable,
                                    kTvRenderStateVertexAlphaEnable, kTvRenderStateSrcBlend,
                                    kTvRenderStateDestBlend};
    constexpr intptr_t kValues[5] = {2, 0, 1, 5, 2};
    intptr_t saved[6] = {};
    for (int32_t i = 0; i < 5; i++) {
        TvRenderStateGet(kStates[i], &saved[i]);
        TvRenderStateSet(kStates[i], kValues[i]);
    }
    intptr_t raster = 0;
    TvRenderStateGet(kTvRenderStateTextureRaster, &raster);
    TvRenderStateGet(kTvRenderStateZWriteEnable, &saved[5]);
    TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(g.raster));
    TvRenderStateSet(kTvRenderStateZWriteEnable, 0);
    const TvV3d eye = MV2CameraMatrix(gMV2MainCamera)->pos;
    const uint32_t clock = MV2EffectClock();
    for (int32_t i = 0; i < g.count; i++) {
        MV2Object* object = MV2GetObjectRef(&g.listed[i]);
        auto* d = object ? static_cast<MV2SunRayData*>(object->privateData) : nullptr;
        if (!d || !d->seen) continue;
        DrawOne(*d, eye, clock);
        d->seen = 0;
    }
    for (int32_t i = 0; i < 5; i++)
        TvRenderStateSet(kStates[i], saved[i]);
    TvRenderStateSet(kTvRenderStateTextureRaster, raster);
    TvRenderStateSet(kTvRenderStateZWriteEnable, saved[5]);
}

intptr_t MV2SunRayHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = static_cast<MV2SunRayData*>(object->privateData);
    switch (message) {
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, message, p1, p2);
        if (!d || !object->matrix) return result;
        *d = MV2SunRayData{};
        d->source = object->matrix->pos;
        TvV3d at = object->matrix->at;
        MV2ObjectSendMessage(object, 33, 1, reinterpret_cast<intptr_t>(&at));
        float width = 0.9f;
        MV2ObjectSendMessage(object, 79, 0, reinterpret_cast<intptr_t>(&width));
        d->red = d->green = d->blue = 1.0f;
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        d->seen = 0;
        for (int32_t k = 0; k < kMV2SunRays; k++) {
            d->amplitude[k] = float((MV2EffectRandom() & 8191) + 1809) * 0.0001f;
            d->wanderPeriod[k] = (MV2EffectRandom() & 65535) + 65536;
            d->pulsePeriod[k] = (MV2EffectRandom() & 4095) + 6000;
        }
        if (g.count < kMV2SunRayObjects) MV2SetObjectRef(&g.listed[g.count++], object);
        return result;
    }
    case 2:
        if (d) d->seen = 1;
        break;
    case 4: Unlist(object); break;
    case 12:
        if (d) {
            const uint32_t c = uint32_t(p1);
            d->red = float((c >> 16) & 255) / 255.0f;
            d->green = float((c >> 8) & 255) / 255.0f;
            d->blue = float(c & 255) / 255.0f;
        }
        return 1;
    case 33:
        if (d && p2) Aim(object, d, p1 != 0, *reinterpret_cast<const TvV3d*>(p2));
        return 1;
    case 79:
        if (d && p2) d->width = *reinterpret_cast<const float*>(p2);
        return 1;
    case 96:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = intptr_t(sizeof(MV2SunRayData));
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

int32_t MV2CountSunRayObjects() {
    return g.count;
}
