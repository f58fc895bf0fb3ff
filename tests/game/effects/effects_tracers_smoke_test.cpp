// Tracers, smoke puffs and the ink emitter.
#include "tests/game/effects/effects_fixture.h"

#include "game/objects/objectsounds.h"

namespace {

class TracerSmokeTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        ASSERT_EQ(MV2InitialiseTracers(), 1);
        ASSERT_EQ(MV2InitialiseSmoke(), 1);
    }
    void TearDown() override {
        MV2DestroyAllObjects();
        MV2ResetTracers();
        MV2ResetSmoke();
        MV2ShutdownSmoke();
        EffectsTest::TearDown();
    }
    static std::array<float, 3> F(TvV3d v) { return {v.x, v.y, v.z}; }
    // The vertices of the last indexed draw, or none.
    std::vector<TvIm3DVertex> Drawn() const {
        auto calls = recorder_.Of(Im3DCall::kIndexed);
        return calls.empty() ? std::vector<TvIm3DVertex>{} : calls.back()->vertices;
    }
};

const float kAlong[3] = {0, 0, 1};

} // namespace

TEST_F(TracerSmokeTest, ShotsOfOneUnitOrLessMakeNoTracer) {
    const auto start = F(Rel(0, 0, 2));
    MV2CreateTracer(start.data(), kAlong, 1.0f);
    MV2CreateTracer(start.data(), kAlong, 0.3f);
    EXPECT_EQ(MV2CountTracers(), 0);
    MV2CreateTracer(start.data(), kAlong, 1.01f);
    EXPECT_EQ(MV2CountTracers(), 1);
    EXPECT_EQ(MV2FirstTracer()->expiry, MV2EffectClock() + 500);
}

TEST_F(TracerSmokeTest, TheTwentyFirstTracerTakesTheOneEndingFirst) {
    const auto start = F(Rel(0, 0, 2));
    std::vector<MV2Tracer*> made;
    for (int32_t i = 0; i < kMV2Tracers; i++) {
        MV2CreateTracer(start.data(), kAlong, 10.0f + float(i));
        made.push_back(MV2FirstTracer());
        NextFrame(10);
    }
    ASSERT_EQ(MV2CountTracers(), kMV2Tracers);
    MV2CreateTracer(start.data(), kAlong, 40.0f);
    EXPECT_EQ(MV2CountTracers(), kMV2Tracers);
    EXPECT_EQ(made[0]->length, 40.0f); // the oldest, the smallest expiry
    EXPECT_EQ(made[0]->expiry, MV2EffectClock() + 500);
    EXPECT_EQ(made[1]->length, 11.0f);
}

TEST_F(TracerSmokeTest, ATenUnitTracerIsDrawnForItsFirst180Milliseconds) {
    const TvV3d start = Rel(0, 0, 2);
    const auto s = F(start);
    MV2CreateTracer(s.data(), kAlong, 10.0f);
    const uint32_t made = MV2EffectClock();
    const struct {
        uint32_t elapsed;
        bool drawn;
    } cases[] = {{0, true}, {100, true}, {180, true}, {182, false}, {400, false}};
    for (const auto& c : cases) {
        recorder_.calls.clear();
        gMV2DayClock.gameClock = made + c.elapsed;
        MV2DrawTracers();
        const std::vector<TvIm3DVertex> v = Drawn();
        ASSERT_EQ(v.size(), c.drawn ? 3u : 0u) << c.elapsed;
        if (!c.drawn) continue;
        const float run = float(c.elapsed) * 0.05f; // 50 units a second
        EXPECT_NEAR(v[0].objVertex.z, start.z + run, 1e-3f) << c.elapsed;
        EXPECT_NEAR(v[1].objVertex.z, start.z + run + 1.0f, 1e-3f);
        EXPECT_NEAR(v[1].objVertex.y - v[2].objVertex.y, 0.025f, 1e-5f);
        EXPECT_EQ(recorder_.Of(Im3DCall::kIndexed).back()->indices,
                  (std::vector<uint16_t>{0, 2, 1, 0, 1, 2}));
    }
    // Fog from the distance to the start: 2 units of 30.
    recorder_.calls.clear();
    gMV2DayClock.gameClock = made;
    MV2DrawTracers();
    const std::vector<TvIm3DVertex> v = Drawn();
    ASSERT_EQ(v.size(), 3u);
    const uint8_t g = uint8_t((1.0f - 4.0f / 900.0f) * 255.0f);
    EXPECT_EQ(v[0].red, g);
    EXPECT_EQ(v[0].blue, uint8_t(g / 2));
    EXPECT_EQ(v[1].green, uint8_t(g / 2));
    EXPECT_EQ(v[1].blue, 0);
    // Half a second on the tracer is gone at the next update.
    gMV2DayClock.gameClock = made + 500;
    MV2UpdateTracers();
    EXPECT_EQ(MV2CountTracers(), 1);
    gMV2DayClock.gameClock = made + 501;
    MV2UpdateTracers();
    EXPECT_EQ(MV2CountTracers(), 0);
}

TEST_F(TracerSmokeTest, ResetsEndTracersAndPuffsMadeAtClockZero) {
    gMV2DayClock.gameClock = 0;
    const auto at = F(Rel(0, 0, 5));
    MV2CreateTracer(at.data(), kAlong, 5.0f);
    MV2CreateSmoke(at.data(), nullptr, 1.5f, 0.05f, 200);
    ASSERT_EQ(MV2FirstSmokePuff()->birth, 0u);
    MV2ResetTracers();
    MV2ResetSmoke();
    EXPECT_EQ(MV2CountTracers(), 0);
    EXPECT_EQ(MV2CountSmokePuffs(), 0);
    // The pools still give all their records.
    for (int32_t i = 0; i < kMV2SmokePuffs; i++)
        MV2CreateSmoke(at.data(), nullptr, 1.5f, 0.05f, 200);
    EXPECT_EQ(MV2CountSmokePuffs(), kMV2SmokePuffs);
}

TEST_F(TracerSmokeTest, APuffFadesInOver800MillisecondsAndDarkensTheScene) {
    gMV2Render.brightness = 0.5f;
    const TvV3d at = Rel(0, 0, 3);
    const auto p = F(at);
    MV2CreateSmoke(p.data(), nullptr, 2.0f, 0.05f, 200);
    const uint32_t born = MV2EffectClock();
    const float fog = 1.0f - 9.0f / 900.0f;
    for (uint32_t age : {0u, 400u, 799u, 800u, 2000u}) {
        recorder_.calls.clear();
        gMV2DayClock.gameClock = born + age;
        MV2DrawSmoke();
        const std::vector<TvIm3DVertex> v = Drawn();
        ASSERT_EQ(v.size(), 4u);
        const float a = age < 800 ? float(age) * 0.00125f * 200.0f : 200.0f;
        EXPECT_EQ(v[0].red, uint8_t(int32_t(a * 0.5f * fog))) << age;
        EXPECT_EQ(v[3].blue, v[0].red);
        EXPECT_EQ(v[0].alpha, 255);
    }
    // Corners one unit (half the size) out along the camera's right and up.
    const std::vector<TvIm3DVertex> v = Drawn();
    EXPECT_FLOAT_EQ(v[0].objVertex.x, at.x - 1.0f); // the camera's right is +x
    EXPECT_FLOAT_EQ(v[0].objVertex.y, at.y - 1.0f);
    EXPECT_FLOAT_EQ(v[2].objVertex.y, at.y + 1.0f);
    // Darkening blend while drawing, the previous states after.
    EXPECT_EQ(recorder_.State(kTvRenderStateSrcBlend), 0);
    recorder_.states[kTvRenderStateSrcBlend] = 5;
    recorder_.states[kTvRenderStateDestBlend] = 6;
    MV2DrawSmoke();
    EXPECT_EQ(recorder_.State(kTvRenderStateSrcBlend), 5);
    EXPECT_EQ(recorder_.State(kTvRenderStateDestBlend), 6);
}

TEST_F(TracerSmokeTest, APuffOfAlpha192LastsAboutThirteenSecondsAtAnyFrameRate) {
    const auto p = F(Rel(0, 0, 3));
    const float up[3] = {0, 1, 0};
    for (float ticks : {1.0f, 0.5f, 4.0f}) {
        MV2ResetSmoke();
        MV2CreateSmoke(p.data(), up, 1.5f, 0.05f, 192);
        MV2SmokePuff* puff = MV2FirstSmokePuff();
        gMV2FrameTimer.ticks = ticks;
        float seconds = 0.0f, size = 0.0f;
        while (MV2CountSmokePuffs() && seconds < 60.0f) {
            size = puff->size;
            MV2UpdateSmoke();
            seconds += ticks / 30.0f;
        }
        EXPECT_NEAR(seconds, 13.0f, 0.2f) << ticks;
        EXPECT_NEAR(size, 1.5f + 0.5f * 13.0f, 0.2f) << ticks;
    }
}

TEST_F(TracerSmokeTest, TheEightyFirstPuffReplacesTheOldest) {
    const auto p = F(Rel(0, 0, 3));
    std::vector<MV2SmokePuff*> made;
    for (int32_t i = 0; i < kMV2SmokePuffs; i++) {
        MV2CreateSmoke(p.data(), nullptr, 1.0f + float(i), 0.05f, 200);
        made.push_back(MV2FirstSmokePuff());
        NextFrame(5);
    }
    MV2CreateSmoke(p.data(), nullptr, 99.0f, 0.05f, 200);
    EXPECT_EQ(MV2CountSmokePuffs(), kMV2SmokePuffs);
    EXPECT_EQ(made[0]->size, 99.0f);
    EXPECT_EQ(made[0]->birth, MV2EffectClock());
    EXPECT_EQ(made[1]->size, 2.0f);
}

TEST_F(TracerSmokeTest, TheInkEmitterPuffsWhileOnAndIsSilentWhenOff) {
    HandledType(kMV2InkEmitterType, MV2SmokeEmitterHandler, sizeof(MV2InkEmitterData));
    MV2Object* emitter = Make(kMV2InkEmitterType, Rel(0, 0, 5));
    ASSERT_NE(emitter, nullptr);
    auto* d = static_cast<MV2InkEmitterData*>(emitter->privateData);
    EXPECT_EQ(d->on, 1u);
    EXPECT_EQ(emitter->aiCategory, 1);
    EXPECT_TRUE(emitter->flags & kMV2ObjectActive);
    intptr_t size = 0;
    MV2ObjectSendMessage(emitter, 96, 0, reinterpret_cast<intptr_t>(&size));
    EXPECT_EQ(size, intptr_t(sizeof(MV2InkEmitterData)));
    NextFrame();
    MV2ObjectSendMessage(emitter, 2, 0, 0);
    ASSERT_EQ(MV2CountSmokePuffs(), 1);
    const MV2SmokePuff* puff = MV2FirstSmokePuff();
    EXPECT_EQ(puff->size, 1.5f);
    EXPECT_GE(puff->alpha, 192.0f);
    EXPECT_NEAR(puff->velocity.y, 1.5f, 0.25f);
    EXPECT_GE(d->nextPuff, MV2EffectClock() + 250);
    EXPECT_LE(d->nextPuff, MV2EffectClock() + 761);
    EXPECT_GE(d->nextExplosion, MV2EffectClock() + 2000);
    // The next update within the wait makes none.
    MV2ObjectSendMessage(emitter, 2, 0, 0);
    EXPECT_EQ(MV2CountSmokePuffs(), 1);
    EXPECT_NE(emitter->soundSlot, nullptr); // the loop is asked for
    // Switched off: no puffs, and the loop is let go.
    MV2ObjectSendMessage(emitter, 12, 0, 0);
    NextFrame(5000);
    MV2ObjectSendMessage(emitter, 2, 0, 0);
    EXPECT_EQ(MV2CountSmokePuffs(), 1);
    EXPECT_EQ(emitter->soundSlot, nullptr);
}
