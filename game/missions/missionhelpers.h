// Mission helpers: scripted cut-scenes with the player's craft parked and restored, a
// cut-scene chained across a level change, nearness tests, the objective lock, object
// replacement and parking, the level gates, and global script row 40 that serves them.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

inline constexpr int32_t kMV2CutSceneRow = 40;

struct MV2CutSceneSequence {
    uint32_t current; // record id, 0: none
    uint32_t objectId;
    int32_t followUpPending;
    uint32_t followUp;
    uint32_t followUpObject;
    TvV3d savedPosition;
    TvV3d savedCamera;
    float savedEnergy;
    int32_t wasVisible;
};
extern MV2CutSceneSequence gMV2CutSceneSequence;

struct MV2ObjectiveLock {
    MV2ObjectRef target;
    int32_t notifyRow;
    float rangeSquared;
    int32_t running;
    int32_t done;
};
extern MV2ObjectiveLock gMV2ObjectiveLock;

// The cut-scene's focus id (the script id the cut-scene looks at; 0 none).
extern uint32_t MV2CutSceneFocusId;
// The level that a chained cut-scene switches to.
extern uint32_t MV2LevelSwitchRequest;

int32_t MV2PlayCutScene(uint32_t recordId, uint32_t objectId);
int32_t MV2PlayCutSceneThen(uint32_t recordId, uint32_t objectId, uint32_t levelId,
                            uint32_t followUp, uint32_t followUpObject);
void MV2QueueCutScene(uint32_t recordId, uint32_t objectId);
void MV2ResetCutSceneSequence();
int32_t MV2PlayerWithin(MV2Object* object, float rangeSquared);
int32_t MV2PlayerWithinScriptObject(int32_t scriptId, float rangeSquared);
int32_t MV2IsNearObjectA(MV2Object* object);
int32_t MV2IsNearObjectB(MV2Object* object);
void MV2LockTarget(MV2Object* object, float range, int32_t watch, int32_t notifyRow);
void MV2LockNearestTarget();
MV2Object* MV2RespawnScriptObject(int32_t scriptId);
void MV2ParkObject(MV2Object* object, TvV3d* position, float* energy);
int32_t MV2SetLevelGates(uint32_t levelId, int32_t closeFlag);
void MV2SetCurrentLevelGates(int32_t closeFlag);

// A point on the planned route from the player's craft towards the goal, about *reach away
// from it: 1 and the point, 0 without a route or a player.
int32_t MV2RouteMidpoint(const TvV3d* goal, float* reach, TvV3d* out);
// Points the HUD objective at the city for the way home.
void MV2ObjectiveToCity();
