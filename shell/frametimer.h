// The frame timer: milliseconds of the current frame.
#pragma once

#include <cstdint>

uint32_t MV2GetFrameMilliseconds();
