// Burning wrecks shed a piece for every 0.3 energy lost, wrecks break into pieces, a wreck
// drains small creatures down to 0.5, and debris pieces expire or break on impact.
#include "game/missions/wrecks.h"

#include "game/creatures/ambient.h"
#include "tests/game/missions/levelobject_fixture.h"

namespace {

class WreckTest : public LevelObjectTest {
protected:
    void SetUp() override {
        LevelObjectTest::SetUp();
        for (int32_t t : {90, 91, 98})
            LevelType(t, sizeof(MV2WreckPieceData), {}, 0.2f, true);
    }
    MV2Object* Wreck(int32_t t, int32_t vertices, TvV3d at = {0, 0, 0}) {
        MV2ObjectType* type = t == 89 || t == 99 ? LevelType(t, sizeof(MV2WreckPieceData))
                                                 : LevelType(t, sizeof(MV2BurningWreckData));
        if (vertices) GiveVertices(type, vertices);
        return Make(t, at);
    }
    static int32_t Pieces() { return CountType(90) + CountType(91); }
};

} // namespace

TEST_F(WreckTest, BurningWreckThrowsAPiecePerPointThreeOfEnergyLost) {
    struct Case {
        int32_t type;
        int32_t extra; // pieces of 90 or 91 thrown with each piece of 98
    };
    for (const Case& c : {Case{88, 0}, Case{92, 1}, Case{101, 1}}) {
        SCOPED_TRACE(c.type);
        MV2Object* wreck = Wreck(c.type, 8);
        ASSERT_NE(wreck, nullptr);
        EXPECT_EQ(wreck->aiCategory, 3);
        EXPECT_EQ(wreck->type->words[7] & 0x800000u, 0u);
        EXPECT_NE(MV2LevelData<MV2BurningWreckData>(wreck)->light, nullptr);
        wreck->energy -= 1.0f;
        Step(wreck);
        EXPECT_EQ(CountType(98), 3); // 0.1 of the loss kept for later
        EXPECT_EQ(Pieces(), 3 * c.extra);
        wreck->energy -= 0.15f;
        Step(wreck);
        EXPECT_EQ(CountType(98), 3);
        wreck->energy -= 0.1f;
        Step(wreck);
        EXPECT_EQ(CountType(98), 4);
        // Pieces of 98 break on impact; the others do not.
        const float knock = 1.0f;
        for (MV2Object* piece : OfType(98))
            MV2ObjectSendMessage(piece, 18, 0, reinterpret_cast<intptr_t>(&knock));
        EXPECT_EQ(CountType(98), 0);
        for (MV2Object* piece : OfType(90))
            MV2ObjectSendMessage(piece, 18, 0, reinterpret_cast<intptr_t>(&knock));
        EXPECT_EQ(Pieces(), 4 * c.extra);
        MV2DestroyAllObjects();
    }
}

TEST_F(WreckTest, BurntOutWreckLeavesAHeavierWreckAndGoes) {
    LevelType(89, sizeof(MV2WreckPieceData), {}, 1.0f, true);
    MV2Object* wreck = Wreck(88, 40, {0, 3, 0});
    ASSERT_NE(wreck, nullptr);
    const MV2ObjectHandle handle = wreck->handle;
    wreck->energy = -1.0f;
    Step(wreck);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
    const std::vector<MV2Object*> left = OfType(89);
    ASSERT_EQ(left.size(), 1u);
    EXPECT_FLOAT_EQ(Pos(left[0]).y, 3.5f);
    EXPECT_FLOAT_EQ(left[0]->body->velocity.y, 0.25f);
    EXPECT_GT(CountType(91) + CountType(98), 0); // about a third of 40 vertices
    EXPECT_EQ(LevelSounds::Count("THORIUMSHAT2"), 1);
}

TEST_F(WreckTest, WreckBreaksIntoTwoOrThirtyEightPieces) {
    for (auto [type, pieces] : {std::pair{89, 2}, std::pair{99, 38}}) {
        SCOPED_TRACE(type);
        MV2Object* wreck = Wreck(type, 8);
        ASSERT_NE(wreck, nullptr);
        wreck->energy = -1.0f;
        Step(wreck);
        EXPECT_EQ(Pieces(), pieces);
        EXPECT_EQ(CountType(type), 0);
        MV2DestroyAllObjects();
    }
}

TEST_F(WreckTest, NoVerticesGivesNoPieces) {
    MV2ObjectType* type = LevelType(92, sizeof(MV2BurningWreckData));
    TpAtomicSetGeometry(MV2FindRootAtomic(type->model), nullptr, 0);
    MV2Object* wreck = Make(92);
    ASSERT_NE(wreck, nullptr);
    EXPECT_EQ(MV2SpawnWreckPiece(wreck, 98, nullptr), nullptr);
    wreck->energy -= 1.0f;
    Step(wreck);
    wreck->energy = -1.0f;
    Step(wreck);
    EXPECT_EQ(CountType(98) + Pieces(), 0);
    EXPECT_EQ(CountType(92), 0);
}

TEST_F(WreckTest, DrainedCreatureStopsAtHalfAndDies) {
    // A world of one leaf, whose sector holds the objects (at positive coordinates) for the
    // sphere query.
    TpWorld* leaf = MakeLeafWorld({{29, 29, 29}, {29, 29, 28}, {28, 29, 29}}, {{0, 0, 1, 2}});
    ASSERT_NE(leaf, nullptr);
    TV_ENGINE->worldLibrary = leaf;
    MV2World = leaf;
    LevelType(10, sizeof(MV2AmbientCreature), {}, 0.5f);
    MV2SetObjectTypeHandler(10, MV2AmbientCreatureHandler);
    MV2Object* creature = Make(10, {13, 10, 10});
    ASSERT_NE(creature, nullptr);
    creature->energy = 1.0f;
    MV2Object* wreck = Wreck(99, 8, {10, 10, 10});
    ASSERT_NE(wreck, nullptr);
    TvFrameSyncDirty();
    gMV2FrameTimer.ticks = 3.0f; // 0.1 s a frame
    for (int32_t i = 0; i < 4; i++)
        Step(wreck);
    EXPECT_NEAR(creature->energy, 0.6f, 1e-5f);
    EXPECT_EQ(creature->typeHandler, MV2AmbientCreatureHandler);
    Step(wreck);
    Step(wreck);
    EXPECT_FLOAT_EQ(creature->energy, 0.5f); // never drained below
    EXPECT_NE(creature->typeHandler, MV2AmbientCreatureHandler); // dying
    Step(wreck);
    EXPECT_FLOAT_EQ(creature->energy, 0.5f);
    MV2DestroyAllObjects();
    TV_ENGINE->worldLibrary = grid_.world;
    MV2World = TpWorldGetCurrent();
    TpWorldDestroy(leaf);
}

TEST_F(WreckTest, DebrisPieceLivesFortyFiveSecondsUnlessRenewed) {
    MV2Object* piece = Make(90);
    ASSERT_NE(piece, nullptr);
    MV2ObjectSendMessage(piece, 24, 1234, 0);
    EXPECT_EQ(MV2ObjectSendMessage(piece, 84, 0, 0), 1234);
    EXPECT_EQ(MV2ObjectSendMessage(piece, 70, 0, 0), 1);
    const MV2ObjectHandle handle = piece->handle;
    gMV2FrameTimer.frameClock += 44000;
    MV2ObjectSendMessage(piece, 63, 0, 0);
    gMV2FrameTimer.frameClock += 44000;
    Step(piece);
    EXPECT_TRUE(MV2ObjectHandleAlive(handle));
    gMV2FrameTimer.frameClock += 1000;
    Step(piece);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
}
