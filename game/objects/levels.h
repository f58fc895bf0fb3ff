// Levels: the level header and its records in chunk 5 of the menu resource file, spawning
// objects from records, the landscape, the ".LAT"/".CAT" texture lists, the level load and the
// per-frame level change.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/vector.h"

struct MV2Object;
struct TpWorld;
struct TpClump;
struct TvMatrix;
struct TvTexture;
struct MV2CreationRecord;

inline constexpr uint32_t kMV2TitleLevel = 0xFFFFFF;
inline constexpr uint32_t kMV2WholeLevel = 0xFFFFFF; // low 24 bits of an id naming a whole level
inline constexpr uint32_t kMV2NoLevel = 0xFFFFFFFF;
inline constexpr size_t kMV2LevelHeaderSize = 140;
inline constexpr size_t kMV2LevelRecordHeadSize = 16;
inline constexpr size_t kMV2LevelItemHeadSize = 64;
inline constexpr size_t kMV2LevelNameSize = 12;
inline constexpr size_t kMV2LevelPackNameSize = 72;
inline constexpr size_t kMV2TextureListLine = 20;
inline constexpr int32_t kMV2TextureListEntries = 409; // 8192 bytes of lines
inline constexpr int32_t kMV2LevelLoadSteps = 27;

// Record flags.
inline constexpr uint32_t kMV2RecordFullLoad = 1u << 0;  // respawned by a full level load
inline constexpr uint32_t kMV2RecordEveryLoad = 1u << 1; // spawned at every level load
// Item type-word bits.
inline constexpr uint32_t kMV2ItemMissionOwned = 1u << 29;
inline constexpr uint32_t kMV2ItemCopyWord = 1u << 30;
inline constexpr uint32_t kMV2ItemActivate = 1u << 31;

// The stored header, read field by field; `bytes` is the stored record (records from 140).
struct MV2LevelHeader {
    uint32_t id;
    uint32_t size;
    uint32_t numRecords;
    uint32_t flags; // bit 0 sky, bit 1 the effects' level flag
    uint32_t defaultStart;
    float darknessDepth;
    float waterHeight;
    float skyHeight;
    int32_t farClip;
    float minimumLight;
    uint32_t background;
    uint32_t ambient;
    uint32_t light;
    char levelName[kMV2LevelNameSize + 1];
    char packName[kMV2LevelPackNameSize + 1];
    float causticStrength;
    const uint8_t* bytes;
};

// A level record: `bytes` is the stored record, `size` bytes (items from 16).
struct MV2LevelRecord {
    uint32_t id;
    uint32_t size;
    uint32_t flags;
    uint32_t numItems;
    const uint8_t* bytes;
};

// A record item read field by field; the kind data stays in the stored bytes.
struct MV2LevelRecordItem {
    uint32_t id;
    uint32_t size;
    uint32_t typeWord; // bits 0-23 type, 24-28 kind, 29-31 flags
    uint32_t objectWord;
    TvV3d position;
    TvV3d at;
    TvV3d right;
    TvV3d up;
    const uint8_t* bytes; // the stored item, `size` bytes
};

inline int32_t MV2ItemType(const MV2LevelRecordItem* item) {
    return int32_t(item->typeWord & 0xFFFFFF);
}
inline uint32_t MV2ItemKind(const MV2LevelRecordItem* item) {
    return (item->typeWord >> 24) & 0x1F;
}

// A line of a texture list: the names cut at their first blank; the loaded texture beside.
struct MV2TextureListEntry {
    char name[10];
    char mask[10];
};

struct MV2TextureList {
    MV2TextureListEntry entries[kMV2TextureListEntries];
    TvTexture* textures[kMV2TextureListEntries];
    int32_t count;
};

// What the level module keeps between loads.
struct MV2LevelState {
    uint32_t currentLevelId; // kMV2NoLevel when none; only its top byte is compared
    uint32_t requestedLevelId;
    int32_t changePending;
    int32_t haveHeader;
    MV2LevelHeader header;
    TpWorld* landscape;
    int32_t levelHasPVS;
    TvV3d startPosition;
    int32_t mineralLandscape; // 0 on level 4: weapon hits there sound metal
    int32_t skyFlag;
    int32_t secondFlag;
    float minimumLight;
    float background[3];
    float ambient[3];
    float light[3];
    float darknessDepth;
    float waterHeight;
    float waterTargetHeight;
    float skyHeight;
    MV2TextureList lat;
    MV2TextureList cat;
    // Words the level's mission scripts set for the level: a mission flag and a world setting.
    int32_t missionFlag;
    int32_t worldSetting;
};
extern MV2LevelState gMV2Level;
void MV2SetLevelMissionFlag(int32_t value);
void MV2SetLevelWorldSetting(int32_t value);

// The calls through which records become objects and lists become textures (the object and
// texture modules by default); tests and the fuzz target put their own here.
struct MV2LevelCalls {
    MV2Object* (*createObject)(int32_t type, const float* position,
                               const MV2CreationRecord* record);
    intptr_t (*sendMessage)(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
    TpClump* (*clumpLoad)(const char* path);
    TvTexture* (*textureRead)(const char* name, const char* mask);
    MV2Object* (*playerObject)();
};
extern MV2LevelCalls gMV2LevelCalls;

// Objects are created into, and found in, the world that is current: outside a camera update
// this makes the loaded landscape current for its lifetime.
class MV2CurrentLevelWorld {
public:
    MV2CurrentLevelWorld();
    ~MV2CurrentLevelWorld();
    MV2CurrentLevelWorld(const MV2CurrentLevelWorld&) = delete;
    MV2CurrentLevelWorld& operator=(const MV2CurrentLevelWorld&) = delete;

private:
    void* saved;
};

// Parses a stored header of `size` bytes and makes it current; 0 when it is too short.
int32_t MV2SetLevelHeader(const uint8_t* bytes, uint32_t size);
// Finds the header of the level in chunk 5 and makes it current; 0 when there is none.
int32_t MV2SelectLevelHeader(uint32_t levelId);
void MV2ClearLevelHeader();

// Record walk over the current header: records must be at least 16 bytes, items at least 64,
// both within their enclosing size; a size of 0 ends the walk.
int32_t MV2GetLevelRecordAt(const uint8_t* at, size_t left, MV2LevelRecord* out);
int32_t MV2GetLevelItemAt(const uint8_t* at, size_t left, MV2LevelRecordItem* out);
// The first record of the header, and the record after `record`; 0 at the end.
int32_t MV2FirstLevelRecord(MV2LevelRecord* out);
int32_t MV2NextLevelRecord(const MV2LevelRecord* record, MV2LevelRecord* out);
int32_t MV2FirstRecordItem(const MV2LevelRecord* record, MV2LevelRecordItem* out);
int32_t MV2NextRecordItem(const MV2LevelRecord* record, const MV2LevelRecordItem* item,
                          MV2LevelRecordItem* out);

int32_t MV2FindLevelRecord(uint32_t recordId, MV2LevelRecord* out);
int32_t MV2SpawnLevelRecord(uint32_t recordId, int32_t missionRow);
int32_t MV2RespawnLevelRecord(uint32_t recordId, int32_t missionRow);
MV2Object* MV2SpawnLevelRecordItem(uint32_t recordId, int32_t missionRow, uint32_t itemId);
void MV2DestroyLevelRecordObjects(uint32_t recordId);
MV2Object* MV2SpawnLevelItem(const MV2LevelRecordItem* item, int32_t missionRow);

// Texture lists: parses the lines of a list (at most 409), loading each texture.
void MV2ParseTextureList(const uint8_t* data, size_t length, MV2TextureList* list);
// Destroys the loaded textures and empties the list.
void MV2FreeTextureList(MV2TextureList* list);
// Reads ".\DATA\<level name><extension>" into the list; a missing file leaves it empty.
void MV2ReadTextureList(const char* levelName, const char* extension, MV2TextureList* list);

TpWorld* MV2LoadLandscape(const char* levelName);
int32_t MV2InitialiseLandscape();
void MV2DestroyLandscape();

int32_t MV2LoadLevel(uint32_t levelId, int32_t fullLoad);
uint32_t MV2GetCurrentLevelId();
// Values of the loaded level that the world modules read: its name ("" when none), the
// minimum light level (0.2 without a level), the sky height, the sky flag (header flags bit
// 0), the caustic strength and the start position.
const char* MV2GetLevelName();
float MV2GetMinimumLightLevel();
float MV2GetSkyHeight();
int32_t MV2GetLevelSkyFlag();
float MV2GetCausticStrength();
const TvV3d* MV2GetStartPosition();
// The depth below which scenes darken (the header value).
float MV2GetDarknessDepth();
// Asks for a level change at the next `MV2CheckLevelChange`.
void MV2RequestLevelChange(uint32_t levelId);
void MV2CheckLevelChange();
void MV2MovePlayerToStartPoint(uint32_t startPointId);
// Puts the handlers of the level's own object types (current, beacon, hidden anchor, water
// surfaces, sinking debris, waterfalls) into the type table; start-up calls it before the
// types are filled.
void MV2RegisterLevelObjectHandlers();
