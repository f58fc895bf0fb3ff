#include <gtest/gtest.h>

#include <cmath>

#include "game/frontend/missionmap.h"
#include "game/missions/missions.h"
#include "game/missions/script41.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/objects.h"
#include "tests/game/missions/mission_objects.h"
#include "tests/support/mission_harness.h"

namespace {

constexpr uint32_t kCraft = 0x40283;

int LabelCount(int32_t id) {
    int n = 0;
    for (const MV2MapLabel& l : gMV2Map.labels)
        if (l.id == id) n++;
    return n;
}

class Script41Test : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(h.ok());
        MV2ResetLevelSwitches();
        MV2ClearKnownTypes();
        for (MV2MapLabel& l : gMV2Map.labels) l.id = -1;
        AddCityObjects(level); // with the drop-point signs 0x20000 and 0x2006C
        AddMiningObjects(level);
        level.types.push_back({126});
        level.objects.push_back({kCraft, 126, 30, 5, 30, 1, 0, 0});
    }
    void TearDown() override {
        MV2ResetLevelSwitches();
        MV2ClearKnownTypes();
    }
    MissionHarness h;
    MissionLevel level;
};

TEST_F(Script41Test, FirstPickupShowsTheHintOnceAndCarryingLabelsTheDropPoints) {
    ASSERT_TRUE(h.Load(level));
    h.Step(10);
    MV2Object* craft = h.Find(kCraft);
    ASSERT_NE(craft, nullptr);
    EXPECT_EQ(craft->missionRow, 41);
    EXPECT_TRUE(MV2MissionNotifyInstalled(41, 20));
    for (int pickup = 0; pickup < 2; pickup++) {
        h.Send(craft, 44, 0, reinterpret_cast<intptr_t>(h.Player()));
        EXPECT_EQ(LabelCount(53), 2);
        h.Send(craft, 43, 0, reinterpret_cast<intptr_t>(h.Player()));
        EXPECT_EQ(LabelCount(53), 0);
    }
    EXPECT_EQ(MissionLogCount(h, "shown", 704), 1);
    // The craft identified later is no second hint either.
    h.Notify(20, craft, 126);
    EXPECT_EQ(MissionLogCount(h, "shown", 704), 1);
    // A drone delivers it: the job is over for good and row 36's extra craft opens.
    h.Notify(21, craft, 0);
    EXPECT_EQ(MissionLogCount(h, "shown", 708), 1);
    EXPECT_EQ(MV2GetStrayCraftDelivered(), 1);
    EXPECT_TRUE(MV2TestLevelSwitch(16));
    EXPECT_FALSE(MV2MissionNotifyInstalled(41, 14));
    EXPECT_TRUE(MV2MissionNotifyInstalled(41, 7));
}

TEST_F(Script41Test, SwitchSixteenAtLevelStartInstallsNothing) {
    MV2SetLevelSwitch(16, 0);
    ASSERT_TRUE(h.Load(level));
    h.Step(10);
    for (int32_t e : {7, 14, 15, 20, 21}) EXPECT_FALSE(MV2MissionNotifyInstalled(41, e)) << e;
    MV2Object* craft = h.Find(kCraft); // the switch's own action takes the craft away
    EXPECT_TRUE(!craft || craft->missionRow != 41);
}

TEST_F(Script41Test, LevelChangeAndReturnPutsTheCraftBack) {
    struct Case {
        const char* name;
        TvV3d at;
        TvV3d wantAt;
    };
    const Case cases[] = {
        {"level at", {0, 0, 1}, {0, 0, 1}},
        // A vertical at vector has no right axis: the craft keeps the orientation it has.
        {"vertical at", {0, 1, 0}, {1, 0, 0}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(h.Load(level));
        h.Step(10);
        MV2Object* craft = h.Find(kCraft);
        ASSERT_NE(craft, nullptr);
        const float there[3] = {12, 7, 40};
        h.Send(craft, 83, 0, reinterpret_cast<intptr_t>(there));
        craft->matrix->at = c.at;
        h.Notify(14, nullptr, 0x1FFFFFF);
        EXPECT_TRUE(gMV2Script41.positionSaved);
        // The level comes back with the craft where the level places it.
        const float home[3] = {30, 5, 30};
        h.Send(craft, 83, 0, reinterpret_cast<intptr_t>(home));
        craft->matrix->right = {0, 0, -1};
        craft->matrix->up = {0, 1, 0};
        craft->matrix->at = {1, 0, 0};
        h.Notify(15, nullptr, 0xFFFFFF);
        EXPECT_FLOAT_EQ(craft->matrix->pos.x, 12);
        EXPECT_FLOAT_EQ(craft->matrix->pos.y, 7);
        EXPECT_FLOAT_EQ(craft->matrix->pos.z, 40);
        EXPECT_FLOAT_EQ(craft->matrix->at.x, c.wantAt.x);
        EXPECT_FLOAT_EQ(craft->matrix->at.y, c.wantAt.y);
        EXPECT_FLOAT_EQ(craft->matrix->at.z, c.wantAt.z);
        for (float v : {craft->matrix->right.x, craft->matrix->right.y, craft->matrix->up.y})
            EXPECT_FALSE(std::isnan(v));
    }
}

TEST_F(Script41Test, SavedStateRoundTripsAndRefusesPlacesThatAreNotNumbers) {
    MV2Script41State in{{1, 1}, {1, 2, 3, 0, 0, 1}};
    MV2SetScript41State(&in);
    MV2Script41State out{};
    MV2GetScript41State(&out);
    EXPECT_EQ(out.counters[0], 1);
    EXPECT_EQ(out.counters[1], 1);
    EXPECT_FLOAT_EQ(out.values[2], 3);
    EXPECT_EQ(MV2GetStrayCraftDelivered(), 1);
    in.values[1] = NAN;
    MV2SetScript41State(&in);
    EXPECT_EQ(gMV2Script41.positionSaved, 0);
}

} // namespace
