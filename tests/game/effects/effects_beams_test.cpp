// Beams and electric arcs.
#include "tests/game/effects/effects_fixture.h"

#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"

namespace {

constexpr int32_t kTargetType = 60;

// The hit-sound object as the beams see it: created by type, invisible to rays.
intptr_t SoundSourceStandIn(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    const intptr_t result = MV2ObjectDefaultHandler(object, message, p1, p2);
    if (message == 3) MV2SetAllAtomicFlags(object->clump, 0);
    return result;
}

class BeamTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        ASSERT_EQ(MV2InitialiseBeams(), 1);
        ASSERT_EQ(MV2InitialiseExplosions(), 1);
        ASSERT_EQ(MV2InitialiseScorches(), 1);
        ASSERT_EQ(MV2InitialiseElectricArcs(), 1);
        // A square facing the beams both ways, so that rays meet its triangles.
        MV2ObjectType* target = MV2GetObjectType(kTargetType);
        target->model = ListedClump({{-1, -1, 0}, {1, -1, 0}, {-1, 1, 0}, {1, 1, 0}},
                                    {{0, 1, 2}, {2, 1, 3}, {0, 2, 1}, {2, 3, 1}});
        target->words[7] = kMV2TypeModelLoaded | kMV2TypeCanDie;
        target->words[30] = 0xFFFF;
        MV2SetTypeFloat(target, 1, 100.0f);
        MV2SetTypeFloat(target, 10, 1.0f);
        MV2SetObjectTypeHandler(kTargetType, MV2ObjectDefaultHandler);
        HandledType(kMV2SoundSourceType, SoundSourceStandIn, 0, 0.01f);
    }
    void TearDown() override {
        MV2ResetBeams();
        MV2ClearElectricArcs();
        MV2ResetExplosions();
        MV2ShutdownExplosions();
        MV2ShutdownScorches();
        EffectsTest::TearDown();
    }
    static int32_t Explosions() {
        int32_t n = 0;
        for (MV2Explosion* e = MV2FirstExplosion(); e; e = MV2NextExplosion(e))
            n++;
        return n;
    }
};

} // namespace

TEST_F(BeamTest, PoolOfAHundredWithRunningIds) {
    const float a[3] = {15, 15, 5}, b[3] = {15, 15, 8};
    const uint32_t first = MV2CreateBeam(a, b, 0.1f, 2, 0x18);
    ASSERT_NE(first, 0u);
    for (int32_t i = 1; i < kMV2Beams; i++)
        EXPECT_EQ(MV2CreateBeam(a, b, 0.1f, 2, 0x18), first + uint32_t(i));
    EXPECT_EQ(MV2CreateBeam(a, b, 0.1f, 2, 0x18), 0u); // the 101st
    EXPECT_EQ(MV2CreateBeam(nullptr, b, 0.1f, 2, 0x18), 0u);
    EXPECT_EQ(MV2BeamExists(0), 0);
    EXPECT_EQ(MV2BeamExists(first + 5), 1);
    MV2RemoveBeam(first + 5);
    EXPECT_EQ(MV2BeamExists(first + 5), 0);
    // The id runs on past a reset: never handed out twice.
    MV2ResetBeams();
    EXPECT_EQ(MV2CreateBeam(a, b, 0.1f, 2, 0x18), first + uint32_t(kMV2Beams));
}

TEST_F(BeamTest, OneFrameBeamLivesOneUpdateAndPointEndsAreReadEachFrame) {
    TvV3d start = Rel(0, 0, 5), end = Rel(0, 0, 8);
    const uint32_t once = MV2CreateBeam(&start, &end, 0.1f, 2, 0x218 | 0x1);
    const uint32_t kept = MV2CreateBeam(&start, &end, 0.1f, 2, 0x60);
    MV2UpdateBeams();
    EXPECT_EQ(MV2BeamExists(once), 0);
    ASSERT_EQ(MV2BeamExists(kept), 1);
    end = Rel(1, 0, 9);
    MV2UpdateBeams();
    EXPECT_EQ(MV2FirstBeam()->endPoint.x, end.x);
    EXPECT_EQ(MV2FirstBeam()->endPoint.z, end.z);
}

TEST_F(BeamTest, HitEffectsAtMostEvery200MsWhileDamageRunsEveryFrame) {
    MV2Object* target = Make(kTargetType, Rel(0, 0, 10));
    ASSERT_NE(target, nullptr);
    const float energy = target->energy;
    const TvV3d start = Rel(0, 0, 2);
    const uint32_t id = MV2CreateBeam(&start, target, 0.06f, 2, 0x0C);
    ASSERT_NE(id, 0u);
    int32_t updates = 0;
    for (int32_t frame = 0; frame < 12; frame++) { // 12 x 33 ms
        NextFrame(33);
        MV2UpdateBeams();
        updates++;
    }
    // Damage: frame seconds x width x 500 = 1.0 each update.
    EXPECT_NEAR(target->energy, energy - float(updates), 1e-3f);
    // 396 ms: the first at once, the next after 200 ms.
    EXPECT_EQ(Explosions(), 2);
    EXPECT_NEAR(MV2FirstBeam()->endPoint.z, 10.0f, 1e-3f); // stopped at the square
}

TEST_F(BeamTest, HitSoundFollowsTheHitAndGoesWithTheTargetsDeath) {
    MV2Object* target = Make(kTargetType, Rel(0, 0, 10));
    ASSERT_NE(target, nullptr);
    const TvV3d start = Rel(0, 0, 2);
    const uint32_t id = MV2CreateBeam(&start, target, 0.05f, 2, 0x10C);
    ASSERT_NE(id, 0u);
    MV2Beam* beam = MV2FirstBeam();
    ASSERT_NE(beam->hitSound, nullptr);
    const uint32_t sound = beam->hitSoundHandle;
    EXPECT_EQ(MV2ObjectHandleAlive(sound), 1);
    EXPECT_NEAR(beam->hitSound->matrix->pos.z, beam->endPoint.z, 1e-4f);
    MV2ObjectSendMessage(target, 4, 0, 0);
    MV2UpdateBeams();
    EXPECT_EQ(MV2BeamExists(id), 0);
    EXPECT_EQ(MV2ObjectHandleAlive(sound), 0);
}

TEST_F(BeamTest, HitSoundComesAndGoesWithWhatBlocksTheWay) {
    const TvV3d start = Rel(0, 0, 2), end = Rel(0, 0, 14);
    const uint32_t id = MV2CreateBeam(&start, &end, 0.05f, 2, 0x11C);
    ASSERT_NE(id, 0u);
    EXPECT_EQ(MV2FirstBeam()->hitSound, nullptr);
    EXPECT_EQ(MV2FirstBeam()->endPoint.z, end.z);
    MV2Object* blocker = Make(kTargetType, Rel(0, 0, 8));
    MV2UpdateBeams();
    ASSERT_NE(MV2FirstBeam()->hitSound, nullptr);
    const uint32_t sound = MV2FirstBeam()->hitSoundHandle;
    EXPECT_EQ(MV2ObjectHandleAlive(sound), 1);
    // The blocker moves: the sound object follows the hit point.
    blocker->matrix->pos.z = 9.0f;
    TvFrameUpdateObjects(blocker->clump->frame);
    TvFrameSyncDirty();
    MV2UpdateBeams();
    EXPECT_NEAR(MV2FirstBeam()->hitSound->matrix->pos.z, 9.0f, 1e-3f);
    MV2ObjectSendMessage(blocker, 4, 0, 0);
    MV2UpdateBeams();
    EXPECT_EQ(MV2FirstBeam()->hitSound, nullptr);
    EXPECT_EQ(MV2ObjectHandleAlive(sound), 0);
    EXPECT_EQ(MV2FirstBeam()->endPoint.z, end.z);
}

TEST_F(BeamTest, RibbonAndGlowIndexListsAndColours) {
    const uint16_t* r = MV2BeamRibbonIndices();
    EXPECT_EQ((std::array<uint16_t, 6>{r[0], r[1], r[2], r[9], r[10], r[11]}),
              (std::array<uint16_t, 6>{45, 1, 0, 45, 4, 3}));
    // Rows 0 and 1, i = 0: (0, 1, 5) and (5, 1, 6); the last four at the end cap.
    EXPECT_EQ((std::array<uint16_t, 6>{r[12], r[13], r[14], r[15], r[16], r[17]}),
              (std::array<uint16_t, 6>{0, 1, 5, 5, 1, 6}));
    EXPECT_EQ((std::array<uint16_t, 3>{r[213], r[214], r[215]}),
              (std::array<uint16_t, 3>{46, 43, 44}));
    const uint16_t* g = MV2BeamGlowIndices();
    EXPECT_EQ(g[0], 0);
    EXPECT_EQ(g[13], 13);
    EXPECT_EQ(g[14], 1);

    const TvV3d a = Rel(0, 0, 0.5f), b = Rel(0, 0, 45); // the far half beyond the far distance
    ASSERT_NE(MV2CreateBeam(&a, &b, 0.1f, 3, 0x63), 0u);
    recorder_.calls.clear();
    MV2DrawBeams();
    const auto drawn = recorder_.Of(Im3DCall::kIndexed);
    ASSERT_EQ(drawn.size(), 3u);
    EXPECT_EQ(drawn[0]->type, kTvPrimitiveTriangleList);
    EXPECT_EQ(drawn[0]->indices.size(), size_t(kMV2BeamRibbonIndices));
    ASSERT_EQ(drawn[0]->vertices.size(), size_t(kMV2BeamRibbonVertices));
    const auto& v = drawn[0]->vertices;
    const float bright = MV2FirstBeam()->brightness;
    EXPECT_EQ(v[2].green, 255); // kind 3's centre colour
    EXPECT_EQ(v[2].red, 160);
    EXPECT_NEAR(v[2].alpha, 255.0f * bright, 1.0f); // at the camera: no fade
    EXPECT_EQ(v[0].alpha, 0);                        // the outer edge
    EXPECT_EQ(v[45].alpha, 0);
    EXPECT_EQ(v[42].alpha, 0); // the last row lies beyond the far distance
    for (int32_t i = 1; i < 3; i++) {
        EXPECT_EQ(drawn[i]->type, kTvPrimitiveTriangleFan);
        EXPECT_EQ(drawn[i]->indices.size(), size_t(kMV2BeamGlowIndices));
        EXPECT_EQ(drawn[i]->vertices.size(), size_t(kMV2BeamGlowVertices));
        EXPECT_EQ(drawn[i]->vertices[5].alpha, 0);
    }
    EXPECT_EQ(recorder_.State(kTvRenderStateSrcBlend), 5);
    EXPECT_EQ(recorder_.State(kTvRenderStateDestBlend), 2);
}

// ---- Electric arcs ----

TEST_F(BeamTest, TenArcSlotsAndTheirIds) {
    const TvV3d a = Rel(0, 3, 10), b = Rel(0, -3, 10);
    for (uint32_t i = 1; i <= 10; i++)
        EXPECT_EQ(MV2CreateElectricArc(&a, &b, 0x26), i);
    EXPECT_EQ(MV2CreateElectricArc(&a, &b, 0x26), 0u); // the 11th
    // Ids outside 1..10 do nothing.
    for (uint32_t bad : {0u, 11u}) {
        MV2HideElectricArc(bad);
        MV2DestroyElectricArc(bad);
    }
    for (uint32_t i = 1; i <= 10; i++)
        EXPECT_EQ(MV2GetElectricArc(i)->flags & 0x7000u, 0x7000u);
    // A slot freed before the cursor is found again; the most recent one first.
    MV2DestroyElectricArc(3);
    EXPECT_EQ(MV2CreateElectricArc(&a, &b, 0x26), 3u);
    MV2DestroyElectricArc(10);
    EXPECT_EQ(MV2CreateElectricArc(&a, &b, 0x26), 10u);
    MV2HideElectricArc(4);
    EXPECT_EQ(MV2GetElectricArc(4)->flags & kMV2ArcShown, 0u);
    MV2ShowElectricArc(4);
    EXPECT_NE(MV2GetElectricArc(4)->flags & kMV2ArcShown, 0u);
    // Eleven rounds of make and destroy, then two arcs.
    MV2ClearElectricArcs();
    MV2InitialiseElectricArcs();
    for (int32_t round = 0; round < 11; round++) {
        const uint32_t id = MV2CreateElectricArc(&a, &b, 0x26);
        ASSERT_NE(id, 0u);
        MV2DestroyElectricArc(id);
    }
    EXPECT_NE(MV2CreateElectricArc(&a, &b, 0x26), 0u);
    EXPECT_NE(MV2CreateElectricArc(&a, &b, 0x26), 0u);
}

TEST_F(BeamTest, ArcJumpsToThePlayerBetweenItsEndsUnlessTold) {
    MV2Object* player = Make(kTargetType, Rel(0, 0, 10));
    ASSERT_NE(player, nullptr);
    MV2SetPlayerObject(player);
    const float energy = player->energy;
    const TvV3d a = Rel(0, 3, 10), b = Rel(0, -3, 10);
    const uint32_t shy = MV2CreateElectricArc(&a, &b, 0x26);
    EXPECT_EQ(MV2GetElectricArc(shy)->endBPoint.y, b.y);
    EXPECT_EQ(player->energy, energy);
    const uint32_t id = MV2CreateElectricArc(&a, &b, 0x06);
    const MV2ElectricArc* arc = MV2GetElectricArc(id);
    EXPECT_EQ(arc->endBPoint.y, player->matrix->pos.y);
    EXPECT_NEAR(player->energy, energy - 5.0f / 30.0f, 1e-4f);
    // Hidden arcs still hurt; one whose sphere does not hold the player ends at its own end.
    MV2HideElectricArc(id);
    MV2UpdateElectricArcs();
    EXPECT_NEAR(player->energy, energy - 10.0f / 30.0f, 1e-4f);
    player->matrix->pos = Rel(0, 3.5f, 10);
    MV2UpdateElectricArcs();
    EXPECT_EQ(arc->endBPoint.y, b.y);
    EXPECT_EQ(MV2GetElectricArc(shy)->endBPoint.y, b.y);
}

TEST_F(BeamTest, ArcBetweenObjectsEndsWhenOneDiesAndPairsStopAtTheFloor) {
    MV2Object* one = Make(kTargetType, Rel(-3, 0, 10));
    MV2Object* two = Make(kTargetType, Rel(3, 0, 10));
    const uint32_t id = MV2CreateElectricArc(one, two, 0x20);
    ASSERT_NE(id, 0u);
    MV2UpdateElectricArcs();
    EXPECT_NE(MV2GetElectricArc(id)->flags, 0u);
    MV2ObjectSendMessage(two, 4, 0, 0);
    MV2UpdateElectricArcs();
    EXPECT_EQ(MV2GetElectricArc(id)->flags, 0u);
    // A pair arc: end B 30 below, cut at the floor (y = 10, 5 below the object).
    const uint32_t pair = MV2CreateElectricArc(one, nullptr, 0x21);
    ASSERT_NE(pair, 0u);
    EXPECT_NEAR(MV2GetElectricArc(pair)->endBPoint.y, 10.0f, 1e-3f);
    EXPECT_NEAR(MV2GetElectricArc(pair)->endAPoint.y, 45.0f, 1e-3f);
}

TEST_F(BeamTest, ArcStrandsAndJitterTable) {
    const TvV3d a = Rel(0, 3, 10), b = Rel(0, -3, 10);
    ASSERT_NE(MV2CreateElectricArc(&a, &b, 0x26), 0u);
    recorder_.calls.clear();
    MV2RenderElectricArcs();
    const auto drawn = recorder_.Of(Im3DCall::kIndexed);
    ASSERT_EQ(drawn.size(), 5u); // three strands and two coronas
    for (int32_t i = 0; i < 3; i++) {
        EXPECT_EQ(drawn[i]->indices.size(), size_t(kMV2ArcStrandIndices));
        ASSERT_EQ(drawn[i]->vertices.size(), size_t(kMV2ArcStrandVertices));
        const auto& v = drawn[i]->vertices;
        EXPECT_EQ(v[0].objVertex.y, a.y);
        EXPECT_EQ(v[46].objVertex.y, b.y);
        EXPECT_EQ(v[1].alpha, 0);
        EXPECT_EQ(v[2].alpha, i == 0 ? 255 : 128);
        // Each point lies within a tenth of its span to either side.
        for (int32_t k = 1; k <= 15; k++)
            EXPECT_LE(std::fabs(v[3 * k - 1].objVertex.x - a.x), 0.61f);
    }
    const uint16_t* idx = MV2ArcStrandIndices();
    EXPECT_EQ((std::array<uint16_t, 6>{idx[174], idx[175], idx[176], idx[177], idx[178], idx[179]}),
              (std::array<uint16_t, 6>{43, 46, 44, 44, 46, 45}));
    for (int32_t round = 0; round < 20; round++) {
        MV2RandomiseElectricArcJitter();
        for (uint32_t i = 0; i < 8; i++)
            EXPECT_EQ(MV2RandomPeriodTable[i] & ~(31u << i), 0u);
    }
}
