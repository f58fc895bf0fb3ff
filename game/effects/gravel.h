// Gravel: tiny glints kicked up by impacts that sink and go as soon as no camera sees them, each
// carried by an invisible clump in the world; and the darting fish (object type 78).
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct TpClump;
struct MV2Object;

inline constexpr int32_t kMV2Grains = 40;
inline constexpr int32_t kMV2FishType = 78;

struct MV2Grain {
    uint32_t active;
    TvV3d velocity; // per frame step
    uint32_t lastSeen;
    uint32_t birthFrame;
    TpClump* clump;
    float size;
    MV2Grain* previous;
    MV2Grain* next;
};

int32_t MV2InitialiseGravel();
void MV2ShutdownGravel();
void MV2ResetGravel();
void MV2CreateGravel(const float* position, const float* velocity);
// The clump callback of a grain, run for the grains in view.
TpClump* MV2UpdateGravel(TpClump* clump, void* data);
void MV2DrawGravel();
// The grain a clone carries, or null.
MV2Grain* MV2FindGrain(const TpClump* clump);
MV2Grain* MV2FirstGrain();

intptr_t MV2FishHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
