#include <gtest/gtest.h>

#include "game/missions/missions.h"
#include "tests/game/missions/mission_objects.h"
#include "tests/support/mission_harness.h"

namespace {

MissionLevel CargoSite() {
    MissionLevel level;
    level.types = {{55}, {42}, {45}, {350}, {60}};
    AddCityObjects(level);
    AddMiningObjects(level);
    level.objects.push_back({0x40281, 45, 20, 5, 20});  // the cargo
    level.objects.push_back({0x230006, 55, 22, 5, 20}); // where the cargo is put
    level.objects.push_back({0x40049, 60, 30, 5, 30});  // the guarded object
    level.objects.push_back({0x40247, 55, 25, 5, 25});
    level.objects.push_back({0x4006A, 55, 35, 5, 35});
    level.objects.push_back({0x230000, 55, 40, 5, 40});
    level.objects.push_back({0x20000, 55, 45, 5, 45});
    return level;
}

MV2Object* Drone() {
    const float at[3] = {50, 5, 50};
    return MV2CreateObject(350, at, nullptr);
}

} // namespace

TEST(Mission14Test, DeliveryAndTheDroneWinInEitherOrder) {
    for (const bool cargoFirst : {true, false}) {
        MissionHarness h;
        ASSERT_TRUE(h.Load(CargoSite()));
        MV2MissionRestart(14);
        h.ClearLog();
        MV2Object* cargo = h.Find(0x40281);
        ASSERT_NE(cargo, nullptr);
        h.Notify(11, cargo, reinterpret_cast<intptr_t>(h.Player())); // the magnet takes it
        MV2Object* drone = Drone();
        ASSERT_NE(drone, nullptr);
        if (cargoFirst) h.Send(cargo, 93, 0, 0);
        h.Notify(11, drone, 0);
        h.Notify(21, drone, 0);
        EXPECT_EQ(h.Log("banner").size(), cargoFirst ? 1u : 0u);
        EXPECT_EQ(MissionLogCount(h, "shown", 1085), cargoFirst ? 1 : 0);
        EXPECT_EQ(MissionLogCount(h, "shown", 1086), cargoFirst ? 0 : 1);
        if (!cargoFirst) h.Send(cargo, 93, 0, 0);
        ASSERT_EQ(h.Log("banner").size(), 1u) << cargoFirst;
        EXPECT_EQ(h.Log("banner")[0].value, 1);
        h.Notify(7, h.Player(), 0);
        ASSERT_FALSE(h.Log("restart").empty());
        EXPECT_EQ(h.Log("restart").back().value, 15);
    }
}

TEST(Mission14Test, ACargoFailureLosesOnlyBeforeDelivery) {
    for (const bool delivered : {false, true}) {
        MissionHarness h;
        ASSERT_TRUE(h.Load(CargoSite()));
        MV2MissionRestart(14);
        MV2Object* cargo = h.Find(0x40281);
        if (delivered) h.Send(cargo, 93, 0, 0);
        h.Send(cargo, 47, 0, 0); // the cargo reports its failure
        EXPECT_EQ(MissionLogCount(h, "failed", 1193), delivered ? 0 : 1);
    }
}

TEST(Mission14Test, ARestartNeverMakesTheGuardCallItself) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(CargoSite()));
    MV2Object* guarded = h.Find(0x40049);
    const MV2ObjectHandler own = guarded->typeHandler;
    for (int32_t i = 0; i < 3; ++i)
        MV2MissionRestart(14);
    EXPECT_NE(guarded->typeHandler, own);
    h.Step(100); // updates run through the guard into the object's own handler
    MV2ShutdownMissionScripts();
    EXPECT_EQ(guarded->typeHandler, own);
    MV2MissionRestart(14);
    h.Send(guarded, 4, 0, 0); // destroyed: the guard reports and steps aside
    EXPECT_EQ(MissionLogCount(h, "queued", 766), 1);
}
