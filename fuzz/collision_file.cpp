// Collision grid files are read whole and linked to a model's atomics: whatever the bytes,
// reading must end in a block whose grids every query can walk, or in null with no atomic
// pointing anywhere.

#include <cstring>

#include "engine/core/file_interface.h"
#include "engine/core/memory.h"
#include "engine/world/world_plugin.h"
#include "fuzz/world_input.h"
#include "game/objects/collision.h"
#include "game/objects/modeltags.h"
#include "game/objects/utilities.h"
#include "tests/support/mesh_clump.h"

namespace {

const uint8_t* g_data = nullptr;
size_t g_size = 0;
size_t g_at = 0;
int g_handle = 0;

void* Open(const char*, const char* mode) {
    if (mode[0] != 'r') return nullptr;
    g_at = 0;
    return &g_handle;
}

int32_t Close(void*) {
    return 0;
}

size_t Read(void* buffer, size_t size, size_t count, void*) {
    if (size == 0) return 0;
    const size_t n = std::min(count, (g_size - g_at) / size);
    std::memcpy(buffer, g_data + g_at, n * size);
    g_at += n * size;
    return n;
}

long Length(void*) {
    return long(g_size);
}

bool Attach() {
    return TpWorldPluginAttach() == 1 && TpAtomicCollDataPluginAttach() == 1 &&
           TpAtomicDataPluginAttach() == 1;
}

// Three parts tagged 1, 2 and 3.
TpClump* Model() {
    static TpClump* clump = [] {
        MeshPart a = PlaneMesh(3, 4.0f, 1);
        MeshPart b = PlaneMesh(1, 2.0f, 2);
        MeshPart c{{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}, {{0, 1, 2}}, 3, {0, 0, 0}};
        return MakeMeshClump({a, b, c});
    }();
    return clump;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!WorldFuzzStart(Attach)) return 0;
    TvFileInterface* files = TvEngineGetFileInterface();
    files->open = Open;
    files->close = Close;
    files->read = Read;
    files->length = Length;
    g_data = data;
    g_size = size;
    TpClump* clump = Model();
    void* block = MV2ReadCollisionFile("fuzz.col", clump);
    MV2TriangleHit hits[8];
    for (TpAtomic* a = MV2GetFirstAtomic(clump); a; a = MV2GetNextAtomic(clump, a)) {
        if (!block && MV2AtomicGetCollData(a)) __builtin_trap();
        const TvV3d centres[] = {{0.5f, 0.5f, 0.1f}, {2, 2, 0}, {-1, -1, 0}};
        for (const TvV3d& c : centres)
            MV2CollisionTreeSphereQuery(a, &c, 1.5f, 20, hits);
        MV2AtomicSetCollData(a, nullptr);
    }
    TvFree(block);
    return 0;
}
