#include "game/effects/regrow.h"

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/world.h"
#include "game/effects/effectbase.h"
#include "shell/gamemain.h"
#include "game/objects/camera.h"
#include "game/objects/dynamics.h"
#include "game/objects/utilities.h"

namespace {

void MatrixChanged(MV2Object* object) {
    if (object->matrix) TvMatrixUpdate(object->matrix);
    if (object->clump && object->clump->frame) TvFrameUpdateObjects(object->clump->frame);
}

void RestoreRows(TvMatrix* m, const MV2RegrowData* d) {
    m->up = d->up;
    m->right = d->right;
    m->at = d->at;
}

void SetGeometryRadius(MV2Object* object, float radius) {
    TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
    TpGeometry* geometry = root ? TpAtomicGetGeometry(root) : nullptr;
    if (!geometry) return;
    if (TvSphere* sphere = TpMorphTargetGetBoundingSphere(TpGeometryGetMorphTarget(geometry, 0)))
        sphere->radius = radius;
}

void Grow(MV2Object* object, MV2RegrowData* d) {
    TvMatrix* m = object->matrix;
    const uint32_t clock = MV2EffectClock();
    const float f = int32_t(clock - d->growthStart) > 0
                        ? float(clock - d->growthStart) / float(d->growthDuration)
                        : 0.0f;
    if (f >= 1.0f) {
        RestoreRows(m, d);
        object->radius = d->radius;
        d->growthDuration = 0;
    } else {
        const float tall = 0.975f * f + 0.025f, wide = 0.975f * f * f * f + 0.025f;
        m->up = TvV3dScale(d->up, tall);
        object->radius = d->radius * tall;
        m->right = TvV3dScale(d->right, wide);
        m->at = TvV3dScale(d->at, wide);
    }
    MatrixChanged(object);
    SetGeometryRadius(object, object->radius);
}

} // namespace

intptr_t MV2RegrowHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = static_cast<MV2RegrowData*>(object->privateData);
    switch (message) {
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, message, p1, p2);
        if (!d || !object->matrix) return result;
        TvMatrix* m = object->matrix;
        d->held = 1;
        d->growthStart = MV2EffectClock();
        d->growthDuration = (MV2EffectRandom() & 4095) + 8000;
        d->home = m->pos;
        d->up = m->up;
        d->right = m->right;
        d->at = m->at;
        d->radius = object->radius;
        object->typeWord &= ~kMV2RegrowFloating;
        const float at[3] = {m->pos.x, m->pos.y, m->pos.z};
        if (MV2Object* respawner = MV2CreateObject(kMV2RespawnerType, at, nullptr))
            MV2ObjectSendMessage(respawner, 15, 0, reinterpret_cast<intptr_t>(object));
        m->up = TvV3dScale(m->up, 0.025f);
        m->right = TvV3dScale(m->right, 0.025f);
        m->at = TvV3dScale(m->at, 0.025f);
        MatrixChanged(object);
        return result;
    }
    case 2: {
        if (!d || !object->matrix) break;
        if (d->growthDuration) Grow(object, d);
        const MV2ObjectHandle handle = object->handle;
        const intptr_t result = MV2ObjectDefaultHandler(object, message, p1, p2);
        if (MV2ObjectHandleAlive(handle) && d->held) {
            object->matrix->pos = d->home;
            if (!d->growthDuration) RestoreRows(object->matrix, d);
            MatrixChanged(object);
            if (object->body) {
                object->body->velocity = {0, 0, 0};
                object->body->angularVelocity = {0, 0, 0};
            }
        }
        return result;
    }
    case 44:
        if (d && d->held) {
            d->held = 0;
            object->typeWord |= kMV2RegrowFloating;
            if (object->body && object->matrix)
                object->body->velocity = TvV3dScale(object->matrix->up, 0.075f);
        }
        return 1;
    case 45: return d && d->growthDuration == 0 ? 1 : 0;
    case 96:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = intptr_t(sizeof(MV2RegrowData));
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2RespawnerHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* d = static_cast<MV2RespawnerData*>(object->privateData);
    switch (message) {
    case 3: {
        const intptr_t result = MV2ObjectDefaultHandler(object, message, p1, p2);
        if (d) *d = MV2RespawnerData{0, 0x7FFFFFFF, 0};
        if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
        return result;
    }
    case 15: {
        auto* watched = reinterpret_cast<MV2Object*>(p2);
        if (!d || !watched) return 1;
        d->watched = watched->handle;
        d->type = watched->typeWord & kMV2ObjectTypeMask;
        if (object->matrix && watched->matrix) {
            *object->matrix = *watched->matrix;
            MatrixChanged(object);
        }
        d->respawnTime = 0;
        return 1;
    }
    case 2:
        if (!d) break;
        if (d->respawnTime == 0) {
            if (!MV2ObjectHandleAlive(d->watched))
                d->respawnTime = MV2EffectClock() + 2000 + (MV2EffectRandom() & 8191);
        } else if (MV2EffectClock() > d->respawnTime) {
            if (d->type != 0 && object->matrix) {
                const TvMatrix matrix = *object->matrix;
                const float at[3] = {matrix.pos.x, matrix.pos.y, matrix.pos.z};
                MV2CreationRecord record = {};
                record.matrix = &matrix;
                MV2CreateObject(int32_t(d->type), at, &record);
            }
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
        break;
    case 96:
        if (p2) *reinterpret_cast<intptr_t*>(p2) = intptr_t(sizeof(MV2RespawnerData));
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterRegrowHandlers() {
    for (int32_t t = kMV2FirstRegrowType; t <= kMV2LastRegrowType; t++)
        MV2SetObjectTypeHandler(t, MV2RegrowHandler);
    MV2SetObjectTypeHandler(kMV2RespawnerType, MV2RespawnerHandler);
}

float MV2GetFloorHeightAt(const float* position) {
    TpWorld* world = MV2World;
    if (!world || !position) return 0.0f;
    const TvBBox* box = TpWorldGetBBox(world);
    if (!box) return 0.0f;
    const float top = box->sup.y, bottom = box->inf.y;
    const TvV3d from = {position[0], top, position[2]};
    const TvV3d to = {position[0], bottom, position[2]};
    float fraction = 0.0f;
    if (MV2IntersectWorldLine(world, &from, &to, nullptr, &fraction))
        return top - (top - bottom) * fraction;
    return bottom;
}
