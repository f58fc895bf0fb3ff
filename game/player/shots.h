// Helpers the player's weapons and shots share: sounds by name, time bases, vector shorthands,
// frames rebuilt around a forward axis, contact tests of a shot's root atomic and hit sounds.
#pragma once

#include <cstddef>
#include <cstdint>

#include "engine/core/matrix.h"
#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TpAtomic;

// Time bases of the frame timer.
float MV2ShotFrameStep();
float MV2ShotFrameSeconds();
uint32_t MV2ShotClock();
int32_t MV2ShotFrameMilliseconds();

// A sound of the sound list by name (the no-sound id when it is not listed); looked up once per
// name and kept.
int32_t MV2ShotSound(const char* name);
// Plays a named sound (or a sound id) at a point; `last` is the volume bias.
void MV2ShotPlayAt(const TvV3d& at, float radius, const char* name, int32_t last);
void MV2ShotPlayIdAt(const TvV3d& at, float radius, int32_t sound, int32_t last);
// Plays a named interface sound (full volume, centred).
void MV2ShotInterfaceSound(const char* name);
// Every one-shot sound of the player's modules is also handed to the recorder when one is set.
using MV2ShotSoundRecorder = void (*)(int32_t sound);
void MV2SetShotSoundRecorder(MV2ShotSoundRecorder recorder);

float MV2ShotLength(const TvV3d& v);
TvV3d MV2ShotUnit(const TvV3d& v);
float MV2ShotDistanceSquared(const TvV3d& a, const TvV3d& b);
inline void MV2ShotPoint(const TvV3d& v, float out[3]) {
    out[0] = v.x;
    out[1] = v.y;
    out[2] = v.z;
}

// at = the given unit vector, up = world up, right = up x at and up = at x right, both
// normalised; the position stays.
void MV2ShotFaceAlong(TvMatrix* m, const TvV3d& at);
// Turns the matrix about one of its own axes through its position.
void MV2ShotTurn(TvMatrix* m, const TvV3d& axis, float degrees);
// Pushes an object's changed matrix to its clump.
void MV2ShotSyncFrame(MV2Object* object);

// The material class of a type: the top two bits of its word 31 (0 none).
uint32_t MV2ShotMaterialClass(const MV2Object* object);
// The usual hit sound of a material class: 0 metal, 2 biological, others mineral.
const char* MV2ShotHitSoundName(uint32_t materialClass);
// The world's hit sound: mineral on a mineral landscape, else metal.
const char* MV2ShotWorldHitSoundName();
// 1 when the level's landscape sounds mineral.
int32_t MV2ShotMineralLevel();

// Shows the model (drawn and tested for collisions) or hides it from the drawing.
void MV2ShotShowModel(MV2Object* object, int32_t on);
// The root atomic's bounding radius of a model (0 without one).
float MV2ShotModelRadius(MV2Object* object);
// Sets the object's bounding radius and its root geometry's bounding sphere.
void MV2ShotSetRadius(MV2Object* object, float radius);
// Hands every object touching the root atomic to the object collision callback, after the
// walk, while the shot lives.
void MV2ShotCollideTouching(MV2Object* object);

// A gun's or tool's own record: from its module's free list of blocks of `perBlock`, made on
// first use; the two texts are the module's failure reports (null: none). Null on failure.
struct TvFreeList;
void* MV2ShotGunDataAlloc(TvFreeList** list, size_t size, const char* listFailure,
                          const char* allocFailure, int32_t perBlock = 5);
// Returns the record (weapon message 4) and clears the weapon's pointer.
void MV2ShotGunDataFree(TvFreeList* list, void** handlerData);

// The messages every projectile answers alike: 12 velocity from p2, 13 a pointer to its
// at-vector, 15 the owner (p2), 16 the owner while it lives into p2. 1 with *answer when handled.
int32_t MV2ShotCommonMessage(MV2Object* shot, MV2ObjectRef* owner, int32_t message, intptr_t p2,
                             intptr_t* answer);

// The owner of an object reference while it lives.
inline MV2Object* MV2ShotOwner(MV2ObjectRef* ref) {
    return MV2GetObjectRef(ref);
}
// Answers message 96 with a size.
inline intptr_t MV2ShotAnswerSize(intptr_t p2, size_t size) {
    if (p2) *reinterpret_cast<intptr_t*>(p2) = intptr_t(size);
    return 1;
}
inline int32_t MV2ShotTypeOf(const MV2Object* object) {
    return int32_t(object->typeWord & kMV2ObjectTypeMask);
}
