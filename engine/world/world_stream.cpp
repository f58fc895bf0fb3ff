#include "engine/world/world_stream.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/core/d3d/tristrip.h"
#include "engine/core/link.h"
#include "engine/core/memory.h"
#include "engine/core/stream.h"
#include "engine/world/world.h"
#include "engine/world/world_plugin.h"

namespace {

constexpr uint32_t kPlaneSeparateExtents = 1u << 30;
constexpr uint32_t kLeafStructBytes = 44;
constexpr uint32_t kCollisionTreeBytes = 384;
constexpr size_t kAlign = alignof(std::max_align_t);
// Least bytes a sector takes in a file: chunk headers and struct bodies.
constexpr uint64_t kMinLeafBytes = 3 * kTvChunkHeaderSize + kLeafStructBytes;
constexpr uint64_t kMinPlaneBytes = 2 * kTvChunkHeaderSize + 24;

struct WorldHeader {
    uint32_t rootIsLeaf;
    float origin[3];
    float surface[3];
    uint32_t numTriangles;
    uint32_t numVertices;
    uint32_t numPlanes;
    uint32_t numLeaves;
    uint32_t collisionBytes;
    uint32_t format;
};

size_t RoundUp(size_t n, size_t to) {
    return (n + to - 1) / to * to;
}

// Little-endian words of a struct body.
uint32_t Word(const uint8_t* body, size_t index) {
    return TvLoadU32(body + 4 * index);
}
float Real(const uint8_t* body, size_t index) {
    return TvLoadF32(body + 4 * index);
}

// The reading state: the block cursor, what the header reserved and is still unclaimed, and
// the leaves whose plug-in data has been constructed.
struct Reader {
    TvStream* stream;
    TpWorld* world;
    uint8_t* cursor;
    uint8_t* end;
    uint32_t format;
    uint64_t vertices, triangles, planes, leaves, collision;
    std::vector<TpWorldSector*> built;

    void* Take(size_t bytes) {
        if (bytes == 0) return nullptr;
        const size_t need = RoundUp(bytes, kAlign);
        if (size_t(end - cursor) < need) return nullptr;
        void* p = cursor;
        cursor += need;
        return p;
    }
};

bool Invalid() {
    TpCommonError(E_TV_INVALIDPARAM);
    return false;
}

bool ReadBytes(TvStream* stream, void* out, size_t bytes) {
    if (bytes && TvStreamRead(stream, out, uint32_t(bytes)) != bytes) {
        TvErrorCore(E_TV_ENDOFSTREAM);
        return false;
    }
    return true;
}

// Bytes of a byte-coded collision tree in use (3 x the largest node index reached + 3), or 0
// when the tree reaches past the bytes stored or names a vertex or triangle the leaf lacks.
size_t CollisionTreeLength(const uint8_t* tree, size_t vertices, size_t triangles) {
    constexpr size_t kMaxNode = kCollisionTreeBytes / 3 - 1;
    size_t largest = 1;
    std::vector<size_t> pending{1};
    while (!pending.empty()) {
        const size_t i = pending.back();
        pending.pop_back();
        if (i > kMaxNode) return 0;
        largest = std::max(largest, i);
        const uint8_t* node = tree + 3 * i;
        const bool split = node[0] & 0x80;
        const size_t count = split ? node[0] & 0x1F : node[0];
        if (node[2] + count > triangles) return 0;
        if (split) {
            if (((node[0] >> 3) & 12) > 8 || node[1] >= vertices) return 0;
            pending.push_back(2 * i);
            pending.push_back(2 * i + 1);
        }
    }
    return 3 * largest + 3;
}

TpSector* ReadSector(Reader& r, bool leaf, int depth);

// Leaves in tree order until `visit` returns false.
template <typename F> void ForLeaves(TpWorld* world, F visit) {
    struct Walk {
        F* visit;
    } walk{&visit};
    TpWorldForAllWorldSectors(
        world,
        [](TpWorldSector* leaf, void* data) -> TpWorldSector* {
            return (*static_cast<Walk*>(data)->visit)(leaf) ? leaf : nullptr;
        },
        &walk);
}

TpSector* ReadLeaf(Reader& r) {
    // A 44-byte struct body, then the arrays in sequence; a struct chunk whose length also
    // covers the arrays is read the same way and left at its end.
    uint8_t body[kLeafStructBytes];
    uint32_t length = 0;
    if (!TpFindChunk(r.stream, TV_ID_STRUCT, &length)) return nullptr;
    if (length < kLeafStructBytes) return Invalid(), nullptr;
    const size_t structEnd = TvStreamTell(r.stream) + length;
    if (!ReadBytes(r.stream, body, sizeof body)) return nullptr;
    const uint32_t firstMaterial = Word(body, 0);
    const uint32_t numTriangles = Word(body, 1);
    const uint32_t numVertices = Word(body, 2);
    const bool hasTree = Word(body, 9) != 0;
    // Every count must fit the sector record and what the world header reserved.
    if (firstMaterial > UINT16_MAX || numTriangles > UINT16_MAX || numVertices > UINT16_MAX ||
        numVertices > r.vertices || numTriangles > r.triangles || r.leaves == 0)
        return Invalid(), nullptr;
    if (numTriangles && firstMaterial >= uint32_t(r.world->materials.count))
        return TpWorldError(E_TP_INDEXRANGE), nullptr;
    r.vertices -= numVertices;
    r.triangles -= numTriangles;
    r.leaves--;

    auto* sector = static_cast<TpWorldSector*>(r.Take(size_t(TpWorldSectorRegistry.sizeOfStruct)));
    if (!sector) return Invalid(), nullptr;
    std::memset(sector, 0, sizeof *sector);
    sector->type = -1;
    sector->firstMaterial = uint16_t(firstMaterial);
    sector->numVertices = uint16_t(numVertices);
    sector->numTriangles = uint16_t(numTriangles);
    sector->boundingBox.sup = {Real(body, 6), Real(body, 7), Real(body, 8)};
    sector->boundingBox.inf = {Real(body, 3), Real(body, 4), Real(body, 5)};
    TvLinkInit(&sector->collisionAtomics);
    TvLinkInit(&sector->otherAtomics);
    TvLinkInit(&sector->lights);

    const size_t v = numVertices;
    if (v) {
        sector->vertices = static_cast<TvV3d*>(r.Take(sizeof(TvV3d) * v));
        if (!sector->vertices || !ReadBytes(r.stream, sector->vertices, sizeof(TvV3d) * v))
            return nullptr;
        TvMemFloat32ToReal(sector->vertices, uint32_t(sizeof(TvV3d) * v));
        auto take = [&](uint32_t flag, size_t bytes) -> void* {
            if (!(r.format & flag)) return nullptr;
            void* p = r.Take(bytes);
            return p && ReadBytes(r.stream, p, bytes) ? p : nullptr;
        };
        sector->normals = static_cast<uint8_t*>(take(kTpGeometryNormals, 4 * v));
        if ((r.format & kTpGeometryNormals) && !sector->normals) return nullptr;
        sector->preLight = static_cast<uint8_t*>(take(kTpGeometryPreLit, 4 * v));
        if ((r.format & kTpGeometryPreLit) && !sector->preLight) return nullptr;
        sector->texCoords = static_cast<TpTexCoords*>(take(kTpGeometryTextured, 8 * v));
        if ((r.format & kTpGeometryTextured) && !sector->texCoords) return nullptr;
        if (sector->texCoords) TvMemFloat32ToReal(sector->texCoords, uint32_t(8 * v));
        sector->modulation = static_cast<uint8_t*>(take(kTpGeometryModulate, 4 * v));
        if ((r.format & kTpGeometryModulate) && !sector->modulation) return nullptr;
    }
    if (numTriangles) {
        const size_t bytes = sizeof(TpSectorTriangle) * numTriangles;
        sector->triangles = static_cast<TpSectorTriangle*>(r.Take(bytes));
        if (!sector->triangles || !ReadBytes(r.stream, sector->triangles, bytes)) return nullptr;
        for (size_t i = 0; i < numTriangles; i++) {
            const TpSectorTriangle& t = sector->triangles[i];
            if (t.vertex[0] >= v || t.vertex[1] >= v || t.vertex[2] >= v) return Invalid(), nullptr;
            if (firstMaterial + t.material >= uint32_t(r.world->materials.count))
                return TpWorldError(E_TP_INDEXRANGE), nullptr;
        }
    }
    if (hasTree) {
        uint8_t tree[kCollisionTreeBytes];
        if (!ReadBytes(r.stream, tree, sizeof tree)) return nullptr;
        const size_t used = CollisionTreeLength(tree, v, numTriangles);
        const size_t kept = RoundUp(used, 4);
        if (!used || kept > r.collision) return Invalid(), nullptr;
        r.collision -= kept;
        sector->collisionTree = r.Take(kept);
        if (!sector->collisionTree) return Invalid(), nullptr;
        std::memset(sector->collisionTree, 0, kept);
        std::memcpy(sector->collisionTree, tree, used);
    }
    if (TvStreamTell(r.stream) < structEnd &&
        !TvStreamSkip(r.stream, uint32_t(structEnd - TvStreamTell(r.stream)))) {
        TvErrorCore(E_TV_ENDOFSTREAM);
        return nullptr;
    }
    if (!TvPluginInitObject(&TpWorldSectorRegistry, sector)) return nullptr;
    r.built.push_back(sector);
    if (!TvPluginStreamRead(&TpWorldSectorRegistry, r.stream, sector)) return nullptr;
    return reinterpret_cast<TpSector*>(sector);
}

TpSector* ReadPlane(Reader& r, int depth) {
    uint8_t body[24];
    if (!TpReadStructBody(r.stream, body, sizeof body, nullptr)) return nullptr;
    const int32_t axis = int32_t(Word(body, 0));
    if ((axis != 0 && axis != 4 && axis != 8) || r.planes == 0) return Invalid(), nullptr;
    r.planes--;
    auto* plane = static_cast<TpPlaneSector*>(r.Take(sizeof(TpPlaneSector)));
    if (!plane) return Invalid(), nullptr;
    *plane = TpPlaneSector{axis, Real(body, 1), nullptr, nullptr, Real(body, 4), Real(body, 5)};
    if (!(r.format & kPlaneSeparateExtents)) plane->leftValue = plane->rightValue = plane->value;
    plane->leftChild = ReadSector(r, Word(body, 2) != 0, depth + 1);
    if (!plane->leftChild) return nullptr;
    plane->rightChild = ReadSector(r, Word(body, 3) != 0, depth + 1);
    if (!plane->rightChild) return nullptr;
    return reinterpret_cast<TpSector*>(plane);
}

TpSector* ReadSector(Reader& r, bool leaf, int depth) {
    if (depth > kTpMaxSectorDepth) return Invalid(), nullptr;
    if (!TpFindChunk(r.stream, leaf ? TV_ID_ATOMICSECT : TV_ID_PLANESECT, nullptr)) return nullptr;
    return leaf ? ReadLeaf(r) : ReadPlane(r, depth);
}

// Leaf meshes: triangle lists over the leaf's vertices with the world's materials.
bool BuildLeafMeshes(TpWorld* world) {
    std::vector<TvD3DMeshTriangle> triangles;
    bool ok = true;
    ForLeaves(world, [&](TpWorldSector* leaf) {
        triangles.resize(leaf->numTriangles);
        for (size_t i = 0; i < triangles.size(); i++) {
            const TpSectorTriangle& t = leaf->triangles[i];
            triangles[i] = TvD3DMeshTriangle{
                {t.vertex[0], t.vertex[1], t.vertex[2]},
                0,
                TpMaterialListGetMaterial(&world->materials, leaf->firstMaterial + t.material)};
        }
        leaf->mesh = _TpBuildMeshHeader(triangles.data(), int32_t(triangles.size()), false);
        ok = leaf->mesh != nullptr;
        return ok;
    });
    return ok;
}

// The box of every leaf vertex, leaves in tree order.
void ComputeBoundingBox(TpWorld* world) {
    bool first = true;
    ForLeaves(world, [&](TpWorldSector* leaf) {
        for (size_t i = 0; i < leaf->numVertices; i++) {
            if (first)
                TvBBoxInitialize(&world->boundingBox, &leaf->vertices[i]);
            else
                TvBBoxAddPoint(&world->boundingBox, &leaf->vertices[i]);
            first = false;
        }
        return true;
    });
}

} // namespace

TpWorld* TpWorldStreamRead(TvStream* stream) {
    if (!TpCheck(TpWorldModule, stream)) return nullptr;
    uint8_t body[52];
    if (!TpReadStructBody(stream, body, sizeof body, nullptr)) return nullptr;
    WorldHeader h{};
    h.rootIsLeaf = Word(body, 0);
    for (size_t i = 0; i < 3; i++) {
        h.origin[i] = Real(body, 1 + i);
        h.surface[i] = Real(body, 4 + i);
    }
    h.numTriangles = Word(body, 7);
    h.numVertices = Word(body, 8);
    h.numPlanes = Word(body, 9);
    h.numLeaves = Word(body, 10);
    h.collisionBytes = Word(body, 11);
    h.format = Word(body, 12);

    // What the header reserves must be there in the stream before the block is allocated.
    const uint64_t least = h.numLeaves * kMinLeafBytes + h.numPlanes * kMinPlaneBytes +
                           uint64_t(h.numVertices) * sizeof(TvV3d) +
                           uint64_t(h.numTriangles) * sizeof(TpSectorTriangle);
    if (h.numLeaves == 0 || least > TpStreamRemaining(stream) ||
        h.collisionBytes > uint64_t(h.numLeaves) * kCollisionTreeBytes) {
        TpCommonError(E_TV_INVALIDPARAM);
        return nullptr;
    }
    const uint64_t v = h.numVertices;
    uint64_t perVertex = sizeof(TvV3d);
    if (h.format & kTpGeometryNormals) perVertex += 4;
    if (h.format & kTpGeometryPreLit) perVertex += 4;
    if (h.format & kTpGeometryTextured) perVertex += sizeof(TpTexCoords);
    if (h.format & kTpGeometryModulate) perVertex += 4;
    // Each piece is carved at the block's alignment: a record and up to seven arrays per leaf.
    const uint64_t size =
        RoundUp(size_t(TpWorldRegistry.sizeOfStruct), kAlign) +
        h.numLeaves * (RoundUp(size_t(TpWorldSectorRegistry.sizeOfStruct), kAlign) + 7 * kAlign) +
        h.numPlanes * RoundUp(sizeof(TpPlaneSector), kAlign) + v * perVertex + h.collisionBytes +
        uint64_t(h.numTriangles) * sizeof(TpSectorTriangle);
    if (size > SIZE_MAX) {
        TpCommonError(E_TV_NOMEM);
        return nullptr;
    }
    auto* block = static_cast<uint8_t*>(TvMalloc(size_t(size)));
    if (!block) {
        TpCommonError(E_TV_NOMEM);
        return nullptr;
    }
    Reader r{stream,         nullptr,     block,       block + size,     h.format, h.numVertices,
             h.numTriangles, h.numPlanes, h.numLeaves, h.collisionBytes, {}};
    auto* world = static_cast<TpWorld*>(r.Take(size_t(TpWorldRegistry.sizeOfStruct)));
    _TpWorldInitialise(world, false);
    r.world = world;
    world->object.privateFlags = kTpWorldSingleBlock;
    world->object.flags = uint8_t(h.format);
    world->counter = 0;
    std::copy(h.surface, h.surface + 3, world->surfaceProps);
    world->offset = {-h.origin[0], -h.origin[1], -h.origin[2]};
    if (!_TpWorldEnter(world, size_t(size))) {
        TvFree(block);
        return nullptr;
    }

    bool ok = TpFindChunk(stream, TV_ID_MATLIST, nullptr) &&
              TpMaterialListStreamRead(stream, &world->materials);
    if (ok) {
        world->root = ReadSector(r, h.rootIsLeaf != 0, 0);
        ok = world->root != nullptr;
    }
    // The world's plug-in data is made once the tree is read, just before its extension chunk.
    bool pluginData = false;
    if (ok) {
        ComputeBoundingBox(world);
        ok = pluginData = TvPluginInitObject(&TpWorldRegistry, world) != nullptr;
    }
    if (ok) ok = TvPluginStreamRead(&TpWorldRegistry, stream, world) != nullptr;
    if (!ok) {
        // The tree may be partial: release the leaves made so far, then the rest.
        for (TpWorldSector* leaf : r.built)
            TvPluginDeinitObject(&TpWorldSectorRegistry, leaf);
        world->root = nullptr;
        _TpWorldDestroy(world, pluginData);
        return nullptr;
    }
    if (!BuildLeafMeshes(world)) {
        TpWorldDestroy(world);
        return nullptr;
    }
    return world;
}
