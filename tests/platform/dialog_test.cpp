// The dialog model: templates, the procedure's messages, drop-down lists with item data, and
// the headless answer (after WM_INITDIALOG, the default push button).
#include "platform/win32/dialog.h"
#include "platform/win32/win32.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

constexpr int kTemplate = 7001, kList = 10, kLabel = 11;

struct Seen {
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
};
std::vector<Seen> g_seen;
INT_PTR g_endWith = 42; // what the default button ends the dialog with; 0: it does not end it

INT_PTR RecordingProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message != WM_INITDIALOG && message != WM_COMMAND) return FALSE;
    g_seen.push_back({message, wParam, lParam});
    if (message == WM_INITDIALOG) {
        HWND list = GetDlgItem(dialog, kList);
        for (const char* text : {"alpha", "Beta", "gamma", "beta"}) {
            LRESULT item = SendMessageA(list, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text));
            SendMessageA(list, CB_SETITEMDATA, WPARAM(item), 100 + item);
        }
        return TRUE;
    }
    if (message == WM_COMMAND && LOWORD(wParam) == IDOK && g_endWith) EndDialog(dialog, g_endWith);
    if (message == WM_COMMAND && LOWORD(wParam) == IDCANCEL) EndDialog(dialog, IDCANCEL);
    return TRUE;
}

class DialogModelTest : public ::testing::Test {
protected:
    void SetUp() override {
        g_seen.clear();
        g_endWith = 42;
        PlatformRegisterDialog(
            kTemplate,
            {"Test",
             "MS Sans Serif",
             8,
             200,
             100,
             {{IDOK, PlatformDialogControlKind::DefaultPushButton, "&Go", 10, 80, 50, 14},
              {IDCANCEL, PlatformDialogControlKind::PushButton, "&Stop", 70, 80, 50, 14},
              {kList, PlatformDialogControlKind::DropDownList, "", 10, 10, 100, 60},
              {kLabel, PlatformDialogControlKind::Label, "Fish && chips", 10, 30, 80, 10}}});
        PlatformRegisterString(9001, "Software\\Test");
    }
    void TearDown() override { PlatformSetDialogHook(nullptr); }
    INT_PTR Run(std::function<void(HWND)> hook) {
        PlatformSetDialogHook(std::move(hook));
        return DialogBoxParamA(nullptr, MAKEINTRESOURCEA(kTemplate), nullptr, RecordingProc, 77);
    }
};

TEST_F(DialogModelTest, InitialiseThenTheDefaultButtonThroughTheProcedure) {
    HWND seenDialog = nullptr;
    EXPECT_EQ(Run([&](HWND dialog) { seenDialog = dialog; }), 42);
    ASSERT_EQ(g_seen.size(), 2u);
    EXPECT_EQ(g_seen[0].message, UINT(WM_INITDIALOG));
    EXPECT_EQ(g_seen[0].lParam, 77);
    EXPECT_EQ(g_seen[1].message, UINT(WM_COMMAND));
    EXPECT_EQ(g_seen[1].wParam, MAKEWPARAM(IDOK, BN_CLICKED));
    EXPECT_NE(g_seen[1].lParam, 0);
    // The dialog and its controls are gone once it has ended.
    EXPECT_FALSE(IsWindow(seenDialog));
    EXPECT_EQ(GetDlgItem(seenDialog, kList), nullptr);

    // A procedure that its default button does not end leaves the dialog with 0.
    g_endWith = 0;
    EXPECT_EQ(Run(nullptr), 0);
    // An unknown template fails without calling the procedure.
    g_seen.clear();
    EXPECT_EQ(DialogBoxParamA(nullptr, MAKEINTRESOURCEA(7999), nullptr, RecordingProc, 0), -1);
    EXPECT_EQ(GetLastError(), ERROR_RESOURCE_NAME_NOT_FOUND);
    EXPECT_TRUE(g_seen.empty());
}

TEST_F(DialogModelTest, DropDownListMessagesAndTexts) {
    INT_PTR result = Run([](HWND dialog) {
        HWND list = GetDlgItem(dialog, kList);
        auto find = [&](WPARAM from, const char* text) {
            return SendMessageA(list, CB_FINDSTRINGEXACT, from, reinterpret_cast<LPARAM>(text));
        };
        EXPECT_EQ(SendMessageA(list, CB_GETCOUNT, 0, 0), 4);
        EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), CB_ERR);
        // Exact text ignoring case, from after the start item round to the beginning.
        EXPECT_EQ(find(WPARAM(-1), "BETA"), 1);
        EXPECT_EQ(find(1, "beta"), 3);
        EXPECT_EQ(find(3, "beta"), 1);
        EXPECT_EQ(find(WPARAM(-1), "bet"), CB_ERR);
        EXPECT_EQ(SendMessageA(list, CB_GETITEMDATA, 2, 0), 102);
        EXPECT_EQ(SendMessageA(list, CB_GETITEMDATA, 4, 0), CB_ERR);
        EXPECT_EQ(SendMessageA(list, CB_SETITEMDATA, 4, 1), CB_ERR);

        char text[8] = "x";
        EXPECT_EQ(GetDlgItemTextA(dialog, kList, text, sizeof text), 0u); // nothing selected
        EXPECT_STREQ(text, "");
        EXPECT_EQ(SendMessageA(list, CB_SETCURSEL, 2, 0), 2);
        EXPECT_EQ(GetDlgItemTextA(dialog, kList, text, 4), 3u); // cut to the buffer
        EXPECT_STREQ(text, "gam");
        EXPECT_EQ(SendMessageA(list, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(text)), 4);
        EXPECT_STREQ(text, "Beta");
        EXPECT_EQ(GetDlgItemTextA(dialog, kLabel, text, sizeof text), 7u);
        EXPECT_STREQ(text, "Fish &&");
        // Out of range clears the selection.
        EXPECT_EQ(SendMessageA(list, CB_SETCURSEL, 9, 0), CB_ERR);
        EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), CB_ERR);
        // List messages mean nothing to other controls.
        EXPECT_EQ(SendMessageA(GetDlgItem(dialog, kLabel), CB_ADDSTRING, 0,
                               reinterpret_cast<LPARAM>("x")),
                  CB_ERR);
        EXPECT_EQ(SendMessageA(list, CB_RESETCONTENT, 0, 0), 0);
        EXPECT_EQ(SendMessageA(list, CB_GETCOUNT, 0, 0), 0);
        EndDialog(dialog, 5);
    });
    EXPECT_EQ(result, 5);
    EXPECT_EQ(g_seen.size(), 1u); // ended by the hook: no default button
}

TEST_F(DialogModelTest, UserChoicesNotifyAndDisabledControlsDoNothing) {
    EXPECT_EQ(Run([](HWND dialog) {
                  HWND list = GetDlgItem(dialog, kList);
                  EXPECT_TRUE(PlatformDialogChoose(dialog, kList, 1));
                  EXPECT_TRUE(PlatformDialogChoose(dialog, kList, 1)); // unchanged: no notice
                  EXPECT_FALSE(PlatformDialogChoose(dialog, kList, 4));
                  EXPECT_FALSE(PlatformDialogChoose(dialog, kLabel, 0));
                  EXPECT_FALSE(PlatformDialogPress(dialog, kList));
                  EXPECT_EQ(EnableWindow(list, FALSE), FALSE);
                  EXPECT_FALSE(IsWindowEnabled(list));
                  EXPECT_FALSE(PlatformDialogChoose(dialog, kList, 2));
                  EXPECT_NE(EnableWindow(list, TRUE), FALSE); // it was disabled
                  EXPECT_EQ(SendMessageA(list, CB_GETCURSEL, 0, 0), 1);
                  // Closing the window is the cancel command.
                  SendMessageA(dialog, WM_CLOSE, 0, 0);
                  EXPECT_TRUE(IsWindow(dialog)); // it ends when DialogBoxParamA returns
              }),
              IDCANCEL);
    ASSERT_EQ(g_seen.size(), 3u);
    EXPECT_EQ(g_seen[1].wParam, MAKEWPARAM(kList, CBN_SELCHANGE));
    EXPECT_NE(g_seen[1].lParam, 0);
    EXPECT_EQ(g_seen[2].wParam, MAKEWPARAM(IDCANCEL, BN_CLICKED));

    // A disabled default button cannot be pressed, so the dialog is left with 0.
    g_seen.clear();
    EXPECT_EQ(Run([](HWND dialog) { EnableWindow(GetDlgItem(dialog, IDOK), FALSE); }), 0);
    EXPECT_EQ(g_seen.size(), 1u);
}

TEST(DialogResources, StringsAndDialogUnits) {
    PlatformRegisterString(9002, "VideoResolution");
    char text[8] = "x";
    EXPECT_EQ(LoadStringA(nullptr, 9002, text, sizeof text), 7);
    EXPECT_STREQ(text, "VideoRe");
    EXPECT_EQ(LoadStringA(nullptr, 9003, text, sizeof text), 0);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(LoadStringA(nullptr, 9002, nullptr, 8), 0);
    // 8-point base units: 7 by 13 pixels per 4 by 8 units.
    PlatformDialogTemplate dialog{"", "MS Sans Serif", 8, 280, 143, {}};
    RECT r = PlatformDialogUnitsToPixels(dialog, {64, 119, 130, 136});
    EXPECT_EQ(r.left, 112);
    EXPECT_EQ(r.top, 193);
    EXPECT_EQ(r.right, 227);
    EXPECT_EQ(r.bottom, 221);
}

} // namespace
