// Every key of the game's first keyboard table, from the SDL scancode a real keyboard gives,
// through the platform's scan code and the window's raw key, to the game key code.
#include "tests/game/shell_fixture.h"

#include "platform/win32/keymap.h"

#include <sstream>

namespace {
struct KeyRow {
    SDL_Scancode sdl;
    uint32_t raw; // scan code, plus 0x80 for an extended key
    uint32_t key; // game key code; 0xFF for none
};

constexpr KeyRow kRows[] = {
    // Named keys.
    {SDL_SCANCODE_ESCAPE, 0x01, 0x80},
    {SDL_SCANCODE_F1, 0x3B, 0x81},
    {SDL_SCANCODE_F2, 0x3C, 0x82},
    {SDL_SCANCODE_F3, 0x3D, 0x83},
    {SDL_SCANCODE_F4, 0x3E, 0x84},
    {SDL_SCANCODE_F5, 0x3F, 0x85},
    {SDL_SCANCODE_F6, 0x40, 0x86},
    {SDL_SCANCODE_F7, 0x41, 0x87},
    {SDL_SCANCODE_F8, 0x42, 0x88},
    {SDL_SCANCODE_F9, 0x43, 0x89},
    {SDL_SCANCODE_F10, 0x44, 0x8A},
    {SDL_SCANCODE_F11, 0x57, 0x8B},
    {SDL_SCANCODE_F12, 0x58, 0x8C},
    {SDL_SCANCODE_INSERT, 0xD2, 0x8D},
    {SDL_SCANCODE_DELETE, 0xD3, 0x8E},
    {SDL_SCANCODE_HOME, 0xC7, 0x8F},
    {SDL_SCANCODE_END, 0xCF, 0x90},
    {SDL_SCANCODE_PAGEUP, 0xC9, 0x91},
    {SDL_SCANCODE_PAGEDOWN, 0xD1, 0x92},
    {SDL_SCANCODE_UP, 0xC8, 0x93},
    {SDL_SCANCODE_DOWN, 0xD0, 0x94},
    {SDL_SCANCODE_LEFT, 0xCB, 0x95},
    {SDL_SCANCODE_RIGHT, 0xCD, 0x96},
    {SDL_SCANCODE_KP_0, 0x52, 0x97},
    {SDL_SCANCODE_KP_PERIOD, 0x53, 0x98},
    {SDL_SCANCODE_KP_7, 0x47, 0x99},
    {SDL_SCANCODE_KP_1, 0x4F, 0x9A},
    {SDL_SCANCODE_KP_9, 0x49, 0x9B},
    {SDL_SCANCODE_KP_3, 0x51, 0x9C},
    {SDL_SCANCODE_KP_8, 0x48, 0x9D},
    {SDL_SCANCODE_KP_2, 0x50, 0x9E},
    {SDL_SCANCODE_KP_4, 0x4B, 0x9F},
    {SDL_SCANCODE_KP_6, 0x4D, 0xA0},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0xC5, 0xA1},
    {SDL_SCANCODE_KP_DIVIDE, 0xB5, 0xA2},
    {SDL_SCANCODE_KP_MULTIPLY, 0x37, 0xA3},
    {SDL_SCANCODE_KP_MINUS, 0x4A, 0xA4},
    {SDL_SCANCODE_KP_PLUS, 0x4E, 0xA5},
    {SDL_SCANCODE_KP_ENTER, 0x9C, 0xA6},
    {SDL_SCANCODE_KP_5, 0x4C, 0xA7},
    {SDL_SCANCODE_BACKSPACE, 0x0E, 0xA8},
    {SDL_SCANCODE_TAB, 0x0F, 0xA9},
    {SDL_SCANCODE_CAPSLOCK, 0x3A, 0xAA},
    {SDL_SCANCODE_RETURN, 0x1C, 0xAB},
    {SDL_SCANCODE_LSHIFT, 0x2A, 0xAC},
    {SDL_SCANCODE_RSHIFT, 0x36, 0xAD},
    {SDL_SCANCODE_LCTRL, 0x1D, 0xAE},
    {SDL_SCANCODE_RCTRL, 0x9D, 0xAF},
    {SDL_SCANCODE_LALT, 0x38, 0xB0},
    {SDL_SCANCODE_RALT, 0xB8, 0xB1},
    // Characters.
    {SDL_SCANCODE_1, 0x02, '1'},
    {SDL_SCANCODE_2, 0x03, '2'},
    {SDL_SCANCODE_3, 0x04, '3'},
    {SDL_SCANCODE_4, 0x05, '4'},
    {SDL_SCANCODE_5, 0x06, '5'},
    {SDL_SCANCODE_6, 0x07, '6'},
    {SDL_SCANCODE_7, 0x08, '7'},
    {SDL_SCANCODE_8, 0x09, '8'},
    {SDL_SCANCODE_9, 0x0A, '9'},
    {SDL_SCANCODE_0, 0x0B, '0'},
    {SDL_SCANCODE_MINUS, 0x0C, '-'},
    {SDL_SCANCODE_EQUALS, 0x0D, '='},
    {SDL_SCANCODE_Q, 0x10, 'q'},
    {SDL_SCANCODE_W, 0x11, 'w'},
    {SDL_SCANCODE_E, 0x12, 'e'},
    {SDL_SCANCODE_R, 0x13, 'r'},
    {SDL_SCANCODE_T, 0x14, 't'},
    {SDL_SCANCODE_Y, 0x15, 'y'},
    {SDL_SCANCODE_U, 0x16, 'u'},
    {SDL_SCANCODE_I, 0x17, 'i'},
    {SDL_SCANCODE_O, 0x18, 'o'},
    {SDL_SCANCODE_P, 0x19, 'p'},
    {SDL_SCANCODE_LEFTBRACKET, 0x1A, '['},
    {SDL_SCANCODE_RIGHTBRACKET, 0x1B, ']'},
    {SDL_SCANCODE_A, 0x1E, 'a'},
    {SDL_SCANCODE_S, 0x1F, 's'},
    {SDL_SCANCODE_D, 0x20, 'd'},
    {SDL_SCANCODE_F, 0x21, 'f'},
    {SDL_SCANCODE_G, 0x22, 'g'},
    {SDL_SCANCODE_H, 0x23, 'h'},
    {SDL_SCANCODE_J, 0x24, 'j'},
    {SDL_SCANCODE_K, 0x25, 'k'},
    {SDL_SCANCODE_L, 0x26, 'l'},
    {SDL_SCANCODE_SEMICOLON, 0x27, ';'},
    {SDL_SCANCODE_APOSTROPHE, 0x28, '\''},
    {SDL_SCANCODE_GRAVE, 0x29, '`'},
    {SDL_SCANCODE_BACKSLASH, 0x2B, '#'},
    {SDL_SCANCODE_NONUSHASH, 0x2B, '#'},
    {SDL_SCANCODE_Z, 0x2C, 'z'},
    {SDL_SCANCODE_X, 0x2D, 'x'},
    {SDL_SCANCODE_C, 0x2E, 'c'},
    {SDL_SCANCODE_V, 0x2F, 'v'},
    {SDL_SCANCODE_B, 0x30, 'b'},
    {SDL_SCANCODE_N, 0x31, 'n'},
    {SDL_SCANCODE_M, 0x32, 'm'},
    {SDL_SCANCODE_COMMA, 0x33, ','},
    {SDL_SCANCODE_PERIOD, 0x34, '.'},
    {SDL_SCANCODE_SLASH, 0x35, '/'},
    {SDL_SCANCODE_SPACE, 0x39, ' '},
    {SDL_SCANCODE_NONUSBACKSLASH, 0x56, '\\'},
    // Keys with a scan code but no game key.
    {SDL_SCANCODE_PAUSE, 0x45, 0xFF},
    {SDL_SCANCODE_SCROLLLOCK, 0x46, 0xFF},
    {SDL_SCANCODE_SYSREQ, 0x54, 0xFF},
    {SDL_SCANCODE_PRINTSCREEN, 0xB7, 0xFF},
    {SDL_SCANCODE_LGUI, 0xDB, 0xFF},
    {SDL_SCANCODE_RGUI, 0xDC, 0xFF},
    {SDL_SCANCODE_APPLICATION, 0xDD, 0xFF},
};
} // namespace

TEST_F(ShellTest, EveryKeyOfTheFirstTableArrivesAsItsGameKey) {
    MV2PlatformRequest(10, 0, 0, 0);
    for (const KeyRow& row : kRows) {
        std::ostringstream name;
        name << SDL_GetScancodeName(row.sdl) << " (raw 0x" << std::hex << row.raw << ")";
        Win32KeyCode code = Win32TranslateScancode(row.sdl);
        EXPECT_EQ(code.scan | (code.extended ? 0x80u : 0u), row.raw) << name.str();
        recorded.clear();
        Key(WM_KEYDOWN, code.scan, code.extended);
        Key(WM_KEYUP, code.scan, code.extended);
        ASSERT_EQ(recorded.size(), 4u) << name.str();
        EXPECT_EQ(recorded[0].c, static_cast<int32_t>(row.raw)) << name.str();
        EXPECT_EQ(recorded[1].code, 12u) << name.str();
        EXPECT_EQ(recorded[1].c, static_cast<int32_t>(row.key)) << name.str();
    }
}
