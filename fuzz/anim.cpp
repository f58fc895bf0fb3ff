// Animation keys come inside the geometry of model files: whatever the bytes, a geometry read
// with them can be animated by an atomic and destroyed, or the read ends in null.

#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/world_plugin.h"
#include "fuzz/world_input.h"

namespace {

bool Attach() {
    return TpWorldPluginAttach() == 1 && TpAnimPluginAttach() == 1;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!WorldFuzzStart(Attach)) return 0;
    TvStream* stream = WorldFuzzOpen(data, size);
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
