// Plays the input as a WAV file through the streamed sound player into a ring of memory: the
// first refill, refills of either half as the play position moves, wrapping at the file's end
// with and without looping, rewinds and seeks. Nothing may read or write outside the ring.
#include "framework/core/framework.h"
#include "framework/sound/dxsound.h"
#include "framework/sound/streamplayer.h"
#include "framework/streams/storage.h"
#include "framework/streams/stream.h"
#include "fuzz/framework_start.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

const uint8_t* g_data = nullptr;
size_t g_size = 0;

class InputStorage final : public IVkStorage {
public:
    VkResult QueryInterface(const VkGuid&, void** out) override {
        *out = nullptr;
        return VK_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    VkResult Open(const char*, uintptr_t, uint32_t) override { return VK_OK; }
    VkResult Close() override { return VK_OK; }
    VkResult OpenStream(const char*, uint32_t, uint32_t, IVkStream** out) override {
        void* made = nullptr;
        VkCreateInstance(CLSID_VkMemoryStream, nullptr, 0, IID_IVkStream, &made);
        IVkStream* s = static_cast<IVkStream*>(made);
        s->Write(g_data, static_cast<uint32_t>(g_size), nullptr);
        s->Seek(0, VK_SEEK_SET, nullptr);
        *out = s;
        return VK_OK;
    }
};

struct Ring;

struct RingVoice final : IVkSoundVoice {
    explicit RingVoice(Ring* ring) : ring(ring) {}
    VkResult QueryInterface(const VkGuid&, void** out) override {
        *out = nullptr;
        return VK_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++count; }
    uint32_t Release() override;
    IVkSoundBuffer* GetOwner() override;
    VkResult Play() override { return VK_OK; }
    VkResult Stop() override { return VK_OK; }
    VkResult Pause() override { return VK_OK; }
    VkResult Rewind() override { return VK_OK; }
    VkResult SetFrame(const float*, const float*) override { return VK_OK; }
    VkResult GetFrame(float*, float*) override { return VK_OK; }
    VkResult SetInt(uint32_t, uintptr_t) override { return VK_OK; }
    VkResult GetInt(uint32_t id, uint32_t* value) override {
        *value = id == VK_SOUND_PLAYING ? 1 : 0;
        return VK_OK;
    }
    VkResult SetFloat(uint32_t, float) override { return VK_OK; }
    VkResult GetFloat(uint32_t, float*) override { return VK_OK; }
    VkResult SetPlayPosition(uint32_t) override { return VK_OK; }
    VkResult GetPlayPosition(uint32_t* play, uint32_t*) override {
        *play = position;
        return VK_OK;
    }
    Ring* ring;
    uint32_t count = 1, position = 0;
};

struct Ring final : IVkSoundBuffer {
    Ring(uint32_t length, uint32_t format, uint32_t channels)
        : length(length), format(format), channels(channels),
          data(size_t(length) * channels * ((format >> 8) & 0x1F) / 8) {}
    VkResult QueryInterface(const VkGuid&, void** out) override {
        *out = nullptr;
        return VK_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++count; }
    uint32_t Release() override {
        if (--count) return count;
        delete this;
        return 0;
    }
    uint32_t GetLength() override { return length; }
    uint32_t GetFormat() override { return format; }
    uint32_t GetChannels() override { return channels; }
    VkResult Lock(uint32_t, void**) override { return VK_E_FAIL; }
    VkResult Unlock() override { return VK_OK; }
    VkResult LockRange(uint32_t, uint32_t start, uint32_t n, void** first, uint32_t* firstCount,
                       void**, uint32_t*) override {
        if (start >= length || n > length - start) __builtin_trap();
        *first = data.data() + size_t(start) * channels * ((format >> 8) & 0x1F) / 8;
        *firstCount = n;
        return VK_OK;
    }
    VkResult SetInt(uint32_t, uint32_t) override { return VK_OK; }
    VkResult GetInt(uint32_t id, uint32_t* value) override {
        *value = id == VK_SOUND_LENGTH ? length : 0;
        return VK_OK;
    }
    VkResult SetFloat(uint32_t, float) override { return VK_OK; }
    VkResult GetFloat(uint32_t, float*) override { return VK_OK; }
    VkResult CreateVoice(IVkSoundVoice** out) override {
        voice = new RingVoice(this);
        AddRef();
        *out = voice;
        return VK_OK;
    }
    uint32_t length, format, channels, count = 1;
    std::vector<uint8_t> data;
    RingVoice* voice = nullptr;
};

uint32_t RingVoice::Release() {
    if (--count) return count;
    Ring* r = ring;
    delete this;
    r->Release();
    return 0;
}

IVkSoundBuffer* RingVoice::GetOwner() {
    return ring;
}

struct RingFormat final : IVkSoundFormat {
    VkResult QueryInterface(const VkGuid&, void** out) override {
        *out = nullptr;
        return VK_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    VkResult Validate() override { return VK_OK; }
    VkResult CreateBuffer(IVkSoundBuffer** out) override {
        uint32_t bits = (format >> 8) & 0x1F;
        if ((bits != 8 && bits != 16) || channels == 0 || channels > 8) return VK_E_FAIL;
        last = new Ring(256, format, channels);
        *out = last;
        return VK_OK;
    }
    VkResult SetInt(uint32_t id, uint32_t value) override {
        if (id == VK_SOUND_FORMAT) format = value;
        if (id == VK_SOUND_CHANNELS) channels = value;
        return VK_OK;
    }
    VkResult GetInt(uint32_t, uint32_t*) override { return VK_OK; }
    VkResult SetFloat(uint32_t, float) override { return VK_OK; }
    VkResult GetFloat(uint32_t, float*) override { return VK_OK; }
    VkResult Reset() override { return VK_OK; }
    VkResult Clone(IVkSoundFormat**) override { return VK_E_FAIL; }
    uint32_t format = 0, channels = 0;
    Ring* last = nullptr;
};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    IVkRegistry* registry = FuzzStartFramework();
    static bool media = false;
    if (!media) {
        VkRegisterMediaComponents(registry);
        media = true;
    }
    g_data = data;
    g_size = size;
    void* made = nullptr;
    if (VkCreateInstance(CLSID_VkStreamedSoundPlayer, nullptr, 0, IID_IVkStreamedSoundPlayer,
                         &made) < 0)
        __builtin_trap();
    IVkStreamedSoundPlayer* player = static_cast<IVkStreamedSoundPlayer*>(made);
    RingFormat format;
    InputStorage storage;
    player->Initialise(&format);
    IVkSoundBuffer* stream = nullptr;
    if (player->CreateStream(&storage, "input.wav", &stream) == VK_OK) {
        IVkSoundVoice* voice = nullptr;
        if (stream->CreateVoice(&voice) == VK_OK) {
            voice->SetInt(VK_SOUND_LOOP, size > 0 && (data[size - 1] & 1));
            voice->Play();
            static const uint32_t positions[] = {100, 140, 200, 10, 130, 250, 5, 129};
            for (uint32_t p : positions) {
                format.last->voice->position = p;
                player->Update();
            }
            voice->SetPlayPosition(size & 0xFF);
            voice->Rewind();
            voice->Stop();
            voice->Release();
        }
        stream->Release();
    }
    player->Release();
    return 0;
}
