// The world modules drawn through a real device: the tunnel's walls and cloud sheets from
// inside, ripples and the water surface from above and from below the surface.
#include <string>

#include "engine/core/bmp.h"
#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/image.h"
#include "engine/core/texture.h"
#include "game/objects/rocktunnel.h"
#include "game/objects/water.h"
#include "tests/engine/d3d_fixture.h"
#include "tests/support/data_folder.h"
#include "tests/support/image_writer.h"

namespace {

class WorldDrawTest : public D3DTest {
protected:
    void SetUp() override {
        D3DTest::SetUp();
        TvImageRegisterImageFormat("bmp", TvImageReadBMP, nullptr);
        TvImageSetPath(".\\texture\\");
        camera_ = Camera(640, 480);
        ASSERT_NE(camera_, nullptr);
        frame_ = TvFrameCreate();
        TvCameraSetFrame(camera_, frame_);
        TvCameraSetNearClipPlane(camera_, 0.01f);
        TvCameraSetFarClipPlane(camera_, 200.0f);
    }
    void TearDown() override {
        TvObjectHasFrameReleaseFrame(&camera_->object);
        TvFrameDestroy(frame_);
        D3DTest::TearDown();
    }
    // Light grey 8x8 pictures of the given names.
    void WriteTextures(std::initializer_list<std::string> names) {
        BmpDesc grey;
        grey.width = grey.height = 8;
        grey.data = BmpRows(8, 8, 24, [](int32_t, int32_t) { return 0xC0C0C0u; });
        for (const std::string& name : names)
            folder_.Write("texture/" + name + ".bmp", BmpFile(grey));
    }
    // Puts the camera at `pos` with the axes given, draws one pass from a cleared frame and
    // answers the share of a grid of pixels it lit, and whether the middle pixel is lit.
    float Shot(TvV3d up, TvV3d at, TvV3d pos, void (*draw)(TvCamera*), bool* middle = nullptr) {
        TvMatrix* m = TvFrameGetMatrix(frame_);
        m->up = up;
        m->at = at;
        m->right = TvV3dCross(up, at);
        m->pos = pos;
        m->flags = 3;
        TvFrameUpdateObjects(frame_);
        EXPECT_NE(TvCameraBeginUpdate(camera_), nullptr);
        const TvRGBA black = {0, 0, 0, 255};
        EXPECT_NE(TvCameraClear(camera_, &black, 3), nullptr);
        draw(camera_);
        EXPECT_NE(TvCameraEndUpdate(camera_), nullptr);
        EXPECT_NE(TvCameraShowRaster(camera_, nullptr, 0), nullptr);
        TvRaster* fb = TvCameraGetRaster(camera_);
        if (middle) *middle = PixelAt(fb, 320, 240) != 0;
        int32_t lit = 0, all = 0;
        for (int32_t y = 4; y < 480; y += 16)
            for (int32_t x = 4; x < 640; x += 16, all++)
                lit += PixelAt(fb, x, y) != 0;
        return float(lit) / float(all);
    }

    DataFolder folder_;
    TvCamera* camera_ = nullptr;
    TvFrame* frame_ = nullptr;
};

} // namespace

TEST_F(WorldDrawTest, TunnelWallsAndCloudsFaceTheInside) {
    for (int32_t i = 1; i <= 8; i++) {
        if (i <= 6) WriteTextures({"vrocks" + std::to_string(i)});
        WriteTextures({"cloud" + std::to_string(i) + "m"});
    }
    ASSERT_EQ(MV2InitialiseRocksAndClouds(), 1);
    MV2StartRockTunnel(nullptr);
    const TvV3d up{0, 1, 0}, ahead{0, 0, 1}, origin{0, 0, 0};
    // The walls fill the view but for the far opening.
    EXPECT_GT(Shot(up, ahead, origin, [](TvCamera*) { MV2DrawRockTunnel(); }), 0.9f);
    // The cloud sheets across the tunnel ahead cover the middle of the view.
    EXPECT_GT(Shot(up, ahead, origin, [](TvCamera*) { MV2DrawTunnelClouds(); }), 0.2f);
    MV2ShutdownRocksAndClouds();
}

TEST_F(WorldDrawTest, RipplesAndTheSurfaceFaceTheCameraOnEitherSide) {
    WriteTextures({"RIPPLE", "NWSPLASH", "DROP"});
    // Without the world library no drop material is made; the ripples start all the same.
    MV2InitialiseRipples();
    MV2SetWaterHeight(0.0f);
    const TvV3d at{0, 0, 0};
    MV2AddRipple(&at, nullptr);
    gMV2Water.textures[0] = TvTextureRead("RIPPLE", nullptr);
    ASSERT_NE(gMV2Water.textures[0], nullptr);
    gMV2Water.frame = 0;
    const float h = 0.70710677f;
    for (float side : {1.0f, -1.0f}) {
        // A ripple straight below (above) the camera.
        bool middle = false;
        Shot({0, 0, side}, {0, -side, 0}, {0, 0.2f * side, 0}, MV2DrawRipples, &middle);
        EXPECT_TRUE(middle) << "ripple " << side;
        // The surface seen half turned from 2 above (below).
        Shot({0, h, side * h}, {0, -side * h, h}, {0, 2.0f * side, 0},
             MV2DrawWaterSurfaceForCamera, &middle);
        EXPECT_TRUE(middle) << "surface " << side;
    }
    TvTextureDestroy(gMV2Water.textures[0]);
    gMV2Water.textures[0] = nullptr;
    MV2ShutdownRipples();
}
