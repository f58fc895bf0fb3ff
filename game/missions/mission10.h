// Mission row 10: the rescue of three stranded craft with their time limits, two of them pinned
// under rock wreckage that the player pulls away with the magnet, and the handler that keeps
// the nine rescue objects pinned until they are freed.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "shell/resfile.h"

struct MV2Object;

inline constexpr int32_t kMV2RescueTargets = 3;
inline constexpr int32_t kMV2RescueObjects = 9;

// Target states, a bit set.
enum MV2RescueState : uint32_t {
    kMV2RescueWaiting = 1,
    kMV2RescueFreed = 2,
    kMV2RescueRescued = 4,
    kMV2RescueLost = 8,
    kMV2RescueDestroyed = 16,
};

struct MV2RescueTarget {
    MV2Object* object;
    uint32_t handle;
    int32_t deadline; // game ms
    int32_t msPerUnit;
    MV2TextDescriptor label;
    int32_t lastThreat; // game ms
    uint32_t state;
    uint32_t announced;
};

struct MV2RescueObjectRecord {
    MV2Object* object;
    TvMatrix saved;
    uint32_t pinned;
    int32_t nextCheck; // game ms
    uint32_t handle;
};

struct MV2RescueMission {
    MV2RescueTarget targets[kMV2RescueTargets];
    MV2RescueObjectRecord objects[kMV2RescueObjects];
    uint32_t over;
    uint32_t hintPending;
    uint32_t firstPickup;
    uint32_t guideMode; // 0 searching, 1 attending the guide target
    int32_t guideTime;  // ms
    uint32_t guideTarget; // 0..2, 3 none
    int32_t rescued;
    int32_t lost;
    MV2Object* destination;
    int32_t nextTowHint; // game ms
    uint32_t displayOn;
};
extern MV2RescueMission gMV2Rescue;

void MV2RescueSetupTarget(int32_t index, int32_t scriptId, int32_t timeLimit, int32_t msPerUnit,
                          uint32_t labelId);
void MV2RescueTargetLost(int32_t index, int32_t announce, int32_t delay);
int32_t MV2RescueTargetNearPlayer(int32_t index);
int32_t MV2RescueIsClear(int32_t a, int32_t b);
// The rescue-object index 0..8 of the object's script id; -1 (after an error box) for others.
int32_t Mv2RescueGetObjectID(MV2Object* object);
intptr_t MV2RescueObjectHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2HideRescueTargets();
