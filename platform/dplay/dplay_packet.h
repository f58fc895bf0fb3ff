// Packets of the session service. Each message between machines is one packet: a 12-byte
// header of three little-endian words {type, a, b} and a body. Packets come from peers, so the
// decoder checks the type, the body size and every count inside a body before anything trusts
// them, and turns the structured bodies into native records.
#pragma once

#include "platform/com/com.h"
#include "platform/ddraw/ddraw.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

constexpr size_t kDplayPacketHeader = 12;
constexpr uint32_t kDplayMaxMessage = 1u << 20; // largest payload of a data message
constexpr uint32_t kDplayMaxRoster = 1024;       // players a roster or rejoin may name
constexpr size_t kDplayMaxName = 255;            // session name bytes carried

enum DplayPacketType : uint32_t {
    kDplayEnumReply = 1,       // host -> querier; a = players; body {instance, application, name}
    kDplayJoinRequest = 2,     // -> host; body {instance}
    kDplayJoinReply = 3,       // a = 1 accepted, 0 refused
    kDplayPlayerRequest = 4,   // -> host
    kDplayPlayerGranted = 5,   // a = the new id, 0 = refused
    kDplayPlayerDestroyed = 6, // -> host; a = id
    kDplaySystem = 7,          // host ->; a = system message type, b = player id
    kDplayData = 8,            // a = from, b = to; body = payload (1 byte to 1 MiB)
    kDplayRejoin = 9,          // -> new host; a = order; body {instance, n, n ids}
    kDplaySuccession = 10,     // host ->; a = your order, b = successor's order (0 = none);
                               // body {address, next id, n, n x {id, order}, name}
};

struct DplayPacket {
    uint32_t type;
    uint32_t a;
    uint32_t b;
    const uint8_t* body;
    uint32_t bodySize;
};

struct DplayRosterEntry {
    uint32_t id;
    uint32_t order; // 0 = the host
};

struct DplaySuccession {
    uint32_t address; // where the successor is (network order), as the host sees it
    uint32_t nextId;
    std::vector<DplayRosterEntry> roster;
    std::string name;
};

struct DplaySessionInfo {
    GUID instance;
    GUID application;
    std::string name;
};

// False for a packet too short, of an unknown type, or whose body cannot be of that type.
bool DplayDecodePacket(const uint8_t* bytes, size_t size, DplayPacket* out);
// Readers of the structured bodies of decoded packets; false when a count or size is wrong.
bool DplayReadInstance(const DplayPacket& p, GUID* out);
bool DplayReadRejoin(const DplayPacket& p, GUID* instance, std::vector<uint32_t>* ids);
bool DplayReadSuccession(const DplayPacket& p, DplaySuccession* out);
bool DplayReadSessionInfo(const DplayPacket& p, DplaySessionInfo* out);

void DplayWriteHeader(uint8_t* out, uint32_t type, uint32_t a, uint32_t b);
uint32_t DplayGetU32(const uint8_t* p);
void DplayPutU32(uint8_t* p, uint32_t v);
