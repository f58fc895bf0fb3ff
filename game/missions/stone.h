// The turning stone (type 190): a stone on the race track held at its place that the player
// turns with the magnet; once it stands upright it settles, tells its callback and stays so.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/missions/levelobjects.h"

// Each stone's own record.
struct MV2StoneData {
    MV2ObjectCallback callback;
    TvV3d start;
    int32_t settled;
    uintptr_t sound; // the looped drag sound's slot
    TvV3d lastAt;
};

intptr_t MV2StoneHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterStoneHandler();
