#include <cmath>

#include "engine/core/camera.h"
#include "game/objects/camera.h"
#include "game/player/player.h"
#include "shell/gamemain.h"
#include "tests/game/objects/object_fixture.h"

namespace {

class CameraTest : public ObjectTest {
protected:
    void SetUp() override {
        ObjectTest::SetUp();
        for (TvCamera** c : {&main_, &sub_}) {
            *c = TvCameraCreate();
            ASSERT_NE(*c, nullptr);
            TvCameraSetFrame(*c, TvFrameCreate());
        }
        gMV2MainCamera = main_;
        gMV2SubCamera = sub_;
        MV2ResetGameCamera();
        ModelType(1, 2.0f);
        player_ = Place(0, 0, 0);
        MV2SetPlayerObject(player_);
        MV2SetPlayerSub(player_);
        gMV2FrameTimer.ticks = 1.0f;
    }
    void TearDown() override {
        MV2SetPlayerObject(nullptr);
        MV2SetPlayerSub(nullptr);
        gMV2MainCamera = nullptr;
        gMV2SubCamera = nullptr;
        MV2ResetGameCamera();
        for (TvCamera* c : {main_, sub_}) {
            TvFrame* f = c->object.frame;
            TvCameraSetFrame(c, nullptr);
            TvFrameDestroy(f);
        }
        ObjectTest::TearDown();
    }
    MV2Object* Place(float x, float y, float z) {
        const float at[3] = {x, y, z};
        MV2Object* o = MV2CreateObject(1, at, nullptr);
        TvFrameSyncDirty();
        return o;
    }
    TvMatrix* Camera() { return TvFrameGetMatrix(main_->object.frame); }

    TvCamera* main_ = nullptr;
    TvCamera* sub_ = nullptr;
    MV2Object* player_ = nullptr;
};

} // namespace

// Chase mode starts with a step back along the player's forward axis by 0.95 of its radius.
TEST_F(CameraTest, ChaseStartsWithAStepBack) {
    Camera()->pos = {0, 0, -10};
    MV2SetCameraMode(kMV2CameraFixed);
    EXPECT_FLOAT_EQ(Camera()->pos.z, -10.0f);
    MV2SetCameraMode(kMV2CameraChase);
    EXPECT_EQ(MV2GetCameraMode(), kMV2CameraChase);
    EXPECT_FLOAT_EQ(Camera()->pos.z, -10.0f - 0.95f * player_->radius);
    EXPECT_GT(player_->radius, 0.0f);
    const float z = Camera()->pos.z;
    MV2SetCameraMode(kMV2CameraChase); // already chasing: no step
    EXPECT_FLOAT_EQ(Camera()->pos.z, z);

    // The chase closes 5% of the way to 1 up and 3 behind per tick, looking at the player.
    TvFrameSyncDirty();
    MV2UpdateCamera(player_);
    const float expected = z + (-3.0f - z) * 0.05f;
    EXPECT_NEAR(Camera()->pos.z, expected, 1e-4f);
    EXPECT_NEAR(Camera()->pos.y, 0.05f, 1e-4f);
    EXPECT_GT(Camera()->at.z, 0.99f);
}

TEST_F(CameraTest, WithoutAPlayerTheModeIsOnlyStored) {
    MV2SetPlayerObject(nullptr);
    MV2SetPlayerSub(nullptr);
    Camera()->pos = {0, 0, -10};
    MV2SetCameraMode(kMV2CameraFixed);
    MV2SetCameraMode(kMV2CameraChase);
    EXPECT_FLOAT_EQ(Camera()->pos.z, -10.0f);
    EXPECT_EQ(MV2GetCameraMode(), kMV2CameraChase);
}

// A target destroyed in tracking mode is dropped; the camera keeps its last orientation.
TEST_F(CameraTest, DeadTargetInTrackingMode) {
    MV2SetCameraMode(kMV2CameraTracking);
    MV2Object* target = Place(10, 0, 0);
    MV2SetCameraTarget(target);
    EXPECT_NEAR(Camera()->at.x, 1.0f, 1e-5f);
    MV2ObjectSendMessage(target, 4, 0, 0);
    const TvMatrix before = *Camera();
    MV2UpdateCamera(nullptr); // no live target: nothing happens
    MV2UpdateCamera(player_);
    EXPECT_EQ(MV2GetObjectRef(&gMV2GameCamera.target), nullptr);
    EXPECT_FLOAT_EQ(Camera()->at.x, before.at.x);
    EXPECT_FLOAT_EQ(Camera()->at.z, before.at.z);
}

// A camera move slides from the camera's start towards the object over its ticks.
TEST_F(CameraTest, TrackingMoveRunsDownItsTicks) {
    MV2SetCameraMode(kMV2CameraTracking);
    Camera()->pos = {0, 0, -20};
    MV2Object* goal = Place(0, 0, 20);
    MV2StartCameraMove(goal, 4);
    MV2UpdateCamera(player_);
    EXPECT_NEAR(Camera()->pos.z, 20.0f - 40.0f * 0.75f, 1e-4f);
    for (int32_t i = 0; i < 5; i++)
        MV2UpdateCamera(player_);
    EXPECT_NEAR(Camera()->pos.z, 20.0f, 1e-4f);
    EXPECT_EQ(gMV2GameCamera.moveRemaining, 0.0f);
}

TEST_F(CameraTest, FrozenModeDoesNothing) {
    MV2SetCameraMode(kMV2CameraFrozen);
    Camera()->pos = {1, 2, 3};
    MV2UpdateCamera(player_);
    EXPECT_FLOAT_EQ(Camera()->pos.x, 1.0f);
}

// Cycling goes 2, 3, 4, 5 and back to 2; any other view enters the cycle at 2.
TEST_F(CameraTest, ViewCycling) {
    EXPECT_EQ(gMV2GameCamera.view, 2);
    std::vector<int32_t> seen;
    for (int32_t i = 0; i < 5; i++) {
        MV2CycleCameraView();
        seen.push_back(gMV2GameCamera.view);
    }
    EXPECT_EQ(seen, (std::vector<int32_t>{3, 4, 5, 2, 3}));
    MV2SetCameraView(0);
    MV2CycleCameraView();
    EXPECT_EQ(gMV2GameCamera.view, 2);
}

// The wobble phase wraps at 2048; the view window swings about 0.55 and settles when cancelled.
TEST_F(CameraTest, WobbleWrapsAndFades) {
    MV2StartCameraWobble();
    gMV2GameCamera.wobblePhase = 2040.0f;
    MV2UpdateCamera(player_);
    EXPECT_FLOAT_EQ(gMV2GameCamera.wobblePhase, 2.0f);
    EXPECT_FLOAT_EQ(gMV2GameCamera.wobbleLevel, 0.01f);
    const float v = std::sin(2.0f * 6.2831855f / 2048.0f) * 0.02f * 0.01f;
    EXPECT_NEAR(main_->viewWindow.x, 0.55f + v, 1e-7f);
    EXPECT_NEAR(main_->viewWindow.y, 0.55f - v, 1e-7f);
    for (int32_t i = 0; i < 150; i++)
        MV2UpdateCamera(player_);
    EXPECT_FLOAT_EQ(gMV2GameCamera.wobbleLevel, 1.0f);
    MV2CancelCameraBlend();
    for (int32_t i = 0; i < 101; i++)
        MV2UpdateCamera(player_);
    EXPECT_EQ(gMV2GameCamera.wobbleLevel, 0.0f);
    const float phase = gMV2GameCamera.wobblePhase;
    MV2UpdateCamera(player_);
    EXPECT_EQ(gMV2GameCamera.wobblePhase, phase);
}

TEST_F(CameraTest, ShakeRunsOutAndEnds) {
    Camera()->pos = {0, 0, 0};
    MV2StartCameraShake(1, 0.3f);
    EXPECT_EQ(gMV2GameCamera.shaking, 1);
    int32_t frames = 0;
    while (gMV2GameCamera.shaking && frames < 100) {
        MV2UpdateCameraShake();
        frames++;
    }
    EXPECT_EQ(frames, 4); // 0.3 falls by 0.1 a tick and ends once below 0
    EXPECT_EQ(gMV2GameCamera.shaking, 0);
}
