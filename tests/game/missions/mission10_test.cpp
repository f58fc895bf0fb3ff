#include <gtest/gtest.h>

#include <string>

#include "game/creatures/repairdrone.h"
#include "game/frontend/hudmessages.h"
#include "game/missions/mission10.h"
#include "game/frontend/hud.h"
#include "game/missions/missions.h"
#include "game/missions/rocks.h"
#include "game/objects/objects.h"
#include "platform/win32/win32.h"
#include "tests/game/missions/mission_objects.h"
#include "tests/support/mission_harness.h"

namespace {

constexpr uint32_t kTarget[3] = {0x60000, 0x60001, 0x60002};
constexpr int32_t kCraftType = 321, kWreckType = 322;

class Mission10Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(h.ok());
        level.types.push_back({kCraftType});
        level.types.push_back({kWreckType});
        level.types.push_back({56});
        AddCityObjects(level); // with the drop-point sign 0x20000
        AddMiningObjects(level);
        // Far from the player at (100, 20, 100).
        for (int i = 0; i < 3; i++) level.objects.push_back({kTarget[i], kCraftType, 10.0f + 10 * i, 2, 10});
        for (uint32_t id : {0x60010u, 0x60007u, 0x60008u, 0x6000Cu, 0x6000Du, 0x60009u})
            level.objects.push_back({id, kWreckType, 10, 4, 10});
    }
    void Start() {
        ASSERT_TRUE(h.Load(level));
        gMV2Hud.bannerRow = 0; // a banner left by another test is not this run's
        MV2CallMissionScript(10, nullptr, 256, 0, 0); // the set-up once the sub has left the city
        for (int i = 0; i < 3; i++) target[i] = gMV2Rescue.targets[i].object;
    }
    MissionHarness h;
    MissionLevel level;
    MV2Object* target[3] = {};
};

TEST_F(Mission10Test, OneLostAndTwoRescuedCloseTheMissionAndGoOnToRowEleven) {
    Start();
    ASSERT_NE(target[0], nullptr);
    EXPECT_EQ(MissionLogCount(h, "shown", 1015), 1);
    EXPECT_EQ(gMV2RepairDronePanel.shown, 1);
    h.Notify(6, target[0], 0); // target 0 reached the city
    h.Notify(21, target[1], 0); // a drone fetched target 1
    EXPECT_EQ(gMV2Rescue.rescued, 2);
    EXPECT_EQ(gMV2RepairDronePanel.entries[1].status, 4);
    h.Send(target[2], 4, 0, 0); // target 2 destroyed by something else
    EXPECT_EQ(gMV2Rescue.lost, 1);
    EXPECT_EQ(MissionLogCount(h, "queued", 1031), 0);
    h.Step(10);
    EXPECT_EQ(MissionLogCount(h, "shown", 1043), 1);
    EXPECT_EQ(MissionLogCount(h, "banner", 1), 1);
    h.Run(20000);
    EXPECT_EQ(MissionLogCount(h, "restart", 11), 1);
    EXPECT_EQ(gMV2RepairDronePanel.shown, 0);
}

TEST_F(Mission10Test, SecondLossFailsThroughTheLateTimer) {
    Start();
    h.Send(target[0], 4, 0, 0);
    EXPECT_EQ(MissionLogCount(h, "queued", 1031), 1);
    EXPECT_TRUE(h.Log("banner").empty());
    h.Send(target[2], 4, 0, 0);
    EXPECT_EQ(MissionLogCount(h, "banner", 0), 1);
    EXPECT_TRUE(h.Log("failed").empty());
    h.Step(10);
    EXPECT_EQ(MissionLogCount(h, "failed", 1032), 1);
}

TEST_F(Mission10Test, KeepingAwayFromEveryCraftWarnsAt120000AndFailsAt180000) {
    Start();
    h.Run(119000, 500);
    EXPECT_EQ(MissionLogCount(h, "shown", 1020), 0);
    h.Run(3000, 500);
    EXPECT_EQ(MissionLogCount(h, "shown", 1020), 1);
    h.Run(57000, 500);
    EXPECT_TRUE(h.Log("failed").empty());
    h.Run(3000, 500);
    EXPECT_EQ(MissionLogCount(h, "failed", 1021), 1);
}

TEST_F(Mission10Test, ThreatMovesTheDeadlineAndWarnsOnce) {
    Start();
    const int32_t before = gMV2Rescue.targets[0].deadline;
    h.Send(target[0], 65, 0, 0);
    EXPECT_EQ(gMV2Rescue.targets[0].deadline, before - 4000);
    EXPECT_EQ(gMV2RepairDronePanel.entries[0].endTime, before - 4000);
    EXPECT_EQ(gMV2RepairDronePanel.entries[0].alarmTime, int32_t(MV2GetGameTime()));
    h.Send(target[0], 65, 0, 0); // a second threat while the warning is under way
    EXPECT_EQ(gMV2Rescue.targets[0].deadline, before - 8000);
    h.Run(30000);
    EXPECT_EQ(MissionLogCount(h, "shown", 1026), 1);
}

TEST_F(Mission10Test, WreckEightComesLooseOnlyAfterWreckSix) {
    Start();
    MV2Object* six = h.Find(0x6000C);
    MV2Object* eight = h.Find(0x60009);
    ASSERT_NE(eight, nullptr);
    h.Send(eight, 44, 0, intptr_t(h.Player()));
    EXPECT_EQ(gMV2Rescue.objects[8].pinned, 1u);
    EXPECT_EQ(gMV2Rescue.objects[5].pinned, 1u);
    EXPECT_EQ(eight->typeHandler, MV2RescueObjectHandler);
    h.Send(six, 44, 0, intptr_t(h.Player()));
    EXPECT_EQ(gMV2Rescue.objects[6].pinned, 0u);
    h.Send(eight, 44, 0, intptr_t(h.Player()));
    EXPECT_EQ(gMV2Rescue.objects[8].pinned, 0u);
    EXPECT_EQ(gMV2Rescue.objects[5].pinned, 0u);
    EXPECT_EQ(eight->typeHandler, MV2RescueDebrisHandler);
}

TEST_F(Mission10Test, PinnedObjectsStayWhereTheyWerePlaced) {
    Start();
    MV2Object* two = h.Find(0x60007);
    const float away[3] = {30, 30, 30};
    h.Send(two, 83, 0, intptr_t(away));
    h.Step(500);
    h.Send(two, 2, 0, 0);
    EXPECT_FLOAT_EQ(two->matrix->pos.x, 10);
    EXPECT_FLOAT_EQ(two->matrix->pos.y, 4);
}

TEST_F(Mission10Test, UnknownObjectShowsItsBoxAndTouchesNoRecord) {
    Start();
    MV2Object* sign = h.Find(0x20000);
    const MV2RescueMission before = gMV2Rescue;
    PlatformClearMessageBoxes();
    EXPECT_EQ(MV2RescueObjectHandler(sign, 44, 0, 0), 1);
    ASSERT_EQ(h.Boxes().size(), 1u);
    EXPECT_EQ(h.Boxes()[0], "Unhandled object passed to Mv2RescueGetObjectID\n");
    for (int i = 0; i < kMV2RescueObjects; i++) EXPECT_EQ(gMV2Rescue.objects[i].pinned, before.objects[i].pinned);
}

TEST_F(Mission10Test, MissingTargetCountsAsLostWithoutAWord) {
    std::erase_if(level.objects, [](const MissionObject& o) { return o.scriptId == 0x60001; });
    Start();
    EXPECT_EQ(gMV2Rescue.lost, 1);
    EXPECT_EQ(gMV2Rescue.targets[1].state, uint32_t(kMV2RescueDestroyed));
    EXPECT_TRUE(h.Log("queued").size() == 2u); // 1016 and 1017 only
    h.Notify(6, target[0], 0);
    h.Notify(6, target[2], 0);
    h.Step(10);
    h.Run(6000);
    EXPECT_EQ(MissionLogCount(h, "shown", 1043), 1);
}

} // namespace
