// Writer of the controls file: version 0x10004, the sections with their bindings, then the
// response curves, all little-endian.
#pragma once

#include <cstdint>
#include <vector>

struct ControlsFileItem {
    int32_t code;
    int32_t wanted = 1;
    int32_t edgeMode = 0;
    int32_t word3 = 0;
};

struct ControlsFileBinding {
    int32_t action;
    float scale = 1.0f;
    bool axis = false;
    int32_t axisWords[3] = {0, 0, 0}; // the second is the axis index
    std::vector<ControlsFileItem> items;
};

struct ControlsFileSection {
    uint32_t id;
    std::vector<ControlsFileBinding> bindings;
};

struct ControlsFileCurve {
    uint32_t index;
    float values[256];
};

struct ControlsFile {
    uint32_t version = 0x10004;
    std::vector<ControlsFileSection> sections;
    std::vector<ControlsFileCurve> curves; // none written means a count of 0
};

std::vector<uint8_t> WriteControlsFile(const ControlsFile& file);
// The game key code of a key name of the keyboard table used by the sample bindings
// ("Escape", "Return", "Space", "F1", "F12", "Left", "Right"); 0xFF when unknown.
uint8_t ControlsKeyCode(const char* name);
