#include "engine/world/clump.h"

#include <algorithm>
#include <cstddef>
#include <cstring>

#include "engine/core/bytes.h"
#include "engine/core/link.h"
#include "engine/core/matrix.h"
#include "engine/core/memory.h"
#include "engine/core/pipe.h"
#include "engine/core/resources.h"
#include "engine/core/stream.h"
#include "engine/world/d3d_world.h"
#include "engine/world/geometry.h"
#include "engine/world/light.h"
#include "engine/world/world_plugin.h"

TvModuleGlobals TpAtomicModule;
TvPluginRegistry TpAtomicRegistry = TvPluginRegistryInitial(sizeof(TpAtomic));
TvPluginRegistry TpClumpRegistry = TvPluginRegistryInitial(sizeof(TpClump));
const int32_t _TpAtomicModuleDataSize = sizeof(TpAtomicModuleData);

namespace {

constexpr int32_t kAtomicsPerChunk = 20;
constexpr int32_t kClumpsPerChunk = 10;

TpAtomicModuleData* Data() {
    return TvEngineModuleData<TpAtomicModuleData>(TpAtomicModule);
}

bool Check(const void* object) {
    return TpCheck(TpAtomicModule, object);
}

TpAtomic* AtomicFromLink(TvLink* link) {
    return TvContainerOf<TpAtomic>(link, offsetof(TpAtomic, inClump));
}

TvObjectHasFrame* DefaultSync(TvObjectHasFrame* object) {
    auto* atomic = reinterpret_cast<TpAtomic*>(object);
    if (atomic->interpolator.flags & kTpInterpolateSphere) TpAtomicInterpolate(atomic);
    atomic->object.object.privateFlags |= kTpAtomicWorldSphereStale;
    return object;
}

int32_t DefaultRender(TpAtomic* atomic) {
    if (!TvPipeStackPush(Data()->defaultPipe)) {
        TvPipeStackPop(); // the stack took the entry even though the push failed
        return 0;
    }
    const void* result = TvPipeStackExecute(atomic);
    TvPipeStackPop();
    return result ? 1 : 0;
}

// What destroying an atomic frees, without unlinking it from its clump.
void FreeAtomic(TpAtomic* atomic) {
    if (atomic->instancedData) TvResourcesFreeResEntry(atomic->instancedData);
    atomic->instancedData = nullptr;
    if (atomic->geometry) TpGeometryDestroy(atomic->geometry);
    atomic->geometry = nullptr;
    TvObjectHasFrameReleaseFrame(&atomic->object);
    atomic->object.frame = nullptr;
    TvPluginDeinitObject(&TpAtomicRegistry, atomic);
    TvFreeListFree(Data()->atomicFreeList, atomic);
}

void FreeClump(TpClump* clump) {
    TvPluginDeinitObject(&TpClumpRegistry, clump);
    while (!TvLinkEmpty(&clump->atomics)) {
        TpAtomic* atomic = AtomicFromLink(clump->atomics.next);
        TvLinkRemove(&atomic->inClump);
        FreeAtomic(atomic);
    }
    if (clump->frame) TvFrameDestroyHierarchy(clump->frame);
    for (int32_t i = 0; i < clump->numExtraRoots; i++)
        if (clump->extraRoots[i]) TvFrameDestroyHierarchy(clump->extraRoots[i]);
    TvFree(clump->extraRoots);
    TvFreeListFree(Data()->clumpFreeList, clump);
}

void DestroyClumpStillAllocated(void* block, void*) {
    FreeClump(static_cast<TpClump*>(block));
}

void DestroyAtomicStillAllocated(void* block, void*) {
    FreeAtomic(static_cast<TpAtomic*>(block));
}

void CloseData(TpAtomicModuleData* data) {
    if (data->defaultPipe) TvPipeDestroy(data->defaultPipe);
    if (data->clumpFreeList) {
        TvFreeListForAllUsed(data->clumpFreeList, DestroyClumpStillAllocated, nullptr);
        TvFreeListDestroy(data->clumpFreeList);
    }
    if (data->atomicFreeList) {
        TvFreeListForAllUsed(data->atomicFreeList, DestroyAtomicStillAllocated, nullptr);
        TvFreeListDestroy(data->atomicFreeList);
    }
    *data = TpAtomicModuleData{};
}

TpInterpolator* Touch(TpInterpolator* interpolator) {
    interpolator->flags |= kTpInterpolateVertices | kTpInterpolateSphere;
    return interpolator;
}

// Reads one atomic chunk's body; the atomic gets the frame at its stored index.
TpAtomic* ReadAtomic(TvStream* stream, const TvFrameList* frames) {
    uint8_t body[12] = {}; // frame index, flags, reserved
    if (!TpReadStructBody(stream, body, sizeof body, nullptr)) return nullptr;
    uint32_t words[3];
    std::memcpy(words, body, sizeof words);
    TvMemNative32(words, sizeof words);
    if (words[0] >= uint32_t(frames->numFrames)) {
        TpWorldError(E_TP_INDEXRANGE);
        return nullptr;
    }
    uint32_t geometryLength = 0;
    if (!TpFindChunk(stream, TV_ID_GEOMETRY, &geometryLength)) return nullptr;
    TpGeometry* geometry = _TpGeometryStreamRead(
        stream, std::min<uint64_t>(geometryLength, TpStreamRemaining(stream)));
    if (!geometry) return nullptr;
    TpAtomic* atomic = TpAtomicCreate();
    if (atomic) {
        atomic->object.object.flags = uint8_t(words[1]);
        TpAtomicSetGeometry(atomic, geometry, 0);
        TpAtomicSetFrame(atomic, frames->frames[words[0]]);
    }
    TpGeometryDestroy(geometry); // the atomic holds the only reference
    if (atomic && !TvPluginStreamRead(&TpAtomicRegistry, stream, atomic)) {
        TpAtomicDestroy(atomic);
        return nullptr;
    }
    return atomic;
}

} // namespace

TpClump* TvIdentityCallBack(TpClump* clump, void*) {
    return clump;
}

void* _TpAtomicModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* data = static_cast<TpAtomicModuleData*>(TvEngineInstanceData(instance, offset));
    *data = TpAtomicModuleData{};
    data->atomicFreeList =
        TvFreeListCreate(size_t(TpAtomicRegistry.sizeOfStruct), kAtomicsPerChunk);
    data->clumpFreeList = TvFreeListCreate(size_t(TpClumpRegistry.sizeOfStruct), kClumpsPerChunk);
    data->defaultPipe = data->atomicFreeList && data->clumpFreeList ? TvPipeCreate() : nullptr;
    if (!data->defaultPipe || !TpD3DWorldAtomicSetup(data->defaultPipe)) {
        CloseData(data);
        return nullptr;
    }
    data->defaultPipe->stage4 = TpAtomicLightingStage;
    return TvModuleOpened(TpAtomicModule, instance, offset);
}

void* _TpAtomicModuleClose(void* instance, int32_t offset, int32_t) {
    CloseData(static_cast<TpAtomicModuleData*>(TvEngineInstanceData(instance, offset)));
    return TvModuleClosed(TpAtomicModule, instance);
}

TpAtomic* TpAtomicCreate() {
    if (!TvModuleIsOpen(TpAtomicModule)) {
        TpCommonError(E_TV_NOTOPEN);
        return nullptr;
    }
    auto* atomic = static_cast<TpAtomic*>(TvFreeListAlloc(Data()->atomicFreeList));
    if (!atomic) return nullptr;
    std::memset(atomic, 0, sizeof *atomic);
    atomic->object.object = {kTpAtomicObjectType, 0, kTpAtomicCollisionTest | kTpAtomicRender,
                             kTpAtomicWorldSphereStale};
    TvLinkInit(&atomic->object.lFrame);
    atomic->object.sync = DefaultSync;
    TvLinkInit(&atomic->inClump);
    atomic->renderCallBack = DefaultRender;
    atomic->interpolator = {kTpInterpolateVertices | kTpInterpolateSphere, 0, 0, 1.0f, 1.0f, 0.0f};
    TvLinkInit(&atomic->sectorTies);
    // A failed constructor has undone the ones before it: nothing is left to destroy.
    if (!TvPluginInitObject(&TpAtomicRegistry, atomic)) {
        TvFreeListFree(Data()->atomicFreeList, atomic);
        return nullptr;
    }
    return atomic;
}

int32_t TpAtomicDestroy(TpAtomic* atomic) {
    if (!Check(atomic)) return 0;
    FreeAtomic(atomic);
    return 1;
}

TpAtomic* TpAtomicClone(TpAtomic* atomic) {
    if (!Check(atomic)) return nullptr;
    TpAtomic* copy = TpAtomicCreate();
    if (!copy) return nullptr;
    copy->object.object = atomic->object.object;
    copy->object.object.privateFlags |= kTpAtomicWorldSphereStale;
    if (atomic->geometry) copy->geometry = TpGeometryAddRef(atomic->geometry);
    copy->boundingSphere = atomic->boundingSphere;
    copy->renderCallBack = atomic->renderCallBack;
    copy->interpolator = atomic->interpolator;
    TvPluginCopyObject(&TpAtomicRegistry, copy, atomic);
    return copy;
}

TpAtomic* TpAtomicSetGeometry(TpAtomic* atomic, TpGeometry* geometry, uint8_t flags) {
    if (!Check(atomic)) return nullptr;
    if (atomic->geometry == geometry) return atomic;
    if (geometry) TpGeometryAddRef(geometry);
    if (atomic->geometry) TpGeometryDestroy(atomic->geometry);
    atomic->geometry = geometry;
    // A geometry without morph targets has no sphere to give.
    if (geometry && !(flags & kTpAtomicSameBoundingSphere) && geometry->numMorphTargets > 0) {
        atomic->boundingSphere = geometry->morphTargets[0].boundingSphere;
        if (atomic->object.frame) TvFrameUpdateObjects(atomic->object.frame);
    }
    atomic->counter++;
    return atomic;
}

TpGeometry* TpAtomicGetGeometry(const TpAtomic* atomic) {
    return Check(atomic) ? atomic->geometry : nullptr;
}

TpAtomic* TpAtomicSetFrame(TpAtomic* atomic, TvFrame* frame) {
    if (!Check(atomic)) return nullptr;
    TvObjectHasFrameSetFrame(&atomic->object, frame);
    atomic->object.object.privateFlags |= kTpAtomicWorldSphereStale;
    atomic->counter++;
    return atomic;
}

TpAtomic* TpAtomicSetFlags(TpAtomic* atomic, uint8_t flags) {
    if (!Check(atomic)) return nullptr;
    atomic->object.object.flags = flags;
    atomic->counter++;
    return atomic;
}

TpAtomic* TpAtomicSetRenderCallBack(TpAtomic* atomic, TpAtomicRenderCallBack callBack) {
    if (!Check(atomic)) return nullptr;
    atomic->renderCallBack = callBack ? callBack : DefaultRender;
    atomic->counter++;
    return atomic;
}

TvPipe* TpAtomicGetDefaultPipe() {
    if (!TvModuleIsOpen(TpAtomicModule)) {
        TpCommonError(E_TV_NOTOPEN);
        return nullptr;
    }
    return Data()->defaultPipe;
}

TpAtomic* TpAtomicRender(TpAtomic* atomic) {
    if (!Check(atomic)) return nullptr;
    return atomic->renderCallBack(atomic) > 0 ? atomic : nullptr;
}

TpAtomic* TpAtomicInterpolate(TpAtomic* atomic) {
    if (!Check(atomic)) return nullptr;
    TpInterpolator& in = atomic->interpolator;
    const TpGeometry* geometry = atomic->geometry;
    if (!(in.flags & kTpInterpolateSphere) || !geometry) return atomic;
    const int32_t n = geometry->numMorphTargets;
    const int32_t s = in.startMorphTarget, e = in.endMorphTarget;
    const bool sIn = s >= 0 && s < n, eIn = e >= 0 && e < n;
    if (s == e || !sIn || !eIn) {
        if (n > 0)
            atomic->boundingSphere = geometry->morphTargets[sIn && eIn ? s : 0].boundingSphere;
    } else {
        const float t = in.position * in.recipTime;
        const TvSphere& a = geometry->morphTargets[s].boundingSphere;
        const TvSphere& b = geometry->morphTargets[e].boundingSphere;
        atomic->boundingSphere = {{a.center.x + (b.center.x - a.center.x) * t,
                                   a.center.y + (b.center.y - a.center.y) * t,
                                   a.center.z + (b.center.z - a.center.z) * t},
                                  a.radius + (b.radius - a.radius) * t};
    }
    in.flags &= ~kTpInterpolateSphere;
    atomic->object.object.privateFlags |= kTpAtomicWorldSphereStale;
    return atomic;
}

TvSphere* TpAtomicGetBoundingSphere(TpAtomic* atomic) {
    if (!Check(atomic)) return nullptr;
    if (atomic->interpolator.flags & kTpInterpolateSphere) TpAtomicInterpolate(atomic);
    return &atomic->boundingSphere;
}

TvSphere* TpAtomicGetWorldBoundingSphere(TpAtomic* atomic) {
    if (!Check(atomic)) return nullptr;
    if (atomic->interpolator.flags & kTpInterpolateSphere) TpAtomicInterpolate(atomic);
    TvFrame* frame = atomic->object.frame;
    if (!frame) {
        // Without a frame the atomic stands at the origin of world space.
        atomic->worldBoundingSphere = atomic->boundingSphere;
        return &atomic->worldBoundingSphere;
    }
    if (!TvFrameIsDirty(frame) && !(atomic->object.object.privateFlags & kTpAtomicWorldSphereStale))
        return &atomic->worldBoundingSphere;
    const TvMatrix* ltm = TvFrameGetLTM(frame);
    TvV3dTransformPoints(&atomic->worldBoundingSphere.center, &atomic->boundingSphere.center, 1,
                         ltm);
    const float atSquared = ltm->at.x * ltm->at.x + ltm->at.y * ltm->at.y + ltm->at.z * ltm->at.z;
    atomic->worldBoundingSphere.radius = atomic->boundingSphere.radius * TvSqrt(&atSquared);
    atomic->object.object.privateFlags &= uint8_t(~kTpAtomicWorldSphereStale);
    return &atomic->worldBoundingSphere;
}

TpInterpolator* TpAtomicGetInterpolator(TpAtomic* atomic) {
    if (!Check(atomic)) return nullptr;
    if (TvFrame* frame = atomic->object.frame) {
        // Queue the frame for an object update without asking for new world matrices.
        TvFrame* root = frame->root;
        const bool subtreeClear = !(frame->object.privateFlags & kTvFrameSubtreeSyncLTM);
        const bool rootClear = !(root->object.privateFlags & kTvFrameHierarchySyncLTM);
        TvFrameUpdateObjects(frame);
        if (subtreeClear) frame->object.privateFlags &= uint8_t(~kTvFrameSubtreeSyncLTM);
        if (rootClear) root->object.privateFlags &= uint8_t(~kTvFrameHierarchySyncLTM);
    }
    return &atomic->interpolator;
}

TpClump* TpAtomicGetClump(const TpAtomic* atomic) {
    return Check(atomic) ? atomic->clump : nullptr;
}

TpInterpolator* TpInterpolatorSetStartMorphTarget(TpInterpolator* interpolator, uint16_t target) {
    if (!Check(interpolator)) return nullptr;
    interpolator->startMorphTarget = int16_t(target);
    return Touch(interpolator);
}
TpInterpolator* TpInterpolatorSetEndMorphTarget(TpInterpolator* interpolator, uint16_t target) {
    if (!Check(interpolator)) return nullptr;
    interpolator->endMorphTarget = int16_t(target);
    return Touch(interpolator);
}
TpInterpolator* TpInterpolatorSetPosition(TpInterpolator* interpolator, float position) {
    if (!Check(interpolator)) return nullptr;
    interpolator->position = position;
    return Touch(interpolator);
}
TpInterpolator* TpInterpolatorSetDuration(TpInterpolator* interpolator, float duration) {
    if (!Check(interpolator)) return nullptr;
    interpolator->time = duration;
    interpolator->recipTime = 1.0f / duration;
    return Touch(interpolator);
}
float TpInterpolatorGetPosition(const TpInterpolator* interpolator) {
    return Check(interpolator) ? interpolator->position : 0.0f;
}

TpClump* TpClumpCreate() {
    if (!TvModuleIsOpen(TpAtomicModule)) {
        TpCommonError(E_TV_NOTOPEN);
        return nullptr;
    }
    auto* clump = static_cast<TpClump*>(TvFreeListAlloc(Data()->clumpFreeList));
    if (!clump) return nullptr;
    std::memset(clump, 0, sizeof *clump);
    clump->object.type = kTpClumpObjectType;
    TvLinkInit(&clump->atomics);
    TvLinkInit(&clump->inWorld);
    clump->callBack = TvIdentityCallBack;
    if (!TvPluginInitObject(&TpClumpRegistry, clump)) {
        TvFreeListFree(Data()->clumpFreeList, clump);
        return nullptr;
    }
    return clump;
}

int32_t TpClumpDestroy(TpClump* clump) {
    if (!Check(clump)) return 0;
    FreeClump(clump);
    return 1;
}

TpClump* TpClumpAddAtomic(TpClump* clump, TpAtomic* atomic) {
    if (!Check(clump) || !Check(atomic)) return nullptr;
    TvLinkRemove(&atomic->inClump);
    TvLinkInsertHead(&clump->atomics, &atomic->inClump);
    atomic->clump = clump;
    atomic->counter++;
    clump->counter++;
    return clump;
}

TpClump* TpClumpForAllAtomics(TpClump* clump, TpAtomicCallBack callback, void* data) {
    if (!Check(clump) || !Check(reinterpret_cast<void*>(callback))) return nullptr;
    for (TvLink* l = clump->atomics.next; l != &clump->atomics;) {
        TvLink* next = l->next;
        if (!callback(AtomicFromLink(l), data)) break;
        l = next;
    }
    return clump;
}

TpClump* TpClumpRender(TpClump* clump) {
    if (!Check(clump)) return nullptr;
    for (TvLink* l = clump->atomics.next; l != &clump->atomics; l = l->next) {
        TpAtomic* atomic = AtomicFromLink(l);
        if (!(atomic->object.object.flags & kTpAtomicRender)) continue;
        if (atomic->object.frame) TvFrameGetLTM(atomic->object.frame);
        atomic->renderCallBack(atomic);
    }
    return clump;
}

TpClump* TpClumpSetFrame(TpClump* clump, TvFrame* frame) {
    if (!Check(clump)) return nullptr;
    clump->frame = frame;
    clump->counter++;
    return clump;
}

TpClump* TpClumpSetCallBack(TpClump* clump, TpClumpCallBack callBack) {
    if (!Check(clump)) return nullptr;
    clump->callBack = callBack ? callBack : TvIdentityCallBack;
    clump->counter++;
    return clump;
}

TpClumpCallBack TpClumpGetCallBack(const TpClump* clump) {
    if (!Check(clump)) return nullptr;
    return clump->callBack == TvIdentityCallBack ? nullptr : clump->callBack;
}

TpClump* TpClumpClone(TpClump* clump) {
    if (!Check(clump)) return nullptr;
    TpClump* copy = TpClumpCreate();
    if (!copy) return nullptr;
    bool ok = true;
    if (clump->frame) {
        TvFrame* top = TvFrameCloneHierarchy(clump->frame);
        ok = top != nullptr;
        if (ok) TpClumpSetFrame(copy, top);
    }
    if (ok && clump->numExtraRoots > 0) {
        copy->extraRoots = static_cast<TvFrame**>(
            TvCalloc(size_t(clump->numExtraRoots), sizeof(TvFrame*)));
        ok = copy->extraRoots != nullptr;
        if (ok) copy->numExtraRoots = clump->numExtraRoots;
        for (int32_t i = 0; ok && i < clump->numExtraRoots; i++)
            ok = (copy->extraRoots[i] = TvFrameCloneHierarchy(clump->extraRoots[i])) != nullptr;
    }
    // While the source hierarchies are cloned, each of their frames' root names the frame's
    // copy, whose own root is the top of a copied hierarchy.
    auto copied = [&](const TvFrame* top) {
        if (top == copy->frame && top) return true;
        for (int32_t i = 0; i < copy->numExtraRoots; i++)
            if (top == copy->extraRoots[i] && top) return true;
        return false;
    };
    for (TvLink* l = clump->atomics.next; ok && l != &clump->atomics; l = l->next) {
        TpAtomic* atomic = AtomicFromLink(l);
        TvFrame* frame = atomic->object.frame;
        if (!frame || !copied(frame->root->root)) {
            TpWorldError(E_TP_ATOMICNOFRAME);
            ok = false;
            break;
        }
        TpAtomic* atomicCopy = TpAtomicClone(atomic);
        ok = atomicCopy != nullptr;
        if (ok) {
            TpAtomicSetFrame(atomicCopy, frame->root);
            TpClumpAddAtomic(copy, atomicCopy);
        }
    }
    if (clump->frame) TvFrameUpdateRoot(clump->frame);
    for (int32_t i = 0; i < clump->numExtraRoots; i++)
        TvFrameUpdateRoot(clump->extraRoots[i]);
    if (!ok) {
        TpClumpDestroy(copy);
        return nullptr;
    }
    copy->callBack = clump->callBack;
    TvPluginCopyObject(&TpClumpRegistry, copy, clump);
    return copy;
}

void _TpAtomicClearQueryStamps() {
    if (!TvModuleIsOpen(TpAtomicModule)) return;
    TvFreeListForAllUsed(
        Data()->atomicFreeList,
        [](void* block, void*) { static_cast<TpAtomic*>(block)->queryStamp = 0; }, nullptr);
}

TpClump* TpClumpStreamRead(TvStream* stream) {
    uint8_t body[4] = {};
    if (!TpReadStructBody(stream, body, sizeof body, nullptr)) return nullptr;
    int32_t numAtomics;
    std::memcpy(&numAtomics, body, sizeof numAtomics);
    TvMemNative32(&numAtomics, sizeof numAtomics);
    TvFrameList frames{nullptr, 0};
    if (!TpFindChunk(stream, TV_ID_FRAMELIST, nullptr) || !TvFrameListStreamRead(stream, &frames))
        return nullptr;
    // Element 0 roots the clump's hierarchy; further roots are kept and destroyed with it.
    int32_t extra = 0;
    for (int32_t i = 1; i < frames.numFrames; i++)
        extra += frames.frames[i]->parent ? 0 : 1;
    auto releaseFrames = [&frames]() {
        for (int32_t i = 0; i < frames.numFrames; i++)
            if (!frames.frames[i]->parent) TvFrameDestroyHierarchy(frames.frames[i]);
        TvFrameListDeinit(&frames);
    };
    if (frames.numFrames < 1) {
        TpCommonError(E_TV_INVALIDPARAM);
        releaseFrames();
        return nullptr;
    }
    TpClump* clump = TpClumpCreate();
    TvFrame** roots =
        extra > 0 ? static_cast<TvFrame**>(TvCalloc(size_t(extra), sizeof(TvFrame*))) : nullptr;
    if (!clump || (extra > 0 && !roots)) {
        if (clump) TpClumpDestroy(clump);
        TvFree(roots);
        releaseFrames();
        return nullptr;
    }
    TpClumpSetFrame(clump, frames.frames[0]);
    for (int32_t i = 1; i < frames.numFrames; i++)
        if (!frames.frames[i]->parent) roots[clump->numExtraRoots++] = frames.frames[i];
    clump->extraRoots = roots;
    bool ok = true;
    for (int32_t i = 0; ok && i < numAtomics; i++) {
        TpAtomic* atomic =
            TpFindChunk(stream, TV_ID_ATOMIC, nullptr) ? ReadAtomic(stream, &frames) : nullptr;
        ok = atomic != nullptr;
        if (ok) TpClumpAddAtomic(clump, atomic);
    }
    if (ok) ok = TvPluginStreamRead(&TpClumpRegistry, stream, clump) != nullptr;
    TvFrameListDeinit(&frames);
    if (!ok) {
        TpClumpDestroy(clump);
        return nullptr;
    }
    return clump;
}
