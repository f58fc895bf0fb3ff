#include <gtest/gtest.h>

#include <string>

#include "engine/core/error.h"
#include "engine/core/pipe.h"
#include "tests/support/engine_checks.h"
#include "tests/support/null_device.h"

namespace {

std::string g_trace;
int32_t g_hookResult = 1;

int32_t PushHook(TvPipe*) {
    return g_hookResult;
}
int32_t PopHook() {
    return g_hookResult;
}

class PipeTest : public ::testing::Test {
protected:
    NullEngine engine;
    void SetUp() override {
        ASSERT_TRUE(engine.ok());
        g_trace.clear();
        g_hookResult = 1;
        TvPipeStackSetHooks(PushHook, PopHook);
    }
};

TEST_F(PipeTest, CreateAsksTheDriverToFillThePipe) {
    TvPipe* pipe = TvPipeCreate();
    ASSERT_NE(pipe, nullptr);
    EXPECT_EQ(NullDeviceGet().requests.back(), TV_DEVICE_BUILD_IM3D_PIPE);
    int data = 0;
    EXPECT_EQ(pipe->start(&data), nullptr);
    TvPipeDestroy(pipe);
    NullDeviceGet().refused = {TV_DEVICE_BUILD_IM3D_PIPE};
    EXPECT_EQ(TvPipeCreate(), nullptr);
}

TEST_F(PipeTest, ExecuteRunsTheTopPipesStagesInOrder) {
    TvPipe* below = TvPipeCreate();
    TvPipe* top = TvPipeCreate();
    top->start = [](void* data) -> void* {
        g_trace += "0";
        return *static_cast<int*>(data) ? data : nullptr;
    };
    top->stage1 = [](void* w) -> void* { return g_trace += "1", w; };
    top->stage2 = [](void* w) -> void* { return g_trace += "2", w; };
    top->param = 7;
    top->stage4 = [](void* w, intptr_t p) -> void* { return g_trace += std::to_string(p), w; };
    top->stage5 = [](void* w) -> void* { return g_trace += "5", w; };
    top->stage6 = [](void*) -> void* { return g_trace += "6", nullptr; };
    ASSERT_EQ(TvPipeStackPush(below), below);
    ASSERT_EQ(TvPipeStackPush(top), top);
    int work = 1;
    EXPECT_EQ(TvPipeStackExecute(&work), &work);
    EXPECT_EQ(g_trace, "012756");
    int none = 0;
    EXPECT_EQ(TvPipeStackExecute(&none), &none);
    EXPECT_EQ(g_trace, "0127560") << "no work record: no further stages";
    EXPECT_EQ(TvPipeStackExecute(nullptr), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_NULLP);

    EXPECT_EQ(TvPipeStackPop(), top);
    EXPECT_EQ(TvPipeStackPop(), below);
    TvPipeDestroy(top);
    TvPipeDestroy(below);
}

TEST_F(PipeTest, StackHoldsTenAndHooksDecide) {
    TvPipe* pipe = TvPipeCreate();
    TvPipe* other = TvPipeCreate();
    EXPECT_EQ(TvPipeStackPop(), nullptr) << "nothing pushed";
    for (int i = 0; i < kTvPipeStackSize; ++i)
        ASSERT_EQ(TvPipeStackPush(pipe), pipe) << i;
    EXPECT_EQ(TvPipeStackPush(other), nullptr);
    EXPECT_EQ(TvPipeStackPop(), pipe) << "the refused push wrote nothing";

    // A refusing pop hook changes nothing; a refusing push hook leaves the pipe pushed.
    g_hookResult = 0;
    EXPECT_EQ(TvPipeStackPop(), nullptr);
    EXPECT_EQ(TvPipeStackPush(other), nullptr);
    g_hookResult = 1;
    EXPECT_EQ(TvPipeStackPop(), other);
    for (int i = 0; i < kTvPipeStackSize - 1; ++i)
        EXPECT_EQ(TvPipeStackPop(), pipe) << i;
    EXPECT_EQ(TvPipeStackPop(), nullptr);
    TvPipeDestroy(pipe);
    TvPipeDestroy(other);
}

} // namespace
