// Regrowing objects, the respawner and the floor height.
#include "tests/game/effects/effects_fixture.h"

#include "engine/world/world.h"
#include "game/objects/clumpdata.h"
#include "game/objects/utilities.h"

namespace {

class RegrowTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        MV2RegisterRegrowHandlers();
        MV2ObjectType* plant = HandledType(350, MV2RegrowHandler, sizeof(MV2RegrowData), 0.5f);
        plant->words[31] = 1u << 28; // a body
        MV2SetTypeFloat(plant, 2, 1.0f);
        HandledType(kMV2RespawnerType, MV2RespawnerHandler, sizeof(MV2RespawnerData), 0.1f);
    }
    static MV2RegrowData* Data(MV2Object* o) { return static_cast<MV2RegrowData*>(o->privateData); }
    // The live objects of a type in the world (the respawner is never activated).
    static std::vector<MV2Object*> Live(int32_t type) {
        std::vector<MV2Object*> out;
        for (TpClump* c = MV2GetFirstWorldClump(MV2World); c; c = MV2GetNextWorldClump(MV2World, c))
            if (MV2Object* o = MV2GetClumpObject(c))
                if (int32_t(o->typeWord & kMV2ObjectTypeMask) == type) out.push_back(o);
        return out;
    }
    static MV2RespawnerData* Respawner(MV2Object* o) {
        return static_cast<MV2RespawnerData*>(o->privateData);
    }
};

} // namespace

TEST_F(RegrowTest, APlantGrowsFromItsSmallestAndCannotBeTakenUntilGrown) {
    MV2Object* plant = Make(350, Rel(0, -3, 8));
    ASSERT_NE(plant, nullptr);
    MV2RegrowData* d = Data(plant);
    EXPECT_EQ(d->held, 1u);
    EXPECT_GE(d->growthDuration, 8000u);
    EXPECT_LE(d->growthDuration, 12095u);
    EXPECT_FALSE(plant->typeWord & kMV2RegrowFloating);
    EXPECT_NEAR(plant->matrix->up.y, 0.025f, 1e-6f);
    EXPECT_NEAR(plant->matrix->right.x, 0.025f, 1e-6f);
    const std::vector<MV2Object*> watchers = Live(kMV2RespawnerType);
    ASSERT_EQ(watchers.size(), 1u);
    EXPECT_EQ(Respawner(watchers[0])->watched, plant->handle);
    EXPECT_EQ(Respawner(watchers[0])->type, 350u);
    EXPECT_EQ(Respawner(watchers[0])->respawnTime, 0u);

    // Half way: tall by 0.5125, wide by 0.146875 (the cube of the fraction).
    d->growthDuration = 10000;
    gMV2DayClock.gameClock = d->growthStart + 5000;
    plant->body->velocity = {0.3f, 0, 0};
    MV2ObjectSendMessage(plant, 2, 0, 0);
    EXPECT_NEAR(plant->matrix->up.y, 0.5125f, 1e-5f);
    EXPECT_NEAR(plant->matrix->at.z, 0.146875f, 1e-5f);
    EXPECT_NEAR(plant->radius, d->radius * 0.5125f, 1e-5f);
    EXPECT_EQ(MV2ObjectSendMessage(plant, 45, 0, 0), 0);
    // Held in place.
    EXPECT_EQ(plant->matrix->pos.x, d->home.x);
    EXPECT_EQ(plant->body->velocity.x, 0.0f);
    // Grown: the rows come back whole and the magnet may take it.
    gMV2DayClock.gameClock = d->growthStart + 10000;
    MV2ObjectSendMessage(plant, 2, 0, 0);
    EXPECT_EQ(d->growthDuration, 0u);
    EXPECT_FLOAT_EQ(plant->matrix->up.y, 1.0f);
    EXPECT_EQ(MV2ObjectSendMessage(plant, 45, 0, 0), 1);
    // Taken: it floats up and away.
    EXPECT_EQ(MV2ObjectSendMessage(plant, 44, 0, 0), 1);
    EXPECT_EQ(d->held, 0u);
    EXPECT_TRUE(plant->typeWord & kMV2RegrowFloating);
    EXPECT_NEAR(plant->body->velocity.y, 0.075f, 1e-6f);
}

TEST_F(RegrowTest, AHarvestedPlantComesBackAtItsPlaceSomeSecondsLater) {
    MV2Object* plant = Make(350, Rel(2, -3, 8));
    ASSERT_NE(plant, nullptr);
    const TvV3d home = plant->matrix->pos;
    MV2Object* watcher = Live(kMV2RespawnerType).at(0);
    MV2RespawnerData* r = Respawner(watcher);
    MV2ObjectSendMessage(watcher, 2, 0, 0);
    EXPECT_EQ(r->respawnTime, 0u); // the plant lives
    MV2ObjectSendMessage(plant, 4, 0, 0);
    const uint32_t gone = MV2EffectClock();
    MV2ObjectSendMessage(watcher, 2, 0, 0);
    EXPECT_GE(r->respawnTime, gone + 2000);
    EXPECT_LE(r->respawnTime, gone + 10191);
    gMV2DayClock.gameClock = r->respawnTime;
    MV2ObjectSendMessage(watcher, 2, 0, 0);
    EXPECT_TRUE(Live(350).empty());
    const MV2ObjectHandle handle = watcher->handle;
    gMV2DayClock.gameClock++;
    MV2ObjectSendMessage(watcher, 2, 0, 0);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
    const std::vector<MV2Object*> again = Live(350);
    ASSERT_EQ(again.size(), 1u);
    EXPECT_FLOAT_EQ(again[0]->matrix->pos.x, home.x);
    EXPECT_FLOAT_EQ(again[0]->matrix->pos.y, home.y);
    EXPECT_NEAR(again[0]->matrix->up.y, 0.025f, 1e-6f); // growing again
    EXPECT_EQ(Live(kMV2RespawnerType).size(), 1u);      // with a watcher of its own
}

TEST_F(RegrowTest, ARespawnerThatWatchesNothingNeverCreatesAnything) {
    MV2Object* watcher = Make(kMV2RespawnerType, Rel(0, -3, 8));
    ASSERT_NE(watcher, nullptr);
    EXPECT_EQ(Respawner(watcher)->respawnTime, 0x7FFFFFFFu);
    for (uint32_t t : {0u, 100000u, 100000000u}) {
        gMV2DayClock.gameClock = t;
        MV2ObjectSendMessage(watcher, 2, 0, 0);
    }
    EXPECT_TRUE(MV2ObjectHandleAlive(watcher->handle));
    EXPECT_TRUE(Live(350).empty());
}

TEST_F(RegrowTest, TheFloorHeightIsTheWorldBelowOrTheBottomOfTheWorldBox) {
    const float over[3] = {15, 25, 15};
    EXPECT_NEAR(MV2GetFloorHeightAt(over), 10.0f, 1e-4f);
    const float below[3] = {15, 0, 15}; // the point's own height does not matter
    EXPECT_NEAR(MV2GetFloorHeightAt(below), 10.0f, 1e-4f);
    const float empty[3] = {-20, 5, -20};
    EXPECT_EQ(MV2GetFloorHeightAt(empty), TpWorldGetBBox(MV2World)->inf.y);
}
