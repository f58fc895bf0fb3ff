// Puppet files come from model folders: whatever the bytes of "puppet.pup" and "anims.bin", a
// read against a fixture clump ends in a puppet whose instances can play every animation, pose,
// skin the clump and give part triangles, or in null (no animations) with nothing left behind.
// Input: a 32-bit split, the puppet file up to the split, the animation file after it.
#include <algorithm>
#include <string>

#include "engine/core/bytes.h"
#include "engine/world/clump.h"
#include "engine/world/world_plugin.h"
#include "fuzz/world_input.h"
#include "game/objects/animscript.h"
#include "game/objects/puppets.h"
#include "game/objects/utilities.h"
#include "tests/support/puppet_clump.h"

namespace {

constexpr int32_t kVertices = 24;

bool Attach() {
    return TpWorldPluginAttach() == 1;
}

TpClump* FixtureClump() {
    TvV3d vertices[kVertices];
    for (int32_t i = 0; i < kVertices; i++)
        vertices[i] = {float(i % 3), float(i / 3), float(i % 5)};
    return MakeVertexClump(vertices, kVertices);
}

// A script that wires every animation to the next, with a foot on the first node.
std::string Script(const MV2Puppet* puppet) {
    std::string foot;
    if (puppet->nodeCount) {
        foot = puppet->nodes[0].name;
        std::replace(foot.begin(), foot.end(), ' ', '_');
    }
    std::string script;
    for (const MV2PuppetAnim* a = puppet->anims; a; a = a->next) {
        const MV2PuppetAnim* next = a->next ? a->next : puppet->anims;
        script += std::string(a->name) + " { trigger { !state s } trigger { -anim " + next->name +
                  " } start { +state s anim " + next->name + " } end { -state s } foot " + foot +
                  " move 1 0 1 }\n";
    }
    return script;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!WorldFuzzStart(Attach) || size < 4) return 0;
    const size_t split = std::min<size_t>(TvLoadU32(data), size - 4);
    TpClump* clump = FixtureClump();
    MV2Puppet* puppet = MV2PuppetReadBytes(clump, data + 4, split, 0);
    if (puppet) {
        MV2AnimsReadBytes(puppet, data + 4 + split, size - 4 - split);
        const std::string script = Script(puppet);
        MV2AnimScriptParseText(puppet, script.data(), script.size());
        if (MV2PuppetInstance* in = MV2CreateAnimInstance(puppet, clump, nullptr)) {
            for (int32_t i = 0; i < in->stateCount; i++)
                MV2PuppetPlayAnim(in, i);
            TvMatrix owner;
            TvMatrixSetIdentity(&owner);
            for (float step : {1.0f, 3.0f, -2.0f, 0.5f, 7.0f, 100.0f}) {
                MV2PuppetUpdate(in, &owner, step);
                MV2PuppetBindClump(in);
            }
            MV2TriangleHit hits[kMV2PuppetMaxPartTriangles];
            MV2PuppetPart parts[kMV2PuppetMaxPartTriangles];
            for (int32_t i = 0; i < in->nodeCount && i < 8; i++) {
                MV2PuppetGetPartTriangles(in, &in->nodes[i].world.pos, 2.0f,
                                          kMV2PuppetMaxPartTriangles, hits, parts);
                MV2PuppetFindNearestNode(in, &in->nodes[i].world.pos);
            }
            MV2PuppetFreeAnims(in);
        }
        MV2PuppetDestroy(puppet);
    }
    TpClumpDestroy(clump);
    return 0;
}
