#include "engine/core/d3d/fpu.h"

#include <cfenv>

namespace {
int g_savedRounding = FE_TONEAREST;
}

void TvD3DFPUSetPrecision() {
    g_savedRounding = fegetround();
    fesetround(FE_DOWNWARD);
}

void TvD3DFPURestore() {
    fesetround(g_savedRounding);
}

void TvD3DMatrixMultiply(TvMatrix* dst, const TvMatrix* a, const TvMatrix* b) {
    // Each row of a is read whole before that row of dst is written, so dst may be a.
    auto row = [b](TvV3d& out, const TvV3d in) {
        out.x = in.x * b->right.x + in.y * b->up.x + in.z * b->at.x;
        out.y = in.x * b->right.y + in.y * b->up.y + in.z * b->at.y;
        out.z = in.x * b->right.z + in.y * b->up.z + in.z * b->at.z;
    };
    row(dst->right, a->right);
    row(dst->up, a->up);
    row(dst->at, a->at);
    row(dst->pos, a->pos);
    dst->pos.x += b->pos.x;
    dst->pos.y += b->pos.y;
    dst->pos.z += b->pos.z;
}
