// The DirectSound sound control: creation, formats, options, voices heard through the
// loopback device, the per-frame ranking with its voice limit, 3-D fall-off and capture.
#include <cmath>

#include "platform/dsound/dsound.h"
#include "tests/framework/sound_dx_fixture.h"

namespace {

// A tone of amplitude a at full voice volume: VkSoundVolumeToDS(1) is -1 dB.
double Level(double amplitude) {
    return amplitude / std::sqrt(2.0) * std::pow(10.0, -100.0 / 2000.0);
}

TEST_F(DxSoundTest, NoWindowFailsAndOneControlIsShared) {
    app->Release();
    PlatformResetWindows();
    app = Create<IVkWinOSApp>(CLSID_VkWinOS, IID_IVkWinOSApp);
    void* out = nullptr;
    EXPECT_EQ(VkCreateInstance(CLSID_VkDxSoundControl, nullptr, 0, IID_IVkSoundControl, &out),
              VK_E_FAIL);
    EXPECT_EQ(out, nullptr);
    ASSERT_EQ(app->CreateMainWindow(GetModuleHandleA(nullptr)), VK_OK);
    MakeControl();
    IVkSoundControl* second = Create<IVkSoundControl>(CLSID_VkDxSoundControl, IID_IVkSoundControl);
    EXPECT_EQ(second, control);
    EXPECT_EQ(second->Release(), 1u);
    EXPECT_TRUE(PlatformSoundDeviceOpen());
}

TEST_F(DxSoundTest, VolumeConversion) {
    struct Case {
        float v;
        int32_t ds;
    } cases[] = {{1.0f, -100}, {0.5f, -1000}, {0.0f, -10000}, {0.75f, -316}};
    for (const Case& c : cases)
        EXPECT_EQ(VkSoundVolumeToDS(c.v), c.ds) << c.v;
}

TEST_F(DxSoundTest, FormatValidation) {
    MakeControl();
    struct Case {
        uint32_t kind, format, channels, is3d, soft3d;
        VkResult result;
        uint32_t kindAfter, channelsAfter, formatAfter, is3dAfter;
    } cases[] = {
        {0, 0, 0, 0, 0, VK_OK, 1, 1, 0x801, 0},
        {0, 0x11001, 2, 1, 0, VK_OK, 1, 1, 0x11001, 1},
        {0, 0, 2, 0, 1, VK_OK, 1, 2, 0x801, 1},
        {0, 0x1801, 1, 0, 0, VK_E_FAIL, 1, 1, 0x1801, 0},
        {0, 0x802, 1, 0, 0, VK_E_FAIL, 1, 1, 0x802, 0},
        {4, 0, 1, 0, 0, VK_E_FAIL, 4, 1, 0, 0},
    };
    for (const Case& c : cases) {
        IVkSoundFormat* f = nullptr;
        ASSERT_EQ(control->CreateFormat(&f), VK_OK);
        f->SetInt(VK_SOUND_KIND, c.kind);
        f->SetInt(VK_SOUND_FORMAT, c.format);
        f->SetInt(VK_SOUND_CHANNELS, c.channels);
        f->SetInt(VK_SOUND_3D, c.is3d);
        if (c.soft3d) f->SetInt(VK_SOUND_SOFT_3D, 1);
        EXPECT_EQ(f->Validate(), c.result) << c.format;
        uint32_t v = 0;
        f->GetInt(VK_SOUND_KIND, &v);
        EXPECT_EQ(v, c.kindAfter);
        f->GetInt(VK_SOUND_CHANNELS, &v);
        EXPECT_EQ(v, c.channelsAfter);
        f->GetInt(VK_SOUND_FORMAT, &v);
        EXPECT_EQ(v, c.formatAfter);
        f->GetInt(VK_SOUND_3D, &v);
        EXPECT_EQ(v, c.is3dAfter);
        if (c.result == VK_OK) {
            f->GetInt(VK_SOUND_LENGTH, &v);
            EXPECT_EQ(v, 1024u);
            f->GetInt(VK_SOUND_FREQUENCY, &v);
            EXPECT_EQ(v, 22050u);
        }
        EXPECT_EQ(f->SetInt(10, 1), VK_E_FAIL);
        EXPECT_EQ(f->SetFloat(1, 1.0f), VK_E_FAIL);
        f->Release();
    }
}

TEST_F(DxSoundTest, OptionsAndChannelVolumes) {
    MakeControl();
    float volume = 0.0f;
    EXPECT_EQ(control->GetChannelVolume(7, &volume), VK_E_FAIL);
    EXPECT_EQ(volume, 1.0f);
    EXPECT_EQ(control->GetChannelVolume(0, &volume), VK_OK);
    uint32_t five = 5, big = 2000, out = 0;
    EXPECT_EQ(control->SetOption(2, &five), VK_E_FAIL);
    EXPECT_EQ(control->SetOption(3, &big), VK_OK);
    EXPECT_EQ(control->SetOption(2, &five), VK_OK);
    EXPECT_EQ(control->GetOption(6, &out), VK_OK);
    EXPECT_EQ(out, 0u);
    float doppler = 2.0f;
    EXPECT_EQ(control->SetListenerParam(2, &doppler), VK_OK);
    EXPECT_EQ(control->GetListenerParam(2, &volume), VK_OK);
    EXPECT_EQ(volume, 2.0f);
    EXPECT_EQ(control->SetListenerParam(9, &doppler), VK_E_FAIL);
}

TEST_F(DxSoundTest, ToneThroughAVoiceAndChannelVolume) {
    MakeControl();
    IVkSoundBuffer* sample = ToneSample({});
    ASSERT_NE(sample, nullptr);
    uint32_t rate = 0;
    sample->GetInt(VK_SOUND_FREQUENCY, &rate);
    EXPECT_EQ(rate, 22051u);
    IVkSoundVoice* voice = nullptr;
    ASSERT_EQ(sample->CreateVoice(&voice), VK_OK);
    voice->SetInt(VK_SOUND_LOOP, 1);
    ASSERT_EQ(voice->Play(), VK_OK);
    StereoFrames out = RenderFrames(11025);
    EXPECT_NEAR(Rms(out.left), Level(0.5), 0.01);
    EXPECT_NEAR(Rms(out.right), Level(0.5), 0.01);
    EXPECT_NEAR(ZeroCrossingFrequency(out.left), 1000.0, 5.0);
    // Channel 0 at half volume: -10 dB from the conversion.
    ASSERT_EQ(control->SetChannelVolume(0, 0.5f), VK_OK);
    RenderFrames(512);
    EXPECT_NEAR(Rms(RenderFrames(4410).left), 0.5 / std::sqrt(2.0) * std::pow(10.0, -0.5), 0.01);

    struct Case {
        uint32_t in, out;
    } rates[] = {{50, 100}, {200000, 100000}, {11025, 11025}, {0, 22051}};
    for (const Case& c : rates) {
        uint32_t f = c.in;
        EXPECT_EQ(voice->SetInt(VK_SOUND_FREQUENCY, reinterpret_cast<uintptr_t>(&f)), VK_OK);
        EXPECT_EQ(Int(voice, VK_SOUND_FREQUENCY), c.out);
    }
    EXPECT_EQ(voice->SetInt(VK_SOUND_FREQUENCY, 0), VK_E_FAIL);
    voice->Stop();
    EXPECT_EQ(voice->Release(), 0u);
    sample->Release();
}

TEST_F(DxSoundTest, OneShotEndsAndLoopKeepsSounding) {
    MakeControl();
    IVkSoundBuffer* sample = ToneSample({16, 1, 2205});
    IVkSoundVoice* once = nullptr;
    IVkSoundVoice* loop = nullptr;
    sample->CreateVoice(&once);
    sample->CreateVoice(&loop);
    loop->SetInt(VK_SOUND_LOOP, 1);
    once->Play();
    loop->Play();
    RenderFrames(4000);
    EXPECT_EQ(control->Update(), VK_OK);
    EXPECT_EQ(Int(once, VK_SOUND_PLAYING), 0u);
    EXPECT_EQ(Int(loop, VK_SOUND_PLAYING), 1u);
    EXPECT_GT(Rms(RenderFrames(2205).left), 0.2);
    // Play on a playing voice starts it again from the beginning.
    uint32_t play = 0;
    loop->GetPlayPosition(&play, nullptr);
    EXPECT_GT(play, 0u);
    loop->Play();
    loop->GetPlayPosition(&play, nullptr);
    EXPECT_EQ(play, 0u);
    loop->Stop();
    EXPECT_EQ(once->Release(), 0u);
    EXPECT_EQ(loop->Release(), 0u);
    sample->Release();
}

TEST_F(DxSoundTest, TenVoicesOfOneSamplePlayAtOnce) {
    MakeControl();
    IVkSoundBuffer* sample = ToneSample({16, 1, 22050, 1000.0f, 0.05f});
    IVkSoundVoice* voices[10];
    for (IVkSoundVoice*& v : voices) {
        ASSERT_EQ(sample->CreateVoice(&v), VK_OK);
        v->SetInt(VK_SOUND_LOOP, 1);
        ASSERT_EQ(v->Play(), VK_OK);
    }
    EXPECT_NEAR(Rms(RenderFrames(4410).left), 10 * Level(0.05), 0.01);
    EXPECT_EQ(control->Update(), VK_OK);
    for (IVkSoundVoice* v : voices) {
        EXPECT_EQ(Int(v, VK_SOUND_PLAYING), 1u);
        v->Stop();
        EXPECT_EQ(v->Release(), 0u);
    }
    sample->Release();
}

TEST_F(DxSoundTest, VoiceLimitPausesLoopsStopsOneShotsAndResumes) {
    MakeControl();
    uint32_t limit = 2;
    control->SetOption(VK_SOUND_OPTION_VOICE_LIMIT, &limit);
    IVkSoundBuffer* sample = ToneSample({});
    IVkSoundVoice* v[4];
    const float volumes[4] = {0.9f, 0.8f, 0.3f, 0.2f};
    const uint32_t loops[4] = {1, 0, 1, 0};
    for (int i = 0; i < 4; ++i) {
        sample->CreateVoice(&v[i]);
        v[i]->SetInt(VK_SOUND_LOOP, loops[i]);
        v[i]->SetFloat(VK_SOUND_VOLUME, volumes[i]);
        v[i]->Play();
    }
    EXPECT_EQ(control->Update(), VK_OK);
    EXPECT_EQ(Int(v[0], VK_SOUND_PAUSED), 0u);
    EXPECT_EQ(Int(v[1], VK_SOUND_PLAYING), 1u);
    EXPECT_EQ(Int(v[2], VK_SOUND_PLAYING), 1u);
    EXPECT_EQ(Int(v[2], VK_SOUND_PAUSED), 1u);
    EXPECT_EQ(Int(v[3], VK_SOUND_PLAYING), 0u);
    // The paused loop becomes the loudest and resumes; the one-shot, now third, is stopped.
    v[2]->SetFloat(VK_SOUND_VOLUME, 1.0f);
    v[0]->SetFloat(VK_SOUND_VOLUME, 0.95f);
    EXPECT_EQ(control->Update(), VK_OK);
    EXPECT_EQ(Int(v[2], VK_SOUND_PAUSED), 0u);
    EXPECT_EQ(Int(v[0], VK_SOUND_PAUSED), 0u);
    EXPECT_EQ(Int(v[1], VK_SOUND_PLAYING), 0u);
    for (IVkSoundVoice* voice : v) {
        voice->Stop();
        EXPECT_EQ(voice->Release(), 0u);
    }
    sample->Release();
}

TEST_F(DxSoundTest, DistanceFallOffRanksThreeDVoices) {
    MakeControl();
    uint32_t limit = 1;
    control->SetOption(VK_SOUND_OPTION_VOICE_LIMIT, &limit);
    IVkSoundBuffer* flat = ToneSample({});
    Props p;
    p.is3d = 1;
    IVkSoundBuffer* spatial = ToneSample(p);
    IVkSoundVoice* a = nullptr;
    IVkSoundVoice* b = nullptr;
    flat->CreateVoice(&a);
    spatial->CreateVoice(&b);
    a->SetInt(VK_SOUND_LOOP, 1);
    b->SetInt(VK_SOUND_LOOP, 1);
    b->SetFloat(VK_SOUND_MIN_DISTANCE, 1.0f);
    b->SetFloat(VK_SOUND_MAX_DISTANCE, 11.0f);
    a->Play();
    b->Play();
    struct Case {
        float distance, flatVolume;
        bool spatialHeld;
    } cases[] = {
        {6.0f, 0.3f, false},     // t = 0.5: 0.25 < 0.3
        {3.5f, 0.3f, true},      // t = 0.25: 0.5625 > 0.3
        {6.0f, 0.2f, true},      // 0.25 > 0.2
        {0.5f, 0.99f, true},     // inside the minimum distance: full gain
        {11.0f, 0.0001f, false}, // at the maximum: key 0
    };
    for (const Case& c : cases) {
        float frame[12] = {1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, c.distance};
        ASSERT_EQ(b->SetFrame(frame, nullptr), VK_OK);
        a->SetFloat(VK_SOUND_VOLUME, c.flatVolume);
        control->Update();
        EXPECT_EQ(Int(b, VK_SOUND_PAUSED), c.spatialHeld ? 0u : 1u) << c.distance;
        EXPECT_EQ(Int(a, VK_SOUND_PAUSED), c.spatialHeld ? 1u : 0u) << c.distance;
    }
    float frame[12];
    ASSERT_EQ(b->GetFrame(frame, nullptr), VK_OK);
    EXPECT_FLOAT_EQ(frame[11], 11.0f);
    EXPECT_EQ(a->SetFrame(frame, nullptr), VK_E_FAIL);
    a->Stop();
    b->Stop();
    a->Release();
    b->Release();
    flat->Release();
    spatial->Release();
}

void Tone440(int16_t* out, uint32_t frames, uint32_t channels, uint32_t rate, uint64_t first) {
    for (uint32_t i = 0; i < frames; ++i)
        for (uint32_t c = 0; c < channels; ++c)
            out[i * channels + c] = static_cast<int16_t>(
                16000.0 * std::sin(2.0 * 3.14159265358979 * 440.0 * double(first + i) / rate));
}

TEST_F(DxSoundTest, CaptureSoundRecordsThroughItsVoice) {
    DSoundSetCaptureGenerator(Tone440);
    MakeControl();
    IVkSoundFormat* f = nullptr;
    control->CreateFormat(&f);
    f->SetInt(VK_SOUND_KIND, VK_SOUND_KIND_CAPTURE);
    f->SetInt(VK_SOUND_FORMAT, VK_SOUND_S16);
    f->SetInt(VK_SOUND_LENGTH, 4410);
    IVkSoundBuffer* capture = nullptr;
    ASSERT_EQ(f->CreateBuffer(&capture), VK_OK);
    f->Release();
    IVkSoundVoice* voice = nullptr;
    ASSERT_EQ(capture->CreateVoice(&voice), VK_OK);
    EXPECT_EQ(voice->Pause(), VK_E_FAIL);
    EXPECT_EQ(voice->SetFrame(nullptr, nullptr), 0x50100);
    voice->SetInt(VK_SOUND_LOOP, 1);
    ASSERT_EQ(voice->Play(), VK_OK);
    DSoundAdvanceCapture(1000);
    uint32_t at = 0;
    voice->GetPlayPosition(&at, nullptr);
    EXPECT_EQ(at, 1000u);
    void* data = nullptr;
    ASSERT_EQ(capture->Lock(VK_LOCK_READ, &data), VK_OK);
    const int16_t* s = static_cast<const int16_t*>(data);
    EXPECT_EQ(s[0], 0);
    EXPECT_NEAR(s[12], 16000.0 * std::sin(2.0 * 3.14159265358979 * 440.0 * 12 / 22050), 1.0);
    capture->Unlock();
    EXPECT_EQ(control->Update(), VK_OK);
    voice->Stop();
    voice->Release();
    capture->Release();
    DSoundSetCaptureGenerator(nullptr);
}

TEST_F(DxSoundTest, CaptureWithoutDeviceReportsTheRecordedResult) {
    MakeControl();
    IVkSoundFormat* f = nullptr;
    control->CreateFormat(&f);
    f->SetInt(VK_SOUND_KIND, VK_SOUND_KIND_CAPTURE);
    IVkSoundBuffer* capture = nullptr;
    EXPECT_EQ(f->CreateBuffer(&capture), DSERR_NODRIVER);
    EXPECT_EQ(capture, nullptr);
    f->Release();
}

} // namespace
