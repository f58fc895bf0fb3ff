// Translation of SDL scancodes to the old platform's set-1 keyboard scan codes.
#pragma once

#include <SDL.h>

#include <cstdint>

struct Win32KeyCode {
    uint8_t scan;     // set-1 scan code, 0 when the key has none
    bool extended;    // the key is sent with the E0 prefix (bit 24 of lParam)
    uint8_t virtualKey;
};

Win32KeyCode Win32TranslateScancode(SDL_Scancode code);
