#include "shell/errors.h"

#include "platform/win32/win32.h"
#include "shell/controls.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/savegame.h"
#include "shell/window.h"
#include "tests/game/shell_fixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

namespace {

class MessagesTest : public ShellTest {
protected:
    void SetUp() override {
        ShellTest::SetUp();
        MV2ResetMessages();
        gMV2Paused = 0;
        gMV2Save.savingForbidden = 0;
        gMV2GameState = {0, 0, 0, -1};
        std::memset(gMV2Controls.actions, 0, sizeof gMV2Controls.actions);
    }
    void TearDown() override {
        MV2ResetMessages();
        gMV2Paused = 0;
        gMV2Save.savingForbidden = 0;
        gMV2GameState = {0, 0, 0, -1};
        std::memset(gMV2Controls.actions, 0, sizeof gMV2Controls.actions);
        ShellTest::TearDown();
    }
    // One input step with the given actions active, after the pending redraw.
    int32_t Step(std::initializer_list<int32_t> actions) {
        MV2DrawMessage();
        std::memset(gMV2Controls.actions, 0, sizeof gMV2Controls.actions);
        for (int32_t a : actions)
            gMV2Controls.actions[a].active = 1;
        return MV2UpdateMessage();
    }
};

TEST_F(MessagesTest, TheHighestSlotShowsAndClosingItShowsTheNextOne) {
    MV2ShowMessage(8, 1, 0, nullptr);
    EXPECT_EQ(gMV2Paused, 1);
    MV2ShowMessage(3, 1, 0, nullptr); // lower: 8 stays shown
    EXPECT_EQ(gMV2Messages.current, 8);
    EXPECT_EQ(gMV2Messages.textId, 652);
    MV2ShowMessage(8, 0, 0, nullptr);
    EXPECT_EQ(gMV2Messages.current, 3);
    EXPECT_EQ(gMV2Messages.textId, 1387);
    // Slot 3 uses set 9, which starts on its second button.
    EXPECT_EQ(gMV2Messages.sets[9].current, 2);
    EXPECT_EQ(Step({34}), 1); // left, to 1
    EXPECT_EQ(gMV2Messages.sets[9].current, 1);
    Step({34});
    EXPECT_EQ(gMV2Messages.sets[9].current, 1); // not below 1
    MV2ShowMessage(3, 1, 0, nullptr);           // already on: the selection stays
    EXPECT_EQ(gMV2Messages.sets[9].current, 1);
    Step({35});
    Step({35});
    EXPECT_EQ(gMV2Messages.sets[9].current, 2); // not above the button count
    EXPECT_EQ(Step({14}), 1);
    EXPECT_EQ(gMV2Messages.showing, 0);
    EXPECT_EQ(gMV2Paused, 0);
    EXPECT_EQ(MV2UpdateMessage(), 0);
    // An off for a slot that is not current only clears it.
    MV2ShowMessage(20, 1, 0, nullptr);
    MV2ShowMessage(4, 1, 0, nullptr);
    MV2ShowMessage(4, 0, 0, nullptr);
    EXPECT_EQ(gMV2Messages.current, 20);
    EXPECT_EQ(gMV2Messages.on[4], 0);
}

TEST_F(MessagesTest, ConfirmsBySlotAndOutOfRangeSlots) {
    MV2ShowMessage(6, 1, 0, nullptr);
    Step({14});
    EXPECT_EQ(gMV2GameState.requested, 14);
    gMV2GameState.requested = 0;
    MV2ShowMessage(9, 1, 0, nullptr); // set 5: first button selected
    Step({35});
    Step({14});
    EXPECT_EQ(gMV2GameState.requested, 0); // the second button
    // Slot 12 closes at once and goes to the title menu.
    MV2ShowMessage(12, 1, 0, nullptr);
    Step({});
    EXPECT_EQ(gMV2GameState.requested, 8);
    EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 7);
    EXPECT_EQ(gMV2Messages.showing, 0);
    // Action 29 closes a two-button message; a buttonless one stays on confirm.
    MV2ShowMessage(10, 1, 0, nullptr);
    Step({29});
    EXPECT_EQ(gMV2Messages.showing, 0);
    MV2ShowMessage(14, 1, 0, nullptr);
    Step({14});
    EXPECT_EQ(gMV2Messages.showing, 1);
    MV2ShowMessage(14, 0, 0, nullptr);
    for (int32_t slot : {-1, 26, 1000}) {
        MV2ShowMessage(slot, 1, 0, nullptr);
        EXPECT_EQ(gMV2Messages.showing, 0) << slot;
    }
}

TEST_F(MessagesTest, TheFatalWarningNamesTheLastFileForbidsSavingAndEndsOnQuit) {
    MV2NoteFileName(".\\data\\menu.mv2");
    PostMessageA(hwnd, WM_CLOSE, 0, 0);
    MV2ShowMessage(kMV2FatalSlot, 1, 1, "bad record %d", 7);
    EXPECT_STREQ(gMV2Messages.fatalText, "FATAL WARNING:\nbad record 7\n.\\data\\menu.mv2");
    EXPECT_EQ(gMV2Save.savingForbidden, 1);
    EXPECT_EQ(gMV2MainLoop.frontEnd, 1);
    EXPECT_EQ(gMV2Window.quitSeen, 1);
    EXPECT_EQ(gMV2Messages.showing, 0);
    EXPECT_EQ(gMV2Paused, 0);
}

TEST_F(MessagesTest, MessageTextKeepsTwentyLinesAndAWideWordAlone) {
    char lines[kMV2MessageTextLines][kMV2MessageTextChars + 1];
    // Without glyphs every character is 5 units wide: 4 per line of 20.
    EXPECT_EQ(MV2LayoutMessageText("aa bb cc", 20, lines), 3);
    EXPECT_STREQ(lines[0], "aa");
    EXPECT_STREQ(lines[1], "bb");
    EXPECT_EQ(MV2LayoutMessageText("x abcdefghij y", 20, lines), 3);
    EXPECT_STREQ(lines[1], "abcdefghij"); // wider than the line: alone on its own line
    EXPECT_STREQ(lines[2], "y");
    EXPECT_EQ(MV2LayoutMessageText("one\ntwo", 1000, lines), 2);
    EXPECT_STREQ(lines[1], "two");
    std::string many(200, '\n');
    many.insert(0, "x");
    EXPECT_EQ(MV2LayoutMessageText(many.c_str(), 1000, lines), 20);
    std::string longText(5000, 'y');
    EXPECT_EQ(MV2LayoutMessageText(longText.c_str(), 1000000, lines), 1);
    EXPECT_EQ(std::strlen(lines[0]), size_t(kMV2MessageTextChars));
    EXPECT_EQ(MV2DrawMessageText("a\nb", 0, 0, 100, 0), (2 * 5 + 5) * 4);
    EXPECT_EQ(MV2DrawMessageText(nullptr, 0, 0, 100, 0), 20);
}

} // namespace
