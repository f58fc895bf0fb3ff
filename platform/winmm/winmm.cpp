#include "platform/winmm/winmm.h"

#include "platform/win32/inputlog.h"

#include <atomic>
#include <chrono>

namespace {
// Read by every thread that asks the time, written by the game thread or a test.
std::atomic<bool> g_manual{false};
std::atomic<uint32_t> g_manualMs{0};
int g_periodDepth = 0;
} // namespace

uint32_t PlatformRealTime() {
    auto now = std::chrono::steady_clock::now().time_since_epoch();
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(now).count();
    return static_cast<uint32_t>(static_cast<uint64_t>(ms));
}

uint32_t timeGetTime() {
    inputlog::StartFromEnvironmentOnce();
    if (g_manual.load(std::memory_order_relaxed)) return g_manualMs.load(std::memory_order_relaxed);
    return PlatformRealTime();
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
    g_manualMs.store(startMs, std::memory_order_relaxed);
    g_manual.store(on, std::memory_order_relaxed);
}

void PlatformAdvanceClock(uint32_t ms) { g_manualMs.fetch_add(ms, std::memory_order_relaxed); }

bool PlatformManualClockOn() { return g_manual.load(std::memory_order_relaxed); }

uint32_t PlatformManualClockValue() { return g_manualMs.load(std::memory_order_relaxed); }

int PlatformTimerPeriodDepth() { return g_periodDepth; }
