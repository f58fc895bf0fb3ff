// Header-only: a device that accepts every request, for programs that need a running engine
// without the recording null device (fuzz targets and benchmarks link no test support library).
#pragma once

#include "engine/core/engine.h"

inline int32_t AcceptingDeviceControl(int32_t request, void* out, void*, int32_t) {
    if (request == TV_DEVICE_GET_ENGINE_DATA) {
        TvDeviceRecord record{};
        record.gamma = 1.0f;
        record.deviceControl = AcceptingDeviceControl;
        record.zFar = 0.9999f;
        *static_cast<TvDeviceRecord*>(out) = record;
    }
    return 1;
}

// Puts the accepting device in place and brings the engine up; `attach` runs before open.
inline bool AcceptingEngineStart(bool (*attach)() = nullptr) {
    TvD3DGetDeviceRecord()->deviceControl = AcceptingDeviceControl;
    return TvEngineInit(nullptr) && (!attach || attach()) && TvEngineOpen(nullptr) &&
           TvEngineStart();
}
