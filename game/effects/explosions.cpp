#include "game/effects/explosions.h"

#include <cmath>
#include <cstdio>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/texture.h"
#include "engine/world/clump.h"
#include "engine/world/light.h"
#include "engine/world/world.h"
#include "game/effects/bubbles.h"
#include "game/effects/effectbase.h"
#include "game/effects/effects.h"
#include "game/effects/scorches.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/collision.h"
#include "game/objects/dynamics.h"
#include "game/objects/objects.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/weapons.h"
#include "shell/gameinit.h"
#include "shell/sounds.h"

namespace {

struct KindColours {
    uint8_t c0[3], c1[3];
};
constexpr KindColours kKinds[kMV2ExplosionKinds] = {
    {{188, 84, 255}, {0, 175, 119}},  {{244, 226, 107}, {81, 196, 4}},
    {{131, 175, 253}, {24, 32, 137}}, {{225, 109, 16}, {74, 113, 130}},
    {{231, 231, 141}, {246, 89, 22}}, {{247, 246, 184}, {250, 87, 16}},
    {{107, 142, 184}, {130, 97, 184}}, {{246, 219, 100}, {160, 56, 10}},
    {{109, 112, 203}, {253, 0, 243}}, {{64, 172, 115}, {53, 64, 3}},
};
constexpr int32_t kMaxFrames = 7;
constexpr int32_t kMaxRings = 3;

struct State {
    MV2Explosion pool[kMV2Explosions];
    MV2Explosion freeHead;
    MV2Explosion activeHead;
    TvTexture* flames[kMV2ExplosionKinds][kMaxFrames];
    TvTexture* rings[kMaxRings];
    int32_t frames; // N
    int32_t ringCount; // R
    bool built;
};
State g = {};

// The sphere query's state, set before each damage query.
struct Query {
    float damage;
    float size;
    TvV3d centre;
    MV2Object* owner;
    MV2Object* hits[kMV2ExplosionHitList];
};
Query g_query = {};
// The ring push's state.
struct Push {
    TvV3d centre;
    float radius;
};
Push g_push = {};

TvIm3DVertex g_flame[3];
TvIm3DVertex g_ring[4];
// Wound toward the camera, which the driver culls by.
uint16_t kFlameIndices[3] = {0, 1, 2};
uint16_t kRingIndices[6] = {0, 1, 2, 1, 3, 2};

void ResetLists() {
    g.freeHead.next = g.freeHead.previous = &g.freeHead;
    g.activeHead.next = g.activeHead.previous = &g.activeHead;
}

float Random01(uint32_t mask) {
    return float(MV2EffectRandom() & mask) / float(mask);
}

void SetGrey(TvIm3DVertex* v, int32_t n, uint8_t grey) {
    for (int32_t i = 0; i < n; i++) {
        v[i].red = v[i].green = v[i].blue = grey;
        v[i].alpha = 255;
    }
}

void LightOff(MV2Explosion* e) {
    if (!e->light) return;
    if (TpWorld* world = TpLightGetWorld(e->light)) TpWorldRemoveLight(world, e->light);
}

uint32_t PhysicsKind(const MV2Object* object) {
    return object->type ? (object->type->words[31] >> 28) & 3 : 0;
}

MV2Object* AtomicObject(TpAtomic* atomic) {
    TpClump* clump = atomic ? TpAtomicGetClump(atomic) : nullptr;
    return clump ? MV2GetClumpObject(clump) : nullptr;
}

// Whether the object's collision tree meets the query sphere; each such object is hit once.
bool AlreadyHitOrMissed(MV2Object* object, TpAtomic* atomic) {
    for (MV2Object* h : g_query.hits)
        if (h == object) return true;
    TvMatrix inverse;
    TvV3d local = g_query.centre;
    if (atomic->object.frame && TvMatrixInvert(&inverse, TvFrameGetLTM(atomic->object.frame)))
        TvV3dTransformPoints(&local, &g_query.centre, 1, &inverse);
    MV2TriangleHit hit;
    if (MV2CollisionTreeSphereQuery(atomic, &local, g_query.size, 1, &hit) == 0) return true;
    for (MV2Object*& h : g_query.hits)
        if (!h) {
            h = object;
            break;
        }
    return false;
}

int32_t DamageCallback(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float distance, void*) {
    MV2Object* object = AtomicObject(atomic);
    if (!object || !object->matrix || !object->type) return 1;
    const uint32_t typeFlags = object->type->words[7];
    if ((typeFlags & kMV2TypeCollisionTree) && !(typeFlags & kMV2TypePuppet) &&
        AlreadyHitOrMissed(object, atomic))
        return 1;
    const float size = g_query.size;
    const TvV3d position = object->matrix->pos;
    const TvV3d d = MV2EffectUnit(TvV3dSub(position, g_query.centre));
    const float k = size != 0.0f ? (size - distance) / size * 0.05f : 0.0f;
    const uint32_t kind = PhysicsKind(object);
    if (k > 0.0f && kind != 0 && object->body) {
        const TvV3d force = TvV3dScale(d, k);
        MV2AddForce(object, &force);
        if (kind == 2) {
            const TvV3d at = TvV3dAdd(position, d);
            MV2AddTorque(object, &force, &at);
        }
    }
    const float amount = MV2ExplosionDamageAmount(
        distance, MV2EffectLength(TvV3dSub(position, g_query.centre)), object->radius, size,
        g_query.damage, gMV2GameType == 3 || gMV2GameType == 4);
    if (amount > 0.0f) {
        const float at[3] = {g_query.centre.x, g_query.centre.y, g_query.centre.z};
        MV2DamageObject(g_query.owner, object, at, amount, 0);
    }
    return 1;
}

int32_t PushCallback(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float distance, void*) {
    const float radius = g_push.radius;
    if (!(distance > radius - 1.0f && distance < radius)) return 1;
    MV2Object* object = AtomicObject(atomic);
    if (!object || !object->matrix || PhysicsKind(object) == 0 || !object->body) return 1;
    const float m = object->radius < 1.0f ? object->radius : 1.0f;
    const TvV3d force = TvV3dScale(MV2EffectUnit(TvV3dSub(object->matrix->pos, g_push.centre)),
                                   m * m * 0.5f);
    MV2AddForce(object, &force);
    return 1;
}

// Starts one debris piece: out from the centre along a random direction.
void StartDebris(MV2Explosion* e, MV2ExplosionPiece* piece, float headSize) {
    piece->velocity = MV2EffectRandomDirection();
    piece->position = TvV3dAdd(e->centre, TvV3dScale(piece->velocity, e->size * 0.5f));
    if (piece->streak) {
        const float at[3] = {piece->position.x, piece->position.y, piece->position.z};
        MV2InitialiseStreak(piece->streak, at, g.flames[e->kind][0], headSize, 1.25f, 0.9f, 1,
                            0.95f);
    }
}

void DrawFlame(const MV2Explosion& e, const MV2ExplosionFlame& f, const TvMatrix& camera) {
    const int32_t n = g.frames;
    const float np = float(n) * f.progress;
    const int32_t frame = int32_t(np);
    if (frame >= n) return;
    const float frac = np - float(frame);
    const float swing =
        f.swing * (std::sin((f.progress - 0.5f) * 6.2831855f) + 1.0f) * 0.5f;
    const TvV3d p = TvV3dAdd(f.position, TvV3dScale(f.direction, swing));
    float dx = TvV3dDot(f.direction, camera.right), dy = TvV3dDot(f.direction, camera.up);
    const float length = std::sqrt(dx * dx + dy * dy);
    if (length < 1e-5f) {
        dx = 1.0f;
        dy = 0.0f;
    } else {
        dx /= length;
        dy /= length;
    }
    const TvV3d a = TvV3dScale(TvV3dAdd(TvV3dScale(camera.right, dx), TvV3dScale(camera.up, dy)),
                               f.scale);
    const TvV3d b = TvV3dScale(TvV3dAdd(TvV3dScale(camera.right, -dy), TvV3dScale(camera.up, dx)),
                               f.scale);
    g_flame[0].objVertex = TvV3dAdd(TvV3dSub(p, a), b);
    g_flame[1].objVertex = TvV3dSub(TvV3dSub(p, a), b);
    g_flame[2].objVertex = TvV3dAdd(p, a);
    const uint32_t kind = f.kind < uint32_t(kMV2ExplosionKinds) ? f.kind : 0;
    const uint8_t next = uint8_t(int32_t(frac * 255.0f));
    auto draw = [&](int32_t index, uint8_t grey) {
        TvTexture* texture = g.flames[kind][index];
        if (!texture) return; // a missing frame draws nothing
        TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(TvTextureGetRaster(texture)));
        SetGrey(g_flame, 3, grey);
        if (!TvIm3DTransform(g_flame, 3, nullptr, kTvIm3DVertexUV)) return;
        TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, kFlameIndices, 3);
        TvIm3DEnd();
    };
    if (frame < n - 1) {
        draw(frame + 1, next);
        draw(frame, uint8_t(255 - next));
    } else {
        draw(frame, uint8_t(255 - next));
    }
    (void)e;
}

void DrawRing(const MV2Explosion& e, const TvMatrix& camera) {
    const TvV3d& at = camera.at;
    const float r = e.blastRadius * e.ringProgress;
    TvV3d s = TvV3dScale(MV2EffectUnit(TvV3dCross(e.ringDirection, at)), 1.0f);
    TvV3d t = TvV3dCross(s, e.ringDirection);
    s = TvV3dScale(s, r);
    t = TvV3dScale(t, r);
    if (TvV3dDot(at, t) < 0.0f) {
        s = TvV3dScale(s, -1.0f);
        t = TvV3dScale(t, -1.0f);
    }
    if (TvV3dDot(at, e.ringDirection) < 0.0f) s = TvV3dScale(s, -1.0f);
    g_ring[0].objVertex = TvV3dAdd(e.centre, t);
    g_ring[1].objVertex = TvV3dAdd(e.centre, s);
    g_ring[2].objVertex = TvV3dSub(e.centre, s);
    g_ring[3].objVertex = TvV3dSub(e.centre, t);
    const int32_t rings = g.ringCount;
    if (rings <= 0) return;
    const float gLevel = std::sin(e.ringProgress * 3.1415927f) * 255.0f;
    const int32_t whole = int32_t(e.ringFramePosition);
    const int32_t i = whole % rings;
    const float frac = e.ringFramePosition - float(whole);
    const int32_t next = int32_t(gLevel * frac);
    auto draw = [&](int32_t index, int32_t grey) {
        TvTexture* texture = g.rings[index];
        if (!texture) return;
        TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(TvTextureGetRaster(texture)));
        SetGrey(g_ring, 4, MV2WrapByte(float(grey)));
        if (!TvIm3DTransform(g_ring, 4, nullptr, kTvIm3DVertexUV)) return;
        TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, kRingIndices, 6);
        TvIm3DEnd();
    };
    draw((i + 1) % rings, next);
    draw(i, int32_t(gLevel) - next);
}

} // namespace

float MV2ExplosionDamageAmount(float distance, float centreDistance, float radius, float size,
                               float damage, bool multiplayer) {
    if (multiplayer) {
        const float s = radius + size;
        return s != 0.0f ? (s - centreDistance) * damage / s : 0.0f;
    }
    const float e = distance - radius;
    if (e >= size) return 0.0f;
    if (e < size * 0.5f) return damage;
    return damage - (e - size * 0.5f) / (size - size * 0.5f) * damage;
}

int32_t MV2InitialiseExplosions() {
    MV2ShutdownExplosions();
    char name[32], mask[40];
    for (int32_t kind = 0; kind < kMV2ExplosionKinds; kind++) {
        int32_t found = 0;
        for (int32_t f = 0; f < kMaxFrames; f++) {
            std::snprintf(name, sizeof name, "explo%d%c", kind, 'a' + f);
            g.flames[kind][f] = MV2ReadEffectTexture(name, name, true);
            if (!g.flames[kind][f]) break;
            found++;
        }
        g.frames = found;
    }
    g.ringCount = 0;
    for (int32_t r = 0; r < kMaxRings; r++) {
        std::snprintf(name, sizeof name, "ering%c", 'a' + r);
        std::snprintf(mask, sizeof mask, "%sm", name);
        g.rings[r] = MV2ReadEffectTexture(name, mask, true);
        if (!g.rings[r]) break;
        g.ringCount++;
    }
    if (g.ringCount < 2) return 0;
    ResetLists();
    for (MV2Explosion& e : g.pool) {
        e = MV2Explosion{};
        e.lightProgress = 1.0f;
        MV2EffectLinkAfter(&g.freeHead, &e);
        const float origin[3] = {0, 0, 0};
        for (MV2ExplosionPiece& piece : e.debris)
            piece.streak = MV2CreateStreak(origin, nullptr, 0.1f, 0.8f, 0.95f, 1, 0.95f);
        e.light = TpLightCreate(128);
        e.lightFrame = TvFrameCreate();
        if (e.light) {
            TpLightSetFlags(e.light, 3);
            if (e.lightFrame) TpLightSetFrame(e.light, e.lightFrame);
        }
    }
    constexpr float flameUV[3][2] = {{0, 0}, {1, 0}, {0.5f, 1}};
    for (int32_t i = 0; i < 3; i++) {
        g_flame[i].u = flameUV[i][0];
        g_flame[i].v = flameUV[i][1];
    }
    constexpr float ringUV[4][2] = {{0, 0}, {1, 0}, {0, 1}, {1, 1}};
    for (int32_t i = 0; i < 4; i++) {
        g_ring[i].u = ringUV[i][0];
        g_ring[i].v = ringUV[i][1];
    }
    SetGrey(g_flame, 3, 255);
    SetGrey(g_ring, 4, 255);
    g.built = true;
    return 1;
}

void MV2ShutdownExplosions() {
    if (g.built) {
        for (MV2Explosion& e : g.pool) {
            LightOff(&e);
            if (e.light) {
                TpLightSetFrame(e.light, nullptr);
                TpLightDestroy(e.light);
            }
            if (e.lightFrame) TvFrameDestroy(e.lightFrame);
            e = MV2Explosion{};
        }
    }
    for (auto& kind : g.flames)
        for (TvTexture*& t : kind)
            MV2DestroyEffectTexture(t);
    for (TvTexture*& t : g.rings)
        MV2DestroyEffectTexture(t);
    ResetLists();
    g.frames = g.ringCount = 0;
    g.built = false;
}

void MV2CreateExplosion(const float* position, float size, float damage, MV2Object* owner,
                        uint32_t kind, uint32_t flags) {
    if (!position || !g.built) return;
    if (kind >= uint32_t(kMV2ExplosionKinds)) kind = 0;
    const TvV3d centre = MV2V3d(position);
    if (damage != 0.0f) {
        g_query = Query{damage, size, centre, owner, {}};
        if (MV2World) MV2ForAllAtomicsInSphere(MV2World, &centre, size, DamageCallback, nullptr);
        MV2AddScorch(position, size < 0.5f ? size : 0.5f, 0);
        if (std::fabs(centre.y - MV2GetWaterHeight(&centre)) < size)
            MV2AddObjectSplash(nullptr, &centre);
    }
    MV2Explosion* e = g.freeHead.next;
    if (e != &g.freeHead) {
        MV2EffectUnlink(e);
        MV2EffectLinkAfter(&g.activeHead, e);
    } else {
        e = nullptr;
        for (MV2Explosion* a = g.activeHead.next; a != &g.activeHead; a = a->next)
            if (!e || a->birthFrame < e->birthFrame) e = a;
        if (!e) return;
    }
    if (flags & kMV2ExplosionSound) {
        const char* sound = "EXPLOSIONSMALL";
        if (size >= 1.0f) sound = (MV2EffectRandom() & 1) ? "EXPLOSION" : "EXPLOSION2";
        MV2PlaySoundAt(&centre, 10.0f, MV2EffectSound(sound), 0, 0, 2000);
    }
    e->birthFrame = MV2EffectFrame();
    e->size = size;
    e->blastRadius = (gMV2GameType == 3 || gMV2GameType == 4) ? size : size * 5.0f;
    e->kind = kind;
    e->centre = centre;
    e->flameCount = 0;
    if (size != 0.0f) {
        e->flameCount = 4 + int32_t(MV2EffectRandom() % 5);
        for (int32_t i = 0; i < e->flameCount; i++) {
            MV2ExplosionFlame& f = e->flames[i];
            f.swing = Random01(0x3FF) * 0.33f;
            f.speed = 1.5f + Random01(0x3FF);
            f.scale = (0.33f + Random01(0x3FF) * 0.66f) * size;
            f.progress = 0.0f;
            f.position = centre;
            f.kind = kind;
            f.direction = MV2EffectRandomDirection();
        }
    }
    if (flags & kMV2ExplosionRing) {
        e->ringActive = 1;
        e->ringGrowth = 1.0f;
        e->ringProgress = 0.0f;
        e->ringFramePosition = 0.0f;
        e->ringFrameRate = g.ringCount ? 24.0f / float(g.ringCount) : 0.0f;
        e->ringDirection = MV2EffectRandomDirection();
    } else {
        e->ringActive = 0;
    }
    e->debrisCount = 0;
    if (flags & kMV2ExplosionDebrisPieces) {
        e->debrisCount = size == 0.0f ? 1 : 10;
        for (int32_t i = 0; i < e->debrisCount; i++)
            StartDebris(e, &e->debris[i], 0.05f + Random01(0x3FF) * 0.05f);
    }
    if (flags & kMV2ExplosionRisingDebris) {
        e->debrisCount = kMV2ExplosionDebris;
        for (MV2ExplosionPiece& piece : e->debris) {
            StartDebris(e, &piece, 0.5f);
            piece.velocity.y += 3.0f;
            piece.position.y += 3.0f;
            piece.position = TvV3dAdd(piece.position, TvV3dScale(MV2EffectRandomDirection(), 6.0f));
        }
    }
    LightOff(e);
    e->lightProgress = 1.0f;
    if ((flags & kMV2ExplosionLight) && e->light) {
        e->lightProgress = 0.0f;
        if (e->lightFrame) {
            TvFrameTranslate(e->lightFrame, &centre, kTvCombineReplace);
            TvFrameUpdateObjects(e->lightFrame);
        }
        TpLightSetRadius(e->light, size * 5.0f);
        if (MV2World) TpWorldAddLight(MV2World, e->light);
    }
    if (flags & kMV2ExplosionBubbles) {
        const int32_t n = int32_t(size * 8.0f);
        for (int32_t i = 0; i < n; i++) {
            const TvV3d d = MV2EffectRandomDirection();
            const TvV3d p = TvV3dAdd(centre, TvV3dScale(d, size * 0.1f));
            const TvV3d v = TvV3dScale(d, size * 0.02f);
            const float at[3] = {p.x, p.y, p.z}, velocity[3] = {v.x, v.y, v.z};
            MV2CreateBubble(at, velocity, size * 0.1f);
        }
    }
}

void MV2UpdateExplosions() {
    if (!g.built) return;
    const float dt = MV2EffectSeconds();
    for (MV2Explosion* e = g.activeHead.next; e != &g.activeHead;) {
        MV2Explosion* next = e->next;
        bool done = true;
        for (int32_t i = 0; i < e->flameCount; i++) {
            MV2ExplosionFlame& f = e->flames[i];
            if (f.progress < 1.0f) f.progress += dt * f.speed;
            if (f.progress < 1.0f) done = false;
        }
        if (e->ringActive) {
            e->ringProgress += e->ringGrowth * dt;
            e->ringFramePosition += e->ringFrameRate * dt;
            if (e->ringProgress >= 1.0f) e->ringActive = 0;
            g_push = {e->centre, e->blastRadius * e->ringProgress};
            if (MV2World)
                MV2ForAllAtomicsInSphere(MV2World, &e->centre, g_push.radius, PushCallback, nullptr);
            if (e->ringActive) done = false;
        }
        const float drag = MV2GetMediumDrag(12);
        for (int32_t i = 0; i < e->debrisCount; i++) {
            MV2ExplosionPiece& piece = e->debris[i];
            piece.velocity.y -= dt * 0.5f;
            piece.velocity = TvV3dScale(piece.velocity, drag);
            piece.position = TvV3dAdd(piece.position, TvV3dScale(piece.velocity, dt));
            const float head[3] = {piece.position.x, piece.position.y, piece.position.z};
            if (piece.streak && !MV2UpdateStreak(piece.streak, head)) done = false;
        }
        if (e->lightProgress < 1.0f) {
            e->lightProgress += dt;
            if (e->lightProgress < 1.0f) {
                const float p = e->lightProgress;
                const float k = std::cos(p * 1.5707964f);
                const KindColours& c = kKinds[e->kind];
                float rgb[3];
                for (int32_t i = 0; i < 3; i++)
                    rgb[i] = k * ((1.0f - p) * float(c.c0[i]) + p * float(c.c1[i])) / 255.0f;
                if (e->light) TpLightSetColor(e->light, rgb[0], rgb[1], rgb[2], 1.0f);
                done = false;
            } else {
                LightOff(e);
            }
        }
        if (done) {
            MV2EffectUnlink(e);
            MV2EffectLinkAfter(&g.freeHead, e);
        }
        e = next;
    }
}

void MV2DrawExplosions(TvCamera* camera) {
    if (!g.built) return;
    const TvMatrix& m = *MV2CameraMatrix(camera);
    for (MV2Explosion* e = g.activeHead.next; e != &g.activeHead; e = e->next) {
        const TvSphere blast = {e->centre, e->blastRadius};
        if (camera && TvCameraFrustumTestSphere(camera, &blast) == kTvSphereOutside) continue;
        const TvSphere core = {e->centre, e->size};
        if (e->flameCount > 0 &&
            (!camera || TvCameraFrustumTestSphere(camera, &core) != kTvSphereOutside))
            for (int32_t i = 0; i < e->flameCount; i++)
                DrawFlame(*e, e->flames[i], m);
        if (e->ringActive && e->ringProgress < 1.0f) DrawRing(*e, m);
        for (int32_t i = 0; i < e->debrisCount; i++)
            if (e->debris[i].streak) MV2DrawStreak(e->debris[i].streak);
    }
}

void MV2ResetExplosions() {
    if (!g.built) return;
    for (MV2Explosion* e = g.activeHead.next; e != &g.activeHead;) {
        MV2Explosion* next = e->next;
        LightOff(e);
        e->lightProgress = 1.0f;
        MV2EffectUnlink(e);
        MV2EffectLinkAfter(&g.freeHead, e);
        e = next;
    }
}

MV2Explosion* MV2FirstExplosion() {
    return g.built && g.activeHead.next != &g.activeHead ? g.activeHead.next : nullptr;
}

MV2Explosion* MV2NextExplosion(MV2Explosion* explosion) {
    return explosion && explosion->next != &g.activeHead ? explosion->next : nullptr;
}

int32_t MV2ExplosionFrameCount() {
    return g.frames;
}

int32_t MV2ExplosionRingCount() {
    return g.ringCount;
}
