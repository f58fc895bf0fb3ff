#include "shell/gamestate.h"
#include "tests/game/creatures/creature_fixture.h"

namespace {

float Float(MV2Object* o, int32_t message, float amount, intptr_t p1 = 0) {
    MV2ObjectSendMessage(o, message, p1, reinterpret_cast<intptr_t>(&amount));
    return amount;
}

} // namespace

TEST_F(CreatureTest, SubmarineControlMessages) {
    struct Case {
        const char* what;
        int32_t gameType;
        int32_t message;
        float amount;
        int32_t repeat;
        float MV2SubData::*field;
        float expected;
    };
    const Case cases[] = {
        // acceleration 0.02 x 100 x 1 per message; capped at the maximum speed 0.1 in type 2.
        {"thrust capped at the maximum speed in game type 2", 2, 5, 100.0f, 3,
         &MV2SubData::thrust, 0.1f},
        {"thrust capped at twice it otherwise", 3, 5, 100.0f, 3, &MV2SubData::thrust, 0.2f},
        {"thrust raised to the minimum thrust", 2, 5, -100.0f, 3, &MV2SubData::thrust, -0.05f},
        {"yaw 1.0 gives 0.04", 2, 7, 1.0f, 1, &MV2SubData::yawRate, 0.04f},
        {"strafe limited in game type 2", 2, 81, -100.0f, 3, &MV2SubData::strafe, 0.05f},
        {"strafe limited in game type 4", 4, 81, -100.0f, 3, &MV2SubData::strafe, 0.075f},
        {"strafe the other way", 4, 81, 100.0f, 3, &MV2SubData::strafe, -0.075f},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        gMV2GameType = 2;
        MV2Object* sub = MakeSub(1);
        ASSERT_NE(sub, nullptr);
        gMV2GameType = c.gameType;
        for (int32_t i = 0; i < c.repeat; ++i)
            Float(sub, c.message, c.amount);
        EXPECT_FLOAT_EQ(Sub(sub)->*c.field, c.expected);
        MV2ObjectSendMessage(sub, 4, 1, 0);
    }
    MV2Object* sub = MakeSub(1);
    intptr_t size = 0;
    MV2ObjectSendMessage(sub, 96, 0, reinterpret_cast<intptr_t>(&size));
    EXPECT_EQ(size, intptr_t(sizeof(MV2SubData)));
}

TEST_F(CreatureTest, WeaponGroupTwentySteps) {
    MV2Object* sub = MakeSub(1);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(MV2ObjectSendMessage(sub, 21, 26, 0), 1);
    EXPECT_EQ(MV2ObjectSendMessage(sub, 21, 3, 0), 1);
    ASSERT_EQ(Sub(sub)->weapons.currentWeaponSlot, 3);
    EXPECT_EQ(MV2ObjectSendMessage(sub, 26, 20, 0), 1); // 16 missing, 26 next
    EXPECT_EQ(Sub(sub)->weapons.currentWeaponSlot, 26);
    EXPECT_EQ(MV2ObjectSendMessage(sub, 26, 24, 0), 0); // slot 10 missing
    EXPECT_EQ(MV2ObjectSendMessage(sub, 26, 57, 0), 0);
    EXPECT_EQ(Sub(sub)->weapons.currentWeaponSlot, 26);
}

TEST_F(CreatureTest, TypeZeroSubGetsItsSubAIDataAfterCreation) {
    MV2Object* sub = MakeSub(0);
    ASSERT_NE(sub, nullptr);
    EXPECT_EQ(sub->overrideHandler, MV2SubAIBrain);
    EXPECT_EQ(sub->aiCategory, 6);
    MV2SubAIData* data = MV2GetSubAIData(sub);
    ASSERT_NE(data, nullptr);
    EXPECT_FLOAT_EQ(data->factor, 1.0f);
    EXPECT_FLOAT_EQ(data->wayPointRadius, 5.0f);
    EXPECT_EQ(data->depth, 0);
    // Designated as a mission craft, its record carries the mark.
    EXPECT_EQ(data->designated, 0);
    EXPECT_EQ(MV2SetMissionObjectA(sub), data);
    EXPECT_EQ(data->designated, 1);
    gMV2StateMachine.craft[0] = MV2MissionCraft{};
}

TEST_F(CreatureTest, NoBrainDataReadsNull) {
    ModelType(5);
    MV2Object* plain = MV2CreateObject(5, nullptr, nullptr);
    ASSERT_NE(plain, nullptr);
    EXPECT_EQ(MV2GetSubAIData(plain), nullptr);
    EXPECT_EQ(MV2SubAIGetCommand(plain), nullptr);
    MV2SubAIOrderAttack(plain, plain, 1); // nothing happens
    EXPECT_EQ(MV2SubAIFindCommand(plain, 1), 0);
}

TEST_F(CreatureTest, StunDartSticksToNeitherOwnerNorDartAndExpires) {
    BodyType(94, sizeof(MV2StunDartData), 0.2f);
    MV2Object* owner = MakeSub(1);
    MV2Object* dart = MV2CreateObject(94, nullptr, nullptr);
    MV2Object* other = MV2CreateObject(94, nullptr, nullptr);
    ASSERT_TRUE(dart && other && owner);
    MV2ObjectSendMessage(dart, 15, 0, reinterpret_cast<intptr_t>(owner));
    MV2Object* reported = nullptr;
    MV2ObjectSendMessage(dart, 16, 0, reinterpret_cast<intptr_t>(&reported));
    EXPECT_EQ(reported, owner);
    EXPECT_EQ(MV2ObjectSendMessage(dart, 14, 0, reinterpret_cast<intptr_t>(owner)), 0);
    EXPECT_EQ(MV2ObjectSendMessage(dart, 14, 0, reinterpret_cast<intptr_t>(other)), 0);
    auto* d = static_cast<MV2StunDartData*>(dart->privateData);
    EXPECT_EQ(d->stuckTo.object, nullptr);

    const MV2ObjectHandle handle = dart->handle;
    gMV2FrameTimer.frameClock = 1000 + 10000;
    MV2ObjectSendMessage(dart, 2, 0, 0);
    EXPECT_TRUE(MV2ObjectHandleAlive(handle)); // at 10 s exactly it still flies
    gMV2FrameTimer.frameClock = 1000 + 10001;
    MV2ObjectSendMessage(dart, 2, 0, 0);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
}

TEST_F(CreatureTest, EngineSoundLevelWithoutSpeedIsTheBase) {
    SubRecordSpec still;
    still.name = "STILL";
    still.maxSpeed = 0.0f;
    still.soundBase = -1234;
    still.soundMax = 0;
    const std::vector<uint8_t> bytes = SubsFileBytes(1, {still});
    ASSERT_EQ(MV2ParseSubDefinitions(bytes.data(), bytes.size()), 1);
    MV2ObjectType* type = BodyType(1, sizeof(MV2SubData));
    type->subDefinition = MV2FindSubDefinition("STILL");
    MV2Object* sub = MV2CreateObject(1, nullptr, nullptr);
    ASSERT_NE(sub, nullptr);
    Float(sub, 7, 1.0f);
    MV2ObjectSendMessage(sub, 2, 0, 0); // no division by the zero speed
    EXPECT_TRUE(std::isfinite(Sub(sub)->yawRate));
}

TEST_F(CreatureTest, SinkingWreckWithoutVerticesMakesNoBursts) {
    MV2ObjectType* type = BodyType(4, sizeof(MV2SubData));
    type->subDefinition = MV2FindSubDefinition("SCOUT");
    // A model whose root geometry has no vertices.
    TpClump* empty = TpClumpCreate();
    TvFrame* frame = TvFrameCreate();
    TpClumpSetFrame(empty, frame);
    TpGeometry* geometry = TpGeometryCreate(0, 0, 0);
    ASSERT_NE(geometry, nullptr);
    TpAtomic* atomic = TpAtomicCreate();
    TpAtomicSetGeometry(atomic, geometry, 0);
    TpGeometryDestroy(geometry);
    TpAtomicSetFrame(atomic, frame);
    TpClumpAddAtomic(empty, atomic);
    TpClumpDestroy(type->model);
    type->model = empty;
    MV2Object* wreck = MV2CreateObject(4, nullptr, nullptr);
    ASSERT_NE(wreck, nullptr);
    wreck->energy = -1.0f;
    MV2ObjectSendMessage(wreck, 2, 0, 0);
    EXPECT_EQ(wreck->typeHandler, MV2SinkingWreckHandler);
    EXPECT_FLOAT_EQ(wreck->energy, 0.001f);
    for (int32_t i = 0; i < 10; ++i)
        Frame(wreck);
    EXPECT_EQ(Sub(wreck)->wreckVertex, 0);
    gMV2FrameTimer.frameClock += 16000;
    Frame(wreck);
    EXPECT_FLOAT_EQ(wreck->energy, 0.001f);
}
