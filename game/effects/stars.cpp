#include "game/effects/stars.h"

#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "game/effects/effectbase.h"
#include "shell/gamemain.h"
#include "game/effects/primitives.h"
#include "game/effects/sfx.h"
#include "game/objects/camera.h"
#include "game/objects/water.h"
#include "shell/gamestate.h"
#include "shell/render.h"

TvV3d gMV2StarOffsets[kMV2Stars];
MV2Planktum gMV2Plankton[kMV2Plankton];

namespace {

constexpr float kAhead = 3.5f;
constexpr float kReach = 3.5f;

struct Field {
    TvV3d centre;
    TvIm3DVertex vertices[kMV2Plankton * 4];
    uint16_t indices[kMV2Plankton * 6];
};
Field g = {};

float StarAxis() {
    return float(MV2EffectRandom() & 255) / 25.5f;
}

float Signed() {
    return float(MV2EffectRandom() & 1023) / 511.5f - 1.0f;
}

// Depth of the camera below the surface above it.
float Depth(const TvV3d& eye) {
    return MV2GetWaterHeight(&eye) - eye.y;
}

TvV3d Ahead(const TvMatrix* m) {
    return TvV3dAdd(m->pos, TvV3dScale(m->at, kAhead));
}

} // namespace

int32_t MV2InitialiseStars() {
    for (TvV3d& s : gMV2StarOffsets) {
        s.x = StarAxis() - 5.0f;
        s.y = StarAxis();
        s.z = StarAxis() - 5.0f;
    }
    return 1;
}

float MV2DrawStars(float brightness) {
    const TvMatrix* m = MV2CameraMatrix(gMV2MainCamera);
    const float h = Depth(m->pos);
    if (h >= 5.0f) return 1.0f;
    const float f = h > 0.0f ? 0.2f * h : 0.0f;
    if (f >= 0.5f) return f;
    // The sprites face the main camera whichever pass is drawing.
    TvCamera* pass = gMV2EffectCamera;
    gMV2EffectCamera = gMV2MainCamera;
    const float shade = brightness * (1.0f - 2.0f * f);
    for (const TvV3d& s : gMV2StarOffsets) {
        const TvV3d at = TvV3dAdd(m->pos, s);
        MV2DrawSpriteShaded(gMV2CoronaTexture, &at, 0.01f, shade);
    }
    gMV2EffectCamera = pass;
    return f;
}

int32_t MV2InitialisePlanktum() {
    for (MV2Planktum& p : gMV2Plankton) {
        TvV3d d = {Signed(), Signed(), Signed()};
        d = MV2EffectUnit(d);
        p.position.x = d.x * float(MV2EffectRandom() & 1023) / 1023.0f * kReach;
        p.position.y = d.y * float(MV2EffectRandom() & 1023) / 1023.0f * kReach;
        p.position.z = d.z * float(MV2EffectRandom() & 1023) / 1023.0f * kReach;
        p.velocity = p.targetVelocity = TvV3dScale(MV2EffectUnit(p.position), 0.01f);
    }
    MV2BuildQuadBatch(g.vertices, g.indices, kMV2Plankton);
    return 1;
}

const TvMatrix* MV2RecentrePlanktum() {
    const TvMatrix* m = MV2CameraMatrix(gMV2MainCamera);
    g.centre = Ahead(m);
    return m;
}

void MV2UpdatePlanktum() {
    if (gMV2GameState.current == 15) return;
    const TvV3d centre = Ahead(MV2CameraMatrix(gMV2MainCamera));
    const TvV3d shift = TvV3dSub(g.centre, centre);
    for (MV2Planktum& p : gMV2Plankton) {
        p.velocity = TvV3dAdd(p.velocity,
                              TvV3dScale(TvV3dSub(p.targetVelocity, p.velocity), 0.07f));
        const TvV3d before = p.position;
        p.position = TvV3dAdd(TvV3dAdd(p.position, shift), p.velocity);
        // A speck that leaves the sphere comes back in on the far side.
        if (TvV3dDot(p.position, p.position) > kReach * kReach) p.position = TvV3dScale(before, -1.0f);
    }
    g.centre = centre;
}

void MV2DrawPlanktum() {
    if (gMV2GameState.current == 15) return;
    const TvMatrix* m = MV2CameraMatrix(gMV2MainCamera);
    const float h = Depth(m->pos);
    float f = 1.0f;
    if (h < 5.0f) {
        f = 0.2f * h;
        if (f <= 0.05f) return;
    }
    TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(MV2EffectRaster(gMV2CoronaTexture)));
    const uint8_t grey = MV2WrapByte(gMV2Render.brightness * 255.0f * f);
    const TvV3d right = TvV3dScale(m->right, 0.01f), up = TvV3dScale(m->up, 0.01f);
    const TvV3d centre = Ahead(m);
    for (int32_t k = 0; k < kMV2Plankton; k++) {
        const TvV3d p = TvV3dAdd(centre, gMV2Plankton[k].position);
        TvIm3DVertex* q = &g.vertices[4 * k];
        MV2SetQuadCorners(q, p, right, up);
        for (int32_t c = 0; c < 4; c++) {
            q[c].red = q[c].green = q[c].blue = grey;
            q[c].alpha = 255;
        }
    }
    if (!TvIm3DTransform(g.vertices, 4 * kMV2Plankton, nullptr, kTvIm3DVertexUV)) return;
    TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, g.indices, 6 * kMV2Plankton);
    TvIm3DEnd();
}

TvV3d MV2GetPlanktumCentre() {
    return g.centre;
}
