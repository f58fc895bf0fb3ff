// The Network component: the session layer for multiplayer games over one transport. It hosts
// and joins sessions, keeps a session-wide table of players whose ids the host hands out, copies
// a data blob per player to every machine, migrates the host, probes latency, and hands every
// message that is not its own business to the game's callback.
#pragma once

#include "framework/core/com.h"
#include "framework/network/transport.h"

#include <cstdint>

extern const VkGuid CLSID_VkNetwork;
extern const VkGuid IID_IVkNetwork;

// Message types the layer keeps for itself; every other type goes to the callback.
enum VkNetLayerType : uint32_t {
    kVkNetHostQuery = 0,
    kVkNetHostAnnounce = 1,
    kVkNetPlayerRequest = 2,
    kVkNetPlayerRemoved = 3,
    kVkNetPlayerAdded = 4,
    kVkNetPlayerRefused = 5,
    kVkNetLatencyProbe = 6,
    kVkNetLatencyAnswer = 7,
    kVkNetPlayerList = 8,
    kVkNetNewcomer = 9,
    kVkNetPlayerData = 16,
};

// The game's receiver. For a player request on the host, 0 accepts and anything else refuses.
// The message is valid only during the call.
using VkNetMessageCallBack = int32_t (*)(VkNetMessage* message);

// Network options of SetOption.
enum VkNetOption : uint32_t {
    kVkNetOptionTransport = 1,
    kVkNetOptionTcpAddress = 2,
    kVkNetOptionModem = 3,
    kVkNetOptionSerial = 5,
    kVkNetOptionTimeout = 6,
};

// EnumPlayers modes.
enum VkNetEnumMode : uint32_t {
    kVkNetEnumFirst = 1,
    kVkNetEnumNext = 3,
    kVkNetEnumPrevious = 4,
};

class IVkNetwork : public IVkUnknown {
public:
    virtual VkResult SetOption(uint32_t option, void* argument) = 0;
    virtual VkResult GetOption(uint32_t option, void* argument) = 0;
    virtual VkResult Initialise() = 0;
    virtual void Shutdown() = 0;
    virtual VkResult GetHostId(uint32_t* out) = 0;
    virtual VkResult CreateTransportPlayer(uint32_t* out) = 0;
    virtual VkResult DestroyTransportPlayer(uint32_t id) = 0;
    virtual VkResult OpenService(uint32_t index) = 0;
    virtual VkResult SelectService(uint32_t index) = 0;
    virtual VkResult Connect(void* service) = 0;
    virtual VkResult Disconnect() = 0;
    virtual uint32_t GetNumServices() = 0;
    virtual VkResult GetServiceName(uint32_t index, char** out) = 0;
    virtual VkResult HostSession(const char* name, uint32_t* outLocalId) = 0;
    virtual VkResult JoinSession(const char* session, uint32_t* outLocalId) = 0;
    virtual VkResult GetSession(const char** out) = 0;
    virtual VkResult CloseSession() = 0;
    virtual VkResult EnumSessions(uint32_t* outCount) = 0;
    virtual VkResult GetSessionDesc(uint32_t index, void** out) = 0;
    virtual VkResult CreatePlayer(uint32_t owner, uint32_t* outId, uint32_t dataSize) = 0;
    virtual VkResult DestroyPlayer(uint32_t id) = 0;
    virtual VkResult GetPlayerOwner(uint32_t id, uint32_t* outOwner) = 0;
    virtual VkResult SetPlayerData(uint32_t id, const void* data, uint32_t size) = 0;
    virtual VkResult GetPlayerData(uint32_t id, void** outData, uint32_t* outSize) = 0;
    virtual uint32_t HasPlayerDataChanged(uint32_t id) = 0;
    virtual VkResult GetNumPlayers(uint32_t* out) = 0;
    virtual VkResult GetPlayerByIndex(uint32_t index, uint32_t* outId) = 0;
    virtual VkResult EnumPlayers(uint32_t mode, uint32_t* id, uint32_t* outId) = 0;
    virtual VkResult SendPlayerData(uint32_t to, uint32_t from, uint32_t id, uint32_t flags) = 0;
    virtual VkResult SendPlayerDataToAll(uint32_t from, uint32_t id, uint32_t flags) = 0;
    virtual uint32_t IsPlayerOwnedBy(uint32_t owner, uint32_t id) = 0;
    virtual uint32_t IsPlayerNotOwnedBy(uint32_t owner, uint32_t id) = 0;
    virtual VkResult SetApplicationGuid(const VkGuid* guid) = 0;
    virtual VkResult GetApplicationGuid(VkGuid* out) = 0;
    virtual VkResult Send(VkNetMessage* message, uint32_t flags) = 0;
    virtual VkResult SendToAll(VkNetMessage* message, uint32_t flags) = 0;
    virtual VkResult Poll() = 0;
    virtual VkResult SetMessageCallBack(VkNetMessageCallBack callBack) = 0;
    virtual VkResult MeasureLatency(uint32_t from, uint32_t to, uint32_t* outMs) = 0;

protected:
    ~IVkNetwork() = default;
};

VkResult VkCreateNetwork(IVkUnknown* outer, IVkUnknown** out);
