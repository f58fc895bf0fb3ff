#include <vector>

#include "engine/core/d3d/pixels.h"
#include "engine/core/d3d/rasters.h"
#include "tests/engine/d3d_fixture.h"

namespace {

TEST_F(D3DTest, RasterCreateRefusesFormatsAndDepthsItCannotMake) {
    const struct {
        int32_t depth;
        uint32_t flags;
        uint32_t error;
    } cases[] = {
        {8, kTvRasterTypeTexture, E_TV_RASTERDEPTH},           // no 8-bit palette default
        {0, kTvRasterTypeTexture | 0x2600, E_TV_RASTERFORMAT}, // no palette format offered
        {0, kTvRasterTypeTexture | 0x6000, E_TV_RASTERFORMAT}, // both palette bits
        {12, kTvRasterTypeTexture, E_TV_RASTERDEPTH},
        {32, kTvRasterTypeTexture | 0x0200, E_TV_RASTERDEPTH}, // 565 is 16 bits
        {0, kTvRasterTypeCamera | kTvRasterFormatMipMap, E_TV_RASTERFORMAT},
        {32, kTvRasterTypeCamera, E_TV_RASTERDEPTH},
        {0, kTvRasterTypeNormal | 0x0500, E_TV_RASTERFORMAT},
        {0, 3, E_TV_RASTERFORMAT},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(TvRasterCreate(16, 16, c.depth, c.flags), nullptr) << std::hex << c.flags;
        const TvErrorRecord err = TakeError();
        EXPECT_EQ(err.pluginID, 0u) << std::hex << c.flags;
        EXPECT_EQ(err.errorCode, c.error) << std::hex << c.flags;
    }
    // A size the device refuses fails with the driver's error and leaves nothing behind.
    EXPECT_EQ(TvRasterCreate(4096, 16, 0, kTvRasterTypeTexture), nullptr);
    EXPECT_EQ(TakeErrorCode(), TvErrorCode(E_TV_DXERROR));
    EXPECT_EQ(TvD3DTextureChainFirst(), nullptr);
}

TEST_F(D3DTest, TexturesTakeTheirFormatAndMipLevels) {
    const struct {
        uint32_t flags;
        int32_t depth;
        uint8_t format;
    } cases[] = {{0x0200, 16, 0x02}, {0x0100, 16, 0x01}, {0x0300, 16, 0x03},
                 {0x0500, 32, 0x05}, {0x0000, 16, 0x02}, {0x8200, 16, 0x82}};
    for (const auto& c : cases) {
        TvRaster* r = Raster(8, 8, 0, kTvRasterTypeTexture | c.flags);
        ASSERT_NE(r, nullptr) << std::hex << c.flags;
        EXPECT_EQ(r->depth, c.depth);
        EXPECT_EQ(r->format, c.format);
        EXPECT_NE(TvD3DGetRasterData(r)->texture, nullptr);
    }
    TvRaster* mip = Raster(256, 64, 0, kTvRasterTypeTexture | kTvRasterFormatMipMap);
    ASSERT_NE(mip, nullptr);
    int levels = 0;
    for (IDirectDrawSurface4* s = TvD3DGetRasterData(mip)->surface; s;
         s = TvD3DSurfaceNextMipLevel(s))
        ++levels;
    EXPECT_EQ(levels, 7);
    // Textures are chained until destroyed.
    int chained = 0;
    for (const TvD3DTexChainElement* e = TvD3DTextureChainFirst(); e; e = e->next)
        ++chained;
    EXPECT_EQ(chained, 7);
}

TEST_F(D3DTest, FullScreenCameraRastersShareTheBackBuffer) {
    TvRaster* camera = Raster(320, 240, 0, kTvRasterTypeCamera);
    TvRaster* z = Raster(320, 240, 0, kTvRasterTypeZBuffer);
    ASSERT_NE(camera, nullptr);
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(TvD3DGetRasterData(camera)->surface, TvD3DDriver.startTarget.colour);
    EXPECT_EQ(TvD3DGetRasterData(z)->surface, TvD3DDriver.startTarget.z);
    EXPECT_EQ(camera->depth, 16);
    EXPECT_EQ(camera->stride, 640 * 2);
    EXPECT_EQ(z->depth, 16);
    // A raster without size has no pixels.
    TvRaster* empty = Raster(0, 10, 0, kTvRasterTypeNormal);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(empty->createFlags, kTvRasterDontAllocate);
    EXPECT_EQ(TvRasterLock(empty, 3), nullptr);
}

TEST_F(D3DTest, LocksStayInsideTheirSurface) {
    TvRaster* parent = Raster(64, 32, 0, kTvRasterTypeNormal);
    ASSERT_NE(parent, nullptr);
    TvRaster* child = Raster(0, 0, 0, kTvRasterTypeNormal | kTvRasterDontAllocate);
    ASSERT_NE(child, nullptr);
    const TvRect rect = {10, 4, 20, 8};
    ASSERT_NE(TvRasterSubRaster(child, parent, &rect), nullptr);
    EXPECT_EQ(TvD3DGetRasterData(child)->surface, TvD3DGetRasterData(parent)->surface);
    EXPECT_EQ(TvD3DGetRasterData(child)->format, TvD3DGetRasterData(parent)->format);
    uint8_t* top = TvRasterLock(parent, 3);
    ASSERT_NE(top, nullptr);
    const int32_t stride = parent->stride;
    TvRasterUnlock(parent);
    uint8_t* inner = TvRasterLock(child, 3);
    EXPECT_EQ(inner - top, 4 * stride + 10 * 2);
    TvRasterUnlock(child);
    EXPECT_EQ(TvRasterLock(parent, 0), nullptr);

    // A camera raster larger than the shared back buffer has no pixels to hand out.
    TvRaster* big = Raster(1024, 768, 0, kTvRasterTypeCamera);
    ASSERT_NE(big, nullptr);
    EXPECT_EQ(TvRasterLock(big, 2), nullptr);
    EXPECT_EQ(TakeErrorCode(), TvErrorCode(E_TV_DXERROR));
}

TEST_F(D3DTest, ImageRasterFormatChoosesByAlphaAndFitsTheDevice) {
    const TvD3DTextureChoices& choice = TvD3DDriver.choices;
    const struct {
        uint8_t alpha0, alpha1;
        const TvD3DTextureFormat* format;
    } cases[] = {{0xFF, 0xFF, choice.f565},
                 {0x00, 0xFF, choice.f1555},
                 {0x80, 0xFF, choice.f4444},
                 {0x00, 0xFE, choice.f4444}};
    for (const auto& c : cases) {
        uint8_t pixels[8] = {1, 2, 3, c.alpha0, 4, 5, 6, c.alpha1};
        TvImage image{};
        image.width = 2;
        image.height = 1;
        image.depth = 32;
        image.stride = 8;
        image.pixels = pixels;
        TvRaster r{};
        ASSERT_TRUE(TvD3DImageRasterFormat(&r, &image, kTvRasterTypeTexture));
        EXPECT_EQ(uint32_t(r.format) << 8, c.format->code) << int(c.alpha0) << " " << int(c.alpha1);
    }

    const DWORD caps = TvD3DDriver.caps.dpcTriCaps.dwTextureCaps;
    const DWORD maxW = TvD3DDriver.caps.dwMaxTextureWidth,
                maxH = TvD3DDriver.caps.dwMaxTextureHeight;
    TvD3DDriver.caps.dpcTriCaps.dwTextureCaps |= D3DPTEXTURECAPS_POW2;
    TvD3DDriver.caps.dwMaxTextureWidth = TvD3DDriver.caps.dwMaxTextureHeight = 256;
    TvImage large{};
    large.width = 300;
    large.height = 200;
    large.depth = 32;
    TvRaster r{};
    ASSERT_TRUE(TvD3DImageRasterFormat(&r, &large, kTvRasterTypeTexture));
    EXPECT_EQ(r.width, 256);
    EXPECT_EQ(r.height, 128);
    TvD3DDriver.caps.dpcTriCaps.dwTextureCaps |= D3DPTEXTURECAPS_SQUAREONLY;
    ASSERT_TRUE(TvD3DImageRasterFormat(&r, &large, kTvRasterTypeTexture | kTvRasterFormatMipMap));
    EXPECT_EQ(r.width, 128);
    EXPECT_EQ(r.height, 128);
    EXPECT_TRUE(r.format & 0x80);
    TvD3DDriver.caps.dpcTriCaps.dwTextureCaps = caps;
    TvD3DDriver.caps.dwMaxTextureWidth = maxW;
    TvD3DDriver.caps.dwMaxTextureHeight = maxH;
    EXPECT_FALSE(TvD3DImageRasterFormat(&r, &large, 3));
}

TEST_F(D3DTest, ImageFromRasterReadsPixelsBack) {
    TvRaster* r = Raster(2, 1, 0, kTvRasterTypeTexture | 0x0500);
    ASSERT_NE(r, nullptr);
    uint8_t* pixels = TvRasterLock(r, 1);
    ASSERT_NE(pixels, nullptr);
    const uint32_t texels[2] = {0x80112233, 0xFF445566};
    std::memcpy(pixels, texels, sizeof texels);
    TvRasterUnlock(r);
    uint8_t out[8] = {};
    TvImage image{};
    image.width = 2;
    image.height = 1;
    image.depth = 32;
    image.stride = 8;
    image.pixels = out;
    ASSERT_TRUE(TvD3DImageFromRaster(&image, r, 0));
    const uint8_t want[8] = {0x11, 0x22, 0x33, 0x80, 0x44, 0x55, 0x66, 0xFF};
    EXPECT_EQ(std::memcmp(out, want, 8), 0);
    image.depth = 8;
    EXPECT_FALSE(TvD3DImageFromRaster(&image, r, 0));
    EXPECT_EQ(TakeErrorCode(), E_TV_IMAGEDEPTH);
}

TEST_F(D3DTest, PaletteLockCopiesEntriesOutAndBack) {
    TvRaster* r = Raster(4, 4, 0, kTvRasterTypeNormal);
    ASSERT_NE(r, nullptr);
    EXPECT_FALSE(Std(24, nullptr, r, 0)); // not a palettised format
    // The stand-in offers no palettised surfaces: a palette of its own stands in.
    PALETTEENTRY entries[256] = {};
    entries[1] = {10, 20, 30, 40};
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(
        TvD3DDriver.dd->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &palette, nullptr),
        DD_OK);
    TvD3DGetRasterData(r)->palette = palette;
    const uint8_t format = r->format;
    r->format = 0x26;
    uint32_t* words = nullptr;
    ASSERT_TRUE(Std(24, &words, r, 0));
    ASSERT_NE(words, nullptr);
    EXPECT_EQ(words[1], 0x280A141Eu);
    words[2] = 0x01020304;
    ASSERT_TRUE(Std(25, nullptr, r, 0));
    EXPECT_FALSE(Std(25, nullptr, r, 0)); // nothing left to write back
    PALETTEENTRY back[3] = {};
    palette->GetEntries(0, 0, 3, back);
    EXPECT_EQ(back[2].peRed, 2);
    EXPECT_EQ(back[2].peGreen, 3);
    EXPECT_EQ(back[2].peBlue, 4);
    EXPECT_EQ(back[2].peFlags, 1);
    r->format = format;
    TvD3DGetRasterData(r)->palette = nullptr;
    palette->Release();
}

} // namespace
