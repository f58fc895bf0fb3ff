// The pipeline stack: immediate 3-D pipes, sets of seven stage callbacks filled by the driver,
// through which vertex batches are transformed and clipped.
#pragma once

#include <cstdint>

struct TvFreeList;

using TvPipeStartFn = void* (*)(void* data); // -> work record or null
using TvPipeStageFn = void* (*)(void* work); // result unused
using TvPipeParamStageFn = void* (*)(void* work, intptr_t param);

struct TvPipe {
    TvPipeStartFn start;
    TvPipeStageFn stage1;
    TvPipeStageFn stage2;
    intptr_t param;
    TvPipeParamStageFn stage4;
    TvPipeStageFn stage5;
    TvPipeStageFn stage6;
};

using TvPipePushHook = int32_t (*)(TvPipe* pipe); // non-zero on success
using TvPipePopHook = int32_t (*)();

inline constexpr int32_t kTvPipeStackSize = 10;

// Pipe stack module data (module 0x409).
struct TvPipeStackModule {
    TvFreeList* freeList;
    TvPipePushHook pushHook;
    TvPipePopHook popHook;
    int32_t depth;
    TvPipe* stack[kTvPipeStackSize];
};

TvPipe* TvPipeCreate();
bool TvPipeDestroy(TvPipe* pipe);
TvPipe* TvPipeStackPush(TvPipe* pipe);
void* TvPipeStackExecute(void* data);
TvPipe* TvPipeStackPop();
// Used by the driver's immediate 3-D module at its open.
bool TvPipeStackSetHooks(TvPipePushHook push, TvPipePopHook pop);
