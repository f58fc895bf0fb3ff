// Sparks and splats: a four-pointed star flashed on a struck surface for a moment, carried by an
// invisible object so that it lives only while seen.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct TvCamera;
struct MV2Object;

inline constexpr int32_t kMV2Sparks = 25;

struct MV2SparkRecord {
    MV2SparkRecord* next;
    MV2SparkRecord* previous;
    uint32_t birthFrame;
    uint32_t endTime; // game clock ms
    uint32_t grey;    // 0..200
    uint32_t frame;   // 0..2
    uint32_t peakGrey;
    TvV3d centre;
    TvV3d points[4];
    uint32_t textureBase; // 0 spark, 3 splat
    float duration;       // ms
    MV2Object* carrier;
    uint32_t carrierHandle;
};

int32_t MV2InitialiseSparks();
void MV2ShutdownSparks();
// Kind 0 a spark with a ricochet, 1 with a mineral hit, 2 a splat; the sound call's result, or 0
// when no carrier could be made.
int32_t MV2CreateSparks(const float* position, const float* normal, uint32_t kind);
intptr_t MV2SparksHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2DrawSparks(TvCamera* camera);
// The live flashes, newest first, for tests.
MV2SparkRecord* MV2FirstSpark();
