// Spotlight shafts: soft additive fans drawn along the lights that register them, fading as the
// camera looks along the light.
#pragma once

#include <cstdint>

struct TvFrame;
struct TvCamera;

inline constexpr int32_t kMV2LightShafts = 32;

struct MV2LightShaft {
    MV2LightShaft* next;
    MV2LightShaft* prev;
    TvFrame* frame;       // the light's frame
    const float* length;  // the shaft length, owned by the light
    uint32_t handle;      // the light object's handle
};

// Registers a shaft along the frame's at-vector; nothing when all are in use.
void MV2AddLightShaft(TvFrame* frame, const float* length, uint32_t handle);
// Forgets the first shaft of that light; nothing when it has none.
void MV2RemoveLightShaft(uint32_t handle);
// Draws every registered shaft for the camera; shafts of dead lights are reclaimed.
void MV2DrawLightShafts(TvCamera* camera);
// The number of registered shafts.
int32_t MV2CountLightShafts();
