// Game main: the start-up sequence and the main loop.
#pragma once

#include <cstdint>

struct TvCamera;

extern TvCamera* gMV2MainCamera;
extern TvCamera* gMV2SubCamera;

int32_t MV2GameMain();
