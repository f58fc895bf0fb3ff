// The driver's rounding control around camera drawing and its matrix multiply.
#include "engine/core/d3d/fpu.h"

#include <gtest/gtest.h>

#include <cfenv>
#include <cmath>

namespace {

TEST(D3DFpuTest, RoundsDownBetweenSetAndRestore) {
    ASSERT_EQ(fesetround(FE_TONEAREST), 0);
    volatile float up = 2.7f, down = -2.3f;
    TvD3DFPUSetPrecision();
    EXPECT_EQ(lrintf(up), 2);
    EXPECT_EQ(lrintf(down), -3);
    TvD3DFPURestore();
    EXPECT_EQ(fegetround(), FE_TONEAREST);
    EXPECT_EQ(lrintf(up), 3);

    // Restore brings back whatever mode was in force, not always nearest.
    fesetround(FE_TOWARDZERO);
    TvD3DFPUSetPrecision();
    TvD3DFPURestore();
    EXPECT_EQ(fegetround(), FE_TOWARDZERO);
    fesetround(FE_TONEAREST);
}

// Rows right, up, at, position holding base, base + 1, ... base + 11.
TvMatrix Make(float base) {
    TvMatrix m = {};
    TvV3d* rows[4] = {&m.right, &m.up, &m.at, &m.pos};
    for (int i = 0; i < 12; ++i)
        (&rows[i / 3]->x)[i % 3] = base + static_cast<float>(i);
    m.flags = 0x1234;
    m.counter = 7;
    return m;
}

// Reference: the affine product with rows as vectors.
TvMatrix Reference(const TvMatrix& a, const TvMatrix& b) {
    TvMatrix d = a;
    const TvV3d* in[4] = {&a.right, &a.up, &a.at, &a.pos};
    TvV3d* out[4] = {&d.right, &d.up, &d.at, &d.pos};
    for (int r = 0; r < 4; ++r) {
        for (int c = 0; c < 3; ++c) {
            float v = (&in[r]->x)[0] * (&b.right.x)[c] + (&in[r]->x)[1] * (&b.up.x)[c] +
                      (&in[r]->x)[2] * (&b.at.x)[c];
            if (r == 3) v += (&b.pos.x)[c];
            (&out[r]->x)[c] = v;
        }
    }
    return d;
}

void ExpectRows(const TvMatrix& got, const TvMatrix& want) {
    const float* g = &got.right.x;
    const float* w = &want.right.x;
    for (int i = 0; i < 12; ++i)
        EXPECT_FLOAT_EQ(g[i], w[i]) << "float " << i;
}

TEST(D3DFpuTest, MatrixMultiplyTreatsPositionAsAffineAndAllowsDestinationA) {
    TvMatrix a = Make(1.0f), b = Make(-2.0f);
    TvMatrix want = Reference(a, b);
    TvMatrix dst = {};
    dst.flags = 0xAA;
    dst.counter = 3;
    TvD3DMatrixMultiply(&dst, &a, &b);
    ExpectRows(dst, want);
    EXPECT_EQ(dst.flags, 0xAAu); // flags and counter are the caller's
    EXPECT_EQ(dst.counter, 3);
    EXPECT_FLOAT_EQ(want.pos.x, 10 * -2.0f + 11 * 1.0f + 12 * 4.0f + 7.0f);

    TvD3DMatrixMultiply(&a, &a, &b);
    ExpectRows(a, want);
}

} // namespace
