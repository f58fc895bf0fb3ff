// Memory hooks and free lists: every engine allocation goes through the four hooks of the engine
// instance; free lists hand out fixed-size blocks carved from larger chunks.
#pragma once

#include <cstddef>
#include <cstdint>

struct TvMemoryFunctions {
    void* (*allocate)(size_t bytes);
    void (*free)(void* block);
    void* (*reallocate)(void* block, size_t bytes);
    void* (*zeroAllocate)(size_t count, size_t size);
};

// Blocks of a free list start at this alignment.
inline constexpr size_t kTvFreeListAlign = alignof(std::max_align_t);

struct TvFreeList {
    void** stack;       // free-block stack, stackCapacity entries
    int32_t stackCount; // entries on the stack; the top is stack[stackCount - 1]
    void* firstChunk;   // chunks are linked through their first word
    size_t chunkBytes;  // header + block stride x blocks per chunk
    size_t blockSize;   // as passed to create
    size_t blockStride; // block size rounded up to kTvFreeListAlign
    int32_t blocksPerChunk;
    int32_t stackCapacity; // blocks ever carved
    TvFreeList* next;      // engine's list of free lists
    TvFreeList* prev;
};

// Installs `table` (or the defaults when null) into the current instance; always true.
bool TvMemoryHooks(const TvMemoryFunctions* table);
TvMemoryFunctions* TvEngineGetMemoryFunctions();

// Default zero-allocate: count x size cleared bytes; null when the product overflows.
void* TvMemoryZeroAllocateDefault(size_t count, size_t size);

// Allocation through the hooks of the current instance.
void* TvMalloc(size_t bytes);
void TvFree(void* block);
void* TvRealloc(void* block, size_t bytes);
void* TvCalloc(size_t count, size_t size);

TvFreeList* TvFreeListCreate(size_t blockSize, int32_t blocksPerChunk);
void* TvFreeListAlloc(TvFreeList* list);
TvFreeList* TvFreeListFree(TvFreeList* list, void* block);
bool TvFreeListDestroy(TvFreeList* list);
using TvFreeListCallBack = void (*)(void* block, void* data);
TvFreeList* TvFreeListForAllUsed(TvFreeList* list, TvFreeListCallBack callback, void* data);
size_t TvFreeListPurge(TvFreeList* list);
size_t TvFreeListPurgeAll();
