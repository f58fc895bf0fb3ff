// Writer of the HUD layout file "data\hud.daf": a byte count, a layout count and the layouts,
// each a 22-word head and its elements {size, kind, words...}. Sizes are worked out unless a
// case overrides them to make a malformed file.
#pragma once

#include <cstdint>
#include <vector>

struct HudElementBytes {
    uint32_t kind = 0;
    std::vector<uint32_t> words; // after {size, kind}
    int64_t size = -1;           // -1: 8 + 4 x words
};

struct HudLayoutBytes {
    uint32_t craft = 0, mode = 0, width = 640;
    float scaleX = 1.0f, scaleY = 1.0f;
    uint32_t signSprites[3] = {94, 94, 94};
    uint32_t edgeSprites[3] = {95, 95, 95};
    uint32_t signSizes[3] = {4, 4, 4};
    uint32_t reticles[2] = {0, 0};
    uint32_t signColours[3] = {0xFFFFFFFFu, 0xFFFFFFFFu, 0xFFFFFFFFu};
    uint32_t reticleWord = 0xFF000000u;
    std::vector<HudElementBytes> elements;
    uint32_t size = 0;         // 0: the bytes written
    int32_t elementCount = -1; // -1: the number of elements
};

struct HudSegment {
    uint32_t sprite;
    int32_t dx, dy;
    uint32_t fullAlpha; // 0..255
};

// A gauge element (kind 22) in colour mode `mode` with its segments in list order.
HudElementBytes HudGaugeElement(uint32_t mode, int32_t x, int32_t y, uint32_t baseAlpha,
                                const std::vector<HudSegment>& segments);
// A colour word of bytes red, green, blue, alpha in memory order.
uint32_t HudColourWord(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha);
// The N bytes after the byte count (what the loader keeps).
std::vector<uint8_t> HudLayoutData(const std::vector<HudLayoutBytes>& layouts);
// The whole file; `countAdjust` is added to the stored byte count.
std::vector<uint8_t> HudDafFile(const std::vector<HudLayoutBytes>& layouts, int32_t countAdjust = 0);
