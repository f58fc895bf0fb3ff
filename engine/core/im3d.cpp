#include "engine/core/im3d.h"

#include "engine/core/engine.h"
#include "engine/core/engine_modules.h"
#include "engine/core/error.h"
#include "engine/core/im2d.h"
#include "engine/core/pipe.h"

int32_t TvIm3DGouraud;

namespace {

TvModuleGlobals g_module;

TvIm3DModule* Module() {
    return TvEngineModuleData<TvIm3DModule>(g_module);
}

TvDeviceRecord& Record() {
    return TV_ENGINE->deviceRecord;
}

// The driver's 3-D submission reads the shade mode on every draw call.
void RefreshShadeMode() {
    int32_t shade = 0;
    TvRenderStateGet(kTvRenderStateShadeMode, &shade);
    TvIm3DGouraud = shade == 2 ? 1 : 0;
}

} // namespace

TvIm3DVertex* TvIm3DTransform(TvIm3DVertex* vertices, int32_t count, const TvMatrix* matrix,
                              uint32_t flags) {
    if (!vertices || count < 0) {
        TvErrorCore(vertices ? E_TV_INVALIDPARAM : E_TV_NULLP);
        return nullptr;
    }
    if (!TvPipeStackPush(Module()->pipe)) return nullptr;
    TvIm3DTransformData data{vertices, count, flags, matrix};
    if (!TvPipeStackExecute(&data)) {
        TvPipeStackPop();
        return nullptr;
    }
    return vertices;
}

int32_t TvIm3DRenderLine(int32_t i1, int32_t i2) {
    RefreshShadeMode();
    return Record().im3DLine ? Record().im3DLine(i1, i2) : 0;
}

int32_t TvIm3DRenderTriangle(int32_t i1, int32_t i2, int32_t i3) {
    RefreshShadeMode();
    return Record().im3DTriangle ? Record().im3DTriangle(i1, i2, i3) : 0;
}

int32_t TvIm3DRenderPrimitive(int32_t type) {
    RefreshShadeMode();
    return Record().im3DPrimitive ? Record().im3DPrimitive(type) : 0;
}

int32_t TvIm3DRenderIndexedPrimitive(int32_t type, uint16_t* indices, int32_t indexCount) {
    RefreshShadeMode();
    return Record().im3DIndexedPrimitive ? Record().im3DIndexedPrimitive(type, indices, indexCount)
                                         : 0;
}

bool TvIm3DEnd() {
    return TvPipeStackPop() != nullptr;
}

const int32_t _TvImmediate3DModuleDataSize = sizeof(TvIm3DModule);

void* _TvImmediate3DModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* mod = static_cast<TvIm3DModule*>(TvEngineInstanceData(instance, offset));
    // The pipe comes from the pipe stack's free list in the instance being opened.
    g_module.offset = offset;
    mod->pipe = TvPipeCreate();
    if (!mod->pipe) return nullptr;
    TvEngineDriverPipeHook(mod->pipe);
    return TvModuleOpened(g_module, instance, offset);
}

void* _TvImmediate3DModuleClose(void* instance, int32_t offset, int32_t) {
    auto* mod = static_cast<TvIm3DModule*>(TvEngineInstanceData(instance, offset));
    if (mod->pipe) TvPipeDestroy(mod->pipe);
    mod->pipe = nullptr;
    return TvModuleClosed(g_module, instance);
}
