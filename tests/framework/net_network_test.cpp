#include "framework/network/network.h"
#include "tests/framework/framework_fixture.h"

#include <algorithm>
#include <cstring>
#include <utility>
#include <vector>

namespace {

struct Seen {
    uint32_t type;
    uint32_t sender;
    uint32_t receiver;
    uint32_t length;
    std::vector<uint8_t> payload;
};
std::vector<Seen> g_seen;
int32_t g_answer = 0; // what the callback says to a player request

int32_t Record(VkNetMessage* m) {
    const uint32_t type = VkNetGetU32(m->payload);
    const uint32_t bytes = std::min<uint32_t>(m->length, 64);
    g_seen.push_back({type, m->sender, m->receiver, m->length,
                      std::vector<uint8_t>(m->payload, m->payload + bytes)});
    return type == kVkNetPlayerRequest ? g_answer : 0;
}

std::vector<uint8_t> Words(std::initializer_list<uint32_t> words) {
    std::vector<uint8_t> bytes(4 * words.size());
    uint8_t* p = bytes.data();
    for (uint32_t w : words) {
        VkNetPutU32(p, w);
        p += 4;
    }
    return bytes;
}

// A host on the NULL transport with its transport player (10) and the callback installed.
class Network : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        g_seen.clear();
        g_answer = 0;
        net = Create<IVkNetwork>(CLSID_VkNetwork, IID_IVkNetwork);
        ASSERT_NE(net, nullptr);
        t = Create<IVkTransport>(CLSID_VkNullTransport, IID_IVkTransport);
        ASSERT_NE(t, nullptr);
        t->AddRef(); // the network takes the first reference as its own
        ASSERT_EQ(net->SetOption(kVkNetOptionTransport, t), VK_OK);
        net->SetMessageCallBack(Record);
        ASSERT_EQ(net->OpenService(0), VK_OK);
        ASSERT_EQ(net->HostSession("reef", &host), VK_OK);
        ASSERT_EQ(host, 10u);
    }
    void TearDown() override {
        EXPECT_EQ(net->Release(), 0u);
        EXPECT_EQ(t->Release(), 0u);
        FrameworkTest::TearDown();
    }
    // Delivers bytes to the host as if a peer machine (transport player 11) had sent them.
    void FromPeer(const std::vector<uint8_t>& payload) {
        if (!peer) { // the peer joins and the host's welcome is handled first
            ASSERT_EQ(t->CreatePlayer(&peer), VK_OK);
            net->Poll();
            g_seen.clear();
        }
        std::vector<uint8_t> copy = payload;
        VkNetMessage m = {kVkNetHeaderWord, peer, host, static_cast<uint32_t>(copy.size()),
                          copy.data()};
        ASSERT_EQ(t->Send(&m, 1), VK_OK);
        net->Poll();
    }
    uint32_t NewPlayer() {
        uint32_t id = 0;
        EXPECT_EQ(net->CreatePlayer(host, &id, 0), VK_OK);
        return id;
    }
    std::vector<uint32_t> Types() {
        std::vector<uint32_t> types;
        for (const Seen& s : g_seen)
            types.push_back(s.type);
        return types;
    }
    uint32_t Count() {
        uint32_t n = 0;
        net->GetNumPlayers(&n);
        return n;
    }
    IVkNetwork* net = nullptr;
    IVkTransport* t = nullptr;
    uint32_t host = 0, peer = 0;
};

TEST_F(Network, HostAnswersItsOwnPlayerRequestWithinTheCall) {
    uint32_t hostId = 0;
    ASSERT_EQ(net->GetHostId(&hostId), VK_OK);
    EXPECT_EQ(hostId, host);
    uint32_t id = 0;
    ASSERT_EQ(net->CreatePlayer(host, &id, 8), VK_OK);
    EXPECT_EQ(id, 2u);
    EXPECT_EQ(Types(), (std::vector<uint32_t>{kVkNetPlayerRequest, kVkNetPlayerAdded}));
    EXPECT_EQ(g_seen[1].length, kVkNetHeaderSize + 12); // still the total size when shown
    g_seen[1].payload.resize(12);
    EXPECT_EQ(g_seen[1].payload, Words({4, 2, host}));
    EXPECT_EQ(Count(), 1u);
    uint32_t owner = 0;
    ASSERT_EQ(net->GetPlayerOwner(id, &owner), VK_OK);
    EXPECT_EQ(owner, host);
    void* data = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(net->GetPlayerData(id, &data, &size), VK_OK);
    EXPECT_EQ(size, 8u);
    EXPECT_EQ(net->HasPlayerDataChanged(id), 0u);
    EXPECT_EQ(NewPlayer(), 3u);
}

TEST_F(Network, RefusedRequestFailsTheCreation) {
    g_answer = 1;
    uint32_t id = 77;
    EXPECT_EQ(net->CreatePlayer(host, &id, 0), VK_E_FAIL);
    EXPECT_EQ(id, 77u);
    EXPECT_EQ(Count(), 0u);
}

TEST_F(Network, UnansweredRequestTimesOut) {
    // A machine in a session whose host has not named itself: its request reaches nobody.
    IVkNetwork* other = Create<IVkNetwork>(CLSID_VkNetwork, IID_IVkNetwork);
    IVkTransport* ot = Create<IVkTransport>(CLSID_VkNullTransport, IID_IVkTransport);
    ASSERT_EQ(other->SetOption(kVkNetOptionTransport, ot), VK_OK);
    ASSERT_EQ(ot->CreateSession("s"), VK_OK);
    uint32_t timeout = 0, id = 0;
    ASSERT_EQ(other->SetOption(kVkNetOptionTimeout, &timeout), VK_OK);
    EXPECT_EQ(other->CreatePlayer(10, &id, 0), VK_E_FAIL);
    EXPECT_EQ(other->SetOption(kVkNetOptionTimeout, nullptr), VK_E_FAIL);
    other->Release();
}

TEST_F(Network, MessageToItsSenderIsHandledLocally) {
    struct {
        VkNetMessage h;
        uint8_t payload[8];
    } m = {{0, host, host, kVkNetHeaderSize + 8, nullptr}, {}};
    VkNetPutU32(m.payload, 40);
    VkNetPutU32(m.payload + 4, 0xABCD);
    ASSERT_EQ(net->Send(&m.h, 0), VK_OK);
    EXPECT_EQ(m.h.header, kVkNetHeaderWord);
    EXPECT_EQ(m.h.length, 8u);
    EXPECT_EQ(m.h.payload, m.payload);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].payload, Words({40, 0xABCD}));
    uint32_t queued = 9;
    t->GetMessageCount(0, &queued);
    EXPECT_EQ(queued, 0u);

    // An empty payload, or a length that does not even cover the header, is refused.
    for (uint32_t length : {kVkNetHeaderSize, kVkNetHeaderSize - 1, 0u}) {
        m.h = {0, host, host, length, nullptr};
        EXPECT_EQ(net->Send(&m.h, 0), VK_E_FAIL) << length;
    }
    EXPECT_EQ(g_seen.size(), 1u);
}

TEST_F(Network, PeerMessagesAreCheckedBeforeTheirFieldsAreRead) {
    const uint32_t first = NewPlayer();
    g_seen.clear();
    // The peer (11) is a joined machine, not the host: it may not change the session's tables.
    struct Case {
        const char* what;
        std::vector<uint8_t> payload;
        bool reachesGame;
    } cases[] = {
        {"game type, passed on", Words({12, 1}), true},
        {"three bytes", {12, 0, 0}, false},
        {"player added without its owner", Words({4, 9}), false},
        {"player added by a machine that is not the host", Words({4, 9, 11}), false},
        {"player data longer than sent", Words({16, first, 9, 0}), false},
        {"player removed without an id", Words({3}), false},
        {"player removed by a machine that does not own it", Words({3, first}), false},
        {"player list of 6 bytes", {8, 0, 0, 0, 5, 0}, false},
        {"player list from a machine that is not the host", Words({8, 5, 11, 6, 11}), false},
        {"host announcement from a machine that is not the host", Words({1, 40}), false},
        {"newcomer notice from the wire", Words({9, 0}), false},
    };
    for (const Case& c : cases) {
        g_seen.clear();
        FromPeer(c.payload);
        EXPECT_EQ(Count(), 1u) << c.what;
        EXPECT_EQ(!g_seen.empty(), c.reachesGame) << c.what;
        uint32_t hostId = 0;
        net->GetHostId(&hostId);
        EXPECT_EQ(hostId, host) << c.what;
    }
    // Nothing was sent back to the peer (the newcomer notice is not answered), and the host's
    // counter still hands out the next id.
    VkTransportRecord r;
    EXPECT_EQ(t->Peek(peer, &r, 0), VK_E_TRANSPORT_NOMESSAGE);
    EXPECT_EQ(NewPlayer(), first + 1);
}

TEST_F(Network, PlayerDataArrivesAndIsSentOn) {
    const uint32_t id = NewPlayer();
    FromPeer(Words({16, id, 4, 0x01020304}));
    ASSERT_EQ(g_seen.back().type, kVkNetPlayerData);
    void* data = nullptr;
    uint32_t size = 0;
    ASSERT_EQ(net->GetPlayerData(id, &data, &size), VK_OK);
    ASSERT_EQ(size, 4u);
    EXPECT_EQ(VkNetGetU32(static_cast<uint8_t*>(data)), 0x01020304u);

    // Sent to the peer as {16, id, length, bytes}.
    ASSERT_EQ(net->SendPlayerData(peer, host, id, 1), VK_OK);
    EXPECT_EQ(net->SendPlayerData(peer, peer, id, 1), VK_OK); // to oneself: nothing
    EXPECT_EQ(net->SendPlayerData(peer, host, 99, 1), VK_E_FAIL);
    VkTransportRecord r;
    ASSERT_EQ(t->ReceiveFor(peer, &r, 0), VK_OK);
    ASSERT_EQ(r.length, 16u);
    EXPECT_EQ(std::vector<uint8_t>(r.data, r.data + 16), Words({16, id, 4, 0x01020304}));
    EXPECT_EQ(t->Receive(&r, 0), VK_E_TRANSPORT_NOMESSAGE);
}

TEST_F(Network, NewcomerIsToldTheHostThePlayersAndTheirData) {
    const uint32_t id = NewPlayer();
    const uint8_t blob[3] = {7, 8, 9};
    ASSERT_EQ(net->SetPlayerData(id, blob, 3), VK_OK);
    g_seen.clear();
    uint32_t newcomer = 0;
    ASSERT_EQ(net->CreateTransportPlayer(&newcomer), VK_OK);
    EXPECT_EQ(newcomer, 11u);

    // Every machine is in this process, so the newcomer's messages come straight back here.
    ASSERT_EQ(Types(), (std::vector<uint32_t>{kVkNetHostAnnounce, kVkNetPlayerData}));
    EXPECT_EQ(g_seen[0].payload, Words({1, 2}));
    EXPECT_EQ(g_seen[1].receiver, newcomer);
    EXPECT_EQ(Count(), 1u);
    EXPECT_EQ(net->HasPlayerDataChanged(id), 1u);

    // When the newcomer's transport player goes, so do the players it owned.
    FromPeer(Words({2, 0}));
    ASSERT_EQ(Count(), 2u);
    g_seen.clear();
    ASSERT_EQ(net->DestroyTransportPlayer(peer), VK_OK);
    net->Poll();
    EXPECT_EQ(Count(), 1u);
    ASSERT_EQ(Types(), (std::vector<uint32_t>{kVkNetPlayerRemoved}));
    EXPECT_EQ(g_seen[0].payload, Words({3, 3}));
    EXPECT_EQ(g_seen[0].sender, 0u);
    EXPECT_EQ(g_seen[0].length, 8u);
}

TEST_F(Network, PlayerDataIsKeptAndReplaced) {
    const uint32_t id = NewPlayer();
    void* data = nullptr;
    uint32_t size = 5;
    EXPECT_EQ(net->GetPlayerData(id, &data, &size), VK_E_FAIL);
    EXPECT_EQ(size, 0u);
    EXPECT_EQ(net->GetPlayerData(id, nullptr, &size), VK_E_FAIL);
    EXPECT_EQ(net->SetPlayerData(id, nullptr, 0), VK_OK);
    EXPECT_EQ(net->SetPlayerData(id, nullptr, 4), VK_E_FAIL);
    EXPECT_EQ(net->SetPlayerData(99, "abc", 4), VK_E_FAIL);

    for (const char* text : {"abc", "xyz", "longer"}) {
        ASSERT_EQ(net->SetPlayerData(id, text, static_cast<uint32_t>(std::strlen(text) + 1)),
                  VK_OK);
        ASSERT_EQ(net->GetPlayerData(id, &data, nullptr), VK_OK);
        EXPECT_STREQ(static_cast<char*>(data), text);
    }
    EXPECT_EQ(net->HasPlayerDataChanged(id), 0u); // the read cleared it
}

TEST_F(Network, PlayersAreWalkedInInsertionOrder) {
    uint32_t first = 1, out = 0;
    EXPECT_EQ(net->EnumPlayers(kVkNetEnumFirst, &first, &out), VK_E_FAIL);
    EXPECT_EQ(first, 0u);
    const uint32_t p2 = NewPlayer(), p3 = NewPlayer(), p4 = NewPlayer();
    ASSERT_EQ(net->EnumPlayers(kVkNetEnumFirst, &first, nullptr), VK_OK);
    EXPECT_EQ(first, p2);

    struct Case {
        uint32_t mode, from;
        VkResult result;
        uint32_t out; // 0: left as it was
    } cases[] = {
        {kVkNetEnumNext, p2, VK_OK, p3},     {kVkNetEnumNext, p4, VK_OK, 0},
        {kVkNetEnumPrevious, p4, VK_OK, p3}, {kVkNetEnumPrevious, p2, VK_OK, 0},
        {kVkNetEnumNext, 99, VK_E_FAIL, 0},  {2, p2, VK_E_FAIL, 0},
    };
    for (const Case& c : cases) {
        uint32_t from = c.from, result = 0;
        EXPECT_EQ(net->EnumPlayers(c.mode, &from, &result), c.result) << c.mode << " " << c.from;
        EXPECT_EQ(result, c.out) << c.mode << " " << c.from;
    }
    for (uint32_t i = 0; i < 3; ++i) {
        ASSERT_EQ(net->GetPlayerByIndex(i, &out), VK_OK);
        EXPECT_EQ(out, p2 + i);
    }
    EXPECT_EQ(net->GetPlayerByIndex(3, &out), VK_E_FAIL);
    EXPECT_EQ(out, 0u);
    EXPECT_EQ(net->IsPlayerOwnedBy(host, p3), 1u);
    EXPECT_EQ(net->IsPlayerOwnedBy(11, p3), 0u);
    EXPECT_EQ(net->IsPlayerOwnedBy(host, 99), 0u);
    EXPECT_EQ(net->IsPlayerNotOwnedBy(11, p3), 1u);

    // Destroying a stranger tells nobody; destroying a player tells the game once.
    g_seen.clear();
    EXPECT_EQ(net->DestroyPlayer(99), VK_OK);
    EXPECT_TRUE(g_seen.empty());
    EXPECT_EQ(net->DestroyPlayer(p3), VK_OK);
    EXPECT_EQ(Types(), (std::vector<uint32_t>{kVkNetPlayerRemoved}));
    ASSERT_EQ(net->EnumPlayers(kVkNetEnumNext, &first, &out), VK_OK);
    EXPECT_EQ(out, p4);

    // Closing the session removes every player, each with its notice.
    g_seen.clear();
    ASSERT_EQ(net->CloseSession(), VK_OK);
    EXPECT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(Count(), 0u);
    EXPECT_EQ(net->CloseSession(), VK_E_FAIL);
}

TEST_F(Network, LatencyToOneselfIsMeasuredAsZero) {
    uint32_t ms = 99;
    ASSERT_EQ(net->MeasureLatency(host, host, &ms), VK_OK);
    EXPECT_EQ(ms, 0u);
}

TEST_F(Network, TransportOperationsFailWithoutATransport) {
    IVkNetwork* bare = Create<IVkNetwork>(CLSID_VkNetwork, IID_IVkNetwork);
    ASSERT_NE(bare, nullptr);
    uint32_t id = 0, count = 0;
    EXPECT_EQ(bare->Poll(), VK_E_FAIL);
    EXPECT_EQ(bare->OpenService(0), VK_E_FAIL);
    EXPECT_EQ(bare->HostSession("s", &id), VK_E_FAIL);
    EXPECT_EQ(bare->JoinSession("s", &id), VK_E_FAIL);
    EXPECT_EQ(bare->EnumSessions(&count), VK_E_FAIL);
    EXPECT_EQ(bare->CreatePlayer(1, &id, 0), VK_E_FAIL);
    EXPECT_EQ(bare->GetNumServices(), 0u);
    EXPECT_EQ(bare->SetOption(kVkNetOptionTransport, nullptr), VK_E_FAIL);
    EXPECT_EQ(bare->SetOption(kVkNetOptionTcpAddress, const_cast<char*>("127.0.0.1")), VK_E_FAIL);
    EXPECT_EQ(bare->GetOption(1, &id), VK_E_FAIL);

    // A GUID given before any transport is kept and handed to the one attached later.
    VkGuid g = {5, 6, 7, {8}}, out = {1, 0, 0, {}};
    ASSERT_EQ(bare->SetApplicationGuid(&g), VK_OK);
    ASSERT_EQ(bare->GetApplicationGuid(&out), VK_OK);
    EXPECT_EQ(out, VK_GUID_NULL);
    IVkTransport* other = Create<IVkTransport>(CLSID_VkNullTransport, IID_IVkTransport);
    ASSERT_EQ(bare->SetOption(kVkNetOptionTransport, other), VK_OK);
    ASSERT_EQ(bare->GetApplicationGuid(&out), VK_OK);
    EXPECT_EQ(out, g);
    EXPECT_EQ(bare->Release(), 0u); // releases the transport too
}

TEST_F(Network, InitialiseTakesATransportOfTheCategory) {
    IVkNetwork* fresh = Create<IVkNetwork>(CLSID_VkNetwork, IID_IVkNetwork);
    ASSERT_NE(fresh, nullptr);
    ASSERT_EQ(fresh->Initialise(), VK_OK);
    EXPECT_EQ(fresh->Initialise(), VK_OK); // attached already: kept
    EXPECT_GE(fresh->GetNumServices(), 1u);
    EXPECT_EQ(fresh->Release(), 0u);
}

// A transport that hands out scripted records and keeps what is sent through it.
class Scripted final : public IVkTransport {
public:
    struct Sent {
        uint32_t from, to;
        std::vector<uint8_t> payload;
    };
    std::vector<VkTransportRecord> script;
    std::vector<VkTransportRecord> answers; // join the script on the next send
    std::vector<Sent> sent;

    VkResult QueryInterface(const VkGuid&, void** out) override {
        *out = nullptr;
        return VK_E_NOINTERFACE;
    }
    uint32_t AddRef() override { return ++refs; }
    uint32_t Release() override { return --refs; } // lives on the test's stack
    VkResult Start() override { return VK_OK; }
    VkResult Stop() override { return 1; }
    VkResult SetOption(uint32_t, void*) override { return VK_OK; }
    VkResult GetOption(uint32_t, uint32_t*) override { return VK_E_FAIL; }
    VkResult CreatePlayer(uint32_t* id) override {
        *id = 50;
        return VK_OK;
    }
    VkResult DestroyPlayer(uint32_t) override { return VK_OK; }
    VkResult SendToAll(VkNetMessage* m, uint32_t flags) override {
        m->receiver = 0;
        return Send(m, flags);
    }
    VkResult Send(VkNetMessage* m, uint32_t) override {
        sent.push_back({m->sender, m->receiver, {m->payload, m->payload + m->length}});
        script.insert(script.end(), answers.begin(), answers.end()); // the peers answer
        answers.clear();
        return VK_OK;
    }
    VkResult Peek(uint32_t, VkTransportRecord*, uint32_t) override { return VK_E_FAIL; }
    VkResult Receive(VkTransportRecord* out, uint32_t) override {
        if (next == script.size()) return VK_E_TRANSPORT_NOMESSAGE;
        *out = script[next++];
        return VK_OK;
    }
    VkResult ReceiveFor(uint32_t, VkTransportRecord* out, uint32_t f) override {
        return Receive(out, f);
    }
    VkResult ReservedQuery(uint32_t, uint32_t*) override { return VK_E_FAIL; }
    VkResult GetMessageCount(uint32_t, uint32_t*) override { return VK_E_FAIL; }
    VkResult SetApplicationGuid(const VkGuid*) override { return VK_OK; }
    VkResult GetApplicationGuid(VkGuid*) override { return VK_E_FAIL; }
    VkResult CreateSession(const char*) override { return VK_OK; }
    VkResult JoinSession(const char*) override { return VK_OK; }
    VkResult GetSession(const char**) override { return VK_E_FAIL; }
    VkResult CloseSession() override { return VK_OK; }
    VkResult EnumSessions(uint32_t* n) override {
        *n = 1;
        return VK_OK;
    }
    VkResult GetSessionDesc(uint32_t, void**) override { return VK_E_FAIL; }
    VkResult OpenService(uint32_t) override { return VK_OK; }
    VkResult SelectService(uint32_t) override { return VK_OK; }
    VkResult Connect(void*) override { return VK_OK; }
    VkResult Disconnect() override { return VK_OK; }
    uint32_t GetNumServices() override { return 1; }
    VkResult GetServiceName(uint32_t, char**) override { return VK_E_FAIL; }

    uint32_t refs = 1;
    size_t next = 0;
};

class NetworkScripted : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        g_seen.clear();
        net = Create<IVkNetwork>(CLSID_VkNetwork, IID_IVkNetwork);
        ASSERT_EQ(net->SetOption(kVkNetOptionTransport, &t), VK_OK);
        net->SetMessageCallBack(Record);
    }
    void TearDown() override {
        EXPECT_EQ(net->Release(), 0u);
        EXPECT_EQ(t.refs, 0u); // released with the network
        FrameworkTest::TearDown();
    }
    IVkNetwork* net = nullptr;
    Scripted t;
};

TEST_F(NetworkScripted, MachineNamedHostTakesOverOnceUntilAnotherAnnounces) {
    // {1, next id 9} from machine 60, taken only once the host's machine (51) is reported gone.
    const uint8_t announce[] = {1, 0, 0, 0, 9, 0, 0, 0};
    t.script = {{kVkTransportBecameHost, 0, 51, 0, nullptr},
                {kVkTransportBecameHost, 0, 52, 0, nullptr},
                {kVkTransportData, 60, 51, sizeof announce, announce},
                {kVkTransportPlayerDestroyed, 51, 51, 0, nullptr},
                {kVkTransportData, 60, 51, sizeof announce, announce},
                {kVkTransportBecameHost, 0, 53, 0, nullptr}};
    ASSERT_EQ(net->Poll(), VK_OK);
    ASSERT_EQ(t.sent.size(), 2u);
    EXPECT_EQ(t.sent[0].from, 51u);
    EXPECT_EQ(t.sent[0].to, 0u);
    EXPECT_EQ(t.sent[0].payload, Words({1, 1})); // the counter it last heard
    EXPECT_EQ(t.sent[1].from, 53u);              // the second notice waited for the announcement
    EXPECT_EQ(t.sent[1].payload, Words({1, 9}));
    uint32_t hostId = 0;
    ASSERT_EQ(net->GetHostId(&hostId), VK_OK);
    EXPECT_EQ(hostId, 53u);
}

TEST_F(NetworkScripted, LostSessionFailsThePollButLaterMessagesArrive) {
    const uint8_t game[] = {12, 0, 0, 0};
    t.script = {{kVkTransportSessionLost, 0, 50, 0, nullptr},
                {kVkTransportData, 60, 50, sizeof game, game},
                {77, 0, 50, 0, nullptr}}; // a kind the layer does not know: ignored
    EXPECT_EQ(net->Poll(), VK_E_FAIL);
    ASSERT_EQ(g_seen.size(), 1u);
    EXPECT_EQ(g_seen[0].type, 12u);
    EXPECT_EQ(g_seen[0].length, 4u);
    EXPECT_EQ(net->Poll(), VK_OK);
}

// A callback that polls again while it holds its message: the outer message must stay intact.
IVkNetwork* g_pollAgain = nullptr;
bool g_outerIntact = false;
int32_t PollsAgain(VkNetMessage* m) {
    const std::vector<uint8_t> before(m->payload, m->payload + m->length);
    Record(m);
    if (IVkNetwork* net = std::exchange(g_pollAgain, nullptr)) {
        net->Poll();
        g_outerIntact = m->length == before.size() &&
                        std::equal(before.begin(), before.end(), m->payload);
    }
    return 0;
}

TEST_F(NetworkScripted, CallbackThatPollsAgainKeepsItsMessage) {
    // The messages delivered inside the callback are larger than the one it holds.
    const uint8_t outer[] = {12, 0, 0, 0, 1, 2, 3, 4};
    const uint8_t inner[] = {13, 0, 0, 0, 9, 9, 9, 9, 9, 9, 9, 9};
    const uint8_t last[] = {14, 0, 0, 0, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8, 8};
    t.script = {{kVkTransportData, 60, 50, sizeof outer, outer},
                {kVkTransportData, 60, 50, sizeof inner, inner},
                {kVkTransportData, 60, 50, sizeof last, last}};
    net->SetMessageCallBack(PollsAgain);
    g_pollAgain = net;
    g_outerIntact = false;
    ASSERT_EQ(net->Poll(), VK_OK);
    EXPECT_TRUE(g_outerIntact);
    ASSERT_EQ(g_seen.size(), 3u);
    EXPECT_EQ(g_seen[1].payload, std::vector<uint8_t>(inner, inner + sizeof inner));
    EXPECT_EQ(g_seen[2].payload, std::vector<uint8_t>(last, last + sizeof last));
    // Later messages, smaller and larger, reuse or replace the kept block.
    t.script.push_back({kVkTransportData, 60, 50, sizeof outer, outer});
    t.script.push_back({kVkTransportData, 60, 50, sizeof last, last});
    ASSERT_EQ(net->Poll(), VK_OK);
    ASSERT_EQ(g_seen.size(), 5u);
    EXPECT_EQ(g_seen[3].payload, std::vector<uint8_t>(outer, outer + sizeof outer));
    EXPECT_EQ(g_seen[4].payload, std::vector<uint8_t>(last, last + sizeof last));
}

TEST_F(NetworkScripted, NewcomerGetsThePlayerListAndEachPlayersData) {
    uint32_t host = 0, a = 0, b = 0;
    ASSERT_EQ(net->HostSession("reef", &host), VK_OK);
    ASSERT_EQ(net->CreatePlayer(host, &a, 0), VK_OK);
    ASSERT_EQ(net->CreatePlayer(host, &b, 0), VK_OK);
    ASSERT_EQ(net->SetPlayerData(b, "xy", 2), VK_OK);
    t.sent.clear();
    t.script = {{kVkTransportPlayerCreated, 61, host, 0, nullptr}};
    ASSERT_EQ(net->Poll(), VK_OK);
    ASSERT_EQ(t.sent.size(), 4u);
    for (const auto& m : t.sent) {
        EXPECT_EQ(m.from, host);
        EXPECT_EQ(m.to, 61u);
    }
    EXPECT_EQ(t.sent[0].payload, Words({1, 3}));
    EXPECT_EQ(t.sent[1].payload, Words({8, a, host, b, host}));
    EXPECT_EQ(t.sent[2].payload, Words({16, a, 0}));
    std::vector<uint8_t> withData = Words({16, b, 2});
    withData.push_back('x');
    withData.push_back('y');
    EXPECT_EQ(t.sent[3].payload, withData);
}

// A joiner whose host is machine 60, with one player of the host's and one of machine 61.
TEST_F(NetworkScripted, OnlyTheHostOrAnOwnerChangesAJoinersTables) {
    std::vector<std::vector<uint8_t>> bytes = {Words({1, 1}), Words({4, 2, 60}),
                                               Words({4, 3, 61})};
    for (const auto& b : bytes)
        t.script.push_back({kVkTransportData, 60, 50, static_cast<uint32_t>(b.size()), b.data()});
    uint32_t local = 0;
    ASSERT_EQ(net->JoinSession("reef", &local), VK_OK);
    ASSERT_EQ(net->Poll(), VK_OK);
    auto state = [this] {
        uint32_t hostId = 0, n = 0, owner2 = 0, owner3 = 0;
        net->GetHostId(&hostId);
        net->GetNumPlayers(&n);
        net->GetPlayerOwner(2, &owner2);
        net->GetPlayerOwner(3, &owner3);
        return std::vector<uint32_t>{hostId, n, owner2, owner3};
    };
    const std::vector<uint32_t> before = {60, 2, 60, 61};
    ASSERT_EQ(state(), before);

    struct Case {
        const char* what;
        uint32_t from;
        std::vector<uint8_t> payload;
    } forged[] = {
        {"announcement", 61, Words({1, 40})},
        {"removal of another's player", 61, Words({3, 2})},
        {"player added", 61, Words({4, 7, 61})},
        {"player list of 6 bytes", 61, {8, 0, 0, 0, 0, 0}},
        {"player list", 61, Words({8, 7, 61})},
        {"newcomer", 61, Words({9, 0})},
        {"host's list of 65 players", 60, {}},
        {"host's list with an id twice", 60, Words({8, 2, 60, 2, 61})},
        {"host's list with a zero owner", 60, Words({8, 2, 0})},
    };
    std::vector<uint8_t>& big = forged[6].payload;
    big = Words({8});
    for (uint32_t i = 0; i < 65; ++i) {
        const std::vector<uint8_t> pair = Words({100 + i, 60});
        big.insert(big.end(), pair.begin(), pair.end());
    }
    for (const Case& c : forged) {
        t.script.push_back({kVkTransportData, c.from, 50, static_cast<uint32_t>(c.payload.size()),
                            c.payload.data()});
        t.sent.clear();
        net->Poll();
        EXPECT_EQ(state(), before) << c.what;
        EXPECT_TRUE(t.sent.empty()) << c.what;
    }

    // The owner may remove its own player, and the host any.
    const std::vector<uint8_t> own = Words({3, 3}), host = Words({3, 2});
    t.script.push_back({kVkTransportData, 61, 50, static_cast<uint32_t>(own.size()), own.data()});
    t.script.push_back({kVkTransportData, 60, 50, static_cast<uint32_t>(host.size()), host.data()});
    net->Poll();
    EXPECT_EQ(state(), (std::vector<uint32_t>{60, 0, 0, 0}));
}

TEST_F(NetworkScripted, CreatePlayerTakesOnlyANewcomerOfItsOwnRequester) {
    const std::vector<uint8_t> announce = Words({1, 1}), other = Words({4, 2, 61}),
                               mine = Words({4, 3, 50});
    t.script = {{kVkTransportData, 60, 50, 8, announce.data()}};
    uint32_t local = 0, id = 0;
    ASSERT_EQ(net->JoinSession("reef", &local), VK_OK);
    ASSERT_EQ(local, 50u);
    t.answers = {{kVkTransportData, 60, 0, 12, other.data()},
                 {kVkTransportData, 60, 0, 12, mine.data()}};
    ASSERT_EQ(net->CreatePlayer(local, &id, 0), VK_OK);
    EXPECT_EQ(id, 3u);
}

} // namespace
