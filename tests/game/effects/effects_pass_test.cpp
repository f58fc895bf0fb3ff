// The effect render pass and the ambient spawner.
#include "game/missions/lightobject.h"
#include "game/objects/levels.h"
#include "tests/game/effects/effects_fixture.h"

namespace {

int32_t CallsWith(const Im3DRecorder& r, TvTexture* texture) {
    int32_t n = 0;
    for (const Im3DCall& c : r.calls)
        n += c.raster == intptr_t(TvTextureGetRaster(texture)) ? 1 : 0;
    return n;
}

} // namespace

TEST_F(EffectsTest, TheSecondCameraGetsNoShadowsScorchesOrMainCameraEffects) {
    MV2ObjectType* craft = ModelType(1, 1.0f);
    craft->words[7] |= 1u << 3;
    craft->shadowTexture = MV2ReadEffectTexture("SHADOW", "SHADOWM");
    MV2SetTypeFloat(craft, 11, 1.0f);
    MV2Object* player = Make(1, Rel(0, -3, 10));
    ASSERT_NE(player, nullptr);
    MV2SetPlayerObject(player);
    MV2SetShadows(1);
    MV2ResetBloodClouds();
    const TvV3d centre = Rel(0, 0, 10);
    const float at[3] = {centre.x, centre.y, centre.z};
    MV2CreateBloodCloud(at, 0.5f);
    MV2EffectDetail = 3;

    TvCamera* second = TvCameraCreate();
    TvFrame* frame = TvFrameCreate();
    TvCameraSetFrame(second, frame);
    *TvFrameGetMatrix(frame) = *TvFrameGetMatrix(frame_);
    TvFrameUpdateObjects(frame);
    EXPECT_EQ(MV2RenderEffects(second), 1);
    EXPECT_EQ(CallsWith(recorder_, craft->shadowTexture), 0);
    EXPECT_EQ(CallsWith(recorder_, gMV2BloodTexture), 0);
    EXPECT_EQ(recorder_.State(kTvRenderStateDestBlend), 6);

    MV2RenderEffects(camera_);
    EXPECT_GT(CallsWith(recorder_, craft->shadowTexture), 0);
    EXPECT_EQ(CallsWith(recorder_, gMV2BloodTexture), 3);
    // The shadow is not drawn from the cockpit; option 0 draws none.
    recorder_.calls.clear();
    MV2SetCameraMode(kMV2CameraCockpit);
    MV2RenderEffects(camera_);
    EXPECT_EQ(CallsWith(recorder_, craft->shadowTexture), 0);
    MV2SetCameraMode(0);
    MV2SetShadows(0);
    MV2SetShadows(7); // ignored
    EXPECT_EQ(MV2GetShadows(), 0);
    MV2RenderEffects(camera_);
    EXPECT_EQ(CallsWith(recorder_, craft->shadowTexture), 0);
    MV2SetShadows(1);
    TvCameraSetFrame(second, nullptr);
    TvFrameDestroy(frame);
    MV2DestroyEffectTexture(craft->shadowTexture);
}

TEST_F(EffectsTest, TheNinthDirtColumnInViewIsNotRemembered) {
    ModelType(135);
    std::vector<MV2Object*> columns;
    for (int32_t i = 0; i < 9; i++) {
        columns.push_back(Make(135, Rel(float(i), 0, 10)));
        SeeObject(columns.back());
    }
    MV2RenderEffects(camera_);
    MV2Object* const* remembered = nullptr;
    ASSERT_EQ(MV2GetRememberedColumns(&remembered), kMV2DirtColumns);
    EXPECT_EQ(remembered[7], columns[7]);
    // A dead entry of the list is skipped.
    gMV2VisibleList.counter = 0;
    SeeObject(columns[0]);
    SeeObject(columns[1]);
    MV2ObjectSendMessage(columns[0], 4, 0, 0);
    MV2RenderEffects(camera_);
    ASSERT_EQ(MV2GetRememberedColumns(&remembered), 1);
    EXPECT_EQ(remembered[0], columns[1]);
}

TEST_F(EffectsTest, EffectDetailSwitchesLightCoronasAndBloodClouds) {
    HandledType(69, MV2LightObjectHandler, sizeof(MV2LightObjectData));
    MV2Object* light = Make(69, Rel(0, 0, 10));
    ASSERT_NE(light, nullptr);
    auto* d = static_cast<MV2LightObjectData*>(light->privateData);
    EXPECT_EQ(d->flags & 0x1004u, 0x1004u); // on, with a corona
    SeeObject(light);
    MV2ResetBloodClouds();
    const TvV3d centre = Rel(0, 0, 10);
    const float at[3] = {centre.x, centre.y, centre.z};
    MV2CreateBloodCloud(at, 0.5f);
    MV2SetWaterHeight(15.0f); // the camera at the surface: no plankton, which draws with CORONA
    const struct {
        int32_t detail;
        int32_t coronas, blood;
    } cases[] = {{0, 0, 0}, {2, 1, 0}, {3, 1, 3}};
    for (const auto& c : cases) {
        MV2EffectDetail = c.detail;
        recorder_.calls.clear();
        MV2RenderEffects(camera_);
        EXPECT_EQ(CallsWith(recorder_, gMV2CoronaTexture), c.coronas) << c.detail;
        EXPECT_EQ(CallsWith(recorder_, gMV2BloodTexture), c.blood) << c.detail;
    }
    MV2EffectDetail = 3;
}

TEST_F(EffectsTest, AmbientSpawnsNeedSpeedAndKeepTheirCountAboveZero) {
    EXPECT_EQ(MV2AmbientLimit(0x01000000), 8);
    EXPECT_EQ(MV2AmbientLimit(0x00000000), 10);
    EXPECT_EQ(MV2AmbientLimit(0x02030000), 10);
    EXPECT_EQ(MV2ResetAmbientSpawns(), 1);
    MV2Body still = {};
    const TvV3d at = Rel(0, 0, 0);
    for (int32_t i = 0; i < 200; i++)
        MV2UpdateAmbientSpawns(&at, &still);
    EXPECT_EQ(MV2GetAmbientCount(), 0);
    // The destroy of a creature the count never saw does not take it below 0.
    ModelType(1);
    MV2Object* creature = Make(1, Rel(0, 0, 5));
    creature->overrideHandler = MV2AmbientSpawnHandler;
    MV2ObjectSendMessage(creature, 4, 0, 0);
    EXPECT_EQ(MV2GetAmbientCount(), 0);
    // Out of the in-view update a creature goes.
    MV2Object* other = Make(1, Rel(0, 0, 5));
    const MV2ObjectHandle handle = other->handle;
    other->overrideHandler = MV2AmbientSpawnHandler;
    MV2InViewUpdateFlag = 0;
    MV2ObjectSendMessage(other, 2, 0, 0);
    EXPECT_EQ(MV2ObjectHandleAlive(handle), 0);
}
