// Animation keys come inside the geometry of model files: whatever the bytes, a geometry read
// with them can be animated by an atomic and destroyed, or the read ends in null.
#include <cstddef>
#include <cstdint>

#include "engine/core/d3d/tristrip.h"
#include "engine/core/engine.h"
#include "engine/core/stream.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/world_plugin.h"
#include "tests/support/accepting_device.h"

namespace {

bool Attach() {
    return TpWorldPluginAttach() == 1 && TpAnimPluginAttach() == 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = AcceptingEngineStart(Attach);
    if (!started) return 0;
    TV_ENGINE->standardFunctions[23] = TvD3DBuildMeshes;
    TvMemory memory = {const_cast<uint8_t*>(data), size};
    TvStream* stream = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_READ, &memory);
    if (!stream) return 0;
    if (TvStreamFindChunk(stream, TV_ID_GEOMETRY, nullptr, nullptr)) {
        if (TpGeometry* geometry = TpGeometryStreamRead(stream)) {
            if (TpAtomic* atomic = TpAtomicCreate()) {
                TpAtomicSetGeometry(atomic, geometry, 0);
                for (int i = 0; i < 8; i++)
                    TpAnimSequenceAtomicAddTime(atomic, 0.75f);
                TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
                TpAtomicDestroy(atomic);
            }
            TpGeometryDestroy(geometry);
        }
    }
    TvStreamClose(stream, nullptr);
    return 0;
}
