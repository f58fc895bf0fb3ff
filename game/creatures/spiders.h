// Spiders (types 147 and 148): crawl over the landscape and walls, face the player's craft and
// spit bolts at it from an animation key; type 147 also burns the craft on contact.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

struct TpAtomic;
struct TpGeometry;

// Locomotion states, in bits 2-9 of the state word.
enum MV2SpiderGait : uint32_t {
    kMV2SpiderGaitCrawling = 1,
    kMV2SpiderGaitStanding = 2,
    kMV2SpiderGaitFalling = 3,
};

struct MV2Spider {
    float modelRadius;
    int32_t behaviourTime; // game ms
    TvV3d surface;
    float crawlSpeed;
    uint32_t state; // bits 0-1 requests, 2-9 locomotion
};

inline constexpr int32_t kMV2SpiderKeys = 13;

intptr_t MV2SpiderHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
float MV2SpiderAnimCallback(TpAtomic* atomic, float position);
// The spider key table on the geometry, built once: 1, or 0 when the keys cannot be made.
int32_t MV2SetupSpiderKeys(TpGeometry* geometry);
// The next key after a finished key (-1: the table has no such key), and the locomotion state
// it sets (0: unchanged); requests are read and cleared in *state.
int32_t MV2SpiderNextKey(int32_t finished, uint32_t* state);
void MV2RegisterSpiderHandlers();
