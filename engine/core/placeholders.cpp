// Entry points of engine modules not built yet, each doing the least the engine start needs.
#include "engine/core/engine.h"
#include "engine/core/engine_modules.h"

#define TV_PLACEHOLDER_MODULE(name, bytes)                                                         \
    static TvModuleGlobals _Tv##name##ModuleGlobals;                                               \
    const int32_t _Tv##name##ModuleDataSize = (bytes);                                             \
    void* _Tv##name##ModuleOpen(void* instance, int32_t offset, int32_t) {                         \
        return TvModuleOpened(_Tv##name##ModuleGlobals, instance, offset);                         \
    }                                                                                              \
    void* _Tv##name##ModuleClose(void* instance, int32_t, int32_t) {                               \
        return TvModuleClosed(_Tv##name##ModuleGlobals, instance);                                 \
    }

// Placeholder: immediate 3-D module, records its offset and counts opens.
TV_PLACEHOLDER_MODULE(Immediate3D, 8)

#include "engine/core/immediate.h"

// Placeholder: the device record's near screen z, read directly.
float TvIm2DGetNearScreenZ() {
    return TV_ENGINE->deviceRecord.zNear;
}
// Placeholder: the device record's far screen z, read directly.
float TvIm2DGetFarScreenZ() {
    return TV_ENGINE->deviceRecord.zFar;
}
