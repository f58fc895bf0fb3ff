// Tracers: the thin slivers of machine-gun shots that run along the line of fire at 50 units a
// second for half a second or until they reach the end of the line.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

inline constexpr int32_t kMV2Tracers = 20;

struct MV2Tracer {
    uint32_t expiry; // game clock ms; 0 while free
    TvV3d start;
    TvV3d direction; // unit
    float length;    // distance that may be run
    MV2Tracer* previous;
    MV2Tracer* next;
};

int32_t MV2InitialiseTracers();
// Returns every live tracer to the free list (level reset).
void MV2ResetTracers();
// Nothing when the line is 1.0 long or shorter; a full pool reuses the tracer that ends first.
void MV2CreateTracer(const float* start, const float* direction, float length);
void MV2UpdateTracers();
void MV2DrawTracers();
// The live tracers, newest first, for tests.
MV2Tracer* MV2FirstTracer();
int32_t MV2CountTracers();
