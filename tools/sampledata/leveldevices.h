// The sample level's level devices: a level gate, a bubble vent, a current column and an
// uplink socket, with their types on the sample ball model.
#pragma once

#include <cstdint>
#include <vector>

struct LevelDesc;

void SampleLevelDeviceTypeRecords(std::vector<std::vector<uint8_t>>& types);
void SampleLevelDeviceLevelRecords(LevelDesc& level);
