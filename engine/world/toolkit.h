// Intersection toolkit: the line-triangle test of the game's collision trees.
#pragma once

#include "engine/core/vector.h"

struct TvLine {
    TvV3d start;
    TvV3d end;
};

inline constexpr uint32_t kTkIntersectionPluginId = 392;

// Parameter t of the hit of the line with triangle a, b, c (plane normal n) along the line, not
// limited to 1; -1.0 when there is none or an argument is null.
float TkIntersectionTest(const TvLine* line, const TvV3d* normal, const TvV3d* a, const TvV3d* b,
                         const TvV3d* c);
