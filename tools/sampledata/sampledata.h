// The sample data folder: everything the built game reads at start-up, generated (pictures
// from gradients and shapes, the controls file, the menu resource file with its texts).
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "tests/support/pack_writer.h"

// Writes the folder's files into `folder` (made when missing); false when one could not be
// written. The same folder comes out on every run.
bool SampleDataWrite(const std::string& folder);

// The sound list, the sound files and the base volume table; written by the sound modules'
// writers once they are merged. Until then it writes nothing.
bool SampleDataWriteSoundFiles(const std::string& folder);

// The front end's pictures, movies and subtitle file.
bool SampleDataWriteFrontEnd(const std::string& folder);

// The mission map's tiles of level 0 ("maptile00" to "maptile49"), added to the texture pack.
inline constexpr const char* kSampleMapTiles = "maptile";
// The sample font's glyph cells are 16 pixels high: every sample text has that line height.
inline constexpr uint8_t kSampleLineHeight = 16;
void SampleDataAddMapTiles(std::vector<PackWriterEntry>& entries);

// The front end's menus (0-26) and the texts they name, added to the menu resource file.
struct ResourceFile;
void SampleDataAddFrontEnd(ResourceFile& file);

// A square 24-bit BMP file of `size` pixels, each 0xRRGGBB as `shade` gives it.
using SampleShade = std::function<uint32_t(int32_t x, int32_t y)>;
std::string SampleBmp(int32_t size, const SampleShade& shade);
// 0xRRGGBB from components rounded and held to 0-255.
uint32_t SampleRgb(float r, float g, float b);

// Writes `bytes` to `path`, making its folders; false when it could not be written.
bool SampleDataWriteFile(const std::string& path, const std::vector<uint8_t>& bytes);
// The world modules' textures (water, ripples, caustics, sky, tunnel rocks and clouds), added
// to the texture pack's entries.
void SampleDataAddWorldTextures(std::vector<PackWriterEntry>& entries);
// The submarine table DATA\SUBS.DAT.
bool SampleDataWriteCreatures(const std::string& folder);
// The sample creature types (a SubAI patrol craft, a pirate, an ambient fish and the markers of
// the ambient area) and level 0's records that place them, with its path-node graph.
inline constexpr uint32_t kSamplePatrolType = 1;
inline constexpr uint32_t kSamplePirateType = 56;
inline constexpr uint32_t kSampleFishType = 10;
inline constexpr uint32_t kSampleMarkerType = 398;
void SampleCreatureTypeRecords(std::vector<std::vector<uint8_t>>& types);
struct LevelDesc;
void SampleCreatureLevelRecords(LevelDesc& level);
// Level 0's city bays, drop points, mining parts and cut-scenes, and ".\DATA\MINING.DAT".
void SampleMissionLevelRecords(LevelDesc& level);
bool SampleDataWriteMissions(const std::string& folder);

// The effects' textures, type records (39, 42, 78) and the carrier's model.
void SampleEffectTextures(std::vector<PackWriterEntry>& entries);
void SampleEffectTypeRecords(std::vector<std::vector<uint8_t>>& types);
void SampleEffectModels(std::vector<PackWriterEntry>& clumpPack);
// The later effects' pictures, type records (252, 338, 350-352, 408, 426, 431) and level 0's
// sun-ray object and regrowing plant.
void SampleEffects2Textures(std::vector<PackWriterEntry>& entries);
void SampleEffects2TypeRecords(std::vector<std::vector<uint8_t>>& types);
void SampleEffects2LevelRecords(LevelDesc& level);
