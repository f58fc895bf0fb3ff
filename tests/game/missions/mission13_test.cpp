#include <gtest/gtest.h>

#include "game/missions/missions.h"
#include "tests/game/missions/mission_objects.h"
#include "tests/support/mission_harness.h"

namespace {

// The outpost: its centre, the friendly craft's mark and four pirate marks far from the player.
MissionLevel Outpost() {
    MissionLevel level;
    level.types = {{56}, {67}, {55}};
    AddCityObjects(level);
    AddMiningObjects(level);
    level.objects.push_back({0x40069, 55, 10, 5, 10});
    level.objects.push_back({0x240002, 55, 12, 5, 10});
    for (uint32_t i = 0; i < 4; ++i)
        level.objects.push_back({0x240003 + i, 55, 10.0f + float(i), 5, 14});
    return level;
}

std::vector<MV2Object*> Pirates() {
    std::vector<MV2Object*> out;
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
        if ((o->typeWord & kMV2ObjectTypeMask) == 56) out.push_back(o);
    return out;
}

} // namespace

TEST(Mission13Test, TheFourthPirateKillWinsAndTheCityStartsRow14) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Outpost()));
    MV2MissionRestart(13);
    h.Notify(17, nullptr, 0x24FFFF);
    const std::vector<MV2Object*> pirates = Pirates();
    ASSERT_EQ(pirates.size(), 4u);
    h.ClearLog();
    for (size_t i = 0; i < pirates.size(); ++i) {
        h.Kill(pirates[i], h.Player());
        h.Step(10);
        EXPECT_EQ(MissionLogCount(h, "shown", 1099), i == 3 ? 1 : 0) << i;
    }
    EXPECT_EQ(h.Log("banner").size(), 1u);
    EXPECT_EQ(h.Log("banner")[0].value, 1);
    EXPECT_TRUE(h.Log("restart").empty());
    h.Notify(7, h.Player(), 0);
    ASSERT_FALSE(h.Log("restart").empty());
    EXPECT_EQ(h.Log("restart").back().value, 14);
}

TEST(Mission13Test, KeepingAwayWarnsAtExactly30000AndFailsAtExactly74000) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Outpost()));
    MV2MissionRestart(13);
    h.Notify(17, nullptr, 0x24FFFF);
    h.Step(1); // timer 257: the first leash step
    // Away steps of 2000 ms each: the 15th reaches 30000, the 37th 74000.
    const struct {
        uint32_t steps;
        int32_t warned, failed;
    } kCases[] = {{13, 0, 0}, {1, 1, 0}, {21, 1, 0}, {1, 1, 1}, {10, 1, 1}};
    for (const auto& c : kCases) {
        h.Run(c.steps * 2000, 2000);
        EXPECT_EQ(MissionLogCount(h, "shown", 1098), c.warned) << h.Time();
        EXPECT_EQ(MissionLogCount(h, "failed", 1100), c.failed) << h.Time();
    }
}

TEST(Mission13Test, AShotAtAPirateCountsAsEngagementFromAfar) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Outpost()));
    MV2MissionRestart(13);
    h.Notify(17, nullptr, 0x24FFFF);
    h.Step(1);
    MV2Object* pirate = Pirates()[0];
    for (int32_t i = 0; i < 40; ++i) {
        h.Send(pirate, 65, 0, 0); // a threat from the player resets the away time
        h.Step(2000);
    }
    EXPECT_EQ(MissionLogCount(h, "shown", 1098), 0);
    EXPECT_EQ(MissionLogCount(h, "failed", 1100), 0);
}
