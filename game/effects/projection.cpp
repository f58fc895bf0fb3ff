#include "game/effects/projection.h"

#include <cmath>

#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/matrix.h"
#include "game/effects/effectbase.h"
#include "game/objects/camera.h"
#include "game/objects/utilities.h"

namespace {

constexpr int32_t kPlanes = 6;
constexpr int32_t kMaxPolygon = 16;
// Planes are clipped against in the order of their bits 2, 8, 1, 4, 16, 32.
constexpr int32_t kClipOrder[kPlanes] = {1, 3, 0, 2, 4, 5};

struct Plane {
    TvV3d normal;
    TvV3d point; // outside where normal . (p - point) > 0
};

struct ClipVertex {
    TvV3d position;
    uint32_t outcode;
    float distance[kPlanes];
};

MV2TriangleHit g_triangles[kMV2ProjectedTriangles];
TvIm3DVertex g_polygon[kMaxPolygon];
uint16_t g_fan[(kMaxPolygon - 2) * 3];

void Classify(ClipVertex& v, const Plane* planes) {
    v.outcode = 0;
    for (int32_t i = 0; i < kPlanes; i++) {
        v.distance[i] = TvV3dDot(planes[i].normal, TvV3dSub(v.position, planes[i].point));
        if (v.distance[i] > 0.0f) v.outcode |= 1u << i;
    }
}

// Sutherland-Hodgman against one plane; the new vertex count.
int32_t ClipAgainst(const ClipVertex* in, int32_t n, ClipVertex* out, int32_t plane,
                    const Plane* planes) {
    int32_t m = 0;
    for (int32_t i = 0; i < n; i++) {
        const ClipVertex& a = in[i];
        const ClipVertex& b = in[(i + 1) % n];
        const bool aIn = a.distance[plane] <= 0.0f, bIn = b.distance[plane] <= 0.0f;
        if (aIn != bIn && m < kMaxPolygon) {
            const TvV3d ab = TvV3dSub(a.position, b.position);
            const float denominator = TvV3dDot(planes[plane].normal, ab);
            const float t = denominator != 0.0f ? a.distance[plane] / denominator : 0.0f;
            ClipVertex c;
            c.position = TvV3dSub(a.position, TvV3dScale(ab, t));
            Classify(c, planes);
            c.distance[plane] = 0.0f; // on the plane: inside
            c.outcode &= ~(1u << plane);
            out[m++] = c;
        }
        if (bIn && m < kMaxPolygon) out[m++] = b;
    }
    return m;
}

} // namespace

int32_t MV2CollectProjectedPolygons(const TvMatrix* projector, TvTexture* texture, float halfWidth,
                                    float far, float near) {
    if (!projector || halfWidth == 0.0f || far == 0.0f) return 0;
    const float w = halfWidth;
    const float s = 0.5f / w;
    const float k = 1.0f / (far * 0.5f);
    const TvV3d local[8] = {{w, w, far},   {-w, w, far},   {-w, -w, far},  {w, -w, far},
                            {w, w, near},  {-w, w, near},  {-w, -w, near}, {w, -w, near}};
    TvV3d c[8];
    TvV3dTransformPoints(c, local, 8, projector);
    TvV3d lo = {10000.0f, 10000.0f, 10000.0f}, hi = {-10000.0f, -10000.0f, -10000.0f};
    for (const TvV3d& p : c) {
        lo = {std::fmin(lo.x, p.x), std::fmin(lo.y, p.y), std::fmin(lo.z, p.z)};
        hi = {std::fmax(hi.x, p.x), std::fmax(hi.y, p.y), std::fmax(hi.z, p.z)};
    }
    const TvV3d& at = projector->at;
    Plane planes[kPlanes];
    for (int32_t i = 0; i < 4; i++) {
        const TvV3d e1 = TvV3dSub(c[i], c[i + 4]);
        const TvV3d e2 = TvV3dSub(c[i], c[(i + 1) % 4]);
        planes[i] = {MV2EffectUnit(TvV3dCross(e1, e2)), c[i]};
    }
    planes[4] = {at, c[3]};
    planes[5] = {TvV3dScale(at, -1.0f), c[5]};
    TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(MV2EffectRaster(texture)));
    const int32_t found =
        MV2GetTrianglesInBox(MV2World, &lo, &hi, kMV2ProjectedTriangles, g_triangles);
    if (found <= 0) return found;
    const TvV3d origin = projector->pos;
    const TvV3d lift = TvV3dScale(at, -0.002f);
    const int32_t count = found < kMV2ProjectedTriangles ? found : kMV2ProjectedTriangles;
    for (int32_t t = 0; t < count; t++) {
        const MV2TriangleHit& hit = g_triangles[t];
        if (!hit.vertices[0] || !hit.vertices[1] || !hit.vertices[2]) continue;
        ClipVertex a[kMaxPolygon], b[kMaxPolygon];
        uint32_t shared = ~0u, all = 0;
        for (int32_t i = 0; i < 3; i++) {
            a[i].position = *hit.vertices[i];
            Classify(a[i], planes);
            shared &= a[i].outcode;
            all |= a[i].outcode;
        }
        if (shared) continue;
        for (int32_t i = 0; i < 3; i++)
            a[i].position = TvV3dAdd(a[i].position, lift);
        int32_t n = 3;
        ClipVertex* in = a;
        ClipVertex* out = b;
        for (int32_t plane : kClipOrder) {
            if (!(all & (1u << plane))) continue;
            n = ClipAgainst(in, n, out, plane, planes);
            ClipVertex* swap = in;
            in = out;
            out = swap;
            if (n < 3) break;
        }
        if (n < 3) continue;
        for (int32_t i = 0; i < n; i++) {
            const TvV3d p = in[i].position;
            const TvV3d toward = TvV3dSub(TvV3dSub(origin, at), p);
            TvIm3DVertex& v = g_polygon[i];
            v.objVertex = p;
            v.u = 0.5f + TvV3dDot(projector->right, toward) * s;
            v.v = 0.5f + TvV3dDot(projector->up, toward) * s;
            v.red = v.green = v.blue = 255;
            const float alpha = 255.0f - MV2EffectLength(TvV3dSub(origin, p)) * k * 255.0f;
            v.alpha = alpha < 0.0f ? 0 : MV2WrapByte(alpha);
        }
        if (!TvIm3DTransform(g_polygon, n, nullptr, kTvIm3DVertexUV)) continue;
        int32_t indices = 0;
        for (int32_t i = 1; i + 1 < n; i++) {
            g_fan[indices++] = 0;
            g_fan[indices++] = uint16_t(i);
            g_fan[indices++] = uint16_t(i + 1);
        }
        TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, g_fan, indices);
        TvIm3DEnd();
    }
    return found;
}
