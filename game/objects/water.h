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

struct MV2Object;
// A ripple at a point moving along a direction (or null); its strength.
float MV2AddRipple(const TvV3d* position, const TvV3d* direction);
// A splash of an object entering or leaving the water (the object may be null).
void MV2AddObjectSplash(MV2Object* object, const TvV3d* position);
