// Stars and plankton: tiny specks that move with the camera. Stars sit in a box above the
// camera and show only near the water surface; plankton drifts in a sphere ahead of the camera
// below the surface, brighter with depth.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct TvMatrix;

inline constexpr int32_t kMV2Stars = 200;
inline constexpr int32_t kMV2Plankton = 40;

struct MV2Planktum {
    TvV3d position; // from the field centre
    TvV3d velocity; // per update
    TvV3d targetVelocity;
};
extern TvV3d gMV2StarOffsets[kMV2Stars];
extern MV2Planktum gMV2Plankton[kMV2Plankton];

int32_t MV2InitialiseStars();
// Draws the stars with the brightness; the depth factor the sky dims the moon with (1.0 when
// the camera is 5 or more below the surface).
float MV2DrawStars(float brightness);
int32_t MV2InitialisePlanktum();
// Centres the field ahead of the camera without moving the specks (after a camera jump);
// the camera's matrix.
const TvMatrix* MV2RecentrePlanktum();
void MV2UpdatePlanktum();
void MV2DrawPlanktum();
// The field centre, for tests.
TvV3d MV2GetPlanktumCentre();
