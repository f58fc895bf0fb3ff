// Mission rows 34 (the level-11 scarab with its hatchers and attackers) and 15 (the site and
// the type-369 target).
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

inline constexpr int32_t kMV2Mission34Objects = 13;

struct MV2Mission34State {
    uint32_t battleActive;
    MV2ObjectRef attackers[3];
    int32_t hatchersMade;
    uint32_t attackerCount; // running: picks the attackers' goal post in turn
    MV2ObjectRef hiddenObject; // 0x0B00000A, kept out of the world
    MV2Object* objects[kMV2Mission34Objects];
    MV2ObjectHandle handles[kMV2Mission34Objects];
};
extern MV2Mission34State gMV2Mission34;

struct MV2Mission15State {
    uint32_t siteReached;
    MV2ObjectRef sites[2]; // script ids 35 and 36
};
extern MV2Mission15State gMV2Mission15;

// The callback of row 34's objects (bound table, hatchers, attackers, the released object).
void MV2Mission34SwitchHit(MV2Object* object, int32_t value);
// The recovery timer for the boss's hit points over its initial energy: 256, 257 or 258.
int32_t MV2Mission34RecoveryTimer(float ratio);
