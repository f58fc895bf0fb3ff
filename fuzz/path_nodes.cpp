// Reads the input as a path-node level record: a graph comes out only with every node and link
// inside the record, each link naming a node; a search over it ends.
#include "game/creatures/pathnodes.h"

#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > (1u << 16)) return 0;
    MV2PathGraph graph;
    if (!MV2ParsePathNodeRecord(data, size, {}, &graph)) {
        if (graph.count != 0) __builtin_trap();
        return 0;
    }
    for (int32_t i = 0; i < graph.count; ++i)
        for (int32_t k = 0; k < graph.nodes[i].linkCount; ++k)
            if (graph.nodes[i].links[k] < 0 || graph.nodes[i].links[k] >= graph.count)
                __builtin_trap();
    const int32_t count = graph.count;
    MV2SetPathNodeGraph(&graph);
    if (count > 0) MV2PathSearchAStar(0, count - 1);
    MV2DestroyPathNodeGraph();
    return 0;
}
