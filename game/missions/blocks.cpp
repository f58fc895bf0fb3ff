// Pushable, sliding and animated blocks.
#include "game/missions/blocks.h"

#include <initializer_list>

#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "game/missions/levelobjects.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/utilities.h"

namespace {

constexpr float kSlideStep = 0.05f; // per frame step
constexpr float kSlideLength = 4.0f;
constexpr float kPushReach = 5.0f;

// The callback the blocks' geometry carried before theirs, kept once found; never their own.
TpAnimSequenceCallBack g_saved = nullptr;

void InstallCallback(MV2Object* block) {
    TpAtomic* root = block->clump ? MV2FindRootAtomic(block->clump) : nullptr;
    TpGeometry* geometry = root ? TpAtomicGetGeometry(root) : nullptr;
    if (!geometry) return;
    if (!g_saved) {
        const TpAnimSequenceCallBack had = TpAnimSequenceGeometryGetCallBack(geometry);
        if (had != MV2BlockAnimCallback && had != TpAnimSequenceDefaultCallBack) g_saved = had;
    }
    TpAnimSequenceGeometrySetCallBack(geometry, MV2BlockAnimCallback);
}

// Types 189 and 305 stay in the plane they start in, with their starting axes.
void KeepInPlane(MV2Object* block, MV2BlockData* d) {
    TvMatrix* m = block->matrix;
    const TvMatrix& s = d->start;
    TvV3d offset = TvV3dSub(m->pos, s.pos);
    offset = TvV3dSub(offset, TvV3dScale(s.up, TvV3dDot(offset, s.up)));
    m->pos = TvV3dAdd(s.pos, offset);
    m->right = s.right;
    m->up = s.up;
    m->at = s.at;
    if (MV2TypeOf(block) == 189 && TvV3dDot(offset, offset) > kPushReach * kPushReach)
        m->pos = TvV3dAdd(s.pos, TvV3dScale(MV2Unit(offset), kPushReach));
}

// Type 305: each vertex (half height) that reaches into the landscape moves the block back out
// across the ground, one vertex after the other.
void KeepOutOfWalls(MV2Object* block) {
    TpAtomic* root = block->clump ? MV2FindRootAtomic(block->clump) : nullptr;
    TpGeometry* geometry = root ? TpAtomicGetGeometry(root) : nullptr;
    TpMorphTarget* target = geometry ? TpGeometryGetMorphTarget(geometry, 0) : nullptr;
    const TvV3d* vertices = target ? TpMorphTargetGetVertices(target) : nullptr;
    if (!vertices || !MV2World) return;
    const int32_t count = TpGeometryGetNumVertices(geometry);
    TvMatrix* m = block->matrix;
    for (int32_t i = 0; i < count; i++) {
        const TvV3d& v = vertices[i];
        const TvV3d w = TvV3dAdd(TvV3dAdd(TvV3dScale(m->right, v.x), TvV3dScale(m->up, 0.5f * v.y)),
                                 TvV3dScale(m->at, v.z));
        const TvV3d from = m->pos;
        const TvV3d to = TvV3dAdd(from, w);
        float t = 1.0f;
        if (!MV2IntersectWorldLine(MV2World, &from, &to, nullptr, &t)) continue;
        m->pos.x -= (1.0f - t) * w.x;
        m->pos.z -= (1.0f - t) * w.z;
    }
}

} // namespace

float MV2BlockAnimCallback(TpAtomic* atomic, float position) {
    TpGeometry* geometry = TpAtomicGetGeometry(atomic);
    if (geometry && TpAnimSequenceAtomicGetCurrentKeyIndex(atomic) ==
                        TpGeometryGetNumMorphTargets(geometry) - 2)
        if (MV2Object* block = MV2GetClumpObject(TpAtomicGetClump(atomic)))
            block->flags &= ~kMV2ObjectAnimate;
    if (g_saved) return g_saved(atomic, position);
    return TpAnimSequenceDefaultCallBack(atomic, position);
}

intptr_t MV2BlockHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2BlockData));
    if (message == 44) return 1;
    auto* d = MV2LevelData<MV2BlockData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    const int32_t type = MV2TypeOf(object);
    const bool pushed = type == 189 || type == 305;
    switch (message) {
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2BlockData{};
        InstallCallback(object);
        if (pushed) {
            object->typeWord &= ~kMV2ObjectCollidesWorld;
            d->start = *object->matrix;
        } else if (type == 193) {
            object->flags &= ~kMV2ObjectAnimate;
        }
        return 1;
    case 2:
        if (type == 193 && d->moving) {
            const float step = MV2FrameStep() * kSlideStep;
            MV2ObjectPosition(object) =
                TvV3dAdd(MV2ObjectPosition(object), TvV3dScale(object->matrix->right, step));
            d->travelled += step;
            MV2ObjectMoved(object);
            if (d->travelled > kSlideLength) {
                d->moving = 0;
                if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
            }
        }
        if (pushed) {
            const MV2ObjectHandle handle = object->handle;
            if (!MV2ObjectDefaultHandler(object, 2, p1, p2)) return 0;
            if (!MV2ObjectHandleAlive(handle)) return 1;
            KeepInPlane(object, d);
            if (type == 305) KeepOutOfWalls(object);
            MV2ObjectMoved(object);
            return 1;
        }
        break;
    case 11:
        if (!d->activated) {
            d->activated = 1;
            d->moving = 1;
            MV2PlayObjectSound(object, 1.0f, "BRICK2", 1000);
        }
        return 1;
    case 12:
        if (type != 189) break;
        d->hook = p2;
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterBlockHandlers() {
    for (int32_t type : {189, 193, 280, 281, 282, 283, 305})
        MV2SetObjectTypeHandler(type, MV2BlockHandler);
}
