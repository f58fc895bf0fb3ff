#include <gtest/gtest.h>

#include "game/missions/missions.h"
#include "game/objects/levels.h"
#include "shell/gamestate.h"
#include "tests/game/missions/mission_objects.h"
#include "tests/support/mission_harness.h"

namespace {

// Level 1's marks: the friendly craft's two places, the wreck site, the beacon and the
// target's site with its parts.
MissionLevel Level1() {
    MissionLevel level;
    level.levelId = 0x01FFFFFF;
    level.types = {{55}, {67}, {243}, {430}};
    level.objects = {{0x1050000, 55, 10, 5, 10}, {0x1050001, 55, 12, 5, 10},
                     {0x1050002, 55, 14, 5, 10}, {0x1050005, 55, 16, 5, 10},
                     {0x10D0000, 55, 40, 5, 40}, {0x10D0001, 55, 42, 5, 40},
                     {0x10D0002, 55, 44, 5, 40}, {0x10D0003, 55, 46, 5, 40},
                     {0x10D0004, 55, 48, 5, 40}, {0x10D0005, 55, 40, 5, 44}};
    return level;
}

int32_t Live(int32_t type) {
    return int32_t(MissionObjectsOfType(type).size());
}

MV2Object* OfType(int32_t type) {
    const std::vector<MV2Object*> found = MissionObjectsOfType(type);
    return found.empty() ? nullptr : found[0];
}

// The level change takes the level's objects with it.
void LeaveLevel(MissionHarness& h, int32_t type) {
    for (MV2Object* o : MissionObjectsOfType(type))
        h.Send(o, 4, 0, 0);
}

// A level change seen by the script: the current level's number and event 15.
void Arrive(MissionHarness& h, uint32_t levelId) {
    gMV2Level.currentLevelId = levelId;
    h.Notify(15, nullptr, 0);
    gMV2Level.currentLevelId = 0x01FFFFFF;
}

// Row 19 started and the player out of the console, arriving in level 1.
void Expedition(MissionHarness& h) {
    MV2MissionRestart(19);
    h.ClearLog();
    h.Notify(8, nullptr, 0);
    Arrive(h, 0x01FFFFFF);
}

// The level trigger, the target site reached and the target destroyed.
void DestroyTarget(MissionHarness& h) {
    MV2CallMissionScript(19, nullptr, 15, 0, 0);
    MissionMoveTo(h, h.Player(), {40, 6, 44});
    h.Run(2000, 500);
    MV2Object* target = OfType(243);
    ASSERT_NE(target, nullptr);
    MissionMoveTo(h, h.Player(), {42, 6, 42});
    h.Run(2000, 500);
    h.Kill(target, h.Player());
    h.Run(2000, 500);
}

} // namespace

TEST(Mission19Test, DestroyingTheTargetAndGoingHomeStartsRow20) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Level1()));
    Expedition(h);
    EXPECT_EQ(Live(67), 1);
    DestroyTarget(h);
    EXPECT_EQ(Live(67), 0); // the friendly craft is lost
    EXPECT_EQ(Live(430), 1); // and its wreck lies in its place
    EXPECT_TRUE(h.Log("restart").empty());
    Arrive(h, 0x00FFFFFF);
    ASSERT_FALSE(h.Log("restart").empty());
    EXPECT_EQ(h.Log("restart").back().value, 20);
}

TEST(Mission19Test, GoingHomeBeforeTheKillDoesNotEndAndComingBackAfterItSinksTheCraft) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Level1()));
    Expedition(h);
    LeaveLevel(h, 67);
    Arrive(h, 0x00FFFFFF);
    EXPECT_TRUE(h.Log("restart").empty());
    Arrive(h, 0x01FFFFFF);
    DestroyTarget(h);
    const int32_t wrecks = Live(430);
    LeaveLevel(h, 430);
    Arrive(h, 0x01FFFFFF); // back in level 1 after the kill
    EXPECT_EQ(Live(67), 0);
    EXPECT_EQ(wrecks, 1);
    EXPECT_EQ(Live(430), 1);
}
