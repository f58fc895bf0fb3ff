#include "game/missions/currentcolumn.h"

#include <algorithm>
#include <cmath>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/matrix.h"
#include "engine/core/texture.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/creaturemath.h"
#include "game/effects/effectbase.h"
#include "game/effects/sfx.h"
#include "game/missions/leveldevices.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"
#include "shell/gamemain.h"
#include "shell/render.h"

namespace {

constexpr int32_t kCurrentSound = 133; // "CURRENT"
constexpr float kDefaultRadius = 3.5f;
constexpr uint32_t kTypePushable = (1u << 28) | (1u << 29);

// The column being processed by the push query, and its radius.
MV2Object* g_pushing = nullptr;
float g_pushRadius = 0.0f;

TvIm3DVertex g_vertices[kMV2CurrentSpecks * 4];
uint16_t g_indices[kMV2CurrentSpecks * 6];

float Random1023() {
    return float(MV2RandomBits(1023));
}

void Reseed(MV2CurrentColumnData* c, int32_t i) {
    TvV3d d{Random1023() * 0.0019550342f - 1.0f, 0.0f, Random1023() * 0.0019550342f - 1.0f};
    MV2Normalise(&d);
    c->offsets[i][0] = Random1023() * 0.0009775171f * c->radius * d.x;
    c->offsets[i][1] = Random1023() * 0.0009775171f * c->radius * d.z;
}

void Update(MV2Object* column, MV2CurrentColumnData* c) {
    if (c->onTime == -1)
        MV2DecodeCurrentParameter(MV2TakeLevelParameter(column), &c->radius, &c->onTime,
                                  &c->offTime);
    MV2StartObjectSound(column, kCurrentSound, &c->sound, 0, 0);
    const uint32_t now = MV2GameClock();
    if (!c->on) {
        if (int32_t(c->nextSwitch - now) < 0) {
            c->on = 1;
            c->nextSwitch = now + uint32_t(c->onTime);
            for (int32_t i = 0; i < kMV2CurrentSpecks; ++i) {
                c->heights[i] = Random1023() * 0.0009775171f * kMV2CurrentHeight;
                Reseed(c, i);
            }
        }
    } else if (int32_t(c->nextSwitch - now) < 0) {
        c->on = 0;
        c->nextSwitch = now + uint32_t(c->offTime);
    }
    const float step = MV2FrameStep();
    if (!c->on) {
        c->intensity = std::max(0.0f, c->intensity - step * 0.5f);
    } else {
        c->intensity = std::min(1.0f, c->intensity + step * 0.5f);
        MV2Object* player = MV2GetPlayerObject();
        const TvV3d toPlayer =
            player && player->matrix ? TvV3dSub(player->matrix->pos, column->matrix->pos) : TvV3d{};
        if (player && player->matrix && TvV3dLength(&toPlayer) < 12.0f) {
            g_pushRadius = c->radius;
            g_pushing = column;
            MV2ForAllAtomicsInSphere(TpWorldGetCurrent(), &column->matrix->pos, 10.0f,
                                     MV2CurrentPushCallback, nullptr);
            g_pushing = nullptr;
        }
    }
    if (c->intensity > 0.0f) {
        for (int32_t i = 0; i < kMV2CurrentSpecks; ++i) {
            c->heights[i] += step * 10.0f;
            if (c->heights[i] > kMV2CurrentHeight) {
                c->heights[i] -= kMV2CurrentHeight;
                Reseed(c, i);
            }
        }
    }
}

void SetColour(TvIm3DVertex* v, uint8_t grey, uint8_t alpha) {
    for (int32_t k = 0; k < 4; ++k) {
        v[k].red = v[k].green = v[k].blue = grey;
        v[k].alpha = alpha;
    }
}

} // namespace

void MV2DecodeCurrentParameter(int32_t parameter, float* radius, int32_t* onTime,
                               int32_t* offTime) {
    const int32_t tenths = parameter / 10000;
    *radius = tenths > 0 ? float(tenths) * 0.1f : kDefaultRadius;
    const int32_t rest = std::max(0, parameter - tenths * 10000);
    *onTime = (rest / 100) * 100;
    *offTime = (rest % 100) * 100;
}

int32_t MV2PointInCylinder(const TvV3d* point, const TvV3d* origin, const TvV3d* axis,
                           float length, float radius, float* distance, TvV3d* offset,
                           TvV3d* unitAxis) {
    *unitAxis = MV2Unit(*axis);
    const TvV3d v = TvV3dSub(*point, *origin);
    const float t = TvV3dDot(*unitAxis, v);
    const TvV3d along = TvV3dScale(*unitAxis, t);
    *offset = TvV3dSub(along, v);
    *distance = MV2Length(*offset);
    return *distance < radius && t >= 0.0f && MV2Length(along) < length;
}

int32_t MV2CurrentPushCallback(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void*) {
    MV2Object* o = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!o || !o->body || !o->type || !o->matrix || !g_pushing) return 1;
    if (!(o->type->words[31] & kTypePushable) || o->aiCategory != 6) return 1;
    float d = 0.0f;
    TvV3d offset, axis;
    if (!MV2PointInCylinder(&o->matrix->pos, &g_pushing->matrix->pos, &g_pushing->matrix->up,
                            kMV2CurrentHeight, g_pushRadius, &d, &offset, &axis))
        return 1;
    TvV3d force = TvV3dScale(axis, 0.125f);
    // The push fades to nothing over the outer 0.8 of the radius.
    if (d >= g_pushRadius - 0.8f) force = TvV3dScale(force, (g_pushRadius - d) * 1.25f);
    MV2AddForce(o, &force);
    return 1;
}

intptr_t MV2CurrentColumnHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* c = static_cast<MV2CurrentColumnData*>(object->privateData);
    switch (message) {
    case 2:
        if (c && object->matrix) Update(object, c);
        return 1;
    case 3:
        if (!MV2ObjectDefaultHandler(object, message, p1, p2)) return 0;
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        if (c) {
            *c = {};
            c->onTime = -1;
            c->radius = kDefaultRadius;
        }
        return 1;
    case 4:
        if (c && c->sound) MV2StopObjectSound(object, kCurrentSound, &c->sound);
        return MV2ObjectDefaultHandler(object, message, p1, p2);
    case 96: return MV2AnswerSize(p2, sizeof(MV2CurrentColumnData));
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

int32_t MV2InitialiseCurrentBuffers() {
    for (int32_t q = 0; q < kMV2CurrentSpecks; ++q) {
        const uint16_t b = uint16_t(4 * q);
        const uint16_t quad[6] = {uint16_t(b + 2), uint16_t(b + 1), b, uint16_t(b + 2), b,
                                  uint16_t(b + 3)};
        std::copy(quad, quad + 6, g_indices + 6 * q);
        TvIm3DVertex* v = g_vertices + 4 * q;
        v[0].u = 0.0f, v[0].v = 0.0f;
        v[1].u = 0.0f, v[1].v = 1.0f;
        v[2].u = 1.0f, v[2].v = 1.0f;
        v[3].u = 1.0f, v[3].v = 0.0f;
    }
    return 1;
}

void MV2RenderCurrent(MV2Object* object) {
    auto* c = object ? static_cast<MV2CurrentColumnData*>(object->privateData) : nullptr;
    if (!c || !object->matrix || c->intensity <= 0.0f || !gMV2MainCamera) return;
    const TvMatrix* cam = MV2CameraMatrix(gMV2MainCamera);
    if (!cam) return;
    const TvV3d r = TvV3dScale(cam->right, 0.03f), u = TvV3dScale(cam->up, 0.03f);
    const TvMatrix* m = object->matrix;
    const float water = MV2GetWaterHeight(&m->pos);
    TvRenderStateSet(kTvRenderStateTextureRaster,
                     intptr_t(gMV2CoronaTexture ? TvTextureGetRaster(gMV2CoronaTexture) : nullptr));
    const float base = gMV2Render.brightness * c->intensity * 255.0f;
    for (int32_t i = 0; i < kMV2CurrentSpecks; ++i) {
        const float h = c->heights[i];
        int32_t b = int32_t(base);
        if (h < 2.0f) b = int32_t(float(b) * h * 0.5f);
        if (h > 8.0f) b = int32_t(float(b) * (10.0f - h) * 0.5f);
        const uint8_t grey = uint8_t(std::clamp(b, 0, 255));
        const TvV3d p = TvV3dAdd(TvV3dAdd(TvV3dAdd(m->pos, TvV3dScale(m->right, c->offsets[i][0])),
                                          TvV3dScale(m->up, h)),
                                 TvV3dScale(m->at, c->offsets[i][1]));
        TvIm3DVertex* v = g_vertices + 4 * i;
        // Specks above the surface are not shown.
        if (p.y <= water) SetColour(v, grey, 255);
        else SetColour(v, 0, 0);
        v[0].objVertex = TvV3dSub(TvV3dSub(p, r), u);
        v[1].objVertex = TvV3dSub(TvV3dAdd(p, r), u);
        v[2].objVertex = TvV3dAdd(TvV3dAdd(p, r), u);
        v[3].objVertex = TvV3dAdd(TvV3dSub(p, r), u);
    }
    if (TvIm3DTransform(g_vertices, kMV2CurrentSpecks * 4, nullptr, kTvIm3DVertexUV)) {
        TvIm3DRenderIndexedPrimitive(3, g_indices, kMV2CurrentSpecks * 6);
        TvIm3DEnd();
    }
}

void MV2RegisterCurrentColumnHandler() {
    MV2SetObjectTypeHandler(294, MV2CurrentColumnHandler);
}
