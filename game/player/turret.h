// The deployable turret (type 96): carried folded on the magnet, set down at a mining site or a
// point a mission names, it unfolds, lands upright and guards with two machine guns unless the
// player steers it.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "game/objects/objects.h"

struct TvFrame;
struct TpAtomic;
struct TpIntersection;
struct TpWorldSector;

inline constexpr int32_t kMV2TurretType = 96;

enum MV2TurretState : int32_t {
    kMV2TurretDropped = 0,
    kMV2TurretLanded = 1,
    kMV2TurretDeployed = 2,
    kMV2TurretFolding = 3,
    kMV2TurretFolded = 4,
};

// Behind the submarine data.
struct MV2DeployableTurretData {
    int32_t state;
    TvFrame* fold[3]; // part tags 2, 3, 4
    TvFrame* spare;   // part tag 9, kept hidden
    TvFrame* barrel;  // 8
    TvFrame* mount;   // 6
    TvFrame* gun;     // 1
    int32_t carried;
    TvMatrix rest;
    TpAtomic* barrelAtomic;
    float recoil;
    TvV3d barrelRest;
    int32_t magnets;
    float gunYaw;   // degrees-scale accumulator in [0, 360)
    float gunPitch;
    float dropX, dropZ;
    int32_t dropSet;
    MV2ObjectRef target;
    uint32_t nextTest; // frame clock, ms
    int32_t clearLine;
    uint32_t giveUp; // game clock, ms
};

intptr_t MV2DeployableTurretHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
int32_t MV2DeployableTurretSearchCallback(TpIntersection* intersection, TpWorldSector* sector,
                                          TpAtomic* atomic, float distance, void* data);
MV2DeployableTurretData* MV2GetTurretData(MV2Object* turret);
