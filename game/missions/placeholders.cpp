// Entry points of mission modules not built yet, each doing the least its callers need.
#include "game/frontend/hud.h"
#include "game/missions/missions.h"
#include "game/objects/objects.h"
#include "game/player/playercraft.h"

// Placeholder: the mothership docks are not built; there is none.
MV2Object* MV2GetMothershipDock(int32_t) {
    return nullptr;
}

// Placeholder: route planning for scripts is not built; the point lies on the straight line
// from the player's craft towards the goal.
int32_t MV2RouteMidpoint(const TvV3d* goal, float* reach, TvV3d* out) {
    MV2Object* sub = MV2GetPlayerSub();
    if (!goal || !reach || !out || !sub || !sub->matrix) return 0;
    const TvV3d d = TvV3dSub(*goal, sub->matrix->pos);
    const float length = TvV3dLength(&d);
    const float t = length > *reach && length > 0.0f ? *reach / length : 1.0f;
    *out = TvV3dAdd(sub->matrix->pos, TvV3dScale(d, t));
    return 1;
}

// Placeholder: the city objective list is not built; the objective is cleared.
void MV2ObjectiveToCity() {
    MV2HudSetObjective(nullptr);
}
