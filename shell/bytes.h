// Little-endian fields of the game's own binary files, read and written byte by byte.
#pragma once

#include <cstdint>

inline uint32_t MV2ReadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

inline uint16_t MV2ReadU16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}

inline void MV2WriteU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
