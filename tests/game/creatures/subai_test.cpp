#include "tests/game/creatures/creature_fixture.h"

#include "game/creatures/subaisteer.h"

namespace {

int32_t g_released = 0;

// The submarine handler, counting the trigger releases it hears.
intptr_t CountingSub(MV2Object* o, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 64) ++g_released;
    return MV2SubmarineHandler(o, message, p1, p2);
}

} // namespace

TEST_F(CreatureTest, CommandStack) {
    MV2Object* craft = MakeSub(0);
    MV2Object* target = MakeSub(1, {5.0f, -10.0f, 0.0f});
    ASSERT_TRUE(craft && target);
    craft->typeHandler = CountingSub;
    MV2SubAIOrderGuard(craft, nullptr, 2, kMV2AnyCategory, kMV2AnyType, 10.0f);
    for (int32_t i = 0; i < 3; ++i)
        ASSERT_EQ(MV2SubAIPushCommand(craft), 1);
    MV2SubAIData* data = MV2GetSubAIData(craft);
    ASSERT_EQ(data->depth, 3);
    EXPECT_EQ(MV2SubAIFindCommand(craft, kMV2SubAIGuard), 1);
    EXPECT_EQ(MV2SubAIFindCommand(craft, kMV2SubAIFetch), 0);

    g_released = 0;
    MV2SubAIOrderGoTo(craft, target, 5.0f);
    EXPECT_EQ(g_released, 4);
    EXPECT_EQ(data->depth, 0);
    EXPECT_EQ(MV2SubAIGetCommand(craft)->code, kMV2SubAIGoTo);
    EXPECT_EQ(MV2SubAICommandGetTarget(MV2SubAIGetCommand(craft)), target);

    for (int32_t i = 0; i < 4; ++i)
        ASSERT_EQ(MV2SubAIPushCommand(craft), 1);
    EXPECT_EQ(MV2SubAIPushCommand(craft), 0); // full at depth 4
    EXPECT_EQ(data->depth, 4);
    MV2SubAISetIdle(craft);
    EXPECT_EQ(MV2SubAIFindCommand(craft, kMV2SubAIIdle), 5);
    EXPECT_EQ(MV2SubAIFindCommand(craft, kMV2SubAIGoTo), 1);
    while (MV2SubAIPopCommand(craft)) {
    }
    EXPECT_EQ(MV2SubAIPopCommand(craft), 0);
    EXPECT_EQ(MV2SubAIGetCommand(craft)->code, kMV2SubAINone); // the bottom frame ends too
}

TEST_F(CreatureTest, PassivityTenBlocksRetaliation) {
    for (int32_t passivity : {9, 10}) {
        SCOPED_TRACE(passivity);
        MV2Object* craft = MakeSub(0);
        MV2Object* enemy = MakeSub(1, {4.0f, -10.0f, 0.0f});
        ASSERT_TRUE(craft && enemy);
        enemy->flags |= 16; // the other side
        MV2ObjectSendMessage(craft, 21, 3, 0);
        MV2SubAIOrderGuard(craft, nullptr, 2, kMV2AnyCategory, kMV2AnyType, 1.0f);
        MV2GetSubAIData(craft)->passivity = passivity;
        MV2ObjectSendMessage(craft, 76, 0, reinterpret_cast<intptr_t>(enemy));
        MV2SubAICommand* frame = MV2SubAIGetCommand(craft);
        if (passivity == 9) {
            EXPECT_EQ(frame->code, kMV2SubAIAttack);
            EXPECT_EQ(MV2SubAICommandGetTarget(frame), enemy);
            EXPECT_EQ(MV2SubAIFindCommand(craft, kMV2SubAIGuard), 1); // resumes after
        } else {
            EXPECT_EQ(frame->code, kMV2SubAIGuard);
        }
        // No player object: message 65 never retaliates.
        MV2SubAIOrderGuard(craft, nullptr, 2, kMV2AnyCategory, kMV2AnyType, 1.0f);
        EXPECT_EQ(MV2ObjectSendMessage(craft, 65, 0, 0), 1);
        EXPECT_EQ(MV2SubAIGetCommand(craft)->code, kMV2SubAIGuard);
        MV2ObjectSendMessage(craft, 4, 1, 0);
        MV2ObjectSendMessage(enemy, 4, 1, 0);
    }
}

TEST_F(CreatureTest, CraftWithoutWeaponDoesNotRetaliate) {
    MV2Object* craft = MakeSub(0);
    MV2Object* enemy = MakeSub(1, {4.0f, -10.0f, 0.0f});
    enemy->flags |= 16;
    MV2SubAIOrderGuard(craft, nullptr, 2, kMV2AnyCategory, kMV2AnyType, 1.0f);
    MV2ObjectSendMessage(craft, 76, 0, reinterpret_cast<intptr_t>(enemy));
    EXPECT_EQ(MV2SubAIGetCommand(craft)->code, kMV2SubAIGuard);
}

TEST_F(CreatureTest, RaySphere) {
    struct Case {
        TvV3d origin, direction, centre;
        float radius;
        int32_t hit;
        float nearRoot, farRoot;
    };
    const Case cases[] = {
        {{0, 0, 0}, {1, 0, 0}, {5, 0, 0}, 1.0f, 1, 4.0f, 6.0f},
        {{0, 0, 0}, {2, 0, 0}, {5, 0, 0}, 1.0f, 1, 2.0f, 3.0f},  // roots in direction lengths
        {{5, 0, 0}, {1, 0, 0}, {5, 0, 0}, 1.0f, 1, -1.0f, 1.0f}, // from inside
        {{0, 0, 0}, {1, 0, 0}, {-5, 0, 0}, 1.0f, 1, -6.0f, -4.0f}, // behind: the line meets it
        {{0, 1, 0}, {1, 0, 0}, {5, 0, 0}, 1.0f, 0, 0.0f, 0.0f},  // grazing: disc 0
        {{0, 3, 0}, {1, 0, 0}, {5, 0, 0}, 1.0f, 0, 0.0f, 0.0f},  // missing
    };
    for (const Case& c : cases) {
        float n = 0.0f, f = 0.0f;
        EXPECT_EQ(MV2RaySphere(&c.origin, &c.direction, &c.centre, c.radius, &n, &f), c.hit);
        if (c.hit) {
            EXPECT_FLOAT_EQ(n, c.nearRoot);
            EXPECT_FLOAT_EQ(f, c.farRoot);
        }
    }
}

TEST_F(CreatureTest, SteeringStraightBehindGivesNoSpeedWithoutReverse) {
    MV2Object* craft = MakeSub(0);
    ASSERT_NE(craft, nullptr);
    for (int32_t reverse : {0, 1}) {
        TvV3d behind = TvV3dScale(craft->matrix->at, -1.0f);
        float speed = 1.0f;
        Sub(craft)->thrust = 0.0f;
        MV2SubAISteer(craft, &behind, &speed, reverse);
        if (reverse)
            EXPECT_LT(speed, 0.0f);
        else
            EXPECT_FLOAT_EQ(speed, 0.0f);
    }
}
