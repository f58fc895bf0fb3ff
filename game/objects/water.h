// Water: the height of the surface above a point, and the world's depth reference.
#pragma once

struct TvV3d;

float MV2GetWaterHeight(const TvV3d* point);
// A height of the world record that the sound muffle measures depth against.
float MV2GetWorldDepthReference();
