#include "engine/core/resources.h"

#include <cstddef>

#include "engine/core/bytes.h"
#include "engine/core/engine_modules.h"
#include "engine/core/error.h"
#include "engine/core/link.h"

void* TvResourcesArenaMemory = nullptr;

namespace {

TvModuleGlobals arenaModule;

TvResArenaModule* ArenaData() {
    return TvEngineModuleData<TvResArenaModule>(arenaModule);
}

// Header of a block in the arena; the entry follows it. Aligned so that the entry's data is.
struct alignas(std::max_align_t) Block {
    Block* next;
    Block* prev;
    size_t size; // bytes from the block start to its end
};

// Blocks in address order; a circular list through this head.
Block g_blocks = {&g_blocks, &g_blocks, 0};

constexpr uintptr_t kAlign = alignof(std::max_align_t);

uintptr_t AlignUp(uintptr_t p) {
    return (p + kAlign - 1) & ~(kAlign - 1);
}

TvResEntry* EntryOf(Block* b) {
    return reinterpret_cast<TvResEntry*>(b + 1);
}
Block* BlockOf(TvResEntry* e) {
    return reinterpret_cast<Block*>(e) - 1;
}
TvResEntry* EntryFromLink(TvLink* l) {
    return TvContainerOf<TvResEntry>(l, offsetof(TvResEntry, link));
}

// The arena's capacity: nothing can be placed without its memory.
size_t Capacity(const TvResArenaModule* mod) {
    return TvResourcesArenaMemory ? mod->arenaSize : 0;
}

// First fit in address order: a gap before a block, else the space after the last one.
Block* PlaceBlock(size_t bytes) {
    TvResArenaModule* mod = ArenaData();
    if (!TvResourcesArenaMemory) return nullptr;
    const uintptr_t arenaStart = reinterpret_cast<uintptr_t>(TvResourcesArenaMemory);
    const uintptr_t arenaEnd = arenaStart + mod->arenaSize;
    uintptr_t freeStart = arenaStart;
    uintptr_t start = 0;
    Block* before = &g_blocks; // the block the new one goes in front of; the head for the end
    for (Block* b = g_blocks.next; b != &g_blocks; b = b->next) {
        start = AlignUp(freeStart);
        if (start + bytes <= reinterpret_cast<uintptr_t>(b)) {
            before = b;
            break;
        }
        freeStart = reinterpret_cast<uintptr_t>(b) + b->size;
    }
    if (before == &g_blocks) {
        start = AlignUp(freeStart);
        if (start > arenaEnd || arenaEnd - start < bytes) return nullptr;
    }
    auto* block = reinterpret_cast<Block*>(start);
    block->size = bytes;
    block->next = before;
    block->prev = before->prev;
    before->prev->next = block;
    before->prev = block;
    return block;
}

void FreeEntry(TvResEntry* e) {
    TvResArenaModule* mod = ArenaData();
    if (e->destroyNotify) e->destroyNotify(e);
    TvLinkRemove(&e->link);
    if (e->ownerRef) *e->ownerRef = nullptr;
    mod->bytesInUse -= e->size;
    Block* b = BlockOf(e);
    b->prev->next = b->next;
    b->next->prev = b->prev;
}

void FreeList(TvLink* head) {
    while (head->next != head)
        FreeEntry(EntryFromLink(head->next));
}

void ResetState(TvResArenaModule* mod) {
    TvLinkInit(&mod->listA);
    TvLinkInit(&mod->listB);
    mod->olderEntries = &mod->listB;
    mod->usedThisFrame = &mod->listA;
    mod->bytesInUse = 0;
    mod->bytesEvictedThisFrame = 0;
    g_blocks.next = g_blocks.prev = &g_blocks;
}

} // namespace

TvResEntry* TvResourcesAllocateResEntry(void* owner, TvResEntry** ownerRef, size_t size,
                                        TvResEntryDestroyNotify destroyNotify) {
    TvResArenaModule* mod = ArenaData();
    const size_t bytes = sizeof(Block) + sizeof(TvResEntry) + size;
    Block* block = nullptr;
    for (;;) {
        if (size <= Capacity(mod) && mod->bytesInUse <= Capacity(mod) - size) {
            block = PlaceBlock(bytes);
            if (block) break;
            TvErrorCore(E_TV_NOMEM);
        }
        if (mod->olderEntries->next != mod->olderEntries) {
            FreeEntry(EntryFromLink(mod->olderEntries->prev));
        } else if (mod->usedThisFrame->next != mod->usedThisFrame) {
            TvResEntry* victim = EntryFromLink(mod->usedThisFrame->prev);
            mod->bytesEvictedThisFrame += victim->size;
            FreeEntry(victim);
        } else {
            if (ownerRef) *ownerRef = nullptr;
            TvErrorCore(E_TV_ARENAEXHAUSTED);
            return nullptr;
        }
    }
    TvResEntry* e = EntryOf(block);
    TvLinkInsertHead(mod->usedThisFrame, &e->link);
    e->size = size;
    e->owner = owner;
    e->ownerRef = ownerRef;
    e->destroyNotify = destroyNotify;
    mod->bytesInUse += size;
    if (ownerRef) *ownerRef = e;
    return e;
}

void TvResourcesUseResEntry(TvResEntry* entry) {
    TvLinkRemove(&entry->link);
    TvLinkInsertHead(ArenaData()->usedThisFrame, &entry->link);
}

bool TvResourcesFreeResEntry(TvResEntry* entry) {
    FreeEntry(entry);
    return true;
}

void TvResourcesEndFrame() {
    TvResArenaModule* mod = ArenaData();
    TvLink* used = mod->usedThisFrame;
    TvLink* older = mod->olderEntries;
    // The older entries go behind this frame's, in the used list, which then becomes the
    // older list: most recently used first.
    if (older->next != older) {
        older->next->prev = used->prev;
        used->prev->next = older->next;
        older->prev->next = used;
        used->prev = older->prev;
        TvLinkInit(older);
    }
    mod->olderEntries = used;
    mod->usedThisFrame = older;
    mod->bytesEvictedThisFrame = 0;
}

bool TvResourcesFreeAllEntries() {
    TvResArenaModule* mod = ArenaData();
    FreeList(mod->usedThisFrame);
    FreeList(mod->olderEntries);
    return true;
}

void TvResourcesEmptyArena() {
    TvResourcesFreeAllEntries();
    g_blocks.next = g_blocks.prev = &g_blocks;
}

bool TvResourcesSetArenaSize(size_t size) {
    TvResourcesEmptyArena();
    // Without its memory the arena stays empty, so allocations fail instead of writing to null.
    ArenaData()->arenaSize = TvResourcesArenaMemory ? size : 0;
    return true;
}

const int32_t _TvResArenaModuleDataSize = sizeof(TvResArenaModule);

void* _TvResArenaModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* mod = static_cast<TvResArenaModule*>(TvEngineInstanceData(instance, offset));
    ResetState(mod);
    mod->arenaSize = 0x800000;
    return TvModuleOpened(arenaModule, instance, offset);
}

void* _TvResArenaModuleClose(void* instance, int32_t offset, int32_t) {
    ResetState(static_cast<TvResArenaModule*>(TvEngineInstanceData(instance, offset)));
    return TvModuleClosed(arenaModule, instance);
}
