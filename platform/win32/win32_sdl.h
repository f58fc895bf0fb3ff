// For other modules of the platform layer only: the SDL objects behind the window calls.
#pragma once

#include "platform/win32/win32.h"

#include <SDL.h>

#include <functional>

// Starts SDL's video subsystem once (events included). False when no video driver works.
bool Win32EnsureVideo();
// The SDL window behind a window handle, or null. Every window is created with SDL_WINDOW_OPENGL.
SDL_Window* Win32SdlWindow(HWND hwnd);
// The window handle of an SDL window id, or null.
HWND Win32WindowFromSdlId(uint32_t id);
// True while a SIGTERM or SIGINT waits to become a close request for the top-level windows.
bool Win32QuitRequested();
// Runs `show` (a box that blocks until answered) on a thread of its own and returns its
// answer. A quit request, pending or arriving while the box is up, returns `cancelAnswer` at
// once and stays pending, so the program then ends in order; a box left so stays on screen
// until the process ends.
int Win32RunBox(std::function<int()> show, int cancelAnswer);
