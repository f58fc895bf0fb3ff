// Ambient creatures: the shared creature handler with schooling, flight, wall avoidance and a
// depth band; the species table of ambient spawns; wreck pieces of destroyed objects.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/creatures/creatures.h"
#include "game/objects/objects.h"

struct MV2AmbientSpecies {
    uint32_t type;
    float minDepth; // below the surface
    float maxDepth; // of a spawn
    float cruiseForce;
};

inline constexpr int32_t kMV2AmbientSpeciesRows = 26;
extern const MV2AmbientSpecies kMV2AmbientSpecies[kMV2AmbientSpeciesRows];

// Behaviour states of the shared record.
enum MV2AmbientState : uint32_t {
    kMV2AmbientNone = 0,
    kMV2AmbientMateNear = 1,
    kMV2AmbientMateFar = 2,
    kMV2AmbientWall = 3,
    kMV2AmbientThreatFar = 4,
    kMV2AmbientThreatNear = 5,
    kMV2AmbientStunned = 6,
    kMV2AmbientHeld = 7,
};

// The private record of every creature the shared handler serves; larger creatures keep their
// own record behind it as its extension.
struct MV2AmbientCreature {
    uint32_t speciesRow;
    uint32_t spare[2];
    float stunTimer; // seconds
    MV2ObjectRef holder; // the magnet holding it
    int32_t nextDecision; // game ms
    void* extension;
    TvV3d direction;
    uint32_t state;
};

// An attractor's pull, owned by the attractor.
struct MV2AmbientPull {
    TvV3d point;
    uint32_t kind; // 0 released, 2 swim to it, other: turn toward it; ranks competing pulls
};

intptr_t MV2AmbientCreatureHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
// The record a larger creature keeps behind the shared record (message 27), or null.
void* MV2GetAmbientExtension(MV2Object* object);
// Message 96 of a creature whose own record of `extra` bytes follows the shared record.
intptr_t MV2AnswerAmbientSize(MV2Object* object, intptr_t p1, intptr_t p2, size_t extra);
// 1 (and the object broken up and destroyed) when its energy is 0 or less.
int32_t MV2CheckObjectDestroyed(MV2Object* object);
void MV2KillAmbientCreature(MV2Object* creature);
intptr_t MV2AmbientCreatureDyingHandler(MV2Object* object, int32_t message, intptr_t p1,
                                        intptr_t p2);
// A creature type for an ambient spawn at *position (moved to the spawn point), or 461.
int32_t MV2PickAmbientCreatureType(TvV3d* position);
int32_t MV2IsOutsideAmbientArea(const TvV3d* position);
void MV2SpawnDebrisPieces(MV2Object* object, int32_t base, int32_t count, int32_t variant);
intptr_t MV2DebrisHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterAmbientHandlers();
