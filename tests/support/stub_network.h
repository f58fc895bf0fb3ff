// A network component that does nothing: every call fails or is ignored. Test and fuzz stand-ins
// derive from it and override what they script.
#pragma once

#include "framework/network/network.h"

class StubNetwork : public IVkNetwork {
public:
    VkResult QueryInterface(const VkGuid&, void** out) override {
        *out = this;
        return VK_OK;
    }
    uint32_t AddRef() override { return 1; }
    uint32_t Release() override { return 1; }
    VkResult SetOption(uint32_t, void*) override { return VK_OK; }
    VkResult GetOption(uint32_t, void*) override { return VK_E_FAIL; }
    VkResult Initialise() override { return VK_OK; }
    void Shutdown() override {}
    VkResult GetHostId(uint32_t*) override { return VK_E_FAIL; }
    VkResult CreateTransportPlayer(uint32_t*) override { return VK_E_FAIL; }
    VkResult DestroyTransportPlayer(uint32_t) override { return VK_E_FAIL; }
    VkResult OpenService(uint32_t) override { return VK_OK; }
    VkResult SelectService(uint32_t) override { return VK_OK; }
    VkResult Connect(void*) override { return VK_E_FAIL; }
    VkResult Disconnect() override { return VK_OK; }
    uint32_t GetNumServices() override { return 0; }
    VkResult GetServiceName(uint32_t, char**) override { return VK_E_FAIL; }
    VkResult HostSession(const char*, uint32_t*) override { return VK_E_FAIL; }
    VkResult JoinSession(const char*, uint32_t*) override { return VK_E_FAIL; }
    VkResult GetSession(const char**) override { return VK_E_FAIL; }
    VkResult CloseSession() override { return VK_OK; }
    VkResult EnumSessions(uint32_t*) override { return VK_E_FAIL; }
    VkResult GetSessionDesc(uint32_t, void**) override { return VK_E_FAIL; }
    VkResult CreatePlayer(uint32_t, uint32_t*, uint32_t) override { return VK_E_FAIL; }
    VkResult DestroyPlayer(uint32_t) override { return VK_OK; }
    VkResult GetPlayerOwner(uint32_t, uint32_t* outOwner) override {
        *outOwner = 0;
        return VK_OK;
    }
    VkResult SetPlayerData(uint32_t, const void*, uint32_t) override { return VK_E_FAIL; }
    VkResult GetPlayerData(uint32_t, void**, uint32_t*) override { return VK_E_FAIL; }
    uint32_t HasPlayerDataChanged(uint32_t) override { return 0; }
    VkResult GetNumPlayers(uint32_t*) override { return VK_E_FAIL; }
    VkResult GetPlayerByIndex(uint32_t, uint32_t*) override { return VK_E_FAIL; }
    VkResult EnumPlayers(uint32_t, uint32_t*, uint32_t*) override { return VK_E_FAIL; }
    VkResult SendPlayerData(uint32_t, uint32_t, uint32_t, uint32_t) override { return VK_E_FAIL; }
    VkResult SendPlayerDataToAll(uint32_t, uint32_t, uint32_t) override { return VK_E_FAIL; }
    uint32_t IsPlayerOwnedBy(uint32_t, uint32_t) override { return 0; }
    uint32_t IsPlayerNotOwnedBy(uint32_t, uint32_t) override { return 1; }
    VkResult SetApplicationGuid(const VkGuid*) override { return VK_OK; }
    VkResult GetApplicationGuid(VkGuid*) override { return VK_E_FAIL; }
    VkResult Send(VkNetMessage*, uint32_t) override { return VK_OK; }
    VkResult SendToAll(VkNetMessage*, uint32_t) override { return VK_OK; }
    VkResult Poll() override { return VK_OK; }
    VkResult SetMessageCallBack(VkNetMessageCallBack) override { return VK_OK; }
    VkResult MeasureLatency(uint32_t, uint32_t, uint32_t*) override { return VK_E_FAIL; }
};
