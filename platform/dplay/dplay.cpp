#include "platform/dplay/dplay.h"

#include "platform/dplay/dplay_frame.h"
#include "platform/winmm/winmm.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <deque>
#include <string>
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

constexpr uint16_t kDefaultPort = 47624;
constexpr uint32_t kReplyWaitMs = 2000;
constexpr DPID kFirstPlayerId = 100;
uint16_t g_port = 0;

uint16_t Port() {
    return g_port ? g_port : kDefaultPort;
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

struct Message {
    DPID from;
    DPID to;
    std::vector<uint8_t> bytes;
};

struct Connection {
    int fd = -1;
    std::vector<uint8_t> in;
    bool joined = false;
    uint32_t order = 0;   // place in the order of joining, from 1
    uint32_t address = 0; // where the machine listens to take over as host (network order)
    uint32_t port = 0;
};

constexpr int kPending = -2; // owner of a player whose machine has not come back to a new host
constexpr uint32_t kRejoinWaitMs = 5000;

struct Player {
    DPID id;
    int owner; // index of the connection, -1 for this machine, kPending while away
};

// A player of the session as the host last described it: its id and its machine's order.
struct RosterEntry {
    DPID id;
    uint32_t order; // 0 = the host
};

class DirectPlay;
std::vector<DirectPlay*> g_live; // every object, so a wait can let an in-process host answer

void SetNonBlocking(int fd) {
    fcntl(fd, F_SETFL, fcntl(fd, F_GETFL, 0) | O_NONBLOCK);
    int one = 1;
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &one, sizeof one);
}

class DirectPlay final : public IDirectPlay {
public:
    DirectPlay() { g_live.push_back(this); }

    HRESULT QueryInterface(REFIID iid, void** out) override {
        if (!out) return DPERR_INVALIDPARAMS;
        if (!(iid == IID_IDirectPlay4A) && !(iid == IID_IDirectPlay3A)) {
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
        Close();
        g_live.erase(std::find(g_live.begin(), g_live.end(), this));
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
        if (mode_ != kNone) return DPERR_ALREADYINITIALIZED;
        if (flags & DPOPEN_CREATE) return Host(*desc);
        if (flags & DPOPEN_JOIN) return Join(*desc);
        return DPERR_INVALIDFLAGS;
    }

    HRESULT Close() override {
        for (Connection& c : conns_)
            if (c.fd >= 0) close(c.fd);
        conns_.clear();
        if (listen_ >= 0) close(listen_);
        listen_ = -1;
        if (ownListen_ >= 0) close(ownListen_);
        ownListen_ = -1;
        players_.clear();
        queue_.clear();
        pendingOut_.clear();
        waiting_ = false;
        roster_.clear();
        successor_ = 0;
        lastOrder_ = 0;
        mode_ = kNone;
        return DP_OK;
    }

    HRESULT EnumSessions(const DPSESSIONDESC2* desc, uint32_t, LPDPENUMSESSIONSCALLBACK2 callback,
                         void* context, uint32_t) override {
        if (!desc || !callback) return DPERR_INVALIDPARAMS;
        if (!initialised_) return DPERR_UNINITIALIZED;
        Connection c;
        c.fd = ConnectToHost();
        if (c.fd >= 0) {
            SendFrame(c.fd, kDplayEnumRequest, 0, 0, nullptr, 0);
            DplayFrame reply;
            std::vector<uint8_t> body;
            if (WaitFrame(c, kDplayEnumReply, &reply, &body) && body.size() >= 32) {
                DPSESSIONDESC2 found = {};
                found.dwSize = sizeof found;
                std::memcpy(&found.guidInstance, body.data(), 16);
                std::memcpy(&found.guidApplication, body.data() + 16, 16);
                std::string name(body.begin() + 32, body.end());
                found.lpszSessionNameA = name.c_str();
                found.dwCurrentPlayers = reply.a;
                uint32_t timeout = 0;
                if (desc->guidApplication == GUID{} ||
                    found.guidApplication == desc->guidApplication)
                    callback(&found, &timeout, 0, context);
            }
            close(c.fd);
        }
        uint32_t timeout = 0;
        callback(nullptr, &timeout, DPESC_TIMEDOUT, context);
        return DP_OK;
    }

    HRESULT CreatePlayer(DPID* id, const DPNAME*, void*, const void*, uint32_t,
                         uint32_t flags) override {
        if (!id) return DPERR_INVALIDPARAMS;
        if (flags) return DPERR_INVALIDFLAGS;
        if (mode_ == kNone) return DPERR_NOCONNECTION;
        if (mode_ == kHost) {
            *id = nextId_++;
            players_.push_back({*id, -1});
            Announce(DPSYS_CREATEPLAYERORGROUP, *id, -1);
            TellSuccession();
            return DP_OK;
        }
        SendFrame(conns_[0].fd, kDplayPlayerRequest, 0, 0, nullptr, 0);
        DplayFrame reply;
        if (!WaitFrame(conns_[0], kDplayPlayerGranted, &reply, nullptr) || reply.a == 0)
            return DPERR_CANTADDPLAYER;
        *id = reply.a;
        players_.push_back({*id, -1});
        return DP_OK;
    }

    HRESULT DestroyPlayer(DPID id) override {
        if (mode_ == kNone) return DPERR_INVALIDOBJECT;
        auto it = std::find_if(players_.begin(), players_.end(),
                               [id](const Player& p) { return p.id == id && p.owner < 0; });
        if (it == players_.end()) return DPERR_INVALIDPLAYER;
        players_.erase(it);
        std::erase_if(queue_, [id](const Message& m) { return m.to == id; });
        if (mode_ == kHost) {
            Announce(DPSYS_DESTROYPLAYERORGROUP, id, -1);
            TellSuccession();
        } else
            SendFrame(conns_[0].fd, kDplayPlayerDestroyed, id, 0, nullptr, 0);
        return DP_OK;
    }

    HRESULT Send(DPID from, DPID to, uint32_t, const void* data, uint32_t size) override {
        if (mode_ == kNone) return DPERR_INVALIDOBJECT;
        if (size && !data) return DPERR_INVALIDPARAMS;
        if (size > kDplayMaxBody) return DPERR_SENDTOOBIG;
        if (!IsLocal(from)) return DPERR_INVALIDPLAYER;
        if (to != DPID_ALLPLAYERS && !Known(to)) return DPERR_INVALIDPLAYER;
        Route(from, to, static_cast<const uint8_t*>(data), size, -1);
        return DP_OK;
    }

    HRESULT Receive(DPID* from, DPID* to, uint32_t flags, void* data, uint32_t* size) override {
        if (!from || !to || !size) return DPERR_INVALIDPARAMS;
        if (mode_ == kNone) return DPERR_INVALIDOBJECT;
        Pump();
        if (queue_.empty()) return DPERR_NOMESSAGES;
        Message& m = queue_.front();
        const uint32_t length = static_cast<uint32_t>(m.bytes.size());
        if (!data || *size < length) {
            *size = length;
            return DPERR_BUFFERTOOSMALL;
        }
        if (length) std::memcpy(data, m.bytes.data(), length);
        *from = m.from;
        *to = m.to;
        *size = length;
        if (!(flags & DPRECEIVE_PEEK)) queue_.pop_front();
        return DP_OK;
    }

    HRESULT GetMessageCount(DPID id, uint32_t* count) override {
        if (!count) return DPERR_INVALIDPARAMS;
        if (mode_ == kNone) return DPERR_INVALIDOBJECT;
        if (!IsLocal(id)) return DPERR_INVALIDPLAYER;
        Pump();
        *count = static_cast<uint32_t>(std::count_if(
            queue_.begin(), queue_.end(), [id](const Message& m) { return m.to == id; }));
        return DP_OK;
    }

    // Reads what the sockets hold and handles every complete frame.
    void Pump() {
        if (mode_ == kHost && waiting_ && timeGetTime() - pendingSince_ > kRejoinWaitMs)
            DropPending();
        if (mode_ == kHost) {
            for (;;) {
                int fd = accept(listen_, nullptr, nullptr);
                if (fd < 0) break;
                SetNonBlocking(fd);
                // A slot whose peer has gone (and taken its players along) is used again.
                auto slot = std::find_if(conns_.begin(), conns_.end(),
                                         [](const Connection& c) { return c.fd < 0; });
                if (slot == conns_.end()) slot = conns_.insert(conns_.end(), Connection{});
                *slot = Connection{};
                slot->fd = fd;
            }
        }
        for (size_t i = 0; i < conns_.size(); ++i) {
            if (conns_[i].fd < 0) continue;
            // What arrived before the peer hung up is still handled.
            const bool open = Fill(conns_[i]);
            DplayFrame f;
            std::vector<uint8_t> body;
            DplayFrameResult r;
            while ((r = Take(conns_[i], &f, &body)) == kDplayFrameComplete)
                Handle(static_cast<int>(i), f, body);
            if (r == kDplayFrameBad || !open) Lost(static_cast<int>(i));
        }
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
    enum Mode { kNone, kHost, kClient };

    // A listening socket on the port (0: any free one). A port set by hand (tests) listens on
    // loopback only; the game's sessions take any address.
    static int Listen(uint16_t port) {
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0) return -1;
        int one = 1;
        setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &one, sizeof one);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(port);
        addr.sin_addr.s_addr = htonl(g_port ? INADDR_LOOPBACK : INADDR_ANY);
        if (bind(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0 || listen(fd, 8) < 0) {
            close(fd);
            return -1;
        }
        SetNonBlocking(fd);
        return fd;
    }

    HRESULT Host(const DPSESSIONDESC2& desc) {
        listen_ = Listen(Port());
        if (listen_ < 0) return DPERR_GENERIC;
        mode_ = kHost;
        name_ = desc.lpszSessionNameA ? desc.lpszSessionNameA : "";
        application_ = desc.guidApplication;
        // A fresh instance id for the session: clock and port are enough to tell sessions apart.
        instance_ = {timeGetTime(), Port(), 0x5E55, {'s', 'e', 's', 's', 'i', 'o', 'n', 0}};
        return DP_OK;
    }

    HRESULT Join(const DPSESSIONDESC2& desc) {
        Connection c;
        c.fd = ConnectToHost();
        if (c.fd < 0) return DPERR_NOCONNECTION;
        // Where this machine would take the session over, should the host leave.
        ownListen_ = Listen(0);
        sockaddr_in own = {};
        socklen_t length = sizeof own;
        if (ownListen_ >= 0) getsockname(ownListen_, reinterpret_cast<sockaddr*>(&own), &length);
        uint8_t body[sizeof(GUID) + 4];
        std::memcpy(body, &desc.guidInstance, sizeof(GUID));
        DplayPutU32(body + sizeof(GUID), ownListen_ >= 0 ? ntohs(own.sin_port) : 0);
        SendFrame(c.fd, kDplayJoinRequest, 0, 0, body, sizeof body);
        DplayFrame reply;
        if (!WaitFrame(c, kDplayJoinReply, &reply, nullptr) || reply.a != 1) {
            close(c.fd);
            if (ownListen_ >= 0) close(ownListen_);
            ownListen_ = -1;
            return DPERR_NOSESSIONS;
        }
        conns_.push_back(std::move(c));
        mode_ = kClient;
        instance_ = desc.guidInstance;
        return DP_OK;
    }

    int ConnectToHost() {
        addrinfo hints = {};
        hints.ai_family = AF_INET;
        hints.ai_socktype = SOCK_STREAM;
        addrinfo* found = nullptr;
        if (getaddrinfo(host_.c_str(), std::to_string(Port()).c_str(), &hints, &found) != 0)
            return -1;
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        if (fd >= 0 && connect(fd, found->ai_addr, found->ai_addrlen) < 0) {
            close(fd);
            fd = -1;
        }
        freeaddrinfo(found);
        if (fd >= 0) SetNonBlocking(fd);
        return fd;
    }

    static void SendFrame(int fd, uint32_t type, uint32_t a, uint32_t b, const uint8_t* body,
                          uint32_t size) {
        std::vector<uint8_t> bytes(kDplayFrameHeader + size_t{size});
        DplayWriteFrame(bytes.data(), type, a, b, size);
        if (size) std::memcpy(bytes.data() + kDplayFrameHeader, body, size);
        size_t at = 0;
        const uint32_t start = timeGetTime();
        while (at < bytes.size()) {
            ssize_t n = send(fd, bytes.data() + at, bytes.size() - at, MSG_NOSIGNAL);
            if (n > 0) {
                at += static_cast<size_t>(n);
                continue;
            }
            if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) return;
            if (timeGetTime() - start > kReplyWaitMs) return;
            pollfd p = {fd, POLLOUT, 0};
            poll(&p, 1, 10);
        }
    }

    // False when the peer has gone.
    static bool Fill(Connection& c) {
        uint8_t chunk[4096];
        for (;;) {
            ssize_t n = recv(c.fd, chunk, sizeof chunk, MSG_DONTWAIT);
            if (n > 0) {
                c.in.insert(c.in.end(), chunk, chunk + n);
                continue;
            }
            if (n == 0) return false;
            return errno == EAGAIN || errno == EWOULDBLOCK;
        }
    }

    static DplayFrameResult Take(Connection& c, DplayFrame* f, std::vector<uint8_t>* body) {
        size_t used = 0;
        DplayFrameResult r = DplayReadFrame(c.in.data(), c.in.size(), f, &used);
        if (r != kDplayFrameComplete) return r;
        body->assign(c.in.begin() + kDplayFrameHeader, c.in.begin() + static_cast<long>(used));
        c.in.erase(c.in.begin(), c.in.begin() + static_cast<long>(used));
        return r;
    }

    // Waits for one frame of a type on a connection, letting every object in the process work
    // meanwhile, so a host in the same process can answer.
    bool WaitFrame(Connection& c, uint32_t type, DplayFrame* f, std::vector<uint8_t>* body) {
        std::vector<uint8_t> scratch;
        if (!body) body = &scratch;
        const uint32_t start = timeGetTime();
        for (int spins = 0;; ++spins) {
            for (DirectPlay* other : std::vector<DirectPlay*>(g_live))
                if (other != this) other->Pump();
            const bool open = Fill(c);
            DplayFrameResult r = Take(c, f, body);
            if (r == kDplayFrameBad || (r == kDplayFrameIncomplete && !open)) return false;
            if (r == kDplayFrameComplete) {
                if (f->type == type) return true;
                if (mode_ == kClient) Handle(0, *f, *body); // not the answer: handle it
                continue;
            }
            // Bounded both by the clock and by a count, so a hand-driven clock cannot hang it.
            if (timeGetTime() - start > kReplyWaitMs || spins > 2000) return false;
            pollfd p = {c.fd, POLLIN, 0};
            poll(&p, 1, 1);
        }
    }

    bool IsLocal(DPID id) const {
        return std::any_of(players_.begin(), players_.end(),
                           [id](const Player& p) { return p.id == id && p.owner < 0; });
    }
    bool Known(DPID id) const {
        return mode_ == kClient || std::any_of(players_.begin(), players_.end(),
                                               [id](const Player& p) { return p.id == id; });
    }
    DPID FirstLocal() const {
        for (const Player& p : players_)
            if (p.owner < 0) return p.id;
        return 0;
    }

    void QueueSystem(uint32_t type, DPID id) {
        DPMSG_PLAYER m = {type, 0, id};
        std::vector<uint8_t> bytes(sizeof m);
        std::memcpy(bytes.data(), &m, sizeof m);
        queue_.push_back({DPID_SYSMSG, FirstLocal(), std::move(bytes)});
    }

    // Host: tells this machine (unless it made the change) and every joined machine except the
    // one that did.
    void Announce(uint32_t type, DPID id, int origin) {
        if (origin != -1) QueueSystem(type, id);
        for (size_t i = 0; i < conns_.size(); ++i)
            if (conns_[i].fd >= 0 && conns_[i].joined && static_cast<int>(i) != origin)
                SendFrame(conns_[i].fd, kDplaySystem, type, id, nullptr, 0);
    }

    // Delivers a data message to its addressees: players of this machine get a copy in the queue;
    // the others are reached through the host. A message from a connection never goes back to it.
    void Route(DPID from, DPID to, const uint8_t* data, uint32_t size, int origin) {
        std::vector<uint8_t> bytes(data, data + size);
        if (mode_ == kClient) {
            for (const Player& p : players_)
                if (p.id != from && (to == DPID_ALLPLAYERS || to == p.id))
                    queue_.push_back({from, p.id, bytes});
            if (origin < 0 && (to == DPID_ALLPLAYERS || !IsLocal(to)))
                SendFrame(conns_[0].fd, kDplayData, from, to, data, size);
            return;
        }
        for (const Player& p : players_) {
            if (p.id == from || (to != DPID_ALLPLAYERS && to != p.id)) continue;
            if (p.owner == kPending)
                pendingOut_.push_back({from, p.id, bytes});
            else if (p.owner < 0)
                queue_.push_back({from, p.id, bytes});
            else if (p.owner != origin && conns_[p.owner].fd >= 0)
                SendFrame(conns_[p.owner].fd, kDplayData, from, p.id, data, size);
        }
    }

    // A joined machine (host side) or the host (client side) has gone.
    void Lost(int index) {
        close(conns_[index].fd);
        conns_[index].fd = -1;
        conns_[index].in.clear();
        if (mode_ == kClient) {
            if (!TakeOver()) QueueSystem(DPSYS_SESSIONLOST, 0);
            return;
        }
        RemoveOwnedBy(index);
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

    // Client whose host has gone: the machine that joined first takes the session over, the
    // others come back to it. False when there is nobody to go on with.
    bool TakeOver() {
        if (successor_ == 0) return false;
        for (const RosterEntry& e : roster_)
            if (e.order == 0) QueueSystem(DPSYS_DESTROYPLAYERORGROUP, e.id);
        for (Connection& c : conns_)
            if (c.fd >= 0) close(c.fd);
        conns_.clear();
        const uint32_t successor = successor_;
        successor_ = 0;
        if (successor == order_) {
            if (ownListen_ < 0) return false;
            mode_ = kHost;
            listen_ = ownListen_;
            ownListen_ = -1;
            nextId_ = successorNextId_;
            for (const RosterEntry& e : roster_)
                if (e.order != 0 && e.order != order_) players_.push_back({e.id, kPending});
            lastOrder_ = order_;
            pendingSince_ = timeGetTime();
            waiting_ = true;
            roster_.clear();
            QueueSystem(DPSYS_HOST, 0);
            return true;
        }
        roster_.clear();
        int fd = socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr = {};
        addr.sin_family = AF_INET;
        addr.sin_port = htons(static_cast<uint16_t>(successorPort_));
        addr.sin_addr.s_addr = successorAddress_;
        if (fd < 0 || connect(fd, reinterpret_cast<sockaddr*>(&addr), sizeof addr) < 0) {
            if (fd >= 0) close(fd);
            return false;
        }
        SetNonBlocking(fd);
        std::vector<uint8_t> body(sizeof(GUID) + 8);
        std::memcpy(body.data(), &instance_, sizeof(GUID));
        DplayPutU32(body.data() + sizeof(GUID), ownListen_ >= 0 ? OwnPort() : 0);
        uint32_t n = 0;
        for (const Player& p : players_) {
            body.resize(body.size() + 4);
            DplayPutU32(body.data() + body.size() - 4, p.id);
            ++n;
        }
        DplayPutU32(body.data() + sizeof(GUID) + 4, n);
        Connection c;
        c.fd = fd;
        conns_.push_back(std::move(c));
        SendFrame(fd, kDplayRejoin, order_, 0, body.data(), static_cast<uint32_t>(body.size()));
        return true;
    }

    uint32_t OwnPort() const {
        sockaddr_in own = {};
        socklen_t length = sizeof own;
        getsockname(ownListen_, reinterpret_cast<sockaddr*>(&own), &length);
        return ntohs(own.sin_port);
    }

    // New host: players whose machines did not come back in time are gone.
    void DropPending() {
        waiting_ = false;
        pendingOut_.clear();
        RemoveOwnedBy(kPending);
    }

    // Host: tells every joined machine who takes over should this one leave, with the roster.
    void TellSuccession() {
        const Connection* next = nullptr;
        for (const Connection& c : conns_)
            if (c.fd >= 0 && c.joined && c.port && (!next || c.order < next->order)) next = &c;
        std::vector<uint8_t> body(16);
        DplayPutU32(body.data(), next ? next->address : 0);
        DplayPutU32(body.data() + 4, next ? next->port : 0);
        DplayPutU32(body.data() + 8, nextId_);
        uint32_t n = 0;
        for (const Player& p : players_) {
            if (p.owner == kPending) continue;
            const uint32_t order = p.owner < 0 ? 0 : conns_[p.owner].order;
            body.resize(body.size() + 8);
            DplayPutU32(body.data() + body.size() - 8, p.id);
            DplayPutU32(body.data() + body.size() - 4, order);
            ++n;
        }
        DplayPutU32(body.data() + 12, n);
        body.insert(body.end(), name_.begin(), name_.end());
        for (const Connection& c : conns_)
            if (c.fd >= 0 && c.joined)
                SendFrame(c.fd, kDplaySuccession, c.order, next ? next->order : 0, body.data(),
                          static_cast<uint32_t>(body.size()));
    }

    // Client: what the host said about succession; every count is checked against the body.
    void ReadSuccession(const DplayFrame& f, const std::vector<uint8_t>& body) {
        if (body.size() < 16) return;
        const uint32_t n = DplayGetU32(body.data() + 12);
        if (n > (body.size() - 16) / 8 || DplayGetU32(body.data() + 4) > 0xFFFF) return;
        order_ = f.a;
        successor_ = f.b;
        successorAddress_ = DplayGetU32(body.data());
        successorPort_ = DplayGetU32(body.data() + 4);
        successorNextId_ = DplayGetU32(body.data() + 8);
        roster_.clear();
        for (uint32_t i = 0; i < n; ++i)
            roster_.push_back(
                {DplayGetU32(body.data() + 16 + 8 * i), DplayGetU32(body.data() + 20 + 8 * i)});
        name_.assign(body.begin() + 16 + 8 * n, body.end());
    }

    // A join or rejoin names this session's instance; the machine's listening port may follow.
    bool Admit(Connection& c, const std::vector<uint8_t>& body) {
        GUID asked = {};
        if (body.size() < sizeof asked) return false;
        std::memcpy(&asked, body.data(), sizeof asked);
        if (!(asked == instance_)) return false;
        c.joined = true;
        c.port = body.size() >= sizeof asked + 4 ? DplayGetU32(body.data() + sizeof asked) : 0;
        if (c.port > 0xFFFF) c.port = 0;
        sockaddr_in peer = {};
        socklen_t length = sizeof peer;
        if (getpeername(c.fd, reinterpret_cast<sockaddr*>(&peer), &length) == 0)
            c.address = peer.sin_addr.s_addr;
        return true;
    }

    bool OwnedBy(DPID id, int index) const {
        return std::any_of(players_.begin(), players_.end(),
                           [id, index](const Player& p) { return p.id == id && p.owner == index; });
    }

    // One frame from a peer; every id and size in it is checked before use.
    void Handle(int index, const DplayFrame& f, const std::vector<uint8_t>& body) {
        Connection& c = conns_[index];
        if (mode_ == kClient) {
            switch (f.type) {
            case kDplaySystem:
                if (f.a == DPSYS_CREATEPLAYERORGROUP || f.a == DPSYS_DESTROYPLAYERORGROUP)
                    QueueSystem(f.a, f.b);
                break;
            case kDplayData:
                if (IsLocal(f.b) || f.b == DPID_ALLPLAYERS)
                    Route(f.a, f.b, body.data(), static_cast<uint32_t>(body.size()), 0);
                break;
            case kDplaySuccession: ReadSuccession(f, body); break;
            default: break;
            }
            return;
        }
        switch (f.type) {
        case kDplayEnumRequest: {
            std::vector<uint8_t> reply(32 + name_.size());
            std::memcpy(reply.data(), &instance_, 16);
            std::memcpy(reply.data() + 16, &application_, 16);
            std::memcpy(reply.data() + 32, name_.data(), name_.size());
            SendFrame(c.fd, kDplayEnumReply, static_cast<uint32_t>(players_.size()), 0,
                      reply.data(), static_cast<uint32_t>(reply.size()));
            break;
        }
        case kDplayJoinRequest: {
            const bool ok = !c.joined && Admit(c, body);
            if (ok) c.order = ++lastOrder_;
            SendFrame(c.fd, kDplayJoinReply, ok ? 1 : 0, 0, nullptr, 0);
            if (ok) TellSuccession();
            break;
        }
        case kDplayRejoin: {
            // A machine of the session whose host has gone, coming back with its players.
            if (c.joined || !Admit(c, body) || body.size() < sizeof(GUID) + 8) break;
            const uint32_t n = DplayGetU32(body.data() + sizeof(GUID) + 4);
            if (n > (body.size() - sizeof(GUID) - 8) / 4) break;
            c.order = f.a;
            lastOrder_ = std::max(lastOrder_, f.a);
            for (uint32_t i = 0; i < n; ++i) {
                const DPID id = DplayGetU32(body.data() + sizeof(GUID) + 8 + 4 * i);
                for (Player& p : players_)
                    if (p.id == id && p.owner == kPending) p.owner = index;
            }
            // What was sent to its players meanwhile follows them now.
            for (auto it = pendingOut_.begin(); it != pendingOut_.end();) {
                if (OwnedBy(it->to, index)) {
                    SendFrame(c.fd, kDplayData, it->from, it->to, it->bytes.data(),
                              static_cast<uint32_t>(it->bytes.size()));
                    it = pendingOut_.erase(it);
                } else {
                    ++it;
                }
            }
            if (std::none_of(players_.begin(), players_.end(),
                             [](const Player& p) { return p.owner == kPending; }))
                waiting_ = false;
            TellSuccession();
            break;
        }
        case kDplayPlayerRequest: {
            if (!c.joined) {
                SendFrame(c.fd, kDplayPlayerGranted, 0, 0, nullptr, 0);
                break;
            }
            const DPID id = nextId_++;
            // Players already in the session are made known to the newcomer first.
            for (const Player& p : players_)
                if (p.owner != index)
                    SendFrame(c.fd, kDplaySystem, DPSYS_CREATEPLAYERORGROUP, p.id, nullptr, 0);
            players_.push_back({id, index});
            SendFrame(c.fd, kDplayPlayerGranted, id, 0, nullptr, 0);
            Announce(DPSYS_CREATEPLAYERORGROUP, id, index);
            TellSuccession();
            break;
        }
        case kDplayPlayerDestroyed:
            if (OwnedBy(f.a, index)) {
                std::erase_if(players_, [&f](const Player& p) { return p.id == f.a; });
                Announce(DPSYS_DESTROYPLAYERORGROUP, f.a, index);
                TellSuccession();
            }
            break;
        case kDplayData:
            if (c.joined && OwnedBy(f.a, index) && (f.b == DPID_ALLPLAYERS || Known(f.b)))
                Route(f.a, f.b, body.data(), static_cast<uint32_t>(body.size()), index);
            break;
        default: break;
        }
    }

    uint32_t refs_ = 1;
    bool initialised_ = false;
    std::string host_;
    Mode mode_ = kNone;
    int listen_ = -1;
    std::vector<Connection> conns_;
    std::vector<Player> players_;
    std::deque<Message> queue_;
    DPID nextId_ = kFirstPlayerId;
    int ownListen_ = -1;     // client: where it would host after the host leaves
    uint32_t order_ = 0;     // client: its place in the order of joining
    uint32_t successor_ = 0; // client: order of the machine that takes over, 0 = none
    uint32_t successorAddress_ = 0;
    uint32_t successorPort_ = 0;
    uint32_t successorNextId_ = 0;
    std::vector<RosterEntry> roster_;
    uint32_t lastOrder_ = 0;         // host: order given to the last machine that joined
    bool waiting_ = false;           // host after a take-over: players are still away
    uint32_t pendingSince_ = 0;      // since when
    std::deque<Message> pendingOut_; // messages for players whose machines are still away
    std::string name_;
    GUID application_ = {};
    GUID instance_ = {};
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

HRESULT DirectPlayCoCreateInstance(REFCLSID clsid, void* outer, uint32_t, REFIID iid, void** out) {
    if (!out) return DPERR_INVALIDPARAMS;
    *out = nullptr;
    if (outer) return static_cast<HRESULT>(0x80040110u); // no aggregation
    if (clsid == CLSID_DirectPlay) {
        auto* dp = new DirectPlay;
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
