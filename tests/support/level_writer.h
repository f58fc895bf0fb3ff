// Builds level headers for chunk 5 of the menu resource file: the 140-byte header, then level
// records of 16 bytes each followed by their items (64 bytes and the kind data). Sizes and
// counts are filled in by the writer.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/resfile_writer.h"

struct LevelItem {
    uint32_t id;
    uint32_t type;      // bits 0-23
    uint32_t kind = 0;  // 0..31
    uint32_t flags = 0; // bits 29-31 of the type word, as stored
    uint32_t objectWord = 0;
    float position[3] = {0, 0, 0};
    float at[3] = {0, 0, 1};
    float right[3] = {1, 0, 0};
    float up[3] = {0, 1, 0};
    std::vector<uint8_t> kindData{};
};

// An item of the type at a position, facing +z.
inline LevelItem LevelItemAt(uint32_t id, uint32_t type, float x, float y, float z,
                             uint32_t kind = 0) {
    LevelItem item{id, type, kind};
    item.position[0] = x;
    item.position[1] = y;
    item.position[2] = z;
    return item;
}

// As LevelItemAt, with a level parameter: a nonzero one is stored in the item's word, which the
// level copies to the object it makes.
inline LevelItem LevelItemWithParameter(uint32_t id, uint32_t type, float x, float y, float z,
                                        float parameter) {
    LevelItem item = LevelItemAt(id, type, x, y, z);
    if (parameter != 0.0f) {
        item.flags = 1u << 30;
        std::memcpy(&item.objectWord, &parameter, sizeof parameter);
    }
    return item;
}

struct LevelRecordDesc {
    uint32_t id;
    uint32_t flags = 0;
    std::vector<LevelItem> items{};
};

struct LevelDesc {
    uint32_t id; // the level in the top byte, 0xFFFFFF below
    uint32_t flags = 0;
    uint32_t defaultStart = 0;
    float darknessDepth = 0, waterHeight = 0, skyHeight = 0;
    int32_t farClip = 30;
    float minimumLight = 0.2f;
    uint32_t background = 0, ambient = 0, light = 0;
    std::string levelName{}, packName{};
    float causticStrength = 0;
    std::vector<LevelRecordDesc> records{};
    std::vector<std::vector<uint8_t>> rawRecords{}; // whole stored records, after `records`
};

std::vector<uint8_t> BuildLevelItem(const LevelItem& item);
std::vector<uint8_t> BuildLevelRecord(const LevelRecordDesc& record);
// The whole stored header with its records.
std::vector<uint8_t> BuildLevelHeader(const LevelDesc& level);
// The header as a chunk 5 entry of the resource file writer.
ResLevel LevelResource(const LevelDesc& level);

// Kind data helpers: little-endian words and floats.
void PutWord(std::vector<uint8_t>& out, uint32_t v);
void PutFloat(std::vector<uint8_t>& out, float v);
