// Render-mode dispatch: the start-up and title sequence frames by sequence state, the in-game
// frame by game mode, and the world frame.
#pragma once

#include <cstdint>

#include "engine/core/raster.h"

struct TvCamera;

struct MV2RenderState {
    float progress;      // loading bar, 0.0 to 1.0
    int32_t phase;       // frame milliseconds accumulated modulo 1000
    float brightness;    // 0.2 to 1.0
    int32_t frames;      // frames shown so far
};
extern MV2RenderState gMV2Render;

// Draws one sequence frame; in sequence state 5 each call advances the bar by steps / 64.
void MV2RenderFrame(int32_t steps);
void MV2RenderGameFrame();
void MV2RenderWorld();
// The brightness of a camera at `height` between the level floor and the water surface,
// times the time-of-day light, within 0.2 and 1.0.
float MV2SceneBrightness(float height, float floor, float surface, float dayLight);
// Base colours of the scene light, scaled by the brightness.
inline constexpr float kMV2FogBase[3] = {0.07f, 0.31f, 0.91f};
inline constexpr float kMV2AmbientBase = 0.25f;
inline constexpr float kMV2LightBase = 1.0f;

// What the scene light of a frame depends on.
struct MV2SceneLightInput {
    int32_t mode;       // the current game mode
    bool mainCamera;    // the camera is the main camera
    float height;       // of the camera
    float floor;        // the level's depth of full darkness
    float surface;      // the water surface above the camera
    float daylight;     // the time-of-day light
    bool cockpitOf167;  // the controlled object is of type 167 and seen from its cockpit
};
struct MV2SceneLight {
    TvRGBA clear;       // the clear and fog colour, at 16-bit precision
    float brightness;
    float ambient[3];
    float light;        // each part of the directional light's colour
};
// The scene light from its inputs and the brightness of the frame before.
MV2SceneLight MV2SceneLightColours(const MV2SceneLightInput& in, float previous);
// The clear colour of this frame; sets the brightness and the two world lights' colours.
void MV2ComputeSceneLight(TvCamera* camera, TvRGBA* colour);
// Render state 13 (fog colour) from the colour's red, green and blue.
void MV2SetFogColour(const TvRGBA* colour);
