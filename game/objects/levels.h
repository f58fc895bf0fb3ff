// Levels: the loaded level's header values that the world modules read.
#pragma once

#include <cstdint>

struct TvV3d;

// The loaded level's name ("" when none), the minimum light level (0.2 by default), the sky
// height, the sky flag (header flags bit 0), the caustic strength and the start position.
const char* MV2GetLevelName();
float MV2GetMinimumLightLevel();
float MV2GetSkyHeight();
int32_t MV2GetLevelSkyFlag();
float MV2GetCausticStrength();
const TvV3d* MV2GetStartPosition();
