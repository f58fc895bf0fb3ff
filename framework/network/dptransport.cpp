// The two session-service transports. They are one design, parameterised by the interface
// versions they ask the platform for: every message is fetched by polling Receive, and the
// platform's player ids are the transport ids.
#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "framework/network/transport.h"
#include "platform/dplay/dplay.h"

#include <cstring>

const VkGuid CLSID_VkDx6Transport = {
    0xABFA4301, 0xF0CE, 0x11D2, {0x81, 0x4C, 0x08, 0x00, 0x09, 0xD7, 0xE1, 0x1F}};
const VkGuid CLSID_VkDx5Transport = {
    0xCADFC6E1, 0x758C, 0x11D2, {0x81, 0x4B, 0x00, 0xC0, 0x4F, 0x7E, 0xE6, 0x92}};

namespace {

constexpr uint32_t kNameSize = 80;
constexpr uint32_t kBlocksPerChunk = 4;
constexpr size_t kMaxAddressText = 255;

// The first field of each record is its name, so a record can be handed out as its name.
struct ConnectionRecord {
    char name[kNameSize];
    GUID provider;
    uint8_t* address;
    uint32_t addressSize;
};
struct ConnectionNode {
    ConnectionNode* next;
    ConnectionRecord record;
};
struct SessionRecord {
    char name[kNameSize];
    GUID instance;
};
struct SessionNode {
    SessionNode* next;
    SessionRecord record;
};

GUID ToPlatform(const VkGuid& g) {
    GUID out;
    static_assert(sizeof out == sizeof g);
    std::memcpy(&out, &g, sizeof out);
    return out;
}

const GUID* ProviderOf(uint32_t code) {
    switch (code) {
    case kVkServiceTcpIp: return &DPSPGUID_TCPIP;
    case kVkServiceIpx: return &DPSPGUID_IPX;
    case kVkServiceModem: return &DPSPGUID_MODEM;
    case kVkServiceSerial: return &DPSPGUID_SERIAL;
    default: return nullptr;
    }
}

struct Versions {
    const GUID* play;
    const GUID* lobby;
};

template <const Versions& V> class DpTransport final : public VkTransportCommon {
public:
    VkResult Init() {
        VkResult res = VkMemAllocPool(sizeof(ConnectionNode), kBlocksPerChunk, &connPool_);
        if (res < 0) return res;
        return VkMemAllocPool(sizeof(SessionNode), kBlocksPerChunk, &sessionPool_);
    }

    VkResult Start() override {
        IDirectPlay* dp = NewPlay();
        if (!dp) return VK_E_FAIL;
        const GUID app = ToPlatform(appGuid_);
        HRESULT hr = dp->EnumConnections(&app, OnConnection, this, DPCONNECTION_DIRECTPLAY);
        dp->Release();
        return hr == DP_OK ? VK_OK : VK_E_FAIL;
    }

    VkResult Stop() override { return 3; }

    VkResult SetOption(uint32_t kind, void* argument) override {
        if (!argument) return VK_E_FAIL;
        DPCOMPOUNDADDRESSELEMENT e[3] = {};
        uint32_t count = 2;
        const GUID* provider = nullptr;
        switch (kind) {
        case 1: {
            provider = &DPSPGUID_TCPIP;
            // A longer address would be sent cut and without its terminating zero.
            auto* text = static_cast<const char*>(argument);
            const size_t length = strnlen(text, kMaxAddressText + 1);
            if (length > kMaxAddressText) return VK_E_FAIL;
            e[1] = {DPAID_INet, static_cast<uint32_t>(length + 1), text};
            break;
        }
        case 2: {
            provider = &DPSPGUID_MODEM;
            auto* texts = static_cast<const char*>(argument);
            e[1] = {DPAID_Modem, static_cast<uint32_t>(strnlen(texts, 63) + 1), texts};
            e[2] = {DPAID_Phone, static_cast<uint32_t>(strnlen(texts + 64, 63) + 1), texts + 64};
            count = 3;
            break;
        }
        case 3:
            provider = &DPSPGUID_SERIAL;
            e[1] = {DPAID_ComPort, 20, argument};
            break;
        default: return VK_E_FAIL;
        }
        e[0] = {DPAID_ServiceProvider, sizeof(GUID), provider};
        ConnectionRecord* record = FindConnection(*provider);
        if (!record) return VK_E_FAIL;
        void* object = nullptr;
        if (DirectPlayCoCreateInstance(CLSID_DirectPlayLobby, nullptr, 1, *V.lobby, &object) !=
            DP_OK)
            return VK_E_FAIL;
        auto* lobby = static_cast<IDirectPlayLobby*>(object);
        uint32_t size = 0;
        uint8_t* address = nullptr;
        if (lobby->CreateCompoundAddress(e, count, nullptr, &size) == DPERR_BUFFERTOOSMALL && size)
            address = static_cast<uint8_t*>(VkMemAlloc(size));
        const bool built =
            address && lobby->CreateCompoundAddress(e, count, address, &size) == DP_OK;
        lobby->Release();
        if (!built) {
            VkMemFree(address);
            return VK_E_FAIL;
        }
        VkMemFree(record->address);
        record->address = address;
        record->addressSize = size;
        return VK_OK;
    }

    VkResult GetOption(uint32_t kind, uint32_t* out) override {
        if (kind != 4 || !out) return VK_E_FAIL;
        *out = receiveSize_;
        return VK_OK;
    }

    VkResult CreatePlayer(uint32_t* outId) override {
        if (!outId) return VK_E_FAIL;
        *outId = 0;
        if (!dp_) return VK_E_FAIL;
        DPID id = 0;
        HRESULT hr = dp_->CreatePlayer(&id, nullptr, nullptr, nullptr, 0, 0);
        switch (hr) {
        case DP_OK: *outId = id; return VK_OK;
        case DPERR_CANTADDPLAYER: return VK_E_TRANSPORT_CANTADDPLAYER;
        case DPERR_CANTCREATEPLAYER: return VK_E_TRANSPORT_CANTCREATEPLAYER;
        case DPERR_INVALIDFLAGS: return VK_E_TRANSPORT_INVALIDFLAGS;
        case DPERR_INVALIDPARAMS: return VK_E_TRANSPORT_INVALIDPARAM;
        case DPERR_NOCONNECTION: return VK_E_TRANSPORT_NOCONNECTION;
        default: return VK_E_FAIL;
        }
    }

    VkResult DestroyPlayer(uint32_t id) override {
        if (!dp_) return VK_E_FAIL;
        HRESULT hr = dp_->DestroyPlayer(id);
        if (hr == DP_OK) return VK_OK;
        return hr == DPERR_INVALIDOBJECT || hr == DPERR_INVALIDPLAYER ? VK_E_TRANSPORT_INVALIDPLAYER
                                                                      : VK_E_FAIL;
    }

    VkResult Send(VkNetMessage* message, uint32_t flags) override {
        if (!message || !dp_) return VK_E_FAIL;
        HRESULT hr = dp_->Send(message->sender, message->receiver,
                               (flags & kVkSendGuaranteed) ? DPSEND_GUARANTEED : 0,
                               message->payload, message->length);
        switch (hr) {
        case DP_OK: return VK_OK;
        case DPERR_INVALIDPARAMS: return VK_E_TRANSPORT_INVALIDPARAM;
        case DPERR_INVALIDPLAYER: return VK_E_TRANSPORT_INVALIDPLAYER;
        case DPERR_BUSY: return VK_E_TRANSPORT_BUSY;
        case DPERR_SENDTOOBIG: return VK_E_TRANSPORT_TOOBIG;
        default: return VK_E_FAIL;
        }
    }

    VkResult ReceiveFor(uint32_t id, VkTransportRecord* out, uint32_t flags) override {
        if (!dp_ || !out) return VK_E_FAIL;
        // A message for any receiver is taken at once; one for a given player is looked at
        // first, so that one for another player stays queued.
        const bool any = flags & kVkTransportAnyReceiver;
        for (;;) {
            DPID from = 0, to = 0;
            uint32_t size = receiveSize_;
            const uint32_t how = any ? DPRECEIVE_ALL : DPRECEIVE_ALL | DPRECEIVE_PEEK;
            HRESULT hr = dp_->Receive(&from, &to, how, receive_, &size);
            if (hr == DPERR_BUFFERTOOSMALL) {
                if (size <= receiveSize_) return VK_E_FAIL;
                auto* bigger = static_cast<uint8_t*>(VkMemAlloc(size));
                if (!bigger) return VK_E_OUTOFMEMORY;
                VkMemFree(receive_);
                receive_ = bigger;
                receiveSize_ = size;
                continue;
            }
            if (hr != DP_OK) return ReceiveFailure(hr);
            if (!any) {
                if (from != DPID_SYSMSG && to != id) return VK_E_FAIL;
                hr = dp_->Receive(&from, &to, DPRECEIVE_ALL, receive_, &size);
                if (hr != DP_OK) return ReceiveFailure(hr);
            }
            if (from != DPID_SYSMSG) {
                *out = {kVkTransportData, from, to, size, size ? receive_ : nullptr};
                return VK_OK;
            }
            // A system message: its type first, then (for players) the player type and id.
            if (size < 4) continue;
            uint32_t type = 0;
            std::memcpy(&type, receive_, 4);
            DPMSG_PLAYER player = {};
            if (size >= sizeof player) std::memcpy(&player, receive_, sizeof player);
            switch (type) {
            case DPSYS_CREATEPLAYERORGROUP:
            case DPSYS_DESTROYPLAYERORGROUP:
                if (size < sizeof player) continue;
                *out = {type == DPSYS_CREATEPLAYERORGROUP ? kVkTransportPlayerCreated
                                                          : kVkTransportPlayerDestroyed,
                        player.dpId, to, 0, nullptr};
                return VK_OK;
            case DPSYS_SESSIONLOST:
                *out = {kVkTransportSessionLost, 0, to, 0, nullptr};
                return VK_OK;
            case DPSYS_HOST: *out = {kVkTransportBecameHost, 0, to, 0, nullptr}; return VK_OK;
            default: continue; // not one the layer needs: read the next
            }
        }
    }

    VkResult GetMessageCount(uint32_t id, uint32_t* out) override {
        if (!out) return VK_E_FAIL;
        *out = 0;
        if (!dp_) return VK_E_FAIL;
        HRESULT hr = dp_->GetMessageCount(id, out);
        if (hr == DP_OK) return VK_OK;
        *out = 0;
        return hr == DPERR_INVALIDOBJECT || hr == DPERR_INVALIDPLAYER ? VK_E_TRANSPORT_INVALIDPLAYER
                                                                      : VK_E_FAIL;
    }

    VkResult SetApplicationGuid(const VkGuid* guid) override {
        appGuid_ = guid ? *guid : VK_GUID_NULL;
        return VK_OK;
    }
    VkResult GetApplicationGuid(VkGuid* out) override {
        if (!out) return VK_E_FAIL;
        *out = appGuid_;
        return VK_OK;
    }

    VkResult CreateSession(const char* name) override {
        if (!dp_ || !name) return VK_E_FAIL;
        DPSESSIONDESC2 desc = {};
        desc.dwSize = kNameSize;
        desc.dwFlags = DPSESSION_MIGRATEHOST | DPSESSION_KEEPALIVE;
        desc.guidApplication = ToPlatform(appGuid_);
        desc.lpszSessionNameA = name;
        if (dp_->Open(&desc, DPOPEN_CREATE) != DP_OK) return VK_E_FAIL;
        current_ = name;
        return VK_OK;
    }

    VkResult JoinSession(const char* session) override {
        if (!dp_ || !session) return VK_E_FAIL;
        for (SessionNode* n = sessions_; n; n = n->next) {
            if (std::strcmp(n->record.name, session) != 0) continue;
            DPSESSIONDESC2 desc = {};
            desc.dwSize = kNameSize;
            desc.guidInstance = n->record.instance;
            desc.guidApplication = ToPlatform(appGuid_);
            if (dp_->Open(&desc, DPOPEN_JOIN) != DP_OK) return VK_E_FAIL;
            current_ = n->record.name;
            return VK_OK;
        }
        return VK_E_FAIL;
    }

    VkResult GetSession(const char** out) override {
        if (!out) return VK_E_FAIL;
        *out = current_;
        return current_ ? VK_OK : VK_E_FAIL;
    }

    VkResult CloseSession() override {
        if (!dp_) return VK_E_FAIL;
        current_ = nullptr;
        return dp_->Close() == DP_OK ? VK_OK : VK_E_FAIL;
    }

    VkResult EnumSessions(uint32_t* outCount) override {
        if (!outCount) return VK_E_FAIL;
        *outCount = 0;
        ClearSessions();
        if (!dp_) return VK_E_FAIL;
        DPSESSIONDESC2 desc = {};
        desc.dwSize = kNameSize;
        desc.guidApplication = ToPlatform(appGuid_);
        if (dp_->EnumSessions(&desc, 0, OnSession, this, 0) != DP_OK) return VK_E_FAIL;
        *outCount = sessionCount_;
        return VK_OK;
    }

    VkResult GetSessionDesc(uint32_t index, void** out) override {
        if (!out) return VK_E_FAIL;
        *out = nullptr;
        uint32_t count = 0;
        if (EnumSessions(&count) < 0 || index >= count) return VK_E_FAIL;
        SessionNode* n = sessions_;
        for (uint32_t i = 0; i < index && n; ++i)
            n = n->next;
        if (!n) return VK_E_FAIL;
        *out = &n->record;
        return VK_OK;
    }

    VkResult OpenService(uint32_t service) override {
        if (dp_) return VK_E_FAIL;
        return InitService(service, true);
    }

    VkResult SelectService(uint32_t service) override { return InitService(service, false); }

    VkResult Connect(void* service) override {
        if (!service || dp_) return VK_E_FAIL;
        // Only an entry this transport handed out is read as a connection record.
        ConnectionRecord* record = nullptr;
        for (ConnectionNode* n = connections_; n && !record; n = n->next)
            if (&n->record == service) record = &n->record;
        if (!record) return VK_E_FAIL;
        dp_ = NewPlay();
        if (!dp_) return VK_E_FAIL;
        if (dp_->InitializeConnection(record->address, 0) != DP_OK) {
            dp_->Release();
            dp_ = nullptr;
            return VK_E_FAIL;
        }
        return VK_OK;
    }

    VkResult Disconnect() override {
        if (!dp_) return VK_E_TRANSPORT_NOSERVICE;
        dp_->Release();
        dp_ = nullptr;
        current_ = nullptr;
        return VK_OK;
    }

    uint32_t GetNumServices() override { return connectionCount_; }

    VkResult GetServiceName(uint32_t index, char** out) override {
        if (!out) return VK_E_FAIL;
        *out = nullptr;
        ConnectionNode* n = connections_;
        for (uint32_t i = 0; i < index && n; ++i)
            n = n->next;
        if (!n || index >= connectionCount_) return VK_E_FAIL;
        *out = n->record.name;
        return VK_OK;
    }

private:
    void Destroy() override {
        if (dp_) dp_->Release();
        ClearSessions();
        while (connections_) {
            ConnectionNode* n = connections_;
            connections_ = n->next;
            VkMemFree(n->record.address);
            connPool_->Free(n);
        }
        VkMemFree(receive_);
        if (connPool_) connPool_->Release();
        if (sessionPool_) sessionPool_->Release();
        VkMemDestroyObject(this);
        VkClose();
    }

    static IDirectPlay* NewPlay() {
        void* object = nullptr;
        if (DirectPlayCoCreateInstance(CLSID_DirectPlay, nullptr, 1, *V.play, &object) != DP_OK)
            return nullptr;
        return static_cast<IDirectPlay*>(object);
    }

    static VkResult ReceiveFailure(HRESULT hr) {
        switch (hr) {
        case DPERR_NOMESSAGES: return VK_E_TRANSPORT_NOMESSAGE;
        case DPERR_INVALIDPARAMS: return VK_E_TRANSPORT_INVALIDPARAM;
        case DPERR_INVALIDOBJECT:
        case DPERR_INVALIDPLAYER: return VK_E_TRANSPORT_INVALIDPLAYER;
        default: return VK_E_FAIL;
        }
    }

    ConnectionRecord* FindConnection(const GUID& provider) {
        for (ConnectionNode* n = connections_; n; n = n->next)
            if (n->record.provider == provider) return &n->record;
        return nullptr;
    }

    // Opens the service (keep) or only checks that it can be initialised.
    VkResult InitService(uint32_t service, bool keep) {
        const GUID* provider = ProviderOf(service);
        ConnectionRecord* record = provider ? FindConnection(*provider) : nullptr;
        if (!record) return VK_E_TRANSPORT_NOSERVICE;
        IDirectPlay* dp = NewPlay();
        if (!dp) return VK_E_FAIL;
        if (dp->InitializeConnection(record->address, 0) != DP_OK) {
            dp->Release();
            return VK_E_FAIL;
        }
        if (keep)
            dp_ = dp;
        else
            dp->Release();
        return VK_OK;
    }

    static int OnConnection(const GUID* provider, void* connection, uint32_t size,
                            const DPNAME* name, uint32_t, void* context) {
        auto* self = static_cast<DpTransport*>(context);
        if (!provider || !connection || size == 0) return 1;
        auto* copy = static_cast<uint8_t*>(VkMemAlloc(size));
        if (!copy) return 1;
        std::memcpy(copy, connection, size);
        IDirectPlay* dp = NewPlay();
        const bool works = dp && dp->InitializeConnection(copy, 0) == DP_OK;
        if (dp) dp->Release();
        auto* node = works ? static_cast<ConnectionNode*>(self->connPool_->Alloc()) : nullptr;
        if (!node) {
            VkMemFree(copy);
            return 1;
        }
        node->next = nullptr;
        VkCopyText(node->record.name, kNameSize,
                   name && name->lpszShortNameA ? name->lpszShortNameA : "");
        node->record.provider = *provider;
        node->record.address = copy;
        node->record.addressSize = size;
        ConnectionNode** tail = &self->connections_;
        while (*tail)
            tail = &(*tail)->next;
        *tail = node;
        ++self->connectionCount_;
        return 1;
    }

    static int OnSession(const DPSESSIONDESC2* desc, uint32_t*, uint32_t flags, void* context) {
        auto* self = static_cast<DpTransport*>(context);
        if ((flags & DPESC_TIMEDOUT) || !desc) return 0;
        auto* node = static_cast<SessionNode*>(self->sessionPool_->Alloc());
        if (!node) return 1;
        node->next = nullptr;
        VkCopyText(node->record.name, kNameSize,
                   desc->lpszSessionNameA ? desc->lpszSessionNameA : "");
        node->record.instance = desc->guidInstance;
        SessionNode** tail = &self->sessions_;
        while (*tail)
            tail = &(*tail)->next;
        *tail = node;
        ++self->sessionCount_;
        return 1;
    }

    void ClearSessions() {
        // The current session may name an enumerated record: keep pointing at valid text.
        while (sessions_) {
            SessionNode* n = sessions_;
            sessions_ = n->next;
            if (current_ == n->record.name) current_ = nullptr;
            sessionPool_->Free(n);
        }
        sessionCount_ = 0;
    }

    IVkMemPool* connPool_ = nullptr;
    ConnectionNode* connections_ = nullptr;
    IVkMemPool* sessionPool_ = nullptr;
    SessionNode* sessions_ = nullptr;
    uint32_t connectionCount_ = 0;
    uint32_t sessionCount_ = 0;
    const char* current_ = nullptr;
    uint32_t receiveSize_ = 0;
    uint8_t* receive_ = nullptr;
    IDirectPlay* dp_ = nullptr;
    VkGuid appGuid_ = kVkTransportDefaultAppGuid;
};

constexpr Versions kDx6 = {&IID_IDirectPlay4A, &IID_IDirectPlayLobby3A};
constexpr Versions kDx5 = {&IID_IDirectPlay3A, &IID_IDirectPlayLobby2A};

template <const Versions& V> VkResult CreateTransport(IVkUnknown* outer, IVkUnknown** out) {
    return VkNetCreateObject<DpTransport<V>>(outer, out);
}

const VkCategoryRef kTransportCategory[] = {{&CATID_VkTransport, "Vesk Transport"}};
const VkComponentRecord kDx6Records[] = {
    {&CLSID_VkDx6Transport, 1, kTransportCategory, 0, nullptr, CreateTransport<kDx6>,
     "Vesk - DirectX 6 Network Transport", "Vesk.DX6Transport.5", "Vesk.DX6Transport", nullptr},
};
const VkComponentRecord kDx5Records[] = {
    {&CLSID_VkDx5Transport, 1, kTransportCategory, 0, nullptr, CreateTransport<kDx5>,
     "Vesk - DirectX 5 Network Transport", "Vesk.DX5Transport.5", "Vesk.DX5Transport", nullptr},
};

} // namespace

VkResult VkDx6TransportModuleRegister(IVkRegistry* registry) {
    return VkModule<kDx6Records>::Register(registry);
}

VkResult VkDx5TransportModuleRegister(IVkRegistry* registry) {
    return VkModule<kDx5Records>::Register(registry);
}
