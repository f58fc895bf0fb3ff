#include <gtest/gtest.h>

#include <cmath>

#include "game/missions/missions.h"
#include "tests/game/missions/mission_objects.h"
#include "tests/support/mission_harness.h"

namespace {

// Two swarm zones with their spawn marks, far from the player at (100, 20, 100).
MissionLevel Swarms() {
    MissionLevel level;
    level.types = {{59}, {42}, {56}, {55}};
    AddCityObjects(level);
    AddMiningObjects(level);
    level.objects.push_back({0x40292, 55, 10, 5, 10});
    level.objects.push_back({0x40291, 55, 10, 5, 200});
    level.objects.push_back({0x4028D, 55, 12, 5, 12});
    level.objects.push_back({0x4028E, 55, 12, 5, 198});
    return level;
}

std::vector<MV2Object*> OfType(int32_t type) {
    return MissionObjectsOfType(type);
}

} // namespace

TEST(Mission16Test, LuresStayAroundTheirZonesAndTheLastKillWins) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Swarms()));
    MV2MissionRestart(16);
    h.Run(12000, 500);
    const std::vector<MV2Object*> lures = OfType(42);
    ASSERT_EQ(lures.size(), 12u);
    int32_t nearA = 0, nearB = 0;
    for (MV2Object* lure : lures) {
        const TvV3d& p = lure->matrix->pos;
        nearA += std::hypot(p.x - 10.0f, p.z - 10.0f) <= 12.01f && p.y >= 5.0f + 7.0f - 4.81f &&
                 p.y <= 5.0f + 7.0f + 4.81f;
        nearB += std::hypot(p.x - 10.0f, p.z - 200.0f) <= 12.01f;
    }
    EXPECT_EQ(nearA, 6);
    EXPECT_EQ(nearB, 6);

    const std::vector<MV2Object*> swarm = OfType(59);
    ASSERT_EQ(swarm.size(), 12u);
    for (size_t i = 0; i < swarm.size(); ++i) {
        h.Kill(swarm[i], h.Player());
        EXPECT_EQ(h.Log("banner").size(), i == 11 ? 1u : 0u) << i;
    }
    EXPECT_EQ(h.Log("banner")[0].value, 1);
    EXPECT_EQ(MissionLogCount(h, "shown", 1242), 1);
    EXPECT_TRUE(OfType(42).empty()); // each lure went with its creature
}

TEST(Mission16Test, TheTimeLimitCountsOnlyUntilAZoneIsReached) {
    const struct {
        uint32_t reachAt; // ms after the start; 0: never
        int32_t reminders, failures;
    } kCases[] = {{0, 2, 1}, {100000, 1, 0}, {200000, 2, 0}};
    for (const auto& c : kCases) {
        MissionHarness h;
        ASSERT_TRUE(h.Load(Swarms()));
        MV2MissionRestart(16);
        for (uint32_t t = 0; t < 420000; t += 500) {
            if (c.reachAt && t == c.reachAt) {
                TvV3d at{15, 5, 12};
                h.Send(h.Player(), 83, 0, reinterpret_cast<intptr_t>(&at));
            }
            h.Step(500);
        }
        EXPECT_EQ(MissionLogCount(h, "shown", 1239), c.reminders) << c.reachAt;
        EXPECT_EQ(MissionLogCount(h, "failed", 1241), c.failures) << c.reachAt;
    }
}
