#include "game/effects/scorches.h"

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/texture.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/effects/effectbase.h"
#include "game/effects/projection.h"
#include "game/missions/missions.h"
#include "game/objects/camera.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/objects/objectupdate.h"
#include "game/objects/utilities.h"
#include "shell/gamemain.h"

namespace {

struct ScorchTexture {
    const char* name;
    const char* mask;
};
// Plain 1-3, then red and green.
constexpr ScorchTexture kTextures[5] = {{"CLEAR1", "SCORCH1"}, {"CLEAR2", "SCORCH2"},
                                        {"CLEAR3", "SCORCH3"}, {"CLEARR", "SCORCH1"},
                                        {"CLEARG", "SCORCH2"}};
constexpr int32_t kPlainTable[4] = {0, 1, 2, 2};

struct State {
    MV2ScorchRecord records[kMV2Scorches];
    MV2ScorchRecord freeHead;
    MV2ScorchRecord activeHead;
    TvTexture* textures[5];
    bool linked;
};
State g = {};

void LinkAll() {
    g.freeHead.next = g.freeHead.previous = &g.freeHead;
    g.activeHead.next = g.activeHead.previous = &g.activeHead;
    for (MV2ScorchRecord& r : g.records) {
        r.active = 0;
        MV2EffectLinkAfter(&g.freeHead, &r);
    }
    g.linked = true;
}

MV2Object* LiveCarrier(MV2ScorchRecord* r) {
    return r->object && MV2ObjectHandleAlive(r->handle) ? r->object : nullptr;
}

void TakeOutOfWorld(MV2Object* object) {
    if (!object || !object->clump) return;
    if (TpWorld* world = TpClumpGetWorld(object->clump)) TpWorldRemoveClump(world, object->clump);
}

// Every record back to the free list; the carriers are destroyed.
void DestroyAll() {
    if (!g.linked) return;
    for (MV2ScorchRecord& r : g.records) {
        if (MV2Object* carrier = LiveCarrier(&r)) MV2ObjectSendMessage(carrier, 4, 0, 0);
        r.object = nullptr;
        r.handle = 0;
    }
    LinkAll();
}

} // namespace

int32_t MV2InitialiseScorches() {
    for (int32_t i = 0; i < 5; i++) {
        if (!g.textures[i]) g.textures[i] = MV2ReadEffectTexture(kTextures[i].name, kTextures[i].mask);
        if (!g.textures[i]) return 0;
    }
    for (MV2ScorchRecord& r : g.records)
        r = MV2ScorchRecord{};
    LinkAll();
    return 1;
}

void MV2ShutdownScorches() {
    if (g.linked)
        for (MV2ScorchRecord& r : g.records)
            TakeOutOfWorld(LiveCarrier(&r));
    DestroyAll();
    for (TvTexture*& t : g.textures)
        MV2DestroyEffectTexture(t);
}

void MV2ResetScorches() {
    DestroyAll();
}

int32_t MV2AddScorch(const float* position, float size, uint32_t flags) {
    if (!position || !g.linked) return 0;
    const TvV3d at = MV2V3d(position);
    const TvV3d eye = MV2CameraMatrix(gMV2MainCamera)->pos;
    const TvV3d d = TvV3dSub(at, eye);
    const float far = MV2EffectFar();
    if (TvV3dDot(d, d) > far * far) return 1;
    MV2TriangleHit hits[4];
    const int32_t found = MV2World ? MV2GetTrianglesInSphere(MV2World, &at, size, 4, hits) : 0;
    if (found <= 0) return 0;
    TvV3d sum = {0, 0, 0};
    for (int32_t i = 0; i < found && i < 4; i++)
        sum = TvV3dAdd(sum, hits[i].normal);
    TvV3d n = MV2EffectUnit(sum);
    if (n.x == 0.0f && n.z == 0.0f) n.x = 0.01f;

    MV2ScorchRecord* r = g.freeHead.next;
    if (r != &g.freeHead) {
        MV2EffectUnlink(r);
        MV2EffectLinkAfter(&g.activeHead, r);
        r->active = 1;
        if (MV2Object* carrier = LiveCarrier(r))
            if (carrier->clump && !TpClumpGetWorld(carrier->clump) && MV2World)
                TpWorldAddClump(MV2World, carrier->clump);
    } else {
        r = nullptr;
        for (MV2ScorchRecord* a = g.activeHead.next; a != &g.activeHead; a = a->next)
            if (!r || a->startTime < r->startTime) r = a;
        if (!r) return 0;
    }
    MV2Object* carrier = LiveCarrier(r);
    if (!carrier) {
        const float place[3] = {0.0f, 1.0f, 0.0f};
        carrier = MV2CreateObject(kMV2CarrierType, place, nullptr);
        if (!carrier) {
            // No carrier: the record goes back; nothing can carry the scorch.
            r->active = 0;
            MV2EffectUnlink(r);
            MV2EffectLinkAfter(&g.freeHead, r);
            r->object = nullptr;
            return 1;
        }
        r->object = carrier;
        intptr_t handle = 0;
        MV2ObjectSendMessage(carrier, 17, 0, intptr_t(&handle));
        r->handle = uint32_t(handle);
        carrier->typeHandler = MV2ScorchObjectHandler;
        MV2ObjectSendMessage(carrier, 28, 0, intptr_t(r)); // the carrier's link
        if (MV2ObjectType* type = MV2GetObjectType(kMV2CarrierType)) type->words[7] &= ~(1u << 6);
    }
    MV2ObjectSendMessage(carrier, 0, 1, 0);
    r->size = size;
    r->startTime = MV2EffectClock();
    r->endTime = r->startTime + 10000;
    r->flags = flags;
    if (flags & kMV2ScorchRed)
        r->texture = g.textures[3];
    else if (flags & kMV2ScorchGreen)
        r->texture = g.textures[4];
    else
        r->texture = g.textures[kPlainTable[MV2EffectRandom() & 3]];

    if (carrier->matrix) {
        TvMatrix& m = *carrier->matrix;
        m.at = TvV3dScale(n, -1.0f);
        m.right = MV2EffectUnit(TvV3dCross(m.at, {0.0f, 1.0f, 0.0f}));
        m.up = MV2EffectUnit(TvV3dCross(m.at, m.right));
        m.pos = {0, 0, 0};
        m.flags = 0;
        const TvV3d z = {0.0f, 0.0f, 1.0f};
        MV2RotateMatrixInPlace(&m, &z, float(MV2EffectRandom() % 360), kTvCombinePreConcat);
        m.pos = TvV3dAdd(at, TvV3dScale(n, size));
        if (carrier->clump && carrier->clump->frame) TvFrameUpdateObjects(carrier->clump->frame);
    }
    return 1;
}

intptr_t MV2ScorchObjectHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message != 2) return MV2DummyObjectHandler(object, message, p1, p2);
    intptr_t word = 0;
    MV2ObjectSendMessage(object, 27, 0, intptr_t(&word));
    auto* r = reinterpret_cast<MV2ScorchRecord*>(word);
    if (r && int32_t(r->endTime - MV2EffectClock()) > 0 && MV2InViewUpdateFlag)
        return MV2DummyObjectHandler(object, message, p1, p2);
    if (r && r->active) {
        r->active = 0;
        MV2EffectUnlink(r);
        MV2EffectLinkAfter(&g.freeHead, r);
    }
    TakeOutOfWorld(object);
    MV2ObjectSendMessage(object, 1, 1, 0);
    return 1;
}

float MV2ScorchDrawnSize(const MV2ScorchRecord* r, uint32_t clock) {
    const int32_t t = int32_t(r->endTime - clock);
    return t < 5000 ? r->size * float(t) * 0.0002f : r->size;
}

void MV2DrawScorches() {
    if (!g.linked) return;
    for (MV2ScorchRecord* r = g.activeHead.next; r != &g.activeHead; r = r->next) {
        const float s = MV2ScorchDrawnSize(r, MV2EffectClock());
        MV2Object* carrier = LiveCarrier(r);
        if (s > 0.0f && carrier && carrier->matrix)
            MV2CollectProjectedPolygons(carrier->matrix, r->texture, s, s * 8.0f, 0.0f);
    }
}

MV2ScorchRecord* MV2FirstScorch() {
    return g.linked && g.activeHead.next != &g.activeHead ? g.activeHead.next : nullptr;
}
