// MV2PuppetUpdate and MV2PuppetBindClump for a 30-node, 2,000-vertex puppet playing one
// animation of every node, against a plain loop transforming the same vertices and normals by
// their node matrices, in the same run. Prints the ratio at the end (aim: 2.0 or less).
#include <benchmark/benchmark.h>

#include <cstdio>
#include <string>
#include <vector>

#include "bench/ratio_reporter.h"
#include "engine/world/world_plugin.h"
#include "game/objects/animscript.h"
#include "game/objects/puppets.h"
#include "tests/support/accepting_device.h"
#include "tests/support/puppet_clump.h"
#include "tests/support/puppet_writer.h"

namespace {

constexpr int32_t kNodes = 30;
constexpr int32_t kVertices = 2000;
constexpr int32_t kDuplicates = 50;
constexpr int32_t kOwn = kVertices - kDuplicates; // V

MV2PuppetInstance* g_instance = nullptr;
TvMatrix g_owner;
std::vector<TvV3d> g_points, g_normals;
double g_seconds[2];

// A binary tree of nodes, each moving its share of the vertices and the first vertex of the next
// share, with one deformation track of eight keys driven by its own turn about y.
PuppetFileRecord Puppet() {
    PuppetFileRecord f;
    for (int32_t i = 0; i < kDuplicates; i++)
        f.duplicates.push_back(uint32_t(i * 3));
    f.vertexNodeCounts.assign(kOwn, 1);
    const int32_t share = kOwn / kNodes;
    for (int32_t i = 0; i < kNodes; i++) {
        PuppetNodeRecord n{uint32_t(100 + (i - 1) / 2), uint32_t(100 + i), "node" + std::to_string(i),
                           {0, 0.1f * float(i), 0}, {}, {}};
        const int32_t end = i + 1 == kNodes ? kOwn : (i + 1) * share;
        for (int32_t v = i * share; v < end; v++)
            n.vertices.push_back(uint32_t(v));
        if (i + 1 < kNodes) {
            n.vertices.push_back(uint32_t(end));
            f.vertexNodeCounts[size_t(end)] = 2;
        }
        PuppetTrackRecord t{uint32_t(100 + i), 0, 2.0f, 40.0f, {}};
        for (uint32_t k = 0; k < 8; k++)
            t.keys.push_back({k, {0, 0.01f * float(k), 0}, {0, 0, 0.1f}});
        n.tracks.push_back(t);
        f.nodes.push_back(n);
    }
    return f;
}

// Every node turns and lifts over three keyframes.
std::vector<AnimRecord> Anims() {
    AnimRecord a{"sway", {}, {{0, 0, {}}, {0, 50, {}}, {50, 100, {}}}};
    for (int32_t i = 0; i < kNodes; i++) {
        a.nodes.push_back(uint32_t(100 + i));
        for (int32_t k = 0; k < 3; k++) {
            const float turn = 10.0f * float(k + 1) + float(i);
            const std::vector<float> values{turn, turn / 2, turn / 3, 0, 0.1f, 0};
            a.keyframes[size_t(k)].values.insert(a.keyframes[size_t(k)].values.end(),
                                                 values.begin(), values.end());
        }
    }
    return {a};
}

TvV3d Transform(const TvV3d& v, const TvMatrix& m, float w) {
    return {v.x * m.right.x + v.y * m.up.x + v.z * m.at.x + w * m.pos.x,
            v.x * m.right.y + v.y * m.up.y + v.z * m.at.y + w * m.pos.y,
            v.x * m.right.z + v.y * m.up.z + v.z * m.at.z + w * m.pos.z};
}

void PuppetAgainstPlainLoop(benchmark::State& state) {
    MeasureInTurn(
        state,
        [] {
            MV2PuppetUpdate(g_instance, &g_owner, 1.0f);
            MV2PuppetBindClump(g_instance);
        },
        [] {
            for (int32_t i = 0; i < g_instance->nodeCount; i++) {
                const MV2PuppetNode* node = g_instance->nodes[i].node;
                const TvMatrix& m = g_instance->nodes[i].world;
                for (int32_t j = 0; j < node->vertexCount; j++) {
                    const uint32_t v = node->vertices[j];
                    g_points[v] = Transform(node->restPositions[j], m, 1);
                    g_normals[v] = Transform(node->restNormals[j], m, 0);
                }
            }
            benchmark::DoNotOptimize(g_points.data());
            benchmark::DoNotOptimize(g_normals.data());
        },
        [] { benchmark::ClobberMemory(); }, "puppet_ms", "plain_ms", g_seconds);
}

BENCHMARK(PuppetAgainstPlainLoop);

bool Attach() {
    return TpWorldPluginAttach() == 1;
}

} // namespace

int main(int argc, char** argv) {
    if (!AcceptingEngineStart(Attach)) {
        std::fprintf(stderr, "engine did not start\n");
        return 1;
    }
    std::vector<TvV3d> vertices;
    for (int32_t i = 0; i < kVertices; i++)
        vertices.push_back({float(i % 7) * 0.3f, float(i) * 0.01f, float(i % 11) * 0.2f});
    TpClump* clump = MakeVertexClump(vertices.data(), kVertices);
    const std::vector<uint8_t> pup = PuppetFileBytes(Puppet()), bin = AnimsFileBytes(Anims());
    MV2Puppet* puppet = MV2PuppetReadBytes(clump, pup.data(), pup.size(), 0);
    const std::string script = "sway { trigger { -anim sway } }";
    if (!puppet || !MV2AnimsReadBytes(puppet, bin.data(), bin.size()) ||
        !MV2AnimScriptParseText(puppet, script.data(), script.size()) ||
        !(g_instance = MV2CreateAnimInstance(puppet, clump, nullptr))) {
        std::fprintf(stderr, "puppet not made\n");
        return 1;
    }
    TvMatrixSetIdentity(&g_owner);
    g_points.resize(kVertices);
    g_normals.resize(kVertices);
    MV2PuppetPlayAnim(g_instance, 0);
    MV2PuppetUpdate(g_instance, &g_owner, 1.0f);

    benchmark::Initialize(&argc, argv);
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    std::printf("ratio MV2PuppetUpdate + MV2PuppetBindClump / plain vertex loop: %.2f\n",
                g_seconds[1] > 0 ? g_seconds[0] / g_seconds[1] : 0.0);

    MV2PuppetFreeAnims(g_instance);
    MV2PuppetDestroy(puppet);
    TpClumpDestroy(clump);
    TvEngineStop();
    TvEngineClose();
    TvEngineTerm();
    return 0;
}
