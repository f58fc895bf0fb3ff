// Animation scripts come from model folders: whatever the text, parsing into a fixture puppet
// ends in 1 or 0, and an instance then runs the triggers and events it built.
#include <bit>
#include <vector>

#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/world_plugin.h"
#include "fuzz/world_input.h"
#include "game/objects/animscript.h"
#include "game/objects/puppets.h"

namespace {

bool Attach() {
    return TpWorldPluginAttach() == 1;
}

struct Words {
    std::vector<uint8_t> bytes;
    Words& U(uint32_t v) {
        for (int i = 0; i < 4; i++)
            bytes.push_back(uint8_t(v >> (8 * i)));
        return *this;
    }
    Words& F(float v) { return U(std::bit_cast<uint32_t>(v)); }
    Words& Name(const char* text, size_t size) {
        for (size_t i = 0; i < size; i++)
            bytes.push_back(i < __builtin_strlen(text) ? uint8_t(text[i]) : 0);
        return *this;
    }
};

// A clump of three vertices; its puppet has a root "body" (id 1, vertex 0) and a child
// "left arm" (id 2, vertices 1 and 2).
TpClump* FixtureClump() {
    TpClump* clump = TpClumpCreate();
    TvFrame* frame = TvFrameCreate();
    TpClumpSetFrame(clump, frame);
    TpGeometry* geometry = TpGeometryCreate(3, 0, kTpGeometryNormals);
    TpMorphTarget* target = TpGeometryGetMorphTarget(geometry, 0);
    for (int32_t i = 0; i < 3; i++) {
        target->vertices[i] = {float(i), 1, 0};
        target->normals[i] = {0, 1, 0};
    }
    TpAtomic* atomic = TpAtomicCreate();
    TpAtomicSetGeometry(atomic, geometry, 0);
    TpGeometryDestroy(geometry);
    TpAtomicSetFrame(atomic, frame);
    TpClumpAddAtomic(clump, atomic);
    return clump;
}

std::vector<uint8_t> PuppetBytes() {
    Words w;
    w.U(2).U(0).U(0).U(0).U(3).U(0).U(0).U(0).U(0).U(1).U(1).U(1);
    w.U(1).Name("body", 100).U(1).F(0).F(0).F(0).U(0).U(0);
    w.U(1).U(2).Name("left arm", 100).U(2).F(0).F(1).F(0).U(1).U(2).U(0);
    return w.bytes;
}

std::vector<uint8_t> AnimBytes() {
    Words w;
    w.U(3);
    for (const char* name : {"swing", "lift", "walk"}) {
        w.Name(name, 16).U(2).U(2).U(1).U(2);
        w.F(0).F(0);
        for (int i = 0; i < 12; i++)
            w.F(0);
        w.F(0).F(10);
        for (int i = 0; i < 12; i++)
            w.F(float(i * 7 % 90));
    }
    return w.bytes;
}

void Noop(void*) {}

const MV2PuppetCallback kCallbacks[] = {{"ad", Noop}, {"bd", Noop}, {"zap", nullptr}};

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (!WorldFuzzStart(Attach)) return 0;
    static const std::vector<uint8_t> pup = PuppetBytes(), bin = AnimBytes();
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
