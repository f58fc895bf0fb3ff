// Frames: nodes of a transformation hierarchy with lazily synchronised world matrices, objects
// attached to frames, and the frame-list chunk reader.
#pragma once

#include <cstdint>

#include "engine/core/engine.h"
#include "engine/core/matrix.h"
#include "engine/core/plugin.h"

struct TvStream;

// Header word of every engine object.
struct TvObject {
    uint8_t type;
    uint8_t subType;
    uint8_t flags;
    uint8_t privateFlags;
};

// Private flags of frames. On a hierarchy root: queued on the dirty-frame list (both bits),
// world matrices stale (bit 0). On any frame: its world matrix and its objects need updating.
inline constexpr uint8_t kTvFrameHierarchySyncLTM = 0x01;
inline constexpr uint8_t kTvFrameHierarchySyncObjects = 0x02;
inline constexpr uint8_t kTvFrameHierarchySync = 0x03;
inline constexpr uint8_t kTvFrameSubtreeSyncLTM = 0x04;
inline constexpr uint8_t kTvFrameSubtreeSyncObjects = 0x08;
inline constexpr uint8_t kTvFrameSubtreeSync = 0x0C;

struct TvFrame {
    TvObject object;
    TvFrame* parent;
    uint8_t counter;
    TvLink inDirtyListLink;
    TvLink objectList; // circular; empty when it points to itself
    TvMatrix modelling;
    TvMatrix ltm; // world matrix
    TvFrame* child;
    TvFrame* next;
    TvFrame* root;
    // frame plug-in data follows
};

struct TvObjectHasFrame;
using TvObjectHasFrameSyncFn = TvObjectHasFrame* (*)(TvObjectHasFrame* object);

// The common prefix of objects that hang on a frame (cameras, atomics, lights).
struct TvObjectHasFrame {
    TvObject object;
    TvFrame* frame;
    TvLink lFrame; // link in the frame's object list
    TvObjectHasFrameSyncFn sync;
};

struct TvFrameList {
    TvFrame** frames;
    int32_t numFrames;
};

// Frame module data (module 0x403).
struct TvFrameModule {
    TvFreeList* freeList;
};

extern TvPluginRegistry TvFrameRegistry;

using TvFrameCallBack = TvFrame* (*)(TvFrame* frame, void* data);
using TvObjectCallBack = TvObject* (*)(TvObject* object, void* data);

TvFrame* TvFrameCreate();
bool TvFrameDestroy(TvFrame* frame);
bool TvFrameDestroyHierarchy(TvFrame* frame);
TvFrame* TvFrameAddChild(TvFrame* parent, TvFrame* child);
TvFrame* TvFrameRemoveChild(TvFrame* frame);
TvFrame* TvFrameCloneHierarchy(TvFrame* frame);
void TvFrameUpdateRoot(TvFrame* frame);
TvMatrix* TvFrameGetMatrix(TvFrame* frame);
TvMatrix* TvFrameGetLTM(TvFrame* frame);
TvFrame* TvFrameGetRoot(const TvFrame* frame);
bool TvFrameIsDirty(const TvFrame* frame);
TvFrame* TvFrameUpdateObjects(TvFrame* frame);
TvFrame* TvFrameTranslate(TvFrame* frame, const TvV3d* v, int32_t combine);
TvFrame* TvFrameRotate(TvFrame* frame, const TvV3d* axis, float degrees, int32_t combine);
TvFrame* TvFrameForAllChildren(TvFrame* frame, TvFrameCallBack callback, void* data);
TvFrame* TvFrameForAllObjects(TvFrame* frame, TvObjectCallBack callback, void* data);

void TvObjectHasFrameSetFrame(TvObjectHasFrame* object, TvFrame* frame);
void TvObjectHasFrameReleaseFrame(TvObjectHasFrame* object);

void TvFrameSyncHierarchy(TvFrame* root);
bool TvFrameSyncDirty();

int32_t TvFrameRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                              TvPluginObjectDestructor dtor, TvPluginObjectCopy copy);
int32_t TvFrameRegisterPluginStream(uint32_t pluginId, TvPluginDataChunkRead read,
                                    TvPluginDataChunkWrite write, TvPluginDataChunkSize size);

TvFrameList* TvFrameListStreamRead(TvStream* stream, TvFrameList* list);
TvFrameList* TvFrameListDeinit(TvFrameList* list);

// Byte size of one frame-list record as stored: 12 floats, parent index, a further word.
inline constexpr uint32_t kTvFrameListRecordSize = 56;
