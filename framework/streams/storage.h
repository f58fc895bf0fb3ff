// The storage interface: opens named files as streams.
#pragma once

#include "framework/streams/stream.h"

inline constexpr VkGuid IID_IVkStorage = {
    0x37BB45B5, 0x7FA8, 0x11D1, {0x9B, 0x80, 0x00, 0xA0, 0xC9, 0x33, 0xBD, 0xC4}};
inline constexpr VkGuid CLSID_VkFileStorage = {
    0x37BB45B2, 0x7FA8, 0x11D1, {0x9B, 0x80, 0x00, 0xA0, 0xC9, 0x33, 0xBD, 0xC4}};

// Stream access and translation of OpenStream.
constexpr uint32_t VK_ACCESS_READ = 1;
constexpr uint32_t VK_ACCESS_WRITE = 2;
constexpr uint32_t VK_ACCESS_APPEND = 3;
constexpr uint32_t VK_TRANSLATE_NONE = 1;
constexpr uint32_t VK_TRANSLATE_TEXT = 2;

class IVkStorage : public IVkUnknown {
public:
    // The location is pointer-wide: an archive storage takes the address of its
    // VkArchiveLocation there; the file storage ignores it.
    virtual VkResult Open(const char* root, uintptr_t location, uint32_t mode) = 0;
    virtual VkResult Close() = 0;
    virtual VkResult OpenStream(const char* name, uint32_t access, uint32_t translation,
                                IVkStream** out) = 0;

protected:
    ~IVkStorage() = default;
};
