// Three small tools: the attractor that pulls nearby creatures of type 95 towards the player's
// submarine, the plain on/off switch tool, and the burst drive's two-second thrust.
#pragma once

#include <cstdint>

struct MV2Tool;
struct TpIntersection;
struct TpWorldSector;
struct TpAtomic;

struct MV2AttractorData {
    int32_t on;
    int32_t pulled; // objects pulled in the last update
};

// The record handed to the pulled objects (message 28): the centre and the mode (2 pulling).
struct MV2AttractorPullRecord {
    float centre[3];
    int32_t mode;
};

struct MV2BurstData {
    int32_t state; // 0 ready, 1 thrusting, 2 recharging
    uint32_t end;  // game clock, ms
    struct MV2Object* owner;
};

int32_t MV2AttractorToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2);
TpAtomic* MV2AttractorPull(TpIntersection* intersection, TpWorldSector* sector, TpAtomic* atomic,
                           float distance, void* data);
int32_t MV2SwitchToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2);
int32_t MV2BurstToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2);
