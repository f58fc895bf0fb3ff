#include "framework/sound/soundrw.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"

#include <cstring>

const VkGuid IID_IVkSoundRW = {
    0x4BA9A7F5, 0x9A83, 0x11D2, {0x86, 0x8F, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};
const VkGuid CLSID_VkSoundRWWav = {
    0x4BA9A7F8, 0x9A83, 0x11D2, {0x86, 0x8F, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};

namespace {

constexpr uint32_t kFormatSize = 16;
constexpr uint32_t kWavePcm = 1;

uint16_t Get16(const uint8_t* at) {
    return static_cast<uint16_t>(at[0] | at[1] << 8);
}
uint32_t Get32(const uint8_t* at) {
    return static_cast<uint32_t>(at[0]) | static_cast<uint32_t>(at[1]) << 8 |
           static_cast<uint32_t>(at[2]) << 16 | static_cast<uint32_t>(at[3]) << 24;
}
void Put16(uint8_t* at, uint32_t v) {
    at[0] = static_cast<uint8_t>(v);
    at[1] = static_cast<uint8_t>(v >> 8);
}
void Put32(uint8_t* at, uint32_t v) {
    Put16(at, v);
    Put16(at + 2, v >> 16);
}

struct WaveFormat {
    uint16_t tag;
    uint16_t channels;
    uint32_t frequency;
    uint32_t bytesPerSecond;
    uint16_t blockAlign;
    uint16_t bits;
};

// A read of exactly n bytes: a short read that the stream reports as success is the end of
// the data all the same.
VkResult ReadExact(IVkStream* stream, void* buffer, uint32_t n) {
    uint32_t got = 0;
    VkResult res = stream->Read(buffer, n, &got);
    if (res < 0) return res;
    return got == n ? VK_OK : VK_E_ENDOFSTREAM;
}

// Moves forward over a chunk body. A size that does not fit a forward seek is refused, so a
// chunk can never send the parse backwards.
VkResult Skip(IVkStream* stream, uint32_t size) {
    if (size > INT32_MAX) return VK_E_FAIL;
    return stream->Seek(static_cast<int32_t>(size), VK_SEEK_CUR, nullptr);
}

// A chunk id is four printable characters.
bool IsChunkId(const uint8_t* id) {
    for (int i = 0; i < 4; ++i)
        if (id[i] < 0x20 || id[i] > 0x7E) return false;
    return true;
}

// Reads the next chunk header. After a chunk of odd size RIFF puts a pad byte, which is
// skipped; a writer that left it out is recognised by a valid id at the unpadded offset where
// the padded one is not.
VkResult ReadChunkHeader(IVkStream* stream, bool padded, uint8_t header[8]) {
    if (!padded) return ReadExact(stream, header, 8);
    uint8_t first[5];
    VkResult res = ReadExact(stream, first, sizeof first);
    if (res < 0) return res;
    const int skip = !IsChunkId(first + 1) && IsChunkId(first) ? 0 : 1;
    std::memcpy(header, first + skip, 5 - skip);
    return ReadExact(stream, header + 5 - skip, 3 + skip);
}

// Reads chunk headers until one with the id; gives its size. `padded` says whether the
// chunk before ended at an odd size, and on return whether the found chunk's body does.
VkResult FindChunk(IVkStream* stream, const char* id, uint32_t* size, bool* padded) {
    for (;;) {
        uint8_t header[8];
        VkResult res = ReadChunkHeader(stream, *padded, header);
        if (res < 0) return res;
        *size = Get32(header + 4);
        *padded = (*size & 1) != 0;
        if (std::memcmp(header, id, 4) == 0) return VK_OK;
        res = Skip(stream, *size);
        if (res < 0) return res;
    }
}

// Parses the header from the file start up to the first sample byte.
VkResult ParseHeader(IVkStream* stream, WaveFormat* format, uint32_t* dataLength) {
    uint8_t riff[12];
    VkResult res = ReadExact(stream, riff, sizeof riff);
    if (res < 0) return res;
    if (std::memcmp(riff, "RIFF", 4) != 0 || std::memcmp(riff + 8, "WAVE", 4) != 0)
        return VK_E_FAIL;
    uint32_t size = 0;
    bool padded = false;
    res = FindChunk(stream, "fmt ", &size, &padded);
    if (res < 0) return res;
    // A shorter format chunk would take its fields from whatever follows it.
    if (size < kFormatSize) return VK_E_FAIL;
    uint8_t body[kFormatSize];
    res = ReadExact(stream, body, sizeof body);
    if (res < 0) return res;
    if (size > kFormatSize) {
        res = Skip(stream, size - kFormatSize);
        if (res < 0) return res;
    }
    format->tag = Get16(body);
    format->channels = Get16(body + 2);
    format->frequency = Get32(body + 4);
    format->bytesPerSecond = Get32(body + 8);
    format->blockAlign = Get16(body + 12);
    format->bits = Get16(body + 14);
    if (format->tag != kWavePcm) return VK_E_FAIL;
    return FindChunk(stream, "data", dataLength, &padded);
}

// Sample data seen from its first byte: position 0 is the first sample.
class DataStream final : public VkObject<IVkStream, IID_IVkStream> {
public:
    DataStream(IVkStream* stream, uint32_t start) : stream_(stream), start_(start) {
        stream_->AddRef();
    }

    VkResult Read(void* buffer, uint32_t n, uint32_t* got) override {
        VkResult res = stream_->Read(buffer, n, got);
        return res < 0 ? res : VK_OK;
    }
    VkResult Write(const void*, uint32_t, uint32_t* written) override {
        if (written) *written = 0;
        return VK_E_FAIL;
    }
    // Positions from the start count from the first sample; moves from the current position
    // or the end need no shift.
    VkResult Seek(int32_t offset, uint32_t origin, uint32_t* position) override {
        if (origin == VK_SEEK_SET)
            offset = static_cast<int32_t>(start_ + static_cast<uint32_t>(offset));
        uint32_t at = 0;
        VkResult res = stream_->Seek(offset, origin, &at);
        if (res < 0) return res;
        if (position) *position = at - start_;
        return VK_OK;
    }

private:
    void Destroy() override {
        stream_->Release();
        VkMemDestroyObject(this);
    }

    IVkStream* stream_;
    uint32_t start_;
};

// The bytes left in a stream from its position, or UINT64_MAX when it cannot tell.
uint64_t Remaining(IVkStream* stream) {
    uint32_t here = 0, end = 0;
    if (stream->Seek(0, VK_SEEK_CUR, &here) < 0) return UINT64_MAX;
    if (stream->Seek(0, VK_SEEK_END, &end) < 0) return UINT64_MAX;
    if (stream->Seek(static_cast<int32_t>(here), VK_SEEK_SET, nullptr) < 0) return UINT64_MAX;
    return end >= here ? end - here : 0;
}

class WavRW final : public VkObject<IVkSoundRW, IID_IVkSoundRW> {
public:
    VkResult GetInfo(IVkStream* stream, uint32_t* length, uint32_t* format, uint32_t* channels,
                     uint32_t* frequency) override {
        WaveFormat wave{};
        uint32_t dataLength = 0;
        VkResult res = ParseHeader(stream, &wave, &dataLength);
        if (res < 0) return res;
        if (wave.blockAlign == 0) return VK_E_FAIL;
        *channels = wave.channels;
        *frequency = wave.frequency;
        if (wave.bits == 8)
            *format = VK_SOUND_U8;
        else if (wave.bits == 16)
            *format = VK_SOUND_S16;
        *length = dataLength / wave.blockAlign;
        return VK_OK;
    }

    VkResult Read(IVkStream* stream, IVkSoundFormat* format, IVkSoundBuffer** buffer) override {
        *buffer = nullptr;
        uint32_t length = 0, word = 0, channels = 0, frequency = 0;
        VkResult res = GetInfo(stream, &length, &word, &channels, &frequency);
        if (res < 0) return res;
        uint32_t bits = VkSoundBits(word);
        if (word == 0 || (bits != 8 && bits != 16)) return VK_E_FAIL;
        // Buffers hold up to 255 channels; the bytes to read must be what the buffer holds.
        if (channels == 0 || channels > UINT8_MAX) return VK_E_FAIL;
        uint64_t bytes = static_cast<uint64_t>(bits) * channels * length / 8;
        // A data size beyond the end of the file is not worth a buffer of that size.
        if (bytes > Remaining(stream)) return VK_E_ENDOFSTREAM;
        format->SetInt(VK_SOUND_LENGTH, length);
        format->SetInt(VK_SOUND_FORMAT, word);
        format->SetInt(VK_SOUND_CHANNELS, channels);
        format->SetInt(VK_SOUND_FREQUENCY, frequency);
        IVkSoundBuffer* made = nullptr;
        res = format->CreateBuffer(&made);
        if (res < 0) return res;
        // An empty data chunk still makes a buffer of the format's default length.
        uint64_t capacity =
            static_cast<uint64_t>(made->GetChannels()) * bits / 8 * made->GetLength();
        if (bytes > capacity || made->GetFormat() != word) {
            made->Release();
            return VK_E_FAIL;
        }
        void* data = nullptr;
        res = made->Lock(VK_LOCK_WRITE, &data);
        if (res >= 0) {
            res = ReadExact(stream, data, static_cast<uint32_t>(bytes));
            made->Unlock();
        }
        if (res < 0) {
            made->Release();
            return res;
        }
        *buffer = made;
        return VK_OK;
    }

    VkResult Write(IVkStream* stream, IVkSoundBuffer* buffer) override {
        uint32_t word = buffer->GetFormat();
        uint32_t channels = buffer->GetChannels();
        uint32_t length = buffer->GetLength();
        if (word != VK_SOUND_U8 && word != VK_SOUND_S16) return VK_E_FAIL;
        uint32_t bits = VkSoundBits(word);
        uint32_t blockAlign = bits * channels / 8;
        uint64_t dataLength = static_cast<uint64_t>(length) * blockAlign;
        // The RIFF size field must hold it.
        if (dataLength > UINT32_MAX - 36) return VK_E_FAIL;
        uint32_t frequency = 0;
        buffer->GetInt(VK_SOUND_FREQUENCY, &frequency);

        uint8_t header[44];
        std::memcpy(header, "RIFF", 4);
        Put32(header + 4, static_cast<uint32_t>(dataLength) + 36);
        std::memcpy(header + 8, "WAVE", 4);
        std::memcpy(header + 12, "fmt ", 4);
        Put32(header + 16, kFormatSize);
        Put16(header + 20, kWavePcm);
        Put16(header + 22, channels);
        Put32(header + 24, frequency);
        Put32(header + 28, frequency * blockAlign);
        Put16(header + 32, blockAlign);
        Put16(header + 34, bits);
        std::memcpy(header + 36, "data", 4);
        Put32(header + 40, static_cast<uint32_t>(dataLength));
        // The four headers go out one by one, as each failure ends the write.
        static constexpr uint32_t kParts[][2] = {{0, 12}, {12, 8}, {20, 16}, {36, 8}};
        for (const auto& part : kParts) {
            VkResult res = stream->Write(header + part[0], part[1], nullptr);
            if (res < 0) return res;
        }
        void* data = nullptr;
        VkResult res = buffer->Lock(VK_LOCK_READ, &data);
        if (res < 0) return res;
        res = stream->Write(data, static_cast<uint32_t>(dataLength), nullptr);
        buffer->Unlock();
        return res;
    }

    VkResult OpenStreamReader(IVkStream* stream, IVkStream** reader) override {
        if (!stream || !reader) return VK_E_FAIL;
        *reader = nullptr;
        WaveFormat wave{};
        uint32_t dataLength = 0;
        VkResult res = ParseHeader(stream, &wave, &dataLength);
        if (res < 0) return res;
        uint32_t start = 0;
        res = stream->Seek(0, VK_SEEK_CUR, &start);
        if (res < 0) return res;
        // The data stream holds the allocator like any component.
        if (VkMemAcquire() < 0) return VK_E_OUTOFMEMORY;
        DataStream* made = VkMemNew<DataStream>(stream, start);
        if (!made) {
            VkMemRelease();
            return VK_E_OUTOFMEMORY;
        }
        *reader = made;
        return VK_OK;
    }

    uint32_t GetExtensionCount() override { return 1; }

    VkResult GetExtension(uint32_t index, char* text) override {
        if (index != 0) return VK_E_FAIL;
        VkCopyText(text, VK_SOUND_EXTENSION_SIZE, "wav");
        return VK_OK;
    }

private:
    void Destroy() override { VkMemDestroyObject(this); }
};

const VkCategoryRef kSoundRWCategory[] = {{&CATID_VkSoundRW, "Vesk SoundRW"}};

const VkComponentRecord kSoundRWWavRecords[] = {
    {&CLSID_VkSoundRWWav, 1, kSoundRWCategory, 0, nullptr, VkCreateSoundRWWav,
     "Vesk - Standard SoundRW Wav", "Vesk.SoundRWWav.1", "Vesk.SoundRWWav", nullptr},
};

} // namespace

VkResult VkCreateSoundRWWav(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    WavRW* rw = nullptr;
    VkResult res = VkMemCreateObject(&rw);
    if (res < 0) return res;
    *out = rw;
    return VK_OK;
}

VkResult VkSoundRWWavModuleRegister(IVkRegistry* registry) {
    return VkModule<kSoundRWWavRecords>::Register(registry);
}
