#include "shell/resfile.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <initializer_list>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "engine/core/memory.h"
#include "engine/core/texture.h"
#include "game/frontend/menus.h"
#include "shell/bytes.h"
#include "shell/errors.h"

MV2MenuResource gMV2MenuResource;
MV2ResourceTextureCalls gMV2ResourceTextureCalls = {TvTextureRead, TvTextureDestroy,
                                                    TvTextureGetMipmapping, TvTextureSetMipmapping};
MV2ResourceMenuCalls gMV2ResourceMenuCalls = {
    [] { return static_cast<void*>(MV2MenuGetCurrentInstance()); },
    [] { return static_cast<void*>(MV2MenuGetClosingInstance()); }, MV2MenuSendMessageRaw,
    MV2MenuReset};

int32_t MV2LanguageFolderIndex = 0;
const char* const MV2LanguageFolders[7] = {nullptr,   "GERMAN",   "SPANISH", "FRENCH",
                                           "ITALIAN", "AMERICAN", "JAPANESE"};

namespace {

MV2MenuResource& R() {
    return gMV2MenuResource;
}

// Chunk types in the order the loader looks them up and copies them.
constexpr uint32_t kLoadOrder[kMV2ResourceChunks] = {1, 0, 2, 3, 4, 5};

uint32_t ChunkSize(uint32_t type) {
    return R().dir[type].size;
}

bool Fits(uint64_t offset, uint64_t bytes, uint64_t size) {
    return offset <= size && bytes <= size - offset;
}

// The walk over a text's units: calls `unit` for each counted unit until `counted` of them
// have been seen. False when the walk would leave the chunk.
template <typename F>
bool WalkUnits(const uint8_t* chunk, uint64_t size, uint64_t record, F&& unit,
               uint64_t* end = nullptr) {
    if (!Fits(record, kMV2TextRecordHeadSize, size)) return false;
    uint32_t counted = MV2ReadU32(chunk + record) & 0xFFFF;
    uint64_t at = record + kMV2TextRecordHeadSize;
    while (counted > 0) {
        if (!Fits(at, 2, size)) return false;
        uint16_t u = MV2ReadU16(chunk + at);
        at += 2;
        if (u == kMV2UnitParam) {
            at += 2; // its parameter
        } else if (u != kMV2UnitEnd && u != kMV2UnitNone) {
            counted--;
            if (!unit(u)) return false;
        }
    }
    if (end) *end = at;
    return true;
}

uint32_t GlyphWidth(const uint8_t* chunk, uint64_t size, uint32_t glyphOffset, uint16_t code,
                    bool* ok) {
    uint64_t at = uint64_t(glyphOffset) + uint64_t(code) * 4;
    if (!Fits(at, 4, size)) {
        *ok = false;
        return 0;
    }
    return chunk[at + 2];
}

// A text record being checked and the largest glyph code of its units (-1 for none).
struct WalkedText {
    uint32_t record;
    int32_t maxGlyph;
};

// Every text of every language: its record, its units and its speech name lie inside chunk 1,
// and its glyphs inside its language's glyph table. Records may be shared by several ids and
// languages, but each record's units and name must end before the next record begins: every
// unit of the chunk is walked at most once, so crafted records that overlap in long runs of
// uncounted units cannot make the check quadratic. Text indexes of different languages are
// the same or do not overlap, for the same reason.
bool CheckTexts() {
    const MV2MenuResourceDirEntry& d = R().dir[MV2_CHUNK_LANGUAGES];
    const uint8_t* chunk = R().chunks[MV2_CHUNK_LANGUAGES];
    const uint64_t size = ChunkSize(MV2_CHUNK_LANGUAGES);
    const uint32_t numTexts = d.count2;
    const uint64_t indexBytes = uint64_t(numTexts) * kMV2TextIndexPairSize;

    std::vector<uint32_t> indexes;
    for (uint32_t i = 0; i < d.count; i++) {
        const MV2Language& row = R().languageRows[i];
        if (row.numFontPages > kMV2MaxFontPages || row.firstFontPage > kMV2MaxFontPages)
            return false;
        if (!Fits(row.indexOffset, indexBytes, size)) return false;
        indexes.push_back(row.indexOffset);
    }
    std::sort(indexes.begin(), indexes.end());
    indexes.erase(std::unique(indexes.begin(), indexes.end()), indexes.end());
    for (size_t i = 1; i < indexes.size(); i++) {
        if (indexes[i] - indexes[i - 1] < indexBytes) return false;
    }

    std::vector<WalkedText> texts;
    for (uint32_t index : indexes) {
        for (uint32_t t = 0; t < numTexts; t++) {
            const uint32_t record = MV2ReadU32(chunk + index + t * kMV2TextIndexPairSize + 4);
            texts.push_back({record, -1});
        }
    }
    auto byRecord = [](const WalkedText& a, const WalkedText& b) { return a.record < b.record; };
    std::sort(texts.begin(), texts.end(), byRecord);
    texts.erase(
        std::unique(texts.begin(), texts.end(),
                    [](const WalkedText& a, const WalkedText& b) { return a.record == b.record; }),
        texts.end());
    for (size_t i = 0; i < texts.size(); i++) {
        const uint64_t limit = i + 1 < texts.size() ? texts[i + 1].record : size;
        WalkedText& text = texts[i];
        uint64_t end = 0;
        auto glyph = [&](uint16_t u) {
            if (u != kMV2UnitGap && int32_t(u) > text.maxGlyph) text.maxGlyph = u;
            return true;
        };
        if (!WalkUnits(chunk, limit, text.record, glyph, &end)) return false;
        if (MV2ReadU32(chunk + text.record) & kMV2TextHasSpeech) {
            const uint64_t name = (end + 3) & ~uint64_t(3);
            if (name >= limit || !std::memchr(chunk + name, 0, limit - name)) return false;
        }
    }

    // Each language's glyph table holds the largest code of the texts its index names.
    std::vector<int32_t> maxGlyph(indexes.size(), -1);
    for (size_t k = 0; k < indexes.size(); k++) {
        for (uint32_t t = 0; t < numTexts; t++) {
            const uint32_t record = MV2ReadU32(chunk + indexes[k] + t * kMV2TextIndexPairSize + 4);
            auto it =
                std::lower_bound(texts.begin(), texts.end(), WalkedText{record, -1}, byRecord);
            if (it->maxGlyph > maxGlyph[k]) maxGlyph[k] = it->maxGlyph;
        }
    }
    for (uint32_t i = 0; i < d.count; i++) {
        const MV2Language& row = R().languageRows[i];
        const size_t k = size_t(std::lower_bound(indexes.begin(), indexes.end(), row.indexOffset) -
                                indexes.begin());
        bool ok = true;
        if (maxGlyph[k] >= 0) GlyphWidth(chunk, size, row.glyphOffset, uint16_t(maxGlyph[k]), &ok);
        if (!ok) return false;
    }
    return true;
}

bool CheckLanguages() {
    const MV2MenuResourceDirEntry& d = R().dir[MV2_CHUNK_LANGUAGES];
    if (!Fits(0, uint64_t(d.count) * kMV2LanguageRowSize, d.size)) return false;
    R().languageRows =
        static_cast<MV2Language*>(TvCalloc(d.count ? d.count : 1, sizeof(MV2Language)));
    if (!R().languageRows) return false;
    for (uint32_t i = 0; i < d.count; i++) {
        const uint8_t* p = R().chunks[MV2_CHUNK_LANGUAGES] + i * kMV2LanguageRowSize;
        MV2Language& row = R().languageRows[i];
        row = {MV2ReadU32(p),      MV2ReadU32(p + 4),  MV2ReadU32(p + 8), MV2ReadU32(p + 12),
               MV2ReadU32(p + 16), MV2ReadU32(p + 20), MV2ReadU32(p + 24)};
    }
    return CheckTexts();
}

// Menu rows and items: rows inside the chunk, items of a known kind inside the chunk.
// Every menu has items of its own, so the chunk holds at least the smallest item's size per
// counted item; menus that claim more share items, and walking them (here and when sizing)
// would grow faster than the chunk.
bool CheckMenus() {
    const MV2MenuResourceDirEntry& d = R().dir[MV2_CHUNK_MENUS];
    const uint8_t* chunk = R().chunks[MV2_CHUNK_MENUS];
    if (!Fits(0, uint64_t(d.count) * kMV2MenuRowSize, d.size)) return false;
    uint64_t allItems = 0;
    for (uint32_t m = 0; m < d.count; m++) {
        allItems += MV2ReadU32(chunk + m * kMV2MenuRowSize + 4);
    }
    if (allItems > d.size / kMV2MenuItemFileSize[0]) return false; // kind 0, the smallest
    for (uint32_t m = 0; m < d.count; m++) {
        const uint8_t* row = chunk + m * kMV2MenuRowSize;
        uint32_t items = MV2ReadU32(row + 4);
        uint64_t at = MV2ReadU32(row + 8);
        for (uint32_t i = 0; i < items; i++) {
            if (!Fits(at, kMV2MenuItemHeaderSize, d.size)) return false;
            uint32_t kind = MV2ReadU32(chunk + at + 4);
            if (kind > 4 || !Fits(at, kMV2MenuItemFileSize[kind], d.size)) return false;
            at += kMV2MenuItemFileSize[kind];
        }
    }
    return true;
}

bool CheckTextures() {
    const MV2MenuResourceDirEntry& d = R().dir[MV2_CHUNK_TEXTURES];
    if (!Fits(0, uint64_t(d.count) * kMV2TextureRowSize, d.size)) return false;
    for (uint32_t i = 0; i < d.count; i++) {
        const uint8_t* row = R().chunks[MV2_CHUNK_TEXTURES] + i * kMV2TextureRowSize;
        if (!std::memchr(row + 4, 0, kMV2TextureNameSize)) return false;
        if (!std::memchr(row + 4 + kMV2TextureNameSize, 0, kMV2TextureNameSize)) return false;
    }
    return true;
}

bool CheckRecords() {
    const MV2MenuResourceDirEntry& types = R().dir[MV2_CHUNK_OBJECT_TYPES];
    if (!Fits(0, uint64_t(types.count) * kMV2ObjectTypeRecordSize, types.size)) return false;
    const MV2MenuResourceDirEntry& levels = R().dir[MV2_CHUNK_LEVELS];
    uint64_t at = 0;
    for (uint32_t i = 0; i < levels.count; i++) {
        if (!Fits(at, 8, levels.size)) return false;
        uint32_t bytes = MV2ReadU32(R().chunks[MV2_CHUNK_LEVELS] + at + 4);
        if (bytes < 8 || !Fits(at, bytes, levels.size)) return false;
        at += bytes;
    }
    return true;
}

void DestroyMenuInstances() {
    const MV2ResourceMenuCalls& m = gMV2ResourceMenuCalls;
    for (void* instance : {m.closingInstance(), m.currentInstance()}) {
        if (instance) m.sendMessage(instance, kMV2MenuMessageDestroy, -1, 0, 0, 0);
    }
    if (m.forget) m.forget();
}

void FreeChunks() {
    for (uint32_t type : kLoadOrder) {
        TvFree(R().chunks[type]);
        R().chunks[type] = nullptr;
    }
    TvFree(R().languageRows);
    R().languageRows = nullptr;
    R().menus = R().languages = nullptr;
    std::memset(R().dir, 0, sizeof R().dir);
}

// Releases everything the file holds; the language's pointers go with chunk 1.
void Release() {
    DestroyMenuInstances();
    TvFree(R().instanceBuffers[0]); // one allocation holds both buffers
    R().instanceBuffers[0] = R().instanceBuffers[1] = nullptr;
    R().instanceSize = 0;
    MV2MenuResourceFreeTextures();
    MV2DestroyLanguage();
    R().language = {};
    FreeChunks();
}

// Reads and checks the file; a message for the error box on failure.
const char* Load(const char* path) {
    TvFileInterface* f = TV_ENGINE ? TvEngineGetFileInterface() : nullptr;
    if (!f || !f->open) return "Could not open fileing system";
    void* file = f->open(path, "rb");
    if (!file) return "Could not open menu file";
    long length = f->length(file);
    // An empty file still gets a block, so that it fails on its missing header.
    uint8_t* buffer =
        length >= 0 ? static_cast<uint8_t*>(TvMalloc(length ? size_t(length) : 1)) : nullptr;
    const char* error = nullptr;
    if (length < 0) {
        error = "Could not open menu file";
    } else if (!buffer) {
        error = "Could not allocate resource file buffer";
    } else if (f->read(buffer, 1, size_t(length), file) != size_t(length)) {
        error = "Could not open menu file";
    } else if (size_t(length) < kMV2ResourceHeaderSize ||
               MV2ReadU32(buffer) != kMV2ResourceCookie ||
               MV2ReadU32(buffer + 4) != uint32_t(kMV2ResourceChunks)) {
        error = "Bad Cookie";
    }
    for (uint32_t type : kLoadOrder) {
        if (error) break;
        const MV2MenuResourceDirEntry* found = nullptr;
        MV2MenuResourceDirEntry e;
        for (int32_t i = 0; i < kMV2ResourceChunks && !found; i++) {
            const uint8_t* p = buffer + 8 + i * kMV2ResourceDirEntrySize;
            e = {MV2ReadU32(p), MV2ReadU32(p + 4), MV2ReadU32(p + 8), MV2ReadU32(p + 12),
                 MV2ReadU32(p + 16)};
            if (e.type == type) found = &e;
        }
        if (!found || !Fits(e.offset, e.size, uint64_t(length))) {
            error = "Unable to find a chunk in resource file";
        } else {
            R().dir[type] = e;
            if (!MV2MenuResourceCopyChunk(&e, &R().chunks[type], buffer)) {
                error = "Could not allocate resource file buffer";
            }
        }
    }
    if (!error) {
        R().menus = R().chunks[MV2_CHUNK_MENUS];
        R().languages = R().chunks[MV2_CHUNK_LANGUAGES];
        if (!CheckLanguages() || !CheckRecords()) {
            error = "Bad Cookie";
        } else if (!CheckTextures() || !MV2MenuResourceLoadTextures()) {
            error = "Bad Textures";
        } else if (!CheckMenus() || !MV2MenuResourceSizeMenus()) {
            error = "Bad menus";
        }
    }
    TvFree(buffer);
    f->close(file);
    return error;
}

} // namespace

const char* MV2MenuResourceFileName(char* out, size_t size) {
    int32_t index = MV2LanguageFolderIndex;
    if (index > 0 && index < 7) {
        std::snprintf(out, size, ".\\data\\%s\\menu.mv2", MV2LanguageFolders[index]);
    } else {
        std::snprintf(out, size, ".\\data\\menu.mv2");
    }
    return out;
}

int32_t MV2MenuResourceCopyChunk(const MV2MenuResourceDirEntry* entry, uint8_t** slot,
                                 const uint8_t* file) {
    TvFree(*slot);
    // A chunk of no bytes still gets a block, so that a loaded chunk is never null.
    *slot = static_cast<uint8_t*>(TvMalloc(entry->size ? entry->size : 1));
    if (!*slot) return 0;
    if (entry->size) std::memcpy(*slot, file + entry->offset, entry->size);
    return 1;
}

int32_t MV2LoadMenuResourceFile(const char* path) {
    Release();
    if (const char* error = Load(path)) {
        MV2ErrorBox(error);
        MV2FreeMenuResourceFile();
        return 0;
    }
    return 1;
}

void MV2FreeMenuResourceFile() {
    Release();
}

int32_t MV2MenuResourceLoadTextures() {
    MV2ResourceTextureCalls& t = gMV2ResourceTextureCalls;
    bool mipmapping = t.getMipmapping();
    t.setMipmapping(false);
    uint32_t count = R().dir[MV2_CHUNK_TEXTURES].count;
    R().textures = static_cast<TvTexture**>(TvCalloc(count ? count : 1, sizeof(TvTexture*)));
    R().textureIds = static_cast<uint32_t*>(TvCalloc(count ? count : 1, sizeof(uint32_t)));
    int32_t ok = R().textures && R().textureIds;
    for (uint32_t i = 0; ok && i < count; i++) {
        const uint8_t* row = R().chunks[MV2_CHUNK_TEXTURES] + i * kMV2TextureRowSize;
        const char* name = reinterpret_cast<const char*>(row + 4);
        R().textures[i] = t.read(name, name + kMV2TextureNameSize);
        if (!R().textures[i]) ok = 0;
        R().textureIds[i] = MV2ReadU32(row);
        R().numTextures = int32_t(i + 1);
    }
    t.setMipmapping(mipmapping);
    return ok;
}

void MV2MenuResourceFreeTextures() {
    for (int32_t i = 0; R().textures && i < R().numTextures; i++) {
        if (R().textures[i]) gMV2ResourceTextureCalls.destroy(R().textures[i]);
    }
    TvFree(R().textures);
    TvFree(R().textureIds);
    R().textures = nullptr;
    R().textureIds = nullptr;
    R().numTextures = 0;
}

TvTexture* MV2MenuResourceFindTexture(uint32_t id) {
    for (int32_t i = 0; R().textureIds && i < R().numTextures; i++) {
        if (R().textureIds[i] == id) return R().textures[i];
    }
    return nullptr;
}

int32_t MV2MenuResourceSizeMenus() {
    constexpr uint64_t kLimit = 64u << 20;
    const MV2MenuResourceDirEntry& d = R().dir[MV2_CHUNK_MENUS];
    uint64_t largest = 0;
    for (uint32_t m = 0; R().menus && m < d.count; m++) {
        uint64_t size = MV2MenuInstanceSize(R().menus, m);
        size = (size + alignof(std::max_align_t) - 1) & ~uint64_t(alignof(std::max_align_t) - 1);
        if (size > largest) largest = size;
    }
    uint8_t* both = largest <= kLimit ? static_cast<uint8_t*>(TvMalloc(2 * largest)) : nullptr;
    if (!both) {
        MV2ErrorBox("Error allocating memory for menus");
        return 0;
    }
    R().instanceBuffers[0] = both;
    R().instanceBuffers[1] = both + largest;
    R().instanceSize = size_t(largest);
    return 1;
}

void MV2DestroyLanguage() {
    MV2CurrentLanguage& lang = R().language;
    if (!lang.fontPages) return;
    uint32_t pages = lang.row ? lang.row->numFontPages : 0;
    for (uint32_t i = 0; i < pages; i++) {
        if (lang.fontPages[i]) gMV2ResourceTextureCalls.destroy(lang.fontPages[i]);
    }
    TvFree(lang.fontPages);
    lang.fontPages = nullptr;
}

int32_t MV2CreateLanguage(uint32_t localeId) {
    MV2DestroyLanguage();
    const MV2MenuResourceDirEntry& d = R().dir[MV2_CHUNK_LANGUAGES];
    if (!R().languages) return 0;
    const MV2Language* row = nullptr;
    uint32_t wanted = localeId & 0xFFFF;
    for (uint32_t pass = 0; pass < 2 && !row; pass++) {
        for (uint32_t i = 0; i < d.count && !row; i++) {
            if (R().languageRows[i].languageId == wanted) row = &R().languageRows[i];
        }
        wanted = kMV2DefaultLanguageId;
    }
    if (!row) return 0;
    MV2CurrentLanguage& lang = R().language;
    lang = {24,
            R().languages + row->indexOffset,
            row->languageId,
            R().languages + row->glyphOffset,
            nullptr,
            row};
    lang.fontPages = static_cast<TvTexture**>(
        TvCalloc(row->numFontPages ? row->numFontPages : 1, sizeof(TvTexture*)));
    if (!lang.fontPages) return 0;
    for (uint32_t i = 0; i < row->numFontPages; i++) {
        char name[16], mask[16];
        std::snprintf(name, sizeof name, "fp%03u", row->firstFontPage + i);
        std::snprintf(mask, sizeof mask, "fp%03um", row->firstFontPage + i);
        lang.fontPages[i] = gMV2ResourceTextureCalls.read(name, mask);
        if (!lang.fontPages[i]) {
            MV2DestroyLanguage();
            lang = {};
            return 0;
        }
    }
    return 1;
}

MV2TextDescriptor* MV2GetText(MV2TextDescriptor* descriptor) {
    descriptor->text = nullptr;
    descriptor->width = 0;
    const MV2CurrentLanguage& lang = R().language;
    if (descriptor->id != 0xFFFFFFFFu && lang.row && R().languages) {
        const uint8_t* chunk = R().languages;
        uint64_t size = ChunkSize(MV2_CHUNK_LANGUAGES);
        uint32_t count = R().dir[MV2_CHUNK_LANGUAGES].count2;
        for (uint32_t i = 0; i < count; i++) {
            const uint8_t* pair = lang.textIndex + i * kMV2TextIndexPairSize;
            if (MV2ReadU32(pair) != descriptor->id) continue;
            uint32_t record = MV2ReadU32(pair + 4);
            uint32_t width = 0;
            bool ok = true;
            auto add = [&](uint16_t u) {
                width += u == kMV2UnitGap ? kMV2GapWidth
                                          : GlyphWidth(chunk, size, lang.row->glyphOffset, u, &ok);
                return ok;
            };
            if (WalkUnits(chunk, size, record, add)) {
                descriptor->text = chunk + record;
                descriptor->width = width;
            }
            break;
        }
    }
    descriptor->revealCount = -1;
    descriptor->fadeFront = -1;
    descriptor->revealClock = 0;
    descriptor->word6 = 215;
    return descriptor;
}

int32_t MV2GetObjectTypeRecord(uint8_t* out, uint32_t typeId) {
    const uint8_t* chunk = R().chunks[MV2_CHUNK_OBJECT_TYPES];
    for (uint32_t i = 0; chunk && i < R().dir[MV2_CHUNK_OBJECT_TYPES].count; i++) {
        const uint8_t* record = chunk + i * kMV2ObjectTypeRecordSize;
        if (MV2ReadU32(record + kMV2ObjectTypeIdOffset) == typeId) {
            std::memcpy(out, record, kMV2ObjectTypeRecordSize);
            return 1;
        }
    }
    std::memset(out, 0, kMV2ObjectTypeRecordSize);
    return 0;
}

const uint8_t* MV2MenuResourceFindRecord(uint32_t id, uint32_t* size) {
    const uint8_t* chunk = R().chunks[MV2_CHUNK_LEVELS];
    uint64_t at = 0;
    for (uint32_t i = 0; chunk && i < R().dir[MV2_CHUNK_LEVELS].count; i++) {
        uint32_t bytes = MV2ReadU32(chunk + at + 4);
        if (MV2ReadU32(chunk + at) == id) {
            if (size) *size = bytes;
            return chunk + at;
        }
        at += bytes;
    }
    return nullptr;
}

void MV2MenuItemInitFromFile(MV2MenuItemHeader* item, const uint8_t* fileItem,
                             uint32_t runtimeSize) {
    auto word = [&](int i) { return int32_t(MV2ReadU32(fileItem + 4 * i)); };
    item->id = uint32_t(word(0));
    item->size = runtimeSize;
    item->kind = uint32_t(word(1));
    item->width = float(word(5));
    item->height = float(word(6));
    item->x = float(word(2));
    item->y = float(word(3));
    item->fifth = float(word(4));
    item->fileItem = fileItem;
    item->alignment = uint32_t(word(7));
    item->flags |= kMV2MenuItemRedraw;
}
