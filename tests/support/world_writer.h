// Writes world-library chunks for tests and fuzz seeds: material lists, geometry, atomics and
// clumps, in the layout the engine's readers take.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/chunk_writer.h"
#include "tests/support/frame_list_writer.h"

struct MaterialRecord {
    std::array<uint8_t, 4> rgba{255, 255, 255, 255};
    int32_t sharedIndex = -1; // >= 0: the list entry shares that earlier entry's material
    std::string texture;      // empty: untextured
};

struct MorphRecord {
    std::array<float, 4> sphere{};              // centre x, y, z, radius
    std::vector<std::array<float, 3>> vertices; // empty: none stored
    std::vector<std::array<float, 3>> normals;  // empty: none stored
};

struct TriangleRecord {
    uint16_t v1, v2, v3;
    uint16_t material; // 0xFFFF: none
};

struct GeometryRecord {
    uint32_t flags = 0;
    int32_t numVertices = 0;
    std::vector<TriangleRecord> triangles;
    std::vector<uint8_t> preLight;   // 4 bytes per vertex when flags has 8
    std::vector<float> texCoords;    // 2 per vertex when flags has 4
    std::vector<uint8_t> modulation; // 4 bytes per vertex when flags has 2
    std::vector<MorphRecord> morphs;
    std::array<float, 3> surface{1, 1, 1};
    std::vector<MaterialRecord> materials;
};

// A geometry of `n` vertices on the x axis (x = 0 .. n-1) and a fan of triangles, one morph
// target with vertices, no materials.
GeometryRecord LineGeometry(int32_t n, int32_t triangles);

struct AtomicRecord {
    uint32_t frameIndex = 0;
    uint32_t flags = 5;
    GeometryRecord geometry;
    std::vector<ExtensionData> extension = {}; // plug-in data of the atomic
};

// Bodies and whole chunks. The geometry struct chunk holds the 28-byte header; the arrays
// follow it inside the geometry chunk.
ChunkWriter& WriteMaterialList(ChunkWriter& writer, const std::vector<MaterialRecord>& materials);
ChunkWriter& WriteGeometryBody(ChunkWriter& writer, const GeometryRecord& geometry);
ChunkWriter& WriteGeometry(ChunkWriter& writer, const GeometryRecord& geometry);
ChunkWriter& WriteAtomic(ChunkWriter& writer, const AtomicRecord& atomic);
ChunkWriter& WriteClumpBody(ChunkWriter& writer, const std::vector<FrameRecord>& frames,
                            const std::vector<AtomicRecord>& atomics);
ChunkWriter& WriteClump(ChunkWriter& writer, const std::vector<FrameRecord>& frames,
                        const std::vector<AtomicRecord>& atomics);

// A started engine on the null device with the world library attached and the driver's mesh
// builder as standard function 23 (the null device's own does nothing). `extra` runs after the
// world attach, before the engine opens (test plug-ins).
class NullEngine;
class WorldEngine {
public:
    explicit WorldEngine(bool (*extra)() = nullptr);
    ~WorldEngine();
    WorldEngine(const WorldEngine&) = delete;
    WorldEngine& operator=(const WorldEngine&) = delete;
    bool ok() const { return ok_; }

private:
    NullEngine* engine_;
    bool ok_ = false;
};

// Appends a new material of `colour` to `list`, which then holds its only reference.
struct TpMaterialList;
struct TpRGBA;
void AppendColouredMaterial(TpMaterialList* list, const TpRGBA& colour);
// Unlocks `geometry` and gives it to a new atomic (which then holds its only reference) on a
// new frame of its own, returned through `frame`.
struct TpAtomic;
struct TpGeometry;
struct TvFrame;
TpAtomic* AtomicOnOwnFrame(TpGeometry* geometry, TvFrame** frame);
