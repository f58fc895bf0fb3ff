// Geometry: the shared, reference-counted mesh data that atomics instance (morph targets,
// per-vertex colours and texture coordinates, triangles with their materials), the mesh headers
// built from it on unlock, and the geometry chunk reader.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "engine/world/material.h"

struct TvD3DMeshHeader;
struct TvFreeList;
struct TvStream;

inline constexpr uint8_t kTpGeometryObjectType = 8;

// Format flags.
inline constexpr uint8_t kTpGeometryStrip = 0x01;
inline constexpr uint8_t kTpGeometryModulate = 0x02;
inline constexpr uint8_t kTpGeometryTextured = 0x04;
inline constexpr uint8_t kTpGeometryPreLit = 0x08;
inline constexpr uint8_t kTpGeometryNormals = 0x10;
inline constexpr uint8_t kTpGeometryLight = 0x20;

// Lock flags: the parts changed since the geometry was last instanced.
inline constexpr uint16_t kTpLockPolygons = 0x01;
inline constexpr uint16_t kTpLockVertices = 0x02;
inline constexpr uint16_t kTpLockNormals = 0x04;
inline constexpr uint16_t kTpLockTexCoords = 0x08;
inline constexpr uint16_t kTpLockModulation = 0x10;
inline constexpr uint16_t kTpLockPreLight = 0x20;
inline constexpr uint16_t kTpLockAll = 0x3F;

inline constexpr int32_t kTpMaxVertices = 65535;
// Most morph targets a geometry read from a file may have.
inline constexpr int32_t kTpMaxMorphTargets = 256;
inline constexpr uint16_t kTpNoMaterial = 0xFFFF;

struct TpTriangle {
    uint16_t vertex[3];
    uint16_t material; // index into the geometry's material list; kTpNoMaterial for none
};

struct TpTexCoords {
    float u;
    float v;
};

struct TpGeometry;

struct TpMorphTarget {
    TpGeometry* parent;
    TvSphere boundingSphere;
    TvV3d* vertices;
    TvV3d* normals; // in the vertex block, after the vertices; only with kTpGeometryNormals
};

struct TpGeometry {
    uint8_t type;
    uint8_t subType;
    uint8_t flags; // format flags
    uint8_t privateFlags;
    uint8_t counter;
    uint16_t lockFlags;
    uint16_t refCount;
    TpMaterialList materials;
    int32_t numTriangles;
    int32_t numVertices;
    int32_t numMorphTargets;
    TpTriangle* triangles;
    uint8_t* preLight;   // 4 bytes per vertex
    uint8_t* modulation; // 4 bytes per vertex: r, g, b, a
    TpTexCoords* texCoords;
    float surfaceProps[3];
    TvD3DMeshHeader* mesh; // null while locked
    TpMorphTarget* morphTargets;
    // geometry plug-in data follows
};

// Geometry module data (module 0x503).
struct TpGeometryModuleData {
    TvFreeList* freeList;
};

TpGeometry* TpGeometryCreate(int32_t numVertices, int32_t numTriangles, uint8_t flags);
int32_t TpGeometryAddMorphTarget(TpGeometry* geometry);
TpGeometry* TpGeometryRemoveMorphTarget(TpGeometry* geometry, int32_t index);
TpGeometry* TpGeometryAddRef(TpGeometry* geometry);
int32_t TpGeometryDestroy(TpGeometry* geometry);
TpGeometry* TpGeometryLock(TpGeometry* geometry, uint16_t lockFlags);
TpGeometry* TpGeometryUnlock(TpGeometry* geometry);

int32_t TpGeometryGetNumTriangles(const TpGeometry* geometry);
int32_t TpGeometryGetNumVertices(const TpGeometry* geometry);
int32_t TpGeometryGetNumMorphTargets(const TpGeometry* geometry);
TpTriangle* TpGeometryGetTriangles(const TpGeometry* geometry);
uint8_t* TpGeometryGetPreLightColors(const TpGeometry* geometry);
TpTexCoords* TpGeometryGetTexCoords(const TpGeometry* geometry);
TpMorphTarget* TpGeometryGetMorphTarget(const TpGeometry* geometry, int32_t index);
TvV3d* TpMorphTargetGetVertices(const TpMorphTarget* target);
TvV3d* TpMorphTargetGetNormals(const TpMorphTarget* target);
TvSphere* TpMorphTargetGetBoundingSphere(TpMorphTarget* target);
TpMorphTarget* TpMorphTargetSetBoundingSphere(TpMorphTarget* target, const TvSphere* sphere);
TpMorphTarget* TpMorphTargetCalculateBoundingSphere(TpMorphTarget* target, TvSphere* sphere);
uint8_t TpGeometryGetFlags(const TpGeometry* geometry);
TpGeometry* TpGeometrySetFlags(TpGeometry* geometry, uint8_t flags);
TpGeometry* TpGeometrySetSurfaceProperties(TpGeometry* geometry, float ambient, float specular,
                                           float diffuse);
TpMaterial* TpGeometryGetMaterial(const TpGeometry* geometry, int32_t index);
TpMaterial* TpGeometryGetTriangleMaterial(const TpGeometry* geometry, int32_t triangle);
TpGeometry* TpGeometryForAllMaterials(TpGeometry* geometry, TpMaterialCallBack callback,
                                      void* data);

// Mesh header of `count` triangles through the driver's mesh builder (standard function 23):
// triangle lists, or strips when `strips`; null when it fails.
struct TvD3DMeshTriangle;
TvD3DMeshHeader* _TpBuildMeshHeader(const TvD3DMeshTriangle* triangles, int32_t count, bool strips);

// Reads the body of a geometry chunk (15); the caller has found the chunk.
TpGeometry* TpGeometryStreamRead(TvStream* stream);
// The same, reading no more than `limit` bytes (what is left of the enclosing geometry chunk).
TpGeometry* _TpGeometryStreamRead(TvStream* stream, uint64_t limit);
