#include "tests/support/pack_writer.h"

#include <algorithm>
#include <cstring>

#include "shell/bytes.h"

void PutU32(std::vector<uint8_t>& bytes, size_t at, uint32_t value) {
    if (bytes.size() < at + 4) bytes.resize(at + 4);
    MV2WriteU32(bytes.data() + at, value);
}

size_t PackDirectoryOffset(const std::vector<PackWriterEntry>& entries) {
    size_t at = 12;
    for (const PackWriterEntry& e : entries)
        at += e.data.size();
    return at;
}

std::vector<uint8_t> BuildPack(const std::vector<PackWriterEntry>& entries) {
    std::vector<uint8_t> out(12);
    std::memcpy(out.data(), "PACK", 4);
    std::vector<uint32_t> offsets;
    for (const PackWriterEntry& e : entries) {
        offsets.push_back(uint32_t(out.size()));
        out.insert(out.end(), e.data.begin(), e.data.end());
    }
    PutU32(out, 4, uint32_t(out.size()));
    PutU32(out, 8, uint32_t(entries.size() * 64));
    for (size_t i = 0; i < entries.size(); i++) {
        size_t at = out.size();
        out.resize(at + 64);
        std::memcpy(out.data() + at, entries[i].name.data(),
                    std::min<size_t>(entries[i].name.size(), 55));
        PutU32(out, at + 56, offsets[i]);
        PutU32(out, at + 60, uint32_t(entries[i].data.size()));
    }
    return out;
}
