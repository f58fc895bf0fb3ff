// The rammer fish: an ambient creature that charges the player's craft and rams it.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

// Rammer flags.
inline constexpr uint32_t kMV2RammerInRange = 1u << 0;
inline constexpr uint32_t kMV2RammerCharging = 1u << 1;

// Kept behind the shared creature record.
struct MV2RammerRecord {
    MV2ObjectRef target; // given by message 33
    float thrust;
    int32_t backOffUntil; // game ms
    uint32_t spareTimer;
    uint32_t flags;
};

intptr_t MV2RammerHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterRammerHandlers();
