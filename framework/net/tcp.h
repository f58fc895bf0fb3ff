// The StandardTCP component: a TCP connection read and written as a stream. It connects to a
// named host on a set port, or listens on a port and takes the first caller that arrives.
// Once connected its socket never blocks: a read with no data returns at once with 0 bytes.
#pragma once

#include "framework/storage/file.h"
#include "framework/storage/syncstream.h"
#include "framework/streams/stream.h"

// Results of the connection besides end of stream (VK_E_ENDOFFILE) and a connect that timed
// out (VK_E_TIMEOUT).
constexpr VkResult VK_E_NOCONNECTION = static_cast<VkResult>(0x80040321u);
constexpr VkResult VK_E_HOSTNOTFOUND = static_cast<VkResult>(0x80040323u);
constexpr VkResult VK_E_NETDOWN = static_cast<VkResult>(0x80040324u);
constexpr VkResult VK_E_CONNREFUSED = static_cast<VkResult>(0x80040325u);
constexpr VkResult VK_E_NETUNREACH = static_cast<VkResult>(0x80040326u);

// Options.
constexpr uint32_t VK_TCP_PORT = 1;
constexpr uint32_t VK_TCP_LISTEN = 2;         // set: stop, then listen when non-zero
constexpr uint32_t VK_TCP_CLOSE_ON_RESET = 3; // a reset ends the stream for good

extern const VkGuid IID_IVkTcpConnection;
extern const VkGuid CLSID_VkStandardTcp;

class IVkTcpConnection : public IVkUnknown {
public:
    virtual VkResult SetOption(uint32_t option, uint32_t value) = 0;
    virtual VkResult GetOption(uint32_t option, uint32_t* value) = 0;
    virtual VkResult Connect(const char* host) = 0;

protected:
    ~IVkTcpConnection() = default;
};

VkResult VkCreateStandardTcp(IVkUnknown* outer, IVkUnknown** out);
