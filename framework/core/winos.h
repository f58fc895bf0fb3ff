// The framework's application object: single-instance mutex, application window and message
// pump, message hooks, clock, application folder, log, progress window, the framework's own
// registry strings and the machine's identity. One object per process.
#pragma once

#include "framework/core/com.h"
#include "framework/streams/stream.h"
#include "platform/win32/win32.h"

extern const VkGuid CLSID_VkWinOS;     // the one components acquire
extern const VkGuid CLSID_VkWinOSOpen; // the one VkOpen uses
extern const VkGuid CLSID_VkWinOSMachine;
extern const VkGuid IID_IVkWinOS;
extern const VkGuid IID_IVkWinOSApp;
extern const VkGuid IID_IVkWinOSLog;
extern const VkGuid IID_IVkWinOSMachine;

// Returns 0 when it consumes the message.
using VkMessageHook = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

// Sizes of the fixed texts the object keeps and hands out.
constexpr uint32_t VK_PATH_SIZE = 260;
constexpr uint32_t VK_NAME_SIZE = 80;

class IVkWinOS : public IVkUnknown {
public:
    virtual VkResult GetApplicationFolder(char* buffer, uint32_t size) = 0;
    virtual VkResult Update() = 0;
    virtual int32_t GetQuitFlag() = 0;
    virtual VkResult Log(const char* text) = 0;
    virtual VkResult ErrorBox(const char* text) = 0;
    virtual uint32_t GetTime() = 0;
    virtual void SetUserWord(uintptr_t value) = 0;
    virtual uintptr_t GetUserWord() = 0;
    // No reference is added.
    virtual IVkStream* GetInputStream() = 0;
    virtual VkResult OpenProgress(const char* text) = 0;
    virtual VkResult StepProgress(uint32_t position, const char* text) = 0;
    virtual VkResult CloseProgress() = 0;
    virtual VkResult SetRegistryString(const char* name, const char* text) = 0;
    virtual VkResult GetRegistryString(const char* name, char* buffer, uint32_t size) = 0;

protected:
    ~IVkWinOS() = default;
};

class IVkWinOSApp : public IVkUnknown {
public:
    virtual VkResult CreateMainWindow(HINSTANCE instance) = 0;
    // For a host that made its own window.
    virtual VkResult SetInstance(HINSTANCE instance, HWND window) = 0;
    virtual LRESULT WindowProcedure(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) = 0;
    virtual HWND GetWindow() = 0;
    virtual HINSTANCE GetInstance() = 0;
    virtual void SetWindowed(int32_t windowed) = 0;
    virtual int32_t GetWindowed() = 0;
    virtual void SetWindowSize(int32_t width, int32_t height) = 0;
    virtual void GetWindowSize(int32_t* width, int32_t* height) = 0;
    virtual VkResult GetTitle(char* buffer, uint32_t size) = 0;
    virtual VkResult SetTitle(const char* text) = 0;
    virtual VkResult SetClassName(const char* text) = 0;
    // The hook's index, or a failure.
    virtual VkResult AddMessageHook(VkMessageHook hook) = 0;
    virtual VkResult RemoveMessageHook(VkMessageHook hook) = 0;

protected:
    ~IVkWinOSApp() = default;
};

class IVkWinOSLog : public IVkUnknown {
public:
    // The buffer holds VK_PATH_SIZE bytes.
    virtual void GetLogName(char* buffer) = 0;
    virtual VkResult GetLogNameChecked(char* buffer, uint32_t size) = 0;
    virtual VkResult WriteLog(const char* text) = 0;
    virtual VkResult OpenLog(const char* name, int32_t append) = 0;
    virtual VkResult CloseLog() = 0;

protected:
    ~IVkWinOSLog() = default;
};

class IVkWinOSMachine : public IVkUnknown {
public:
    // The buffers hold VK_NAME_SIZE bytes; longer names are cut.
    virtual VkResult GetComputerName(char* buffer) = 0;
    virtual VkResult GetUserName(char* buffer) = 0;
    // Eight upper-case hexadecimal digits and a terminator.
    virtual VkResult GetVolumeSerial(char* buffer) = 0;

protected:
    ~IVkWinOSMachine() = default;
};

VkResult VkCreateWinOS(IVkUnknown* outer, IVkUnknown** out);

// Counted access to the shared object for components.
VkResult VkWinOSAcquire();
void VkWinOSRelease();
IVkWinOSApp* VkWinOSShared();
// Set while a key is held: by a key-down the window procedure handles, cleared by a key-up
// the pump takes. For tests; 0 when no object exists.
int32_t VkWinOSKeyFlag();
