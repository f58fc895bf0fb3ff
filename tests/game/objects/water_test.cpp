#include <cstring>
#include <set>

#include "engine/world/material.h"
#include "game/objects/sky.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "platform/win32/win32.h"
#include "tests/game/objects/world_fixture.h"
#include "tests/support/data_folder.h"

namespace {

constexpr int32_t kPool = 160;

class WaterTest : public WorldModuleTest {
protected:
    void SetUp() override {
        WorldModuleTest::SetUp();
        MV2RegisterWaterHandlers();
        gMV2Water.regions.clear();
        MV2SetWaterHeight(2.0f);
        gMV2FrameTimer.ticks = 1.0f;
        gMV2FrameTimer.seconds = 1.0f / 30.0f;
    }
    void TearDown() override {
        gMV2Water.regions.clear();
        MV2ResetWater();
        MV2ShutdownRipples();
        WorldModuleTest::TearDown();
    }
    MV2Object* Pool(TpClump* model, float x, float z) {
        MV2ObjectType* type = MV2GetObjectType(kPool);
        if (type->model) TpClumpDestroy(type->model);
        type->model = model;
        type->words[7] = kMV2TypeModelLoaded;
        const float at[3] = {x, 0.0f, z};
        MV2Object* o = MV2CreateObject(kPool, at, nullptr);
        TvFrameSyncDirty();
        return o;
    }
};

} // namespace

// Regions answer their box's top only where the vertical line meets their surface model;
// a dead region, a point far below or outside every box gets the level height.
TEST_F(WaterTest, RegionsAnswerWhereTheirSurfaceLies) {
    // Surface triangles cover local x and z from -4 to 0 only; a stray vertex at (4, 8, 4)
    // stretches the box to 8 high and to +4.
    MV2Object* a = Pool(ListedClump({{-4, 5, -4}, {-4, 5, 0}, {0, 5, -4}, {0, 5, 0}, {4, 8, 4}},
                                    {{0, 1, 2}, {2, 1, 3}}),
                        10, 10);
    MV2Object* b = Pool(FlatClump(3.0f, 4.0f), -20, -20);
    ASSERT_NE(a, nullptr);
    ASSERT_NE(b, nullptr);
    MV2SetUpWaterRegions();
    ASSERT_EQ(gMV2Water.regions.size(), 2u);
    const MV2WaterRegion& ra =
        gMV2Water.regions[gMV2Water.regions[0].object == a ? 0 : 1];
    EXPECT_EQ(ra.object, a);
    EXPECT_FLOAT_EQ(ra.max.y, 8.0f);
    EXPECT_FLOAT_EQ(ra.min.x, 6.0f);

    struct Case {
        TvV3d point;
        float height;
    } cases[] = {
        {{100, 0, 100}, 2.0f},   // outside every box
        {{8, 3, 8}, 8.0f},       // over the surface: the box's top
        {{12, 3, 12}, 2.0f},     // inside the box, beside the surface
        {{8, -60, 8}, 2.0f},     // more than 50 below the box
        {{-20, 0, -20}, 3.0f},   // the second pool
        {{6, 3, 8}, 2.0f},       // on the box's edge: not strictly inside
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(MV2GetWaterHeight(&c.point), c.height)
            << c.point.x << "," << c.point.y << "," << c.point.z;

    MV2ObjectSendMessage(b, 4, 0, 0);
    const TvV3d inB{-20, 0, -20};
    EXPECT_FLOAT_EQ(MV2GetWaterHeight(&inB), 2.0f);
    float depth = 0;
    EXPECT_EQ(MV2GetWaterDepth(&inB, &depth), 1);
    EXPECT_FLOAT_EQ(depth, 2.0f);
}

// After 60 steps of 1.0 each of the 20 frames has shown once and the first is back; the
// material follows the frame.
TEST_F(WaterTest, SurfaceTexturesCycleEveryThreeTicks) {
    ASSERT_EQ(MV2InitialiseWater(), 1);
    ASSERT_EQ(textures_.reads.size(), 20u);
    EXPECT_EQ(textures_.reads[0], ".\\texture\\|WATERA|WATERAM");
    EXPECT_EQ(textures_.reads[19], ".\\texture\\|WATERT|WATERTM");
    EXPECT_EQ(gMV2Water.material->texture, gMV2Water.textures[0]);
    EXPECT_EQ(TvTextureGetFilterMode(gMV2Water.textures[5]), 4u);
    std::multiset<int32_t> shown;
    const TvV3d camera{0, -100, 0};
    for (int32_t i = 0; i < 60; i++) {
        const int32_t before = gMV2Water.frame;
        MV2UpdateWater(&camera);
        if (gMV2Water.frame != before) shown.insert(gMV2Water.frame);
        EXPECT_EQ(gMV2Water.material->texture, gMV2Water.textures[gMV2Water.frame]);
    }
    EXPECT_EQ(gMV2Water.frame, 0);
    EXPECT_EQ(shown.size(), 20u);
    for (int32_t f = 0; f < 20; f++)
        EXPECT_EQ(shown.count(f), 1u) << f;
}

TEST_F(WaterTest, AMissingFrameFailsTheInitialisation) {
    textures_.missing = {"*|WATERK"};
    EXPECT_EQ(MV2InitialiseWater(), 0);
    for (TvTexture* t : gMV2Water.textures)
        EXPECT_EQ(t, nullptr);
    EXPECT_EQ(gMV2Water.material, nullptr);
}

// The level rises by exactly 0.04 per tick until within 0.04 of its target, then closes in by
// 1% of the difference per tick; falling is the same.
TEST_F(WaterTest, LevelEasesTowardsItsTarget) {
    const TvV3d camera{0, -100, 0};
    MV2SetWaterHeight(0.0f);
    MV2SetWaterTargetHeight(1.0f);
    int32_t steps = 0;
    while (1.0f - gMV2Water.height > 0.04f) {
        const float before = gMV2Water.height;
        MV2UpdateWater(&camera);
        EXPECT_NEAR(gMV2Water.height - before, 0.04f, 1e-5f);
        ASSERT_LT(++steps, 100);
    }
    EXPECT_EQ(steps, 24);
    const float difference = 1.0f - gMV2Water.height;
    MV2UpdateWater(&camera);
    EXPECT_NEAR(1.0f - gMV2Water.height, difference * 0.99f, 1e-6f);

    gMV2FrameTimer.ticks = 2.0f;
    MV2SetWaterTargetHeight(-5.0f);
    const float before = gMV2Water.height;
    MV2UpdateWater(&camera);
    EXPECT_NEAR(before - gMV2Water.height, 0.08f, 1e-5f);
}

TEST_F(WaterTest, FogComesFromTheLevelFileThenTheDefault) {
    DataFolder folder;
    std::vector<uint8_t> level(256, 7), fallback(256, 9);
    folder.Write("data/deep.fog", level);
    ASSERT_EQ(MV2LoadFog("deep"), 1);
    EXPECT_EQ(MV2GetFogTable()[255], 7);
    folder.Write("data/default.fog", fallback);
    ASSERT_EQ(MV2LoadFog("shallow"), 1);
    EXPECT_EQ(MV2GetFogTable()[0], 9);
    std::remove((folder.path() + "/data/default.fog").c_str());
    EXPECT_EQ(MV2LoadFog("shallow"), 0);
    EXPECT_EQ(Boxes(), std::vector<std::string>{"Could not open default.fog file\n"});
    EXPECT_EQ(MV2GetFogTable()[0], 9); // the previous table stays
}

TEST_F(WaterTest, RipplesDropsAndSplashes) {
    ASSERT_EQ(MV2InitialiseRipples(), 1);
    const TvV3d at{0, 2.0f, 0};
    EXPECT_FLOAT_EQ(MV2AddRipple(&at, nullptr), 0.7f);
    const TvV3d slow{0.005f, 3.0f, 0.0f};
    EXPECT_FLOAT_EQ(MV2AddRipple(&at, &slow), 0.7f); // the vertical part does not count
    EXPECT_EQ(MV2CountDrops(), 0);
    const TvV3d moving{0.0f, 0.0f, 0.5f};
    EXPECT_FLOAT_EQ(MV2AddRipple(&at, &moving), 0.7f / 26.0f);
    EXPECT_EQ(MV2CountRipples(), 3);
    EXPECT_EQ(MV2CountDrops(), 1); // a moving source throws a drop

    // A second splash of the same (null) owner within 1.0 and 250 ms is refused; another
    // owner's is not.
    MV2AddObjectSplash(nullptr, &at);
    const TvV3d near{0.5f, 2.0f, 0.5f};
    MV2AddObjectSplash(nullptr, &near);
    EXPECT_EQ(MV2CountSplashes(), 1);
    ModelType(1);
    MV2Object* owner = MV2CreateObject(1, nullptr, nullptr);
    MV2AddObjectSplash(owner, &near);
    EXPECT_EQ(MV2CountSplashes(), 2);
    EXPECT_EQ(MV2CountDrops(), 3);

    // Ripples live 2 seconds and splashes 1; drops fall back into the water and ring it.
    for (int32_t i = 0; i < 10; i++)
        MV2UpdateRipples();
    MV2AddObjectSplash(nullptr, &near); // older than 250 ms now
    EXPECT_EQ(MV2CountSplashes(), 3);
    for (int32_t i = 0; i < 400; i++)
        MV2UpdateRipples();
    EXPECT_EQ(MV2CountDrops(), 0);
    EXPECT_EQ(MV2CountSplashes(), 0);
    EXPECT_EQ(MV2CountRipples(), 0);
    MV2AddDrop(&at, nullptr);
    int32_t steps = 0;
    while (MV2CountDrops() && steps < 200) {
        MV2UpdateRipples();
        steps++;
    }
    EXPECT_EQ(MV2CountDrops(), 0);
    EXPECT_EQ(MV2CountRipples(), 1);
}

TEST_F(WaterTest, SurfaceObjectsTakeTheWaterMaterialAndLeaveTheWorld) {
    ASSERT_EQ(MV2InitialiseWater(), 1);
    MV2Object* pool = Pool(FlatClump(3.0f, 4.0f), 0, 0);
    ASSERT_NE(pool, nullptr);
    TpGeometry* g = TpAtomicGetGeometry(MV2GetFirstAtomic(pool->clump));
    EXPECT_EQ(TpGeometryGetMaterial(g, 0), gMV2Water.material);
    EXPECT_EQ(g->triangles[1].material, 0);
    EXPECT_NE(TpClumpGetWorld(pool->clump), nullptr);
    MV2ObjectSendMessage(pool, 2, 0, 0);
    EXPECT_EQ(TpClumpGetWorld(pool->clump), nullptr);
}

// Sinking debris goes 40 seconds of game time after its creation; hits set its energy to -1.
TEST_F(WaterTest, DebrisSinksAndGoesAfterFortySeconds) {
    ModelType(240);
    MV2ResetDayClock();
    gMV2DayClock.gameClock = 1000;
    MV2Object* debris = MV2CreateObject(240, nullptr, nullptr);
    ASSERT_NE(debris, nullptr);
    const MV2ObjectHandle handle = debris->handle;
    EXPECT_EQ(MV2SinkingDebrisHandler(debris, 96, 0, 0), 0);
    EXPECT_EQ(MV2ObjectSendMessage(debris, 18, 0, 0), 1);
    EXPECT_EQ(debris->energy, -1.0f);
    gMV2DayClock.gameClock = 41000; // not yet past the end time
    MV2ObjectSendMessage(debris, 2, 0, 0);
    EXPECT_EQ(MV2ObjectHandleAlive(handle), 1);
    gMV2DayClock.gameClock = 41001;
    MV2ObjectSendMessage(debris, 2, 0, 0);
    EXPECT_EQ(MV2ObjectHandleAlive(handle), 0);
    MV2ResetDayClock();
}
