// The DDS reader: textures stored as DirectDraw surface files (a surface description and the
// pixels of every mip level, possibly DXT-compressed) become texture rasters without conversion,
// or are copied into the closest format the device offers when it lacks the file's.
#pragma once

#include <cstddef>
#include <cstdint>

#include "platform/ddraw/ddraw.h"

struct TvRaster;
struct TvStream;
struct TvTexture;

// The stored surface description: 124 bytes with a 4-byte pointer slot, little-endian.
inline constexpr uint32_t kTvDDSDescSize = 124;
inline constexpr uint32_t kTvDDSHeaderSize = 4 + kTvDDSDescSize;
inline constexpr size_t kTvDDSNameBufferSize = 256;

void TvD3DParseSurfaceDesc(const uint8_t stored[kTvDDSDescSize], DDSURFACEDESC2* desc);
void TvD3DStoreSurfaceDesc(const DDSURFACEDESC2& desc, uint8_t stored[kTvDDSDescSize]);

// Bytes of mip level `level` of a surface as stored: the DXT block size for compressed formats,
// else rows of ((bit count + 7) >> 3) x width bytes; 0 for a format with neither.
uint64_t TvD3DDDSLevelBytes(const DDPIXELFORMAT& format, uint32_t width, uint32_t height,
                            uint32_t level);

// Reads "DDS ", the description and the pixels into a new texture raster; with `expectedSize`
// above what was read, the rest is skipped, and below it the block is refused. Null on any
// failure.
TvRaster* TvD3DReadDDS(TvStream* stream, uint32_t expectedSize);
// The search path taken whole as one prefix, then the name, then ".dds".
TvTexture* TvD3DReadDDSTexture(const char* name, const char* maskName);
// True when the device offers a DXT texture format.
bool TvD3DSupportsDXT();
