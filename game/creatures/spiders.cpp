// Spiders: the key cycle of walking, standing and spitting, crawling over ground and walls.
#include "game/creatures/spiders.h"

#include <algorithm>
#include <cmath>

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/world.h"
#include "game/creatures/ambient.h"
#include "game/creatures/creaturemath.h"
#include "game/effects/effects.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objectupdate.h"
#include "game/objects/utilities.h"
#include "game/player/player.h"

namespace {

constexpr uint32_t kRequests = 3u;

// Morph targets of each key {start, end}: the crawl loop 0-3 (key 4 closes it), the standing
// keys 5-7, the spit keys 8-10 (key 8 from target 4 to 5) and the turn keys 11-12 (12 ends at 10).
constexpr uint16_t kKeyTargets[kMV2SpiderKeys][2] = {
    {0, 1}, {1, 2}, {2, 3}, {3, 4}, {4, 0}, {5, 6}, {6, 7},
    {7, 5}, {4, 5}, {9, 10}, {10, 8}, {11, 12}, {12, 10},
};
constexpr int32_t kKeyNext[kMV2SpiderKeys] = {1, 2, 3, 4, 0, 6, 7, 5, 9, 10, 8, 12, 10};

uint32_t Locomotion(const MV2Spider* d) {
    return (d->state >> 2) & 0xFFu;
}

void SetLocomotion(uint32_t* state, uint32_t value) {
    *state = (*state & ~(0xFFu << 2)) | (value & 0xFFu) << 2;
}

MV2Spider* Spider(MV2Object* object) {
    return static_cast<MV2Spider*>(object->privateData);
}

TpAtomic* Root(MV2Object* object) {
    return object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
}

void RestartAnimation(MV2Object* object) {
    if (TpAtomic* root = Root(object)) {
        TpAnimSequenceAtomicSetCurrentKey(root, 0);
        TpAnimSequenceAtomicSetPosition(root, 0.0f);
    }
}

bool ClearLine(const TvV3d& from, const TvV3d& to) {
    TpWorld* world = TpWorldGetCurrent();
    return !world || !MV2IntersectWorldLine(world, &from, &to, nullptr, nullptr);
}

void Spit(MV2Object* spider) {
    const TvMatrix* m = spider->matrix;
    const TvV3d local{0.0f, 0.2f, 0.5f};
    TvV3d at;
    TvV3dTransformPoints(&at, &local, 1, m);
    MV2Object* player = MV2GetPlayerObject();
    if (!player || !player->matrix || !ClearLine(at, player->matrix->pos)) return;
    const MV2Point3 p = MV2Point(at);
    MV2Object* bolt = MV2CreateObject(146, p.v, nullptr);
    if (!bolt) return;
    MV2ObjectSendMessage(bolt, 15, 0, reinterpret_cast<intptr_t>(spider));
    const float speed = 0.02f;
    MV2ObjectSendMessage(bolt, 73, 0, reinterpret_cast<intptr_t>(&speed));
    MV2PlaySoundAt(&m->pos, 10.0f, MV2CreatureSound("SPIDERSPIT"), 0, 1, 0);
    TvMatrix* b = bolt->matrix;
    b->at = MV2Unit(TvV3dSub(player->matrix->pos, m->pos));
    MV2RebuildAroundUp(b, {0.0f, 1.0f, 0.0f});
    MV2SyncObjectFrame(bolt);
}

// The three ground probes along the down axis; false when one finds no ground.
bool Crawl(MV2Object* spider, MV2Spider* d) {
    TpWorld* world = TpWorldGetCurrent();
    if (!world) return false;
    TvMatrix* m = spider->matrix;
    const TvV3d offsets[3] = {TvV3dScale(TvV3dAdd(m->at, m->right), 0.5f),
                              TvV3dScale(TvV3dSub(m->right, m->at), 0.5f),
                              TvV3dScale(m->right, -0.5f)};
    TvV3d ground[3];
    int32_t nearest = 0;
    float nearestFraction = 2.0f;
    for (int32_t i = 0; i < 3; ++i) {
        const TvV3d from = TvV3dAdd(TvV3dAdd(m->pos, offsets[i]), TvV3dScale(m->up, 0.5f));
        const TvV3d to = TvV3dSub(from, TvV3dScale(m->up, 2.0f + spider->radius));
        float fraction = 1.0f;
        if (!MV2IntersectWorldLine(world, &from, &to, nullptr, &fraction)) return false;
        ground[i] = TvV3dAdd(from, TvV3dScale(TvV3dSub(to, from), fraction));
        if (fraction < nearestFraction) nearestFraction = fraction, nearest = i;
    }
    TvV3d up = TvV3dCross(TvV3dSub(ground[1], ground[0]), TvV3dSub(ground[2], ground[0]));
    if (MV2Normalise(&up) > 0.0f) {
        if (TvV3dDot(up, m->up) < 0.0f) up = TvV3dScale(up, -1.0f);
        MV2RebuildAroundUp(m, up);
    }
    MV2TriangleHit walls[4];
    const int32_t n = MV2GetFacingTrianglesInSphere(world, &m->pos, 0.5f * d->modelRadius, 4, walls);
    if (n > 0) {
        TvV3d sum{};
        for (int32_t i = 0; i < n; ++i)
            sum = TvV3dAdd(sum, walls[i].normal);
        if (MV2Normalise(&sum) > 0.0f) MV2RebuildAroundUp(m, sum);
    }
    const float along = TvV3dDot(TvV3dSub(m->pos, ground[nearest]), m->up);
    m->pos = TvV3dAdd(m->pos, TvV3dScale(m->up, spider->radius - along));
    if (spider->body) spider->body->velocity = TvV3dScale(m->at, d->crawlSpeed * 0.1f);
    d->surface = ground[nearest];
    return true;
}

// Turns toward the player; the facing cosine, or -2 without a player.
float Face(MV2Object* spider) {
    MV2Object* player = MV2GetPlayerObject();
    if (!player || !player->matrix) return -2.0f;
    TvMatrix* m = spider->matrix;
    const TvV3d to = MV2Unit(TvV3dSub(player->matrix->pos, m->pos));
    const float side = TvV3dDot(to, m->right);
    const float turn = 20.0f * side * MV2FrameStep() * 0.1f;
    MV2RotateMatrixInPlace(m, &m->up, turn, 1);
    if (spider->clump) MV2AddAnimTime(spider->clump, 0.1f * MV2FrameStep() * std::fabs(side));
    return TvV3dDot(to, m->at);
}

intptr_t Update(MV2Object* spider, MV2Spider* d) {
    const TvV3d upright{0.0f, 50.0f, 0.0f};
    MV2ApplyUprightForce(spider, &upright);
    if (spider->energy <= 0.0f) {
        MV2CreateDebris(spider);
        const MV2Point3 at = MV2Point(spider->matrix->pos);
        MV2AddScorch(at.v, 1.5f * MV2TypeRadius(spider), 2);
        MV2ObjectSendMessage(spider, 4, 1, 0);
        return 1;
    }
    MV2Object* player = MV2GetPlayerObject();
    switch (Locomotion(d)) {
    case kMV2SpiderGaitCrawling: {
        if (!Crawl(spider, d)) {
            SetLocomotion(&d->state, kMV2SpiderGaitStanding);
            RestartAnimation(spider);
            if (spider->body) spider->body->velocity = {};
            break;
        }
        const float facing = Face(spider);
        if (facing > 0.9f && player && ClearLine(spider->matrix->pos, player->matrix->pos) &&
            MV2Elapsed(d->behaviourTime) > 0) {
            d->behaviourTime = int32_t(MV2GameClock()) + 4000;
            if (TpAtomic* root = Root(spider)) TpAnimSequenceAtomicSetCurrentKey(root, 8);
        }
        break;
    }
    case kMV2SpiderGaitStanding: {
        if (spider->body) spider->body->velocity = {};
        if (spider->clump) MV2AddAnimTime(spider->clump, 0.1f * MV2FrameStep());
        const float measure =
            player ? std::sqrt(float(MV2ObjectDistanceSquared(player, spider))) : 0.0f;
        if (measure >= 9.5f) {
            if (MV2TypeOf(spider) == 147 && MV2Elapsed(d->behaviourTime) > 0) d->state |= 1u;
        } else {
            d->state = (d->state & ~1u) | 2u;
        }
        break;
    }
    case kMV2SpiderGaitFalling: MV2ApplyGravity(spider); break;
    default: break;
    }
    MV2SyncObjectFrame(spider);
    return MV2ObjectDefaultHandler(spider, 2, 0, 0);
}

intptr_t Create(MV2Object* spider, MV2Spider* d, intptr_t p1, intptr_t p2) {
    const intptr_t result = MV2ObjectDefaultHandler(spider, 3, p1, p2);
    TpAtomic* root = Root(spider);
    TpGeometry* geometry = root ? TpAtomicGetGeometry(root) : nullptr;
    if (!geometry || !MV2SetupSpiderKeys(geometry)) return 0;
    *d = MV2Spider{};
    SetLocomotion(&d->state, kMV2SpiderGaitFalling);
    d->modelRadius = MV2GetBoundingRadius(root);
    d->behaviourTime = int32_t(MV2GameClock());
    d->surface = spider->matrix->pos;
    d->crawlSpeed = 0.1f;
    TpAnimSequenceAtomicSetCurrentKey(root, 0);
    return result;
}

} // namespace

int32_t MV2SetupSpiderKeys(TpGeometry* geometry) {
    if (!geometry) return 0;
    // Built once per geometry: a table of 13 keys with the callback installed.
    if (TpAnimSequenceGeometryGetKey(geometry, kMV2SpiderKeys - 1) &&
        !TpAnimSequenceGeometryGetKey(geometry, kMV2SpiderKeys) &&
        TpAnimSequenceGeometryGetCallBack(geometry) == MV2SpiderAnimCallback)
        return 1;
    if (!TpAnimSequenceGeometryCreateKeys(geometry, kMV2SpiderKeys)) return 0;
    const int32_t targets = std::max(TpGeometryGetNumMorphTargets(geometry), 1);
    for (int32_t k = 0; k < kMV2SpiderKeys; ++k) {
        const uint16_t start = uint16_t(std::min<int32_t>(kKeyTargets[k][0], targets - 1));
        const uint16_t end = uint16_t(std::min<int32_t>(kKeyTargets[k][1], targets - 1));
        TpAnimSequenceGeometrySetKey(geometry, k, end, start, 1.0f);
        TpAnimSequenceGeometrySetKeyNext(geometry, k, kKeyNext[k]);
    }
    TpAnimSequenceGeometrySetCallBack(geometry, MV2SpiderAnimCallback);
    return 1;
}

int32_t MV2SpiderNextKey(int32_t finished, uint32_t* state) {
    switch (finished) {
    case 3:
    case 12: SetLocomotion(state, kMV2SpiderGaitCrawling); return 0;
    case 5:
        if (*state & kRequests) {
            SetLocomotion(state, kMV2SpiderGaitCrawling);
            *state &= ~2u;
            return 10;
        }
        return 4;
    case 6: return 7;
    case 7: SetLocomotion(state, kMV2SpiderGaitStanding); return 11;
    case 9: return 6;
    case 10: SetLocomotion(state, kMV2SpiderGaitCrawling); return 0;
    case 11: SetLocomotion(state, kMV2SpiderGaitStanding); return 4;
    default: return finished + 1 < kMV2SpiderKeys && finished >= 0 ? finished + 1 : -1;
    }
}

float MV2SpiderAnimCallback(TpAtomic* atomic, float position) {
    const int32_t key = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    TpGeometry* geometry = TpAtomicGetGeometry(atomic);
    const TpAnimKey* finished = TpAnimSequenceGeometryGetKey(geometry, key);
    MV2Object* spider = MV2GetClumpObject(TpAtomicGetClump(atomic));
    MV2Spider* d = spider && spider->privateData ? Spider(spider) : nullptr;
    if (!finished || !d) return 0.0f;
    if (key == 6) Spit(spider);
    const int32_t next = MV2SpiderNextKey(key, &d->state);
    if (next < 0) return 0.0f;
    TpAnimSequenceAtomicSetCurrentKey(atomic, next);
    return position - finished->duration;
}

intptr_t MV2SpiderHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 96) return MV2AnswerSize(p2, sizeof(MV2Spider));
    if (message == 80) return 1;
    MV2Spider* d = Spider(object);
    if (!d) return MV2ObjectDefaultHandler(object, message, p1, p2);
    switch (message) {
    case 2: return Update(object, d);
    case 3: return Create(object, d, p1, p2);
    case 14: {
        MV2Object* player = MV2GetPlayerObject();
        if (MV2TypeOf(object) == 147 && player && reinterpret_cast<MV2Object*>(p2) == player)
            player->energy -= MV2FrameSeconds() * 10.0f;
        return 1;
    }
    case 18:
        if (Locomotion(d) == kMV2SpiderGaitFalling) {
            if (const TvV3d* normal = MV2GetContactNormal()) MV2RebuildAroundUp(object->matrix, *normal);
            MV2SyncObjectFrame(object);
            RestartAnimation(object);
            SetLocomotion(&d->state, kMV2SpiderGaitCrawling);
        }
        return MV2ObjectDefaultHandler(object, 18, p1, p2);
    case 75: return (d->state >> 10) & 1u;
    case 79:
        if (p2 && *reinterpret_cast<const float*>(p2) != 0.0f)
            d->crawlSpeed = 1.0f / *reinterpret_cast<const float*>(p2);
        break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterSpiderHandlers() {
    MV2SetObjectTypeHandler(147, MV2SpiderHandler);
    MV2SetObjectTypeHandler(148, MV2SpiderHandler);
}
