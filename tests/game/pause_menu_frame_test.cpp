// The in-game menu over a world frame of the first sample level, drawn in-process and read back
// from the frame buffer (16-bit 565 pixels on the offscreen display).
#include <gtest/gtest.h>

#include "bench/game_level.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/menus.h"
#include "shell/render.h"
#include "shell/resfile.h"

namespace {

// Pixels of the frame buffer in the menu's text colours (light grey, or yellow when lit).
int TextPixels() {
    TvRaster* raster = TvCameraGetRaster(gMV2MainCamera);
    const uint8_t* p = raster ? TvRasterLock(raster, 2) : nullptr;
    if (!p) return -1;
    int n = 0;
    for (int y = 0; y < raster->height; ++y)
        for (int x = 0; x < raster->width; ++x) {
            const uint8_t* q = p + size_t(y) * size_t(raster->stride) + size_t(x) * 2;
            const uint16_t v = uint16_t(q[0] | q[1] << 8);
            n += ((v >> 11) << 3) >= 200 && (((v >> 5) & 63) << 2) >= 200;
        }
    TvRasterUnlock(raster);
    return n;
}

// The in-game menu's texts reach the frame: the font page draws in the same kind of frame (the
// first check), and each text is laid out on its record's line height (a text record with no
// line height drew glyphs of no height, so the menu showed its shade and no text).
TEST(PauseMenuFrame, TheInGameMenuShowsItsTexts) {
    GameBench game;
    ASSERT_TRUE(game.Start());
    ASSERT_TRUE(MV2MenuOpenTop());
    game.Passes(10);

    TvRGBA black = {0, 0, 0, 0};
    TvCameraClear(gMV2MainCamera, &black, 3);
    ASSERT_TRUE(TvCameraBeginUpdate(gMV2MainCamera));
    TvRenderStateSet(kTvRenderStateZTestEnable, 0);
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 1);
    const MV2ImageDraw page = {0xFFFFFFFFu, 0xFFFFFFFFu, 0, 256, 0, 256,
                               TvTextureGetRaster(gMV2MenuResource.language.fontPages[0]),
                               0, 0, 1, 1};
    MV2Draw2DImage(&page);
    TvCameraEndUpdate(gMV2MainCamera);
    EXPECT_GT(TextPixels(), 1000) << "the font page does not draw";

    MV2RenderWorld();
    EXPECT_GT(TextPixels(), 500) << "the in-game menu shows no text";
    game.Stop();
}

} // namespace
