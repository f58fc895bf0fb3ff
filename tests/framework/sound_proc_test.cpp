#include "tests/framework/sound_fixture.h"

namespace {

using SoundProc = SoundTest;

TEST_F(SoundProc, UnsetFormatMakesTheDefaultBuffer) {
    IVkSoundFormat* format = nullptr;
    ASSERT_EQ(proc->CreateFormat(&format), VK_OK);
    uint32_t priority = 0;
    format->GetInt(VK_SOUND_PRIORITY, &priority);
    EXPECT_EQ(priority, 10u);
    uint32_t v = 0;
    float f = 0;
    EXPECT_EQ(format->SetInt(0, 1), VK_E_FAIL);
    EXPECT_EQ(format->GetInt(8, &v), VK_E_FAIL);
    EXPECT_EQ(format->SetFloat(1, 0.5f), VK_E_FAIL);

    format->SetInt(VK_SOUND_EXTRA, 77);
    format->SetFloat(VK_SOUND_VOLUME, 0.25f);
    IVkSoundFormat* clone = nullptr;
    ASSERT_EQ(format->Clone(&clone), VK_OK);
    clone->GetInt(VK_SOUND_EXTRA, &v);
    clone->GetFloat(VK_SOUND_VOLUME, &f);
    EXPECT_EQ(v, 77u);
    EXPECT_EQ(f, 0.25f);
    clone->Release();

    IVkSoundBuffer* buffer = nullptr;
    ASSERT_EQ(format->CreateBuffer(&buffer), VK_OK);
    EXPECT_EQ(buffer->GetLength(), 1024u);
    EXPECT_EQ(buffer->GetChannels(), 1u);
    EXPECT_EQ(buffer->GetFormat(), VK_SOUND_U8);
    EXPECT_EQ(Frequency(buffer), 22050u);
    buffer->GetInt(VK_SOUND_PRIORITY, &priority);
    EXPECT_EQ(priority, 10u);
    buffer->GetFloat(VK_SOUND_VOLUME, &f);
    EXPECT_EQ(f, 1.0f) << "the format's volume is not passed on";
    EXPECT_EQ(buffer->GetInt(VK_SOUND_LENGTH, &v), VK_E_FAIL);
    IVkSoundVoice* voice = nullptr;
    EXPECT_EQ(buffer->CreateVoice(&voice), VK_E_FAIL);
    EXPECT_EQ(buffer->Release(), 0u);
    EXPECT_EQ(format->Release(), 0u);
}

TEST_F(SoundProc, LockRangeWrapsAroundTheEnd) {
    IVkSoundBuffer* b = Buffer(VK_SOUND_S16, 2, 1024);
    uint8_t* base = nullptr;
    b->Lock(VK_LOCK_WRITE, reinterpret_cast<void**>(&base));
    void *first = nullptr, *second = nullptr;
    uint32_t n1 = 0, n2 = 0;
    ASSERT_EQ(b->LockRange(VK_LOCK_WRITE, 1000, 48, &first, &n1, &second, &n2), VK_OK);
    EXPECT_EQ(first, base + 1000 * 4);
    EXPECT_EQ(n1, 24u);
    EXPECT_EQ(second, base);
    EXPECT_EQ(n2, 24u);
    ASSERT_EQ(b->LockRange(VK_LOCK_WRITE, 10, 20, &first, &n1, &second, &n2), VK_OK);
    EXPECT_EQ(n1, 20u);
    EXPECT_EQ(second, nullptr);
    EXPECT_EQ(n2, 0u);
    EXPECT_EQ(b->LockRange(VK_LOCK_WRITE, 0, 1025, &first, &n1, nullptr, nullptr), VK_E_FAIL);
    EXPECT_EQ(b->LockRange(VK_LOCK_WRITE, 1024, 1, &first, &n1, nullptr, nullptr), VK_E_FAIL);
    b->Release();
}

TEST_F(SoundProc, ConvertFormatMovesTheMidPoint) {
    const struct {
        uint32_t from, to;
        int32_t in, out; // raw sample values
    } cases[] = {
        {VK_SOUND_U8, VK_SOUND_S16, 0x80, 0},      {VK_SOUND_U8, VK_SOUND_S16, 0xFF, 0x7F00},
        {VK_SOUND_S16, VK_SOUND_U8, -32768, 0x00}, {VK_SOUND_S16, VK_SOUND_U8, 0x7FFF, 0xFF},
        {VK_SOUND_S16, VK_SOUND_U8, -1, 0x7F},     {VK_SOUND_U8, VK_SOUND_U8, 0x12, 0x12},
        {VK_SOUND_U8, 0x10801, 0x80, 0x00},        {VK_SOUND_S16, VK_SOUND_S16, -5, -5},
        {VK_SOUND_S16, 0x1001, 0, 0x8000},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.from << " to " << c.to << " of " << c.in);
        IVkSoundBuffer* src = Buffer(c.from, 1, 1, 11025);
        IVkSoundBuffer* dst = Buffer(c.to, 1, 1, 44100);
        void* p = nullptr;
        src->Lock(VK_LOCK_WRITE, &p);
        if (VkSoundBits(c.from) == 16)
            *static_cast<int16_t*>(p) = static_cast<int16_t>(c.in);
        else
            *static_cast<uint8_t*>(p) = static_cast<uint8_t>(c.in);
        ASSERT_EQ(proc->Convert(dst, src), VK_OK);
        dst->Lock(VK_LOCK_READ, &p);
        int32_t out =
            VkSoundBits(c.to) == 16 ? *static_cast<uint16_t*>(p) : *static_cast<uint8_t*>(p);
        EXPECT_EQ(out, c.out & (VkSoundBits(c.to) == 16 ? 0xFFFF : 0xFF));
        EXPECT_EQ(Frequency(dst), 11025u);
        src->Release();
        dst->Release();
    }
}

TEST_F(SoundProc, MismatchedBuffersAreRefused) {
    IVkSoundBuffer* mono = Buffer(VK_SOUND_S16, 1, 8);
    IVkSoundBuffer* mono4 = Buffer(VK_SOUND_S16, 1, 4);
    IVkSoundBuffer* stereo = Buffer(VK_SOUND_S16, 2, 8);
    IVkSoundBuffer* bytes = Buffer(VK_SOUND_U8, 1, 8);
    IVkSoundBuffer* adpcm = Buffer(0x402, 1, 8);
    EXPECT_EQ(proc->ConvertFormat(mono, stereo), VK_E_FAIL);
    EXPECT_EQ(proc->ConvertFormat(mono, mono4), VK_E_FAIL);
    EXPECT_EQ(proc->ConvertFormat(mono, adpcm), VK_E_FAIL);
    EXPECT_EQ(proc->Copy(mono4, mono), VK_E_FAIL);
    EXPECT_EQ(proc->Copy(mono, bytes), VK_E_FAIL);
    EXPECT_EQ(proc->Resample(mono, stereo), VK_E_FAIL);
    EXPECT_EQ(proc->Resample(mono, bytes), VK_E_FAIL);
    EXPECT_EQ(proc->ExtractChannel(mono, 2, stereo), VK_E_FAIL);
    EXPECT_EQ(proc->ExtractChannel(mono4, 0, stereo), VK_E_FAIL);
    EXPECT_EQ(proc->InsertChannel(stereo, 2, mono), VK_E_FAIL);
    EXPECT_EQ(proc->MixToMono(bytes, stereo), VK_E_FAIL);
    for (IVkSoundBuffer* b : {mono, mono4, stereo, bytes, adpcm})
        b->Release();
}

TEST_F(SoundProc, CopyKeepsTheTailAndTakesTheFrequency) {
    IVkSoundBuffer* src = Buffer(VK_SOUND_S16, 1, 2, 8000);
    IVkSoundBuffer* dst = Buffer(VK_SOUND_S16, 1, 3);
    Fill16(src, {1, 2});
    Fill16(dst, {7, 8, 9});
    ASSERT_EQ(proc->Copy(dst, src), VK_OK);
    EXPECT_EQ(Samples16(dst), (std::vector<int16_t>{1, 2, 9}));
    EXPECT_EQ(Frequency(dst), 8000u);
    src->Release();
    dst->Release();
}

TEST_F(SoundProc, ResampleKeepsTheDuration) {
    IVkSoundBuffer* src = Buffer(VK_SOUND_S16, 1, 100, 22050);
    std::vector<int16_t> ramp(100);
    for (int i = 0; i < 100; ++i)
        ramp[i] = static_cast<int16_t>(i * 10 - 300);
    Fill16(src, ramp);
    IVkSoundBuffer* half = Buffer(VK_SOUND_S16, 1, 50);
    ASSERT_EQ(proc->Resample(half, src), VK_OK);
    EXPECT_EQ(Frequency(half), 11025u);
    std::vector<int16_t> got = Samples16(half);
    EXPECT_EQ(got[0], -300);
    EXPECT_EQ(got[10], -100);
    EXPECT_EQ(got[49], 690) << "the last sample is the source's last";

    IVkSoundBuffer* stretched = Buffer(VK_SOUND_S16, 1, 7);
    IVkSoundBuffer* two = Buffer(VK_SOUND_S16, 1, 2, 1000);
    Fill16(two, {0, 100});
    ASSERT_EQ(proc->Resample(stretched, two), VK_OK);
    EXPECT_EQ(Samples16(stretched), (std::vector<int16_t>{0, 28, 57, 85, 100, 100, 100}));
    EXPECT_EQ(Frequency(stretched), 3500u);

    IVkSoundBuffer* one = Buffer(VK_SOUND_S16, 1, 1);
    Fill16(one, {-42});
    ASSERT_EQ(proc->Resample(stretched, one), VK_OK);
    EXPECT_EQ(Samples16(stretched), std::vector<int16_t>(7, -42));
    // A rate past 32 bits is held at the top rather than wrapped.
    one->SetInt(VK_SOUND_FREQUENCY, UINT32_MAX);
    ASSERT_EQ(proc->Resample(stretched, one), VK_OK);
    EXPECT_EQ(Frequency(stretched), UINT32_MAX);
    for (IVkSoundBuffer* b : {src, half, stretched, two, one})
        b->Release();
}

// Interpolated samples are cut toward zero, negative ones too (not floored, not rounded).
TEST_F(SoundProc, InterpolatedSamplesAreTruncatedTowardZero) {
    struct Case {
        std::vector<int16_t> source;
        uint32_t length;
        std::vector<int16_t> expected;
    };
    const Case cases[] = {
        {{0, -5}, 4, {0, -2, -5, -5}},
        {{0, 5}, 4, {0, 2, 5, 5}},
        {{-1, -4}, 4, {-1, -2, -4, -4}},    // -2.5 becomes -2
        {{-7, 0, 7}, 5, {-7, -2, 1, 5, 7}}, // -2.8, 1.4 and 5.6 become -2, 1 and 5
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.source.size());
        IVkSoundBuffer* src = Buffer(VK_SOUND_S16, 1, uint32_t(c.source.size()), 8000);
        Fill16(src, c.source);
        IVkSoundBuffer* dst = Buffer(VK_SOUND_S16, 1, c.length);
        ASSERT_EQ(proc->Resample(dst, src), VK_OK);
        EXPECT_EQ(Samples16(dst), c.expected);
        src->Release();
        dst->Release();
    }
}

TEST_F(SoundProc, ChannelsAreDuplicatedAndAveraged) {
    IVkSoundBuffer* stereo = Buffer(VK_SOUND_S16, 2, 3, 8000);
    Fill16(stereo, {-3, 0, 5, 6, -32768, -32767});
    IVkSoundBuffer* mono = Buffer(VK_SOUND_S16, 1, 3);
    ASSERT_EQ(proc->Convert(mono, stereo), VK_OK);
    EXPECT_EQ(Samples16(mono), (std::vector<int16_t>{-2, 5, -32768}));
    EXPECT_EQ(Frequency(mono), 8000u);

    IVkSoundBuffer* back = Buffer(VK_SOUND_S16, 2, 3);
    ASSERT_EQ(proc->Convert(back, mono), VK_OK);
    EXPECT_EQ(Samples16(back), (std::vector<int16_t>{-2, -2, 5, 5, -32768, -32768}));
    for (IVkSoundBuffer* b : {stereo, mono, back})
        b->Release();
}

TEST_F(SoundProc, ConvertRunsTheWholePipeline) {
    // 8-bit unsigned stereo, 2 frames, to 16-bit signed mono, 4 frames, at 8-bit out.
    IVkSoundBuffer* src = Buffer(VK_SOUND_U8, 2, 2, 10000);
    uint8_t* p = nullptr;
    src->Lock(VK_LOCK_WRITE, reinterpret_cast<void**>(&p));
    const uint8_t in[] = {0x80, 0x80, 0xC0, 0x40};
    std::memcpy(p, in, sizeof in);
    IVkSoundBuffer* dst = Buffer(VK_SOUND_U8, 1, 4);
    ASSERT_EQ(proc->Convert(dst, src), VK_OK);
    EXPECT_EQ(Frequency(dst), 20000u);
    dst->Lock(VK_LOCK_READ, reinterpret_cast<void**>(&p));
    EXPECT_EQ(Bytes(p, p + 4), (Bytes{0x80, 0x80, 0x80, 0x80}));
    EXPECT_EQ(src->GetFormat(), VK_SOUND_U8) << "the source is left alone";

    // Stereo resampled channel by channel into four channels.
    IVkSoundBuffer* s16 = Buffer(VK_SOUND_S16, 2, 2, 1000);
    Fill16(s16, {0, 1000, 100, 2000});
    IVkSoundBuffer* quad = Buffer(VK_SOUND_S16, 4, 3);
    ASSERT_EQ(proc->Convert(quad, s16), VK_OK);
    EXPECT_EQ(Samples16(quad),
              (std::vector<int16_t>{0, 0, 1000, 1000, 66, 66, 1666, 1666, 100, 100, 2000, 2000}));
    for (IVkSoundBuffer* b : {src, dst, s16, quad})
        b->Release();
}

TEST_F(SoundProc, WideFramesGetTheirWholeData) {
    // 200 channels of 16 bits make 400-byte frames; every sample must have its place.
    IVkSoundBuffer* src = Buffer(VK_SOUND_S16, 200, 3);
    IVkSoundBuffer* dst = Buffer(VK_SOUND_U8, 200, 3);
    std::vector<int16_t> v(600, 0x7FFF);
    Fill16(src, v);
    ASSERT_EQ(proc->ConvertFormat(dst, src), VK_OK);
    uint8_t* p = nullptr;
    dst->Lock(VK_LOCK_READ, reinterpret_cast<void**>(&p));
    EXPECT_EQ(p[599], 0xFF);
    void* first = nullptr;
    uint32_t n = 0;
    ASSERT_EQ(src->LockRange(VK_LOCK_READ, 2, 1, &first, &n, nullptr, nullptr), VK_OK);
    void* base = nullptr;
    src->Lock(VK_LOCK_READ, &base);
    EXPECT_EQ(static_cast<uint8_t*>(first) - static_cast<uint8_t*>(base), 800);
    src->Release();
    dst->Release();
}

TEST_F(SoundProc, OutOfMemoryIsReportedAndLeavesNothing) {
    IVkSoundFormat* format = nullptr;
    ASSERT_EQ(proc->CreateFormat(&format), VK_OK);
    IVkSoundBuffer* buffer = reinterpret_cast<IVkSoundBuffer*>(1);
    format->SetInt(VK_SOUND_FORMAT, VK_SOUND_S16);
    format->SetInt(VK_SOUND_CHANNELS, 4);
    format->SetInt(VK_SOUND_LENGTH, UINT32_MAX); // more bytes than 32 bits can count
    EXPECT_EQ(format->CreateBuffer(&buffer), VK_E_OUTOFMEMORY);
    EXPECT_EQ(buffer, nullptr);

    IVkSoundBuffer* src = Buffer(VK_SOUND_U8, 2, 4);
    IVkSoundBuffer* dst = Buffer(VK_SOUND_S16, 1, 8);
    VkMemSetFailAllocations(true);
    format->SetInt(VK_SOUND_LENGTH, 16);
    EXPECT_EQ(format->CreateBuffer(&buffer), VK_E_OUTOFMEMORY);
    IVkSoundFormat* other = reinterpret_cast<IVkSoundFormat*>(1);
    EXPECT_EQ(proc->CreateFormat(&other), VK_E_OUTOFMEMORY);
    EXPECT_EQ(other, nullptr);
    EXPECT_EQ(proc->Convert(dst, src), VK_E_OUTOFMEMORY) << "no working buffer";
    VkMemSetFailAllocations(false);
    EXPECT_EQ(proc->Convert(dst, src), VK_OK);
    for (IVkSoundBuffer* b : {src, dst})
        b->Release();
    format->Release();
}

class SoundFiles : public SoundTest {
protected:
    void SetUp() override {
        SoundTest::SetUp();
        Bytes wav = WavBuilder().Fmt(1, 11025, 16).Chunk("data", Bytes{1, 0, 2, 0, 3, 0}).bytes;
        storage.files["music.wav"] = wav;
        storage.files["MUSIC.WAV"] = wav;
        storage.files["noise.wav"] = Bytes{'n', 'o', 'p', 'e'};
    }
    MemoryStorage storage;
};

TEST_F(SoundFiles, LoadChoosesTheReaderByExtension) {
    const struct {
        const char* name;
        const char* opened;
    } cases[] = {{"music", "music.wav"}, {"MUSIC.WAV", "MUSIC.WAV"}, {"music.wav", "music.wav"}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        storage.asked.clear();
        IVkSoundFormat* format = nullptr;
        proc->CreateFormat(&format);
        IVkSoundBuffer* buffer = nullptr;
        ASSERT_EQ(proc->Load(&storage, c.name, format, &buffer), VK_OK);
        EXPECT_EQ(storage.asked, std::vector<std::string>{c.opened});
        EXPECT_EQ(Samples16(buffer), (std::vector<int16_t>{1, 2, 3}));
        EXPECT_EQ(Frequency(buffer), 11025u);
        buffer->Release();
        format->Release();
    }
    IVkSoundFormat* format = nullptr;
    proc->CreateFormat(&format);
    IVkSoundBuffer* buffer = nullptr;
    for (const char* bad : {"absent", "music.ogg", "noise"})
        EXPECT_EQ(proc->Load(&storage, bad, format, &buffer), VK_E_FAIL) << bad;
    format->Release();

    IVkSoundRW* reader = nullptr;
    ASSERT_EQ(proc->FindReader(&storage, "music", &reader), VK_OK);
    char ext[VK_SOUND_EXTENSION_SIZE];
    reader->GetExtension(0, ext);
    EXPECT_STREQ(ext, "wav");
    reader->Release();
    EXPECT_EQ(proc->FindReader(&storage, "noise", &reader), VK_E_FAIL);
    EXPECT_EQ(reader, nullptr);
}

TEST_F(SoundFiles, ADotInAFolderNameIsNoExtension) {
    storage.files[".\\data\\music.wav"] = storage.files["music.wav"];
    IVkSoundRW* reader = nullptr;
    ASSERT_EQ(proc->FindReader(&storage, ".\\data\\music", &reader), VK_OK);
    EXPECT_EQ(storage.asked.back(), ".\\data\\music.wav");
    reader->Release();
}

TEST_F(SoundFiles, SaveChoosesTheWriterByExtension) {
    IVkSoundBuffer* buffer = Buffer(VK_SOUND_S16, 1, 3, 11025);
    Fill16(buffer, {1, 2, 3});
    ASSERT_EQ(proc->Save(&storage, "take", buffer), VK_OK);
    EXPECT_EQ(storage.asked.back(), "take.wav");
    EXPECT_EQ(Contents(storage.written), storage.files["music.wav"]);
    ASSERT_EQ(proc->Save(&storage, "Take.Wav", buffer), VK_OK);
    EXPECT_EQ(storage.asked.back(), "Take.Wav");
    storage.asked.clear();
    EXPECT_EQ(proc->Save(&storage, "take.ogg", buffer), VK_E_FAIL);
    EXPECT_TRUE(storage.asked.empty());
    buffer->Release();
}

} // namespace
