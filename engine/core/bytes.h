// Little-endian words in byte buffers, and the record that holds an embedded member.
#pragma once

#include <bit>
#include <cstddef>
#include <cstdint>

inline uint32_t TvLoadU32(const uint8_t* p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}
inline uint16_t TvLoadU16(const uint8_t* p) {
    return uint16_t(p[0] | p[1] << 8);
}
inline float TvLoadF32(const uint8_t* p) {
    return std::bit_cast<float>(TvLoadU32(p));
}
inline void TvStoreU32(uint8_t* p, uint32_t v) {
    p[0] = uint8_t(v);
    p[1] = uint8_t(v >> 8);
    p[2] = uint8_t(v >> 16);
    p[3] = uint8_t(v >> 24);
}
inline void TvStoreF32(uint8_t* p, float v) {
    TvStoreU32(p, std::bit_cast<uint32_t>(v));
}

// The record of type T whose member at byte `offset` (offsetof) is `member`.
template <typename T, typename M> T* TvContainerOf(M* member, size_t offset) {
    return reinterpret_cast<T*>(reinterpret_cast<uint8_t*>(member) - offset);
}
