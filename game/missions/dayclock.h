// Global script row 43: the day clock script, which turns cut-scene path events of the
// time-of-day sequences into caustics, the ending request, the music fade and two level
// objects switched on and off.
#pragma once

#include <cstdint>

// Set once a path event with value 0 has switched the world caustics on.
extern int32_t gMV2DayClockCausticsOn;
