// Flares: three tool kinds that fire one glowing, fizzing projectile (type 296) which burns out,
// bounces or burns on where it lands; the tool only reloads its gauge between shots.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "game/objects/objects.h"

struct MV2Tool;
struct TpAtomic;
struct TvFrame;

struct MV2FlareToolData {
    int32_t reloading;
    float gauge; // 0..255
};

struct MV2FlareData {
    MV2Object* self;
    uint32_t burnOut; // game clock, ms
    MV2ObjectRef owner;
    float minimumRadius;
    MV2ObjectRef stuckTo;
    TvFrame* stuckFrame;
    TvV3d stuckOffset;   // in the stuck frame
    TvV3d stuckRows[3];  // right, up and at relative to the stuck frame
    int32_t settled;
    int32_t variant; // 0 burns out on impact, 1 bounces, 2 burns on
    MV2ObjectRef light;
    TvV3d lastPosition;
    uintptr_t sound;
    int32_t touched; // set by the stick test
};

int32_t MV2FlareToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2);
intptr_t MV2FlareHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The stick test of one atomic of the struck object.
void MV2FlareTouch(TpAtomic* atomic, MV2FlareData* flare);
