// Level objects that act like small creatures or draw them: burrow mouths and their biting
// tongue, lures and the red-lit lure beacon, the dragonfly, membranes, the comms beacon and the
// bubble-trailing craft.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/missions/levelobjects.h"

struct TpAtomic;
struct TvFrame;

struct MV2BurrowData {
    MV2ObjectRef tongue;
    TvFrame* part1;
    TvFrame* part2;
};

struct MV2BurrowTongueData {
    uint32_t state; // 0 dormant, 1 biting, 2 out, 3 retreating
    uint32_t value8; // the type's word 8, kept
    uint32_t next;   // ms
    TvV3d tip;
};

struct MV2LureData {
    TvV3d anchor;
    uint32_t next; // ms
    TvV3d target;
    uint32_t kind; // 1 plants, 3 the beacon
    MV2ObjectRef light;
    TvFrame* part; // tag 2 (the beacon)
    uintptr_t sound;
};

struct MV2DragonflyData {
    uint32_t state; // 0 steering, 1 dashing
    uint32_t next;  // game ms
    TvV3d home;
    TvV3d wander;
    MV2ObjectRef target;
    float dash;
    uintptr_t sound;
    int32_t soundId;
};

struct MV2MembraneData {
    uint32_t dissolveOrdered;
    uint32_t dissolving;
    uint32_t finished;
    uint32_t struckHard;
    uint32_t bouncing;
};

intptr_t MV2BurrowHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2BurrowTongueHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2LureHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2DragonflyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2MembraneHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2CommsBeaconHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2BubbleCraftHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
float MV2BurrowTongueAnimCallback(TpAtomic* atomic, float position);
float MV2DragonflyWingCallback(TpAtomic* atomic, float position);
float MV2MembraneAnimCallback(TpAtomic* atomic, float position);
// The lure's fish count as its pull: clamp(count x 0.05, 0.001, 1.0).
float MV2LurePull(int32_t count);
void MV2RegisterCreaturePropHandlers();
