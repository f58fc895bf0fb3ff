// Mission row 4: three raiders at the base.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

inline constexpr int32_t kMV2Mission4Raiders = 3;

struct MV2Mission4State {
    int32_t raidersKilled;
    int32_t tickCount; // raiders spawned while spawning; afterwards seconds of the approach
    MV2ObjectRef spawnCentre;
    MV2ObjectRef baseTarget;
    uint32_t missionDone;
    uint32_t engaged;
    uint32_t beaconOn;
    MV2ObjectRef raiders[kMV2Mission4Raiders];
    MV2ObjectRef craftAttacker;
    MV2ObjectRef playerAttacker;
    uint32_t craftARetreated;
    uint32_t awaitingConsole;
};
extern MV2Mission4State gMV2Mission4;

// Destroys every object of the type; objects that survive their destruction are stepped over.
void MV2Mission4DestroyAllOfType(int32_t type);
