#include <gtest/gtest.h>

#include <string>

#include "game/missions/mission21.h"
#include "game/missions/missions.h"
#include "game/objects/levelswitch.h"
#include "game/objects/objects.h"
#include "game/player/playercraft.h"
#include "tests/game/missions/mission_objects.h"
#include "tests/support/mission_harness.h"

namespace {

TEST(Mission21Test, WaitsWhileThePlayerStaysFifteenUnitsAboveTheWayPoint) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    MissionLevel level;
    AddCityObjects(level);
    AddMiningObjects(level);
    level.objects.push_back({0x40246, kMissionSignType, 100, 5, 100});
    level.objects.push_back({0x40264, kMissionSignType, 100, 0, 120});
    ASSERT_TRUE(h.Load(level));
    MV2CallMissionScript(21, nullptr, 1, 0, 0);
    EXPECT_EQ(MV2PendingMission, 31);
    EXPECT_TRUE(MV2MissionNotifyInstalled(21, 13));
    // After the briefing (whose craft selection is the loadout's business) the player leaves
    // the console.
    MV2MissionRemoveNotify(21, 13);
    MV2MissionInstallNotify(21, 8);
    MV2Object* sub = MV2GetPlayerSub();
    ASSERT_NE(sub, nullptr);
    const float atLimit[3] = {100, 20, 100}; // exactly A.y + 15
    h.Send(sub, 83, 0, intptr_t(atLimit));
    h.Notify(8, nullptr, 0);
    EXPECT_EQ(MV2PendingMission, 0);
    h.Run(40000, 500);
    EXPECT_EQ(gMV2Mission21.waiting, 1);
    EXPECT_EQ(MissionLogCount(h, "shown", 1111), 1);
    EXPECT_EQ(MissionLogCount(h, "shown", 1115), 0);
    const float lower[3] = {100, 19.9f, 100};
    h.Send(sub, 83, 0, intptr_t(lower));
    h.Run(1000, 500);
    EXPECT_EQ(gMV2Mission21.waiting, 0);
    EXPECT_EQ(MissionLogCount(h, "shown", 1115), 1);
    // Level 3 is not loaded: the row keeps polling and never goes on.
    h.Run(5000, 500);
    EXPECT_EQ(MissionLogCount(h, "restart", 22), 0);
}

class Mission22Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(h.ok());
        MV2ResetLevelSwitches();
        level.levelId = 0x03FFFFFF;
        level.types.push_back({270});
        level.types.push_back({kMissionSignType});
        for (uint32_t id : {0x3040000u, 0x3040003u, 0x3040005u, 0x3070000u, 0x3070001u, 0x3070002u,
                            0x3070003u, 0x3070004u, 0x3070005u, 0x302002Eu, 0x302001Fu})
            level.objects.push_back({id, kMissionSignType, float(id & 0xFF), 3, 10});
        ASSERT_TRUE(h.Load(level));
    }
    void TearDown() override { MV2ResetLevelSwitches(); }
    MissionHarness h;
    MissionLevel level;
};

TEST_F(Mission22Test, StageSetUpRunsOnlyWhileSwitch21IsClear) {
    for (int set = 1; set >= 0; set--) {
        SCOPED_TRACE(set);
        MV2MissionKillTimers(22);
        if (set) MV2SetLevelSwitch(21, 0);
        else MV2ClearLevelSwitch(21);
        MV2CallMissionScript(22, nullptr, 256, 0, 0);
        EXPECT_EQ(MV2CountMissionTimers(22, 262), set ? 0 : 1);
    }
}

TEST_F(Mission22Test, EachSwitchActionRebuildsItsStage) {
    MV2MissionSetTimer(22, 262, 1000);
    MV2RunLevelSwitchAction21To24(22);
    EXPECT_EQ(MV2CountMissionTimers(22, 262), 0);
    EXPECT_EQ(MV2CountMissionTimers(22, 267), 1);
    MV2Object* second = MV2Mission22Crawler(1);
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(second->scriptId, 0x3120001);
    EXPECT_FLOAT_EQ(second->matrix->pos.x, 0x02); // parked on way-point 0x3070002, which went
    for (uint32_t gone : {0x3070002u, 0x3070003u, 0x302002Eu, 0x302001Fu}) EXPECT_EQ(h.Find(gone), nullptr);
    EXPECT_EQ(gMV2Mission22.stageFlags[0], 1);
    EXPECT_FLOAT_EQ(MV2Mission22Crawler(0)->matrix->pos.x, 0x03);

    MV2RunLevelSwitchAction21To24(23);
    ASSERT_NE(MV2Mission22Crawler(2), nullptr);
    EXPECT_EQ(MV2Mission22Crawler(2)->scriptId, 0x3120002);
    EXPECT_EQ(MV2Mission22Crawler(1), second); // the third crawler leaves the second in place
    EXPECT_EQ(h.Find(0x3070001), nullptr);
    EXPECT_EQ(MV2CountMissionTimers(22, 267), 0);

    MV2RunLevelSwitchAction21To24(24);
    ASSERT_NE(MV2Mission22Crawler(3), nullptr);
    EXPECT_FLOAT_EQ(MV2Mission22Crawler(3)->matrix->pos.x, 0x00);
    EXPECT_EQ(h.Find(0x3070004), nullptr);
    EXPECT_NE(MV2Mission22Crawler(2), nullptr);

    // The first stage starts the set-up again (its actors come from cut-scene records).
    MV2RunLevelSwitchAction21To24(21);
    EXPECT_EQ(MV2CountMissionTimers(22, 262), 1);
}

} // namespace
