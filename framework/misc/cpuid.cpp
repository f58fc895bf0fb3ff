#include "framework/misc/cpuid.h"

#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "platform/crt/cpuid.h"

#include <cstring>

const VkGuid CLSID_VkCpuId = {
    0xE9F11940, 0x1A55, 0x11D2, {0x9E, 0x95, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};
const VkGuid IID_IVkCpuId = {
    0x0B5272A0, 0x110F, 0x11D2, {0x9E, 0x95, 0x44, 0x45, 0x53, 0x54, 0x00, 0x00}};

namespace {

constexpr uint32_t kOverDrive = 1;
constexpr uint32_t kNameSize = 64;

const char* IntelName(uint32_t family, uint32_t model, uint32_t type) {
    bool overdrive = type == kOverDrive;
    switch (family) {
    case 4:
        switch (model) {
        case 0:
        case 1: return "Intel486 DX";
        case 2: return "Intel486 SX";
        case 3: return "Intel 487/ 486 DX2/ DX2 Overdrive";
        case 4: return "Intel486 SL";
        case 5: return "Intel486 SX2";
        case 7: return "Write-Back Enhanced Intel486 DX2";
        case 8: return overdrive ? "Intel DX4 Overdrive" : "Intel DX4";
        default: return "Unknown Intel 486";
        }
    case 5:
        switch (model) {
        case 1: return overdrive ? "Pentium OverDrive (60/66)" : "Pentium (60/66)";
        case 2: return overdrive ? "Pentium OverDrive" : "Pentium";
        case 3: return "Pentium OverDrive for Intel486-based systems";
        case 4: return "Pentium OverDrive with MMX technology";
        default: return "Unknown Pentium";
        }
    case 6:
        switch (model) {
        case 1: return "Pentium Pro";
        case 3: return overdrive ? "Pentium Pro OverDrive" : "Pentium II (Model 3)";
        case 5: return "Pentium II (Model 5)";
        default: return nullptr;
        }
    default: return nullptr;
    }
}

// Copies a text; a buffer too small for all of it gets its start and the result 1.
VkResult CopyOut(const char* text, char* buffer, uint32_t size, bool fits) {
    if (!buffer) return VK_E_NULLBUFFER;
    if (fits) {
        std::strcpy(buffer, text);
        return VK_OK;
    }
    if (size > 0) VkCopyText(buffer, size, text);
    return 1;
}

class CpuId final : public VkObject<IVkCpuId, IID_IVkCpuId> {
public:
    VkResult Identify() override {
        vendor_[0] = name_[0] = 0;
        family_ = model_ = stepping_ = type_ = features_ = 0;
        uint32_t r[4];
        if (!PlatformCpuid(0, r)) return VK_E_FAIL;
        uint32_t highest = r[0];
        std::memcpy(vendor_, &r[1], 4);
        std::memcpy(vendor_ + 4, &r[3], 4);
        std::memcpy(vendor_ + 8, &r[2], 4);
        vendor_[12] = 0;
        if (highest >= 1) {
            PlatformCpuid(1, r);
            stepping_ = r[0] & 0xF;
            model_ = (r[0] >> 4) & 0xF;
            family_ = (r[0] >> 8) & 0xF;
            type_ = (r[0] >> 12) & 0x3;
            features_ = r[3];
        }
        char brand[49] = {};
        PlatformCpuid(0x80000000u, r);
        if (r[0] >= 0x80000004u && r[0] < 0x8000FFFFu) {
            for (uint32_t i = 0; i < 3; ++i) {
                PlatformCpuid(0x80000002u + i, r);
                std::memcpy(brand + 16 * i, r, 16);
            }
        }
        const char* text = brand;
        while (*text == ' ')
            ++text;
        // Intel processors are named by family and model; others, and Intel models the
        // table does not know, by the processor's own brand text.
        if (std::strcmp(vendor_, "GenuineIntel") == 0 && highest >= 1) {
            const char* known = IntelName(family_, model_, type_);
            if (known)
                text = known;
            else if (!*text)
                text = "Unkown Intel CPU";
        }
        VkCopyText(name_, sizeof name_, text);
        return VK_OK;
    }

    uint32_t GetFamily() override { return family_; }
    uint32_t GetModel() override { return model_; }
    uint32_t GetStepping() override { return stepping_; }
    uint32_t GetType() override { return type_; }
    uint32_t GetFeatures() override { return features_; }

    VkResult GetVendor(char* buffer, uint32_t size) override {
        return CopyOut(vendor_, buffer, size, size >= sizeof vendor_);
    }
    VkResult GetName(char* buffer, uint32_t size) override {
        return CopyOut(name_, buffer, size, size > std::strlen(name_));
    }

private:
    void Destroy() override;

    char vendor_[13] = {};
    char name_[kNameSize] = {};
    uint32_t family_ = 0, model_ = 0, stepping_ = 0, type_ = 0, features_ = 0;
};

CpuId* g_cpuId = nullptr;

void CpuId::Destroy() {
    g_cpuId = nullptr;
    VkMemDestroyObject(this);
}

const VkComponentRecord kCpuIdRecords[] = {
    {&CLSID_VkCpuId, 0, nullptr, 0, nullptr, VkCreateCpuId, "CPU Identification - Vesk",
     "Vesk.CPUID.5.1", "Vesk.CPUID", nullptr},
};

} // namespace

VkResult VkCreateCpuId(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    if (g_cpuId) {
        g_cpuId->AddRef();
    } else {
        VkResult res = VkMemCreateObject(&g_cpuId);
        if (res < 0) return res;
    }
    *out = g_cpuId;
    return VK_OK;
}

VkResult VkCpuIdModuleRegister(IVkRegistry* registry) {
    return VkModule<kCpuIdRecords>::Register(registry);
}
