#include "tests/support/cutscene_writer.h"

#include "tests/support/level_writer.h"

namespace {

void SetWord(std::vector<uint8_t>& out, size_t at, uint32_t v) {
    for (int i = 0; i < 4; i++)
        out[at + size_t(i)] = uint8_t(v >> (8 * i));
}

} // namespace

int32_t CutSceneKindWords(uint32_t kind) {
    switch (kind) {
    case 0:
    case 5: return 0;
    case 1: return 2;
    case 2:
    case 4: return 4;
    case 3: return 5;
    case 6: return 3;
    case 8: return 1;
    default: return -1;
    }
}

std::vector<uint8_t> BuildCutSceneItem(const CutSceneItemDesc& item) {
    std::vector<uint8_t> out;
    PutWord(out, item.id);
    PutWord(out, 0);
    PutWord(out, (item.type & 0xFFFFFF) | (item.kind & 0x1F) << 24 | (item.hasObjectWord ? 1u << 30 : 0));
    PutWord(out, item.objectWord);
    const int32_t words = CutSceneKindWords(item.kind);
    if (item.kind == 6) {
        for (size_t i = 0; i < 12; i++)
            out.push_back(i < item.model.size() ? uint8_t(item.model[i]) : 0);
    } else {
        for (int32_t i = 0; i < words; i++)
            PutWord(out, size_t(i) < item.words.size() ? item.words[size_t(i)] : 0);
    }
    PutWord(out, uint32_t(item.path.segments.size()));
    PutWord(out, uint32_t(item.path.events.size()));
    for (const auto& e : item.path.events) {
        PutWord(out, e.first);
        PutWord(out, e.second);
    }
    for (const CutSceneSegment& s : item.path.segments) {
        const size_t at = out.size();
        PutWord(out, 0);
        PutWord(out, s.start);
        PutWord(out, s.end);
        PutWord(out, s.keys);
        PutWord(out, s.positionOnly);
        for (float f : s.data)
            PutFloat(out, f);
        SetWord(out, at, uint32_t(out.size() - at));
    }
    SetWord(out, 4, uint32_t(out.size()));
    return out;
}

std::vector<uint8_t> BuildCutSceneRecord(const CutSceneRecordDesc& record) {
    std::vector<uint8_t> out;
    PutWord(out, record.id);
    PutWord(out, 0);
    PutWord(out, 0);
    PutWord(out, uint32_t(record.items.size()));
    PutWord(out, record.duration);
    for (const CutSceneItemDesc& item : record.items) {
        std::vector<uint8_t> b = BuildCutSceneItem(item);
        out.insert(out.end(), b.begin(), b.end());
    }
    SetWord(out, 4, uint32_t(out.size()));
    return out;
}

CutSceneSegment LinearSegment(uint32_t start, uint32_t end, const float* from, const float* to) {
    CutSceneSegment s{start, end};
    for (int i = 0; i < 3; i++)
        s.data.push_back(from[i]);
    for (int i = 0; i < 3; i++)
        s.data.push_back(to[i] - from[i]);
    return s;
}

std::vector<uint8_t> BuildMiningFile(const float (&sites)[4][4]) {
    std::vector<uint8_t> out;
    for (const auto& site : sites)
        for (float v : site)
            PutFloat(out, v);
    return out;
}
