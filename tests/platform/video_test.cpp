// The video library stand-in over movies the tests write: the handle's words, frames in order in
// every copy format, pacing against the manual clock, the end of the stream, files that are not
// movies, and the sound track heard through the loopback device.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <iterator>
#include <vector>

#include "platform/sound/mss.h"
#include "platform/video/movie_writer.h"
#include "platform/video/video.h"
#include "platform/winmm/winmm.h"
#include "tests/support/data_folder.h"
#include "tests/support/loopback.h"

namespace {

struct Rgb {
    int r, g, b;
};

// One solid colour per frame, so that each decoded picture shows which frame it is.
constexpr Rgb kColours[] = {{255, 0, 0},   {0, 255, 0},     {0, 0, 255},   {255, 255, 255},
                            {255, 255, 0}, {0, 255, 255},   {255, 0, 255}, {0, 0, 0},
                            {128, 64, 32}, {32, 128, 200}};
constexpr uint32_t kColourCount = sizeof(kColours) / sizeof(kColours[0]);

void PaintSolid(uint32_t index, uint32_t* pixels, uint32_t width, uint32_t height) {
    const Rgb c = kColours[index % kColourCount];
    const uint32_t argb = 0xFF000000u | uint32_t(c.r) << 16 | uint32_t(c.g) << 8 | uint32_t(c.b);
    for (size_t i = 0; i < size_t(width) * height; ++i)
        pixels[i] = argb;
}

// The colour of a pixel of a copy format, widened to 8 bits per channel; `opaque` tells whether
// the alpha part (1555 top bit, 8888 top byte) is set.
Rgb ReadPixel(const uint8_t* p, uint32_t format, bool* opaque) {
    if (format == VIDSURFACE32) {
        uint32_t v;
        std::memcpy(&v, p, 4);
        *opaque = (v >> 24) == 0xFF;
        return {int(v >> 16 & 0xFF), int(v >> 8 & 0xFF), int(v & 0xFF)};
    }
    uint16_t v = uint16_t(p[0] | p[1] << 8);
    if (format == VIDSURFACE565) {
        *opaque = true;
        return {(v >> 11) * 255 / 31, (v >> 5 & 63) * 255 / 63, (v & 31) * 255 / 31};
    }
    *opaque = (v & 0x8000) != 0;
    return {(v >> 10 & 31) * 255 / 31, (v >> 5 & 31) * 255 / 31, (v & 31) * 255 / 31};
}

void ExpectColour(const uint8_t* p, uint32_t format, Rgb want, const char* where) {
    bool opaque = false;
    Rgb got = ReadPixel(p, format, &opaque);
    EXPECT_TRUE(opaque) << where;
    EXPECT_NEAR(got.r, want.r, 16) << where;
    EXPECT_NEAR(got.g, want.g, 16) << where;
    EXPECT_NEAR(got.b, want.b, 16) << where;
}

uint32_t BytesPerPixel(uint32_t format) {
    return format == VIDSURFACE32 ? 4 : 2;
}

class VideoTest : public ::testing::Test {
protected:
    void SetUp() override { PlatformUseManualClock(true, 5000); }
    void TearDown() override {
        PlatformUseManualClock(false);
        VidSetSoundSystem(nullptr, nullptr);
    }

    // Writes a movie of solid colour frames under a game name; the caller opens it.
    void Write(const char* name, const VidMovieSpec& movie) {
        ASSERT_TRUE(VidWriteMovie(name, movie, PaintSolid));
    }

    DataFolder folder;
};

TEST_F(VideoTest, OpenPublishesSizeCountAndRate) {
    struct Case {
        VidMovieCodec codec;
        uint32_t width, height, rate, frames;
    };
    for (const Case& c : {Case{VidMovieCodec::Mpeg4, 64, 48, 15, 10},
                          Case{VidMovieCodec::Mjpeg, 32, 16, 25, 3},
                          Case{VidMovieCodec::Mpeg4, 160, 120, 1, 2}}) {
        VidMovieSpec movie;
        movie.codec = c.codec;
        movie.width = c.width;
        movie.height = c.height;
        movie.rate = c.rate;
        movie.frames = c.frames;
        // Any name: the content decides, and the name is a game name in any case.
        folder.Write("ANIMS/keep", std::string());
        Write("anims\\Logo.bik", movie);
        HVID m = VidOpen(".\\ANIMS\\LOGO.BIK", 0);
        ASSERT_NE(m, nullptr) << c.width;
        EXPECT_EQ(m->width, c.width);
        EXPECT_EQ(m->height, c.height);
        EXPECT_EQ(m->frames, c.frames);
        EXPECT_EQ(m->currentFrame, 1u);
        EXPECT_EQ(m->frameRate, c.rate);
        EXPECT_EQ(m->spare, 0u);
        const uint32_t* words = reinterpret_cast<const uint32_t*>(m);
        EXPECT_EQ(words[5], c.rate); // the sixth word is the rate
        VidClose(m);
    }
}

// Each frame decodes in order and lands in the locked buffer at its pitch, in every copy
// format, and nothing past the picture's rows and columns is touched.
TEST_F(VideoTest, FramesDecodeInOrderInEachCopyFormat) {
    for (VidMovieCodec codec : {VidMovieCodec::Mpeg4, VidMovieCodec::Mjpeg}) {
        VidMovieSpec movie;
        movie.codec = codec;
        movie.width = 48;
        movie.height = 32;
        movie.frames = kColourCount;
        Write("movie.bik", movie);
        for (uint32_t format : {VIDSURFACE32, VIDSURFACE555, VIDSURFACE565}) {
            SCOPED_TRACE(testing::Message() << "codec " << int(codec) << " format " << format);
            HVID m = VidOpen("movie.bik", 0);
            ASSERT_NE(m, nullptr);
            const uint32_t bpp = BytesPerPixel(format);
            const uint32_t pitch = movie.width * bpp + 24;
            const uint32_t rows = movie.height + 3;
            std::vector<uint8_t> buffer(size_t(pitch) * rows);
            uint32_t decoded = 0;
            for (;;) {
                std::fill(buffer.begin(), buffer.end(), uint8_t(0x5A));
                ASSERT_EQ(VidDoFrame(m), 0);
                ASSERT_EQ(VidCopyToBuffer(m, buffer.data(), pitch, rows, 0, 0, format), 1);
                const Rgb want = kColours[decoded % kColourCount];
                ++decoded;
                ExpectColour(&buffer[0], format, want, "top left");
                ExpectColour(&buffer[size_t(movie.height / 2) * pitch + movie.width / 2 * bpp],
                             format, want, "middle");
                ExpectColour(&buffer[size_t(movie.height - 1) * pitch + (movie.width - 1) * bpp],
                             format, want, "bottom right");
                for (uint32_t r = 0; r < rows; ++r) {
                    const uint32_t from = r < movie.height ? movie.width * bpp : 0;
                    for (uint32_t b = from; b < pitch; ++b)
                        ASSERT_EQ(buffer[size_t(r) * pitch + b], 0x5A) << "row " << r;
                }
                if (m->currentFrame >= m->frames) break;
                VidNextFrame(m);
            }
            EXPECT_EQ(decoded, movie.frames);
            VidClose(m);
        }
    }
}

// A target smaller than the picture, or written at an offset, gets the part that fits.
TEST_F(VideoTest, CopyCutsToTheTargetAndRefusesOtherFormats) {
    VidMovieSpec movie;
    movie.width = 64;
    movie.height = 48;
    movie.frames = 1;
    Write("movie.bik", movie);
    HVID m = VidOpen("movie.bik", 0);
    ASSERT_NE(m, nullptr);
    std::vector<uint8_t> buffer(40 * 4 * 20, 0x5A);
    EXPECT_EQ(VidCopyToBuffer(m, buffer.data(), 160, 20, 0, 0, VIDSURFACE32), 0); // nothing yet
    ASSERT_EQ(VidDoFrame(m), 0);
    for (uint32_t format : {0u, 1u, 2u, 4u, 5u, 8u, 11u})
        EXPECT_EQ(VidCopyToBuffer(m, buffer.data(), 160, 20, 0, 0, format), 0) << format;
    EXPECT_EQ(VidCopyToBuffer(m, buffer.data(), 160, 20, 40, 0, VIDSURFACE32), 0); // off the side
    EXPECT_EQ(VidCopyToBuffer(m, buffer.data(), 160, 20, 0, 20, VIDSURFACE32), 0); // below
    for (uint8_t b : buffer)
        ASSERT_EQ(b, 0x5A);

    // 40 columns x 20 rows of 32-bit pixels, picture placed at (4, 2).
    ASSERT_EQ(VidCopyToBuffer(m, buffer.data(), 160, 20, 4, 2, VIDSURFACE32), 1);
    for (uint32_t r = 0; r < 20; ++r) {
        for (uint32_t c = 0; c < 40; ++c) {
            const uint8_t* p = &buffer[size_t(r) * 160 + c * 4];
            if (r < 2 || c < 4) {
                ASSERT_EQ(p[0], 0x5A) << r << "," << c;
            } else {
                ExpectColour(p, VIDSURFACE32, kColours[0], "inside");
            }
        }
    }
    VidClose(m);
}

TEST_F(VideoTest, WaitPacesFramesOnTheMillisecondClock) {
    VidMovieSpec movie;
    movie.rate = 15;
    movie.frames = 6;
    Write("movie.bik", movie);
    // Frame k is due (k - 1) x 1000 / 15 ms after the open: 0, 66, 133, 200, ...
    struct Step {
        uint32_t advanceMs;
        bool next; // move to the next frame first
        bool waiting;
    };
    const Step steps[] = {{0, false, false},  {0, true, true},      {65, false, true},
                          {1, false, false},  {0, true, true},      {66, false, true},
                          {1, false, false},  {10000, true, false}, {0, true, false}};
    // Opened just before the clock wraps, the movie keeps its pace.
    for (uint32_t start : {5000u, 0xFFFFFFF0u}) {
        PlatformUseManualClock(true, start);
        HVID m = VidOpen("movie.bik", 0);
        ASSERT_NE(m, nullptr);
        for (size_t i = 0; i < std::size(steps); ++i) {
            if (steps[i].next) {
                VidDoFrame(m);
                VidNextFrame(m);
            }
            PlatformAdvanceClock(steps[i].advanceMs);
            EXPECT_EQ(VidWait(m) != 0, steps[i].waiting) << "start " << start << " step " << i;
        }
        VidClose(m);
    }
}

// A file cut short ends when its pictures run out: the current frame jumps to the count, the
// last picture stays, and further calls are harmless. (A cut that loses the headers' tail may
// not open at all, which is fine too.)
TEST_F(VideoTest, StreamEndingBeforeTheCountEndsTheMovie) {
    VidMovieSpec movie;
    movie.codec = VidMovieCodec::Mjpeg;
    movie.width = 64;
    movie.height = 64;
    movie.frames = 40;
    Write("whole.bik", movie);
    std::vector<uint8_t> bytes = folder.Read("whole.bik");
    uint32_t opened = 0;
    for (size_t keep : {bytes.size() * 3 / 4, bytes.size() * 2 / 3, bytes.size() / 2}) {
        SCOPED_TRACE(keep);
        folder.Write("cut.bik", std::vector<uint8_t>(bytes.begin(), bytes.begin() + long(keep)));
        HVID m = VidOpen("cut.bik", 0);
        if (!m) continue;
        ++opened;
        EXPECT_EQ(m->frames, 40u);
        std::vector<uint32_t> last(64 * 64), now(64 * 64);
        uint32_t decoded = 0;
        for (uint32_t step = 0; step < 100; ++step) {
            if (VidDoFrame(m) == 0) {
                ++decoded;
                ASSERT_EQ(VidCopyToBuffer(m, last.data(), 64 * 4, 64, 0, 0, VIDSURFACE32), 1);
            }
            if (m->currentFrame >= m->frames) break;
            VidNextFrame(m);
        }
        EXPECT_EQ(m->currentFrame, 40u);
        EXPECT_GT(decoded, 0u);
        EXPECT_LT(decoded, 40u);
        EXPECT_EQ(VidDoFrame(m), -1);
        EXPECT_EQ(m->currentFrame, 40u);
        ASSERT_EQ(VidCopyToBuffer(m, now.data(), 64 * 4, 64, 0, 0, VIDSURFACE32), 1);
        EXPECT_EQ(now, last);
        VidClose(m);
    }
    EXPECT_GT(opened, 0u);
}

TEST_F(VideoTest, FilesThatAreNotMoviesDoNotOpen) {
    VidMovieSpec movie;
    movie.frames = 4;
    Write("good.bik", movie);
    std::vector<uint8_t> good = folder.Read("good.bik");
    std::vector<uint8_t> noise(4096);
    uint32_t seed = 12345;
    for (uint8_t& b : noise) {
        seed = seed * 1103515245u + 12345u;
        b = uint8_t(seed >> 24);
    }
    folder.Write("empty.bik", std::vector<uint8_t>());
    folder.Write("text.bik", std::string("This is not a movie at all.\n"));
    folder.Write("noise.bik", noise);
    folder.Write("head.bik", std::vector<uint8_t>(good.begin(), good.begin() + 64));
    folder.Write("folder.bik/x", std::string("x"));
    for (const char* name : {"missing.bik", "empty.bik", "text.bik", "noise.bik", "head.bik",
                             "folder.bik"})
        EXPECT_EQ(VidOpen(name, 0), nullptr) << name;
    EXPECT_EQ(VidOpen(nullptr, 0), nullptr);
    // Calls on no movie do nothing.
    EXPECT_EQ(VidWait(nullptr), 0);
    EXPECT_EQ(VidDoFrame(nullptr), -1);
    EXPECT_EQ(VidSetSoundOnOff(nullptr, 1), 0);
    VidNextFrame(nullptr);
    VidClose(nullptr);
}

class VideoSoundTest : public VideoTest {
protected:
    void SetUp() override {
        VideoTest::SetUp();
        ASSERT_EQ(AIL_startup(), 1);
        MssPcmFormat format{1, 2, kLoopbackRate, kLoopbackRate * 4, 4, 16};
        ASSERT_EQ(AIL_waveOutOpen(&driver, nullptr, -1, &format), 0);
        movie.frames = 15;
        movie.rate = 15;
        movie.toneHz = 441;
        movie.toneRate = 22050;
        movie.toneAmplitude = 0.5f;
    }
    void TearDown() override {
        VideoTest::TearDown();
        AIL_waveOutClose(driver);
        AIL_shutdown();
    }

    // Opens the movie, sets its sound, decodes every frame and renders half a second.
    StereoFrames Play(int32_t soundOn, int32_t expectOnOff) {
        HVID m = VidOpen("tone.bik", 0);
        EXPECT_NE(m, nullptr);
        if (!m) return {};
        EXPECT_EQ(VidSetSoundOnOff(m, soundOn), expectOnOff);
        while (VidDoFrame(m) == 0 && m->currentFrame < m->frames)
            VidNextFrame(m);
        StereoFrames out = RenderFrames(kLoopbackRate / 2);
        VidClose(m);
        return out;
    }

    LoopbackScope loopback;
    HDIGDRIVER driver = nullptr;
    VidMovieSpec movie;
};

TEST_F(VideoSoundTest, ToneTrackIsHeardWithTheSoundSystem) {
    for (uint32_t channels : {1u, 2u}) {
        movie.toneChannels = channels;
        movie.toneRate = channels == 1 ? 11025 : 22050; // resampled either way
        Write("tone.bik", movie);
        ASSERT_EQ(VidSetSoundSystem(VidOpenMss, driver), 1);
        StereoFrames out = Play(1, 1);
        ASSERT_FALSE(out.left.empty());
        EXPECT_GT(Rms(out.left), 0.2) << channels;
        EXPECT_GT(Rms(out.right), 0.2) << channels;
        EXPECT_NEAR(ZeroCrossingFrequency(out.left), 441.0, 5.0) << channels;
    }
}

// The sound runs a quarter of a second ahead of the pictures, so it does not break up while
// the caller waits for the next frame.
TEST_F(VideoSoundTest, SoundIsQueuedAheadOfThePictures) {
    Write("tone.bik", movie);
    ASSERT_EQ(VidSetSoundSystem(VidOpenMss, driver), 1);
    HVID m = VidOpen("tone.bik", 0);
    ASSERT_NE(m, nullptr);
    ASSERT_EQ(VidDoFrame(m), 0); // one picture of 1/15 s
    StereoFrames out = RenderFrames(kLoopbackRate / 5);
    ASSERT_FALSE(out.left.empty());
    std::vector<float> tail(out.left.end() - 1000, out.left.end());
    EXPECT_GT(Rms(tail), 0.2);
    // The pictures still come in order after the packets held meanwhile.
    std::vector<uint32_t> pixels(size_t(movie.width) * movie.height);
    for (uint32_t k = 1; k < 6; ++k) {
        VidNextFrame(m);
        ASSERT_EQ(VidDoFrame(m), 0);
        ASSERT_EQ(VidCopyToBuffer(m, pixels.data(), movie.width * 4, movie.height, 0, 0,
                                  VIDSURFACE32),
                  1);
        ExpectColour(reinterpret_cast<const uint8_t*>(pixels.data()), VIDSURFACE32,
                     kColours[k], "picture after the sound read ahead");
    }
    VidClose(m);
}

TEST_F(VideoSoundTest, SoundOffOrNoSoundSystemIsSilent) {
    Write("tone.bik", movie);
    ASSERT_EQ(VidSetSoundSystem(VidOpenMss, driver), 1);
    EXPECT_LT(Rms(Play(0, 0).left), 1e-4);

    // Off then on again mid-movie: what comes after is heard.
    HVID m = VidOpen("tone.bik", 0);
    ASSERT_NE(m, nullptr);
    EXPECT_EQ(VidSetSoundOnOff(m, 0), 0);
    VidDoFrame(m);
    VidNextFrame(m);
    EXPECT_EQ(VidSetSoundOnOff(m, 1), 1);
    while (VidDoFrame(m) == 0 && m->currentFrame < m->frames)
        VidNextFrame(m);
    EXPECT_GT(Rms(RenderFrames(kLoopbackRate / 4).left), 0.2);
    VidClose(m);

    EXPECT_EQ(VidSetSoundSystem(nullptr, nullptr), 0);
    EXPECT_LT(Rms(Play(1, 0).left), 1e-4);
    EXPECT_EQ(VidSetSoundSystem(VidOpenDirectSound, nullptr), 0);
    EXPECT_LT(Rms(Play(1, 0).left), 1e-4);
    EXPECT_EQ(VidSetSoundSystem(VidOpenMss, nullptr), 0);
    EXPECT_LT(Rms(Play(1, 0).left), 1e-4);
}

} // namespace
