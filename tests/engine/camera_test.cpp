#include <gtest/gtest.h>

#include "engine/core/camera.h"
#include "engine/core/engine.h"
#include "engine/core/error.h"
#include "tests/support/engine_checks.h"
#include "tests/support/null_device.h"

namespace {

TvV3d Project(const TvCamera* c, TvV3d p) {
    TvV3d out;
    TvV3dTransformPoints(&out, &p, 1, &c->viewMatrix);
    return {out.x / out.z, out.y / out.z, out.z};
}

class CameraTest : public ::testing::Test {
protected:
    NullEngine engine;
    TvCamera* camera = nullptr;
    TvFrame* frame = nullptr;
    TvRaster* fb = nullptr;

    void SetUp() override { ASSERT_TRUE(engine.ok()); }
    void TearDown() override {
        if (camera) TvObjectHasFrameReleaseFrame(&camera->object);
        if (frame) TvFrameDestroy(frame);
        if (fb) TvRasterDestroy(fb);
    }
    // A camera at the origin looking along +z, near 1, far 10, with a 64 x 48 frame buffer.
    void MakeCamera() {
        camera = TvCameraCreate();
        ASSERT_NE(camera, nullptr);
        frame = TvFrameCreate();
        fb = TvRasterCreate(64, 48, 0, kTvRasterTypeCamera);
        TvCameraSetFrame(camera, frame);
        TvCameraSetRaster(camera, fb);
        TvCameraSetNearClipPlane(camera, 1.0f);
        TvCameraSetFarClipPlane(camera, 10.0f);
    }
};

TEST_F(CameraTest, CreatedWithDefaults) {
    TvCamera* c = TvCameraCreate();
    ASSERT_NE(c, nullptr);
    EXPECT_EQ(c->object.object.type, kTvCameraObjectType);
    EXPECT_EQ(c->projectionType, kTvPerspective);
    EXPECT_EQ(c->nearPlane, 0.05f);
    EXPECT_EQ(c->farPlane, 10.0f);
    EXPECT_EQ(c->fogPlane, 5.0f);
    EXPECT_EQ(c->viewWindow.x, 1.0f);
    EXPECT_EQ(c->viewMatrix.flags, 0u);
    EXPECT_EQ(TvCameraGetRaster(c), nullptr);
    EXPECT_EQ(TvCameraGetZRaster(c), nullptr);
}

TEST_F(CameraTest, NearAndFarMapToTheDeviceScreenZRange) {
    TV_ENGINE->deviceRecord.zNear = 0.0f;
    TV_ENGINE->deviceRecord.zFar = 0.99999f;
    TvCamera* c = TvCameraCreate();
    const float upper = 0.99999f - 0.99999f * 0.0001f;
    const float lower = upper * 0.0001f;
    EXPECT_NEAR(c->zShift + c->zScale / 10.0f, upper, 1e-5f);
    EXPECT_NEAR(c->zShift + c->zScale / 0.05f, lower, 1e-5f);

    c->projectionType = kTvParallel;
    TvCameraSetNearClipPlane(c, 2.0f);
    TvCameraSetFarClipPlane(c, 50.0f);
    EXPECT_NEAR(c->zShift + c->zScale * 50.0f, upper, 1e-5f);
    EXPECT_NEAR(c->zShift + c->zScale * 2.0f, lower, 1e-5f);
}

TEST_F(CameraTest, BeginUpdateChecksCameraAndBuffers) {
    struct Case {
        const char* what;
        int zWidth; // 0: no depth raster
        bool frameBuffer;
        uint32_t error;
    };
    const Case cases[] = {{"no frame buffer", 0, false, E_TV_NOFRAMEBUFFER},
                          {"depth raster of another size", 32, true, E_TV_BUFFERSIZEMISMATCH},
                          {"matching depth raster", 64, true, E_TV_NOERROR}};
    for (const Case& c : cases) {
        TvEngineStop(); // fresh error record, free lists and driver log
        TvEngineStart();
        TvCamera* cam = TvCameraCreate();
        TvRaster* colour = TvRasterCreate(64, 48, 0, kTvRasterTypeCamera);
        TvRaster* depth =
            c.zWidth ? TvRasterCreate(c.zWidth, 48, 0, kTvRasterTypeZBuffer) : nullptr;
        if (c.frameBuffer) TvCameraSetRaster(cam, colour);
        TvCameraSetZRaster(cam, depth);
        const bool ok = c.error == E_TV_NOERROR;
        EXPECT_EQ(TvCameraBeginUpdate(cam) != nullptr, ok) << c.what;
        EXPECT_EQ(LastErrorCode(), c.error) << c.what;
        EXPECT_EQ(TV_ENGINE->curCamera, ok ? cam : nullptr) << c.what;
        if (ok) {
            EXPECT_EQ(TvCameraEndUpdate(cam), cam);
            EXPECT_EQ(TV_ENGINE->curCamera, nullptr);
        }
        TvRasterDestroy(colour);
        if (depth) TvRasterDestroy(depth);
    }
    TvEngineStop();
    TvEngineStart();
    EXPECT_EQ(TvCameraBeginUpdate(nullptr), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_NOCAMERA);
}

TEST_F(CameraTest, DriverRefusalsKeepOrLeaveTheCurrentCamera) {
    MakeCamera();
    NullDeviceGet().refusedStandard = {1};
    EXPECT_EQ(TvCameraBeginUpdate(camera), nullptr);
    EXPECT_EQ(TV_ENGINE->curCamera, camera) << "the current camera stays set";
    NullDeviceGet().refusedStandard = {10};
    EXPECT_EQ(TvCameraEndUpdate(camera), nullptr);
    EXPECT_EQ(TV_ENGINE->curCamera, camera);
    NullDeviceGet().refusedStandard = {};
    EXPECT_EQ(TvCameraEndUpdate(camera), camera);
}

TEST_F(CameraTest, PerspectiveViewVolumeAndSphereTests) {
    MakeCamera();
    ASSERT_EQ(TvCameraBeginUpdate(camera), camera);
    TvCameraEndUpdate(camera);

    // Screen coordinates run from 0 to 1 over the view window; +right is the left edge.
    const TvV3d centre = Project(camera, {0, 0, 5});
    EXPECT_NEAR(centre.x, 0.5f, 1e-5f);
    EXPECT_NEAR(centre.y, 0.5f, 1e-5f);
    EXPECT_NEAR(centre.z, 5.0f, 1e-5f);
    const TvV3d corner = Project(camera, {-5, -5, 5});
    EXPECT_NEAR(corner.x, 1.0f, 1e-5f);
    EXPECT_NEAR(corner.y, 1.0f, 1e-5f);

    EXPECT_EQ(camera->frustumBoundBox.sup.x, 10.0f);
    EXPECT_EQ(camera->frustumBoundBox.inf.y, -10.0f);
    EXPECT_EQ(camera->frustumBoundBox.inf.z, 1.0f);
    EXPECT_EQ(camera->frustumBoundBox.sup.z, 10.0f);
    EXPECT_EQ(camera->frustumPlanes[0].plane.distance, 10.0f);
    EXPECT_EQ(camera->frustumPlanes[1].plane.normal.z, -1.0f);
    EXPECT_EQ(camera->frustumPlanes[1].closestZ, 0);
    EXPECT_EQ(camera->frustumPlanes[0].closestZ, 1);

    struct Case {
        TvSphere sphere;
        int32_t expect;
    };
    const Case cases[] = {
        {{{0, 0, 5}, 1}, kTvSphereInside},      {{{0, 0, 11}, 1}, kTvSphereBoundary}, // e = r
        {{{0, 0, 9}, 1}, kTvSphereInside}, // e = -r on the far plane
        {{{0, 0, 12}, 1}, kTvSphereOutside},    {{{0, 0, 0}, 0.5f}, kTvSphereOutside},
        {{{0, 0, 1}, 0.5f}, kTvSphereBoundary}, {{{20, 0, 5}, 1}, kTvSphereOutside},
        {{{5, 0, 5}, 1}, kTvSphereBoundary},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(TvCameraFrustumTestSphere(camera, &c.sphere), c.expect)
            << c.sphere.center.x << "," << c.sphere.center.z << " r " << c.sphere.radius;
    }
}

TEST_F(CameraTest, ViewWindowChangeRebuildsAtNextBeginUpdate) {
    MakeCamera();
    TvCameraBeginUpdate(camera);
    TvCameraEndUpdate(camera);
    const TvV2d wide = {2.0f, 1.0f};
    TvCameraSetViewWindow(camera, &wide);
    EXPECT_EQ(camera->recipViewWindow.x, 0.5f);
    EXPECT_EQ(camera->frustumBoundBox.sup.x, 10.0f) << "nothing rebuilt yet";
    TvCameraBeginUpdate(camera);
    TvCameraEndUpdate(camera);
    EXPECT_EQ(camera->frustumBoundBox.sup.x, 20.0f);
    EXPECT_NEAR(Project(camera, {-10, 0, 5}).x, 1.0f, 1e-5f);

    // Moving the frame moves the volume too.
    const TvV3d back = {0, 0, -1};
    TvFrameTranslate(frame, &back, kTvCombinePostConcat);
    TvCameraBeginUpdate(camera);
    TvCameraEndUpdate(camera);
    EXPECT_EQ(camera->frustumBoundBox.inf.z, 0.0f);
}

TEST_F(CameraTest, ParallelVolumeIsABox) {
    MakeCamera();
    camera->projectionType = kTvParallel;
    const TvV2d window = {2.0f, 3.0f};
    TvCameraSetViewWindow(camera, &window);
    TvCameraBeginUpdate(camera);
    TvCameraEndUpdate(camera);
    EXPECT_EQ(camera->frustumBoundBox.sup.x, 2.0f);
    EXPECT_EQ(camera->frustumBoundBox.inf.y, -3.0f);
    EXPECT_EQ(camera->frustumBoundBox.inf.z, 1.0f);
    const TvSphere inside = {{1.5f, -2.5f, 9.0f}, 0.25f};
    const TvSphere beside = {{2.5f, 0.0f, 5.0f}, 0.25f};
    EXPECT_EQ(TvCameraFrustumTestSphere(camera, &inside), kTvSphereInside);
    EXPECT_EQ(TvCameraFrustumTestSphere(camera, &beside), kTvSphereOutside);
    const TvV3d p = {-2.0f, -3.0f, 4.0f};
    TvV3d screen;
    TvV3dTransformPoints(&screen, &p, 1, &camera->viewMatrix);
    EXPECT_NEAR(screen.x, 1.0f, 1e-5f);
    EXPECT_NEAR(screen.y, 1.0f, 1e-5f);
}

TEST_F(CameraTest, ClearAndShowGoToTheDriver) {
    MakeCamera();
    const TvRGBA grey = {128, 128, 128, 255};
    EXPECT_EQ(TvCameraClear(camera, &grey, 3), camera);
    EXPECT_EQ(TvCameraShowRaster(camera, nullptr, 0), camera);
    EXPECT_EQ(StandardCallCount(21), 1);
    EXPECT_EQ(StandardCallCount(20), 1);
    NullDeviceGet().refusedStandard = {20, 21};
    EXPECT_EQ(TvCameraClear(camera, &grey, 3), nullptr);
    EXPECT_EQ(TvCameraShowRaster(camera, nullptr, 0), nullptr);
}

} // namespace
