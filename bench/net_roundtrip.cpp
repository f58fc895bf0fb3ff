// Round trip and throughput of guaranteed messages through the Network component and the
// DirectX 6 transport over loopback, against a plain ENet echo of the same sizes; a plain TCP
// echo is measured beside them for reference. Both session machines live in this process and
// are polled from the benchmark's thread, as the ENet baseline's two hosts are serviced.
// A second reference, not a baseline of the ratios: the same ENet echo with each host serviced
// by its own thread that waits in poll() and trades packets with the benchmark's thread through
// locked queues, as the session stand-in does; it shows what crossing threads costs alone.
#include "bench/ratio_reporter.h"
#include "framework/core/framework.h"
#include "framework/network/network.h"
#include "platform/dplay/dplay.h"

#include <arpa/inet.h>
#include <enet/enet.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <cstring>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr uint32_t kEchoType = 20;
constexpr int kBurst = 32; // messages in flight for the throughput figure

// --- The session: a host and a joiner whose callback echoes every message back.
IVkNetwork* g_host = nullptr;
IVkNetwork* g_guest = nullptr;
uint32_t g_hostId = 0, g_guestId = 0;
uint64_t g_echoes = 0;

int32_t HostHears(VkNetMessage* m) {
    if (m->length >= 4 && VkNetGetU32(m->payload) == kEchoType) ++g_echoes;
    return 0;
}

std::vector<uint8_t> g_echoBlock;
int32_t GuestEchoes(VkNetMessage* m) {
    if (m->length < 4 || VkNetGetU32(m->payload) != kEchoType) return 0;
    g_echoBlock.resize(kVkNetHeaderSize + size_t{m->length});
    std::memcpy(g_echoBlock.data() + kVkNetHeaderSize, m->payload, m->length);
    auto* echo = reinterpret_cast<VkNetMessage*>(g_echoBlock.data());
    *echo = {kVkNetHeaderWord, g_guestId, m->sender, static_cast<uint32_t>(g_echoBlock.size()),
             nullptr};
    g_guest->Send(echo, kVkSendGuaranteed);
    return 0;
}

IVkNetwork* NewNetwork(VkNetMessageCallBack callBack) {
    void* object = nullptr;
    if (VkCreateInstance(CLSID_VkNetwork, nullptr, 0, IID_IVkNetwork, &object) < 0) return nullptr;
    auto* net = static_cast<IVkNetwork*>(object);
    net->SetMessageCallBack(callBack);
    if (net->Initialise() != VK_OK || net->SelectService(kVkServiceTcpIp) != VK_OK ||
        net->SetOption(kVkNetOptionTcpAddress, const_cast<char*>("127.0.0.1")) != VK_OK ||
        net->OpenService(kVkServiceTcpIp) != VK_OK)
        return nullptr;
    return net;
}

bool StartSession() {
    if (VkInitialise(nullptr) < 0) return false;
    IVkRegistry* registry = nullptr;
    VkGetRegistries(nullptr, &registry);
    VkRegisterStandardComponents(registry);
    VkRegisterMediaComponents(registry);
    PlatformDplaySetPort(PlatformDplayFreePort());
    g_host = NewNetwork(HostHears);
    g_guest = NewNetwork(GuestEchoes);
    uint32_t player = 0, count = 0;
    if (!g_host || !g_guest || g_host->HostSession("bench", &g_hostId) != VK_OK ||
        g_guest->EnumSessions(&count) != VK_OK || count == 0)
        return false;
    // The joiner waits for the host's announcement, which the host gives when polled.
    bool joined = false;
    std::thread join([&] {
        void* entry = nullptr;
        joined = g_guest->GetSessionDesc(0, &entry) == VK_OK &&
                 g_guest->JoinSession(static_cast<char*>(entry), &g_guestId) == VK_OK;
    });
    for (int i = 0; i < 3000 && !joined; ++i) {
        g_host->Poll();
        usleep(1000);
    }
    join.join();
    if (!joined) return false;
    // The joiner's player request is answered by the host's poll.
    bool created = false;
    std::thread request([&] { created = g_guest->CreatePlayer(g_guestId, &player, 0) == VK_OK; });
    for (int i = 0; i < 3000; ++i) {
        g_host->Poll();
        uint32_t n = 0;
        g_host->GetNumPlayers(&n);
        if (n == 1) break;
        usleep(1000);
    }
    request.join();
    return created;
}

std::vector<uint8_t> g_block;
void SendToGuest(size_t size) {
    g_block.assign(kVkNetHeaderSize + size, 0x5A);
    auto* m = reinterpret_cast<VkNetMessage*>(g_block.data());
    VkNetPutU32(g_block.data() + kVkNetHeaderSize, kEchoType);
    *m = {kVkNetHeaderWord, g_hostId, g_guestId, static_cast<uint32_t>(g_block.size()), nullptr};
    g_host->Send(m, kVkSendGuaranteed);
}

void SessionEcho(benchmark::State& state, int burst) {
    const size_t size = static_cast<size_t>(state.range(0));
    for (auto _ : state) {
        const uint64_t target = g_echoes + static_cast<uint64_t>(burst);
        for (int i = 0; i < burst; ++i)
            SendToGuest(size);
        while (g_echoes < target) {
            g_guest->Poll();
            g_host->Poll();
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * burst * 2 * int64_t(size));
}

void NetworkRoundTrip(benchmark::State& state) {
    SessionEcho(state, 1);
}
void NetworkThroughput(benchmark::State& state) {
    SessionEcho(state, kBurst);
}

// --- Plain ENet: a server that echoes, a client, both serviced here.
ENetHost* g_server = nullptr;
ENetHost* g_client = nullptr;
ENetPeer* g_toServer = nullptr;

bool StartEnet() {
    ENetAddress address = {};
    address.host = htonl(INADDR_LOOPBACK);
    address.port = PlatformDplayFreePort();
    g_server = enet_host_create(&address, 1, 2, 0, 0);
    g_client = enet_host_create(nullptr, 1, 2, 0, 0);
    if (!g_server || !g_client) return false;
    g_toServer = enet_host_connect(g_client, &address, 2, 0);
    ENetEvent ev;
    bool up = false;
    for (int i = 0; i < 3000 && !up; ++i) {
        enet_host_service(g_server, &ev, 0);
        if (enet_host_service(g_client, &ev, 1) > 0 && ev.type == ENET_EVENT_TYPE_CONNECT)
            up = true;
    }
    return up;
}

void EnetEcho(benchmark::State& state, int burst) {
    const size_t size = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> payload(size, 0x5A);
    ENetEvent ev;
    for (auto _ : state) {
        for (int i = 0; i < burst; ++i)
            enet_peer_send(g_toServer, 0,
                           enet_packet_create(payload.data(), size, ENET_PACKET_FLAG_RELIABLE));
        int back = 0;
        while (back < burst) {
            while (enet_host_service(g_server, &ev, 0) > 0)
                if (ev.type == ENET_EVENT_TYPE_RECEIVE) enet_peer_send(ev.peer, 0, ev.packet);
            while (enet_host_service(g_client, &ev, 0) > 0)
                if (ev.type == ENET_EVENT_TYPE_RECEIVE) {
                    enet_packet_destroy(ev.packet);
                    ++back;
                }
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * burst * 2 * int64_t(size));
}

void EnetRoundTrip(benchmark::State& state) {
    EnetEcho(state, 1);
}
void EnetThroughput(benchmark::State& state) {
    EnetEcho(state, kBurst);
}

// --- Plain ENet serviced by threads, for reference: a host per thread, which sends what the
// benchmark's thread queued and queues what arrives; the benchmark's thread echoes.
struct ServicedHost {
    ENetHost* host = nullptr;
    std::atomic<ENetPeer*> peer{nullptr}; // the other side, once connected
    int wake = -1;
    std::atomic<bool> stop{false};
    std::mutex mu;
    std::vector<ENetPacket*> outbox;
    std::deque<ENetPacket*> inbox;
    std::atomic<size_t> waiting{0};
    std::thread thread;

    void Serve() {
        std::vector<ENetPacket*> sending, arrived;
        while (!stop) {
            pollfd fds[2] = {{wake, POLLIN, 0}, {host->socket, POLLIN, 0}};
            poll(fds, 2, 10);
            if (fds[0].revents & POLLIN) {
                uint64_t count = 0;
                (void)!read(wake, &count, sizeof count);
            }
            {
                std::lock_guard lock(mu);
                sending.swap(outbox);
            }
            for (ENetPacket* p : sending)
                if (!peer || enet_peer_send(peer, 0, p) < 0) enet_packet_destroy(p);
            sending.clear();
            ENetEvent ev;
            while (enet_host_service(host, &ev, 0) > 0) {
                if (ev.type == ENET_EVENT_TYPE_CONNECT) peer = ev.peer;
                if (ev.type == ENET_EVENT_TYPE_RECEIVE) arrived.push_back(ev.packet);
            }
            if (!arrived.empty()) {
                std::lock_guard lock(mu);
                inbox.insert(inbox.end(), arrived.begin(), arrived.end());
                waiting = inbox.size();
            }
            arrived.clear();
            enet_host_flush(host);
        }
    }
    void Post(ENetPacket* p) {
        {
            std::lock_guard lock(mu);
            outbox.push_back(p);
        }
        const uint64_t one = 1;
        (void)!write(wake, &one, sizeof one);
    }
    ENetPacket* Take() {
        if (waiting.load() == 0) return nullptr;
        std::lock_guard lock(mu);
        if (inbox.empty()) return nullptr;
        ENetPacket* p = inbox.front();
        inbox.pop_front();
        waiting = inbox.size();
        return p;
    }
    void Start() {
        wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        thread = std::thread([this] { Serve(); });
    }
    void Finish() {
        stop = true;
        const uint64_t one = 1;
        (void)!write(wake, &one, sizeof one);
        if (thread.joinable()) thread.join();
        for (ENetPacket* p : inbox)
            enet_packet_destroy(p);
        if (host) enet_host_destroy(host);
        if (wake >= 0) close(wake);
    }
};
ServicedHost g_threadedServer, g_threadedClient;

bool StartThreadedEnet() {
    ENetAddress address = {};
    address.host = htonl(INADDR_LOOPBACK);
    address.port = PlatformDplayFreePort();
    g_threadedServer.host = enet_host_create(&address, 1, 2, 0, 0);
    g_threadedClient.host = enet_host_create(nullptr, 1, 2, 0, 0);
    if (!g_threadedServer.host || !g_threadedClient.host ||
        !enet_host_connect(g_threadedClient.host, &address, 2, 0))
        return false;
    g_threadedServer.Start();
    g_threadedClient.Start();
    for (int i = 0; i < 3000 && !(g_threadedServer.peer && g_threadedClient.peer); ++i)
        usleep(1000);
    return g_threadedServer.peer && g_threadedClient.peer;
}

void ThreadedEnetEcho(benchmark::State& state, int burst) {
    const size_t size = static_cast<size_t>(state.range(0));
    std::vector<uint8_t> payload(size, 0x5A);
    for (auto _ : state) {
        for (int i = 0; i < burst; ++i)
            g_threadedClient.Post(
                enet_packet_create(payload.data(), size, ENET_PACKET_FLAG_RELIABLE));
        int back = 0;
        while (back < burst) {
            while (ENetPacket* p = g_threadedServer.Take())
                g_threadedServer.Post(p);
            while (ENetPacket* p = g_threadedClient.Take()) {
                enet_packet_destroy(p);
                ++back;
            }
        }
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * burst * 2 * int64_t(size));
}

void ThreadedEnetRoundTrip(benchmark::State& state) {
    ThreadedEnetEcho(state, 1);
}
void ThreadedEnetThroughput(benchmark::State& state) {
    ThreadedEnetEcho(state, kBurst);
}

// --- Plain TCP for reference: an echo thread, a blocking client.
int g_tcp = -1;
std::thread g_tcpEcho;

bool Full(int fd, void* data, size_t size, bool write) {
    auto* p = static_cast<uint8_t*>(data);
    while (size) {
        const ssize_t n = write ? send(fd, p, size, MSG_NOSIGNAL) : recv(fd, p, size, 0);
        if (n <= 0) return false;
        p += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

bool StartTcp() {
    int listener = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    if (listener < 0 || bind(listener, reinterpret_cast<sockaddr*>(&a), sizeof a) != 0 ||
        listen(listener, 1) != 0 || getsockname(listener, reinterpret_cast<sockaddr*>(&a), &n) != 0)
        return false;
    g_tcpEcho = std::thread([listener] {
        int fd = accept(listener, nullptr, nullptr);
        close(listener);
        int one = 1;
        setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
        std::vector<uint8_t> buffer;
        uint32_t size = 0;
        while (Full(fd, &size, 4, false)) {
            buffer.resize(size);
            if (!Full(fd, buffer.data(), size, false) || !Full(fd, &size, 4, true) ||
                !Full(fd, buffer.data(), size, true))
                break;
        }
        close(fd);
    });
    g_tcp = socket(AF_INET, SOCK_STREAM, 0);
    int one = 1;
    setsockopt(g_tcp, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
    return connect(g_tcp, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0;
}

void TcpRoundTrip(benchmark::State& state) {
    uint32_t size = static_cast<uint32_t>(state.range(0));
    std::vector<uint8_t> payload(size, 0x5A);
    for (auto _ : state) {
        uint32_t back = 0;
        Full(g_tcp, &size, 4, true);
        Full(g_tcp, payload.data(), size, true);
        Full(g_tcp, &back, 4, false);
        Full(g_tcp, payload.data(), back, false);
    }
    state.SetBytesProcessed(int64_t(state.iterations()) * 2 * int64_t(size));
}

BENCHMARK(NetworkRoundTrip)->Arg(64)->Arg(1024)->Arg(16384)->Unit(benchmark::kMicrosecond);
BENCHMARK(EnetRoundTrip)->Arg(64)->Arg(1024)->Arg(16384)->Unit(benchmark::kMicrosecond);
BENCHMARK(NetworkThroughput)->Arg(64)->Arg(1024)->Arg(16384)->Unit(benchmark::kMicrosecond);
BENCHMARK(EnetThroughput)->Arg(64)->Arg(1024)->Arg(16384)->Unit(benchmark::kMicrosecond);
BENCHMARK(ThreadedEnetRoundTrip)->Arg(64)->Arg(1024)->Arg(16384)->Unit(benchmark::kMicrosecond);
BENCHMARK(ThreadedEnetThroughput)->Arg(64)->Arg(1024)->Arg(16384)->Unit(benchmark::kMicrosecond);
BENCHMARK(TcpRoundTrip)->Arg(64)->Arg(1024)->Arg(16384)->Unit(benchmark::kMicrosecond);

} // namespace

int main(int argc, char** argv) {
    if (enet_initialize() != 0 || !StartSession() || !StartEnet() || !StartThreadedEnet() ||
        !StartTcp()) {
        std::fprintf(stderr, "the loopback machines did not meet\n");
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    for (const char* size : {"64", "1024", "16384"}) {
        reporter.PrintRatio(std::string("NetworkRoundTrip/") + size,
                            std::string("EnetRoundTrip/") + size);
        reporter.PrintRatio(std::string("NetworkThroughput/") + size,
                            std::string("EnetThroughput/") + size);
        reporter.PrintRatio(std::string("TcpRoundTrip/") + size,
                            std::string("EnetRoundTrip/") + size);
    }
    // The reference of threads crossed: what that alone costs against the baseline, and what
    // the session path costs beyond it.
    for (const char* size : {"64", "1024", "16384"})
        for (const char* kind : {"RoundTrip/", "Throughput/"}) {
            reporter.PrintRatio(std::string("ThreadedEnet") + kind + size,
                                std::string("Enet") + kind + size);
            reporter.PrintRatio(std::string("Network") + kind + size,
                                std::string("ThreadedEnet") + kind + size);
        }
    benchmark::Shutdown();
    g_host->Release();
    g_guest->Release();
    enet_host_destroy(g_client);
    enet_host_destroy(g_server);
    g_threadedClient.Finish();
    g_threadedServer.Finish();
    shutdown(g_tcp, SHUT_RDWR);
    close(g_tcp);
    g_tcpEcho.join();
    VkUninitialise();
    return 0;
}
