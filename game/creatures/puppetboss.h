// Puppet bosses and creatures: a boss kind keeps one animation set loaded from its model folder
// (".\clump\<folder>\") with its table of named event callbacks; each object of the kind keeps
// its puppet instance in its private-data word. Named animations are started and read through
// the puppet's state flags.
#pragma once

#include <cstdint>

#include "engine/core/matrix.h"
#include "game/objects/objects.h"
#include "game/objects/puppets.h"

struct MV2PuppetBossKind {
    const char* folder; // the model folder's name under ".\clump\"
    const MV2PuppetCallback* events; // sorted by name
    int32_t eventCount;
    float radius; // the type's bounding radius
    MV2AnimSet set;
    int32_t instances;
};

// Creation work after the default handler succeeded: the kind's animation set is loaded at the
// first creation of the type's model (again when the model was reloaded), the type gets the
// puppet flags and the radius, and the object its puppet instance. Null when it has none.
MV2PuppetInstance* MV2PuppetBossCreate(MV2PuppetBossKind* kind, MV2Object* object);
// Frees the object's puppet and, with the last instance, the kind's animation set.
void MV2PuppetBossDestroy(MV2PuppetBossKind* kind, MV2Object* object);
MV2PuppetInstance* MV2PuppetBossInstance(MV2Object* object);
// Advances the puppet by `seconds` with the object's frame, then skins the clump.
void MV2PuppetBossUpdate(MV2Object* object, float seconds);
// Starts (1) or stops (0) a named animation.
void MV2PuppetBossPlay(MV2Object* object, const char* name, int32_t on);
// 1 when the named event or animation flag is set; an unknown name reads 0.
int32_t MV2PuppetBossFired(MV2Object* object, const char* name);
// The node's matrix in world space; 0 when the puppet has no such node.
int32_t MV2PuppetBossNodeMatrix(MV2Object* object, const char* name, TvMatrix* out);
int32_t MV2PuppetBossNodePosition(MV2Object* object, const char* name, TvV3d* out);
// Message 63 (a puppet part struck through the collision tree): the striker takes the part's
// speed x 30 from the boss, unless the boss's "dodie" has fired.
void MV2PuppetBossPartHit(MV2Object* boss, intptr_t hit);
// The main camera's position; 0 without a camera.
int32_t MV2BossCameraPosition(TvV3d* out);
// A one-shot sound of the sound list at a point.
void MV2BossSoundAt(const TvV3d& at, float radius, const char* name, int32_t b = 0);
// Points the matrix's "at" axis along the unit `direction`: "right" = world up x at, "up" =
// at x right (world x stands in for world up when they are parallel).
void MV2AimMatrix(TvMatrix* m, const TvV3d& direction);
// The HUD's standard colour of weapon icons.
inline constexpr uint32_t kMV2BossHudColour = (97u << 16) | (189u << 8) | 255u;
