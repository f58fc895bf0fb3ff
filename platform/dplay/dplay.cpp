#include "platform/dplay/dplay.h"

#include "platform/dplay/dplay_log.h"
#include "platform/win32/inputlog.h"

#include "platform/dplay/dplay_packet.h"

#include <arpa/inet.h>
#include <enet/enet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/eventfd.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <mutex>
#include <random>
#include <string>
#include <thread>
#include <vector>

const GUID CLSID_DirectPlay = {
    0xD1EB6D20, 0x8923, 0x11D0, {0x9D, 0x97, 0x00, 0xA0, 0xC9, 0x0A, 0x43, 0xCB}};
const GUID CLSID_DirectPlayLobby = {
    0x2FE8F810, 0xB2A5, 0x11D0, {0xA7, 0x87, 0x00, 0x00, 0xF8, 0x03, 0xAB, 0xFC}};
const GUID IID_IDirectPlay3A = {
    0x133EFE41, 0xCCCB, 0x11D0, {0x9C, 0xC7, 0x00, 0xA0, 0xC9, 0x05, 0x43, 0x3C}};
const GUID IID_IDirectPlay4A = {
    0x0AB1C531, 0x4745, 0x11D1, {0xA7, 0xA1, 0x00, 0x00, 0xF8, 0x03, 0xAB, 0xFC}};
const GUID IID_IDirectPlayLobby2A = {
    0x1BB4AF80, 0xA303, 0x11D0, {0x9C, 0x4F, 0x00, 0xA0, 0xC9, 0x05, 0x42, 0x5E}};
const GUID IID_IDirectPlayLobby3A = {
    0x2DB72491, 0x652C, 0x11D1, {0xA7, 0xA8, 0x00, 0x00, 0xF8, 0x03, 0xAB, 0xFC}};
const GUID DPSPGUID_TCPIP = {
    0x36E95EE0, 0x8577, 0x11CF, {0x96, 0x0C, 0x00, 0x80, 0xC7, 0x53, 0x4E, 0x82}};
const GUID DPSPGUID_IPX = {
    0x685BC400, 0x9D2C, 0x11CF, {0xA9, 0xCD, 0x00, 0xAA, 0x00, 0x68, 0x86, 0xE3}};
const GUID DPSPGUID_MODEM = {
    0x44EAA760, 0xCB68, 0x11CF, {0x9C, 0x4E, 0x00, 0xA0, 0xC9, 0x05, 0x42, 0x5E}};
const GUID DPSPGUID_SERIAL = {
    0x0F1D6860, 0x88D9, 0x11CF, {0x9C, 0x4E, 0x00, 0xA0, 0xC9, 0x05, 0x42, 0x5E}};
const GUID DPAID_ServiceProvider = {
    0x07D916C0, 0xE0AF, 0x11CF, {0x9C, 0x4E, 0x00, 0xA0, 0xC9, 0x05, 0x42, 0x5E}};
const GUID DPAID_INet = {
    0xC4A54DA0, 0xE0AF, 0x11CF, {0x9C, 0x4E, 0x00, 0xA0, 0xC9, 0x05, 0x42, 0x5E}};
const GUID DPAID_Modem = {
    0xF6DCC200, 0xA2FE, 0x11D0, {0x9C, 0x4F, 0x00, 0xA0, 0xC9, 0x05, 0x42, 0x5E}};
const GUID DPAID_Phone = {
    0x78EC89A0, 0xE0AF, 0x11CF, {0x9C, 0x4E, 0x00, 0xA0, 0xC9, 0x05, 0x42, 0x5E}};
const GUID DPAID_ComPort = {
    0xF2F0CE00, 0xE0AF, 0x11CF, {0x9C, 0x4E, 0x00, 0xA0, 0xC9, 0x05, 0x42, 0x5E}};

namespace {

using Clock = std::chrono::steady_clock;

constexpr uint16_t kDefaultPort = 47624;
constexpr DPID kFirstPlayerId = 100;
// A peer that acknowledges nothing for this long is gone.
constexpr uint32_t kPeerTimeoutMs = 5000;
// Data queued for a peer and not yet acknowledged, and data received from a peer and not yet
// taken by the game: a peer past either is disconnected.
constexpr uint64_t kMaxUnacknowledged = 64ull << 20;
constexpr uint64_t kMaxUntaken = 64ull << 20;
constexpr size_t kMaxMachines = 32; // the host included
constexpr size_t kMaxPlayersPerMachine = 16;
constexpr size_t kSparePeers = 8; // queries and machines being turned away
constexpr size_t kHostPeers = kMaxMachines - 1 + kSparePeers;
// How long the game thread waits for a session answer, and how long a new host keeps the
// players of machines that have not come back to it.
constexpr uint32_t kEnumWaitMs = 1000;
constexpr uint32_t kReplyWaitMs = kPeerTimeoutMs + 1000;
constexpr uint32_t kRejoinWaitMs = kPeerTimeoutMs + 1000;
// The machines of a session see their host go at slightly different times, so a new host keeps
// the others' players longer than they try to reach it.
constexpr uint32_t kHoldForRejoinMs = kRejoinWaitMs + 3000;
constexpr uint32_t kRejoinRetryMs = 100;
// A machine that leaves lets its peers hear so for at most this long.
constexpr uint32_t kLeaveWaitMs = 500;
// The service thread wakes at least this often for the connection timers.
constexpr int kServiceTickMs = 10;
constexpr size_t kChannels = 2; // 0: reliable ordered; 1: unreliable sequenced
// What a connection asks for, in its connect data.
constexpr enet_uint32 kConnectQuery = 0x51555259;
constexpr enet_uint32 kConnectJoin = 0x4A4F494E;
constexpr enet_uint32 kConnectRejoin = 0x524A4E53;
// Why a host disconnects a machine, in the disconnect data.
constexpr enet_uint32 kDisconnectDropped = 0x44524F50;

constexpr int kLocal = -1;   // owner of a player of this machine
constexpr int kPending = -2; // owner of a player whose machine has not come back to a new host

uint16_t g_port = 0;
std::atomic<uint32_t> g_waits{0};

uint16_t Port() {
    return g_port ? g_port : kDefaultPort;
}

bool StartEnet() {
    static const bool started = enet_initialize() == 0;
    return started;
}

struct Provider {
    const GUID* guid;
    const char* name;
};
const Provider kProviders[] = {
    {&DPSPGUID_IPX, "IPX Connection For DirectPlay"},
    {&DPSPGUID_TCPIP, "Internet TCP/IP Connection For DirectPlay"},
    {&DPSPGUID_MODEM, "Modem Connection For DirectPlay"},
    {&DPSPGUID_SERIAL, "Serial Connection For DirectPlay"},
};

// Compound addresses: a u32 total size, then elements {GUID, u32 size, bytes}.
uint32_t AddressSize(const DPCOMPOUNDADDRESSELEMENT* elements, uint32_t count) {
    uint64_t total = 4;
    for (uint32_t i = 0; i < count; ++i)
        total += sizeof(GUID) + 4 + uint64_t{elements[i].dwDataSize};
    return total > UINT32_MAX ? 0 : static_cast<uint32_t>(total);
}

// Finds an element of an address; false when absent or the address is malformed.
bool FindElement(const void* address, const GUID& type, const uint8_t** data, uint32_t* size) {
    auto* p = static_cast<const uint8_t*>(address);
    const uint32_t total = DplayGetU32(p);
    uint32_t at = 4;
    while (total >= at && total - at >= sizeof(GUID) + 4) {
        GUID g;
        std::memcpy(&g, p + at, sizeof g);
        const uint32_t length = DplayGetU32(p + at + sizeof g);
        at += sizeof g + 4;
        if (length > total - at) return false;
        if (g == type) {
            *data = p + at;
            *size = length;
            return true;
        }
        at += length;
    }
    return false;
}

// Per connection of a session host (indexed like the ENet peers) or of a client (index 0: its
// host). Used only by the service thread, except the untaken count, which the lock guards.
struct Connection {
    bool joined = false;
    uint32_t order = 0;       // place in the order of joining, from 1
    uint64_t unacknowledged = 0;
    uint64_t untaken = 0;     // bytes of this peer's messages waiting for the game
    uint32_t generation = 0;  // changes when the peer goes, so stale counts are not taken off
};

struct Player {
    DPID id;
    int owner; // connection index, kLocal or kPending
};

// A message or system notice waiting for the game. Data lies in the packet after its header.
struct Incoming {
    DPID from;
    DPID to;
    ENetPacket* packet; // null for a system notice
    uint32_t systemType;
    DPID systemId;
    int connection; // whose untaken count it is on, -1 for none
    uint32_t generation;
};

enum CommandKind { kCommandData, kCommandRequest, kCommandCreated, kCommandDestroyed };
struct Command {
    CommandKind kind;
    ENetPacket* packet; // data
    DPID id;            // created or destroyed player
};

// A message for a player whose machine has not yet come back to a new host.
struct Held {
    ENetPacket* packet;
    DPID to;
};

// The lock between the game thread and the service thread. Both hold it for a few microseconds
// at a time, and both take it once or more per message; a plain mutex puts the loser to sleep in
// the kernel at once, and with messages streaming each way the two threads then hand the lock
// over through a sleep and a wake-up per message, each costing a trip through the scheduler
// (far longer than the hold on a loaded machine). This one spins briefly before it sleeps.
class SpinningMutex {
public:
    void lock() {
        for (int i = 0; i < kSpins; ++i) {
            if (mu_.try_lock()) return;
#if defined(__x86_64__) || defined(__i386__)
            __builtin_ia32_pause();
#endif
        }
        mu_.lock();
    }
    bool try_lock() { return mu_.try_lock(); }
    void unlock() { mu_.unlock(); }

private:
    static constexpr int kSpins = 2000; // some tens of microseconds at most
    std::mutex mu_;
};
using Lock = std::unique_lock<SpinningMutex>;

void OnPacketFreed(ENetPacket* packet) {
    auto* c = static_cast<Connection*>(packet->userData);
    if (c) c->unacknowledged -= std::min<uint64_t>(c->unacknowledged, packet->dataLength);
}

ENetPacket* MakePacket(uint32_t type, uint32_t a, uint32_t b, const void* body, size_t size,
                       bool reliable) {
    ENetPacket* p = enet_packet_create(nullptr, kDplayPacketHeader + size,
                                       reliable ? ENET_PACKET_FLAG_RELIABLE : 0);
    if (!p) return nullptr;
    DplayWriteHeader(p->data, type, a, b);
    if (size) std::memcpy(p->data + kDplayPacketHeader, body, size);
    return p;
}

ENetPacket* CopyPacket(const ENetPacket* p) {
    return enet_packet_create(p->data, p->dataLength, p->flags & ENET_PACKET_FLAG_RELIABLE);
}

void SetPeerTimeout(ENetPeer* peer) {
    enet_peer_timeout(peer, 0, kPeerTimeoutMs, kPeerTimeoutMs);
}

ENetHost* MakeHost(const ENetAddress* address, size_t peers) {
    ENetHost* h = enet_host_create(address, peers, kChannels, 0, 0);
    if (h) h->maximumPacketSize = kDplayPacketHeader + kDplayMaxMessage;
    return h;
}

class DirectPlay final : public IDirectPlay {
public:
    DirectPlay() = default;

    HRESULT QueryInterface(REFIID iid, void** out) override {
        return DplaySessionQueryInterface(this, iid, out);
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        if (--refs_ > 0) return refs_;
        Close();
        delete this;
        return 0;
    }

    HRESULT EnumConnections(const GUID*, LPDPENUMCONNECTIONSCALLBACK callback, void* context,
                            uint32_t) override {
        if (!callback) return DPERR_INVALIDPARAMS;
        for (const Provider& p : kProviders) {
            DPCOMPOUNDADDRESSELEMENT e = {DPAID_ServiceProvider, sizeof(GUID), p.guid};
            std::vector<uint8_t> address(AddressSize(&e, 1));
            WriteAddress(&e, 1, address.data());
            DPNAME name = {sizeof(DPNAME), 0, p.name, p.name};
            if (!callback(p.guid, address.data(), static_cast<uint32_t>(address.size()), &name,
                          DPCONNECTION_DIRECTPLAY, context))
                break;
        }
        return DP_OK;
    }

    HRESULT InitializeConnection(const void* connection, uint32_t) override {
        if (!connection) return DPERR_INVALIDPARAMS;
        if (initialised_) return DPERR_ALREADYINITIALIZED;
        const uint8_t* data = nullptr;
        uint32_t size = 0;
        if (!FindElement(connection, DPAID_ServiceProvider, &data, &size) || size != sizeof(GUID))
            return DPERR_INVALIDPARAMS;
        GUID provider;
        std::memcpy(&provider, data, sizeof provider);
        // Only the TCP/IP provider exists here; the others find no device.
        if (!(provider == DPSPGUID_TCPIP)) return DPERR_UNAVAILABLE;
        if (!StartEnet()) return DPERR_GENERIC;
        host_ = "127.0.0.1";
        if (FindElement(connection, DPAID_INet, &data, &size) && size > 0)
            host_.assign(reinterpret_cast<const char*>(data),
                         strnlen(reinterpret_cast<const char*>(data), size));
        if (host_.empty()) host_ = "127.0.0.1";
        initialised_ = true;
        return DP_OK;
    }

    HRESULT Open(const DPSESSIONDESC2* desc, uint32_t flags) override {
        if (!desc) return DPERR_INVALIDPARAMS;
        if (!initialised_) return DPERR_UNINITIALIZED;
        if (thread_.joinable()) return DPERR_ALREADYINITIALIZED;
        if (flags & DPOPEN_CREATE) return Host(*desc);
        if (flags & DPOPEN_JOIN) return Join(*desc);
        return DPERR_INVALIDFLAGS;
    }

    HRESULT Close() override {
        if (thread_.joinable()) {
            {
                std::lock_guard<SpinningMutex> lock(mu_);
                stop_ = true;
            }
            Wake();
            thread_.join();
        }
        if (wake_ >= 0) close(wake_);
        wake_ = -1;
        std::lock_guard<SpinningMutex> lock(mu_);
        for (Incoming& m : inbox_)
            if (m.packet) enet_packet_destroy(m.packet);
        inbox_.clear();
        inboxSize_ = 0;
        for (Command& c : outbox_)
            if (c.packet) enet_packet_destroy(c.packet);
        outbox_.clear();
        players_.clear();
        mode_ = kNone;
        open_ = false;
        stop_ = false;
        return DP_OK;
    }

    HRESULT EnumSessions(const DPSESSIONDESC2* desc, uint32_t, LPDPENUMSESSIONSCALLBACK2 callback,
                         void* context, uint32_t) override {
        if (!desc || !callback) return DPERR_INVALIDPARAMS;
        if (!initialised_) return DPERR_UNINITIALIZED;
        DplaySessionInfo info;
        uint32_t players = 0;
        if (Query(&info, &players) &&
            (desc->guidApplication == GUID{} || info.application == desc->guidApplication)) {
            DPSESSIONDESC2 found = {};
            found.dwSize = sizeof found;
            found.guidInstance = info.instance;
            found.guidApplication = info.application;
            found.lpszSessionNameA = info.name.c_str();
            found.dwCurrentPlayers = players;
            uint32_t timeout = 0;
            callback(&found, &timeout, 0, context);
        }
        uint32_t timeout = 0;
        callback(nullptr, &timeout, DPESC_TIMEDOUT, context);
        return DP_OK;
    }

    HRESULT CreatePlayer(DPID* id, const DPNAME*, void*, const void*, uint32_t,
                         uint32_t flags) override {
        if (!id) return DPERR_INVALIDPARAMS;
        if (flags) return DPERR_INVALIDFLAGS;
        Lock lock(mu_);
        if (mode_ == kHost) {
            if (LocalCount() >= kMaxPlayersPerMachine) return DPERR_CANTADDPLAYER;
            *id = nextId_++;
            players_.push_back({*id, kLocal});
            outbox_.push_back({kCommandCreated, nullptr, *id});
            lock.unlock();
            Wake();
            return DP_OK;
        }
        if (mode_ != kClient && mode_ != kRejoining) return DPERR_NOCONNECTION;
        granted_ = 0;
        awaitingGrant_ = true;
        outbox_.push_back({kCommandRequest, nullptr, 0});
        Wake();
        ++g_waits;
        const bool answered = changed_.wait_for(
            lock, std::chrono::milliseconds(kReplyWaitMs),
            [this] { return !awaitingGrant_ || (mode_ != kClient && mode_ != kRejoining); });
        awaitingGrant_ = false;
        if (!answered || granted_ == 0) return DPERR_CANTADDPLAYER;
        *id = granted_;
        return DP_OK;
    }

    HRESULT DestroyPlayer(DPID id) override {
        Lock lock(mu_);
        if (mode_ == kNone) return DPERR_INVALIDOBJECT;
        auto it = std::find_if(players_.begin(), players_.end(),
                               [id](const Player& p) { return p.id == id && p.owner == kLocal; });
        if (it == players_.end()) return DPERR_INVALIDPLAYER;
        players_.erase(it);
        std::erase_if(inbox_, [this, id](Incoming& m) {
            if (m.to != id) return false;
            Forget(m);
            return true;
        });
        inboxSize_ = inbox_.size();
        outbox_.push_back({kCommandDestroyed, nullptr, id});
        lock.unlock();
        Wake();
        return DP_OK;
    }

    HRESULT Send(DPID from, DPID to, uint32_t flags, const void* data, uint32_t size) override {
        if (size > kDplayMaxMessage) return DPERR_SENDTOOBIG;
        if (size == 0 || !data) return DPERR_INVALIDPARAMS;
        // The packet is made outside the lock, which is then taken once to check and queue it;
        // the service thread sends it.
        ENetPacket* p = MakePacket(kDplayData, from, to, data, size, flags & DPSEND_GUARANTEED);
        if (!p) return DPERR_OUTOFMEMORY;
        HRESULT refused = DP_OK;
        {
            std::lock_guard<SpinningMutex> lock(mu_);
            if (mode_ != kHost && mode_ != kClient && mode_ != kRejoining)
                refused = mode_ == kNone ? DPERR_INVALIDOBJECT : DPERR_NOCONNECTION;
            else if (!IsLocal(from) || (to != DPID_ALLPLAYERS && !Known(to)))
                refused = DPERR_INVALIDPLAYER;
            else
                outbox_.push_back({kCommandData, p, 0});
        }
        if (refused != DP_OK) {
            enet_packet_destroy(p);
            return refused;
        }
        Wake();
        return DP_OK;
    }

    HRESULT Receive(DPID* from, DPID* to, uint32_t flags, void* data, uint32_t* size) override {
        if (!from || !to || !size) return DPERR_INVALIDPARAMS;
        // A game that polls an empty queue does not hold up the service thread.
        if (inboxSize_.load(std::memory_order_acquire) == 0 && open_.load()) return DPERR_NOMESSAGES;
        std::lock_guard<SpinningMutex> lock(mu_);
        if (mode_ == kNone) return DPERR_INVALIDOBJECT;
        if (inbox_.empty()) return DPERR_NOMESSAGES;
        Incoming& m = inbox_.front();
        DPMSG_PLAYER notice = {m.systemType, 0, m.systemId};
        const uint8_t* bytes = reinterpret_cast<const uint8_t*>(&notice);
        uint32_t length = sizeof notice;
        if (m.packet) {
            bytes = m.packet->data + kDplayPacketHeader;
            length = static_cast<uint32_t>(m.packet->dataLength - kDplayPacketHeader);
        }
        if (!data || *size < length) {
            *size = length;
            return DPERR_BUFFERTOOSMALL;
        }
        std::memcpy(data, bytes, length);
        *from = m.from;
        *to = m.to;
        *size = length;
        if (!(flags & DPRECEIVE_PEEK)) {
            Forget(m);
            inbox_.pop_front();
            inboxSize_ = inbox_.size();
        }
        return DP_OK;
    }

    HRESULT GetMessageCount(DPID id, uint32_t* count) override {
        if (!count) return DPERR_INVALIDPARAMS;
        std::lock_guard<SpinningMutex> lock(mu_);
        if (mode_ == kNone) return DPERR_INVALIDOBJECT;
        if (!IsLocal(id)) return DPERR_INVALIDPLAYER;
        *count = static_cast<uint32_t>(std::count_if(
            inbox_.begin(), inbox_.end(), [id](const Incoming& m) { return m.to == id; }));
        return DP_OK;
    }

    static void WriteAddress(const DPCOMPOUNDADDRESSELEMENT* elements, uint32_t count, void* out) {
        auto* p = static_cast<uint8_t*>(out);
        DplayPutU32(p, AddressSize(elements, count));
        p += 4;
        for (uint32_t i = 0; i < count; ++i) {
            std::memcpy(p, &elements[i].guidDataType, sizeof(GUID));
            DplayPutU32(p + sizeof(GUID), elements[i].dwDataSize);
            p += sizeof(GUID) + 4;
            if (elements[i].dwDataSize) std::memcpy(p, elements[i].lpData, elements[i].dwDataSize);
            p += elements[i].dwDataSize;
        }
    }

private:
    enum Mode { kNone, kHost, kClient, kJoining, kRejoining, kLost };

    // Game thread: asks the session port for the session's description, waiting a bounded time.
    bool Query(DplaySessionInfo* info, uint32_t* players) {
        ENetAddress address = {};
        if (enet_address_set_host(&address, host_.c_str()) != 0) return false;
        address.port = Port();
        ENetHost* h = MakeHost(nullptr, 1);
        if (!h) return false;
        bool found = false;
        ENetPeer* peer = enet_host_connect(h, &address, kChannels, kConnectQuery);
        if (peer) {
            ++g_waits;
            const auto deadline = Clock::now() + std::chrono::milliseconds(kEnumWaitMs);
            ENetEvent ev;
            while (!found && Clock::now() < deadline) {
                const int r = enet_host_service(h, &ev, kServiceTickMs);
                if (r < 0) break;
                if (r == 0) continue;
                if (ev.type == ENET_EVENT_TYPE_DISCONNECT) break;
                if (ev.type != ENET_EVENT_TYPE_RECEIVE) continue;
                DplayPacket p;
                if (DplayDecodePacket(ev.packet->data, ev.packet->dataLength, &p) &&
                    DplayReadSessionInfo(p, info)) {
                    *players = p.a;
                    found = true;
                }
                enet_packet_destroy(ev.packet);
            }
            enet_peer_disconnect_now(peer, 0);
        }
        enet_host_destroy(h);
        return found;
    }

    HRESULT Host(const DPSESSIONDESC2& desc) {
        ENetAddress address = {};
        address.host = g_port ? htonl(0x7F000001) : ENET_HOST_ANY;
        address.port = Port();
        ENetHost* h = MakeHost(&address, kHostPeers);
        if (!h) return DPERR_GENERIC;
        std::random_device random;
        GUID instance = {random(), static_cast<uint16_t>(random()), static_cast<uint16_t>(random()),
                         {}};
        const uint64_t now = static_cast<uint64_t>(Clock::now().time_since_epoch().count());
        std::memcpy(instance.Data4, &now, sizeof instance.Data4);
        {
            std::lock_guard<SpinningMutex> lock(mu_);
            mode_ = kHost;
            name_ = desc.lpszSessionNameA ? desc.lpszSessionNameA : "";
            name_.resize(std::min(name_.size(), kDplayMaxName));
            application_ = desc.guidApplication;
            instance_ = instance;
            sessionPort_ = Port();
            nextId_ = kFirstPlayerId;
            lastOrder_ = 0;
        }
        if (!StartService(h)) return DPERR_GENERIC;
        return DP_OK;
    }

    HRESULT Join(const DPSESSIONDESC2& desc) {
        ENetAddress address = {};
        if (enet_address_set_host(&address, host_.c_str()) != 0) return DPERR_NOCONNECTION;
        address.port = Port();
        ENetHost* h = MakeHost(nullptr, 1);
        if (!h) return DPERR_GENERIC;
        ENetPeer* peer = enet_host_connect(h, &address, kChannels, kConnectJoin);
        if (!peer) {
            enet_host_destroy(h);
            return DPERR_NOCONNECTION;
        }
        SetPeerTimeout(peer);
        Lock lock(mu_);
        mode_ = kJoining;
        instance_ = desc.guidInstance;
        application_ = desc.guidApplication; // described by this machine should it take over
        sessionPort_ = Port();
        server_ = peer;
        serverAddress_ = address.host;
        lock.unlock();
        if (!StartService(h)) return DPERR_GENERIC;
        lock.lock();
        ++g_waits;
        changed_.wait_for(lock, std::chrono::milliseconds(kReplyWaitMs),
                          [this] { return mode_ != kJoining; });
        if (mode_ == kClient) return DP_OK;
        lock.unlock();
        Close();
        return DPERR_NOSESSIONS;
    }

    bool StartService(ENetHost* h) {
        wake_ = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
        if (wake_ < 0) {
            enet_host_destroy(h);
            std::lock_guard<SpinningMutex> lock(mu_);
            mode_ = kNone;
            return false;
        }
        enet_ = h;
        open_ = true;
        thread_ = std::thread([this] { Serve(); });
        return true;
    }

    // Signals the service thread, once until it has looked at the queue.
    void Wake() {
        const uint64_t one = 1;
        if (wake_ >= 0 && !woken_.exchange(true)) (void)!write(wake_, &one, sizeof one);
    }

    // The service thread: waits on the socket and on the game thread's signal, sends what was
    // queued, and handles what arrives.
    void Serve() {
        std::vector<Command> commands;
        for (;;) {
            pollfd fds[2] = {{wake_, POLLIN, 0}, {enet_ ? enet_->socket : -1, POLLIN, 0}};
            poll(fds, enet_ ? 2 : 1, kServiceTickMs);
            if (fds[0].revents & POLLIN) {
                uint64_t count = 0;
                (void)!read(wake_, &count, sizeof count);
            }
            Lock lock(mu_);
            if (stop_) break;
            commands.swap(outbox_);
            woken_ = false;
            for (Command& c : commands)
                Perform(c);
            commands.clear();
            ServiceEvents(lock);
            Timers();
            lock.unlock();
            if (enet_) enet_host_flush(enet_);
        }
        // Leaving: the peers are told, and what is queued for them goes out first, briefly.
        Lock lock(mu_);
        for (Command& c : outbox_)
            if (c.kind == kCommandData) Perform(c);
        outbox_.clear();
        if (enet_) {
            std::vector<ENetPeer*> leaving;
            for (size_t i = 0; i < enet_->peerCount; ++i)
                if (enet_->peers[i].state == ENET_PEER_STATE_CONNECTED) {
                    enet_peer_disconnect_later(&enet_->peers[i], 0);
                    leaving.push_back(&enet_->peers[i]);
                }
            auto gone = [&leaving] {
                return std::all_of(leaving.begin(), leaving.end(), [](const ENetPeer* p) {
                    return p->state == ENET_PEER_STATE_DISCONNECTED ||
                           p->state == ENET_PEER_STATE_ZOMBIE;
                });
            };
            const auto deadline = Clock::now() + std::chrono::milliseconds(kLeaveWaitMs);
            ENetEvent ev;
            while (Clock::now() < deadline && !gone()) {
                if (enet_host_service(enet_, &ev, kServiceTickMs) <= 0) continue;
                if (ev.type == ENET_EVENT_TYPE_RECEIVE) enet_packet_destroy(ev.packet);
                // A machine looking for the next host finds this one gone.
                if (ev.type == ENET_EVENT_TYPE_CONNECT) enet_peer_disconnect_now(ev.peer, 0);
            }
        }
        DropHost();
        for (Held& h : held_)
            enet_packet_destroy(h.packet);
        held_.clear();
    }

    void DropHost() {
        if (enet_) enet_host_destroy(enet_); // frees what is queued; the counts follow
        enet_ = nullptr;
        server_ = nullptr;
        for (Connection& c : conns_) {
            const uint32_t generation = c.generation + 1;
            c = Connection{};
            c.generation = generation;
        }
    }

    // Handles what ENet has for this machine; the lock is let go while ENet reads the socket.
    void ServiceEvents(Lock& lock) {
        ENetEvent ev;
        while (enet_ && !replace_) {
            lock.unlock();
            const int r = enet_host_service(enet_, &ev, 0);
            lock.lock();
            if (r <= 0) break;
            const int index = static_cast<int>(ev.peer - enet_->peers);
            switch (ev.type) {
            case ENET_EVENT_TYPE_CONNECT: Connected(ev.peer, index, ev.data); break;
            case ENET_EVENT_TYPE_DISCONNECT: Disconnected(ev.peer, index, ev.data); break;
            case ENET_EVENT_TYPE_RECEIVE: {
                DplayPacket p;
                if (DplayDecodePacket(ev.packet->data, ev.packet->dataLength, &p))
                    Handle(ev.peer, index, p, ev.packet);
                else
                    enet_packet_destroy(ev.packet); // unknown, empty or oversize: dropped
                break;
            }
            default: break;
            }
        }
        if (replace_) {
            // A take-over: the old connection goes, the new host or connection takes its place.
            ENetHost* next = next_;
            ENetPeer* nextServer = nextServer_;
            replace_ = false;
            next_ = nullptr;
            nextServer_ = nullptr;
            DropHost();
            enet_ = next;
            server_ = nextServer;
        }
    }

    void Timers() {
        if (mode_ == kRejoining) Reconnect();
        if (mode_ == kHost && !enet_) Bind();
        if (mode_ == kHost && waiting_ && Clock::now() > rejoinDeadline_) {
            waiting_ = false;
            for (Held& h : held_)
                enet_packet_destroy(h.packet);
            held_.clear();
            RemoveOwnedBy(kPending);
        }
    }

    // New host: binds the session's port; the old host may not have let it go yet.
    void Bind() {
        ENetAddress address = {};
        address.host = g_port ? htonl(0x7F000001) : ENET_HOST_ANY;
        address.port = sessionPort_;
        enet_ = MakeHost(&address, kHostPeers);
        if (!enet_ && Clock::now() > rejoinDeadline_) SessionLost();
    }

    void Perform(Command& c) {
        switch (c.kind) {
        case kCommandData: {
            DplayPacket p;
            ENetPacket* packet = c.packet;
            c.packet = nullptr;
            if (DplayDecodePacket(packet->data, packet->dataLength, &p))
                Route(p.a, p.b, packet, kLocal);
            else
                enet_packet_destroy(packet);
            break;
        }
        case kCommandRequest: SendServer(MakePacket(kDplayPlayerRequest, 0, 0, nullptr, 0, true)); break;
        case kCommandCreated:
            if (mode_ == kHost) {
                Announce(DPSYS_CREATEPLAYERORGROUP, c.id, kLocal);
                TellSuccession();
            }
            break;
        case kCommandDestroyed:
            if (mode_ == kHost) {
                Announce(DPSYS_DESTROYPLAYERORGROUP, c.id, kLocal);
                TellSuccession();
            } else {
                SendServer(MakePacket(kDplayPlayerDestroyed, c.id, 0, nullptr, 0, true));
            }
            break;
        }
    }

    // Sends a packet to one peer, counting it until the peer acknowledges it; a peer past the
    // limit is dropped.
    void SendTo(int index, ENetPacket* packet) {
        if (!packet) return;
        ENetPeer* peer = enet_ ? &enet_->peers[index] : nullptr;
        if (!peer || peer->state != ENET_PEER_STATE_CONNECTED) {
            enet_packet_destroy(packet);
            return;
        }
        Connection& c = conns_[index];
        packet->userData = &c;
        packet->freeCallback = OnPacketFreed;
        c.unacknowledged += packet->dataLength;
        const bool reliable = packet->flags & ENET_PACKET_FLAG_RELIABLE;
        if (enet_peer_send(peer, reliable ? 0 : 1, packet) < 0) enet_packet_destroy(packet);
        if (c.unacknowledged > kMaxUnacknowledged) Drop(index);
    }

    // Client: to the host, or kept until the connection to a new host is up.
    void SendServer(ENetPacket* packet) {
        if (!packet) return;
        if (mode_ == kRejoining) {
            held_.push_back({packet, 0});
            return;
        }
        if (!server_ || mode_ != kClient) {
            enet_packet_destroy(packet);
            return;
        }
        SendTo(static_cast<int>(server_ - enet_->peers), packet);
    }

    void Drop(int index) {
        ENetPeer* peer = &enet_->peers[index];
        if (peer == server_) {
            enet_peer_disconnect_now(peer, 0);
            SessionLost();
            return;
        }
        enet_peer_disconnect_now(peer, kDisconnectDropped);
        Lost(index);
    }

    // Queues a data message for the game, on the count of the connection it came from.
    void Deliver(DPID from, DPID to, ENetPacket* packet, int origin) {
        Incoming m = {from, to, packet, 0, 0, -1, 0};
        if (origin >= 0) {
            m.connection = origin;
            m.generation = conns_[origin].generation;
            conns_[origin].untaken += packet->dataLength;
        }
        inbox_.push_back(m);
        inboxSize_ = inbox_.size();
        if (origin >= 0 && conns_[origin].untaken > kMaxUntaken) Drop(origin);
    }

    // Takes a message off the count of the connection it came from.
    void Forget(Incoming& m) {
        if (m.connection >= 0 && conns_[m.connection].generation == m.generation)
            conns_[m.connection].untaken -=
                std::min<uint64_t>(conns_[m.connection].untaken, m.packet->dataLength);
        if (m.packet) enet_packet_destroy(m.packet);
        m.packet = nullptr;
    }

    // Delivers a data message to its addressees: players of this machine get it in the queue,
    // the others through the host. A message never goes back where it came from. The packet is
    // used for the first addressee and copied for the others.
    void Route(DPID from, DPID to, ENetPacket* packet, int origin) {
        bool used = false;
        auto take = [&]() -> ENetPacket* {
            if (!used) {
                used = true;
                return packet;
            }
            return CopyPacket(packet);
        };
        if (mode_ == kHost) {
            bool machines[kHostPeers] = {};
            for (const Player& p : players_) {
                if (p.id == from || (to != DPID_ALLPLAYERS && to != p.id)) continue;
                if (p.owner == kLocal) {
                    if (ENetPacket* copy = take()) Deliver(from, p.id, copy, origin);
                } else if (p.owner == kPending) {
                    // Addressed to the player alone, so its machine hands it to that one.
                    if (ENetPacket* copy = take()) {
                        DplayPutU32(copy->data + 8, p.id);
                        held_.push_back({copy, p.id});
                    }
                } else if (p.owner != origin) {
                    machines[p.owner] = true;
                }
            }
            for (size_t i = 0; i < kHostPeers; ++i)
                if (machines[i]) SendTo(static_cast<int>(i), take());
        } else if (mode_ == kClient || mode_ == kRejoining) {
            for (const Player& p : players_)
                if (p.id != from && (to == DPID_ALLPLAYERS || to == p.id))
                    if (ENetPacket* copy = take()) Deliver(from, p.id, copy, origin);
            if (origin == kLocal && (to == DPID_ALLPLAYERS || !IsLocal(to))) SendServer(take());
        }
        if (!used) enet_packet_destroy(packet);
    }

    void QueueSystem(uint32_t type, DPID id) {
        inbox_.push_back({DPID_SYSMSG, FirstLocal(), nullptr, type, id, -1, 0});
        inboxSize_ = inbox_.size();
    }

    // Host: tells this machine (unless it made the change) and every joined machine except the
    // one that did.
    void Announce(uint32_t type, DPID id, int origin) {
        if (origin != kLocal) QueueSystem(type, id);
        for (size_t i = 0; i < kHostPeers; ++i)
            if (conns_[i].joined && static_cast<int>(i) != origin)
                SendTo(static_cast<int>(i), MakePacket(kDplaySystem, type, id, nullptr, 0, true));
    }

    // Host: the players of one machine (or those still away) are gone; everyone is told.
    void RemoveOwnedBy(int owner) {
        for (size_t i = 0; i < players_.size();) {
            if (players_[i].owner == owner) {
                const DPID id = players_[i].id;
                players_.erase(players_.begin() + static_cast<long>(i));
                Announce(DPSYS_DESTROYPLAYERORGROUP, id, owner);
            } else {
                ++i;
            }
        }
        TellSuccession();
    }

    // Host: a joined machine has gone.
    void Lost(int index) {
        Connection& c = conns_[index];
        const bool joined = c.joined;
        const uint32_t generation = c.generation + 1;
        const uint64_t unacknowledged = c.unacknowledged;
        c = Connection{};
        c.generation = generation;
        c.unacknowledged = unacknowledged; // packets still held by ENet come off it
        if (joined) RemoveOwnedBy(index);
    }

    // The session cannot go on: the game hears so, and every later call fails.
    void SessionLost() {
        QueueSystem(DPSYS_SESSIONLOST, 0);
        mode_ = kLost;
        players_.clear();
        waiting_ = false;
        awaitingGrant_ = false;
        if (enet_) {
            replace_ = true; // the connection goes once the events in hand are done
            next_ = nullptr;
            nextServer_ = nullptr;
        }
        changed_.notify_all();
    }

    void Connected(ENetPeer* peer, int index, uint32_t data) {
        if (mode_ == kHost) {
            SetPeerTimeout(peer);
            if (data == kConnectQuery) {
                SendTo(index, MakeSessionInfo());
                enet_peer_disconnect_later(peer, 0);
            } else if (data != kConnectJoin && data != kConnectRejoin) {
                enet_peer_disconnect_now(peer, 0);
            }
            return;
        }
        if (peer != server_) return;
        if (mode_ == kJoining) {
            SendTo(index, MakePacket(kDplayJoinRequest, 0, 0, &instance_, sizeof instance_, true));
        } else if (mode_ == kRejoining) {
            // Back with this machine's players; then what waited for the new host goes out.
            std::vector<uint8_t> body(sizeof(GUID) + 4);
            std::memcpy(body.data(), &instance_, sizeof(GUID));
            uint32_t n = 0;
            for (const Player& p : players_) {
                body.resize(body.size() + 4);
                DplayPutU32(body.data() + body.size() - 4, p.id);
                ++n;
            }
            DplayPutU32(body.data() + sizeof(GUID), n);
            SendTo(index, MakePacket(kDplayRejoin, order_, 0, body.data(), body.size(), true));
        }
    }

    void Disconnected(ENetPeer* peer, int index, uint32_t data) {
        if (mode_ == kHost) {
            Lost(index);
            return;
        }
        if (peer != server_) return;
        if (mode_ == kRejoining) {
            // The new host is not up yet, or the old one was still on the port: the timers
            // try again.
            server_ = nullptr;
            return;
        }
        if (mode_ == kJoining) {
            mode_ = kLost;
            replace_ = true;
            changed_.notify_all();
            return;
        }
        // A host that dropped this machine is still there: nothing to take over.
        if (mode_ == kClient && data == kDisconnectDropped)
            SessionLost();
        else if (mode_ == kClient)
            TakeOver();
    }

    ENetPacket* MakeSessionInfo() {
        std::vector<uint8_t> body(2 * sizeof(GUID) + name_.size());
        std::memcpy(body.data(), &instance_, sizeof(GUID));
        std::memcpy(body.data() + sizeof(GUID), &application_, sizeof(GUID));
        std::memcpy(body.data() + 2 * sizeof(GUID), name_.data(), name_.size());
        return MakePacket(kDplayEnumReply, static_cast<uint32_t>(players_.size()), 0, body.data(),
                          body.size(), true);
    }

    // Client whose host has gone: the machine that joined first takes the session over on the
    // session's port, the others come back to it there. Nobody to go on with: the session is
    // lost.
    void TakeOver() {
        for (const DplayRosterEntry& e : roster_)
            if (e.order == 0) QueueSystem(DPSYS_DESTROYPLAYERORGROUP, e.id);
        const uint32_t successor = successor_;
        successor_ = 0;
        if (successor == 0) {
            SessionLost();
            return;
        }
        if (successor == order_) {
            mode_ = kHost;
            nextId_ = successorNextId_;
            for (const DplayRosterEntry& e : roster_)
                if (e.order != 0 && e.order != order_) players_.push_back({e.id, kPending});
            lastOrder_ = order_;
            waiting_ = std::any_of(players_.begin(), players_.end(),
                                   [](const Player& p) { return p.owner == kPending; });
            rejoinDeadline_ = Clock::now() + std::chrono::milliseconds(kHoldForRejoinMs);
            roster_.clear();
            replace_ = true; // the new host's socket is bound by the timers
            QueueSystem(DPSYS_HOST, 0);
            return;
        }
        roster_.clear();
        ENetAddress address = {};
        // A successor that the old host saw on its own machine is on that host's address.
        address.host = (ntohl(successorAddress_) >> 24) == 127 ? serverAddress_ : successorAddress_;
        address.port = sessionPort_;
        ENetHost* h = MakeHost(nullptr, 1);
        ENetPeer* peer = h ? enet_host_connect(h, &address, kChannels, kConnectRejoin) : nullptr;
        if (!peer) {
            if (h) enet_host_destroy(h);
            SessionLost();
            return;
        }
        mode_ = kRejoining;
        rejoinAddress_ = address;
        rejoinDeadline_ = Clock::now() + std::chrono::milliseconds(kRejoinWaitMs);
        rejoinTries_ = 0;
        serverAddress_ = address.host;
        Rejoining(peer);
        replace_ = true;
        next_ = h;
        nextServer_ = peer;
    }

    // Survivor: a new host that does not answer yet is asked again, afresh, after a wait that
    // grows from kRejoinRetryMs, so it is found soon after it binds its port; past the deadline
    // the session is lost.
    void Reconnect() {
        const auto now = Clock::now();
        if (now > rejoinDeadline_) {
            SessionLost();
            return;
        }
        if (!enet_ || (server_ && server_->state == ENET_PEER_STATE_CONNECTED) ||
            now - rejoinAttempt_ < std::chrono::milliseconds(kRejoinRetryMs * rejoinTries_))
            return;
        if (server_) enet_peer_reset(server_);
        server_ = nullptr;
        if (ENetPeer* again = enet_host_connect(enet_, &rejoinAddress_, kChannels, kConnectRejoin))
            Rejoining(again);
    }

    void Rejoining(ENetPeer* peer) {
        rejoinAttempt_ = Clock::now();
        rejoinTries_ = std::min(rejoinTries_ + 1, 8u);
        SetPeerTimeout(peer);
        // The new host may bind its port a little later: try again soon rather than after
        // the half second a fresh connection starts with.
        peer->roundTripTime = kRejoinRetryMs;
        peer->roundTripTimeVariance = 0;
        server_ = peer;
    }

    // Host: tells every joined machine who takes over should this one leave, with the roster.
    void TellSuccession() {
        int next = -1;
        for (size_t i = 0; i < kHostPeers; ++i)
            if (conns_[i].joined && (next < 0 || conns_[i].order < conns_[next].order))
                next = static_cast<int>(i);
        std::vector<uint8_t> body(12);
        DplayPutU32(body.data(), next >= 0 ? enet_->peers[next].address.host : 0);
        DplayPutU32(body.data() + 4, nextId_);
        uint32_t n = 0;
        for (const Player& p : players_) {
            if (p.owner == kPending) continue;
            const uint32_t order = p.owner == kLocal ? 0 : conns_[p.owner].order;
            body.resize(body.size() + 8);
            DplayPutU32(body.data() + body.size() - 8, p.id);
            DplayPutU32(body.data() + body.size() - 4, order);
            ++n;
        }
        DplayPutU32(body.data() + 8, n);
        body.insert(body.end(), name_.begin(), name_.end());
        for (size_t i = 0; i < kHostPeers; ++i)
            if (conns_[i].joined)
                SendTo(static_cast<int>(i),
                       MakePacket(kDplaySuccession, conns_[i].order,
                                  next >= 0 ? conns_[next].order : 0, body.data(), body.size(),
                                  true));
    }

    bool OwnedBy(DPID id, int index) const {
        return std::any_of(players_.begin(), players_.end(),
                           [id, index](const Player& p) { return p.id == id && p.owner == index; });
    }

    size_t Joined() const {
        return static_cast<size_t>(
            std::count_if(conns_.begin(), conns_.end(), [](const Connection& c) { return c.joined; }));
    }

    // One packet from a peer; every id and size in it has been or is checked before use.
    void Handle(ENetPeer* peer, int index, const DplayPacket& p, ENetPacket* packet) {
        if (mode_ == kHost)
            HandleAtHost(peer, index, p, packet);
        else if (peer == server_)
            HandleAtClient(index, p, packet);
        else
            enet_packet_destroy(packet);
    }

    void HandleAtClient(int index, const DplayPacket& p, ENetPacket* packet) {
        switch (p.type) {
        case kDplayJoinReply:
            if (mode_ == kRejoining) {
                // The new host has this machine back; what waited for it goes out.
                if (p.a != 1) {
                    SessionLost();
                    break;
                }
                mode_ = kClient;
                for (Held& h : held_)
                    SendServer(h.packet);
                held_.clear();
            } else if (mode_ == kJoining) {
                mode_ = p.a == 1 ? kClient : kLost;
                if (mode_ == kLost) replace_ = true;
                changed_.notify_all();
            }
            break;
        case kDplaySystem:
            if (mode_ == kClient &&
                (p.a == DPSYS_CREATEPLAYERORGROUP || p.a == DPSYS_DESTROYPLAYERORGROUP))
                QueueSystem(p.a, p.b);
            break;
        case kDplayPlayerGranted:
            if (awaitingGrant_) {
                awaitingGrant_ = false;
                granted_ = p.a;
                if (p.a) players_.push_back({p.a, kLocal});
                changed_.notify_all();
            }
            break;
        case kDplayData:
            if (mode_ == kClient && (IsLocal(p.b) || p.b == DPID_ALLPLAYERS)) {
                Route(p.a, p.b, packet, index);
                return;
            }
            break;
        case kDplaySuccession: ReadSuccession(p); break;
        default: break;
        }
        enet_packet_destroy(packet);
    }

    void HandleAtHost(ENetPeer* peer, int index, const DplayPacket& p, ENetPacket* packet) {
        Connection& c = conns_[index];
        switch (p.type) {
        case kDplayJoinRequest: {
            GUID asked = {};
            const bool ok = !c.joined && DplayReadInstance(p, &asked) && asked == instance_ &&
                            Joined() < kMaxMachines - 1;
            if (ok) {
                c.joined = true;
                c.order = ++lastOrder_;
            }
            SendTo(index, MakePacket(kDplayJoinReply, ok ? 1 : 0, 0, nullptr, 0, true));
            if (ok)
                TellSuccession();
            else
                enet_peer_disconnect_later(peer, 0);
            break;
        }
        case kDplayRejoin: {
            // A machine of the session whose host has gone, coming back with its players.
            GUID asked = {};
            if (c.joined || !DplayReadRejoin(p, &asked, &ids_) || !(asked == instance_) ||
                Joined() >= kMaxMachines - 1) {
                SendTo(index, MakePacket(kDplayJoinReply, 0, 0, nullptr, 0, true));
                enet_peer_disconnect_later(peer, 0);
                break;
            }
            c.joined = true;
            c.order = p.a;
            lastOrder_ = std::max(lastOrder_, p.a);
            for (DPID id : ids_)
                for (Player& each : players_)
                    if (each.id == id && each.owner == kPending) each.owner = index;
            SendTo(index, MakePacket(kDplayJoinReply, 1, 0, nullptr, 0, true));
            // What was sent to its players meanwhile follows them now.
            for (auto it = held_.begin(); it != held_.end();) {
                if (OwnedBy(it->to, index)) {
                    SendTo(index, it->packet);
                    it = held_.erase(it);
                } else {
                    ++it;
                }
            }
            if (std::none_of(players_.begin(), players_.end(),
                             [](const Player& each) { return each.owner == kPending; }))
                waiting_ = false;
            TellSuccession();
            break;
        }
        case kDplayPlayerRequest: {
            size_t owned = 0;
            for (const Player& each : players_)
                if (each.owner == index) ++owned;
            if (!c.joined || owned >= kMaxPlayersPerMachine) {
                SendTo(index, MakePacket(kDplayPlayerGranted, 0, 0, nullptr, 0, true));
                break;
            }
            const DPID id = nextId_++;
            // Players already in the session are made known to the newcomer first.
            for (const Player& each : players_)
                if (each.owner != index)
                    SendTo(index, MakePacket(kDplaySystem, DPSYS_CREATEPLAYERORGROUP, each.id,
                                             nullptr, 0, true));
            players_.push_back({id, index});
            SendTo(index, MakePacket(kDplayPlayerGranted, id, 0, nullptr, 0, true));
            Announce(DPSYS_CREATEPLAYERORGROUP, id, index);
            TellSuccession();
            break;
        }
        case kDplayPlayerDestroyed:
            if (c.joined && OwnedBy(p.a, index)) {
                std::erase_if(players_, [&p](const Player& each) { return each.id == p.a; });
                Announce(DPSYS_DESTROYPLAYERORGROUP, p.a, index);
                TellSuccession();
            }
            break;
        case kDplayData:
            if (c.joined && OwnedBy(p.a, index) && (p.b == DPID_ALLPLAYERS || Known(p.b))) {
                Route(p.a, p.b, packet, index);
                return;
            }
            break;
        default: break;
        }
        enet_packet_destroy(packet);
    }

    // Client: what the host said about succession.
    void ReadSuccession(const DplayPacket& p) {
        DplaySuccession s;
        if (!DplayReadSuccession(p, &s)) return;
        order_ = p.a;
        successor_ = p.b;
        successorAddress_ = s.address;
        successorNextId_ = s.nextId;
        roster_ = std::move(s.roster);
        name_ = std::move(s.name);
    }

    bool IsLocal(DPID id) const {
        return std::any_of(players_.begin(), players_.end(),
                           [id](const Player& p) { return p.id == id && p.owner == kLocal; });
    }
    bool Known(DPID id) const {
        return mode_ != kHost || std::any_of(players_.begin(), players_.end(),
                                             [id](const Player& p) { return p.id == id; });
    }
    DPID FirstLocal() const {
        for (const Player& p : players_)
            if (p.owner == kLocal) return p.id;
        return 0;
    }
    size_t LocalCount() const {
        return static_cast<size_t>(std::count_if(
            players_.begin(), players_.end(), [](const Player& p) { return p.owner == kLocal; }));
    }

    uint32_t refs_ = 1;
    bool initialised_ = false;
    std::string host_; // where sessions are looked for

    // The lock guards everything below that both threads touch.
    SpinningMutex mu_;
    std::condition_variable_any changed_;
    Mode mode_ = kNone;
    bool stop_ = false;
    std::vector<Player> players_;
    std::deque<Incoming> inbox_;
    std::atomic<size_t> inboxSize_{0};
    std::atomic<bool> open_{false}; // a session is open (or lost, with its notice queued)
    std::atomic<bool> woken_{false};
    std::vector<Command> outbox_;
    bool awaitingGrant_ = false;
    DPID granted_ = 0;
    DPID nextId_ = kFirstPlayerId;
    std::string name_;
    GUID application_ = {};
    GUID instance_ = {};
    uint16_t sessionPort_ = 0;
    std::array<Connection, kHostPeers> conns_;

    // The service thread's own.
    std::thread thread_;
    int wake_ = -1;
    ENetHost* enet_ = nullptr;
    ENetPeer* server_ = nullptr; // client: the connection to the host
    uint32_t serverAddress_ = 0;
    ENetAddress rejoinAddress_ = {}; // client: where the next host is
    bool replace_ = false;       // the ENet host is replaced once the events in hand are done
    ENetHost* next_ = nullptr;
    ENetPeer* nextServer_ = nullptr;
    std::vector<Held> held_; // host: for players still away; client: for a new host
    uint32_t order_ = 0;     // client: its place in the order of joining
    uint32_t successor_ = 0; // client: order of the machine that takes over, 0 = none
    uint32_t successorAddress_ = 0;
    uint32_t successorNextId_ = 0;
    std::vector<DplayRosterEntry> roster_;
    uint32_t lastOrder_ = 0; // host: order given to the last machine that joined
    bool waiting_ = false;   // host after a take-over: players are still away
    Clock::time_point rejoinDeadline_;
    Clock::time_point rejoinAttempt_;
    uint32_t rejoinTries_ = 0;
    std::vector<DPID> ids_; // scratch
};

class Lobby final : public IDirectPlayLobby {
public:
    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return DPERR_INVALIDPARAMS;
        if (!(iid == IID_IDirectPlayLobby3A) && !(iid == IID_IDirectPlayLobby2A)) {
            *out = nullptr;
            return static_cast<HRESULT>(0x80004002u);
        }
        AddRef();
        *out = this;
        return DP_OK;
    }
    ULONG AddRef() override { return ++refs_; }
    ULONG Release() override {
        if (--refs_ > 0) return refs_;
        delete this;
        return 0;
    }
    HRESULT CreateCompoundAddress(const DPCOMPOUNDADDRESSELEMENT* elements, uint32_t count,
                                  void* address, uint32_t* size) override {
        if (!elements || count == 0 || !size) return DPERR_INVALIDPARAMS;
        for (uint32_t i = 0; i < count; ++i)
            if (elements[i].dwDataSize && !elements[i].lpData) return DPERR_INVALIDPARAMS;
        const uint32_t needed = AddressSize(elements, count);
        if (needed == 0) return DPERR_INVALIDPARAMS;
        if (!address || *size < needed) {
            *size = needed;
            return DPERR_BUFFERTOOSMALL;
        }
        DirectPlay::WriteAddress(elements, count, address);
        *size = needed;
        return DP_OK;
    }

private:
    uint32_t refs_ = 1;
};

} // namespace

HRESULT DplaySessionQueryInterface(IDirectPlay* session, REFIID iid, void** out) {
    if (!out) return DPERR_INVALIDPARAMS;
    if (!(iid == IID_IDirectPlay4A) && !(iid == IID_IDirectPlay3A)) {
        *out = nullptr;
        return static_cast<HRESULT>(0x80004002u);
    }
    session->AddRef();
    *out = session;
    return DP_OK;
}

HRESULT DirectPlayCoCreateInstance(REFCLSID clsid, void* outer, uint32_t, REFIID iid, void** out) {
    if (!out) return DPERR_INVALIDPARAMS;
    *out = nullptr;
    if (outer) return static_cast<HRESULT>(0x80040110u); // no aggregation
    if (clsid == CLSID_DirectPlay) {
        inputlog::StartFromEnvironmentOnce();
        // Tests running the program side by side give it a port of their own (loopback only).
        if (const char* port = std::getenv("MAROVANT_SESSION_PORT"); port && !g_port)
            g_port = uint16_t(std::strtoul(port, nullptr, 10));
        IDirectPlay* dp = new DirectPlay;
        if (inputlog::Recording() || inputlog::Replaying()) dp = DplayLogWrap(dp);
        HRESULT res = dp->QueryInterface(iid, out);
        dp->Release();
        return res;
    }
    if (clsid == CLSID_DirectPlayLobby) {
        auto* lobby = new Lobby;
        HRESULT res = lobby->QueryInterface(iid, out);
        lobby->Release();
        return res;
    }
    return static_cast<HRESULT>(0x80040154u); // class not registered
}

void PlatformDplaySetPort(uint16_t port) {
    g_port = port;
}

uint32_t PlatformDplayWaitCount() {
    return g_waits.load();
}

uint16_t PlatformDplayFreePort() {
    int fd = socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a = {};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t n = sizeof a;
    uint16_t port = 0;
    if (fd >= 0 && bind(fd, reinterpret_cast<sockaddr*>(&a), sizeof a) == 0 &&
        getsockname(fd, reinterpret_cast<sockaddr*>(&a), &n) == 0)
        port = ntohs(a.sin_port);
    if (fd >= 0) close(fd);
    return port;
}
