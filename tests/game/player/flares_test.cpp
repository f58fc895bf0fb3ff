// Flares: the reload of the tool, the flare's owner and fellow flares, and its fall in air.
#include "tests/game/player/tools_fixture.h"

#include "game/missions/lightobject.h"

namespace {

class FlareTest : public CraftToolTest {
protected:
    void SetUp() override {
        CraftToolTest::SetUp();
        BodyType(296, sizeof(MV2FlareData), 0.1f);
        BodyType(69, sizeof(MV2LightObjectData), 0.1f);
        ModelType(70, 1.0f);
        BodyType(3, 0, 0.1f); // the pieces of the flare's flashes
    }
    static MV2ObjectRef& Light(MV2Object* flare) {
        return static_cast<MV2FlareData*>(flare->privateData)->light;
    }
    // The flares the craft has fired.
    static std::vector<MV2Object*> Flares() {
        std::vector<MV2Object*> out;
        for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
            if (MV2ShotTypeOf(o) == 296) out.push_back(o);
        return out;
    }
};

} // namespace

TEST_F(FlareTest, AUseWhileReloadingSpendsTheCooldownButFiresNothing) {
    MV2Tool* tool = Ready(8);
    ASSERT_NE(tool, nullptr);
    MV2ToolIcon icon{};
    MV2SendToolMessage(tool, 57, 0, reinterpret_cast<intptr_t>(&icon));
    EXPECT_EQ(icon.sprite, 80);
    MV2UseTool(list, craft, 0);
    ASSERT_EQ(Flares().size(), 1u);
    EXPECT_TRUE(Alive(Light(Flares()[0]))) << "each flare carries a light";
    EXPECT_EQ(Heard("FLARELAUNCH"), 1);
    EXPECT_EQ(static_cast<MV2FlareData*>(Flares()[0]->privateData)->variant, 1) << "kind 8 bounces";
    MV2ToolGauge gauge{};
    MV2SendToolMessage(tool, 59, 0, reinterpret_cast<intptr_t>(&gauge));
    EXPECT_EQ(gauge.level, 0);
    Run(500);
    MV2UseTool(list, craft, 0);
    EXPECT_EQ(Flares().size(), 1u) << "still reloading";
    EXPECT_EQ(tool->cooldown, 500);
    EXPECT_EQ(tool->charges, -1);
    Run(2000);
    MV2SendToolMessage(tool, 59, 0, reinterpret_cast<intptr_t>(&gauge));
    EXPECT_EQ(gauge.level, 255);
    MV2UseTool(list, craft, 0);
    EXPECT_EQ(Flares().size(), 2u);
}

TEST_F(FlareTest, FlaresNeverTouchTheirOwnerOrEachOtherAndFallTwiceAsFastInAir) {
    Ready(7);
    MV2UseTool(list, craft, 0);
    Run(2500);
    MV2UseTool(list, craft, 0);
    std::vector<MV2Object*> flares = Flares();
    ASSERT_EQ(flares.size(), 2u);
    MV2Object* flare = flares[0];
    EXPECT_EQ(MV2ObjectSendMessage(flare, 14, 0, reinterpret_cast<intptr_t>(craft)), 0);
    EXPECT_EQ(MV2ObjectSendMessage(flare, 14, 0, reinterpret_cast<intptr_t>(flares[1])), 0);
    auto* d = static_cast<MV2FlareData*>(flare->privateData);
    EXPECT_EQ(MV2GetObjectRef(&d->stuckTo), nullptr);

    // The fall of one update under water and in air.
    auto fall = [&](float y) {
        flare->matrix->pos = P(0.0f, y, 0.0f);
        MV2ShotSyncFrame(flare);
        flare->body->velocity = {};
        d->settled = 0;
        MV2ObjectSendMessage(flare, 2, 0, 0);
        return flare->body->velocity.y;
    };
    const float water = fall(-10.0f);
    const float air = fall(10.0f);
    EXPECT_LT(air, water);
    EXPECT_NE(air, 0.0f);
}

TEST_F(FlareTest, AFlareOfKindSevenBurnsOutTwoSecondsAfterItsFirstImpact) {
    Ready(7);
    MV2UseTool(list, craft, 0);
    MV2Object* flare = Flares().at(0);
    MV2ObjectRef light = Light(flare);
    ASSERT_TRUE(Alive(light));
    MV2ObjectSendMessage(flare, 18, 0, 0);
    MV2ObjectSendMessage(flare, 18, 0, 0);
    const uint32_t burnOut = static_cast<MV2FlareData*>(flare->privateData)->burnOut;
    EXPECT_EQ(burnOut, gMV2FrameTimer.frameClock + 2000) << "only the first impact sets it";
    gMV2FrameTimer.frameClock += 2001;
    MV2ObjectSendMessage(flare, 2, 0, 0);
    EXPECT_TRUE(Flares().empty());
    EXPECT_FALSE(Alive(light)) << "its light goes with it";
}
