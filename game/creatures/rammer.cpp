// The rammer fish charges the player within 16 units (or the object it is given), rams for 10
// energy, backs off for 2 s and comes again; otherwise it drifts with the shared creature handler.
#include "game/creatures/rammer.h"

#include "engine/core/matrix.h"
#include "game/creatures/ambient.h"
#include "game/creatures/creaturemath.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"

namespace {

constexpr float kChargeRangeSquared = 256.0f; // 16 units
constexpr float kRamRange = 4.0f;
constexpr float kBackOffRange = 2.0f;
constexpr int32_t kBackOffMs = 2000;
constexpr float kRamDamage = 10.0f;

MV2RammerRecord* Rammer(MV2Object* object) {
    return static_cast<MV2RammerRecord*>(MV2GetAmbientExtension(object));
}

// The point it charges, or null when it has nothing to charge.
const TvV3d* Aim(MV2Object* object, MV2RammerRecord* d) {
    MV2Object* player = MV2GetPlayerObject();
    if (player && player->matrix &&
        MV2ObjectDistanceSquared(player, object) < double(kChargeRangeSquared))
        return &player->matrix->pos;
    MV2Object* target = MV2GetObjectRef(&d->target);
    return target && target->matrix ? &target->matrix->pos : nullptr;
}

intptr_t Update(MV2Object* object, MV2RammerRecord* d) {
    d->thrust = 0.1f;
    d->flags = 0;
    TvMatrix* m = object->matrix;
    if (const TvV3d* aim = Aim(object, d)) {
        d->flags |= kMV2RammerCharging;
        TvV3d dir = TvV3dSub(*aim, m->pos);
        const float length = MV2Normalise(&dir);
        if (length < kRamRange) d->flags |= kMV2RammerInRange;
        if (length < kBackOffRange) d->backOffUntil = int32_t(MV2GameClock()) + kBackOffMs;
        if (MV2Elapsed(d->backOffUntil) < 0) dir = TvV3dScale(dir, -1.0f);
        const TvV3d worldY{0.0f, 1.0f, 0.0f}, worldX{1.0f, 0.0f, 0.0f};
        MV2RotateMatrixInPlace(m, &worldY, TvV3dDot(m->right, dir) * -10.0f, 1);
        MV2RotateMatrixInPlace(m, &worldX, TvV3dDot(m->up, dir) * 5.0f, 1);
        const TvV3d upright{0.0f, 50.0f, 0.0f};
        MV2ApplyUprightForce(object, &upright);
        if (!MV2ObjectDefaultHandler(object, 2, 0, 0) || !MV2ObjectHandleAlive(object->handle))
            return 0;
        const float surface = MV2GetWaterHeight(&m->pos);
        if (m->pos.y > surface) m->pos.y = surface;
        MV2SyncObjectFrame(object);
        d->thrust = -0.2f;
    }
    const TvV3d push = TvV3dScale(m->at, d->thrust);
    MV2AddForce(object, &push);
    if (!(d->flags & kMV2RammerCharging)) return MV2AmbientCreatureHandler(object, 2, 0, 0);
    // A spent rammer stops charging once this update is done.
    if (object->energy <= 0.0f) d->flags &= ~kMV2RammerCharging;
    MV2CheckObjectDestroyed(object);
    return 1;
}

void Ram(MV2Object* object, MV2RammerRecord* d, MV2Object* other) {
    MV2Object* player = MV2GetPlayerObject();
    const uint32_t ramming = kMV2RammerCharging | kMV2RammerInRange;
    if (!other || other != player || (d->flags & ramming) != ramming) return;
    MV2PlaySoundAt(&object->matrix->pos, 5.0f, MV2CreatureSound("GROUNDCOLLISION"), 0, 1, 0);
    MV2PlaySoundAt(&object->matrix->pos, 5.0f, MV2CreatureSound("METALCOLLISION"), 0, 1, 0);
    player->energy -= kRamDamage;
    d->backOffUntil = int32_t(MV2GameClock()) + kBackOffMs;
}

} // namespace

intptr_t MV2RammerHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerAmbientSize(object, p1, p2, sizeof(MV2RammerRecord));
    if (message == 80) return 1;
    if (message == 3) {
        const intptr_t result = MV2AmbientCreatureHandler(object, 3, p1, p2);
        auto* shared = static_cast<MV2AmbientCreature*>(object->privateData);
        if (!result || !shared) return result;
        auto* d = reinterpret_cast<MV2RammerRecord*>(shared + 1);
        *d = MV2RammerRecord{};
        object->aiCategory = 7;
        MV2AmbientCreatureHandler(object, 28, 0, reinterpret_cast<intptr_t>(d));
        return result;
    }
    MV2RammerRecord* d = Rammer(object);
    if (!d) return MV2AmbientCreatureHandler(object, message, p1, p2);
    switch (message) {
    case 2: return Update(object, d);
    case 4:
        MV2AmbientCreatureHandler(object, 28, 0, 0);
        return MV2AmbientCreatureHandler(object, 4, p1, p2);
    case 14: Ram(object, d, reinterpret_cast<MV2Object*>(p2)); break;
    case 33:
        if (auto* target = reinterpret_cast<MV2Object*>(p2)) {
            MV2SetObjectRef(&d->target, target);
            d->flags |= kMV2RammerCharging;
        } else {
            MV2ClearObjectRef(&d->target);
        }
        return 1;
    default: break;
    }
    return MV2AmbientCreatureHandler(object, message, p1, p2);
}

void MV2RegisterRammerHandlers() {
    MV2SetObjectTypeHandler(137, MV2RammerHandler);
    MV2SetObjectTypeHandler(138, MV2RammerHandler);
}
