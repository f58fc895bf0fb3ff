// The JPEG texture reader: the engine's image reader for ".jpg" files, decoding through the IJG
// JPEG library from an engine stream into a 32-bit engine image.
#pragma once

#include <cstdint>

struct TvImage;
struct TvStream;
struct jpeg_decompress_struct;

// Pictures with more pixels than this are refused.
inline constexpr int64_t kMV2JpegMaxPixels = int64_t(256) << 20;

// A 32-bit image of the file, or null when it cannot be opened or decoded.
TvImage* MV2LoadJpeg(const char* name);
// The same from an open stream (left open).
TvImage* MV2LoadJpegStream(TvStream* stream);
// Installs a data source that feeds the decompressor from `stream` in 4096-byte blocks.
void MV2JpegEngineStreamSrc(jpeg_decompress_struct* cinfo, TvStream* stream);
