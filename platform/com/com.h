// Stand-in for the old platform's component-library start and end. Nothing on this side needs
// setting up, so both calls only keep count.
#pragma once

#include <cstdint>

using HRESULT = int32_t;
constexpr HRESULT S_OK = 0;
constexpr HRESULT S_FALSE = 1;

// S_OK on the first call of the thread, S_FALSE when already initialised.
HRESULT CoInitialize(void* reserved);
void CoUninitialize();
