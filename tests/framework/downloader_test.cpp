#include "framework/downloader/downloader.h"
#include "framework/net/tcp.h"
#include "framework/storage/filestorage.h"
#include "tests/framework/framework_fixture.h"
#include "tests/framework/tcp_server.h"
#include "tests/support/data_folder.h"

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

const char kClsidA[] = "{11111111-2222-3333-4444-555555555555}";
const VkGuid kGuidA = {
    0x11111111, 0x2222, 0x3333, {0x44, 0x44, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55}};

// An index in "src/" of a fresh working folder; downloads land in the working folder, and
// TMPDIR points at "tmp/" so that a leftover in either place shows.
class DownloaderTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        std::filesystem::create_directory(folder.path() + "/tmp");
        const char* old = std::getenv("TMPDIR");
        oldTmp = old ? old : "";
        hadTmp = old != nullptr;
        setenv("TMPDIR", (folder.path() + "/tmp").c_str(), 1);
        base = "file://" + folder.path() + "/src/";
        folder.Write("src/components.ini", "stray = 1\n"
                                           "[Alpha]\nCLSID = " +
                                               std::string(kClsidA) +
                                               "\nURL = a.dll\nLength = 5\nVersion = 3\n"
                                               "[NoUrl]\nVersion = 2\n"
                                               "[Gamma]\nURL = http://127.0.0.1/x/c.dll\n");
        folder.Write("src/a.dll", "AAAAA");
        down = Create<IVkDownloader>(CLSID_VkDownloader, IID_IVkDownloader);
        ASSERT_NE(down, nullptr);
    }
    void TearDown() override {
        EXPECT_EQ(down->Release(), 0u);
        ws::PlatformWinsockRedirectPort(80, 0);
        if (hadTmp)
            setenv("TMPDIR", oldTmp.c_str(), 1);
        else
            unsetenv("TMPDIR");
        FrameworkTest::TearDown();
    }
    std::string Text(uint32_t index, uint32_t selector) {
        char text[512] = "?";
        EXPECT_EQ(down->GetEntryText(index, selector, text, sizeof text), VK_OK);
        return text;
    }
    // No temporary file is left, neither in the temporary folder nor beside the downloads.
    bool TempEmpty() const {
        if (!std::filesystem::is_empty(folder.path() + "/tmp")) return false;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
            if (entry.path().filename().string().rfind("vk", 0) == 0) return false;
        return true;
    }
    std::string Installed(const std::string& name) const {
        auto bytes = folder.Read(name);
        return std::string(bytes.begin(), bytes.end());
    }

    DataFolder folder;
    std::string base, oldTmp;
    bool hadTmp = false;
    IVkDownloader* down = nullptr;
};

TEST_F(DownloaderTest, IndexMakesEntriesFrontFirstWithResolvedUrls) {
    ASSERT_EQ(down->ReadIndex(base.c_str()), VK_OK);
    // Sections without a URL and keys outside sections make no entry; the last one read is
    // at the front.
    EXPECT_EQ(Text(0, VK_DOWNLOAD_NAME), "Gamma");
    EXPECT_EQ(Text(0, VK_DOWNLOAD_URL), "http://127.0.0.1/x/c.dll");
    EXPECT_EQ(Text(1, VK_DOWNLOAD_NAME), "Alpha");
    EXPECT_EQ(Text(1, VK_DOWNLOAD_URL | 0x3), base + "a.dll");

    char small[5];
    struct Case {
        uint32_t index, selector;
        uint32_t size;
        VkResult result;
    };
    const Case cases[] = {
        {2, VK_DOWNLOAD_NAME, sizeof small, VK_E_ENDOFLIST},
        {0, 0x30, sizeof small, VK_E_BADSELECTOR},
        {0, 0x00, sizeof small, VK_E_BADSELECTOR},
        {0, VK_DOWNLOAD_NAME, 5, VK_E_BUFFERTOOSMALL}, // "Gamma" needs 6
        {0, VK_DOWNLOAD_NAME, 0, VK_E_BUFFERTOOSMALL},
    };
    for (const Case& c : cases)
        EXPECT_EQ(down->GetEntryText(c.index, c.selector, small, c.size), c.result)
            << c.index << " " << c.selector << " " << c.size;

    // An index that cannot be opened fails and keeps the entries; one that reads as empty
    // leaves none to address.
    ws::PlatformWinsockRedirectPort(80, tcptest::FreePort());
    EXPECT_EQ(down->ReadIndex("http://127.0.0.1/"), VK_E_FAIL);
    EXPECT_EQ(Text(1, VK_DOWNLOAD_NAME), "Alpha");
    EXPECT_EQ(down->ReadIndex((base + "none/").c_str()), VK_OK);
    EXPECT_EQ(down->GetEntryText(0, VK_DOWNLOAD_NAME, small, sizeof small), VK_E_ENDOFLIST);
    EXPECT_EQ(down->DownloadEntry(0, 0), VK_E_ENDOFLIST);
}

TEST_F(DownloaderTest, DownloadInstallsTheFileByFilterAndClass) {
    ASSERT_EQ(down->ReadIndex(base.c_str()), VK_OK);
    // The standard registry knows no versions: every entry is not installed and offered
    // above what is installed; none is current.
    EXPECT_EQ(down->DownloadEntry(VK_DOWNLOAD_CURRENT, 0), VK_E_ENDOFLIST);
    EXPECT_EQ(down->DownloadEntry(0, 2), VK_E_ENDOFLIST);
    EXPECT_EQ(down->DownloadClass(VkGuid{0x99, 0, 0, {}}), VK_E_FAIL);

    // The standard registry refuses module registration, after the file is in place.
    const VkResult refused = VkRegisterModuleFile("a.dll");
    ASSERT_LT(refused, 0);
    EXPECT_EQ(down->DownloadEntry(VK_DOWNLOAD_NOTINSTALLED, 1), refused);
    EXPECT_EQ(Installed("a.dll"), "AAAAA");
    EXPECT_TRUE(TempEmpty());

    // A newer copy replaces the installed file.
    folder.Write("src/a.dll", "BBBBBBB");
    EXPECT_EQ(down->DownloadClass(kGuidA), refused);
    EXPECT_EQ(Installed("a.dll"), "BBBBBBB");
    EXPECT_TRUE(TempEmpty());

    // A source that cannot be opened leaves nothing behind.
    std::filesystem::remove(folder.path() + "/src/a.dll");
    std::filesystem::remove(folder.path() + "/a.dll");
    EXPECT_LT(down->DownloadEntry(VK_DOWNLOAD_NEWER, 1), 0);
    EXPECT_FALSE(std::filesystem::exists(folder.path() + "/a.dll"));
    EXPECT_TRUE(TempEmpty());
}

TEST_F(DownloaderTest, ServerStoppingBeforeTheAnnouncedLengthInstallsNothing) {
    ASSERT_EQ(down->ReadIndex(base.c_str()), VK_OK);
    const VkResult refused = VkRegisterModuleFile("c.dll");
    {
        tcptest::Server server("HTTP/1.0 200 OK\r\nContent-Length: 100\r\n\r\nCCC");
        ws::PlatformWinsockRedirectPort(80, server.port);
        EXPECT_EQ(down->DownloadEntry(VK_DOWNLOAD_NOTINSTALLED, 0), VK_E_FAIL);
        EXPECT_EQ(server.Join(), "GET /x/c.dll HTTP/1.0\n\n");
        EXPECT_FALSE(std::filesystem::exists(folder.path() + "/c.dll"));
        EXPECT_TRUE(TempEmpty());
    }
    // The whole announced body, or a body with no length announced, is installed.
    for (const char* reply :
         {"HTTP/1.0 200 OK\r\nContent-Length: 3\r\n\r\nCCC", "HTTP/1.0 200 OK\r\n\r\nCCC"}) {
        tcptest::Server server(reply);
        ws::PlatformWinsockRedirectPort(80, server.port);
        EXPECT_EQ(down->DownloadEntry(VK_DOWNLOAD_NOTINSTALLED, 0), refused);
        EXPECT_EQ(Installed("c.dll"), "CCC");
        EXPECT_TRUE(TempEmpty());
        std::filesystem::remove(folder.path() + "/c.dll");
    }
}

// The temporary file is made in the folder the download goes to, exclusively: a link planted
// under any name there is never written through.
TEST_F(DownloaderTest, TemporaryFileIsMadeNewBesideTheTarget) {
    char name[256];
    IVkUnknown* unknown = nullptr;
    ASSERT_EQ(VkCreateFileStorage(nullptr, &unknown), VK_OK);
    void* object = nullptr;
    ASSERT_EQ(unknown->QueryInterface(IID_IVkFileSystem, &object), VK_OK);
    IVkFileSystem* files = static_cast<IVkFileSystem*>(object);
    ASSERT_EQ(unknown->QueryInterface(IID_IVkStorage, &object), VK_OK);
    IVkStorage* storage = static_cast<IVkStorage*>(object);
    unknown->Release();
    ASSERT_EQ(files->GetTempName(name, sizeof name), VK_OK);
    EXPECT_EQ(std::string(name).find('/'), std::string::npos) << name;
    EXPECT_TRUE(std::filesystem::is_regular_file(folder.path() + "/" + name));
    // The name is swapped for a link to another file before the download opens it.
    folder.Write("victim.txt", "keep");
    std::filesystem::remove(folder.path() + "/" + name);
    std::filesystem::create_symlink(folder.path() + "/victim.txt", folder.path() + "/" + name);
    IVkStream* out = nullptr;
    ASSERT_EQ(storage->OpenStream(name, VK_ACCESS_WRITE, VK_TRANSLATE_NONE, &out), VK_OK);
    EXPECT_EQ(out->Write("evil", 4, nullptr), VK_OK);
    out->Release();
    EXPECT_EQ(Installed("victim.txt"), "keep");
    std::filesystem::remove(folder.path() + "/" + name);
    storage->Release();
    files->Release();
}

TEST_F(DownloaderTest, CategoryFileDownloadsEverySectionWithAUrl) {
    const VkGuid category = {0xABCDEF01, 0x1234, 0x5678, {1, 2, 3, 4, 5, 6, 7, 8}};
    char name[39];
    VkGuidToString(category, name);
    folder.Write(std::string("src/") + name + ".ini",
                 "[One]\nURL = one.dll\n[Skip]\nLength = 3\n[Two]\nURL = sub/two.dll\n"
                 "[Climb]\nURL = ..\\fwdl-escape.dll\n");
    folder.Write("src/one.dll", "1");
    folder.Write("src/sub/two.dll", "22");
    folder.Write("fwdl-escape.dll", "E"); // what "src/..\\fwdl-escape.dll" reads
    const std::filesystem::path outside =
        std::filesystem::path(folder.path()).parent_path() / "fwdl-escape.dll";
    EXPECT_EQ(down->DownloadCategory(category, base.c_str()), VK_OK);
    EXPECT_EQ(Installed("one.dll"), "1");
    EXPECT_EQ(Installed("two.dll"), "22");
    // A file name that would climb out of the program's folder is refused.
    EXPECT_FALSE(std::filesystem::exists(outside));
    EXPECT_TRUE(TempEmpty());
    // A category file that cannot be opened gives the open's failure.
    ws::PlatformWinsockRedirectPort(80, tcptest::FreePort());
    EXPECT_EQ(down->DownloadCategory(category, "http://127.0.0.1/"), VK_E_CONNREFUSED);
}

} // namespace
