#include "engine/core/memory.h"
#include "game/missions/missions.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/objects/waterfalls.h"
#include "game/player/player.h"
#include "tests/game/objects/world_fixture.h"

namespace {

class WaterfallTest : public WorldModuleTest {
protected:
    void SetUp() override {
        WorldModuleTest::SetUp();
        gMV2Waterfalls.templates[0] = {};
        gMV2Waterfalls.templates[1] = {};
        ASSERT_EQ(MV2InitialiseWaterfalls(), 1);
        ASSERT_EQ(MV2InitialiseRipples(), 1);
        MV2RegisterWaterfallHandlers();
        MV2SetWaterHeight(-100.0f);
        gMV2FrameTimer.ticks = 1.0f;
        gMV2FrameTimer.seconds = 1.0f / 30.0f;
        TvRandomSeed(3);
        for (int32_t t : {376, 407})
            Type(t, 37);
    }
    void TearDown() override {
        MV2DestroyAllObjects();
        MV2SetPlayerObject(nullptr);
        MV2SetPlayerSub(nullptr);
        MV2ShutdownRipples();
        MV2ShutdownWaterfalls();
        gMV2Waterfalls.templates[0] = {};
        gMV2Waterfalls.templates[1] = {};
        WorldModuleTest::TearDown();
    }
    // A type whose model has n vertices: vertex i at (i, 40 - i, 0), in one strip of triangles.
    void Type(int32_t t, int32_t n) {
        std::vector<TvV3d> v;
        std::vector<std::array<uint16_t, 3>> tris;
        for (int32_t i = 0; i < n; i++)
            v.push_back({float(i), 40.0f - float(i), float(i % 2)});
        for (int32_t i = 0; i + 2 < n; i++)
            tris.push_back({uint16_t(i), uint16_t(i + 1), uint16_t(i + 2)});
        MV2ObjectType* type = MV2GetObjectType(t);
        if (type->model) TpClumpDestroy(type->model);
        type->model = ListedClump(v, tris);
        type->words[7] = kMV2TypeModelLoaded;
        if (!type->privateData) type->privateData = TvFreeListCreate(sizeof(MV2Waterfall), 8);
    }
    MV2Object* Make(int32_t t, float x = 0.0f) {
        const float at[3] = {x, 0, 0};
        MV2Object* o = MV2CreateObject(t, at, nullptr);
        TvFrameSyncDirty();
        return o;
    }
    static MV2Waterfall* Data(MV2Object* o) { return static_cast<MV2Waterfall*>(o->privateData); }
};

} // namespace

TEST_F(WaterfallTest, PrivateDataSizeAnswer) {
    MV2Object* w = Make(376);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(MV2WaterfallHandler(w, 96, 0, 0), 1); // a null p2 stores nothing
    uint32_t size = 0;
    EXPECT_EQ(MV2WaterfallHandler(w, 96, 0, intptr_t(&size)), 1);
    EXPECT_EQ(size, sizeof(MV2Waterfall));
}

TEST_F(WaterfallTest, CreationTakesThePathFromTheModel) {
    MV2Object* o = Make(407, 10.0f);
    ASSERT_NE(o, nullptr);
    MV2Waterfall* w = Data(o);
    EXPECT_EQ(w->type, 407);
    EXPECT_EQ(w->hasPath, 1);
    // Path point 1 from vertex 15: x 1.5 x 15, y as is, moved by the frame.
    EXPECT_FLOAT_EQ(w->path[1].x, 10.0f + 22.5f);
    EXPECT_FLOAT_EQ(w->path[1].y, 25.0f);
    EXPECT_FLOAT_EQ(w->path[3].y, 8.0f);
    for (int32_t i = 0; i < kMV2WaterfallParticles; i++) {
        EXPECT_EQ(w->puffs[i], 0.5f);
        EXPECT_TRUE(w->directions[i] == 1.0f || w->directions[i] == -1.0f);
    }
    for (float timer : w->splashTimers)
        EXPECT_EQ(timer, 999.0f);
    EXPECT_EQ(gMV2Waterfalls.count, 1);
    EXPECT_EQ(gMV2Waterfalls.list[0], o);
    MV2Object* straight = Make(376);
    EXPECT_FLOAT_EQ(Data(straight)->straight[1].x, 1.2f * 36.0f);
}

TEST_F(WaterfallTest, UpdateKeepsPuffsInRangeAndThrowsADrop) {
    MV2Object* o = Make(407);
    MV2Waterfall* w = Data(o);
    bool sawSplash = false;
    for (int32_t frame = 0; frame < 300; frame++) {
        gMV2FrameTimer.updateCounter++;
        const int32_t drops = MV2CountDrops();
        MV2ObjectSendMessage(o, 2, 0, 0);
        EXPECT_EQ(MV2CountDrops(), std::min(drops + 1, 64));
        for (float puff : w->puffs) {
            EXPECT_GE(puff, 0.25f);
            EXPECT_LE(puff, 1.0f);
        }
        for (float timer : w->splashTimers) {
            EXPECT_TRUE(timer > 990.0f || timer <= 1.0f) << timer; // idle counts down from 999
            sawSplash |= timer <= 1.0f;
        }
        EXPECT_EQ(w->lastUpdate, gMV2FrameTimer.updateCounter);
        MV2UpdateRipples();
    }
    EXPECT_TRUE(sawSplash);
}

// Two waterfalls of one type share their model's geometry; it scrolls once per frame.
TEST_F(WaterfallTest, SharedTextureScrollsOncePerFrame) {
    MV2Object* a = Make(376);
    MV2Object* b = Make(376, 5.0f);
    TpGeometry* g = TpAtomicGetGeometry(MV2GetFirstAtomic(a->clump));
    ASSERT_EQ(g, TpAtomicGetGeometry(MV2GetFirstAtomic(b->clump)));
    const float v0 = g->texCoords[0].v;
    gMV2FrameTimer.updateCounter++;
    MV2ObjectSendMessage(a, 2, 0, 0);
    MV2ObjectSendMessage(b, 2, 0, 0);
    EXPECT_FLOAT_EQ(g->texCoords[0].v, v0 + 1.0f / 30.0f);
    gMV2FrameTimer.updateCounter++;
    MV2ObjectSendMessage(b, 2, 0, 0);
    EXPECT_FLOAT_EQ(g->texCoords[0].v, v0 + 2.0f / 30.0f);
    // Past 40 the coordinates go back by 20.
    for (int32_t i = 0; i < g->numVertices; i++)
        g->texCoords[i].v = 39.99f;
    gMV2FrameTimer.updateCounter++;
    MV2ObjectSendMessage(a, 2, 0, 0);
    EXPECT_NEAR(g->texCoords[0].v, 39.99f + 1.0f / 30.0f - 20.0f, 1e-4f);
}

TEST_F(WaterfallTest, ListHoldsItsLimitAndDestructionKeepsItsOrder) {
    const int32_t n = kMV2MaxListedWaterfalls;
    std::vector<MV2Object*> made;
    for (int32_t i = 0; i <= n; i++)
        made.push_back(Make(407, float(i) * 0.1f));
    EXPECT_EQ(gMV2Waterfalls.count, n);
    MV2ObjectSendMessage(made[n], 4, 0, 0); // not listed: nothing moves
    EXPECT_EQ(gMV2Waterfalls.count, n);
    EXPECT_EQ(gMV2Waterfalls.list[n - 1], made[n - 1]);
    MV2ObjectSendMessage(made[1], 4, 0, 0);
    ASSERT_EQ(gMV2Waterfalls.count, n - 1);
    EXPECT_EQ(gMV2Waterfalls.list[1], made[2]);
    EXPECT_EQ(gMV2Waterfalls.list[n - 2], made[n - 1]);
}

TEST_F(WaterfallTest, AModelTooSmallMakesNoPath) {
    Type(407, 36);
    MV2Object* o = Make(407);
    ASSERT_NE(o, nullptr);
    EXPECT_EQ(Data(o)->hasPath, 0);
    EXPECT_EQ(gMV2Waterfalls.templates[1].valid, 0);
    gMV2FrameTimer.updateCounter++;
    MV2ObjectSendMessage(o, 2, 0, 0);
    EXPECT_EQ(MV2CountDrops(), 0);
}

// With the player in a pool (its water height differs from the level's), type 376 puts its
// spray on the straight path.
TEST_F(WaterfallTest, PoolFlagTakesTheStraightPath) {
    MV2Object* o = Make(376);
    ModelType(1);
    MV2Object* player = MV2CreateObject(1, nullptr, nullptr);
    MV2SetPlayerObject(player);
    MV2SetPlayerSub(player);
    MV2WaterRegion everywhere{{1e6f, 1e6f, 1e6f}, {-1e6f, -1e6f, -1e6f}, 0, o};
    MV2ObjectSendMessage(o, 17, 0, intptr_t(&everywhere.handle));
    gMV2Water.regions.push_back(everywhere);
    gMV2FrameTimer.updateCounter++;
    MV2ObjectSendMessage(o, 2, 0, 0);
    gMV2Water.regions.clear();
    EXPECT_EQ(gMV2Waterfalls.poolFlag, 1u);
    MV2Waterfall* w = Data(o);
    TvV3d p{};
    MV2StripPathPoint(w, 0.5f, &p);
    const TvV3d mid = TvV3dScale(TvV3dAdd(w->straight[0], w->straight[1]), 0.5f);
    EXPECT_NEAR(p.x, mid.x, 1e-4f);
    EXPECT_NEAR(p.y, mid.y, 1e-4f);
    gMV2FrameTimer.updateCounter++;
    MV2ObjectSendMessage(o, 2, 0, 0);
    EXPECT_EQ(gMV2Waterfalls.poolFlag, 0u);
}
