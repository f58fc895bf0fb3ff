// Breakable props and charges: crates that settle or rest on a stack, the panel that breaks
// only from the front, debris, and the floating charge's arming and lifetime.
#include "game/missions/breakables.h"

#include "tests/game/missions/levelobject_fixture.h"

namespace {

class BreakableTest : public LevelObjectTest {};

TEST_F(BreakableTest, CratesSinkUnlessSupported) {
    LevelType(272, 0, {}, 0.5f);
    MV2Object* low = Make(272, {5, 2, 5});
    MV2Object* high = Make(272, {5, 2.5f, 5}); // resting on the first
    MV2Object* alone = Make(272, {15, 2, 15});
    ASSERT_TRUE(low && high && alone);
    TvFrameSyncDirty();
    Step(high);
    Step(alone);
    EXPECT_FLOAT_EQ(high->matrix->pos.y, 2.5f);
    EXPECT_NEAR(alone->matrix->pos.y, 2.0f - 0.032f, 1e-6f);
    // The player's craft under a crate holds it up too.
    LevelType(1, 0, {}, 1.0f);
    MV2Object* craft = Make(1, {15.0f, 1.4f, 15.0f});
    MV2SetPlayerObject(craft);
    Step(alone);
    EXPECT_NEAR(alone->matrix->pos.y, 2.0f - 0.032f, 1e-6f);
}

TEST_F(BreakableTest, BrokenCrateLeavesDebrisAndCallsBack) {
    LevelType(308, 0);
    for (int32_t t : {325, 326, 327})
        LevelType(t, 0);
    MV2Object* crate = Make(308, {0, 2, 0});
    static MV2Object* reported;
    reported = nullptr;
    MV2ObjectSendMessage(crate, 12, 0,
                         reinterpret_cast<intptr_t>(+[](MV2Object* o, int32_t) { reported = o; }));
    crate->energy = -1.0f;
    const MV2ObjectHandle handle = crate->handle;
    Step(crate);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
    EXPECT_EQ(reported, crate);
    for (int32_t t : {325, 326, 327})
        EXPECT_EQ(CountType(t), 1) << t;
    EXPECT_EQ(LevelSounds::Count("BRICK1") + LevelSounds::Count("BRICK2"), 1);
}

TEST_F(BreakableTest, PanelBreaksOnlyFromTheFront) {
    LevelType(381, 0);
    LevelType(1, 0);
    MV2Object* panel = Make(381, {0, 2, 0});
    MV2Object* craft = Make(1, {0, 2, -3}); // behind: at points along +z
    MV2SetPlayerObject(craft);
    EXPECT_FLOAT_EQ(panel->energy, 10000.0f);
    panel->energy = 9000.0f;
    Step(panel);
    EXPECT_FLOAT_EQ(panel->energy, 10000.0f); // healed
    craft->matrix->pos.z = 3.0f;
    panel->energy = 9000.0f;
    const MV2ObjectHandle handle = panel->handle;
    Step(panel);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
}

TEST_F(BreakableTest, FloatingChargeArmsAfterItsFirstMoments) {
    LevelType(332, sizeof(MV2FloatingChargeData), {}, 0.3f, true);
    LevelType(20, 0);
    MV2Object* other = Make(20, {5, 5, 5});
    for (uint32_t seed : {1u, 2u, 3u, 4u}) {
        TvRandomSeed(seed);
        MV2Object* charge = Make(332, {0, 2, 0});
        ASSERT_NE(charge, nullptr);
        auto* d = static_cast<MV2FloatingChargeData*>(charge->privateData);
        EXPECT_GE(d->lifetime, 15.0f);
        EXPECT_LE(d->lifetime, 20.0f);
        for (int32_t i = 0; i < 35; i++) // 1.17 s
            Step(charge);
        EXPECT_EQ(MV2ObjectSendMessage(charge, 14, 0, intptr_t(other)), 0);
        EXPECT_EQ(d->explode, 0u); // not yet armed
        Step(charge);
        Step(charge); // 1.23 s
        MV2ObjectSendMessage(charge, 19, -500, intptr_t(other));
        EXPECT_EQ(d->explode, 1u);
        const MV2ObjectHandle handle = charge->handle;
        Step(charge);
        EXPECT_FALSE(MV2ObjectHandleAlive(handle));
    }
    // Left alone, it goes off at the end of its lifetime.
    MV2Object* charge = Make(332, {0, 2, 0});
    const float lifetime = static_cast<MV2FloatingChargeData*>(charge->privateData)->lifetime;
    const MV2ObjectHandle handle = charge->handle;
    int32_t steps = 0;
    while (MV2ObjectHandleAlive(handle) && steps < 30 * 25) {
        Step(charge);
        steps++;
    }
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
    EXPECT_NEAR(float(steps) / 30.0f, lifetime, 0.1f);
}

} // namespace
