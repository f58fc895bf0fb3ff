// The laser gun, which keeps a beam from its mount while the trigger is held and drains a
// charge, and the stinger (type 258) that swims at the player's craft.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct MV2WeaponRecord;

struct MV2LaserGunData {
    uint32_t firing;
    float charge; // 0 to 1
    MV2ObjectRef owner;
    TvV3d beamStart;
    TvV3d beamEnd;
    uint32_t beamId;
    uintptr_t sound;
};

intptr_t MV2LaserGunHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2StingerHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
