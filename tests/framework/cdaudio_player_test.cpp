#include "framework/cdaudio/cdaudio.h"
#include "framework/core/framework.h"
#include "platform/winmm/mci.h"
#include "tests/framework/framework_fixture.h"

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace {

// A simulated drive with a disc of four tracks, the third a data track.
struct Drive {
    MCIERROR openError = 0;
    MCIERROR playError = 0;
    uint32_t lengths[4] = {1000, 2000, 3000, 4000};
    bool audio[4] = {true, true, false, true};
    uint32_t count = 4;
    uint32_t mode = MCI_MODE_STOP;
    uint32_t current = 1;
    uint32_t position = 0;
    bool tmsf = false;
    std::vector<std::string> log;

    uint32_t Start(uint32_t track) const {
        uint32_t at = 0;
        for (uint32_t i = 1; i < track && i <= count; ++i)
            at += lengths[i - 1];
        return at;
    }
} g_drive;

MCIERROR Reply(char* reply, uint32_t size, const std::string& text) {
    std::snprintf(reply, size, "%s", text.c_str());
    return 0;
}

MCIERROR Fake(const char* command, char* reply, uint32_t size) {
    Drive& d = g_drive;
    std::string c = command;
    d.log.push_back(c);
    unsigned n = 0, m = 0;
    if (c == "open cdaudio") return d.openError ? d.openError : Reply(reply, size, "1");
    if (c == "close cdaudio" || c == "stop cdaudio") {
        if (c == "stop cdaudio") d.mode = MCI_MODE_STOP;
        return 0;
    }
    if (c == "set cdaudio time format tmsf" || c == "set cdaudio time format milliseconds") {
        d.tmsf = c.ends_with("tmsf");
        return 0;
    }
    if (c == "set cdaudio door open") return d.mode = MCI_MODE_OPEN, 0;
    if (c == "set cdaudio door closed") return d.mode = MCI_MODE_STOP, 0;
    if (c == "status cdaudio mode") return Reply(reply, size, std::to_string(d.mode));
    if (c == "status cdaudio number of tracks") return Reply(reply, size, std::to_string(d.count));
    if (c == "status cdaudio current track") return Reply(reply, size, std::to_string(d.current));
    if (c == "status cdaudio position") return Reply(reply, size, std::to_string(d.position));
    if (std::sscanf(command, "status cdaudio type track %u", &n) == 1 && n >= 1 && n <= d.count)
        return Reply(reply, size, d.audio[n - 1] ? "audio" : "other");
    if (std::sscanf(command, "status cdaudio length track %u", &n) == 1 && n >= 1 && n <= d.count)
        return Reply(reply, size, std::to_string(d.lengths[n - 1]));
    if (std::sscanf(command, "status cdaudio position track %u", &n) == 1 && n >= 1 && n <= d.count)
        return Reply(reply, size, std::to_string(d.Start(n)));
    if (std::sscanf(command, "seek cdaudio to %u", &n) == 1) {
        if (d.tmsf) {
            d.current = n;
            d.position = d.Start(n);
        } else {
            d.position = n;
        }
        d.mode = MCI_MODE_STOP;
        return 0;
    }
    if (c.starts_with("play cdaudio")) {
        if (d.playError) return d.playError;
        if (std::sscanf(command, "play cdaudio from %u", &m) == 1) {
            d.current = m;
            d.position = d.Start(m);
        }
        d.mode = MCI_MODE_PLAY;
        return 0;
    }
    if (c == "pause cdaudio") return d.mode = MCI_MODE_STOP, 0;
    return MCIERR_INVALID_DEVICE;
}

class CdAudio : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        g_drive = Drive{};
        PlatformUseManualTimers(true);
        PlatformMixerAddLine(0);
    }
    void TearDown() override {
        if (cd) cd->Release();
        PlatformSetMciHandler(nullptr);
        PlatformMixerAddLine(0);
        PlatformUseManualTimers(false);
        EXPECT_EQ(PlatformLiveTimers(), 0);
        FrameworkTest::TearDown();
    }
    VkResult Open() {
        PlatformSetMciHandler(Fake);
        void* out = nullptr;
        VkResult res = VkCreateInstance(CLSID_VkCdAudio, nullptr, 0, IID_IVkCdAudio, &out);
        cd = static_cast<IVkCDAudio*>(out);
        g_drive.log.clear();
        return res;
    }
    std::string LastPlay() const {
        for (auto it = g_drive.log.rbegin(); it != g_drive.log.rend(); ++it)
            if (it->starts_with("play")) return *it;
        return "";
    }

    IVkCDAudio* cd = nullptr;
};

TEST_F(CdAudio, CreationFailsWithoutADeviceAndHoldsNothing) {
    void* out = nullptr;
    EXPECT_EQ(VkCreateInstance(CLSID_VkCdAudio, nullptr, 0, IID_IVkCdAudio, &out),
              VK_E_CD_NODEVICE);
    EXPECT_EQ(out, nullptr);
    g_drive.openError = MCIERR_DEVICE_REFUSED;
    EXPECT_EQ(Open(), VK_E_CD_REFUSED);
    EXPECT_EQ(cd, nullptr);
    // Nothing stays open: a later drive opens normally.
    g_drive.openError = 0;
    ASSERT_EQ(Open(), VK_OK);
    EXPECT_EQ(cd->GetTrackCount(), 4u);
}

TEST_F(CdAudio, PlayRangesFollowTheFlags) {
    struct Case {
        uint32_t track, flags;
        const char* command;
    } cases[] = {
        {0, 0, "play cdaudio from 1 to 2"},
        {1, VK_CD_TOEND, "play cdaudio from 2"},
        {3, 0, "play cdaudio from 4"}, // the last track needs no end
    };
    ASSERT_EQ(Open(), VK_OK);
    for (const Case& c : cases) {
        ASSERT_EQ(cd->Stop(), VK_OK);
        ASSERT_EQ(cd->SetTrack(c.track), VK_OK);
        EXPECT_EQ(cd->Play(c.flags), VK_OK);
        EXPECT_EQ(LastPlay(), c.command);
    }
    EXPECT_EQ(cd->SetTrack(4), VK_E_CD_BADTRACK);
    g_drive.mode = MCI_MODE_STOP;
    g_drive.playError = MCIERR_HARDWARE;
    EXPECT_EQ(cd->Play(0), VK_E_CD_HARDWARE);
    g_drive.playError = MCIERR_INVALID_DEVICE;
    EXPECT_EQ(cd->Play(0), VK_E_FAIL);
}

TEST_F(CdAudio, StatusReflectsTheDrive) {
    ASSERT_EQ(Open(), VK_OK);
    uint32_t flags = 99;
    EXPECT_EQ(cd->GetStatus(&flags), VK_OK);
    EXPECT_EQ(flags, VK_CD_STOPPED);
    ASSERT_EQ(cd->Play(VK_CD_TOEND), VK_OK);
    EXPECT_EQ(cd->GetStatus(&flags), VK_OK);
    EXPECT_EQ(flags, VK_CD_TOEND | VK_CD_PLAYING);
    ASSERT_EQ(cd->Pause(), VK_OK);
    EXPECT_EQ(cd->GetStatus(&flags), VK_OK);
    EXPECT_EQ(flags, VK_CD_TOEND | VK_CD_PAUSED);
    // Pausing again resumes where the drive stands.
    ASSERT_EQ(cd->Pause(), VK_OK);
    EXPECT_EQ(LastPlay(), "play cdaudio");
    g_drive.mode = MCI_MODE_OPEN;
    EXPECT_EQ(cd->GetStatus(&flags), VK_E_CD_DOOROPEN);
    ASSERT_EQ(cd->ToggleDoor(), VK_OK);
    EXPECT_EQ(g_drive.mode, MCI_MODE_STOP);
    g_drive.mode = MCI_MODE_NOT_READY;
    EXPECT_EQ(cd->GetStatus(&flags), VK_E_CD_NOTREADY);
    g_drive.mode = MCI_MODE_STOP;
    ASSERT_EQ(cd->SetTrack(2), VK_OK);
    EXPECT_EQ(cd->GetStatus(&flags), VK_E_CD_NOTAUDIO);
}

TEST_F(CdAudio, PositionsAreInsideTheCurrentTrack) {
    ASSERT_EQ(Open(), VK_OK);
    ASSERT_EQ(cd->SetTrack(1), VK_OK);
    EXPECT_EQ(cd->GetTrackLength(), 2000u);
    EXPECT_EQ(cd->SetPosition(2001), VK_E_CD_BADPOSITION);
    ASSERT_EQ(cd->Play(0), VK_OK);
    ASSERT_EQ(cd->SetPosition(500), VK_OK);
    EXPECT_EQ(g_drive.position, 1500u);
    EXPECT_EQ(cd->GetPosition(), 500u);
    // Play resumes at the new position rather than from the start of the track.
    EXPECT_EQ(LastPlay(), "play cdaudio to 3");
    EXPECT_TRUE(g_drive.tmsf);
}

TEST_F(CdAudio, WatchingTimerPlaysOnWhenTheDriveStops) {
    struct Case {
        uint32_t flags;
        const char* command;
    } cases[] = {
        {VK_CD_KEEPPLAYING | VK_CD_TOEND, "play cdaudio from 1"},
        {VK_CD_KEEPPLAYING, "play cdaudio from 2 to 3"},
    };
    ASSERT_EQ(Open(), VK_OK);
    for (const Case& c : cases) {
        ASSERT_EQ(cd->Stop(), VK_OK);
        ASSERT_EQ(cd->SetTrack(1), VK_OK);
        ASSERT_EQ(cd->Play(c.flags), VK_OK);
        EXPECT_EQ(PlatformLiveTimers(), 1);
        g_drive.log.clear();
        PlatformFireTimers(); // still playing: nothing is sent
        EXPECT_EQ(LastPlay(), "");
        g_drive.mode = MCI_MODE_STOP;
        PlatformFireTimers();
        EXPECT_EQ(LastPlay(), c.command);
    }
    ASSERT_EQ(cd->Stop(), VK_OK);
    EXPECT_EQ(PlatformLiveTimers(), 0);
    EXPECT_EQ(PlatformTimerPeriodDepth(), 0);
}

TEST_F(CdAudio, WatchingTimerGivesUpAfterTheLastTrack) {
    ASSERT_EQ(Open(), VK_OK);
    ASSERT_EQ(cd->SetTrack(3), VK_OK);
    ASSERT_EQ(cd->Play(VK_CD_KEEPPLAYING), VK_OK);
    g_drive.mode = MCI_MODE_STOP;
    g_drive.playError = MCIERR_HARDWARE;
    PlatformFireTimers(); // every play fails: the event must still return
    EXPECT_EQ(cd->GetCurrentTrack(), 3u);
}

// Data tracks are skipped: a disc starting with one plays on from its first audio track, and a
// disc without audio stops being watched (and the next Play starts at the first track again).
TEST_F(CdAudio, WatchingTimerSkipsDataTracks) {
    g_drive.audio[0] = false;
    g_drive.audio[2] = false;
    g_drive.current = 2;
    ASSERT_EQ(Open(), VK_OK);
    ASSERT_EQ(cd->SetTrack(1), VK_OK);
    ASSERT_EQ(cd->Play(VK_CD_KEEPPLAYING | VK_CD_TOEND), VK_OK);
    for (int round = 0; round < 2; ++round) {
        g_drive.mode = MCI_MODE_STOP;
        g_drive.log.clear();
        PlatformFireTimers();
        EXPECT_EQ(LastPlay(), "play cdaudio from 2");
        EXPECT_EQ(PlatformLiveTimers(), 1);
    }

    for (bool& audio : g_drive.audio)
        audio = false;
    g_drive.mode = MCI_MODE_STOP;
    g_drive.log.clear();
    PlatformFireTimers();
    EXPECT_EQ(LastPlay(), "");
    EXPECT_EQ(PlatformLiveTimers(), 0);
    EXPECT_EQ(PlatformTimerPeriodDepth(), 0);
    g_drive.audio[0] = true;
    EXPECT_EQ(cd->Play(VK_CD_KEEPPLAYING), VK_OK);
    EXPECT_EQ(LastPlay(), "play cdaudio from 1 to 2");
    ASSERT_EQ(cd->Stop(), VK_OK);
}

TEST_F(CdAudio, VolumeUsesTheFirstLineWithAControl) {
    ASSERT_EQ(Open(), VK_OK);
    EXPECT_EQ(cd->SetVolume(1.5f), VK_E_FAIL);
    EXPECT_EQ(cd->SetVolume(-0.1f), VK_E_FAIL);
    EXPECT_EQ(cd->SetVolume(0.5f), VK_E_FAIL); // the machine's mixer has no line
    PlatformMixerAddLine(MIXERLINE_LINE);
    PlatformMixerAddLine(MIXERLINE_AUXILIARY);
    ASSERT_EQ(cd->SetVolume(0.5f), VK_OK);
    EXPECT_EQ(PlatformMixerLineValue(MIXERLINE_AUXILIARY), 32767);
    EXPECT_EQ(PlatformMixerLineValue(MIXERLINE_LINE), 0);
    float volume = 0;
    ASSERT_EQ(cd->GetVolume(&volume), VK_OK);
    EXPECT_NEAR(volume, 0.5f, 1e-4f);
}

std::atomic<int> g_fired{0};
void CountEvent(uint32_t, uint32_t, uintptr_t, uintptr_t, uintptr_t) {
    ++g_fired;
}

TEST(CdAudioTimers, RunOnTheirOwnAndStopWhenKilled) {
    g_fired = 0;
    uint32_t id = timeSetEvent(1, 1, CountEvent, 0, TIME_PERIODIC);
    ASSERT_NE(id, 0u);
    for (int i = 0; i < 5000 && g_fired < 2; ++i)
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    EXPECT_GE(g_fired, 2);
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOERROR);
    EXPECT_EQ(timeKillEvent(id), TIMERR_NOCANDO);
    EXPECT_EQ(PlatformLiveTimers(), 0);
}

} // namespace
