#include "shell/controls.h"

#include "platform/win32/win32.h"
#include "platform/winmm/winmm.h"
#include "shell/cursor.h"
#include "shell/events.h"
#include "shell/gamestate.h"
#include "shell/input.h"
#include "tests/support/controls_writer.h"
#include "tests/support/data_folder.h"
#include "tests/support/null_device.h"

#include <gtest/gtest.h>

#include <cstring>
#include <sys/stat.h>

namespace {

class ControlsTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(engine.ok());
        PlatformUseManualClock(true, 10000);
        PlatformClearMessageBoxes();
        MV2ResetKeyStates();
        MV2ClearBindings();
        MV2ClearInputTable();
        std::memset(gMV2Controls.enabled, 1, sizeof gMV2Controls.enabled);
        gMV2Controls.disabledCount = 0;
        std::memset(gMV2Controls.actions, 0, sizeof gMV2Controls.actions);
        for (auto& curve : gMV2Controls.curves)
            for (float& v : curve)
                v = 1.0f;
        gMV2Controls.enableTime = 0;
        gMV2Controls.consoleFlag = 0;
    }
    void TearDown() override {
        MV2ClearBindings();
        MV2ShutdownControls();
        MV2SetEventCallback(nullptr);
        PlatformUseManualClock(false);
    }
    std::string Write(const ControlsFile& file) {
        return folder.Write("ctrls_pc.con", WriteControlsFile(file));
    }
    void Key(uint32_t code, bool down) {
        MV2ControlsEventHandler(down ? MV2_EVENT_KEY_DOWN : MV2_EVENT_KEY_UP, 0, 0,
                                int32_t(code));
    }

    NullEngine engine;
    DataFolder folder;
};

TEST_F(ControlsTest, ReadsHandWrittenBytes) {
    // Version, one section (id 2) with one axis binding of one item, one curve.
    std::vector<uint8_t> bytes = {
        0x04, 0x00, 0x01, 0x00, 0x01, 0x00, 0x00, 0x00, // version 0x10004, 1 section
        0x02, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, // section 2, 1 binding
        0x06, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, // action 6, scale 2.0
        0x01, 0x00, 0x00, 0x00,                         // axis flag
        0x07, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, 0x09, 0x00, 0x00, 0x00, // axis words
        0x01, 0x00, 0x00, 0x00,                                                 // 1 item
        0x2C, 0x01, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00,
        0xFE, 0xFF, 0xFF, 0xFF, // code 300, wanted 1, edge mode 1, word -2
        0x01, 0x00, 0x00, 0x00, 0x05, 0x00, 0x00, 0x00, // 1 curve, index 5
    };
    bytes.insert(bytes.end(), 256, 0xAA); // skipped
    for (int i = 0; i < 256; ++i) {
        const uint8_t half[4] = {0x00, 0x00, 0x00, 0x3F}; // 0.5
        bytes.insert(bytes.end(), half, half + 4);
    }
    folder.Write("ctrls_pc.con", bytes);
    ASSERT_EQ(MV2ReadControlFile(".\\CTRLS_PC.CON"), 1);
    const MV2ControlSection& s = gMV2Controls.sections[2];
    ASSERT_EQ(s.count, 1);
    const MV2ControlBinding* b = s.first;
    EXPECT_EQ(b->action, 6);
    EXPECT_EQ(b->scale, 2.0f);
    EXPECT_EQ(b->axisWords[0], 7);
    EXPECT_EQ(b->axisWords[1], 5);
    EXPECT_EQ(b->axisWords[2], 9);
    ASSERT_EQ(b->itemCount, 1);
    EXPECT_EQ(b->items->code, 300);
    EXPECT_EQ(b->items->edgeMode, 1);
    EXPECT_EQ(b->items->word3, -2);
    EXPECT_EQ(gMV2Controls.curves[5][100], 0.5f);
    EXPECT_EQ(gMV2Controls.curves[4][100], 1.0f);
}

TEST_F(ControlsTest, WriteThenReadKeepsEveryBindingAndTheFileIsReadOnly) {
    MV2ControlBinding* b = MV2AddBinding(4, 14, 1.5f);
    MV2AddBindingItem(b, 0x80, 1, 0);
    MV2AddBindingItem(b, 300, 0, 1)->word3 = 77;
    MV2ControlBinding* axis = MV2AddBinding(17, 30, 0.25f);
    axis->axisFlag = 1;
    axis->axisWords[1] = 0;
    gMV2Controls.curves[11][3] = 0.75f;
    std::string path = folder.path() + "/ctrls_pc.con";
    ASSERT_EQ(MV2WriteControlFile(".\\ctrls_pc.con"), 1);
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 0222, 0u);
    // Writing again makes the file writable first.
    ASSERT_EQ(MV2WriteControlFile(".\\ctrls_pc.con"), 1);

    MV2ClearBindings();
    gMV2Controls.curves[11][3] = 1.0f;
    ASSERT_EQ(MV2ReadControlFile(".\\ctrls_pc.con"), 1);
    ASSERT_EQ(gMV2Controls.sections[4].count, 1);
    const MV2ControlBinding* r = gMV2Controls.sections[4].first;
    EXPECT_EQ(r->action, 14);
    EXPECT_EQ(r->scale, 1.5f);
    ASSERT_EQ(r->itemCount, 2);
    EXPECT_EQ(r->items->next->code, 300);
    EXPECT_EQ(r->items->next->word3, 77);
    ASSERT_EQ(gMV2Controls.sections[17].count, 1);
    EXPECT_EQ(gMV2Controls.sections[17].first->axisFlag, 1u);
    EXPECT_EQ(gMV2Controls.curves[11][3], 0.75f);
}

TEST_F(ControlsTest, WithoutBindingsNothingIsWrittenAndTheUsersFileIsKept) {
    folder.Write("ctrls_pc.con", std::string("mine"));
    EXPECT_EQ(MV2WriteControlFile(".\\ctrls_pc.con"), 0);
    EXPECT_EQ(folder.Read("ctrls_pc.con").size(), 4u);
}

TEST_F(ControlsTest, BadFilesAreRefusedAndTheBindingsStayAsTheyWere) {
    MV2AddBindingItem(MV2AddBinding(0, 9, 1.0f), 'a', 1, 0);
    auto file = [](auto change) {
        ControlsFile f;
        f.sections = {{1, {{14, 1.0f, false, {0, 0, 0}, {{0x80}}}}}};
        change(f);
        return f;
    };
    struct Case {
        const char* what;
        ControlsFile f;
    } cases[] = {
        {"section id 18", file([](ControlsFile& f) { f.sections[0].id = 18; })},
        {"action 57", file([](ControlsFile& f) { f.sections[0].bindings[0].action = 57; })},
        {"action -1", file([](ControlsFile& f) { f.sections[0].bindings[0].action = -1; })},
        {"axis 12", file([](ControlsFile& f) {
             f.sections[0].bindings[0].axis = true;
             f.sections[0].bindings[0].axisWords[1] = 12;
         })},
        {"input code 512",
         file([](ControlsFile& f) { f.sections[0].bindings[0].items[0].code = 512; })},
        {"curve 12", file([](ControlsFile& f) { f.curves.push_back({12, {}}); })},
    };
    for (const Case& c : cases) {
        Write(c.f);
        EXPECT_EQ(MV2ReadControlFile(".\\ctrls_pc.con"), 0) << c.what;
    }
    // Counts beyond the file: every cut of a good file is refused.
    ControlsFile good = file([](ControlsFile& f) { f.curves.push_back({3, {}}); });
    std::vector<uint8_t> bytes = WriteControlsFile(good);
    for (size_t cut : {size_t(6), size_t(12), size_t(30), bytes.size() - 1}) {
        folder.Write("ctrls_pc.con", std::vector<uint8_t>(bytes.begin(), bytes.begin() + cut));
        EXPECT_EQ(MV2ReadControlFile(".\\ctrls_pc.con"), 0) << cut;
    }
    EXPECT_EQ(gMV2Controls.sections[0].count, 1);
    EXPECT_EQ(gMV2Controls.sections[0].first->action, 9);
    EXPECT_EQ(gMV2Controls.sections[1].count, 0);
    EXPECT_TRUE(PlatformMessageBoxes().empty());
    EXPECT_EQ(MV2ReadControlFile(".\\missing.con"), 0);
}

TEST_F(ControlsTest, AnOldVersionIsOutOfDate) {
    ControlsFile f;
    f.version = 0x10003;
    Write(f);
    EXPECT_EQ(MV2ReadControlFile(".\\ctrls_pc.con"), 0);
    ASSERT_EQ(PlatformMessageBoxes().size(), 1u);
    EXPECT_EQ(PlatformMessageBoxes()[0].text, "Control File out of date");
    EXPECT_EQ(PlatformMessageBoxes()[0].caption, "Marovant Error !");
}

TEST_F(ControlsTest, HeldStateEdgesAndTheHoldOffAfterAReset) {
    MV2AddBindingItem(MV2AddBinding(0, 1, 1.0f), 'w', 1, 0);   // held
    MV2AddBindingItem(MV2AddBinding(0, 2, 1.0f), 'w', 0, 1);   // on release
    MV2AddBindingItem(MV2AddBinding(0, 3, 3.0f), 'e', 1, 1);   // on press
    Key('w', true);
    Key('e', true);
    MV2ProcessControls(0);
    EXPECT_TRUE(MV2GetAction(1).active);
    EXPECT_EQ(MV2GetAction(1).value, 1.0f);
    EXPECT_FALSE(MV2GetAction(2).active);
    EXPECT_TRUE(MV2GetAction(3).active);
    EXPECT_EQ(MV2GetAction(3).value, 3.0f);
    MV2ProcessControls(0);
    EXPECT_FALSE(MV2GetAction(3).active); // the press edge fired once
    Key('w', false);
    MV2ProcessControls(0);
    EXPECT_FALSE(MV2GetAction(1).active);
    EXPECT_TRUE(MV2GetAction(2).active);
    MV2ProcessControls(0);
    EXPECT_FALSE(MV2GetAction(2).active);

    // A key held across a screen change stays dead until released and the time has passed.
    Key('w', true);
    MV2ResetControls(timeGetTime() + kMV2ControlsHoldOffMs);
    MV2ProcessControls(0);
    EXPECT_FALSE(MV2GetAction(1).active);
    PlatformAdvanceClock(200);
    MV2ProcessControls(0);
    EXPECT_FALSE(MV2GetAction(1).active); // still held since the reset
    Key('w', false);
    MV2ProcessControls(0); // the release edge
    MV2ProcessControls(0); // up with no edge: enabled
    Key('w', true);
    MV2ProcessControls(0);
    EXPECT_TRUE(MV2GetAction(1).active);

    // Released at once but pressed again before the time: still dead.
    MV2ResetControls(timeGetTime() + kMV2ControlsHoldOffMs);
    Key('w', false);
    MV2ProcessControls(0);
    Key('w', true);
    MV2ProcessControls(0);
    EXPECT_FALSE(MV2GetAction(1).active);
}

TEST_F(ControlsTest, AxesMouseButtonsAndJoystickButtons) {
    MV2ControlBinding* mouse = MV2AddBinding(2, 30, 2.0f);
    mouse->axisFlag = 1;
    mouse->axisWords[1] = 0;
    MV2ControlBinding* stick = MV2AddBinding(2, 6, 0.5f);
    stick->axisFlag = 1;
    stick->axisWords[1] = 5; // the joystick's Z
    MV2AddBindingItem(MV2AddBinding(2, 28, 1.0f), kMV2MouseButtonCode + 1, 1, 0);
    MV2AddBindingItem(MV2AddBinding(2, 20, 1.0f), 400 + 20 * 1 + 19, 1, 0); // stick 2 button 19
    gMV2Controls.curves[5][255] = 0.25f;
    gMV2Controls.curves[5][127] = 4.0f;

    POINT move = {-3, 7};
    MV2ControlsEventHandler(MV2_EVENT_MOUSE_MOVE, 0, reinterpret_cast<intptr_t>(&move), 0);
    MV2JoystickState js = {};
    js.z = 2.0f;
    MV2ControlsEventHandler(MV2_EVENT_JOYSTICK, 0, reinterpret_cast<intptr_t>(&js), 1);
    MV2JoystickState js2 = {};
    js2.buttons = 1u << 19 | 1u << 20; // bit 20 is not a button of the game
    MV2ControlsEventHandler(MV2_EVENT_JOYSTICK, 0, reinterpret_cast<intptr_t>(&js2), 2);
    MV2ControlsEventHandler(MV2_EVENT_RBUTTON_DOWN, 0, 0, 0);
    MV2ProcessControls(2);
    EXPECT_EQ(MV2GetAction(30).value, -6.0f);
    EXPECT_EQ(MV2GetAction(30).axis, 1);
    // 2.0 x 255 looks up the last entry of curve 5.
    EXPECT_EQ(MV2GetAction(6).value, 0.25f * 0.5f * 2.0f);
    EXPECT_TRUE(MV2GetAction(28).active);
    EXPECT_TRUE(MV2GetAction(20).active);
    EXPECT_EQ(gMV2Controls.state[440], 0); // 400 + 20 x 2: joystick 3's first button
    // The axes are active only in the frame their event came.
    MV2ProcessControls(2);
    EXPECT_FALSE(MV2GetAction(30).active);
    EXPECT_FALSE(MV2GetAction(6).active);
    js.z = -0.5f;
    MV2ControlsEventHandler(MV2_EVENT_JOYSTICK, 0, reinterpret_cast<intptr_t>(&js), 1);
    MV2ProcessControls(2);
    EXPECT_EQ(MV2GetAction(6).value, 4.0f * 0.5f * -0.5f);
}

TEST_F(ControlsTest, SectionHandlersAndOutOfRangeSections) {
    // Sections 7, 8, 11: confirm in the title cut-scene goes to the top menu.
    MV2AddBindingItem(MV2AddBinding(8, 14, 1.0f), 0xAB, 1, 0);
    MV2AddBindingItem(MV2AddBinding(7, 51, 1.0f), 0x20, 1, 0);
    gMV2GameState = {7, 0, 7, 8};
    gMV2GameStateCompanion.requestedSequence = 8;
    MV2ProcessControls(8);
    EXPECT_EQ(gMV2GameState.requested, 7);
    Key(0xAB, true);
    MV2ProcessControls(8);
    EXPECT_EQ(gMV2GameState.requested, 8);
    EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 7);
    EXPECT_EQ(gMV2Controls.skipRequest, 1);
    // State 6: the prompt gives way to space.
    gMV2GameState = {8, 0, 8, 6};
    gMV2GameStateCompanion.requestedSequence = 6;
    Key(0x20, true);
    MV2ProcessControls(7);
    EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 7);

    // Section 1 shows the cursor and drives its buttons.
    MV2ResetMouseCursor();
    MV2AddBindingItem(MV2AddBinding(1, 28, 1.0f), kMV2MouseButtonCode, 1, 0);
    MV2ControlsEventHandler(MV2_EVENT_LBUTTON_DOWN, 0, 0, 0);
    MV2ProcessControls(1);
    EXPECT_TRUE(MV2IsMouseCursorShown());
    EXPECT_EQ(gMV2MouseCursor.buttons[0].held, 1);
    EXPECT_EQ(gMV2MouseCursor.mode, 0);
    MV2ResetMouseCursor();

    testing::internal::CaptureStderr();
    MV2ProcessControls(18);
    MV2ProcessControls(-1);
    EXPECT_EQ(testing::internal::GetCapturedStderr(),
              "ControlSectionHandler does not exist\nControlSectionHandler does not exist\n");
    gMV2GameState = {0, 0, 0, -1};
    gMV2GameStateCompanion.requestedSequence = 0;
}

TEST_F(ControlsTest, BindableKeysByLayout) {
    struct Case {
        int32_t layout, code, bindable;
    } cases[] = {{0, 300, 1}, {0, 97, 1},  {0, 108, 0}, {0, 122, 1}, {0, 141, 1}, {0, 168, 0},
                 {0, 174, 0}, {0, 175, 1}, {0, 92, 1},  {7, 92, 0},  {1, 249, 1}, {2, 249, 0},
                 {2, 228, 1}, {3, 232, 1}, {3, 39, 0},  {5, 39, 1}};
    for (const Case& c : cases) {
        gMV2Controls.layout = c.layout;
        EXPECT_EQ(MV2IsKeyBindable(c.code), c.bindable) << c.layout << " " << c.code;
    }
    gMV2Controls.layout = 0;
}

TEST_F(ControlsTest, InitialiseChoosesTheLayoutAndRoutesPlatformEvents) {
    MV2InitialiseControls();
    EXPECT_EQ(gMV2Events.callback, MV2ControlsEventHandler);
    EXPECT_EQ(gMV2Events.keyboardEvents, 1);
    EXPECT_EQ(gMV2Events.timerQueries, 1);
    Key(0x81, true);
    EXPECT_EQ(MV2TestKeyState(0x81, MV2_KEY_HELD), 1);
    // A raw key goes through the keyboard table to a translated key event.
    MV2ControlsEventHandler(MV2_EVENT_RAW_KEY_DOWN, 0, 0, 0x3C);
    EXPECT_EQ(MV2TestKeyState(0x82, MV2_KEY_HELD), 1);
    MV2FindBinding(nullptr, 0);
    MV2ControlBinding* first = MV2AddBinding(5, 9, 1.0f);
    MV2AddBinding(5, 3, 1.0f);
    MV2ControlBinding* second = MV2AddBinding(5, 9, 1.0f);
    EXPECT_EQ(MV2FindBinding(&gMV2Controls.sections[5], 9), first);
    EXPECT_EQ(MV2FindNextBinding(first, 9), second);
    EXPECT_EQ(MV2FindNextBinding(second, 9), nullptr);
}

} // namespace
