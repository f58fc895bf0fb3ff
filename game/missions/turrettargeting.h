// Turret craft targeting: a craft with a turret picks its own target within 30 units, keeps
// the turret pointed at it, closes in and fires while the target stays in sight.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TvMatrix;

struct MV2TurretTargetRecord {
    MV2ObjectRef target;
    float scanTimer;  // seconds
    float sightTimer; // seconds
    TvMatrix* turretMatrix;
};

// The scan's best candidate, filled by the atomic callback.
struct MV2TurretScan {
    MV2Object* craft;
    MV2Object* best;
    float bestDistance;
};
extern MV2TurretScan gMV2TurretScan;

void MV2ClearTargetRecord(MV2TurretTargetRecord* record);
// One update of the craft's targeting; it ends with the craft's fire (10) or stop (64).
void MV2TurretTrackTarget(MV2Object* craft, MV2TurretTargetRecord* record);
// Turns the turret toward the world direction, at most 60 degrees a second.
void MV2TurretAim(MV2Object* craft, MV2TurretTargetRecord* record, const TvV3d* direction);
