// The bosses' draws through a recording immediate-mode device: the silent mum's flash and death
// rays, the ink quads, the spore glow and the small mother's parts.
#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/creatures/mumspores.h"
#include "game/creatures/silentmum.h"
#include "game/creatures/smallmother.h"
#include "game/creatures/squid.h"
#include "game/effects/effectbase.h"
#include "game/effects/effects.h"
#include "shell/gamemain.h"
#include "tests/game/creatures/boss_fixture.h"
#include "tests/support/im3d_recorder.h"

namespace {

class BossDrawTest : public BossTest {
protected:
    void SetUp() override {
        BossTest::SetUp();
        recorder_.Install();
        camera_ = TvCameraCreate();
        frame_ = TvFrameCreate();
        TvCameraSetFrame(camera_, frame_);
        TvMatrix* m = TvFrameGetMatrix(frame_);
        m->right = {-1, 0, 0};
        m->up = {0, 1, 0};
        m->at = {0, 0, 1};
        m->pos = {0, 0, -10};
        m->flags = kTvMatrixOrthoNormal;
        TvFrameUpdateObjects(frame_);
        TV_ENGINE->curCamera = camera_;
        savedMain_ = gMV2MainCamera;
        gMV2MainCamera = camera_;
        gMV2EffectCamera = camera_;
        MV2ResetSilentMum();
    }
    void TearDown() override {
        MV2DestroyAllObjects();
        MV2ResetSilentMum();
        gMV2MainCamera = savedMain_;
        gMV2EffectCamera = nullptr;
        TV_ENGINE->curCamera = nullptr;
        TvCameraSetFrame(camera_, nullptr);
        TvFrameDestroy(frame_);
        recorder_.Remove();
        BossTest::TearDown();
    }
    std::vector<const Im3DCall*> Indexed() const { return recorder_.Of(Im3DCall::kIndexed); }

    Im3DRecorder recorder_;
    TvCamera* camera_ = nullptr;
    TvFrame* frame_ = nullptr;
    TvCamera* savedMain_ = nullptr;
};

TEST_F(BossDrawTest, LaserFlashIsNineteenVerticesAndSixRaysOfTwelveIndices) {
    TvMatrix pod{};
    TvMatrixSetIdentity(&pod);
    pod.pos = {0, 0, 5};
    MV2SilentMumStartFlash(pod);
    gMV2FrameTimer.ticks = 15.0f; // half a second: phase 1.665
    MV2SilentMumLaserUpdate(camera_);
    MV2SilentMumState* s = MV2GetSilentMumState();
    EXPECT_TRUE(s->flash);
    EXPECT_EQ(s->flashVertices[0].alpha, 127);
    EXPECT_GT(s->flashVertices[0].blue, s->flashVertices[0].green);
    MV2SilentMumLaserDraw(camera_);
    const auto calls = Indexed();
    ASSERT_GE(calls.size(), 1u);
    EXPECT_EQ(calls[0]->vertices.size(), 19u);
    EXPECT_EQ(calls[0]->indices.size(), 72u);
    EXPECT_EQ(calls[0]->type, kTvPrimitiveTriangleList);
    EXPECT_EQ(calls.size(), 1u + 30u + 1u); // the flash, 30 sparks and the centre glow
    EXPECT_EQ(recorder_.State(kTvRenderStateShadeMode), 2);
    EXPECT_EQ(recorder_.State(kTvRenderStateVertexAlphaEnable), 1);
    EXPECT_EQ(recorder_.State(kTvRenderStateSrcBlend), 5);
    // The flash ends at phase 10.
    gMV2FrameTimer.ticks = 30.0f * 3.0f;
    MV2SilentMumLaserUpdate(camera_);
    EXPECT_FALSE(s->flash);
}

TEST_F(BossDrawTest, DeathRaysLightByTheirStartTimes) {
    MV2SilentMumState* s = MV2GetSilentMumState();
    for (int32_t i = 0; i < kMV2SilentMumRays; ++i)
        s->rayDirections[i] = {0, 1, 0};
    s->deathPosition = {0, 0, 5};
    s->deathTime = 5.0f; // rays of 0, 0, 0, 2 and 4 s
    MV2SilentMumLaserUpdate(camera_);
    EXPECT_EQ(s->litRays, 5);
    EXPECT_EQ(s->rayVertices[0].alpha, 255);
    EXPECT_EQ(s->rayVertices[2].alpha, 127); // the tip
    EXPECT_EQ(s->rayVertices[1].alpha, 0);
    MV2SilentMumLaserDraw(camera_);
    const auto calls = Indexed();
    ASSERT_FALSE(calls.empty());
    EXPECT_EQ(calls.back()->vertices.size(), 16u);
    EXPECT_EQ(calls.back()->indices.size(), 60u);
    // Ray lengths grow at 300 a second up to 15: the 4 s ray is 15 long after 0.05 s.
    EXPECT_NEAR(s->rayVertices[2].objVertex.y, 0.0f + 15.0f * 1.05f, 1e-3f);
}

TEST_F(BossDrawTest, InkGoesOutInBatchesOfFourQuads) {
    ASSERT_EQ(MV2InitialiseInkClouds(), 1);
    for (int i = 0; i < 5; ++i)
        MV2EmitInkCloud({float(i), 0.0f, 5.0f}, {}, 0.5f, 1.5f);
    MV2DrawInkClouds(camera_);
    const auto calls = Indexed();
    ASSERT_EQ(calls.size(), 2u);
    EXPECT_EQ(calls[0]->vertices.size(), 16u);
    EXPECT_EQ(calls[0]->indices.size(), 24u);
    EXPECT_EQ(calls[1]->vertices.size(), 4u);
    EXPECT_EQ(calls[1]->indices.size(), 6u);
    EXPECT_EQ(calls[1]->vertices[0].red, 127);
    EXPECT_NEAR(std::fabs(calls[1]->vertices[0].objVertex.x - calls[1]->vertices[1].objVertex.x),
                1.0f, 1e-5f); // half-size = the cloud's size
    EXPECT_EQ(recorder_.State(kTvRenderStateSrcBlend), 1);
    EXPECT_EQ(recorder_.State(kTvRenderStateDestBlend), 4);
    MV2ShutdownInkClouds();
}

TEST_F(BossDrawTest, SporeGlowSizeByType) {
    const struct {
        int32_t type;
        float half;
    } rows[] = {{353, 0.4f}, {354, 0.2f}, {360, 0.1f}};
    for (const auto& r : rows) {
        ModelType(r.type, 0.3f);
        MV2SetObjectTypeHandler(r.type, nullptr); // a plain object of the type
        MV2Object* spore = Create(r.type, {0.0f, 0.0f, 5.0f});
        ASSERT_NE(spore, nullptr);
        recorder_.calls.clear();
        MV2DrawSporeGlow(spore);
        ASSERT_EQ(recorder_.calls.size(), 1u) << r.type;
        const auto& v = recorder_.batch;
        ASSERT_EQ(v.size(), 4u);
        float widest = 0.0f;
        for (const TvIm3DVertex& x : v)
            widest = std::max(widest, std::fabs(x.objVertex.x));
        EXPECT_NEAR(widest, r.half, 1e-4f) << r.type;
    }
}

TEST_F(BossDrawTest, SmallMotherDrawsPartsZeroAndTwoInBothWindings) {
    MV2InitialiseEffectHooks();
    MV2RegisterSmallMotherHandlers();
    BodyType(434, sizeof(MV2SmallMother), 1.0f);
    for (int32_t t = 435; t <= 437; ++t) {
        MV2ObjectType* type = ModelType(t, 1.0f);
        TpGeometry* g = TpAtomicGetGeometry(MV2GetFirstAtomic(type->model));
        g->triangles[0] = {{0, 1, 2}, 0};
    }
    MV2Object* mother = Create(434, {0.0f, 0.0f, 5.0f});
    ASSERT_NE(mother, nullptr);
    MV2SmallMotherCommand(53);
    MV2SmallMotherDraw(camera_);
    EXPECT_TRUE(Indexed().empty()); // not visible yet
    MV2SmallMotherCommand(49);
    MV2SmallMotherDraw(camera_);
    const auto calls = Indexed();
    ASSERT_EQ(calls.size(), 2u); // parts 0 and 2, one triangle each
    for (const Im3DCall* c : calls) {
        EXPECT_EQ(c->vertices.size(), 3u);
        EXPECT_EQ(c->indices, (std::vector<uint16_t>{0, 1, 2, 2, 1, 0}));
        EXPECT_EQ(c->vertices[0].alpha, 255);
    }
    EXPECT_EQ(recorder_.State(kTvRenderStateVertexAlphaEnable), 1);
    MV2ShutdownEffectHooks();
}

} // namespace
