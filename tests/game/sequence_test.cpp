// The start-up and title sequence run in-process on the generated sample folder.
#include "engine/core/bmp.h"
#include "engine/core/image.h"
#include "framework/core/framework.h"
#include "game/frontend/screens.h"
#include "game/objects/jpeg.h"
#include "platform/win32/win32.h"
#include "platform/winmm/winmm.h"
#include "shell/controls.h"
#include "shell/errors.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/resfile.h"
#include "shell/events.h"
#include "shell/window.h"
#include "tests/support/data_folder.h"
#include "tests/support/null_device.h"
#include "tools/sampledata/sampledata.h"

#include <gtest/gtest.h>

namespace {

std::string Boxes() {
    std::string out;
    for (const PlatformMessageBoxRecord& b : PlatformMessageBoxes())
        out += b.caption + ": " + b.text + "\n";
    return out;
}

TEST(Sequence, FromTheCodecPictureToTheTitleMenu) {
    DataFolder folder;
    ASSERT_TRUE(SampleDataWrite(folder.path()));
    NullEngine engine;
    ASSERT_TRUE(engine.ok());
    // The readers the engine start registers.
    TvImageRegisterImageFormat("bmp", TvImageReadBMP, nullptr);
    TvImageRegisterImageFormat("jpg", MV2LoadJpeg, nullptr);
    // The null device makes no masked textures: the font pages are stood in for.
    MV2ResourceTextureCalls savedCalls = gMV2ResourceTextureCalls;
    gMV2ResourceTextureCalls.read = [](const char*, const char*) {
        alignas(16) static unsigned char page[512];
        return reinterpret_cast<TvTexture*>(page);
    };
    gMV2ResourceTextureCalls.destroy = [](TvTexture*) { return true; };
    PlatformUseManualClock(true, 100000);
    PlatformClearMessageBoxes();
    gMV2MainLoop = {0, 1, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
    gMV2GameState = {0, 0, 0, -1};
    gMV2StateMachine.initPending = 1;
    ASSERT_EQ(MV2OpenDisplay(), 1) << Boxes();
    gMV2GameState.sequence = -1;

    auto pass = [](uint32_t ms) {
        PlatformAdvanceClock(ms);
        return MV2FrontEndPass();
    };
    pass(33);
    EXPECT_EQ(gMV2GameState.sequence, 0);
    EXPECT_EQ(gMV2GameState.current, 8);
    pass(33);
    pass(2900);
    EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 0); // 3000 ms from the second pass
    pass(200);
    EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 1);
    // The logo movies are asked for; the null device's frame buffer has no pixel format a
    // movie can be copied to, so each is refused at once (the program run plays them).
    for (int8_t state = 1; state <= 4; ++state) {
        pass(33);
        EXPECT_EQ(gMV2GameState.sequence, state);
        EXPECT_EQ(gMV2GameState.current, 11);
    }
    pass(33);
    EXPECT_EQ(gMV2GameState.sequence, 5);
    EXPECT_EQ(gMV2GameState.current, 8);
    EXPECT_EQ(gMV2GameInitialised, 1) << Boxes();
    pass(33);
    pass(33);
    EXPECT_EQ(gMV2GameState.sequence, 8);
    EXPECT_EQ(gMV2GameState.current, 7);
    pass(200); // the hold-off of the mode change passes with the key up
    pass(33);
    MV2ControlsEventHandler(MV2_EVENT_KEY_DOWN, 0, 0, 0xAB); // Return
    pass(33);
    MV2ControlsEventHandler(MV2_EVENT_KEY_UP, 0, 0, 0xAB);
    pass(33);
    EXPECT_EQ(gMV2GameState.sequence, 7);
    EXPECT_EQ(gMV2GameState.current, 8);
    EXPECT_TRUE(PlatformMessageBoxes().empty()) << Boxes();

    // The title opens the main menu (drawn once); Play -> new profile -> confirm: the
    // campaign start requests mode 14. The null device reads no font page, so the profile
    // screen's list is not drawn here.
    pass(33);
    MV2MenuInstance* menu = MV2MenuGetCurrentInstance();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->callback, MV2MainMenuCallback);
    MV2MenuSendMessage(menu, kMV2MenuActivated, 2);
    menu = MV2MenuGetCurrentInstance();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->callback, MV2NewGameMenuCallback);
    MV2MenuSendMessage(menu, kMV2MenuActivated, 2);
    menu = MV2MenuGetCurrentInstance();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->callback, MV2ProfileMenuCallback);
    MV2MenuSendMessage(menu, kMV2MenuActivated, 5);
    EXPECT_EQ(gMV2GameState.requested, 14);
    EXPECT_EQ(gMV2MainLoop.frontEnd, 0);
    EXPECT_EQ(MV2MenuGetCurrentInstance(), nullptr);
    EXPECT_TRUE(PlatformMessageBoxes().empty()) << Boxes();

    MV2ShutdownGame();
    MV2ReleaseDisplay();
    VkUninitialise();
    PlatformUseManualClock(false);
    gMV2ResourceTextureCalls = savedCalls;
    gMV2GameState = {0, 0, 0, -1};
    gMV2GameStateCompanion.requestedSequence = 0;
    gMV2MainLoop = {0, 1, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
    gMV2GameInitialised = 0;
}

} // namespace
