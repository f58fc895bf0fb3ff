// The scarab arena: the scarab (type 388) that keeps the player on a circle round it, stamps and
// burns the player with a head laser; the stone balls (type 386) it sends rolling; the flies
// (type 375) that hover about their home points and shoot bolts; the falling prizes (types
// 389-391); and the dust puffs the scarab raises, drawn by the effect pass.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TpAtomic;

using MV2ScarabCallback = void (*)(MV2Object* object, int32_t value);

enum MV2ScarabStateId : int32_t {
    kMV2ScarabTurnAway = 0,
    kMV2ScarabAttack = 1,
    kMV2ScarabTurnBack = 2,
    kMV2ScarabRest = 3,
    kMV2ScarabDying = 4,
    kMV2ScarabGuard = 5,
};

struct MV2ScarabData {
    uint32_t spareTime;
    TvV3d home;
    int32_t aligning;
    int32_t laserEnabled;
    MV2ScarabCallback callback;
    int32_t state;
    float hitPoints;
    TvV3d initialHeading;
    int32_t laserArmed;
    uint32_t beam;
};

struct MV2ScarabBallData {
    MV2ScarabCallback callback;
    float height;
    TvV3d roll;
    uintptr_t sound;
};

struct MV2ArenaFlyData {
    uint32_t nextJitter; // game ms
    uintptr_t sound;
    int32_t awake;
    TvV3d home;
    TvV3d jitter;
    uint32_t nextShot; // game ms
    MV2ScarabCallback callback;
};

struct MV2FallingItemData {
    MV2ScarabCallback callback;
    int32_t held;
    TvV3d hold;
};

inline constexpr int32_t kMV2ScarabDustPuffs = 200;
inline constexpr float kMV2ScarabArenaRadius = 23.0f;

intptr_t MV2ScarabHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
float MV2ScarabKeyCallback(TpAtomic* atomic, float position);
intptr_t MV2StoneBallHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2FlyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The arena fly's wing-key callback, which the mission's flies share.
float MV2FlyAnimCallback(TpAtomic* atomic, float position);
intptr_t MV2FallingItemHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);

// Key rules by the finished key k; -1 past the last key. The scarab's rule may change its state
// and reports in *effects what the finished key does besides.
inline constexpr uint32_t kMV2ScarabKeyOpensWindow = 1; // hits count from now on
inline constexpr uint32_t kMV2ScarabKeyArms = 2;        // the laser fires
inline constexpr uint32_t kMV2ScarabKeyStamps = 4;      // dust at the feet and a shove
int32_t MV2ScarabNextKey(int32_t k, int32_t* state, int32_t laserEnabled, uint32_t* effects);
// The fly's wing rule: *wings is set to the shown wing tag (3 or 4), 0 for none shown, or -1
// when it does not change.
int32_t MV2FlyWingKey(int32_t k, int32_t awake, int32_t* wings);

// The mission's writes and reads of the scarab.
void MV2SetScarabLaserEnabled(MV2Object* scarab, int32_t enabled);
void MV2SetScarabState(MV2Object* scarab, int32_t state);
float MV2GetScarabHitPoints(MV2Object* scarab);
int32_t MV2GetScarabLaserWindow();
// Live dust puffs.
int32_t MV2CountScarabDust();
void MV2ResetScarab();
void MV2RegisterScarabHandlers();
