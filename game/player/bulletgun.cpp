// The bullet gun and its swept bullets (type 145).
#include "game/player/bulletgun.h"

#include <cmath>

#include "engine/core/frame.h"
#include "engine/core/memory.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/world.h"
#include "game/effects/effects.h"
#include "game/objects/dynamics.h"
#include "game/objects/clumpdata.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "game/player/shots.h"
#include "game/player/weapons.h"
#include "shell/errors.h"
#include "shell/gameinit.h"

namespace {

constexpr uint32_t kHudStandard = (97u << 16) | (189u << 8) | 255u;
constexpr float kSpeed = 175.0f;

TvFreeList* g_gunData = nullptr;

// The sweep of one bullet step; valid only during one query.
struct Sweep {
    MV2Object* bullet;
    MV2BulletData* data;
    TvV3d start;
    TvV3d direction;
    float best;
    MV2Object* hit;
};
Sweep g_sweep;

MV2BulletData* Bullet(MV2Object* object) {
    return static_cast<MV2BulletData*>(object->privateData);
}

bool SkipInSweep(MV2Object* other) {
    if (other == g_sweep.bullet || other == MV2GetObjectRef(&g_sweep.data->owner)) return true;
    const int32_t type = MV2ShotTypeOf(other);
    if (other->aiCategory == 10 && type != 333 && type != 332 && type != 291) return true;
    return type == 55 || type == 296;
}

// The ray against every triangle of the atomic, in the atomic's own frame.
void SweepTriangles(TpAtomic* atomic) {
    TpGeometry* geometry = TpAtomicGetGeometry(atomic);
    TpMorphTarget* target = geometry ? TpGeometryGetMorphTarget(geometry, 0) : nullptr;
    const TvV3d* vertices = target ? TpMorphTargetGetVertices(target) : nullptr;
    const TpTriangle* triangles = geometry ? TpGeometryGetTriangles(geometry) : nullptr;
    if (!vertices || !triangles || !atomic->object.frame) return;
    const int32_t nv = TpGeometryGetNumVertices(geometry);
    const int32_t nt = TpGeometryGetNumTriangles(geometry);
    TvMatrix inverse;
    TvMatrixInvert(&inverse, TvFrameGetLTM(atomic->object.frame));
    TvV3d origin, direction;
    TvV3dTransformPoints(&origin, &g_sweep.start, 1, &inverse);
    TvV3dTransformVectors(&direction, &g_sweep.direction, 1, &inverse);
    for (int32_t i = 0; i < nt; ++i) {
        const TpTriangle& t = triangles[i];
        if (t.vertex[0] >= nv || t.vertex[1] >= nv || t.vertex[2] >= nv) continue;
        const TvV3d a = vertices[t.vertex[0]];
        const TvV3d e1 = TvV3dSub(vertices[t.vertex[1]], a);
        const TvV3d e2 = TvV3dSub(vertices[t.vertex[2]], a);
        const TvV3d p = TvV3dCross(direction, e2);
        const float det = TvV3dDot(e1, p);
        if (std::fabs(det) < 1e-06f) continue;
        const float inv = 1.0f / det;
        const TvV3d s = TvV3dSub(origin, a);
        const float u = TvV3dDot(s, p) * inv;
        if (u < 0.0f || u > 1.0f) continue;
        const TvV3d q = TvV3dCross(s, e1);
        const float v = TvV3dDot(direction, q) * inv;
        if (v < 0.0f || u + v > 1.0f) continue;
        const float hit = TvV3dDot(e2, q) * inv;
        if (hit >= 0.0f && hit < g_sweep.best) g_sweep.best = hit;
    }
}

void HitSound(const TvV3d& at, const char* name) {
    if (name) MV2ShotPlayAt(at, 30.0f, name, 1000);
}

intptr_t Update(MV2Object* bullet, MV2BulletData* d) {
    if (d->destroy) {
        MV2ObjectSendMessage(bullet, 4, 1, 0);
        return 1;
    }
    const TvV3d at = bullet->matrix->at;
    const TvV3d pos = bullet->matrix->pos;
    MV2Object* owner = MV2GetObjectRef(&d->owner);
    float step;
    if (d->step < 0 || (d->step == 0 && !owner)) {
        step = 0.0f;
        d->step = 0;
    } else if (d->step == 0) {
        // Out of the owner's bounding sphere first, so the bullet never strikes its shooter.
        const TvV3d rel = TvV3dSub(pos, owner->matrix->pos);
        const float b = TvV3dDot(at, rel);
        const float r = MV2ShotModelRadius(owner);
        const float disc = b * b - 4.0f * (TvV3dDot(rel, rel) - r * r);
        step = disc >= 0.0f ? (std::sqrt(disc) - b) * 0.5f + 0.05f : 0.05f;
        d->step = 1;
    } else {
        step = MV2ShotFrameSeconds() * kSpeed;
    }
    const char* sound = nullptr;
    if (d->step > 0) {
        d->life -= MV2ShotFrameSeconds();
        if (d->life > 0.0f) {
            TpWorld* world = TpWorldGetCurrent();
            const TvV3d end = TvV3dAdd(pos, TvV3dScale(at, step));
            MV2TriangleHit hit;
            float fraction = 1.0f;
            if (world && step > 0.0f && MV2IntersectWorldLine(world, &pos, &end, &hit, &fraction)) {
                d->life = 0.0f;
                step *= fraction;
                sound = MV2ShotWorldHitSoundName();
            }
            if (world && step > 0.0f) {
                g_sweep = {bullet, d, pos, at, step, nullptr};
                const TvV3d centre = TvV3dAdd(pos, TvV3dScale(at, step * 0.5f));
                MV2ForAllAtomicsInSphere(world, &centre, step * 0.5f, MV2BulletSweepCallback, nullptr);
                if (g_sweep.best < step) {
                    d->life = 0.0f;
                    step = g_sweep.best;
                    if (g_sweep.hit) sound = MV2ShotHitSoundName(MV2ShotMaterialClass(g_sweep.hit));
                }
            }
        }
    }
    const TvV3d end = TvV3dAdd(pos, TvV3dScale(at, step));
    if (d->step > 0 && d->life <= 0.0f) {
        const TvV3d point = TvV3dSub(end, TvV3dScale(at, 0.2f));
        HitSound(point, sound);
        float position[3];
        MV2ShotPoint(point, position);
        MV2SetDamageSource(owner);
        MV2CreateExplosion(position, 0.5f, 2.0f, owner, 6, 0x86);
        MV2SetDamageSource(nullptr);
        MV2ObjectSendMessage(bullet, 4, 1, 0);
        return 1;
    }
    bullet->matrix->pos = end;
    MV2ShotSyncFrame(bullet);
    return 1;
}

} // namespace

int32_t MV2RaySphereEntry(const float* centre, float radius, const float* start,
                          const float* direction, float* best) {
    const TvV3d c{centre[0], centre[1], centre[2]};
    const TvV3d s{start[0], start[1], start[2]};
    const TvV3d dir{direction[0], direction[1], direction[2]};
    const TvV3d rel = TvV3dSub(c, s);
    const float b = TvV3dDot(rel, dir);
    const float r2 = radius * radius;
    const bool inside = TvV3dDot(rel, rel) < r2;
    if (!(b > 0.0f || inside)) return 0;
    const float diff = r2 - (TvV3dDot(rel, rel) - b * b);
    if (diff <= 0.0f) return 0;
    float t = b - std::sqrt(diff);
    if (t < 0.0f) t = 0.0f; // started inside: the entry is the start
    // A sphere that is only entered past the end of the step is not met.
    if (t >= *best) return 0;
    *best = t;
    return 1;
}

int32_t MV2BulletSweepCallback(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void*) {
    MV2Object* other = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!other || SkipInSweep(other)) return 1;
    float start[3], direction[3];
    MV2ShotPoint(g_sweep.start, start);
    MV2ShotPoint(g_sweep.direction, direction);
    const float before = g_sweep.best;
    if (!(other->type && (other->type->words[7] & kMV2TypeCollisionTree))) {
        float centre[3];
        MV2ShotPoint(TpAtomicGetWorldBoundingSphere(atomic)->center, centre);
        if (MV2RaySphereEntry(centre, other->radius, start, direction, &g_sweep.best) &&
            (gMV2GameType == 3 || gMV2GameType == 4) && other == MV2GetPlayerObject())
            MV2SetLastAttacker(MV2GetObjectRef(&g_sweep.data->owner));
    } else {
        const TvSphere* sphere = TpAtomicGetWorldBoundingSphere(atomic);
        float centre[3];
        MV2ShotPoint(sphere->center, centre);
        float probe = g_sweep.best;
        if (MV2RaySphereEntry(centre, sphere->radius, start, direction, &probe))
            for (TpAtomic* a = MV2GetFirstAtomic(other->clump); a; a = MV2GetNextAtomic(other->clump, a))
                SweepTriangles(a);
    }
    if (g_sweep.best < before) g_sweep.hit = other;
    return 1;
}

intptr_t MV2BulletGunHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = weapon ? static_cast<MV2BulletGunData*>(weapon->handlerData) : nullptr;
    switch (message) {
    case 3:
        if (!weapon) return 0;
        d = static_cast<MV2BulletGunData*>(MV2ShotGunDataAlloc(&g_gunData, sizeof(MV2BulletGunData), "Could not create free list for bullet",
                                                 "Bullet data alloc error"));
        if (!d) return 0;
        *d = {1.0f, 0.0f};
        weapon->handlerData = d;
        return 1;
    case 4:
        if (weapon) MV2ShotGunDataFree(g_gunData, &weapon->handlerData);
        return 1;
    case 2:
        if (d) {
            d->charge += MV2ShotFrameSeconds() * 0.4f;
            if (d->charge > 1.0f) d->charge = 1.0f;
            d->sinceLastShot += MV2ShotFrameSeconds();
        }
        return 1;
    case 10:
        if (p1 == 1) return 0;
        if (!d || !(d->charge > 0.1f) || !(d->sinceLastShot > 0.16f)) return 1;
        d->sinceLastShot = 0.0f;
        d->charge -= 0.1f;
        return 0;
    case 57:
        if (p2) *reinterpret_cast<MV2WeaponIcon*>(p2) = {16, kHudStandard};
        return 1;
    case 60:
        if (p2) *reinterpret_cast<float*>(p2) = d ? d->charge : 0.0f;
        return 1;
    default: return MV2StandardWeaponHandler(weapon, message, p1, p2);
    }
}

intptr_t MV2BulletHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2ShotAnswerSize(p2, sizeof(MV2BulletData));
    MV2BulletData* d = Bullet(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    if (intptr_t answer; MV2ShotCommonMessage(object, &d->owner, message, p2, &answer)) return answer;
    switch (message) {
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        *d = MV2BulletData{};
        d->life = 1.5f;
        d->step = -1;
        MV2ShotShowModel(object, 1);
        MV2ObjectSendMessage(object, 0, 1, 0);
        MV2AttachTrail(object);
        return result;
    }
    case 2: return Update(object, d);
    case 4:
        MV2StopObjectSound(object, MV2ShotSound("BOLTMOVING"), &d->sound);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 87:
        if (p2) {
            object->matrix->at = *reinterpret_cast<const TvV3d*>(p2);
            MV2ShotSyncFrame(object);
        }
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}
