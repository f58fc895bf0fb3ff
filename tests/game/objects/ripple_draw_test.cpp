// Ripples drawn through a real device, seen from above and from below the surface.
#include "engine/core/bmp.h"
#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/image.h"
#include "engine/core/texture.h"
#include "game/objects/water.h"
#include "tests/engine/d3d_fixture.h"
#include "tests/support/data_folder.h"
#include "tests/support/image_writer.h"

class RippleDrawTest : public D3DTest {};

TEST_F(RippleDrawTest, RipplesFaceTheCameraOnEitherSide) {
    DataFolder folder;
    BmpDesc white;
    white.width = white.height = 8;
    white.data = BmpRows(8, 8, 24, [](int32_t, int32_t) { return 0xFFFFFFu; });
    for (const char* name : {"RIPPLE", "NWSPLASH", "DROP"})
        folder.Write(std::string("texture/") + name + ".bmp", BmpFile(white));
    TvImageRegisterImageFormat("bmp", TvImageReadBMP, nullptr);
    TvImageSetPath(".\\texture\\");
    // Without the world library no drop material is made; the ripples start all the same.
    MV2InitialiseRipples();
    MV2SetWaterHeight(0.0f);
    const TvV3d at{0, 0, 0};
    MV2AddRipple(&at, nullptr);

    TvCamera* camera = Camera(640, 480);
    ASSERT_NE(camera, nullptr);
    TvFrame* frame = TvFrameCreate();
    TvCameraSetFrame(camera, frame);
    TvCameraSetNearClipPlane(camera, 0.01f);
    TvCameraSetFarClipPlane(camera, 100.0f);
    for (float side : {1.0f, -1.0f}) {
        // Looking straight down from 0.2 above, or straight up from 0.2 below.
        TvMatrix* m = TvFrameGetMatrix(frame);
        m->right = {1, 0, 0};
        m->up = {0, 0, side};
        m->at = {0, -side, 0};
        m->pos = {0, 0.2f * side, 0};
        m->flags = 3;
        TvFrameUpdateObjects(frame);
        ASSERT_NE(TvCameraBeginUpdate(camera), nullptr);
        const TvRGBA black = {0, 0, 0, 255};
        ASSERT_NE(TvCameraClear(camera, &black, 3), nullptr);
        MV2DrawRipples(camera);
        ASSERT_NE(TvCameraEndUpdate(camera), nullptr);
        ASSERT_NE(TvCameraShowRaster(camera, nullptr, 0), nullptr);
        EXPECT_NE(PixelAt(TvCameraGetRaster(camera), 320, 240), 0u) << side;
    }
    // The surface, its texture the ripple's, fills the view looking down at it from above
    // and up at it from below, half turned.
    gMV2Water.textures[0] = TvTextureRead("RIPPLE", nullptr);
    ASSERT_NE(gMV2Water.textures[0], nullptr);
    gMV2Water.frame = 0;
    for (float side : {1.0f, -1.0f}) {
        TvMatrix* m = TvFrameGetMatrix(frame);
        m->right = {1, 0, 0};
        const float h = 0.70710677f;
        m->up = {0, h, -side * h};
        m->at = {0, -side * h, h};
        m->up.z = side > 0 ? h : -h;
        m->up.y = h;
        m->pos = {0, 2.0f * side, 0};
        m->flags = 3;
        TvFrameUpdateObjects(frame);
        ASSERT_NE(TvCameraBeginUpdate(camera), nullptr);
        const TvRGBA black = {0, 0, 0, 255};
        ASSERT_NE(TvCameraClear(camera, &black, 3), nullptr);
        MV2DrawWaterSurfaceForCamera(camera);
        ASSERT_NE(TvCameraEndUpdate(camera), nullptr);
        ASSERT_NE(TvCameraShowRaster(camera, nullptr, 0), nullptr);
        EXPECT_NE(PixelAt(TvCameraGetRaster(camera), 320, 240), 0u) << "surface " << side;
    }
    TvTextureDestroy(gMV2Water.textures[0]);
    gMV2Water.textures[0] = nullptr;
    TvObjectHasFrameReleaseFrame(&camera->object);
    TvFrameDestroy(frame);
    MV2ShutdownRipples();
}
