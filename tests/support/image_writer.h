// Image files made by the tests themselves: BMP files of any supported form, JPEG files encoded
// with the JPEG library, and DDS surface files.
#pragma once

#include <cstdint>
#include <functional>
#include <vector>

#include "engine/core/raster.h"

struct BmpDesc {
    int32_t width = 1;
    int32_t height = 1;
    uint16_t bits = 24;
    uint32_t compression = 0;
    uint32_t headerSize = 40; // 12: core header
    uint32_t coloursUsed = 0;
    std::vector<TvRGBA> palette; // written as stored: blue, green, red (, 0)
    std::vector<uint8_t> data;   // the pixel data as stored
};
std::vector<uint8_t> BmpFile(const BmpDesc& desc);

// Uncompressed rows of `bits` per pixel, bottom row first, each padded to 4 bytes; `value`
// gives the index (or 0xRRGGBB for 24 bits) of pixel (x, y) counted from the top row.
std::vector<uint8_t> BmpRows(int32_t width, int32_t height, int32_t bits,
                             const std::function<uint32_t(int32_t x, int32_t y)>& value);

// A baseline (or progressive) JPEG of 3 components (colour), 1 (grey) or 4 (four-ink, the
// channels red, green, blue and alpha stored as its inks) at the given quality.
std::vector<uint8_t> JpegFile(int32_t width, int32_t height, int components,
                              const std::function<TvRGBA(int32_t x, int32_t y)>& pixel,
                              int quality = 95, bool progressive = false);

// A DDS file: "DDS ", a 124-byte description and the given pixel bytes (all levels, then any
// palette). Pixel formats are {flags, FourCC, bit count, red, green, blue, alpha masks}.
struct DdsDesc {
    uint32_t width = 4;
    uint32_t height = 4;
    uint32_t flags = 0x1007; // caps, height, width, pixel format
    uint32_t linearSize = 0;
    uint32_t mipCount = 0;
    uint32_t formatFlags = 0x40; // RGB
    uint32_t fourCC = 0;
    uint32_t bits = 16;
    uint32_t masks[4] = {0xF800, 0x07E0, 0x001F, 0};
    uint32_t caps = 0x1000; // texture
    uint32_t descSize = 124;
    std::vector<uint8_t> data;
};
std::vector<uint8_t> DdsFile(const DdsDesc& desc);
