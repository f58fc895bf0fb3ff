// The sample folder's puppet boss: the eel's type record, its generated model and its model
// folder (puppet, animations and script) for clump.pak, and level 0's record that places it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct LevelDesc;
struct PackWriterEntry;

inline constexpr uint32_t kSampleEelType = 166;
// The arena object the eel needs: a static ball carrying the arena's script id.
inline constexpr uint32_t kSampleArenaType = 302;
inline constexpr uint32_t kSampleEelArenaId = 0x03080007;

void SampleBossTypeRecords(std::vector<std::vector<uint8_t>>& types);
void SampleBossModels(std::vector<PackWriterEntry>& clumpPack);
void SampleBossLevelRecords(LevelDesc& level);
