// Puppets: skinned node hierarchies read from a model folder ("puppet.pup" with the nodes, the
// vertices each node moves, deformation tracks and hit shapes; "anims.bin" with keyframed
// animations; "anim.txt", the animation script). Each game object that shows such a model gets an
// instance that plays animations, poses its nodes, deforms the clump's geometry in place, moves
// its owner by the motion of a foot node and runs the script's events.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/matrix.h"
#include "engine/core/vector.h"
#include "game/objects/animscript.h"

struct TpAtomic;
struct TpClump;
struct TpGeometry;
struct TvFreeList;
struct MV2TriangleHit;
struct MV2PuppetInstance;

// Stored name sizes: animation, flag and callback names; node names.
inline constexpr size_t kMV2PuppetNameSize = 16;
inline constexpr size_t kMV2PuppetNodeNameSize = 100;
// Most part triangles one hit-shape query gives.
inline constexpr int32_t kMV2PuppetMaxPartTriangles = 20;
// Foot motion (squared, in x and z) above which an update reports that the owner moved.
inline constexpr float kMV2PuppetFootThreshold = 0.0005f;

using MV2PuppetCallbackFn = void (*)(void* userData);
using MV2PuppetHook = void (*)(MV2PuppetInstance* instance);

// A row of the callback table given to the loader, which keeps the rows sorted by name.
struct MV2PuppetCallback {
    char name[kMV2PuppetNameSize]; // NUL-padded
    MV2PuppetCallbackFn function;
};

// A named state flag (an event slot): the first 16 bytes of the name are kept and compared.
struct MV2PuppetStateFlag {
    MV2PuppetStateFlag* next;
    char name[kMV2PuppetNameSize + 1];
    int32_t value;
};

// State flags in order of first use; a flag's index is its position.
struct MV2PuppetFlagList {
    MV2PuppetStateFlag* first;
    MV2PuppetStateFlag* last;
    int32_t count;
};

struct MV2PuppetNode;

// A vertex deformation of a node's own vertices, driven by one rotation channel of a node.
struct MV2PuppetKey {
    uint32_t vertex; // index into the owning node's vertex list
    TvV3d position;
    TvV3d normal;
};

struct MV2PuppetTrack {
    MV2PuppetNode* driver;
    uint32_t driverId;
    MV2PuppetNode* owner;
    MV2PuppetTrack* next;
    uint32_t channel; // 0, 1 or 2: the driver's rotation accumulator
    int32_t start;    // integer part of start x 128, shifted left by 8
    float end;
    float inverseRange; // |1 / (end - start)|
    int32_t keyCount;
    MV2PuppetKey* keys;
};

struct MV2PuppetNode {
    MV2PuppetNode* next; // sibling
    MV2PuppetNode* parent;
    MV2PuppetNode* child;
    char name[kMV2PuppetNodeNameSize + 1]; // '_' stored as a blank
    uint32_t id;
    uint32_t parentId;
    TvV3d pivot;
    int32_t vertexCount;
    MV2PuppetTrack* tracks;
    uint32_t* vertices;    // geometry vertex indices
    uint8_t* firstWrites;  // per vertex: 1 when no node before writes its geometry vertex
    int32_t keyedVertices; // 1 + the highest vertex its tracks' keys move
    TvV3d* restPositions;  // geometry position minus the pivot
    TvV3d* restNormals;
};

// A hit-shape triangle: three indices into its shape's vertices.
struct MV2PuppetTriangle {
    uint32_t vertex[3];
};

// A hit shape: triangles around a node, in the node's space (relative to its pivot).
struct MV2PuppetShape {
    int32_t vertexCount;
    TvV3d* vertices;
    int32_t triangleCount;
    MV2PuppetTriangle* triangles;
    uint32_t nodeId;
    int32_t node; // index of the node in the puppet's node array
    TvV3d centre; // mean of the vertices
    float radius; // largest distance of a vertex from the centre
};

// A keyframe: blends from the previous keyframe's values to its own over t0..t1.
struct MV2PuppetKeyframe {
    float t0;
    float t1;
    float inverse; // 1 / (t1 - t0); 0 when t1 <= t0
    int16_t* values; // node count x {rotation about y, x, z in degrees; translation x, y, z} x 128
};

struct MV2PuppetAnim {
    MV2PuppetAnim* next;
    int32_t index;
    char name[kMV2PuppetNameSize + 1];
    int32_t run; // advances with time; cleared by the script's `norun`
    int32_t nodeCount;
    uint32_t* nodeIds;
    int32_t keyCount;
    MV2PuppetKeyframe* keys;
    MV2AnimTrigger* triggers; // in file order
    MV2AnimTrigger* lastTrigger;
    MV2AnimScriptItem* startEvents;
    MV2AnimScriptItem* endEvents;
    int64_t footNode; // node id, -1 when none
    TvV3d move;
    int32_t defined; // declared by the script
};

// A puppet definition: one per model folder, shared by the instances.
struct MV2Puppet {
    void* block; // the nodes, tracks, keys, shapes and vertex tables, one allocation
    TpClump* clump;
    int32_t vertexCount; // V: the geometry's vertices less the duplicates
    uint32_t* vertexNodeCounts; // V entries: how many nodes write each vertex
    int32_t sharedCount;        // vertices with a node count above 1
    uint32_t* shared;
    int32_t unwrittenCount; // vertices below V that no node writes
    uint32_t* unwritten;
    int32_t duplicateCount;    // D
    uint32_t* duplicates;      // geometry vertex V + i copies vertex duplicates[i]
    int32_t nodeCount;
    MV2PuppetNode* nodes; // parents before children; nodes[0] is the root
    int32_t trackCount;
    int32_t nodeVertexCount; // sum of the nodes' vertex counts
    int32_t shapeCount;
    int32_t shapeVertexCount;
    MV2PuppetShape* shapes;
    void* animBlock;
    MV2PuppetAnim* anims; // in file order, numbered from 0
    int32_t animCount;
    MV2PuppetFlagList flags; // state-flag names of the script
    int32_t callbackCount;
    const MV2PuppetCallback* callbacks;
    int32_t flag;       // given to the reader
    MV2PuppetHook hook; // runs after the pose is blended; null unless a creature sets it
    TvFreeList* triggerList;
    TvFreeList* itemList;
};

// An animation set, owned by the module that loads it; the use count is kept by its owners.
struct MV2AnimSet {
    int32_t useCount;
    TpClump* clump;
    char folder[256]; // ends in a backslash after MV2PuppetSetDirectory
    MV2Puppet* puppet;
};

struct MV2PuppetNodeInstance {
    MV2PuppetNode* node;
    MV2PuppetNodeInstance* next;
    MV2PuppetNodeInstance* parent;
    MV2PuppetNodeInstance* child;
    // Blend of the playing animations: rotations about y, x, z and translation x, y, z, in 1/65536
    // of a degree or unit. A per-frame hook may write them.
    int32_t accumulators[6];
    TvMatrix local;
    TvMatrix world; // in the owner's frame
    TvV3d motion;   // world position after the last pose minus before
    TvV3d* positionDeltas; // per node vertex: skinning scratch
    TvV3d* normalDeltas;
    int32_t* contributions;
};

struct MV2PuppetAnimState {
    MV2PuppetAnim* anim;
    MV2PuppetAnimState* next;        // state list, in animation order
    MV2PuppetAnimState* nextPlaying; // playing list
    float position;
    float speed;
    int32_t keyframe; // starts at 1
    int32_t ended;    // ended in this update
    int32_t ordinal;  // of the trigger that last started it, from 1
    int32_t playing;
    int32_t* nodeSlots; // per node of the animation: the node instance it moves, or -1
};

struct MV2PuppetInstance {
    MV2Puppet* puppet;
    void* block; // this record and everything below, one allocation
    size_t blockSize;
    TpClump* clump;
    TpAtomic* atomic;
    TpGeometry* geometry;
    TvV3d* vertices; // the clump geometry's arrays
    TvV3d* normals;  // null when the geometry has none
    int32_t bound;   // skinned at least once
    int32_t nodeCount;
    MV2PuppetNodeInstance* nodes; // same order as the puppet's nodes
    int32_t stateCount;
    MV2PuppetAnimState* states; // one per animation, by animation index
    MV2PuppetAnimState* playing;
    float restartPosition; // where triggers and events start animations during an update
    MV2PuppetFlagList flags;
    int32_t flagIndexCount;
    MV2PuppetStateFlag** flagsByIndex;
    void* userData;
    TvV3d* shapeVertices; // hit-shape vertices posed, for part triangles
};

// The puppet part of a part triangle.
struct MV2PuppetPart {
    uint32_t id;  // the shape's node id: the part id of message 63
    TvV3d motion; // the node's motion in the last pose, in the owner's frame
};

// Loading and instances.
int32_t MV2LoadAnimSet(MV2AnimSet* set, const MV2PuppetCallback* table, int32_t count);
MV2PuppetInstance* MV2CreateAnimInstance(MV2Puppet* puppet, TpClump* clump, void* userData);
void MV2DestroyAnimSet(MV2AnimSet* set);
void MV2PuppetFreeAnims(MV2PuppetInstance* instance);
// Ends the set's folder with a backslash and makes it the folder the readers use; 0 when the
// folder has no room for it.
int32_t MV2PuppetSetDirectory(MV2AnimSet* set);
// "puppet.pup" of the current folder for the clump: an empty puppet when there is no file, null
// when the file is refused.
MV2Puppet* MV2PuppetRead(TpClump* clump, int32_t flag);
MV2Puppet* MV2PuppetReadBytes(TpClump* clump, const uint8_t* data, size_t size, int32_t flag);
// The animations of an "anims.bin" file; a missing or refused file leaves none. 1 when read.
int32_t MV2AnimsRead(MV2Puppet* puppet, const char* path);
int32_t MV2AnimsReadBytes(MV2Puppet* puppet, const uint8_t* data, size_t size);
MV2PuppetInstance* MV2PuppetClone(MV2Puppet* puppet, TpClump* clump, void* userData);
void MV2PuppetDestroy(MV2Puppet* puppet);

// Running.
int32_t MV2PuppetUpdate(MV2PuppetInstance* instance, TvMatrix* owner, float step);
void MV2PuppetBindClump(MV2PuppetInstance* instance);
void MV2PuppetPlayAnim(MV2PuppetInstance* instance, int32_t index);
void MV2PuppetStopAnim(MV2PuppetInstance* instance, int32_t index);
MV2PuppetAnim* MV2PuppetFindAnim(const MV2Puppet* puppet, const char* name);
void MV2PuppetSetStateFlag(MV2PuppetInstance* instance, const char* name, int32_t value);
// Index of the named entry, added at the end when new; -1 when it cannot be added.
int32_t MV2PuppetAddStateFlag(MV2PuppetFlagList* list, const char* name);
int32_t* MV2PuppetGetEventSlot(MV2PuppetFlagList* list, int32_t index);
void MV2PuppetFreeFlags(MV2PuppetFlagList* list);
MV2PuppetNodeInstance* MV2PuppetFindNode(MV2PuppetInstance* instance, const char* name);
MV2PuppetNode* MV2PuppetFindDefNode(MV2Puppet* puppet, const char* name);
MV2PuppetNodeInstance* MV2PuppetFindNearestNode(MV2PuppetInstance* instance, const TvV3d* point);
int32_t MV2PuppetFindCallback(const MV2Puppet* puppet, const char* name);
void MV2PuppetRunEvents(MV2PuppetInstance* instance, TvMatrix* owner, MV2AnimScriptItem* list);

// Hit shapes: the part triangles (in the owner's frame, at most `max`) that lie within the sphere
// and face its centre; each out[i] has its part in parts[i]. The triangles' vertex pointers stay
// valid until the next query of the instance.
int32_t MV2PuppetGetPartTriangles(MV2PuppetInstance* instance, const TvV3d* centre, float radius,
                                  int32_t max, MV2TriangleHit* out, MV2PuppetPart* parts);
// The live instance that poses `clump`, or null.
MV2PuppetInstance* MV2PuppetFindInstance(const TpClump* clump);
