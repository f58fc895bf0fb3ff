#include "framework/core/memory.h"
#include "tests/framework/framework_fixture.h"

#include <cstring>

namespace {

class Memory : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        ASSERT_EQ(VkMemAcquire(), VK_OK);
    }
    void TearDown() override {
        VkMemSetFailAllocations(false);
        VkMemRelease();
        FrameworkTest::TearDown();
    }
};

TEST_F(Memory, PoolHandsOutChunksInAddressOrderAndReusesLastFreedFirst) {
    IVkMemPool* pool = nullptr;
    ASSERT_EQ(VkMemAllocPool(12, 4, &pool), VK_OK);
    uint8_t* first[4];
    for (int i = 0; i < 4; ++i)
        first[i] = static_cast<uint8_t*>(pool->Alloc());
    for (int i = 1; i < 4; ++i)
        EXPECT_EQ(first[i], first[0] + 12 * i);
    uint8_t* fifth = static_cast<uint8_t*>(pool->Alloc());
    EXPECT_TRUE(fifth < first[0] || fifth >= first[3] + 12) << "a second chunk";
    for (int i = 0; i < 4; ++i)
        std::memset(first[i], 0xA5, 12); // blocks are usable whole

    pool->Free(first[1]);
    pool->Free(first[3]);
    EXPECT_EQ(pool->Alloc(), first[3]);
    EXPECT_EQ(pool->Alloc(), first[1]);
    // The second chunk still has three blocks before a third chunk is needed.
    uint8_t* next = static_cast<uint8_t*>(pool->Alloc());
    EXPECT_EQ(next, fifth + 12);

    VkMemSetFailAllocations(true);
    pool->Alloc();
    pool->Alloc();
    EXPECT_EQ(pool->Alloc(), nullptr); // a new chunk cannot be had
    IVkMemPool* none = nullptr;
    EXPECT_EQ(VkMemAllocPool(8, 8, &none), VK_E_OUTOFMEMORY);
    VkMemSetFailAllocations(false);
    EXPECT_EQ(pool->Release(), 0u);
}

TEST_F(Memory, SharedReferenceFollowsAcquisitions) {
    // The fixture holds one acquisition; two more and three releases empty the reference.
    ASSERT_EQ(VkMemAcquire(), VK_OK);
    ASSERT_EQ(VkMemAcquire(), VK_OK);
    VkMemRelease();
    VkMemRelease();
    VkMemRelease();
    ASSERT_EQ(VkMemAcquire(), VK_OK); // works again with the same object
    void* block = VkMemAlloc(16);
    EXPECT_NE(block, nullptr);
    VkMemFree(block);
}

TEST_F(Memory, AcquireFailsWhenTheClassIsNotRegistered) {
    VkMemRelease();
    VkUninitialise();
    ASSERT_EQ(VkInitialise(nullptr), VK_OK);
    EXPECT_EQ(VkMemAcquire(), VK_E_FAIL);
    VkGetRegistries(nullptr, &registry);
    VkRegisterStandardComponents(registry);
    ASSERT_EQ(VkMemAcquire(), VK_OK);
}

TEST_F(Memory, PointerArrayAndByteBuffer) {
    VkPtrArray array = {nullptr, 0, 0, 8};
    ASSERT_EQ(VkPtrArrayGrow(&array), 1);
    EXPECT_EQ(array.capacity, 8u);
    EXPECT_EQ(array.count, 0u);
    int values[3];
    for (int& v : values)
        array.entries[array.count++] = &v;
    VkMemSetFailAllocations(true);
    EXPECT_EQ(VkPtrArrayGrow(&array), 0);
    VkMemSetFailAllocations(false);
    EXPECT_EQ(array.capacity, 8u);
    ASSERT_EQ(VkPtrArrayGrow(&array), 1);
    EXPECT_EQ(array.capacity, 16u);
    for (int i = 0; i < 3; ++i)
        EXPECT_EQ(array.entries[i], &values[i]);
    VkPtrArrayFree(&array);
    EXPECT_EQ(array.entries, nullptr);
    EXPECT_EQ(array.capacity, 0u);

    VkByteBuffer buffer;
    VkByteBufferInit(&buffer);
    ASSERT_EQ(VkByteBufferResize(&buffer, 10), VK_OK);
    std::memcpy(buffer.data, "0123456789", 10);
    ASSERT_EQ(VkByteBufferResize(&buffer, 4), VK_OK);
    EXPECT_EQ(std::memcmp(buffer.data, "0123", 4), 0);
    ASSERT_EQ(VkByteBufferResize(&buffer, 10), VK_OK);
    EXPECT_EQ(buffer.size, 10u);
    EXPECT_EQ(std::memcmp(buffer.data, "0123", 4), 0);
    VkMemSetFailAllocations(true);
    EXPECT_EQ(VkByteBufferSetSize(&buffer, 20), VK_E_OUTOFMEMORY);
    VkMemSetFailAllocations(false);
    EXPECT_EQ(buffer.size, 10u);
    EXPECT_EQ(std::memcmp(buffer.data, "0123", 4), 0);
    VkByteBufferFree(&buffer);
    EXPECT_EQ(buffer.data, nullptr);
}

} // namespace

namespace {

TEST_F(Memory, LiveBytesFollowBlocksPoolsAndReallocations) {
    const size_t base = VkMemLiveBytes();
    void* block = VkMemAlloc(100);
    ASSERT_NE(block, nullptr);
    EXPECT_GE(VkMemLiveBytes(), base + 100);
    IVkMemPool* pool = nullptr;
    ASSERT_EQ(VkMemAllocPool(32, 8, &pool), VK_OK);
    for (int i = 0; i < 20; ++i)
        ASSERT_NE(pool->Alloc(), nullptr); // three chunks
    EXPECT_GE(VkMemLiveBytes(), base + 100 + 3 * 8 * 32);
    EXPECT_EQ(pool->Release(), 0u);
    VkMemFree(block);
    EXPECT_EQ(VkMemLiveBytes(), base);
}

} // namespace
