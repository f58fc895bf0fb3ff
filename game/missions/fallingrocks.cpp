#include "game/missions/fallingrocks.h"

#include <initializer_list>

#include "engine/core/matrix.h"
#include "game/creatures/creaturemath.h"
#include "game/effects/explosions.h"
#include "game/objects/dynamics.h"
#include "game/objects/objecttypes.h"
#include "game/objects/water.h"
#include "game/player/weapons.h"

namespace {

constexpr int32_t kLarge = 365;
constexpr int32_t kMedium = 366;
constexpr int32_t kSmall = 367;
constexpr float kDamageTaken = 6.0f;

float DamageDealt(int32_t type) {
    return type == kLarge ? 18.0f : type == kMedium ? 12.0f : 9.0f;
}

void Damage(MV2Object* source, MV2Object* target, const TvV3d& at, float amount) {
    const MV2Point3 p = MV2Point(at);
    MV2DamageObject(source, target, p.v, amount, 0);
}

void Exchange(MV2Object* rock, MV2Object* other) {
    if (!other || !other->matrix || !MV2ObjectHandleAlive(other->handle)) return;
    Damage(other, rock, other->matrix->pos, kDamageTaken);
    if (!MV2ObjectHandleAlive(other->handle)) return;
    Damage(rock, other, rock->matrix->pos, DamageDealt(MV2TypeOf(rock)));
}

bool Harmless(const MV2Object* other) {
    return (other->type && (other->type->words[7] & 4u)) || other->aiCategory == 1;
}

void Sink(MV2Object* rock) {
    if (!rock->body) return;
    const float k = MV2GetWaterHeight(&rock->matrix->pos) < rock->matrix->pos.y ? 6.5f : 1.5f;
    rock->body->velocity.y +=
        k * float(MV2FallingRockWeight(rock)) * MV2FrameStep() * -3.90625e-6f;
}

void Piece(int32_t type, const TvV3d& at, const TvV3d& velocity) {
    const MV2Point3 p = MV2Point(at);
    MV2Object* o = MV2CreateObject(type, p.v, nullptr);
    if (o && o->body) o->body->velocity = TvV3dScale(velocity, 0.12f);
}

void BreakUp(MV2Object* rock) {
    const int32_t type = MV2TypeOf(rock);
    const TvV3d at = rock->matrix->pos;
    const MV2Point3 p = MV2Point(at);
    MV2CreateExplosion(p.v, rock->radius * 2.5f, 0.0f, nullptr, 4, 30);
    if (type != kLarge && type != kMedium) return;
    const TvV3d o = TvV3dScale(rock->matrix->at, rock->radius * 0.5f);
    const TvV3d v = rock->body ? rock->body->velocity : TvV3d{0, 0, 0};
    if (type == kLarge) Piece(kMedium, TvV3dAdd(at, o), TvV3dAdd(v, o));
    Piece(kSmall, TvV3dSub(at, o), TvV3dSub(v, o));
}

} // namespace

intptr_t MV2FallingRockWeight(const MV2Object* rock) {
    return reinterpret_cast<intptr_t>(rock->privateData);
}

intptr_t MV2FallingRockHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    auto* other = reinterpret_cast<MV2Object*>(p2);
    switch (message) {
    case 2:
        if (object->matrix) Sink(object);
        break;
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        if (object->body) {
            float* spin[3] = {&object->body->angularVelocity.x, &object->body->angularVelocity.y,
                              &object->body->angularVelocity.z};
            for (float* s : spin)
                *s = 0.125f - float(MV2RandomBits(255)) * 0.0015686274f;
        }
        const uint32_t r1 = MV2RandomBits(255), r2 = MV2RandomBits(127);
        object->privateData = reinterpret_cast<void*>(intptr_t(192 + ((r1 * r2) >> 7)));
        return 1;
    }
    case 4:
        if (object->matrix) BreakUp(object);
        // The weight is no record of a free list.
        object->privateData = nullptr;
        break;
    case 14:
        if (other && object->matrix && !Harmless(other)) Exchange(object, other);
        break;
    case 18:
        if (object->matrix) Damage(object, object, object->matrix->pos, kDamageTaken);
        break;
    case 19:
        if (object->matrix) Exchange(object, other);
        break;
    case 96: return MV2AnswerSize(p2, 0);
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterFallingRockHandlers() {
    for (int32_t type : {kLarge, kMedium, kSmall})
        MV2SetObjectTypeHandler(type, MV2FallingRockHandler);
}
