// Switches, sockets, lifts and puzzle objects: floor-switch reports, the crystal socket, lift
// travel, the scales' balance and the link tag.
#include "game/missions/switches.h"

#include <vector>

#include "tests/game/missions/levelobject_fixture.h"

namespace {

struct Calls {
    static inline std::vector<std::pair<MV2Object*, int32_t>> log;
    static void Record(MV2Object* o, int32_t v) { log.emplace_back(o, v); }
};

class SwitchTest : public LevelObjectTest {
protected:
    void SetUp() override {
        LevelObjectTest::SetUp();
        Calls::log.clear();
    }
    static intptr_t Callback() { return reinterpret_cast<intptr_t>(&Calls::Record); }
};

TEST_F(SwitchTest, FloorSwitchReportsEachChangeOnce) {
    LevelType(285, sizeof(MV2FloorSwitchData));
    LevelType(286, 0);
    LevelType(20, 0);
    MV2Object* sw = Make(285, {0, 2, 0});
    MV2Object* weight = Make(286, {0, 3, 0});
    MV2Object* other = Make(20, {0, 3, 0});
    ASSERT_TRUE(sw && weight && other);
    MV2ObjectSendMessage(sw, 12, 0, Callback());
    // Frames: (pressed by?) and the callbacks expected by then.
    struct Frame {
        MV2Object* presser;
        size_t calls;
        float height;
    };
    const Frame frames[] = {{other, 0, 2.0f}, {weight, 1, 1.8f}, {weight, 1, 1.8f},
                            {nullptr, 2, 2.0f}, {nullptr, 2, 2.0f}};
    for (const Frame& f : frames) {
        if (f.presser) MV2ObjectSendMessage(sw, 14, 0, intptr_t(f.presser));
        Step(sw);
        EXPECT_EQ(Calls::log.size(), f.calls);
        EXPECT_FLOAT_EQ(sw->matrix->pos.y, f.height);
    }
    ASSERT_EQ(Calls::log.size(), 2u);
    EXPECT_EQ(Calls::log[0].second, 1);
    EXPECT_EQ(Calls::log[1].second, 0);
    EXPECT_EQ(LevelSounds::Count("FLOORSWITCH"), 2);
}

TEST_F(SwitchTest, SocketTakesOnlyItsLinkedCrystal) {
    LevelType(234, sizeof(MV2CrystalSocketData));
    for (int32_t t : {229, 230})
        LevelType(t, sizeof(MV2CrystalData), {}, 0.3f, true);
    MV2Object* socket = Make(234, {5, 2, 5});
    MV2Object* wrong = Make(230, {5.1f, 2.5f, 5.0f});
    ASSERT_TRUE(socket && wrong);
    MV2ObjectSendMessage(socket, 12, 0, Callback());
    MV2Object* right = Make(229, {30, 2, 30});
    MV2ObjectSendMessage(socket, 33, 0, intptr_t(right));
    MV2ObjectSendMessage(socket, 33, 0, 0); // a null crystal is refused
    TvFrameSyncDirty();
    Step(socket);
    EXPECT_TRUE(Calls::log.empty());
    EXPECT_GT(wrong->body->velocity.x, 0.0f); // pushed aside
    right->matrix->pos = {5.0f, 2.3f, 5.1f};
    MV2ObjectMoved(right);
    TvFrameSyncDirty();
    Step(socket);
    ASSERT_EQ(Calls::log.size(), 1u);
    EXPECT_EQ(Calls::log[0].second, 1);
    intptr_t filled = 0;
    MV2ObjectSendMessage(socket, 13, 0, intptr_t(&filled));
    EXPECT_EQ(filled, 1);
    EXPECT_EQ(LevelSounds::Count("MGHATTACH"), 1);
    Step(socket);
    EXPECT_FLOAT_EQ(right->matrix->pos.z, 5.0f);
    EXPECT_EQ(Calls::log.size(), 1u);
}

TEST_F(SwitchTest, LiftsTravelExactly) {
    struct Case {
        int32_t type;
        float start, end;
    };
    for (const Case& c : {Case{192, 3.0f, 18.0f}, Case{221, 23.0f, 3.0f}}) {
        LevelType(c.type, sizeof(MV2LiftData));
        MV2Object* lift = Make(c.type, {0, 3, 0});
        ASSERT_NE(lift, nullptr);
        EXPECT_FLOAT_EQ(lift->matrix->pos.y, c.start) << c.type;
        MV2ObjectSendMessage(lift, 12, 0, Callback());
        Calls::log.clear();
        Step(lift);
        EXPECT_FLOAT_EQ(lift->matrix->pos.y, c.start) << "not started";
        MV2ObjectSendMessage(lift, 11, 1, 0);
        for (int32_t i = 0; i < 2100; i++)
            Step(lift);
        EXPECT_FLOAT_EQ(lift->matrix->pos.y, c.end) << c.type;
        ASSERT_EQ(Calls::log.size(), 1u) << c.type;
        EXPECT_EQ(Calls::log[0].second, 1);
        MV2ObjectSendMessage(lift, 4, 0, 0);
    }
}

TEST_F(SwitchTest, ScalesBalanceOnlyAtExactlyFour) {
    LevelType(310, 0, {1, 2});
    LevelType(311, 0);
    LevelType(312, 0);
    for (int32_t t = 315; t <= 321; t++)
        LevelType(t, 0);
    MV2Object* scales = Make(310);
    ASSERT_NE(scales, nullptr);
    MV2ObjectSendMessage(scales, 12, 0, Callback());
    MV2ScalesData* d = MV2GetScales();
    auto place = [&](std::initializer_list<int32_t> types) {
        for (int32_t t : types) {
            MV2Object* w = Make(t, {0, 5, 0});
            d->weights[t - 315].placed = 1;
            MV2SetObjectRef(&d->weights[t - 315].object, w);
        }
    };
    place({316, 318, 320}); // three weights: a tilt, no report
    Step(scales);
    EXPECT_TRUE(Calls::log.empty());
    EXPECT_NE(d->tilt, 0.0f);
    place({315}); // 4.1
    Step(scales);
    ASSERT_EQ(Calls::log.size(), 1u);
    EXPECT_EQ(Calls::log[0].second, 0);
    for (const MV2ScalesData::Weight& w : d->weights)
        EXPECT_EQ(w.placed, 0u); // all dropped
    Calls::log.clear();
    place({316, 318, 320, 321});
    Step(scales);
    Step(scales);
    ASSERT_EQ(Calls::log.size(), 2u); // every update while balanced
    EXPECT_EQ(Calls::log[1].second, 1);
}

TEST_F(SwitchTest, LinkTagKeepsItsWords) {
    LevelType(45, sizeof(MV2LinkTagData));
    LevelType(20, 0);
    MV2Object* tag = Make(45);
    MV2Object* owner = Make(20);
    ASSERT_TRUE(tag && owner);
    MV2ObjectSendMessage(tag, 15, 0, intptr_t(owner));
    EXPECT_EQ(MV2ObjectSendMessage(tag, 14, 0, intptr_t(owner)), 0);
    MV2ObjectSendMessage(tag, 12, 42, 0);
    intptr_t out = 0;
    MV2ObjectSendMessage(tag, 13, 0, intptr_t(&out));
    EXPECT_EQ(out, 42);
    const intptr_t word = 9;
    MV2ObjectSendMessage(tag, 33, 0, intptr_t(&word));
    MV2ObjectSendMessage(tag, 34, 0, intptr_t(&out));
    EXPECT_EQ(out, 9);
    MV2Object* got = nullptr;
    MV2ObjectSendMessage(owner, 4, 0, 0);
    MV2ObjectSendMessage(tag, 16, 0, intptr_t(&got));
    EXPECT_EQ(got, nullptr); // a dead owner reads as none
}

} // namespace
