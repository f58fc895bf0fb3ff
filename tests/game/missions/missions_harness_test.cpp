#include <gtest/gtest.h>

#include "game/missions/missions.h"
#include "game/objects/levels.h"
#include "tests/support/mission_harness.h"

TEST(MissionHarnessTest, LoadsThroughTheLevelStart) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    MissionLevel level;
    AddCityObjects(level);
    AddMiningObjects(level);
    level.types.push_back({5});
    level.objects.push_back({0x00030001, 5, 1, 2, 3});
    ASSERT_TRUE(h.Load(level)) << (h.Boxes().empty() ? "" : h.Boxes()[0]);
    EXPECT_NE(h.Find(0x00030001), nullptr);
    EXPECT_NE(h.Player(), nullptr);
    // City and mining set-up ran.
    EXPECT_EQ(gMV2CityBays[5].found, 1);
    EXPECT_EQ(gMV2Mining.loaded, 1);
    h.Step(100);
}
