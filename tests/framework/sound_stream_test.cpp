// The streamed sound player: the ring refill rule, the end of a file with and without looping,
// rewinding, a sound control without sample memory, and a stream heard through the DirectSound
// control.
#include <cmath>
#include <cstring>
#include <vector>

#include "framework/sound/nullsound.h"
#include "framework/sound/streamplayer.h"
#include "tests/framework/sound_dx_fixture.h"
#include "tests/framework/sound_fixture.h"
#include "tests/support/fake_sound_ring.h"

namespace {

// A 16-bit mono file whose frame i holds i.
Bytes RampWav(uint32_t frames, uint32_t bits = 16) {
    std::vector<uint8_t> samples;
    for (uint32_t i = 0; i < frames; ++i) {
        if (bits == 8) {
            samples.push_back(static_cast<uint8_t>(i));
        } else {
            samples.push_back(static_cast<uint8_t>(i));
            samples.push_back(static_cast<uint8_t>(i >> 8));
        }
    }
    return WavFileBytes(1, bits, 22050, samples);
}

class StreamTest : public DxSoundTest {
protected:
    void SetUp() override {
        DxSoundTest::SetUp();
        player =
            Create<IVkStreamedSoundPlayer>(CLSID_VkStreamedSoundPlayer, IID_IVkStreamedSoundPlayer);
        ASSERT_NE(player, nullptr);
    }
    void TearDown() override {
        if (player) {
            EXPECT_EQ(player->Release(), 0u);
        }
        DxSoundTest::TearDown();
    }

    IVkSoundVoice* Voice(const char* name, IVkSoundBuffer** stream) {
        *stream = nullptr;
        EXPECT_EQ(player->CreateStream(&storage, name, stream), VK_OK);
        if (!*stream) return nullptr;
        IVkSoundVoice* voice = nullptr;
        EXPECT_EQ((*stream)->CreateVoice(&voice), VK_OK);
        return voice;
    }

    IVkStreamedSoundPlayer* player = nullptr;
    MemoryStorage storage;
    FakeFormat fake;
};

TEST_F(StreamTest, RefillsTheHalfJustPlayed) {
    storage.files["ramp.wav"] = RampWav(4000);
    ASSERT_EQ(player->Initialise(&fake), VK_OK);
    IVkSoundBuffer* stream = nullptr;
    IVkSoundVoice* voice = Voice("ramp.wav", &stream);
    ASSERT_NE(voice, nullptr);
    EXPECT_EQ(player->CreateStream(&storage, "ramp.wav", &stream), VK_E_FAIL);
    FakeRing* ring = fake.last;
    EXPECT_EQ(ring->Sample16(1023), 1023);
    EXPECT_EQ(stream->GetLength(), 4000u);

    // Not playing: nothing happens.
    ring->voice->position = 600;
    ring->locks.clear();
    EXPECT_EQ(player->Update(), VK_OK);
    EXPECT_TRUE(ring->locks.empty());

    voice->Play();
    EXPECT_EQ(ring->voice->loop, 1u);
    struct Step {
        uint32_t play;
        std::vector<std::pair<uint32_t, uint32_t>> locks;
    } steps[] = {
        {500, {}}, {520, {{0, 512}}}, {600, {}}, {1000, {}}, {10, {{512, 512}}},
    };
    ring->voice->position = 0;
    for (const Step& s : steps) {
        ring->locks.clear();
        ring->voice->position = s.play;
        EXPECT_EQ(player->Update(), VK_OK);
        EXPECT_EQ(ring->locks, s.locks) << s.play;
    }
    EXPECT_EQ(ring->Sample16(0), 1024);
    EXPECT_EQ(ring->Sample16(512), 1536);

    // Stop, then play: from the beginning of the file.
    voice->Stop();
    EXPECT_EQ(ring->Sample16(0), 0);
    EXPECT_EQ(ring->Sample16(700), 700);
    uint32_t at = 99;
    voice->GetPlayPosition(&at, nullptr);
    EXPECT_EQ(at, 1024u * 2);
    voice->Play();
    EXPECT_EQ(ring->voice->plays, 2u);
    EXPECT_EQ(voice->Release(), 0u);
    EXPECT_EQ(stream->Release(), 1u);
}

TEST_F(StreamTest, EndOfFileWithAndWithoutLooping) {
    storage.files["short.wav"] = RampWav(100);
    storage.files["long.wav"] = RampWav(1500);
    storage.files["empty.wav"] = RampWav(0);
    storage.files["empty8.wav"] = RampWav(0, 8);
    ASSERT_EQ(player->Initialise(&fake), VK_OK);
    IVkSoundBuffer* stream = nullptr;

    // Short, not looping: copies of the last frame, and the ring stops looping.
    IVkSoundVoice* voice = Voice("short.wav", &stream);
    FakeRing* ring = fake.last;
    EXPECT_EQ(ring->Sample16(99), 99);
    EXPECT_EQ(ring->Sample16(100), 99);
    EXPECT_EQ(ring->Sample16(1023), 99);
    EXPECT_EQ(ring->voice->loop, 0u);
    // Playing it does not make the ring loop again over the file's end.
    voice->Play();
    EXPECT_EQ(ring->voice->loop, 0u);
    voice->Release();
    stream->Release();

    // Looping: the file's start follows its end within one refill.
    voice = Voice("long.wav", &stream);
    ring = fake.last;
    voice->SetInt(VK_SOUND_LOOP, 1);
    uint32_t loop = 0;
    voice->GetInt(VK_SOUND_LOOP, &loop);
    EXPECT_EQ(loop, 1u);
    voice->Play();
    ring->voice->position = 520;
    player->Update();
    EXPECT_EQ(ring->Sample16(475), 1499);
    EXPECT_EQ(ring->Sample16(476), 0);
    EXPECT_EQ(ring->Sample16(511), 35);
    voice->Release();
    stream->Release();

    // No data at all: silence, looping or not, without seeking for ever.
    for (const char* name : {"empty.wav", "empty8.wav"}) {
        for (uint32_t looping : {0u, 1u}) {
            voice = Voice(name, &stream);
            ring = fake.last;
            voice->SetInt(VK_SOUND_LOOP, looping);
            voice->Play();
            ring->voice->position = 10;
            ASSERT_EQ(voice->Rewind(), VK_OK);
            const uint8_t silence = name == std::string("empty8.wav") ? 0x80 : 0;
            for (uint8_t b : ring->data)
                ASSERT_EQ(b, silence) << name << looping;
            voice->Release();
            stream->Release();
        }
    }
}

TEST_F(StreamTest, SilentControlRefillsNothingAndSucceeds) {
    storage.files["ramp.wav"] = RampWav(4000);
    IVkSoundControl* silent = Create<IVkSoundControl>(CLSID_VkNullSound, IID_IVkSoundControl);
    IVkSoundFormat* format = nullptr;
    silent->CreateFormat(&format);
    ASSERT_EQ(player->Initialise(format), VK_OK);
    format->Release();
    IVkSoundBuffer* stream = nullptr;
    IVkSoundVoice* voice = Voice("ramp.wav", &stream);
    ASSERT_NE(voice, nullptr);
    EXPECT_EQ(voice->Play(), VK_S_NOSOUND);
    EXPECT_EQ(player->Update(), VK_OK);
    EXPECT_EQ(voice->Rewind(), VK_S_NOSOUND);
    voice->Release();
    stream->Release();
    silent->Release();
}

TEST_F(StreamTest, MissingFileAndArguments) {
    ASSERT_EQ(player->Initialise(&fake), VK_OK);
    IVkSoundBuffer* stream = nullptr;
    EXPECT_EQ(player->CreateStream(&storage, "none.wav", &stream), VK_E_FAIL);
    EXPECT_EQ(player->CreateStream(nullptr, "none.wav", &stream), VK_E_FAIL);
    EXPECT_EQ(player->CreateStream(&storage, nullptr, &stream), VK_E_FAIL);
    EXPECT_EQ(stream, nullptr);
}

TEST_F(StreamTest, StreamHeardThroughTheDirectSoundControl) {
    MakeControl();
    WavTone tone;
    tone.frames = 11025;
    std::vector<uint8_t> bytes = WavToneBytes(tone);
    storage.files["tone.wav"] = Bytes(bytes.begin(), bytes.end());
    IVkSoundFormat* format = nullptr;
    control->CreateFormat(&format);
    format->SetInt(VK_SOUND_LENGTH, 4096);
    ASSERT_EQ(player->Initialise(format), VK_OK);
    format->Release();
    IVkSoundBuffer* stream = nullptr;
    IVkSoundVoice* voice = Voice("tone.wav", &stream);
    ASSERT_NE(voice, nullptr);
    voice->SetInt(VK_SOUND_LOOP, 1);
    ASSERT_EQ(voice->Play(), VK_OK);
    // A second and a half of a half-second file, refilled every 1024 frames: the tone goes on.
    for (int i = 0; i < 32; ++i) {
        StereoFrames out = RenderFrames(1024);
        ASSERT_NEAR(Rms(out.left), 0.5 / std::sqrt(2.0) * std::pow(10.0, -0.05), 0.02) << i;
        ASSERT_EQ(player->Update(), VK_OK);
    }
    voice->Stop();
    EXPECT_EQ(voice->Release(), 0u);
    EXPECT_EQ(stream->Release(), 1u);
}

} // namespace
