// Loads the input as a property file, walks every section and key, and checks that the saved
// text loads back to the same saved text.
#include "framework/core/framework.h"
#include "framework/misc/propfile.h"
#include "framework/streams/stream.h"
#include "fuzz/framework_start.h"

#include <cstdint>
#include <string>

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

template <class T> T* Make(const VkGuid& clsid, const VkGuid& iid) {
    void* out = nullptr;
    Check(VkCreateInstance(clsid, nullptr, 0, iid, &out) == VK_OK);
    return static_cast<T*>(out);
}

std::string Save(IVkPropertySet* set) {
    IVkStream* fifo = Make<IVkStream>(CLSID_VkFifoStream, IID_IVkStream);
    Check(set->Save(fifo) == VK_OK);
    std::string text(1 << 20, '\0');
    uint32_t got = 0;
    fifo->Read(text.data(), static_cast<uint32_t>(text.size()), &got);
    fifo->Release();
    return text.substr(0, got);
}

VkResult Load(IVkPropertySet* set, const void* data, size_t size) {
    IVkStream* memory = Make<IVkStream>(CLSID_VkMemoryStream, IID_IVkStream);
    memory->Write(data, static_cast<uint32_t>(size), nullptr);
    memory->Seek(0, VK_SEEK_SET, nullptr);
    VkResult res = set->Load(memory);
    memory->Release();
    return res;
}

size_t LongestLine(const std::string& text) {
    size_t longest = 0, start = 0;
    for (size_t i = 0; i <= text.size(); ++i) {
        if (i == text.size() || text[i] == '\n') {
            if (i - start > longest) longest = i - start;
            start = i + 1;
        }
    }
    return longest;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzStartFramework();
    IVkPropertySet* set = Make<IVkPropertySet>(CLSID_VkPropertySet, IID_IVkPropertySet);
    Load(set, data, size);

    Check(set->MoveSection(VK_PROP_FIRST) == VK_OK);
    do {
        char name[VK_PROP_NAME_SIZE];
        Check(set->GetSectionName(name) == VK_OK);
        Check(set->MoveKey(name, nullptr, VK_PROP_FIRST) == VK_OK);
        uint32_t length = 0;
        do {
            char value[16];
            VkResult res = set->GetValue(nullptr, value, sizeof value);
            Check((res == VK_OK) == (set->GetValueLength(nullptr) <= sizeof value));
        } while (set->MoveKey(name, &length, VK_PROP_NEXT) == VK_OK);
    } while (set->MoveSection(VK_PROP_NEXT) == VK_OK);

    std::string saved = Save(set);
    if (LongestLine(saved) < 512) {
        set->Reset();
        Check(Load(set, saved.data(), saved.size()) == VK_OK);
        Check(Save(set) == saved);
    }
    set->Release();
    return 0;
}
