// The slow shuttle (type 345): moves between where it was made (A) and a place a script gives
// (B) in 45-second eased trips, can be paused, and tells a hooked function and up to two linked
// objects when it arrives.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

inline constexpr int32_t kMV2ShuttleType = 345;
inline constexpr uint32_t kMV2ShuttlePaused = 0x10000;
inline constexpr uint32_t kMV2ShuttleTripMs = 45000;

enum MV2ShuttleState : uint32_t {
    kMV2ShuttleToA = 0,
    kMV2ShuttleAtA = 1,
    kMV2ShuttleToB = 2,
    kMV2ShuttleAtB = 3,
};

using MV2ShuttleNotify = void (*)(MV2Object* shuttle, int32_t state);

struct MV2ShuttleData {
    MV2ShuttleNotify notify;
    uint32_t state; // low 16 bits the state, kMV2ShuttlePaused
    TvV3d a, b;
    uint32_t tripStart, tripEnd, lastUpdate; // game ms
    MV2ObjectRef links[2]; // dead links are skipped
    uintptr_t sound;
};

intptr_t MV2ShuttleHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterShuttleHandler();
