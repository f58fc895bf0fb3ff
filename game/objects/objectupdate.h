// The per-frame object update: the visible list, the default handling of message 2, contacts of
// spheres with the landscape and collisions between objects with their responses.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TpAtomic;
struct TpWorld;
struct TpIntersection;
struct TpWorldSector;
struct MV2TriangleHit;

inline constexpr int32_t kMV2VisibleObjects = 128;
// Most triangles a contact query collects.
inline constexpr int32_t kMV2MaxContactTriangles = 20;

struct MV2VisibleObject {
    MV2Object* object;
    MV2ObjectHandle handle;
};

// The objects found in view this frame; the 129th overwrites the first.
struct MV2VisibleList {
    MV2VisibleObject entries[kMV2VisibleObjects];
    int32_t counter;
};
extern MV2VisibleList gMV2VisibleList;

// Nonzero while the visible clumps are being updated: the visible list is being filled.
extern int32_t MV2InViewUpdateFlag;

struct MV2UpdateCounters {
    int32_t updated; // objects updated this frame
    int32_t walked;  // active-list entries walked by the last MV2UpdateActiveObjects
};
extern MV2UpdateCounters gMV2UpdateCounters;

// What the handlers of a colliding pair may read during messages 14 and 19.
struct MV2CollisionState {
    float penetration;
    TpAtomic* struck;
    TpAtomic* striking;
};
const MV2CollisionState* MV2GetCollisionState();
// The normal of the last contact found.
const TvV3d* MV2GetContactNormal();

// Start of a frame: the visible list and the updated-objects count are emptied.
void MV2ResetVisibleObjects();
void MV2UpdateActiveObjects();
// The default handling of message 2.
void MV2DefaultObjectUpdate(MV2Object* object);
// Collides `object` with every other object whose atomics `atomic` meets in `world`; the hits
// are gathered first, so objects destroyed by one collision are never walked.
void MV2CollideAtomicWithObjects(MV2Object* object, TpWorld* world, TpAtomic* atomic);

int32_t MV2CollideObjectWithWorld(MV2Object* object, float radius, int32_t max, float* normalSpeed);
// Pushes the sphere out of the landscape; `position` is three floats moved in place.
int32_t MV2ResolveSphereWorldContact(float* position, float radius, int32_t max);
TpAtomic* MV2ObjectCollisionCallback(TpIntersection* intersection, TpWorldSector* sector,
                                     TpAtomic* other, float distance, void* data);
int32_t MV2CollideSphereWithTree(MV2Object* sphere, MV2Object* tree, TpAtomic* treeAtomic,
                                 float* normalSpeed);
void MV2BounceObjects(MV2Object* a, MV2Object* b, float distance, float sumOfRadii);
void MV2CollisionEnergyLoss(MV2Object* a, MV2Object* b);
void MV2TreeCollisionEnergyLoss(MV2Object* a, MV2Object* b);

// The part triangles of a puppet object near a sphere in its frame, each with its part id and
// the part's velocity in world space (already scaled by the animation rate); from the puppets.
int32_t MV2ObjectPuppetPartTriangles(MV2Object* object, const TvV3d* centre, float radius,
                                     int32_t max, MV2TriangleHit* out, uint32_t* parts,
                                     TvV3d* partVelocities);
