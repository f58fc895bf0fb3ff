// Header-only (fuzz targets and benchmarks link no test support library): builds puppet model
// folder files in memory: "puppet.pup" (nodes with the vertices they move, deformation tracks,
// hit shapes) and "anims.bin" (keyframed animations), little-endian as the file layouts give them.
#pragma once

#include <array>
#include <bit>
#include <cstdint>
#include <string>
#include <vector>

using PuppetVector = std::array<float, 3>;

struct PuppetKeyRecord {
    uint32_t vertex; // index into the node's vertex list
    PuppetVector position;
    PuppetVector normal;
};

struct PuppetTrackRecord {
    uint32_t driver; // node id
    uint32_t channel;
    float start;
    float end;
    std::vector<PuppetKeyRecord> keys;
};

struct PuppetNodeRecord {
    uint32_t parent; // not written for the first node
    uint32_t id;
    std::string name; // up to 100 bytes
    PuppetVector pivot;
    std::vector<uint32_t> vertices;
    std::vector<PuppetTrackRecord> tracks; // written only when the node has vertices
};

struct PuppetShapeRecord {
    uint32_t node;
    std::vector<PuppetVector> vertices;
    // Written as 36 bytes: the three indices and six zero words; then T / 2 x 3 zero edges.
    std::vector<std::array<uint32_t, 3>> triangles;
};

struct PuppetFileRecord {
    std::vector<uint32_t> duplicates;       // D source indices
    std::vector<uint32_t> vertexNodeCounts; // V entries
    std::vector<PuppetNodeRecord> nodes;
    std::vector<PuppetShapeRecord> shapes;
};

// Little-endian words and padded names.
struct PuppetBytes {
    std::vector<uint8_t> data;
    PuppetBytes& U32(uint32_t v) {
        for (int i = 0; i < 4; i++)
            data.push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
    PuppetBytes& F32(float v) { return U32(std::bit_cast<uint32_t>(v)); }
    PuppetBytes& Vector(const PuppetVector& v) { return F32(v[0]).F32(v[1]).F32(v[2]); }
    PuppetBytes& Name(const std::string& name, size_t size) {
        for (size_t i = 0; i < size; i++)
            data.push_back(i < name.size() ? uint8_t(name[i]) : 0);
        return *this;
    }
};

inline std::vector<uint8_t> PuppetFileBytes(const PuppetFileRecord& file) {
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
    PuppetBytes w;
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
        w.U32(n.id).Name(n.name, 100).U32(uint32_t(n.vertices.size())).Vector(n.pivot);
        if (n.vertices.empty()) continue;
        for (uint32_t v : n.vertices)
            w.U32(v);
        w.U32(uint32_t(n.tracks.size()));
        for (const PuppetTrackRecord& t : n.tracks) {
            w.U32(t.driver).U32(t.channel).F32(t.start).F32(t.end).U32(uint32_t(t.keys.size()));
            for (const PuppetKeyRecord& key : t.keys)
                w.U32(key.vertex).Vector(key.position).Vector(key.normal);
        }
    }
    for (const PuppetShapeRecord& s : file.shapes) {
        w.U32(s.node).U32(uint32_t(s.vertices.size())).U32(uint32_t(s.triangles.size()));
        for (const PuppetVector& v : s.vertices)
            w.Vector(v);
        for (const std::array<uint32_t, 3>& t : s.triangles) {
            w.U32(t[0]).U32(t[1]).U32(t[2]);
            for (int i = 0; i < 6; i++)
                w.U32(0);
        }
        for (size_t e = 0; e < s.triangles.size() / 2 * 3; e++)
            w.U32(0).U32(0);
    }
    return w.data;
}

struct AnimKeyframeRecord {
    float t0;
    float t1;
    std::vector<float> values; // node count x 6: rotations about y, x, z; translation x, y, z
};

struct AnimRecord {
    std::string name; // up to 16 bytes
    std::vector<uint32_t> nodes;
    std::vector<AnimKeyframeRecord> keyframes;
};

inline std::vector<uint8_t> AnimsFileBytes(const std::vector<AnimRecord>& anims) {
    PuppetBytes w;
    w.U32(uint32_t(anims.size()));
    for (const AnimRecord& a : anims) {
        w.Name(a.name, 16).U32(uint32_t(a.keyframes.size())).U32(uint32_t(a.nodes.size()));
        for (uint32_t id : a.nodes)
            w.U32(id);
        for (const AnimKeyframeRecord& k : a.keyframes) {
            w.F32(k.t0).F32(k.t1);
            for (size_t i = 0; i < a.nodes.size() * 6; i++)
                w.F32(i < k.values.size() ? k.values[i] : 0.0f);
        }
    }
    return w.data;
}
