// Drawing through the Direct3D stand-in, read back through Lock.
#include "tests/platform/ddraw_fixture.h"

namespace {

constexpr D3DCOLOR kRed = 0xFFFF0000, kGreen = 0xFF00FF00, kBlue = 0xFF0000FF;

TEST_F(DDrawTest, GouraudTriangleInFlipChainReachesTheFrontBufferOnFlip) {
    ASSERT_EQ(dd_->SetCooperativeLevel(nullptr, 0x813), DD_OK);
    ASSERT_EQ(dd_->SetDisplayMode(640, 480, 16, 0, 0), DD_OK);
    DDSURFACEDESC2 d = Describe(DDSD_CAPS | DDSD_BACKBUFFERCOUNT, 0x2218);
    d.dwBackBufferCount = 1;
    IDirectDrawSurface4* primary = nullptr;
    ASSERT_EQ(dd_->CreateSurface(&d, &primary, nullptr), DD_OK);
    Keep(primary);
    DDSCAPS2 caps = {DDSCAPS_BACKBUFFER, 0, 0, 0};
    ASSERT_EQ(primary->GetAttachedSurface(&caps, &color_), DD_OK);
    DDSURFACEDESC2 back = {};
    back.dwSize = sizeof back;
    ASSERT_EQ(color_->GetSurfaceDesc(&back), DD_OK);
    EXPECT_EQ(back.dwWidth, 640u);
    EXPECT_EQ(back.dwHeight, 480u);
    EXPECT_EQ(back.ddpfPixelFormat.dwRBitMask, 0xF800u);
    BindDevice();
    Clear();

    // Red, green and blue corners: the centre is a mix, each corner its own colour.
    D3DTLVERTEX v[3] = {Vertex(0, 0, 0.5f, kRed), Vertex(300, 0, 0.5f, kGreen),
                        Vertex(0, 300, 0.5f, kBlue)};
    ASSERT_EQ(device_->BeginScene(), DD_OK);
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, v, 3, 5), DD_OK);
    ASSERT_EQ(device_->EndScene(), DD_OK);
    EXPECT_TRUE(Near(At(2, 2), {255, 0, 0}, 16));
    EXPECT_TRUE(Near(At(296, 1), {0, 255, 0}, 16));
    EXPECT_TRUE(Near(At(1, 296), {0, 0, 255}, 16));
    EXPECT_TRUE(Near(At(100, 100), {85, 85, 85}, 16));
    EXPECT_TRUE(Near(At(400, 400), {0, 0, 0}, 0));

    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);
    EXPECT_EQ(primary->GetFlipStatus(DDGFS_ISFLIPDONE), DD_OK);
    EXPECT_TRUE(Near(From565(Pixel(primary, 2, 2)), {255, 0, 0}, 16));
    EXPECT_TRUE(Near(From565(Pixel(primary, 100, 100)), {85, 85, 85}, 16));

    // Flat shading takes the first vertex's colour across the triangle.
    device_->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
    ASSERT_EQ(device_->BeginScene(), DD_OK);
    ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, D3DFVF_TLVERTEX, v, 3, 5), DD_OK);
    ASSERT_EQ(device_->EndScene(), DD_OK);
    EXPECT_TRUE(Near(At(100, 100), {255, 0, 0}, 0));
    EXPECT_TRUE(Near(At(1, 296), {255, 0, 0}, 0));
}

TEST_F(DDrawTest, PrimitiveTypesCoverTheirPixels) {
    MakeTarget(32, 32);
    struct Case {
        D3DPRIMITIVETYPE type;
        std::vector<D3DTLVERTEX> vertices;
        int x, y;
    } cases[] = {
        {D3DPT_TRIANGLESTRIP,
         {Vertex(0, 0, 0, kRed), Vertex(16, 0, 0, kRed), Vertex(0, 16, 0, kRed),
          Vertex(16, 16, 0, kRed)},
         12,
         12},
        {D3DPT_TRIANGLEFAN,
         {Vertex(0, 0, 0, kRed), Vertex(16, 0, 0, kRed), Vertex(16, 16, 0, kRed),
          Vertex(0, 16, 0, kRed)},
         3,
         12},
        {D3DPT_LINELIST, {Vertex(0, 5, 0, kRed), Vertex(20, 5, 0, kRed)}, 10, 5},
        {D3DPT_LINESTRIP,
         {Vertex(0, 5, 0, kRed), Vertex(20, 5, 0, kRed), Vertex(20, 25, 0, kRed)},
         20,
         15},
    };
    for (Case& c : cases) {
        Clear();
        device_->BeginScene();
        EXPECT_EQ(device_->DrawPrimitive(c.type, D3DFVF_TLVERTEX, c.vertices.data(),
                                         static_cast<DWORD>(c.vertices.size()), 5),
                  DD_OK);
        device_->EndScene();
        EXPECT_TRUE(Near(At(c.x, c.y), {255, 0, 0})) << "type " << c.type;
        EXPECT_TRUE(Near(At(30, 30), {0, 0, 0}, 0)) << "type " << c.type;
    }
}

TEST_F(DDrawTest, ZTestKeepsTheNearerAndZWriteOffLeavesDepthAlone) {
    MakeTarget(16, 16);
    device_->SetRenderState(D3DRENDERSTATE_ZENABLE, 1);
    device_->SetRenderState(D3DRENDERSTATE_ZFUNC, D3DCMP_LESSEQUAL);
    Clear();
    Quad(0, 0, 16, 16, 0.5f, kRed);
    Quad(0, 0, 16, 16, 0.7f, kBlue); // behind: hidden
    EXPECT_TRUE(Near(At(8, 8), {255, 0, 0}));
    Quad(0, 0, 16, 16, 0.5f, kGreen); // equal depth passes LESSEQUAL
    EXPECT_TRUE(Near(At(8, 8), {0, 255, 0}));

    device_->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, 0);
    Quad(0, 0, 16, 16, 0.2f, kRed); // drawn, but depth stays 0.5
    device_->SetRenderState(D3DRENDERSTATE_ZWRITEENABLE, 1);
    Quad(0, 0, 16, 16, 0.4f, kBlue);
    EXPECT_TRUE(Near(At(8, 8), {0, 0, 255}));

    device_->SetRenderState(D3DRENDERSTATE_ZENABLE, 0);
    Quad(0, 0, 16, 16, 0.9f, kGreen);
    EXPECT_TRUE(Near(At(8, 8), {0, 255, 0}));

    // The depth written is readable through a z-buffer lock (16-bit: 0.4 of 0xFFFF).
    EXPECT_NEAR(static_cast<double>(Pixel(z_, 8, 8)), 0.4 * 0xFFFF, 2.0);
}

TEST_F(DDrawTest, ViewportClearUsesTheBackgroundMaterial) {
    MakeTarget(16, 16);
    Clear();
    IDirect3DMaterial3* material = nullptr;
    ASSERT_EQ(d3d_->CreateMaterial(&material, nullptr), DD_OK);
    Keep(material);
    D3DMATERIAL m = {};
    m.dwSize = sizeof m;
    m.diffuse = {1.0f, 128 / 255.0f, 0.0f, 0.0f};
    m.dwRampSize = 1;
    ASSERT_EQ(material->SetMaterial(&m), DD_OK);
    D3DMATERIALHANDLE handle = 0;
    ASSERT_EQ(material->GetHandle(device_, &handle), DD_OK);
    ASSERT_EQ(viewport_->SetBackground(handle), DD_OK);
    device_->SetRenderState(D3DRENDERSTATE_ZENABLE, 1);
    Quad(0, 0, 16, 16, 0.1f, kBlue);
    D3DRECT r = {0, 0, 8, 16};
    ASSERT_EQ(viewport_->Clear(1, &r, D3DCLEAR_TARGET | D3DCLEAR_ZBUFFER), DD_OK);
    EXPECT_TRUE(Near(At(4, 8), {255, 128, 0}));
    EXPECT_TRUE(Near(At(12, 8), {0, 0, 255}));
    Quad(0, 0, 16, 16, 0.5f, kGreen); // passes only where z was cleared
    EXPECT_TRUE(Near(At(4, 8), {0, 255, 0}));
    EXPECT_TRUE(Near(At(12, 8), {0, 0, 255}));
    EXPECT_EQ(viewport_->SetBackground(0xFFFFFF), DDERR_INVALIDPARAMS);
}

TEST_F(DDrawTest, EachTextureFormatUploadsAndSamples) {
    MakeTarget(8, 8, false);
    struct Case {
        const char* name;
        DDPIXELFORMAT format;
        uint32_t texel;
        Rgb want;
    } cases[] = {
        {"565", Format565(), 0xF800 | (32 << 5), {255, 130, 0}},
        {"1555", Format1555(), 0x8000 | (31 << 5) | 16, {0, 255, 132}},
        {"4444", Format4444(), 0xF0F8, {0, 255, 136}},
        {"8888", Format8888(), 0xFF204080, {32, 64, 128}},
    };
    for (Case& c : cases) {
        IDirectDrawSurface4* t = Texture(c.format, 4, 4, [&](DWORD, DWORD) { return c.texel; });
        ASSERT_NE(t, nullptr) << c.name;
        UseTexture(t);
        Clear();
        Quad(0, 0, 8, 8, 0, 0xFFFFFFFF);
        EXPECT_TRUE(Near(At(4, 4), c.want)) << c.name;
    }
}

TEST_F(DDrawTest, ColourKeyZeroOn565AndAlphaTestOn4444DropTexels) {
    MakeTarget(8, 8, false);
    Clear(0x001F); // blue background
    // Left half key colour 0, right half white.
    auto halves = [](uint32_t left, uint32_t right) {
        return [=](DWORD x, DWORD) { return x < 2 ? left : right; };
    };
    IDirectDrawSurface4* keyed = Texture(Format565(), 4, 4, halves(0, 0xFFFF), true);
    UseTexture(keyed);
    device_->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1);
    Quad(0, 0, 8, 8, 0, 0xFFFFFFFF);
    EXPECT_TRUE(Near(At(1, 4), {0, 0, 255}));
    EXPECT_TRUE(Near(At(6, 4), {255, 255, 255}));
    // Colour keying off: the key texel is drawn black.
    device_->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 0);
    Quad(0, 0, 8, 8, 0, 0xFFFFFFFF);
    EXPECT_TRUE(Near(At(1, 4), {0, 0, 0}));

    Clear(0x001F);
    IDirectDrawSurface4* alpha = Texture(Format4444(), 4, 4, halves(0x0FFF, 0xFFFF));
    UseTexture(alpha);
    device_->SetRenderState(D3DRENDERSTATE_ALPHATESTENABLE, 1);
    device_->SetRenderState(D3DRENDERSTATE_ALPHAFUNC, D3DCMP_GREATER);
    device_->SetRenderState(D3DRENDERSTATE_ALPHAREF, 0);
    Quad(0, 0, 8, 8, 0, 0xFFFFFFFF);
    EXPECT_TRUE(Near(At(1, 4), {0, 0, 255}));
    EXPECT_TRUE(Near(At(6, 4), {255, 255, 255}));
}

TEST_F(DDrawTest, BlendModesMixWithTheFrameBuffer) {
    MakeTarget(8, 8, false);
    struct Case {
        DWORD src, dest;
        Rgb want;
    } cases[] = {
        {D3DBLEND_SRCALPHA, D3DBLEND_INVSRCALPHA, {64, 0, 191}}, // 25 % red over blue
        {D3DBLEND_SRCALPHA, D3DBLEND_ONE, {64, 0, 255}},         // additive
    };
    for (Case& c : cases) {
        Clear(0x001F);
        device_->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
        device_->SetRenderState(D3DRENDERSTATE_SRCBLEND, c.src);
        device_->SetRenderState(D3DRENDERSTATE_DESTBLEND, c.dest);
        Quad(0, 0, 8, 8, 0, 0x40FF0000);
        EXPECT_TRUE(Near(At(4, 4), c.want)) << c.src << "/" << c.dest;
    }
}

// A 565 target has no alpha: its destination alpha reads as 1 whatever the clear colour's or
// an earlier draw's alpha was.
TEST_F(DDrawTest, DestinationAlphaOfATargetWithoutAlphaIsOne) {
    MakeTarget(8, 8, false);
    IDirect3DMaterial3* material = nullptr;
    ASSERT_EQ(d3d_->CreateMaterial(&material, nullptr), DD_OK);
    Keep(material);
    D3DMATERIAL m = {};
    m.dwSize = sizeof m;
    m.diffuse = {0.0f, 0.0f, 1.0f, 0.0f}; // blue, alpha 0 as the driver's background
    m.dwRampSize = 1;
    ASSERT_EQ(material->SetMaterial(&m), DD_OK);
    D3DMATERIALHANDLE handle = 0;
    ASSERT_EQ(material->GetHandle(device_, &handle), DD_OK);
    ASSERT_EQ(viewport_->SetBackground(handle), DD_OK);
    struct Case {
        DWORD src, dest;
        Rgb want;
    } cases[] = {
        {D3DBLEND_DESTALPHA, D3DBLEND_ZERO, {255, 0, 0}},
        {D3DBLEND_INVDESTALPHA, D3DBLEND_ONE, {0, 0, 255}},
        {D3DBLEND_SRCALPHASAT, D3DBLEND_ONE, {0, 0, 255}},
        {D3DBLEND_ZERO, D3DBLEND_DESTALPHA, {0, 0, 255}},
    };
    for (Case& c : cases) {
        D3DRECT r = {0, 0, 8, 8};
        ASSERT_EQ(viewport_->Clear(1, &r, D3DCLEAR_TARGET), DD_OK);
        device_->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
        // A translucent draw first: its alpha must not reach the target either.
        device_->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ZERO);
        device_->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
        Quad(0, 0, 8, 8, 0, 0x20FF0000);
        device_->SetRenderState(D3DRENDERSTATE_SRCBLEND, c.src);
        device_->SetRenderState(D3DRENDERSTATE_DESTBLEND, c.dest);
        Quad(0, 0, 8, 8, 0, 0x40FF0000);
        EXPECT_TRUE(Near(At(4, 4), c.want)) << c.src << "/" << c.dest;
    }
}

TEST_F(DDrawTest, VertexFogMixesTowardsTheFogColourBySpecularAlpha) {
    MakeTarget(8, 8, false);
    Clear();
    device_->SetRenderState(D3DRENDERSTATE_FOGCOLOR, 0x000000FF);
    device_->SetRenderState(D3DRENDERSTATE_FOGENABLE, 1);
    Quad(0, 0, 8, 8, 0, kRed, 0x40000000); // fog factor 64/255: mostly fog
    EXPECT_TRUE(Near(At(4, 4), {64, 0, 191}));
    Quad(0, 0, 8, 8, 0, kRed, 0xFF000000); // no fog
    EXPECT_TRUE(Near(At(4, 4), {255, 0, 0}));
    device_->SetRenderState(D3DRENDERSTATE_FOGENABLE, 0);
    Quad(0, 0, 8, 8, 0, kRed, 0x00000000);
    EXPECT_TRUE(Near(At(4, 4), {255, 0, 0}));
}

TEST_F(DDrawTest, AddressModesOutsideTheUnitSquare) {
    MakeTarget(16, 4, false);
    // Texels red, green, blue, white; u runs -1..1 across the 16 pixels, so pixels 1 and 3
    // sample u = -0.875 and -0.625.
    const uint32_t texels[4] = {0xF800, 0x07E0, 0x001F, 0xFFFF};
    IDirectDrawSurface4* t = Texture(Format565(), 4, 1, [&](DWORD x, DWORD) { return texels[x]; });
    UseTexture(t);
    device_->SetTextureStageState(0, D3DTSS_BORDERCOLOR, 0xFF808080);
    struct Case {
        DWORD mode;
        Rgb at1, at3;
    } cases[] = {
        {D3DTADDRESS_WRAP, {255, 0, 0}, {0, 255, 0}},
        {D3DTADDRESS_MIRROR, {255, 255, 255}, {0, 0, 255}},
        {D3DTADDRESS_CLAMP, {255, 0, 0}, {255, 0, 0}},
        {D3DTADDRESS_BORDER, {128, 128, 128}, {128, 128, 128}},
    };
    for (Case& c : cases) {
        device_->SetTextureStageState(0, D3DTSS_ADDRESS, c.mode);
        Clear();
        Quad(0, 0, 16, 4, 0, 0xFFFFFFFF, 0xFF000000, -1, 0, 1, 1);
        EXPECT_TRUE(Near(At(1, 2), c.at1)) << "mode " << c.mode;
        EXPECT_TRUE(Near(At(3, 2), c.at3)) << "mode " << c.mode;
        EXPECT_TRUE(Near(At(9, 2), {255, 0, 0})) << "mode " << c.mode; // inside: u = 0.125
    }
}

TEST_F(DDrawTest, TexturesArePerspectiveCorrectUnlessTurnedOff) {
    MakeTarget(40, 4, false);
    IDirectDrawSurface4* t =
        Texture(Format565(), 2, 1, [](DWORD x, DWORD) { return x ? 0x07E0u : 0xF800u; });
    UseTexture(t);
    // rhw 1 on the left, 0.25 on the right: u reaches 0.5 at 80 % of the width, not 50 %.
    D3DTLVERTEX v[4] = {{0, 0, 0, 1.0f, 0xFFFFFFFF, 0xFF000000, 0, 0},
                        {40, 0, 0, 0.25f, 0xFFFFFFFF, 0xFF000000, 1, 0},
                        {40, 4, 0, 0.25f, 0xFFFFFFFF, 0xFF000000, 1, 1},
                        {0, 4, 0, 1.0f, 0xFFFFFFFF, 0xFF000000, 0, 1}};
    for (DWORD perspective : {1u, 0u}) {
        device_->SetRenderState(D3DRENDERSTATE_TEXTUREPERSPECTIVE, perspective);
        Clear();
        device_->BeginScene();
        ASSERT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLEFAN, D3DFVF_TLVERTEX, v, 4, 5), DD_OK);
        device_->EndScene();
        Rgb want = perspective ? Rgb{255, 0, 0} : Rgb{0, 255, 0};
        EXPECT_TRUE(Near(At(26, 2), want)) << "perspective " << perspective;
        EXPECT_TRUE(Near(At(36, 2), {0, 255, 0})) << "perspective " << perspective;
    }
}

TEST_F(DDrawTest, MipLevelsAreReachedAndSampled) {
    MakeTarget(8, 2, false);
    DDSURFACEDESC2 d = Describe(0x1007 | DDSD_MIPMAPCOUNT, DDSCAPS_TEXTURE | 0x400008, 64, 16);
    d.ddpfPixelFormat = Format565();
    d.dwMipMapCount = 5; // floor(log2(16)) + 1
    IDirectDrawSurface4* top = nullptr;
    ASSERT_EQ(dd_->CreateSurface(&d, &top, nullptr), DD_OK);
    Keep(top);
    const uint32_t colours[5] = {0xF800, 0x07E0, 0x001F, 0xFFFF, 0xF81F};
    const DWORD sizes[5][2] = {{64, 16}, {32, 8}, {16, 4}, {8, 2}, {4, 1}};
    IDirectDrawSurface4* level = top;
    level->AddRef();
    for (int k = 0; k < 5; ++k) {
        ASSERT_NE(level, nullptr) << "level " << k;
        DDSURFACEDESC2 l = {};
        l.dwSize = sizeof l;
        ASSERT_EQ(level->Lock(nullptr, &l, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), DD_OK);
        EXPECT_EQ(l.dwWidth, sizes[k][0]);
        EXPECT_EQ(l.dwHeight, sizes[k][1]);
        for (DWORD y = 0; y < l.dwHeight; ++y)
            for (DWORD x = 0; x < l.dwWidth; ++x)
                reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(l.lpSurface) + y * l.lPitch)[x] =
                    static_cast<uint16_t>(colours[k]);
        level->Unlock(nullptr);
        DDSCAPS2 caps = {0x401008, 0, 0, 0};
        IDirectDrawSurface4* next = nullptr;
        HRESULT r = level->GetAttachedSurface(&caps, &next);
        EXPECT_EQ(r == DD_OK, k < 4) << "level " << k;
        level->Release();
        level = next;
    }
    EXPECT_EQ(level, nullptr);

    // The whole 64 x 16 texture on 8 x 2 pixels: point mip filtering picks level 3.
    UseTexture(top);
    device_->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTFP_POINT);
    Clear();
    Quad(0, 0, 8, 2, 0, 0xFFFFFFFF);
    EXPECT_TRUE(Near(At(4, 1), {255, 255, 255}));
    device_->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTFP_NONE);
    Quad(0, 0, 8, 2, 0, 0xFFFFFFFF);
    EXPECT_TRUE(Near(At(4, 1), {255, 0, 0}));
}

// One DXT1 block: colour 0 red, colour 1 blue, texels in rows of indices 0, 1, 2 and 3.
const uint8_t kDxt1Block[8] = {0x00, 0xF8, 0x1F, 0x00, 0x00, 0x55, 0xAA, 0xFF};

TEST_F(DDrawTest, Dxt1UploadsWhenOfferedAndDecompressesThroughBlt) {
    MakeTarget(8, 8, false);
    DDSURFACEDESC2 d = Describe(0x1007, DDSCAPS_TEXTURE, 4, 4);
    d.ddpfPixelFormat = DDrawFourCCFormat(FOURCC_DXT1);
    IDirectDrawSurface4* dxt = nullptr;
    ASSERT_EQ(dd_->CreateSurface(&d, &dxt, nullptr), DD_OK);
    Keep(dxt);
    DDSURFACEDESC2 l = {};
    l.dwSize = sizeof l;
    ASSERT_EQ(dxt->Lock(nullptr, &l, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), DD_OK);
    EXPECT_TRUE(l.dwFlags & DDSD_LINEARSIZE);
    ASSERT_EQ(l.dwLinearSize, 8u);
    memcpy(l.lpSurface, kDxt1Block, 8);
    dxt->Unlock(nullptr);

    const Rgb rows[4] = {{255, 0, 0}, {0, 0, 255}, {170, 0, 85}, {85, 0, 170}};
    // Decompressing copy into a 565 surface.
    DDSURFACEDESC2 p = Describe(0x1007, DDSCAPS_SYSTEMMEMORY, 4, 4);
    p.ddpfPixelFormat = Format565();
    IDirectDrawSurface4* plain = nullptr;
    ASSERT_EQ(dd_->CreateSurface(&p, &plain, nullptr), DD_OK);
    Keep(plain);
    ASSERT_EQ(plain->Blt(nullptr, dxt, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    for (int y = 0; y < 4; ++y)
        EXPECT_TRUE(Near(From565(Pixel(plain, 1, y)), rows[y])) << "row " << y;

    bool offered = false;
    device_->EnumTextureFormats(
        [](DDPIXELFORMAT* f, void* ctx) -> HRESULT {
            if ((f->dwFlags & DDPF_FOURCC) && f->dwFourCC == FOURCC_DXT1)
                *static_cast<bool*>(ctx) = true;
            return D3DENUMRET_OK;
        },
        &offered);
    if (!offered) GTEST_SKIP() << "no S3TC in this OpenGL";
    UseTexture(dxt);
    Clear();
    Quad(0, 0, 8, 8, 0, 0xFFFFFFFF); // pixel 2k + 1 samples the middle of texel k
    for (int y = 0; y < 4; ++y)
        EXPECT_TRUE(Near(At(1, 2 * y + 1), rows[y], 16)) << "row " << y;
}

// The colour-key probe the driver runs at device start: a 32 x 32 keyed texture filled with
// one channel at a level, drawn over white; pixel (2, 50) tells whether the texel was keyed.
TEST_F(DDrawTest, ColourKeyProbeGivesAStableAnswer) {
    MakeTarget(100, 100, false);
    const DDPIXELFORMAT fmt = Format565();
    DDSURFACEDESC2 d = Describe(0x11007, DDSCAPS_TEXTURE, 32, 32);
    d.ddsCaps.dwCaps2 = DDSCAPS2_TEXTUREMANAGE;
    d.ddpfPixelFormat = fmt;
    IDirectDrawSurface4* surface = nullptr;
    ASSERT_EQ(dd_->CreateSurface(&d, &surface, nullptr), DD_OK);
    Keep(surface);
    IDirect3DTexture2* texture = nullptr;
    ASSERT_EQ(surface->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&texture)),
              DD_OK);
    Keep(texture);

    auto drawn = [&](DWORD fill) {
        DDBLTFX fx = {};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = fill;
        EXPECT_EQ(surface->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx),
                  DD_OK);
        RECT r = {0, 0, 100, 100};
        fx.dwFillColor = fmt.dwRBitMask | fmt.dwGBitMask | fmt.dwBBitMask;
        EXPECT_EQ(color_->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
        EXPECT_EQ(device_->BeginScene(), DD_OK);
        device_->SetTexture(0, texture);
        device_->SetTextureStageState(0, D3DTSS_COLOROP, D3DTOP_SELECTARG1);
        device_->SetTextureStageState(0, D3DTSS_COLORARG1, D3DTA_TEXTURE);
        device_->SetTextureStageState(0, D3DTSS_ALPHAOP, D3DTOP_SELECTARG1);
        device_->SetTextureStageState(0, D3DTSS_ALPHAARG1, D3DTA_TEXTURE);
        device_->SetTextureStageState(0, D3DTSS_MAGFILTER, D3DTFG_POINT);
        device_->SetTextureStageState(0, D3DTSS_MINFILTER, D3DTFN_POINT);
        device_->SetTextureStageState(0, D3DTSS_MIPFILTER, D3DTFP_POINT);
        device_->SetRenderState(D3DRENDERSTATE_ZENABLE, 0);
        device_->SetRenderState(D3DRENDERSTATE_SHADEMODE, D3DSHADE_FLAT);
        device_->SetRenderState(D3DRENDERSTATE_FOGENABLE, 0);
        device_->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 0);
        device_->SetRenderState(D3DRENDERSTATE_COLORKEYENABLE, 1);
        D3DTLVERTEX v[3] = {Vertex(0, 0, 0, 0xFFFFFFFF, 0, 0, 0xFFFFFFFF),
                            Vertex(100, 0, 0, 0xFFFFFFFF, 1, 0, 0xFFFFFFFF),
                            Vertex(0, 100, 0, 0xFFFFFFFF, 0, 1, 0xFFFFFFFF)};
        EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0x1C4, v, 3, 5), DD_OK);
        EXPECT_EQ(device_->EndScene(), DD_OK);
        uint32_t p = Pixel(color_, 2, 50);
        return !((p & fmt.dwRBitMask) && (p & fmt.dwGBitMask) && (p & fmt.dwBBitMask));
    };
    EXPECT_FALSE(drawn(0)) << "the key colour must show the white behind";
    for (int round = 0; round < 2; ++round) {
        EXPECT_TRUE(drawn(1u << 11)) << "red level 1";
        EXPECT_TRUE(drawn(1u << 5)) << "green level 1";
        EXPECT_TRUE(drawn(1u)) << "blue level 1";
    }
}

// The game's window may go before the driver lets go of its surfaces (the window closes,
// then the engine stops): drawing and releasing must still work without it.
TEST_F(DDrawTest, DrawingGoesOnAfterTheWindowIsDestroyed) {
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "DDrawTestWindow";
    RegisterClassA(&wc);
    HWND window = CreateWindowExA(0, "DDrawTestWindow", "test", WS_POPUP, 0, 0, 32, 32, nullptr,
                                  nullptr, nullptr, nullptr);
    ASSERT_NE(window, nullptr);
    ASSERT_EQ(dd_->SetCooperativeLevel(window, DDSCL_NORMAL | DDSCL_FPUSETUP), DD_OK);
    MakeTarget(8, 8);
    Clear();
    Quad(0, 0, 8, 8, 0.5f, kRed);
    EXPECT_TRUE(Near(At(4, 4), {255, 0, 0}));
    DestroyWindow(window);
    UnregisterClassA("DDrawTestWindow", nullptr);
    Clear();
    Quad(0, 0, 8, 8, 0.5f, kGreen);
    EXPECT_TRUE(Near(At(4, 4), {0, 255, 0}));
}

TEST_F(DDrawTest, DrawCallsRejectBadInputAndDrawNothing) {
    MakeTarget(8, 8, false);
    Clear();
    D3DTLVERTEX v[3] = {Vertex(0, 0, 0, kRed), Vertex(8, 0, 0, kRed), Vertex(0, 8, 0, kRed)};
    WORD outOfRange[3] = {0, 1, 3};
    device_->BeginScene();
    EXPECT_EQ(device_->DrawIndexedPrimitive(D3DPT_TRIANGLELIST, 0x1C4, v, 3, outOfRange, 3, 5),
              DDERR_INVALIDPARAMS);
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0x144, v, 3, 5), D3DERR_INVALIDVERTEXTYPE);
    EXPECT_EQ(device_->DrawPrimitive(static_cast<D3DPRIMITIVETYPE>(9), 0x1C4, v, 3, 5),
              D3DERR_INVALIDPRIMITIVETYPE);
    EXPECT_EQ(device_->BeginScene(), D3DERR_SCENE_IN_SCENE);
    device_->EndScene();
    EXPECT_EQ(device_->DrawPrimitive(D3DPT_TRIANGLELIST, 0x1C4, v, 3, 5),
              D3DERR_SCENE_NOT_IN_SCENE);
    EXPECT_TRUE(Near(At(1, 1), {0, 0, 0}, 0));
}

} // namespace
