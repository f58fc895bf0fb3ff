// The sample level's level objects of the mission layer: a sliding door beside a floor switch,
// a lift, a breakable crate and rocks, with their types on the sample ball model.
#pragma once

#include <cstdint>
#include <vector>

struct LevelDesc;

void SampleLevelObjectTypeRecords(std::vector<std::vector<uint8_t>>& types);
void SampleLevelObjectLevelRecords(LevelDesc& level);
// A level-group-0 type on the sample ball; `body` gives it dynamics in water and `blocks`
// private records a chunk.
std::vector<uint8_t> SampleLevelObjectType(uint32_t type, uint32_t blocks, bool body, float radius);
// A spawner of small falling rocks, a falling rock, a lever and a push switch.
void SampleLevelObjects3TypeRecords(std::vector<std::vector<uint8_t>>& types);
void SampleLevelObjects3LevelRecords(LevelDesc& level);
