#include "tests/game/shell_fixture.h"

using ::testing::ElementsAre;

TEST_F(ShellTest, RequestsSendTheirPlatformEvents) {
    struct Case {
        uint32_t request, event;
    } cases[] = {{1, 150}, {2, 151}, {10, 159}, {11, 160}, {20, 163},
                 {21, 164}, {30, 166}, {31, 167}, {32, 168}};
    for (const Case& c : cases) {
        recorded.clear();
        EXPECT_EQ(MV2PlatformRequest(c.request, 0, 0, 0), 1);
        ASSERT_FALSE(recorded.empty());
        EXPECT_EQ(recorded[0].code, c.event) << c.request;
    }
    EXPECT_EQ(gMV2Events.joystickFlag, 0);
    EXPECT_EQ(PlatformTimerPeriodDepth(), 0); // timer on and off balanced
}

TEST_F(ShellTest, KeyboardLayoutRequest) {
    EXPECT_EQ(MV2PlatformRequest(172, 0, 0, 8), 0);
    EXPECT_EQ(MV2PlatformRequest(172, 0, 0, -1), 0);
    EXPECT_EQ(gMV2Events.layout, 0);
    EXPECT_EQ(MV2PlatformRequest(172, 0, 0, 2), 1);
    EXPECT_EQ(gMV2Events.layout, 2);
    MV2PlatformRequest(10, 0, 0, 0);
    recorded.clear();
    Key(WM_KEYDOWN, 0x15); // 'y' on slot 0, 'z' on slot 2
    EXPECT_EQ(recorded.back().c, 'z');
}

TEST_F(ShellTest, TimeQueryOnlyWhileTimerQueriesAreOn) {
    PlatformUseManualClock(true, 12345);
    uint32_t target = 7;
    MV2PlatformRequest(32, reinterpret_cast<intptr_t>(&target), 0, 0);
    EXPECT_EQ(target, 7u);
    MV2PlatformRequest(30, 0, 0, 0);
    MV2PlatformRequest(32, reinterpret_cast<intptr_t>(&target), 0, 0);
    EXPECT_EQ(target, 12345u);
    MV2PlatformRequest(31, 0, 0, 0);
}

TEST_F(ShellTest, EverySixteenthKeepAlivePressesRawKeyZero) {
    MV2PlatformRequest(10, 0, 0, 0);
    Key(WM_KEYDOWN, 0x1E); // last key is not 0, so the raw key 0 press is not a repeat
    recorded.clear();
    for (int i = 0; i < 15; ++i) MV2PlatformEventHandler(165, 0, 0, 0);
    EXPECT_TRUE(Codes({161}).empty());
    MV2PlatformEventHandler(165, 0, 0, 0);
    ASSERT_THAT(Codes({161}), ElementsAre(161));
    EXPECT_EQ(recorded[0].c, 0);
    for (int i = 0; i < 16; ++i) MV2PlatformEventHandler(165, 0, 0, 0);
    EXPECT_EQ(Codes({161}).size(), 1u); // the 32nd press repeats raw key 0 and is dropped
}

TEST(KeyStates, PressedBitSurvivesReleaseUntilCleared) {
    MV2ResetKeyStates();
    MV2KeyPressed('w');
    EXPECT_EQ(MV2TestKeyState('w', MV2_KEY_HELD | MV2_KEY_PRESSED), 1);
    MV2ClearKeyStateBits(MV2_KEY_PRESSED);
    MV2KeyPressed('w'); // already held: no new pressed bit
    EXPECT_EQ(MV2TestKeyState('w', MV2_KEY_PRESSED), 0);
    MV2KeyReleased('w');
    MV2KeyPressed('w');
    MV2KeyReleased('w');
    EXPECT_EQ(MV2TestKeyState('w', MV2_KEY_HELD), 0);
    EXPECT_EQ(MV2TestKeyState('w', MV2_KEY_PRESSED), 1);
    EXPECT_EQ(MV2ResetKeyStates(), 1);
    EXPECT_EQ(MV2TestKeyState('w', 3), 0);
}

TEST(KeyboardTables, LayoutsDifferOnlyWhereTheyShould) {
    const uint8_t* base = MV2GetKeyboardTable(0);
    EXPECT_EQ(MV2GetKeyboardTable(6), base);
    EXPECT_EQ(MV2GetKeyboardTable(8), nullptr);
    struct Case {
        int slot;
        uint8_t raw, key;
    } cases[] = {{0, 0x10, 'q'}, {1, 0x10, 'a'}, {1, 0x28, 0xF9}, {2, 0x0C, 0xDF},
                 {3, 0x1A, 0xE8}, {4, 0x56, 0xFF}, {5, 0x29, 0x80}, {7, 0x2B, '\\'},
                 {0, 0x2B, '#'}, {0, 0x39, ' '}, {0, 0x46, 0xFF}, {0, 0xB8, 0xB1}};
    for (const Case& c : cases) EXPECT_EQ(MV2GetKeyboardTable(c.slot)[c.raw], c.key) << c.slot;
    int differences = 0;
    for (int i = 0; i < 256; ++i) differences += MV2GetKeyboardTable(7)[i] != base[i];
    EXPECT_EQ(differences, 1);
    EXPECT_EQ(MV2KeyboardLayoutForLanguage(1031), 2);
    EXPECT_EQ(MV2KeyboardLayoutForLanguage(1033), 7);
    EXPECT_EQ(MV2KeyboardLayoutForLanguage(1036), 1);
    EXPECT_EQ(MV2KeyboardLayoutForLanguage(1040), 3);
    EXPECT_EQ(MV2KeyboardLayoutForLanguage(2057), 0);
}
