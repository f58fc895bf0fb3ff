// Animation scripts come from model folders: whatever the text, parsing into a fixture puppet
// ends in 1 or 0, and an instance then runs the triggers and events it built.
#include <vector>

#include "engine/world/clump.h"
#include "engine/world/world_plugin.h"
#include "fuzz/world_input.h"
#include "game/objects/animscript.h"
#include "game/objects/puppets.h"
#include "tests/support/puppet_clump.h"
#include "tests/support/puppet_writer.h"

namespace {

bool Attach() {
    return TpWorldPluginAttach() == 1;
}

// A clump of three vertices; its puppet has a root "body" (id 1, vertex 0) and a child
// "left arm" (id 2, vertices 1 and 2).
TpClump* FixtureClump() {
    const TvV3d vertices[3] = {{0, 1, 0}, {1, 1, 0}, {2, 1, 0}};
    return MakeVertexClump(vertices, 3);
}

std::vector<uint8_t> PuppetFile() {
    PuppetFileRecord f;
    f.vertexNodeCounts = {1, 1, 1};
    f.nodes.push_back({0, 1, "body", {0, 0, 0}, {0}, {}});
    f.nodes.push_back({1, 2, "left arm", {0, 1, 0}, {1, 2}, {}});
    return PuppetFileBytes(f);
}

// Three animations of both nodes over two keyframes.
std::vector<uint8_t> AnimsFile() {
    std::vector<AnimRecord> anims;
    for (const char* name : {"swing", "lift", "walk"}) {
        AnimRecord a{name, {1, 2}, {{0, 0, {}}, {0, 10, {}}}};
        for (int i = 0; i < 12; i++)
            a.keyframes[1].values.push_back(float(i * 7 % 90));
        anims.push_back(a);
    }
    return AnimsFileBytes(anims);
}

void Noop(void*) {}

const MV2PuppetCallback kCallbacks[] = {{"ad", Noop}, {"bd", Noop}, {"zap", nullptr}};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!WorldFuzzStart(Attach)) return 0;
    static const std::vector<uint8_t> pup = PuppetFile(), bin = AnimsFile();
    TpClump* clump = FixtureClump();
    MV2Puppet* puppet = MV2PuppetReadBytes(clump, pup.data(), pup.size(), 0);
    if (!puppet || !MV2AnimsReadBytes(puppet, bin.data(), bin.size())) __builtin_trap();
    puppet->callbacks = kCallbacks;
    puppet->callbackCount = 3;
    MV2AnimScriptParseText(puppet, reinterpret_cast<const char*>(data), size);
    if (MV2PuppetInstance* in = MV2CreateAnimInstance(puppet, clump, nullptr)) {
        MV2PuppetPlayAnim(in, 0);
        TvMatrix owner;
        TvMatrixSetIdentity(&owner);
        for (int i = 0; i < 8; i++) {
            if (in->flagIndexCount) in->flagsByIndex[i % in->flagIndexCount]->value ^= 1;
            MV2PuppetUpdate(in, &owner, 3.0f);
        }
        MV2PuppetBindClump(in);
        MV2PuppetFreeAnims(in);
    }
    MV2PuppetDestroy(puppet);
    TpClumpDestroy(clump);
    return 0;
}
