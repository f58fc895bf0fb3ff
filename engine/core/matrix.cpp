#include "engine/core/matrix.h"

#include <cmath>
#include <initializer_list>

#include "engine/core/engine.h"
#include "engine/core/engine_modules.h"
#include "engine/core/error.h"
#include "engine/core/memory.h"

namespace {

TvModuleGlobals matrixModule;

TvMatrixModule* TvMatrixModuleData() {
    return TvEngineModuleData<TvMatrixModule>(matrixModule);
}

constexpr float kDegToRad = 0.017453292f;
constexpr float kRadToDeg = 57.29578f;

bool IsOrthoNormal(const TvMatrix* m) {
    return (m->flags & kTvMatrixOrthoNormal) == kTvMatrixOrthoNormal;
}

void CopyValues(TvMatrix* dst, const TvMatrix* src) {
    dst->right = src->right;
    dst->up = src->up;
    dst->at = src->at;
    dst->pos = src->pos;
}

TvV3d RowTimes(const TvV3d& v, const TvMatrix* b) {
    return {v.x * b->right.x + v.y * b->up.x + v.z * b->at.x,
            v.x * b->right.y + v.y * b->up.y + v.z * b->at.y,
            v.x * b->right.z + v.y * b->up.z + v.z * b->at.z};
}

// Computes all values before storing, so it stays correct when dst aliases an operand.
void MultiplyBuiltin(TvMatrix* dst, const TvMatrix* a, const TvMatrix* b) {
    const TvV3d right = RowTimes(a->right, b);
    const TvV3d up = RowTimes(a->up, b);
    const TvV3d at = RowTimes(a->at, b);
    const TvV3d pos = TvV3dAdd(RowTimes(a->pos, b), b->pos);
    dst->right = right;
    dst->up = up;
    dst->at = at;
    dst->pos = pos;
}

bool ValidCombine(int32_t combine) {
    if (combine >= kTvCombineReplace && combine <= kTvCombinePostConcat) return true;
    TvErrorCore(E_TV_INVALIDPARAM, "Invalid combination type");
    return false;
}

// Adjugate of the 3x3 part, divided by the determinant unless that is exactly 0.
void GeneralInverse3x3(TvMatrix* out, const TvMatrix* m) {
    const TvV3d r = m->right, u = m->up, a = m->at;
    TvV3d c0 = TvV3dCross(u, a); // first column of the adjugate
    TvV3d c1 = TvV3dCross(a, r);
    TvV3d c2 = TvV3dCross(r, u);
    const float det = TvV3dDot(r, c0);
    if (det != 0.0f) {
        const float inv = 1.0f / det;
        c0 = TvV3dScale(c0, inv);
        c1 = TvV3dScale(c1, inv);
        c2 = TvV3dScale(c2, inv);
    }
    out->right = {c0.x, c1.x, c2.x};
    out->up = {c0.y, c1.y, c2.y};
    out->at = {c0.z, c1.z, c2.z};
}

TvV3d NormalizedFast(const TvV3d& v) {
    TvV3d out;
    TvV3dNormalizeFast(&out, &v);
    return out;
}

} // namespace

void TvMatrixSetIdentity(TvMatrix* m) {
    m->right = {1.0f, 0.0f, 0.0f};
    m->up = {0.0f, 1.0f, 0.0f};
    m->at = {0.0f, 0.0f, 1.0f};
    m->pos = {0.0f, 0.0f, 0.0f};
    m->flags = kTvMatrixIdentity | kTvMatrixOrthoNormal;
}

TvMatrix* TvMatrixCreate() {
    auto* m = static_cast<TvMatrix*>(TvFreeListAlloc(TvMatrixModuleData()->freeList));
    if (!m) return nullptr;
    TvMatrixSetIdentity(m);
    m->counter = 0;
    return m;
}

bool TvMatrixDestroy(TvMatrix* matrix) {
    TvFreeListFree(TvMatrixModuleData()->freeList, matrix);
    return true;
}

void TvMatrixUpdate(TvMatrix* matrix) {
    matrix->flags &= ~(kTvMatrixOrthoNormal | kTvMatrixIdentity);
    matrix->counter++;
}

TvMatrix* TvMatrixMultiply(TvMatrix* dst, const TvMatrix* a, const TvMatrix* b) {
    const TvMatrixModule* mod = TvMatrixModuleData();
    if (mod->options & kTvMatrixOptIdentity) {
        const TvMatrix* whole = (a->flags & kTvMatrixIdentity)   ? b
                                : (b->flags & kTvMatrixIdentity) ? a
                                                                 : nullptr;
        if (whole) {
            *dst = *whole;
            dst->counter++;
            return dst;
        }
    }
    const bool ortho = IsOrthoNormal(a) && IsOrthoNormal(b);
    if (dst == a || dst == b) {
        // An installed multiply may write while it reads: go through a local.
        TvMatrix product{};
        mod->multiply(&product, a, b);
        CopyValues(dst, &product);
    } else {
        mod->multiply(dst, a, b);
    }
    dst->flags &= ~(kTvMatrixIdentity | kTvMatrixOrthoNormal);
    if (ortho) dst->flags |= kTvMatrixOrthoNormal;
    dst->counter++;
    return dst;
}

TvMatrix* TvMatrixRotate(TvMatrix* matrix, const TvV3d* axis, float degrees, int32_t combine) {
    if (!ValidCombine(combine)) return nullptr;
    const TvV3d n = NormalizedFast(*axis);
    const float angle = degrees * kDegToRad;
    const float s = std::sin(angle);
    const float t = 1.0f - std::cos(angle);
    const float x = n.x, y = n.y, z = n.z;

    TvMatrix rot{};
    rot.right = {1.0f - t * (1.0f - x * x), t * x * y + s * z, t * x * z - s * y};
    rot.up = {t * x * y - s * z, 1.0f - t * (1.0f - y * y), t * y * z + s * x};
    rot.at = {t * x * z + s * y, t * y * z - s * x, 1.0f - t * (1.0f - z * z)};
    rot.pos = {0.0f, 0.0f, 0.0f};
    rot.flags = kTvMatrixOrthoNormal;

    TvMatrix product{};
    const TvMatrix* result = &rot;
    if (combine == kTvCombinePreConcat) {
        result = TvMatrixMultiply(&product, &rot, matrix);
    } else if (combine == kTvCombinePostConcat) {
        result = TvMatrixMultiply(&product, matrix, &rot);
    }
    CopyValues(matrix, result);
    matrix->flags &= ~kTvMatrixIdentity;
    matrix->counter++;
    return matrix;
}

TvMatrix* TvMatrixScale(TvMatrix* matrix, const TvV3d* scale, int32_t combine) {
    if (!ValidCombine(combine)) return nullptr;
    const TvV3d s = *scale;
    switch (combine) {
    case kTvCombineReplace:
        TvMatrixSetIdentity(matrix);
        matrix->right.x = s.x;
        matrix->up.y = s.y;
        matrix->at.z = s.z;
        break;
    case kTvCombinePreConcat:
        matrix->right = TvV3dScale(matrix->right, s.x);
        matrix->up = TvV3dScale(matrix->up, s.y);
        matrix->at = TvV3dScale(matrix->at, s.z);
        break;
    default:
        for (TvV3d* row : {&matrix->right, &matrix->up, &matrix->at, &matrix->pos}) {
            row->x *= s.x;
            row->y *= s.y;
            row->z *= s.z;
        }
        break;
    }
    matrix->flags &= ~(kTvMatrixIdentity | kTvMatrixOrthoNormal);
    matrix->counter++;
    return matrix;
}

TvMatrix* TvMatrixTranslate(TvMatrix* matrix, const TvV3d* v, int32_t combine) {
    if (!ValidCombine(combine)) return nullptr;
    switch (combine) {
    case kTvCombineReplace: {
        const uint32_t flags = matrix->flags;
        TvMatrixSetIdentity(matrix);
        matrix->flags = flags;
        matrix->pos = *v;
        break;
    }
    case kTvCombinePreConcat: matrix->pos = TvV3dAdd(matrix->pos, RowTimes(*v, matrix)); break;
    default: matrix->pos = TvV3dAdd(matrix->pos, *v); break;
    }
    matrix->flags &= ~kTvMatrixIdentity;
    matrix->counter++;
    return matrix;
}

TvMatrix* TvMatrixTransform(TvMatrix* matrix, const TvMatrix* transform, int32_t combine) {
    if (!ValidCombine(combine)) return nullptr;
    if (combine == kTvCombineReplace) {
        // The flags describe the new values, so they come with them.
        CopyValues(matrix, transform);
        matrix->flags = transform->flags;
        matrix->counter++;
        return matrix;
    }
    TvMatrix product{};
    if (combine == kTvCombinePreConcat) {
        TvMatrixMultiply(&product, transform, matrix);
    } else {
        TvMatrixMultiply(&product, matrix, transform);
    }
    CopyValues(matrix, &product);
    matrix->flags &= ~(kTvMatrixIdentity | kTvMatrixOrthoNormal);
    matrix->counter++;
    return matrix;
}

TvMatrix* TvMatrixInvert(TvMatrix* dst, const TvMatrix* src) {
    if ((src->flags & kTvMatrixIdentity) &&
        (TvMatrixModuleData()->options & kTvMatrixOptIdentity)) {
        *dst = *src;
        return dst;
    }
    TvMatrix inv{};
    if (IsOrthoNormal(src)) {
        inv.right = {src->right.x, src->up.x, src->at.x};
        inv.up = {src->right.y, src->up.y, src->at.y};
        inv.at = {src->right.z, src->up.z, src->at.z};
        inv.pos = {-TvV3dDot(src->pos, src->right), -TvV3dDot(src->pos, src->up),
                   -TvV3dDot(src->pos, src->at)};
        CopyValues(dst, &inv);
        dst->flags = (dst->flags & ~kTvMatrixIdentity) | kTvMatrixOrthoNormal;
    } else {
        GeneralInverse3x3(&inv, src);
        inv.pos = TvV3dScale(RowTimes(src->pos, &inv), -1.0f);
        CopyValues(dst, &inv);
        // The source is not known to be orthonormal, so neither is its inverse.
        dst->flags &= ~(kTvMatrixIdentity | kTvMatrixOrthoNormal);
    }
    dst->counter++;
    return dst;
}

TvMatrix* TvMatrixOrthoNormalize(TvMatrix* dst, const TvMatrix* src) {
    TvV3d r, u, a;
    const float rf = TvV3dNormalizeFast(&r, &src->right);
    const float uf = TvV3dNormalizeFast(&u, &src->up);
    const float af = TvV3dNormalizeFast(&a, &src->at);

    enum { KeepUp, KeepAt, KeepRight } keep;
    if (rf == 0.0f) {
        keep = KeepUp;
    } else if (uf == 0.0f) {
        keep = KeepAt;
    } else if (af == 0.0f) {
        keep = KeepRight;
    } else {
        const float au = std::fabs(TvV3dDot(a, u));
        const float ar = std::fabs(TvV3dDot(a, r));
        const float ur = std::fabs(TvV3dDot(u, r));
        if (au < ar && au < ur) {
            keep = KeepUp;
        } else if (ar <= au && ar < ur) {
            keep = KeepAt;
        } else {
            keep = KeepRight;
        }
    }
    switch (keep) {
    case KeepUp:
        r = NormalizedFast(TvV3dCross(u, a));
        a = NormalizedFast(TvV3dCross(r, u));
        break;
    case KeepAt:
        u = NormalizedFast(TvV3dCross(a, r));
        r = NormalizedFast(TvV3dCross(u, a));
        break;
    case KeepRight:
        a = NormalizedFast(TvV3dCross(r, u));
        u = NormalizedFast(TvV3dCross(a, r));
        break;
    }
    dst->right = r;
    dst->up = u;
    dst->at = a;
    dst->pos = src->pos;
    dst->flags = (dst->flags & ~kTvMatrixIdentity) | kTvMatrixOrthoNormal;
    dst->counter++;
    return dst;
}

const TvMatrix* TvMatrixQueryRotate(const TvMatrix* m, TvV3d* axis, float* degrees, TvV3d* center) {
    // The skew-symmetric part holds 2 sin(angle) times the axis.
    TvV3d skew = {m->up.z - m->at.y, m->at.x - m->right.z, m->right.y - m->up.x};
    const float trace = m->right.x + m->up.y + m->at.z;
    const float skewLength = std::sqrt(TvV3dDot(skew, skew));
    *degrees = std::atan2(skewLength, trace - 1.0f) * kRadToDeg;

    TvV3d n = {0.0f, 0.0f, 1.0f};
    if (skewLength >= 0.01f) {
        n = TvV3dScale(skew, 1.0f / skewLength);
    } else {
        // Near 0 or 180 degrees: the diagonal gives the axis, d_i = 1 - t (1 - n_i^2).
        const float t = 1.0f - (trace - 1.0f) * 0.5f;
        if (t > 1e-6f) {
            const float d[3] = {m->right.x, m->up.y, m->at.z};
            // Symmetric sums: s[i][j] = 2 t n_i n_j.
            const float sxy = m->right.y + m->up.x;
            const float sxz = m->right.z + m->at.x;
            const float syz = m->up.z + m->at.y;
            int k = 0;
            if (d[1] > d[k]) k = 1;
            if (d[2] > d[k]) k = 2;
            const float nk = std::sqrt(std::fmax(0.0f, (d[k] - 1.0f) / t + 1.0f));
            const float f = nk > 0.0f ? 1.0f / (2.0f * t * nk) : 0.0f;
            if (k == 0) n = {nk, sxy * f, sxz * f};
            if (k == 1) n = {sxy * f, nk, syz * f};
            if (k == 2) n = {sxz * f, syz * f, nk};
            const float len = std::sqrt(TvV3dDot(n, n));
            if (len > 0.0f) n = TvV3dScale(n, 1.0f / len);
            // Keep the axis on the side that the small skew part points to.
            if (TvV3dDot(n, skew) < 0.0f) n = TvV3dScale(n, -1.0f);
        }
    }
    *axis = n;

    // A fixed point c solves c (I - M) = pos. I - M is singular along the axis, so the
    // axis direction is added back (n^T n) to give the fixed point nearest the origin.
    TvMatrix k{};
    const TvV3d* rows[3] = {&m->right, &m->up, &m->at};
    TvV3d* out[3] = {&k.right, &k.up, &k.at};
    const float nc[3] = {n.x, n.y, n.z};
    for (int i = 0; i < 3; ++i) {
        const float id[3] = {i == 0 ? 1.0f : 0.0f, i == 1 ? 1.0f : 0.0f, i == 2 ? 1.0f : 0.0f};
        *out[i] = {id[0] - rows[i]->x + nc[i] * n.x, id[1] - rows[i]->y + nc[i] * n.y,
                   id[2] - rows[i]->z + nc[i] * n.z};
    }
    TvMatrix inv{};
    GeneralInverse3x3(&inv, &k);
    *center = RowTimes(m->pos, &inv);
    return m;
}

bool TvMatrixSetMultiplyFunction(TvMatrixMultiplyFn fn) {
    TvMatrixModuleData()->multiply = fn ? fn : MultiplyBuiltin;
    return true;
}

bool TvMatrixSetOptimizations(uint32_t mask) {
    TvMatrixModuleData()->options = mask;
    return true;
}

float TvMatrixDeterminant(const TvMatrix* m) {
    return TvV3dDot(m->right, TvV3dCross(m->up, m->at));
}

float TvMatrixNonOrthogonality(const TvMatrix* m) {
    const float ru = TvV3dDot(m->right, m->up);
    const float ra = TvV3dDot(m->right, m->at);
    const float ua = TvV3dDot(m->up, m->at);
    return ru * ru + ra * ra + ua * ua;
}

float TvMatrixNonNormality(const TvMatrix* m) {
    float sum = 0.0f;
    for (const TvV3d* row : {&m->right, &m->up, &m->at}) {
        const float e = TvV3dDot(*row, *row) - 1.0f;
        sum += e * e;
    }
    return sum;
}

const int32_t _TvMatrixModuleDataSize = sizeof(TvMatrixModule);

void* _TvMatrixModuleOpen(void* instance, int32_t offset, int32_t) {
    auto* mod = static_cast<TvMatrixModule*>(TvEngineInstanceData(instance, offset));
    mod->freeList = TvFreeListCreate(sizeof(TvMatrix), 5);
    if (!mod->freeList) return nullptr;
    mod->options = kTvMatrixOptIdentity;
    mod->multiply = MultiplyBuiltin;
    return TvModuleOpened(matrixModule, instance, offset);
}

void* _TvMatrixModuleClose(void* instance, int32_t offset, int32_t) {
    auto* mod = static_cast<TvMatrixModule*>(TvEngineInstanceData(instance, offset));
    TvFreeListDestroy(mod->freeList);
    mod->freeList = nullptr;
    return TvModuleClosed(matrixModule, instance);
}
