// Regrowing objects (types 350-352) that grow in place and stay fixed until the magnet takes
// them; the respawner (type 431) that remakes a watched object some seconds after it is gone;
// and the floor height under a point.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

inline constexpr int32_t kMV2FirstRegrowType = 350;
inline constexpr int32_t kMV2LastRegrowType = 352;
inline constexpr int32_t kMV2RespawnerType = 431;
inline constexpr uint32_t kMV2RegrowFloating = 0x100000; // type-word bit: free to move

struct MV2RegrowData {
    TvV3d home;
    TvV3d up, right, at; // the matrix rows at creation
    float radius;        // bounding radius at creation
    uint32_t growthStart;    // game clock ms
    uint32_t growthDuration; // ms; 0 when grown
    uint32_t held;           // 1 until the magnet releases it
};

struct MV2RespawnerData {
    MV2ObjectHandle watched;
    uint32_t respawnTime; // game clock ms; 0 while the watched object lives
    uint32_t type;        // 0: none
};

intptr_t MV2RegrowHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2RespawnerHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterRegrowHandlers();
// The height of the world below (x, z) of the point; the world box's bottom over empty space.
float MV2GetFloorHeightAt(const float* position);
