// BMP files come from the data folder and packs: any bytes must give an image or null without
// reading or writing outside a buffer.
#include <cstddef>
#include <cstdint>

#include "engine/core/bmp.h"
#include "engine/core/image.h"
#include "engine/core/stream.h"
#include "tests/support/accepting_device.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = AcceptingEngineStart();
    if (!ready) __builtin_trap();
    // Run-length pictures may claim up to 4096 x 4096 from a few bytes; keep runs quick by
    // leaving out those above 4 million pixels (the cap itself is checked by the tests).
    if (size >= 26) {
        auto le32 = [&](size_t at) {
            return int64_t(int32_t(uint32_t(data[at]) | uint32_t(data[at + 1]) << 8 |
                                   uint32_t(data[at + 2]) << 16 | uint32_t(data[at + 3]) << 24));
        };
        if (le32(18) * le32(22) > (int64_t(1) << 22)) return 0;
    }
    TvMemory memory = {const_cast<uint8_t*>(data), size};
    TvStream* s = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_READ, &memory);
    if (!s) __builtin_trap();
    if (TvImage* image = TvImageReadBMPStream(s)) {
        // Every row must be inside the allocation.
        volatile uint8_t sink =
            image->pixels[size_t(image->height - 1) * image->stride + size_t(image->stride) - 1];
        (void)sink;
        TvImageDestroy(image);
    }
    TvStreamClose(s, nullptr);
    return 0;
}
