// The generator's death, the destructible machine's bursts and wreckage, and the reactor core.
#include "game/missions/generator.h"

#include "game/missions/lightobject.h"
#include "tests/game/missions/levelobject_fixture.h"

namespace {

struct Deaths {
    static inline int32_t count = 0;
    static void Record(MV2Object*, int32_t) { count++; }
};

class GeneratorTest : public LevelObjectTest {
protected:
    void SetUp() override {
        LevelObjectTest::SetUp();
        Deaths::count = 0;
        LevelType(69, sizeof(MV2LightObjectData));
        MV2SetObjectTypeHandler(69, MV2LightObjectHandler);
    }
    static intptr_t Callback() { return reinterpret_cast<intptr_t>(&Deaths::Record); }
};

TEST_F(GeneratorTest, GeneratorDiesOnce) {
    LevelType(238, 0, {2, 3, 5});
    MV2Object* gen = Make(238, {0, 2, 0});
    ASSERT_NE(gen, nullptr);
    MV2ObjectSendMessage(gen, 12, 0, Callback());
    MV2Object* spark = MV2GetObjectRef(&MV2GetGeneratorState()->spark);
    ASSERT_NE(spark, nullptr);
    const MV2ObjectHandle sparkHandle = spark->handle;
    Step(gen, 700); // before the first 600 ms: the spark stays
    EXPECT_EQ(MV2GetGeneratorState()->state, 1u);
    Step(gen, 0);
    EXPECT_EQ(MV2GetGeneratorState()->state, 2u); // it jumped to pole 3
    const float damage = 200.0f;
    MV2ObjectSendMessage(gen, 65, 0, intptr_t(&damage));
    EXPECT_LT(gen->energy, 0.0f);
    for (int32_t i = 0; i < 10; i++)
        Step(gen, 700);
    EXPECT_EQ(Deaths::count, 1);
    EXPECT_FALSE(MV2ObjectHandleAlive(sparkHandle));
    EXPECT_TRUE(MV2ObjectHandleAlive(gen->handle)); // it stays, dead
    TpAtomic* part = MV2FindAtomicByTag(gen->clump, 5);
    EXPECT_EQ(part->object.object.flags, 4u);
}

TEST_F(GeneratorTest, MachineBurstsTwentyFiveTimesThenTurnsToWreckage) {
    LevelType(250, sizeof(MV2DestructibleMachineData));
    LevelType(402, 0);
    MV2Object* machine = Make(250, {0, 2, 0});
    ASSERT_NE(machine, nullptr);
    MV2ObjectSendMessage(machine, 12, 0, Callback());
    const MV2ObjectHandle handle = machine->handle;
    machine->energy = -1.0f;
    const uint32_t death = gMV2FrameTimer.frameClock;
    uint32_t gone = 0;
    for (int32_t i = 0; i < 400 && !gone; i++) {
        Step(machine, 20);
        if (!MV2ObjectHandleAlive(handle)) gone = gMV2FrameTimer.frameClock - 20 - death;
    }
    EXPECT_EQ(gone, 5200u);
    EXPECT_EQ(Deaths::count, 1);
    EXPECT_EQ(CountType(402), 1);
}

TEST_F(GeneratorTest, ReactorSpinsFasterAndGrowsWithDamage) {
    LevelType(246, 0);
    MV2Object* reactor = Make(246);
    ASSERT_NE(reactor, nullptr);
    EXPECT_FLOAT_EQ(reactor->radius, 25.0f);
    reactor->energy -= 10.0f;
    Step(reactor);
    EXPECT_FLOAT_EQ(reactor->radius, 35.0f);
    MV2ObjectSendMessage(reactor, 12, 0, Callback());
    reactor->energy = -1.0f;
    Step(reactor);
    Step(reactor);
    EXPECT_EQ(Deaths::count, 1);
}

} // namespace
