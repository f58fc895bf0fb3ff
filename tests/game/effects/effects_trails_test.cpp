// Motion trails, glow streaks and their slots, plasma beams and plasma sparks.
#include "tests/game/effects/effects_fixture.h"

#include <cmath>

#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "engine/world/world_plugin.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"

namespace {

constexpr int32_t kShotType = 61;
constexpr int32_t kTargetType = 62;

std::vector<int32_t> g_messages;
intptr_t Recording(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 78) g_messages.push_back(message);
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

class TrailTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        ASSERT_EQ(MV2InitialiseMTrails(), 1);
        ASSERT_EQ(MV2InitialiseTrails(), 1);
        ASSERT_EQ(MV2InitialiseBubbles(), 1);
        ASSERT_EQ(MV2InitialiseScorches(), 1);
        ASSERT_EQ(MV2InitialisePlasmaBeams(), 1);
        HandledType(kShotType, MV2ObjectDefaultHandler, 0, 0.1f);
        MV2ObjectType* target = HandledType(kTargetType, Recording, 0, 0.5f);
        target->words[7] |= kMV2TypeCanDie;
        target->words[31] = 2u << 28; // a body that also turns
        MV2SetTypeFloat(target, 3, 1.0f);
        g_messages.clear();
        m_ = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, Rel(0, 0, 10), 3, 0};
    }
    void TearDown() override {
        MV2ResetPlasmaBeams();
        MV2ShutdownPlasmaBeams();
        MV2ShutdownTrails();
        MV2ShutdownMTrails();
        MV2ShutdownScorches();
        MV2ResetBubbles();
        MV2ShutdownBubbles();
        EffectsTest::TearDown();
    }
    static int32_t Trails() {
        int32_t n = 0;
        for (MV2MTrail* t = MV2FirstMTrail(); t; t = MV2NextMTrail(t))
            n++;
        return n;
    }
    // The laying place of a point: midway between its tip and its base.
    static TvV3d Place(const MV2MTrailPoint* p) {
        const TvV3d base = TvV3dScale(TvV3dAdd(p->left, p->right), 0.5f);
        return TvV3dScale(TvV3dAdd(p->tip, base), 0.5f);
    }
    // Moves the emitter in `steps` equal steps along +z over `length`.
    void Travel(float length, int32_t steps, uint32_t handle, float lifetime = 100.0f) {
        for (int32_t i = 0; i < steps; i++) {
            m_.pos.z += length / float(steps);
            MV2EmitMTrail(1, handle, 0, lifetime, &m_);
        }
    }
    void MarkRendered(MV2Object* object) {
        object->clump->renderFrame = TpWorldGetRenderFrame();
    }
    TvMatrix m_{};
};

} // namespace

TEST_F(TrailTest, TrailPointsAreEvenlySpacedWhateverTheFrameRate) {
    MV2Object* owner = Make(kShotType, Rel(0, 0, 10));
    for (int32_t steps : {5, 64}) {
        MV2InitialiseMTrails();
        m_.pos = Rel(0, 0, 10);
        MV2EmitMTrail(1, owner->handle, 0, 100.0f, &m_); // starts the trail
        Travel(3.2f, steps, owner->handle);
        MV2MTrail* t = MV2FirstMTrail();
        ASSERT_NE(t, nullptr);
        EXPECT_GE(t->pointCount, 18u) << steps;
        for (const MV2MTrailPoint* p = t->newest; p && p->trailNext; p = p->trailNext)
            EXPECT_NEAR(Place(p).z - Place(p->trailNext).z, kMV2MTrailSpacing, 1e-3f) << steps;
        // Standing still lays nothing and does no harm.
        const uint32_t count = t->pointCount;
        MV2EmitMTrail(1, owner->handle, 0, 100.0f, &m_);
        EXPECT_EQ(t->pointCount, count);
    }
}

TEST_F(TrailTest, NoTrailAtOrAboveTheWaterAndAJumpEndsIt) {
    MV2Object* owner = Make(kShotType, Rel(0, 0, 10));
    MV2SetWaterHeight(m_.pos.y);
    MV2EmitMTrail(1, owner->handle, 0, 1.0f, &m_);
    EXPECT_EQ(Trails(), 0);
    MV2SetWaterHeight(100.0f);
    MV2EmitMTrail(1, owner->handle, 0, 1.0f, &m_);
    Travel(1.0f, 2, owner->handle);
    ASSERT_EQ(Trails(), 1);
    EXPECT_GT(MV2LiveMTrailPoints(), 0);
    m_.pos.z += 10.0f; // a teleport: the trail and its points go
    MV2EmitMTrail(1, owner->handle, 0, 1.0f, &m_);
    EXPECT_EQ(Trails(), 0);
    EXPECT_EQ(MV2LiveMTrailPoints(), 0);
    MV2EmitMTrail(1, owner->handle, 0, 1.0f, &m_);
    EXPECT_EQ(Trails(), 1);
    EXPECT_EQ(MV2FirstMTrail()->pointCount, 0u);
}

TEST_F(TrailTest, TrailsEndWhenTheirPointsExpireOrTheirOwnerDies) {
    MV2Object* owner = Make(kShotType, Rel(0, 0, 10));
    MV2Object* other = Make(kShotType, Rel(1, 0, 10));
    MV2EmitMTrail(1, owner->handle, 0, 0.5f, &m_);
    MV2EmitMTrail(1, other->handle, 1, 0.5f, &m_);
    Travel(1.0f, 4, owner->handle, 0.5f);
    ASSERT_EQ(Trails(), 2);
    // Half a second ages the points out; the trail with points goes with them.
    gMV2FrameTimer.ticks = 4.0f;
    for (int32_t i = 0; i < 4; i++)
        MV2UpdateMTrails();
    EXPECT_EQ(MV2LiveMTrailPoints(), 0);
    EXPECT_EQ(Trails(), 1);
    // The other owner dies: its trail is freed by the next emit's walk.
    MV2ObjectSendMessage(other, 4, 0, 0);
    MV2EmitMTrail(1, owner->handle, 0, 0.5f, &m_);
    ASSERT_EQ(Trails(), 1);
    EXPECT_EQ(MV2FirstMTrail()->ownerHandle, owner->handle);
}

TEST_F(TrailTest, TrailPointsDrawAsOneBatchOfTriangles) {
    MV2Object* owner = Make(kShotType, Rel(0, 0, 10));
    MV2EmitMTrail(1, owner->handle, 0, 10.0f, &m_);
    Travel(1.0f, 1, owner->handle, 10.0f); // 1.0 / 0.16: 6 points
    ASSERT_EQ(MV2LiveMTrailPoints(), 6);
    recorder_.calls.clear();
    MV2DrawMTrails(camera_);
    const auto drawn = recorder_.Of(Im3DCall::kIndexed);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0]->indices.size(), 18u);
    EXPECT_EQ(drawn[0]->vertices[0].red, 192); // new points: grey 192
    EXPECT_EQ(drawn[0]->vertices[1].v, 0.0f);
    // Aged halfway through their 10 s: grey 192 x cos(45 degrees).
    gMV2FrameTimer.ticks = 150.0f;
    MV2UpdateMTrails();
    recorder_.calls.clear();
    MV2DrawMTrails(camera_);
    ASSERT_EQ(recorder_.Of(Im3DCall::kIndexed).size(), 1u);
    EXPECT_EQ(recorder_.Of(Im3DCall::kIndexed)[0]->vertices[0].red, 135);
}

// ---- Glow streaks ----

TEST_F(TrailTest, FadingGlowEndsAfterAbout528UpdatesAndThe121stGetsNone) {
    MV2GetObjectType(kShotType)->words[32] = 1u << 24; // kind 1: fades
    MV2Object* shot = Make(kShotType, Rel(0, 0, 10));
    MV2AttachTrail(shot);
    const MV2GlowSlot* slot = MV2GetGlowSlot(0);
    ASSERT_EQ(slot->active, 1u);
    EXPECT_EQ(slot->streak->fadeOn, 1u);
    int32_t updates = 0;
    while (slot->active && updates < 1000) {
        MarkRendered(shot);
        MV2UpdateTrails();
        updates++;
    }
    EXPECT_EQ(updates, 528);

    MV2GetObjectType(kShotType)->words[32] = 2u << 24;
    std::vector<MV2Object*> shots;
    for (int32_t i = 0; i < kMV2GlowSlots; i++) {
        shots.push_back(Make(kShotType, Rel(0, 0, 10)));
        MV2AttachTrail(shots.back());
    }
    for (int32_t i = 0; i < kMV2GlowSlots; i++)
        EXPECT_EQ(MV2GetGlowSlot(i)->object, shots[size_t(i)]);
    MV2Object* late = Make(kShotType, Rel(0, 0, 10));
    MV2AttachTrail(late);
    for (int32_t i = 0; i < kMV2GlowSlots; i++)
        EXPECT_NE(MV2GetGlowSlot(i)->object, late);
    // A dead projectile frees its slot; one not rendered keeps its streak frozen and undrawn.
    MV2ObjectSendMessage(shots[3], 4, 0, 0);
    MV2UpdateTrails();
    EXPECT_EQ(MV2GetGlowSlot(3)->active, 0u);
    recorder_.calls.clear();
    MV2DrawTrails();
    EXPECT_TRUE(recorder_.calls.empty());
    MarkRendered(shots[0]);
    MV2DrawTrails();
    EXPECT_EQ(recorder_.Of(Im3DCall::kIndexed).size(), 3u); // three squares
}

TEST_F(TrailTest, StreakTailClosesInOnAStoppedHead) {
    const float start[3] = {15, 15, 10}, head[3] = {15, 15, 12};
    MV2Streak* s = MV2CreateStreak(start, nullptr, 0.2f, 0.5f, 0.9f, 0, 0.99f);
    ASSERT_NE(s, nullptr);
    EXPECT_FLOAT_EQ(s->points[1].size, 0.1f);
    EXPECT_FLOAT_EQ(s->points[2].size, 0.05f);
    float gap = 2.0f;
    for (int32_t i = 0; i < 40; i++) {
        EXPECT_EQ(MV2UpdateStreak(s, head), 0);
        const float now = head[2] - s->points[2].position.z;
        EXPECT_LE(now, gap);
        gap = now;
    }
    EXPECT_LT(gap, 0.5f);
    EXPECT_EQ(s->points[0].position.z, 12.0f);
}

// ---- Plasma beams and sparks ----

TEST_F(TrailTest, PlasmaBeamGlowPulsesWhileItHitsAndFadesAfter) {
    MV2Object* owner = Make(kShotType, Rel(0, 0, 4));
    MV2Object* target = Make(kTargetType, Rel(0, 0, 10));
    const float start[3] = {0, 0, 0.5f}, end[3] = {0, 0, 12};
    MV2PlasmaBeam* beam = MV2CreatePlasmaBeam(owner, owner->handle, 30.0f, start, end);
    ASSERT_NE(beam, nullptr);
    MV2ShowPlasmaBeam(beam);
    const float energy = target->energy;
    MV2UpdatePlasmaBeams();
    EXPECT_EQ(beam->hit, 1u);
    EXPECT_NEAR(target->energy, energy - 1.0f, 0.25f); // 30 a second, plus the sparks' drain
    EXPECT_EQ(g_messages.size(), 1u);
    EXPECT_LT(beam->hitPoint.z, 10.0f);
    // 1.0 at the hit, down to 0.5, then up again.
    float low = 1.0f;
    for (int32_t i = 0; i < 20; i++) {
        MV2UpdatePlasmaBeams();
        low = std::min(low, beam->glow);
    }
    EXPECT_NEAR(low, 0.5f, 0.05f);
    EXPECT_EQ(beam->glowRising, 1u);
    // The way clears: the glow fades to nothing and stays there.
    MV2ObjectSendMessage(target, 4, 0, 0);
    for (int32_t i = 0; i < 40; i++)
        MV2UpdatePlasmaBeams();
    EXPECT_EQ(beam->hit, 0u);
    EXPECT_EQ(beam->glow, 0.0f);
    MV2ReleasePlasmaBeam(&beam);
    EXPECT_EQ(beam, nullptr);
}

TEST_F(TrailTest, PlasmaBeamOfNoDamageStillPushesAndElectrifies) {
    MV2Object* owner = Make(kShotType, Rel(0, 0, 4));
    MV2Object* target = Make(kTargetType, Rel(0, 0, 10));
    ASSERT_NE(target->body, nullptr);
    const float start[3] = {0, 0, 0.5f}, end[3] = {0, 0, 12};
    MV2PlasmaBeam* beam = MV2CreatePlasmaBeam(owner, owner->handle, 0.0f, start, end);
    MV2ShowPlasmaBeam(beam);
    MV2UpdatePlasmaBeams();
    EXPECT_EQ(g_messages.size(), 1u);
    EXPECT_GT(TvV3dLength(&target->body->velocity), 0.0f);
    EXPECT_EQ(MV2GetPlasmaSpark(0)->active, 1u);
    // A hidden beam is neither cast nor built; its owner's death frees it.
    MV2ReleasePlasmaBeam(&beam);
    MV2PlasmaBeam* other = MV2CreatePlasmaBeam(owner, owner->handle, 0.0f, start, end);
    MV2ResetPlasmaBeams();
    g_messages.clear();
    MV2UpdatePlasmaBeams();
    EXPECT_TRUE(g_messages.empty());
    MV2ObjectSendMessage(owner, 4, 0, 0);
    MV2UpdatePlasmaBeams();
    EXPECT_EQ(other->active, 0u);
}

TEST_F(TrailTest, OneSparkSetPerObjectForTwoSeconds) {
    MV2Object* target = Make(kTargetType, Rel(0, 0, 10));
    TpAtomic* root = MV2FindRootAtomic(target->clump);
    MV2AttachPlasmaSparks(target, root);
    MV2AttachPlasmaSparks(target, root);
    int32_t active = 0;
    for (int32_t i = 0; i < kMV2PlasmaSparks; i++)
        active += int32_t(MV2GetPlasmaSpark(i)->active);
    EXPECT_EQ(active, 1);
    const float energy = target->energy;
    gMV2FrameTimer.ticks = 3.0f; // 0.1 s an update
    for (int32_t i = 0; i < 19; i++)
        MV2UpdatePlasmaBeams();
    EXPECT_EQ(MV2GetPlasmaSpark(0)->active, 1u);
    EXPECT_NEAR(target->energy, energy - 0.38f, 1e-3f);
    MV2UpdatePlasmaBeams();
    MV2UpdatePlasmaBeams();
    EXPECT_EQ(MV2GetPlasmaSpark(0)->active, 0u);
    MV2AttachPlasmaSparks(target, root);
    EXPECT_EQ(MV2GetPlasmaSpark(0)->active, 1u);
    // An atomic that is not the object's gets none; a dead object's sparks go at once.
    MV2ResetPlasmaBeams();
    MV2Object* other = Make(kTargetType, Rel(2, 0, 10));
    MV2AttachPlasmaSparks(target, MV2FindRootAtomic(other->clump));
    EXPECT_EQ(MV2GetPlasmaSpark(0)->active, 0u);
    MV2AttachPlasmaSparks(other, MV2FindRootAtomic(other->clump));
    MV2ObjectSendMessage(other, 4, 0, 0);
    MV2UpdatePlasmaBeams();
    EXPECT_EQ(MV2GetPlasmaSpark(0)->active, 0u);
}
