#include "framework/streams/stdinput.h"

#include "framework/core/memory.h"
#include "framework/core/modules.h"

const VkGuid CLSID_VkStandardInput = {
    0x8D40AC98, 0x1643, 0x11D2, {0x9B, 0xAF, 0x00, 0xA0, 0xC9, 0x33, 0xBD, 0xC4}};

namespace {

class StandardInput;
StandardInput* g_instance = nullptr;

// Equal indices mean empty, so the ring holds at most 255 bytes.
class StandardInput final : public VkObject<IVkStream, IID_IVkStream> {
public:
    StandardInput() { count_ = 0; } // every create adds a reference, the first one too

    VkResult Read(void* buffer, uint32_t n, uint32_t* got) override {
        uint8_t* to = static_cast<uint8_t*>(buffer);
        uint32_t taken = 0;
        VkResult res = VK_OK;
        for (; taken < n; ++taken) {
            if (read_ == write_) {
                res = VK_E_FAIL;
                break;
            }
            to[taken] = ring_[read_];
            read_ = static_cast<uint8_t>(read_ + 1);
        }
        if (got) *got = taken;
        return res;
    }

    VkResult Write(const void* buffer, uint32_t n, uint32_t* written) override {
        const uint8_t* from = static_cast<const uint8_t*>(buffer);
        uint32_t stored = 0;
        VkResult res = VK_OK;
        for (; stored < n; ++stored) {
            uint8_t next = static_cast<uint8_t>(write_ + 1);
            if (next == read_) {
                res = VK_E_FAIL; // full: the rest is dropped
                break;
            }
            ring_[write_] = from[stored];
            write_ = next;
        }
        if (written) *written = stored;
        return res;
    }

    VkResult Seek(int32_t, uint32_t, uint32_t*) override { return VK_E_FAIL; }

private:
    void Destroy() override {
        g_instance = nullptr;
        VkMemDestroyObject(this);
    }

    uint8_t ring_[256] = {};
    uint8_t write_ = 0; // both indices wrap at 256
    uint8_t read_ = 0;
};

const VkComponentRecord kStdInputRecords[] = {
    {&CLSID_VkStandardInput, 0, nullptr, 0, nullptr, VkCreateStandardInput, "StandardInput - Vesk",
     "Vesk.StandardInput.5.1", "Vesk.StandardInput", nullptr},
};

} // namespace

VkResult VkCreateStandardInput(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    if (!g_instance) {
        VkResult res = VkMemCreateObject(&g_instance);
        if (res < 0) return res;
    }
    g_instance->AddRef();
    *out = g_instance;
    return VK_OK;
}

VkResult VkStdInputModuleRegister(IVkRegistry* registry) {
    return VkModule<kStdInputRecords>::Register(registry);
}
