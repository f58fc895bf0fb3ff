// Network game tests: a scripted network component that records what is sent and hands
// messages to the game's callback, over the player fixture's craft types and world.
#pragma once

#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "framework/network/network.h"
#include "tests/support/stub_network.h"
#include "game/frontend/screens.h"
#include "game/multiplayer/multiplayer.h"
#include "game/objects/camera.h"
#include "platform/winmm/winmm.h"
#include "shell/settings.h"
#include "tests/game/player_fixture.h"

// One message the game sent: the payload exactly as it travels.
struct NetSent {
    uint32_t to; // 0: to all
    uint32_t flags;
    std::vector<uint8_t> payload;
    uint8_t Type() const { return payload.size() > 4 ? payload[4] : 0xFF; }
};

class FakeNetwork final : public StubNetwork {
public:
    std::vector<NetSent> sent;
    std::vector<std::string> calls;
    std::vector<std::string> serviceNames;
    std::vector<std::string> sessions;
    std::map<uint32_t, uint32_t> owners;
    VkResult pollResult = VK_OK;
    uint32_t hostLocalId = 7;
    uint32_t joinLocalId = 9;
    uint32_t nextPlayer = 50;
    std::string joined;
    std::string optionAddress;

    VkResult SetOption(uint32_t option, void* argument) override {
        calls.push_back("SetOption " + std::to_string(option));
        if (option == kVkNetOptionTcpAddress) optionAddress = static_cast<const char*>(argument);
        return VK_OK;
    }
    VkResult OpenService(uint32_t index) override {
        calls.push_back("OpenService " + std::to_string(index));
        return VK_OK;
    }
    VkResult SelectService(uint32_t index) override {
        calls.push_back("SelectService " + std::to_string(index));
        return VK_OK;
    }
    VkResult Disconnect() override {
        calls.push_back("Disconnect");
        return VK_OK;
    }
    uint32_t GetNumServices() override { return uint32_t(serviceNames.size()); }
    VkResult GetServiceName(uint32_t index, char** out) override {
        if (index >= serviceNames.size()) return VK_E_FAIL;
        *out = serviceNames[index].data();
        return VK_OK;
    }
    VkResult HostSession(const char* name, uint32_t* outLocalId) override {
        calls.push_back(std::string("HostSession ") + name);
        *outLocalId = hostLocalId;
        return VK_OK;
    }
    VkResult JoinSession(const char* session, uint32_t* outLocalId) override {
        joined = session;
        // The layer enumerates again, which replaces the entries the caller may point into.
        for (std::string& s : sessions)
            s.assign(s.size(), 'X');
        *outLocalId = joinLocalId;
        return VK_OK;
    }
    VkResult CloseSession() override {
        calls.push_back("CloseSession");
        return VK_OK;
    }
    VkResult EnumSessions(uint32_t* outCount) override {
        *outCount = uint32_t(sessions.size());
        return VK_OK;
    }
    VkResult GetSessionDesc(uint32_t index, void** out) override {
        if (index >= sessions.size()) return VK_E_FAIL;
        *out = sessions[index].data();
        return VK_OK;
    }
    VkResult CreatePlayer(uint32_t owner, uint32_t* outId, uint32_t) override {
        *outId = nextPlayer++;
        owners[*outId] = owner;
        return VK_OK;
    }
    VkResult DestroyPlayer(uint32_t id) override {
        calls.push_back("DestroyPlayer " + std::to_string(id));
        return VK_OK;
    }
    VkResult GetPlayerOwner(uint32_t id, uint32_t* outOwner) override {
        auto it = owners.find(id);
        *outOwner = it == owners.end() ? 0 : it->second;
        return VK_OK;
    }
    VkResult Send(VkNetMessage* m, uint32_t flags) override { return Record(m, m->receiver, flags); }
    VkResult SendToAll(VkNetMessage* m, uint32_t flags) override { return Record(m, 0, flags); }
    VkResult Poll() override { return pollResult; }

    // Sent messages of one type.
    std::vector<NetSent> OfType(uint8_t type) const {
        std::vector<NetSent> out;
        for (const NetSent& s : sent)
            if (s.Type() == type) out.push_back(s);
        return out;
    }

private:
    VkResult Record(VkNetMessage* m, uint32_t to, uint32_t flags) {
        // Before sending, the length is the whole block, header included.
        const uint32_t size = m->length - uint32_t(kVkNetHeaderSize);
        const uint8_t* payload = reinterpret_cast<const uint8_t*>(m) + kVkNetHeaderSize;
        EXPECT_EQ(m->sender, gMV2Net.localId);
        sent.push_back({to, flags, std::vector<uint8_t>(payload, payload + size)});
        return VK_OK;
    }
};

// Little-endian fields of hand-made payloads, at the payload offsets of the layout.
inline void Put32(std::vector<uint8_t>& b, size_t at, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b[at + i] = uint8_t(v >> (8 * i));
}
inline void PutF(std::vector<uint8_t>& b, size_t at, float v) {
    uint32_t bits;
    std::memcpy(&bits, &v, 4);
    Put32(b, at, bits);
}
inline void PutV(std::vector<uint8_t>& b, size_t at, TvV3d v) {
    PutF(b, at, v.x);
    PutF(b, at + 4, v.y);
    PutF(b, at + 8, v.z);
}
inline float GetF(const std::vector<uint8_t>& b, size_t at) {
    uint32_t bits = uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
                    uint32_t(b[at + 3]) << 24;
    float v;
    std::memcpy(&v, &bits, 4);
    return v;
}
inline uint32_t Get32(const std::vector<uint8_t>& b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

// A game message's payload: kind 32, the type, zeros up to `size` bytes.
inline std::vector<uint8_t> Game(uint8_t type, size_t size) {
    std::vector<uint8_t> b(size, 0);
    Put32(b, 0, 32);
    b[4] = type;
    return b;
}

// A player state (type 1): the identity orientation is bytes (127,0,0, 0,127,0, 0,0,127).
inline std::vector<uint8_t> StateMessage(TvV3d at, uint8_t sequence, uint8_t state = 0,
                                         uint8_t craft = 0, int8_t frags = 0, uint8_t energy = 200) {
    std::vector<uint8_t> b = Game(1, 36);
    b[5] = state;
    PutV(b, 8, at);
    const uint8_t identity[9] = {127, 0, 0, 0, 127, 0, 0, 0, 127};
    std::memcpy(&b[20], identity, 9);
    b[29] = craft;
    b[30] = uint8_t(frags);
    b[31] = energy;
    b[32] = sequence;
    return b;
}

class NetTest : public PlayerTest {
protected:
    static constexpr uint32_t kLocal = 100;
    static constexpr uint32_t kPeer = 200;
    static constexpr uint32_t kHost = 300;

    void SetUp() override {
        PlayerTest::SetUp();
        MV2World = world_;
        for (int32_t t : {0, 67, 1, 84})
            CraftType(t);
        PlatformUseManualClock(true, 10000);
        gMV2Net = MV2NetClient{};
        gMV2Net.network = &net_;
        gMV2Net.created = 1;
        gMV2Net.inSession = 1;
        gMV2Net.localId = kLocal;
        gMV2Net.hostId = kHost;
        gMV2Net.fragLimit = 3;
        gMV2Net.textsLoaded = 1;
        for (int32_t i = 0; i < 9; ++i)
            std::snprintf(gMV2Net.texts[i], kMV2NetTextSize, "%%s killed %%s (%d)", i);
        std::snprintf(gMV2Net.texts[9], kMV2NetTextSize, "%%s joined");
        std::snprintf(gMV2Net.texts[10], kMV2NetTextSize, "%%s left");
        std::snprintf(gMV2Net.texts[34], kMV2NetTextSize, "The host closed the game");
        gMV2NetHost = 0;
        MV2NetReset();
        std::snprintf(gMV2Settings.playerName, sizeof gMV2Settings.playerName, "LOCAL");
        gMV2GameType = 4;
    }
    void TearDown() override {
        gMV2Net = MV2NetClient{};
        gMV2NetHost = 0;
        MV2NetClearRecords();
        MV2NetClearTicker();
        MV2World = nullptr;
        PlatformUseManualClock(false);
        PlayerTest::TearDown();
    }

    // Hands a payload from `sender` to the callback, as the layer delivers it.
    int32_t Feed(uint32_t sender, std::vector<uint8_t> payload) {
        std::vector<uint8_t> block(kVkNetHeaderSize + payload.size());
        auto* m = reinterpret_cast<VkNetMessage*>(block.data());
        *m = {kVkNetHeaderWord, sender, kLocal, uint32_t(payload.size()),
              block.data() + kVkNetHeaderSize};
        if (!payload.empty()) std::memcpy(m->payload, payload.data(), payload.size());
        return MV2NetMessageCallBack(m);
    }

    // A layer message (its payload words) to the callback.
    int32_t FeedLayer(std::vector<uint32_t> words, uint32_t sender = 0) {
        std::vector<uint8_t> b(4 * words.size());
        for (size_t i = 0; i < words.size(); ++i)
            Put32(b, 4 * i, words[i]);
        return Feed(sender, b);
    }

    MV2NetRemotePlayer* Record(uint32_t id) { return MV2NetFindRemotePlayer(id); }

    static int32_t TickerHas(const char* text) {
        for (const MV2NetTickerLine& l : gMV2NetTicker)
            if (std::strcmp(l.text, text) == 0) return 1;
        return 0;
    }

    FakeNetwork net_;
};
