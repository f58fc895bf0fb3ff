// Level records of the current level.
#pragma once

#include <cstdint>

struct MV2LevelRecord;

// The record of the current level header with that id, or null; its size word bounds it.
const MV2LevelRecord* MV2FindLevelRecord(uint32_t recordId);
