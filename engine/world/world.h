// Worlds and sectors: a landscape split by an axis-aligned partition tree whose leaves are world
// sectors; clumps, atomics, lights and cameras added to a world, the ties of atomics and lights to
// the sectors their bounds reach, cameras' visible-sector lists, and world rendering.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/bytes.h"
#include "engine/core/engine.h"
#include "engine/core/frame.h"
#include "engine/core/vector.h"
#include "engine/core/walk_stack.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/material.h"

struct TvCamera;
struct TvD3DMeshHeader;
struct TvResEntry;
struct TpAtomic;
struct TpClump;
struct TpLight;

inline constexpr uint8_t kTpWorldObjectType = 7;
// World private flags bit 0: the world and all its sectors live in one memory block.
inline constexpr uint8_t kTpWorldSingleBlock = 0x01;

enum TpWorldRenderOrder : uint32_t {
    kTpWorldFrontToBack = 1,
    kTpWorldBackToFront = 2,
};

// Common start of plane and leaf sectors: the byte offset of the split axis (0, 4, 8), or
// negative for a leaf.
struct TpSector {
    int32_t type;
};

struct TpPlaneSector {
    int32_t type;
    float value;
    TpSector* leftChild;  // lower side
    TpSector* rightChild; // upper side
    float leftValue;      // largest coordinate on the axis of anything in the left subtree
    float rightValue;     // smallest coordinate of anything in the right subtree
};

struct TpSectorTriangle {
    uint8_t material; // relative to the sector's first material index
    uint8_t vertex[3];
};

struct TpWorldSector {
    int32_t type; // -1
    uint16_t firstMaterial;
    uint16_t numVertices;
    uint16_t numTriangles;
    TpSectorTriangle* triangles;
    TvV3d* vertices;
    uint8_t* normals;       // 4 bytes per vertex: signed x, y, z / 128 and a spare byte
    TpTexCoords* texCoords; // world flag 4
    uint8_t* modulation;    // world flag 2
    uint8_t* preLight;      // world flag 8
    TvResEntry* instancedData;
    TvLink collisionAtomics; // ties of atomics with flag bit 0
    TvLink otherAtomics;
    TvLink lights;
    TvBBox boundingBox;
    void* collisionTree;
    TvD3DMeshHeader* mesh;
    // sector plug-in data follows
};

using TpWorldSectorCallBack = TpWorldSector* (*)(TpWorldSector* sector, void* data);
using TpWorldSectorRenderCallBack = TpWorldSector* (*)(TpWorldSector* sector);
using TpLightCallBack = TpLight* (*)(TpLight* light, void* data);

struct TpWorld {
    TvObject object;
    uint32_t renderOrder;
    TpMaterialList materials;
    TpSector* root;
    int32_t numClumps;
    TvLink* clumpCursor;
    TvLink clumps; // through TpClump::inWorld
    TvLink localLights;
    TvLink globalLights;
    TvV3d offset;
    TvBBox boundingBox;
    float surfaceProps[3];
    TpWorldSectorRenderCallBack renderCallBack;
    uint8_t counter;
    // world plug-in data follows
};

// A tie of an atomic or a light to a world sector.
struct TpSectorTie {
    TvLink inSector;
    void* object;
    TvLink inObject;
    TpWorldSector* sector;
};
inline TpSectorTie* TpTieInSector(TvLink* link) {
    return TvContainerOf<TpSectorTie>(link, offsetof(TpSectorTie, inSector));
}
inline TpSectorTie* TpTieInObject(TvLink* link) {
    return TvContainerOf<TpSectorTie>(link, offsetof(TpSectorTie, inObject));
}

// Set-up of worlds made by readers: fields, lists and plug-in data of a new world and sector,
// and entry into the world module's list of worlds.
// A reader constructs the world's plug-in data itself once the sector tree is read.
TpWorld* _TpWorldInitialise(TpWorld* world, bool constructPlugins = true);
TpWorldSector* _TpWorldSectorInitialise(TpWorldSector* sector);
bool _TpWorldEnter(TpWorld* world, size_t blockSize);

int32_t TpWorldDestroy(TpWorld* world);
// Destroys a world whose plug-in data has (`pluginData`) or has not been constructed yet.
int32_t _TpWorldDestroy(TpWorld* world, bool pluginData);
TvBBox* TpWorldGetBBox(TpWorld* world);
TvV3d* TpWorldGetOffset(TpWorld* world);
TpWorld* TpWorldSetSurfaceProperties(TpWorld* world, float ambient, float specular, float diffuse);
TpWorld* TpWorldSetRenderOrder(TpWorld* world, uint32_t order);
TpWorld* TpWorldSetFlags(TpWorld* world, uint8_t flags);
uint8_t TpWorldGetFlags(const TpWorld* world);
TpWorld* TpWorldSetSectorRenderCallBack(TpWorld* world, TpWorldSectorRenderCallBack callBack);
TpWorldSectorRenderCallBack TpWorldGetSectorRenderCallBack(const TpWorld* world);
struct TvPipe;
TvPipe* TpWorldGetDefaultSectorPipe();
TpWorld* TpWorldForAllClumps(TpWorld* world, TpClumpCallBack callback, void* data);
TpWorld* TpWorldForAllMaterials(TpWorld* world, TpMaterialCallBack callback, void* data);
TpWorld* TpWorldForAllLights(TpWorld* world, TpLightCallBack callback, void* data);
TpWorld* TpWorldForAllWorldSectors(TpWorld* world, TpWorldSectorCallBack callback, void* data);
TpWorld* TpWorldSectorGetWorld(const TpWorldSector* sector);
TpWorldSector* TpWorldSectorRender(TpWorldSector* sector);

TpWorld* TpWorldAddClump(TpWorld* world, TpClump* clump);
TpWorld* TpWorldRemoveClump(TpWorld* world, TpClump* clump);
TpWorld* TpWorldAddAtomic(TpWorld* world, TpAtomic* atomic);
TpWorld* TpWorldRemoveAtomic(TpWorld* world, TpAtomic* atomic);
TpWorld* TpClumpGetWorld(const TpClump* clump);
TpWorld* TpAtomicGetWorld(const TpAtomic* atomic);
TpWorld* TpWorldAddLight(TpWorld* world, TpLight* light);
TpWorld* TpWorldRemoveLight(TpWorld* world, TpLight* light);
TpWorld* TpLightGetWorld(const TpLight* light);
TpWorld* TpWorldAddCamera(TpWorld* world, TvCamera* camera);
TpWorld* TpWorldRemoveCamera(TpWorld* world, TvCamera* camera);
TpWorld* TpCameraGetWorld(const TvCamera* camera);
TvCamera* TpCameraForAllVisibleSectors(TvCamera* camera, TpWorldSectorCallBack callback,
                                       void* data);
TvCamera* TpCameraForAllVisibleClumps(TvCamera* camera, void* data);
TvCamera* TpCameraForNextUnvisitedClumps(TvCamera* camera, int32_t maximum, void* data);
TpAtomic* TpAtomicForAllWorldSectors(TpAtomic* atomic, TpWorldSectorCallBack callback, void* data);
TpWorldSector* TpWorldSectorForAllLights(TpWorldSector* sector, TpLightCallBack callback,
                                         void* data);
TpWorld* TpWorldRender(TpWorld* world);

// Deepest sector tree the world reader takes (planes from the root to a leaf).
inline constexpr int32_t kTpMaxSectorDepth = 256;
// Pending nodes of a sector-tree walk that pushes both children of a node: one per level at
// most, so walks of trees the reader takes never allocate.
template <typename T> using TpSectorWalk = TvWalkStack<T, kTpMaxSectorDepth + 2>;

// Leaves whose subtree extents a box reaches (min below a node's left extent: left side; max
// above its right extent: right side), left first; the walk stops when `visit` returns false.
template <typename F> void TpWorldForLeavesReached(TpSector* root, const TvBBox& box, F visit) {
    TpSectorWalk<TpSector*> pending;
    if (root) pending.Push(root);
    while (!pending.Empty()) {
        TpSector* s = pending.Pop();
        if (s->type < 0) {
            if (!visit(reinterpret_cast<TpWorldSector*>(s))) return;
            continue;
        }
        auto* p = reinterpret_cast<TpPlaneSector*>(s);
        const int axis = (p->type >> 2) % 3;
        if ((&box.sup.x)[axis] > p->rightValue) pending.Push(p->rightChild);
        if ((&box.inf.x)[axis] < p->leftValue) pending.Push(p->leftChild);
    }
}

// The world of the camera being updated (engine instance word 1), or null.
TpWorld* TpWorldGetCurrent();
