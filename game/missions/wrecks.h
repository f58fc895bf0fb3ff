// Burning wrecks with a flickering light that shed pieces as they are hit, breakable wrecks (one
// of them drains small creatures near it) and the debris pieces they throw.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TpLight;
struct TvFrame;

struct MV2BurningWreckData {
    float energyLevel; // the energy the last piece was thrown at
    float phase;       // flicker, degrees
    TpLight* light;
    TvFrame* lightFrame;
};

struct MV2WreckPieceData {
    uint32_t breaksOnImpact;
    uint32_t expiry; // game ms
    intptr_t stored; // messages 24 and 84
};

// A piece of `pieceType` thrown from a random vertex of the object's root geometry, moving out
// from it (and along `direction` when given); null when the geometry has no vertices or the
// piece cannot be made.
MV2Object* MV2SpawnWreckPiece(MV2Object* object, int32_t pieceType, const TvV3d* direction);

intptr_t MV2BurningWreckHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2WreckHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
intptr_t MV2WreckPieceHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
void MV2RegisterWreckHandlers();
