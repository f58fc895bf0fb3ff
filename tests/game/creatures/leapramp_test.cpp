#include "tests/game/creatures/creature_fixture.h"

#include "game/creatures/leapramp.h"
#include "game/objects/dynamics.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"

namespace {

int g_brainMessages[100];

// A craft brain that counts its messages and hands them to the type handler.
intptr_t CountingBrain(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message >= 0 && message < 100) ++g_brainMessages[message];
    return object->typeHandler(object, message, p1, p2);
}

int32_t Refuse(MV2Object*, MV2Object*) {
    return 0;
}

class LeapRampTest : public CreatureTest {
protected:
    void SetUp() override {
        CreatureTest::SetUp();
        MV2SetWaterHeight(0.0f);
        MV2ResetLeapRamps();
        for (int& n : g_brainMessages)
            n = 0;
    }
    void TearDown() override {
        MV2SetPlayerObject(nullptr);
        MV2ResetLeapRamps();
        CreatureTest::TearDown();
    }
    MV2Object* Ramp(TvV3d at = {0.0f, -3.0f, 0.0f}) {
        if (!MV2GetObjectType(324)->privateData) TaggedType(324, sizeof(MV2LeapRamp), {3, 4});
        const float p[3] = {at.x, at.y, at.z};
        return MV2CreateObject(324, p, nullptr);
    }
    // A type-1 craft facing -z (its reversed forward axis along the ramp's) with a brain.
    MV2Object* Craft(float x = 0.0f) {
        if (!craftType_) {
            craftType_ = BodyType(1, sizeof(MV2SubData));
            craftType_->subDefinition = MV2FindSubDefinition("SCOUT");
        }
        const float p[3] = {x, 0.5f, 0.0f};
        MV2Object* craft = MV2CreateObject(1, p, nullptr);
        if (!craft) return nullptr;
        TvMatrix* m = craft->matrix;
        m->right = {-1.0f, 0.0f, 0.0f};
        m->up = {0.0f, 1.0f, 0.0f};
        m->at = {0.0f, 0.0f, -1.0f};
        craft->overrideHandler = CountingBrain;
        return craft;
    }
    static bool Flying(const MV2Object* craft) {
        for (int32_t i = 0; i < kMV2LeapFlights; ++i)
            if (MV2GetLeapFlights()[i].craft == craft) return true;
        return false;
    }
    static void Touch(MV2Object* ramp, MV2Object* craft) {
        MV2ObjectSendMessage(ramp, 19, 0, reinterpret_cast<intptr_t>(craft));
    }
    MV2ObjectType* craftType_ = nullptr;
};

} // namespace

TEST_F(LeapRampTest, RampFloatsAndSlidesItsStrip) {
    MV2Object* ramp = Ramp();
    ASSERT_NE(ramp, nullptr);
    EXPECT_FLOAT_EQ(ramp->matrix->pos.y, 0.0f);
    auto* d = static_cast<MV2LeapRamp*>(ramp->privateData);
    ASSERT_NE(d->slider, nullptr);
    EXPECT_NEAR(d->launchDirection.x, 1.0f, 1e-5f);
    EXPECT_NEAR(d->sliderTravel.x, 0.25f, 1e-5f);
    gMV2FrameTimer.frameClock = 1024 + 256; // half way through the 512 ms sweep
    MV2ObjectSendMessage(ramp, 2, 0, 0);
    EXPECT_NEAR(d->slider->x, d->sliderBase.x + 0.5f * 0.25f, 1e-3f);
    intptr_t value = 0;
    EXPECT_EQ(MV2ObjectSendMessage(ramp, 33, 0, 77), 1);
    EXPECT_EQ(MV2ObjectSendMessage(ramp, 34, 0, reinterpret_cast<intptr_t>(&value)), 1);
    EXPECT_EQ(value, 77);
}

TEST_F(LeapRampTest, LaunchConditions) {
    MV2Object* ramp = Ramp();
    ASSERT_NE(ramp, nullptr);
    struct Case {
        const char* what;
        TvV3d at;            // the craft's forward axis
        bool brain;
        bool player;
        bool refuse;
        bool launched;
    };
    const Case cases[] = {
        {"along the ramp", {0.0f, 0.0f, -1.0f}, true, false, false, true},
        {"climbing steeply still counts", {0.0f, 0.9f, -0.4f}, true, false, false, true},
        {"across the ramp", {-0.5f, 0.0f, -0.866f}, true, false, false, false}, // cos 30 < 0.95
        {"backwards", {0.0f, 0.0f, 1.0f}, true, false, false, false},
        {"without a brain", {0.0f, 0.0f, -1.0f}, false, false, false, false},
        {"the player without the burst drive", {0.0f, 0.0f, -1.0f}, true, true, false, false},
        {"refused by the filter", {0.0f, 0.0f, -1.0f}, true, false, true, false},
    };
    for (const Case& c : cases) {
        MV2ResetLeapRamps();
        MV2Object* craft = Craft();
        ASSERT_NE(craft, nullptr);
        craft->matrix->at = c.at;
        if (!c.brain) craft->overrideHandler = nullptr;
        MV2SetPlayerObject(c.player ? craft : nullptr);
        if (c.player) {
            craft->body->velocity = {1.0f, 0.0f, 0.0f};
            MV2ObjectSendMessage(ramp, 14, 0, reinterpret_cast<intptr_t>(craft));
        }
        static_cast<MV2LeapRamp*>(ramp->privateData)->filter = c.refuse ? Refuse : nullptr;
        Touch(ramp, craft);
        EXPECT_EQ(Flying(craft), c.launched) << c.what;
        if (c.launched) {
            EXPECT_EQ(craft->overrideHandler, MV2LeapFlightHandler) << c.what;
            EXPECT_NEAR(craft->body->velocity.y, 0.5656f, 1e-4f) << c.what;
            EXPECT_NEAR(craft->body->velocity.z, -0.8f, 1e-4f) << c.what;
        }
        MV2SetPlayerObject(nullptr);
        MV2ObjectSendMessage(craft, 4, 1, 0);
    }
    // A craft already in flight is not launched again.
    MV2Object* craft = Craft();
    Touch(ramp, craft);
    Touch(ramp, craft);
    EXPECT_EQ(MV2GetLeapFlights()[1].craft, nullptr);
}

TEST_F(LeapRampTest, AtMostThreeFlyAndANewRampKeepsTheFlights) {
    MV2Object* ramp = Ramp();
    ASSERT_NE(ramp, nullptr);
    MV2Object* crafts[4];
    for (int32_t i = 0; i < 4; ++i) {
        crafts[i] = Craft(float(i) * 5.0f);
        ASSERT_NE(crafts[i], nullptr);
        Touch(ramp, crafts[i]);
    }
    for (int32_t i = 0; i < 3; ++i)
        EXPECT_TRUE(Flying(crafts[i])) << i;
    EXPECT_FALSE(Flying(crafts[3]));
    EXPECT_EQ(crafts[3]->overrideHandler, CountingBrain);
    ASSERT_NE(Ramp({20.0f, -3.0f, 0.0f}), nullptr);
    for (int32_t i = 0; i < 3; ++i)
        EXPECT_TRUE(Flying(crafts[i])) << i;
}

TEST_F(LeapRampTest, CraftFliesAnArcAndGetsItsBrainBackInTheWater) {
    MV2Object* ramp = Ramp();
    MV2Object* craft = Craft();
    ASSERT_NE(craft, nullptr);
    Touch(ramp, craft);
    ASSERT_TRUE(Flying(craft));
    float top = craft->matrix->pos.y;
    int32_t frames = 0;
    for (; frames < 200 && Flying(craft); ++frames) {
        MV2ObjectSendMessage(craft, 2, 0, 0);
        MV2IntegrateMotion(craft);
        top = std::max(top, craft->matrix->pos.y);
        gMV2FrameTimer.frameClock += 33;
    }
    EXPECT_FALSE(Flying(craft));
    EXPECT_EQ(craft->overrideHandler, CountingBrain);
    EXPECT_GT(top, 1.5f); // a climb, then the fall at 0.03 a tick
    EXPECT_GT(frames, 20);
    // The horizontal launch speed is kept through the flight.
    EXPECT_LT(craft->matrix->pos.z, -0.7f * float(frames));
    // Other messages reach the brain while it flies; 75 is answered by the flight.
    Touch(ramp, craft);
    ASSERT_TRUE(Flying(craft));
    const int before = g_brainMessages[35];
    int32_t id = 0;
    MV2ObjectSendMessage(craft, 35, 0, reinterpret_cast<intptr_t>(&id));
    EXPECT_EQ(g_brainMessages[35], before + 1);
    EXPECT_EQ(MV2ObjectSendMessage(craft, 75, 0, 0), 1);
    EXPECT_EQ(MV2ObjectSendMessage(craft, 18, 0, 0), 1);
    EXPECT_FALSE(Flying(craft));
    EXPECT_EQ(craft->overrideHandler, CountingBrain);
}

TEST_F(LeapRampTest, CraftDestroyedInFlightFreesItsSlot) {
    MV2Object* ramp = Ramp();
    MV2Object* craft = Craft();
    ASSERT_NE(craft, nullptr);
    Touch(ramp, craft);
    ASSERT_TRUE(Flying(craft));
    const MV2ObjectHandle handle = craft->handle;
    MV2ObjectSendMessage(craft, 4, 1, 0);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
    EXPECT_EQ(g_brainMessages[4], 1);
    EXPECT_EQ(MV2GetLeapFlights()[0].craft, nullptr);
}

TEST_F(LeapRampTest, LevelResetClearsFlightsAndAnOrphanedFlightLetsGo) {
    MV2Object* ramp = Ramp();
    MV2Object* craft = Craft();
    Touch(ramp, craft);
    ASSERT_TRUE(Flying(craft));
    MV2ResetLeapRamps();
    EXPECT_FALSE(Flying(craft));
    // The craft's next message finds no slot: the flight handler removes itself.
    EXPECT_EQ(MV2ObjectSendMessage(craft, 80, 0, 0), craft->typeHandler(craft, 80, 0, 0));
    EXPECT_EQ(craft->overrideHandler, nullptr);
}
