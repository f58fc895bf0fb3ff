// The rock tunnel drawn through a real device: walls around the view, the open far end.
#include "engine/core/bmp.h"
#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/image.h"
#include "engine/core/texture.h"
#include "game/objects/rocktunnel.h"
#include "tests/engine/d3d_fixture.h"
#include "tests/support/data_folder.h"
#include "tests/support/image_writer.h"

class TunnelDrawTest : public D3DTest {};

TEST_F(TunnelDrawTest, WallsSurroundTheViewDownTheTunnel) {
    DataFolder folder;
    BmpDesc rock;
    rock.width = rock.height = 8;
    rock.data = BmpRows(8, 8, 24, [](int32_t, int32_t) { return 0xC0C0C0u; });
    for (int32_t i = 1; i <= 8; i++) {
        if (i <= 6) folder.Write("texture/vrocks" + std::to_string(i) + ".bmp", BmpFile(rock));
        folder.Write("texture/cloud" + std::to_string(i) + "m.bmp", BmpFile(rock));
    }
    TvImageRegisterImageFormat("bmp", TvImageReadBMP, nullptr);
    TvImageSetPath(".\\texture\\");
    ASSERT_EQ(MV2InitialiseRocksAndClouds(), 1);
    MV2StartRockTunnel(nullptr);

    TvCamera* camera = Camera(640, 480);
    ASSERT_NE(camera, nullptr);
    TvFrame* frame = TvFrameCreate();
    TvCameraSetFrame(camera, frame);
    TvCameraSetNearClipPlane(camera, 0.1f);
    TvCameraSetFarClipPlane(camera, 200.0f);
    // The share of a grid of pixels that one pass lights.
    auto litShare = [&](void (*draw)()) {
        EXPECT_NE(TvCameraBeginUpdate(camera), nullptr);
        const TvRGBA black = {0, 0, 0, 255};
        EXPECT_NE(TvCameraClear(camera, &black, 3), nullptr);
        draw();
        EXPECT_NE(TvCameraEndUpdate(camera), nullptr);
        EXPECT_NE(TvCameraShowRaster(camera, nullptr, 0), nullptr);
        TvRaster* fb = TvCameraGetRaster(camera);
        int32_t lit = 0, all = 0;
        for (int32_t y = 4; y < 480; y += 16)
            for (int32_t x = 4; x < 640; x += 16, all++)
                lit += PixelAt(fb, x, y) != 0;
        return float(lit) / float(all);
    };
    // From inside, the walls fill the view but for the far opening.
    EXPECT_GT(litShare(MV2DrawRockTunnel), 0.9f);
    // The cloud sheets across the tunnel ahead cover the middle of the view.
    EXPECT_GT(litShare(MV2DrawTunnelClouds), 0.2f);

    TvObjectHasFrameReleaseFrame(&camera->object);
    TvFrameDestroy(frame);
    MV2ShutdownRocksAndClouds();
}
