#include "framework/core/memory.h"

#include "framework/core/framework.h"
#include "framework/core/modules.h"

#include <malloc.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <new>

const VkGuid CLSID_VkMemory = {
    0x37BB45B6, 0x7FA8, 0x11D1, {0x9B, 0x80, 0x00, 0xA0, 0xC9, 0x33, 0xBD, 0xC4}};
const VkGuid IID_IVkAllocator = {
    0x37BB45B8, 0x7FA8, 0x11D1, {0x9B, 0x80, 0x00, 0xA0, 0xC9, 0x33, 0xBD, 0xC4}};
const VkGuid IID_IVkMemPool = {
    0x37BB45B7, 0x7FA8, 0x11D1, {0x9B, 0x80, 0x00, 0xA0, 0xC9, 0x33, 0xBD, 0xC4}};

namespace {

bool g_failAllocations = false;
// Bytes of the heap blocks the allocator holds now (as the heap counts them).
std::atomic<size_t> g_liveBytes{0};

void* HeapAlloc(size_t size) {
    void* block = g_failAllocations ? nullptr : std::malloc(size);
    if (block) g_liveBytes.fetch_add(malloc_usable_size(block), std::memory_order_relaxed);
    return block;
}

void HeapFree(void* block) {
    if (block) g_liveBytes.fetch_sub(malloc_usable_size(block), std::memory_order_relaxed);
    std::free(block);
}

// A pool hands out blocks of one size from chunks: one heap block per chunk, a link to the
// previous chunk first and the blocks back to back after it. Free blocks sit on a stack
// whose capacity is the number of blocks in all chunks, so it never overflows.
class MemPool final : public VkObject<IVkMemPool, IID_IVkMemPool> {
public:
    MemPool(uint32_t blockSize, uint32_t blocksPerChunk)
        : blockSize_(blockSize), perChunk_(blocksPerChunk),
          chunkSize_(static_cast<size_t>(blockSize) * blocksPerChunk + sizeof(void*)) {}

    bool Init() {
        stack_ = static_cast<void**>(HeapAlloc(sizeof(void*)));
        return stack_ != nullptr;
    }

    void* Alloc() override {
        if (top_ == 0) {
            if (perChunk_ == 0) return nullptr;
            uint8_t* chunk = static_cast<uint8_t*>(HeapAlloc(chunkSize_));
            if (!chunk) return nullptr;
            void** stack = static_cast<void**>(
                HeapAlloc(sizeof(void*) * (static_cast<size_t>(perChunk_) + capacity_)));
            if (!stack) {
                HeapFree(chunk);
                return nullptr;
            }
            HeapFree(stack_);
            stack_ = stack;
            capacity_ += perChunk_;
            std::memcpy(chunk, &chunks_, sizeof chunks_);
            chunks_ = chunk;
            // The last block goes to the bottom, so the chunk is handed out in address order.
            for (uint32_t i = 0; i < perChunk_; ++i)
                stack_[i] =
                    chunk + sizeof(void*) + static_cast<size_t>(perChunk_ - 1 - i) * blockSize_;
            top_ = perChunk_;
        }
        return stack_[--top_];
    }

    void Free(void* block) override {
        if (block && top_ < capacity_) stack_[top_++] = block;
    }

private:
    void Destroy() override {
        HeapFree(stack_);
        while (chunks_) {
            void* previous;
            std::memcpy(&previous, chunks_, sizeof previous);
            HeapFree(chunks_);
            chunks_ = static_cast<uint8_t*>(previous);
        }
        this->~MemPool();
        HeapFree(this);
    }

    void** stack_ = nullptr;
    uint32_t top_ = 0; // entries on the stack
    uint8_t* chunks_ = nullptr;
    uint32_t blockSize_;
    uint32_t perChunk_;
    size_t chunkSize_;
    uint32_t capacity_ = 0;
};

class Allocator final : public VkObject<IVkAllocator, IID_IVkAllocator> {
public:
    Allocator() { count_ = 0; }
    void Reset() { count_ = 0; }
    uint32_t Count() const { return count_; }

    // The object lives in static storage: at 0 it stays for the next creation.
    uint32_t Release() override { return count_ > 0 ? --count_ : 0; }

    void* Alloc(size_t size) override { return HeapAlloc(size); }
    void Free(void* block) override { HeapFree(block); }
    void* Realloc(void* block, size_t size) override {
        if (g_failAllocations) return nullptr;
        const size_t before = block ? malloc_usable_size(block) : 0;
        void* moved = std::realloc(block, size);
        if (moved || size == 0) g_liveBytes.fetch_sub(before, std::memory_order_relaxed);
        if (moved) g_liveBytes.fetch_add(malloc_usable_size(moved), std::memory_order_relaxed);
        return moved;
    }
    void* AllocZeroed(size_t count, size_t elementSize) override {
        void* block = g_failAllocations ? nullptr : std::calloc(count, elementSize);
        if (block) g_liveBytes.fetch_add(malloc_usable_size(block), std::memory_order_relaxed);
        return block;
    }
    VkResult CreatePool(uint32_t blockSize, uint32_t blocksPerChunk, IVkMemPool** out) override {
        *out = nullptr;
        void* place = HeapAlloc(sizeof(MemPool));
        if (!place) return VK_E_OUTOFMEMORY;
        MemPool* pool = new (place) MemPool(blockSize, blocksPerChunk);
        if (!pool->Init()) {
            pool->Release();
            return VK_E_OUTOFMEMORY;
        }
        *out = pool;
        return VK_OK;
    }

private:
    void Destroy() override {}
};

Allocator g_allocator;
IVkAllocator* g_shared = nullptr;

} // namespace

void VkMemSetFailAllocations(bool fail) {
    g_failAllocations = fail;
}

size_t VkMemLiveBytes() {
    return g_liveBytes.load(std::memory_order_relaxed);
}

VkResult VkMemCreate(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    if (g_allocator.Count() == 0) g_allocator.Reset();
    g_allocator.AddRef();
    *out = &g_allocator;
    return VK_OK;
}

VkResult VkMemAcquire() {
    if (g_shared) {
        g_shared->AddRef();
        return VK_OK;
    }
    void* object = nullptr;
    VkResult res = VkCreateInstance(CLSID_VkMemory, nullptr, 0, IID_IVkAllocator, &object);
    if (res >= 0) g_shared = static_cast<IVkAllocator*>(object);
    return res;
}

void VkMemRelease() {
    if (g_shared && g_shared->Release() == 0) g_shared = nullptr;
}

void* VkMemAlloc(size_t size) {
    return g_shared->Alloc(size);
}
void VkMemFree(void* block) {
    g_shared->Free(block);
}

VkResult VkMemAllocPool(uint32_t blockSize, uint32_t blocksPerChunk, IVkMemPool** out) {
    return g_shared->CreatePool(blockSize, blocksPerChunk, out);
}

int VkPtrArrayReserve(VkPtrArray* array, uint32_t capacity) {
    if (capacity < array->count) return 0;
    void** entries = static_cast<void**>(VkMemAlloc(sizeof(void*) * static_cast<size_t>(capacity)));
    if (!entries) return 0;
    if (array->count) std::memcpy(entries, array->entries, sizeof(void*) * array->count);
    if (array->entries) VkMemFree(array->entries);
    array->entries = entries;
    array->capacity = capacity;
    return 1;
}

int VkPtrArrayGrow(VkPtrArray* array) {
    if (array->capacity > UINT32_MAX - array->growStep) return 0;
    return VkPtrArrayReserve(array, array->capacity + array->growStep);
}

void VkPtrArrayFree(VkPtrArray* array) {
    if (array->entries) VkMemFree(array->entries);
    array->entries = nullptr;
    array->count = 0;
    array->capacity = 0;
}

VkResult VkByteBufferInit(VkByteBuffer* buffer) {
    buffer->data = nullptr;
    buffer->size = 0;
    return VK_OK;
}

VkResult VkByteBufferSetSize(VkByteBuffer* buffer, uint32_t size) {
    uint8_t* data = static_cast<uint8_t*>(VkMemAlloc(size));
    if (!data) return VK_E_OUTOFMEMORY;
    if (buffer->data) VkMemFree(buffer->data);
    buffer->data = data;
    buffer->size = size;
    return VK_OK;
}

VkResult VkByteBufferResize(VkByteBuffer* buffer, uint32_t size) {
    if (!buffer->data) return VkByteBufferSetSize(buffer, size);
    uint8_t* data = static_cast<uint8_t*>(VkMemAlloc(size));
    if (!data) return VK_E_OUTOFMEMORY;
    std::memcpy(data, buffer->data, size < buffer->size ? size : buffer->size);
    VkMemFree(buffer->data);
    buffer->data = data;
    buffer->size = size;
    return VK_OK;
}

VkResult VkByteBufferFree(VkByteBuffer* buffer) {
    if (buffer->data) VkMemFree(buffer->data);
    buffer->data = nullptr;
    buffer->size = 0;
    return VK_OK;
}

namespace {
const VkComponentRecord kMemoryRecords[] = {
    {&CLSID_VkMemory, 0, nullptr, 0, nullptr, VkMemCreate, "Vesk - Standard Memory",
     "Vesk.Memory.1", "Vesk.Memory", nullptr},
};
} // namespace

VkResult VkMemoryModuleRegister(IVkRegistry* registry) {
    return VkModule<kMemoryRecords>::Register(registry);
}
