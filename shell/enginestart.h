// Engine start-up and shut-down around game main.
#pragma once

#include "platform/win32/win32.h"

#include <cstdint>

int32_t MV2EngineStart(HWND window, void* memoryFunctions);
void MV2EngineStop();
