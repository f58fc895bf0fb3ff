#include "game/creatures/silentmum.h"

#include "engine/world/anim.h"
#include "game/creatures/mumspores.h"
#include "game/creatures/puppetboss.h"
#include "game/effects/effects.h"
#include "game/missions/lightobject.h"
#include "tests/game/creatures/boss_fixture.h"

namespace {

class SilentMumTest : public BossTest {
protected:
    void SetUp() override {
        BossTest::SetUp();
        MV2ResetSilentMum();
        MV2InitialiseEffectHooks();
        MV2InitialiseElectricArcs();
        MV2RegisterSilentMumHandlers();
        MV2RegisterSporeHandlers();
        BodyType(69, sizeof(MV2LightObjectData), 0.2f);
        MV2SetObjectTypeHandler(69, MV2LightObjectHandler);
        for (int32_t t : {42, 242, 355, 340})
            ModelType(t, 0.2f);
        BodyType(428, sizeof(MV2Pod), 0.5f);
        BodyType(429, sizeof(MV2Pod), 0.5f);
        BodyType(432, sizeof(float), 0.5f);
        BodyType(353, sizeof(MV2LargeSpore), 0.5f);
        BodyType(354, sizeof(MV2SmallSpore), 0.3f);
        BodyType(235, sizeof(MV2SporeEscort), 0.2f);
        PuppetType(236, "silmum",
                   {{"Vulva_Mid", {0, 0, 2}},
                    {"Vulva_Left_1", {-1, 0, 2}},
                    {"Vulva_Left_2", {-2, 0, 2}},
                    {"Vulva_Left_3", {-3, 0, 2}},
                    {"Vulva_Right_1", {1, 0, 2}},
                    {"Vulva_Right_2", {2, 0, 2}},
                    {"Vulva_Right_3", {3, 0, 2}},
                    {"t1 - tip null", {-5, 5, 5}},
                    {"t2 - tip null", {5, 5, 5}},
                    {"t3 - tip null", {0, 5, 8}},
                    {"tent 1 base null", {-2, 2, 0}}});
    }
    void TearDown() override {
        MV2DestroyAllObjects();
        MV2ResetSilentMum();
        MV2ShutdownEffectHooks();
        MV2ClearElectricArcs();
        BossTest::TearDown();
    }
    MV2Object* Mum() { return Create(236, {0.0f, -20.0f, 0.0f}); }
    MV2Object* Arena(int32_t id, TvV3d at) {
        MV2Object* o = Create(42, at);
        if (o) o->scriptId = id;
        return o;
    }
    static MV2Pod* PodOf(int32_t i) {
        MV2Object* pod = MV2GetObjectRef(&MV2GetSilentMumState()->pods[i]);
        return pod ? static_cast<MV2Pod*>(pod->privateData) : nullptr;
    }
};

TEST_F(SilentMumTest, CreationMakesPodsOrbsAndTheHook) {
    MV2Object* mum = Mum();
    ASSERT_NE(mum, nullptr);
    MV2SilentMumState* s = MV2GetSilentMumState();
    EXPECT_EQ(MV2GetObjectRef(&s->boss), mum);
    for (int32_t i = 0; i < kMV2SilentMumPods; ++i) {
        MV2Object* pod = MV2GetObjectRef(&s->pods[i]);
        ASSERT_NE(pod, nullptr);
        EXPECT_EQ(MV2TypeOf(pod), i == 0 ? 429 : 428);
        EXPECT_TRUE(PodOf(i)->isProtected);
        EXPECT_FLOAT_EQ(pod->energy, 50.0f);
    }
    for (const MV2ObjectRef& orb : s->orbs)
        EXPECT_NE(MV2GetObjectRef(const_cast<MV2ObjectRef*>(&orb)), nullptr);
    EXPECT_EQ(MV2AddEffectHook("silent mum laser", nullptr, nullptr, nullptr), 0); // listed
    MV2ObjectSendMessage(mum, 4, 0, 0);
    EXPECT_EQ(MV2GetObjectRef(&s->boss), nullptr);
    EXPECT_EQ(MV2AddEffectHook("silent mum laser", nullptr, nullptr, nullptr), 1); // removed
}

TEST_F(SilentMumTest, PodShotsVisitThePodsInOrderSkippingDeadAndClosing) {
    MV2Object* mum = Mum();
    MV2SilentMumState* s = MV2GetSilentMumState();
    s->arenaSetUp = 1;
    PodOf(3)->closeRequest = 1; // closing
    PodOf(2)->dead = 1;
    MV2ObjectSendMessage(MV2GetObjectRef(&s->pods[6]), 4, 0, 0); // gone
    s->phase = kMV2MumPodShots;
    s->phaseTimer = 0.0f;
    std::vector<int32_t> visited;
    for (int guard = 0; guard < 20 && s->phase == kMV2MumPodShots; ++guard) {
        for (int32_t i = 0; i < kMV2SilentMumPods; ++i)
            if (MV2Pod* d = PodOf(i)) d->flashRequest = 0;
        s->phaseTimer = 0.0f;
        Step(mum, 1);
        for (int32_t i = 0; i < kMV2SilentMumPods; ++i)
            if (MV2Pod* d = PodOf(i); d && d->flashRequest) {
                visited.push_back(i);
                EXPECT_FLOAT_EQ(d->closeCountdown, 5.0f);
                EXPECT_TRUE(d->openRequest);
            }
    }
    EXPECT_EQ(visited, (std::vector<int32_t>{1, 5, 4, 0}));
    EXPECT_EQ(s->phase, kMV2MumSwipes);
    EXPECT_FLOAT_EQ(s->tipTimers[0], 100.0f);
}

TEST_F(SilentMumTest, ThePlayerIsPlacedOnceThenHeldInTheArena) {
    Arena(0x06030005, {0.0f, -20.0f, 30.0f});
    MV2Object* mum = Mum();
    MV2Object* player = Player({0.0f, -20.0f, 38.0f}); // 38 from the boss: within 40
    Step(mum);
    MV2SilentMumState* s = MV2GetSilentMumState();
    EXPECT_TRUE(s->arenaEntered);
    EXPECT_EQ(s->phase, kMV2MumOpenLeft);
    EXPECT_FLOAT_EQ(s->phaseTimer, 10.0f);
    EXPECT_NEAR(player->matrix->pos.z, 30.0f, 1e-4f); // moved to the arena point
    struct {
        TvV3d at, held;
    } cases[] = {
        {{10.0f, -15.0f, 35.0f}, {10.0f, -15.0f, 30.0f}}, // off the plane
        {{40.0f, -20.0f, 30.0f}, {32.0f, -20.0f, 30.0f}}, // past the side
        {{-40.0f, 20.0f, 30.0f}, {-32.0f, 11.0f, 30.0f}}, // past the top
        {{0.0f, -60.0f, 30.0f}, {0.0f, -53.0f, 30.0f}},   // past the bottom
    };
    for (const auto& c : cases) {
        player->matrix->pos = c.at;
        Step(mum);
        EXPECT_NEAR(player->matrix->pos.x, c.held.x, 1e-3f);
        EXPECT_NEAR(player->matrix->pos.y, c.held.y, 1e-3f);
        EXPECT_NEAR(player->matrix->pos.z, c.held.z, 1e-3f);
    }
}

TEST_F(SilentMumTest, DeathTextureThresholds) {
    const struct {
        float t;
        int32_t index;
    } rows[] = {{0.0f, 0}, {4.0f, 0}, {4.01f, 1}, {5.6f, 2}, {7.6f, 3}, {9.1f, 4},
                {9.3f, 5}, {9.6f, 6}, {9.8f, 7}, {100.0f, 7}};
    for (const auto& r : rows)
        EXPECT_EQ(MV2SilentMumDeathTextureAt(r.t), r.index) << r.t;
}

TEST_F(SilentMumTest, SwallowingTheSuckObjectStartsTheDeath) {
    MV2Object* mum = Mum();
    MV2Object* player = Player({0.0f, -20.0f, 100.0f});
    Step(mum); // the arena set-up finds the tip
    MV2SilentMumState* s = MV2GetSilentMumState();
    MV2Object* bait = Create(42, {0.0f, -15.0f, 60.0f});
    MV2ObjectSendMessage(mum, 33, 0, reinterpret_cast<intptr_t>(bait));
    s->phase = kMV2MumSuck;
    s->phaseTimer = 10.0f;
    s->suckStrength = 1.0f;
    s->suckRate = 2.0f;
    Step(mum);
    EXPECT_EQ(s->phase, kMV2MumSuck); // too far: pulled
    TvV3d tip;
    ASSERT_TRUE(MV2PuppetBossNodePosition(mum, "t3 - tip null", &tip));
    bait->matrix->pos = TvV3dAdd(tip, {0.0f, 0.0f, 1.5f}); // within 2 of the tip
    Step(mum);
    EXPECT_EQ(s->phase, kMV2MumDying);
    EXPECT_FALSE(MV2ObjectHandleAlive(bait->handle));
    const float energy = mum->energy;
    for (int i = 0; i < 20; ++i)
        Step(mum, 500);
    EXPECT_GT(s->deathTime, 9.0f);
    EXPECT_EQ(s->deathTexture, MV2SilentMumDeathTextureAt(s->deathTime));
    EXPECT_FLOAT_EQ(mum->energy, energy); // the boss never loses energy
    (void)player;
}

TEST_F(SilentMumTest, StruckPartHurtsTheStrikerNotTheBoss) {
    MV2Object* mum = Mum();
    MV2Object* striker = MakeSub(1, {5.0f, 0.0f, 0.0f});
    MV2GetObjectType(1)->words[7] |= kMV2TypeCanDie;
    const float before = striker->energy, energy = mum->energy;
    MV2PuppetPartHit hit{1, 0.2f, striker};
    MV2ObjectSendMessage(mum, 63, 0, reinterpret_cast<intptr_t>(&hit));
    EXPECT_FLOAT_EQ(striker->energy, before - 6.0f);
    EXPECT_FLOAT_EQ(mum->energy, energy);
    EXPECT_EQ(MV2ObjectSendMessage(mum, 76, 999000, 1), 1);
    EXPECT_FLOAT_EQ(mum->energy, energy);
    // Its own spores and the bait pass through it.
    MV2Object* spore = Create(353, {3.0f, 0.0f, 0.0f});
    EXPECT_EQ(MV2ObjectSendMessage(mum, 14, 0, reinterpret_cast<intptr_t>(spore)), 0);
}

// ---- Drain beam ----

TEST_F(SilentMumTest, DrainTakesFiveAndGivesTheOwnerFiveUpToAHundred) {
    BodyType(339, sizeof(MV2DrainBeam), 0.2f);
    MV2Object* owner = Create(42, {0.0f, 0.0f, 0.0f});
    MV2Object* target = MakeSub(1, {0.0f, 0.0f, 4.0f});
    MV2GetObjectType(1)->words[7] |= kMV2TypeCanDie;
    target->energy = 50.0f;
    owner->energy = 97.0f;
    MV2Object* beam = Create(339, {0.0f, 0.0f, 0.0f});
    ASSERT_NE(beam, nullptr);
    MV2ObjectSendMessage(beam, 33, 0, reinterpret_cast<intptr_t>(target));
    MV2ObjectSendMessage(beam, 15, 0, reinterpret_cast<intptr_t>(owner));
    auto* d = static_cast<MV2DrainBeam*>(beam->privateData);
    std::vector<uint32_t> drains;
    float last = target->energy;
    for (int i = 0; i < 120; ++i) {
        Step(beam, 20);
        if (target->energy < last) {
            EXPECT_FLOAT_EQ(last - target->energy, 5.0f);
            drains.push_back(gMV2FrameTimer.frameClock);
            last = target->energy;
        }
    }
    EXPECT_TRUE(d->grown);
    ASSERT_GE(drains.size(), 3u);
    for (size_t i = 1; i < drains.size(); ++i) {
        EXPECT_GE(drains[i] - drains[i - 1], 372u);
        EXPECT_LE(drains[i] - drains[i - 1], 373u + 20u);
    }
    EXPECT_FLOAT_EQ(owner->energy, 100.0f);
    // A target too far ends the beam.
    target->matrix->pos.z = 25.0f;
    Step(beam);
    EXPECT_FALSE(MV2ObjectHandleAlive(beam->handle));
}

// ---- Key tables ----

TEST_F(SilentMumTest, PodNextKeyTable) {
    MV2Pod d{};
    for (int32_t k = 0; k < 11; ++k) {
        d = MV2Pod{};
        EXPECT_EQ(MV2PodNextKey(nullptr, &d, k), kMV2PodNextKey[k]) << k;
    }
    const int32_t expected[11] = {1, 0, 3, 4, 5, 4, 7, 0, 9, 9, 0};
    for (int32_t k = 0; k < 11; ++k)
        EXPECT_EQ(kMV2PodNextKey[k], expected[k]);
    // Requests: open from closed, close from the open pulse, hurt pose, reopen.
    d = MV2Pod{};
    d.openRequest = 1;
    EXPECT_EQ(MV2PodNextKey(nullptr, &d, 1), 2);
    EXPECT_TRUE(d.open);
    d.closeRequest = 1;
    EXPECT_EQ(MV2PodNextKey(nullptr, &d, 5), 6);
    d.closeAfterHurt = 1;
    EXPECT_EQ(MV2PodNextKey(nullptr, &d, 7), 8);
    EXPECT_FALSE(d.open);
    d.reopenRequest = 1;
    EXPECT_EQ(MV2PodNextKey(nullptr, &d, 9), 10);
}

TEST_F(SilentMumTest, EggKeyTable) {
    struct {
        int32_t finished, state, next, stateAfter;
    } rows[] = {
        {0, 1, 1, 1}, {2, 1, 3, 1},
        {3, 1, -1, 0}, // opened: holds open
        {3, 3, 4, 3},  // asked to close: on to closing
        {4, 3, 5, 3},  {6, 3, 7, 3},
        {7, 3, -1, 2}, // closed: holds
        {7, 1, 0, 1},  // asked to open: round again
    };
    for (const auto& r : rows) {
        int32_t state = r.state;
        EXPECT_EQ(MV2EggNextKey(r.finished, &state), r.next) << r.finished;
        EXPECT_EQ(state, r.stateAfter);
    }
}

TEST_F(SilentMumTest, EggPulseWrapsInUnsignedArithmetic) {
    EXPECT_FLOAT_EQ(MV2EggPulse(0, 16, 0), 0.0f);
    EXPECT_FLOAT_EQ(MV2EggPulse(0, 16, 2048), 1.0f);   // 32768
    EXPECT_FLOAT_EQ(MV2EggPulse(0, 16, 3072), 0.5f);   // 49152 folds to 2 - 1.5
    EXPECT_FLOAT_EQ(MV2EggPulse(0xFFFFFFFFu, 16, 1), 0.0f); // wraps to 0
}

// ---- Spores ----

TEST_F(SilentMumTest, LargeSporeSplitsAtHalfEnergyUnlessFlagged) {
    MV2SetTypeFloat(MV2GetObjectType(353), 1, 40.0f);
    MV2Object* player = Player({0.0f, 0.0f, 10.0f});
    int32_t before = 0;
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
        before += MV2TypeOf(o) == 354;
    MV2Object* spore = Create(353, {0.0f, 0.0f, 0.0f});
    spore->energy = 25.0f; // above half
    MV2ObjectSendMessage(spore, 65, 0, 0);
    EXPECT_GT(spore->energy, 0.0f);
    spore->energy = 20.0f; // half
    MV2ObjectSendMessage(spore, 65, 0, 0);
    EXPECT_FLOAT_EQ(spore->energy, -1.0f);
    int32_t smalls = 0;
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
        if (MV2TypeOf(o) == 354) {
            ++smalls;
            EXPECT_EQ(reinterpret_cast<MV2Object*>(MV2ObjectSendMessage(o, 34, 0, 0)), player);
        }
    EXPECT_EQ(smalls - before, 2);
    // One released by a pod (message 63) only changes its target.
    MV2Object* flagged = Create(353, {5.0f, 0.0f, 0.0f});
    MV2ObjectSendMessage(flagged, 63, 0, 0);
    flagged->energy = 5.0f;
    auto* d = static_cast<MV2LargeSpore*>(flagged->privateData);
    d->nextEscorts = int32_t(gMV2FrameTimer.frameClock) + 100000; // no escorts
    MV2ObjectSendMessage(flagged, 65, 0, 0);
    EXPECT_FLOAT_EQ(flagged->energy, 5.0f);
    EXPECT_EQ(MV2GetObjectRef(&d->target), player);
}

TEST_F(SilentMumTest, EscortsAreSixAndKeepTheSporeAlive) {
    MV2Object* player = Player({0.0f, 0.0f, 10.0f});
    MV2Object* spore = Create(353, {0.0f, 0.0f, 0.0f});
    MV2ObjectSendMessage(spore, 33, 0, reinterpret_cast<intptr_t>(player));
    auto* d = static_cast<MV2LargeSpore*>(spore->privateData);
    d->nextEscorts = int32_t(gMV2FrameTimer.frameClock);
    const float energy = spore->energy;
    Step(spore);
    EXPECT_EQ(d->escortCount, 6);
    EXPECT_GT(spore->energy, 1.0e7f);
    Step(spore);
    EXPECT_EQ(d->escortCount, 6); // never more
    for (int i = 0; i < 6; ++i)
        MV2ObjectSendMessage(MV2GetObjectRef(&d->escorts[0]), 4, 0, 0);
    EXPECT_EQ(d->escortCount, 0);
    EXPECT_FLOAT_EQ(spore->energy, energy);
}

} // namespace
