// Frames of the session service's TCP protocol: a 16-byte header of four little-endian words
// {body size, type, a, b} and the body. Frames come from peers, so the reader checks the stated
// body size against a limit before anything trusts it.
#pragma once

#include <cstddef>
#include <cstdint>

constexpr size_t kDplayFrameHeader = 16;
constexpr uint32_t kDplayMaxBody = 1u << 20;

enum DplayFrameType : uint32_t {
    kDplayEnumRequest = 1,     // -> host
    kDplayEnumReply = 2,       // a = players; body {instance GUID, application GUID, name}
    kDplayJoinRequest = 3,     // body {instance GUID}
    kDplayJoinReply = 4,       // a = 1 accepted, 0 refused
    kDplayPlayerRequest = 5,   // -> host
    kDplayPlayerGranted = 6,   // a = the new id, 0 = refused
    kDplayPlayerDestroyed = 7, // -> host; a = id
    kDplaySystem = 8,          // host ->; a = system message type, b = player id
    kDplayData = 9,            // a = from, b = to; body = payload
    kDplayRejoin = 10,         // -> new host; a = order; body {instance, 0, n, n ids}
    kDplaySuccession = 11,     // host ->; a = your order, b = successor's order (0 = none);
                               // body {address, port, next id, n, n x {id, owner order}, name}
};

struct DplayFrame {
    uint32_t size;
    uint32_t type;
    uint32_t a;
    uint32_t b;
};

enum DplayFrameResult { kDplayFrameComplete, kDplayFrameIncomplete, kDplayFrameBad };

// Reads the frame at the start of the bytes; on success *used is the whole frame's length.
DplayFrameResult DplayReadFrame(const uint8_t* bytes, size_t size, DplayFrame* out, size_t* used);
void DplayWriteFrame(uint8_t* out, uint32_t type, uint32_t a, uint32_t b, uint32_t bodySize);

uint32_t DplayGetU32(const uint8_t* p);
void DplayPutU32(uint8_t* p, uint32_t v);
