// The projection volume: lays a texture onto the world triangles inside a square box in front
// of a placed frame, faded with distance from the box's origin.
#pragma once

#include <cstdint>

struct TvMatrix;
struct TvTexture;

inline constexpr int32_t kMV2ProjectedTriangles = 512;

// Draws the projection of the box x, y in [-halfWidth, halfWidth], z in [near, far] of the
// projector's space; the number of world triangles found in its bounding box.
int32_t MV2CollectProjectedPolygons(const TvMatrix* projector, TvTexture* texture, float halfWidth,
                                    float far, float near);
