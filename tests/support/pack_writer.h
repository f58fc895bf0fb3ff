// Builds pack archives for tests, fuzz seeds and benchmarks: the header, every entry's data in
// order, then the directory of 64-byte entries (names as given, so "/" or "\" and any case).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PackWriterEntry {
    std::string name; // at most 55 characters
    std::string data;
};

std::vector<uint8_t> BuildPack(const std::vector<PackWriterEntry>& entries);

// Offsets of the header fields and of a directory entry's fields, for damaging a built pack.
inline constexpr size_t kPackDirOffsetField = 4;
inline constexpr size_t kPackDirSizeField = 8;
// Where the directory starts in a pack built from `entries`.
size_t PackDirectoryOffset(const std::vector<PackWriterEntry>& entries);
void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value);
