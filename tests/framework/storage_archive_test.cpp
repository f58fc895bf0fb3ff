#include "framework/storage/archivestorage.h"
#include "framework/storage/filestorage.h"
#include "tests/framework/framework_fixture.h"
#include "tests/support/data_folder.h"
#include "tests/support/tiny_fs.h"

#include <filesystem>

#include <string>
#include <vector>

namespace {

using Bytes = std::vector<uint8_t>;

void PutU32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

// An archive image: header, 132-byte directory entries, then the data.
Bytes ArchiveImage(const std::vector<std::pair<std::string, std::string>>& entries,
                   uint32_t count) {
    Bytes out;
    PutU32(out, VK_ARCHIVE_MAGIC);
    PutU32(out, count);
    for (const auto& [name, data] : entries) {
        Bytes field(VK_ARCHIVE_NAME_SIZE, 0);
        std::copy(name.begin(), name.end(), field.begin());
        out.insert(out.end(), field.begin(), field.end());
        PutU32(out, static_cast<uint32_t>(data.size()));
    }
    for (const auto& entry : entries)
        out.insert(out.end(), entry.second.begin(), entry.second.end());
    return out;
}

class ArchiveTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        files = Create<IVkStorage>(CLSID_VkFileStorage, IID_IVkStorage);
        archive = Create<IVkStorage>(CLSID_VkArchiveStorage, IID_IVkStorage);
        ASSERT_TRUE(files && archive);
        location = {files, 0};
    }
    void TearDown() override {
        EXPECT_EQ(archive->Release(), 0u);
        files->Release();
        FrameworkTest::TearDown();
    }
    VkResult Open(const char* name = "a.arc") {
        return archive->Open(name, reinterpret_cast<uintptr_t>(&location), 0);
    }
    IVkStream* Stream(const char* name, uint32_t access) {
        IVkStream* s = nullptr;
        EXPECT_EQ(archive->OpenStream(name, access, VK_TRANSLATE_NONE, &s), VK_OK) << name;
        return s;
    }
    void Put(const char* name, const std::string& data) {
        IVkStream* s = Stream(name, VK_ACCESS_WRITE);
        ASSERT_NE(s, nullptr);
        // Two writes, so the entry's memory grows past its first block.
        size_t half = data.size() / 2;
        EXPECT_EQ(s->Write(data.data(), static_cast<uint32_t>(half), nullptr), VK_OK);
        uint32_t n = 0;
        EXPECT_EQ(s->Write(data.data() + half, static_cast<uint32_t>(data.size() - half), &n),
                  VK_OK);
        EXPECT_EQ(n, data.size() - half);
        s->Release();
    }
    std::string Get(const char* name, uint32_t n, VkResult expected) {
        IVkStream* s = Stream(name, VK_ACCESS_READ);
        if (!s) return "<none>";
        std::string out(n, '\0');
        uint32_t got = 0;
        EXPECT_EQ(s->Read(out.data(), n, &got), expected) << name;
        s->Release();
        out.resize(got);
        return out;
    }

    DataFolder folder;
    IVkStorage* files = nullptr;
    IVkStorage* archive = nullptr;
    VkArchiveLocation location = {};
};

TEST_F(ArchiveTest, WritesTheLayoutAndReadsItBack) {
    ASSERT_EQ(Open(), VK_OK); // no file yet: a new archive
    EXPECT_EQ(Open(), VK_E_ALREADYOPEN);
    Put("a", "xyz");
    Put("b", std::string(5000, 'q'));
    EXPECT_EQ(archive->Close(), VK_OK);
    EXPECT_EQ(archive->Close(), VK_E_NOTOPEN);
    EXPECT_EQ(folder.Read("a.arc"), ArchiveImage({{"a", "xyz"}, {"b", std::string(5000, 'q')}}, 2));

    ASSERT_EQ(Open(), VK_OK);
    EXPECT_EQ(Get("a", 10, VK_E_ENDOFSTREAM), "xyz");
    EXPECT_EQ(Get("b", 5000, VK_OK), std::string(5000, 'q'));
    EXPECT_EQ(archive->Close(), VK_OK);
}

TEST_F(ArchiveTest, ReadsFromABaseOffsetAndRefusesBadRequests) {
    Bytes file(16, 0xEE);
    Bytes image = ArchiveImage({{"a", "123"}, {"b", "45678"}}, 2);
    file.insert(file.end(), image.begin(), image.end());
    folder.Write("a.arc", file);
    location.base = 16;
    ASSERT_EQ(Open(), VK_OK);
    EXPECT_EQ(Get("b", 5, VK_OK), "45678");
    EXPECT_EQ(Get("a", 2, VK_OK), "12");

    IVkStream* s = reinterpret_cast<IVkStream*>(1);
    EXPECT_EQ(archive->OpenStream("a", VK_ACCESS_WRITE, 1, &s), VK_E_FAIL);
    EXPECT_EQ(s, nullptr);
    EXPECT_EQ(archive->OpenStream("A", VK_ACCESS_READ, 1, &s), VK_E_FAIL);
    EXPECT_EQ(archive->OpenStream("c", VK_ACCESS_APPEND, 1, &s), VK_E_FAIL);
    EXPECT_EQ(archive->OpenStream(std::string(128, 'n').c_str(), VK_ACCESS_WRITE, 1, &s),
              VK_E_FAIL);
    s = Stream("a", VK_ACCESS_READ);
    EXPECT_EQ(s->Write("x", 1, nullptr), VK_E_FAIL);
    EXPECT_EQ(s->Seek(0, VK_SEEK_SET, nullptr), VK_E_FAIL);
    s->Release();
    EXPECT_EQ(archive->Close(), VK_OK); // nothing written: the file stays as it was
    EXPECT_EQ(folder.Read("a.arc"), file);
}

TEST_F(ArchiveTest, AddingAnEntryKeepsTheEntriesAlreadyThere) {
    folder.Write("a.arc", ArchiveImage({{"a", "123"}, {"b", ""}}, 2));
    ASSERT_EQ(Open(), VK_OK);
    Put("c", "new");
    EXPECT_EQ(archive->Close(), VK_OK);
    EXPECT_EQ(folder.Read("a.arc"), ArchiveImage({{"a", "123"}, {"b", ""}, {"c", "new"}}, 3));
}

TEST_F(ArchiveTest, AnEntryWrittenSinceOpenReadsFromMemoryAndIsNotWrittenAgain) {
    ASSERT_EQ(Open(), VK_OK);
    Put("x", "abcdef");
    EXPECT_EQ(Get("x", 4, VK_OK), "abcd");
    IVkStream* s = Stream("x", VK_ACCESS_READ);
    ASSERT_NE(s, nullptr);
    // Writing through a reading stream would overwrite the entry behind its size.
    EXPECT_EQ(s->Write("0123456789", 10, nullptr), VK_E_FAIL);
    s->Release();
    EXPECT_EQ(archive->Close(), VK_OK);
    EXPECT_EQ(folder.Read("a.arc"), ArchiveImage({{"x", "abcdef"}}, 1));
    EXPECT_EQ(
        archive->Open(std::string(260, 'n').c_str(), reinterpret_cast<uintptr_t>(&location), 0),
        VK_E_FAIL);
}

TEST_F(ArchiveTest, AnEntryTheFileDoesNotHoldStopsTheRewrite) {
    Bytes file = ArchiveImage({{"a", "123"}}, 1);
    file[8 + 128] = 200; // a says 200 bytes; the file holds 3
    folder.Write("a.arc", file);
    ASSERT_EQ(Open(), VK_OK);
    EXPECT_EQ(Get("a", 200, VK_E_ENDOFSTREAM), "123");
    Put("c", "new");
    EXPECT_EQ(archive->Close(), VK_E_FAIL);
    EXPECT_EQ(folder.Read("a.arc"), file); // left as it was
}

// The archive is written beside the old one and replaces it only when whole: on a disk too
// small for the new entry, closing fails and the old archive stays readable as it was.
TEST_F(ArchiveTest, CloseOnAFullDiskFailsAndKeepsThePreviousArchive) {
    TinyFileSystem disk(16384);
    if (!disk.ok()) GTEST_SKIP() << disk.reason();
    const std::string name = disk.path() + "/a.arc";
    ASSERT_EQ(Open(name.c_str()), VK_OK);
    Put("a", "old");
    ASSERT_EQ(archive->Close(), VK_OK);
    const Bytes before = ArchiveImage({{"a", "old"}}, 1);
    ASSERT_EQ(folder.Read(name), before);

    ASSERT_EQ(Open(name.c_str()), VK_OK);
    Put("big", std::string(20000, 'b'));
    EXPECT_EQ(archive->Close(), VK_E_FAIL);
    EXPECT_EQ(folder.Read(name), before);
    EXPECT_FALSE(std::filesystem::exists(name + ".tmp"));
    ASSERT_EQ(Open(name.c_str()), VK_OK);
    EXPECT_EQ(Get("a", 3, VK_OK), "old");
    EXPECT_EQ(archive->Close(), VK_OK);
}

TEST_F(ArchiveTest, ForeignMissingAndDamagedFiles) {
    struct Case {
        const char* what;
        Bytes file;
        VkResult result;
    };
    Bytes foreign = ArchiveImage({{"a", "1"}}, 1);
    foreign[0] ^= 1;
    Bytes shortDirectory = ArchiveImage({{"a", "1"}}, 2);
    Bytes hugeCount = ArchiveImage({}, 0xFFFFFFFF);
    Bytes hugeSize = ArchiveImage({{"a", "1"}, {"b", "2"}}, 2);
    hugeSize[8 + 128] = 0xFF, hugeSize[8 + 129] = 0xFF, hugeSize[8 + 130] = 0xFF,
                 hugeSize[8 + 131] = 0xFF;
    const Case cases[] = {
        {"foreign", foreign, VK_OK},
        {"short header", Bytes{0x67, 0x72}, VK_E_ENDOFSTREAM},
        {"short directory", shortDirectory, VK_E_ENDOFSTREAM},
        {"huge count", hugeCount, VK_E_ENDOFSTREAM},
        {"sizes past 4 GB", hugeSize, VK_E_FAIL},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        folder.Write("a.arc", c.file);
        EXPECT_EQ(Open(), c.result);
        IVkStream* s = nullptr;
        // A foreign file opens empty; a damaged one leaves the storage closed.
        EXPECT_EQ(archive->OpenStream("a", VK_ACCESS_READ, 1, &s), VK_E_FAIL);
        EXPECT_EQ(archive->Close(), c.result == VK_OK ? VK_OK : VK_E_NOTOPEN);
    }
    EXPECT_EQ(archive->Open("a.arc", 0, 0), VK_E_FAIL); // no location
}

TEST_F(ArchiveTest, StreamsOutlivingTheArchiveFailSafely) {
    folder.Write("a.arc", ArchiveImage({{"a", "123"}}, 1));
    ASSERT_EQ(Open(), VK_OK);
    IVkStream* reader = Stream("a", VK_ACCESS_READ);
    IVkStream* writer = Stream("w", VK_ACCESS_WRITE);
    ASSERT_TRUE(reader && writer);
    EXPECT_EQ(writer->Write("data", 4, nullptr), VK_OK);
    EXPECT_EQ(archive->Close(), VK_OK);
    char buf[4];
    EXPECT_EQ(reader->Read(buf, 3, nullptr), VK_E_FAIL);
    EXPECT_EQ(writer->Write("more", 4, nullptr), VK_E_FAIL);
    EXPECT_EQ(folder.Read("a.arc"), ArchiveImage({{"a", "123"}, {"w", "data"}}, 2));
    // The streams hold the archive: its last reference goes with them.
    EXPECT_EQ(archive->AddRef(), 4u);
    archive->Release();
    reader->Release();
    writer->Release();
}

} // namespace
