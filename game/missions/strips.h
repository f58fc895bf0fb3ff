// Helpers of the strip objects that the water-surface module lists (waterfalls): the point
// along a strip's path, and the glows of every listed strip drawn after the effect pass.
#pragma once

#include <cstdint>

struct MV2Waterfall;
struct TvV3d;

// The point at t (0..1) along the strip's four-point path (or its straight line).
void MV2StripPathPoint(const MV2Waterfall* strip, float t, TvV3d* out);
// Draws the glows of the listed strips updated this frame; the last render-state result.
int32_t MV2DrawStripSprites();
