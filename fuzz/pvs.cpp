// Visibility sets come with the world in landscape files: whatever the bytes, a world read with
// them can look up the view cell anywhere in its box and filter every leaf, or the read fails.

#include "engine/world/pvs.h"
#include "engine/world/world.h"
#include "engine/world/world_plugin.h"
#include "engine/world/world_stream.h"
#include "fuzz/world_input.h"

namespace {

bool Attach() {
    return TpWorldPluginAttach() == 1 && TpPVSPluginAttach() == 1;
}

// Finds the view cell at the leaf's centre and runs the filter over the leaf.
TpWorldSector* Look(TpWorldSector* leaf, void* data) {
    auto* world = static_cast<TpWorld*>(data);
    const TvBBox& b = leaf->boundingBox;
    const TvV3d centre{(b.sup.x + b.inf.x) / 2, (b.sup.y + b.inf.y) / 2, (b.sup.z + b.inf.z) / 2};
    TpPVSSetViewPosition(world, &centre);
    TpWorldGetSectorRenderCallBack(world)(leaf);
    return leaf;
}

TpWorldSector* Draw(TpWorldSector* leaf) {
    return leaf;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!WorldFuzzStart(Attach)) return 0;
    TvStream* stream = WorldFuzzOpen(data, size);
    if (!stream) return 0;
    if (TvStreamFindChunk(stream, TV_ID_WORLD, nullptr, nullptr)) {
        if (TpWorld* world = TpWorldStreamRead(stream)) {
            TpWorldSetSectorRenderCallBack(world, Draw);
            TpPVSHook(world);
            TpWorldForAllWorldSectors(world, Look, world);
            TpWorldDestroy(world);
        }
    }
    TvStreamClose(stream, nullptr);
    return 0;
}
