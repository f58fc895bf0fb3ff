// The URL component: one URL split into scheme, host, directory path and file name. It parses
// and joins URL texts (absolute, rooted and relative) and opens the URL as a stream through
// the File component ("file") or the HTTP component ("http").
#pragma once

#include "framework/streams/stream.h"

// A scheme other than "http" and "file".
constexpr VkResult VK_E_BADSCHEME = static_cast<VkResult>(0x80040136u);

// Properties.
constexpr uint32_t VK_URLTEXT_URL = 1;    // set: parse; get: the whole URL
constexpr uint32_t VK_URLTEXT_SCHEME = 2; // clears host, path and file name
constexpr uint32_t VK_URLTEXT_HOST = 3;   // clears path and file name
constexpr uint32_t VK_URLTEXT_PATH = 4;   // clears the file name
constexpr uint32_t VK_URLTEXT_NAME = 5;
constexpr uint32_t VK_URLTEXT_LOCATION = 6; // set: parse; get: path and file name

extern const VkGuid IID_IVkUrl;
extern const VkGuid CLSID_VkUrl;

class IVkUrl : public IVkUnknown {
public:
    virtual VkResult SetProperty(uint32_t property, const char* text) = 0;
    // The buffer must be larger than the text's length.
    virtual VkResult GetProperty(uint32_t property, char* buffer, uint32_t size) = 0;
    virtual VkResult OpenStream(IVkStream** out) = 0;

protected:
    ~IVkUrl() = default;
};

VkResult VkCreateUrl(IVkUnknown* outer, IVkUnknown** out);
