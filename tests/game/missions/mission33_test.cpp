#include <gtest/gtest.h>

#include "game/missions/mission33.h"
#include "game/missions/missionprops.h"
#include "game/missions/missions.h"
#include "tests/game/missions/mission_rows_fixture.h"

namespace {

constexpr int32_t kRecordedType = 248, kFlyType = 77, kSensorType = kRowSensorType;
constexpr uint32_t kWayOn = 0x0A000007, kDeposit = 0x0A000005, kExitSwitch = 0x0A00001B;

MissionLevel Level10() {
    MissionLevel level = RowSensorLevel(0x0AFFFFFF, kRecordedType);
    level.types.push_back({kFlyType});
    for (uint32_t id = 0x0A000009; id <= 0x0A00000A; ++id)
        level.objects.push_back({id, kRowPostType, 0, 10, float(id & 0xFF)});
    for (uint32_t id = 0x0A000013; id <= 0x0A000018; ++id)
        level.objects.push_back({id, kRowPostType, float(id & 0xFF), 10, 40});
    level.objects.push_back({kWayOn, kRecordedType, 0, 10, 60});
    level.objects.push_back({kExitSwitch, kRecordedType, 20, 10, 60});
    level.objects.push_back({kDeposit, kSensorType, 40, 10, 60});
    return level;
}

MV2Object* Fly(int32_t i) {
    MV2ObjectRef ref = gMV2Mission33.flies[i];
    return MV2GetObjectRef(&ref);
}

} // namespace

TEST(Mission33Test, TheSixthFlyReportOpensTheWayWhicheverGroupItCameFrom) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    ASSERT_TRUE(h.Load(Level10()));
    RecordedMessages().clear();
    MV2MissionStart(33, 0);
    MV2Mission33SwitchHit(h.Find(0x0A00000A), 1);
    MV2Mission33SwitchHit(h.Find(0x0A000009), 1);
    MV2CurrentLevelWorld world;
    for (int32_t i = 0; i < 6; ++i)
        ASSERT_NE(Fly(i), nullptr) << i;
    const int32_t order[6] = {3, 0, 4, 1, 2, 5};
    for (int32_t n = 0; n < 6; ++n) {
        EXPECT_EQ(CountRecorded(int32_t(kWayOn), 12, 1), 0) << n;
        MV2Mission33SwitchHit(Fly(order[n]), 1);
    }
    EXPECT_EQ(CountRecorded(int32_t(kWayOn), 12, 1), 1);
}

TEST(Mission33Test, TheSecondItemIsTakenOnlyFourSecondsAfterTheFirst) {
    const struct {
        uint32_t wait; // ms after the first delivery
        int32_t heldType;
        int32_t delivered;
    } kCases[] = {{3999, 133, 1}, {4001, 133, 2}, {9000, 130, 1}};
    for (const auto& c : kCases) {
        MissionHarness h;
        ASSERT_TRUE(h.ok());
        ASSERT_TRUE(h.Load(Level10()));
        RecordedMessages().clear();
        MV2MissionStart(33, 0);
        h.Step(100);
        h.SetToolAnswer(37, 3);
        h.SetToolAnswer(13, 133);
        MV2Object* deposit = h.Find(kDeposit);
        const intptr_t player = reinterpret_cast<intptr_t>(h.Player());
        h.Send(deposit, 14, 0, player);
        h.Send(deposit, 14, 0, player); // one item per touch, and the gap holds
        EXPECT_EQ(gMV2Mission33.itemsDelivered, 1);
        h.SetToolAnswer(13, c.heldType);
        h.Step(c.wait);
        h.Send(deposit, 14, 0, player);
        EXPECT_EQ(gMV2Mission33.itemsDelivered, c.delivered) << c.wait;
        EXPECT_EQ(gMV2Mission33.deliveryDone, uint32_t(c.delivered == 2));
        EXPECT_EQ(CountRecorded(int32_t(kExitSwitch), 11, 0), c.delivered == 2 ? 1 : 0);
        // Once done, the deposit takes nothing more.
        h.SetToolAnswer(13, 133);
        h.Step(10000);
        h.Send(deposit, 14, 0, player);
        EXPECT_EQ(gMV2Mission33.itemsDelivered, c.delivered == 2 ? 2 : c.delivered + 1);
    }
}
