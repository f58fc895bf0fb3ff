// Sliding machinery and panel doors: switch sounds, travel limits, snapping home, door
// timings and the part of type 364.
#include "game/missions/machinery.h"

#include <cmath>

#include "engine/world/clump.h"
#include "game/objects/utilities.h"
#include "tests/game/missions/levelobject_fixture.h"

namespace {

class MachineryTest : public LevelObjectTest {
protected:
    MV2Object* Machine(int32_t type, std::initializer_list<uint32_t> tags = {}) {
        LevelType(type, sizeof(MV2SlidingMachineData), tags);
        return Make(type, {0, 5, 0});
    }
    MV2Object* Door(int32_t type) {
        LevelType(type, sizeof(MV2PanelDoorData), {2});
        return Make(type, {0, 5, 0});
    }
    static MV2SlidingMachineData* M(MV2Object* o) {
        return static_cast<MV2SlidingMachineData*>(o->privateData);
    }
    static MV2PanelDoorData* D(MV2Object* o) { return static_cast<MV2PanelDoorData*>(o->privateData); }
    static float Dist2(MV2Object* o, TvV3d home) {
        const TvV3d d = TvV3dSub(o->matrix->pos, home);
        return TvV3dDot(d, d);
    }
};

TEST_F(MachineryTest, OnlyTheOffToOnChangeSounds) {
    MV2Object* m = Machine(184);
    ASSERT_NE(m, nullptr);
    MV2ObjectSendMessage(m, 12, 1, 0);
    MV2ObjectSendMessage(m, 12, 1, 0);
    EXPECT_EQ(LevelSounds::Count("SDOOROPEN"), 1);
    MV2ObjectSendMessage(m, 12, 0, 0);
    MV2ObjectSendMessage(m, 12, 0, 0);
    EXPECT_EQ(LevelSounds::Count("SDOORCLOSE"), 1);
    // Generic blocks have no switch sounds.
    MV2Object* block = Machine(152);
    MV2ObjectSendMessage(block, 12, 1, 0);
    EXPECT_EQ(LevelSounds::Count("SDOOROPEN"), 1);
}

TEST_F(MachineryTest, RangeChangesWithoutMoving) {
    MV2Object* m = Machine(152);
    const float range = 20.0f;
    MV2ObjectSendMessage(m, 12, 0, intptr_t(&range));
    EXPECT_FLOAT_EQ(M(m)->range, 20.0f);
    Step(m);
    EXPECT_FLOAT_EQ(Dist2(m, {0, 5, 0}), 0.0f);
}

TEST_F(MachineryTest, TravelLimitsAndHome) {
    struct Case {
        int32_t type;
        float limit;   // squared distance where it stops
        TvV3d axis;    // direction of travel when on
        float step;    // per frame step
    };
    const Case cases[] = {
        {152, 80.0f, {0, -1, 0}, 0.02f}, {233, 30.0f, {0, -1, 0}, 0.02f},
        {188, 80.0f, {0, -1, 0}, 0.01f}, {131, 140.0f, {0, -1, 0}, 0.2f},
        {184, 25.0f, {0, 1, 0}, 0.2f},   {412, 10.0f, {1, 0, 0}, 0.1f},
        {323, 38.0f, {0, 0, 1}, 0.02f},
    };
    for (const Case& c : cases) {
        MV2Object* m = Machine(c.type);
        ASSERT_NE(m, nullptr) << c.type;
        const TvV3d home{0, 5, 0};
        MV2ObjectSendMessage(m, 12, 1, 0);
        Step(m);
        const TvV3d moved = TvV3dSub(m->matrix->pos, home);
        EXPECT_NEAR(TvV3dDot(moved, c.axis), c.step, 1e-5f) << c.type;
        for (int32_t i = 0; i < 3000; i++)
            Step(m);
        EXPECT_GE(Dist2(m, home), c.limit) << c.type;
        EXPECT_LE(Dist2(m, home), (std::sqrt(c.limit) + c.step) * (std::sqrt(c.limit) + c.step)) << c.type;
        const TvV3d stopped = m->matrix->pos;
        Step(m);
        EXPECT_FLOAT_EQ(m->matrix->pos.y, stopped.y) << c.type;
        MV2ObjectSendMessage(m, 12, 0, 0);
        for (int32_t i = 0; i < 3000; i++)
            Step(m);
        EXPECT_FLOAT_EQ(Dist2(m, home), 0.0f) << c.type; // snapped home exactly
        MV2ObjectSendMessage(m, 4, 0, 0);
    }
}

TEST_F(MachineryTest, SwitchedOffAlongAtSnapsHomeAtOnce) {
    MV2Object* m = Machine(323);
    MV2ObjectSendMessage(m, 12, 1, 0);
    for (int32_t i = 0; i < 100; i++)
        Step(m);
    EXPECT_GT(Dist2(m, {0, 5, 0}), 1.0f);
    MV2ObjectSendMessage(m, 12, 0, 0);
    Step(m);
    EXPECT_FLOAT_EQ(Dist2(m, {0, 5, 0}), 0.0f);
}

TEST_F(MachineryTest, BreakablePartAndRepel) {
    MV2Object* m = Machine(364, {2});
    ASSERT_NE(m, nullptr);
    ASSERT_NE(M(m)->part, nullptr);
    TvFrameSyncDirty();
    const TvV3d part = TvFrameGetLTM(M(m)->part->object.frame)->pos; // 1 unit along x
    LevelType(1, 0, {}, 1.0f, true);
    MV2Object* sub = Make(1, TvV3dAdd(part, {0.5f, 0, 0}));
    MV2SetPlayerSub(sub);
    Step(m);
    EXPECT_GT(sub->body->velocity.x, 0.0f); // pushed out along +x
    const uint8_t before = M(m)->part->object.object.flags;
    const TvV3d miss = TvV3dAdd(part, {0.6f, 0, 0});
    MV2ObjectSendMessage(m, 65, intptr_t(&miss), 0);
    EXPECT_EQ(M(m)->part->object.object.flags, before);
    const TvV3d hit = TvV3dAdd(part, {0.3f, 0, 0});
    MV2ObjectSendMessage(m, 65, intptr_t(&hit), 0);
    EXPECT_EQ(M(m)->part->object.object.flags, uint8_t(before & ~5u));
}

TEST_F(MachineryTest, PanelDoorWithoutItsPanelIsRefused) {
    LevelType(46, sizeof(MV2PanelDoorData));
    EXPECT_EQ(Make(46), nullptr);
}

TEST_F(MachineryTest, PanelDoorTimings) {
    MV2Object* door = Door(46);
    ASSERT_NE(door, nullptr);
    EXPECT_EQ(door->aiCategory, 8);
    // 33 (1): opens while its 1 s timer runs, then closes again.
    MV2ObjectSendMessage(door, 33, 1, 0);
    EXPECT_EQ(LevelSounds::Count("LDOOROPEN"), 0); // the timer was 0, not below it
    for (int32_t i = 0; i < 30; i++)
        Step(door);
    EXPECT_NEAR(D(door)->opening, 1.14f, 0.05f); // about 29 steps of 0.04
    for (int32_t i = 0; i < 40; i++)
        Step(door);
    EXPECT_FLOAT_EQ(D(door)->opening, 0.0f);
    EXPECT_FLOAT_EQ(door->matrix->pos.x, 0.0f);
    // The timer now lies below 0: an open order sounds.
    MV2ObjectSendMessage(door, 33, 1, 0);
    EXPECT_EQ(LevelSounds::Count("LDOOROPEN"), 1);
    MV2ObjectSendMessage(door, 33, 1, 0); // timer at 1.0: no second sound
    EXPECT_EQ(LevelSounds::Count("LDOOROPEN"), 1);
    // 62: open for 60 s.
    MV2ObjectSendMessage(door, 62, 0, 0);
    for (int32_t i = 0; i < 30 * 59; i++)
        Step(door);
    EXPECT_FLOAT_EQ(D(door)->opening, 1.5f);
    EXPECT_NEAR(door->matrix->pos.x, -1.5f, 1e-5f);
    EXPECT_NEAR(TvFrameGetMatrix(D(door)->panel)->pos.x, 1.0f + 3.0f, 1e-5f);
    for (int32_t i = 0; i < 30 * 2 + 40; i++)
        Step(door);
    EXPECT_FLOAT_EQ(D(door)->opening, 0.0f);
    // 24 (1) holds it open until 24 (0).
    MV2ObjectSendMessage(door, 24, 1, 0);
    for (int32_t i = 0; i < 30 * 100; i++)
        Step(door);
    EXPECT_FLOAT_EQ(D(door)->opening, 1.5f);
    MV2ObjectSendMessage(door, 24, 0, 0);
    for (int32_t i = 0; i < 40; i++)
        Step(door);
    EXPECT_FLOAT_EQ(D(door)->opening, 0.0f);
    // 63: almost fully open at once.
    MV2ObjectSendMessage(door, 63, 0, 0);
    EXPECT_FLOAT_EQ(D(door)->opening, 1.5f - 0.001f);
    // 12 and 13 keep a link word.
    const intptr_t link = 77;
    intptr_t out = 0;
    MV2ObjectSendMessage(door, 12, 0, intptr_t(&link));
    MV2ObjectSendMessage(door, 13, 0, intptr_t(&out));
    EXPECT_EQ(out, 77);
}

} // namespace
