#include "game/missions/jelly.h"

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "game/creatures/ambient.h"
#include "game/creatures/animkeys.h"
#include "game/creatures/creaturemath.h"
#include "game/missions/levelobjects.h"
#include "game/missions/lightobject.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"

namespace {

constexpr int32_t kLightType = 69;
constexpr int32_t kLastSwimKey = 8;
constexpr int32_t kLastStingKey = 17;
constexpr int32_t kKeys = 18;

MV2JellyData* Data(MV2Object* object) {
    if (!object->matrix || MV2TypeOf(object) != kMV2JellyType) return nullptr;
    return static_cast<MV2JellyData*>(MV2GetAmbientExtension(object));
}

void Sound(MV2Object* jelly, float radius, const char* name) {
    MV2PlaySoundAt(&jelly->matrix->pos, radius, MV2CreatureSound(name), 0, 0, 0);
}

void MakeCompanion(MV2Object* jelly, MV2JellyData* d) {
    const float at[3] = {0.0f, 1.0f, 0.0f};
    MV2Object* light = MV2CreateObject(kLightType, at, nullptr);
    if (!light) return;
    d->companion.object = light;
    MV2ObjectSendMessage(light, 17, 0, reinterpret_cast<intptr_t>(&d->companion.handle));
    if (auto* l = MV2SizedLevelData<MV2LightObjectData>(light)) {
        l->red = l->green = l->blue = l->radius = 1.0f;
        l->flags = (l->flags & ~0x7F8u) | 0x804u;
    }
    MV2ObjectSendMessage(light, 11, 1, 0);
    d->companionFrame = jelly->clump ? MV2FindFrameByTag(jelly->clump, 2) : nullptr;
}

intptr_t Create(MV2Object* jelly, intptr_t p1, intptr_t p2) {
    const intptr_t result = MV2AmbientCreatureHandler(jelly, 3, p1, p2);
    if (!result || !jelly->privateData || !jelly->matrix) return result;
    auto* d = reinterpret_cast<MV2JellyData*>(static_cast<MV2AmbientCreature*>(jelly->privateData) + 1);
    *d = MV2JellyData{};
    MV2AmbientCreatureHandler(jelly, 28, 0, reinterpret_cast<intptr_t>(d));
    if (!MV2InstallRootKeyCallback(jelly, MV2JellyAnimCallback)) return 0;
    jelly->flags &= ~kMV2ObjectAnimate;
    MV2SetRootKey(jelly, 0);
    MakeCompanion(jelly, d);
    return result;
}

void Turn(MV2Object* jelly, const TvV3d& d) {
    TvMatrix* m = jelly->matrix;
    const TvV3d yAxis{0.0f, 1.0f, 0.0f}, xAxis{1.0f, 0.0f, 0.0f};
    const float yaw = 2.0f * TvV3dDot(m->right, d);
    const float pitch = -TvV3dDot(m->up, d);
    MV2RotateMatrixInPlace(m, &yAxis, yaw, 1);
    MV2RotateMatrixInPlace(m, &xAxis, pitch, 1);
    const TvV3d offset{0.0f, 50.0f, 0.0f};
    if (jelly->body) MV2ApplyUprightForce(jelly, &offset);
}

intptr_t Update(MV2Object* jelly, MV2JellyData* d) {
    if (d->companionFrame)
        if (MV2Object* light = MV2GetObjectRef(&d->companion))
            if (light->matrix) {
                light->matrix->pos = TvFrameGetLTM(d->companionFrame)->pos;
                MV2ObjectMoved(light);
            }
    d->flags &= ~kMV2JellyChasing;
    MV2Object* player = MV2GetPlayerObject();
    if (player && player->matrix) {
        const TvV3d to = TvV3dSub(player->matrix->pos, jelly->matrix->pos);
        if (TvV3dDot(to, to) < 100.0f) {
            d->flags |= kMV2JellyChasing;
            MV2SetObjectRef(&d->target, player);
        } else if (d->target.object == player) {
            MV2ClearObjectRef(&d->target);
        }
    }
    MV2Object* target = MV2GetObjectRef(&d->target);
    if (!(d->flags & kMV2JellyChasing) && target) d->flags |= kMV2JellyChasing;
    d->speed = 0.2f;
    if ((d->flags & kMV2JellyChasing) && target && target->matrix) {
        if (jelly->energy <= 0.0f) d->flags &= ~kMV2JellyChasing;
        TvV3d dir = TvV3dSub(target->matrix->pos, jelly->matrix->pos);
        const float length = MV2Normalise(&dir);
        if (d->flags & kMV2JellyStinging) {
            d->speed = 0.35f;
        } else if (length < 4.0f) {
            d->flags |= kMV2JellyStinging;
            MV2SetRootKey(jelly, 0);
        }
        if (int32_t(d->backOff - MV2GameClock()) > 0) {
            dir = TvV3dScale(dir, -1.0f);
            d->flags &= ~kMV2JellyChasing;
        }
        Turn(jelly, dir);
        if (!MV2ObjectDefaultHandler(jelly, 2, 0, 0)) return 0;
        if (!MV2ObjectHandleAlive(jelly->handle) || !jelly->matrix) return 1;
        const float water = MV2GetWaterHeight(&jelly->matrix->pos);
        if (water < jelly->matrix->pos.y) {
            jelly->matrix->pos.y = water;
            MV2ObjectMoved(jelly);
        }
    } else {
        d->flags &= ~kMV2JellyChasing;
    }
    if (jelly->body) {
        const TvV3d thrust = TvV3dScale(jelly->matrix->at, d->speed);
        MV2AddForce(jelly, &thrust);
    }
    if (jelly->clump) MV2AddAnimTime(jelly->clump, MV2FrameStep() * 0.3f);
    if (d->flags & kMV2JellyChasing) {
        MV2CheckObjectDestroyed(jelly);
        return 1;
    }
    return MV2AmbientCreatureHandler(jelly, 2, 0, 0);
}

void Sting(MV2Object* jelly, MV2JellyData* d, MV2Object* other) {
    const uint32_t both = kMV2JellyChasing | kMV2JellyStinging;
    if ((d->flags & both) != both || !other || !MV2RefIs(d->target, other)) return;
    d->backOff = MV2GameClock() + 2000;
    if (other == MV2GetPlayerObject()) {
        Sound(jelly, 5.0f, "GROUNDCOLLISION");
        Sound(jelly, 5.0f, "METALCOLLISION");
    }
    other->energy -= 5.0f;
}

} // namespace

intptr_t MV2JellyHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerAmbientSize(object, p1, p2, sizeof(MV2JellyData));
    if (message == 3) return Create(object, p1, p2);
    MV2JellyData* d = object->privateData ? Data(object) : nullptr;
    if (!d) return MV2AmbientCreatureHandler(object, message, p1, p2);
    switch (message) {
    case 2: return Update(object, d);
    case 4:
        if (MV2Object* light = MV2GetObjectRef(&d->companion)) MV2ObjectSendMessage(light, 4, 0, 0);
        MV2AmbientCreatureHandler(object, 28, 0, 0);
        break;
    case 19: Sting(object, d, reinterpret_cast<MV2Object*>(p2)); break;
    case 33:
        if (auto* target = reinterpret_cast<MV2Object*>(p2))
            MV2SetObjectRef(&d->target, target);
        else
            MV2ClearObjectRef(&d->target);
        return 1;
    default: break;
    }
    return MV2AmbientCreatureHandler(object, message, p1, p2);
}

float MV2JellyAnimCallback(TpAtomic* atomic, float time) {
    const int32_t k = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    if (k < 0) {
        TpAnimSequenceAtomicSetCurrentKey(atomic, 0);
        return 0.0f;
    }
    const TpAnimKey* key = TpAnimSequenceGeometryGetKey(TpAtomicGetGeometry(atomic), k);
    const float left = key ? time - key->duration : 0.0f;
    if (k == kLastSwimKey || k == kLastStingKey) {
        MV2Object* jelly = MV2AtomicObject(atomic);
        MV2JellyData* d = jelly ? Data(jelly) : nullptr;
        if (d) {
            if (k == kLastStingKey) d->flags &= ~kMV2JellyStinging;
            Sound(jelly, 1.0f, "JELLY");
        }
        TpAnimSequenceAtomicSetCurrentKey(atomic, 0);
        return left;
    }
    if (k + 1 >= kKeys || !TpAnimSequenceGeometryGetKey(TpAtomicGetGeometry(atomic), k + 1))
        return 0.0f;
    TpAnimSequenceAtomicSetCurrentKey(atomic, k + 1);
    return left;
}

void MV2RegisterJellyHandler() {
    MV2SetObjectTypeHandler(kMV2JellyType, MV2JellyHandler);
}
