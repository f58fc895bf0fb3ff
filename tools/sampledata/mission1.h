// The sample level's share of the campaign's first mission: the eruption's rocks and the
// eruption itself on the sample ball, the start post, and the records the mission spawns for
// its opening flights and its race (camera points, the rivals' launch point, the fetch targets
// and the race goal).
#pragma once

#include <cstdint>
#include <vector>

struct LevelDesc;

void SampleMission1TypeRecords(std::vector<std::vector<uint8_t>>& types);
void SampleMission1LevelRecords(LevelDesc& level);
