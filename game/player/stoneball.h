// The rolling stone ball: a level hazard that rolls round four way-points while a rumble plays
// and wears down the player's craft while it touches it.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

// One record that every stone ball uses: a second ball shares the first one's route.
struct MV2StoneBallData {
    int32_t running;
    MV2ObjectRef waypoints[4];
    int32_t index; // 0..3
    uintptr_t sound;
};

intptr_t MV2WaypointStoneBallHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// Gives the ball its four way-points (objects and handles); 0 when the object is not a ball.
int32_t MV2SetStoneBallWaypoints(MV2Object* ball, MV2Object* const waypoints[4]);
// The shared record (for missions that hand the ball its way-points, and for tests).
MV2StoneBallData* MV2GetStoneBallData();
