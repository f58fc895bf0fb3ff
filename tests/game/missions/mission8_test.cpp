// Row 8 on the mission harness: salvage carried to the drop points of its site's group, the
// objective moving to the other site, the losses and the time limit, and the pirate slots.
#include <gtest/gtest.h>

#include <set>
#include <string>
#include <vector>

#include "game/missions/missions.h"
#include "game/objects/levels.h"
#include "game/player/playercraft.h"
#include "tests/game/missions/mission_objects.h"
#include "tests/game/missions/mission_rows_fixture.h"

namespace {

constexpr int32_t kMarker = 55, kPirate = 56, kSalvageType = 90, kCraft = 0;
constexpr uint32_t kSiteA = 0x40291, kSiteB = 0x40292, kSalvage = 0x3F0000;
constexpr uint32_t kA1 = 0x3F0006, kA2 = 0x3F0007, kA3 = 0x3F0008, kB1 = 0x3F000B, kB2 = 0x3F000A,
                   kB3 = 0x3F0009;

// Salvage objects answer the delivered query (object message 59) from this set.
std::set<MV2Object*> g_delivered;

intptr_t SalvageHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 59) return g_delivered.count(object) ? 1 : 0;
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

// Two sites 300 units apart; `nearA` of the six salvage objects lie by site A, the rest by B.
MissionLevel Salvage(int32_t nearA) {
    MissionLevel level = RowCityLevel({kMarker, kCraft});
    level.types.push_back({kPirate, 100.0f, 0x10});
    level.types.push_back({kSalvageType, 100.0f, 0, 0, SalvageHandler});
    level.objects.push_back({kSiteA, kMarker, 300, 10, 300});
    level.objects.push_back({kSiteB, kMarker, 600, 10, 300});
    for (int32_t i = 0; i < 6; ++i)
        level.objects.push_back({kSalvage + uint32_t(i), kSalvageType, (i < nearA ? 300.0f : 600.0f) + float(i),
                                 10, 310});
    const uint32_t drops[6] = {kA1, kA2, kA3, kB3, kB2, kB1};
    for (int32_t i = 0; i < 6; ++i)
        level.objects.push_back({drops[i], kMarker, 450, 10, 400.0f + float(i)});
    level.objects.push_back({0x40052, kMarker, 800, 10, 800}); // where the pirates gather
    return level;
}

struct Row8 {
    MissionHarness h;

    bool Start(int32_t nearA = 3) {
        g_delivered.clear();
        if (!h.Load(Salvage(nearA))) return ADD_FAILURE() << "load", false;
        // The script spawns the salvage record itself.
        MV2DestroyLevelRecordObjects(0x3FFFFF);
        MV2MissionStart(8, 0);
        h.Step(100);
        return true;
    }
    MV2Object* Item(int32_t i) { return h.Find(kSalvage + uint32_t(i)); }
    void PickUp(int32_t i) { h.Send(Item(i), 44, 0, reinterpret_cast<intptr_t>(h.Player())); }
    void Deliver(int32_t i) {
        g_delivered.insert(Item(i));
        h.Send(Item(i), 93, 0, 0);
    }
    MV2Object* Objective() const {
        const std::vector<MissionLogEntry> log = h.Log("objective");
        return log.empty() ? nullptr : reinterpret_cast<MV2Object*>(log.back().value);
    }
    int32_t Pirates() const { return int32_t(MissionObjectsOfType(kPirate).size()); }
};

struct DeliveryCase {
    const char* name;
    int32_t nearA;
    std::vector<int32_t> order;  // salvage objects, picked up and delivered in turn
    std::vector<uint32_t> drops; // the drop point named for each
    int32_t emptiedAfter;        // the delivery that empties the first group
    uint32_t otherSite;
};

class Mission8Delivery : public ::testing::TestWithParam<DeliveryCase> {};

TEST_P(Mission8Delivery, TheObjectiveMovesToTheOtherSiteWhenAGroupEmpties) {
    const DeliveryCase& c = GetParam();
    Row8 r;
    ASSERT_TRUE(r.Start(c.nearA));
    EXPECT_EQ(r.Objective(), r.h.Find(kSiteB)) << "the first objective is site B";
    for (size_t k = 0; k < c.order.size(); ++k) {
        r.PickUp(c.order[k]);
        EXPECT_EQ(r.Objective(), r.h.Find(c.drops[k])) << k;
        r.Deliver(c.order[k]);
        if (int32_t(k) == c.emptiedAfter) {
            EXPECT_EQ(r.Objective(), r.h.Find(c.otherSite)) << k;
        }
        r.h.Step(100);
    }
    ASSERT_EQ(r.h.Log("banner").size(), 1u);
    EXPECT_EQ(r.h.Log("banner")[0].value, 1);
    EXPECT_EQ(MissionLogCount(r.h, "queued", 260), 1);
    r.h.Run(20000);
    EXPECT_EQ(MissionLogCount(r.h, "shown", 797), 1);
    EXPECT_TRUE(r.h.Log("failed").empty());
    r.h.Notify(7, r.h.Player(), 0);
    r.h.Notify(8, r.h.Player(), 0);
    ASSERT_FALSE(r.h.Log("restart").empty());
    EXPECT_EQ(r.h.Log("restart").back().value, 9);
}

INSTANTIATE_TEST_SUITE_P(
    Row8, Mission8Delivery,
    ::testing::Values(DeliveryCase{"AThenB", 3, {0, 1, 2, 3, 4, 5}, {kA3, kA2, kA1, kB3, kB2, kB1}, 2, kSiteB},
                      DeliveryCase{"BThenA", 3, {3, 4, 5, 0, 1, 2}, {kB3, kB2, kB1, kA3, kA2, kA1}, 2, kSiteA},
                      // Four by one site: the count indexes a three-entry table, clamped.
                      DeliveryCase{"FourNearA", 4, {0, 1, 2, 3, 4, 5}, {kA3, kA3, kA2, kA1, kB2, kB1}, 3, kSiteB}),
    [](const ::testing::TestParamInfo<DeliveryCase>& info) { return std::string(info.param.name); });

struct FailureCase {
    const char* name;
    int32_t destroyed;  // salvage objects destroyed while object 5 is carried
    bool reachSite;     // the player reaches site A at once
    uint32_t afterMs;
    int32_t warnings;   // 254 shown (the begin's included)
    intptr_t failure;   // 0: none
};

class Mission8Failure : public ::testing::TestWithParam<FailureCase> {};

TEST_P(Mission8Failure, LossesAndTheTimeLimit) {
    const FailureCase& c = GetParam();
    Row8 r;
    ASSERT_TRUE(r.Start());
    if (c.reachSite) RowMovePlayer(r.h, 300, 300);
    r.PickUp(5);
    for (int32_t i = 0; i < c.destroyed; ++i)
        r.h.Kill(r.Item(i), r.h.Player());
    r.h.Run(c.afterMs, 500);
    EXPECT_EQ(MissionLogCount(r.h, "shown", 254), c.warnings);
    const std::vector<MissionLogEntry> failed = r.h.Log("failed");
    if (c.failure) {
        ASSERT_EQ(failed.size(), 1u);
        EXPECT_EQ(failed[0].value, c.failure);
    } else {
        EXPECT_TRUE(failed.empty());
    }
}

INSTANTIATE_TEST_SUITE_P(
    Row8, Mission8Failure,
    ::testing::Values(FailureCase{"TwoDestroyed", 2, true, 1000, 1, 0},
                      FailureCase{"ThreeDestroyed", 3, true, 1000, 1, 261},
                      FailureCase{"OneWarning", 0, false, 181000, 2, 0},
                      FailureCase{"TwiceTheLimit", 0, false, 361000, 2, 243},
                      FailureCase{"SiteReached", 0, true, 361000, 1, 0}),
    [](const ::testing::TestParamInfo<FailureCase>& info) { return std::string(info.param.name); });

// A carried object survives the loss of another: the other's own site loses it, and the
// carried object's delivery still counts for its group.
TEST(Mission8, ALossWhileCarryingCountsAgainstTheLostObjectsSite) {
    Row8 r;
    ASSERT_TRUE(r.Start());
    r.PickUp(0); // group A, drop A3
    r.h.Kill(r.Item(3), r.h.Player());
    EXPECT_EQ(r.Objective(), r.h.Find(kA3)) << "the carried object keeps its drop point";
    r.Deliver(0);
    r.PickUp(4);
    EXPECT_EQ(r.Objective(), r.h.Find(kB2)) << "group B lost one";
}

TEST(Mission8, AtMostThreePiratesEachReplacedAfterFiveSeconds) {
    Row8 r;
    ASSERT_TRUE(r.Start());
    // The second loss of salvage brings the escort, the third the pirate wave.
    r.PickUp(0);
    r.Deliver(0);
    r.PickUp(1);
    r.Deliver(1);
    r.PickUp(2);
    r.h.Run(9000);
    EXPECT_EQ(r.Pirates(), 3);
    r.h.Kill(MissionObjectsOfType(kPirate)[0], r.h.Player());
    r.h.Run(4900);
    EXPECT_EQ(r.Pirates(), 2);
    r.h.Run(200);
    EXPECT_EQ(r.Pirates(), 3);
    for (MV2Object* p : MissionObjectsOfType(kPirate))
        r.h.Kill(p, r.h.Player());
    for (int32_t i = 0; i < 80; ++i) {
        r.h.Step(100);
        ASSERT_LE(r.Pirates(), 3);
    }
    EXPECT_EQ(r.Pirates(), 3);
    // The rest delivered while they attack, the player goes home: the pirates are destroyed
    // there and stay gone.
    r.Deliver(2);
    for (int32_t i = 3; i < 6; ++i) {
        r.PickUp(i);
        r.Deliver(i);
    }
    r.h.Run(20000);
    ASSERT_EQ(MissionLogCount(r.h, "shown", 797), 1);
    EXPECT_EQ(r.Pirates(), 3);
    r.h.Notify(7, r.h.Player(), 0);
    EXPECT_EQ(r.Pirates(), 0);
    r.h.Run(10000);
    EXPECT_EQ(r.Pirates(), 0);
}

} // namespace
