// Writes world chunks (world, plane sectors, atomic sectors) for tests and fuzz seeds, in the
// layout the engine's world reader takes.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

#include "tests/support/chunk_writer.h"
#include "tests/support/world_writer.h"

struct LeafRecord {
    uint32_t firstMaterial = 0;
    std::vector<std::array<float, 3>> vertices;
    std::vector<std::array<uint8_t, 4>> triangles; // relative material, vertex 1, 2, 3
    // Written only when the world's format flags ask for them (4 bytes per vertex; texture
    // coordinates 2 floats): missing entries are written as zeros.
    std::vector<uint8_t> normals, preLight, modulation;
    std::vector<float> texCoords;
    std::optional<std::array<float, 6>> box; // min x, y, z, max x, y, z; default: the vertices'
    std::vector<uint8_t> collisionTree;      // empty: none; else padded to 384 bytes
    std::vector<ExtensionData> extensions;
};

struct SectorRecord {
    // A plane node when it has two children, a leaf otherwise.
    int32_t axis = 0;
    float value = 0, left = 0, right = 0;
    std::vector<SectorRecord> children;
    LeafRecord leaf;
};

SectorRecord LeafNode(LeafRecord leaf);
SectorRecord PlaneNode(int32_t axis, float value, float left, float right, SectorRecord lower,
                       SectorRecord upper);

struct WorldRecord {
    std::array<float, 3> origin{};
    std::array<float, 3> surface{1, 1, 1};
    uint32_t format = 0; // world flags in the low byte; bit 30 separate plane extents
    std::vector<MaterialRecord> materials{MaterialRecord{}};
    SectorRecord root;
    std::vector<ExtensionData> extensions;
    // Header counts; unset: what the tree holds (collision bytes: its trees' kept lengths).
    std::optional<uint32_t> numTriangles, numVertices, numPlanes, numLeaves, collisionBytes;
};

// The byte-coded collision tree of one end node holding `triangles` triangles.
std::vector<uint8_t> SingleNodeTree(uint8_t triangles);

ChunkWriter& WriteWorld(ChunkWriter& writer, const WorldRecord& world);
std::vector<uint8_t> WorldBytes(const WorldRecord& world);

// Reads the world chunk that starts `bytes` through the engine's world reader; the chunk header
// is taken as it stands, so that a file cut short reaches the reader. Null when it fails.
struct TpWorld;
TpWorld* ReadWorldChunk(const std::vector<uint8_t>& bytes);
