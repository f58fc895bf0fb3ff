// Builds menu resource files from simple descriptions: menus with items of each kind,
// languages with text records, glyph tables and font pages, texture rows, 284-byte object-type
// records and level records. Counts, offsets and the directory are filled in by the writer.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct ResItem {
    uint32_t id;
    uint32_t kind; // 0..4; the item takes its kind's file size
    int32_t x = 0, y = 0, g3 = 0, g4 = 0, g5 = 0;
    uint32_t style = 0;
    uint32_t ninth = 0; // the item's ninth word
    std::vector<std::pair<int, uint32_t>> words{}; // further words by number (from 1)
};

struct ResMenu {
    uint32_t id;
    std::vector<ResItem> items;
};

struct ResText {
    uint32_t id;
    std::vector<uint16_t> units;
    std::string speech{}; // a speech sample name follows the units when not empty
    int32_t counted = -1; // -1: the units that count (glyphs and gaps)
    uint8_t lineHeight = 0; // pixels, head bits 16-23
};

struct ResGlyph {
    uint8_t x, y, width, page;
};

struct ResLanguage {
    uint32_t languageId;
    uint32_t firstFontPage = 0;
    uint32_t numFontPages = 0;
    std::vector<ResText> texts; // every language of a file has the same number
    std::vector<ResGlyph> glyphs;
};

struct ResTexture {
    uint32_t id;
    std::string name, mask;
};

struct ResLevel {
    uint32_t id;
    std::vector<uint8_t> body; // after the id and size words
};

struct ResourceFile {
    std::vector<ResMenu> menus;
    std::vector<ResLanguage> languages;
    std::vector<ResTexture> textures;
    std::vector<std::vector<uint8_t>> types; // 284 bytes each, see TypeRecord
    std::vector<uint8_t> chunk4;
    std::vector<ResLevel> levels;
    std::array<uint32_t, 6> order = {0, 1, 2, 3, 4, 5}; // chunk types in directory order
};

// A 284-byte object-type record of that type id, other bytes `fill`.
std::vector<uint8_t> TypeRecord(uint32_t typeId, uint8_t fill = 0);
std::vector<uint8_t> BuildResourceFile(const ResourceFile& file);

// Where the directory entry of chunk type `type` sits in a built file, and the chunk's offset.
size_t ResourceDirEntryAt(const std::vector<uint8_t>& bytes, uint32_t type);
size_t ResourceChunkAt(const std::vector<uint8_t>& bytes, uint32_t type);
