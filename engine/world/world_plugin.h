// World library: module ids and registration, the plug-in registries of its object kinds, its
// error codes and the checks that every public function makes first.
#pragma once

#include <cstdint>

#include "engine/core/engine.h"
#include "engine/core/error.h"
#include "engine/core/frame.h"
#include "engine/core/plugin.h"

struct TvFreeList;

// Module ids, in registration order (the engine opens them in this order, closes in reverse).
inline constexpr uint32_t kTpMaterialModuleId = 0x501;
inline constexpr uint32_t kTpMeshModuleId = 0x502;
inline constexpr uint32_t kTpGeometryModuleId = 0x503;
inline constexpr uint32_t kTpAtomicModuleId = 0x504;
inline constexpr uint32_t kTpLightModuleId = 0x505;
inline constexpr uint32_t kTpIntersectionModuleId = 0x506;
inline constexpr uint32_t kTpD3DWorldModuleId = 0x50C;
inline constexpr uint32_t kTpSectorModuleId = 0x50A;
inline constexpr uint32_t kTpWorldModuleId = 0x507;
inline constexpr uint32_t kTpWorldStreamModuleId = 0x50B;
inline constexpr uint32_t kTpWorldObjectsModuleId = 0x509;

// World-library error codes (plug-in id 2).
inline constexpr uint32_t E_TP_LIGHTBELOWZERO = 0;
inline constexpr uint32_t E_TP_INTERSECTIONTYPE = 1;
inline constexpr uint32_t E_TP_INDEXRANGE = 2;
inline constexpr uint32_t E_TP_CLUMPINWORLD = 3;
inline constexpr uint32_t E_TP_CLUMPNOTINWORLD = 4;
inline constexpr uint32_t E_TP_ATOMICNOFRAME = 5;
inline constexpr uint32_t E_TP_TOOMANYVERTICES = 6;

inline void TpWorldError(uint32_t code, const char* message = nullptr) {
    TvErrorReport(kTvPluginIdWorld, code, message);
}
// Common codes raised by the world library are recorded under its plug-in id.
inline void TpCommonError(uint32_t code, const char* message = nullptr) {
    TvErrorReport(kTvPluginIdWorld, code, message);
}
// True when the module is open and the object is not null; else records why and returns false.
bool TpCheck(const TvModuleGlobals& module, const void* object);

// Flags and frame of any engine object that hangs on a frame.
inline uint8_t TvObjectGetFlags(const void* object) {
    return static_cast<const TvObject*>(object)->flags;
}
inline TvFrame* TvObjectGetFrame(const void* object) {
    return static_cast<const TvObjectHasFrame*>(object)->frame;
}

// Module globals (offset in the engine instance and open count) of the world-library modules.
extern TvModuleGlobals TpMaterialModule;
extern TvModuleGlobals TpMeshModule;
extern TvModuleGlobals TpGeometryModule;
extern TvModuleGlobals TpAtomicModule;
extern TvModuleGlobals TpLightModule;
extern TvModuleGlobals TpWorldModule;
extern TvModuleGlobals TpWorldObjectsModule;

// Plug-in registries; each one's base size is its object's own record.
extern TvPluginRegistry TpWorldRegistry;
extern TvPluginRegistry TpWorldSectorRegistry;
extern TvPluginRegistry TpAtomicRegistry;
extern TvPluginRegistry TpClumpRegistry;
extern TvPluginRegistry TpGeometryRegistry;
extern TvPluginRegistry TpLightRegistry;
extern TvPluginRegistry TpMaterialRegistry;

// World module data: default sector pipe, world-list entries and the list of worlds.
struct TvPipe;
struct TpWorldModuleData {
    TvPipe* defaultSectorPipe;
    TvFreeList* entryFreeList;
    TvLink worlds;
};

// World-objects module data: the sector-tie free lists and the render and lighting stamps.
struct TpWorldObjectsModuleData {
    TvFreeList* atomicTies;
    TvFreeList* lightTies;
    uint16_t renderFrame;
    uint16_t lightingStamp;
    uint16_t queryStamp; // advanced by every atomic intersection query
};

// Stamps of the world objects module (0 while it is closed).
uint16_t TpWorldGetRenderFrame();
uint16_t TpWorldAdvanceRenderFrame();
uint16_t TpWorldGetLightingStamp();
uint16_t TpWorldAdvanceLightingStamp();
// Advances the query stamp, never to 0: when it wraps every atomic's stamp is cleared first.
uint16_t _TpWorldAdvanceQueryStamp();

// Registers every world-library module; 1 on success, 0 when a registration was refused.
int32_t TpWorldPluginAttach();

int32_t TpWorldRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                              TvPluginObjectDestructor dtor, TvPluginObjectCopy copy);
int32_t TpWorldSectorRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                                    TvPluginObjectDestructor dtor, TvPluginObjectCopy copy);
int32_t TpAtomicRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                               TvPluginObjectDestructor dtor, TvPluginObjectCopy copy);
int32_t TpClumpRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                              TvPluginObjectDestructor dtor, TvPluginObjectCopy copy);
int32_t TpGeometryRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                                 TvPluginObjectDestructor dtor, TvPluginObjectCopy copy);
int32_t TpLightRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                              TvPluginObjectDestructor dtor, TvPluginObjectCopy copy);

int32_t TpWorldRegisterPluginStream(uint32_t pluginId, TvPluginDataChunkRead read,
                                    TvPluginDataChunkWrite write, TvPluginDataChunkSize size);
int32_t TpWorldSectorRegisterPluginStream(uint32_t pluginId, TvPluginDataChunkRead read,
                                          TvPluginDataChunkWrite write, TvPluginDataChunkSize size);
int32_t TpAtomicRegisterPluginStream(uint32_t pluginId, TvPluginDataChunkRead read,
                                     TvPluginDataChunkWrite write, TvPluginDataChunkSize size);
int32_t TpClumpRegisterPluginStream(uint32_t pluginId, TvPluginDataChunkRead read,
                                    TvPluginDataChunkWrite write, TvPluginDataChunkSize size);
int32_t TpGeometryRegisterPluginStream(uint32_t pluginId, TvPluginDataChunkRead read,
                                       TvPluginDataChunkWrite write, TvPluginDataChunkSize size);

// Module open and close functions, defined by each module's file.
void* _TpMaterialModuleOpen(void* instance, int32_t offset, int32_t size);
void* _TpMaterialModuleClose(void* instance, int32_t offset, int32_t size);
void* _TpMeshModuleOpen(void* instance, int32_t offset, int32_t size);
void* _TpMeshModuleClose(void* instance, int32_t offset, int32_t size);
void* _TpGeometryModuleOpen(void* instance, int32_t offset, int32_t size);
void* _TpGeometryModuleClose(void* instance, int32_t offset, int32_t size);
void* _TpAtomicModuleOpen(void* instance, int32_t offset, int32_t size);
void* _TpAtomicModuleClose(void* instance, int32_t offset, int32_t size);
void* _TpLightModuleOpen(void* instance, int32_t offset, int32_t size);
void* _TpLightModuleClose(void* instance, int32_t offset, int32_t size);
void* _TpWorldModuleOpen(void* instance, int32_t offset, int32_t size);
void* _TpWorldModuleClose(void* instance, int32_t offset, int32_t size);
// Registers the world-objects module and its extension data; 1 on success.
int32_t _TpWorldObjectsAttach();
extern const int32_t _TpMaterialModuleDataSize;
extern const int32_t _TpMeshModuleDataSize;
extern const int32_t _TpGeometryModuleDataSize;
extern const int32_t _TpAtomicModuleDataSize;
extern const int32_t _TpLightModuleDataSize;

// Reads the struct chunk that comes next into a zero-filled record of `bytes`: a shorter body
// leaves the rest zero, a longer one is skipped past. Bad versions report 0x80000014.
bool TpReadStructBody(struct TvStream* stream, void* out, uint32_t bytes, uint32_t* length);
// Bytes left in a stream whose size is known (memory, or a file read by name); the largest
// value otherwise.
uint64_t TpStreamRemaining(const struct TvStream* stream);
// Finds a chunk of `type` whose version lies in 0x300 to 0x301 (else 0x80000014).
bool TpFindChunk(struct TvStream* stream, uint32_t type, uint32_t* length);
