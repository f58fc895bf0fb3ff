#include "framework/core/memory.h"
#include "framework/storage/syncstream.h"
#include "platform/winmm/winmm.h"
#include "tests/framework/framework_fixture.h"

#include <string>
#include <vector>

namespace {

// A stream that never waits: each Read hands out the next scripted chunk (nothing once the
// script ends, or the scripted failure) and moves the clock on by 10 ms.
class ScriptedStream final : public VkObject<IVkStream, IID_IVkStream> {
public:
    std::vector<std::string> chunks;
    VkResult endResult = VK_OK;
    size_t next = 0;
    uint32_t step = 10; // clock milliseconds per read
    uint32_t reads = 0;

    VkResult Read(void* buffer, uint32_t n, uint32_t* got) override {
        ++reads;
        PlatformAdvanceClock(step);
        if (next >= chunks.size()) {
            if (got) *got = 0;
            return endResult;
        }
        std::string& chunk = chunks[next];
        uint32_t count = std::min<uint32_t>(n, static_cast<uint32_t>(chunk.size()));
        std::copy(chunk.begin(), chunk.begin() + count, static_cast<char*>(buffer));
        chunk.erase(0, count);
        if (chunk.empty()) ++next;
        if (got) *got = count;
        return VK_OK;
    }
    VkResult Write(const void*, uint32_t n, uint32_t* written) override {
        if (written) *written = n;
        return VK_OK;
    }
    VkResult Seek(int32_t, uint32_t, uint32_t* position) override {
        if (position) *position = 7;
        return VK_OK;
    }

private:
    void Destroy() override {}
};

class SyncTest : public FrameworkTest {
protected:
    void SetUp() override {
        PlatformUseManualClock(true, 1000);
        FrameworkTest::SetUp();
        sync = Create<IVkSyncStream>(CLSID_VkSyncStream, IID_IVkSyncStream);
        ASSERT_NE(sync, nullptr);
        void* s = nullptr;
        ASSERT_EQ(sync->QueryInterface(IID_IVkStream, &s), VK_OK);
        stream = static_cast<IVkStream*>(s);
    }
    void TearDown() override {
        stream->Release();
        EXPECT_EQ(sync->Release(), 0u);
        EXPECT_EQ(wrapped.AddRef(), 2u); // the wrapper let its reference go
        FrameworkTest::TearDown();
        PlatformUseManualClock(false);
    }
    void Wrap() {
        ASSERT_EQ(sync->SetOption(VK_SYNC_STREAM, reinterpret_cast<uintptr_t>(&wrapped)), VK_OK);
    }
    uintptr_t Option(uint32_t option, VkResult expected = VK_OK) {
        uintptr_t value = 0xDEAD;
        EXPECT_EQ(sync->GetOption(option, &value), expected);
        return value;
    }
    std::string Take(uint32_t n, VkResult expected) { return ReadFromStream(stream, n, expected); }

    ScriptedStream wrapped;
    IVkSyncStream* sync = nullptr;
    IVkStream* stream = nullptr;
};

TEST_F(SyncTest, WaitingReadTimesOutFromTheLastByte) {
    Wrap();
    ASSERT_EQ(sync->SetOption(VK_SYNC_TIMEOUT, 100), VK_OK);
    wrapped.chunks = {"a", "", "", "bc"};
    EXPECT_EQ(Take(10, VK_E_TIMEOUT), "abc");
    // The last byte came at 1040; the wait ended at the first poll more than 100 ms later.
    EXPECT_EQ(timeGetTime(), 1150u);

    wrapped.chunks = {"de", "fgh"};
    wrapped.next = 0;
    EXPECT_EQ(Take(5, VK_OK), "defgh");
    EXPECT_EQ(Option(VK_SYNC_BYTES_READ), 8u);
    EXPECT_EQ(Take(0, VK_OK), "");
}

TEST_F(SyncTest, SingleReadAndFailuresPassThrough) {
    Wrap();
    wrapped.chunks = {"abc"};
    ASSERT_EQ(sync->SetOption(VK_SYNC_SINGLE_READ, 1), VK_OK);
    EXPECT_EQ(Take(10, VK_OK), "abc");
    EXPECT_EQ(timeGetTime(), 1010u);
    ASSERT_EQ(sync->SetOption(VK_SYNC_SINGLE_READ, 0), VK_OK);
    wrapped.chunks = {"de"};
    wrapped.next = 0;
    wrapped.endResult = VK_E_ENDOFSTREAM;
    EXPECT_EQ(Take(10, VK_E_ENDOFSTREAM), "de");
    EXPECT_EQ(Option(VK_SYNC_BYTES_READ), 5u);

    uint32_t n = 0, pos = 0;
    EXPECT_EQ(stream->Write("xyz", 3, &n), VK_OK);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(Option(VK_SYNC_BYTES_WRITTEN), 3u);
    EXPECT_EQ(stream->Seek(0, VK_SEEK_SET, &pos), VK_OK);
    EXPECT_EQ(pos, 7u);
}

TEST_F(SyncTest, OptionsAndTheWrappedStream) {
    char buf[4];
    EXPECT_EQ(stream->Read(buf, 4, nullptr), VK_E_FAIL);
    EXPECT_EQ(stream->Write(buf, 4, nullptr), VK_E_FAIL);
    EXPECT_EQ(stream->Seek(0, VK_SEEK_SET, nullptr), VK_E_FAIL);
    EXPECT_EQ(Option(VK_SYNC_TIMEOUT), 20000u);
    EXPECT_EQ(Option(VK_SYNC_SINGLE_READ), 0u);
    Option(VK_SYNC_EXPECTED_LENGTH, VK_E_FAIL);
    EXPECT_EQ(sync->SetOption(7, 1), VK_E_FAIL);
    Option(7, VK_E_FAIL);

    ASSERT_EQ(sync->SetOption(VK_SYNC_EXPECTED_LENGTH, 1234), VK_OK);
    ASSERT_EQ(sync->SetOption(VK_SYNC_BYTES_READ, 9), VK_OK);
    ASSERT_EQ(sync->SetOption(VK_SYNC_BYTES_WRITTEN, 8), VK_OK);
    EXPECT_EQ(Option(VK_SYNC_EXPECTED_LENGTH), 1234u);
    Wrap();
    EXPECT_EQ(Option(VK_SYNC_STREAM), reinterpret_cast<uintptr_t>(&wrapped));
    EXPECT_EQ(wrapped.AddRef(), 3u); // its own, the wrapper's and this one
    wrapped.Release();
    Option(VK_SYNC_EXPECTED_LENGTH, VK_E_FAIL);
    EXPECT_EQ(Option(VK_SYNC_BYTES_READ), 0u);
    EXPECT_EQ(Option(VK_SYNC_BYTES_WRITTEN), 0u);
    ASSERT_EQ(sync->SetOption(VK_SYNC_STREAM, 0), VK_OK);
    EXPECT_EQ(Option(VK_SYNC_STREAM), 0u);
}

// Time-outs of 2^31 ms and more are measured unsigned: 0xFFFFFFFF waits for ever, 2^31 waits
// exactly that long after the last byte.
TEST_F(SyncTest, LongTimeOutsLastAsLongAsTheySay) {
    struct Case {
        uint32_t timeout;
        int emptyReads; // of 2^30 ms each, between the two bytes
        VkResult result;
        const char* text;
    };
    const Case cases[] = {
        {0xFFFFFFFFu, 3, VK_OK, "ab"},
        {0x80000000u, 2, VK_OK, "ab"},
        {0x80000000u, 3, VK_E_TIMEOUT, "a"},
    };
    Wrap();
    wrapped.step = 1u << 30;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.timeout);
        ASSERT_EQ(sync->SetOption(VK_SYNC_TIMEOUT, c.timeout), VK_OK);
        wrapped.chunks = {"a"};
        wrapped.chunks.insert(wrapped.chunks.end(), size_t(c.emptyReads), "");
        wrapped.chunks.push_back("b");
        wrapped.next = 0;
        EXPECT_EQ(Take(2, c.result), c.text);
    }
}

// Between reads that found nothing the wrapper sleeps rather than spinning: a 300 ms wait on a
// stream that cannot wait reads it a few hundred times, not millions.
TEST_F(SyncTest, WaitingSleepsBetweenEmptyReads) {
    PlatformUseManualClock(false);
    Wrap();
    ASSERT_EQ(sync->SetOption(VK_SYNC_TIMEOUT, 300), VK_OK);
    EXPECT_EQ(Take(1, VK_E_TIMEOUT), "");
    EXPECT_GT(wrapped.reads, 1u);
    EXPECT_LT(wrapped.reads, 1000u);
}

} // namespace
