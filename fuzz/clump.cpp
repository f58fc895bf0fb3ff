// Clumps and geometry come from model files: whatever the bytes, reading must end in a clump or
// geometry that can be used and destroyed, or in null with nothing left behind.

#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/world_plugin.h"
#include "fuzz/world_input.h"
#include "game/objects/clumpdata.h"
#include "game/objects/lighting.h"

namespace {

bool Attach() {
    return TpWorldPluginAttach() == 1 && TpClumpDataPluginAttach() != 0 &&
           TpFrameTagPluginAttach() == 1;
}

TpAtomic* Touch(TpAtomic* atomic, void*) {
    TpAtomicGetWorldBoundingSphere(atomic);
    return atomic;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!WorldFuzzStart(Attach)) return 0;
    TvStream* stream = WorldFuzzOpen(data, size);
    if (!stream) return 0;
    if (TvStreamFindChunk(stream, TV_ID_CLUMP, nullptr, nullptr)) {
        if (TpClump* clump = TpClumpStreamRead(stream)) {
            TpClumpForAllAtomics(clump, Touch, nullptr);
            if (TpClump* copy = TpClumpClone(clump)) TpClumpDestroy(copy);
            TpClumpDestroy(clump);
        }
    } else {
        TvStreamClose(stream, nullptr);
        stream = WorldFuzzOpen(data, size);
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
