#include "framework/network/network.h"
#include "platform/dplay/dplay.h"
#include "tests/framework/framework_fixture.h"

#include <unistd.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

// Two transports in one process, meeting over loopback on a port that was free a moment ago.
class DpTransport : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        PlatformDplaySetPort(PlatformDplayFreePort());
        host = Create<IVkTransport>(CLSID_VkDx6Transport, IID_IVkTransport);
        guest = Create<IVkTransport>(CLSID_VkDx5Transport, IID_IVkTransport);
        ASSERT_TRUE(host && guest);
        ASSERT_EQ(host->Start(), VK_OK);
        ASSERT_EQ(guest->Start(), VK_OK);
    }
    void TearDown() override {
        EXPECT_EQ(guest->Release(), 0u);
        EXPECT_EQ(host->Release(), 0u);
        PlatformDplaySetPort(0);
        FrameworkTest::TearDown();
    }
    // Host session "reef" with one player on each side.
    void Meet() {
        ASSERT_EQ(host->OpenService(kVkServiceTcpIp), VK_OK);
        ASSERT_EQ(host->CreateSession("reef"), VK_OK);
        ASSERT_EQ(host->CreatePlayer(&h), VK_OK);
        ASSERT_EQ(guest->SetOption(1, const_cast<char*>("127.0.0.1")), VK_OK);
        ASSERT_EQ(guest->OpenService(kVkServiceTcpIp), VK_OK);
        uint32_t count = 0;
        ASSERT_EQ(guest->EnumSessions(&count), VK_OK);
        ASSERT_EQ(count, 1u);
        void* desc = nullptr;
        ASSERT_EQ(guest->GetSessionDesc(0, &desc), VK_OK);
        EXPECT_STREQ(static_cast<char*>(desc), "reef");
        EXPECT_EQ(guest->GetSessionDesc(1, &desc), VK_E_FAIL);
        ASSERT_EQ(guest->JoinSession("reef"), VK_OK);
        ASSERT_EQ(guest->CreatePlayer(&g), VK_OK);
        EXPECT_NE(g, h);
    }
    // Receives with retries for up to a few seconds: the message may still be on its way.
    VkResult Take(IVkTransport* t, VkTransportRecord* r) {
        VkResult res = VK_E_TRANSPORT_NOMESSAGE;
        for (int i = 0; i < 3000 && res == VK_E_TRANSPORT_NOMESSAGE; ++i) {
            res = t->Receive(r, 0);
            if (res == VK_E_TRANSPORT_NOMESSAGE) usleep(1000);
        }
        return res;
    }
    // Takes what has arrived and what follows within a short while.
    void Drain(IVkTransport* t) {
        VkTransportRecord r;
        for (int idle = 0; idle < 100; ++idle)
            if (t->Receive(&r, 0) == VK_OK)
                idle = 0;
            else
                usleep(1000);
    }
    VkResult SendBytes(IVkTransport* t, uint32_t from, uint32_t to, std::vector<uint8_t> bytes) {
        VkNetMessage m = {kVkNetHeaderWord, from, to, static_cast<uint32_t>(bytes.size()),
                          bytes.data()};
        return to ? t->Send(&m, 1) : t->SendToAll(&m, 1);
    }
    IVkTransport* host = nullptr;
    IVkTransport* guest = nullptr;
    uint32_t h = 0, g = 0;
};

TEST_F(DpTransport, OnlyUsableConnectionsAreServices) {
    EXPECT_EQ(host->GetNumServices(), 1u); // TCP/IP; IPX, modem and serial have no device
    char* name = nullptr;
    ASSERT_EQ(host->GetServiceName(0, &name), VK_OK);
    EXPECT_NE(std::strstr(name, "TCP/IP"), nullptr);
    EXPECT_EQ(host->GetServiceName(1, &name), VK_E_FAIL);
    EXPECT_EQ(name, nullptr);

    struct Case {
        uint32_t service;
        VkResult result;
    } cases[] = {{kVkServiceIpx, VK_E_TRANSPORT_NOSERVICE},
                 {kVkServiceSerial, VK_E_TRANSPORT_NOSERVICE},
                 {9, VK_E_TRANSPORT_NOSERVICE},
                 {kVkServiceTcpIp, VK_OK}};
    for (const Case& c : cases)
        EXPECT_EQ(host->SelectService(c.service), c.result) << c.service;
    EXPECT_EQ(host->SetOption(2, const_cast<char*>("modem")), VK_E_FAIL); // no modem connection
    // An address text is at most 255 characters, sent whole with its terminating zero.
    std::string address(255, 'a');
    EXPECT_EQ(host->SetOption(1, address.data()), VK_OK);
    address += 'a';
    EXPECT_EQ(host->SetOption(1, address.data()), VK_E_FAIL);
    EXPECT_EQ(host->Disconnect(), VK_E_TRANSPORT_NOSERVICE);
    EXPECT_EQ(host->OpenService(kVkServiceTcpIp), VK_OK);
    EXPECT_EQ(host->OpenService(kVkServiceTcpIp), VK_E_FAIL);
    EXPECT_EQ(host->Disconnect(), VK_OK);

    char foreign[sizeof(void*) * 16] = "Internet TCP/IP";
    EXPECT_EQ(host->Connect(foreign), VK_E_FAIL); // not an entry of this transport
    ASSERT_EQ(host->GetServiceName(0, &name), VK_OK);
    EXPECT_EQ(host->Connect(name), VK_OK);
    EXPECT_EQ(host->Connect(name), VK_E_FAIL);
    EXPECT_EQ(host->Disconnect(), VK_OK);
    uint32_t count = 5;
    EXPECT_EQ(host->EnumSessions(&count), VK_E_FAIL); // no service open
    EXPECT_EQ(count, 0u);
}

TEST_F(DpTransport, MachinesMeetAndExchangeMessagesOverLoopback) {
    Meet();
    VkTransportRecord r;
    ASSERT_EQ(Take(host, &r), VK_OK);
    EXPECT_EQ(r.kind, kVkTransportPlayerCreated);
    EXPECT_EQ(r.from, g);
    ASSERT_EQ(Take(guest, &r), VK_OK); // the host's player, made known to the newcomer
    EXPECT_EQ(r.kind, kVkTransportPlayerCreated);
    EXPECT_EQ(r.from, h);

    // A message larger than the receive buffer grows it and arrives whole.
    std::vector<uint8_t> big(5000);
    for (size_t i = 0; i < big.size(); ++i)
        big[i] = static_cast<uint8_t>(i * 7);
    ASSERT_EQ(SendBytes(guest, g, h, big), VK_OK);
    ASSERT_EQ(Take(host, &r), VK_OK);
    EXPECT_EQ(r.kind, kVkTransportData);
    EXPECT_EQ(r.from, g);
    EXPECT_EQ(r.to, h);
    ASSERT_EQ(r.length, big.size());
    EXPECT_EQ(std::memcmp(r.data, big.data(), big.size()), 0);
    uint32_t size = 0;
    ASSERT_EQ(host->GetOption(4, &size), VK_OK);
    EXPECT_GE(size, 5000u);

    ASSERT_EQ(SendBytes(host, h, 0, {1, 2, 3}), VK_OK);
    ASSERT_EQ(Take(guest, &r), VK_OK);
    EXPECT_EQ(r.from, h);
    EXPECT_EQ(r.to, g);
    EXPECT_EQ(r.length, 3u);
    EXPECT_EQ(SendBytes(host, 999, g, {1}), VK_E_TRANSPORT_INVALIDPLAYER);

    // A message is at most 1 MiB and always arrives as one.
    std::vector<uint8_t> largest(1u << 20);
    for (size_t i = 0; i < largest.size(); ++i)
        largest[i] = static_cast<uint8_t>(i * 13 + (i >> 12));
    EXPECT_EQ(SendBytes(host, h, g, std::vector<uint8_t>(largest.size() + 1)),
              VK_E_TRANSPORT_TOOBIG);
    ASSERT_EQ(SendBytes(host, h, g, largest), VK_OK);
    ASSERT_EQ(Take(guest, &r), VK_OK);
    ASSERT_EQ(r.length, largest.size());
    EXPECT_EQ(std::memcmp(r.data, largest.data(), largest.size()), 0);

    // A player that goes is reported; when the host goes, the one machine left takes over.
    ASSERT_EQ(guest->DestroyPlayer(g), VK_OK);
    ASSERT_EQ(Take(host, &r), VK_OK);
    EXPECT_EQ(r.kind, kVkTransportPlayerDestroyed);
    EXPECT_EQ(r.from, g);
    ASSERT_EQ(host->CloseSession(), VK_OK);
    ASSERT_EQ(Take(guest, &r), VK_OK);
    EXPECT_EQ(r.kind, kVkTransportPlayerDestroyed);
    EXPECT_EQ(r.from, h);
    ASSERT_EQ(Take(guest, &r), VK_OK);
    EXPECT_EQ(r.kind, kVkTransportBecameHost);
}

TEST_F(DpTransport, HostThatLeavesIsReplacedByTheFirstMachineToHaveJoined) {
    Meet();
    IVkTransport* third = Create<IVkTransport>(CLSID_VkDx5Transport, IID_IVkTransport);
    ASSERT_EQ(third->Start(), VK_OK);
    ASSERT_EQ(third->SetOption(1, const_cast<char*>("127.0.0.1")), VK_OK);
    ASSERT_EQ(third->OpenService(kVkServiceTcpIp), VK_OK);
    uint32_t count = 0, t = 0;
    ASSERT_EQ(third->EnumSessions(&count), VK_OK);
    ASSERT_EQ(third->JoinSession("reef"), VK_OK);
    ASSERT_EQ(third->CreatePlayer(&t), VK_OK);
    VkTransportRecord r;
    for (IVkTransport* each : {host, guest, third})
        Drain(each);

    ASSERT_EQ(host->CloseSession(), VK_OK);
    ASSERT_EQ(Take(guest, &r), VK_OK);
    EXPECT_EQ(r.kind, kVkTransportPlayerDestroyed);
    EXPECT_EQ(r.from, h);
    ASSERT_EQ(Take(guest, &r), VK_OK);
    EXPECT_EQ(r.kind, kVkTransportBecameHost);
    EXPECT_EQ(r.to, g);
    ASSERT_EQ(Take(third, &r), VK_OK);
    EXPECT_EQ(r.kind, kVkTransportPlayerDestroyed);
    EXPECT_EQ(r.from, h);

    // The two machines left reach each other through the new host, both ways.
    ASSERT_EQ(SendBytes(guest, g, 0, {7}), VK_OK); // held until the third is back, then sent
    ASSERT_EQ(SendBytes(third, t, g, {8}), VK_OK);
    ASSERT_EQ(Take(guest, &r), VK_OK);
    EXPECT_EQ(r.kind, kVkTransportData);
    EXPECT_EQ(r.from, t);
    ASSERT_EQ(r.length, 1u);
    EXPECT_EQ(r.data[0], 8);
    ASSERT_EQ(Take(third, &r), VK_OK);
    EXPECT_EQ(r.from, g);
    EXPECT_EQ(r.to, t);
    ASSERT_EQ(r.length, 1u);
    EXPECT_EQ(r.data[0], 7);
    EXPECT_EQ(third->Release(), 0u);
}

TEST_F(DpTransport, HostNetworkAnswersAPlayerRequestFromAnotherMachine) {
    IVkNetwork* net = Create<IVkNetwork>(CLSID_VkNetwork, IID_IVkNetwork);
    ASSERT_EQ(net->Initialise(), VK_OK); // the category's first transport: this one
    ASSERT_EQ(net->SelectService(kVkServiceTcpIp), VK_OK);
    ASSERT_EQ(net->OpenService(kVkServiceTcpIp), VK_OK);
    ASSERT_EQ(net->HostSession("reef", &h), VK_OK);
    uint32_t first = 0;
    ASSERT_EQ(net->CreatePlayer(h, &first, 0), VK_OK);
    EXPECT_EQ(first, 2u);

    ASSERT_EQ(guest->SetOption(1, const_cast<char*>("127.0.0.1")), VK_OK);
    ASSERT_EQ(guest->OpenService(kVkServiceTcpIp), VK_OK);
    uint32_t count = 0;
    ASSERT_EQ(guest->EnumSessions(&count), VK_OK);
    ASSERT_EQ(guest->JoinSession("reef"), VK_OK);
    ASSERT_EQ(guest->CreatePlayer(&g), VK_OK);
    ASSERT_EQ(SendBytes(guest, g, h, {2, 0, 0, 0, 0, 0, 0, 0}), VK_OK);

    // The guest hears the host's name, the player list, the list's data and its new player.
    std::vector<uint32_t> types;
    VkTransportRecord r;
    for (int i = 0; i < 200 && (types.empty() || types.back() != kVkNetPlayerAdded); ++i) {
        net->Poll();
        if (guest->Receive(&r, 0) != VK_OK) {
            usleep(1000);
            continue;
        }
        if (r.kind == kVkTransportData && r.length >= 4) types.push_back(VkNetGetU32(r.data));
    }
    ASSERT_FALSE(types.empty());
    EXPECT_EQ(types.front(), kVkNetHostAnnounce);
    EXPECT_EQ(types.back(), kVkNetPlayerAdded);
    EXPECT_EQ(VkNetGetU32(r.data + 4), 3u);
    EXPECT_EQ(VkNetGetU32(r.data + 8), g);
    uint32_t players = 0;
    net->GetNumPlayers(&players);
    EXPECT_EQ(players, 2u);

    // When the guest's machine goes, its player goes with it on the host.
    ASSERT_EQ(guest->Disconnect(), VK_OK);
    for (int i = 0; i < 200 && players == 2; ++i) {
        net->Poll();
        net->GetNumPlayers(&players);
        usleep(1000);
    }
    EXPECT_EQ(players, 1u);
    EXPECT_EQ(net->Release(), 0u);
}

TEST_F(DpTransport, JoiningGivesUpWhenNoHostAnnouncesItself) {
    ASSERT_EQ(host->OpenService(kVkServiceTcpIp), VK_OK);
    ASSERT_EQ(host->CreateSession("reef"), VK_OK);
    ASSERT_EQ(host->CreatePlayer(&h), VK_OK);

    IVkNetwork* net = Create<IVkNetwork>(CLSID_VkNetwork, IID_IVkNetwork);
    guest->AddRef(); // the network takes the first reference as its own
    ASSERT_EQ(net->SetOption(kVkNetOptionTransport, guest), VK_OK);
    ASSERT_EQ(net->SetOption(kVkNetOptionTcpAddress, const_cast<char*>("127.0.0.1")), VK_OK);
    ASSERT_EQ(net->OpenService(kVkServiceTcpIp), VK_OK);
    uint32_t count = 0, timeout = 20;
    ASSERT_EQ(net->EnumSessions(&count), VK_OK);
    void* entry = nullptr;
    ASSERT_EQ(net->GetSessionDesc(0, &entry), VK_OK);
    ASSERT_EQ(net->SetOption(kVkNetOptionTimeout, &timeout), VK_OK);
    // The host's side is only a transport here, so no announcement ever comes.
    EXPECT_EQ(net->JoinSession(static_cast<char*>(entry), &g), VK_E_FAIL);
    VkTransportRecord r;
    ASSERT_EQ(Take(host, &r), VK_OK); // the join itself went through, by the entry's name
    EXPECT_EQ(r.kind, kVkTransportPlayerCreated);
    EXPECT_EQ(r.from, g);
    EXPECT_EQ(net->Release(), 0u);
}

TEST_F(DpTransport, MachineGetsAtMostSixteenPlayers) {
    Meet();
    uint32_t id = 0;
    for (int i = 1; i < 16; ++i)
        ASSERT_EQ(guest->CreatePlayer(&id), VK_OK) << i;
    EXPECT_EQ(guest->CreatePlayer(&id), VK_E_TRANSPORT_CANTADDPLAYER);
    EXPECT_EQ(id, 0u);
    ASSERT_EQ(guest->DestroyPlayer(g), VK_OK); // a place freed is given again
    EXPECT_EQ(guest->CreatePlayer(&id), VK_OK);
}

TEST_F(DpTransport, HostTakesAtMostThirtyTwoMachines) {
    Meet(); // the host and the guest: two machines
    std::vector<IVkTransport*> more;
    for (int i = 0; i < 31; ++i) {
        IVkTransport* t = Create<IVkTransport>(CLSID_VkDx6Transport, IID_IVkTransport);
        ASSERT_TRUE(t);
        more.push_back(t);
        uint32_t count = 0;
        ASSERT_EQ(t->Start(), VK_OK);
        ASSERT_EQ(t->SetOption(1, const_cast<char*>("127.0.0.1")), VK_OK);
        ASSERT_EQ(t->OpenService(kVkServiceTcpIp), VK_OK);
        ASSERT_EQ(t->EnumSessions(&count), VK_OK);
        ASSERT_EQ(count, 1u);
        EXPECT_EQ(t->JoinSession("reef"), i < 30 ? VK_OK : VK_E_FAIL) << i;
    }
    for (IVkTransport* t : more)
        EXPECT_EQ(t->Release(), 0u);
}

TEST_F(DpTransport, LastWordsOfALeavingMachineArrive) {
    Meet();
    VkTransportRecord r;
    ASSERT_EQ(Take(host, &r), VK_OK); // the guest's player
    ASSERT_EQ(SendBytes(guest, g, h, {42}), VK_OK);
    ASSERT_EQ(guest->Disconnect(), VK_OK);
    ASSERT_EQ(Take(host, &r), VK_OK);
    EXPECT_EQ(r.kind, kVkTransportData);
    EXPECT_EQ(r.length, 1u);
    ASSERT_EQ(Take(host, &r), VK_OK);
    EXPECT_EQ(r.kind, kVkTransportPlayerDestroyed);
    EXPECT_EQ(r.from, g);

    // The host takes the next machine in the freed place.
    ASSERT_EQ(guest->OpenService(kVkServiceTcpIp), VK_OK);
    uint32_t count = 0;
    ASSERT_EQ(guest->EnumSessions(&count), VK_OK);
    ASSERT_EQ(guest->JoinSession("reef"), VK_OK);
    ASSERT_EQ(guest->CreatePlayer(&g), VK_OK);
    ASSERT_EQ(Take(host, &r), VK_OK);
    EXPECT_EQ(r.kind, kVkTransportPlayerCreated);
    EXPECT_EQ(r.from, g);
}

} // namespace
