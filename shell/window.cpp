#include "shell/window.h"

#include "engine/core/raster.h"
#include "shell/controls.h"
#include "shell/enginestart.h"
#include "shell/events.h"
#include "shell/gamemain.h"
#include "shell/heapcount.h"
#include "shell/input.h"

#include <cstdlib>
#include <cstring>
#include <vector>

namespace {
constexpr const char* kClassName = "TrevaneSkelClass";
constexpr const char* kTitle = "Marovant";
constexpr int kIconResource = 104;
constexpr UINT kMaxDroppedName = 260;

// Raw key of a key message: scan code in bits 16-23, 0x80 added for an extended key.
uint32_t RawKey(LPARAM lParam) {
    uint32_t bits = static_cast<uint32_t>(lParam);
    uint32_t raw = (bits >> 16) & 0xFF;
    if (bits & (1u << 24)) raw += 0x80;
    return raw;
}

intptr_t MousePairAddress() { return reinterpret_cast<intptr_t>(&gMV2Window.mouse); }

void SendMouseEvent(uint32_t event) {
    if (gMV2Events.mouseEvents) MV2SendEvent(event, 0, 0, 0);
}
} // namespace

MV2WindowState gMV2Window;
TvRaster* gMV2CameraRaster = nullptr;

HWND MV2CreateMainWindow(HINSTANCE instance, int showCommand) {
    WNDCLASSA wc{};
    wc.style = CS_BYTEALIGNWINDOW;
    wc.lpfnWndProc = MV2WindowProc;
    wc.hInstance = instance;
    wc.hIcon = LoadIconA(instance, MAKEINTRESOURCEA(kIconResource));
    wc.hCursor = LoadCursorA(nullptr, IDC_ARROW);
    wc.lpszClassName = kClassName;
    RegisterClassA(&wc);
    HWND hwnd = CreateWindowExA(WS_EX_TOPMOST, kClassName, kTitle, WS_POPUP, 0, 0, 0, 0, nullptr,
                                nullptr, instance, nullptr);
    gMV2Window.window = hwnd;
    ShowWindow(hwnd, showCommand);
    return hwnd;
}

int WinMain(HINSTANCE instance, HINSTANCE, char*, int showCommand) {
    gMV2Window.instance = instance;
    gMV2Window.mutex = CreateMutexA(nullptr, TRUE, kClassName);
    if (GetLastError() == ERROR_ALREADY_EXISTS) {
        MessageBoxA(nullptr, "Error: A copy of this program is already running", kTitle,
                    MB_ICONHAND);
        return 0;
    }
    gMV2Window.lastKey = 0;
    gMV2Window.captureMode = 1;
    gMV2Window.joystickCount = 0;
    gMV2Window.filter = nullptr;

    HWND hwnd = MV2CreateMainWindow(instance, showCommand);
    if (!MV2EngineStart(hwnd, const_cast<TvMemoryFunctions*>(MV2HeapLogMemoryFunctions()))) return -1;

    gMV2Window.running = 1;
    SetFocus(hwnd);
    UpdateWindow(hwnd);
    MV2GameMain();
    MV2EngineStop();
    gMV2Window.running = 0;
    ReleaseMutex(gMV2Window.mutex);
    CloseHandle(gMV2Window.mutex);
    exit(0);
}

LRESULT MV2WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_CREATE:
        DragAcceptFiles(hwnd, TRUE);
        return 0;
    case WM_DESTROY:
        PostQuitMessage(0);
        return 0;
    case WM_ACTIVATE:
        if (LOWORD(wParam) != WA_INACTIVE) MV2ClearInputTable();
        return 0;
    case WM_SETFOCUS:
        MV2ClearKeyStateBits(MV2_KEY_HELD | MV2_KEY_PRESSED);
        if (gMV2Window.running) MV2SendEvent(MV2_EVENT_FOCUS_GAINED, 0, 0, 0);
        if (gMV2Window.captureMode == 1) {
            ShowCursor(FALSE);
            SetCapture(hwnd);
        }
        if (MV2AcquireInputDevice(0)) MV2SendEvent(MV2_EVENT_KEYBOARD_ACQUIRED, 0, 0, 0);
        return 0;
    case WM_KILLFOCUS:
        InvalidateRect(hwnd, nullptr, TRUE);
        if (gMV2Window.captureMode == 1) {
            ShowCursor(TRUE);
            ReleaseCapture();
        }
        if (gMV2Window.running) MV2SendEvent(MV2_EVENT_FOCUS_LOST, 0, 0, 0);
        return 0;
    case WM_PAINT:
        ValidateRect(hwnd, nullptr);
        return 0;
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_DISPLAYCHANGE:
    case WM_COMMAND:
        return 0;
    case WM_SYSCOMMAND:
        if ((wParam & 0xFFF0) == SC_SCREENSAVE || (wParam & 0xFFF0) == SC_MONITORPOWER) return 0;
        return MV2DefaultMessageHandler(hwnd, message, wParam, lParam);
    case WM_POWERBROADCAST:
        if (wParam == PBT_APMSUSPEND) {
            SendMessageA(hwnd, WM_KILLFOCUS, 0, 0);
        } else if (wParam == PBT_APMRESUMESUSPEND) {
            SendMessageA(hwnd, WM_KILLFOCUS, 0, 0);
            SendMessageA(hwnd, WM_SETFOCUS, 0, 0);
        }
        MV2DefaultMessageHandler(hwnd, message, wParam, lParam);
        return 0;
    case WM_DROPFILES: {
        HDROP drop = reinterpret_cast<HDROP>(wParam);
        UINT count = DragQueryFileA(drop, 0xFFFFFFFFu, nullptr, 0);
        for (UINT i = count; i-- > 0;) {
            char name[kMaxDroppedName + 1];
            DragQueryFileA(drop, i, name, sizeof(name));
            MV2SendEvent(MV2_EVENT_FILE_DROPPED, 0, reinterpret_cast<intptr_t>(name), 0);
        }
        DragFinish(drop);
        return 0;
    }
    default:
        return MV2DefaultMessageHandler(hwnd, message, wParam, lParam);
    }
}

LRESULT MV2DefaultMessageHandler(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_KEYDOWN: {
        uint32_t raw = RawKey(lParam);
        if (raw == gMV2Window.lastKey) return 0; // auto-repeat
        gMV2Window.lastKey = raw;
        if (gMV2Events.keyboardEvents)
            MV2SendEvent(MV2_EVENT_RAW_KEY_DOWN, 0, 0, static_cast<int32_t>(raw));
        return 0;
    }
    case WM_KEYUP: {
        uint32_t raw = RawKey(lParam);
        if (gMV2Events.keyboardEvents) {
            MV2SendEvent(MV2_EVENT_RAW_KEY_UP, 0, 0, static_cast<int32_t>(raw));
            gMV2Window.lastKey = 0;
        }
        return 0;
    }
    case WM_SYSKEYDOWN:
    case WM_SYSKEYUP:
        return 0;
    case WM_MOUSEMOVE: {
        POINT p{static_cast<int16_t>(LOWORD(static_cast<uintptr_t>(lParam))),
                static_cast<int16_t>(HIWORD(static_cast<uintptr_t>(lParam)))};
        if (gMV2Window.captureMode == 1) {
            if (GetFocus() != hwnd) return 0;
            ClientToScreen(hwnd, &p);
            gMV2Window.mouse.x = p.x - gMV2Window.centre.x;
            gMV2Window.mouse.y = p.y - gMV2Window.centre.y;
            if (gMV2Window.mouse.x == 0 && gMV2Window.mouse.y == 0) return 0;
            SetCursorPos(gMV2Window.centre.x, gMV2Window.centre.y);
        } else {
            gMV2Window.mouse = p;
        }
        if (gMV2Events.mouseEvents) MV2SendEvent(MV2_EVENT_MOUSE_MOVE, 0, MousePairAddress(), 0);
        return 0;
    }
    case WM_LBUTTONDOWN: SendMouseEvent(MV2_EVENT_LBUTTON_DOWN); return 0;
    case WM_LBUTTONUP: SendMouseEvent(MV2_EVENT_LBUTTON_UP); return 0;
    case WM_RBUTTONDOWN: SendMouseEvent(MV2_EVENT_RBUTTON_DOWN); return 0;
    case WM_RBUTTONUP: SendMouseEvent(MV2_EVENT_RBUTTON_UP); return 0;
    case WM_MBUTTONDOWN: SendMouseEvent(MV2_EVENT_MBUTTON_DOWN); return 0;
    case WM_MBUTTONUP: SendMouseEvent(MV2_EVENT_MBUTTON_UP); return 0;
    case WM_QUERYNEWPALETTE:
        MV2ResetSystemPalette();
        return 1;
    case WM_PALETTECHANGED:
        if (reinterpret_cast<HWND>(wParam) != hwnd) {
            MV2ResetSystemPalette();
            return 1;
        }
        return DefWindowProcA(hwnd, message, wParam, lParam);
    case MM_MCINOTIFY:
        MV2SendEvent(MV2_EVENT_MCI_NOTIFY, 0, static_cast<intptr_t>(wParam),
                     static_cast<int32_t>(lParam));
        return 0;
    default:
        return DefWindowProcA(hwnd, message, wParam, lParam);
    }
}

int32_t MV2PumpMessages() {
    for (int32_t stick = 1; stick <= gMV2Window.joystickCount; ++stick) {
        MV2JoystickState state{};
        if (MV2ReadJoystick(stick, &state))
            MV2SendEvent(MV2_EVENT_JOYSTICK, 0, reinterpret_cast<intptr_t>(&state), stick);
    }
    MSG msg;
    while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
        if (gMV2Window.quitSeen || msg.message == WM_QUIT) {
            gMV2Window.quitSeen = 1;
            return 0;
        }
        if (gMV2Window.filter && gMV2Window.filter(&msg)) continue;
        TranslateMessage(&msg);
        DispatchMessageA(&msg);
    }
    return 1;
}

void MV2ResetSystemPalette() {
    // A LOGPALETTE with room for 256 entries.
    std::vector<uint8_t> storage(sizeof(LOGPALETTE) + 255 * sizeof(PALETTEENTRY));
    auto* pal = reinterpret_cast<LOGPALETTE*>(storage.data());
    pal->palVersion = 0x300;
    pal->palNumEntries = 256;
    for (int i = 0; i < 256; ++i) pal->palPalEntry[i] = PALETTEENTRY{0, 0, 0, PC_NOCOLLAPSE};
    HDC dc = GetDC(nullptr);
    HPALETTE palette = CreatePalette(pal);
    HPALETTE old = SelectPalette(dc, palette, FALSE);
    RealizePalette(dc);
    SelectPalette(dc, old, FALSE);
    DeleteObject(palette);
    ReleaseDC(nullptr, dc);
}

const char* MV2GetProgramFolder() {
    if (!gMV2Window.programFolderFilled) {
        char path[256];
        GetModuleFileNameA(nullptr, path, sizeof(path));
        // Drive and folder: everything up to and including the last separator.
        const char* slash = strrchr(path, '/');
        const char* back = strrchr(path, '\\');
        const char* last = slash > back ? slash : back;
        size_t len = last ? static_cast<size_t>(last - path + 1) : 0;
        memcpy(gMV2Window.programFolder, path, len);
        gMV2Window.programFolder[len] = '\0';
        gMV2Window.programFolderFilled = 1;
    }
    return gMV2Window.programFolder;
}

void MV2DebugPrint(const char* text) { OutputDebugStringA(text); }

HWND MV2GetWindow() { return gMV2Window.window; }

void MV2SizeWindow(int32_t width, int32_t height, int32_t, uint32_t flags) {
    if (flags & 1) return; // full-screen modes are sized by the display
    RECT r{0, 0, width, height};
    AdjustWindowRect(&r, WS_OVERLAPPEDWINDOW, FALSE);
    int w = r.right - r.left, h = r.bottom - r.top;
    int x = GetSystemMetrics(SM_CXSCREEN) / 2 - w / 2;
    int y = GetSystemMetrics(SM_CYSCREEN) / 2 - h / 2;
    MoveWindow(gMV2Window.window, x, y, w, h, TRUE);
}

int32_t MV2GetMemoryFunctions(void** out) {
    if (out) *out = nullptr;
    return 1;
}

TvRaster* MV2CreateCameraRaster(int32_t width, int32_t height, int32_t depth) {
    gMV2CameraRaster = TvRasterCreate(width, height, depth, kTvRasterTypeCamera);
    return gMV2CameraRaster;
}
