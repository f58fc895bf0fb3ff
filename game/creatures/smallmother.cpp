// The small mother and its drawing hook.
#include "game/creatures/smallmother.h"

#include <algorithm>
#include <cmath>

#include "engine/core/frame.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/material.h"
#include "game/creatures/creaturemath.h"
#include "game/effects/effectbase.h"
#include "game/effects/effects.h"
#include "game/missions/missionflow.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"

namespace {

constexpr const char* kHook = "small mother tail";
MV2ObjectRef g_mother{};

// Triangles of a part go out in batches of this many.
constexpr int32_t kBatchTriangles = 64;
TvIm3DVertex g_vertices[kBatchTriangles * 3];
uint16_t g_indices[kBatchTriangles * 6];

MV2SmallMother* MotherOf(MV2Object* object) {
    return object && object->privateData ? static_cast<MV2SmallMother*>(object->privateData)
                                         : nullptr;
}

TpGeometry* FirstGeometry(TpClump* clump) {
    TpAtomic* atomic = clump ? MV2GetFirstAtomic(clump) : nullptr;
    return atomic ? TpAtomicGetGeometry(atomic) : nullptr;
}

void PlacePart(MV2Object* part, const TvMatrix& m) {
    if (!part || !part->matrix) return;
    const uint32_t flags = part->matrix->flags;
    *part->matrix = m;
    part->matrix->flags = flags & ~kTvMatrixIdentity;
    MV2SyncObjectFrame(part);
}

void FlushBatch(int32_t triangles) {
    if (triangles <= 0) return;
    if (!TvIm3DTransform(g_vertices, triangles * 3, nullptr, kTvIm3DVertexUV)) return;
    TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, g_indices, triangles * 6);
    TvIm3DEnd();
}

intptr_t Create(MV2Object* mother, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(mother, 3, p1, p2)) return 0;
    MV2SmallMother* d = MotherOf(mother);
    if (!d || !mother->matrix) return 0;
    *d = MV2SmallMother{};
    const MV2Point3 at = MV2Point(mother->matrix->pos);
    for (int32_t i = 0; i < 3; ++i) {
        d->parts[i] = MV2CreateObject(435 + i, at.v, nullptr);
        if (d->parts[i] && d->parts[i]->clump) MV2SetAllAtomicFlags(d->parts[i]->clump, 0);
    }
    d->fade = 1.0f;
    for (int32_t i = 0; i < 2; ++i)
        if (d->parts[i]) MV2FadePartEdges(d->parts[i]->clump);
    MV2SetObjectRef(&g_mother, mother);
    return 1;
}

} // namespace

MV2Object* MV2GetSmallMother() {
    return MV2GetObjectRef(&g_mother);
}

void MV2ResetSmallMother() {
    MV2ClearObjectRef(&g_mother);
}

void MV2ScaleMatrixAxes(TvMatrix* m, float factor) {
    m->right = TvV3dScale(m->right, factor);
    m->up = TvV3dScale(m->up, factor);
    m->at = TvV3dScale(m->at, factor);
    m->flags &= ~(kTvMatrixIdentity | kTvMatrixOrthoNormal);
}

void MV2FadePartEdges(TpClump* clump) {
    TpGeometry* g = FirstGeometry(clump);
    TpMorphTarget* target = g ? TpGeometryGetMorphTarget(g, 0) : nullptr;
    if (!target || !target->vertices || !g->preLight || g->numVertices <= 0) return;
    TpGeometryLock(g, kTpLockPreLight);
    float largest = 0.0f;
    for (int32_t i = 0; i < g->numVertices; ++i)
        largest = std::max(largest, MV2Length(target->vertices[i]));
    for (int32_t i = 0; i < g->numVertices; ++i)
        if (MV2Length(target->vertices[i]) > 0.66f * largest) g->preLight[i * 4 + 3] = 0;
    TpGeometryUnlock(g);
}

void MV2DrawPartGeometry(TpClump* clump) {
    TpAtomic* atomic = clump ? MV2GetFirstAtomic(clump) : nullptr;
    TpGeometry* g = atomic ? TpAtomicGetGeometry(atomic) : nullptr;
    TpMorphTarget* target = g ? TpGeometryGetMorphTarget(g, 0) : nullptr;
    if (!target || !target->vertices || !g->triangles || g->numTriangles <= 0) return;
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 1);
    TpMaterial* material = TpGeometryGetMaterial(g, 0);
    TvRenderStateSet(kTvRenderStateTextureRaster,
                     intptr_t(material ? MV2EffectRaster(material->texture) : nullptr));
    const TvMatrix* world = TvFrameGetLTM(atomic->object.frame);
    int32_t batch = 0;
    for (int32_t t = 0; t < g->numTriangles; ++t) {
        const TpTriangle& tri = g->triangles[t];
        bool valid = true;
        for (int32_t c = 0; c < 3; ++c)
            valid = valid && tri.vertex[c] < uint32_t(g->numVertices);
        if (!valid) continue;
        for (int32_t c = 0; c < 3; ++c) {
            const uint16_t i = tri.vertex[c];
            TvIm3DVertex& v = g_vertices[batch * 3 + c];
            TvV3dTransformPoints(&v.objVertex, &target->vertices[i], 1, world);
            v.u = g->texCoords ? g->texCoords[i].u : 0.0f;
            v.v = g->texCoords ? g->texCoords[i].v : 0.0f;
            const uint8_t grey = g->preLight ? g->preLight[i * 4 + 3] : 255;
            v.red = v.green = v.blue = grey;
            v.alpha = 255;
        }
        static const uint16_t kBoth[6] = {0, 1, 2, 2, 1, 0};
        for (int32_t k = 0; k < 6; ++k)
            g_indices[batch * 6 + k] = uint16_t(batch * 3 + kBoth[k]);
        if (++batch == kBatchTriangles) {
            FlushBatch(batch);
            batch = 0;
        }
    }
    FlushBatch(batch);
}

void MV2SmallMotherUpdate(TvCamera*) {
    MV2Object* mother = MV2GetSmallMother();
    MV2SmallMother* d = MotherOf(mother);
    if (!d || !mother->matrix) return;
    const float seconds = MV2FrameSeconds();
    if (d->fade != 1.0f) {
        MV2ScaleMatrixAxes(mother->matrix, d->fade);
        MV2SyncObjectFrame(mother);
    }
    TvMatrix m = *mother->matrix;
    if (TpAtomic* tagged = MV2FindAtomicByTag(mother->clump, 2))
        TvMatrixMultiply(&m, TvFrameGetMatrix(tagged->object.frame), mother->matrix);
    if (d->rippleDuration > 0.0f) {
        d->rippleTimer -= seconds;
        for (int guard = 0; d->rippleTimer < 0.0f && guard < 100; ++guard) {
            TvV3d r;
            MV2RandomDirection(&r);
            const TvV3d local{2.0f * r.x, r.y, 8.0f * r.z};
            TvV3d at;
            TvV3dTransformPoints(&at, &local, 1, mother->matrix);
            MV2AddRipple(&at, nullptr);
            d->rippleTimer += 0.1f;
        }
        d->rippleDuration = std::max(d->rippleDuration - seconds, 0.0f);
    }
    d->size += (d->targetSize - d->size) * seconds;
    d->flashPhase += d->flashRate * seconds;
    if (d->flashPhase > 1.0f) d->flashPhase = d->flashRate = 0.0f;
    d->fade -= d->fadeRate * seconds;
    if (d->fade <= 0.0f) {
        d->fade = 0.0f;
        d->fadeRate = 0.0f;
    }
    d->tailPhase += d->pulseRate * seconds;
    d->tailPhase -= std::floor(d->tailPhase);
    const float s = (0.98f + 0.04f * MV2RandomUnit()) * d->size;
    if (MV2Object* tail = d->parts[0]) {
        TpGeometry* g = FirstGeometry(tail->clump);
        TpMorphTarget* target = g ? TpGeometryGetMorphTarget(g, 0) : nullptr;
        if (target && target->vertices && g->texCoords) {
            TpGeometryLock(g, kTpLockTexCoords);
            for (int32_t i = 0; i < g->numVertices; ++i)
                g->texCoords[i].v = (target->vertices[i].z * 0.5f + d->tailPhase) * s;
            TpGeometryUnlock(g);
        }
    }
    for (int32_t i = 0; i < 3; ++i) {
        TvMatrix p = m;
        if (i < 2) {
            p.at = TvV3dScale(p.at, s);
        } else {
            p.right = TvV3dScale(p.right, d->part2Scale);
            p.up = TvV3dScale(p.up, d->part2Scale);
        }
        if (d->fade != 1.0f) MV2ScaleMatrixAxes(&p, d->fade);
        PlacePart(d->parts[i], p);
    }
}

void MV2SmallMotherDraw(TvCamera*) {
    MV2SmallMother* d = MotherOf(MV2GetSmallMother());
    if (!d || !d->visible) return;
    TvRenderStateSet(kTvRenderStateZWriteEnable, 0);
    TvRenderStateSet(kTvRenderStateZTestEnable, 0);
    for (int32_t i : {0, 2})
        if (d->parts[i]) MV2DrawPartGeometry(d->parts[i]->clump);
    if (d->flashPhase > 0.0f)
        MV2DrawSpriteShaded(gMV2CoronaTexture, &d->flashPosition,
                            std::sin(d->flashPhase * 3.14f) * 2.5f, 1.0f);
    TvRenderStateSet(kTvRenderStateZTestEnable, 1);
    TvRenderStateSet(kTvRenderStateZWriteEnable, 1);
}

void MV2SmallMotherCommand(int32_t command) {
    MV2SmallMother* d = MotherOf(MV2GetSmallMother());
    if (!d) return;
    switch (command) {
    case 49:
        d->visible = 1;
        d->size = 0.1f;
        d->targetSize = 0.5f;
        d->part2Scale = 1.0f;
        d->pulseRate = 4.0f;
        break;
    case 50: d->targetSize = 10.0f; break;
    case 51:
        d->flashRate = 3.0f;
        if (MV2Object* o = MV2FindObjectByWorldID(0x0044000F); o && o->matrix)
            d->flashPosition = o->matrix->pos;
        d->fadeRate = 2.0f;
        break;
    case 52: d->fadeRate = 2.0f; break;
    case 53:
        MV2AddEffectHook(kHook, MV2SmallMotherUpdate, nullptr, MV2SmallMotherDraw);
        d->visible = 0;
        d->rippleTimer = 0.0f;
        d->rippleDuration = 2.0f;
        break;
    default: break;
    }
}

intptr_t MV2SmallMotherHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 96: return MV2AnswerSize(p2, sizeof(MV2SmallMother));
    case 3: return Create(object, p1, p2);
    case 4:
        MV2RemoveEffectHook(kHook);
        if (MV2GetSmallMother() == object) MV2ResetSmallMother();
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

void MV2RegisterSmallMotherHandlers() {
    MV2SetObjectTypeHandler(434, MV2SmallMotherHandler);
}
