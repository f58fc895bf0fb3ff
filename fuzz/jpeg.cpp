// JPEG textures come from the data folder and packs: any bytes must give an image or null, and
// the decoder's fatal errors must come back to the reader instead of ending the program.
#include <csetjmp>
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include <jpeglib.h>

#include "engine/core/image.h"
#include "engine/core/stream.h"
#include "game/objects/jpeg.h"
#include "tests/support/accepting_device.h"

namespace {

struct Errors {
    jpeg_error_mgr pub;
    std::jmp_buf jump;
};

void Jump(j_common_ptr cinfo) {
    std::longjmp(reinterpret_cast<Errors*>(cinfo->err)->jump, 1);
}
void Quiet(j_common_ptr) {}

// The picture size the header claims, or 0 when there is no readable header. Large pictures
// within the reader's limit decode slowly from a few bytes; they are left out to keep runs
// quick, while those beyond it still go to the reader, which must refuse them at once.
int64_t ClaimedPixels(const uint8_t* data, size_t size) {
    jpeg_decompress_struct cinfo;
    Errors errors;
    cinfo.err = jpeg_std_error(&errors.pub);
    errors.pub.error_exit = Jump;
    errors.pub.output_message = Quiet;
    if (setjmp(errors.jump)) {
        jpeg_destroy_decompress(&cinfo);
        return 0;
    }
    jpeg_create_decompress(&cinfo);
    jpeg_mem_src(&cinfo, data, static_cast<unsigned long>(size));
    int64_t pixels = 0;
    if (jpeg_read_header(&cinfo, TRUE) == JPEG_HEADER_OK &&
        cinfo.image_width <= JDIMENSION(kMV2JpegMaxSide) &&
        cinfo.image_height <= JDIMENSION(kMV2JpegMaxSide))
        pixels = int64_t(cinfo.image_width) * cinfo.image_height;
    jpeg_destroy_decompress(&cinfo);
    return pixels;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = AcceptingEngineStart();
    if (!ready) __builtin_trap();
    if (size == 0 || ClaimedPixels(data, size) > (int64_t(1) << 20)) return 0;
    TvMemory memory = {const_cast<uint8_t*>(data), size};
    TvStream* s = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_READ, &memory);
    if (!s) __builtin_trap();
    if (TvImage* image = MV2LoadJpegStream(s)) TvImageDestroy(image);
    TvStreamClose(s, nullptr);
    return 0;
}
