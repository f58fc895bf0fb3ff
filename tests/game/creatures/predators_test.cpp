#include "tests/game/creatures/creature_fixture.h"

#include "engine/world/anim.h"
#include "game/creatures/ambient.h"
#include "game/creatures/deathsites.h"
#include "game/creatures/eater.h"
#include "game/creatures/rammer.h"
#include "game/objects/levels.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"

namespace {

class PredatorTest : public CreatureTest {
protected:
    void SetUp() override {
        CreatureTest::SetUp();
        MV2SetWaterHeight(0.0f);
        gMV2FrameTimer.ticks = 1.0f;
        gMV2Level.currentLevelId = 1u << 24; // no eaters spawned at death sites
        MV2InitialiseDeathSites();
    }
    void TearDown() override {
        MV2SetPlayerObject(nullptr);
        MV2InitialiseDeathSites();
        gMV2Level.currentLevelId = kMV2NoLevel;
        CreatureTest::TearDown();
    }
    MV2Object* Player(TvV3d at) {
        MV2Object* player = MakeSub(0, at);
        if (player) {
            player->energy = 1000.0f;
            MV2SetPlayerObject(player);
        }
        return player;
    }
    // A creature of the shared handler with `extra` bytes of its own behind the shared record.
    MV2Object* Creature(int32_t type, size_t extra, TvV3d at, int32_t keys = 0) {
        if (!MV2GetObjectType(type)->privateData) {
            MV2ObjectType* t = BodyType(type, sizeof(MV2AmbientCreature) + extra, 0.5f);
            if (keys) {
                TpGeometry* g = TpAtomicGetGeometry(MV2FindRootAtomic(t->model));
                TpAnimSequenceGeometryCreateKeys(g, keys);
                for (int32_t k = 0; k < keys; ++k)
                    TpAnimSequenceGeometrySetKey(g, k, 0, 0, 1.0f);
            }
        }
        const float p[3] = {at.x, at.y, at.z};
        return MV2CreateObject(type, p, nullptr);
    }
    MV2Object* Rammer(TvV3d at = {0.0f, -10.0f, 0.0f}) {
        return Creature(137, sizeof(MV2RammerRecord), at);
    }
    MV2Object* EaterFish(TvV3d at = {0.0f, -10.0f, 0.0f}) {
        return Creature(68, sizeof(MV2EaterRecord), at, 40);
    }
    template <typename T>
    static T* Extension(MV2Object* o) {
        return reinterpret_cast<T*>(static_cast<MV2AmbientCreature*>(o->privateData) + 1);
    }
    static void Tick(MV2Object* o) {
        MV2ObjectSendMessage(o, 2, 0, 0);
        gMV2FrameTimer.frameClock += 33;
    }
    static int32_t Key(MV2Object* o) {
        return TpAnimSequenceAtomicGetCurrentKeyIndex(MV2FindRootAtomic(o->clump));
    }
};

} // namespace

TEST_F(PredatorTest, RammerChargesThePlayerWithinSixteenUnits) {
    MV2Object* rammer = Rammer();
    ASSERT_NE(rammer, nullptr);
    EXPECT_EQ(rammer->aiCategory, 7);
    auto* d = Extension<MV2RammerRecord>(rammer);
    Tick(rammer);
    EXPECT_EQ(d->flags, 0u); // no player
    struct Case {
        float distance;
        uint32_t flags;
        bool backsOff;
    };
    const Case cases[] = {
        {16.5f, 0, false},
        {10.0f, kMV2RammerCharging, false},
        {3.0f, kMV2RammerCharging | kMV2RammerInRange, false},
        {1.5f, kMV2RammerCharging | kMV2RammerInRange, true}, // backs off without touching
    };
    MV2Object* player = Player({0.0f, -10.0f, 0.0f});
    ASSERT_NE(player, nullptr);
    for (const Case& c : cases) {
        player->matrix->pos = {c.distance, -10.0f, 0.0f};
        rammer->matrix->pos = {0.0f, -10.0f, 0.0f};
        d->backOffUntil = 0;
        MV2ObjectSendMessage(rammer, 2, 0, 0);
        EXPECT_EQ(d->flags, c.flags) << c.distance;
        EXPECT_EQ(d->backOffUntil == int32_t(gMV2FrameTimer.frameClock) + 2000, c.backsOff)
            << c.distance;
    }
}

TEST_F(PredatorTest, RammerHurtsThePlayerOnlyByARamInRange) {
    MV2Object* rammer = Rammer();
    MV2Object* other = Rammer({0.0f, -10.0f, 3.0f});
    ASSERT_NE(rammer, nullptr);
    ASSERT_NE(other, nullptr);
    auto* d = Extension<MV2RammerRecord>(rammer);
    MV2Object* player = Player({10.0f, -10.0f, 0.0f});
    ASSERT_NE(player, nullptr);
    MV2ObjectSendMessage(rammer, 2, 0, 0);
    ASSERT_EQ(d->flags, kMV2RammerCharging);
    MV2ObjectSendMessage(rammer, 14, 0, reinterpret_cast<intptr_t>(player));
    EXPECT_EQ(player->energy, 1000.0f); // charging but 10 units away
    player->matrix->pos = {3.0f, -10.0f, 0.0f};
    rammer->matrix->pos = {0.0f, -10.0f, 0.0f};
    MV2ObjectSendMessage(rammer, 2, 0, 0);
    ASSERT_EQ(d->flags, kMV2RammerCharging | kMV2RammerInRange);
    MV2ObjectSendMessage(rammer, 14, 0, reinterpret_cast<intptr_t>(other));
    EXPECT_EQ(player->energy, 1000.0f);
    MV2ObjectSendMessage(rammer, 14, 0, reinterpret_cast<intptr_t>(player));
    EXPECT_EQ(player->energy, 990.0f);
    EXPECT_EQ(d->backOffUntil, int32_t(gMV2FrameTimer.frameClock) + 2000);
}

TEST_F(PredatorTest, RammerChargesAGivenTargetWhileItLives) {
    MV2Object* rammer = Rammer();
    MV2Object* target = Rammer({0.0f, -10.0f, 30.0f});
    ASSERT_NE(rammer, nullptr);
    ASSERT_NE(target, nullptr);
    auto* d = Extension<MV2RammerRecord>(rammer);
    EXPECT_EQ(MV2ObjectSendMessage(rammer, 33, 0, reinterpret_cast<intptr_t>(target)), 1);
    Tick(rammer);
    EXPECT_EQ(d->flags, kMV2RammerCharging);
    MV2ObjectSendMessage(target, 4, 1, 0);
    Tick(rammer);
    EXPECT_EQ(d->flags, 0u);
    EXPECT_EQ(MV2ObjectSendMessage(rammer, 80, 0, 0), 1);
}

TEST(Eater, KeyCycle) {
    struct Case {
        int32_t finished;
        uint32_t flags;
        int32_t next;
        uint32_t flagsAfter;
    };
    const uint32_t biting = kMV2EaterBiting | kMV2EaterChasing;
    const Case cases[] = {
        {0, 0, 1, 0},   {19, 0, 20, 0},          {20, 0, 0, 0},  {21, biting, 22, biting},
        {23, biting, 24, biting}, {38, biting, 39, biting}, {39, biting, 0, kMV2EaterChasing},
        {40, 0, -1, 0},
    };
    for (const Case& c : cases) {
        uint32_t flags = c.flags;
        EXPECT_EQ(MV2EaterNextKey(c.finished, &flags), c.next) << c.finished;
        EXPECT_EQ(flags, c.flagsAfter) << c.finished;
    }
}

TEST_F(PredatorTest, EaterHuntsThePlayerAndBitesWithinFourUnits) {
    MV2Object* eater = EaterFish();
    ASSERT_NE(eater, nullptr);
    EXPECT_EQ(eater->aiCategory, 7);
    EXPECT_EQ(eater->flags & kMV2ObjectAnimate, 0u);
    auto* d = Extension<MV2EaterRecord>(eater);
    MV2Object* player = Player({12.0f, -10.0f, 0.0f});
    ASSERT_NE(player, nullptr);
    Tick(eater);
    EXPECT_TRUE(d->flags & kMV2EaterChasing);
    EXPECT_FALSE(d->flags & kMV2EaterBiting);
    player->matrix->pos = {eater->matrix->pos.x + 3.0f, -10.0f, 0.0f};
    Tick(eater);
    EXPECT_TRUE(d->flags & kMV2EaterBiting);
    EXPECT_EQ(Key(eater), kMV2EaterFirstBiteKey);
    MV2ObjectSendMessage(eater, 19, 0, reinterpret_cast<intptr_t>(player));
    EXPECT_EQ(player->energy, 995.0f);
    EXPECT_EQ(d->fleeUntil, int32_t(gMV2FrameTimer.frameClock) + 2000);
    MV2ObjectSendMessage(eater, 14, 0, reinterpret_cast<intptr_t>(player));
    EXPECT_FLOAT_EQ(player->energy, 994.9f);
    // The player out of range is dropped.
    player->matrix->pos = {eater->matrix->pos.x + 20.0f, -10.0f, 0.0f};
    Tick(eater);
    EXPECT_FALSE(d->flags & kMV2EaterChasing);
    EXPECT_EQ(d->target, nullptr);
}

TEST_F(PredatorTest, EaterFedAboveThirtySixStopsHunting) {
    MV2Object* eater = EaterFish();
    ASSERT_NE(eater, nullptr);
    auto* d = Extension<MV2EaterRecord>(eater);
    auto* shared = static_cast<MV2AmbientCreature*>(eater->privateData);
    for (int32_t meal = 0; meal < 4; ++meal)
        EXPECT_EQ(MV2ObjectSendMessage(eater, 71, 0, 0), 1);
    EXPECT_EQ(shared->stunTimer, kMV2EaterCalmMax);
    ASSERT_NE(Player({8.0f, -10.0f, 0.0f}), nullptr);
    int32_t frames = 0;
    for (; frames < 30 * 30 && !(d->flags & kMV2EaterChasing); ++frames) {
        MV2GetPlayerObject()->matrix->pos = TvV3dAdd(eater->matrix->pos, {8.0f, 0.0f, 0.0f});
        Tick(eater);
    }
    // Calm falls by a second a second: 18 s from 54 to 36.
    EXPECT_NEAR(frames * 0.033f, 18.0f, 0.5f);
    EXPECT_LE(shared->stunTimer, kMV2EaterCalmLimit);
}

TEST_F(PredatorTest, EaterFleesTwentySecondsAfterFiveBites) {
    MV2Object* eater = EaterFish();
    ASSERT_NE(eater, nullptr);
    auto* d = Extension<MV2EaterRecord>(eater);
    MV2Object* fish = Creature(95, 0, {2.0f, -10.0f, 0.0f});
    ASSERT_NE(fish, nullptr);
    fish->energy = 100.0f;
    EXPECT_EQ(MV2ObjectSendMessage(eater, 33, 0, reinterpret_cast<intptr_t>(fish)), 1);
    Tick(eater); // chased and bitten at once
    ASSERT_TRUE(d->flags & kMV2EaterChasing);
    ASSERT_TRUE(d->flags & kMV2EaterBiting);
    ASSERT_EQ(d->target, &fish->matrix->pos);
    MV2ObjectSendMessage(eater, 19, 0, reinterpret_cast<intptr_t>(eater)); // not its target
    EXPECT_EQ(eater->energy, 100.0f);
    for (int32_t bite = 1; bite <= 5; ++bite) {
        MV2ObjectSendMessage(eater, 19, 0, reinterpret_cast<intptr_t>(fish));
        const int32_t flee = bite < 5 ? 2000 : 20000;
        EXPECT_EQ(d->fleeUntil, int32_t(gMV2FrameTimer.frameClock) + flee) << bite;
        EXPECT_EQ((d->flags & kMV2EaterBiteMask) >> 2, uint32_t(bite % 5)) << bite;
    }
    EXPECT_EQ(fish->energy, 75.0f);
}

TEST_F(PredatorTest, EaterGoesToDeathSitesAndDropsThemWithinFourUnits) {
    MV2Object* eater = EaterFish();
    ASSERT_NE(eater, nullptr);
    auto* d = Extension<MV2EaterRecord>(eater);
    const TvV3d site{10.0f, -10.0f, 0.0f};
    MV2PostDeathSite(&site);
    Tick(eater);
    EXPECT_EQ(d->goingToSite, 1);
    EXPECT_TRUE(d->flags & kMV2EaterChasing);
    EXPECT_EQ(d->nextSearch, int32_t(gMV2FrameTimer.frameClock) - 33 + 4000);
    eater->matrix->pos = {6.5f, -10.0f, 0.0f}; // 3.5 units away: reached
    Tick(eater);
    EXPECT_EQ(d->target, nullptr);
    EXPECT_FALSE(d->flags & kMV2EaterChasing);
    // With no site and no prey it searches again 2 s later.
    MV2InitialiseDeathSites();
    eater->matrix->pos = {-50.0f, -10.0f, 0.0f};
    d->nextSearch = 0;
    Tick(eater);
    EXPECT_EQ(d->nextSearch, int32_t(gMV2FrameTimer.frameClock) - 33 + 2000);
}
