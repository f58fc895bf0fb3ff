// Parses the input as URL texts: the part before the first zero byte as a whole URL, the rest
// as a text joined to it. Every part must read back within its size, and a whole URL that
// parsed must read back as a text that parses to the same parts.
#include "framework/core/framework.h"
#include "framework/net/url.h"
#include "fuzz/framework_start.h"

#include <cstdint>
#include <cstring>
#include <string>

namespace {

void Check(bool ok) {
    if (!ok) __builtin_trap();
}

struct Split {
    std::string parts[6];
    bool operator==(const Split&) const = default;
};

Split Read(IVkUrl* url) {
    Split split;
    const uint32_t limits[6] = {8 + 3 + 127 + 1025 + 1023, 8, 127, 1025, 1023, 1025 + 1023};
    for (uint32_t p = 1; p <= 6; ++p) {
        char buffer[4096];
        Check(url->GetProperty(p, buffer, sizeof buffer) == VK_OK);
        size_t length = std::strlen(buffer);
        Check(length <= limits[p - 1]);
        // A buffer exactly one byte short is refused.
        if (length > 0) Check(url->GetProperty(p, buffer, static_cast<uint32_t>(length)) < 0);
        split.parts[p - 1] = buffer;
    }
    return split;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    FuzzStartFramework();
    std::string input(reinterpret_cast<const char*>(data), size);
    size_t zero = input.find('\0');
    std::string first = input.substr(0, zero);
    std::string second = zero == std::string::npos ? std::string() : input.substr(zero + 1);
    second = second.substr(0, second.find('\0'));

    void* out = nullptr;
    Check(VkCreateInstance(CLSID_VkUrl, nullptr, 0, IID_IVkUrl, &out) == VK_OK);
    IVkUrl* url = static_cast<IVkUrl*>(out);
    Split before = Read(url);
    if (url->SetProperty(VK_URLTEXT_URL, first.c_str()) < 0)
        Check(Read(url) == before);
    else if (first.find("://") != std::string::npos) {
        Split parsed = Read(url);
        Check(url->SetProperty(VK_URLTEXT_URL, parsed.parts[0].c_str()) == VK_OK);
        Check(Read(url) == parsed);
    }
    before = Read(url);
    if (url->SetProperty(VK_URLTEXT_LOCATION, second.c_str()) < 0)
        Check(Read(url) == before);
    else
        Read(url);
    url->Release();
    return 0;
}
