#include "framework/streams/stream.h"
#include "tests/framework/sound_fixture.h"

namespace {

using WavFile = SoundTest;

struct InfoCase {
    const char* what;
    Bytes file;
    uint32_t length, format, channels, frequency;
    uint32_t dataBytes; // the last chunk's body
};

TEST_F(WavFile, InfoOfWellFormedFiles) {
    // Odd-sized chunks are followed by a pad byte (a body one longer than its size field).
    Bytes oddFmt = WavBuilder().Fmt(1, 8000, 8, 1, 2).Chunk("data", Bytes(6)).bytes;
    oddFmt[16] = 17; // the fmt chunk's size: 16 bytes of format, one more, then the pad
    const InfoCase cases[] = {
        {"605-byte bext chunk and its pad byte before data",
         WavBuilder()
             .Fmt(2, 48000, 16)
             .Chunk("bext", Bytes(606, 'b'), 605)
             .Chunk("data", Bytes(8))
             .bytes,
         2, VK_SOUND_S16, 2, 48000, 8},
        {"odd fmt chunk and its pad byte", oddFmt, 6, VK_SOUND_U8, 1, 8000, 6},
        {"16-bit stereo", WavBuilder().Fmt(2, 22050, 16).Chunk("data", Bytes(88200)).bytes, 22050,
         VK_SOUND_S16, 2, 22050, 88200},
        // Writers that leave the pad out: the id at the unpadded offset is the valid one.
        {"odd chunk between fmt and data without a pad",
         WavBuilder().Fmt(1, 11025, 8).Chunk("LIST", Bytes(7)).Chunk("data", Bytes(30)).bytes, 30,
         VK_SOUND_U8, 1, 11025, 30},
        {"fmt with extension word",
         WavBuilder().Fmt(1, 8000, 16, 1, 2).Chunk("data", Bytes(10)).bytes, 5, VK_SOUND_S16, 1,
         8000, 10},
        {"odd chunk before fmt without a pad",
         WavBuilder().Chunk("junk", Bytes(3)).Fmt(2, 44100, 8).Chunk("data", Bytes(9)).bytes, 4,
         VK_SOUND_U8, 2, 44100, 9},
        {"other width keeps the word", WavBuilder().Fmt(1, 8000, 24).Chunk("data", Bytes(9)).bytes,
         3, 0x1234, 1, 8000, 9},
    };
    for (const InfoCase& c : cases) {
        SCOPED_TRACE(c.what);
        IVkStream* s = StreamOf(c.file);
        uint32_t length = 0, format = 0x1234, channels = 0, frequency = 0;
        ASSERT_EQ(rw->GetInfo(s, &length, &format, &channels, &frequency), VK_OK);
        EXPECT_EQ(length, c.length);
        EXPECT_EQ(format, c.format);
        EXPECT_EQ(channels, c.channels);
        EXPECT_EQ(frequency, c.frequency);
        uint32_t at = 0;
        s->Seek(0, VK_SEEK_CUR, &at);
        EXPECT_EQ(at, c.file.size() - c.dataBytes) << "left at the first sample byte";
        s->Release();
    }
}

TEST_F(WavFile, MalformedFilesFail) {
    Bytes notRiff = WavBuilder().Fmt(1, 8000, 8).Chunk("data", Bytes(4)).bytes;
    notRiff[0] = 'X';
    Bytes notWave = WavBuilder().Fmt(1, 8000, 8).Chunk("data", Bytes(4)).bytes;
    notWave[11] = 'X';
    Bytes noData = WavBuilder().Fmt(1, 8000, 8).Chunk("LIST", Bytes(4)).bytes;
    // A size with the top bit set would be a backward seek and loop over the same chunks.
    Bytes backward = WavBuilder().Fmt(1, 8000, 8).Chunk("LIST", Bytes(), 0xFFFFFFF0u).bytes;
    Bytes shortFmt = WavBuilder().Chunk("fmt ", Bytes{1, 0, 1, 0}).Chunk("data", Bytes(16)).bytes;
    Bytes zeroAlign = WavBuilder().Fmt(0, 8000, 8).Chunk("data", Bytes(4)).bytes;
    const struct {
        const char* what;
        Bytes file;
        VkResult result;
        VkResult openResult;
    } cases[] = {
        {"not RIFF", notRiff, VK_E_FAIL, VK_E_FAIL},
        {"not WAVE", notWave, VK_E_FAIL, VK_E_FAIL},
        {"compressed", WavBuilder().Fmt(1, 8000, 8, 2).Chunk("data", Bytes(4)).bytes, VK_E_FAIL,
         VK_E_FAIL},
        {"no fmt", WavBuilder().Chunk("data", Bytes(4)).bytes, VK_E_ENDOFSTREAM, VK_E_ENDOFSTREAM},
        {"no data", noData, VK_E_ENDOFSTREAM, VK_E_ENDOFSTREAM},
        {"backward chunk size", backward, VK_E_FAIL, VK_E_FAIL},
        {"fmt shorter than its fields", shortFmt, VK_E_FAIL, VK_E_FAIL},
        {"block align 0 has no frame length", zeroAlign, VK_E_FAIL, VK_OK},
        {"empty", Bytes(), VK_E_ENDOFSTREAM, VK_E_ENDOFSTREAM},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        IVkStream* s = StreamOf(c.file);
        uint32_t length = 0, format = 0, channels = 0, frequency = 0;
        EXPECT_EQ(rw->GetInfo(s, &length, &format, &channels, &frequency), c.result);
        s->Seek(0, VK_SEEK_SET, nullptr);
        IVkStream* reader = nullptr;
        EXPECT_EQ(rw->OpenStreamReader(s, &reader), c.openResult);
        EXPECT_EQ(reader != nullptr, c.openResult == VK_OK);
        if (reader) reader->Release();
        s->Release();
    }
}

TEST_F(WavFile, ReadFillsABufferFromTheFormat) {
    Bytes data = {0x01, 0x80, 0xFF, 0x7F, 0x00, 0x00, 0x34, 0x12};
    IVkStream* s = StreamOf(WavBuilder().Fmt(2, 11025, 16).Chunk("data", data).bytes);
    IVkSoundFormat* format = nullptr;
    ASSERT_EQ(proc->CreateFormat(&format), VK_OK);
    IVkSoundBuffer* buffer = nullptr;
    ASSERT_EQ(rw->Read(s, format, &buffer), VK_OK);
    uint32_t length = 0;
    format->GetInt(VK_SOUND_LENGTH, &length);
    EXPECT_EQ(length, 2u);
    EXPECT_EQ(buffer->GetFormat(), VK_SOUND_S16);
    EXPECT_EQ(buffer->GetChannels(), 2u);
    EXPECT_EQ(Frequency(buffer), 11025u);
    EXPECT_EQ(Samples16(buffer), (std::vector<int16_t>{-32767, 32767, 0, 0x1234}));
    EXPECT_EQ(buffer->Release(), 0u);
    s->Release();

    // Data cut short, or claimed far beyond the file, fails with no buffer made.
    for (uint32_t claimed : {9u, 0x7FFFFFF0u}) {
        IVkStream* cut =
            StreamOf(WavBuilder().Fmt(1, 8000, 8).Chunk("data", Bytes(8), claimed).bytes);
        buffer = reinterpret_cast<IVkSoundBuffer*>(1);
        EXPECT_EQ(rw->Read(cut, format, &buffer), VK_E_ENDOFSTREAM);
        EXPECT_EQ(buffer, nullptr);
        cut->Release();
    }
    // A width that no format word names cannot be read.
    IVkStream* wide = StreamOf(WavBuilder().Fmt(1, 8000, 24).Chunk("data", Bytes(6)).bytes);
    EXPECT_EQ(rw->Read(wide, format, &buffer), VK_E_FAIL);
    wide->Release();
    format->Release();
}

TEST_F(WavFile, WriteGivesTheStandardHeaderAndReadsBack) {
    IVkSoundBuffer* buffer = Buffer(VK_SOUND_U8, 1, 1000, 22050);
    uint8_t* p = nullptr;
    buffer->Lock(VK_LOCK_WRITE, reinterpret_cast<void**>(&p));
    for (int i = 0; i < 1000; ++i)
        p[i] = static_cast<uint8_t>(i);
    buffer->Unlock();
    IVkStream* out = Create<IVkStream>(CLSID_VkMemoryStream, IID_IVkStream);
    ASSERT_EQ(rw->Write(out, buffer), VK_OK);
    Bytes file = Contents(out);
    ASSERT_EQ(file.size(), 1044u);
    Bytes expected = WavBuilder().Fmt(1, 22050, 8).Chunk("data", Bytes(p, p + 1000)).bytes;
    EXPECT_EQ(file, expected);
    EXPECT_EQ(file[4] | file[5] << 8, 1036) << "RIFF size";
    EXPECT_EQ(file[40] | file[41] << 8, 1000) << "data size";

    out->Seek(0, VK_SEEK_SET, nullptr);
    IVkSoundFormat* format = nullptr;
    proc->CreateFormat(&format);
    IVkSoundBuffer* back = nullptr;
    ASSERT_EQ(rw->Read(out, format, &back), VK_OK);
    EXPECT_EQ(back->GetLength(), 1000u);
    void* q = nullptr;
    back->Lock(VK_LOCK_READ, &q);
    EXPECT_EQ(std::memcmp(p, q, 1000), 0);
    back->Release();
    format->Release();
    out->Release();
    buffer->Release();

    // Only the two PCM format words are written; the stream stays untouched.
    IVkSoundBuffer* signed8 = Buffer(0x10801, 1, 10);
    IVkStream* none = Create<IVkStream>(CLSID_VkMemoryStream, IID_IVkStream);
    EXPECT_EQ(rw->Write(none, signed8), VK_E_FAIL);
    EXPECT_TRUE(Contents(none).empty());
    none->Release();
    signed8->Release();
}

TEST_F(WavFile, StreamReaderCountsFromTheFirstSample) {
    Bytes data = {10, 11, 12, 13, 14, 15};
    IVkStream* s =
        StreamOf(WavBuilder().Fmt(1, 8000, 8).Chunk("LIST", Bytes(5)).Chunk("data", data).bytes);
    IVkStream* reader = nullptr;
    ASSERT_EQ(rw->OpenStreamReader(s, &reader), VK_OK);
    s->Release(); // the reader holds its own reference
    uint8_t got[2] = {};
    ASSERT_EQ(reader->Read(got, 2, nullptr), VK_OK);
    EXPECT_EQ(got[0], 10);
    uint32_t at = 99;
    ASSERT_EQ(reader->Seek(0, VK_SEEK_SET, &at), VK_OK);
    EXPECT_EQ(at, 0u);
    reader->Read(got, 1, nullptr);
    EXPECT_EQ(got[0], 10);
    // A move from the current position moves by the offset only.
    ASSERT_EQ(reader->Seek(2, VK_SEEK_CUR, &at), VK_OK);
    EXPECT_EQ(at, 3u);
    reader->Read(got, 1, nullptr);
    EXPECT_EQ(got[0], 13);
    EXPECT_EQ(reader->Release(), 0u);

    EXPECT_EQ(rw->OpenStreamReader(nullptr, &reader), VK_E_FAIL);
}

TEST_F(WavFile, ServesTheWavExtension) {
    EXPECT_EQ(rw->GetExtensionCount(), 1u);
    char text[VK_SOUND_EXTENSION_SIZE] = "x";
    EXPECT_EQ(rw->GetExtension(0, text), VK_OK);
    EXPECT_STREQ(text, "wav");
    EXPECT_EQ(rw->GetExtension(1, text), VK_E_FAIL);
}

} // namespace
