// Debugger output, module path, keyboard layout, version and palette bookkeeping.
#include "platform/win32/win32.h"

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

struct PlatformGdiObject {
    int kind;
};

namespace {
int g_palettesRealised = 0;
PlatformGdiObject g_screenDc{1};
HPALETTE g_selected = nullptr;
DWORD g_platformId = VER_PLATFORM_WIN32_WINDOWS;

// Language id of the user's locale, as the old platform reported the keyboard layout.
WORD LanguageFromLocale() {
    const char* vars[] = {"LC_ALL", "LC_CTYPE", "LANG"};
    const char* locale = nullptr;
    for (const char* v : vars) {
        const char* value = getenv(v);
        if (value && *value) {
            locale = value;
            break;
        }
    }
    if (!locale) return 2057;
    if (strncmp(locale, "de", 2) == 0) return 1031;
    if (strncmp(locale, "en_US", 5) == 0) return 1033;
    if (strncmp(locale, "fr", 2) == 0) return 1036;
    if (strncmp(locale, "it", 2) == 0) return 1040;
    return 2057;
}
} // namespace

void OutputDebugStringA(const char* text) {
    if (!text) return;
    fputs(text, stderr);
    fflush(stderr);
}

struct PlatformInstance {
    int unused;
};

// The program's own module; other modules do not exist here.
HMODULE GetModuleHandleA(const char* name) {
    static PlatformInstance self;
    return name ? nullptr : &self;
}

DWORD GetModuleFileNameA(HMODULE, char* buffer, DWORD size) {
    if (!buffer || size == 0) return 0;
    char path[4096];
    ssize_t n = readlink("/proc/self/exe", path, sizeof(path) - 1);
    if (n < 0) {
        buffer[0] = '\0';
        return 0;
    }
    // A path that does not fit is cut and still terminated.
    size_t len = static_cast<size_t>(n) < size - 1 ? static_cast<size_t>(n) : size - 1;
    memcpy(buffer, path, len);
    buffer[len] = '\0';
    return static_cast<DWORD>(len);
}

HKL GetKeyboardLayout(DWORD) {
    WORD lang = LanguageFromLocale();
    return static_cast<HKL>(lang) | (static_cast<HKL>(lang) << 16);
}

namespace {
std::string g_commandLine;
}

void PlatformSetCommandLine(const char* text) {
    g_commandLine = text ? text : "";
}

const char* GetCommandLineA() {
    return g_commandLine.c_str();
}

LCID GetUserDefaultLCID() {
    return LanguageFromLocale();
}

// The layer stands in for the platform family the game was made for, so no start-up warning
// about the operating system is shown; tests can report another family.
BOOL GetVersionExA(OSVERSIONINFOA* info) {
    if (!info) return FALSE;
    info->dwMajorVersion = 4;
    info->dwMinorVersion = 10;
    info->dwBuildNumber = 2222;
    info->dwPlatformId = g_platformId;
    info->szCSDVersion[0] = '\0';
    return TRUE;
}

HDC GetDC(HWND) { return &g_screenDc; }
int ReleaseDC(HWND, HDC) { return 1; }

HPALETTE CreatePalette(const LOGPALETTE* palette) {
    if (!palette || palette->palNumEntries == 0) return nullptr;
    return new PlatformGdiObject{2};
}

HPALETTE SelectPalette(HDC, HPALETTE palette, BOOL) {
    HPALETTE old = g_selected;
    g_selected = palette;
    return old;
}

UINT RealizePalette(HDC) {
    if (!g_selected) return 0;
    ++g_palettesRealised;
    return 256;
}

BOOL DeleteObject(HGDIOBJ object) {
    if (!object || object == &g_screenDc) return FALSE;
    if (object == g_selected) g_selected = nullptr;
    delete object;
    return TRUE;
}

int PlatformPalettesRealised() { return g_palettesRealised; }
void PlatformSetVersionPlatformId(DWORD id) { g_platformId = id; }
