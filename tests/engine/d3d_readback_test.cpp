// Reading back what a frame has drawn so far: a square of the camera raster copied into an image
// in the middle of the frame and drawn back elsewhere in the same frame.
#include "engine/core/im2d.h"
#include "engine/core/image.h"
#include "tests/engine/d3d_fixture.h"

namespace {

TvIm2DVertex Screen(float x, float y, uint32_t colour) {
    return {x, y, 0.5f, 1.0f, colour, 0xFF000000u, 0.0f, 0.0f};
}

} // namespace

TEST_F(D3DTest, ASquareReadInTheMiddleOfAFrameHoldsWhatWasDrawnAndDrawsBackShifted) {
    TvCamera* camera = Camera(640, 480);
    ASSERT_NE(camera, nullptr);
    TvRaster* frame = TvCameraGetRaster(camera);
    ASSERT_NE(TvCameraBeginUpdate(camera), nullptr);
    const TvRGBA black = {0, 0, 0, 255};
    ASSERT_NE(TvCameraClear(camera, &black, 3), nullptr);
    TvRenderStateSet(kTvRenderStateTextureRaster, 0);
    TvRenderStateSet(kTvRenderStateZTestEnable, 0);
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 0);
    // Two triangles meeting on a diagonal through the square read below.
    TvIm2DVertex red[3] = {Screen(100, 100, 0xFFFF0000u), Screen(300, 100, 0xFFFF0000u),
                           Screen(100, 300, 0xFFFF0000u)};
    TvIm2DVertex blue[3] = {Screen(300, 100, 0xFF0000FFu), Screen(300, 300, 0xFF0000FFu),
                            Screen(100, 300, 0xFF0000FFu)};
    ASSERT_TRUE(TvIm2DRenderPrimitive(kTvPrimitiveTriangleList, red, 3));
    ASSERT_TRUE(TvIm2DRenderPrimitive(kTvPrimitiveTriangleList, blue, 3));

    // Still inside the frame: the square at (160, 160) comes back with both colours in it.
    TvRaster* square = Raster(0, 0, 0, kTvRasterTypeNormal | kTvRasterDontAllocate);
    ASSERT_NE(square, nullptr);
    const TvRect rect = {160, 160, 80, 80};
    ASSERT_NE(TvRasterSubRaster(square, frame, &rect), nullptr);
    TvImage* image = TvImageCreate(80, 80, 32);
    ASSERT_NE(image, nullptr);
    ASSERT_NE(TvImageAllocatePixels(image), nullptr);
    ASSERT_NE(TvImageSetFromRaster(image, square), nullptr);
    auto texel = [&](int32_t x, int32_t y) {
        return reinterpret_cast<const TvRGBA*>(image->pixels + y * image->stride)[x];
    };
    EXPECT_GT(texel(5, 5).red, 200);    // above the diagonal: red
    EXPECT_LT(texel(5, 5).blue, 50);
    EXPECT_GT(texel(75, 75).blue, 200); // below it: blue
    EXPECT_LT(texel(75, 75).red, 50);

    // Drawn back 250 to the right into the frame's own raster as the current target.
    TvRaster* work = Raster(80, 80, 0, kTvRasterTypeNormal);
    ASSERT_NE(work, nullptr);
    ASSERT_NE(TvRasterSetFromImage(work, image), nullptr);
    ASSERT_NE(TvRasterPushContext(frame), nullptr);
    ASSERT_NE(TvRasterRender(work, 410, 160), nullptr);
    TvRasterPopContext();
    // Drawing goes on after the read-back.
    TvIm2DVertex white[3] = {Screen(500, 400, 0xFFFFFFFFu), Screen(600, 400, 0xFFFFFFFFu),
                             Screen(500, 470, 0xFFFFFFFFu)};
    ASSERT_TRUE(TvIm2DRenderPrimitive(kTvPrimitiveTriangleList, white, 3));
    ASSERT_NE(TvCameraEndUpdate(camera), nullptr);
    TvImageDestroy(image);

    int32_t different = 0;
    for (int32_t y = 0; y < 80; y += 3)
        for (int32_t x = 0; x < 80; x += 3)
            different += PixelAt(frame, 410 + x, 160 + y) != PixelAt(frame, 160 + x, 160 + y);
    EXPECT_EQ(different, 0);
    EXPECT_TRUE(Is565(PixelAt(frame, 160 + 5, 160 + 5), 255, 0, 0));
    EXPECT_TRUE(Is565(PixelAt(frame, 410 + 75, 160 + 75), 0, 0, 255));
    EXPECT_TRUE(Is565(PixelAt(frame, 405, 200), 0, 0, 0)); // left of the copy: untouched
    EXPECT_TRUE(Is565(PixelAt(frame, 510, 410), 255, 255, 255));
}
