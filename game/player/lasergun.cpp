// The laser gun and the stinger (type 258).
#include "game/player/lasergun.h"

#include "engine/core/frame.h"
#include "engine/core/memory.h"
#include "game/creatures/creatures.h"
#include "game/creatures/submarines.h"
#include "game/effects/effects.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objecttypes.h"
#include "game/objects/water.h"
#include "game/player/player.h"
#include "game/player/shots.h"
#include "game/player/weapons.h"
#include "shell/errors.h"

namespace {

constexpr uint32_t kHudStandard = (97u << 16) | (189u << 8) | 255u;

TvFreeList* g_data = nullptr;

TvFrame* Mount(const MV2WeaponRecord* weapon) {
    auto* sub = static_cast<MV2SubData*>(weapon->ownerData);
    if (!sub || weapon->mount < 0 || weapon->mount > 3) return nullptr;
    return sub->mounts[weapon->mount];
}

// The beam runs 30 units along the mount's forward axis (the owner's own without a mount).
void AimBeam(const MV2WeaponRecord* weapon, MV2LaserGunData* d, MV2Object* owner) {
    const TvMatrix* m = owner->matrix;
    TvV3d start = m->pos;
    TvV3d at = m->at;
    if (TvFrame* mount = Mount(weapon)) {
        const TvMatrix* world = TvFrameGetLTM(mount);
        start = world->pos;
        at = world->at;
    }
    d->beamStart = start;
    d->beamEnd = TvV3dAdd(owner->matrix->pos, TvV3dScale(at, 30.0f));
}

void StopFiring(MV2LaserGunData* d) {
    MV2Object* owner = MV2GetObjectRef(&d->owner);
    if (!owner || !d->firing) return;
    d->firing = 0;
    MV2StopObjectSound(owner, MV2ShotSound("LASER"), &d->sound);
    MV2RemoveBeam(d->beamId);
    d->beamId = 0;
}

} // namespace

intptr_t MV2LaserGunHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = weapon ? static_cast<MV2LaserGunData*>(weapon->handlerData) : nullptr;
    switch (message) {
    case 3: {
        if (!weapon) return 0;
        d = static_cast<MV2LaserGunData*>(MV2ShotGunDataAlloc(&g_data, sizeof(MV2LaserGunData), "Could not create free list for laser gun",
                                                 "LaserGun data alloc error"));
        if (!d) return 1;
        *d = MV2LaserGunData{};
        d->charge = 1.0f;
        if (auto* owner = reinterpret_cast<MV2Object*>(p2)) MV2SetObjectRef(&d->owner, owner);
        weapon->handlerData = d;
        return 1;
    }
    case 2: {
        MV2Object* owner = d ? MV2GetObjectRef(&d->owner) : nullptr;
        if (!owner) return 1;
        if (!d->firing) {
            d->charge += MV2ShotFrameSeconds() * 0.08f;
            if (d->charge > 1.0f) d->charge = 1.0f;
        } else {
            d->charge -= MV2ShotFrameSeconds() * 0.1f;
            if (d->charge >= 0.0f) {
                MV2StartObjectSound(owner, MV2ShotSound("LASER"), &d->sound, 0, 1000);
                AimBeam(weapon, d, owner);
            } else {
                d->charge = 0.0f;
                StopFiring(d);
            }
        }
        return MV2StandardWeaponHandler(weapon, message, p1, p2);
    }
    case 10: {
        if (p1 == 1) return 0;
        if (!d) return 1;
        MV2Object* owner = MV2GetObjectRef(&d->owner);
        if (d->owner.object && !owner) return 1;
        if (!d->firing && d->charge > 0.05f && owner) {
            d->firing = 1;
            AimBeam(weapon, d, owner);
            d->beamId = MV2CreateBeam(&d->beamStart, &d->beamEnd, 0.05f, 2, 0x166);
            MV2SetBeamSource(d->beamId, owner);
        }
        return 1;
    }
    case 64:
        if (d) StopFiring(d);
        return 1;
    case 4:
        if (d) {
            StopFiring(d);
            TvFreeListFree(g_data, d);
        }
        if (weapon) weapon->handlerData = nullptr;
        return 1;
    case 57:
        if (p2) *reinterpret_cast<MV2WeaponIcon*>(p2) = {31, kHudStandard};
        return 1;
    case 60:
        if (p2) *reinterpret_cast<float*>(p2) = d ? d->charge : 0.0f;
        return 1;
    default: return MV2StandardWeaponHandler(weapon, message, p1, p2);
    }
}

intptr_t MV2StingerHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2ShotAnswerSize(p2, sizeof(int32_t));
    auto* expiry = static_cast<int32_t*>(object->privateData);
    switch (message) {
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        if (expiry) *expiry = int32_t(MV2ShotClock()) + 10000;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return result;
    }
    case 2: {
        MV2ShotSyncFrame(object);
        if (object->energy <= 0.0f) {
            MV2CreateDebris(object);
            float position[3];
            MV2ShotPoint(object->matrix->pos, position);
            MV2AddScorch(position, 1.5f * object->radius, 2);
            MV2ObjectSendMessage(object, 4, 1, 0);
            return 1;
        }
        TvMatrix* m = object->matrix;
        const float step = MV2ShotFrameStep();
        float depth = 0.0f;
        const bool haveDepth = MV2GetWaterDepth(&m->pos, &depth) != 0;
        const bool above = haveDepth ? depth <= 0.0f : m->pos.y >= MV2GetWaterHeight(&m->pos);
        if (above) {
            MV2ShotTurn(m, m->right, step * m->up.y * 2.5f);
            if (object->body) object->body->velocity.y -= step * 0.01f;
        } else if (MV2Object* craft = MV2GetPlayerObject()) {
            const TvV3d d = MV2ShotUnit(TvV3dSub(craft->matrix->pos, m->pos));
            MV2ShotTurn(m, m->up, TvV3dDot(m->right, d) * step * 5.0f);
            MV2ShotTurn(m, m->right, TvV3dDot(m->up, d) * step * -5.0f);
            if (object->body)
                object->body->velocity =
                    TvV3dAdd(object->body->velocity, TvV3dScale(m->at, step * 0.003f));
        }
        MV2ShotSyncFrame(object);
        return MV2ObjectDefaultHandler(object, 2, p1, p2);
    }
    case 14:
    case 19: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (other && other == MV2GetPlayerObject()) other->energy -= 0.02f;
        return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
    case 80: return 1;
    default: return MV2ObjectDefaultHandler(object, message, p1, p2);
    }
}
