// The craft tools' types in the sample folder: the magnet head and links, the remote vehicle,
// the flare, the floating object, the stone ball, the deployable turret, two pickups and the
// teleporter, with their generated models, a folded turret, a pickup and a linked teleporter
// pair in the level, and the multiplayer weapon values.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct LevelDesc;
struct PackWriterEntry;

void SampleToolTypeRecords(std::vector<std::vector<uint8_t>>& types);
void SampleToolModels(std::vector<PackWriterEntry>& clumpPack);
void SampleToolLevelRecords(LevelDesc& level);
bool SampleDataWriteTools(const std::string& folder);
