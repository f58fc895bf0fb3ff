#include <gtest/gtest.h>

#include <string>

#include "game/frontend/hud.h"
#include "game/missions/missions.h"
#include "game/objects/levels.h"
#include "game/objects/objects.h"
#include "tests/game/missions/mission_objects.h"
#include "tests/support/mission_harness.h"

namespace {

MV2Object* FirstOfType(int32_t type) {
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
        if (int32_t(o->typeWord & kMV2ObjectTypeMask) == type) return o;
    return nullptr;
}

class Mission3Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(h.ok());
        AddCityObjects(level);
        AddMiningObjects(level);
        for (int32_t t : {44, 45, 56, 310}) level.types.push_back({t});
        level.objects.push_back({0x80000, 310, 40, 5, 40});
        level.objects.push_back({0x80001, 310, 60, 5, 40});
        level.objects.push_back({0x80002, 310, 40, 5, 80});
        ASSERT_TRUE(h.Load(level));
        gMV2Hud.bannerRow = 0; // a banner left by another test is not this run's
    }
    void Call(int32_t message) { MV2CallMissionScript(3, nullptr, message, 0, 0); }
    MV2Object* Cargo() {
        MV2CurrentLevelWorld world;
        return FirstOfType(45);
    }
    MissionHarness h;
    MissionLevel level;
};

TEST_F(Mission3Test, OpeningCreatesTheCargoAndQueuesTheBriefing) {
    Call(1);
    MV2Object* cargo = Cargo();
    ASSERT_NE(cargo, nullptr);
    EXPECT_EQ(MV2MissionWaitSlotOp(intptr_t(cargo), 2), 0);
    EXPECT_EQ(MissionLogCount(h, "shown", 597), 1);
    EXPECT_EQ(MissionLogCount(h, "queued", 598), 1);
}

TEST_F(Mission3Test, DeliveredCargoWinsAndTheCityLeadsToRowFour) {
    Call(1);
    MV2Object* cargo = Cargo();
    ASSERT_NE(cargo, nullptr);
    h.SetToolAnswer(34, intptr_t(cargo)); // the magnet holds it
    h.Run(20000);
    EXPECT_EQ(MissionLogCount(h, "shown", 606), 1);
    EXPECT_EQ(MissionLogCount(h, "shown", 608), 0);
    MV2SetMissionSlotDone(intptr_t(cargo)); // a city drone reached it (event 21)
    h.Run(2000);
    EXPECT_EQ(MissionLogCount(h, "shown", 608), 1);
    EXPECT_EQ(MissionLogCount(h, "banner", 1), 1);
    h.Run(20000);
    EXPECT_TRUE(MV2MissionNotifyInstalled(3, 7));
    h.Notify(7, nullptr, 0);
    EXPECT_EQ(MissionLogCount(h, "restart", 4), 1);
}

TEST_F(Mission3Test, CargoLostBeforePickupFailsAndStillGoesOnToRowFour) {
    Call(1);
    MV2Object* cargo = Cargo();
    ASSERT_NE(cargo, nullptr);
    h.Send(cargo, 4, 0, 0);
    h.Run(20000);
    EXPECT_EQ(MissionLogCount(h, "shown", 619), 1);
    EXPECT_EQ(MissionLogCount(h, "queued", 676), 1);
    EXPECT_EQ(MissionLogCount(h, "banner", 0), 1);
    EXPECT_EQ(MissionLogCount(h, "banner", 1), 0);
    h.Run(10000);
    h.Notify(7, nullptr, 0);
    EXPECT_EQ(MissionLogCount(h, "restart", 4), 1);
}

TEST_F(Mission3Test, SixteenRestartsLeaveTheMissionWinnable) {
    for (int i = 0; i < 17; i++) {
        Call(2);
        h.Run(1200); // the site is idle: a new cargo and drone at the station
    }
    MV2Object* cargo = nullptr;
    {
        MV2CurrentLevelWorld world;
        for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
            if (int32_t(o->typeWord & kMV2ObjectTypeMask) == 45 && (!cargo || o->handle > cargo->handle))
                cargo = o; // the newest
    }
    ASSERT_NE(cargo, nullptr);
    MV2SetMissionSlotDone(intptr_t(cargo));
    EXPECT_EQ(MV2MissionWaitSlotOp(intptr_t(cargo), 2), 1);
}

} // namespace
