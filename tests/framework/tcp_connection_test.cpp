#include "framework/net/tcp.h"
#include "framework/storage/syncstream.h"
#include "tests/framework/framework_fixture.h"
#include "tests/framework/tcp_server.h"

#include <ctime>
#include <deque>
#include <string>

namespace {

// A connection with both faces; the stream face holds the second reference.
struct Tcp {
    IVkTcpConnection* control = nullptr;
    IVkStream* stream = nullptr;
    void Release() {
        if (stream) stream->Release();
        if (control) control->Release();
        stream = nullptr;
        control = nullptr;
    }
};

class TcpTest : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        ws::PlatformWinsockLoopbackOnly(true);
    }
    void TearDown() override {
        for (Tcp& t : made)
            t.Release();
        ws::PlatformWinsockLoopbackOnly(false);
        FrameworkTest::TearDown();
    }

    Tcp& Make() {
        Tcp t;
        t.control = Create<IVkTcpConnection>(CLSID_VkStandardTcp, IID_IVkTcpConnection);
        void* s = nullptr;
        EXPECT_EQ(t.control->QueryInterface(IID_IVkStream, &s), VK_OK);
        t.stream = static_cast<IVkStream*>(s);
        made.push_back(t);
        return made.back();
    }
    Tcp& Listening(uint16_t port) {
        Tcp& t = Make();
        EXPECT_EQ(t.control->SetOption(VK_TCP_PORT, port), VK_OK);
        EXPECT_EQ(t.control->SetOption(VK_TCP_LISTEN, 1), VK_OK);
        return t;
    }
    Tcp& Connected(uint16_t port) {
        Tcp& t = Make();
        t.control->SetOption(VK_TCP_PORT, port);
        EXPECT_EQ(t.control->Connect("127.0.0.1"), VK_OK);
        return t;
    }

    // Reads until `want` bytes have come or a read fails; gives up after a bounded wait.
    static VkResult ReadAll(IVkStream* stream, std::string* text, size_t want) {
        auto end = std::chrono::steady_clock::now() + tcptest::kLimit;
        while (text->size() < want && std::chrono::steady_clock::now() < end) {
            char buffer[64];
            uint32_t got = 0;
            VkResult res = stream->Read(buffer, sizeof buffer, &got);
            if (res < 0) return res;
            text->append(buffer, got);
            if (!got) std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return VK_OK;
    }
    // Reads until a read fails, returning that failure.
    static VkResult ReadUntilFailure(IVkStream* stream) {
        auto end = std::chrono::steady_clock::now() + tcptest::kLimit;
        while (std::chrono::steady_clock::now() < end) {
            char buffer[64];
            VkResult res = stream->Read(buffer, sizeof buffer, nullptr);
            if (res < 0) return res;
            std::this_thread::sleep_for(std::chrono::milliseconds(1));
        }
        return VK_OK;
    }

    std::deque<Tcp> made;
};

TEST_F(TcpTest, OptionsOfANewConnection) {
    Tcp& t = Make();
    uint32_t value = 0xFFFFFFFF;
    EXPECT_EQ(t.control->GetOption(VK_TCP_PORT, &value), VK_OK);
    EXPECT_EQ(value, 23u);
    EXPECT_EQ(t.control->GetOption(VK_TCP_LISTEN, &value), VK_OK);
    EXPECT_EQ(value, 0u);
    EXPECT_EQ(t.control->SetOption(VK_TCP_PORT, 0x12345), VK_OK);
    EXPECT_EQ(t.control->GetOption(VK_TCP_PORT, &value), VK_OK);
    EXPECT_EQ(value, 0x2345u);
    EXPECT_EQ(t.control->SetOption(4, 1), VK_E_FAIL);
    EXPECT_EQ(t.control->GetOption(4, &value), VK_E_FAIL);
    // Nothing connected and nothing listening.
    EXPECT_EQ(t.stream->Read(&value, 4, nullptr), VK_E_NOCONNECTION);
    EXPECT_EQ(t.stream->Write(&value, 4, nullptr), VK_E_NOCONNECTION);
    EXPECT_EQ(t.stream->Seek(0, VK_SEEK_SET, nullptr), VK_E_FAIL);
}

TEST_F(TcpTest, ConnectFailures) {
    Tcp& t = Make();
    EXPECT_EQ(t.control->Connect("no such host"), VK_E_HOSTNOTFOUND);
    t.control->SetOption(VK_TCP_PORT, tcptest::FreePort());
    EXPECT_EQ(t.control->Connect("127.0.0.1"), VK_E_CONNREFUSED);
    // A failed connect leaves no socket behind.
    EXPECT_EQ(t.stream->Read(nullptr, 0, nullptr), VK_E_NOCONNECTION);
}

TEST_F(TcpTest, ListeningOnAPortInUseFails) {
    ws::WSADATA data;
    ws::WSAStartup(0x0002, &data);
    uint16_t port = 0;
    ws::SOCKET other = tcptest::Listen(&port);
    Tcp& t = Make();
    t.control->SetOption(VK_TCP_PORT, port);
    EXPECT_EQ(t.control->SetOption(VK_TCP_LISTEN, 1), VK_E_FAIL);
    uint32_t value = 1;
    EXPECT_EQ(t.control->GetOption(VK_TCP_LISTEN, &value), VK_OK);
    EXPECT_EQ(value, 0u);
    ws::closesocket(other);
    ws::WSACleanup();
    // The failed listener was not kept: the port can be listened on once it is free.
    EXPECT_EQ(t.control->SetOption(VK_TCP_LISTEN, 1), VK_OK);
}

TEST_F(TcpTest, ListenerAcceptsOnFirstUseAndPeersExchangeBytes) {
    uint16_t port = tcptest::FreePort();
    Tcp& server = Listening(port);
    uint32_t value = 0;
    server.control->GetOption(VK_TCP_LISTEN, &value);
    EXPECT_EQ(value, 1u);
    // Nobody has called yet.
    EXPECT_EQ(server.stream->Read(&value, 1, nullptr), VK_E_NOCONNECTION);

    Tcp& client = Connected(port);
    uint32_t count = 77;
    char byte = 0;
    EXPECT_EQ(client.stream->Read(&byte, 1, &count), VK_OK);
    EXPECT_EQ(count, 77u); // no data: the caller's count stands

    EXPECT_EQ(client.stream->Write("ping", 4, &count), VK_OK);
    EXPECT_EQ(count, 4u);
    std::string got;
    EXPECT_EQ(ReadAll(server.stream, &got, 4), VK_OK);
    EXPECT_EQ(got, "ping");

    // A graceful close ends the peer's stream.
    server.Release();
    EXPECT_EQ(ReadUntilFailure(client.stream), VK_E_ENDOFFILE);
}

TEST_F(TcpTest, ConnectionsListeningOnOnePortShareItAndTakeOnePeerEach) {
    uint16_t port = tcptest::FreePort();
    Tcp& first = Listening(port);
    Tcp& second = Listening(port); // a second bind of the port would fail
    Tcp& a = Connected(port);
    Tcp& b = Connected(port);
    a.stream->Write("a", 1, nullptr);
    b.stream->Write("b", 1, nullptr);
    std::string one, two;
    EXPECT_EQ(ReadAll(first.stream, &one, 1), VK_OK);
    EXPECT_EQ(ReadAll(second.stream, &two, 1), VK_OK);
    EXPECT_EQ(one + two, "ab");
    // Stopping one keeps the listening socket open for the others.
    first.control->SetOption(VK_TCP_LISTEN, 0);
    Tcp& c = Connected(port);
    c.stream->Write("c", 1, nullptr);
    Tcp& third = Listening(port);
    std::string three;
    EXPECT_EQ(ReadAll(third.stream, &three, 1), VK_OK);
    EXPECT_EQ(three, "c");
}

// A peer that hangs up with our bytes unread resets the connection: a listening connection
// then takes the next caller, unless resets end its stream.
TEST_F(TcpTest, ResetDropsThePeer) {
    for (uint32_t closeOnReset : {0u, 1u}) {
        SCOPED_TRACE(closeOnReset);
        uint16_t port = tcptest::FreePort();
        Tcp& server = Listening(port);
        server.control->SetOption(VK_TCP_CLOSE_ON_RESET, closeOnReset);
        Tcp& gone = Connected(port);
        gone.stream->Write("x", 1, nullptr);
        std::string got;
        ASSERT_EQ(ReadAll(server.stream, &got, 1), VK_OK);
        server.stream->Write("unread", 6, nullptr);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        gone.Release();
        EXPECT_EQ(ReadUntilFailure(server.stream), VK_E_NOCONNECTION);

        Tcp& next = Connected(port);
        next.stream->Write("y", 1, nullptr);
        got.clear();
        if (closeOnReset) {
            EXPECT_EQ(server.stream->Read(nullptr, 0, nullptr), VK_E_ENDOFFILE);
            EXPECT_EQ(server.stream->Write("z", 1, nullptr), VK_E_ENDOFFILE);
        } else {
            EXPECT_EQ(ReadAll(server.stream, &got, 1), VK_OK);
            EXPECT_EQ(got, "y");
        }
        server.Release();
        next.Release();
    }
}

TEST_F(TcpTest, TalksToAThreadedLoopbackServer) {
    tcptest::Server server("reply");
    Tcp& t = Connected(server.port);
    EXPECT_EQ(t.stream->Write("hello\n\n", 7, nullptr), VK_OK);
    std::string got;
    EXPECT_EQ(ReadAll(t.stream, &got, 5), VK_OK);
    EXPECT_EQ(got, "reply");
    EXPECT_EQ(server.Join(), "hello\n\n");
    EXPECT_EQ(ReadUntilFailure(t.stream), VK_E_ENDOFFILE);
}

// A SyncStream over a connection sleeps on the socket while nothing comes: a 300 ms time-out
// costs little processor time.
TEST_F(TcpTest, SyncStreamWaitsOnTheSocket) {
    uint16_t port = tcptest::FreePort();
    Tcp& server = Listening(port);
    Tcp& client = Connected(port);
    EXPECT_EQ(server.stream->Write("", 0, nullptr), VK_OK); // takes the caller
    IVkSyncStream* sync = Create<IVkSyncStream>(CLSID_VkSyncStream, IID_IVkSyncStream);
    ASSERT_NE(sync, nullptr);
    sync->SetOption(VK_SYNC_STREAM, reinterpret_cast<uintptr_t>(client.stream));
    sync->SetOption(VK_SYNC_TIMEOUT, 300);
    void* object = nullptr;
    ASSERT_EQ(sync->QueryInterface(IID_IVkStream, &object), VK_OK);
    IVkStream* stream = static_cast<IVkStream*>(object);
    std::clock_t start = std::clock();
    char c = 0;
    uint32_t got = 9;
    EXPECT_EQ(stream->Read(&c, 1, &got), VK_E_TIMEOUT);
    EXPECT_EQ(got, 0u);
    EXPECT_LT(double(std::clock() - start) / CLOCKS_PER_SEC, 0.15);
    // Bytes that come end the wait.
    EXPECT_EQ(server.stream->Write("z", 1, nullptr), VK_OK);
    EXPECT_EQ(stream->Read(&c, 1, &got), VK_OK);
    EXPECT_EQ(c, 'z');
    stream->Release();
    sync->Release();
}

} // namespace
