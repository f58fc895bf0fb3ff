// Game-system initialisation and level start.
#pragma once

#include <cstdint>

// Starts the level of the selected mission with the player craft; 1 or 0.
int32_t MV2StartLevel();
