#include "engine/core/frame.h"

#include <cstddef>
#include <cstring>
#include <vector>

#include "engine/core/bytes.h"
#include "engine/core/engine_modules.h"
#include "engine/core/error.h"
#include "engine/core/link.h"
#include "engine/core/memory.h"
#include "engine/core/stream.h"
#include "engine/core/walk_stack.h"

TvPluginRegistry TvFrameRegistry = TvPluginRegistryInitial(sizeof(TvFrame));

namespace {

TvModuleGlobals frameModule;

TvFrameModule* FrameModuleData() {
    return TvEngineModuleData<TvFrameModule>(frameModule);
}

TvFrame* FrameFromDirtyLink(TvLink* link) {
    return TvContainerOf<TvFrame>(link, offsetof(TvFrame, inDirtyListLink));
}

TvObjectHasFrame* ObjectFromLink(TvLink* link) {
    return TvContainerOf<TvObjectHasFrame>(link, offsetof(TvObjectHasFrame, lFrame));
}

bool QueuedRoot(const TvFrame* f) {
    return f->root == f && (f->object.privateFlags & kTvFrameHierarchySync);
}

void Dequeue(TvFrame* f) {
    TvLinkRemove(&f->inDirtyListLink);
    f->object.privateFlags = 0;
}

void NotifyObjects(TvFrame* f) {
    TvLink* head = &f->objectList;
    for (TvLink* l = head->next; l != head;) {
        TvLink* next = l->next;
        TvObjectHasFrame* o = ObjectFromLink(l);
        if (o->sync) o->sync(o);
        l = next;
    }
}

// World = modelling, the matrix of a hierarchy's top.
void SetWorldFromModelling(TvFrame* f) {
    const uint8_t counter = f->ltm.counter;
    f->ltm = f->modelling;
    f->ltm.counter = uint8_t(counter + 1);
}

// Fields of a new frame; the block comes from the free list uninitialised.
void InitFrame(TvFrame* f) {
    f->object = TvObject{0, 0, 0, 0};
    f->parent = nullptr;
    f->counter = 0;
    TvLinkInit(&f->inDirtyListLink);
    TvLinkInit(&f->objectList);
    TvMatrixSetIdentity(&f->modelling);
    f->modelling.counter = 0;
    TvMatrixSetIdentity(&f->ltm);
    f->ltm.flags = kTvMatrixOrthoNormal;
    f->ltm.counter = 0;
    f->child = nullptr;
    f->next = nullptr;
    f->root = f;
}

// Depth-first walk over the descendants of `top` (top itself excluded) in child-list order,
// with an explicit stack so that deep hierarchies cannot exhaust the call stack. `visit`
// receives the frame and the mask its parent passes down and returns the mask for its children.
template <typename Visit> void WalkDescendants(TvFrame* top, uint8_t topMask, Visit visit) {
    struct Item {
        TvFrame* frame;
        uint8_t inherited;
    };
    if (!top->child) return;
    // One pending sibling per level: hierarchies up to 64 deep walk without allocating.
    TvWalkStack<Item, 64> stack;
    stack.Push({top->child, topMask});
    while (!stack.Empty()) {
        const Item item = stack.Pop();
        if (item.frame->next) stack.Push({item.frame->next, item.inherited});
        const uint8_t mask = visit(item.frame, item.inherited);
        if (item.frame->child) stack.Push({item.frame->child, mask});
    }
}

// Sets the root field of `top` and its descendants, advancing their counters.
void SetRoots(TvFrame* top, TvFrame* root) {
    top->root = root;
    top->counter++;
    WalkDescendants(top, 0, [root](TvFrame* f, uint8_t) -> uint8_t {
        f->root = root;
        f->counter++;
        return 0;
    });
}

void FreeBlock(TvFrame* f) {
    TvFreeListFree(FrameModuleData()->freeList, f);
}

// Frames created by a failed read go again, children before parents.
TvFrameList* FailRead(TvFrameList* list, int32_t created) {
    for (int32_t i = created - 1; i >= 0; --i)
        TvFrameDestroy(list->frames[i]);
    TvFree(list->frames);
    list->frames = nullptr;
    list->numFrames = 0;
    return nullptr;
}

} // namespace

TvFrame* TvFrameCreate() {
    auto* f = static_cast<TvFrame*>(TvFreeListAlloc(FrameModuleData()->freeList));
    if (!f) return nullptr;
    InitFrame(f);
    if (!TvPluginInitObject(&TvFrameRegistry, f)) {
        FreeBlock(f);
        return nullptr;
    }
    return f;
}

bool TvFrameDestroy(TvFrame* frame) {
    TvPluginDeinitObject(&TvFrameRegistry, frame);
    if (frame->parent) TvFrameRemoveChild(frame);
    if (QueuedRoot(frame)) Dequeue(frame);
    // Children become hierarchies of their own rather than keep a root that is going away.
    for (TvFrame* c = frame->child; c;) {
        TvFrame* next = c->next;
        c->parent = nullptr;
        c->next = nullptr;
        SetRoots(c, c);
        TvFrameUpdateObjects(c);
        c = next;
    }
    // Attached objects lose their frame instead of pointing into a freed block.
    while (frame->objectList.next != &frame->objectList) {
        TvObjectHasFrame* o = ObjectFromLink(frame->objectList.next);
        TvLinkRemove(&o->lFrame);
        o->frame = nullptr;
    }
    FreeBlock(frame);
    return true;
}

bool TvFrameDestroyHierarchy(TvFrame* frame) {
    // Pre-order, then destroyed backwards: every frame goes after its descendants.
    std::vector<TvFrame*> order;
    order.push_back(frame);
    WalkDescendants(frame, 0, [&order](TvFrame* f, uint8_t) -> uint8_t {
        order.push_back(f);
        return 0;
    });
    for (size_t i = order.size(); i-- > 0;)
        TvFrameDestroy(order[i]);
    return true;
}

TvFrame* TvFrameUpdateObjects(TvFrame* frame) {
    frame->object.privateFlags |= kTvFrameSubtreeSync;
    TvFrame* root = frame->root;
    if (!(root->object.privateFlags & kTvFrameHierarchySync)) {
        TvLinkInsertHead(&TV_ENGINE->dirtyFrameList, &root->inDirtyListLink);
    }
    root->object.privateFlags |= kTvFrameHierarchySync;
    return frame;
}

TvFrame* TvFrameAddChild(TvFrame* parent, TvFrame* child) {
    if (child->parent) TvFrameRemoveChild(child);
    child->next = parent->child;
    parent->child = child;
    child->parent = parent;
    if (QueuedRoot(child)) Dequeue(child);
    SetRoots(child, parent->root);
    TvFrameUpdateObjects(child);
    child->counter++;
    parent->counter++;
    return parent;
}

TvFrame* TvFrameRemoveChild(TvFrame* frame) {
    TvFrame* parent = frame->parent;
    if (!parent) {
        TvErrorCore(E_TV_NOPARENT);
        return nullptr;
    }
    TvFrame* oldRoot = frame->root;
    parent->counter++;
    SetRoots(frame, frame);
    frame->counter++;
    TvFrameUpdateObjects(frame);
    for (TvFrame** p = &parent->child; *p; p = &(*p)->next) {
        if (*p == frame) {
            *p = frame->next;
            break;
        }
    }
    frame->parent = nullptr;
    frame->next = nullptr;
    TvFrameUpdateObjects(oldRoot);
    return frame;
}

TvFrame* TvFrameCloneHierarchy(TvFrame* frame) {
    // Copies are made top down without recursion (hierarchies from files can be deep); each
    // source frame's root names its copy. Parents come before their children in `made`.
    struct Pair {
        TvFrame* source;
        TvFrame* copy;
    };
    std::vector<Pair> made;
    TvFrame* top = nullptr;
    auto makeCopy = [&made, &top](TvFrame* src) -> TvFrame* {
        auto* copy = static_cast<TvFrame*>(TvFreeListAlloc(FrameModuleData()->freeList));
        if (!copy) return nullptr;
        InitFrame(copy);
        copy->object = src->object;
        copy->modelling = src->modelling;
        copy->root = top ? top : copy;
        src->root = copy;
        made.push_back({src, copy});
        return copy;
    };
    top = makeCopy(frame);
    bool ok = top != nullptr;
    for (size_t i = 0; ok && i < made.size(); ++i) {
        const Pair pair = made[i];
        // Each copy goes to the head of its parent's list, so the order comes out reversed.
        for (TvFrame* c = pair.source->child; c; c = c->next) {
            TvFrame* cc = makeCopy(c);
            if (!cc) {
                ok = false;
                break;
            }
            cc->parent = pair.copy;
            cc->next = pair.copy->child;
            pair.copy->child = cc;
        }
    }
    // Plug-in constructors, then copy callbacks, children before parents.
    size_t constructed = 0; // counted from the end of `made`
    for (size_t i = made.size(); ok && i-- > 0;) {
        if (!TvPluginInitObject(&TvFrameRegistry, made[i].copy)) {
            ok = false;
            break;
        }
        TvPluginCopyObject(&TvFrameRegistry, made[i].copy, made[i].source);
        ++constructed;
    }
    if (!ok) {
        for (size_t i = made.size() - constructed; i < made.size(); ++i) {
            TvPluginDeinitObject(&TvFrameRegistry, made[i].copy);
        }
        for (const Pair& pair : made)
            FreeBlock(pair.copy);
        // The source roots named copies that are gone: give them back their real roots.
        TvFrameUpdateRoot(frame);
        return nullptr;
    }
    top->object.privateFlags = 0;
    TvFrameUpdateObjects(top);
    return top;
}

void TvFrameUpdateRoot(TvFrame* frame) {
    SetRoots(frame, frame->parent ? frame->parent->root : frame);
}

TvMatrix* TvFrameGetMatrix(TvFrame* frame) {
    return &frame->modelling;
}

TvMatrix* TvFrameGetLTM(TvFrame* frame) {
    if (frame->root->object.privateFlags & kTvFrameHierarchySyncLTM) {
        TvFrameSyncHierarchy(frame->root);
    }
    return &frame->ltm;
}

TvFrame* TvFrameGetRoot(const TvFrame* frame) {
    return frame->root;
}

bool TvFrameIsDirty(const TvFrame* frame) {
    return (frame->root->object.privateFlags & kTvFrameHierarchySync) != 0;
}

TvFrame* TvFrameTranslate(TvFrame* frame, const TvV3d* v, int32_t combine) {
    if (!TvMatrixTranslate(&frame->modelling, v, combine)) return nullptr;
    TvFrameUpdateObjects(frame);
    frame->counter++;
    return frame;
}

TvFrame* TvFrameRotate(TvFrame* frame, const TvV3d* axis, float degrees, int32_t combine) {
    if (!TvMatrixRotate(&frame->modelling, axis, degrees, combine)) return nullptr;
    TvFrameUpdateObjects(frame);
    frame->counter++;
    return frame;
}

TvFrame* TvFrameForAllChildren(TvFrame* frame, TvFrameCallBack callback, void* data) {
    for (TvFrame* c = frame->child; c;) {
        TvFrame* next = c->next;
        if (!callback(c, data)) break;
        c = next;
    }
    return frame;
}

TvFrame* TvFrameForAllObjects(TvFrame* frame, TvObjectCallBack callback, void* data) {
    TvLink* head = &frame->objectList;
    for (TvLink* l = head->next; l != head;) {
        TvLink* next = l->next;
        if (!callback(&ObjectFromLink(l)->object, data)) break;
        l = next;
    }
    return frame;
}

void TvObjectHasFrameSetFrame(TvObjectHasFrame* object, TvFrame* frame) {
    if (object->frame) TvLinkRemove(&object->lFrame);
    object->frame = frame;
    if (frame) {
        TvLinkInsertHead(&frame->objectList, &object->lFrame);
        TvFrameUpdateObjects(frame);
    }
}

void TvObjectHasFrameReleaseFrame(TvObjectHasFrame* object) {
    if (object->frame) TvLinkRemove(&object->lFrame);
}

void TvFrameSyncHierarchy(TvFrame* root) {
    const uint8_t flags = root->object.privateFlags;
    root->object.privateFlags &= uint8_t(~(kTvFrameHierarchySyncLTM | kTvFrameSubtreeSyncLTM));
    if (flags & kTvFrameSubtreeSyncLTM) SetWorldFromModelling(root);
    // The mask passed down says whether the parent's world matrix was recomputed.
    WalkDescendants(root, flags & kTvFrameSubtreeSyncLTM, [](TvFrame* f, uint8_t inherited) {
        if (!(f->object.privateFlags & kTvFrameSubtreeSyncLTM) && !inherited) return uint8_t(0);
        TvMatrixMultiply(&f->ltm, &f->modelling, &f->parent->ltm);
        f->object.privateFlags &= uint8_t(~kTvFrameSubtreeSyncLTM);
        return kTvFrameSubtreeSyncLTM;
    });
}

bool TvFrameSyncDirty() {
    // Take the whole list first: callbacks may queue frames for the next pass.
    TvLink* engineList = &TV_ENGINE->dirtyFrameList;
    TvLink pending;
    TvLinkInit(&pending);
    if (engineList->next != engineList) {
        pending.next = engineList->next;
        pending.prev = engineList->prev;
        pending.next->prev = &pending;
        pending.prev->next = &pending;
        TvLinkInit(engineList);
    }
    while (pending.next != &pending) {
        TvFrame* root = FrameFromDirtyLink(pending.next);
        TvLinkRemove(&root->inDirtyListLink);
        const uint8_t flags = root->object.privateFlags;
        root->object.privateFlags = 0;
        const uint8_t mask = flags & kTvFrameSubtreeSync;
        if (mask) {
            if (mask & kTvFrameSubtreeSyncLTM) SetWorldFromModelling(root);
            NotifyObjects(root);
        }
        WalkDescendants(root, mask, [](TvFrame* f, uint8_t inherited) {
            const uint8_t effective = (f->object.privateFlags & kTvFrameSubtreeSync) | inherited;
            if (effective) {
                if (effective & kTvFrameSubtreeSyncLTM) {
                    TvMatrixMultiply(&f->ltm, &f->modelling, &f->parent->ltm);
                }
                f->object.privateFlags = 0;
                NotifyObjects(f);
            }
            return effective;
        });
    }
    return true;
}

int32_t TvFrameRegisterPlugin(int32_t size, uint32_t pluginId, TvPluginObjectConstructor ctor,
                              TvPluginObjectDestructor dtor, TvPluginObjectCopy copy) {
    return TvPluginRegister(&TvFrameRegistry, size, pluginId, ctor, dtor, copy);
}

int32_t TvFrameRegisterPluginStream(uint32_t pluginId, TvPluginDataChunkRead read,
                                    TvPluginDataChunkWrite write, TvPluginDataChunkSize size) {
    return TvPluginRegisterStream(&TvFrameRegistry, pluginId, read, write, size);
}

TvFrameList* TvFrameListStreamRead(TvStream* stream, TvFrameList* list) {
    uint32_t length = 0, version = 0;
    if (!TvStreamFindChunk(stream, TV_ID_STRUCT, &length, &version)) return nullptr;
    if (version < kTvChunkVersionMin || version > kTvChunkVersion) {
        TvErrorCore(E_TV_BADVERSION);
        return nullptr;
    }
    uint8_t word[4];
    if (length < sizeof word || TvStreamRead(stream, word, sizeof word) != sizeof word) {
        return nullptr;
    }
    const uint32_t count = TvLoadU32(word);
    // The records must fit in the chunk before anything is allocated for them.
    if (uint64_t(count) * kTvFrameListRecordSize > uint64_t(length) - sizeof word) {
        TvErrorCore(E_TV_ENDOFSTREAM);
        return nullptr;
    }
    list->numFrames = 0;
    list->frames = nullptr;
    if (count > 0) {
        list->frames = static_cast<TvFrame**>(TvMalloc(sizeof(TvFrame*) * count));
        if (!list->frames) {
            TvErrorCore(E_TV_NOMEM);
            return nullptr;
        }
    }
    list->numFrames = int32_t(count);

    for (uint32_t i = 0; i < count; ++i) {
        uint8_t rec[kTvFrameListRecordSize];
        if (TvStreamRead(stream, rec, sizeof rec) != sizeof rec) return FailRead(list, int32_t(i));
        const int32_t parentIndex = int32_t(TvLoadU32(rec + 48));
        if (parentIndex < -1 || parentIndex >= int32_t(i)) {
            TvErrorCore(E_TV_INVALIDPARAM);
            return FailRead(list, int32_t(i));
        }
        TvFrame* f = TvFrameCreate();
        if (!f) return FailRead(list, int32_t(i));
        list->frames[i] = f;

        TvMatrix* m = &f->modelling;
        TvV3d* rows[4] = {&m->right, &m->up, &m->at, &m->pos};
        for (int r = 0; r < 4; ++r) {
            const uint8_t* p = rec + 12 * r;
            *rows[r] = {TvLoadF32(p), TvLoadF32(p + 4), TvLoadF32(p + 8)};
        }
        const bool orthoNormal = TvMatrixNonNormality(m) <= 0.01f &&
                                 TvMatrixNonOrthogonality(m) <= 0.01f &&
                                 TvMatrixDeterminant(m) >= 0.99f;
        m->flags &= ~(kTvMatrixIdentity | kTvMatrixOrthoNormal);
        if (orthoNormal) m->flags |= kTvMatrixOrthoNormal;
        TvFrameUpdateObjects(f); // the matrix was written directly

        if (parentIndex >= 0) TvFrameAddChild(list->frames[parentIndex], f);
    }
    for (uint32_t i = 0; i < count; ++i) {
        if (!TvPluginStreamRead(&TvFrameRegistry, stream, list->frames[i])) {
            return FailRead(list, int32_t(count));
        }
    }
    return list;
}

TvFrameList* TvFrameListDeinit(TvFrameList* list) {
    if (list->numFrames) TvFree(list->frames);
    list->frames = nullptr;
    list->numFrames = 0;
    return list;
}

const int32_t _TvFrameModuleDataSize = sizeof(TvFrameModule);

void* _TvFrameModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* mod = static_cast<TvFrameModule*>(TvEngineInstanceData(instance, offset));
    mod->freeList = TvFreeListCreate(size_t(TvFrameRegistry.sizeOfStruct), 40);
    if (!mod->freeList) return nullptr;
    TvLinkInit(&static_cast<TvEngineInstance*>(instance)->dirtyFrameList);
    return TvModuleOpened(frameModule, instance, offset);
}

void* _TvFrameModuleClose(void* instance, int32_t offset, int32_t) {
    auto* mod = static_cast<TvFrameModule*>(TvEngineInstanceData(instance, offset));
    TvFreeListDestroy(mod->freeList);
    mod->freeList = nullptr;
    return TvModuleClosed(frameModule, instance);
}
