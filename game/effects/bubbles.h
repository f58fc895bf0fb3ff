// Bubbles: small rising sprites that wobble, slow in the water and go near the surface, above
// their ceiling or after about five seconds.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

inline constexpr int32_t kMV2Bubbles = 80;

struct MV2Bubble {
    // Bits 0-7 texture variant (1..3, 0 free), 8-23 age (1024 a second), 24-31 size in
    // thousandths of a unit.
    uint32_t packed;
    float ceiling; // removed once it rises above
    uint32_t flags; // bit 0: wobble along z rather than x
    TvV3d position;
    TvV3d velocity; // units per frame step
    MV2Bubble* previous;
    MV2Bubble* next;
};

int32_t MV2InitialiseBubbles();
void MV2ShutdownBubbles();
void MV2ResetBubbles();
// The new bubble, or null outside the in-view update, beyond the far clip or above the water.
MV2Bubble* MV2CreateBubble(const float* position, const float* velocity, float size);
void MV2UpdateBubbles();
void MV2DrawBubbles();
// The live bubbles, newest first, for tests.
MV2Bubble* MV2FirstBubble();
int32_t MV2CountBubbles();
