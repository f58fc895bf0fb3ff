// Worlds come from landscape files: whatever the bytes, reading must end in a world whose leaves
// can be walked and that can be destroyed, or in null with nothing left behind.

#include "engine/world/intersect.h"
#include "engine/world/world.h"
#include "engine/world/world_plugin.h"
#include "engine/world/world_stream.h"
#include "fuzz/world_input.h"

namespace {

bool Attach() {
    return TpWorldPluginAttach() == 1;
}

// Touches every vertex and triangle a leaf claims, and its collision tree's first node.
TpWorldSector* Touch(TpWorldSector* leaf, void* data) {
    auto* sum = static_cast<float*>(data);
    for (int i = 0; i < leaf->numTriangles; i++)
        for (uint8_t v : leaf->triangles[i].vertex)
            *sum += leaf->vertices[v].x;
    if (leaf->collisionTree) *sum += static_cast<const uint8_t*>(leaf->collisionTree)[3];
    return leaf;
}

TpCollisionTriangle* Count(TpIntersection*, TpWorldSector*, TpCollisionTriangle* t, float,
                           void* data) {
    ++*static_cast<int*>(data);
    return t;
}

// Queries across the world's box walk the sector tree and every leaf's collision tree.
void Query(TpWorld* world) {
    const TvBBox box = world->boundingBox;
    TpIntersection q{};
    q.type = kTpIntersectLine;
    q.t.line = {box.sup, box.inf};
    int hits = 0;
    TpWorldForAllTriangleIntersections(world, &q, Count, &hits);
    q.type = kTpIntersectSphere;
    q.t.sphere = {TvV3dScale(TvV3dAdd(box.sup, box.inf), 0.5f), TvV3dLength(&q.t.line.start) + 1};
    TpWorldForAllTriangleIntersections(world, &q, Count, &hits);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!WorldFuzzStart(Attach)) return 0;
    TvStream* stream = WorldFuzzOpen(data, size);
    if (!stream) return 0;
    if (TvStreamFindChunk(stream, TV_ID_WORLD, nullptr, nullptr)) {
        if (TpWorld* world = TpWorldStreamRead(stream)) {
            float sum = 0;
            TpWorldForAllWorldSectors(world, Touch, &sum);
            Query(world);
            TpWorldDestroy(world);
        }
    }
    TvStreamClose(stream, nullptr);
    return 0;
}
