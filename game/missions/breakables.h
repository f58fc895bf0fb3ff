// Breakable props, settling crates, floating charges and skipping charges.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/missions/levelobjects.h"

struct MV2FloatingChargeData {
    float age; // seconds
    float lifetime;
    MV2ObjectRef owner;
    uint32_t explode;
    float radius; // of its root atomic
};

struct MV2SkippingChargeData {
    MV2Object* self;
    uint32_t end; // game ms
    float highestRise;
    MV2ObjectRef owner;
    float minimumRadius;
    float thrust;
    uint32_t airborne;
    TvV3d previous;
};

intptr_t MV2BreakableHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2FloatingChargeHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2SkippingChargeHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2CrateSoundHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterBreakableHandlers();
