// Intersection queries: the world triangles, world sectors, atomics and atomic triangles that a
// line, point, sphere, box or atomic touches, each hit handed to a callback with a distance.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct TpAtomic;
struct TpWorld;
struct TpWorldSector;

enum TpIntersectionType : int32_t {
    kTpIntersectLine = 1,
    kTpIntersectPoint = 2,
    kTpIntersectSphere = 3,
    kTpIntersectBox = 4,    // maximum corner first, then minimum corner
    kTpIntersectAtomic = 5, // the atomic's world bounding sphere
};

struct TpLine {
    TvV3d start;
    TvV3d end;
};

struct TpIntersection {
    union {
        TpLine line;
        TvV3d point;
        TvSphere sphere;
        TvBBox box;
        TpAtomic* atomic;
    } t;
    int32_t type;
};

struct TpCollisionTriangle {
    TvV3d normal;  // unit length
    TvV3d point;   // the first vertex
    int32_t index; // in its sector or geometry
    TvV3d* vertices[3];
};

// Callbacks return a non-null value to go on, null to stop.
using TpWorldTriangleIntersectionCallBack = TpCollisionTriangle* (*)(TpIntersection* intersection,
                                                                     TpWorldSector* sector,
                                                                     TpCollisionTriangle* triangle,
                                                                     float distance, void* data);
using TpWorldAtomicIntersectionCallBack = TpAtomic* (*)(TpIntersection* intersection,
                                                        TpWorldSector* sector, TpAtomic* atomic,
                                                        float distance, void* data);
using TpWorldSectorIntersectionCallBack = TpWorldSector* (*)(TpIntersection* intersection,
                                                             TpWorldSector* sector, void* data);
using TpAtomicTriangleIntersectionCallBack = TpCollisionTriangle* (*)(TpIntersection* intersection,
                                                                      TpCollisionTriangle* triangle,
                                                                      float distance, void* data);

// Line distances are fractions of the query line (0 at its start, 1 at its end); sphere
// triangle hits give the centre's height above the triangle over the radius; sphere and atomic
// hits on atomics the centre distance over the sum of the radii; box hits 0.
TpWorld* TpWorldForAllTriangleIntersections(TpWorld* world, TpIntersection* intersection,
                                            TpWorldTriangleIntersectionCallBack callback,
                                            void* data);
TpWorld* TpWorldForAllAtomicIntersections(TpWorld* world, TpIntersection* intersection,
                                          TpWorldAtomicIntersectionCallBack callback, void* data);
TpWorld* TpWorldForAllSectorIntersections(TpWorld* world, TpIntersection* intersection,
                                          TpWorldSectorIntersectionCallBack callback, void* data);
TpAtomic* TpAtomicForAllTriangleIntersections(TpAtomic* atomic, TpIntersection* intersection,
                                              TpAtomicTriangleIntersectionCallBack callback,
                                              void* data);
