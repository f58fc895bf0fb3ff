// Stand-in for the multimedia timer services: millisecond time and timer resolution.
#pragma once

#include <cstdint>

using MMRESULT = uint32_t;
constexpr MMRESULT TIMERR_NOERROR = 0;
constexpr MMRESULT TIMERR_NOCANDO = 97;

// Milliseconds of a monotonic clock, wrapping at 2^32.
uint32_t timeGetTime();
MMRESULT timeBeginPeriod(uint32_t periodMs);
MMRESULT timeEndPeriod(uint32_t periodMs);

// Test seams: a clock driven by hand. While it is on, timeGetTime returns its value.
void PlatformUseManualClock(bool on, uint32_t startMs = 0);
void PlatformAdvanceClock(uint32_t ms);
bool PlatformManualClockOn();
uint32_t PlatformManualClockValue();
// The monotonic clock itself, whatever timeGetTime answers.
uint32_t PlatformRealTime();
// Number of timeBeginPeriod calls not yet matched by timeEndPeriod.
int PlatformTimerPeriodDepth();
