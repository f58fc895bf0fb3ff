// Small shorthands the mission scripts share: positions and distances of objects,
// live references, creation at an object, and the quiet test of both message queues.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "engine/core/vector.h"
#include "game/creatures/creaturemath.h"
#include "game/frontend/hudmessages.h"
#include "game/missions/missiontimers.h"
#include "game/objects/objects.h"

// The object's position; null objects and objects without a matrix have none.
inline const TvV3d* MV2ScriptPosition(MV2Object* object) {
    return object && object->matrix ? &object->matrix->pos : nullptr;
}

// The squared distance of two objects; 1e10 when either is missing.
inline float MV2ScriptDistanceSquared(MV2Object* a, MV2Object* b) {
    const TvV3d* p = MV2ScriptPosition(a);
    const TvV3d* q = MV2ScriptPosition(b);
    if (!p || !q) return 1e10f;
    const float dx = p->x - q->x, dy = p->y - q->y, dz = p->z - q->z;
    return dx * dx + dy * dy + dz * dz;
}

// 1 when both objects exist and lie closer than `range`.
inline int32_t MV2ScriptNear(MV2Object* a, MV2Object* b, float range) {
    return MV2ScriptDistanceSquared(a, b) < range * range;
}

// The squared distance of an object to a point; 1e10 without the object.
inline float MV2ScriptDistanceSquaredTo(MV2Object* a, const TvV3d& point) {
    const TvV3d* p = MV2ScriptPosition(a);
    if (!p) return 1e10f;
    const float dx = p->x - point.x, dy = p->y - point.y, dz = p->z - point.z;
    return dx * dx + dy * dy + dz * dz;
}

// The live object of a reference, or null; the reference is left as it is.
inline MV2Object* MV2ScriptLive(const MV2ObjectRef& ref) {
    return ref.object && MV2ObjectHandleAlive(ref.handle) ? ref.object : nullptr;
}

inline void MV2ScriptKeep(MV2ObjectRef& ref, MV2Object* object) {
    ref.object = object;
    ref.handle = object ? object->handle : 0;
}

// A new object of `type` at a point, or at another object's position (null: none made).
MV2Object* MV2ScriptCreateAtPoint(int32_t type, const TvV3d& point);
MV2Object* MV2ScriptCreateAt(int32_t type, MV2Object* at);
// Gives the object the other's orientation and position.
void MV2ScriptTakeFrame(MV2Object* object, MV2Object* source);
// Moves the object to a point with object message 83.
void MV2ScriptMoveTo(MV2Object* object, const TvV3d& point);
// Destroys the object (object message 4) when it exists.
void MV2ScriptDestroy(MV2Object* object);

// 1 when neither the HUD ring nor the mission timers hold a message.
inline int32_t MV2ScriptQueuesEmpty() {
    return MV2HudMessagesFinished() && MV2MissionMessagesDone();
}

// The object's energy over its type's initial energy (0 without an initial energy).
inline float MV2ScriptEnergyFraction(const MV2Object* object) {
    const float initial = object ? MV2InitialEnergy(object) : 0.0f;
    return initial > 0.0f ? object->energy / initial : 0.0f;
}

// Sets the requested-mode byte of the game-state word to cut-scene play, as a started
// cut-scene does; and clears it.
void MV2ScriptSetCutSceneMode();
void MV2ScriptClearRequestedMode();

// The main camera's frame matrix (null without a camera or frame), and the update after a
// change of it.
TvMatrix* MV2ScriptCameraMatrix();
void MV2ScriptCameraMoved();
// The main camera at the post's position in camera mode 2 (the fixed view); nothing without
// the post. A camera without a frame still takes mode 2, unless `needsFrame` is set: then
// nothing changes at all.
void MV2ScriptCameraToPost(MV2Object* post, bool needsFrame = false);
