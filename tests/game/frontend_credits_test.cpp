// The credits loop on the engine's driver over the sample folder's credit pictures: its stop
// conditions and results, the frame step and the band table.
#include "game/frontend/credits.h"

#include "engine/core/bmp.h"
#include "engine/core/frame.h"
#include "engine/core/image.h"
#include "platform/winmm/winmm.h"
#include "shell/controls.h"
#include "shell/gamemain.h"
#include "tests/engine/d3d_fixture.h"
#include "tests/support/data_folder.h"
#include "tools/sampledata/sampledata.h"

#include <filesystem>

namespace {

int g_passes = 0;
int g_skipAt = -1, g_returnAt = -1;
uint32_t g_stepMs = 33;
void Pass() {
    g_passes++;
    PlatformAdvanceClock(g_stepMs);
    if (g_passes == g_skipAt) gMV2Controls.skipRequest = 1;
    if (g_passes == g_returnAt) gMV2MainLoop.returnToMenu = 1;
}

class CreditsTest : public D3DTest {
protected:
    void SetUp() override {
        D3DTest::SetUp();
        ASSERT_TRUE(SampleDataWriteFrontEnd(folder.path()));
        TvImageRegisterImageFormat("bmp", TvImageReadBMP, nullptr);
        TvImageSetPath(".\\TEXTURE\\");
        camera = Camera(640, 480);
        ASSERT_NE(camera, nullptr);
        frame = TvFrameCreate();
        TvCameraSetFrame(camera, frame);
        saved = gMV2MainCamera;
        gMV2MainCamera = camera;
        PlatformUseManualClock(true, 1000);
        gMV2CreditsPassHook = Pass;
        g_passes = 0, g_skipAt = -1, g_returnAt = -1, g_stepMs = 33;
        gMV2MainLoop.returnToMenu = 0;
        gMV2Controls.skipRequest = 0;
    }
    void TearDown() override {
        gMV2CreditsPassHook = nullptr;
        gMV2MainLoop.returnToMenu = 0;
        gMV2MainCamera = saved;
        TvCameraSetFrame(camera, nullptr);
        TvFrameDestroy(frame);
        PlatformUseManualClock(false);
        D3DTest::TearDown();
    }
    DataFolder folder;
    TvCamera* camera = nullptr;
    TvFrame* frame = nullptr;
    TvCamera* saved = nullptr;
};

// The skip request ends the credits on the next pass with 1 and is cleared; the return to
// the front end ends them with 0 and stays set for the caller.
TEST_F(CreditsTest, StopsAndResults) {
    g_skipAt = 5;
    EXPECT_EQ(MV2PlayCredits(), 1);
    EXPECT_EQ(g_passes, 5);
    EXPECT_EQ(gMV2Controls.skipRequest, 0);

    g_passes = 0, g_skipAt = -1, g_returnAt = 3;
    EXPECT_EQ(MV2PlayCredits(), 0);
    EXPECT_EQ(g_passes, 3);
    EXPECT_EQ(gMV2MainLoop.returnToMenu, 1);
}

// Left alone, slow frames advance the scroll by at most 4 steps a pass and the credits end by
// themselves once the scroll passes 85, with 1.
TEST_F(CreditsTest, EndsByThemselves) {
    g_stepMs = 1000; // far slower than four ticks a frame
    EXPECT_EQ(MV2PlayCredits(), 1);
    // From 1.0 the step climbs 0.1 a pass to 4, then the scroll rises 0.04 a pass.
    EXPECT_GT(g_passes, 2200);
    EXPECT_LT(g_passes, 2300);
    EXPECT_EQ(gMV2CreditsRun.scroll, -3.0f);
}

// A missing credit picture ends the credits at once with 1.
TEST_F(CreditsTest, MissingPictureEndsAtOnce) {
    std::filesystem::remove(std::filesystem::path(folder.path()) / "TEXTURE" / "CRED07.bmp");
    EXPECT_EQ(MV2PlayCredits(), 1);
    EXPECT_EQ(g_passes, 0);
}

TEST(CreditsStep, ChangesByAtMostATenthAndNeverPassesFour) {
    struct { float previous, measured, step; } cases[] = {
        {1.0f, 1.05f, 1.05f}, {1.0f, 30.0f, 1.1f}, {4.0f, 30.0f, 4.0f}, {3.95f, 4.5f, 4.0f},
        {2.0f, 0.0f, 1.9f},   {1.0f, 0.95f, 0.95f}};
    for (auto c : cases) EXPECT_FLOAT_EQ(MV2CreditsFrameStep(c.previous, c.measured), c.step) << c.measured;
}

// The band table: 97 bands in order, four times as high as their v extent, from the first to
// the last band the pictures give.
TEST(CreditsBands, Table) {
    const MV2CreditBand& first = gMV2CreditBands[0];
    EXPECT_EQ(first.texture, 0);
    EXPECT_FLOAT_EQ(first.a, 0.47222224f);
    EXPECT_FLOAT_EQ(first.b, 0.20659722f);
    EXPECT_FLOAT_EQ(first.vBottom, 0.06640625f);
    const MV2CreditBand& last = gMV2CreditBands[kMV2CreditBands - 1];
    EXPECT_EQ(last.texture, 12);
    EXPECT_FLOAT_EQ(last.a, 85.02556f);
    EXPECT_FLOAT_EQ(last.b, 84.72868f);
    int counts[13] = {};
    for (int i = 0; i < kMV2CreditBands; i++) {
        const MV2CreditBand& band = gMV2CreditBands[i];
        counts[band.texture]++;
        EXPECT_NEAR(band.a - band.b, 4.0f * (band.vBottom - band.vTop), 1e-4) << i;
        EXPECT_LE(band.vBottom, 1.0f);
        if (i) {
            EXPECT_GT(band.b, gMV2CreditBands[i - 1].b);
        }
    }
    const int expected[13] = {6, 6, 8, 7, 9, 9, 9, 8, 4, 6, 9, 10, 6};
    for (int t = 0; t < 13; t++) EXPECT_EQ(counts[t], expected[t]) << t;
}

} // namespace
