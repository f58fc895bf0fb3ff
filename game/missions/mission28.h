// The script of mission row 28: after a briefing and a cut-scene, a timed run down level 0's
// rock shaft in a turret craft held at an anchor while rocks come up the shaft, then the hand-over
// to an amphibious craft.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

inline constexpr int32_t kMV2ShaftRunMs = 75000;

struct MV2Mission28State {
    MV2ObjectRef rig;    // type 4, carrying the turret mount
    MV2ObjectRef craft;  // type 15, flown during the run
    MV2ObjectRef anchor; // 0x0004029A
    int32_t elapsed;     // ms of run time
    uint32_t nextSpawn;  // frame system clock ms
    uintptr_t sound;
};
extern MV2Mission28State gMV2Mission28;

// What an obstacle of the run keeps at the head of its private data.
struct MV2ShaftObstacle {
    float speed; // shaft units per frame step
    TvV3d shaft; // across, up, along the shaft
};

// The scroll speed of the shaft after `elapsed` ms of the run (before the 0.1 added to it).
float MV2ShaftScrollSpeed(int32_t elapsed);
intptr_t MV2Mission28CraftHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2Mission28ObstacleHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
