#include "platform/dplay/dplay_packet.h"

#include <cstring>

uint32_t DplayGetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void DplayPutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

void DplayWriteHeader(uint8_t* out, uint32_t type, uint32_t a, uint32_t b) {
    DplayPutU32(out, type);
    DplayPutU32(out + 4, a);
    DplayPutU32(out + 8, b);
}

bool DplayDecodePacket(const uint8_t* bytes, size_t size, DplayPacket* out) {
    if (!bytes || size < kDplayPacketHeader) return false;
    const size_t body = size - kDplayPacketHeader;
    DplayPacket p = {DplayGetU32(bytes), DplayGetU32(bytes + 4), DplayGetU32(bytes + 8),
                     bytes + kDplayPacketHeader, static_cast<uint32_t>(body)};
    switch (p.type) {
    case kDplayData:
        // An empty or oversize message is never handed on.
        if (body == 0 || body > kDplayMaxMessage) return false;
        break;
    case kDplayEnumReply:
        if (body < 2 * sizeof(GUID) || body > 2 * sizeof(GUID) + kDplayMaxName) return false;
        break;
    case kDplaySuccession:
        if (body < 12 || body > 12 + 8 * size_t{kDplayMaxRoster} + kDplayMaxName) return false;
        break;
    case kDplayJoinRequest:
        if (body != sizeof(GUID)) return false;
        break;
    case kDplayRejoin:
        if (body < sizeof(GUID) + 4 || body > sizeof(GUID) + 4 + 4 * size_t{kDplayMaxRoster})
            return false;
        break;
    case kDplayJoinReply:
    case kDplayPlayerRequest:
    case kDplayPlayerGranted:
    case kDplayPlayerDestroyed:
    case kDplaySystem:
        if (body != 0) return false;
        break;
    default: return false;
    }
    *out = p;
    return true;
}

bool DplayReadInstance(const DplayPacket& p, GUID* out) {
    if (p.type != kDplayJoinRequest || p.bodySize != sizeof(GUID)) return false;
    std::memcpy(out, p.body, sizeof(GUID));
    return true;
}

bool DplayReadRejoin(const DplayPacket& p, GUID* instance, std::vector<uint32_t>* ids) {
    if (p.type != kDplayRejoin || p.bodySize < sizeof(GUID) + 4) return false;
    const uint32_t n = DplayGetU32(p.body + sizeof(GUID));
    if (n > kDplayMaxRoster || p.bodySize != sizeof(GUID) + 4 + 4 * size_t{n}) return false;
    std::memcpy(instance, p.body, sizeof(GUID));
    ids->clear();
    for (uint32_t i = 0; i < n; ++i)
        ids->push_back(DplayGetU32(p.body + sizeof(GUID) + 4 + 4 * i));
    return true;
}

bool DplayReadSuccession(const DplayPacket& p, DplaySuccession* out) {
    if (p.type != kDplaySuccession || p.bodySize < 12) return false;
    const uint32_t n = DplayGetU32(p.body + 8);
    if (n > kDplayMaxRoster || p.bodySize < 12 + 8 * size_t{n}) return false;
    const size_t nameSize = p.bodySize - 12 - 8 * size_t{n};
    if (nameSize > kDplayMaxName) return false;
    out->address = DplayGetU32(p.body);
    out->nextId = DplayGetU32(p.body + 4);
    out->roster.clear();
    for (uint32_t i = 0; i < n; ++i)
        out->roster.push_back(
            {DplayGetU32(p.body + 12 + 8 * i), DplayGetU32(p.body + 16 + 8 * i)});
    out->name.assign(reinterpret_cast<const char*>(p.body + 12 + 8 * n), nameSize);
    return true;
}

bool DplayReadSessionInfo(const DplayPacket& p, DplaySessionInfo* out) {
    if (p.type != kDplayEnumReply || p.bodySize < 2 * sizeof(GUID)) return false;
    const size_t nameSize = p.bodySize - 2 * sizeof(GUID);
    if (nameSize > kDplayMaxName) return false;
    std::memcpy(&out->instance, p.body, sizeof(GUID));
    std::memcpy(&out->application, p.body + sizeof(GUID), sizeof(GUID));
    const char* name = reinterpret_cast<const char*>(p.body + 2 * sizeof(GUID));
    out->name.assign(name, strnlen(name, nameSize));
    return true;
}
