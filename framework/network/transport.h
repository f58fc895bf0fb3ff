// The transport interface under the Network component: it moves network messages between the
// machines of one session and reports players that appear or vanish and changes of host.
#pragma once

#include "framework/core/com.h"
#include "framework/core/framework.h"
#include "framework/core/memory.h"

#include <cstdint>

// A network message as the layer and the game see it: a native header followed directly, in the
// same block, by the payload. The payload words are little-endian unsigned 32-bit values; the
// first is the message type.
struct VkNetMessage {
    uint32_t header;   // always kVkNetHeaderWord once sent
    uint32_t sender;   // transport id of the sending machine's player
    uint32_t receiver; // transport id of the addressee; 0 = every other machine
    uint32_t length;   // before Send: total block size; after, and on arrival: payload size
    uint8_t* payload;  // the byte just after the header, set by Send
};
constexpr uint32_t kVkNetHeaderWord = 16;
constexpr uint32_t kVkNetHeaderSize = sizeof(VkNetMessage);

// What a receive operation hands back. The data lives in the transport's receive buffer and is
// valid until the next receive.
struct VkTransportRecord {
    uint32_t kind; // VkTransportKind
    uint32_t from;
    uint32_t to;
    uint32_t length;
    const uint8_t* data;
};

enum VkTransportKind : uint32_t {
    kVkTransportPlayerCreated = 0,
    kVkTransportPlayerDestroyed = 1,
    kVkTransportBecameHost = 2,
    kVkTransportSessionLost = 3,
    kVkTransportData = 16,
};

// Receive flags of the transports.
constexpr uint32_t kVkTransportPeek = 0x1000;
constexpr uint32_t kVkTransportAnyReceiver = 0x2000;

// Send flags: bit 0 asks for guaranteed delivery.
constexpr uint32_t kVkSendGuaranteed = 1;

constexpr VkResult VK_E_TRANSPORT_CANTADDPLAYER = static_cast<VkResult>(0x80300064u);
constexpr VkResult VK_E_TRANSPORT_CANTCREATEPLAYER = static_cast<VkResult>(0x80300065u);
constexpr VkResult VK_E_TRANSPORT_INVALIDFLAGS = static_cast<VkResult>(0x80300066u);
constexpr VkResult VK_E_TRANSPORT_INVALIDPARAM = static_cast<VkResult>(0x80300067u);
constexpr VkResult VK_E_TRANSPORT_NOCONNECTION = static_cast<VkResult>(0x80300068u);
constexpr VkResult VK_E_TRANSPORT_INVALIDPLAYER = static_cast<VkResult>(0x80300069u);
constexpr VkResult VK_E_TRANSPORT_BUSY = static_cast<VkResult>(0x8030006Au);
constexpr VkResult VK_E_TRANSPORT_TOOBIG = static_cast<VkResult>(0x8030006Bu);
constexpr VkResult VK_E_TRANSPORT_NOMESSAGE = static_cast<VkResult>(0x8030006Cu);
constexpr VkResult VK_E_TRANSPORT_NOSERVICE = static_cast<VkResult>(0x8030006Du);

// Service codes of OpenService and SelectService.
enum VkTransportService : uint32_t {
    kVkServiceNull = 0,
    kVkServiceTcpIp = 1,
    kVkServiceIpx = 2,
    kVkServiceModem = 3,
    kVkServiceSerial = 4,
};

extern const VkGuid IID_IVkTransport;
extern const VkGuid CLSID_VkNullTransport;
extern const VkGuid CLSID_VkDx6Transport;
extern const VkGuid CLSID_VkDx5Transport;

class IVkTransport : public IVkUnknown {
public:
    virtual VkResult Start() = 0;
    virtual VkResult Stop() = 0;
    virtual VkResult SetOption(uint32_t kind, void* argument) = 0;
    virtual VkResult GetOption(uint32_t kind, uint32_t* out) = 0;
    virtual VkResult CreatePlayer(uint32_t* outId) = 0;
    virtual VkResult DestroyPlayer(uint32_t id) = 0;
    virtual VkResult SendToAll(VkNetMessage* message, uint32_t flags) = 0;
    virtual VkResult Send(VkNetMessage* message, uint32_t flags) = 0;
    virtual VkResult Peek(uint32_t id, VkTransportRecord* out, uint32_t flags) = 0;
    virtual VkResult Receive(VkTransportRecord* out, uint32_t flags) = 0;
    virtual VkResult ReceiveFor(uint32_t id, VkTransportRecord* out, uint32_t flags) = 0;
    virtual VkResult ReservedQuery(uint32_t id, uint32_t* out) = 0;
    virtual VkResult GetMessageCount(uint32_t id, uint32_t* out) = 0;
    virtual VkResult SetApplicationGuid(const VkGuid* guid) = 0;
    virtual VkResult GetApplicationGuid(VkGuid* out) = 0;
    virtual VkResult CreateSession(const char* name) = 0;
    virtual VkResult JoinSession(const char* session) = 0;
    virtual VkResult GetSession(const char** out) = 0;
    virtual VkResult CloseSession() = 0;
    virtual VkResult EnumSessions(uint32_t* outCount) = 0;
    virtual VkResult GetSessionDesc(uint32_t index, void** out) = 0;
    virtual VkResult OpenService(uint32_t service) = 0;
    virtual VkResult SelectService(uint32_t service) = 0;
    virtual VkResult Connect(void* service) = 0;
    virtual VkResult Disconnect() = 0;
    virtual uint32_t GetNumServices() = 0;
    virtual VkResult GetServiceName(uint32_t index, char** out) = 0;

protected:
    ~IVkTransport() = default;
};

// What every transport does the same way: sending to all is sending with receiver 0, and the
// two receive forms are ReceiveFor with the transport's own flags.
class VkTransportCommon : public VkObject<IVkTransport, IID_IVkTransport> {
public:
    VkResult SendToAll(VkNetMessage* message, uint32_t flags) override {
        if (!message) return VK_E_FAIL;
        message->receiver = 0;
        return Send(message, flags);
    }
    VkResult Peek(uint32_t id, VkTransportRecord* out, uint32_t flags) override {
        flags |= kVkTransportPeek;
        if (id == 0) flags |= kVkTransportAnyReceiver;
        return ReceiveFor(id, out, flags);
    }
    VkResult Receive(VkTransportRecord* out, uint32_t flags) override {
        return ReceiveFor(0, out, flags | kVkTransportAnyReceiver);
    }
    VkResult ReservedQuery(uint32_t, uint32_t* out) override {
        if (!out) return VK_E_FAIL;
        *out = 0;
        return VK_OK;
    }
};

// The application GUID a transport holds until it is given another.
extern const VkGuid kVkTransportDefaultAppGuid;

// Little-endian words of message payloads.
inline uint32_t VkNetGetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}
inline void VkNetPutU32(uint8_t* p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
    p[2] = static_cast<uint8_t>(v >> 16);
    p[3] = static_cast<uint8_t>(v >> 24);
}

VkResult VkCreateNullTransport(IVkUnknown* outer, IVkUnknown** out);

// The create function shared by the network components: no outer object; the allocator and
// the framework are held for the object's life; Init makes its pools.
template <class T> VkResult VkNetCreateObject(IVkUnknown* outer, IVkUnknown** out) {
    *out = nullptr;
    if (outer) return VK_E_NOAGGREGATION;
    T* object = nullptr;
    VkResult res = VkMemCreateObject(&object);
    if (res == VK_E_OUTOFMEMORY) return res;
    if (res < 0) return VK_E_FAIL;
    if (VkOpen() < 0) {
        VkMemDestroyObject(object);
        return VK_E_FAIL;
    }
    res = object->Init();
    if (res < 0) {
        object->Release(); // frees what Init made and closes the framework again
        return res;
    }
    *out = object;
    return VK_OK;
}
