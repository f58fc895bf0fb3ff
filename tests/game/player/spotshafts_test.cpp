// Spotlight shafts: registration, the fade with the viewing angle and reclaiming the shafts of
// dead lights.
#include "tests/game/effects/effects_fixture.h"

#include "game/player/spotshafts.h"

namespace {

class ShaftTest : public EffectsTest {
protected:
    void SetUp() override {
        EffectsTest::SetUp();
        HandledType(71, MV2ObjectDefaultHandler);
        light_ = Make(71, Rel(0, 0, 10));
        ASSERT_NE(light_, nullptr);
        frame_ = TvFrameCreate();
        Aim({1, 0, 0});
    }
    void TearDown() override {
        while (MV2CountLightShafts() > 0) {
            const int32_t before = MV2CountLightShafts();
            MV2RemoveLightShaft(light_ ? light_->handle : 0);
            MV2RemoveLightShaft(0);
            if (MV2CountLightShafts() == before) break;
        }
        TvFrameDestroy(frame_);
        EffectsTest::TearDown();
    }
    // The light at (15, 15, 10) pointing along `at`.
    void Aim(TvV3d at) {
        TvMatrix* m = TvFrameGetMatrix(frame_);
        m->at = at;
        m->up = {0, 1, 0};
        if (at.y != 0.0f) m->up = {0, 0, 1};
        m->right = TvV3dCross(m->up, m->at);
        m->pos = Rel(0, 0, 10);
        TvFrameUpdateObjects(frame_);
    }
    MV2Object* light_ = nullptr;
    TvFrame* frame_ = nullptr;
    float length_ = 2.0f;
};

} // namespace

TEST_F(ShaftTest, AShaftAcrossTheViewDrawsTheFanAndOneAlongItIsHidden) {
    MV2AddLightShaft(frame_, &length_, light_->handle);
    ASSERT_EQ(MV2CountLightShafts(), 1);
    // Camera looks along +z, the light along +x: c = 0, alpha 0.675.
    MV2DrawLightShafts(camera_);
    auto drawn = recorder_.Of(Im3DCall::kIndexed);
    ASSERT_EQ(drawn.size(), 1u);
    EXPECT_EQ(drawn[0]->indices.size(), 21u);
    ASSERT_EQ(drawn[0]->vertices.size(), 8u);
    EXPECT_EQ(drawn[0]->vertices[1].red, uint8_t(0.675f * 255.0f));
    EXPECT_EQ(drawn[0]->vertices[0].red, 0) << "the soft edge has no intensity";
    EXPECT_NEAR(drawn[0]->vertices[5].objVertex.x, Rel(0, 0, 10).x + 2.0f, 1e-4f) << "the tip lies L along";
    EXPECT_EQ(recorder_.State(kTvRenderStateTextureRaster), 0);
    EXPECT_EQ(recorder_.State(kTvRenderStateShadeMode), 2);

    recorder_.calls.clear();
    Aim(MV2EffectUnit({0.3f, 0, 0.954f})); // c just above 0.9
    MV2DrawLightShafts(camera_);
    EXPECT_TRUE(recorder_.Of(Im3DCall::kIndexed).empty());
    EXPECT_EQ(MV2CountLightShafts(), 1) << "a hidden shaft stays registered";
}

TEST_F(ShaftTest, UnknownHandlesAreIgnoredAndDeadLightsReclaimed) {
    MV2RemoveLightShaft(12345);
    MV2AddLightShaft(frame_, &length_, light_->handle);
    MV2RemoveLightShaft(light_->handle + 1);
    EXPECT_EQ(MV2CountLightShafts(), 1);
    MV2RemoveLightShaft(light_->handle);
    EXPECT_EQ(MV2CountLightShafts(), 0);

    // All 32 records in use: a further shaft is not added.
    for (int32_t i = 0; i < kMV2LightShafts + 1; ++i)
        MV2AddLightShaft(frame_, &length_, light_->handle);
    EXPECT_EQ(MV2CountLightShafts(), kMV2LightShafts);
    MV2ObjectSendMessage(light_, 4, 0, 0);
    light_ = nullptr;
    MV2DrawLightShafts(camera_);
    EXPECT_EQ(MV2CountLightShafts(), 0) << "the next draw takes back every shaft of the dead light";
    EXPECT_TRUE(recorder_.Of(Im3DCall::kIndexed).empty());
}
