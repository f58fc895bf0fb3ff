// Object spawner: the count clamp of its level data, the spawn with the parameter handed on,
// two deaths replaced together one delay after the first was noticed, an empty spawner and the
// game modes and types in which spawners stand still.
#include "game/missions/spawner.h"

#include <cstring>

#include "game/missions/leveldevices.h"
#include "shell/gameinit.h"
#include "shell/gamestate.h"
#include "tests/game/missions/levelobject_fixture.h"

namespace {

float gHandedOn = 0.0f;

intptr_t RecordingHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 79 && p2) std::memcpy(&gHandedOn, reinterpret_cast<const void*>(p2), 4);
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

class SpawnerTest : public LevelObjectTest {
protected:
    void SetUp() override {
        LevelObjectTest::SetUp();
        MV2RegisterLevelDeviceHandlers();
        LevelType(kMV2SpawnerType, sizeof(MV2SpawnerData));
        LevelType(2, 0);
        MV2SetObjectTypeHandler(2, RecordingHandler);
        gMV2GameType = 2;
        gMV2GameState.current = 0;
        gMV2SpawnersEnabled = 0;
    }
    void TearDown() override {
        gMV2GameType = 0;
        LevelObjectTest::TearDown();
    }
    MV2Object* Spawner(int32_t count, uint32_t delay = 5000, float parameter = 2.5f) {
        MV2Object* s = Make(kMV2SpawnerType, {1, 2, 3});
        uint32_t bits;
        std::memcpy(&bits, &parameter, 4);
        EXPECT_EQ(MV2SetSpawnerLevelData(s, 2, delay, count, bits), 1);
        MV2ObjectSendMessage(s, 24, 0, 0);
        return s;
    }
    static MV2SpawnerData* Data(MV2Object* s) { return static_cast<MV2SpawnerData*>(s->privateData); }
    // Runs the spawner's updates every 100 ms up to `ms` from now.
    static void RunFor(MV2Object* s, uint32_t ms) {
        for (uint32_t t = 0; t < ms; t += 100)
            Step(s, 100);
    }
};

} // namespace

TEST_F(SpawnerTest, CountIsClampedAndOnlySpawnersTakeLevelData) {
    MV2Object* s = Make(kMV2SpawnerType);
    const int32_t counts[][2] = {{99, 30}, {30, 30}, {-4, 0}, {3, 3}};
    for (const auto& c : counts) {
        EXPECT_EQ(MV2SetSpawnerLevelData(s, 2, 100, c[0], 0), 1);
        EXPECT_EQ(Data(s)->count, c[1]) << c[0];
    }
    EXPECT_EQ(MV2SetSpawnerLevelData(Make(2), 2, 100, 3, 0), 0);
    EXPECT_EQ(MV2SetSpawnerLevelData(nullptr, 2, 100, 3, 0), 0);
}

TEST_F(SpawnerTest, SpawnsAroundItselfAndHandsTheParameterOn) {
    gHandedOn = 0.0f;
    Spawner(30, 5000, 2.5f);
    const std::vector<MV2Object*> spawned = OfType(2);
    ASSERT_EQ(spawned.size(), 30u);
    for (MV2Object* o : spawned)
        EXPECT_NEAR(MV2Length(TvV3dSub(Pos(o), TvV3d{1, 2, 3})), 0.1f, 1e-4f);
    EXPECT_FLOAT_EQ(gHandedOn, 2.5f);
}

TEST_F(SpawnerTest, TwoDeathsAreReplacedTogether) {
    MV2Object* s = Spawner(3);
    RunFor(s, 5200); // the first pass after the spawn finds nothing missing
    EXPECT_EQ(Data(s)->pending, 0u);
    MV2Object* first = Data(s)->slots[0].object;
    MV2ObjectSendMessage(first, 4, 0, 0);
    Step(s, 100);
    const uint32_t noticed = gMV2FrameTimer.frameClock - 100;
    EXPECT_EQ(Data(s)->pending, 1u);
    EXPECT_EQ(Data(s)->nextTime, noticed + 5000);
    RunFor(s, 1000);
    MV2ObjectSendMessage(Data(s)->slots[1].object, 4, 0, 0);
    while (int32_t(gMV2FrameTimer.frameClock - (noticed + 5000)) < 0) {
        Step(s, 100);
        EXPECT_EQ(CountType(2), 1);
    }
    Step(s, 100);
    EXPECT_EQ(CountType(2), 3); // both back at once
    EXPECT_EQ(Data(s)->pending, 0u);
}

TEST_F(SpawnerTest, StandsStillWhenEmptyFrozenOrOutsideALevel) {
    MV2Object* empty = Spawner(0);
    RunFor(empty, 5200);
    EXPECT_EQ(Data(empty)->pending, 0u);
    RunFor(empty, 20000);
    EXPECT_EQ(Data(empty)->pending, 0u);
    EXPECT_EQ(CountType(2), 0);

    struct Case {
        int8_t mode;
        int32_t gameType;
        int32_t enabled;
        bool runs;
    } cases[] = {{12, 2, 0, false}, {0, 3, 0, false}, {0, 3, 1, true}, {12, 3, 1, false}};
    for (const Case& c : cases) {
        MV2DestroyAllObjects();
        MV2Object* s = Spawner(2, 500);
        RunFor(s, 700);
        MV2ObjectSendMessage(Data(s)->slots[0].object, 4, 0, 0);
        gMV2GameState.current = c.mode;
        gMV2GameType = c.gameType;
        gMV2SpawnersEnabled = c.enabled;
        RunFor(s, 1500);
        EXPECT_EQ(CountType(2), c.runs ? 2 : 1) << int32_t(c.mode) << " " << c.gameType;
        gMV2GameState.current = 0;
        gMV2GameType = 2;
        gMV2SpawnersEnabled = 0;
    }
}
