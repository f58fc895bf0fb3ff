// The suck-up device: a nozzle that draws small collectable objects in, keeps their types (at
// most 40, or 4 in one level) and delivers them when the craft enters the city; a use hands a
// drone in reach over to the craft. The floating object (type 97) lives here too.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct MV2Tool;
struct TpAtomic;
struct TpIntersection;
struct TpWorldSector;

inline constexpr int32_t kMV2SuckUpSlots = 40;
inline constexpr int32_t kMV2HarmfulType = 343;

struct MV2SuckUpData {
    int32_t disabled;
    TvV3d nozzleOffset; // the owner's tag-999 frame, in the owner's frame
    int32_t count;
    int32_t harmful; // held objects of type 343
    int32_t types[kMV2SuckUpSlots]; // in order of intake; 461 empty
    MV2ObjectRef owner;
    uintptr_t sound;
    MV2ObjectRef beam; // the dirt column of type 135
    int32_t sucking;
    MV2ObjectRef drone; // a drone in reach, found for the player
};

int32_t MV2SuckUpToolHandler(MV2Tool* tool, int32_t command, intptr_t p1, intptr_t p2);
int32_t MV2SuckUpPull(TpIntersection* intersection, TpWorldSector* sector, TpAtomic* atomic,
                      float distance, void* data);
// Swallows a collectable object into the craft's suck-up tool; 0 when it cannot.
int32_t MV2SuckUpTake(MV2Object* craft, MV2Object* object);
// The number of objects the tool holds before it stops sucking in the current level.
int32_t MV2SuckUpCapacity();
intptr_t MV2FloatingObjectHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
