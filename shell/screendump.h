// Screen dump: the current frame saved as a numbered 24-bit BMP file in the working folder.
#pragma once

#include <cstdint>

struct TvImage;
struct TvRaster;

// The number of the next dump ("dump%d.bmp").
extern int32_t gMV2DumpCounter;

// Null dumps the main camera's frame buffer; 1 written, 0 failed (8-bit rasters are refused).
int32_t MV2ScreenDump(TvRaster* raster);
// Writes a 32-bit image as a 24-bit bottom-up BMP file; 1 written, 0 failed.
int32_t MV2WriteBmpFile(const TvImage* image, const char* path);
