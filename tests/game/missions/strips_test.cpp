#include <deque>

#include "game/missions/strips.h"
#include "game/objects/waterfalls.h"
#include "tests/game/effects/effects_fixture.h"

namespace {

class StripTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        saved_ = gMV2Waterfalls;
        gMV2Waterfalls.count = 0;
        gMV2Waterfalls.poolFlag = 0;
        gMV2Waterfalls.spray[0] = gMV2CoronaTexture;
        gMV2Waterfalls.spray[1] = gMV2BloodTexture;
    }
    void TearDown() override {
        gMV2Waterfalls = saved_;
        EffectsTest::TearDown();
    }
    // A listed strip in front of the camera whose glows use spray texture `texture`.
    MV2Waterfall* List(int32_t type, int32_t texture, uint32_t updated) {
        strips_.emplace_back();
        objects_.emplace_back();
        MV2Waterfall& w = strips_.back();
        w = {};
        w.type = type;
        w.lastUpdate = updated;
        for (int32_t k = 0; k < kMV2WaterfallParticles; ++k) {
            w.particles[k] = Rel(float(k) * 0.2f, 0, 10);
            w.puffs[k] = 0.5f;
            w.particleTextures[k] = texture;
        }
        const float timers[kMV2WaterfallSplashes] = {0.5f, 1.0f, 1.01f, 999.0f, 0.0f};
        for (int32_t k = 0; k < kMV2WaterfallSplashes; ++k) {
            w.splashes[k] = Rel(0, -1, 10);
            w.splashTimers[k] = timers[k];
            w.splashTextures[k] = texture;
        }
        objects_.back().privateData = &w;
        gMV2Waterfalls.list[gMV2Waterfalls.count++] = &objects_.back();
        return &w;
    }
    static int32_t CallsWith(const Im3DRecorder& r, TvTexture* texture) {
        int32_t n = 0;
        for (const Im3DCall& c : r.calls)
            n += c.raster == intptr_t(TvTextureGetRaster(texture));
        return n;
    }
    std::deque<MV2Waterfall> strips_;
    std::deque<MV2Object> objects_;
    MV2Waterfalls saved_{};
};

} // namespace

TEST_F(StripTest, PathPointsBySegment) {
    MV2Waterfall w{};
    w.type = 376;
    w.path[0] = {0, 0, 0};
    w.path[1] = {0, -4, 0};
    w.path[2] = {0, -8, 2};
    w.path[3] = {0, -9, 6};
    w.straight[0] = {1, 0, 0};
    w.straight[1] = {1, -10, 0};
    struct Case {
        float t;
        uint32_t pool;
        TvV3d want;
    } cases[] = {
        {0.0f, 0, {0, 0, 0}},    {0.125f, 0, {0, -2, 0}}, {0.25f, 0, {0, -4, 0}},
        {0.5f, 0, {0, -6, 1}},   {0.75f, 0, {0, -8, 2}},  {1.0f, 0, {0, -9, 6}},
        {0.5f, 1, {1, -5, 0}},
    };
    for (const Case& c : cases) {
        gMV2Waterfalls.poolFlag = c.pool;
        TvV3d p{};
        MV2StripPathPoint(&w, c.t, &p);
        EXPECT_NEAR(p.x, c.want.x, 1e-5f) << c.t;
        EXPECT_NEAR(p.y, c.want.y, 1e-5f) << c.t;
        EXPECT_NEAR(p.z, c.want.z, 1e-5f) << c.t;
    }
    w.type = 407; // only type 376 takes the straight line
    MV2Waterfall* strip = &w;
    TvV3d p{};
    MV2StripPathPoint(strip, 0.5f, &p);
    EXPECT_NEAR(p.y, -6.0f, 1e-5f);
}

TEST_F(StripTest, GlowsOfStripsUpdatedThisFrameAreDrawnAndStatesRestored) {
    List(376, 0, gMV2FrameTimer.updateCounter);
    List(407, 1, gMV2FrameTimer.updateCounter - 1); // not updated this frame: skipped
    recorder_.states[kTvRenderStateSrcBlend] = 5;
    MV2DrawStripSprites();
    // Ten glows and the three further glows at 1.0 or below.
    EXPECT_EQ(CallsWith(recorder_, gMV2CoronaTexture), 13);
    EXPECT_EQ(CallsWith(recorder_, gMV2BloodTexture), 0);
    EXPECT_EQ(recorder_.State(kTvRenderStateSrcBlend), 5);
    EXPECT_EQ(recorder_.State(kTvRenderStateDestBlend), 6);
    EXPECT_EQ(recorder_.State(kTvRenderStateZWriteEnable), 1);
    EXPECT_EQ(recorder_.State(kTvRenderStateFogEnable), 1);
}
