// Shared start of the world library's fuzz targets.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/d3d/tristrip.h"
#include "engine/core/engine.h"
#include "engine/core/stream.h"
#include "tests/support/accepting_device.h"

// Starts the engine once, with `attach` run between init and open, and puts the mesh builder in
// standard function 23; false when the engine did not start.
inline bool WorldFuzzStart(bool (*attach)()) {
    static const bool started = AcceptingEngineStart(attach);
    if (started) TV_ENGINE->standardFunctions[23] = TvD3DBuildMeshes;
    return started;
}

// A read stream over the input, or null; closed with TvStreamClose(stream, nullptr).
inline TvStream* WorldFuzzOpen(const uint8_t* data, size_t size) {
    TvMemory memory = {const_cast<uint8_t*>(data), size};
    return TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_READ, &memory);
}
