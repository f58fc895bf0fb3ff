#include "tests/support/fake_puppet.h"

#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/objects/objects.h"
#include "game/objects/puppets.h"
#include "game/objects/utilities.h"
#include "tests/support/puppet_writer.h"

std::vector<uint8_t> FakePuppetBytes(TpClump* clump, const std::vector<FakePuppetNode>& nodes) {
    TpAtomic* atomic = MV2GetFirstAtomic(clump);
    TpGeometry* geometry = atomic ? TpAtomicGetGeometry(atomic) : nullptr;
    const uint32_t vertices = geometry ? uint32_t(geometry->numVertices) : 0;
    PuppetFileRecord file;
    file.vertexNodeCounts.assign(vertices, 0);
    file.nodes.push_back({0, 1, "root", {0, 0, 0}, {}, {}});
    uint32_t id = 2;
    for (const FakePuppetNode& n : nodes)
        file.nodes.push_back({1, id++, n.name, {n.pivot.x, n.pivot.y, n.pivot.z}, {}, {}});
    return PuppetFileBytes(file);
}

void WriteFakePuppet(const DataFolder& data, const std::string& folder, TpClump* clump,
                     const std::vector<FakePuppetNode>& nodes) {
    data.Write("clump/" + folder + "/puppet.pup", FakePuppetBytes(clump, nodes));
}

int32_t FakePuppetFire(MV2PuppetInstance* instance, const char* event) {
    if (!instance) return 0;
    const int32_t row = MV2PuppetFindCallback(instance->puppet, event);
    if (row < 0 || !instance->puppet->callbacks[row].function) return 0;
    instance->puppet->callbacks[row].function(instance->userData);
    return 1;
}

int32_t FakePuppetFire(MV2Object* boss, const char* event) {
    return boss ? FakePuppetFire(static_cast<MV2PuppetInstance*>(boss->privateData), event) : 0;
}

void FakePuppetSet(MV2Object* boss, const char* flag, int32_t value) {
    if (boss) MV2PuppetSetStateFlag(static_cast<MV2PuppetInstance*>(boss->privateData), flag, value);
}
