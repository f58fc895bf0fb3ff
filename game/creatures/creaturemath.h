// Small vector helpers and the time bases the creature modules share.
#pragma once

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "engine/core/vector.h"
#include "engine/world/random.h"
#include "shell/frametimer.h"

inline float MV2FrameStep() {
    return gMV2FrameTimer.ticks;
}
inline float MV2FrameSeconds() {
    return gMV2FrameTimer.ticks / 30.0f;
}
// Game milliseconds and frame milliseconds both come from the frame timer.
inline uint32_t MV2GameClock() {
    return gMV2FrameTimer.frameClock;
}

inline float MV2Length(const TvV3d& v) {
    return std::sqrt(v.x * v.x + v.y * v.y + v.z * v.z);
}
// The unit vector of v (v itself when it has no length) and its length.
inline float MV2Normalise(TvV3d* v) {
    const float length = MV2Length(*v);
    if (length > 0.0f) *v = TvV3dScale(*v, 1.0f / length);
    return length;
}
inline TvV3d MV2Unit(TvV3d v) {
    MV2Normalise(&v);
    return v;
}
// Random draws of the engine's generator.
inline uint32_t MV2RandomBits(uint32_t mask) {
    return uint32_t(TvRandom()) & mask;
}

// Object and type-record shorthands the creature handlers share.
#include "game/objects/objects.h"
#include "game/objects/objecttypes.h"

inline int32_t MV2TypeOf(const MV2Object* object) {
    return int32_t(object->typeWord & kMV2ObjectTypeMask);
}
inline float MV2InitialEnergy(const MV2Object* object) {
    return object->type ? MV2TypeFloat(object->type, 1) : 0.0f;
}
inline float MV2TypeRadius(const MV2Object* object) {
    return object->type ? MV2TypeFloat(object->type, 10) : 0.0f;
}
inline float MV2TypeAnimRate(const MV2Object* object) {
    return object->type ? MV2TypeFloat(object->type, 9) : 0.0f;
}
// The collision-sound kind of a type: bits 28-29 of its medium word.
inline uint32_t MV2CollisionSoundKind(const MV2Object* object) {
    return object->type ? (object->type->words[31] >> 28) & 3u : 0u;
}
// Writes a private-data size to *p2 (message 96) and answers 1.
inline intptr_t MV2AnswerSize(intptr_t p2, size_t size) {
    if (p2) *reinterpret_cast<intptr_t*>(p2) = intptr_t(size);
    return 1;
}
inline int32_t MV2Elapsed(int32_t deadline) {
    return int32_t(MV2GameClock()) - deadline;
}
// A sound of the sound list by name; the no-sound id when it is not listed.
int32_t MV2CreatureSound(const char* name);
// Rebuilds the matrix around `up` keeping its forward axis as near as it can.
void MV2RebuildAroundUp(TvMatrix* m, const TvV3d& up);
// Pushes the object's moved frame to its clump.
void MV2SyncObjectFrame(MV2Object* object);
// Position as the three floats the effect calls take.
struct MV2Point3 {
    float v[3];
};
inline MV2Point3 MV2Point(const TvV3d& p) {
    return {{p.x, p.y, p.z}};
}
// 1 when the point lies farther from the main camera than the far-clip distance.
bool MV2BeyondFarClip(const TvV3d& point);
// Raises a script event with an object and a second object as its value.
void MV2RaiseScriptEvent(int32_t event, MV2Object* object, MV2Object* other);
// The object's creation value (a float kept in its record), as an integer; the value is cleared.
int32_t MV2TakeCreationValue(MV2Object* object);
// Messages 27 and 28 of a craft type that keeps its brain's record in a word of its own.
intptr_t MV2BrainWordMessage(void** word, int32_t message, intptr_t p2);
