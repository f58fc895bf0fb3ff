#include "game/objects/dynamics.h"

#include <cmath>

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/core/memory.h"
#include "engine/world/clump.h"
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "shell/frametimer.h"

namespace {

constexpr float kGravity = 0.001f;
constexpr float kDegreesPerRadian = 57.29578f;
constexpr float kDragBase[kMV2DragMedia] = {0.0f,  0.1f, 0.3f,  0.5f,  0.6f,  0.7f,  0.8f,
                                            0.85f, 0.9f, 0.95f, 0.97f, 0.98f, 0.99f, 1.0f};

TvFreeList* g_bodies = nullptr;
float g_drag[kMV2DragMedia] = {0.0f,  0.1f, 0.3f,  0.5f,  0.6f,  0.7f,  0.8f,
                               0.85f, 0.9f, 0.95f, 0.97f, 0.98f, 0.99f, 1.0f};
TvV3d g_buoyancy = {0.0f, kGravity, 0.0f};

uint32_t TypeWord31(const MV2Object* object) {
    return object->type ? object->type->words[31] : 0;
}

TvV3d Position(const MV2Object* object) {
    return object->matrix ? object->matrix->pos : TvV3d{0, 0, 0};
}

void FlagDirty(MV2Object* object) {
    if (object->clump && object->clump->frame) TvFrameUpdateObjects(object->clump->frame);
}

} // namespace

int32_t MV2InitialiseDynamics() {
    if (!g_bodies) g_bodies = TvFreeListCreate(sizeof(MV2Body), 50);
    return g_bodies != nullptr;
}

void MV2ShutdownDynamics() {
    if (g_bodies) TvFreeListDestroy(g_bodies);
    g_bodies = nullptr;
}

MV2Body* MV2CreateBody(MV2ObjectType* type, float radius) {
    if (!g_bodies) return nullptr;
    auto* body = static_cast<MV2Body*>(TvFreeListAlloc(g_bodies));
    if (!body) return nullptr;
    *body = MV2Body{};
    const float inertia = 0.4f * MV2TypeFloat(type, 2) * radius;
    MV2SetTypeFloat(type, 4, inertia);
    // A zero inertia gives no turning rather than an infinite factor.
    MV2SetTypeFloat(type, 5, inertia != 0.0f ? 1.0f / inertia : 0.0f);
    return body;
}

void MV2FreeBody(MV2ObjectType*, MV2Body* body) {
    if (body && g_bodies) TvFreeListFree(g_bodies, body);
}

float MV2SphereInertia(float mass, float squaredRadius) {
    return 0.4f * mass * squaredRadius;
}

void MV2AddForce(MV2Object* object, const TvV3d* force) {
    if (!object->body) return;
    const float k = MV2TypeFloat(object->type, 3) * gMV2FrameTimer.ticks;
    object->body->velocity.x += force->x * k;
    object->body->velocity.y += force->y * k;
    object->body->velocity.z += force->z * k;
}

void MV2AddTorque(MV2Object* object, const TvV3d* force, const TvV3d* point) {
    if (!object->body) return;
    const TvV3d p = Position(object);
    const TvV3d r = {p.x - point->x, p.y - point->y, p.z - point->z};
    const TvV3d t = {force->y * r.z - force->z * r.y, force->z * r.x - force->x * r.z,
                     force->x * r.y - force->y * r.x};
    const float k = MV2TypeFloat(object->type, 5) * gMV2FrameTimer.ticks;
    object->body->angularVelocity.x += t.x * k;
    object->body->angularVelocity.y += t.y * k;
    object->body->angularVelocity.z += t.z * k;
}

void MV2ApplyGravity(MV2Object* object) {
    if (object->body) object->body->velocity.y -= kGravity * gMV2FrameTimer.ticks;
}

void MV2IntegrateMotion(MV2Object* object) {
    if (!object->body || !object->matrix) return;
    const float drag = MV2GetMediumDrag(int32_t((TypeWord31(object) >> 14) & 0x3FFF));
    TvV3d& v = object->body->velocity;
    v.x *= drag;
    v.y *= drag;
    v.z *= drag;
    object->matrix->pos.x += v.x * gMV2FrameTimer.ticks;
    object->matrix->pos.y += v.y * gMV2FrameTimer.ticks;
    object->matrix->pos.z += v.z * gMV2FrameTimer.ticks;
    FlagDirty(object);
}

void MV2IntegrateRotation(MV2Object* object) {
    if (!object->body || !object->matrix) return;
    TvV3d& w = object->body->angularVelocity;
    const float length = std::sqrt(w.x * w.x + w.y * w.y + w.z * w.z);
    if (length != 0.0f) {
        const TvV3d axis = {w.x / length, w.y / length, w.z / length};
        MV2RotateMatrixInPlace(object->matrix, &axis, length * gMV2FrameTimer.ticks * kDegreesPerRadian,
                               kTvCombinePostConcat);
        FlagDirty(object);
    }
    const float drag = MV2GetMediumDrag(int32_t(TypeWord31(object) & 0x3FFF));
    w.x *= drag;
    w.y *= drag;
    w.z *= drag;
}

void MV2UpdateDragTable(float exponent) {
    g_drag[0] = 0.0f;
    for (int32_t i = 1; i < kMV2DragMedia; i++)
        g_drag[i] = std::pow(kDragBase[i], exponent);
    g_buoyancy = {0.0f, kGravity * exponent, 0.0f};
}

// A medium outside the table (a damaged type record) keeps all speed.
float MV2GetMediumDrag(int32_t medium) {
    return medium >= 0 && medium < kMV2DragMedia ? g_drag[medium] : 1.0f;
}

int32_t MV2FindDragMedium(float value) {
    for (int32_t i = 0; i < kMV2DragMedia; i++)
        if (kDragBase[i] == value) return i;
    int32_t best = 8;
    float bestDifference = 1.0f;
    for (int32_t i = 0; i < kMV2DragMedia; i++) {
        const float d = (kDragBase[i] - value) * (kDragBase[i] - value);
        if (d < bestDifference) {
            bestDifference = d;
            best = i;
        }
    }
    return best;
}

void MV2ApplyBuoyancy(MV2Object* object) {
    if (!object->body) return;
    object->body->velocity.x += g_buoyancy.x;
    object->body->velocity.y += g_buoyancy.y;
    object->body->velocity.z += g_buoyancy.z;
}

void MV2ApplyUprightForce(MV2Object* object, const TvV3d* offset) {
    if (!object->matrix) return;
    const TvV3d p = object->matrix->pos;
    const TvV3d up = object->matrix->up;
    const TvV3d point = {p.x + up.x * offset->y, p.y + up.y * offset->y, p.z + up.z * offset->y};
    const TvV3d force = {0.0f, kGravity, 0.0f};
    MV2AddTorque(object, &force, &point);
    MV2ApplyBuoyancy(object);
}
