// The fan that cannot die, the straight rocket's fuse and contacts, and the surfacing
// creature's rounds of rising, resting at the surface, going down and swimming.
#include "game/missions/fanrocket.h"

#include "game/creatures/ambient.h"
#include "tests/game/missions/levelobject_fixture.h"

namespace {

class FanRocketTest : public LevelObjectTest {};

} // namespace

TEST_F(FanRocketTest, FanTurnsAndCannotDie) {
    LevelType(16, sizeof(MV2FanData), {2});
    MV2Object* fan = Make(16);
    ASSERT_NE(fan, nullptr);
    EXPECT_EQ(fan->aiCategory, 9);
    const float speed = 2.0f;
    MV2ObjectSendMessage(fan, 12, 0, reinterpret_cast<intptr_t>(&speed));
    EXPECT_EQ(MV2ObjectSendMessage(fan, 12, 0, 0), 0);
    float read = 0.0f;
    MV2ObjectSendMessage(fan, 13, 0, reinterpret_cast<intptr_t>(&read));
    EXPECT_FLOAT_EQ(read, 2.0f);
    fan->energy = -5.0f;
    Step(fan);
    EXPECT_TRUE(MV2ObjectHandleAlive(fan->handle));
    EXPECT_FLOAT_EQ(fan->energy, 0.0f);
    const TvMatrix* blade = TvFrameGetMatrix(MV2FindFrameByTag(fan->clump, 2));
    EXPECT_NEAR(blade->right.y, std::sin(8.0f / 57.29578f), 1e-4f); // 4 x 2 degrees
}

TEST_F(FanRocketTest, RocketFliesStraightAndExplodesAfterTenSeconds) {
    LevelType(257, sizeof(MV2StraightRocketData), {}, 0.3f, true);
    MV2Object* rocket = Make(257);
    ASSERT_NE(rocket, nullptr);
    const MV2ObjectHandle handle = rocket->handle;
    Step(rocket, 33);
    Step(rocket, 9966);
    EXPECT_NEAR(rocket->body->velocity.y, 1.2f * 0.9f, 0.001f); // its up axis, after the drag
    EXPECT_GT(rocket->radius, 0.3f);
    Step(rocket, 1);
    EXPECT_TRUE(MV2ObjectHandleAlive(handle));
    Step(rocket);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
}

TEST_F(FanRocketTest, RocketIgnoresItsOwnerAndOtherRockets) {
    LevelType(257, sizeof(MV2StraightRocketData), {}, 0.3f, true);
    LevelType(1, 0);
    MV2Object* owner = Make(1, {0, 0, 9});
    MV2Object* rocket = Make(257);
    MV2Object* other = Make(257, {3, 0, 0});
    ASSERT_TRUE(owner && rocket && other);
    MV2ObjectSendMessage(rocket, 15, 0, reinterpret_cast<intptr_t>(owner));
    MV2Object* read = nullptr;
    MV2ObjectSendMessage(rocket, 16, 0, reinterpret_cast<intptr_t>(&read));
    EXPECT_EQ(read, owner);
    EXPECT_EQ(MV2ObjectSendMessage(rocket, 14, 0, reinterpret_cast<intptr_t>(owner)), 0);
    EXPECT_EQ(MV2ObjectSendMessage(rocket, 19, 0, reinterpret_cast<intptr_t>(other)), 0);
    EXPECT_EQ(MV2ObjectSendMessage(rocket, 14, 0, 0), 0);
    Step(rocket);
    ASSERT_TRUE(MV2ObjectHandleAlive(rocket->handle));
    LevelType(5, 0);
    MV2ObjectSendMessage(rocket, 14, 0, reinterpret_cast<intptr_t>(Make(5, {0, 3, 0})));
    const MV2ObjectHandle handle = rocket->handle;
    Step(rocket);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
}

TEST_F(FanRocketTest, SurfacingCreatureRisesRestsGoesDownAndSwims) {
    MV2ObjectType* type = LevelType(175, sizeof(MV2AmbientCreature) + sizeof(MV2SurfacingData),
                                    {}, 0.5f, true);
    ASSERT_NE(type, nullptr);
    gMV2Water.height = 10.0f;
    MV2Object* creature = Make(175, {0, 8, 0});
    ASSERT_NE(creature, nullptr);
    intptr_t size = 0;
    MV2ObjectSendMessage(creature, 96, 0, reinterpret_cast<intptr_t>(&size));
    EXPECT_EQ(size_t(size), sizeof(MV2AmbientCreature) + sizeof(MV2SurfacingData));
    auto* d = static_cast<MV2SurfacingData*>(MV2GetAmbientExtension(creature));
    ASSERT_NE(d, nullptr);
    const uint32_t born = gMV2FrameTimer.frameClock;
    EXPECT_GE(d->next - born, 20000u);
    EXPECT_LT(d->next - born, 20000u + 0x800u);
    // Held still, the test follows only the states.
    auto run = [&](uint32_t until) {
        while (int32_t(gMV2FrameTimer.frameClock - until) < 0) {
            creature->energy = 1.0f;
            Step(creature, 100);
        }
    };
    run(d->next);
    Step(creature, 100);
    EXPECT_EQ(d->state, 1u);
    creature->matrix->pos = {0, 9.8f, 0}; // at the surface, less a quarter unit
    creature->body->velocity = {};
    Step(creature, 100);
    EXPECT_EQ(d->state, 2u);
    const uint32_t surfaced = gMV2FrameTimer.frameClock - 100;
    EXPECT_NEAR(Pos(creature).y, 9.75f, 0.01f);
    run(surfaced + 2000);
    Step(creature, 100);
    EXPECT_EQ(d->state, 3u);
    const uint32_t down = d->next - (gMV2FrameTimer.frameClock - 100);
    EXPECT_GE(down, 3000u);
    EXPECT_LT(down, 3000u + 0x800u);
    run(d->next);
    Step(creature, 100);
    EXPECT_EQ(d->state, 0u);
    EXPECT_EQ(d->next - (gMV2FrameTimer.frameClock - 100), 20000u);
    MV2ObjectSendMessage(creature, 4, 0, 0);
    EXPECT_EQ(CountType(175), 0);
}
