// The game-state word: current and requested game mode, the menu depth and the sequence state
// of the title and start-up sequence; other modules write only the requested values.
#pragma once

#include <cstdint>

struct MV2GameStateWord {
    int8_t current;   // current game mode
    int8_t menuDepth; // kept by the front end
    int8_t requested; // requested game mode
    int8_t sequence;  // current sequence state, -1 (0xFF) before the first
};
extern MV2GameStateWord gMV2GameState;

// The companion word: its low byte is the requested sequence state (the front end's "menu
// state"); the rest is not used.
struct MV2GameStateCompanion {
    int8_t requestedSequence;
    uint8_t unused[3];
};
extern MV2GameStateCompanion gMV2GameStateCompanion;

// Requests a game mode and a sequence state together.
inline void MV2RequestModeAndSequence(int8_t mode, int8_t sequence) {
    gMV2GameState.requested = mode;
    gMV2GameStateCompanion.requestedSequence = sequence;
}

// Leaves the current mode and enters the requested one.
void MV2SetGameMode();
