#include <gtest/gtest.h>

#include <string>

#include "engine/core/d3d/callbuffer.h"
#include "tests/support/null_device.h"

namespace {

std::string g_trace;

void Append(void* arguments) {
    g_trace += *static_cast<const char*>(arguments);
}

class D3DCallBufferTest : public ::testing::Test {
protected:
    NullEngine engine;
    TvD3DCallBuffer* buffer = nullptr;
    void SetUp() override {
        ASSERT_TRUE(engine.ok());
        buffer = TvD3DCallBufferCreate();
        ASSERT_NE(buffer, nullptr);
        g_trace.clear();
    }
    void TearDown() override { TvD3DCallBufferDestroy(buffer); }

    void Record(const char* letters) {
        for (const char* c = letters; *c; ++c) {
            auto* arguments = static_cast<char*>(TvD3DCallBufferAdd(buffer, 1, Append));
            ASSERT_NE(arguments, nullptr);
            *arguments = *c;
        }
    }
};

TEST_F(D3DCallBufferTest, EntriesTakeTheFunctionWordAndWholeWordsOfArguments) {
    constexpr size_t word = sizeof(void*);
    const struct {
        size_t arguments, bytes;
    } cases[] = {{0, word}, {1, 2 * word}, {word, 2 * word}, {word + 1, 3 * word}};
    size_t used = 0;
    for (const auto& c : cases) {
        EXPECT_EQ(TvD3DCallBufferEntrySize(c.arguments), c.bytes) << c.arguments;
        ASSERT_NE(TvD3DCallBufferAdd(buffer, c.arguments, Append), nullptr);
        used += c.bytes;
        EXPECT_EQ(buffer->used, used);
        EXPECT_EQ(buffer->capacity, used); // grown to exactly what is needed
    }
    EXPECT_EQ(buffer->count, 4);
}

TEST_F(D3DCallBufferTest, RunsInRecordingOrderOrInReverse) {
    Record("abcdefg"); // more entries than one growth step of the offsets
    TvD3DCallBufferRun(buffer, 1);
    EXPECT_EQ(g_trace, "abcdefg");
    g_trace.clear();
    TvD3DCallBufferRun(buffer, 2);
    EXPECT_EQ(g_trace, "gfedcba");
    TvD3DCallBufferEndFrame(buffer);
    EXPECT_EQ(buffer->count, 0);
    EXPECT_EQ(buffer->used, 0u);
    g_trace.clear();
    TvD3DCallBufferRun(buffer, 1);
    EXPECT_EQ(g_trace, "");
}

TEST_F(D3DCallBufferTest, TrimsToThePeakEverySixtyFourFramesAndFreesWhenUnused) {
    Record("abcdef");
    const size_t full = buffer->capacity;
    TvD3DCallBufferEndFrame(buffer);
    // The first period ends in frame 63 with a peak of the whole block: nothing to trim.
    for (int frame = 1; frame < 64; ++frame) {
        Record("ab");
        TvD3DCallBufferEndFrame(buffer);
    }
    EXPECT_EQ(buffer->capacity, full);
    for (int frame = 0; frame < 64; ++frame) {
        Record("ab");
        TvD3DCallBufferEndFrame(buffer);
    }
    EXPECT_EQ(buffer->capacity, full / 3);
    for (int frame = 0; frame < 64; ++frame)
        TvD3DCallBufferEndFrame(buffer);
    EXPECT_EQ(buffer->capacity, 0u);
    EXPECT_EQ(buffer->data, nullptr);
    Record("z");
    TvD3DCallBufferRun(buffer, 1);
    EXPECT_EQ(g_trace, "z");
}

} // namespace
