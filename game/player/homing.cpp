// The homing launcher and homing missiles.
#include "game/player/homing.h"

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/random.h"
#include "engine/world/world.h"
#include "game/effects/effects.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/shots.h"
#include "game/player/weapons.h"

namespace {

constexpr uint32_t kHudStandard = (97u << 16) | (189u << 8) | 255u;
constexpr float kEmpty = -1.0e9f;

MV2HomingTarget g_targets[3];
int32_t g_index = -1;

int32_t Now() {
    return int32_t(MV2ShotClock());
}

MV2HomingMissile* Missile(MV2Object* object) {
    return static_cast<MV2HomingMissile*>(object->privateData);
}

struct Search {
    MV2Object* from;
    TvV3d at;
};

int32_t Consider(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    const auto* s = static_cast<const Search*>(data);
    MV2Object* o = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!o || o == s->from || !(o->flags & 16u) || o->aiCategory != 6) return 1;
    for (const MV2HomingTarget& t : g_targets)
        if (t.object == o) return 1;
    const TvV3d rel = TvV3dSub(o->matrix->pos, s->from->matrix->pos);
    const float distance = MV2ShotLength(rel);
    const float score = 50.0f * TvV3dDot(s->at, MV2ShotUnit(rel)) - distance;
    for (int32_t i = 0; i < 3; ++i)
        if (g_targets[i].score < score) {
            for (int32_t j = 2; j > i; --j)
                g_targets[j] = g_targets[j - 1];
            g_targets[i] = {o, score};
            break;
        }
    return 1;
}

// The next entry in turn: the index wraps at 3 and at an empty entry.
MV2Object* NextTarget() {
    ++g_index;
    if (g_index >= 3 || !g_targets[g_index].object) g_index = 0;
    return g_targets[g_index].object;
}

void Rebuild(MV2Object* missile, const TvV3d& at) {
    MV2ShotFaceAlong(missile->matrix, at);
    MV2ShotSyncFrame(missile);
}

void StopSound(MV2Object* missile, MV2HomingMissile* d) {
    MV2StopObjectSound(missile, MV2ShotSound("BOLTMOVING"), &d->sound);
}

void Aim(MV2Object* missile, const TvV3d& at) {
    Rebuild(missile, at);
    if (missile->body)
        missile->body->velocity = TvV3dScale(missile->matrix->at, MV2ShotLength(missile->body->velocity));
}

void Steer(MV2Object* missile, MV2HomingMissile* d) {
    const int32_t now = Now();
    MV2Object* target = MV2GetObjectRef(&d->target);
    switch (d->state) {
    case 0:
        if (now - d->nextTime < 0) return;
        if (target) {
            d->startDirection = missile->matrix->at;
            d->state = 2;
            d->nextTime = now + 999;
            break; // the turn starts at once
        }
        d->state = 1;
        d->nextTime = now + int32_t(TvRandom() & 255);
        return;
    case 1:
        if (now - d->nextTime < 0) return;
        MV2FindHomingTargets(missile);
        if (MV2Object* found = NextTarget())
            MV2ObjectSendMessage(missile, 33, -1, reinterpret_cast<intptr_t>(found));
        else
            d->nextTime = now + 250;
        return;
    default: break;
    }
    if (d->state != 2 && d->state != 3) return;
    if (!target) {
        d->state = 1;
        d->nextTime = now + 250;
        return;
    }
    const TvV3d toward = MV2ShotUnit(TvV3dSub(target->matrix->pos, missile->matrix->pos));
    if (d->state == 2) {
        if (now - d->nextTime < 0) {
            const float f = float(d->nextTime - now) * 0.001001001f;
            Aim(missile, MV2ShotUnit(TvV3dAdd(TvV3dScale(toward, 1.0f - f),
                                              TvV3dScale(d->startDirection, f))));
            return;
        }
        d->state = 3;
    }
    Aim(missile, toward);
}

intptr_t Update(MV2Object* missile, MV2HomingMissile* d) {
    if (d->exploded) {
        MV2ObjectSendMessage(missile, 4, 1, 0);
        return 1;
    }
    MV2Object* owner = MV2GetObjectRef(&d->owner);
    const int32_t age = Now() - d->created;
    const bool far = owner && MV2ShotDistanceSquared(owner->matrix->pos, missile->matrix->pos) > 2500.0f;
    if (d->state == 4) {
        if (age > 10000 && (!owner || far)) {
            MV2ObjectSendMessage(missile, 4, 1, 0);
            return 1;
        }
    } else if (age > 2500 || far) {
        d->state = 4;
        StopSound(missile, d);
    }
    d->lastPosition = missile->matrix->pos;
    Steer(missile, d);

    const TvV3d& pos = missile->matrix->pos;
    if (pos.y >= MV2GetWaterHeight(&pos)) {
        MV2ApplyGravity(missile);
        MV2ApplyGravity(missile);
    } else if (d->state == 4) {
        MV2ApplyGravity(missile);
    } else {
        const TvV3d push = TvV3dScale(missile->matrix->at, 0.05f);
        MV2AddForce(missile, &push);
        if (TvRandom() & 1) {
            float position[3], velocity[3];
            MV2ShotPoint(pos, position);
            MV2ShotPoint(push, velocity);
            MV2CreateBubble(position, velocity, 0.05f);
        }
        MV2EmitMTrail(reinterpret_cast<uintptr_t>(missile), missile->handle, 0, 1.0f,
                      missile->matrix);
    }
    MV2IntegrateMotion(missile);
    MV2ShotSyncFrame(missile);
    if (d->state != 4) {
        if (d->spinner) {
            MV2ShotTurn(TvFrameGetMatrix(d->spinner), TvV3d{0.0f, 0.0f, 1.0f},
                        MV2ShotFrameStep() * 40.0f);
            TvFrameUpdateObjects(d->spinner);
        }
        MV2StartObjectSound(missile, MV2ShotSound("BOLTMOVING"), &d->sound, 0, 1000);
    }
    MV2TriangleHit hit;
    float fraction = 1.0f;
    TpWorld* world = TpWorldGetCurrent();
    if (world && MV2IntersectWorldLine(world, &d->lastPosition, &missile->matrix->pos, &hit, &fraction)) {
        MV2HomingMissileBurst(missile, &fraction);
        MV2ObjectSendMessage(missile, 4, 1, 0);
        return 1;
    }
    const float moved = MV2ShotLength(TvV3dSub(missile->matrix->pos, d->lastPosition)) * 0.6f;
    MV2ShotSetRadius(missile, moved > d->minimumRadius ? moved : d->minimumRadius);
    MV2ShotCollideTouching(missile);
    return 1;
}

intptr_t Hit(MV2Object* missile, MV2HomingMissile* d, MV2Object* other) {
    if (!other || other == MV2GetObjectRef(&d->owner) || other->aiCategory == 1 || d->exploded ||
        !other->clump)
        return 0;
    float best = 2.0f;
    const TvV3d end = missile->matrix->pos;
    for (TpAtomic* a = MV2GetFirstAtomic(other->clump); a; a = MV2GetNextAtomic(other->clump, a)) {
        int32_t triangle = 0;
        float fraction = 0.0f;
        if (MV2IntersectAtomicLine(a, &d->lastPosition, &end, &triangle, &fraction) && fraction < best)
            best = fraction;
    }
    if (best > 1.0f) return 0;
    MV2HomingMissileBurst(missile, &best);
    d->exploded = 1;
    MV2ShotShowModel(missile, 0);
    return 0;
}

} // namespace

void MV2FindHomingTargets(MV2Object* object) {
    for (MV2HomingTarget& t : g_targets)
        t = {nullptr, kEmpty};
    g_index = -1;
    if (!object) return;
    Search search{object, object->matrix->at};
    const TvV3d centre = TvV3dAdd(object->matrix->pos, TvV3dScale(object->matrix->at, 2.0f));
    MV2ForAllAtomicsInSphere(TpWorldGetCurrent(), &centre, 50.0f, Consider, &search);
}

const MV2HomingTarget* MV2GetHomingTargets() {
    return g_targets;
}

void MV2HomingMissileBurst(MV2Object* missile, const float* fraction) {
    MV2HomingMissile* d = Missile(missile);
    const float f = fraction ? *fraction : 1.0f;
    TvMatrix* m = missile->matrix;
    m->pos = TvV3dAdd(d->lastPosition, TvV3dScale(TvV3dSub(m->pos, d->lastPosition), f));
    MV2ShotSyncFrame(missile);
    float position[3];
    MV2ShotPoint(m->pos, position);
    MV2CreateExplosion(position, 0.7f, 14.0f, MV2GetObjectRef(&d->owner), 0, 0x9e);
}

intptr_t MV2HomingLauncherHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1,
                                  intptr_t p2) {
    switch (message) {
    case 10: {
        if (p1 == 1) return 0;
        const auto* record = reinterpret_cast<const MV2CreationRecord*>(p2);
        if (!record || !record->matrix) return 1;
        MV2Object* shooter = record->owner;
        MV2FindHomingTargets(shooter);
        static constexpr int32_t kDelays[3] = {200, 400, 600};
        static constexpr float kTurns[3] = {0.0f, 5.0f, -5.0f};
        static constexpr float kShifts[3] = {0.0f, 0.2f, -0.2f};
        for (int32_t i = 0; i < 3; ++i) {
            TvMatrix m = *record->matrix;
            if (kTurns[i] != 0.0f) MV2ShotTurn(&m, m.up, kTurns[i]);
            m.pos = TvV3dAdd(record->matrix->pos, TvV3dScale(record->matrix->right, kShifts[i]));
            MV2CreationRecord own = *record;
            own.matrix = &m;
            float position[3];
            MV2ShotPoint(m.pos, position);
            MV2Object* missile = MV2CreateObject(394, position, &own);
            if (!missile) continue;
            const MV2ObjectHandle handle = missile->handle;
            if (shooter) MV2ObjectSendMessage(missile, 15, 0, reinterpret_cast<intptr_t>(shooter));
            MV2Object* target = NextTarget();
            if (MV2ObjectHandleAlive(handle))
                MV2ObjectSendMessage(missile, 33, kDelays[i], reinterpret_cast<intptr_t>(target));
        }
        return 1;
    }
    case 57:
        if (p2) *reinterpret_cast<MV2WeaponIcon*>(p2) = {60, kHudStandard};
        return 1;
    default: return MV2StandardWeaponHandler(weapon, message, p1, p2);
    }
}

intptr_t MV2HomingMissileHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2ShotAnswerSize(p2, sizeof(MV2HomingMissile));
    MV2HomingMissile* d = Missile(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    if (intptr_t answer; MV2ShotCommonMessage(object, &d->owner, message, p2, &answer)) return answer;
    switch (message) {
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        *d = MV2HomingMissile{};
        d->created = Now();
        d->spinner = object->clump ? MV2FindFrameByTag(object->clump, 101) : nullptr;
        d->minimumRadius = MV2ShotModelRadius(object);
        d->nextTime = Now() + 200;
        d->lastPosition = object->matrix->pos;
        object->typeWord &= ~kMV2ObjectCollidesWorld;
        MV2ObjectSendMessage(object, 0, 1, 0);
        object->aiCategory = 10;
        return result;
    }
    case 2: return Update(object, d);
    case 4:
        if (d->state != 4) StopSound(object, d);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 14:
    case 19: return Hit(object, d, reinterpret_cast<MV2Object*>(p2));
    case 33: {
        auto* target = reinterpret_cast<MV2Object*>(p2);
        if (target) MV2SetObjectRef(&d->target, target);
        else MV2ClearObjectRef(&d->target);
        d->state = 0;
        d->nextTime = Now() + int32_t(p1);
        return 1;
    }
    case 34:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = MV2GetObjectRef(&d->target);
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}
