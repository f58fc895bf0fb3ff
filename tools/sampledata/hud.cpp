// One HUD layout per craft of the craft table, screen width (640, 800, 1024) and HUD mode in use
// (0 in the cockpit view, 4 outside it): a radar, an energy gauge, the depth read-out, the
// heading tape, the weapon and tool panels, target tracking, the talking face and the message
// box; the cockpit layouts add the pitch and horizon signs.
#include "tools/sampledata/hud.h"

#include "tests/support/hud_writer.h"

#include <cstring>
#include <filesystem>
#include <fstream>

namespace {

uint32_t Bits(float f) {
    uint32_t v;
    std::memcpy(&v, &f, sizeof v);
    return v;
}

HudLayoutBytes Layout(uint32_t craft, uint32_t mode, uint32_t width) {
    const float k = float(width) / 640.0f;
    auto s = [k](int32_t v) { return uint32_t(int32_t(float(v) * k)); };
    HudLayoutBytes l;
    l.craft = craft, l.mode = mode, l.width = width;
    l.scaleX = l.scaleY = k;
    l.reticles[0] = mode == 4 ? 94 : 0;
    l.reticles[1] = mode == 4 ? 95 : 0;
    l.reticleWord = 0xC0000000u;
    l.signColours[0] = HudColourWord(0, 255, 255, 255);
    l.signColours[1] = HudColourWord(255, 64, 64, 255);
    l.signColours[2] = HudColourWord(255, 255, 255, 192);
    // Frame corners and the radar, top right.
    l.elements.push_back({0, {27, s(8), s(8), 0xC0000000u}});
    l.elements.push_back({1, {2, Bits(48.0f * k), Bits(35.0f), Bits(60.0f), 28, s(560), s(70)}});
    // The energy gauge of eight segments, bottom left, filling upwards.
    std::vector<HudSegment> segments;
    for (int32_t i = 0; i < 8; ++i) segments.push_back({6, 0, -int32_t(s(12)) * i, 255});
    l.elements.push_back(HudGaugeElement(1, s(20), s(440), 48, segments));
    l.elements.push_back({18, {0, s(600), s(440), 0xFF000000u}});
    l.elements.push_back({17, {29, s(256), s(8), 0xC0000000u}});
    l.elements.push_back({2, {s(520), s(400)}});
    l.elements.push_back({3, {s(40), s(400)}});
    l.elements.push_back({12, {}});
    if (mode == 0) {
        l.elements.push_back({15, {30, s(320), s(240), 0x80000000u}});
        l.elements.push_back({16, {31, s(320), s(240), 0x80000000u}});
    }
    l.elements.push_back({11, {0, s(3), s(413), 0xFF000000u}});
    l.elements.push_back({13, {uint32_t(s(70)), uint32_t(s(390)), uint32_t(s(500)), uint32_t(s(60)), 0,
                               2, HudColourWord(0, 0, 0, 64)}});
    return l;
}

} // namespace

bool SampleDataWriteHud(const std::string& folder) {
    std::vector<HudLayoutBytes> layouts;
    for (uint32_t craft = 0; craft < 11; ++craft)
        for (uint32_t width : {640u, 800u, 1024u})
            for (uint32_t mode : {0u, 4u}) layouts.push_back(Layout(craft, mode, width));
    const std::vector<uint8_t> bytes = HudDafFile(layouts);
    const std::filesystem::path path = std::filesystem::path(folder) / "DATA" / "hud.daf";
    std::error_code ec;
    std::filesystem::create_directories(path.parent_path(), ec);
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char*>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
}
