// Scorches: burns laid on the world where explosions and shots hit, each carried by an invisible
// object so that it lives only while seen, and drawn through the projection volume.
#pragma once

#include <cstdint>

struct TvTexture;
struct MV2Object;

inline constexpr int32_t kMV2Scorches = 10;
// Flags of a scorch: the red or green texture.
inline constexpr uint32_t kMV2ScorchRed = 1;
inline constexpr uint32_t kMV2ScorchGreen = 2;
// The invisible carrier object type.
inline constexpr int32_t kMV2CarrierType = 42;

struct MV2ScorchRecord {
    uint32_t active;
    uint32_t endTime;   // game clock ms
    uint32_t startTime; // game clock ms; age key
    MV2Object* object;  // the carrier
    uint32_t handle;
    float size;
    TvTexture* texture;
    uint32_t flags;
    MV2ScorchRecord* previous;
    MV2ScorchRecord* next;
};

int32_t MV2InitialiseScorches();
void MV2ShutdownScorches();
void MV2ResetScorches();
// 1, also when nothing is added because the point is beyond the far clip; 0 when no world
// triangle lies near.
int32_t MV2AddScorch(const float* position, float size, uint32_t flags);
intptr_t MV2ScorchObjectHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2DrawScorches();

// The active scorches, newest first, for tests.
MV2ScorchRecord* MV2FirstScorch();
// The drawn half size of a scorch at the game clock: shrinking over its last 5000 ms.
float MV2ScorchDrawnSize(const MV2ScorchRecord* record, uint32_t clock);
