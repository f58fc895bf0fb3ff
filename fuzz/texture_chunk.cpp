// Texture chunks come inside material chunks of model and world files: any bytes must give a
// texture or null, reading nothing past the stream or a chunk.
#include <cstddef>
#include <cstdint>

#include "engine/core/stream.h"
#include "engine/core/texture.h"
#include "engine/core/texture_stream.h"
#include "tests/support/accepting_device.h"

namespace {

// Stands in for the image files: every name read makes a texture without pixels.
TvTexture* MakeTexture(const char* name, const char* mask) {
    TvTexture* t = TvTextureCreate(nullptr);
    if (t && (!TvTextureSetName(t, name) || !TvTextureSetMaskName(t, mask))) {
        TvTextureDestroy(t);
        return nullptr;
    }
    return t;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = AcceptingEngineStart() && TvTextureSetReadCallBack(MakeTexture);
    if (!ready) __builtin_trap();
    TvMemory memory = {const_cast<uint8_t*>(data), size};
    TvStream* s = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_READ, &memory);
    if (!s) __builtin_trap();
    // Up to four textures in a row; each reference taken is dropped again at the end, so a name
    // read twice is found in the dictionary the second time.
    TvTexture* read[4];
    int count = 0;
    while (count < 4 && (read[count] = TvTextureStreamRead(s)))
        count++;
    while (count > 0)
        TvTextureDestroy(read[--count]);
    TvStreamClose(s, nullptr);
    return 0;
}
