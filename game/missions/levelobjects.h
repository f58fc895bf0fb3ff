// Level objects of the mission layer: the handlers' registration and the small helpers the
// level-object modules share (private records, sounds at an object, eased moves, pushes).
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "engine/core/vector.h"
#include "game/creatures/creaturemath.h"
#include "game/objects/objects.h"

// What a mission script hands a level object with message 12: called as (object, 1) on a
// success and (object, 0) on a release or a failure.
using MV2ObjectCallback = void (*)(MV2Object* object, int32_t value);

// Puts every level-object handler of the mission layer into the object-type table.
void MV2RegisterMissionObjectHandlers();

template <typename T> T* MV2LevelData(MV2Object* object) {
    return static_cast<T*>(object->privateData);
}
// The object's private record when its type's records are large enough to hold a T, else null.
template <typename T> T* MV2SizedLevelData(MV2Object* object) {
    if (!object || !object->privateData || !object->type ||
        object->type->privateDataSize < sizeof(T))
        return nullptr;
    return static_cast<T*>(object->privateData);
}

inline TvV3d& MV2ObjectPosition(MV2Object* object) {
    return object->matrix->pos;
}

// A one-shot named sound at a point or an object.
void MV2PlayNamedSoundAt(const TvV3d& position, float radius, const char* name, int32_t b);
inline void MV2PlayObjectSound(MV2Object* object, float radius, const char* name, int32_t b) {
    MV2PlayNamedSoundAt(MV2ObjectPosition(object), radius, name, b);
}
// Keeps or stops a looped named sound bound to the object and the variable.
void MV2LoopNamedSound(MV2Object* object, const char* name, uintptr_t* variable, int32_t b = 0);
void MV2StopNamedSound(MV2Object* object, const char* name, uintptr_t* variable);

// The half-cosine offset of a timed move at `now`: 0 to travel while opening, travel to 0
// while closing; `done` is set once the end has come.
float MV2HalfCosineOffset(uint32_t now, uint32_t start, uint32_t end, float rate, float travel,
                          int32_t opening, int32_t* done);

// Pushes a spider (types 147, 148) out of the object's bounding sphere; 1 when `other` is one.
int32_t MV2PushSpiderAway(MV2Object* object, MV2Object* other);

// 1 when the reference holds this live object; unlike MV2GetObjectRef it never clears the
// reference, so it is safe while the reference is being set (message 17).
inline int32_t MV2RefIs(const MV2ObjectRef& ref, MV2Object* object) {
    return ref.object == object && MV2ObjectHandleAlive(ref.handle);
}

// Calls a set callback.
inline void MV2RunCallback(MV2ObjectCallback callback, MV2Object* object, int32_t value) {
    if (callback) callback(object, value);
}
inline MV2ObjectCallback MV2CallbackOf(intptr_t p2) {
    return reinterpret_cast<MV2ObjectCallback>(p2);
}

// Scans the level's world sphere for an object of pirate craft type (56, 329, 397).
int32_t MV2PirateCraftNear(const TvV3d& centre, float radius);
// 1 for a pirate craft (types 56, 329, 397).
int32_t MV2IsPirateCraft(MV2Object* object);

// The object's frame moved: its clump's atomics follow.
void MV2ObjectMoved(MV2Object* object);

// The vertex `index` of the first morph target of the root atomic's geometry, in world space
// as a point (or as a direction when `direction` is set); 0 when the geometry has no vertices.
int32_t MV2RootVertexCount(MV2Object* object);
int32_t MV2RootVertexWorld(MV2Object* object, int32_t index, int32_t direction, TvV3d* out);

// A fast object's collision radius: max(0.6 x the distance it moved, its minimum), set on the
// object and on its root atomic's bounding sphere so that a swept move still meets what it
// passes.
void MV2SetSweptRadius(MV2Object* object, float moved, float minimum);
