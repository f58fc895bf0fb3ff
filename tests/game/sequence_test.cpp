// The start-up and title sequence run in-process on the generated sample folder.
#include "engine/core/bmp.h"
#include "engine/core/d3d/tristrip.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "engine/world/world_plugin.h"
#include "engine/core/image.h"
#include "framework/core/framework.h"
#include "game/frontend/console.h"
#include "game/frontend/interfacescreens.h"
#include "game/frontend/interfacestate.h"
#include "game/frontend/missionmap.h"
#include "game/frontend/screens.h"
#include "game/missions/missionflow.h"
#include "game/missions/scriptevents.h"
#include "game/objects/jpeg.h"
#include "game/objects/camera.h"
#include "engine/world/world.h"
#include "platform/win32/win32.h"
#include "platform/winmm/winmm.h"
#include "game/objects/levels.h"
#include "game/objects/objecttypes.h"
#include "game/objects/lighting.h"
#include "shell/controls.h"
#include "shell/enginestart.h"
#include "shell/errors.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/resfile.h"
#include "shell/events.h"
#include "shell/frametimer.h"
#include "shell/pack.h"
#include "shell/render.h"
#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "shell/window.h"
#include "game/frontend/menus.h"
#include "game/effects/explosions.h"
#include "game/creatures/eel.h"
#include "game/creatures/puppetboss.h"
#include "game/creatures/submarines.h"
#include "game/player/player.h"
#include "game/player/shots.h"
#include "game/multiplayer/multiplayer.h"
#include "game/player/playercraft.h"
#include "platform/dplay/dplay.h"
#include "tools/sampledata/multiplayer.h"
#include "tests/support/data_folder.h"
#include "tests/support/null_device.h"
#include "tools/sampledata/objects.h"
#include "tools/sampledata/sampledata.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <iterator>

namespace {

// The engine's blocks come from the C heap; while `g_frees` is set, each block given back is
// recorded in order, so that a test can see what was freed before what.
std::vector<void*>* g_frees = nullptr;
void RecordingFree(void* block) {
    if (g_frees && block) g_frees->push_back(block);
    std::free(block);
}
const TvMemoryFunctions kRecordingMemory = {std::malloc, RecordingFree, std::realloc, std::calloc};

std::string Boxes() {
    std::string out;
    for (const PlatformMessageBoxRecord& b : PlatformMessageBoxes())
        out += b.caption + ": " + b.text + "\n";
    return out;
}

class SequenceTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(SampleDataWrite(folder.path()));
        ASSERT_TRUE(engine.ok());
        // The readers the engine start registers.
        TvImageRegisterImageFormat("bmp", TvImageReadBMP, nullptr);
        TvImageRegisterImageFormat("jpg", MV2LoadJpeg, nullptr);
        // The null device makes no masked textures: the font pages are stood in for.
        savedCalls = gMV2ResourceTextureCalls;
        gMV2ResourceTextureCalls.read = [](const char*, const char*) {
            alignas(16) static unsigned char page[512];
            return reinterpret_cast<TvTexture*>(page);
        };
        gMV2ResourceTextureCalls.destroy = [](TvTexture*) { return true; };
        PlatformUseManualClock(true, 100000);
        PlatformClearMessageBoxes();
        PlatformResetWindows();
        gMV2Window = MV2WindowState{};
        gMV2MainLoop = {0, 1, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
        gMV2GameState = {0, 0, 0, -1};
        gMV2StateMachine.initPending = 1;
        // Nor the textures of the level's lists: their entries stay empty.
        savedLevelCalls = gMV2LevelCalls;
        gMV2LevelCalls.textureRead = [](const char*, const char*) -> TvTexture* { return nullptr; };
        ASSERT_EQ(MV2OpenDisplay(), 1) << Boxes();
        gMV2GameState.sequence = -1;
        // Its mesh builder does nothing: the driver's builds the meshes of the object models.
        TV_ENGINE->standardFunctions[23] = TvD3DBuildMeshes;
        // Nor textures read from the packs (object shadow maps, the sky): a 1 x 1 texture of
        // the name stands in.
        gMV2MainLoop.savedTextureRead = [](const char* name, const char* mask) {
            return TvTextureCreateNamed(TvRasterCreate(1, 1, 32, 0), name, mask ? mask : "");
        };
    }
    void TearDown() override {
        if (!closed) {
            MV2ShutdownGame();
            MV2ReleaseDisplay();
            VkUninitialise();
        }
        PlatformUseManualClock(false);
        PlatformResetWindows();
        gMV2Window = MV2WindowState{};
        gMV2ResourceTextureCalls = savedCalls;
        gMV2LevelCalls = savedLevelCalls;
        gMV2GameState = {0, 0, 0, -1};
        gMV2GameStateCompanion.requestedSequence = 0;
        gMV2MainLoop = {0, 1, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
        gMV2GameInitialised = 0;
        gMV2WatchFocus = 0;
        gMV2Paused = 0;
    }

    MV2PassResult Pass(uint32_t ms) {
        PlatformAdvanceClock(ms);
        return MV2FrontEndPass();
    }

    // From the codec picture through the logos and the loading to the title menu.
    void RunToTheTitleMenu() {
        Pass(33);
        EXPECT_EQ(gMV2GameState.sequence, 0);
        EXPECT_EQ(gMV2GameState.current, 8);
        Pass(33);
        Pass(2900);
        EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 0); // 3000 ms from the second pass
        Pass(200);
        EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 1);
        for (int8_t state = 1; state <= 4; ++state) {
            Pass(33);
            EXPECT_EQ(gMV2GameState.sequence, state);
            EXPECT_EQ(gMV2GameState.current, 11);
        }
        Pass(33);
        EXPECT_EQ(gMV2GameState.sequence, 5);
        EXPECT_EQ(gMV2GameState.current, 8);
        EXPECT_EQ(gMV2GameInitialised, 1) << Boxes();
        // The type table is filled and the prop's collision file written beside its packed
        // model.
        EXPECT_NE(MV2GetObjectType(int32_t(kSampleTreePropType))->model, nullptr);
        EXPECT_NE(MV2GetObjectType(int32_t(kSampleTreePropType))->collisionData, nullptr);
        EXPECT_NE(MV2GetObjectType(int32_t(kSampleShadowedType))->shadowTexture, nullptr);
        EXPECT_FALSE(folder.Read("CLUMP/PROP.COL").empty());
        Pass(33);
        Pass(33);
        EXPECT_EQ(gMV2GameState.sequence, 8);
        EXPECT_EQ(gMV2GameState.current, 7);
        Pass(200); // the hold-off of the mode change passes with the key up
        Pass(33);
        MV2ControlsEventHandler(MV2_EVENT_KEY_DOWN, 0, 0, 0xAB); // Return
        Pass(33);
        MV2ControlsEventHandler(MV2_EVENT_KEY_UP, 0, 0, 0xAB);
        Pass(33);
        EXPECT_EQ(gMV2GameState.sequence, 7);
        EXPECT_EQ(gMV2GameState.current, 8);
    }

    // The game watches the focus, which the window has, and runs to the title menu.
    void WatchFocus(HWND window) {
        gMV2WatchFocus = 1;
        SetFocus(window);
        RunToTheTitleMenu();
    }

    // The start choice of the top menu: the front end is left at once in mode 8 and mode 14
    // is requested.
    void ChooseStart() {
        gMV2GameState.current = 8;
        gMV2GameState.requested = 14;
        gMV2MainLoop.frontEnd = 0;
    }

    DataFolder folder;
    // The game's plug-ins, attached as the engine start attaches them.
    NullEngine engine{&kRecordingMemory, true, [] {
                          TpWorldPluginAttach();
                          for (const MV2PluginAttach& p : gMV2PluginAttaches)
                              p.attach();
                          return true;
                      }};
    MV2ResourceTextureCalls savedCalls = {};
    MV2LevelCalls savedLevelCalls = {};
    bool closed = false;
};

TEST_F(SequenceTest, FromTheCodecPictureToTheTitleMenu) {
    RunToTheTitleMenu();
    EXPECT_TRUE(PlatformMessageBoxes().empty()) << Boxes();
}

TEST_F(SequenceTest, TheTitleMenuStartsACampaignThroughANewProfile) {
    RunToTheTitleMenu();
    // The title opens the main menu (drawn once); Play -> new profile -> confirm: the
    // campaign start requests mode 14. The null device reads no font page, so the profile
    // screen's list is not drawn here.
    Pass(33);
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
}

TEST_F(SequenceTest, ConsoleInterfaceAndSaveScreenFramesAreShownAndGiveTheViewBack) {
    TvFrame* frame = gMV2MainCamera->object.frame;
    const TvV3d at = {1.0f, 2.0f, 3.0f};
    TvFrameTranslate(frame, &at, 0);
    for (int8_t mode : {9, 10, 17}) {
        gMV2GameState.current = gMV2GameState.requested = mode;
        const int32_t frames = gMV2Render.frames;
        MV2RenderGameFrame();
        EXPECT_EQ(gMV2Render.frames, frames + 1) << int(mode);
        EXPECT_FLOAT_EQ(gMV2MainCamera->viewWindow.x, 0.55f) << int(mode);
        EXPECT_FLOAT_EQ(gMV2MainCamera->viewWindow.y, 0.55f) << int(mode);
        EXPECT_EQ(TvFrameGetMatrix(frame)->pos.z, 3.0f) << int(mode);
    }
    EXPECT_EQ(gMV2Render.brightness, 0.0f); // the console's light
    gMV2Render.brightness = 1.0f;
    EXPECT_TRUE(PlatformMessageBoxes().empty()) << Boxes();
}

TEST_F(SequenceTest, TheShutDownFreesInItsOrder) {
    RunToTheTitleMenu();
    ASSERT_EQ(gMV2GameInitialised, 1);
    // One block of each step whose order shows: the language, the menu resource file, the
    // object types, and last the resource arena.
    void* const language = gMV2MenuResource.language.fontPages;
    void* const menuFile = gMV2MenuResource.textures;
    void* const objectTypes = MV2GetObjectType(int32_t(kSampleTreePropType))->collisionData;
    void* const arena = gMV2MainLoop.arena;
    ASSERT_NE(language, nullptr);
    ASSERT_NE(menuFile, nullptr);
    ASSERT_NE(objectTypes, nullptr);
    ASSERT_NE(arena, nullptr);
    ASSERT_GT(MV2CountMountedPacks(), 0);
    std::vector<void*> frees;
    g_frees = &frees;
    MV2ShutdownGame();
    g_frees = nullptr;
    auto at = [&frees](void* block) {
        return std::find(frees.begin(), frees.end(), block) - frees.begin();
    };
    const std::ptrdiff_t order[] = {at(language), at(menuFile), at(objectTypes), at(arena)};
    for (size_t i = 0; i < std::size(order); ++i) {
        EXPECT_LT(order[i], std::ptrdiff_t(frees.size())) << "step " << i << " freed nothing";
        if (i > 0) {
            EXPECT_LT(order[i - 1], order[i]) << "step " << i;
        }
    }
    // The arena goes last, after the packs are unmounted.
    EXPECT_EQ(frees.back(), arena);
    EXPECT_EQ(MV2CountMountedPacks(), 0);
    EXPECT_EQ(gMV2GameType, 0);
    EXPECT_EQ(gMV2MainLoop.arena, nullptr);
    MV2ReleaseDisplay();
    VkUninitialise();
    closed = true;
}

TEST_F(SequenceTest, AClosedWindowInPlayEndsGameMainThroughTheShutDown) {
    HWND window = MV2CreateMainWindow(nullptr, SW_SHOW);
    ASSERT_NE(window, nullptr);
    RunToTheTitleMenu();
    ChooseStart();
    EXPECT_EQ(Pass(33), MV2_PASS_IN_GAME);
    EXPECT_EQ(gMV2GameState.sequence, 9);
    PlatformAdvanceClock(33);
    EXPECT_EQ(MV2InGamePass(), MV2_PASS_IN_GAME); // enters mode 14
    EXPECT_EQ(gMV2GameState.current, 14);
    PlatformAdvanceClock(33);
    EXPECT_EQ(MV2InGamePass(), MV2_PASS_IN_GAME);
    ASSERT_GT(MV2CountMountedPacks(), 0);
    PostMessageA(window, WM_CLOSE, 0, 0);
    // The passes of game main's loop until it leaves for the closing sequence.
    MV2PassResult where = MV2_PASS_IN_GAME;
    for (int i = 0; i < 10 && where != MV2_PASS_CLOSING; ++i) {
        PlatformAdvanceClock(33);
        where = where == MV2_PASS_FRONT_END ? MV2FrontEndPass() : MV2InGamePass();
    }
    ASSERT_EQ(where, MV2_PASS_CLOSING);
    EXPECT_EQ(gMV2MainLoop.quit, 1);
    const uint32_t before = timeGetTime();
    MV2ClosingSequence();
    closed = true;
    EXPECT_EQ(timeGetTime(), before); // no closing picture after a quit
    // What only the shut-down undoes.
    EXPECT_EQ(MV2CountMountedPacks(), 0);
    EXPECT_EQ(gMV2MainLoop.arena, nullptr);
    EXPECT_EQ(gMV2AmbientLight, nullptr);
    // The sample level started and ended without an error box.
    EXPECT_TRUE(PlatformMessageBoxes().empty()) << Boxes();
}

TEST_F(SequenceTest, LosingTheFocusInTheFrontEndRequestsTheTitleMenu) {
    HWND window = MV2CreateMainWindow(nullptr, SW_SHOW);
    ASSERT_NE(window, nullptr);
    WatchFocus(window);
    // The title cut-scene: the focus goes; paused, nothing happens.
    gMV2GameState.current = gMV2GameState.requested = 7;
    gMV2GameState.sequence = gMV2GameStateCompanion.requestedSequence = 8;
    SetFocus(nullptr);
    gMV2Paused = 1;
    Pass(33);
    EXPECT_EQ(gMV2GameState.requested, 7);
    EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 8);
    gMV2Paused = 0;
    Pass(33);
    EXPECT_EQ(gMV2GameState.requested, 8);
    EXPECT_EQ(gMV2GameStateCompanion.requestedSequence, 7);
    // With the focus back the menu stays where it is.
    SetFocus(window);
    Pass(33);
    Pass(33);
    EXPECT_EQ(gMV2GameState.current, 8);
    EXPECT_EQ(gMV2GameState.sequence, 7);
}

TEST_F(SequenceTest, LosingTheFocusInPlayOpensTheTopMenuAndTimeStandsStill) {
    HWND window = MV2CreateMainWindow(nullptr, SW_SHOW);
    ASSERT_NE(window, nullptr);
    WatchFocus(window);
    ChooseStart();
    Pass(33);
    PlatformAdvanceClock(33);
    MV2InGamePass();
    EXPECT_GT(gMV2FrameTimer.milliseconds, 0);
    SetFocus(nullptr);
    PlatformAdvanceClock(33);
    MV2InGamePass();
    if (!MV2MenuGetCurrentInstance()) GTEST_SKIP() << "no menu opens: the menus are not built";
    // A one-player game stands still while the menu is open; the ticks keep their value.
    const float ticks = gMV2FrameTimer.ticks;
    for (int i = 0; i < 3; ++i) {
        PlatformAdvanceClock(500);
        MV2InGamePass();
        EXPECT_EQ(gMV2FrameTimer.milliseconds, 0);
        EXPECT_EQ(gMV2FrameTimer.ticks, ticks);
    }
    // A game of type 4 goes on under the menu.
    gMV2GameType = 4;
    PlatformAdvanceClock(33);
    MV2InGamePass();
    EXPECT_GT(gMV2FrameTimer.milliseconds, 0);
    gMV2GameType = 0;
}

} // namespace

namespace {

std::vector<intptr_t> gSequenceEvents19;
int32_t gSequencePrimitives = 0;

int32_t RecordEvent19(MV2Object*, int32_t message, intptr_t event, intptr_t argument) {
    if (message == kMV2ScriptEvent && event == 19) gSequenceEvents19.push_back(argument);
    return 1;
}

int32_t CountPrimitives(int32_t, TvIm2DVertex*, int32_t) {
    ++gSequencePrimitives;
    return 1;
}

} // namespace

// Once the sample level is in play: the HUD draws, a message shown by a script times out and
// raises script event 19 with its text id, and the console and the interface screens are
// entered and left through the mode switch.
TEST_F(SequenceTest, InPlayTheHudDrawsMessagesTimeOutAndTheConsoleModesComeAndGo) {
    HWND window = MV2CreateMainWindow(nullptr, SW_SHOW);
    ASSERT_NE(window, nullptr);
    RunToTheTitleMenu();
    ChooseStart();
    EXPECT_EQ(Pass(33), MV2_PASS_IN_GAME);
    PlatformAdvanceClock(33);
    MV2InGamePass(); // enters mode 14: the level starts
    // The sample level starts in play without a box.
    ASSERT_EQ(gMV2GameState.current, 14) << Boxes();
    ASSERT_TRUE(PlatformMessageBoxes().empty()) << Boxes();
    // The sample level's map fields and tiles.
    EXPECT_STREQ(gMV2Map.level.firstBase, kSampleMapTiles);
    EXPECT_EQ(gMV2Map.level.firstReference, 0x00070001);
    EXPECT_NE(gMV2Map.tiles[0][0], nullptr);
    EXPECT_NE(gMV2Map.tiles[0][49], nullptr);
    gMV2GameState.requested = 0;
    PlatformAdvanceClock(33);
    MV2InGamePass();
    ASSERT_EQ(gMV2GameState.current, 0) << Boxes();

    const auto savedPrimitive = TV_ENGINE->deviceRecord.im2DPrimitive;
    gSequencePrimitives = 0;
    TV_ENGINE->deviceRecord.im2DPrimitive = CountPrimitives;
    PlatformAdvanceClock(33);
    MV2InGamePass();
    TV_ENGINE->deviceRecord.im2DPrimitive = savedPrimitive;
    EXPECT_GT(gSequencePrimitives, 0) << "the HUD pass drew";

    gSequenceEvents19.clear();
    MV2SetMissionScriptForTest(30, RecordEvent19);
    MV2MissionInstallNotify(30, 19);
    MV2PlayMissionMessage(503);
    for (int i = 0; i < 20 && gSequenceEvents19.empty(); ++i) {
        PlatformAdvanceClock(500);
        MV2InGamePass();
    }
    MV2MissionRemoveNotify(30, 19);
    MV2SetMissionScriptForTest(30, nullptr);
    ASSERT_EQ(gSequenceEvents19.size(), 1u);
    EXPECT_EQ(gSequenceEvents19[0], 503);

    const struct {
        int8_t mode;
        bool console, screens;
    } steps[] = {{9, true, false}, {10, true, true}, {9, true, false}, {0, false, false}};
    for (const auto& s : steps) {
        SCOPED_TRACE(int(s.mode));
        gMV2GameState.requested = s.mode;
        PlatformAdvanceClock(33);
        MV2InGamePass();
        PlatformAdvanceClock(33);
        MV2InGamePass();
        EXPECT_EQ(gMV2GameState.current, s.mode);
        EXPECT_EQ(gMV2Console.camera != nullptr, s.console) << "the console's camera lives in 9 and 10";
        if (s.screens) {
            EXPECT_EQ(gMV2Interface.page, 0);
            EXPECT_NE(MV2InterfaceGadgetById(0, 10), nullptr);
        } else {
            for (TvRaster* r : gMV2InterfaceShared.rasters) EXPECT_EQ(r, nullptr);
        }
    }
}

namespace {

int32_t CountObjectsOfType(int32_t type) {
    int32_t n = 0;
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
        if (MV2ShotTypeOf(o) == type) ++n;
    return n;
}

int32_t CountExplosions() {
    int32_t n = 0;
    for (MV2Explosion* e = MV2FirstExplosion(); e; e = MV2NextExplosion(e))
        ++n;
    return n;
}

} // namespace

// In play the player's craft, fitted from the sample sub record with the bolt gun, the bullet
// gun and the machine gun on the console's mount choices, flies forward and fires through the
// sample bindings: shots fly, explosions go off where bullets end and the machine gun's rounds
// run down, with no error box.
TEST_F(SequenceTest, InPlayThePlayerCraftFliesAndFiresThroughTheControls) {
    HWND window = MV2CreateMainWindow(nullptr, SW_SHOW);
    ASSERT_NE(window, nullptr);
    // The first mission's script stays out of the way: its opening would take the controls.
    struct QuietFirstMission {
        QuietFirstMission() {
            MV2SetMissionScriptForTest(1, [](MV2Object*, int32_t, intptr_t, intptr_t) { return 1; });
        }
        ~QuietFirstMission() { MV2SetMissionScriptForTest(1, nullptr); }
    } quiet;
    RunToTheTitleMenu();
    ChooseStart();
    EXPECT_EQ(Pass(33), MV2_PASS_IN_GAME);
    PlatformAdvanceClock(33);
    MV2InGamePass();
    ASSERT_EQ(gMV2GameState.current, 14) << Boxes();
    gMV2GameState.requested = 0;
    PlatformAdvanceClock(33);
    MV2InGamePass();
    ASSERT_EQ(gMV2GameState.current, 0) << Boxes();
    MV2Object* sub = MV2GetPlayerSub();
    ASSERT_NE(sub, nullptr) << "the player spawns at the sample level's start point";
    EXPECT_EQ(MV2GetPlayerObject(), sub);
    // Out of the city's dock, under the player's brain, as the launch leaves it.
    MV2ObjectSendMessage(sub, 31, 0, 0);
    MV2ObjectSendMessage(sub, 29, 0, reinterpret_cast<intptr_t>(&MV2PlayerHandler));
    MV2ObjectSendMessage(sub, 0, 1, 0);

    // The console's mount choices: the bolt gun on mount 0, the machine gun on mount 1.
    MV2SubRecord* record = MV2GetCurrentSubRecord();
    MV2SetSubRecordWord(record, 53, int32_t(MV2LoadoutEntry(0, uint32_t(MV2GetWeaponIcon(1)))));
    MV2SetSubRecordWord(record, 54, int32_t(MV2LoadoutEntry(0, uint32_t(MV2GetWeaponIcon(10)))));
    MV2EquipPlayerSub(sub);
    auto* data = static_cast<MV2SubData*>(sub->privateData);
    for (int32_t slot : {1, 10, 21})
        EXPECT_TRUE(MV2HasWeapon(&data->weapons, slot)) << slot;
    EXPECT_EQ(data->weapons.currentWeaponSlot, 21);

    const TvV3d start = sub->matrix->pos;
    // Fire and thrust held: the keys are pressed once the hold-off has passed.
    PlatformAdvanceClock(300);
    MV2InGamePass();
    MV2ControlsEventHandler(MV2_EVENT_KEY_DOWN, 0, 0, 0x20);
    MV2ControlsEventHandler(MV2_EVENT_KEY_DOWN, 0, 0, 'w');
    int32_t mostBullets = 0, mostExplosions = 0;
    for (int i = 0; i < 90; ++i) { // three seconds of the bullet gun
        // A short burst of thrust: the start post lies by the city's exit, whose doors dock
        // a craft that flies on into them.
        if (i == 20) MV2ControlsEventHandler(MV2_EVENT_KEY_UP, 0, 0, 'w');
        PlatformAdvanceClock(33);
        MV2InGamePass();
        mostBullets = std::max(mostBullets, CountObjectsOfType(145));
        mostExplosions = std::max(mostExplosions, CountExplosions());
    }
    EXPECT_GT(mostBullets, 1) << "bullets fly";
    EXPECT_GT(mostExplosions, 0) << "bullets explode at the end of their life";
    const TvV3d moved = TvV3dSub(sub->matrix->pos, start);
    EXPECT_GT(TvV3dLength(&moved), 0.5f) << "the craft moved";
    // The rest is fired standing, clear of the city's doors.

    // The machine gun spends its rounds while the trigger is held.
    ASSERT_EQ(MV2SelectWeapon(&data->weapons, 10), 1);
    int32_t before = 0, after = 0;
    ASSERT_EQ(MV2GetCurrentWeaponAmmo(sub, &before), 1);
    for (int i = 0; i < 30; ++i) {
        PlatformAdvanceClock(33);
        MV2InGamePass();
    }
    MV2GetCurrentWeaponAmmo(sub, &after);
    EXPECT_GT(before, 0);
    EXPECT_LT(after, before) << "the machine gun's rounds fall";
    // The bolt gun charges while the trigger is held and fires its bolts when it is let go.
    ASSERT_EQ(MV2SelectWeapon(&data->weapons, 1), 1);
    int32_t mostBolts = 0;
    for (int i = 0; i < 90; ++i) {
        if (i == 45) MV2ControlsEventHandler(MV2_EVENT_KEY_UP, 0, 0, 0x20);
        PlatformAdvanceClock(33);
        MV2InGamePass();
        mostBolts = std::max(mostBolts, CountObjectsOfType(2) + CountObjectsOfType(146));
    }
    EXPECT_GT(mostBolts, 0) << "bolts fly";
    EXPECT_EQ(gMV2GameState.current, 0);
    EXPECT_EQ(MV2GetPlayerSub(), sub);
    EXPECT_TRUE(PlatformMessageBoxes().empty()) << Boxes();
}

TEST_F(SequenceTest, HostingFromTheMenusStartsTheMultiplayerLevel) {
    RunToTheTitleMenu();
    PlatformDplaySetPort(PlatformDplayFreePort());
    Pass(33);
    // Main menu -> multiplayer -> host -> TCP/IP -> host the game on the first level.
    MV2MenuInstance* menu = MV2MenuGetCurrentInstance();
    ASSERT_NE(menu, nullptr);
    MV2MenuSendMessage(menu, kMV2MenuActivated, 4);
    ASSERT_EQ(gMV2Net.created, 1) << Boxes();
    menu = MV2MenuGetCurrentInstance();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->callback, MV2MultiplayerMenuCallback);
    MV2MenuSendMessage(menu, kMV2MenuActivated, 2);
    menu = MV2MenuGetCurrentInstance();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->callback, MV2ConnectionMenuCallback);
    MV2MenuSendMessage(menu, kMV2MenuActivated, 2);
    EXPECT_EQ(gMV2Net.serviceIndex, 1);
    menu = MV2MenuGetCurrentInstance();
    ASSERT_NE(menu, nullptr);
    EXPECT_EQ(menu->callback, MV2HostMenuCallback);
    MV2MenuSendMessage(menu, kMV2MenuActivated, 7);
    EXPECT_EQ(gMV2Net.inSession, 1) << Boxes();
    EXPECT_EQ(MV2GetCurrentLevelId(), kSampleNetLevel) << Boxes();
    EXPECT_EQ(gMV2GameType, 3);
    EXPECT_EQ(gMV2Net.running, 1);
    EXPECT_NE(MV2GetPlayerObject(), nullptr) << Boxes();
    int32_t spawnPoints = 0;
    MV2NetForEachWorldObject(
        [](MV2Object* o, void* n) {
            if ((o->typeWord & 0xFFFF) == kSampleSpawnPointType) ++*static_cast<int32_t*>(n);
            return true;
        },
        &spawnPoints);
    EXPECT_EQ(spawnPoints, 2);
    // The craft stands on a spawn point, in the level's world and on the active list, and its
    // brain runs in play (its first frame takes the not-in-play mark off the control byte).
    MV2Object* craft = MV2GetPlayerObject();
    ASSERT_NE(craft, nullptr);
    struct Find {
        TvV3d at;
        bool onSpawnPoint;
    } find{craft->matrix->pos, false};
    MV2NetForEachWorldObject(
        [](MV2Object* o, void* data) {
            auto* f = static_cast<Find*>(data);
            if ((o->typeWord & 0xFFFF) != kSampleSpawnPointType || !o->matrix) return true;
            const TvV3d d = TvV3dSub(o->matrix->pos, f->at);
            if (TvV3dLength(&d) < 1e-3f) f->onSpawnPoint = true;
            return true;
        },
        &find);
    EXPECT_TRUE(find.onSpawnPoint) << craft->matrix->pos.x << " " << craft->matrix->pos.z;
    EXPECT_EQ(TpClumpGetWorld(craft->clump), MV2World);
    EXPECT_NE(craft->active.next, nullptr);
    EXPECT_EQ(MV2GetPlayerControlState(), 0x80);
    Pass(33);
    Pass(33);
    ASSERT_EQ(gMV2GameState.current, 0) << Boxes();
    PlatformAdvanceClock(33);
    MV2InGamePass();
    EXPECT_EQ(MV2GetPlayerControlState(), 0);
    MV2NetLeaveGame();
    MV2NetShutdown();
}

// The sample level's eel stands in play with the puppet of its model folder, and a started fight
// runs its phases through the game's own frames.
TEST_F(SequenceTest, InPlayTheSampleEelRunsItsPhasesWithItsPuppet) {
    HWND window = MV2CreateMainWindow(nullptr, SW_SHOW);
    ASSERT_NE(window, nullptr);
    RunToTheTitleMenu();
    ChooseStart();
    EXPECT_EQ(Pass(33), MV2_PASS_IN_GAME);
    for (int i = 0; i < 2; ++i) {
        PlatformAdvanceClock(33);
        MV2InGamePass();
        gMV2GameState.requested = 0;
    }
    ASSERT_EQ(gMV2GameState.current, 0) << Boxes();
    MV2Object* eel = MV2FindObjectByWorldID(0x00600001);
    ASSERT_NE(eel, nullptr) << Boxes();
    ASSERT_NE(MV2PuppetBossInstance(eel), nullptr);
    EXPECT_NE(MV2PuppetFindNode(MV2PuppetBossInstance(eel), "lowermouth"), nullptr);
    MV2Object* sub = MV2GetPlayerSub();
    ASSERT_NE(sub, nullptr);
    MV2ObjectSendMessage(eel, 12, 0, reinterpret_cast<intptr_t>(sub));
    MV2ObjectSendMessage(eel, 0, 1, 0);
    for (int i = 0; i < 30; ++i) {
        PlatformAdvanceClock(33);
        MV2InGamePass();
    }
    EXPECT_EQ(MV2GetEelState()->phase, kMV2EelBolts) << Boxes();
    EXPECT_TRUE(MV2PuppetBossFired(eel, "dobolt"));
}
