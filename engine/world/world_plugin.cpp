#include "engine/world/world_plugin.h"

#include <cstring>

#include "engine/core/camera.h"
#include "engine/core/link.h"
#include "engine/core/memory.h"
#include "engine/core/pipe.h"
#include "engine/core/stream.h"
#include "engine/world/clump.h"
#include "engine/world/d3d_world.h"
#include "engine/world/geometry.h"
#include "engine/world/light.h"
#include "engine/world/material.h"

TvModuleGlobals TpWorldModule;
TvModuleGlobals TpWorldObjectsModule;

namespace {

TvModuleGlobals g_intersectionModule;
TvModuleGlobals g_d3dWorldModule;
TvModuleGlobals g_sectorModule;
TvModuleGlobals g_worldStreamModule;

constexpr int32_t kWorldEntriesPerChunk = 3;
constexpr int32_t kAtomicTiesPerChunk = 100;
constexpr int32_t kLightTiesPerChunk = 20;

// An entry of the world module's list of worlds.
struct WorldEntry {
    void* world;
    size_t size;
    TvLink link;
};

// A tie of an atomic or light to a world sector.
struct SectorTie {
    TvLink inSector;
    void* object;
    TvLink inObject;
    void* sector;
};

// World-objects extension data on cameras, atomics, clumps and lights.
struct CameraExtension {
    void** visibleSectors;
    int32_t capacity;
    int32_t count;
    void* world;
    TvCameraUpdateFn savedBeginUpdate;
    TvCameraUpdateFn savedEndUpdate;
    TvObjectHasFrameSyncFn savedSync;
};
struct AtomicExtension {
    void* world;
    TvObjectHasFrameSyncFn savedSync;
};
struct ClumpExtension {
    void* world;
};
struct LightExtension {
    void* world;
    TvObjectHasFrameSyncFn savedSync;
};

// Modules that keep nothing but their open count.
template <TvModuleGlobals* Module> void* CountOpen(void* instance, int32_t offset, int32_t) {
    return TvModuleOpened(*Module, instance, offset);
}
template <TvModuleGlobals* Module> void* CountClose(void* instance, int32_t, int32_t) {
    return TvModuleClosed(*Module, instance);
}

void* WorldOpen(void* instance, int32_t offset, int32_t) {
    auto* data = static_cast<TpWorldModuleData*>(TvEngineInstanceData(instance, offset));
    data->entryFreeList = TvFreeListCreate(sizeof(WorldEntry), kWorldEntriesPerChunk);
    TvLinkInit(&data->worlds);
    data->defaultSectorPipe = data->entryFreeList ? TvPipeCreate() : nullptr;
    if (!data->defaultSectorPipe || !TpD3DWorldSectorSetup(data->defaultSectorPipe)) {
        if (data->defaultSectorPipe) TvPipeDestroy(data->defaultSectorPipe);
        if (data->entryFreeList) TvFreeListDestroy(data->entryFreeList);
        *data = TpWorldModuleData{};
        return nullptr;
    }
    data->defaultSectorPipe->stage4 = TpWorldSectorLightingStage;
    return TvModuleOpened(TpWorldModule, instance, offset);
}

void* WorldClose(void* instance, int32_t offset, int32_t) {
    auto* data = static_cast<TpWorldModuleData*>(TvEngineInstanceData(instance, offset));
    if (data->entryFreeList) TvFreeListDestroy(data->entryFreeList);
    if (data->defaultSectorPipe) TvPipeDestroy(data->defaultSectorPipe);
    *data = TpWorldModuleData{};
    return TvModuleClosed(TpWorldModule, instance);
}

void* WorldObjectsOpen(void* instance, int32_t offset, int32_t) {
    auto* data = static_cast<TpWorldObjectsModuleData*>(TvEngineInstanceData(instance, offset));
    data->atomicTies = TvFreeListCreate(sizeof(SectorTie), kAtomicTiesPerChunk);
    data->lightTies = data->atomicTies ? TvFreeListCreate(sizeof(SectorTie), kLightTiesPerChunk)
                                       : nullptr;
    if (!data->lightTies) {
        if (data->atomicTies) TvFreeListDestroy(data->atomicTies);
        *data = TpWorldObjectsModuleData{};
        return nullptr;
    }
    data->renderFrame = 1;
    data->lightingStamp = 0;
    return TvModuleOpened(TpWorldObjectsModule, instance, offset);
}

void* WorldObjectsClose(void* instance, int32_t offset, int32_t) {
    auto* data = static_cast<TpWorldObjectsModuleData*>(TvEngineInstanceData(instance, offset));
    if (data->atomicTies) TvFreeListDestroy(data->atomicTies);
    if (data->lightTies) TvFreeListDestroy(data->lightTies);
    *data = TpWorldObjectsModuleData{};
    return TvModuleClosed(TpWorldObjectsModule, instance);
}

// Extension data starts empty: no world, no ties, no saved callbacks.
void* ZeroExtension(void* object, int32_t offset, int32_t size) {
    std::memset(static_cast<uint8_t*>(object) + offset, 0, size_t(size));
    return object;
}
void* KeepExtension(void* object, int32_t, int32_t) {
    return object;
}
// A copy belongs to no world until it is added to one.
void* CopyNoWorld(void* dest, const void*, int32_t offset, int32_t size) {
    return ZeroExtension(dest, offset, size);
}

TpWorldObjectsModuleData* ObjectsData() {
    return TvModuleIsOpen(TpWorldObjectsModule)
               ? TvEngineModuleData<TpWorldObjectsModuleData>(TpWorldObjectsModule)
               : nullptr;
}

int32_t WorldObjectsAttach() {
    if (TvEngineRegisterPlugin(sizeof(TpWorldObjectsModuleData), kTpWorldObjectsModuleId,
                               WorldObjectsOpen, WorldObjectsClose) < 0)
        return 0;
    if (TvCameraRegisterPlugin(sizeof(CameraExtension), kTpWorldObjectsModuleId, ZeroExtension,
                               KeepExtension, CopyNoWorld) < 0 ||
        TpAtomicRegisterPlugin(sizeof(AtomicExtension), kTpWorldObjectsModuleId, ZeroExtension,
                               KeepExtension, CopyNoWorld) < 0 ||
        TpClumpRegisterPlugin(sizeof(ClumpExtension), kTpWorldObjectsModuleId, ZeroExtension,
                              KeepExtension, CopyNoWorld) < 0 ||
        TpLightRegisterPlugin(sizeof(LightExtension), kTpWorldObjectsModuleId, ZeroExtension,
                              KeepExtension, CopyNoWorld) < 0)
        return 0;
    return TpD3DWorldObjectsSetup() > 0 ? 1 : 0;
}

int32_t RefuseNullStreamCallbacks(TvPluginDataChunkRead read, TvPluginDataChunkWrite write,
                                  TvPluginDataChunkSize size) {
    if (!read || !write || !size) {
        TpCommonError(E_TV_NULLP);
        return 0;
    }
    return 1;
}

int32_t RegisterWhileClosed(const TvModuleGlobals& module, TvPluginRegistry* registry,
                            int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                            TvPluginObjectDestructor dtor, TvPluginObjectCopy copy) {
    if (TvModuleIsOpen(module)) {
        TpCommonError(E_TV_PLUGINENGINEOPEN);
        return -1;
    }
    if (size < 0) {
        TpCommonError(E_TV_INVALIDPARAM, "Invalid data block size specified");
        return -1;
    }
    return TvPluginRegister(registry, size, pluginId, ctor, dtor, copy);
}

} // namespace

bool TpCheck(const TvModuleGlobals& module, const void* object) {
    if (!TvModuleIsOpen(module)) {
        TpCommonError(E_TV_NOTOPEN);
        return false;
    }
    if (!object) {
        TpCommonError(E_TV_NULLP);
        return false;
    }
    return true;
}

uint16_t TpWorldGetRenderFrame() {
    const TpWorldObjectsModuleData* data = ObjectsData();
    return data ? data->renderFrame : 0;
}
uint16_t TpWorldAdvanceRenderFrame() {
    TpWorldObjectsModuleData* data = ObjectsData();
    return data ? ++data->renderFrame : 0;
}
uint16_t TpWorldGetLightingStamp() {
    const TpWorldObjectsModuleData* data = ObjectsData();
    return data ? data->lightingStamp : 0;
}
uint16_t TpWorldAdvanceLightingStamp() {
    TpWorldObjectsModuleData* data = ObjectsData();
    return data ? ++data->lightingStamp : 0;
}

int32_t TpWorldPluginAttach() {
    struct Module {
        int32_t size;
        uint32_t id;
        TvModuleOpenFn open;
        TvModuleCloseFn close;
    };
    const Module modules[] = {
        {_TpMaterialModuleDataSize, kTpMaterialModuleId, _TpMaterialModuleOpen,
         _TpMaterialModuleClose},
        {_TpMeshModuleDataSize, kTpMeshModuleId, _TpMeshModuleOpen, _TpMeshModuleClose},
        {_TpGeometryModuleDataSize, kTpGeometryModuleId, _TpGeometryModuleOpen,
         _TpGeometryModuleClose},
        {_TpAtomicModuleDataSize, kTpAtomicModuleId, _TpAtomicModuleOpen, _TpAtomicModuleClose},
        {_TpLightModuleDataSize, kTpLightModuleId, _TpLightModuleOpen, _TpLightModuleClose},
        {0, kTpIntersectionModuleId, CountOpen<&g_intersectionModule>,
         CountClose<&g_intersectionModule>},
        {0, kTpD3DWorldModuleId, CountOpen<&g_d3dWorldModule>, CountClose<&g_d3dWorldModule>},
        {0, kTpSectorModuleId, CountOpen<&g_sectorModule>, CountClose<&g_sectorModule>},
        {sizeof(TpWorldModuleData), kTpWorldModuleId, WorldOpen, WorldClose},
        {0, kTpWorldStreamModuleId, CountOpen<&g_worldStreamModule>,
         CountClose<&g_worldStreamModule>},
    };
    bool ok = true;
    for (const Module& m : modules)
        if (TvEngineRegisterPlugin(m.size, m.id, m.open, m.close) < 0) ok = false;
    return ok ? WorldObjectsAttach() : 0;
}

int32_t TpWorldRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                              TvPluginObjectDestructor dtor, TvPluginObjectCopy copy) {
    return RegisterWhileClosed(TpWorldModule, &TpWorldRegistry, size, pluginId, ctor, dtor, copy);
}
int32_t TpGeometryRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                                 TvPluginObjectDestructor dtor, TvPluginObjectCopy copy) {
    return RegisterWhileClosed(TpGeometryModule, &TpGeometryRegistry, size, pluginId, ctor, dtor,
                               copy);
}
int32_t TpWorldSectorRegisterPlugin(int32_t size, uint32_t pluginId,
                                    TvPluginObjectConstructor ctor, TvPluginObjectDestructor dtor,
                                    TvPluginObjectCopy copy) {
    return TvPluginRegister(&TpWorldSectorRegistry, size, pluginId, ctor, dtor, copy);
}
int32_t TpAtomicRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                               TvPluginObjectDestructor dtor, TvPluginObjectCopy copy) {
    return TvPluginRegister(&TpAtomicRegistry, size, pluginId, ctor, dtor, copy);
}
int32_t TpClumpRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                              TvPluginObjectDestructor dtor, TvPluginObjectCopy copy) {
    return TvPluginRegister(&TpClumpRegistry, size, pluginId, ctor, dtor, copy);
}
int32_t TpLightRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                              TvPluginObjectDestructor dtor, TvPluginObjectCopy copy) {
    return TvPluginRegister(&TpLightRegistry, size, pluginId, ctor, dtor, copy);
}

int32_t TpWorldRegisterPluginStream(uint32_t pluginId, TvPluginDataChunkRead read,
                                    TvPluginDataChunkWrite write, TvPluginDataChunkSize size) {
    if (!RefuseNullStreamCallbacks(read, write, size)) return -1;
    return TvPluginRegisterStream(&TpWorldRegistry, pluginId, read, write, size);
}
int32_t TpGeometryRegisterPluginStream(uint32_t pluginId, TvPluginDataChunkRead read,
                                       TvPluginDataChunkWrite write, TvPluginDataChunkSize size) {
    if (!RefuseNullStreamCallbacks(read, write, size)) return -1;
    return TvPluginRegisterStream(&TpGeometryRegistry, pluginId, read, write, size);
}
int32_t TpWorldSectorRegisterPluginStream(uint32_t pluginId, TvPluginDataChunkRead read,
                                          TvPluginDataChunkWrite write,
                                          TvPluginDataChunkSize size) {
    return TvPluginRegisterStream(&TpWorldSectorRegistry, pluginId, read, write, size);
}
int32_t TpAtomicRegisterPluginStream(uint32_t pluginId, TvPluginDataChunkRead read,
                                     TvPluginDataChunkWrite write, TvPluginDataChunkSize size) {
    return TvPluginRegisterStream(&TpAtomicRegistry, pluginId, read, write, size);
}
int32_t TpClumpRegisterPluginStream(uint32_t pluginId, TvPluginDataChunkRead read,
                                    TvPluginDataChunkWrite write, TvPluginDataChunkSize size) {
    return TvPluginRegisterStream(&TpClumpRegistry, pluginId, read, write, size);
}

bool TpFindChunk(TvStream* stream, uint32_t type, uint32_t* length) {
    uint32_t found = 0, version = 0;
    if (!TvStreamFindChunk(stream, type, &found, &version)) return false;
    if (version < kTvChunkVersionMin || version > kTvChunkVersion) {
        TpCommonError(E_TV_BADVERSION);
        return false;
    }
    if (length) *length = found;
    return true;
}

bool TpReadStructBody(TvStream* stream, void* out, uint32_t bytes, uint32_t* length) {
    uint32_t found = 0;
    if (!TpFindChunk(stream, TV_ID_STRUCT, &found)) return false;
    std::memset(out, 0, bytes);
    const uint32_t take = found < bytes ? found : bytes;
    if (TvStreamRead(stream, out, take) != take || !TvStreamSkip(stream, found - take)) {
        TvErrorCore(E_TV_ENDOFSTREAM);
        return false;
    }
    if (length) *length = found;
    return true;
}
