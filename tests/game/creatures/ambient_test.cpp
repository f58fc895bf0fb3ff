#include "tests/game/creatures/creature_fixture.h"

#include <set>

#include "game/creatures/ambient.h"
#include "game/objects/levels.h"
#include "game/objects/water.h"

namespace {

class AmbientTest : public CreatureTest {
protected:
    void TearDown() override {
        gMV2Level.currentLevelId = kMV2NoLevel;
        CreatureTest::TearDown();
    }
    MV2Object* Creature(int32_t type, TvV3d at = {0.0f, -10.0f, 0.0f}) {
        if (!MV2GetObjectType(type)->privateData) BodyType(type, sizeof(MV2AmbientCreature), 0.5f);
        const float p[3] = {at.x, at.y, at.z};
        return MV2CreateObject(type, p, nullptr);
    }
    // The types that 60 seeded picks at that depth in that world give.
    static std::set<int32_t> Picks(uint32_t world, float depth) {
        gMV2Level.currentLevelId = world << 24;
        TvRandomSeed(7);
        std::set<int32_t> types;
        for (int32_t i = 0; i < 60; ++i) {
            TvV3d at{0.0f, -depth, 0.0f};
            types.insert(MV2PickAmbientCreatureType(&at));
        }
        return types;
    }
};

} // namespace

TEST_F(AmbientTest, SpeciesPickByWorldAndDepth) {
    MV2SetWaterHeight(0.0f);
    struct Case {
        uint32_t world;
        float depth;
        std::set<int32_t> types;
    };
    const Case cases[] = {
        {0, 10.0f, {10, 11, 71, 72, 73}}, {0, 30.0f, {10, 11, 71, 73}}, // type 72 stays above 20
        {1, 10.0f, {170, 171, 172}},      {1, 30.0f, {461}},
        {2, 10.0f, {222, 223, 224, 225, 226, 227}}, {2, 2.0f, {461}},
        {3, 10.0f, {461}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Picks(c.world, c.depth), c.types) << c.world << " at " << c.depth;
    // The same seed gives the same picks.
    EXPECT_EQ(Picks(0, 10.0f), Picks(0, 10.0f));
}

TEST_F(AmbientTest, WorldZeroMarkersExcludeTheirSide) {
    MV2SetWaterHeight(0.0f);
    ModelType(5, 0.5f);
    struct Case {
        int32_t script;
        TvV3d marker;
    };
    const Case cases[] = {
        {0x40170, {0.0f, 0.0f, 0.0f}},   // above the spawn
        {0x40113, {0.0f, -50.0f, 5.0f}}, // beyond it in z
        {0x4016C, {0.0f, -50.0f, -5.0f}},
    };
    for (const Case& c : cases) {
        const float at[3] = {c.marker.x, c.marker.y, c.marker.z};
        MV2Object* marker = MV2CreateObject(5, at, nullptr);
        ASSERT_NE(marker, nullptr);
        MV2ObjectSendMessage(marker, 36, c.script, 0);
        EXPECT_EQ(Picks(0, 10.0f), std::set<int32_t>{461}) << std::hex << c.script;
        const TvV3d inside{0.0f, -10.0f, 0.0f};
        EXPECT_EQ(MV2IsOutsideAmbientArea(&inside), 1);
        gMV2Level.currentLevelId = 1u << 24; // other worlds have no area
        EXPECT_EQ(MV2IsOutsideAmbientArea(&inside), 0);
        MV2ObjectSendMessage(marker, 4, 1, 0);
    }
}

TEST_F(AmbientTest, PullsRankByKindAndKindZeroIsDropped) {
    MV2Object* fish = Creature(75);
    ASSERT_NE(fish, nullptr);
    EXPECT_EQ(fish->aiCategory, 5);
    MV2AmbientPull strong{{0.0f, 0.0f, 5.0f}, 3}, weak{{0.0f, 0.0f, 5.0f}, 1};
    MV2ObjectSendMessage(fish, 28, 0, reinterpret_cast<intptr_t>(&strong));
    MV2ObjectSendMessage(fish, 28, 0, reinterpret_cast<intptr_t>(&weak));
    void* extension = nullptr;
    MV2ObjectSendMessage(fish, 27, 0, reinterpret_cast<intptr_t>(&extension));
    EXPECT_EQ(extension, &strong);
    strong.kind = 0;
    MV2ObjectSendMessage(fish, 2, 0, 0);
    MV2ObjectSendMessage(fish, 27, 0, reinterpret_cast<intptr_t>(&extension));
    EXPECT_EQ(extension, nullptr);
}

TEST_F(AmbientTest, StunnedCreatureDoesNotSteerForFortySeconds) {
    MV2Object* fish = Creature(10);
    ASSERT_NE(fish, nullptr);
    EXPECT_EQ(MV2ObjectSendMessage(fish, 71, 0, 0), 1);
    auto* d = static_cast<MV2AmbientCreature*>(fish->privateData);
    for (int32_t frame = 0; frame < 40 * 30 - 1; ++frame) {
        MV2ObjectSendMessage(fish, 2, 0, 0);
        gMV2FrameTimer.frameClock += 33;
        ASSERT_EQ(d->state, kMV2AmbientStunned) << frame;
    }
    for (int32_t frame = 0; frame < 120; ++frame) {
        MV2ObjectSendMessage(fish, 2, 0, 0);
        gMV2FrameTimer.frameClock += 33;
    }
    EXPECT_NE(d->state, kMV2AmbientStunned);
}

TEST_F(AmbientTest, WreckPieces) {
    for (int32_t t = 105; t <= 119; ++t)
        ModelType(t, 0.2f);
    struct Case {
        int32_t type;
        float radius;
        int32_t pieces;
    };
    // Generic pieces: 2 large above radius 1.5, 2 middle above 1.0, always 3 small.
    const Case cases[] = {{10, 2.0f, 7}, {10, 1.2f, 5}, {147, 0.5f, 3}, {175, 2.0f, 0},
                          {185, 1.0f, 5}};
    for (const Case& c : cases) {
        MV2ObjectType* type = ModelType(c.type, c.radius);
        MV2Object* victim = MV2CreateObject(c.type, nullptr, nullptr);
        ASSERT_NE(victim, nullptr);
        (void)type;
        const int32_t before = CountClumps(TpWorldGetCurrent());
        MV2CreateDebris(victim);
        EXPECT_EQ(CountClumps(TpWorldGetCurrent()) - before, c.pieces) << c.type << " " << c.radius;
        MV2DestroyAllObjects();
    }
    // A piece lives 5 s.
    MV2Object* piece = MV2CreateObject(105, nullptr, nullptr);
    ASSERT_NE(piece, nullptr);
    const MV2ObjectHandle handle = piece->handle;
    gMV2FrameTimer.frameClock += 5000;
    MV2ObjectSendMessage(piece, 2, 0, 0);
    EXPECT_TRUE(MV2ObjectHandleAlive(handle));
    gMV2FrameTimer.frameClock += 1;
    MV2ObjectSendMessage(piece, 2, 0, 0);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
}
