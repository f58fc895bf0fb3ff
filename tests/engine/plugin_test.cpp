// Plug-in registries: offsets, duplicate ids, constructor failure, and extension chunks read
// through the registered stream callbacks, including damaged ones.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <unistd.h>

#include "engine/core/error.h"
#include "engine/core/plugin.h"
#include "tests/support/chunk_writer.h"
#include "tests/support/null_device.h"

namespace {

constexpr int32_t kAlign = int32_t(alignof(std::max_align_t));
constexpr int32_t Round(int32_t v) {
    return (v + kAlign - 1) / kAlign * kAlign;
}

std::vector<std::string> g_log;

template <char Name> void* Ctor(void* o, int32_t, int32_t) {
    g_log.push_back(std::string("ctor ") + Name);
    return o;
}
template <char Name> void* Dtor(void* o, int32_t, int32_t) {
    g_log.push_back(std::string("dtor ") + Name);
    return o;
}
void* CtorFails(void*, int32_t, int32_t) {
    g_log.push_back("ctor fails");
    return nullptr;
}
template <char Name> void* Copy(void* d, const void*, int32_t, int32_t) {
    g_log.push_back(std::string("copy ") + Name);
    return d;
}

// Each test registers on its own registry of a 152-byte object kind; the engine is initialised
// (not open) so that registration is allowed, and terminated afterwards.
class PluginTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_log.clear();
        NullDeviceInstall();
        ASSERT_TRUE(TvEngineInit(nullptr));
    }
    void TearDown() override {
        if (TvEngineGetOpenCount()) {
            TvEngineStop();
            TvEngineClose();
        }
        TvEngineTerm();
        NullDeviceRemove();
        EXPECT_EQ(registry.sizeOfStruct, 152); // the pool release forgot every registration
    }
    void Start() { ASSERT_TRUE(TvEngineOpen(nullptr) && TvEngineStart()); }
    TvErrorRecord LastError() {
        TvErrorRecord r;
        return *TvErrorGet(&r);
    }
    TvPluginRegistry registry = TvPluginRegistryInitial(152);
};

TEST_F(PluginTest, OffsetsFollowEachOtherAligned) {
    int32_t first = TvPluginRegister(&registry, 5, 1, nullptr, nullptr, nullptr);
    int32_t second = TvPluginRegister(&registry, 4, 2, nullptr, nullptr, nullptr);
    EXPECT_EQ(first, Round(152));
    EXPECT_EQ(second, first + Round(5));
    EXPECT_EQ(registry.sizeOfStruct, second + Round(4));
    // Same id again: the first offset, whatever the size, and no growth.
    EXPECT_EQ(TvPluginRegister(&registry, 400, 1, nullptr, nullptr, nullptr), first);
    EXPECT_EQ(registry.sizeOfStruct, second + Round(4));
    EXPECT_EQ(registry.firstRegEntry->size, 5);
}

TEST_F(PluginTest, MaximumSizeAndBadSizesRefuse) {
    registry.maxSizeOfStruct = Round(152) + kAlign;
    EXPECT_GE(TvPluginRegister(&registry, kAlign, 1, nullptr, nullptr, nullptr), 0);
    EXPECT_EQ(TvPluginRegister(&registry, 1, 2, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(TvPluginRegister(&registry, -4, 3, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(TvPluginRegister(&registry, INT32_MAX, 4, nullptr, nullptr, nullptr), -1);
}

TEST_F(PluginTest, ConstructorFailureUndoesTheEarlierOnesNearestFirst) {
    TvPluginRegister(&registry, 4, 1, Ctor<'a'>, Dtor<'a'>, Copy<'a'>);
    TvPluginRegister(&registry, 4, 2, Ctor<'b'>, Dtor<'b'>, Copy<'b'>);
    TvPluginRegister(&registry, 4, 3, CtorFails, Dtor<'c'>, nullptr);
    std::vector<uint8_t> object(size_t(registry.sizeOfStruct));
    EXPECT_EQ(TvPluginInitObject(&registry, object.data()), nullptr);
    EXPECT_EQ(g_log,
              (std::vector<std::string>{"ctor a", "ctor b", "ctor fails", "dtor b", "dtor a"}));
}

TEST_F(PluginTest, DestructorsRunLastFirstAndCopiesInOrder) {
    TvPluginRegister(&registry, 4, 1, Ctor<'a'>, Dtor<'a'>, Copy<'a'>);
    TvPluginRegister(&registry, 4, 2, nullptr, Dtor<'b'>, Copy<'b'>);
    std::vector<uint8_t> a(size_t(registry.sizeOfStruct)), b(a.size());
    EXPECT_EQ(TvPluginInitObject(&registry, a.data()), &registry);
    EXPECT_EQ(TvPluginCopyObject(&registry, b.data(), a.data()), &registry);
    EXPECT_EQ(TvPluginDeinitObject(&registry, a.data()), &registry);
    EXPECT_EQ(g_log, (std::vector<std::string>{"ctor a", "copy a", "copy b", "dtor b", "dtor a"}));
}

TEST_F(PluginTest, RegistrationNeedsTheEntryPoolAndAClosedEngine) {
    Start();
    EXPECT_EQ(TvPluginRegister(&registry, 4, 1, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(LastError().errorCode, E_TV_PLUGINENGINEOPEN);
    EXPECT_EQ(TvPluginRegisterStream(&registry, 1, nullptr, nullptr, nullptr), -1);
}

// Stream callback: copies up to `want` bytes of its sub-chunk into the plug-in's data.
struct Reader {
    static inline uint32_t want = UINT32_MAX;
    static inline bool fail = false;
    static TvStream* Read(TvStream* s, int32_t length, void* object, int32_t offset, int32_t) {
        if (fail) return nullptr;
        uint32_t n = std::min<uint32_t>(uint32_t(length), want);
        auto* data = static_cast<uint8_t*>(object) + offset;
        if (n && TvStreamRead(s, data, n) != n) return nullptr;
        return s;
    }
};

class ExtensionTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        Reader::want = UINT32_MAX;
        Reader::fail = false;
        a = TvPluginRegister(&registry, 8, 0x11, nullptr, nullptr, nullptr);
        b = TvPluginRegister(&registry, 8, 0x22, nullptr, nullptr, nullptr);
        ASSERT_EQ(TvPluginRegisterStream(&registry, 0x11, Reader::Read, nullptr, nullptr), a);
        ASSERT_EQ(TvPluginRegisterStream(&registry, 0x22, Reader::Read, nullptr, nullptr), b);
        Start();
        object.assign(size_t(registry.sizeOfStruct), 0);
    }
    // Reads `bytes` as an extension chunk followed by a struct chunk; true when both came.
    bool ReadAll(const std::vector<uint8_t>& bytes, bool skip = false) {
        TvStream* s = OpenReadStream(bytes);
        bool ok = skip ? TvPluginStreamSkip(&registry, s) != nullptr
                       : TvPluginStreamRead(&registry, s, object.data()) != nullptr;
        uint32_t type = 0;
        trailerFound =
            ok && TvStreamReadChunkHeader(s, &type, nullptr, nullptr) && type == TV_ID_STRUCT;
        TvStreamClose(s, nullptr);
        return ok;
    }
    std::string At(int32_t offset, size_t n) {
        return std::string(reinterpret_cast<char*>(object.data()) + offset, n);
    }
    static std::vector<uint8_t> B(const std::string& s) { return {s.begin(), s.end()}; }
    int32_t a = -1, b = -1;
    bool trailerFound = false;
    std::vector<uint8_t> object;
};

TEST_F(ExtensionTest, SubChunksReachTheirPluginsAndUnknownOnesAreSkipped) {
    ChunkWriter w;
    WriteExtension(w, {{0x22, B("BBBBbbbb")}, {0x99, B("??")}, {0x11, B("AAAAaaaa")}});
    w.Chunk(TV_ID_STRUCT, {});
    EXPECT_TRUE(ReadAll(w.data()));
    EXPECT_TRUE(trailerFound);
    EXPECT_EQ(At(a, 8), "AAAAaaaa");
    EXPECT_EQ(At(b, 8), "BBBBbbbb");

    object.assign(object.size(), 0);
    EXPECT_TRUE(ReadAll(w.data(), true));
    EXPECT_TRUE(trailerFound);
    EXPECT_EQ(At(a, 1), std::string(1, '\0'));
}

TEST_F(ExtensionTest, EmptyExtensionSucceeds) {
    ChunkWriter w;
    WriteExtension(w, {});
    w.Chunk(TV_ID_STRUCT, {});
    EXPECT_TRUE(ReadAll(w.data()));
    EXPECT_TRUE(trailerFound);
}

TEST_F(ExtensionTest, StreamMovesToTheSubChunkEndWhateverTheCallbackRead) {
    for (uint32_t want : {0u, 3u}) {
        Reader::want = want;
        ChunkWriter w;
        WriteExtension(w, {{0x11, B("AAAAaaaa")}, {0x22, B("BBBBbbbb")}});
        w.Chunk(TV_ID_STRUCT, {});
        EXPECT_TRUE(ReadAll(w.data())) << want;
        EXPECT_TRUE(trailerFound) << want;
    }
}

// Models come from files: after a callback that reads short, the file is moved on to the
// sub-chunk's end just as a memory stream is.
TEST_F(ExtensionTest, FileStreamMovesToTheSubChunkEndWhateverTheCallbackRead) {
    char pattern[] = "/tmp/marovant_extension_XXXXXX";
    const std::string dir = mkdtemp(pattern);
    const std::string path = dir + "/frames.dff";
    ChunkWriter w;
    WriteExtension(w, {{0x11, B("AAAAaaaa")}, {0x22, B("BBBBbbbb")}});
    w.Chunk(TV_ID_STRUCT, B("tail"));
    FILE* f = std::fopen(path.c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fwrite(w.data().data(), 1, w.data().size(), f);
    std::fclose(f);

    Reader::want = 3;
    TvStream* s = TvStreamOpen(TV_STREAM_FILENAME, TV_STREAM_READ, path.c_str());
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(TvPluginStreamRead(&registry, s, object.data()), &registry);
    EXPECT_EQ(At(a, 3), "AAA");
    EXPECT_EQ(At(b, 3), "BBB");
    uint32_t length = 0;
    EXPECT_TRUE(TvStreamFindChunk(s, TV_ID_STRUCT, &length, nullptr));
    char tail[4] = {};
    EXPECT_EQ(TvStreamRead(s, tail, 4), 4u);
    EXPECT_EQ(std::string(tail, 4), "tail");
    EXPECT_TRUE(TvStreamClose(s, nullptr));
    std::remove(path.c_str());
    rmdir(dir.c_str());
}

// A stream over a caller's file handle has no known end, so only the extension's own length
// bounds a sub-chunk; one too long for a callback's signed length never reaches the callback.
TEST_F(ExtensionTest, HugeSubChunkOnAHandleStreamNeverReachesTheCallback) {
    Reader::fail = true; // a call would end the read without the error checked below
    std::vector<uint8_t> bytes =
        ChunkWriter().Header(TV_ID_EXTENSION, 0xFFFFFFFFu).Header(0x11, 0x80000000u).data();
    FILE* f = fmemopen(bytes.data(), bytes.size(), "rb");
    ASSERT_NE(f, nullptr);
    TvStream* s = TvStreamOpen(TV_STREAM_FILE, TV_STREAM_READ, f);
    ASSERT_NE(s, nullptr);
    EXPECT_EQ(TvPluginStreamRead(&registry, s, object.data()), nullptr);
    EXPECT_EQ(LastError().pluginID, kTvPluginIdCore);
    EXPECT_EQ(LastError().errorCode, E_TV_ENDOFSTREAM);
    EXPECT_TRUE(TvStreamClose(s, nullptr));
}

TEST_F(ExtensionTest, DamagedExtensionsFail) {
    struct Case {
        const char* name;
        std::vector<uint8_t> bytes;
        uint32_t pluginId, code;
    };
    auto bad = [](auto build) {
        ChunkWriter w;
        build(w);
        return w.data();
    };
    std::vector<Case> cases = {
        {"sub-chunk longer than the extension", bad([](ChunkWriter& w) {
             w.Begin(TV_ID_EXTENSION).Header(0x11, 100).Bytes("xxxxxxxx", 8).End();
             w.Chunk(TV_ID_STRUCT, std::vector<uint8_t>(100));
         }),
         kTvPluginIdCore, E_TV_ENDOFSTREAM},
        {"extension shorter than a sub-chunk header", bad([](ChunkWriter& w) {
             w.Begin(TV_ID_EXTENSION).U32(0x11).U32(0).End();
             w.Chunk(TV_ID_STRUCT, std::vector<uint8_t>(16));
         }),
         kTvPluginIdCore, E_TV_ENDOFSTREAM},
        {"extension running past the stream",
         bad([](ChunkWriter& w) { w.Header(TV_ID_EXTENSION, 64).Chunk(0x11, B("AAAA")); }),
         kTvPluginIdCore, E_TV_ENDOFSTREAM},
        {"version too new", bad([](ChunkWriter& w) { w.Begin(TV_ID_EXTENSION, 0x302).End(); }), 0,
         E_TV_BADVERSION},
        {"version too old", bad([](ChunkWriter& w) { w.Begin(TV_ID_EXTENSION, 0x2FF).End(); }), 0,
         E_TV_BADVERSION},
        {"no extension chunk", bad([](ChunkWriter& w) { w.Chunk(TV_ID_STRUCT, B("abcd")); }),
         kTvPluginIdCore, E_TV_ENDOFSTREAM},
    };
    for (const Case& c : cases) {
        ASSERT_TRUE(TvEngineStop() && TvEngineStart()); // a fresh error record per case
        EXPECT_FALSE(ReadAll(c.bytes)) << c.name;
        EXPECT_EQ(LastError().pluginID, c.pluginId) << c.name;
        EXPECT_EQ(LastError().errorCode, c.code) << c.name;
    }
}

TEST_F(ExtensionTest, FailingCallbackEndsTheRead) {
    Reader::fail = true;
    ChunkWriter w;
    WriteExtension(w, {{0x11, B("AAAA")}});
    EXPECT_FALSE(ReadAll(w.data()));
}

} // namespace
