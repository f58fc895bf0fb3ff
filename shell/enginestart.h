// Engine start-up and shut-down around game main, the video-mode queries, and the start-up
// configuration dialog that chooses the device and the full-screen resolution.
#pragma once

#include "platform/win32/win32.h"

#include <cstdint>
#include <string>
#include <vector>

struct MV2DisplayRequest {
    int32_t width, height, depth;
    uint32_t flags; // bit 0: full screen
};
extern MV2DisplayRequest gMV2DisplayRequest;
extern int32_t gMV2EngineStarted;
extern HWND gMV2EngineOpenParameter;

// The plug-in attaches in their order, with the line written when one fails.
struct MV2PluginAttach {
    int32_t (*attach)();
    const char* failure;
};
inline constexpr int32_t kMV2PluginAttaches = 10;
extern MV2PluginAttach gMV2PluginAttaches[kMV2PluginAttaches];

int32_t MV2EngineStart(HWND window, void* memoryFunctions);
int32_t MV2AttachPlugins(int32_t* success, HWND window);
void MV2EngineStop();
int32_t MV2FindVideoMode(int32_t width, int32_t height, int32_t depth, uint32_t flags);
int32_t MV2SetVideoMode(int32_t width, int32_t height, int32_t depth, uint32_t flags);
// Start-up step 10 of the display: the requested mode exists; a windowed one sizes the window.
int32_t MV2FindDisplayRequestMode();

// The configuration dialog: two drop-down lists whose items carry a data word.
struct MV2DialogItem {
    std::string text;
    int32_t data;
};
struct MV2DialogList {
    std::vector<MV2DialogItem> items;
    int32_t selected = -1;
    bool enabled = true;
};
struct MV2ConfigDialog {
    MV2DialogList devices;     // control 1001
    MV2DialogList resolutions; // control 1003
    int32_t result = -1;       // set when the dialog ends
};
struct MV2ConfigDialogState {
    int32_t subsystems;
    int32_t currentSubsystem;
    int32_t selectedMode; // -1 until chosen
};
extern MV2ConfigDialogState gMV2ConfigDialog;

inline constexpr int32_t kMV2DialogPlay = 1;
inline constexpr int32_t kMV2DialogExit = 2;
inline constexpr int32_t kMV2DeviceList = 1001;
inline constexpr int32_t kMV2ResolutionList = 1003;
inline constexpr const char* kMV2VideoDriverName = "VideoDriverName";
inline constexpr const char* kMV2VideoResolution = "VideoResolution";

int32_t MV2RunConfigDialog(HINSTANCE instance, HWND owner);
// The dialog's initialisation and commands, on the dialog's lists.
void MV2ConfigDialogInit(MV2ConfigDialog* dialog);
int32_t MV2FillResolutionList(MV2ConfigDialog* dialog);
void MV2ConfigDialogSelect(MV2ConfigDialog* dialog, int32_t control, int32_t item);
void MV2ConfigDialogCommand(MV2ConfigDialog* dialog, int32_t id);
void MV2SetDisplayRequest(int32_t width, int32_t height, int32_t depth, int32_t windowed);
int32_t MV2ApplyDisplayRequest();
