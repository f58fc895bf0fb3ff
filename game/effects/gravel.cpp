#include "game/effects/gravel.h"

#include <algorithm>

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/material.h"
#include "engine/world/world.h"
#include "game/effects/bubbles.h"
#include "game/effects/effectbase.h"
#include "game/effects/primitives.h"
#include "game/effects/sfx.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/objects/objectupdate.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/player.h"
#include "shell/gamemain.h"

namespace {

struct CloneEntry {
    const TpClump* clump;
    MV2Grain* grain;
};

struct State {
    MV2Grain grains[kMV2Grains];
    MV2Grain freeHead;
    MV2Grain activeHead;
    TpClump* prototype;
    CloneEntry clones[kMV2Grains]; // sorted by clump, for the callback's look-up
    bool linked;
};
State g = {};

void OutOfWorld(TpClump* clump) {
    if (!clump) return;
    if (TpWorld* world = TpClumpGetWorld(clump)) TpWorldRemoveClump(world, clump);
}

void Release(MV2Grain* r) {
    r->active = 0;
    MV2EffectUnlink(r);
    MV2EffectLinkAfter(&g.freeHead, r);
    OutOfWorld(r->clump);
}

TpClump* BuildPrototype() {
    MV2ModelParts parts;
    if (!MV2CreateModelParts(&parts, 4, 2, kTpGeometryTextured, true)) return nullptr;
    TpGeometry* geometry = parts.geometry;
    if (gMV2CoronaTexture) TpMaterialSetTexture(parts.material, gMV2CoronaTexture);
    TpMaterialListAppendMaterial(&geometry->materials, parts.material);
    TpMaterialDestroy(parts.material); // the list holds its own reference
    TpMorphTarget* target = TpGeometryGetMorphTarget(geometry, 0);
    const TvV3d corners[4] = {{-0.02f, -0.02f, 0}, {0.02f, -0.02f, 0}, {0.02f, 0.02f, 0},
                              {-0.02f, 0.02f, 0}};
    const TpTexCoords uv[4] = {{0, 1}, {1, 1}, {1, 0}, {0, 0}};
    for (int32_t i = 0; i < 4; i++) {
        target->vertices[i] = corners[i];
        geometry->texCoords[i] = uv[i];
    }
    geometry->triangles[0] = {{2, 1, 0}, 0};
    geometry->triangles[1] = {{3, 2, 0}, 0};
    const TvSphere sphere{{0, 0, 0}, 0.0283f};
    TpMorphTargetSetBoundingSphere(target, &sphere);
    TpGeometryUnlock(geometry);
    TpClump* clump = MV2JoinModelParts(parts);
    TpAtomicSetFlags(parts.atomic, 0); // neither collision-tested nor drawn by the world
    return clump;
}

TvMatrix* GrainMatrix(const MV2Grain* r) {
    return r->clump && r->clump->frame ? TvFrameGetMatrix(r->clump->frame) : nullptr;
}

} // namespace

int32_t MV2InitialiseGravel() {
    MV2SetObjectTypeHandler(kMV2FishType, MV2FishHandler);
    MV2ShutdownGravel();
    g.prototype = BuildPrototype();
    if (!g.prototype) return 0;
    g.freeHead.next = g.freeHead.previous = &g.freeHead;
    g.activeHead.next = g.activeHead.previous = &g.activeHead;
    g.linked = true;
    for (int32_t i = 0; i < kMV2Grains; i++) {
        MV2Grain& r = g.grains[i];
        r = MV2Grain{};
        r.clump = TpClumpClone(g.prototype);
        g.clones[i] = {r.clump, &r};
        MV2EffectLinkAfter(&g.freeHead, &r);
        if (!r.clump) return 0;
        TpClumpSetCallBack(r.clump, MV2UpdateGravel);
    }
    std::sort(std::begin(g.clones), std::end(g.clones),
              [](const CloneEntry& a, const CloneEntry& b) { return a.clump < b.clump; });
    return 1;
}

void MV2ShutdownGravel() {
    if (g.linked)
        for (MV2Grain& r : g.grains) {
            if (!r.clump) continue;
            OutOfWorld(r.clump);
            TpClumpDestroy(r.clump);
            r.clump = nullptr;
        }
    for (CloneEntry& e : g.clones)
        e = {};
    if (g.prototype) TpClumpDestroy(g.prototype);
    g.prototype = nullptr;
    g.linked = false;
}

void MV2ResetGravel() {
    if (!g.linked) return;
    for (MV2Grain* r = g.activeHead.next; r != &g.activeHead;) {
        MV2Grain* next = r->next;
        Release(r);
        r = next;
    }
    for (MV2Grain& r : g.grains)
        OutOfWorld(r.clump);
}

MV2Grain* MV2FindGrain(const TpClump* clump) {
    if (!g.linked || !clump) return nullptr;
    const CloneEntry* end = g.clones + kMV2Grains;
    const CloneEntry* e = std::lower_bound(
        static_cast<const CloneEntry*>(g.clones), end, clump,
        [](const CloneEntry& a, const TpClump* c) { return a.clump < c; });
    return e != end && e->clump == clump ? e->grain : nullptr;
}

void MV2CreateGravel(const float* position, const float* velocity) {
    if (!g.linked || !position || !MV2InViewUpdateFlag) return;
    const TvV3d at = MV2V3d(position);
    const TvV3d d = TvV3dSub(at, MV2CameraMatrix(gMV2MainCamera)->pos);
    const float far = MV2EffectFar();
    if (TvV3dDot(d, d) > far * far) return;
    MV2Grain* r = g.freeHead.next;
    if (r != &g.freeHead) {
        MV2EffectUnlink(r);
        MV2EffectLinkAfter(&g.activeHead, r);
        r->active = 1;
        r->lastSeen = MV2EffectFrame();
        if (r->clump && !TpClumpGetWorld(r->clump) && MV2World) TpWorldAddClump(MV2World, r->clump);
    } else {
        r = nullptr;
        for (MV2Grain* a = g.activeHead.next; a != &g.activeHead; a = a->next)
            if (!r || a->birthFrame < r->birthFrame) r = a;
        if (!r) return;
    }
    r->velocity = velocity ? MV2V3d(velocity) : TvV3d{0, 0, 0};
    r->birthFrame = MV2EffectFrame();
    r->size = float(MV2EffectRandom() & 7) * 0.0028571428f;
    if (r->size == 0.0f) r->size = 0.02f;
    if (r->clump && r->clump->frame) {
        TvFrameTranslate(r->clump->frame, &at, kTvCombineReplace);
        TvFrameUpdateObjects(r->clump->frame);
    }
}

TpClump* MV2UpdateGravel(TpClump* clump, void*) {
    MV2Grain* r = MV2FindGrain(clump);
    if (!r || !r->active) return clump;
    const uint32_t now = MV2EffectFrame();
    if (r->lastSeen == now) return clump;
    TvMatrix* m = GrainMatrix(r);
    if (m) {
        const TvMatrix* camera = MV2CameraMatrix(gMV2MainCamera);
        m->right = camera->right;
        m->up = camera->up;
        m->at = camera->at;
        const float step = MV2EffectStep();
        r->velocity.y -= step * (MV2GetWaterHeight(&m->pos) < m->pos.y ? 0.002f : 0.001f);
        const TvV3d move = TvV3dScale(r->velocity, step);
        TvFrameTranslate(clump->frame, &move, kTvCombinePostConcat);
        TvFrameUpdateObjects(clump->frame);
        r->velocity = TvV3dScale(r->velocity, MV2GetMediumDrag(9));
    }
    if (MV2InViewUpdateFlag && r->lastSeen + 1 >= now) {
        r->lastSeen = now;
        return clump;
    }
    Release(r);
    return clump;
}

void MV2DrawGravel() {
    if (!g.linked) return;
    for (MV2Grain* r = g.activeHead.next; r != &g.activeHead; r = r->next) {
        if (!r->clump || !r->clump->frame) continue;
        const TvV3d at = TvFrameGetLTM(r->clump->frame)->pos;
        MV2DrawSprite(gMV2CoronaTexture, &at, r->size, r->size, 1.0f);
    }
}

MV2Grain* MV2FirstGrain() {
    return g.linked && g.activeHead.next != &g.activeHead ? g.activeHead.next : nullptr;
}

// ---- The darting fish ----

intptr_t MV2FishHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 2 && object->matrix) {
        if (!MV2InViewUpdateFlag) {
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
        TvMatrix& m = *object->matrix;
        if ((MV2EffectRandom() & 255) < 32) {
            const TvV3d p = TvV3dAdd(m.pos, TvV3dScale(m.at, 0.2f));
            const float at[3] = {p.x, p.y, p.z};
            MV2CreateBubble(at, nullptr, 0.05f);
        }
        MV2Object* player = MV2GetPlayerObject();
        if (player && player->matrix) {
            const TvV3d d = TvV3dSub(player->matrix->pos, m.pos);
            if (TvV3dDot(d, d) < 25.0f) {
                const TvV3d up = {0.0f, 1.0f, 0.0f};
                MV2RotateMatrixInPlace(&m, &up, -2.5f * TvV3dDot(m.right, d), kTvCombinePreConcat);
                float s = TvV3dDot(m.up, d);
                if (s > -0.025f && s < 0.025f) s = s < 0.0f ? -0.025f : 0.025f;
                const TvV3d force = TvV3dScale(m.up, -0.1f * s);
                const TvV3d point = TvV3dAdd(m.pos, m.at);
                MV2AddTorque(object, &force, &point);
                if (object->clump && object->type)
                    MV2AddAnimTime(object->clump, MV2TypeFloat(object->type, 9) * MV2EffectStep());
                const TvV3d dart = TvV3dScale(m.at, 0.024f);
                MV2AddForce(object, &dart);
            }
        }
        const TvV3d swim = TvV3dScale(m.at, 0.012f);
        MV2AddForce(object, &swim);
        const float surface = MV2GetWaterHeight(&m.pos);
        if (surface < m.pos.y) m.pos.y = surface;
        const TvV3d offset = {0.0f, 50.0f, 0.0f};
        MV2ApplyUprightForce(object, &offset);
        if (object->energy <= 0.0f) {
            const float at[3] = {m.pos.x, m.pos.y, m.pos.z};
            MV2CreateBloodCloud(at, object->radius);
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
    }
    if (!MV2ObjectDefaultHandler(object, message, p1, p2)) return 0;
    if (message == 3) MV2SetTag69PartVisible(object, 0);
    return 1;
}
