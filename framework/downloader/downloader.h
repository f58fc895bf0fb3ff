// The Downloader component: reads a component index ("components.ini") from a base URL, keeps
// one entry per component listed there, and fetches a chosen entry (or every entry of a
// category file) into a file beside the program, registering it and recording its version.
#pragma once

#include "framework/core/com.h"

#include <cstdint>

extern const VkGuid CLSID_VkDownloader;
extern const VkGuid IID_IVkDownloader;

// A selector of GetEntryText other than a name or a URL.
constexpr VkResult VK_E_BADSELECTOR = static_cast<VkResult>(0x80030387u);
// The file storage's delete of a file that is in use.
constexpr VkResult VK_E_FILEINUSE = static_cast<VkResult>(0x8004032Bu);

// GetEntryText selectors (bits 4 to 7).
constexpr uint32_t VK_DOWNLOAD_NAME = 0x10;
constexpr uint32_t VK_DOWNLOAD_URL = 0x20;

// DownloadEntry filters (low four bits); any other value counts every entry.
constexpr uint32_t VK_DOWNLOAD_NOTINSTALLED = 1;
constexpr uint32_t VK_DOWNLOAD_NEWER = 2;
constexpr uint32_t VK_DOWNLOAD_CURRENT = 3;

class IVkDownloader : public IVkUnknown {
public:
    // A null base means the default component server.
    virtual VkResult ReadIndex(const char* base) = 0;
    // Index 0 is the entry read last (the front of the list).
    virtual VkResult GetEntryText(uint32_t index, uint32_t selector, char* buffer,
                                  uint32_t size) = 0;
    virtual VkResult DownloadEntry(uint32_t filter, uint32_t n) = 0;
    virtual VkResult DownloadClass(const VkGuid& clsid) = 0;
    virtual VkResult DownloadCategory(const VkGuid& category, const char* base) = 0;

protected:
    ~IVkDownloader() = default;
};

VkResult VkCreateDownloader(IVkUnknown* outer, IVkUnknown** out);
