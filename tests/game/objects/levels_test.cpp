#include <cmath>
#include <cstring>
#include <string>

#include "engine/core/resources.h"
#include "engine/world/light.h"
#include "engine/world/world_plugin.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/lighting.h"
#include "game/objects/modeltags.h"
#include "game/objects/utilities.h"
#include "game/frontend/missionmap.h"
#include "shell/resfile.h"
#include "tests/game/objects/object_fixture.h"
#include "tests/support/data_folder.h"
#include "tests/support/frame_list_writer.h"
#include "tests/support/level_writer.h"
#include "tests/support/pack_writer.h"
#include "shell/pack.h"
#include "tests/support/world_stream_writer.h"
#include "tools/sampledata/levels.h"
#include "tools/sampledata/objects.h"
#include "tools/sampledata/sampledata.h"

namespace {

bool AttachLevelPlugins() {
    return AttachObjectPlugins() && TpFrameTagPluginAttach() == 1 && TpCustonLightPluginAttach() == 1;
}

struct Seen {
    int32_t type;
    int32_t message;
    intptr_t p1;
    std::vector<uint8_t> p2Bytes; // the 8 bytes p2 points at for message 79
};
std::vector<Seen> g_seen;

intptr_t Recording(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    Seen s{int32_t(object->typeWord & 0xFFFF), message, p1, {}};
    if (message == 79 && p2) {
        const auto* b = reinterpret_cast<const uint8_t*>(p2);
        s.p2Bytes.assign(b, b + 8);
    }
    if (message != 2 && message != 35 && message != 17) g_seen.push_back(s);
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

std::vector<std::string> g_modelPaths;

TpClump* LoadModel(const char* path) {
    g_modelPaths.push_back(path);
    return MakeSphereClump(1.0f);
}

std::vector<std::pair<std::string, std::string>> g_textures;

TvTexture* RecordTexture(const char* name, const char* mask) {
    g_textures.emplace_back(name, mask);
    return nullptr;
}

uint32_t WordOf(const MV2Object* o, int32_t index) {
    uint32_t v;
    std::memcpy(&v, static_cast<const uint8_t*>(o->privateData) + 4 * index, 4);
    return v;
}

float FloatOf(const MV2Object* o, int32_t index) {
    float v;
    std::memcpy(&v, static_cast<const uint8_t*>(o->privateData) + 4 * index, 4);
    return v;
}

std::vector<uint8_t> Words(std::initializer_list<uint32_t> words) {
    std::vector<uint8_t> out;
    for (uint32_t w : words)
        PutWord(out, w);
    return out;
}

class LevelTest : public ObjectTestWith<AttachLevelPlugins> {
protected:
    void SetUp() override {
        ObjectTestWith::SetUp();
        saved_ = gMV2LevelCalls;
        gMV2LevelCalls.clumpLoad = LoadModel;
        gMV2LevelCalls.textureRead = RecordTexture;
        g_seen.clear();
        g_modelPaths.clear();
        g_textures.clear();
        gMV2Level.landscape = grid_.world;
        grid_.world->offset = {10.0f, 20.0f, 30.0f};
        gMV2Level.currentLevelId = 0x00FFFFFF;
        MV2ResetLevelSwitches();
        for (int32_t t : {5, 6, 7, 8, 9, 10, 11})
            RecordingType(t, 0);
    }
    void TearDown() override {
        gMV2LevelCalls = saved_;
        gMV2Level.landscape = nullptr;
        gMV2Level.currentLevelId = kMV2NoLevel;
        MV2ClearLevelHeader();
        ObjectTestWith::TearDown();
    }

    // A type with a model, the recording handler and `words` words of private data.
    MV2ObjectType* RecordingType(int32_t t, uint32_t words) {
        MV2ObjectType* type = ModelType(t);
        MV2SetObjectTypeHandler(t, Recording);
        if (words) {
            type->privateDataSize = words * 4;
            type->privateData = TvFreeListCreate(words * 4, 4);
        }
        return type;
    }

    void Use(const LevelDesc& level) {
        header_ = BuildLevelHeader(level);
        ASSERT_EQ(MV2SetLevelHeader(header_.data(), uint32_t(header_.size())), 1);
    }

    // Loads make their own landscape current; the grid world stands aside meanwhile.
    void BeginLoadTest() {
        gMV2Level.landscape = nullptr;
        gMV2Level.currentLevelId = kMV2NoLevel;
        TV_ENGINE->worldLibrary = nullptr;
    }
    void EndLoadTest() {
        {
            MV2CurrentLevelWorld current;
            MV2DestroyAllObjects();
        }
        MV2DestroyLandscape();
        MV2FreeTextureList(&gMV2Level.lat);
        MV2FreeTextureList(&gMV2Level.cat);
        MV2FreeMenuResourceFile();
        MV2UnmountAllPacks();
        TV_ENGINE->worldLibrary = grid_.world;
    }

    const Seen* Find(int32_t type, int32_t message) {
        for (const Seen& s : g_seen)
            if (s.type == type && s.message == message) return &s;
        return nullptr;
    }

    MV2LevelCalls saved_{};
    std::vector<uint8_t> header_;
};

} // namespace

TEST(LevelHeaderBytes, HandWrittenHeaderRecordAndItem) {
    std::vector<uint8_t> b(140, 0);
    auto put = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; i++)
            b[at + size_t(i)] = uint8_t(v >> (8 * i));
    };
    put(0, 0x03FFFFFF);
    put(8, 1);
    put(12, 3);
    put(16, 0x030007);
    put(24, 0x41200000); // 10.0
    put(32, 45);
    put(40, 0x00332211);
    std::memcpy(&b[52], "abcdefghijkl", 12); // no terminator within the field
    std::memcpy(&b[64], "pack", 5);
    put(136, 0x3F000000); // 0.5
    // A record of one item of type 5, kind 0, flags bit 31.
    const uint8_t record[16] = {0xFF, 0xFF, 0x03, 0x03, 80, 0, 0, 0, 2, 0, 0, 0, 1, 0, 0, 0};
    b.insert(b.end(), record, record + 16);
    std::vector<uint8_t> item(64, 0);
    item[0] = 0x07;
    item[2] = 0x03;
    item[3] = 0x03;
    item[4] = 64;
    item[8] = 5;
    item[11] = 0x80;
    item[19] = 0x3F; // x = 0.5 (0x3F000000)
    b.insert(b.end(), item.begin(), item.end());
    put(4, uint32_t(b.size()));

    ASSERT_EQ(MV2SetLevelHeader(b.data(), uint32_t(b.size())), 1);
    const MV2LevelHeader& h = gMV2Level.header;
    EXPECT_EQ(h.id, 0x03FFFFFFu);
    EXPECT_EQ(h.flags, 3u);
    EXPECT_EQ(h.defaultStart, 0x030007u);
    EXPECT_EQ(h.waterHeight, 10.0f);
    EXPECT_EQ(h.farClip, 45);
    EXPECT_EQ(h.background, 0x332211u);
    EXPECT_STREQ(h.levelName, "abcdefghijkl");
    EXPECT_STREQ(h.packName, "pack");
    EXPECT_EQ(h.causticStrength, 0.5f);

    MV2LevelRecord r;
    ASSERT_EQ(MV2FindLevelRecord(0x0303FFFF, &r), 1);
    EXPECT_EQ(r.flags, 2u);
    MV2LevelRecordItem it;
    ASSERT_EQ(MV2FirstRecordItem(&r, &it), 1);
    EXPECT_EQ(it.id, 0x03030007u);
    EXPECT_EQ(MV2ItemType(&it), 5);
    EXPECT_EQ(MV2ItemKind(&it), 0u);
    EXPECT_TRUE(it.typeWord & kMV2ItemActivate);
    EXPECT_EQ(it.position.x, 0.5f);
    EXPECT_EQ(MV2NextRecordItem(&r, &it, &it), 0);
    EXPECT_EQ(MV2SetLevelHeader(b.data(), 139), 0);
    MV2ClearLevelHeader();
}

TEST_F(LevelTest, SpawnsEachKindWithItsData) {
    RecordingType(6, 16);
    RecordingType(7, 14);
    RecordingType(8, 66);
    LevelItem k1{0x010001, 5, 1};
    k1.kindData = Words({77, 0x11111111, 0x22222222});
    k1.position[0] = 1.0f;
    LevelItem k2{0x010002, 6, 2};
    // word 64: low byte 0xAB; 68: 5; 72: 4; 76: bytes 255, 0, 51, bits 24, 26 and 28
    k2.kindData = Words({0xAB, 5, 4, 0x150000FFu | 0x00330000u});
    LevelItem k3{0x010003, 7, 3};
    k3.kindData = Words({9, 0x3F800000, 0x40000000, 0xFF000033u, 0x00030066u});
    LevelItem k4{0x010004, 8, 4};
    k4.kindData = Words({1, 2, 3, 4});
    LevelItem k6{0x010006, 9, 6};
    k6.kindData = {'r', 'o', 'c', 'k', 0};
    LevelItem k8{0x010008, 10, 8};
    k8.kindData = Words({0x44444444, 0x55555555});
    LevelDesc level{0x01FFFFFF};
    level.records = {{0x0101FFFF, 0, {k1, k2, k3, k4, k6, k8}}};
    Use(level);
    ASSERT_EQ(MV2SpawnLevelRecord(0x0101FFFF, 3), 1);

    // Kind 1: 12 with the word at 64, 79 with the address of 68.
    const Seen* m12 = Find(5, 12);
    ASSERT_NE(m12, nullptr);
    EXPECT_EQ(m12->p1, 77);
    const Seen* m79 = Find(5, 79);
    ASSERT_NE(m79, nullptr);
    EXPECT_EQ(m79->p2Bytes, Words({0x11111111, 0x22222222}));
    MV2Object* o1 = MV2FindObjectByScriptID(0x010001);
    ASSERT_NE(o1, nullptr);
    EXPECT_EQ(o1->matrix->pos.x, 11.0f); // the landscape origin added
    EXPECT_EQ(o1->matrix->pos.y, 20.0f);
    EXPECT_EQ(o1->missionRow, 3);

    MV2Object* o2 = MV2FindObjectByScriptID(0x010002);
    ASSERT_NE(o2, nullptr);
    EXPECT_EQ(FloatOf(o2, 1), -1.0f);
    EXPECT_EQ(FloatOf(o2, 2), 0.0f);
    EXPECT_FLOAT_EQ(FloatOf(o2, 3), -0.2f);
    EXPECT_EQ(WordOf(o2, 4), 4u);
    EXPECT_EQ(WordOf(o2, 5), 5u);
    EXPECT_EQ(WordOf(o2, 14) & 0xFFCu, 0xABu << 4 | 1u << 2);
    ASSERT_NE(Find(6, 11), nullptr);
    EXPECT_EQ(Find(6, 11)->p1, 1);

    MV2Object* o3 = MV2FindObjectByScriptID(0x010003);
    ASSERT_NE(o3, nullptr);
    EXPECT_EQ(WordOf(o3, 1), 9u);
    EXPECT_EQ(FloatOf(o3, 3), 1.0f);
    EXPECT_EQ(FloatOf(o3, 7), 2.0f);
    EXPECT_FLOAT_EQ(FloatOf(o3, 4), 0x33 / 255.0f);
    EXPECT_EQ(FloatOf(o3, 8), 1.0f);
    EXPECT_FLOAT_EQ(FloatOf(o3, 9), 0x66 / 255.0f);
    EXPECT_EQ(FloatOf(o3, 10), 0.0f);
    EXPECT_EQ(WordOf(o3, 11), 1u);
    EXPECT_EQ(WordOf(o3, 12), 1u);
    EXPECT_NE(Find(7, 24), nullptr);

    MV2Object* o4 = MV2FindObjectByScriptID(0x010004);
    ASSERT_NE(o4, nullptr);
    EXPECT_EQ(WordOf(o4, 1), 1u);
    EXPECT_EQ(WordOf(o4, 62), 2u);
    EXPECT_EQ(WordOf(o4, 64), 4u);

    ASSERT_EQ(g_modelPaths.size(), 1u);
    EXPECT_EQ(g_modelPaths[0], ".\\clump\\rock.dff");
    EXPECT_NE(MV2FindObjectByScriptID(0x010006), nullptr);
    const Seen* m79b = Find(10, 79);
    ASSERT_NE(m79b, nullptr);
    EXPECT_EQ(m79b->p2Bytes, Words({0x44444444, 0x55555555}));
}

TEST_F(LevelTest, ItemFlagBitsAndShortPrivateData) {
    RecordingType(8, 4); // words 0..3: kind 4's words 62-64 lie beyond it
    LevelItem plain{0x020001, 5};
    LevelItem flagged{0x020002, 5, 0, kMV2ItemMissionOwned | kMV2ItemCopyWord | kMV2ItemActivate,
                      0xCAFE};
    LevelItem k4{0x020003, 8, 4};
    k4.kindData = Words({1, 2, 3, 4});
    LevelDesc level{0x02FFFFFF};
    level.records = {{0x0202FFFF, 0, {plain, flagged, k4}}};
    Use(level);
    ASSERT_EQ(MV2SpawnLevelRecord(0x0202FFFF, -1), 1);
    MV2Object* p = MV2FindObjectByScriptID(0x020001);
    MV2Object* f = MV2FindObjectByScriptID(0x020002);
    ASSERT_TRUE(p && f);
    EXPECT_FALSE(p->flags & (kMV2ObjectMissionOwned | kMV2ObjectActive));
    EXPECT_NE(p->typeWord68, 0xCAFEu);
    EXPECT_TRUE(f->flags & kMV2ObjectMissionOwned);
    EXPECT_TRUE(f->flags & kMV2ObjectActive);
    EXPECT_EQ(f->typeWord68, 0xCAFEu);
    MV2Object* o4 = MV2FindObjectByScriptID(0x020003);
    ASSERT_NE(o4, nullptr);
    EXPECT_EQ(WordOf(o4, 1), 1u); // written; 62-64 skipped without touching memory
}

TEST_F(LevelTest, RecordWalkIsBoundedAndFailuresStop) {
    LevelItem ok{0x030001, 5};
    LevelItem shortKind{0x030002, 5, 3}; // kind 3 needs 20 bytes of kind data
    shortKind.kindData = Words({1});
    LevelItem after{0x030003, 5};
    LevelDesc level{0x03FFFFFF};
    level.records = {{0x0303FFFF, 0, {ok, shortKind, after}}, {0x0304FFFF}};
    Use(level);
    EXPECT_EQ(MV2SpawnLevelRecord(0x0303FFFF, -1), 0);
    EXPECT_NE(MV2FindObjectByScriptID(0x030001), nullptr);
    EXPECT_EQ(MV2FindObjectByScriptID(0x030003), nullptr);
    EXPECT_EQ(MV2SpawnLevelRecord(0x0304FFFF, -1), 1); // no items
    EXPECT_EQ(MV2SpawnLevelRecord(0x0305FFFF, -1), 0); // missing
    EXPECT_EQ(MV2RespawnLevelRecord(0x0305FFFF, -1), 0);
    EXPECT_EQ(MV2SpawnLevelRecordItem(0x0303FFFF, -1, 0x030009), nullptr);

    // Corrupt sizes: an item claiming more than its record, a record below 16, a size of 0.
    struct Case {
        size_t at;
        uint32_t size;
    };
    const size_t firstRecord = 140, firstItem = 156;
    for (Case c : {Case{firstItem, 5000}, Case{firstItem, 63}, Case{firstRecord, 15},
                   Case{firstRecord, 0}, Case{firstRecord, 100000}}) {
        std::vector<uint8_t> bad = header_;
        for (int i = 0; i < 4; i++)
            bad[c.at + 4 + size_t(i)] = uint8_t(c.size >> (8 * i));
        ASSERT_EQ(MV2SetLevelHeader(bad.data(), uint32_t(bad.size())), 1);
        MV2LevelRecord r;
        MV2LevelRecordItem item;
        const bool found = MV2FindLevelRecord(0x0303FFFF, &r);
        EXPECT_FALSE(found && MV2FirstRecordItem(&r, &item)) << c.at << " " << c.size;
        EXPECT_EQ(MV2SpawnLevelRecord(0x0303FFFF, -1), found ? 1 : 0);
    }
}

TEST_F(LevelTest, RespawnAndDestroyByRecordGroup) {
    LevelDesc level{0x04FFFFFF};
    // Type 14 keeps its record on message 4: the destroying walk steps over it.
    ModelType(14);
    MV2SetObjectTypeHandler(14, [](MV2Object* o, int32_t m, intptr_t p1, intptr_t p2) -> intptr_t {
        return m == 4 ? 1 : MV2ObjectDefaultHandler(o, m, p1, p2);
    });
    level.records = {{0x0405FFFF, 0, {{0x04050001, 5}, {0x04050003, 14}, {0x04050002, 5}}},
                     {0x0406FFFF, 0, {{0x04060001, 5}}}};
    Use(level);
    ASSERT_EQ(MV2SpawnLevelRecord(0x0405FFFF, -1), 1);
    ASSERT_EQ(MV2SpawnLevelRecord(0x0406FFFF, -1), 1);
    MV2Object* first = MV2FindObjectByScriptID(0x04050001);
    ASSERT_NE(first, nullptr);
    const MV2ObjectHandle oldHandle = first->handle;
    EXPECT_EQ(MV2RespawnLevelRecord(0x0405FFFF, -1), 1);
    EXPECT_FALSE(MV2ObjectHandleAlive(oldHandle));
    ASSERT_NE(MV2FindObjectByScriptID(0x04050001), nullptr);
    EXPECT_EQ(CountClumps(grid_.world), 5); // the kept object and its respawned copy

    MV2DestroyLevelRecordObjects(0x0405FFFF);
    EXPECT_NE(MV2FindObjectByScriptID(0x04050003), nullptr);
    EXPECT_EQ(MV2FindObjectByScriptID(0x04050001), nullptr);
    EXPECT_EQ(MV2FindObjectByScriptID(0x04050002), nullptr);
    EXPECT_NE(MV2FindObjectByScriptID(0x04060001), nullptr);
}

TEST_F(LevelTest, StartPointRules) {
    LevelItem start{0x070005, 5};
    start.position[0] = 3.0f;
    LevelItem other{0x070006, 5};
    other.position[0] = 4.0f;
    LevelDesc level{0x00FFFFFF};
    level.defaultStart = 0x070005;
    level.records = {{0x0007FFFF, 0, {start, other}}};
    Use(level);
    // A whole-level id takes the default start point, spawned since it is not alive.
    MV2MovePlayerToStartPoint(0x00FFFFFF);
    EXPECT_EQ(gMV2Level.startPosition.x, 13.0f);
    ASSERT_NE(MV2FindObjectByScriptID(0x070005), nullptr);
    // Another id of the level.
    MV2MovePlayerToStartPoint(0x070006);
    EXPECT_EQ(gMV2Level.startPosition.x, 14.0f);
    // A start point that cannot be spawned leaves the position.
    MV2MovePlayerToStartPoint(0x070009);
    EXPECT_EQ(gMV2Level.startPosition.x, 14.0f);
}

TEST_F(LevelTest, SameLevelIdOnlyMovesTheStartPoint) {
    LevelItem a{0x070005, 5};
    a.position[2] = 2.0f;
    LevelItem b{0x070006, 5};
    b.position[2] = 5.0f;
    LevelDesc level{0x00FFFFFF};
    level.defaultStart = 0x070005;
    level.records = {{0x0007FFFF, kMV2RecordEveryLoad, {a, b}}};
    Use(level);
    ASSERT_EQ(MV2SpawnLevelRecord(0x0007FFFF, -1), 1);
    const int32_t clumps = CountClumps(grid_.world);
    EXPECT_EQ(MV2LoadLevel(0x070006, 0), 1);
    EXPECT_EQ(gMV2Level.startPosition.z, 35.0f);
    EXPECT_EQ(CountClumps(grid_.world), clumps);
    EXPECT_EQ(gMV2Level.waterHeight, 20.0f);
    EXPECT_EQ(gMV2Level.requestedLevelId, 0x070006u);

    // The level change does the same while a player exists.
    static MV2Object* player = MV2FindObjectByScriptID(0x070005);
    gMV2LevelCalls.playerObject = [] { return player; };
    gMV2Level.requestedLevelId = 0x070005;
    gMV2Level.changePending = 1;
    MV2CheckLevelChange();
    EXPECT_EQ(gMV2Level.changePending, 0);
    EXPECT_EQ(gMV2Level.startPosition.z, 32.0f);
}

TEST_F(LevelTest, TextureListLines) {
    std::string text;
    text += "CRATE    CMASKX   \r\n"; // five letters, six-letter mask, blank padded
    text += "ROCKWALL          \r\n";  // blank mask column
    text += "ABCDEFGHIJKLMNOPQR\r\n";  // no blanks: each column keeps its nine bytes
    ASSERT_EQ(text.size(), 60u);
    MV2TextureList list{};
    MV2ParseTextureList(reinterpret_cast<const uint8_t*>(text.data()), text.size() + 7, &list);
    ASSERT_EQ(list.count, 3);
    ASSERT_EQ(g_textures.size(), 3u);
    EXPECT_EQ(g_textures[0], std::make_pair(std::string("CRATE"), std::string("CMASKX")));
    EXPECT_EQ(g_textures[1], std::make_pair(std::string("ROCKWALL"), std::string()));
    EXPECT_EQ(g_textures[2], std::make_pair(std::string("ABCDEFGHI"), std::string("JKLMNOPQR")));

    // A longer file: only the first 409 lines.
    std::string many;
    for (int i = 0; i < 500; i++)
        many += "T        M         \r\n";
    DataFolder folder;
    folder.Write("DATA/lev.LAT", many);
    g_textures.clear();
    MV2ReadTextureList("lev", ".LAT", &list);
    EXPECT_EQ(list.count, kMV2TextureListEntries);
    EXPECT_EQ(g_textures.size(), size_t(kMV2TextureListEntries));
    MV2ReadTextureList("missing", ".CAT", &list);
    EXPECT_EQ(list.count, 0);
}

TEST_F(LevelTest, SelectsTheHeaderOfAWriterMadeChunk) {
    DataFolder folder;
    ResourceFile file;
    LevelDesc zero{0x00FFFFFF};
    zero.levelName = "zero";
    LevelDesc one{0x01FFFFFF};
    one.levelName = "one";
    one.records = {{0x0101FFFF, 0, {{0x010001, 5}}}};
    file.levels = {LevelResource(zero), LevelResource(one)};
    folder.Write("data/menu.mv2", BuildResourceFile(file));
    ASSERT_EQ(MV2LoadMenuResourceFile(".\\data\\menu.mv2"), 1);
    ASSERT_EQ(MV2SelectLevelHeader(0x01000005), 1);
    EXPECT_STREQ(gMV2Level.header.levelName, "one");
    EXPECT_EQ(MV2SpawnLevelRecord(0x0101FFFF, -1), 1);
    EXPECT_EQ(MV2SelectLevelHeader(0x02FFFFFF), 0);
    EXPECT_EQ(MV2SpawnLevelRecord(0x0101FFFF, -1), 0); // no header: no record
    MV2FreeMenuResourceFile();
}

TEST_F(LevelTest, SwitchesRunOnTheirLevelOnly) {
    LevelItem target{0x40222, 5};
    LevelItem other{0x100000A, 5};
    LevelDesc level{0x00FFFFFF};
    level.records = {{0x0004FFFF, 0, {target}}, {0x0100FFFF, 0, {other}}};
    static float seenParameter = -1.0f;
    MV2SetObjectTypeHandler(5, [](MV2Object* o, int32_t m, intptr_t p1, intptr_t p2) -> intptr_t {
        if (m == 79 && o->scriptId == 0x40222) seenParameter = *reinterpret_cast<float*>(p2);
        if (m == 79 && o->scriptId == 0x100000A) seenParameter = 99.0f;
        return MV2ObjectDefaultHandler(o, m, p1, p2);
    });
    Use(level);
    ASSERT_EQ(MV2SpawnLevelRecord(0x0004FFFF, -1), 1);
    ASSERT_EQ(MV2SpawnLevelRecord(0x0100FFFF, -1), 1);

    // Clearing switch 17 signals with 0.0 and leaves the parameter at 12.0.
    MV2ClearLevelSwitch(17);
    EXPECT_EQ(seenParameter, 0.0f);
    EXPECT_EQ(gMV2LevelSwitchParameter, 12.0f);
    EXPECT_EQ(MV2TestLevelSwitch(17), 0);
    MV2SetLevelSwitch(17, 1);
    EXPECT_EQ(seenParameter, 12.0f);

    // Switch 20 belongs to level 1: nothing on level 0.
    seenParameter = -1.0f;
    MV2SetLevelSwitch(20, 1);
    EXPECT_EQ(seenParameter, -1.0f);
    EXPECT_EQ(MV2TestLevelSwitch(20), 1);

    uint8_t bytes[4];
    MV2GetLevelSwitchState(bytes);
    EXPECT_EQ(bytes[2], 0x12); // bits 17 and 20
    void* address = nullptr;
    size_t size = 0;
    MV2GetLevelSwitchState(&address, &size);
    EXPECT_EQ(address, &gMV2LevelSwitches);
    EXPECT_EQ(size, 4u);
    const uint8_t saved[4] = {1, 0, 0, 0x80};
    MV2SetLevelSwitchState(saved);
    EXPECT_EQ(gMV2LevelSwitches, 0x80000001u);
    MV2ResetLevelSwitches();
}

TEST_F(LevelTest, WallSetsStepThroughTheirItems) {
    EXPECT_EQ(gMV2WallSets[0].id, 0x1DBu);
    EXPECT_EQ(gMV2WallSets[20].id, 0x1EFu);
    EXPECT_EQ(std::vector<uint32_t>(gMV2WallSets[0].items, gMV2WallSets[0].items + 4),
              (std::vector<uint32_t>{0x220000, 0x220006, 0x22000A, 0x22000E}));
    EXPECT_EQ(std::vector<uint32_t>(gMV2WallSets[20].items, gMV2WallSets[20].items + 4),
              (std::vector<uint32_t>{0x220005, 0x220015, 0x220017, 0x220013}));
    EXPECT_EQ(gMV2WallSets[20].next, 0);
    EXPECT_STREQ(MV2WallCollisionFile(0x220014), "mw5b.col");
    EXPECT_EQ(MV2WallCollisionFile(0x220018), nullptr);

    std::vector<LevelItem> items;
    for (uint32_t i = 0; i <= 0x17; i++)
        items.push_back({0x220000 + i, 5});
    LevelDesc level{0x00FFFFFF};
    level.records = {{0x0022FFFF, 0, items}};
    Use(level);
    MV2FreeWallSets();
    MV2SelectWallSet(0);
    EXPECT_EQ(MV2GetActiveWallSet(), 0);
    EXPECT_EQ(gMV2WallSets[0].state, MV2_WALLSET_LOADED);
    MV2Object* wall = MV2GetObjectRef(&gMV2WallSlots[0]);
    ASSERT_NE(wall, nullptr);
    EXPECT_EQ(wall->typeWord & 0xFFFF, uint32_t(kMV2WallType));
    EXPECT_EQ(wall->flags & 0x2C, 0x2Cu);
    const MV2ObjectHandle first = wall->handle;

    MV2SelectWallSet(0); // already active: nothing
    EXPECT_TRUE(MV2ObjectHandleAlive(first));
    MV2SelectWallSet(-1); // no set: nothing
    MV2SelectWallSet(kMV2WallSets);
    EXPECT_TRUE(MV2ObjectHandleAlive(first));

    MV2SelectWallSet(3);
    EXPECT_EQ(MV2GetActiveWallSet(), 3);
    EXPECT_FALSE(MV2ObjectHandleAlive(first));
    for (int n = 0; n < 3; n++)
        EXPECT_EQ(gMV2WallSets[n].state, MV2_WALLSET_PASSED);
    EXPECT_EQ(MV2GetObjectRef(&gMV2WallSlots[2])->scriptId, 0x22000B);
    EXPECT_EQ(MV2GetObjectRef(&gMV2WallSlots[0])->scriptId, 0x220001);

    MV2LoadWallSets(); // the next stage
    EXPECT_EQ(MV2GetActiveWallSet(), 4);
    EXPECT_EQ(gMV2WallSets[3].state, MV2_WALLSET_PASSED);
    MV2RemoveWallSets();
    EXPECT_EQ(MV2GetObjectRef(&gMV2WallSlots[0]), nullptr);
    MV2FreeWallSets();
}

TEST_F(LevelTest, LightingZoneAndCurrent) {
    // A zone of 13 words: factor A 0.5, colour A 1,0,0; factor B 1.0, colour B 0,0,1.
    MV2ObjectType* zoneType = RecordingType(12, 13);
    (void)zoneType;
    MV2Object* zone = MV2CreateObject(12, nullptr, nullptr);
    ASSERT_NE(zone, nullptr);
    const float values[13] = {0, 0, 0, 0.5f, 1, 0, 0, 1.0f, 0, 0, 1, 0, 0};
    std::memcpy(zone->privateData, values, sizeof values);
    gMV2LightingZone = {zone, zone->handle, 0.0f};
    float f = 0.2f, r = 0.2f, g = 0.2f, b = 0.2f;
    MV2ApplyLightingZone(&f, &r, &g, &b);
    EXPECT_FLOAT_EQ(f, 0.75f);
    EXPECT_FLOAT_EQ(r, 0.5f);
    EXPECT_FLOAT_EQ(b, 0.5f);
    uint32_t blend = 1;
    std::memcpy(static_cast<uint8_t*>(zone->privateData) + 44, &blend, 4);
    gMV2LightingZone.weight = 1.0f; // t = 1: the values passed in
    f = r = g = b = 0.2f;
    MV2ApplyLightingZone(&f, &r, &g, &b);
    EXPECT_FLOAT_EQ(r, 0.2f);
    MV2ObjectSendMessage(zone, 4, 0, 0);
    gMV2LightingZone.weight = -1.0f;
    MV2ApplyLightingZone(&f, &r, &g, &b); // dead handle: unchanged
    EXPECT_FLOAT_EQ(f, 0.2f);
    MV2ResetLightingZone();
    EXPECT_EQ(gMV2LightingZone.object, nullptr);

    // The current pushes bodies inside its radius only.
    MV2ObjectType* current = ModelType(kMV2CurrentType, 0.5f);
    MV2SetObjectTypeHandler(kMV2CurrentType, MV2CurrentHandler);
    uint32_t size = 0;
    EXPECT_EQ(MV2CurrentHandler(nullptr, 96, 0, reinterpret_cast<intptr_t>(&size)), 1);
    current->privateDataSize = size;
    current->privateData = TvFreeListCreate(size, 2);
    MV2ObjectType* body = ModelType(13, 0.5f);
    body->words[31] = 2u << 28;
    MV2SetTypeFloat(body, 2, 1.0f);
    MV2SetTypeFloat(body, 3, 1.0f);
    const float at[3] = {3.0f, 5.0f, 3.0f};
    MV2Object* c = MV2CreateObject(kMV2CurrentType, at, nullptr);
    ASSERT_NE(c, nullptr);
    auto* data = static_cast<MV2CurrentData*>(c->privateData);
    EXPECT_EQ(data->radius, 5.0f);
    EXPECT_EQ(data->direction, &c->matrix->at);
    EXPECT_EQ(MV2CurrentHandler(c, 80, 0, 0), 1);
    EXPECT_EQ(MV2CurrentHandler(c, 75, 0, 0), 0);
    const float inside[3] = {5.0f, 5.0f, 3.0f}, edge[3] = {8.0f, 5.0f, 3.0f};
    MV2Object* near = MV2CreateObject(13, inside, nullptr);
    MV2Object* rim = MV2CreateObject(13, edge, nullptr);
    ASSERT_TRUE(near && rim && near->body && rim->body);
    TvFrameSyncDirty();
    TV_ENGINE->worldLibrary = grid_.world;
    gMV2FrameTimer.ticks = 1.0f;
    MV2ObjectSendMessage(c, 2, 0, 0);
    EXPECT_GT(near->body->velocity.z, 0.0f);
    EXPECT_EQ(rim->body->velocity.z, 0.0f);
    EXPECT_EQ(rim->body->velocity.x, 0.0f);
}

TEST_F(LevelTest, FrameTagsAndCustomLights) {
    TvFrame* frame = TvFrameCreate();
    EXPECT_EQ(MV2FrameGetTag(frame), kMV2DefaultFrameTag);
    MV2FrameSetTag(frame, 7);
    TvFrame* copy = TvFrameCloneHierarchy(frame);
    EXPECT_EQ(MV2FrameGetTag(copy), 7u);
    TvFrameDestroyHierarchy(copy);
    TvFrameDestroy(frame);

    TpLight* uniform = TpLightCreate(kMV2UniformSphereLight);
    TpLight* facing = TpLightCreate(kMV2FacingSphereLight);
    ASSERT_TRUE(uniform && facing && uniform->lightFn && facing->lightFn);
    TpLightSetRadius(uniform, 2.0f);
    TpLightSetRadius(facing, 2.0f);
    TpLightSetColor(facing, 1.0f, 0.5f, 0.0f, 1.0f);
    const TvV3d positions[3] = {{1, 0, 0}, {3, 0, 0}, {0, -1, 0}};
    const TvV3d normals[3] = {{-1, 0, 0}, {-1, 0, 0}, {0, -1, 0}};
    float colours[3][4] = {};
    const float surface[3] = {1, 1, 0.5f};
    TpLightBatch batch{positions, normals, 3, colours, nullptr, 1.0f, surface};
    uniform->lightFn(uniform, &batch);
    EXPECT_FLOAT_EQ(colours[0][0], 127.5f);
    EXPECT_FLOAT_EQ(colours[0][2], 127.5f); // grey: red to all three
    EXPECT_EQ(colours[1][0], 0.0f);
    EXPECT_FLOAT_EQ(colours[2][1], 127.5f);
    float lit[3][4] = {};
    batch.colors = lit;
    facing->lightFn(facing, &batch);
    // Vertex 0: d = 1, N.D = 1, (2 - 1) x 1 x 127.5, times each channel.
    EXPECT_FLOAT_EQ(lit[0][0], 127.5f);
    EXPECT_FLOAT_EQ(lit[0][1], 63.75f);
    EXPECT_EQ(lit[2][0], 0.0f); // facing away
    TpLightDestroy(uniform);
    TpLightDestroy(facing);

    gMV2AmbientLight = TpLightCreate(kTpLightAmbient);
    MV2SetAmbientColour(1.0f, 0.5f, 0.0f, 1.0f);
    EXPECT_EQ(gMV2AmbientColour[1], 128);
    EXPECT_EQ(gMV2AmbientLight->green, 0.5f);
    TpLightDestroy(gMV2AmbientLight);
    gMV2AmbientLight = nullptr;
}

TEST_F(LevelTest, SignalBeaconAndHiddenAnchor) {
    MV2ObjectType* beacon = ModelType(kMV2SignalBeaconType);
    MV2SetObjectTypeHandler(kMV2SignalBeaconType, MV2SignalBeaconHandler);
    uint32_t size = 0;
    MV2SignalBeaconHandler(nullptr, 96, 0, reinterpret_cast<intptr_t>(&size));
    beacon->privateDataSize = size;
    beacon->privateData = TvFreeListCreate(size, 2);
    MV2Object* b = MV2CreateObject(kMV2SignalBeaconType, nullptr, nullptr);
    ASSERT_NE(b, nullptr);
    auto* d = static_cast<MV2SignalBeaconData*>(b->privateData);
    EXPECT_EQ(d->state, 0);
    gMV2FrameTimer.frameClock = 1000;
    MV2ObjectSendMessage(b, 12, 1, 0);
    EXPECT_EQ(d->state, 1);
    EXPECT_EQ(d->nextBlink, 1250u);
    MV2ObjectSendMessage(b, 12, 2, 0);
    MV2ObjectSendMessage(b, 12, 0, 0); // ignored in state 2
    EXPECT_EQ(d->state, 2);
    MV2Object* linked = nullptr;
    MV2ObjectSendMessage(b, 33, 0, reinterpret_cast<intptr_t>(b));
    MV2ObjectSendMessage(b, 34, 0, reinterpret_cast<intptr_t>(&linked));
    EXPECT_EQ(linked, b);

    ModelType(kMV2HiddenAnchorType);
    MV2SetObjectTypeHandler(kMV2HiddenAnchorType, MV2HiddenAnchorHandler);
    EXPECT_EQ(MV2HiddenAnchorHandler(nullptr, 96, 0, 0), 0);
    MV2Object* a = MV2CreateObject(kMV2HiddenAnchorType, nullptr, nullptr);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(MV2GetFirstAtomic(a->clump)->object.object.flags, 0);
    MV2ObjectSendMessage(a, 33, 0, reinterpret_cast<intptr_t>(b));
    linked = nullptr;
    MV2ObjectSendMessage(a, 34, 0, reinterpret_cast<intptr_t>(&linked));
    EXPECT_EQ(linked, b);
}

namespace {

std::vector<uint8_t> Landscape(float originY) {
    LeafRecord leaf;
    leaf.vertices = {{0, 0, 0}, {50, 0, 0}, {50, 0, 50}, {0, 0, 50}};
    leaf.triangles = {{0, 0, 1, 2}, {0, 0, 2, 3}};
    leaf.collisionTree = SingleNodeTree(2);
    leaf.box = {{0, 0, 0, 50, 20, 50}};
    WorldRecord w;
    w.origin = {-5.0f, originY, -5.0f};
    w.root = LeafNode(leaf);
    return WorldBytes(w);
}

} // namespace

TEST_F(LevelTest, FullLoadAndLevelChange) {
    BeginLoadTest();
    DataFolder folder;
    folder.Write("BSP/lev0.bsp", Landscape(-10.0f));
    folder.Write("BSP/lev1.bsp", Landscape(-30.0f));
    folder.Write("DATA/lev0.LAT", std::string("SAND     SANDM    \r\nWEED     WEEDM    \r\n"));
    folder.Write("DATA/lev0.CAT", std::string("CAVE              \r\n"));
    folder.Write("lev0.pak", BuildPack({{"readme.txt", "level 0"}}));
    folder.Write("data/default.fog", std::string(256, '\x10'));

    LevelItem start{0x070005, 5};
    start.position[1] = 2.0f;
    LevelItem every{0x080001, 6};
    LevelItem full{0x090001, 6};
    LevelDesc zero{0x00FFFFFF};
    zero.levelName = "lev0";
    zero.packName = "lev0";
    zero.defaultStart = 0x070005;
    zero.waterHeight = 40.0f;
    zero.background = 0x00FF0000;
    zero.farClip = 60;
    zero.flags = 4; // the map's visited-cell chart
    zero.records = {{0x0007FFFF, 0, {start}}, {0x0008FFFF, kMV2RecordEveryLoad, {every}},
                    {0x0009FFFF, kMV2RecordFullLoad, {full}}};
    LevelItem start1{0x01070001, 5};
    start1.position[0] = 7.0f;
    LevelDesc one{0x01FFFFFF};
    one.levelName = "lev1";
    one.defaultStart = 0x01070001;
    one.records = {{0x0107FFFF, 0, {start1}}};
    ResourceFile file;
    file.levels = {LevelResource(zero), LevelResource(one)};
    folder.Write("data/menu.mv2", BuildResourceFile(file));
    ASSERT_EQ(MV2LoadMenuResourceFile(".\\data\\menu.mv2"), 1);

    gMV2Map.visited[3][1] = 0xFF;
    ASSERT_EQ(MV2LoadLevel(0x00FFFFFF, 1), 1) << (Boxes().empty() ? "" : Boxes()[0]);
    ASSERT_NE(gMV2Level.landscape, nullptr);
    EXPECT_EQ(MV2GetCurrentLevelId(), 0x00FFFFFFu);
    // The map takes the header's fields and forgets the cells visited before.
    EXPECT_EQ(gMV2Map.level.flags, 4);
    EXPECT_EQ(gMV2Map.level.levelNumber, 0);
    EXPECT_EQ(gMV2Map.visited[3][1], 0);
    const TvV3d origin = *TpWorldGetOffset(gMV2Level.landscape);
    EXPECT_EQ(origin.y, 10.0f);
    EXPECT_EQ(gMV2Level.waterHeight, 50.0f);
    EXPECT_EQ(gMV2Level.startPosition.y, 12.0f);
    EXPECT_EQ(gMV2Level.background[2], 1.0f);
    EXPECT_EQ(gMV2Level.background[1], 0.0f);
    EXPECT_EQ(gMV2Level.background[0], 0.0f);
    EXPECT_EQ(gMV2Level.lat.count, 2);
    EXPECT_EQ(gMV2Level.cat.count, 1);
    ASSERT_GE(g_textures.size(), 3u);
    EXPECT_EQ(g_textures[0], std::make_pair(std::string("SAND"), std::string("SANDM")));
    {
        MV2CurrentLevelWorld current;
        EXPECT_EQ(MV2FindObjectByScriptID(0x080001), nullptr); // destroyed after pre-lighting
        EXPECT_NE(MV2FindObjectByScriptID(0x090001), nullptr); // respawned by the full load
        EXPECT_NE(MV2FindObjectByScriptID(0x070005), nullptr);
    }
    EXPECT_TRUE(Boxes().empty());

    // A change to level 1 with a player whose clump leaves and rejoins the world.
    static MV2Object* player = nullptr;
    {
        MV2CurrentLevelWorld current;
        player = MV2CreateObject(11, nullptr, nullptr);
    }
    ASSERT_NE(player, nullptr);
    const MV2ObjectHandle playerHandle = player->handle;
    gMV2LevelCalls.playerObject = [] { return player; };
    gMV2Level.requestedLevelId = 0x01FFFFFF;
    gMV2Level.changePending = 1;
    MV2CheckLevelChange();
    EXPECT_EQ(gMV2Level.changePending, 0);
    EXPECT_EQ(MV2GetCurrentLevelId(), 0x01FFFFFFu);
    EXPECT_TRUE(MV2ObjectHandleAlive(playerHandle));
    EXPECT_EQ(TpClumpGetWorld(player->clump), gMV2Level.landscape);
    EXPECT_EQ(gMV2Level.startPosition.x, 12.0f);
    EXPECT_EQ(TpWorldGetOffset(gMV2Level.landscape)->y, 30.0f);
    EXPECT_EQ(gMV2Level.lat.count, 0); // lev1 has no lists
    EXPECT_EQ(gMV2Map.level.levelNumber, 1);
    EXPECT_EQ(gMV2Map.level.flags, 0);

    // A level without a header fails and keeps the loaded one.
    EXPECT_EQ(MV2LoadLevel(0x05FFFFFF, 1), 0);
    EXPECT_NE(gMV2Level.landscape, nullptr);
    EndLoadTest();
    EXPECT_EQ(MV2GetCurrentLevelId(), kMV2NoLevel);
}

TEST_F(LevelTest, SampleLevelsLoadAndChange) {
    BeginLoadTest();
    DataFolder folder;
    ASSERT_TRUE(SampleDataWriteLevels(folder.path()));
    ResourceFile file;
    file.levels = SampleLevels();
    folder.Write("DATA/menu.mv2", BuildResourceFile(file));
    ASSERT_EQ(MV2LoadMenuResourceFile(".\\DATA\\menu.mv2"), 1);
    // Every type the sample levels place gets a model: the type table is not loaded here.
    for (uint32_t t : SampleLevelItemTypes())
        if (!MV2GetObjectType(int32_t(t))->model) ModelType(int32_t(t), 0.5f);
    ASSERT_EQ(MV2LoadLevel(kMV2TitleLevel, 1), 1) << (Boxes().empty() ? "" : Boxes()[0]);
    {
        MV2CurrentLevelWorld current;
        EXPECT_NE(MV2FindObjectByScriptID(0x00300002), nullptr); // the pirate
        // The tools' placements: the pickup ahead of the start and the teleporter pair.
        for (uint32_t id : {0x00430000u, 0x00430001u, 0x00430002u})
            EXPECT_NE(MV2FindObjectByScriptID(id), nullptr) << std::hex << id;
    }
    TpWorld* first = gMV2Level.landscape;
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(gMV2Level.lat.count, 1);
    EXPECT_EQ(gMV2Level.skyFlag, 1);

    static MV2Object* player = nullptr;
    {
        MV2CurrentLevelWorld current;
        player = MV2CreateObject(11, nullptr, nullptr);
    }
    ASSERT_NE(player, nullptr);
    gMV2LevelCalls.playerObject = [] { return player; };
    gMV2Level.requestedLevelId = 0x01FFFFFF;
    gMV2Level.changePending = 1;
    MV2CheckLevelChange();
    EXPECT_EQ(MV2GetCurrentLevelId(), 0x01FFFFFFu);
    EXPECT_EQ(TpClumpGetWorld(player->clump), gMV2Level.landscape);
    EXPECT_EQ(gMV2Level.waterHeight, 25.0f);
    EXPECT_TRUE(Boxes().empty());
    EndLoadTest();
}

TEST_F(LevelTest, FrameTagsTravelInModelFiles) {
    // Frames without a tag chunk keep 100; a tag chunk sets the tag; a short one fails the read.
    struct Case {
        std::vector<ExtensionData> extension;
        bool reads;
        uint32_t tag;
    };
    const Case cases[] = {
        {{}, true, kMV2DefaultFrameTag},
        {{{kMV2FrameTagPluginId, {7, 1, 0, 0}}}, true, 0x107},
        {{{kMV2FrameTagPluginId, {7, 1}}}, false, 0},
    };
    for (const Case& c : cases) {
        FrameRecord frame = FrameAt(0, 0, 0, -1);
        frame.extension = c.extension;
        ChunkWriter writer;
        writer.Begin(TV_ID_FRAMELIST);
        WriteFrameList(writer, {frame}).End();
        TvStream* stream = OpenReadStream(writer.data());
        ASSERT_TRUE(stream && TvStreamFindChunk(stream, TV_ID_FRAMELIST, nullptr, nullptr));
        TvFrameList list{};
        const bool read = TvFrameListStreamRead(stream, &list) != nullptr;
        TvStreamClose(stream, nullptr);
        EXPECT_EQ(read, c.reads);
        if (!read) continue;
        ASSERT_EQ(list.numFrames, 1);
        EXPECT_EQ(MV2FrameGetTag(list.frames[0]), c.tag);
        TvFrameDestroyHierarchy(list.frames[0]);
        TvFrameListDeinit(&list);
    }
}
