// Breakable props, settling crates, floating charges and skipping charges.
#include "game/missions/breakables.h"

#include <cmath>
#include <initializer_list>

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/effects/explosions.h"
#include "game/effects/trails.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectupdate.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"
#include "game/player/weapons.h"

namespace {

MV2ObjectCallback BreakableCallback(MV2Object* object) {
    return MV2CallbackOf(intptr_t(object->privateData));
}

// ---- breakables ----

struct StackSearch {
    MV2Object* crate;
    int32_t found;
};

int32_t StackCallback(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    auto* s = static_cast<StackSearch*>(data);
    MV2Object* o = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!o || o == s->crate) return 1;
    const int32_t type = MV2TypeOf(o);
    if (type != 272 && type != 308) return 1;
    const float r = s->crate->radius;
    const TvV3d d = TvV3dSub(MV2ObjectPosition(o), MV2ObjectPosition(s->crate));
    if (std::fabs(d.y) < 1.15f * r && std::fabs(d.x) < r && std::fabs(d.z) < r) {
        s->found = 1;
        return 0;
    }
    return 1;
}

bool Supported(MV2Object* object) {
    const float r = object->radius;
    const TvV3d centre = MV2ObjectPosition(object);
    const TvV3d down{centre.x, centre.y - 0.66f * r, centre.z};
    if (MV2IntersectWorldLine(MV2World, &centre, &down, nullptr, nullptr)) return true;
    const TvV3d below{centre.x, centre.y - r, centre.z};
    StackSearch search{object, 0};
    MV2ForAllAtomicsInSphere(MV2World, &below, 0.5f * r, StackCallback, &search);
    if (search.found) return true;
    if (MV2Object* craft = MV2GetPlayerObject()) {
        const TvV3d v = TvV3dSub(MV2ObjectPosition(craft), below);
        if (TvV3dDot(v, v) < 1.0f) return true;
    }
    return false;
}

void Shatter(MV2Object* object) {
    MV2PlayObjectSound(object, 1.0f, MV2RandomBits(1) ? "BRICK2" : "BRICK1", 1000);
    const int32_t type = MV2TypeOf(object);
    const int32_t pieces272[] = {288, 289, 290}, pieces308[] = {325, 326, 327},
                  pieces383[] = {384, 384};
    const int32_t* pieces = nullptr;
    int32_t count = 0;
    if (type == 272) pieces = pieces272, count = 3;
    if (type == 308) pieces = pieces308, count = 3;
    if (type == 383) pieces = pieces383, count = 2;
    const MV2Point3 at = MV2Point(MV2ObjectPosition(object));
    for (int32_t i = 0; i < count; i++) {
        MV2Object* piece = MV2CreateObject(pieces[i], at.v, nullptr);
        if (!piece || !piece->body) continue;
        TvV3d direction, spin;
        MV2RandomDirection(&direction);
        MV2RandomDirection(&spin);
        piece->body->velocity = TvV3dScale(direction, 0.3f);
        piece->body->angularVelocity = spin;
    }
}

void BreakableUpdate(MV2Object* object) {
    const int32_t type = MV2TypeOf(object);
    MV2Object* craft = MV2GetPlayerObject();
    if (type == 381 && craft && object->energy != 10000.0f) {
        const float s =
            TvV3dDot(object->matrix->at, TvV3dSub(MV2ObjectPosition(craft), MV2ObjectPosition(object)));
        object->energy = s <= 0.0f ? 10000.0f : -1.0f;
    }
    if (object->energy >= 0.0f) {
        if ((type == 272 || type == 308) && !Supported(object)) {
            MV2ObjectPosition(object).y -= 0.032f * MV2FrameStep();
            MV2ObjectMoved(object);
        }
    } else {
        Shatter(object);
    }
}

// ---- charges ----

void SetArming(MV2Object* object, float position) {
    if (!object->clump) return;
    for (TpAtomic* a = MV2GetFirstAtomic(object->clump); a; a = MV2GetNextAtomic(object->clump, a)) {
        TpGeometry* g = TpAtomicGetGeometry(a);
        if (!g || TpGeometryGetNumMorphTargets(g) < 2) continue; // no second shape to blend
        TpInterpolator* in = TpAtomicGetInterpolator(a);
        TpInterpolatorSetStartMorphTarget(in, 1);
        TpInterpolatorSetEndMorphTarget(in, 0);
        TpInterpolatorSetPosition(in, position);
    }
}

void OwnerMessages(MV2ObjectRef* owner, int32_t message, intptr_t p2) {
    if (message == 15) {
        MV2SetObjectRef(owner, reinterpret_cast<MV2Object*>(p2));
    } else if (p2) {
        *reinterpret_cast<MV2Object**>(p2) = MV2GetObjectRef(owner);
    }
}

void FloatingUpdate(MV2Object* object, MV2FloatingChargeData* d) {
    if (d->explode) {
        MV2Object* owner = MV2GetObjectRef(&d->owner);
        MV2SetDamageSource(owner);
        const MV2Point3 p = MV2Point(MV2ObjectPosition(object));
        MV2CreateExplosion(p.v, 0.5f, 30.0f, owner, 0, 0x9A);
        MV2SetDamageSource(nullptr);
        MV2ObjectSendMessage(object, 4, 0, 0);
        return;
    }
    if (MV2GetWaterHeight(&MV2ObjectPosition(object)) <= MV2ObjectPosition(object).y) {
        for (int32_t i = 0; i < 4; i++)
            MV2ApplyGravity(object);
    } else if (object->body) {
        object->body->velocity.y += 0.001f * MV2FrameStep();
    }
    d->age += MV2FrameSeconds();
    SetArming(object, d->age < 1.0f ? 0.0f : d->age < 1.2f ? (d->age - 1.0f) * 5.0f : 1.0f);
    if (d->age >= d->lifetime) d->explode = 1;
}

void SkipExplode(MV2Object* object, MV2SkippingChargeData* d, float fraction, bool world) {
    TvV3d& p = MV2ObjectPosition(object);
    p = TvV3dAdd(d->previous, TvV3dScale(TvV3dSub(p, d->previous), fraction));
    MV2ObjectMoved(object);
    const MV2Point3 at = MV2Point(p);
    MV2CreateExplosion(at.v, 1.0f, 25.0f, MV2GetObjectRef(&d->owner), 3, 0x9A);
    object->energy = -1.0f;
    if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
    if (world) MV2ObjectSendMessage(object, 4, 0, 0);
}

void SkipUpdate(MV2Object* object, MV2SkippingChargeData* d) {
    if (int32_t(MV2GameClock() - d->end) > 0 || object->energy < 0.0f) {
        MV2ObjectSendMessage(object, 4, 0, 0);
        return;
    }
    const float step = MV2FrameStep();
    TvMatrix* m = object->matrix;
    d->previous = m->pos;
    if (TvFrame* spinner = object->clump ? MV2FindFrameByTag(object->clump, 5) : nullptr) {
        TvMatrix* s = TvFrameGetMatrix(spinner);
        const TvV3d up = s->up;
        MV2RotateMatrixInPlace(s, &up, float(MV2GameClock() % 360), 0);
        TvFrameUpdateObjects(spinner);
    }
    float surface;
    MV2GetWaterDepth(&m->pos, &surface);
    surface += m->pos.y;
    MV2Body* body = object->body;
    if (body) {
        if (body->velocity.y >= 0.5f) body->velocity.y = 0.5f;
        if (m->pos.y > surface) {
            d->airborne = 1;
            if (body->velocity.y > d->highestRise) d->highestRise = body->velocity.y;
            body->velocity.y -= 0.1f * step;
        } else if (!d->airborne) {
            for (uint32_t tag : {2u, 3u})
                if (TvFrame* f = object->clump ? MV2FindFrameByTag(object->clump, tag) : nullptr)
                    MV2EmitMTrail(uintptr_t(object), object->handle, tag, 0.6f, TvFrameGetLTM(f));
        } else {
            m->pos.y = surface;
            body->velocity.y = d->highestRise;
        }
    }
    if (d->thrust < 1.5f) d->thrust += 0.4f * step;
    const TvV3d right = m->right, at = m->at;
    MV2RotateMatrixInPlace(m, &right, step * m->at.y, 2);
    MV2RotateMatrixInPlace(m, &at, step * m->right.y * -2.0f, 2);
    const TvV3d force = TvV3dScale(m->at, d->thrust);
    MV2AddForce(object, &force);
    MV2IntegrateMotion(object);
    MV2ObjectMoved(object);
    float fraction = 0.0f;
    if (MV2IntersectWorldLine(MV2World, &d->previous, &m->pos, nullptr, &fraction)) {
        SkipExplode(object, d, fraction, true);
        return;
    }
    const float moved = MV2Length(TvV3dSub(m->pos, d->previous));
    object->radius = std::fmax(0.6f * moved, d->minimumRadius);
    if (TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr)
        if (MV2World) MV2CollideAtomicWithObjects(object, MV2World, root);
}

void SkipHit(MV2Object* object, MV2SkippingChargeData* d, MV2Object* other) {
    if (!other || other == MV2GetObjectRef(&d->owner) || other->aiCategory == 1) return;
    if (object->energy < 0.0f) return; // already gone off
    if (MV2TypeOf(other) == 337) {
        const TvV3d v = TvV3dSub(MV2ObjectPosition(other), MV2ObjectPosition(object));
        if (TvV3dDot(v, v) < 0.64f * other->radius * other->radius) SkipExplode(object, d, 1.0f, false);
        return;
    }
    float best = 2.0f;
    if (other->clump)
        for (TpAtomic* a = MV2GetFirstAtomic(other->clump); a; a = MV2GetNextAtomic(other->clump, a)) {
            float f = 0.0f;
            if (MV2IntersectAtomicLine(a, &d->previous, &MV2ObjectPosition(object), nullptr, &f) &&
                f < best)
                best = f;
        }
    if (best <= 1.0f) SkipExplode(object, d, best, false);
}

} // namespace

intptr_t MV2BreakableHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 2: BreakableUpdate(object); break;
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        object->privateData = nullptr;
        if (MV2TypeOf(object) == 381) object->energy = 10000.0f;
        return 1;
    case 4: MV2RunCallback(BreakableCallback(object), object, 1); break;
    case 12: object->privateData = reinterpret_cast<void*>(p2); return 1;
    case 96: return MV2AnswerSize(p2, 0);
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2FloatingChargeHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2FloatingChargeData));
    if (message == 18) return 0;
    auto* d = MV2LevelData<MV2FloatingChargeData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2:
        FloatingUpdate(object, d);
        if (!MV2ObjectHandleAlive(object->handle)) return 1;
        break;
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2FloatingChargeData{};
        d->lifetime = 15.0f + 5.0f * MV2RandomUnit();
        TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
        d->radius = root ? MV2GetBoundingRadius(root) : 0.0f;
        SetArming(object, 0.0f);
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    case 12:
        if (p2 && object->body) object->body->velocity = *reinterpret_cast<const TvV3d*>(p2);
        return 1;
    case 13:
        if (p2) *reinterpret_cast<TvV3d**>(p2) = &object->matrix->at;
        return 1;
    case 14:
    case 19:
        if (d->age > 1.2f) d->explode = 1;
        return 0;
    case 15:
    case 16: OwnerMessages(&d->owner, message, p2); return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2SkippingChargeHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2SkippingChargeData));
    if (message == 80) return 1;
    auto* d = MV2LevelData<MV2SkippingChargeData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: SkipUpdate(object, d); return 1;
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2SkippingChargeData{};
        d->self = object;
        d->end = MV2GameClock() + 5000;
        TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
        d->minimumRadius = root ? MV2GetBoundingRadius(root) : object->radius;
        d->thrust = 1.5f;
        d->airborne = MV2GetWaterHeight(&MV2ObjectPosition(object)) < MV2ObjectPosition(object).y;
        d->previous = MV2ObjectPosition(object);
        object->typeWord &= ~(1u << 20);
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    case 12:
        if (p2 && object->body)
            object->body->velocity = TvV3dAdd(*reinterpret_cast<const TvV3d*>(p2),
                                              TvV3dScale(object->matrix->at, 1.5f));
        return 1;
    case 13:
        if (p2) *reinterpret_cast<TvV3d**>(p2) = &object->matrix->at;
        return 1;
    case 14:
    case 19: SkipHit(object, d, reinterpret_cast<MV2Object*>(p2)); return 0;
    case 15:
    case 16: OwnerMessages(&d->owner, message, p2); return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2CrateSoundHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if ((message == 18 && p2 && std::fabs(*reinterpret_cast<const float*>(p2)) > 0.01f) ||
        (message == 19 && p1 <= -201))
        MV2PlayObjectSound(object, 5.0f, "CRATECOLLIDE", 0);
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterBreakableHandlers() {
    for (int32_t type : {272, 308, 381, 383})
        MV2SetObjectTypeHandler(type, MV2BreakableHandler);
    MV2SetObjectTypeHandler(332, MV2FloatingChargeHandler);
    MV2SetObjectTypeHandler(334, MV2SkippingChargeHandler);
    MV2SetObjectTypeHandler(347, MV2CrateSoundHandler);
}
