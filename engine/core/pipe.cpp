#include "engine/core/pipe.h"

#include "engine/core/engine.h"
#include "engine/core/engine_modules.h"
#include "engine/core/error.h"
#include "engine/core/memory.h"

namespace {

TvModuleGlobals pipeModule;

TvPipeStackModule* PipeData() {
    return TvEngineModuleData<TvPipeStackModule>(pipeModule);
}

void* StartNothing(void*) {
    return nullptr;
}
void* StageNothing(void* work) {
    return work;
}
void* ParamStageNothing(void* work, intptr_t) {
    return work;
}
int32_t PushRefused(TvPipe*) {
    return 0;
}
int32_t PopRefused() {
    return 0;
}

} // namespace

TvPipe* TvPipeCreate() {
    auto* pipe = static_cast<TvPipe*>(TvFreeListAlloc(PipeData()->freeList));
    if (!pipe) return nullptr;
    *pipe = TvPipe{StartNothing,      StageNothing, StageNothing, 0,
                   ParamStageNothing, StageNothing, StageNothing};
    if (!TvEngineDeviceControl(&TV_ENGINE->deviceRecord, TV_DEVICE_BUILD_IM3D_PIPE, nullptr, pipe,
                               0)) {
        TvFreeListFree(PipeData()->freeList, pipe);
        return nullptr;
    }
    return pipe;
}

bool TvPipeDestroy(TvPipe* pipe) {
    TvFreeListFree(PipeData()->freeList, pipe);
    return true;
}

TvPipe* TvPipeStackPush(TvPipe* pipe) {
    TvPipeStackModule* mod = PipeData();
    // A full stack refuses before anything is written.
    if (mod->depth >= kTvPipeStackSize) {
        TvErrorCore(E_TV_INVALIDPARAM);
        return nullptr;
    }
    mod->stack[mod->depth++] = pipe;
    return mod->pushHook(pipe) ? pipe : nullptr;
}

void* TvPipeStackExecute(void* data) {
    TvPipeStackModule* mod = PipeData();
    if (!data) {
        TvErrorCore(E_TV_NULLP);
        return nullptr;
    }
    if (mod->depth < 1) { // no pipe to run
        TvErrorCore(E_TV_INVALIDPARAM);
        return nullptr;
    }
    const TvPipe* pipe = mod->stack[mod->depth - 1];
    if (void* work = pipe->start(data)) {
        pipe->stage1(work);
        pipe->stage2(work);
        pipe->stage4(work, pipe->param);
        pipe->stage5(work);
        pipe->stage6(work);
    }
    return data;
}

TvPipe* TvPipeStackPop() {
    TvPipeStackModule* mod = PipeData();
    if (mod->depth < 1) return nullptr; // nothing pushed: the depth must not go negative
    if (!mod->popHook()) return nullptr;
    return mod->stack[--mod->depth];
}

bool TvPipeStackSetHooks(TvPipePushHook push, TvPipePopHook pop) {
    TvPipeStackModule* mod = PipeData();
    mod->pushHook = push ? push : PushRefused;
    mod->popHook = pop ? pop : PopRefused;
    return true;
}

const int32_t _TvPipeStackModuleDataSize = sizeof(TvPipeStackModule);

void* _TvPipeStackModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* mod = static_cast<TvPipeStackModule*>(TvEngineInstanceData(instance, offset));
    mod->freeList = TvFreeListCreate(sizeof(TvPipe), 5);
    if (!mod->freeList) return nullptr;
    mod->pushHook = PushRefused;
    mod->popHook = PopRefused;
    mod->depth = 0;
    for (TvPipe*& p : mod->stack)
        p = nullptr;
    return TvModuleOpened(pipeModule, instance, offset);
}

void* _TvPipeStackModuleClose(void* instance, int32_t offset, int32_t) {
    auto* mod = static_cast<TvPipeStackModule*>(TvEngineInstanceData(instance, offset));
    TvFreeListDestroy(mod->freeList);
    mod->freeList = nullptr;
    return TvModuleClosed(pipeModule, instance);
}
