// Takes the input as the bytes of a HUD layout file after its byte count: counts the usable
// layouts, then walks every one of them and every element word, and looks up layouts by type.
#include "game/frontend/hud.h"

#include <cstdint>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    std::vector<uint8_t> copy(data, data + size);
    gMV2HudFile = {copy.data(), uint32_t(size), MV2HudCountLayouts(copy.data(), size)};
    uint32_t sum = 0;
    for (uint32_t i = 0; i < gMV2HudFile.layouts; ++i) {
        MV2HudLayout layout;
        if (!MV2HudGetLayout(i, &layout)) __builtin_trap();
        MV2HudElement e = {};
        while (MV2HudNextElement(&layout, &e))
            for (uint32_t w = 0; w * 4 + 8 < e.size; ++w) sum += e.Word(int32_t(w));
    }
    for (int32_t type : {0, 67, 84, 167, 461})
        for (int32_t width : {640, 800, 1024}) {
            MV2HudLayout layout;
            sum += uint32_t(MV2HudFindLayout(type, width, 4, &layout));
        }
    gMV2HudFile = {};
    return int(sum & 0);
}
