// Sprites, the corona batch, light flares, blood clouds, the letterbox and the effect hooks.
#include <string>

#include "tests/game/effects/effects_fixture.h"

namespace {

MV2CoronaLight Light(uint32_t flags, float intensity = 1.0f) {
    return {1.0f, 0.5f, 0.25f, 0.5f, intensity, flags};
}

} // namespace

TEST_F(EffectsTest, ASpriteFacesTheCameraAndFadesWithDepth) {
    const TvV3d at = Rel(0, 0, 15);
    MV2DrawSprite(gMV2CoronaTexture, &at, 2.0f, 1.0f, 0.5f);
    ASSERT_EQ(recorder_.calls.size(), 1u);
    const Im3DCall& c = recorder_.calls[0];
    EXPECT_EQ(c.raster, intptr_t(TvTextureGetRaster(gMV2CoronaTexture)));
    EXPECT_EQ(c.indices, (std::vector<uint16_t>{0, 1, 2, 0, 2, 3}));
    ASSERT_EQ(c.vertices.size(), 4u);
    // Corner 0 = P - R - U with the camera's right axis (1, 0, 0).
    EXPECT_FLOAT_EQ(c.vertices[0].objVertex.x, at.x - 2.0f);
    EXPECT_FLOAT_EQ(c.vertices[0].objVertex.y, at.y - 1.0f);
    EXPECT_FLOAT_EQ(c.vertices[2].objVertex.x, at.x + 2.0f);
    EXPECT_FLOAT_EQ(c.vertices[1].u, 0.0f);
    EXPECT_FLOAT_EQ(c.vertices[1].v, 1.0f);
    // Half way to the far clip: 127.5 x brightness 0.5, truncated.
    EXPECT_EQ(c.vertices[0].red, 63);
    EXPECT_EQ(c.vertices[3].alpha, 255);
    recorder_.refuse = true;
    MV2DrawSprite(gMV2CoronaTexture, &at, 2.0f, 1.0f, 0.5f);
    EXPECT_EQ(recorder_.calls.size(), 1u); // a failed transform draws nothing
}

TEST_F(EffectsTest, TheCoronaBatchHoldsAHundredAndTwentyAndAlwaysEmpties) {
    const TvV3d at = Rel(0, 0, 10);
    std::vector<MV2CoronaLight> lights(121, Light(0x1004));
    for (MV2CoronaLight& l : lights)
        MV2QueueCorona(&l, &at);
    EXPECT_EQ(MV2QueuedCoronas(), kMV2MaxCoronas);
    EXPECT_FLOAT_EQ(lights[120].intensity, 1.0f); // the 121st was not touched
    MV2FlushCoronas();
    ASSERT_EQ(recorder_.calls.size(), 1u);
    EXPECT_EQ(recorder_.calls[0].indices.size(), 720u);
    EXPECT_EQ(recorder_.calls[0].vertices.size(), 480u);
    EXPECT_EQ(recorder_.calls[0].indices[6], 4); // quad 1: b, b + 1, b + 2, b, b + 2, b + 3
    EXPECT_EQ(MV2QueuedCoronas(), 0);
    // A flush whose transform fails empties the queue all the same.
    MV2QueueCorona(&lights[0], &at);
    recorder_.refuse = true;
    MV2FlushCoronas();
    EXPECT_EQ(MV2QueuedCoronas(), 0);
    EXPECT_EQ(recorder_.calls.size(), 1u);
}

TEST_F(EffectsTest, CoronasNeedTheLightOnAndFadeOutWithTheFadeFlag) {
    const TvV3d at = Rel(0, 0, 10);
    MV2CoronaLight off = Light(0x1000), plain = Light(0x0004);
    MV2QueueCorona(&off, &at);
    MV2QueueCorona(&plain, &at);
    EXPECT_EQ(MV2QueuedCoronas(), 0);
    MV2CoronaLight fading = Light(0x3004);
    int32_t frames = 0;
    while (fading.intensity > 0.0f && frames < 100) {
        const float before = fading.intensity;
        MV2QueueCorona(&fading, &at);
        if (fading.intensity > 0.0f) {
            EXPECT_NEAR(fading.intensity, before * 0.9f, 1e-6f);
        }
        frames++;
        MV2FlushCoronas();
    }
    EXPECT_EQ(frames, 44); // 0.9^44 < 0.01 <= 0.9^43
    const size_t drawn = recorder_.calls.size();
    MV2QueueCorona(&fading, &at); // intensity 0 with the fade flag: nothing more
    MV2FlushCoronas();
    EXPECT_EQ(recorder_.calls.size(), drawn);
    // Without the flag it comes back by 0.1 a frame up to 1.
    fading.flags = 0x1004;
    MV2QueueCorona(&fading, &at);
    EXPECT_FLOAT_EQ(fading.intensity, 0.1f);
}

TEST_F(EffectsTest, AFlareFadesWhenTheWorldHidesIt) {
    MV2CoronaLight light = Light(0x1004, 0.5f);
    const TvV3d below = Rel(0, -10, 10), free = Rel(0, 5, 10);
    MV2DrawLightFlare(&light, &below); // the floor lies between
    EXPECT_FLOAT_EQ(light.intensity, 0.45f);
    EXPECT_EQ(recorder_.calls.size(), 1u);
    MV2DrawLightFlare(&light, &free);
    EXPECT_FLOAT_EQ(light.intensity, 0.55f);
    EXPECT_EQ(recorder_.State(kTvRenderStateZTestEnable), 1);
    MV2DrawLightFlare(nullptr, &free);
    EXPECT_EQ(recorder_.calls.size(), 2u);
}

TEST_F(EffectsTest, BloodCloudsTakeTheOldestSlotButNotOneBornThisFrame) {
    MV2ResetBloodClouds();
    const TvV3d centre = Rel(0, 0, 10);
    const float at[3] = {centre.x, centre.y, centre.z};
    for (int32_t i = 0; i < kMV2BloodClouds; i++) {
        MV2CreateBloodCloud(at, 1.0f);
        NextFrame();
    }
    const uint32_t oldest = gMV2BloodClouds[0].birthFrame;
    MV2CreateBloodCloud(at, 1.0f); // the sixth replaces the first
    EXPECT_EQ(gMV2BloodClouds[0].birthFrame, gMV2FrameTimer.updateCounter);
    EXPECT_NE(gMV2BloodClouds[0].birthFrame, oldest);
    for (const MV2BloodPuff& p : gMV2BloodClouds[0].puffs) {
        EXPECT_GE(p.position.x, centre.x - 1.0f);
        EXPECT_LE(p.position.x, centre.x);
        EXPECT_NEAR(MV2EffectLength(p.velocity), 0.005f, 1e-6f);
    }
    // All five born in one frame: a further cloud that frame is dropped.
    MV2ResetBloodClouds();
    for (int32_t i = 0; i <= kMV2BloodClouds; i++)
        MV2CreateBloodCloud(at, 1.0f);
    int32_t live = 0;
    for (const MV2BloodCloud& c : gMV2BloodClouds)
        live += c.active ? 1 : 0;
    EXPECT_EQ(live, kMV2BloodClouds);
    // Drawing fades them by 0.9 a frame until they go.
    for (int32_t i = 0; i < 44; i++)
        MV2DrawBloodClouds();
    for (const MV2BloodCloud& c : gMV2BloodClouds)
        EXPECT_EQ(c.active, 0u);
}

TEST_F(EffectsTest, TheLetterboxSlidesAndKeepsTheCockpitView) {
    MV2ClearLetterbox();
    MV2SetLetterbox(3);
    MV2UpdateLetterbox();
    EXPECT_FLOAT_EQ(gMV2Letterbox.amount, 2.0f);
    EXPECT_FLOAT_EQ(camera_->viewWindow.x, 0.55f + 0.25f * 2.0f * 0.02f);
    MV2SetCameraMode(kMV2CameraCockpit);
    for (int32_t i = 0; i < 30; i++)
        MV2UpdateLetterbox();
    EXPECT_FLOAT_EQ(gMV2Letterbox.amount, 50.0f);
    EXPECT_FLOAT_EQ(camera_->viewWindow.x, 0.55f);
    EXPECT_FLOAT_EQ(camera_->viewWindow.y, 0.55f);
    EXPECT_EQ(MV2IsLetterboxShown(), 1);
    MV2SetLetterbox(0); // without the slide bit the bars go at once
    MV2UpdateLetterbox();
    EXPECT_FLOAT_EQ(gMV2Letterbox.amount, 0.0f);
    EXPECT_EQ(MV2IsLetterboxShown(), 0);
}

namespace {
std::vector<std::string>* g_hookTrace = nullptr;
void HookA(TvCamera*) {
    g_hookTrace->push_back("A");
}
void HookB(TvCamera*) {
    g_hookTrace->push_back("B");
    MV2RemoveEffectHook("B"); // removes itself while the walk runs
}
} // namespace

TEST_F(EffectsTest, HooksRefuseClashingAndLongNamesAndMayRemoveThemselves) {
    std::vector<std::string> trace;
    g_hookTrace = &trace;
    EXPECT_EQ(MV2AddEffectHook("A", HookA, nullptr, HookA), 1);
    EXPECT_EQ(MV2AddEffectHook("B", HookB, nullptr, nullptr), 1);
    EXPECT_EQ(MV2AddEffectHook("A", HookB, nullptr, nullptr), 0);
    EXPECT_EQ(MV2AddEffectHook(std::string(32, 'x').c_str(), HookA, nullptr, nullptr), 0);
    EXPECT_EQ(MV2AddEffectHook(std::string(31, 'x').c_str(), nullptr, nullptr, nullptr), 1);
    MV2UpdateEffectHooks(camera_);
    EXPECT_EQ(trace, (std::vector<std::string>{"B", "A"})); // newest first
    trace.clear();
    MV2UpdateEffectHooks(camera_);
    MV2DrawEffectHooks(camera_);
    MV2RenderEffectHooks(camera_);
    EXPECT_EQ(trace, (std::vector<std::string>{"A", "A"}));
    MV2RemoveEffectHook("absent");
    MV2InitialiseEffectHooks(); // empties the list
    trace.clear();
    MV2UpdateEffectHooks(camera_);
    EXPECT_TRUE(trace.empty());
    EXPECT_EQ(MV2AddEffectHook("A", HookA, nullptr, nullptr), 1);
    g_hookTrace = nullptr;
}
