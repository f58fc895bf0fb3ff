// The presented picture: for each display mode, full screen and windowed, a frame of four
// coloured quadrants inside a one-pixel white border is flipped and read back, from the window's
// own framebuffer and, under Xvfb, from the real screen: the picture fills the largest centred
// box of its aspect, uncut, and the window follows the mode. (The offscreen driver's drawable
// keeps the size its window was made with, so there the box is fitted to that size.)
#include "platform/ddraw/ddraw_gl.h"
#include "tests/platform/ddraw_fixture.h"
#include "tests/support/xvfb.h"

#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <fstream>
#include <functional>
#include <string>

namespace {

struct PresentCase {
    DWORD width, height;
    bool windowed;
};

constexpr uint32_t kQuadrants[4] = {0xF800, 0x07E0, 0x001F, 0xFFE0}; // red, green, blue, yellow
const Rgb kColours[4] = {{255, 0, 0}, {0, 255, 0}, {0, 0, 255}, {255, 255, 0}};

class DDrawPresentTest : public DDrawTest {
protected:
    void TearDown() override {
        DDrawTest::TearDown();
        if (window_) DestroyWindow(window_);
        UnregisterClassA("DDrawPresentWindow", nullptr);
        unsetenv("MAROVANT_WINDOWED");
    }

    // Sets the mode on a window of 320 x 240 and flips the pattern to it; the window's client
    // rectangle afterwards.
    void PresentPattern(const PresentCase& c, RECT* client) {
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
        ASSERT_TRUE(GetClientRect(window_, client));
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
    }

    HWND window_ = nullptr;
};

// Checks a picture of the mode's size shown in an area of ww x wh pixels read by `at`.
void CheckPicture(const PresentCase& c, int ww, int wh, const std::function<Rgb(int, int)>& at) {
    const int w = int(c.width), h = int(c.height);
    // The largest box of the mode's aspect that fits, centred.
    int bw = ww, bh = int(int64_t(ww) * h / w);
    if (bh > wh) {
        bh = wh;
        bw = int(int64_t(wh) * w / h);
    }
    const int bx = (ww - bw) / 2, by = (wh - bh) / 2;
    for (int q = 0; q < 4; ++q) {
        const int x = bx + bw / 4 + (q & 1) * bw / 2, y = by + bh / 4 + (q >> 1) * bh / 2;
        EXPECT_TRUE(Near(at(x, y), kColours[q])) << "quadrant " << q << " at " << x << ", " << y;
    }
    // Nothing is cut: the box's corner pixels show their own quadrant (lightened by the border
    // where the picture is not shrunk too far to keep it).
    const Rgb corners[4] = {at(bx, by), at(bx + bw - 1, by), at(bx, by + bh - 1),
                            at(bx + bw - 1, by + bh - 1)};
    for (int q = 0; q < 4; ++q) {
        const Rgb& got = corners[q];
        EXPECT_TRUE((kColours[q].r == 0 || got.r >= 128) && (kColours[q].g == 0 || got.g >= 128) &&
                    (kColours[q].b == 0 || got.b >= 128))
            << "corner " << q << " shows (" << got.r << ", " << got.g << ", " << got.b << ")";
    }
    // Shown 1:1 or enlarged, the border itself survives at the box's edges.
    if (bw >= w) {
        EXPECT_TRUE(Near(at(bx + bw / 4, by), {255, 255, 255}, 100)) << "top border";
        EXPECT_TRUE(Near(at(bx, by + bh / 4), {255, 255, 255}, 100)) << "left border";
    }
    // Outside the box: black.
    if (bx > 0) {
        EXPECT_TRUE(Near(at(bx - 1, wh / 2), {0, 0, 0}, 0)) << "left of the box";
    }
    if (by > 0) {
        EXPECT_TRUE(Near(at(ww / 2, by - 1), {0, 0, 0}, 0)) << "above the box";
    }
}

class DDrawPresentModeTest : public DDrawPresentTest,
                             public ::testing::WithParamInterface<PresentCase> {};

TEST_P(DDrawPresentModeTest, QuadrantsLandWhereTheScalingSays) {
    const PresentCase c = GetParam();
    RECT client = {};
    PresentPattern(c, &client);
    if (HasFatalFailure()) return;
    // The window follows the mode: the desktop in full screen, the mode's size windowed.
    EXPECT_EQ(client.right, c.windowed ? LONG(c.width) : LONG(GetSystemMetrics(SM_CXSCREEN)));
    EXPECT_EQ(client.bottom, c.windowed ? LONG(c.height) : LONG(GetSystemMetrics(SM_CYSCREEN)));
    int ww = 0, wh = 0;
    std::vector<uint8_t> shown;
    ASSERT_TRUE(DDrawGlReadWindow(window_, &ww, &wh, &shown));
    // Where the drawable has the window's size (a real display) a windowed picture is 1:1.
    if (c.windowed && ww == client.right && wh == client.bottom) {
        EXPECT_EQ(ww, int(c.width));
        EXPECT_EQ(wh, int(c.height));
    }
    CheckPicture(c, ww, wh, [&](int x, int y) {
        const uint8_t* p = &shown[(size_t(y) * size_t(ww) + size_t(x)) * 4];
        return Rgb{p[0], p[1], p[2]};
    });
}

INSTANTIATE_TEST_SUITE_P(Modes, DDrawPresentModeTest,
                         ::testing::Values(PresentCase{640, 480, false},
                                           PresentCase{800, 600, false},
                                           PresentCase{1024, 768, false},
                                           PresentCase{640, 480, true}),
                         [](const ::testing::TestParamInfo<PresentCase>& info) {
                             const PresentCase& c = info.param;
                             return std::to_string(c.width) + "x" + std::to_string(c.height) +
                                    (c.windowed ? "Windowed" : "FullScreen");
                         });

// ---- On a real display ----

// An XWD screen dump (the X window dump format: a header of big-endian 32-bit fields, the
// window name, the colour map, then the pixel rows).
struct ScreenDump {
    int width = 0, height = 0;
    std::vector<Rgb> pixels;
    Rgb At(int x, int y) const { return pixels[size_t(y) * size_t(width) + size_t(x)]; }
};

uint32_t Big32(const std::string& b, size_t at) {
    return uint32_t(uint8_t(b[at])) << 24 | uint32_t(uint8_t(b[at + 1])) << 16 |
           uint32_t(uint8_t(b[at + 2])) << 8 | uint32_t(uint8_t(b[at + 3]));
}

bool ReadScreenDump(const std::string& path, ScreenDump* out) {
    std::ifstream in(path, std::ios::binary);
    std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (b.size() < 100) return false;
    const uint32_t headerSize = Big32(b, 0), width = Big32(b, 16), height = Big32(b, 20);
    const uint32_t byteOrder = Big32(b, 28), bitsPerPixel = Big32(b, 44);
    const uint32_t bytesPerLine = Big32(b, 48), redMask = Big32(b, 56);
    const uint32_t greenMask = Big32(b, 60), blueMask = Big32(b, 64), colours = Big32(b, 76);
    if (width == 0 || height == 0 || width > 8192 || height > 8192) return false;
    const uint32_t bytes = bitsPerPixel / 8;
    if ((bitsPerPixel != 24 && bitsPerPixel != 32) || bytesPerLine < width * bytes) return false;
    const size_t start = size_t(headerSize) + size_t(colours) * 12;
    if (b.size() < start + size_t(bytesPerLine) * height) return false;
    auto channel = [](uint32_t p, uint32_t mask) {
        int shift = 0;
        while (mask && !((mask >> shift) & 1))
            ++shift;
        return int((p & mask) >> shift);
    };
    out->width = int(width);
    out->height = int(height);
    out->pixels.resize(size_t(width) * height);
    for (uint32_t y = 0; y < height; ++y)
        for (uint32_t x = 0; x < width; ++x) {
            const size_t at = start + size_t(y) * bytesPerLine + size_t(x) * bytes;
            uint32_t p = 0;
            for (uint32_t k = 0; k < bytes; ++k)
                p |= uint32_t(uint8_t(b[at + k])) << (8 * (byteOrder == 0 ? k : bytes - 1 - k));
            out->pixels[size_t(y) * width + x] = {channel(p, redMask), channel(p, greenMask),
                                                  channel(p, blueMask)};
        }
    return true;
}

const PresentCase kDisplayCases[2] = {{640, 480, false}, {800, 600, true}};

// Run by DisplayShowsThePictureOnTheRealScreen in a process of its own on the Xvfb display: the
// pattern is presented and the real screen grabbed and checked.
TEST_F(DDrawPresentTest, OnDisplayChild) {
    const char* which = getenv("MAROVANT_DISPLAY_CASE");
    if (!which) GTEST_SKIP() << "run by the display test";
    const PresentCase c = kDisplayCases[which[0] == '1' ? 1 : 0];
    RECT client = {};
    PresentPattern(c, &client);
    if (HasFatalFailure()) return;
    const std::string path = std::string(getenv("MAROVANT_DISPLAY_DUMP"));
    // The window manager-less X server maps at once; the picture is there after the flip.
    ASSERT_EQ(std::system(("xwd -root -silent -out " + path).c_str()), 0);
    ScreenDump screen;
    ASSERT_TRUE(ReadScreenDump(path, &screen));
    if (c.windowed) {
        // The window of the mode's size at the top-left corner, the picture 1:1.
        CheckPicture(c, int(c.width), int(c.height),
                     [&](int x, int y) { return screen.At(x, y); });
    } else {
        CheckPicture(c, screen.width, screen.height,
                     [&](int x, int y) { return screen.At(x, y); });
    }
}

// A display test under Xvfb: one full-screen and one windowed mode shown on a 1280 x 1024
// screen, grabbed from the screen itself. Skipped when Xvfb cannot start.
TEST(DDrawDisplayTest, DisplayShowsThePictureOnTheRealScreen) {
    if (std::system("command -v Xvfb >/dev/null 2>&1 && command -v xwd >/dev/null 2>&1") != 0)
        GTEST_SKIP() << "Xvfb or xwd missing";
    XvfbServer server("1280x1024x24");
    const std::string& display = server.Display();
    const bool up = server.Running();
    if (up) {
        char self[4096] = {};
        const ssize_t n = readlink("/proc/self/exe", self, sizeof self - 1);
        ASSERT_GT(n, 0);
        for (int k = 0; k < 2; ++k) {
            const std::string dump = "/tmp/marovant_display_" + std::to_string(getpid()) + ".xwd";
            // The child runs under the same sanitizer options, leak check included: the
            // suppressions cover what the X11 libraries SDL loads keep until exit.
            const std::string command = "DISPLAY=" + display +
                                        " SDL_VIDEODRIVER=x11 MAROVANT_DISPLAY_CASE=" +
                                        std::to_string(k) + " MAROVANT_DISPLAY_DUMP=" + dump +
                                        " " + self +
                                        " --gtest_filter=DDrawPresentTest.OnDisplayChild";
            const int status = std::system(command.c_str());
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                << (k ? "windowed" : "full screen") << " on the display: see the output above";
            unlink(dump.c_str());
        }
    }
    if (!up) GTEST_SKIP() << "Xvfb did not start";
}

} // namespace
