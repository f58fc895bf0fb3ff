// Reads the input as an HTTP response: the header through the header reader over a waiting
// stream, then the body until the stream ends. Checks the held-back byte, the expected length
// and that the body never yields more bytes than the input holds.
#include "framework/core/framework.h"
#include "framework/net/http.h"
#include "fuzz/framework_start.h"

#include <cstdint>

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzStartFramework();
    if (size > (1u << 20)) return 0;
    void* out = nullptr;
    Check(VkCreateInstance(CLSID_VkMemoryStream, nullptr, 0, IID_IVkStream, &out) == VK_OK);
    IVkStream* memory = static_cast<IVkStream*>(out);
    memory->Write(data, static_cast<uint32_t>(size), nullptr);
    memory->Seek(0, VK_SEEK_SET, nullptr);
    Check(VkCreateInstance(CLSID_VkSyncStream, nullptr, 0, IID_IVkSyncStream, &out) == VK_OK);
    IVkSyncStream* sync = static_cast<IVkSyncStream*>(out);
    sync->SetOption(VK_SYNC_STREAM, reinterpret_cast<uintptr_t>(memory));
    memory->Release();
    Check(sync->QueryInterface(IID_IVkStream, &out) == VK_OK);
    IVkStream* stream = static_cast<IVkStream*>(out);

    int32_t held = 1000;
    VkResult res = VkHttpReadHeader(stream, sync, &held);
    Check(held >= -1 && held <= 255);
    if (res >= 0) {
        uintptr_t value = 0;
        if (sync->GetOption(VK_SYNC_EXPECTED_LENGTH, &value) == VK_OK)
            Check(value <= static_cast<uint32_t>(INT32_MAX));
        Check(sync->GetOption(VK_SYNC_BYTES_READ, &value) == VK_OK && value == 0);
        uint8_t buffer[256];
        size_t body = 0;
        for (;;) {
            uint32_t got = 0;
            VkResult r = stream->Read(buffer, sizeof buffer, &got);
            Check(got <= sizeof buffer);
            body += got;
            if (r < 0) break;
        }
        Check(body <= size);
    } else {
        Check(held == -1);
    }
    stream->Release();
    sync->Release();
    return 0;
}
