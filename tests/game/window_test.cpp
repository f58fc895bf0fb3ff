#include "tests/game/shell_fixture.h"

#include "engine/core/raster.h"
#include "platform/win32/win32_sdl.h"
#include "tests/support/null_device.h"

#include <cstring>

using ::testing::ElementsAre;

TEST_F(ShellTest, HeldKeyReportsOncePressAgainAfterRelease) {
    MV2PlatformRequest(10, 0, 0, 0);
    recorded.clear();
    Key(WM_KEYDOWN, 0x1E);
    Key(WM_KEYDOWN, 0x1E); // auto-repeat
    Key(WM_KEYUP, 0x1E);
    Key(WM_KEYDOWN, 0x1E);
    EXPECT_THAT(Codes({161, 162, 12, 13}), ElementsAre(161, 12, 162, 13, 161, 12));
    EXPECT_EQ(recorded[1].c, 'a');
}

TEST_F(ShellTest, ReleaseWhileKeyboardOffDropsTheNextPressOnce) {
    MV2PlatformRequest(10, 0, 0, 0);
    Key(WM_KEYDOWN, 0x1E);
    MV2PlatformRequest(11, 0, 0, 0);
    Key(WM_KEYUP, 0x1E);
    EXPECT_EQ(gMV2Window.lastKey, 0x1Eu);
    MV2PlatformRequest(10, 0, 0, 0);
    recorded.clear();
    Key(WM_KEYDOWN, 0x1E);
    EXPECT_TRUE(Codes({161, 12}).empty());
    Key(WM_KEYUP, 0x1E);
    Key(WM_KEYDOWN, 0x1E);
    EXPECT_THAT(Codes({161}), ElementsAre(161));
}

TEST_F(ShellTest, KeysTranslateThroughTheSelectedTable) {
    MV2PlatformRequest(10, 0, 0, 0);
    struct Case {
        uint32_t scan;
        bool extended;
        int32_t raw, key;
    } cases[] = {
        {0x48, true, 0xC8, 0x93},  // Up arrow
        {0x48, false, 0x48, 0x9D}, // keypad 8
        {0x1C, true, 0x9C, 0xA6},  // keypad Enter
        {0x45, false, 0x45, 0xFF}, // no key: still reported, with 0xFF
        {0x45, true, 0xC5, 0xA1},
        {0x56, false, 0x56, '\\'},
    };
    for (const Case& k : cases) {
        recorded.clear();
        Key(WM_KEYDOWN, k.scan, k.extended);
        Key(WM_KEYUP, k.scan, k.extended);
        ASSERT_EQ(recorded.size(), 4u);
        EXPECT_EQ(recorded[0].c, k.raw);
        EXPECT_EQ(recorded[1].code, 12u);
        EXPECT_EQ(recorded[1].c, k.key) << std::hex << k.raw;
        EXPECT_EQ(recorded[3].code, 13u);
        EXPECT_EQ(recorded[3].c, k.key);
    }
}

TEST_F(ShellTest, DroppedFilesArriveLastFirst) {
    ASSERT_TRUE(Win32EnsureVideo());
    SDL_Window* sdl = Win32SdlWindow(hwnd);
    ASSERT_NE(sdl, nullptr);
    uint32_t id = SDL_GetWindowID(sdl);
    SDL_Event e{};
    e.type = SDL_DROPBEGIN;
    e.drop.windowID = id;
    SDL_PushEvent(&e);
    for (const char* name : {"/tmp/one.sav", "/tmp/two.sav", "/tmp/three.sav"}) {
        e = SDL_Event{};
        e.type = SDL_DROPFILE;
        e.drop.windowID = id;
        e.drop.file = SDL_strdup(name);
        SDL_PushEvent(&e);
    }
    e = SDL_Event{};
    e.type = SDL_DROPCOMPLETE;
    e.drop.windowID = id;
    SDL_PushEvent(&e);
    EXPECT_EQ(MV2PumpMessages(), 1);
    std::vector<std::string> names;
    for (const RecordedEvent& r : recorded)
        if (r.code == MV2_EVENT_FILE_DROPPED) names.push_back(r.text);
    EXPECT_THAT(names, ElementsAre("/tmp/three.sav", "/tmp/two.sav", "/tmp/one.sav"));
}

TEST_F(ShellTest, CaptureModeReportsOffsetsFromTheCentre) {
    gMV2Window.captureMode = 1;
    SetFocus(hwnd);
    MV2PlatformRequest(1, 0, 0, 0); // mouse on: centres the cursor
    RECT clip;
    GetClipCursor(&clip);
    EXPECT_EQ(gMV2Window.centre.x, (clip.left + clip.right) / 2);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    auto moveTo = [&](int sx, int sy) {
        SendMessageA(hwnd, WM_MOUSEMOVE, 0,
                     MAKELPARAM(static_cast<WORD>(sx - origin.x), static_cast<WORD>(sy - origin.y)));
    };
    recorded.clear();
    moveTo(gMV2Window.centre.x, gMV2Window.centre.y);
    EXPECT_EQ(gMV2Window.mouse.x, 0);
    EXPECT_EQ(gMV2Window.mouse.y, 0);
    EXPECT_TRUE(Codes({7}).empty());

    moveTo(gMV2Window.centre.x + 5, gMV2Window.centre.y - 3);
    EXPECT_EQ(gMV2Window.mouse.x, 5);
    EXPECT_EQ(gMV2Window.mouse.y, -3);
    ASSERT_THAT(Codes({7}), ElementsAre(7));
    EXPECT_EQ(recorded.back().b, reinterpret_cast<intptr_t>(&gMV2Window.mouse));
    POINT cursor;
    GetCursorPos(&cursor);
    EXPECT_EQ(cursor.x, gMV2Window.centre.x); // moved back to the centre
    EXPECT_EQ(cursor.y, gMV2Window.centre.y);

    SetFocus(nullptr); // without the focus, moves are ignored
    recorded.clear();
    moveTo(gMV2Window.centre.x + 9, gMV2Window.centre.y);
    EXPECT_TRUE(Codes({7}).empty());
}

TEST_F(ShellTest, ClientCoordinatesWithoutCaptureAndButtons) {
    gMV2Window.captureMode = 0;
    MV2PlatformRequest(1, 0, 0, 0);
    recorded.clear();
    SendMessageA(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<WORD>(-4), 12));
    EXPECT_EQ(gMV2Window.mouse.x, -4);
    EXPECT_EQ(gMV2Window.mouse.y, 12);
    for (UINT m : {WM_LBUTTONDOWN, WM_LBUTTONUP, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_MBUTTONDOWN,
                   WM_MBUTTONUP})
        SendMessageA(hwnd, m, 0, 0);
    EXPECT_THAT(Codes(), ElementsAre(7, 3, 4, 5, 6, 8, 9));
    MV2PlatformRequest(2, 0, 0, 0);
    recorded.clear();
    SendMessageA(hwnd, WM_LBUTTONDOWN, 0, 0);
    EXPECT_TRUE(Codes().empty());
}

TEST_F(ShellTest, AltCombinationsAndSystemCommandsAreSwallowed) {
    MV2PlatformRequest(10, 0, 0, 0);
    ASSERT_TRUE(Win32EnsureVideo());
    SDL_Event e{};
    e.type = SDL_KEYDOWN;
    e.key.windowID = SDL_GetWindowID(Win32SdlWindow(hwnd));
    e.key.keysym.scancode = SDL_SCANCODE_F4;
    e.key.keysym.mod = KMOD_LALT;
    SDL_PushEvent(&e);
    e.type = SDL_KEYUP;
    SDL_PushEvent(&e);
    recorded.clear();
    EXPECT_EQ(MV2PumpMessages(), 1);
    EXPECT_TRUE(recorded.empty());
    EXPECT_TRUE(IsWindow(hwnd)); // Alt+F4 did not close the window
    EXPECT_EQ(SendMessageA(hwnd, WM_SYSCOMMAND, SC_SCREENSAVE, 0), 0);
    EXPECT_EQ(SendMessageA(hwnd, WM_SYSCOMMAND, SC_MONITORPOWER, 2), 0);
}

TEST_F(ShellTest, QuitIsStickyInThePump) {
    PostQuitMessage(0);
    EXPECT_EQ(MV2PumpMessages(), 0);
    EXPECT_EQ(gMV2Window.quitSeen, 1);
    MV2PlatformRequest(10, 0, 0, 0);
    recorded.clear();
    PostMessageA(hwnd, WM_KEYDOWN, 0, KeyParam(0x1E));
    EXPECT_EQ(MV2PumpMessages(), 0);
    EXPECT_TRUE(recorded.empty()); // not dispatched
    EXPECT_EQ(MV2PumpMessages(), 1); // nothing waiting: the pump has nothing to refuse
}

TEST_F(ShellTest, FilterConsumesMessagesAndCloseEndsThePump) {
    static int filtered = 0;
    filtered = 0;
    gMV2Window.filter = [](MSG* m) -> int32_t { return m->message == WM_USER ? ++filtered : 0; };
    PostMessageA(hwnd, WM_USER, 0, 0);
    EXPECT_EQ(MV2PumpMessages(), 1);
    EXPECT_EQ(filtered, 1);
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    EXPECT_EQ(MV2PumpMessages(), 0); // close destroys the window, which posts the quit
    EXPECT_FALSE(IsWindow(hwnd));
}

TEST_F(ShellTest, FocusChangesClearKeysAndReportWhileRunning) {
    gMV2Window.captureMode = 1;
    MV2KeyPressed('a');
    SetFocus(hwnd);
    EXPECT_EQ(MV2TestKeyState('a', 3), 0);
    EXPECT_TRUE(Codes({173, 174, 40}).empty()); // not running; no input device acquired
    EXPECT_EQ(GetCapture(), hwnd);
    SetFocus(nullptr);
    EXPECT_EQ(GetCapture(), nullptr);
    gMV2Window.running = 1;
    SetFocus(hwnd);
    SetFocus(nullptr);
    EXPECT_THAT(Codes({173, 174}), ElementsAre(174, 173));
    EXPECT_EQ(ShowCursor(TRUE), 1); // hides and shows were balanced
}

TEST_F(ShellTest, PowerSuspendAndResumeCycleTheFocus) {
    gMV2Window.running = 1;
    SendMessageA(hwnd, WM_POWERBROADCAST, PBT_APMRESUMESUSPEND, 0);
    SendMessageA(hwnd, WM_POWERBROADCAST, PBT_APMSUSPEND, 0);
    EXPECT_THAT(Codes({173, 174}), ElementsAre(173, 174, 173));
}

TEST_F(ShellTest, PaletteMessagesRealiseABlackPalette) {
    int before = PlatformPalettesRealised();
    EXPECT_EQ(SendMessageA(hwnd, WM_QUERYNEWPALETTE, 0, 0), 1);
    EXPECT_EQ(SendMessageA(hwnd, WM_PALETTECHANGED, 0, 0), 1);
    EXPECT_EQ(SendMessageA(hwnd, WM_PALETTECHANGED, reinterpret_cast<WPARAM>(hwnd), 0), 0);
    EXPECT_EQ(PlatformPalettesRealised(), before + 2);
}

TEST_F(ShellTest, McNotificationsBecomeEvents) {
    SendMessageA(hwnd, MM_MCINOTIFY, 1, 7);
    ASSERT_THAT(Codes(), ElementsAre(170));
    EXPECT_EQ(recorded[0].b, 1);
    EXPECT_EQ(recorded[0].c, 7);
}

TEST(ShellWindow, ProgramFolderEndsWithSeparator) {
    const char* folder = MV2GetProgramFolder();
    size_t n = strlen(folder);
    ASSERT_GT(n, 0u);
    EXPECT_EQ(folder[n - 1], '/');
    EXPECT_EQ(MV2GetProgramFolder(), folder); // cached
}

TEST(ShellWindow, CameraRasterIsKept) {
    NullEngine engine;
    ASSERT_TRUE(engine.ok());
    TvRaster* raster = MV2CreateCameraRaster(320, 240, 16);
    ASSERT_NE(raster, nullptr);
    EXPECT_EQ(gMV2CameraRaster, raster);
    EXPECT_EQ(raster->width, 320);
    EXPECT_EQ(raster->height, 240);
    EXPECT_TRUE(TvRasterDestroy(raster));
    gMV2CameraRaster = nullptr;
}
