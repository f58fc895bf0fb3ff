#include "game/objects/levels.h"

#include <algorithm>
#include <cstdio>
#include <cstring>

#include "engine/core/camera.h"
#include "engine/core/engine.h"
#include "engine/core/file_interface.h"
#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/core/resources.h"
#include "engine/core/stream.h"
#include "engine/core/texture.h"
#include "engine/world/clump.h"
#include "engine/world/light.h"
#include "engine/world/material.h"
#include "engine/world/pvs.h"
#include "engine/world/world.h"
#include "engine/world/world_stream.h"
#include "game/creatures/creatures.h"
#include "game/frontend/missionmap.h"
#include "game/objects/clumpdata.h"
#include "game/effects/effects.h"
#include "game/frontend/menus.h"
#include "game/missions/missions.h"
#include "game/missions/spawner.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/levelswitch.h"
#include "game/objects/lighting.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/objects/sky.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/objects/waterfalls.h"
#include "game/player/player.h"
#include "shell/bytes.h"
#include "shell/cdaudio.h"
#include "shell/errors.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/pack.h"
#include "shell/render.h"
#include "shell/resfile.h"
#include "shell/sounds.h"

MV2LevelState gMV2Level = [] {
    MV2LevelState s{};
    s.currentLevelId = kMV2NoLevel;
    s.mineralLandscape = 1;
    return s;
}();

// The current world; the level load sets it to the landscape.
TpWorld* MV2World = nullptr;

MV2CurrentLevelWorld::MV2CurrentLevelWorld() : saved(TV_ENGINE ? TV_ENGINE->worldLibrary : nullptr) {
    if (TV_ENGINE && !saved && gMV2Level.landscape) TV_ENGINE->worldLibrary = gMV2Level.landscape;
}

MV2CurrentLevelWorld::~MV2CurrentLevelWorld() {
    if (TV_ENGINE) TV_ENGINE->worldLibrary = saved;
}

MV2LevelCalls gMV2LevelCalls = {MV2CreateObject, MV2ObjectSendMessage, MV2ClumpLoad,
                                TvTextureRead, MV2GetPlayerObject};

namespace {

constexpr uint32_t kLevelMask = 0xFF000000u;
constexpr uint32_t kLandscapeChunk = TV_ID_WORLD;
constexpr int32_t kScriptEventLevelChangeStart = 14;
constexpr int32_t kScriptEventLevelChangeEnd = 15;
constexpr int32_t kLoadingSequence = 5;

float F32(const uint8_t* p) {
    uint32_t v = MV2ReadU32(p);
    float f;
    std::memcpy(&f, &v, sizeof f);
    return f;
}

TvV3d V3(const uint8_t* p) {
    return {F32(p), F32(p + 4), F32(p + 8)};
}

// Copies a stored name of at most `width` bytes, stopping at its terminator.
void CopyName(char* out, const uint8_t* in, size_t width) {
    size_t n = 0;
    while (n < width && in[n]) {
        out[n] = char(in[n]);
        ++n;
    }
    out[n] = 0;
}

bool SameLevel(uint32_t a, uint32_t b) {
    return (a & kLevelMask) == (b & kLevelMask);
}

// Kind data bytes the spawn step reads, beyond the 64-byte item head.
size_t KindDataNeeded(uint32_t kind) {
    switch (kind) {
    case 1: return 4;
    case 2: return 16;
    case 3: return 20;
    case 4: return 16;
    case 6: return 1; // a name of at least its terminator
    default: return 0;
    }
}

// Private-data word `index` of an object, or null when the type's data does not reach it.
uint8_t* PrivateWord(MV2Object* object, int32_t index) {
    if (!object->privateData || !object->type) return nullptr;
    if (size_t(index + 1) * 4 > object->type->privateDataSize) return nullptr;
    return static_cast<uint8_t*>(object->privateData) + size_t(index) * 4;
}

void SetWord(MV2Object* object, int32_t index, uint32_t value) {
    if (uint8_t* p = PrivateWord(object, index)) std::memcpy(p, &value, 4);
}

void SetFloat(MV2Object* object, int32_t index, float value) {
    if (uint8_t* p = PrivateWord(object, index)) std::memcpy(p, &value, 4);
}

uint32_t GetWord(MV2Object* object, int32_t index) {
    uint32_t v = 0;
    if (const uint8_t* p = PrivateWord(object, index)) std::memcpy(&v, p, 4);
    return v;
}

intptr_t Send(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    return gMV2LevelCalls.sendMessage(object, message, p1, p2);
}

TvV3d Origin() {
    if (!gMV2Level.landscape) return {0, 0, 0};
    return *TpWorldGetOffset(gMV2Level.landscape);
}

// The kind-specific set-up of a spawned object.
void SetUpKind(MV2Object* object, const MV2LevelRecordItem* item) {
    const uint8_t* k = item->bytes + kMV2LevelItemHeadSize;
    switch (MV2ItemKind(item)) {
    case 1:
        Send(object, 12, intptr_t(MV2ReadU32(k)), 0);
        Send(object, 79, 0, reinterpret_cast<intptr_t>(k + 4));
        break;
    case 2: {
        if (!object->privateData) break;
        const uint32_t c = MV2ReadU32(k + 12);
        for (int32_t i = 0; i < 3; i++) {
            float v = float((c >> (8 * i)) & 0xFF) / 255.0f;
            if (c & (1u << (26 + i))) v = -v;
            SetFloat(object, 1 + i, v);
        }
        SetWord(object, 4, MV2ReadU32(k + 8));
        SetWord(object, 5, MV2ReadU32(k + 4));
        uint32_t w = GetWord(object, 14) & ~0xFFCu;
        w |= (MV2ReadU32(k) & 0xFF) << 4;
        w |= ((c >> 24) & 1) << 2;
        w |= ((c >> 25) & 1) << 3;
        SetWord(object, 14, w);
        Send(object, 11, 1, 0);
        break;
    }
    case 3: {
        if (!object->privateData) break;
        const uint32_t a = MV2ReadU32(k + 12), b = MV2ReadU32(k + 16);
        SetWord(object, 1, MV2ReadU32(k));
        SetFloat(object, 3, F32(k + 4));
        SetFloat(object, 7, F32(k + 8));
        for (int32_t i = 0; i < 3; i++)
            SetFloat(object, 4 + i, float((a >> (8 * i)) & 0xFF) / 255.0f);
        SetFloat(object, 8, float(a >> 24) / 255.0f);
        SetFloat(object, 9, float(b & 0xFF) / 255.0f);
        SetFloat(object, 10, float((b >> 8) & 0xFF) / 255.0f);
        SetWord(object, 11, (b >> 17) & 1);
        SetWord(object, 12, (b >> 16) & 1);
        Send(object, 24, 0, 0);
        break;
    }
    case 4:
        if (!object->privateData) break;
        // A spawner takes its type, delay, count and parameter through its named fields.
        if (!MV2SetSpawnerLevelData(object, MV2ReadU32(k), MV2ReadU32(k + 4),
                                    int32_t(MV2ReadU32(k + 8)), MV2ReadU32(k + 12))) {
            SetWord(object, 1, MV2ReadU32(k));
            SetWord(object, 62, MV2ReadU32(k + 4));
            SetWord(object, 63, MV2ReadU32(k + 8));
            SetWord(object, 64, MV2ReadU32(k + 12));
        }
        Send(object, 24, 0, 0);
        break;
    case 8: Send(object, 79, 0, reinterpret_cast<intptr_t>(k)); break;
    default: break;
    }
}

// Reads a whole texture list file through the engine's file functions; 0 bytes when missing.
size_t ReadListFile(const char* path, uint8_t* buffer, size_t capacity) {
    TvFileInterface* files = TvEngineGetFileInterface();
    if (!files || !files->open) return 0;
    void* f = files->open(path, "rb");
    if (!f) return 0;
    long length = files->length ? files->length(f) : 0;
    size_t want = length > 0 ? size_t(length) : 0;
    if (want > capacity) want = capacity;
    size_t got = want ? files->read(buffer, 1, want, f) : 0;
    files->close(f);
    return got;
}

// Cuts a list column at its first blank (or line end) within `width` bytes.
void ListColumn(char* out, const uint8_t* in, size_t width) {
    size_t n = 0;
    while (n < width && in[n] != ' ' && in[n] != 0 && in[n] != '\r' && in[n] != '\n') {
        out[n] = char(in[n]);
        ++n;
    }
    out[n] = 0;
}

void AdjustTextureFilter(TpWorld* world) {
    TpWorldForAllMaterials(
        world,
        [](TpMaterial* m, void*) -> TpMaterial* {
            if (m->texture) TvTextureSetFilterMode(m->texture, 4);
            return m;
        },
        nullptr);
}

TpMaterial* WhiteMaterial(TpMaterial* m, void*) {
    const TpRGBA white{255, 255, 255, 255};
    TpMaterialSetColor(m, &white);
    return m;
}

TpLight* LightFlagsOne(TpLight* light, void*) {
    TpLightSetFlags(light, 1);
    return light;
}

// The loader's progress steps: every path of a load makes kMV2LevelLoadSteps of them.
struct Progress {
    int32_t made = 0;
    void Step() {
        MV2RenderFrame(gMV2Render.progress > 0.0f ? 1 : 2);
        ++made;
    }
    void Finish() {
        while (made < kMV2LevelLoadSteps)
            Step();
    }
};

void RemoveWorldParts(TpWorld* world) {
    if (!world) return;
    if (gMV2AmbientLight && TpLightGetWorld(gMV2AmbientLight) == world)
        TpWorldRemoveLight(world, gMV2AmbientLight);
    if (gMV2DirectionalLight && TpLightGetWorld(gMV2DirectionalLight) == world)
        TpWorldRemoveLight(world, gMV2DirectionalLight);
    if (gMV2SubCamera && TpCameraGetWorld(gMV2SubCamera) == world)
        TpWorldRemoveCamera(world, gMV2SubCamera);
    if (gMV2MainCamera && TpCameraGetWorld(gMV2MainCamera) == world)
        TpWorldRemoveCamera(world, gMV2MainCamera);
}

void DropWorld() {
    RemoveWorldParts(gMV2Level.landscape);
    TvResourcesFreeAllEntries();
    if (gMV2Level.landscape) TpWorldDestroy(gMV2Level.landscape);
    gMV2Level.landscape = nullptr;
    MV2World = nullptr;
    gMV2Level.currentLevelId = kMV2NoLevel;
    gMV2Level.mineralLandscape = 1;
}

void SpawnRecordsWithFlag(uint32_t flag, bool respawn) {
    MV2LevelRecord r;
    for (int32_t ok = MV2FirstLevelRecord(&r); ok; ok = MV2NextLevelRecord(&r, &r)) {
        if (!(r.flags & flag)) continue;
        if (respawn)
            MV2RespawnLevelRecord(r.id, -1);
        else
            MV2SpawnLevelRecord(r.id, -1);
    }
}

void AddCamera(TvCamera* camera, TpWorld* world, const TvV3d* origin) {
    if (!camera) return;
    if (!TpCameraGetWorld(camera)) TpWorldAddCamera(world, camera);
    if (camera->object.frame) TvFrameTranslate(camera->object.frame, origin, kTvCombinePostConcat);
}

void AddLight(TpLight* light, TpWorld* world) {
    if (light && !TpLightGetWorld(light)) TpWorldAddLight(world, light);
}

void UnpackColour(uint32_t packed, float* out) {
    for (int32_t i = 0; i < 3; i++)
        out[i] = float((packed >> (8 * i)) & 0xFF) / 255.0f;
}

// Step 14 of the load, also after a same-level load.
void CommonEnd(int32_t fullLoad, Progress& progress, int8_t savedSequence) {
    const TvV3d origin = Origin();
    if (gMV2Level.haveHeader) {
        gMV2Level.waterHeight = origin.y + gMV2Level.header.waterHeight;
        gMV2Level.waterTargetHeight = gMV2Level.waterHeight;
        MV2SetWaterHeight(gMV2Level.waterHeight);
    }
    if (fullLoad) {
        SpawnRecordsWithFlag(kMV2RecordFullLoad, true);
        MV2ResetWater();
        {
            MV2CurrentLevelWorld current;
            MV2SetUpWaterRegions();
        }
        MV2MapInitialiseTransform();
        for (int32_t s = 0; s < kMV2LevelSwitches; s++)
            MV2RunLevelSwitchAction(s);
    }
    if (gMV2Level.landscape) AdjustTextureFilter(gMV2Level.landscape);
    progress.Finish();
    gMV2GameStateCompanion.requestedSequence = savedSequence;
    MV2ShowTitleScreen();
    gMV2GameState.sequence = savedSequence;
    gMV2Render.progress = 0.0f;
}

MV2Object* CreateFromItem(const MV2LevelRecordItem* item, int32_t missionRow, TpClump* model) {
    TvMatrix m{};
    m.right = item->right;
    m.up = item->up;
    m.at = item->at;
    const TvV3d o = Origin();
    m.pos = {item->position.x + o.x, item->position.y + o.y, item->position.z + o.z};
    m.flags = 3;
    const float position[3] = {m.pos.x, m.pos.y, m.pos.z};
    MV2CreationRecord record{};
    record.matrix = &m;
    record.clump = model;
    const uint32_t kind = MV2ItemKind(item);
    if (kind == 1 || kind == 4 || kind == 8) record.item = item;
    MV2Object* object = gMV2LevelCalls.createObject(MV2ItemType(item), position, &record);
    if (object) {
        Send(object, 36, intptr_t(int32_t(item->id)), 0);
        SetUpKind(object, item);
        if (item->typeWord & kMV2ItemCopyWord) object->typeWord68 = item->objectWord;
        object->missionRow = missionRow;
        if (item->typeWord & kMV2ItemMissionOwned) object->flags |= kMV2ObjectMissionOwned;
        if (item->typeWord & kMV2ItemActivate) Send(object, 0, 1, 0);
    }
    return object;
}

} // namespace

int32_t MV2SetLevelHeader(const uint8_t* b, uint32_t size) {
    gMV2Level.haveHeader = 0;
    if (!b || size < kMV2LevelHeaderSize) return 0;
    MV2LevelHeader& h = gMV2Level.header;
    h.id = MV2ReadU32(b);
    // The stored size is bounded by what the file holds.
    h.size = MV2ReadU32(b + 4);
    if (h.size > size || h.size < kMV2LevelHeaderSize) h.size = size;
    h.numRecords = MV2ReadU32(b + 8);
    h.flags = MV2ReadU32(b + 12);
    h.defaultStart = MV2ReadU32(b + 16);
    h.darknessDepth = F32(b + 20);
    h.waterHeight = F32(b + 24);
    h.skyHeight = F32(b + 28);
    h.farClip = int32_t(MV2ReadU32(b + 32));
    h.minimumLight = F32(b + 36);
    h.background = MV2ReadU32(b + 40);
    h.ambient = MV2ReadU32(b + 44);
    h.light = MV2ReadU32(b + 48);
    CopyName(h.levelName, b + 52, kMV2LevelNameSize);
    CopyName(h.packName, b + 64, kMV2LevelPackNameSize);
    h.causticStrength = F32(b + 136);
    h.bytes = b;
    gMV2Level.haveHeader = 1;
    return 1;
}

int32_t MV2SelectLevelHeader(uint32_t levelId) {
    uint32_t size = 0;
    const uint8_t* record = MV2MenuResourceFindRecord(levelId | kMV2WholeLevel, &size);
    return MV2SetLevelHeader(record, record ? size : 0);
}

void MV2ClearLevelHeader() {
    gMV2Level.haveHeader = 0;
}

void MV2SetLevelMissionFlag(int32_t value) {
    gMV2Level.missionFlag = value;
}

void MV2SetLevelWorldSetting(int32_t value) {
    gMV2Level.worldSetting = value;
}

int32_t MV2GetLevelRecordAt(const uint8_t* at, size_t left, MV2LevelRecord* out) {
    if (left < kMV2LevelRecordHeadSize) return 0;
    uint32_t size = MV2ReadU32(at + 4);
    if (size < kMV2LevelRecordHeadSize || size > left) return 0;
    *out = {MV2ReadU32(at), size, MV2ReadU32(at + 8), MV2ReadU32(at + 12), at};
    return 1;
}

int32_t MV2GetLevelItemAt(const uint8_t* at, size_t left, MV2LevelRecordItem* out) {
    if (left < kMV2LevelItemHeadSize) return 0;
    uint32_t size = MV2ReadU32(at + 4);
    if (size < kMV2LevelItemHeadSize || size > left) return 0;
    out->id = MV2ReadU32(at);
    out->size = size;
    out->typeWord = MV2ReadU32(at + 8);
    out->objectWord = MV2ReadU32(at + 12);
    out->position = V3(at + 16);
    out->at = V3(at + 28);
    out->right = V3(at + 40);
    out->up = V3(at + 52);
    out->bytes = at;
    return 1;
}

int32_t MV2FirstLevelRecord(MV2LevelRecord* out) {
    if (!gMV2Level.haveHeader) return 0;
    const MV2LevelHeader& h = gMV2Level.header;
    return MV2GetLevelRecordAt(h.bytes + kMV2LevelHeaderSize, h.size - kMV2LevelHeaderSize, out);
}

int32_t MV2NextLevelRecord(const MV2LevelRecord* record, MV2LevelRecord* out) {
    const MV2LevelHeader& h = gMV2Level.header;
    const uint8_t* next = record->bytes + record->size;
    size_t used = size_t(next - h.bytes);
    if (used >= h.size) return 0;
    return MV2GetLevelRecordAt(next, h.size - used, out);
}

int32_t MV2FirstRecordItem(const MV2LevelRecord* record, MV2LevelRecordItem* out) {
    if (record->numItems == 0) return 0;
    return MV2GetLevelItemAt(record->bytes + kMV2LevelRecordHeadSize,
                             record->size - kMV2LevelRecordHeadSize, out);
}

int32_t MV2NextRecordItem(const MV2LevelRecord* record, const MV2LevelRecordItem* item,
                          MV2LevelRecordItem* out) {
    const uint8_t* next = item->bytes + item->size;
    size_t used = size_t(next - record->bytes);
    if (used >= record->size) return 0;
    return MV2GetLevelItemAt(next, record->size - used, out);
}

int32_t MV2FindLevelRecord(uint32_t recordId, MV2LevelRecord* out) {
    MV2LevelRecord r;
    for (int32_t ok = MV2FirstLevelRecord(&r); ok; ok = MV2NextLevelRecord(&r, &r)) {
        if (r.id == recordId) {
            *out = r;
            return 1;
        }
    }
    return 0;
}

// Items are walked for the record's item count at most, within its size.
#define MV2_FOR_RECORD_ITEMS(record, item)                                                    \
    uint32_t item##Index = 0;                                                                 \
    for (int32_t item##Ok = MV2FirstRecordItem(&(record), &(item));                          \
         item##Ok && item##Index < (record).numItems;                                         \
         item##Ok = MV2NextRecordItem(&(record), &(item), &(item)), ++item##Index)

MV2Object* MV2SpawnLevelItem(const MV2LevelRecordItem* item, int32_t missionRow) {
    const uint32_t kind = MV2ItemKind(item);
    // An item too short for the kind data its spawn reads is refused.
    if (item->size < kMV2LevelItemHeadSize + KindDataNeeded(kind)) return nullptr;
    MV2CurrentLevelWorld world;
    TpClump* model = nullptr;
    if (kind == 6) {
        char name[64];
        CopyName(name, item->bytes + kMV2LevelItemHeadSize,
                 std::min<size_t>(sizeof name - 1, item->size - kMV2LevelItemHeadSize));
        char path[96];
        std::snprintf(path, sizeof path, ".\\clump\\%s.dff", name);
        model = gMV2LevelCalls.clumpLoad(path);
    }
    MV2Object* object = CreateFromItem(item, missionRow, model);
    if (model) {
        MV2DestroyClump(model);
        TpClumpDestroy(model);
    }
    return object;
}

int32_t MV2SpawnLevelRecord(uint32_t recordId, int32_t missionRow) {
    MV2LevelRecord r;
    if (!MV2FindLevelRecord(recordId, &r)) return 0;
    MV2LevelRecordItem item;
    MV2_FOR_RECORD_ITEMS(r, item) {
        if (!MV2SpawnLevelItem(&item, missionRow)) return 0;
    }
    return 1;
}

int32_t MV2RespawnLevelRecord(uint32_t recordId, int32_t missionRow) {
    MV2LevelRecord r;
    if (!MV2FindLevelRecord(recordId, &r)) return 0;
    MV2CurrentLevelWorld world;
    MV2LevelRecordItem item;
    MV2_FOR_RECORD_ITEMS(r, item) {
        if (MV2Object* old = MV2FindObjectByScriptID(int32_t(item.id))) Send(old, 4, 0, 0);
        MV2SpawnLevelItem(&item, missionRow);
    }
    return 1;
}

MV2Object* MV2SpawnLevelRecordItem(uint32_t recordId, int32_t missionRow, uint32_t itemId) {
    MV2LevelRecord r;
    if (!MV2FindLevelRecord(recordId, &r)) return nullptr;
    MV2LevelRecordItem item;
    MV2_FOR_RECORD_ITEMS(r, item) {
        if (item.id == itemId) return MV2SpawnLevelItem(&item, missionRow);
    }
    return nullptr;
}

void MV2DestroyLevelRecordObjects(uint32_t recordId) {
    MV2CurrentLevelWorld current;
    TpWorld* world = TpWorldGetCurrent();
    if (!world) return;
    // A clump whose object survives message 4 (a script kept it) is stepped over, so the
    // walk ends.
    TpClump* clump = MV2GetFirstWorldClump(world);
    while (clump) {
        MV2Object* object = clump->callBack == MV2UpdateClumpObject ? MV2GetClumpObject(clump)
                                                                    : nullptr;
        if (object && ((uint32_t(object->scriptId) ^ recordId) & 0xFFFF0000u) == 0) {
            const MV2ObjectHandle handle = object->handle;
            Send(object, 4, 0, 0);
            if (!MV2ObjectHandleAlive(handle)) {
                clump = MV2GetFirstWorldClump(world);
                continue;
            }
        }
        clump = MV2GetNextWorldClump(world, clump);
    }
}

void MV2ParseTextureList(const uint8_t* data, size_t length, MV2TextureList* list) {
    list->count = 0;
    size_t lines = length / kMV2TextureListLine;
    if (lines > size_t(kMV2TextureListEntries)) lines = kMV2TextureListEntries;
    for (size_t i = 0; i < lines; i++) {
        const uint8_t* line = data + i * kMV2TextureListLine;
        MV2TextureListEntry& e = list->entries[i];
        ListColumn(e.name, line, 9);
        ListColumn(e.mask, line + 9, 9);
        list->textures[i] = gMV2LevelCalls.textureRead(e.name, e.mask);
        list->count = int32_t(i + 1);
    }
}

void MV2FreeTextureList(MV2TextureList* list) {
    for (int32_t i = 0; i < list->count; i++) {
        if (list->textures[i]) TvTextureDestroy(list->textures[i]);
        list->textures[i] = nullptr;
    }
    list->count = 0;
}

void MV2ReadTextureList(const char* levelName, const char* extension, MV2TextureList* list) {
    static uint8_t buffer[kMV2TextureListEntries * kMV2TextureListLine];
    char path[64];
    std::snprintf(path, sizeof path, ".\\DATA\\%s%s", levelName, extension);
    size_t got = ReadListFile(path, buffer, sizeof buffer);
    MV2ParseTextureList(buffer, got, list);
}

TpWorld* MV2LoadLandscape(const char* levelName) {
    char name[kMV2LevelNameSize + 1];
    std::snprintf(name, sizeof name, "%s", levelName);
    if (char* dot = std::strchr(name, '.')) *dot = 0;
    char file[32], path[48];
    std::snprintf(file, sizeof file, "%s.bsp", name);
    std::snprintf(path, sizeof path, ".\\%s%s", "BSP\\", file);
    TvStream* stream = TvStreamOpen(TV_STREAM_FILENAME, TV_STREAM_READ, path);
    if (!stream) {
        MV2ErrorBox("Cannot open landscape stream \n");
        return nullptr;
    }
    uint32_t length = 0, version = 0;
    if (!TvStreamFindChunk(stream, kLandscapeChunk, &length, &version)) {
        TvStreamClose(stream, nullptr);
        MV2ErrorBox("Landscape in wrong format\n");
        return nullptr;
    }
    TpWorld* world = TpWorldStreamRead(stream);
    TvStreamClose(stream, nullptr);
    if (!world) {
        MV2ErrorBox("Error when reading the landscape\n");
        return nullptr;
    }
    TpWorldSetSurfaceProperties(world, 1.0f, 1.0f, 1.0f);
    TpWorldForAllMaterials(world, WhiteMaterial, nullptr);
    if (TpPVSGetWorldData(world) && TpPVSWorldHasData(world)) {
        gMV2Level.levelHasPVS = 1;
        TpPVSHook(world);
    } else {
        gMV2Level.levelHasPVS = 0;
    }
    return world;
}

int32_t MV2InitialiseLandscape() {
    gMV2Level.currentLevelId = kMV2NoLevel;
    gMV2Level.mineralLandscape = 1;
    return 1;
}

void MV2DestroyLandscape() {
    DropWorld();
}

uint32_t MV2GetCurrentLevelId() {
    return gMV2Level.currentLevelId;
}

const char* MV2GetLevelName() {
    return gMV2Level.haveHeader ? gMV2Level.header.levelName : "";
}

float MV2GetMinimumLightLevel() {
    return gMV2Level.haveHeader ? gMV2Level.minimumLight : 0.2f;
}

float MV2GetSkyHeight() {
    return gMV2Level.skyHeight;
}

int32_t MV2GetLevelSkyFlag() {
    return gMV2Level.skyFlag;
}

float MV2GetCausticStrength() {
    return gMV2Level.haveHeader ? gMV2Level.header.causticStrength : 0.0f;
}

float MV2GetDarknessDepth() {
    return gMV2Level.darknessDepth;
}

const TvV3d* MV2GetStartPosition() {
    return &gMV2Level.startPosition;
}

void MV2MovePlayerToStartPoint(uint32_t startPointId) {
    uint32_t id = startPointId;
    if ((id & kMV2WholeLevel) == kMV2WholeLevel) {
        if (!gMV2Level.haveHeader) return;
        id = gMV2Level.header.defaultStart;
    }
    MV2CurrentLevelWorld world;
    MV2Object* start = MV2FindObjectByScriptID(int32_t(id));
    if (!start) start = MV2SpawnLevelRecordItem(id | 0xFFFF, -1, id);
    if (!start || !start->clump) return;
    TvMatrix* from = TvFrameGetMatrix(MV2GetRootFrame(start->clump));
    gMV2Level.startPosition = from->pos;
    MV2Object* sub = MV2GetPlayerSub();
    if (sub && sub->clump) {
        TvFrame* frame = MV2GetRootFrame(sub->clump);
        *TvFrameGetMatrix(frame) = *from;
        TvFrameUpdateObjects(frame);
        sub->previousPosition = gMV2Level.startPosition;
    }
}

int32_t MV2LoadLevel(uint32_t levelId, int32_t fullLoad) {
    Progress progress;
    // 1. The loading picture.
    const int8_t savedSequence = gMV2GameState.sequence;
    gMV2GameStateCompanion.requestedSequence = kLoadingSequence;
    MV2ShowTitleScreen();
    gMV2GameState.sequence = kLoadingSequence;
    for (int32_t i = 0; i < 4; i++)
        progress.Step();
    gMV2Level.changePending = 0;
    TvResourcesFreeAllEntries();
    gMV2Level.requestedLevelId = levelId;

    // 2. Same level: the start point alone.
    if (gMV2Level.landscape && SameLevel(levelId, gMV2Level.currentLevelId)) {
        MV2MovePlayerToStartPoint(levelId);
        CommonEnd(fullLoad, progress, savedSequence);
        return 1;
    }
    auto fail = [&] {
        progress.Finish();
        gMV2GameStateCompanion.requestedSequence = savedSequence;
        MV2ShowTitleScreen();
        gMV2GameState.sequence = savedSequence;
        gMV2Render.progress = 0.0f;
        return 0;
    };
    // 3. The header.
    if (!MV2SelectLevelHeader(levelId)) return fail();
    progress.Step();
    const MV2LevelHeader& h = gMV2Level.header;

    // 4. The old level goes.
    MV2FreeTextureList(&gMV2Level.lat);
    MV2MapFreeTiles();
    DropWorld();
    progress.Step();

    // 5. The level pack.
    MV2MountLevelPack(h.packName);
    progress.Step();

    // 6. The ".LAT" list.
    MV2ReadTextureList(h.levelName, ".LAT", &gMV2Level.lat);
    progress.Step();

    // 7. The landscape, fog and sky; the cameras join the world.
    TpWorld* world = MV2LoadLandscape(h.levelName);
    if (!world) {
        gMV2Level.haveHeader = 0;
        return fail();
    }
    gMV2Level.landscape = world;
    MV2World = world;
    const TvV3d origin = *TpWorldGetOffset(world);
    MV2LoadFog(h.packName);
    MV2FreeSky();
    MV2LoadSky();
    AddCamera(gMV2MainCamera, world, &origin);
    AddCamera(gMV2SubCamera, world, &origin);
    progress.Step();

    // 8. Records of every load, pre-lighting.
    {
        MV2CurrentLevelWorld current;
        SpawnRecordsWithFlag(kMV2RecordEveryLoad, false);
    }
    if (gMV2MainCamera && TvCameraBeginUpdate(gMV2MainCamera)) {
        if (gMV2Level.levelHasPVS && gMV2MainCamera->object.frame)
            TpPVSSetViewPosition(world, &TvFrameGetLTM(gMV2MainCamera->object.frame)->pos);
        MV2PrelightWorldSectors(world, 0, 1);
        TvCameraEndUpdate(gMV2MainCamera);
    }
    {
        MV2CurrentLevelWorld current;
        MV2DestroyAllObjects();
        if (gMV2GameType == 3 || gMV2GameType == 4) SpawnRecordsWithFlag(kMV2RecordEveryLoad, false);
    }
    TpWorldForAllLights(world, LightFlagsOne, nullptr);
    progress.Step();

    // 9. Lights, heights, path nodes.
    AddLight(gMV2AmbientLight, world);
    AddLight(gMV2DirectionalLight, world);
    gMV2Level.darknessDepth = origin.y + h.darknessDepth;
    gMV2Level.skyHeight = origin.y + h.skyHeight;
    MV2CreatePathNodeGraph();
    progress.Step();

    // 10. The start point.
    MV2MovePlayerToStartPoint(levelId);
    progress.Step();

    // 11. The ".CAT" list.
    MV2FreeTextureList(&gMV2Level.cat);
    MV2ReadTextureList(h.levelName, ".CAT", &gMV2Level.cat);
    progress.Step();

    // 12. The models the level's objects need.
    MV2LoadLevelObjectModels(levelId);
    progress.Step();

    // 13. Colours, flags and the current level.
    UnpackColour(h.background, gMV2Level.background);
    UnpackColour(h.ambient, gMV2Level.ambient);
    UnpackColour(h.light, gMV2Level.light);
    gMV2Level.skyFlag = int32_t(h.flags & 1);
    gMV2Level.secondFlag = int32_t((h.flags >> 1) & 1);
    gMV2Level.currentLevelId = levelId;
    gMV2Level.minimumLight = h.minimumLight;
    gMV2Level.mineralLandscape = (levelId >> 24) == 4 ? 0 : 1;
    {
        // The map fields of the header: references, tile sets and the visited-cell chart.
        MV2LevelMapFields map;
        MV2MapReadLevelFields(h.bytes, h.size, uint8_t(h.flags), int32_t(levelId >> 24), &map);
        MV2MapSetLevelFields(&map);
    }
    MV2MapLoadTiles();
    MV2SetFarClip(float(h.farClip));
    if (MV2GetBegunMission()) MV2MissionDispatchBegin();
    progress.Step();

    // 14.
    CommonEnd(fullLoad, progress, savedSequence);
    return 1;
}

void MV2RequestLevelChange(uint32_t levelId) {
    gMV2Level.requestedLevelId = levelId;
    gMV2Level.changePending = 1;
}

void MV2CheckLevelChange() {
    if (!gMV2Level.changePending) return;
    MV2Object* player = gMV2LevelCalls.playerObject();
    if (!player) return;
    const uint32_t id = gMV2Level.requestedLevelId;
    if (SameLevel(id, gMV2Level.currentLevelId)) {
        MV2MovePlayerToStartPoint(id);
        gMV2Level.changePending = 0;
        return;
    }
    MV2NotifyScripts(nullptr, kScriptEventLevelChangeStart, intptr_t(id));
    TvResourcesFreeAllEntries();
    MV2ResetSounds();
    MV2ResetMusic();
    MV2DestroyPathNodeGraph();
    if (player->clump && TpClumpGetWorld(player->clump))
        TpWorldRemoveClump(TpClumpGetWorld(player->clump), player->clump);
    MV2Object* mounted = nullptr;
    if (MV2SendToolCommand(player, 0, 34, 0, &mounted) && mounted) {
        MV2SendToolCommand(player, 0, 49, 0, nullptr);
        Send(mounted, 4, 0, 0);
    }
    MV2Object* vehicle = nullptr;
    MV2ObjectHandle vehicleHandle = 0;
    float vehicleWord = 0.0f;
    if (MV2SendToolCommand(player, 6, 13, 0, &vehicle) && vehicle) {
        vehicleHandle = vehicle->handle;
        if (vehicle->clump && TpClumpGetWorld(vehicle->clump))
            TpWorldRemoveClump(TpClumpGetWorld(vehicle->clump), vehicle->clump);
        vehicleWord = vehicle->energy;
    }
    MV2ShutdownMissionScripts();
    MV2RemoveWallSets();
    {
        MV2CurrentLevelWorld current;
        MV2DestroyAllObjects();
    }
    MV2LoadLevel(id, 1);
    if ((id | kMV2WholeLevel) == kMV2WholeLevel) MV2ReloadWallSets();
    if (player->clump && gMV2Level.landscape) TpWorldAddClump(gMV2Level.landscape, player->clump);
    if (player->body) *player->body = MV2Body{};
    MV2MovePlayerToStartPoint(id);
    Send(player, 66, 0, 0);
    if (vehicle && MV2ObjectHandleAlive(vehicleHandle)) {
        if (vehicle->clump && gMV2Level.landscape)
            TpWorldAddClump(gMV2Level.landscape, vehicle->clump);
        vehicle->energy = vehicleWord;
        Send(vehicle, 66, 0, 0);
    }
    MV2SetCameraMode(0);
    if (player->clump) MV2SetCameraMatrix(TvFrameGetMatrix(MV2GetRootFrame(player->clump)));
    MV2RecentrePlanktum();
    MV2ResetLightingZone();
    MV2CancelCameraBlend();
    switch (id | kMV2WholeLevel) {
    case 0x2FFFFFF: MV2MissionRestart(29); break;
    case 0x4FFFFFF: MV2MissionRestart(26); break;
    case 0x5FFFFFF: MV2MissionRestart(30); break;
    case 0x7FFFFFF: MV2MissionRestart(31); break;
    case 0x9FFFFFF: MV2MissionRestart(32); break;
    case 0xAFFFFFF: MV2MissionRestart(33); break;
    case 0xBFFFFFF: MV2MissionRestart(34); break;
    case kMV2WholeLevel:
        MV2InitialiseCityLogic();
        MV2MiningLinkSiteObjects();
        break;
    default: break;
    }
    MV2CreatePathNodeGraph();
    MV2ResetAmbientSpawns();
    MV2NotifyScripts(nullptr, kScriptEventLevelChangeEnd, intptr_t(id));
    gMV2Level.changePending = 0;
}

void MV2RegisterLevelObjectHandlers() {
    MV2SetObjectTypeHandler(150, MV2CurrentHandler);
    MV2SetObjectTypeHandler(374, MV2SignalBeaconHandler);
    MV2SetObjectTypeHandler(433, MV2HiddenAnchorHandler);
    MV2RegisterWaterHandlers();
    MV2RegisterWaterfallHandlers();
}
