// The NULL transport: one session inside the process. Players are ids in a list and every
// message goes through an in-memory queue, so network code runs without a network.
#include "framework/core/framework.h"
#include "framework/core/memory.h"
#include "framework/core/modules.h"
#include "framework/network/transport.h"

#include <cstring>

const VkGuid IID_IVkTransport = {
    0xD073F881, 0x8DF9, 0x11D2, {0x81, 0x4B, 0x00, 0xC0, 0x4F, 0x7E, 0xE6, 0x92}};
const VkGuid CLSID_VkNullTransport = {
    0x489E3041, 0x8DFB, 0x11D2, {0x81, 0x4B, 0x00, 0xC0, 0x4F, 0x7E, 0xE6, 0x92}};
const VkGuid kVkTransportDefaultAppGuid = {
    0xE0533341, 0x77E9, 0x11D2, {0x81, 0x4B, 0x00, 0xC0, 0x4F, 0x7E, 0xE6, 0x92}};

namespace {

constexpr uint32_t kFirstPlayerId = 10;
constexpr uint32_t kBlocksPerChunk = 4;
constexpr char kServiceName[] = "NULL Service";

// A queued record; its data is a private copy owned by the queue.
struct QueueNode {
    QueueNode* next;
    QueueNode* prev;
    VkTransportRecord record;
    uint8_t* copy;
};

struct PlayerNode {
    PlayerNode* next;
    PlayerNode* prev;
    uint32_t id;
};

template <class Node> void LinkTail(Node* head, Node* node) {
    node->next = head;
    node->prev = head->prev;
    head->prev->next = node;
    head->prev = node;
}
template <class Node> void Unlink(Node* node) {
    node->prev->next = node->next;
    node->next->prev = node->prev;
}

void FreeZeroed(uint8_t* block, uint32_t size) {
    if (!block) return;
    std::memset(block, 0, size);
    VkMemFree(block);
}

class NullTransport final : public VkTransportCommon {
public:
    NullTransport() {
        queue_.next = queue_.prev = &queue_;
        players_.next = players_.prev = &players_;
        std::memcpy(serviceName_, kServiceName, sizeof kServiceName);
    }

    VkResult Init() {
        VkResult res = VkMemAllocPool(sizeof(QueueNode), kBlocksPerChunk, &queuePool_);
        if (res < 0) return res;
        return VkMemAllocPool(sizeof(PlayerNode), kBlocksPerChunk, &playerPool_);
    }

    VkResult Start() override { return VK_OK; }
    VkResult Stop() override { return 1; }

    VkResult SetOption(uint32_t kind, void*) override {
        return kind >= 1 && kind <= 3 ? VK_OK : VK_E_FAIL;
    }
    VkResult GetOption(uint32_t, uint32_t*) override { return VK_E_FAIL; }

    VkResult CreatePlayer(uint32_t* outId) override {
        if (!outId) return VK_E_FAIL;
        auto* node = static_cast<PlayerNode*>(playerPool_->Alloc());
        if (!node) return VK_E_OUTOFMEMORY;
        node->id = nextId_++;
        LinkTail(&players_, node);
        ++playerCount_;
        *outId = node->id;
        for (PlayerNode* p = players_.next; p != &players_; p = p->next)
            if (p != node) Queue(kVkTransportPlayerCreated, node->id, p->id, nullptr, 0);
        return VK_OK;
    }

    VkResult DestroyPlayer(uint32_t id) override {
        PlayerNode* node = FindPlayer(id);
        if (!node) return VK_E_FAIL;
        Unlink(node);
        playerPool_->Free(node);
        --playerCount_;
        for (QueueNode* q = queue_.next; q != &queue_;) {
            QueueNode* next = q->next;
            if (q->record.to == id) Drop(q);
            q = next;
        }
        for (PlayerNode* p = players_.next; p != &players_; p = p->next)
            Queue(kVkTransportPlayerDestroyed, id, p->id, nullptr, 0);
        return VK_OK;
    }

    VkResult Send(VkNetMessage* message, uint32_t) override {
        if (!message) return VK_E_FAIL;
        if (message->sender == message->receiver) return VK_OK;
        if (message->length && !message->payload) return VK_E_FAIL;
        if (message->receiver != 0)
            return Queue(message->header, message->sender, message->receiver, message->payload,
                         message->length);
        for (PlayerNode* p = players_.next; p != &players_; p = p->next) {
            if (p->id == message->sender) continue;
            VkResult res =
                Queue(message->header, message->sender, p->id, message->payload, message->length);
            if (res < 0) return res;
        }
        return VK_OK;
    }

    VkResult ReceiveFor(uint32_t id, VkTransportRecord* out, uint32_t flags) override {
        if (!inSession_ || !out) return VK_E_FAIL;
        if (queue_.next == &queue_) return VK_E_TRANSPORT_NOMESSAGE;
        QueueNode* oldest = queue_.next;
        if (!(flags & kVkTransportAnyReceiver) && oldest->record.to != id) return VK_E_FAIL;
        FreeZeroed(receiveBuffer_, receiveSize_);
        receiveBuffer_ = nullptr;
        receiveSize_ = 0;
        if (oldest->record.length) {
            receiveBuffer_ = static_cast<uint8_t*>(VkMemAlloc(oldest->record.length));
            if (!receiveBuffer_) return VK_E_OUTOFMEMORY;
            receiveSize_ = oldest->record.length;
            std::memcpy(receiveBuffer_, oldest->copy, receiveSize_);
        }
        *out = oldest->record;
        out->data = receiveBuffer_;
        if (!(flags & kVkTransportPeek)) Drop(oldest);
        return VK_OK;
    }

    VkResult GetMessageCount(uint32_t id, uint32_t* out) override {
        if (!out) return VK_E_FAIL;
        uint32_t count = 0;
        for (QueueNode* q = queue_.next; q != &queue_; q = q->next)
            if (id == 0 || q->record.to == id) ++count;
        *out = count;
        return VK_OK;
    }

    VkResult SetApplicationGuid(const VkGuid* guid) override {
        appGuid_ = guid ? *guid : kVkTransportDefaultAppGuid;
        return VK_OK;
    }
    VkResult GetApplicationGuid(VkGuid* out) override {
        if (!out) return VK_E_FAIL;
        *out = appGuid_;
        return VK_OK;
    }

    VkResult CreateSession(const char* name) override {
        if (inSession_) return VK_E_FAIL;
        inSession_ = true;
        sessionName_ = name;
        isHost_ = true;
        return VK_OK;
    }
    VkResult JoinSession(const char*) override { return VK_E_FAIL; }

    VkResult GetSession(const char** out) override {
        if (!out) return VK_E_FAIL;
        *out = inSession_ ? sessionName_ : nullptr;
        return inSession_ ? VK_OK : VK_E_FAIL;
    }

    VkResult CloseSession() override {
        if (!inSession_) return VK_E_FAIL;
        LeaveSession();
        return VK_OK;
    }

    VkResult EnumSessions(uint32_t* outCount) override {
        if (!outCount) return VK_E_FAIL;
        *outCount = 0;
        return VK_OK;
    }
    VkResult GetSessionDesc(uint32_t, void** out) override {
        if (out) *out = nullptr;
        return VK_E_FAIL;
    }

    VkResult OpenService(uint32_t service) override {
        if (serviceOpen_) return VK_E_FAIL;
        if (service == kVkServiceNull) {
            serviceOpen_ = true;
            return VK_OK;
        }
        return service <= kVkServiceSerial ? VK_E_TRANSPORT_NOSERVICE : VK_E_FAIL;
    }
    VkResult SelectService(uint32_t service) override {
        return service == kVkServiceNull ? VK_OK : VK_E_FAIL;
    }

    VkResult Connect(void* service) override {
        if (!service || serviceOpen_ || service != serviceName_) return VK_E_FAIL;
        serviceOpen_ = true;
        return VK_OK;
    }

    VkResult Disconnect() override {
        if (!serviceOpen_) return VK_E_FAIL;
        serviceOpen_ = false;
        if (inSession_) LeaveSession();
        return VK_OK;
    }

    uint32_t GetNumServices() override { return 1; }

    VkResult GetServiceName(uint32_t index, char** out) override {
        if (!out) return VK_E_FAIL;
        if (index != 0) {
            *out = nullptr;
            return VK_E_FAIL;
        }
        *out = serviceName_;
        return VK_OK;
    }

private:
    void Destroy() override {
        LeaveSession();
        if (queuePool_) queuePool_->Release();
        if (playerPool_) playerPool_->Release();
        VkMemDestroyObject(this);
        VkClose();
    }

    // A record for one receiver, with its own copy of the data.
    VkResult Queue(uint32_t kind, uint32_t from, uint32_t to, const uint8_t* data,
                   uint32_t length) {
        auto* node = static_cast<QueueNode*>(queuePool_->Alloc());
        if (!node) return VK_E_OUTOFMEMORY;
        node->copy = nullptr;
        if (length) {
            node->copy = static_cast<uint8_t*>(VkMemAlloc(length));
            if (!node->copy) {
                queuePool_->Free(node);
                return VK_E_OUTOFMEMORY;
            }
            std::memcpy(node->copy, data, length);
        }
        node->record = {kind, from, to, length, node->copy};
        LinkTail(&queue_, node);
        ++queueCount_;
        return VK_OK;
    }

    void Drop(QueueNode* node) {
        Unlink(node);
        FreeZeroed(node->copy, node->record.length);
        queuePool_->Free(node);
        --queueCount_;
    }

    PlayerNode* FindPlayer(uint32_t id) {
        for (PlayerNode* p = players_.next; p != &players_; p = p->next)
            if (p->id == id) return p;
        return nullptr;
    }

    void LeaveSession() {
        inSession_ = false;
        isHost_ = false;
        sessionName_ = nullptr;
        while (queue_.next != &queue_)
            Drop(queue_.next);
        while (players_.next != &players_) {
            PlayerNode* p = players_.next;
            Unlink(p);
            playerPool_->Free(p);
        }
        playerCount_ = 0;
        FreeZeroed(receiveBuffer_, receiveSize_);
        receiveBuffer_ = nullptr;
        receiveSize_ = 0;
    }

    const char* sessionName_ = nullptr;
    bool isHost_ = false;
    VkGuid appGuid_ = kVkTransportDefaultAppGuid;
    IVkMemPool* queuePool_ = nullptr;
    QueueNode queue_ = {};
    uint32_t queueCount_ = 0;
    IVkMemPool* playerPool_ = nullptr;
    PlayerNode players_ = {};
    uint32_t playerCount_ = 0;
    uint32_t nextId_ = kFirstPlayerId;
    uint8_t* receiveBuffer_ = nullptr;
    uint32_t receiveSize_ = 0;
    bool inSession_ = false;
    bool serviceOpen_ = false;
    char serviceName_[104] = {};
};

const VkCategoryRef kTransportCategory[] = {{&CATID_VkTransport, "Vesk Transport"}};
const VkComponentRecord kNullTransportRecords[] = {
    {&CLSID_VkNullTransport, 1, kTransportCategory, 0, nullptr, VkCreateNullTransport,
     "Vesk - NULL Transport", "Vesk.NULLTransport.5", "Vesk.NULLTransport", nullptr},
};

} // namespace

VkResult VkCreateNullTransport(IVkUnknown* outer, IVkUnknown** out) {
    return VkNetCreateObject<NullTransport>(outer, out);
}

VkResult VkNullTransportModuleRegister(IVkRegistry* registry) {
    return VkModule<kNullTransportRecords>::Register(registry);
}
