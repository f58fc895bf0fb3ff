#include "tests/support/resfile_writer.h"

#include <algorithm>
#include <cstring>

#include "shell/bytes.h"
#include "shell/resfile.h"

namespace {

void U32(std::vector<uint8_t>& out, uint32_t v) {
    size_t at = out.size();
    out.resize(at + 4);
    MV2WriteU32(out.data() + at, v);
}

void Pad4(std::vector<uint8_t>& out) {
    out.resize((out.size() + 3) & ~size_t(3));
}

std::vector<uint8_t> Menus(const std::vector<ResMenu>& menus) {
    std::vector<uint8_t> rows, items;
    size_t first = menus.size() * kMV2MenuRowSize;
    for (const ResMenu& m : menus) {
        U32(rows, m.id);
        U32(rows, uint32_t(m.items.size()));
        U32(rows, uint32_t(first + items.size()));
        for (const ResItem& it : m.items) {
            size_t at = items.size();
            for (uint32_t w : {it.id, it.kind, uint32_t(it.x), uint32_t(it.y), uint32_t(it.g3),
                               uint32_t(it.g4), uint32_t(it.g5), it.style, it.ninth})
                U32(items, w);
            items.resize(at + kMV2MenuItemFileSize[it.kind % 5]);
            for (const auto& [number, value] : it.words) {
                const size_t word = at + 4 * size_t(number - 1);
                if (number >= 1 && word + 4 <= items.size())
                    for (int b = 0; b < 4; b++) items[word + size_t(b)] = uint8_t(value >> (8 * b));
            }
        }
    }
    rows.insert(rows.end(), items.begin(), items.end());
    return rows;
}

int32_t Counted(const ResText& t) {
    if (t.counted >= 0) return t.counted;
    int32_t n = 0;
    for (size_t i = 0; i < t.units.size(); i++) {
        uint16_t u = t.units[i];
        if (u == kMV2UnitParam) {
            i++;
        } else if (u != kMV2UnitEnd && u != kMV2UnitNone) {
            n++;
        }
    }
    return n;
}

std::vector<uint8_t> Languages(const std::vector<ResLanguage>& languages) {
    std::vector<uint8_t> out(languages.size() * kMV2LanguageRowSize);
    for (size_t l = 0; l < languages.size(); l++) {
        const ResLanguage& lang = languages[l];
        uint32_t index = uint32_t(out.size());
        out.resize(out.size() + lang.texts.size() * kMV2TextIndexPairSize);
        uint32_t glyphs = uint32_t(out.size());
        for (const ResGlyph& g : lang.glyphs)
            out.insert(out.end(), {g.x, g.y, g.width, g.page});
        for (size_t t = 0; t < lang.texts.size(); t++) {
            const ResText& text = lang.texts[t];
            Pad4(out);
            MV2WriteU32(out.data() + index + t * 8, text.id);
            MV2WriteU32(out.data() + index + t * 8 + 4, uint32_t(out.size()));
            U32(out, uint32_t(Counted(text)) | uint32_t(text.lineHeight) << 16 |
                         (text.speech.empty() ? 0 : kMV2TextHasSpeech));
            U32(out, 0);
            for (uint16_t u : text.units)
                out.insert(out.end(), {uint8_t(u), uint8_t(u >> 8)});
            if (!text.speech.empty()) {
                Pad4(out);
                out.insert(out.end(), text.speech.begin(), text.speech.end());
                out.push_back(0);
            }
        }
        Pad4(out);
        uint8_t* row = out.data() + l * kMV2LanguageRowSize;
        uint32_t words[7] = {0, index,  lang.firstFontPage, lang.numFontPages,
                             0, glyphs, lang.languageId};
        for (int i = 0; i < 7; i++)
            MV2WriteU32(row + 4 * i, words[i]);
    }
    return out;
}

std::vector<uint8_t> Textures(const std::vector<ResTexture>& textures) {
    std::vector<uint8_t> out;
    for (const ResTexture& t : textures) {
        U32(out, t.id);
        size_t at = out.size();
        out.resize(at + 2 * kMV2TextureNameSize);
        std::memcpy(out.data() + at, t.name.data(), std::min<size_t>(t.name.size(), 15));
        std::memcpy(out.data() + at + kMV2TextureNameSize, t.mask.data(),
                    std::min<size_t>(t.mask.size(), 15));
    }
    return out;
}

} // namespace

std::vector<uint8_t> TypeRecord(uint32_t typeId, uint8_t fill) {
    std::vector<uint8_t> r(kMV2ObjectTypeRecordSize, fill);
    MV2WriteU32(r.data() + kMV2ObjectTypeIdOffset, typeId);
    return r;
}

std::vector<uint8_t> BuildResourceFile(const ResourceFile& file) {
    std::vector<uint8_t> chunks[6];
    chunks[0] = Menus(file.menus);
    chunks[1] = Languages(file.languages);
    chunks[2] = Textures(file.textures);
    for (const std::vector<uint8_t>& t : file.types)
        chunks[3].insert(chunks[3].end(), t.begin(), t.end());
    chunks[4] = file.chunk4;
    for (const ResLevel& l : file.levels) {
        U32(chunks[5], l.id);
        U32(chunks[5], uint32_t(8 + l.body.size()));
        chunks[5].insert(chunks[5].end(), l.body.begin(), l.body.end());
    }
    uint32_t counts[6] = {uint32_t(file.menus.size()),
                          uint32_t(file.languages.size()),
                          uint32_t(file.textures.size()),
                          uint32_t(file.types.size()),
                          0,
                          uint32_t(file.levels.size())};
    uint32_t texts = file.languages.empty() ? 0 : uint32_t(file.languages[0].texts.size());

    std::vector<uint8_t> out;
    U32(out, kMV2ResourceCookie);
    U32(out, kMV2ResourceChunks);
    out.resize(kMV2ResourceHeaderSize);
    for (size_t i = 0; i < 6; i++) {
        uint32_t type = file.order[i];
        uint8_t* e = out.data() + 8 + i * kMV2ResourceDirEntrySize;
        uint32_t words[5] = {type, counts[type % 6], uint32_t(out.size()),
                             uint32_t(chunks[type % 6].size()), type % 6 == 1 ? texts : 0};
        for (int w = 0; w < 5; w++)
            MV2WriteU32(e + 4 * w, words[w]);
        out.insert(out.end(), chunks[type % 6].begin(), chunks[type % 6].end());
    }
    return out;
}

size_t ResourceDirEntryAt(const std::vector<uint8_t>& bytes, uint32_t type) {
    for (size_t i = 0; i < 6; i++) {
        size_t at = 8 + i * kMV2ResourceDirEntrySize;
        if (MV2ReadU32(bytes.data() + at) == type) return at;
    }
    return 0;
}

size_t ResourceChunkAt(const std::vector<uint8_t>& bytes, uint32_t type) {
    return MV2ReadU32(bytes.data() + ResourceDirEntryAt(bytes, type) + 8);
}
