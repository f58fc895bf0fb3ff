// The game-state word: current and requested game mode and the menu state.
#pragma once

#include <cstdint>

struct MV2GameStateWord {
    int32_t current;
    int32_t requested;
    int32_t menu;
};
extern MV2GameStateWord gMV2GameState;

// Leaves the current mode and enters the requested one.
void MV2SetGameMode();
