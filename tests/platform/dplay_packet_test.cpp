#include "platform/dplay/dplay_packet.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

std::vector<uint8_t> Bytes(std::initializer_list<uint32_t> words, std::vector<uint8_t> tail = {}) {
    std::vector<uint8_t> out;
    for (uint32_t w : words)
        for (int i = 0; i < 4; ++i)
            out.push_back(static_cast<uint8_t>(w >> (8 * i)));
    out.insert(out.end(), tail.begin(), tail.end());
    return out;
}

TEST(DplayPacket, SuccessionFromHandWrittenBytes) {
    // {type 10, your order 2, successor 1}, address 127.0.0.1, next id 104, two players, "reef".
    const std::vector<uint8_t> bytes = {
        10, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0,  // header
        127, 0, 0, 1, 104, 0, 0, 0, 2, 0, 0, 0, // address, next id, count
        100, 0, 0, 0, 0, 0, 0, 0, 101, 0, 0, 0, 1, 0, 0, 0, // {100, host}, {101, order 1}
        'r', 'e', 'e', 'f'};
    DplayPacket p;
    ASSERT_TRUE(DplayDecodePacket(bytes.data(), bytes.size(), &p));
    EXPECT_EQ(p.type, uint32_t{kDplaySuccession});
    EXPECT_EQ(p.a, 2u);
    EXPECT_EQ(p.b, 1u);
    DplaySuccession s;
    ASSERT_TRUE(DplayReadSuccession(p, &s));
    EXPECT_EQ(s.address, 0x0100007Fu);
    EXPECT_EQ(s.nextId, 104u);
    ASSERT_EQ(s.roster.size(), 2u);
    EXPECT_EQ(s.roster[1].id, 101u);
    EXPECT_EQ(s.roster[1].order, 1u);
    EXPECT_EQ(s.name, "reef");
}

TEST(DplayPacket, MalformedPacketsAreRefused) {
    const std::vector<uint8_t> guid(16, 7);
    struct Case {
        const char* what;
        std::vector<uint8_t> bytes;
        bool decodes;
        bool bodyReads;
    } cases[] = {
        {"short header", {8, 0, 0, 0, 1, 0, 0}, false, false},
        {"unknown type", Bytes({11, 0, 0}), false, false},
        {"empty data message", Bytes({kDplayData, 100, 0}), false, false},
        {"data message", Bytes({kDplayData, 100, 0}, {1}), true, true},
        {"oversize data message", Bytes({kDplayData, 100, 0}, std::vector<uint8_t>((1 << 20) + 1)),
         false, false},
        {"player request with a body", Bytes({kDplayPlayerRequest, 0, 0}, {1}), false, false},
        {"join request without its instance", Bytes({kDplayJoinRequest, 0, 0}, {1, 2}), false,
         false},
        {"join request", Bytes({kDplayJoinRequest, 0, 0}, guid), true, true},
        {"succession counting more players than it holds",
         Bytes({kDplaySuccession, 1, 1, 0, 100, 3, 100, 0}), true, false},
        {"rejoin counting fewer ids than it holds",
         Bytes({kDplayRejoin, 1, 0}, [&] {
             std::vector<uint8_t> b = guid;
             for (uint8_t x : Bytes({1, 100, 101}))
                 b.push_back(x);
             return b;
         }()),
         true, false},
    };
    for (const Case& c : cases) {
        DplayPacket p;
        const bool decodes = DplayDecodePacket(c.bytes.data(), c.bytes.size(), &p);
        EXPECT_EQ(decodes, c.decodes) << c.what;
        if (!decodes) continue;
        GUID g;
        std::vector<uint32_t> ids;
        DplaySuccession s;
        bool reads = true;
        if (p.type == kDplayJoinRequest) reads = DplayReadInstance(p, &g);
        if (p.type == kDplayRejoin) reads = DplayReadRejoin(p, &g, &ids);
        if (p.type == kDplaySuccession) reads = DplayReadSuccession(p, &s);
        EXPECT_EQ(reads, c.bodyReads) << c.what;
    }
}

} // namespace
