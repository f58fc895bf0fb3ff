// Routes planned over the path-node graph and consumed way-point by way-point.
#include "game/creatures/routes.h"

#include "engine/core/memory.h"
#include "game/creatures/creaturemath.h"
#include "game/creatures/pathnodes.h"

namespace {

// Shared by every route; it lives for the program, across levels.
TvFreeList* g_wayPoints = nullptr;
int32_t g_inUse = 0;

MV2RouteWayPoint* NewWayPoint(const TvV3d& position) {
    if (!g_wayPoints) g_wayPoints = TvFreeListCreate(sizeof(MV2RouteWayPoint), 50);
    if (!g_wayPoints) return nullptr;
    auto* w = static_cast<MV2RouteWayPoint*>(TvFreeListAlloc(g_wayPoints));
    if (!w) return nullptr;
    ++g_inUse;
    w->zero = 0;
    w->position = position;
    w->unused = 0;
    w->next = nullptr;
    return w;
}

} // namespace

void MV2RouteInit(MV2Route* route) {
    route->count = 0;
    route->current = nullptr;
}

int32_t MV2RoutePlan(MV2Route* route, const TvV3d* from, const TvV3d* to) {
    const int32_t a = MV2FindPathNodeToward(from, to);
    const int32_t b = MV2FindPathNodeToward(to, from);
    if (a < 0 || b < 0) return 0;
    // The remaining way-points go back to the pool, so re-planning never grows it.
    MV2RouteClear(route);
    route->count = 0;
    route->current = nullptr;
    route->start = *from;
    route->end = *to;
    MV2RouteWayPoint* first = NewWayPoint(*from);
    if (!first) return 0;
    route->current = first;
    route->count = 1;
    MV2RouteWayPoint* last = first;
    auto append = [&](const TvV3d& position) {
        MV2RouteWayPoint* w = NewWayPoint(position);
        if (!w) return false;
        last->next = w;
        last = w;
        ++route->count;
        return true;
    };
    bool ok = true;
    if (a != b && MV2PathSearchAStar(a, b) > 0) {
        const MV2PathGraph* graph = MV2GetPathNodeGraph();
        const MV2PathSearchRecord* r = graph->nodes[a].search;
        for (int32_t taken = 0; r && taken < kMV2RouteMaxPathNodes && ok; ++taken, r = r->parent)
            ok = append(r->node->position);
    }
    if (!ok || !append(*to)) {
        MV2RouteClear(route);
        return 0;
    }
    MV2RouteNextWayPoint(route);
    return 1;
}

int32_t MV2RouteNextWayPoint(MV2Route* route) {
    MV2RouteWayPoint* passed = route->current;
    if (!passed) return 1;
    route->current = passed->next;
    if (route->current)
        route->legDirection = MV2Unit(TvV3dSub(route->current->position, passed->position));
    TvFreeListFree(g_wayPoints, passed);
    --g_inUse;
    --route->count;
    return 1;
}

int32_t MV2RouteClear(MV2Route* route) {
    while (route->current) MV2RouteNextWayPoint(route);
    route->count = 0;
    return 1;
}

int32_t MV2RouteIsEmpty(const MV2Route* route) {
    return route->count == 0;
}

int32_t MV2RouteWayPointsInUse() {
    return g_inUse;
}
