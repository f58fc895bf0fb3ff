// A stand-in puppet for boss tests: writes a model folder whose puppet has only named nodes
// (at the given pivots, children of the first) and no animations, so the real loader and the
// real object system run; events and animation flags are then fired by name on demand.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "engine/core/vector.h"
#include "tests/support/data_folder.h"

struct TpClump;
struct MV2Object;
struct MV2PuppetInstance;

struct FakePuppetNode {
    std::string name;
    TvV3d pivot;
};

// "puppet.pup" bytes for the model `clump` (its first atomic's geometry) with these nodes; a
// root node "root" at the origin comes first.
std::vector<uint8_t> FakePuppetBytes(TpClump* clump, const std::vector<FakePuppetNode>& nodes);
// Writes the puppet to "clump/<folder>/puppet.pup" of the data folder.
void WriteFakePuppet(const DataFolder& data, const std::string& folder, TpClump* clump,
                     const std::vector<FakePuppetNode>& nodes);
// Calls the event callback of that name with the instance's owner, as a playing animation
// would; 0 when the table has no such event.
int32_t FakePuppetFire(MV2PuppetInstance* instance, const char* event);
int32_t FakePuppetFire(MV2Object* boss, const char* event);
// Sets an animation or event flag of the puppet, as its script would.
void FakePuppetSet(MV2Object* boss, const char* flag, int32_t value);
