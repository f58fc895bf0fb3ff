// Clumps and geometry come from model files: whatever the bytes, reading must end in a clump or
// geometry that can be used and destroyed, or in null with nothing left behind.
#include <cstddef>
#include <cstdint>

#include "engine/core/d3d/tristrip.h"
#include "engine/core/engine.h"
#include "engine/core/stream.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/world_plugin.h"
#include "tests/support/accepting_device.h"

namespace {

bool Attach() {
    return TpWorldPluginAttach() == 1;
}

TpAtomic* Touch(TpAtomic* atomic, void*) {
    TpAtomicGetWorldBoundingSphere(atomic);
    return atomic;
}

TvStream* Open(const uint8_t* data, size_t size) {
    TvMemory memory = {const_cast<uint8_t*>(data), size};
    return TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_READ, &memory);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = AcceptingEngineStart(Attach);
    if (!started) return 0;
    TV_ENGINE->standardFunctions[23] = TvD3DBuildMeshes;
    TvStream* stream = Open(data, size);
    if (!stream) return 0;
    if (TvStreamFindChunk(stream, TV_ID_CLUMP, nullptr, nullptr)) {
        if (TpClump* clump = TpClumpStreamRead(stream)) {
            TpClumpForAllAtomics(clump, Touch, nullptr);
            if (TpClump* copy = TpClumpClone(clump)) TpClumpDestroy(copy);
            TpClumpDestroy(clump);
        }
    } else {
        TvStreamClose(stream, nullptr);
        stream = Open(data, size);
        if (stream && TvStreamFindChunk(stream, TV_ID_GEOMETRY, nullptr, nullptr)) {
            if (TpGeometry* geometry = TpGeometryStreamRead(stream)) {
                TvSphere sphere;
                TpMorphTargetCalculateBoundingSphere(TpGeometryGetMorphTarget(geometry, 0),
                                                     &sphere);
                TpGeometryDestroy(geometry);
            }
        }
    }
    TvFrameSyncDirty();
    if (stream) TvStreamClose(stream, nullptr);
    return 0;
}
