// The presented picture: for each display mode, full screen and windowed, a frame of four
// coloured quadrants inside a one-pixel white border is flipped and the window's own
// framebuffer read back: the picture fills the largest centred box of its aspect, uncut.
// (The offscreen driver's drawable keeps the size its window was made with, so there the box
// is fitted to that size.)
#include "platform/ddraw/ddraw_gl.h"
#include "tests/platform/ddraw_fixture.h"

namespace {

struct PresentCase {
    DWORD width, height;
    bool windowed;
};

class DDrawPresentTest : public DDrawTest, public ::testing::WithParamInterface<PresentCase> {
protected:
    void TearDown() override {
        DDrawTest::TearDown();
        if (window_) DestroyWindow(window_);
        UnregisterClassA("DDrawPresentWindow", nullptr);
        unsetenv("MAROVANT_WINDOWED");
    }
    HWND window_ = nullptr;
};

constexpr uint32_t kQuadrants[4] = {0xF800, 0x07E0, 0x001F, 0xFFE0}; // red, green, blue, yellow

TEST_P(DDrawPresentTest, QuadrantsLandWhereTheScalingSays) {
    const PresentCase c = GetParam();
    if (c.windowed) setenv("MAROVANT_WINDOWED", "1", 1);
    WNDCLASSA wc = {};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "DDrawPresentWindow";
    RegisterClassA(&wc);
    window_ = CreateWindowExA(0, "DDrawPresentWindow", "present", WS_POPUP, 0, 0, 320, 240,
                              nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(window_, nullptr);
    ShowWindow(window_, SW_SHOW);
    ASSERT_EQ(dd_->SetCooperativeLevel(window_, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), DD_OK);
    ASSERT_EQ(dd_->SetDisplayMode(c.width, c.height, 16, 0, 0), DD_OK);
    // The window follows the mode: the desktop in full screen, the mode's size windowed.
    RECT client = {};
    ASSERT_TRUE(GetClientRect(window_, &client));
    EXPECT_EQ(client.right, c.windowed ? LONG(c.width) : LONG(GetSystemMetrics(SM_CXSCREEN)));
    EXPECT_EQ(client.bottom, c.windowed ? LONG(c.height) : LONG(GetSystemMetrics(SM_CYSCREEN)));
    DDSURFACEDESC2 d = Describe(DDSD_CAPS | DDSD_BACKBUFFERCOUNT,
                                DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX);
    d.dwBackBufferCount = 1;
    IDirectDrawSurface4* primary = nullptr;
    ASSERT_EQ(dd_->CreateSurface(&d, &primary, nullptr), DD_OK);
    DDSCAPS2 caps = {};
    caps.dwCaps = DDSCAPS_BACKBUFFER;
    IDirectDrawSurface4* back = nullptr;
    ASSERT_EQ(primary->GetAttachedSurface(&caps, &back), DD_OK);
    Keep(back); // released before the chain that holds it
    Keep(primary);
    const LONG w = LONG(c.width), h = LONG(c.height);
    auto fill = [back](RECT r, DWORD value) {
        DDBLTFX fx = {};
        fx.dwSize = sizeof fx;
        fx.dwFillColor = value;
        ASSERT_EQ(back->Blt(&r, nullptr, nullptr, DDBLT_COLORFILL | DDBLT_WAIT, &fx), DD_OK);
    };
    fill({0, 0, w, h}, 0xFFFF);
    fill({1, 1, w / 2, h / 2}, kQuadrants[0]);
    fill({w / 2, 1, w - 1, h / 2}, kQuadrants[1]);
    fill({1, h / 2, w / 2, h - 1}, kQuadrants[2]);
    fill({w / 2, h / 2, w - 1, h - 1}, kQuadrants[3]);
    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), DD_OK);

    int ww = 0, wh = 0;
    std::vector<uint8_t> shown;
    ASSERT_TRUE(DDrawGlReadWindow(window_, &ww, &wh, &shown));
    // Where the drawable has the window's size (a real display) a windowed picture is 1:1.
    if (c.windowed && ww == client.right && wh == client.bottom) {
        EXPECT_EQ(ww, int(c.width));
        EXPECT_EQ(wh, int(c.height));
    }
    // The largest box of the mode's aspect that fits, centred.
    int bw = ww, bh = int(int64_t(ww) * h / w);
    if (bh > wh) {
        bh = wh;
        bw = int(int64_t(wh) * w / h);
    }
    const int bx = (ww - bw) / 2, by = (wh - bh) / 2;
    auto at = [&](int x, int y) {
        const uint8_t* p = &shown[(size_t(y) * size_t(ww) + size_t(x)) * 4];
        return Rgb{p[0], p[1], p[2]};
    };
    const Rgb colours[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};
    for (int q = 0; q < 4; ++q) {
        const int x = bx + bw / 4 + (q & 1) * bw / 2, y = by + bh / 4 + (q >> 1) * bh / 2;
        EXPECT_TRUE(Near(at(x, y), colours[q])) << "quadrant " << q << " at " << x << ", " << y;
    }
    // Nothing is cut: the box's corner pixels show their own quadrant (lightened by the
    // border where the picture is not shrunk too far to keep it).
    const Rgb corners[4] = {at(bx, by), at(bx + bw - 1, by), at(bx, by + bh - 1),
                            at(bx + bw - 1, by + bh - 1)};
    for (int q = 0; q < 4; ++q) {
        const Rgb& got = corners[q];
        EXPECT_TRUE((colours[q].r == 0 || got.r >= 128) && (colours[q].g == 0 || got.g >= 128) &&
                    (colours[q].b == 0 || got.b >= 128))
            << "corner " << q << " shows (" << got.r << ", " << got.g << ", " << got.b << ")";
    }
    // Shown 1:1 or enlarged, the border itself survives at the box's edges.
    if (bw >= w) {
        const Rgb edge = at(bx + bw / 4, by);
        EXPECT_TRUE(Near(edge, {255, 255, 255}, 100)) << "top border";
    }
    // Outside the box: black.
    if (bx > 0) EXPECT_TRUE(Near(at(bx - 1, wh / 2), {0, 0, 0}, 0));
    if (by > 0) EXPECT_TRUE(Near(at(ww / 2, by - 1), {0, 0, 0}, 0));
}

INSTANTIATE_TEST_SUITE_P(Modes, DDrawPresentTest,
                         ::testing::Values(PresentCase{640, 480, false},
                                           PresentCase{800, 600, false},
                                           PresentCase{1024, 768, false},
                                           PresentCase{640, 480, true}));

} // namespace
