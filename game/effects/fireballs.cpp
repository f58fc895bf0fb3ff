#include "game/effects/fireballs.h"

#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/pipe.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "engine/world/clump.h"
#include "game/effects/effectbase.h"
#include "game/objects/dynamics.h"
#include "game/objects/objects.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "shell/gamemain.h"
#include "shell/render.h"
#include "shell/sounds.h"

MV2FlakBurst gMV2Flak[kMV2FlakBursts];

namespace {

struct Fireballs {
    MV2Fireball records[kMV2Fireballs];
    MV2Fireball freeHead;
    MV2Fireball activeHead;
    TvTexture* texture;
    TvIm3DVertex quads[kMV2Fireballs * 4];
    uint16_t indices[kMV2Fireballs * 6];
    bool linked;
};
Fireballs g = {};

struct Flak {
    TvRaster* raster;
    uint32_t searchIndex;
    TvIm3DVertex vertices[4];
};
Flak g_flak = {};
uint16_t kFanIndices[4] = {0, 3, 2, 1}; // the fan wound toward the camera
constexpr float kSheet[6] = {0.0f, 51.0f / 256, 102.0f / 256, 153.0f / 256, 204.0f / 256,
                             255.0f / 256};

void FreeFlak(uint32_t slot) {
    gMV2Flak[slot].flags = 0;
    if (slot < g_flak.searchIndex) g_flak.searchIndex = slot;
}

bool FollowedObjectDead(const MV2FlakBurst& b) {
    return !(b.flags & (kMV2FlakCopyPoint | kMV2FlakCallerPoint)) && !MV2ObjectHandleAlive(b.handle);
}

bool TimeUp(const MV2FlakBurst& b, uint32_t clock) {
    return !(b.flags & kMV2FlakKeep) && int32_t(clock - (b.startTime + b.duration)) > 0;
}

} // namespace

// ---- Fireballs ----

int32_t MV2InitialiseFireballs() {
    if (!g.texture) g.texture = MV2ReadEffectTexture("FIREBALA", "FIREBALA");
    if (!g.texture) return 0;
    constexpr float u[4] = {0, 0, 1, 1}, v[4] = {0, 1, 1, 0};
    for (int32_t i = 0; i < kMV2Fireballs; i++) {
        const uint16_t b = uint16_t(i * 4);
        const uint16_t list[6] = {b, uint16_t(b + 1), uint16_t(b + 2),
                                  b, uint16_t(b + 2), uint16_t(b + 3)}; // toward the camera
        for (int32_t k = 0; k < 6; k++)
            g.indices[i * 6 + k] = list[k];
        for (int32_t c = 0; c < 4; c++) {
            g.quads[i * 4 + c].u = u[c];
            g.quads[i * 4 + c].v = v[c];
        }
    }
    g.freeHead.next = g.freeHead.previous = &g.freeHead;
    g.activeHead.next = g.activeHead.previous = &g.activeHead;
    for (MV2Fireball& f : g.records) {
        f = MV2Fireball{};
        MV2EffectLinkAfter(&g.freeHead, &f);
    }
    g.linked = true;
    return 1;
}

void MV2ShutdownFireballs() {
    MV2DestroyEffectTexture(g.texture);
}

void MV2ResetFireballs() {
    if (!g.linked) return;
    for (MV2Fireball* f = g.activeHead.next; f != &g.activeHead;) {
        MV2Fireball* next = f->next;
        MV2EffectUnlink(f);
        MV2EffectLinkAfter(&g.freeHead, f);
        f = next;
    }
}

void MV2CreateFireball(const float* position, const float* velocity, float size, MV2Object* owner,
                       float growth, uint8_t brightness) {
    if (!g.linked || !position) return;
    MV2Fireball* f = g.freeHead.next;
    if (f != &g.freeHead) {
        MV2EffectUnlink(f);
        MV2EffectLinkAfter(&g.activeHead, f);
    } else {
        f = nullptr;
        for (MV2Fireball* a = g.activeHead.next; a != &g.activeHead; a = a->next)
            if (!f || a->birthFrame < f->birthFrame) f = a;
        if (!f) return;
    }
    f->velocity = velocity ? MV2V3d(velocity) : TvV3d{0, 0, 0};
    f->birthFrame = MV2EffectFrame();
    f->size = size;
    f->growth = growth;
    f->brightness = brightness;
    f->owner = owner;
    f->position = MV2V3d(position);
}

int32_t MV2FireballHitTest(const float* position, float radius, MV2Object* owner, float* offset,
                           float* distance) {
    if (!g.linked || !position) return 0;
    const TvV3d at = MV2V3d(position);
    float best = 1.0e9f;
    int32_t result = 0;
    for (MV2Fireball* f = g.activeHead.next; f != &g.activeHead; f = f->next) {
        if (f->owner != owner) continue;
        const TvV3d d = TvV3dSub(f->position, at);
        const float length = MV2EffectLength(d);
        if (f->size * 0.35f + radius - length > 0.0f && length < best) {
            f->brightness = 25; // gone at the next update
            best = length;
            if (offset) {
                offset[0] = d.x;
                offset[1] = d.y;
                offset[2] = d.z;
            }
            if (distance) *distance = length;
            result = 1;
        }
    }
    return result;
}

void MV2UpdateFireballs() {
    if (!g.linked) return;
    const float step = MV2EffectStep(), dt = MV2EffectSeconds();
    const float drag = MV2GetMediumDrag(9);
    for (MV2Fireball* f = g.activeHead.next; f != &g.activeHead;) {
        MV2Fireball* next = f->next;
        f->velocity.y -= step * 0.03f;
        f->position = TvV3dAdd(f->position, TvV3dScale(f->velocity, dt));
        f->velocity = TvV3dScale(f->velocity, drag);
        float b = float(f->brightness) - dt * f->growth * 255.0f;
        f->brightness = b > 0.0f ? uint32_t(int32_t(b)) : 0;
        f->size += dt * f->growth;
        if (f->brightness < 26) {
            MV2EffectUnlink(f);
            MV2EffectLinkAfter(&g.freeHead, f);
        }
        f = next;
    }
}

void MV2DrawFireballs() {
    if (!g.linked) return;
    TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(MV2EffectRaster(g.texture)));
    const TvMatrix* m = MV2CameraMatrix(gMV2MainCamera);
    int32_t count = 0;
    for (MV2Fireball* f = g.activeHead.next; f != &g.activeHead && count < kMV2Fireballs;
         f = f->next) {
        if (f->brightness <= 25) continue;
        const float h = f->size * 0.5f;
        const TvV3d r = TvV3dScale(m->right, h), u = TvV3dScale(m->up, h);
        TvIm3DVertex* q = &g.quads[count * 4];
        const TvV3d& p = f->position;
        q[0].objVertex = TvV3dSub(TvV3dSub(p, r), u);
        q[1].objVertex = TvV3dSub(TvV3dAdd(p, r), u);
        q[2].objVertex = TvV3dAdd(TvV3dAdd(p, r), u);
        q[3].objVertex = TvV3dAdd(TvV3dSub(p, r), u);
        const uint8_t grey = MV2WrapByte(float(f->brightness) * gMV2Render.brightness);
        for (int32_t c = 0; c < 4; c++) {
            q[c].red = q[c].green = q[c].blue = grey;
            q[c].alpha = 255;
        }
        count++;
    }
    if (count == 0) return;
    if (!TvIm3DTransform(g.quads, count * 4, nullptr, kTvIm3DVertexUV)) return;
    TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, g.indices, count * 6);
    TvIm3DEnd();
}

MV2Fireball* MV2FirstFireball() {
    return g.linked && g.activeHead.next != &g.activeHead ? g.activeHead.next : nullptr;
}

// ---- Flak ----

int32_t MV2InitialiseFlak() {
    if (!g_flak.raster) {
        if (TvTexture* t = MV2ReadEffectTexture("flak", "flakm")) {
            g_flak.raster = TvTextureGetRaster(t);
            TvTextureSetRaster(t, nullptr); // the texture goes, the raster stays
            TvTextureDestroy(t);
        }
    }
    for (TvIm3DVertex& v : g_flak.vertices) {
        v.red = v.green = v.blue = v.alpha = 255;
    }
    return 1;
}

void MV2ShutdownFlak() {
    if (g_flak.raster) TvRasterDestroy(g_flak.raster);
    g_flak.raster = nullptr;
}

void MV2ResetFlak() {
    for (MV2FlakBurst& b : gMV2Flak)
        b.flags = 0;
    g_flak.searchIndex = 0;
}

int32_t MV2CreateFlak(const void* objectOrPoint, float size, uint32_t duration, uint32_t flags) {
    if (!objectOrPoint) return 0;
    uint32_t slot = g_flak.searchIndex;
    while (slot < uint32_t(kMV2FlakBursts) && gMV2Flak[slot].flags != 0)
        slot++;
    if (slot >= uint32_t(kMV2FlakBursts)) {
        g_flak.searchIndex = kMV2FlakBursts;
        return 0;
    }
    MV2FlakBurst& b = gMV2Flak[slot];
    b.handle = 0;
    if (flags & kMV2FlakCopyPoint) {
        b.point = MV2V3d(static_cast<const float*>(objectOrPoint));
        b.position = &b.point;
    } else if (flags & kMV2FlakCallerPoint) {
        b.position = static_cast<const TvV3d*>(objectOrPoint);
    } else {
        auto* object = static_cast<MV2Object*>(const_cast<void*>(objectOrPoint));
        if (!object->matrix) return 0;
        b.position = &object->matrix->pos;
        b.handle = object->handle;
    }
    b.size = size;
    b.flags = flags | (1u << 13);
    b.startTime = MV2EffectClock();
    b.duration = duration;
    b.angle = float(MV2EffectRandom() & 255);
    b.spin = float(MV2EffectRandom() & 3) - 1.5f;
    const uint32_t pick = MV2EffectRandom() & 3;
    const char* sound = pick == 0 ? "EXPLOSIONSMALL" : pick == 1 ? "EXPLOSION" : "EXPLOSION2";
    MV2PlaySoundAt(b.position, 30.0f, MV2EffectSound(sound), 0, 0, 1000);
    g_flak.searchIndex = slot;
    return int32_t(slot) + 1;
}

int32_t MV2FlakFrame(const MV2FlakBurst* b, uint32_t clock) {
    if (b->duration == 0) return 0;
    return int32_t(uint64_t(clock - b->startTime) * 21u / b->duration % 21u);
}

void MV2UpdateFlak() {
    const uint32_t clock = MV2EffectClock();
    const float step = MV2EffectStep();
    for (uint32_t i = 0; i < uint32_t(kMV2FlakBursts); i++) {
        MV2FlakBurst& b = gMV2Flak[i];
        if (!b.flags) continue;
        if (FollowedObjectDead(b) || TimeUp(b, clock)) {
            FreeFlak(i);
            continue;
        }
        b.angle += step * b.spin;
        while (b.angle >= 360.0f)
            b.angle -= 360.0f;
        while (b.angle < 0.0f)
            b.angle += 360.0f;
        b.spin += (float(MV2EffectRandom() & 255) - 127.5f) * step * 0.001f;
    }
}

void MV2DrawFlak() {
    constexpr int32_t saved[5] = {kTvRenderStateShadeMode, kTvRenderStateFogEnable,
                                  kTvRenderStateVertexAlphaEnable, kTvRenderStateSrcBlend,
                                  kTvRenderStateDestBlend};
    intptr_t values[5] = {};
    for (int32_t i = 0; i < 5; i++)
        TvRenderStateGet(saved[i], &values[i]);
    TvRenderStateSet(kTvRenderStateShadeMode, 1);
    TvRenderStateSet(kTvRenderStateFogEnable, 0);
    TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(g_flak.raster));
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 0);
    TvRenderStateSet(kTvRenderStateSrcBlend, 2);
    TvRenderStateSet(kTvRenderStateDestBlend, 2);
    TvRenderStateSet(kTvRenderStateZTestEnable, 1);
    const uint32_t clock = MV2EffectClock();
    for (uint32_t i = 0; i < uint32_t(kMV2FlakBursts); i++) {
        MV2FlakBurst& b = gMV2Flak[i];
        if (!b.flags) continue;
        if (FollowedObjectDead(b)) {
            FreeFlak(i);
            continue;
        }
        if (TimeUp(b, clock)) continue;
        TvMatrix m = *MV2CameraMatrix(gMV2MainCamera);
        const TvV3d axis = m.at;
        MV2RotateMatrixInPlace(&m, &axis, b.angle, kTvCombinePostConcat);
        const TvV3d r = TvV3dScale(m.right, b.size), u = TvV3dScale(m.up, b.size);
        const TvV3d p = *b.position;
        TvIm3DVertex* v = g_flak.vertices;
        v[0].objVertex = TvV3dAdd(TvV3dSub(p, r), u);
        v[1].objVertex = TvV3dAdd(TvV3dAdd(p, r), u);
        v[2].objVertex = TvV3dSub(TvV3dAdd(p, r), u);
        v[3].objVertex = TvV3dSub(TvV3dSub(p, r), u);
        const int32_t f = MV2FlakFrame(&b, clock);
        const int32_t c = f % 5, row = f / 5;
        v[0].u = kSheet[c];
        v[0].v = kSheet[row + 1];
        v[1].u = kSheet[c + 1];
        v[1].v = kSheet[row + 1];
        v[2].u = kSheet[c + 1];
        v[2].v = kSheet[row];
        v[3].u = kSheet[c];
        v[3].v = kSheet[row];
        if (!TvIm3DTransform(v, 4, nullptr, kTvIm3DVertexUV)) continue;
        TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleFan, kFanIndices, 4);
        TvIm3DEnd();
    }
    for (int32_t i = 0; i < 5; i++)
        TvRenderStateSet(saved[i], values[i]);
}

// ---- Object atomics ----

namespace {
int32_t g_atomicRenderFlag = 1;
}

void MV2SetAtomicRenderFlag() {
    g_atomicRenderFlag = 1;
}

void MV2ClearAtomicRenderFlag() {
    g_atomicRenderFlag = 0;
}

int32_t MV2GetAtomicRenderFlag() {
    return g_atomicRenderFlag;
}

int32_t MV2ObjectAtomicRender(TpAtomic* atomic) {
    TvPipe* pipe = TpAtomicGetDefaultPipe();
    if (!pipe) return 0;
    if (!TvPipeStackPush(pipe)) {
        TvPipeStackPop(); // a refused push hook leaves the pipe on the stack
        return 0;
    }
    const void* result = TvPipeStackExecute(atomic);
    TvPipeStackPop();
    return result ? 1 : 0;
}
