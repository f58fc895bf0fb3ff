// Plays the input as a WAV file through the streamed sound player into a ring of memory: the
// first refill, refills of either half as the play position moves, wrapping at the file's end
// with and without looping, rewinds and seeks. Nothing may read or write outside the ring.
#include "framework/core/framework.h"
#include "framework/sound/dxsound.h"
#include "framework/sound/streamplayer.h"
#include "framework/streams/storage.h"
#include "framework/streams/stream.h"
#include "fuzz/framework_start.h"
#include "tests/support/fake_sound_ring.h"

#include <cstdint>

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

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzStartMediaFramework();
    g_data = data;
    g_size = size;
    void* made = nullptr;
    if (VkCreateInstance(CLSID_VkStreamedSoundPlayer, nullptr, 0, IID_IVkStreamedSoundPlayer,
                         &made) < 0)
        __builtin_trap();
    IVkStreamedSoundPlayer* player = static_cast<IVkStreamedSoundPlayer*>(made);
    FakeFormat format;
    format.length = 256;
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
            if (format.last->outside) __builtin_trap();
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
