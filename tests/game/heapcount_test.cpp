#include "shell/heapcount.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>

TEST(HeapCount, LiveBytesFollowEveryBlockAndRefuseSizesThatWrap) {
    const TvMemoryFunctions* f = MV2CountingMemoryFunctions();
    const size_t base = MV2EngineLiveBytes();
    void* a = f->allocate(100);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(reinterpret_cast<uintptr_t>(a) % alignof(std::max_align_t), 0u);
    void* z = f->zeroAllocate(10, 30);
    ASSERT_NE(z, nullptr);
    EXPECT_EQ(static_cast<unsigned char*>(z)[299], 0);
    EXPECT_EQ(MV2EngineLiveBytes(), base + 400);
    std::memset(a, 7, 100);
    a = f->reallocate(a, 1000);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(static_cast<unsigned char*>(a)[99], 7); // the content moves with the block
    EXPECT_EQ(MV2EngineLiveBytes(), base + 1300);
    void* b = f->reallocate(nullptr, 8);
    EXPECT_EQ(MV2EngineLiveBytes(), base + 1308);
    f->free(a);
    f->free(b);
    f->free(z);
    f->free(nullptr);
    EXPECT_EQ(MV2EngineLiveBytes(), base);
    EXPECT_EQ(f->allocate(SIZE_MAX - 4), nullptr);
    EXPECT_EQ(f->zeroAllocate(SIZE_MAX / 2, 4), nullptr);
    EXPECT_EQ(MV2EngineLiveBytes(), base);
}
