// The 4x3 affine matrix with flags that let common cases skip work.
#pragma once

#include <cstdint>

#include "engine/core/vector.h"

// Points are row vectors: p maps to p.x right + p.y up + p.z at + pos.
struct TvMatrix {
    TvV3d right;
    TvV3d up;
    TvV3d at;
    TvV3d pos;
    uint32_t flags;
    uint8_t counter;
};

// Both low bits together: the axes are unit length and mutually perpendicular.
inline constexpr uint32_t kTvMatrixOrthogonal = 0x00000001;
inline constexpr uint32_t kTvMatrixNormal = 0x00000002;
inline constexpr uint32_t kTvMatrixOrthoNormal = kTvMatrixOrthogonal | kTvMatrixNormal;
inline constexpr uint32_t kTvMatrixIdentity = 0x00020000;

// Option mask bit: skip multiply and invert work for matrices flagged identity.
inline constexpr uint32_t kTvMatrixOptIdentity = 0x00020000;

enum TvCombineOp : int32_t {
    kTvCombineReplace = 0,
    kTvCombinePreConcat = 1,  // the new transformation applies before the matrix
    kTvCombinePostConcat = 2, // the new transformation applies after the matrix
};

// Computes the twelve values of a x b into dst; dst must differ from a and b.
using TvMatrixMultiplyFn = void (*)(TvMatrix* dst, const TvMatrix* a, const TvMatrix* b);

struct TvFreeList;

// Matrix module data (module 0x402).
struct TvMatrixModule {
    TvFreeList* freeList;
    uint32_t options;
    TvMatrixMultiplyFn multiply;
};

TvMatrix* TvMatrixCreate();
bool TvMatrixDestroy(TvMatrix* matrix);
void TvMatrixUpdate(TvMatrix* matrix);
TvMatrix* TvMatrixMultiply(TvMatrix* dst, const TvMatrix* a, const TvMatrix* b);
TvMatrix* TvMatrixOrthoNormalize(TvMatrix* dst, const TvMatrix* src);
TvMatrix* TvMatrixRotate(TvMatrix* matrix, const TvV3d* axis, float degrees, int32_t combine);
TvMatrix* TvMatrixInvert(TvMatrix* dst, const TvMatrix* src);
TvMatrix* TvMatrixScale(TvMatrix* matrix, const TvV3d* scale, int32_t combine);
TvMatrix* TvMatrixTranslate(TvMatrix* matrix, const TvV3d* translation, int32_t combine);
TvMatrix* TvMatrixTransform(TvMatrix* matrix, const TvMatrix* transform, int32_t combine);
const TvMatrix* TvMatrixQueryRotate(const TvMatrix* matrix, TvV3d* axis, float* degrees,
                                    TvV3d* center);
bool TvMatrixSetMultiplyFunction(TvMatrixMultiplyFn fn);
bool TvMatrixSetOptimizations(uint32_t mask);

// Sets m to the identity (flags 0x20003); the counter is kept.
void TvMatrixSetIdentity(TvMatrix* m);

// Checks used when loading stored matrices.
float TvMatrixDeterminant(const TvMatrix* m);
float TvMatrixNonOrthogonality(const TvMatrix* m);
float TvMatrixNonNormality(const TvMatrix* m);
