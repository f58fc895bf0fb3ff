// The sonic ripple on the Direct3D stand-in: a square of the frame read back in the middle of
// the frame, its pixels pushed outward in rings, and drawn back in place.
#include <cmath>

#include "engine/core/frame.h"
#include "engine/core/texture.h"
#include "game/effects/sonic.h"
#include "shell/gamemain.h"
#include "tests/engine/d3d_fixture.h"

namespace {

TvTexture* AnyTexture(const char* name, const char*) {
    TvTexture* t = TvTextureCreate(TvRasterCreate(4, 4, 0, kTvRasterTypeTexture));
    if (t) TvTextureSetName(t, name);
    return t;
}

// Stripes 4 pixels wide in red and 4 high in blue on green: every shifted pixel shows. No pixel
// is black, which drawing a raster back would lift off the colour key.
uint16_t Pattern(int32_t x, int32_t y) {
    return uint16_t(0x07E0 | ((x / 4) % 2 ? 0xF800 : 0) | ((y / 4) % 2 ? 0x001F : 0));
}

class SonicPixelsTest : public D3DTest {
protected:
    void SetUp() override {
        D3DTest::SetUp();
        saved_ = TvTextureGetReadCallBack();
        TvTextureSetReadCallBack(AnyTexture);
        ASSERT_EQ(MV2InitialiseSonicDistortions(), 1);
        camera_ = Camera(640, 480);
        ASSERT_NE(camera_, nullptr);
        frame_ = TvFrameCreate();
        TvCameraSetFrame(camera_, frame_); // at the origin looking along +z
        TvFrameSyncDirty();
        savedMain_ = gMV2MainCamera;
        gMV2MainCamera = camera_;
    }
    void TearDown() override {
        gMV2MainCamera = savedMain_;
        MV2ShutdownSonicDistortions();
        TvCameraSetFrame(camera_, nullptr);
        TvFrameDestroy(frame_);
        TvTextureSetReadCallBack(saved_);
        D3DTest::TearDown();
    }
    // Fills the frame with the pattern, registers the positions and draws the ripples in a frame.
    void Frame(std::initializer_list<TvV3d> blasts) {
        ASSERT_NE(TvCameraBeginUpdate(camera_), nullptr);
        TvRaster* fb = TvCameraGetRaster(camera_);
        uint8_t* pixels = TvRasterLock(fb, 1);
        ASSERT_NE(pixels, nullptr);
        for (int32_t y = 0; y < 480; y++)
            for (int32_t x = 0; x < 640; x++)
                reinterpret_cast<uint16_t*>(pixels + y * fb->stride)[x] = Pattern(x, y);
        TvRasterUnlock(fb);
        for (const TvV3d& b : blasts)
            MV2AddSonicDistortion(&b);
        MV2DrawSonicDistortions();
        ASSERT_NE(TvCameraEndUpdate(camera_), nullptr);
    }
    // Pixels of the frame that differ from the pattern.
    int32_t Changed() {
        TvRaster* fb = TvCameraGetRaster(camera_);
        uint8_t* pixels = TvRasterLock(fb, 2);
        int32_t n = 0;
        for (int32_t y = 0; y < 480; y++)
            for (int32_t x = 0; x < 640; x++)
                n += reinterpret_cast<uint16_t*>(pixels + y * fb->stride)[x] != Pattern(x, y);
        TvRasterUnlock(fb);
        return n;
    }
    TvCamera* camera_ = nullptr;
    TvFrame* frame_ = nullptr;
    TvCamera* savedMain_ = nullptr;
    TvTextureReadCallBack saved_ = nullptr;
};

} // namespace

TEST_F(SonicPixelsTest, ABlastAheadRipplesTheSquareAroundItsScreenPosition) {
    Frame({{0, 0, 10}}); // the middle of the screen: the square at (280, 200), reach 16
    TvRaster* fb = TvCameraGetRaster(camera_);
    int32_t checked = 0;
    for (int32_t r = 0; r < 80; r++)
        for (int32_t c = 0; c < 80; c++) {
            int32_t dr = 0, dc = 0;
            ASSERT_EQ(MV2SonicDistortionOffset(r, c, &dr, &dc), 1);
            const bool inside = r - 40 >= -16 && r - 40 < 16 && c - 40 >= -16 && c - 40 < 16;
            if (!inside) dr = dc = 0;
            const uint16_t want = Pattern(280 + c + dc, 200 + r + dr);
            const uint32_t got = PixelAt(fb, 280 + c, 200 + r);
            EXPECT_EQ(got, want) << r << "," << c;
            checked += dr != 0 || dc != 0;
            if (HasFailure()) return;
        }
    EXPECT_GT(checked, 100);
    const int32_t changed = Changed();
    EXPECT_GT(changed, 100);
    EXPECT_LT(changed, 32 * 32);
}

TEST_F(SonicPixelsTest, BlastsBehindTheCameraOrNearTheEdgeLeaveThePictureAlone) {
    // Squares at x 580 or -20 and y 404 or -4 would run past the frame.
    Frame({{0, 0, -10}, {0, 0, 0}, {9.375f, 0, 10}, {-9.375f, 0, 10}, {0, 8.5f, 10},
           {0, -8.5f, 10}});
    EXPECT_EQ(Changed(), 0);
    EXPECT_EQ(MV2CountSonicDistortions(), 0);
}
