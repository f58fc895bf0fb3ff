// Collision grids: per atomic, a 4 x 4 x 4 grid over its box listing the triangles in each cell,
// kept in ".col" files beside the models, and the sphere query built on them.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct TpAtomic;
struct TpClump;
struct MV2TriangleHit;

inline constexpr int32_t kMV2CollisionFileEntries = 30;
inline constexpr int32_t kMV2CollisionHeaderBytes = 244;
inline constexpr int32_t kMV2CollisionMaxHits = 8;

struct MV2CollisionCell {
    int32_t count;
    int32_t first;
};

// One atomic's grid as stored; its triangle list follows it.
struct MV2CollisionGrid {
    float min[3];
    float max[3];
    float reciprocal[3];
    MV2CollisionCell cells[64];
};
static_assert(sizeof(MV2CollisionGrid) == 548);

inline const uint32_t* MV2CollisionGridTriangles(const MV2CollisionGrid* grid) {
    return reinterpret_cast<const uint32_t*>(grid + 1);
}

// Builds the grids of every atomic (at most 30) and writes them to `path`; 1 on success.
int32_t MV2WriteCollisionFile(TpClump* clump, const char* path);
// Reads a collision file and hangs each grid on the clump's atomic of the same part tag; the
// loaded block (free with TvFree), or null when the file is missing, damaged or does not fit.
void* MV2ReadCollisionFile(const char* path, TpClump* clump);
// Hangs an already loaded block's grids on another copy of the model; 0 when an entry has no
// matching atomic (with a box) and linking stops there.
int32_t MV2LinkCollisionData(void* block, TpClump* clump);

// Triangles of the atomic that the sphere (in the atomic's space) touches, at most `max` (8
// when larger), each reported once.
int32_t MV2CollisionTreeSphereQuery(TpAtomic* atomic, const TvV3d* centre, float radius,
                                    int32_t max, MV2TriangleHit* out);
// The sphere-triangle test of the query on an explicit sphere.
int32_t MV2SphereTouchesTriangle(const TvV3d* centre, float radius, const TvV3d* normal,
                                 const TvV3d* a, const TvV3d* b, const TvV3d* c);
// Triangles behind a query sphere's centre are ignored while the switch is on; the object
// collision callback turns it on.
void MV2SetCollisionTreeOneSided(int32_t on);
