// Sound tests: a started framework with Sound Processing and the WAV reader/writer, an
// in-memory storage that records the names it was asked for, and a WAV file builder.
#pragma once

#include "framework/core/memory.h"
#include "framework/sound/soundproc.h"
#include "framework/sound/soundrw.h"
#include "framework/streams/storage.h"
#include "tests/framework/framework_fixture.h"

#include <cstring>
#include <map>
#include <string>
#include <vector>

using Bytes = std::vector<uint8_t>;

inline void PutLe(Bytes& out, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// Chunks of a RIFF WAVE file, each added as id, size field and body; the RIFF size follows.
struct WavBuilder {
    Bytes bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};

    WavBuilder& Chunk(const char* id, const Bytes& body, uint32_t size) {
        bytes.insert(bytes.end(), id, id + 4);
        PutLe(bytes, size, 4);
        bytes.insert(bytes.end(), body.begin(), body.end());
        uint32_t riff = static_cast<uint32_t>(bytes.size() - 8);
        for (int i = 0; i < 4; ++i)
            bytes[4 + i] = static_cast<uint8_t>(riff >> (8 * i));
        return *this;
    }
    WavBuilder& Chunk(const char* id, const Bytes& body) {
        return Chunk(id, body, static_cast<uint32_t>(body.size()));
    }
    WavBuilder& Fmt(uint32_t channels, uint32_t frequency, uint32_t bits, uint32_t tag = 1,
                    uint32_t extra = 0) {
        Bytes body;
        uint32_t align = channels * bits / 8;
        PutLe(body, tag, 2);
        PutLe(body, channels, 2);
        PutLe(body, frequency, 4);
        PutLe(body, frequency * align, 4);
        PutLe(body, align, 2);
        PutLe(body, bits, 2);
        body.resize(body.size() + extra);
        return Chunk("fmt ", body);
    }
};

class MemoryStorage final : public IVkStorage {
public:
    VkResult QueryInterface(const VkGuid&, void** out) override {
        *out = nullptr;
        return VK_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    VkResult Open(const char*, uintptr_t, uint32_t) override { return VK_OK; }
    VkResult Close() override { return VK_OK; }
    // Reads give a memory stream over the file; a write gives a memory stream kept to be
    // looked at afterwards.
    VkResult OpenStream(const char* name, uint32_t access, uint32_t, IVkStream** out) override {
        *out = nullptr;
        asked.push_back(name);
        if (access == VK_ACCESS_READ && !files.count(name)) return VK_E_FAIL;
        void* made = nullptr;
        VkCreateInstance(CLSID_VkMemoryStream, nullptr, 0, IID_IVkStream, &made);
        IVkStream* stream = static_cast<IVkStream*>(made);
        if (access == VK_ACCESS_READ) {
            const Bytes& b = files[name];
            stream->Write(b.data(), static_cast<uint32_t>(b.size()), nullptr);
            stream->Seek(0, VK_SEEK_SET, nullptr);
        } else {
            if (written) written->Release();
            written = stream;
            stream->AddRef();
        }
        *out = stream;
        return VK_OK;
    }
    ~MemoryStorage() {
        if (written) written->Release();
    }

    std::map<std::string, Bytes> files;
    std::vector<std::string> asked;
    IVkStream* written = nullptr;
};

class SoundTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        proc = Create<IVkSoundProc>(CLSID_VkSoundProc, IID_IVkSoundProc);
        rw = Create<IVkSoundRW>(CLSID_VkSoundRWWav, IID_IVkSoundRW);
        ASSERT_NE(proc, nullptr);
        ASSERT_NE(rw, nullptr);
    }
    void TearDown() override {
        EXPECT_EQ(rw->Release(), 0u);
        EXPECT_EQ(proc->Release(), 0u);
        FrameworkTest::TearDown();
    }

    IVkStream* StreamOf(const Bytes& bytes) {
        IVkStream* s = Create<IVkStream>(CLSID_VkMemoryStream, IID_IVkStream);
        s->Write(bytes.data(), static_cast<uint32_t>(bytes.size()), nullptr);
        s->Seek(0, VK_SEEK_SET, nullptr);
        return s;
    }
    static Bytes Contents(IVkStream* s) {
        uint32_t end = 0;
        s->Seek(0, VK_SEEK_END, &end);
        s->Seek(0, VK_SEEK_SET, nullptr);
        Bytes out(end);
        s->Read(out.data(), end, nullptr);
        return out;
    }

    IVkSoundBuffer* Buffer(uint32_t format, uint32_t channels, uint32_t length,
                           uint32_t frequency = 22050) {
        IVkSoundFormat* f = nullptr;
        EXPECT_EQ(proc->CreateFormat(&f), VK_OK);
        f->SetInt(VK_SOUND_FORMAT, format);
        f->SetInt(VK_SOUND_CHANNELS, channels);
        f->SetInt(VK_SOUND_LENGTH, length);
        f->SetInt(VK_SOUND_FREQUENCY, frequency);
        IVkSoundBuffer* b = nullptr;
        EXPECT_EQ(f->CreateBuffer(&b), VK_OK);
        f->Release();
        return b;
    }
    // 16-bit samples in and out of a buffer.
    static void Fill16(IVkSoundBuffer* b, const std::vector<int16_t>& v) {
        void* p = nullptr;
        b->Lock(VK_LOCK_WRITE, &p);
        std::memcpy(p, v.data(), v.size() * 2);
        b->Unlock();
    }
    static std::vector<int16_t> Samples16(IVkSoundBuffer* b) {
        std::vector<int16_t> v(static_cast<size_t>(b->GetLength()) * b->GetChannels());
        void* p = nullptr;
        b->Lock(VK_LOCK_READ, &p);
        std::memcpy(v.data(), p, v.size() * 2);
        b->Unlock();
        return v;
    }
    static uint32_t Frequency(IVkSoundBuffer* b) {
        uint32_t f = 0;
        b->GetInt(VK_SOUND_FREQUENCY, &f);
        return f;
    }

    IVkSoundProc* proc = nullptr;
    IVkSoundRW* rw = nullptr;
};
