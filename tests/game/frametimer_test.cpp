#include "shell/frametimer.h"

#include "platform/winmm/winmm.h"
#include "shell/gameinit.h"
#include "shell/gamestate.h"

#include <gtest/gtest.h>

namespace {

class FrameTimerTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformUseManualClock(true, 5000);
        gMV2FrameTimer = {};
        gMV2FrameTimer.ticks = 1.0f;
        gMV2FrameTimer.lastTime = 5000;
        gMV2GameType = 0;
    }
    void TearDown() override { PlatformUseManualClock(false); }
    int32_t Step(uint32_t ms, int32_t modeChanged = 0) {
        PlatformAdvanceClock(ms);
        return MV2UpdateFrameTimer(modeChanged);
    }
};

TEST_F(FrameTimerTest, SteadyFramesThenAStallRiseByATenthPerFrameUpToFour) {
    // From 0.0, 33 ms (0.99 ticks) is far from the last value: the ticks move 0.1 from 1.0.
    Step(33);
    EXPECT_FLOAT_EQ(gMV2FrameTimer.ticks, 1.1f);
    for (int i = 0; i < 20; ++i)
        Step(33);
    EXPECT_FLOAT_EQ(gMV2FrameTimer.ticks, 0.99f); // within 0.1 of the measure: taken as is
    EXPECT_EQ(gMV2FrameTimer.milliseconds, 33);
    float previous = gMV2FrameTimer.ticks;
    for (int i = 0; i < 40; ++i) {
        Step(1000);
        float expected = std::min(previous + 0.1f, 4.0f);
        ASSERT_NEAR(gMV2FrameTimer.ticks, expected, 1e-5f) << i;
        previous = gMV2FrameTimer.ticks;
    }
    EXPECT_EQ(gMV2FrameTimer.ticks, 4.0f);
    EXPECT_FLOAT_EQ(gMV2FrameTimer.seconds, 4.0f * 0.033333335f);
    EXPECT_EQ(Step(1000), 133);
    // Back to steady frames the value falls by 0.1 a frame.
    Step(33);
    EXPECT_FLOAT_EQ(gMV2FrameTimer.ticks, 3.9f);
}

TEST_F(FrameTimerTest, AModeChangeResetsBothClocksBeforeTheStep) {
    Step(33);
    float ticks = gMV2FrameTimer.ticks;
    // A mode change sets both clocks to now first.
    PlatformAdvanceClock(50);
    EXPECT_GT(MV2UpdateFrameTimer(1), 0);
    EXPECT_EQ(gMV2FrameTimer.frameClock, timeGetTime());
    EXPECT_EQ(gMV2FrameTimer.previousClock, timeGetTime());
    EXPECT_NE(gMV2FrameTimer.ticks, ticks);
    EXPECT_EQ(MV2GetFrameMilliseconds(), uint32_t(gMV2FrameTimer.milliseconds));
}

TEST_F(FrameTimerTest, NoTimeIsStillASmallStepDown) {
    Step(0);
    EXPECT_FLOAT_EQ(gMV2FrameTimer.ticks, 0.0f); // |0 - 0| is within 0.1
    Step(0);
    EXPECT_FLOAT_EQ(gMV2FrameTimer.ticks, 0.0f);
    EXPECT_EQ(gMV2FrameTimer.milliseconds, 0);
}

// A script's opening updates the objects as a cut-scene does: each of its frames is a new
// update frame, or every object would take one update and then stand still.
TEST_F(FrameTimerTest, EachScriptOpeningFrameIsAnUpdateFrame) {
    const int32_t mode = gMV2GameState.current;
    gMV2GameState.current = 13;
    const uint32_t before = gMV2FrameTimer.updateCounter;
    MV2UpdateGameFrame();
    MV2UpdateGameFrame();
    gMV2GameState.current = mode;
    EXPECT_EQ(gMV2FrameTimer.updateCounter, before + 2);
}

} // namespace
