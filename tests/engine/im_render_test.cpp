// Immediate-mode drawing through the whole engine on the headless stand-in, read back in pixels.
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "tests/engine/d3d_fixture.h"

namespace {

// The camera sits at the origin looking along +z with a 90-degree view: a point at depth z and
// screen fractions (sx, sy) lies at x = (1 - 2 sx) z, y = (1 - 2 sy) z.
TvIm3DVertex At(float sx, float sy, float z, TvRGBA c) {
    return {{(1.0f - 2.0f * sx) * z, (1.0f - 2.0f * sy) * z, z},
            0.5f,
            0.5f,
            c.red,
            c.green,
            c.blue,
            c.alpha};
}

// A band across the screen (and beyond both sides, so it is clipped) at depth z.
void Band(float z, TvRGBA c) {
    TvIm3DVertex v[4] = {At(-0.2f, 0.4f, z, c), At(1.2f, 0.4f, z, c), At(-0.2f, 0.6f, z, c),
                         At(1.2f, 0.6f, z, c)};
    uint16_t quad[6] = {0, 1, 2, 2, 1, 3};
    ASSERT_NE(TvIm3DTransform(v, 4, nullptr, kTvIm3DVertexUV), nullptr);
    EXPECT_EQ(TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, quad, 6), 1);
    EXPECT_TRUE(TvIm3DEnd());
}

TEST_F(D3DTest, ImmediateTrianglesOpaqueFirstThenTranslucentFarthestFirst) {
    TvCamera* camera = Camera(640, 480);
    ASSERT_NE(camera, nullptr);
    TvFrame* frame = TvFrameCreate();
    TvCameraSetFrame(camera, frame);
    TvCameraSetNearClipPlane(camera, 1.0f);
    TvCameraSetFarClipPlane(camera, 100.0f);
    TvRaster* white = Raster(4, 4, 0, kTvRasterTypeTexture | 0x200);
    ASSERT_NE(white, nullptr);
    uint8_t* texels = TvRasterLock(white, 1);
    ASSERT_NE(texels, nullptr);
    for (int y = 0; y < 4; y++)
        for (int x = 0; x < 4; x++)
            reinterpret_cast<uint16_t*>(texels + y * white->stride)[x] = 0xFFFF;
    TvRasterUnlock(white);

    ASSERT_NE(TvCameraBeginUpdate(camera), nullptr);
    const TvRGBA black = {0, 0, 0, 255};
    ASSERT_NE(TvCameraClear(camera, &black, 3), nullptr);

    // Opaque: a 2-D red triangle over the upper-left half, far back in screen z, and a 3-D
    // yellow one in the lower-right corner.
    const float z2 = 0.95f;
    TvIm2DVertex red[3] = {{0, 0, z2, 1, 0xFFFF0000, 0, 0, 0},
                           {640, 0, z2, 1, 0xFFFF0000, 0, 0, 0},
                           {0, 480, z2, 1, 0xFFFF0000, 0, 0, 0}};
    EXPECT_EQ(TvIm2DRenderTriangle(red, 3, 0, 1, 2), 1);
    const TvRGBA yellow = {255, 255, 0, 255};
    TvIm3DVertex corner[3] = {At(1.0f, 0.2f, 50, yellow), At(1.0f, 1.0f, 50, yellow),
                              At(0.2f, 1.0f, 50, yellow)};
    ASSERT_NE(TvIm3DTransform(corner, 3, nullptr, 0), nullptr);
    EXPECT_EQ(TvIm3DRenderTriangle(0, 1, 2), 1);
    EXPECT_TRUE(TvIm3DEnd());

    // Translucent bands crossing both, the nearer drawn first.
    ASSERT_TRUE(TvRenderStateSet(kTvRenderStateTextureRaster, reinterpret_cast<intptr_t>(white)));
    ASSERT_TRUE(TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 1));
    ASSERT_TRUE(TvRenderStateSet(kTvRenderStateDeferral, 1));
    Band(3.0f, {0, 0, 255, 128});
    Band(6.0f, {0, 255, 0, 128});

    ASSERT_NE(TvCameraEndUpdate(camera), nullptr);
    ASSERT_NE(TvCameraShowRaster(camera, nullptr, 0), nullptr);
    TvRaster* fb = TvCameraGetRaster(camera);
    // Half green over the opaque colour, then half blue over that.
    const struct {
        int32_t x, y;
        int r, g, b;
    } points[] = {
        {40, 40, 255, 0, 0},      // red alone
        {600, 440, 255, 255, 0},  // yellow alone
        {128, 240, 64, 64, 128},  // bands over red
        {544, 240, 64, 128, 128}, // bands over yellow
        {330, 250, 0, 64, 128},   // bands over the cleared background (off the red edge)
        {2, 240, 64, 64, 128},    // clipped at the left edge
    };
    for (const auto& p : points)
        EXPECT_TRUE(Is565(PixelAt(fb, p.x, p.y), p.r, p.g, p.b)) << p.x << ", " << p.y;

    TvObjectHasFrameReleaseFrame(&camera->object);
    TvFrameDestroy(frame);
}

} // namespace
