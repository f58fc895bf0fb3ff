#include <gtest/gtest.h>

#include "game/missions/mission36.h"
#include "game/missions/missions.h"
#include "game/objects/levels.h"
#include "shell/gamestate.h"
#include "tests/support/mission_harness.h"

namespace {

constexpr int32_t kPostType = 302;

int32_t Count(const std::vector<MissionLogEntry>& log, intptr_t value) {
    int32_t n = 0;
    for (const MissionLogEntry& e : log)
        n += e.value == value;
    return n;
}

// Level 1 with the boundary, the guard posts and the patrol posts of the raid.
MissionLevel Level1(int32_t playerType) {
    MissionLevel level;
    level.levelId = 0x01FFFFFF;
    level.playerType = playerType;
    level.playerPosition[0] = 60, level.playerPosition[1] = 10, level.playerPosition[2] = 20;
    level.types.push_back({kPostType});
    level.types.push_back({56});
    level.types.push_back({1});
    level.objects.push_back({0x01000006, kPostType, 50, 10, 20}); // the boundary
    for (uint32_t id : {0x01060013u, 0x01060014u, 0x01060015u, 0x01060012u})
        level.objects.push_back({id, kPostType, 30, 10, float(id & 0xFF)});
    return level;
}

} // namespace

TEST(Mission36Test, WithoutLevelOneForTenMinutesTheRaidFails) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    MissionLevel level;
    AddCityObjects(level);
    AddMiningObjects(level);
    ASSERT_TRUE(h.Load(level));
    MV2MissionStart(36, 0);
    EXPECT_EQ(MV2PendingMission, 51);
    h.Run(300000, 1000);
    EXPECT_TRUE(h.Log("failed").empty());
    h.Run(3000, 1000);
    EXPECT_EQ(Count(h.Log("shown"), 1314), 1);
    h.Run(298000, 1000);
    EXPECT_TRUE(h.Log("failed").empty());
    h.Run(3000, 1000);
    ASSERT_EQ(h.Log("failed").size(), 1u);
    EXPECT_EQ(h.Log("failed")[0].value, 1316);
    EXPECT_EQ(MV2CountMissionTimers(36, 256), 0);
}

TEST(Mission36Test, TheBonusCraftHasNoPatrolAndOneHintBeforeTheAmbush) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    ASSERT_TRUE(h.Load(Level1(329)));
    MV2MissionStart(36, 0);
    bool patrolArmed = false;
    for (int i = 0; i < 200; ++i) {
        h.Step(500);
        patrolArmed = patrolArmed || MV2CountMissionTimers(36, 267) > 0;
    }
    EXPECT_FALSE(patrolArmed);
    EXPECT_EQ(Count(h.Log("shown"), 1324), 1);
    // The ambush follows the hint 60 s later.
    EXPECT_EQ(Count(h.Log("shown"), 1325), 1);
    for (int32_t slot = 1; slot <= 3; ++slot)
        EXPECT_NE(MV2GetObjectRef(&gMV2Mission36.raiders[slot]), nullptr) << slot;
}

TEST(Mission36Test, ARaiderSeenMissingWaitsTenSeconds) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    MissionLevel level = Level1(1);
    level.playerPosition[0] = 500; // far from the boundary: the script waits at the approach
    ASSERT_TRUE(h.Load(level));
    MV2MissionStart(36, 0);
    h.Step(1000);
    {
        MV2CurrentLevelWorld world;
        MV2Mission36PlaceLeadCraft(0x01060013, 3);
    }
    ASSERT_NE(MV2GetMissionObjectA(), nullptr);
    gMV2Mission36.routeState = 0x01060012;
    MV2CallMissionScript(36, nullptr, 266, 0, 0);
    h.Run(30000, 500);
    for (int32_t slot = 2; slot < 7; ++slot)
        ASSERT_NE(MV2GetObjectRef(&gMV2Mission36.raiders[slot]), nullptr) << slot;
    h.Send(MV2GetObjectRef(&gMV2Mission36.raiders[4]), 4, 0, 0);
    const uint32_t killed = h.Time();
    while (!MV2GetObjectRef(&gMV2Mission36.raiders[4]) && h.Time() < killed + 30000)
        h.Step(500);
    ASSERT_NE(MV2GetObjectRef(&gMV2Mission36.raiders[4]), nullptr);
    EXPECT_GE(h.Time() - killed, 10000u);
    EXPECT_LE(h.Time() - killed, 15500u);
}
