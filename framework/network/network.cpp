#include "framework/network/network.h"

#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"

#include <cstddef>
#include <cstring>
#include <initializer_list>

const VkGuid CLSID_VkNetwork = {
    0xC6041C61, 0x7A56, 0x11D2, {0x81, 0x4B, 0x00, 0xC0, 0x4F, 0x7E, 0xE6, 0x92}};
const VkGuid IID_IVkNetwork = {
    0xA5573E21, 0x7A56, 0x11D2, {0x81, 0x4B, 0x00, 0xC0, 0x4F, 0x7E, 0xE6, 0x92}};

namespace {

constexpr uint32_t kDefaultTimeoutMs = 20000;
constexpr uint32_t kLatencyDeadlineMs = 20000;
constexpr uint32_t kProbeWaitMs = 2000;
constexpr uint32_t kBlocksPerChunk = 4;
constexpr size_t kSessionNameSize = 80; // as long as a transport's session entry name
constexpr uint32_t kMaxListedPlayers = 64; // the game has at most 8; a list beyond is refused

struct PlayerNode {
    PlayerNode* next;
    PlayerNode* prev;
    uint32_t id;
    uint32_t owner;
    uint32_t changed;
    uint8_t* data;
    uint32_t dataLength;
    bool removing; // its removal notice is with the callback
};

int32_t IgnoreMessage(VkNetMessage*) {
    return 0;
}

// A message the layer builds itself: header and up to three payload words in one block. Some
// are shown to the game with the total size in the length field, so the zeroed payload area is
// as long as that size, and a reader that trusts the field stays inside the block.
struct SmallMessage {
    VkNetMessage header;
    uint8_t payload[12 + sizeof(VkNetMessage)];
};
static_assert(offsetof(SmallMessage, payload) == sizeof(VkNetMessage));

void BuildSmall(SmallMessage* m, uint32_t from, uint32_t to, uint32_t length,
                std::initializer_list<uint32_t> words) {
    std::memset(m, 0, sizeof *m);
    m->header = {kVkNetHeaderWord, from, to, length, m->payload};
    uint8_t* p = m->payload;
    for (uint32_t w : words) {
        VkNetPutU32(p, w);
        p += 4;
    }
}

class Network final : public VkObject<IVkNetwork, IID_IVkNetwork> {
public:
    Network() { players_.next = players_.prev = &players_; }

    VkResult Init() { return VkMemAllocPool(sizeof(PlayerNode), kBlocksPerChunk, &pool_); }

    VkResult SetOption(uint32_t option, void* argument) override {
        switch (option) {
        case kVkNetOptionTransport: {
            DropTransport();
            if (!argument) return VK_E_FAIL;
            transport_ = static_cast<IVkTransport*>(argument);
            return StartTransport();
        }
        case kVkNetOptionTcpAddress:
        case kVkNetOptionModem:
        case kVkNetOptionSerial: {
            if (!transport_) return VK_E_FAIL;
            uint32_t kind = option == kVkNetOptionTcpAddress ? 1
                            : option == kVkNetOptionModem    ? 2
                                                             : 3;
            VkResult res = transport_->SetOption(kind, argument);
            return res < 0 ? res : VK_OK;
        }
        case kVkNetOptionTimeout:
            if (!argument) return VK_E_FAIL;
            timeoutMs_ = *static_cast<const uint32_t*>(argument);
            return VK_OK;
        default: return VK_E_FAIL;
        }
    }

    VkResult GetOption(uint32_t, void*) override { return VK_E_FAIL; }

    VkResult Initialise() override {
        if (attached_) return VK_OK;
        DropTransport();
        void* object = nullptr;
        VkResult res =
            VkCreateInstanceByCategory(CATID_VkTransport, nullptr, 0, IID_IVkTransport, &object);
        if (res < 0) return res;
        transport_ = static_cast<IVkTransport*>(object);
        return StartTransport();
    }

    void Shutdown() override {
        if (transport_) transport_->Stop();
    }

    VkResult GetHostId(uint32_t* out) override {
        if (!out) return VK_E_FAIL;
        *out = hostId_;
        return hostId_ ? VK_OK : VK_E_FAIL;
    }

    VkResult CreateTransportPlayer(uint32_t* out) override {
        if (!transport_ || transport_->CreatePlayer(out) < 0) return VK_E_FAIL;
        Poll();
        return VK_OK;
    }

    VkResult DestroyTransportPlayer(uint32_t id) override {
        return Flat(transport_ ? transport_->DestroyPlayer(id) : VK_E_FAIL);
    }

    VkResult OpenService(uint32_t index) override {
        return Flat(transport_ ? transport_->OpenService(index) : VK_E_FAIL);
    }

    VkResult SelectService(uint32_t index) override {
        return transport_ ? transport_->SelectService(index) : VK_E_FAIL;
    }

    VkResult Connect(void* service) override {
        return Flat(transport_ ? transport_->Connect(service) : VK_E_FAIL);
    }

    VkResult Disconnect() override {
        if (!transport_ || transport_->Disconnect() < 0) return VK_E_FAIL;
        DestroyAllPlayers();
        return VK_OK;
    }

    // No transport means no services, so a caller counting them never loops on a failure code.
    uint32_t GetNumServices() override { return transport_ ? transport_->GetNumServices() : 0; }

    VkResult GetServiceName(uint32_t index, char** out) override {
        return Flat(transport_ ? transport_->GetServiceName(index, out) : VK_E_FAIL);
    }

    VkResult HostSession(const char* name, uint32_t* outLocalId) override {
        if (!transport_ || transport_->CreateSession(name) < 0) return VK_E_FAIL;
        isHost_ = 1;
        hostTakenOver_ = 0;
        nextPlayerId_ = 1;
        if (transport_->CreatePlayer(outLocalId) < 0) {
            transport_->CloseSession();
            isHost_ = 0;
            return VK_E_FAIL;
        }
        hostId_ = *outLocalId;
        return VK_OK;
    }

    VkResult JoinSession(const char* session, uint32_t* outLocalId) override {
        if (!session) return VK_E_FAIL;
        // The caller's text usually lies in an enumerated entry, which enumerating again
        // replaces: keep a copy of the name first.
        char name[kSessionNameSize];
        VkCopyText(name, sizeof name, session);
        uint32_t count = 0;
        if (EnumSessions(&count) < 0 || count == 0) return VK_E_FAIL;
        if (transport_->JoinSession(name) < 0) return VK_E_FAIL;
        if (transport_->CreatePlayer(outLocalId) < 0) {
            transport_->CloseSession();
            return VK_E_FAIL;
        }
        // Wait for the host to name itself, no longer than a player request may wait.
        hostId_ = 0;
        hostGone_ = 0;
        isHost_ = 0;
        const uint32_t start = VkGetTime();
        while (hostId_ == 0) {
            Poll();
            if (hostId_ == 0 && VkGetTime() - start > timeoutMs_) {
                transport_->CloseSession();
                return VK_E_FAIL;
            }
        }
        return VK_OK;
    }

    VkResult GetSession(const char** out) override {
        return Flat(transport_ ? transport_->GetSession(out) : VK_E_FAIL);
    }

    VkResult CloseSession() override {
        if (!transport_ || transport_->CloseSession() < 0) return VK_E_FAIL;
        DestroyAllPlayers();
        playerCount_ = 0;
        return VK_OK;
    }

    VkResult EnumSessions(uint32_t* outCount) override {
        return Flat(transport_ ? transport_->EnumSessions(outCount) : VK_E_FAIL);
    }

    VkResult GetSessionDesc(uint32_t index, void** out) override {
        return Flat(transport_ ? transport_->GetSessionDesc(index, out) : VK_E_FAIL);
    }

    VkResult CreatePlayer(uint32_t owner, uint32_t* outId, uint32_t dataSize) override {
        if (!transport_ || !outId) return VK_E_FAIL;
        Poll();
        uint32_t largest = 0;
        for (PlayerNode* p = players_.next; p != &players_; p = p->next)
            if (p->id > largest) largest = p->id;
        joinRefused_ = 0;
        pendingRequester_ = owner;

        uint32_t host = 0;
        GetHostId(&host);
        SmallMessage request;
        BuildSmall(&request, owner, host, kVkNetHeaderSize + 8, {kVkNetPlayerRequest, 0});
        if (Send(&request.header, kVkSendGuaranteed) < 0) return VK_E_FAIL;

        const uint32_t start = VkGetTime();
        for (;;) {
            Poll();
            VkResult result = VK_OK;
            bool finished = false;
            if (joinRefused_ || VkGetTime() - start > timeoutMs_) {
                finished = true;
                result = VK_E_FAIL;
            }
            PlayerNode* found = nullptr;
            // Only a newcomer asked for by this requester is its answer.
            for (PlayerNode* p = players_.next; p != &players_ && !found; p = p->next)
                if (p->id > largest && p->owner == owner && !p->removing) found = p;
            if (found) {
                *outId = found->id;
                VkMemFree(found->data);
                found->data = nullptr;
                found->dataLength = 0;
                found->changed = 0;
                if (dataSize) {
                    found->data = static_cast<uint8_t*>(VkMemAlloc(dataSize));
                    if (!found->data) return VK_E_OUTOFMEMORY;
                    std::memset(found->data, 0, dataSize);
                    found->dataLength = dataSize;
                }
                return result;
            }
            if (finished) return VK_E_FAIL;
        }
    }

    VkResult DestroyPlayer(uint32_t id) override {
        PlayerNode* node = Find(id);
        if (!node || node->removing) return VK_OK;
        node->removing = true;
        SmallMessage notice;
        BuildSmall(&notice, 0, 0, 8, {kVkNetPlayerRemoved, id});
        callBack_(&notice.header);
        // The callback may have called back in; free the node only if it is still ours.
        for (PlayerNode* p = players_.next; p != &players_; p = p->next) {
            if (p == node && p->removing) {
                FreeNode(p);
                if (playerCount_) --playerCount_;
                break;
            }
        }
        return VK_OK;
    }

    VkResult GetPlayerOwner(uint32_t id, uint32_t* outOwner) override {
        if (!outOwner) return VK_E_FAIL;
        if (PlayerNode* p = Find(id)) *outOwner = p->owner;
        return VK_OK;
    }

    VkResult SetPlayerData(uint32_t id, const void* data, uint32_t size) override {
        if (!data) return size == 0 ? VK_OK : VK_E_FAIL;
        if (size == 0) return VK_OK;
        PlayerNode* p = Find(id);
        if (!p) return VK_E_FAIL;
        if (!p->data || p->dataLength != size) {
            VkMemFree(p->data);
            p->data = static_cast<uint8_t*>(VkMemAlloc(size));
            if (!p->data) {
                p->dataLength = 0;
                return VK_E_OUTOFMEMORY;
            }
        }
        std::memmove(p->data, data, size);
        p->dataLength = size;
        p->changed = 1;
        return VK_OK;
    }

    VkResult GetPlayerData(uint32_t id, void** outData, uint32_t* outSize) override {
        if (!outData) return VK_E_FAIL;
        PlayerNode* p = Find(id);
        if (!p) return VK_E_FAIL;
        if (!p->data) {
            if (outSize) *outSize = 0;
            return VK_E_FAIL;
        }
        *outData = p->data;
        if (outSize) *outSize = p->dataLength;
        p->changed = 0;
        return VK_OK;
    }

    uint32_t HasPlayerDataChanged(uint32_t id) override {
        PlayerNode* p = Find(id);
        if (!p || p->changed != 1) return 0;
        p->changed = 0;
        return 1;
    }

    VkResult GetNumPlayers(uint32_t* out) override {
        if (!out) return VK_E_FAIL;
        *out = playerCount_;
        return VK_OK;
    }

    VkResult GetPlayerByIndex(uint32_t index, uint32_t* outId) override {
        if (!outId) return VK_E_FAIL;
        *outId = 0;
        if (index >= playerCount_) return VK_E_FAIL;
        PlayerNode* p = players_.next;
        for (uint32_t i = 0; i < index && p != &players_; ++i)
            p = p->next;
        if (p == &players_) return VK_E_FAIL;
        *outId = p->id;
        return VK_OK;
    }

    VkResult EnumPlayers(uint32_t mode, uint32_t* id, uint32_t* outId) override {
        if (players_.next == &players_ || playerCount_ == 0) {
            if (id) *id = 0;
            return VK_E_FAIL;
        }
        if (!id) return VK_E_FAIL;
        if (mode == kVkNetEnumFirst) {
            *id = players_.next->id;
            return VK_OK;
        }
        if ((mode != kVkNetEnumNext && mode != kVkNetEnumPrevious) || !outId) return VK_E_FAIL;
        PlayerNode* p = Find(*id);
        if (!p) return VK_E_FAIL;
        PlayerNode* other = mode == kVkNetEnumNext ? p->next : p->prev;
        if (other != &players_) *outId = other->id;
        return VK_OK;
    }

    VkResult SendPlayerData(uint32_t to, uint32_t from, uint32_t id, uint32_t flags) override {
        if (to == from) return VK_OK;
        return SendData(to, from, id, flags, false);
    }

    VkResult SendPlayerDataToAll(uint32_t from, uint32_t id, uint32_t flags) override {
        return SendData(hostId_, from, id, flags, true);
    }

    uint32_t IsPlayerOwnedBy(uint32_t owner, uint32_t id) override {
        PlayerNode* p = Find(id);
        return p && p->owner == owner ? 1 : 0;
    }

    uint32_t IsPlayerNotOwnedBy(uint32_t owner, uint32_t id) override {
        return IsPlayerOwnedBy(owner, id) ? 0 : 1;
    }

    VkResult SetApplicationGuid(const VkGuid* guid) override {
        if (transport_) return transport_->SetApplicationGuid(guid);
        if (guid) {
            appGuid_ = *guid;
            guidHeld_ = 1;
        }
        return VK_OK;
    }

    VkResult GetApplicationGuid(VkGuid* out) override {
        if (!out) return VK_E_FAIL;
        if (!transport_ || transport_->GetApplicationGuid(out) < 0) *out = VK_GUID_NULL;
        return VK_OK;
    }

    VkResult Send(VkNetMessage* message, uint32_t flags) override {
        if (!Prepare(message)) return VK_E_FAIL;
        if (message->receiver == message->sender) return Dispatch(message, false);
        return transport_ ? transport_->Send(message, flags) : VK_E_FAIL;
    }

    VkResult SendToAll(VkNetMessage* message, uint32_t flags) override {
        if (!Prepare(message)) return VK_E_FAIL;
        return transport_ ? transport_->SendToAll(message, flags) : VK_E_FAIL;
    }

    VkResult Poll() override {
        if (!transport_) return VK_E_FAIL;
        VkResult result = VK_OK;
        VkTransportRecord record;
        while (transport_ && transport_->Receive(&record, 0) == VK_OK) {
            switch (record.kind) {
            case kVkTransportPlayerCreated:
                if (isHost_ && record.to == hostId_) {
                    SmallMessage m;
                    BuildSmall(&m, record.from, hostId_, kVkNetHeaderSize + 8, {kVkNetNewcomer, 0});
                    Dispatch(&m.header, false);
                }
                break;
            case kVkTransportPlayerDestroyed:
                // With the host's machine gone, the next host may announce itself.
                if (record.from == hostId_) hostGone_ = 1;
                DestroyOwnedBy(record.from);
                break;
            case kVkTransportBecameHost:
                if (!hostTakenOver_) {
                    hostId_ = record.to;
                    hostGone_ = 0;
                    isHost_ = 1;
                    hostTakenOver_ = 1;
                    SmallMessage m;
                    BuildSmall(&m, hostId_, 0, kVkNetHeaderSize + 8,
                               {kVkNetHostAnnounce, nextPlayerId_});
                    result = SendToAll(&m.header, kVkSendGuaranteed);
                }
                break;
            case kVkTransportSessionLost: result = VK_E_FAIL; break;
            case kVkTransportData: Deliver(record); break;
            default: break;
            }
        }
        return result;
    }

    VkResult SetMessageCallBack(VkNetMessageCallBack callBack) override {
        callBack_ = callBack ? callBack : IgnoreMessage;
        return VK_OK;
    }

    VkResult MeasureLatency(uint32_t from, uint32_t to, uint32_t* outMs) override {
        if (!transport_) return VK_E_FAIL;
        const uint32_t start = VkGetTime();
        uint32_t now = start;
        uint32_t samples[3] = {};
        uint32_t agreeing = 0;
        uint32_t sequence = 0;
        while (agreeing < 3 && now - start < kLatencyDeadlineMs) {
            const uint32_t sent = VkGetTime();
            probeSequence_ = sequence;
            probeAnswered_ = 0;
            probeAnswerTime_ = 0;
            SmallMessage probe;
            BuildSmall(&probe, from, to, kVkNetHeaderSize + 12,
                       {kVkNetLatencyProbe, sent, sequence});
            VkResult res = Send(&probe.header, kVkSendGuaranteed);
            if (res < 0) return res;
            do {
                Poll();
                now = VkGetTime();
            } while (!probeAnswered_ && now - sent < kProbeWaitMs);
            if (probeAnswered_) {
                const uint32_t sample = (probeAnswerTime_ - sent) / 2;
                if (agreeing == 0) {
                    samples[0] = sample;
                    agreeing = 1;
                } else {
                    const uint32_t previous = samples[agreeing - 1];
                    const uint32_t diff = sample > previous ? sample - previous : previous - sample;
                    if (previous == 0 || static_cast<uint64_t>(diff) * 100 / previous < 11) {
                        samples[agreeing++] = sample;
                    } else {
                        agreeing = 0;
                    }
                }
            }
            ++sequence;
        }
        if (outMs)
            *outMs = static_cast<uint32_t>(
                (static_cast<uint64_t>(samples[0]) + samples[1] + samples[2]) / 3);
        return VK_OK;
    }

private:
    void Destroy() override {
        DropTransport();
        while (players_.next != &players_)
            FreeNode(players_.next);
        if (pool_) pool_->Release();
        VkMemFree(deliverBlock_);
        VkMemDestroyObject(this);
        VkClose();
    }

    static VkResult Flat(VkResult res) { return res < 0 ? VK_E_FAIL : VK_OK; }

    void DropTransport() {
        if (transport_) transport_->Release();
        transport_ = nullptr;
        attached_ = 0;
    }

    VkResult StartTransport() {
        VkResult res = transport_->Start();
        if (res < 0) {
            DropTransport();
            return res;
        }
        attached_ = 1;
        if (guidHeld_) transport_->SetApplicationGuid(&appGuid_);
        return VK_OK;
    }

    // Turns a caller's block into a sent message: the length becomes the payload size and the
    // payload pointer names the bytes after the header. A length shorter than the header is
    // refused rather than wrapped into a huge payload size.
    static bool Prepare(VkNetMessage* message) {
        if (!message || message->length < kVkNetHeaderSize) return false;
        message->length -= kVkNetHeaderSize;
        message->payload = reinterpret_cast<uint8_t*>(message) + kVkNetHeaderSize;
        message->header = kVkNetHeaderWord;
        return true;
    }

    PlayerNode* Find(uint32_t id) {
        for (PlayerNode* p = players_.next; p != &players_; p = p->next)
            if (p->id == id) return p;
        return nullptr;
    }

    PlayerNode* Append(uint32_t id, uint32_t owner, uint32_t changed) {
        auto* node = static_cast<PlayerNode*>(pool_->Alloc());
        if (!node) return nullptr;
        *node = {&players_, players_.prev, id, owner, changed, nullptr, 0, false};
        players_.prev->next = node;
        players_.prev = node;
        ++nodeCount_;
        return node;
    }

    void FreeNode(PlayerNode* node) {
        node->prev->next = node->next;
        node->next->prev = node->prev;
        VkMemFree(node->data);
        pool_->Free(node);
        --nodeCount_;
    }

    void DestroyAllPlayers() {
        while (players_.next != &players_ && !players_.next->removing)
            DestroyPlayer(players_.next->id);
    }

    void DestroyOwnedBy(uint32_t owner) {
        for (;;) {
            PlayerNode* p = players_.next;
            while (p != &players_ && (p->owner != owner || p->removing))
                p = p->next;
            if (p == &players_) return;
            DestroyPlayer(p->id);
        }
    }

    // A peer's data record becomes a message block of its own for the dispatcher.
    // The message is built in a block kept from one message to the next, so a steady stream
    // allocates nothing; a callback that polls again, and so comes back here while the block is
    // in use, gets a block of its own.
    void Deliver(const VkTransportRecord& record) {
        if (record.length && !record.data) return;
        const size_t total = kVkNetHeaderSize + size_t{record.length};
        const bool nested = delivering_;
        uint8_t* block = deliverBlock_;
        if (nested || total > deliverSize_) {
            block = static_cast<uint8_t*>(VkMemAlloc(total));
            if (!block) return;
            if (!nested) {
                VkMemFree(deliverBlock_);
                deliverBlock_ = block;
                deliverSize_ = total;
            }
        }
        auto* message = reinterpret_cast<VkNetMessage*>(block);
        *message = {kVkNetHeaderWord, record.from, record.to, record.length,
                    block + kVkNetHeaderSize};
        if (record.length) std::memcpy(message->payload, record.data, record.length);
        delivering_ = true;
        Dispatch(message, true);
        delivering_ = nested;
        if (nested) VkMemFree(block);
    }

    VkResult SendSmall(uint32_t from, uint32_t to, std::initializer_list<uint32_t> words) {
        SmallMessage m;
        BuildSmall(&m, from, to, kVkNetHeaderSize + 4 * static_cast<uint32_t>(words.size()), words);
        return Send(&m.header, kVkSendGuaranteed);
    }

    VkResult SendData(uint32_t to, uint32_t from, uint32_t id, uint32_t flags, bool toAll) {
        PlayerNode* p = Find(id);
        if (!p) return VK_E_FAIL;
        const size_t total = kVkNetHeaderSize + 12 + size_t{p->dataLength};
        if (total > UINT32_MAX) return VK_E_FAIL;
        auto* block = static_cast<uint8_t*>(VkMemAlloc(total));
        if (!block) return VK_E_OUTOFMEMORY;
        std::memset(block, 0, total);
        auto* message = reinterpret_cast<VkNetMessage*>(block);
        *message = {kVkNetHeaderWord, from, to, static_cast<uint32_t>(total),
                    block + kVkNetHeaderSize};
        VkNetPutU32(message->payload, kVkNetPlayerData);
        VkNetPutU32(message->payload + 4, id);
        VkNetPutU32(message->payload + 8, p->dataLength);
        if (p->dataLength) std::memcpy(message->payload + 12, p->data, p->dataLength);
        VkResult res = toAll ? SendToAll(message, flags) : Send(message, flags);
        VkMemFree(block);
        return res;
    }

    // Handles one message that arrived (fromWire) or was sent to this machine. Every field is
    // read only after the payload size shows it is there; a layer message too short for its
    // fields is refused like an empty one. The session's tables change only on the word of the
    // machine entitled to change them: the host, or a player's owner for its removal.
    VkResult Dispatch(VkNetMessage* m, bool fromWire) {
        const uint32_t size = m->length;
        if (size < 4 || !m->payload) return VK_E_FAIL;
        const uint8_t* p = m->payload;
        const uint32_t type = VkNetGetU32(p);
        auto word = [p](uint32_t index) { return VkNetGetU32(p + 4 * index); };
        auto needs = [size](uint32_t words) { return size >= 4 * words; };

        switch (type) {
        case kVkNetHostQuery:
            if (isHost_ && m->receiver == hostId_)
                SendSmall(hostId_, m->sender, {kVkNetHostAnnounce, nextPlayerId_});
            return VK_OK;
        case kVkNetHostAnnounce:
            if (!needs(2)) return VK_E_FAIL;
            if (hostId_ != 0 && m->sender != hostId_ && !hostGone_) return VK_E_FAIL;
            hostGone_ = 0;
            hostId_ = m->sender;
            nextPlayerId_ = word(1);
            hostTakenOver_ = 0;
            callBack_(m);
            return VK_OK;
        case kVkNetPlayerRequest:
            if (isHost_ && m->receiver == hostId_) AnswerRequest(m);
            return VK_OK;
        case kVkNetPlayerRemoved: {
            if (!needs(2)) return VK_E_FAIL;
            const PlayerNode* target = Find(word(1));
            if (target && m->sender != hostId_ && m->sender != target->owner) return VK_E_FAIL;
            DestroyPlayer(word(1));
            return VK_OK;
        }
        case kVkNetPlayerAdded: {
            if (!needs(3)) return VK_E_FAIL;
            if (m->sender != hostId_) return VK_E_FAIL;
            const uint32_t id = word(1);
            if (Find(id)) return VK_OK;
            nextPlayerId_ = id;
            if (!Append(id, word(2), 0)) return VK_E_OUTOFMEMORY;
            ++playerCount_;
            callBack_(m);
            return VK_OK;
        }
        case kVkNetPlayerRefused:
            if (m->receiver == pendingRequester_) joinRefused_ = 1;
            return VK_OK;
        case kVkNetLatencyProbe:
            if (!needs(3)) return VK_E_FAIL;
            SendSmall(m->receiver, m->sender, {kVkNetLatencyAnswer, VkGetTime(), word(2)});
            return VK_OK;
        case kVkNetLatencyAnswer:
            if (!needs(3)) return VK_E_FAIL;
            if (word(2) == probeSequence_) {
                probeAnswered_ = 1;
                probeAnswerTime_ = VkGetTime();
            }
            return VK_OK;
        case kVkNetPlayerList:
            if (m->sender != hostId_ || !ValidPlayerList(p + 4, size - 4)) return VK_E_FAIL;
            ReplacePlayers(p + 4, (size - 4) / 8);
            return VK_OK;
        case kVkNetNewcomer:
            // Made only by this machine from its transport's notice; no peer sends it.
            if (!fromWire && isHost_ && m->receiver == hostId_) WelcomeNewcomer(m->sender);
            return VK_OK;
        case kVkNetPlayerData: {
            if (!needs(3)) return VK_E_FAIL;
            const uint32_t length = word(2);
            if (length > size - 12) return VK_E_FAIL;
            SetPlayerData(word(1), p + 12, length);
            callBack_(m);
            return VK_OK;
        }
        default:
            if (type > kVkNetNewcomer) callBack_(m);
            return VK_OK;
        }
    }

    void AnswerRequest(VkNetMessage* m) {
        if (callBack_(m) != 0) {
            SendSmall(hostId_, m->sender, {kVkNetPlayerRefused, 0});
            return;
        }
        const uint32_t id = ++nextPlayerId_;
        if (!Append(id, m->sender, 0)) return;
        ++playerCount_;
        SmallMessage added;
        BuildSmall(&added, hostId_, m->sender, kVkNetHeaderSize + 12,
                   {kVkNetPlayerAdded, id, m->sender});
        callBack_(&added.header);
        SendToAll(&added.header, kVkSendGuaranteed);
    }

    // A player list holds 1 to kMaxListedPlayers whole pairs, each with a real id and owner,
    // and no id twice.
    static bool ValidPlayerList(const uint8_t* pairs, uint32_t size) {
        if (size % 8 != 0 || size == 0 || size / 8 > kMaxListedPlayers) return false;
        const uint32_t count = size / 8;
        for (uint32_t i = 0; i < count; ++i) {
            const uint32_t id = VkNetGetU32(pairs + 8 * i);
            if (id == 0 || VkNetGetU32(pairs + 8 * i + 4) == 0) return false;
            for (uint32_t j = 0; j < i; ++j)
                if (VkNetGetU32(pairs + 8 * j) == id) return false;
        }
        return true;
    }

    void ReplacePlayers(const uint8_t* pairs, uint32_t count) {
        while (players_.next != &players_ && !players_.next->removing)
            FreeNode(players_.next);
        playerCount_ = 0;
        for (uint32_t i = 0; i < count; ++i) {
            if (!Append(VkNetGetU32(pairs + 8 * i), VkNetGetU32(pairs + 8 * i + 4), 1)) break;
            ++playerCount_;
        }
    }

    void WelcomeNewcomer(uint32_t newcomer) {
        SendSmall(hostId_, newcomer, {kVkNetHostAnnounce, nextPlayerId_});
        if (nodeCount_ > 0) {
            const size_t total = kVkNetHeaderSize + 4 + 8 * size_t{nodeCount_};
            auto* block = static_cast<uint8_t*>(VkMemAlloc(total));
            if (block) {
                auto* list = reinterpret_cast<VkNetMessage*>(block);
                *list = {kVkNetHeaderWord, hostId_, newcomer, static_cast<uint32_t>(total),
                         block + kVkNetHeaderSize};
                uint8_t* out = list->payload;
                VkNetPutU32(out, kVkNetPlayerList);
                out += 4;
                for (PlayerNode* n = players_.next; n != &players_; n = n->next, out += 8) {
                    VkNetPutU32(out, n->id);
                    VkNetPutU32(out + 4, n->owner);
                }
                Send(list, kVkSendGuaranteed);
                VkMemFree(block);
            }
        }
        for (PlayerNode* n = players_.next; n != &players_; n = n->next)
            SendPlayerData(newcomer, hostId_, n->id, kVkSendGuaranteed);
    }

    IVkTransport* transport_ = nullptr;
    uint32_t attached_ = 0;
    IVkMemPool* pool_ = nullptr;
    PlayerNode players_ = {};
    uint32_t nodeCount_ = 0;
    uint32_t playerCount_ = 0;
    uint32_t joinRefused_ = 0;
    uint32_t pendingRequester_ = 0;
    uint32_t hostId_ = 0;
    uint32_t nextPlayerId_ = 1;
    uint32_t isHost_ = 0;
    uint32_t hostTakenOver_ = 0;
    uint32_t hostGone_ = 0; // the transport reported the host's machine gone
    uint32_t timeoutMs_ = kDefaultTimeoutMs;
    uint32_t probeSequence_ = 0;
    uint32_t probeAnswered_ = 0;
    uint32_t probeAnswerTime_ = 0;
    VkGuid appGuid_ = {};
    uint32_t guidHeld_ = 0;
    VkNetMessageCallBack callBack_ = IgnoreMessage;
    uint8_t* deliverBlock_ = nullptr; // see Deliver
    size_t deliverSize_ = 0;
    bool delivering_ = false;
};

const VkCategoryRef kTransportCategory[] = {{&CATID_VkTransport, "Vesk Transport"}};
const VkComponentRecord kNetworkRecords[] = {
    {&CLSID_VkNetwork, 0, nullptr, 1, kTransportCategory, VkCreateNetwork,
     "Vesk - Standard Networking", "Vesk.Network.5", "Vesk.Network", nullptr},
};

} // namespace

VkResult VkCreateNetwork(IVkUnknown* outer, IVkUnknown** out) {
    return VkNetCreateObject<Network>(outer, out);
}

VkResult VkNetworkModuleRegister(IVkRegistry* registry) {
    return VkModule<kNetworkRecords>::Register(registry);
}
