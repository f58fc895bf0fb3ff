// Game utilities: clump walkers, matrix helpers and animation time.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct TpAtomic;
struct TpClump;
struct TpGeometry;
struct TpIntersection;
struct TpMaterial;
struct TpWorld;
struct TpWorldSector;
struct TvFrame;
struct TvMatrix;
struct MV2Object;

// A triangle found by a query: as the engine's intersection callbacks deliver it.
struct MV2TriangleHit {
    TvV3d normal;
    TvV3d point; // a point of the triangle
    int32_t index;
    TvV3d* vertices[3];
};

// Called for each atomic meeting a sphere; `distance` is in world units between the centres.
using MV2AtomicInSphereCallBack = int32_t (*)(TpIntersection* intersection, TpWorldSector* sector,
                                              TpAtomic* atomic, float distance, void* data);

float MV2SinDegrees(float degrees);
float MV2CosDegrees(float degrees);

// The engine's rotation, then the previous position restored: the matrix turns about itself.
TvMatrix* MV2RotateMatrixInPlace(TvMatrix* matrix, const TvV3d* axis, float degrees,
                                 int32_t combine);
// The first atomic on the clump's root frame, else the first on the root's last child frame.
TpAtomic* MV2FindRootAtomic(TpClump* clump);
TpAtomic* MV2AtomicAddAnimTime(TpAtomic* atomic, void* time);
int32_t MV2AddAnimTime(TpClump* clump, float time);
// The parts of a model of one atomic, made by the game rather than read from a file.
struct MV2ModelParts {
    TpClump* clump;
    TvFrame* frame;
    TpAtomic* atomic;
    TpGeometry* geometry; // locked, as made
    TpMaterial* material; // null unless asked for
};
// Makes a clump, a frame, an atomic, a geometry of the given size and flags and, when asked, a
// material: all of them (1), or none (0) with those already made destroyed again.
int32_t MV2CreateModelParts(MV2ModelParts* parts, int32_t vertices, int32_t triangles,
                            uint32_t geometryFlags, bool material);
// Joins the parts once the geometry is unlocked: the atomic takes the geometry (the parts' own
// reference is dropped) and the frame, as does the clump, which takes the atomic. Returns it.
TpClump* MV2JoinModelParts(const MV2ModelParts& parts);
// Takes the clump out of its world and drops every atomic's geometry; the caller destroys it.
int32_t MV2DestroyClump(TpClump* clump);

TpClump* MV2GetFirstWorldClump(TpWorld* world);
TpClump* MV2GetNextWorldClump(TpWorld* world, TpClump* clump);
TpAtomic* MV2GetFirstAtomic(TpClump* clump);
TpAtomic* MV2GetNextAtomic(TpClump* clump, TpAtomic* atomic);
TvFrame* MV2GetRootFrame(TpClump* clump);
TvFrame* MV2GetRootFrame(TpAtomic* atomic);
float MV2GetBoundingRadius(TpAtomic* atomic);
TpAtomic* MV2FindAtomicByTag(TpClump* clump, uint32_t tag);
// The root frame, or the first frame depth-first, that carries an atomic and has the tag.
TvFrame* MV2FindFrameByTag(TpClump* clump, uint32_t tag);
TpAtomic* MV2AtomicSetFlagsCallback(TpAtomic* atomic, void* flags);
int32_t MV2SetAllAtomicFlags(TpClump* clump, uint8_t flags);

int32_t MV2GetTrianglesInSphere(TpWorld* world, const TvV3d* centre, float radius, int32_t max,
                                MV2TriangleHit* out);
int32_t MV2GetFacingTrianglesInSphere(TpWorld* world, const TvV3d* centre, float radius,
                                      int32_t max, MV2TriangleHit* out);
int32_t MV2GetTrianglesInBox(TpWorld* world, const TvV3d* a, const TvV3d* b, int32_t max,
                             MV2TriangleHit* out);
int32_t MV2IntersectWorldLine(TpWorld* world, const TvV3d* start, const TvV3d* end,
                              MV2TriangleHit* hit, float* fraction);
int32_t MV2IntersectAtomicLine(TpAtomic* atomic, const TvV3d* start, const TvV3d* end,
                               int32_t* triangle, float* fraction);
int32_t MV2IntersectSceneLine(TpWorld* world, const TvV3d* start, const TvV3d* end,
                              MV2TriangleHit* hit, float* fraction, TpAtomic** atomic,
                              MV2Object* ignored);
int32_t MV2TraceLine(TpWorld* world, const TvV3d* start, const TvV3d* end, TvV3d* point,
                     TvV3d* normal, float* distance, TpAtomic** atomic, MV2Object* ignored);
int32_t MV2HasLineOfSight(TpWorld* world, const TvV3d* start, const TvV3d* end, MV2Object* ignored,
                          MV2Object* target);
void MV2ForAllAtomicsInSphere(TpWorld* world, const TvV3d* centre, float radius,
                              MV2AtomicInSphereCallBack callback, void* data);

float MV2RandomUnit();
void MV2RandomDirection(TvV3d* out);
void MV2RandomHorizontalDirection(TvV3d* out);
