#include <gtest/gtest.h>

#include "game/missions/mission9.h"
#include "game/missions/missions.h"
#include "game/objects/levels.h"
#include "shell/gamestate.h"
#include "tests/game/missions/mission_rows_fixture.h"

namespace {

constexpr int32_t kPostType = kRowPostType;

MissionLevel Level0() {
    MissionLevel level = RowCityLevel({56, 0});
    level.objects.push_back({0x00040069, kPostType, 150, 10, 150}); // the defended object
    level.objects.push_back({0x00040262, kPostType, 190, 10, 150}); // the raiders' default place
    level.objects.push_back({0x00040059, kPostType, 100, 10, 150});
    level.playerPosition[0] = 20, level.playerPosition[2] = 20;
    return level;
}

int32_t LiveRaiders() {
    int32_t n = 0;
    for (const MV2ObjectRef& ref : gMV2Mission9.raiders)
        n += ref.object && MV2ObjectHandleAlive(ref.handle);
    return n;
}

} // namespace

TEST(Mission9Test, TheFifteenthKillWinsWithFourRaidersAtATime) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    ASSERT_TRUE(h.Load(Level0()));
    MV2MissionStart(9, 0);
    h.Run(25000, 500);
    EXPECT_EQ(LiveRaiders(), 4);
    for (int kill = 1; kill <= 15; ++kill) {
        MV2Object* raider = nullptr;
        for (MV2ObjectRef& ref : gMV2Mission9.raiders)
            if (!raider && ref.object && MV2ObjectHandleAlive(ref.handle)) raider = ref.object;
        ASSERT_NE(raider, nullptr) << kill;
        EXPECT_TRUE(h.Log("banner").empty()) << kill;
        h.Kill(raider, h.Player());
        EXPECT_EQ(LiveRaiders(), std::min(4, 15 - kill)) << kill;
    }
    EXPECT_EQ(gMV2Mission9.raidersSpawned, 15);
    ASSERT_EQ(h.Log("banner").size(), 1u);
    EXPECT_EQ(h.Log("banner")[0].value, 1);
}

TEST(Mission9Test, KeepingAwayWarnsAtSixtySecondsAndFailsAtOneHundredTwenty) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    ASSERT_TRUE(h.Load(Level0()));
    MV2MissionStart(9, 0);
    RowMovePlayer(h, 150, 170); // at the defence
    h.Run(12000, 500);
    ASSERT_EQ(gMV2Mission9.defenceJoined, 1u);
    RowMovePlayer(h, 20, 20);
    h.Run(58000, 500);
    EXPECT_TRUE(h.Log("failed").empty());
    bool warned = false;
    for (const MissionLogEntry& e : h.Log("shown"))
        warned = warned || e.value == 932;
    EXPECT_TRUE(warned);
    h.Run(3000, 500);
    ASSERT_EQ(h.Log("failed").size(), 1u);
    EXPECT_EQ(h.Log("failed")[0].value, 943);
}

TEST(Mission9Test, FriendlyCraftLoseHalfOfWhatAThreatReports) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    ASSERT_TRUE(h.Load(Level0()));
    MV2MissionStart(9, 0);
    h.Run(30000, 500); // the defence starts and craft A comes from the city
    MV2Object* a = MV2GetMissionObjectA();
    ASSERT_NE(a, nullptr);
    const struct {
        float energyBefore;
        int32_t message; // 65 from the player, 76 from an object
        float energyAfter;
    } kCases[] = {{100.0f, 76, 100.0f}, {80.0f, 76, 90.0f}, {70.0f, 65, 80.0f}, {90.0f, 76, 90.0f}};
    for (const auto& c : kCases) {
        a->energy = c.energyBefore;
        h.Send(a, c.message, 0, 0);
        EXPECT_FLOAT_EQ(a->energy, c.energyAfter) << c.energyBefore;
    }
}
