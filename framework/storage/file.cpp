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

VkResult VkUrlParts::Set(uint32_t property, const char* text) {
    if (!text) return VK_E_FAIL;
    size_t length = std::strlen(text);
    switch (property) {
    case VK_URL_HOST:
        if (length >= kHostSize) return VK_E_FAIL;
        std::memcpy(host, text, length + 1);
        return VK_OK;
    case VK_URL_PATH: {
        if (length > kMaxText) return VK_E_FAIL;
        size_t at = 0;
        if (text[0] != '/') path[at++] = '/';
        std::memcpy(path + at, text, length);
        at += length;
        if (path[at - 1] != '/') path[at++] = '/';
        path[at] = '\0';
        return VK_OK;
    }
    case VK_URL_NAME:
        if (length > kMaxText) return VK_E_FAIL;
        std::memcpy(name, text, length + 1);
        return VK_OK;
    default: return VK_E_FAIL;
    }
}

VkResult VkUrlParts::Get(uint32_t property, char* buffer, uint32_t size) const {
    const char* text = property == VK_URL_HOST   ? host
                       : property == VK_URL_PATH ? path
                       : property == VK_URL_NAME ? name
                                                 : nullptr;
    if (!text || !buffer) return VK_E_FAIL;
    size_t length = std::strlen(text);
    if (size <= length) return VK_E_FAIL;
    std::memcpy(buffer, text, length + 1);
    return VK_OK;
}

namespace {


class File final : public VkObjectOf<VkFace<IVkUrlResource, IID_IVkUrlResource>,
                                     VkFace<IVkStream, IID_IVkStream>> {
public:
    VkResult SetProperty(uint32_t property, const char* text) override {
        CloseFile();
        return parts_.Set(property, text);
    }

    VkResult GetProperty(uint32_t property, char* buffer, uint32_t size) override {
        return parts_.Get(property, buffer, size);
    }

    // A short read closes the file, so the next Read starts again from the beginning.
    VkResult Read(void* buffer, uint32_t n, uint32_t* got) override {
        if (!file_) {
            char full[2 + sizeof parts_.host + sizeof parts_.path + sizeof parts_.name];
            std::snprintf(full, sizeof full, "%s%s%s%s", parts_.host[0] ? "//" : "", parts_.host,
                          parts_.path, parts_.name);
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

    VkUrlParts parts_;
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
