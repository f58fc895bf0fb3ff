// Clumps built in memory from explicit meshes: each atomic on its own frame under the clump's
// root frame, with its part tag, for collision-grid tests and benchmarks.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/objects/modeltags.h"

struct MeshPart {
    std::vector<TvV3d> vertices;
    std::vector<std::array<uint16_t, 3>> triangles;
    uint32_t tag = 0;
    TvV3d offset{0, 0, 0}; // the part's frame position under the root
};

inline TpGeometry* MakeMeshGeometry(const MeshPart& part) {
    TpGeometry* g =
        TpGeometryCreate(int32_t(part.vertices.size()), int32_t(part.triangles.size()), 0);
    TvV3d* v = TpMorphTargetGetVertices(TpGeometryGetMorphTarget(g, 0));
    for (size_t i = 0; i < part.vertices.size(); i++)
        v[i] = part.vertices[i];
    TpTriangle* t = TpGeometryGetTriangles(g);
    for (size_t i = 0; i < part.triangles.size(); i++)
        t[i] = TpTriangle{{part.triangles[i][0], part.triangles[i][1], part.triangles[i][2]},
                          kTpNoMaterial};
    TvSphere sphere{};
    TpMorphTargetCalculateBoundingSphere(TpGeometryGetMorphTarget(g, 0), &sphere);
    TpMorphTargetSetBoundingSphere(TpGeometryGetMorphTarget(g, 0), &sphere);
    return g;
}

inline TpClump* MakeMeshClump(const std::vector<MeshPart>& parts) {
    TpClump* clump = TpClumpCreate();
    TvFrame* root = TvFrameCreate();
    TpClumpSetFrame(clump, root);
    for (const MeshPart& part : parts) {
        TvFrame* frame = TvFrameCreate();
        TvFrameTranslate(frame, &part.offset, kTvCombineReplace);
        TvFrameAddChild(root, frame);
        TpGeometry* g = MakeMeshGeometry(part);
        TpAtomic* atomic = TpAtomicCreate();
        TpAtomicSetGeometry(atomic, g, 0);
        TpGeometryDestroy(g);
        TpAtomicSetFrame(atomic, frame);
        TpClumpAddAtomic(clump, atomic);
        MV2AtomicSetPartTag(atomic, part.tag);
    }
    return clump;
}

// A rectangle of nx x ny cells in the plane z = 0 from (0, 0) to (sizeX, sizeY), two triangles
// per cell, facing +z.
inline MeshPart PlaneMesh(int32_t nx, int32_t ny, float sizeX, float sizeY, uint32_t tag = 0) {
    MeshPart part;
    part.tag = tag;
    for (int32_t y = 0; y <= ny; y++)
        for (int32_t x = 0; x <= nx; x++)
            part.vertices.push_back(
                {sizeX * float(x) / float(nx), sizeY * float(y) / float(ny), 0});
    for (int32_t y = 0; y < ny; y++)
        for (int32_t x = 0; x < nx; x++) {
            const auto a = uint16_t(y * (nx + 1) + x), b = uint16_t(a + 1),
                       c = uint16_t(a + nx + 1), d = uint16_t(c + 1);
            part.triangles.push_back({a, b, d});
            part.triangles.push_back({a, d, c});
        }
    return part;
}

// A square of n x n cells of the given size.
inline MeshPart PlaneMesh(int32_t n, float size, uint32_t tag = 0) {
    return PlaneMesh(n, n, size, size, tag);
}
