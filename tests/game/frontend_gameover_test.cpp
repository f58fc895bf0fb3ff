// The game-over sequence on the manual clock: its states, the bar edges and the bars drawn.
#include "game/frontend/gameover.h"

#include "platform/winmm/winmm.h"
#include "shell/enginestart.h"
#include "shell/gamestate.h"
#include "tests/game/frontend_sink.h"

namespace {

class GameOverTest : public Sink2DTest {
protected:
    void SetUp() override {
        Sink2DTest::SetUp();
        savedDisplay = gMV2DisplayRequest;
        savedState = gMV2GameState;
        gMV2DisplayRequest.width = 640;
        gMV2DisplayRequest.height = 480;
        gMV2GameState.current = 7; // at the title already: state 8 has nothing to return
        PlatformUseManualClock(true, 50000);
        MV2ResetGameOver();
    }
    void TearDown() override {
        MV2ResetGameOver();
        PlatformUseManualClock(false);
        gMV2DisplayRequest = savedDisplay;
        gMV2GameState = savedState;
        Sink2DTest::TearDown();
    }
    // Advances the clock by `ms` in steps of `step`, updating each step.
    void Run(uint32_t ms, uint32_t step = 10) {
        for (uint32_t t = 0; t < ms; t += step) {
            PlatformAdvanceClock(step);
            MV2UpdateGameOver();
        }
    }
    MV2DisplayRequest savedDisplay{};
    MV2GameStateWord savedState{};
};

TEST_F(GameOverTest, DelayThenBarsMeetAndOpen) {
    MV2StartGameOver(3000);
    EXPECT_EQ(MV2GetGameOverState(), kMV2GameOverWaiting);
    Run(3000);
    EXPECT_EQ(MV2GetGameOverState(), kMV2GameOverWaiting);
    EXPECT_EQ(gMV2GameOver.topEdge, 0.0f);
    Run(10);
    EXPECT_EQ(MV2GetGameOverState(), kMV2GameOverTopClosing);

    // From the start of state 4: the top bar at 240 after 150 ms, the bottom after 800 ms.
    Run(80);
    EXPECT_NEAR(gMV2GameOver.topEdge, 240.0f * 80 / 150, 2.0f);
    Run(80);
    EXPECT_EQ(gMV2GameOver.topEdge, 240.0f);
    EXPECT_EQ(MV2GetGameOverState(), kMV2GameOverTopBounce);
    Run(510); // each state moves on at the first update past its time
    EXPECT_EQ(MV2GetGameOverState(), kMV2GameOverBottomClosing);
    EXPECT_EQ(gMV2GameOver.bottomEdge, 480.0f);
    Run(160);
    EXPECT_EQ(gMV2GameOver.bottomEdge, 240.0f);
    EXPECT_EQ(MV2GetGameOverState(), kMV2GameOverBothBounce);
    Run(510);
    EXPECT_EQ(MV2GetGameOverState(), kMV2GameOverClosed);
    EXPECT_EQ(MV2GameOverActive(), 1);
    Run(2010);
    EXPECT_EQ(MV2GetGameOverState(), kMV2GameOverOpening);
    Run(250);
    EXPECT_NEAR(gMV2GameOver.topEdge, 240.0f - 240.0f * 0.5f, 6.0f);
    EXPECT_NEAR(gMV2GameOver.bottomEdge, 240.0f + 240.0f * 0.5f, 6.0f);
    Run(260);
    EXPECT_EQ(MV2GameOverActive(), 0);
    EXPECT_EQ(gMV2GameOver.topEdge, 0.0f);
    EXPECT_EQ(gMV2GameOver.bottomEdge, 480.0f);
}

// The zoom: active from its first frame, not restarted by a second fade, held until the bars
// start, and drawn until the bottom bar has closed; no delay goes straight to the top bar.
TEST_F(GameOverTest, ZoomHeldUntilTheBars) {
    MV2StartGameOverFade();
    EXPECT_EQ(MV2GameOverActive(), 1);
    const uint32_t started = gMV2GameOver.startTime;
    Run(50);
    MV2StartGameOverFade();
    EXPECT_EQ(gMV2GameOver.startTime, started);
    Run(60);
    EXPECT_EQ(MV2GetGameOverState(), kMV2GameOverZoomHeld);
    EXPECT_FLOAT_EQ(gMV2GameOver.sprite.scaleX, 1.5625f);
    Run(1000);
    EXPECT_EQ(MV2GetGameOverState(), kMV2GameOverZoomHeld);

    MV2StartGameOver(0);
    EXPECT_EQ(MV2GetGameOverState(), kMV2GameOverTopClosing);
    MV2StartGameOver(1000); // running: only the delay changes
    EXPECT_EQ(MV2GetGameOverState(), kMV2GameOverTopClosing);
    Run(700);
    EXPECT_EQ(MV2GetGameOverState(), kMV2GameOverBottomClosing);
    EXPECT_EQ(gMV2GameOver.zoomSprite, 1);
    recorded.clear();
    MV2RenderGameOver(); // the sprite, then the two bars
    ASSERT_GE(recorded.size(), 2u);
    Run(160);
    EXPECT_EQ(gMV2GameOver.zoomSprite, 0);
}

// The bars carry the picture's halves: the top bar's inner edge shows the middle row (v 0.5).
TEST_F(GameOverTest, BarsCarryThePictureHalves) {
    MV2StartGameOver(0);
    Run(160);
    recorded.clear();
    MV2RenderGameOver();
    ASSERT_EQ(recorded.size(), 2u);
    const auto& top = recorded[0].vertices;
    ASSERT_EQ(top.size(), 4u);
    EXPECT_EQ(top[1].y, 240.0f);
    EXPECT_EQ(top[1].v, 0.5f);
    EXPECT_NEAR(top[0].v, 0.5f - 240.0f * 0.5f / 260.0f, 1e-6);
    EXPECT_EQ(top[2].x, 640.0f);
    const auto& bottom = recorded[1].vertices;
    EXPECT_EQ(bottom[0].y, 480.0f);
    EXPECT_EQ(bottom[1].y, 480.0f);
    EXPECT_EQ(bottom[1].v, 0.5f);
    EXPECT_EQ(bottom[3].v, 0.5f);
    EXPECT_EQ(recorded[0].type, kTvPrimitiveTriangleStrip);
}

} // namespace
