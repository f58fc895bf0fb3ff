#include "engine/world/meminfo.h"

#include <algorithm>

#include "engine/core/engine.h"

namespace {

TvModuleGlobals g_memInfoModule;
constexpr int32_t kFirstCapacity = 16;

TpMemInfoModule* Data() {
    return TvEngineModuleData<TpMemInfoModule>(g_memInfoModule);
}

uint32_t CurrentTag(const TpMemInfoTracking* t) {
    return t->tagDepth > 0 ? t->tags[t->tagDepth - 1] : 0;
}

void AddBytes(TpMemInfoTracking* t, size_t bytes) {
    t->currentBytes += uint32_t(bytes);
    t->peakBytes = std::max(t->peakBytes, t->currentBytes);
}

// Appends an entry, doubling the table through the saved reallocate hook when full; the entry
// is dropped when the table cannot grow, but the byte counts still follow.
void Record(TpMemInfoModule* m, void* block, size_t size) {
    TpMemInfoTracking* t = m->tracking;
    if (t->count == t->capacity && t->capacity <= INT32_MAX / 2) {
        int32_t capacity = t->capacity ? t->capacity * 2 : kFirstCapacity;
        auto* entries = static_cast<TpMemInfoEntry*>(
            m->saved.reallocate(t->entries, sizeof(TpMemInfoEntry) * size_t(capacity)));
        if (entries) {
            t->entries = entries;
            t->capacity = capacity;
        }
    }
    if (t->count < t->capacity) t->entries[t->count++] = {block, size, CurrentTag(t)};
    AddBytes(t, size);
}

TpMemInfoEntry* Find(TpMemInfoTracking* t, void* block) {
    TpMemInfoEntry* end = t->entries + t->count;
    TpMemInfoEntry* e = std::find_if(t->entries, end, [&](auto& x) { return x.block == block; });
    return e == end ? nullptr : e;
}

void* Allocate(size_t bytes) {
    TpMemInfoModule* m = Data();
    void* block = m->saved.allocate(bytes);
    if (block && m->tracking) Record(m, block, bytes);
    return block;
}

void* ZeroAllocate(size_t count, size_t size) {
    TpMemInfoModule* m = Data();
    void* block = m->saved.zeroAllocate(count, size);
    if (block && m->tracking) Record(m, block, count * size);
    return block;
}

void Free(void* block) {
    TpMemInfoModule* m = Data();
    if (block && m->tracking) {
        // Blocks from before tracking began are not in the table and change nothing.
        if (TpMemInfoEntry* e = Find(m->tracking, block)) {
            m->tracking->currentBytes -= uint32_t(e->size);
            *e = m->tracking->entries[--m->tracking->count];
        }
    }
    m->saved.free(block);
}

void* Reallocate(void* block, size_t bytes) {
    TpMemInfoModule* m = Data();
    void* moved = m->saved.reallocate(block, bytes);
    if (!moved || !m->tracking) return moved;
    TpMemInfoTracking* t = m->tracking;
    if (TpMemInfoEntry* e = block ? Find(t, block) : nullptr) {
        t->currentBytes -= uint32_t(e->size);
        *e = {moved, bytes, CurrentTag(t)};
        AddBytes(t, bytes);
    } else {
        Record(m, moved, bytes);
    }
    return moved;
}

void FreeTracking(TpMemInfoModule* m) {
    if (!m->tracking) return;
    m->saved.free(m->tracking->entries);
    m->saved.free(m->tracking->tags);
    m->saved.free(m->tracking);
    m->tracking = nullptr;
}

void* Open(void* instance, int32_t offset, int32_t) {
    auto* m = static_cast<TpMemInfoModule*>(TvEngineInstanceData(instance, offset));
    TvMemoryFunctions& hooks = static_cast<TvEngineInstance*>(instance)->memoryFuncs;
    m->saved = hooks;
    m->tracking = nullptr;
    hooks = {Allocate, Free, Reallocate, ZeroAllocate};
    return TvModuleOpened(g_memInfoModule, instance, offset);
}

void* Close(void* instance, int32_t offset, int32_t) {
    auto* m = static_cast<TpMemInfoModule*>(TvEngineInstanceData(instance, offset));
    FreeTracking(m);
    static_cast<TvEngineInstance*>(instance)->memoryFuncs = m->saved;
    return TvModuleClosed(g_memInfoModule, instance);
}

} // namespace

int32_t TpMemInfoPluinAttach() {
    return TvEngineRegisterPlugin(sizeof(TpMemInfoModule), kTpMemInfoModuleId, Open, Close) >= 0;
}

bool TpMemInfoTrackingStart() {
    if (!TvModuleIsOpen(g_memInfoModule)) return false;
    TpMemInfoModule* m = Data();
    FreeTracking(m);
    auto* t = static_cast<TpMemInfoTracking*>(m->saved.zeroAllocate(1, sizeof(TpMemInfoTracking)));
    if (!t) return false;
    m->tracking = t;
    return true;
}

void TpMemInfoTrackingStop() {
    if (TvModuleIsOpen(g_memInfoModule)) FreeTracking(Data());
}

const TpMemInfoTracking* TpMemInfoTrackingGet() {
    return TvModuleIsOpen(g_memInfoModule) ? Data()->tracking : nullptr;
}

bool TpMemInfoPushTag(uint32_t tag) {
    if (!TvModuleIsOpen(g_memInfoModule) || !Data()->tracking) return false;
    TpMemInfoModule* m = Data();
    TpMemInfoTracking* t = m->tracking;
    if (t->tagDepth == t->tagCapacity) {
        if (t->tagCapacity > INT32_MAX / 2) return false;
        int32_t capacity = t->tagCapacity ? t->tagCapacity * 2 : kFirstCapacity;
        auto* tags = static_cast<uint32_t*>(
            m->saved.reallocate(t->tags, sizeof(uint32_t) * size_t(capacity)));
        if (!tags) return false;
        t->tags = tags;
        t->tagCapacity = capacity;
    }
    t->tags[t->tagDepth++] = tag;
    return true;
}

void TpMemInfoPopTag() {
    if (!TvModuleIsOpen(g_memInfoModule) || !Data()->tracking) return;
    TpMemInfoTracking* t = Data()->tracking;
    if (t->tagDepth > 0) t->tagDepth--;
}
