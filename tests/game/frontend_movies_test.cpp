// Movie playback over movies the tests write, on the engine's driver over the DirectDraw
// stand-in; the subtitle walk over hand-written subtitle files, malformed ones included.
#include "game/frontend/fullscreenmovie.h"
#include "game/frontend/movies.h"

#include "platform/video/movie_writer.h"
#include "platform/winmm/winmm.h"
#include "shell/bytes.h"
#include "shell/controls.h"
#include "shell/enginestart.h"
#include "shell/gamemain.h"
#include "tests/engine/d3d_fixture.h"
#include "tests/support/data_folder.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

void Solid(uint32_t index, uint32_t* pixels, uint32_t width, uint32_t height) {
    const uint32_t colour = index % 2 ? 0xFFFF0000u : 0xFF0000FFu; // red on odd frames
    for (size_t i = 0; i < size_t(width) * height; i++) pixels[i] = colour;
}

class MovieTest : public D3DTest {
protected:
    void SetUp() override {
        D3DTest::SetUp();
        PlatformUseManualClock(true, 10000);
        camera = Camera(640, 480);
        ASSERT_NE(camera, nullptr);
        VidMovieSpec movie;
        movie.width = 64, movie.height = 48, movie.rate = 10, movie.frames = 4;
        movie.codec = VidMovieCodec::Mjpeg;
        folder.Write("ANIMS/keep", std::string());
        ASSERT_TRUE(VidWriteMovie("anims\\one.bik", movie, Solid));
        ASSERT_TRUE(VidWriteMovie("anims\\two.bik", movie, Solid));
        MV2MovieSetFolder(".\\ANIMS\\");
    }
    void TearDown() override {
        MV2MovieClose();
        MV2MovieSetFolder("");
        PlatformUseManualClock(false);
        D3DTest::TearDown();
    }
    DataFolder folder;
    TvCamera* camera = nullptr;
};

// Open, refuse a second open, replace; the placement; the time without a movie.
TEST_F(MovieTest, OpenReplaceRefuseAndPlacement) {
    EXPECT_EQ(MV2MovieGetTime(), -1.0);
    EXPECT_EQ(MV2MovieOpen("absent", 0, 0, 0, 0, 0, camera, 0), 0);
    ASSERT_EQ(MV2MovieOpen("one", 10, 20, 0, 64, 48, camera, kMV2MovieSilent), 1);
    EXPECT_EQ(MV2MovieIsScaled(), 0); // its own size: unscaled at (10, 20)
    EXPECT_EQ(MV2MovieCopyFormat(), 10u); // a 565 frame buffer
    EXPECT_EQ(MV2MovieOpen("two", 0, 0, 0, 0, 0, camera, 0), 0);
    uint32_t current = 0;
    ASSERT_TRUE(MV2MovieGetInfo(nullptr, nullptr, nullptr, &current));
    EXPECT_EQ(current, 1u);
    ASSERT_EQ(MV2MovieOpen("two", 0, 0, 0, 640, 480, camera, kMV2MovieReplace | kMV2MovieSilent), 1);
    EXPECT_EQ(MV2MovieIsScaled(), 1);
    EXPECT_EQ(MV2MovieGetTime(), 0.1); // frame 1 at 10 frames a second
    MV2MovieRender();
    ASSERT_EQ(MV2MovieOpen("one", 0, 0, 0, 0, 0, camera, kMV2MovieReplace | kMV2MovieSilent), 1);
    EXPECT_EQ(MV2MovieIsScaled(), 0);
}

// Frame buffers of other pixel formats: 8888 and 32-bit copy as format 3, the rest refuse
// without leaving a movie open.
TEST_F(MovieTest, CopyFormatFollowsTheFrameBuffer) {
    TvRaster* target = TvCameraGetRaster(camera);
    const uint8_t saved = target->format;
    struct { uint8_t format; int32_t opens; uint32_t copy; } cases[] = {
        {0x01, 1, 9}, {0x02, 1, 10}, {0x05, 1, 3}, {0x09, 1, 3}, {0x03, 0, 0}, {0x06, 0, 0}};
    for (auto c : cases) {
        target->format = c.format;
        EXPECT_EQ(MV2MovieOpen("one", 0, 0, 0, 0, 0, camera, kMV2MovieReplace | kMV2MovieSilent), c.opens)
            << int(c.format);
        if (c.opens) EXPECT_EQ(MV2MovieCopyFormat(), c.copy);
        else EXPECT_FALSE(MV2MovieGetInfo(nullptr, nullptr, nullptr, nullptr));
        MV2MovieClose();
    }
    target->format = saved;
}

// Frames follow the clock: nothing decodes before a frame is due; the last frame is shown once
// and then the movie ends; a stopped movie no longer advances.
TEST_F(MovieTest, PacingAndTheEnd) {
    ASSERT_EQ(MV2MovieOpen("one", 0, 0, 0, 0, 0, camera, kMV2MovieSilent), 1);
    uint32_t current = 0, frames = 0;
    std::vector<uint32_t> shown;
    int32_t result = 1, passes = 0;
    while (result && passes < 100) {
        result = MV2MovieUpdate();
        MV2MovieGetInfo(nullptr, nullptr, &frames, &current);
        shown.push_back(current);
        PlatformAdvanceClock(50); // two passes per frame at 10 frames a second
        passes++;
    }
    EXPECT_EQ(result, 0);
    EXPECT_EQ(frames, 4u);
    EXPECT_EQ(shown, (std::vector<uint32_t>{2, 2, 3, 3, 4, 4, 4}));
    MV2MovieStop();
    EXPECT_EQ(MV2MovieUpdate(), 0);
    EXPECT_TRUE(MV2MovieGetInfo(nullptr, nullptr, nullptr, nullptr)); // still open and drawn
}

// The movie rectangle: the stand-in's driver stretches, so movies fill the display; without a
// driver that says so, a centred 640 x 480 (x 80 on a display 800 wide).
TEST_F(MovieTest, RectangleFillsWhenTheDriverStretches) {
    TvCamera* savedCamera = gMV2MainCamera;
    gMV2MainCamera = camera;
    MV2SetMovieRect();
    EXPECT_EQ(gMV2MovieRect.x, 0);
    EXPECT_EQ(gMV2MovieRect.width, 640);
    EXPECT_EQ(gMV2MovieRect.height, 480);
    gMV2MainCamera = savedCamera;
}

TEST(MovieRect, CentredWithoutStretching) {
    const MV2DisplayRequest saved = gMV2DisplayRequest;
    TvCamera* savedCamera = gMV2MainCamera;
    gMV2MainCamera = nullptr;
    gMV2DisplayRequest.width = 800;
    gMV2DisplayRequest.height = 600;
    MV2SetMovieRect(); // no device runs: no caps to ask
    EXPECT_EQ(gMV2MovieRect.x, 80);
    EXPECT_EQ(gMV2MovieRect.y, 60);
    EXPECT_EQ(gMV2MovieRect.width, 640);
    EXPECT_EQ(gMV2MovieRect.height, 480);
    gMV2DisplayRequest = saved;
    gMV2MainCamera = savedCamera;
}

int g_passes = 0;
int g_skipAt = -1, g_returnAt = -1;
void CountPass() {
    g_passes++;
    PlatformAdvanceClock(50);
    if (g_passes == g_skipAt) gMV2Controls.skipRequest = 1;
    if (g_passes == g_returnAt) gMV2MainLoop.returnToMenu = 1;
}

// The full-screen loop: a skippable movie stops on the skip request, one that is not ignores
// it and still stops on the return-to-front-end request; a movie that does not open returns
// at once; the skip request is left cleared.
TEST_F(MovieTest, PlayMovieStops) {
    TvCamera* savedCamera = gMV2MainCamera;
    gMV2MainCamera = camera;
    gMV2MovieRect = {0, 0, 640, 480};
    gMV2MoviePassHook = CountPass;
    struct { const char* name; int32_t skippable; int skipAt, returnAt, passes; } cases[] = {
        {"one", 1, -1, -1, 6}, // to its end: the last update answers 0
        {"one", 1, 2, -1, 2},
        {"one", 0, 2, 4, 4},
        {"absent", 1, -1, -1, 0},
    };
    for (auto c : cases) {
        g_passes = 0, g_skipAt = c.skipAt, g_returnAt = c.returnAt;
        gMV2MainLoop.returnToMenu = 0;
        MV2PlayMovie(c.name, c.skippable);
        EXPECT_EQ(g_passes, c.passes) << c.name << c.skipAt << c.returnAt;
        EXPECT_EQ(gMV2Controls.skipRequest, 0);
        EXPECT_FALSE(MV2MovieGetInfo(nullptr, nullptr, nullptr, nullptr));
    }
    gMV2MainLoop.returnToMenu = 0;
    gMV2MoviePassHook = nullptr;
    gMV2MainCamera = savedCamera;
}

// Subtitle files: entries {20 unread bytes, blocks, start, end} then 32 x blocks of text.
std::vector<uint8_t> Subtitles(uint32_t count, const std::vector<std::tuple<uint32_t, float, float, std::string>>& entries) {
    std::vector<uint8_t> b(32, 0);
    MV2WriteU32(b.data(), count);
    for (const auto& [blocks, start, end, text] : entries) {
        const size_t at = b.size();
        b.resize(at + 32 + 32 * size_t(blocks), 0);
        MV2WriteU32(b.data() + at + 20, blocks);
        std::memcpy(b.data() + at + 24, &start, 4);
        std::memcpy(b.data() + at + 28, &end, 4);
        std::memcpy(b.data() + at + 32, text.data(), std::min(text.size(), size_t(32) * blocks));
    }
    return b;
}

std::string At(double t) {
    const char* text = MV2MovieSubtitleAt(t);
    return text ? text : "-";
}

// The walk: shown strictly between start and end; an entry already over when it becomes
// current is passed on the same frame; the walk only goes forward.
TEST(MovieSubtitles, Timing) {
    auto file = Subtitles(4, {{1, 1.0f, 2.0f, "one"}, {1, 1.5f, 2.5f, "two"}, {2, 3.0f, 4.0f, "three\nlines"},
                              {1, 5.0f, 6.0f, "four"}});
    ASSERT_EQ(MV2SetMovieSubtitles(file.data(), file.size()), 1);
    struct { double t; const char* text; } steps[] = {
        {0.5, "-"}, {1.0, "-"}, {1.2, "one"}, {2.0, "two"}, {2.6, "-"}, {3.5, "three\nlines"},
        {4.0, "-"}, {1.2, "-"}, {5.5, "four"}, {9.0, "-"}};
    for (auto s : steps) EXPECT_EQ(At(s.t), s.text) << s.t;
    // Skipping ahead past an entry leaves it behind without showing it.
    MV2RewindMovieSubtitles();
    EXPECT_EQ(At(2.2), "two");
    MV2FreeMovieSubtitles();
    EXPECT_EQ(MV2MovieSubtitleAt(1.2), nullptr);
}

// Malformed files: the walk stops at the first entry that does not fit; texts are cut at
// their block and terminated; a file shorter than its head is no subtitle file.
TEST(MovieSubtitles, MalformedFiles) {
    auto good = Subtitles(2, {{1, 0.0f, 10.0f, "first"}, {1, 10.0f, 20.0f, "second"}});
    auto unterminated = Subtitles(1, {{1, 0.0f, 10.0f, std::string(40, 'x')}});
    auto cutEntry = good;
    cutEntry.resize(good.size() - 1);
    auto hugeBlocks = good;
    MV2WriteU32(hugeBlocks.data() + 32 + 64 + 20, 0xFFFFFFFFu);
    auto overCount = good;
    MV2WriteU32(overCount.data(), 1000);
    auto underCount = good;
    MV2WriteU32(underCount.data(), 1);
    struct { const char* name; std::vector<uint8_t> bytes; int32_t loads; std::string at5, at15; } cases[] = {
        {"good", good, 1, "first", "second"},
        {"unterminated", unterminated, 1, std::string(32, 'x'), "-"},
        {"cut second entry", cutEntry, 1, "first", "-"},
        {"huge block count", hugeBlocks, 1, "first", "-"},
        {"count beyond the file", overCount, 1, "first", "second"},
        {"count of one", underCount, 1, "first", "-"},
        {"head only", std::vector<uint8_t>(good.begin(), good.begin() + 32), 1, "-", "-"},
        {"short head", std::vector<uint8_t>(good.begin(), good.begin() + 31), 0, "-", "-"},
        {"empty", {}, 0, "-", "-"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(MV2SetMovieSubtitles(c.bytes.data(), c.bytes.size()), c.loads) << c.name;
        EXPECT_EQ(At(5.0), c.at5) << c.name;
        EXPECT_EQ(At(15.0), c.at15) << c.name;
        EXPECT_EQ(At(25.0), "-") << c.name;
    }
    MV2FreeMovieSubtitles();
}

} // namespace
