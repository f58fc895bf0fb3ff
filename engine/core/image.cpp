#include "engine/core/image.h"

#include <cctype>
#include <cmath>
#include <cstring>
#include <initializer_list>

#include "engine/core/engine.h"
#include "engine/core/engine_modules.h"
#include "engine/core/error.h"
#include "engine/core/file_interface.h"
#include "engine/core/memory.h"
#include "engine/core/stream.h"

TvPluginRegistry TvImageRegistry = TvPluginRegistryInitial(sizeof(TvImage));

namespace {

TvModuleGlobals imageModule;

TvImageModule* Mod() {
    return TvEngineModuleData<TvImageModule>(imageModule);
}

enum : int32_t {
    kStdRGBAToPixel = 2,
    kStdImageFromRaster = 6,
    kStdRasterFromImage = 7,
    kStdImageRasterFormat = 9,
};

int32_t Standard(int32_t index, void* out, void* in, int32_t number) {
    return TV_ENGINE->standardFunctions[index](out, in, number);
}

constexpr int32_t kInitialPathCapacity = 256;
constexpr size_t kMaxExtensionChars = 18;

int32_t BytesPerPixel(int32_t depth) {
    return (depth + 1) >> 3;
}

bool GrowScratch(size_t bytes) {
    TvImageModule* m = Mod();
    if (bytes <= m->scratchCapacity) return true;
    char* grown = static_cast<char*>(TvRealloc(m->scratch, bytes));
    if (!grown) {
        TvErrorCore(E_TV_NOMEM);
        return false;
    }
    m->scratch = grown;
    m->scratchCapacity = bytes;
    return true;
}

// Runs `step` on the name behind each prefix of the search path (or on the name alone when it is
// absolute or the path is empty) until the step answers true; an empty prefix ends the search.
// The scratch buffer holds the full name, with `spare` bytes after it for the step's use.
template <typename Step> bool PathSearch(const char* name, size_t spare, Step step) {
    TvImageModule* m = Mod();
    const size_t nameLength = std::strlen(name);
    if (TvPathIsAbsolute(name) || m->path[0] == '\0') {
        if (!GrowScratch(nameLength + spare)) return false;
        std::memcpy(m->scratch, name, nameLength + 1);
        return step(m->scratch);
    }
    const char* prefix = m->path;
    while (true) {
        const char* end = std::strchr(prefix, ';');
        const size_t prefixLength = end ? size_t(end - prefix) : std::strlen(prefix);
        if (prefixLength == 0) return false;
        if (!GrowScratch(prefixLength + nameLength + spare)) return false;
        // The prefix may live in the path buffer, never in the scratch buffer.
        std::memcpy(m->scratch, prefix, prefixLength);
        std::memcpy(m->scratch + prefixLength, name, nameLength + 1);
        if (step(m->scratch)) return true;
        if (!end) return false;
        prefix = end + 1;
    }
}

bool FileExists(const char* name) {
    return TvEngineGetFileInterface()->exists(name);
}

// The extension of the file part of a name, its dot included; null when it has none.
const char* Extension(const char* name) {
    const char* file = name;
    if (const char* p = std::strrchr(file, ':')) file = p + 1;
    if (const char* p = std::strrchr(file, '/')) file = p + 1;
    if (const char* p = std::strrchr(file, '\\')) file = p + 1;
    return std::strrchr(file, '.');
}

TvImage* WidenTo32(TvImage* image) {
    TvImage* temp = TvImageCreate(image->width, image->height, 8);
    if (!temp) return nullptr;
    if (!TvImageAllocatePixels(temp) || !TvImageCopy(temp, image) || !TvImageFreePixels(image)) {
        TvImageDestroy(temp);
        return nullptr;
    }
    image->depth = 32;
    TvImage* ok = TvImageAllocatePixels(image) ? TvImageCopy(image, temp) : nullptr;
    TvImageDestroy(temp);
    return ok;
}

uint8_t GammaEntry(int32_t i, double exponent) {
    const double v = 255.0 * std::pow(double(i) / 255.0, exponent) + 0.5;
    if (!(v > 0.0)) return 0; // also NaN from a nonsensical gamma
    return v >= 255.0 ? 255 : uint8_t(v);
}

} // namespace

TvImage* TvImageCreate(int32_t width, int32_t height, int32_t depth) {
    auto* image = static_cast<TvImage*>(TvFreeListAlloc(Mod()->imageFreeList));
    if (!image) return nullptr;
    std::memset(image, 0, sizeof(TvImage));
    image->width = width;
    image->height = height;
    image->depth = depth;
    // A failing plug-in constructor has undone the ones before it; the block goes back.
    if (!TvPluginInitObject(&TvImageRegistry, image)) {
        TvFreeListFree(Mod()->imageFreeList, image);
        return nullptr;
    }
    return image;
}

bool TvImageDestroy(TvImage* image) {
    if ((image->flags & kTvImageOwnsPixels) && image->pixels) TvFree(image->pixels);
    TvPluginDeinitObject(&TvImageRegistry, image);
    TvFreeListFree(Mod()->imageFreeList, image);
    return true;
}

TvImage* TvImageAllocatePixels(TvImage* image) {
    if ((image->flags & kTvImageOwnsPixels) || image->pixels) return nullptr;
    // 64-bit size arithmetic: a size that cannot be held is an allocation that fails.
    const int64_t rowBytes = int64_t(BytesPerPixel(image->depth)) * image->width;
    const int64_t stride = (rowBytes + 3) & ~int64_t(3);
    const int64_t paletteBytes = image->depth == 8 ? 256 * int64_t(sizeof(TvRGBA)) : 0;
    if (image->width < 0 || image->height < 0 || image->depth < 0 || stride > INT32_MAX ||
        (image->height > 0 && stride > (INT64_MAX - paletteBytes) / image->height)) {
        TvErrorCore(E_TV_NOMEM);
        return nullptr;
    }
    const int64_t total = stride * image->height + paletteBytes;
    if (uint64_t(total) > SIZE_MAX) {
        TvErrorCore(E_TV_NOMEM);
        return nullptr;
    }
    auto* block = static_cast<uint8_t*>(TvMalloc(total > 0 ? size_t(total) : 1));
    if (!block) {
        TvErrorCore(E_TV_NOMEM);
        return nullptr;
    }
    image->stride = int32_t(stride);
    image->pixels = block;
    image->palette =
        image->depth == 8 ? reinterpret_cast<TvRGBA*>(block + stride * image->height) : nullptr;
    image->flags |= kTvImageOwnsPixels;
    image->counter++;
    return image;
}

TvImage* TvImageFreePixels(TvImage* image) {
    if (!(image->flags & kTvImageOwnsPixels) || !image->pixels) {
        TvErrorCore(E_TV_FORMATCONVERSION);
        return nullptr;
    }
    TvFree(image->pixels);
    image->pixels = nullptr;
    image->palette = nullptr;
    image->flags &= ~kTvImageOwnsPixels;
    image->counter++;
    return image;
}

int32_t TvImageGetWidth(const TvImage* image) {
    return image->width;
}
int32_t TvImageGetHeight(const TvImage* image) {
    return image->height;
}
int32_t TvImageGetDepth(const TvImage* image) {
    return image->depth;
}
int32_t TvImageGetStride(const TvImage* image) {
    return image->stride;
}
uint8_t* TvImageGetPixels(const TvImage* image) {
    return image->pixels;
}
TvRGBA* TvImageGetPalette(const TvImage* image) {
    return image->palette;
}

TvImage* TvImageCopy(TvImage* dest, const TvImage* source) {
    // Both sides must hold pixels of the same size; anything else cannot be converted.
    const bool sized = dest->pixels && source->pixels && dest->width == source->width &&
                       dest->height == source->height;
    if (sized && dest->depth == source->depth) {
        if (dest->palette && source->palette && dest->depth <= 8)
            std::memcpy(dest->palette, source->palette, 256 * sizeof(TvRGBA));
        const size_t rowBytes = size_t(BytesPerPixel(dest->depth)) * size_t(dest->width);
        for (int32_t y = 0; y < dest->height; y++)
            std::memcpy(dest->pixels + size_t(y) * dest->stride,
                        source->pixels + size_t(y) * source->stride, rowBytes);
    } else if (sized && dest->depth == 32 && source->depth == 8 && source->palette) {
        for (int32_t y = 0; y < dest->height; y++) {
            const uint8_t* in = source->pixels + size_t(y) * source->stride;
            auto* out = reinterpret_cast<TvRGBA*>(dest->pixels + size_t(y) * dest->stride);
            for (int32_t x = 0; x < dest->width; x++)
                out[x] = source->palette[in[x]];
        }
    } else {
        TvErrorCore(E_TV_FORMATCONVERSION);
        return nullptr;
    }
    dest->counter++;
    return dest;
}

TvImage* TvImageMakeMask(TvImage* image) {
    auto toAlpha = [](TvRGBA& c) {
        uint8_t m = c.red > c.green ? c.red : c.green;
        c.alpha = m > c.blue ? m : c.blue;
    };
    if (image->depth == 8 && image->palette) {
        for (int32_t i = 0; i < 256; i++)
            toAlpha(image->palette[i]);
    } else if (image->depth == 32 && image->pixels) {
        for (int32_t y = 0; y < image->height; y++) {
            auto* row = reinterpret_cast<TvRGBA*>(image->pixels + size_t(y) * image->stride);
            for (int32_t x = 0; x < image->width; x++)
                toAlpha(row[x]);
        }
    }
    image->counter++;
    return image;
}

TvImage* TvImageApplyMask(TvImage* image, const TvImage* mask) {
    // Nothing may be read outside the mask: it must cover the image and be a depth read here.
    const bool maskOk = mask->pixels && (mask->depth == 32 || (mask->depth == 8 && mask->palette));
    if (!maskOk || (image->depth != 8 && image->depth != 32)) {
        TvErrorCore(E_TV_FORMATCONVERSION);
        return nullptr;
    }
    if (mask->width < image->width || mask->height < image->height) {
        TvErrorCore(E_TV_INVALIDPARAM);
        return nullptr;
    }
    if (image->depth == 8 && !WidenTo32(image)) return nullptr;
    if (!image->pixels) return nullptr;
    for (int32_t y = 0; y < image->height; y++) {
        auto* row = reinterpret_cast<TvRGBA*>(image->pixels + size_t(y) * image->stride);
        const uint8_t* in = mask->pixels + size_t(y) * mask->stride;
        for (int32_t x = 0; x < image->width; x++)
            row[x].alpha = mask->depth == 8 ? mask->palette[in[x]].alpha : in[4 * x + 3];
    }
    image->counter++;
    return image;
}

bool TvImageSetGamma(float gamma) {
    TvImageModule* m = Mod();
    m->gamma = gamma;
    m->gammaTable[0] = 0;
    m->inverseGammaTable[0] = 0;
    for (int32_t i = 1; i < 256; i++) {
        m->gammaTable[i] = GammaEntry(i, 1.0 / double(gamma));
        m->inverseGammaTable[i] = GammaEntry(i, double(gamma));
    }
    return true;
}

TvImage* TvImageGammaCorrect(TvImage* image) {
    const uint8_t* table = Mod()->gammaTable;
    auto correct = [table](TvRGBA& c) {
        c.red = table[c.red];
        c.green = table[c.green];
        c.blue = table[c.blue];
    };
    if (image->depth == 8) {
        if (!image->palette) {
            TvErrorCore(E_TV_NULLP);
            return nullptr;
        }
        for (int32_t i = 0; i < 256; i++)
            correct(image->palette[i]);
    } else {
        if (!image->pixels) {
            TvErrorCore(E_TV_NULLP);
            return nullptr;
        }
        // Only 32-bit pixels are corrected; a row of another depth is too short to be walked as
        // 4-byte pixels.
        if (image->depth != 32) {
            TvErrorCore(E_TV_FORMATCONVERSION);
            return nullptr;
        }
        for (int32_t y = 0; y < image->height; y++) {
            auto* row = reinterpret_cast<TvRGBA*>(image->pixels + size_t(y) * image->stride);
            for (int32_t x = 0; x < image->width; x++)
                correct(row[x]);
        }
    }
    image->flags |= kTvImageGammaCorrected;
    return image;
}

const char* TvImageSetPath(const char* path) {
    TvImageModule* m = Mod();
    const size_t length = std::strlen(path);
    if (length + 1 > size_t(m->pathCapacity)) {
        if (length + 1 > size_t(INT32_MAX)) {
            TvErrorCore(E_TV_NOMEM);
            return nullptr;
        }
        char* grown = static_cast<char*>(TvRealloc(m->path, length + 1));
        if (!grown) {
            TvErrorCore(E_TV_NOMEM);
            return nullptr;
        }
        m->path = grown;
        m->pathCapacity = int32_t(length + 1);
    }
    std::memmove(m->path, path, length + 1);
    return m->path;
}

const char* TvImageGetPath() {
    return Mod()->path;
}

int32_t TvImageRegisterImageFormat(const char* extension, TvImageReader reader,
                                   TvImageWriter writer) {
    TvImageModule* m = Mod();
    const size_t length = std::strlen(extension);
    if (length > kMaxExtensionChars) {
        TvErrorCore(E_TV_INVALIDPARAM);
        return 0;
    }
    char lower[kTvImageExtensionSize] = ".";
    char upper[kTvImageExtensionSize] = ".";
    for (size_t i = 0; i < length; i++) {
        lower[i + 1] = char(std::tolower(static_cast<unsigned char>(extension[i])));
        upper[i + 1] = char(std::toupper(static_cast<unsigned char>(extension[i])));
    }
    TvImageFormat* format = m->formats;
    while (format && std::strcmp(format->lower, lower) != 0)
        format = format->next;
    if (!format) {
        format = static_cast<TvImageFormat*>(TvFreeListAlloc(m->formatFreeList));
        if (!format) return 0;
        std::memcpy(format->lower, lower, sizeof lower);
        std::memcpy(format->upper, upper, sizeof upper);
        format->reader = nullptr;
        format->writer = nullptr;
        format->next = m->formats;
        m->formats = format;
    }
    if (reader) format->reader = reader;
    if (writer) format->writer = writer;
    return 1;
}

TvImage* TvImageRead(const char* name) {
    const char* extension = Extension(name);
    if (!extension) return nullptr;
    const TvImageFormat* format = Mod()->formats;
    // Exact case: ".bmp" and ".BMP" match a format registered as "bmp", ".Bmp" does not.
    while (format && std::strcmp(extension, format->lower) != 0 &&
           std::strcmp(extension, format->upper) != 0)
        format = format->next;
    if (!format || !format->reader) return nullptr;
    TvImageReader reader = format->reader;
    TvImage* image = nullptr;
    PathSearch(name, 5, [&](const char* full) {
        if (FileExists(full)) image = reader(full);
        return image != nullptr;
    });
    return image;
}

TvImage* TvImageReadFileStream(const char* name, TvImage* (*read)(TvStream* stream)) {
    TvStream* stream = TvStreamOpen(TV_STREAM_FILENAME, TV_STREAM_READ, name);
    if (!stream) return nullptr;
    TvImage* image = read(stream);
    TvStreamClose(stream, nullptr);
    return image;
}

TvImage* TvImageReadMasked(const char* name, const char* maskName) {
    TvImage* image = TvImageRead(name);
    if (!image || !maskName || maskName[0] == '\0') return image;
    TvImage* mask = TvImageRead(maskName);
    if (!mask) {
        TvImageDestroy(image);
        return nullptr;
    }
    const bool ok = TvImageMakeMask(mask) && TvImageApplyMask(image, mask);
    TvImageDestroy(mask);
    if (!ok) {
        TvImageDestroy(image);
        return nullptr;
    }
    return image;
}

const char* TvImageFindFileExtension(const char* name) {
    const char* found = nullptr;
    PathSearch(name, kTvImageExtensionSize, [&](char* full) {
        char* end = full + std::strlen(full);
        for (const TvImageFormat* f = Mod()->formats; f; f = f->next) {
            for (const char* form : {f->lower, f->upper}) {
                std::strcpy(end, form);
                if (FileExists(full)) {
                    found = form;
                    break;
                }
            }
            if (found) break;
        }
        *end = '\0';
        return found != nullptr;
    });
    return found;
}

TvImage* TvImageFindRasterFormat(TvImage* image, uint32_t flags, int32_t* width, int32_t* height,
                                 int32_t* depth, uint32_t* rasterFlags) {
    // A whole record, so that the driver may touch its own data in it.
    auto* raster = static_cast<TvRaster*>(TvCalloc(1, size_t(TvRasterRegistry.sizeOfStruct)));
    if (!raster) {
        TvErrorCore(E_TV_NOMEM);
        return nullptr;
    }
    raster->parent = raster;
    const bool ok = Standard(kStdImageRasterFormat, raster, image, int32_t(flags)) != 0;
    if (ok) {
        *width = raster->width;
        *height = raster->height;
        *depth = raster->depth;
        *rasterFlags = uint32_t(raster->format) << 8 | raster->type;
    }
    TvFree(raster);
    return ok ? image : nullptr;
}

TvImage* TvImageSetFromRaster(TvImage* image, TvRaster* raster) {
    if (!Standard(kStdImageFromRaster, image, raster, 0)) return nullptr;
    if (raster->privateFlags & 1) image->flags |= kTvImageGammaCorrected;
    return image;
}

TvRaster* TvRasterSetFromImage(TvRaster* raster, TvImage* image) {
    if (!Standard(kStdRasterFromImage, raster, image, 0)) return nullptr;
    if (image->flags & kTvImageGammaCorrected) raster->privateFlags |= 1;
    return raster;
}

namespace {
TvRaster* RasterFromImage(TvImage* image) {
    if (!image) return nullptr;
    TvRaster* raster = TvRasterCreate(image->width, image->height, 0, 0);
    if (raster) TvRasterSetFromImage(raster, image);
    TvImageDestroy(image);
    return raster;
}
} // namespace

TvRaster* TvRasterRead(const char* name) {
    return RasterFromImage(TvImageRead(name));
}

TvRaster* TvRasterReadMaskedImage(const char* name, const char* maskName) {
    return RasterFromImage(TvImageReadMasked(name, maskName));
}

uint32_t TvRGBAToPixel(const TvRGBA* colour, uint32_t format) {
    uint32_t pixel = 0;
    TvRGBA c = *colour;
    Standard(kStdRGBAToPixel, &pixel, &c, int32_t(format));
    return pixel;
}

int32_t TvImageRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                              TvPluginObjectDestructor dtor, TvPluginObjectCopy copy) {
    return TvPluginRegister(&TvImageRegistry, size, pluginId, ctor, dtor, copy);
}

const int32_t _TvImageModuleDataSize = sizeof(TvImageModule);

void* _TvImageModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* m = static_cast<TvImageModule*>(TvEngineInstanceData(instance, offset));
    std::memset(m, 0, sizeof(TvImageModule));
    m->imageFreeList = TvFreeListCreate(size_t(TvImageRegistry.sizeOfStruct), 20);
    m->formatFreeList = TvFreeListCreate(sizeof(TvImageFormat), 3);
    m->path = static_cast<char*>(TvMalloc(kInitialPathCapacity));
    if (!m->imageFreeList || !m->formatFreeList || !m->path) {
        if (m->imageFreeList) TvFreeListDestroy(m->imageFreeList);
        if (m->formatFreeList) TvFreeListDestroy(m->formatFreeList);
        if (m->path) TvFree(m->path);
        std::memset(m, 0, sizeof(TvImageModule));
        return nullptr;
    }
    m->path[0] = '\0';
    m->pathCapacity = kInitialPathCapacity;
    void* result = TvModuleOpened(imageModule, instance, offset);
    TvImageSetGamma(1.0f);
    return result;
}

void* _TvImageModuleClose(void* instance, int32_t offset, int32_t) {
    auto* m = static_cast<TvImageModule*>(TvEngineInstanceData(instance, offset));
    if (m->scratch) TvFree(m->scratch);
    if (m->path) TvFree(m->path);
    for (TvImageFormat* f = m->formats; f;) {
        TvImageFormat* next = f->next;
        TvFreeListFree(m->formatFreeList, f);
        f = next;
    }
    TvFreeListDestroy(m->formatFreeList);
    TvFreeListDestroy(m->imageFreeList);
    std::memset(m, 0, sizeof(TvImageModule));
    return TvModuleClosed(imageModule, instance);
}
