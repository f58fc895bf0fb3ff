#include "engine/world/toolkit.h"

#include <cmath>

#include "engine/core/error.h"

namespace {

// 2-D cross product of (q - p) and (r - p) in the plane of axes u and v.
float Cross2D(const float* p, const float* q, const float* r, int u, int v) {
    return (q[u] - p[u]) * (r[v] - p[v]) - (q[v] - p[v]) * (r[u] - p[u]);
}

} // namespace

float TkIntersectionTest(const TvLine* line, const TvV3d* normal, const TvV3d* a, const TvV3d* b,
                         const TvV3d* c) {
    if (!line || !normal || !a || !b || !c) {
        TvErrorReport(kTkIntersectionPluginId, E_TV_NULLP);
        return -1.0f;
    }
    const TvV3d d = TvV3dSub(line->end, line->start);
    const float denominator = TvV3dDot(*normal, d);
    if (denominator == 0.0f) return -1.0f;
    const float numerator = TvV3dDot(*normal, TvV3dSub(*a, line->start));
    if (numerator == 0.0f || std::signbit(numerator) != std::signbit(denominator)) return -1.0f;
    const float t = numerator / denominator;
    const float p[3] = {line->start.x + t * d.x, line->start.y + t * d.y, line->start.z + t * d.z};

    // Drop the axis of the largest normal component and test in the remaining plane.
    const float nx = std::fabs(normal->x), ny = std::fabs(normal->y), nz = std::fabs(normal->z);
    int u, v;
    if (nx >= ny && nx >= nz) {
        u = 1, v = 2;
    } else if (ny >= nz) {
        u = 0, v = 2;
    } else {
        u = 0, v = 1;
    }
    const float pa[3] = {a->x, a->y, a->z}, pb[3] = {b->x, b->y, b->z}, pc[3] = {c->x, c->y, c->z};
    const bool s1 = std::signbit(Cross2D(pa, pb, p, u, v));
    const bool s2 = std::signbit(Cross2D(pb, pc, p, u, v));
    const bool s3 = std::signbit(Cross2D(pc, pa, p, u, v));
    return (s1 == s2 && s2 == s3) ? t : -1.0f;
}
