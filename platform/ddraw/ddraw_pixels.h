// Pixel conversion of the DirectDraw stand-in: any RGB, z or DXT format of a surface to and
// from RGBA bytes (red, green, blue, alpha), used by uploads, read-backs and Blt.
#pragma once

#include "platform/ddraw/ddraw.h"

#include <cstddef>
#include <cstdint>

// Bytes per pixel of an uncompressed format (1 to 4); 0 for FourCC formats.
int DDrawBytesPerPixel(const DDPIXELFORMAT& format);
bool DDrawIsDxt(const DDPIXELFORMAT& format);
// Bytes of one DXT level of the given size (blocks of 4 x 4 texels).
size_t DDrawDxtLevelSize(DWORD fourCC, DWORD width, DWORD height);

// Reads one pixel value of bytesPerPixel bytes (little-endian) and writes one back.
inline uint32_t DDrawLoadPixel(const uint8_t* p, int bytes) {
    switch (bytes) {
    case 1: return p[0];
    case 2: return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8;
    case 3:
        return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
               static_cast<uint32_t>(p[2]) << 16;
    case 4:
        return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
               static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
    default: return 0;
    }
}
inline void DDrawStorePixel(uint8_t* p, int bytes, uint32_t value) {
    for (int i = 0; i < bytes; ++i)
        p[i] = static_cast<uint8_t>(value >> (8 * i));
}

// A pixel value to RGBA: each channel widened to 8 bits; alpha 255 without an alpha mask.
// With keyed set, a format without alpha gives alpha 0 for the key value and 255 otherwise.
void DDrawPixelToRgba(const DDPIXELFORMAT& format, uint32_t pixel, uint8_t rgba[4]);
uint32_t DDrawRgbaToPixel(const DDPIXELFORMAT& format, const uint8_t rgba[4]);

// A format's channels worked out once, for loops over many pixels (a blit's rows): the
// position and width of each channel, wide channels cut to their top eight bits.
struct DDrawChannel {
    uint32_t mask;
    int shift; // position of the lowest bit kept
    int bits;  // 0 to 8
};
struct DDrawPixelLayout {
    DDrawChannel r, g, b, a;
    bool alpha;
};
DDrawPixelLayout DDrawMakePixelLayout(const DDPIXELFORMAT& format);

// A channel of a pixel value widened to 8 bits, its bits replicated so that the largest value
// becomes 255; and an 8-bit value narrowed into a channel.
inline uint8_t DDrawWiden(uint32_t pixel, const DDrawChannel& c) {
    if (!c.bits) return 0;
    const uint32_t v = (pixel >> c.shift) & ((1u << c.bits) - 1);
    if (c.bits >= 4) return static_cast<uint8_t>(v << (8 - c.bits) | v >> (2 * c.bits - 8));
    uint32_t out = 0;
    int filled = 0;
    while (filled < 8) {
        out = (out << c.bits) | v;
        filled += c.bits;
    }
    return static_cast<uint8_t>(out >> (filled - 8));
}
inline uint32_t DDrawNarrow(uint8_t value, const DDrawChannel& c) {
    if (!c.bits) return 0;
    return (static_cast<uint32_t>(value) >> (8 - c.bits)) << c.shift & c.mask;
}
inline void DDrawLayoutToRgba(const DDrawPixelLayout& l, uint32_t pixel, uint8_t rgba[4]) {
    rgba[0] = DDrawWiden(pixel, l.r);
    rgba[1] = DDrawWiden(pixel, l.g);
    rgba[2] = DDrawWiden(pixel, l.b);
    rgba[3] = l.alpha ? DDrawWiden(pixel, l.a) : 255;
}
inline uint32_t DDrawLayoutToPixel(const DDrawPixelLayout& l, const uint8_t rgba[4]) {
    return DDrawNarrow(rgba[0], l.r) | DDrawNarrow(rgba[1], l.g) | DDrawNarrow(rgba[2], l.b) |
           (l.alpha ? DDrawNarrow(rgba[3], l.a) : 0);
}

// Converts whole rows of pixels to RGBA and back.
void DDrawDecodeRow(const DDPIXELFORMAT& format, const uint8_t* src, DWORD count, uint8_t* rgba,
                    bool keyed, uint32_t key);
void DDrawEncodeRow(const DDPIXELFORMAT& format, const uint8_t* rgba, DWORD count, uint8_t* dst);

// Decodes a DXT1..DXT5 level of width x height texels to RGBA rows.
void DDrawDecodeDxt(DWORD fourCC, const uint8_t* blocks, DWORD width, DWORD height, uint8_t* rgba);
