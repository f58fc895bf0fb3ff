// A spinning fan that cannot be destroyed, a creature that rises to the water surface now and
// then, and a rocket that flies straight along its up axis until it meets something or 10 s pass.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

struct TvFrame;

struct MV2FanData {
    float spinSpeed;
    TvFrame* blade; // tag 2
    uint32_t spare;
    uintptr_t sound;
};

// Behind the small-creature record.
struct MV2SurfacingData {
    uint32_t state; // 0 swimming, 1 rising, 2 at the surface, 3 going down
    uint32_t next;  // game ms
};

struct MV2StraightRocketData {
    uint32_t fuse; // game ms
    MV2ObjectRef owner;
    float minimumRadius;
};

intptr_t MV2FanHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2SurfacingCreatureHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2StraightRocketHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterFanRocketHandlers();
