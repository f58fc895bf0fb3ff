// The File component: a local file addressed like a URL (host, directory path, file name)
// and read as a byte stream. The first Read opens the file.
#pragma once

#include "framework/streams/stream.h"

// A read that reached the end of the file.
constexpr VkResult VK_E_ENDOFFILE = static_cast<VkResult>(0x80040322u);

// Properties of a URL resource.
constexpr uint32_t VK_URL_HOST = 1;
constexpr uint32_t VK_URL_PATH = 2;
constexpr uint32_t VK_URL_NAME = 3;

extern const VkGuid IID_IVkUrlResource;
extern const VkGuid CLSID_VkFile;

// The addressing interface shared by the File and HTTP components.
class IVkUrlResource : public IVkUnknown {
public:
    virtual VkResult SetProperty(uint32_t property, const char* text) = 0;
    // The buffer must be larger than the text's length.
    virtual VkResult GetProperty(uint32_t property, char* buffer, uint32_t size) = 0;

protected:
    ~IVkUrlResource() = default;
};

VkResult VkCreateFile(IVkUnknown* outer, IVkUnknown** out);
