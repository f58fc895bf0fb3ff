#include <gtest/gtest.h>

#include "game/missions/missions.h"
#include "tests/game/missions/mission_objects.h"
#include "tests/support/mission_harness.h"

namespace {

constexpr uint32_t kWayPoints[8] = {0xB0005, 0xB000A, 0xB0009, 0xB0001,
                                    0xB0000, 0xB0003, 0xB0007, 0xB000B};

MissionLevel Trail() {
    MissionLevel level;
    AddCityObjects(level);
    level.types.push_back({55});
    level.types.push_back({59});
    for (int32_t i = 0; i < 8; ++i)
        level.objects.push_back({kWayPoints[i], 55, 10.0f + 25.0f * float(i), 5, 160});
    return level;
}

int32_t Jellyfish() {
    int32_t n = 0;
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
        n += (o->typeWord & kMV2ObjectTypeMask) == 59;
    return n;
}

} // namespace

TEST(Mission5Test, FollowingTheTrailReachesTheGoalWithAtMostEightJellyfish) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Trail()));
    MV2MissionRestart(5);
    EXPECT_EQ(Jellyfish(), 3);
    int32_t most = 0;
    // Down the trail from W4 to W0, a while at each.
    for (int32_t i = 4; i >= 0; --i) {
        MissionMoveTo(h, h.Player(), {10.0f + 25.0f * float(i), 6, 162});
        for (int32_t t = 0; t < 40; ++t) {
            h.Step(1000);
            most = std::max(most, Jellyfish());
        }
    }
    EXPECT_EQ(most, 8);
    EXPECT_EQ(MissionLogCount(h, "shown", 156), 1); // the goal
}

TEST(Mission5Test, FiveUnansweredRemindersFailTheMission) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Trail()));
    MV2MissionRestart(5);
    MissionMoveTo(h, h.Player(), {10, 6, 162}); // at the goal
    h.Run(400000, 1000);
    EXPECT_EQ(MissionLogCount(h, "shown", 917), 1);
    EXPECT_EQ(MissionLogCount(h, "shown", 797), 4);
    EXPECT_EQ(h.Log("failed").size(), 1u);
}

TEST(Mission5Test, ReturningHomeStopsTheReminders) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Trail()));
    MV2MissionRestart(5);
    MissionMoveTo(h, h.Player(), {10, 6, 162});
    h.Run(100000, 1000);
    h.Notify(7, h.Player(), 0);
    h.Run(300000, 1000);
    EXPECT_TRUE(h.Log("failed").empty());
}
