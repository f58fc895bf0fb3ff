// Render-mode dispatch: the start-up and title sequence frames by sequence state, the in-game
// frame by game mode, and the world frame.
#pragma once

#include <cstdint>

struct TvCamera;
struct TvRGBA;

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
void MV2ComputeSceneLight(TvCamera* camera, TvRGBA* colour);
