#include "framework/net/tcp.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "platform/winsock/winsock.h"

#include <climits>
#include <cstring>

const VkGuid IID_IVkTcpConnection = {
    0x394A9841, 0x7D3E, 0x11D2, {0xB8, 0x63, 0x00, 0xA0, 0xC9, 0x33, 0xBE, 0x34}};
const VkGuid CLSID_VkStandardTcp = {
    0xADDCFA01, 0x39E5, 0x11D2, {0xB8, 0x63, 0x00, 0xA0, 0xC9, 0x33, 0xBE, 0x34}};

namespace {

constexpr uint16_t kDefaultPort = 23;
constexpr int kBacklog = 3;

class Listener;

// The process's socket library users and its listeners, one per port (a ring with a head, new
// listeners at the front).
struct Service {
    uint32_t users = 0;
    Listener* head = nullptr;
};
Service service;

VkResult ServiceStart() {
    if (service.users > 0) {
        ++service.users;
        return VK_OK;
    }
    ws::WSADATA data;
    if (ws::WSAStartup(0x0002, &data) != 0) return VK_E_FAIL;
    VkResult res = VkMemAcquire();
    if (res < 0) {
        ws::WSACleanup();
        return res;
    }
    res = VkOpen();
    if (res < 0) {
        VkMemRelease();
        ws::WSACleanup();
        return res;
    }
    service.users = 1;
    return VK_OK;
}

void ServiceStop() {
    if (service.users == 0) return;
    if (--service.users > 0) return;
    VkClose();
    VkMemRelease();
    ws::WSACleanup();
}

void CloseSocket(ws::SOCKET* s) {
    if (*s != ws::INVALID_SOCKET) ws::closesocket(*s);
    *s = ws::INVALID_SOCKET;
}

ws::sockaddr_in AnyAddress(uint16_t port) {
    ws::sockaddr_in address{};
    address.sin_family = ws::WSA_AF_INET;
    address.sin_port = ws::htons(port);
    address.sin_addr = 0;
    return address;
}

// A listening socket on one port, shared by every connection that listens on that port.
class Listener final : public VkObject<IVkUnknown, IID_IVkUnknown> {
public:
    VkResult Open(uint16_t port) {
        port_ = port;
        socket_ = ws::socket(ws::WSA_AF_INET, ws::WSA_SOCK_STREAM, 0);
        if (socket_ == ws::INVALID_SOCKET) return VK_E_FAIL;
        address_ = AnyAddress(port);
        uint32_t nonBlocking = 1;
        if (ws::bind(socket_, reinterpret_cast<const ws::sockaddr*>(&address_), sizeof address_) ==
                ws::SOCKET_ERROR ||
            ws::ioctlsocket(socket_, ws::WSA_FIONBIO, &nonBlocking) == ws::SOCKET_ERROR ||
            ws::listen(socket_, kBacklog) == ws::SOCKET_ERROR)
            return VK_E_FAIL;
        Link();
        return VK_OK;
    }
    uint16_t GetPort() const { return port_; }
    VkResult Accept(ws::SOCKET* out) {
        ws::sockaddr_in peer{};
        int length = sizeof peer;
        *out = ws::accept(socket_, reinterpret_cast<ws::sockaddr*>(&peer), &length);
        return *out == ws::INVALID_SOCKET ? VK_E_NOCONNECTION : VK_OK;
    }

    // The listener for a port: the first one in the list with another reference, or a new one.
    static VkResult Get(uint16_t port, Listener** out) {
        *out = nullptr;
        if (Listener* at = service.head) {
            do {
                if (at->GetPort() == port) {
                    at->AddRef();
                    *out = at;
                    return VK_OK;
                }
                at = at->next_;
            } while (at != service.head);
        }
        Listener* listener = VkMemNew<Listener>();
        if (!listener) return VK_E_OUTOFMEMORY;
        VkResult res = listener->Open(port);
        if (res < 0) {
            listener->Release();
            return res;
        }
        *out = listener;
        return VK_OK;
    }

private:
    void Link() {
        if (service.head) {
            next_ = service.head;
            prev_ = service.head->prev_;
            prev_->next_ = this;
            next_->prev_ = this;
        } else {
            next_ = prev_ = this;
        }
        service.head = this;
        linked_ = true;
    }
    void Unlink() {
        if (!linked_) return;
        if (next_ == this) {
            service.head = nullptr;
        } else {
            prev_->next_ = next_;
            next_->prev_ = prev_;
            if (service.head == this) service.head = next_;
        }
        linked_ = false;
    }
    void Destroy() override {
        CloseSocket(&socket_);
        Unlink();
        VkMemDelete(this);
    }

    Listener* next_ = nullptr;
    Listener* prev_ = nullptr;
    bool linked_ = false;
    ws::sockaddr_in address_{};
    uint16_t port_ = 0;
    ws::SOCKET socket_ = ws::INVALID_SOCKET;
};

VkResult ConnectError(int error) {
    switch (error) {
    case ws::WSAEADDRNOTAVAIL: return VK_E_HOSTNOTFOUND;
    case ws::WSAENETDOWN: return VK_E_NETDOWN;
    case ws::WSAECONNREFUSED: return VK_E_CONNREFUSED;
    case ws::WSAENETUNREACH: return VK_E_NETUNREACH;
    case ws::WSAETIMEDOUT: return VK_E_TIMEOUT;
    default: return VK_E_FAIL;
    }
}

int ClampLength(uint32_t n) {
    return n > INT_MAX ? INT_MAX : static_cast<int>(n);
}

class Connection final : public VkObjectOf<VkFace<IVkTcpConnection, IID_IVkTcpConnection>,
                                           VkFace<IVkStream, IID_IVkStream>,
                                           VkFace<IVkStreamWait, IID_IVkStreamWait>> {
public:
    VkResult SetOption(uint32_t option, uint32_t value) override {
        switch (option) {
        case VK_TCP_PORT: port_ = static_cast<uint16_t>(value); return VK_OK;
        case VK_TCP_LISTEN:
            StopListening();
            return value ? Listener::Get(port_, &listener_) : VK_OK;
        case VK_TCP_CLOSE_ON_RESET: closeOnReset_ = value; return VK_OK;
        default: return VK_E_FAIL;
        }
    }

    VkResult GetOption(uint32_t option, uint32_t* value) override {
        if (!value) return VK_E_FAIL;
        switch (option) {
        case VK_TCP_PORT: *value = port_; return VK_OK;
        case VK_TCP_LISTEN: *value = listener_ ? 1 : 0; return VK_OK;
        case VK_TCP_CLOSE_ON_RESET: *value = closeOnReset_; return VK_OK;
        default: return VK_E_FAIL;
        }
    }

    VkResult Connect(const char* host) override {
        StopListening();
        if (!host) return VK_E_FAIL;
        socket_ = ws::socket(ws::WSA_AF_INET, ws::WSA_SOCK_STREAM, 0);
        if (socket_ == ws::INVALID_SOCKET) return VK_E_FAIL;
        ws::hostent* entry = ws::gethostbyname(host);
        if (!entry || !entry->h_addr_list || !entry->h_addr_list[0] ||
            entry->h_length != sizeof(uint32_t)) {
            CloseSocket(&socket_);
            return VK_E_HOSTNOTFOUND;
        }
        ws::sockaddr_in address = AnyAddress(port_);
        std::memcpy(&address.sin_addr, entry->h_addr_list[0], sizeof address.sin_addr);
        if (ws::connect(socket_, reinterpret_cast<const ws::sockaddr*>(&address), sizeof address) ==
            ws::SOCKET_ERROR) {
            VkResult res = ConnectError(ws::WSAGetLastError());
            CloseSocket(&socket_);
            return res;
        }
        uint32_t nonBlocking = 1;
        if (ws::ioctlsocket(socket_, ws::WSA_FIONBIO, &nonBlocking) == ws::SOCKET_ERROR)
            return VK_E_FAIL;
        return VK_OK;
    }

    VkResult Read(void* buffer, uint32_t n, uint32_t* got) override {
        VkResult res = Ready();
        if (res < 0) return res;
        if (n == 0) {
            if (got) *got = 0;
            return VK_OK;
        }
        int count = ws::recv(socket_, static_cast<char*>(buffer), ClampLength(n), 0);
        if (count == 0) return VK_E_ENDOFFILE;
        if (count == ws::SOCKET_ERROR) {
            int error = ws::WSAGetLastError();
            if (error == ws::WSAEWOULDBLOCK) return VK_OK;
            return Failed(error);
        }
        if (got) *got = static_cast<uint32_t>(count);
        return VK_OK;
    }

    VkResult Write(const void* buffer, uint32_t n, uint32_t* written) override {
        VkResult res = Ready();
        if (res < 0) return res;
        int count = ws::send(socket_, static_cast<const char*>(buffer), ClampLength(n), 0);
        if (count == ws::SOCKET_ERROR) return Failed(ws::WSAGetLastError());
        if (written) *written = static_cast<uint32_t>(count);
        return VK_OK;
    }

    VkResult Seek(int32_t, uint32_t, uint32_t*) override { return VK_E_FAIL; }

    // Only a connected socket can be waited on; a failing wait is left for Read to report.
    VkResult WaitReadable(uint32_t ms) override {
        if (socket_ == ws::INVALID_SOCKET || (closeOnReset_ && closed_)) return VK_E_FAIL;
        ws::PlatformWaitReadable(socket_, ms);
        return VK_OK;
    }

private:
    // A connection to use: the current socket, or a peer accepted from the listener.
    VkResult Ready() {
        if (closeOnReset_ && closed_) return VK_E_ENDOFFILE;
        if (socket_ != ws::INVALID_SOCKET) return VK_OK;
        if (!listener_) return VK_E_NOCONNECTION;
        return listener_->Accept(&socket_);
    }

    // A reset drops the socket: a listening connection takes the next peer, unless resets end
    // the stream.
    VkResult Failed(int error) {
        if (error != ws::WSAECONNRESET) return VK_E_FAIL;
        CloseSocket(&socket_);
        if (closeOnReset_) closed_ = 1;
        return VK_E_NOCONNECTION;
    }

    void StopListening() {
        if (listener_) listener_->Release();
        listener_ = nullptr;
        CloseSocket(&socket_);
    }

    void Destroy() override {
        StopListening();
        VkMemDelete(this);
        ServiceStop();
    }

    uint32_t closeOnReset_ = 0;
    uint32_t closed_ = 0;
    Listener* listener_ = nullptr;
    ws::SOCKET socket_ = ws::INVALID_SOCKET;
    uint16_t port_ = kDefaultPort;
};

const VkComponentRecord kTcpRecords[] = {
    {&CLSID_VkStandardTcp, 0, nullptr, 0, nullptr, VkCreateStandardTcp, "Vesk - StandardTCP",
     "Vesk.StandardTCP.5.1", "Vesk.StandardTCP", nullptr},
};

} // namespace

VkResult VkCreateStandardTcp(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    VkResult res = ServiceStart();
    if (res < 0) return res;
    Connection* connection = VkMemNew<Connection>();
    if (!connection) {
        ServiceStop();
        return VK_E_OUTOFMEMORY;
    }
    *out = static_cast<IVkTcpConnection*>(connection);
    return VK_OK;
}

VkResult VkTcpModuleRegister(IVkRegistry* registry) {
    return VkModule<kTcpRecords>::Register(registry);
}
