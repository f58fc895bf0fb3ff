// The machine gun.
#include "game/player/machinegun.h"

#include "engine/core/memory.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/effects/effects.h"
#include "game/objects/clumpdata.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"
#include "game/player/shots.h"
#include "game/player/weapons.h"
#include "platform/crt/crt.h"
#include "shell/errors.h"

namespace {

constexpr uint32_t kHudStandard = (97u << 16) | (189u << 8) | 255u;
constexpr float kRange = 50.0f;

TvFreeList* g_data = nullptr;
uintptr_t g_sharedSound = 0; // the player's gun's looped sound

uintptr_t* SoundVariable(MV2MachineGunData* d) {
    return d->playersGun ? &g_sharedSound : &d->sound;
}

float Scatter() {
    return (float(PlatformRand() & 0x7ff) * 0.0009770396f - 1.0f) * 0.08f;
}

void StopLoop(MV2MachineGunData* d, MV2Object* owner) {
    const char* name = d->playersGun ? "PLAYERMACHINEGUNLOOP" : "MACHINEGUNLOOP";
    MV2StopObjectSound(owner, MV2ShotSound(name), SoundVariable(d));
}

void Shot(MV2MachineGunData* d, const MV2CreationRecord* record) {
    if (!record || !record->matrix) return;
    const TvMatrix& m = *record->matrix;
    MV2Object* owner = MV2GetObjectRef(&d->owner);
    const float s1 = Scatter(), s2 = Scatter();
    const TvV3d start = TvV3dAdd(m.pos, TvV3dAdd(TvV3dScale(m.right, s1), TvV3dScale(m.up, s2)));
    // Without a live owner the line starts from the spawn point itself.
    const TvV3d from = owner ? owner->matrix->pos : m.pos;
    TvV3d end = TvV3dAdd(from, TvV3dScale(m.at, kRange));
    TvV3d point{}, normal{};
    float distance = kRange;
    TpAtomic* atomic = nullptr;
    if (MV2TraceLine(TpWorldGetCurrent(), &start, &end, &point, &normal, &distance, &atomic, owner)) {
        MV2Object* struck = atomic ? MV2GetClumpObject(TpAtomicGetClump(atomic)) : nullptr;
        float hit[3], along[3];
        MV2ShotPoint(point, hit);
        MV2ShotPoint(normal, along);
        uint32_t material;
        if (struck) {
            MV2DamageObject(owner, struck, hit, (1.2f - distance * 0.02f) * 4.0f, 1);
            material = MV2ShotMaterialClass(struck);
        } else {
            if (PlatformRand() & 1) MV2AddScorch(hit, 0.07f, 0);
            material = uint32_t(MV2ShotMineralLevel());
        }
        MV2CreateSparks(hit, along, material);
        end = point;
    } else {
        distance = kRange;
    }
    const TvV3d direction = MV2ShotUnit(TvV3dSub(end, start));
    float tracerStart[3], tracerDirection[3];
    MV2ShotPoint(TvV3dAdd(start, TvV3dScale(direction, 0.3f)), tracerStart);
    MV2ShotPoint(direction, tracerDirection);
    MV2CreateTracer(tracerStart, tracerDirection, distance - 0.3f);
    d->firing = 1;
}

} // namespace

intptr_t MV2MachineGunHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = weapon ? static_cast<MV2MachineGunData*>(weapon->handlerData) : nullptr;
    switch (message) {
    case 3: {
        if (!weapon) return 0;
        d = static_cast<MV2MachineGunData*>(MV2ShotGunDataAlloc(&g_data, sizeof(MV2MachineGunData), "Could not create free list for machine gun",
                                                 "Machinegun data alloc error"));
        if (!d) return 0;
        *d = MV2MachineGunData{};
        auto* owner = reinterpret_cast<MV2Object*>(p2);
        if (owner) MV2SetObjectRef(&d->owner, owner);
        d->playersGun = owner && owner == MV2GetPlayerObject();
        if (d->playersGun) g_sharedSound = 0;
        weapon->handlerData = d;
        return 1;
    }
    case 2:
        if (d && d->firing)
            if (MV2Object* owner = MV2GetObjectRef(&d->owner)) {
                const char* name = d->playersGun ? "PLAYERMACHINEGUNLOOP" : "MACHINEGUNLOOP";
                MV2StartObjectSound(owner, MV2ShotSound(name), SoundVariable(d), 0, 1000);
            }
        return 1;
    case 10:
        if (p1 == 1) return 0;
        if (!d) return 1;
        if (d->owner.object && !MV2GetObjectRef(&d->owner)) return 1; // the owner has died
        Shot(d, reinterpret_cast<const MV2CreationRecord*>(p2));
        return 1;
    case 64:
        if (d && d->firing)
            if (MV2Object* owner = MV2GetObjectRef(&d->owner)) {
                d->firing = 0;
                StopLoop(d, owner);
                MV2ShotPlayAt(owner->matrix->pos, 1.0f, "MACHINEGUNSHOT", 0);
            }
        return 1;
    case 4:
        if (d) {
            if (MV2Object* owner = MV2GetObjectRef(&d->owner); owner && d->firing) StopLoop(d, owner);
            TvFreeListFree(g_data, d);
        }
        if (weapon) weapon->handlerData = nullptr;
        return 1;
    case 57:
        if (p2) *reinterpret_cast<MV2WeaponIcon*>(p2) = {30, kHudStandard};
        return 1;
    default: return MV2StandardWeaponHandler(weapon, message, p1, p2);
    }
}
