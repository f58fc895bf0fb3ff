// Slow shuttle: an eased trip to B with its notices and linked objects, commands ignored while
// moving, the pause that shifts the trip, and the jump to B and the trip back.
#include "game/missions/shuttle.h"

#include <vector>

#include "game/missions/leveldevices.h"
#include "tests/game/missions/levelobject_fixture.h"

namespace {

std::vector<int32_t> gNotices;
int32_t gLinkMessages = 0;

void Notice(MV2Object*, int32_t state) {
    gNotices.push_back(state);
}

intptr_t LinkHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 63) ++gLinkMessages;
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

class ShuttleTest : public LevelObjectTest {
protected:
    void SetUp() override {
        LevelObjectTest::SetUp();
        MV2RegisterLevelDeviceHandlers();
        LevelType(kMV2ShuttleType, sizeof(MV2ShuttleData));
        LevelType(2, 0);
        MV2SetObjectTypeHandler(2, LinkHandler);
        gNotices.clear();
        gLinkMessages = 0;
    }
    MV2Object* Shuttle(TvV3d b, intptr_t jump = 0) {
        MV2Object* s = Make(kMV2ShuttleType);
        MV2ObjectSendMessage(s, 12, 0, reinterpret_cast<intptr_t>(&Notice));
        MV2Object* target = Make(2, b);
        MV2ObjectSendMessage(s, 33, jump, reinterpret_cast<intptr_t>(target));
        return s;
    }
    static uint32_t State(MV2Object* s) {
        return static_cast<MV2ShuttleData*>(s->privateData)->state;
    }
    static void Go(MV2Object* s, intptr_t p1) { MV2ObjectSendMessage(s, 11, p1, 0); }
    static void At(MV2Object* s, uint32_t ms) {
        gMV2FrameTimer.frameClock = ms;
        MV2ObjectSendMessage(s, 2, 0, 0);
    }
};

} // namespace

TEST_F(ShuttleTest, TripEasesToBAndTellsItsLinks) {
    MV2Object* s = Shuttle({0, 0, 100});
    MV2Object* links[3] = {Make(2), Make(2), Make(2)};
    for (MV2Object* l : links)
        MV2ObjectSendMessage(s, 63, 0, reinterpret_cast<intptr_t>(l));
    MV2ObjectSendMessage(links[0], 4, 0, 0); // a dead first link is skipped
    const uint32_t t0 = 10000;
    At(s, t0);
    Go(s, 1);
    EXPECT_EQ(State(s), uint32_t(kMV2ShuttleToB));
    Go(s, 1); // moving: nothing
    EXPECT_EQ(State(s), uint32_t(kMV2ShuttleToB));
    struct Step {
        uint32_t at;
        float z;
    } steps[] = {{0, 0.0f}, {22500, 50.0f}, {11250, 14.6447f}, {44999, 100.0f}};
    for (const Step& st : steps) {
        At(s, t0 + st.at);
        EXPECT_NEAR(Pos(s).z, st.z, 0.01f) << st.at;
    }
    EXPECT_TRUE(gNotices.empty());
    At(s, t0 + 45000);
    EXPECT_EQ(State(s), uint32_t(kMV2ShuttleAtB));
    EXPECT_FLOAT_EQ(Pos(s).z, 100.0f);
    EXPECT_EQ(gNotices, std::vector<int32_t>{1});
    EXPECT_EQ(gLinkMessages, 1); // the second link, set by the third message 63
    At(s, t0 + 46000);
    EXPECT_EQ(gNotices.size(), 1u);
}

TEST_F(ShuttleTest, PauseShiftsTheTripToTheSamePlace) {
    MV2Object* s = Shuttle({0, 0, 100});
    At(s, 1000);
    Go(s, 1);
    At(s, 1000 + 22500);
    const float middle = Pos(s).z;
    Go(s, 0);
    for (uint32_t t = 1000 + 22500; t <= 1000 + 32500; t += 500)
        At(s, t);
    EXPECT_FLOAT_EQ(Pos(s).z, middle); // held while paused
    Go(s, 1);                          // un-pauses only
    EXPECT_EQ(State(s) & 0xFFFFu, uint32_t(kMV2ShuttleToB));
    auto* d = static_cast<MV2ShuttleData*>(s->privateData);
    EXPECT_EQ(d->tripEnd, 1000u + 45000u + 10000u);
    At(s, 1000 + 32500);
    EXPECT_NEAR(Pos(s).z, middle, 1e-4f);
    At(s, 1000 + 55000);
    EXPECT_EQ(State(s), uint32_t(kMV2ShuttleAtB));
}

TEST_F(ShuttleTest, JumpRestsAtBAndTheNextCommandGoesBackToA) {
    MV2Object* s = Shuttle({0, 0, 100}, 1);
    EXPECT_EQ(State(s), uint32_t(kMV2ShuttleAtB));
    EXPECT_FLOAT_EQ(Pos(s).z, 100.0f);
    EXPECT_EQ(gNotices, std::vector<int32_t>{1});
    At(s, 5000);
    Go(s, 1);
    EXPECT_EQ(State(s), uint32_t(kMV2ShuttleToA));
    EXPECT_EQ(gNotices, (std::vector<int32_t>{1, 0}));
    At(s, 5000 + 11250);
    EXPECT_NEAR(Pos(s).z, 85.3553f, 0.01f); // from B towards A
    At(s, 5000 + 45000);
    EXPECT_EQ(State(s), uint32_t(kMV2ShuttleAtA));
    EXPECT_FLOAT_EQ(Pos(s).z, 0.0f);
    EXPECT_EQ(gNotices.size(), 2u); // arriving at A tells nothing
}
