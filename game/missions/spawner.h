// The object spawner (type 144): an invisible level object that keeps up to 30 objects of one
// type alive around itself and replaces the missing ones a set delay after a death is noticed.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

inline constexpr int32_t kMV2SpawnerType = 144;
inline constexpr int32_t kMV2SpawnerSlots = 30;

struct MV2SpawnerData {
    uint32_t nextTime; // game ms
    uint32_t spawnType;
    MV2ObjectRef slots[kMV2SpawnerSlots];
    uint32_t delay; // ms
    int32_t count;  // slots in use, 0..30
    uint32_t parameter; // the f32 handed to each new object with message 79
    uint32_t pending;   // a replacement is due at the next time
};

// Set from a front-end screen: spawners also run outside a one-player level.
extern int32_t gMV2SpawnersEnabled;

// The level data of a spawner (type, delay, count and the parameter word); 0 when the object
// is no spawner. The count is clamped to 0..30.
int32_t MV2SetSpawnerLevelData(MV2Object* object, uint32_t type, uint32_t delay, int32_t count,
                               uint32_t parameter);
intptr_t MV2SpawnerHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterSpawnerHandler();
