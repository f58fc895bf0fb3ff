// Mission rows 37 (the spore chase from level 0 through level 3 to level 6) and 11 (the city,
// the equipment and the way to level 1), with the spores' leash handler and the console hook.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct MV2Mission37State {
    uint32_t inLevel3;
    uint32_t chaseStarted;
    uint32_t chaseOver;
    int32_t sporeWeight; // a large spore counts 2, a small one 1
    int32_t chaseTrack;  // -1 before the console was left
    uint32_t chaseStartMs;
    TvV3d home;
    TvV3d spawn;
    MV2ObjectRef boss;
    TvV3d ceiling;
};
extern MV2Mission37State gMV2Mission37;

struct MV2Mission11State {
    uint32_t cityEntered;
    uint32_t targetDestroyed;
    uint32_t level1Reached;
    MV2ObjectRef escort;
    MV2ObjectRef beacon;
    MV2ObjectHandler savedHandler;
};
extern MV2Mission11State gMV2Mission11;

intptr_t MV2SporeLeashHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2Mission11ConsoleHook(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// Puts the console hook back to the saved handler (row 11's shut-down).
void MV2Mission11RemoveConsoleHook();
