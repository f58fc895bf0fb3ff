#include "game/objects/sky.h"

#include <algorithm>
#include <cmath>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/texture.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/material.h"
#include "engine/world/world.h"
#include "game/effects/effects.h"
#include "game/objects/levels.h"
#include "game/objects/objects.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/objects/world.h"
#include "game/player/player.h"
#include "shell/frametimer.h"
#include "shell/gamemain.h"

MV2DayClock gMV2DayClock{};

namespace {

struct SkyState {
    TpClump* model;
    TpMaterial* material;
    TvTexture* clouds;
    TvTexture* sun;
    TvTexture* moon;
    TvV3d sunOffset;
    TvV3d moonOffset;
    TvV3d sunDirection;
};
SkyState g_sky{};

bool OnLevelZero() {
    return (MV2GetCurrentLevelId() >> 24) == 0;
}

float FarClip() {
    return gMV2MainCamera ? gMV2MainCamera->farPlane : 1.0f;
}

} // namespace

int32_t MV2ResetDayClock() {
    gMV2DayClock.gameClock = 0;
    gMV2DayClock.dayClock = 0;
    return 1;
}

void MV2AdvanceDayClock() {
    const uint32_t ms = uint32_t(gMV2FrameTimer.milliseconds);
    gMV2DayClock.gameClock += ms;
    gMV2DayClock.dayClock += ms;
}

void MV2SetTimeOfDay(float hour) {
    gMV2DayClock.dayClock = uint32_t(float(kMV2DayLength) * hour * 0.041666668f);
}

float MV2GetDaylight() {
    if (!OnLevelZero()) return 1.0f;
    const float minimum = MV2GetMinimumLightLevel();
    const float phase = float(gMV2DayClock.dayClock % kMV2DayLength) / float(kMV2DayLength);
    MV2DayClock& c = gMV2DayClock;
    if (phase < 0.66f) {
        c.phase = kMV2Day;
        c.phaseValue = phase * 1.5151515f;
        return 1.0f;
    }
    if (phase < 0.76f) {
        c.phase = kMV2Dusk;
        c.phaseValue = (0.76f - phase) * 10.0f;
        return std::max(c.phaseValue, minimum);
    }
    if (phase < 0.9f) {
        c.phase = kMV2Night;
        c.phaseValue = (phase - 0.76f) * 7.1428585f;
        return minimum;
    }
    c.phase = kMV2Dawn;
    c.phaseValue = 1.0f - (1.0f - phase) * 10.0f;
    return std::max(c.phaseValue, minimum);
}

TpClump* MV2GetSkyModel() {
    return g_sky.model;
}

const TvV3d* MV2GetSunDirection() {
    return &g_sky.sunDirection;
}

const TvV3d* MV2GetSunOffset() {
    return &g_sky.sunOffset;
}

const TvV3d* MV2GetMoonOffset() {
    return &g_sky.moonOffset;
}

TpClump* MV2BuildSkyModel() {
    if (g_sky.model) return g_sky.model;
    const float f = FarClip();
    MV2ModelParts parts;
    if (!MV2CreateModelParts(&parts, 4, 2, kTpGeometryTextured, true)) return nullptr;
    TpGeometry* geometry = parts.geometry;
    TpMaterial* material = parts.material;
    if (g_sky.clouds) TpMaterialSetTexture(material, g_sky.clouds);
    TpMaterialListAppendMaterial(&geometry->materials, material);
    TpMaterialDestroy(material); // the list holds its own reference
    g_sky.material = material;
    const float e = 8.0f * f, t = 8.046875f;
    TpMorphTarget* target = TpGeometryGetMorphTarget(geometry, 0);
    const TvV3d corners[4] = {{-e, 0, -e}, {e, 0, -e}, {e, 0, e}, {-e, 0, e}};
    const TpTexCoords uv[4] = {{0, t}, {t, t}, {t, 0}, {0, 0}};
    for (int32_t i = 0; i < 4; i++) {
        target->vertices[i] = corners[i];
        geometry->texCoords[i] = uv[i];
    }
    geometry->triangles[0] = {{0, 1, 2}, 0};
    geometry->triangles[1] = {{0, 2, 3}, 0};
    TpGeometrySetSurfaceProperties(geometry, 1.0f, 1.0f, 1.0f);
    const TvSphere sphere{{0, 0, 0}, e * std::sqrt(2.0f)};
    TpMorphTargetSetBoundingSphere(target, &sphere);
    TpGeometryUnlock(geometry);
    MV2SetGeometryFullBright(geometry);
    g_sky.model = MV2JoinModelParts(parts);
    return g_sky.model;
}

int32_t MV2LoadSky() {
    g_sky.clouds = TvTextureRead("CLOUDS", "");
    g_sky.sun = TvTextureRead("SUN", "SUNM");
    g_sky.moon = TvTextureRead("MOON", "MOONM");
    if (g_sky.material && g_sky.clouds) TpMaterialSetTexture(g_sky.material, g_sky.clouds);
    return 1;
}

void MV2FreeSky() {
    if (g_sky.model) MV2DestroyClump(g_sky.model);
    g_sky.model = nullptr;
    g_sky.material = nullptr;
    for (TvTexture** t : {&g_sky.clouds, &g_sky.sun, &g_sky.moon}) {
        if (*t) TvTextureDestroy(*t);
        *t = nullptr;
    }
}

static void PlaceSky(float x, float z) {
    TvFrame* frame = g_sky.model ? MV2GetRootFrame(g_sky.model) : nullptr;
    if (!frame) return;
    const TvV3d at{x, MV2GetSkyHeight(), z};
    TvFrameTranslate(frame, &at, kTvCombineReplace);
}

int32_t MV2InitialiseSky() {
    MV2BuildSkyModel();
    const TvV3d* start = MV2GetStartPosition();
    PlaceSky(start ? start->x : 0.0f, start ? start->z : 0.0f);
    return 1;
}

void MV2PlaceSkyAtCamera(TvCamera* camera) {
    if (!g_sky.model || !MV2GetLevelSkyFlag() || !camera || !camera->object.frame) return;
    const TvV3d p = TvFrameGetLTM(camera->object.frame)->pos;
    PlaceSky(p.x, p.z);
}

// The line from the camera towards a body hits nothing (the player's object ignored).
static bool SkyInSight(const TvV3d& from, const TvV3d& offset) {
    TpWorld* world = TpWorldGetCurrent();
    if (!world) return true;
    const TvV3d to = TvV3dAdd(from, offset);
    return !MV2TraceLine(world, &from, &to, nullptr, nullptr, nullptr, nullptr,
                         MV2GetPlayerObject());
}

void MV2RenderSky() {
    if (!MV2GetLevelSkyFlag() || !gMV2MainCamera || !gMV2MainCamera->object.frame) return;
    const float s = 1.5f * FarClip();
    MV2GetDaylight();
    const int32_t phase = gMV2DayClock.phase;
    const float p = gMV2DayClock.phaseValue;
    float b = 1.0f, m = 1.0f;
    switch (phase) {
    case kMV2Day:
        g_sky.sunOffset = {s - 2 * s * p, s, s - 2 * s * p};
        break;
    case kMV2Dusk:
        g_sky.sunOffset = {-s, s * p, -s};
        b = p;
        g_sky.moonOffset = {s, s * (1 - p), 0};
        m = 1 - p;
        break;
    case kMV2Night:
        g_sky.moonOffset = {s - 2 * s * p, s, 0};
        break;
    default:
        g_sky.sunOffset = {s, s * p, s};
        b = p;
        g_sky.moonOffset = {-s, s * (1 - p), 0};
        m = 1 - p;
        break;
    }
    TvV3dNormalize(&g_sky.sunDirection, &g_sky.sunOffset);
    g_sky.sunOffset = TvV3dScale(g_sky.sunDirection, s);

    const TvV3d camera = TvFrameGetLTM(gMV2MainCamera->object.frame)->pos;
    const float d = MV2GetWaterHeight(&camera) - camera.y;
    const float t = std::max(0.2f * d, 0.0f);
    if (d >= 5.0f || t >= 0.5f) return;
    if (phase != kMV2Night && SkyInSight(camera, g_sky.sunOffset)) {
        const TvV3d at = TvV3dAdd(camera, TvV3dScale(g_sky.sunOffset, 0.3f));
        MV2DrawSpriteFixedSize(g_sky.sun, &at, 0.3f, b * (1 - 2 * t));
        MV2DrawLightFlare(nullptr, &at);
    }
    if (phase != kMV2Day) {
        const float fade = MV2DrawStars(m);
        if (fade < 0.5f && SkyInSight(camera, g_sky.moonOffset)) {
            const TvV3d at = TvV3dAdd(camera, TvV3dScale(g_sky.moonOffset, 0.3f));
            MV2DrawSpriteFixedSize(g_sky.moon, &at, 0.3f, m * (1 - 2 * fade));
        }
    }
}
