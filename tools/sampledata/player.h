// The player's object types in the sample folder: their records for the menu resource file and
// their generated models for clump.pak.
#pragma once

#include <cstdint>
#include <vector>

struct PackWriterEntry;

inline constexpr uint32_t kSamplePlayerCraftType = 0;
inline constexpr uint32_t kSampleBoltType = 2;
inline constexpr uint32_t kSampleDebrisType = 3;
inline constexpr uint32_t kSampleTargetGroupType = 100;
inline constexpr uint32_t kSampleBulletType = 145;
inline constexpr uint32_t kSampleSmallBoltType = 146;
inline constexpr uint32_t kSampleMuzzleFlashType = 331;
inline constexpr uint32_t kSampleLightObjectType = 69;
inline constexpr uint32_t kSampleHomingType = 394;
inline constexpr uint32_t kSampleSocketType = 395;

void SamplePlayerTypeRecords(std::vector<std::vector<uint8_t>>& types);
void SamplePlayerModels(std::vector<PackWriterEntry>& clumpPack);
