// Mission row 29: the camera zones of the switch-puzzle wreck.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

// A box of four corners with side planes and a height band; a point is inside when its height
// lies in the band and it is on the inner side of all four planes.
struct MV2CameraZone {
    TvV3d corners[4];
    TvV3d normals[4];
    float bottom, top;
};

// Builds a zone from four corner points and four height points (their heights averaged for
// the bottom and the top of the band).
void MV2BuildCameraZone(MV2CameraZone* zone, const TvV3d corners[4], const TvV3d heights[4]);
int32_t MV2PointInCameraZone(const MV2CameraZone* zone, const TvV3d& point);
// Pulls a wanted camera point into the zone: first along the line from `from` into the height
// band, then back inside each plane.
TvV3d MV2ClampToCameraZone(const MV2CameraZone* zone, const TvV3d& from, const TvV3d& wanted);
