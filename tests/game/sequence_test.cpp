// The start-up and title sequence run in-process on the generated sample folder.
#include "engine/core/bmp.h"
#include "engine/core/d3d/tristrip.h"
#include "engine/core/image.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "engine/world/world_plugin.h"
#include "framework/core/framework.h"
#include "game/objects/jpeg.h"
#include "platform/win32/win32.h"
#include "platform/winmm/winmm.h"
#include "game/objects/levels.h"
#include "shell/controls.h"
#include "shell/errors.h"
#include "shell/gameinit.h"
#include "shell/enginestart.h"
#include "shell/gamemain.h"
#include "shell/gamestate.h"
#include "shell/resfile.h"
#include "shell/events.h"
#include "shell/window.h"
#include "tests/support/data_folder.h"
#include "tests/support/null_device.h"
#include "game/objects/objecttypes.h"
#include "tools/sampledata/objects.h"
#include "tests/support/world_writer.h"
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
    // The game's plug-ins, attached as the engine start attaches them.
    NullEngine engine(nullptr, true, [] {
        TpWorldPluginAttach();
        for (const MV2PluginAttach& p : gMV2PluginAttaches)
            p.attach();
        return true;
    });
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
    // Nor the textures of the level's lists: their entries stay empty.
    const MV2LevelCalls savedLevelCalls = gMV2LevelCalls;
    gMV2LevelCalls.textureRead = [](const char*, const char*) -> TvTexture* { return nullptr; };
    PlatformUseManualClock(true, 100000);
    PlatformClearMessageBoxes();
    gMV2MainLoop = {0, 1, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
    gMV2GameState = {0, 0, 0, -1};
    gMV2StateMachine.initPending = 1;
    ASSERT_EQ(MV2OpenDisplay(), 1) << Boxes();
    gMV2GameState.sequence = -1;
    // Its mesh builder does nothing: the driver's builds the meshes of the object models.
    TV_ENGINE->standardFunctions[23] = TvD3DBuildMeshes;
    // Nor textures read from the packs (object shadow maps, the sky): a 1 x 1 texture of the
    // name stands in.
    gMV2MainLoop.savedTextureRead = [](const char* name, const char* mask) {
        return TvTextureCreateNamed(TvRasterCreate(1, 1, 32, 0), name, mask ? mask : "");
    };

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
    for (int8_t state = 1; state <= 4; ++state) {
        pass(33);
        EXPECT_EQ(gMV2GameState.sequence, state);
        EXPECT_EQ(gMV2GameState.current, 11);
    }
    pass(33);
    EXPECT_EQ(gMV2GameState.sequence, 5);
    EXPECT_EQ(gMV2GameState.current, 8);
    EXPECT_EQ(gMV2GameInitialised, 1) << Boxes();
    // The type table is filled and the prop's collision file written beside its packed model.
    EXPECT_NE(MV2GetObjectType(int32_t(kSampleTreePropType))->model, nullptr);
    EXPECT_NE(MV2GetObjectType(int32_t(kSampleTreePropType))->collisionData, nullptr);
    EXPECT_NE(MV2GetObjectType(int32_t(kSampleShadowedType))->shadowTexture, nullptr);
    EXPECT_FALSE(folder.Read("CLUMP/PROP.COL").empty());
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

    MV2ShutdownGame();
    MV2ReleaseDisplay();
    VkUninitialise();
    PlatformUseManualClock(false);
    gMV2ResourceTextureCalls = savedCalls;
    gMV2LevelCalls = savedLevelCalls;
    gMV2GameState = {0, 0, 0, -1};
    gMV2GameStateCompanion.requestedSequence = 0;
    gMV2MainLoop = {0, 1, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
    gMV2GameInitialised = 0;
}

} // namespace
