// A machine of a network session for the multi-process tests, driven line by line on its
// standard input; every command is answered with one line on its standard output. It uses the
// Network component over the category's transport, as the game does, or (as "hostile") a bare
// transport that sends forged layer messages. It ends by itself on "quit", when its input
// closes, or after kLifetimeMs.
#include "framework/core/framework.h"
#include "framework/network/network.h"
#include "platform/dplay/dplay.h"

#include <poll.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstring>
#include <map>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace {

constexpr int kLifetimeMs = 60000;
constexpr uint32_t kBurstType = 20;
constexpr uint32_t kPingType = 21;

IVkNetwork* g_net = nullptr;
IVkTransport* g_bare = nullptr; // hostile mode
uint32_t g_local = 0;
bool g_polling = true;
bool g_lost = false;

// What arrived of bursts: count, whether in order and intact, and repeats.
uint32_t g_got = 0, g_next = 0, g_bad = 0, g_pings = 0;

uint8_t Pattern(uint32_t seq, uint32_t i) {
    return static_cast<uint8_t>(seq * 31 + i * 7 + (i >> 8));
}

int32_t OnMessage(VkNetMessage* m) {
    if (m->length < 8) return 0;
    const uint32_t type = VkNetGetU32(m->payload);
    if (type == kPingType) ++g_pings;
    if (type != kBurstType) return 0;
    const uint32_t seq = VkNetGetU32(m->payload + 4);
    if (seq != g_next) ++g_bad;
    g_next = seq + 1;
    for (uint32_t i = 8; i < m->length; ++i)
        if (m->payload[i] != Pattern(seq, i)) {
            ++g_bad;
            break;
        }
    ++g_got;
    return 0;
}

bool OpenNetwork() {
    void* object = nullptr;
    if (VkCreateInstance(CLSID_VkNetwork, nullptr, 0, IID_IVkNetwork, &object) < 0) return false;
    g_net = static_cast<IVkNetwork*>(object);
    g_net->SetMessageCallBack(OnMessage);
    uint32_t timeout = 8000;
    g_net->SetOption(kVkNetOptionTimeout, &timeout);
    return g_net->Initialise() == VK_OK && g_net->SelectService(kVkServiceTcpIp) == VK_OK &&
           g_net->SetOption(kVkNetOptionTcpAddress, const_cast<char*>("127.0.0.1")) == VK_OK &&
           g_net->OpenService(kVkServiceTcpIp) == VK_OK;
}

std::string Host(uint16_t port) {
    if (port == 0) port = PlatformDplayFreePort();
    PlatformDplaySetPort(port);
    uint32_t player = 0;
    if (!OpenNetwork() || g_net->HostSession("reef", &g_local) != VK_OK ||
        g_net->CreatePlayer(g_local, &player, 0) != VK_OK)
        return "fail";
    return "ok " + std::to_string(g_local) + " " + std::to_string(player) + " " +
           std::to_string(port);
}

std::string Join(uint16_t port) {
    PlatformDplaySetPort(port);
    uint32_t player = 0, count = 0;
    void* entry = nullptr;
    if (!OpenNetwork()) return "fail to open";
    if (g_net->EnumSessions(&count) != VK_OK || count == 0 ||
        g_net->GetSessionDesc(0, &entry) != VK_OK)
        return "fail to find";
    if (g_net->JoinSession(static_cast<char*>(entry), &g_local) != VK_OK) return "fail to join";
    if (g_net->CreatePlayer(g_local, &player, 0) != VK_OK) return "fail to get a player";
    return "ok " + std::to_string(g_local) + " " + std::to_string(player);
}

// A bare transport in the session, with a transport player of its own and no layer above it.
std::string Hostile(uint16_t port) {
    PlatformDplaySetPort(port);
    void* object = nullptr;
    if (VkCreateInstance(CLSID_VkDx6Transport, nullptr, 0, IID_IVkTransport, &object) < 0)
        return "fail";
    g_bare = static_cast<IVkTransport*>(object);
    uint32_t count = 0;
    if (g_bare->Start() != VK_OK || g_bare->SetOption(1, const_cast<char*>("127.0.0.1")) != VK_OK ||
        g_bare->OpenService(kVkServiceTcpIp) != VK_OK || g_bare->EnumSessions(&count) != VK_OK ||
        g_bare->JoinSession("reef") != VK_OK || g_bare->CreatePlayer(&g_local) != VK_OK)
        return "fail";
    return "ok " + std::to_string(g_local);
}

VkResult SendWords(uint32_t to, std::vector<uint32_t> words, size_t bytes) {
    std::vector<uint8_t> payload(words.size() * 4);
    for (size_t i = 0; i < words.size(); ++i)
        VkNetPutU32(payload.data() + 4 * i, words[i]);
    payload.resize(bytes);
    VkNetMessage m = {kVkNetHeaderWord, g_local, to, static_cast<uint32_t>(payload.size()),
                      payload.data()};
    return to ? g_bare->Send(&m, 1) : g_bare->SendToAll(&m, 1);
}

// Layer messages no honest peer sends, to everyone and to the host: a host announcement, the
// removal of another's player, a player added, player lists (one of 6 bytes), a newcomer.
std::string Forge(uint32_t host, uint32_t victim) {
    for (uint32_t to : {0u, host}) {
        SendWords(to, {kVkNetHostAnnounce, 999}, 8);
        SendWords(to, {kVkNetPlayerRemoved, victim}, 8);
        SendWords(to, {kVkNetPlayerAdded, 77, g_local}, 12);
        SendWords(to, {kVkNetPlayerList, 0}, 6);
        SendWords(to, {kVkNetPlayerList, 77, g_local}, 12);
        SendWords(to, {kVkNetNewcomer, 0}, 8);
    }
    // Last, a game message: once it is seen, everything before it has been handled.
    SendWords(0, {kPingType, 0}, 8);
    return "forged";
}

// Sends n guaranteed messages of the given size to everyone; reports failures and how often
// the game thread waited meanwhile.
std::string Burst(uint32_t n, uint32_t size, uint32_t to) {
    const uint32_t waits = PlatformDplayWaitCount();
    std::vector<uint8_t> block(kVkNetHeaderSize + size_t{size});
    uint32_t failures = 0;
    for (uint32_t seq = 0; seq < n; ++seq) {
        auto* m = reinterpret_cast<VkNetMessage*>(block.data());
        uint8_t* payload = block.data() + kVkNetHeaderSize;
        VkNetPutU32(payload, kBurstType);
        VkNetPutU32(payload + 4, seq);
        for (uint32_t i = 8; i < size; ++i)
            payload[i] = Pattern(seq, i);
        *m = {kVkNetHeaderWord, g_local, to, static_cast<uint32_t>(block.size()), nullptr};
        if ((to ? g_net->Send(m, kVkSendGuaranteed) : g_net->SendToAll(m, kVkSendGuaranteed)) !=
            VK_OK)
            ++failures;
    }
    return "sent " + std::to_string(failures) + " " +
           std::to_string(PlatformDplayWaitCount() - waits);
}

std::string Players() {
    uint32_t hostId = 0, n = 0;
    g_net->GetHostId(&hostId);
    g_net->GetNumPlayers(&n);
    std::map<uint32_t, uint32_t> owners;
    for (uint32_t i = 0; i < n; ++i) {
        uint32_t id = 0, owner = 0;
        if (g_net->GetPlayerByIndex(i, &id) == VK_OK && g_net->GetPlayerOwner(id, &owner) == VK_OK)
            owners[id] = owner;
    }
    std::string out = "players " + std::to_string(hostId) + " " + std::to_string(n);
    for (auto [id, owner] : owners)
        out += " " + std::to_string(id) + ":" + std::to_string(owner);
    return out;
}

// After the session is lost: what the operations that touch the session answer.
std::string TryOperations() {
    std::vector<uint8_t> block(kVkNetHeaderSize + 8);
    auto* m = reinterpret_cast<VkNetMessage*>(block.data());
    *m = {kVkNetHeaderWord, g_local, 0, static_cast<uint32_t>(block.size()), nullptr};
    VkNetPutU32(block.data() + kVkNetHeaderSize, kPingType);
    const VkResult sent = g_net->SendToAll(m, kVkSendGuaranteed);
    uint32_t timeout = 200, id = 0, player = 0;
    g_net->SetOption(kVkNetOptionTimeout, &timeout);
    const VkResult created = g_net->CreatePlayer(g_local, &id, 0);
    const VkResult transportPlayer = g_net->CreateTransportPlayer(&player);
    const VkResult destroyed = g_net->DestroyTransportPlayer(g_local);
    const VkResult polled = g_net->Poll();
    auto hex = [](VkResult r) { return std::to_string(static_cast<uint32_t>(r)); };
    return "ops " + hex(sent) + " " + hex(created) + " " + hex(transportPlayer) + " " +
           hex(destroyed) + " " + hex(polled);
}

std::string Run(const std::string& line) {
    std::istringstream in(line);
    std::string command;
    in >> command;
    uint32_t a = 0, b = 0, c = 0;
    in >> a >> b >> c;
    if (command == "host") return Host(static_cast<uint16_t>(a));
    if (command == "join") return Join(static_cast<uint16_t>(a));
    if (command == "hostile") return Hostile(static_cast<uint16_t>(a));
    if (command == "forge") return Forge(a, b);
    if (command == "burst") return Burst(a, b, c);
    if (command == "pause") {
        std::this_thread::sleep_for(std::chrono::milliseconds(a));
        return "resumed";
    }
    if (command == "hold") {
        g_polling = false;
        return "holding";
    }
    if (command == "poll") {
        g_polling = true;
        return "polling";
    }
    if (command == "count")
        return "got " + std::to_string(g_got) + " " + std::to_string(g_bad);
    if (command == "ping") {
        std::vector<uint8_t> block(kVkNetHeaderSize + 8);
        auto* m = reinterpret_cast<VkNetMessage*>(block.data());
        *m = {kVkNetHeaderWord, g_local, 0, static_cast<uint32_t>(block.size()), nullptr};
        VkNetPutU32(block.data() + kVkNetHeaderSize, kPingType);
        return g_net->SendToAll(m, kVkSendGuaranteed) == VK_OK ? "pinged" : "fail";
    }
    if (command == "pings") return "pings " + std::to_string(g_pings);
    if (command == "players") return Players();
    if (command == "lost") return g_lost ? "lost 1" : "lost 0";
    if (command == "ops") return TryOperations();
    return "unknown";
}

} // namespace

int main() {
    if (VkInitialise(nullptr) < 0) return 1;
    IVkRegistry* registry = nullptr;
    VkGetRegistries(nullptr, &registry);
    VkRegisterStandardComponents(registry);
    VkRegisterMediaComponents(registry);
    setvbuf(stdout, nullptr, _IOLBF, 0);

    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(kLifetimeMs);
    std::string pending;
    bool quit = false;
    while (!quit && std::chrono::steady_clock::now() < end) {
        if (g_net && g_polling && g_net->Poll() != VK_OK) g_lost = true;
        if (g_bare) {
            VkTransportRecord r;
            while (g_bare->Receive(&r, 0) == VK_OK) {
            }
        }
        pollfd p = {0, POLLIN, 0};
        if (poll(&p, 1, 2) <= 0) continue;
        char chunk[256];
        const ssize_t n = read(0, chunk, sizeof chunk);
        if (n <= 0) break; // the test has gone
        pending.append(chunk, static_cast<size_t>(n));
        size_t at;
        while (!quit && (at = pending.find('\n')) != std::string::npos) {
            const std::string line = pending.substr(0, at);
            pending.erase(0, at + 1);
            if (line == "quit") {
                quit = true;
                break;
            }
            std::printf("%s\n", Run(line).c_str());
        }
    }
    if (g_net) {
        g_net->CloseSession();
        g_net->Release();
    }
    if (g_bare) g_bare->Release();
    VkUninitialise();
    return 0;
}
