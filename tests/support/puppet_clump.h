// Header-only (fuzz targets and benchmarks link no test support library): the clump a puppet
// skins, one atomic on the clump's frame whose geometry has the given vertices and normals
// (0, 1, 0), and no triangles.
#pragma once

#include <cstdint>

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"

inline TpClump* MakeVertexClump(const TvV3d* vertices, int32_t count) {
    TpClump* clump = TpClumpCreate();
    TvFrame* frame = TvFrameCreate();
    TpClumpSetFrame(clump, frame);
    TpGeometry* geometry = TpGeometryCreate(count, 0, kTpGeometryNormals);
    TpMorphTarget* target = TpGeometryGetMorphTarget(geometry, 0);
    for (int32_t i = 0; i < count; i++) {
        target->vertices[i] = vertices[i];
        target->normals[i] = {0, 1, 0};
    }
    TpAtomic* atomic = TpAtomicCreate();
    TpAtomicSetGeometry(atomic, geometry, 0);
    TpGeometryDestroy(geometry);
    TpAtomicSetFrame(atomic, frame);
    TpClumpAddAtomic(clump, atomic);
    return clump;
}
