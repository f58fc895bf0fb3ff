#include "engine/core/memory.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>

#include "engine/core/engine.h"
#include "engine/core/error.h"

namespace {

// Head of the engine's circular list of free lists (only next and prev are used).
TvFreeList g_freeLists = {nullptr, 0, nullptr, 0, 0, 0, 0, 0, &g_freeLists, &g_freeLists};

// Chunks start with the link to the next chunk, padded so that blocks stay aligned.
constexpr size_t kChunkHeader = kTvFreeListAlign;
static_assert(kChunkHeader >= sizeof(void*));

constexpr TvMemoryFunctions kDefaults = {std::malloc, std::free, std::realloc,
                                         TvMemoryZeroAllocateDefault};

const TvMemoryFunctions& Hooks() {
    const TvMemoryFunctions& f = TvEngineInstancePtr->memoryFuncs;
    return f.allocate ? f : kDefaults;
}

void*& ChunkNext(void* chunk) {
    return *static_cast<void**>(chunk);
}
uint8_t* ChunkBlock(const TvFreeList* list, void* chunk, int32_t index) {
    return static_cast<uint8_t*>(chunk) + kChunkHeader + list->blockStride * size_t(index);
}

void OutOfMemory() {
    TvErrorCore(E_TV_NOMEM);
}

} // namespace

void* TvMemoryZeroAllocateDefault(size_t count, size_t size) {
    if (size != 0 && count > SIZE_MAX / size) return nullptr;
    void* block = std::malloc(count * size);
    if (block) std::memset(block, 0, count * size);
    return block;
}

bool TvMemoryHooks(const TvMemoryFunctions* table) {
    TvEngineInstancePtr->memoryFuncs = table ? *table : kDefaults;
    g_freeLists.next = g_freeLists.prev = &g_freeLists;
    return true;
}

TvMemoryFunctions* TvEngineGetMemoryFunctions() {
    return &TvEngineInstancePtr->memoryFuncs;
}

void* TvMalloc(size_t bytes) {
    return Hooks().allocate(bytes);
}
void TvFree(void* block) {
    Hooks().free(block);
}
void* TvRealloc(void* block, size_t bytes) {
    return Hooks().reallocate(block, bytes);
}
void* TvCalloc(size_t count, size_t size) {
    return Hooks().zeroAllocate(count, size);
}

TvFreeList* TvFreeListCreate(size_t blockSize, int32_t blocksPerChunk) {
    size_t stride = (blockSize + kTvFreeListAlign - 1) & ~(kTvFreeListAlign - 1);
    if (blockSize == 0 || blocksPerChunk <= 0 || stride < blockSize ||
        stride > (SIZE_MAX - kChunkHeader) / size_t(blocksPerChunk)) {
        TvErrorCore(E_TV_INVALIDPARAM, "Invalid data block size specified");
        return nullptr;
    }
    auto* list = static_cast<TvFreeList*>(TvMalloc(sizeof(TvFreeList)));
    if (!list) {
        OutOfMemory();
        return nullptr;
    }
    list->stack = static_cast<void**>(TvMalloc(sizeof(void*)));
    if (!list->stack) {
        TvFree(list);
        OutOfMemory();
        return nullptr;
    }
    list->stackCount = 0;
    list->firstChunk = nullptr;
    list->blockSize = blockSize;
    list->blockStride = stride;
    list->chunkBytes = kChunkHeader + stride * size_t(blocksPerChunk);
    list->blocksPerChunk = blocksPerChunk;
    list->stackCapacity = 0;
    list->next = g_freeLists.next;
    list->prev = &g_freeLists;
    g_freeLists.next->prev = list;
    g_freeLists.next = list;
    return list;
}

void* TvFreeListAlloc(TvFreeList* list) {
    if (list->stackCount == 0) {
        if (list->stackCapacity > INT32_MAX - list->blocksPerChunk) {
            OutOfMemory();
            return nullptr;
        }
        int32_t capacity = list->stackCapacity + list->blocksPerChunk;
        void* chunk = TvMalloc(list->chunkBytes);
        if (!chunk) {
            OutOfMemory();
            return nullptr;
        }
        auto* stack = static_cast<void**>(TvMalloc(sizeof(void*) * size_t(capacity)));
        if (!stack) {
            TvFree(chunk);
            OutOfMemory();
            return nullptr;
        }
        TvFree(list->stack);
        list->stack = stack;
        list->stackCapacity = capacity;
        ChunkNext(chunk) = list->firstChunk;
        list->firstChunk = chunk;
        // Last block pushed first, so the lowest block is on top.
        for (int32_t i = list->blocksPerChunk - 1; i >= 0; i--) {
            list->stack[list->stackCount++] = ChunkBlock(list, chunk, i);
        }
    }
    return list->stack[--list->stackCount];
}

TvFreeList* TvFreeListFree(TvFreeList* list, void* block) {
    // More frees than blocks ever carved can only be double or foreign frees; they would write
    // past the stack, so they are dropped.
    if (block && list->stackCount < list->stackCapacity) list->stack[list->stackCount++] = block;
    return list;
}

bool TvFreeListDestroy(TvFreeList* list) {
    if (!list) return false;
    TvFree(list->stack);
    for (void* chunk = list->firstChunk; chunk;) {
        void* next = ChunkNext(chunk);
        TvFree(chunk);
        chunk = next;
    }
    list->prev->next = list->next;
    list->next->prev = list->prev;
    TvFree(list);
    return true;
}

TvFreeList* TvFreeListForAllUsed(TvFreeList* list, TvFreeListCallBack callback, void* data) {
    // A sorted copy of the free stack is searched, so a walk costs n log n rather than n^2; the
    // stack itself keeps its order. Without memory for the copy the stack is searched as it is.
    const size_t count = size_t(list->stackCount);
    void** sorted = count ? static_cast<void**>(TvMalloc(sizeof(void*) * count)) : nullptr;
    if (sorted) {
        std::memcpy(sorted, list->stack, sizeof(void*) * count);
        std::sort(sorted, sorted + count, std::less<void*>());
    }
    for (void* chunk = list->firstChunk; chunk; chunk = ChunkNext(chunk)) {
        for (int32_t i = 0; i < list->blocksPerChunk; i++) {
            void* block = ChunkBlock(list, chunk, i);
            bool free =
                sorted ? std::binary_search(sorted, sorted + count, block, std::less<void*>())
                       : std::find(list->stack, list->stack + count, block) != list->stack + count;
            if (!free) callback(block, data);
        }
    }
    TvFree(sorted);
    return list;
}

size_t TvFreeListPurge(TvFreeList* list) {
    if (list->stackCount == 0) return 0;
    std::sort(list->stack, list->stack + list->stackCount, std::less<void*>());

    // Sort the chunk list by address (insertion into a new ascending list).
    void* sorted = nullptr;
    for (void* chunk = list->firstChunk; chunk;) {
        void* next = ChunkNext(chunk);
        void** link = &sorted;
        while (*link && std::less<void*>()(*link, chunk))
            link = &ChunkNext(*link);
        ChunkNext(chunk) = *link;
        *link = chunk;
        chunk = next;
    }
    list->firstChunk = sorted;

    const int32_t perChunk = list->blocksPerChunk;
    size_t released = 0;
    int32_t index = 0;
    void** link = &list->firstChunk;
    while (*link && list->stackCount - index >= perChunk) {
        void* chunk = *link;
        void* first = ChunkBlock(list, chunk, 0);
        while (index < list->stackCount && std::less<void*>()(list->stack[index], first))
            index++;
        if (list->stackCount - index < perChunk) break;
        bool allFree = true;
        for (int32_t i = 0; i < perChunk && allFree; i++) {
            allFree = list->stack[index + i] == ChunkBlock(list, chunk, i);
        }
        if (!allFree) {
            link = &ChunkNext(chunk);
            continue;
        }
        *link = ChunkNext(chunk);
        TvFree(chunk);
        std::memmove(list->stack + index, list->stack + index + perChunk,
                     sizeof(void*) * size_t(list->stackCount - index - perChunk));
        list->stackCount -= perChunk;
        list->stackCapacity -= perChunk;
        released += list->chunkBytes;
    }
    return released;
}

size_t TvFreeListPurgeAll() {
    size_t total = 0;
    for (TvFreeList* list = g_freeLists.next; list != &g_freeLists; list = list->next) {
        total += TvFreeListPurge(list);
    }
    return total;
}
