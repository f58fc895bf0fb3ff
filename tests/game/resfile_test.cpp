// The menu resource file: loading (from a pack first), lookups of textures, object types and
// level records, languages by locale, text widths, and the checks that refuse a damaged file.
#include <gtest/gtest.h>

#include <cstdlib>
#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "engine/core/memory.h"
#include "platform/win32/win32.h"
#include "shell/bytes.h"
#include "shell/pack.h"
#include "shell/resfile.h"
#include "tests/support/data_folder.h"
#include "tests/support/null_device.h"
#include "tests/support/pack_writer.h"
#include "tests/support/resfile_writer.h"

namespace {

// Texture calls that record what is read and destroyed and can refuse names.
struct TextureLog {
    static inline std::vector<std::string> reads;
    static inline std::set<std::string> refused;
    static inline int live = 0;
    static inline bool mipmapping = true;
    static inline std::vector<bool> mipmappingAtRead;
    static TvTexture* Read(const char* name, const char* mask) {
        reads.push_back(std::string(name) + "/" + mask);
        mipmappingAtRead.push_back(mipmapping);
        if (refused.count(name)) return nullptr;
        live++;
        return reinterpret_cast<TvTexture*>(new int(0));
    }
    static inline std::vector<std::string> events; // destroyed textures and menu messages
    static bool Destroy(TvTexture* t) {
        events.push_back("texture destroyed");
        live--;
        delete reinterpret_cast<int*>(t);
        return true;
    }
    static bool GetMipmapping() { return mipmapping; }
    static bool SetMipmapping(bool on) {
        mipmapping = on;
        return true;
    }
};

// Menu instances that stand open while a test runs; messages to them go to the event log.
struct OpenMenus {
    static inline int current, closing;
    static inline bool open = false;
    static void* Current() { return open ? &current : nullptr; }
    static void* Closing() { return open ? &closing : nullptr; }
    static int32_t Send(void* instance, int32_t message, int32_t itemId, intptr_t, intptr_t, intptr_t) {
        TextureLog::events.push_back(std::string(instance == &current ? "current" : "closing") +
                                     " message " + std::to_string(message) + " to " +
                                     std::to_string(itemId));
        return 1;
    }
};

constexpr uint16_t P = kMV2UnitParam, G = kMV2UnitGap, N = kMV2UnitNone, E = kMV2UnitEnd;

ResourceFile SampleFile() {
    ResourceFile f;
    f.menus = {{1, {{1, 0}, {2, 1}, {3, 2}, {4, 3}, {5, 4, 10, 20, 30, 40, 50, 7, 100}}},
               {2, {{1, 0}}}};
    std::vector<ResGlyph> glyphs = {{0, 0, 9, 0}, {8, 0, 3, 0}, {16, 0, 4, 1}};
    f.languages = {
        {1031, 3, 1, {{10, {2}}, {11, {1}}, {12, {}}}, glyphs},
        {2057,
         7,
         2,
         {{10, {1, 2}}, {11, {P, 0x1234, 1, G, N, E, 2}}, {12, {P, 9, N}, "SPEECH1", 0}},
         glyphs},
    };
    f.textures = {{100, "button", "buttonm"}, {101, "back", ""}};
    f.types = {TypeRecord(15, 0xAB), TypeRecord(40, 0x11)};
    f.chunk4 = {1, 2, 3, 4};
    f.levels = {{0x00FFFFFF, {1, 2, 3, 4}}, {0x01FFFFFF, {5, 6, 7, 8, 9, 10, 11, 12}}};
    f.order = {5, 3, 1, 0, 4, 2};
    return f;
}

class ResFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.ok());
        saved = gMV2ResourceTextureCalls;
        savedMenus = gMV2ResourceMenuCalls;
        gMV2ResourceTextureCalls = {TextureLog::Read, TextureLog::Destroy,
                                    TextureLog::GetMipmapping, TextureLog::SetMipmapping};
        gMV2ResourceMenuCalls = {OpenMenus::Current, OpenMenus::Closing, OpenMenus::Send, nullptr};
        OpenMenus::open = false;
        TextureLog::events.clear();
        TextureLog::reads.clear();
        TextureLog::refused.clear();
        TextureLog::mipmappingAtRead.clear();
        TextureLog::live = 0;
        PlatformClearMessageBoxes();
    }
    void TearDown() override {
        MV2DestroyLanguage();
        MV2FreeMenuResourceFile();
        EXPECT_EQ(TextureLog::live, 0);
        gMV2ResourceTextureCalls = saved;
        gMV2ResourceMenuCalls = savedMenus;
        TvEngineGetMemoryFunctions()->allocate = nullptr;
    }

    int32_t Load(const std::vector<uint8_t>& bytes) {
        folder.Write("data/menu.mv2", bytes);
        return MV2LoadMenuResourceFile(".\\data\\menu.mv2");
    }

    std::string LastBox() {
        const auto& boxes = PlatformMessageBoxes();
        if (boxes.empty()) return "";
        EXPECT_EQ(boxes.back().caption, "Marovant Error !");
        return boxes.back().text;
    }

    NullEngine engine;
    DataFolder folder;
    MV2ResourceTextureCalls saved{};
    MV2ResourceMenuCalls savedMenus{};
};

TEST_F(ResFileTest, LoadsFromAPackAndFindsTexturesTypesAndLevels) {
    std::vector<uint8_t> bytes = BuildResourceFile(SampleFile());
    folder.Write("data.pak", BuildPack({{"Menu.MV2", std::string(bytes.begin(), bytes.end())}}));
    MV2PackFile* pack = MV2MountPackFile(".\\data.pak");
    ASSERT_NE(pack, nullptr);
    char name[64];
    ASSERT_EQ(MV2LoadMenuResourceFile(MV2MenuResourceFileName(name, sizeof name)), 1) << LastBox();
    EXPECT_EQ(MV2UnmountPackFile(pack), 1);

    EXPECT_EQ(TextureLog::reads, (std::vector<std::string>{"button/buttonm", "back/"}));
    EXPECT_EQ(TextureLog::mipmappingAtRead, (std::vector<bool>{false, false}));
    EXPECT_TRUE(TextureLog::mipmapping);
    EXPECT_NE(MV2MenuResourceFindTexture(101), nullptr);
    EXPECT_EQ(MV2MenuResourceFindTexture(102), nullptr);

    uint8_t record[kMV2ObjectTypeRecordSize];
    EXPECT_EQ(MV2GetObjectTypeRecord(record, 40), 1);
    EXPECT_EQ(std::vector<uint8_t>(record, record + sizeof record), TypeRecord(40, 0x11));
    EXPECT_EQ(MV2GetObjectTypeRecord(record, 41), 0);
    EXPECT_EQ(std::vector<uint8_t>(record, record + sizeof record),
              std::vector<uint8_t>(sizeof record, 0));

    uint32_t size = 0;
    const uint8_t* level = MV2MenuResourceFindRecord(0x01FFFFFF, &size);
    ASSERT_NE(level, nullptr);
    EXPECT_EQ(size, 16u);
    EXPECT_EQ(level[8], 5);
    EXPECT_EQ(MV2MenuResourceFindRecord(0x02FFFFFF), nullptr);

    // Both instance buffers hold the largest menu (the menu tests build every kind in them).
    EXPECT_EQ(gMV2MenuResource.instanceBuffers[1],
              gMV2MenuResource.instanceBuffers[0] + gMV2MenuResource.instanceSize);

    MV2MenuItemHeader item{};
    const uint8_t* fileItem =
        gMV2MenuResource.menus + MV2ReadU32(gMV2MenuResource.menus + 8) + 36 + 72 + 264 + 328;
    MV2MenuItemInitFromFile(&item, fileItem, 216);
    EXPECT_EQ(item.id, 5u);
    EXPECT_EQ(item.kind, 4u);
    EXPECT_EQ(item.size, 216u);
    EXPECT_EQ(item.x, 10.0f);
    EXPECT_EQ(item.y, 20.0f);
    EXPECT_EQ(item.fifth, 30.0f);
    EXPECT_EQ(item.width, 40.0f);
    EXPECT_EQ(item.height, 50.0f);
    EXPECT_EQ(item.alignment, 7u);
    EXPECT_EQ(item.fileItem, fileItem);
    EXPECT_EQ(item.flags & kMV2MenuItemRedraw, kMV2MenuItemRedraw);

    // A second load releases the first: its textures are destroyed before new ones are read.
    ASSERT_EQ(Load(bytes), 1);
    EXPECT_EQ(TextureLog::live, 2);
}

// Loading again while menus are open destroys the closing and then the current instance
// before anything else of the old file goes.
TEST_F(ResFileTest, ReloadingWithMenusOpenDestroysBothInstancesFirst) {
    const std::vector<uint8_t> bytes = BuildResourceFile(SampleFile());
    ASSERT_EQ(Load(bytes), 1);
    TextureLog::events.clear();
    OpenMenus::open = true;
    ASSERT_EQ(Load(bytes), 1);
    const std::vector<std::string> expected = {"closing message 2 to -1", "current message 2 to -1",
                                               "texture destroyed", "texture destroyed"};
    EXPECT_EQ(TextureLog::events, expected);

    TextureLog::events.clear();
    OpenMenus::open = false;
    MV2FreeMenuResourceFile();
    EXPECT_EQ(TextureLog::events,
              (std::vector<std::string>{"texture destroyed", "texture destroyed"}));
}

// Allocations that fail: the file buffer, and the menu instance buffers, whose failure the
// sizing step reports before the loader's own message. Nothing stays loaded.
TEST_F(ResFileTest, FailedAllocationsLeaveNothingLoaded) {
    const std::vector<uint8_t> bytes = BuildResourceFile(SampleFile());
    ASSERT_EQ(Load(bytes), 1);
    const size_t instances = 2 * gMV2MenuResource.instanceSize;
    MV2FreeMenuResourceFile();
    static size_t refused;
    TvEngineGetMemoryFunctions()->allocate = [](size_t n) {
        return n == refused ? nullptr : std::malloc(n);
    };
    struct Case {
        size_t size;
        std::vector<std::string> boxes;
    } cases[] = {
        {bytes.size(), {"Could not allocate resource file buffer"}},
        {instances, {"Error allocating memory for menus", "Bad menus"}},
    };
    for (const Case& c : cases) {
        PlatformClearMessageBoxes();
        refused = c.size;
        EXPECT_EQ(Load(bytes), 0) << c.size;
        std::vector<std::string> boxes;
        for (const auto& box : PlatformMessageBoxes())
            boxes.push_back(box.text);
        EXPECT_EQ(boxes, c.boxes);
        EXPECT_EQ(gMV2MenuResource.menus, nullptr);
        EXPECT_EQ(gMV2MenuResource.instanceBuffers[0], nullptr);
        EXPECT_EQ(TextureLog::live, 0);
    }
}

// Ids and languages may share text records and indexes; records that overlap are refused,
// which keeps the check linear in the chunk's size.
TEST_F(ResFileTest, SharedTextsLoadAndOverlappingOnesAreRefused) {
    using Bytes = std::vector<uint8_t>;
    const Bytes good = BuildResourceFile(SampleFile());
    const size_t chunk1 = ResourceChunkAt(good, 1);
    auto index = [&](const Bytes& b, uint32_t language) {
        return chunk1 + MV2ReadU32(b.data() + chunk1 + language * kMV2LanguageRowSize + 4);
    };
    auto record = [&](const Bytes& b, uint32_t language, uint32_t text) {
        return MV2ReadU32(b.data() + index(b, language) + text * kMV2TextIndexPairSize + 4);
    };
    auto setRecord = [&](Bytes& b, uint32_t language, uint32_t text, uint32_t offset) {
        MV2WriteU32(b.data() + index(b, language) + text * kMV2TextIndexPairSize + 4, offset);
    };

    // Text 12 of the second language uses text 11's record; the first language uses the
    // second's index.
    Bytes shared = good;
    setRecord(shared, 1, 2, record(good, 1, 1));
    MV2WriteU32(shared.data() + chunk1 + 4,
                MV2ReadU32(shared.data() + chunk1 + kMV2LanguageRowSize + 4));
    ASSERT_EQ(Load(shared), 1) << LastBox();
    ASSERT_EQ(MV2CreateLanguage(0x0407), 1);
    MV2TextDescriptor d{nullptr, 12, 0, 0, 0, 0, 0};
    EXPECT_EQ(MV2GetText(&d)->width, 3u + 5 + 4);

    // A record that starts inside another (its head is the other's reserved word, a text of no
    // units) is refused.
    Bytes inside = good;
    setRecord(inside, 1, 2, record(good, 1, 1) + 4);
    EXPECT_EQ(Load(inside), 0);
    EXPECT_EQ(LastBox(), "Bad Cookie");
}

TEST_F(ResFileTest, LanguageFollowsTheLocaleElseUkEnglish) {
    ASSERT_EQ(Load(BuildResourceFile(SampleFile())), 1);
    struct Case {
        uint32_t locale;
        uint32_t inUse;
        std::vector<std::string> pages;
    } cases[] = {
        {0x0407, 1031, {"fp003/fp003m"}},
        {0x10407, 1031, {"fp003/fp003m"}}, // only the low 16 bits are the language
        {0x040C, 2057, {"fp007/fp007m", "fp008/fp008m"}},
        {2057, 2057, {"fp007/fp007m", "fp008/fp008m"}},
    };
    for (const Case& c : cases) {
        TextureLog::reads.clear();
        ASSERT_EQ(MV2CreateLanguage(c.locale), 1) << c.locale;
        EXPECT_EQ(gMV2MenuResource.language.languageId, c.inUse);
        EXPECT_EQ(TextureLog::reads, c.pages) << c.locale;
        EXPECT_EQ(TextureLog::live, 2 + int(c.pages.size())); // the previous pages are gone
    }

    ResourceFile noEnglish = SampleFile();
    noEnglish.languages.pop_back();
    noEnglish.languages[0].firstFontPage = 12;
    noEnglish.languages[0].numFontPages = 112;
    ASSERT_EQ(Load(BuildResourceFile(noEnglish)), 1);
    EXPECT_EQ(MV2CreateLanguage(0x040C), 0);
    TextureLog::reads.clear();
    TextureLog::refused = {"fp123"};
    EXPECT_EQ(MV2CreateLanguage(0x0407), 0);
    EXPECT_EQ(TextureLog::reads.front(), "fp012/fp012m");
    EXPECT_EQ(TextureLog::reads.back(), "fp123/fp123m");
    EXPECT_EQ(TextureLog::live, 2); // pages read before the failure are destroyed
    MV2TextDescriptor d{nullptr, 10, 0, 0, 0, 0, 0};
    EXPECT_EQ(MV2GetText(&d)->text, nullptr);
}

TEST_F(ResFileTest, TextWidthsCountGlyphsAndGapsOnly) {
    ASSERT_EQ(Load(BuildResourceFile(SampleFile())), 1);
    ASSERT_EQ(MV2CreateLanguage(2057), 1);
    struct Case {
        uint32_t id;
        bool found;
        uint32_t width;
    } cases[] = {
        {10, true, 3 + 4},
        {11, true, 3 + 5 + 4}, // the parameter, the no-op and the end marker are skipped
        {12, true, 0},         // control units only, count 0
        {13, false, 0},
        {0xFFFFFFFF, false, 0},
    };
    for (const Case& c : cases) {
        MV2TextDescriptor d{reinterpret_cast<const uint8_t*>(&d), c.id, 99, 1, 2, 3, 4};
        EXPECT_EQ(MV2GetText(&d), &d);
        EXPECT_EQ(d.text != nullptr, c.found) << c.id;
        EXPECT_EQ(d.width, c.width) << c.id;
        EXPECT_EQ(d.id, c.id);
        EXPECT_EQ(d.revealCount, -1);
        EXPECT_EQ(d.fadeFront, -1);
        EXPECT_EQ(d.revealClock, 0);
        EXPECT_EQ(d.word6, 215);
    }
    MV2TextDescriptor speech{nullptr, 12, 0, 0, 0, 0, 0};
    MV2GetText(&speech);
    ASSERT_NE(speech.text, nullptr);
    EXPECT_NE(MV2ReadU32(speech.text) & kMV2TextHasSpeech, 0u);
    EXPECT_STREQ(reinterpret_cast<const char*>(speech.text + 16), "SPEECH1");
}

TEST_F(ResFileTest, DamagedFilesAreRefusedWithTheirMessage) {
    using Bytes = std::vector<uint8_t>;
    ResourceFile good = SampleFile();
    struct Case {
        const char* expected;
        Bytes bytes;
    };
    std::vector<Case> cases;
    auto damaged = [&](const char* expected, void (*damage)(Bytes&)) {
        Bytes b = BuildResourceFile(good);
        damage(b);
        cases.push_back({expected, b});
    };
    auto described = [&](const char* expected, void (*change)(ResourceFile&)) {
        ResourceFile f = good;
        change(f);
        cases.push_back({expected, BuildResourceFile(f)});
    };
    damaged("Bad Cookie", [](Bytes& b) { b[0] ^= 1; });
    damaged("Bad Cookie", [](Bytes& b) { MV2WriteU32(b.data() + 4, 7); });
    damaged("Bad Cookie", [](Bytes& b) { b.resize(100); });
    damaged("Bad Cookie", [](Bytes& b) { b.clear(); });
    damaged("Unable to find a chunk in resource file",
            [](Bytes& b) { MV2WriteU32(b.data() + ResourceDirEntryAt(b, 4), 3); });
    damaged("Unable to find a chunk in resource file",
            [](Bytes& b) { MV2WriteU32(b.data() + ResourceDirEntryAt(b, 2) + 12, 1u << 30); });
    damaged("Bad Cookie", [](Bytes& b) { // a text record outside chunk 1
        MV2WriteU32(b.data() + ResourceChunkAt(b, 1) + 2 * kMV2LanguageRowSize + 4, 0xFFFF00);
    });
    damaged("Bad Cookie", [](Bytes& b) { // more language rows than the chunk holds
        MV2WriteU32(b.data() + ResourceDirEntryAt(b, 1) + 4, 1000);
    });
    damaged("Bad Cookie", [](Bytes& b) { // a level record running past chunk 5
        MV2WriteU32(b.data() + ResourceChunkAt(b, 5) + 4, 1000);
    });
    damaged("Bad Cookie", [](Bytes& b) { // a level record too short to hold its header
        MV2WriteU32(b.data() + ResourceChunkAt(b, 5) + 4, 4);
    });
    damaged("Bad menus", [](Bytes& b) { // an item of an unknown kind
        size_t menus = ResourceChunkAt(b, 0);
        MV2WriteU32(b.data() + menus + MV2ReadU32(b.data() + menus + 8) + 4, 5);
    });
    damaged("Bad menus", [](Bytes& b) { // items past the chunk's end
        MV2WriteU32(b.data() + ResourceChunkAt(b, 0) + 4, 50);
    });
    damaged("Bad Textures", [](Bytes& b) { // a name without terminator
        std::memset(b.data() + ResourceChunkAt(b, 2) + 4, 'x', 16);
    });
    described("Bad Cookie", [](ResourceFile& f) { f.languages[1].texts[0].units = {0xF000}; });
    described("Bad Cookie", [](ResourceFile& f) { f.languages[1].texts[0].counted = 40; });
    described("Bad Cookie", [](ResourceFile& f) { f.languages[0].numFontPages = 5000; });
    described("Unable to find a chunk in resource file",
              [](ResourceFile& f) { f.order = {0, 1, 2, 3, 4, 4}; });
    { // menus that share items: 23 rows of two items from the first item's offset
        ResourceFile f = good;
        f.menus.assign(23, ResMenu{1, {{1, 0}}});
        Bytes b = BuildResourceFile(f);
        const size_t menus = ResourceChunkAt(b, 0);
        const uint32_t first = MV2ReadU32(b.data() + menus + 8);
        for (size_t m = 0; m < 23; m++) {
            MV2WriteU32(b.data() + menus + m * kMV2MenuRowSize + 4, 2);
            MV2WriteU32(b.data() + menus + m * kMV2MenuRowSize + 8, first);
        }
        cases.push_back({"Bad menus", b});
    }
    cases.push_back({"Bad Textures", BuildResourceFile(good)});

    for (size_t i = 0; i < cases.size(); i++) {
        TextureLog::refused =
            i + 1 == cases.size() ? std::set<std::string>{"back"} : std::set<std::string>{};
        EXPECT_EQ(Load(cases[i].bytes), 0) << i;
        EXPECT_EQ(LastBox(), cases[i].expected) << i;
        EXPECT_EQ(gMV2MenuResource.menus, nullptr) << i;
        EXPECT_EQ(gMV2MenuResource.numTextures, 0) << i;
        EXPECT_EQ(TextureLog::live, 0) << i;
    }
    EXPECT_EQ(MV2LoadMenuResourceFile(".\\data\\absent.mv2"), 0);
    EXPECT_EQ(LastBox(), "Could not open menu file");
    EXPECT_EQ(MV2CreateLanguage(2057), 0);
}

} // namespace
