// Bubbles, sparks and splats, fireballs and flak.
#include "tests/game/effects/effects_fixture.h"

namespace {

class ParticleTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        ASSERT_EQ(MV2InitialiseBubbles(), 1);
        ASSERT_EQ(MV2InitialiseSparks(), 1);
        ASSERT_EQ(MV2InitialiseFireballs(), 1);
        ASSERT_EQ(MV2InitialiseGravel(), 1);
        ASSERT_EQ(MV2InitialiseFlak(), 1);
        MV2ResetFlak();
        ModelType(kMV2CarrierType, 0.01f);
    }
    void TearDown() override {
        MV2DestroyAllObjects();
        MV2ResetBubbles();
        MV2ResetGravel();
        MV2ShutdownGravel();
        MV2ShutdownBubbles();
        MV2ShutdownSparks();
        MV2ShutdownFireballs();
        MV2ShutdownFlak();
        EffectsTest::TearDown();
    }
    static std::array<float, 3> F(TvV3d v) { return {v.x, v.y, v.z}; }
};

} // namespace

TEST_F(ParticleTest, BubbleSizesAreHeldWithinTheirLimitsAndNoneAboveTheWater) {
    MV2SetWaterHeight(20.0f);
    const auto at = F(Rel(0, 0, 10));
    MV2Bubble* small = MV2CreateBubble(at.data(), nullptr, 0.0f);
    ASSERT_NE(small, nullptr);
    EXPECT_EQ(small->packed >> 24, 10u); // 0.01
    MV2Bubble* large = MV2CreateBubble(at.data(), nullptr, 1000.0f);
    ASSERT_NE(large, nullptr);
    EXPECT_EQ(large->packed >> 24, 255u); // 0.255
    EXPECT_GE(large->packed & 0xFF, 1u);
    EXPECT_LE(large->packed & 0xFF, 3u);
    EXPECT_EQ(large->ceiling, 1.0e9f);
    const auto ok = F({15, 20.5f, 10}), high = F({15, 20.6f, 10});
    EXPECT_NE(MV2CreateBubble(ok.data(), nullptr, 0.1f), nullptr);
    EXPECT_EQ(MV2CreateBubble(high.data(), nullptr, 0.1f), nullptr);
    const auto far = F(Rel(0, 0, 31));
    EXPECT_EQ(MV2CreateBubble(far.data(), nullptr, 0.1f), nullptr);
    MV2InViewUpdateFlag = 0;
    EXPECT_EQ(MV2CreateBubble(at.data(), nullptr, 0.1f), nullptr);
    MV2InViewUpdateFlag = 1;
    // The ones near the surface go at the next update; a lowered ceiling takes another.
    large->ceiling = 15.0f;
    const int32_t before = MV2CountBubbles();
    MV2UpdateBubbles();
    EXPECT_EQ(MV2CountBubbles(), before - 2);
    // The width and height wobble half a table apart.
    recorder_.calls.clear();
    MV2DrawBubbles();
    ASSERT_FALSE(recorder_.calls.empty());
}

TEST_F(ParticleTest, BubblesGoAfterAboutFiveSeconds) {
    const auto at = F(Rel(0, -4, 10));
    MV2CreateBubble(at.data(), nullptr, 0.1f);
    MV2Bubble* b = MV2FirstBubble();
    ASSERT_NE(b, nullptr);
    b->packed &= ~(0xFFFFu << 8); // age 0
    b->ceiling = 1.0e9f;
    int32_t updates = 0;
    gMV2FrameTimer.ticks = 3.0f; // 0.1 s: 102 a step; the bubble is put back each step
    while (MV2CountBubbles() && updates < 100) {
        b->position = {15, 12, 10};
        b->velocity = {0, 0, 0};
        MV2UpdateBubbles();
        updates++;
    }
    EXPECT_EQ(updates, 50); // 49 x 102 = 4998, 50 x 102 = 5100
}

TEST_F(ParticleTest, SparkFramesFollowTheTimeLeft) {
    const auto at = F(Rel(0, -5, 10));
    const float up[3] = {0, 1, 0};
    MV2CreateSparks(at.data(), up, 0);
    MV2SparkRecord* r = MV2FirstSpark();
    ASSERT_NE(r, nullptr);
    ASSERT_NE(r->carrier, nullptr);
    EXPECT_EQ(r->endTime, MV2EffectClock() + 360);
    // A straight-up normal uses the fixed axes: the first point lies along -x.
    EXPECT_FLOAT_EQ(r->points[0].x, at[0] - 0.25f);
    EXPECT_FLOAT_EQ(r->points[0].y, at[1] + 0.5f);
    const struct {
        uint32_t left, frame;
    } cases[] = {{360, 2}, {359, 2}, {240, 2}, {239, 1}, {120, 1}, {119, 0}, {1, 0}};
    for (const auto& c : cases) {
        gMV2DayClock.gameClock = r->endTime - c.left;
        MV2ObjectSendMessage(r->carrier, 2, 0, 0);
        EXPECT_EQ(r->frame, c.frame) << c.left;
        EXPECT_EQ(r->grey, uint32_t(float(c.left) / 360.0f * 200.0f)) << c.left;
    }
    MV2DrawSparks(nullptr);
    EXPECT_EQ(recorder_.calls.size(), 4u);
    EXPECT_EQ(recorder_.calls[0].indices, (std::vector<uint16_t>{0, 2, 1, 0, 1, 2}));
    // At its end the carrier goes and the record is free.
    MV2Object* carrier = r->carrier;
    const MV2ObjectHandle handle = carrier->handle;
    gMV2DayClock.gameClock = r->endTime;
    MV2ObjectSendMessage(carrier, 2, 0, 0);
    EXPECT_EQ(MV2ObjectHandleAlive(handle), 0);
    EXPECT_EQ(MV2FirstSpark(), nullptr);
}

TEST_F(ParticleTest, TheTwentySixthSparkTakesTheOldestAndEndsItsCarrier) {
    const auto at = F(Rel(0, -5, 10));
    const float normal[3] = {0.6f, 0.8f, 0};
    std::vector<MV2ObjectHandle> carriers;
    for (int32_t i = 0; i < kMV2Sparks; i++) {
        MV2CreateSparks(at.data(), normal, 2);
        carriers.push_back(MV2FirstSpark()->carrier->handle);
        NextFrame(1);
    }
    EXPECT_EQ(MV2FirstSpark()->textureBase, 3u);
    MV2CreateSparks(at.data(), normal, 1);
    EXPECT_EQ(MV2ObjectHandleAlive(carriers[0]), 0);
    EXPECT_EQ(MV2ObjectHandleAlive(carriers[1]), 1);
    EXPECT_EQ(MV2FirstSpark()->textureBase, 0u);
    EXPECT_EQ(MV2FirstSpark()->birthFrame, gMV2FrameTimer.updateCounter);
}

TEST_F(ParticleTest, FireballsGrowAndFadeAndOnlyTheirOwnerHitsThem) {
    ModelType(1);
    MV2Object* owner = Make(1, Rel(0, 0, 5));
    MV2Object* other = Make(1, Rel(1, 0, 5));
    const auto at = F(Rel(0, 0, 10));
    MV2CreateFireball(at.data(), nullptr, 1.0f, owner, 0.0f, 200);
    MV2Fireball* f = MV2FirstFireball();
    ASSERT_NE(f, nullptr);
    for (int32_t i = 0; i < 30; i++)
        MV2UpdateFireballs();
    EXPECT_EQ(f->brightness, 200u); // growth 0: neither fades nor grows
    EXPECT_FLOAT_EQ(f->size, 1.0f);
    float offset[3] = {}, distance = 0;
    const auto near = F({f->position.x, f->position.y, f->position.z + 0.5f});
    EXPECT_EQ(MV2FireballHitTest(near.data(), 0.2f, other, offset, &distance), 0);
    EXPECT_EQ(MV2FireballHitTest(near.data(), 0.2f, owner, offset, &distance), 1);
    EXPECT_NEAR(distance, 0.5f, 1e-4f);
    EXPECT_NEAR(offset[2], -0.5f, 1e-4f);
    MV2UpdateFireballs(); // brightness 25: gone
    EXPECT_EQ(MV2FirstFireball(), nullptr);
    MV2CreateFireball(at.data(), nullptr, 1.0f, owner, 1.0f, 255);
    gMV2FrameTimer.ticks = 3.0f;
    MV2UpdateFireballs();
    EXPECT_EQ(MV2FirstFireball()->brightness, 229u); // 255 - 0.1 x 255, truncated
    EXPECT_NEAR(MV2FirstFireball()->size, 1.1f, 1e-5f);
}

TEST_F(ParticleTest, FlakShowsASheetFrameEveryThirtyThreeMilliseconds) {
    const TvV3d p = Rel(0, 0, 10);
    const float at[3] = {p.x, p.y, p.z};
    const int32_t slot = MV2CreateFlak(at, 1.0f, 700, kMV2FlakCopyPoint);
    ASSERT_EQ(slot, 1);
    const MV2FlakBurst& b = gMV2Flak[0];
    EXPECT_EQ(b.flags, kMV2FlakCopyPoint | (1u << 13));
    const struct {
        uint32_t elapsed;
        int32_t frame;
    } cases[] = {{0, 0}, {33, 0}, {34, 1}, {699, 20}, {700, 0}, {734, 1}};
    for (const auto& c : cases)
        EXPECT_EQ(MV2FlakFrame(&b, b.startTime + c.elapsed), c.frame) << c.elapsed;
    MV2FlakBurst still = b;
    still.duration = 0;
    EXPECT_EQ(MV2FlakFrame(&still, b.startTime + 500), 0);
    MV2DrawFlak();
    ASSERT_EQ(recorder_.calls.size(), 1u);
    EXPECT_EQ(recorder_.calls[0].type, kTvPrimitiveTriangleFan);
    // Without the keep bit the burst ends after its time.
    gMV2DayClock.gameClock = b.startTime + 701;
    MV2UpdateFlak();
    EXPECT_EQ(gMV2Flak[0].flags, 0u);
    // Forty bursts fill the slots; the forty-first is refused.
    for (int32_t i = 0; i < kMV2FlakBursts; i++)
        EXPECT_EQ(MV2CreateFlak(at, 1.0f, 700, kMV2FlakCopyPoint | kMV2FlakKeep), i + 1);
    EXPECT_EQ(MV2CreateFlak(at, 1.0f, 700, kMV2FlakCopyPoint), 0);
    // A burst that follows a dead object ends.
    MV2ResetFlak();
    ModelType(1);
    MV2Object* object = Make(1, p);
    EXPECT_EQ(MV2CreateFlak(object, 1.0f, 700, kMV2FlakKeep), 1);
    MV2ObjectSendMessage(object, 4, 0, 0);
    MV2UpdateFlak();
    EXPECT_EQ(gMV2Flak[0].flags, 0u);
}
