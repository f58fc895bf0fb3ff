// Water: the height of the surface above a point, and the world's depth reference.
#pragma once

#include <cstdint>

struct TvV3d;

float MV2GetWaterHeight(const TvV3d* point);
// Loads the level's fog table; 1, or 0 when neither file opens.
int32_t MV2LoadFog(const char* name);
void MV2ResetWater();
// A height of the world record that the sound muffle measures depth against.
float MV2GetWorldDepthReference();
