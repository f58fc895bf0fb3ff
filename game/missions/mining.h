// Mining installations: four sites of level 0 whose parts' health drives ore production, the
// drones the city sends for full loads, repair drones for damaged parts, and the figures read
// from ".\DATA\MINING.DAT".
#pragma once

#include <cstddef>
#include <cstdint>

#include "game/objects/objects.h"

inline constexpr int32_t kMV2MiningSites = 4;
inline constexpr int32_t kMV2MiningSlots = 10;
inline constexpr size_t kMV2MiningFileSize = 64;
inline constexpr int32_t kMV2LoadingMs = 10000;

// Slots of a site's parts.
enum MV2MiningSlot : int32_t {
    kMV2MiningSide0 = 0,
    kMV2MiningOutput = 4,
    kMV2MiningMiddle = 5,
    kMV2MiningBase0 = 6,
    kMV2MiningMain = 8,
    kMV2MiningStation = 9,
};

struct MV2MiningLight {
    int32_t id;
    float threshold;
    MV2ObjectRef object;
    int32_t lit;
};

struct MV2MiningPart {
    int32_t id; // 0: no part
    MV2ObjectRef object;
    MV2ObjectRef repairer;
    int32_t repairState; // 1: a repair drone was sent
    MV2MiningLight lights[2];
};

struct MV2MiningSite {
    uint32_t siteWord;
    float efficiency;
    float productionFactor;
    float rate;
    float capacity;
    float stock;
    int32_t sideCount;
    int32_t baseCount;
    MV2ObjectRef docked;
    int32_t state; // 0 idle, 1 drone on its way, 2 docked, 3 assigned or leaving, 4 loading
    uint32_t cargoClass;
    int32_t loadingLeft;
    float loadAmount;
    MV2MiningPart parts[kMV2MiningSlots];
};

struct MV2Mining {
    MV2MiningSite sites[kMV2MiningSites];
    int32_t loaded;
    int32_t repairEnabled;
    int32_t loadRequested;
};
extern MV2Mining gMV2Mining;

// The four 16-byte records of the file: 0 when it is short or holds a value that is not
// finite.
int32_t MV2MiningParseFile(const uint8_t* bytes, size_t size);
int32_t MV2MiningLoad();
void MV2MiningLinkSiteObjects();
void MV2UpdateMining();
void MV2UpdateMining(int32_t frameMs);
int32_t MV2MiningFindNearestSite(const TvV3d* position, float* distance);
MV2Object* MV2MiningPickTargetPart(int32_t site);
MV2Object* MV2MiningClaimDamagedPart(int32_t site, MV2Object* repairer);
MV2Object* MV2MiningGetWeakestPart(int32_t site);
void MV2MiningGetSiteStatus(int32_t site, float* efficiency, float* production, float* fill,
                            uint32_t* siteWord);
MV2Object* MV2MiningGetSiteObject(int32_t site);
void MV2MiningStartLoading(MV2Object* station);
int32_t MV2MiningDockCraft(MV2Object* station, MV2Object* craft);
void MV2MiningReleaseSite(MV2Object* station);
int32_t MV2MiningGetSiteState(MV2Object* station);
int32_t MV2MiningAssignCraft(int32_t site, MV2Object* craft);
void MV2MiningSetRepairEnabled(int32_t flag);
// A part's energy over its type's initial energy (0 without a type energy).
float MV2MiningPartHealth(MV2Object* part);
