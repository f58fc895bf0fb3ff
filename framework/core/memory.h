// The shared allocator of the framework: variable-size blocks from the heap, pools of
// fixed-size blocks, and two small containers built on them.
#pragma once

#include "framework/core/com.h"

#include <cstddef>
#include <cstdint>
#include <new>
#include <utility>

extern const VkGuid CLSID_VkMemory;
extern const VkGuid IID_IVkAllocator;
extern const VkGuid IID_IVkMemPool;

class IVkMemPool : public IVkUnknown {
public:
    virtual void* Alloc() = 0;
    virtual void Free(void* block) = 0;

protected:
    ~IVkMemPool() = default;
};

class IVkAllocator : public IVkUnknown {
public:
    virtual void* Alloc(size_t size) = 0;
    virtual void Free(void* block) = 0;
    virtual void* Realloc(void* block, size_t size) = 0;
    virtual void* AllocZeroed(size_t count, size_t elementSize) = 0;
    virtual VkResult CreatePool(uint32_t blockSize, uint32_t blocksPerChunk, IVkMemPool** out) = 0;

protected:
    ~IVkAllocator() = default;
};

// Create function of the one process-wide allocator; it is never freed.
VkResult VkMemCreate(IVkUnknown* outer, IVkUnknown** out);

// The shared reference every component holds between its creation and its destruction.
VkResult VkMemAcquire();
void VkMemRelease();
void* VkMemAlloc(size_t size);
void VkMemFree(void* block);
VkResult VkMemAllocPool(uint32_t blockSize, uint32_t blocksPerChunk, IVkMemPool** out);

// An object constructed in a block of the shared allocator, and its destruction.
template <class T, class... Args> T* VkMemNew(Args&&... args) {
    void* place = VkMemAlloc(sizeof(T));
    return place ? new (place) T(std::forward<Args>(args)...) : nullptr;
}
template <class T> void VkMemDelete(T* object) {
    object->~T();
    VkMemFree(object);
}

// A component object in the shared allocator: the allocator is acquired for its life.
template <class T> VkResult VkMemCreateObject(T** out) {
    *out = nullptr;
    VkResult res = VkMemAcquire();
    if (res < 0) return res;
    *out = VkMemNew<T>();
    if (!*out) {
        VkMemRelease();
        return VK_E_OUTOFMEMORY;
    }
    return VK_OK;
}
template <class T> void VkMemDestroyObject(T* object) {
    VkMemDelete(object);
    VkMemRelease();
}

// Test seam: while set, every heap request of the allocator (blocks, pools, chunks) fails.
void VkMemSetFailAllocations(bool fail);
// Bytes of heap the allocator holds now (blocks, pools and their chunks, as the heap counts
// them), for leak checks over a long run.
size_t VkMemLiveBytes();

struct VkPtrArray {
    void** entries;
    uint32_t count;
    uint32_t capacity;
    uint32_t growStep;
};

// 1 on success; 0 with nothing changed when memory runs out. The new capacity must not be
// below the count.
int VkPtrArrayReserve(VkPtrArray* array, uint32_t capacity);
int VkPtrArrayGrow(VkPtrArray* array);
void VkPtrArrayFree(VkPtrArray* array);

struct VkByteBuffer {
    uint8_t* data;
    uint32_t size;
};

VkResult VkByteBufferInit(VkByteBuffer* buffer);
// A fresh block of the size; the old contents are not kept.
VkResult VkByteBufferSetSize(VkByteBuffer* buffer, uint32_t size);
// A new block of the size keeping the leading bytes that fit.
VkResult VkByteBufferResize(VkByteBuffer* buffer, uint32_t size);
VkResult VkByteBufferFree(VkByteBuffer* buffer);
