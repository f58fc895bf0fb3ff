// The machine gun: a hitscan gun whose hits fall off with distance, with sparks, scorches and
// a tracer for every shot and a looped sound while the trigger is held.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

struct MV2WeaponRecord;

struct MV2MachineGunData {
    uintptr_t sound; // its own looped-sound variable (the player's gun uses a shared one)
    uint32_t firing;
    MV2ObjectRef owner;
    uint32_t playersGun;
};

intptr_t MV2MachineGunHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1, intptr_t p2);
