#include "framework/storage/file.h"

#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "platform/crt/crt.h"

#include <cstdio>
#include <cstring>

const VkGuid IID_IVkUrlResource = {
    0x8B8E1546, 0x7E25, 0x11D2, {0xB8, 0x63, 0x00, 0xA0, 0xC9, 0x33, 0xBE, 0x34}};
const VkGuid CLSID_VkFile = {
    0x9C2BC043, 0xAAE3, 0x11D2, {0x8C, 0x3D, 0x00, 0xA0, 0xC9, 0x33, 0xBE, 0x34}};

namespace {

constexpr size_t kHostSize = 128;
constexpr size_t kPathSize = 1026; // 1023 characters, two added slashes and the terminator
constexpr size_t kNameSize = 1026;
constexpr size_t kMaxPathText = 1023;

class File final : public VkObjectOf<VkFace<IVkUrlResource, IID_IVkUrlResource>,
                                     VkFace<IVkStream, IID_IVkStream>> {
public:
    VkResult SetProperty(uint32_t property, const char* text) override {
        CloseFile();
        if (!text) return VK_E_FAIL;
        size_t length = std::strlen(text);
        switch (property) {
        case VK_URL_HOST:
            if (length >= kHostSize) return VK_E_FAIL;
            std::memcpy(host_, text, length + 1);
            return VK_OK;
        case VK_URL_PATH: {
            if (length > kMaxPathText) return VK_E_FAIL;
            size_t at = 0;
            if (text[0] != '/') path_[at++] = '/';
            std::memcpy(path_ + at, text, length);
            at += length;
            if (path_[at - 1] != '/') path_[at++] = '/';
            path_[at] = '\0';
            return VK_OK;
        }
        case VK_URL_NAME:
            if (length > kMaxPathText) return VK_E_FAIL;
            std::memcpy(name_, text, length + 1);
            return VK_OK;
        default: return VK_E_FAIL;
        }
    }

    VkResult GetProperty(uint32_t property, char* buffer, uint32_t size) override {
        const char* text = property == VK_URL_HOST   ? host_
                           : property == VK_URL_PATH ? path_
                           : property == VK_URL_NAME ? name_
                                                     : nullptr;
        if (!text || !buffer) return VK_E_FAIL;
        size_t length = std::strlen(text);
        if (size <= length) return VK_E_FAIL;
        std::memcpy(buffer, text, length + 1);
        return VK_OK;
    }

    // A short read closes the file, so the next Read starts again from the beginning.
    VkResult Read(void* buffer, uint32_t n, uint32_t* got) override {
        if (!file_) {
            char full[2 + kHostSize + kPathSize + kNameSize];
            std::snprintf(full, sizeof full, "%s%s%s%s", host_[0] ? "//" : "", host_, path_, name_);
            file_ = PlatformOpenFile(full, "rb");
            if (!file_) return VK_E_FAIL;
        }
        size_t done = n ? std::fread(buffer, 1, n, file_) : 0;
        if (got) *got = static_cast<uint32_t>(done);
        if (done == n) return VK_OK;
        bool atEnd = std::feof(file_) && !std::ferror(file_);
        CloseFile();
        return atEnd ? VK_E_ENDOFFILE : VK_E_FAIL;
    }
    VkResult Write(const void*, uint32_t, uint32_t*) override { return VK_E_FAIL; }
    VkResult Seek(int32_t, uint32_t, uint32_t*) override { return VK_E_FAIL; }

private:
    void CloseFile() {
        if (file_) std::fclose(file_);
        file_ = nullptr;
    }
    void Destroy() override {
        CloseFile();
        VkMemDestroyObject(this);
    }

    char host_[kHostSize] = {};
    char path_[kPathSize] = {};
    char name_[kNameSize] = {};
    FILE* file_ = nullptr;
};

const VkComponentRecord kFileRecords[] = {
    {&CLSID_VkFile, 0, nullptr, 0, nullptr, VkCreateFile, "Vesk - File", "Vesk.File.5.1",
     "Vesk.File", nullptr},
};

} // namespace

VkResult VkCreateFile(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    File* file = nullptr;
    VkResult res = VkMemCreateObject(&file);
    if (res < 0) return res;
    *out = static_cast<IVkUrlResource*>(file);
    return VK_OK;
}

VkResult VkFileModuleRegister(IVkRegistry* registry) {
    return VkModule<kFileRecords>::Register(registry);
}
