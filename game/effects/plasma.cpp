#include "game/effects/plasma.h"

#include "engine/core/frame.h"
#include "engine/core/texture.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/light.h"
#include "engine/world/material.h"
#include "engine/world/world.h"
#include "game/effects/bubbles.h"
#include "game/effects/effectbase.h"
#include "game/effects/primitives.h"
#include "game/effects/scorches.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/objects/objectupdate.h"
#include "game/objects/utilities.h"
#include "game/player/weapons.h"
#include "shell/gamemain.h"

namespace {

enum { kCore, kBits, kGlow, kMaterials };
constexpr const char* kMaterialNames[kMaterials] = {"CORE", "BITS", "PLASMA2"};

struct State {
    MV2PlasmaBeam beams[kMV2PlasmaBeams];
    MV2PlasmaSpark sparks[kMV2PlasmaSparks];
    TpMaterial* materials[kMaterials];
    TvTexture* textures[kMaterials];
    bool built;
};
State g = {};

TpAtomic* StripAtomic(TpClump* clump) {
    return clump ? MV2GetFirstAtomic(clump) : nullptr;
}

bool InWorld(TpClump* clump) {
    return clump && TpClumpGetWorld(clump);
}

void ShowStrip(TpClump* clump) {
    if (clump && !InWorld(clump) && MV2World) TpWorldAddClump(MV2World, clump);
}

void HideStrip(TpClump* clump) {
    if (!clump) return;
    if (TpWorld* world = TpClumpGetWorld(clump)) TpWorldRemoveClump(world, clump);
}

void HideLight(TpLight* light) {
    if (!light) return;
    if (TpWorld* world = TpLightGetWorld(light)) TpWorldRemoveLight(world, light);
}

void DestroyStrip(TpClump*& clump) {
    if (!clump) return;
    HideStrip(clump);
    TvFrame* frame = clump->frame;
    TpClumpDestroy(clump);
    if (frame) TvFrameDestroy(frame);
    clump = nullptr;
}

void FreeSpark(MV2PlasmaSpark& s) {
    s.active = 0;
    HideStrip(s.strip);
    HideLight(s.light);
}

TvV3d CameraPosition() {
    return MV2CameraMatrix(gMV2MainCamera)->pos;
}

int32_t VertexCount(TpAtomic* atomic) {
    TpGeometry* geometry = atomic ? TpAtomicGetGeometry(atomic) : nullptr;
    return geometry ? TpGeometryGetNumVertices(geometry) : 0;
}

// The atomic's place among the clump's atomics that have vertices; -1 when it is not one.
int32_t AtomicNumber(TpClump* clump, TpAtomic* atomic) {
    int32_t n = 0;
    for (TpAtomic* a = MV2GetFirstAtomic(clump); a; a = MV2GetNextAtomic(clump, a)) {
        if (VertexCount(a) <= 0) continue;
        if (a == atomic) return n;
        n++;
    }
    return -1;
}

TpAtomic* AtomicByNumber(TpClump* clump, uint32_t number) {
    uint32_t n = 0;
    for (TpAtomic* a = MV2GetFirstAtomic(clump); a; a = MV2GetNextAtomic(clump, a)) {
        if (VertexCount(a) <= 0) continue;
        if (n++ == number) return a;
    }
    return nullptr;
}

// Lays the strip from S toward E: n rows up to the hit, the rest piled up at it.
void BuildStrip(TpClump* clump, const TvV3d& s, const TvV3d& e, int32_t n, float vOffset) {
    TpAtomic* atomic = StripAtomic(clump);
    TpGeometry* geometry = atomic ? TpAtomicGetGeometry(atomic) : nullptr;
    if (!geometry || !clump->frame) return;
    TpGeometryLock(geometry, kTpLockVertices | kTpLockTexCoords);
    TvV3d* v = TpMorphTargetGetVertices(TpGeometryGetMorphTarget(geometry, 0));
    TvFrameTranslate(clump->frame, &s, kTvCombineReplace);
    TvFrameUpdateObjects(clump->frame);
    const TvV3d camera = CameraPosition();
    TvV3d step = TvV3dScale(TvV3dSub(e, s), 0.1f);
    TvV3d acc = {0, 0, 0};
    for (int32_t i = 0; i < kMV2PlasmaStripRows; i++) {
        const TvV3d p = TvV3dAdd(s, TvV3dScale(step, float(i + 1)));
        const TvV3d side = MV2EffectUnit(TvV3dCross(TvV3dSub(p, camera), step));
        const TvV3d w = TvV3dScale(side, 0.08f);
        TvV3d centre = acc;
        if (i != 0 && i != n)
            centre = TvV3dAdd(centre, TvV3dScale(side, float(int32_t(MV2EffectRandom() & 255) - 128) *
                                                           0.000390625f));
        if (i >= n) step = TvV3dScale(step, 0.1f);
        v[2 * i] = TvV3dSub(centre, w);
        v[2 * i + 1] = TvV3dAdd(centre, w);
        geometry->texCoords[2 * i].v = vOffset + float(i);
        geometry->texCoords[2 * i + 1].v = vOffset + float(i);
        acc = TvV3dAdd(acc, step);
    }
    TpGeometryUnlock(geometry);
}

void HitObject(MV2PlasmaBeam& b, MV2Object* object, TpAtomic* atomic) {
    const float seconds = MV2EffectSeconds();
    const MV2ObjectHandle handle = object->handle;
    if (object->body) {
        const TvV3d r = MV2EffectRandomDirection();
        const TvV3d force = TvV3dScale(r, seconds);
        MV2AddForce(object, &force);
        if (object->type && ((object->type->words[31] >> 28) & 3) == 2) {
            const TvV3d back = TvV3dScale(force, -1.0f);
            TvFrame* root = MV2GetRootFrame(object->clump);
            const TvV3d at = TvV3dAdd(root ? TvFrameGetLTM(root)->pos : object->matrix->pos, r);
            MV2AddTorque(object, &back, &at);
        }
    }
    MV2AttachPlasmaSparks(object, atomic);
    MV2Object* owner = b.owner && MV2ObjectHandleAlive(b.ownerHandle) ? b.owner : nullptr;
    const float at[3] = {b.hitPoint.x, b.hitPoint.y, b.hitPoint.z};
    MV2DamageObject(owner, object, at, b.damageRate * seconds, 0);
    if (MV2ObjectHandleAlive(handle)) MV2ObjectSendMessage(object, 78, 0, 0);
}

void UpdateBeam(MV2PlasmaBeam& b) {
    const float seconds = MV2EffectSeconds();
    if (!MV2ObjectHandleAlive(b.ownerHandle)) {
        b.active = 0;
        return;
    }
    if (InWorld(b.core) && b.owner->matrix) {
        const TvMatrix* m = b.owner->matrix;
        TvV3d s, e;
        TvV3dTransformPoints(&s, &b.start, 1, m);
        TvV3dTransformPoints(&e, &b.end, 1, m);
        MV2TriangleHit triangle;
        float t = 1.0f;
        TpAtomic* atomic = nullptr;
        int32_t rows = 10;
        // The owner's own clump is left out of the test.
        if (!MV2IntersectSceneLine(MV2World, &s, &e, &triangle, &t, &atomic, b.owner)) {
            b.hit = 0;
        } else {
            if (!b.hit) {
                b.hit = 1;
                b.glowRising = 0;
                b.glow = 1.0f;
            }
            b.hitPoint = TvV3dAdd(s, TvV3dScale(TvV3dSub(e, s), 0.95f * t));
            TpClump* clump = atomic ? TpAtomicGetClump(atomic) : nullptr;
            MV2Object* object = clump && TpClumpGetCallBack(clump) == MV2UpdateClumpObject
                                    ? MV2GetClumpObject(clump)
                                    : nullptr;
            if (object) {
                HitObject(b, object, atomic);
            } else if (!atomic && (MV2EffectRandom() & 127) < 64) {
                const float at[3] = {b.hitPoint.x, b.hitPoint.y, b.hitPoint.z};
                MV2AddScorch(at, 0.2f, 0);
            }
            rows = int32_t(10.0f * t) + 1;
            if (rows > 10) rows = 10;
            b.scroll += seconds;
        }
        b.scroll += seconds;
        while (b.scroll > 1.0f)
            b.scroll -= 1.0f;
        if (b.active && MV2ObjectHandleAlive(b.ownerHandle)) {
            BuildStrip(b.core, s, e, rows, 1.0f - b.scroll);
            BuildStrip(b.bits, s, e, rows, b.scroll);
        }
    }
    if (b.glowRising) {
        b.glow += seconds;
        if (b.glow >= 1.0f) {
            b.glow = 1.0f;
            b.glowRising = 0;
        }
    } else {
        b.glow -= seconds;
        if (b.hit) {
            if (b.glow < 0.5f) b.glowRising = 1;
        } else if (b.glow < 0.0f) {
            b.glow = 0.0f;
        }
    }
}

void UpdateSpark(MV2PlasmaSpark& s) {
    const float seconds = MV2EffectSeconds();
    s.timeLeft -= seconds;
    if (s.timeLeft < 0.0f || !MV2ObjectHandleAlive(s.objectHandle)) {
        FreeSpark(s);
        return;
    }
    MV2Object* object = s.object;
    object->energy -= 0.2f * seconds;
    TpAtomic* atomic = object->clump ? AtomicByNumber(object->clump, s.atomicNumber) : nullptr;
    if (!atomic || !atomic->object.frame || !s.strip || !s.strip->frame) {
        FreeSpark(s);
        return;
    }
    const TvMatrix* w = TvFrameGetLTM(atomic->object.frame);
    TpGeometry* geometry = TpAtomicGetGeometry(atomic);
    const uint32_t count = uint32_t(TpGeometryGetNumVertices(geometry));
    const TpMorphTarget* target = TpGeometryGetMorphTarget(geometry, 0);
    const TvV3d* vertices = TpMorphTargetGetVertices(target);
    const uint32_t a = s.vertex % count;
    TvV3d previous;
    TvV3dTransformPoints(&previous, &vertices[a], 1, w);
    const float p0[3] = {previous.x, previous.y, previous.z};
    const TvV3d* normals = (TpGeometryGetFlags(geometry) & kTpGeometryNormals)
                               ? TpMorphTargetGetNormals(target)
                               : nullptr;
    const int32_t inView = MV2InViewUpdateFlag;
    MV2InViewUpdateFlag = 1;
    if (normals) {
        TvV3d n;
        TvV3dTransformVectors(&n, &normals[a], 1, w);
        const float velocity[3] = {n.x * 0.05f, n.y * 0.05f, n.z * 0.05f};
        MV2CreateBubble(p0, velocity, 0.04f);
    } else {
        MV2CreateBubble(p0, nullptr, 0.04f);
    }
    MV2InViewUpdateFlag = inView;

    TvMatrix* frame = TvFrameGetMatrix(s.strip->frame);
    TvMatrixSetIdentity(frame);
    frame->pos = w->pos;
    TvFrameUpdateObjects(s.strip->frame);
    TpAtomic* stripAtomic = StripAtomic(s.strip);
    TpGeometry* strip = stripAtomic ? TpAtomicGetGeometry(stripAtomic) : nullptr;
    TvV3d q = previous;
    if (strip) {
        TpGeometryLock(strip, kTpLockVertices | kTpLockTexCoords);
        TvV3d* out = TpMorphTargetGetVertices(TpGeometryGetMorphTarget(strip, 0));
        const TvV3d camera = CameraPosition();
        float along = 0.0f;
        for (uint32_t row = 0; row < uint32_t(kMV2PlasmaStripRows); row++) {
            TvV3dTransformPoints(&q, &vertices[(a + 1 + row) % count], 1, w);
            const TvV3d d = TvV3dSub(q, previous);
            const TvV3d side =
                TvV3dScale(MV2EffectUnit(TvV3dCross(TvV3dSub(q, camera), d)), 0.1f);
            along += MV2EffectLength(d);
            out[2 * row] = TvV3dSub(TvV3dAdd(q, side), w->pos);
            out[2 * row + 1] = TvV3dSub(TvV3dSub(q, side), w->pos);
            strip->texCoords[2 * row].v = along;
            strip->texCoords[2 * row + 1].v = along;
            previous = q;
        }
        TpGeometryUnlock(strip);
    }
    if (s.light) {
        if (TvFrame* lightFrame = s.light->object.frame) {
            TvFrameTranslate(lightFrame, &q, kTvCombineReplace);
            TvFrameUpdateObjects(lightFrame);
        }
        if (!TpLightGetWorld(s.light) && MV2World) TpWorldAddLight(MV2World, s.light);
    }
    s.vertex = (s.vertex + 1) % count;
}

void RenderStrip(TpClump* clump) {
    if (!InWorld(clump)) return;
    TpAtomic* atomic = StripAtomic(clump);
    if (!atomic) return;
    TpAtomicSetFlags(atomic, kTpAtomicRender);
    TpClumpRender(clump);
    TpAtomicSetFlags(atomic, 0);
}

} // namespace

TpClump* MV2CreatePlasmaAtomic(TpMaterial* material) {
    MV2ModelParts parts;
    if (!MV2CreateModelParts(&parts, 2 * kMV2PlasmaStripRows, 20,
                             kTpGeometryTextured | kTpGeometryPreLit, false))
        return nullptr;
    TpGeometry* geometry = parts.geometry;
    uint16_t materialIndex = kTpNoMaterial;
    if (material && TpMaterialListAppendMaterial(&geometry->materials, material) >= 0)
        materialIndex = 0;
    TvV3d* v = TpMorphTargetGetVertices(TpGeometryGetMorphTarget(geometry, 0));
    for (int32_t k = 0; k < kMV2PlasmaStripRows; k++) {
        v[2 * k] = {0.5f, 0.0f, 0.5f * float(k)};
        v[2 * k + 1] = {-0.5f, 0.0f, 0.5f * float(k)};
        geometry->texCoords[2 * k] = {0.375f, float(k)};
        geometry->texCoords[2 * k + 1] = {0.625f, float(k)};
    }
    for (int32_t i = 0; i < 2 * kMV2PlasmaStripRows * 4; i++)
        geometry->preLight[i] = 255;
    for (int32_t k = 0; k < 10; k++) {
        const auto b = uint16_t(2 * k);
        geometry->triangles[2 * k] = {{b, uint16_t(b + 1), uint16_t(b + 2)}, materialIndex};
        geometry->triangles[2 * k + 1] = {{uint16_t(b + 1), uint16_t(b + 3), uint16_t(b + 2)},
                                          materialIndex};
    }
    const TvSphere sphere{{0, 0, 0}, 5.0f};
    TpMorphTargetSetBoundingSphere(TpGeometryGetMorphTarget(geometry, 0), &sphere);
    TpGeometrySetSurfaceProperties(geometry, 1.0f, 1.0f, 1.0f);
    TpGeometryUnlock(geometry);
    TpClump* clump = MV2JoinModelParts(parts);
    TpAtomicSetFlags(parts.atomic, 0); // neither drawn nor tested by the world
    return clump;
}

int32_t MV2InitialisePlasmaBeams() {
    if (g.built) MV2ShutdownPlasmaBeams();
    for (int32_t i = 0; i < kMaterials; i++) {
        g.textures[i] = MV2ReadEffectTexture(kMaterialNames[i], nullptr);
        g.materials[i] = g.textures[i] ? TpMaterialCreate() : nullptr;
        if (g.materials[i]) TpMaterialSetTexture(g.materials[i], g.textures[i]);
    }
    for (MV2PlasmaBeam& b : g.beams) {
        b = MV2PlasmaBeam{};
        b.core = MV2CreatePlasmaAtomic(g.materials[kCore]);
        b.bits = MV2CreatePlasmaAtomic(g.materials[kBits]);
    }
    for (MV2PlasmaSpark& s : g.sparks) {
        s = MV2PlasmaSpark{};
        s.strip = MV2CreatePlasmaAtomic(g.materials[kBits]);
        TvFrame* frame = TvFrameCreate();
        s.light = frame ? TpLightCreate(128) : nullptr;
        if (s.light) {
            TpLightSetRadius(s.light, 0.1f);
            TpLightSetColor(s.light, 0.9f, 0.9f, 1.0f, 1.0f);
            TpLightSetFlags(s.light, 3);
            TpLightSetFrame(s.light, frame);
        } else if (frame) {
            TvFrameDestroy(frame);
        }
    }
    g.built = true;
    return 1;
}

void MV2ShutdownPlasmaBeams() {
    for (MV2PlasmaBeam& b : g.beams) {
        DestroyStrip(b.core);
        DestroyStrip(b.bits);
        b = MV2PlasmaBeam{};
    }
    for (MV2PlasmaSpark& s : g.sparks) {
        DestroyStrip(s.strip);
        if (s.light) {
            HideLight(s.light);
            TvFrame* frame = s.light->object.frame;
            TpLightSetFrame(s.light, nullptr);
            TpLightDestroy(s.light);
            if (frame) TvFrameDestroy(frame);
        }
        s = MV2PlasmaSpark{};
    }
    for (int32_t i = 0; i < kMaterials; i++) {
        if (g.materials[i]) TpMaterialDestroy(g.materials[i]);
        g.materials[i] = nullptr;
        MV2DestroyEffectTexture(g.textures[i]);
    }
    g.built = false;
}

void MV2ResetPlasmaBeams() {
    for (MV2PlasmaBeam& b : g.beams) {
        HideStrip(b.core);
        HideStrip(b.bits);
        b.hit = 0;
    }
    for (MV2PlasmaSpark& s : g.sparks)
        FreeSpark(s);
}

MV2PlasmaBeam* MV2CreatePlasmaBeam(MV2Object* owner, uint32_t ownerHandle, float damageRate,
                                   const float* start, const float* end) {
    if (!owner || !start || !end) return nullptr;
    for (MV2PlasmaBeam& b : g.beams) {
        if (b.active) continue;
        b.active = 1;
        b.start = MV2V3d(start);
        b.end = MV2V3d(end);
        b.scroll = 0.0f;
        b.owner = owner;
        b.ownerHandle = ownerHandle;
        b.damageRate = damageRate;
        b.hit = 0;
        b.glow = 0.0f;
        b.glowRising = 0;
        return &b;
    }
    return nullptr;
}

void MV2ShowPlasmaBeam(MV2PlasmaBeam* beam) {
    if (!beam) return;
    ShowStrip(beam->core);
    ShowStrip(beam->bits);
}

void MV2ReleasePlasmaBeam(MV2PlasmaBeam** beam) {
    if (!beam) return;
    if (*beam) (*beam)->active = 0;
    *beam = nullptr;
}

void MV2AttachPlasmaSparks(MV2Object* object, TpAtomic* atomic) {
    if (!object || !atomic || !object->clump) return;
    MV2PlasmaSpark* slot = nullptr;
    for (MV2PlasmaSpark& s : g.sparks) {
        if (s.active && s.objectHandle == object->handle) return;
        if (!s.active && !slot) slot = &s;
    }
    if (!slot) return;
    // Only an atomic of the object's clump that has vertices can carry sparks.
    const int32_t number = AtomicNumber(object->clump, atomic);
    const int32_t count = VertexCount(atomic);
    if (number < 0 || count <= 0) return;
    slot->active = 1;
    slot->object = object;
    slot->objectHandle = object->handle;
    slot->timeLeft = 2.0f;
    slot->atomicNumber = uint32_t(number);
    slot->vertex = MV2EffectRandom() % uint32_t(count);
    ShowStrip(slot->strip);
}

void MV2UpdatePlasmaBeams() {
    for (MV2PlasmaBeam& b : g.beams)
        if (b.active) UpdateBeam(b);
    for (MV2PlasmaSpark& s : g.sparks)
        if (s.active) UpdateSpark(s);
}

void MV2DrawPlasmaBeams() {
    for (MV2PlasmaBeam& b : g.beams) {
        if (!b.active) continue;
        if (b.glow > 0.0f) MV2DrawSprite(g.textures[kGlow], &b.hitPoint, 0.1f, 0.1f, b.glow);
        RenderStrip(b.core);
        RenderStrip(b.bits);
    }
    for (MV2PlasmaSpark& s : g.sparks)
        if (s.active) RenderStrip(s.strip);
}

MV2PlasmaBeam* MV2GetPlasmaBeam(int32_t index) {
    return index >= 0 && index < kMV2PlasmaBeams ? &g.beams[index] : nullptr;
}

const MV2PlasmaSpark* MV2GetPlasmaSpark(int32_t index) {
    return index >= 0 && index < kMV2PlasmaSparks ? &g.sparks[index] : nullptr;
}
