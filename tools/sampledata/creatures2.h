// The sample level's smaller creatures: two jellyfish, an eater, a rammer, a snapping shell, two
// chasing flies and a leap ramp, with their types on the sample ball model.
#pragma once

#include <cstdint>
#include <vector>

struct LevelDesc;

void SampleCreature2TypeRecords(std::vector<std::vector<uint8_t>>& types);
void SampleCreature2LevelRecords(LevelDesc& level);
