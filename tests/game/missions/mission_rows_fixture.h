// Shared pieces of the mission-row tests: level 0 with the city, the mining sites and a post
// type, counting log entries, moving the player and finding the objects of a type.
#pragma once

#include <cstdint>
#include <initializer_list>
#include <vector>

#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/levels.h"
#include "game/objects/utilities.h"
#include "tests/support/mission_harness.h"

inline constexpr int32_t kRowPostType = 302;

// Level 0 as the level start needs it, with the post type and the given types.
inline MissionLevel RowCityLevel(std::initializer_list<int32_t> types) {
    MissionLevel level;
    AddCityObjects(level);
    AddMiningObjects(level);
    level.types.push_back({kRowPostType});
    for (int32_t type : types)
        level.types.push_back({type});
    return level;
}

inline int32_t RowCount(const std::vector<MissionLogEntry>& log, intptr_t value) {
    int32_t n = 0;
    for (const MissionLogEntry& e : log)
        n += e.value == value;
    return n;
}

inline void RowMovePlayer(MissionHarness& h, float x, float z) {
    MV2CurrentLevelWorld world;
    const float at[3] = {x, 10, z};
    MV2ObjectSendMessage(h.Player(), 83, 0, reinterpret_cast<intptr_t>(at));
}

// The objects of the type in the level's world (the fixture's types do not join the update
// list); call with the level's world current.
inline std::vector<MV2Object*> RowObjectsOfType(int32_t type) {
    std::vector<MV2Object*> out;
    for (TpClump* c = MV2GetFirstWorldClump(MV2World); c; c = MV2GetNextWorldClump(MV2World, c))
        if (MV2Object* o = MV2GetClumpObject(c))
            if (int32_t(o->typeWord & kMV2ObjectTypeMask) == type) out.push_back(o);
    return out;
}
