// Memory hooks and free lists: block order, alignment, purge, for-all-used and failure paths.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <set>
#include <vector>

#include "engine/core/error.h"
#include "engine/core/memory.h"
#include "tests/support/null_device.h"

namespace {

// Allocation hooks that count live blocks and can be told to fail.
struct Tracker {
    static inline std::set<void*> live;
    static inline int failAfter = -1; // allocations left before failing; -1 never
    static bool Fail() {
        if (failAfter == 0) return true;
        if (failAfter > 0) failAfter--;
        return false;
    }
    static void* Allocate(size_t n) {
        if (Fail()) return nullptr;
        void* p = std::malloc(n);
        live.insert(p);
        return p;
    }
    static void Free(void* p) {
        if (p) {
            EXPECT_EQ(live.erase(p), 1u) << "freed a block it did not allocate";
        }
        std::free(p);
    }
    static void* Reallocate(void* p, size_t n) {
        if (Fail()) return nullptr;
        void* q = std::realloc(p, n);
        live.erase(p);
        live.insert(q);
        return q;
    }
    static void* ZeroAllocate(size_t c, size_t s) {
        void* p = Allocate(c * s);
        if (p) std::memset(p, 0, c * s);
        return p;
    }
};
const TvMemoryFunctions kTracker = {Tracker::Allocate, Tracker::Free, Tracker::Reallocate,
                                    Tracker::ZeroAllocate};

class FreeListTest : public ::testing::Test {
protected:
    void SetUp() override {
        Tracker::live.clear();
        Tracker::failAfter = -1;
        engine_ = std::make_unique<NullEngine>(&kTracker);
        ASSERT_TRUE(engine_->ok());
    }
    void TearDown() override {
        engine_.reset();
        EXPECT_TRUE(Tracker::live.empty()) << Tracker::live.size() << " blocks left";
    }
    TvErrorRecord LastError() {
        TvErrorRecord r;
        return *TvErrorGet(&r);
    }
    std::unique_ptr<NullEngine> engine_;
};

TEST_F(FreeListTest, BlocksComeInAddressOrderAndAligned) {
    for (size_t size : {size_t(1), size_t(7), size_t(24), size_t(33)}) {
        TvFreeList* list = TvFreeListCreate(size, 4);
        ASSERT_NE(list, nullptr);
        auto* a = static_cast<uint8_t*>(TvFreeListAlloc(list));
        auto* b = static_cast<uint8_t*>(TvFreeListAlloc(list));
        EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % alignof(std::max_align_t), 0u) << size;
        EXPECT_EQ(reinterpret_cast<uintptr_t>(b) % alignof(std::max_align_t), 0u) << size;
        EXPECT_GE(size_t(b - a), size) << size;
        EXPECT_EQ(b - a, ptrdiff_t(list->blockStride));
        EXPECT_EQ(list->blockSize, size);
        std::memset(a, 0xAB, size); // whole blocks are writable
        std::memset(b, 0xCD, size);
        // A freed block is handed out again first.
        TvFreeListFree(list, a);
        EXPECT_EQ(TvFreeListAlloc(list), a);
        EXPECT_TRUE(TvFreeListDestroy(list)); // blocks in use go with their chunks
    }
}

TEST_F(FreeListTest, PurgeReleasesOnlyWhollyFreeChunks) {
    TvFreeList* list = TvFreeListCreate(16, 3);
    std::vector<void*> blocks;
    for (int i = 0; i < 9; i++)
        blocks.push_back(TvFreeListAlloc(list)); // three chunks
    EXPECT_EQ(TvFreeListPurge(list), 0u);
    // Free the whole of the chunks of blocks 0-2 and 6-8 but one block of 3-5.
    for (int i : {8, 0, 4, 2, 6, 1, 7})
        TvFreeListFree(list, blocks[size_t(i)]);
    EXPECT_EQ(TvFreeListPurge(list), 2 * list->chunkBytes);
    EXPECT_EQ(list->stackCapacity, 3);
    EXPECT_EQ(list->stackCount, 1);

    // The survivors keep working; a second list is purged by purge-all.
    TvFreeList* other = TvFreeListCreate(8, 2);
    TvFreeListFree(other, TvFreeListAlloc(other));
    TvFreeListFree(list, blocks[3]);
    TvFreeListFree(list, blocks[5]);
    EXPECT_EQ(TvFreeListPurgeAll(), list->chunkBytes + other->chunkBytes);
    EXPECT_EQ(list->firstChunk, nullptr);
    EXPECT_NE(TvFreeListAlloc(list), nullptr);
    TvFreeListDestroy(other);
    TvFreeListDestroy(list);
}

TEST_F(FreeListTest, ForAllUsedVisitsBlocksInUseInChunkAndAddressOrder) {
    TvFreeList* list = TvFreeListCreate(8, 2);
    std::vector<void*> seen;
    auto collect = [](void* block, void* data) {
        static_cast<std::vector<void*>*>(data)->push_back(block);
    };
    TvFreeListForAllUsed(list, collect, &seen);
    EXPECT_TRUE(seen.empty());

    void* a = TvFreeListAlloc(list);
    void* b = TvFreeListAlloc(list);
    void* c = TvFreeListAlloc(list); // second chunk, pushed at the front of the chunk list
    TvFreeListFree(list, b);
    TvFreeListForAllUsed(list, collect, &seen);
    EXPECT_EQ(seen, (std::vector<void*>{c, a}));
    TvFreeListDestroy(list);
}

TEST_F(FreeListTest, FreesBeyondWhatWasCarvedAreDropped) {
    TvFreeList* list = TvFreeListCreate(8, 2);
    void* a = TvFreeListAlloc(list);
    auto* b = static_cast<uint64_t*>(TvFreeListAlloc(list));
    for (int i = 0; i < 5; i++)
        TvFreeListFree(list, a);
    EXPECT_EQ(list->stackCount, list->stackCapacity);
    EXPECT_EQ(TvFreeListPurge(list), 0u); // {a, a} does not pass for a whole free chunk
    *b = 42;                              // still ours
    TvFreeListDestroy(list);
}

TEST_F(FreeListTest, OutOfMemoryLeavesTheListAsItWas) {
    Tracker::failAfter = 0;
    EXPECT_EQ(TvFreeListCreate(8, 2), nullptr);
    EXPECT_EQ(LastError().errorCode, E_TV_NOMEM);

    Tracker::failAfter = -1;
    TvFreeList* list = TvFreeListCreate(8, 2);
    ASSERT_NE(list, nullptr);
    for (int failAt : {0, 1}) { // the chunk, then the new stack
        Tracker::failAfter = failAt;
        EXPECT_EQ(TvFreeListAlloc(list), nullptr);
        EXPECT_EQ(list->stackCapacity, 0);
        EXPECT_EQ(list->firstChunk, nullptr);
    }
    Tracker::failAfter = -1;
    EXPECT_NE(TvFreeListAlloc(list), nullptr);
    TvFreeListDestroy(list);
}

TEST_F(FreeListTest, BadSizesAreRefused) {
    EXPECT_EQ(TvFreeListCreate(0, 4), nullptr);
    EXPECT_EQ(TvFreeListCreate(8, 0), nullptr);
    EXPECT_EQ(TvFreeListCreate(SIZE_MAX / 2, 4), nullptr);
    EXPECT_EQ(LastError().errorCode, E_TV_INVALIDPARAM);
}

TEST_F(FreeListTest, HooksInstalledAtInitServeTheEngine) {
    TvMemoryFunctions* funcs = TvEngineGetMemoryFunctions();
    EXPECT_EQ(funcs->allocate, Tracker::Allocate);
    EXPECT_EQ(funcs->zeroAllocate, Tracker::ZeroAllocate);
    // The instance itself came from the hooks.
    EXPECT_EQ(Tracker::live.count(TvEngineInstancePtr), 1u);
}

// A seeded random run of allocations, frees, purges and walks against a model of the list:
// the free stack (top last), the chunks in chunk-list order and the blocks in use.
TEST_F(FreeListTest, SeededRunMatchesAModel) {
    constexpr int32_t kPerChunk = 4;
    TvFreeList* list = TvFreeListCreate(24, kPerChunk);
    ASSERT_NE(list, nullptr);
    const uintptr_t stride =
        (24 + alignof(std::max_align_t) - 1) & ~(alignof(std::max_align_t) - 1);
    std::vector<void*> freeStack;
    std::vector<uintptr_t> chunks; // first block of each chunk, in chunk-list order
    std::vector<void*> used;
    auto block = [&](uintptr_t first, int32_t i) {
        return reinterpret_cast<void*>(first + stride * uintptr_t(i));
    };
    auto collect = [](void* b, void* data) {
        static_cast<std::vector<void*>*>(data)->push_back(b);
    };

    std::mt19937 random(20261210);
    for (int step = 0; step < 4000; ++step) {
        SCOPED_TRACE(step);
        const int op = int(random() % 100);
        if (op < 50) {
            void* got = TvFreeListAlloc(list);
            ASSERT_NE(got, nullptr);
            if (freeStack.empty()) { // a new chunk at the front; its first block is handed out
                const uintptr_t first = reinterpret_cast<uintptr_t>(got);
                for (uintptr_t c : chunks)
                    ASSERT_TRUE(first + stride * kPerChunk <= c || c + stride * kPerChunk <= first);
                chunks.insert(chunks.begin(), first);
                for (int32_t i = kPerChunk - 1; i >= 1; --i)
                    freeStack.push_back(block(first, i));
            } else {
                ASSERT_EQ(got, freeStack.back());
                freeStack.pop_back();
            }
            used.push_back(got);
        } else if (op < 85) {
            if (used.empty()) continue;
            const size_t at = random() % used.size();
            TvFreeListFree(list, used[at]);
            freeStack.push_back(used[at]);
            used.erase(used.begin() + std::ptrdiff_t(at));
        } else if (op < 90) {
            // Nothing when the stack is empty; else the stack and chunks are sorted and wholly
            // free chunks go with their entries.
            if (freeStack.empty()) {
                ASSERT_EQ(TvFreeListPurge(list), 0u);
                continue;
            }
            std::sort(freeStack.begin(), freeStack.end(), std::less<void*>());
            std::sort(chunks.begin(), chunks.end());
            size_t released = 0;
            for (size_t c = 0; c < chunks.size();) {
                bool whole = true;
                for (int32_t i = 0; i < kPerChunk && whole; ++i)
                    whole = std::find(freeStack.begin(), freeStack.end(), block(chunks[c], i)) !=
                            freeStack.end();
                if (!whole) {
                    ++c;
                    continue;
                }
                for (int32_t i = 0; i < kPerChunk; ++i)
                    freeStack.erase(
                        std::find(freeStack.begin(), freeStack.end(), block(chunks[c], i)));
                chunks.erase(chunks.begin() + std::ptrdiff_t(c));
                released += list->chunkBytes;
            }
            ASSERT_EQ(TvFreeListPurge(list), released);
        } else {
            std::vector<void*> expected, seen;
            for (uintptr_t c : chunks)
                for (int32_t i = 0; i < kPerChunk; ++i)
                    if (std::find(used.begin(), used.end(), block(c, i)) != used.end())
                        expected.push_back(block(c, i));
            TvFreeListForAllUsed(list, collect, &seen);
            ASSERT_EQ(seen, expected);
        }
        ASSERT_EQ(std::vector<void*>(list->stack, list->stack + list->stackCount), freeStack);
        ASSERT_EQ(list->stackCapacity, int32_t(chunks.size()) * kPerChunk);
    }
    TvFreeListDestroy(list);
}

TEST(MemoryHooks, BlocksAllocatedBeforeOpenAreFreedAfterIt) {
    Tracker::live.clear();
    NullDeviceInstall();
    ASSERT_TRUE(TvEngineInit(&kTracker));
    void* early = TvMalloc(32);
    TvFreeList* list = TvFreeListCreate(8, 2);
    ASSERT_TRUE(TvEngineOpen(nullptr));
    TvFree(early);
    TvFreeListDestroy(list);
    ASSERT_TRUE(TvEngineClose());
    ASSERT_TRUE(TvEngineTerm());
    NullDeviceRemove();
    EXPECT_TRUE(Tracker::live.empty());
}

TEST(MemoryHooks, DefaultsIncludeAnOverflowCheckedZeroAllocate) {
    ASSERT_TRUE(TvMemoryHooks(nullptr));
    auto* p = static_cast<uint8_t*>(TvCalloc(4, 8));
    ASSERT_NE(p, nullptr);
    EXPECT_TRUE(std::all_of(p, p + 32, [](uint8_t b) { return b == 0; }));
    TvFree(p);
    EXPECT_EQ(TvCalloc(SIZE_MAX / 2, 4), nullptr);
}

} // namespace
