// Program entry, the single-instance check, the main window, its window procedure and the
// message pump.
#pragma once

#include "platform/win32/win32.h"

#include <cstdint>

using MV2MessageFilter = int32_t (*)(MSG* msg);

// Window-layer globals.
struct MV2WindowState {
    HWND window;
    HINSTANCE instance;
    HANDLE mutex;
    int32_t running;       // 1 while game main runs; focus events are sent only then
    int32_t captureMode;   // 1: hide and capture the mouse while focused, report offsets
    POINT centre;          // cursor centre point (set by platform event 150)
    POINT mouse;           // client position, or offset from the centre in capture mode
    uint32_t lastKey;      // last raw key pressed, 0 after a release
    int32_t quitSeen;      // the pump has seen the quit message
    int32_t joystickCount;
    MV2MessageFilter filter;
    char programFolder[256];
    int32_t programFolderFilled;
};
extern MV2WindowState gMV2Window;

int WinMain(HINSTANCE instance, HINSTANCE previous, char* commandLine, int showCommand);
LRESULT MV2WindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
LRESULT MV2DefaultMessageHandler(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
int32_t MV2PumpMessages();
void MV2ResetSystemPalette();
const char* MV2GetProgramFolder();
void MV2DebugPrint(const char* text);
HWND MV2GetWindow();
void MV2SizeWindow(int32_t width, int32_t height, int32_t depth, uint32_t flags);
int32_t MV2GetMemoryFunctions(void** out);

struct TvRaster;
// Creates an engine camera raster and keeps it as the camera raster of the window layer.
TvRaster* MV2CreateCameraRaster(int32_t width, int32_t height, int32_t depth);
extern TvRaster* gMV2CameraRaster;

// Registers the window class and creates the main window (entry steps 3 and 4).
HWND MV2CreateMainWindow(HINSTANCE instance, int showCommand);
