// Opens the input as an archive file held in memory, reads the entries it names and rewrites
// the archive with one more entry, so every directory field and data range is exercised.
#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/storage/archivestorage.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

// A storage whose only file is the input; files opened for writing are discarded.
class InputStorage final : public VkObject<IVkStorage, IID_IVkStorage> {
public:
    const uint8_t* data = nullptr;
    size_t size = 0;

    VkResult Open(const char*, uintptr_t, uint32_t) override { return VK_OK; }
    VkResult Close() override { return VK_OK; }
    VkResult OpenStream(const char*, uint32_t access, uint32_t, IVkStream** out) override {
        *out = nullptr;
        IVkUnknown* object = nullptr;
        VkResult res = VkCreateMemoryStream(nullptr, &object);
        if (res < 0) return res;
        IVkStream* stream = static_cast<IVkStream*>(object);
        if (access == 1 && size) {
            stream->Write(data, static_cast<uint32_t>(size), nullptr);
            stream->Seek(0, 1, nullptr);
        }
        *out = stream;
        return VK_OK;
    }

private:
    void Destroy() override {}
};

void Start() {
    static bool started = false;
    if (started) return;
    started = true;
    VkInitialise(nullptr);
    IVkRegistry* registry = nullptr;
    VkGetRegistries(nullptr, &registry);
    VkRegisterStandardComponents(registry);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Start();
    InputStorage storage;
    storage.data = data;
    storage.size = size;
    IVkUnknown* object = nullptr;
    if (VkCreateArchiveStorage(nullptr, &object) < 0) return 0;
    IVkStorage* archive = static_cast<IVkStorage*>(object);
    VkArchiveLocation location = {&storage, size > 0 ? data[0] % 16u : 0u};
    if (archive->Open("in.arc", reinterpret_cast<uintptr_t>(&location), 0) >= 0) {
        // The first names of the directory, whatever they hold.
        std::vector<uint8_t> buffer(4096);
        for (size_t at = location.base + 8; at + 128 <= size && at < location.base + 8 + 4 * 132;
             at += 132) {
            char name[128];
            std::memcpy(name, data + at, sizeof name);
            name[127] = '\0';
            IVkStream* stream = nullptr;
            if (archive->OpenStream(name, 1, 1, &stream) < 0) continue;
            uint32_t got = 0;
            while (stream->Read(buffer.data(), 4096, &got) >= 0 && got == 4096) {
            }
            stream->Release();
        }
        IVkStream* writer = nullptr;
        if (archive->OpenStream("fuzz-new", 2, 1, &writer) >= 0) {
            writer->Write(data, static_cast<uint32_t>(size < 64 ? size : 64), nullptr);
            writer->Release();
        }
        archive->Close();
    }
    archive->Release();
    return 0;
}
