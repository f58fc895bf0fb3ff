// The processor's identity: vendor text, a descriptive name and the numbers of its standard
// identification leaf. One object serves the whole process.
#pragma once

#include "framework/core/com.h"

#include <cstdint>

extern const VkGuid CLSID_VkCpuId;
extern const VkGuid IID_IVkCpuId;

// A text was asked for into a null buffer.
constexpr VkResult VK_E_NULLBUFFER = static_cast<VkResult>(0x80020002u);

class IVkCpuId : public IVkUnknown {
public:
    // Reads the processor's identity; fails, leaving the texts empty, without the instruction.
    virtual VkResult Identify() = 0;
    virtual uint32_t GetFamily() = 0;
    virtual uint32_t GetModel() = 0;
    virtual uint32_t GetStepping() = 0;
    // 1 for an OverDrive processor.
    virtual uint32_t GetType() = 0;
    // The feature flags of the standard leaf (bit 0 floating-point unit, bit 23 MMX).
    virtual uint32_t GetFeatures() = 0;
    // A buffer too small for the whole text gets its start, terminated, and the result 1.
    virtual VkResult GetVendor(char* buffer, uint32_t size) = 0;
    virtual VkResult GetName(char* buffer, uint32_t size) = 0;

protected:
    ~IVkCpuId() = default;
};

VkResult VkCreateCpuId(IVkUnknown* outer, IVkUnknown** out);
