#include "engine/core/vector.h"

#include <bit>
#include <cmath>
#include <initializer_list>
#include <cstring>

#include "engine/core/engine.h"
#include "engine/core/engine_modules.h"
#include "engine/core/error.h"
#include "engine/core/matrix.h"

namespace {

TvModuleGlobals vectorModule;

TvVectorModule* TvVectorModuleData() {
    return TvEngineModuleData<TvVectorModule>(vectorModule);
}

// The table index is the lowest exponent bit and the 11 highest mantissa bits, rounded.
uint32_t RootIndex(uint32_t bits) {
    return ((bits + 2048u) >> 12) & 0xFFFu;
}

// Argument bit pattern covered by table entry i: 1.0 to 2.0 for 2048-4095, 2.0 to 4.0 below.
uint32_t TableArgument(uint32_t i) {
    return i >= 2048 ? 0x3F800000u + (i - 2048u) * 0x1000u : 0x40000000u + i * 0x1000u;
}

void FillRootTables(uint32_t* sqrtTable, uint32_t* invTable) {
    for (uint32_t i = 0; i < static_cast<uint32_t>(kTvRootTableSize); ++i) {
        const float x = std::bit_cast<float>(TableArgument(i));
        const uint32_t root = std::bit_cast<uint32_t>(std::sqrt(x));
        const uint32_t inv = std::bit_cast<uint32_t>(1.0f / std::sqrt(x));
        const bool low = i >= 2048; // argument in 1.0 to 2.0
        sqrtTable[i] = root - (low ? 0x1FC00000u : 0x20000000u);
        invTable[i] = inv - (low ? 0x20000000u : 0x1FC00000u);
    }
}

TvV3d* TransformPointsBuiltin(TvV3d* out, const TvV3d* in, int32_t count, const TvMatrix* m) {
    for (int32_t i = 0; i < count; ++i) {
        const TvV3d p = in[i];
        out[i] = {p.x * m->right.x + p.y * m->up.x + p.z * m->at.x + m->pos.x,
                  p.x * m->right.y + p.y * m->up.y + p.z * m->at.y + m->pos.y,
                  p.x * m->right.z + p.y * m->up.z + p.z * m->at.z + m->pos.z};
    }
    return out;
}

TvV3d* TransformVectorsBuiltin(TvV3d* out, const TvV3d* in, int32_t count, const TvMatrix* m) {
    for (int32_t i = 0; i < count; ++i) {
        const TvV3d p = in[i];
        out[i] = {p.x * m->right.x + p.y * m->up.x + p.z * m->at.x,
                  p.x * m->right.y + p.y * m->up.y + p.z * m->at.y,
                  p.x * m->right.z + p.y * m->up.z + p.z * m->at.z};
    }
    return out;
}

float SquaredLength(const TvV3d* v) {
    return v->x * v->x + v->y * v->y + v->z * v->z;
}

} // namespace

float TvSqrt(const float* value) {
    const uint32_t bits = std::bit_cast<uint32_t>(*value);
    if (bits == 0) return 0.0f;
    const TvVectorModule* mod = TvVectorModuleData();
    const uint32_t r = mod->sqrtTable[RootIndex(bits)] + (((bits + 2048u) >> 1) & 0x3FC00000u);
    return std::bit_cast<float>(r);
}

float TvInvSqrt(const float* value) {
    const uint32_t bits = std::bit_cast<uint32_t>(*value);
    if (bits == 0) return 0.0f;
    const TvVectorModule* mod = TvVectorModuleData();
    const uint32_t r = mod->invSqrtTable[RootIndex(bits)] + ((~(bits + 2048u) >> 1) & 0x3FC00000u);
    return std::bit_cast<float>(r);
}

float TvV3dLength(const TvV3d* v) {
    const float sq = SquaredLength(v);
    return TvSqrt(&sq);
}

float TvV3dNormalizeFast(TvV3d* out, const TvV3d* in) {
    const float sq = SquaredLength(in);
    const float inv = TvInvSqrt(&sq);
    *out = TvV3dScale(*in, inv);
    return inv;
}

float TvV3dNormalize(TvV3d* out, const TvV3d* in) {
    const float sq = SquaredLength(in);
    if (sq <= 0.0f) {
        *out = {0.0f, 0.0f, 0.0f};
        TvErrorCore(E_TV_ZEROLENGTH);
        return 0.0f;
    }
    const float inv = TvInvSqrt(&sq);
    *out = TvV3dScale(*in, inv);
    return sq * inv;
}

TvV3d* TvV3dTransformPoints(TvV3d* out, const TvV3d* in, int32_t count, const TvMatrix* matrix) {
    return TvVectorModuleData()->transformPoints(out, in, count, matrix);
}

TvV3d* TvV3dTransformVectors(TvV3d* out, const TvV3d* in, int32_t count, const TvMatrix* matrix) {
    return TvVectorModuleData()->transformVectors(out, in, count, matrix);
}

TvBBox* TvBBoxInitialize(TvBBox* box, const TvV3d* point) {
    box->sup = *point;
    box->inf = *point;
    return box;
}

TvBBox* TvBBoxAddPoint(TvBBox* box, const TvV3d* p) {
    box->sup = {std::fmax(box->sup.x, p->x), std::fmax(box->sup.y, p->y),
                std::fmax(box->sup.z, p->z)};
    box->inf = {std::fmin(box->inf.x, p->x), std::fmin(box->inf.y, p->y),
                std::fmin(box->inf.z, p->z)};
    return box;
}

TvBBox* TvBBoxCalculate(TvBBox* box, const TvV3d* points, int32_t count) {
    if (count <= 0) return box; // no point to start from
    TvBBoxInitialize(box, &points[0]);
    for (int32_t i = 1; i < count; ++i)
        TvBBoxAddPoint(box, &points[i]);
    return box;
}

bool TvBBoxContainsPoint(const TvBBox* box, const TvV3d* p) {
    return box->inf.x <= p->x && p->x <= box->sup.x && box->inf.y <= p->y && p->y <= box->sup.y &&
           box->inf.z <= p->z && p->z <= box->sup.z;
}

const int32_t _TvVectorModuleDataSize = sizeof(TvVectorModule);

void* _TvVectorModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* mod = static_cast<TvVectorModule*>(TvEngineInstanceData(instance, offset));
    const size_t bytes = sizeof(uint32_t) * kTvRootTableSize;
    mod->sqrtTable = static_cast<uint32_t*>(TvMalloc(bytes));
    mod->invSqrtTable = static_cast<uint32_t*>(TvMalloc(bytes));
    if (!mod->sqrtTable || !mod->invSqrtTable) {
        TvFree(mod->sqrtTable);
        TvFree(mod->invSqrtTable);
        mod->sqrtTable = mod->invSqrtTable = nullptr;
        TvErrorCore(E_TV_NOMEM);
        return nullptr;
    }
    FillRootTables(mod->sqrtTable, mod->invSqrtTable);
    mod->transformPoints = TransformPointsBuiltin;
    mod->transformVectors = TransformVectorsBuiltin;
    return TvModuleOpened(vectorModule, instance, offset);
}

void* _TvVectorModuleClose(void* instance, int32_t offset, int32_t) {
    auto* mod = static_cast<TvVectorModule*>(TvEngineInstanceData(instance, offset));
    TvFree(mod->sqrtTable);
    TvFree(mod->invSqrtTable);
    mod->sqrtTable = mod->invSqrtTable = nullptr;
    return TvModuleClosed(vectorModule, instance);
}
