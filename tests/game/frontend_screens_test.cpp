// The front-end screens over the sample menu resource file: starting a campaign with and
// without a save, the profile screen and its overwrite question, the host session name, the
// session list's timing, and the display options.
#include "game/frontend/hudmessages.h"
#include "game/frontend/screens.h"

#include "game/effects/shadows.h"
#include "game/frontend/movies.h"
#include "platform/win32/registry.h"
#include "platform/win32/win32.h"
#include "engine/core/raster.h"
#include "shell/errors.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/resfile.h"
#include "shell/savegame.h"
#include "shell/settings.h"
#include "tests/support/data_folder.h"
#include "tests/support/null_device.h"
#include "tools/sampledata/sampledata.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <string>

namespace {

class ScreensTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.ok());
        ASSERT_TRUE(SampleDataWrite(folder.path()));
        PlatformSetRegistryFile(folder.path() + "/registry.txt");
        PlatformClearMessageBoxes();
        ASSERT_EQ(MV2LoadMenuResourceFile(".\\DATA\\menu.mv2"), 1);
        savedLoop = gMV2MainLoop;
        savedState = gMV2GameState;
        savedSettings = gMV2Settings;
        savedScreens = gMV2Screens;
        gMV2MainLoop.frontEnd = 1;
        gMV2GameState = {7, 0, 0, 7};
        gMV2Save.currentSlot = -1;
    }
    void TearDown() override {
        MV2FreeMenuResourceFile();
        gMV2MainLoop = savedLoop;
        gMV2GameState = savedState;
        gMV2Settings = savedSettings;
        gMV2Screens = savedScreens;
        gMV2Save.currentSlot = -1;
        PlatformSetRegistryFile("");
    }
    MV2MenuInstance* Current() { return MV2MenuGetCurrentInstance(); }
    void Activate(int32_t id) { MV2MenuSendMessage(Current(), kMV2MenuActivated, id); }
    std::string Field(int32_t id) {
        char text[40] = {};
        MV2MenuSendMessage(Current(), kMV2MenuGetValue, id, reinterpret_cast<intptr_t>(text), sizeof text);
        return text;
    }
    bool Disabled(int32_t id) { return MV2MenuGetItem(Current(), id)->flags & kMV2ItemDisabled; }
    void Save(int32_t slot, const char* name) {
        MV2SaveRecord record{};
        std::snprintf(record.name, sizeof record.name, "%s", name);
        ASSERT_EQ(MV2WriteSaveRecord(slot, &record), 1);
    }

    NullEngine engine;
    DataFolder folder;
    MV2MainLoop savedLoop{};
    MV2GameStateWord savedState{};
    MV2Settings savedSettings{};
    MV2Screens savedScreens{};
};

// Play with the new-game choice off starts mission row 1 through game mode 14 with no save
// slot and writes no save file; with it on (as Play always has it), the choice opens.
TEST_F(ScreensTest, PlayWithoutSaveStartsTheCampaign) {
    ASSERT_EQ(MV2MenuOpen(0, MV2MainMenuCallback, 0), 1);
    gMV2Screens.newGameChoice = 0;
    Activate(2);
    EXPECT_EQ(gMV2GameState.requested, 14);
    EXPECT_EQ(gMV2Save.currentSlot, -1);
    EXPECT_EQ(gMV2MainLoop.frontEnd, 0);
    EXPECT_EQ(gMV2LevelToLoad, 0xFFFFFFu);
    EXPECT_EQ(Current(), nullptr);
    EXPECT_FALSE(std::filesystem::exists(std::filesystem::path(folder.path()) / "MAROVANT.000"));

    gMV2MainLoop.frontEnd = 1;
    gMV2Screens.newGameChoice = 1;
    ASSERT_EQ(MV2MenuOpen(0, MV2MainMenuCallback, 0), 1);
    Activate(2);
    EXPECT_EQ(Current()->callback, MV2NewGameMenuCallback);
    // The back key on the main menu does nothing of its own.
    ASSERT_EQ(MV2MenuOpen(0, MV2MainMenuCallback, 0), 1);
    MV2MenuInstance* main = Current();
    EXPECT_EQ(MV2MenuSendMessage(main, kMV2MenuKeyDown, kMV2MenuNoItem, kMV2KeyEscape), 0);
    EXPECT_EQ(Current(), main);
}

// The profile screen: entry 0 offers "marovant<first free + 1>", an existing save hides the
// name field and shows its name; a name like an existing save's asks before overwriting it.
TEST_F(ScreensTest, ProfileAndOverwrite) {
    Save(0, "Reef");
    Save(2, "Kelp");
    ASSERT_EQ(MV2MenuOpen(7, MV2ProfileMenuCallback, 0), 1);
    EXPECT_EQ(gMV2Screens.firstFreeSlot, 1);
    EXPECT_EQ(Field(3), "marovant2");
    EXPECT_EQ(reinterpret_cast<MV2MenuList*>(MV2MenuGetItem(Current(), 4))->count, 3);

    MV2MenuSendMessage(Current(), kMV2MenuSelection, 4, 2);
    EXPECT_TRUE(Disabled(2));
    EXPECT_TRUE(Disabled(3));
    EXPECT_EQ(Field(3), "Kelp");
    MV2MenuSendMessage(Current(), kMV2MenuSelection, 4, 0);
    EXPECT_FALSE(Disabled(3));
    EXPECT_EQ(Field(3), "marovant2");

    const char* reef = "Reef";
    MV2MenuSendMessage(Current(), kMV2MenuSetValue, 3, reinterpret_cast<intptr_t>(reef), 4);
    Activate(5);
    EXPECT_EQ(Current()->callback, MV2OverwriteMenuCallback);
    EXPECT_EQ(gMV2Save.currentSlot, 0);
    Activate(4);
    EXPECT_EQ(Current()->callback, MV2ProfileMenuCallback);

    // A new name saves into the first free slot.
    const char* fresh = "Vents";
    MV2MenuSendMessage(Current(), kMV2MenuSetValue, 3, reinterpret_cast<intptr_t>(fresh), 5);
    Activate(5);
    EXPECT_EQ(gMV2GameState.requested, 14);
    EXPECT_STREQ(gMV2Screens.profileName, "Vents");
    EXPECT_EQ(gMV2Save.currentSlot, 1);
}

// Every slot taken: the default name uses slot 0 and the campaign starts without saving.
TEST_F(ScreensTest, EverySlotTaken) {
    for (int32_t slot = 0; slot < 8; slot++) Save(slot, "full");
    ASSERT_EQ(MV2MenuOpen(7, MV2ProfileMenuCallback, 0), 1);
    EXPECT_EQ(gMV2Screens.firstFreeSlot, -1);
    EXPECT_EQ(Field(3), "marovant0");
    Activate(5);
    EXPECT_EQ(gMV2Save.currentSlot, -1);
    EXPECT_EQ(gMV2GameState.requested, 14);
}

// Host session names carry the level row in two digits; a joining player reads them back,
// and records whose digits are not a row give no level name.
TEST(ScreenSessions, NamesAndLevelRows) {
    char name[32];
    MV2FormatSessionName(name, 3, "Reef");
    EXPECT_STREQ(name, "03Reef");
    MV2FormatSessionName(name, 10, "A name far longer than the session name buffer holds");
    EXPECT_EQ(std::strlen(name), 31u);
    EXPECT_EQ(std::string(name, 2), "10");
    struct { const char* record; int32_t row; } cases[] = {
        {"03Reef", 3}, {"10x", 10}, {"11x", -1}, {"99x", -1}, {"0", -1}, {"a3x", -1}, {"-1x", -1}, {"", -1}};
    for (auto c : cases) {
        uint8_t record[64] = {};
        std::memcpy(record, c.record, std::strlen(c.record));
        EXPECT_EQ(MV2SessionLevelRow(record), c.row) << c.record;
    }
    EXPECT_EQ(kMV2NetLevelTable[3].textId, 1140);
}

// The session list searches for two ticks and enumerates on the third; with nothing found the
// list and the join button are disabled; refresh starts again.
TEST_F(ScreensTest, SessionListTiming) {
    ASSERT_EQ(MV2MenuOpen(21, MV2JoinMenuCallback, 0), 1);
    const int32_t counters[] = {1, 2, -1, -1};
    for (int32_t expected : counters) {
        MV2MenuUpdate();
        EXPECT_EQ(gMV2Screens.sessionCounter, expected);
    }
    EXPECT_TRUE(Disabled(3));
    EXPECT_TRUE(Disabled(5));
    Activate(6);
    EXPECT_EQ(gMV2Screens.sessionCounter, 0);
    MV2MenuUpdate();
    EXPECT_EQ(gMV2Screens.sessionCounter, 1);
    // Joining fails (no session): the failure screen, whose item 3 returns to the list.
    Activate(5);
    EXPECT_EQ(Current()->callback, MV2JoinFailedMenuCallback);
    Activate(3);
    EXPECT_EQ(Current()->callback, MV2JoinMenuCallback);
}

// Display options: subtitles cycle 0, 1, 2, 0; the arrows stop at the ends; cancelling restores
// what was changed live; keeping writes the settings.
TEST_F(ScreensTest, DisplayOptionsCycleCancelKeep) {
    MV2SetSubtitles(0);
    MV2SetShadows(1);
    gMV2Settings.worldCaustics = gMV2Settings.atomicCaustics = 1;
    ASSERT_EQ(MV2MenuOpen(23, MV2DisplayOptionsMenuCallback, 0), 1);
    int32_t seen[4];
    for (int32_t& s : seen) {
        Activate(2);
        s = MV2GetSubtitles();
    }
    EXPECT_EQ(seen[0], 1);
    EXPECT_EQ(seen[1], 2);
    EXPECT_EQ(seen[2], 0);
    EXPECT_EQ(seen[3], 1);
    MV2SetSubtitles(0);
    MV2MenuSendMessage(Current(), kMV2MenuKeyUp, 2, kMV2KeyLeft);
    EXPECT_EQ(MV2GetSubtitles(), 0);
    MV2SetSubtitles(2);
    MV2MenuSendMessage(Current(), kMV2MenuKeyUp, 2, kMV2KeyRight);
    EXPECT_EQ(MV2GetSubtitles(), 2);

    MV2MenuSendMessage(Current(), kMV2MenuKeyUp, 3, kMV2KeyLeft); // dappling off
    EXPECT_EQ(gMV2Settings.worldCaustics, 0);
    MV2MenuSendMessage(Current(), kMV2MenuValueChanged, 4, 2);
    EXPECT_EQ(MV2GetShadows(), 2);
    Activate(6); // cancel
    EXPECT_EQ(MV2GetSubtitles(), 0);
    EXPECT_EQ(MV2GetShadows(), 1);
    EXPECT_EQ(gMV2Settings.worldCaustics, 1);
    EXPECT_EQ(Current()->callback, MV2OptionsMenuCallback);

    Activate(3);
    Activate(2); // subtitles 1
    Activate(5); // keep
    EXPECT_EQ(Current()->callback, MV2OptionsMenuCallback);
    MV2SetSubtitles(0);
    EXPECT_EQ(MV2ReadSetting(MV2_SETTING_SUBTITLES), 1);
    EXPECT_EQ(MV2GetSubtitles(), 1);
}

// Leaving the save screen releases its picture and resumes the game, unless the fatal
// warning is up.
TEST_F(ScreensTest, SaveScreenCloses) {
    for (int32_t fatal : {0, 1}) {
        gMV2SaveScreenBackground = TvRasterCreate(8, 8, 16, 0);
        ASSERT_NE(gMV2SaveScreenBackground, nullptr);
        MV2PauseGame(1);
        gMV2Messages.on[kMV2FatalSlot] = fatal;
        MV2DrawSaveScreenBackground();
        MV2CloseSaveScreen();
        EXPECT_EQ(gMV2SaveScreenBackground, nullptr);
        EXPECT_EQ(gMV2Paused, fatal) << fatal;
        gMV2Messages.on[kMV2FatalSlot] = 0;
        MV2PauseGame(0);
    }
}

} // namespace
