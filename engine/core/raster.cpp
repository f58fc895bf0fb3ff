#include "engine/core/raster.h"

#include <cstring>

#include "engine/core/engine.h"
#include "engine/core/engine_modules.h"
#include "engine/core/error.h"
#include "engine/core/memory.h"

TvPluginRegistry TvRasterRegistry = TvPluginRegistryInitial(sizeof(TvRaster));

namespace {

TvModuleGlobals rasterModule;

TvRasterModule* RasterModuleData() {
    return TvEngineModuleData<TvRasterModule>(rasterModule);
}

// Driver standard functions used here.
enum : int32_t {
    kStdRasterCreate = 4,
    kStdRasterDestroy = 5,
    kStdSetContext = 11,
    kStdSubRaster = 12,
    kStdClear = 14,
    kStdRasterLock = 15,
    kStdRasterUnlock = 16,
    kStdRenderKeyed = 17,
    kStdRenderScaled = 18,
    kStdRenderPlain = 19,
    kStdShowRaster = 20,
};

int32_t Standard(int32_t index, void* out, void* in, int32_t number) {
    return TV_ENGINE->standardFunctions[index](out, in, number);
}

// Drawing needs a pushed context raster.
bool HaveContext() {
    if (RasterModuleData()->contextTop >= 1) return true;
    TvErrorCore(E_TV_CONTEXTSTACKEMPTY);
    return false;
}

TvRaster* RenderAt(int32_t index, TvRaster* raster, int32_t x, int32_t y) {
    if (!HaveContext()) return nullptr;
    int32_t position[2] = {x, y};
    Standard(index, raster, position, 0);
    return raster;
}

} // namespace

TvRaster* TvRasterCreate(int32_t width, int32_t height, int32_t depth, uint32_t flags) {
    auto* r = static_cast<TvRaster*>(TvFreeListAlloc(RasterModuleData()->freeList));
    if (!r) return nullptr;
    std::memset(r, 0, sizeof(TvRaster));
    r->width = width;
    r->height = height;
    r->depth = depth;
    r->parent = r;
    if (!Standard(kStdRasterCreate, nullptr, r, int32_t(flags))) {
        TvFreeListFree(RasterModuleData()->freeList, r);
        return nullptr;
    }
    if (!TvPluginInitObject(&TvRasterRegistry, r)) {
        Standard(kStdRasterDestroy, nullptr, r, 0);
        TvFreeListFree(RasterModuleData()->freeList, r);
        return nullptr;
    }
    return r;
}

bool TvRasterDestroy(TvRaster* raster) {
    TvPluginDeinitObject(&TvRasterRegistry, raster);
    Standard(kStdRasterDestroy, nullptr, raster, 0);
    TvFreeListFree(RasterModuleData()->freeList, raster);
    return true;
}

uint32_t TvRasterGetFormat(const TvRaster* raster) {
    return uint32_t(raster->format) << 8;
}

TvRaster* TvRasterSubRaster(TvRaster* raster, TvRaster* parent, const TvRect* rect) {
    if (!(raster->createFlags & kTvRasterDontAllocate)) return nullptr;
    // 64-bit sums: a huge width must not wrap round into range.
    const int64_t right = int64_t(rect->x) + rect->w;
    const int64_t bottom = int64_t(rect->y) + rect->h;
    if (rect->x < 0 || rect->x >= parent->width || rect->y < 0 || rect->y >= parent->height ||
        rect->w < 0 || rect->h < 0 || right > parent->width || bottom > parent->height) {
        TvErrorCore(E_TV_INVALIDSUBRASTER);
        return nullptr;
    }
    raster->width = rect->w;
    raster->height = rect->h;
    raster->offsetX = uint16_t(parent->offsetX + rect->x);
    raster->offsetY = uint16_t(parent->offsetY + rect->y);
    if (!Standard(kStdSubRaster, raster, parent, 0)) return nullptr;
    raster->parent = parent->parent;
    raster->counter++;
    return raster;
}

TvRaster* TvRasterPushContext(TvRaster* raster) {
    TvRasterModule* mod = RasterModuleData();
    if (mod->contextTop >= kTvRasterContextStackSize - 1) {
        TvErrorCore(E_TV_CONTEXTSTACKFULL);
        return nullptr;
    }
    if (!Standard(kStdSetContext, nullptr, raster, 0)) return nullptr;
    mod->contextStack[++mod->contextTop] = raster;
    return raster;
}

TvRaster* TvRasterPopContext() {
    TvRasterModule* mod = RasterModuleData();
    if (mod->contextTop < 1) {
        TvErrorCore(E_TV_CONTEXTSTACKEMPTY);
        return nullptr;
    }
    TvRaster* popped = mod->contextStack[mod->contextTop--];
    if (Standard(kStdSetContext, nullptr, mod->contextStack[mod->contextTop], 0) <= 0) {
        return nullptr;
    }
    return popped;
}

TvRaster* TvRasterRender(TvRaster* raster, int32_t x, int32_t y) {
    return RenderAt(kStdRenderKeyed, raster, x, y);
}

TvRaster* TvRasterRenderFast(TvRaster* raster, int32_t x, int32_t y) {
    return RenderAt(kStdRenderPlain, raster, x, y);
}

TvRaster* TvRasterRenderScaled(TvRaster* raster, const TvRect* rect) {
    if (!HaveContext()) return nullptr;
    TvRect r = *rect;
    Standard(kStdRenderScaled, raster, &r, 0);
    return raster;
}

bool TvRasterClear(int32_t pixelValue) {
    if (!HaveContext()) return false;
    Standard(kStdClear, nullptr, nullptr, pixelValue);
    return true;
}

TvRaster* TvRasterShowRaster(TvRaster* raster, void* window, uint32_t flags) {
    return Standard(kStdShowRaster, raster, window, int32_t(flags)) > 0 ? raster : nullptr;
}

uint8_t* TvRasterLock(TvRaster* raster, int32_t lockMode) {
    uint8_t* pixels = nullptr;
    if (!Standard(kStdRasterLock, &pixels, raster, lockMode)) return nullptr;
    return pixels;
}

TvRaster* TvRasterUnlock(TvRaster* raster) {
    Standard(kStdRasterUnlock, nullptr, raster, 0);
    return raster;
}

int32_t TvRasterRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                               TvPluginObjectDestructor dtor, TvPluginObjectCopy copy) {
    return TvPluginRegister(&TvRasterRegistry, size, pluginId, ctor, dtor, copy);
}

const int32_t _TvRasterModuleDataSize = sizeof(TvRasterModule);

void* _TvRasterModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* mod = static_cast<TvRasterModule*>(TvEngineInstanceData(instance, offset));
    const size_t recordSize = size_t(TvRasterRegistry.sizeOfStruct);
    mod->freeList = TvFreeListCreate(recordSize, 10);
    if (!mod->freeList) return nullptr;
    mod->emptyRaster = static_cast<TvRaster*>(TvFreeListAlloc(mod->freeList));
    if (!mod->emptyRaster) {
        TvFreeListDestroy(mod->freeList);
        mod->freeList = nullptr;
        return nullptr;
    }
    std::memset(mod->emptyRaster, 0, recordSize);
    mod->emptyRaster->createFlags = kTvRasterDontAllocate;
    for (TvRaster*& entry : mod->contextStack)
        entry = nullptr;
    mod->contextStack[0] = mod->emptyRaster;
    mod->contextTop = 0;
    return TvModuleOpened(rasterModule, instance, offset);
}

void* _TvRasterModuleClose(void* instance, int32_t offset, int32_t) {
    auto* mod = static_cast<TvRasterModule*>(TvEngineInstanceData(instance, offset));
    TvFreeListDestroy(mod->freeList);
    mod->freeList = nullptr;
    mod->emptyRaster = nullptr;
    return TvModuleClosed(rasterModule, instance);
}
