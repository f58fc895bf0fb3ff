#include "platform/win32/win32_sdl.h"

#include <gtest/gtest.h>

#include "platform/win32/registry.h"

#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {
std::vector<MSG> g_seen;

LRESULT Recorder(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    g_seen.push_back(MSG{hwnd, message, wParam, lParam, 0, {0, 0}});
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

class Win32Test : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformResetWindows();
        g_seen.clear();
        WNDCLASSA wc{};
        wc.lpfnWndProc = Recorder;
        wc.lpszClassName = "TestClass";
        ASSERT_NE(RegisterClassA(&wc), 0);
        hwnd = CreateWindowExA(0, "TestClass", "t", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                               nullptr, nullptr);
        ASSERT_NE(hwnd, nullptr);
        g_seen.clear();
    }
    void TearDown() override { PlatformResetWindows(); }

    // Pushes an SDL key event and returns the window messages it became.
    std::vector<MSG> KeyMessages(SDL_Scancode code, Uint16 mod, bool down, bool repeat = false) {
        SDL_Event e{};
        e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
        e.key.windowID = SDL_GetWindowID(Win32SdlWindow(hwnd));
        e.key.keysym.scancode = code;
        e.key.keysym.mod = mod;
        e.key.repeat = repeat;
        SDL_PushEvent(&e);
        std::vector<MSG> out;
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE))
            if (m.message != WM_PAINT) out.push_back(m);
        return out;
    }

    HWND hwnd = nullptr;
};
} // namespace

TEST(Win32Mutex, NamedMutexIsExclusiveUntilClosed) {
    char tmpl[] = "/tmp/marovant-mutex-XXXXXX";
    setenv("XDG_RUNTIME_DIR", mkdtemp(tmpl), 1);
    HANDLE first = CreateMutexA(nullptr, TRUE, "Test\\Mutex");
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    HANDLE second = CreateMutexA(nullptr, TRUE, "Test\\Mutex");
    ASSERT_NE(second, nullptr);
    EXPECT_EQ(GetLastError(), ERROR_ALREADY_EXISTS);
    EXPECT_EQ(ReleaseMutex(second), FALSE); // never owned
    EXPECT_EQ(CloseHandle(second), TRUE);
    EXPECT_EQ(ReleaseMutex(first), TRUE);
    EXPECT_EQ(CloseHandle(first), TRUE);
    EXPECT_EQ(CloseHandle(first), FALSE); // a closed handle is not trusted again
    EXPECT_EQ(GetLastError(), ERROR_INVALID_HANDLE);
    HANDLE again = CreateMutexA(nullptr, TRUE, "Test\\Mutex");
    EXPECT_EQ(GetLastError(), ERROR_SUCCESS);
    CloseHandle(again);
}

TEST(Win32Mutex, UnusableFoldersFallBackToPerUserOnes) {
    char tmpl[] = "/tmp/marovant-mutex-XXXXXX";
    std::string root = mkdtemp(tmpl);
    std::string settings = root + "/config/marovant";
    std::string inTmp = "/tmp/marovant-" + std::to_string(geteuid()) + "-Fallback_Test.lock";
    std::filesystem::remove_all(inTmp);
    std::ofstream(root + "/plain") << "x";
    const char* runtime = getenv("XDG_RUNTIME_DIR");
    std::string savedRuntime = runtime ? runtime : "";
    setenv("XDG_RUNTIME_DIR", (root + "/missing").c_str(), 1);
    struct Case {
        const char* what;
        std::string settingsFile;
        bool tmpUsable;
        std::string lockFile; // empty: no lock at all
    } cases[] = {
        {"settings folder", settings + "/settings.reg", true,
         settings + "/marovant-Fallback_Test.lock"},
        {"per-user name in /tmp", root + "/plain/settings.reg", true, inTmp},
        {"nowhere", root + "/plain/settings.reg", false, ""},
    };
    for (const Case& c : cases) {
        PlatformSetRegistryFile(c.settingsFile);
        if (!c.tmpUsable) std::filesystem::create_directory(inTmp); // a folder holds no lock
        testing::internal::CaptureStderr();
        HANDLE first = CreateMutexA(nullptr, TRUE, "Fallback\\Test");
        DWORD firstError = GetLastError();
        HANDLE second = CreateMutexA(nullptr, TRUE, "Fallback\\Test");
        DWORD secondError = GetLastError();
        std::string warnings = testing::internal::GetCapturedStderr();
        EXPECT_NE(first, nullptr) << c.what;
        EXPECT_EQ(firstError, ERROR_SUCCESS) << c.what;
        if (c.lockFile.empty()) {
            EXPECT_EQ(secondError, ERROR_SUCCESS) << c.what; // both start, with a warning
            EXPECT_NE(warnings.find("Warning: no folder can hold the lock"), std::string::npos);
        } else {
            EXPECT_EQ(secondError, ERROR_ALREADY_EXISTS) << c.what;
            EXPECT_TRUE(std::filesystem::is_regular_file(c.lockFile)) << c.what;
            EXPECT_EQ(warnings, "") << c.what;
        }
        CloseHandle(second);
        CloseHandle(first);
        std::filesystem::remove_all(inTmp);
    }
    PlatformSetRegistryFile("");
    if (runtime)
        setenv("XDG_RUNTIME_DIR", savedRuntime.c_str(), 1);
    else
        unsetenv("XDG_RUNTIME_DIR");
    std::filesystem::remove_all(root);
}

TEST(Win32MessageBox, HeadlessBoxesReturnTheirDefaultButton) {
    PlatformClearMessageBoxes();
    struct Case {
        UINT type;
        int result;
    } cases[] = {{MB_OK, IDOK},
                 {MB_OKCANCEL | MB_ICONEXCLAMATION, IDOK},
                 {MB_OKCANCEL | MB_DEFBUTTON2, IDCANCEL},
                 {MB_YESNO, IDYES},
                 {MB_YESNO | MB_DEFBUTTON2, IDNO},
                 {MB_YESNOCANCEL | MB_DEFBUTTON3, IDCANCEL},
                 {MB_RETRYCANCEL, IDRETRY},
                 {MB_ABORTRETRYIGNORE | MB_DEFBUTTON3, IDIGNORE},
                 {MB_OK | MB_DEFBUTTON3, IDOK}};
    for (const Case& c : cases) EXPECT_EQ(MessageBoxA(nullptr, "text", "caption", c.type), c.result);
    ASSERT_EQ(PlatformMessageBoxes().size(), std::size(cases));
    EXPECT_EQ(PlatformMessageBoxes()[0].text, "text");
    EXPECT_EQ(PlatformMessageBoxes()[0].caption, "caption");
    EXPECT_TRUE(PlatformIsHeadless());
}

TEST_F(Win32Test, QuitSignalEndsAnOpenBoxWithItsCancelAnswer) {
    // A box that stays up until released, or for ten seconds at most.
    struct Box {
        std::mutex lock;
        std::condition_variable released;
        bool free = false, shown = false;
    };
    auto box = std::make_shared<Box>();
    auto show = [box] {
        std::unique_lock<std::mutex> hold(box->lock);
        box->shown = true;
        box->released.wait_for(hold, std::chrono::seconds(10), [&] { return box->free; });
        return IDOK;
    };
    std::thread signaller([] {
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        kill(getpid(), SIGTERM);
    });
    int answer = Win32RunBox(show, IDCANCEL);
    signaller.join();
    EXPECT_EQ(answer, IDCANCEL);
    {
        std::lock_guard<std::mutex> hold(box->lock);
        EXPECT_TRUE(box->shown);
        box->free = true;
        box->released.notify_all();
    }
    // The request stays pending: a second box answers at once without showing, and the
    // pump then asks the top-level window to close.
    bool shownAgain = false;
    EXPECT_EQ(Win32RunBox([&] { return shownAgain = true, IDOK; }, IDNO), IDNO);
    EXPECT_FALSE(shownAgain);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_CLOSE);
    EXPECT_EQ(m.hwnd, hwnd);
    EXPECT_FALSE(Win32QuitRequested());
    // Without a request the box's own answer comes back.
    EXPECT_EQ(Win32RunBox([] { return IDRETRY; }, IDCANCEL), IDRETRY);
}

TEST_F(Win32Test, QueueKeepsOrderAndQuitComesLast) {
    PostQuitMessage(3);
    PostMessageA(hwnd, WM_USER, 1, 0);
    PostMessageA(nullptr, WM_USER + 1, 2, 0);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_USER + 1, WM_USER + 1, PM_NOREMOVE));
    EXPECT_EQ(m.wParam, 2u);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_USER);
    EXPECT_EQ(DispatchMessageA(&m), 0);
    ASSERT_EQ(g_seen.size(), 1u);
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_USER + 1u);
    EXPECT_EQ(DispatchMessageA(&m), 0); // thread messages have no window
    ASSERT_TRUE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_EQ(m.message, WM_QUIT);
    EXPECT_EQ(m.wParam, 3u);
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(PostMessageA(reinterpret_cast<HWND>(&m), WM_USER, 0, 0)); // not a window
}

TEST_F(Win32Test, DestroyRemovesTheWindowAndItsMessages) {
    PostMessageA(hwnd, WM_USER, 0, 0);
    EXPECT_TRUE(DestroyWindow(hwnd));
    ASSERT_EQ(g_seen.back().message, WM_DESTROY);
    MSG m;
    EXPECT_FALSE(PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE));
    EXPECT_FALSE(IsWindow(hwnd));
    EXPECT_FALSE(DestroyWindow(hwnd));
    EXPECT_EQ(SendMessageA(hwnd, WM_USER, 0, 0), 0);
}

TEST_F(Win32Test, KeysBecomeSetOneScanCodes) {
    ASSERT_TRUE(Win32EnsureVideo());
    struct Case {
        SDL_Scancode code;
        Uint16 mod;
        UINT message;
        uint32_t scan;
        bool extended;
    } cases[] = {
        {SDL_SCANCODE_A, 0, WM_KEYDOWN, 0x1E, false},
        {SDL_SCANCODE_UP, 0, WM_KEYDOWN, 0x48, true},
        {SDL_SCANCODE_KP_8, 0, WM_KEYDOWN, 0x48, false},
        {SDL_SCANCODE_RCTRL, 0, WM_KEYDOWN, 0x1D, true},
        {SDL_SCANCODE_NONUSBACKSLASH, 0, WM_KEYDOWN, 0x56, false},
        {SDL_SCANCODE_NUMLOCKCLEAR, 0, WM_KEYDOWN, 0x45, true},
        {SDL_SCANCODE_PAUSE, 0, WM_KEYDOWN, 0x45, false},
        {SDL_SCANCODE_X, KMOD_LALT, WM_SYSKEYDOWN, 0x2D, false},
        {SDL_SCANCODE_F10, 0, WM_SYSKEYDOWN, 0x44, false},
        {SDL_SCANCODE_LALT, 0, WM_SYSKEYDOWN, 0x38, false},
    };
    for (const Case& c : cases) {
        std::vector<MSG> msgs = KeyMessages(c.code, c.mod, true);
        ASSERT_EQ(msgs.size(), 1u) << c.code;
        EXPECT_EQ(msgs[0].message, c.message) << c.code;
        uint32_t lp = static_cast<uint32_t>(msgs[0].lParam);
        EXPECT_EQ((lp >> 16) & 0xFF, c.scan) << c.code;
        EXPECT_EQ((lp >> 24) & 1, c.extended ? 1u : 0u) << c.code;
    }
    std::vector<MSG> up = KeyMessages(SDL_SCANCODE_A, 0, false);
    ASSERT_EQ(up.size(), 1u);
    EXPECT_EQ(up[0].message, WM_KEYUP);
    EXPECT_EQ(static_cast<uint32_t>(up[0].lParam) >> 30, 3u);
    std::vector<MSG> repeat = KeyMessages(SDL_SCANCODE_A, 0, true, true);
    ASSERT_EQ(repeat.size(), 1u);
    EXPECT_EQ((static_cast<uint32_t>(repeat[0].lParam) >> 30) & 1, 1u);
}

TEST_F(Win32Test, DropQueriesRespectTheBuffer) {
    ASSERT_TRUE(Win32EnsureVideo());
    DragAcceptFiles(hwnd, TRUE);
    uint32_t id = SDL_GetWindowID(Win32SdlWindow(hwnd));
    SDL_Event e{};
    e.type = SDL_DROPFILE;
    e.drop.windowID = id;
    e.drop.file = SDL_strdup("/data/LONGNAME.SAV");
    SDL_PushEvent(&e);
    e = SDL_Event{};
    e.type = SDL_DROPCOMPLETE;
    e.drop.windowID = id;
    SDL_PushEvent(&e);
    MSG m;
    ASSERT_TRUE(PeekMessageA(&m, nullptr, WM_DROPFILES, WM_DROPFILES, PM_REMOVE));
    HDROP drop = reinterpret_cast<HDROP>(m.wParam);
    EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0), 1u);
    EXPECT_EQ(DragQueryFileA(drop, 0, nullptr, 0), 18u);
    char small[8];
    memset(small, 'x', sizeof(small));
    EXPECT_EQ(DragQueryFileA(drop, 0, small, sizeof(small)), 7u);
    EXPECT_STREQ(small, "/data/L");
    EXPECT_EQ(DragQueryFileA(drop, 1, small, sizeof(small)), 0u);
    DragFinish(drop);
    EXPECT_EQ(DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0), 0u); // finished drops are gone
}

TEST_F(Win32Test, FocusMessagesFollowSetFocus) {
    EXPECT_EQ(SetFocus(hwnd), nullptr);
    ASSERT_GE(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[0].message, WM_ACTIVATE);
    EXPECT_EQ(g_seen[1].message, WM_SETFOCUS);
    EXPECT_EQ(GetFocus(), hwnd);
    g_seen.clear();
    EXPECT_EQ(SetFocus(hwnd), hwnd); // no change, no messages
    EXPECT_TRUE(g_seen.empty());
    SetFocus(nullptr);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].message, WM_KILLFOCUS);
}

TEST(Win32System, KeyboardLayoutFollowsTheLocale) {
    const char* saved = getenv("LC_ALL");
    std::string keep = saved ? saved : "";
    struct Case {
        const char* locale;
        WORD lang;
    } cases[] = {{"de_DE.UTF-8", 1031}, {"en_US.UTF-8", 1033}, {"fr_FR", 1036},
                 {"it_IT", 1040},       {"en_GB.UTF-8", 2057}, {"C", 2057}};
    for (const Case& c : cases) {
        setenv("LC_ALL", c.locale, 1);
        EXPECT_EQ(LOWORD(GetKeyboardLayout(0)), c.lang) << c.locale;
    }
    if (saved)
        setenv("LC_ALL", keep.c_str(), 1);
    else
        unsetenv("LC_ALL");
}

TEST(Win32System, ModuleFileNameIsCutAndTerminated) {
    char full[512];
    DWORD n = GetModuleFileNameA(nullptr, full, sizeof(full));
    ASSERT_GT(n, 4u);
    EXPECT_EQ(strlen(full), n);
    char cut[5];
    EXPECT_EQ(GetModuleFileNameA(nullptr, cut, sizeof(cut)), 4u);
    EXPECT_EQ(strncmp(cut, full, 4), 0);
    EXPECT_EQ(cut[4], '\0');
}

TEST_F(Win32Test, SystemControlsAreChildrenDestroyedWithTheirParent) {
    HWND bar = CreateWindowExA(0, "msctls_progress32", "", WS_CHILD | WS_VISIBLE, 0, 0, 10, 10,
                               hwnd, nullptr, nullptr, nullptr);
    HWND text = CreateWindowExA(0, "static", "", WS_CHILD, 0, 0, 10, 10, hwnd, nullptr, nullptr,
                                nullptr);
    ASSERT_NE(bar, nullptr);
    ASSERT_NE(text, nullptr);
    EXPECT_EQ(Win32SdlWindow(bar), nullptr); // drawn inside the parent, no window of its own
    EXPECT_EQ(CreateWindowExA(0, "NoSuchClass", "", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr,
                              nullptr),
              nullptr);
    DestroyWindow(hwnd);
    EXPECT_FALSE(IsWindow(bar));
    EXPECT_FALSE(IsWindow(text));
}
