// Parses arbitrary text as a GUID; a parsed GUID must survive the text round trip, and the
// parser must never write past the 16 bytes it is given.
#include "framework/core/com.h"

#include <cstdint>
#include <cstring>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::string text(reinterpret_cast<const char*>(data), size);
    auto* guid = new VkGuid; // exactly 16 bytes, so an overrun is caught
    if (VkGuidFromString(text.c_str(), guid) == VK_OK) {
        char back[39];
        VkGuidToString(*guid, back);
        VkGuid again = {};
        if (VkGuidFromString(back, &again) != VK_OK || !VkGuidEqual(again, *guid)) __builtin_trap();
    }
    delete guid;
    return 0;
}
