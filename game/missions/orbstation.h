// The energy orb station (type 264), whose swarm of orbs restores its target's energy, and the
// turning antenna (type 14).
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/missions/levelobjects.h"

struct TvFrame;
struct TvTexture;

inline constexpr int32_t kMV2StationOrbs = 20;

struct MV2OrbStationData {
    float reach;
    uint32_t inRange;
    int32_t emitted; // 0..20
    float accumulator;
    uint32_t fadeEnd; // game ms, 0 when not fading
    MV2ObjectRef glow;
    MV2ObjectCallback callback;
    MV2ObjectRef target;
};

struct MV2StationOrb {
    uint32_t live; // an explicit flag: an orb born at game time 0 is live
    uint32_t birth; // game ms
    TvV3d position;
    TvV3d velocity;
};

// The pool all stations share.
struct MV2OrbPool {
    MV2StationOrb orbs[kMV2StationOrbs];
    int32_t freeIndex;
    uint32_t lastUpdate;
    int32_t liveStations;
    uint32_t resetPending; // the next created station clears the pool
    MV2ObjectRef active; // the station that emits
};
extern MV2OrbPool gMV2OrbPool;

struct MV2AntennaData {
    TvFrame* frame; // tag 2
    uintptr_t sound;
    float stored;
};

intptr_t MV2OrbStationHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2AntennaHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// Draws the live orbs as flickering, shrinking fogged sprites (the effect pass).
void MV2DrawStationOrbs(TvTexture* texture);
// Level start: the pool is cleared by the next station made.
void MV2ResetOrbPool();
void MV2RegisterOrbStationHandlers();
