// Windows, the message queue and the translation of SDL events into window messages.
#include "platform/win32/inputlog.h"
#include "platform/win32/keymap.h"
#include "platform/win32/win32_sdl.h"

#include <cstdio>
#include <atomic>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <strings.h>
#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "platform/winmm/winmm.h"

struct PlatformWindow {
    std::string className;
    std::string title;
    WNDPROC proc = nullptr;
    DWORD style = 0;
    DWORD exStyle = 0;
    SDL_Window* sdl = nullptr;
    int x = 0, y = 0, width = 0, height = 0;
    bool visible = false;
    bool invalid = false;
    bool acceptsFiles = false;
    HWND parent = nullptr;
    uint32_t serial = 0; // creation order, which names the window in input recordings
};

struct PlatformDrop {
    HWND hwnd = nullptr;
    std::vector<std::string> files;
};

namespace {
struct WindowClass {
    WNDCLASSA wc;
    std::string name;
};

std::map<std::string, WindowClass> g_classes;
std::set<HWND> g_windows;
std::deque<MSG> g_queue;
bool g_quitPosted = false;
int g_quitCode = 0;
HWND g_focus = nullptr;
HWND g_active = nullptr;
HWND g_capture = nullptr;
int g_cursorCount = 0;
HCURSOR g_cursorShape = nullptr;
POINT g_cursor = {0, 0};
PlatformDrop* g_pendingDrop = nullptr;
std::set<PlatformDrop*> g_drops;
bool g_videoTried = false;
bool g_videoOk = false;
std::atomic<int> g_signalled{0};
uint32_t g_nextSerial = 1;

void OnSignal(int) { g_signalled = 1; }

void InstallSignalHandlers() {
    static bool installed = false;
    if (installed) return;
    installed = true;
    struct sigaction sa {};
    sa.sa_handler = OnSignal;
    sigemptyset(&sa.sa_mask);
    sigaction(SIGINT, &sa, nullptr);
    sigaction(SIGTERM, &sa, nullptr);
}

bool Live(HWND hwnd) { return hwnd && g_windows.count(hwnd) != 0; }

uint32_t SerialOf(HWND hwnd) { return Live(hwnd) ? hwnd->serial : 0; }

HWND WindowOf(uint32_t serial) {
    for (HWND w : g_windows)
        if (w->serial == serial) return w;
    return nullptr;
}


bool Matches(const MSG& m, HWND hwnd, UINT lo, UINT hi) {
    if (m.message == WM_QUIT) return true;
    if (hwnd && m.hwnd != hwnd) return false;
    if (lo == 0 && hi == 0) return true;
    return m.message >= lo && m.message <= hi;
}

void Post(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    MSG m{};
    m.hwnd = hwnd;
    m.message = message;
    m.wParam = wParam;
    m.lParam = lParam;
    m.time = timeGetTime();
    m.pt = g_cursor;
    g_queue.push_back(m);
}

HWND MainWindow() {
    for (HWND w : g_windows)
        if (!w->parent && w->sdl) return w;
    return nullptr;
}

void UpdateRelativeMode() {
    if (!g_videoOk) return;
    bool want = g_capture != nullptr && g_cursorCount < 0;
    if (static_cast<bool>(SDL_GetRelativeMouseMode()) != want)
        SDL_SetRelativeMouseMode(want ? SDL_TRUE : SDL_FALSE);
}

void WindowOrigin(HWND hwnd, int& x, int& y) {
    x = hwnd->x;
    y = hwnd->y;
    if (hwnd->sdl && hwnd->visible) SDL_GetWindowPosition(hwnd->sdl, &x, &y);
}

void Activate(HWND hwnd) {
    if (g_active == hwnd) return;
    HWND old = g_active;
    g_active = hwnd;
    if (Live(old)) SendMessageA(old, WM_ACTIVATE, WA_INACTIVE, reinterpret_cast<LPARAM>(hwnd));
    if (Live(hwnd)) SendMessageA(hwnd, WM_ACTIVATE, WA_ACTIVE, reinterpret_cast<LPARAM>(old));
}

void TranslateKey(const SDL_KeyboardEvent& key, bool down) {
    HWND hwnd = Win32WindowFromSdlId(key.windowID);
    if (!hwnd) hwnd = Live(g_focus) ? g_focus : MainWindow();
    if (!hwnd) return;
    Win32KeyCode code = Win32TranslateScancode(key.keysym.scancode);
    bool alt = (key.keysym.mod & KMOD_ALT) != 0 || key.keysym.scancode == SDL_SCANCODE_LALT ||
               key.keysym.scancode == SDL_SCANCODE_RALT;
    bool system = alt || key.keysym.scancode == SDL_SCANCODE_F10;
    DWORD lp = 1u | (static_cast<DWORD>(code.scan) << 16);
    if (code.extended) lp |= 1u << 24;
    if (alt) lp |= 1u << 29;
    if (down && key.repeat) lp |= 1u << 30;
    if (!down) lp |= (1u << 30) | (1u << 31);
    UINT msg = down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    Post(hwnd, msg, code.virtualKey, static_cast<LPARAM>(lp));
}

void TranslateEvent(const SDL_Event& e) {
    switch (e.type) {
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        TranslateKey(e.key, e.type == SDL_KEYDOWN);
        break;
    case SDL_MOUSEMOTION: {
        HWND hwnd = Win32WindowFromSdlId(e.motion.windowID);
        if (!hwnd) hwnd = MainWindow();
        if (!hwnd) break;
        int ox, oy;
        WindowOrigin(hwnd, ox, oy);
        if (SDL_GetRelativeMouseMode()) {
            // The cursor is hidden and held: move the layer's own cursor by the motion.
            g_cursor.x += e.motion.xrel;
            g_cursor.y += e.motion.yrel;
        } else {
            g_cursor.x = ox + e.motion.x;
            g_cursor.y = oy + e.motion.y;
        }
        int cx = g_cursor.x - ox, cy = g_cursor.y - oy;
        Post(hwnd, WM_MOUSEMOVE, 0, MAKELPARAM(static_cast<WORD>(cx), static_cast<WORD>(cy)));
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP: {
        HWND hwnd = Win32WindowFromSdlId(e.button.windowID);
        if (!hwnd) hwnd = MainWindow();
        if (!hwnd) break;
        bool down = e.type == SDL_MOUSEBUTTONDOWN;
        UINT msg = 0;
        if (e.button.button == SDL_BUTTON_LEFT) msg = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        if (e.button.button == SDL_BUTTON_RIGHT) msg = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        if (e.button.button == SDL_BUTTON_MIDDLE) msg = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        if (!msg) break;
        int ox, oy;
        WindowOrigin(hwnd, ox, oy);
        Post(hwnd, msg, 0,
             MAKELPARAM(static_cast<WORD>(g_cursor.x - ox), static_cast<WORD>(g_cursor.y - oy)));
        break;
    }
    case SDL_WINDOWEVENT: {
        HWND hwnd = Win32WindowFromSdlId(e.window.windowID);
        if (!hwnd) break;
        if (e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED && g_focus != hwnd) {
            Post(hwnd, WM_ACTIVATE, WA_ACTIVE, 0);
            Post(hwnd, WM_SETFOCUS, 0, 0);
            g_active = g_focus = hwnd;
        } else if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST && g_focus == hwnd) {
            Post(hwnd, WM_ACTIVATE, WA_INACTIVE, 0);
            Post(hwnd, WM_KILLFOCUS, 0, 0);
            g_active = g_focus = nullptr;
        } else if (e.window.event == SDL_WINDOWEVENT_CLOSE) {
            Post(hwnd, WM_CLOSE, 0, 0);
        } else if (e.window.event == SDL_WINDOWEVENT_EXPOSED) {
            hwnd->invalid = true;
        }
        break;
    }
    case SDL_DROPBEGIN:
        if (!g_pendingDrop) g_pendingDrop = new PlatformDrop;
        g_pendingDrop->hwnd = Win32WindowFromSdlId(e.drop.windowID);
        break;
    case SDL_DROPFILE:
        if (!g_pendingDrop) {
            g_pendingDrop = new PlatformDrop;
            g_pendingDrop->hwnd = Win32WindowFromSdlId(e.drop.windowID);
        }
        if (e.drop.file) g_pendingDrop->files.emplace_back(e.drop.file);
        break;
    case SDL_DROPCOMPLETE: {
        PlatformDrop* drop = g_pendingDrop;
        g_pendingDrop = nullptr;
        if (!drop) break;
        HWND hwnd = Live(drop->hwnd) ? drop->hwnd : MainWindow();
        if (hwnd && hwnd->acceptsFiles && !drop->files.empty()) {
            drop->hwnd = hwnd;
            g_drops.insert(drop);
            Post(hwnd, WM_DROPFILES, reinterpret_cast<WPARAM>(drop), 0);
        } else {
            delete drop;
        }
        break;
    }
    case SDL_QUIT:
        if (HWND hwnd = MainWindow()) Post(hwnd, WM_CLOSE, 0, 0);
        break;
    default:
        break;
    }
    if ((e.type == SDL_DROPFILE || e.type == SDL_DROPTEXT) && e.drop.file) SDL_free(e.drop.file);
}

// Moves what the outside world has said into the queue.
void PollOutside() {
    if (g_signalled.exchange(0)) {
        // A replay ends where it is (its queue is the recording's), so the game closes in order.
        PlatformEndInputReplay();
        for (HWND hwnd : g_windows)
            if (!hwnd->parent) Post(hwnd, WM_CLOSE, 0, 0);
    }
    if (!g_videoOk) return;
    SDL_Event e;
    if (inputlog::Replaying()) {
        // The recording holds the input and the focus changes the game saw; what the display
        // says now (focus moving with the pointer, exposures, keys) must not change the run.
        while (SDL_PollEvent(&e))
            if ((e.type == SDL_DROPFILE || e.type == SDL_DROPTEXT) && e.drop.file) SDL_free(e.drop.file);
        return;
    }
    while (SDL_PollEvent(&e)) TranslateEvent(e);
}

bool TakeMessage(MSG* msg, HWND hwnd, UINT lo, UINT hi, bool remove) {
    for (auto it = g_queue.begin(); it != g_queue.end(); ++it) {
        if (!Matches(*it, hwnd, lo, hi)) continue;
        *msg = *it;
        if (remove) g_queue.erase(it);
        return true;
    }
    if (lo == 0 || (lo <= WM_PAINT && hi >= WM_PAINT)) {
        for (HWND w : g_windows) {
            if (!w->invalid || (hwnd && w != hwnd)) continue;
            *msg = MSG{w, WM_PAINT, 0, 0, timeGetTime(), g_cursor};
            return true;
        }
    }
    if (g_quitPosted) {
        *msg = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(g_quitCode), 0, timeGetTime(), g_cursor};
        if (remove) g_quitPosted = false;
        return true;
    }
    return false;
}

// The input log's view of message retrieval. A replay answers from the recording and drops
// what reached the real queue meanwhile (the recording holds what the game posted itself).
// While recording, dropped files are not delivered: their handles cannot be replayed.
bool LoggedTake(MSG* msg, HWND hwnd, UINT lo, UINT hi, bool remove, bool allowEmpty) {
    inputlog::StartFromEnvironmentOnce();
    if (inputlog::Replaying()) {
        inputlog::SetWindowMapping(SerialOf, WindowOf);
        g_queue.clear();
        g_quitPosted = false;
        return inputlog::ReplayMessage(msg, allowEmpty);
    }
    bool got = TakeMessage(msg, hwnd, lo, hi, remove);
    if (inputlog::Recording()) {
        inputlog::SetWindowMapping(SerialOf, WindowOf);
        while (got && msg->message == WM_DROPFILES) {
            if (!remove) TakeMessage(msg, hwnd, lo, hi, true);
            DragFinish(reinterpret_cast<HDROP>(msg->wParam));
            got = TakeMessage(msg, hwnd, lo, hi, remove);
        }
        if (got || allowEmpty) inputlog::RecordMessage(got ? msg : nullptr);
    }
    return got;
}
} // namespace

bool Win32EnsureVideo() {
    if (g_videoTried) return g_videoOk;
    g_videoTried = true;
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
    g_videoOk = SDL_InitSubSystem(SDL_INIT_VIDEO | SDL_INIT_EVENTS) == 0;
    if (!g_videoOk) fprintf(stderr, "win32: no video: %s\n", SDL_GetError());
    InstallSignalHandlers();
    return g_videoOk;
}

bool Win32QuitRequested() { return g_signalled.load() != 0; }

SDL_Window* Win32SdlWindow(HWND hwnd) { return Live(hwnd) ? hwnd->sdl : nullptr; }

HWND Win32WindowFromSdlId(uint32_t id) {
    for (HWND hwnd : g_windows)
        if (hwnd->sdl && SDL_GetWindowID(hwnd->sdl) == id) return hwnd;
    return nullptr;
}

bool PlatformIsHeadless() {
    const char* driver = getenv("SDL_VIDEODRIVER");
    if (driver && (strcmp(driver, "offscreen") == 0 || strcmp(driver, "dummy") == 0)) return true;
    if (!Win32EnsureVideo()) return true;
    const char* current = SDL_GetCurrentVideoDriver();
    return !current || strcmp(current, "offscreen") == 0 || strcmp(current, "dummy") == 0;
}

ATOM RegisterClassA(const WNDCLASSA* wc) {
    if (!wc || !wc->lpszClassName || !wc->lpfnWndProc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    WindowClass c{*wc, wc->lpszClassName};
    c.wc.lpszClassName = nullptr;
    g_classes[c.name] = c;
    return static_cast<ATOM>(0xC000 + g_classes.size());
}

BOOL UnregisterClassA(const char* className, HINSTANCE) {
    return className && g_classes.erase(className) ? TRUE : FALSE;
}

HICON LoadIconA(HINSTANCE, const char*) {
    static int icon;
    return reinterpret_cast<HICON>(&icon);
}

HCURSOR LoadCursorA(HINSTANCE, const char*) {
    static int cursor;
    return reinterpret_cast<HCURSOR>(&cursor);
}

// The system's own control classes: they draw nothing here, so a child control is a record
// with the default procedure.
bool IsSystemClass(const char* name) {
    static const char* const kSystemClasses[] = {"STATIC", "BUTTON", "EDIT", "LISTBOX",
                                                 "COMBOBOX", "msctls_progress32"};
    for (const char* c : kSystemClasses)
        if (strcasecmp(c, name) == 0) return true;
    return false;
}

HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU, HINSTANCE, void*) {
    auto it = className ? g_classes.find(className) : g_classes.end();
    if (it == g_classes.end() && !(className && IsSystemClass(className))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (it == g_classes.end() || (style & WS_CHILD)) {
        // Controls and child windows live inside their parent: no window of their own.
        auto* w = new PlatformWindow;
        w->serial = g_nextSerial++;
        w->className = className;
        w->title = title ? title : "";
        w->proc = it == g_classes.end() ? DefWindowProcA : it->second.wc.lpfnWndProc;
        w->style = style;
        w->exStyle = exStyle;
        w->x = x;
        w->y = y;
        w->width = width;
        w->height = height;
        w->parent = Live(parent) ? parent : nullptr;
        g_windows.insert(w);
        SendMessageA(w, WM_CREATE, 0, 0);
        return w;
    }
    auto* w = new PlatformWindow;
    w->serial = g_nextSerial++;
    w->className = className;
    w->title = title ? title : "";
    w->proc = it->second.wc.lpfnWndProc;
    w->style = style;
    w->exStyle = exStyle;
    w->x = x;
    w->y = y;
    w->width = width;
    w->height = height;
    if (Win32EnsureVideo()) {
        Uint32 flags = SDL_WINDOW_HIDDEN | SDL_WINDOW_OPENGL;
        if (style & WS_POPUP) flags |= SDL_WINDOW_BORDERLESS;
        w->sdl = SDL_CreateWindow(w->title.c_str(), x, y, width > 0 ? width : 1,
                                  height > 0 ? height : 1, flags);
    }
    InstallSignalHandlers();
    g_windows.insert(w);
    SendMessageA(w, WM_CREATE, 0, 0);
    return w;
}

BOOL DestroyWindow(HWND hwnd) {
    if (!Live(hwnd)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    std::vector<HWND> children;
    for (HWND w : g_windows)
        if (w->parent == hwnd) children.push_back(w);
    for (HWND child : children) DestroyWindow(child);
    SendMessageA(hwnd, WM_DESTROY, 0, 0);
    if (g_focus == hwnd) g_focus = nullptr;
    if (g_active == hwnd) g_active = nullptr;
    if (g_capture == hwnd) g_capture = nullptr;
    for (auto it = g_queue.begin(); it != g_queue.end();)
        it = it->hwnd == hwnd ? g_queue.erase(it) : it + 1;
    g_windows.erase(hwnd);
    if (hwnd->sdl) SDL_DestroyWindow(hwnd->sdl);
    delete hwnd;
    return TRUE;
}

BOOL IsWindow(HWND hwnd) { return Live(hwnd) ? TRUE : FALSE; }

BOOL ShowWindow(HWND hwnd, int cmd) {
    if (!Live(hwnd)) return FALSE;
    BOOL was = hwnd->visible ? TRUE : FALSE;
    hwnd->visible = cmd != SW_HIDE;
    if (hwnd->sdl) {
        if (hwnd->visible)
            SDL_ShowWindow(hwnd->sdl);
        else
            SDL_HideWindow(hwnd->sdl);
    }
    if (hwnd->visible) hwnd->invalid = true;
    return was;
}

BOOL UpdateWindow(HWND hwnd) {
    if (!Live(hwnd)) return FALSE;
    if (hwnd->invalid && hwnd->visible) SendMessageA(hwnd, WM_PAINT, 0, 0);
    return TRUE;
}

HWND SetFocus(HWND hwnd) {
    HWND old = g_focus;
    if (hwnd && !Live(hwnd)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    if (old == hwnd) return old;
    if (hwnd) Activate(hwnd);
    g_focus = hwnd;
    if (Live(old)) SendMessageA(old, WM_KILLFOCUS, reinterpret_cast<WPARAM>(hwnd), 0);
    if (hwnd) {
        if (hwnd->sdl && hwnd->visible) SDL_RaiseWindow(hwnd->sdl);
        SendMessageA(hwnd, WM_SETFOCUS, reinterpret_cast<WPARAM>(old), 0);
    }
    return old;
}

HWND GetFocus() { return g_focus; }

BOOL InvalidateRect(HWND hwnd, const RECT*, BOOL) {
    if (!Live(hwnd)) return FALSE;
    hwnd->invalid = true;
    return TRUE;
}

BOOL ValidateRect(HWND hwnd, const RECT*) {
    if (!Live(hwnd)) return FALSE;
    hwnd->invalid = false;
    return TRUE;
}

BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint) {
    if (!Live(hwnd)) return FALSE;
    hwnd->x = x;
    hwnd->y = y;
    hwnd->width = width;
    hwnd->height = height;
    if (hwnd->sdl) {
        SDL_SetWindowPosition(hwnd->sdl, x, y);
        SDL_SetWindowSize(hwnd->sdl, width > 0 ? width : 1, height > 0 ? height : 1);
    }
    if (repaint) hwnd->invalid = true;
    return TRUE;
}

BOOL GetClientRect(HWND hwnd, RECT* rect) {
    if (!Live(hwnd) || !rect) return FALSE;
    int w = hwnd->width, h = hwnd->height;
    if (hwnd->sdl && hwnd->visible) SDL_GetWindowSize(hwnd->sdl, &w, &h);
    *rect = RECT{0, 0, w, h};
    return TRUE;
}

// The window manager draws frames outside the client area, so a window's outer rectangle is
// its client rectangle.
BOOL AdjustWindowRect(RECT* rect, DWORD, BOOL) { return rect ? TRUE : FALSE; }

int GetSystemMetrics(int index) {
    SDL_Rect bounds{0, 0, 640, 480};
    if (Win32EnsureVideo()) SDL_GetDisplayBounds(0, &bounds);
    if (index == SM_CXSCREEN) return bounds.w;
    if (index == SM_CYSCREEN) return bounds.h;
    return 0;
}

BOOL SetWindowTextA(HWND hwnd, const char* text) {
    if (!Live(hwnd)) return FALSE;
    hwnd->title = text ? text : "";
    if (hwnd->sdl) SDL_SetWindowTitle(hwnd->sdl, hwnd->title.c_str());
    return TRUE;
}

BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT lo, UINT hi, UINT removeFlags) {
    if (!msg) return FALSE;
    PollOutside();
    return LoggedTake(msg, hwnd, lo, hi, (removeFlags & PM_REMOVE) != 0, true) ? TRUE : FALSE;
}

BOOL GetMessageA(MSG* msg, HWND hwnd, UINT lo, UINT hi) {
    if (!msg) return -1;
    for (;;) {
        PollOutside();
        if (LoggedTake(msg, hwnd, lo, hi, true, false))
            return msg->message == WM_QUIT ? FALSE : TRUE;
        if (g_videoOk)
            SDL_WaitEventTimeout(nullptr, 10);
        else
            Sleep(1);
    }
}

// Character messages are not used by any caller; keys travel as key messages only.
BOOL TranslateMessage(const MSG* msg) {
    return msg && (msg->message == WM_KEYDOWN || msg->message == WM_SYSKEYDOWN) ? TRUE : FALSE;
}

LRESULT DispatchMessageA(const MSG* msg) {
    if (!msg || !Live(msg->hwnd) || !msg->hwnd->proc) return 0;
    return msg->hwnd->proc(msg->hwnd, msg->message, msg->wParam, msg->lParam);
}

BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (hwnd && !Live(hwnd)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Post(hwnd, message, wParam, lParam);
    return TRUE;
}

LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
    if (!Live(hwnd) || !hwnd->proc) return 0;
    return hwnd->proc(hwnd, message, wParam, lParam);
}

void PostQuitMessage(int exitCode) {
    g_quitPosted = true;
    g_quitCode = exitCode;
}

LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM) {
    switch (message) {
    case WM_CLOSE:
        DestroyWindow(hwnd);
        return 0;
    case WM_PAINT:
        ValidateRect(hwnd, nullptr);
        return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 closes the window, as on the old platform.
        if (wParam == 0x73) PostMessageA(hwnd, WM_CLOSE, 0, 0);
        return 0;
    default:
        return 0;
    }
}

HCURSOR SetCursor(HCURSOR cursor) {
    HCURSOR old = g_cursorShape;
    g_cursorShape = cursor;
    return old;
}

int ShowCursor(BOOL show) {
    g_cursorCount += show ? 1 : -1;
    if (Win32EnsureVideo()) SDL_ShowCursor(g_cursorCount >= 0 ? SDL_ENABLE : SDL_DISABLE);
    UpdateRelativeMode();
    return g_cursorCount;
}

HWND SetCapture(HWND hwnd) {
    HWND old = g_capture;
    g_capture = Live(hwnd) ? hwnd : nullptr;
    UpdateRelativeMode();
    return old;
}

BOOL ReleaseCapture() {
    g_capture = nullptr;
    UpdateRelativeMode();
    return TRUE;
}

HWND GetCapture() { return g_capture; }

BOOL ClientToScreen(HWND hwnd, POINT* point) {
    if (!Live(hwnd) || !point) return FALSE;
    int ox, oy;
    WindowOrigin(hwnd, ox, oy);
    point->x += ox;
    point->y += oy;
    return TRUE;
}

BOOL SetCursorPos(int x, int y) {
    g_cursor = POINT{x, y};
    // In relative mode the cursor is the layer's own; otherwise the real pointer moves too.
    if (g_videoOk && !SDL_GetRelativeMouseMode() && Live(g_focus) && g_focus->sdl &&
        g_focus->visible) {
        int ox, oy;
        WindowOrigin(g_focus, ox, oy);
        SDL_WarpMouseInWindow(g_focus->sdl, x - ox, y - oy);
    }
    return TRUE;
}

BOOL GetCursorPos(POINT* point) {
    if (!point) return FALSE;
    *point = g_cursor;
    return TRUE;
}

BOOL GetClipCursor(RECT* rect) {
    if (!rect) return FALSE;
    int w = GetSystemMetrics(SM_CXSCREEN), h = GetSystemMetrics(SM_CYSCREEN);
    *rect = RECT{0, 0, w, h};
    return TRUE;
}

void DragAcceptFiles(HWND hwnd, BOOL accept) {
    if (!Live(hwnd)) return;
    hwnd->acceptsFiles = accept != 0;
    if (g_videoOk) SDL_EventState(SDL_DROPFILE, SDL_ENABLE);
}

UINT DragQueryFileA(HDROP drop, UINT index, char* buffer, UINT size) {
    if (!drop || !g_drops.count(drop)) return 0;
    if (index == 0xFFFFFFFFu) return static_cast<UINT>(drop->files.size());
    if (index >= drop->files.size()) return 0;
    const std::string& name = drop->files[index];
    if (!buffer) return static_cast<UINT>(name.size());
    if (size == 0) return 0;
    size_t n = name.size() < size - 1 ? name.size() : size - 1;
    memcpy(buffer, name.data(), n);
    buffer[n] = '\0';
    return static_cast<UINT>(n);
}

void DragFinish(HDROP drop) {
    if (drop && g_drops.erase(drop)) delete drop;
}

void PlatformResetWindows() {
    while (!g_windows.empty()) {
        HWND hwnd = *g_windows.begin();
        g_windows.erase(g_windows.begin());
        if (hwnd->sdl) SDL_DestroyWindow(hwnd->sdl);
        delete hwnd;
    }
    for (PlatformDrop* d : g_drops) delete d;
    g_drops.clear();
    delete g_pendingDrop;
    g_pendingDrop = nullptr;
    g_classes.clear();
    g_queue.clear();
    g_nextSerial = 1;
    g_quitPosted = false;
    g_focus = g_active = g_capture = nullptr;
    g_cursorCount = 0;
    g_cursorShape = nullptr;
    g_cursor = POINT{0, 0};
    if (g_videoOk) {
        SDL_SetRelativeMouseMode(SDL_FALSE);
        SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
    }
}
