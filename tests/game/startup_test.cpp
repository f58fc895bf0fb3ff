#include "engine/core/engine.h"
#include "engine/core/image.h"
#include "platform/ddraw/ddraw_gl.h"
#include "platform/win32/dialog.h"
#include "platform/win32/registry.h"
#include "platform/win32/win32.h"
#include "platform/win32/win32_sdl.h"
#include "platform/winmm/winmm.h"
#include "shell/cursor.h"
#include "shell/enginestart.h"
#include "shell/errors.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/render.h"
#include "shell/window.h"
#include "tests/support/null_device.h"
#include "tests/support/xvfb.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <filesystem>
#include <string>
#include <vector>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {

std::vector<int> g_attached;

template <int N, int Result> int32_t Attach() {
    g_attached.push_back(N);
    return Result;
}

class EngineStartTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = {};
        for (int i = 0; i < kMV2PluginAttaches; ++i)
            saved[size_t(i)] = gMV2PluginAttaches[i];
        g_attached.clear();
        PlatformClearMessageBoxes();
        char tmpl[] = "/tmp/marovant-cfg-XXXXXX";
        config = mkdtemp(tmpl);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        NullDeviceInstall();
    }
    void TearDown() override {
        PlatformSetDialogHook(nullptr);
        MV2EngineStop();
        if (!gMV2EngineStarted) {
            TvEngineStop();
            TvEngineClose();
            TvEngineTerm();
        }
        NullDeviceRemove();
        for (int i = 0; i < kMV2PluginAttaches; ++i)
            gMV2PluginAttaches[i] = saved[size_t(i)];
        PlatformSetVersionPlatformId(1);
        PlatformSetMessageBoxAnswer(0);
        std::filesystem::remove_all(config);
    }
    std::array<MV2PluginAttach, kMV2PluginAttaches> saved;
    std::string config;
};

TEST_F(EngineStartTest, AttachOrderFailureLinesAndTheStartedEngine) {
    gMV2PluginAttaches[0] = {Attach<0, 1>, "zero failed\n"};
    gMV2PluginAttaches[3] = {Attach<3, 0>, "three failed\n"};
    gMV2PluginAttaches[9] = {Attach<9, 0>, "nine failed\n"};
    testing::internal::CaptureStderr();
    // The device is opened with the address of the window handle, which the driver reads.
    HWND window = reinterpret_cast<HWND>(uintptr_t(0x1234));
    ASSERT_EQ(MV2EngineStart(window, nullptr), 1);
    std::string err = testing::internal::GetCapturedStderr();
    ASSERT_NE(NullDeviceGet().openParameter, nullptr);
    EXPECT_EQ(*static_cast<HWND*>(NullDeviceGet().openParameter), window);
    EXPECT_EQ(g_attached, (std::vector<int>{0, 3, 9}));
    EXPECT_NE(err.find("three failed\nnine failed\n"), std::string::npos) << err;
    EXPECT_EQ(gMV2EngineStarted, 1);
    EXPECT_TRUE(PlatformMessageBoxes().empty());
    // Play was answered: both list texts are in the settings, the request is the mode's.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Halvern Studios\\Marovant", 0, KEY_READ,
                            &key),
              ERROR_SUCCESS);
    char text[64] = "";
    DWORD size = sizeof text;
    EXPECT_EQ(RegQueryValueExA(key, "VideoResolution", nullptr, nullptr,
                               reinterpret_cast<LPBYTE>(text), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(text, "640 x 480 x 16");
    RegCloseKey(key);
    EXPECT_EQ(gMV2DisplayRequest.width, 640);
    EXPECT_EQ(gMV2DisplayRequest.flags, 1u);
    MV2EngineStop();
    EXPECT_EQ(gMV2EngineStarted, 0);
    MV2EngineStop(); // nothing started: nothing happens
}

// The start-up chain as one recording: the plug-in attaches, the system warning, the device
// open, the dialog, the mode it chose and the device start; then the image readers.
std::vector<std::string> g_chain;
size_t g_boxesSeen = 0;
std::string g_pictures; // a folder holding pic.bmp and shot.jpg

void Note(const std::string& event) {
    const auto& boxes = PlatformMessageBoxes();
    for (; g_boxesSeen < boxes.size(); ++g_boxesSeen)
        g_chain.push_back("box " + boxes[g_boxesSeen].caption);
    g_chain.push_back(event);
}

// Whether the engine reads the picture's format: its reader is registered.
bool Readable(const char* name) {
    return TvImageFindFileExtension((g_pictures + "/" + name).c_str()) != nullptr;
}

int32_t RecordingControl(int32_t request, void* out, void* in, int32_t number) {
    switch (request) {
    case TV_DEVICE_OPEN: Note("open"); break;
    case TV_DEVICE_SET_VIDEO_MODE: Note("mode " + std::to_string(number)); break;
    case TV_DEVICE_START: Note("start"); break;
    default: break;
    }
    int32_t result = NullDeviceControl(request, out, in, number);
    // The engine's own record keeps this recorder as its device control.
    if (request == TV_DEVICE_GET_ENGINE_DATA && result)
        static_cast<TvDeviceRecord*>(out)->deviceControl = RecordingControl;
    return result;
}

template <int N> int32_t RecordedAttach() {
    Note("attach " + std::to_string(N));
    return 1;
}

TEST_F(EngineStartTest, TheStartUpChainInItsOrder) {
    g_chain.clear();
    g_boxesSeen = 0;
    g_pictures = config;
    for (const char* name : {"pic.bmp", "shot.jpg"})
        std::fclose(std::fopen((config + "/" + name).c_str(), "wb"));
    gMV2PluginAttaches[0].attach = RecordedAttach<0>;
    gMV2PluginAttaches[1].attach = RecordedAttach<1>;
    gMV2PluginAttaches[2].attach = RecordedAttach<2>;
    gMV2PluginAttaches[3].attach = RecordedAttach<3>;
    gMV2PluginAttaches[4].attach = RecordedAttach<4>;
    gMV2PluginAttaches[5].attach = RecordedAttach<5>;
    gMV2PluginAttaches[6].attach = RecordedAttach<6>;
    gMV2PluginAttaches[7].attach = RecordedAttach<7>;
    gMV2PluginAttaches[8].attach = RecordedAttach<8>;
    gMV2PluginAttaches[9].attach = RecordedAttach<9>;
    TvD3DGetDeviceRecord()->deviceControl = RecordingControl;
    NullDeviceGet().modes = {{800, 600, 16, 1}, {640, 480, 16, 1}};
    PlatformSetVersionPlatformId(2);
    PlatformSetMessageBoxAnswer(IDOK);
    PlatformSetDialogHook([](HWND dialog) {
        Note("dialog");
        PlatformDialogChoose(dialog, kMV2ResolutionList, 0);
    });
    EXPECT_EQ(MV2EngineStart(nullptr, nullptr), 1);
    Note("started");
    const std::vector<std::string> expected = {
        "attach 0", "attach 1", "attach 2", "attach 3", "attach 4", "attach 5", "attach 6",
        "attach 7", "attach 8", "attach 9", "box Marovant", "open", "dialog", "mode 0", "start",
        "started"};
    EXPECT_EQ(g_chain, expected);
    // The readers, registered once the engine has started: both formats are read.
    EXPECT_TRUE(Readable("pic"));
    EXPECT_TRUE(Readable("shot"));
    // The dialog's choice is the display request and the 2-D screen scale.
    EXPECT_EQ(gMV2DisplayRequest.width, 800);
    EXPECT_EQ(gMV2DisplayRequest.flags, 1u);
    EXPECT_EQ(gMV2EngineStarted, 1);
}

TEST_F(EngineStartTest, TheSystemWarningGoesOnWithOkAndEndsWithCancel) {
    PlatformSetVersionPlatformId(2);
    PlatformSetMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(MV2EngineStart(nullptr, nullptr), 0);
    ASSERT_EQ(PlatformMessageBoxes().size(), 1u);
    EXPECT_EQ(PlatformMessageBoxes()[0].caption, "Marovant");
    EXPECT_EQ(PlatformMessageBoxes()[0].type, UINT(0x31));
    TvEngineTerm();
    PlatformClearMessageBoxes();
    PlatformSetMessageBoxAnswer(IDOK);
    EXPECT_EQ(MV2EngineStart(nullptr, nullptr), 1);
    EXPECT_EQ(PlatformMessageBoxes().size(), 1u);
}

TEST_F(EngineStartTest, NoDeviceShowsItsBoxAndTheDialogComesBetweenOpenAndStart) {
    int dialogs = 0;
    std::vector<int32_t> atDialog;
    PlatformSetDialogHook([&](HWND) {
        ++dialogs;
        atDialog = NullDeviceGet().requests;
    });
    NullDeviceGet().refused.insert(TV_DEVICE_OPEN);
    EXPECT_EQ(MV2EngineStart(nullptr, nullptr), 0);
    ASSERT_EQ(PlatformMessageBoxes().size(), 1u);
    EXPECT_EQ(PlatformMessageBoxes()[0].text, "No D3D card detected");
    EXPECT_EQ(PlatformMessageBoxes()[0].caption, "Marovant Error");
    EXPECT_EQ(dialogs, 0);
    EXPECT_EQ(gMV2EngineStarted, 0);
    TvEngineTerm();

    // With a device: opened, then the dialog, then started.
    PlatformClearMessageBoxes();
    NullDeviceGet().refused.clear();
    NullDeviceGet().requests.clear();
    ASSERT_EQ(MV2EngineStart(nullptr, nullptr), 1);
    EXPECT_EQ(dialogs, 1);
    auto has = [](const std::vector<int32_t>& v, int32_t r) {
        return std::find(v.begin(), v.end(), r) != v.end();
    };
    EXPECT_TRUE(has(atDialog, TV_DEVICE_OPEN));
    EXPECT_FALSE(has(atDialog, TV_DEVICE_START));
    EXPECT_TRUE(has(NullDeviceGet().requests, TV_DEVICE_START));
    EXPECT_TRUE(PlatformMessageBoxes().empty());
}

TEST_F(EngineStartTest, ExitInTheDialogEndsTheStartWithoutABox) {
    PlatformSetDialogHook([](HWND dialog) { PlatformDialogPress(dialog, kMV2DialogExit); });
    EXPECT_EQ(MV2EngineStart(nullptr, nullptr), 0);
    PlatformSetDialogHook(nullptr);
    EXPECT_EQ(gMV2EngineStarted, 0);
    EXPECT_TRUE(PlatformMessageBoxes().empty());
    const std::vector<int32_t>& requests = NullDeviceGet().requests;
    EXPECT_EQ(std::count(requests.begin(), requests.end(), TV_DEVICE_START), 0);
    // The engine stays open, as a failed start leaves it; the next start finds it closed.
    TvEngineClose();
    TvEngineTerm();
    EXPECT_EQ(MV2EngineStart(nullptr, nullptr), 1);
}

TEST(VideoModes, WindowedRequestsFitLargerModesFullScreenOnlyExact) {
    NullEngine engine;
    ASSERT_TRUE(engine.ok());
    NullDeviceGet().modes = {{800, 600, 16, 0}, {640, 480, 16, 1}, {1024, 768, 32, 1}};
    EXPECT_EQ(MV2FindVideoMode(640, 480, 16, 0), 1);
    EXPECT_EQ(MV2FindVideoMode(640, 480, 32, 0), 0);
    EXPECT_EQ(MV2FindVideoMode(640, 480, 16, 1), 1);
    EXPECT_EQ(MV2FindVideoMode(800, 600, 16, 1), 0);
    EXPECT_EQ(MV2FindVideoMode(1024, 768, 32, 1), 1);
}

// The configuration dialog, driven through the dialog model as a user would.
class ConfigDialogTest : public ::testing::Test {
protected:
    struct Device {
        const char* name;
        std::vector<TvVideoMode> modes;
    };
    static inline std::vector<Device> devices;

    // A driver with the test's rendering sub-systems, each with its own modes.
    static int32_t Control(int32_t request, void* out, void* in, int32_t number) {
        const bool known = number >= 0 && size_t(number) < devices.size();
        switch (request) {
        case TV_DEVICE_GET_NUM_SUBSYSTEMS:
            *static_cast<int32_t*>(out) = int32_t(devices.size());
            return 1;
        case TV_DEVICE_GET_SUBSYSTEM_INFO:
            if (!known) return 0;
            std::snprintf(static_cast<TvSubSystemInfo*>(out)->name, 80, "%s",
                          devices[size_t(number)].name);
            return 1;
        case TV_DEVICE_SET_SUBSYSTEM:
            if (!known) return 0;
            NullDeviceGet().modes = devices[size_t(number)].modes;
            return 1;
        default: return NullDeviceControl(request, out, in, number);
        }
    }

    void SetUp() override {
        ASSERT_TRUE(engine.ok());
        TvEngineInstancePtr->deviceRecord.deviceControl = Control;
        char tmpl[] = "/tmp/marovant-dialog-XXXXXX";
        config = mkdtemp(tmpl);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        gMV2ConfigDialog = {0, 0, -1, nullptr};
        gMV2DisplayRequest = {640, 480, 16, 1};
    }
    void TearDown() override {
        PlatformSetDialogHook(nullptr);
        gMV2ConfigDialog = {0, 0, -1, nullptr};
        gMV2DisplayRequest = {640, 480, 16, 1};
        std::filesystem::remove_all(config);
    }

    // The list's items as "text=data", the selected one marked with '*'.
    static std::vector<std::string> Items(HWND dialog, int id) {
        HWND list = GetDlgItem(dialog, id);
        std::vector<std::string> items;
        const LRESULT count = SendMessageA(list, CB_GETCOUNT, 0, 0);
        const LRESULT selected = SendMessageA(list, CB_GETCURSEL, 0, 0);
        for (LRESULT i = 0; i < count; ++i) {
            char text[128];
            SendMessageA(list, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text));
            items.push_back(std::string(i == selected ? "*" : "") + text + "=" +
                            std::to_string(SendMessageA(list, CB_GETITEMDATA, WPARAM(i), 0)));
        }
        return items;
    }
    static std::string Stored(const char* name) {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Halvern Studios\\Marovant", 0, KEY_READ,
                          &key) != ERROR_SUCCESS)
            return "(no key)";
        char text[600] = "";
        DWORD size = sizeof text, type = 0;
        LONG got =
            RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(text), &size);
        RegCloseKey(key);
        return got != ERROR_SUCCESS ? "(none)" : type != REG_SZ ? "(not a string)" : text;
    }
    static void Store(const char* name, const char* text) {
        HKEY key = nullptr;
        ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Halvern Studios\\Marovant", 0,
                                  nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text),
                       DWORD(strlen(text) + 1));
        RegCloseKey(key);
    }
    // Runs the dialog, the hook acting on it after its initialisation.
    int32_t Run(std::function<void(HWND)> hook) {
        PlatformSetDialogHook(std::move(hook));
        return MV2RunConfigDialog(nullptr, nullptr);
    }

    NullEngine engine;
    std::string config;
};

TEST_F(ConfigDialogTest, ListsOnlyTheClassicFullScreenModesAnd640By768) {
    // Windowed modes and odd sizes never; 640 by 768 passes the size tests one by one.
    devices = {{"Only device",
                {{640, 480, 16, 0},
                 {1280, 1024, 16, 1},
                 {640, 480, 16, 1},
                 {800, 600, 24, 1},
                 {640, 768, 32, 1},
                 {1152, 864, 16, 1},
                 {1024, 768, 16, 1}}}};
    gMV2ConfigDialog.selectedMode = 0; // a windowed mode: 640 x 480 x 16 is chosen instead
    std::vector<std::string> resolutions, deviceItems;
    bool deviceEnabled = true;
    EXPECT_EQ(Run([&](HWND dialog) {
                  resolutions = Items(dialog, kMV2ResolutionList);
                  deviceItems = Items(dialog, kMV2DeviceList);
                  deviceEnabled = IsWindowEnabled(GetDlgItem(dialog, kMV2DeviceList));
                  EXPECT_TRUE(PlatformDialogChoose(dialog, kMV2ResolutionList, 1));
                  EXPECT_EQ(gMV2ConfigDialog.selectedMode, 4);
                  EXPECT_TRUE(PlatformDialogPress(dialog, kMV2DialogExit));
              }),
              0);
    EXPECT_EQ(resolutions, (std::vector<std::string>{"*640 x 480 x 16=2", "640 x 768 x 32=4",
                                                     "1024 x 768 x 16=6"}));
    // A device list of one entry is shown disabled, its item not selected.
    EXPECT_EQ(deviceItems, (std::vector<std::string>{"Only device=0"}));
    EXPECT_FALSE(deviceEnabled);
    // Exit ends the start: nothing is stored, the display request stays.
    EXPECT_EQ(Stored("VideoResolution"), "(no key)");
    EXPECT_EQ(gMV2DisplayRequest.width, 640);
    EXPECT_EQ(gMV2DisplayRequest.height, 480);
}

TEST_F(ConfigDialogTest, StoredTextsMatchIgnoringCaseAndPlayWritesBothStrings) {
    devices = {{"Fast Device", {{640, 480, 16, 1}, {800, 600, 16, 1}}},
               {"Soft Device", {{640, 480, 16, 1}, {800, 600, 32, 1}, {1024, 768, 16, 1}}}};
    Store("VideoDriverName", "SOFT device");
    Store("VideoResolution", "1024 X 768 X 16");
    std::vector<std::string> deviceItems, resolutions;
    EXPECT_EQ(Run([&](HWND dialog) {
                  deviceItems = Items(dialog, kMV2DeviceList);
                  resolutions = Items(dialog, kMV2ResolutionList);
              }),
              1);
    EXPECT_EQ(deviceItems, (std::vector<std::string>{"Fast Device=0", "*Soft Device=1"}));
    EXPECT_EQ(resolutions, (std::vector<std::string>{"640 x 480 x 16=0", "800 x 600 x 32=1",
                                                     "*1024 x 768 x 16=2"}));
    EXPECT_EQ(gMV2ConfigDialog.currentSubsystem, 1);
    // Play: the list texts as they are listed, and the chosen mode is the full-screen request.
    EXPECT_EQ(Stored("VideoDriverName"), "Soft Device");
    EXPECT_EQ(Stored("VideoResolution"), "1024 x 768 x 16");
    EXPECT_EQ(gMV2DisplayRequest.width, 1024);
    EXPECT_EQ(gMV2DisplayRequest.height, 768);
    EXPECT_EQ(gMV2DisplayRequest.depth, 16);
    EXPECT_EQ(gMV2DisplayRequest.flags, 1u);
    EXPECT_EQ(NullDeviceGet().currentMode, 2);
}

TEST_F(ConfigDialogTest, ChangingTheDeviceDiscardsTheResolutionChoice) {
    devices = {{"Fast Device", {{640, 480, 16, 1}, {800, 600, 16, 1}, {1024, 768, 16, 1}}},
               {"Soft Device", {{800, 600, 32, 1}, {640, 480, 16, 1}}}};
    std::vector<std::string> resolutions;
    EXPECT_EQ(Run([&](HWND dialog) {
                  EXPECT_TRUE(PlatformDialogChoose(dialog, kMV2ResolutionList, 2));
                  EXPECT_EQ(gMV2ConfigDialog.selectedMode, 2);
                  EXPECT_TRUE(PlatformDialogChoose(dialog, kMV2DeviceList, 1));
                  resolutions = Items(dialog, kMV2ResolutionList);
              }),
              1);
    EXPECT_EQ(resolutions, (std::vector<std::string>{"*800 x 600 x 32=0", "640 x 480 x 16=1"}));
    EXPECT_EQ(gMV2DisplayRequest.width, 800);
    EXPECT_EQ(gMV2DisplayRequest.depth, 32);
    EXPECT_EQ(Stored("VideoDriverName"), "Soft Device");
    EXPECT_EQ(Stored("VideoResolution"), "800 x 600 x 32");
    // The choice of device holds for the next run of the dialog in the process.
    EXPECT_EQ(gMV2ConfigDialog.currentSubsystem, 1);
}

// ---- On a real display ----

// Run by ClickingPlayOnARealDisplay in a process of its own on the Xvfb display: the dialog
// is shown over a game window whose OpenGL context is current, and Play is clicked by the
// parent.
TEST_F(ConfigDialogTest, OnDisplayChild) {
    const char* settings = getenv("MAROVANT_DIALOG_CONFIG");
    if (!settings) GTEST_SKIP() << "run by the display test";
    setenv("XDG_CONFIG_HOME", settings, 1); // the parent's settings folder
    devices = {{"Fast Device", {{640, 480, 16, 1}, {800, 600, 16, 1}}},
               {"Soft Device", {{1024, 768, 32, 1}}}};
    gMV2ConfigDialog.currentSubsystem = 1;
    WNDCLASSA wc{};
    wc.lpfnWndProc = DefWindowProcA;
    wc.lpszClassName = "DialogTestGame";
    RegisterClassA(&wc);
    HWND game = CreateWindowExA(0, "DialogTestGame", "game", WS_POPUP, 0, 0, 64, 64, nullptr,
                                nullptr, nullptr, nullptr);
    ShowWindow(game, SW_SHOW);
    ASSERT_TRUE(DDrawGlAcquire(game)) << SDL_GetError();
    SDL_GLContext context = SDL_GL_GetCurrentContext();
    ASSERT_NE(context, nullptr);
    EXPECT_EQ(MV2RunConfigDialog(nullptr, nullptr), 1);
    EXPECT_EQ(SDL_GL_GetCurrentContext(), context);
    EXPECT_EQ(SDL_GL_GetCurrentWindow(), Win32SdlWindow(game));
    EXPECT_EQ(gMV2DisplayRequest.width, 1024);
    DDrawGlRelease();
    DestroyWindow(game);
}

// The dialog on an Xvfb screen, Play pressed with a real mouse click (xdotool); skipped when
// Xvfb cannot start.
TEST_F(ConfigDialogTest, ClickingPlayOnARealDisplay) {
    if (std::system("command -v Xvfb >/dev/null 2>&1 && command -v xdotool >/dev/null 2>&1"))
        GTEST_SKIP() << "Xvfb or xdotool missing";
    XvfbServer server("1024x768x24");
    const std::string& display = server.Display();
    const bool up = server.Running();
    const std::string x = "DISPLAY=" + display + " xdotool ";
    auto output = [](const std::string& command) {
        std::string out;
        if (FILE* p = popen(command.c_str(), "r")) {
            char line[256];
            while (fgets(line, sizeof line, p))
                out += line;
            pclose(p);
        }
        return out;
    };
    if (up) {
        char self[4096] = {};
        ASSERT_GT(readlink("/proc/self/exe", self, sizeof self - 1), 0);
        const pid_t child = fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            // The X11 libraries SDL loads keep memory of their own until exit.
            setenv("DISPLAY", display.c_str(), 1);
            setenv("SDL_VIDEODRIVER", "x11", 1);
            setenv("MAROVANT_DIALOG_CONFIG", config.c_str(), 1);
            setenv("ASAN_OPTIONS", "detect_leaks=0", 1);
            execl(self, self, "--gtest_filter=ConfigDialogTest.OnDisplayChild",
                  static_cast<char*>(nullptr));
            _exit(127);
        }
        // The dialog's window, by its caption, once it is on the screen.
        std::string window;
        for (int i = 0; i < 200 && window.empty(); ++i) {
            usleep(100000);
            window = output(x + "search --onlyvisible --name 'Marovant\\(TM\\)  Configuration' "
                                "2>/dev/null | head -1");
            if (!window.empty()) window.pop_back();
        }
        EXPECT_FALSE(window.empty()) << "the dialog never showed";
        if (!window.empty()) {
            // The dialog's size and the middle of Play, from the template's dialog units.
            const PlatformDialogTemplate units{"", "MS Sans Serif", 8, 280, 143, {}};
            const RECT size = PlatformDialogUnitsToPixels(units, {0, 0, 280, 143});
            const RECT play = PlatformDialogUnitsToPixels(units, {64, 119, 64 + 66, 119 + 17});
            const std::string geometry = output(x + "getwindowgeometry --shell " + window);
            EXPECT_NE(geometry.find("WIDTH=" + std::to_string(size.right) +
                                    "\nHEIGHT=" + std::to_string(size.bottom)),
                      std::string::npos)
                << geometry;
            const std::string at = std::to_string((play.left + play.right) / 2) + " " +
                                   std::to_string((play.top + play.bottom) / 2);
            usleep(300000); // a few frames drawn
            std::system((x + "mousemove --window " + window + " " + at).c_str());
            usleep(300000);
            std::system((x + "mousedown 1").c_str());
            usleep(100000);
            std::system((x + "mouseup 1").c_str());
        }
        int status = -1;
        for (int i = 0; i < 300 && waitpid(child, &status, WNOHANG) == 0; ++i)
            usleep(100000);
        if (status == -1) {
            kill(child, SIGKILL);
            waitpid(child, &status, 0);
            ADD_FAILURE() << "the dialog did not end after the click";
        } else {
            EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0)
                << "the child's checks: see the output above";
            EXPECT_EQ(Stored("VideoDriverName"), "Soft Device");
            EXPECT_EQ(Stored("VideoResolution"), "1024 x 768 x 32");
        }
    }
    if (!up) GTEST_SKIP() << "Xvfb did not start";
}

class StateMachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformUseManualClock(true, 1000);
        PlatformClearMessageBoxes();
        MV2ResetMouseCursor();
        gMV2StateMachine.cameraReturn = gMV2StateMachine.consoleReturn = 0;
    }
    void TearDown() override {
        gMV2GameState = {0, 0, 0, -1};
        gMV2GameStateCompanion.requestedSequence = 0;
        MV2ResetMouseCursor();
        PlatformUseManualClock(false);
        gMV2StateMachine.passes = 0;
    }
    void Switch(int8_t from, int8_t to) {
        gMV2GameState.current = from;
        gMV2GameState.requested = to;
        MV2SetGameMode();
    }
    NullEngine engine;
};

TEST_F(StateMachineTest, LeaveAndEnterCases) {
    struct Case {
        int8_t from, to;
        int32_t cameraReturn;
        bool consoleEntered; // the cursor is shown and the mode is 9 at once
    } cases[] = {{0, 9, 0, true}, {9, 10, 0, false}, {10, 9, 0, false}, {10, 9, 1, false},
                 {8, 9, 0, true}};
    for (const Case& c : cases) {
        MV2ResetMouseCursor();
        gMV2StateMachine.cameraReturn = c.cameraReturn;
        Switch(c.from, c.to);
        EXPECT_EQ(MV2IsMouseCursorShown(), c.consoleEntered) << int(c.from) << "->" << int(c.to);
    }
    // Mode 0 from 1 or 12: no enter actions (the cursor is not hidden).
    for (int8_t from : {1, 12}) {
        MV2ResetMouseCursor();
        MV2ShowMouseCursor();
        MV2ShowMouseCursor();
        Switch(from, 0);
        EXPECT_EQ(gMV2MouseCursor.showCount, from == 1 ? 1 : 2) << int(from);
    }
    // Mode 14 with a level that cannot start.
    Switch(8, 14);
    ASSERT_EQ(PlatformMessageBoxes().size(), 1u);
    EXPECT_EQ(PlatformMessageBoxes()[0].text, "Couldn't start a one player game");
}

TEST_F(StateMachineTest, SequenceZeroWaitsFromTheSecondPassAndSixFallsBackToZero) {
    gMV2GameState = {8, 0, 8, 0};
    gMV2GameStateCompanion.requestedSequence = 0;
    gMV2StateMachine.passes = 0;
    MV2UpdateGameState();
    PlatformAdvanceClock(500);
    MV2UpdateGameState(); // the second pass notes the start
    PlatformAdvanceClock(3000);
    MV2UpdateGameState();
    EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 0);
    PlatformAdvanceClock(1);
    MV2UpdateGameState();
    EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 1);
    EXPECT_EQ(gMV2GameState.requested, 11);

    gMV2GameState.sequence = 6;
    gMV2GameStateCompanion.requestedSequence = 6;
    gMV2StateMachine.passes = 0;
    for (int i = 0; i < 600; ++i)
        MV2UpdateGameState();
    EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 6);
    MV2UpdateGameState();
    EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 0);
    EXPECT_EQ(gMV2GameState.requested, 8);
    EXPECT_EQ(MV2GetMissionObjectA(), nullptr);
}

TEST(CommandLine, WordsAndFlags) {
    struct Case {
        const char* line;
        int32_t editing, rebuild;
        int messages;
    } cases[] = {
        {"-EDIT", 1, 0, 0},          {"-edits", 0, 0, 1},        {"-ed", 0, 0, 1},
        {"-data", 0, 1, 0},          {"edit data", 0, 0, 0},     {"-mouse -utalk", 0, 0, 1},
        {"\"-a b\" -edit", 1, 0, 1}, {"--edit", 1, 0, 0},        {"-x-edit", 1, 0, 0},
        {"", 0, 0, 0},
    };
    for (const Case& c : cases) {
        gMV2MainLoop.editing = gMV2MainLoop.dataRebuild = 0;
        testing::internal::CaptureStderr();
        MV2ParseCommandLine(c.line);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.substr(0, std::string(c.line).size() + 1), std::string(c.line) + "\n");
        int messages = 0;
        for (size_t at = 0; (at = err.find("Unrecognised command line option\n", at)) !=
                            std::string::npos;
             ++at)
            ++messages;
        EXPECT_EQ(gMV2MainLoop.editing, c.editing) << c.line;
        EXPECT_EQ(gMV2MainLoop.dataRebuild, c.rebuild) << c.line;
        EXPECT_EQ(messages, c.messages) << c.line;
    }
    gMV2MainLoop.editing = gMV2MainLoop.dataRebuild = 0;
}

TEST(FarClip, OneKeepsTheDerivedValuesFinite) {
    MV2StoreFarClip(1.0f);
    EXPECT_EQ(gMV2FarClip.inverseMinusOne, 0.0f);
    EXPECT_EQ(gMV2FarClip.minusOneSquared, 0.0f);
    MV2StoreFarClip(30.0f);
    EXPECT_FLOAT_EQ(gMV2FarClip.inverseMinusOne, 1.0f / 29.0f);
}

} // namespace

namespace {

TEST(ClosingPicture, AKeyInTheFirstSevenSecondsEndsItNotInTheLastThree) {
    PlatformUseManualClock(true, 50000);
    gMV2Window.quitSeen = 0;
    struct Case {
        uint32_t keyAt; // ms after the start; 0: no key
        uint32_t endsAt;
    } cases[] = {{1000, 1000}, {6900, 6900}, {7500, 10000}, {0, 10000}};
    for (const Case& c : cases) {
        uint32_t start = timeGetTime(), end = start + 10000, key = 0;
        gMV2Window.lastKey = 0;
        uint32_t at = 0;
        while (MV2ClosingPicturePass(nullptr, end, &key)) {
            PlatformAdvanceClock(100);
            at = timeGetTime() - start;
            if (c.keyAt && at == c.keyAt) gMV2Window.lastKey = 0x1C;
            ASSERT_LE(at, 10100u);
        }
        EXPECT_EQ(timeGetTime() - start, c.endsAt) << c.keyAt;
    }
    gMV2Window.lastKey = 0;
    PlatformUseManualClock(false);
}

} // namespace

namespace {

TEST(SceneLight, BrightnessBetweenFloorAndSurfaceWithinItsBounds) {
    struct Case {
        float height, floor, surface, day, expected;
    } cases[] = {
        {50, 0, 100, 1.0f, 0.5f}, {100, 0, 100, 0.5f, 0.5f}, {0, 0, 100, 1.0f, 0.2f},
        {300, 0, 100, 1.0f, 1.0f}, {7, 5, 5, 1.0f, 1.0f}, // a surface on the floor: full
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(MV2SceneBrightness(c.height, c.floor, c.surface, c.day), c.expected)
            << c.height << " " << c.floor << " " << c.surface;
}

} // namespace

namespace {

TEST(SceneLight, ClearColourBrightnessAndLightColoursByMode) {
    struct Case {
        int32_t mode;
        bool main;
        float previous, height;
        bool cockpit;
        uint8_t red, green, blue;
        float brightness, ambient[3], light;
    } cases[] = {
        // The console: a fixed green-grey, no light.
        {9, true, 0.7f, 50, false, 24, 40, 24, 0.0f, {0, 0, 0}, 0.0f},
        // Modes 1, 6 and 15 through the main camera: black; 6 and 15 fully lit.
        {6, true, 0.3f, 50, false, 0, 0, 0, 1.0f, {0.25f, 0.25f, 0.25f}, 1.0f},
        {1, true, 0.3f, 50, false, 0, 0, 0, 0.3f, {0.075f, 0.075f, 0.075f}, 0.3f},
        // Play: the fog follows the brightness of the frame before, the light the new one.
        {0, true, 1.0f, 50, false, 16, 76, 232, 0.5f, {0.125f, 0.125f, 0.125f}, 0.5f},
        {0, true, 0.5f, 100, false, 8, 36, 112, 1.0f, {0.25f, 0.25f, 0.25f}, 1.0f},
        // Mode 15 through another camera: full brightness for the fog, then the depth.
        {15, false, 0.2f, 0, false, 16, 76, 232, 0.2f, {0.05f, 0.05f, 0.05f}, 0.2f},
        // The type-167 craft from its cockpit sees a blue-green ambient.
        {0, true, 1.0f, 100, true, 16, 76, 232, 1.0f, {0, 0.25f * 0.5764706f, 0.25f * 0.8156863f},
         1.0f},
    };
    for (const Case& c : cases) {
        MV2SceneLightInput in = {c.mode, c.main, c.height, 0.0f, 100.0f, 1.0f, c.cockpit};
        MV2SceneLight out = MV2SceneLightColours(in, c.previous);
        EXPECT_EQ(out.clear.red, c.red) << c.mode << " " << c.previous;
        EXPECT_EQ(out.clear.green, c.green) << c.mode << " " << c.previous;
        EXPECT_EQ(out.clear.blue, c.blue) << c.mode << " " << c.previous;
        EXPECT_EQ(out.clear.alpha, 255) << c.mode;
        EXPECT_FLOAT_EQ(out.brightness, c.brightness) << c.mode << " " << c.previous;
        for (int i = 0; i < 3; ++i) EXPECT_FLOAT_EQ(out.ambient[i], c.ambient[i]) << c.mode;
        EXPECT_FLOAT_EQ(out.light, c.light) << c.mode;
    }
}

} // namespace
