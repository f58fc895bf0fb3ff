// Game main: the start-up sequence and the main loop.
#pragma once

#include <cstdint>

int32_t MV2GameMain();
