#include "game/objects/rocktunnel.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

#include "engine/core/im2d.h"
#include "engine/core/texture.h"
#include "engine/world/random.h"
#include "shell/errors.h"
#include "shell/frametimer.h"

MV2RockTunnel gMV2RockTunnel{};

namespace {

constexpr float kRingsPerUnit = 0.35714287f; // 1 / 2.8
// Less than 12 ring spacings (33.6): the farthest one advance may go.
constexpr float kMaxStep = 33.0f;

uint32_t Random() {
    return uint32_t(TvRandom());
}

void SetIdentityAt(TvMatrix* m, const TvV3d& position) {
    m->right = {1, 0, 0};
    m->up = {0, 1, 0};
    m->at = {0, 0, 1};
    m->pos = position;
    m->flags |= 0x20003;
}

// One advance of less than 12 ring spacings.
void Advance(float d) {
    MV2RockTunnel& t = gMV2RockTunnel;
    const int32_t k = int32_t((t.distance + d) * kRingsPerUnit);
    TvMatrix local{};
    local.right = {1, 0, 0};
    local.up = {0, 1, 0};
    local.at = {0, 0, 1};
    local.pos = {0, 0, d - t.distance};
    TvMatrix point{};
    if (MV2TunnelToWorld(&point, &local) != kMV2TunnelPlaced) return;
    point.flags = 3; // axes made by rotations: orthonormal
    TvMatrix inverse{}, a{}, b{};
    TvMatrixInvert(&inverse, &point);
    TvMatrixMultiply(&a, &t.frames[0], &inverse);
    TvMatrixMultiply(&b, &a, &t.frames[0]);
    TvMatrixOrthoNormalize(&t.frames[0], &b);
    t.distance = t.distance + d - kMV2RingSpacing * float(k);
    if (k == 0) {
        MV2BuildTunnelFrames(1, 12);
        return;
    }
    MV2BuildTunnelFrames(1, k);
    t.frames[0] = t.frames[k];
    std::memmove(&t.rings[0], &t.rings[k], sizeof(MV2TunnelRing) * size_t(kMV2TunnelRings - k));
    for (int32_t i = kMV2TunnelRings - k; i < kMV2TunnelRings; i++)
        MV2MakeTunnelRing(i);
    const int32_t c = t.scroll % 4;
    const int32_t q = (c + k) / 4;
    if (q > 0) {
        for (int32_t h = 0; h < 2; h++) {
            int32_t* rows = &t.textureTable[h * 5];
            for (int32_t p = 0; p <= 4 - q; p++)
                rows[p] = rows[p + q];
            for (int32_t p = std::max(5 - q, 0); p < 5; p++)
                rows[p] = int32_t(Random() % 6);
        }
    }
    t.scroll += k;
    MV2BuildTunnelFrames(1, 12);
}

// Reads one tunnel texture with its raster unless it is loaded; the box of the failure.
bool LoadTexture(const char* name, const char* mask, const char* noTexture, const char* noRaster,
                 TvTexture** texture, TvRaster** raster) {
    if (*texture) return true;
    *texture = TvTextureRead(name, mask);
    if (!*texture) {
        MV2ErrorBox(noTexture);
        return false;
    }
    *raster = TvTextureGetRaster(*texture);
    if (!*raster) {
        MV2ErrorBox(noRaster);
        return false;
    }
    return true;
}

} // namespace

int32_t MV2InitialiseRocksAndClouds() {
    MV2RockTunnel& t = gMV2RockTunnel;
    SetIdentityAt(&t.frames[0], {0, 0, 0});
    for (int32_t j = 0; j < kMV2TunnelPoints; j++) {
        t.cosines[j] = std::cos(float(2 * j) * 0.31415927f);
        t.sines[j] = std::sin(float(2 * j) * 0.31415927f);
    }
    for (int32_t i = 0; i < kMV2RockTextures; i++) {
        char name[24];
        std::snprintf(name, sizeof name, "vrocks%1d", i + 1);
        if (!LoadTexture(name, "", "Failed to load texture", "Failed to extract texture raster",
                         &t.rocks[i], &t.rockRasters[i]))
            return 0;
    }
    for (int32_t i = 0; i < kMV2CloudTextures; i++) {
        char name[24];
        std::snprintf(name, sizeof name, "cloud%1dm", i + 1);
        if (!LoadTexture(name, name, "Failed to load cloud texture",
                         "Failed to extract cloud texture raster", &t.clouds[i],
                         &t.cloudRasters[i]))
            return 0;
    }
    return 1;
}

void MV2ShutdownRocksAndClouds() {
    MV2RockTunnel& t = gMV2RockTunnel;
    for (int32_t i = 0; i < kMV2RockTextures; i++) {
        if (t.rocks[i]) TvTextureDestroy(t.rocks[i]);
        t.rocks[i] = nullptr;
        t.rockRasters[i] = nullptr;
    }
    for (int32_t i = 0; i < kMV2CloudTextures; i++) {
        if (t.clouds[i]) TvTextureDestroy(t.clouds[i]);
        t.clouds[i] = nullptr;
        t.cloudRasters[i] = nullptr;
    }
}

void MV2MakeTunnelRing(int32_t i) {
    MV2RockTunnel& t = gMV2RockTunnel;
    MV2TunnelRing& r = t.rings[i];
    const float k = float(t.scroll + i);
    r.cloudSize = 7.0f;
    for (float& radius : r.radii) {
        const float R = float(Random() & 0xFFF);
        radius = (R * 0.00024420026f * 0.4f + 0.8f) *
                 ((std::sin(k * 0.033333335f) * 0.5f + 1.0f) * 1.5f + 3.5f);
        if (1.4f * radius < r.cloudSize) r.cloudSize = 1.4f * radius;
    }
    const float c = std::cos(k * 0.006666667f), s = std::sin(k * 0.0070921984f);
    r.pitch = c * c * 4.0f;
    r.yaw = s * s * 4.0f;
    r.roll = std::sin(k * 0.033333335f) * 5.5f;
    const float toRadians = 0.017453292f;
    r.rotation[0] = std::sin(r.pitch * toRadians);
    r.rotation[1] = std::cos(r.pitch * toRadians);
    r.rotation[2] = std::sin(r.yaw * toRadians);
    r.rotation[3] = std::cos(r.yaw * toRadians);
    r.rotation[4] = std::sin(r.roll * toRadians);
    r.rotation[5] = std::cos(r.roll * toRadians);
    r.cloudTexture = int32_t(Random() & 7);
}

void MV2ApplyRingRotation(TvMatrix* out, const TvMatrix* in, const float* q) {
    const float sx = q[0], cx = q[1], sy = q[2], cy = q[3], sz = q[4], cz = q[5];
    const float R[3][3] = {{cy * cz, cy * sz, -sy},
                           {sx * sy * cz - cx * sz, sx * sy * sz + cx * cz, sx * cy},
                           {cx * sy * cz + sx * sz, cx * sy * sz - sx * cz, cx * cy}};
    const TvV3d r = in->right, u = in->up, a = in->at;
    TvV3d* axes[3] = {&out->right, &out->up, &out->at};
    for (int32_t i = 0; i < 3; i++)
        *axes[i] = TvV3dAdd(TvV3dAdd(TvV3dScale(r, R[i][0]), TvV3dScale(u, R[i][1])),
                            TvV3dScale(a, R[i][2]));
}

void MV2BuildTunnelFrames(int32_t first, int32_t last) {
    MV2RockTunnel& t = gMV2RockTunnel;
    for (int32_t n = first; n <= last; n++) {
        TvMatrix& f = t.frames[n];
        const TvMatrix& p = t.frames[n - 1];
        f.pos = TvV3dAdd(p.pos, TvV3dScale(p.at, 1.4f));
        MV2ApplyRingRotation(&f, &p, t.rings[n - 1].rotation);
        f.pos = TvV3dAdd(f.pos, TvV3dScale(f.at, 1.4f));
        f.flags = 3;
    }
}

void MV2BezierPoint(TvV3d* out, const TvV3d* p0, const TvV3d* p1, const TvV3d* p2,
                    const TvV3d* p3, float t) {
    const float u = 1.0f - t;
    const float a = u * u * u, b = 3 * u * u * t, c = 3 * u * t * t, d = t * t * t;
    *out = TvV3dAdd(TvV3dAdd(TvV3dScale(*p0, a), TvV3dScale(*p1, b)),
                    TvV3dAdd(TvV3dScale(*p2, c), TvV3dScale(*p3, d)));
}

void MV2StartRockTunnel(const TvV3d* position) {
    MV2RockTunnel& t = gMV2RockTunnel;
    t.distance = 0.0f;
    t.scroll = 0;
    t.speed = 0.0f;
    t.start = position ? *position : TvV3d{0, 0, 0};
    SetIdentityAt(&t.frames[0], t.start);
    for (int32_t i = 0; i < kMV2TunnelRings; i++)
        MV2MakeTunnelRing(i);
    for (int32_t& texture : t.textureTable)
        texture = int32_t(Random() % 6);
    MV2BuildTunnelFrames(1, 12);
}

void MV2SetRockTunnelSpeed(float speed) {
    gMV2RockTunnel.speed = speed;
}

void MV2UpdateRockTunnel() {
    MV2RockTunnel& t = gMV2RockTunnel;
    if (t.speed <= 0.0f) return;
    MV2AdvanceRockTunnel(gMV2FrameTimer.ticks * t.speed);
    t.speed -= gMV2FrameTimer.ticks * 0.02f;
}

void MV2AdvanceRockTunnel(float d) {
    // A long advance goes in parts of fewer than 12 ring spacings, so the point it slides to
    // always lies inside the tunnel and no more than 12 rings are dropped at once.
    while (d >= kMaxStep) {
        Advance(kMaxStep);
        d -= kMaxStep;
    }
    if (d > 0.0f) Advance(d);
}

int32_t MV2TunnelToWorld(TvMatrix* out, const TvMatrix* tm) {
    const MV2RockTunnel& t = gMV2RockTunnel;
    const float s = t.distance + tm->pos.z;
    if (s < 0.0f) return kMV2TunnelBehind;
    const int32_t n = int32_t(s * kRingsPerUnit);
    if (n > 11) return kMV2TunnelBeyond;
    const float f = s * kRingsPerUnit - float(n);
    const TvMatrix& a = t.frames[n];
    const TvMatrix& b = t.frames[n + 1];
    const TvV3d p1 = TvV3dAdd(a.pos, TvV3dScale(a.at, 0.93333334f));
    const TvV3d p2 = TvV3dSub(b.pos, TvV3dScale(b.at, 0.93333334f));
    TvV3d position;
    MV2BezierPoint(&position, &a.pos, &p1, &p2, &b.pos, f);
    const float* q = t.rings[n].rotation;
    const float scaled[6] = {q[0] * f, 1 - (1 - q[1]) * f, q[2] * f,
                             1 - (1 - q[3]) * f, q[4] * f, 1 - (1 - q[5]) * f};
    MV2ApplyRingRotation(out, &a, scaled);
    out->pos = TvV3dAdd(position, TvV3dAdd(TvV3dScale(out->right, tm->pos.x),
                                           TvV3dScale(out->up, tm->pos.y)));
    return kMV2TunnelPlaced;
}

int32_t MV2BuildTunnelPatches() {
    MV2RockTunnel& t = gMV2RockTunnel;
    for (MV2TunnelPatchList& p : t.patches)
        p.count = 0;
    const int32_t c = t.scroll % 4;
    int32_t start = 0, end = 4 - c, row = 0;
    while (start < 12 && row < 5) {
        for (int32_t h = 0; h < 2; h++) {
            MV2TunnelPatchList& list = t.patches[t.textureTable[h * 5 + row]];
            if (list.count >= 10) continue;
            const int32_t i = list.count++;
            list.firstPoint[i] = 5 * h;
            list.firstRing[i] = start;
            list.endPoint[i] = 5 * h + 5;
            list.endRing[i] = end;
        }
        row++;
        start = end;
        end = std::min(start + 4, 12);
    }
    return row;
}

void MV2DrawRockTunnel() {
    MV2RockTunnel& t = gMV2RockTunnel;
    for (int32_t r = 0; r < kMV2TunnelRings; r++) {
        const int32_t k = t.scroll + r;
        const float v = float(r + t.scroll % 4) * 0.25f;
        const TvMatrix& f = t.frames[r];
        for (int32_t j = 0; j < kMV2TunnelPoints; j++) {
            TvIm3DVertex& x = t.vertices[11 * r + j];
            const float radius = t.rings[r].radii[j];
            x.objVertex = TvV3dAdd(f.pos, TvV3dScale(TvV3dAdd(TvV3dScale(f.right, t.cosines[j]),
                                                              TvV3dScale(f.up, t.sines[j])),
                                                     radius));
            x.red = uint8_t(float((k / 3 + j / 4 + 2) % 10) * 25.5f);
            x.green = uint8_t(float((k / 5 + j / 2) % 10) * 25.5f);
            x.blue = uint8_t(float(j) * 25.5f);
            x.alpha = 255;
            x.u = float(j) * 0.2f;
            x.v = v;
        }
        t.vertices[11 * r + 10] = t.vertices[11 * r];
        t.vertices[11 * r + 10].u = 2.0f;
    }
    if (!TvIm3DTransform(t.vertices, kMV2TunnelVertices, nullptr, kTvIm3DVertexUV)) return;
    MV2BuildTunnelPatches();
    TvRenderStateSet(kTvRenderStateShadeMode, 2);
    TvRenderStateSet(kTvRenderStateTextureAddress, 1);
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 0);
    TvRenderStateSet(kTvRenderStateZTestEnable, 1);
    for (int32_t texture = 0; texture < kMV2RockTextures; texture++) {
        TvRenderStateSet(kTvRenderStateTextureRaster, intptr_t(t.rockRasters[texture]));
        const MV2TunnelPatchList& list = t.patches[texture];
        int32_t n = 0;
        for (int32_t p = 0; p < list.count; p++)
            for (int32_t j = list.firstPoint[p]; j < list.endPoint[p]; j++)
                for (int32_t r = list.firstRing[p]; r < list.endRing[p]; r++) {
                    if (n + 6 > kMV2TunnelIndices) break;
                    const uint16_t a = uint16_t(11 * r + j);
                    // Wound to face the inside of the tunnel under the pipeline's back-face
                    // test, which the order a, a + 11, a + 12 would fail.
                    const uint16_t six[6] = {a, uint16_t(a + 12), uint16_t(a + 11),
                                             a, uint16_t(a + 1), uint16_t(a + 12)};
                    for (uint16_t i : six)
                        t.indices[n++] = i;
                }
        if (n > 0) TvIm3DRenderIndexedPrimitive(3, t.indices, n);
    }
    TvIm3DEnd();
}

void MV2DrawTunnelClouds() {
    MV2RockTunnel& t = gMV2RockTunnel;
    TvRenderStateSet(kTvRenderStateShadeMode, 1);
    TvRenderStateSet(kTvRenderStateVertexAlphaEnable, 1);
    TvRenderStateSet(kTvRenderStateSrcBlend, 5);
    TvRenderStateSet(kTvRenderStateDestBlend, 2);
    TvRenderStateSet(kTvRenderStateZTestEnable, 0);
    const float f = t.distance * kRingsPerUnit;
    for (int32_t k = 5; k >= 1; k--) {
        const float a = k >= 2 ? (f + 6.0f - float(k)) * 19.2f : (1.0f - f) * 96.0f;
        const uint8_t alpha = uint8_t(std::clamp(a, 0.0f, 255.0f));
        const TvMatrix& m = t.frames[k];
        const float s = t.rings[k].cloudSize;
        const TvV3d R = TvV3dScale(m.right, s), U = TvV3dScale(m.up, s);
        TvIm3DVertex v[4];
        v[0].objVertex = TvV3dAdd(m.pos, TvV3dSub(U, R));
        v[1].objVertex = TvV3dAdd(m.pos, TvV3dAdd(R, U));
        v[2].objVertex = TvV3dSub(m.pos, TvV3dAdd(R, U));
        v[3].objVertex = TvV3dAdd(m.pos, TvV3dSub(R, U));
        const float uv[4][2] = {{0, 1}, {1, 1}, {0, 0}, {1, 0}};
        for (int32_t i = 0; i < 4; i++) {
            v[i].u = uv[i][0];
            v[i].v = uv[i][1];
            v[i].red = 64;
            v[i].green = 128;
            v[i].blue = 255;
            v[i].alpha = alpha;
        }
        if (!TvIm3DTransform(v, 4, nullptr, kTvIm3DVertexUV)) continue;
        TvRenderStateSet(kTvRenderStateTextureRaster,
                         intptr_t(t.cloudRasters[t.rings[k].cloudTexture & 7]));
        uint16_t indices[6] = {0, 2, 1, 2, 3, 1}; // facing back along the tunnel
        TvIm3DRenderIndexedPrimitive(3, indices, 6);
        TvIm3DEnd();
    }
    TvRenderStateSet(kTvRenderStateZTestEnable, 1);
}
