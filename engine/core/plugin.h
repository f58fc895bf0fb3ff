// Plug-in registries: extra data registered on an engine object kind by size and id, with
// constructor, destructor, copy and stream callbacks, carried in the object's extension chunk.
#pragma once

#include <cstdint>

struct TvStream;

using TvPluginObjectConstructor = void* (*)(void* object, int32_t offset, int32_t size);
using TvPluginObjectDestructor = void* (*)(void* object, int32_t offset, int32_t size);
using TvPluginObjectCopy = void* (*)(void* dest, const void* src, int32_t offset, int32_t size);
using TvPluginDataChunkRead = TvStream* (*)(TvStream* stream, int32_t length, void* object,
                                            int32_t offset, int32_t size);
using TvPluginDataChunkWrite = TvStream* (*)(TvStream* stream, int32_t length, const void* object,
                                             int32_t offset, int32_t size);
using TvPluginDataChunkSize = int32_t (*)(const void* object, int32_t offset, int32_t size);

struct TvPluginEntry;

struct TvPluginRegistry {
    int32_t sizeOfStruct; // current size, including all registered plug-in data
    int32_t origSizeOfStruct;
    int32_t maxSizeOfStruct; // 0: unlimited
    TvPluginEntry* firstRegEntry;
    TvPluginEntry* lastRegEntry;
};

struct TvPluginEntry {
    int32_t offset;
    int32_t size; // as requested
    uint32_t pluginId;
    TvPluginDataChunkRead readCB;
    TvPluginDataChunkWrite writeCB;
    TvPluginDataChunkSize getSizeCB;
    TvPluginObjectConstructor constructCB;
    TvPluginObjectDestructor destructCB;
    TvPluginObjectCopy copyCB;
    void* spare;
    TvPluginEntry* nextRegEntry;
    TvPluginEntry* prevRegEntry;
    TvPluginRegistry* parentRegistry;
};

// A registry of an object kind whose own record is `size` bytes.
constexpr TvPluginRegistry TvPluginRegistryInitial(int32_t size) {
    return TvPluginRegistry{size, size, 0, nullptr, nullptr};
}

int32_t TvPluginRegister(TvPluginRegistry* registry, int32_t size, uint32_t pluginId,
                         TvPluginObjectConstructor ctor, TvPluginObjectDestructor dtor,
                         TvPluginObjectCopy copy);
int32_t TvPluginRegisterStream(TvPluginRegistry* registry, uint32_t pluginId,
                               TvPluginDataChunkRead read, TvPluginDataChunkWrite write,
                               TvPluginDataChunkSize size);
TvPluginRegistry* TvPluginInitObject(TvPluginRegistry* registry, void* object);
TvPluginRegistry* TvPluginDeinitObject(TvPluginRegistry* registry, void* object);
TvPluginRegistry* TvPluginCopyObject(TvPluginRegistry* registry, void* dest, const void* src);
TvPluginRegistry* TvPluginStreamRead(TvPluginRegistry* registry, TvStream* stream, void* object);
TvPluginRegistry* TvPluginStreamSkip(TvPluginRegistry* registry, TvStream* stream);

// Entry pool, created by TvEngineInit and released by TvEngineTerm (all registrations forgotten).
bool TvPluginPoolCreate();
void TvPluginPoolRelease();
bool TvPluginPoolExists();
