// Reads the input as a WAV file through each entry of the reader: header information, a full
// read into a buffer, and the data stream. Whatever the chunk sizes, nothing may read or write
// out of bounds, and a buffer that is made must hold what the header promised.
#include "framework/core/framework.h"
#include "framework/sound/soundproc.h"
#include "framework/sound/soundrw.h"
#include "framework/streams/stream.h"
#include "fuzz/framework_start.h"

#include <cstdint>

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

template <class T> T* Make(const VkGuid& clsid, const VkGuid& iid) {
    void* out = nullptr;
    Check(VkCreateInstance(clsid, nullptr, 0, iid, &out) == VK_OK);
    return static_cast<T*>(out);
}

IVkStream* StreamOf(const uint8_t* data, size_t size) {
    IVkStream* s = Make<IVkStream>(CLSID_VkMemoryStream, IID_IVkStream);
    s->Write(data, static_cast<uint32_t>(size), nullptr);
    s->Seek(0, VK_SEEK_SET, nullptr);
    return s;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzStartMediaFramework();
    IVkSoundRW* rw = Make<IVkSoundRW>(CLSID_VkSoundRWWav, IID_IVkSoundRW);
    IVkSoundProc* proc = Make<IVkSoundProc>(CLSID_VkSoundProc, IID_IVkSoundProc);

    IVkStream* s = StreamOf(data, size);
    uint32_t length = 0, format = 0, channels = 0, frequency = 0;
    bool info = rw->GetInfo(s, &length, &format, &channels, &frequency) == VK_OK;

    s->Seek(0, VK_SEEK_SET, nullptr);
    IVkSoundFormat* fmt = nullptr;
    Check(proc->CreateFormat(&fmt) == VK_OK);
    IVkSoundBuffer* buffer = nullptr;
    if (rw->Read(s, fmt, &buffer) == VK_OK) {
        Check(info && buffer->GetChannels() == channels && buffer->GetFormat() == format);
        // Touch every byte the buffer says it has.
        void* p = nullptr;
        buffer->Lock(VK_LOCK_READ, &p);
        uint64_t bytes = static_cast<uint64_t>(buffer->GetLength()) * buffer->GetChannels() *
                         VkSoundBits(buffer->GetFormat()) / 8;
        volatile uint8_t sum = 0;
        for (uint64_t i = 0; i < bytes; ++i)
            sum = sum + static_cast<uint8_t*>(p)[i];
        buffer->Unlock();
        // And write it back out.
        IVkStream* out = Make<IVkStream>(CLSID_VkMemoryStream, IID_IVkStream);
        Check(rw->Write(out, buffer) == VK_OK);
        out->Release();
        buffer->Release();
    } else {
        Check(buffer == nullptr);
    }
    fmt->Release();

    s->Seek(0, VK_SEEK_SET, nullptr);
    IVkStream* reader = nullptr;
    if (rw->OpenStreamReader(s, &reader) == VK_OK) {
        uint8_t chunk[64];
        uint32_t at = 1;
        Check(reader->Seek(0, VK_SEEK_SET, &at) == VK_OK && at == 0);
        reader->Read(chunk, sizeof chunk, nullptr);
        reader->Release();
    }
    s->Release();
    proc->Release();
    rw->Release();
    return 0;
}
