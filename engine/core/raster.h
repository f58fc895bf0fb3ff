// Rasters: rectangles of pixels (frame buffers, z-buffers, textures, pictures) created, locked,
// drawn and shown through the driver's standard functions, and the raster context stack.
#pragma once

#include <cstdint>

#include "engine/core/plugin.h"

struct TvFreeList;

// A colour: red, green, blue, alpha bytes in memory order.
struct TvRGBA {
    uint8_t red;
    uint8_t green;
    uint8_t blue;
    uint8_t alpha;
};

struct TvRect {
    int32_t x;
    int32_t y;
    int32_t w;
    int32_t h;
};

struct TvRaster {
    TvRaster* parent; // top-level raster that owns the pixels
    uint8_t* pixels;  // set by the driver, for example while locked
    uint8_t* palette;
    int32_t width;
    int32_t height;
    int32_t depth; // bits per pixel; 0 lets the driver choose
    int32_t stride;
    uint16_t offsetX; // within the top-level raster
    uint16_t offsetY;
    uint8_t type;         // create flags & 7
    uint8_t createFlags;  // low byte of the create flags without the type bits
    uint8_t privateFlags; // bit 0: gamma-corrected pixels
    uint8_t format;       // second byte of the create flags
    uint8_t counter;      // +1 each time the raster is made a sub-raster
    // raster plug-in data follows
};

// Create flags: type in bits 0-2, then flags, then the format byte in bits 8-15.
inline constexpr uint32_t kTvRasterTypeNormal = 0x00;
inline constexpr uint32_t kTvRasterTypeZBuffer = 0x01;
inline constexpr uint32_t kTvRasterTypeCamera = 0x02;
inline constexpr uint32_t kTvRasterTypeTexture = 0x04;
inline constexpr uint32_t kTvRasterTypeMask = 0x07;
inline constexpr uint32_t kTvRasterDontAllocate = 0x80; // no pixels of its own

inline constexpr uint32_t kTvRasterFormat1555 = 0x0100;
inline constexpr uint32_t kTvRasterFormat565 = 0x0200;
inline constexpr uint32_t kTvRasterFormat4444 = 0x0300;
inline constexpr uint32_t kTvRasterFormat8888 = 0x0500;
inline constexpr uint32_t kTvRasterFormat888 = 0x0600;
inline constexpr uint32_t kTvRasterFormat16 = 0x0700;
inline constexpr uint32_t kTvRasterFormat24 = 0x0800;
inline constexpr uint32_t kTvRasterFormat32 = 0x0900;
inline constexpr uint32_t kTvRasterFormatPixelMask = 0x0F00;
inline constexpr uint32_t kTvRasterFormatPal8 = 0x2000;
inline constexpr uint32_t kTvRasterFormatPal4 = 0x4000;
inline constexpr uint32_t kTvRasterFormatMipMap = 0x8000;

inline constexpr int32_t kTvRasterContextStackSize = 10;

// Raster module data (module 0x407).
struct TvRasterModule {
    TvRaster* contextStack[kTvRasterContextStackSize];
    int32_t contextTop; // 0 when nothing is pushed
    // The empty raster that stack entry 0 names; a whole record of the registry's size, so that
    // plug-in data read through it (the driver's among it) lies inside the allocation.
    TvRaster* emptyRaster;
    TvFreeList* freeList;
};

extern TvPluginRegistry TvRasterRegistry;

TvRaster* TvRasterCreate(int32_t width, int32_t height, int32_t depth, uint32_t flags);
bool TvRasterDestroy(TvRaster* raster);
uint32_t TvRasterGetFormat(const TvRaster* raster);
TvRaster* TvRasterSubRaster(TvRaster* raster, TvRaster* parent, const TvRect* rect);
TvRaster* TvRasterPushContext(TvRaster* raster);
TvRaster* TvRasterPopContext();
TvRaster* TvRasterRender(TvRaster* raster, int32_t x, int32_t y);
TvRaster* TvRasterRenderFast(TvRaster* raster, int32_t x, int32_t y);
TvRaster* TvRasterRenderScaled(TvRaster* raster, const TvRect* rect);
bool TvRasterClear(int32_t pixelValue);
TvRaster* TvRasterShowRaster(TvRaster* raster, void* window, uint32_t flags);
uint8_t* TvRasterLock(TvRaster* raster, int32_t lockMode);
TvRaster* TvRasterUnlock(TvRaster* raster);
int32_t TvRasterRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                               TvPluginObjectDestructor dtor, TvPluginObjectCopy copy);
