#include "framework/core/winos.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "framework/streams/stdinput.h"
#include "framework/streams/storage.h"
#include "platform/win32/machine.h"
#include "platform/win32/registry.h"
#include "platform/winmm/winmm.h"

#include <cstdio>
#include <cstring>

const VkGuid CLSID_VkWinOS = {
    0xC91E4FBB, 0x4BF9, 0x11D2, {0x86, 0x78, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};
const VkGuid CLSID_VkWinOSOpen = {
    0x17BBF8E1, 0x903F, 0x11D2, {0x81, 0x4B, 0x00, 0xC0, 0x4F, 0x7E, 0xE6, 0x92}};
const VkGuid CLSID_VkWinOSMachine = {
    0xE2E0EEB8, 0xC446, 0x11D2, {0x86, 0x99, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};
const VkGuid IID_IVkWinOS = {
    0xC91E4FB9, 0x4BF9, 0x11D2, {0x86, 0x78, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};
const VkGuid IID_IVkWinOSApp = {
    0xC91E4FBA, 0x4BF9, 0x11D2, {0x86, 0x78, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};
const VkGuid IID_IVkWinOSLog = {
    0xEA970BA1, 0x9A59, 0x11D2, {0xBE, 0x85, 0x00, 0x60, 0x08, 0x51, 0x3E, 0x1D}};
const VkGuid IID_IVkWinOSMachine = {
    0xE2E0EEB7, 0xC446, 0x11D2, {0x86, 0x99, 0x00, 0xC0, 0x4F, 0x79, 0x63, 0xBA}};

namespace {

// Window-system values beyond those the platform header names.
constexpr UINT kWmTimer = 0x0113;
constexpr UINT kPbmSetPos = WM_USER + 2;
constexpr DWORD kWsMinimize = 0x20000000u;
constexpr DWORD kWsCaption = 0x00C00000u;
constexpr DWORD kWsChild = 0x40000000u;
constexpr DWORD kWsVisible = 0x10000000u;
constexpr int kSwShowMinimized = 2;
constexpr int kSwShowMaximized = 3;
constexpr int kSwShowDefault = 10;
constexpr int kSmCyCaption = 4;
constexpr uint32_t kHookGrowStep = 32;

const char kRegistryKey[] = "SOFTWARE\\Halvern\\Vesk5";
const char kAlreadyRunning[] = "Error: A copy of this program is already running";

class WinOS;
WinOS* g_object = nullptr;

LRESULT WinOSWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT ProgressWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

// A name of up to 256 characters from the system, cut to fit a name buffer.
VkResult MachineText(BOOL (*query)(char*, DWORD*), char* buffer) {
    char name[257] = {};
    DWORD size = sizeof name;
    if (!query(name, &size)) name[0] = '\0';
    VkCopyText(buffer, VK_NAME_SIZE, name);
    return VK_OK;
}

VkResult CopyFitting(const char* text, char* buffer, uint32_t size) {
    if (!buffer || std::strlen(text) + 1 > size) return VK_E_FAIL;
    std::strcpy(buffer, text);
    return VK_OK;
}

class WinOS final
    : public VkObjectOf<VkFace<IVkWinOS, IID_IVkWinOS>, VkFace<IVkWinOSApp, IID_IVkWinOSApp>,
                        VkFace<IVkWinOSLog, IID_IVkWinOSLog>,
                        VkFace<IVkWinOSMachine, IID_IVkWinOSMachine>> {
public:
    WinOS() {
        count_ = 0; // a fresh object has no reference yet: its creator adds the first
        hooks_.growStep = kHookGrowStep;
        VkCopyText(className_, VK_NAME_SIZE, "Vesk5 Class");
        VkCopyText(title_, VK_NAME_SIZE, "Vesk5 Application");
    }

    VkResult Init() {
        void* stream = nullptr;
        VkResult res = VkCreateInstance(CLSID_VkStandardInput, nullptr, 0, IID_IVkStream, &stream);
        input_ = static_cast<IVkStream*>(stream);
        return res;
    }

    // ---- IVkWinOS ----
    // Fails only when the buffer is shorter than the folder; a buffer of exactly the
    // folder's length gets its characters without a terminator.
    VkResult GetApplicationFolder(char* buffer, uint32_t size) override {
        size_t length = std::strlen(folder_);
        if (!buffer || size < length) return VK_E_FAIL;
        size_t copy = length + 1 <= size ? length + 1 : length;
        std::memcpy(buffer, folder_, copy);
        return VK_OK;
    }

    VkResult Update() override {
        Pump(true);
        if (changed_) {
            ApplyDisplayMode();
            if (windowed_ && hwnd_) {
                int left = (GetSystemMetrics(SM_CXSCREEN) - width_) / 2;
                int top = (GetSystemMetrics(SM_CYSCREEN) - height_) / 2;
                MoveWindow(hwnd_, left, top, width_, height_, TRUE);
            }
            changed_ = false;
        }
        return VK_OK;
    }

    int32_t GetQuitFlag() override { return quit_; }
    int32_t KeyFlag() const { return keyFlag_; }

    VkResult Log(const char* text) override {
        if (!text) return VK_OK;
        if (logOpen_)
            WriteLog(text);
        else
            OutputDebugStringA(text);
        return VK_OK;
    }

    VkResult ErrorBox(const char* text) override {
        MessageBoxA(hwnd_, text, title_, MB_OK | MB_ICONHAND);
        return VK_OK;
    }

    uint32_t GetTime() override { return timeGetTime(); }
    void SetUserWord(uintptr_t value) override { userWord_ = value; }
    uintptr_t GetUserWord() override { return userWord_; }
    IVkStream* GetInputStream() override { return input_; }

    VkResult OpenProgress(const char* text) override {
        if (progressFrame_) {
            ++progressDepth_;
            return VK_OK;
        }
        WNDCLASSA wc = {};
        wc.lpfnWndProc = ProgressWindowProc;
        wc.hInstance = instance_;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = "ProgressBar";
        RegisterClassA(&wc);
        int width = 256;
        int height = 64 + GetSystemMetrics(kSmCyCaption);
        progressFrame_ =
            CreateWindowExA(0, "ProgressBar", text ? text : "", WS_POPUP | kWsCaption | kWsVisible,
                            (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                            (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, nullptr,
                            nullptr, instance_, nullptr);
        if (!progressFrame_) {
            Log("Unable to create window for progress bar\n");
            return VK_E_FAIL;
        }
        RECT client = {};
        GetClientRect(progressFrame_, &client);
        int cw = client.right - client.left, ch = client.bottom - client.top;
        progressBar_ =
            CreateWindowExA(0, "msctls_progress32", "", kWsChild | kWsVisible, cw / 16, ch / 8,
                            cw * 7 / 8, ch / 3, progressFrame_, nullptr, instance_, nullptr);
        progressText_ =
            CreateWindowExA(0, "STATIC", "", kWsChild | kWsVisible, cw / 16, ch * 5 / 8, cw * 7 / 8,
                            ch / 4, progressFrame_, nullptr, instance_, nullptr);
        if (!progressText_) Log("Unable to create text\n");
        progressDepth_ = 1;
        return VK_OK;
    }

    VkResult StepProgress(uint32_t position, const char* text) override {
        if (!progressFrame_) return VK_E_FAIL;
        if (progressBar_) SendMessageA(progressBar_, kPbmSetPos, position, 0);
        if (text && progressText_) SetWindowTextA(progressText_, text);
        InvalidateRect(progressFrame_, nullptr, TRUE);
        UpdateWindow(progressFrame_);
        Pump(true);
        return VK_OK;
    }

    VkResult CloseProgress() override {
        if (!progressFrame_) return VK_OK;
        if (--progressDepth_ > 0) {
            if (progressBar_) SendMessageA(progressBar_, kPbmSetPos, 0, 0);
            if (progressText_) SetWindowTextA(progressText_, "");
            return VK_OK;
        }
        DestroyWindow(progressFrame_);
        progressFrame_ = progressBar_ = progressText_ = nullptr;
        return VK_OK;
    }

    // Strings are written with their terminator.
    VkResult SetRegistryString(const char* name, const char* text) override {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kRegistryKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                            KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
            return VK_E_FAIL;
        const char* value = text ? text : "";
        LONG res = RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(value),
                                  static_cast<DWORD>(std::strlen(value) + 1));
        RegCloseKey(key);
        return res == ERROR_SUCCESS ? VK_OK : VK_E_FAIL;
    }

    // A missing value still gives 0, with an empty text; the buffer always ends terminated.
    VkResult GetRegistryString(const char* name, char* buffer, uint32_t size) override {
        if (buffer && size) buffer[0] = '\0';
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kRegistryKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
            return VK_E_FAIL;
        if (buffer && size) {
            DWORD type = REG_NONE, got = size;
            LONG res =
                RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE*>(buffer), &got);
            if (res != ERROR_SUCCESS || (type != REG_SZ && type != REG_EXPAND_SZ)) buffer[0] = '\0';
            buffer[size - 1] = '\0';
        }
        RegCloseKey(key);
        return VK_OK;
    }

    // ---- IVkWinOSApp ----
    VkResult CreateMainWindow(HINSTANCE instance) override {
        if (hwnd_) return VK_E_FAIL;
        instance_ = instance;
        HANDLE mutex = CreateMutexA(nullptr, TRUE, className_);
        if (mutex && GetLastError() == ERROR_ALREADY_EXISTS) {
            CloseHandle(mutex);
            MessageBoxA(nullptr, kAlreadyRunning, title_, MB_OK | MB_ICONHAND);
            return VK_E_FAIL;
        }
        mutex_ = mutex;
        mutexHeld_ = mutex != nullptr;

        WNDCLASSA wc = {};
        wc.style = CS_BYTEALIGNWINDOW;
        wc.lpfnWndProc = WinOSWindowProc;
        wc.hInstance = instance;
        wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
        wc.lpszClassName = className_;
        RegisterClassA(&wc);
        hwnd_ = CreateWindowExA(0, className_, title_, WS_OVERLAPPEDWINDOW | kWsMinimize, 0, 0, 0,
                                0, nullptr, nullptr, instance, nullptr);
        if (!hwnd_) return VK_E_FAIL;
        ShowWindow(hwnd_, kSwShowDefault);
        ApplyDisplayMode();
        ComputeFolder();
        Pump(false);
        created_ = true;
        return VK_OK;
    }

    VkResult SetInstance(HINSTANCE instance, HWND window) override {
        if (!instance || !window) return VK_E_FAIL;
        instance_ = instance;
        hwnd_ = window;
        ComputeFolder();
        created_ = true;
        return VK_OK;
    }

    // Hooks see every message first, in the order they were added; one that returns 0
    // consumes it.
    LRESULT WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) override {
        for (uint32_t i = 0; i < hooks_.count; ++i) {
            auto hook = reinterpret_cast<VkMessageHook>(hooks_.entries[i]);
            if (hook(hwnd, message, wParam, lParam) == 0) return 0;
        }
        switch (message) {
        case WM_KEYDOWN:
        case WM_SYSKEYDOWN:
            keyFlag_ = 1; // held until the pump sees a key-up
            return DefWindowProcA(hwnd, message, wParam, lParam);
        case WM_DESTROY: PostQuitMessage(0); return 0;
        case WM_CLOSE: DestroyWindow(hwnd); return 0;
        case WM_DISPLAYCHANGE: return 0;
        default: return DefWindowProcA(hwnd, message, wParam, lParam);
        }
    }

    HWND GetWindow() override { return hwnd_; }
    HINSTANCE GetInstance() override { return instance_; }
    void SetWindowed(int32_t windowed) override {
        windowed_ = windowed;
        changed_ = true;
    }
    int32_t GetWindowed() override { return windowed_; }
    void SetWindowSize(int32_t width, int32_t height) override {
        width_ = width;
        height_ = height;
        changed_ = true;
    }
    void GetWindowSize(int32_t* width, int32_t* height) override {
        if (width) *width = width_;
        if (height) *height = height_;
    }
    VkResult GetTitle(char* buffer, uint32_t size) override {
        return CopyFitting(title_, buffer, size);
    }
    VkResult SetTitle(const char* text) override {
        VkCopyText(title_, VK_NAME_SIZE, text);
        if (hwnd_) SetWindowTextA(hwnd_, title_);
        return VK_OK;
    }
    VkResult SetClassName(const char* text) override {
        VkCopyText(className_, VK_NAME_SIZE, text);
        return VK_OK;
    }

    VkResult AddMessageHook(VkMessageHook hook) override {
        if (FindHook(hook) >= 0) return VK_E_FAIL;
        if (hooks_.count == hooks_.capacity && !VkPtrArrayGrow(&hooks_)) return VK_E_OUTOFMEMORY;
        hooks_.entries[hooks_.count] = reinterpret_cast<void*>(hook);
        return static_cast<VkResult>(hooks_.count++);
    }

    VkResult RemoveMessageHook(VkMessageHook hook) override {
        int64_t i = FindHook(hook);
        if (i < 0) return VK_E_FAIL;
        std::memmove(hooks_.entries + i, hooks_.entries + i + 1,
                     sizeof(void*) * (hooks_.count - static_cast<uint32_t>(i) - 1));
        --hooks_.count;
        return VK_OK;
    }

    // ---- IVkWinOSLog ----
    void GetLogName(char* buffer) override { VkCopyText(buffer, VK_PATH_SIZE, logName_); }
    VkResult GetLogNameChecked(char* buffer, uint32_t size) override {
        return CopyFitting(logName_, buffer, size);
    }
    VkResult WriteLog(const char* text) override {
        if (!logOpen_) return VK_E_FAIL;
        if (!text) return VK_OK;
        logStream_->Write(text, static_cast<uint32_t>(std::strlen(text)), nullptr);
        return VK_OK;
    }
    VkResult OpenLog(const char* name, int32_t append) override {
        if (logOpen_) return VK_E_FAIL;
        void* object = nullptr;
        VkResult res = VkCreateInstance(CLSID_VkFileStorage, nullptr, 0, IID_IVkStorage, &object);
        if (res < 0) return res;
        IVkStorage* storage = static_cast<IVkStorage*>(object);
        uint32_t mode = append ? VK_ACCESS_APPEND : VK_ACCESS_WRITE;
        storage->Open(folder_, 0, mode);
        char path[VK_PATH_SIZE];
        std::snprintf(path, sizeof path, "%s%s", folder_, name ? name : "");
        IVkStream* stream = nullptr;
        res = storage->OpenStream(path, mode, VK_TRANSLATE_NONE, &stream);
        if (res < 0) {
            storage->Release();
            return res;
        }
        VkCopyText(logName_, VK_PATH_SIZE, name);
        logStorage_ = storage;
        logStream_ = stream;
        logOpen_ = true;
        return VK_OK;
    }
    VkResult CloseLog() override {
        if (!logOpen_) return VK_E_FAIL;
        logStream_->Release();
        logStorage_->Release();
        logStream_ = nullptr;
        logStorage_ = nullptr;
        logOpen_ = false;
        return VK_OK;
    }

    // ---- IVkWinOSMachine ----
    VkResult GetComputerName(char* buffer) override {
        return MachineText(GetComputerNameA, buffer);
    }
    VkResult GetUserName(char* buffer) override { return MachineText(GetUserNameA, buffer); }
    VkResult GetVolumeSerial(char* buffer) override {
        DWORD serial = 0;
        if (!GetVolumeInformationA("c:\\", nullptr, 0, &serial, nullptr, nullptr, nullptr, 0))
            return VK_E_FAIL;
        std::snprintf(buffer, 9, "%08X", static_cast<unsigned>(serial));
        return VK_OK;
    }

private:
    void Destroy() override {
        if (logOpen_) CloseLog();
        if (input_) input_->Release();
        if (mutexHeld_) {
            ReleaseMutex(mutex_);
            CloseHandle(mutex_);
        }
        VkPtrArrayFree(&hooks_);
        g_object = nullptr;
        VkMemDestroyObject(this);
    }

    int64_t FindHook(VkMessageHook hook) const {
        for (uint32_t i = 0; i < hooks_.count; ++i)
            if (hooks_.entries[i] == reinterpret_cast<void*>(hook)) return i;
        return -1;
    }

    // The drive and directory of the executable, with the closing separator.
    void ComputeFolder() {
        char path[VK_PATH_SIZE] = {};
        DWORD n = GetModuleFileNameA(instance_, path, sizeof path);
        if (n >= sizeof path) n = sizeof path - 1;
        path[n] = '\0';
        char* cut = nullptr;
        for (char* p = path; *p; ++p)
            if (*p == '/' || *p == '\\' || *p == ':') cut = p + 1;
        if (cut)
            *cut = '\0';
        else
            path[0] = '\0';
        VkCopyText(folder_, VK_PATH_SIZE, path);
    }

    // Minimised with the cursor free at width 0; windowed with the cursor free; otherwise
    // maximised with the cursor hidden and the mouse captured.
    void ApplyDisplayMode() {
        if (!hwnd_) return;
        if (width_ == 0 || windowed_) {
            if (width_ == 0) ShowWindow(hwnd_, kSwShowMinimized);
            ShowCursor(TRUE);
            ReleaseCapture();
        } else {
            ShowWindow(hwnd_, kSwShowMaximized);
            ShowCursor(FALSE);
            SetCapture(hwnd_);
        }
    }

    // Handles every waiting message; a quit message sets the quit flag and leaves the rest
    // in the queue.
    void Pump(bool translateKeys) {
        MSG msg;
        while (!quit_ && PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            if (msg.message == WM_QUIT) {
                quit_ = 1;
                return;
            }
            if (msg.message == kWmTimer) continue;
            if (translateKeys && (msg.message == WM_KEYDOWN || msg.message == WM_KEYUP))
                TranslateMessage(&msg);
            if (msg.message == WM_KEYUP) keyFlag_ = 0;
            DispatchMessageA(&msg);
        }
    }

    int32_t quit_ = 0;
    int32_t keyFlag_ = 0;
    bool created_ = false;
    HINSTANCE instance_ = nullptr;
    HWND hwnd_ = nullptr;
    HANDLE mutex_ = nullptr;
    bool mutexHeld_ = false;
    char folder_[VK_PATH_SIZE] = {};
    char className_[VK_NAME_SIZE] = {};
    char title_[VK_NAME_SIZE] = {};
    uintptr_t userWord_ = 0;
    IVkStream* input_ = nullptr;
    int32_t windowed_ = 1;
    int32_t width_ = 0;
    int32_t height_ = 0;
    bool changed_ = false;
    VkPtrArray hooks_ = {};
    HWND progressFrame_ = nullptr;
    HWND progressBar_ = nullptr;
    HWND progressText_ = nullptr;
    int32_t progressDepth_ = 0;
    char logName_[VK_PATH_SIZE] = {};
    bool logOpen_ = false;
    IVkStorage* logStorage_ = nullptr;
    IVkStream* logStream_ = nullptr;
};

LRESULT WinOSWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (g_object) return g_object->WindowProcedure(hwnd, message, wParam, lParam);
    return DefWindowProcA(hwnd, message, wParam, lParam);
}

IVkWinOSApp* g_shared = nullptr;
uint32_t g_sharedCount = 0;

const VkComponentRecord kWinOSRecords[] = {
    {&CLSID_VkWinOS, 0, nullptr, 0, nullptr, VkCreateWinOS, "Vesk - Windows OS", "Vesk.WinOS.1",
     "Vesk.WinOS", nullptr},
    {&CLSID_VkWinOSOpen, 0, nullptr, 0, nullptr, VkCreateWinOS, "Vesk - Windows OS", "Vesk.WinOS.1",
     "Vesk.WinOS", nullptr},
    {&CLSID_VkWinOSMachine, 0, nullptr, 0, nullptr, VkCreateWinOS, "Vesk - Windows OS",
     "Vesk.WinOS.1", "Vesk.WinOS", nullptr},
};

} // namespace

VkResult VkCreateWinOS(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    if (!g_object) {
        WinOS* object = nullptr;
        VkResult res = VkMemCreateObject(&object);
        if (res < 0) return res;
        res = object->Init();
        if (res < 0) {
            VkMemDestroyObject(object);
            return res;
        }
        g_object = object;
    }
    g_object->AddRef();
    *out = static_cast<IVkWinOS*>(g_object);
    return VK_OK;
}

VkResult VkWinOSAcquire() {
    if (!g_shared) {
        void* object = nullptr;
        if (VkCreateInstance(CLSID_VkWinOS, nullptr, 0, IID_IVkWinOSApp, &object) < 0)
            return VK_E_FAIL;
        g_shared = static_cast<IVkWinOSApp*>(object);
    }
    ++g_sharedCount;
    return VK_OK;
}

void VkWinOSRelease() {
    if (g_sharedCount == 0) return;
    if (--g_sharedCount == 0) {
        g_shared->Release();
        g_shared = nullptr;
    }
}

IVkWinOSApp* VkWinOSShared() {
    return g_shared;
}

int32_t VkWinOSKeyFlag() {
    return g_object ? g_object->KeyFlag() : 0;
}

VkResult VkWinOSModuleRegister(IVkRegistry* registry) {
    return VkModule<kWinOSRecords>::Register(registry);
}
