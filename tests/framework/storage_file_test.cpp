#include "framework/storage/file.h"
#include "framework/storage/filestorage.h"
#include "tests/framework/framework_fixture.h"
#include "tests/support/data_folder.h"
#include "tests/support/tiny_fs.h"

#include <string>

namespace {

class FileTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        file = Create<IVkUrlResource>(CLSID_VkFile, IID_IVkUrlResource);
        ASSERT_NE(file, nullptr);
        void* s = nullptr;
        ASSERT_EQ(file->QueryInterface(IID_IVkStream, &s), VK_OK);
        stream = static_cast<IVkStream*>(s);
    }
    void TearDown() override {
        stream->Release();
        EXPECT_EQ(file->Release(), 0u);
        FrameworkTest::TearDown();
    }
    std::string Get(uint32_t property) {
        char text[1100] = "?";
        EXPECT_EQ(file->GetProperty(property, text, sizeof text), VK_OK);
        return text;
    }
    std::string Take(uint32_t n, VkResult expected) { return ReadFromStream(stream, n, expected); }

    DataFolder folder;
    IVkUrlResource* file = nullptr;
    IVkStream* stream = nullptr;
};

TEST_F(FileTest, PropertiesAreCheckedAndPathsSlashed) {
    struct Case {
        uint32_t property;
        std::string text;
        VkResult result;
        std::string stored;
    };
    const std::string longest(1023, 'p');
    const Case cases[] = {
        {VK_URL_PATH, "data", VK_OK, "/data/"},
        {VK_URL_PATH, "", VK_OK, "/"},
        {VK_URL_PATH, "a/b", VK_OK, "/a/b/"},
        {VK_URL_PATH, "/share/", VK_OK, "/share/"},
        {VK_URL_PATH, longest, VK_OK, "/" + longest + "/"},
        {VK_URL_PATH, longest + "p", VK_E_FAIL, "/" + longest + "/"},
        {VK_URL_HOST, std::string(127, 'h'), VK_OK, std::string(127, 'h')},
        {VK_URL_HOST, std::string(128, 'h'), VK_E_FAIL, std::string(127, 'h')},
        {VK_URL_NAME, longest, VK_OK, longest},
        {VK_URL_NAME, longest + "n", VK_E_FAIL, longest},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 8));
        EXPECT_EQ(file->SetProperty(c.property, c.text.c_str()), c.result);
        EXPECT_EQ(Get(c.property), c.stored);
    }
    EXPECT_EQ(file->SetProperty(4, "x"), VK_E_FAIL);
    char text[8];
    EXPECT_EQ(file->GetProperty(4, text, sizeof text), VK_E_FAIL);
    ASSERT_EQ(file->SetProperty(VK_URL_HOST, "abcde"), VK_OK);
    EXPECT_EQ(file->GetProperty(VK_URL_HOST, text, 5), VK_E_FAIL);
    EXPECT_EQ(file->GetProperty(VK_URL_HOST, text, 6), VK_OK);
    EXPECT_STREQ(text, "abcde");
}

TEST_F(FileTest, ReadsInBlocksAndStartsAgainAfterTheEnd) {
    folder.Write("sub/a.txt", "0123456789");
    file->SetProperty(VK_URL_PATH, (folder.path() + "/sub").c_str());
    file->SetProperty(VK_URL_NAME, "a.txt");
    EXPECT_EQ(Take(4, VK_OK), "0123");
    EXPECT_EQ(Take(4, VK_OK), "4567");
    EXPECT_EQ(Take(4, VK_E_ENDOFFILE), "89");
    EXPECT_EQ(Take(4, VK_OK), "0123");
    // Setting a property closes the file, so reading starts again.
    file->SetProperty(VK_URL_NAME, "a.txt");
    EXPECT_EQ(Take(2, VK_OK), "01");
    EXPECT_EQ(stream->Write("x", 1, nullptr), VK_E_FAIL);
    EXPECT_EQ(stream->Seek(0, VK_SEEK_SET, nullptr), VK_E_FAIL);
}

TEST_F(FileTest, HostIsTheFirstComponentOfTheFullName) {
    folder.Write("b.bin", "xyz");
    // The folder's absolute path split as //host/path/.
    const std::string& path = folder.path();
    size_t cut = path.find('/', 1);
    ASSERT_NE(cut, std::string::npos);
    file->SetProperty(VK_URL_HOST, path.substr(1, cut - 1).c_str());
    file->SetProperty(VK_URL_PATH, path.substr(cut).c_str());
    file->SetProperty(VK_URL_NAME, "b.bin");
    EXPECT_EQ(Take(3, VK_OK), "xyz");
    file->SetProperty(VK_URL_NAME, "missing.bin");
    EXPECT_EQ(Take(3, VK_E_FAIL), "");
}

class FileStorageTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        storage = Create<IVkStorage>(CLSID_VkFileStorage, IID_IVkStorage);
        ASSERT_NE(storage, nullptr);
        void* fs = nullptr;
        ASSERT_EQ(storage->QueryInterface(IID_IVkFileSystem, &fs), VK_OK);
        files = static_cast<IVkFileSystem*>(fs);
    }
    void TearDown() override {
        files->Release();
        EXPECT_EQ(storage->Release(), 0u);
        FrameworkTest::TearDown();
    }
    IVkStream* OpenStream(const char* name, uint32_t access, uint32_t translation = 1) {
        IVkStream* s = nullptr;
        EXPECT_EQ(storage->OpenStream(name, access, translation, &s), VK_OK) << name;
        return s;
    }

    DataFolder folder;
    IVkStorage* storage = nullptr;
    IVkFileSystem* files = nullptr;
};

TEST_F(FileStorageTest, OpenAndCloseTrackTheirState) {
    EXPECT_EQ(storage->Close(), VK_E_NOTOPEN);
    EXPECT_EQ(storage->Open("root", 0, 1), VK_OK);
    EXPECT_EQ(storage->Open("root", 0, 1), VK_E_ALREADYOPEN);
    EXPECT_EQ(storage->Close(), VK_OK);
    EXPECT_EQ(storage->Close(), VK_E_NOTOPEN);
}

TEST_F(FileStorageTest, StreamsWriteAppendReadAndSeek) {
    IVkStream* out = OpenStream("f.bin", VK_ACCESS_WRITE);
    ASSERT_NE(out, nullptr);
    uint32_t n = 0;
    EXPECT_EQ(out->Write("abc", 3, &n), VK_OK);
    EXPECT_EQ(n, 3u);
    EXPECT_EQ(out->Release(), 0u);
    out = OpenStream("F.BIN", VK_ACCESS_APPEND, VK_TRANSLATE_TEXT); // any letter case
    ASSERT_NE(out, nullptr);
    EXPECT_EQ(out->Write("de", 2, nullptr), VK_OK);
    out->Release();

    IVkStream* in = OpenStream("f.bin", VK_ACCESS_READ);
    ASSERT_NE(in, nullptr);
    uint32_t pos = 0;
    EXPECT_EQ(in->Seek(0, VK_SEEK_END, &pos), VK_OK);
    EXPECT_EQ(pos, 5u);
    EXPECT_EQ(in->Seek(-4, VK_SEEK_CUR, &pos), VK_OK);
    EXPECT_EQ(pos, 1u);
    EXPECT_EQ(in->Seek(0, 4, &pos), VK_E_FAIL);
    char buf[10] = {};
    EXPECT_EQ(in->Read(buf, 10, &n), VK_E_ENDOFSTREAM);
    EXPECT_EQ(std::string(buf, n), "bcde");
    EXPECT_EQ(in->Write("x", 1, &n), VK_E_FAIL);
    in->Release();
}

// Bytes count as written only when the disk took them; after a failed write the stream stays
// failed, so the bytes written after a hole are never reported either.
TEST_F(FileStorageTest, WritesToAFullDiskFailAndTheStreamStaysFailed) {
    IVkStream* out = OpenStream("/dev/full", VK_ACCESS_WRITE);
    ASSERT_NE(out, nullptr);
    const std::string block(1000, 'x');
    uint32_t n = 99;
    EXPECT_EQ(out->Write(block.data(), 1000, &n), VK_E_FAIL);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(out->Write("y", 1, &n), VK_E_FAIL);
    EXPECT_EQ(out->Write("", 0, &n), VK_E_FAIL);
    out->Release();

    TinyFileSystem disk(16384);
    if (!disk.ok()) GTEST_SKIP() << disk.reason();
    out = OpenStream((disk.path() + "/f.bin").c_str(), VK_ACCESS_WRITE);
    ASSERT_NE(out, nullptr);
    const std::string big(9000, 'b');
    EXPECT_EQ(out->Write(big.data(), 9000, &n), VK_OK);
    EXPECT_EQ(n, 9000u);
    EXPECT_EQ(out->Write(big.data(), 9000, &n), VK_E_FAIL);
    EXPECT_LT(n, 9000u);
    const uint32_t landed = 9000 + n;
    EXPECT_EQ(out->Write("y", 1, &n), VK_E_FAIL); // and stays failed
    EXPECT_EQ(n, 0u);
    out->Release();
    EXPECT_EQ(folder.Read(disk.path() + "/f.bin").size(), landed);
}

TEST_F(FileStorageTest, OnlyKnownModesOpen) {
    folder.Write("f.bin", "x");
    const uint32_t bad[][2] = {{1, 0}, {1, 3}, {0, 1}, {4, 1}};
    for (const auto& mode : bad) {
        IVkStream* s = reinterpret_cast<IVkStream*>(1);
        EXPECT_EQ(storage->OpenStream("f.bin", mode[0], mode[1], &s), VK_E_FAIL);
        EXPECT_EQ(s, nullptr);
    }
    IVkStream* s = nullptr;
    EXPECT_EQ(storage->OpenStream("missing.bin", VK_ACCESS_READ, 1, &s), VK_E_FAIL);
}

TEST_F(FileStorageTest, FileSystemOperations) {
    char name[260];
    ASSERT_EQ(files->GetTempName(name, sizeof name), VK_OK);
    EXPECT_GT(std::string(name).size(), 0u);
    EXPECT_EQ(files->GetTempName(name, 4), VK_E_BUFFERTOOSMALL);

    EXPECT_EQ(files->CreateDirectory("d"), VK_OK);
    EXPECT_EQ(files->CreateDirectory("d"), VK_E_FAIL);
    folder.Write("d/a.txt", "1");
    folder.Write("b.txt", "2");
    EXPECT_EQ(files->RenameFile("d\\a.txt", "b.txt"), VK_E_FAIL); // the target exists
    EXPECT_EQ(files->RenameFile("d\\a.txt", "c.txt"), VK_OK);
    EXPECT_EQ(folder.Read("c.txt"), std::vector<uint8_t>{'1'});
    EXPECT_EQ(files->DeleteFile("c.txt"), VK_OK);
    EXPECT_EQ(files->DeleteFile("c.txt"), VK_E_FAIL);
    EXPECT_TRUE(folder.Read("c.txt").empty());
}

} // namespace
