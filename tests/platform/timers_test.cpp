// Multimedia timers: threads end with their timers, also when a timer ends itself and when the
// program ends with timers running. scripts/test also runs these under ThreadSanitizer.
#include "platform/winmm/mci.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdlib>
#include <thread>

namespace {

std::atomic<int> g_fired{0};
std::atomic<uint32_t> g_killResult{~0u};

void Count(uint32_t, uint32_t, uintptr_t, uintptr_t, uintptr_t) {
    ++g_fired;
}
void KillSelf(uint32_t id, uint32_t, uintptr_t, uintptr_t, uintptr_t) {
    ++g_fired;
    g_killResult = timeKillEvent(id);
}

bool WaitFor(int fired) {
    for (int i = 0; i < 5000 && g_fired < fired; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    return g_fired >= fired;
}

TEST(MultimediaTimers, ShutDownStopsRunningTimers) {
    g_fired = 0;
    ASSERT_NE(timeSetEvent(1, 1, Count, 0, TIME_PERIODIC), 0u);
    ASSERT_NE(timeSetEvent(1, 1, Count, 0, TIME_PERIODIC), 0u);
    ASSERT_TRUE(WaitFor(4));
    PlatformStopTimers();
    EXPECT_EQ(PlatformLiveTimers(), 0);
    int after = g_fired;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    EXPECT_EQ(g_fired, after) << "an event ran after the shut-down";
}

TEST(MultimediaTimers, TimersEndingOnTheirOwnThreadAreJoinedLater) {
    g_fired = 0;
    g_killResult = ~0u;
    ASSERT_NE(timeSetEvent(1, 1, KillSelf, 0, TIME_PERIODIC), 0u);
    ASSERT_TRUE(WaitFor(1));
    ASSERT_NE(timeSetEvent(1, 1, Count, 0, TIME_ONESHOT), 0u);
    ASSERT_TRUE(WaitFor(2));
    for (int i = 0; i < 1000 && PlatformLiveTimers() > 0; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_EQ(PlatformLiveTimers(), 0);
    EXPECT_EQ(g_killResult, TIMERR_NOERROR);
    EXPECT_EQ(g_fired, 2);
    PlatformStopTimers();
}

// The layer's own state outlives the threads that use it: the end of the program stops them.
TEST(MultimediaTimersDeathTest, ProgramEndsCleanlyWithATimerRunning) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            timeSetEvent(1, 1, Count, 0, TIME_PERIODIC);
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
}

} // namespace
