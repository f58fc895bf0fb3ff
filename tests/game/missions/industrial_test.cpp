// Industrial turrets, gates and doors: half-cosine moves and their mirrored reversal, the iris
// door's stages, the gliding-part doors and the turret's search and sight.
#include "game/missions/industrial.h"

#include <cmath>

#include "tests/game/missions/levelobject_fixture.h"

namespace {

class IndustrialTest : public LevelObjectTest {
protected:
    static void Run(MV2Object* o, uint32_t ms, uint32_t step = 50) {
        for (uint32_t t = 0; t < ms; t += step)
            Step(o, step);
    }
};

TEST_F(IndustrialTest, HalfCosineOffsets) {
    struct Case {
        uint32_t now;
        int32_t opening;
        float offset;
        int32_t done;
    };
    const float rate = 3.14159265f / 2000.0f;
    const Case cases[] = {
        {1000, 1, 0.0f, 0},  {2000, 1, 1.0f, 0}, {3000, 1, 2.0f, 1}, {1000, 0, 2.0f, 0},
        {2000, 0, 1.0f, 0},  {3500, 0, 0.0f, 1}, {500, 1, 0.0f, 0}, // not started yet: held
    };
    for (const Case& c : cases) {
        int32_t done = -1;
        EXPECT_NEAR(MV2HalfCosineOffset(c.now, 1000, 3000, rate, 2.0f, c.opening, &done), c.offset,
                    1e-4f)
            << c.now;
        EXPECT_EQ(done, c.done) << c.now;
    }
}

TEST_F(IndustrialTest, OvenDoorReversesMidwayFromWhereItIs) {
    LevelType(346, sizeof(MV2GateData));
    MV2Object* gate = Make(346);
    ASSERT_NE(gate, nullptr);
    auto* d = static_cast<MV2GateData*>(gate->privateData);
    EXPECT_EQ(d->state, 3u);
    MV2ObjectSendMessage(gate, 12, 1, 0);
    EXPECT_EQ(LevelSounds::Count("OVENDOOROPEN"), 1);
    MV2ObjectSendMessage(gate, 12, 1, 0); // already opening: nothing
    EXPECT_EQ(LevelSounds::Count("OVENDOOROPEN"), 1);
    const uint32_t start = gMV2FrameTimer.frameClock;
    gMV2FrameTimer.frameClock = start + 500;
    Step(gate, 0);
    const TvV3d atBefore = gate->matrix->at;
    MV2ObjectSendMessage(gate, 12, 0, 0);
    EXPECT_EQ(d->state, 2u);
    EXPECT_EQ(d->start, 2 * (start + 500) - (start + 2000)); // start' = 2 now - end
    EXPECT_EQ(d->end, 2 * (start + 500) - start);
    EXPECT_EQ(LevelSounds::Count("OVENDOORCLOSE"), 1);
    Step(gate, 0);
    EXPECT_NEAR(gate->matrix->at.x, atBefore.x, 1e-4f); // no jump
    EXPECT_NEAR(gate->matrix->at.z, atBefore.z, 1e-4f);
    Run(gate, 600);
    EXPECT_EQ(d->state, 3u);
    EXPECT_NEAR(gate->matrix->at.z, 1.0f, 1e-5f);
    // Opened fully: a quarter turn about up.
    MV2ObjectSendMessage(gate, 12, 1, 0);
    Run(gate, 2100);
    EXPECT_EQ(d->state, 1u);
    EXPECT_NEAR(std::fabs(gate->matrix->at.x), 1.0f, 1e-4f);
    // Message 11 obeys once, then the gate ignores 11 and 12.
    MV2ObjectSendMessage(gate, 11, 0, 0);
    EXPECT_EQ(d->state, 2u);
    EXPECT_EQ(d->automatic, 0u);
    Run(gate, 2100);
    MV2ObjectSendMessage(gate, 12, 1, 0);
    MV2ObjectSendMessage(gate, 11, 1, 0);
    EXPECT_EQ(d->state, 3u);
}

class IrisTest : public IndustrialTest {
protected:
    void SetUp() override {
        IndustrialTest::SetUp();
        LevelType(237, sizeof(MV2StagedDoorData), {2, 3, 4, 5, 6, 7});
        door_ = Make(237);
        ASSERT_NE(door_, nullptr);
    }
    MV2StagedDoorData* D() { return static_cast<MV2StagedDoorData*>(door_->privateData); }
    MV2Object* door_ = nullptr;
};

TEST_F(IrisTest, StagesOpenAndCloseInOrder) {
    EXPECT_EQ(D()->stage, 7u);
    MV2ObjectSendMessage(door_, 12, 0, 0); // closing a closed door: nothing
    EXPECT_EQ(D()->stage, 7u);
    MV2ObjectSendMessage(door_, 12, 1, 0);
    EXPECT_EQ(D()->stage, 0u);
    EXPECT_EQ(LevelSounds::Count("SDOOROPEN"), 1);
    MV2ObjectSendMessage(door_, 12, 1, 0); // only from stage 7
    EXPECT_EQ(LevelSounds::Count("SDOOROPEN"), 1);
    Run(door_, 850);
    EXPECT_EQ(D()->stage, 1u);
    EXPECT_NEAR(TvFrameGetMatrix(D()->bolts[2])->pos.x, D()->boltRest[2] - 0.6f, 1e-4f);
    EXPECT_NEAR(TvFrameGetMatrix(D()->bolts[3])->pos.x, D()->boltRest[3] + 0.6f, 1e-4f);
    EXPECT_EQ(LevelSounds::Count("LDOOROPEN"), 1);
    Run(door_, 1950);
    EXPECT_EQ(D()->stage, 2u);
    EXPECT_NEAR(TvFrameGetMatrix(D()->bolts[0])->pos.x, D()->boltRest[0] - 1.2f, 1e-4f);
    MV2ObjectSendMessage(door_, 12, 0, 0); // not yet open: ignored
    EXPECT_EQ(D()->stage, 2u);
    Run(door_, 2100);
    EXPECT_EQ(D()->stage, 3u);
    const float c130 = std::cos(130.0f * 3.14159265f / 180.0f);
    EXPECT_NEAR(TvFrameGetMatrix(D()->leaves[0])->right.x, c130, 1e-4f);
    MV2ObjectSendMessage(door_, 12, 0, 0);
    EXPECT_EQ(D()->stage, 4u);
    Run(door_, 2100 + 1900 + 800);
    EXPECT_EQ(D()->stage, 7u);
    for (int32_t i = 0; i < 4; i++)
        EXPECT_NEAR(TvFrameGetMatrix(D()->bolts[i])->pos.x, D()->boltRest[i], 1e-5f) << i;
    EXPECT_NEAR(TvFrameGetMatrix(D()->leaves[1])->right.x, 1.0f, 1e-5f);
    EXPECT_EQ(LevelSounds::Count("SDOORCLOSE"), 1);
}

TEST_F(IndustrialTest, MultiPartDoors) {
    LevelType(410, 2 * sizeof(MV2DoorPartRecord), {2, 3});
    MV2Object* rods = Make(410);
    ASSERT_NE(rods, nullptr);
    auto* r = static_cast<MV2DoorPartRecord*>(rods->privateData);
    EXPECT_EQ(r[0].state, 0u); // opening from its creation
    Run(rods, 2100);
    EXPECT_EQ(r[0].state, 1u);
    EXPECT_EQ(r[1].state, 1u);
    EXPECT_NEAR(r[0].position->x - r[0].home.x, 1.5f, 1e-5f);
    EXPECT_NEAR(r[1].position->x - r[1].home.x, -1.5f, 1e-5f);
    const int32_t closes = LevelSounds::Count("LDOORCLOSE");
    MV2ObjectSendMessage(rods, 24, 0, 0); // shut at once, silently
    EXPECT_EQ(r[0].state, 3u);
    EXPECT_FLOAT_EQ(r[0].position->x, r[0].home.x);
    EXPECT_EQ(LevelSounds::Count("LDOORCLOSE"), closes);

    LevelType(362, 2 * sizeof(MV2DoorPartRecord), {2, 1});
    MV2Object* door = Make(362, {0, 0, 20});
    ASSERT_NE(door, nullptr);
    MV2ObjectSendMessage(door, 24, 0, 0); // a null point is refused
    auto* q = static_cast<MV2DoorPartRecord*>(door->privateData);
    EXPECT_EQ(q[0].hasTarget, 0u);
    const TvV3d point{0, 0, 13.5f};
    MV2ObjectSendMessage(door, 24, 0, intptr_t(&point));
    Step(door);
    EXPECT_EQ(q[0].state, 0u); // 6.5 away: within 7
    EXPECT_EQ(q[0].hasTarget, 0u);

    LevelType(341, sizeof(MV2DoorPartRecord));
    MV2Object* rod = Make(341);
    LevelType(20, 0);
    MV2Object* other = Make(20, {1.5f, 0, 0});
    ASSERT_TRUE(rod && other);
    other->scriptId = 0x123456;
    intptr_t time = -1;
    MV2ObjectSendMessage(rod, 34, 0x123456, intptr_t(&time));
    EXPECT_EQ(time, 7500);
    MV2ObjectSendMessage(rod, 34, 0x654321, intptr_t(&time));
    EXPECT_EQ(time, 0); // not found
    MV2ObjectSendMessage(rod, 34, 0x123456, 0); // no answer word: nothing written
}

TEST_F(IndustrialTest, TurretWithoutItsPartsIsRefused) {
    LevelType(228, sizeof(MV2TwinTurretData), {2, 3, 4});
    EXPECT_EQ(Make(228), nullptr);
}

} // namespace
