// CD music: the track queue, gaps, the cross-faded switch, fades and the looping service,
// driven through a fake drive behind the CD layer's table, the fake's clock and the engine's
// seeded random generator.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/world/random.h"
#include "platform/sound/mss.h"
#include "shell/cdaudio.h"
#include "tests/support/null_device.h"

namespace {

struct FakeDrive {
    uint32_t tracks = 10;
    uint32_t now = 1000;
    uint32_t status = REDBOOK_PLAYING;
    int32_t volume = -1;
    std::vector<std::pair<uint32_t, uint32_t>> plays;
    int pauses = 0, resumes = 0, stops = 0;
};

FakeDrive g_drive;
MssRedbook* const kDrive = reinterpret_cast<MssRedbook*>(&g_drive);

const MV2CdCalls kFakeCalls = {
    [](uint32_t) { return kDrive; },
    [](MssRedbook*) {},
    [](MssRedbook*) { return g_drive.tracks; },
    [](MssRedbook*, uint32_t track, uint32_t* start, uint32_t* end) {
        *start = track * 100000;
        *end = track * 100000 + 60000 + track;
    },
    [](MssRedbook*, uint32_t start, uint32_t end) {
        g_drive.plays.push_back({start, end});
        g_drive.status = REDBOOK_PLAYING;
        return 1u;
    },
    [](MssRedbook*) {
        ++g_drive.stops;
        return 1u;
    },
    [](MssRedbook*) {
        ++g_drive.pauses;
        return 1u;
    },
    [](MssRedbook*) {
        ++g_drive.resumes;
        return 1u;
    },
    [](MssRedbook*) { return g_drive.status; },
    [](MssRedbook*, int32_t volume) {
        g_drive.volume = volume;
        return volume;
    },
    []() { return g_drive.now; },
};

bool AttachRandom() {
    return TvRandomPluginAttach() == 1;
}

// 0-based track of a recorded play.
int32_t TrackOf(const std::pair<uint32_t, uint32_t>& play) {
    return int32_t(play.first / 100000) - 1;
}

class MusicTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.ok());
        TvRandomSeed(7);
        g_drive = FakeDrive{};
        gMV2CdCalls = kFakeCalls;
        MV2InitialiseMusic();
        MV2ResetMusic();
        MV2SetMusicGap(0, 0);
        ASSERT_EQ(MV2CdOpen(), 1);
        MV2SetCdVolume(100);
    }
    void TearDown() override {
        MV2MusicShutdown();
        MV2ResetMusic();
        gMV2CdCalls = kMV2LibraryCdCalls;
    }
    void Finish() {
        g_drive.status = REDBOOK_STOPPED;
        MV2UpdateMusic();
    }

    NullEngine engine{nullptr, true, AttachRandom};
};

TEST_F(MusicTest, ClosedDriveKeepsMusicStopped) {
    MV2MusicShutdown();
    gMV2CdCalls = kMV2LibraryCdCalls;
    EXPECT_EQ(MV2CdOpen(), 0);
    EXPECT_EQ(MV2AddMusicTrack(3, 0), 1);
    EXPECT_EQ(MV2StartMusic(), 0);
    EXPECT_EQ(MV2MusicState(), kMV2MusicStopped);
    MV2UpdateMusic();
    EXPECT_EQ(MV2MusicState(), kMV2MusicStopped);
    int32_t finished = 5;
    EXPECT_EQ(MV2CdStatus(&finished), 0);
    EXPECT_EQ(finished, 0);
}

TEST_F(MusicTest, GapsAndPlaylistLimits) {
    EXPECT_EQ(MV2SetMusicGap(5, 3), 0);
    EXPECT_EQ(MV2SetMusicGap(-1, 3), 0);
    EXPECT_EQ(MV2SetMusicGap(0, 0), 1);
    for (int32_t t = 0; t < kMV2MusicTracks; ++t)
        ASSERT_EQ(MV2MusicAddTrack(t, 0), 1);
    EXPECT_EQ(MV2MusicAddTrack(99, 0), 0);
    EXPECT_EQ(MV2MusicPlaylistCount(), kMV2MusicTracks);
    EXPECT_EQ(MV2AddMusicTrack(-1, 0), 0);
}

TEST_F(MusicTest, ThreeTracksPlayOnceEachInRandomOrderThenStop) {
    for (int32_t t : {4, 5, 6})
        MV2MusicAddTrack(t, 0);
    ASSERT_EQ(MV2MusicPlay(0), 1);
    ASSERT_EQ(g_drive.plays.size(), 1u);
    int32_t first = TrackOf(g_drive.plays[0]);
    EXPECT_TRUE(first == 4 || first == 6) << first; // entry 0 or 2
    EXPECT_EQ(g_drive.plays[0].first, uint32_t(first + 1) * 100000 + 1);
    EXPECT_EQ(MV2MusicCurrentTrack(), first);
    for (int i = 0; i < 2; ++i) {
        Finish();
        EXPECT_EQ(MV2MusicState(), kMV2MusicGap);
        EXPECT_EQ(MV2MusicCurrentTrack(), 0);
        MV2UpdateMusic(); // a gap of 0 seconds ends at once
        EXPECT_EQ(MV2MusicState(), kMV2MusicPlaying);
    }
    std::vector<int32_t> played;
    for (const auto& p : g_drive.plays)
        played.push_back(TrackOf(p));
    std::sort(played.begin(), played.end());
    EXPECT_EQ(played, (std::vector<int32_t>{4, 5, 6}));
    Finish();
    MV2UpdateMusic();
    EXPECT_EQ(MV2MusicState(), kMV2MusicStopped);
    EXPECT_EQ(g_drive.plays.size(), 3u);
}

TEST_F(MusicTest, GapWaitsItsRandomTime) {
    MV2SetMusicGap(2, 5);
    MV2MusicAddTrack(1, 0);
    MV2MusicPlay(1);
    Finish();
    ASSERT_EQ(MV2MusicState(), kMV2MusicGap);
    g_drive.now += 1999;
    MV2UpdateMusic();
    EXPECT_EQ(MV2MusicState(), kMV2MusicGap);
    g_drive.now += 6000;
    MV2UpdateMusic();
    EXPECT_EQ(MV2MusicState(), kMV2MusicPlaying); // repeating: the one track again
    EXPECT_EQ(g_drive.plays.size(), 2u);
}

TEST_F(MusicTest, DelayedSwitchCrossFadesToTheSpecialTrack) {
    MV2MusicSetVolume(0.8f);
    MV2MusicAddTrack(2, 0);
    MV2MusicPlay(0);
    ASSERT_EQ(MV2MusicPlayTrack(7, 2.0f, 1, 0), 1);
    EXPECT_EQ(MV2MusicState(), kMV2MusicSwitching);
    g_drive.now += 500; // t = 0.25: fading out
    MV2UpdateMusic();
    EXPECT_EQ(g_drive.volume, int32_t(0.5f * 0.8f * 127.0f));
    EXPECT_EQ(g_drive.plays.size(), 1u);
    g_drive.now += 1000; // t = 0.75: the special track, fading in
    MV2UpdateMusic();
    ASSERT_EQ(g_drive.plays.size(), 2u);
    EXPECT_EQ(TrackOf(g_drive.plays[1]), 7);
    EXPECT_EQ(g_drive.volume, int32_t(0.5f * 0.8f * 127.0f));
    g_drive.now += 600;
    MV2UpdateMusic();
    EXPECT_EQ(MV2MusicState(), kMV2MusicPlaying);
    EXPECT_EQ(MV2MusicCurrentTrack(), 7);
    EXPECT_EQ(g_drive.plays.size(), 2u);
    // Looping: when its time has passed the track is played again.
    g_drive.now += 60000 + 8;
    MV2UpdateMusic();
    EXPECT_EQ(g_drive.plays.size(), 3u);
    // A pause moves the looping end by the paused time.
    MV2MusicPause();
    EXPECT_EQ(MV2MusicState(), kMV2MusicPaused);
    g_drive.now += 100000;
    MV2MusicResume();
    EXPECT_EQ(MV2MusicState(), kMV2MusicPlaying);
    g_drive.now += 59000;
    MV2UpdateMusic();
    EXPECT_EQ(g_drive.plays.size(), 3u);
}

TEST_F(MusicTest, StopTrackLeavesAGapAndNoDelayPlaysAtOnce) {
    EXPECT_EQ(MV2MusicStopTrack(), 0);
    ASSERT_EQ(MV2MusicPlayTrack(3, 0.0f, 0, 1), 1);
    EXPECT_EQ(MV2MusicPlaylistCount(), 1);
    EXPECT_EQ(MV2MusicState(), kMV2MusicPlaying);
    EXPECT_EQ(MV2MusicStopTrack(), 1);
    EXPECT_EQ(MV2MusicState(), kMV2MusicGap);
    MV2UpdateMusic();
    EXPECT_EQ(MV2MusicState(), kMV2MusicPlaying);
    EXPECT_EQ(MV2MusicCurrentTrack(), 3);
}

TEST_F(MusicTest, FadeToZeroStopsAndEmptiesTheQueue) {
    MV2AddMusicTrack(2, 1);
    ASSERT_EQ(MV2StartMusic(), 1);
    MV2FadeMusic(0.0f, 2.0f);
    g_drive.now += 1000;
    MV2UpdateMusicFade();
    EXPECT_EQ(g_drive.volume, int32_t(0.5f * 127.0f));
    EXPECT_EQ(MV2MusicState(), kMV2MusicPlaying);
    g_drive.now += 1000;
    MV2UpdateMusicFade();
    EXPECT_EQ(MV2MusicState(), kMV2MusicStopped);
    EXPECT_EQ(MV2MusicPlaylistCount(), 0);
    // Other targets are reached and kept.
    MV2AddMusicTrack(2, 1);
    MV2StartMusic();
    MV2FadeMusic(0.5f, 1.0f);
    g_drive.now += 2000;
    MV2UpdateMusicFade();
    EXPECT_EQ(g_drive.volume, int32_t(0.5f * 127.0f));
}

TEST_F(MusicTest, CdVolumePercent) {
    struct Case {
        int32_t set, get;
    } cases[] = {{150, 100}, {-5, 0}, {29, 29}, {70, 70}};
    for (const Case& c : cases) {
        MV2SetCdVolume(c.set);
        EXPECT_EQ(MV2GetCdVolume(), c.get) << c.set;
    }
}

} // namespace
