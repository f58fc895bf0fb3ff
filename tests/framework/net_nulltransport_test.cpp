#include "framework/network/transport.h"
#include "tests/framework/framework_fixture.h"

#include <cstring>
#include <vector>

namespace {

class NullTransport : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        t = Create<IVkTransport>(CLSID_VkNullTransport, IID_IVkTransport);
        ASSERT_NE(t, nullptr);
    }
    void TearDown() override {
        EXPECT_EQ(t->Release(), 0u); // frees whatever is still queued
        FrameworkTest::TearDown();
    }
    // A session with players 10 and 11 and nothing queued.
    void TwoPlayers() {
        ASSERT_EQ(t->CreateSession("s"), VK_OK);
        ASSERT_EQ(t->CreatePlayer(&a), VK_OK);
        ASSERT_EQ(t->CreatePlayer(&b), VK_OK);
        VkTransportRecord r;
        while (t->Receive(&r, 0) == VK_OK) {
        }
    }
    VkResult SendBytes(uint32_t from, uint32_t to, std::vector<uint8_t> bytes, bool all = false) {
        VkNetMessage m = {kVkNetHeaderWord, from, to, static_cast<uint32_t>(bytes.size()),
                          bytes.data()};
        VkResult res = all ? t->SendToAll(&m, 1) : t->Send(&m, 1);
        std::fill(bytes.begin(), bytes.end(), 0xEE); // the queue must hold its own copy
        return res;
    }
    IVkTransport* t = nullptr;
    uint32_t a = 0, b = 0;
};

TEST_F(NullTransport, OffersOneServiceThatOpensOnce) {
    EXPECT_EQ(t->GetNumServices(), 1u);
    char* name = nullptr;
    ASSERT_EQ(t->GetServiceName(0, &name), VK_OK);
    EXPECT_STREQ(name, "NULL Service");
    EXPECT_EQ(t->GetServiceName(1, &name), VK_E_FAIL);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(t->SelectService(0), VK_OK);
    EXPECT_EQ(t->SelectService(1), VK_E_FAIL);

    struct Case {
        uint32_t service;
        VkResult result;
    } cases[] = {{1, VK_E_TRANSPORT_NOSERVICE}, {4, VK_E_TRANSPORT_NOSERVICE}, {5, VK_E_FAIL}};
    for (const Case& c : cases)
        EXPECT_EQ(t->OpenService(c.service), c.result) << c.service;
    EXPECT_EQ(t->Disconnect(), VK_E_FAIL);
    EXPECT_EQ(t->OpenService(0), VK_OK);
    EXPECT_EQ(t->OpenService(0), VK_E_FAIL);
    EXPECT_EQ(t->Disconnect(), VK_OK);

    char copy[] = "NULL Service";
    EXPECT_EQ(t->Connect(copy), VK_E_FAIL); // only the transport's own entry connects
    ASSERT_EQ(t->GetServiceName(0, &name), VK_OK);
    EXPECT_EQ(t->Connect(name), VK_OK);
    EXPECT_EQ(t->Connect(name), VK_E_FAIL);
}

TEST_F(NullTransport, HostsButNeverFindsOrJoinsSessions) {
    uint32_t count = 7;
    EXPECT_EQ(t->EnumSessions(&count), VK_OK);
    EXPECT_EQ(count, 0u);
    void* desc = &count;
    EXPECT_EQ(t->GetSessionDesc(0, &desc), VK_E_FAIL);
    EXPECT_EQ(t->JoinSession("s"), VK_E_FAIL);

    const char* name = "x";
    EXPECT_EQ(t->GetSession(&name), VK_E_FAIL);
    EXPECT_EQ(name, nullptr);
    EXPECT_EQ(t->CloseSession(), VK_E_FAIL);
    const char session[] = "deep";
    ASSERT_EQ(t->CreateSession(session), VK_OK);
    EXPECT_EQ(t->CreateSession(session), VK_E_FAIL);
    ASSERT_EQ(t->GetSession(&name), VK_OK);
    EXPECT_EQ(name, session); // kept, not copied

    VkGuid g = {1, 2, 3, {4}};
    ASSERT_EQ(t->SetApplicationGuid(&g), VK_OK);
    VkGuid out;
    ASSERT_EQ(t->GetApplicationGuid(&out), VK_OK);
    EXPECT_EQ(out, g);
    t->SetApplicationGuid(nullptr);
    t->GetApplicationGuid(&out);
    EXPECT_EQ(out, kVkTransportDefaultAppGuid);
}

TEST_F(NullTransport, TellsOtherPlayersOfArrivalsAndDepartures) {
    VkTransportRecord r;
    ASSERT_EQ(t->CreateSession("s"), VK_OK);
    ASSERT_EQ(t->CreatePlayer(&a), VK_OK);
    EXPECT_EQ(a, 10u);
    EXPECT_EQ(t->Receive(&r, 0), VK_E_TRANSPORT_NOMESSAGE);
    ASSERT_EQ(t->CreatePlayer(&b), VK_OK);
    EXPECT_EQ(b, 11u);

    // Peeking and a receive for someone else leave the record where it is.
    ASSERT_EQ(t->Peek(0, &r, 0), VK_OK);
    EXPECT_EQ(t->ReceiveFor(b, &r, 0), VK_E_FAIL);
    ASSERT_EQ(t->ReceiveFor(a, &r, 0), VK_OK);
    EXPECT_EQ(r.kind, kVkTransportPlayerCreated);
    EXPECT_EQ(r.from, 11u);
    EXPECT_EQ(r.to, 10u);
    EXPECT_EQ(r.length, 0u);
    EXPECT_EQ(r.data, nullptr);
    EXPECT_EQ(t->Receive(&r, 0), VK_E_TRANSPORT_NOMESSAGE);

    // Records for a departing player go with it; the others hear of it.
    ASSERT_EQ(SendBytes(a, b, {16, 0, 0, 0}), VK_OK);
    EXPECT_EQ(t->DestroyPlayer(b), VK_OK);
    EXPECT_EQ(t->DestroyPlayer(b), VK_E_FAIL);
    uint32_t count = 0;
    ASSERT_EQ(t->GetMessageCount(0, &count), VK_OK);
    EXPECT_EQ(count, 1u);
    ASSERT_EQ(t->Receive(&r, 0), VK_OK);
    EXPECT_EQ(r.kind, kVkTransportPlayerDestroyed);
    EXPECT_EQ(r.from, 11u);
    EXPECT_EQ(r.to, 10u);
}

TEST_F(NullTransport, SendsCopiesToTheAddresseeOrToEveryoneElse) {
    TwoPlayers();
    uint32_t c = 0;
    ASSERT_EQ(t->CreatePlayer(&c), VK_OK);
    VkTransportRecord r;
    while (t->Receive(&r, 0) == VK_OK) {
    }

    EXPECT_EQ(SendBytes(a, a, {1, 2, 3}), VK_OK); // to oneself: dropped
    ASSERT_EQ(SendBytes(a, 0, {5, 6, 7}, true), VK_OK);
    ASSERT_EQ(SendBytes(c, 999, {9}), VK_OK); // no such player, still queued
    uint32_t count = 0;
    t->GetMessageCount(0, &count);
    EXPECT_EQ(count, 3u);
    t->GetMessageCount(b, &count);
    EXPECT_EQ(count, 1u);

    for (uint32_t to : {b, c}) {
        ASSERT_EQ(t->Receive(&r, 0), VK_OK);
        EXPECT_EQ(r.kind, kVkNetHeaderWord);
        EXPECT_EQ(r.from, a);
        EXPECT_EQ(r.to, to);
        ASSERT_EQ(r.length, 3u);
        EXPECT_EQ(std::vector<uint8_t>(r.data, r.data + 3), (std::vector<uint8_t>{5, 6, 7}));
    }
    ASSERT_EQ(t->Receive(&r, 0), VK_OK);
    EXPECT_EQ(r.to, 999u);

    // Closing the session empties the queue and forgets the players.
    ASSERT_EQ(SendBytes(a, b, {1}), VK_OK);
    ASSERT_EQ(t->CloseSession(), VK_OK);
    t->GetMessageCount(0, &count);
    EXPECT_EQ(count, 0u);
    EXPECT_EQ(t->Receive(&r, 0), VK_E_FAIL);
    EXPECT_EQ(t->DestroyPlayer(a), VK_E_FAIL);
}

} // namespace
