// The remote vehicle: a small craft (type 167) docked on its carrier; a use launches it and hands
// it the controls, a recall near the dock flies it back in and gives the controls back.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

struct MV2Tool;
struct TvFrame;

inline constexpr int32_t kMV2RovType = 167;
inline constexpr uint32_t kMV2RovDockTag = 808;

struct MV2RovRef {
    MV2ObjectRef vehicle;
    MV2ObjectRef carrier;
};

// Behind the vehicle's submarine data.
struct MV2RovDock {
    TvFrame* dock;
    MV2ObjectRef carrier;
    uint32_t waitUntil; // game clock, ms
    int32_t launched;
    int32_t returning;
    int32_t recallRequest;
    int32_t contact;
};

int32_t MV2RovToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2);
intptr_t MV2RovHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The dock record of a vehicle, or null.
MV2RovDock* MV2GetRovDock(MV2Object* vehicle);
// The recall key of the player's controls.
void MV2SetRovRecallKey(int32_t on);
int32_t MV2GetRovRecallKey();
