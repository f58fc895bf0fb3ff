// Chunk streams over memory and files: short reads, growth of write buffers, chunk search,
// bounds of chunk headers, real and integer round trips, and the error each misuse records.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <unistd.h>
#include <vector>

#include "engine/core/error.h"
#include "engine/core/stream.h"
#include "tests/support/chunk_writer.h"
#include "tests/support/null_device.h"

namespace {

class StreamTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine_.ok()); }
    TvErrorRecord LastError() {
        TvErrorRecord r;
        return *TvErrorGet(&r);
    }
    void ExpectError(uint32_t pluginId, uint32_t code) {
        TvErrorRecord e = LastError();
        EXPECT_EQ(e.pluginID, pluginId);
        EXPECT_EQ(e.errorCode, code);
    }
    // A file name in a fresh folder, removed with the test.
    std::string TempFile(const char* name) {
        if (dir_.empty()) {
            char pattern[] = "/tmp/marovant_stream_XXXXXX";
            dir_ = mkdtemp(pattern);
        }
        files_.push_back(dir_ + "/" + name);
        return files_.back();
    }
    void TearDown() override {
        for (const std::string& f : files_)
            std::remove(f.c_str());
        if (!dir_.empty()) rmdir(dir_.c_str());
    }
    NullEngine engine_;
    std::string dir_;
    std::vector<std::string> files_;
};

TEST_F(StreamTest, ShortMemoryReadReturnsWhatIsThereAndStaysUsable) {
    std::vector<uint8_t> bytes = {1, 2, 3, 4, 5, 6, 7, 8};
    TvStream* s = OpenReadStream(bytes);
    ASSERT_NE(s, nullptr);
    uint8_t out[12] = {};
    EXPECT_EQ(TvStreamRead(s, out, 12), 8u);
    ExpectError(kTvPluginIdCore, E_TV_ENDOFSTREAM);
    EXPECT_EQ(out[7], 8);
    EXPECT_EQ(TvStreamRead(s, out, 1), 0u);
    EXPECT_TRUE(TvStreamClose(s, nullptr));
}

TEST_F(StreamTest, MemoryWritesGrowIn512ByteSteps) {
    TvStream* s = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_WRITE, nullptr);
    ASSERT_NE(s, nullptr);
    for (int i = 0; i < 700; i++) {
        uint8_t b = uint8_t(i);
        ASSERT_EQ(TvStreamWrite(s, &b, 1), s);
    }
    EXPECT_EQ(s->size, 1024u);
    std::vector<uint8_t> big(600, 0xEE); // 600 >= 512: grows by the length itself
    ASSERT_EQ(TvStreamWrite(s, big.data(), uint32_t(big.size())), s);
    EXPECT_EQ(s->size, 1624u);
    TvMemory memory{};
    EXPECT_TRUE(TvStreamClose(s, &memory));
    ASSERT_EQ(memory.length, 1300u);
    EXPECT_EQ(memory.start[699], uint8_t(699));
    EXPECT_EQ(memory.start[1299], 0xEE);

    // Appending continues behind the data handed in.
    s = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_APPEND, &memory);
    uint8_t tail = 0x77;
    ASSERT_EQ(TvStreamWrite(s, &tail, 1), s);
    EXPECT_TRUE(TvStreamClose(s, &memory));
    EXPECT_EQ(memory.length, 1301u);
    EXPECT_EQ(memory.start[1300], 0x77);
    TvFree(memory.start);
}

TEST_F(StreamTest, ClosingAWriteStreamWithoutADescriptorFreesItsBuffer) {
    TvStream* s = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_WRITE, nullptr);
    uint32_t word = 5;
    ASSERT_EQ(TvStreamWrite(s, &word, 4), s);
    EXPECT_FALSE(TvStreamClose(s, nullptr)); // the leak checker sees the buffer freed
    ExpectError(0, E_TV_NULLP);
}

// An append stream closed without a descriptor leaves the caller's buffer to the caller (the
// sanitizer reports a double free otherwise); one that had to grow frees its moved buffer.
TEST_F(StreamTest, ClosingAnAppendStreamWithoutADescriptorKeepsTheCallersBuffer) {
    TvMemory memory{static_cast<uint8_t*>(TvMalloc(16)), 16};
    ASSERT_NE(memory.start, nullptr);
    TvStream* s = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_APPEND, &memory);
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(TvStreamClose(s, nullptr));
    ExpectError(0, E_TV_NULLP);
    TvFree(memory.start);

    // A write moves the buffer (a new block of 16 + 512 bytes): the stream's own to free.
    memory = TvMemory{static_cast<uint8_t*>(TvMalloc(16)), 16};
    s = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_APPEND, &memory);
    std::vector<uint8_t> big(4096, 1);
    ASSERT_EQ(TvStreamWrite(s, big.data(), uint32_t(big.size())), s);
    if (s->buffer != memory.start) {
        EXPECT_FALSE(TvStreamClose(s, nullptr)); // freed by the close, not by the caller
    } else {
        EXPECT_FALSE(TvStreamClose(s, nullptr)); // grown in place: still the caller's
        TvFree(memory.start);
    }
}

TEST_F(StreamTest, ChunkSearchSkipsOtherChunksAndFailsAtTheEnd) {
    ChunkWriter w;
    w.Chunk(TV_ID_STRING, std::vector<uint8_t>(8, 'x'));
    w.Begin(TV_ID_CLUMP, 0x300).Chunk(TV_ID_STRUCT, {1, 0, 0, 0}).End();
    TvStream* s = OpenReadStream(w.data());
    uint32_t length = 0, version = 0;
    ASSERT_TRUE(TvStreamFindChunk(s, TV_ID_CLUMP, &length, &version));
    EXPECT_EQ(length, 16u);
    EXPECT_EQ(version, 0x300u);
    EXPECT_TRUE(TvStreamFindChunk(s, TV_ID_STRUCT, nullptr, nullptr));
    TvStreamClose(s, nullptr);

    s = OpenReadStream(w.data());
    EXPECT_FALSE(TvStreamFindChunk(s, TV_ID_WORLD, &length, nullptr));
    EXPECT_EQ(s->position, s->size);
    ExpectError(kTvPluginIdCore, E_TV_ENDOFSTREAM);
    TvStreamClose(s, nullptr);
}

TEST_F(StreamTest, HeadersRunningPastTheStreamAreRefused) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
    };
    std::vector<Case> cases;
    cases.push_back({"length past the end", ChunkWriter().Header(TV_ID_STRUCT, 5).U32(0).data()});
    cases.push_back({"huge length", ChunkWriter().Header(TV_ID_STRUCT, 0xFFFFFFF0u).data()});
    cases.push_back({"truncated header", {1, 0, 0, 0, 4, 0}});
    for (const Case& c : cases) {
        TvStream* s = OpenReadStream(c.bytes);
        uint32_t type = 0;
        EXPECT_FALSE(TvStreamReadChunkHeader(s, &type, nullptr, nullptr)) << c.name;
        EXPECT_FALSE(TvStreamFindChunk(s, TV_ID_CLUMP, nullptr, nullptr)) << c.name;
        ExpectError(kTvPluginIdCore, E_TV_ENDOFSTREAM);
        TvStreamClose(s, nullptr);
    }
    // Exactly filling the stream is fine.
    std::vector<uint8_t> exact = ChunkWriter().Header(TV_ID_STRUCT, 4).U32(7).data();
    TvStream* s = OpenReadStream(exact);
    uint32_t length = 0;
    EXPECT_TRUE(TvStreamReadChunkHeader(s, nullptr, &length, nullptr));
    EXPECT_EQ(length, 4u);
    TvStreamClose(s, nullptr);
}

TEST_F(StreamTest, MisuseRecordsTheMatchingError) {
    std::vector<uint8_t> bytes(16, 0);
    uint8_t buffer[4];
    struct Case {
        const char* name;
        std::function<bool()> call; // true when the call reported failure
        uint32_t pluginId, code;
    };
    std::vector<Case> cases = {
        {"read of length 0",
         [&] {
             TvStream* s = OpenReadStream(bytes);
             bool failed = TvStreamRead(s, buffer, 0) == 0;
             TvStreamClose(s, nullptr);
             return failed;
         },
         0, E_TV_INVALIDPARAM},
        {"write to a read stream",
         [&] {
             TvStream* s = OpenReadStream(bytes);
             bool failed = TvStreamWrite(s, buffer, 4) == nullptr;
             TvStreamClose(s, nullptr);
             return failed;
         },
         kTvPluginIdCore, E_TV_ACCESSTYPE},
        {"read from a write stream",
         [&] {
             TvStream* s = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_WRITE, nullptr);
             bool failed = TvStreamRead(s, buffer, 4) == 0 && TvStreamSkip(s, 4) == nullptr;
             TvMemory m{};
             TvStreamClose(s, &m);
             return failed;
         },
         kTvPluginIdCore, E_TV_ACCESSTYPE},
        {"skip past the end",
         [&] {
             TvStream* s = OpenReadStream(bytes);
             bool failed = TvStreamSkip(s, 17) == nullptr && s->position == 16;
             TvStreamClose(s, nullptr);
             return failed;
         },
         kTvPluginIdCore, E_TV_ENDOFSTREAM},
        {"named file with access 4",
         [&] { return TvStreamOpen(TV_STREAM_FILENAME, 4, "x.dff") == nullptr; }, kTvPluginIdCore,
         E_TV_ACCESSTYPE},
        {"memory with access 4",
         [&] { return TvStreamOpen(TV_STREAM_MEMORY, 4, nullptr) == nullptr; }, kTvPluginIdCore,
         E_TV_ACCESSTYPE},
        {"unknown stream type", [&] { return TvStreamOpen(7, 1, "x") == nullptr; }, kTvPluginIdCore,
         E_TV_STREAMTYPE},
        {"file handle missing", [&] { return TvStreamOpen(TV_STREAM_FILE, 1, nullptr) == nullptr; },
         0, E_TV_NULLP},
        {"missing file",
         [&] { return TvStreamOpen(TV_STREAM_FILENAME, 1, "/nonexistent/x.dff") == nullptr; }, 0,
         E_TV_FILEOPEN},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(TvEngineStop() && TvEngineStart());
        EXPECT_TRUE(c.call()) << c.name;
        TvErrorRecord e = LastError();
        EXPECT_EQ(e.pluginID, c.pluginId) << c.name;
        EXPECT_EQ(e.errorCode, c.code) << c.name;
    }
}

TEST_F(StreamTest, WrittenChunksMatchTheFixtureAndReadBack) {
    const int32_t ints[3] = {-1, 2, 0x12345678};
    std::vector<float> reals(100);
    for (size_t i = 0; i < reals.size(); i++)
        reals[i] = float(i) * 0.5f - 3.0f;
    const std::vector<float> original = reals;

    TvStream* s = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_WRITE, nullptr);
    ASSERT_TRUE(TvStreamWriteChunkHeader(s, TV_ID_GEOMETRY, 12 + 400, kTvChunkVersion));
    ASSERT_TRUE(TvStreamWriteInt(s, ints, sizeof(ints)));
    ASSERT_TRUE(TvStreamWriteReal(s, reals.data(), uint32_t(reals.size() * 4))); // > 256 bytes
    TvMemory memory{};
    ASSERT_TRUE(TvStreamClose(s, &memory));
    EXPECT_EQ(reals, original); // the caller's data is left alone

    ChunkWriter w;
    w.Begin(TV_ID_GEOMETRY);
    for (int32_t v : ints)
        w.I32(v);
    for (float v : reals)
        w.F32(v);
    w.End();
    ASSERT_EQ(std::vector<uint8_t>(memory.start, memory.start + memory.length), w.data());
    TvFree(memory.start);

    s = OpenReadStream(w.data());
    uint32_t length = 0;
    ASSERT_TRUE(TvStreamFindChunk(s, TV_ID_GEOMETRY, &length, nullptr));
    EXPECT_EQ(length, 412u);
    int32_t readInts[3];
    std::vector<float> readReals(100);
    ASSERT_TRUE(TvStreamReadInt(s, readInts, sizeof(readInts)));
    ASSERT_TRUE(TvStreamReadReal(s, readReals.data(), 400));
    EXPECT_EQ(readInts[2], 0x12345678);
    EXPECT_EQ(readReals, original);
    EXPECT_EQ(TvStreamReadInt(s, readInts, 4), nullptr); // nothing left
    TvStreamClose(s, nullptr);
}

TEST_F(StreamTest, FileStreamsGoThroughTheFileInterface) {
    std::string path = TempFile("model.dff");
    ChunkWriter w;
    w.Chunk(TV_ID_STRING, {'a', 'b', 'c', 0});
    w.Chunk(TV_ID_STRUCT, {9, 0, 0, 0});

    TvStream* s = TvStreamOpen(TV_STREAM_FILENAME, TV_STREAM_WRITE, path.c_str());
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(TvStreamWrite(s, w.data().data(), uint32_t(w.data().size())));
    ASSERT_TRUE(TvStreamClose(s, nullptr));

    s = TvStreamOpen(TV_STREAM_FILENAME, TV_STREAM_READ, path.c_str());
    ASSERT_NE(s, nullptr);
    ASSERT_TRUE(TvStreamFindChunk(s, TV_ID_STRUCT, nullptr, nullptr));
    int32_t value = 0;
    ASSERT_TRUE(TvStreamReadInt(s, &value, 4));
    EXPECT_EQ(value, 9);
    uint8_t more[4];
    EXPECT_EQ(TvStreamRead(s, more, 4), 0u);
    ExpectError(kTvPluginIdCore, E_TV_ENDOFSTREAM);
    EXPECT_TRUE(TvStreamClose(s, nullptr));

    // A handle given by the caller is closed by the stream too.
    FILE* f = std::fopen(path.c_str(), "rb");
    s = TvStreamOpen(TV_STREAM_FILE, TV_STREAM_READ, f);
    ASSERT_TRUE(TvStreamSkip(s, 12));
    uint8_t text[4];
    ASSERT_EQ(TvStreamRead(s, text, 4), 4u);
    EXPECT_STREQ(reinterpret_cast<char*>(text), "abc");
    EXPECT_TRUE(TvStreamClose(s, nullptr));
}

TEST_F(StreamTest, FileReadsStopAtTheEndOfTheFile) {
    std::string path = TempFile("damaged.dff");
    ChunkWriter w;
    w.Chunk(TV_ID_STRUCT, {1, 2, 3, 4});
    w.Header(TV_ID_CLUMP, 1000).U32(0);
    FILE* f = std::fopen(path.c_str(), "wb");
    std::fwrite(w.data().data(), 1, w.data().size(), f);
    std::fclose(f);

    TvStream* s = TvStreamOpen(TV_STREAM_FILENAME, TV_STREAM_READ, path.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_FALSE(TvStreamFindChunk(s, TV_ID_CLUMP, nullptr, nullptr));
    ExpectError(kTvPluginIdCore, E_TV_ENDOFSTREAM);
    TvStreamClose(s, nullptr);

    ASSERT_TRUE(TvEngineStop() && TvEngineStart());
    s = TvStreamOpen(TV_STREAM_FILENAME, TV_STREAM_READ, path.c_str());
    ASSERT_TRUE(TvStreamSkip(s, 16));
    EXPECT_EQ(TvStreamSkip(s, 100), nullptr);
    ExpectError(kTvPluginIdCore, E_TV_ENDOFSTREAM);
    uint8_t byte;
    EXPECT_EQ(TvStreamRead(s, &byte, 1), 0u);
    TvStreamClose(s, nullptr);
}

TEST_F(StreamTest, StreamsNeedTheStreamModule) {
    ASSERT_TRUE(TvEngineStop());
    std::vector<uint8_t> bytes(4);
    EXPECT_EQ(OpenReadStream(bytes), nullptr);
    ASSERT_TRUE(TvEngineStart());
}

} // namespace
