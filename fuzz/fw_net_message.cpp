// Feeds arbitrary messages from a peer machine to a hosting Network component over the NULL
// transport. The input is a series of messages, each a length byte and that many payload
// bytes. The game's callback reads every byte the length field claims, so a message handed on
// with a length beyond its block is caught.
#include "framework/core/framework.h"
#include "framework/network/network.h"

#include <cstdint>
#include <cstring>
#include <vector>

namespace {

volatile uint32_t g_sink;

int32_t ReadAll(VkNetMessage* m) {
    uint32_t sum = 0;
    for (uint32_t i = 0; i < m->length; ++i)
        sum += m->payload[i];
    g_sink = sum;
    return m->length > 4 ? m->payload[4] & 1 : 0; // refuses some player requests
}

bool Start() {
    if (VkInitialise(nullptr) < 0) return false;
    IVkRegistry* registry = nullptr;
    VkGetRegistries(nullptr, &registry);
    VkRegisterStandardComponents(registry);
    VkRegisterMediaComponents(registry);
    return true;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const bool started = Start();
    if (!started) return 0;
    void* object = nullptr;
    if (VkCreateInstance(CLSID_VkNetwork, nullptr, 0, IID_IVkNetwork, &object) < 0) return 0;
    auto* net = static_cast<IVkNetwork*>(object);
    if (VkCreateInstance(CLSID_VkNullTransport, nullptr, 0, IID_IVkTransport, &object) < 0) {
        net->Release();
        return 0;
    }
    auto* transport = static_cast<IVkTransport*>(object);
    transport->AddRef();
    uint32_t host = 0, peer = 0, id = 0;
    uint32_t timeout = 0;
    net->SetOption(kVkNetOptionTimeout, &timeout);
    if (net->SetOption(kVkNetOptionTransport, transport) == VK_OK &&
        net->HostSession("fuzz", &host) == VK_OK) {
        net->SetMessageCallBack(ReadAll);
        net->CreatePlayer(host, &id, 4);
        net->CreateTransportPlayer(&peer);
        size_t at = 0;
        while (at < size) {
            const size_t length = data[at++];
            const size_t take = length < size - at ? length : size - at;
            std::vector<uint8_t> payload(data + at, data + at + take);
            at += take;
            VkNetMessage m = {kVkNetHeaderWord, peer, (take & 1) ? 0u : host,
                              static_cast<uint32_t>(payload.size()), payload.data()};
            transport->Send(&m, 1);
            net->Poll();
        }
        net->CloseSession();
    }
    net->Release();
    transport->Release();
    return 0;
}
