// Breakable rocks: remnants of the next smaller kind, the chunk cap, chunk expiry and the
// floating rock's sinking into its plain kind.
#include "game/missions/rocks.h"

#include "tests/game/missions/levelobject_fixture.h"

namespace {

class RockTest : public LevelObjectTest {
protected:
    void SetUp() override {
        LevelObjectTest::SetUp();
        for (int32_t t : {5, 6, 7, 377, 128, 129, 130, 139, 140, 141}) {
            LevelType(t, sizeof(MV2RockData), {}, 1.0f, true);
            GiveVertices(MV2GetObjectType(t), 400);
        }
    }
};

TEST_F(RockTest, BrokenRocksLeaveTheNextKindAndFewChunks) {
    struct Case {
        int32_t type;
        int32_t remnant; // -1 none
        int32_t mostChunks;
    };
    const Case cases[] = {{5, 6, 3}, {6, 7, 2}, {7, -1, 2}, {377, -1, 2}};
    for (const Case& c : cases) {
        for (uint32_t seed = 1; seed <= 6; seed++) {
            MV2DestroyAllObjects();
            TvRandomSeed(seed);
            MV2Object* rock = Make(c.type, {0, 50, 0});
            ASSERT_NE(rock, nullptr);
            const MV2ObjectHandle handle = rock->handle;
            rock->energy = 0.0f;
            Step(rock);
            EXPECT_FALSE(MV2ObjectHandleAlive(handle)) << c.type;
            for (int32_t t : {6, 7})
                EXPECT_EQ(CountType(t), t == c.remnant ? 1 : 0) << c.type << " seed " << seed;
            const int32_t chunks = CountType(128) + CountType(129) + CountType(130);
            EXPECT_GE(chunks, 1) << c.type; // 400 vertices: a draw below 16 of 128 comes early
            EXPECT_LE(chunks, c.mostChunks) << c.type << " seed " << seed;
        }
    }
}

TEST_F(RockTest, RockWithEnergyOnlyFalls) {
    MV2Object* rock = Make(5, {0, 50, 0});
    ASSERT_NE(rock, nullptr);
    Step(rock);
    EXPECT_TRUE(MV2ObjectHandleAlive(rock->handle));
    EXPECT_EQ(CountType(6), 0);
    EXPECT_LT(rock->body->velocity.y, 0.0f); // gravity under water: 4 times
}

TEST_F(RockTest, ChunksLiveUntilTheirKeepTime) {
    MV2Object* chunk = Make(128);
    ASSERT_NE(chunk, nullptr);
    const MV2ObjectHandle handle = chunk->handle;
    MV2ObjectSendMessage(chunk, 24, 0, intptr_t(gMV2FrameTimer.frameClock + 100));
    intptr_t keep = 0;
    MV2ObjectSendMessage(chunk, 25, 0, intptr_t(&keep));
    EXPECT_EQ(keep, intptr_t(gMV2FrameTimer.frameClock + 100));
    Step(chunk, 100);
    EXPECT_TRUE(MV2ObjectHandleAlive(handle));
    Step(chunk, 1);
    EXPECT_TRUE(MV2ObjectHandleAlive(handle)); // now == keep: not yet earlier
    Step(chunk);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
}

TEST_F(RockTest, FloatingRockTurnsIntoItsPlainKindDeepDown) {
    MV2Object* rock = Make(140, {0, 97, 0}); // 3 below the surface
    ASSERT_NE(rock, nullptr);
    const MV2ObjectHandle handle = rock->handle;
    Step(rock);
    EXPECT_TRUE(MV2ObjectHandleAlive(handle));
    rock->matrix->pos.y = 95.5f;
    rock->body->velocity = {0.1f, -0.2f, 0.0f};
    Step(rock);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
    ASSERT_EQ(CountType(6), 1);
    MV2Object* plain = OfType(6)[0];
    EXPECT_FLOAT_EQ(plain->body->velocity.x, 0.1f);
    EXPECT_FLOAT_EQ(Pos(plain).y, 95.5f);
}

TEST_F(RockTest, RockSoundsWhenThePlayerTouchesIt) {
    MV2Object* rock = Make(5, {0, 1, 0});
    MV2Object* other = Make(7, {0, 3, 0});
    ASSERT_TRUE(rock && other);
    MV2ObjectSendMessage(rock, 14, 0, intptr_t(other));
    EXPECT_EQ(LevelSounds::Count("ROCKLANDCOLLISION"), 0);
    MV2SetPlayerObject(other);
    MV2ObjectSendMessage(rock, 14, 0, intptr_t(other));
    EXPECT_EQ(LevelSounds::Count("ROCKLANDCOLLISION"), 1);
}

} // namespace
