// For other modules of the platform layer only: the SDL objects behind the window calls.
#pragma once

#include "platform/win32/win32.h"

#include <SDL.h>

// Starts SDL's video subsystem once (events included). False when no video driver works.
bool Win32EnsureVideo();
// The SDL window behind a window handle, or null. Every window is created with SDL_WINDOW_OPENGL.
SDL_Window* Win32SdlWindow(HWND hwnd);
// The window handle of an SDL window id, or null.
HWND Win32WindowFromSdlId(uint32_t id);
