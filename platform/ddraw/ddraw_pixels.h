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
uint32_t DDrawLoadPixel(const uint8_t* p, int bytesPerPixel);
void DDrawStorePixel(uint8_t* p, int bytesPerPixel, uint32_t value);

// A pixel value to RGBA: each channel widened to 8 bits; alpha 255 without an alpha mask.
// With keyed set, a format without alpha gives alpha 0 for the key value and 255 otherwise.
void DDrawPixelToRgba(const DDPIXELFORMAT& format, uint32_t pixel, uint8_t rgba[4]);
uint32_t DDrawRgbaToPixel(const DDPIXELFORMAT& format, const uint8_t rgba[4]);

// Converts whole rows of pixels to RGBA and back.
void DDrawDecodeRow(const DDPIXELFORMAT& format, const uint8_t* src, DWORD count, uint8_t* rgba,
                    bool keyed, uint32_t key);
void DDrawEncodeRow(const DDPIXELFORMAT& format, const uint8_t* rgba, DWORD count, uint8_t* dst);

// Decodes a DXT1..DXT5 level of width x height texels to RGBA rows.
void DDrawDecodeDxt(DWORD fourCC, const uint8_t* blocks, DWORD width, DWORD height, uint8_t* rgba);
