// Camera-facing quads on the Direct3D stand-in, which culls triangles that wind away from the
// viewer, seen through a camera built as the game builds its cameras (right = up x at, which the
// engine puts on the left of the screen): every kind lands on the screen.
#include <cstring>
#include <functional>

#include "engine/core/frame.h"
#include "engine/core/texture.h"
#include "game/effects/effectbase.h"
#include "game/effects/fireballs.h"
#include "game/effects/primitives.h"
#include "game/effects/sfx.h"
#include "game/effects/shafts.h"
#include "game/objects/levels.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/render.h"
#include "tests/engine/d3d_fixture.h"

namespace {

// Every texture a 4x4 of white, so a drawn quad shows in its vertex colour.
TvTexture* WhiteTexture(const char* name, const char*) {
    TvRaster* r = TvRasterCreate(4, 4, 0, kTvRasterTypeTexture);
    if (!r) return nullptr;
    if (uint8_t* pixels = TvRasterLock(r, 1)) {
        std::memset(pixels, 0xFF, size_t(r->stride) * 4);
        TvRasterUnlock(r);
    }
    TvTexture* t = TvTextureCreate(r);
    if (t) TvTextureSetName(t, name);
    return t;
}

class FacingPixelsTest : public D3DTest {
protected:
    void SetUp() override {
        D3DTest::SetUp();
        saved_ = TvTextureGetReadCallBack();
        TvTextureSetReadCallBack(WhiteTexture);
        camera_ = Camera(640, 480);
        ASSERT_NE(camera_, nullptr);
        frame_ = TvFrameCreate();
        TvCameraSetFrame(camera_, frame_);
        // At the origin looking along +z, the axes made as the game's look-at makes them.
        TvMatrix* m = TvFrameGetMatrix(frame_);
        m->at = {0, 0, 1};
        m->up = {0, 1, 0};
        m->right = TvV3dCross(m->up, m->at);
        m->pos = {0, 0, 0};
        TvFrameUpdateObjects(frame_);
        TvFrameSyncDirty();
        savedMain_ = gMV2MainCamera;
        gMV2MainCamera = gMV2EffectCamera = camera_;
        savedFar_ = gMV2FarClip;
        gMV2FarClip.distance = 30.0f;
        gMV2FarClip.inverse = 1.0f / 30.0f;
        gMV2Render.brightness = 1.0f;
        MV2InitialiseEffectPrimitives();
        gMV2CoronaTexture = MV2ReadEffectTexture("CORONA", "CORONAM");
        ASSERT_EQ(MV2InitialiseFireballs(), 1);
    }
    void TearDown() override {
        MV2ShutdownFireballs();
        MV2DestroyEffectTexture(gMV2CoronaTexture);
        MV2ShutdownEffectHooks();
        gMV2FarClip = savedFar_;
        gMV2MainCamera = savedMain_;
        gMV2EffectCamera = nullptr;
        TvCameraSetFrame(camera_, nullptr);
        TvFrameDestroy(frame_);
        TvTextureSetReadCallBack(saved_);
        D3DTest::TearDown();
    }
    // Pixels of the frame that are not black after drawing on black.
    int32_t Lit(const std::function<void()>& draw) {
        static const TvRGBA black = {0, 0, 0, 255};
        EXPECT_NE(TvCameraBeginUpdate(camera_), nullptr);
        TvCameraClear(camera_, &black, 3);
        draw();
        EXPECT_NE(TvCameraEndUpdate(camera_), nullptr);
        TvRaster* fb = TvCameraGetRaster(camera_);
        uint8_t* pixels = TvRasterLock(fb, 2);
        if (!pixels) return -1;
        int32_t n = 0;
        for (int32_t y = 0; y < 480; y++)
            for (int32_t x = 0; x < 640; x++)
                n += reinterpret_cast<uint16_t*>(pixels + y * fb->stride)[x] != 0;
        TvRasterUnlock(fb);
        return n;
    }
    TvCamera* camera_ = nullptr;
    TvFrame* frame_ = nullptr;
    TvCamera* savedMain_ = nullptr;
    MV2FarClip savedFar_ = {};
    TvTextureReadCallBack saved_ = nullptr;
};

} // namespace

TEST_F(FacingPixelsTest, SpritesCoronasAndFireBallsFacingTheGamesCameraAreDrawn) {
    const TvV3d ahead = {0, 0, 10};
    const float at[3] = {0, 0, 10};
    MV2CoronaLight light = {1.0f, 1.0f, 1.0f, 1.0f, 1.0f, kMV2CoronaLightOn | kMV2CoronaShown};
    const struct {
        const char* what;
        std::function<void()> draw;
    } cases[] = {
        {"sprite", [&] { MV2DrawSpriteShaded(gMV2CoronaTexture, &ahead, 1.0f, 1.0f); }},
        {"corona batch",
         [&] {
             MV2QueueCorona(&light, &ahead);
             MV2FlushCoronas();
         }},
        {"fire ball",
         [&] {
             MV2CreateFireball(at, nullptr, 2.0f, nullptr, 0.0f, 255);
             MV2DrawFireballs();
         }},
    };
    for (const auto& c : cases) {
        const int32_t lit = Lit(c.draw);
        // A square of about a tenth of the frame's height a side, or more.
        EXPECT_GT(lit, 1000) << c.what;
        EXPECT_LT(lit, 640 * 480 / 2) << c.what;
    }
}

// A shaft of light ahead of the camera, leaning either way: its four triangles fan around the
// point under its top and all face the camera.
TEST_F(FacingPixelsTest, ASunShaftAheadIsDrawnFromEitherSide) {
    const int32_t savedSky = gMV2Level.skyFlag;
    gMV2Level.skyFlag = 1;
    ASSERT_EQ(MV2InitialiseSunMoonBeams(), 1);
    TvCameraSetFarClipPlane(camera_, 30.0f);
    for (const float lean : {0.5f, -0.5f}) {
        MV2SunMoonBeam& s = gMV2SunMoonBeams[0];
        s.time = 0.6f;
        s.brightness = 15;
        s.halfWidth = 3.0f;
        s.bottomHalfWidth = 6.0f;
        s.length = 8.0f;
        s.top = {0.0f, 4.0f, 12.0f};
        s.direction = MV2EffectUnit({lean, 1.0f, 0.0f});
        const int32_t lit = Lit([&] { MV2DrawSunMoonBeams(camera_); });
        // The whole shaft lights about 23,000 pixels; with half its triangles culled, 11,500.
        EXPECT_GT(lit, 18000) << "lean " << lean;
    }
    MV2InitialiseSunMoonBeams();
    gMV2Level.skyFlag = savedSky;
}
