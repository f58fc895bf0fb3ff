// Row 1 on the mission harness: the opening eruption and console, the race set-up with its
// launches, the rivals' commentary, and the tally by the clock, won and lost.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "game/frontend/hud.h"
#include "game/missions/missions.h"
#include "game/objects/levels.h"
#include "game/objects/objecttypes.h"
#include "engine/world/world.h"
#include "game/objects/clumpdata.h"
#include "shell/gameinit.h"
#include "shell/gamestate.h"
#include "tests/support/mission_harness.h"

namespace {

constexpr int32_t kRockA = 140, kRockB = 141, kEruption = 149, kRival = 0, kMarker = 5,
                  kPrize = 88, kRepairDrone = 51;

MissionLevel Row1Level() {
    MissionLevel level;
    AddCityObjects(level);
    AddMiningObjects(level);
    for (int32_t t : {kRockA, kRockB, kEruption, kRival, kMarker, kPrize, kRepairDrone})
        level.types.push_back({t});
    const uint32_t markers[] = {0x40056, 0x120000, 0x120002, 0x120003, 0xF0011, 0xF000B,
                                0x100004, 0x100003, 0x10008, 0x10003, 0x10001, 0x10000,
                                0x1000D, 0x1000C, 0x10011};
    float x = 20.0f;
    for (uint32_t id : markers) {
        level.objects.push_back({id, kMarker, x, 10.0f, 30.0f});
        x += 1.0f;
    }
    return level;
}

int32_t CountRocks() {
    int32_t n = 0;
    MV2CurrentLevelWorld world;
    TpWorldForAllClumps(
        TpWorldGetCurrent(),
        [](TpClump* c, void* d) -> TpClump* {
            MV2Object* o = MV2GetClumpObject(c);
            const int32_t type = o ? int32_t(o->typeWord & kMV2ObjectTypeMask) : -1;
            if (type == kRockA || type == kRockB) ++*static_cast<int32_t*>(d);
            return c;
        },
        &n);
    return n;
}

std::vector<intptr_t> Shown(const MissionHarness& h) {
    std::vector<intptr_t> ids;
    for (const MissionLogEntry& e : h.Log("shown"))
        ids.push_back(e.value);
    return ids;
}

bool Contains(const std::vector<intptr_t>& ids, intptr_t id) {
    return std::find(ids.begin(), ids.end(), id) != ids.end();
}

// Runs row 1 from its start to the race: the opening, the console, the race set-up, the
// launches and the player's trip out of the city.
void RunToRace(MissionHarness& h, int32_t* rocksThrown) {
    gMV2GameType = 2;
    MV2SetTypeFloat(MV2GetObjectType(kPrize), 13, 0.05f); // a class-1 weight of 50
    MV2MissionStart(1, 0);
    EXPECT_EQ(MV2ScriptPlacesPlayer, 1);
    h.Run(5000);
    EXPECT_EQ(gMV2GameState.requested, 13) << "the opening asks for the scripts' mode";
    h.Run(20000);
    *rocksThrown = CountRocks();
    EXPECT_EQ(gMV2GameState.requested, 9) << "the opening ends in the console";
    EXPECT_EQ(MV2PendingMission, 1);
    // The city let the craft go into the dock: off the active list, updated only when in view.
    MV2ObjectSendMessage(h.Player(), 1, 1, 0);
    h.Notify(8, nullptr, 0); // the player leaves the console
    h.Notify(4, nullptr, 0); // and the mode changes
    EXPECT_EQ(MV2PendingMission, 0);
    EXPECT_EQ(gMV2GameState.requested, 13);
    h.Run(3000);
    // Both rivals launched; the player is piloted out and reaches the city's exit.
    ASSERT_NE(MV2GetMissionObjectA(), nullptr);
    ASSERT_NE(MV2GetMissionObjectB(), nullptr);
    MV2Object* exit = h.Find(0x2001E);
    ASSERT_NE(exit, nullptr);
    EXPECT_TRUE(h.Player()->flags & kMV2ObjectActive)
        << "the piloted craft is updated every frame, in view or not";
    h.Player()->matrix->pos = exit->matrix->pos;
    h.Run(5000);
    EXPECT_EQ(gMV2GameState.requested, 0) << "play starts once the player is out";
    EXPECT_EQ(MV2ScriptPlacesPlayer, 0);
    ASSERT_NE(MV2GetMissionCountdown(), nullptr);
}

struct RaceCase {
    const char* name;
    int32_t playerDeliveries;
    int32_t banner;
    bool failureMessage;
};

class Mission1Race : public ::testing::TestWithParam<RaceCase> {};

TEST_P(Mission1Race, EndsByTheClockWithTheTally) {
    const RaceCase& c = GetParam();
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    ASSERT_TRUE(h.Load(Row1Level())) << (h.Boxes().empty() ? "" : h.Boxes()[0]);
    int32_t rocks = 0;
    RunToRace(h, &rocks);
    EXPECT_GT(rocks, 0);
    EXPECT_LE(rocks, 31) << "the eruption throws at most 30 rocks and one more";
    MV2Object* b = MV2GetMissionObjectB(); // slot 3
    MV2Object* a = MV2GetMissionObjectA(); // slot 4
    // Rival commentary: a first unload always speaks; later ones only while leading.
    h.ClearLog();
    h.Notify(1, b, 0);
    h.Notify(1, a, 0);
    h.Notify(5, b, kPrize);
    h.Notify(0, b, kPrize);
    h.Notify(1, b, 0); // slot 3 now leads: 897
    h.Notify(1, a, 0); // slot 4 does not lead: 624 again
    for (int32_t i = 0; i < c.playerDeliveries; ++i) {
        h.Notify(5, h.Player(), kPrize);
        h.Notify(0, h.Player(), kPrize);
        h.Notify(5, h.Player(), kPrize);
        h.Notify(0, h.Player(), kPrize);
    }
    h.Notify(1, b, 0); // leads only when the player delivered nothing
    h.Notify(1, nullptr, 0); // no object: nothing
    h.Notify(3, nullptr, 0); // installed, answered without effect
    const std::vector<intptr_t> expectSpoken =
        c.playerDeliveries ? std::vector<intptr_t>{914, 624, 897, 624}
                           : std::vector<intptr_t>{914, 624, 897, 624, 897};
    EXPECT_EQ(Shown(h), expectSpoken);
    // The score table: the player's row and both rivals.
    EXPECT_EQ(gMV2Hud.rowCount, 3);

    h.ClearLog();
    h.Run(540000, 1000);
    h.Run(30000, 1000);
    const auto banners = h.Log("banner");
    ASSERT_EQ(banners.size(), 1u);
    EXPECT_EQ(banners[0].value, c.banner);
    const std::vector<intptr_t> shown = Shown(h);
    EXPECT_TRUE(Contains(shown, 908)) << "the last half-minute warning";
    EXPECT_EQ(Contains(shown, 621), c.failureMessage);
    EXPECT_TRUE(Contains(shown, 305));
    EXPECT_EQ(MV2GetMissionCountdown(), nullptr);
    h.Run(30000, 1000);
    const auto restarts = h.Log("restart");
    ASSERT_FALSE(restarts.empty()) << "the campaign goes on with row 2";
    EXPECT_EQ(restarts.back().value, 2);
}

INSTANTIATE_TEST_SUITE_P(Row1, Mission1Race,
                         ::testing::Values(RaceCase{"Won", 1, 1, false},
                                           RaceCase{"NothingDelivered", 0, 0, true}),
                         [](const ::testing::TestParamInfo<RaceCase>& info) {
                             return std::string(info.param.name);
                         });

} // namespace
