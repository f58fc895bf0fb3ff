// Row 7 on the mission harness: the escorts' meeting completed by their arrival, by the craft
// at the wreck or by the second route, the reminders that wait for quiet message queues, and
// the wreck that waits for the player to move off.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "game/missions/missions.h"
#include "game/objects/levels.h"
#include "shell/gamestate.h"
#include "tests/game/missions/mission_objects.h"
#include "tests/game/missions/mission_rows_fixture.h"

namespace {

constexpr int32_t kMarker = 55, kEscort = 57, kCraft = 0, kDebrisA = 6, kDebrisB = 7;
constexpr uint32_t kFirstGoal = 0x40247, kMeetingPoint = 0x40268, kCityPost = 0x4026E, kWreck = 0x210001;
constexpr uint32_t kEscortIds[10] = {0x21000C, 0x210011, 0x210010, 0x210009, 0x210008,
                                     0x21000B, 0x21000D, 0x21000E, 0x21000A, 0x21000F};

// The first goal with the city post beside it, the meeting point, the wreck and ten escorts
// far off; `postNearGoal` false puts the post where the player never goes.
MissionLevel Escort(bool postNearGoal = true) {
    MissionLevel level = RowCityLevel({kMarker, kCraft, kDebrisA, kDebrisB});
    level.types.push_back({kEscort});
    level.objects.push_back({kFirstGoal, kMarker, 300, 10, 300});
    level.objects.push_back({kCityPost, kMarker, postNearGoal ? 310.0f : 900.0f, 10, 300});
    level.objects.push_back({kMeetingPoint, kMarker, 500, 10, 300});
    level.objects.push_back({0x4027F, kMarker, 500, 10, 320});
    level.objects.push_back({0x40280, kMarker, 500, 10, 280});
    level.objects.push_back({kWreck, kMarker, 700, 10, 700});
    for (int32_t i = 0; i < 10; ++i)
        level.objects.push_back({kEscortIds[i], kEscort, 800.0f + float(i), 10, 100});
    return level;
}

struct Row7 {
    MissionHarness h;

    bool Start(bool postNearGoal = true) {
        if (!h.Load(Escort(postNearGoal))) return ADD_FAILURE() << "load", false;
        MV2DestroyLevelRecordObjects(0x21FFFF); // the script spawns its record itself
        MV2MissionStart(7, 0);
        h.Notify(8, h.Player(), 0); // out of the console
        return true;
    }
    void ReachGoal() {
        RowMovePlayer(h, 300, 300);
        h.Run(1000);
    }
    // The goal reached, the escort cut-scene over and the towing craft out of the city.
    MV2Object* ToTowing() {
        ReachGoal();
        h.Notify(17, nullptr, 0x1CFFFF);
        h.Run(30000);
        return MV2GetMissionObjectB();
    }
    void KillEscorts() {
        for (uint32_t id : kEscortIds)
            h.Kill(h.Find(id), h.Player());
    }
    intptr_t ShownAt(intptr_t id) const {
        for (const MissionLogEntry& e : h.Log("shown"))
            if (e.value == id) return e.time;
        return -1;
    }
};

struct MeetingCase {
    const char* name;
    bool escortsLost, craftAtWreck;
    std::vector<intptr_t> shown;    // in the log
    std::vector<intptr_t> notShown; // never
    int32_t queued699;
};

class Mission7Meeting : public ::testing::TestWithParam<MeetingCase> {};

TEST_P(Mission7Meeting, TheMeetingCompletesAndTheCampaignMovesOn) {
    const MeetingCase& c = GetParam();
    Row7 r;
    ASSERT_TRUE(r.Start());
    MV2Object* craft = r.ToTowing();
    ASSERT_NE(craft, nullptr);
    EXPECT_EQ(MissionLogCount(r.h, "shown", 690), 1);
    if (c.escortsLost) r.KillEscorts();
    else MissionMoveTo(r.h, r.h.Find(kEscortIds[3]), {505, 10, 300});
    if (c.craftAtWreck) MissionMoveTo(r.h, craft, {703, 10, 700});
    r.h.Run(30000);
    for (intptr_t id : c.shown)
        EXPECT_EQ(MissionLogCount(r.h, "shown", id), 1) << id;
    for (intptr_t id : c.notShown)
        EXPECT_EQ(MissionLogCount(r.h, "shown", id), 0) << id;
    EXPECT_EQ(r.h.Find(kWreck), nullptr) << "the wreck burst";
    EXPECT_EQ(MissionObjectsOfType(kDebrisA).size(), 4u);
    EXPECT_EQ(MissionObjectsOfType(kDebrisB).size(), 6u);
    EXPECT_EQ(MissionLogCount(r.h, "queued", 699), c.queued699);
    EXPECT_EQ(MissionLogCount(r.h, "queued", 700), 1);
    r.h.Notify(17, nullptr, 0x1AFFFF);
    ASSERT_FALSE(r.h.Log("restart").empty());
    EXPECT_EQ(r.h.Log("restart").back().value, 8);
    r.h.Run(1000);
    ASSERT_EQ(r.h.Log("banner").size(), 1u);
    EXPECT_EQ(r.h.Log("banner")[0].value, 1);
    EXPECT_TRUE(r.h.Log("failed").empty());
}

INSTANTIATE_TEST_SUITE_P(
    Row7, Mission7Meeting,
    ::testing::Values(MeetingCase{"EscortsArrive", false, true, {693, 696}, {695, 691, 698}, 0},
                      MeetingCase{"LostEscortsCraftAtWreck", true, true, {695, 696}, {691, 698}, 1},
                      MeetingCase{"LostEscortsSecondRoute", true, false, {691, 697, 698}, {695, 696}, 1}),
    [](const ::testing::TestParamInfo<MeetingCase>& info) { return std::string(info.param.name); });

struct ReminderCase {
    const char* name;
    bool reachGoal, postNearGoal, busy;
    intptr_t reminder; // 0: none
};

class Mission7Reminders : public ::testing::TestWithParam<ReminderCase> {};

TEST_P(Mission7Reminders, RemindersWaitForQuietQueuesThenFail) {
    const ReminderCase& c = GetParam();
    Row7 r;
    ASSERT_TRUE(r.Start(c.postNearGoal));
    if (c.reachGoal) {
        r.ReachGoal();
        ASSERT_GE(r.ShownAt(347), 0) << "the goal reached";
    }
    // The goal's reminder is due 120 s after the opening's two messages, the meeting's 120 s
    // after the goal's message; a message shown just before keeps it back until the HUD ring
    // is empty.
    const intptr_t due =
        c.reachGoal ? r.ShownAt(347) + 120000
                    : intptr_t(MV2MissionMessageDuration(344) + MV2MissionMessageDuration(345)) + 120000;
    r.h.Run(uint32_t(due - 1000) - r.h.Time());
    if (c.busy) MV2PlayMissionMessage(990);
    const intptr_t quiet = c.busy ? intptr_t(r.h.Time() + MV2MissionMessageDuration(990)) : due;
    r.h.Run(10000);
    const intptr_t at = r.ShownAt(c.reminder);
    if (!c.reminder) {
        EXPECT_EQ(r.ShownAt(346), -1);
        EXPECT_EQ(r.ShownAt(692), -1);
    } else {
        EXPECT_GE(at, quiet - 100) << "not before the queues are quiet";
        EXPECT_LE(at, quiet + 600) << "within a 500-ms step of it";
    }
    r.h.Run(130000);
    EXPECT_EQ(MissionLogCount(r.h, "failed", 985), c.reminder ? 1 : 0);
}

INSTANTIATE_TEST_SUITE_P(
    Row7, Mission7Reminders,
    ::testing::Values(ReminderCase{"GoalMissed", false, true, false, 346},
                      ReminderCase{"GoalMissedWhileBusy", false, true, true, 346},
                      ReminderCase{"MeetingMissedWhileBusy", true, false, true, 692},
                      ReminderCase{"OnTime", true, true, false, 0}),
    [](const ::testing::TestParamInfo<ReminderCase>& info) { return std::string(info.param.name); });

TEST(Mission7, TheWreckWaitsWhileThePlayerIsWithinEightUnits) {
    Row7 r;
    ASSERT_TRUE(r.Start());
    ASSERT_NE(r.ToTowing(), nullptr);
    RowMovePlayer(r.h, 705, 700);
    r.KillEscorts(); // the second route: the burst is armed
    r.h.Run(30000);
    EXPECT_NE(r.h.Find(kWreck), nullptr);
    EXPECT_EQ(MissionLogCount(r.h, "queued", 700), 0);
    RowMovePlayer(r.h, 720, 700);
    r.h.Run(1100);
    EXPECT_EQ(r.h.Find(kWreck), nullptr);
    EXPECT_EQ(MissionLogCount(r.h, "queued", 700), 1);
}

} // namespace
