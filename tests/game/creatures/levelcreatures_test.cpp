// Flies, maggots, the staged animation object, the snapping shell, the scarab arena and the
// jellies over the real object system.
#include "tests/game/creatures/creature_fixture.h"

#include "engine/core/frame.h"
#include "engine/world/anim.h"
#include "game/creatures/ambient.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/flies.h"
#include "game/creatures/jellyfish.h"
#include "game/creatures/scarab.h"
#include "game/creatures/shell.h"
#include "game/objects/clumpdata.h"
#include "game/objects/lighting.h"
#include "game/objects/modeltags.h"
#include "game/player/playercraft.h"

namespace {

class LevelCreatureTest : public CreatureTest {
protected:
    void SetUp() override {
        CreatureTest::SetUp();
        gMV2FrameTimer.ticks = 1.0f;
        MV2ResetScarab();
        MV2ResetJellyMother();
    }
    void TearDown() override {
        MV2SetPlayerObject(nullptr);
        MV2SetPlayerSub(nullptr);
        MV2DestroyAllObjects();
        MV2ResetScarab();
        MV2ResetJellyMother();
        CreatureTest::TearDown();
    }
    // A type with private data and `keys` animation keys of one unit each on its root atomic.
    MV2ObjectType* KeyedType(int32_t t, size_t size, int32_t keys) {
        MV2ObjectType* type = size ? BodyType(t, size, 0.5f) : ModelType(t, 0.5f);
        if (!size) {
            type->words[31] = (1u << 28) | (8u << 14) | 8u;
            MV2SetTypeFloat(type, 2, 1.0f);
            MV2SetTypeFloat(type, 3, 1.0f);
        }
        TpGeometry* g = TpAtomicGetGeometry(MV2FindRootAtomic(type->model));
        TpAnimSequenceGeometryCreateKeys(g, keys);
        for (int32_t k = 0; k < keys; ++k)
            TpAnimSequenceGeometrySetKey(g, k, 0, 0, 1.0f);
        return type;
    }
    MV2Object* Create(int32_t t, TvV3d at = {0.0f, -10.0f, 0.0f}) {
        const float p[3] = {at.x, at.y, at.z};
        return MV2CreateObject(t, p, nullptr);
    }
    MV2Object* Player(TvV3d at) {
        MV2Object* player = MakeSub(0, at);
        if (player) {
            player->energy = 1000.0f;
            MV2SetPlayerObject(player);
        }
        return player;
    }
    static void Tick(MV2Object* o, uint32_t ms = 33) {
        gMV2FrameTimer.frameClock += ms;
        MV2ObjectSendMessage(o, 2, 0, 0);
    }
    // Live objects of a type: the objects of the world's clumps.
    static int32_t Count(int32_t type) {
        TpWorld* world = TpWorldGetCurrent();
        int32_t n = 0;
        for (TpClump* c = world ? MV2GetFirstWorldClump(world) : nullptr; c;
             c = MV2GetNextWorldClump(world, c))
            if (MV2Object* o = MV2GetClumpObject(c); o && MV2ObjectHandleAlive(o->handle))
                n += MV2TypeOf(o) == type;
        return n;
    }
    static int32_t Key(MV2Object* o) {
        return TpAnimSequenceAtomicGetCurrentKeyIndex(MV2FindRootAtomic(o->clump));
    }
};

} // namespace

// Still for 10 s, plays to key 4, holds 5 s, plays to key 7 and calls back, holds 5 s, plays to
// key 13 and is removed; all on the frame clock.
TEST_F(LevelCreatureTest, StagedAnimationStages) {
    KeyedType(132, sizeof(MV2StagedAnimData), 14);
    MV2Object* o = Create(132);
    ASSERT_NE(o, nullptr);
    static uint32_t called;
    called = 0;
    MV2ObjectSendMessage(o, 12, 0, reinterpret_cast<intptr_t>(+[](MV2Object*, int32_t v) {
                             called = gMV2FrameTimer.frameClock + uint32_t(v - 1);
                         }));
    auto* d = static_cast<MV2StagedAnimData*>(o->privateData);
    const MV2ObjectHandle handle = o->handle;
    const uint32_t start = gMV2FrameTimer.frameClock;
    uint32_t stage1 = 0, removed = 0;
    int32_t heldKey = -1;
    for (int32_t i = 0; i < 2000 && !removed; i++) {
        Tick(o);
        const uint32_t now = gMV2FrameTimer.frameClock;
        if (!MV2ObjectHandleAlive(handle)) {
            removed = now;
            break;
        }
        if (now - start < 10000) {
            EXPECT_EQ(Key(o), 0);
        }
        if (d->stage == 1 && !stage1) {
            stage1 = now;
            heldKey = Key(o);
        }
        if (stage1 && !called && now - stage1 < 5000) {
            EXPECT_EQ(Key(o), heldKey); // the hold
        }
    }
    ASSERT_NE(stage1, 0u);
    ASSERT_NE(called, 0u);
    ASSERT_NE(removed, 0u);
    EXPECT_EQ(heldKey, 4);
    EXPECT_GE(stage1 - start, 10000u);
    EXPECT_LE(stage1 - start, 10000u + 45u * 33u); // 40 updates of 0.1 keys
    EXPECT_GE(called - stage1, 5000u);
    EXPECT_LE(called - stage1, 5000u + 35u * 33u);
    EXPECT_GE(removed - called, 5000u);
    EXPECT_LE(removed - called, 5000u + 65u * 33u);
}

TEST_F(LevelCreatureTest, UntriggeredFlyIsHeldAndUnhurt) {
    KeyedType(63, sizeof(MV2MaggotFlyData), 10);
    ModelType(133, 0.2f);
    MV2Object* fly = Create(63, {1.0f, -5.0f, 2.0f});
    ASSERT_NE(fly, nullptr);
    EXPECT_EQ(fly->flags & kMV2ObjectAnimate, 0u);
    const float energy = fly->energy;
    fly->matrix->pos = {9.0f, -9.0f, 9.0f};
    fly->energy = 1.0f;
    Tick(fly);
    EXPECT_FLOAT_EQ(fly->matrix->pos.x, 1.0f);
    EXPECT_FLOAT_EQ(fly->matrix->pos.z, 2.0f);
    EXPECT_EQ(fly->energy, energy);
    EXPECT_EQ(MV2ObjectSendMessage(fly, 65, 0, 0), MV2ObjectDefaultHandler(fly, 65, 0, 0));
    EXPECT_EQ(Count(133), 0); // nothing dropped before it is switched on

    // Switched on with a target that has died and two missing ones: it hovers on.
    MV2Object* target = Create(133, {5.0f, -5.0f, 2.0f});
    MV2SetFlyTargets(fly, target, nullptr, nullptr, 0);
    MV2ObjectSendMessage(target, 4, 1, 0);
    MV2ObjectSendMessage(fly, 11, 0, 0);
    Tick(fly);
    EXPECT_TRUE(MV2ObjectHandleAlive(fly->handle));

    // Shot while flying: at most one piece a second.
    MV2ObjectSendMessage(fly, 65, 0, 0);
    MV2ObjectSendMessage(fly, 65, 0, 0);
    EXPECT_EQ(Count(133), 1);
    gMV2FrameTimer.frameClock += 1001;
    MV2ObjectSendMessage(fly, 65, 0, 0);
    EXPECT_EQ(Count(133), 2);
}

TEST_F(LevelCreatureTest, MaggotBitesOnlyWithItsLungeKeys) {
    KeyedType(21, sizeof(MV2MaggotData), 10);
    MV2Object* maggot = Create(21);
    MV2Object* player = Player({1.0f, -10.0f, 0.0f});
    ASSERT_NE(maggot, nullptr);
    ASSERT_NE(player, nullptr);
    auto* d = static_cast<MV2MaggotData*>(maggot->privateData);
    MV2ObjectSendMessage(maggot, 14, 0, reinterpret_cast<intptr_t>(player));
    EXPECT_EQ(player->energy, 1000.0f); // a contact in the crawl only starts the retreat
    EXPECT_EQ(d->backOffUntil, gMV2FrameTimer.frameClock + 5000);
    TpAnimSequenceAtomicSetCurrentKey(MV2FindRootAtomic(maggot->clump), 5);
    MV2ObjectSendMessage(maggot, 14, 0, reinterpret_cast<intptr_t>(player));
    EXPECT_EQ(player->energy, 990.0f);
}

TEST_F(LevelCreatureTest, ShellSnapsOnlyFromFacingWithinThreeUnits) {
    BodyType(125, sizeof(MV2ShellData), 1.0f);
    MV2Object* shell = Create(125, {0.0f, 0.0f, 2.5f}); // no camera: it looks at the origin
    ASSERT_NE(shell, nullptr);
    auto* d = static_cast<MV2ShellData*>(shell->privateData);
    EXPECT_EQ(d->state, kMV2ShellSettling);
    EXPECT_EQ(MV2ObjectSendMessage(shell, 75, 0, 0), 1);
    struct Case {
        uint32_t state;
        float z;
        uint32_t after;
    };
    const Case cases[] = {{kMV2ShellFacing, 2.5f, kMV2ShellSnapping},
                          {kMV2ShellFacing, 6.0f, kMV2ShellCreeping},
                          {kMV2ShellFacing, 4.0f, kMV2ShellFacing},
                          {kMV2ShellCreeping, 2.5f, kMV2ShellCreeping}}; // no ground: no facing
    for (const Case& c : cases) {
        d->state = c.state;
        shell->matrix->pos = {0.0f, 0.0f, c.z};
        Tick(shell);
        EXPECT_EQ(d->state, c.after) << c.state << " at " << c.z;
    }
    // A bite in the snap: the player loses 10 and the shell creeps on, upright.
    MV2Object* player = Player({0.0f, 0.0f, 3.0f});
    d->state = kMV2ShellFacing;
    MV2ObjectSendMessage(shell, 14, 0, reinterpret_cast<intptr_t>(player));
    EXPECT_EQ(player->energy, 1000.0f);
    d->state = kMV2ShellSnapping;
    MV2ObjectSendMessage(shell, 14, 0, reinterpret_cast<intptr_t>(player));
    EXPECT_EQ(player->energy, 990.0f);
    EXPECT_EQ(d->state, kMV2ShellCreeping);
    EXPECT_EQ(d->hit, 1u);
    EXPECT_NEAR(shell->matrix->up.y, 1.0f, 1e-5f);
}

TEST_F(LevelCreatureTest, ScarabHoldsThePlayerOnItsCircle) {
    KeyedType(388, sizeof(MV2ScarabData), 20);
    MV2Object* scarab = Create(388, {0.0f, -10.0f, 0.0f});
    ASSERT_NE(scarab, nullptr);
    MV2Object* player = Player({5.0f, -2.0f, 0.0f});
    const TvV3d starts[] = {{5.0f, -2.0f, 0.0f}, {0.0f, 3.0f, -50.0f}, {-30.0f, -12.0f, 40.0f}};
    for (const TvV3d& at : starts) {
        player->matrix->pos = at;
        Tick(scarab);
        const TvV3d& p = player->matrix->pos;
        EXPECT_NEAR(std::sqrt(p.x * p.x + p.z * p.z), kMV2ScarabArenaRadius, 1e-3f);
        EXPECT_EQ(p.y, at.y); // free in height
        EXPECT_GT(p.x * at.x + p.z * at.z, 0.0f); // along its own direction from home
    }
}

TEST_F(LevelCreatureTest, ScarabHitsCountOnlyInTheLaserWindowNearTheEmitter) {
    KeyedType(388, sizeof(MV2ScarabData), 20);
    MV2Object* scarab = Create(388, {0.0f, -10.0f, 0.0f});
    ASSERT_NE(scarab, nullptr);
    static int32_t deaths;
    deaths = 0;
    MV2ObjectSendMessage(scarab, 12, 0, reinterpret_cast<intptr_t>(+[](MV2Object*, int32_t v) {
                             deaths += v;
                         }));
    auto* d = static_cast<MV2ScarabData*>(scarab->privateData);
    const float start = d->hitPoints;
    EXPECT_EQ(start, 400.0f);
    EXPECT_EQ(d->state, kMV2ScarabGuard);
    const float near[3] = {0.0f, -8.0f, 0.0f};
    const float far[3] = {0.0f, -6.0f, 0.0f};
    auto hit = [&](const float* p) {
        MV2ObjectSendMessage(scarab, 65, reinterpret_cast<intptr_t>(p), 0);
    };
    MV2SetScarabState(scarab, kMV2ScarabAttack);
    hit(near); // the window is not open yet
    EXPECT_EQ(d->hitPoints, start);
    TpAtomic* root = MV2FindRootAtomic(scarab->clump);
    TpAnimSequenceAtomicSetCurrentKey(root, 2);
    MV2ScarabKeyCallback(root, 1.0f); // key 2 ends: the window opens
    EXPECT_EQ(MV2GetScarabLaserWindow(), 1);
    hit(far);
    EXPECT_EQ(d->hitPoints, start);
    hit(near);
    EXPECT_EQ(d->hitPoints, start - 1.0f);
    MV2SetScarabState(scarab, kMV2ScarabRest);
    hit(near);
    EXPECT_EQ(d->hitPoints, start - 1.0f);
    EXPECT_EQ(MV2GetScarabHitPoints(scarab), start - 1.0f);
    MV2SetScarabState(scarab, kMV2ScarabAttack);
    while (d->state == kMV2ScarabAttack)
        hit(near);
    EXPECT_LT(d->hitPoints, 0.0f);
    EXPECT_EQ(d->state, kMV2ScarabDying);
    EXPECT_EQ(deaths, 1);
}

TEST_F(LevelCreatureTest, JellyEggHatchesAfterFiveMinutes) {
    KeyedType(61, 0, 4);
    KeyedType(60, sizeof(MV2BabyJellyData), 6);
    MV2Object* egg = Create(61);
    ASSERT_NE(egg, nullptr);
    const MV2ObjectHandle handle = egg->handle;
    Tick(egg, 300000 - 1); // 5 minutes less a millisecond
    EXPECT_TRUE(MV2ObjectHandleAlive(handle));
    Tick(egg, 1);
    EXPECT_TRUE(MV2ObjectHandleAlive(handle)); // exactly 5 minutes: not yet
    EXPECT_EQ(Count(60), 0);
    Tick(egg, 60);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
    EXPECT_EQ(Count(60), 1);
}

TEST_F(LevelCreatureTest, PodsBreedWhileFewerThanEightJellyfishAreNear) {
    ModelType(368, 2.0f);
    MV2ObjectType* podType = TaggedType(370, sizeof(MV2JellyPodData), {1, 2, 3});
    for (TpAtomic* a = MV2GetFirstAtomic(podType->model); a; a = MV2GetNextAtomic(podType->model, a))
        MV2AtomicSetPartTag(a, MV2FrameGetTag(a->object.frame));
    BodyType(59, sizeof(MV2AmbientCreature) + sizeof(MV2JellyfishRecord), 0.5f);
    MV2Object* mother = Create(368, {20.0f, 10.0f, 20.0f});
    MV2Object* pod = Create(370, {23.0f, 10.0f, 20.0f});
    ASSERT_NE(mother, nullptr);
    ASSERT_NE(pod, nullptr);
    MV2SetPlayerSub(Player({20.0f, 10.0f, 40.0f}));
    Tick(mother); // the player's craft comes within 35 units
    ASSERT_EQ(MV2GetJellyMotherState().playerNear, 1);
    std::vector<MV2Object*> jellies;
    for (int32_t i = 0; i < kMV2JellyBreedCap; i++) {
        MV2Object* jelly = Create(59, {20.0f + float(i), 12.0f, 25.0f});
        ASSERT_NE(jelly, nullptr);
        // Placed in the world's sectors, as the frame's render leaves them.
        MV2SetAllAtomicFlags(jelly->clump, 5);
        TvFrameUpdateObjects(jelly->clump->frame);
        jellies.push_back(jelly);
    }
    TvFrameSyncDirty();
    auto* d = static_cast<MV2JellyPodData*>(pod->privateData);
    d->breedTimer = -1.0f;
    Tick(pod);
    EXPECT_EQ(d->breedRequest, 0);
    EXPECT_GT(d->breedTimer, 9.0f);
    jellies.back()->energy = 0.0f; // a dying jellyfish does not count
    d->breedTimer = -1.0f;
    Tick(pod);
    EXPECT_EQ(d->breedRequest, 1);
}
