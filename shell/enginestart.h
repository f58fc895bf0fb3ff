// Engine start-up and shut-down around game main, the video-mode queries, and the start-up
// configuration dialog that chooses the device and the full-screen resolution.
#pragma once

#include "platform/win32/win32.h"

#include <cstdint>

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

// The configuration dialog (resource 101): a list of the engine's rendering sub-systems and
// one of its full-screen resolutions, each item carrying its index as item data.
struct MV2ConfigDialogState {
    int32_t subsystems;
    int32_t currentSubsystem; // kept between runs of the dialog
    int32_t selectedMode;     // engine mode index; -1 until chosen
    HINSTANCE instance;
};
extern MV2ConfigDialogState gMV2ConfigDialog;

inline constexpr int32_t kMV2ConfigDialogResource = 101;
inline constexpr int32_t kMV2ConfigBannerResource = 105;
inline constexpr int32_t kMV2DialogPlay = 1;
inline constexpr int32_t kMV2DialogExit = 2;
inline constexpr int32_t kMV2DeviceList = 1001;
inline constexpr int32_t kMV2ResolutionList = 1003;

// Registers dialog 101, its banner and the string table 1-4, as the program's resources.
void MV2RegisterConfigDialogResources();
int32_t MV2RunConfigDialog(HINSTANCE instance, HWND owner);
INT_PTR MV2ConfigDialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
int32_t MV2FillResolutionList(HWND dialog);
void MV2SetDisplayRequest(int32_t width, int32_t height, int32_t depth, int32_t windowed);
int32_t MV2ApplyDisplayRequest();
