// Atomics and clumps: an atomic places one geometry with a frame; a clump groups atomics that
// share one frame hierarchy and is the unit models are loaded, cloned and rendered in.
#pragma once

#include <cstdint>

#include "engine/core/frame.h"
#include "engine/core/vector.h"

struct TvFreeList;
struct TvPipe;
struct TvResEntry;
struct TvStream;
struct TpGeometry;
struct TpClump;

inline constexpr uint8_t kTpAtomicObjectType = 1;
inline constexpr uint8_t kTpClumpObjectType = 2;

// Atomic flags.
inline constexpr uint8_t kTpAtomicCollisionTest = 0x01;
inline constexpr uint8_t kTpAtomicRender = 0x04;
// Atomic private flags bit 0: the world bounding sphere is out of date.
inline constexpr uint8_t kTpAtomicWorldSphereStale = 0x01;

// Interpolator flags: instanced vertices, bounding sphere.
inline constexpr uint32_t kTpInterpolateVertices = 0x01;
inline constexpr uint32_t kTpInterpolateSphere = 0x02;
// Atomic flag of TpAtomicSetGeometry: keep the atomic's bounding sphere.
inline constexpr uint8_t kTpAtomicSameBoundingSphere = 0x01;

struct TpInterpolator {
    uint32_t flags;
    int16_t startMorphTarget;
    int16_t endMorphTarget;
    float time;      // duration
    float recipTime; // 1 / duration
    float position;
};

struct TpAtomic;
using TpAtomicRenderCallBack = int32_t (*)(TpAtomic* atomic);
using TpAtomicCallBack = TpAtomic* (*)(TpAtomic* atomic, void* data);
using TpClumpCallBack = TpClump* (*)(TpClump* clump, void* data);

struct TpAtomic {
    TvObjectHasFrame object;
    uint8_t counter;
    TvResEntry* instancedData;
    TpGeometry* geometry;
    TvSphere boundingSphere; // frame space
    TvSphere worldBoundingSphere;
    TpClump* clump;
    TvLink inClump;
    TpAtomicRenderCallBack renderCallBack;
    TpInterpolator interpolator;
    uint16_t renderFrame;
    uint16_t queryStamp; // the last intersection query that tested the atomic
    TvLink sectorTies;
    // atomic plug-in data follows
};

struct TpClump {
    TvObject object;
    TvFrame* frame; // root of the clump's hierarchy
    TvLink atomics;
    uint16_t renderFrame;
    uint8_t counter;
    TvLink inWorld;
    TpClumpCallBack callBack;
    // Roots of further hierarchies in the clump's frame list (atomics may hang on them); they
    // are cloned and destroyed with the clump.
    TvFrame** extraRoots;
    int32_t numExtraRoots;
    // clump plug-in data follows
};

// Atomic-and-clump module data (module 0x504).
struct TpAtomicModuleData {
    TvPipe* defaultPipe;
    TvFreeList* atomicFreeList;
    TvFreeList* clumpFreeList;
};

// The identity clump callback: returns its clump.
TpClump* TvIdentityCallBack(TpClump* clump, void* data);

TpAtomic* TpAtomicCreate();
int32_t TpAtomicDestroy(TpAtomic* atomic);
TpAtomic* TpAtomicClone(TpAtomic* atomic);
TpAtomic* TpAtomicSetGeometry(TpAtomic* atomic, TpGeometry* geometry, uint8_t flags);
TpGeometry* TpAtomicGetGeometry(const TpAtomic* atomic);
TpAtomic* TpAtomicSetFrame(TpAtomic* atomic, TvFrame* frame);
TpAtomic* TpAtomicSetFlags(TpAtomic* atomic, uint8_t flags);
TpAtomic* TpAtomicSetRenderCallBack(TpAtomic* atomic, TpAtomicRenderCallBack callBack);
TvPipe* TpAtomicGetDefaultPipe();
TpAtomic* TpAtomicRender(TpAtomic* atomic);
TvSphere* TpAtomicGetBoundingSphere(TpAtomic* atomic);
TvSphere* TpAtomicGetWorldBoundingSphere(TpAtomic* atomic);
TpAtomic* TpAtomicInterpolate(TpAtomic* atomic);
TpInterpolator* TpAtomicGetInterpolator(TpAtomic* atomic);
TpClump* TpAtomicGetClump(const TpAtomic* atomic);

TpInterpolator* TpInterpolatorSetStartMorphTarget(TpInterpolator* interpolator, uint16_t target);
TpInterpolator* TpInterpolatorSetEndMorphTarget(TpInterpolator* interpolator, uint16_t target);
TpInterpolator* TpInterpolatorSetPosition(TpInterpolator* interpolator, float position);
TpInterpolator* TpInterpolatorSetDuration(TpInterpolator* interpolator, float duration);
float TpInterpolatorGetPosition(const TpInterpolator* interpolator);

TpClump* TpClumpCreate();
int32_t TpClumpDestroy(TpClump* clump);
TpClump* TpClumpClone(TpClump* clump);
TpClump* TpClumpAddAtomic(TpClump* clump, TpAtomic* atomic);
TpClump* TpClumpForAllAtomics(TpClump* clump, TpAtomicCallBack callback, void* data);
TpClump* TpClumpRender(TpClump* clump);
TpClump* TpClumpSetFrame(TpClump* clump, TvFrame* frame);
TpClump* TpClumpSetCallBack(TpClump* clump, TpClumpCallBack callBack);
// Null while the identity callback is installed.
TpClumpCallBack TpClumpGetCallBack(const TpClump* clump);

// Reads the body of a clump chunk (16); the caller has found the chunk.
// Sets every atomic's query stamp to 0 (when the 16-bit query counter wraps).
void _TpAtomicClearQueryStamps();
TpClump* TpClumpStreamRead(TvStream* stream);
