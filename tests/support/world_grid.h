// Header-only: a flat world built in memory for query and frame measurements (benchmarks link
// no test support library). Atomics stand one per 10 x 10 cell of a square grid, each in a
// clump of its own; the sector tree splits the square alternately on x and z down to leaves
// that hold about eight atomics each.
#pragma once

#include <cmath>
#include <cstdint>
#include <vector>

#include "engine/core/frame.h"
#include "engine/core/memory.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/world.h"
#include "engine/world/world_plugin.h"

struct GridWorld {
    TpWorld* world = nullptr;
    float side = 0; // the world spans 0..side on x and z, 0..10 on y
    std::vector<TpClump*> clumps;
    std::vector<TpAtomic*> atomics;
};

inline constexpr float kGridCell = 10.0f;
inline constexpr float kGridAtomicRadius = 1.5f;

// A deterministic sequence in 0..1.
inline float GridRandom(uint32_t& state) {
    state = state * 1664525u + 1013904223u;
    return float(state >> 8) / float(1u << 24);
}

inline TpSector* GridTree(float x0, float x1, float z0, float z1, int levels) {
    if (levels == 0) {
        auto* leaf = _TpWorldSectorInitialise(
            static_cast<TpWorldSector*>(TvMalloc(size_t(TpWorldSectorRegistry.sizeOfStruct))));
        leaf->boundingBox = {{x1, kGridCell, z1}, {x0, 0, z0}};
        return reinterpret_cast<TpSector*>(leaf);
    }
    auto* plane = static_cast<TpPlaneSector*>(TvMalloc(sizeof(TpPlaneSector)));
    const bool onX = levels % 2 == 0;
    const float split = onX ? (x0 + x1) / 2 : (z0 + z1) / 2;
    TpSector* low =
        onX ? GridTree(x0, split, z0, z1, levels - 1) : GridTree(x0, x1, z0, split, levels - 1);
    TpSector* high =
        onX ? GridTree(split, x1, z0, z1, levels - 1) : GridTree(x0, x1, split, z1, levels - 1);
    *plane = TpPlaneSector{onX ? 0 : 8, split, low, high, split, split};
    return reinterpret_cast<TpSector*>(plane);
}

// A world of `count` atomics; their ties are made by the frame synchronisation at the end.
inline GridWorld MakeGridWorld(int count) {
    GridWorld g;
    const int cells = int(std::ceil(std::sqrt(double(count))));
    g.side = float(cells) * kGridCell;
    int levels = 0; // 4^(levels / 2) leaves, about eight atomics in each
    while ((1 << (levels + 2)) * 6 <= count)
        levels += 2;
    g.world =
        _TpWorldInitialise(static_cast<TpWorld*>(TvMalloc(size_t(TpWorldRegistry.sizeOfStruct))));
    g.world->root = GridTree(0, g.side, 0, g.side, levels);
    g.world->boundingBox = {{g.side, kGridCell, g.side}, {0, 0, 0}};
    _TpWorldEnter(g.world, 0);
    TpGeometry* geometry = TpGeometryCreate(1, 0, 0);
    const TvSphere sphere{{0, 0, 0}, kGridAtomicRadius};
    TpMorphTargetSetBoundingSphere(TpGeometryGetMorphTarget(geometry, 0), &sphere);
    uint32_t state = 12345;
    for (int i = 0; i < count; i++) {
        TpClump* clump = TpClumpCreate();
        TvFrame* frame = TvFrameCreate();
        const TvV3d at{(float(i % cells) + 0.2f + 0.6f * GridRandom(state)) * kGridCell,
                       2 + 6 * GridRandom(state),
                       (float(i / cells) + 0.2f + 0.6f * GridRandom(state)) * kGridCell};
        TvFrameTranslate(frame, &at, kTvCombineReplace);
        TpClumpSetFrame(clump, frame);
        TpAtomic* atomic = TpAtomicCreate();
        TpAtomicSetGeometry(atomic, geometry, 0);
        TpAtomicSetFrame(atomic, frame);
        TpClumpAddAtomic(clump, atomic);
        TpWorldAddClump(g.world, clump);
        g.clumps.push_back(clump);
        g.atomics.push_back(atomic);
    }
    TpGeometryDestroy(geometry);
    TvFrameSyncDirty();
    return g;
}

inline void DestroyGridWorld(GridWorld& g) {
    for (TpClump* clump : g.clumps) {
        TpWorldRemoveClump(g.world, clump);
        TpClumpDestroy(clump);
    }
    TpWorldDestroy(g.world);
    g = GridWorld{};
}
