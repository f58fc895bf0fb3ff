// City logic on level 0: six door bays through which craft enter and leave, two drop points
// with their doors and delivery cut-scenes, the city lights, and global script row 44.
#pragma once

#include <cstdint>

#include "game/objects/objects.h"

inline constexpr int32_t kMV2CityBays = 6;
inline constexpr int32_t kMV2CityRow = 44;
inline constexpr uint32_t kMV2InCityFlag = kMV2ObjectCollidesWorld; // type-word bit 20

struct MV2CityBay {
    int32_t doorId;
    MV2ObjectRef door;
    int32_t postId;
    MV2Object* post;
    int32_t bayId;
    MV2ObjectRef bay;
    int32_t routeKind;
    int32_t found;
};
extern MV2CityBay gMV2CityBays[kMV2CityBays];

struct MV2CityRecord {
    int32_t busy;
    MV2ObjectRef delivering;
    int32_t firstDropPoint;
    int32_t partIds[6];
    MV2Object* parts[6];
    int32_t lightIdsA[4];
    MV2Object* lightsA[4];
    int32_t lightIdsB[4];
    MV2Object* lightsB[4];
    int32_t lightState;
    int32_t dropPointIds[2];
    MV2Object* dropPoints[2];
    int32_t dropDoorIds[2];
    MV2Object* dropDoors[2];
    int32_t dropPostIds[2];
    MV2Object* dropPosts[2];
    int32_t recordComplete; // every id above was found
};

struct MV2City {
    int32_t active;
    MV2CityRecord record;
    MV2Object* extras[4];
    MV2Object* signs[2];
    int32_t lastDropPoint;
};
extern MV2City gMV2City;

// The brains the city gives the craft it launches: the drone's, the repair drone's and the
// carrier's (a null brain is not given).
struct MV2CityBrains {
    MV2ObjectHandler drone;
    MV2ObjectHandler repairDrone;
    MV2ObjectHandler carrier;
};
extern MV2CityBrains gMV2CityBrains;

int32_t MV2InitialiseCityLogic();
void MV2SetCityActive(int32_t flag);
void MV2UpdateCity();
void MV2UpdateCityDoorState();
MV2Object* MV2CityCheckDropPoint(MV2Object* object);
void MV2CityStartDelivery(MV2Object* object, int32_t dropPointId);
void MV2CityReceiveCraft(MV2Object* craft, MV2Object** arriving);
void MV2CityCraftExited(MV2Object* craft, MV2CityBay* bay);
intptr_t MV2CityDispatchCraft(MV2Object* craft, int32_t bay, MV2Object* target);
MV2Object* MV2CityLaunchCraft(int32_t type, int32_t bay, MV2Object* target);
MV2Object* MV2CityLaunchDrone(int32_t site);
MV2Object* MV2CityLaunchRepairDrone(int32_t site, MV2Object* target);
void MV2CityReleaseCraft(MV2Object* craft, MV2Object** object);
void MV2EnterCity();
