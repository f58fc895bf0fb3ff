// Heat, heat sources, the sliding platform and the homing missile.
#include "game/creatures/heat.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/creaturemath.h"
#include "game/effects/effects.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/player.h"
#include "game/player/tools.h"
#include "game/player/weapons.h"
#include "shell/sounds.h"

namespace {

float g_heat = 0.0f;
MV2Object* g_platform = nullptr; // the platform whose lift scan runs

template <typename T>
T* Data(MV2Object* object) {
    return static_cast<T*>(object->privateData);
}

intptr_t AnswerSize(intptr_t p2, size_t size) {
    if (p2) *reinterpret_cast<intptr_t*>(p2) = intptr_t(size);
    return 1;
}

int32_t Sound(const char* name) {
    const int32_t id = MV2FindSoundByName(name);
    return id >= 0 ? id : kMV2NoSound;
}

void LiftOnto(MV2Object* platform, MV2Object* craft) {
    if (!craft || !craft->matrix) return;
    const TvV3d& p = platform->matrix->pos;
    TvV3d& c = craft->matrix->pos;
    if (std::fabs(c.x - p.x) <= 2.0f && std::fabs(c.z - p.z) <= 2.0f && c.y < p.y + 1.0f) {
        c.y = p.y + 1.0f;
        if (craft->clump) TvFrameUpdateObjects(craft->clump->frame);
    }
}

int32_t LiftScan(TpIntersection* i, TpWorldSector* s, TpAtomic* a, float d, void* data) {
    return MV2PlatformLiftScan(i, s, a, d, data);
}

intptr_t PlatformUpdate(MV2Object* object, MV2SlidingPlatform* d) {
    LiftOnto(object, MV2GetPlayerObject());
    g_platform = object;
    if (TpWorld* world = TpWorldGetCurrent()) {
        const TvV3d centre = object->matrix->pos;
        MV2ForAllAtomicsInSphere(world, &centre, 2.5f, LiftScan, nullptr);
    }
    g_platform = nullptr;
    const float step = MV2FrameStep() * 0.02f;
    bool moving = false;
    const TvV3d& pos = object->matrix->pos;
    if (d->opening) {
        if (d->fraction < 1.0f) {
            moving = true;
            d->fraction += step;
            if (d->fraction >= 1.0f) {
                d->fraction = 1.0f;
                MV2PlaySoundAt(&pos, object->radius, Sound("METALCOLLISION"), 1000, 0, 0);
            }
        }
    } else if (d->fraction > 0.0f) {
        moving = true;
        d->fraction -= step;
        if (d->fraction < 0.0f) {
            d->fraction = 0.0f;
            MV2PlaySoundAt(&pos, object->radius, Sound("METALCOLLISION"), 1000, 0, 0);
        }
    }
    if (moving)
        MV2StartObjectSound(object, Sound("GP2ENGINE"), &d->sound, 1000, 0);
    else if (d->sound)
        MV2StopObjectSound(object, Sound("GP2ENGINE"), &d->sound);
    TvMatrix* m = object->matrix;
    m->pos = TvV3dSub(d->closed, TvV3dScale(m->right, d->fraction));
    if (object->clump) TvFrameUpdateObjects(object->clump->frame);
    if (d->part) {
        TvMatrix* pm = TvFrameGetMatrix(d->part);
        pm->pos = TvV3dAdd(d->partClosed, TvV3dScale(pm->right, 2.0f * d->fraction));
        TvFrameUpdateObjects(d->part);
    }
    return MV2ObjectDefaultHandler(object, 2, 0, 0);
}

bool LineHitsWorld(const TvV3d& from, const TvV3d& to, float* fraction) {
    TpWorld* world = TpWorldGetCurrent();
    return world && MV2IntersectWorldLine(world, &from, &to, nullptr, fraction);
}

struct HitRecord {
    TvV3d from, to;
    float best;
};

intptr_t MissileUpdate(MV2Object* object, MV2Missile* d) {
    if (d->exploded) {
        MV2ObjectSendMessage(object, 4, 1, 0);
        return 1;
    }
    TvMatrix* m = object->matrix;
    d->last = m->pos;
    if (MV2Object* target = MV2GetObjectRef(&d->target)) {
        const TvV3d forward = MV2Unit(TvV3dSub(target->matrix->pos, m->pos));
        const TvV3d up{0.0f, 1.0f, 0.0f};
        m->at = forward;
        m->right = MV2Unit(TvV3dCross(up, forward));
        m->up = MV2Unit(TvV3dCross(forward, m->right));
        if (object->body)
            object->body->velocity = TvV3dScale(forward, MV2Length(object->body->velocity));
    }
    if (m->pos.y > MV2GetWaterHeight(&m->pos)) {
        MV2ApplyGravity(object);
        MV2ApplyGravity(object);
    } else {
        const TvV3d push = TvV3dScale(m->at, 0.05f);
        MV2AddForce(object, &push);
        if (MV2RandomBits(1)) {
            const float position[3] = {m->pos.x, m->pos.y, m->pos.z};
            const float velocity[3] = {push.x, push.y, push.z};
            MV2CreateBubble(position, velocity, 0.05f);
        }
        MV2EmitMTrail(reinterpret_cast<uintptr_t>(object), object->handle, 0, 1.0f, m);
    }
    MV2IntegrateMotion(object);
    if (d->spinner) {
        const TvV3d z{0.0f, 0.0f, 1.0f};
        MV2RotateMatrixInPlace(TvFrameGetMatrix(d->spinner), &z, MV2FrameStep() * 40.0f, 1);
        TvFrameUpdateObjects(d->spinner);
    }
    MV2StartObjectSound(object, Sound("BOLTMOVING"), &d->sound, 1000, 0);
    float fraction = 1.0f;
    const bool expired = int32_t(MV2GameClock()) - d->expiry >= 0;
    if (expired || LineHitsWorld(d->last, m->pos, &fraction)) {
        MV2ExplodeMissile(object, expired ? 1.0f : fraction);
        MV2ObjectSendMessage(object, 4, 1, 0);
        return 1;
    }
    const float moved = MV2Length(TvV3dSub(m->pos, d->last));
    if (TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr)
        TpAtomicGetBoundingSphere(root)->radius = std::min(0.6f * moved, d->modelRadius);
    return MV2ObjectDefaultHandler(object, 2, 0, 0);
}

intptr_t MissileContact(MV2Object* object, MV2Missile* d, MV2Object* other) {
    if (!other || d->exploded || other == MV2GetObjectRef(&d->owner) || other->aiCategory == 1)
        return 0;
    HitRecord hit{d->last, object->matrix->pos, 2.0f};
    if (other->clump)
        TpClumpForAllAtomics(
            other->clump, [](TpAtomic* a, void* r) { return MV2MissileHitAtomic(a, r); }, &hit);
    if (hit.best > 1.0f) return 0;
    MV2ExplodeMissile(object, hit.best);
    d->exploded = 1;
    if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
    return 0;
}

} // namespace

void MV2ResetHeat() {
    g_heat = 0.0f;
}

void MV2AddHeat(float amount) {
    g_heat += amount;
}

float MV2GetHeat() {
    return g_heat;
}

void MV2UpdateHeatDamage() {
    MV2Object* player = MV2GetPlayerObject();
    if (player && g_heat > 1.0f) player->energy -= MV2FrameSeconds() * g_heat;
}

uint32_t MV2GetHeatColour() {
    if (g_heat > 1.0f) return MV2GameClock() % 200 < 100 ? 0xFFFF0000u : 0xFFFFFF00u;
    const float green = std::clamp(255.0f - 255.0f * g_heat, 0.0f, 255.0f);
    return 0xFFFF0000u | uint32_t(int32_t(green)) << 8;
}

intptr_t MV2HeatSourceHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return AnswerSize(p2, sizeof(MV2HeatSource));
    auto* d = Data<MV2HeatSource>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        d->on = 1;
        d->radius = -1.0f;
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        MV2ObjectSendMessage(object, 0, 1, 0);
        return result;
    }
    case 12: d->on = uint32_t(p1); return 1;
    case 2: {
        if (d->radius < 0.0f) {
            const int32_t v = MV2TakeCreationValue(object);
            d->strength = float(v / 1000) * 0.01f;
            d->radius = float(v % 1000) * 0.1f;
        }
        MV2Object* player = MV2GetPlayerObject();
        if (d->on && player && d->radius > 0.0f) {
            const float distance = MV2Length(TvV3dSub(player->matrix->pos, object->matrix->pos));
            if (distance < d->radius) g_heat += (d->radius - distance) * d->strength / d->radius;
        }
        return MV2ObjectDefaultHandler(object, 2, p1, p2);
    }
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

int32_t MV2PlatformLiftScan(TpIntersection*, void*, TpAtomic* atomic, float, void*) {
    MV2Object* o = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (g_platform && o && (o->typeWord & kMV2ObjectTypeMask) == 96) LiftOnto(g_platform, o);
    return 1;
}

intptr_t MV2SlidingPlatformHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return AnswerSize(p2, sizeof(MV2SlidingPlatform));
    auto* d = Data<MV2SlidingPlatform>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: return PlatformUpdate(object, d);
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        *d = MV2SlidingPlatform{};
        d->part = object->clump ? MV2FindFrameByTag(object->clump, 2) : nullptr;
        if (!d->part) return 0;
        d->closed = object->matrix->pos;
        d->partClosed = TvFrameGetMatrix(d->part)->pos;
        return result;
    }
    case 4:
        if (d->sound) MV2StopObjectSound(object, Sound("GP2ENGINE"), &d->sound);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 12: d->value12 = uint32_t(p1); return 1;
    case 13:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = d->value12;
        return 1;
    case 55:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = d->value55;
        return 1;
    case 56: d->value55 = uint32_t(p1); return 1;
    case 33: d->opening = uint32_t(p1); return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

TpAtomic* MV2MissileHitAtomic(TpAtomic* atomic, void* record) {
    auto* hit = static_cast<HitRecord*>(record);
    int32_t triangle = 0;
    float fraction = 0.0f;
    if (MV2IntersectAtomicLine(atomic, &hit->from, &hit->to, &triangle, &fraction) &&
        fraction < hit->best)
        hit->best = fraction;
    return atomic;
}

void MV2ExplodeMissile(MV2Object* object, float fraction) {
    auto* d = Data<MV2Missile>(object);
    if (!d) return;
    TvMatrix* m = object->matrix;
    m->pos = TvV3dAdd(d->last, TvV3dScale(TvV3dSub(m->pos, d->last), fraction));
    if (object->clump) TvFrameUpdateObjects(object->clump->frame);
    MV2Object* owner = MV2GetObjectRef(&d->owner);
    const float damage = owner && (owner->typeWord & kMV2ObjectTypeMask) == 329 ? 100.0f : 40.0f;
    const float position[3] = {m->pos.x, m->pos.y, m->pos.z};
    MV2CreateExplosion(position, 0.7f, damage, owner, 3, 30);
}

intptr_t MV2MissileHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return AnswerSize(p2, sizeof(MV2Missile));
    auto* d = Data<MV2Missile>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: return MissileUpdate(object, d);
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        *d = MV2Missile{};
        d->spinner = object->clump ? MV2FindFrameByTag(object->clump, 101) : nullptr;
        TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
        d->modelRadius = MV2GetBoundingRadius(root);
        const auto* at = reinterpret_cast<const float*>(p2);
        d->last = at ? TvV3d{at[0], at[1], at[2]} : object->matrix->pos;
        MV2Object* target = MV2GetLockedTarget();
        if (target) MV2SetObjectRef(&d->target, target);
        d->expiry = int32_t(MV2GameClock()) + (target ? 6000 : 3000);
        object->typeWord &= ~kMV2ObjectCollidesWorld;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return result;
    }
    case 4:
        if (d->sound) MV2StopObjectSound(object, Sound("BOLTMOVING"), &d->sound);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 12:
        if (p2 && object->body) object->body->velocity = *reinterpret_cast<const TvV3d*>(p2);
        return 1;
    case 13:
        if (p2) *reinterpret_cast<const TvV3d**>(p2) = &object->matrix->at;
        return 1;
    case 14:
    case 19: return MissileContact(object, d, reinterpret_cast<MV2Object*>(p2));
    case 15: MV2SetObjectRef(&d->owner, reinterpret_cast<MV2Object*>(p2)); return 1;
    case 16:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = MV2GetObjectRef(&d->owner);
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2MissileLauncherHandler(MV2WeaponRecord* slot, int32_t message, intptr_t p1,
                                   intptr_t p2) {
    if (message == 57) {
        if (auto* icon = reinterpret_cast<MV2ToolIcon*>(p2))
            *icon = {slot && slot->slot == 16 ? 36 : 21, (97u << 16) | (189u << 8) | 255u};
        return 0;
    }
    if (message == 61) {
        if (auto* lock = reinterpret_cast<MV2LockOnState*>(p2)) {
            lock->flags = (lock->flags & ~2u) | 1u;
            lock->captureSize = lock->progress >= 1.0f ? 300 : 100;
            lock->range = 300.0f;
        }
        return 0;
    }
    return MV2StandardWeaponHandler(slot, message, p1, p2);
}

void MV2RegisterHeatHandlers() {
    MV2SetObjectTypeHandler(413, MV2HeatSourceHandler);
    MV2SetObjectTypeHandler(43, MV2SlidingPlatformHandler);
    MV2SetObjectTypeHandler(74, MV2MissileHandler);
}
