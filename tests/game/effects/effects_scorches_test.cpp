// The projection volume, scorches and their carriers.
#include "tests/game/effects/effects_fixture.h"

namespace {

class ScorchTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        ASSERT_EQ(MV2InitialiseScorches(), 1);
        ModelType(kMV2CarrierType, 0.01f);
    }
    void TearDown() override {
        MV2ResetScorches();
        MV2ShutdownScorches();
        EffectsTest::TearDown();
    }
    static int32_t Active() {
        int32_t n = 0;
        for (MV2ScorchRecord* r = MV2FirstScorch(); r; r = r->next->active ? r->next : nullptr)
            n++;
        return n;
    }
};

// A projector looking straight down from `at`.
TvMatrix Down(TvV3d at) {
    TvMatrix m = {};
    m.right = {1, 0, 0};
    m.up = {0, 0, 1};
    m.at = {0, -1, 0};
    m.pos = at;
    m.flags = kTvMatrixOrthoNormal;
    return m;
}

} // namespace

TEST_F(EffectsTest, TheProjectionClipsToTheBoxAndFadesWithDistance) {
    TvTexture* texture = MV2ReadEffectTexture("CLEAR1", "SCORCH1");
    // 1 above the floor, half width 1, far 8: the floor is cut to the 2 x 2 square below.
    const TvMatrix m = Down({15, 11, 15});
    EXPECT_EQ(MV2CollectProjectedPolygons(&m, texture, 1.0f, 8.0f, 0.0f), 2);
    float minX = 1e9f, maxX = -1e9f;
    for (const Im3DCall& c : recorder_.calls) {
        EXPECT_EQ(c.raster, intptr_t(TvTextureGetRaster(texture)));
        for (const TvIm3DVertex& v : c.vertices) {
            minX = std::fmin(minX, v.objVertex.x);
            maxX = std::fmax(maxX, v.objVertex.x);
            EXPECT_NEAR(v.objVertex.y, 10.002f, 1e-4f); // lifted toward the projector
            EXPECT_GE(v.u, -1e-4f);
            EXPECT_LE(v.u, 1.0001f);
            // 1 below the origin with k = 1 / 4: alpha 255 - 255 / 4 .. at the corners less.
            EXPECT_LE(v.alpha, 192);
        }
    }
    EXPECT_NEAR(minX, 14.0f, 1e-4f);
    EXPECT_NEAR(maxX, 16.0f, 1e-4f);
    // A vertex right under the origin gets the middle of the texture.
    recorder_.calls.clear();
    const TvMatrix corner = Down({30.0f, 11.0f, 30.0f}); // over the floor's corner vertex
    MV2CollectProjectedPolygons(&corner, texture, 1.0f, 8.0f, 0.0f);
    bool middle = false;
    for (const Im3DCall& c : recorder_.calls)
        for (const TvIm3DVertex& v : c.vertices)
            if (v.objVertex.x == 30.0f && v.objVertex.z == 30.0f)
                middle = std::fabs(v.u - 0.5f) < 1e-4f && std::fabs(v.v - 0.5f) < 1e-4f;
    EXPECT_TRUE(middle);
    // 4 above the floor with far 8: the floor lies at half the far distance, alpha 0.
    recorder_.calls.clear();
    const TvMatrix high = Down({15, 14, 15});
    MV2CollectProjectedPolygons(&high, texture, 1.0f, 8.0f, 0.0f);
    ASSERT_FALSE(recorder_.calls.empty());
    for (const Im3DCall& c : recorder_.calls)
        for (const TvIm3DVertex& v : c.vertices)
            EXPECT_EQ(v.alpha, 0);
    // A box that ends above the floor reaches none of it.
    recorder_.calls.clear();
    const TvMatrix far = Down({15, 19, 15});
    MV2CollectProjectedPolygons(&far, texture, 1.0f, 8.0f, 0.0f);
    EXPECT_TRUE(recorder_.calls.empty());
    MV2DestroyEffectTexture(texture);
}

TEST_F(ScorchTest, ScorchesNeedTheWorldNearAndTheCameraWithinTheFarClip) {
    const TvV3d beyond = Rel(0, -5, 40), air = Rel(0, 0, 10), floor = Rel(0, -4.9f, 10);
    const float b[3] = {beyond.x, beyond.y, beyond.z}, a[3] = {air.x, air.y, air.z},
                f[3] = {floor.x, floor.y, floor.z};
    EXPECT_EQ(MV2AddScorch(b, 0.5f, 0), 1);
    EXPECT_EQ(MV2FirstScorch(), nullptr);
    EXPECT_EQ(MV2AddScorch(a, 0.5f, 0), 0);
    EXPECT_EQ(MV2AddScorch(f, 0.5f, kMV2ScorchRed), 1);
    MV2ScorchRecord* r = MV2FirstScorch();
    ASSERT_NE(r, nullptr);
    ASSERT_NE(r->object, nullptr);
    EXPECT_EQ(r->object->typeHandler, MV2ScorchObjectHandler);
    EXPECT_EQ(r->endTime, r->startTime + 10000);
    // The carrier faces the floor and stands size above it.
    EXPECT_NEAR(r->object->matrix->at.y, -1.0f, 1e-4f);
    EXPECT_NEAR(r->object->matrix->pos.y, 10.6f, 1e-4f);
    MV2DrawScorches();
    EXPECT_FALSE(recorder_.calls.empty());
}

TEST_F(ScorchTest, AScorchShrinksOverItsLastFiveSeconds) {
    MV2ScorchRecord r = {};
    r.size = 1.0f;
    r.endTime = 20000;
    EXPECT_FLOAT_EQ(MV2ScorchDrawnSize(&r, 10000), 1.0f);
    EXPECT_FLOAT_EQ(MV2ScorchDrawnSize(&r, 15000), 1.0f);
    EXPECT_FLOAT_EQ(MV2ScorchDrawnSize(&r, 17500), 0.5f);
    EXPECT_FLOAT_EQ(MV2ScorchDrawnSize(&r, 20000), 0.0f);
}

TEST_F(ScorchTest, TheEleventhReplacesTheEarliestAndUnseenOnesGo) {
    const TvV3d p = Rel(0, -4.9f, 10);
    const float at[3] = {p.x, p.y, p.z};
    for (int32_t i = 0; i < kMV2Scorches; i++) {
        EXPECT_EQ(MV2AddScorch(at, 0.5f, 0), 1);
        NextFrame(100);
    }
    const uint32_t now = MV2EffectClock();
    EXPECT_EQ(MV2AddScorch(at, 0.5f, 0), 1);
    int32_t live = 0, earliest = 0;
    MV2ScorchRecord* any = MV2FirstScorch();
    for (MV2ScorchRecord* r = any; r && r->active; r = r->next) {
        live++;
        earliest += r->startTime == now - 1000 ? 1 : 0;
        if (r->next == any) break;
    }
    EXPECT_EQ(live, kMV2Scorches);
    EXPECT_EQ(earliest, 0);
    // A carrier updated outside the in-view phase frees its scorch and is kept for reuse.
    MV2Object* carrier = any->object;
    const MV2ObjectHandle handle = carrier->handle;
    MV2InViewUpdateFlag = 0;
    MV2ObjectSendMessage(carrier, 2, 0, 0);
    EXPECT_EQ(MV2ObjectHandleAlive(handle), 1);
    EXPECT_EQ(any->active, 0u);
    EXPECT_EQ(TpClumpGetWorld(carrier->clump), nullptr);
}
