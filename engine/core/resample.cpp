#include "engine/core/resample.h"

#include "engine/core/error.h"
#include "engine/core/image.h"

namespace {

constexpr int32_t kOne = 0x10000;

void AddWeighted(float sums[4], const uint8_t* pixel, float weight) {
    for (int c = 0; c < 4; c++)
        sums[c] += float(pixel[c]) / 255.0f * weight;
}

// Weight of the part of the cell of `position` lying at or after it, and before it.
float PartAfter(int32_t position) {
    return float(kOne - (position & (kOne - 1))) / float(kOne);
}
float PartBefore(int32_t position) {
    return float(position & (kOne - 1)) / float(kOne);
}

} // namespace

void TvImageSampleSpan(const TvImage* source, int32_t startX, int32_t endX, int32_t row,
                       float sums[4]) {
    sums[0] = sums[1] = sums[2] = sums[3] = 0.0f;
    const uint8_t* line = source->pixels + size_t(row) * size_t(source->stride);
    const int32_t first = startX >> 16;
    const int32_t last = endX >> 16;
    if (first == last) {
        AddWeighted(sums, line + 4 * size_t(first), float(endX - startX) / float(kOne));
        return;
    }
    AddWeighted(sums, line + 4 * size_t(first), PartAfter(startX));
    for (int32_t x = first + 1; x < last; x++)
        AddWeighted(sums, line + 4 * size_t(x), 1.0f);
    AddWeighted(sums, line + 4 * size_t(last), PartBefore(endX));
}

TvImage* TvImageResample(TvImage* dest, const TvImage* source) {
    if (dest->depth != 32 || source->depth != 32 || !dest->pixels || !source->pixels ||
        dest->width <= 0 || dest->height <= 0 || source->width <= 0 || source->height <= 0) {
        TvErrorCore(E_TV_IMAGEFORMAT);
        return nullptr;
    }
    // Positions are 16.16 in 32 bits: sources of 32768 pixels or more do not fit (nor do their
    // steps), and a step below 1/65536 of a pixel would leave areas of no size.
    if (source->width >= 0x8000 || source->height >= 0x8000) {
        TvErrorCore(E_TV_IMAGEFORMAT);
        return nullptr;
    }
    const auto sx = int32_t(double(source->width) / double(dest->width) * kOne);
    const auto sy = int32_t(double(source->height) / double(dest->height) * kOne);
    if (sx < 2 || sy < 2) {
        TvErrorCore(E_TV_IMAGEFORMAT);
        return nullptr;
    }
    dest->flags =
        (dest->flags & ~kTvImageGammaCorrected) | (source->flags & kTvImageGammaCorrected);
    for (int32_t j = 0; j < dest->height; j++) {
        const int32_t y0 = j * sy;
        const int32_t y1 = y0 + sy - 1;
        uint8_t* out = dest->pixels + size_t(j) * size_t(dest->stride);
        for (int32_t i = 0; i < dest->width; i++) {
            const int32_t x0 = i * sx;
            const int32_t x1 = x0 + sx - 1;
            float area[4] = {0, 0, 0, 0};
            float span[4];
            auto addRow = [&](int32_t row, float weight) {
                TvImageSampleSpan(source, x0, x1, row, span);
                for (int c = 0; c < 4; c++)
                    area[c] += span[c] * weight;
            };
            const int32_t firstRow = y0 >> 16;
            const int32_t lastRow = y1 >> 16;
            if (firstRow == lastRow) {
                addRow(firstRow, float(y1 - y0) / float(kOne));
            } else {
                addRow(firstRow, PartAfter(y0));
                for (int32_t r = firstRow + 1; r < lastRow; r++)
                    addRow(r, 1.0f);
                addRow(lastRow, PartBefore(y1));
            }
            const float cover = float(x1 - x0) / float(kOne) * (float(y1 - y0) / float(kOne));
            for (int c = 0; c < 4; c++) {
                const float v = area[c] / cover * 255.0f + 0.5f;
                out[4 * size_t(i) + size_t(c)] = v >= 255.0f ? 255 : v > 0.0f ? uint8_t(v) : 0;
            }
        }
    }
    dest->counter++;
    return dest;
}
