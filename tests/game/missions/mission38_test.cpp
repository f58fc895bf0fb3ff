#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/world/world.h"
#include "game/effects/arcs.h"
#include "game/missions/mission38.h"
#include "game/missions/missions.h"
#include "game/objects/clumpdata.h"
#include "game/objects/levels.h"
#include "game/player/playercraft.h"
#include "tests/game/missions/mission_rows_fixture.h"

namespace {

constexpr int32_t kStepType = 310, kHolderType = 312, kEggType = 393;
constexpr uint32_t kSteps[9] = {0x06070000, 0x06070001, 0x06070002, 0x06070003, 0x06070004,
                                0x06070005, 0x06070006, 0x06070008, 0x06070009};
// The pass mode each step is presented with: 1 passes from the right side's back, 2 from its front.
constexpr int32_t kPassMode[9] = {1, 2, 1, 2, 1, 2, 1, 2, 1};

std::vector<int32_t> g_highlighted; // steps in the order they were first highlighted

intptr_t StepHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 63 && p1 == 1)
        for (int32_t i = 0; i < 9; i++)
            if (uint32_t(object->scriptId) == kSteps[i] &&
                (g_highlighted.empty() || g_highlighted.back() != i))
                g_highlighted.push_back(i);
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

MissionLevel Level(bool withFirstStep) {
    MissionLevel level;
    level.levelId = 0x06FFFFFF;
    level.types.push_back({kStepType, 100.0f, 0, 0, StepHandler});
    level.types.push_back({kHolderType});
    level.types.push_back({5});
    level.types.push_back({42});
    level.types.push_back({330});
    level.types.push_back({353});
    level.types.push_back({354});
    level.types.push_back({kEggType});
    for (int32_t i = withFirstStep ? 0 : 1; i < 9; i++)
        level.objects.push_back({kSteps[i], kStepType, 20.0f + 10.0f * float(i), 10, 100});
    for (uint32_t id : {0x06070012u, 0x06070013u, 0x06070014u, 0x06070015u, 0x06070016u, 0x06070017u})
        level.objects.push_back({id, 5, 5, 5, float(id & 0xFF)});
    level.objects.push_back({0x06070022, kHolderType, 150, 10, 150}); // one holder with its craft
    level.objects.push_back({0x06070021, 330, 150, 10, 152});
    level.objects.push_back({0x06070018, 5, 170, 10, 170}); // one spore spawn point
    level.objects.push_back({0x06070032, kEggType, 180, 10, 180});
    level.playerPosition[0] = 0, level.playerPosition[2] = 0;
    return level;
}

void Place(MissionHarness& h, const TvV3d& at) {
    TvV3d p = at;
    h.Send(h.Player(), 83, 0, reinterpret_cast<intptr_t>(&p));
}

// The player enters the step's sphere from the side its pass mode wants, then leaves it.
void Pass(MissionHarness& h, int32_t step) {
    MV2Object* o = h.Find(kSteps[step]);
    ASSERT_NE(o, nullptr);
    const float side = kPassMode[step] == 1 ? -0.5f : 0.5f;
    Place(h, TvV3dAdd(o->matrix->pos, TvV3dScale(o->matrix->right, side)));
    h.Run(600); // the check starts 500 ms after the step is presented
    Place(h, TvV3dAdd(o->matrix->pos, TvV3d{0, 10, 0}));
    h.Run(200);
}

std::vector<MV2Object*> OfType(int32_t type) {
    return MissionObjectsOfType(type);
}

bool Restarted39(const MissionHarness& h) {
    return MissionLogCount(h, "restart", 39) > 0;
}

TEST(Mission38Test, NineStepsInOrderWithTheFightsBetween) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Level(true)));
    MV2InitialiseElectricArcs();
    g_highlighted.clear();
    MV2MissionRestart(38);
    EXPECT_EQ(gMV2Mission38.linkCount, 3);
    EXPECT_EQ(OfType(42).size(), 3u);
    h.Run(600);
    // Passing from the wrong side does not count.
    {
        MV2Object* o = h.Find(kSteps[0]);
        Place(h, TvV3dAdd(o->matrix->pos, TvV3dScale(o->matrix->right, 0.5f)));
        h.Run(200);
        Place(h, TvV3dAdd(o->matrix->pos, TvV3d{0, 10, 0}));
        h.Run(1000);
        EXPECT_EQ(gMV2Mission38.phase, 0);
    }
    Pass(h, 0);
    Pass(h, 1);
    Pass(h, 2);
    EXPECT_EQ(gMV2Mission38.phase, 3);
    h.Run(6000); // the holder opens and its craft is pushed out
    h.Kill(OfType(330).front(), MV2GetPlayerObject());
    h.Run(600);
    Pass(h, 3);
    Pass(h, 4);
    EXPECT_EQ(gMV2Mission38.phase, 5);
    h.Run(1500);
    const auto large = OfType(353);
    ASSERT_EQ(large.size(), 1u);
    h.Notify(18, large.front(), 0);
    const float at[3] = {170, 10, 175};
    MV2Object* small;
    {
        MV2CurrentLevelWorld world;
        small = MV2CreateObject(354, at, nullptr);
    }
    h.Notify(18, small, 0);
    EXPECT_EQ(gMV2Mission38.live, 3); // a large spore counts 2, a small one 1
    h.Kill(small, MV2GetPlayerObject());
    EXPECT_EQ(gMV2Mission38.live, 2);
    h.Run(1000);
    EXPECT_EQ(gMV2Mission38.phase, 5);
    h.Kill(large.front(), MV2GetPlayerObject());
    h.Run(600);
    Pass(h, 5);
    Pass(h, 6);
    EXPECT_EQ(gMV2Mission38.phase, 7);
    h.Run(1500);
    h.Kill(OfType(kEggType).front(), MV2GetPlayerObject());
    h.Run(600);
    Pass(h, 7);
    EXPECT_EQ(gMV2Mission38.phase, 8);
    EXPECT_FALSE(Restarted39(h));
    Pass(h, 8);
    EXPECT_TRUE(Restarted39(h));
    EXPECT_EQ(g_highlighted, (std::vector<int32_t>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
    MV2ClearElectricArcs();
}

TEST(Mission38Test, MissingStepWaitsAndBusyArcsMakeNoLinks) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Level(false)));
    MV2InitialiseElectricArcs();
    MV2Object* anchor = h.Find(0x06070012);
    for (int32_t i = 0; i < kMV2ElectricArcs; i++)
        ASSERT_NE(MV2CreateElectricArc(anchor, nullptr, kMV2ArcPair), 0u);
    MV2MissionRestart(38);
    EXPECT_EQ(gMV2Mission38.linkCount, 0);
    EXPECT_TRUE(OfType(42).empty()); // the runners went with their links
    EXPECT_EQ(MV2CountMissionTimers(38, 258), 0);
    h.Run(30000);
    EXPECT_EQ(gMV2Mission38.phase, 0);
    EXPECT_FALSE(Restarted39(h));
    MV2ClearElectricArcs();
}

} // namespace
