// Game-system initialisation, level start, shut-down order, pause and the far clip.
#pragma once

#include <cstdint>

// 0 after initialisation, 2 one-player level, 3 hosted and 4 joined multiplayer level.
extern int32_t gMV2GameType;
extern int32_t gMV2GameInitialised;
extern int32_t gMV2Paused;

// Starts the level of the selected mission with the player craft; 1 or 0.
int32_t MV2StartLevel();
