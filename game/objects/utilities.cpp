#include "game/objects/utilities.h"

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"

namespace {

struct FrameSearch {
    const TvFrame* frame;
    TpAtomic* found;
};

TpAtomic* FindOnFrame(TpAtomic* atomic, void* data) {
    auto* search = static_cast<FrameSearch*>(data);
    if (atomic->object.frame == search->frame) {
        search->found = atomic;
        return nullptr;
    }
    return atomic;
}

TpAtomic* FirstAtomicOn(TpClump* clump, const TvFrame* frame) {
    FrameSearch search{frame, nullptr};
    TpClumpForAllAtomics(clump, FindOnFrame, &search);
    return search.found;
}

TpAtomic* DropGeometry(TpAtomic* atomic, void*) {
    TpAtomicSetGeometry(atomic, nullptr, 0);
    return atomic;
}

} // namespace

TvMatrix* MV2RotateMatrixInPlace(TvMatrix* matrix, const TvV3d* axis, float degrees,
                                 int32_t combine) {
    const TvV3d position = matrix->pos;
    TvMatrixRotate(matrix, axis, degrees, combine);
    matrix->pos = position;
    return matrix;
}

TpAtomic* MV2FindRootAtomic(TpClump* clump) {
    if (!clump || !clump->frame) return nullptr;
    if (TpAtomic* atomic = FirstAtomicOn(clump, clump->frame)) return atomic;
    const TvFrame* last = clump->frame->child;
    if (!last) return nullptr;
    while (last->next)
        last = last->next;
    return FirstAtomicOn(clump, last);
}

TpAtomic* MV2AtomicAddAnimTime(TpAtomic* atomic, void* time) {
    TpAnimSequenceAtomicAddTime(atomic, *static_cast<const float*>(time));
    return atomic;
}

int32_t MV2AddAnimTime(TpClump* clump, float time) {
    TpClumpForAllAtomics(clump, MV2AtomicAddAnimTime, &time);
    return 1;
}

int32_t MV2DestroyClump(TpClump* clump) {
    if (!clump) return 0;
    if (TpWorld* world = TpClumpGetWorld(clump)) TpWorldRemoveClump(world, clump);
    TpClumpForAllAtomics(clump, DropGeometry, nullptr);
    return 1;
}
