#include "engine/core/engine.h"
#include "platform/win32/registry.h"
#include "platform/win32/win32.h"
#include "platform/winmm/winmm.h"
#include "shell/cursor.h"
#include "shell/enginestart.h"
#include "shell/errors.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/render.h"
#include "shell/window.h"
#include "tests/support/null_device.h"

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {

std::vector<int> g_attached;

template <int N, int Result> int32_t Attach() {
    g_attached.push_back(N);
    return Result;
}

class EngineStartTest : public ::testing::Test {
protected:
    void SetUp() override {
        saved = {};
        for (int i = 0; i < kMV2PluginAttaches; ++i)
            saved[size_t(i)] = gMV2PluginAttaches[i];
        g_attached.clear();
        PlatformClearMessageBoxes();
        char tmpl[] = "/tmp/marovant-cfg-XXXXXX";
        config = mkdtemp(tmpl);
        setenv("XDG_CONFIG_HOME", config.c_str(), 1);
        NullDeviceInstall();
    }
    void TearDown() override {
        MV2EngineStop();
        if (!gMV2EngineStarted) {
            TvEngineStop();
            TvEngineClose();
            TvEngineTerm();
        }
        NullDeviceRemove();
        for (int i = 0; i < kMV2PluginAttaches; ++i)
            gMV2PluginAttaches[i] = saved[size_t(i)];
        PlatformSetVersionPlatformId(1);
        PlatformSetMessageBoxAnswer(0);
        std::filesystem::remove_all(config);
    }
    std::array<MV2PluginAttach, kMV2PluginAttaches> saved;
    std::string config;
};

TEST_F(EngineStartTest, AttachOrderFailureLinesAndTheStartedEngine) {
    gMV2PluginAttaches[0] = {Attach<0, 1>, "zero failed\n"};
    gMV2PluginAttaches[3] = {Attach<3, 0>, "three failed\n"};
    gMV2PluginAttaches[9] = {Attach<9, 0>, "nine failed\n"};
    testing::internal::CaptureStderr();
    ASSERT_EQ(MV2EngineStart(nullptr, nullptr), 1);
    std::string err = testing::internal::GetCapturedStderr();
    EXPECT_EQ(g_attached, (std::vector<int>{0, 3, 9}));
    EXPECT_NE(err.find("three failed\nnine failed\n"), std::string::npos) << err;
    EXPECT_EQ(gMV2EngineStarted, 1);
    EXPECT_TRUE(PlatformMessageBoxes().empty());
    // Play was answered: both list texts are in the settings, the request is the mode's.
    HKEY key = nullptr;
    ASSERT_EQ(RegOpenKeyExA(HKEY_CURRENT_USER, "Software\\Halvern Studios\\Marovant", 0, KEY_READ,
                            &key),
              ERROR_SUCCESS);
    char text[64] = "";
    DWORD size = sizeof text;
    EXPECT_EQ(RegQueryValueExA(key, "VideoResolution", nullptr, nullptr,
                               reinterpret_cast<LPBYTE>(text), &size),
              ERROR_SUCCESS);
    EXPECT_STREQ(text, "640 x 480 x 16");
    RegCloseKey(key);
    EXPECT_EQ(gMV2DisplayRequest.width, 640);
    EXPECT_EQ(gMV2DisplayRequest.flags, 1u);
    MV2EngineStop();
    EXPECT_EQ(gMV2EngineStarted, 0);
    MV2EngineStop(); // nothing started: nothing happens
}

TEST_F(EngineStartTest, TheSystemWarningGoesOnWithOkAndEndsWithCancel) {
    PlatformSetVersionPlatformId(2);
    PlatformSetMessageBoxAnswer(IDCANCEL);
    EXPECT_EQ(MV2EngineStart(nullptr, nullptr), 0);
    ASSERT_EQ(PlatformMessageBoxes().size(), 1u);
    EXPECT_EQ(PlatformMessageBoxes()[0].caption, "Marovant");
    EXPECT_EQ(PlatformMessageBoxes()[0].type, UINT(0x31));
    TvEngineTerm();
    PlatformClearMessageBoxes();
    PlatformSetMessageBoxAnswer(IDOK);
    EXPECT_EQ(MV2EngineStart(nullptr, nullptr), 1);
    EXPECT_EQ(PlatformMessageBoxes().size(), 1u);
}

TEST(VideoModes, WindowedRequestsFitLargerModesFullScreenOnlyExact) {
    NullEngine engine;
    ASSERT_TRUE(engine.ok());
    NullDeviceGet().modes = {{800, 600, 16, 0}, {640, 480, 16, 1}, {1024, 768, 32, 1}};
    EXPECT_EQ(MV2FindVideoMode(640, 480, 16, 0), 1);
    EXPECT_EQ(MV2FindVideoMode(640, 480, 32, 0), 0);
    EXPECT_EQ(MV2FindVideoMode(640, 480, 16, 1), 1);
    EXPECT_EQ(MV2FindVideoMode(800, 600, 16, 1), 0);
    EXPECT_EQ(MV2FindVideoMode(1024, 768, 32, 1), 1);

    // The list: windowed modes and odd sizes never; 640 by 768 passes the size tests.
    NullDeviceGet().modes = {{640, 480, 16, 0},  {1280, 1024, 16, 1}, {640, 480, 16, 1},
                             {800, 600, 24, 1},  {640, 768, 32, 1},   {1024, 768, 16, 1}};
    gMV2ConfigDialog.selectedMode = 0; // a windowed mode: 640 x 480 x 16 is chosen instead
    MV2ConfigDialog dialog;
    MV2FillResolutionList(&dialog);
    std::vector<std::string> texts;
    for (const MV2DialogItem& item : dialog.resolutions.items)
        texts.push_back(item.text);
    EXPECT_EQ(texts, (std::vector<std::string>{"640 x 480 x 16", "640 x 768 x 32",
                                               "1024 x 768 x 16"}));
    EXPECT_EQ(dialog.resolutions.selected, 0);
    EXPECT_EQ(gMV2ConfigDialog.selectedMode, 2);
    MV2ConfigDialogSelect(&dialog, kMV2ResolutionList, 2);
    EXPECT_EQ(gMV2ConfigDialog.selectedMode, 5);
    MV2ConfigDialogSelect(&dialog, kMV2ResolutionList, 7); // no such item
    EXPECT_EQ(gMV2ConfigDialog.selectedMode, 5);
    // A device list of one entry is disabled.
    gMV2ConfigDialog.subsystems = 1;
    MV2ConfigDialog one;
    MV2ConfigDialogInit(&one);
    EXPECT_FALSE(one.devices.enabled);
    MV2ConfigDialogCommand(&one, kMV2DialogExit);
    EXPECT_EQ(one.result, 0);
    gMV2ConfigDialog = {0, 0, -1};
}

class StateMachineTest : public ::testing::Test {
protected:
    void SetUp() override {
        PlatformUseManualClock(true, 1000);
        PlatformClearMessageBoxes();
        MV2ResetMouseCursor();
        gMV2StateMachine.cameraReturn = gMV2StateMachine.consoleReturn = 0;
    }
    void TearDown() override {
        gMV2GameState = {0, 0, 0, -1};
        gMV2GameStateCompanion.requestedSequence = 0;
        MV2ResetMouseCursor();
        PlatformUseManualClock(false);
        gMV2StateMachine.passes = 0;
    }
    void Switch(int8_t from, int8_t to) {
        gMV2GameState.current = from;
        gMV2GameState.requested = to;
        MV2SetGameMode();
    }
    NullEngine engine;
};

TEST_F(StateMachineTest, LeaveAndEnterCases) {
    struct Case {
        int8_t from, to;
        int32_t cameraReturn;
        bool consoleEntered; // the cursor is shown and the mode is 9 at once
    } cases[] = {{0, 9, 0, true}, {9, 10, 0, false}, {10, 9, 0, false}, {10, 9, 1, false},
                 {8, 9, 0, true}};
    for (const Case& c : cases) {
        MV2ResetMouseCursor();
        gMV2StateMachine.cameraReturn = c.cameraReturn;
        Switch(c.from, c.to);
        EXPECT_EQ(MV2IsMouseCursorShown(), c.consoleEntered) << int(c.from) << "->" << int(c.to);
    }
    // Mode 0 from 1 or 12: no enter actions (the cursor is not hidden).
    for (int8_t from : {1, 12}) {
        MV2ResetMouseCursor();
        MV2ShowMouseCursor();
        MV2ShowMouseCursor();
        Switch(from, 0);
        EXPECT_EQ(gMV2MouseCursor.showCount, from == 1 ? 1 : 2) << int(from);
    }
    // Mode 14 with a level that cannot start.
    Switch(8, 14);
    ASSERT_EQ(PlatformMessageBoxes().size(), 1u);
    EXPECT_EQ(PlatformMessageBoxes()[0].text, "Couldn't start a one player game");
}

TEST_F(StateMachineTest, SequenceZeroWaitsFromTheSecondPassAndSixFallsBackToZero) {
    gMV2GameState = {8, 0, 8, 0};
    gMV2GameStateCompanion.requestedSequence = 0;
    gMV2StateMachine.passes = 0;
    MV2UpdateGameState();
    PlatformAdvanceClock(500);
    MV2UpdateGameState(); // the second pass notes the start
    PlatformAdvanceClock(3000);
    MV2UpdateGameState();
    EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 0);
    PlatformAdvanceClock(1);
    MV2UpdateGameState();
    EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 1);
    EXPECT_EQ(gMV2GameState.requested, 11);

    gMV2GameState.sequence = 6;
    gMV2GameStateCompanion.requestedSequence = 6;
    gMV2StateMachine.passes = 0;
    for (int i = 0; i < 600; ++i)
        MV2UpdateGameState();
    EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 6);
    MV2UpdateGameState();
    EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 0);
    EXPECT_EQ(gMV2GameState.requested, 8);
    EXPECT_EQ(MV2GetMissionObjectA(), nullptr);
}

TEST(CommandLine, WordsAndFlags) {
    struct Case {
        const char* line;
        int32_t editing, rebuild;
        int messages;
    } cases[] = {
        {"-EDIT", 1, 0, 0},          {"-edits", 0, 0, 1},        {"-ed", 0, 0, 1},
        {"-data", 0, 1, 0},          {"edit data", 0, 0, 0},     {"-mouse -utalk", 0, 0, 1},
        {"\"-a b\" -edit", 1, 0, 1}, {"--edit", 1, 0, 0},        {"-x-edit", 1, 0, 0},
        {"", 0, 0, 0},
    };
    for (const Case& c : cases) {
        gMV2MainLoop.editing = gMV2MainLoop.dataRebuild = 0;
        testing::internal::CaptureStderr();
        MV2ParseCommandLine(c.line);
        std::string err = testing::internal::GetCapturedStderr();
        EXPECT_EQ(err.substr(0, std::string(c.line).size() + 1), std::string(c.line) + "\n");
        int messages = 0;
        for (size_t at = 0; (at = err.find("Unrecognised command line option\n", at)) !=
                            std::string::npos;
             ++at)
            ++messages;
        EXPECT_EQ(gMV2MainLoop.editing, c.editing) << c.line;
        EXPECT_EQ(gMV2MainLoop.dataRebuild, c.rebuild) << c.line;
        EXPECT_EQ(messages, c.messages) << c.line;
    }
    gMV2MainLoop.editing = gMV2MainLoop.dataRebuild = 0;
}

TEST(FarClip, OneKeepsTheDerivedValuesFinite) {
    MV2StoreFarClip(1.0f);
    EXPECT_EQ(gMV2FarClip.inverseMinusOne, 0.0f);
    EXPECT_EQ(gMV2FarClip.minusOneSquared, 0.0f);
    MV2StoreFarClip(30.0f);
    EXPECT_FLOAT_EQ(gMV2FarClip.inverseMinusOne, 1.0f / 29.0f);
}

} // namespace

namespace {

TEST(ClosingPicture, AKeyInTheFirstSevenSecondsEndsItNotInTheLastThree) {
    PlatformUseManualClock(true, 50000);
    gMV2Window.quitSeen = 0;
    struct Case {
        uint32_t keyAt; // ms after the start; 0: no key
        uint32_t endsAt;
    } cases[] = {{1000, 1000}, {6900, 6900}, {7500, 10000}, {0, 10000}};
    for (const Case& c : cases) {
        uint32_t start = timeGetTime(), end = start + 10000, key = 0;
        gMV2Window.lastKey = 0;
        uint32_t at = 0;
        while (MV2ClosingPicturePass(nullptr, end, &key)) {
            PlatformAdvanceClock(100);
            at = timeGetTime() - start;
            if (c.keyAt && at == c.keyAt) gMV2Window.lastKey = 0x1C;
            ASSERT_LE(at, 10100u);
        }
        EXPECT_EQ(timeGetTime() - start, c.endsAt) << c.keyAt;
    }
    gMV2Window.lastKey = 0;
    PlatformUseManualClock(false);
}

} // namespace

namespace {

TEST(SceneLight, BrightnessBetweenFloorAndSurfaceWithinItsBounds) {
    struct Case {
        float height, floor, surface, day, expected;
    } cases[] = {
        {50, 0, 100, 1.0f, 0.5f}, {100, 0, 100, 0.5f, 0.5f}, {0, 0, 100, 1.0f, 0.2f},
        {300, 0, 100, 1.0f, 1.0f}, {7, 5, 5, 1.0f, 1.0f}, // a surface on the floor: full
    };
    for (const Case& c : cases)
        EXPECT_FLOAT_EQ(MV2SceneBrightness(c.height, c.floor, c.surface, c.day), c.expected)
            << c.height << " " << c.floor << " " << c.surface;
}

} // namespace
