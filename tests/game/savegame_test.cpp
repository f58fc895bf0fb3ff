// Save games: the slot file round trip of every field, cut and oversized records, the checks
// before a load touches the game, the save flow's refusals, rank titles and vmulang.dat.
#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/win32/win32.h"
#include "shell/bytes.h"
#include "shell/gamestate.h"
#include "shell/resfile.h"
#include "shell/savegame.h"
#include "tests/support/data_folder.h"
#include "tests/support/null_device.h"
#include "tests/support/resfile_writer.h"

namespace {

MV2SaveRecord SampleRecord() {
    MV2SaveRecord r{};
    std::strcpy(r.name, "Abyss run");
    r.missionRow = 12;
    r.counter0 = 7;
    r.counter2 = -3;
    r.equipmentLevel = 4;
    r.hullFraction = 0.625f;
    r.counter1 = 99;
    for (size_t i = 0; i < kMV2LevelSwitchStateSize; i++)
        r.levelSwitches[i] = uint8_t(i + 1);
    for (size_t i = 0; i < kMV2MissionStateSize; i++)
        r.missionState[i] = uint8_t(i * 3);
    r.subType = 67;
    r.loadout.numWeapons = 3;
    r.loadout.weapons[0] = {0, 100, 1};
    r.loadout.weapons[1] = {21, 5, 0};
    r.loadout.weapons[2] = {27, -1, 2};
    r.loadout.currentWeaponSlot = 21;
    r.loadout.numTools = 2;
    r.loadout.tools[0] = {0, 11};
    r.loadout.tools[1] = {14, 12};
    r.loadout.currentTool = 14;
    r.script41 = {{8, 9}, {1.5f, -2.25f, 0.0f, 1e6f, -0.5f, 3.0f}};
    return r;
}

class SaveGameTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.ok());
        gMV2Save = {-1, {}, 0, 0, {-1, 0, 0, 0}, {}, 0.0f, 0, 1};
        PlatformClearMessageBoxes();
    }
    void TearDown() override { MV2FreeMenuResourceFile(); }

    // A slot file with the given length word and record bytes.
    void WriteRaw(int32_t slot, uint32_t length, const std::vector<uint8_t>& record) {
        std::vector<uint8_t> bytes(4);
        MV2WriteU32(bytes.data(), length);
        bytes.insert(bytes.end(), record.begin(), record.end());
        char name[32];
        folder.Write(MV2SaveFileName(slot, name, sizeof name), bytes);
    }

    std::vector<uint8_t> StoredRecord(int32_t slot) {
        char name[32];
        std::vector<uint8_t> bytes = folder.Read(MV2SaveFileName(slot, name, sizeof name));
        return bytes.size() < 4 ? bytes : std::vector<uint8_t>(bytes.begin() + 4, bytes.end());
    }

    bool Boxed(const std::string& text) {
        for (const auto& box : PlatformMessageBoxes())
            if (box.text == text) return true;
        return false;
    }

    NullEngine engine;
    DataFolder folder;
};

TEST_F(SaveGameTest, EveryFieldSurvivesTheSlotFile) {
    for (MV2SaveRecord r : {SampleRecord(), MV2SaveRecord{}}) {
        ASSERT_EQ(MV2WriteSaveRecord(3, &r), 1);
        MV2SaveRecord back;
        ASSERT_EQ(MV2ReadSaveRecord(3, &back), 1);
        EXPECT_EQ(std::memcmp(&back, &r, sizeof r), 0);
    }
    MV2SaveRecord r = SampleRecord();
    ASSERT_EQ(MV2WriteSaveRecord(3, &r), 1);
    EXPECT_FALSE(std::filesystem::exists(folder.path() + "/MAROVANT.003.tmp"));
    std::vector<uint8_t> stored = StoredRecord(3);
    // name, six header words, switches, block, sub type, 3 weapons, 2 tools, script 41
    size_t expected = 16 + 24 + 4 + 100 + 4 + 4 + 36 + 4 + 4 + 16 + 4 + 8 + 24;
    ASSERT_EQ(stored.size(), expected);
    EXPECT_EQ(MV2ReadU32(folder.Read("MAROVANT.003").data()), expected);
    EXPECT_EQ(std::string(reinterpret_cast<char*>(stored.data())), "Abyss run");
    EXPECT_EQ(MV2ReadU32(stored.data() + 16), 12u);
    EXPECT_EQ(MV2ReadU32(stored.data() + 32), 0x3F200000u); // 0.625f

    char name[kMV2SaveNameSize];
    EXPECT_EQ(MV2ReadSaveName(3, name), 1);
    EXPECT_STREQ(name, "Abyss run");
    EXPECT_EQ(MV2ReadSaveHeader(3), 1);
    EXPECT_EQ(gMV2Save.header.slot, 3);
    EXPECT_EQ(gMV2Save.header.missionRow, 12);
    EXPECT_EQ(gMV2Save.header.counter0, 7);
    EXPECT_EQ(gMV2Save.header.counter2, -3);
    EXPECT_EQ(MV2ReadSaveName(4, name), 0);
    EXPECT_EQ(MV2WriteSaveRecord(1000, &r), 0);
    EXPECT_EQ(MV2WriteSaveRecord(-1, &r), 0);
}

// A slot file written byte by byte at each field's offset: one weapon and one tool make a
// record of 216 bytes.
TEST_F(SaveGameTest, ReadsARecordWrittenByHand) {
    std::vector<uint8_t> record(216, 0);
    auto at = [&](size_t offset, uint32_t value) { MV2WriteU32(record.data() + offset, value); };
    std::memcpy(record.data(), "Trench\0", 7); // name, 16 bytes
    at(16, 30);                                // mission row
    at(20, 5);                                 // award counter 0
    at(24, uint32_t(-2));                      // award counter 2
    at(28, 3);                                 // equipment level
    at(32, 0x3F400000);                        // hull fraction 0.75
    at(36, 11);                                // award counter 1
    at(40, 0x04030201);                        // level switch state, 4 bytes
    record[44] = 0xA0;                         // mission state block, 100 bytes
    record[143] = 0xA9;
    at(144, 67);         // sub type
    at(148, 1);          // weapon count
    at(152, 21);         // weapon slot
    at(156, 40);         // its ammunition word
    at(160, 3);          // its mount
    at(164, 21);         // current weapon slot
    at(168, 1);          // tool count
    at(172, 6);          // tool kind
    at(176, 0x77);       // its second word
    at(180, 6);          // current tool
    at(184, 2);          // script 41 counter 0
    at(188, 9);          // script 41 counter 1
    at(192, 0x3FC00000); // script 41 values: 1.5, then five more
    at(212, 0xC0000000); // the last: -2.0
    WriteRaw(7, 216, record);

    MV2SaveRecord r;
    ASSERT_EQ(MV2ReadSaveRecord(7, &r), 1);
    EXPECT_STREQ(r.name, "Trench");
    EXPECT_EQ(r.missionRow, 30);
    EXPECT_EQ(r.counter0, 5);
    EXPECT_EQ(r.counter2, -2);
    EXPECT_EQ(r.equipmentLevel, 3);
    EXPECT_EQ(r.hullFraction, 0.75f);
    EXPECT_EQ(r.counter1, 11);
    EXPECT_EQ(r.levelSwitches[0], 1);
    EXPECT_EQ(r.levelSwitches[3], 4);
    EXPECT_EQ(r.missionState[0], 0xA0);
    EXPECT_EQ(r.missionState[99], 0xA9);
    EXPECT_EQ(r.subType, 67);
    ASSERT_EQ(r.loadout.numWeapons, 1);
    EXPECT_EQ(r.loadout.weapons[0].slot, 21);
    EXPECT_EQ(r.loadout.weapons[0].ammunition, 40);
    EXPECT_EQ(r.loadout.weapons[0].mount, 3);
    EXPECT_EQ(r.loadout.currentWeaponSlot, 21);
    ASSERT_EQ(r.loadout.numTools, 1);
    EXPECT_EQ(r.loadout.tools[0].kind, 6);
    EXPECT_EQ(r.loadout.tools[0].word, 0x77);
    EXPECT_EQ(r.loadout.currentTool, 6);
    EXPECT_EQ(r.script41.counters[0], 2);
    EXPECT_EQ(r.script41.counters[1], 9);
    EXPECT_EQ(r.script41.values[0], 1.5f);
    EXPECT_EQ(r.script41.values[5], -2.0f);
    EXPECT_EQ(MV2CheckSaveRecord(&r), 1);

    // The writer stores the same record as the same bytes.
    ASSERT_EQ(MV2WriteSaveRecord(8, &r), 1);
    EXPECT_EQ(StoredRecord(8), record);
}

TEST_F(SaveGameTest, CutOrOversizedRecordsAreRefused) {
    MV2SaveRecord r = SampleRecord();
    ASSERT_EQ(MV2WriteSaveRecord(0, &r), 1);
    std::vector<uint8_t> whole = StoredRecord(0);
    MV2SaveRecord back;
    for (size_t cut = 0; cut < whole.size(); cut++) {
        std::vector<uint8_t> part(whole.begin(), whole.begin() + long(cut));
        WriteRaw(1, uint32_t(cut), part);
        EXPECT_EQ(MV2ReadSaveRecord(1, &back), 0) << cut;
    }
    WriteRaw(1, uint32_t(whole.size() + 1), whole); // the length word promises more
    EXPECT_EQ(MV2ReadSaveRecord(1, &back), 0);
    WriteRaw(1, kMV2MaxSaveRecord + 1, whole);
    EXPECT_EQ(MV2ReadSaveRecord(1, &back), 0);

    // Counts beyond what a craft carries, and a name without terminator.
    std::vector<uint8_t> big = whole;
    MV2WriteU32(big.data() + 16 + 24 + 4 + 100 + 4, 0x40000000);
    WriteRaw(1, uint32_t(big.size()), big);
    EXPECT_EQ(MV2ReadSaveRecord(1, &back), 0);
    std::vector<uint8_t> unterminated = whole;
    std::memset(unterminated.data(), 'n', 16);
    WriteRaw(1, uint32_t(unterminated.size()), unterminated);
    ASSERT_EQ(MV2ReadSaveRecord(1, &back), 1);
    EXPECT_EQ(std::strlen(back.name), 15u);
}

TEST_F(SaveGameTest, AFailedWriteKeepsThePreviousSave) {
    MV2SaveRecord r = SampleRecord();
    ASSERT_EQ(MV2WriteSaveRecord(4, &r), 1);
    std::vector<uint8_t> before = folder.Read("MAROVANT.004");
    std::filesystem::create_directory(folder.path() + "/MAROVANT.004.tmp");
    r.missionRow = 1;
    EXPECT_EQ(MV2WriteSaveRecord(4, &r), 0);
    EXPECT_EQ(folder.Read("MAROVANT.004"), before);
}

TEST_F(SaveGameTest, SavingIsRefusedOrSkippedWhenItCannotHappen) {
    EXPECT_EQ(gMV2Save.currentSlot, -1);
    MV2AutoSave(); // no slot yet
    gMV2Save.loading = 1;
    EXPECT_EQ(MV2SaveGame(0, 2, "x"), 1); // skipped during a load but reported as done
    gMV2Save.loading = 0;
    EXPECT_EQ(MV2SaveGame(0, 2, "x"), 0); // no player craft
    gMV2Save.savingForbidden = 1;
    EXPECT_EQ(MV2SaveGame(0, 2, "x"), 0);
    EXPECT_TRUE(folder.Read("MAROVANT.002").empty());
    EXPECT_TRUE(folder.Read("MAROVANT.-01").empty());
}

TEST_F(SaveGameTest, LoadChecksTheRecordBeforeStartingTheLevel) {
    ResourceFile res;
    res.types = {TypeRecord(67)};
    folder.Write("data/menu.mv2", BuildResourceFile(res));
    ASSERT_EQ(MV2LoadMenuResourceFile(".\\data\\menu.mv2"), 1);

    struct Case {
        const char* what;
        void (*change)(MV2SaveRecord&);
    } cases[] = {
        {"mission row past the table", [](MV2SaveRecord& r) { r.missionRow = 45; }},
        {"negative mission row", [](MV2SaveRecord& r) { r.missionRow = -1; }},
        {"negative craft type", [](MV2SaveRecord& r) { r.subType = -1; }},
        {"weapon slot past the table", [](MV2SaveRecord& r) { r.loadout.weapons[1].slot = 28; }},
        {"mount past a craft's four", [](MV2SaveRecord& r) { r.loadout.weapons[2].mount = 4; }},
        {"negative mount", [](MV2SaveRecord& r) { r.loadout.weapons[0].mount = -1; }},
        {"tool kind past the table", [](MV2SaveRecord& r) { r.loadout.tools[0].kind = 15; }},
        {"current tool past the table", [](MV2SaveRecord& r) { r.loadout.currentTool = 99; }},
    };
    for (const Case& c : cases) {
        MV2SaveRecord r = SampleRecord();
        c.change(r);
        ASSERT_EQ(MV2WriteSaveRecord(5, &r), 1);
        EXPECT_EQ(MV2LoadGame(5), 0) << c.what;
        EXPECT_EQ(gMV2Save.loading, 0) << c.what;
        EXPECT_TRUE(PlatformMessageBoxes().empty()) << c.what;
    }
    EXPECT_EQ(MV2LoadGame(6), 0); // no such slot

    // A sound record gets as far as the level start, which cannot run without a level; the
    // game is in mode 8 with the sequence state of a running game by then. A craft type that
    // no record has is no reason to refuse: selecting it falls back to the first record.
    for (int32_t subType : {67, 68}) {
        gMV2GameState = {7, 0, 7, 7};
        PlatformClearMessageBoxes();
        MV2SaveRecord r = SampleRecord();
        r.subType = subType;
        ASSERT_EQ(MV2WriteSaveRecord(5, &r), 1);
        EXPECT_EQ(MV2LoadGame(5), 0);
        EXPECT_TRUE(Boxed("Couldn't start a one player game")) << subType;
        EXPECT_EQ(gMV2GameState.current, 8);
        EXPECT_EQ(gMV2GameState.sequence, 9);
        EXPECT_STREQ(gMV2Save.currentName, "Abyss run");
        EXPECT_EQ(gMV2Save.loading, 0);
        EXPECT_EQ(gMV2Save.currentSlot, -1);
    }
}

TEST_F(SaveGameTest, SaveScreenTextsAndRankTitles) {
    std::string text(kMV2SaveTextSize, 'x');
    for (size_t field = 0; field < kMV2SaveTextFields; field++) {
        std::string value = "T" + std::to_string(field);
        std::memcpy(&text[field * kMV2SaveTextFieldSize], value.c_str(), value.size() + 1);
    }
    // The last field runs to the end unterminated.
    std::memset(&text[18 * kMV2SaveTextFieldSize], 'x', kMV2SaveTextFieldSize);
    folder.Write("DATA/vmulang.dat", text);
    ASSERT_EQ(MV2LoadSaveScreenText(), 1);
    EXPECT_STREQ(gMV2Save.texts[2], "T2");
    EXPECT_EQ(std::strlen(gMV2Save.texts[18]), kMV2SaveTextFieldSize - 1);

    struct Case {
        int32_t score, set;
        const char* title;
    } cases[] = {{100, 1, "T12"}, {99, 1, "T11"}, {80, 0, "T17"}, {50, 1, "T10"},
                 {49, 0, "T15"},  {2, 1, "T8"},   {1, 1, "T7"},   {0, 0, "T13"}};
    for (const Case& c : cases)
        EXPECT_STREQ(MV2RankTitle(c.score, c.set), c.title) << c.score;
    EXPECT_EQ(MV2RankTitle(-1, 1), nullptr);

    folder.Write("DATA/vmulang.dat", text + "x");
    EXPECT_EQ(MV2LoadSaveScreenText(), 0);
    EXPECT_TRUE(Boxed("vmulang.dat bigger than string array"));
    std::filesystem::remove(folder.path() + "/DATA/vmulang.dat");
    EXPECT_EQ(MV2LoadSaveScreenText(), 0);
    EXPECT_TRUE(Boxed("vmulang.dat could not be opened or does not exist"));
}

} // namespace
