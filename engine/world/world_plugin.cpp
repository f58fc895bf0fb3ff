#include "engine/world/world_plugin.h"

#include <cstring>

#include "engine/core/stream.h"

namespace {

TvModuleGlobals g_intersectionModule;
TvModuleGlobals g_d3dWorldModule;
TvModuleGlobals g_sectorModule;
TvModuleGlobals g_worldStreamModule;

// Modules that keep nothing but their open count.
template <TvModuleGlobals* Module> void* CountOpen(void* instance, int32_t offset, int32_t) {
    return TvModuleOpened(*Module, instance, offset);
}
template <TvModuleGlobals* Module> void* CountClose(void* instance, int32_t, int32_t) {
    return TvModuleClosed(*Module, instance);
}

int32_t RefuseNullStreamCallbacks(TvPluginDataChunkRead read, TvPluginDataChunkWrite write,
                                  TvPluginDataChunkSize size) {
    if (!read || !write || !size) {
        TpCommonError(E_TV_NULLP);
        return 0;
    }
    return 1;
}

int32_t RegisterWhileClosed(const TvModuleGlobals& module, TvPluginRegistry* registry, int32_t size,
                            uint32_t pluginId, TvPluginObjectConstructor ctor,
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
        {sizeof(TpWorldModuleData), kTpWorldModuleId, _TpWorldModuleOpen, _TpWorldModuleClose},
        {0, kTpWorldStreamModuleId, CountOpen<&g_worldStreamModule>,
         CountClose<&g_worldStreamModule>},
    };
    bool ok = true;
    for (const Module& m : modules)
        if (TvEngineRegisterPlugin(m.size, m.id, m.open, m.close) < 0) ok = false;
    return ok ? _TpWorldObjectsAttach() : 0;
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
int32_t TpWorldSectorRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                                    TvPluginObjectDestructor dtor, TvPluginObjectCopy copy) {
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
    // An empty body reads nothing (a read of 0 bytes would record an error of its own).
    if ((take && TvStreamRead(stream, out, take) != take) || !TvStreamSkip(stream, found - take)) {
        TvErrorCore(E_TV_ENDOFSTREAM);
        return false;
    }
    if (length) *length = found;
    return true;
}

uint64_t TpStreamRemaining(const TvStream* stream) {
    const bool sized = stream->type == TV_STREAM_MEMORY ||
                       (stream->type == TV_STREAM_FILENAME && stream->size > 0);
    if (!sized) return UINT64_MAX;
    return stream->size > stream->position ? stream->size - stream->position : 0;
}
