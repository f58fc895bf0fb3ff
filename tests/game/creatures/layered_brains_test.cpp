#include "tests/game/creatures/creature_fixture.h"

#include "game/creatures/carrier.h"
#include "game/creatures/drones.h"
#include "game/creatures/repairdrone.h"
#include "game/missions/scriptevents.h"

namespace {

// A craft whose SubAI brain has another brain laid over it (message 29).
MV2Object* WithBrain(MV2Object* craft, MV2ObjectHandler brain) {
    MV2ObjectSendMessage(craft, 29, 0, reinterpret_cast<intptr_t>(brain));
    return craft;
}

} // namespace

TEST_F(CreatureTest, CarrierHoldsTenCargoTypes) {
    MV2ObjectType* type = TaggedType(0, sizeof(MV2SubData), {7, 8, 400});
    type->subDefinition = MV2FindSubDefinition("SCOUT");
    MV2Object* carrier = MV2CreateObject(0, nullptr, nullptr);
    ASSERT_NE(carrier, nullptr);
    WithBrain(carrier, MV2CarrierBrain);
    auto* d = static_cast<MV2CarrierData*>(MV2GetLayeredData(carrier));
    ASSERT_NE(d, nullptr);
    for (int32_t i = 0; i < kMV2CarrierSlots; ++i) {
        intptr_t slot = -1;
        EXPECT_EQ(MV2ObjectSendMessage(carrier, 38, 100 + i, reinterpret_cast<intptr_t>(&slot)), 1);
        EXPECT_EQ(slot, i);
    }
    intptr_t slot = -1;
    EXPECT_EQ(MV2ObjectSendMessage(carrier, 38, 200, reinterpret_cast<intptr_t>(&slot)), 0);
    EXPECT_EQ(slot, -1);
    intptr_t count = 0;
    MV2ObjectSendMessage(carrier, 13, 0, reinterpret_cast<intptr_t>(&count));
    EXPECT_EQ(count, 10);
    MV2ObjectSendMessage(carrier, 54, 104, reinterpret_cast<intptr_t>(&slot));
    EXPECT_EQ(slot, 4);

    // A carrier model without its door and release frames gets no carrier data.
    MV2Object* plain = MakeSub(1);
    MV2ObjectSendMessage(plain, 29, 0, reinterpret_cast<intptr_t>(MV2CarrierBrain));
    EXPECT_EQ(MV2GetLayeredData(plain), nullptr);
}

TEST_F(CreatureTest, DroneStationCargoCounts) {
    BodyType(65, sizeof(MV2Drone));
    MV2Object* station = MV2CreateObject(65, nullptr, nullptr);
    ASSERT_NE(station, nullptr);
    intptr_t state = 0;
    MV2ObjectSendMessage(station, 37, 0, reinterpret_cast<intptr_t>(&state));
    EXPECT_EQ(state, kMV2DroneWaiting);
    struct Case {
        int32_t mode;
        intptr_t type;
        intptr_t count;
        int32_t left; // entries left
    };
    // Cargo: three of type 300, two of type 301.
    const Case cases[] = {{0, 300, 3, 2}, {1, 300, 3, 0}, {2, 300, 0, 0}, {3, 0, 5, 0}, {4, 0, 5, 0}};
    auto* d = static_cast<MV2Drone*>(station->privateData);
    for (const Case& c : cases) {
        for (int32_t i = 0; i < kMV2DroneCargo; ++i)
            d->cargo[i] = i < 3 ? 300 : i < 5 ? 301 : 461;
        d->cargoCount = 5;
        intptr_t io = c.type;
        MV2ObjectSendMessage(station, 34, c.mode, reinterpret_cast<intptr_t>(&io));
        EXPECT_EQ(io, c.count) << "mode " << c.mode;
        int32_t left = 0;
        for (uint16_t entry : d->cargo)
            left += entry != 461;
        EXPECT_EQ(left, c.left) << "mode " << c.mode;
    }
    // A pick-up needs a station waiting in state 7.
    MV2Object* craft = MakeSub(1);
    d->state = kMV2DroneHolding;
    EXPECT_EQ(MV2DronePickUp(station, craft), 0);
    d->state = kMV2DroneWaiting;
    EXPECT_EQ(MV2DronePickUp(station, craft), 1);
    EXPECT_EQ(craft->overrideHandler, MV2DroneCarryHandler);
    // Destroying the station during the pick-up gives the craft its brain back.
    MV2ObjectSendMessage(station, 4, 1, 0);
    EXPECT_NE(craft->overrideHandler, MV2DroneCarryHandler);
}

// A delivery marks the mission's wait slot that holds the delivered object, before the object
// is removed (its removal then frees the slot).
TEST_F(CreatureTest, DroneStationDeliveryMarksTheObjectsWaitSlot) {
    BodyType(65, sizeof(MV2Drone));
    MV2Object* station = MV2CreateObject(65, nullptr, nullptr);
    ASSERT_NE(station, nullptr);
    ModelType(300, 0.5f);
    static int32_t doneAtRemoval;
    doneAtRemoval = -1;
    MV2SetObjectTypeHandler(300, [](MV2Object* o, int32_t m, intptr_t p1, intptr_t p2) -> intptr_t {
        if (m == 4)
            doneAtRemoval = MV2MissionWaitSlotOp(reinterpret_cast<intptr_t>(o), kMV2WaitQuery);
        return MV2ObjectDefaultHandler(o, m, p1, p2);
    });
    const float at[3] = {0.0f, 1.0f, 0.0f};
    MV2Object* cargo = MV2CreateObject(300, at, nullptr);
    ASSERT_NE(cargo, nullptr);
    cargo->scriptId = 7;
    MV2ClearWaitSlots();
    ASSERT_EQ(MV2MissionWaitSlotOp(reinterpret_cast<intptr_t>(cargo), kMV2WaitAdd), 1);
    auto* d = static_cast<MV2Drone*>(station->privateData);
    d->state = kMV2DroneOpening;
    d->clawAngle = 0.0f;
    MV2SetObjectRef(&d->held, cargo);
    MV2ObjectSendMessage(station, 2, 0, 0);
    EXPECT_EQ(d->state, kMV2DroneWaiting);
    EXPECT_EQ(doneAtRemoval, 1);
    MV2ClearWaitSlots();
}

TEST_F(CreatureTest, DroneBrainCollisionsStayWithIt) {
    MV2Object* craft = WithBrain(MakeSub(1), MV2DroneBrain);
    MV2Object* cargo = MakeSub(1, {0.0f, -12.0f, 0.0f});
    ASSERT_NE(MV2GetLayeredData(craft), nullptr);
    EXPECT_EQ(MV2ObjectSendMessage(craft, 14, 0, reinterpret_cast<intptr_t>(cargo)), 1);
    EXPECT_EQ(MV2ObjectSendMessage(craft, 38, 0, reinterpret_cast<intptr_t>(cargo)), 1);
    EXPECT_EQ(MV2ObjectSendMessage(craft, 14, 0, reinterpret_cast<intptr_t>(cargo)), 0);
    MV2Object* released = nullptr;
    EXPECT_EQ(MV2ObjectSendMessage(craft, 39, 0, reinterpret_cast<intptr_t>(&released)), 1);
    EXPECT_EQ(released, cargo);
    EXPECT_EQ(MV2ObjectSendMessage(craft, 39, 0, reinterpret_cast<intptr_t>(&released)), 0);
}

TEST_F(CreatureTest, RepairRateByInitialEnergy) {
    ModelType(30, 0.5f);
    struct Case {
        float initial;
        float rate;
    };
    for (const Case& c : {Case{50.0f, 1.5f}, Case{200.0f, 3.0f}, Case{1000.0f, 6.0f}}) {
        MV2SetTypeFloat(MV2GetObjectType(30), 1, c.initial);
        const float at[3] = {0.0f, -10.0f, 3.0f};
        MV2Object* target = MV2CreateObject(30, at, nullptr);
        MV2Object* drone = WithBrain(MakeSub(1), MV2RepairDroneBrain);
        ASSERT_TRUE(target && drone);
        MV2SubAIOrderGoTo(drone, target, 1.0f);
        target->energy = 10.0f;
        MV2ObjectSendMessage(drone, 19, 0, reinterpret_cast<intptr_t>(target));
        gMV2FrameTimer.ticks = 30.0f; // one second
        MV2ObjectSendMessage(drone, 2, 0, 0);
        gMV2FrameTimer.ticks = 1.0f;
        EXPECT_FLOAT_EQ(target->energy, 10.0f + c.rate) << c.initial;
        // Repair stops exactly at the initial energy.
        target->energy = c.initial;
        MV2ObjectSendMessage(drone, 2, 0, 0);
        EXPECT_FLOAT_EQ(target->energy, c.initial);
        MV2DestroyAllObjects();
    }
}

TEST(RepairPanel, EntryState) {
    const uint32_t panel = 0xFF61BDFFu;
    gMV2FrameTimer.frameClock = 100000;
    struct Case {
        int32_t status, endIn, divisor, alarmAgo;
        int32_t number;
        uint32_t colour;
    };
    // The fade mixes toward white by (remaining & 1023) / 1023: 20,000 & 1023 = 544.
    const auto fade = [panel](int32_t remaining) {
        const float f = float(remaining & 1023) / 1023.0f;
        uint32_t c = 0xFF000000u;
        for (int32_t s = 0; s < 24; s += 8)
            c |= uint32_t(int32_t(float((panel >> s) & 255u) * (1.0f - f) + 255.0f * f)) << s;
        return c;
    };
    const Case cases[] = {
        {4, 60000, 1000, 5000, 0, panel},      // rescued: no number
        {1, 60000, 1000, 5000, 60, panel},     // waiting, far from its end
        {2, 60000, 0, 5000, 0, panel},         // a divisor of 0 shows 0
        {1, 60000, 1000, 10, 60, 0xFFFF0000u}, // alarm blink on
        {1, 60000, 1000, 200, 60, panel},      // alarm blink off
        {1, 60000, 1000, 1100, 60, panel},     // alarm over
        {1, 20000, 1000, 5000, 20, fade(20000)},
        {1, 30001, 1000, 5000, 30, panel},
        {1, -500, 1000, 5000, 0, panel}, // past its end: 0, no fade
    };
    for (const Case& c : cases) {
        MV2RepairDroneEntry e{};
        e.status = c.status;
        e.endTime = 100000 + c.endIn;
        e.divisor = c.divisor;
        e.alarmTime = 100000 - c.alarmAgo;
        int32_t number = -1;
        uint32_t colour = 0;
        MV2GetRepairDroneEntryState(&e, &number, &colour);
        EXPECT_EQ(number, c.number) << c.status << " " << c.endIn << " " << c.alarmAgo;
        EXPECT_EQ(colour, c.colour) << c.status << " " << c.endIn << " " << c.alarmAgo;
    }
    gMV2FrameTimer.frameClock = 0;
}
