// The resource arena: a per-frame cache of data prepared for the device, carved from one fixed
// block of memory with least-recently-used eviction. Owners keep a pointer to their entry and
// find it cleared when the entry is evicted.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/engine.h"

struct TvResEntry;
using TvResEntryDestroyNotify = void (*)(TvResEntry* entry);

struct TvResEntry {
    TvLink link;
    size_t size; // as requested
    void* owner; // the object the entry caches data for
    TvResEntry** ownerRef;
    TvResEntryDestroyNotify destroyNotify;
    // the entry's data follows
};

// Data of an entry.
inline void* TvResEntryData(TvResEntry* entry) {
    return entry + 1;
}

// Resource arena module data (module 0x40B).
struct TvResArenaModule {
    size_t arenaSize;
    size_t bytesInUse;
    size_t bytesEvictedThisFrame;
    TvLink listA;
    TvLink listB;
    TvLink* olderEntries;
    TvLink* usedThisFrame;
};

// The arena's block of memory, stored by the application before it sets the arena size.
extern void* TvResourcesArenaMemory;

TvResEntry* TvResourcesAllocateResEntry(void* owner, TvResEntry** ownerRef, size_t size,
                                        TvResEntryDestroyNotify destroyNotify);
void TvResourcesUseResEntry(TvResEntry* entry);
bool TvResourcesFreeResEntry(TvResEntry* entry);
void TvResourcesEndFrame();
bool TvResourcesFreeAllEntries();
void TvResourcesEmptyArena();
bool TvResourcesSetArenaSize(size_t size);
