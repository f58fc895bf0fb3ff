// Pictures read back for display tests: an X window dump taken with xwd, and the game's own
// window shots (binary PPM). Pixels are kept as RGB rows, top first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct Screenshot {
    int width = 0, height = 0;
    std::vector<uint8_t> rgb;
    const uint8_t* At(int x, int y) const { return &rgb[(size_t(y) * size_t(width) + size_t(x)) * 3]; }
};

// Parses an XWD file of a true-colour window (what xwd writes for a 24-bit screen). False for
// anything else or a file cut short.
bool ReadXwd(const std::vector<uint8_t>& bytes, Screenshot* out);
// Dumps window `id` (a decimal or 0x id; "root" for the whole screen) of X display `display`
// with xwd and parses it.
bool XwdDump(const std::string& display, const std::string& id, Screenshot* out);
bool ReadPpm(const std::string& path, Screenshot* out);
bool WritePpm(const std::string& path, const Screenshot& shot);

// Share of pixels (0..1) whose brightest channel is above `level`.
double LitShare(const Screenshot& shot, int level = 24);
// Pixels within `tolerance` of a colour on every channel, in a rectangle (clipped).
int CountColour(const Screenshot& shot, int x0, int y0, int x1, int y1, const uint8_t rgb[3],
                int tolerance);
