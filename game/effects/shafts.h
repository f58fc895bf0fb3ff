// Sun and moon light shafts: faint beams that slant down from the water surface in front of the
// camera, each shown for a little over a second, drawn additively.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct TvCamera;

inline constexpr int32_t kMV2SunMoonBeams = 16;

struct MV2SunMoonBeam {
    float halfWidth; // at the surface
    float length;
    uint8_t brightness; // 0..15
    float time;         // seconds since it appeared; -1.0 while free
    TvV3d top;          // on the water surface
    TvV3d direction;    // unit, toward the light
    float bottomHalfWidth;
};
extern MV2SunMoonBeam gMV2SunMoonBeams[kMV2SunMoonBeams];

int32_t MV2InitialiseSunMoonBeams();
// Once a frame, with the camera the shafts are seen from.
void MV2UpdateSunMoonBeams(TvCamera* camera);
void MV2DrawSunMoonBeams(TvCamera* camera);
