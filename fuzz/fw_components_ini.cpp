// Reads the input as a component index from a local file and walks every entry it makes, so
// section names, URLs joined against the index's folder and numeric keys are all exercised.
#include "framework/core/framework.h"
#include "framework/downloader/downloader.h"

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {

std::string folder;

void Start() {
    if (!folder.empty()) return;
    VkInitialise(nullptr);
    IVkRegistry* registry = nullptr;
    VkGetRegistries(nullptr, &registry);
    VkRegisterStandardComponents(registry);
    char pattern[] = "/tmp/fwdlXXXXXX";
    if (!mkdtemp(pattern)) std::abort();
    folder = pattern;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Start();
    const std::string index = folder + "/components.ini";
    FILE* file = std::fopen(index.c_str(), "wb");
    if (!file) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);
    // A fresh object each run, so its last release frees every entry the input made.
    void* out = nullptr;
    if (VkCreateInstance(CLSID_VkDownloader, nullptr, 0, IID_IVkDownloader, &out) < 0) std::abort();
    IVkDownloader* downloader = static_cast<IVkDownloader*>(out);
    if (downloader->ReadIndex(("file://" + folder + "/").c_str()) >= 0) {
        char text[64];
        for (uint32_t i = 0; i < 4096; ++i) {
            VkResult name = downloader->GetEntryText(i, VK_DOWNLOAD_NAME, text, sizeof text);
            if (name == VK_E_ENDOFLIST) break;
            downloader->GetEntryText(i, VK_DOWNLOAD_URL, text, sizeof text);
        }
    }
    downloader->Release();
    return 0;
}
