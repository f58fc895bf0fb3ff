// World pre-lighting: the static landscape lit once at level load, each light's share taken
// back from the vertices it cannot reach; and the handler of object type 39.
#pragma once

#include <cstdint>

struct TpWorld;
struct MV2Object;

inline constexpr int32_t kMV2ProcessType = 39;

// Lights every sector's vertices into their pre-light colours; mode 0 adds to the colours they
// have, other modes start from black. With `occlusion` 0 no ray test is made. The world.
TpWorld* MV2PrelightWorldSectors(TpWorld* world, uint32_t occlusion, int32_t mode);

struct MV2ProcessData {
    uint32_t value;
    uintptr_t sound; // the looped sound's variable
};
intptr_t MV2ProcessObjectHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
