// The bolt gun, bolts (types 2 and 146), debris pieces (type 3) and bubble bursts.
#include "game/player/boltgun.h"

#include <cmath>

#include "engine/core/frame.h"
#include "engine/core/memory.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/light.h"
#include "engine/world/random.h"
#include "engine/world/world.h"
#include "game/effects/effects.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/shots.h"
#include "game/player/weapons.h"
#include "shell/errors.h"

namespace {

constexpr uint32_t kHudStandard = (97u << 16) | (189u << 8) | 255u;
constexpr uint32_t kNoImpactDamage = 1u << 25;

TvFreeList* g_gunData = nullptr;

int32_t Now() {
    return int32_t(MV2ShotClock());
}

MV2BoltData* Bolt(MV2Object* object) {
    return static_cast<MV2BoltData*>(object->privateData);
}

bool IsBolt(const MV2Object* object) {
    const int32_t type = MV2ShotTypeOf(object);
    return type == 2 || type == 146;
}

void Explode(MV2Object* bolt, MV2BoltData* d, uint8_t flags) {
    float position[3];
    MV2ShotPoint(bolt->matrix->pos, position);
    MV2CreateExplosion(position, 0.7f, d->damage, MV2GetObjectRef(&d->owner),
                       MV2ShotTypeOf(bolt) == 146 ? 9 : 6, flags);
}

void DestroyLight(MV2BoltData* d) {
    if (!d->light) return;
    if (TpWorld* world = TpLightGetWorld(d->light)) TpWorldRemoveLight(world, d->light);
    TpLightSetFrame(d->light, nullptr);
    TpLightDestroy(d->light);
    d->light = nullptr;
}

intptr_t Create(MV2Object* bolt, intptr_t p1, intptr_t p2) {
    const intptr_t result = MV2ObjectDefaultHandler(bolt, 3, p1, p2);
    MV2BoltData* d = Bolt(bolt);
    *d = MV2BoltData{};
    bolt->aiCategory = 10;
    d->light = TpLightCreate(0x80);
    if (!d->light) return 0; // a bolt without its light is not made
    TpLightSetRadius(d->light, 5.0f);
    TpLightSetColor(d->light, 1.0f, 1.0f, 1.0f, 1.0f);
    TpLightSetFlags(d->light, 3);
    if (bolt->clump) TpLightSetFrame(d->light, bolt->clump->frame);
    if (TpWorld* world = TpWorldGetCurrent()) TpWorldAddLight(world, d->light);
    d->expiry = Now() + 10000;
    d->underwater = bolt->matrix->pos.y < MV2GetWaterHeight(&bolt->matrix->pos);
    d->minimumRadius = MV2ShotModelRadius(bolt);
    d->thrust = 0.04f;
    d->lastPosition = bolt->matrix->pos;
    d->damage = MV2ShotTypeOf(bolt) == 2 ? 3.0f : 1.0f;
    MV2ShotShowModel(bolt, 1);
    MV2ObjectSendMessage(bolt, 0, 1, 0);
    MV2AttachTrail(bolt);
    return result;
}

intptr_t Update(MV2Object* bolt, MV2BoltData* d) {
    if (d->hit) {
        MV2ObjectSendMessage(bolt, 4, 1, 0);
        return 1;
    }
    const TvV3d push = TvV3dScale(bolt->matrix->at, d->thrust);
    MV2AddForce(bolt, &push);
    const MV2ObjectHandle self = bolt->handle;
    bool touchedWorld = false;
    if (Now() - d->expiry < 0) {
        MV2TriangleHit hit;
        touchedWorld = MV2GetFacingTrianglesInSphere(TpWorldGetCurrent(), &bolt->matrix->pos,
                                                     bolt->radius, 1, &hit) > 0;
        if (!touchedWorld) {
            MV2ShotCollideTouching(bolt);
            if (!MV2ObjectHandleAlive(self)) return 1;
            if (d->hit) return 1;
            MV2IntegrateMotion(bolt);
            MV2ShotSyncFrame(bolt);
            if ((uint32_t(TvRandom()) & 0x7fffffff) < 16) {
                float position[3];
                MV2ShotPoint(bolt->matrix->pos, position);
                MV2CreateBubble(position, nullptr, 0.05f);
            }
            const float moved = MV2ShotLength(TvV3dSub(bolt->matrix->pos, d->lastPosition));
            const float reach = moved * 0.6f;
            MV2ShotSetRadius(bolt, reach > d->minimumRadius ? reach : d->minimumRadius);
            d->lastPosition = bolt->matrix->pos;
            if (d->underwater)
                MV2StartObjectSound(bolt, MV2ShotSound("BOLTMOVING"), &d->sound, 0, 1000);
            return 1;
        }
    }
    MV2ShotPlayAt(bolt->matrix->pos, 30.0f, MV2ShotWorldHitSoundName(), 1000);
    Explode(bolt, d, 0x8e);
    MV2ObjectSendMessage(bolt, 4, 1, 0);
    return 1;
}

intptr_t Hit(MV2Object* bolt, MV2BoltData* d, MV2Object* other, bool collision) {
    if (!other || other == MV2GetObjectRef(&d->owner) || IsBolt(other) || d->hit) return 0;
    if (collision && other->clump) {
        TpAtomic* root = MV2FindRootAtomic(other->clump);
        const TvV3d away = MV2ShotUnit(TvV3dSub(bolt->matrix->pos, other->matrix->pos));
        bolt->matrix->pos = TvV3dAdd(other->matrix->pos,
                                     TvV3dScale(away, root ? MV2GetBoundingRadius(root) : 0.0f));
        MV2ShotSyncFrame(bolt);
    }
    MV2ShotPlayAt(bolt->matrix->pos, 30.0f, MV2ShotHitSoundName(MV2ShotMaterialClass(other)), 1000);
    Explode(bolt, d, 6);
    d->hit = 1;
    MV2ShotShowModel(bolt, 0);
    bolt->lastUpdateFrame = 0;
    return 0;
}

} // namespace

intptr_t MV2BoltGunHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = weapon ? static_cast<MV2BoltGunData*>(weapon->handlerData) : nullptr;
    switch (message) {
    case 3:
        if (!weapon) return 0;
        d = static_cast<MV2BoltGunData*>(MV2ShotGunDataAlloc(&g_gunData, sizeof(MV2BoltGunData), "Could not create free list for bolt",
                                                 "Bolt data alloc error"));
        if (!d) return 0;
        *d = {0, 3, Now()};
        weapon->handlerData = d;
        return 1;
    case 4:
        if (weapon) MV2ShotGunDataFree(g_gunData, &weapon->handlerData);
        return 1;
    case 10:
        if (p1 == 1) return 0;
        if (!d || d->recharging || d->shotsLeft <= 0) return 1;
        if (--d->shotsLeft == 0) {
            d->recharging = 1;
            d->nextRefill = Now();
        }
        return 0;
    case 2:
        if (d && d->recharging && Now() - d->nextRefill >= 0) {
            d->nextRefill += 400;
            if (++d->shotsLeft >= 3) d->recharging = 0;
        }
        return 1;
    case 57:
        if (p2) *reinterpret_cast<MV2WeaponIcon*>(p2) = {14, kHudStandard};
        return 1;
    case 60:
        if (p2) *reinterpret_cast<float*>(p2) = d ? float(d->shotsLeft) * 0.33333334f : 0.0f;
        return 1;
    default: return MV2StandardWeaponHandler(weapon, message, p1, p2);
    }
}

intptr_t MV2BoltHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2ShotAnswerSize(p2, sizeof(MV2BoltData));
    MV2BoltData* d = Bolt(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    if (intptr_t answer; MV2ShotCommonMessage(object, &d->owner, message, p2, &answer)) return answer;
    switch (message) {
    case 3: return Create(object, p1, p2);
    case 2: return Update(object, d);
    case 4:
        MV2StopObjectSound(object, MV2ShotSound("BOLTMOVING"), &d->sound);
        DestroyLight(d);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    case 14: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (!other || other == MV2GetObjectRef(&d->owner)) return 0;
        if (other->type && (other->type->words[7] & kMV2TypeCollisionTree)) return 1;
        if (MV2ShotTypeOf(object) == 146) {
            const int32_t t = MV2ShotTypeOf(other);
            if (t != 104 && t != 147 && t != 396) other->energy -= 1.0f;
        }
        return Hit(object, d, other, true);
    }
    case 19: return Hit(object, d, reinterpret_cast<MV2Object*>(p2), false);
    case 73:
        if (p2) d->thrust = *reinterpret_cast<const float*>(p2);
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

void MV2BreakIntoDebris(MV2Object* object, int32_t still) {
    if (!object || !object->clump) return;
    TpAtomic* root = MV2FindRootAtomic(object->clump);
    TpAtomic* tagged = MV2FindAtomicByTag(object->clump, 69);
    const TvV3d centre = object->matrix->pos;
    const TvV3d base = object->body ? object->body->velocity : TvV3d{};
    for (TpAtomic* a = MV2GetFirstAtomic(object->clump); a; a = MV2GetNextAtomic(object->clump, a)) {
        if (a == root || a == tagged || !a->object.frame) continue;
        TpGeometry* geometry = TpAtomicGetGeometry(a);
        if (!geometry || TpGeometryGetNumVertices(geometry) < 4) continue;
        const TvMatrix world = *TvFrameGetLTM(a->object.frame);
        MV2CreationRecord record{};
        record.matrix = &world;
        float position[3];
        MV2ShotPoint(world.pos, position);
        MV2Object* piece = MV2CreateObject(3, position, &record);
        if (!piece) continue;
        MV2ObjectSendMessage(piece, 0, 1, 0);
        piece->radius = MV2GetBoundingRadius(a);
        piece->energy = float(TvRandom() & 7);
        const TvV3d offset = TvV3dScale(TvV3dSub(world.pos, centre), 0.25f);
        if (piece->body) {
            piece->body->velocity = TvV3dAdd(base, offset);
            piece->body->angularVelocity = offset;
        }
        if (still) MV2ObjectSendMessage(piece, 12, 0, 0);
    }
}

intptr_t MV2DebrisPieceHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 96: return MV2ShotAnswerSize(p2, 0);
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        object->typeWord &= ~kNoImpactDamage;
        MV2AttachTrail(object);
        return result;
    }
    case 2: {
        TvV3d& pos = object->matrix->pos;
        if (MV2GetWaterHeight(&pos) - pos.y < 0.75f) {
            float d = 0.0f;
            MV2GetWaterDepth(&pos, &d);
            const TvV3d force{0.0f, d >= 0.0f ? d * 0.015f : d * 0.09f, 0.0f};
            MV2AddForce(object, &force);
            if (d < 0.0f && (uint32_t(TvRandom()) & 0x7fffffff) < 16)
                MV2ShotPlayAt(pos, 5.0f, "SPLASH1", 0);
        }
        const TvV3d offset{0.0f, 1.0f, 0.0f};
        MV2ApplyUprightForce(object, &offset);
        return MV2ObjectDefaultHandler(object, 2, p1, p2);
    }
    case 12: object->typeWord |= kNoImpactDamage; return 1;
    case 14: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (other && MV2ShotTypeOf(other) == 3) return 0;
        return MV2ObjectDefaultHandler(object, 14, p1, p2);
    }
    case 18:
        if (object->typeWord & kNoImpactDamage) return 1;
        object->energy -= 0.5f;
        if (object->energy < 0.0f && object->clump) {
            for (TpAtomic* a = MV2GetFirstAtomic(object->clump); a;
                 a = MV2GetNextAtomic(object->clump, a)) {
                if (!a->object.frame) continue;
                const TvV3d at = TvFrameGetLTM(a->object.frame)->pos;
                float position[3];
                MV2ShotPoint(at, position);
                MV2CreateExplosion(position, MV2GetBoundingRadius(a), 0.0f, nullptr, 2, 0x96);
                MV2ShotPlayAt(at, 30.0f, "SHRAPNEL", 2000);
            }
            MV2ObjectSendMessage(object, 4, 1, 0);
        }
        return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

void MV2SpawnBubbles(const float* position, float radius) {
    if (!position) return;
    // A signed count: a small or negative radius makes none.
    const float f = 40.0f * radius;
    const int32_t n = f > 1.0f ? int32_t(f < 4096.0f ? f : 4096.0f) - 1 : 0;
    for (int32_t i = 0; i < n; ++i) {
        TvV3d direction;
        MV2RandomDirection(&direction);
        const float at[3] = {position[0] + direction.x * radius, position[1] + direction.y * radius,
                             position[2] + direction.z * radius};
        MV2CreateBubble(at, nullptr, 0.05f);
    }
}
