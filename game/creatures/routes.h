// Routes: way-points from a start through path nodes to an end, consumed one by one.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

struct MV2RouteWayPoint {
    int32_t zero;
    TvV3d position;
    int32_t unused;
    MV2RouteWayPoint* next;
};

struct MV2Route {
    MV2RouteWayPoint* current;
    TvV3d legDirection;
    TvV3d start;
    TvV3d end;
    int32_t count;
};

inline constexpr int32_t kMV2RouteMaxPathNodes = 101;

void MV2RouteInit(MV2Route* route);
int32_t MV2RoutePlan(MV2Route* route, const TvV3d* from, const TvV3d* to);
int32_t MV2RouteNextWayPoint(MV2Route* route);
int32_t MV2RouteClear(MV2Route* route);
int32_t MV2RouteIsEmpty(const MV2Route* route);
// Way-points handed out and not yet returned (the pool's size in use).
int32_t MV2RouteWayPointsInUse();
