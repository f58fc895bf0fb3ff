// Memory-information plug-in: wraps the engine's memory hooks and, while a tracking record is
// installed, keeps a table of live blocks with their sizes and tags and the current and peak
// byte counts.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/memory.h"

inline constexpr uint32_t kTpMemInfoModuleId = 0x10B;

struct TpMemInfoEntry {
    void* block;
    size_t size;
    uint32_t tag;
};

struct TpMemInfoTracking {
    TpMemInfoEntry* entries;
    int32_t count;
    int32_t capacity;
    uint32_t* tags; // tag stack; the current tag is the top entry, 0 when empty
    int32_t tagDepth;
    int32_t tagCapacity;
    uint32_t currentBytes;
    uint32_t peakBytes;
};

// Engine-instance data of the module.
struct TpMemInfoModule {
    TvMemoryFunctions saved; // the hooks in place when the module opened
    TpMemInfoTracking* tracking;
};

// 1 when the module was registered on the engine, else 0.
int32_t TpMemInfoPluinAttach();

// Installs a fresh tracking record (true) while the module is open; stopping frees it.
bool TpMemInfoTrackingStart();
void TpMemInfoTrackingStop();
const TpMemInfoTracking* TpMemInfoTrackingGet();
bool TpMemInfoPushTag(uint32_t tag);
void TpMemInfoPopTag();
