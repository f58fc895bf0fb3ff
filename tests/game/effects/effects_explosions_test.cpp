// Explosions: damage bands, the damage-0 path, pools, the light fade and drawing.
#include <cmath>

#include "engine/world/light.h"
#include "tests/game/effects/effects_fixture.h"

namespace {

class ExplosionTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        ASSERT_EQ(MV2InitialiseExplosions(), 1);
        ASSERT_EQ(MV2InitialiseScorches(), 1);
        ASSERT_EQ(MV2InitialiseBubbles(), 1);
        ModelType(kMV2CarrierType, 0.01f);
    }
    void TearDown() override {
        MV2ResetScorches();
        MV2ShutdownScorches();
        MV2ShutdownBubbles();
        MV2ShutdownExplosions();
        EffectsTest::TearDown();
    }
    static int32_t Active() {
        int32_t n = 0;
        for (MV2Explosion* e = MV2FirstExplosion(); e; e = MV2NextExplosion(e))
            n++;
        return n;
    }
};

} // namespace

TEST(ExplosionDamage, FullWithinHalfTheSizeThenLinearToTheSize) {
    const struct {
        float distance, centre;
        bool multiplayer;
        float expected;
    } cases[] = {
        {1.0f, 0, false, 10.0f},  // 0.5 from the surface: within half the size
        {1.49f, 0, false, 10.0f}, // just inside half the size
        {2.0f, 0, false, 5.0f},   // 1.5: half way from 1 to 2
        {2.5f, 0, false, 0.0f},   // at the size: none
        {9.0f, 0, false, 0.0f},
        {0, 1.25f, true, 5.0f},   // (2.5 - 1.25) x 10 / 2.5
        {0, 3.0f, true, -2.0f},   // negative: the caller applies nothing
    };
    for (const auto& c : cases)
        EXPECT_NEAR(MV2ExplosionDamageAmount(c.distance, c.centre, 0.5f, 2.0f, 10.0f, c.multiplayer),
                    c.expected, 1e-5f)
            << c.distance << " " << c.centre;
}

TEST_F(ExplosionTest, DamageZeroSkipsTheQueryAndTheScorch) {
    MV2ObjectType* target = ModelType(2, 0.5f);
    target->words[7] |= kMV2TypeCanDie;
    MV2Object* victim = Make(2, Rel(0, -4, 10));
    ASSERT_NE(victim, nullptr);
    const TvV3d c = Rel(0, -4.7f, 10);
    const float at[3] = {c.x, c.y, c.z};
    MV2CreateExplosion(at, 1.0f, 0.0f, nullptr, 3, 0);
    EXPECT_EQ(victim->energy, 100.0f);
    EXPECT_EQ(MV2FirstScorch(), nullptr);
    MV2CreateExplosion(at, 1.0f, 5.0f, nullptr, 3, 0);
    EXPECT_NEAR(victim->energy, 95.0f, 1e-4f);
    ASSERT_NE(MV2FirstScorch(), nullptr);
    EXPECT_FLOAT_EQ(MV2FirstScorch()->size, 0.5f); // min(size, 0.5)
}

TEST_F(ExplosionTest, SizeZeroWithDebrisHasOnePieceAndNoFlames) {
    const TvV3d c = Rel(0, 0, 10);
    const float at[3] = {c.x, c.y, c.z};
    MV2CreateExplosion(at, 0.0f, 0.0f, nullptr, 12, 16 | 0x80 | 0x20);
    MV2Explosion* e = MV2FirstExplosion();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->flameCount, 0);
    EXPECT_EQ(e->debrisCount, 1);
    EXPECT_EQ(e->kind, 0u); // kinds of 10 and more are kind 0
    EXPECT_EQ(e->ringActive, 0u);
    MV2CreateExplosion(at, 2.0f, 0.0f, nullptr, 4, 16 | 1);
    e = MV2FirstExplosion();
    EXPECT_EQ(e->debrisCount, 10);
    EXPECT_GE(e->flameCount, 4);
    EXPECT_LE(e->flameCount, 8);
    EXPECT_EQ(e->ringActive, 1u);
    EXPECT_FLOAT_EQ(e->blastRadius, 10.0f);
    gMV2GameType = 3;
    MV2CreateExplosion(at, 2.0f, 0.0f, nullptr, 4, 0);
    EXPECT_FLOAT_EQ(MV2FirstExplosion()->blastRadius, 2.0f);
}

TEST_F(ExplosionTest, TheEleventhReplacesTheOldest) {
    for (int32_t i = 0; i < kMV2Explosions; i++) {
        const TvV3d c = Rel(float(i) * 0.1f, 0, 10);
        const float at[3] = {c.x, c.y, c.z};
        MV2CreateExplosion(at, 1.0f, 0.0f, nullptr, 0, 0);
        NextFrame();
    }
    EXPECT_EQ(Active(), kMV2Explosions);
    const TvV3d c = Rel(5, 0, 10);
    const float at[3] = {c.x, c.y, c.z};
    MV2CreateExplosion(at, 1.0f, 0.0f, nullptr, 0, 0);
    EXPECT_EQ(Active(), kMV2Explosions);
    // The oldest (born first, at x + 0) now stands at the new centre.
    int32_t atNew = 0, atFirst = 0;
    for (MV2Explosion* e = MV2FirstExplosion(); e; e = MV2NextExplosion(e)) {
        atNew += e->centre.x == c.x ? 1 : 0;
        atFirst += e->centre.x == Rel(0, 0, 0).x ? 1 : 0;
    }
    EXPECT_EQ(atNew, 1);
    EXPECT_EQ(atFirst, 0);
}

TEST_F(ExplosionTest, TheLightFadesAsTheCosineOverOneSecond) {
    const TvV3d c = Rel(0, 0, 10);
    const float at[3] = {c.x, c.y, c.z};
    MV2CreateExplosion(at, 1.0f, 0.0f, nullptr, 2, 4);
    MV2Explosion* e = MV2FirstExplosion();
    ASSERT_NE(e, nullptr);
    ASSERT_NE(e->light, nullptr);
    EXPECT_EQ(TpLightGetWorld(e->light), MV2World);
    EXPECT_FLOAT_EQ(e->light->radius, 5.0f);
    gMV2FrameTimer.ticks = 15.0f; // half a second
    MV2UpdateExplosions();
    const float k = std::cos(0.5f * 1.5707964f);
    EXPECT_NEAR(e->light->red, k * (0.5f * 131 + 0.5f * 24) / 255.0f, 1e-4f);
    EXPECT_NEAR(e->light->blue, k * (0.5f * 253 + 0.5f * 137) / 255.0f, 1e-4f);
    MV2UpdateExplosions();
    EXPECT_EQ(TpLightGetWorld(e->light), nullptr);
    EXPECT_EQ(Active(), 0); // flames done, no ring, no streaks, light off
}

TEST_F(ExplosionTest, FlamesDrawTwoFramesAndAMissingFrameDrawsNothing) {
    MV2ShutdownExplosions();
    textures_.missing = {"*|explo3c"};
    ASSERT_EQ(MV2InitialiseExplosions(), 1);
    EXPECT_EQ(MV2ExplosionFrameCount(), 7); // the count of kind 9
    EXPECT_EQ(MV2ExplosionRingCount(), 3);
    const TvV3d c = Rel(0, 0, 10);
    const float at[3] = {c.x, c.y, c.z};
    MV2CreateExplosion(at, 1.0f, 0.0f, nullptr, 3, 0);
    MV2Explosion* e = MV2FirstExplosion();
    for (int32_t i = 0; i < e->flameCount; i++)
        e->flames[i].progress = 1.5f / 7.0f; // frame 1 blended with frame 2 (missing)
    MV2DrawExplosions(nullptr);
    EXPECT_EQ(int32_t(recorder_.calls.size()), e->flameCount); // only frame 1 of each
    recorder_.calls.clear();
    for (int32_t i = 0; i < e->flameCount; i++)
        e->flames[i].progress = 0.5f / 7.0f;
    MV2DrawExplosions(nullptr);
    EXPECT_EQ(int32_t(recorder_.calls.size()), 2 * e->flameCount);
    textures_.missing.clear();
}

TEST_F(ExplosionTest, FewerThanTwoRingFramesFailTheStart) {
    MV2ShutdownExplosions();
    textures_.missing = {"*|eringb"};
    EXPECT_EQ(MV2InitialiseExplosions(), 0);
    textures_.missing.clear();
}
