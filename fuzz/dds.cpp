// DDS textures and the surface blocks of native texture chunks come from data files: any bytes
// must give a texture raster or null, reading nothing past the stream or a surface.
#include <cstddef>
#include <cstdint>
#include <cstring>

#include "engine/core/d3d/d3dtexture.h"
#include "engine/core/d3d/dds.h"
#include "engine/core/d3d/device.h"
#include "engine/core/engine.h"
#include "engine/core/raster.h"
#include "engine/core/stream.h"
#include "engine/core/texture.h"

namespace {

// The engine on the driver over the headless DirectDraw stand-in, full-screen 640 x 480.
bool StartDriver() {
    static HWND window = nullptr;
    TvD3DGetDeviceRecord()->deviceControl = TvDeviceControl;
    return TvEngineInit(nullptr) && TvEngineOpen(&window) && TvEngineSetVideoMode(1) &&
           TvEngineStart();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool ready = StartDriver();
    if (!ready) __builtin_trap();
    TvMemory memory = {const_cast<uint8_t*>(data), size};
    TvStream* s = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_READ, &memory);
    if (!s) __builtin_trap();
    // A DDS file as it stands; anything else as a native texture block, whose surface block is
    // read with the size its chunk states.
    if (size >= 4 && std::memcmp(data, "DDS ", 4) == 0) {
        if (TvRaster* raster = TvD3DReadDDS(s, 0)) TvRasterDestroy(raster);
    } else {
        TvTexture* texture = nullptr;
        if (TvD3DNativeTextureRead(s, &texture, 0)) TvTextureDestroy(texture);
    }
    TvStreamClose(s, nullptr);
    return 0;
}
