// The eater hunts while calm allows: the player's craft within 15 units, a small fish within 5 or
// the nearest death site; it bites, flees after each bite, and a full stomach calms it.
#include "game/creatures/eater.h"

#include <algorithm>

#include "engine/core/matrix.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/world.h"
#include "game/creatures/ambient.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/deathsites.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/levels.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"

namespace {

constexpr float kPlayerRangeSquared = 225.0f; // 15 units
constexpr float kTargetRange = 15.0f;
constexpr float kFishSearchRadius = 5.0f;
constexpr int32_t kPreyType = 95;
constexpr float kSiteFarSquared = 900.0f;
constexpr float kSiteReachedSquared = 16.0f;
constexpr float kBiteRange = 4.0f;
constexpr int32_t kLastKey = 39;

MV2EaterRecord* Eater(MV2Object* object) {
    return static_cast<MV2EaterRecord*>(MV2GetAmbientExtension(object));
}

float& Calm(MV2Object* object) {
    return static_cast<MV2AmbientCreature*>(object->privateData)->stunTimer;
}

TpAtomic* Root(MV2Object* object) {
    return object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
}

void SelectKey(MV2Object* object, int32_t key) {
    if (TpAtomic* root = Root(object))
        if (TpAnimSequenceGeometryGetKey(TpAtomicGetGeometry(root), key))
            TpAnimSequenceAtomicSetCurrentKey(root, key);
}

void Drop(MV2EaterRecord* d) {
    d->target = nullptr;
    d->goingToSite = 0;
}

struct FishSearch {
    MV2Object* self;
    MV2Object* found;
};

int32_t FindFish(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    auto* search = static_cast<FishSearch*>(data);
    MV2Object* other = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!other || other == search->self || MV2TypeOf(other) != kPreyType || !other->matrix) return 1;
    search->found = other;
    return 0;
}

void Search(MV2Object* object, MV2EaterRecord* d) {
    const int32_t now = int32_t(MV2GameClock());
    d->goingToSite = 0;
    const TvV3d& pos = object->matrix->pos;
    FishSearch search{object, nullptr};
    if (TpWorld* world = TpWorldGetCurrent())
        MV2ForAllAtomicsInSphere(world, &pos, kFishSearchRadius, FindFish, &search);
    if (search.found) {
        d->target = &search.found->matrix->pos;
        d->targetHandle = 0;
        MV2ObjectSendMessage(search.found, 17, 0, reinterpret_cast<intptr_t>(&d->targetHandle));
    } else if (const TvV3d* site = MV2FindNearestDeathSite(&pos, kSiteFarSquared)) {
        d->site = *site;
        d->target = &d->site;
        d->goingToSite = 1;
        d->nextSearch = now + 4000;
    } else {
        d->nextSearch = now + 2000;
    }
}

// Chooses and checks the target; sets the chasing flag while there is one to chase.
void Hunt(MV2Object* object, MV2EaterRecord* d) {
    const int32_t now = int32_t(MV2GameClock());
    const TvV3d& pos = object->matrix->pos;
    if (d->goingToSite && now - d->nextSearch > 0) Drop(d);
    MV2Object* player = MV2GetPlayerObject();
    if (player && player->matrix && player->aiCategory == 6) {
        if (MV2ObjectDistanceSquared(player, object) < double(kPlayerRangeSquared)) {
            d->target = &player->matrix->pos;
            d->targetHandle = player->handle;
            d->goingToSite = 0;
            d->flags |= kMV2EaterChasing;
        } else if (d->target == &player->matrix->pos) {
            Drop(d);
        }
    }
    if (!d->target && now - d->nextSearch >= 0) Search(object, d);
    if (!d->target) return;
    if (!d->goingToSite) {
        // The handle is checked before the position it guards is read.
        if (!MV2ObjectHandleAlive(d->targetHandle) ||
            MV2Length(TvV3dSub(*d->target, pos)) >= kTargetRange)
            Drop(d);
        else
            d->flags |= kMV2EaterChasing;
    } else {
        const TvV3d to = TvV3dSub(*d->target, pos);
        const float squared = TvV3dDot(to, to);
        if (squared >= kSiteFarSquared || squared <= kSiteReachedSquared)
            Drop(d);
        else
            d->flags |= kMV2EaterChasing;
    }
    // In the first world it gives up prey that leads it deep below the surface.
    if ((d->flags & kMV2EaterChasing) && d->target && (MV2GetCurrentLevelId() >> 24) == 0 &&
        MV2GetWaterHeight(&pos) - pos.y > 45.0f && d->target->y < pos.y)
        d->flags &= ~kMV2EaterChasing;
}

// Steers at the target; false when the object is gone.
bool Chase(MV2Object* object, MV2EaterRecord* d) {
    TvMatrix* m = object->matrix;
    TvV3d dir = TvV3dSub(*d->target, m->pos);
    const float length = MV2Normalise(&dir);
    if (!(d->flags & kMV2EaterBiting) && length < kBiteRange) {
        d->flags |= kMV2EaterBiting;
        SelectKey(object, kMV2EaterFirstBiteKey);
    }
    if (d->flags & kMV2EaterBiting) d->thrust = 0.3f;
    if (MV2Elapsed(d->fleeUntil) < 0) {
        dir = TvV3dScale(dir, -1.0f);
        d->flags &= ~kMV2EaterChasing;
    }
    MV2RotateMatrixInPlace(m, &m->up, TvV3dDot(m->right, dir) * 4.0f, 2);
    MV2RotateMatrixInPlace(m, &m->right, TvV3dDot(m->up, dir) * -1.0f, 2);
    const TvV3d upright{0.0f, 100.0f, 0.0f};
    MV2ApplyUprightForce(object, &upright);
    if (!MV2ObjectDefaultHandler(object, 2, 0, 0) || !MV2ObjectHandleAlive(object->handle))
        return false;
    const float surface = MV2GetWaterHeight(&m->pos);
    if (m->pos.y > surface) m->pos.y = surface;
    MV2SyncObjectFrame(object);
    return true;
}

intptr_t Update(MV2Object* object, MV2EaterRecord* d) {
    float& calm = Calm(object);
    d->flags &= ~kMV2EaterChasing;
    const float scale = calm <= 0.0f ? 1.0f : 1.0f - calm / kMV2EaterCalmLimit;
    bool spent = false;
    if (calm <= kMV2EaterCalmLimit) {
        Hunt(object, d);
        d->thrust = 0.2f;
        if ((d->flags & kMV2EaterChasing) && d->target) {
            spent = object->energy <= 0.0f;
            if (!Chase(object, d)) return 1;
        }
    }
    const TvV3d push = TvV3dScale(object->matrix->at, scale * d->thrust);
    MV2AddForce(object, &push);
    if (object->clump) MV2AddAnimTime(object->clump, MV2FrameStep() * 0.3f);
    if (!(d->flags & kMV2EaterChasing)) return MV2AmbientCreatureHandler(object, 2, 0, 0);
    if (spent) d->flags &= ~kMV2EaterChasing;
    if (calm > 0.0f) calm -= MV2FrameSeconds();
    MV2CheckObjectDestroyed(object);
    return 1;
}

void PlayBite(const TvV3d* at) {
    MV2PlaySoundAt(at, 5.0f, MV2CreatureSound("GROUNDCOLLISION"), 0, 1, 0);
    MV2PlaySoundAt(at, 5.0f, MV2CreatureSound("METALCOLLISION"), 0, 1, 0);
}

// Collision report: a bite on the live target while chasing and biting.
void Bite(MV2Object* object, MV2EaterRecord* d, MV2Object* victim) {
    const uint32_t biting = kMV2EaterChasing | kMV2EaterBiting;
    if (!victim || (d->flags & biting) != biting || !d->target || d->goingToSite ||
        victim->handle != d->targetHandle || !MV2ObjectHandleAlive(d->targetHandle))
        return;
    const int32_t now = int32_t(MV2GameClock());
    d->fleeUntil = now + 2000;
    if (victim == MV2GetPlayerObject()) {
        PlayBite(&object->matrix->pos);
    } else {
        const uint32_t bites = ((d->flags & kMV2EaterBiteMask) >> 2) + 1;
        d->flags &= ~kMV2EaterBiteMask;
        if (bites >= 5)
            d->fleeUntil = now + 20000;
        else
            d->flags |= bites << 2;
    }
    victim->energy -= 5.0f;
}

intptr_t Create(MV2Object* object, intptr_t p1, intptr_t p2) {
    const intptr_t result = MV2AmbientCreatureHandler(object, 3, p1, p2);
    auto* shared = static_cast<MV2AmbientCreature*>(object->privateData);
    if (!result || !shared) return result;
    TpAtomic* root = Root(object);
    TpGeometry* geometry = root ? TpAtomicGetGeometry(root) : nullptr;
    if (!geometry) return 0;
    if (object->type) object->type->words[7] &= ~kMV2TypeCollisionTree;
    auto* d = reinterpret_cast<MV2EaterRecord*>(shared + 1);
    *d = MV2EaterRecord{};
    object->aiCategory = 7;
    MV2AmbientCreatureHandler(object, 28, 0, reinterpret_cast<intptr_t>(d));
    TpAnimSequenceGeometrySetCallBack(geometry, MV2EaterAnimCallback);
    object->flags &= ~kMV2ObjectAnimate;
    SelectKey(object, 0);
    return result;
}

} // namespace

int32_t MV2EaterNextKey(int32_t finished, uint32_t* flags) {
    switch (finished) {
    case 20: return 0;
    case 23: return 24;
    case kLastKey:
        *flags &= ~kMV2EaterBiting;
        return 0;
    default: return finished >= 0 && finished < kLastKey ? finished + 1 : -1;
    }
}

float MV2EaterAnimCallback(TpAtomic* atomic, float position) {
    const int32_t key = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    TpGeometry* geometry = TpAtomicGetGeometry(atomic);
    const TpAnimKey* finished = TpAnimSequenceGeometryGetKey(geometry, key);
    if (!finished) return 0.0f;
    MV2Object* object = MV2GetClumpObject(TpAtomicGetClump(atomic));
    MV2EaterRecord* d = object && object->privateData ? Eater(object) : nullptr;
    uint32_t flags = d ? d->flags : 0;
    const int32_t next = MV2EaterNextKey(key, &flags);
    if (d) d->flags = flags;
    if (object && object->matrix) {
        if (key == 20 || key == kLastKey)
            MV2PlaySoundAt(&object->matrix->pos, 1.0f, MV2CreatureSound("JELLY"), 0, 1, 0);
        else if (key == 23)
            MV2PlaySoundAt(&object->matrix->pos, 5.0f, MV2CreatureSound("EATER"), 0, 1, 0);
    }
    if (next < 0 || !TpAnimSequenceGeometryGetKey(geometry, next)) return 0.0f;
    TpAnimSequenceAtomicSetCurrentKey(atomic, next);
    return position - finished->duration;
}

intptr_t MV2EaterHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerAmbientSize(object, p1, p2, sizeof(MV2EaterRecord));
    if (message == 3) return Create(object, p1, p2);
    MV2EaterRecord* d = object->privateData ? Eater(object) : nullptr;
    if (!d) return MV2AmbientCreatureHandler(object, message, p1, p2);
    switch (message) {
    case 2: return Update(object, d);
    case 4:
        MV2AmbientCreatureHandler(object, 28, 0, 0);
        return MV2AmbientCreatureHandler(object, 4, p1, p2);
    case 14:
        if (MV2Object* player = MV2GetPlayerObject();
            player && reinterpret_cast<MV2Object*>(p2) == player) {
            d->fleeUntil = int32_t(MV2GameClock()) + 2000;
            PlayBite(&object->matrix->pos);
            player->energy -= 0.1f;
        }
        break;
    case 19: Bite(object, d, reinterpret_cast<MV2Object*>(p2)); break;
    case 33:
        if (auto* target = reinterpret_cast<MV2Object*>(p2); target && target->matrix) {
            d->target = &target->matrix->pos;
            d->targetHandle = target->handle;
            d->goingToSite = 0;
        }
        return 1;
    case 71: {
        float& calm = Calm(object);
        calm = std::min(calm + kMV2EaterCalmMeal, kMV2EaterCalmMax);
        return 1;
    }
    default: break;
    }
    return MV2AmbientCreatureHandler(object, message, p1, p2);
}

void MV2RegisterEaterHandlers() {
    MV2SetObjectTypeHandler(68, MV2EaterHandler);
}
