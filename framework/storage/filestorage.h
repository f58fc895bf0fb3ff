// The File Storage component: local files opened as streams by name, access and translation,
// and a few file-system operations (temporary name, delete, rename, make a folder).
#pragma once

#include "framework/streams/storage.h"

// A name that does not fit the caller's buffer.
constexpr VkResult VK_E_BUFFERTOOSMALL = static_cast<VkResult>(0x80030386u);
// Open on an open storage, and Close on a closed one.
constexpr VkResult VK_E_ALREADYOPEN = static_cast<VkResult>(0x80010001u);
constexpr VkResult VK_E_NOTOPEN = static_cast<VkResult>(0x80010002u);

extern const VkGuid IID_IVkFileSystem;

class IVkFileSystem : public IVkUnknown {
public:
    // The name's length must be below the size.
    virtual VkResult GetTempName(char* buffer, uint32_t size) = 0;
    virtual VkResult DeleteFile(const char* name) = 0;
    virtual VkResult RenameFile(const char* oldName, const char* newName) = 0;
    virtual VkResult CreateDirectory(const char* path) = 0;

protected:
    ~IVkFileSystem() = default;
};

VkResult VkCreateFileStorage(IVkUnknown* outer, IVkUnknown** out);
