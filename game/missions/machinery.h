// Sliding machinery (blocks, pistons, lifts switched on and off) and panel doors whose second
// panel slides twice as far.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TpAtomic;
struct TvFrame;

struct MV2SlidingMachineData {
    uint32_t on;
    TvV3d home;
    uintptr_t sound;
    float range; // squared distance from home
    float speed; // per frame step, along the unit axis
    TpAtomic* part; // type 364: the breakable part (tag 2)
};

struct MV2PanelDoorData {
    TvFrame* panel; // tag 2
    float opening;
    TvV3d home;
    TvV3d panelHome;
    intptr_t link; // messages 12 and 13
    float maximum;
    float openTimer; // seconds; the door opens while above 0
    uint32_t holdOpen;
};

intptr_t MV2SlidingMachineHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2PanelDoorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterMachineryHandlers();
