// The homing launcher and its missiles (type 394): a fan of three that wait, pick the best
// hostile targets ahead in turn, turn towards them and home; they burst on the world or the
// first object they meet and sink once burnt out.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct MV2WeaponRecord;
struct TvFrame;

struct MV2HomingTarget {
    MV2Object* object;
    float score; // -1.0e9 when empty
};

struct MV2HomingMissile {
    int32_t state; // 0 waiting, 1 seeking, 2 turning, 3 homing, 4 burnt out
    int32_t created; // game ms
    MV2ObjectRef owner;
    uint32_t exploded;
    uintptr_t sound;
    TvFrame* spinner;
    float minimumRadius;
    MV2ObjectRef target;
    int32_t nextTime; // game ms
    TvV3d lastPosition;
    TvV3d startDirection;
};

intptr_t MV2HomingLauncherHandler(MV2WeaponRecord* weapon, int32_t message, intptr_t p1,
                                  intptr_t p2);
intptr_t MV2HomingMissileHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// Fills the shared target list from the object's point of view.
void MV2FindHomingTargets(MV2Object* object);
const MV2HomingTarget* MV2GetHomingTargets();
// Bursts the missile at the fraction of its last step.
void MV2HomingMissileBurst(MV2Object* missile, const float* fraction);
