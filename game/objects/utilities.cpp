#include "game/objects/utilities.h"

#include <cmath>
#include <cstddef>
#include <limits>

#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/anim.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/intersect.h"
#include "engine/world/material.h"
#include "engine/world/random.h"
#include "engine/world/world.h"
#include "game/objects/clumpdata.h"
#include "game/objects/lighting.h"
#include "game/objects/modeltags.h"
#include "game/objects/objects.h"

namespace {

struct FrameSearch {
    const TvFrame* frame;
    TpAtomic* found;
};

TpAtomic* FindOnFrame(TpAtomic* atomic, void* data) {
    auto* search = static_cast<FrameSearch*>(data);
    if (atomic->object.frame == search->frame) {
        search->found = atomic;
        return nullptr;
    }
    return atomic;
}

TpAtomic* FirstAtomicOn(TpClump* clump, const TvFrame* frame) {
    FrameSearch search{frame, nullptr};
    TpClumpForAllAtomics(clump, FindOnFrame, &search);
    return search.found;
}

bool CarriesAtomic(TpClump* clump, const TvFrame* frame) {
    return FirstAtomicOn(clump, frame) != nullptr;
}

TvFrame* FindTaggedFrame(TpClump* clump, TvFrame* frame, uint32_t tag) {
    if (CarriesAtomic(clump, frame) && MV2FrameGetTag(frame) == tag) return frame;
    for (TvFrame* child = frame->child; child; child = child->next)
        if (TvFrame* found = FindTaggedFrame(clump, child, tag)) return found;
    return nullptr;
}

TpAtomic* DropGeometry(TpAtomic* atomic, void*) {
    TpAtomicSetGeometry(atomic, nullptr, 0);
    return atomic;
}

constexpr int32_t kIgnoredType = 145;
constexpr int32_t kMaxRejected = 6;

TvV3d Sub(const TvV3d& a, const TvV3d& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}

float Dot(const TvV3d& a, const TvV3d& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}

TvV3d Along(const TvV3d& start, const TvV3d& end, float fraction) {
    return {start.x + (end.x - start.x) * fraction, start.y + (end.y - start.y) * fraction,
            start.z + (end.z - start.z) * fraction};
}

MV2TriangleHit ToHit(const TpCollisionTriangle* t) {
    return {t->normal, t->point, t->index, {t->vertices[0], t->vertices[1], t->vertices[2]}};
}

struct Collect {
    MV2TriangleHit* out;
    int32_t max;
    int32_t count;
    const TvV3d* facing; // the centre, when only triangles facing it count
};

TpCollisionTriangle* CollectTriangle(TpIntersection*, TpWorldSector*, TpCollisionTriangle* t, float,
                                     void* data) {
    auto* c = static_cast<Collect*>(data);
    if (c->facing && Dot(Sub(*c->facing, t->point), t->normal) < 0.0f) return t;
    c->out[c->count++] = ToHit(t);
    return c->count < c->max ? t : nullptr;
}

int32_t CollectTriangles(TpWorld* world, TpIntersection* query, int32_t max, MV2TriangleHit* out,
                         const TvV3d* facing) {
    if (!world || max <= 0) return 0;
    Collect c{out, max, 0, facing};
    TpWorldForAllTriangleIntersections(world, query, CollectTriangle, &c);
    return c.count;
}

// The nearest triangle of a line query: a candidate replaces the best only when strictly nearer.
struct Nearest {
    bool found = false;
    float fraction = std::numeric_limits<float>::max();
    MV2TriangleHit hit{};
    TvV3d edgeNormal{}; // from the triangle's edges, in the space it was given in
};

void Consider(Nearest* n, const TpCollisionTriangle* t, float fraction) {
    if (n->found && !(fraction < n->fraction)) return;
    n->found = true;
    n->fraction = fraction;
    n->hit = ToHit(t);
    const TvV3d e1 = Sub(*t->vertices[1], *t->vertices[0]);
    const TvV3d e2 = Sub(*t->vertices[2], *t->vertices[0]);
    n->edgeNormal = {e1.y * e2.z - e1.z * e2.y, e1.z * e2.x - e1.x * e2.z,
                     e1.x * e2.y - e1.y * e2.x};
}

TpCollisionTriangle* NearestWorldTriangle(TpIntersection*, TpWorldSector*, TpCollisionTriangle* t,
                                          float fraction, void* data) {
    Consider(static_cast<Nearest*>(data), t, fraction);
    return t;
}

TpCollisionTriangle* NearestAtomicTriangle(TpIntersection*, TpCollisionTriangle* t, float fraction,
                                           void* data) {
    Consider(static_cast<Nearest*>(data), t, fraction);
    return t;
}

TpIntersection LineQuery(const TvV3d& start, const TvV3d& end) {
    TpIntersection q{};
    q.type = kTpIntersectLine;
    q.t.line = {start, end};
    return q;
}

Nearest NearestOnAtomic(TpAtomic* atomic, const TvV3d& start, const TvV3d& end) {
    Nearest n;
    TpIntersection q = LineQuery(start, end);
    TpAtomicForAllTriangleIntersections(atomic, &q, NearestAtomicTriangle, &n);
    return n;
}

Nearest NearestInWorld(TpWorld* world, const TvV3d& start, const TvV3d& end) {
    Nearest n;
    TpIntersection q = LineQuery(start, end);
    TpWorldForAllTriangleIntersections(world, &q, NearestWorldTriangle, &n);
    return n;
}

MV2Object* AtomicObject(TpAtomic* atomic) {
    TpClump* clump = TpAtomicGetClump(atomic);
    return clump ? MV2GetClumpObject(clump) : nullptr;
}

// Atomics of the ignored object and of type 145 are never hit by line queries.
bool Skipped(TpAtomic* atomic, const MV2Object* ignored) {
    const MV2Object* object = AtomicObject(atomic);
    if (!object) return false;
    return object == ignored || int32_t(object->typeWord & kMV2ObjectTypeMask) == kIgnoredType;
}

struct NearestBound {
    const MV2Object* ignored;
    TpAtomic* const* rejected;
    int32_t rejectedCount;
    float limit; // only bounds strictly nearer than this
    TpAtomic* atomic;
    float fraction;
};

TpAtomic* FindNearestBound(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float fraction,
                           void* data) {
    auto* n = static_cast<NearestBound*>(data);
    if (Skipped(atomic, n->ignored) || !(fraction < n->limit)) return atomic;
    for (int32_t i = 0; i < n->rejectedCount; i++)
        if (n->rejected[i] == atomic) return atomic;
    if (!n->atomic || fraction < n->fraction) {
        n->atomic = atomic;
        n->fraction = fraction;
    }
    return atomic;
}

struct SightBlock {
    const MV2Object* ignored;
    const MV2Object* target;
    TvV3d start, end;
    bool blocked;
};

TpAtomic* BlocksSight(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    auto* s = static_cast<SightBlock*>(data);
    const MV2Object* object = AtomicObject(atomic);
    if (!object || object == s->ignored || object == s->target) return atomic;
    if (NearestOnAtomic(atomic, s->start, s->end).found) {
        s->blocked = true;
        return nullptr;
    }
    return atomic;
}

struct SphereWalk {
    MV2AtomicInSphereCallBack callback;
    void* data;
    float radius;
};

TpAtomic* VisitInSphere(TpIntersection* q, TpWorldSector* sector, TpAtomic* atomic, float fraction,
                        void* data) {
    auto* w = static_cast<SphereWalk*>(data);
    const float units = fraction * (w->radius + TpAtomicGetWorldBoundingSphere(atomic)->radius);
    return w->callback(q, sector, atomic, units, w->data) > 0 ? atomic : nullptr;
}

TvV3d Normalise(TvV3d v) {
    const float length = std::sqrt(Dot(v, v));
    if (length > 0.0f) v = {v.x / length, v.y / length, v.z / length};
    return v;
}

} // namespace

float MV2SinDegrees(float degrees) {
    return std::sin(degrees * 0.017453292f);
}

float MV2CosDegrees(float degrees) {
    return std::cos(degrees * 0.017453292f);
}

TvMatrix* MV2RotateMatrixInPlace(TvMatrix* matrix, const TvV3d* axis, float degrees,
                                 int32_t combine) {
    const TvV3d position = matrix->pos;
    TvMatrixRotate(matrix, axis, degrees, combine);
    matrix->pos = position;
    return matrix;
}

TpAtomic* MV2FindRootAtomic(TpClump* clump) {
    if (!clump || !clump->frame) return nullptr;
    if (TpAtomic* atomic = FirstAtomicOn(clump, clump->frame)) return atomic;
    const TvFrame* last = clump->frame->child;
    if (!last) return nullptr;
    while (last->next)
        last = last->next;
    return FirstAtomicOn(clump, last);
}

TpAtomic* MV2AtomicAddAnimTime(TpAtomic* atomic, void* time) {
    TpAnimSequenceAtomicAddTime(atomic, *static_cast<const float*>(time));
    return atomic;
}

int32_t MV2AddAnimTime(TpClump* clump, float time) {
    TpClumpForAllAtomics(clump, MV2AtomicAddAnimTime, &time);
    return 1;
}

int32_t MV2DestroyClump(TpClump* clump) {
    if (!clump) return 0;
    if (TpWorld* world = TpClumpGetWorld(clump)) TpWorldRemoveClump(world, clump);
    TpClumpForAllAtomics(clump, DropGeometry, nullptr);
    return 1;
}

TpClump* MV2GetFirstWorldClump(TpWorld* world) {
    if (!world || world->clumps.next == &world->clumps) return nullptr;
    return TvContainerOf<TpClump>(world->clumps.next, offsetof(TpClump, inWorld));
}

TpClump* MV2GetNextWorldClump(TpWorld* world, TpClump* clump) {
    if (!world || !clump || clump->inWorld.next == &world->clumps) return nullptr;
    return TvContainerOf<TpClump>(clump->inWorld.next, offsetof(TpClump, inWorld));
}

TpAtomic* MV2GetFirstAtomic(TpClump* clump) {
    if (!clump || clump->atomics.next == &clump->atomics) return nullptr;
    return TvContainerOf<TpAtomic>(clump->atomics.next, offsetof(TpAtomic, inClump));
}

TpAtomic* MV2GetNextAtomic(TpClump* clump, TpAtomic* atomic) {
    if (!clump || !atomic || atomic->inClump.next == &clump->atomics) return nullptr;
    return TvContainerOf<TpAtomic>(atomic->inClump.next, offsetof(TpAtomic, inClump));
}

TvFrame* MV2GetRootFrame(TpClump* clump) {
    return clump && clump->frame ? TvFrameGetRoot(clump->frame) : nullptr;
}

TvFrame* MV2GetRootFrame(TpAtomic* atomic) {
    return atomic && atomic->object.frame ? TvFrameGetRoot(atomic->object.frame) : nullptr;
}

float MV2GetBoundingRadius(TpAtomic* atomic) {
    return atomic ? TpAtomicGetBoundingSphere(atomic)->radius : 0.0f;
}

TpAtomic* MV2FindAtomicByTag(TpClump* clump, uint32_t tag) {
    for (TpAtomic* a = MV2GetFirstAtomic(clump); a; a = MV2GetNextAtomic(clump, a))
        if (MV2AtomicGetPartTag(a) == tag) return a;
    return nullptr;
}

TvFrame* MV2FindFrameByTag(TpClump* clump, uint32_t tag) {
    if (!clump || !clump->frame) return nullptr;
    return FindTaggedFrame(clump, clump->frame, tag);
}

TpAtomic* MV2AtomicSetFlagsCallback(TpAtomic* atomic, void* flags) {
    TpAtomicSetFlags(atomic, *static_cast<const uint8_t*>(flags));
    return atomic;
}

int32_t MV2SetAllAtomicFlags(TpClump* clump, uint8_t flags) {
    TpClumpForAllAtomics(clump, MV2AtomicSetFlagsCallback, &flags);
    return 1;
}

int32_t MV2GetTrianglesInSphere(TpWorld* world, const TvV3d* centre, float radius, int32_t max,
                                MV2TriangleHit* out) {
    TpIntersection q{};
    q.type = kTpIntersectSphere;
    q.t.sphere = {*centre, radius};
    return CollectTriangles(world, &q, max, out, nullptr);
}

int32_t MV2GetFacingTrianglesInSphere(TpWorld* world, const TvV3d* centre, float radius,
                                      int32_t max, MV2TriangleHit* out) {
    TpIntersection q{};
    q.type = kTpIntersectSphere;
    q.t.sphere = {*centre, radius};
    return CollectTriangles(world, &q, max, out, centre);
}

int32_t MV2GetTrianglesInBox(TpWorld* world, const TvV3d* a, const TvV3d* b, int32_t max,
                             MV2TriangleHit* out) {
    TpIntersection q{};
    q.type = kTpIntersectBox;
    q.t.box = {{std::fmax(a->x, b->x), std::fmax(a->y, b->y), std::fmax(a->z, b->z)},
               {std::fmin(a->x, b->x), std::fmin(a->y, b->y), std::fmin(a->z, b->z)}};
    return CollectTriangles(world, &q, max, out, nullptr);
}

int32_t MV2IntersectWorldLine(TpWorld* world, const TvV3d* start, const TvV3d* end,
                              MV2TriangleHit* hit, float* fraction) {
    if (!world) return 0;
    const Nearest n = NearestInWorld(world, *start, *end);
    if (!n.found) return 0;
    if (hit) *hit = n.hit;
    if (fraction) *fraction = n.fraction;
    return 1;
}

int32_t MV2IntersectAtomicLine(TpAtomic* atomic, const TvV3d* start, const TvV3d* end,
                               int32_t* triangle, float* fraction) {
    if (!atomic) return 0;
    const Nearest n = NearestOnAtomic(atomic, *start, *end);
    if (!n.found) return 0;
    if (triangle) *triangle = n.hit.index;
    if (fraction) *fraction = n.fraction;
    return 1;
}

int32_t MV2IntersectSceneLine(TpWorld* world, const TvV3d* start, const TvV3d* end,
                              MV2TriangleHit* hit, float* fraction, TpAtomic** atomic,
                              MV2Object* ignored) {
    if (atomic) *atomic = nullptr;
    if (!world) return 0;
    const Nearest land = NearestInWorld(world, *start, *end);
    NearestBound bound{ignored, nullptr, 0, land.found ? land.fraction : 1.0f, nullptr, 0.0f};
    if (!land.found) bound.limit = std::numeric_limits<float>::max();
    TpIntersection q = LineQuery(*start, *end);
    TpWorldForAllAtomicIntersections(world, &q, FindNearestBound, &bound);
    if (bound.atomic) {
        if (atomic) *atomic = bound.atomic;
        if (fraction) *fraction = bound.fraction;
        return 1;
    }
    if (!land.found) return 0;
    if (hit) *hit = land.hit;
    if (fraction) *fraction = land.fraction;
    return 1;
}

int32_t MV2TraceLine(TpWorld* world, const TvV3d* start, const TvV3d* end, TvV3d* point,
                     TvV3d* normal, float* distance, TpAtomic** atomic, MV2Object* ignored) {
    if (atomic) *atomic = nullptr;
    if (!world) return 0;
    const Nearest land = NearestInWorld(world, *start, *end);
    const TvV3d stop = land.found ? Along(*start, *end, land.fraction) : *end;

    TpAtomic* rejected[kMaxRejected];
    int32_t rejectedCount = 0;
    TpIntersection q = LineQuery(*start, stop);
    TvV3d at{}, facing{};
    TpAtomic* struck = nullptr;
    while (rejectedCount < kMaxRejected) {
        NearestBound bound{ignored, rejected, rejectedCount, std::numeric_limits<float>::max(),
                           nullptr, 0.0f};
        TpWorldForAllAtomicIntersections(world, &q, FindNearestBound, &bound);
        if (!bound.atomic) break;
        const Nearest n = NearestOnAtomic(bound.atomic, *start, stop);
        if (n.found) {
            struck = bound.atomic;
            at = Along(*start, stop, n.fraction);
            TvV3dTransformVectors(&facing, &n.edgeNormal, 1, TvFrameGetLTM(struck->object.frame));
            facing = Normalise(facing);
            break;
        }
        rejected[rejectedCount++] = bound.atomic;
    }
    if (!struck) {
        if (!land.found) return 0;
        at = stop;
        facing = land.hit.normal;
    }
    if (point) *point = at;
    if (normal) *normal = facing;
    if (distance) {
        const TvV3d d = Sub(at, *start);
        *distance = std::sqrt(Dot(d, d));
    }
    if (atomic) *atomic = struck;
    return 1;
}

int32_t MV2HasLineOfSight(TpWorld* world, const TvV3d* start, const TvV3d* end, MV2Object* ignored,
                          MV2Object* target) {
    if (!world) return 1;
    SightBlock sight{ignored, target, *start, *end, false};
    if (target && target->clump) {
        float nearest = 1.0f;
        for (TpAtomic* a = MV2GetFirstAtomic(target->clump); a;
             a = MV2GetNextAtomic(target->clump, a)) {
            const Nearest n = NearestOnAtomic(a, *start, *end);
            if (n.found && n.fraction < nearest) nearest = n.fraction;
        }
        sight.end = Along(*start, *end, nearest);
    }
    if (NearestInWorld(world, sight.start, sight.end).found) return 0;
    TpIntersection q = LineQuery(sight.start, sight.end);
    TpWorldForAllAtomicIntersections(world, &q, BlocksSight, &sight);
    return !sight.blocked;
}

void MV2ForAllAtomicsInSphere(TpWorld* world, const TvV3d* centre, float radius,
                              MV2AtomicInSphereCallBack callback, void* data) {
    if (!world || !callback) return;
    TpIntersection q{};
    q.type = kTpIntersectSphere;
    q.t.sphere = {*centre, radius};
    SphereWalk walk{callback, data, radius};
    TpWorldForAllAtomicIntersections(world, &q, VisitInSphere, &walk);
}

float MV2RandomUnit() {
    return float(TvRandom() & 0xFFFF) / 65535.0f;
}

void MV2RandomDirection(TvV3d* out) {
    const float x = MV2RandomUnit() - 0.5f;
    const float y = MV2RandomUnit() - 0.5f;
    const float z = MV2RandomUnit() - 0.5f;
    *out = Normalise({x, y, z});
}

void MV2RandomHorizontalDirection(TvV3d* out) {
    const float x = MV2RandomUnit() - 0.5f;
    const float z = MV2RandomUnit() - 0.5f;
    *out = Normalise({x, 0.0f, z});
}

int32_t MV2CreateModelParts(MV2ModelParts* parts, int32_t vertices, int32_t triangles,
                            uint32_t geometryFlags, bool material) {
    MV2ModelParts& p = *parts;
    p.clump = TpClumpCreate();
    p.frame = TvFrameCreate();
    p.atomic = TpAtomicCreate();
    p.geometry = TpGeometryCreate(vertices, triangles, geometryFlags);
    p.material = material ? TpMaterialCreate() : nullptr;
    if (p.clump && p.frame && p.atomic && p.geometry && (p.material || !material)) return 1;
    if (p.material) TpMaterialDestroy(p.material);
    if (p.geometry) TpGeometryDestroy(p.geometry);
    if (p.atomic) TpAtomicDestroy(p.atomic);
    if (p.frame) TvFrameDestroy(p.frame);
    if (p.clump) TpClumpDestroy(p.clump);
    p = {};
    return 0;
}

TpClump* MV2JoinModelParts(const MV2ModelParts& parts) {
    TpAtomicSetGeometry(parts.atomic, parts.geometry, 0);
    TpGeometryDestroy(parts.geometry);
    TpClumpSetFrame(parts.clump, parts.frame);
    TpAtomicSetFrame(parts.atomic, parts.frame);
    TpClumpAddAtomic(parts.clump, parts.atomic);
    return parts.clump;
}
