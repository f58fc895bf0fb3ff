// Surfaces, Blt, enumeration and reference counts of the DirectDraw stand-in.
#include "tests/platform/ddraw_fixture.h"

namespace {

class DDrawSurfaceTest : public DDrawTest {
protected:
    IDirectDrawSurface4* Plain(DWORD w, DWORD h, const DDPIXELFORMAT& f, bool keyed = false) {
        DDSURFACEDESC2 d =
            Describe(0x1007 | (keyed ? DDSD_CKSRCBLT : 0), DDSCAPS_SYSTEMMEMORY, w, h);
        d.ddpfPixelFormat = f;
        IDirectDrawSurface4* s = nullptr;
        EXPECT_EQ(dd_->CreateSurface(&d, &s, nullptr), DD_OK);
        return s ? Keep(s) : nullptr;
    }
    static HRESULT Fill(IDirectDrawSurface4* s, RECT* r, DWORD value) {
        DDBLTFX fx = {};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = value;
        return s->Blt(r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx);
    }
};

TEST_F(DDrawSurfaceTest, FillsAndCopiesPlainKeyedAndStretched) {
    IDirectDrawSurface4* src = Plain(4, 4, Format565(), true);
    IDirectDrawSurface4* dst = Plain(8, 8, Format565());
    ASSERT_EQ(Fill(dst, nullptr, 0x1234), DD_OK);
    RECT inner = {1, 1, 3, 3};
    ASSERT_EQ(Fill(src, nullptr, 0), DD_OK);
    ASSERT_EQ(Fill(src, &inner, 0xF800), DD_OK);
    EXPECT_EQ(Pixel(src, 0, 0), 0u);
    EXPECT_EQ(Pixel(src, 2, 2), 0xF800u);

    // Keyed copy: key 0 pixels leave the destination as it was.
    RECT at = {2, 2, 6, 6};
    ASSERT_EQ(dst->Blt(&at, src, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
    EXPECT_EQ(Pixel(dst, 2, 2), 0x1234u);
    EXPECT_EQ(Pixel(dst, 3, 3), 0xF800u);
    EXPECT_EQ(Pixel(dst, 6, 6), 0x1234u);

    // Plain copy takes the key pixels too.
    ASSERT_EQ(dst->Blt(&at, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Pixel(dst, 2, 2), 0u);

    // Stretch 2 x 2 source pixels to the whole 8 x 8: each becomes a 4 x 4 block.
    RECT quarter = {1, 1, 3, 3};
    ASSERT_EQ(Fill(src, &quarter, 0x07E0), DD_OK);
    RECT one = {1, 1, 2, 2};
    ASSERT_EQ(Fill(src, &one, 0x001F), DD_OK);
    ASSERT_EQ(dst->Blt(nullptr, src, &quarter, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Pixel(dst, 0, 0), 0x001Fu);
    EXPECT_EQ(Pixel(dst, 3, 3), 0x001Fu);
    EXPECT_EQ(Pixel(dst, 4, 0), 0x07E0u);
    EXPECT_EQ(Pixel(dst, 7, 7), 0x07E0u);

    // A key copy from a surface without a key, rectangles outside, a null fill: refused.
    IDirectDrawSurface4* unkeyed = Plain(4, 4, Format565());
    EXPECT_EQ(dst->Blt(nullptr, unkeyed, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr),
              DDERR_NOCOLORKEY);
    RECT outside = {6, 6, 9, 9};
    EXPECT_EQ(Fill(dst, &outside, 0), DDERR_INVALIDRECT);
    RECT empty = {3, 3, 3, 5};
    EXPECT_EQ(dst->Blt(&empty, src, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);
    EXPECT_EQ(dst->Blt(nullptr, nullptr, nullptr, DDBLT_COLORFILL, nullptr), DDERR_INVALIDPARAMS);
}

TEST_F(DDrawSurfaceTest, WholeSurfaceCopyConvertsFormats) {
    struct Case {
        DDPIXELFORMAT from, to;
        uint32_t in, out;
    } cases[] = {
        {Format565(), Format8888(), 0xF81F, 0xFFFF00FF}, // 565 is opaque
        {Format8888(), Format565(), 0x80FF8000, 0xFC00},
        {Format8888(), Format4444(), 0x80FF8000, 0x8F80},
        {Format1555(), Format565(), 0x83E0, 0x07E0},
    };
    for (Case& c : cases) {
        IDirectDrawSurface4* a = Plain(2, 2, c.from);
        IDirectDrawSurface4* b = Plain(2, 2, c.to);
        ASSERT_EQ(Fill(a, nullptr, c.in), DD_OK);
        ASSERT_EQ(b->Blt(nullptr, a, nullptr, DDBLT_WAIT, nullptr), DD_OK);
        EXPECT_EQ(Pixel(b, 1, 1), c.out) << std::hex << c.in;
    }
}

TEST_F(DDrawSurfaceTest, DxtBlocksDecodeWithAlphaAndPartialBlocks) {
    // White colour blocks (both end points 0xFFFF, indices 0) under each alpha form.
    const uint8_t white[8] = {0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0};
    std::vector<uint8_t> dxt3 = {0xFF, 0xFF, 0x88, 0x88, 0, 0, 0, 0}; // rows F, 8, 0, 0
    std::vector<uint8_t> dxt5 = {255, 0};                             // row 0 index 0, then 1
    uint64_t bits = 0;
    for (int i = 4; i < 16; ++i)
        bits |= uint64_t{1} << (3 * i);
    for (int i = 0; i < 6; ++i)
        dxt5.push_back(static_cast<uint8_t>(bits >> (8 * i)));
    dxt3.insert(dxt3.end(), white, white + 8);
    dxt5.insert(dxt5.end(), white, white + 8);
    // DXT1 of 5 x 3: two blocks, red then blue; the second is cut to 1 x 3.
    std::vector<uint8_t> dxt1 = {0x00, 0xF8, 0x00, 0xF8, 0, 0, 0, 0,
                                 0x1F, 0x00, 0x1F, 0x00, 0, 0, 0, 0};
    struct Case {
        DWORD fourCC, width, height;
        std::vector<uint8_t> blocks;
        DDPIXELFORMAT to;
        uint32_t rows[3]; // pixel (2, y) by row; for DXT1 pixels (3, 2) and (4, 2)
    } cases[] = {
        {FOURCC_DXT3, 4, 4, dxt3, Format4444(), {0xFFFF, 0x8FFF, 0x0FFF}},
        {FOURCC_DXT5, 4, 4, dxt5, Format4444(), {0xFFFF, 0x0FFF, 0x0FFF}},
        {FOURCC_DXT1, 5, 3, dxt1, Format565(), {0xF800, 0x001F, 0}},
    };
    for (Case& c : cases) {
        DDSURFACEDESC2 d = Describe(0x1007, DDSCAPS_TEXTURE, c.width, c.height);
        d.ddpfPixelFormat = DDrawFourCCFormat(c.fourCC);
        IDirectDrawSurface4* dxt = nullptr;
        ASSERT_EQ(dd_->CreateSurface(&d, &dxt, nullptr), DD_OK);
        Keep(dxt);
        DDSURFACEDESC2 l = {};
        l.dwSize = sizeof l;
        ASSERT_EQ(dxt->Lock(nullptr, &l, DDLOCK_WAIT | DDLOCK_WRITEONLY, nullptr), DD_OK);
        ASSERT_EQ(l.dwLinearSize, c.blocks.size());
        memcpy(l.lpSurface, c.blocks.data(), c.blocks.size());
        dxt->Unlock(nullptr);
        IDirectDrawSurface4* out = Plain(c.width, c.height, c.to);
        ASSERT_EQ(out->Blt(nullptr, dxt, nullptr, DDBLT_WAIT, nullptr), DD_OK);
        if (c.fourCC == FOURCC_DXT1) {
            EXPECT_EQ(Pixel(out, 3, 2), c.rows[0]);
            EXPECT_EQ(Pixel(out, 4, 2), c.rows[1]);
        } else {
            for (int y = 0; y < 3; ++y)
                EXPECT_EQ(Pixel(out, 2, y), c.rows[y]) << std::hex << c.fourCC << " row " << y;
        }
        // A compressed surface takes only a whole copy of its own format.
        EXPECT_EQ(dxt->Blt(nullptr, out, nullptr, DDBLT_WAIT, nullptr), DDERR_UNSUPPORTED);
    }
}

TEST_F(DDrawSurfaceTest, RenderTargetFillsAndLockWritesReachOpenGl) {
    MakeTarget(8, 8, false);
    RECT left = {0, 0, 4, 8};
    ASSERT_EQ(Fill(color_, nullptr, 0x001F), DD_OK);
    ASSERT_EQ(Fill(color_, &left, 0xF800), DD_OK);
    EXPECT_EQ(Pixel(color_, 1, 1), 0xF800u);
    EXPECT_EQ(Pixel(color_, 6, 1), 0x001Fu);

    // Pixels written through a lock are what later drawing blends with.
    DDSURFACEDESC2 d = {};
    d.dwSize = sizeof d;
    ASSERT_EQ(color_->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DD_OK);
    EXPECT_EQ(color_->Lock(nullptr, &d, DDLOCK_WAIT, nullptr), DDERR_SURFACEBUSY);
    reinterpret_cast<uint16_t*>(static_cast<uint8_t*>(d.lpSurface) + 4 * d.lPitch)[6] = 0x07E0;
    ASSERT_EQ(color_->Unlock(nullptr), DD_OK);
    EXPECT_EQ(color_->Unlock(nullptr), DDERR_NOTLOCKED);
    device_->SetRenderState(D3DRENDERSTATE_ALPHABLENDENABLE, 1);
    device_->SetRenderState(D3DRENDERSTATE_SRCBLEND, D3DBLEND_ONE);
    device_->SetRenderState(D3DRENDERSTATE_DESTBLEND, D3DBLEND_ONE);
    Quad(0, 0, 8, 8, 0, 0xFFFF0000);
    EXPECT_EQ(Pixel(color_, 6, 4), 0xFFE0u);
    EXPECT_EQ(Pixel(color_, 6, 1), 0xF81Fu);

    // Copies between render targets, stretched: a 2 x 2 target onto the right half.
    DDSURFACEDESC2 t = Describe(DDSD_CAPS | DDSD_WIDTH | DDSD_HEIGHT, 0x6040, 2, 2);
    IDirectDrawSurface4* small = nullptr;
    ASSERT_EQ(dd_->CreateSurface(&t, &small, nullptr), DD_OK);
    Keep(small);
    RECT top = {0, 0, 2, 1};
    ASSERT_EQ(Fill(small, nullptr, 0x001F), DD_OK);
    ASSERT_EQ(Fill(small, &top, 0x07E0), DD_OK);
    RECT right = {4, 0, 8, 8};
    ASSERT_EQ(color_->Blt(&right, small, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Pixel(color_, 5, 3), 0x07E0u);
    EXPECT_EQ(Pixel(color_, 7, 4), 0x001Fu);
    EXPECT_EQ(Pixel(color_, 1, 1), 0xF800u);

    // Keyed, stretched copies from memory into a target drawn on since its last read.
    Quad(0, 0, 8, 8, 0, 0xFF000000);
    IDirectDrawSurface4* sprite = Plain(2, 2, Format565(), true);
    RECT key = {0, 0, 1, 1};
    ASSERT_EQ(Fill(sprite, nullptr, 0xFFFF), DD_OK);
    ASSERT_EQ(Fill(sprite, &key, 0), DD_OK);
    RECT at = {0, 0, 4, 4};
    ASSERT_EQ(color_->Blt(&at, sprite, nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), DD_OK);
    EXPECT_EQ(Pixel(color_, 1, 1), 0xF800u); // key: the red stays
    EXPECT_EQ(Pixel(color_, 3, 1), 0xFFFFu);
    EXPECT_EQ(Pixel(color_, 3, 3), 0xFFFFu);
    EXPECT_EQ(Pixel(color_, 5, 5), 0x001Fu); // outside the copy
}

TEST_F(DDrawSurfaceTest, DescriptionsReportFormatPitchAndChains) {
    DDSURFACEDESC2 d = Describe(0x11007 | DDSD_MIPMAPCOUNT, DDSCAPS_TEXTURE | 0x400008, 256, 64);
    d.ddpfPixelFormat = Format565();
    d.dwMipMapCount = 7;
    IDirectDrawSurface4* t = nullptr;
    ASSERT_EQ(dd_->CreateSurface(&d, &t, nullptr), DD_OK);
    Keep(t);
    DDSURFACEDESC2 got = {};
    got.dwSize = sizeof got;
    ASSERT_EQ(t->GetSurfaceDesc(&got), DD_OK);
    EXPECT_EQ(got.dwMipMapCount, 7u);
    EXPECT_TRUE(got.dwFlags & DDSD_CKSRCBLT);
    EXPECT_TRUE(got.dwFlags & DDSD_PITCH);
    EXPECT_GE(got.lPitch, 512);
    EXPECT_EQ(got.ddpfPixelFormat.dwRGBBitCount, 16u);
    EXPECT_EQ(got.ddsCaps.dwCaps & DDSCAPS_TEXTURE, DDSCAPS_TEXTURE);

    struct Bad {
        const char* what;
        DDSURFACEDESC2 desc;
    } bad[] = {
        {"no size", Describe(DDSD_CAPS, DDSCAPS_OFFSCREENPLAIN)},
        {"too many mips",
         [] {
             DDSURFACEDESC2 m = Describe(0x21007, DDSCAPS_TEXTURE | 0x400008, 8, 8);
             m.ddpfPixelFormat = Format565();
             m.dwMipMapCount = 5;
             return m;
         }()},
        {"palettised",
         [] {
             DDSURFACEDESC2 m = Describe(0x1007, DDSCAPS_TEXTURE, 8, 8);
             m.ddpfPixelFormat.dwFlags = DDPF_RGB | DDPF_PALETTEINDEXED8;
             m.ddpfPixelFormat.dwRGBBitCount = 8;
             return m;
         }()},
        {"non-local memory", Describe(0x7, 0x20005000, 128, 128)},
        {"z without format", Describe(0x7, 0x26000, 8, 8)},
    };
    for (Bad& b : bad) {
        IDirectDrawSurface4* s = reinterpret_cast<IDirectDrawSurface4*>(1);
        EXPECT_NE(dd_->CreateSurface(&b.desc, &s, nullptr), DD_OK) << b.what;
        EXPECT_EQ(s, nullptr) << b.what;
    }
}

TEST_F(DDrawSurfaceTest, EnumerationOffersTheProfile) {
    int drivers = 0;
    DirectDrawEnumerateA(
        [](GUID* guid, char* description, char*, void* ctx) -> BOOL {
            EXPECT_EQ(guid, nullptr);
            EXPECT_NE(description, nullptr);
            ++*static_cast<int*>(ctx);
            return DDENUMRET_OK;
        },
        &drivers);
    EXPECT_EQ(drivers, 1);

    std::vector<std::pair<DWORD, DWORD>> modes;
    dd_->EnumDisplayModes(0, nullptr, &modes, [](DDSURFACEDESC2* d, void* ctx) -> HRESULT {
        EXPECT_EQ(d->ddpfPixelFormat.dwFlags, DDPF_RGB);
        EXPECT_EQ(d->ddpfPixelFormat.dwRGBBitCount, 16u);
        static_cast<std::vector<std::pair<DWORD, DWORD>>*>(ctx)->emplace_back(d->dwWidth,
                                                                              d->dwHeight);
        return DDENUMRET_OK;
    });
    EXPECT_EQ(modes, (std::vector<std::pair<DWORD, DWORD>>{{640, 480}, {800, 600}, {1024, 768}}));

    struct Devices {
        int count = 0;
        D3DDEVICEDESC hal = {};
    } devices;
    d3d_->EnumDevices(
        [](GUID* guid, char*, char*, D3DDEVICEDESC* hal, D3DDEVICEDESC*, void* ctx) -> HRESULT {
            auto* d = static_cast<Devices*>(ctx);
            EXPECT_TRUE(*guid == IID_IDirect3DHALDevice);
            d->hal = *hal;
            ++d->count;
            return D3DENUMRET_OK;
        },
        &devices);
    ASSERT_EQ(devices.count, 1);
    const D3DDEVICEDESC& hal = devices.hal;
    EXPECT_TRUE(hal.dcmColorModel & D3DCOLOR_RGB);
    EXPECT_TRUE(hal.dpcTriCaps.dwTextureCaps & D3DPTEXTURECAPS_PERSPECTIVE);
    EXPECT_FALSE(hal.dpcTriCaps.dwRasterCaps & D3DPRASTERCAPS_ZBUFFERLESSHSR);
    EXPECT_FALSE(hal.dwDevCaps & D3DDEVCAPS_TEXTURENONLOCALVIDMEM);
    EXPECT_EQ(hal.dpcTriCaps.dwShadeCaps & 0xC500A, 0xC500Au);
    EXPECT_TRUE(hal.dpcTriCaps.dwAlphaCmpCaps & D3DPCMPCAPS_GREATER);
    EXPECT_EQ(hal.dwDeviceRenderBitDepth, DDBD_16 | DDBD_32);
    EXPECT_EQ(hal.dwMaxTextureWidth, 1024u);

    std::vector<DWORD> zDepths;
    d3d_->EnumZBufferFormats(
        IID_IDirect3DHALDevice,
        [](DDPIXELFORMAT* f, void* ctx) -> HRESULT {
            static_cast<std::vector<DWORD>*>(ctx)->push_back(f->dwZBufferBitDepth);
            return D3DENUMRET_OK;
        },
        &zDepths);
    EXPECT_EQ(zDepths, (std::vector<DWORD>{16, 24}));

    DDCAPS halCaps = {}, helCaps = {};
    halCaps.dwSize = helCaps.dwSize = sizeof(DDCAPS);
    EXPECT_EQ(dd_->GetCaps(&halCaps, &helCaps), DD_OK);
    DDSCAPS2 vid = {0x10006200, 0, 0, 0};
    DWORD total = 0, free = 0;
    ASSERT_EQ(dd_->GetAvailableVidMem(&vid, &total, &free), DD_OK);
    EXPECT_GE(total, 1024u * 768u * 2u * 3u);
    // A new video surface takes from the free memory.
    DDSURFACEDESC2 d = Describe(0x1007, DDSCAPS_TEXTURE, 256, 256);
    d.ddpfPixelFormat = Format565();
    IDirectDrawSurface4* tex = nullptr;
    ASSERT_EQ(dd_->CreateSurface(&d, &tex, nullptr), DD_OK);
    DWORD freeAfter = 0;
    dd_->GetAvailableVidMem(&vid, nullptr, &freeAfter);
    EXPECT_EQ(free - freeAfter, 256u * 256u * 2u);
    tex->Release();
}

TEST_F(DDrawSurfaceTest, ReferencesAreCountedAcrossInterfaces) {
    MakeTarget(16, 16);
    // The device holds its target; the target holds its z-buffer.
    EXPECT_EQ(color_->AddRef(), 3u);
    EXPECT_EQ(color_->Release(), 2u);
    EXPECT_EQ(z_->AddRef(), 3u);
    EXPECT_EQ(z_->Release(), 2u);
    EXPECT_EQ(color_->AddAttachedSurface(z_), DD_OK); // again: no second reference
    EXPECT_EQ(z_->AddRef(), 3u);
    EXPECT_EQ(z_->Release(), 2u);
    DDSURFACEDESC2 zd = Describe(0x1007, 0x26000, 16, 16);
    zd.ddpfPixelFormat = DDrawZFormat(16);
    IDirectDrawSurface4* otherZ = nullptr;
    ASSERT_EQ(dd_->CreateSurface(&zd, &otherZ, nullptr), DD_OK);
    Keep(otherZ);
    EXPECT_EQ(color_->AddAttachedSurface(otherZ), DDERR_SURFACEALREADYATTACHED);

    IDirectDrawSurface4* texture = Texture(Format565(), 4, 4, [](DWORD, DWORD) { return 1u; });
    IDirect3DTexture2* t = nullptr;
    ASSERT_EQ(texture->QueryInterface(IID_IDirect3DTexture2, reinterpret_cast<void**>(&t)), DD_OK);
    ASSERT_EQ(device_->SetTexture(0, t), DD_OK);
    EXPECT_EQ(t->Release(), 2u); // ours gone, the device's stays
    ASSERT_EQ(device_->SetTexture(0, nullptr), DD_OK);
    EXPECT_EQ(texture->AddRef(), 2u);
    texture->Release();

    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(color_->QueryInterface(IID_IDirect3DTexture2, &none), E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);

    // The Direct3D object keeps the DirectDraw object alive.
    IDirectDraw4* dd = dd_;
    dd->AddRef();
    EXPECT_EQ(dd->Release(), 2u);
    // Objects go when their last reference goes (checked against the live count at the end).
    int before = DDrawLiveObjects();
    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(dd_->CreateClipper(0, &clipper, nullptr), DD_OK);
    PALETTEENTRY entries[256] = {};
    entries[3] = {1, 2, 3, 4};
    IDirectDrawPalette* palette = nullptr;
    ASSERT_EQ(dd_->CreatePalette(DDPCAPS_8BIT | DDPCAPS_ALLOW256, entries, &palette, nullptr),
              DD_OK);
    PALETTEENTRY back[4] = {};
    ASSERT_EQ(palette->GetEntries(0, 0, 4, back), DD_OK);
    EXPECT_EQ(back[3].peFlags, 4);
    EXPECT_EQ(palette->GetEntries(0, 250, 7, back), DDERR_INVALIDPARAMS);
    EXPECT_EQ(DDrawLiveObjects(), before + 2);
    clipper->Release();
    palette->Release();
    EXPECT_EQ(DDrawLiveObjects(), before);
}

TEST_F(DDrawSurfaceTest, ClippedDesktopTakesTheVisiblePartOfACopy) {
    DDSURFACEDESC2 d = Describe(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
    IDirectDrawSurface4* desktop = nullptr;
    ASSERT_EQ(dd_->CreateSurface(&d, &desktop, nullptr), DD_OK);
    Keep(desktop);
    IDirectDrawSurface4* src = Plain(4, 4, Format565());
    RECT right = {2, 0, 4, 4};
    ASSERT_EQ(Fill(src, nullptr, 0xF800), DD_OK);
    ASSERT_EQ(Fill(src, &right, 0x07E0), DD_OK);
    RECT partly = {-2, 10, 2, 14};
    EXPECT_EQ(desktop->Blt(&partly, src, nullptr, DDBLT_WAIT, nullptr), DDERR_INVALIDRECT);

    IDirectDrawClipper* clipper = nullptr;
    ASSERT_EQ(dd_->CreateClipper(0, &clipper, nullptr), DD_OK);
    Keep(clipper);
    ASSERT_EQ(clipper->SetHWnd(0, nullptr), DD_OK);
    ASSERT_EQ(desktop->SetClipper(clipper), DD_OK);
    ASSERT_EQ(desktop->Blt(&partly, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
    EXPECT_EQ(Pixel(desktop, 0, 10), 0x07E0u);
    EXPECT_EQ(Pixel(desktop, 1, 13), 0x07E0u);
    EXPECT_EQ(Pixel(desktop, 2, 10), 0u);
    RECT gone = {-8, -8, -4, -4};
    EXPECT_EQ(desktop->Blt(&gone, src, nullptr, DDBLT_WAIT, nullptr), DD_OK);
}

TEST_F(DDrawSurfaceTest, ChainMembersGoWithTheirChain) {
    const int before = DDrawLiveObjects();
    DDSURFACEDESC2 d = Describe(DDSD_CAPS | DDSD_BACKBUFFERCOUNT, 0x2218);
    d.dwBackBufferCount = 1;
    IDirectDrawSurface4* primary = nullptr;
    ASSERT_EQ(dd_->CreateSurface(&d, &primary, nullptr), DD_OK);
    DDSCAPS2 backCaps = {DDSCAPS_BACKBUFFER, 0, 0, 0};
    IDirectDrawSurface4* back = nullptr;
    ASSERT_EQ(primary->GetAttachedSurface(&backCaps, &back), DD_OK);
    DDSURFACEDESC2 t = Describe(0x21007, DDSCAPS_TEXTURE | 0x400008, 4, 4);
    t.ddpfPixelFormat = Format565();
    t.dwMipMapCount = 3;
    IDirectDrawSurface4* top = nullptr;
    ASSERT_EQ(dd_->CreateSurface(&t, &top, nullptr), DD_OK);
    DDSCAPS2 mipCaps = {0x401008, 0, 0, 0};
    IDirectDrawSurface4* level1 = nullptr;
    ASSERT_EQ(top->GetAttachedSurface(&mipCaps, &level1), DD_OK);
    EXPECT_EQ(DDrawLiveObjects(), before + 5);
    // Released to 0, a member stays while its chain does.
    EXPECT_EQ(level1->Release(), 0u);
    EXPECT_EQ(DDrawLiveObjects(), before + 5);
    // The back buffer's own reference is never released: it goes with the primary.
    EXPECT_EQ(primary->Release(), 0u);
    EXPECT_EQ(top->Release(), 0u);
    EXPECT_EQ(DDrawLiveObjects(), before);
}

TEST_F(DDrawSurfaceTest, CooperativeLevelAndDisplayModeBookkeeping) {
    EXPECT_EQ(dd_->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE), DDERR_INVALIDPARAMS);
    ASSERT_EQ(dd_->SetCooperativeLevel(nullptr, 0x813), DD_OK);
    EXPECT_EQ(dd_->SetDisplayMode(800, 600, 16, 0, 0), DD_OK);
    EXPECT_EQ(dd_->SetDisplayMode(800, 600, 32, 0, 0), DDERR_INVALIDMODE);
    EXPECT_EQ(dd_->SetDisplayMode(700, 500, 16, 0, 0), DDERR_INVALIDMODE);
    DDSURFACEDESC2 d = Describe(DDSD_CAPS, DDSCAPS_PRIMARYSURFACE);
    IDirectDrawSurface4* primary = nullptr;
    ASSERT_EQ(dd_->CreateSurface(&d, &primary, nullptr), DD_OK);
    Keep(primary);
    DDSURFACEDESC2 got = {};
    got.dwSize = sizeof got;
    primary->GetSurfaceDesc(&got);
    EXPECT_EQ(got.dwWidth, 800u);
    EXPECT_EQ(got.dwHeight, 600u);
    EXPECT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DDERR_NOTFLIPPABLE);
    EXPECT_EQ(dd_->RestoreDisplayMode(), DD_OK);
    EXPECT_EQ(dd_->RestoreAllSurfaces(), DD_OK);
}

} // namespace

namespace {

// The expected result of a Blt, written from the rules: destination pixel x of a stretch takes
// source pixel floor(x * sw / dw); keyed source values in the key range leave the destination
// alone; channels widen by repeating their bits and narrow by dropping the low ones.
struct Channel {
    uint32_t shift, bits;
};
struct Layout {
    int bytes;
    Channel c[4]; // r, g, b, a (a.bits 0: none)
};
Layout LayoutOf(int which) {
    switch (which) {
    case 0: return {2, {{11, 5}, {5, 6}, {0, 5}, {0, 0}}};
    case 1: return {2, {{10, 5}, {5, 5}, {0, 5}, {15, 1}}};
    case 2: return {2, {{8, 4}, {4, 4}, {0, 4}, {12, 4}}};
    default: return {4, {{16, 8}, {8, 8}, {0, 8}, {24, 8}}};
    }
}
DDPIXELFORMAT FormatOf(int which) {
    switch (which) {
    case 0: return Format565();
    case 1: return Format1555();
    case 2: return Format4444();
    default: return Format8888();
    }
}
uint32_t Convert(uint32_t p, const Layout& from, const Layout& to) {
    uint32_t out = 0;
    for (int k = 0; k < 4; ++k) {
        uint32_t wide = 255; // a format without alpha is opaque
        if (from.c[k].bits) {
            const uint32_t bits = from.c[k].bits, v = (p >> from.c[k].shift) & ((1u << bits) - 1);
            wide = 0;
            uint32_t have = 0;
            while (have < 8) {
                wide = wide << bits | v;
                have += bits;
            }
            wide >>= have - 8;
        }
        if (to.c[k].bits) out |= (wide >> (8 - to.c[k].bits)) << to.c[k].shift;
    }
    return out;
}

// Random Blt cases (formats, keys, stretches, rectangles) into a memory surface and into a render
// target whose pixels are in OpenGL: both give the expected pixels.
TEST_F(DDrawSurfaceTest, RandomBltCasesGiveTheSamePixelsInMemoryAndInOpenGl) {
    uint32_t seed = 20261210;
    auto next = [&seed](uint32_t n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    constexpr DWORD kSide = 16;
    int mismatches = 0;
    for (int round = 0; round < 120 && mismatches < 5; ++round) {
        const int sformat = int(next(4)), dformat = next(2) ? 3 : 0;
        const Layout sl = LayoutOf(sformat), dl = LayoutOf(dformat);
        const DWORD sw = 1 + next(12), sh = 1 + next(12);
        const bool keyed = next(2) != 0;
        DDSURFACEDESC2 sd = Describe(0x1007 | DDSD_CKSRCBLT, DDSCAPS_SYSTEMMEMORY, sw, sh);
        sd.ddpfPixelFormat = FormatOf(sformat);
        std::vector<uint32_t> source(sw * sh);
        const uint32_t mask = sl.bytes == 2 ? 0xFFFF : 0xFFFFFFFF;
        // Few distinct values, so that keys hit.
        uint32_t palette[4];
        for (uint32_t& p : palette)
            p = (next(0x10000) | next(0x10000) << 16) & mask;
        for (uint32_t& p : source)
            p = palette[next(4)];
        const uint32_t keyLow = palette[next(4)];
        const uint32_t keyHigh = next(2) ? keyLow : std::min<uint32_t>(mask, keyLow + next(0x800));
        sd.ddckCKSrcBlt = {keyLow, keyHigh};
        IDirectDrawSurface4* src = nullptr;
        ASSERT_EQ(dd_->CreateSurface(&sd, &src, nullptr), DD_OK);
        Keep(src);
        DDSURFACEDESC2 lock = {};
        lock.dwSize = sizeof lock;
        ASSERT_EQ(src->Lock(nullptr, &lock, DDLOCK_WAIT, nullptr), DD_OK);
        for (DWORD y = 0; y < sh; ++y)
            for (DWORD x = 0; x < sw; ++x)
                memcpy(static_cast<uint8_t*>(lock.lpSurface) + y * lock.lPitch + x * sl.bytes,
                       &source[y * sw + x], size_t(sl.bytes));
        src->Unlock(nullptr);

        const LONG sx0 = LONG(next(sw)), sy0 = LONG(next(sh));
        RECT s = {sx0, sy0, sx0 + 1 + LONG(next(sw - sx0)), sy0 + 1 + LONG(next(sh - sy0))};
        const LONG dx0 = LONG(next(kSide)), dy0 = LONG(next(kSide));
        RECT d = {dx0, dy0, dx0 + 1 + LONG(next(kSide - dx0)), dy0 + 1 + LONG(next(kSide - dy0))};
        const uint32_t background = (next(0x10000) | next(0x10000) << 16) &
                                    (dl.bytes == 2 ? 0xFFFF : 0xFFFFFFFF);
        std::vector<uint32_t> expected(kSide * kSide, background);
        const LONG dw = d.right - d.left, dh = d.bottom - d.top;
        for (LONG y = 0; y < dh; ++y)
            for (LONG x = 0; x < dw; ++x) {
                const uint32_t p = source[size_t(s.top + y * (s.bottom - s.top) / dh) * sw +
                                          size_t(s.left + x * (s.right - s.left) / dw)];
                if (keyed && p >= keyLow && p <= keyHigh) continue;
                expected[size_t(d.top + y) * kSide + size_t(d.left + x)] = Convert(p, sl, dl);
            }

        for (bool inOpenGl : {false, true}) {
            DDSURFACEDESC2 dd = Describe(0x1007, inOpenGl ? 0x6040 : DDSCAPS_SYSTEMMEMORY, kSide,
                                         kSide);
            dd.ddpfPixelFormat = FormatOf(dformat);
            IDirectDrawSurface4* dst = nullptr;
            ASSERT_EQ(dd_->CreateSurface(&dd, &dst, nullptr), DD_OK);
            Keep(dst);
            ASSERT_EQ(Fill(dst, nullptr, background), DD_OK);
            ASSERT_EQ(dst->Blt(&d, src, &s, DDBLT_WAIT | (keyed ? DDBLT_KEYSRC : 0), nullptr),
                      DD_OK);
            for (DWORD y = 0; y < kSide && mismatches < 5; ++y)
                for (DWORD x = 0; x < kSide && mismatches < 5; ++x) {
                    const uint32_t got = Pixel(dst, int(x), int(y));
                    if (got != expected[y * kSide + x]) {
                        ++mismatches;
                        ADD_FAILURE() << (inOpenGl ? "OpenGL" : "memory") << " round " << round
                                      << " pixel " << x << ", " << y << ": " << std::hex << got
                                      << " want " << expected[y * kSide + x] << std::dec
                                      << " formats " << sformat << " -> " << dformat
                                      << (keyed ? " keyed" : "") << " source " << s.left << ","
                                      << s.top << "-" << s.right << "," << s.bottom
                                      << " destination " << d.left << "," << d.top << "-"
                                      << d.right << "," << d.bottom;
                    }
                }
        }
    }
}

} // namespace
