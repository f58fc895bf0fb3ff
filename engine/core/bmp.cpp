#include "engine/core/bmp.h"

#include <cstring>

#include "engine/core/bytes.h"
#include "engine/core/error.h"
#include "engine/core/image.h"
#include "engine/core/memory.h"
#include "engine/core/stream.h"

namespace {

constexpr uint32_t kCoreHeaderSize = 12;
constexpr uint32_t kInfoHeaderSize = 40;
constexpr uint32_t kLargestHeaderSize = 124;

struct BmpHeader {
    uint32_t pixelOffset;
    uint32_t headerSize;
    int32_t width;
    int32_t height;
    int32_t bits;
    uint32_t compression;
    int32_t colours;
};

bool ReadExact(TvStream* s, void* buffer, uint32_t length) {
    return TvStreamRead(s, buffer, length) == length;
}

// Reads the file and bitmap headers; false (with the error set where the format gives one) when
// the picture is outside the supported subset.
bool ReadHeader(TvStream* s, BmpHeader& h) {
    uint8_t file[18];
    if (!ReadExact(s, file, sizeof file) || TvLoadU16(file) != 0x4D42) return false;
    h.pixelOffset = TvLoadU32(file + 10);
    h.headerSize = TvLoadU32(file + 14);
    if (h.headerSize != kCoreHeaderSize &&
        (h.headerSize < kInfoHeaderSize || h.headerSize > kLargestHeaderSize)) {
        TvErrorCore(E_TV_FORMATCONVERSION);
        return false;
    }
    uint8_t info[kLargestHeaderSize];
    if (!ReadExact(s, info, h.headerSize - 4)) return false;
    if (h.headerSize == kCoreHeaderSize) {
        h.width = int16_t(TvLoadU16(info));
        h.height = int16_t(TvLoadU16(info + 2));
        h.bits = TvLoadU16(info + 6);
        h.compression = 0;
    } else {
        h.width = int32_t(TvLoadU32(info));
        h.height = int32_t(TvLoadU32(info + 4));
        h.bits = TvLoadU16(info + 10);
        h.compression = TvLoadU32(info + 12);
    }
    if (h.compression == 2) {
        TvErrorCore(E_TV_FORMATCONVERSION);
        return false;
    }
    if (h.bits != 1 && h.bits != 4 && h.bits != 8 && h.bits != 24) {
        TvErrorCore(E_TV_IMAGEFORMAT);
        return false;
    }
    const int32_t full = h.bits == 24 ? 0 : 1 << h.bits;
    h.colours = full;
    if (h.headerSize != kCoreHeaderSize) {
        const uint32_t used = TvLoadU32(info + 28);
        if (used > 0 && used <= uint32_t(full)) h.colours = int32_t(used);
    }
    // Rows stored top-down (negative height), empty pictures and huge ones are refused.
    if (h.width <= 0 || h.height <= 0 || int64_t(h.width) * h.height > kTvBMPMaxPixels) {
        TvErrorCore(E_TV_NOMEM);
        return false;
    }
    return true;
}

int64_t FileRowBytes(const BmpHeader& h) {
    return ((int64_t(h.bits) * h.width + 7) / 8 + 3) & ~int64_t(3);
}

bool ReadPalette(TvStream* s, const BmpHeader& h, TvImage* image, uint32_t& consumed) {
    uint32_t entrySize;
    if (h.headerSize == kCoreHeaderSize)
        entrySize = 3;
    else if (h.headerSize == kInfoHeaderSize)
        entrySize = 4;
    else {
        TvErrorCore(E_TV_FORMATCONVERSION);
        return false;
    }
    uint8_t table[256 * 4];
    const uint32_t bytes = entrySize * uint32_t(h.colours);
    if (!ReadExact(s, table, bytes)) return false;
    consumed += bytes;
    for (int32_t i = 0; i < h.colours; i++) {
        const uint8_t* e = table + size_t(i) * entrySize;
        image->palette[i] = TvRGBA{e[2], e[1], e[0], 255};
    }
    return true;
}

bool ReadUncompressed(TvStream* s, const BmpHeader& h, TvImage* image, uint8_t* row) {
    const uint32_t rowBytes = uint32_t(FileRowBytes(h));
    for (int32_t k = 0; k < h.height; k++) {
        if (!ReadExact(s, row, rowBytes)) return false;
        TvImageReadBMPRow(image, h.height - 1 - k, row, h.bits, false);
    }
    return true;
}

// The row buffer: 3 x the width rounded up to a multiple of 8 bytes.
size_t RowBufferBytes(const BmpHeader& h) {
    return 3 * ((size_t(h.width) + 7) & ~size_t(7));
}

// Run-length encoded 8-bit rows, decoded into the row buffer. Writers pad each row's codes
// past the width (to 4 bytes, say); those pixels land in the buffer and are dropped when the
// row is converted. Only runs and literal blocks that would pass the buffer are refused.
bool ReadRLE8(TvStream* s, const BmpHeader& h, TvImage* image, uint8_t* row) {
    const int32_t capacity = int32_t(RowBufferBytes(h));
    int32_t position = 0;
    int32_t finished = 0;
    auto finishRow = [&](int32_t imageRow) {
        TvImageReadBMPRow(image, imageRow, row, 8, false);
        std::memset(row, 0, size_t(h.width));
        position = 0;
    };
    while (finished < h.height) {
        uint8_t pair[2];
        if (!ReadExact(s, pair, 2)) return false;
        if (pair[0] > 0) {
            if (pair[0] > capacity - position) return false;
            std::memset(row + position, pair[1], pair[0]);
            position += pair[0];
        } else if (pair[1] > 2) {
            const int32_t count = pair[1];
            if (count > capacity - position || !ReadExact(s, row + position, uint32_t(count)))
                return false;
            position += count;
            uint8_t pad;
            if ((count & 1) && !ReadExact(s, &pad, 1)) return false;
        } else if (pair[1] == 0) {
            finishRow(h.height - 1 - finished);
            finished++;
        } else if (pair[1] == 1) {
            finishRow(0);
            finished = h.height;
        } else {
            return false; // delta
        }
    }
    return true;
}

} // namespace

bool TvImageReadBMPRow(TvImage* image, int32_t row, const uint8_t* source, int32_t sourceBits,
                       bool sourceIsRGB) {
    uint8_t* out = image->pixels + size_t(row) * size_t(image->stride);
    const int32_t width = image->width;
    if (image->depth == 8 && sourceBits == 1) {
        for (int32_t x = 0; x < width; x++)
            out[x] = (source[x >> 3] >> (7 - (x & 7))) & 1;
    } else if (image->depth == 8 && sourceBits == 4) {
        for (int32_t x = 0; x < width; x++)
            out[x] = (x & 1) ? source[x >> 1] & 0x0F : source[x >> 1] >> 4;
    } else if (image->depth == 8 && sourceBits == 8) {
        std::memcpy(out, source, size_t(width));
    } else if (image->depth == 32 && sourceBits == 24) {
        for (int32_t x = 0; x < width; x++) {
            const uint8_t* p = source + 3 * size_t(x);
            uint8_t* q = out + 4 * size_t(x);
            q[0] = sourceIsRGB ? p[0] : p[2];
            q[1] = p[1];
            q[2] = sourceIsRGB ? p[2] : p[0];
            q[3] = 255;
        }
    } else {
        TvErrorCore(E_TV_IMAGEFORMAT);
        return false;
    }
    return true;
}

TvImage* TvImageReadBMPStream(TvStream* stream) {
    BmpHeader h;
    if (!ReadHeader(stream, h)) return nullptr;
    const bool rle = h.compression != 0 && h.bits != 24;
    if (rle && !(h.compression == 1 && h.bits == 8)) {
        TvErrorCore(E_TV_FORMATCONVERSION);
        return nullptr;
    }
    // A few bytes of run-length codes can claim any size, so compressed pictures are held to
    // what textures and screen pictures use before the image is allocated.
    if (rle && (h.width > kTvBMPMaxCompressedSide || h.height > kTvBMPMaxCompressedSide)) {
        TvErrorCore(E_TV_NOMEM);
        return nullptr;
    }
    // When the stream's length is known, uncompressed rows must all be there before any memory
    // is spent on them.
    if (!rle && stream->size > 0 &&
        uint64_t(h.pixelOffset) + uint64_t(FileRowBytes(h)) * uint64_t(h.height) > stream->size)
        return nullptr;

    TvImage* image = TvImageCreate(h.width, h.height, h.bits == 24 ? 32 : 8);
    if (!image) return nullptr;
    uint8_t* row = nullptr;
    bool ok = TvImageAllocatePixels(image) != nullptr;
    uint32_t consumed = 14 + h.headerSize;
    if (ok) {
        std::memset(image->pixels, 0, size_t(image->stride) * size_t(image->height));
        if (image->palette) std::memset(image->palette, 0, 256 * sizeof(TvRGBA));
        if (h.bits != 24) ok = ReadPalette(stream, h, image, consumed);
    }
    ok = ok && h.pixelOffset >= consumed && TvStreamSkip(stream, h.pixelOffset - consumed);
    if (ok) {
        row = static_cast<uint8_t*>(TvCalloc(1, RowBufferBytes(h)));
        if (!row) TvErrorCore(E_TV_NOMEM);
        ok = row != nullptr;
    }
    if (ok) ok = rle ? ReadRLE8(stream, h, image, row) : ReadUncompressed(stream, h, image, row);
    if (row) TvFree(row);
    if (!ok) {
        TvImageDestroy(image);
        return nullptr;
    }
    return image;
}

TvImage* TvImageReadBMP(const char* name) {
    return TvImageReadFileStream(name, TvImageReadBMPStream);
}
