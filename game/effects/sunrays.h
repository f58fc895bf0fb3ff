// Sun rays (type 426): a fan of six soft, slowly wandering rays of coloured light from a source
// point toward a target up to 30 units away, stopped by the world, drawn additively.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct MV2Object;

inline constexpr int32_t kMV2SunRayType = 426;
inline constexpr int32_t kMV2SunRayObjects = 14;
inline constexpr int32_t kMV2SunRays = 6;

struct MV2SunRayData {
    TvV3d source;
    TvV3d end;
    TvV3d tangent;       // first tangent at the end
    TvV3d normal;        // of the surface struck, else minus the direction
    TvV3d secondTangent; // tangent x normal
    float width;
    uint32_t seen; // updated (so in view) this frame
    float red, green, blue;
    float amplitude[kMV2SunRays]; // kept, not drawn with
    uint32_t wanderPeriod[kMV2SunRays]; // ms
    uint32_t pulsePeriod[kMV2SunRays];  // ms
};

// Keeps the texture sunray's raster (none when it is missing); 1.
int32_t MV2InitialiseSunRays();
void MV2ShutdownSunRays();
// Draws the listed sun-ray objects seen this frame (the main render).
void MV2DrawSunRays();
intptr_t MV2SunRayHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
int32_t MV2CountSunRayObjects();
