// The BMP reader: palettised pictures of 1, 4 and 8 bits (8-bit also run-length encoded) become
// 8-bit images, 24-bit pictures become 32-bit images.
#pragma once

#include <cstdint>

struct TvImage;
struct TvStream;

// Pictures with more pixels than this are refused.
inline constexpr int64_t kTvBMPMaxPixels = int64_t(256) << 20;
// Run-length encoded pictures wider or taller than this are refused.
inline constexpr int32_t kTvBMPMaxCompressedSide = 4096;

TvImage* TvImageReadBMP(const char* name);
// The same from an open stream positioned at the file's first byte (left open).
TvImage* TvImageReadBMPStream(TvStream* stream);
// Converts one row of file pixels into image row `row`; `sourceIsRGB` false means blue, green,
// red order (the file's).
bool TvImageReadBMPRow(TvImage* image, int32_t row, const uint8_t* source, int32_t sourceBits,
                       bool sourceIsRGB);
