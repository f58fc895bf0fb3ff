#include "game/effects/shafts.h"

#include <cmath>

#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "game/effects/effectbase.h"
#include "shell/gamemain.h"
#include "game/objects/camera.h"
#include "game/objects/levels.h"
#include "game/objects/sky.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"

MV2SunMoonBeam gMV2SunMoonBeams[kMV2SunMoonBeams];

namespace {

TvIm3DVertex g_vertices[5];
// A fan around vertex 2 over the outline 0, 4, 3, 1, wound to face the camera: vertex 0 lies
// on the side vector's end, which the camera shows on the left.
uint16_t g_indices[12] = {0, 1, 2, 0, 2, 4, 4, 2, 3, 3, 2, 1};

TvV3d Horizontal(TvV3d v) {
    v.y = 0.0f;
    return MV2EffectUnit(v);
}

float Fraction() {
    return float(MV2EffectRandom() & 1023) / 1023.0f;
}

// A new shaft for a free slot; false when the whole update stops here.
bool Place(MV2SunMoonBeam& s, const TvMatrix* m, const TvV3d& light) {
    const float theta = float(MV2EffectRandom() & 1023) / 256.0f * 6.2831855f;
    const TvV3d& eye = m->pos;
    if (eye.y > MV2GetWaterHeight(&eye)) return false;
    const float halfWidth = (Fraction() + 1.0f) * 0.25f;
    const float length = (Fraction() + 1.0f) * 30.0f;
    const TvV3d ahead = TvV3dAdd(eye, TvV3dScale(Horizontal(m->at), 15.0f));
    const TvV3d surface = {ahead.x, MV2GetWaterHeight(&ahead), ahead.z};
    if (MV2IntersectWorldLine(MV2World, &ahead, &surface, nullptr, nullptr)) return false;
    float a = Fraction() * std::sin(theta) * 15.0f;
    float b = Fraction() * std::cos(theta) * 15.0f;
    if (m->at.x * a + m->at.z * b > 0.0f) {
        a = -a;
        b = -b;
    }
    // The slot is taken only once the shaft is wholly placed.
    s.time = 0.0f;
    s.halfWidth = halfWidth;
    s.length = length;
    s.top = {ahead.x + a, eye.y, ahead.z + b};
    s.direction = MV2EffectUnit(TvV3dSub(TvV3dAdd(eye, light), s.top));
    s.bottomHalfWidth = light.y != 0.0f ? (light.y + length) * halfWidth / light.y : halfWidth;
    s.top.y = MV2GetWaterHeight(&s.top) - 0.1f;
    return true;
}

} // namespace

int32_t MV2InitialiseSunMoonBeams() {
    for (MV2SunMoonBeam& s : gMV2SunMoonBeams) {
        s = MV2SunMoonBeam{};
        s.time = -1.0f;
    }
    for (TvIm3DVertex& v : g_vertices) {
        v = TvIm3DVertex{};
        v.alpha = 255;
    }
    return 1;
}

void MV2UpdateSunMoonBeams(TvCamera* camera) {
    if (!MV2GetLevelSkyFlag() || !camera) return;
    const TvMatrix* m = MV2CameraMatrix(camera);
    const int32_t mode = gMV2DayClock.phase;
    const float seconds = MV2EffectSeconds();
    for (MV2SunMoonBeam& s : gMV2SunMoonBeams) {
        s.brightness = 0;
        if (s.time < 0.0f) {
            if (MV2EffectFar() < 15.0f || mode == kMV2Dusk || mode == kMV2Dawn) return;
            const TvV3d light = mode == kMV2Night ? *MV2GetMoonOffset() : *MV2GetSunOffset();
            if ((MV2EffectRandom() & 15) == 0 &&
                TvV3dDot(Horizontal(light), Horizontal(m->at)) >= 0.0f && !Place(s, m, light))
                return;
        } else if (s.time <= 1.2f) {
            const float t = s.time;
            s.brightness = uint8_t(t < 0.4f ? int32_t(37.5f * t) : t <= 0.8f ? 15 : int32_t(37.5f * (1.2f - t)));
            s.time += seconds;
        } else {
            s.time = -1.0f;
        }
    }
}

void MV2DrawSunMoonBeams(TvCamera* camera) {
    if (!MV2GetLevelSkyFlag() || !camera) return;
    const intptr_t source = MV2BeginAdditiveGlow();
    const TvMatrix* m = MV2CameraMatrix(camera);
    const TvV3d farPoint = TvV3dAdd(m->pos, TvV3dScale(m->at, MV2EffectFar()));
    for (const MV2SunMoonBeam& s : gMV2SunMoonBeams) {
        const TvV3d& d = s.direction;
        if (s.time < 0.0f || !(d.y > 1.0e-6f)) continue;
        const TvV3d v = MV2EffectUnit(TvV3dSub(s.top, m->pos));
        const TvV3d side = MV2EffectUnit({d.y * v.z - d.z * v.y, 0.0f, d.x * v.y - d.y * v.x});
        g_vertices[0].objVertex = TvV3dAdd(s.top, TvV3dScale(side, s.halfWidth));
        g_vertices[1].objVertex = TvV3dSub(s.top, TvV3dScale(side, s.halfWidth));
        g_vertices[2].objVertex = TvV3dSub(s.top, TvV3dScale(d, 2.0f / d.y));
        g_vertices[2].red = g_vertices[2].green = g_vertices[2].blue = s.brightness;
        const float run = s.length / d.y;
        TvV3d end = TvV3dSub(s.top, TvV3dScale(d, run));
        float width = s.bottomHalfWidth;
        const float along = TvV3dDot(m->at, d);
        if (TvV3dDot(m->at, TvV3dSub(end, farPoint)) > 0.0f && along != 0.0f) {
            // Cut back along the shaft onto the far plane.
            const float kept = TvV3dDot(m->at, TvV3dSub(s.top, farPoint)) / along;
            end = TvV3dSub(s.top, TvV3dScale(d, kept));
            width = s.halfWidth + (s.bottomHalfWidth - s.halfWidth) * (kept / run);
        }
        g_vertices[3].objVertex = TvV3dSub(end, TvV3dScale(side, width));
        g_vertices[4].objVertex = TvV3dAdd(end, TvV3dScale(side, width));
        if (!(s.top.y - 2.0f > end.y)) continue;
        if (!TvIm3DTransform(g_vertices, 5, nullptr, 0)) continue;
        TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, g_indices, 12);
        TvIm3DEnd();
    }
    MV2EndAdditiveGlow(source);
}
