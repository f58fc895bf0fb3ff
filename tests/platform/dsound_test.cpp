// DirectSound stand-in: levels, pan, rate and looping heard through the loopback device, lock
// wrap-around, cursors, deferred 3-D settings and capture through its test seam.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <vector>

#include "platform/dsound/dsound.h"
#include "tests/support/loopback.h"
#include "tests/support/sound_writer.h"

namespace {

LRESULT Quiet(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class DSoundTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformResetWindows();
        WNDCLASSA wc{};
        wc.lpfnWndProc = Quiet;
        wc.lpszClassName = "SoundClass";
        RegisterClassA(&wc);
        hwnd = CreateWindowExA(0, "SoundClass", "s", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               nullptr, nullptr);
        ASSERT_EQ(DirectSoundCreate(nullptr, &ds, nullptr), DS_OK);
        ASSERT_EQ(ds->SetCooperativeLevel(hwnd, DSSCL_EXCLUSIVE), DS_OK);
    }
    void TearDown() override {
        if (ds) {
            EXPECT_EQ(ds->Release(), 0u);
        }
        PlatformResetWindows();
    }

    // A buffer holding a tone (amplitude 0.5 of full scale).
    IDirectSoundBuffer* Tone(uint32_t channels, uint32_t bits, uint32_t frames, DWORD flags,
                             float hz = 1000.0f) {
        WavTone tone;
        tone.channels = channels;
        tone.bits = bits;
        tone.frames = frames;
        tone.frequency = hz;
        std::vector<uint8_t> samples = WavToneSamples(tone);
        WAVEFORMATEX f{WAVE_FORMAT_PCM,
                       uint16_t(channels),
                       22050,
                       0,
                       uint16_t(channels * bits / 8),
                       uint16_t(bits),
                       0};
        f.nAvgBytesPerSec = 22050 * f.nBlockAlign;
        DSBUFFERDESC desc{sizeof(DSBUFFERDESC), flags, DWORD(samples.size()), 0, &f};
        IDirectSoundBuffer* b = nullptr;
        EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DS_OK);
        if (!b) return nullptr;
        void *p1, *p2;
        DWORD n1, n2;
        EXPECT_EQ(b->Lock(0, DWORD(samples.size()), &p1, &n1, &p2, &n2, 0), DS_OK);
        std::memcpy(p1, samples.data(), n1);
        b->Unlock(p1, n1, p2, n2);
        return b;
    }

    LoopbackScope loopback;
    HWND hwnd = nullptr;
    IDirectSound* ds = nullptr;
};

constexpr DWORD kCtrl = DSBCAPS_CTRLVOLUME | DSBCAPS_CTRLPAN | DSBCAPS_CTRLFREQUENCY;
// RMS of a sine of half full scale.
const double kToneRms = 0.5 / std::sqrt(2.0);

TEST_F(DSoundTest, ToneComesOutAtItsLevelAndRate) {
    IDirectSoundBuffer* b = Tone(1, 16, 22050, kCtrl);
    ASSERT_NE(b, nullptr);
    ASSERT_EQ(b->Play(0, 0, 0), DS_OK);
    StereoFrames out = RenderFrames(11025);
    EXPECT_NEAR(Rms(out.left), kToneRms, 0.01);
    EXPECT_NEAR(Rms(out.right), kToneRms, 0.01);
    EXPECT_NEAR(ZeroCrossingFrequency(out.left), 1000.0, 5.0);
    b->Release();
}

TEST_F(DSoundTest, VolumePanAndFrequencyShapeTheOutput) {
    struct Case {
        LONG volume, pan;
        DWORD frequency;
        double left, right, hz;
    } cases[] = {
        {-600, 0, 0, kToneRms * std::pow(10.0, -0.3), kToneRms * std::pow(10.0, -0.3), 1000},
        {0, 600, 0, kToneRms * std::pow(10.0, -0.3), kToneRms, 1000},
        {0, -2000, 0, kToneRms, kToneRms * 0.1, 1000},
        {0, 0, 11025, kToneRms, kToneRms, 500},
    };
    for (const Case& c : cases) {
        IDirectSoundBuffer* b = Tone(1, 16, 22050, kCtrl);
        ASSERT_NE(b, nullptr);
        b->SetVolume(c.volume);
        b->SetPan(c.pan);
        b->SetFrequency(c.frequency);
        b->Play(0, 0, DSBPLAY_LOOPING);
        StereoFrames out = RenderFrames(8820);
        EXPECT_NEAR(Rms(out.left), c.left, 0.01) << c.volume << " " << c.pan;
        EXPECT_NEAR(Rms(out.right), c.right, 0.01) << c.volume << " " << c.pan;
        EXPECT_NEAR(ZeroCrossingFrequency(out.left), c.hz, 5.0);
        b->Release();
    }
}

TEST_F(DSoundTest, OneShotStopsLoopingKeepsSoundingAndCursorsWrap) {
    IDirectSoundBuffer* once = Tone(1, 8, 2205, kCtrl);
    IDirectSoundBuffer* loop = Tone(1, 8, 2205, kCtrl);
    once->Play(0, 0, 0);
    loop->Play(0, 0, DSBPLAY_LOOPING);
    RenderFrames(3000);
    DWORD status = 0;
    once->GetStatus(&status);
    EXPECT_EQ(status, 0u);
    loop->GetStatus(&status);
    EXPECT_EQ(status, DSBSTATUS_PLAYING | DSBSTATUS_LOOPING);
    DWORD play = 0, write = 0;
    loop->GetCurrentPosition(&play, &write);
    EXPECT_LT(play, 2205u);
    EXPECT_NEAR(double(play), 3000.0 - 2205.0, 64.0);
    EXPECT_GT(Rms(RenderFrames(2205).left), 0.2);
    once->Release();
    loop->Release();
}

TEST_F(DSoundTest, DuplicatesShareDataAndPlayTogether) {
    IDirectSoundBuffer* b = Tone(1, 16, 22050, kCtrl);
    std::vector<IDirectSoundBuffer*> copies;
    for (int i = 0; i < 3; ++i) {
        IDirectSoundBuffer* d = nullptr;
        ASSERT_EQ(ds->DuplicateSoundBuffer(b, &d), DS_OK);
        d->SetVolume(-10000 + 10000 * (i == 0));
        d->Play(0, 0, 0);
        copies.push_back(d);
    }
    EXPECT_NEAR(Rms(RenderFrames(4410).left), kToneRms, 0.01);
    // Data written later reaches the duplicates too: silence.
    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(b->Lock(0, 0, &p1, &n1, &p2, &n2, DSBLOCK_ENTIREBUFFER), DS_OK);
    std::memset(p1, 0, n1);
    b->Unlock(p1, n1, p2, n2);
    EXPECT_LT(Rms(RenderFrames(4410).left), 0.001);
    for (IDirectSoundBuffer* d : copies)
        d->Release();
    b->Release();
}

TEST_F(DSoundTest, LockWrapsAroundTheEnd) {
    IDirectSoundBuffer* b = Tone(2, 16, 1000, kCtrl);
    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(b->Lock(3800, 400, &p1, &n1, &p2, &n2, 0), DS_OK);
    EXPECT_EQ(n1, 200u);
    EXPECT_EQ(n2, 200u);
    EXPECT_EQ(static_cast<uint8_t*>(p1) - static_cast<uint8_t*>(p2), 3800);
    EXPECT_EQ(b->Unlock(p1, n1, p2, n2), DS_OK);
    EXPECT_EQ(b->Lock(4000, 4, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    EXPECT_EQ(b->Lock(0, 4004, &p1, &n1, &p2, &n2, 0), DSERR_INVALIDPARAM);
    // A region that is not the buffer's is refused.
    uint8_t outside[4];
    EXPECT_EQ(b->Unlock(outside, 4, nullptr, 0), DSERR_INVALIDPARAM);
    b->Release();
}

TEST_F(DSoundTest, BadDescriptionsAndWindowsAreRefused) {
    IDirectSoundBuffer* b = nullptr;
    WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, 22050, 22050 * 3, 3, 24, 0};
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), 0, 4096, 0, &f};
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DSERR_BADFORMAT);
    f = {WAVE_FORMAT_PCM, 2, 22050, 22050 * 4, 4, 16, 0};
    desc.dwFlags = DSBCAPS_CTRL3D;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DSERR_INVALIDPARAM);
    desc.dwFlags = 0;
    desc.dwBufferBytes = 2;
    EXPECT_EQ(ds->CreateSoundBuffer(&desc, &b, nullptr), DSERR_INVALIDPARAM);
    EXPECT_EQ(b, nullptr);
    EXPECT_EQ(ds->SetCooperativeLevel(reinterpret_cast<HWND>(&f), DSSCL_NORMAL),
              DSERR_INVALIDPARAM);
    IDirectSound* second = nullptr;
    EXPECT_EQ(DirectSoundCreate(nullptr, &second, nullptr), DSERR_ALLOCATED);
}

TEST_F(DSoundTest, PrimaryKeepsItsFormatAndListenerSettingsWaitForCommit) {
    DSBUFFERDESC desc{sizeof(DSBUFFERDESC), DSBCAPS_PRIMARYBUFFER | DSBCAPS_CTRL3D, 0, 0, nullptr};
    IDirectSoundBuffer* primary = nullptr;
    ASSERT_EQ(ds->CreateSoundBuffer(&desc, &primary, nullptr), DS_OK);
    WAVEFORMATEX f{WAVE_FORMAT_PCM, 2, 44100, 0, 4, 16, 0};
    ASSERT_EQ(primary->SetFormat(&f), DS_OK);
    WAVEFORMATEX back{};
    DWORD written = 0;
    ASSERT_EQ(primary->GetFormat(&back, sizeof back, &written), DS_OK);
    EXPECT_EQ(back.nSamplesPerSec, 44100u);
    EXPECT_EQ(back.nAvgBytesPerSec, 44100u * 4);
    EXPECT_EQ(primary->Play(0, 0, DSBPLAY_LOOPING), DS_OK);
    DWORD status = 0;
    primary->GetStatus(&status);
    EXPECT_TRUE(status & DSBSTATUS_PLAYING);

    IDirectSound3DListener* listener = nullptr;
    ASSERT_EQ(
        primary->QueryInterface(IID_IDirectSound3DListener, reinterpret_cast<void**>(&listener)),
        DS_OK);
    // A 3-D tone two units in front (DirectSound's +z), minimum distance 1: half the level
    // once committed, full level before.
    IDirectSoundBuffer* b = Tone(1, 16, 22050, kCtrl | DSBCAPS_CTRL3D);
    IDirectSound3DBuffer* b3 = nullptr;
    ASSERT_EQ(b->QueryInterface(IID_IDirectSound3DBuffer, reinterpret_cast<void**>(&b3)), DS_OK);
    b3->SetPosition(0, 0, 2, DS3D_DEFERRED);
    b->Play(0, 0, DSBPLAY_LOOPING);
    double before = Rms(RenderFrames(4410).left);
    listener->CommitDeferredSettings();
    RenderFrames(1024);
    double after = Rms(RenderFrames(4410).left);
    EXPECT_GT(before, after * 1.6);
    b3->Release();
    b->Release();
    listener->Release();
    primary->Release();
}

void Ramp(int16_t* out, uint32_t frames, uint32_t channels, uint32_t, uint64_t first) {
    for (uint32_t i = 0; i < frames * channels; ++i)
        out[i] = static_cast<int16_t>((first * channels + i) & 0x7FFF);
}

TEST_F(DSoundTest, CaptureRecordsTheGeneratorIntoItsRing) {
    DSoundSetCaptureGenerator(Ramp);
    IDirectSoundCapture* capture = nullptr;
    ASSERT_EQ(DirectSoundCaptureCreate(nullptr, &capture, nullptr), DS_OK);
    WAVEFORMATEX f{WAVE_FORMAT_PCM, 1, 22050, 44100, 2, 16, 0};
    DSCBUFFERDESC desc{sizeof(DSCBUFFERDESC), 0, 200, 0, &f};
    IDirectSoundCaptureBuffer* b = nullptr;
    ASSERT_EQ(capture->CreateCaptureBuffer(&desc, &b, nullptr), DS_OK);
    DSoundAdvanceCapture(10); // not capturing yet
    b->Start(DSCBSTART_LOOPING);
    DSoundAdvanceCapture(120);
    DWORD at = 0;
    b->GetCurrentPosition(&at, nullptr);
    EXPECT_EQ(at, 40u); // 120 frames in a ring of 100
    void *p1, *p2;
    DWORD n1, n2;
    ASSERT_EQ(b->Lock(0, 200, &p1, &n1, &p2, &n2, 0), DS_OK);
    const int16_t* s = static_cast<const int16_t*>(p1);
    EXPECT_EQ(s[0], 100);
    EXPECT_EQ(s[19], 119);
    EXPECT_EQ(s[20], 20);
    b->Unlock(p1, n1, p2, n2);
    b->Release();
    capture->Release();
    DSoundSetCaptureGenerator(nullptr);
    EXPECT_EQ(DirectSoundCaptureCreate(nullptr, &capture, nullptr), DSERR_NODRIVER);
}

} // namespace
