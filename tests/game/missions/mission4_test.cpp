#include <gtest/gtest.h>

#include "game/missions/mission4.h"
#include "game/missions/missions.h"
#include "game/objects/levels.h"
#include "shell/gamestate.h"
#include "tests/game/missions/mission_rows_fixture.h"

namespace {

constexpr int32_t kPostType = kRowPostType;

MissionLevel Level0() {
    MissionLevel level = RowCityLevel({56, 0});
    level.objects.push_back({0x0002003C, kPostType, 150, 10, 150}); // the base
    level.objects.push_back({0x00040242, kPostType, 160, 10, 150}); // the spawn centre
    level.objects.push_back({0x0002001E, kPostType, 40, 10, 40});   // the launch post
    level.objects.push_back({0x00040056, kPostType, 20, 10, 20});   // the player's post
    return level;
}

void Open(MissionHarness& h) {
    MV2MissionStart(4, 0);
    h.Notify(8, nullptr, 0); // the player leaves the console
    EXPECT_EQ(gMV2GameState.requested, 13);
    h.Notify(4, nullptr, 13); // the opening
    h.Run(2000, 100);
}

int32_t g_kept = 0;

} // namespace

TEST(Mission4Test, ThreeRaidersKilledWinAndLeadToRowFive) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    ASSERT_TRUE(h.Load(Level0()));
    Open(h);
    for (const MV2ObjectRef& ref : gMV2Mission4.raiders)
        ASSERT_NE(ref.object, nullptr);
    EXPECT_EQ(MissionLogCount(h, "shown", 272), 1);
    RowMovePlayer(h, 150, 160);
    h.Run(2000, 100);
    EXPECT_EQ(gMV2Mission4.engaged, 1u);
    for (MV2ObjectRef ref : gMV2Mission4.raiders) {
        EXPECT_TRUE(h.Log("banner").empty());
        h.Kill(MV2GetObjectRef(&ref), h.Player());
    }
    h.Run(1000, 100);
    ASSERT_EQ(h.Log("banner").size(), 1u);
    EXPECT_EQ(h.Log("banner")[0].value, 1);
    h.Run(30000, 500);
    ASSERT_EQ(h.Log("restart").size(), 1u);
    EXPECT_EQ(h.Log("restart")[0].value, 5);
}

TEST(Mission4Test, RemindersUntilEngagedAndCraftAGoesHomeAndComesBack) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    ASSERT_TRUE(h.Load(Level0()));
    Open(h);
    h.Run(128000, 500);
    // Every 20 s from the second minute's timer and once after 121 s of the approach.
    EXPECT_GE(MissionLogCount(h, "shown", 727), 5);
    RowMovePlayer(h, 150, 160);
    h.Run(2000, 500);
    const int32_t reminders = MissionLogCount(h, "shown", 727);
    h.Run(60000, 500);
    EXPECT_EQ(MissionLogCount(h, "shown", 727), reminders);

    MV2Object* a = MV2GetMissionObjectA();
    ASSERT_NE(a, nullptr);
    a->energy = 4.0f; // below 5% of the type's 100
    h.Run(10000, 500);
    EXPECT_EQ(gMV2Mission4.craftARetreated, 1u);
    EXPECT_EQ(MissionLogCount(h, "shown", 941), 1);
    h.Notify(6, a, 0); // A reached the city
    h.Run(1500, 500);
    EXPECT_EQ(gMV2Mission4.craftARetreated, 0u);
    EXPECT_NE(MV2GetMissionObjectA(), nullptr);
}

TEST(Mission4Test, DestroyingEveryRaiderStepsOverOneThatSurvives) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    ASSERT_TRUE(h.Load(Level0()));
    Open(h);
    // The three raiders are mission-owned; a script that keeps one alive must not hang the walk.
    MV2SetMissionScriptForTest(4, [](MV2Object*, int32_t message, intptr_t, intptr_t) {
        if (message != 10) return 1;
        ++g_kept;
        return 0;
    });
    g_kept = 0;
    {
        MV2CurrentLevelWorld world;
        MV2Mission4DestroyAllOfType(56);
    }
    MV2SetMissionScriptForTest(4, nullptr);
    EXPECT_EQ(g_kept, 3);
    for (const MV2ObjectRef& ref : gMV2Mission4.raiders)
        EXPECT_TRUE(MV2ObjectHandleAlive(ref.handle));
}
