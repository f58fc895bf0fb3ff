// The fan, the surfacing creature and the straight rocket.
#include "game/missions/fanrocket.h"

#include "engine/core/frame.h"
#include "engine/world/clump.h"
#include "game/creatures/ambient.h"
#include "game/effects/explosions.h"
#include "game/missions/levelobjects.h"
#include "game/objects/dynamics.h"
#include "game/objects/clumpdata.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"

namespace {

constexpr int32_t kRocketType = 257;

bool Passed(uint32_t time) {
    return int32_t(MV2GameClock() - time) >= 0;
}

MV2SurfacingData* Surfacing(MV2Object* object) {
    return static_cast<MV2SurfacingData*>(MV2GetAmbientExtension(object));
}

// Turns the nose a quarter of the way toward level, about the creature's own right axis.
void Level(MV2Object* creature) {
    TvMatrix* m = creature->matrix;
    const TvV3d at = MV2Unit(TvV3d{m->at.x, m->at.y * 0.75f, m->at.z});
    const TvV3d up = MV2Unit(TvV3dCross(at, m->right));
    if (MV2Length(up) <= 0.0f) return;
    m->at = at;
    m->up = up;
    m->right = MV2Unit(TvV3dCross(up, at));
    MV2ObjectMoved(creature);
}

// Rises along its nose toward the height h with the given push; 1 once it is there.
bool Rise(MV2Object* creature, float h, float push) {
    TvV3d& position = MV2ObjectPosition(creature);
    if (position.y < h) {
        const TvV3d force = TvV3dScale(creature->matrix->at, push);
        MV2AddForce(creature, &force);
        return false;
    }
    position.y = h;
    MV2ObjectMoved(creature);
    return true;
}

intptr_t SurfacingUpdate(MV2Object* creature, MV2SurfacingData* d) {
    creature->flags |= kMV2ObjectAnimate;
    const uint32_t now = MV2GameClock();
    const float h = MV2GetWaterHeight(&MV2ObjectPosition(creature)) - 0.25f;
    switch (d->state) {
    case 1:
        Level(creature);
        if (Rise(creature, h, 0.01f)) d->next = now;
        break;
    case 2:
        Level(creature);
        Rise(creature, h, 0.02f);
        break;
    case 3: {
        const TvV3d offset{0.0f, 10.0f, 0.0f};
        MV2ApplyUprightForce(creature, &offset);
        const TvV3d down{0.0f, -0.005f, 0.0f};
        MV2AddForce(creature, &down);
        break;
    }
    default: break;
    }
    if (Passed(d->next)) {
        switch (d->state) {
        case 0: d->state = 1; d->next = now + 30000; break;
        case 1: d->state = 2; d->next = now + 2000; break;
        case 2: d->state = 3; d->next = now + 3000 + MV2RandomBits(0x7FF); break;
        default: d->state = 0; d->next = now + 20000; break;
        }
    }
    if (d->state == 0) return MV2AmbientCreatureHandler(creature, 2, 0, 0);
    const MV2ObjectHandle handle = creature->handle;
    const intptr_t result = MV2ObjectDefaultHandler(creature, 2, 0, 0);
    if (MV2ObjectHandleAlive(handle)) MV2CheckObjectDestroyed(creature);
    return result;
}

MV2Object* RocketOwner(MV2StraightRocketData* d) {
    return MV2RefIs(d->owner, d->owner.object) ? d->owner.object : nullptr;
}

} // namespace

intptr_t MV2FanHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2FanData));
    if (message == 80) return 1;
    auto* d = MV2LevelData<MV2FanData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3:
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2FanData{};
        d->blade = object->clump ? MV2FindFrameByTag(object->clump, 2) : nullptr;
        d->spinSpeed = 1.0f;
        object->aiCategory = 9;
        return 1;
    case 2:
        if (d->blade) {
            const TvV3d z{0.0f, 0.0f, 1.0f};
            TvFrameRotate(d->blade, &z, MV2FrameStep() * 4.0f * d->spinSpeed, 1);
        }
        MV2LoopNamedSound(object, "FAN", &d->sound);
        if (object->energy < 0.0f) object->energy = 0.0f;
        break;
    case 4: MV2StopNamedSound(object, "FAN", &d->sound); break;
    case 12:
        if (!p2) return 0;
        d->spinSpeed = *reinterpret_cast<const float*>(p2);
        return 1;
    case 13:
        if (!p2) return 0;
        *reinterpret_cast<float*>(p2) = d->spinSpeed;
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2SurfacingCreatureHandler(MV2Object* object, int32_t message, intptr_t p1,
                                     intptr_t p2) {
    if (message == 96) return MV2AnswerAmbientSize(object, p1, p2, sizeof(MV2SurfacingData));
    if (message == 3) {
        const intptr_t result = MV2AmbientCreatureHandler(object, 3, p1, p2);
        auto* shared = static_cast<MV2AmbientCreature*>(object->privateData);
        if (!result || !shared) return result;
        auto* d = reinterpret_cast<MV2SurfacingData*>(shared + 1);
        d->state = 0;
        d->next = MV2GameClock() + 20000 + MV2RandomBits(0x7FF);
        MV2AmbientCreatureHandler(object, 28, 0, reinterpret_cast<intptr_t>(d));
        return result;
    }
    MV2SurfacingData* d = object->privateData ? Surfacing(object) : nullptr;
    if (d && message == 2) return SurfacingUpdate(object, d);
    if (message == 4) MV2AmbientCreatureHandler(object, 28, 0, 0);
    return MV2AmbientCreatureHandler(object, message, p1, p2);
}

intptr_t MV2StraightRocketHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2StraightRocketData));
    if (message == 80) return 1;
    auto* d = MV2LevelData<MV2StraightRocketData>(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 3: {
        if (!MV2ObjectDefaultHandler(object, 3, p1, p2)) return 0;
        *d = MV2StraightRocketData{};
        d->fuse = MV2GameClock() + 10000;
        TpAtomic* root = object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
        d->minimumRadius = root ? MV2GetBoundingRadius(root) : object->radius;
        MV2ObjectSendMessage(object, 0, 1, 0);
        return 1;
    }
    case 2: {
        if (Passed(d->fuse)) {
            const MV2Point3 at = MV2Point(MV2ObjectPosition(object));
            MV2CreateExplosion(at.v, 1.0f, 5.0f, RocketOwner(d), 5, 24);
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
        if (object->body) object->body->velocity = TvV3dScale(object->matrix->up, 1.2f);
        const float moved = MV2Length(TvV3dSub(MV2ObjectPosition(object), object->previousPosition));
        MV2SetSweptRadius(object, moved, d->minimumRadius);
        MV2ObjectMoved(object);
        break;
    }
    case 14:
    case 19: {
        auto* other = reinterpret_cast<MV2Object*>(p2);
        if (!other || other == RocketOwner(d) || MV2TypeOf(other) == kRocketType) return 0;
        d->fuse = MV2GameClock();
        break;
    }
    case 15: {
        auto* owner = reinterpret_cast<MV2Object*>(p2);
        if (owner)
            MV2SetObjectRef(&d->owner, owner);
        else
            MV2ClearObjectRef(&d->owner);
        return 1;
    }
    case 16:
        if (!p2) return 0;
        *reinterpret_cast<MV2Object**>(p2) = RocketOwner(d);
        return 1;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterFanRocketHandlers() {
    MV2SetObjectTypeHandler(16, MV2FanHandler);
    MV2SetObjectTypeHandler(175, MV2SurfacingCreatureHandler);
    MV2SetObjectTypeHandler(kRocketType, MV2StraightRocketHandler);
}
