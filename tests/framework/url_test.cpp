#include "framework/net/http.h"
#include "framework/net/tcp.h"
#include "framework/net/url.h"
#include "tests/framework/framework_fixture.h"
#include "tests/framework/tcp_server.h"
#include "tests/support/data_folder.h"

#include <string>

namespace {

class UrlTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        url = Create<IVkUrl>(CLSID_VkUrl, IID_IVkUrl);
        ASSERT_NE(url, nullptr);
    }
    void TearDown() override {
        EXPECT_EQ(url->Release(), 0u);
        FrameworkTest::TearDown();
    }
    std::string Get(uint32_t property) {
        char buffer[4096];
        EXPECT_EQ(url->GetProperty(property, buffer, sizeof buffer), VK_OK);
        return buffer;
    }
    // scheme|host|path|name
    std::string Split() {
        return Get(VK_URLTEXT_SCHEME) + "|" + Get(VK_URLTEXT_HOST) + "|" + Get(VK_URLTEXT_PATH) +
               "|" + Get(VK_URLTEXT_NAME);
    }
    IVkUrl* url = nullptr;
};

// Each text is parsed after the ones before it, so relative and rooted texts join the URL
// left by the row above; failing rows change nothing.
TEST_F(UrlTest, ParsesAndJoinsInTurn) {
    struct Case {
        uint32_t property;
        std::string text;
        VkResult result;
        std::string split;
    };
    const std::string longName(1024, 'n');
    const std::string longHost(128, 'h');
    const std::string longPath = "/" + std::string(1023, 'p') + "/";
    const std::string longScheme = "schemeabc";
    const std::string hostUrl = "http://" + longHost + "/x";
    const std::string nameUrl = "http://h/" + longName;
    const std::string schemeUrl = longScheme + "://h/x";
    const Case cases[] = {
        {VK_URLTEXT_URL, "http://h/a/b/c.txt", VK_OK, "http|h|/a/b/|c.txt"},
        {VK_URLTEXT_URL, "d/e.txt", VK_OK, "http|h|/a/b/d/|e.txt"},
        {VK_URLTEXT_LOCATION, "/x.txt", VK_OK, "http|h|/|x.txt"},
        {VK_URLTEXT_URL, "y.txt", VK_OK, "http|h|/|y.txt"},
        {VK_URLTEXT_URL, "file://far/dir/", VK_OK, "file|far|/dir/|"},
        {VK_URLTEXT_URL, "http://h", VK_E_FAIL, "file|far|/dir/|"},
        {VK_URLTEXT_URL, "http://h/a://b", VK_E_FAIL, "file|far|/dir/|"},
        {VK_URLTEXT_URL, "a/b://h/x", VK_E_FAIL, "file|far|/dir/|"},
        {VK_URLTEXT_URL, hostUrl, VK_E_FAIL, "file|far|/dir/|"},
        {VK_URLTEXT_URL, nameUrl, VK_E_FAIL, "file|far|/dir/|"},
        {VK_URLTEXT_URL, schemeUrl, VK_E_FAIL, "file|far|/dir/|"},
        {VK_URLTEXT_URL, longPath, VK_OK, "file|far|" + longPath + "|"},
        {VK_URLTEXT_URL, "more/", VK_E_FAIL, "file|far|" + longPath + "|"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 40));
        EXPECT_EQ(url->SetProperty(c.property, c.text.c_str()), c.result);
        EXPECT_EQ(Split(), c.split);
    }
}

TEST_F(UrlTest, WholeUrlReadsBackAndPartsClearTheirFollowers) {
    ASSERT_EQ(url->SetProperty(VK_URLTEXT_URL, "http://h/a/b/c.txt"), VK_OK);
    EXPECT_EQ(Get(VK_URLTEXT_URL), "http://h/a/b/c.txt");
    EXPECT_EQ(Get(VK_URLTEXT_LOCATION), "/a/b/c.txt");

    char small[18];
    EXPECT_EQ(url->GetProperty(VK_URLTEXT_URL, small, sizeof small), VK_E_FAIL);
    EXPECT_EQ(url->GetProperty(7, small, sizeof small), VK_E_FAIL);
    EXPECT_EQ(url->SetProperty(7, "x"), VK_E_FAIL);

    EXPECT_EQ(url->SetProperty(VK_URLTEXT_PATH, "q"), VK_OK);
    EXPECT_EQ(Split(), "http|h|/q/|");
    EXPECT_EQ(url->SetProperty(VK_URLTEXT_NAME, "n.txt"), VK_OK);
    EXPECT_EQ(url->SetProperty(VK_URLTEXT_HOST, "other"), VK_OK);
    EXPECT_EQ(Split(), "http|other||");
    EXPECT_EQ(url->SetProperty(VK_URLTEXT_SCHEME, "file"), VK_OK);
    EXPECT_EQ(Split(), "file|||");
    EXPECT_EQ(url->SetProperty(VK_URLTEXT_SCHEME, "ninechars"), VK_E_FAIL);
    EXPECT_EQ(url->SetProperty(VK_URLTEXT_HOST, std::string(128, 'h').c_str()), VK_E_FAIL);
    EXPECT_EQ(url->SetProperty(VK_URLTEXT_PATH, std::string(1024, 'p').c_str()), VK_E_FAIL);
    EXPECT_EQ(Split(), "file|||");
}

TEST_F(UrlTest, OpenStreamRefusesOtherSchemes) {
    for (const char* scheme : {"ftp", "HTTP", "File"}) {
        SCOPED_TRACE(scheme);
        ASSERT_EQ(url->SetProperty(VK_URLTEXT_SCHEME, scheme), VK_OK);
        IVkStream* stream = reinterpret_cast<IVkStream*>(1);
        EXPECT_EQ(url->OpenStream(&stream), VK_E_BADSCHEME);
        EXPECT_EQ(stream, nullptr);
    }
}

TEST_F(UrlTest, OpensLocalFilesAndHttpDocuments) {
    DataFolder folder;
    folder.Write("docs/a.txt", "local bytes");
    ASSERT_EQ(url->SetProperty(VK_URLTEXT_URL, ("file://" + folder.path() + "/docs/a.txt").c_str()),
              VK_OK);
    IVkStream* stream = nullptr;
    ASSERT_EQ(url->OpenStream(&stream), VK_OK);
    char buffer[32] = {};
    uint32_t got = 0;
    EXPECT_EQ(stream->Read(buffer, sizeof buffer, &got), VK_E_ENDOFFILE);
    EXPECT_EQ(std::string(buffer, got), "local bytes");
    stream->Release();

    tcptest::Server server("HTTP/1.0 200 OK\r\n\r\nremote");
    ws::PlatformWinsockRedirectPort(80, server.port);
    ASSERT_EQ(url->SetProperty(VK_URLTEXT_URL, "http://127.0.0.1/docs/a.txt"), VK_OK);
    ASSERT_EQ(url->OpenStream(&stream), VK_OK);
    EXPECT_EQ(stream->Read(buffer, 6, &got), VK_OK);
    EXPECT_EQ(std::string(buffer, got), "remote");
    stream->Release();
    EXPECT_EQ(server.Join(), "GET /docs/a.txt HTTP/1.0\n\n");

    // The resource's own failure comes back; no stream is handed out.
    ws::PlatformWinsockRedirectPort(80, tcptest::FreePort());
    stream = nullptr;
    EXPECT_EQ(url->OpenStream(&stream), VK_E_CONNREFUSED);
    EXPECT_EQ(stream, nullptr);
    ws::PlatformWinsockRedirectPort(80, 0);
}

} // namespace
