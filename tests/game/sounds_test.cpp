// The sound list, its slots and channels, the voice manager and volumes, heard through the
// loopback device where the sound matters.
#include <cmath>
#include <cstring>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "game/objects/camera.h"
#include "shell/gamemain.h"
#include "shell/resfile.h"
#include "tests/game/sound_fixture.h"

namespace {

const double kToneRms = 0.5 / std::sqrt(2.0);

using SoundListTest = GameSoundTest;

TEST_F(SoundListTest, NamesAndIds) {
    EXPECT_EQ(MV2FindSoundByName("WATERSURFACE"), 0);
    EXPECT_EQ(MV2FindSoundByName("MPTELEPORT"), 214);
    EXPECT_EQ(MV2FindSoundByName("EXPLOSION"), 6);
    EXPECT_EQ(MV2FindSoundByName("explosion"), -1);
    EXPECT_EQ(MV2FindSoundByName(nullptr), -1);
    EXPECT_EQ(MV2GetSoundSlot(kMV2NoSound), 0);
}

TEST_F(SoundListTest, ListOf63BytesLoadsNothing) {
    folder.Write("DATA/sounds.dat", std::vector<uint8_t>(63, 'A'));
    ASSERT_EQ(MV2StartSounds(16, 0), 1);
    EXPECT_EQ(MV2LoadSounds(), 1);
    EXPECT_EQ(MV2GetSoundSlotCount(), 0);
}

TEST_F(SoundListTest, MissingListShowsBothBoxes) {
    EXPECT_EQ(MV2StartSounds(16, 0), 0);
    std::vector<std::string> expected = {"Could not open SOUNDS.DAT file\n",
                                         "Couldn't load Binary Sound File (sounds.dat)\n"};
    EXPECT_EQ(Boxes(), expected);
}

TEST_F(SoundListTest, MissingSampleFallsBackToNullAndUnknownNamesKeepTheirSlot) {
    Start({{"EXPLOSION", "tone", 3, 0}, {"NOTASOUND", "tone", 1, 0}, {"SPLASH1", "gone", 9, 1}});
    ASSERT_EQ(MV2GetSoundSlotCount(), 3);
    EXPECT_EQ(MV2GetSoundSlot(6), 1);
    EXPECT_EQ(MV2GetSoundSlot(8), 3);
    EXPECT_EQ(MV2GetSoundSlotRecord(1)->channels, 3);
    EXPECT_EQ(MV2GetSoundSlotRecord(2)->channels, 1);
    const MV2SoundSlot* fallback = MV2GetSoundSlotRecord(3);
    EXPECT_EQ(fallback->channels, 5);
    EXPECT_EQ(fallback->channel[4].voice->priority, 1u);
    EXPECT_TRUE(Boxes().empty());
}

TEST_F(SoundListTest, The301stSampleFailsWithNullWav) {
    std::vector<SoundListRecord> records(301, SoundListRecord{"EXPLOSION", "tone", 1, 0});
    Start(records, 0);
    EXPECT_EQ(MV2GetSoundSlotCount(), 300);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Could not load null.wav\n"});
}

TEST_F(SoundListTest, ChannelsRotateAndAllBusyAndAttachedGiveZero) {
    Start({{"EXPLOSION", "tone", 2, 0}});
    TvV3d a{}, b{};
    EXPECT_EQ(MV2PlaySound(1, 0, 1), 1);
    EXPECT_EQ(MV2PlaySound(1, 0, 1), 2);
    MV2AttachSoundSource(1, 1, &a);
    MV2AttachSoundSource(1, 2, &b);
    EXPECT_TRUE(MV2IsSoundAttachedTo(1, 2, &b));
    EXPECT_FALSE(MV2IsSoundAttachedTo(1, 2, &a));
    EXPECT_FALSE(MV2IsSoundAttachedTo(1, 0, &a));
    EXPECT_EQ(MV2PlaySound(1, 0, 1), 0);
    // A channel that is not attached is taken again, after the last one handed out.
    MV2AttachSoundSource(1, 1, nullptr);
    MV2SoundChannel* first = const_cast<MV2SoundChannel*>(&MV2GetSoundSlotRecord(1)->channel[0]);
    first->attached = 0;
    EXPECT_EQ(MV2PlaySound(1, 0, 1), 1);
    MV2StopSound(1, 2);
    EXPECT_EQ(MV2PlaySound(1, 0, 0), 2);
}

TEST_F(SoundListTest, BadSlotsAndChannelsAreNoOps) {
    Start({{"EXPLOSION", "tone", 2, 0}});
    TvV3d p{};
    for (int32_t slot : {0, -1, 2, 301}) {
        EXPECT_EQ(MV2PlaySound(slot, 0, 0), 0) << slot;
        for (int32_t channel : {0, 1, 3, 6, -1}) {
            MV2StopSound(slot, channel);
            MV2AttachSoundSource(slot, channel, &p);
            EXPECT_FALSE(MV2IsSoundAttachedTo(slot, channel, &p));
            MV2SetSoundParams(slot, channel, 0, 1.0f, 0.0f);
            MV2SetSoundLowPass(slot, channel, 1);
            MV2PlaceSound3D(slot, channel, &p, nullptr, 22050, 0.0f);
        }
    }
    for (int32_t channel : {0, 3, 6})
        MV2AttachSoundSource(1, channel, &p);
    EXPECT_FALSE(MV2GetSoundSlotRecord(1)->channel[1].attached);
}

TEST_F(SoundListTest, ToneThroughTheLayerAtItsLevelAndRate) {
    Start({{"EXPLOSION", "tone", 1, 0}});
    ASSERT_EQ(MV2PlaySound(1, 0, 1), 1);
    MV2SetSoundParams(1, 1, 0, 1.0f, 0.0f);
    MV2UpdateSounds();
    RenderFrames(1024);
    StereoFrames out = RenderFrames(8820);
    // Pan 0 is library pan 63 of 0..127.
    EXPECT_NEAR(Rms(out.left), kToneRms * 63.0 / 63.5 * 126.0 / 127.0, 0.01);
    EXPECT_NEAR(Rms(out.right), kToneRms * 126.0 / 127.0 * 63.0 / 63.5, 0.01);
    EXPECT_NEAR(ZeroCrossingFrequency(out.left), 1000.0, 5.0);
    // Panned hard to one side, at half volume.
    MV2SetSoundParams(1, 1, 11025, 0.5f, 1.0f);
    MV2UpdateSounds();
    RenderFrames(1024); // the mixer takes changes at its next period
    out = RenderFrames(8820);
    EXPECT_LT(Rms(out.left), 0.01);
    EXPECT_NEAR(Rms(out.right), kToneRms * 63.0 / 127.0, 0.01);
    EXPECT_NEAR(ZeroCrossingFrequency(out.right), 500.0, 5.0);
    // A one-shot (at half rate: 8820 frames) ends and its voice is stopped.
    MV2StopSound(1, 1);
    MV2UpdateSounds();
    EXPECT_EQ(MV2PlaySound(1, 0, 0), 1);
    MV2UpdateSounds();
    RenderFrames(10000);
    MV2UpdateSounds();
    EXPECT_FALSE(MV2IsVoiceBusy(MV2GetSoundSlotRecord(1)->channel[0].voice));
}

TEST_F(SoundListTest, MuffleAttenuatesMoreAtALowerCutoff) {
    WavTone high;
    high.frequency = 5000.0f;
    folder.Write("SOUND/high.wav", WavToneBytes(high));
    Start({{"EXPLOSION", "high", 1, 0}});
    MV2PlaySound(1, 0, 1);
    MV2SetSoundLowPass(1, 1, 1);
    MV2UpdateSounds();
    struct Case {
        float value, hz;
    } cases[] = {{0.0f, 20000.3f}, {0.5f, 10050.3f}, {0.9f, 2090.3f}, {1.0f, 100.3f}};
    double previous = 1.0;
    for (const Case& c : cases) {
        ASSERT_EQ(MV2AudioSetCutoff(c.value), 1);
        EXPECT_NEAR(MV2AudioCutoffHz(), c.hz, 0.01f);
        RenderFrames(2048);
        double level = Rms(RenderFrames(8192).left);
        EXPECT_LT(level, previous) << c.value;
        previous = level;
    }
    // Value 0 takes the filter off: the full level again.
    MV2AudioSetCutoff(0.0f);
    RenderFrames(2048);
    EXPECT_NEAR(Rms(RenderFrames(8192).left), kToneRms * 63.0 / 63.5 * 126.0 / 127.0, 0.02);
}

TEST_F(SoundListTest, PlacingAtTheCamera) {
    Start({{"EXPLOSION", "tone", 1, 0}});
    TvFrame frame{};
    frame.root = &frame;
    frame.ltm.right = {1, 0, 0};
    frame.ltm.up = {0, 1, 0};
    frame.ltm.at = {0, 0, 1};
    frame.ltm.pos = {10, 5, 2};
    TvCamera camera{};
    camera.object.frame = &frame;
    camera.farPlane = 30.0f;
    gMV2MainCamera = &camera;
    MV2SoundVoice* voice = MV2GetSoundSlotRecord(1)->channel[0].voice;
    struct Case {
        TvV3d source;
        TvV3d velocity;
        bool moving;
        float bias, volume, pan;
        uint32_t rate;
    } cases[] = {
        {{10, 5, 2}, {}, false, 0.0f, 1.0f, 0.0f, 11025},
        {{10, 5, 2}, {}, false, -5000.0f, 0.5f, 0.0f, 11025},
        {{25, 5, 2}, {}, false, 0.0f, 0.75f, -1.0f, 11025},
        {{10, 5, 32}, {}, false, 0.0f, 0.0f, 0.0f, 11025},
        {{4, 5, 2}, {-1, 0, 0}, true, 0.0f, 0.96f, 1.0f, 11025 - 8000},
        {{16, 5, 2}, {-1, 0, 0}, true, 0.0f, 0.96f, -1.0f, 11025 + 8000},
    };
    for (const Case& c : cases) {
        MV2PlaceSound3D(1, 1, &c.source, c.moving ? &c.velocity : nullptr, 11025, c.bias);
        EXPECT_NEAR(voice->volume, c.volume, 1e-5) << c.source.x;
        EXPECT_NEAR(voice->pan, c.pan, 1e-5) << c.source.x;
        EXPECT_EQ(voice->rate, c.rate) << c.source.x;
    }
    // Base rate 0 takes the sample's own rate.
    MV2PlaySound(1, 0, 0);
    MV2UpdateSounds();
    const TvV3d source{4, 5, 2}, velocity{-1, 0, 0};
    MV2PlaceSound3D(1, 1, &source, &velocity, 0, 0.0f);
    EXPECT_EQ(voice->rate, 22050u - 8000u);
    gMV2MainCamera = nullptr;
}

TEST_F(SoundListTest, SeventeenEqualLoopsTakeTurns) {
    std::vector<SoundListRecord> records(17, SoundListRecord{"EXPLOSION", "tone", 1, 0});
    Start(records);
    for (int32_t slot = 1; slot <= 17; ++slot)
        ASSERT_EQ(MV2PlaySound(slot, 0, 1), 1);
    std::vector<MV2SoundVoice*> left;
    for (int frame = 0; frame < 4; ++frame) {
        MV2UpdateSounds();
        int32_t held = 0;
        MV2SoundVoice* waiting = nullptr;
        for (MV2SoundVoice* v = MV2FirstActiveVoice(); v; v = MV2NextActiveVoice(v)) {
            if (v->state == kMV2VoicePlaying)
                ++held;
            else if (v->state == kMV2VoiceStartAsked)
                waiting = v;
        }
        EXPECT_EQ(held, 16) << frame;
        ASSERT_NE(waiting, nullptr);
        left.push_back(waiting);
    }
    // A different voice waits each frame.
    EXPECT_NE(left[0], left[1]);
    EXPECT_NE(left[1], left[2]);
    EXPECT_NE(left[2], left[3]);
}

TEST_F(SoundListTest, QuietVoicesNeverTakeAMixerVoice) {
    Start({{"EXPLOSION", "tone", 1, 0}, {"SPLASH1", "tone", 1, 0}});
    MV2SoundVoice* quiet = MV2GetSoundSlotRecord(1)->channel[0].voice;
    MV2SoundVoice* fading = MV2GetSoundSlotRecord(2)->channel[0].voice;
    MV2PlaySound(1, 0, 1);
    MV2SetSoundParams(1, 1, 0, 0.005f, 0.0f);
    MV2PlaySound(2, 0, 0);
    MV2UpdateSounds();
    EXPECT_EQ(quiet->state, kMV2VoiceStartAsked);
    EXPECT_EQ(fading->state, kMV2VoicePlaying);
    MV2SetSoundParams(2, 1, 0, 0.009f, 0.0f);
    MV2UpdateSounds();
    EXPECT_EQ(fading->state, kMV2VoiceStopped);
    EXPECT_EQ(quiet->state, kMV2VoiceStartAsked);
}

TEST_F(SoundListTest, PauseRequestIsAppliedAtTheNextUpdate) {
    Start({{"EXPLOSION", "tone", 1, 0}, {"SPLASH1", "tone", 1, 0}});
    MV2SoundVoice* loop = MV2GetSoundSlotRecord(1)->channel[0].voice;
    MV2SoundVoice* once = MV2GetSoundSlotRecord(2)->channel[0].voice;
    MV2PlaySound(1, 0, 1);
    MV2PlaySound(2, 0, 0);
    MV2UpdateSounds();
    EXPECT_EQ(MV2RequestSoundPause(1), 1);
    EXPECT_EQ(loop->state, kMV2VoicePlaying);
    MV2UpdateSounds();
    EXPECT_EQ(loop->state, kMV2VoicePausedFreed);
    EXPECT_EQ(once->state, kMV2VoiceStopped);
    EXPECT_LT(Rms(RenderFrames(2048).left), 0.001);
    MV2RequestSoundPause(0);
    MV2UpdateSounds();
    MV2UpdateSounds();
    EXPECT_EQ(loop->state, kMV2VoicePlaying);
    EXPECT_GT(Rms(RenderFrames(2048).left), 0.2);
}

TEST_F(SoundListTest, VolumesClampAndReadBack) {
    struct Case {
        int32_t set, get;
    } cases[] = {{150, 100}, {-5, 0}, {29, 29}, {57, 57}, {100, 100}};
    for (const Case& c : cases) {
        MV2SetSfxVolume(c.set);
        EXPECT_EQ(MV2GetSfxVolume(), c.get) << c.set;
        MV2SetSpeechVolume(c.set);
        EXPECT_EQ(MV2GetSpeechVolume(), c.get) << c.set;
    }
    EXPECT_FLOAT_EQ(MV2GetMasterVolume(), 1.0f);
}

TEST_F(SoundListTest, DepthFilterValues) {
    struct Case {
        float y, w, b, value;
    } cases[] = {
        {10, 10, 0, 0.0f}, // at the surface
        {12, 10, 0, 0.0f}, // above
        {9, 10, 0, 0.95f + 0.05f * 0.2f},
        {0, 10, 0, 0.975f}, // u capped at 0.5
        {5, 10, 10, 0.0f},  // depth reference at the surface: no division by zero
    };
    for (const Case& c : cases)
        EXPECT_NEAR(MV2DepthFilterValue(c.y, c.w, c.b), c.value, 1e-5) << c.y << " " << c.b;
}

TEST_F(SoundListTest, LoopedSoundsFollowTheCameraMode) {
    Start({{"EXPLOSION", "tone", 1, 0}, {"SPLASH1", "tone", 1, 0}});
    MV2SetCameraMode(0);
    MV2RecordSoundCameraMode();
    MV2PlaySound(1, 0, 1);
    MV2PlaySound(2, 0, 1);
    MV2SetSoundLowPass(2, 1, 0);
    int world = 0;
    MV2World = reinterpret_cast<TpWorld*>(&world);
    MV2SetCameraMode(1);
    MV2UpdateSounds();
    EXPECT_EQ(MV2GetSoundSlotRecord(1)->channel[0].voice->lowPass, 0u);
    MV2SetCameraMode(0);
    MV2UpdateSounds();
    EXPECT_EQ(MV2GetSoundSlotRecord(1)->channel[0].voice->lowPass, 1u);
    EXPECT_EQ(MV2GetSoundSlotRecord(2)->channel[0].voice->lowPass, 1u);
    // Its own muffle takes a channel out of the looped list.
    MV2SetSoundLowPass(2, 1, 1);
    MV2SetCameraMode(1);
    MV2UpdateSounds();
    EXPECT_EQ(MV2GetSoundSlotRecord(1)->channel[0].voice->lowPass, 0u);
    EXPECT_EQ(MV2GetSoundSlotRecord(2)->channel[0].voice->lowPass, 1u);
    MV2World = nullptr;
    MV2SetCameraMode(0);
}

TEST_F(SoundListTest, SpeechTriesTheLanguageFolderFirst) {
    Start({});
    WavTone tone;
    tone.frames = 44100;
    folder.Write("SOUND/GERMAN/hello.wav", WavToneBytes(tone));
    tone.frequency = 500.0f;
    folder.Write("SOUND/hello.wav", WavToneBytes(tone));
    folder.Write("SOUND/bye.wav", WavToneBytes(tone));
    MV2LanguageFolderIndex = 1;
    ASSERT_EQ(MV2PlaySpeech("hello", 0, 1), 1);
    EXPECT_NEAR(ZeroCrossingFrequency(RenderFrames(4410).left), 1000.0, 5.0);
    EXPECT_TRUE(MV2IsSpeechPlaying());
    // A name with no language copy plays the plain one.
    ASSERT_EQ(MV2PlaySpeech("bye", 0, 1), 1);
    EXPECT_NEAR(ZeroCrossingFrequency(RenderFrames(4410).left), 500.0, 5.0);
    MV2LanguageFolderIndex = 0;
    EXPECT_EQ(MV2PlaySpeech("none", 0, 1), 0);
    EXPECT_FALSE(MV2IsSpeechPlaying());
}

TEST_F(SoundListTest, WavDurationCountsFrames) {
    WavTone tone;
    tone.channels = 2;
    tone.frames = 44100;
    folder.Write("Sound/talk.wav", WavToneBytes(tone));
    EXPECT_FLOAT_EQ(MV2GetWavDuration("talk"), 2.0f);
    EXPECT_FLOAT_EQ(MV2GetWavDuration("missing"), 0.0f);
    EXPECT_FLOAT_EQ(MV2GetWavDuration(nullptr), 0.0f);
}

} // namespace
