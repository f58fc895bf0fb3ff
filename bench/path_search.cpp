// A* over a 2,000-node grid graph (50 by 40, a wall of never-entered nodes across the middle
// with one gap): the game's search with its sorted open ring, against a plain
// std::priority_queue A* over the same adjacency arrays.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdio>
#include <algorithm>
#include <functional>
#include <vector>

#include "bench/ratio_reporter.h"
#include "game/creatures/pathnodes.h"
#include "tests/support/path_record_writer.h"

namespace {

constexpr int32_t kW = 50, kH = 40;
const MV2PathGraph* g_graph = nullptr;

float Distance(const MV2PathNode& a, const MV2PathNode& b) {
    const float dx = a.position.x - b.position.x, dz = a.position.z - b.position.z;
    return std::sqrt(dx * dx + dz * dz);
}

// The baseline: the same costs (horizontal distance plus 100 x weight), a binary heap (the
// std::priority_queue operations on a vector kept between searches), stale entries skipped.
struct HeapSearch {
    using Entry = std::pair<float, int32_t>;
    std::vector<float> g;
    std::vector<int32_t> parent;
    std::vector<uint8_t> closed;
    std::vector<Entry> heap;

    void Push(Entry e) {
        heap.push_back(e);
        std::push_heap(heap.begin(), heap.end(), std::greater<>{});
    }

    int32_t Run(int32_t start, int32_t goal) {
        const MV2PathGraph& graph = *g_graph;
        const size_t n = size_t(graph.count);
        g.assign(n, 0.0f);
        parent.assign(n, -2);
        closed.assign(n, 0);
        heap.clear();
        parent[size_t(start)] = -1;
        Push({Distance(graph.nodes[goal], graph.nodes[start]), start});
        int32_t result = 0;
        while (!heap.empty()) {
            std::pop_heap(heap.begin(), heap.end(), std::greater<>{});
            const int32_t x = heap.back().second;
            heap.pop_back();
            if (closed[size_t(x)]) continue;
            closed[size_t(x)] = 1;
            if (x == goal) {
                for (int32_t r = goal; r >= 0; r = parent[size_t(r)])
                    ++result;
                break;
            }
            const MV2PathNode& node = graph.nodes[x];
            for (int32_t k = 0; k < node.linkCount; ++k) {
                const int32_t y = node.links[k];
                const MV2PathNode& other = graph.nodes[y];
                if (y == parent[size_t(x)] || other.weight >= 100.0f) continue;
                const float cost = g[size_t(x)] + Distance(other, node) + 100.0f * other.weight;
                if (parent[size_t(y)] == -2 || cost < g[size_t(y)]) {
                    g[size_t(y)] = cost;
                    parent[size_t(y)] = x;
                    closed[size_t(y)] = 0;
                    Push({cost + Distance(graph.nodes[goal], other), y});
                }
            }
        }
        return result;
    }
};

HeapSearch g_heap;

void GameAStar(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(MV2PathSearchAStar(0, kW * kH - 1));
}

void HeapAStar(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(g_heap.Run(0, kW * kH - 1));
}

BENCHMARK(GameAStar);
BENCHMARK(HeapAStar);

} // namespace

int main(int argc, char** argv) {
    std::vector<PathNodeSpec> nodes = PathGridNodes(kW, kH);
    for (PathNodeSpec& n : nodes)
        if (n.x == float(kW / 2) && n.z < float(kH - 1)) n.weight = 100.0f;
    const std::vector<uint8_t> bytes = PathNodeRecordBytes(0x01FEFFFF, nodes);
    MV2PathGraph graph;
    if (!MV2ParsePathNodeRecord(bytes.data(), bytes.size(), {}, &graph)) {
        std::fprintf(stderr, "graph not parsed\n");
        return 1;
    }
    MV2SetPathNodeGraph(&graph);
    g_graph = MV2GetPathNodeGraph();
    const int32_t game = MV2PathSearchAStar(0, kW * kH - 1), heap = g_heap.Run(0, kW * kH - 1);
    if (game == 0 || game != heap) {
        std::fprintf(stderr, "the searches disagree: %d and %d nodes\n", game, heap);
        return 1;
    }
    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    reporter.PrintRatio("GameAStar", "HeapAStar");
    MV2DestroyPathNodeGraph();
    return 0;
}
