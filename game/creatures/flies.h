// Flies (types 63 and 77), maggots (type 21) and the staged animation object (type 132). Their
// timers run on the frame clock.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TpAtomic;

using MV2ObjectCallback = void (*)(MV2Object* object, int32_t value);

struct MV2MaggotFlyData {
    uint32_t backOffUntil; // frame clock ms
    uintptr_t sound;       // the looped "FLY"
    MV2ObjectCallback deathCallback;
    uint32_t nextDrop; // frame clock ms
    int32_t triggered;
    int32_t perched;
    TvV3d anchor;
    MV2ObjectRef targets[3]; // written by the owning mission through MV2SetFlyTargets
    MV2ObjectRef current;
    float savedEnergy;
};

struct MV2MaggotData {
    uint32_t backOffUntil;    // frame clock ms
    uint32_t lastGroundFrame; // frame counter at the last impact
};

struct MV2StagedAnimData {
    uint32_t holdUntil; // frame clock ms
    MV2ObjectCallback stageCallback;
    int32_t stage;
};

intptr_t MV2MaggotFlyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
float MV2MaggotFlyWingCallback(TpAtomic* atomic, float position);
intptr_t MV2MaggotHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
float MV2MaggotKeyCallback(TpAtomic* atomic, float position);
intptr_t MV2StagedAnimHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);

// The key after the finished key `k`, -1 to play key `k` again. The wing rule swaps the shown
// wing atomic at keys 2 and 3 (*show is then 1 or 2: the part tag drawn).
int32_t MV2FlyWingNextKey(int32_t k, int32_t* show);
// The maggot's rule without its lunge: key 3 goes to 0 (the lunge picks 4 itself).
int32_t MV2MaggotNextKey(int32_t k);

// The mission's writes into a type-63 fly: its three targets and its current target (index
// 0..2, or -1 for none). Null targets and dead ones are skipped by the fly, which then hovers.
void MV2SetFlyTargets(MV2Object* fly, MV2Object* a, MV2Object* b, MV2Object* c, int32_t current);
void MV2RegisterFlyHandlers();
