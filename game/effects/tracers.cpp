#include "game/effects/tracers.h"

#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "game/effects/effectbase.h"

namespace {

struct State {
    MV2Tracer records[kMV2Tracers];
    MV2Tracer freeHead;
    MV2Tracer activeHead;
    TvIm3DVertex vertices[kMV2Tracers * 3];
    uint16_t indices[kMV2Tracers * 6];
    bool linked;
};
State g = {};

void Free(MV2Tracer* t) {
    t->expiry = 0;
    MV2EffectUnlink(t);
    MV2EffectLinkAfter(&g.freeHead, t);
}

uint8_t Byte(float value) {
    return uint8_t(value > 255.0f ? 255 : int32_t(value));
}

} // namespace

int32_t MV2InitialiseTracers() {
    for (int32_t k = 0; k < kMV2Tracers; k++) {
        const uint16_t b = uint16_t(3 * k);
        // Both faces: the sliver is seen from either side.
        const uint16_t list[6] = {b, uint16_t(b + 2), uint16_t(b + 1),
                                  b, uint16_t(b + 1), uint16_t(b + 2)};
        for (int32_t i = 0; i < 6; i++)
            g.indices[6 * k + i] = list[i];
    }
    g.freeHead.next = g.freeHead.previous = &g.freeHead;
    g.activeHead.next = g.activeHead.previous = &g.activeHead;
    for (MV2Tracer& t : g.records) {
        t = MV2Tracer{};
        MV2EffectLinkAfter(&g.freeHead, &t);
    }
    g.linked = true;
    return 1;
}

void MV2ResetTracers() {
    if (!g.linked) return;
    // By list membership, so a tracer whose expiry reads 0 (the clock wrapped) goes too.
    while (g.activeHead.next != &g.activeHead)
        Free(g.activeHead.next);
}

void MV2CreateTracer(const float* start, const float* direction, float length) {
    if (!g.linked || !start || !direction || !(length > 1.0f)) return;
    MV2Tracer* t = g.freeHead.next;
    if (t != &g.freeHead) {
        MV2EffectUnlink(t);
        MV2EffectLinkAfter(&g.activeHead, t);
    } else {
        t = nullptr;
        for (MV2Tracer* a = g.activeHead.next; a != &g.activeHead; a = a->next)
            if (!t || a->expiry < t->expiry) t = a;
        if (!t) return;
    }
    t->expiry = MV2EffectClock() + 500;
    t->start = MV2V3d(start);
    t->direction = MV2V3d(direction);
    t->length = length;
}

void MV2UpdateTracers() {
    if (!g.linked) return;
    const uint32_t clock = MV2EffectClock();
    for (MV2Tracer* t = g.activeHead.next; t != &g.activeHead;) {
        MV2Tracer* next = t->next;
        if (t->expiry < clock) Free(t);
        t = next;
    }
}

void MV2DrawTracers() {
    if (!g.linked || g.activeHead.next == &g.activeHead) return;
    TvRenderStateSet(kTvRenderStateTextureRaster, 0);
    const TvMatrix* m = MV2EffectCameraMatrix();
    const TvV3d up = TvV3dScale(m->up, 0.0125f);
    const float r = MV2EffectInverseFar();
    const uint32_t clock = MV2EffectClock();
    int32_t n = 0;
    for (MV2Tracer* t = g.activeHead.next; t != &g.activeHead && n < kMV2Tracers; t = t->next) {
        const float left = float(int32_t(t->expiry - clock));
        const float run = (1.0f - left * 0.002f) * 25.0f;
        if (run > t->length - 1.0f) continue;
        const TvV3d p = TvV3dAdd(t->start, TvV3dScale(t->direction, run));
        const TvV3d front = TvV3dAdd(p, t->direction);
        const TvV3d d = TvV3dSub(t->start, m->pos);
        float g0 = (1.0f - TvV3dDot(d, d) * r * r) * 255.0f;
        if (g0 < 0.0f) g0 = 0.0f;
        const uint8_t full = Byte(g0), half = Byte(g0 * 0.5f);
        TvIm3DVertex* v = &g.vertices[3 * n];
        v[0].objVertex = p;
        v[1].objVertex = TvV3dAdd(front, up);
        v[2].objVertex = TvV3dSub(front, up);
        v[0].red = v[0].green = full;
        v[0].blue = half;
        for (int32_t i = 1; i < 3; i++) {
            v[i].red = full;
            v[i].green = half;
            v[i].blue = 0;
        }
        for (int32_t i = 0; i < 3; i++)
            v[i].alpha = 255;
        n++;
    }
    if (n == 0) return;
    if (!TvIm3DTransform(g.vertices, 3 * n, nullptr, 0)) return;
    TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, g.indices, 6 * n);
    TvIm3DEnd();
}

MV2Tracer* MV2FirstTracer() {
    return g.linked && g.activeHead.next != &g.activeHead ? g.activeHead.next : nullptr;
}

int32_t MV2CountTracers() {
    int32_t n = 0;
    if (g.linked)
        for (MV2Tracer* t = g.activeHead.next; t != &g.activeHead; t = t->next)
            n++;
    return n;
}
