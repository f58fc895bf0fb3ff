// Shell steps on an engine with the world library: the mission craft slots, the console
// camera's aim and the two world lights.
#include "game/objects/lighting.h"
#include "engine/core/camera.h"
#include "engine/world/light.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/render.h"
#include "tests/game/objects/object_fixture.h"

#include <cmath>

namespace {

TEST_F(ObjectTest, MissionCraftAreMarkedAndReadAsNullOnceDead) {
    ModelType(5);
    MV2Object* a = MV2CreateObject(5, nullptr, nullptr);
    MV2Object* b = MV2CreateObject(5, nullptr, nullptr);
    ASSERT_TRUE(a && b);
    MV2SetMissionObjectA(a);
    MV2SetMissionObjectB(b);
    EXPECT_EQ(a->scriptId, -65535);
    EXPECT_EQ(b->scriptId, -65534);
    EXPECT_TRUE(a->flags & kMV2ObjectActive);
    EXPECT_EQ(gMV2StateMachine.craft[0].state, 1);
    EXPECT_EQ(MV2GetMissionObjectA(), a);
    EXPECT_EQ(MV2GetMissionObjectB(), b);
    MV2SetMissionObjectBState(2);
    EXPECT_EQ(gMV2StateMachine.craft[1].state, 2);
    MV2ObjectSendMessage(a, 4, 0, 0);
    EXPECT_EQ(MV2GetMissionObjectA(), nullptr);
    // The record is reused by a new object: the old handle stays dead.
    MV2Object* c = MV2CreateObject(5, nullptr, nullptr);
    EXPECT_EQ(c, a);
    EXPECT_EQ(MV2GetMissionObjectA(), nullptr);
    EXPECT_EQ(MV2SetMissionObjectA(nullptr), nullptr);
    EXPECT_EQ(MV2GetMissionObjectA(), nullptr);
    gMV2StateMachine.craft[0] = gMV2StateMachine.craft[1] = MV2MissionCraft{};
}

TEST_F(ObjectTest, TheConsoleCameraLooksFromTheEyeAtTheTarget) {
    ModelType(5);
    const float eyeAt[3] = {1, 2, 3}, targetAt[3] = {4, 2, 7};
    MV2Object* eye = MV2CreateObject(5, eyeAt, nullptr);
    MV2Object* target = MV2CreateObject(5, targetAt, nullptr);
    TvCamera* camera = TvCameraCreate();
    TvFrame* frame = TvFrameCreate();
    ASSERT_TRUE(eye && target && camera && frame);
    TvCameraSetFrame(camera, frame);
    TvCamera* saved = gMV2MainCamera;
    gMV2MainCamera = camera;
    TvMatrix* m = TvFrameGetMatrix(frame);
    MV2AimConsoleCamera(); // no objects with the console ids: unchanged
    EXPECT_EQ(m->pos.x, 0.0f);
    MV2ObjectSendMessage(eye, 36, 0x70021, 0);
    MV2ObjectSendMessage(target, 36, 0x70022, 0);
    // A target on the eye, or straight above it, leaves the camera as it was.
    for (const TvV3d& at : {TvV3d{1, 2, 3}, TvV3d{1, 9, 3}}) {
        target->matrix->pos = at;
        MV2AimConsoleCamera();
        EXPECT_EQ(m->pos.x, 0.0f);
        EXPECT_EQ(m->at.z, 1.0f);
    }
    target->matrix->pos = {4, 2, 7};
    MV2AimConsoleCamera();
    const float expected[4][3] = {{0.8f, 0, -0.6f}, {0, 1, 0}, {0.6f, 0, 0.8f}, {1, 2, 3}};
    const TvV3d* rows[4] = {&m->right, &m->up, &m->at, &m->pos};
    for (int i = 0; i < 4; ++i) {
        EXPECT_NEAR(rows[i]->x, expected[i][0], 1e-5f) << i;
        EXPECT_NEAR(rows[i]->y, expected[i][1], 1e-5f) << i;
        EXPECT_NEAR(rows[i]->z, expected[i][2], 1e-5f) << i;
    }
    gMV2MainCamera = saved;
    TvCameraSetFrame(camera, nullptr);
    TvFrameDestroy(frame);
}

TEST_F(ObjectTest, TheWorldLightsFollowTheSceneLightAndLeaveTheirWorldAtTheEnd) {
    TvCamera* camera = TvCameraCreate();
    TvFrame* frame = TvFrameCreate();
    ASSERT_TRUE(camera && frame);
    TvCameraSetFrame(camera, frame);
    TvCamera* saved = gMV2MainCamera;
    gMV2MainCamera = camera;
    MV2CreateWorldLights();
    ASSERT_NE(gMV2AmbientLight, nullptr);
    ASSERT_NE(gMV2DirectionalLight, nullptr);
    EXPECT_EQ(TpLightGetType(gMV2AmbientLight), 2);
    EXPECT_EQ(TpLightGetType(gMV2DirectionalLight), 1);
    EXPECT_EQ(gMV2AmbientLight->object.frame, frame); // it rides with the camera
    EXPECT_NE(gMV2DirectionalLight->object.frame, nullptr);
    EXPECT_NE(gMV2DirectionalLight->object.frame, frame);
    EXPECT_EQ(gMV2AmbientLight->object.object.flags, 3);
    EXPECT_EQ(gMV2DirectionalLight->radius, 1.0f);
    TpLight* ambient = gMV2AmbientLight;
    MV2CreateWorldLights(); // made once
    EXPECT_EQ(gMV2AmbientLight, ambient);
    // The console's frame has no light.
    gMV2GameState.current = 9;
    TvRGBA clear = {};
    MV2ComputeSceneLight(camera, &clear);
    EXPECT_EQ(gMV2DirectionalLight->red, 0.0f);
    gMV2GameState.current = 6;
    MV2ComputeSceneLight(camera, &clear);
    EXPECT_EQ(gMV2DirectionalLight->green, 1.0f);
    gMV2GameState.current = 0;
    gMV2Render.brightness = 1.0f;
    TpWorldAddLight(grid_.world, gMV2AmbientLight);
    TpWorldAddLight(grid_.world, gMV2DirectionalLight);
    MV2DestroyWorldLights();
    EXPECT_EQ(gMV2AmbientLight, nullptr);
    EXPECT_EQ(gMV2DirectionalLight, nullptr);
    int32_t lights = 0;
    TpWorldForAllLights(
        grid_.world,
        [](TpLight* light, void* count) {
            ++*static_cast<int32_t*>(count);
            return light;
        },
        &lights);
    EXPECT_EQ(lights, 0);
    gMV2MainCamera = saved;
    TvCameraSetFrame(camera, nullptr);
    TvFrameDestroy(frame);
}

} // namespace
