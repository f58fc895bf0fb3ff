// The suck-up device: its hold of 40 (4 in level 7), the harmful drain, removal by index and
// delivery.
#include "tests/game/player/tools_fixture.h"

#include "game/missions/dirtcolumn.h"
#include "game/missions/missionflow.h"
#include "game/missions/scriptevents.h"

#include <utility>
#include <vector>

namespace {

intptr_t Collectable(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 70) return 1;
    if (message == 84) return 0;
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

class SuckUpTest : public CraftToolTest {
protected:
    void SetUp() override {
        CraftToolTest::SetUp();
        for (int32_t type : {88, 89, 90}) {
            ModelType(type, 0.1f);
            MV2SetObjectTypeHandler(type, Collectable);
        }
        ModelType(343, 0.1f);
        ModelType(70, 0.1f); // not collectable
        ModelType(135, 0.1f); // the beam
        MV2RegisterDirtColumnHandler();
        tool = Ready(5);
        ASSERT_NE(tool, nullptr);
        d = reinterpret_cast<MV2SuckUpData*>(tool->word);
        ASSERT_NE(d, nullptr);
    }
    int32_t Take(int32_t type) {
        return MV2SuckUpTake(craft, Make(type, P(0, -12, 0)));
    }
    std::vector<int32_t> Held() {
        std::vector<int32_t> out;
        for (int32_t i = 0; i < kMV2SuckUpSlots; ++i) {
            intptr_t type = 0;
            MV2SendToolCommand(craft, 5, 13, i, &type);
            if (type != 461) out.push_back(int32_t(type));
        }
        return out;
    }
    int32_t GaugeLevel() {
        MV2ToolGauge gauge{};
        MV2SendToolMessage(tool, 59, 0, reinterpret_cast<intptr_t>(&gauge));
        return gauge.level;
    }
    MV2Tool* tool = nullptr;
    MV2SuckUpData* d = nullptr;
};

} // namespace

TEST_F(SuckUpTest, TheFortyFirstIntakeDropsTheOldestAndTheObjectIsSwallowed) {
    MV2ObjectRef rock = Ref(Make(70, P(0, -12, 0)));
    EXPECT_EQ(MV2SuckUpTake(craft, MV2GetObjectRef(&rock)), 0) << "not collectable";
    EXPECT_TRUE(Alive(rock));
    MV2ObjectRef first = Ref(Make(89, P(0, -12, 0)));
    EXPECT_EQ(MV2SuckUpTake(craft, MV2GetObjectRef(&first)), 1);
    EXPECT_FALSE(Alive(first)) << "swallowed";
    for (int32_t i = 1; i < 40; ++i)
        ASSERT_EQ(Take(88), 1);
    EXPECT_EQ(d->count, 40);
    EXPECT_EQ(GaugeLevel(), 255 | 256);
    EXPECT_EQ(Take(90), 1);
    EXPECT_EQ(d->count, 40);
    const std::vector<int32_t> held = Held();
    ASSERT_EQ(held.size(), 40u);
    EXPECT_EQ(held.front(), 88) << "the oldest (89) made room";
    EXPECT_EQ(held.back(), 90);
    intptr_t out = 99;
    MV2SendToolCommand(craft, 5, 13, 40, &out);
    EXPECT_EQ(out, 461);
    MV2SendToolCommand(craft, 5, 34, 0, &out);
    EXPECT_EQ(out, 461) << "the camera query leaves the out value alone";
}

TEST_F(SuckUpTest, RemovalByIndexKeepsTheOrderAndBadIndicesDoNothing) {
    for (int32_t type : {88, 343, 89, 90})
        ASSERT_EQ(Take(type), 1);
    intptr_t harmful = 0;
    MV2SendToolCommand(craft, 5, 25, 0, &harmful);
    EXPECT_EQ(harmful, 1);
    for (intptr_t bad : {intptr_t(-1), intptr_t(40), intptr_t(4)})
        MV2SendToolCommand(craft, 5, 33, bad, nullptr);
    EXPECT_EQ(Held(), (std::vector<int32_t>{88, 343, 89, 90}));
    MV2SendToolCommand(craft, 5, 33, 1, nullptr);
    EXPECT_EQ(Held(), (std::vector<int32_t>{88, 89, 90}));
    EXPECT_EQ(d->count, 3);
    EXPECT_EQ(d->harmful, 0);
}

TEST_F(SuckUpTest, AHarmfulLoadDrainsEnergyUntilDelivery) {
    ASSERT_EQ(Take(343), 1);
    const float energy = craft->energy;
    Run(66);
    EXPECT_NEAR(craft->energy, energy - 2.0f * 0.02f, 1e-5f);
    EXPECT_EQ(MV2SendToolMessage(tool, 39, 1, 0), 0);
    EXPECT_EQ(d->count, 0);
    EXPECT_TRUE(Held().empty());
    const float after = craft->energy;
    Run(66);
    EXPECT_EQ(craft->energy, after);
}

TEST_F(SuckUpTest, LevelSevenHoldsFourAndItsGaugeCountsInQuarters) {
    gMV2Level.currentLevelId = 7u << 24;
    EXPECT_EQ(MV2SuckUpCapacity(), 4);
    ASSERT_EQ(Take(88), 1);
    EXPECT_EQ(GaugeLevel(), (255 / 4) | 256);
    for (int32_t i = 0; i < 2; ++i)
        ASSERT_EQ(Take(88), 1);
    const TvV3d nozzle = craft->matrix->pos;
    MV2ObjectRef near = Ref(Make(89, nozzle));
    Run(33);
    EXPECT_FALSE(Alive(near)) << "drawn in at the nozzle";
    EXPECT_EQ(Held().back(), 89);
    EXPECT_EQ(Heard("MGHATTACH"), 1);
    near = Ref(Make(89, nozzle));
    Run(33);
    EXPECT_TRUE(Alive(near)) << "a full hold sucks nothing more";
    MV2ToolIcon icon{};
    MV2SendToolMessage(tool, 57, 0, reinterpret_cast<intptr_t>(&icon));
    EXPECT_EQ(icon.sprite, 24);
    EXPECT_EQ(icon.colour, 0xFF0000u);
}

// The store's events reach every row listening for them, whatever owns the craft: each stored
// object (5), each of the 40 slots at an unload (0, 461 for an empty one) and the unload (1).
std::vector<std::pair<intptr_t, intptr_t>> gHeardEvents;

TEST_F(SuckUpTest, StoringAndUnloadingRaiseTheScriptEvents) {
    constexpr int32_t kRow = 20;
    gHeardEvents.clear();
    MV2SetMissionScriptForTest(kRow, [](MV2Object*, int32_t message, intptr_t a, intptr_t b) {
        if (message == kMV2ScriptEvent) gHeardEvents.push_back({a, b});
        return int32_t(1);
    });
    for (int32_t event : {0, 1, 5})
        MV2MissionInstallNotify(kRow, event);
    ASSERT_EQ(Take(88), 1);
    ASSERT_EQ(Take(90), 1);
    EXPECT_EQ(gHeardEvents, (std::vector<std::pair<intptr_t, intptr_t>>{{5, 88}, {5, 90}}));
    gHeardEvents.clear();
    MV2SendToolMessage(tool, 39, 0, 0);
    ASSERT_EQ(gHeardEvents.size(), size_t(kMV2SuckUpSlots + 1));
    EXPECT_EQ(gHeardEvents[0], std::make_pair(intptr_t(0), intptr_t(88)));
    EXPECT_EQ(gHeardEvents[1], std::make_pair(intptr_t(0), intptr_t(90)));
    EXPECT_EQ(gHeardEvents[2], std::make_pair(intptr_t(0), intptr_t(461)));
    EXPECT_EQ(gHeardEvents.back(), std::make_pair(intptr_t(1), intptr_t(0)));
    gHeardEvents.clear();
    MV2SendToolMessage(tool, 39, 0, 0);
    EXPECT_EQ(gHeardEvents.size(), size_t(kMV2SuckUpSlots)) << "an empty store: no event 1";
    MV2ClearScriptEvents();
    MV2SetMissionScriptForTest(kRow, nullptr);
}
