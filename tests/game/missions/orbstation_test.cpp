// The orb station: nothing until a target comes within reach, twenty orbs shared by every
// station, energy given back, and orbs that miss dying at 6000 ms.
#include "game/missions/orbstation.h"

#include "tests/game/missions/levelobject_fixture.h"

namespace {

class OrbTest : public LevelObjectTest {
protected:
    void SetUp() override {
        LevelObjectTest::SetUp();
        LevelType(264, sizeof(MV2OrbStationData), {}, 2.0f);
        LevelType(1, 0, {}, 1.0f, true);
        MV2GetObjectType(1)->words[31] &= ~(3u << 28); // the craft stays where it is put
    }
    static int32_t Live() {
        int32_t n = 0;
        for (const MV2StationOrb& o : gMV2OrbPool.orbs)
            n += o.live ? 1 : 0;
        return n;
    }
};

TEST_F(OrbTest, StationWaitsForATargetThenEmitsTwenty) {
    MV2Object* station = Make(264, {0, 2, 0});
    ASSERT_NE(station, nullptr);
    MV2Object* sub = Make(1, {0, 2, 10});
    MV2SetPlayerSub(sub);
    for (int32_t i = 0; i < 30; i++)
        Step(station);
    EXPECT_EQ(Live(), 0);
    sub->matrix->pos = {0, 2, 1.5f}; // within the reach of 2
    for (int32_t i = 0; i < 31; i++) // restart, then two orbs every three steps; none lands yet
        Step(station);
    EXPECT_EQ(Live(), 20);
    EXPECT_EQ(static_cast<MV2OrbStationData*>(station->privateData)->emitted, 20);
}

TEST_F(OrbTest, PoolIsSharedAndOrbsDieAt6000ms) {
    MV2Object* a = Make(264, {0, 2, 0});
    MV2Object* b = Make(264, {6, 2, 0});
    LevelType(20, 0);
    MV2Object* far = Make(20, {0, 50, 0}); // a target the orbs never reach
    ASSERT_TRUE(a && b && far);
    const float reach = 100.0f;
    for (MV2Object* s : {a, b}) {
        MV2ObjectSendMessage(s, 63, 0, intptr_t(far));
        MV2ObjectSendMessage(s, 24, 0, intptr_t(&reach));
    }
    auto emitted = [](MV2Object* s) { return static_cast<MV2OrbStationData*>(s->privateData)->emitted; };
    for (int32_t i = 0; i < 40; i++) {
        MV2ObjectSendMessage(a, 2, 0, 0);
        MV2ObjectSendMessage(b, 2, 0, 0);
        gMV2FrameTimer.frameClock += 33;
    }
    EXPECT_EQ(Live(), 20);
    EXPECT_EQ(emitted(a) + emitted(b), 20); // a full pool holds the emission back
    EXPECT_LT(emitted(b), 20);

    MV2ObjectSendMessage(b, 4, 0, 0);
    MV2ObjectSendMessage(a, 4, 0, 0); // the last station gone: the pool is cleared
    EXPECT_EQ(Live(), 0);
    MV2Object* c = Make(264, {0, 2, 0});
    MV2ObjectSendMessage(c, 63, 0, intptr_t(far));
    MV2ObjectSendMessage(c, 24, 0, intptr_t(&reach));
    const uint32_t start = gMV2FrameTimer.frameClock;
    uint32_t last = start;
    for (int32_t i = 0; i < 40; i++) {
        const int32_t before = Live();
        Step(c);
        if (Live() > before) last = gMV2FrameTimer.frameClock - 33;
    }
    ASSERT_EQ(emitted(c), 20);
    gMV2FrameTimer.frameClock = last + 6000;
    Step(c, 0);
    EXPECT_GT(Live(), 0); // the last orbs are exactly 6000 ms old
    gMV2FrameTimer.frameClock = last + 6001;
    Step(c, 0);
    EXPECT_EQ(Live(), 0);
}

TEST_F(OrbTest, OrbsRestoreEnergyUpToTheInitial) {
    MV2Object* station = Make(264, {0, 2, 0});
    MV2Object* sub = Make(1, {0, 2, 1});
    MV2SetPlayerSub(sub);
    sub->energy = 50.0f;
    for (int32_t i = 0; i < 30 * 8; i++)
        Step(station);
    EXPECT_GT(sub->energy, 50.0f);
    EXPECT_LE(sub->energy, 100.0f);
}

} // namespace
