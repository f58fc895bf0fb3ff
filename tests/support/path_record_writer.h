// Writer of the path-node level record: {id, size, a word, node count}, then nodes of
// {id, search word, x, y, z, weight, link count, link ids}, all little-endian 32-bit.
#pragma once

#include <cstdint>
#include <vector>

struct PathNodeSpec {
    uint32_t id = 0;
    float x = 0.0f, y = 0.0f, z = 0.0f;
    float weight = 0.0f;
    std::vector<uint32_t> links;
};

// `size` 0 writes the record's real size.
std::vector<uint8_t> PathNodeRecordBytes(uint32_t recordId, const std::vector<PathNodeSpec>& nodes,
                                         uint32_t size = 0);
// A w by h grid of nodes 1 unit apart in x and z, ids 1.. row by row, each linked to its four
// neighbours.
std::vector<PathNodeSpec> PathGridNodes(int32_t w, int32_t h);
