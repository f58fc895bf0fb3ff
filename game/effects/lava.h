// Lava blobs: while switched on, bursts of glowing blobs thrown up from a source point that
// drift toward the viewer and fade, drawn additively.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

inline constexpr int32_t kMV2LavaBlobs = 100;

struct MV2LavaBlob {
    TvV3d position;
    TvV3d velocity; // units per frame tick
    float size;     // 1.25..3.75
    uint32_t start; // game clock ms; the blob waits until then
    uint32_t end;   // game clock ms; 0 when free
};

struct MV2LavaEmitter {
    uint32_t on;
    TvV3d source;
    uint32_t nextBurst; // game clock ms
    uint32_t ring;      // the next record written
};
extern MV2LavaBlob gMV2LavaBlobs[kMV2LavaBlobs];
extern MV2LavaEmitter gMV2LavaEmitter;

// 0 when the texture lavablob is missing.
int32_t MV2InitialiseLavaBlobs();
void MV2ShutdownLavaBlobs();
// Clears the blobs in flight and starts bursting at once.
void MV2StartLavaBlobs(const float* position);
void MV2StopLavaBlobs();
void MV2UpdateLavaBlobs();
void MV2DrawLavaBlobs();
