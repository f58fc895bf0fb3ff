// The swelling spore shot, the two-leaf hatch, the glowing link mover and the weapon of row 24.
#include "game/missions/mission35objects.h"

#include <algorithm>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/effects/explosions.h"
#include "game/effects/trails.h"
#include "game/frontend/hud.h"
#include "game/missions/levelobjects.h"
#include "game/missions/lightobject.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/weapons.h"
#include "shell/gamemain.h"

namespace {

constexpr float kShotDamage = 10.0f;
constexpr int32_t kBurstSound = 3, kHatchSound = 158;
constexpr float kHatchOpenAngle = 45.0f;
constexpr float kMoverSpeed = 10.0f; // units per second

// A turn of (random & 0x3FF) steps of 360/1023 degrees.
constexpr float kTurnStep = 0.35190616f;

bool IsShot(MV2Object* object) {
    return object && MV2TypeOf(object) == 355;
}

MV2Object* ShotOwner(MV2SwellingShotData* d) {
    return MV2GetObjectRef(&d->owner);
}

void ShotBurstNext(MV2SwellingShotData* d, MV2Object* object) {
    d->expiry = MV2GameClock() - 1;
    if (object->body) object->body->velocity = {};
}

void ShotSwell(MV2Object* object, MV2SwellingShotData* d) {
    TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
    if (!root) return;
    const TvV3d flown = TvV3dSub(object->matrix->pos, d->start);
    const float size = std::max(0.6f * MV2Length(flown), d->minimumSize);
    TpGeometry* geometry = TpAtomicGetGeometry(root);
    if (TpMorphTarget* target = geometry ? TpGeometryGetMorphTarget(geometry, 0) : nullptr) {
        const TvSphere sphere{{0.0f, 0.0f, 0.0f}, size};
        TpMorphTargetSetBoundingSphere(target, &sphere);
        if (TpInterpolator* interpolator = TpAtomicGetInterpolator(root))
            interpolator->flags |= kTpInterpolateSphere;
    }
}

intptr_t ShotUpdate(MV2Object* object, MV2SwellingShotData* d, intptr_t p1, intptr_t p2) {
    if (int32_t(MV2GameClock() - d->expiry) > 0) {
        const MV2Point3 p = MV2Point(object->matrix->pos);
        MV2CreateExplosion(p.v, 0.5f, 0.0f, ShotOwner(d), 8, 24);
        MV2ObjectSendMessage(object, 4, 0, 0);
        return 0;
    }
    TvMatrix* m = object->matrix;
    const bool under = MV2GetWaterHeight(&m->pos) > m->pos.y;
    if (!under) {
        MV2ApplyGravity(object);
        MV2ApplyGravity(object);
    }
    ShotSwell(object, d);
    if (under) MV2EmitMTrail(reinterpret_cast<uintptr_t>(object), object->handle, 0, 0.3f, m);
    const TvV3d at = m->at, up = m->up;
    MV2RotateMatrixInPlace(m, &at, float(MV2RandomBits(0x3FF)) * kTurnStep, kTvCombinePostConcat);
    MV2RotateMatrixInPlace(m, &up, float(MV2RandomBits(0x3FF)) * kTurnStep, kTvCombinePostConcat);
    MV2SyncObjectFrame(object);
    return MV2ObjectDefaultHandler(object, 2, p1, p2);
}

// A touch: the other object's atomics are tested along this frame's flight.
intptr_t ShotTouch(MV2Object* object, MV2SwellingShotData* d, MV2Object* other) {
    if (!other || other == ShotOwner(d) || IsShot(other) || !other->clump) return 0;
    const TvV3d start = object->matrix->pos;
    const TvV3d velocity = object->body ? object->body->velocity : TvV3d{0, 0, 0};
    const TvV3d end = TvV3dAdd(start, TvV3dScale(velocity, MV2FrameStep()));
    for (TpAtomic* a = MV2GetFirstAtomic(other->clump); a; a = MV2GetNextAtomic(other->clump, a)) {
        int32_t triangle = 0;
        float fraction = 0.0f;
        if (!MV2IntersectAtomicLine(a, &start, &end, &triangle, &fraction)) continue;
        object->matrix->pos = TvV3dAdd(start, TvV3dScale(TvV3dSub(end, start), fraction));
        MV2SyncObjectFrame(object);
        d->hitAtomic = a;
        const MV2Point3 p = MV2Point(object->matrix->pos);
        MV2DamageObject(ShotOwner(d), other, p.v, kShotDamage, 0);
        ShotBurstNext(d, object);
        return 0;
    }
    return 0;
}

void HatchTurn(MV2HatchData* d, float step) {
    const TvV3d axis = d->saved[0].at;
    if (d->leaves[0]) TvFrameRotate(d->leaves[0], &axis, -2.0f * step, kTvCombinePostConcat);
    if (d->leaves[1]) TvFrameRotate(d->leaves[1], &axis, step, kTvCombinePostConcat);
}

void HatchRestore(MV2HatchData* d) {
    for (int32_t i = 0; i < 2; i++)
        if (d->leaves[i]) {
            *TvFrameGetMatrix(d->leaves[i]) = d->saved[i];
            TvFrameUpdateObjects(d->leaves[i]);
        }
}

void HatchUpdate(MV2HatchData* d) {
    float step;
    if (d->state == kMV2HatchOpening) {
        step = MV2FrameStep();
        if (d->angle + step > kHatchOpenAngle) {
            step = kHatchOpenAngle - d->angle;
            d->state = kMV2HatchOpen;
        }
    } else if (d->state == kMV2HatchClosing) {
        step = MV2FrameStep() * -4.0f;
        if (d->angle + step < 0.0f) {
            d->state = kMV2HatchClosed;
            d->angle = 0.0f;
            HatchRestore(d);
            return;
        }
    } else {
        return;
    }
    d->angle += step;
    HatchTurn(d, step);
}

void MoverPlace(MV2Object* object, const TvV3d& at) {
    object->matrix->pos = at;
    MV2SyncObjectFrame(object);
}

void MoverFollowLight(MV2MoverData* d, const TvV3d& at) {
    if (MV2Object* light = MV2GetObjectRef(&d->light)) MoverPlace(light, at);
}

MV2Object* MoverMakeLight() {
    const float origin[3] = {0.0f, 0.0f, 0.0f};
    MV2Object* light = MV2CreateObject(69, origin, nullptr);
    if (!light) return nullptr;
    if (auto* l = static_cast<MV2LightObjectData*>(light->privateData)) {
        l->red = 1.0f;
        l->green = 0.5f;
        l->blue = 0.75f;
        l->radius = 0.5f;
        l->glowSize = 0.5f;
    }
    return light;
}

// Returns 0 when the mover destroyed itself.
intptr_t MoverUpdate(MV2Object* object, MV2MoverData* d, intptr_t p1, intptr_t p2) {
    MV2Object* from = MV2GetObjectRef(&d->from);
    MV2Object* to = MV2GetObjectRef(&d->to);
    if (MV2GetObjectRef(&d->owner) && d->linked && from && to) {
        d->distance += MV2FrameSeconds() * kMoverSpeed;
        if (d->distance < d->length) {
            const TvV3d along = MV2Unit(TvV3dSub(from->matrix->pos, to->matrix->pos));
            const TvV3d at = TvV3dAdd(to->matrix->pos, TvV3dScale(along, d->distance));
            if (gMV2MainCamera && gMV2MainCamera->object.frame) {
                const TvMatrix* eye = TvFrameGetLTM(gMV2MainCamera->object.frame);
                object->matrix->right = eye->right;
                object->matrix->up = eye->up;
                object->matrix->at = eye->at;
            }
            MoverPlace(object, at);
            MoverFollowLight(d, at);
            return MV2ObjectDefaultHandler(object, 2, p1, p2);
        }
    }
    MV2ObjectSendMessage(object, 4, 0, 0);
    return 0;
}

} // namespace

intptr_t MV2Type355Handler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2SwellingShotData));
    auto* d = MV2LevelData<MV2SwellingShotData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2SwellingShotData{};
        d->self = object;
        d->expiry = MV2GameClock() + kMV2ShotLifeMs;
        TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
        d->minimumSize = root ? MV2GetBoundingRadius(root) : 0.0f;
        d->start = object->matrix->pos;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    case 2: return ShotUpdate(object, d, p1, p2);
    case 12:
        if (p2 && object->body)
            object->body->velocity = TvV3dAdd(*reinterpret_cast<const TvV3d*>(p2), object->matrix->at);
        return 1;
    case 13:
        if (p2) *reinterpret_cast<TvV3d**>(p2) = &object->matrix->at;
        return 1;
    case 14:
    case 19: return ShotTouch(object, d, reinterpret_cast<MV2Object*>(p2));
    case 15:
        if (p2) MV2SetObjectRef(&d->owner, reinterpret_cast<MV2Object*>(p2));
        return 1;
    case 16:
        if (p2) *reinterpret_cast<MV2Object**>(p2) = ShotOwner(d);
        return 1;
    case 18:
        ShotBurstNext(d, object);
        MV2PlaySoundAt(&object->matrix->pos, 10.0f, kBurstSound, 0, 0, 0);
        return 0;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2Type392Handler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2HatchData));
    auto* d = MV2LevelData<MV2HatchData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2HatchData{};
        for (int32_t i = 0; i < 2; i++) {
            d->leaves[i] = object->clump ? MV2FindFrameByTag(object->clump, uint32_t(i + 1)) : nullptr;
            if (d->leaves[i]) d->saved[i] = *TvFrameGetMatrix(d->leaves[i]);
        }
        return 1;
    }
    case 63:
        if (p1 == 0) {
            if (d->state != kMV2HatchClosed) d->state = kMV2HatchClosing;
        } else if (d->state != kMV2HatchOpen) {
            d->state = kMV2HatchOpening;
        }
        MV2PlaySoundAt(&object->matrix->pos, 30.0f, kHatchSound, 0, 0, 1000);
        return 1;
    case 2: HatchUpdate(d); return MV2ObjectDefaultHandler(object, 2, p1, p2);
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2Type340Handler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2MoverData));
    auto* d = MV2LevelData<MV2MoverData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2MoverData{};
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 4);
        MV2Object* light = MoverMakeLight();
        if (light) MV2SetObjectRef(&d->light, light);
        MV2ObjectSendMessage(object, 0, 1, 0);
        if (light) MV2ObjectSendMessage(light, 11, 1, 0);
        return 1;
    }
    case 12: {
        // The link is copied: the record belongs to the sender and may not outlive this call.
        const auto* link = reinterpret_cast<const MV2MoverLinkRecord*>(p2);
        if (!link) return 1;
        d->from = {link->from, link->fromHandle};
        d->to = {link->to, link->toHandle};
        d->length = link->length;
        d->linked = 1;
        if (MV2Object* to = MV2GetObjectRef(&d->to)) {
            MoverPlace(object, to->matrix->pos);
            MoverFollowLight(d, to->matrix->pos);
        }
        return 1;
    }
    case 15:
        if (p2) MV2SetObjectRef(&d->owner, reinterpret_cast<MV2Object*>(p2));
        return 1;
    case 2: return MoverUpdate(object, d, p1, p2);
    case 4:
        if (MV2Object* light = MV2GetObjectRef(&d->light)) MV2ObjectSendMessage(light, 4, 0, 0);
        MV2ClearObjectRef(&d->light);
        return MV2ObjectDefaultHandler(object, 4, p1, p2);
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}

intptr_t MV2Weapon83Handler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2) {
    if (message != 57) return MV2StandardWeaponHandler(weapon, message, p1, p2);
    if (p2) *reinterpret_cast<MV2WeaponIcon*>(p2) = {83, kMV2HudColour & 0xFFFFFFu};
    return 1;
}

void MV2RegisterMission35ObjectHandlers() {
    MV2SetObjectTypeHandler(355, MV2Type355Handler);
    MV2SetObjectTypeHandler(392, MV2Type392Handler);
    MV2SetObjectTypeHandler(340, MV2Type340Handler);
    MV2SetWeaponRowHandler(kMV2Weapon83Row, MV2Weapon83Handler);
}
