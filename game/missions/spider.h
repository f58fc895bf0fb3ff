// The crawling spider (types 104 and 396): crawls over surfaces in any orientation, keeps to a
// home point, crouches and leaps at the player, somersaults, bites when a leap connects and
// spits bolts. Type 396 stays within 5 units of home on the plane it was placed on and never
// leaps.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct MV2Object;
struct TpAtomic;
struct TpGeometry;

inline constexpr int32_t kMV2SpiderType = 104;
inline constexpr int32_t kMV2PinnedSpiderType = 396;
inline constexpr int32_t kMV2SpiderKeys = 31;

// Flag bits.
inline constexpr uint32_t kMV2SpiderArmed = 1u << 0;
inline constexpr uint32_t kMV2SpiderLandTest = 1u << 1;
inline constexpr uint32_t kMV2SpiderFlipped = 1u << 10;

enum MV2SpiderState : uint32_t {
    kMV2SpiderSpitting = 0,
    kMV2SpiderCrawling = 1,
    kMV2SpiderCrouching = 2,
    kMV2SpiderLeaping = 3,
    kMV2SpiderSomersault = 4,
    kMV2SpiderDropping = 5,
    kMV2SpiderLanding = 6,
    kMV2SpiderLeapStart = 7,
};

struct MV2SpiderData {
    float radius;       // of the model's root atomic
    uint32_t cooldown;  // real ms before which no new attack starts
    uint32_t refitTime; // real ms; governs the ground re-fit
    uint32_t spare[2];
    float animRate; // states 3 and 6
    TvV3d flipAxis; // up axis at the start of the somersault
    TvV3d home;
    float pull;     // home pull factor
    uint32_t flags; // bits 2-9 the state
    TvV3d planeNormal; // type 396: the plane it is pinned to
    TvV3d planePoint;
};

inline uint32_t MV2SpiderStateOf(const MV2SpiderData* d) {
    return (d->flags >> 2) & 0xFFu;
}

// Sets keys *index onwards to step from morph target `first` to `last` (one key of duration 1.0
// per step), advancing *index; a failed key does not stop it. Answers 1.
int32_t MV2GeometryAddLinkChain(TpGeometry* geometry, int32_t* index, int32_t first, int32_t last);
intptr_t MV2CrawlingSpiderHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2);
float MV2CrawlingSpiderKeyCallBack(TpAtomic* atomic, float position);
void MV2RegisterCrawlingSpiderHandlers();
