#include "game/effects/smoke.h"

#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "game/effects/effectbase.h"
#include "game/effects/explosions.h"
#include "game/objects/objects.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "shell/render.h"

namespace {

struct State {
    MV2SmokePuff records[kMV2SmokePuffs];
    MV2SmokePuff freeHead;
    MV2SmokePuff activeHead;
    TvTexture* texture;
    TvIm3DVertex vertices[kMV2SmokePuffs * 4];
    uint16_t indices[kMV2SmokePuffs * 6];
    bool linked;
};
State g = {};

void Free(MV2SmokePuff* p) {
    p->birth = 0;
    MV2EffectUnlink(p);
    MV2EffectLinkAfter(&g.freeHead, p);
}

// -0.25..0.25
float Jitter() {
    return (float(MV2EffectRandom() & 1023) / 1023.0f - 0.5f) * 0.5f;
}

bool Passed(uint32_t time, uint32_t clock) {
    return int32_t(clock - time) > 0;
}

void Emit(MV2Object* object, MV2InkEmitterData* d) {
    const uint32_t clock = MV2EffectClock();
    const TvV3d& at = object->matrix->pos;
    const float position[3] = {at.x, at.y, at.z};
    if (Passed(d->nextPuff, clock)) {
        d->nextPuff = clock + 250 + (MV2EffectRandom() & 511);
        const float velocity[3] = {Jitter(), 1.5f + Jitter(), Jitter()};
        MV2CreateSmoke(position, velocity, 1.5f, 0.05f, uint8_t(192 + (MV2EffectRandom() & 63)));
    }
    if (Passed(d->nextExplosion, clock)) {
        d->nextExplosion = clock + 2000 + (MV2EffectRandom() & 2047);
        MV2CreateExplosion(position, 0.9f, 0.0f, nullptr, 2, 26);
    }
    MV2StartObjectSound(object, MV2EffectSound("SQUIDINK"), &d->sound, uint32_t(-1000), 0);
}

} // namespace

int32_t MV2InitialiseSmoke() {
    MV2SetObjectTypeHandler(kMV2InkEmitterType, MV2SmokeEmitterHandler);
    if (!g.texture) g.texture = MV2ReadEffectTexture("SMOKE2", "SMOKE2");
    if (!g.texture) return 0;
    MV2BuildQuadBatch(g.vertices, g.indices, kMV2SmokePuffs);
    g.freeHead.next = g.freeHead.previous = &g.freeHead;
    g.activeHead.next = g.activeHead.previous = &g.activeHead;
    for (MV2SmokePuff& p : g.records) {
        p = MV2SmokePuff{};
        MV2EffectLinkAfter(&g.freeHead, &p);
    }
    g.linked = true;
    return 1;
}

void MV2ShutdownSmoke() {
    MV2DestroyEffectTexture(g.texture);
}

void MV2ResetSmoke() {
    if (!g.linked) return;
    // By list membership, so a puff born at clock 0 goes too.
    while (g.activeHead.next != &g.activeHead)
        Free(g.activeHead.next);
}

void MV2CreateSmoke(const float* position, const float* velocity, float size, float fadeRate,
                    uint8_t alpha) {
    if (!g.linked || !position) return;
    MV2SmokePuff* p = g.freeHead.next;
    if (p != &g.freeHead) {
        MV2EffectUnlink(p);
        MV2EffectLinkAfter(&g.activeHead, p);
    } else {
        p = nullptr;
        for (MV2SmokePuff* a = g.activeHead.next; a != &g.activeHead; a = a->next)
            if (!p || int32_t(a->birth - p->birth) < 0) p = a;
        if (!p) return;
    }
    p->velocity = velocity ? MV2V3d(velocity) : TvV3d{0, 0, 0};
    p->birth = MV2EffectClock();
    p->size = size;
    p->alpha = float(alpha);
    p->fadeRate = fadeRate;
    p->position = MV2V3d(position);
}

void MV2UpdateSmoke() {
    if (!g.linked) return;
    const float s = MV2EffectSeconds();
    for (MV2SmokePuff* p = g.activeHead.next; p != &g.activeHead;) {
        MV2SmokePuff* next = p->next;
        p->position = TvV3dAdd(p->position, TvV3dScale(p->velocity, s));
        p->velocity = TvV3dScale(p->velocity, 0.995f);
        p->alpha -= s * p->fadeRate * 255.0f;
        if (p->alpha < 0.0f) p->alpha = 0.0f;
        p->size += 0.5f * s;
        if (p->alpha < 26.0f) Free(p);
        p = next;
    }
}

void MV2DrawSmoke() {
    if (!g.linked || g.activeHead.next == &g.activeHead) return;
    intptr_t source = 0, destination = 0;
    TvRenderStateGet(kTvRenderStateSrcBlend, &source);
    TvRenderStateGet(kTvRenderStateDestBlend, &destination);
    TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(MV2EffectRaster(g.texture)));
    TvRenderStateSet(kTvRenderStateSrcBlend, 1);
    TvRenderStateSet(kTvRenderStateDestBlend, 4);
    const TvMatrix* m = MV2EffectCameraMatrix();
    const float r = MV2EffectInverseFar();
    const uint32_t clock = MV2EffectClock();
    int32_t n = 0;
    for (MV2SmokePuff* p = g.activeHead.next; p != &g.activeHead && n < kMV2SmokePuffs;
         p = p->next) {
        const TvV3d d = TvV3dSub(p->position, m->pos);
        float fog = 1.0f - TvV3dDot(d, d) * r * r;
        if (fog < 0.0f) fog = 0.0f;
        float a = float(int32_t(p->alpha));
        const uint32_t age = clock - p->birth;
        if (age < 800) a = float(age) * 0.00125f * a; // fades in
        const uint8_t grey = MV2WrapByte(a * gMV2Render.brightness * fog);
        const float h = p->size * 0.5f;
        const TvV3d right = TvV3dScale(m->right, h), up = TvV3dScale(m->up, h);
        TvIm3DVertex* q = &g.vertices[4 * n];
        MV2SetQuadCorners(q, p->position, right, up);
        for (int32_t c = 0; c < 4; c++) {
            q[c].red = q[c].green = q[c].blue = grey;
            q[c].alpha = 255;
        }
        n++;
    }
    if (n > 0 && TvIm3DTransform(g.vertices, 4 * n, nullptr, kTvIm3DVertexUV)) {
        TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, g.indices, 6 * n);
        TvIm3DEnd();
    }
    TvRenderStateSet(kTvRenderStateSrcBlend, source);
    TvRenderStateSet(kTvRenderStateDestBlend, destination);
}

intptr_t MV2SmokeEmitterHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = static_cast<MV2InkEmitterData*>(object->privateData);
    switch (message) {
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, message, p1, p2);
        object->aiCategory = 1;
        if (d) *d = MV2InkEmitterData{0, 0, 1, 0};
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        MV2ObjectSendMessage(object, 0, 1, 0);
        return result;
    }
    case 12:
        if (d) d->on = uint32_t(p1);
        return 1;
    case 2:
        if (d && object->matrix) {
            if (d->on)
                Emit(object, d);
            else // a no-op when no loop is held
                MV2StopObjectSound(object, MV2EffectSound("SQUIDINK"), &d->sound);
        }
        break;
    case 96:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = intptr_t(sizeof(MV2InkEmitterData));
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

MV2SmokePuff* MV2FirstSmokePuff() {
    return g.linked && g.activeHead.next != &g.activeHead ? g.activeHead.next : nullptr;
}

int32_t MV2CountSmokePuffs() {
    int32_t n = 0;
    if (g.linked)
        for (MV2SmokePuff* p = g.activeHead.next; p != &g.activeHead; p = p->next)
            n++;
    return n;
}
