#include "tests/support/puppet_writer.h"

#include "tests/support/chunk_writer.h"

namespace {

void Name(ChunkWriter& w, const std::string& name, size_t size) {
    std::vector<uint8_t> field(size, 0);
    for (size_t i = 0; i < name.size() && i < size; i++)
        field[i] = uint8_t(name[i]);
    w.Bytes(field.data(), field.size());
}

void Vector(ChunkWriter& w, const PuppetVector& v) {
    w.F32(v[0]).F32(v[1]).F32(v[2]);
}

} // namespace

std::vector<uint8_t> PuppetFileBytes(const PuppetFileRecord& file) {
    uint32_t keys = 0, tracks = 0, nodeVertices = 0, shapeVertices = 0, triangles = 0;
    for (const PuppetNodeRecord& n : file.nodes) {
        nodeVertices += uint32_t(n.vertices.size());
        if (n.vertices.empty()) continue;
        tracks += uint32_t(n.tracks.size());
        for (const PuppetTrackRecord& t : n.tracks)
            keys += uint32_t(t.keys.size());
    }
    for (const PuppetShapeRecord& s : file.shapes) {
        shapeVertices += uint32_t(s.vertices.size());
        triangles += uint32_t(s.triangles.size());
    }
    ChunkWriter w;
    w.U32(uint32_t(file.nodes.size())).U32(0).U32(keys).U32(tracks).U32(nodeVertices);
    w.U32(uint32_t(file.duplicates.size())).U32(uint32_t(file.shapes.size()));
    w.U32(shapeVertices).U32(triangles);
    for (uint32_t d : file.duplicates)
        w.U32(d);
    for (uint32_t c : file.vertexNodeCounts)
        w.U32(c);
    for (size_t k = 0; k < file.nodes.size(); k++) {
        const PuppetNodeRecord& n = file.nodes[k];
        if (k) w.U32(n.parent);
        w.U32(n.id);
        Name(w, n.name, 100);
        w.U32(uint32_t(n.vertices.size()));
        Vector(w, n.pivot);
        if (n.vertices.empty()) continue;
        for (uint32_t v : n.vertices)
            w.U32(v);
        w.U32(uint32_t(n.tracks.size()));
        for (const PuppetTrackRecord& t : n.tracks) {
            w.U32(t.driver).U32(t.channel).F32(t.start).F32(t.end).U32(uint32_t(t.keys.size()));
            for (const PuppetKeyRecord& key : t.keys) {
                w.U32(key.vertex);
                Vector(w, key.position);
                Vector(w, key.normal);
            }
        }
    }
    for (const PuppetShapeRecord& s : file.shapes) {
        w.U32(s.node).U32(uint32_t(s.vertices.size())).U32(uint32_t(s.triangles.size()));
        for (const PuppetVector& v : s.vertices)
            Vector(w, v);
        for (const std::array<uint32_t, 3>& t : s.triangles) {
            w.U32(t[0]).U32(t[1]).U32(t[2]);
            for (int i = 0; i < 6; i++)
                w.U32(0);
        }
        for (size_t e = 0; e < s.triangles.size() / 2 * 3; e++)
            w.U32(0).U32(0);
    }
    return w.data();
}

std::vector<uint8_t> AnimsFileBytes(const std::vector<AnimRecord>& anims) {
    ChunkWriter w;
    w.U32(uint32_t(anims.size()));
    for (const AnimRecord& a : anims) {
        Name(w, a.name, 16);
        w.U32(uint32_t(a.keyframes.size())).U32(uint32_t(a.nodes.size()));
        for (uint32_t id : a.nodes)
            w.U32(id);
        for (const AnimKeyframeRecord& k : a.keyframes) {
            w.F32(k.t0).F32(k.t1);
            for (size_t i = 0; i < a.nodes.size() * 6; i++)
                w.F32(i < k.values.size() ? k.values[i] : 0.0f);
        }
    }
    return w.data();
}
