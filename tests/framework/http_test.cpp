#include "framework/net/http.h"
#include "framework/net/tcp.h"
#include "tests/framework/framework_fixture.h"
#include "tests/framework/tcp_server.h"

#include <string>

namespace {

class HttpTest : public FrameworkTest {
protected:
    void TearDown() override {
        ws::PlatformWinsockRedirectPort(80, 0);
        FrameworkTest::TearDown();
    }
    // A SyncStream over a memory stream that holds the text.
    IVkSyncStream* SyncOver(const std::string& text, IVkStream** stream) {
        IVkStream* memory = Create<IVkStream>(CLSID_VkMemoryStream, IID_IVkStream);
        memory->Write(text.data(), static_cast<uint32_t>(text.size()), nullptr);
        memory->Seek(0, VK_SEEK_SET, nullptr);
        IVkSyncStream* sync = Create<IVkSyncStream>(CLSID_VkSyncStream, IID_IVkSyncStream);
        sync->SetOption(VK_SYNC_STREAM, reinterpret_cast<uintptr_t>(memory));
        memory->Release();
        void* s = nullptr;
        sync->QueryInterface(IID_IVkStream, &s);
        *stream = static_cast<IVkStream*>(s);
        return sync;
    }
};

TEST_F(HttpTest, HeaderLines) {
    struct Case {
        std::string response;
        VkResult result;
        int32_t expected; // -1: none set
        int32_t heldBack;
    };
    const std::string longLine = "Content-Length: 5" + std::string(63, ' ');
    const Case cases[] = {
        {"HTTP/1.0 200 OK\r\nContent-Length: 12\r\n\r\nbody", VK_OK, 12, -1},
        {"HTTP/1.0 200 OK\nCONTENT-LENGTH:7\n\nbody", VK_OK, 7, -1},
        {"HTTP/1.0 200 OK\r\nContent-Length : 12\r\n\r\nbody", VK_OK, -1, -1},
        {"Content-Length: 3:4\r\n\r\n", VK_OK, -1, -1},
        {"X-Note: \"a:b\"\r\nContent-Length: \"9\"\r\n\r\n", VK_OK, 0, -1},
        {"Content-Length: 99999999999\r\n\r\n", VK_OK, INT32_MAX, -1},
        {longLine + "\r\n\r\n", VK_OK, -1, -1},
        {"HTTP/1.0 200 OK\r\n\nbody", VK_OK, -1, 'b'},
        {"HTTP/1.0 200 OK\n\r\n\rbody", VK_OK, -1, -1},
        {"HTTP/1.0 200 OK\r\r", VK_OK, -1, -1},
        {"HTTP/1.1 404 Not Found\r\n\r\n", VK_E_HTTPNOTFOUND, -1, -1},
        {"HTTP/1.1  404\r\n\r\n", VK_E_HTTPNOTFOUND, -1, -1},
        // Every error status fails, whichever version answers: an error page is not the
        // document.
        {"HTTP/1.0 404 Not Found\r\n\r\n", VK_E_HTTPNOTFOUND, -1, -1},
        {"HTTP/1.0 400 Bad Request\r\n\r\n", VK_E_HTTPNOTFOUND, -1, -1},
        {"HTTP/1.1 500 Internal Server Error\r\n\r\n", VK_E_HTTPNOTFOUND, -1, -1},
        {"HTTP/1.0 403 Forbidden\r\nContent-Length: 9\r\n\r\n", VK_E_HTTPNOTFOUND, -1, -1},
        {"HTTP/1.1 399 Odd\r\n\r\n", VK_OK, -1, -1},
        {"HTTP/1.0 302 Found\r\n\r\n", VK_OK, -1, -1},
        {"HTTP/1.1 4040 Odd\r\n\r\n", VK_OK, -1, -1},
        {"HTTP/1.1 40x Odd\r\n\r\n", VK_OK, -1, -1},
        {"HTTP/2 404\r\n\r\n", VK_OK, -1, -1},
        {"HTTP/1.0 200 OK\r\nContent-Len", VK_E_ENDOFSTREAM, -1, -1},
        {"", VK_E_ENDOFSTREAM, -1, -1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.response);
        IVkStream* stream = nullptr;
        IVkSyncStream* sync = SyncOver(c.response, &stream);
        int32_t held = 1234;
        EXPECT_EQ(VkHttpReadHeader(stream, sync, &held), c.result);
        uintptr_t expected = 0;
        VkResult res = sync->GetOption(VK_SYNC_EXPECTED_LENGTH, &expected);
        EXPECT_EQ(res < 0 ? -1 : static_cast<int64_t>(expected), c.expected);
        EXPECT_EQ(held, c.heldBack);
        stream->Release();
        sync->Release();
    }
}

// A document fetched over loopback: the request sent, the body (with a held-back first byte)
// and the end of the stream.
TEST_F(HttpTest, FetchesADocument) {
    IVkUrlResource* http = Create<IVkUrlResource>(CLSID_VkHttp, IID_IVkUrlResource);
    void* s = nullptr;
    ASSERT_EQ(http->QueryInterface(IID_IVkStream, &s), VK_OK);
    IVkStream* body = static_cast<IVkStream*>(s);

    tcptest::Server server("HTTP/1.0 200 OK\r\nContent-Length: 12\r\n\nhello world!");
    ws::PlatformWinsockRedirectPort(80, server.port);
    EXPECT_EQ(http->SetProperty(VK_URL_HOST, "127.0.0.1"), VK_OK);
    EXPECT_EQ(http->SetProperty(VK_URL_PATH, "docs"), VK_OK);
    EXPECT_EQ(http->SetProperty(VK_URL_NAME, "a.txt"), VK_OK);
    EXPECT_EQ(server.Join(), "GET /docs/a.txt HTTP/1.0\n\n");

    char buffer[32] = {};
    uint32_t got = 0;
    EXPECT_EQ(body->Read(buffer, 1, &got), VK_OK);
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(body->Read(buffer + 1, 5, &got), VK_OK);
    EXPECT_EQ(got, 5u);
    EXPECT_EQ(body->Read(buffer + 6, 20, &got), VK_E_ENDOFFILE);
    EXPECT_EQ(got, 6u);
    EXPECT_EQ(std::string(buffer), "hello world!");
    EXPECT_EQ(body->Seek(0, VK_SEEK_SET, nullptr), VK_E_FAIL);

    char path[8];
    EXPECT_EQ(http->GetProperty(VK_URL_PATH, path, sizeof path), VK_OK);
    EXPECT_STREQ(path, "/docs/");
    EXPECT_EQ(http->GetProperty(VK_URL_PATH, path, 6), VK_E_FAIL);

    // Setting the name again makes a fresh request; a 404 answer fails it, also from an
    // HTTP/1.0 server, which would otherwise hand its error page out as the document.
    tcptest::Server missing("HTTP/1.0 404 Not Found\r\n\r\n<html>gone</html>");
    ws::PlatformWinsockRedirectPort(80, missing.port);
    EXPECT_EQ(http->SetProperty(VK_URL_NAME, "gone.txt"), VK_E_HTTPNOTFOUND);
    EXPECT_EQ(missing.Join(), "GET /docs/gone.txt HTTP/1.0\n\n");

    body->Release();
    EXPECT_EQ(http->Release(), 0u);
}

TEST_F(HttpTest, RefusedTooLongAndUnknownProperties) {
    IVkUrlResource* http = Create<IVkUrlResource>(CLSID_VkHttp, IID_IVkUrlResource);
    ws::PlatformWinsockRedirectPort(80, tcptest::FreePort());
    http->SetProperty(VK_URL_HOST, "127.0.0.1");
    EXPECT_EQ(http->SetProperty(VK_URL_NAME, "a.txt"), VK_E_CONNREFUSED);
    EXPECT_EQ(http->SetProperty(VK_URL_HOST, std::string(128, 'h').c_str()), VK_E_FAIL);
    EXPECT_EQ(http->SetProperty(VK_URL_PATH, std::string(1024, 'p').c_str()), VK_E_FAIL);
    EXPECT_EQ(http->SetProperty(VK_URL_NAME, std::string(1024, 'n').c_str()), VK_E_FAIL);
    EXPECT_EQ(http->SetProperty(4, "x"), VK_E_FAIL);
    char host[16];
    EXPECT_EQ(http->GetProperty(VK_URL_HOST, host, sizeof host), VK_OK);
    EXPECT_STREQ(host, "127.0.0.1");
    EXPECT_EQ(http->Release(), 0u);
}

} // namespace
