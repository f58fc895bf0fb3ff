// Row 39: every start clears the spores, the closing cut-scene's path events, and the credits'
// timer.
#include <gtest/gtest.h>

#include "game/missions/missions.h"
#include "game/objects/levels.h"
#include "tests/support/mission_harness.h"

namespace {

constexpr int32_t kLargeSpore = 353, kSmallSpore = 354;

TEST(Mission39, EachStartClearsTheSporesAndPathEventsDriveTheEnding) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    MissionLevel level;
    level.levelId = 0x06FFFFFF;
    level.types = {{kLargeSpore}, {kSmallSpore}, {5}};
    level.objects = {{0x06300001, kLargeSpore, 5, 5, 5}, {0x06300002, kSmallSpore, 6, 5, 5},
                     {0x06300003, kSmallSpore, 7, 5, 5}, {0x06300004, 5, 8, 5, 5}};
    ASSERT_TRUE(h.Load(level));
    for (int32_t start = 0; start < 2; ++start) {
        // The second start finds the two spores made after the first.
        MV2MissionStart(39, 0);
        EXPECT_EQ(h.Find(0x06300001), nullptr);
        EXPECT_EQ(h.Find(0x06300002), nullptr);
        EXPECT_EQ(h.Find(0x06300003), nullptr);
        EXPECT_NE(h.Find(0x06300004), nullptr) << "other objects stay";
        // Spores that came back are cleared by the next start.
        const float at[3] = {5, 5, 5};
        MV2CurrentLevelWorld world;
        ASSERT_NE(MV2CreateObject(kLargeSpore, at, nullptr), nullptr);
        ASSERT_NE(MV2CreateObject(kSmallSpore, at, nullptr), nullptr);
    }
    h.ClearLog();
    h.Notify(16, nullptr, 55);
    std::vector<intptr_t> shown;
    for (const MissionLogEntry& e : h.Log("shown"))
        shown.push_back(e.value);
    EXPECT_EQ(shown, (std::vector<intptr_t>{643, 647, 649}));
    EXPECT_EQ(MV2CountMissionTimers(39, 257), 0);
    h.Notify(16, nullptr, 46);
    EXPECT_EQ(MV2CountMissionTimers(39, 257), 1);
    EXPECT_FALSE(MV2MissionNotifyInstalled(39, 16)) << "the last path event ends the path handler";
}

} // namespace
