#include <gtest/gtest.h>

#include <string>

#include "game/frontend/hud.h"
#include "game/missions/mission26.h"
#include "game/missions/missions.h"
#include "game/objects/objects.h"
#include "tests/game/missions/message_recorder.h"
#include "tests/game/missions/mission_objects.h"
#include "tests/support/mission_harness.h"

namespace {

class Mission26Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(h.ok());
        level.levelId = 0x04FFFFFF;
        level.types.push_back({320, 100.0f, 0, 0, RecordingHandler});
        for (uint32_t id : {0x4010003u, 0x4010005u, 0x401000Cu, 0x401000Du, 0x401000Eu, 0x4010012u})
            level.objects.push_back({id, 320});
        ASSERT_TRUE(h.Load(level));
        gMV2Hud.bannerRow = 0; // a banner left by another test is not this run's
        MV2CallMissionScript(26, nullptr, 1, 0, 0);
        RecordedMessages().clear();
    }
    MissionHarness h;
    MissionLevel level;
};

TEST_F(Mission26Test, UnloadedStoreDecidesTheMission) {
    struct Case {
        int32_t event;
        intptr_t item;
        int banner;
    };
    for (const Case& c : {Case{0, 343, 1}, Case{1, 0, 0}}) {
        SCOPED_TRACE(c.event);
        h.ClearLog();
        // The sequence before the collapse installs the store's events.
        h.Notify(17, nullptr, 0x40CFFFF);
        h.Notify(0, h.Player(), 461); // an empty slot changes nothing
        EXPECT_TRUE(h.Log("banner").empty());
        h.Notify(c.event, h.Player(), c.item);
        EXPECT_EQ(MissionLogCount(h, "banner", c.banner), 1);
        EXPECT_FALSE(MV2MissionNotifyInstalled(26, 0));
        EXPECT_FALSE(MV2MissionNotifyInstalled(26, 1));
        h.Notify(7, nullptr, 0); // entering the city goes on with row 27 either way
        EXPECT_EQ(MissionLogCount(h, "restart", 27), 1);
        h.Run(4000);
    }
}

TEST_F(Mission26Test, SecondCutSceneSwitchWhileOneIsPendingIsNotRerun) {
    MV2Object* first = h.Find(0x401000E);
    MV2Object* second = h.Find(0x4010012);
    ASSERT_NE(first, nullptr);
    ASSERT_NE(second, nullptr);
    MV2Mission26SwitchChanged(first, 1);
    MV2Mission26SwitchChanged(second, 1);
    EXPECT_EQ(gMV2Mission26.deferredSwitch, first);
    EXPECT_EQ(gMV2Mission26.played[2], 1);
    EXPECT_EQ(CountRecorded(0x4010005, 12, 1) + CountRecorded(0x401000C, 11, 1), 0); // both actions wait
    h.Run(2000);
    EXPECT_EQ(CountRecorded(0x4010005, 12, 1), 1); // the first switch's action ran once, after its scene
    EXPECT_EQ(CountRecorded(0x401000C, 11, 1), 0); // the second's never did
    EXPECT_EQ(gMV2Mission26.pendingCutScene, 0u);
    // Acting again, with its scene played, the second switch acts at once.
    MV2Mission26SwitchChanged(second, 1);
    EXPECT_EQ(CountRecorded(0x401000C, 11, 1), 1);
    EXPECT_EQ(CountRecorded(0x401000D, 11, 1), 1);
}

TEST_F(Mission26Test, SwitchZeroCActsAtOnceAndAgainAfterItsScene) {
    MV2Mission26SwitchChanged(h.Find(0x401000C), 1);
    EXPECT_EQ(CountRecorded(0x4010003, 12, 1), 1);
    h.Run(2000);
    EXPECT_EQ(CountRecorded(0x4010003, 12, 1), 2);
}

} // namespace
