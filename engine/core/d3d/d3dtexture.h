// Native texture chunks: a texture written with its Direct3D surface (description and the
// pixels of every mip level), so that reading it back needs no image file. These are the
// driver's standard functions 26 (size), 27 (read) and 28 (write).
#pragma once

#include <cstdint>

// (out uint32 size, texture, -) -> 1.
int32_t TvD3DNativeTextureSize(void* size, void* texture, int32_t);
// (stream, out texture, -) -> 1, or 0 with the texture null; a native texture of another
// platform is refused without an error.
int32_t TvD3DNativeTextureRead(void* stream, void* texture, int32_t);
// (stream, texture, -) -> 1 or 0.
int32_t TvD3DNativeTextureWrite(void* stream, void* texture, int32_t);
