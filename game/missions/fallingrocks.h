// Falling rocks (types 365 large, 366 medium, 367 small): tumbling rocks that sink through the
// water, fall faster above it, hurt what they hit and break into smaller rocks.
#pragma once

#include <cstdint>

struct MV2Object;

// The weight a rock keeps in its private-data word, 192..445.
intptr_t MV2FallingRockWeight(const MV2Object* rock);
intptr_t MV2FallingRockHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterFallingRockHandlers();
