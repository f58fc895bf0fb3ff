// The script of mission row 38 on level 6: nine highlighted steps with fights between them
// (craft released from holders, spore waves, pulsating eggs) and sparks running along links.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TpClump;

inline constexpr int32_t kMV2Mission38Steps = 9;
inline constexpr int32_t kMV2Mission38Links = 3;

struct MV2SparkLink {
    MV2ObjectRef from;
    MV2ObjectRef to;
    MV2ObjectRef runner;
    uint32_t start; // game ms
    int32_t travel; // ms
    int32_t pause;  // ms
    uint32_t arc;   // 0: none
};

struct MV2Mission38State {
    int32_t phase; // 0..8
    uint32_t phaseStart;
    MV2ObjectRef step;
    int32_t currentStep;
    uint32_t passSide;
    uint32_t passed;
    uint32_t nextTimer; // 0: none
    MV2SparkLink links[kMV2Mission38Links];
    int32_t linkCount;
    uint32_t blink;
    int32_t index;
    int32_t live;
    int32_t shotsLeft; // also the pushes left while a craft is released
    int32_t releases;
    TvV3d push;
    MV2ObjectRef held[5]; // phase 3: the craft being released; phase 7: the eggs
};
extern MV2Mission38State gMV2Mission38;

void MV2Mission38ShowStep(int32_t step, int32_t highlight, int32_t show, int32_t objective,
                          int32_t passMode, uint32_t nextTimer);
int32_t MV2Mission38AddSparkLink(int32_t fromId, int32_t toId, int32_t travelMs, int32_t pauseMs);
TpClump* MV2Mission38KillSpore(TpClump* clump, void* data);
