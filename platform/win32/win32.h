// Stand-in for the window system calls the game, engine and framework make: windows, the
// message queue, message boxes, the cursor, named mutexes, drag and drop, palettes, debugger
// output and system queries. Backed by SDL2; only the calls in use exist.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

using BYTE = uint8_t;
using WORD = uint16_t;
using DWORD = uint32_t;
using UINT = uint32_t;
using BOOL = int32_t;
using LONG = int32_t;
using ATOM = uint16_t;
using WPARAM = uintptr_t;
using LPARAM = intptr_t;
using LRESULT = intptr_t;
using HANDLE = void*;
using INT_PTR = intptr_t;

struct PlatformWindow;
struct PlatformInstance;
struct PlatformDrop;
struct PlatformGdiObject;
using HWND = PlatformWindow*;
using HINSTANCE = PlatformInstance*;
using HMODULE = PlatformInstance*;
using HDROP = PlatformDrop*;
using HICON = PlatformGdiObject*;
using HCURSOR = PlatformGdiObject*;
using HBRUSH = PlatformGdiObject*;
using HMENU = PlatformGdiObject*;
using HDC = PlatformGdiObject*;
using HPALETTE = PlatformGdiObject*;
using HGDIOBJ = PlatformGdiObject*;
using HKL = uintptr_t;

#ifndef TRUE
#define TRUE 1
#endif
#ifndef FALSE
#define FALSE 0
#endif

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);
using DLGPROC = INT_PTR (*)(HWND, UINT, WPARAM, LPARAM);

struct POINT {
    LONG x, y;
};
struct RECT {
    LONG left, top, right, bottom;
};
struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};
struct WNDCLASSA {
    UINT style;
    WNDPROC lpfnWndProc;
    int cbClsExtra;
    int cbWndExtra;
    HINSTANCE hInstance;
    HICON hIcon;
    HCURSOR hCursor;
    HBRUSH hbrBackground;
    const char* lpszMenuName;
    const char* lpszClassName;
};
struct PALETTEENTRY {
    BYTE peRed, peGreen, peBlue, peFlags;
};
struct LOGPALETTE {
    WORD palVersion;
    WORD palNumEntries;
    PALETTEENTRY palPalEntry[1];
};
struct OSVERSIONINFOA {
    DWORD dwOSVersionInfoSize;
    DWORD dwMajorVersion;
    DWORD dwMinorVersion;
    DWORD dwBuildNumber;
    DWORD dwPlatformId;
    char szCSDVersion[128];
};

// Messages.
constexpr UINT WM_NULL = 0x0000;
constexpr UINT WM_CREATE = 0x0001;
constexpr UINT WM_DESTROY = 0x0002;
constexpr UINT WM_MOVE = 0x0003;
constexpr UINT WM_SIZE = 0x0005;
constexpr UINT WM_ACTIVATE = 0x0006;
constexpr UINT WM_SETFOCUS = 0x0007;
constexpr UINT WM_KILLFOCUS = 0x0008;
constexpr UINT WM_GETTEXT = 0x000D;
constexpr UINT WM_PAINT = 0x000F;
constexpr UINT WM_CLOSE = 0x0010;
constexpr UINT WM_QUIT = 0x0012;
constexpr UINT WM_ACTIVATEAPP = 0x001C;
constexpr UINT WM_DISPLAYCHANGE = 0x007E;
constexpr UINT WM_KEYDOWN = 0x0100;
constexpr UINT WM_KEYUP = 0x0101;
constexpr UINT WM_CHAR = 0x0102;
constexpr UINT WM_SYSKEYDOWN = 0x0104;
constexpr UINT WM_SYSKEYUP = 0x0105;
constexpr UINT WM_INITDIALOG = 0x0110;
constexpr UINT WM_COMMAND = 0x0111;
constexpr UINT WM_SYSCOMMAND = 0x0112;
constexpr UINT WM_MOUSEMOVE = 0x0200;
constexpr UINT WM_LBUTTONDOWN = 0x0201;
constexpr UINT WM_LBUTTONUP = 0x0202;
constexpr UINT WM_LBUTTONDBLCLK = 0x0203;
constexpr UINT WM_RBUTTONDOWN = 0x0204;
constexpr UINT WM_RBUTTONUP = 0x0205;
constexpr UINT WM_RBUTTONDBLCLK = 0x0206;
constexpr UINT WM_MBUTTONDOWN = 0x0207;
constexpr UINT WM_MBUTTONUP = 0x0208;
constexpr UINT WM_MBUTTONDBLCLK = 0x0209;
constexpr UINT WM_POWERBROADCAST = 0x0218;
constexpr UINT WM_DROPFILES = 0x0233;
constexpr UINT WM_QUERYNEWPALETTE = 0x030F;
constexpr UINT WM_PALETTECHANGED = 0x0311;
constexpr UINT MM_MCINOTIFY = 0x03B9;
constexpr UINT WM_USER = 0x0400;

constexpr WPARAM SC_SCREENSAVE = 0xF140;
constexpr WPARAM SC_MONITORPOWER = 0xF170;
constexpr WPARAM PBT_APMSUSPEND = 4;
constexpr WPARAM PBT_APMRESUMESUSPEND = 7;
constexpr WORD WA_INACTIVE = 0;
constexpr WORD WA_ACTIVE = 1;

constexpr UINT PM_NOREMOVE = 0;
constexpr UINT PM_REMOVE = 1;

// Window and class styles.
constexpr UINT CS_DBLCLKS = 0x0008;
constexpr UINT CS_BYTEALIGNWINDOW = 0x2000;
constexpr DWORD WS_POPUP = 0x80000000u;
constexpr DWORD WS_CHILD = 0x40000000u;
constexpr DWORD WS_VISIBLE = 0x10000000u;
constexpr DWORD WS_OVERLAPPEDWINDOW = 0x00CF0000u;
constexpr DWORD WS_EX_TOPMOST = 0x00000008u;

constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOW = 5;

constexpr int SM_CXSCREEN = 0;
constexpr int SM_CYSCREEN = 1;

// Message boxes.
constexpr UINT MB_OK = 0x00;
constexpr UINT MB_OKCANCEL = 0x01;
constexpr UINT MB_ABORTRETRYIGNORE = 0x02;
constexpr UINT MB_YESNOCANCEL = 0x03;
constexpr UINT MB_YESNO = 0x04;
constexpr UINT MB_RETRYCANCEL = 0x05;
constexpr UINT MB_ICONHAND = 0x10;
constexpr UINT MB_ICONSTOP = 0x10;
constexpr UINT MB_ICONQUESTION = 0x20;
constexpr UINT MB_ICONEXCLAMATION = 0x30;
constexpr UINT MB_ICONASTERISK = 0x40;
constexpr UINT MB_DEFBUTTON2 = 0x100;
constexpr UINT MB_DEFBUTTON3 = 0x200;
constexpr int IDOK = 1;
constexpr int IDCANCEL = 2;
constexpr int IDABORT = 3;
constexpr int IDRETRY = 4;
constexpr int IDIGNORE = 5;
constexpr int IDYES = 6;
constexpr int IDNO = 7;

// Errors.
constexpr DWORD ERROR_SUCCESS = 0;
constexpr DWORD ERROR_FILE_NOT_FOUND = 2;
constexpr DWORD ERROR_ACCESS_DENIED = 5;
constexpr DWORD ERROR_INVALID_HANDLE = 6;
constexpr DWORD ERROR_INVALID_PARAMETER = 87;
constexpr DWORD ERROR_ALREADY_EXISTS = 183;

constexpr DWORD VER_PLATFORM_WIN32_WINDOWS = 1;
constexpr DWORD VER_PLATFORM_WIN32_NT = 2;

constexpr BYTE PC_NOCOLLAPSE = 0x04;

inline WORD LOWORD(uintptr_t v) { return static_cast<WORD>(v & 0xFFFF); }
inline WORD HIWORD(uintptr_t v) { return static_cast<WORD>((v >> 16) & 0xFFFF); }
inline LPARAM MAKELPARAM(WORD lo, WORD hi) {
    return static_cast<LPARAM>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16));
}
// Resource ids passed where a name is expected.
inline const char* MAKEINTRESOURCEA(uintptr_t id) { return reinterpret_cast<const char*>(id); }
#define IDC_ARROW MAKEINTRESOURCEA(32512)

// Errors of the calling thread.
DWORD GetLastError();
void SetLastError(DWORD code);

// Kernel objects. A named mutex is a lock file held with flock in the first folder that can
// hold it: $XDG_RUNTIME_DIR, the settings folder, else /tmp under a name with the user id.
// A name held by a live process gives ERROR_ALREADY_EXISTS. When no folder can hold it, a
// warning goes to standard error and the mutex is created without a lock.
HANDLE CreateMutexA(void* attributes, BOOL initialOwner, const char* name);
BOOL ReleaseMutex(HANDLE mutex);
BOOL CloseHandle(HANDLE handle);
void Sleep(DWORD ms);

// Windows and classes.
ATOM RegisterClassA(const WNDCLASSA* wc);
BOOL UnregisterClassA(const char* className, HINSTANCE instance);
HICON LoadIconA(HINSTANCE instance, const char* name);
HCURSOR LoadCursorA(HINSTANCE instance, const char* name);
HWND CreateWindowExA(DWORD exStyle, const char* className, const char* title, DWORD style, int x,
                     int y, int width, int height, HWND parent, HMENU menu, HINSTANCE instance,
                     void* param);
BOOL DestroyWindow(HWND hwnd);
BOOL IsWindow(HWND hwnd);
BOOL ShowWindow(HWND hwnd, int cmd);
BOOL UpdateWindow(HWND hwnd);
HWND SetFocus(HWND hwnd);
HWND GetFocus();
BOOL InvalidateRect(HWND hwnd, const RECT* rect, BOOL erase);
BOOL ValidateRect(HWND hwnd, const RECT* rect);
BOOL MoveWindow(HWND hwnd, int x, int y, int width, int height, BOOL repaint);
BOOL GetClientRect(HWND hwnd, RECT* rect);
BOOL AdjustWindowRect(RECT* rect, DWORD style, BOOL menu);
int GetSystemMetrics(int index);
BOOL SetWindowTextA(HWND hwnd, const char* text);

// Messages.
BOOL PeekMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax, UINT removeFlags);
BOOL GetMessageA(MSG* msg, HWND hwnd, UINT filterMin, UINT filterMax);
BOOL TranslateMessage(const MSG* msg);
LRESULT DispatchMessageA(const MSG* msg);
BOOL PostMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT SendMessageA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
void PostQuitMessage(int exitCode);
LRESULT DefWindowProcA(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);

// Message boxes. Headless, the box prints caption and text to standard error, is recorded,
// and returns its default button at once.
int MessageBoxA(HWND owner, const char* text, const char* caption, UINT type);

// Modal dialogs from the dialog templates registered with the layer (platform/win32/dialog.h);
// the template is named by its id (MAKEINTRESOURCEA), the instance is not looked at. The
// procedure gets WM_INITDIALOG (lParam: `param`) and WM_COMMAND with the control id in the low
// word and the notification (BN_CLICKED, CBN_SELCHANGE) in the high word; closing the dialog
// sends WM_COMMAND IDCANCEL. DialogBoxParamA returns what EndDialog was given, -1 when the
// template is unknown. With a display the dialog is drawn in a window of its own; headless,
// the procedure gets WM_INITDIALOG and then its default push button (id 1) is pressed.
INT_PTR DialogBoxParamA(HINSTANCE instance, const char* templateName, HWND owner, DLGPROC proc,
                        LPARAM param);
BOOL EndDialog(HWND dialog, INT_PTR result);
HWND GetDlgItem(HWND dialog, int id);
// The control's text; a drop-down list's is its selected item's (empty without one).
UINT GetDlgItemTextA(HWND dialog, int id, char* buffer, int size);
// Dialog controls only: other windows are always enabled.
BOOL EnableWindow(HWND hwnd, BOOL enable);
BOOL IsWindowEnabled(HWND hwnd);
// Strings of the registered string table; 0 when the id has none.
int LoadStringA(HINSTANCE instance, UINT id, char* buffer, int size);

inline WPARAM MAKEWPARAM(WORD lo, WORD hi) {
    return static_cast<WPARAM>(static_cast<DWORD>(lo) | (static_cast<DWORD>(hi) << 16));
}
constexpr WORD BN_CLICKED = 0;
constexpr WORD CBN_SELCHANGE = 1;
// Drop-down list messages.
constexpr UINT CB_ADDSTRING = 0x0143;
constexpr UINT CB_GETCOUNT = 0x0146;
constexpr UINT CB_GETCURSEL = 0x0147;
constexpr UINT CB_GETLBTEXT = 0x0148;
constexpr UINT CB_RESETCONTENT = 0x014B;
constexpr UINT CB_SETCURSEL = 0x014E;
constexpr UINT CB_GETITEMDATA = 0x0150;
constexpr UINT CB_SETITEMDATA = 0x0151;
constexpr UINT CB_FINDSTRINGEXACT = 0x0158;
constexpr LRESULT CB_ERR = -1;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

// Cursor and mouse capture, over SDL's relative mouse mode.
int ShowCursor(BOOL show);
HCURSOR SetCursor(HCURSOR cursor);
HWND SetCapture(HWND hwnd);
BOOL ReleaseCapture();
HWND GetCapture();
BOOL ClientToScreen(HWND hwnd, POINT* point);
BOOL SetCursorPos(int x, int y);
BOOL GetCursorPos(POINT* point);
BOOL GetClipCursor(RECT* rect);

// Drag and drop.
void DragAcceptFiles(HWND hwnd, BOOL accept);
UINT DragQueryFileA(HDROP drop, UINT index, char* buffer, UINT size);
void DragFinish(HDROP drop);

// Palettes: bookkeeping only; the display is never palettised.
HDC GetDC(HWND hwnd);
int ReleaseDC(HWND hwnd, HDC dc);
HPALETTE CreatePalette(const LOGPALETTE* palette);
HPALETTE SelectPalette(HDC dc, HPALETTE palette, BOOL forceBackground);
UINT RealizePalette(HDC dc);
BOOL DeleteObject(HGDIOBJ object);

// System.
void OutputDebugStringA(const char* text);
HMODULE GetModuleHandleA(const char* name);
DWORD GetModuleFileNameA(HMODULE module, char* buffer, DWORD size);
HKL GetKeyboardLayout(DWORD threadId);
BOOL GetVersionExA(OSVERSIONINFOA* info);
using LCID = DWORD;
LCID GetUserDefaultLCID();
// The program's command line as the process entry set it.
const char* GetCommandLineA();
void PlatformSetCommandLine(const char* text);

// ---- Test seams and services of the layer itself ----

struct PlatformMessageBoxRecord {
    std::string text;
    std::string caption;
    UINT type;
    int result;
};
// Message boxes shown so far, oldest first.
const std::vector<PlatformMessageBoxRecord>& PlatformMessageBoxes();
void PlatformClearMessageBoxes();
// Headless boxes answer this button when they have it (0: the default button).
void PlatformSetMessageBoxAnswer(int answer);
// True when no display is there (offscreen or dummy video driver, or no video at all).
bool PlatformIsHeadless();
// Number of palettes realised so far.
int PlatformPalettesRealised();
// The platform id GetVersionExA reports (1, the family the game was made for, by default).
void PlatformSetVersionPlatformId(DWORD id);
// Forgets every window, class, queued message and focus/capture state (tests).
void PlatformResetWindows();
