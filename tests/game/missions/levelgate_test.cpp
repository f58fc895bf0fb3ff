#include "tests/game/missions/device_fixture.h"

#include "game/missions/levelgate.h"
#include "game/missions/specialmoves.h"

namespace {

class LevelGateTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        gMV2Level.currentLevelId = 0x00FFFFFF;
        gMV2Level.changePending = 0;
        MV2ResetSpecialMove();
    }
    void TearDown() override {
        gMV2Level.changePending = 0;
        DeviceTest::TearDown();
    }
    // A gate at the origin with an inner radius of 4 and an optional outer zone of `outer`.
    MV2Object* Gate(uint32_t destination, float outer = 0.0f) {
        MV2Object* gate = Device(85, sizeof(MV2LevelGateData));
        MV2ObjectSendMessage(gate, 12, intptr_t(destination), 0);
        Set(gate, 79, 0, 4.0f);
        if (outer > 0.0f) Set(gate, 79, 1, outer);
        return gate;
    }
    static MV2LevelGateData* Data(MV2Object* gate) {
        return static_cast<MV2LevelGateData*>(gate->privateData);
    }
};

} // namespace

TEST_F(LevelGateTest, PassageTable) {
    struct Case {
        uint32_t from, to, cutScene, arrivalObject;
    } cases[] = {
        {0, 1, 0x002FFFFF, 0x01100001}, {1, 0, 0x0114FFFF, 0x003B0001},
        {5, 7, 0x0507FFFF, 0x070A0002}, {5, 5, 0x0211FFFF, 0x05050001},
        {2, 3, 0, 0},                   {9, 0, 0, 0},
    };
    for (const Case& c : cases) {
        const MV2GatePassage p = MV2FindGatePassage(c.from, c.to);
        EXPECT_EQ(p.cutScene, c.cutScene) << c.from << "->" << c.to;
        EXPECT_EQ(p.arrivalObject, c.arrivalObject) << c.from << "->" << c.to;
    }
}

TEST_F(LevelGateTest, RadiiKeepTheFirstInnerAndIgnoreNull) {
    MV2Object* gate = Gate(0x01FFFFFF, 2.0f);
    EXPECT_FLOAT_EQ(Data(gate)->innerSquared, 16.0f);
    EXPECT_FLOAT_EQ(Data(gate)->outerSquared, 36.0f);
    Set(gate, 79, 0, 9.0f);
    EXPECT_FLOAT_EQ(Data(gate)->innerSquared, 16.0f);
    MV2ObjectSendMessage(gate, 79, 1, 0); // null value: nothing
    MV2ObjectSendMessage(gate, 79, 0, 0);
    EXPECT_FLOAT_EQ(Data(gate)->outerSquared, 36.0f);
    uint32_t destination = 0;
    MV2ObjectSendMessage(gate, 13, 0, reinterpret_cast<intptr_t>(&destination));
    EXPECT_EQ(destination, 0x01FFFFFFu);
    intptr_t size = 0;
    MV2ObjectSendMessage(gate, 96, 0, reinterpret_cast<intptr_t>(&size));
    EXPECT_EQ(size, intptr_t(sizeof(MV2LevelGateData)));
}

TEST_F(LevelGateTest, WarningRepeatsEveryTenSecondsInTheOuterZone) {
    MV2Object* gate = Gate(0x01FFFFFF, 6.0f);
    Player({7.0f, 0.0f, 0.0f});
    const uint32_t start = gMV2FrameTimer.frameClock;
    struct Step {
        uint32_t at;
        int32_t warnings;
    } steps[] = {{500, 0}, {1001, 1}, {5000, 1}, {11000, 1}, {11002, 2}, {21003, 3}};
    for (const Step& s : steps) {
        gMV2FrameTimer.frameClock = start + s.at;
        Update(gate);
        EXPECT_EQ(Count(kMV2OutcomeMessageShown, 986), s.warnings) << s.at;
    }
    // Outside the outer zone nothing is said.
    MV2GetPlayerObject()->matrix->pos = {20.0f, 0.0f, 0.0f};
    gMV2FrameTimer.frameClock = start + 40000;
    Update(gate);
    EXPECT_EQ(Count(kMV2OutcomeMessageShown, 986), 3);
}

TEST_F(LevelGateTest, OuterZoneGateRaisesItsEventOnceAndAClearedZoneReopensThePassage) {
    MV2Object* gate = Gate(0x01FFFFFF, 6.0f);
    Player({1.0f, 0.0f, 0.0f});
    Update(gate);
    Update(gate);
    EXPECT_EQ(MV2GameEventFired(987), 1);
    EXPECT_EQ(gMV2LevelGate.eventSent, 1);
    EXPECT_EQ(Count(kMV2OutcomeLevelChange, 0x01FFFFFF), 0);
    Set(gate, 79, 1, 0.0f); // the switch clears the zone
    EXPECT_FLOAT_EQ(Data(gate)->outerSquared, 0.0f);
    Update(gate);
    EXPECT_EQ(Count(kMV2OutcomeLevelChange, 0x01FFFFFF), 1);
}

TEST_F(LevelGateTest, PassageRemovesOtherCraftAndStopsTheWarnings) {
    MV2Object* gate = Gate(0x01FFFFFF);
    MV2Object* sub = Player({1.0f, 0.0f, 0.0f});
    MV2Object* enemy = MakeSub(2, {3.0f, 0.0f, 0.0f});
    MV2Object* kept = MakeSub(167, {3.0f, 0.0f, 0.0f});
    ASSERT_TRUE(enemy && kept);
    sub->aiCategory = enemy->aiCategory = kept->aiCategory = 6;
    MV2ObjectHandle enemyHandle = enemy->handle, keptHandle = kept->handle;
    Update(gate);
    EXPECT_FALSE(MV2ObjectHandleAlive(enemyHandle));
    EXPECT_TRUE(MV2ObjectHandleAlive(keptHandle));
    EXPECT_TRUE(MV2ObjectHandleAlive(sub->handle));
    EXPECT_EQ(Count(kMV2OutcomeLevelChange, 0x01FFFFFF), 1);
    EXPECT_EQ(gMV2Level.requestedLevelId, 0x01FFFFFFu);
    Update(gate); // one passage per gate
    EXPECT_EQ(Count(kMV2OutcomeLevelChange, 0x01FFFFFF), 1);
}

TEST_F(LevelGateTest, AnotherControlledCraftIsPushedOutHarderWhenDeeper) {
    MV2Object* gate = Gate(0x01FFFFFF);
    MV2Object* rov = Player({3.0f, 0.0f, 0.0f}, 1, false);
    Update(gate);
    const float shallow = rov->body->velocity.x;
    EXPECT_GT(shallow, 0.0f);
    rov->body->velocity = {0, 0, 0};
    rov->matrix->pos = {1.0f, 0.0f, 0.0f};
    Update(gate);
    EXPECT_GT(rov->body->velocity.x, shallow);
    EXPECT_EQ(Count(kMV2OutcomeLevelChange, 0x01FFFFFF), 0);
}

TEST_F(LevelGateTest, NothingHappensOutsideCampaignsOrDuringASpecialMove) {
    MV2Object* gate = Gate(0x01FFFFFF);
    Player({1.0f, 0.0f, 0.0f});
    gMV2SpecialMove.state = kMV2SpecialMoveHalfTurn;
    Update(gate);
    gMV2SpecialMove.state = kMV2SpecialMoveNone;
    gMV2GameType = 3;
    Update(gate);
    EXPECT_EQ(Count(kMV2OutcomeLevelChange, 0x01FFFFFF), 0);
}
