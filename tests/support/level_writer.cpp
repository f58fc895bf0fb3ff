#include "tests/support/level_writer.h"

#include <cstring>

void PutWord(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; i++)
        out.push_back(uint8_t(v >> (8 * i)));
}

void PutFloat(std::vector<uint8_t>& out, float v) {
    uint32_t w;
    std::memcpy(&w, &v, 4);
    PutWord(out, w);
}

namespace {

void SetWord(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++)
        out[at + size_t(i)] = uint8_t(v >> (8 * i));
}

void PutName(std::vector<uint8_t>& out, const std::string& name, size_t width) {
    for (size_t i = 0; i < width; i++)
        out.push_back(i < name.size() ? uint8_t(name[i]) : 0);
}

} // namespace

std::vector<uint8_t> BuildLevelItem(const LevelItem& item) {
    std::vector<uint8_t> out;
    PutWord(out, item.id);
    PutWord(out, 0); // size, below
    PutWord(out, (item.type & 0xFFFFFF) | (item.kind & 0x1F) << 24 | item.flags);
    PutWord(out, item.objectWord);
    for (const float* v : {item.position, item.at, item.right, item.up})
        for (int i = 0; i < 3; i++)
            PutFloat(out, v[i]);
    out.insert(out.end(), item.kindData.begin(), item.kindData.end());
    SetWord(out, 4, uint32_t(out.size()));
    return out;
}

std::vector<uint8_t> BuildLevelRecord(const LevelRecordDesc& record) {
    std::vector<uint8_t> out;
    PutWord(out, record.id);
    PutWord(out, 0);
    PutWord(out, record.flags);
    PutWord(out, uint32_t(record.items.size()));
    for (const LevelItem& item : record.items) {
        std::vector<uint8_t> b = BuildLevelItem(item);
        out.insert(out.end(), b.begin(), b.end());
    }
    SetWord(out, 4, uint32_t(out.size()));
    return out;
}

std::vector<uint8_t> BuildLevelHeader(const LevelDesc& level) {
    std::vector<uint8_t> out;
    PutWord(out, level.id);
    PutWord(out, 0);
    PutWord(out, uint32_t(level.records.size() + level.rawRecords.size()));
    PutWord(out, level.flags);
    PutWord(out, level.defaultStart);
    PutFloat(out, level.darknessDepth);
    PutFloat(out, level.waterHeight);
    PutFloat(out, level.skyHeight);
    PutWord(out, uint32_t(level.farClip));
    PutFloat(out, level.minimumLight);
    PutWord(out, level.background);
    PutWord(out, level.ambient);
    PutWord(out, level.light);
    PutName(out, level.levelName, 12);
    PutName(out, level.packName, 72);
    PutFloat(out, level.causticStrength);
    for (const LevelRecordDesc& r : level.records) {
        std::vector<uint8_t> b = BuildLevelRecord(r);
        out.insert(out.end(), b.begin(), b.end());
    }
    for (const std::vector<uint8_t>& b : level.rawRecords)
        out.insert(out.end(), b.begin(), b.end());
    SetWord(out, 4, uint32_t(out.size()));
    return out;
}

ResLevel LevelResource(const LevelDesc& level) {
    std::vector<uint8_t> bytes = BuildLevelHeader(level);
    return ResLevel{level.id, std::vector<uint8_t>(bytes.begin() + 8, bytes.end())};
}
