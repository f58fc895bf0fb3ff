#include "framework/core/memory.h"
#include "framework/core/winos.h"
#include "framework/streams/stdinput.h"
#include "platform/win32/machine.h"
#include "platform/win32/registry.h"
#include "tests/framework/framework_fixture.h"

#include <cstring>
#include <filesystem>
#include <cstdio>
#include <string>
#include <unistd.h>
#include <vector>

namespace {

std::vector<int> g_calls;
int g_consumer = -1;

template <int N> LRESULT Hook(HWND, UINT, WPARAM, LPARAM) {
    g_calls.push_back(N);
    return g_consumer == N ? 0 : 1;
}

std::vector<UINT> g_seen;
LRESULT Recorder(HWND, UINT message, WPARAM, LPARAM) {
    if (message >= WM_USER) g_seen.push_back(message);
    return 1;
}

class WinOSTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        app = Create<IVkWinOSApp>(CLSID_VkWinOS, IID_IVkWinOSApp);
        ASSERT_NE(app, nullptr);
        void* os = nullptr;
        ASSERT_EQ(app->QueryInterface(IID_IVkWinOS, &os), VK_OK);
        winOS = static_cast<IVkWinOS*>(os);
        // A class name of our own, so that other test runs never hold our mutex.
        className = "Vesk5 Test " + std::to_string(getpid());
        app->SetClassName(className.c_str());
        PlatformClearMessageBoxes();
        g_calls.clear();
        g_seen.clear();
        g_consumer = -1;
    }
    void TearDown() override {
        VkMemSetFailAllocations(false);
        winOS->Release();
        EXPECT_EQ(app->Release(), 0u);
        PlatformResetWindows();
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        }
        FrameworkTest::TearDown();
    }

    IVkWinOSApp* app = nullptr;
    IVkWinOS* winOS = nullptr;
    std::string className;
};

TEST_F(WinOSTest, HooksRunInOrderAndTheFirstConsumerEndsHandling) {
    EXPECT_EQ(app->AddMessageHook(Hook<1>), 0);
    EXPECT_EQ(app->AddMessageHook(Hook<2>), 1);
    EXPECT_EQ(app->AddMessageHook(Hook<3>), 2);
    EXPECT_EQ(app->AddMessageHook(Hook<2>), VK_E_FAIL);
    EXPECT_EQ(app->RemoveMessageHook(Hook<2>), VK_OK);
    EXPECT_EQ(app->RemoveMessageHook(Hook<2>), VK_E_FAIL);
    EXPECT_EQ(app->AddMessageHook(Hook<4>), 2);

    g_consumer = 3;
    EXPECT_EQ(app->WindowProcedure(nullptr, WM_CLOSE, 0, 0), 0);
    EXPECT_EQ(g_calls, (std::vector<int>{1, 3}));
    g_calls.clear();
    g_consumer = -1;
    app->WindowProcedure(nullptr, WM_USER + 9, 0, 0);
    EXPECT_EQ(g_calls, (std::vector<int>{1, 3, 4}));
}

TEST_F(WinOSTest, FailedHookGrowthIsAFailureNotAnIndex) {
    VkMemSetFailAllocations(true);
    EXPECT_EQ(app->AddMessageHook(Hook<1>), VK_E_OUTOFMEMORY);
    VkMemSetFailAllocations(false);
    EXPECT_EQ(app->AddMessageHook(Hook<1>), 0);
}

TEST_F(WinOSTest, SecondCopyIsRefused) {
    HANDLE other = CreateMutexA(nullptr, TRUE, className.c_str());
    ASSERT_NE(other, nullptr);
    EXPECT_EQ(app->CreateMainWindow(nullptr), VK_E_FAIL);
    ASSERT_EQ(PlatformMessageBoxes().size(), 1u);
    EXPECT_EQ(PlatformMessageBoxes()[0].text, "Error: A copy of this program is already running");
    EXPECT_EQ(PlatformMessageBoxes()[0].caption, "Vesk5 Application");
    EXPECT_EQ(PlatformMessageBoxes()[0].type & MB_ICONHAND, MB_ICONHAND);
    EXPECT_EQ(app->GetWindow(), nullptr);
    CloseHandle(other);
}

TEST_F(WinOSTest, MainWindowPumpAndQuit) {
    ASSERT_EQ(app->CreateMainWindow(GetModuleHandleA(nullptr)), VK_OK);
    HWND hwnd = app->GetWindow();
    ASSERT_NE(hwnd, nullptr);
    EXPECT_EQ(app->CreateMainWindow(GetModuleHandleA(nullptr)), VK_E_FAIL);

    // The application folder: the executable's folder with its separator. A buffer of the
    // folder's length gets its characters and nothing past them; one longer, a terminator.
    std::string exe = std::filesystem::read_symlink("/proc/self/exe").string();
    std::string folder = exe.substr(0, exe.rfind('/') + 1);
    std::vector<char> buffer(folder.size() + 2, 'x');
    EXPECT_EQ(winOS->GetApplicationFolder(buffer.data(), folder.size() - 1), VK_E_FAIL);
    ASSERT_EQ(winOS->GetApplicationFolder(buffer.data(), folder.size()), VK_OK);
    EXPECT_EQ(std::string(buffer.data(), folder.size()), folder);
    EXPECT_EQ(buffer[folder.size()], 'x');
    ASSERT_EQ(winOS->GetApplicationFolder(buffer.data(), folder.size() + 1), VK_OK);
    EXPECT_EQ(std::string(buffer.data()), folder);
    EXPECT_EQ(buffer[folder.size() + 1], 'x');

    // A key-down sets the key flag; the pump clears it at the key-up.
    EXPECT_EQ(VkWinOSKeyFlag(), 0);
    PostMessageA(hwnd, WM_KEYDOWN, 'A', 0x001E0001);
    winOS->Update();
    EXPECT_EQ(VkWinOSKeyFlag(), 1);
    PostMessageA(hwnd, WM_KEYUP, 'A', static_cast<LPARAM>(0xC01E0001u));
    winOS->Update();
    EXPECT_EQ(VkWinOSKeyFlag(), 0);

    // Full screen captures the mouse; windowed releases it.
    EXPECT_EQ(GetCapture(), nullptr);
    app->SetWindowed(0);
    app->SetWindowSize(640, 480);
    winOS->Update();
    EXPECT_EQ(GetCapture(), hwnd);
    app->SetWindowed(1);
    winOS->Update();
    EXPECT_EQ(GetCapture(), nullptr);

    app->AddMessageHook(Recorder);
    PostMessageA(hwnd, WM_USER + 1, 0, 0);
    PostMessageA(hwnd, WM_QUIT, 0, 0); // queued in order, unlike PostQuitMessage
    PostMessageA(hwnd, WM_USER + 2, 0, 0);
    EXPECT_EQ(winOS->Update(), VK_OK);
    EXPECT_EQ(winOS->GetQuitFlag(), 1);
    EXPECT_EQ(g_seen, (std::vector<UINT>{WM_USER + 1}));
    MSG msg;
    ASSERT_TRUE(PeekMessageA(&msg, nullptr, 0, 0, PM_NOREMOVE));
    EXPECT_EQ(msg.message, WM_USER + 2);
}

TEST_F(WinOSTest, ProgressWindowNests) {
    EXPECT_EQ(winOS->StepProgress(1, "x"), VK_E_FAIL);
    ASSERT_EQ(winOS->OpenProgress("Loading"), VK_OK);
    ASSERT_EQ(winOS->OpenProgress("Inner"), VK_OK);
    EXPECT_EQ(winOS->StepProgress(50, "Half"), VK_OK);
    EXPECT_EQ(winOS->CloseProgress(), VK_OK);
    EXPECT_EQ(winOS->StepProgress(10, nullptr), VK_OK); // the outer one is still open
    EXPECT_EQ(winOS->CloseProgress(), VK_OK);
    EXPECT_EQ(winOS->StepProgress(1, "x"), VK_E_FAIL);
    EXPECT_EQ(winOS->CloseProgress(), VK_OK);
}

TEST_F(WinOSTest, RegistryStringsStayTerminated) {
    char dir[] = "/tmp/marovant-winos-XXXXXX";
    ASSERT_NE(mkdtemp(dir), nullptr);
    PlatformSetRegistryFile(std::string(dir) + "/settings.reg");

    char buffer[16] = "junk";
    EXPECT_EQ(winOS->GetRegistryString("Name", buffer, sizeof buffer), VK_E_FAIL);
    EXPECT_STREQ(buffer, "");
    ASSERT_EQ(winOS->SetRegistryString("Name", "value"), VK_OK);
    EXPECT_EQ(winOS->GetRegistryString("Name", buffer, sizeof buffer), VK_OK);
    EXPECT_STREQ(buffer, "value");
    std::strcpy(buffer, "junk");
    EXPECT_EQ(winOS->GetRegistryString("Name", buffer, 5), VK_OK); // no room for the terminator
    EXPECT_STREQ(buffer, "");
    std::strcpy(buffer, "junk");
    EXPECT_EQ(winOS->GetRegistryString("Missing", buffer, sizeof buffer), VK_OK);
    EXPECT_STREQ(buffer, "");

    // The framework's key is the local machine's, not the current user's.
    HKEY key = nullptr;
    EXPECT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\Halvern\\Vesk5", 0, KEY_READ, &key),
              static_cast<LONG>(ERROR_FILE_NOT_FOUND));
    PlatformSetRegistryFile("");
    std::filesystem::remove_all(dir);
}

TEST_F(WinOSTest, MachineTextsAndBuffers) {
    PlatformSetVolumeSerial(0x0000ABCDu);
    void* m = nullptr;
    ASSERT_EQ(app->QueryInterface(IID_IVkWinOSMachine, &m), VK_OK);
    IVkWinOSMachine* machine = static_cast<IVkWinOSMachine*>(m);
    char serial[9];
    ASSERT_EQ(machine->GetVolumeSerial(serial), VK_OK);
    EXPECT_STREQ(serial, "0000ABCD");
    PlatformSetVolumeSerial(std::nullopt);
    char name[VK_NAME_SIZE];
    EXPECT_EQ(machine->GetComputerName(name), VK_OK);
    EXPECT_LT(std::strlen(name), VK_NAME_SIZE);
    machine->Release();

    char title[18];
    EXPECT_EQ(app->GetTitle(title, 17), VK_E_FAIL);
    ASSERT_EQ(app->GetTitle(title, 18), VK_OK);
    EXPECT_STREQ(title, "Vesk5 Application");

    // The log opens in the application folder through the file storage.
    void* l = nullptr;
    ASSERT_EQ(app->QueryInterface(IID_IVkWinOSLog, &l), VK_OK);
    IVkWinOSLog* log = static_cast<IVkWinOSLog*>(l);
    EXPECT_EQ(log->WriteLog("x"), VK_E_FAIL);
    ASSERT_EQ(log->OpenLog("winos_test.log", 0), VK_OK);
    EXPECT_EQ(log->WriteLog("x"), VK_OK);
    EXPECT_EQ(log->CloseLog(), VK_OK);
    EXPECT_EQ(log->CloseLog(), VK_E_FAIL);
    char folder[VK_PATH_SIZE];
    ASSERT_EQ(winOS->GetApplicationFolder(folder, sizeof folder), VK_OK);
    EXPECT_EQ(std::remove((std::string(folder) + "winos_test.log").c_str()), 0);
    EXPECT_EQ(winOS->Log("line\n"), VK_OK);
    log->Release();
}

TEST_F(WinOSTest, OneObjectAndOneInputStream) {
    IVkWinOS* again = Create<IVkWinOS>(CLSID_VkWinOSMachine, IID_IVkWinOS);
    EXPECT_EQ(again, winOS);
    IVkStream* input = winOS->GetInputStream();
    ASSERT_NE(input, nullptr);
    IVkStream* shared = Create<IVkStream>(CLSID_VkStandardInput, IID_IVkStream);
    EXPECT_EQ(shared, input);
    shared->Release();
    again->Release();

    ASSERT_EQ(VkWinOSAcquire(), VK_OK);
    ASSERT_EQ(VkWinOSAcquire(), VK_OK);
    EXPECT_EQ(static_cast<void*>(VkWinOSShared()), static_cast<void*>(app));
    VkWinOSRelease();
    VkWinOSRelease();
    EXPECT_EQ(VkWinOSShared(), nullptr);
}

} // namespace
