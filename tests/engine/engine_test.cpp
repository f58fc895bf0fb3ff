// Engine instance: bring-up order against the recording null device, wrapper defaults, failure
// paths of open, start, close and term, and what the static default instance carries.
#include <gtest/gtest.h>

#include "engine/core/engine.h"
#include "engine/core/error.h"
#include "engine/core/file_interface.h"
#include "tests/support/null_device.h"

namespace {

using Requests = std::vector<int32_t>;

TvErrorRecord LastError() {
    TvErrorRecord record;
    return *TvErrorGet(&record);
}

TEST(EngineInstance, RequestsComeInOrderOverARun) {
    NullDeviceInstall();
    NullDevice& device = NullDeviceGet();
    uintptr_t window = 0x1234;
    ASSERT_TRUE(TvEngineInit(nullptr));
    ASSERT_TRUE(TvEngineOpen(&window));
    EXPECT_EQ(device.requests, (Requests{4, 0, 11}));
    EXPECT_EQ(device.openParameter, &window);
    EXPECT_EQ(TvEngineGetOpenCount(), 1);
    EXPECT_NE(TvEngineInstancePtr->deviceRecord.deviceControl, nullptr);

    // Queries may come between open and start; a stop before the start has nothing to end.
    EXPECT_EQ(TvEngineGetNumVideoModes(), 3);
    device.requests.clear();
    EXPECT_FALSE(TvEngineStop());
    EXPECT_TRUE(device.requests.empty());
    ASSERT_TRUE(TvEngineStart());
    // Request 9 builds the immediate 3-D module's pipe as that module opens.
    EXPECT_EQ(device.requests, (Requests{2, 9, 17}));
    device.requests.clear();
    ASSERT_TRUE(TvEngineStop());
    EXPECT_EQ(device.requests, (Requests{18, 3}));
    device.requests.clear();
    ASSERT_TRUE(TvEngineClose());
    EXPECT_EQ(device.requests, (Requests{1}));
    EXPECT_EQ(TvEngineGetOpenCount(), 0);
    EXPECT_TRUE(TvEngineTerm());
    NullDeviceRemove();
}

TEST(EngineInstance, DriverWithoutSubSystemsGetsTheDefaults) {
    NullEngine engine;
    ASSERT_TRUE(engine.ok());
    EXPECT_EQ(TvEngineGetNumSubSystems(), 1);
    TvSubSystemInfo info{};
    ASSERT_EQ(TvEngineGetSubSystemInfo(&info, 0), &info);
    EXPECT_STREQ(info.name, "Only rendering sub system");
    int32_t current = -1;
    EXPECT_EQ(TvEngineDeviceControl(&TvEngineInstancePtr->deviceRecord, 15, &current, nullptr, 0),
              1);
    EXPECT_EQ(current, 0);
    EXPECT_TRUE(TvEngineSetSubSystem(0));
    EXPECT_EQ(LastError().errorCode, E_TV_NOERROR);

    EXPECT_EQ(TvEngineGetSubSystemInfo(&info, 1), nullptr);
    EXPECT_EQ(LastError().pluginID, kTvPluginIdCore);
    EXPECT_EQ(LastError().errorCode, E_TV_UNSUPPORTEDREQUEST);
    EXPECT_FALSE(TvEngineSetSubSystem(1));
}

TEST(EngineInstance, VideoModeQueriesReachTheDevice) {
    NullEngine engine(nullptr, false);
    ASSERT_TRUE(engine.ok());
    TvVideoMode mode{};
    ASSERT_EQ(TvEngineGetVideoModeInfo(&mode, 2), &mode);
    EXPECT_EQ(mode.width, 1024u);
    EXPECT_EQ(mode.height, 768u);
    EXPECT_EQ(TvEngineGetVideoModeInfo(&mode, 3), nullptr);
    EXPECT_TRUE(TvEngineSetVideoMode(1));
    EXPECT_EQ(NullDeviceGet().currentMode, 1);

    NullDeviceGet().refused = {5};
    EXPECT_EQ(TvEngineGetNumVideoModes(), -1);
}

TEST(EngineInstance, RefusedDeviceOpenLeavesTheEngineInitialised) {
    NullDeviceInstall();
    ASSERT_TRUE(TvEngineInit(nullptr));
    TvEngineInstance* before = TvEngineInstancePtr;
    for (int32_t refused : {4, 0}) {
        NullDeviceGet().refused = {refused};
        EXPECT_FALSE(TvEngineOpen(nullptr)) << "request " << refused;
        EXPECT_EQ(TvEngineGetOpenCount(), 0);
        EXPECT_EQ(TvEngineInstancePtr, before);
    }
    NullDeviceGet().refused.clear();
    ASSERT_TRUE(TvEngineOpen(nullptr));
    EXPECT_TRUE(TvEngineClose());
    EXPECT_TRUE(TvEngineTerm());
    NullDeviceRemove();
}

TEST(EngineInstance, RefusedCloseKeepsTheInstance) {
    NullEngine engine(nullptr, false);
    ASSERT_TRUE(engine.ok());
    TvEngineInstance* instance = TvEngineInstancePtr;
    NullDeviceGet().refused = {1};
    EXPECT_FALSE(TvEngineClose());
    EXPECT_EQ(TvEngineInstancePtr, instance);
    EXPECT_EQ(TvEngineGetOpenCount(), 1);
    NullDeviceGet().refused.clear();
}

TEST(EngineInstance, TermWhileOpenKeepsTheRegistries) {
    NullEngine engine(nullptr, false);
    ASSERT_TRUE(engine.ok());
    int32_t size = TvEngineRegistry.sizeOfStruct;
    EXPECT_GT(size, TvEngineRegistry.origSizeOfStruct);
    EXPECT_FALSE(TvEngineTerm());
    EXPECT_EQ(TvEngineRegistry.sizeOfStruct, size);
    ASSERT_TRUE(TvEngineClose());
    ASSERT_TRUE(TvEngineTerm());
    EXPECT_EQ(TvEngineRegistry.sizeOfStruct, TvEngineRegistry.origSizeOfStruct);
    EXPECT_EQ(TvEngineRegistry.firstRegEntry, nullptr);
    // Let the fixture's teardown find nothing left to undo.
    ASSERT_TRUE(TvEngineInit(nullptr));
    ASSERT_TRUE(TvEngineOpen(nullptr));
}

TEST(EngineInstance, PluginRegistrationIsRefusedWhileOpenAndDuplicatesDoNotGrow) {
    NullDeviceInstall();
    ASSERT_TRUE(TvEngineInit(nullptr));
    int32_t size = TvEngineRegistry.sizeOfStruct;
    EXPECT_EQ(TvEngineRegisterPlugin(64, 0x40F, nullptr, nullptr),
              TvEngineRegistry.firstRegEntry->offset); // the error module's id
    EXPECT_EQ(TvEngineRegistry.sizeOfStruct, size);
    ASSERT_TRUE(TvEngineOpen(nullptr));
    EXPECT_EQ(TvEngineRegisterPlugin(4, 0x7777, nullptr, nullptr), -1);
    EXPECT_EQ(LastError().pluginID, 0u);
    EXPECT_EQ(LastError().errorCode, E_TV_PLUGINENGINEOPEN);
    EXPECT_TRUE(TvEngineClose());
    EXPECT_TRUE(TvEngineTerm());
    NullDeviceRemove();
}

struct Counter {
    static inline std::vector<std::string> log;
};
void* OpenA(void* o, int32_t, int32_t) {
    return Counter::log.push_back("open A"), o;
}
void* CloseA(void* o, int32_t, int32_t) {
    return Counter::log.push_back("close A"), o;
}
void* OpenFails(void*, int32_t, int32_t) {
    return Counter::log.push_back("open B"), nullptr;
}

TEST(EngineInstance, ModuleFailingToOpenStopsTheDevice) {
    Counter::log.clear();
    NullDeviceInstall();
    ASSERT_TRUE(TvEngineInit(nullptr));
    ASSERT_GE(TvEngineRegisterPlugin(8, 0x7001, OpenA, CloseA), 0);
    ASSERT_GE(TvEngineRegisterPlugin(8, 0x7002, OpenFails, nullptr), 0);
    ASSERT_TRUE(TvEngineOpen(nullptr));
    NullDeviceGet().requests.clear();
    EXPECT_FALSE(TvEngineStart());
    EXPECT_EQ(NullDeviceGet().requests, (Requests{2, 9, 3}));
    EXPECT_EQ(Counter::log, (std::vector<std::string>{"open A", "open B", "close A"}));
    EXPECT_TRUE(TvEngineClose());
    EXPECT_TRUE(TvEngineTerm());
    NullDeviceRemove();
}

TEST(EngineInstance, ModuleDataIsAlignedAndOpensOnStart) {
    Counter::log.clear();
    NullDeviceInstall();
    ASSERT_TRUE(TvEngineInit(nullptr));
    int32_t offset = TvEngineRegisterPlugin(3, 0x7003, OpenA, CloseA);
    ASSERT_GE(offset, int32_t(sizeof(TvEngineInstance)));
    EXPECT_EQ(offset % int32_t(alignof(std::max_align_t)), 0);
    ASSERT_TRUE(TvEngineOpen(nullptr));
    EXPECT_TRUE(Counter::log.empty());
    ASSERT_TRUE(TvEngineStart());
    EXPECT_EQ(Counter::log, (std::vector<std::string>{"open A"}));
    ASSERT_TRUE(TvEngineStop());
    EXPECT_EQ(Counter::log, (std::vector<std::string>{"open A", "close A"}));
    EXPECT_TRUE(TvEngineClose());
    EXPECT_TRUE(TvEngineTerm());
    NullDeviceRemove();
}

bool AlwaysThere(const char*) {
    return true;
}

TEST(EngineInstance, ReplacedFileSlotsSurviveCloseAndReopen) {
    NullEngine engine(nullptr, false);
    ASSERT_TRUE(engine.ok());
    TvEngineGetFileInterface()->exists = AlwaysThere;
    ASSERT_TRUE(TvEngineClose());
    EXPECT_EQ(TvEngineGetFileInterface()->exists, AlwaysThere);
    ASSERT_TRUE(TvEngineOpen(nullptr));
    EXPECT_EQ(TvEngineGetFileInterface()->exists, AlwaysThere);
}

TEST(EngineInstance, StandardFunctionsComeFromRequest11) {
    NullEngine engine;
    ASSERT_TRUE(engine.ok());
    EXPECT_EQ(TvEngineInstancePtr->standardFunctions[5](nullptr, nullptr, 0), 1);
    NullDeviceGet().refusedStandard = {21};
    EXPECT_EQ(TvEngineInstancePtr->standardFunctions[21](nullptr, nullptr, 0), 0);
    EXPECT_EQ(NullDeviceGet().standardCalls, (Requests{5, 21}));
}

TEST(EngineInstance, StartStopAndCloseNeedAnOpenEngine) {
    NullDeviceInstall();
    ASSERT_TRUE(TvEngineInit(nullptr));
    EXPECT_FALSE(TvEngineStart());
    EXPECT_FALSE(TvEngineStop());
    EXPECT_FALSE(TvEngineClose());
    EXPECT_TRUE(NullDeviceGet().requests.empty());
    EXPECT_TRUE(TvEngineTerm());
    NullDeviceRemove();
}

} // namespace
