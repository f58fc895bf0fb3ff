#include "tests/support/hud_writer.h"

#include <cstring>

namespace {

void Put(std::vector<uint8_t>& out, uint32_t v) {
    for (int32_t i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

uint32_t Bits(float f) {
    uint32_t v;
    std::memcpy(&v, &f, sizeof v);
    return v;
}

} // namespace

uint32_t HudColourWord(uint8_t red, uint8_t green, uint8_t blue, uint8_t alpha) {
    return uint32_t(red) | uint32_t(green) << 8 | uint32_t(blue) << 16 | uint32_t(alpha) << 24;
}

HudElementBytes HudGaugeElement(uint32_t mode, int32_t x, int32_t y, uint32_t baseAlpha,
                                const std::vector<HudSegment>& segments) {
    HudElementBytes e;
    e.kind = 22;
    e.words = {mode, uint32_t(x), uint32_t(y), uint32_t(segments.size()), baseAlpha << 24};
    for (const HudSegment& s : segments) {
        e.words.push_back(s.sprite);
        e.words.push_back(uint32_t(s.dx));
        e.words.push_back(uint32_t(s.dy));
        e.words.push_back(s.fullAlpha << 24);
    }
    return e;
}

std::vector<uint8_t> HudLayoutData(const std::vector<HudLayoutBytes>& layouts) {
    std::vector<uint8_t> out;
    Put(out, uint32_t(layouts.size()));
    for (const HudLayoutBytes& l : layouts) {
        std::vector<uint8_t> body;
        for (const HudElementBytes& e : l.elements) {
            Put(body, e.size >= 0 ? uint32_t(e.size) : uint32_t(8 + 4 * e.words.size()));
            Put(body, e.kind);
            for (uint32_t w : e.words) Put(body, w);
        }
        const uint32_t size = l.size ? l.size : uint32_t(88 + body.size());
        Put(out, size);
        Put(out, l.craft);
        Put(out, l.mode);
        Put(out, l.width);
        Put(out, Bits(l.scaleX));
        Put(out, Bits(l.scaleY));
        Put(out, l.elementCount < 0 ? uint32_t(l.elements.size()) : uint32_t(l.elementCount));
        for (uint32_t v : l.signSprites) Put(out, v);
        for (uint32_t v : l.edgeSprites) Put(out, v);
        for (uint32_t v : l.signSizes) Put(out, v);
        for (uint32_t v : l.reticles) Put(out, v);
        for (uint32_t v : l.signColours) Put(out, v);
        Put(out, l.reticleWord);
        out.insert(out.end(), body.begin(), body.end());
    }
    return out;
}

std::vector<uint8_t> HudDafFile(const std::vector<HudLayoutBytes>& layouts, int32_t countAdjust) {
    const std::vector<uint8_t> data = HudLayoutData(layouts);
    std::vector<uint8_t> out;
    Put(out, uint32_t(int32_t(data.size()) + countAdjust));
    out.insert(out.end(), data.begin(), data.end());
    return out;
}
