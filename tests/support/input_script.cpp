#include "tests/support/input_script.h"

namespace {

void Put8(std::vector<uint8_t>& out, uint8_t v) { out.push_back(v); }
void Put16(std::vector<uint8_t>& out, uint16_t v) {
    Put8(out, uint8_t(v));
    Put8(out, uint8_t(v >> 8));
}
void Put32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) Put8(out, uint8_t(v >> (8 * i)));
}
void Put64(std::vector<uint8_t>& out, uint64_t v) {
    Put32(out, uint32_t(v));
    Put32(out, uint32_t(v >> 32));
}

} // namespace

void InputScript::Press(uint32_t frame, uint8_t scan, uint32_t virtualKey, uint32_t held,
                        bool extended) {
    keys.push_back({frame, scan, extended, true, virtualKey});
    keys.push_back({frame + held, scan, extended, false, virtualKey});
}

std::vector<uint8_t> WriteInputScript(const InputScript& script) {
    std::vector<uint8_t> out = {'M', 'V', 'I', 'R'};
    Put16(out, 1); // version
    Put16(out, 1); // a driven clock
    Put32(out, script.startMs);
    if (script.keyboardAcquire) {
        Put8(out, 6);
        Put32(out, 0);
    }
    uint32_t now = script.startMs;
    for (uint32_t frame = 0; frame < script.frames; ++frame) {
        uint32_t frameMs = script.frameMs;
        for (const InputScript::Span& span : script.spans)
            if (frame >= span.from) frameMs = span.ms;
        for (const ScriptKey& k : script.keys) {
            if (k.frame != frame) continue;
            // Key messages as the layer posts them: repeat count 1, the scan code in bits
            // 16-23, bit 24 for extended keys, bits 30 and 31 on a release.
            uint32_t lp = 1u | uint32_t(k.scan) << 16;
            if (k.extended) lp |= 1u << 24;
            if (!k.down) lp |= 3u << 30;
            Put8(out, 2);
            Put32(out, script.window);
            Put32(out, k.down ? 0x0100 : 0x0101);
            Put64(out, k.virtualKey);
            Put64(out, lp);
            Put32(out, now);
            Put32(out, 0);
            Put32(out, 0);
        }
        Put8(out, 1);
        Put32(out, now + frameMs);
        now += frameMs;
    }
    return out;
}

void AddCampaignStartKeys(InputScript& script) {
    constexpr uint8_t kReturn = 0x1C, kDown = 0x50;
    constexpr uint32_t kVkReturn = 0x0D, kVkDown = 0x28;
    script.Press(200, kReturn, kVkReturn); // the title gives the main menu, Play focused
    script.Press(240, kReturn, kVkReturn); // Play: the new-game menu
    script.Press(280, kReturn, kVkReturn); // a new game: the profile menu
    script.Press(320, kDown, kVkDown, 3, true);
    script.Press(340, kDown, kVkDown, 3, true);
    script.Press(360, kReturn, kVkReturn); // confirm the profile: the level starts
}

uint32_t AddLaunchKeys(InputScript& script, uint32_t fromFrame) {
    constexpr uint8_t kReturn = 0x1C, kDown = 0x50, kLeft = 0x4B;
    constexpr uint32_t kVkReturn = 0x0D, kVkDown = 0x28, kVkLeft = 0x25;
    // The console opens with the mouse cursor shown and nothing highlighted: an arrow hides the
    // cursor and highlights the only choice, the briefing.
    script.Press(fromFrame, kDown, kVkDown, 3, true);
    script.Press(fromFrame + 10, kReturn, kVkReturn);
    // The briefing movie and the console again, now with all three choices and nothing
    // highlighted: Left from there lands on back to play.
    script.Press(fromFrame + 80, kLeft, kVkLeft, 3, true);
    script.Press(fromFrame + 90, kReturn, kVkReturn);
    // The race's launches, then the craft piloted out of the city: play starts by then.
    return fromFrame + 520;
}
