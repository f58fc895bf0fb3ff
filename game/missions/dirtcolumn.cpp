#include "game/missions/dirtcolumn.h"

#include <cmath>

#include "engine/core/matrix.h"
#include "engine/core/memory.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/creaturemath.h"
#include "game/effects/primitives.h"
#include "game/effects/sfx.h"
#include "game/objects/objects.h"
#include "game/objects/utilities.h"

namespace {

constexpr float kFadeRate = 0.03f;

bool Finite(float v) {
    return std::isfinite(v);
}

void KeepSlope(MV2DirtColumn* c) {
    c->radiusSlope = c->height > 0.0f ? (c->topRadius - c->baseRadius) / c->height : 0.0f;
}

TvTexture* DirtTexture(uint32_t pick) {
    switch (pick & 3u) {
    case 1: return gMV2Dirt2Texture;
    case 2: return gMV2Dirt3Texture;
    default: return gMV2Dirt1Texture;
    }
}

void Scatter(MV2DirtColumn* c) {
    KeepSlope(c);
    for (int32_t i = 0; i < c->count; i++) {
        MV2DirtSpeck& s = c->specks[i];
        s.texture = DirtTexture(MV2RandomBits(3));
        s.spin = float(MV2RandomBits(255)) * 0.03529412f + 1.0f;
        s.directionX = 1.0f - float(MV2RandomBits(255)) / 255.0f;
        s.directionZ = 1.0f - float(MV2RandomBits(255)) / 255.0f;
        s.height = float(MV2RandomBits(255)) * c->height / 255.0f;
    }
}

void SetHeight(MV2Object* object, MV2DirtColumn* c, intptr_t p2) {
    if (!p2) return;
    const float h = *reinterpret_cast<const float*>(p2);
    if (!Finite(h)) return;
    c->height = h;
    KeepSlope(c);
    object->radius = h;
}

intptr_t Create(MV2Object* object, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
    const int32_t count = p1 < 2 || p1 > kMV2DirtSpecksMax ? kMV2DirtSpecksMax : int32_t(p1);
    void* block = TvMalloc(sizeof(MV2DirtColumn) + sizeof(MV2DirtSpeck) * size_t(count));
    if (!block) return 0;
    // Owned by the object, so a failed creation frees it too.
    object->ownedMemory = block;
    auto* c = static_cast<MV2DirtColumn*>(block);
    *c = MV2DirtColumn{};
    c->specks = reinterpret_cast<MV2DirtSpeck*>(c + 1);
    for (int32_t i = 0; i < count; i++)
        c->specks[i] = MV2DirtSpeck{};
    c->fallStep = 0.1f;
    c->count = count;
    c->capacity = count;
    c->sizeFactor = 0.005f;
    c->height = 5.0f;
    c->baseRadius = 0.1f;
    c->topRadius = 1.0f;
    c->swirl = 1;
    // A new column shows, fading in; the suck-up beam switches its own off at once.
    c->on = 1;
    object->privateData = c;
    const float height = 5.0f;
    SetHeight(object, c, reinterpret_cast<intptr_t>(&height));
    if (object->clump) MV2SetAllAtomicFlags(object->clump, 0);
    Scatter(c);
    return 1;
}

void Update(MV2Object* object, MV2DirtColumn* c) {
    const float step = MV2FrameStep();
    if (c->on) {
        c->fade = std::fmin(c->fade + step * kFadeRate, 1.0f);
    } else {
        c->fade -= step * kFadeRate;
        if (!(c->fade >= 0.0f)) {
            c->fade = 0.0f;
            if (object->clump)
                if (TpWorld* world = TpClumpGetWorld(object->clump))
                    TpWorldRemoveClump(world, object->clump);
            return;
        }
    }
    const TvMatrix* m = object->matrix;
    for (int32_t i = 0; i < c->count; i++) {
        MV2DirtSpeck& s = c->specks[i];
        s.height -= c->fallStep;
        if (s.height < 0.0f)
            s.height = c->height;
        else if (s.height >= c->height)
            s.height = 0.0f;
        if (c->swirl) {
            const float a = s.spin * step;
            const float cs = MV2CosDegrees(a), sn = MV2SinDegrees(a);
            const float x = s.directionX, z = s.directionZ;
            s.directionX = x * cs + z * sn;
            s.directionZ = z * cs - x * sn;
        }
        const float r = c->radiusSlope * s.height + c->baseRadius;
        const TvV3d local{s.directionX * r, s.height, s.directionZ * r};
        if (m) {
            TvV3dTransformVectors(&s.world, &local, 1, m);
            s.world = TvV3dAdd(s.world, m->pos);
        } else {
            s.world = local;
        }
    }
}

void Switch(MV2Object* object, MV2DirtColumn* c, intptr_t p1) {
    const uint32_t was = c->on;
    c->on = uint32_t(p1);
    if (!p1 || was) return;
    c->fade = 0.0f;
    if (object->clump && !TpClumpGetWorld(object->clump))
        if (TpWorld* world = TpWorldGetCurrent()) TpWorldAddClump(world, object->clump);
}

} // namespace

MV2DirtColumn* MV2GetDirtColumn(MV2Object* object) {
    if (!object || !MV2ObjectHandleAlive(object->handle) ||
        MV2TypeOf(object) != kMV2DirtColumnType || object->typeHandler != MV2DirtColumnHandler)
        return nullptr;
    return static_cast<MV2DirtColumn*>(object->privateData);
}

void MV2DirtColumnSetCount(MV2DirtColumn* column, int32_t count) {
    if (!column) return;
    column->count = count < 0 ? 0 : count > column->capacity ? column->capacity : count;
}

void MV2DirtColumnSetHeight(MV2DirtColumn* column, float height) {
    if (!column || !Finite(height)) return;
    column->height = height;
    KeepSlope(column);
}

void MV2DirtColumnSetRadii(MV2DirtColumn* column, float base, float top) {
    if (!column || !Finite(base) || !Finite(top)) return;
    column->baseRadius = base;
    column->topRadius = top;
    KeepSlope(column);
}

void MV2DirtColumnSetFallStep(MV2DirtColumn* column, float step) {
    if (column && Finite(step)) column->fallStep = step;
}

void MV2DirtColumnSetSizeFactor(MV2DirtColumn* column, float factor) {
    if (column && Finite(factor)) column->sizeFactor = factor;
}

intptr_t MV2DirtColumnHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 3) return Create(object, p1, p2);
    if (message == 96) return MV2AnswerSize(p2, 0);
    auto* c = static_cast<MV2DirtColumn*>(object->privateData);
    switch (message) {
    case 2:
        if (c) Update(object, c);
        break;
    case 4:
        // A column whose creation failed has no record.
        if (c && object->ownedMemory == c) {
            object->privateData = nullptr;
            object->ownedMemory = nullptr;
            TvFree(c);
        }
        break;
    case 12:
        if (c) Switch(object, c, p1);
        break;
    case 13:
        if (c && p2) *reinterpret_cast<uint32_t*>(p2) = c->on;
        break;
    case 24:
        if (c) Scatter(c);
        break;
    case 79:
        if (c) SetHeight(object, c, p2);
        break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2DrawDirtColumn(MV2Object* object) {
    MV2DirtColumn* c = MV2GetDirtColumn(object);
    if (!c) return;
    for (int32_t i = 0; i < c->count; i++) {
        const MV2DirtSpeck& s = c->specks[i];
        if (s.texture) MV2DrawSpriteTranslucent(s.texture, &s.world, s.spin * c->sizeFactor, c->fade);
    }
}

void MV2RegisterDirtColumnHandler() {
    MV2SetObjectTypeHandler(kMV2DirtColumnType, MV2DirtColumnHandler);
}
