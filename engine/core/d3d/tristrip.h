// Mesh building for geometry (standard function 23): a geometry's triangles grouped by material,
// opaque materials first, as one triangle list or one triangle strip per material, in one block
// allocated with the memory hooks that the geometry owns.
#pragma once

#include <cstdint>

// A geometry triangle as the builder reads it: three vertex indices and its material.
struct TvD3DMeshTriangle {
    uint16_t vertex[3];
    uint16_t pad;
    const void* material;
};

// What the world library offers the builder.
struct TvD3DMeshWorldData {
    uint16_t meshSerial; // stamped on each new block, then incremented
    bool reorderLists;   // run `reorderMesh` over every list mesh
    // Per-mesh reordering of a triangle-list mesh; false stops the pass.
    bool (*reorderMesh)(struct TvD3DMesh* mesh);
    // True when the material must be drawn after the opaque ones.
    bool (*isTransparent)(const void* material);
};

struct TvD3DMeshSource {
    const TvD3DMeshTriangle* triangles;
    int32_t numTriangles;
    TvD3DMeshWorldData* world;
};

inline constexpr uint16_t kTvD3DMeshTriangleList = 0;
inline constexpr uint16_t kTvD3DMeshTriangleStrip = 1;

// Block header; the meshes follow it, each padded to pointer alignment.
struct TvD3DMeshHeader {
    uint16_t flags; // kTvD3DMeshTriangleList or kTvD3DMeshTriangleStrip
    uint16_t pad;
    uint16_t numMeshes;
    uint16_t serialNum;
    uint32_t numTriangles; // of the geometry
    uint32_t firstMeshOffset;
};

// One material's mesh. Lists: `count` triangles of four u16 (three indices and a zero). Strips:
// `count` indices of one strip, consecutive strips joined by repeated vertices.
struct TvD3DMesh {
    uint32_t count;
    const void* material;
};

inline uint16_t* TvD3DMeshIndices(TvD3DMesh* mesh) {
    return reinterpret_cast<uint16_t*>(mesh + 1);
}
TvD3DMesh* TvD3DMeshFirst(TvD3DMeshHeader* header);
// The mesh after `mesh` (the caller counts up to numMeshes).
TvD3DMesh* TvD3DMeshNext(const TvD3DMeshHeader* header, TvD3DMesh* mesh);
// The shared block given to geometry without triangles; it is never freed.
TvD3DMeshHeader* TvD3DEmptyMeshBlock();

// Standard function 23: out is a TvD3DMeshHeader**, in a TvD3DMeshSource, flags bit 0 asks for
// strips. 1 with the block in *out; 0 with null on a failed allocation (E_TV_NOMEM).
int32_t TvD3DBuildMeshes(void* out, void* in, int32_t flags);
