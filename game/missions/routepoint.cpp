#include "game/missions/routepoint.h"

#include "engine/core/matrix.h"
#include "game/creatures/routes.h"
#include "game/objects/objects.h"
#include "game/player/playercraft.h"

namespace {

float Distance2(const TvV3d& a, const TvV3d& b) {
    const TvV3d d = TvV3dSub(a, b);
    return TvV3dDot(d, d);
}

} // namespace

int32_t MV2FindRoutePointAtDistance(const TvV3d* target, const float* distance, TvV3d* out) {
    if (!target || !distance || !out) return 0;
    MV2Object* player = MV2GetPlayerObject();
    if (!player || !player->matrix) return 0;
    const TvV3d p = player->matrix->pos;
    const float r = *distance;
    const float r2 = r * r;
    MV2Route route;
    MV2RouteInit(&route);
    if (!MV2RoutePlan(&route, &p, target)) {
        MV2RouteClear(&route);
        return 0;
    }
    // The planned route has already left its start, the player's position, which is the
    // first way-point at r or beyond only when r is 0.
    TvV3d inner = p, outer = p;
    if (0.0f < r2) {
        while (route.current && Distance2(p, route.current->position) < r2) {
            inner = route.current->position;
            MV2RouteNextWayPoint(&route);
        }
        if (!route.current) {
            MV2RouteClear(&route);
            return 0;
        }
        outer = route.current->position;
    }
    MV2RouteClear(&route);
    const float ring2 = (r + 1.0f) * (r + 1.0f);
    for (int32_t i = 0; i < 10; ++i) {
        const TvV3d m = TvV3dScale(TvV3dAdd(inner, outer), 0.5f);
        *out = m;
        const float d = Distance2(p, m);
        if (d <= ring2) {
            if (d >= r2) break;
            inner = m;
        } else {
            outer = m;
        }
    }
    return 1;
}
