// Pirate craft: the pirate brain laid over the SubAI brain.
#pragma once

#include <cstdint>

struct MV2Object;

intptr_t MV2PirateBrain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
