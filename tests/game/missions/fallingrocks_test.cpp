// Falling rocks: the weight range, the break-up into the next sizes, the damage exchange with
// and without the collision tests, and the faster fall above the water.
#include "game/missions/fallingrocks.h"

#include "game/missions/leveldevices.h"
#include "tests/game/missions/levelobject_fixture.h"

namespace {

class FallingRockTest : public LevelObjectTest {
protected:
    void SetUp() override {
        LevelObjectTest::SetUp();
        MV2RegisterLevelDeviceHandlers();
        for (int32_t t : {365, 366, 367, 2})
            LevelType(t, 0, {}, 1.0f, true);
    }
};

} // namespace

TEST_F(FallingRockTest, WeightsSpin192To445) {
    intptr_t size = 7;
    MV2ObjectSendMessage(Make(367), 96, 0, reinterpret_cast<intptr_t>(&size));
    EXPECT_EQ(size, 0);
    intptr_t low = 1000, high = 0;
    for (uint32_t seed = 1; seed <= 300; seed++) {
        TvRandomSeed(seed);
        MV2Object* rock = Make(365);
        ASSERT_NE(rock, nullptr);
        const intptr_t w = MV2FallingRockWeight(rock);
        low = std::min(low, w);
        high = std::max(high, w);
        for (float s : {rock->body->angularVelocity.x, rock->body->angularVelocity.z}) {
            EXPECT_LE(s, 0.125f);
            EXPECT_GE(s, 0.125f - 255.0f * 0.0015686274f);
        }
        MV2ObjectSendMessage(rock, 4, 0, 0);
        MV2DestroyAllObjects();
    }
    EXPECT_GE(low, 192);
    EXPECT_LE(high, 445);
    EXPECT_LT(low, 200); // the range is used, not one value
    EXPECT_GT(high, 400);
}

TEST_F(FallingRockTest, BreaksIntoTheNextSizes) {
    struct Case {
        int32_t type;
        int32_t medium, small;
    } cases[] = {{365, 1, 1}, {366, 0, 1}, {367, 0, 0}};
    for (const Case& c : cases) {
        MV2DestroyAllObjects();
        MV2Object* rock = Make(c.type, {0, 10, 0});
        rock->body->velocity = {0.0f, -1.0f, 0.0f};
        MV2ObjectSendMessage(rock, 4, 0, 0);
        EXPECT_EQ(CountType(366), c.medium) << c.type;
        EXPECT_EQ(CountType(367), c.small) << c.type;
        for (MV2Object* piece : OfType(367)) // (velocity - offset) x 0.12: sinking
            EXPECT_NEAR(piece->body->velocity.y, -0.12f, 1e-5f);
    }
}

TEST_F(FallingRockTest, DamageExchangeHonoursTheCollisionTestsOnlyOnMessage14) {
    struct Case {
        int32_t rockType;
        int32_t message;
        bool noCollision, category1;
        float rockLoss, otherLoss;
    } cases[] = {
        {365, 14, false, false, 6.0f, 18.0f}, {366, 14, false, false, 6.0f, 12.0f},
        {367, 19, false, false, 6.0f, 9.0f},  {365, 14, true, false, 0.0f, 0.0f},
        {365, 14, false, true, 0.0f, 0.0f},   {365, 19, true, true, 6.0f, 18.0f},
    };
    for (const Case& c : cases) {
        MV2DestroyAllObjects();
        MV2ObjectType* otherType = MV2GetObjectType(2);
        otherType->words[7] = (otherType->words[7] & ~4u) | (c.noCollision ? 4u : 0u);
        MV2Object* rock = Make(c.rockType, {0, 10, 0});
        MV2Object* other = Make(2, {0, 11, 0});
        other->aiCategory = c.category1 ? 1 : 0;
        rock->energy = other->energy = 100.0f;
        MV2ObjectSendMessage(rock, c.message, 1, reinterpret_cast<intptr_t>(other));
        EXPECT_FLOAT_EQ(100.0f - rock->energy, c.rockLoss) << c.rockType << " " << c.message;
        EXPECT_FLOAT_EQ(100.0f - other->energy, c.otherLoss) << c.rockType << " " << c.message;
    }
    MV2Object* rock = Make(366);
    rock->energy = 100.0f;
    MV2ObjectSendMessage(rock, 18, 0, 0); // an impact: the rock damages itself
    EXPECT_FLOAT_EQ(rock->energy, 94.0f);
}

TEST_F(FallingRockTest, FallsFasterAboveTheWater) {
    float gain[2];
    const float heights[2] = {50.0f, 150.0f}; // the water is at 100
    for (int32_t i = 0; i < 2; i++) {
        TvRandomSeed(5); // the same weight
        MV2Object* rock = Make(365, {0, heights[i], 0});
        rock->type->words[31] &= ~(3u << 28); // no gravity or motion of the default update
        rock->body->velocity = {0.0f, 0.0f, 0.0f};
        Step(rock);
        gain[i] = rock->body->velocity.y;
        EXPECT_FLOAT_EQ(gain[i],
                        (i ? 6.5f : 1.5f) * float(MV2FallingRockWeight(rock)) * -3.90625e-6f);
        rock->type->words[31] |= 1u << 28;
        MV2ObjectSendMessage(rock, 4, 0, 0);
        MV2DestroyAllObjects();
    }
    EXPECT_FLOAT_EQ(gain[1] / gain[0], 6.5f / 1.5f);
}
