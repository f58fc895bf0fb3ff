// Image resampling: a 32-bit image scaled into another 32-bit image of any size by area
// averaging, with area edges in 16.16 fixed point.
#pragma once

#include <cstdint>

struct TvImage;

TvImage* TvImageResample(TvImage* dest, const TvImage* source);
// Weighted sums (red, green, blue, alpha as fractions of 255) of source row `row` between the
// 16.16 positions `startX` and `endX`.
void TvImageSampleSpan(const TvImage* source, int32_t startX, int32_t endX, int32_t row,
                       float sums[4]);
