// Breakable rocks: rocks that break into a smaller rock and chunks, chunks that expire, and
// floating rocks that bubble and sink into their plain kind.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

// The rock's private record; the three spare words are written by the rescue mission's
// neighbouring scripts.
struct MV2RockData {
    uint32_t keepUntil; // game ms; a chunk lives until then
    uint32_t spare[3];
};

// Rocks 5, 6, 7 and 377, chunks 128-130 and floating rocks 139-141.
intptr_t MV2RescueDebrisHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterRockHandlers();
