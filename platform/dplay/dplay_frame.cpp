#include "platform/dplay/dplay_frame.h"

uint32_t DplayGetU32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

void DplayPutU32(uint8_t* p, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<uint8_t>(v >> (8 * i));
}

DplayFrameResult DplayReadFrame(const uint8_t* bytes, size_t size, DplayFrame* out, size_t* used) {
    if (size < kDplayFrameHeader) return kDplayFrameIncomplete;
    const DplayFrame f = {DplayGetU32(bytes), DplayGetU32(bytes + 4), DplayGetU32(bytes + 8),
                          DplayGetU32(bytes + 12)};
    if (f.size > kDplayMaxBody || f.type < kDplayEnumRequest || f.type > kDplaySuccession)
        return kDplayFrameBad;
    if (size - kDplayFrameHeader < f.size) return kDplayFrameIncomplete;
    *out = f;
    *used = kDplayFrameHeader + f.size;
    return kDplayFrameComplete;
}

void DplayWriteFrame(uint8_t* out, uint32_t type, uint32_t a, uint32_t b, uint32_t bodySize) {
    DplayPutU32(out, bodySize);
    DplayPutU32(out + 4, type);
    DplayPutU32(out + 8, a);
    DplayPutU32(out + 12, b);
}
