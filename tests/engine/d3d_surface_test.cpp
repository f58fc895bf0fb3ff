// The driver's surface helpers, conversion format, colour-key thresholds, raster format codes
// and texture chain, over the DirectDraw stand-in.
#include "engine/core/d3d/surface.h"

#include "engine/core/error.h"
#include "platform/ddraw/d3d.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TvErrorRecord LastError() {
    TvErrorRecord r = {};
    TvErrorGet(&r);
    return r;
}

struct Channel {
    uint16_t left, shift, bits;
};
void ExpectChannel(const TvD3DConversionChannel& c, Channel want, const char* name) {
    EXPECT_EQ(c.shiftLeft, want.left) << name;
    EXPECT_EQ(c.shift, want.shift) << name;
    EXPECT_EQ(c.bits, want.bits) << name;
}

TEST(D3DSurfaceTest, ConversionFormatShiftsEachChannelToItsMask) {
    struct Case {
        const char* name;
        DDPIXELFORMAT format;
        Channel r, g, b, a;
    } cases[] = {
        {"1555", DDrawRgbFormat(16, 1, 5, 5, 5), {1, 7, 5}, {1, 2, 5}, {0, 3, 5}, {1, 8, 1}},
        {"565", DDrawRgbFormat(16, 0, 5, 6, 5), {1, 8, 5}, {1, 3, 6}, {0, 3, 5}, {1, 0, 0}},
        {"4444", DDrawRgbFormat(16, 4, 4, 4, 4), {1, 4, 4}, {1, 0, 4}, {0, 4, 4}, {1, 8, 4}},
        {"8888", DDrawRgbFormat(32, 8, 8, 8, 8), {1, 16, 8}, {1, 8, 8}, {1, 0, 8}, {1, 24, 8}},
    };
    for (Case& c : cases) {
        TvD3DSetConversionFormat(&c.format);
        const TvD3DConversionFormat* f = TvD3DGetConversionFormat();
        ExpectChannel(f->red, c.r, c.name);
        ExpectChannel(f->green, c.g, c.name);
        ExpectChannel(f->blue, c.b, c.name);
        ExpectChannel(f->alpha, c.a, c.name);
    }
}

TEST(D3DSurfaceTest, ColourToPixelKeepsOpaqueDarkColoursOffTheKey) {
    TvD3DColourKeyThresholds saved = *TvD3DGetColourKeyThresholds();
    struct Case {
        const char* name;
        DDPIXELFORMAT format;
        uint8_t r, g, b, a;
        uint32_t pixel;
    } cases[] = {
        {"565 opaque black", DDrawRgbFormat(16, 0, 5, 6, 5), 0, 0, 0, 255, 0x0841},
        {"565 transparent", DDrawRgbFormat(16, 0, 5, 6, 5), 200, 100, 50, 127, 0},
        {"565 colour", DDrawRgbFormat(16, 0, 5, 6, 5), 255, 128, 8, 255, 0xFC01},
        {"565 one dark channel only", DDrawRgbFormat(16, 0, 5, 6, 5), 0, 0, 9, 255, 0x0001},
        {"1555 black alpha 0", DDrawRgbFormat(16, 1, 5, 5, 5), 0, 0, 0, 0, 0},
        {"1555 black alpha 255", DDrawRgbFormat(16, 1, 5, 5, 5), 0, 0, 0, 255, 0x8421},
        {"4444 keeps top bits", DDrawRgbFormat(16, 4, 4, 4, 4), 0x9F, 0x5A, 0x3C, 0x81, 0x8953},
        {"8888", DDrawRgbFormat(32, 8, 8, 8, 8), 0x12, 0x34, 0x56, 0x78, 0x78123456},
    };
    for (Case& c : cases) {
        TvD3DSetConversionFormat(&c.format);
        EXPECT_EQ(TvD3DRGBAToPixel(c.r, c.g, c.b, c.a), c.pixel) << c.name;
    }

    // Raising keeps the larger level per channel width; 565 black then lands higher.
    DDPIXELFORMAT f565 = DDrawRgbFormat(16, 0, 5, 6, 5);
    TvD3DSetConversionFormat(&f565);
    TvD3DRaiseColourKeyThresholds(16, 4, 24);
    EXPECT_EQ(TvD3DGetColourKeyThresholds()->red[5], 16u);
    EXPECT_EQ(TvD3DGetColourKeyThresholds()->green[6], 8u);
    EXPECT_EQ(TvD3DGetColourKeyThresholds()->blue[5], 24u);
    EXPECT_EQ(TvD3DRGBAToPixel(0, 0, 0, 255), (2u << 11) | (2u << 5) | 3u);
    *TvD3DGetColourKeyThresholds() = saved;
}

TEST(D3DSurfaceTest, RasterFormatCodesOfTheOfferedFormats) {
    struct Case {
        DDPIXELFORMAT format;
        uint32_t code;
    } cases[] = {
        {DDrawRgbFormat(16, 0, 5, 6, 5), 0x200},
        {DDrawRgbFormat(16, 1, 5, 5, 5), 0x100},
        {DDrawRgbFormat(16, 4, 4, 4, 4), 0x300},
        {DDrawRgbFormat(32, 8, 8, 8, 8), 0x500},
        {DDrawRgbFormat(24, 0, 8, 8, 8), 0x600},
        {DDrawRgbFormat(16, 0, 5, 5, 5), 0x700},
        {DDrawRgbFormat(32, 0, 8, 8, 8), 0x900},
        {DDrawZFormat(16), 0x700},
        {DDrawZFormat(24), 0x800},
        {DDrawFourCCFormat(FOURCC_DXT1), FOURCC_DXT1},
        {DDrawFourCCFormat(FOURCC_DXT5), FOURCC_DXT5},
        {DDrawRgbFormat(12, 0, 4, 4, 4), 0},
    };
    for (Case& c : cases)
        EXPECT_EQ(TvD3DPixelFormatToRasterFormat(&c.format), c.code) << std::hex << c.code;

    // Every format the device offers maps to a code.
    IDirectDraw* first = nullptr;
    ASSERT_EQ(DirectDrawCreate(nullptr, &first, nullptr), DD_OK);
    IDirectDraw4* dd = nullptr;
    first->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&dd));
    first->Release();
    IDirect3D3* d3d = nullptr;
    dd->QueryInterface(IID_IDirect3D3, reinterpret_cast<void**>(&d3d));
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    d.dwFlags = DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT;
    d.dwWidth = d.dwHeight = 8;
    d.ddsCaps.dwCaps = 0x6040;
    IDirectDrawSurface4* target = nullptr;
    ASSERT_EQ(dd->CreateSurface(&d, &target, nullptr), DD_OK);
    IDirect3DDevice3* device = nullptr;
    ASSERT_EQ(d3d->CreateDevice(IID_IDirect3DHALDevice, target, &device, nullptr), DD_OK);
    std::vector<uint32_t> codes;
    device->EnumTextureFormats(
        [](DDPIXELFORMAT* f, void* ctx) -> HRESULT {
            static_cast<std::vector<uint32_t>*>(ctx)->push_back(TvD3DPixelFormatToRasterFormat(f));
            return D3DENUMRET_OK;
        },
        &codes);
    ASSERT_GE(codes.size(), 4u);
    EXPECT_EQ(std::vector<uint32_t>(codes.begin(), codes.begin() + 4),
              (std::vector<uint32_t>{0x200, 0x100, 0x300, 0x500}));
    for (size_t i = 4; i < codes.size(); ++i)
        EXPECT_EQ(codes[i], FOURCC_DXT1 + (static_cast<uint32_t>(i - 4) << 24));
    device->Release();
    target->Release();
    d3d->Release();
    dd->Release();
}

class D3DSurfaceHelpersTest : public ::testing::Test {
protected:
    void SetUp() override {
        IDirectDraw* first = nullptr;
        ASSERT_EQ(DirectDrawCreate(nullptr, &first, nullptr), DD_OK);
        first->QueryInterface(IID_IDirectDraw4, reinterpret_cast<void**>(&dd_));
        first->Release();
    }
    void TearDown() override { dd_->Release(); }
    IDirectDrawSurface4* Texture(DWORD w, DWORD h, DWORD mips) {
        DDSURFACEDESC2 d = {};
        d.dwSize = sizeof d;
        d.dwFlags = 0x1007 | (mips > 1 ? DDSD_MIPMAPCOUNT : 0);
        d.dwWidth = w;
        d.dwHeight = h;
        d.dwMipMapCount = mips;
        d.ddsCaps.dwCaps = DDSCAPS_TEXTURE | (mips > 1 ? 0x400008 : 0);
        d.ddpfPixelFormat = DDrawRgbFormat(16, 0, 5, 6, 5);
        IDirectDrawSurface4* s = nullptr;
        EXPECT_EQ(dd_->CreateSurface(&d, &s, nullptr), DD_OK);
        return s;
    }
    IDirectDraw4* dd_ = nullptr;
};

TEST_F(D3DSurfaceHelpersTest, LockUnlockAndMipWalk) {
    IDirectDrawSurface4* top = Texture(64, 32, 6);
    ASSERT_NE(top, nullptr);
    DDSURFACEDESC2 d;
    uint8_t* pixels = static_cast<uint8_t*>(TvD3DSurfaceLockWrite(top, &d));
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(d.dwWidth, 64u);
    pixels[0] = 0x5A;
    EXPECT_EQ(TvD3DSurfaceLock(top, &d), nullptr); // already locked
    EXPECT_TRUE(TvD3DSurfaceUnlock(top));
    EXPECT_FALSE(TvD3DSurfaceUnlock(top));
    pixels = static_cast<uint8_t*>(TvD3DSurfaceLockRead(top, &d));
    ASSERT_NE(pixels, nullptr);
    EXPECT_EQ(pixels[0], 0x5A);
    TvD3DSurfaceUnlock(top);

    // Levels of 64 x 32 down to 2 x 1, then the end; walking takes no references.
    std::vector<DWORD> widths;
    for (IDirectDrawSurface4* s = top; s; s = TvD3DSurfaceNextMipLevel(s)) {
        ASSERT_NE(TvD3DSurfaceLock(s, &d), nullptr);
        widths.push_back(d.dwWidth);
        TvD3DSurfaceUnlock(s);
    }
    EXPECT_EQ(widths, (std::vector<DWORD>{64, 32, 16, 8, 4, 2}));
    int live = DDrawLiveObjects();
    EXPECT_EQ(top->Release(), 0u);
    EXPECT_EQ(DDrawLiveObjects(), live - 6);

    TvErrorClearEarly();
    EXPECT_EQ(TvD3DSurfaceLockRead(nullptr, &d), nullptr);
    EXPECT_EQ(LastError().errorCode, E_TV_NULLP);
    EXPECT_FALSE(TvD3DSurfaceUnlock(nullptr));
}

TEST(D3DSurfaceTest, TextureChainAppendsRemovesAndClears) {
    TvD3DTextureChainClear();
    int a = 0, b = 0;
    auto* s1 = reinterpret_cast<IDirectDrawSurface4*>(0x10);
    auto* s2 = reinterpret_cast<IDirectDrawSurface4*>(0x20);
    auto* s3 = reinterpret_cast<IDirectDrawSurface4*>(0x30);
    TvD3DTextureChainAdd(s1, &a);
    TvD3DTextureChainAdd(s2, &b);
    TvD3DTextureChainAdd(s3, &a);
    auto surfaces = [] {
        std::vector<IDirectDrawSurface4*> v;
        for (const TvD3DTexChainElement* e = TvD3DTextureChainFirst(); e; e = e->next)
            v.push_back(e->surface);
        return v;
    };
    EXPECT_EQ(surfaces(), (std::vector<IDirectDrawSurface4*>{s1, s2, s3}));
    TvD3DTextureChainRemove(&a);
    EXPECT_EQ(surfaces(), (std::vector<IDirectDrawSurface4*>{s2}));
    TvD3DTextureChainRemove(&a);
    EXPECT_EQ(surfaces(), (std::vector<IDirectDrawSurface4*>{s2}));
    EXPECT_EQ(TvD3DTextureChainClear(), 1);
    EXPECT_EQ(TvD3DTextureChainFirst(), nullptr);
}

} // namespace
