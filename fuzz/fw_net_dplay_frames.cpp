// Writes arbitrary bytes to a hosted session over a loopback connection, as a peer machine
// would, and lets the host read and handle them until it hangs up on the connection.
#include "platform/dplay/dplay.h"

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdint>
#include <cstring>

namespace {

IDirectPlay* g_host = nullptr;
uint16_t g_port = 0;

bool Start() {
    uint8_t address[4 + 16 + 4 + 16];
    const uint32_t size = sizeof address;
    std::memcpy(address, &size, 4);
    std::memcpy(address + 4, &DPAID_ServiceProvider, 16);
    const uint32_t guidSize = 16;
    std::memcpy(address + 20, &guidSize, 4);
    std::memcpy(address + 24, &DPSPGUID_TCPIP, 16);
    DPSESSIONDESC2 desc = {};
    desc.lpszSessionNameA = "fuzz";
    // A port of this process's own, below the range of outgoing connections; the next ones if it
    // is taken.
    for (int attempt = 0; attempt < 20; ++attempt) {
        g_port = static_cast<uint16_t>(10000 + (getpid() + attempt) % 20000);
        PlatformDplaySetPort(g_port);
        void* object = nullptr;
        if (DirectPlayCoCreateInstance(CLSID_DirectPlay, nullptr, 1, IID_IDirectPlay4A, &object) !=
            DP_OK)
            return false;
        g_host = static_cast<IDirectPlay*>(object);
        DPID id = 0;
        if (g_host->InitializeConnection(address, 0) == DP_OK &&
            g_host->Open(&desc, DPOPEN_CREATE) == DP_OK &&
            g_host->CreatePlayer(&id, nullptr, nullptr, nullptr, 0, 0) == DP_OK)
            return true;
        g_host->Release();
        g_host = nullptr;
    }
    return false;
}

void Drain() {
    DPID from = 0, to = 0;
    uint8_t buffer[256];
    for (int i = 0; i < 64; ++i) {
        uint32_t size = sizeof buffer;
        HRESULT hr = g_host->Receive(&from, &to, DPRECEIVE_ALL, buffer, &size);
        if (hr == DPERR_BUFFERTOOSMALL) {
            uint8_t* big = new uint8_t[size];
            g_host->Receive(&from, &to, DPRECEIVE_ALL, big, &size);
            delete[] big;
        } else if (hr != DP_OK) {
            return;
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = Start();
    if (!started) __builtin_trap(); // the host must exist, or nothing is exercised
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in addr = {};
    addr.sin_family = AF_INET;
    addr.sin_port = htons(g_port);
    addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) {
        if (fd >= 0) close(fd);
        return 0;
    }
    size_t at = 0;
    while (at < size) {
        ssize_t n = send(fd, data + at, size - at, MSG_NOSIGNAL);
        if (n <= 0) break;
        at += static_cast<size_t>(n);
    }
    shutdown(fd, SHUT_WR);
    // The host closes the connection once it has read everything (or found a bad frame).
    uint8_t sink[4096];
    for (int i = 0; i < 1000; ++i) {
        Drain();
        pollfd p = {fd, POLLIN, 0};
        if (poll(&p, 1, 1) > 0 && recv(fd, sink, sizeof sink, 0) <= 0) break;
    }
    close(fd);
    Drain();
    return 0;
}
