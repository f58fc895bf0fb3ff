// The JPEG texture reader: the engine's image reader for ".jpg" files, decoding through the IJG
// JPEG library from an engine stream into a 32-bit engine image.
#pragma once

#include <cstdint>

struct TvImage;
struct TvStream;
struct jpeg_decompress_struct;

// Pictures wider or taller than this are refused before decoding: textures and screen
// pictures are far smaller, and a few bytes of header can claim any size.
inline constexpr int32_t kMV2JpegMaxSide = 4096;

// A 32-bit image of the file, or null when it cannot be opened or decoded. A single-scan file
// cut short gives the rows decoded before its data ended, and the rows below are opaque black;
// a file of several scans gives the whole picture from the scans that arrived.
TvImage* MV2LoadJpeg(const char* name);
// The same from an open stream (left open).
TvImage* MV2LoadJpegStream(TvStream* stream);
// Installs a data source that feeds the decompressor from `stream` in 4096-byte blocks.
void MV2JpegEngineStreamSrc(jpeg_decompress_struct* cinfo, TvStream* stream);
