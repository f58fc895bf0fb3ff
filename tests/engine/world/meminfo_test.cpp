// Memory-information plug-in: the wrappers pass every call through, and while tracking they
// keep live blocks, tags and the current and peak byte counts.
#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "engine/world/meminfo.h"
#include "tests/support/null_device.h"

namespace {

int g_calls;
void* CountingAllocate(size_t n) {
    return g_calls++, std::malloc(n);
}
void CountingFree(void* p) {
    g_calls++, std::free(p);
}
void* CountingReallocate(void* p, size_t n) {
    return g_calls++, std::realloc(p, n);
}
void* CountingZeroAllocate(size_t c, size_t s) {
    return g_calls++, std::calloc(c, s);
}
const TvMemoryFunctions kCounting = {CountingAllocate, CountingFree, CountingReallocate,
                                     CountingZeroAllocate};

class MemInfoTest : public ::testing::Test {
protected:
    void SetUp() override {
        NullDeviceInstall();
        ASSERT_TRUE(TvEngineInit(&kCounting));
        ASSERT_TRUE(TpMemInfoPluinAttach());
        ASSERT_TRUE(TvEngineOpen(nullptr));
        before = TvMalloc(8); // allocated before the wrappers exist
        ASSERT_TRUE(TvEngineStart());
    }
    void TearDown() override {
        TvEngineStop();
        EXPECT_EQ(TvEngineGetMemoryFunctions()->allocate, CountingAllocate); // hooks restored
        TvFree(before);
        TvEngineClose();
        TvEngineTerm();
        NullDeviceRemove();
    }
    void* before = nullptr;
};

TEST_F(MemInfoTest, WrappersPassThroughWithoutTracking) {
    EXPECT_NE(TvEngineGetMemoryFunctions()->allocate, CountingAllocate);
    g_calls = 0;
    void* p = TvMalloc(16);
    p = TvRealloc(p, 64);
    TvFree(p);
    TvFree(TvCalloc(2, 8));
    EXPECT_EQ(g_calls, 5);
    EXPECT_EQ(TpMemInfoTrackingGet(), nullptr);
}

TEST_F(MemInfoTest, TrackingCountsLiveBytesPeakAndTags) {
    ASSERT_TRUE(TpMemInfoTrackingStart());
    const TpMemInfoTracking* t = TpMemInfoTrackingGet();
    void* a = TvMalloc(100);
    ASSERT_TRUE(TpMemInfoPushTag(7));
    void* b = TvCalloc(10, 5);
    TpMemInfoPopTag();
    EXPECT_EQ(t->currentBytes, 150u);
    ASSERT_EQ(t->count, 2);
    EXPECT_EQ(t->entries[1].tag, 7u);
    EXPECT_EQ(t->entries[0].tag, 0u);

    a = TvRealloc(a, 300);
    EXPECT_EQ(t->currentBytes, 350u);
    TvFree(b);
    EXPECT_EQ(t->currentBytes, 300u);
    EXPECT_EQ(t->peakBytes, 350u);
    TvFree(before); // unknown to the table: counts stay
    before = nullptr;
    EXPECT_EQ(t->currentBytes, 300u);
    TvFree(a);
    EXPECT_EQ(t->currentBytes, 0u);
    EXPECT_EQ(t->count, 0);

    std::vector<void*> many; // the table grows past its first 16 entries
    for (int i = 0; i < 40; i++)
        many.push_back(TvMalloc(1));
    EXPECT_EQ(t->count, 40);
    EXPECT_EQ(t->currentBytes, 40u);
    for (void* p : many)
        TvFree(p);
    EXPECT_EQ(t->currentBytes, 0u);
    TpMemInfoTrackingStop(); // module close would free it too
}

} // namespace
