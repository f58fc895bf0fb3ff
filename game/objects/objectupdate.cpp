#include "game/objects/objectupdate.h"

#include <cmath>
#include <cstring>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "engine/core/matrix.h"
#include "engine/world/clump.h"
#include "engine/world/intersect.h"
#include "engine/world/random.h"
#include "engine/world/world.h"
#include "game/effects/effects.h"
#include "game/objects/clumpdata.h"
#include "game/objects/collision.h"
#include "game/objects/dynamics.h"
#include "game/objects/objecttypes.h"
#include "game/objects/utilities.h"
#include "game/objects/water.h"
#include "game/player/player.h"
#include "shell/frametimer.h"
#include "shell/gamemain.h"

MV2VisibleList gMV2VisibleList;
int32_t MV2InViewUpdateFlag = 0;
MV2UpdateCounters gMV2UpdateCounters;

namespace {

constexpr int32_t kMaxTableEntries = 3 * kMV2MaxContactTriangles;
// Most other atomics one collision query hands on; the rest wait for the next check.
constexpr int32_t kMaxQueryAtomics = 64;
// Pairs with a collision tree handled this frame, so that each is handled once.
constexpr int32_t kMaxTreePairs = 64;

MV2CollisionState g_collision;
TvV3d g_contactNormal{0, 1, 0};

struct VertexRecord {
    const TvV3d* vertex;
    bool used;
    TvV3d normal;
};

struct EdgeRecord {
    int32_t a, b;
    bool used;
    TvV3d normal;
};

VertexRecord g_vertices[kMaxTableEntries];
EdgeRecord g_edges[kMaxTableEntries];
int32_t g_triangleEdges[kMV2MaxContactTriangles][3];
int32_t g_triangleVertices[kMV2MaxContactTriangles][3];
MV2TriangleHit g_hits[kMV2MaxContactTriangles];

struct TreePair {
    const TpAtomic* sphere;
    const TpAtomic* tree;
};
TreePair g_treePairs[kMaxTreePairs];
int32_t g_numTreePairs = 0;
uint32_t g_treePairFrame = 0;

TvV3d Sub(const TvV3d& a, const TvV3d& b) {
    return TvV3dSub(a, b);
}
TvV3d Add(const TvV3d& a, const TvV3d& b) {
    return TvV3dAdd(a, b);
}
TvV3d Scale(const TvV3d& a, float s) {
    return TvV3dScale(a, s);
}
float Dot(const TvV3d& a, const TvV3d& b) {
    return TvV3dDot(a, b);
}
float Length(const TvV3d& a) {
    return std::sqrt(Dot(a, a));
}
TvV3d Unit(const TvV3d& a) {
    const float l = Length(a);
    return l > 0.0f ? Scale(a, 1.0f / l) : a;
}

int32_t TypeNumber(const MV2Object* object) {
    return int32_t(object->typeWord & kMV2ObjectTypeMask);
}

uint32_t TypeFlags(const MV2Object* object) {
    return object->type ? object->type->words[7] : 0;
}

uint32_t DynamicsClass(const MV2Object* object) {
    return object->type ? (object->type->words[31] >> 28) & 3 : 0;
}

float Mass(const MV2Object* object) {
    return object->type ? MV2TypeFloat(object->type, 2) : 0.0f;
}

int32_t Now() {
    return int32_t(gMV2FrameTimer.frameClock);
}

TvV3d& Position(MV2Object* object) {
    return object->matrix->pos;
}

TvV3d Velocity(const MV2Object* object) {
    return object->body ? object->body->velocity : TvV3d{0, 0, 0};
}

void FlagDirty(MV2Object* object) {
    if (object->clump && object->clump->frame) TvFrameUpdateObjects(object->clump->frame);
}

TvV3d AtomicPosition(TpAtomic* atomic) {
    return atomic->object.frame ? TvFrameGetLTM(atomic->object.frame)->pos : TvV3d{0, 0, 0};
}

// The frame step is 1.0 while a contact response pushes bodies.
struct UnitFrameStep {
    float saved = gMV2FrameTimer.ticks;
    UnitFrameStep() { gMV2FrameTimer.ticks = 1.0f; }
    ~UnitFrameStep() { gMV2FrameTimer.ticks = saved; }
};

void AddNormal(TvV3d& sum, const TvV3d& n) {
    sum = Unit(Add(sum, n));
}

int32_t FindVertex(int32_t& count, const TvV3d* v) {
    for (int32_t i = 0; i < count; i++)
        if (g_vertices[i].vertex == v) return i;
    g_vertices[count] = {v, false, {0, 0, 0}};
    return count++;
}

int32_t FindEdge(int32_t& count, int32_t a, int32_t b) {
    if (a > b) std::swap(a, b);
    for (int32_t i = 0; i < count; i++)
        if (g_edges[i].a == a && g_edges[i].b == b) return i;
    g_edges[count] = {a, b, false, {0, 0, 0}};
    return count++;
}

// The deepest contact of a sphere with collected triangles: the normal and depth, or false.
bool FindContact(const TvV3d& centre, float radius, const MV2TriangleHit* hits, int32_t n,
                 TvV3d* normal, float* depth) {
    if (n <= 0) return false;
    auto planeDepth = [&](const MV2TriangleHit& h) {
        return radius - Dot(h.normal, Sub(centre, *h.vertices[0]));
    };
    if (n == 1) {
        *normal = hits[0].normal;
        *depth = planeDepth(hits[0]);
        return true;
    }
    int32_t numVertices = 0, numEdges = 0;
    for (int32_t t = 0; t < n; t++) {
        for (int32_t k = 0; k < 3; k++) {
            const int32_t v = FindVertex(numVertices, hits[t].vertices[k]);
            g_triangleVertices[t][k] = v;
            AddNormal(g_vertices[v].normal, hits[t].normal);
        }
        for (int32_t k = 0; k < 3; k++) {
            const int32_t e =
                FindEdge(numEdges, g_triangleVertices[t][k], g_triangleVertices[t][(k + 1) % 3]);
            g_triangleEdges[t][k] = e;
            AddNormal(g_edges[e].normal, hits[t].normal);
        }
    }
    float best = 0.0f;
    bool found = false;
    for (int32_t t = 0; t < n; t++) {
        const MV2TriangleHit& h = hits[t];
        const float d = planeDepth(h);
        if (d < best) continue;
        bool inside = true;
        for (int32_t k = 0; k < 3 && inside; k++) {
            const TvV3d& p = *h.vertices[k];
            const TvV3d e = Sub(*h.vertices[(k + 1) % 3], p);
            inside = Dot(TvV3dCross(e, Sub(centre, p)), h.normal) >= 0.0f;
        }
        if (inside) {
            best = d;
            *normal = h.normal;
            found = true;
            continue;
        }
        for (int32_t k = 0; k < 3; k++) {
            EdgeRecord& edge = g_edges[g_triangleEdges[t][k]];
            if (edge.used) continue;
            edge.used = true;
            const TvV3d& p = *g_vertices[edge.a].vertex;
            const TvV3d e = Sub(*g_vertices[edge.b].vertex, p);
            const float ee = Dot(e, e);
            const float s = ee > 0.0f ? Dot(Sub(centre, p), e) / ee : -1.0f;
            if (s > 0.0f && s < 1.0f) {
                const float ed = radius - Length(Sub(centre, Add(p, Scale(e, s))));
                if (ed > best) {
                    best = ed;
                    *normal = edge.normal;
                    found = true;
                }
                continue;
            }
            for (int32_t end : {edge.a, edge.b}) {
                VertexRecord& vertex = g_vertices[end];
                if (vertex.used) continue;
                vertex.used = true;
                const float vd = radius - Length(Sub(centre, *vertex.vertex));
                if (vd > best) {
                    best = vd;
                    *normal = vertex.normal;
                    found = true;
                }
            }
        }
    }
    *depth = best;
    return found;
}

bool IsSpecialCategoryType(int32_t type) {
    return type == 291 || type == 332 || type == 333;
}

bool SameTreePairThisFrame(const TpAtomic* sphere, const TpAtomic* tree) {
    if (g_treePairFrame != gMV2FrameTimer.updateCounter) {
        g_treePairFrame = gMV2FrameTimer.updateCounter;
        g_numTreePairs = 0;
    }
    for (int32_t i = 0; i < g_numTreePairs; i++)
        if (g_treePairs[i].sphere == sphere && g_treePairs[i].tree == tree) return true;
    if (g_numTreePairs < kMaxTreePairs) g_treePairs[g_numTreePairs++] = {sphere, tree};
    return false;
}

// A sphere object S against a tree object T: the contact, the energy loss and both hits.
void SphereMeetsTree(MV2Object* a, MV2Object* b, MV2Object* s, MV2Object* t, TpAtomic* sAtomic,
                     TpAtomic* tAtomic, bool bothBodies) {
    if (SameTreePairThisFrame(sAtomic, tAtomic)) return;
    float speed = 0.0f;
    if (!MV2CollideSphereWithTree(s, t, tAtomic, &speed)) return;
    MV2TreeCollisionEnergyLoss(a, b);
    const auto amount = intptr_t(int32_t(speed * 10000.0f));
    MV2ObjectHandle tHandle = kMV2MaxObjectHandle;
    const MV2ObjectHandle sHandle = s->handle;
    MV2ObjectSendMessage(t, 17, 0, reinterpret_cast<intptr_t>(&tHandle));
    g_collision.struck = tAtomic;
    g_collision.striking = sAtomic;
    MV2ObjectSendMessage(t, 19, amount, reinterpret_cast<intptr_t>(s));
    if (MV2ObjectHandleAlive(tHandle) && MV2ObjectHandleAlive(sHandle)) {
        g_collision.struck = sAtomic;
        g_collision.striking = tAtomic;
        MV2ObjectSendMessage(s, 19, amount, reinterpret_cast<intptr_t>(t));
    }
    if (bothBodies && MV2ObjectHandleAlive(tHandle) && MV2ObjectHandleAlive(sHandle))
        MV2CollisionEnergyLoss(a, b);
}

// Hands each other atomic met by a query on to the collision callback after the walk, so that
// objects destroyed by one collision are never walked by the engine.
struct QueryHits {
    TpAtomic* atomics[kMaxQueryAtomics];
    MV2ObjectHandle handles[kMaxQueryAtomics];
    int32_t count;
};

TpAtomic* CollectAtomic(TpIntersection*, TpWorldSector*, TpAtomic* atomic, float, void* data) {
    auto* hits = static_cast<QueryHits*>(data);
    MV2Object* other = MV2GetClumpObject(TpAtomicGetClump(atomic));
    if (!other) return atomic;
    hits->atomics[hits->count] = atomic;
    hits->handles[hits->count] = other->handle;
    return ++hits->count < kMaxQueryAtomics ? atomic : nullptr;
}

} // namespace

void MV2CollideAtomicWithObjects(MV2Object* object, TpWorld* world, TpAtomic* atomic) {
    QueryHits hits;
    hits.count = 0;
    TpIntersection q{};
    q.type = kTpIntersectAtomic;
    q.t.atomic = atomic;
    TpWorldForAllAtomicIntersections(world, &q, CollectAtomic, &hits);
    const MV2ObjectHandle self = object->handle;
    for (int32_t i = 0; i < hits.count && MV2ObjectHandleAlive(self); i++)
        if (MV2ObjectHandleAlive(hits.handles[i]))
            MV2ObjectCollisionCallback(&q, nullptr, hits.atomics[i], 0.0f, nullptr);
}

namespace {

void CollideWithObjects(MV2Object* object) {
    TpWorld* world = TpWorldGetCurrent();
    if (!world || !object->clump) return;
    const MV2ObjectHandle self = object->handle;
    if (TypeFlags(object) & kMV2TypeCollisionTree) {
        // Atomics of the clump may go with the object: walk while it lives.
        for (TpAtomic* a = MV2GetFirstAtomic(object->clump); a && MV2ObjectHandleAlive(self);) {
            TpAtomic* next = MV2GetNextAtomic(object->clump, a);
            if (a->object.object.flags & kTpAtomicCollisionTest) MV2CollideAtomicWithObjects(object, world, a);
            if (!MV2ObjectHandleAlive(self)) break;
            a = next;
        }
    } else if (TpAtomic* root = MV2FindRootAtomic(object->clump)) {
        MV2CollideAtomicWithObjects(object, world, root);
    }
}

// Message 2 of one object (from either walker).
void UpdateObject(MV2Object* object) {
    if (!object || object->lastUpdateFrame == gMV2FrameTimer.updateCounter) return;
    object->lastUpdateFrame = gMV2FrameTimer.updateCounter;
    if (MV2InViewUpdateFlag && gMV2MainCamera && object->clump) {
        TvFrame* root = MV2GetRootFrame(object->clump);
        const TvSphere sphere{root ? TvFrameGetLTM(root)->pos : TvV3d{0, 0, 0}, object->radius};
        if (TvCameraFrustumTestSphere(gMV2MainCamera, &sphere) != kTvSphereOutside) {
            const int32_t slot = gMV2VisibleList.counter % kMV2VisibleObjects;
            gMV2VisibleList.entries[slot] = {object, object->handle};
            gMV2VisibleList.counter = slot + 1;
        }
    }
    gMV2UpdateCounters.updated++;
    MV2ObjectSendMessage(object, 2, 0, 0);
}

} // namespace

const MV2CollisionState* MV2GetCollisionState() {
    return &g_collision;
}

const TvV3d* MV2GetContactNormal() {
    return &g_contactNormal;
}

void MV2ResetVisibleObjects() {
    gMV2VisibleList.counter = 0;
    gMV2UpdateCounters.updated = 0;
}

void MV2UpdateActiveObjects() {
    gMV2UpdateCounters.walked = 0;
    MV2Object* object = MV2FirstActiveObject();
    while (object) {
        MV2Object* next = MV2NextActiveObject(object);
        const MV2ObjectHandle nextHandle = next ? next->handle : 0;
        gMV2UpdateCounters.walked++;
        UpdateObject(MV2GetClumpObject(object->clump));
        // The next entry was read first; when the update took it off the list (or its record
        // now belongs to another object) the walk starts again, skipping what was updated.
        if (next && (!MV2ObjectHandleAlive(nextHandle) || next->handle != nextHandle ||
                     !(next->flags & kMV2ObjectActive)))
            next = MV2FirstActiveObject();
        object = next;
        if (gMV2UpdateCounters.walked > 4 * int32_t(kMV2MaxObjectHandle)) break;
    }
}

TpClump* MV2UpdateClumpObject(TpClump* clump, void*) {
    UpdateObject(MV2GetClumpObject(clump));
    return clump;
}

void MV2DefaultObjectUpdate(MV2Object* object) {
    MV2ObjectType* type = object->type;
    if (!type || !object->matrix) return;
    const uint32_t flags = type->words[7];
    const MV2ObjectHandle self = object->handle;
    // 1. Orientation from the main camera.
    if ((flags & kMV2TypeCameraAligned) && gMV2MainCamera && gMV2MainCamera->object.frame) {
        const TvMatrix* cam = TvFrameGetMatrix(gMV2MainCamera->object.frame);
        object->matrix->right = cam->right;
        object->matrix->up = cam->up;
        object->matrix->at = cam->at;
        FlagDirty(object);
    }
    // 2. Animation.
    if (object->flags & kMV2ObjectAnimate)
        MV2AddAnimTime(object->clump, std::fabs(MV2TypeFloat(type, 9) * gMV2FrameTimer.ticks));
    // 3. Death.
    if (object->energy < 0.0f) {
        if (!(flags & kMV2TypeCanDie)) {
            object->energy = 0.0f;
        } else if (!MV2ObjectSendMessage(object, 80, 0, 0)) {
            if (!MV2ObjectHandleAlive(self)) return;
            const float at[3] = {Position(object).x, Position(object).y, Position(object).z};
            MV2SpawnBubbles(at, object->radius);
            const uint32_t kind = ((type->words[31] >> 30) & 3) == 2 ? 8 : 5;
            MV2CreateExplosion(at, object->radius, 0.0f, nullptr, kind, 30);
            MV2ObjectSendMessage(object, 4, 0, 0);
            return;
        }
        if (!MV2ObjectHandleAlive(self)) return;
    }
    // 4. Dynamics.
    const uint32_t dynamics = DynamicsClass(object);
    if (object->body) {
        if (dynamics == 2) MV2IntegrateRotation(object);
        if (dynamics) {
            MV2ApplyGravity(object);
            MV2IntegrateMotion(object);
        }
    }
    FlagDirty(object);
    // 5. Other objects.
    const int32_t now = Now();
    if ((flags & kMV2TypeCollidesObjects) && now >= object->nextObjectCheck) {
        object->nextObjectCheck = now + int32_t(type->words[70]);
        CollideWithObjects(object);
    }
    // 6. A collision may have destroyed it.
    if (!MV2ObjectHandleAlive(self)) return;
    // 7. Ripples where it crosses the surface.
    const int32_t number = TypeNumber(object);
    if (number != 84 && number != 94 && (flags & 7)) {
        const float water = MV2GetWaterHeight(&object->previousPosition);
        if (std::fabs(object->previousPosition.y - water) < 0.5f) {
            if ((TvRandom() & 31) < 31) {
                if (object->body && object->body->velocity.y < -0.05f)
                    MV2AddObjectSplash(object, &object->previousPosition);
            } else {
                MV2AddRipple(&object->previousPosition, nullptr);
            }
        }
    }
    // 8. The landscape.
    if (!(object->typeWord & kMV2ObjectCollidesWorld) || !(flags & kMV2TypeCollidesWorld) ||
        now < object->nextWorldCheck)
        return;
    object->nextWorldCheck = now + int32_t(type->words[69]);
    TvV3d& position = Position(object);
    const TvV3d d = Sub(position, object->previousPosition);
    const float moved = Length(d);
    if (moved > object->radius) {
        MV2TriangleHit hit{};
        float t = 0.0f;
        if (MV2IntersectWorldLine(TpWorldGetCurrent(), &object->previousPosition, &position, &hit,
                                  &t)) {
            position = Sub(Add(object->previousPosition, Scale(d, t)),
                           Scale(d, 0.5f * object->radius / moved));
            FlagDirty(object);
        }
    }
    object->previousPosition = position;
    float speed = 0.0f;
    const int32_t max = object == MV2GetPlayerObject() ? 8 : 4;
    if (MV2CollideObjectWithWorld(object, object->radius, max, &speed))
        MV2ObjectSendMessage(object, 18, 0, reinterpret_cast<intptr_t>(&speed));
}

int32_t MV2ResolveSphereWorldContact(float* position, float radius, int32_t max) {
    if (max > kMV2MaxContactTriangles) max = kMV2MaxContactTriangles;
    TvV3d centre{position[0], position[1], position[2]};
    const int32_t n =
        MV2GetFacingTrianglesInSphere(TpWorldGetCurrent(), &centre, radius, max, g_hits);
    TvV3d normal{0, 0, 0};
    float depth = 0.0f;
    if (!FindContact(centre, radius, g_hits, n, &normal, &depth)) return 0;
    g_contactNormal = normal;
    position[0] += depth * normal.x;
    position[1] += depth * normal.y;
    position[2] += depth * normal.z;
    return 1;
}

int32_t MV2CollideObjectWithWorld(MV2Object* object, float radius, int32_t max,
                                  float* normalSpeed) {
    if (!MV2ObjectSendMessage(object, 75, 0, 0)) return 0;
    if (!object->matrix || !MV2ResolveSphereWorldContact(&object->matrix->pos.x, radius, max))
        return 0;
    FlagDirty(object);
    const TvV3d n = g_contactNormal;
    const TvV3d point = Sub(Position(object), Scale(n, radius));
    const TvV3d v = Velocity(object);
    const float s = Dot(v, n);
    if (normalSpeed) *normalSpeed = s;
    UnitFrameStep unit;
    const TvV3d force = Scale(n, -1.6f * s * Mass(object));
    MV2AddForce(object, &force);
    if (DynamicsClass(object) == 2 && object != MV2GetPlayerObject() &&
        !(TypeFlags(object) & kMV2TypeNoSpin) && object->aiCategory != 7) {
        const TvV3d spin = Scale(Sub(v, Scale(n, s)), -0.5f);
        MV2AddTorque(object, &spin, &point);
    }
    return 1;
}

TpAtomic* MV2ObjectCollisionCallback(TpIntersection* intersection, TpWorldSector*, TpAtomic* other,
                                     float, void*) {
    MV2SetCollisionTreeOneSided(1);
    TpAtomic* aAtomic = intersection->t.atomic;
    TpAtomic* bAtomic = other;
    MV2Object* a = MV2GetClumpObject(TpAtomicGetClump(aAtomic));
    MV2Object* b = MV2GetClumpObject(TpAtomicGetClump(bAtomic));
    if (!a || !b) return other;
    a->nextWorldCheck = 0;
    b->nextObjectCheck = 0;
    if (a == b) return other;
    if (a->aiCategory == 10 && b->aiCategory == 10 && !IsSpecialCategoryType(TypeNumber(a)) &&
        !IsSpecialCategoryType(TypeNumber(b)))
        return other;
    MV2Object* player = MV2GetPlayerObject();
    if ((a == player && TypeNumber(b) != 369) || (b == player && TypeNumber(a) != 369)) {
        std::swap(a, b);
        std::swap(aAtomic, bAtomic);
    }
    const bool treeA = TypeFlags(a) & kMV2TypeCollisionTree;
    const bool treeB = TypeFlags(b) & kMV2TypeCollisionTree;
    const float ra = a->radius, rb = b->radius;
    float distance = 0.0f;
    if (!treeA && !treeB) {
        distance = Length(Sub(AtomicPosition(aAtomic), AtomicPosition(bAtomic)));
        if (distance > ra + rb) return other;
        g_collision.penetration = ra + rb - distance;
    } else if (treeA && treeB) {
        if (!(TypeFlags(a) & kMV2TypeTreeToTree) || !(TypeFlags(b) & kMV2TypeTreeToTree))
            return other;
        if (rb <= ra ? bAtomic != MV2FindRootAtomic(b->clump)
                     : aAtomic != MV2FindRootAtomic(a->clump))
            return other;
    }
    const MV2ObjectHandle aHandle = a->handle, bHandle = b->handle;
    if (!MV2ObjectSendMessage(a, 14, 0, reinterpret_cast<intptr_t>(b))) return other;
    if (!MV2ObjectHandleAlive(aHandle) || !MV2ObjectHandleAlive(bHandle)) return other;
    if (!MV2ObjectSendMessage(b, 14, 0, reinterpret_cast<intptr_t>(a))) return other;
    if (!MV2ObjectHandleAlive(aHandle) || !MV2ObjectHandleAlive(bHandle)) return other;
    if (a == player)
        MV2ObjectSendMessage(a, 101, 0, reinterpret_cast<intptr_t>(b));
    else if (b == player)
        MV2ObjectSendMessage(b, 101, 0, reinterpret_cast<intptr_t>(a));
    if (!MV2ObjectHandleAlive(aHandle) || !MV2ObjectHandleAlive(bHandle)) return other;

    if (!treeA && !treeB) {
        if (!a->body || !b->body) return other;
        MV2CollisionEnergyLoss(a, b);
        MV2BounceObjects(a, b, distance, ra + rb);
    } else if (treeA != treeB) {
        MV2Object* s = treeA ? b : a;
        MV2Object* t = treeA ? a : b;
        if (!s->body) return other;
        SphereMeetsTree(a, b, s, t, treeA ? bAtomic : aAtomic, treeA ? aAtomic : bAtomic, false);
    } else {
        bool sIsA;
        if (a->body && b->body)
            sIsA = ra < rb;
        else if (a->body || b->body)
            sIsA = a->body != nullptr;
        else
            return other;
        MV2Object* s = sIsA ? a : b;
        MV2Object* t = sIsA ? b : a;
        SphereMeetsTree(a, b, s, t, sIsA ? aAtomic : bAtomic, sIsA ? bAtomic : aAtomic,
                        a->body && b->body);
    }
    return other;
}

int32_t MV2CollideSphereWithTree(MV2Object* sphere, MV2Object* tree, TpAtomic* treeAtomic,
                                 float* normalSpeed) {
    if (!sphere->matrix || !treeAtomic || !treeAtomic->object.frame) return 0;
    const TvMatrix* world = TvFrameGetLTM(treeAtomic->object.frame);
    TvMatrix inverse;
    TvMatrixInvert(&inverse, world);
    TvV3d centre;
    TvV3dTransformPoints(&centre, &Position(sphere), 1, &inverse);
    const float radius = sphere->radius;
    const bool puppet = TypeFlags(tree) & kMV2TypePuppet;
    uint32_t parts[kMV2MaxContactTriangles];
    TvV3d partVelocities[kMV2MaxContactTriangles];
    const int32_t n =
        puppet ? MV2ObjectPuppetPartTriangles(tree, &centre, radius, kMV2MaxContactTriangles,
                                              g_hits, parts, partVelocities)
               : MV2CollisionTreeSphereQuery(treeAtomic, &centre, radius, kMV2CollisionMaxHits,
                                             g_hits);
    TvV3d local{0, 0, 0};
    float depth = 0.0f;
    if (!FindContact(centre, radius, g_hits, n, &local, &depth)) return 0;
    // Which part was struck: the first triangle whose plane holds the contact normal best.
    int32_t struck = 0;
    for (int32_t i = 1; i < n; i++)
        if (Dot(g_hits[i].normal, local) > Dot(g_hits[struck].normal, local)) struck = i;
    TvV3d normal;
    TvV3dTransformVectors(&normal, &local, 1, world);
    normal = Unit(normal);
    g_contactNormal = normal;
    TvV3d& position = Position(sphere);
    position = Add(position, Scale(normal, depth));
    FlagDirty(sphere);
    const TvV3d point = Sub(position, Scale(normal, radius));

    UnitFrameStep unit;
    TvV3d v = Velocity(sphere);
    if (puppet) {
        v = Sub(v, partVelocities[struck]);
        MV2PuppetPartHit hit{int32_t(parts[struck]), Length(partVelocities[struck]), sphere};
        const MV2ObjectHandle self = sphere->handle;
        MV2ObjectSendMessage(tree, 63, 0, reinterpret_cast<intptr_t>(&hit));
        if (!MV2ObjectHandleAlive(self)) return 1;
    }
    const float s = Dot(v, normal);
    if (normalSpeed) *normalSpeed = s;
    const TvV3d push = Scale(normal, -1.6f * s);
    MV2AddForce(sphere, &push);
    if (DynamicsClass(sphere) == 2 && sphere != MV2GetPlayerObject()) {
        const TvV3d spin = Scale(Sub(v, Scale(normal, s)), -0.5f);
        MV2AddTorque(sphere, &spin, &point);
    }
    if (tree->body && tree->matrix) {
        const TvV3d f = Scale(normal, 0.16f * s);
        const TvV3d dir = Unit(Sub(Position(tree), point));
        const TvV3d along = Scale(dir, Dot(f, dir));
        MV2AddForce(tree, &along);
        if (DynamicsClass(tree) == 2) MV2AddTorque(tree, &along, &point);
    }
    return 1;
}

void MV2BounceObjects(MV2Object* a, MV2Object* b, float distance, float sumOfRadii) {
    if (distance > sumOfRadii || !a->matrix || !b->matrix) return;
    const float ma = Mass(a), mb = Mass(b), total = ma + mb;
    // No direction or no mass to share the push by: nothing to do.
    if (total == 0.0f || distance == 0.0f) return;
    const TvV3d n = Scale(Sub(Position(a), Position(b)), 1.0f / distance);
    const float overlap = sumOfRadii - distance;
    Position(a) = Add(Position(a), Scale(n, overlap * mb / total));
    Position(b) = Sub(Position(b), Scale(n, overlap * ma / total));
    FlagDirty(a);
    FlagDirty(b);
    if (!a->body || !b->body) return;
    TvV3d& va = a->body->velocity;
    TvV3d& vb = b->body->velocity;
    const float ua = Dot(va, n), ub = Dot(vb, n);
    const float newA = (ma * ua + mb * ub + 0.9f * mb * (ub - ua)) / total;
    const float newB = newA + 0.9f * (ua - ub);
    va = Add(va, Scale(n, newA - ua));
    vb = Add(vb, Scale(n, newB - ub));
}

namespace {

// The energy a hit costs when the player's object takes part: each loses the other's mass times
// the closing speed times 0.05; `treesOnly` limits the loss to collision-tree types.
void EnergyLoss(MV2Object* a, MV2Object* b, bool treesOnly) {
    MV2Object* player = MV2GetPlayerObject();
    if ((a != player && b != player) || !a->matrix || !b->matrix) return;
    const TvV3d n = Unit(Sub(Position(a), Position(b)));
    const float c = Dot(Sub(Velocity(b), Velocity(a)), n);
    if (c <= 0.0f) return;
    if (!treesOnly || (TypeFlags(a) & kMV2TypeCollisionTree)) a->energy -= Mass(b) * c * 0.05f;
    if (!treesOnly || (TypeFlags(b) & kMV2TypeCollisionTree)) b->energy -= Mass(a) * c * 0.05f;
}

} // namespace

void MV2CollisionEnergyLoss(MV2Object* a, MV2Object* b) {
    EnergyLoss(a, b, false);
}

void MV2TreeCollisionEnergyLoss(MV2Object* a, MV2Object* b) {
    EnergyLoss(a, b, true);
}
