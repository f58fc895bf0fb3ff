// Small checks shared by the engine tests.
#pragma once

#include <cstdint>

// The code of the engine's last error (E_TV_NOERROR when none is pending).
uint32_t LastErrorCode();
// How often the null device's standard function `index` was called.
int StandardCallCount(int32_t index);
