#include "tests/support/world_stream_writer.h"

#include <algorithm>

#include "engine/world/world_stream.h"

namespace {

constexpr size_t kTreeBytes = 384;

struct Totals {
    uint32_t triangles = 0, vertices = 0, planes = 0, leaves = 0, collision = 0;
};

// Bytes a reader keeps of a tree: 3 x the largest node reached + 3, rounded up to 4.
uint32_t KeptTreeBytes(const std::vector<uint8_t>& tree) {
    size_t largest = 1;
    std::vector<size_t> pending{1};
    while (!pending.empty()) {
        const size_t i = pending.back();
        pending.pop_back();
        if (3 * i + 2 >= tree.size()) continue;
        largest = std::max(largest, i);
        if (tree[3 * i] & 0x80) {
            pending.push_back(2 * i);
            pending.push_back(2 * i + 1);
        }
    }
    return uint32_t((3 * largest + 3 + 3) / 4 * 4);
}

void Count(const SectorRecord& s, Totals& t) {
    if (s.children.size() == 2) {
        t.planes++;
        Count(s.children[0], t);
        Count(s.children[1], t);
        return;
    }
    t.leaves++;
    t.vertices += uint32_t(s.leaf.vertices.size());
    t.triangles += uint32_t(s.leaf.triangles.size());
    if (!s.leaf.collisionTree.empty()) t.collision += KeptTreeBytes(s.leaf.collisionTree);
}

void Padded(ChunkWriter& w, const std::vector<uint8_t>& bytes, size_t size) {
    std::vector<uint8_t> out(bytes);
    out.resize(size, 0);
    w.Bytes(out.data(), out.size());
}

void WriteSector(ChunkWriter& w, const SectorRecord& s, uint32_t format) {
    if (s.children.size() == 2) {
        w.Begin(TV_ID_PLANESECT).Begin(TV_ID_STRUCT).I32(s.axis).F32(s.value);
        w.U32(s.children[0].children.empty() ? 1 : 0).U32(s.children[1].children.empty() ? 1 : 0);
        w.F32(s.left).F32(s.right).End();
        WriteSector(w, s.children[0], format);
        WriteSector(w, s.children[1], format);
        w.End();
        return;
    }
    const LeafRecord& l = s.leaf;
    std::array<float, 6> box{};
    if (l.box) {
        box = *l.box;
    } else if (!l.vertices.empty()) {
        for (int a = 0; a < 3; a++) {
            box[a] = box[a + 3] = l.vertices[0][a];
            for (const auto& v : l.vertices) {
                box[a] = std::min(box[a], v[a]);
                box[a + 3] = std::max(box[a + 3], v[a]);
            }
        }
    }
    w.Begin(TV_ID_ATOMICSECT).Begin(TV_ID_STRUCT).U32(l.firstMaterial);
    w.U32(uint32_t(l.triangles.size())).U32(uint32_t(l.vertices.size()));
    for (float f : box)
        w.F32(f);
    w.U32(l.collisionTree.empty() ? 0 : 1).U32(0).End();
    const size_t n = l.vertices.size();
    if (n) {
        for (const auto& v : l.vertices)
            w.F32(v[0]).F32(v[1]).F32(v[2]);
        if (format & 16) Padded(w, l.normals, 4 * n);
        if (format & 8) Padded(w, l.preLight, 4 * n);
        if (format & 4)
            for (size_t i = 0; i < 2 * n; i++)
                w.F32(i < l.texCoords.size() ? l.texCoords[i] : 0.0f);
        if (format & 2) Padded(w, l.modulation, 4 * n);
    }
    for (const auto& t : l.triangles)
        w.Bytes(t.data(), 4);
    if (!l.collisionTree.empty()) Padded(w, l.collisionTree, kTreeBytes);
    WriteExtension(w, l.extensions).End();
}

} // namespace

SectorRecord LeafNode(LeafRecord leaf) {
    SectorRecord s;
    s.leaf = std::move(leaf);
    return s;
}

SectorRecord PlaneNode(int32_t axis, float value, float left, float right, SectorRecord lower,
                       SectorRecord upper) {
    SectorRecord s;
    s.axis = axis;
    s.value = value;
    s.left = left;
    s.right = right;
    s.children.push_back(std::move(lower));
    s.children.push_back(std::move(upper));
    return s;
}

std::vector<uint8_t> SingleNodeTree(uint8_t triangles) {
    std::vector<uint8_t> tree(6, 0);
    tree[3] = triangles;
    return tree;
}

ChunkWriter& WriteWorld(ChunkWriter& w, const WorldRecord& world) {
    Totals t;
    Count(world.root, t);
    w.Begin(TV_ID_WORLD).Begin(TV_ID_STRUCT).U32(world.root.children.empty() ? 1 : 0);
    for (float f : world.origin)
        w.F32(f);
    for (float f : world.surface)
        w.F32(f);
    w.U32(world.numTriangles.value_or(t.triangles)).U32(world.numVertices.value_or(t.vertices));
    w.U32(world.numPlanes.value_or(t.planes)).U32(world.numLeaves.value_or(t.leaves));
    w.U32(world.collisionBytes.value_or(t.collision)).U32(world.format).End();
    WriteMaterialList(w, world.materials);
    WriteSector(w, world.root, world.format);
    return WriteExtension(w, world.extensions).End();
}

std::vector<uint8_t> WorldBytes(const WorldRecord& world) {
    ChunkWriter w;
    return WriteWorld(w, world).data();
}

TpWorld* ReadWorldChunk(const std::vector<uint8_t>& bytes) {
    TvStream* stream = OpenReadStream(bytes);
    if (!stream) return nullptr;
    TpWorld* world = TvStreamSkip(stream, kTvChunkHeaderSize) ? TpWorldStreamRead(stream) : nullptr;
    TvStreamClose(stream, nullptr);
    return world;
}
