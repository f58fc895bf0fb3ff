#include "shell/screendump.h"

#include "engine/core/camera.h"
#include "engine/core/image.h"
#include "engine/core/memory.h"
#include "engine/core/raster.h"
#include "shell/bytes.h"
#include "shell/gamemain.h"

#include <cstdio>
#include <cstring>

int32_t gMV2DumpCounter = 0;

namespace {
constexpr uint32_t kHeadersSize = 54;
constexpr uint32_t kInfoHeaderSize = 40;
} // namespace

int32_t MV2WriteBmpFile(const TvImage* image, const char* path) {
    if (!image || !path || TvImageGetDepth(image) != 32) return 0;
    int32_t width = TvImageGetWidth(image), height = TvImageGetHeight(image);
    const uint8_t* pixels = TvImageGetPixels(image);
    if (width <= 0 || height <= 0 || !pixels) return 0;
    uint32_t rowSize = (uint32_t(width) * 3 + 3) & ~3u;
    auto* row = static_cast<uint8_t*>(TvMalloc(rowSize));
    if (!row) return 0;
    FILE* file = std::fopen(path, "wb");
    if (!file) {
        TvFree(row);
        return 0;
    }
    uint8_t head[kHeadersSize] = {'B', 'M'};
    MV2WriteU32(head + 2, kHeadersSize + uint32_t(height) * rowSize);
    MV2WriteU32(head + 10, kHeadersSize);
    MV2WriteU32(head + 14, kInfoHeaderSize);
    MV2WriteU32(head + 18, uint32_t(width));
    MV2WriteU32(head + 22, uint32_t(height));
    head[26] = 1;  // planes
    head[28] = 24; // bits per pixel
    bool ok = std::fwrite(head, 1, sizeof head, file) == sizeof head;
    // Filler bytes at the row ends stay 0.
    std::memset(row, 0, rowSize);
    int32_t stride = TvImageGetStride(image);
    for (int32_t y = height - 1; ok && y >= 0; --y) {
        const uint8_t* src = pixels + size_t(y) * size_t(stride);
        for (int32_t x = 0; x < width; ++x) {
            row[x * 3 + 0] = src[x * 4 + 2];
            row[x * 3 + 1] = src[x * 4 + 1];
            row[x * 3 + 2] = src[x * 4 + 0];
        }
        ok = std::fwrite(row, 1, rowSize, file) == rowSize;
    }
    ok = std::fclose(file) == 0 && ok;
    TvFree(row);
    return ok ? 1 : 0;
}

int32_t MV2ScreenDump(TvRaster* raster) {
    if (!raster && gMV2MainCamera) raster = TvCameraGetRaster(gMV2MainCamera);
    if (!raster) return 0;
    // The writer takes 32-bit images only, so an 8-bit raster is refused.
    if (raster->depth == 8) return 0;
    TvImage* image = TvImageCreate(raster->width, raster->height, 32);
    if (!image) return 0;
    int32_t result = 0;
    if (TvImageAllocatePixels(image) && TvImageSetFromRaster(image, raster)) {
        char name[32];
        std::snprintf(name, sizeof name, "dump%d.bmp", int(gMV2DumpCounter));
        ++gMV2DumpCounter;
        result = MV2WriteBmpFile(image, name);
    }
    return TvImageDestroy(image) && result ? 1 : 0;
}
