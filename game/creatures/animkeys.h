// Key callbacks of the engine's animation sequences: the creature modules give each callback a
// next-key rule and share the step that makes that key current.
#pragma once

#include <cstdint>

struct TpAtomic;
struct MV2Object;

// Makes `next` the atomic's current key and answers the position less the duration of the key
// that just ended (or of the new key with `newKeyDuration`). A `next` below 0 or past the
// geometry's keys keeps the current key and answers 0, so that it plays again from its start.
float MV2StepAnimKey(TpAtomic* atomic, float position, int32_t next, bool newKeyDuration = false);
// The object whose clump holds the atomic, or null.
MV2Object* MV2AtomicObject(TpAtomic* atomic);
// Sets the root atomic's current key and its position within it; 0 when the object has no
// root atomic or the key does not exist.
int32_t MV2SetRootKey(MV2Object* object, int32_t key, float position = 0.0f);
// The root atomic's current key, or -1.
int32_t MV2GetRootKey(MV2Object* object);
// Installs the key callback on the root atomic's geometry; 0 when there is none.
int32_t MV2InstallRootKeyCallback(MV2Object* object, float (*callback)(TpAtomic*, float));
