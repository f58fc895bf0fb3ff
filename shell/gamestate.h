// The game-state word: current and requested game mode, the menu state and the sequence state.
#pragma once

#include <cstdint>

struct MV2GameStateWord {
    int32_t current;
    int32_t requested;
    int32_t menu;
    int32_t sequence = 0; // current state of the title and start-up sequence; 9 while a game runs
};
extern MV2GameStateWord gMV2GameState;

// Leaves the current mode and enters the requested one.
void MV2SetGameMode();
