#include "tests/support/path_record_writer.h"

#include <cstring>

namespace {

void Add32(std::vector<uint8_t>& b, uint32_t v) {
    for (int i = 0; i < 4; ++i)
        b.push_back(uint8_t(v >> (8 * i)));
}

void AddF(std::vector<uint8_t>& b, float f) {
    uint32_t v;
    std::memcpy(&v, &f, sizeof v);
    Add32(b, v);
}

} // namespace

std::vector<uint8_t> PathNodeRecordBytes(uint32_t recordId, const std::vector<PathNodeSpec>& nodes,
                                         uint32_t size) {
    std::vector<uint8_t> b;
    Add32(b, recordId);
    Add32(b, 0); // size, below
    Add32(b, 0);
    Add32(b, uint32_t(nodes.size()));
    for (const PathNodeSpec& n : nodes) {
        Add32(b, n.id);
        Add32(b, 0xFFFFFFFF); // search word: set by the reader
        AddF(b, n.x);
        AddF(b, n.y);
        AddF(b, n.z);
        AddF(b, n.weight);
        Add32(b, uint32_t(n.links.size()));
        for (uint32_t link : n.links)
            Add32(b, link);
    }
    const uint32_t real = size ? size : uint32_t(b.size());
    for (int i = 0; i < 4; ++i)
        b[4 + size_t(i)] = uint8_t(real >> (8 * i));
    return b;
}

std::vector<PathNodeSpec> PathGridNodes(int32_t w, int32_t h) {
    std::vector<PathNodeSpec> nodes;
    for (int32_t z = 0; z < h; ++z)
        for (int32_t x = 0; x < w; ++x) {
            PathNodeSpec n;
            n.id = uint32_t(z * w + x + 1);
            n.x = float(x);
            n.z = float(z);
            if (x > 0) n.links.push_back(n.id - 1);
            if (x + 1 < w) n.links.push_back(n.id + 1);
            if (z > 0) n.links.push_back(n.id - uint32_t(w));
            if (z + 1 < h) n.links.push_back(n.id + uint32_t(w));
            nodes.push_back(n);
        }
    return nodes;
}
