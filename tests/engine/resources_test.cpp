#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <vector>

#include "engine/core/error.h"
#include "engine/core/resources.h"
#include "tests/support/engine_checks.h"
#include "tests/support/null_device.h"

namespace {

// Header and entry bytes that every entry needs beside its data.
constexpr size_t kEntrySize = 64;
constexpr size_t kOverhead = alignof(std::max_align_t) * 2 + sizeof(TvResEntry);

class ResourcesTest : public ::testing::Test {
protected:
    NullEngine engine;
    alignas(std::max_align_t) uint8_t arena[4096];
    // Owners' slots live as long as the fixture: TearDown empties the arena, which clears them.
    TvResEntry* slot[6] = {};
    TvResEntry* slots[16] = {};

    void SetUp() override { ASSERT_TRUE(engine.ok()); }
    void TearDown() override {
        TvResourcesEmptyArena();
        TvResourcesArenaMemory = nullptr;
    }
    void UseArena(size_t bytes) {
        TvResourcesArenaMemory = arena;
        TvResourcesSetArenaSize(bytes);
    }
};

TEST_F(ResourcesTest, TooLargeRequestEvictsEverythingAndFails) {
    UseArena(100);
    TvResEntry* small = nullptr;
    ASSERT_NE(TvResourcesAllocateResEntry(nullptr, &small, 8, nullptr), nullptr);
    EXPECT_NE(small, nullptr);
    TvResEntry* big = reinterpret_cast<TvResEntry*>(1);
    EXPECT_EQ(TvResourcesAllocateResEntry(nullptr, &big, 200, nullptr), nullptr);
    EXPECT_EQ(big, nullptr);
    EXPECT_EQ(small, nullptr) << "evicted on the way";
    EXPECT_EQ(LastErrorCode(), E_TV_ARENAEXHAUSTED);
}

TEST_F(ResourcesTest, WithoutArenaMemoryEveryAllocationFailsCleanly) {
    TvResourcesArenaMemory = nullptr;
    TvResourcesSetArenaSize(sizeof arena);
    TvResEntry* slot = reinterpret_cast<TvResEntry*>(1);
    EXPECT_EQ(TvResourcesAllocateResEntry(nullptr, &slot, 16, nullptr), nullptr);
    EXPECT_EQ(slot, nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_ARENAEXHAUSTED);
    // The size given at module open is no use without memory either.
    TvEngineStop();
    TvEngineStart();
    EXPECT_EQ(TvResourcesAllocateResEntry(nullptr, &slot, 0, nullptr), nullptr);
}

TEST_F(ResourcesTest, EvictsOlderFramesFirstLeastRecentlyUsedFirst) {
    UseArena(3 * (kEntrySize + kOverhead));
    for (int i = 0; i < 3; ++i) {
        ASSERT_NE(TvResourcesAllocateResEntry(nullptr, &slot[i], kEntrySize, nullptr), nullptr);
    }
    TvResourcesEndFrame();
    TvResourcesUseResEntry(slot[1]); // entry 1 is used in the new frame

    // Older entries go first, the least recently used (entry 0) before entry 2.
    ASSERT_NE(TvResourcesAllocateResEntry(nullptr, &slot[3], kEntrySize, nullptr), nullptr);
    EXPECT_EQ(slot[0], nullptr);
    EXPECT_NE(slot[2], nullptr);
    ASSERT_NE(TvResourcesAllocateResEntry(nullptr, &slot[4], kEntrySize, nullptr), nullptr);
    EXPECT_EQ(slot[2], nullptr);
    EXPECT_NE(slot[1], nullptr);
    // Then this frame's own entries, the least recently used (entry 1) first.
    ASSERT_NE(TvResourcesAllocateResEntry(nullptr, &slot[5], kEntrySize, nullptr), nullptr);
    EXPECT_EQ(slot[1], nullptr);
    EXPECT_NE(slot[3], nullptr);
    EXPECT_NE(slot[4], nullptr);
}

TEST_F(ResourcesTest, FreeingRunsCallbackClearsSlotAndReusesTheGap) {
    UseArena(sizeof arena);
    static int destroyed;
    destroyed = 0;
    int owner = 0;
    TvResEntry *a = nullptr, *b = nullptr, *c = nullptr;
    TvResourcesAllocateResEntry(&owner, &a, 100, nullptr);
    TvResourcesAllocateResEntry(&owner, &b, 100, [](TvResEntry* e) {
        ++destroyed;
        EXPECT_EQ(e->size, 100u);
    });
    TvResourcesAllocateResEntry(&owner, &c, 100, nullptr);
    ASSERT_TRUE(a && b && c);
    EXPECT_EQ(b->owner, &owner);
    EXPECT_LT(a, b);
    EXPECT_LT(b, c);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(TvResEntryData(a)) % alignof(std::max_align_t), 0u);
    TvResEntry* oldB = b;
    EXPECT_TRUE(TvResourcesFreeResEntry(b));
    EXPECT_EQ(destroyed, 1);
    EXPECT_EQ(b, nullptr);
    TvResEntry* d = nullptr;
    TvResourcesAllocateResEntry(&owner, &d, 90, nullptr);
    EXPECT_EQ(d, oldB) << "first fit: the gap left by b";
    TvResourcesAllocateResEntry(&owner, &b, 100, nullptr);
    EXPECT_GT(b, c) << "too big for what is left of the gap";
    TvResourcesFreeAllEntries();
    EXPECT_EQ(a, nullptr);
    EXPECT_EQ(d, nullptr);
}

// A seeded random run of allocations, uses, frees and frame ends against a model of the arena:
// first fit in address order, eviction of older entries least recently used first, then of this
// frame's. The header bytes before each entry are learnt from the first entry, which starts the
// arena.
TEST_F(ResourcesTest, SeededRunMatchesAModel) {
    struct Entry {
        int slot;
        uintptr_t start, end; // of its block
    };
    constexpr size_t kArena = 2048;
    UseArena(kArena);
    const uintptr_t base = reinterpret_cast<uintptr_t>(arena);
    std::vector<Entry> live;      // every live entry
    std::vector<int> used, older; // slots, most recently used first
    size_t inUse = 0;
    size_t header = 0;
    std::vector<size_t> sizes(16, 0);
    auto align = [](uintptr_t p) {
        return (p + alignof(std::max_align_t) - 1) & ~uintptr_t(alignof(std::max_align_t) - 1);
    };
    auto drop = [&](int s) {
        for (auto* list : {&used, &older})
            list->erase(std::remove(list->begin(), list->end(), s), list->end());
        for (size_t i = 0; i < live.size(); ++i)
            if (live[i].slot == s) live.erase(live.begin() + std::ptrdiff_t(i));
        inUse -= sizes[size_t(s)];
    };
    auto place = [&](size_t bytes, uintptr_t* at) {
        std::vector<Entry> order = live;
        std::sort(order.begin(), order.end(),
                  [](const Entry& a, const Entry& b) { return a.start < b.start; });
        uintptr_t free = base;
        for (const Entry& e : order) {
            if (align(free) + bytes <= e.start) break;
            free = e.end;
        }
        *at = align(free);
        for (const Entry& e : order)
            if (*at < e.end && e.start < *at + bytes) return false;
        return *at + bytes <= base + kArena;
    };

    std::mt19937 random(20261210);
    for (int step = 0; step < 3000; ++step) {
        SCOPED_TRACE(step);
        const int op = int(random() % 100);
        const int s = int(random() % 16);
        const bool isLive = slots[s] != nullptr;
        if (op < 45 && !isLive) {
            const size_t size = 1 + random() % 400;
            TvResEntry* e = TvResourcesAllocateResEntry(nullptr, &slots[s], size, nullptr);
            if (header == 0) {
                ASSERT_NE(e, nullptr);
                header = size_t(reinterpret_cast<uintptr_t>(TvResEntryData(e)) - base);
            }
            const size_t bytes = header + size;
            uintptr_t at = 0;
            bool fits = false;
            while (!(fits = inUse + size <= kArena && place(bytes, &at))) {
                std::vector<int>* from = !older.empty() ? &older : !used.empty() ? &used : nullptr;
                if (!from) break;
                drop(from->back());
            }
            if (!fits) {
                ASSERT_EQ(e, nullptr);
                continue;
            }
            ASSERT_NE(e, nullptr);
            ASSERT_EQ(reinterpret_cast<uintptr_t>(TvResEntryData(e)), at + header);
            live.push_back({s, at, at + bytes});
            used.insert(used.begin(), s);
            sizes[size_t(s)] = size;
            inUse += size;
        } else if (op < 70 && isLive) {
            TvResourcesUseResEntry(slots[s]);
            for (auto* list : {&used, &older})
                list->erase(std::remove(list->begin(), list->end(), s), list->end());
            used.insert(used.begin(), s);
        } else if (op < 85 && isLive) {
            TvResourcesFreeResEntry(slots[s]);
            drop(s);
        } else if (op < 97) {
            TvResourcesEndFrame();
            older.insert(older.begin(), used.begin(), used.end());
            used.clear();
        } else {
            TvResourcesFreeAllEntries();
            while (!live.empty())
                drop(live.front().slot);
        }
        for (int i = 0; i < 16; ++i) {
            auto it =
                std::find_if(live.begin(), live.end(), [i](const Entry& e) { return e.slot == i; });
            if (it == live.end())
                ASSERT_EQ(slots[i], nullptr) << i;
            else
                ASSERT_EQ(reinterpret_cast<uintptr_t>(TvResEntryData(slots[i])), it->start + header)
                    << i;
        }
    }
}

} // namespace
