#include <gtest/gtest.h>

#include <algorithm>
#include <array>

#include "game/missions/bubblevent.h"
#include "game/missions/machineryprops.h"
#include "game/missions/mission30.h"
#include "game/missions/missionprops.h"
#include "game/missions/missions.h"
#include "game/missions/scriptkit.h"
#include "game/objects/camera.h"
#include "game/player/stoneball.h"
#include "shell/gamemain.h"
#include "tests/game/missions/mission_rows_fixture.h"

namespace {

constexpr int32_t kGateType = 248, kVentType = 293, kBallType = 286, kPusherType = 279,
                  kSensorType = kRowSensorType;
constexpr uint32_t kFinalGate = 0x05000036, kBall = 0x05000035;
constexpr uint32_t kLockA = 0x05000031, kLockB = 0x05000032, kLockC = 0x05000033;
// The vent groups the three lock switches set.
constexpr uint32_t kGroupA = 0x05000069, kGroupB = 0x05000066, kGroupC = 0x0500000D;

MissionLevel Level5() {
    MissionLevel level = RowSensorLevel(0x05FFFFFF, kGateType);
    level.types.push_back({kVentType, 100.0f, 0, 0, MV2BubbleVentHandler,
                           uint32_t(sizeof(MV2BubbleVentData)), true});
    level.types.push_back({kBallType, 100.0f, 0, 0, MV2WaypointStoneBallHandler, 0, true});
    level.types.push_back({kPusherType, 100.0f, 0, 0, MV2PusherHandler,
                           uint32_t(sizeof(MV2PusherData)), true});
    for (uint32_t id : {0x0500000Fu, kLockA, kLockB, kLockC, 0x05000034u, 0x05000037u,
                        0x05000038u, 0x05000039u, 0x0500003Au, 0x050000A9u})
        level.objects.push_back({id, kRowPostType, float(id & 0xFF), 10, 0});
    level.objects.push_back({0x050000A8, kRowPostType, 40, 12, 40});
    level.objects.push_back({kFinalGate, kGateType, 0, 10, 20});
    level.objects.push_back({kBall, kBallType, 0, 10, 30});
    for (uint32_t id : {kGroupA, kGroupB, kGroupC, 0x0500004Au})
        level.objects.push_back({id, kVentType, float(id & 0xFF), 10, 50});
    level.objects.push_back({0x05000027, kPusherType, 0, 10, 60});
    level.objects.push_back({0x050000AC, kSensorType, 60, 10, 60});
    return level;
}

int32_t VentOn(MissionHarness& h, uint32_t id) {
    auto* v = static_cast<MV2BubbleVentData*>(h.Find(id)->privateData);
    return v->onTime == 99999 && v->offTime == 0 ? 1 : v->onTime == 0 && v->offTime == 99999 ? 0 : -1;
}

} // namespace

TEST(Mission30Test, FinalGateOpensAfterAllThreeLockSwitchesInAnyOrder) {
    std::array<uint32_t, 3> order{kLockA, kLockB, kLockC};
    // What each lock sets on the three vent groups (A, B, C): 1 on, 0 off, -1 untouched.
    const auto expected = [](uint32_t lock) {
        return lock == kLockA ? std::array<int32_t, 3>{0, 1, -1}
               : lock == kLockB ? std::array<int32_t, 3>{-1, 0, 1}
                                : std::array<int32_t, 3>{1, -1, 0};
    };
    do {
        MissionHarness h;
        ASSERT_TRUE(h.ok());
        ASSERT_TRUE(h.Load(Level5()));
        RecordedMessages().clear();
        MV2MissionStart(30, 0);
        for (size_t i = 0; i < order.size(); ++i) {
            MV2Mission30SwitchHit(h.Find(order[i]), 1);
            EXPECT_EQ(CountRecorded(int32_t(kFinalGate), 12, 1), i == 2 ? 1 : 0) << i;
            const std::array<int32_t, 3> want = expected(order[i]);
            const uint32_t groups[3] = {kGroupA, kGroupB, kGroupC};
            for (int g = 0; g < 3; ++g)
                if (want[g] >= 0) {
                    EXPECT_EQ(VentOn(h, groups[g]), want[g]) << order[i] << " " << g;
                }
        }
        // Throwing the first lock again gives the vents its own setting back.
        MV2Mission30SwitchHit(h.Find(order[0]), 1);
        const std::array<int32_t, 3> want = expected(order[0]);
        const uint32_t groups[3] = {kGroupA, kGroupB, kGroupC};
        for (int g = 0; g < 3; ++g)
            if (want[g] >= 0) {
                EXPECT_EQ(VentOn(h, groups[g]), want[g]);
            }
    } while (std::next_permutation(order.begin(), order.end()));
}

TEST(Mission30Test, StartSetsTheBallAndPushersAndTheFinalSwitchFreesTheLateCameraPosts) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    ASSERT_TRUE(h.Load(Level5()));
    MV2MissionStart(30, 0);
    MV2StoneBallData* ball = MV2GetStoneBallData();
    MV2CurrentLevelWorld world;
    EXPECT_EQ(MV2GetObjectRef(&ball->waypoints[0]), h.Find(0x05000037));
    EXPECT_EQ(MV2GetObjectRef(&ball->waypoints[3]), h.Find(0x0500003A));
    EXPECT_EQ(ball->running, 0);
    EXPECT_FLOAT_EQ(static_cast<MV2PusherData*>(h.Find(0x05000027)->privateData)->amplitude, 38.0f);
    MV2Mission30SwitchHit(h.Find(0x0500000F), 1);
    EXPECT_EQ(VentOn(h, 0x0500004A), 1);

    // The late camera trigger does nothing before the final switch, and only for the player.
    MV2Object* trigger = h.Find(0x050000AC);
    MV2SetCameraMode(1);
    h.Send(trigger, 14, 0, reinterpret_cast<intptr_t>(h.Player()));
    EXPECT_EQ(MV2GetCameraMode(), 1);
    MV2Mission30SwitchHit(h.Find(0x05000034), 1);
    EXPECT_EQ(ball->running, 1);
    EXPECT_EQ(MV2GetCameraMode(), 2);
    MV2SetCameraMode(1);
    h.Send(trigger, 14, 0, reinterpret_cast<intptr_t>(h.Find(0x05000037)));
    EXPECT_EQ(MV2GetCameraMode(), 1);
    h.Send(trigger, 14, 0, reinterpret_cast<intptr_t>(h.Player()));
    EXPECT_EQ(MV2GetCameraMode(), 2);
}

TEST(Mission30Test, WithoutACameraFrameTheRowsPostsLeaveTheCameraModeAsItWas) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    ASSERT_TRUE(h.Load(Level5()));
    MV2MissionStart(30, 0);
    TvCamera* camera = gMV2MainCamera;
    gMV2MainCamera = nullptr;
    MV2SetCameraMode(1);
    MV2Mission30SwitchHit(h.Find(0x05000034), 1); // the final switch's view from post 0x050000A8
    EXPECT_EQ(MV2GetCameraMode(), 1);
    // The script kit's move without the frame check, as rows 31 and 32 use it, takes the mode.
    MV2ScriptCameraToPost(h.Find(0x050000A8));
    EXPECT_EQ(MV2GetCameraMode(), 2);
    gMV2MainCamera = camera;
}
