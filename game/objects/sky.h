// The day clock, the sky model over the camera, and the sun and moon.
#pragma once

#include <cstdint>

struct TvCamera;
struct TpClump;

inline constexpr uint32_t kMV2DayLength = 1800000; // ms, 30 minutes

// Day phases.
enum MV2DayPhase : int32_t { kMV2Day = 0, kMV2Dusk = 1, kMV2Night = 2, kMV2Dawn = 3 };

struct MV2DayClock {
    uint32_t gameClock; // ms
    uint32_t dayClock;  // ms
    int32_t phase;
    float phaseValue;
};
extern MV2DayClock gMV2DayClock;

int32_t MV2ResetDayClock();
void MV2AdvanceDayClock();
void MV2SetTimeOfDay(float hour);
// Light level 0..1; also stores the phase and phase value.
float MV2GetDaylight();

// The sky: the model, built once and placed over the start point; the per-level textures.
int32_t MV2InitialiseSky();
int32_t MV2LoadSky();
void MV2FreeSky();
void MV2PlaceSkyAtCamera(TvCamera* camera);
TpClump* MV2BuildSkyModel();
TpClump* MV2GetSkyModel();
// The direction towards the sun that the last sun-and-moon pass gave the level light.
const struct TvV3d* MV2GetSunDirection();
// Where the last sun-and-moon pass put the sun and the moon, relative to the camera.
const struct TvV3d* MV2GetSunOffset();
const struct TvV3d* MV2GetMoonOffset();
// Sun and moon from the effect pass (only when the level has a sky).
void MV2RenderSky();
