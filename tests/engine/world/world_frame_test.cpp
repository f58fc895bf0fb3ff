// A steady frame of a world allocates nothing after the first: moving atomics and the camera,
// the frame synchronisation that reties the atomics and rebuilds the visible-sector list, the
// visible-clump walk and atomic queries. Allocations are counted through the engine's memory
// hooks and through operator new, which this test program replaces.
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <new>

#include "engine/core/camera.h"
#include "engine/world/intersect.h"
#include "tests/support/world_grid.h"
#include "tests/support/world_writer.h"

namespace {

std::atomic<bool> g_counting{false};
std::atomic<int> g_allocations{0};

void Count() {
    if (g_counting) g_allocations++;
}

TvMemoryFunctions g_saved{};
void* CountedAllocate(size_t bytes) {
    Count();
    return g_saved.allocate(bytes);
}
void* CountedReallocate(void* block, size_t bytes) {
    Count();
    return g_saved.reallocate(block, bytes);
}
void* CountedZeroAllocate(size_t count, size_t size) {
    Count();
    return g_saved.zeroAllocate(count, size);
}

TpAtomic* Hit(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    ++*static_cast<int*>(data);
    return atomic;
}
TpClump* Seen(TpClump* clump, void* data) {
    ++*static_cast<int*>(data);
    return clump;
}

} // namespace

// Every block of these comes from malloc, so free is the matching release.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmismatched-new-delete"
void* operator new(size_t bytes) {
    Count();
    if (void* p = std::malloc(bytes ? bytes : 1)) return p;
    throw std::bad_alloc();
}
void* operator new[](size_t bytes) {
    return operator new(bytes);
}
void* operator new(size_t bytes, const std::nothrow_t&) noexcept {
    Count();
    return std::malloc(bytes ? bytes : 1);
}
void* operator new[](size_t bytes, const std::nothrow_t&) noexcept {
    return operator new(bytes, std::nothrow);
}
void operator delete(void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete[](void* p, const std::nothrow_t&) noexcept {
    std::free(p);
}
void operator delete(void* p) noexcept {
    std::free(p);
}
void operator delete[](void* p) noexcept {
    std::free(p);
}
void operator delete(void* p, size_t) noexcept {
    std::free(p);
}
void operator delete[](void* p, size_t) noexcept {
    std::free(p);
}
#pragma GCC diagnostic pop

namespace {

TEST(WorldFrameTest, SteadyFramesAllocateNothing) {
    for (int count : {500, 2000, 8000}) {
        SCOPED_TRACE(count);
        WorldEngine engine;
        ASSERT_TRUE(engine.ok());
        // The null device records the calls it gets; a driver function that keeps nothing.
        TV_ENGINE->standardFunctions[22] = [](void*, void*, int32_t) -> int32_t { return 1; };
        GridWorld grid = MakeGridWorld(count);
        TvCamera* camera = TvCameraCreate();
        TvFrame* cameraFrame = TvFrameCreate();
        const TvV3d eye{grid.side / 2, 5, -20};
        TvFrameTranslate(cameraFrame, &eye, kTvCombineReplace);
        TvCameraSetFrame(camera, cameraFrame);
        const TvV2d window{1, 1};
        TvCameraSetViewWindow(camera, &window);
        TvCameraSetFarClipPlane(camera, grid.side);
        TpWorldAddCamera(grid.world, camera);

        int hits = 0, clumps = 0;
        auto frame = [&](int n) {
            // Every tenth atomic moves and so does the camera: their ties and the visible
            // sectors are rebuilt by the synchronisation.
            const float step = n % 2 ? 0.5f : -0.5f;
            for (size_t i = 0; i < grid.atomics.size(); i += 10) {
                const TvV3d move{step, 0, step};
                TvFrameTranslate(TvObjectGetFrame(grid.atomics[i]), &move, kTvCombinePostConcat);
            }
            const TvV3d look{0, 0, step};
            TvFrameTranslate(cameraFrame, &look, kTvCombinePostConcat);
            TvFrameSyncDirty();
            TpCameraForAllVisibleClumps(camera, &clumps);
            TpIntersection sphere{};
            sphere.type = kTpIntersectSphere;
            sphere.t.sphere = {{grid.side / 2, 5, grid.side / 2}, 15};
            TpWorldForAllAtomicIntersections(grid.world, &sphere, Hit, &hits);
            TpIntersection line{};
            line.type = kTpIntersectLine;
            line.t.line = {{1, 5, 1}, {grid.side - 1, 5, grid.side - 1}};
            TpWorldForAllAtomicIntersections(grid.world, &line, Hit, &hits);
        };
        for (TpClump* c : grid.clumps)
            TpClumpSetCallBack(c, Seen);
        frame(0);

        TvMemoryFunctions* hooks = TvEngineGetMemoryFunctions();
        g_saved = *hooks;
        hooks->allocate = CountedAllocate;
        hooks->reallocate = CountedReallocate;
        hooks->zeroAllocate = CountedZeroAllocate;
        g_allocations = 0;
        g_counting = true;
        for (int n = 1; n <= 5; n++)
            frame(n);
        g_counting = false;
        *hooks = g_saved;
        EXPECT_EQ(g_allocations, 0);
        EXPECT_GT(hits, 0);
        EXPECT_GT(clumps, 0);

        TpWorldRemoveCamera(grid.world, camera);
        TvFrameDestroy(cameraFrame);
        DestroyGridWorld(grid);
    }
}

} // namespace
