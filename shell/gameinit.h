// Game-system initialisation, level start, shut-down order, pause and the far clip.
#pragma once

#include <cstdint>

// 0 after initialisation, 2 one-player level, 3 hosted and 4 joined multiplayer level.
extern int32_t gMV2GameType;
extern int32_t gMV2GameInitialised;
extern int32_t gMV2Paused;
extern uint32_t gMV2PauseTime;

struct MV2FarClip {
    float distance;
    float inverse;            // 1 / distance
    float minusOne;           // distance - 1
    float inverseMinusOne;    // 1 / (distance - 1), 0 when that is 0
    float minusOneSquared;    // (distance - 1) squared
};
extern MV2FarClip gMV2FarClip;

// The two world lights (gMV2AmbientLight, gMV2DirectionalLight of the lighting module) made
// by the initialisation: the ambient light rides on the main camera's frame, the directional
// light on a frame of its own. Makes the lights that are not there yet; a light that cannot be made is left out.
void MV2CreateWorldLights();
// Takes both lights out of their world and destroys them (at the end of the game).
void MV2DestroyWorldLights();

int32_t MV2InitialiseGame();
void MV2ShutdownGame();
void MV2ClearLevelState();
int32_t MV2ResetLevel(int32_t ignored);
// Starts the level of the selected mission with the player craft; 1 or 0.
int32_t MV2StartLevel();
void MV2PauseGame(int32_t paused);
void MV2SetFarClip(float distance);
// The far clip and its derived values without the camera and scenery refresh.
void MV2StoreFarClip(float distance);
