#include "game/missions/spider.h"

#include <initializer_list>

#include <algorithm>
#include <cmath>

#include "engine/core/matrix.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "game/creatures/animkeys.h"
#include "game/creatures/creatures.h"
#include "game/creatures/creaturemath.h"
#include "game/effects/scorches.h"
#include "game/missions/levelobjects.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/dynamics.h"
#include "game/objects/objectsounds.h"
#include "game/objects/objectupdate.h"
#include "game/objects/utilities.h"
#include "game/player/playercraft.h"
#include "shell/frametimer.h"

namespace {

constexpr int32_t kBoltType = 146;
constexpr TvV3d kWorldUp{0.0f, 1.0f, 0.0f};

// The frame timer's own reading of the system clock.
uint32_t RealNow() {
    return gMV2FrameTimer.lastTime;
}
bool Before(uint32_t a, uint32_t b) {
    return int32_t(a - b) < 0;
}

MV2SpiderData* Data(MV2Object* object) {
    return object && object->matrix ? MV2SizedLevelData<MV2SpiderData>(object) : nullptr;
}

void SetState(MV2SpiderData* d, uint32_t state) {
    d->flags = (d->flags & ~(0xFFu << 2)) | ((state & 0xFFu) << 2);
}

TpAtomic* Root(MV2Object* object) {
    return object->clump ? MV2FindRootAtomic(object->clump) : nullptr;
}

// Makes `key` current on the spider's root atomic from its start.
void KeyFromStart(MV2Object* spider, int32_t key) {
    if (TpAtomic* root = Root(spider)) {
        TpAnimSequenceAtomicSetCurrentKey(root, key);
        TpAnimSequenceAtomicSetPosition(root, 0.0f);
    }
}

void SetUp(TvMatrix* m, const TvV3d& v) {
    m->up = MV2Unit(v);
    m->at = MV2Unit(TvV3dCross(m->right, m->up));
    m->right = MV2Unit(TvV3dCross(m->up, m->at));
}

void Turn(TvMatrix* m, float degrees) {
    const TvV3d up = m->up;
    MV2RotateMatrixInPlace(m, &up, degrees, 1);
}

void Gravity(MV2Object* o, int32_t times) {
    for (int32_t i = 0; i < times; i++)
        MV2ApplyGravity(o);
}

void Push(MV2Object* o, const TvV3d& force) {
    if (o->body) MV2AddForce(o, &force);
}

void StopSpin(MV2Object* o) {
    if (o->body) o->body->angularVelocity = {0.0f, 0.0f, 0.0f};
}

void Sound(MV2Object* o, const char* name) {
    MV2PlaySoundAt(&o->matrix->pos, 1.0f, MV2CreatureSound(name), 0, 0, 0);
}

// ---------------------------------------------------------------------------------------------
// Keys

struct KeyPair {
    uint16_t start, end;
};
// Keys 21 to 30, set one by one.
constexpr KeyPair kSingleKeys[10] = {{3, 2},  {7, 6}, {8, 2}, {13, 3}, {5, 6},
                                     {7, 5},  {3, 8}, {3, 0}, {13, 0}, {8, 24}};

bool HasKeyTable(TpGeometry* g) {
    return TpAnimSequenceGeometryGetCallBack(g) == MV2CrawlingSpiderKeyCallBack &&
           TpAnimSequenceGeometryGetKey(g, kMV2SpiderKeys - 1) &&
           !TpAnimSequenceGeometryGetKey(g, kMV2SpiderKeys);
}

bool BuildKeyTable(TpGeometry* g) {
    if (!TpAnimSequenceGeometryCreateKeys(g, kMV2SpiderKeys)) return false;
    int32_t index = 0;
    const int32_t chains[5][2] = {{0, 2}, {3, 6}, {5, 3}, {8, 13}, {14, 23}};
    for (const auto& c : chains)
        MV2GeometryAddLinkChain(g, &index, c[0], c[1]);
    for (const KeyPair& k : kSingleKeys)
        if (!TpAnimSequenceGeometrySetKey(g, index++, k.end, k.start, 1.0f)) return false;
    return true;
}

// ---------------------------------------------------------------------------------------------
// Moves

void Leap(MV2Object* spider, MV2SpiderData* d) {
    MV2Object* player = MV2GetPlayerObject();
    if (!player || !player->matrix) return;
    TvMatrix* m = spider->matrix;
    const TvV3d to = MV2Unit(TvV3dSub(player->matrix->pos, m->pos));
    m->at = to;
    m->right = MV2Unit(TvV3dCross(m->at, kWorldUp));
    m->up = MV2Unit(TvV3dCross(m->at, m->right));
    const float step = MV2FrameStep();
    if (step > 0.0f) Push(spider, TvV3dScale(to, 10.0f / step));
    d->animRate = 0.5f;
}

void Spit(MV2Object* spider) {
    MV2Object* player = MV2GetPlayerObject();
    if (!player || !player->matrix) return;
    const TvMatrix* m = spider->matrix;
    const TvV3d mouth{0.0f, 0.3f, -1.0f};
    TvV3d s;
    TvV3dTransformVectors(&s, &mouth, 1, m);
    s = TvV3dAdd(s, m->pos);
    if (!MV2HasLineOfSight(MV2World, &s, &player->matrix->pos, spider, player)) return;
    const MV2Point3 at = MV2Point(s);
    MV2Object* bolt = MV2CreateObject(kBoltType, at.v, nullptr);
    if (!bolt) return;
    MV2ObjectSendMessage(bolt, 15, 0, reinterpret_cast<intptr_t>(spider));
    const float thrust = 0.02f;
    MV2ObjectSendMessage(bolt, 73, 0, reinterpret_cast<intptr_t>(&thrust));
    Sound(spider, "SPIDERSPIT");
    if (!bolt->matrix) return;
    TvMatrix* b = bolt->matrix;
    b->at = MV2Unit(TvV3dSub(player->matrix->pos, m->pos));
    b->up = kWorldUp;
    b->right = MV2Unit(TvV3dCross(b->up, b->at));
    b->up = MV2Unit(TvV3dCross(b->at, b->right));
    MV2ObjectMoved(bolt);
}

// The ground probes and re-fit of a walking spider.
void Walk(MV2Object* spider, MV2SpiderData* d, float* anim) {
    d->flags &= ~kMV2SpiderLandTest;
    TvMatrix* m = spider->matrix;
    Push(spider, TvV3dScale(m->at, 0.1f));
    if (spider->body) *anim = 10.0f * TvV3dDot(m->at, spider->body->velocity);
    const TvV3d p = m->pos, r = m->right, a = m->at, u = m->up;
    const TvV3d starts[3] = {TvV3dAdd(p, TvV3dScale(TvV3dAdd(a, r), 0.5f)),
                             TvV3dAdd(p, TvV3dScale(TvV3dSub(r, a), 0.5f)),
                             TvV3dSub(p, TvV3dScale(TvV3dAdd(a, r), 0.5f))};
    TvV3d contact[3];
    float t[3];
    bool miss = false;
    for (int32_t i = 0; i < 3; i++) {
        const TvV3d end = TvV3dSub(starts[i], u);
        t[i] = 0.0f;
        if (!MV2IntersectWorldLine(MV2World, &starts[i], &end, nullptr, &t[i])) {
            t[i] = 0.0f;
            miss = true;
        }
        contact[i] = TvV3dSub(starts[i], TvV3dScale(u, t[i]));
    }
    if (!miss) {
        const TvV3d ahead = TvV3dAdd(p, a);
        float f = 1.0f;
        if (MV2IntersectWorldLine(MV2World, &p, &ahead, nullptr, &f) && f < 1.0f) miss = true;
    }
    const uint32_t now = RealNow();
    if (Before(d->refitTime, now) && !miss) {
        m->at = MV2Unit(TvV3dSub(contact[0], contact[1]));
        m->right = TvV3dSub(contact[1], contact[2]);
        m->up = MV2Unit(TvV3dCross(m->at, m->right));
        m->right = MV2Unit(TvV3dCross(m->up, m->at));
        const float deepest = std::max({t[0], t[1], t[2]});
        m->pos = TvV3dAdd(m->pos, TvV3dScale(m->up, spider->radius - deepest));
        return;
    }
    d->refitTime = now + 100;
    MV2TriangleHit hits[4];
    const int32_t n = MV2GetFacingTrianglesInSphere(MV2World, &m->pos, d->radius * 0.65f, 4, hits);
    if (n <= 0) return;
    TvV3d sum{0.0f, 0.0f, 0.0f};
    for (int32_t i = 0; i < n; i++)
        sum = TvV3dAdd(sum, hits[i].normal);
    SetUp(m, sum);
    const TvV3d below = TvV3dSub(m->pos, m->up);
    float f = 0.0f;
    if (MV2IntersectWorldLine(MV2World, &m->pos, &below, nullptr, &f))
        m->pos = TvV3dAdd(TvV3dSub(m->pos, TvV3dScale(m->up, f)), TvV3dScale(m->up, spider->radius));
}

void HomeSteer(MV2Object* spider, MV2SpiderData* d) {
    TvV3d h = TvV3dSub(spider->matrix->pos, d->home);
    const float length = MV2Normalise(&h);
    const float k = std::min(1.0f, length * d->pull);
    Turn(spider->matrix, -2.0f * k * TvV3dDot(spider->matrix->right, h));
}

void Crawl(MV2Object* spider, MV2SpiderData* d, MV2Object* player, float* anim) {
    TvMatrix* m = spider->matrix;
    const bool pinned = MV2TypeOf(spider) == kMV2PinnedSpiderType;
    MV2TriangleHit hit;
    if (MV2GetFacingTrianglesInSphere(MV2World, &m->pos, d->radius * 0.65f, 1, &hit) <= 0) {
        Gravity(spider, 3);
        *anim = 0.1f * MV2FrameStep();
        return;
    }
    TvV3d to = TvV3dSub(player->matrix->pos, m->pos);
    const float dist = MV2Normalise(&to);
    const uint32_t now = RealNow();
    if (dist < 3.5f) {
        Turn(m, -10.0f * TvV3dDot(m->right, to));
        Push(spider, TvV3dScale(m->at, 0.1f));
        Walk(spider, d, anim);
        return;
    }
    if (dist < 5.0f) {
        SetState(d, kMV2SpiderCrouching);
        KeyFromStart(spider, 0);
        if (spider->body) spider->body->velocity = {0.0f, 0.0f, 0.0f};
        Walk(spider, d, anim);
        return;
    }
    bool lineCheck = pinned;
    if (d->flags & kMV2SpiderArmed) {
        const float a = TvV3dDot(m->right, to);
        Turn(m, -10.0f * a);
        *anim = std::fabs(a) * MV2FrameStep();
        if (std::fabs(a) < 0.1f) {
            d->cooldown = now + (pinned ? 2500u : 5000u);
            SetState(d, kMV2SpiderSpitting);
            KeyFromStart(spider, 12);
            d->flags &= ~kMV2SpiderArmed;
            lineCheck = false;
        }
    } else if (Before(d->cooldown, now) && dist < (pinned ? 20.0f : 10.0f)) {
        d->flags |= kMV2SpiderArmed;
    }
    if (lineCheck) {
        if (!MV2IntersectWorldLine(MV2World, &m->pos, &player->matrix->pos, nullptr, nullptr))
            return;
    }
    HomeSteer(spider, d);
    Walk(spider, d, anim);
}

void Crouch(MV2Object* spider, MV2SpiderData* d, MV2Object* player, float* anim) {
    const float dist = MV2Length(TvV3dSub(player->matrix->pos, spider->matrix->pos));
    if (dist > 5.0f || dist < 3.5f) {
        SetState(d, kMV2SpiderCrawling);
        KeyFromStart(spider, 7);
    } else if (MV2TypeOf(spider) == kMV2SpiderType && Before(d->cooldown, RealNow())) {
        d->cooldown = RealNow() + 2000;
        SetState(d, kMV2SpiderLeapStart);
    }
    *anim = 0.1f * MV2FrameStep();
}

void Somersault(MV2Object* spider, MV2SpiderData* d) {
    TvMatrix* m = spider->matrix;
    if (!(d->flags & kMV2SpiderFlipped)) {
        const TvV3d force = TvV3dScale(m->up, 2.0f);
        const TvV3d point = TvV3dAdd(m->pos, m->at);
        if (spider->body) MV2AddTorque(spider, &force, &point);
        if (TvV3dDot(m->at, d->flipAxis) < -0.5f) {
            d->flags |= kMV2SpiderFlipped;
            KeyFromStart(spider, 7);
            StopSpin(spider);
        }
    }
    Gravity(spider, 6);
}

// Plane constraint of type 396: onto the plane, standing on it.
void Pin(MV2Object* spider, MV2SpiderData* d, bool turnUp) {
    TvMatrix* m = spider->matrix;
    const float s = TvV3dDot(d->planeNormal, TvV3dSub(m->pos, d->planePoint)) - MV2TypeRadius(spider);
    m->pos = TvV3dSub(m->pos, TvV3dScale(d->planeNormal, s));
    if (turnUp) SetUp(m, d->planeNormal);
}

void Leash(MV2Object* spider, MV2SpiderData* d) {
    TvMatrix* m = spider->matrix;
    TvV3d away = TvV3dSub(m->pos, d->home);
    if (MV2Length(away) > 5.0f) {
        MV2Normalise(&away);
        m->pos = TvV3dAdd(d->home, TvV3dScale(away, 5.0f));
        const TvV3d up = m->up;
        MV2RotateMatrixInPlace(m, &up, 3.0f * MV2FrameStep(), 2);
    }
    Pin(spider, d, true);
}

intptr_t Update(MV2Object* spider, MV2SpiderData* d) {
    if (!MV2ObjectHandleAlive(spider->handle) || !spider->matrix) return 1;
    d->flags |= kMV2SpiderLandTest;
    MV2Object* player = MV2GetPlayerObject();
    if (!player || !player->matrix) return 1;
    const float step = MV2FrameStep();
    float anim = 0.0f;
    switch (MV2SpiderStateOf(d)) {
    case kMV2SpiderSpitting: anim = 0.4f * step; break;
    case kMV2SpiderCrawling: Crawl(spider, d, player, &anim); break;
    case kMV2SpiderCrouching: Crouch(spider, d, player, &anim); break;
    case kMV2SpiderLeaping:
    case kMV2SpiderLanding: anim = d->animRate * step; break;
    case kMV2SpiderSomersault: Somersault(spider, d); break;
    case kMV2SpiderDropping: {
        const TvV3d offset{0.0f, 50.0f, 0.0f};
        if (spider->body) MV2ApplyUprightForce(spider, &offset);
        Gravity(spider, 3);
        anim = 0.4f * step;
        break;
    }
    case kMV2SpiderLeapStart:
        KeyFromStart(spider, 2);
        d->animRate = 0.1f;
        SetState(d, kMV2SpiderLeaping);
        d->flags &= ~kMV2SpiderFlipped;
        break;
    default: break;
    }
    if (MV2TypeOf(spider) == kMV2PinnedSpiderType) Leash(spider, d);
    if (anim != 0.0f && spider->clump) MV2AddAnimTime(spider->clump, anim);
    MV2ObjectMoved(spider);
    return 1;
}

intptr_t Create(MV2Object* spider, intptr_t p1, intptr_t p2) {
    if (!MV2ObjectDefaultHandler(spider, 3, p1, p2)) return 0;
    MV2SpiderData* d = Data(spider);
    TpAtomic* root = Root(spider);
    TpGeometry* g = root ? TpAtomicGetGeometry(root) : nullptr;
    if (!d || !g) return 0;
    // The table is built once per geometry; the types share their model's geometry.
    if (!HasKeyTable(g)) {
        if (!TpAnimSequenceGeometrySetCallBack(g, MV2CrawlingSpiderKeyCallBack)) return 0;
        if (!BuildKeyTable(g)) return 0;
    }
    *d = MV2SpiderData{};
    SetState(d, kMV2SpiderDropping);
    d->radius = MV2GetBoundingRadius(root);
    d->flags |= kMV2SpiderLandTest;
    d->refitTime = RealNow();
    d->home = spider->matrix->pos;
    const bool pinned = MV2TypeOf(spider) == kMV2PinnedSpiderType;
    d->pull = pinned ? 0.2f : 0.1f;
    KeyFromStart(spider, 7);
    if (pinned) {
        SetState(d, kMV2SpiderCrawling);
        MV2TriangleHit hit;
        if (MV2GetTrianglesInSphere(MV2World, &spider->matrix->pos, 1.0f, 1, &hit) > 0) {
            d->planeNormal = hit.normal;
            d->planePoint = hit.point;
            Pin(spider, d, false);
            MV2ObjectMoved(spider);
        } else {
            d->planeNormal = kWorldUp;
            d->planePoint = spider->matrix->pos;
        }
    }
    return 1;
}

void Land(MV2Object* spider, MV2SpiderData* d) {
    const uint32_t state = MV2SpiderStateOf(d);
    if (state != kMV2SpiderDropping && state != kMV2SpiderSomersault) return;
    Sound(spider, "SPIDERLAND");
    KeyFromStart(spider, 5);
    SetState(d, kMV2SpiderLanding);
    if (const TvV3d* normal = MV2GetContactNormal()) SetUp(spider->matrix, *normal);
    StopSpin(spider);
    d->animRate = 0.1f;
}

void Bite(MV2Object* spider, MV2SpiderData* d, MV2Object* other) {
    if (!other || other != MV2GetPlayerObject() || MV2SpiderStateOf(d) != kMV2SpiderSomersault)
        return;
    other->energy -= 10.0f;
    d->flags |= kMV2SpiderFlipped;
    StopSpin(spider);
    SetState(d, kMV2SpiderCrawling);
    KeyFromStart(spider, 7);
    SetUp(spider->matrix, kWorldUp);
}

intptr_t BuildModel(MV2Object* spider) {
    if (spider->clump) return 1;
    MV2ObjectType* type = MV2GetObjectType(kMV2SpiderType);
    if (!type) return 0;
    if (!(type->words[7] & kMV2TypeModelLoaded) && !MV2LoadObjectTypeModel(type)) return 0;
    if (!type->model) return 0;
    spider->clump = TpClumpClone(type->model);
    return reinterpret_cast<intptr_t>(spider->clump);
}

intptr_t Default(MV2Object* o, int32_t message, intptr_t p1, intptr_t p2) {
    return MV2ObjectDefaultHandler(o, message, p1, p2) ? 1 : 0;
}

} // namespace

int32_t MV2GeometryAddLinkChain(TpGeometry* geometry, int32_t* index, int32_t first, int32_t last) {
    const int32_t step = first <= last ? 1 : -1;
    for (int32_t target = first; target != last; target += step) {
        TpAnimSequenceGeometrySetKey(geometry, *index, uint16_t(target + step), uint16_t(target),
                                     1.0f);
        ++*index;
    }
    return 1;
}

float MV2CrawlingSpiderKeyCallBack(TpAtomic* atomic, float position) {
    const int32_t k = TpAnimSequenceAtomicGetCurrentKeyIndex(atomic);
    if (k < 0) {
        TpAnimSequenceAtomicSetCurrentKey(atomic, 0);
        return 0.0f;
    }
    MV2Object* spider = MV2AtomicObject(atomic);
    MV2SpiderData* d = Data(spider);
    auto next = [&](int32_t key) {
        TpAnimSequenceAtomicSetCurrentKey(atomic, key);
        return position - 1.0f;
    };
    auto fromStart = [&](int32_t key) {
        if (spider) KeyFromStart(spider, key);
        return 0.0f;
    };
    switch (k) {
    case 0: return next(1);
    case 1: return next(0);
    case 2: return next(3);
    case 3:
        if (spider && d) Leap(spider, d);
        return next(4);
    case 4:
        if (d) {
            SetState(d, kMV2SpiderSomersault);
            d->flipAxis = spider->matrix->up;
        }
        return next(22);
    case 5: return next(6);
    case 6:
        if (d) SetState(d, kMV2SpiderCrouching);
        return next(28);
    case 11:
    case 23: return next(7);
    case 18:
        if (spider && d) Spit(spider);
        return next(19);
    case 20: return fromStart(30);
    case 28: return next(0);
    case 30:
        if (d) SetState(d, kMV2SpiderCrawling);
        return fromStart(7);
    default:
        if ((k >= 7 && k <= 10) || (k >= 12 && k <= 19)) return next(k + 1);
        return 0.0f; // plays the same key again
    }
}

intptr_t MV2CrawlingSpiderHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    switch (message) {
    case 3: return Create(object, p1, p2);
    case 80: return 1;
    case 96: return MV2AnswerSize(p2, sizeof(MV2SpiderData));
    case 98: return BuildModel(object);
    default: break;
    }
    MV2SpiderData* d = Data(object);
    if (!d) return message == 14 ? 1 : Default(object, message, p1, p2);
    switch (message) {
    case 2:
        MV2ApplyBuoyancy(object);
        if (object->energy <= 0.0f) {
            MV2CreateDebris(object);
            const MV2Point3 at = MV2Point(object->matrix->pos);
            MV2AddScorch(at.v, object->radius * 1.5f, 2);
            MV2ObjectSendMessage(object, 4, 0, 0);
            return 1;
        }
        if (!MV2ObjectDefaultHandler(object, 2, p1, p2)) return 0;
        return Update(object, d);
    case 14: Bite(object, d, reinterpret_cast<MV2Object*>(p2)); return 1;
    case 18: Land(object, d); break;
    case 33:
        if (p2) d->home = *reinterpret_cast<const TvV3d*>(p2);
        break;
    case 75:
        return MV2TypeOf(object) == kMV2PinnedSpiderType ? 1 : (d->flags & kMV2SpiderLandTest ? 1 : 0);
    case 79:
        if (p2) {
            const float v = *reinterpret_cast<const float*>(p2);
            // A pull of 0 or less (or none at all) leaves the factor as it is.
            if (v > 0.0f && std::isfinite(v)) d->pull = 1.0f / v;
        }
        break;
    default: break;
    }
    return Default(object, message, p1, p2);
}

void MV2RegisterCrawlingSpiderHandlers() {
    for (int32_t type : {kMV2SpiderType, kMV2PinnedSpiderType})
        MV2SetObjectTypeHandler(type, MV2CrawlingSpiderHandler);
}
