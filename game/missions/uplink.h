// The uplink socket (type 183): the player docks by holding it with the magnet and recharges;
// the magnet's head touching it snaps to its contact point and tells a mission script.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct MV2Object;

// Called with 1 on docking and 0 on release.
using MV2DeviceNotify = void (*)(MV2Object* object, int32_t state);

struct MV2UplinkData {
    MV2DeviceNotify callback;
    TvV3d savedFrame[4]; // right, up, at, position at creation
    uint32_t docked;
    uintptr_t sound;
};

intptr_t MV2UplinkHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterUplinkHandler();
