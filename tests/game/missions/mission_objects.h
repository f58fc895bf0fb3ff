// The objects of a type in the level's world, active or not, for the mission script tests.
#pragma once

#include <vector>

#include "engine/world/world.h"
#include "game/objects/clumpdata.h"
#include "game/objects/levels.h"
#include "game/objects/objects.h"

struct MissionTypeSearch {
    int32_t type;
    std::vector<MV2Object*> found;
};

inline TpClump* MissionCollectType(TpClump* clump, void* data) {
    auto* search = static_cast<MissionTypeSearch*>(data);
    MV2Object* o = MV2GetClumpObject(clump);
    if (o && int32_t(o->typeWord & kMV2ObjectTypeMask) == search->type) search->found.push_back(o);
    return clump;
}

inline std::vector<MV2Object*> MissionObjectsOfType(int32_t type) {
    MissionTypeSearch search{type, {}};
    MV2CurrentLevelWorld world;
    if (TpWorld* w = TpWorldGetCurrent()) TpWorldForAllClumps(w, MissionCollectType, &search);
    return search.found;
}

#include <string>

#include "tests/support/mission_harness.h"

// How often the log holds an outcome with this value.
inline int32_t MissionLogCount(const MissionHarness& h, const std::string& what, intptr_t value) {
    int32_t n = 0;
    for (const MissionLogEntry& e : h.Log(what))
        n += e.value == value;
    return n;
}

// Puts an object at a point through its position message.
inline void MissionMoveTo(MissionHarness& h, MV2Object* object, TvV3d at) {
    h.Send(object, 83, 0, reinterpret_cast<intptr_t>(&at));
}
