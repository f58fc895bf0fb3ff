#include "game/effects/sparks.h"

#include "engine/core/camera.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/texture.h"
#include "game/effects/bubbles.h"
#include "game/effects/effectbase.h"
#include "game/effects/gravel.h"
#include "game/effects/scorches.h"
#include "game/missions/missions.h"
#include "game/objects/objects.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objectupdate.h"
#include "shell/sounds.h"

namespace {

constexpr const char* kTextureNames[4] = {"sparkb", "sparka", "spark", "splat"};

struct State {
    MV2SparkRecord records[kMV2Sparks];
    MV2SparkRecord freeHead;
    MV2SparkRecord activeHead;
    TvTexture* textures[4];
    bool linked;
};
State g = {};

TvIm3DVertex g_triangle[3] = {
    {{0, 0, 0}, 0.5f, 0.98f, 255, 255, 255, 255},
    {{0, 0, 0}, 0.02f, 0.02f, 255, 255, 255, 255},
    {{0, 0, 0}, 0.98f, 0.02f, 255, 255, 255, 255},
};
uint16_t kBothSides[6] = {0, 2, 1, 0, 1, 2};

// Off its list; linked to itself, so a second unlink does no harm.
void Unlink(MV2SparkRecord* r) {
    MV2EffectUnlink(r);
    r->next = r->previous = r;
}

void LinkAll() {
    g.freeHead.next = g.freeHead.previous = &g.freeHead;
    g.activeHead.next = g.activeHead.previous = &g.activeHead;
    for (MV2SparkRecord& r : g.records) {
        r = MV2SparkRecord{};
        MV2EffectLinkAfter(&g.freeHead, &r);
    }
    g.linked = true;
}

MV2SparkRecord* LinkedRecord(MV2Object* object) {
    intptr_t word = 0;
    MV2DummyObjectHandler(object, 27, 0, intptr_t(&word));
    return reinterpret_cast<MV2SparkRecord*>(word);
}

// A record taken for a new flash: a reused one first leaves its old carrier, which goes.
void Detach(MV2SparkRecord* r) {
    MV2Object* old = r->carrier;
    const uint32_t handle = r->carrierHandle;
    r->carrier = nullptr;
    r->carrierHandle = 0;
    if (old && MV2ObjectHandleAlive(handle) && LinkedRecord(old) == r) {
        MV2DummyObjectHandler(old, 28, 0, 0);
        MV2ObjectSendMessage(old, 4, 0, 0);
    }
}

} // namespace

int32_t MV2InitialiseSparks() {
    for (int32_t i = 0; i < 4; i++)
        if (!g.textures[i]) g.textures[i] = MV2ReadEffectTexture(kTextureNames[i], kTextureNames[i], true);
    LinkAll();
    return 1;
}

void MV2ShutdownSparks() {
    for (TvTexture*& t : g.textures)
        MV2DestroyEffectTexture(t);
}

int32_t MV2CreateSparks(const float* position, const float* normal, uint32_t kind) {
    if (!position || !normal || !g.linked) return 0;
    MV2Object* carrier = MV2CreateObject(kMV2CarrierType, position, nullptr);
    if (!carrier) return 0;
    carrier->typeHandler = MV2SparksHandler;
    TvV3d n = MV2V3d(normal), t1, t2;
    if (n.x == 0.0f && n.z == 0.0f) {
        n = {0, 1, 0};
        t1 = {1, 0, 0};
        t2 = {0, 0, 1};
    } else {
        t1 = MV2EffectUnit(TvV3dCross(n, {0, 1, 0}));
        t2 = MV2EffectUnit(TvV3dCross(n, t1));
    }
    MV2SparkRecord* r = g.freeHead.next;
    if (r != &g.freeHead) {
        Unlink(r);
        MV2EffectLinkAfter(&g.activeHead, r);
    } else {
        r = nullptr;
        for (MV2SparkRecord* a = g.activeHead.next; a != &g.activeHead; a = a->next)
            if (!r || a->birthFrame < r->birthFrame) r = a;
        if (!r) return 0;
        // Its old carrier goes (which may put the record on the free list); it is taken again.
        Detach(r);
        Unlink(r);
        MV2EffectLinkAfter(&g.activeHead, r);
    }
    r->birthFrame = MV2EffectFrame();
    r->frame = 0;
    float lift = 0.5f, spread = 0.25f;
    uint32_t lifetime = 360;
    const char* sound = "WEAPONHITMINERAL";
    if (kind == 2) {
        lift = 0.2f;
        spread = 0.4f;
        r->textureBase = 3;
        sound = "GROUNDCOLLISION";
        lifetime = 150;
    } else {
        r->textureBase = 0;
        if (kind == 0) {
            const uint32_t pick = MV2EffectRandom() & 3;
            sound = pick == 1 ? "RICOCHET1" : pick == 2 ? "RICOCHET2" : "RICOCHET3";
        }
    }
    r->peakGrey = 200;
    r->grey = 200;
    const TvV3d at = MV2V3d(position);
    r->centre = at;
    const TvV3d q = TvV3dAdd(at, TvV3dScale(n, lift));
    r->points[0] = TvV3dSub(q, TvV3dScale(t1, spread));
    r->points[1] = TvV3dAdd(q, TvV3dScale(t2, spread));
    r->points[2] = TvV3dAdd(q, TvV3dScale(t1, spread));
    r->points[3] = TvV3dSub(q, TvV3dScale(t2, spread));
    r->carrier = carrier;
    r->carrierHandle = carrier->handle;
    MV2ObjectSendMessage(carrier, 12, intptr_t(lifetime), intptr_t(r));
    const TvV3d d = MV2EffectRandomDirection();
    const TvV3d point = TvV3dAdd(at, TvV3dScale(d, 0.05f));
    const TvV3d velocity = TvV3dScale(d, 0.01f);
    const float p[3] = {point.x, point.y, point.z}, v[3] = {velocity.x, velocity.y, velocity.z};
    MV2CreateBubble(p, v, 0.02f);
    MV2CreateGravel(p, v);
    return MV2PlaySoundAt(&at, 10.0f, MV2EffectSound(sound), 0, 0, 0);
}

intptr_t MV2SparksHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 12: {
        auto* r = reinterpret_cast<MV2SparkRecord*>(p2);
        if (r) {
            r->endTime = MV2EffectClock() + uint32_t(p1);
            r->duration = float(p1);
        }
        MV2DummyObjectHandler(object, 28, 0, p2);
        return 1;
    }
    case 2: {
        MV2SparkRecord* r = LinkedRecord(object);
        const int32_t left = r ? int32_t(r->endTime - MV2EffectClock()) : 0;
        if (r && left > 0 && MV2InViewUpdateFlag) {
            if (r->textureBase == 0) {
                const uint32_t frame = uint32_t(left / 120);
                r->frame = frame > 2 ? 2 : frame;
            } else {
                r->frame = 0;
            }
            r->grey = r->duration > 0.0f
                          ? uint32_t(int32_t(float(left) / r->duration * float(r->peakGrey)))
                          : 0;
            return MV2DummyObjectHandler(object, message, p1, p2);
        }
        MV2ObjectSendMessage(object, 4, 0, 0);
        return 1;
    }
    case 4:
        if (MV2SparkRecord* r = LinkedRecord(object)) {
            Unlink(r);
            MV2EffectLinkAfter(&g.freeHead, r);
            r->carrier = nullptr;
            r->carrierHandle = 0;
            MV2DummyObjectHandler(object, 28, 0, 0);
        }
        return MV2DummyObjectHandler(object, message, p1, p2);
    default: return MV2DummyObjectHandler(object, message, p1, p2) ? 1 : 0;
    }
}

void MV2DrawSparks(TvCamera* camera) {
    if (!g.linked) return;
    for (MV2SparkRecord* r = g.activeHead.next; r != &g.activeHead; r = r->next) {
        const TvSphere sphere = {r->centre, 0.4f};
        if (camera && TvCameraFrustumTestSphere(camera, &sphere) == kTvSphereOutside) continue;
        const uint32_t index = r->textureBase + (r->frame > 2 ? 2 : r->frame);
        TvTexture* texture = index < 4 ? g.textures[index] : nullptr;
        TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(MV2EffectRaster(texture)));
        const uint8_t grey = MV2WrapByte(float(r->grey));
        for (TvIm3DVertex& v : g_triangle) {
            v.red = v.green = v.blue = grey;
            v.alpha = 255;
        }
        for (int32_t i = 0; i < 4; i++) {
            g_triangle[0].objVertex = r->centre;
            g_triangle[1].objVertex = r->points[i];
            g_triangle[2].objVertex = r->points[(i + 1) % 4];
            if (!TvIm3DTransform(g_triangle, 3, nullptr, kTvIm3DVertexUV)) continue;
            TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, kBothSides, 6);
            TvIm3DEnd();
        }
    }
}

MV2SparkRecord* MV2FirstSpark() {
    return g.linked && g.activeHead.next != &g.activeHead ? g.activeHead.next : nullptr;
}
