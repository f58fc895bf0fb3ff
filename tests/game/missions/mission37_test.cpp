#include <gtest/gtest.h>

#include "game/missions/mission37.h"
#include "game/missions/missions.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/levels.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "tests/game/missions/mission_rows_fixture.h"

namespace {

constexpr int32_t kPostType = kRowPostType;

MissionLevel Level0() {
    MissionLevel level = RowCityLevel({353, 354});
    level.objects.push_back({0x00040246, kPostType, 100, 0, 100});   // home
    level.objects.push_back({0x00040264, kPostType, 150, 20, 150});  // spawn point
    level.objects.push_back({0x00040263, kPostType, 120, 20, 120});  // row 11's target
    level.objects.push_back({0x00200005, kPostType, 60, 5, 60});     // the console object
    return level;
}

int32_t SporesAlive() {
    return int32_t(MissionObjectsOfType(353).size() + MissionObjectsOfType(354).size());
}

MV2Object* Spore(MissionHarness& h, int32_t type, float distance) {
    MV2CurrentLevelWorld world;
    (void)h;
    const float* p = &MV2GetPlayerSub()->matrix->pos.x;
    const float at[3] = {p[0] + distance, p[1], p[2]};
    MV2Object* spore = MV2CreateObject(type, at, nullptr);
    if (spore) MV2NotifyScripts(spore, 18, 0);
    return spore;
}

} // namespace

TEST(Mission37Test, SporesJoinWithTheirWeightAndLeaveBeyondTheLeash) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    ASSERT_TRUE(h.Load(Level0()));
    MV2MissionStart(37, 0);
    EXPECT_EQ(MV2PendingMission, 52);
    MV2CallMissionScript(37, nullptr, 11, 8, 0); // the player left the console
    ASSERT_EQ(h.Log("shown").size(), 1u);
    EXPECT_EQ(h.Log("shown")[0].value, 1346);
    EXPECT_EQ(MV2PendingMission, 0);

    const struct {
        int32_t type;
        float distance;
        bool kept;
    } kCases[] = {{353, 10.0f, true}, {354, 30.5f, true}, {353, 31.5f, false}, {354, 60.0f, false}};
    int32_t weight = 0;
    std::vector<std::pair<MV2Object*, bool>> spores;
    for (const auto& c : kCases) {
        MV2Object* spore = Spore(h, c.type, c.distance);
        ASSERT_NE(spore, nullptr);
        EXPECT_EQ(spore->typeHandler, MV2SporeLeashHandler);
        weight += c.type == 353 ? 2 : 1;
        spores.push_back({spore, c.kept});
    }
    EXPECT_EQ(gMV2Mission37.sporeWeight, weight);
    for (size_t i = 0; i < spores.size(); ++i) {
        const MV2ObjectHandle handle = spores[i].first->handle;
        h.Send(spores[i].first, 2, 0, 0); // the update
        EXPECT_EQ(MV2ObjectHandleAlive(handle) != 0, spores[i].second) << i;
    }
    // The spores destroyed by the leash report to the mission and lower the weight.
    EXPECT_EQ(gMV2Mission37.sporeWeight, 3);
}

TEST(Mission37Test, NoSporeIsPlacedWhileTheWeightIsElevenOrMore) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    ASSERT_TRUE(h.Load(Level0()));
    MV2MissionStart(37, 0);
    MV2CallMissionScript(37, nullptr, 11, 8, 0); // the player left the console
    for (int i = 0; i < 5; ++i)
        Spore(h, 353, 5.0f);
    Spore(h, 354, 5.0f);
    ASSERT_EQ(gMV2Mission37.sporeWeight, 11);
    const int32_t before = SporesAlive();
    for (int i = 0; i < 20; ++i)
        MV2CallMissionScript(37, nullptr, 261, 0, 0);
    {
        MV2CurrentLevelWorld world;
        EXPECT_EQ(SporesAlive(), before);
    }
    // The spawn step keeps coming back while the chase is on.
    EXPECT_GE(MV2CountMissionTimers(37, 261), 1);
}

TEST(Mission11Test, TheConsoleHookForwardsToTheOwnHandlerAndGoesAtShutDown) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    ASSERT_TRUE(h.Load(Level0()));
    MV2MissionStart(11, 0);
    const MV2ObjectHandler own = MV2GetObjectTypeHandler(kPostType);
    {
        MV2CurrentLevelWorld world;
        MV2CallMissionScript(11, nullptr, 11, 7, 0); // the player entered the city
    }
    MV2Object* console = h.Find(0x00200005);
    ASSERT_NE(console, nullptr);
    EXPECT_EQ(console->typeHandler, MV2Mission11ConsoleHook);
    EXPECT_EQ(gMV2Mission11.savedHandler, own);
    EXPECT_EQ(h.Send(console, 96, 0, 0), 0); // forwarded to its own handler, not to itself
    EXPECT_EQ(console->typeHandler, MV2Mission11ConsoleHook); // no control used: still waiting
    {
        MV2CurrentLevelWorld world;
        MV2ShutdownMissionScripts();
    }
    EXPECT_EQ(console->typeHandler, own);
}

TEST(Mission11Test, TheTargetsDestructionAndLevelOneLeadOn) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    ASSERT_TRUE(h.Load(Level0()));
    MV2MissionStart(11, 0);
    h.Run(30000, 500);
    EXPECT_GE(h.Log("shown").size(), 1u);
    EXPECT_EQ(h.Log("shown")[0].value, 973);
    h.Send(h.Find(0x00040263), 4, 0, 0);
    EXPECT_EQ(gMV2Mission11.targetDestroyed, 1u);
    h.Run(2000, 500);
    bool queued983 = false;
    for (const MissionLogEntry& e : h.Log("queued"))
        queued983 = queued983 || e.value == 983;
    EXPECT_TRUE(queued983);
    h.Notify(15, nullptr, 0x00FFFFFF);
    EXPECT_TRUE(h.Log("restart").empty());
    h.Notify(15, nullptr, 0x01FFFFFF);
    ASSERT_EQ(h.Log("restart").size(), 1u);
    EXPECT_EQ(h.Log("restart")[0].value, 12);
}
