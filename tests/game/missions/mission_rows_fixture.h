// Shared pieces of the mission-row tests: level 0 with the city, the mining sites and a post
// type, the touch sensors' type, a level of posts, recorded props and sensors, and moving the
// player. Counting log entries and finding the objects of a type are mission_objects.h's.
#pragma once

#include <cstdint>
#include <initializer_list>

#include "game/missions/missionprops.h"
#include "game/objects/camera.h"
#include "game/objects/levels.h"
#include "game/objects/utilities.h"
#include "tests/game/missions/message_recorder.h"
#include "tests/game/missions/mission_objects.h"
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

inline constexpr int32_t kRowSensorType = 55;

// The touch sensors with their own handler and data.
inline MissionType RowSensorType() {
    return {kRowSensorType, 100.0f, 0, 0, MV2TouchSensorHandler,
            uint32_t(sizeof(MV2TouchSensorData)), true};
}

// A level with the post type, `recordedType` noting its messages (message_recorder.h) and the
// touch sensors, for the rows whose scripts answer switches and trigger touches.
inline MissionLevel RowSensorLevel(uint32_t levelId, int32_t recordedType) {
    MissionLevel level;
    level.levelId = levelId;
    level.types.push_back({kRowPostType});
    level.types.push_back({recordedType, 100.0f, 0, 0, RecordingHandler});
    level.types.push_back(RowSensorType());
    return level;
}

inline void RowMovePlayer(MissionHarness& h, float x, float z) {
    MissionMoveTo(h, h.Player(), {x, 10, z});
}
