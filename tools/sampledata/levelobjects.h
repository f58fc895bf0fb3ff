// The sample level's level objects of the mission layer: a sliding door beside a floor switch,
// a lift, a breakable crate and rocks, with their types on the sample ball model.
#pragma once

#include <cstdint>
#include <vector>

struct LevelDesc;

void SampleLevelObjectTypeRecords(std::vector<std::vector<uint8_t>>& types);
void SampleLevelObjectLevelRecords(LevelDesc& level);
