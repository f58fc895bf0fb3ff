// Sample object types: their records for the menu resource file, their generated models for
// clump.pak and the shadow map for texture.pak.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct PackWriterEntry;

// A static prop colliding through its collision file, a dynamic sphere with a body, and a
// shadowed type; all in level group 0.
inline constexpr uint32_t kSampleTreePropType = 300;
inline constexpr uint32_t kSampleBallType = 301;
inline constexpr uint32_t kSampleShadowedType = 302;

// Words, floats and names of a type record, little-endian at a word index.
void SampleTypeSetWord(std::vector<uint8_t>& record, int32_t word, uint32_t value);
void SampleTypeSetFloat(std::vector<uint8_t>& record, int32_t word, float value);
void SampleTypeSetName(std::vector<uint8_t>& record, int32_t word, const char* name);

void SampleObjectTypeRecords(std::vector<std::vector<uint8_t>>& types);
void SampleObjectModels(std::vector<PackWriterEntry>& clumpPack);
void SampleObjectTextures(std::vector<PackWriterEntry>& texturePack);
// The CLUMP folder that the collision files are written to beside the packed models.
bool SampleObjectFolders(const std::string& folder);
