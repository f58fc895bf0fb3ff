#include "game/objects/jpeg.h"

// clang-format off
#include <csetjmp>
#include <cstring>
#include <cstdio>
#include <jpeglib.h>
#include <jerror.h>
// clang-format on

#include "engine/core/image.h"
#include "engine/core/stream.h"

namespace {

constexpr size_t kBufferSize = 4096;

struct MV2JpegStreamSource {
    jpeg_source_mgr pub;
    TvStream* stream;
    JOCTET* buffer;
    boolean startOfFile;
    boolean ended; // the stream ran out and an end-of-image code was supplied
};

// The standard error manager, except that a fatal error jumps back to the reader, which frees
// everything and answers null: a bad picture never ends the program.
struct JumpingErrors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void ErrorExit(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<JumpingErrors*>(cinfo->err)->jump, 1);
}

void InitSource(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<MV2JpegStreamSource*>(cinfo->src);
    src->startOfFile = TRUE;
    src->ended = FALSE;
}

boolean FillInputBuffer(j_decompress_ptr cinfo) {
    auto* src = reinterpret_cast<MV2JpegStreamSource*>(cinfo->src);
    size_t count = TvStreamRead(src->stream, src->buffer, kBufferSize);
    if (count == 0) {
        if (src->startOfFile) ERREXIT(cinfo, JERR_INPUT_EMPTY);
        WARNMS(cinfo, JWRN_JPEG_EOF);
        src->ended = TRUE;
        src->buffer[0] = 0xFF;
        src->buffer[1] = JPEG_EOI;
        count = 2;
    }
    src->pub.next_input_byte = src->buffer;
    src->pub.bytes_in_buffer = count;
    src->startOfFile = FALSE;
    return TRUE;
}

void SkipInputData(j_decompress_ptr cinfo, long count) {
    if (count <= 0) return;
    auto* src = reinterpret_cast<MV2JpegStreamSource*>(cinfo->src);
    while (size_t(count) > src->pub.bytes_in_buffer) {
        count -= long(src->pub.bytes_in_buffer);
        FillInputBuffer(cinfo);
    }
    src->pub.next_input_byte += count;
    src->pub.bytes_in_buffer -= size_t(count);
}

void TermSource(j_decompress_ptr) {}

// Rows from `first` to the bottom become opaque black.
void FillOpaqueBlack(TvImage* image, int32_t first) {
    uint8_t* row = image->pixels + size_t(first) * size_t(image->stride);
    for (int32_t x = 0; x < image->width; x++) {
        row[4 * x] = row[4 * x + 1] = row[4 * x + 2] = 0;
        row[4 * x + 3] = 255;
    }
    for (int32_t y = first + 1; y < image->height; y++)
        std::memcpy(image->pixels + size_t(y) * size_t(image->stride), row,
                    4 * size_t(image->width));
}

// Decodes into a new image; fatal library errors longjmp out to the caller's handler, so
// nothing here owns anything that needs unwinding.
TvImage* Decode(jpeg_decompress_struct* cinfo, TvImage* volatile* image) {
    if (jpeg_read_header(cinfo, TRUE) != JPEG_HEADER_OK) return nullptr;
    if (cinfo->image_width > JDIMENSION(kMV2JpegMaxSide) ||
        cinfo->image_height > JDIMENSION(kMV2JpegMaxSide))
        return nullptr;
    // Colour and grey pictures are converted by the library straight into the image's red,
    // green, blue, 255 layout, saving a copy of every row; other colour spaces take the copy.
    const bool direct =
        cinfo->out_color_space == JCS_RGB || cinfo->out_color_space == JCS_GRAYSCALE;
    if (direct) cinfo->out_color_space = JCS_EXT_RGBA;
    // A file of several scans is read whole before the first row comes out, and what arrived
    // spreads over the whole picture; only a single scan decodes row by row from its data.
    const bool rowByRow = !jpeg_has_multiple_scans(cinfo);
    jpeg_start_decompress(cinfo);
    const JDIMENSION width = cinfo->output_width;
    const JDIMENSION height = cinfo->output_height;
    const int components = cinfo->output_components;
    if (width == 0 || height == 0) return nullptr;
    *image = TvImageCreate(int32_t(width), int32_t(height), 32);
    if (!*image || !TvImageAllocatePixels(*image)) return nullptr;
    TvImage* out = *image;
    JSAMPARRAY row =
        direct ? nullptr
               : (*cinfo->mem->alloc_sarray)(reinterpret_cast<j_common_ptr>(cinfo), JPOOL_IMAGE,
                                             width * JDIMENSION(components), 1);
    // Once the data of a single scan has ended, the library would decode every remaining row
    // from nothing. Rows whose decoding read the last real bytes lie at most two bands of 8 x
    // the vertical sampling factor below the row being read then; decoding stops after those.
    const auto* src = reinterpret_cast<const MV2JpegStreamSource*>(cinfo->src);
    const JDIMENSION band = JDIMENSION(cinfo->max_v_samp_factor) * DCTSIZE;
    JDIMENSION stop = height;
    while (cinfo->output_scanline < stop) {
        if (rowByRow && src->ended && stop == height && height - cinfo->output_scanline > 2 * band)
            stop = cinfo->output_scanline + 2 * band;
        uint8_t* pixel = out->pixels + size_t(cinfo->output_scanline) * size_t(out->stride);
        if (direct) {
            JSAMPROW target = pixel;
            if (jpeg_read_scanlines(cinfo, &target, 1) != 1) return nullptr;
            continue;
        }
        if (jpeg_read_scanlines(cinfo, row, 1) != 1) return nullptr;
        // Any other component count: the first sample as grey.
        const JSAMPLE* in = row[0];
        for (JDIMENSION x = 0; x < width; x++, pixel += 4, in += components) {
            pixel[0] = pixel[1] = pixel[2] = in[0];
            pixel[3] = 255;
        }
    }
    if (stop < height) {
        FillOpaqueBlack(out, int32_t(stop));
        return out; // destroying the decompressor abandons the rest
    }
    jpeg_finish_decompress(cinfo);
    return out;
}

} // namespace

void MV2JpegEngineStreamSrc(jpeg_decompress_struct* cinfo, TvStream* stream) {
    if (!cinfo->src) {
        auto* src = static_cast<MV2JpegStreamSource*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, sizeof(MV2JpegStreamSource)));
        src->buffer = static_cast<JOCTET*>((*cinfo->mem->alloc_small)(
            reinterpret_cast<j_common_ptr>(cinfo), JPOOL_PERMANENT, kBufferSize));
        cinfo->src = &src->pub;
    }
    auto* src = reinterpret_cast<MV2JpegStreamSource*>(cinfo->src);
    src->pub.init_source = InitSource;
    src->pub.fill_input_buffer = FillInputBuffer;
    src->pub.skip_input_data = SkipInputData;
    src->pub.resync_to_restart = jpeg_resync_to_restart;
    src->pub.term_source = TermSource;
    src->pub.bytes_in_buffer = 0;
    src->pub.next_input_byte = nullptr;
    src->stream = stream;
}

TvImage* MV2LoadJpegStream(TvStream* stream) {
    jpeg_decompress_struct cinfo;
    JumpingErrors errors;
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = ErrorExit;
    TvImage* volatile image = nullptr;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        if (image) TvImageDestroy(image);
        return nullptr;
    }
    jpeg_create_decompress(&cinfo);
    MV2JpegEngineStreamSrc(&cinfo, stream);
    TvImage* result = Decode(&cinfo, &image);
    jpeg_destroy_decompress(&cinfo);
    if (!result && image) TvImageDestroy(image);
    return result;
}

TvImage* MV2LoadJpeg(const char* name) {
    return TvImageReadFileStream(name, MV2LoadJpegStream);
}
