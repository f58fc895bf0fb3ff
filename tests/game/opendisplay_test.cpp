// The display and game-service opening of game main on the generated sample folder: a missing
// file or an unknown display mode stops it with the boxes of its step.
#include "engine/core/texture.h"
#include "engine/world/world_plugin.h"
#include "framework/core/framework.h"
#include "platform/win32/win32.h"
#include "shell/enginestart.h"
#include "shell/gameinit.h"
#include "shell/gamemain.h"
#include "shell/window.h"
#include "tests/support/data_folder.h"
#include "tests/support/null_device.h"
#include "tools/sampledata/sampledata.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

namespace {

// Raster creation through the driver refused: all of it, or only the sub-rasters (raster type
// with the no-pixels bit 0x80) that the sub camera is made of.
TvStandardFn g_rasterCreate = nullptr;
int32_t RefuseRasters(void*, void*, int32_t) {
    return 0;
}
int32_t RefuseSubRasters(void* out, void* in, int32_t flags) {
    return (flags & 0x80) ? 0 : g_rasterCreate(out, in, flags);
}
constexpr int kStdRasterCreate = 4;

std::vector<std::string> BoxTexts() {
    std::vector<std::string> out;
    for (const PlatformMessageBoxRecord& b : PlatformMessageBoxes())
        out.push_back(b.text);
    return out;
}

TEST(OpenDisplay, EachFailingStepShowsItsBoxes) {
    NullEngine engine{nullptr, true, [] {
                          TpWorldPluginAttach();
                          for (const MV2PluginAttach& p : gMV2PluginAttaches)
                              p.attach();
                          return true;
                      }};
    ASSERT_TRUE(engine.ok());
    const MV2DisplayRequest request = gMV2DisplayRequest;
    enum Setup { kNone, kFrameworkStarted, kNoRasters, kNoSubRasters };
    struct Case {
        const char* missing; // a file of the folder taken away, or the display mode when null
        int32_t result;
        std::vector<std::string> boxes;
        Setup setup = kNone;
    } cases[] = {
        {"", 1, {}},
        {"DATA/vmulang.dat",
         0,
         {"vmulang.dat could not be opened or does not exist",
          "Could not load savegame info language file", "Could not init codec logo"}},
        {"ctrls_pc.con", 0, {"Could not load/create controls", "Could not init codec logo"}},
        {"DATA/sounds.dat",
         0,
         {"Could not open SOUNDS.DAT file", "Couldn't load Binary Sound File (sounds.dat)",
          "Could not init codec logo"}},
        {nullptr, 0, {"Could not find display mode"}},
        // A framework that cannot start (one is already running) ends it without a box.
        {"", 0, {}, kFrameworkStarted},
        // A failed main camera shows the camera's box and the step's.
        {"", 0, {"Could not create camera", "Could not create main camera"}, kNoRasters},
        // A failed sub camera shows its box twice, then the services step's.
        {"",
         0,
         {"Could not create sub camera", "Could not create sub camera",
          "Could not init codec logo"},
         kNoSubRasters},
    };
    g_rasterCreate = TV_ENGINE->standardFunctions[kStdRasterCreate];
    DataFolder folder;
    ASSERT_TRUE(SampleDataWrite(folder.path()));
    for (const Case& c : cases) {
        const std::string name = c.missing ? c.missing : "display mode";
        PlatformClearMessageBoxes();
        PlatformResetWindows();
        gMV2Window = MV2WindowState{};
        gMV2MainLoop = {0, 1, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
        gMV2DisplayRequest = request;
        std::vector<uint8_t> kept;
        if (!c.missing) {
            gMV2DisplayRequest.width = 123;
            gMV2DisplayRequest.height = 45;
        } else if (*c.missing) {
            kept = folder.Read(c.missing);
            ASSERT_FALSE(kept.empty()) << name;
            std::filesystem::remove(folder.path() + "/" + c.missing);
        }
        if (c.setup == kFrameworkStarted) {
            ASSERT_GE(VkInitialise(nullptr), 0);
        }
        if (c.setup == kNoRasters) TV_ENGINE->standardFunctions[kStdRasterCreate] = RefuseRasters;
        if (c.setup == kNoSubRasters)
            TV_ENGINE->standardFunctions[kStdRasterCreate] = RefuseSubRasters;
        EXPECT_EQ(MV2OpenDisplay(), c.result) << name << " " << c.setup;
        TV_ENGINE->standardFunctions[kStdRasterCreate] = g_rasterCreate;
        // The framework step comes before the texture callback is swapped.
        if (c.setup == kFrameworkStarted) {
            EXPECT_EQ(gMV2MainLoop.savedTextureRead, nullptr);
        }
        std::vector<std::string> texts = BoxTexts();
        for (std::string& t : texts)
            while (!t.empty() && t.back() == '\n')
                t.pop_back();
        EXPECT_EQ(texts, c.boxes) << name << " " << c.setup;
        MV2ShutdownGame();
        MV2ReleaseDisplay();
        VkUninitialise();
        if (gMV2MainLoop.savedTextureRead) TvTextureSetReadCallBack(gMV2MainLoop.savedTextureRead);
        if (!kept.empty()) folder.Write(c.missing, kept);
    }
    gMV2DisplayRequest = request;
    gMV2MainLoop = {0, 1, 0, 0, 0, 0, 0, nullptr, nullptr, nullptr, nullptr};
    PlatformResetWindows();
    gMV2Window = MV2WindowState{};
}

} // namespace
