// Images: pictures in main memory (8-bit with a 256-entry palette, or 32-bit RGBA), the registry
// of image-file readers by extension, the image search path, gamma tables, masks, and the
// conversion of images into rasters and back through the driver.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/plugin.h"
#include "engine/core/raster.h"

struct TvFreeList;
struct TvStream;

// Image flags.
inline constexpr uint32_t kTvImageOwnsPixels = 0x1;
inline constexpr uint32_t kTvImageGammaCorrected = 0x2;

struct TvImage {
    uint32_t flags;
    int32_t width;
    int32_t height;
    int32_t depth;  // 8 or 32 (other depths are stored and copied, never converted)
    int32_t stride; // bytes per row, set when pixels are allocated
    uint8_t* pixels;
    TvRGBA* palette; // 256 entries after the pixels for depth 8, else null
    uint8_t counter; // +1 on every change of pixels or palette
    // image plug-in data follows
};

using TvImageReader = TvImage* (*)(const char* name);
using TvImageWriter = TvImage* (*)(TvImage* image, const char* name);

// "." and at most 18 characters of extension, NUL-terminated.
inline constexpr size_t kTvImageExtensionSize = 20;

struct TvImageFormat {
    char lower[kTvImageExtensionSize];
    char upper[kTvImageExtensionSize];
    TvImageReader reader;
    TvImageWriter writer; // stored only
    TvImageFormat* next;
};

// Image module data (module 0x406).
struct TvImageModule {
    TvFreeList* imageFreeList;
    char* path; // ";"-separated folder prefixes
    int32_t pathCapacity;
    uint8_t gammaTable[256];
    uint8_t inverseGammaTable[256];
    float gamma;
    char* scratch; // file names built along the path
    size_t scratchCapacity;
    TvFreeList* formatFreeList;
    TvImageFormat* formats; // newest first
};

extern TvPluginRegistry TvImageRegistry;

TvImage* TvImageCreate(int32_t width, int32_t height, int32_t depth);
bool TvImageDestroy(TvImage* image);
TvImage* TvImageAllocatePixels(TvImage* image);
TvImage* TvImageFreePixels(TvImage* image);

int32_t TvImageGetWidth(const TvImage* image);
int32_t TvImageGetHeight(const TvImage* image);
int32_t TvImageGetDepth(const TvImage* image);
int32_t TvImageGetStride(const TvImage* image);
uint8_t* TvImageGetPixels(const TvImage* image);
TvRGBA* TvImageGetPalette(const TvImage* image);

TvImage* TvImageCopy(TvImage* dest, const TvImage* source);
TvImage* TvImageMakeMask(TvImage* image);
// A mask smaller than the image, or of a depth other than 8 or 32, is refused.
TvImage* TvImageApplyMask(TvImage* image, const TvImage* mask);

bool TvImageSetGamma(float gamma);
TvImage* TvImageGammaCorrect(TvImage* image);

const char* TvImageSetPath(const char* path);
const char* TvImageGetPath();

// Extensions longer than 18 characters are refused (0).
int32_t TvImageRegisterImageFormat(const char* extension, TvImageReader reader,
                                   TvImageWriter writer);
TvImage* TvImageRead(const char* name);
// Opens the named file as a read stream, decodes it with `read` and closes it again; the shared
// body of the file readers.
TvImage* TvImageReadFileStream(const char* name, TvImage* (*read)(TvStream* stream));
TvImage* TvImageReadMasked(const char* name, const char* maskName);
// The extension form (".jpg", ".JPG", ...) under which `name` exists along the search path,
// newest format first, lower case before upper case; null when none.
const char* TvImageFindFileExtension(const char* name);

TvImage* TvImageFindRasterFormat(TvImage* image, uint32_t flags, int32_t* width, int32_t* height,
                                 int32_t* depth, uint32_t* rasterFlags);
TvImage* TvImageSetFromRaster(TvImage* image, TvRaster* raster);
TvRaster* TvRasterSetFromImage(TvRaster* raster, TvImage* image);
TvRaster* TvRasterRead(const char* name);
TvRaster* TvRasterReadMaskedImage(const char* name, const char* maskName);
uint32_t TvRGBAToPixel(const TvRGBA* colour, uint32_t format);

int32_t TvImageRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                              TvPluginObjectDestructor dtor, TvPluginObjectCopy copy);
