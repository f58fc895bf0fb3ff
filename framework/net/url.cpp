#include "framework/net/url.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "framework/net/http.h"
#include "framework/storage/file.h"

#include <cstdint>
#include <cstdio>
#include <cstring>

const VkGuid IID_IVkUrl = {
    0x5BD13FE3, 0xAB1B, 0x11D2, {0x8C, 0x3D, 0x00, 0xA0, 0xC9, 0x33, 0xBE, 0x34}};
const VkGuid CLSID_VkUrl = {
    0x5BD13FE4, 0xAB1B, 0x11D2, {0x8C, 0x3D, 0x00, 0xA0, 0xC9, 0x33, 0xBE, 0x34}};

namespace {

constexpr size_t kSchemeSize = 9;
constexpr size_t kHostSize = 128;
constexpr size_t kPathSize = 1026; // at most 1025 characters
constexpr size_t kNameSize = 1025;
constexpr size_t kMaxSetText = 1023; // paths and names set on their own

// The component server that a new URL points at.
constexpr char kDefaultHost[] = "components.example.org";

// The parts of a URL, each terminated within its buffer.
struct Parts {
    char scheme[kSchemeSize];
    char host[kHostSize];
    char path[kPathSize];
    char name[kNameSize];
};

// Copies length bytes of text into a buffer and terminates it; false when it does not fit.
bool Put(char* dest, size_t size, const char* text, size_t length) {
    if (length >= size) return false;
    std::memcpy(dest, text, length);
    dest[length] = '\0';
    return true;
}

// Parses a URL text into parts that start as a copy of the current ones; false leaves them
// meaningless and the caller keeps its own.
bool Parse(const char* text, Parts* parts) {
    const size_t length = std::strlen(text);
    size_t sep = SIZE_MAX; // the ':' of "://"
    size_t first = SIZE_MAX, last = SIZE_MAX;
    for (size_t i = 0; i < length; ++i) {
        if (text[i] == ':' && i + 2 < length && text[i + 1] == '/' && text[i + 2] == '/') {
            if (sep != SIZE_MAX) return false;
            sep = i;
            i += 2;
            continue;
        }
        if (text[i] == '/') {
            if (first == SIZE_MAX) first = i;
            last = i;
        }
    }
    if (first != SIZE_MAX && last - first + 1 >= kPathSize) return false;
    const char* name = first == SIZE_MAX ? text : text + last + 1;
    const size_t nameLength = length - static_cast<size_t>(name - text);
    if (nameLength > kMaxSetText) return false;

    if (sep == SIZE_MAX) {
        if (first == SIZE_MAX) return Put(parts->name, kNameSize, name, nameLength);
        if (first == 0) {
            Put(parts->path, kPathSize, text, last + 1);
        } else {
            size_t have = std::strlen(parts->path);
            if (have + last + 1 >= kPathSize) return false;
            std::memcpy(parts->path + have, text, last + 1);
            parts->path[have + last + 1] = '\0';
        }
        return Put(parts->name, kNameSize, name, nameLength);
    }
    // An absolute URL needs a slash after its host, and none before its "://".
    if (first == SIZE_MAX || first < sep) return false;
    const size_t hostStart = sep + 3;
    return Put(parts->scheme, kSchemeSize, text, sep) &&
           Put(parts->host, kHostSize, text + hostStart, first - hostStart) &&
           Put(parts->path, kPathSize, text + first, last - first + 1) &&
           Put(parts->name, kNameSize, name, nameLength);
}

class Url final : public VkObject<IVkUrl, IID_IVkUrl> {
public:
    Url() {
        std::strcpy(parts_.scheme, "http");
        std::strcpy(parts_.host, kDefaultHost);
        std::strcpy(parts_.path, "/Vesk5/");
        std::strcpy(parts_.name, "ponents.txt");
    }

    VkResult SetProperty(uint32_t property, const char* text) override {
        if (!text) return VK_E_FAIL;
        size_t length = std::strlen(text);
        Parts next = parts_;
        switch (property) {
        case VK_URLTEXT_URL:
        case VK_URLTEXT_LOCATION:
            if (!Parse(text, &next)) return VK_E_FAIL;
            break;
        case VK_URLTEXT_SCHEME:
            if (!Put(next.scheme, kSchemeSize, text, length)) return VK_E_FAIL;
            next.host[0] = next.path[0] = next.name[0] = '\0';
            break;
        case VK_URLTEXT_HOST:
            if (!Put(next.host, kHostSize, text, length)) return VK_E_FAIL;
            next.path[0] = next.name[0] = '\0';
            break;
        case VK_URLTEXT_PATH: {
            if (length > kMaxSetText) return VK_E_FAIL;
            int n = std::snprintf(next.path, kPathSize, "%s%s%s", text[0] == '/' ? "" : "/", text,
                                  length && text[length - 1] == '/' ? "" : "/");
            if (n < 0 || static_cast<size_t>(n) >= kPathSize) return VK_E_FAIL;
            next.name[0] = '\0';
            break;
        }
        case VK_URLTEXT_NAME:
            if (length > kMaxSetText) return VK_E_FAIL;
            Put(next.name, kNameSize, text, length);
            break;
        default: return VK_E_FAIL;
        }
        parts_ = next;
        return VK_OK;
    }

    VkResult GetProperty(uint32_t property, char* buffer, uint32_t size) override {
        if (!buffer || size == 0) return VK_E_FAIL;
        const Parts& p = parts_;
        int n = -1;
        switch (property) {
        case VK_URLTEXT_URL:
            n = std::snprintf(buffer, size, "%s://%s%s%s", p.scheme, p.host, p.path, p.name);
            break;
        case VK_URLTEXT_SCHEME: n = std::snprintf(buffer, size, "%s", p.scheme); break;
        case VK_URLTEXT_HOST: n = std::snprintf(buffer, size, "%s", p.host); break;
        case VK_URLTEXT_PATH: n = std::snprintf(buffer, size, "%s", p.path); break;
        case VK_URLTEXT_NAME: n = std::snprintf(buffer, size, "%s", p.name); break;
        case VK_URLTEXT_LOCATION: n = std::snprintf(buffer, size, "%s%s", p.path, p.name); break;
        default: return VK_E_FAIL;
        }
        if (n < 0 || static_cast<uint32_t>(n) >= size) {
            buffer[0] = '\0';
            return VK_E_FAIL;
        }
        return VK_OK;
    }

    VkResult OpenStream(IVkStream** out) override {
        if (!out) return VK_E_FAIL;
        *out = nullptr;
        const VkGuid* clsid = std::strcmp(parts_.scheme, "http") == 0   ? &CLSID_VkHttp
                              : std::strcmp(parts_.scheme, "file") == 0 ? &CLSID_VkFile
                                                                        : nullptr;
        if (!clsid) return VK_E_BADSCHEME;
        void* object = nullptr;
        if (VkCreateInstance(*clsid, nullptr, 0, IID_IVkUrlResource, &object) < 0)
            return VK_E_CATEGORYEMPTY;
        IVkUrlResource* resource = static_cast<IVkUrlResource*>(object);
        if (resource->QueryInterface(IID_IVkStream, &object) < 0) {
            resource->Release();
            return VK_E_CATEGORYEMPTY;
        }
        IVkStream* stream = static_cast<IVkStream*>(object);
        VkResult res = resource->SetProperty(VK_URL_HOST, parts_.host);
        if (res >= 0) res = resource->SetProperty(VK_URL_PATH, parts_.path);
        if (res >= 0) res = resource->SetProperty(VK_URL_NAME, parts_.name);
        resource->Release();
        if (res < 0) {
            stream->Release();
            return res;
        }
        *out = stream;
        return VK_OK;
    }

private:
    void Destroy() override { VkMemDestroyObject(this); }

    Parts parts_;
};

const VkComponentRecord kUrlRecords[] = {
    {&CLSID_VkUrl, 0, nullptr, 0, nullptr, VkCreateUrl, "Vesk - URL", "Vesk.URL.5.1", "Vesk.URL",
     nullptr},
};

} // namespace

VkResult VkCreateUrl(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    Url* url = nullptr;
    VkResult res = VkMemCreateObject(&url);
    if (res < 0) return res;
    *out = static_cast<IVkUrl*>(url);
    return VK_OK;
}

VkResult VkUrlModuleRegister(IVkRegistry* registry) {
    return VkModule<kUrlRecords>::Register(registry);
}
