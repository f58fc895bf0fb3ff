// Death sites: where objects broke up, posted for 10 s for scavengers to find; in world 0 the
// posting also keeps up to three eaters in play.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"
#include "game/objects/objects.h"

inline constexpr int32_t kMV2DeathSites = 15;
inline constexpr int32_t kMV2EaterSlots = 3;

struct MV2DeathSite {
    MV2DeathSite* next;
    MV2DeathSite* prev;
    int32_t expiry; // game ms
    TvV3d position;
};

struct MV2EaterSlot {
    MV2EaterSlot* next;
    MV2EaterSlot* prev;
    MV2ObjectRef eater;
};

// Level start (and level reset): every site and eater slot free, the times 0.
int32_t MV2InitialiseDeathSites();
void MV2PostDeathSite(const TvV3d* position);
const TvV3d* MV2FindNearestDeathSite(const TvV3d* position, float maxSquaredDistance);
void MV2ExpireDeathSites();
