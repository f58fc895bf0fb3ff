// Level switches: their state, stored whole in save games.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr size_t kMV2LevelSwitchStateSize = 4;

void MV2GetLevelSwitchState(uint8_t* out);
void MV2SetLevelSwitchState(const uint8_t* state);
