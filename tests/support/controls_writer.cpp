#include "tests/support/controls_writer.h"

#include <cstring>

namespace {
void U32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(uint8_t(v >> (8 * i)));
}
void F32(std::vector<uint8_t>& out, float f) {
    uint32_t v;
    std::memcpy(&v, &f, 4);
    U32(out, v);
}
} // namespace

std::vector<uint8_t> WriteControlsFile(const ControlsFile& file) {
    std::vector<uint8_t> out;
    U32(out, file.version);
    U32(out, uint32_t(file.sections.size()));
    for (const ControlsFileSection& s : file.sections) {
        U32(out, s.id);
        U32(out, uint32_t(s.bindings.size()));
        for (const ControlsFileBinding& b : s.bindings) {
            U32(out, uint32_t(b.action));
            F32(out, b.scale);
            U32(out, b.axis ? 1 : 0);
            if (b.axis)
                for (int32_t w : b.axisWords)
                    U32(out, uint32_t(w));
            U32(out, uint32_t(b.items.size()));
            for (const ControlsFileItem& i : b.items) {
                U32(out, uint32_t(i.code));
                U32(out, uint32_t(i.wanted));
                U32(out, uint32_t(i.edgeMode));
                U32(out, uint32_t(i.word3));
            }
        }
    }
    U32(out, uint32_t(file.curves.size()));
    for (const ControlsFileCurve& c : file.curves) {
        U32(out, c.index);
        out.insert(out.end(), 256, 0);
        for (float v : c.values)
            F32(out, v);
    }
    return out;
}

uint8_t ControlsKeyCode(const char* name) {
    // Game key codes of the keyboard table: printable keys are their lower-case characters,
    // the others have codes from 0x80.
    static const struct {
        const char* name;
        uint8_t code;
    } keys[] = {{"Escape", 0x80}, {"Return", 0xAB}, {"Space", 0x20}, {"F1", 0x81},
                {"F12", 0x8C},    {"Up", 0x93},     {"Down", 0x94},
                {"Left", 0x95},   {"Right", 0x96}};
    for (const auto& k : keys)
        if (std::strcmp(k.name, name) == 0) return k.code;
    if (name[0] >= 'a' && name[0] <= 'z' && name[1] == 0) return uint8_t(name[0]);
    return 0xFF;
}
