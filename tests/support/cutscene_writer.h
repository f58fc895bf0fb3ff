// Builds cut-scene level records: a 20-byte head {id, size, 0, item count, duration} and items
// {id, size, kind word, object word, kind words, path list}. The path list is {segment count,
// event count, events {value, time}, segments}; a segment is {size, start, end, key count,
// position-only flag, data}. Sizes and counts are filled in by the writer.
#pragma once

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

struct CutSceneSegment {
    uint32_t start, end;
    uint32_t keys = 2;
    uint32_t positionOnly = 1;
    // n = 2: bases then deltas (3 or 12 each); n > 2: keys of 7 or 25 floats.
    std::vector<float> data{};
};

struct CutScenePath {
    std::vector<std::pair<uint32_t, uint32_t>> events{}; // {value, time}
    std::vector<CutSceneSegment> segments{};
};

struct CutSceneItemDesc {
    uint32_t id;
    uint32_t type = 0;     // bits 0-23 of the kind word
    uint32_t kind = 0;     // bits 24-28
    uint32_t objectWord = 0;
    bool hasObjectWord = false; // bit 30
    std::vector<uint32_t> words{}; // the kind's words from word 4, padded with zeros
    std::string model{};           // kind 6: the model name, in 12 bytes from word 4
    CutScenePath path{};
};

struct CutSceneRecordDesc {
    uint32_t id;
    uint32_t duration = 0;
    std::vector<CutSceneItemDesc> items{};
};

// Words an item kind keeps before its path list (from word 4); -1 for kinds without a path.
int32_t CutSceneKindWords(uint32_t kind);
std::vector<uint8_t> BuildCutSceneItem(const CutSceneItemDesc& item);
std::vector<uint8_t> BuildCutSceneRecord(const CutSceneRecordDesc& record);
// A two-key position-only segment from `from` to `to` (positions relative to the world).
CutSceneSegment LinearSegment(uint32_t start, uint32_t end, const float* from, const float* to);
// ".\DATA\MINING.DAT": four records {rate, capacity, initial stock, load amount}.
std::vector<uint8_t> BuildMiningFile(const float (&sites)[4][4]);
