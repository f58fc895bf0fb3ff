// Driver entry points the engine core calls before the driver is built: a device that refuses
// every request (so the engine's wrapper defaults apply) and the driver-hook table.
#include "engine/core/engine.h"
#include "engine/core/engine_modules.h"

namespace {

// Placeholder: the device refuses every request.
int32_t RefuseAll(int32_t, void*, void*, int32_t) {
    return 0;
}

TvDeviceRecord g_deviceRecord = {1.0f,    RefuseAll, 0.0f,    0.9999f, nullptr, nullptr, nullptr,
                                 nullptr, nullptr,   nullptr, nullptr, nullptr, nullptr, nullptr};

TvModuleGlobals g_im3DModule;

void* Im3DModuleOpen(void* instance, int32_t offset, int32_t) {
    return TvModuleOpened(g_im3DModule, instance, offset);
}
void* Im3DModuleClose(void* instance, int32_t, int32_t) {
    return TvModuleClosed(g_im3DModule, instance);
}

// Placeholder: registers the driver immediate 3-D module with no data.
bool Attach() {
    return TvEngineRegisterPlugin(0, kTvDriverIm3DModuleId, Im3DModuleOpen, Im3DModuleClose) >= 0;
}
// Placeholder: nothing to do per camera.
void CameraHook(TvCamera*) {}
// Placeholder: render states are not observed.
void RenderStateObserve(int32_t, intptr_t) {}
// Placeholder: the pipe is left as created.
void* PipeComplete(void* pipe) {
    return pipe;
}

const TvDriverHooks g_hooks = {Attach, CameraHook, RenderStateObserve, PipeComplete};

} // namespace

TvDeviceRecord* TvD3DGetDeviceRecord() {
    return &g_deviceRecord;
}
const TvDriverHooks* TvD3DGetDriverHooks() {
    return &g_hooks;
}
