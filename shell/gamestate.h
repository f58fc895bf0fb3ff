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

// While set, the next entry into play leaves the player where a script put it instead of
// moving it to its start post and sending it out of the city; entering play clears it.
extern int32_t MV2ScriptPlacesPlayer;

struct TvRaster;
struct TvTexture;
struct MV2Object;

// A mission-designated craft.
struct MV2MissionCraft {
    MV2Object* object;
    uint32_t handle;
    int32_t state;
};

struct MV2GameStateMachine {
    int32_t passes;        // since the sequence state last changed
    uint32_t startTime;    // of sequence state 0
    int32_t initPending;   // the game-system initialisation has not run yet
    TvRaster* background;  // picture of the current sequence state
    TvTexture* oil;        // held while in mode 9
    float savedFarClip;
    int32_t savedWorldCaustics, savedAtomicCaustics;
    int32_t consoleReturn, cameraReturn;
    uint32_t pendingCutScene, pendingCutSceneScript; // 0: none
    MV2MissionCraft craft[2];
};
extern MV2GameStateMachine gMV2StateMachine;

// Text of the prompt of sequence state 6.
inline constexpr uint32_t kMV2PromptTextId = 2000;

void MV2ShowTitleScreen();
// Puts the main camera at the console eye object, looking at the console target object.
void MV2AimConsoleCamera();
void MV2UpdateGameState();
struct MV2SubAIData;
// Designates a craft as mission craft A or B; its SubAI record (null without one).
MV2SubAIData* MV2SetMissionObjectA(MV2Object* object);
MV2SubAIData* MV2SetMissionObjectB(MV2Object* object);
MV2Object* MV2GetMissionObjectA();
MV2Object* MV2GetMissionObjectB();
void MV2SetMissionObjectAState(int32_t state);
void MV2SetMissionObjectBState(int32_t state);
