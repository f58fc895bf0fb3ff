// A point along the path-node route from the player to a target, at a straight-line distance
// between r and r + 1 from the player.
#pragma once

#include <cstdint>

struct TvV3d;

// 1 with the point written; 0 without a player or a route, or when the whole route lies
// within r of the player.
int32_t MV2FindRoutePointAtDistance(const TvV3d* target, const float* distance, TvV3d* out);
