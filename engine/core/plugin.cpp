#include "engine/core/plugin.h"

#include "engine/core/engine.h"
#include "engine/core/error.h"
#include "engine/core/memory.h"
#include "engine/core/stream.h"

namespace {

TvFreeList* g_entryPool;
constexpr int32_t kEntriesPerChunk = 20;
constexpr int32_t kAlign = int32_t(kTvFreeListAlign);

void* DefaultConstructor(void* object, int32_t, int32_t) {
    return object;
}
void* DefaultCopy(void* dest, const void*, int32_t, int32_t) {
    return dest;
}

TvPluginEntry* FindEntry(TvPluginRegistry* registry, uint32_t pluginId) {
    for (TvPluginEntry* e = registry->firstRegEntry; e; e = e->nextRegEntry) {
        if (e->pluginId == pluginId) return e;
    }
    return nullptr;
}

void ForgetEntry(void* block, void*) {
    TvPluginRegistry* registry = static_cast<TvPluginEntry*>(block)->parentRegistry;
    registry->sizeOfStruct = registry->origSizeOfStruct;
    registry->firstRegEntry = registry->lastRegEntry = nullptr;
}

// Reads the extension chunk's sub-chunks; `read` false skips every body.
TvPluginRegistry* ReadExtension(TvPluginRegistry* registry, TvStream* stream, void* object,
                                bool read) {
    uint32_t remaining, version;
    if (!TvStreamFindChunk(stream, TV_ID_EXTENSION, &remaining, &version)) return nullptr;
    if (read && (version < kTvChunkVersionMin || version > kTvChunkVersion)) {
        TvErrorReport(0, E_TV_BADVERSION);
        return nullptr;
    }
    while (remaining > 0) {
        uint32_t id, length;
        if (remaining < kTvChunkHeaderSize ||
            !TvStreamReadChunkHeader(stream, &id, &length, nullptr)) {
            TvErrorCore(E_TV_ENDOFSTREAM);
            return nullptr;
        }
        remaining -= kTvChunkHeaderSize;
        // Read callbacks take the length as a signed word.
        if (length > remaining || length > uint32_t(INT32_MAX)) {
            TvErrorCore(E_TV_ENDOFSTREAM);
            return nullptr;
        }
        remaining -= length;
        TvPluginEntry* entry = read ? FindEntry(registry, id) : nullptr;
        if (entry && entry->readCB) {
            size_t end = TvStreamTell(stream) + length;
            if (!entry->readCB(stream, int32_t(length), object, entry->offset, entry->size)) {
                return nullptr;
            }
            // The sub-chunk ends where its header says, whatever the callback consumed.
            if (!TvStreamSeekTo(stream, end)) return nullptr;
        } else if (!TvStreamSkip(stream, length)) {
            return nullptr;
        }
    }
    return registry;
}

} // namespace

bool TvPluginPoolCreate() {
    if (!g_entryPool) g_entryPool = TvFreeListCreate(sizeof(TvPluginEntry), kEntriesPerChunk);
    return g_entryPool != nullptr;
}

bool TvPluginPoolExists() {
    return g_entryPool != nullptr;
}

void TvPluginPoolRelease() {
    if (!g_entryPool) return;
    TvFreeListForAllUsed(g_entryPool, ForgetEntry, nullptr);
    TvFreeListDestroy(g_entryPool);
    g_entryPool = nullptr;
}

int32_t TvPluginRegister(TvPluginRegistry* registry, int32_t size, uint32_t pluginId,
                         TvPluginObjectConstructor ctor, TvPluginObjectDestructor dtor,
                         TvPluginObjectCopy copy) {
    if (!g_entryPool) return -1;
    if (TvEngineGetOpenCount() != 0) {
        TvErrorReport(0, E_TV_PLUGINENGINEOPEN);
        return -1;
    }
    if (TvPluginEntry* existing = FindEntry(registry, pluginId)) return existing->offset;
    if (size < 0 || size > INT32_MAX - 2 * kAlign) {
        TvErrorReport(0, E_TV_INVALIDPARAM, "Invalid data block size specified");
        return -1;
    }
    // Offsets and sizes keep every plug-in's data aligned like an allocated block.
    int64_t offset = (int64_t(registry->sizeOfStruct) + kAlign - 1) / kAlign * kAlign;
    int64_t newSize = offset + (int64_t(size) + kAlign - 1) / kAlign * kAlign;
    if (newSize > INT32_MAX) return -1;
    if (registry->maxSizeOfStruct != 0 && newSize > registry->maxSizeOfStruct) return -1;
    auto* entry = static_cast<TvPluginEntry*>(TvFreeListAlloc(g_entryPool));
    if (!entry) return -1;

    registry->sizeOfStruct = int32_t(newSize);
    *entry = TvPluginEntry{int32_t(offset),
                           size,
                           pluginId,
                           nullptr,
                           nullptr,
                           nullptr,
                           ctor ? ctor : DefaultConstructor,
                           dtor ? dtor : DefaultConstructor,
                           copy ? copy : DefaultCopy,
                           nullptr,
                           nullptr,
                           registry->lastRegEntry,
                           registry};
    if (registry->lastRegEntry) {
        registry->lastRegEntry->nextRegEntry = entry;
    } else {
        registry->firstRegEntry = entry;
    }
    registry->lastRegEntry = entry;
    return int32_t(offset);
}

int32_t TvPluginRegisterStream(TvPluginRegistry* registry, uint32_t pluginId,
                               TvPluginDataChunkRead read, TvPluginDataChunkWrite write,
                               TvPluginDataChunkSize size) {
    TvPluginEntry* entry = FindEntry(registry, pluginId);
    if (!entry) return -1;
    entry->readCB = read;
    entry->writeCB = write;
    entry->getSizeCB = size;
    return entry->offset;
}

TvPluginRegistry* TvPluginInitObject(TvPluginRegistry* registry, void* object) {
    for (TvPluginEntry* e = registry->firstRegEntry; e; e = e->nextRegEntry) {
        if (!e->constructCB(object, e->offset, e->size)) {
            for (TvPluginEntry* d = e->prevRegEntry; d; d = d->prevRegEntry) {
                d->destructCB(object, d->offset, d->size);
            }
            return nullptr;
        }
    }
    return registry;
}

TvPluginRegistry* TvPluginDeinitObject(TvPluginRegistry* registry, void* object) {
    for (TvPluginEntry* e = registry->lastRegEntry; e; e = e->prevRegEntry) {
        e->destructCB(object, e->offset, e->size);
    }
    return registry;
}

TvPluginRegistry* TvPluginCopyObject(TvPluginRegistry* registry, void* dest, const void* src) {
    for (TvPluginEntry* e = registry->firstRegEntry; e; e = e->nextRegEntry) {
        e->copyCB(dest, src, e->offset, e->size);
    }
    return registry;
}

TvPluginRegistry* TvPluginStreamRead(TvPluginRegistry* registry, TvStream* stream, void* object) {
    return ReadExtension(registry, stream, object, true);
}

TvPluginRegistry* TvPluginStreamSkip(TvPluginRegistry* registry, TvStream* stream) {
    return ReadExtension(registry, stream, nullptr, false);
}
