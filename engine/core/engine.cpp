#include "engine/core/engine.h"

#include <cstring>

#include "engine/core/engine_modules.h"
#include "engine/core/error.h"
#include "engine/core/file_interface.h"
#include "engine/core/stream.h"
#include "engine/core/string_interface.h"

namespace {

// The fixed part that stands for the instance whenever no allocated one exists.
TvEngineInstance g_defaultInstance;
int32_t g_engineOpenCount;
// Whether the open engine was started: only a started engine has its plug-in data to end.
bool g_engineStarted;

// Standard-function slots the driver leaves unfilled answer failure.
int32_t ReturnZero(void*, void*, int32_t) {
    return 0;
}

struct ModuleEntry {
    uint32_t id;
    const int32_t* size;
    TvModuleOpenFn open;
    TvModuleCloseFn close;
};

int32_t RegisterModule(const ModuleEntry& m) {
    return TvEngineRegisterPlugin(*m.size, m.id, m.open, m.close);
}

// Modules registered before the driver's attach, then after it.
const ModuleEntry kModulesBeforeDriver[] = {
    {kTvErrorModuleId, &_TvErrorModuleDataSize, _TvErrorModuleOpen, _TvErrorModuleClose},
    {kTvVectorModuleId, &_TvVectorModuleDataSize, _TvVectorModuleOpen, _TvVectorModuleClose},
    {kTvStringModuleId, &_TvStringModuleDataSize, _TvStringModuleOpen, _TvStringModuleClose},
    {kTvMatrixModuleId, &_TvMatrixModuleDataSize, _TvMatrixModuleOpen, _TvMatrixModuleClose},
    {kTvFrameModuleId, &_TvFrameModuleDataSize, _TvFrameModuleOpen, _TvFrameModuleClose},
    {kTvStreamModuleId, &_TvStreamModuleDataSize, _TvStreamModuleOpen, _TvStreamModuleClose},
    {kTvCameraModuleId, &_TvCameraModuleDataSize, _TvCameraModuleOpen, _TvCameraModuleClose},
    {kTvImageModuleId, &_TvImageModuleDataSize, _TvImageModuleOpen, _TvImageModuleClose},
    {kTvRasterModuleId, &_TvRasterModuleDataSize, _TvRasterModuleOpen, _TvRasterModuleClose},
    {kTvTextureModuleId, &_TvTextureModuleDataSize, _TvTextureModuleOpen, _TvTextureModuleClose},
    {kTvPipeStackModuleId, &_TvPipeStackModuleDataSize, _TvPipeStackModuleOpen,
     _TvPipeStackModuleClose},
};
const ModuleEntry kModulesAfterDriver[] = {
    {kTvImmediate3DModuleId, &_TvImmediate3DModuleDataSize, _TvImmediate3DModuleOpen,
     _TvImmediate3DModuleClose},
    {kTvResArenaModuleId, &_TvResArenaModuleDataSize, _TvResArenaModuleOpen,
     _TvResArenaModuleClose},
};

int32_t Request(int32_t request, void* out = nullptr, void* in = nullptr, int32_t number = 0) {
    return TvEngineDeviceControl(&TvEngineInstancePtr->deviceRecord, request, out, in, number);
}

} // namespace

TvEngineInstance* TvEngineInstancePtr = &g_defaultInstance;
TvPluginRegistry TvEngineRegistry = TvPluginRegistryInitial(sizeof(TvEngineInstance));

bool TvEngineInit(const TvMemoryFunctions* memoryFuncs) {
    if (g_engineOpenCount > 0) return false; // would orphan the open instance
    TvEngineInstancePtr = &g_defaultInstance;
    TvErrorClearEarly();
    TvStringInterfaceInstall(&g_defaultInstance.stringFuncs);
    TvMemoryHooks(memoryFuncs);
    TvFileInterfaceInstall(&g_defaultInstance.fileFuncs);
    if (!TvPluginPoolCreate()) return false;

    bool ok = true;
    for (const ModuleEntry& m : kModulesBeforeDriver)
        ok = RegisterModule(m) >= 0 && ok;
    const TvDriverHooks* hooks = TvD3DGetDriverHooks();
    ok = (hooks && hooks->attach && hooks->attach()) && ok;
    for (const ModuleEntry& m : kModulesAfterDriver)
        ok = RegisterModule(m) >= 0 && ok;
    if (!ok) {
        TvPluginPoolRelease();
        return false;
    }
    return true;
}

bool TvEngineOpen(void* deviceParameter) {
    if (!TvEngineInstancePtr) TvEngineInstancePtr = &g_defaultInstance;
    if (g_engineOpenCount > 0) return false; // one instance at a time
    TvDeviceRecord* driverRecord = TvD3DGetDeviceRecord();

    size_t bytes = size_t(TvEngineRegistry.sizeOfStruct);
    auto* instance = static_cast<TvEngineInstance*>(TvMalloc(bytes));
    if (!instance) {
        TvErrorCore(E_TV_NOMEM);
        return false;
    }
    std::memset(instance, 0, bytes);
    std::memcpy(instance, &g_defaultInstance, sizeof(TvEngineInstance));
    TvEngineInstancePtr = instance;
    for (TvStandardFn& fn : instance->standardFunctions)
        fn = ReturnZero;

    // Request 4 fills the instance's device record; without it there is no device to open.
    bool opened = TvEngineDeviceControl(driverRecord, TV_DEVICE_GET_ENGINE_DATA,
                                        &instance->deviceRecord, &instance->memoryFuncs, 0) &&
                  instance->deviceRecord.deviceControl &&
                  Request(TV_DEVICE_OPEN, nullptr, deviceParameter, 0);
    if (!opened) {
        std::memcpy(&g_defaultInstance, instance, sizeof(TvEngineInstance));
        TvEngineInstancePtr = &g_defaultInstance;
        g_defaultInstance.memoryFuncs.free(instance);
        return false;
    }
    Request(TV_DEVICE_GET_STANDARD_FUNCTIONS, instance->standardFunctions, nullptr,
            kTvNumStandardFunctions);
    g_engineOpenCount++;
    return true;
}

bool TvEngineStart() {
    if (g_engineOpenCount == 0) return false;
    if (!Request(TV_DEVICE_START)) return false;
    if (!TvPluginInitObject(&TvEngineRegistry, TvEngineInstancePtr)) {
        Request(TV_DEVICE_STOP);
        return false;
    }
    TvImageSetGamma(TvEngineInstancePtr->deviceRecord.gamma);
    Request(TV_DEVICE_FINALIZE_START);
    g_engineStarted = true;
    return true;
}

bool TvEngineStop() {
    if (g_engineOpenCount == 0 || !g_engineStarted) return false;
    g_engineStarted = false;
    Request(TV_DEVICE_INITIATE_STOP);
    TvPluginDeinitObject(&TvEngineRegistry, TvEngineInstancePtr);
    return Request(TV_DEVICE_STOP) != 0;
}

bool TvEngineClose() {
    if (g_engineOpenCount == 0) return false;
    if (!Request(TV_DEVICE_CLOSE)) return false;
    TvEngineInstance* instance = TvEngineInstancePtr;
    TvEngineInstancePtr = &g_defaultInstance;
    std::memcpy(&g_defaultInstance, instance, sizeof(TvEngineInstance));
    g_defaultInstance.memoryFuncs.free(instance);
    g_engineOpenCount--;
    return true;
}

bool TvEngineTerm() {
    if (g_engineOpenCount != 0) return false;
    TvPluginPoolRelease();
    return true;
}

int32_t TvEngineGetOpenCount() {
    return g_engineOpenCount;
}

int32_t TvEngineRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                               TvPluginObjectDestructor dtor) {
    return TvPluginRegister(&TvEngineRegistry, size, pluginId, ctor, dtor, nullptr);
}

int32_t TvEngineDeviceControl(TvDeviceRecord* record, int32_t request, void* out, void* in,
                              int32_t number) {
    if (record && record->deviceControl && record->deviceControl(request, out, in, number)) {
        return 1;
    }
    switch (request) {
    case TV_DEVICE_GET_NUM_SUBSYSTEMS:
        if (out) *static_cast<int32_t*>(out) = 1;
        return 1;
    case TV_DEVICE_GET_SUBSYSTEM_INFO:
        if (number == 0 && out) {
            auto copy = TvEngineInstancePtr->stringFuncs.copy;
            char* name = static_cast<TvSubSystemInfo*>(out)->name;
            if (copy) {
                copy(name, "Only rendering sub system");
            } else {
                std::strcpy(name, "Only rendering sub system");
            }
            return 1;
        }
        break;
    case TV_DEVICE_GET_CURRENT_SUBSYSTEM:
        if (out) *static_cast<int32_t*>(out) = 0;
        return 1;
    case TV_DEVICE_SET_SUBSYSTEM:
        if (number == 0) return 1;
        break;
    case TV_DEVICE_FINALIZE_START:
    case TV_DEVICE_INITIATE_STOP: return 1;
    default: break;
    }
    TvErrorCore(E_TV_UNSUPPORTEDREQUEST);
    return 0;
}

int32_t TvEngineGetNumSubSystems() {
    int32_t count = 0;
    return Request(TV_DEVICE_GET_NUM_SUBSYSTEMS, &count) ? count : -1;
}

TvSubSystemInfo* TvEngineGetSubSystemInfo(TvSubSystemInfo* info, int32_t index) {
    return Request(TV_DEVICE_GET_SUBSYSTEM_INFO, info, nullptr, index) ? info : nullptr;
}

bool TvEngineSetSubSystem(int32_t index) {
    return Request(TV_DEVICE_SET_SUBSYSTEM, nullptr, nullptr, index) != 0;
}

int32_t TvEngineGetNumVideoModes() {
    int32_t count = 0;
    return Request(TV_DEVICE_GET_NUM_VIDEO_MODES, &count) ? count : -1;
}

TvVideoMode* TvEngineGetVideoModeInfo(TvVideoMode* info, int32_t index) {
    return Request(TV_DEVICE_GET_VIDEO_MODE_INFO, info, nullptr, index) ? info : nullptr;
}

bool TvEngineSetVideoMode(int32_t index) {
    return Request(TV_DEVICE_SET_VIDEO_MODE, nullptr, nullptr, index) != 0;
}

void TvEngineDriverCameraHook(TvCamera* camera) {
    const TvDriverHooks* hooks = TvD3DGetDriverHooks();
    if (hooks && hooks->cameraBeginUpdate) hooks->cameraBeginUpdate(camera);
}

void* TvEngineDriverPipeHook(void* pipe) {
    const TvDriverHooks* hooks = TvD3DGetDriverHooks();
    return hooks && hooks->pipeComplete ? hooks->pipeComplete(pipe) : pipe;
}
