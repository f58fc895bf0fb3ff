// 3-D and 2-D vectors, spheres, bounding boxes and the table square roots.
#pragma once

#include <cstdint>

struct TvMatrix;

struct TvV3d {
    float x;
    float y;
    float z;
};

struct TvV2d {
    float x;
    float y;
};

struct TvSphere {
    TvV3d center;
    float radius;
};

// Maximum corner first, then minimum corner.
struct TvBBox {
    TvV3d sup;
    TvV3d inf;
};

// Replaceable transform of `count` vectors through a matrix; returns `out`.
using TvV3dTransformFn = TvV3d* (*)(TvV3d* out, const TvV3d* in, int32_t count,
                                    const TvMatrix* matrix);

// Vector module data (module 0x401).
struct TvVectorModule {
    uint32_t* sqrtTable;
    uint32_t* invSqrtTable;
    TvV3dTransformFn transformPoints;
    TvV3dTransformFn transformVectors;
};

// Entries in each root table.
inline constexpr int32_t kTvRootTableSize = 4096;

float TvSqrt(const float* value);
float TvInvSqrt(const float* value);

float TvV3dLength(const TvV3d* v);
float TvV3dNormalize(TvV3d* out, const TvV3d* in);
float TvV3dNormalizeFast(TvV3d* out, const TvV3d* in);
TvV3d* TvV3dTransformPoints(TvV3d* out, const TvV3d* in, int32_t count, const TvMatrix* matrix);
TvV3d* TvV3dTransformVectors(TvV3d* out, const TvV3d* in, int32_t count, const TvMatrix* matrix);

// Plain helpers.
inline float TvV3dDot(const TvV3d& a, const TvV3d& b) {
    return a.x * b.x + a.y * b.y + a.z * b.z;
}
inline TvV3d TvV3dCross(const TvV3d& a, const TvV3d& b) {
    return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline TvV3d TvV3dAdd(const TvV3d& a, const TvV3d& b) {
    return {a.x + b.x, a.y + b.y, a.z + b.z};
}
inline TvV3d TvV3dSub(const TvV3d& a, const TvV3d& b) {
    return {a.x - b.x, a.y - b.y, a.z - b.z};
}
inline TvV3d TvV3dScale(const TvV3d& a, float s) {
    return {a.x * s, a.y * s, a.z * s};
}

TvBBox* TvBBoxCalculate(TvBBox* box, const TvV3d* points, int32_t count);
TvBBox* TvBBoxInitialize(TvBBox* box, const TvV3d* point);
TvBBox* TvBBoxAddPoint(TvBBox* box, const TvV3d* point);
bool TvBBoxContainsPoint(const TvBBox* box, const TvV3d* point);
