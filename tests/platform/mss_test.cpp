// The sound library stand-in heard through the loopback device: sample volume, pan and rate,
// loop counts, the low-pass stage, 3-D samples, streams and the absent CD drive.
#include <gtest/gtest.h>

#include <cmath>

#include "platform/sound/mss.h"
#include "tests/support/data_folder.h"
#include "tests/support/loopback.h"
#include "tests/support/sound_writer.h"

namespace {

class MssTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_EQ(AIL_startup(), 1);
        MssPcmFormat format{1, 2, 22050, 22050 * 4, 4, 16};
        ASSERT_EQ(AIL_waveOutOpen(&driver, nullptr, -1, &format), 0);
    }
    void TearDown() override {
        for (void* b : blocks)
            AIL_mem_free_lock(b);
        AIL_shutdown();
    }

    // A sample playing a file written from a tone.
    HSAMPLE Start(const WavTone& tone, int32_t loops, const char* name = "SOUND\\tone.wav") {
        std::string relative = name;
        for (char& c : relative)
            if (c == '\\') c = '/';
        folder.Write(relative, WavToneBytes(tone));
        void* image = AIL_file_read(name, nullptr);
        EXPECT_NE(image, nullptr);
        blocks.push_back(image);
        HSAMPLE s = AIL_allocate_sample_handle(driver);
        AIL_init_sample(s);
        EXPECT_EQ(AIL_set_sample_file(s, image, -1), 1);
        AIL_set_sample_loop_count(s, loops);
        return s;
    }

    DataFolder folder;
    LoopbackScope loopback;
    HDIGDRIVER driver = nullptr;
    std::vector<void*> blocks;
};

const double kHalfRms = 0.5 / std::sqrt(2.0);

TEST_F(MssTest, VolumePanAndRateAreLinear) {
    struct Case {
        int32_t volume, pan, rate;
        double left, right, hz;
    } cases[] = {
        {127, 64, 22050, kHalfRms * 63.0 / 63.5, kHalfRms, 1000},
        {64, 64, 22050, kHalfRms * 64.0 / 127.0 * 63.0 / 63.5, kHalfRms * 64.0 / 127.0, 1000},
        {127, 0, 22050, kHalfRms, 0.0, 1000},
        {127, 127, 22050, 0.0, kHalfRms, 1000},
        {127, 96, 11025, kHalfRms * 31.0 / 63.5, kHalfRms, 500},
    };
    WavTone tone;
    for (const Case& c : cases) {
        HSAMPLE s = Start(tone, 0);
        EXPECT_EQ(AIL_sample_playback_rate(s), 22050);
        AIL_set_sample_volume(s, c.volume);
        AIL_set_sample_pan(s, c.pan);
        AIL_set_sample_playback_rate(s, c.rate);
        AIL_start_sample(s);
        StereoFrames out = RenderFrames(8820);
        EXPECT_NEAR(Rms(out.left), c.left, 0.01) << c.volume << " " << c.pan;
        EXPECT_NEAR(Rms(out.right), c.right, 0.01) << c.volume << " " << c.pan;
        EXPECT_NEAR(ZeroCrossingFrequency(c.left > 0 ? out.left : out.right), c.hz, 5.0);
        AIL_end_sample(s);
        AIL_release_sample_handle(s);
    }
}

TEST_F(MssTest, LoopCountsAndStatus) {
    WavTone tone;
    tone.frames = 2205;
    HSAMPLE once = Start(tone, 1, "SOUND\\a.wav");
    HSAMPLE twice = Start(tone, 2, "SOUND\\b.wav");
    HSAMPLE ever = Start(tone, 0, "SOUND\\c.wav");
    EXPECT_EQ(AIL_sample_status(once), SMP_DONE);
    for (HSAMPLE s : {once, twice, ever})
        AIL_start_sample(s);
    EXPECT_EQ(AIL_sample_status(once), SMP_PLAYING);
    RenderFrames(3000);
    EXPECT_EQ(AIL_sample_status(once), SMP_DONE);
    EXPECT_EQ(AIL_sample_status(twice), SMP_PLAYING);
    RenderFrames(2000);
    EXPECT_EQ(AIL_sample_status(twice), SMP_DONE);
    RenderFrames(20000);
    EXPECT_EQ(AIL_sample_status(ever), SMP_PLAYING);
    AIL_end_sample(ever);
    EXPECT_EQ(AIL_sample_status(ever), SMP_DONE);
    for (HSAMPLE s : {once, twice, ever})
        AIL_release_sample_handle(s);
}

TEST_F(MssTest, LowPassAttenuatesMoreAtALowerCutoff) {
    HPROENUM next = HPROENUM_FIRST;
    HPROVIDER provider = 0;
    const char* name = nullptr;
    ASSERT_EQ(AIL_enumerate_filters(&next, &provider, &name), 1);
    EXPECT_STREQ(name, "HMI LowPass Filter");
    EXPECT_EQ(AIL_enumerate_filters(&next, &provider, &name), 0);
    ASSERT_EQ(AIL_open_filter(provider, driver), 0);
    WavTone tone;
    tone.frequency = 5000.0f;
    double levels[3];
    const float cutoffs[3] = {20000.0f, 5000.0f, 1000.0f};
    for (int i = 0; i < 3; ++i) {
        HSAMPLE s = Start(tone, 0);
        AIL_set_sample_processor(s, 1, provider);
        AIL_set_filter_sample_preference(s, "Lowpass Cutoff", &cutoffs[i]);
        AIL_start_sample(s);
        RenderFrames(2048);
        levels[i] = Rms(RenderFrames(8192).left);
        AIL_release_sample_handle(s);
    }
    EXPECT_GT(levels[0], kHalfRms * 0.8);
    EXPECT_LT(levels[1], levels[0] * 0.85);
    EXPECT_LT(levels[2], levels[1] * 0.6);
    // Processor 0: no filter, the full level.
    HSAMPLE s = Start(tone, 0);
    AIL_set_sample_processor(s, 1, provider);
    AIL_set_filter_sample_preference(s, "Lowpass Cutoff", &cutoffs[2]);
    AIL_set_sample_processor(s, 1, 0);
    AIL_start_sample(s);
    RenderFrames(2048);
    double unfiltered = Rms(RenderFrames(8192).left);
    EXPECT_NEAR(unfiltered, kHalfRms * 63.0 / 63.5, 0.01);
    EXPECT_GT(unfiltered, levels[0]);
    AIL_release_sample_handle(s);
    AIL_close_filter(provider);
}

TEST_F(MssTest, ThreeDSampleFallsOffWithDistance) {
    folder.Write("t.wav", WavToneBytes(WavTone{}));
    void* image = AIL_file_read("T.WAV", nullptr);
    ASSERT_NE(image, nullptr);
    blocks.push_back(image);
    H3DSAMPLE s = AIL_allocate_3D_sample_handle(driver);
    ASSERT_EQ(AIL_set_3D_sample_file(s, image), 1);
    AIL_set_3D_sample_loop_count(s, 0);
    AIL_set_3D_sample_float_distances(s, 100.0f, 1.0f);
    AIL_set_3D_position(s, 0, 0, 4);
    AIL_start_3D_sample(s);
    EXPECT_EQ(AIL_3D_sample_status(s), SMP_PLAYING);
    StereoFrames out = RenderFrames(4410);
    double total = std::sqrt(Rms(out.left) * Rms(out.left) + Rms(out.right) * Rms(out.right));
    EXPECT_NEAR(total, kHalfRms / 4.0, 0.02);
    AIL_release_3D_sample_handle(s);
}

TEST_F(MssTest, StreamPlaysCountsAndEnds) {
    WavTone tone;
    tone.frames = 20000;
    tone.channels = 2;
    folder.Write("SOUND/speech.wav", WavToneBytes(tone));
    EXPECT_EQ(AIL_file_size("sound\\SPEECH.wav"), 44 + 80000);
    EXPECT_EQ(AIL_file_size("sound\\none.wav"), -1);
    EXPECT_EQ(AIL_open_stream(driver, "sound\\none.wav", 0), nullptr);
    HSTREAM s = AIL_open_stream(driver, "SOUND\\speech.wav", 0);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(AIL_stream_playback_rate(s), 22050);
    AIL_set_stream_loop_count(s, 2);
    AIL_set_stream_volume(s, 127);
    AIL_start_stream(s);
    // Two plays of 20000 frames, fed as the status is polled.
    for (int i = 0; i < 38; ++i) {
        ASSERT_EQ(AIL_stream_status(s), int32_t(SMP_PLAYING)) << i;
        StereoFrames out = RenderFrames(1024);
        ASSERT_NEAR(Rms(out.left), kHalfRms, 0.02) << i;
    }
    AIL_pause_stream(s, 1);
    EXPECT_EQ(AIL_stream_status(s), int32_t(SMP_STOPPED));
    AIL_pause_stream(s, 0);
    for (int i = 0; i < 4; ++i) {
        AIL_stream_status(s);
        RenderFrames(1024);
    }
    EXPECT_EQ(AIL_stream_status(s), int32_t(SMP_DONE));
    AIL_close_stream(s);
}

TEST_F(MssTest, BadImagesAndNoCdDrive) {
    folder.Write("bad.wav", std::string("RIFF\x04\0\0\0WAVEdata", 16));
    void* image = AIL_file_read("bad.wav", nullptr);
    ASSERT_NE(image, nullptr);
    blocks.push_back(image);
    HSAMPLE s = AIL_allocate_sample_handle(driver);
    EXPECT_EQ(AIL_set_sample_file(s, image, -1), 0);
    int foreign = 0;
    EXPECT_EQ(AIL_set_sample_file(s, &foreign, -1), 0);
    AIL_release_sample_handle(s);
    EXPECT_EQ(AIL_file_read("missing.wav", nullptr), nullptr);
    EXPECT_EQ(AIL_redbook_open(0), nullptr);
    EXPECT_EQ(AIL_redbook_status(nullptr), REDBOOK_ERROR);
    EXPECT_EQ(AIL_redbook_play(nullptr, 0, 100), 0u);
}

TEST_F(MssTest, PcmSourceForVideo) {
    MssPcmStream* pcm = MssOpenPcmStream(driver, 22050, 2);
    ASSERT_NE(pcm, nullptr);
    std::vector<uint8_t> bytes = WavToneSamples(WavTone{2, 16, 22050, 4410});
    const int16_t* frames = reinterpret_cast<const int16_t*>(bytes.data());
    ASSERT_TRUE(MssPushPcm(pcm, frames, 4410));
    ASSERT_TRUE(MssPushPcm(pcm, frames, 4410));
    EXPECT_EQ(MssPcmQueuedFrames(pcm), 8820u);
    MssSetPcmVolume(pcm, 0.5f);
    MssPlayPcm(pcm);
    EXPECT_NEAR(Rms(RenderFrames(4410).left), kHalfRms * 0.5, 0.01);
    EXPECT_NEAR(double(MssPcmQueuedFrames(pcm)), 4410.0, 64.0);
    MssStopPcm(pcm);
    EXPECT_EQ(MssPcmQueuedFrames(pcm), 0u);
    MssClosePcm(pcm);
}

} // namespace
