// The carrier brain: a craft with a hold of up to ten cargo types that opens two doors and
// drops its cargo one by one.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

struct TvFrame;

inline constexpr int32_t kMV2CarrierSlots = 10;
inline constexpr uint32_t kMV2EmptyCargo = 461;

struct MV2CarrierData {
    uint32_t cargo[kMV2CarrierSlots]; // object types; 461 empty
    MV2ObjectRef released[kMV2CarrierSlots];
    float forgetTimer; // seconds
    TvFrame* leftDoor;  // tagged 7
    TvFrame* rightDoor; // tagged 8
    TvFrame* releasePoint; // tagged 400
    uint32_t doorsOpen;
    int32_t nextRelease; // game ms
    uint32_t keepLevel;
};

intptr_t MV2CarrierBrain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2ShutdownCarriers();
