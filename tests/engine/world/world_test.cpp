// Worlds and sectors: sector ties of atomics and lights, cameras' visible-sector lists and their
// order, world rendering once per atomic, clump bookkeeping and the clump walks.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/core/camera.h"
#include "engine/core/error.h"
#include "engine/core/memory.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/light.h"
#include "engine/world/world.h"
#include "engine/world/world_plugin.h"
#include "tests/support/engine_checks.h"
#include "tests/support/world_writer.h"

namespace {

int g_renders = 0;
int32_t CountRender(TpAtomic*) {
    g_renders++;
    return 1;
}
TpWorldSector* DrawSector(TpWorldSector* sector) {
    return sector;
}
std::vector<TpClump*> g_visited;
TpClump* Visit(TpClump* clump, void*) {
    g_visited.push_back(clump);
    return clump;
}
TpWorldSector* CollectSector(TpWorldSector* sector, void* data) {
    static_cast<std::vector<TpWorldSector*>*>(data)->push_back(sector);
    return sector;
}
TpLight* CollectLight(TpLight* light, void* data) {
    static_cast<std::vector<TpLight*>*>(data)->push_back(light);
    return light;
}

class WorldTest : public ::testing::Test {
protected:
    // A 100-unit cube split on x at 50 into two leaves.
    void SetUp() override {
        ASSERT_TRUE(engine_.ok());
        g_renders = 0;
        g_visited.clear();
        world_ = _TpWorldInitialise(
            static_cast<TpWorld*>(TvMalloc(size_t(TpWorldRegistry.sizeOfStruct))));
        auto* plane = static_cast<TpPlaneSector*>(TvMalloc(sizeof(TpPlaneSector)));
        left_ = Leaf({50, 100, 100}, {0, 0, 0});
        right_ = Leaf({100, 100, 100}, {50, 0, 0});
        *plane = TpPlaneSector{0, 50, Node(left_), Node(right_), 50, 50};
        world_->root = Node(reinterpret_cast<TpWorldSector*>(plane));
        world_->boundingBox = {{100, 100, 100}, {0, 0, 0}};
        TpWorldSetSectorRenderCallBack(world_, DrawSector);
        ASSERT_TRUE(_TpWorldEnter(world_, 0));
    }
    void TearDown() override {
        if (camera_) {
            TpWorldRemoveCamera(world_, camera_);
            TvFrameDestroy(cameraFrame_);
        }
        for (TpClump* c : clumps_) {
            if (TpClumpGetWorld(c)) TpWorldRemoveClump(world_, c);
            TpClumpDestroy(c);
        }
        if (world_) TpWorldDestroy(world_);
        TV_ENGINE->curCamera = nullptr;
        TV_ENGINE->worldLibrary = nullptr;
    }
    static TpSector* Node(TpWorldSector* s) { return reinterpret_cast<TpSector*>(s); }
    static TpWorldSector* Leaf(TvV3d max, TvV3d min) {
        auto* leaf = _TpWorldSectorInitialise(
            static_cast<TpWorldSector*>(TvMalloc(size_t(TpWorldSectorRegistry.sizeOfStruct))));
        leaf->boundingBox = {max, min};
        return leaf;
    }
    // A clump of one atomic of radius `r` at `at`, added to the world; frames synchronised.
    TpClump* ClumpAt(TvV3d at, float r) {
        TpClump* c = TpClumpCreate();
        TvFrame* f = TvFrameCreate();
        TvFrameTranslate(f, &at, kTvCombineReplace);
        TpClumpSetFrame(c, f);
        TpAtomic* a = TpAtomicCreate();
        TpGeometry* g = TpGeometryCreate(1, 0, 0);
        TvSphere s{{0, 0, 0}, r};
        TpMorphTargetSetBoundingSphere(TpGeometryGetMorphTarget(g, 0), &s);
        TpAtomicSetGeometry(a, g, 0);
        TpGeometryDestroy(g);
        TpAtomicSetFrame(a, f);
        TpAtomicSetRenderCallBack(a, CountRender);
        TpClumpAddAtomic(c, a);
        TpWorldAddClump(world_, c);
        clumps_.push_back(c);
        TvFrameSyncDirty();
        return c;
    }
    static TpAtomic* First(TpClump* c) {
        return reinterpret_cast<TpAtomic*>(reinterpret_cast<uint8_t*>(c->atomics.next) -
                                           offsetof(TpAtomic, inClump));
    }
    static std::vector<TpWorldSector*> Sectors(TpAtomic* a) {
        std::vector<TpWorldSector*> out;
        TpAtomicForAllWorldSectors(a, CollectSector, &out);
        return out;
    }
    // A camera at `at` looking along +z that sees the whole world.
    void Camera(TvV3d at) {
        camera_ = TvCameraCreate();
        cameraFrame_ = TvFrameCreate();
        TvFrameTranslate(cameraFrame_, &at, kTvCombineReplace);
        TvCameraSetFrame(camera_, cameraFrame_);
        const TvV2d window{2, 2};
        TvCameraSetViewWindow(camera_, &window);
        TvCameraSetFarClipPlane(camera_, 500);
        TpWorldAddCamera(world_, camera_);
        TvFrameSyncDirty();
    }
    std::vector<TpWorldSector*> Visible() {
        std::vector<TpWorldSector*> out;
        TpCameraForAllVisibleSectors(camera_, CollectSector, &out);
        return out;
    }
    WorldEngine engine_;
    TpWorld* world_ = nullptr;
    TpWorldSector* left_ = nullptr;
    TpWorldSector* right_ = nullptr;
    TvCamera* camera_ = nullptr;
    TvFrame* cameraFrame_ = nullptr;
    std::vector<TpClump*> clumps_;
};

TEST_F(WorldTest, AtomicsAreTiedToTheLeavesTheyReach) {
    EXPECT_EQ(Sectors(First(ClumpAt({25, 50, 50}, 5))), std::vector<TpWorldSector*>{left_});
    EXPECT_EQ(Sectors(First(ClumpAt({75, 50, 50}, 5))), std::vector<TpWorldSector*>{right_});
    EXPECT_EQ(Sectors(First(ClumpAt({50, 50, 50}, 5))),
              (std::vector<TpWorldSector*>{right_, left_}));      // linked at the head
    EXPECT_TRUE(Sectors(First(ClumpAt({3, 50, 50}, 5))).empty()); // reaches below 0
    EXPECT_EQ(TpWorldSectorGetWorld(right_), world_);
}

TEST_F(WorldTest, RenderDrawsEachVisibleAtomicOnce) {
    ClumpAt({50, 50, 50}, 5); // in both leaves
    ClumpAt({3, 50, 50}, 5);  // in none
    Camera({50, 50, -100});
    ASSERT_EQ(Visible().size(), 2u);
    TV_ENGINE->curCamera = camera_; // as the camera's begin update leaves them
    TV_ENGINE->worldLibrary = world_;
    TpWorldAdvanceRenderFrame();
    TpWorldRender(world_);
    EXPECT_EQ(g_renders, 1);
    TpWorldRender(world_); // same frame: already drawn
    EXPECT_EQ(g_renders, 1);
    TpWorldAdvanceRenderFrame();
    TpWorldRender(world_);
    EXPECT_EQ(g_renders, 2);
}

TEST_F(WorldTest, VisibleSectorOrderFollowsRenderOrderAndCameraSide) {
    struct Case {
        uint32_t order;
        float x;
        bool lowerFirst;
    };
    const Case cases[] = {{kTpWorldBackToFront, 75, true},
                          {kTpWorldBackToFront, 25, false},
                          {kTpWorldFrontToBack, 75, false},
                          {kTpWorldFrontToBack, 25, true}};
    Camera({75, 50, -100});
    for (const Case& c : cases) {
        TpWorldSetRenderOrder(world_, c.order);
        const TvV3d at{c.x, 50, -100};
        TvFrameTranslate(cameraFrame_, &at, kTvCombineReplace);
        TvFrameSyncDirty();
        const std::vector<TpWorldSector*> expected =
            c.lowerFirst ? std::vector<TpWorldSector*>{left_, right_}
                         : std::vector<TpWorldSector*>{right_, left_};
        EXPECT_EQ(Visible(), expected) << c.order << " " << c.x;
    }
    // A camera looking away from the world sees nothing.
    const TvV3d away{75, 50, 300};
    TvFrameTranslate(cameraFrame_, &away, kTvCombineReplace);
    TvFrameSyncDirty();
    EXPECT_TRUE(Visible().empty());
}

TEST_F(WorldTest, ClumpsJoinOneWorldAtATime) {
    TpClump* c = ClumpAt({25, 50, 50}, 5);
    EXPECT_EQ(TpClumpGetWorld(c), world_);
    EXPECT_EQ(TpAtomicGetWorld(First(c)), world_);
    EXPECT_EQ(TpWorldAddClump(world_, c), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TP_CLUMPINWORLD);
    EXPECT_EQ(TpWorldRemoveClump(world_, c), world_);
    EXPECT_TRUE(Sectors(First(c)).empty());
    EXPECT_EQ(TpAtomicGetWorld(First(c)), nullptr);
    EXPECT_EQ(world_->numClumps, 0);
}

TEST_F(WorldTest, RemovingAClumpTwiceFails) {
    TpClump* c = ClumpAt({25, 50, 50}, 5);
    TpWorldRemoveClump(world_, c);
    EXPECT_EQ(TpWorldRemoveClump(world_, c), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TP_CLUMPNOTINWORLD);
}

TEST_F(WorldTest, ClumpWalks) {
    TpClump* a = ClumpAt({25, 50, 50}, 5);
    TpClump* b = ClumpAt({50, 50, 50}, 5);
    TpClump* c = ClumpAt({75, 50, 50}, 5);
    for (TpClump* k : {a, b, c})
        TpClumpSetCallBack(k, Visit);
    Camera({50, 50, -100});
    TpCameraForAllVisibleClumps(camera_, nullptr);
    EXPECT_EQ(g_visited.size(), 3u); // b reached through both leaves, called once

    // Looking away, the visible walk only stamps the camera; the unvisited walk then reaches
    // every clump.
    const TvV3d away{50, 50, 300};
    TvFrameTranslate(cameraFrame_, &away, kTvCombineReplace);
    TvFrameSyncDirty();
    g_visited.clear();
    TpCameraForAllVisibleClumps(camera_, nullptr);
    EXPECT_TRUE(g_visited.empty());
    for (int i = 0; i < 4; i++)
        TpCameraForNextUnvisitedClumps(camera_, 1, nullptr);
    std::sort(g_visited.begin(), g_visited.end());
    std::vector<TpClump*> all{a, b, c};
    std::sort(all.begin(), all.end());
    EXPECT_EQ(g_visited, all); // the list head takes one of the four steps
}

// Adds to the world a point light of radius 10 at (25, 50, 50) in the left leaf, on frame `f`,
// and an ambient light.
void AddPointAndAmbient(TpWorld* world, TvFrame* f, TpLight** point, TpLight** ambient) {
    *point = TpLightCreate(kTpLightPoint);
    *ambient = TpLightCreate(kTpLightAmbient);
    const TvV3d at{25, 50, 50};
    TvFrameTranslate(f, &at, kTvCombineReplace);
    TpLightSetFrame(*point, f);
    TpLightSetRadius(*point, 10);
    TpWorldAddLight(world, *point);
    TpWorldAddLight(world, *ambient);
}

TEST_F(WorldTest, LocalLightsAreTiedToTheLeavesTheirRadiusReaches) {
    TvFrame* f = TvFrameCreate();
    TpLight* point = nullptr;
    TpLight* ambient = nullptr;
    AddPointAndAmbient(world_, f, &point, &ambient);
    TvFrameSyncDirty();
    std::vector<TpLight*> lit;
    TpWorldSectorForAllLights(left_, CollectLight, &lit);
    EXPECT_EQ(lit, (std::vector<TpLight*>{point, ambient}));
    lit.clear();
    TpWorldSectorForAllLights(right_, CollectLight, &lit);
    EXPECT_EQ(lit, std::vector<TpLight*>{ambient});
    lit.clear();
    TpWorldForAllLights(world_, CollectLight, &lit);
    EXPECT_EQ(lit, (std::vector<TpLight*>{ambient, point})); // global lights first

    const TvV3d below{-20, 50, 50};
    TvFrameTranslate(f, &below, kTvCombineReplace);
    TvFrameSyncDirty();
    EXPECT_EQ(LastErrorCode(), E_TP_LIGHTBELOWZERO);

    TpWorldRemoveLight(world_, point);
    TpWorldRemoveLight(world_, ambient);
    EXPECT_EQ(TpLightGetWorld(point), nullptr);
    TpLightDestroy(point);
    TpLightDestroy(ambient);
    TvFrameDestroy(f);
}

TEST_F(WorldTest, DestroyingAWorldTakesOutTheLightsAndClumpsLeftInIt) {
    TvFrame* f = TvFrameCreate();
    TpLight* point = nullptr;
    TpLight* ambient = nullptr;
    AddPointAndAmbient(world_, f, &point, &ambient);
    TpClump* clump = TpClumpCreate();
    TpWorldAddClump(world_, clump);
    TvFrameSyncDirty();
    TpWorldDestroy(world_);
    world_ = nullptr;
    // Out of the freed world: destroying them later touches none of its memory.
    EXPECT_EQ(TpLightGetWorld(point), nullptr);
    EXPECT_EQ(TpLightGetWorld(ambient), nullptr);
    EXPECT_EQ(TpClumpGetWorld(clump), nullptr);
    TpLightDestroy(point);
    TpLightDestroy(ambient);
    TpClumpDestroy(clump);
    TvFrameDestroy(f);
}

} // namespace
