#include <gtest/gtest.h>

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

} // namespace
