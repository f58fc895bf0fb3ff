// Builds puppet model folder files in memory for tests and fuzz seeds: "puppet.pup" (nodes with
// the vertices they move, deformation tracks, hit shapes) and "anims.bin" (keyframed animations),
// little-endian as the file layouts give them.
#pragma once

#include <array>
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

std::vector<uint8_t> PuppetFileBytes(const PuppetFileRecord& file);

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

std::vector<uint8_t> AnimsFileBytes(const std::vector<AnimRecord>& anims);
