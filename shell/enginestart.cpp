#include "shell/enginestart.h"

#include "engine/core/bmp.h"
#include "engine/core/engine.h"
#include "engine/core/image.h"
#include "engine/world/anim.h"
#include "engine/world/meminfo.h"
#include "engine/world/pvs.h"
#include "engine/world/random.h"
#include "engine/world/world_plugin.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/movies.h"
#include "game/objects/jpeg.h"
#include "game/objects/world.h"
#include "platform/win32/dialog.h"
#include "platform/win32/registry.h"
#include "shell/events.h"
#include "shell/window.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <utility>
#include <vector>

MV2DisplayRequest gMV2DisplayRequest = {640, 480, 16, 1};
int32_t gMV2EngineStarted = 0;
HWND gMV2EngineOpenParameter = nullptr;
MV2ConfigDialogState gMV2ConfigDialog = {0, 0, -1, nullptr};

MV2PluginAttach gMV2PluginAttaches[kMV2PluginAttaches] = {
    {TpPVSPluginAttach, "TpPVSPluginAttach failed, but pressing on"},
    {TpMemInfoPluinAttach, "TpMemInfoPluinAttach failed, but pressing on"},
    {TpCustonLightPluginAttach, "TpCustonLightPluginAttach failed, but pressing on"},
    {TpWorldPluginAttach, "TpWorldPluginAttach failed, but pressing on"},
    {TvRandomPluginAttach, "TvRandomPluginAttach failed, but pressing on"},
    {TpAtomicCollDataPluginAttach, "TpAtomicCollDataPluginAttach failed, but pressing on"},
    {TpAtomicDataPluginAttach, "TpAtomicDataPluginAttach failed, but pressing on"},
    {TpClumpDataPluginAttach, "TpClumpDataPluginAttach failed, but pressing on"},
    {TpAnimPluginAttach, "TpAnimPluginAttach failed, but pressing on"},
    {TpFrameTagPluginAttach, "TpFrameTagPluginAttach failed, but pressing on"},
};

namespace {

constexpr const char* kSettingsKey = "Software\\Halvern Studios\\Marovant";

// The first engine mode that fits; -1 when none does.
int32_t FindMode(int32_t width, int32_t height, int32_t depth, uint32_t flags) {
    int32_t count = TvEngineGetNumVideoModes();
    for (int32_t i = 0; i < count; ++i) {
        TvVideoMode mode;
        if (!TvEngineGetVideoModeInfo(&mode, i)) continue;
        bool fits = (flags & 1) ? int32_t(mode.width) == width && int32_t(mode.height) == height
                                : int32_t(mode.width) >= width && int32_t(mode.height) >= height;
        if (fits && int32_t(mode.depth) == depth && mode.flags == flags) return i;
    }
    return -1;
}

bool ReadString(HKEY key, const char* name, char* out, DWORD size) {
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(out), &size) !=
        ERROR_SUCCESS)
        return false;
    out[size ? size - 1 : 0] = 0;
    return type == REG_SZ;
}

} // namespace

int32_t MV2FindVideoMode(int32_t width, int32_t height, int32_t depth, uint32_t flags) {
    return FindMode(width, height, depth, flags) >= 0 ? 1 : 0;
}

int32_t MV2SetVideoMode(int32_t width, int32_t height, int32_t depth, uint32_t flags) {
    int32_t index = FindMode(width, height, depth, flags);
    if (index < 0) return 0;
    TvEngineSetVideoMode(index);
    MV2SizeWindow(width, height, depth, flags);
    return 1;
}

int32_t MV2FindDisplayRequestMode() {
    const MV2DisplayRequest& r = gMV2DisplayRequest;
    if (!MV2FindVideoMode(r.width, r.height, r.depth, r.flags)) return 0;
    if (!(r.flags & 1)) MV2SizeWindow(r.width, r.height, r.depth, r.flags);
    return 1;
}

void MV2SetDisplayRequest(int32_t width, int32_t height, int32_t depth, int32_t windowed) {
    gMV2DisplayRequest = {width, height, depth, windowed ? 0u : 1u};
    MV2Set2DScreenScale(width, height);
}

int32_t MV2ApplyDisplayRequest() {
    const MV2DisplayRequest& r = gMV2DisplayRequest;
    return MV2SetVideoMode(r.width, r.height, r.depth, r.flags);
}

namespace {

LRESULT Send(HWND dialog, int id, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
    return SendMessageA(GetDlgItem(dialog, id), message, wParam, lParam);
}

// The item data of the list's selected item (CB_ERR, -1, without one).
int32_t SelectedData(HWND dialog, int id) {
    return int32_t(Send(dialog, id, CB_GETITEMDATA, WPARAM(Send(dialog, id, CB_GETCURSEL))));
}

// Strings 1-4: the settings key and the names of the values.
struct DialogStrings {
    char key[256], driver[64], resolution[64], window[64];
    bool Load(HINSTANCE instance) {
        return LoadStringA(instance, 1, key, sizeof key) > 0 &&
               LoadStringA(instance, 2, driver, sizeof driver) > 0 &&
               LoadStringA(instance, 3, resolution, sizeof resolution) > 0 &&
               LoadStringA(instance, 4, window, sizeof window) > 0;
    }
};

// Selects the item whose text is the stored value's, ignoring case; its item index or CB_ERR.
LRESULT SelectStored(HWND dialog, int id, HKEY key, const char* name) {
    char text[513];
    if (!ReadString(key, name, text, 512)) return CB_ERR;
    LRESULT item = Send(dialog, id, CB_FINDSTRINGEXACT, WPARAM(-1), reinterpret_cast<LPARAM>(text));
    if (item != CB_ERR) Send(dialog, id, CB_SETCURSEL, WPARAM(item));
    return item;
}

void InitialiseDialog(HWND dialog) {
    MV2ConfigDialogState& s = gMV2ConfigDialog;
    LRESULT currentItem = CB_ERR;
    for (int32_t i = 0; i < s.subsystems; ++i) {
        TvSubSystemInfo info;
        if (!TvEngineGetSubSystemInfo(&info, i)) continue;
        LRESULT item =
            Send(dialog, kMV2DeviceList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(info.name));
        Send(dialog, kMV2DeviceList, CB_SETITEMDATA, WPARAM(item), i);
        if (i == s.currentSubsystem) currentItem = item;
    }
    if (s.subsystems > 1)
        Send(dialog, kMV2DeviceList, CB_SETCURSEL, WPARAM(currentItem));
    else
        EnableWindow(GetDlgItem(dialog, kMV2DeviceList), FALSE);
    MV2FillResolutionList(dialog);
    DialogStrings names;
    HKEY key = nullptr;
    if (!names.Load(s.instance) ||
        RegOpenKeyExA(HKEY_CURRENT_USER, names.key, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return;
    if (SelectStored(dialog, kMV2DeviceList, key, names.driver) != CB_ERR) {
        s.currentSubsystem = SelectedData(dialog, kMV2DeviceList);
        TvEngineSetSubSystem(s.currentSubsystem);
        MV2FillResolutionList(dialog);
    }
    if (SelectStored(dialog, kMV2ResolutionList, key, names.resolution) != CB_ERR)
        s.selectedMode = SelectedData(dialog, kMV2ResolutionList);
    RegCloseKey(key);
}

// Play: both list texts go to the settings; a failed write is not reported.
void SaveChoices(HWND dialog) {
    DialogStrings names;
    HKEY key = nullptr;
    if (!names.Load(gMV2ConfigDialog.instance) ||
        RegCreateKeyExA(HKEY_CURRENT_USER, names.key, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        KEY_ALL_ACCESS, nullptr, &key, nullptr) != ERROR_SUCCESS)
        return;
    for (auto [name, id] : {std::pair{names.driver, kMV2DeviceList},
                            std::pair{names.resolution, kMV2ResolutionList}}) {
        char text[513];
        UINT length = GetDlgItemTextA(dialog, id, text, 512);
        RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text), length + 1);
    }
    RegCloseKey(key);
}

// The banner: water lit from above over a dark sea bed, with rising bubbles.
std::vector<uint8_t> BannerPicture(int width, int height) {
    std::vector<uint8_t> rgba(size_t(width) * size_t(height) * 4);
    const struct {
        float x, y, r;
    } bubbles[] = {{0.12f, 0.55f, 4}, {0.15f, 0.30f, 2.5f}, {0.63f, 0.62f, 5},
                   {0.66f, 0.35f, 3}, {0.68f, 0.15f, 2},    {0.88f, 0.50f, 3.5f}};
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x) {
            const float u = float(x) / float(width), v = float(y) / float(height);
            float light = 0.5f + 0.5f * std::sin(u * 23.0f + std::sin(v * 9.0f + u * 5.0f) * 2.0f);
            float r = 10 + 40 * (1 - v), g = 60 + 110 * (1 - v) + 25 * light * (1 - v),
                  b = 110 + 120 * (1 - v) + 20 * light;
            const float bed = 0.82f + 0.06f * std::sin(u * 17.0f) + 0.04f * std::sin(u * 41.0f);
            if (v > bed) r = 40, g = 34, b = 28;
            for (const auto& bubble : bubbles) {
                const float d = std::hypot(float(x) - bubble.x * float(width),
                                           float(y) - bubble.y * float(height));
                if (d < bubble.r) r = g = b = d > bubble.r - 1.2f ? 235.0f : std::max(b, 170.0f);
            }
            uint8_t* p = &rgba[(size_t(y) * size_t(width) + size_t(x)) * 4];
            p[0] = uint8_t(std::clamp(r, 0.0f, 255.0f));
            p[1] = uint8_t(std::clamp(g, 0.0f, 255.0f));
            p[2] = uint8_t(std::clamp(b, 0.0f, 255.0f));
            p[3] = 255;
        }
    return rgba;
}

} // namespace

void MV2RegisterConfigDialogResources() {
    using Kind = PlatformDialogControlKind;
    PlatformDialogTemplate dialog{
        "Marovant(TM)  Configuration",
        "MS Sans Serif",
        8,
        280,
        143,
        {
            {kMV2DialogPlay, Kind::DefaultPushButton, "Play &Marovant", 64, 119, 66, 17},
            {kMV2DialogExit, Kind::PushButton, "E&xit to Windows", 153, 119, 61, 17},
            {kMV2DeviceList, Kind::DropDownList, "", 64, 55, 155, 65},
            {kMV2ResolutionList, Kind::DropDownList, "", 64, 84, 155, 80},
            {-1, Kind::Label, "Select 3D Device", 59, 44, 57, 10},
            {1002, Kind::Label, "Select Screen Resolution", 59, 73, 81, 10},
            {-1, Kind::Bitmap, "", 0, 0, 280, 37, kMV2ConfigBannerResource},
        }};
    const RECT banner = PlatformDialogUnitsToPixels(dialog, {0, 0, 280, 37});
    PlatformRegisterBitmap(kMV2ConfigBannerResource, int(banner.right), int(banner.bottom),
                           BannerPicture(int(banner.right), int(banner.bottom)));
    PlatformRegisterDialog(kMV2ConfigDialogResource, std::move(dialog));
    PlatformRegisterString(1, kSettingsKey);
    PlatformRegisterString(2, "VideoDriverName");
    PlatformRegisterString(3, "VideoResolution");
    PlatformRegisterString(4, "InAWindow");
}

int32_t MV2FillResolutionList(HWND dialog) {
    MV2ConfigDialogState& s = gMV2ConfigDialog;
    Send(dialog, kMV2ResolutionList, CB_RESETCONTENT);
    LRESULT item640 = CB_ERR, toSelect = 0, added = CB_ERR;
    bool windowedSelected = false;
    int32_t count = TvEngineGetNumVideoModes();
    for (int32_t i = 0; i < count; ++i) {
        TvVideoMode mode;
        if (!TvEngineGetVideoModeInfo(&mode, i)) continue;
        const bool fullScreen = mode.flags & 1;
        const bool width = mode.width == 640 || mode.width == 800 || mode.width == 1024;
        const bool height = mode.height == 480 || mode.height == 600 || mode.height == 768;
        const bool depth = mode.depth == 16 || mode.depth == 32;
        if (fullScreen && width && height && depth) {
            char text[64];
            std::snprintf(text, sizeof text, "%i x %i x %i", int(mode.width), int(mode.height),
                          int(mode.depth));
            added =
                Send(dialog, kMV2ResolutionList, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            Send(dialog, kMV2ResolutionList, CB_SETITEMDATA, WPARAM(added), i);
            if (mode.width == 640 && mode.height == 480 && mode.depth == 16) item640 = added;
        }
        if (i != s.selectedMode) continue;
        if (!fullScreen)
            windowedSelected = true;
        else if (added != CB_ERR)
            toSelect = added;
    }
    if (windowedSelected && item640 != CB_ERR) toSelect = item640;
    Send(dialog, kMV2ResolutionList, CB_SETCURSEL, WPARAM(toSelect));
    s.selectedMode = SelectedData(dialog, kMV2ResolutionList);
    return 1;
}

INT_PTR MV2ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM) {
    MV2ConfigDialogState& s = gMV2ConfigDialog;
    if (message == WM_INITDIALOG) {
        InitialiseDialog(dialog);
        return TRUE;
    }
    if (message != WM_COMMAND) return FALSE;
    const int id = LOWORD(wParam);
    const bool changed = HIWORD(wParam) == CBN_SELCHANGE;
    if (id == kMV2DeviceList && changed) {
        s.selectedMode = -1;
        LRESULT item = Send(dialog, kMV2DeviceList, CB_GETCURSEL);
        if (item != CB_ERR) {
            s.currentSubsystem =
                int32_t(Send(dialog, kMV2DeviceList, CB_GETITEMDATA, WPARAM(item)));
            TvEngineSetSubSystem(s.currentSubsystem);
        }
        MV2FillResolutionList(dialog);
    } else if (id == kMV2ResolutionList && changed) {
        s.selectedMode = SelectedData(dialog, kMV2ResolutionList);
    } else if (id == kMV2DialogPlay) {
        SaveChoices(dialog);
        EndDialog(dialog, 1);
    } else if (id == kMV2DialogExit) {
        EndDialog(dialog, 0);
    } else {
        return FALSE;
    }
    return TRUE;
}

int32_t MV2RunConfigDialog(HINSTANCE instance, HWND owner) {
    MV2ConfigDialogState& s = gMV2ConfigDialog;
    s.instance = instance;
    s.subsystems = TvEngineGetNumSubSystems();
    TvEngineSetSubSystem(s.currentSubsystem);
    MV2RegisterConfigDialogResources();
    if (DialogBoxParamA(instance, MAKEINTRESOURCEA(kMV2ConfigDialogResource), owner,
                        MV2ConfigDialogProc, 0) == 0)
        return 0;
    TvVideoMode mode;
    if (!TvEngineGetVideoModeInfo(&mode, s.selectedMode)) return 1;
    MV2SetDisplayRequest(int32_t(mode.width), int32_t(mode.height), int32_t(mode.depth), 0);
    return MV2ApplyDisplayRequest() ? 1 : 0;
}

int32_t MV2AttachPlugins(int32_t* success, HWND window) {
    *success = 0;
    for (const MV2PluginAttach& p : gMV2PluginAttaches)
        if (!p.attach()) MV2DebugPrint(p.failure);
    gMV2EngineOpenParameter = window;
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version;
    if (GetVersionExA(&version) && version.dwPlatformId != 1) {
        int answer = MessageBoxA(nullptr,
                                 "This program is designed to run on Windows 95/98.\nIt may not "
                                 "work correctly on this operating system.",
                                 "Marovant", MB_OKCANCEL | MB_ICONEXCLAMATION);
        if (answer == IDCANCEL) return 1;
    }
    if (!TvEngineOpen(&gMV2EngineOpenParameter)) {
        MessageBoxA(nullptr, "No D3D card detected", "Marovant Error", MB_OK | MB_ICONHAND);
        return 1;
    }
    if (!MV2RunConfigDialog(nullptr, nullptr)) return 1;
    if (!TvEngineStart()) return 1;
    TvImageRegisterImageFormat("bmp", TvImageReadBMP, nullptr);
    TvImageRegisterImageFormat("jpg", MV2LoadJpeg, nullptr);
    MV2MovieStartup();
    *success = 1;
    return 1;
}

int32_t MV2EngineStart(HWND window, void* memoryFunctions) {
    gMV2EngineStarted = 0;
    gMV2Events.keyboardEvents = gMV2Events.mouseEvents = gMV2Events.joystickFlag = 0;
    MV2SetEventCallback(MV2IgnoreEvent);
    void* custom = nullptr;
    MV2GetMemoryFunctions(&custom);
    if (!TvEngineInit(static_cast<const TvMemoryFunctions*>(memoryFunctions))) {
        MV2DebugPrint("TvEngineInit failed");
        return 0;
    }
    TpWorldPluginAttach();
    int32_t success = 0;
    MV2AttachPlugins(&success, window);
    if (!success) return 0;
    gMV2EngineStarted = 1;
    return 1;
}

void MV2EngineStop() {
    if (!gMV2EngineStarted) return;
    TvEngineStop();
    TvEngineClose();
    TvEngineTerm();
    gMV2EngineStarted = 0;
}
