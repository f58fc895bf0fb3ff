#include "engine/world/intersect.h"

#include <algorithm>
#include <cmath>
#include <cstddef>

#include "engine/core/bytes.h"
#include "engine/core/link.h"
#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "engine/world/geometry.h"
#include "engine/world/world.h"
#include "engine/world/world_plugin.h"

namespace {

constexpr float kEdgeOnLimit = 1e-6f;

float& At(TvV3d& v, int axis) {
    return (&v.x)[axis];
}
float At(const TvV3d& v, int axis) {
    return (&v.x)[axis];
}
bool IsLeaf(const TpSector* s) {
    return s->type < 0;
}
int PlaneAxis(const TpPlaneSector* p) {
    return (p->type >> 2) % 3;
}

// The query line: start, unit direction and length.
struct Ray {
    TvV3d start;
    TvV3d dir;
    float length;
};
Ray MakeRay(const TvV3d& start, const TvV3d& end) {
    Ray r{start, TvV3dSub(end, start), 0};
    r.length = TvV3dNormalize(&r.dir, &r.dir);
    return r;
}

// Single-sided line test: the fraction of the line at the hit, or a negative value for none.
float LineTriangle(const Ray& r, const TvV3d& a, const TvV3d& b, const TvV3d& c) {
    const TvV3d e1 = TvV3dSub(b, a), e2 = TvV3dSub(c, a);
    const TvV3d p = TvV3dCross(r.dir, e2);
    const float det = TvV3dDot(e1, p);
    if (!(det > kEdgeOnLimit)) return -1;
    const TvV3d s = TvV3dSub(r.start, a);
    const float u = TvV3dDot(s, p);
    if (u < 0 || u > det) return -1;
    const TvV3d q = TvV3dCross(s, e1);
    const float v = TvV3dDot(r.dir, q);
    if (v < 0 || u + v > det) return -1;
    const float t = TvV3dDot(e2, q);
    if (t < 0 || t > det * r.length) return -1;
    return r.length > 0 ? t / (det * r.length) : 0;
}

float SegmentDistanceSquared(const TvV3d& p, const TvV3d& a, const TvV3d& b) {
    const TvV3d ab = TvV3dSub(b, a), ap = TvV3dSub(p, a);
    const float len2 = TvV3dDot(ab, ab);
    const float t = len2 > 0 ? std::clamp(TvV3dDot(ap, ab) / len2, 0.0f, 1.0f) : 0.0f;
    const TvV3d d = TvV3dSub(ap, TvV3dScale(ab, t));
    return TvV3dDot(d, d);
}

// Sphere test: true on a hit, with the centre's height above the plane over the radius.
bool SphereTriangle(const TvSphere& s, const TvV3d& a, const TvV3d& b, const TvV3d& c,
                    float* distance) {
    const float r = s.radius;
    for (int k = 0; k < 3; k++) {
        const float m = At(s.center, k);
        if (At(a, k) > m + r && At(b, k) > m + r && At(c, k) > m + r) return false;
        if (At(a, k) < m - r && At(b, k) < m - r && At(c, k) < m - r) return false;
    }
    TvV3d n = TvV3dCross(TvV3dSub(b, a), TvV3dSub(c, a));
    if (TvV3dNormalize(&n, &n) <= 0) return false;
    const float h = TvV3dDot(TvV3dSub(s.center, a), n);
    if (std::fabs(h) > r) return false;
    *distance = r > 0 ? h / r : 0;
    const float r2 = r * r;
    for (const TvV3d* v : {&a, &b, &c}) {
        const TvV3d d = TvV3dSub(s.center, *v);
        if (TvV3dDot(d, d) <= r2) return true;
    }
    // The centre's projection inside the triangle: on the inner side of all three edges.
    const TvV3d p = TvV3dSub(s.center, TvV3dScale(n, h));
    const TvV3d* v[3] = {&a, &b, &c};
    bool inside = true;
    for (int i = 0; i < 3 && inside; i++) {
        const TvV3d edge = TvV3dSub(*v[(i + 1) % 3], *v[i]);
        inside = TvV3dDot(TvV3dCross(edge, TvV3dSub(p, *v[i])), n) >= 0;
    }
    if (inside) return true;
    for (int i = 0; i < 3; i++)
        if (SegmentDistanceSquared(s.center, *v[i], *v[(i + 1) % 3]) <= r2) return true;
    return false;
}

// Triangle against an axis-aligned box by separating axes: the box's three axes, the
// triangle's normal and the nine edge cross products.
bool BoxTriangle(const TvBBox& box, const TvV3d& a, const TvV3d& b, const TvV3d& c) {
    const TvV3d centre = TvV3dScale(TvV3dAdd(box.sup, box.inf), 0.5f);
    const TvV3d half = TvV3dScale(TvV3dSub(box.sup, box.inf), 0.5f);
    const TvV3d v[3] = {TvV3dSub(a, centre), TvV3dSub(b, centre), TvV3dSub(c, centre)};
    auto separates = [&](const TvV3d& axis) {
        float lo = TvV3dDot(v[0], axis), hi = lo;
        for (int i = 1; i < 3; i++) {
            const float d = TvV3dDot(v[i], axis);
            lo = std::min(lo, d);
            hi = std::max(hi, d);
        }
        const float reach =
            half.x * std::fabs(axis.x) + half.y * std::fabs(axis.y) + half.z * std::fabs(axis.z);
        return lo > reach || hi < -reach;
    };
    const TvV3d axes[3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
    for (const TvV3d& axis : axes)
        if (separates(axis)) return false;
    const TvV3d edges[3] = {TvV3dSub(v[1], v[0]), TvV3dSub(v[2], v[1]), TvV3dSub(v[0], v[2])};
    if (separates(TvV3dCross(edges[0], edges[1]))) return false;
    for (const TvV3d& axis : axes)
        for (const TvV3d& edge : edges)
            if (separates(TvV3dCross(axis, edge))) return false;
    return true;
}

TpCollisionTriangle MakeTriangle(TvV3d* a, TvV3d* b, TvV3d* c, int32_t index) {
    TpCollisionTriangle t{TvV3dCross(TvV3dSub(*b, *a), TvV3dSub(*c, *a)), *a, index, {a, b, c}};
    TvV3dNormalize(&t.normal, &t.normal);
    return t;
}

// A query's walk state: the caller's record, data and whether a callback asked to stop.
struct Query {
    TpIntersection* intersection;
    void* data;
    bool stopped = false;
};

// ---- Sector tree walks ----------------------------------------------------------------------

// The part of the segment a-b whose coordinate on `axis` is at most (`below`) or at least
// `limit`; false when none is.
bool Clip(TvV3d& a, TvV3d& b, int axis, float limit, bool below) {
    const float sa = At(a, axis) - limit, sb = At(b, axis) - limit;
    const bool aIn = below ? sa <= 0 : sa >= 0;
    const bool bIn = below ? sb <= 0 : sb >= 0;
    if (aIn && bIn) return true;
    if (!aIn && !bIn) return false;
    const float t = sa / (sa - sb);
    TvV3d cut = TvV3dAdd(a, TvV3dScale(TvV3dSub(b, a), t));
    At(cut, axis) = limit;
    (aIn ? b : a) = cut;
    return true;
}

// Leaves a line reaches, nearest first; `visit` returns false to stop.
template <typename F> void ForLineLeaves(TpSector* root, const TpLine& line, F visit) {
    struct Piece {
        TpSector* node;
        TvV3d a, b;
    };
    TpSectorWalk<Piece> pending;
    if (root) pending.Push({root, line.start, line.end});
    while (!pending.Empty()) {
        Piece piece = pending.Pop();
        if (IsLeaf(piece.node)) {
            if (!visit(reinterpret_cast<TpWorldSector*>(piece.node))) return;
            continue;
        }
        auto* p = reinterpret_cast<TpPlaneSector*>(piece.node);
        const int k = PlaneAxis(p);
        const float sa = At(piece.a, k), sb = At(piece.b, k);
        if (sa < p->rightValue && sb < p->rightValue) {
            pending.Push({p->leftChild, piece.a, piece.b});
        } else if (sa > p->leftValue && sb > p->leftValue) {
            pending.Push({p->rightChild, piece.a, piece.b});
        } else {
            Piece low{p->leftChild, piece.a, piece.b}, high{p->rightChild, piece.a, piece.b};
            const bool hasLow = Clip(low.a, low.b, k, p->leftValue, true);
            const bool hasHigh = Clip(high.a, high.b, k, p->rightValue, false);
            const bool startLow = sa < p->value || (sa == p->value && sb >= sa);
            // The child on the start's side is visited first, so it is pushed last.
            if (startLow) {
                if (hasHigh) pending.Push(high);
                if (hasLow) pending.Push(low);
            } else {
                if (hasLow) pending.Push(low);
                if (hasHigh) pending.Push(high);
            }
        }
    }
}

// The leaf holding a point.
TpWorldSector* LeafHolding(TpSector* node, const TvV3d& point) {
    while (node && !IsLeaf(node)) {
        auto* p = reinterpret_cast<TpPlaneSector*>(node);
        node = At(point, PlaneAxis(p)) < p->value ? p->leftChild : p->rightChild;
    }
    return reinterpret_cast<TpWorldSector*>(node);
}

TvBBox SphereBox(const TvSphere& s) {
    const float r = s.radius;
    return {{s.center.x + r, s.center.y + r, s.center.z + r},
            {s.center.x - r, s.center.y - r, s.center.z - r}};
}

// ---- Collision trees of leaves --------------------------------------------------------------

// A collision tree is stored in 384 bytes: nodes 1 to 127, at most 7 levels.
constexpr size_t kMaxTreeNode = 127;
template <typename T> using TreeWalk = TvWalkStack<T, 16>;

struct TreeNode {
    bool split;
    int axis;
    float value;
    int first, count;
};
TreeNode Node(const TpWorldSector* leaf, size_t i) {
    const auto* b = static_cast<const uint8_t*>(leaf->collisionTree) + 3 * i;
    TreeNode n{(b[0] & 0x80) != 0, ((b[0] >> 3) & 12) >> 2, 0, b[2], b[0]};
    if (n.split) {
        n.count = b[0] & 0x1F;
        n.value = At(leaf->vertices[b[1]], n.axis);
    }
    return n;
}

// Tests the triangles held at a node; false when the callback stopped the query.
template <typename Test> bool TestNode(TpWorldSector* leaf, const TreeNode& n, Test test) {
    for (int i = n.first; i < n.first + n.count && i < leaf->numTriangles; i++) {
        const TpSectorTriangle& t = leaf->triangles[i];
        if (!test(i, &leaf->vertices[t.vertex[0]], &leaf->vertices[t.vertex[1]],
                  &leaf->vertices[t.vertex[2]]))
            return false;
    }
    return true;
}

// Line through a leaf's collision tree: the segment is cut at each split it crosses.
template <typename Test> bool LineThroughTree(TpWorldSector* leaf, const TpLine& line, Test test) {
    struct Piece {
        size_t node;
        TvV3d a, b;
    };
    TreeWalk<Piece> pending;
    pending.Push({1, line.start, line.end});
    while (!pending.Empty()) {
        Piece piece = pending.Pop();
        if (piece.node > kMaxTreeNode) continue;
        const TreeNode n = Node(leaf, piece.node);
        if (!TestNode(leaf, n, test)) return false;
        if (!n.split) continue;
        const float da = At(piece.a, n.axis) - n.value, db = At(piece.b, n.axis) - n.value;
        const size_t nearChild = da < 0 ? 2 * piece.node : 2 * piece.node + 1;
        const size_t farChild = da < 0 ? 2 * piece.node + 1 : 2 * piece.node;
        if ((da < 0) != (db < 0) && da != db) {
            const TvV3d cut =
                TvV3dAdd(piece.a, TvV3dScale(TvV3dSub(piece.b, piece.a), da / (da - db)));
            pending.Push({farChild, cut, piece.b});
            pending.Push({nearChild, piece.a, cut});
        } else {
            pending.Push({nearChild, piece.a, piece.b});
        }
    }
    return true;
}

// A box through a leaf's collision tree: lower child below the split, upper above it.
template <typename Test> bool BoxThroughTree(TpWorldSector* leaf, const TvBBox& box, Test test) {
    TreeWalk<size_t> pending;
    pending.Push(1);
    while (!pending.Empty()) {
        const size_t i = pending.Pop();
        if (i > kMaxTreeNode) continue;
        const TreeNode n = Node(leaf, i);
        if (!TestNode(leaf, n, test)) return false;
        if (!n.split) continue;
        if (At(box.sup, n.axis) > n.value) pending.Push(2 * i + 1);
        if (At(box.inf, n.axis) < n.value) pending.Push(2 * i);
    }
    return true;
}

bool WorldQueryReady(TpWorld* world, TpIntersection* intersection, const void* callback) {
    return TpCheck(TpWorldModule, world) && TpCheck(TpWorldModule, intersection) &&
           TpCheck(TpWorldModule, callback);
}

} // namespace

TpWorld* TpWorldForAllTriangleIntersections(TpWorld* world, TpIntersection* intersection,
                                            TpWorldTriangleIntersectionCallBack callback,
                                            void* data) {
    if (!WorldQueryReady(world, intersection, reinterpret_cast<const void*>(callback)))
        return nullptr;
    Query q{intersection, data};
    TpWorldSector* current = nullptr;
    auto report = [&](int32_t index, TvV3d* a, TvV3d* b, TvV3d* c, float distance) {
        TpCollisionTriangle t = MakeTriangle(a, b, c, index);
        q.stopped = callback(intersection, current, &t, distance, data) == nullptr;
        return !q.stopped;
    };
    switch (intersection->type) {
    case kTpIntersectLine: {
        const TpLine line = intersection->t.line;
        const Ray ray = MakeRay(line.start, line.end);
        ForLineLeaves(world->root, line, [&](TpWorldSector* leaf) {
            if (!leaf->collisionTree) return true;
            current = leaf;
            return LineThroughTree(leaf, line, [&](int32_t i, TvV3d* a, TvV3d* b, TvV3d* c) {
                const float d = LineTriangle(ray, *a, *b, *c);
                return d < 0 || report(i, a, b, c, d);
            });
        });
        return world;
    }
    case kTpIntersectSphere:
    case kTpIntersectAtomic: {
        TvSphere s;
        if (intersection->type == kTpIntersectSphere) {
            s = intersection->t.sphere;
        } else {
            if (!TpCheck(TpAtomicModule, intersection->t.atomic)) return nullptr;
            s = *TpAtomicGetWorldBoundingSphere(intersection->t.atomic);
        }
        const TvBBox box = SphereBox(s);
        TpWorldForLeavesReached(world->root, box, [&](TpWorldSector* leaf) {
            if (!leaf->collisionTree) return true;
            current = leaf;
            return BoxThroughTree(leaf, box, [&](int32_t i, TvV3d* a, TvV3d* b, TvV3d* c) {
                float d = 0;
                return !SphereTriangle(s, *a, *b, *c, &d) || report(i, a, b, c, d);
            });
        });
        return world;
    }
    case kTpIntersectBox: {
        const TvBBox box = intersection->t.box;
        if (box.inf.x < 0 || box.inf.y < 0 || box.inf.z < 0) {
            TpWorldError(E_TP_LIGHTBELOWZERO);
            return nullptr;
        }
        TpWorldForLeavesReached(world->root, box, [&](TpWorldSector* leaf) {
            if (!leaf->collisionTree) return true;
            current = leaf;
            return BoxThroughTree(leaf, box, [&](int32_t i, TvV3d* a, TvV3d* b, TvV3d* c) {
                return !BoxTriangle(box, *a, *b, *c) || report(i, a, b, c, 0);
            });
        });
        return world;
    }
    default: TpWorldError(E_TP_INTERSECTIONTYPE); return nullptr;
    }
}

TpWorld* TpWorldForAllSectorIntersections(TpWorld* world, TpIntersection* intersection,
                                          TpWorldSectorIntersectionCallBack callback, void* data) {
    if (!WorldQueryReady(world, intersection, reinterpret_cast<const void*>(callback)))
        return nullptr;
    auto visit = [&](TpWorldSector* leaf) { return callback(intersection, leaf, data) != nullptr; };
    switch (intersection->type) {
    case kTpIntersectLine: ForLineLeaves(world->root, intersection->t.line, visit); return world;
    case kTpIntersectPoint:
        if (TpWorldSector* leaf = LeafHolding(world->root, intersection->t.point)) visit(leaf);
        return world;
    case kTpIntersectSphere:
        if (intersection->t.sphere.radius < 0) {
            TpCommonError(E_TV_INVALIDPARAM, "Negative Sphere radius");
            return nullptr;
        }
        TpWorldForLeavesReached(world->root, SphereBox(intersection->t.sphere), visit);
        return world;
    case kTpIntersectAtomic:
        if (!TpCheck(TpAtomicModule, intersection->t.atomic)) return nullptr;
        TpWorldForLeavesReached(
            world->root, SphereBox(*TpAtomicGetWorldBoundingSphere(intersection->t.atomic)), visit);
        return world;
    default: TpWorldError(E_TP_INTERSECTIONTYPE); return nullptr;
    }
}

TpWorld* TpWorldForAllAtomicIntersections(TpWorld* world, TpIntersection* intersection,
                                          TpWorldAtomicIntersectionCallBack callback, void* data) {
    if (!WorldQueryReady(world, intersection, reinterpret_cast<const void*>(callback)))
        return nullptr;
    // Atomics tied to several sectors are tested once per query: each keeps the stamp of the
    // last query that tested it.
    const uint16_t stamp = _TpWorldAdvanceQueryStamp();
    bool stopped = false;
    auto forAtomics = [&](TpWorldSector* leaf, auto test) {
        TvLink* head = &leaf->collisionAtomics;
        for (TvLink* l = head->next; l != head && !stopped;) {
            auto* atomic = static_cast<TpAtomic*>(TpTieInSector(l)->object);
            l = l->next; // the callback may move the atomic
            if (atomic->queryStamp == stamp) continue;
            atomic->queryStamp = stamp;
            float distance = 0;
            if (test(atomic, &distance))
                stopped = callback(intersection, leaf, atomic, distance, data) == nullptr;
        }
        return !stopped;
    };
    const TpAtomic* self = nullptr;
    auto sphereTest = [&](const TvSphere& s) {
        return [&, s](TpAtomic* atomic, float* distance) {
            if (atomic == self) return false;
            const TvSphere* w = TpAtomicGetWorldBoundingSphere(atomic);
            const float reach = s.radius + w->radius;
            const TvV3d d = TvV3dSub(w->center, s.center);
            const float d2 = TvV3dDot(d, d);
            if (!(d2 < reach * reach)) return false;
            *distance = reach > 0 ? std::sqrt(d2) / reach : 0;
            return true;
        };
    };
    switch (intersection->type) {
    case kTpIntersectLine: {
        const TpLine line = intersection->t.line;
        const Ray ray = MakeRay(line.start, line.end);
        ForLineLeaves(world->root, line, [&](TpWorldSector* leaf) {
            return forAtomics(leaf, [&](TpAtomic* atomic, float* distance) {
                const TvSphere* s = TpAtomicGetWorldBoundingSphere(atomic);
                const TvV3d v = TvV3dSub(s->center, ray.start);
                const float proj = TvV3dDot(v, ray.dir), v2 = TvV3dDot(v, v);
                const float r2 = s->radius * s->radius;
                const float len = ray.length > 0 ? ray.length : 1;
                if (v2 < r2) {
                    *distance = proj / len;
                    return true;
                }
                if (proj < 0 || proj / len > 1 || r2 - (v2 - proj * proj) < 0) return false;
                *distance = proj / len;
                return true;
            });
        });
        return world;
    }
    case kTpIntersectPoint: {
        if (TpWorldSector* leaf = LeafHolding(world->root, intersection->t.point))
            forAtomics(leaf, sphereTest(TvSphere{intersection->t.point, 0}));
        return world;
    }
    case kTpIntersectSphere:
    case kTpIntersectAtomic: {
        TvSphere s;
        if (intersection->type == kTpIntersectSphere) {
            s = intersection->t.sphere;
        } else {
            if (!TpCheck(TpAtomicModule, intersection->t.atomic)) return nullptr;
            self = intersection->t.atomic;
            s = *TpAtomicGetWorldBoundingSphere(intersection->t.atomic);
        }
        const auto test = sphereTest(s);
        TpWorldForLeavesReached(world->root, SphereBox(s),
                                [&](TpWorldSector* leaf) { return forAtomics(leaf, test); });
        return world;
    }
    default: TpWorldError(E_TP_INTERSECTIONTYPE); return nullptr;
    }
}

TpAtomic* TpAtomicForAllTriangleIntersections(TpAtomic* atomic, TpIntersection* intersection,
                                              TpAtomicTriangleIntersectionCallBack callback,
                                              void* data) {
    if (!TpCheck(TpAtomicModule, atomic) || !TpCheck(TpAtomicModule, intersection) ||
        !TpCheck(TpAtomicModule, reinterpret_cast<const void*>(callback)))
        return nullptr;
    const int32_t type = intersection->type;
    if (type != kTpIntersectLine && type != kTpIntersectSphere && type != kTpIntersectAtomic) {
        TpWorldError(E_TP_INTERSECTIONTYPE);
        return nullptr;
    }
    if (!atomic->object.frame) {
        TpWorldError(E_TP_ATOMICNOFRAME);
        return nullptr;
    }
    TvMatrix inverse;
    TvMatrixInvert(&inverse, TvFrameGetLTM(atomic->object.frame));
    TpGeometry* g = atomic->geometry;
    if (!g || g->numMorphTargets <= 0) return atomic;

    // The query in the atomic's frame space.
    Ray ray{};
    TvSphere sphere{};
    if (type == kTpIntersectLine) {
        TvV3d ends[2] = {intersection->t.line.start, intersection->t.line.end};
        TvV3dTransformPoints(ends, ends, 2, &inverse);
        ray = MakeRay(ends[0], ends[1]);
    } else {
        if (type == kTpIntersectAtomic && !TpCheck(TpAtomicModule, intersection->t.atomic))
            return nullptr;
        sphere = type == kTpIntersectSphere
                     ? intersection->t.sphere
                     : *TpAtomicGetWorldBoundingSphere(intersection->t.atomic);
        TvV3dTransformPoints(&sphere.center, &sphere.center, 1, &inverse);
        const float scale = std::max(
            {TvV3dLength(&inverse.right), TvV3dLength(&inverse.up), TvV3dLength(&inverse.at)});
        sphere.radius *= scale;
    }

    // Vertices between the interpolator's morph targets.
    const TpInterpolator& in = atomic->interpolator;
    const int32_t count = g->numMorphTargets;
    const int32_t s = in.startMorphTarget, e = in.endMorphTarget;
    const bool between = s != e && s >= 0 && e >= 0 && s < count && e < count;
    const int32_t base = s >= 0 && s < count ? s : 0;
    TvV3d* vertices = g->morphTargets[base].vertices;
    if (!vertices) return atomic;
    // Between two targets each triangle's corners are blended into local storage.
    const TvV3d* endVertices = between ? g->morphTargets[e].vertices : nullptr;
    const float f = in.position * in.recipTime;
    TvV3d corners[3];
    for (int32_t i = 0; i < g->numTriangles; i++) {
        const TpTriangle& t = g->triangles[i];
        if (t.vertex[0] >= g->numVertices || t.vertex[1] >= g->numVertices ||
            t.vertex[2] >= g->numVertices)
            continue;
        TvV3d* a = &vertices[t.vertex[0]];
        TvV3d* b = &vertices[t.vertex[1]];
        TvV3d* c = &vertices[t.vertex[2]];
        if (endVertices) {
            TvV3d* ends[3] = {a, b, c};
            for (int k = 0; k < 3; k++) {
                const TvV3d& from = g->morphTargets[s].vertices[t.vertex[k]];
                const TvV3d& to = endVertices[t.vertex[k]];
                corners[k] = TvV3dAdd(from, TvV3dScale(TvV3dSub(to, from), f));
                ends[k] = &corners[k];
            }
            a = ends[0];
            b = ends[1];
            c = ends[2];
        }
        TpCollisionTriangle tri = MakeTriangle(a, b, c, i);
        if (TvV3dDot(tri.normal, tri.normal) == 0) continue;
        float distance = 0;
        const bool hit = type == kTpIntersectLine ? (distance = LineTriangle(ray, *a, *b, *c)) >= 0
                                                  : SphereTriangle(sphere, *a, *b, *c, &distance);
        if (hit && !callback(intersection, &tri, distance, data)) break;
    }
    return atomic;
}
