#include <gtest/gtest.h>

#include "game/frontend/hudmessages.h"
#include "game/missions/mission18.h"
#include "game/missions/missions.h"
#include "game/objects/levels.h"
#include "tests/game/missions/mission_rows_fixture.h"

namespace {

constexpr int32_t kPostType = kRowPostType;

// Level 0 with the carrier's start, the stage posts and the burn targets; waypoints after the
// first stand at the start only when `allStages` (the carrier in the fixture does not move).
MissionLevel Level0(bool allStages) {
    MissionLevel level = RowCityLevel({56, 70});
    level.playerPosition[0] = 10, level.playerPosition[2] = 10;
    level.types.push_back({169, 100.0f, 0, 0, MV2BurnTargetHandler});
    level.objects.push_back({0x00110000, kPostType, 100, 10, 100});
    level.objects.push_back({0x00040290, kPostType, 190, 10, 190}); // the meeting post
    for (int32_t i = 0; i < kMV2Mission18StageCount; ++i) {
        const MV2Mission18Stage& s = kMV2Mission18Stages[i];
        const float far = allStages || i == 0 ? 0.0f : 60.0f;
        level.objects.push_back({s.waypoint, kPostType, 100 + far, 10, 100});
        if (s.startPost) {
            level.objects.push_back({s.startPost, kPostType, 90, 10, 110});
            level.objects.push_back({s.endPost, kPostType, 110, 10, 110});
        }
        if (s.target) level.objects.push_back({s.target, 169, 100, 10, 110});
    }
    return level;
}

} // namespace

TEST(Mission18Test, SweepsBurnTheirTargetsAndTheLastSweepLoses) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    ASSERT_TRUE(h.Load(Level0(true)));
    MV2MissionStart(18, 0);
    MV2Object* target = h.Find(0x004C0008);
    ASSERT_NE(target, nullptr);
    while (gMV2Mission18.stageIndex < 2 && h.Time() < 20000)
        h.Step(20);
    // Stage 1's sweep has begun: its target is halved, then dies past 90%.
    EXPECT_FLOAT_EQ(target->energy, 50.0f);
    const uint32_t start = gMV2Mission18.stageStartMs;
    while (MV2GetGameTime() - start <= 2250u * 9 / 10)
        h.Step(20);
    EXPECT_EQ(target->energy, -1.0f);
    h.Run(120000, 50);
    ASSERT_EQ(h.Log("failed").size(), 1u);
    EXPECT_EQ(h.Log("failed")[0].value, 1281);
    ASSERT_EQ(h.Log("banner").size(), 1u);
    EXPECT_EQ(h.Log("banner")[0].value, 0);
}

TEST(Mission18Test, ReminderOnceAtOneHundredFiftySecondsAndReinforcementsUpToFour) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    ASSERT_TRUE(h.Load(Level0(false)));
    MV2MissionStart(18, 0);
    h.Run(200000, 500);
    EXPECT_EQ(MissionLogCount(h, "shown", 1273), 1);
    EXPECT_EQ(gMV2Mission18.guardsAlive, 4);
    for (int32_t slot : {0, 1}) {
        MV2ObjectRef ref = gMV2Mission18.guards[slot];
        h.Kill(MV2GetObjectRef(&ref), h.Player());
    }
    EXPECT_EQ(gMV2Mission18.guardsAlive, 2);
    int32_t most = 0;
    for (int i = 0; i < 40; ++i) {
        h.Step(500);
        most = std::max(most, gMV2Mission18.guardsAlive);
    }
    EXPECT_EQ(most, 4);
    EXPECT_EQ(gMV2Mission18.guardsAlive, 4);
}
