#include "framework/streams/stdinput.h"
#include "framework/core/memory.h"
#include "tests/framework/framework_fixture.h"

#include <string>

namespace {

class Streams : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        fifo = Create<IVkFifoStream>(CLSID_VkFifoStream, IID_IVkFifoStream);
        ASSERT_NE(fifo, nullptr);
        void* s = nullptr;
        ASSERT_EQ(fifo->QueryInterface(IID_IVkStream, &s), VK_OK);
        stream = static_cast<IVkStream*>(s);
        memory = Create<IVkStream>(CLSID_VkMemoryStream, IID_IVkStream);
        ASSERT_NE(memory, nullptr);
    }
    void TearDown() override {
        VkMemSetFailAllocations(false);
        stream->Release();
        EXPECT_EQ(fifo->Release(), 0u);
        EXPECT_EQ(memory->Release(), 0u);
        FrameworkTest::TearDown();
    }

    void Put(IVkStream* s, const std::string& text) {
        uint32_t n = 0;
        ASSERT_EQ(s->Write(text.data(), static_cast<uint32_t>(text.size()), &n), VK_OK);
        EXPECT_EQ(n, text.size());
    }
    std::string Take(IVkStream* s, uint32_t n, VkResult expected = VK_OK) {
        std::string out(n, '\0');
        uint32_t got = 0xFFFF;
        EXPECT_EQ(s->Read(out.data(), n, &got), expected);
        out.resize(got);
        return out;
    }
    uint32_t Position(IVkStream* s) {
        uint32_t pos = 0;
        EXPECT_EQ(s->Seek(0, VK_SEEK_CUR, &pos), VK_OK);
        return pos;
    }

    IVkFifoStream* fifo = nullptr;
    IVkStream* stream = nullptr;
    IVkStream* memory = nullptr;
};

TEST_F(Streams, FifoFacesShareOneCount) {
    void* unknown = nullptr;
    ASSERT_EQ(stream->QueryInterface(IID_IVkUnknown, &unknown), VK_OK);
    EXPECT_EQ(unknown, static_cast<void*>(fifo));
    EXPECT_EQ(fifo->AddRef(), 4u); // creation, stream face, IUnknown, this
    fifo->Release();
    fifo->Release();
    void* none = reinterpret_cast<void*>(1);
    EXPECT_EQ(fifo->QueryInterface(CLSID_VkFifoStream, &none), VK_E_NOINTERFACE);
    EXPECT_EQ(none, nullptr);
}

TEST_F(Streams, FifoGrowsOnDemandAndKeepsOrderAcrossTheWrap) {
    EXPECT_EQ(fifo->GetCount(), 0u);
    EXPECT_EQ(Take(stream, 10), "");
    Put(stream, "abcde"); // grows to 5 + 1 + 100 = 106 bytes
    EXPECT_EQ(Take(stream, 5), "abcde");
    std::string fill(103, 'x');
    for (size_t i = 0; i < fill.size(); ++i)
        fill[i] = static_cast<char>('A' + i % 26);
    Put(stream, fill); // fits without growing and runs past the end of the buffer
    EXPECT_EQ(fifo->GetCount(), 103u);
    EXPECT_EQ(Take(stream, 2), fill.substr(0, 2));
    Put(stream, "0123456789"); // grows while the data wraps
    EXPECT_EQ(fifo->GetCount(), 111u);
    EXPECT_EQ(Take(stream, 200), fill.substr(2) + "0123456789");

    Put(stream, "xyz");
    EXPECT_EQ(fifo->Clear(), VK_OK);
    EXPECT_EQ(fifo->GetCount(), 0u);
    EXPECT_EQ(Take(stream, 5), "");
}

TEST_F(Streams, FifoLimitAppliesOnlyWhenGrowing) {
    fifo->SetLimit(50);
    EXPECT_EQ(fifo->GetLimit(), 50u);
    std::string fifty(50, 'a'), fortyNine(49, 'b'), hundred(100, 'c');
    uint32_t n = 7;
    EXPECT_EQ(stream->Write(fifty.data(), 50, &n), VK_E_FAIL);
    EXPECT_EQ(n, 7u);
    Put(stream, fortyNine); // capacity 150
    Put(stream, hundred);   // fits without growing, though past the limit
    EXPECT_EQ(fifo->GetCount(), 149u);
    EXPECT_EQ(stream->Write("d", 1, nullptr), VK_E_FAIL);
    EXPECT_EQ(Take(stream, 149), fortyNine + hundred);
}

TEST_F(Streams, FifoSeekBlocksReadingUntilBackAtZero) {
    Put(stream, "hello");
    uint32_t pos = 0;
    EXPECT_EQ(stream->Seek(0, VK_SEEK_END, &pos), VK_OK);
    EXPECT_EQ(pos, 5u);
    char c;
    EXPECT_EQ(stream->Read(&c, 1, nullptr), VK_E_FAIL);
    EXPECT_EQ(stream->Write("x", 1, nullptr), VK_E_FAIL);
    EXPECT_EQ(stream->Seek(100, VK_SEEK_SET, &pos), VK_OK);
    EXPECT_EQ(pos, 5u);
    EXPECT_EQ(stream->Seek(0, 4, &pos), VK_E_FAIL);
    EXPECT_EQ(stream->Seek(0, VK_SEEK_SET, nullptr), VK_OK);
    EXPECT_EQ(Take(stream, 5), "hello");
}

TEST_F(Streams, FifoFailedGrowthChangesNothing) {
    Put(stream, "abc");
    VkMemSetFailAllocations(true);
    std::string big(200, 'z');
    EXPECT_EQ(stream->Write(big.data(), 200, nullptr), VK_E_OUTOFMEMORY);
    VkMemSetFailAllocations(false);
    EXPECT_EQ(Take(stream, 10), "abc");
}

TEST_F(Streams, MemoryStreamReadsSeeksAndGrows) {
    Put(memory, "0123456789");
    EXPECT_EQ(memory->Seek(4, VK_SEEK_SET, nullptr), VK_OK);
    EXPECT_EQ(Take(memory, 10, VK_E_ENDOFSTREAM), "456789");
    EXPECT_EQ(Position(memory), 10u);
    EXPECT_EQ(Take(memory, 1, VK_E_ENDOFSTREAM), "");

    uint32_t pos = 1;
    EXPECT_EQ(memory->Seek(-100, VK_SEEK_CUR, &pos), VK_OK);
    EXPECT_EQ(pos, 10u); // before the start wraps past the end and is held there
    EXPECT_EQ(memory->Seek(-3, VK_SEEK_END, &pos), VK_OK);
    EXPECT_EQ(pos, 7u);
    EXPECT_EQ(memory->Seek(0, 0, &pos), VK_E_FAIL);
    EXPECT_EQ(Position(memory), 7u);

    Put(memory, "AB"); // overwrites, does not insert
    memory->Seek(0, VK_SEEK_SET, nullptr);
    EXPECT_EQ(Take(memory, 10), "0123456AB9");
}

TEST_F(Streams, MemoryStreamGrowthSizes) {
    std::string hundred(100, 'h');
    Put(memory, hundred);
    // Full at 100 bytes: one more byte fails while allocation fails, then grows to 151.
    VkMemSetFailAllocations(true);
    uint32_t n = 9;
    EXPECT_EQ(memory->Write("x", 1, &n), VK_E_OUTOFMEMORY);
    EXPECT_EQ(n, 9u);
    VkMemSetFailAllocations(false);
    EXPECT_EQ(Position(memory), 100u);
    Put(memory, "x");
    // 151 bytes of room: 50 more fit without allocating.
    VkMemSetFailAllocations(true);
    Put(memory, std::string(50, 'y'));
    EXPECT_EQ(memory->Write("z", 1, nullptr), VK_E_OUTOFMEMORY);
}

TEST_F(Streams, StandardInputIsOneBoundedRing) {
    IVkStream* in = Create<IVkStream>(CLSID_VkStandardInput, IID_IVkStream);
    IVkStream* again = Create<IVkStream>(CLSID_VkStandardInput, IID_IVkStream);
    ASSERT_NE(in, nullptr);
    EXPECT_EQ(in, again);
    EXPECT_EQ(again->Release(), 1u);

    std::string many(300, '\0');
    for (size_t i = 0; i < many.size(); ++i)
        many[i] = static_cast<char>(i);
    uint32_t n = 0;
    EXPECT_EQ(in->Write(many.data(), 300, &n), VK_E_FAIL);
    EXPECT_EQ(n, 255u);
    EXPECT_EQ(Take(in, 251), many.substr(0, 251));
    EXPECT_EQ(Take(in, 10, VK_E_FAIL), many.substr(251, 4));
    Put(in, "wrap"); // the indices wrap at 256
    EXPECT_EQ(Take(in, 4), "wrap");
    EXPECT_EQ(in->Seek(0, VK_SEEK_SET, nullptr), VK_E_FAIL);
    EXPECT_EQ(in->Release(), 0u);

    // A later create makes a new, empty queue.
    in = Create<IVkStream>(CLSID_VkStandardInput, IID_IVkStream);
    EXPECT_EQ(Take(in, 1, VK_E_FAIL), "");
    in->Release();
}

} // namespace
