// World-library attach and registration: refused attaches, registrations refused once their
// module is open, and the default pipes the modules make at open.
#include <gtest/gtest.h>

#include "engine/core/error.h"
#include "engine/core/pipe.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/light.h"
#include "engine/world/world_plugin.h"
#include "tests/support/engine_checks.h"
#include "tests/support/null_device.h"
#include "tests/support/world_writer.h"

namespace {

TvStream* ReadNothing(TvStream* s, int32_t, void*, int32_t, int32_t) {
    return s;
}
TvStream* WriteNothing(TvStream* s, int32_t, const void*, int32_t, int32_t) {
    return s;
}
int32_t SizeNothing(const void*, int32_t, int32_t) {
    return 0;
}

int32_t g_registerBeforeOpen[4];
bool RegisterEarly() {
    g_registerBeforeOpen[0] = TpWorldRegisterPlugin(-1, 0x7E10, nullptr, nullptr, nullptr);
    g_registerBeforeOpen[1] = TpGeometryRegisterPlugin(8, 0x7E10, nullptr, nullptr, nullptr);
    g_registerBeforeOpen[2] = TpGeometryRegisterPluginStream(0x7E10, ReadNothing, nullptr, nullptr);
    g_registerBeforeOpen[3] =
        TpGeometryRegisterPluginStream(0x7E10, ReadNothing, WriteNothing, SizeNothing);
    return true;
}

TEST(WorldPluginTest, AttachAfterTheEngineOpenedFails) {
    NullEngine engine;
    ASSERT_TRUE(engine.ok());
    EXPECT_EQ(TpWorldPluginAttach(), 0);
    EXPECT_EQ(TpAtomicGetDefaultPipe(), nullptr); // nothing was registered, nothing opened
}

TEST(WorldPluginTest, RegistrationsBeforeAndAfterOpen) {
    WorldEngine engine(RegisterEarly);
    ASSERT_TRUE(engine.ok());
    EXPECT_EQ(g_registerBeforeOpen[0], -1); // negative size
    EXPECT_GE(g_registerBeforeOpen[1], int32_t(sizeof(TpGeometry)));
    EXPECT_EQ(g_registerBeforeOpen[1] % int32_t(alignof(std::max_align_t)), 0);
    EXPECT_EQ(g_registerBeforeOpen[2], -1); // null stream callbacks
    EXPECT_EQ(g_registerBeforeOpen[3], g_registerBeforeOpen[1]);
}

TEST(WorldPluginTest, WorldRegistrationRefusedWhileTheWorldModuleIsOpen) {
    WorldEngine engine;
    ASSERT_TRUE(engine.ok());
    EXPECT_EQ(TpWorldRegisterPlugin(4, 0x7E11, nullptr, nullptr, nullptr), -1);
    EXPECT_EQ(LastErrorCode(), E_TV_PLUGINENGINEOPEN);
}

TEST(WorldPluginTest, OpenMakesTheDefaultAtomicPipeAndStamps) {
    WorldEngine engine;
    ASSERT_TRUE(engine.ok());
    TvPipe* pipe = TpAtomicGetDefaultPipe();
    ASSERT_NE(pipe, nullptr);
    EXPECT_EQ(pipe->stage4, TpAtomicLightingStage);
    EXPECT_EQ(TpWorldGetRenderFrame(), 1);
    EXPECT_EQ(TpWorldAdvanceRenderFrame(), 2);
}

} // namespace
