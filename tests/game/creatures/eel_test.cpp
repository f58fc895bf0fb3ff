#include "game/creatures/eel.h"

#include "engine/world/anim.h"
#include "game/creatures/puppetboss.h"
#include "game/effects/effects.h"
#include "game/missions/missionflow.h"
#include "game/objects/objectsounds.h"
#include "tests/game/creatures/boss_fixture.h"

namespace {

int g_deaths = 0;
TvV3d g_deathPoint{};

int32_t CountDeath(MV2Object*, int32_t message, intptr_t, intptr_t b) {
    if (message == 13) {
        ++g_deaths;
        if (b) g_deathPoint = *reinterpret_cast<const TvV3d*>(b);
    }
    return 1;
}

class EelTest : public BossTest {
protected:
    void SetUp() override {
        BossTest::SetUp();
        MV2ResetEel();
        MV2InitialiseElectricArcs();
        MV2RegisterEelHandlers();
        PuppetType(166, "bosseel",
                   {{"lowermouth", {0.0f, 1.0f, 2.0f}},
                    {"neck2", {0.0f, 2.0f, 0.0f}},
                    {"flappy skin", {0.0f, -1.0f, 0.0f}}});
        g_deaths = 0;
    }
    void TearDown() override {
        MV2SetMissionScriptForTest(3, nullptr);
        MV2ResetEel();
        MV2ClearElectricArcs();
        BossTest::TearDown();
    }
    MV2Object* Eel() { return Create(166, {0.0f, -10.0f, 0.0f}); }
};

TEST_F(EelTest, CreationLoadsThePuppetAndSetsThePuppetType) {
    MV2Object* eel = Eel();
    ASSERT_NE(eel, nullptr);
    ASSERT_NE(MV2PuppetBossInstance(eel), nullptr);
    EXPECT_NE(NodeId(eel, "lowermouth"), 0u);
    EXPECT_TRUE(MV2GetObjectType(166)->words[7] & kMV2TypePuppet);
    EXPECT_FLOAT_EQ(eel->radius, 15.0f);
    MV2EelState* s = MV2GetEelState();
    EXPECT_EQ(s->phase, kMV2EelCharge);
    EXPECT_FLOAT_EQ(s->arcStartA.y, -11.0f);
    MV2ObjectSendMessage(eel, 4, 0, 0);
    EXPECT_EQ(MV2GetObjectType(166)->words[7] & kMV2TypePuppet, kMV2TypePuppet); // kept
}

TEST_F(EelTest, PhasesStepWithTheirTimings) {
    MV2Object* eel = Eel();
    MV2Object* player = Player({0.0f, -10.0f, 8.0f});
    ASSERT_TRUE(eel && player);
    MV2EelState* s = MV2GetEelState();
    Step(eel); // not engaged: nothing moves
    EXPECT_EQ(s->phase, kMV2EelCharge);
    MV2ObjectSendMessage(eel, 12, 0, reinterpret_cast<intptr_t>(player));
    EXPECT_TRUE(s->engaged);
    EXPECT_FLOAT_EQ(s->heldX, 3.0f);
    Step(eel); // the first engaged update leaves phase 3 at once
    EXPECT_EQ(s->phase, kMV2EelBolts);
    EXPECT_FLOAT_EQ(player->matrix->pos.x, 3.0f); // held in the plane
    EXPECT_TRUE(MV2PuppetBossFired(eel, "dobolt"));
    const struct {
        uint32_t wait;
        int32_t phase;
        uint32_t length;
    } rows[] = {{10000, kMV2EelTongue, 20000}, {20000, kMV2EelAim, 500},
                {500, kMV2EelCharge, 3000}, {3000, kMV2EelBolts, 10000}};
    for (const auto& row : rows) {
        const uint32_t end = s->phaseEnd;
        gMV2FrameTimer.frameClock = end - 40;
        Step(eel, 33); // just before the end
        EXPECT_NE(s->phase, row.phase);
        Step(eel, 33);
        EXPECT_EQ(s->phase, row.phase);
        EXPECT_EQ(s->phaseEnd, gMV2FrameTimer.frameClock + row.length);
        if (row.phase == kMV2EelAim) {
            EXPECT_FLOAT_EQ(s->arcEndB.z, player->matrix->pos.z + 1.0f);
        }
        if (row.phase == kMV2EelCharge) {
            EXPECT_EQ(s->arcStartTime, gMV2FrameTimer.frameClock + 812);
            EXPECT_EQ(s->arcLife, 1500);
        }
    }
    EXPECT_FALSE(MV2PuppetBossFired(eel, "dotongue"));
}

TEST_F(EelTest, BoltsFireFromTheArcEndWhenABoltArcEnds) {
    MV2Object* eel = Eel();
    MV2Object* player = Player({0.0f, -10.0f, 8.0f});
    MV2ObjectSendMessage(eel, 12, 0, reinterpret_cast<intptr_t>(player));
    MV2EelState* s = MV2GetEelState();
    Step(eel);
    ASSERT_EQ(s->phase, kMV2EelBolts);
    ASSERT_NE(s->arcStartTime, 0u); // charging
    EXPECT_EQ(s->arcLife, 750);
    gMV2FrameTimer.frameClock = s->arcStartTime;
    Step(eel, 1);
    ASSERT_NE(s->arc, 0u);
    ModelType(2, 0.2f);
    static int32_t bolts;
    static TvV3d aim;
    bolts = 0;
    MV2SetObjectTypeHandler(2, [](MV2Object* o, int32_t m, intptr_t p1, intptr_t p2) -> intptr_t {
        if (m == 3) ++bolts;
        if (m == 12 && p2) aim = *reinterpret_cast<const TvV3d*>(p2);
        return MV2ObjectDefaultHandler(o, m, p1, p2);
    });
    gMV2FrameTimer.frameClock = uint32_t(s->arcLife);
    Step(eel, 1);
    EXPECT_EQ(bolts, 1);
    EXPECT_GT(aim.z, 0.5f); // toward the player
    EXPECT_EQ(s->arc, 0u);
    EXPECT_NE(s->arcStartTime, 0u); // the next arc is charging
}

TEST_F(EelTest, MouthHitsCountOnlyWhileOpenAndNeverOnTheSkin) {
    MV2Object* eel = Eel();
    const float start = eel->energy;
    const intptr_t mouth = intptr_t(NodeId(eel, "lowermouth"));
    const intptr_t skin = intptr_t(NodeId(eel, "flappy skin"));
    MV2ObjectSendMessage(eel, 76, 20000, mouth); // mouth shut
    EXPECT_FLOAT_EQ(eel->energy, start);
    FakePuppetSet(eel, "mouthopen", 1);
    MV2ObjectSendMessage(eel, 76, 20000, 0); // no part
    MV2ObjectSendMessage(eel, 76, 20000, skin);
    EXPECT_FLOAT_EQ(eel->energy, start);
    MV2ObjectSendMessage(eel, 76, 20000, mouth);
    EXPECT_FLOAT_EQ(eel->energy, start - 20.0f);
}

TEST_F(EelTest, AStruckPartHurtsTheStrikerNotTheEel) {
    MV2Object* eel = Eel();
    MV2Object* striker = MakeSub(1, {5.0f, 0.0f, 0.0f});
    MV2GetObjectType(1)->words[7] |= kMV2TypeCanDie;
    const float eelEnergy = eel->energy, before = striker->energy;
    MV2PuppetPartHit hit{int32_t(NodeId(eel, "neck2")), 0.5f, striker};
    MV2ObjectSendMessage(eel, 63, 0, reinterpret_cast<intptr_t>(&hit));
    EXPECT_FLOAT_EQ(striker->energy, before - 15.0f);
    EXPECT_FLOAT_EQ(eel->energy, eelEnergy);
    FakePuppetSet(eel, "dodie", 1); // a dying eel hurts nobody
    MV2ObjectSendMessage(eel, 63, 0, reinterpret_cast<intptr_t>(&hit));
    EXPECT_FLOAT_EQ(striker->energy, before - 15.0f);
}

// The whole fight, headless: the arena object, the mission's start, the phases, hits through
// the open mouth, death and the end of the fight.
TEST_F(EelTest, FightFromActivationToDeath) {
    ModelType(200, 1.0f);
    MV2GetObjectType(200)->privateData = TvFreeListCreate(64, 2);
    lists_.push_back(MV2GetObjectType(200)->privateData);
    MV2GetObjectType(200)->privateDataSize = 64;
    MV2Object* arena = Create(200, {0.0f, 0.0f, 0.0f});
    ASSERT_NE(arena, nullptr);
    arena->scriptId = 0x03080007;
    static_cast<uint32_t*>(arena->privateData)[14] = 0xFFFFu;

    MV2Object* eel = Eel();
    MV2Object* player = Player({0.0f, -10.0f, 8.0f});
    MV2SetMissionScriptForTest(3, CountDeath);
    MV2MissionAttachObject(3, eel);
    Step(eel);
    EXPECT_EQ(static_cast<uint32_t*>(arena->privateData)[14], 0xBFFFu);
    MV2ObjectSendMessage(eel, 12, 0, reinterpret_cast<intptr_t>(player));
    EXPECT_EQ(MV2GetAltThrustControl(), 1u);
    MV2EelState* s = MV2GetEelState();
    const intptr_t mouth = intptr_t(NodeId(eel, "lowermouth"));
    for (int frame = 0; frame < 3000 && s->phase != kMV2EelDying; ++frame) {
        Step(eel, 50);
        // The tongue phase opens the mouth; each hit then counts.
        FakePuppetSet(eel, "mouthopen", s->phase == kMV2EelTongue);
        if (s->phase == kMV2EelTongue) MV2ObjectSendMessage(eel, 76, 2000, mouth);
    }
    EXPECT_EQ(s->phase, kMV2EelDying);
    EXPECT_TRUE(MV2PuppetBossFired(eel, "dodie"));
    EXPECT_LE(eel->energy, 0.0f);
    EXPECT_TRUE(FakePuppetFire(eel, "deadnow"));
    EXPECT_EQ(g_deaths, 1);
    EXPECT_FALSE(s->engaged);
    EXPECT_EQ(MV2GetAltThrustControl(), 0u);
    const float x = player->matrix->pos.x;
    Step(eel);
    EXPECT_FLOAT_EQ(player->matrix->pos.x, x); // no longer held
}

TEST_F(EelTest, TheTongueStartEndsThePhase) {
    MV2Object* eel = Eel();
    MV2GetEelState()->phaseEnd = 99999;
    EXPECT_TRUE(FakePuppetFire(eel, "tonguestart"));
    EXPECT_EQ(MV2GetEelState()->phaseEnd, gMV2FrameTimer.frameClock);
}

TEST_F(EelTest, ProtectedSubNeedsASubAIRecord) {
    ModelType(42, 0.5f);
    MV2Object* plain = Create(42, {});
    MV2SetProtectedSub(plain); // no SubAI record: nothing happens
    EXPECT_EQ(MV2GetProtectedSub(), nullptr);
    EXPECT_EQ(MV2GetProtectedSubFlag(), 0);
    MV2Object* sub = MakeSub(0, {});
    ASSERT_NE(MV2GetSubAIData(sub), nullptr);
    MV2SetProtectedSub(sub);
    EXPECT_EQ(MV2GetProtectedSub(), sub);
    EXPECT_EQ(MV2GetProtectedSubFlag(), 1);
    EXPECT_TRUE(MV2GetSubAIData(sub)->cannotDie);
    EXPECT_EQ(sub->scriptId, int32_t(0xFFFF0003u));
    MV2ObjectSendMessage(sub, 4, 0, 0);
    EXPECT_EQ(MV2GetProtectedSub(), nullptr);
}

// ---- Barrier ----

class BarrierTest : public BossTest {
protected:
    void SetUp() override {
        BossTest::SetUp();
        MV2ResetEel();
        MV2RegisterEelHandlers();
        BodyType(348, sizeof(MV2Barrier), 5.0f);
        ModelType(415, 0.5f);
        ModelType(416, 0.5f);
    }
    MV2Object* Barrier() {
        MV2Object* b = Create(348, {0.0f, -5.0f, 0.0f});
        if (b) b->radius = 5.0f;
        return b;
    }
};

TEST_F(BarrierTest, CreationMakesBothEndsAndFailsWithoutThem) {
    MV2Object* barrier = Barrier();
    ASSERT_NE(barrier, nullptr);
    auto* d = static_cast<MV2Barrier*>(barrier->privateData);
    EXPECT_NE(MV2GetObjectRef(&d->endA), nullptr);
    EXPECT_NE(MV2GetObjectRef(&d->endB), nullptr);
    EXPECT_FLOAT_EQ(d->length, 5.0f);
    EXPECT_EQ(d->flashStep, 3);
    MV2ObjectSendMessage(barrier, 4, 0, 0);
    int32_t ends = 0;
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
        ends += MV2TypeOf(o) == 415 || MV2TypeOf(o) == 416;
    EXPECT_EQ(ends, 0);
    MV2GetObjectType(416)->model = nullptr;
    MV2SetObjectTypeHandler(416, [](MV2Object*, int32_t m, intptr_t, intptr_t) -> intptr_t {
        return m == 3 ? 0 : 1;
    });
    EXPECT_EQ(Barrier(), nullptr); // end B failed: end A went with it
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
        EXPECT_NE(MV2TypeOf(o), 415);
}

TEST_F(BarrierTest, ContactSparesThePlayerOutsideTheTwoSpheres) {
    MV2Object* barrier = Barrier();
    MV2Object* player = Player({0.0f, -5.0f, 0.0f});
    player->energy = 50.0f;
    struct {
        TvV3d at;
        bool hurt;
    } cases[] = {
        {{0.0f, -5.0f, 0.9f}, true},   // in the sphere ahead (centre +0.9, radius 2.1)
        {{0.0f, -5.0f, -2.5f}, true},  // in the sphere behind
        {{2.5f, -5.0f, 0.9f}, false},  // beside both
        {{0.0f, -5.0f, 3.1f}, false},  // past the front sphere
    };
    for (const auto& c : cases) {
        player->matrix->pos = c.at;
        const float before = player->energy;
        EXPECT_EQ(MV2ObjectSendMessage(barrier, 14, 0, reinterpret_cast<intptr_t>(player)), 0);
        EXPECT_FLOAT_EQ(player->energy, c.hurt ? before - 4.0f : before) << c.at.x << "," << c.at.z;
    }
}

TEST_F(BarrierTest, KeyTable) {
    MV2Barrier d{};
    struct {
        int32_t state, finished, nearEnd, next, stateAfter;
    } rows[] = {
        {1, 8, 0, 9, 1},  // at rest: on to the turn
        {0, 8, 1, 9, 0},  // sliding near its end
        {0, 8, 0, 0, 0},  // sliding far from it
        {2, 8, 1, 0, 2},  // turning
        {0, 9, 0, 10, 2}, // the turn starts
        {2, 10, 0, 0, 2}, {0, 0, 0, 1, 0}, {0, 7, 0, 8, 0},
    };
    for (const auto& r : rows) {
        d.state = r.state;
        EXPECT_EQ(MV2BarrierNextKey(r.finished, &d, r.nearEnd), r.next) << r.finished;
        EXPECT_EQ(d.state, r.stateAfter);
    }
    EXPECT_EQ(d.turnEnd, int32_t(gMV2FrameTimer.frameClock) + 300);
}

TEST_F(BarrierTest, PausedBarrierMovesButDoesNotFlash) {
    MV2Object* barrier = Barrier();
    auto* d = static_cast<MV2Barrier*>(barrier->privateData);
    MV2SetEelBoltsPaused(1);
    const int32_t step = d->flashStep;
    for (int i = 0; i < 10; ++i)
        Step(barrier);
    EXPECT_EQ(d->flashStep, step);
    EXPECT_GT(d->offset, 0.0f);
    MV2SetEelBoltsPaused(0);
    Step(barrier);
    EXPECT_NE(d->flashStep, step);
}

} // namespace
