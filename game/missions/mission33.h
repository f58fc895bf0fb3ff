// Mission row 33: level 10's deliveries. The player brings two items to the deposit, the
// switches raise six chaser flies whose defeat opens the way on, and the exit switch leads
// into level 11.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

inline constexpr int32_t kMV2Mission33Objects = 26;

struct MV2Mission33State {
    uint32_t deliveryReadyAtMs; // game time before which the deposit takes no further item
    int32_t itemsDelivered;
    uint32_t sequenceStarted;
    int32_t type77Reports;
    uint32_t deliveryDone;
    MV2ObjectRef flies[6]; // the type-77 objects the two switches raise, three each
    MV2Object* objects[kMV2Mission33Objects];
    MV2ObjectHandle handles[kMV2Mission33Objects];
};
extern MV2Mission33State gMV2Mission33;

// The callback of row 33's bound objects and of the flies it raises.
void MV2Mission33SwitchHit(MV2Object* object, int32_t value);
// The callback of row 33's deposit and camera triggers (the touch sensors' form).
void MV2Mission33ProximityHit(MV2Object* trigger, MV2Object* other);
