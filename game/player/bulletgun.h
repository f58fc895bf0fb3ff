// The bullet gun and its bullets (type 145), which sweep each step against the world and the
// objects instead of flying under dynamics.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

struct MV2WeaponRecord;
struct TpAtomic;
struct TpIntersection;
struct TpWorldSector;

struct MV2BulletGunData {
    float charge;           // 0 to 1
    float sinceLastShot;    // seconds
};

struct MV2BulletData {
    float life; // seconds of flight left
    MV2ObjectRef owner;
    uintptr_t sound;
    uint32_t destroy;
    int32_t step; // -1 before the first update
};

intptr_t MV2BulletGunHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2BulletHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// Per atomic of the sweep's sphere query; always goes on (1).
int32_t MV2BulletSweepCallback(TpIntersection* intersection, TpWorldSector* sector,
                               TpAtomic* atomic, float distance, void* data);
// 1 when the ray enters the sphere nearer than *best (lowered to the entry distance).
int32_t MV2RaySphereEntry(const float* centre, float radius, const float* start,
                          const float* direction, float* best);
