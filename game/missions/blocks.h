// Blocks: ones the player's craft shoves about in the plane they start in, one that slides out
// of its place and vanishes once started, and plain animated ones.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "game/objects/objects.h"

struct TpAtomic;

struct MV2BlockData {
    intptr_t hook;   // message 12 of type 189; kept for the script
    TvMatrix start;  // axes and position at creation
    uint32_t activated;
    uint32_t moving;
    float travelled;
};

intptr_t MV2BlockHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// Clears the block's animate flag when an atomic reaches its next-to-last morph target, then
// hands over to the callback the blocks' geometry had before.
float MV2BlockAnimCallback(TpAtomic* atomic, float position);
void MV2RegisterBlockHandlers();
