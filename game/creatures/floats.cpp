// Surface floats and the arc crawler.
#include "game/creatures/floats.h"

#include <cmath>

#include "engine/core/matrix.h"
#include "engine/world/anim.h"
#include "engine/world/world.h"
#include "game/creatures/animkeys.h"
#include "game/creatures/creatures.h"
#include "game/creatures/creaturemath.h"
#include "game/effects/arcs.h"
#include "game/effects/scorches.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"

namespace {

constexpr TvV3d kWorldUp{0.0f, 1.0f, 0.0f};
constexpr uint32_t kArcFlags = kMV2ArcPointB | kMV2ArcNoContact;

uint32_t Now() {
    return MV2GameClock();
}
void Sound(const TvV3d& at, float radius, const char* name, int32_t b = 0) {
    MV2PlaySoundAt(&at, radius, MV2CreatureSound(name), 0, 1, b);
}
MV2ArcCrawlerData* Crawler(MV2Object* object) {
    return static_cast<MV2ArcCrawlerData*>(object->privateData);
}
void EndArc(MV2ArcCrawlerData* d) {
    if (d->arc) MV2DestroyElectricArc(d->arc);
    d->arc = 0;
}
void AnimStep(MV2Object* object, float amount) {
    if (object->clump) MV2AddAnimTime(object->clump, amount);
}
void TurnY(MV2Object* crawler, float degrees) {
    MV2RotateMatrixInPlace(crawler->matrix, &kWorldUp, degrees, 1);
}

bool Probe(const TvV3d& from, const TvV3d& to, TvV3d* normal) {
    TpWorld* world = TpWorldGetCurrent();
    MV2TriangleHit hit{};
    float t = 0.0f;
    if (!world || !MV2IntersectWorldLine(world, &from, &to, &hit, &t)) return false;
    if (normal) *normal = hit.normal;
    return true;
}

void StepState(MV2Object* crawler, MV2ArcCrawlerData* d, MV2Object* player, float r) {
    const uint32_t now = Now();
    d->deadline = now + 1000;
    switch (d->state) {
    case kMV2CrawlerIdle:
        if (r < 6.0f) d->state = kMV2CrawlerFace;
        break;
    case kMV2CrawlerWalk: d->state = kMV2CrawlerIdle; break;
    case kMV2CrawlerFace:
        if (r < 5.0f) d->state = kMV2CrawlerWindUp;
        break;
    case kMV2CrawlerStuck:
        d->state = kMV2CrawlerWalk;
        d->lastPosition = crawler->matrix->pos;
        d->lastMoved = now;
        break;
    case kMV2CrawlerWindUp:
    case kMV2CrawlerWindUp2: d->state = kMV2CrawlerCharge; break;
    case kMV2CrawlerCharge:
        EndArc(d);
        if (!player || r >= 5.0f) {
            d->state = kMV2CrawlerIdle;
            break;
        }
        d->arcPoint = TvV3dSub(player->matrix->pos, TvV3dScale(player->matrix->up, 0.6f));
        Sound(d->arcPoint, 30.0f, "EELBOLT", 1000);
        d->arc = MV2CreateElectricArc(crawler, &d->arcPoint, kArcFlags);
        d->arcEnd = now + 2000;
        d->state = kMV2CrawlerStrike;
        break;
    case kMV2CrawlerStrike:
        EndArc(d);
        d->state = kMV2CrawlerIdle;
        break;
    default: d->state = kMV2CrawlerIdle; break;
    }
}

// Walks on while the surface ahead is clear and under it; else picks a new way.
void Walk(MV2Object* crawler, MV2ArcCrawlerData* d) {
    TvMatrix* m = crawler->matrix;
    const uint32_t now = Now();
    if (MV2Length(TvV3dSub(m->pos, d->lastPosition)) > 0.4f) {
        d->lastPosition = m->pos;
        d->lastMoved = now;
    } else if (int32_t(now - d->lastMoved) < 2000) {
        const TvV3d p0 = TvV3dAdd(m->pos, TvV3dScale(m->up, 0.1f));
        TvV3d n{};
        int32_t blocked = 0;
        TvV3d to = TvV3dAdd(TvV3dAdd(TvV3dAdd(p0, m->at), TvV3dScale(m->right, 0.4f)),
                            TvV3dScale(m->up, 0.1f));
        const TvV3d moves[4] = {{}, TvV3dScale(m->up, 0.4f), TvV3dScale(m->right, -0.8f),
                                TvV3dScale(m->up, -0.4f)};
        for (const TvV3d& move : moves) {
            to = TvV3dAdd(to, move);
            TvV3d normal;
            if (Probe(p0, to, &normal)) {
                n = TvV3dAdd(n, normal);
                ++blocked;
            }
        }
        struct Below {
            TvV3d from;
            TvV3d onMiss;
        };
        const Below below[3] = {{TvV3dAdd(p0, TvV3dScale(m->at, 0.4f)), TvV3dScale(m->at, -1.0f)},
                                {TvV3dAdd(p0, TvV3dScale(m->right, 0.4f)), TvV3dScale(m->right, -1.0f)},
                                {TvV3dSub(p0, TvV3dScale(m->right, 0.4f)), m->right}};
        int32_t misses = 0;
        for (const Below& b : below) {
            const TvV3d end = TvV3dSub(b.from, TvV3dScale(m->up, 0.3f));
            if (!Probe(b.from, end, nullptr)) {
                n = TvV3dAdd(n, b.onMiss);
                ++misses;
            }
        }
        if (misses == 3) {
            crawler->energy = 0.0f; // it has lost the surface
        } else if (blocked == 0 && misses == 0) {
            const TvV3d push = TvV3dScale(m->at, 0.07f);
            MV2AddForce(crawler, &push);
        } else {
            d->walk = MV2Unit(n);
            d->state = kMV2CrawlerWalk;
        }
    } else {
        d->walk = TvV3dScale(m->at, -1.0f);
        d->state = kMV2CrawlerStuck;
        d->deadline = now + 4000;
    }
    AnimStep(crawler, MV2FrameStep() * 0.4f);
}

intptr_t CrawlerUpdate(MV2Object* crawler, MV2ArcCrawlerData* d) {
    TvMatrix* m = crawler->matrix;
    MV2Object* player = MV2GetPlayerObject();
    if (player && !player->matrix) player = nullptr;
    const float r = player ? MV2Length(TvV3dSub(player->matrix->pos, m->pos)) : 1000.0f;
    const float step = MV2FrameStep();
    MV2ApplyBuoyancy(crawler);
    if (crawler->energy <= 0.0f) {
        EndArc(d);
        MV2CreateDebris(crawler);
        const float at[3] = {m->pos.x, m->pos.y, m->pos.z};
        MV2AddScorch(at, 1.5f * d->radius, 2);
        MV2ObjectSendMessage(crawler, 4, 1, 0);
        return 1;
    }
    if (d->state == kMV2CrawlerFace && player)
        TurnY(crawler, step * 2.5f * TvV3dDot(m->right, MV2Unit(TvV3dSub(player->matrix->pos, m->pos))));
    if (d->arc && int32_t(Now() - d->arcEnd) >= 0) EndArc(d);
    if (int32_t(Now() - d->deadline) >= 0) StepState(crawler, d, player, r);
    switch (d->state) {
    case kMV2CrawlerIdle:
        if (MV2Length(TvV3dSub(d->home, m->pos)) > 6.0f) {
            const TvV3d home = MV2Unit(TvV3dSub(d->home, m->pos));
            const float turn = float(int32_t(uint32_t(TvRandom()) % 60u) - 30);
            const float c = MV2CosDegrees(turn), s = MV2SinDegrees(turn);
            d->walk = MV2Unit({home.x * c + home.z * s, home.y, home.z * c - home.x * s});
            d->state = kMV2CrawlerWalk;
        }
        [[fallthrough]];
    case kMV2CrawlerWalk: {
        float a = TvV3dDot(m->right, d->walk);
        if (a == 0.0f && TvV3dDot(m->at, d->walk) < 0.0f) a = 0.01f;
        TurnY(crawler, step * 2.5f * a);
        [[fallthrough]];
    }
    case kMV2CrawlerFace: Walk(crawler, d); break;
    case kMV2CrawlerStuck: {
        float a = TvV3dDot(m->right, d->walk);
        if (TvV3dDot(m->at, d->walk) < 0.0f) a = 0.17f;
        TurnY(crawler, step * 2.5f * a);
        AnimStep(crawler, step * 0.4f);
        break;
    }
    case kMV2CrawlerWindUp: AnimStep(crawler, step * 0.3f); break;
    case kMV2CrawlerCharge:
        AnimStep(crawler, step * 0.6f);
        if (!d->arc) {
            d->arcPoint = TvV3dAdd(
                TvV3dAdd(TvV3dAdd(m->pos, TvV3dScale(m->up, float(MV2RandomBits(511)) * 0.0019569471f)),
                         TvV3dScale(m->right, (float(MV2RandomBits(1023)) - 512.5f) * 0.0019512195f)),
                TvV3dScale(m->at, (float(MV2RandomBits(1023)) - 512.5f) * 0.0019512195f));
            Sound(d->arcPoint, 30.0f, "EELBOLT", 1000);
            d->arc = MV2CreateElectricArc(crawler, &d->arcPoint, kArcFlags);
            d->arcEnd = Now() + 300;
        }
        break;
    case kMV2CrawlerStrike:
        if (player) {
            d->arcPoint = TvV3dSub(player->matrix->pos, TvV3dScale(player->matrix->up, 0.6f));
            player->energy -= step * 0.3f;
        }
        break;
    default: break;
    }
    const MV2ObjectHandle handle = crawler->handle;
    const intptr_t result = MV2ObjectDefaultHandler(crawler, 2, 0, 0);
    if (!MV2ObjectHandleAlive(handle)) return result;
    // Held on its surface.
    const TvV3d& n = d->normal;
    m->pos = TvV3dSub(m->pos, TvV3dScale(n, TvV3dDot(n, TvV3dSub(m->pos, d->home))));
    m->up = n;
    m->right = MV2Unit(TvV3dCross(m->at, m->up));
    m->at = MV2Unit(TvV3dCross(m->right, m->up));
    MV2SyncObjectFrame(crawler);
    return result;
}

intptr_t CrawlerCreate(MV2Object* crawler, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(crawler, 3, p1, p2)) return 0;
    MV2ArcCrawlerData* d = Crawler(crawler);
    TvMatrix* m = crawler->matrix;
    if (!d || !m) return 0;
    const TvV3d from = TvV3dAdd(m->pos, TvV3dScale(m->up, 0.1f));
    const TvV3d to = TvV3dSub(m->pos, m->up);
    TpWorld* world = TpWorldGetCurrent();
    MV2TriangleHit hit{};
    float t = 0.0f;
    // No surface within a unit below: no crawler.
    if (!world || !MV2IntersectWorldLine(world, &from, &to, &hit, &t)) return 0;
    *d = MV2ArcCrawlerData{};
    d->normal = hit.normal;
    m->pos = TvV3dAdd(from, TvV3dScale(TvV3dSub(to, from), t));
    MV2RebuildAroundUp(m, hit.normal);
    d->radius = crawler->radius;
    d->deadline = d->lastMoved = Now();
    d->home = d->lastPosition = m->pos;
    d->walk = m->at;
    MV2SyncObjectFrame(crawler);
    if (!MV2InstallRootKeyCallback(crawler, MV2ArcCreatureKeyCallback)) return 0;
    crawler->flags &= ~kMV2ObjectAnimate;
    return 1;
}

} // namespace

int32_t MV2ArcCrawlerNextKey(int32_t k, int32_t* state) {
    switch (k) {
    case 6: return *state < kMV2CrawlerWindUp ? 0 : 7;
    case 7:
        // The wind-up's second half; then on like key 6, to the next key or back to rest.
        if (*state == kMV2CrawlerWindUp) *state = kMV2CrawlerWindUp2;
        return *state < kMV2CrawlerWindUp ? 0 : 8;
    case 10: return *state == kMV2CrawlerCharge ? 8 : 11;
    case 11: return 0;
    default: return k >= 0 && k < 11 ? k + 1 : -1;
    }
}

float MV2ArcCreatureKeyCallback(TpAtomic* atomic, float position) {
    const int32_t k = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    MV2Object* crawler = MV2AtomicObject(atomic);
    MV2ArcCrawlerData* d = crawler && MV2TypeOf(crawler) == 186 ? Crawler(crawler) : nullptr;
    int32_t state = d ? d->state : kMV2CrawlerIdle;
    const int32_t next = MV2ArcCrawlerNextKey(k, &state);
    if (d) d->state = state;
    return MV2StepAnimKey(atomic, position, next);
}

intptr_t MV2SurfaceFloatHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 3) {
        const intptr_t result = MV2ObjectDefaultHandler(object, 3, p1, p2);
        if (result && object->matrix) {
            TvMatrix* m = object->matrix;
            TvV3d at{float(int32_t(uint32_t(TvRandom()) % 100u) - 50), 0.0f,
                     float(int32_t(uint32_t(TvRandom()) % 100u) - 50)};
            if (MV2Normalise(&at) > 0.0f) m->at = at;
            m->pos.y = MV2GetWaterHeight(&m->pos);
            MV2SyncObjectFrame(object);
        }
        return result;
    }
    if (message == 19 && object->matrix)
        if (MV2Object* player = MV2GetPlayerObject(); player && reinterpret_cast<MV2Object*>(p2) == player) {
            Sound(object->matrix->pos, 5.0f, "GROUNDCOLLISION");
            Sound(object->matrix->pos, 5.0f, "METALCOLLISION");
        }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

intptr_t MV2ArcCreatureHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 96: return MV2AnswerSize(p2, sizeof(MV2ArcCrawlerData));
    case 75: return 0;
    case 80: return 1;
    case 3: return CrawlerCreate(object, p1, p2);
    case 2:
        if (MV2ArcCrawlerData* d = Crawler(object); d && object->matrix) return CrawlerUpdate(object, d);
        break;
    case 4:
        if (MV2ArcCrawlerData* d = Crawler(object)) EndArc(d);
        break;
    default: break;
    }
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

void MV2RegisterFloatHandlers() {
    MV2SetObjectTypeHandler(176, MV2SurfaceFloatHandler);
    MV2SetObjectTypeHandler(177, MV2SurfaceFloatHandler);
    MV2SetObjectTypeHandler(186, MV2ArcCreatureHandler);
}
