// The mission table and flow, the timers and countdown, script events and wait slots.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "game/missions/missions.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "tests/support/mission_harness.h"

namespace {

// What the stand-in scripts saw: {row, message, a, b}.
struct Seen {
    int32_t row, message;
    intptr_t a, b;
    bool operator==(const Seen& o) const {
        return row == o.row && message == o.message && a == o.a && b == o.b;
    }
};
std::vector<Seen> g_seen;
// What the next script call does beyond recording.
void (*g_action)(int32_t row, int32_t message) = nullptr;

template <int32_t Row> int32_t Recorder(MV2Object*, int32_t message, intptr_t a, intptr_t b) {
    g_seen.push_back({Row, message, a, b});
    if (g_action) g_action(Row, message);
    return 1;
}

class MissionFlowTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(h_.ok());
        MissionLevel level;
        AddCityObjects(level);
        level.types.push_back({5});
        level.objects.push_back({0x00030001, 5});
        ASSERT_TRUE(h_.Load(level)) << (h_.Boxes().empty() ? "" : h_.Boxes()[0]);
        g_seen.clear();
        g_action = nullptr;
        MV2SetMissionScriptForTest(3, Recorder<3>);
        MV2SetMissionScriptForTest(5, Recorder<5>);
        MV2SetMissionScriptForTest(41, Recorder<41>);
        MV2MissionKillTimers(41); // the stray-craft row's start-up timer, armed by the level start
    }
    void TearDown() override { g_action = nullptr; }

    std::vector<int32_t> Messages(int32_t row) const {
        std::vector<int32_t> out;
        for (const Seen& s : g_seen)
            if (s.row == row) out.push_back(s.message);
        return out;
    }

    MissionHarness h_;
};

uint32_t SwitchesAfterSelect(int32_t row) {
    MV2MissionSelect(row);
    return gMV2LevelSwitches;
}

} // namespace

TEST_F(MissionFlowTest, SelectThrowsTheSwitchesOfEarlierMissions) {
    const uint32_t row22 = (1u << 0) | (1u << 2) | (1u << 1) | (1u << 3) | (1u << 4) | (1u << 5) |
                           (1u << 7) | (1u << 8) | (1u << 9);
    EXPECT_EQ(SwitchesAfterSelect(22), row22);
    EXPECT_EQ(gMV2Level.currentLevelId, 0x03FFFFFFu);
    uint32_t all = 0;
    for (const MV2LevelSwitchThreshold& t : kMV2LevelSwitchThresholdTable)
        all |= 1u << t.levelSwitch;
    EXPECT_EQ(SwitchesAfterSelect(39), all);
    // A row outside the campaign is refused and changes nothing.
    EXPECT_EQ(SwitchesAfterSelect(40), all);
    EXPECT_EQ(SwitchesAfterSelect(-1), all);
    gMV2Level.currentLevelId = 0x00FFFFFF;
}

TEST_F(MissionFlowTest, OwnedObjectMessagesReachTheScriptFirst) {
    MV2Object* object = h_.Find(0x00030001);
    ASSERT_NE(object, nullptr);
    ASSERT_EQ(MV2MissionAttachObject(3, object), 1);
    // The script keeps the object: it handles message 10 (destroy) with 0.
    MV2SetMissionScriptForTest(3, [](MV2Object* o, int32_t message, intptr_t a, intptr_t b) {
        g_seen.push_back({3, message, a, b});
        return o && message == 10 ? 0 : 1;
    });
    const MV2ObjectHandle handle = object->handle;
    EXPECT_EQ(h_.Send(object, 4, 7, 8), 1);
    EXPECT_TRUE(MV2ObjectHandleAlive(handle));
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0], (Seen{3, 10, 7, 8}));
    // Not in the map: the object sees message 5 alone.
    h_.Send(object, 5, 0, 0);
    EXPECT_EQ(g_seen.size(), 1u);
    // After the shut-down the object reports to row 0, which answers 1: destroyed.
    MV2ShutdownMissionScripts();
    EXPECT_EQ(object->missionRow, 0);
    h_.Send(object, 4, 0, 0);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
}

TEST_F(MissionFlowTest, StartOrderAutosaveAndGlobalRows) {
    EXPECT_EQ(MV2MissionStart(3, 0), 1);
    EXPECT_EQ(Messages(3), (std::vector<int32_t>{kMV2ScriptStart, kMV2ScriptAutosaveQuery}));
    EXPECT_EQ(MV2GetCurrentMission(), 3);
    EXPECT_EQ(h_.Log("autosave").size(), 1u);
    EXPECT_EQ(MV2GetEquipmentLevel(), 1); // row 3's rank value
    // Rows 40-44 never get message 22 and leave the mission in play.
    g_seen.clear();
    MV2MissionStart(41, 0);
    MV2MissionRestart(41);
    EXPECT_EQ(Messages(41), (std::vector<int32_t>{kMV2ScriptStart, kMV2ScriptRestart}));
    EXPECT_EQ(MV2GetCurrentMission(), 3);
    // Bad rows are refused.
    EXPECT_EQ(MV2MissionStart(45, 0), 0);
    EXPECT_EQ(MV2MissionRestart(-1), 0);
    EXPECT_EQ(MV2CallMissionScript(45, nullptr, 1, 0, 0), 0);
}

TEST_F(MissionFlowTest, ScriptRefusingTheAutosaveKeepsThePreviousMission) {
    MV2MissionStart(3, 0);
    ASSERT_EQ(MV2GetCurrentMission(), 3);
    MV2SetMissionScriptForTest(5, [](MV2Object*, int32_t message, intptr_t, intptr_t b) {
        if (message == kMV2ScriptAutosaveQuery) *reinterpret_cast<int32_t*>(b) = 0;
        return 1;
    });
    h_.ClearLog();
    MV2MissionRestart(5);
    EXPECT_EQ(MV2GetCurrentMission(), 3);
    EXPECT_TRUE(h_.Log("autosave").empty());
    EXPECT_EQ(h_.Log("restart").size(), 1u);
}

TEST_F(MissionFlowTest, BeginIsDispatchedOnce) {
    MV2MissionBegin(5, 0);
    MV2MissionDispatchBegin();
    EXPECT_EQ(Messages(5), (std::vector<int32_t>{kMV2ScriptBegin}));
    EXPECT_EQ(MV2GetBegunMission(), 5);
}

TEST_F(MissionFlowTest, ZeroTimerRunsInTheNextPassEvenPaused) {
    MV2MissionSetTimer(3, 300, 0);
    EXPECT_TRUE(g_seen.empty());
    h_.Step(0, true);
    EXPECT_EQ(Messages(3), (std::vector<int32_t>{300}));
    // Nothing moves while paused.
    MV2MissionSetTimer(3, 301, 10);
    MV2MissionSetCountdown(3, 10);
    for (int i = 0; i < 5; i++)
        h_.Step(0, true);
    EXPECT_EQ(Messages(3).size(), 1u);
    EXPECT_EQ(*MV2GetMissionCountdown(), 10);
}

TEST_F(MissionFlowTest, TimersRunNewestFirstAndRowZeroCallsNothing) {
    MV2MissionSetTimer(3, 256, 100);
    MV2MissionSetTimer(3, 257, 100);
    MV2MissionSetTimer(0, 258, 100);
    uint32_t flag = 0;
    MV2MissionSetFlagTimer(&flag, 100);
    h_.Step(100);
    EXPECT_EQ(Messages(3), (std::vector<int32_t>{257, 256}));
    EXPECT_EQ(flag, 1u);
    EXPECT_EQ(MV2CountMissionTimers(0, 258), 0);
}

TEST_F(MissionFlowTest, CountdownFiresOnce) {
    MV2MissionSetCountdown(3, 1000);
    h_.Step(600);
    ASSERT_NE(MV2GetMissionCountdown(), nullptr);
    EXPECT_EQ(*MV2GetMissionCountdown(), 400);
    h_.Step(400);
    h_.Step(400);
    EXPECT_EQ(Messages(3), (std::vector<int32_t>{kMV2ScriptCountdownOver}));
    EXPECT_EQ(MV2GetMissionCountdown(), nullptr);
}

TEST_F(MissionFlowTest, KillTimersKeepsMessageTimers) {
    MV2MissionSetTimer(3, 256, 500);
    MV2MissionSetTimer(3, 256, 500);
    MV2MissionSetTimer(3, 257, 500);
    MV2MissionQueueMessage(3, 77, 500);
    MV2MissionKillTimer(3, 256);
    EXPECT_EQ(MV2CountMissionTimers(3, 256), 0);
    EXPECT_EQ(MV2CountMissionTimers(3, 257), 1);
    MV2MissionKillTimers(3);
    EXPECT_EQ(MV2CountMissionTimers(3, 257), 0);
    EXPECT_EQ(MV2MissionMessagesDone(), 0);
    h_.Step(500);
    EXPECT_EQ(MV2MissionMessagesDone(), 1);
    EXPECT_TRUE(g_seen.empty());
    EXPECT_EQ(h_.Log("shown").size(), 1u);
    EXPECT_EQ(h_.Log("shown")[0].value, 77);
}

TEST_F(MissionFlowTest, QueuedMessagesChainOnTheirDisplayTime) {
    // Without speech a message shows for 5500 ms.
    EXPECT_EQ(MV2MissionQueueMessage(3, 10, 1000), 6500);
    MV2MissionMessageRecord record;
    MV2MissionInitMessageRecord(&record, 11);
    EXPECT_NE(MV2MissionShowMessageRecord(&record), 0u);
    EXPECT_EQ(record.shown, 1u);
    h_.Run(5400);
    EXPECT_EQ(record.done, 0u);
    h_.Run(200);
    EXPECT_EQ(record.done, 1u);
}

// A callback that kills its own timer, one that kills the next timer, and one that resets the
// whole layer: the pass stays valid and the order stays newest first.
TEST_F(MissionFlowTest, TimerPassSurvivesKillsAndResetsFromCallbacks) {
    g_action = [](int32_t row, int32_t message) {
        if (row == 3 && message == 260) MV2MissionKillTimers(3);    // its own and the next
        if (row == 5 && message == 261) MV2MissionKillTimer(5, 261); // its own (already gone)
    };
    MV2MissionSetTimer(3, 259, 100); // older: killed by 260's callback before it runs
    MV2MissionSetTimer(5, 261, 100);
    MV2MissionSetTimer(3, 260, 100);
    h_.Step(100);
    EXPECT_EQ(g_seen, (std::vector<Seen>{{3, 260, 0, 0}, {5, 261, 0, 0}}));
    EXPECT_EQ(MV2CountMissionTimers(3, 259), 0);

    // A reset in a callback ends the pass at once; timers it queues wait for the next pass.
    g_seen.clear();
    g_action = [](int32_t row, int32_t message) {
        if (row == 5 && message == 262) MV2MissionResetAndSend(3, 263);
        if (row == 3 && message == 263) MV2MissionSetTimer(3, 264, 0);
    };
    MV2MissionSetTimer(3, 265, 100); // older, never run: the reset replaced the list
    MV2MissionSetTimer(5, 262, 100);
    h_.Step(100);
    EXPECT_EQ(g_seen, (std::vector<Seen>{{5, 262, 0, 0}, {3, 263, 0, 0}}));
    h_.Step(0);
    EXPECT_EQ(g_seen.back(), (Seen{3, 264, 0, 0}));
    EXPECT_EQ(MV2CountMissionTimers(3, 265), 0);
}

TEST_F(MissionFlowTest, WithoutAFreeListTimersFailQuietly) {
    MV2ClearMissionNotify();
    EXPECT_EQ(MV2MissionQueueMessage(3, 10, 1000), 11000);
    MV2MissionSetTimer(3, 256, 0);
    h_.Step(100);
    EXPECT_TRUE(g_seen.empty());
    EXPECT_TRUE(h_.Boxes().empty());
    MV2MissionSystemReset();
}

TEST_F(MissionFlowTest, PeriodicMessageOnlyWhileOn) {
    MV2MissionSetPeriodicMessage(-1, 1);
    h_.Run(3000);
    EXPECT_TRUE(h_.Log("shown").empty());
    MV2MissionSetPeriodicMessage(42, 1);
    h_.Run(2500);
    EXPECT_EQ(h_.Log("shown").size(), 2u);
}

TEST_F(MissionFlowTest, EventsReachInstalledRowsInOrder) {
    testing::internal::CaptureStderr();
    MV2NotifyScripts(nullptr, 22, 0);
    MV2NotifyScripts(nullptr, -1, 0);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "Bad event to MV2NotifyScripts\nBad event to MV2NotifyScripts\n");
    MV2MissionInstallNotify(5, 9);
    MV2MissionInstallNotify(3, 9);
    MV2MissionInstallNotify(41, 9);
    testing::internal::CaptureStderr();
    MV2MissionInstallNotify(3, 9);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Mission Notify Handler already installed\n");
    // Row 5 removes itself while the event is delivered; the rest still hear it.
    g_action = [](int32_t row, int32_t message) {
        if (row == 5 && message == kMV2ScriptEvent) MV2MissionRemoveNotify(5, 9);
    };
    h_.Notify(9, nullptr, 2);
    EXPECT_EQ(g_seen, (std::vector<Seen>{{5, 11, 9, 2}, {3, 11, 9, 2}, {41, 11, 9, 2}}));
    g_seen.clear();
    MV2MissionRemoveNotify(3, 9); // the middle of what is left keeps the order of the rest
    MV2MissionInstallNotify(5, 9);
    h_.Notify(9, nullptr, 3);
    EXPECT_EQ(g_seen, (std::vector<Seen>{{41, 11, 9, 3}, {5, 11, 9, 3}}));
}

TEST_F(MissionFlowTest, SeventeenthInstallIsRefused) {
    for (int32_t row = 0; row < 17; row++)
        MV2MissionInstallNotify(row, 12);
    EXPECT_EQ(MV2MissionNotifyInstalled(15, 12), 1);
    EXPECT_EQ(MV2MissionNotifyInstalled(16, 12), 0);
}

TEST_F(MissionFlowTest, WaitSlotsFollowTheirObjects) {
    MV2Object* object = h_.Find(0x00030001);
    ASSERT_NE(object, nullptr);
    const intptr_t id = reinterpret_cast<intptr_t>(object);
    EXPECT_EQ(MV2MissionWaitSlotOp(id, kMV2WaitQuery), 0);
    ASSERT_EQ(MV2MissionWaitSlotOp(id, kMV2WaitAdd), 1);
    MV2SetMissionSlotDone(id);
    EXPECT_EQ(MV2MissionWaitSlotOp(id, kMV2WaitQuery), 1);
    EXPECT_EQ(MV2MissionWaitSlotOp(id, kMV2WaitRemove), 1);
    EXPECT_EQ(MV2MissionWaitSlotOp(id, kMV2WaitQuery), 0);
    EXPECT_EQ(MV2MissionWaitSlotOp(id, 3), 0);

    // The object dies and a new one may take its memory: the old slot is free, not done.
    ASSERT_EQ(MV2MissionWaitSlotOp(id, kMV2WaitAdd), 1);
    MV2SetMissionSlotDone(id);
    h_.Send(object, 4, 0, 0);
    MV2Object* fresh = nullptr;
    {
        MV2CurrentLevelWorld world;
        fresh = MV2CreateObject(5, nullptr, nullptr);
    }
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(MV2MissionWaitSlotOp(reinterpret_cast<intptr_t>(fresh), kMV2WaitQuery), 0);
    // Sixteen slots, then no more.
    MV2CurrentLevelWorld world;
    for (int i = 0; i < kMV2WaitSlots; i++)
        EXPECT_EQ(MV2MissionWaitSlotOp(reinterpret_cast<intptr_t>(MV2CreateObject(5, nullptr, nullptr)), kMV2WaitAdd), 1);
    EXPECT_EQ(MV2MissionWaitSlotOp(reinterpret_cast<intptr_t>(fresh), kMV2WaitAdd), 0);
}

TEST_F(MissionFlowTest, ObjectHelpers) {
    MV2Object* object = h_.Find(0x00030001);
    ASSERT_NE(object, nullptr);
    EXPECT_EQ(MV2FindObjectByWorldID(0x00030001), object);
    EXPECT_EQ(MV2FindObjectByWorldID(0x00030002), nullptr);
    EXPECT_EQ(MV2ObjectDistance(object, nullptr), MV2ObjectDistance(object, h_.Player()));
    EXPECT_EQ(MV2ObjectDistance(nullptr, nullptr), 0.0f);
    MV2Object* made = MV2MissionCreateObject(5, object, 3);
    ASSERT_NE(made, nullptr);
    EXPECT_EQ(made->missionRow, 3);
    EXPECT_TRUE(made->flags & kMV2ObjectMissionOwned);
    EXPECT_EQ(MV2ObjectDistance(made, object), 0.0f);
    MV2MissionDetachObject(made);
    EXPECT_FALSE(made->flags & kMV2ObjectMissionOwned);
    EXPECT_EQ(MV2MissionCreateObject(999, object, 3), nullptr);

    // Drawn and solid, as level objects are.
    MV2SetAllAtomicFlags(object->clump, 5);
    MV2SetAllAtomicFlags(made->clump, 5);
    // Drawn and solid, as level objects are, and away from the others.
    for (MV2Object* o : {object, made}) {
        o->matrix->pos = {20, 10, 20};
        MV2SetAllAtomicFlags(o->clump, 5);
        TvFrameUpdateObjects(o->clump->frame);
    }
    TvFrameSyncDirty(); // as the frame's render leaves them
    MV2CountObjectsNear(object, 5.0f);
    EXPECT_EQ(MV2GetNearbyObjectCount(5), 2);
    EXPECT_EQ(MV2GetNearbyObjectCount(461), 0); // beyond the table
    EXPECT_EQ(MV2GetNearbyObjectCount(-1), 0);
    made->energy = 0.0f; // only the living count
    MV2CountObjectsNear(object, 5.0f);
    EXPECT_EQ(MV2GetNearbyObjectCount(5), 1);
}

TEST_F(MissionFlowTest, GameEventsFireOnce) {
    MV2ClearGameEvents();
    EXPECT_EQ(MV2GameEventFired(987), 0);
    MV2TriggerGameEvent(987);
    MV2GameEventOnce(987);
    EXPECT_EQ(MV2GameEventFired(987), 1);
    MV2MissionSelect(3); // a new game clears them
    EXPECT_EQ(MV2GameEventFired(987), 0);
    gMV2Level.currentLevelId = 0x00FFFFFF;
}
