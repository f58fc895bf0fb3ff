#include "platform/winmm/winmm.h"

#include <chrono>

namespace {
bool g_manual = false;
uint32_t g_manualMs = 0;
int g_periodDepth = 0;
} // namespace

uint32_t timeGetTime() {
    if (g_manual) return g_manualMs;
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

MMRESULT timeBeginPeriod(uint32_t periodMs) {
    if (periodMs == 0) return TIMERR_NOCANDO;
    ++g_periodDepth;
    return TIMERR_NOERROR;
}

MMRESULT timeEndPeriod(uint32_t periodMs) {
    if (periodMs == 0 || g_periodDepth == 0) return TIMERR_NOCANDO;
    --g_periodDepth;
    return TIMERR_NOERROR;
}

void PlatformUseManualClock(bool on, uint32_t startMs) {
    g_manual = on;
    g_manualMs = startMs;
}

void PlatformAdvanceClock(uint32_t ms) { g_manualMs += ms; }

int PlatformTimerPeriodDepth() { return g_periodDepth; }
