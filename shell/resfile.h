// The menu resource file: menus, menu textures, texts and font pages of every language, the
// object-type records and the level records, loaded whole and checked against its length.
#pragma once

#include <cstddef>
#include <cstdint>

struct TvTexture;

inline constexpr uint32_t kMV2ResourceCookie = 0xDAF02135;
inline constexpr int32_t kMV2ResourceChunks = 6;
inline constexpr size_t kMV2ResourceHeaderSize = 128;
inline constexpr size_t kMV2ResourceDirEntrySize = 20;
inline constexpr size_t kMV2MenuRowSize = 12;
inline constexpr size_t kMV2MenuItemHeaderSize = 32;
inline constexpr size_t kMV2LanguageRowSize = 28;
inline constexpr size_t kMV2TextIndexPairSize = 8;
inline constexpr size_t kMV2TextRecordHeadSize = 8;
inline constexpr size_t kMV2TextureRowSize = 36;
inline constexpr size_t kMV2TextureNameSize = 16;
inline constexpr size_t kMV2ObjectTypeRecordSize = 284;
inline constexpr size_t kMV2ObjectTypeIdOffset = 204;
inline constexpr uint32_t kMV2DefaultLanguageId = 2057;
inline constexpr uint32_t kMV2MaxFontPages = 1000; // page names have room for three digits
inline constexpr uint32_t kMV2TextHasSpeech = 1u << 24;

// Character units of a text.
inline constexpr uint16_t kMV2UnitEnd = 0xFFFC;   // end of the drawn text
inline constexpr uint16_t kMV2UnitParam = 0xFFFD; // followed by one parameter unit
inline constexpr uint16_t kMV2UnitGap = 0xFFFE;   // a 5-pixel gap
inline constexpr uint16_t kMV2UnitNone = 0xFFFF;
inline constexpr uint32_t kMV2GapWidth = 5;

// The file size of a chunk 0 item by kind (0..4).
inline constexpr uint32_t kMV2MenuItemFileSize[5] = {36, 72, 264, 328, 40};

enum MV2ResourceChunk : uint32_t {
    MV2_CHUNK_MENUS = 0,
    MV2_CHUNK_LANGUAGES = 1,
    MV2_CHUNK_TEXTURES = 2,
    MV2_CHUNK_OBJECT_TYPES = 3,
    MV2_CHUNK_4 = 4,
    MV2_CHUNK_LEVELS = 5,
};

struct MV2MenuResourceDirEntry {
    uint32_t type;
    uint32_t count;
    uint32_t offset;
    uint32_t size;
    uint32_t count2;
};

// A language row of chunk 1, read field by field.
struct MV2Language {
    uint32_t reserved0;
    uint32_t indexOffset; // of the text index, from the start of chunk 1
    uint32_t firstFontPage;
    uint32_t numFontPages;
    uint32_t reserved1;
    uint32_t glyphOffset; // of the glyph table, from the start of chunk 1
    uint32_t languageId;
};

struct MV2CurrentLanguage {
    uint32_t size;             // 24
    const uint8_t* textIndex;  // pairs {text id, record offset}
    uint32_t languageId;       // in use
    const uint8_t* glyphTable; // 4 bytes per character code {x, y, width, font page}
    TvTexture** fontPages;     // one per font page
    const MV2Language* row;
};

// Filled by MV2GetText; the caller sets `id` first. The last four words belong to the drawing
// code.
struct MV2TextDescriptor {
    const uint8_t* text; // the text record (head, reserved word, 16-bit units), or null
    uint32_t id;
    uint32_t width; // in pixels
    int32_t revealCount; // characters shown; -1: all
    int32_t fadeFront;   // index of the last revealed character; -1: none
    int32_t revealClock; // ms
    int32_t word6;
};

// The loaded file.
struct MV2MenuResource {
    uint8_t* chunks[kMV2ResourceChunks];             // private copies, by chunk type
    MV2MenuResourceDirEntry dir[kMV2ResourceChunks]; // by chunk type
    uint8_t* menus;                                  // = chunk 0
    uint8_t* languages;                              // = chunk 1
    MV2Language* languageRows;                       // chunk 1's rows, read into native form
    TvTexture** textures;                            // one per chunk 2 row
    uint32_t* textureIds;
    int32_t numTextures;
    uint8_t* instanceBuffers[2]; // current and closing menu instance
    size_t instanceSize;
    MV2CurrentLanguage language;
};
extern MV2MenuResource gMV2MenuResource;

// The engine texture calls the file makes (the texture module's by default); tests put their
// own here.
struct MV2ResourceTextureCalls {
    TvTexture* (*read)(const char* name, const char* maskName);
    bool (*destroy)(TvTexture* texture);
    bool (*getMipmapping)();
    bool (*setMipmapping)(bool on);
};
extern MV2ResourceTextureCalls gMV2ResourceTextureCalls;

// The menu calls the file makes when it destroys the menu instances (the menus' own by
// default); tests put their own here.
struct MV2ResourceMenuCalls {
    void* (*currentInstance)();
    void* (*closingInstance)();
    int32_t (*sendMessage)(void* instance, int32_t message, int32_t itemId, intptr_t a0, intptr_t a1,
                          intptr_t a2);
    void (*forget)(); // the instances are gone with the file; may be null
};
extern MV2ResourceMenuCalls gMV2ResourceMenuCalls;

// ".\data\menu.mv2", or ".\data\<folder>\menu.mv2" for a language edition.
extern int32_t MV2LanguageFolderIndex;
extern const char* const MV2LanguageFolders[7];
// The file name for the language folder in use; `out` holds at least 64 bytes.
const char* MV2MenuResourceFileName(char* out, size_t size);

int32_t MV2LoadMenuResourceFile(const char* path);
void MV2FreeMenuResourceFile();
int32_t MV2MenuResourceLoadTextures();
void MV2MenuResourceFreeTextures();
int32_t MV2MenuResourceSizeMenus();
int32_t MV2MenuResourceCopyChunk(const MV2MenuResourceDirEntry* entry, uint8_t** slot,
                                 const uint8_t* file);

int32_t MV2CreateLanguage(uint32_t localeId);
void MV2DestroyLanguage();
MV2TextDescriptor* MV2GetText(MV2TextDescriptor* descriptor);
// `out` receives the 284 stored bytes; zeroed when the type is absent.
int32_t MV2GetObjectTypeRecord(uint8_t* out, uint32_t typeId);
// The chunk 5 record with that id (and its size in bytes), or null.
const uint8_t* MV2MenuResourceFindRecord(uint32_t id, uint32_t* size = nullptr);
// The menu texture with that id, or null.
TvTexture* MV2MenuResourceFindTexture(uint32_t id);

// Header of a runtime menu item, filled from its chunk 0 item.
struct MV2MenuItemHeader {
    uint32_t id;
    uint32_t size; // runtime size
    uint32_t kind;
    float width;
    float height;
    int32_t spare0;
    int32_t kindWord; // the slider's drag offset
    float x;
    float y;
    int32_t spare1;
    float fifth; // the file item's fifth word, not read
    const uint8_t* fileItem;
    uint32_t alignment; // signed low byte
    uint32_t flags; // bit 8: redraw
};
inline constexpr uint32_t kMV2MenuItemRedraw = 0x100;
void MV2MenuItemInitFromFile(MV2MenuItemHeader* item, const uint8_t* fileItem,
                             uint32_t runtimeSize);
