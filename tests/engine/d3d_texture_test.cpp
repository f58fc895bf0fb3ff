#include <vector>

#include "engine/core/d3d/pixels.h"
#include "tests/engine/d3d_fixture.h"

namespace {

TEST_F(D3DTest, ColourAndPixelConvertBothWaysForEachFormat) {
    const struct {
        TvRGBA colour;
        int32_t format;
        uint32_t pixel;
        TvRGBA back;
    } cases[] = {
        {{255, 128, 8, 255}, 0x100, 0xFE01, {248, 128, 8, 255}},
        {{255, 128, 8, 0}, 0x100, 0x7E01, {248, 128, 8, 0}},
        {{255, 128, 8, 255}, 0x200, 0xFC01, {248, 128, 8, 255}},
        {{0, 0, 0, 255}, 0x200, 0x0001, {0, 0, 8, 255}}, // opaque black is not the key
        {{0, 0, 0, 0}, 0x200, 0x0000, {0, 0, 0, 0}},
        {{0x1F, 0x2F, 0x3F, 0x4F}, 0x300, 0x4123, {0x10, 0x20, 0x30, 0x40}},
        {{1, 2, 3, 4}, 0x500, 0x04010203, {1, 2, 3, 4}},
        {{1, 2, 3, 255}, 0x600, 0x010203, {1, 2, 3, 255}},
        {{0, 0, 0, 9}, 0x600, 0x000001, {0, 0, 1, 255}},
        {{0, 0, 0, 255}, 0x000, 0x0001, {0, 0, 8, 255}}, // the frame buffer's 565
        {{9, 9, 9, 0}, 0x000, 0x0000, {0, 0, 0, 0}},
    };
    for (const auto& c : cases) {
        TvRGBA colour = c.colour;
        uint32_t pixel = 0xDEAD;
        ASSERT_TRUE(Std(2, &pixel, &colour, c.format)) << std::hex << c.format;
        EXPECT_EQ(pixel, c.pixel) << std::hex << c.format << " " << c.pixel;
        TvRGBA back{};
        ASSERT_TRUE(Std(3, &back, &pixel, c.format));
        EXPECT_EQ(std::memcmp(&back, &c.back, 4), 0)
            << std::hex << c.format << " " << c.pixel << ": " << int(back.red) << " "
            << int(back.green) << " " << int(back.blue) << " " << int(back.alpha);
    }
    TvRGBA colour = {1, 2, 3, 4};
    uint32_t pixel = 0;
    EXPECT_FALSE(Std(2, &pixel, &colour, 0x400));
    EXPECT_FALSE(Std(2, &pixel, &colour, 0x700)); // not the frame buffer's layout
    EXPECT_FALSE(Std(3, &colour, &pixel, 0xA00));
}

// A 32-bit image whose pixel (x, y) is colourOf(x, y).
struct Image32 {
    std::vector<TvRGBA> pixels;
    TvImage image{};
    template <class F> Image32(int32_t width, int32_t height, F colourOf) {
        pixels.resize(size_t(width * height));
        for (int32_t y = 0; y < height; ++y)
            for (int32_t x = 0; x < width; ++x)
                pixels[size_t(y * width + x)] = colourOf(x, y);
        image.width = width;
        image.height = height;
        image.depth = 32;
        image.stride = width * 4;
        image.pixels = reinterpret_cast<uint8_t*>(pixels.data());
    }
};

TEST_F(D3DTest, TexturesUploadInEveryOfferedFormat) {
    Image32 source(4, 2, [](int32_t x, int32_t y) {
        return TvRGBA{uint8_t(x * 64), uint8_t(y * 128), 200, uint8_t(x == 3 ? 0 : 255)};
    });
    for (uint32_t format : {0x200u, 0x100u, 0x300u, 0x500u}) {
        TvRaster* r = Raster(4, 2, 0, kTvRasterTypeTexture | format);
        ASSERT_NE(r, nullptr);
        ASSERT_TRUE(Std(7, r, &source.image, 0)) << std::hex << format;
        for (int32_t y = 0; y < 2; ++y) {
            for (int32_t x = 0; x < 3; ++x) { // the transparent column may bleed
                TvRGBA want = source.pixels[size_t(y * 4 + x)];
                uint32_t expected = 0;
                ASSERT_TRUE(Std(2, &expected, &want, int32_t(format)));
                EXPECT_EQ(PixelAt(r, x, y), expected) << std::hex << format << " " << x << "," << y;
            }
        }
    }
    // No conversion into a raster without pixels of its own.
    TvRaster* none = Raster(0, 0, 0, kTvRasterTypeTexture | kTvRasterDontAllocate);
    ASSERT_NE(none, nullptr);
    EXPECT_FALSE(Std(7, none, &source.image, 0));
}

TEST_F(D3DTest, MipLevelsAverageTheirBoxesUntilASideReachesZero) {
    Image32 source(64, 32, [](int32_t x, int32_t) {
        return TvRGBA{uint8_t((x & 1) ? 255 : 0), 0, 0, 255};
    });
    TvRaster* r = Raster(64, 32, 0, kTvRasterTypeTexture | 0x0500 | kTvRasterFormatMipMap);
    ASSERT_NE(r, nullptr);
    ASSERT_TRUE(Std(7, r, &source.image, 0));
    int32_t width = 64, height = 32, levels = 0;
    for (IDirectDrawSurface4* s = TvD3DGetRasterData(r)->surface; s;
         s = TvD3DSurfaceNextMipLevel(s), width /= 2, height /= 2, ++levels) {
        DDSURFACEDESC2 desc;
        auto* texels = static_cast<const uint32_t*>(TvD3DSurfaceLockRead(s, &desc));
        ASSERT_NE(texels, nullptr);
        EXPECT_EQ(desc.dwWidth, DWORD(width));
        EXPECT_EQ(desc.dwHeight, DWORD(height));
        // Level 0 keeps the stripes (opaque black lifted off the key); every coarser level
        // averages them to 127.
        EXPECT_EQ(texels[0] & 0xFFFFFF, levels == 0 ? 0x080808u : 127u << 16) << levels;
        TvD3DSurfaceUnlock(s);
    }
    EXPECT_EQ(levels, 6); // 64x32 down to 2x1
}

TEST_F(D3DTest, TransparentTexelsTakeAnOpaqueNeighboursColour) {
    Image32 source(3, 1, [](int32_t x, int32_t) {
        const TvRGBA row[3] = {{255, 0, 0, 255}, {0, 0, 0, 0}, {0, 0, 255, 255}};
        return row[x];
    });
    TvRaster* r = Raster(3, 1, 0, kTvRasterTypeTexture | 0x0100);
    ASSERT_NE(r, nullptr);
    ASSERT_TRUE(Std(7, r, &source.image, 0));
    EXPECT_EQ(PixelAt(r, 0, 0), 0xFC00u);
    EXPECT_EQ(PixelAt(r, 1, 0), 0x7C00u); // red, alpha still clear
    EXPECT_EQ(PixelAt(r, 2, 0), 0x801Fu);
}

class D3DDrawTest : public D3DTest {
protected:
    void SetUp() override {
        D3DTest::SetUp();
        target = Raster(8, 4, 0, kTvRasterTypeNormal);
        ASSERT_NE(target, nullptr);
        ASSERT_NE(TvRasterPushContext(target), nullptr);
        ASSERT_TRUE(TvRasterClear(0x1111));
    }
    void TearDown() override {
        TvRasterPopContext();
        D3DTest::TearDown();
    }
    // A 2 x 2 texture of one format: texel values a, b / c, d.
    TvRaster* Source(uint32_t format, uint16_t a, uint16_t b, uint16_t c, uint16_t d) {
        TvRaster* r = Raster(2, 2, 0, kTvRasterTypeTexture | format);
        uint8_t* p = TvRasterLock(r, 1);
        const uint16_t texels[4] = {a, b, c, d};
        for (int32_t y = 0; y < 2; ++y)
            std::memcpy(p + y * r->stride, texels + y * 2, 4);
        TvRasterUnlock(r);
        return r;
    }
    std::vector<uint32_t> Row(int32_t y) {
        std::vector<uint32_t> row;
        for (int32_t x = 0; x < 8; ++x)
            row.push_back(PixelAt(target, x, y));
        return row;
    }
    TvRaster* target = nullptr;
};

// A raster the driver refuses as a context is not pushed, and drawing still reaches the raster
// on top of the stack.
TEST_F(D3DDrawTest, RefusedPushKeepsDrawingIntoTheTopRaster) {
    TvRaster* empty = Raster(4, 4, 0, kTvRasterTypeNormal | kTvRasterDontAllocate);
    ASSERT_NE(empty, nullptr);
    EXPECT_EQ(TvRasterPushContext(empty), nullptr);
    TvRaster* src = Source(0x0200, 0xA, 0xB, 0xC, 0xD);
    ASSERT_NE(TvRasterRenderFast(src, 0, 0), nullptr);
    EXPECT_EQ(PixelAt(target, 0, 0), 0xAu);
    EXPECT_EQ(PixelAt(target, 1, 1), 0xDu);
}

// A mip level that cannot be filled (here: held locked) fails the image upload.
TEST_F(D3DTest, ImageUploadFailsWhenALowerMipLevelCannotBeLocked) {
    Image32 source(8, 8, [](int32_t, int32_t) { return TvRGBA{255, 0, 0, 255}; });
    TvRaster* r = Raster(8, 8, 0, kTvRasterTypeTexture | 0x0500 | kTvRasterFormatMipMap);
    ASSERT_NE(r, nullptr);
    IDirectDrawSurface4* second = TvD3DSurfaceNextMipLevel(TvD3DGetRasterData(r)->surface);
    ASSERT_NE(second, nullptr);
    DDSURFACEDESC2 desc;
    ASSERT_NE(TvD3DSurfaceLock(second, &desc), nullptr);
    EXPECT_EQ(Std(7, r, &source.image, 0), 0);
    TvD3DSurfaceUnlock(second);
    EXPECT_EQ(Std(7, r, &source.image, 0), 1);
}

TEST_F(D3DDrawTest, PlainDrawingClipsAtTheContextEdges) {
    TvRaster* src = Source(0x0200, 0xA, 0xB, 0xC, 0xD);
    ASSERT_NE(TvRasterRenderFast(src, -1, 0), nullptr); // only the right column shows
    ASSERT_NE(TvRasterRenderFast(src, 7, 3), nullptr);  // only the top-left texel shows
    ASSERT_NE(TvRasterRenderFast(src, 20, 0), nullptr); // nothing shows
    using R = std::vector<uint32_t>;
    EXPECT_EQ(Row(0), (R{0xB, 0x1111, 0x1111, 0x1111, 0x1111, 0x1111, 0x1111, 0x1111}));
    EXPECT_EQ(Row(1), (R{0xD, 0x1111, 0x1111, 0x1111, 0x1111, 0x1111, 0x1111, 0x1111}));
    EXPECT_EQ(Row(3), (R{0x1111, 0x1111, 0x1111, 0x1111, 0x1111, 0x1111, 0x1111, 0xA}));
}

TEST_F(D3DDrawTest, KeyedDrawingSkipsTheKeyWithAndWithoutTheSoftwareCopy) {
    // 565 textures carry the colour key, so DirectDraw draws them; 1555 ones do not, so the
    // driver's own copy does, keeping pixels that are not 0.
    for (uint32_t format : {0x0200u, 0x0100u}) {
        ASSERT_TRUE(TvRasterClear(0x1111));
        TvRaster* src = Source(format, 0x0, 0x8001, 0x8002, 0x0);
        ASSERT_NE(TvRasterRender(src, 3, 1), nullptr);
        using R = std::vector<uint32_t>;
        EXPECT_EQ(Row(1), (R{0x1111, 0x1111, 0x1111, 0x1111, 0x8001, 0x1111, 0x1111, 0x1111}))
            << std::hex << format;
        EXPECT_EQ(Row(2), (R{0x1111, 0x1111, 0x1111, 0x8002, 0x1111, 0x1111, 0x1111, 0x1111}))
            << std::hex << format;
    }
}

TEST_F(D3DDrawTest, ScaledDrawingStretchesAndCutsTheSourceInProportion) {
    TvRaster* src = Source(0x0200, 0xA, 0xB, 0xC, 0xD);
    const TvRect cut = {-4, 0, 8, 2}; // each texel 4 wide, the first one cut off
    const TvRect rect = {4, 1, 4, 2}; // each texel 2 wide, uncut
    ASSERT_NE(TvRasterRenderScaled(src, &cut), nullptr);
    ASSERT_NE(TvRasterRenderScaled(src, &rect), nullptr);
    using R = std::vector<uint32_t>;
    EXPECT_EQ(Row(0), (R{0xB, 0xB, 0xB, 0xB, 0x1111, 0x1111, 0x1111, 0x1111}));
    EXPECT_EQ(Row(1), (R{0xD, 0xD, 0xD, 0xD, 0xA, 0xA, 0xB, 0xB}));
    EXPECT_EQ(Row(2), (R{0x1111, 0x1111, 0x1111, 0x1111, 0xC, 0xC, 0xD, 0xD}));
    // A locked source makes DirectDraw and the fall-back give up quietly.
    ASSERT_NE(TvRasterLock(src, 2), nullptr);
    EXPECT_NE(TvRasterRenderScaled(src, &rect), nullptr);
    TvRasterUnlock(src);
}

// A surface whose Blt always fails, so that drawing into it takes the driver's own copy.
class NoBltSurface final : public IDirectDrawSurface4 {
public:
    explicit NoBltSurface(IDirectDrawSurface4* inner) : inner_(inner) {}
    HRESULT QueryInterface(REFIID iid, void** out) override {
        return inner_->QueryInterface(iid, out);
    }
    ULONG AddRef() override { return 2; }
    ULONG Release() override { return 1; }
    HRESULT AddAttachedSurface(IDirectDrawSurface4* s) override {
        return inner_->AddAttachedSurface(s);
    }
    HRESULT Blt(RECT*, IDirectDrawSurface4*, RECT*, DWORD, DDBLTFX*) override {
        return DDERR_UNSUPPORTED;
    }
    HRESULT Flip(IDirectDrawSurface4* s, DWORD f) override { return inner_->Flip(s, f); }
    HRESULT GetAttachedSurface(DDSCAPS2* c, IDirectDrawSurface4** o) override {
        return inner_->GetAttachedSurface(c, o);
    }
    HRESULT GetFlipStatus(DWORD f) override { return inner_->GetFlipStatus(f); }
    HRESULT GetSurfaceDesc(DDSURFACEDESC2* d) override { return inner_->GetSurfaceDesc(d); }
    HRESULT Lock(RECT* r, DDSURFACEDESC2* d, DWORD f, HANDLE e) override {
        return inner_->Lock(r, d, f, e);
    }
    HRESULT SetClipper(IDirectDrawClipper* c) override { return inner_->SetClipper(c); }
    HRESULT SetPalette(IDirectDrawPalette* p) override { return inner_->SetPalette(p); }
    HRESULT Unlock(RECT* r) override { return inner_->Unlock(r); }

private:
    IDirectDrawSurface4* inner_;
};

TEST_F(D3DDrawTest, SoftwareCopiesDrawPlainAndScaledWhenDirectDrawCannot) {
    TvRaster* src = Source(0x0200, 0xA, 0x0, 0xC, 0xD);
    IDirectDrawSurface4*& surface = TvD3DGetRasterData(target)->surface;
    IDirectDrawSurface4* real = surface;
    NoBltSurface failing(real);
    surface = &failing;
    ASSERT_NE(TvRasterRenderFast(src, 6, -1), nullptr); // plain: every pixel, 0 included
    const TvRect rect = {0, 1, 4, 2};
    ASSERT_NE(TvRasterRenderScaled(src, &rect), nullptr); // scaled: visible pixels only
    surface = real;
    using R = std::vector<uint32_t>;
    EXPECT_EQ(Row(0), (R{0x1111, 0x1111, 0x1111, 0x1111, 0x1111, 0x1111, 0xC, 0xD}));
    EXPECT_EQ(Row(1), (R{0xA, 0xA, 0x1111, 0x1111, 0x1111, 0x1111, 0x1111, 0x1111}));
    EXPECT_EQ(Row(2), (R{0xC, 0xC, 0xD, 0xD, 0x1111, 0x1111, 0x1111, 0x1111}));
}

TEST_F(D3DTest, SoftwareClearFillsWholePixelsOfTheContextDepth) {
    TvRaster* r = Raster(3, 2, 0, kTvRasterTypeTexture | 0x0500);
    ASSERT_NE(r, nullptr);
    ASSERT_NE(TvRasterPushContext(r), nullptr);
    const TvRect rect = {1, 0, 5, 1}; // runs past the right edge
    ASSERT_TRUE(Std(13, nullptr, const_cast<TvRect*>(&rect), int32_t(0x80FF0001)));
    TvRasterPopContext();
    EXPECT_EQ(PixelAt(r, 1, 0), 0x80FF0001u);
    EXPECT_EQ(PixelAt(r, 2, 0), 0x80FF0001u);
    EXPECT_NE(PixelAt(r, 1, 1), 0x80FF0001u);
}

TEST_F(D3DTest, OtherFrameBufferLayoutsConvertThroughTheDisplayMasks) {
    TvD3DDriverState& d = TvD3DDriver;
    const DDSURFACEDESC2 desc = d.primaryDesc;
    const uint32_t code = d.frameBufferCode;
    d.primaryDesc.ddpfPixelFormat = DDrawRgbFormat(32, 0, 8, 8, 8); // 32 bits without alpha
    d.frameBufferCode = 0x900;
    TvRGBA colour = {0x12, 0x34, 0x56, 255};
    uint32_t pixel = 0;
    EXPECT_TRUE(Std(2, &pixel, &colour, 0));
    EXPECT_EQ(pixel, 0x123456u);
    TvRGBA back{};
    EXPECT_TRUE(Std(3, &back, &pixel, 0x900));
    EXPECT_EQ(back.red, 0x12);
    EXPECT_EQ(back.blue, 0x56);
    EXPECT_EQ(back.alpha, 255);
    d.primaryDesc = desc;
    d.frameBufferCode = code;
}

} // namespace
