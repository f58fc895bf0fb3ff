#include "game/effects/trails.h"

#include <cmath>

#include "engine/core/camera.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "game/effects/effectbase.h"
#include "game/objects/objects.h"
#include "game/objects/water.h"

namespace {

// Triangles drawn in one call: many at a time, since each call has a cost of its own.
constexpr int32_t kBatchTriangles = 128;

struct State {
    MV2MTrail trails[kMV2MTrails];
    MV2MTrailPoint points[kMV2MTrailPoints];
    MV2MTrail freeTrails, activeTrails;
    MV2MTrailPoint freePoints, activePoints;
    int32_t trailCount;
    int32_t pointCount;
    float width[64];
    uint8_t grey[64];
    TvTexture* texture;
    bool linked;
};
State g = {};

TvIm3DVertex g_batch[kBatchTriangles * 3];
uint16_t g_batchIndices[kBatchTriangles * 3];
int32_t g_batchCount = 0; // triangles waiting

void Link() {
    g.freeTrails.next = g.freeTrails.previous = &g.freeTrails;
    g.activeTrails.next = g.activeTrails.previous = &g.activeTrails;
    g.freePoints.next = g.freePoints.previous = &g.freePoints;
    g.activePoints.next = g.activePoints.previous = &g.activePoints;
    for (MV2MTrail& t : g.trails) {
        t = MV2MTrail{};
        MV2EffectLinkAfter(&g.freeTrails, &t);
    }
    for (MV2MTrailPoint& p : g.points) {
        p = MV2MTrailPoint{};
        MV2EffectLinkAfter(&g.freePoints, &p);
    }
    g.trailCount = 0;
    g.pointCount = 0;
    g.linked = true;
}

void LeaveTrail(MV2MTrailPoint* p) {
    MV2MTrail* t = p->trail;
    if (!t) return;
    if (p->trailPrevious) p->trailPrevious->trailNext = p->trailNext;
    else t->newest = p->trailNext;
    if (p->trailNext) p->trailNext->trailPrevious = p->trailPrevious;
    else t->oldestPoint = p->trailPrevious;
    p->trailNext = p->trailPrevious = nullptr;
    p->trail = nullptr;
    t->pointCount--;
}

void FreePoint(MV2MTrailPoint* p) {
    LeaveTrail(p);
    MV2EffectUnlink(p);
    MV2EffectLinkAfter(&g.freePoints, p);
    g.pointCount--;
}

// Ends a trail; its points go back to the pool, or fade out alone.
void FreeTrail(MV2MTrail* t, bool withPoints) {
    for (MV2MTrailPoint* p = t->newest; p;) {
        MV2MTrailPoint* next = p->trailNext;
        if (withPoints) {
            FreePoint(p);
        } else {
            p->trail = nullptr;
            p->trailNext = p->trailPrevious = nullptr;
        }
        p = next;
    }
    t->newest = t->oldestPoint = nullptr;
    t->pointCount = 0;
    MV2EffectUnlink(t);
    MV2EffectLinkAfter(&g.freeTrails, t);
    g.trailCount--;
}

void LayPoint(MV2MTrail* t, const TvV3d& at, const TvMatrix* m, float rate) {
    MV2MTrailPoint* p = g.freePoints.next;
    if (p == &g.freePoints) return;
    const int32_t step = int32_t(64.0f * t->along);
    const float w = g.width[((step % 64) + 64) % 64];
    const TvV3d u = TvV3dScale(m->up, w), r = TvV3dScale(m->right, w);
    p->tip = TvV3dAdd(at, u);
    p->left = TvV3dAdd(TvV3dSub(at, u), r);
    p->right = TvV3dSub(TvV3dSub(at, u), r);
    p->age = 0.0f;
    p->rate = rate;
    MV2EffectUnlink(p);
    MV2EffectLinkAfter(&g.activePoints, p);
    g.pointCount++;
    p->trail = t;
    p->trailPrevious = nullptr;
    p->trailNext = t->newest;
    if (t->newest) t->newest->trailPrevious = p;
    else t->oldestPoint = p;
    t->newest = p;
    t->pointCount++;
}

void Flush() {
    if (g_batchCount == 0) return;
    if (TvIm3DTransform(g_batch, g_batchCount * 3, nullptr, kTvIm3DVertexUV)) {
        TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, g_batchIndices, g_batchCount * 3);
        TvIm3DEnd();
    }
    g_batchCount = 0;
}

} // namespace

int32_t MV2InitialiseMTrails() {
    constexpr float kUV[3][2] = {{0, 1}, {0.5f, 0}, {1, 1}};
    for (int32_t i = 0; i < kBatchTriangles * 3; i++) {
        g_batch[i] = TvIm3DVertex{{0, 0, 0}, kUV[i % 3][0], kUV[i % 3][1], 255, 255, 255, 255};
        g_batchIndices[i] = uint16_t(i);
    }
    g_batchCount = 0;
    Link();
    if (!g.texture) g.texture = MV2ReadEffectTexture("MTrail", "MTrailm");
    for (int32_t i = 0; i < 64; i++) {
        g.width[i] = (std::sin(float(i) * 5.625f * 0.017453292f) + 2.0f) * 0.033f;
        g.grey[i] = uint8_t(int32_t(192.0f * std::cos(float(i) * 1.40625f * 0.017453292f)));
    }
    return 1;
}

void MV2ShutdownMTrails() {
    MV2DestroyEffectTexture(g.texture);
    g.linked = false;
}

void MV2EmitMTrail(uintptr_t ownerKey, uint32_t ownerHandle, uint32_t part, float lifetime,
                   const TvMatrix* matrix) {
    if (!g.linked || !matrix) return;
    const TvV3d pos = matrix->pos;
    if (!(MV2GetWaterHeight(&pos) > pos.y)) return;
    MV2MTrail* t = nullptr;
    for (MV2MTrail* a = g.activeTrails.next; a != &g.activeTrails;) {
        MV2MTrail* next = a->next;
        if (!MV2ObjectHandleAlive(a->ownerHandle))
            FreeTrail(a, false);
        else if (!t && a->ownerKey == ownerKey && a->ownerHandle == ownerHandle && a->part == part)
            t = a;
        a = next;
    }
    if (!t) {
        t = g.freeTrails.next;
        if (t == &g.freeTrails) return;
        MV2EffectUnlink(t);
        MV2EffectLinkAfter(&g.activeTrails, t);
        g.trailCount++;
        MV2MTrail* const next = t->next;
        MV2MTrail* const previous = t->previous;
        *t = MV2MTrail{};
        t->next = next;
        t->previous = previous;
        t->last = t->oldest = pos;
        t->ownerKey = ownerKey;
        t->ownerHandle = ownerHandle;
        t->part = part;
        return;
    }
    const TvV3d move = TvV3dSub(pos, t->last);
    const float d = MV2EffectLength(move);
    if (d >= kMV2MTrailJump) {
        FreeTrail(t, true);
        return;
    }
    if (!(d > 0.0f)) return; // no travel, no direction
    if (d < t->remain) {
        t->remain -= d;
        t->along += d;
        t->last = pos;
        return;
    }
    const TvV3d dir = TvV3dScale(move, 1.0f / d);
    float r = d - t->remain;
    t->along += t->remain;
    TvV3d at = TvV3dAdd(t->last, TvV3dScale(dir, t->remain));
    if (r > kMV2MTrailSpacing) {
        const float rate = lifetime > 0.0f ? 1.0f / lifetime : 1000.0f;
        const TvV3d step = TvV3dScale(dir, kMV2MTrailSpacing);
        do {
            LayPoint(t, at, matrix, rate);
            t->along += kMV2MTrailSpacing;
            r -= kMV2MTrailSpacing;
            at = TvV3dAdd(at, step);
        } while (r > kMV2MTrailSpacing);
    }
    t->remain = -r;
    t->last = pos;
}

void MV2UpdateMTrails() {
    if (!g.linked) return;
    const float seconds = MV2EffectSeconds();
    for (MV2MTrailPoint* p = g.activePoints.next; p != &g.activePoints;) {
        MV2MTrailPoint* next = p->next;
        p->age += seconds * p->rate;
        if (p->age >= 1.0f) {
            MV2MTrail* t = p->trail;
            FreePoint(p);
            if (t) {
                if (t->pointCount > 0)
                    t->oldest = p->tip;
                else
                    FreeTrail(t, true);
            }
        }
        p = next;
    }
}

void MV2DrawMTrails(TvCamera* camera) {
    if (!g.linked || g.activeTrails.next == &g.activeTrails) return;
    TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(MV2EffectRaster(g.texture)));
    const TvV3d at = MV2CameraMatrix(camera)->at;
    g_batchCount = 0;
    for (MV2MTrail* t = g.activeTrails.next; t != &g.activeTrails; t = t->next) {
        const TvSphere sphere = {TvV3dScale(TvV3dAdd(t->last, t->oldest), 0.5f),
                                 MV2EffectLength(TvV3dSub(t->oldest, t->last)) + 0.033f};
        if (camera && TvCameraFrustumTestSphere(camera, &sphere) == kTvSphereOutside) continue;
        for (MV2MTrailPoint* p = t->newest; p; p = p->trailNext) {
            int32_t index = int32_t(64.0f * p->age);
            index = index < 0 ? 0 : index > 63 ? 63 : index;
            const uint8_t grey = g.grey[index];
            const TvV3d n = TvV3dCross(TvV3dSub(p->tip, p->left), TvV3dSub(p->tip, p->right));
            const bool front = TvV3dDot(n, at) >= 0.0f;
            TvIm3DVertex* v = &g_batch[g_batchCount * 3];
            v[0].objVertex = p->tip;
            v[1].objVertex = front ? p->left : p->right;
            v[2].objVertex = front ? p->right : p->left;
            for (int32_t k = 0; k < 3; k++) {
                v[k].red = v[k].green = v[k].blue = grey;
                v[k].alpha = 255;
            }
            if (++g_batchCount == kBatchTriangles) Flush();
        }
    }
    Flush();
}

MV2MTrail* MV2FirstMTrail() {
    return g.linked && g.activeTrails.next != &g.activeTrails ? g.activeTrails.next : nullptr;
}

MV2MTrail* MV2NextMTrail(MV2MTrail* trail) {
    return trail && trail->next != &g.activeTrails ? trail->next : nullptr;
}

int32_t MV2LiveMTrailPoints() {
    return g.pointCount;
}
