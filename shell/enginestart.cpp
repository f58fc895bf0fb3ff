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
#include "platform/win32/registry.h"
#include "shell/events.h"
#include "shell/window.h"

#include <cstdio>
#include <cstring>
#include <strings.h>

MV2DisplayRequest gMV2DisplayRequest = {640, 480, 16, 1};
int32_t gMV2EngineStarted = 0;
HWND gMV2EngineOpenParameter = nullptr;
MV2ConfigDialogState gMV2ConfigDialog = {0, 0, -1};

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

const MV2DialogItem* Selected(const MV2DialogList& list) {
    if (list.selected < 0 || list.selected >= int32_t(list.items.size())) return nullptr;
    return &list.items[size_t(list.selected)];
}

int32_t FindText(const MV2DialogList& list, const char* text) {
    for (size_t i = 0; i < list.items.size(); ++i)
        if (strcasecmp(list.items[i].text.c_str(), text) == 0) return int32_t(i);
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

int32_t MV2FillResolutionList(MV2ConfigDialog* dialog) {
    MV2DialogList& list = dialog->resolutions;
    list.items.clear();
    int32_t item640 = -1, toSelect = 0;
    bool windowedSelected = false;
    int32_t count = TvEngineGetNumVideoModes();
    for (int32_t i = 0; i < count; ++i) {
        TvVideoMode mode;
        if (!TvEngineGetVideoModeInfo(&mode, i)) continue;
        if (i == gMV2ConfigDialog.selectedMode && !(mode.flags & 1)) windowedSelected = true;
        bool width = mode.width == 640 || mode.width == 800 || mode.width == 1024;
        bool height = mode.height == 480 || mode.height == 600 || mode.height == 768;
        bool depth = mode.depth == 16 || mode.depth == 32;
        if (!(mode.flags & 1) || !width || !height || !depth) continue;
        char text[64];
        std::snprintf(text, sizeof text, "%i x %i x %i", int(mode.width), int(mode.height),
                      int(mode.depth));
        list.items.push_back({text, i});
        int32_t added = int32_t(list.items.size()) - 1;
        if (mode.width == 640 && mode.height == 480 && mode.depth == 16) item640 = added;
        if (i == gMV2ConfigDialog.selectedMode) toSelect = added;
    }
    if (windowedSelected && item640 >= 0) toSelect = item640;
    list.selected = list.items.empty() ? -1 : toSelect;
    if (const MV2DialogItem* item = Selected(list)) gMV2ConfigDialog.selectedMode = item->data;
    return 1;
}

void MV2ConfigDialogInit(MV2ConfigDialog* dialog) {
    MV2ConfigDialogState& s = gMV2ConfigDialog;
    dialog->devices.items.clear();
    int32_t currentItem = -1;
    for (int32_t i = 0; i < s.subsystems; ++i) {
        TvSubSystemInfo info;
        if (!TvEngineGetSubSystemInfo(&info, i)) continue;
        dialog->devices.items.push_back({info.name, i});
        if (i == s.currentSubsystem) currentItem = int32_t(dialog->devices.items.size()) - 1;
    }
    if (s.subsystems > 1)
        dialog->devices.selected = currentItem;
    else
        dialog->devices.enabled = false;
    MV2FillResolutionList(dialog);
    HKEY key = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, KEY_READ, &key) != ERROR_SUCCESS) return;
    char text[513];
    if (ReadString(key, kMV2VideoDriverName, text, 512)) {
        int32_t item = FindText(dialog->devices, text);
        if (item >= 0) {
            dialog->devices.selected = item;
            s.currentSubsystem = dialog->devices.items[size_t(item)].data;
            TvEngineSetSubSystem(s.currentSubsystem);
            MV2FillResolutionList(dialog);
        }
    }
    if (ReadString(key, kMV2VideoResolution, text, 512)) {
        int32_t item = FindText(dialog->resolutions, text);
        if (item >= 0) {
            dialog->resolutions.selected = item;
            s.selectedMode = dialog->resolutions.items[size_t(item)].data;
        }
    }
    RegCloseKey(key);
}

void MV2ConfigDialogSelect(MV2ConfigDialog* dialog, int32_t control, int32_t item) {
    MV2ConfigDialogState& s = gMV2ConfigDialog;
    if (control == kMV2DeviceList) {
        if (item < 0 || item >= int32_t(dialog->devices.items.size())) return;
        dialog->devices.selected = item;
        s.selectedMode = -1;
        s.currentSubsystem = dialog->devices.items[size_t(item)].data;
        TvEngineSetSubSystem(s.currentSubsystem);
        MV2FillResolutionList(dialog);
    } else if (control == kMV2ResolutionList) {
        if (item < 0 || item >= int32_t(dialog->resolutions.items.size())) return;
        dialog->resolutions.selected = item;
        s.selectedMode = dialog->resolutions.items[size_t(item)].data;
    }
}

void MV2ConfigDialogCommand(MV2ConfigDialog* dialog, int32_t id) {
    if (id == kMV2DialogExit) {
        dialog->result = 0;
        return;
    }
    if (id != kMV2DialogPlay) return;
    HKEY key = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, kSettingsKey, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) == ERROR_SUCCESS) {
        for (auto [name, list] : {std::pair{kMV2VideoDriverName, &dialog->devices},
                                  std::pair{kMV2VideoResolution, &dialog->resolutions}}) {
            const MV2DialogItem* item = Selected(*list);
            std::string text = item ? item->text.substr(0, 512) : std::string();
            RegSetValueExA(key, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                           DWORD(text.size() + 1));
        }
        RegCloseKey(key);
    }
    dialog->result = 1;
}

int32_t MV2RunConfigDialog(HINSTANCE, HWND) {
    MV2ConfigDialogState& s = gMV2ConfigDialog;
    s.subsystems = TvEngineGetNumSubSystems();
    TvEngineSetSubSystem(s.currentSubsystem);
    // The dialog is answered as a headless dialog is: initialised, then its default button.
    MV2ConfigDialog dialog;
    MV2ConfigDialogInit(&dialog);
    MV2ConfigDialogCommand(&dialog, kMV2DialogPlay);
    if (dialog.result == 0) return 0;
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
    if (!TvEngineOpen(gMV2EngineOpenParameter)) {
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
