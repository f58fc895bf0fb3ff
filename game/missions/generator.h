// The industrial generator with its jumping spark, machines that burst into wreckage, and
// rotating machinery (the reactor core and the rotating door among them).
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "game/missions/levelobjects.h"

struct TvFrame;

struct MV2GeneratorState {
    MV2ObjectRef owner;
    uint32_t state; // 0 dead, 1 spark at pole 2, 2 at pole 3
    uint32_t next;  // game ms
    MV2ObjectCallback callback;
    MV2ObjectRef spark;
};

struct MV2DestructibleMachineData {
    MV2ObjectCallback callback;
    uintptr_t sound;
    const TvMatrix* anchor;
    uint32_t nextExplosion; // 0 while intact
    int32_t left;
};

struct MV2RotatingMachineState {
    MV2ObjectCallback reactorCallback;
    uint32_t reactorDead;
    uint32_t reactorNext;
    uintptr_t reactorSound;
    float doorSpeed;
    uint32_t doorSpinningDown;
    uintptr_t doorSound;
};

MV2GeneratorState* MV2GetGeneratorState();
MV2RotatingMachineState* MV2GetRotatingMachineState();
intptr_t MV2GeneratorHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2DestructibleMachineHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2RotatingMachineHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterGeneratorHandlers();
