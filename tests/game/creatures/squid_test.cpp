#include "game/creatures/squid.h"

#include "game/creatures/puppetboss.h"
#include "game/missions/lightobject.h"
#include "tests/game/creatures/boss_fixture.h"

namespace {

class SquidTest : public BossTest {
protected:
    void SetUp() override {
        BossTest::SetUp();
        MV2RegisterSquidHandlers();
        ASSERT_EQ(MV2InitialiseInkClouds(), 1);
        std::vector<FakePuppetNode> nodes = {{"tounge base", {0.0f, 0.0f, 3.0f}}};
        for (int i = 1; i <= 4; ++i)
            nodes.push_back({"boil_" + std::to_string(i), {float(i), 1.0f, 0.0f}});
        PuppetType(266, "squid", nodes);
    }
    void TearDown() override {
        MV2ResetSquid();
        MV2DestroyAllObjects();
        MV2ShutdownInkClouds();
        BossTest::TearDown();
    }
    MV2Object* Squid() { return Create(266, {0.0f, -10.0f, 0.0f}); }
};

TEST_F(SquidTest, TentacleByQuadrant) {
    struct {
        float x, y;
        uint32_t coin;
        int32_t tentacle;
    } rows[] = {
        {1.0f, -2.0f, 0, 2}, {1.0f, -2.0f, 1, 3}, {0.0f, -1.0f, 1, 3}, // right, low
        {1.0f, 0.0f, 1, 2},  {0.0f, -0.5f, 0, 2},                      // right, high
        {-1.0f, -1.0f, 0, 0}, {-1.0f, 0.5f, 1, 1},                     // left, high
        {-1.0f, -2.0f, 1, 0},                                           // left, low
    };
    for (const auto& r : rows)
        EXPECT_EQ(MV2SquidTentacleFor(r.x, r.y, r.coin), r.tentacle) << r.x << "," << r.y;
}

TEST_F(SquidTest, FourthBoilDeathGivesDodie) {
    MV2Object* squid = Squid();
    ASSERT_NE(squid, nullptr);
    MV2SquidState* s = MV2GetSquidState();
    EXPECT_FLOAT_EQ(s->attackTimer, 10.0f);
    for (int t = 0; t < 4; ++t) {
        ASSERT_NE(s->boils[t].node, nullptr);
        EXPECT_FLOAT_EQ(s->boils[t].hitPoints, 150.0f);
    }
    const intptr_t boil1 = intptr_t(NodeId(squid, "boil_1"));
    MV2ObjectSendMessage(squid, 76, 100000, boil1); // 100 hit points
    EXPECT_FLOAT_EQ(s->boils[0].hitPoints, 50.0f);
    EXPECT_FALSE(s->boils[0].dead);
    MV2ObjectSendMessage(squid, 76, 60000, boil1);
    EXPECT_TRUE(s->boils[0].dead);
    EXPECT_TRUE(MV2PuppetBossFired(squid, "dot1die"));
    EXPECT_TRUE(MV2PuppetBossFired(squid, "doscream"));
    FakePuppetSet(squid, "doscream", 0);
    MV2ObjectSendMessage(squid, 76, 200000, boil1); // a dead boil counts no more
    EXPECT_FALSE(MV2PuppetBossFired(squid, "doscream"));
    for (const char* name : {"boil_2", "boil_3"})
        MV2ObjectSendMessage(squid, 76, 200000, intptr_t(NodeId(squid, name)));
    EXPECT_FALSE(MV2PuppetBossFired(squid, "dodie"));
    MV2SetAltThrustControl(1, 0, 0);
    MV2ObjectSendMessage(squid, 76, 200000, intptr_t(NodeId(squid, "boil_4")));
    EXPECT_TRUE(MV2PuppetBossFired(squid, "dodie"));
    EXPECT_EQ(MV2GetAltThrustControl(), 0u);
}

TEST_F(SquidTest, HoldsTheSubInFrontAndStrikesOrInks) {
    MV2Object* squid = Squid();
    MV2Object* sub = Player({1.0f, -11.0f, 10.0f}); // within 300 squared
    MV2SquidState* s = MV2GetSquidState();
    s->introPlayed = 1;
    s->attackTimer = 0.01f;
    Step(squid);
    EXPECT_FLOAT_EQ(sub->matrix->pos.z, 13.0f); // held 13 in front
    EXPECT_TRUE(s->boils[2].swipePending || s->boils[3].swipePending);
    EXPECT_FLOAT_EQ(s->attackTimer, 5.0f);
    // Pinned on both clamps: ink instead of a strike.
    sub->matrix->pos = {5.0f, -15.0f, 10.0f};
    s->attackTimer = 0.01f;
    Step(squid);
    EXPECT_TRUE(MV2PuppetBossFired(squid, "doink"));
    EXPECT_FLOAT_EQ(sub->matrix->pos.x, 2.0f);
    EXPECT_FLOAT_EQ(sub->matrix->pos.y, -13.0f);
}

TEST_F(SquidTest, CloudsAgeTwicePerFrameWhileASquidLives) {
    const TvV3d at{0.0f, 50.0f, 0.0f};
    MV2InkCloud* alone = MV2EmitInkCloud(at, {}, 0.8f, 1.5f);
    ASSERT_NE(alone, nullptr);
    gMV2FrameTimer.ticks = 3.0f; // 0.1 s
    MV2UpdateInkClouds(nullptr);
    EXPECT_NEAR(alone->life, 1.4f, 1e-5f);
    EXPECT_NEAR(alone->size, 0.9f, 1e-5f);
    MV2Object* squid = Squid();
    MV2UpdateInkClouds(nullptr); // the frame's update
    Step(squid, 100);            // and the squid's own
    EXPECT_NEAR(alone->life, 1.2f, 1e-5f);
}

TEST_F(SquidTest, SpentCloudsAreReusedAndTheLevelEndClearsThem) {
    MV2InkCloud* a = MV2EmitInkCloud({}, {}, 0.8f, 0.05f);
    MV2EmitInkCloud({}, {}, 0.8f, 1.5f);
    EXPECT_EQ(MV2CountInkClouds(), 2);
    gMV2FrameTimer.ticks = 3.0f;
    MV2UpdateInkClouds(nullptr);
    EXPECT_EQ(MV2CountInkClouds(), 1);
    EXPECT_EQ(MV2EmitInkCloud({}, {}, 0.8f, 1.5f), a); // from the spent list
    MV2ResetSquid();
    EXPECT_EQ(MV2CountInkClouds(), 0);
}

TEST_F(SquidTest, CloudsHurtASubInside) {
    MV2Object* sub = Player({0.0f, -10.0f, 0.0f});
    MV2GetObjectType(0)->words[7] |= kMV2TypeCanDie;
    sub->energy = 10.0f;
    MV2EmitInkCloud({0.5f, -10.0f, 0.0f}, {}, 0.8f, 1.5f);
    gMV2FrameTimer.ticks = 3.0f;
    MV2UpdateInkClouds(nullptr);
    EXPECT_NEAR(sub->energy, 10.0f - 0.3f, 1e-4f);
}

TEST_F(SquidTest, InkStartsFromTheTongueTowardTheSub) {
    MV2Object* squid = Squid();
    Player({0.0f, -10.0f, 20.0f});
    EXPECT_TRUE(FakePuppetFire(squid, "inkstart"));
    MV2SquidState* s = MV2GetSquidState();
    EXPECT_TRUE(s->inkOn);
    EXPECT_NEAR(s->inkDirection.z, 1.0f, 1e-2f);
    Step(squid, 100); // 0.1 s: clouds every 0.04 s
    EXPECT_GE(MV2CountInkClouds(), 2);
    EXPECT_TRUE(FakePuppetFire(squid, "inkend"));
    EXPECT_FALSE(s->inkOn);
}

TEST_F(SquidTest, EmitterSquirtsOnlyNearThePlayer) {
    BodyType(409, sizeof(MV2InkEmitter));
    MV2Object* emitter = Create(409, {0.0f, -10.0f, 0.0f});
    MV2Object* sub = Player({0.0f, -10.0f, 30.0f});
    Step(emitter);
    EXPECT_EQ(MV2CountInkClouds(), 0);
    sub->matrix->pos.z = 5.0f;
    Step(emitter);
    EXPECT_GE(MV2CountInkClouds(), 1);
}

TEST_F(SquidTest, BuoyAnchorsNearItsTargetWhenUpright) {
    BodyType(69, sizeof(MV2LightObjectData));
    MV2SetObjectTypeHandler(69, MV2LightObjectHandler);
    BodyType(134, sizeof(MV2BeaconBuoy));
    MV2Object* buoy = Create(134, {0.0f, -5.0f, 0.0f});
    ASSERT_NE(buoy, nullptr);
    auto* d = static_cast<MV2BeaconBuoy*>(buoy->privateData);
    EXPECT_TRUE(d->anchored);
    MV2ObjectSendMessage(buoy, 94, 0, 0);
    EXPECT_FALSE(d->anchored);
    MV2Object* mark = Create(69, {1.0f, -5.0f, 0.0f});
    MV2ObjectSendMessage(buoy, 33, 0, reinterpret_cast<intptr_t>(mark));
    MV2ObjectSendMessage(buoy, 44, 0, 0); // held: no anchoring
    MV2ObjectSendMessage(buoy, 18, 0, 0);
    EXPECT_FALSE(d->anchored);
    MV2ObjectSendMessage(buoy, 43, 0, 0);
    MV2ObjectSendMessage(buoy, 18, 0, 0);
    EXPECT_TRUE(d->anchored);
}

} // namespace
