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

// The host, directory path and file name of a URL resource, as both components keep them.
struct VkUrlParts {
    static constexpr size_t kHostSize = 128;
    static constexpr size_t kMaxText = 1023;
    char host[kHostSize] = {};
    char path[kMaxText + 3] = {}; // the text, two added slashes and the terminator
    char name[kMaxText + 1] = {};
    // Sets one part; a path gets a leading and a trailing slash. Fails on a text too long.
    VkResult Set(uint32_t property, const char* text);
    // Copies one part; the buffer must be larger than the text's length.
    VkResult Get(uint32_t property, char* buffer, uint32_t size) const;
};

VkResult VkCreateFile(IVkUnknown* outer, IVkUnknown** out);
