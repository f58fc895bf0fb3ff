// Sun and moon shafts, lava blobs, sun rays, stars and plankton.
#include "tests/game/effects/effects_fixture.h"

#include <cmath>

#include "game/objects/levels.h"

namespace {

class SkyEffectsTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        savedSky_ = gMV2Level.skyFlag;
        savedPhase_ = gMV2DayClock.phase;
        gMV2Level.skyFlag = 1;
        gMV2DayClock.phase = kMV2Day;
        SetLight(Sun(), {0, 45, 45}); // ahead of the camera
        MV2SetWaterHeight(20.0f);      // the camera 5 below the surface
        ASSERT_EQ(MV2InitialiseSunMoonBeams(), 1);
        ASSERT_EQ(MV2InitialiseLavaBlobs(), 1);
        ASSERT_EQ(MV2InitialiseSunRays(), 1);
        ASSERT_EQ(MV2InitialiseStars(), 1);
        ASSERT_EQ(MV2InitialisePlanktum(), 1);
        HandledType(kMV2SunRayType, MV2SunRayHandler, sizeof(MV2SunRayData), 0.5f);
    }
    void TearDown() override {
        MV2DestroyAllObjects();
        MV2StopLavaBlobs();
        MV2ShutdownLavaBlobs();
        MV2ShutdownSunRays();
        gMV2Level.skyFlag = savedSky_;
        gMV2DayClock.phase = savedPhase_;
        gMV2GameState.current = 0;
        EffectsTest::TearDown();
    }
    // Where the sky's last pass put the sun and the moon.
    static TvV3d* Sun() { return const_cast<TvV3d*>(MV2GetSunOffset()); }
    static TvV3d* Moon() { return const_cast<TvV3d*>(MV2GetMoonOffset()); }
    static void SetLight(TvV3d* light, TvV3d value) { *light = value; }
    static int32_t InUse() {
        int32_t n = 0;
        for (const MV2SunMoonBeam& s : gMV2SunMoonBeams)
            n += s.time >= 0.0f;
        return n;
    }
    // Frames of the shaft update; the most shafts alive at once.
    int32_t RunShafts(int32_t frames) {
        int32_t most = 0;
        for (int32_t i = 0; i < frames; i++) {
            MV2UpdateSunMoonBeams(camera_);
            most = std::max(most, InUse());
        }
        return most;
    }
    void Look(TvV3d at, TvV3d right) {
        TvMatrix* m = TvFrameGetMatrix(frame_);
        m->at = at;
        m->right = right;
        m->up = TvV3dCross(right, at);
        TvFrameUpdateObjects(frame_);
    }
    int32_t savedSky_ = 0, savedPhase_ = 0;
};

} // namespace

// ---- Shafts ----

TEST_F(SkyEffectsTest, ShaftsAppearOnlyUnderWaterLookingTowardTheLightInDaylight) {
    EXPECT_GT(RunShafts(200), 0);
    for (const MV2SunMoonBeam& s : gMV2SunMoonBeams) {
        if (s.time < 0.0f) continue;
        EXPECT_FLOAT_EQ(s.top.y, 19.9f);
        EXPECT_GE(s.halfWidth, 0.25f);
        EXPECT_LE(s.halfWidth, 0.5f);
        EXPECT_GE(s.length, 30.0f);
        EXPECT_LE(s.length, 60.0f);
        EXPECT_GT(s.direction.y, 0.0f);
        EXPECT_NEAR(s.bottomHalfWidth, (45.0f + s.length) * s.halfWidth / 45.0f, 1e-4f);
        // Between the camera and the point 15 ahead.
        EXPECT_LE(s.top.z, 15.0f + 1e-4f);
    }
    const struct {
        const char* what;
        float water;
        int32_t phase;
        TvV3d light;
        float far;
    } refused[] = {
        {"above the water", 14.0f, kMV2Day, {0, 45, 45}, 30.0f},
        {"dusk", 20.0f, kMV2Dusk, {0, 45, 45}, 30.0f},
        {"dawn", 20.0f, kMV2Dawn, {0, 45, 45}, 30.0f},
        {"near far clip", 20.0f, kMV2Day, {0, 45, 45}, 14.9f},
        {"looking away", 20.0f, kMV2Day, {0, 45, -45}, 30.0f},
        {"the moon behind", 20.0f, kMV2Night, {0, 45, 45}, 30.0f},
    };
    for (const auto& c : refused) {
        ASSERT_EQ(MV2InitialiseSunMoonBeams(), 1);
        MV2SetWaterHeight(c.water);
        gMV2DayClock.phase = c.phase;
        SetLight(Sun(), c.light);
        SetLight(Moon(), {0, 45, -45});
        gMV2FarClip.distance = c.far;
        EXPECT_EQ(RunShafts(200), 0) << c.what;
    }
    // The moon lights them at night.
    gMV2DayClock.phase = kMV2Night;
    gMV2FarClip.distance = 30.0f;
    SetLight(Moon(), {0, 45, 45});
    EXPECT_GT(RunShafts(200), 0);
    // No sky, no shafts.
    ASSERT_EQ(MV2InitialiseSunMoonBeams(), 1);
    gMV2Level.skyFlag = 0;
    EXPECT_EQ(RunShafts(200), 0);
}

TEST_F(SkyEffectsTest, ShaftsBrightenHoldAndFadeAndNightStopsTheUpdateAtTheFirstFreeSlot) {
    MV2SunMoonBeam& s = gMV2SunMoonBeams[5];
    s.time = 0.0f;
    s.direction = {0, 1, 0};
    gMV2FrameTimer.ticks = 3.75f; // 0.125 s
    gMV2DayClock.phase = kMV2Dusk;
    MV2UpdateSunMoonBeams(camera_); // slot 0 is free: nothing further is stepped
    EXPECT_EQ(s.time, 0.0f);
    // Slots 0-4 in use and past their time are freed as the update passes them.
    const uint8_t expected[] = {0, 4, 9, 14, 15, 15, 15, 12, 7, 2};
    for (uint8_t b : expected) {
        for (int32_t i = 0; i < 5; i++)
            gMV2SunMoonBeams[i].time = 2.0f;
        const float t = s.time;
        MV2UpdateSunMoonBeams(camera_);
        EXPECT_EQ(s.brightness, b) << t;
    }
    EXPECT_EQ(s.time, 1.25f);
    for (int32_t i = 0; i < 5; i++)
        gMV2SunMoonBeams[i].time = 2.0f;
    MV2UpdateSunMoonBeams(camera_);
    EXPECT_EQ(s.time, -1.0f);
}

TEST_F(SkyEffectsTest, AShaftIsDrawnDownToTheFarPlaneAndNotWhenShorterThanTwoUnits) {
    MV2SunMoonBeam& s = gMV2SunMoonBeams[0];
    s.time = 0.5f;
    s.brightness = 15;
    s.halfWidth = 0.3f;
    s.bottomHalfWidth = 0.9f;
    s.top = {15, 20, 10};
    s.direction = MV2EffectUnit({0, 1, -1});
    s.length = 60.0f; // runs 60 down and 60 on, past the far plane at z 30
    MV2DrawSunMoonBeams(camera_);
    auto calls = recorder_.Of(Im3DCall::kIndexed);
    ASSERT_EQ(calls.size(), 1u);
    const std::vector<TvIm3DVertex>& v = calls[0]->vertices;
    ASSERT_EQ(v.size(), 5u);
    EXPECT_EQ(calls[0]->indices, (std::vector<uint16_t>{0, 1, 2, 0, 2, 4, 4, 2, 3, 3, 2, 1}));
    EXPECT_NEAR(v[2].objVertex.y, 18.0f, 1e-4f);
    EXPECT_EQ(v[2].red, 15);
    EXPECT_EQ(v[0].red, 0);
    EXPECT_NEAR(v[3].objVertex.z, 30.0f, 1e-3f);
    EXPECT_NEAR(v[3].objVertex.y, 0.0f, 1e-3f);
    const float width = 0.5f * MV2EffectLength(TvV3dSub(v[4].objVertex, v[3].objVertex));
    EXPECT_NEAR(width, 0.3f + 0.6f / 3.0f, 1e-4f); // a third of the length kept
    EXPECT_EQ(recorder_.State(kTvRenderStateDestBlend), 6);
    EXPECT_EQ(recorder_.State(kTvRenderStateZWriteEnable), 1);
    // Within two units of its top: not drawn.
    recorder_.calls.clear();
    s.direction = {0, 1, 0};
    s.length = 1.9f;
    MV2DrawSunMoonBeams(camera_);
    EXPECT_TRUE(recorder_.Of(Im3DCall::kIndexed).empty());
}

// ---- Lava ----

TEST_F(SkyEffectsTest, LavaBurstsComeTwentyFiveMillisecondsApartAndRestartClearsThem) {
    const auto source = std::array<float, 3>{15, 12, 10};
    MV2StartLavaBlobs(source.data());
    EXPECT_EQ(gMV2LavaEmitter.on, 1u);
    MV2UpdateLavaBlobs(); // the clock has not passed the first burst time
    EXPECT_EQ(gMV2LavaEmitter.ring, 0u);
    NextFrame(1);
    MV2UpdateLavaBlobs();
    const uint32_t n = gMV2LavaEmitter.ring;
    ASSERT_GE(n, 3u);
    ASSERT_LE(n, 6u);
    for (uint32_t k = 0; k < n; k++) {
        const MV2LavaBlob& b = gMV2LavaBlobs[k];
        EXPECT_EQ(b.start, MV2EffectClock() + 25 * (n - k)) << k;
        EXPECT_GE(b.end - b.start, 1000u);
        EXPECT_LE(b.end - b.start, 2023u);
        EXPECT_GE(b.size, 1.25f);
        EXPECT_LE(b.size, 3.75f);
        EXPECT_NEAR(b.position.y, 10.5f, 1e-5f);
        EXPECT_GE(b.velocity.y, 0.19f);
    }
    EXPECT_GE(gMV2LavaEmitter.nextBurst, MV2EffectClock() - 1 + 32);
    // A waiting blob stays at its spawn point; started, it moves and drifts toward the viewer.
    const TvV3d at = gMV2LavaBlobs[0].position, speed = gMV2LavaBlobs[0].velocity;
    MV2UpdateLavaBlobs();
    EXPECT_EQ(gMV2LavaBlobs[0].position.y, at.y);
    NextFrame(200);
    MV2UpdateLavaBlobs();
    EXPECT_NEAR(gMV2LavaBlobs[0].position.y, at.y + speed.y, 1e-5f);
    EXPECT_NEAR(gMV2LavaBlobs[0].velocity.z, speed.z - 0.01f, 1e-6f);
    // Restart: every blob in flight is gone.
    MV2StartLavaBlobs(source.data());
    for (const MV2LavaBlob& b : gMV2LavaBlobs)
        EXPECT_EQ(b.end, 0u);
}

TEST_F(SkyEffectsTest, LavaBlobsFadeOverTheirLifeAndTheRingWraps) {
    const auto source = std::array<float, 3>{15, 12, 10};
    MV2StartLavaBlobs(source.data());
    MV2LavaBlob& b = gMV2LavaBlobs[0];
    b = {{15, 12, 10}, {0, 0, 0}, 2.0f, MV2EffectClock(), MV2EffectClock() + 1000};
    gMV2LavaEmitter.nextBurst = MV2EffectClock() + 100000; // no bursts
    const struct {
        int32_t elapsed;
        uint8_t red, green;
    } cases[] = {{-50, 255, 80}, {0, 255, 80}, {500, 127, 20}, {900, 25, 0}};
    for (const auto& c : cases) {
        recorder_.calls.clear();
        gMV2DayClock.gameClock = b.start + uint32_t(c.elapsed);
        MV2DrawLavaBlobs();
        auto calls = recorder_.Of(Im3DCall::kPrimitive);
        ASSERT_EQ(calls.size(), 1u) << c.elapsed;
        const std::vector<TvIm3DVertex>& v = calls[0]->vertices;
        ASSERT_EQ(v.size(), 3u);
        EXPECT_EQ(v[0].red, c.red) << c.elapsed;
        EXPECT_EQ(v[0].alpha, c.red);
        EXPECT_EQ(v[0].green, c.green) << c.elapsed;
        EXPECT_NEAR(v[2].objVertex.y, 16.0f, 1e-5f); // 2 x size along the camera's up
    }
    // At its end it is freed and not drawn.
    gMV2DayClock.gameClock = b.end;
    MV2UpdateLavaBlobs();
    EXPECT_EQ(b.end, 0u);
    // Many bursts: the ring index stays inside the ring, and the draws go 20 blobs at a time.
    gMV2LavaEmitter.nextBurst = MV2EffectClock();
    NextFrame(2000);
    MV2UpdateLavaBlobs();
    EXPECT_LT(gMV2LavaEmitter.ring, uint32_t(kMV2LavaBlobs));
    int32_t live = 0;
    for (const MV2LavaBlob& blob : gMV2LavaBlobs)
        live += blob.end != 0;
    EXPECT_GT(live, 20);
    recorder_.calls.clear();
    MV2DrawLavaBlobs();
    auto calls = recorder_.Of(Im3DCall::kPrimitive);
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls[0]->vertices.size(), 60u);
    EXPECT_EQ(recorder_.State(kTvRenderStateZWriteEnable), 0); // restored to the fixture's
    // Stopped: nothing drawn.
    MV2StopLavaBlobs();
    recorder_.calls.clear();
    MV2DrawLavaBlobs();
    EXPECT_TRUE(recorder_.calls.empty());
}

// ---- Sun rays ----

TEST_F(SkyEffectsTest, ASunRayAimedAtTheFloorEndsOnItAndWandersInItsPlane) {
    MV2Object* ray = Make(kMV2SunRayType, Rel(0, 0, 5));
    ASSERT_NE(ray, nullptr);
    auto* d = static_cast<MV2SunRayData*>(ray->privateData);
    EXPECT_FLOAT_EQ(d->width, 0.9f);
    EXPECT_FLOAT_EQ(d->end.z, 35.0f); // along its at row, nothing struck
    const TvV3d target = {15, 0, 5};
    MV2ObjectSendMessage(ray, 33, 0, reinterpret_cast<intptr_t>(&target));
    EXPECT_NEAR(d->end.y, 10.0f, 1e-4f); // the floor, 5 below
    EXPECT_NEAR(std::fabs(d->normal.y), 1.0f, 1e-5f);
    EXPECT_NEAR(d->tangent.y, 0.0f, 1e-5f);
    EXPECT_NEAR(d->secondTangent.y, 0.0f, 1e-5f);
    EXPECT_NEAR(ray->matrix->pos.y, 12.5f, 1e-4f);
    EXPECT_NEAR(ray->radius, 2.5f + 0.9f, 1e-4f);
    for (int32_t k = 0; k < kMV2SunRays; k++) {
        EXPECT_GE(d->wanderPeriod[k], 65536u);
        EXPECT_LE(d->wanderPeriod[k], 131071u);
        EXPECT_GE(d->pulsePeriod[k], 6000u);
        EXPECT_LE(d->pulsePeriod[k], 10095u);
    }
    MV2ObjectSendMessage(ray, 12, 0xFF8000, 0);
    EXPECT_FLOAT_EQ(d->green, 128.0f / 255.0f);
    // The wave table moves the far ends within the floor's plane.
    for (int32_t i = 0; i < 2 * kMV2WaveSamples; i++)
        gMV2Water.waves[i] = std::sin(float(i) * 0.003f);
    MV2ObjectSendMessage(ray, 2, 0, 0);
    MV2DrawSunRays();
    auto calls = recorder_.Of(Im3DCall::kIndexed);
    ASSERT_EQ(calls.size(), 1u);
    const std::vector<TvIm3DVertex>& v = calls[0]->vertices;
    ASSERT_EQ(v.size(), 19u);
    EXPECT_EQ(calls[0]->indices.size(), 36u);
    EXPECT_EQ(v[0].alpha, 0);
    EXPECT_EQ(v[0].red, 255);
    EXPECT_NEAR(v[0].green, 128, 1);
    for (int32_t k = 0; k < kMV2SunRays; k++) {
        EXPECT_NEAR(v[2 + 3 * k].objVertex.y, 10.0f, 1e-4f) << k;
        EXPECT_EQ(v[2 + 3 * k].alpha, 56);
        EXPECT_EQ(v[1 + 3 * k].alpha, 0);
        EXPECT_GE(v[2 + 3 * k].red, 50);
    }
    for (float& w : gMV2Water.waves)
        w = 0.0f;
}

TEST_F(SkyEffectsTest, OnlyFourteenSunRaysAreListedAndOnlyThoseSeenAreDrawn) {
    std::vector<MV2Object*> rays;
    for (int32_t i = 0; i < 15; i++)
        rays.push_back(Make(kMV2SunRayType, Rel(float(i) - 7.0f, 0, 5)));
    EXPECT_EQ(MV2CountSunRayObjects(), kMV2SunRayObjects);
    MV2DrawSunRays();
    EXPECT_TRUE(recorder_.Of(Im3DCall::kIndexed).empty()); // none seen
    for (MV2Object* r : rays)
        MV2ObjectSendMessage(r, 2, 0, 0);
    MV2DrawSunRays();
    EXPECT_EQ(recorder_.Of(Im3DCall::kIndexed).size(), 14u);
    recorder_.calls.clear();
    MV2DrawSunRays(); // seen only for the frame it was updated in
    EXPECT_TRUE(recorder_.Of(Im3DCall::kIndexed).empty());
    MV2ObjectSendMessage(rays[0], 4, 0, 0);
    EXPECT_EQ(MV2CountSunRayObjects(), 13);
}

// ---- Stars and plankton ----

TEST_F(SkyEffectsTest, StarsDimWithDepthAndVanishAtTwoAndAHalfUnits) {
    for (const TvV3d& s : gMV2StarOffsets) {
        EXPECT_GE(s.x, -5.0f);
        EXPECT_LE(s.x, 5.0f);
        EXPECT_GE(s.y, 0.0f);
        EXPECT_LE(s.y, 10.0f);
    }
    const struct {
        float water, fade;
        bool drawn;
    } cases[] = {{10.0f, 0.0f, true},  {15.0f, 0.0f, true},  {16.0f, 0.2f, true},
                 {17.4f, 0.48f, true}, {17.5f, 0.5f, false}, {19.0f, 0.8f, false},
                 {20.0f, 1.0f, false}, {40.0f, 1.0f, false}};
    for (const auto& c : cases) {
        recorder_.calls.clear();
        MV2SetWaterHeight(c.water);
        EXPECT_NEAR(MV2DrawStars(0.8f), c.fade, 1e-4f) << c.water;
        EXPECT_EQ(recorder_.calls.empty(), !c.drawn) << c.water;
        if (!c.drawn) continue;
        ASSERT_FALSE(recorder_.calls.back().vertices.empty());
        const float grey = 0.8f * (1.0f - 2.0f * c.fade) * 255.0f;
        EXPECT_NEAR(recorder_.calls.back().vertices[0].red, grey, 1.0f) << c.water;
    }
}

TEST_F(SkyEffectsTest, PlanktonShowsFromAQuarterUnitDownAndIsFullFromFive) {
    const struct {
        float water;
        bool drawn;
        float strength;
    } cases[] = {{10.0f, false, 0}, {15.25f, false, 0}, {15.5f, true, 0.1f},
                 {17.5f, true, 0.5f}, {20.0f, true, 1.0f}, {50.0f, true, 1.0f}};
    gMV2Render.brightness = 1.0f;
    for (const auto& c : cases) {
        recorder_.calls.clear();
        MV2SetWaterHeight(c.water);
        MV2DrawPlanktum();
        auto calls = recorder_.Of(Im3DCall::kIndexed);
        ASSERT_EQ(calls.size(), c.drawn ? 1u : 0u) << c.water;
        if (!c.drawn) continue;
        EXPECT_EQ(calls[0]->vertices.size(), 160u);
        EXPECT_EQ(calls[0]->indices.size(), 240u);
        EXPECT_NEAR(calls[0]->vertices[0].red, c.strength * 255.0f, 1.0f) << c.water;
    }
    gMV2GameState.current = 15;
    recorder_.calls.clear();
    MV2DrawPlanktum();
    EXPECT_TRUE(recorder_.calls.empty());
}

TEST_F(SkyEffectsTest, TurningTheCameraLeavesSpecksWhereTheyAreUntilTheyLeaveTheSphere) {
    for (const MV2Planktum& p : gMV2Plankton) {
        EXPECT_LE(MV2EffectLength(p.position), 3.5f + 1e-4f);
        EXPECT_NEAR(MV2EffectLength(p.velocity), 0.01f, 1e-5f);
    }
    MV2RecentrePlanktum();
    const TvV3d centre = MV2GetPlanktumCentre();
    EXPECT_NEAR(centre.z, 3.5f, 1e-5f);
    for (MV2Planktum& p : gMV2Plankton)
        p.velocity = p.targetVelocity = {0, 0, 0};
    std::vector<TvV3d> world, before;
    for (const MV2Planktum& p : gMV2Plankton) {
        world.push_back(TvV3dAdd(centre, p.position));
        before.push_back(p.position);
    }
    Look({1, 0, 0}, {0, 0, 1}); // a quarter turn
    MV2UpdatePlanktum();
    const TvV3d moved = MV2GetPlanktumCentre();
    EXPECT_NEAR(moved.x, 15.0f + 3.5f, 1e-5f);
    int32_t kept = 0, wrapped = 0;
    for (size_t i = 0; i < std::size(gMV2Plankton); i++) {
        const TvV3d now = TvV3dAdd(moved, gMV2Plankton[i].position);
        if (MV2EffectLength(TvV3dSub(now, world[i])) < 1e-4f) {
            kept++;
        } else {
            wrapped++;
            EXPECT_NEAR(gMV2Plankton[i].position.x, -before[i].x, 1e-5f);
        }
        EXPECT_LE(MV2EffectLength(gMV2Plankton[i].position), 3.5f + 1e-4f);
    }
    EXPECT_GT(kept, 0);
    EXPECT_GT(wrapped, 0);
}
