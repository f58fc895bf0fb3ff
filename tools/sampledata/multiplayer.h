// The network game's sample data: the settings file's texts, the spawn-point and pickup types,
// and the multiplayer level 0x0CFFFFFF with its landscape (the player icons MPICONS and MPICONSM
// are the 2-D sprite pages the front end's sample pictures already hold).
#pragma once

#include <string>
#include <vector>

struct ResLevel;

inline constexpr uint32_t kSampleNetLevel = 0x0CFFFFFF;
inline constexpr uint32_t kSampleSpawnPointType = 450;
inline constexpr uint32_t kSampleWeaponPickupType = 447;
inline constexpr uint32_t kSampleAmmoPickupType = 456;

void SampleMultiplayerTypeRecords(std::vector<std::vector<uint8_t>>& types);
ResLevel SampleMultiplayerLevel();
// DATA\mplay.txt and the level's landscape, fog table and pack; false when one failed.
bool SampleDataWriteMultiplayer(const std::string& folder);
