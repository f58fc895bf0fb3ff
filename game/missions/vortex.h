// The vortex (type 361): draws the player's craft in within 25 units, drains it in front and
// kills it behind within 10; dressed with a flickering light, a spinning part and a dirt column
// along its axis.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

struct TvFrame;

inline constexpr int32_t kMV2VortexType = 361;

struct MV2VortexData {
    TvFrame* spin; // part tag 6
    MV2ObjectRef light;
    MV2ObjectRef column;
    uintptr_t sound;
};

// The share of the full pull at a squared distance: (1 - 0.0016 d2)^2 inside 25 units, else 0.
float MV2VortexPullShare(float squaredDistance);
intptr_t MV2VortexHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterVortexHandler();
