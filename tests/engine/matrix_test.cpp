#include <gtest/gtest.h>

#include <cmath>
#include <cstring>

#include "engine/core/error.h"
#include "engine/core/matrix.h"
#include "tests/support/null_device.h"

namespace {

constexpr float kTol = 2e-3f; // table roots carry about 11 bits

void ExpectV3d(const TvV3d& v, float x, float y, float z, float tol = kTol) {
    EXPECT_NEAR(v.x, x, tol);
    EXPECT_NEAR(v.y, y, tol);
    EXPECT_NEAR(v.z, z, tol);
}

void ExpectIdentityValues(const TvMatrix& m, float tol = kTol) {
    ExpectV3d(m.right, 1, 0, 0, tol);
    ExpectV3d(m.up, 0, 1, 0, tol);
    ExpectV3d(m.at, 0, 0, 1, tol);
    ExpectV3d(m.pos, 0, 0, 0, tol);
}

TvV3d Apply(const TvMatrix& m, TvV3d p) {
    TvV3d out;
    TvV3dTransformPoints(&out, &p, 1, &m);
    return out;
}

TvMatrix Skewed() {
    TvMatrix m{};
    TvMatrixSetIdentity(&m);
    m.right = {2.0f, 0.5f, 0.0f};
    m.up = {0.0f, 3.0f, 1.0f};
    m.at = {1.0f, 0.0f, 0.5f};
    m.pos = {4.0f, -2.0f, 7.0f};
    TvMatrixUpdate(&m);
    return m;
}

class MatrixTest : public ::testing::Test {
protected:
    NullEngine engine;
    TvMatrix* m = nullptr;
    void SetUp() override {
        ASSERT_TRUE(engine.ok());
        m = TvMatrixCreate();
        ASSERT_NE(m, nullptr);
    }
    void TearDown() override {
        if (m) TvMatrixDestroy(m);
    }
};

TEST_F(MatrixTest, CreatedIdentityAndUpdateClearsFlags) {
    EXPECT_EQ(m->flags, 0x20003u);
    EXPECT_EQ(m->counter, 0);
    ExpectIdentityValues(*m, 0.0f);
    TvMatrixUpdate(m);
    EXPECT_EQ(m->flags, 0u);
    EXPECT_EQ(m->counter, 1);
}

TEST_F(MatrixTest, MultiplyAppliesAFirstAndShortcutsIdentity) {
    TvMatrix a = Skewed();
    TvMatrix b{};
    const TvV3d axis = {0, 0, 1};
    TvMatrixRotate(&b, &axis, 90.0f, kTvCombineReplace);
    b.pos = {1, 2, 3};
    TvMatrix ab{};
    TvMatrixMultiply(&ab, &a, &b);
    const TvV3d p = {0.3f, -1.0f, 2.0f};
    const TvV3d want = Apply(b, Apply(a, p));
    ExpectV3d(Apply(ab, p), want.x, want.y, want.z);
    EXPECT_EQ(ab.flags & (kTvMatrixIdentity | kTvMatrixOrthoNormal), 0u);

    // With the identity option the other operand comes back whole, counter advanced.
    a.counter = 41;
    TvMatrix out{};
    TvMatrixMultiply(&out, m, &a);
    EXPECT_EQ(0, memcmp(&out.right, &a.right, sizeof(TvV3d) * 4));
    EXPECT_EQ(out.flags, a.flags);
    EXPECT_EQ(out.counter, 42);
    TvMatrixMultiply(&out, &a, m);
    EXPECT_EQ(out.counter, 42);

    // Without it the product is computed and identity x identity stays orthonormal.
    TvMatrixSetOptimizations(0);
    TvMatrix id2{};
    TvMatrixSetIdentity(&id2);
    out.flags = 0;
    out.counter = 0;
    TvMatrixMultiply(&out, m, &id2);
    ExpectIdentityValues(out, 0.0f);
    EXPECT_EQ(out.flags, kTvMatrixOrthoNormal);
    EXPECT_EQ(out.counter, 1);
}

TEST_F(MatrixTest, MultiplyIntoAnOperandUsesBothOldValues) {
    TvMatrix a = Skewed();
    const TvMatrix b = Skewed();
    TvMatrix expect{};
    TvMatrixMultiply(&expect, &a, &b);
    TvMatrixMultiply(&a, &a, &b);
    EXPECT_EQ(0, memcmp(&a.right, &expect.right, sizeof(TvV3d) * 4));
}

TEST_F(MatrixTest, InstalledMultiplyFunctionIsUsedUntilReset) {
    static int calls;
    calls = 0;
    TvMatrixSetMultiplyFunction([](TvMatrix* d, const TvMatrix*, const TvMatrix*) {
        ++calls;
        d->pos = {9, 9, 9};
    });
    TvMatrix a = Skewed(), out{};
    TvMatrixMultiply(&out, &a, &a);
    EXPECT_EQ(calls, 1);
    EXPECT_EQ(out.pos.x, 9.0f);
    TvMatrixSetMultiplyFunction(nullptr);
    TvMatrixMultiply(&out, &a, &a);
    EXPECT_EQ(calls, 1);
}

TEST_F(MatrixTest, RotateReplaceQuarterTurnAndCombineOrders) {
    const TvV3d z = {0, 0, 2}; // normalised by the call
    ASSERT_EQ(TvMatrixRotate(m, &z, 90.0f, kTvCombineReplace), m);
    const TvV3d p = Apply(*m, {1, 0, 0});
    ExpectV3d(p, 0, 1, 0);
    // Identity bit gone, orthonormal bits kept from the old flags word.
    EXPECT_EQ(m->flags, kTvMatrixOrthoNormal);
    EXPECT_EQ(m->counter, 1);

    // Pre-concatenate applies the rotation before the translation; post after it.
    const TvV3d t = {5, 0, 0};
    TvMatrix pre{}, post{};
    TvMatrixTranslate(&pre, &t, kTvCombineReplace);
    post = pre;
    TvMatrixRotate(&pre, &z, 90.0f, kTvCombinePreConcat);
    TvMatrixRotate(&post, &z, 90.0f, kTvCombinePostConcat);
    ExpectV3d(Apply(pre, {1, 0, 0}), 5, 1, 0);
    ExpectV3d(Apply(post, {1, 0, 0}), 0, 6, 0);
}

TEST_F(MatrixTest, InvalidCombineLeavesMatrixAndReportsError) {
    const TvMatrix before = *m;
    const TvV3d v = {1, 2, 3};
    EXPECT_EQ(TvMatrixRotate(m, &v, 10.0f, 3), nullptr);
    EXPECT_EQ(TvMatrixScale(m, &v, -1), nullptr);
    EXPECT_EQ(TvMatrixTranslate(m, &v, 7), nullptr);
    EXPECT_EQ(TvMatrixTransform(m, m, 3), nullptr);
    EXPECT_EQ(0, memcmp(m, &before, sizeof(TvMatrix)));
    TvErrorRecord err{};
    TvErrorGet(&err);
    EXPECT_EQ(err.pluginID, 0u);
    EXPECT_EQ(err.errorCode, E_TV_INVALIDPARAM);
}

TEST_F(MatrixTest, ScaleAndTranslateCombinations) {
    const TvV3d s = {2, 3, 4};
    const TvV3d t = {1, 1, 1};
    TvMatrix a{};
    TvMatrixTranslate(&a, &t, kTvCombineReplace);
    TvMatrix b = a;
    TvMatrixScale(&a, &s, kTvCombinePreConcat);  // scale, then translate
    TvMatrixScale(&b, &s, kTvCombinePostConcat); // translate, then scale
    ExpectV3d(Apply(a, {1, 1, 1}), 3, 4, 5, 0);
    ExpectV3d(Apply(b, {1, 1, 1}), 4, 6, 8, 0);
    EXPECT_EQ(a.flags & (kTvMatrixIdentity | kTvMatrixOrthoNormal), 0u);

    TvMatrixTranslate(&a, &t, kTvCombinePreConcat); // through the scaled axes
    ExpectV3d(a.pos, 3, 4, 5, 0);
    TvMatrixTranslate(&a, &t, kTvCombinePostConcat);
    ExpectV3d(a.pos, 4, 5, 6, 0);
    TvMatrixScale(m, &s, kTvCombineReplace);
    ExpectV3d(Apply(*m, {1, 1, 1}), 2, 3, 4, 0);
}

TEST_F(MatrixTest, TransformReplaceTakesTheNewValuesAndTheirFlags) {
    const TvMatrix skew = Skewed();
    const uint8_t before = m->counter;
    TvMatrixTransform(m, &skew, kTvCombineReplace);
    EXPECT_EQ(0, memcmp(&m->right, &skew.right, sizeof(TvV3d) * 4));
    EXPECT_EQ(m->flags & kTvMatrixIdentity, 0u) << "no longer the identity";
    EXPECT_EQ(m->counter, uint8_t(before + 1));

    TvMatrix r{};
    const TvV3d x = {1, 0, 0};
    TvMatrixRotate(&r, &x, 30.0f, kTvCombineReplace);
    TvMatrix expect{};
    TvMatrixMultiply(&expect, &r, &skew);
    TvMatrixTransform(&r, &skew, kTvCombinePostConcat);
    EXPECT_EQ(0, memcmp(&r.right, &expect.right, sizeof(TvV3d) * 4));
    EXPECT_EQ(r.flags & (kTvMatrixIdentity | kTvMatrixOrthoNormal), 0u);
}

TEST_F(MatrixTest, InverseTimesSourceIsIdentity) {
    TvMatrix ortho{};
    TvMatrixSetIdentity(&ortho);
    const TvV3d axis = {1, 2, 3};
    const TvV3d t = {4, -5, 6};
    TvMatrixRotate(&ortho, &axis, 33.0f, kTvCombineReplace);
    TvMatrixTranslate(&ortho, &t, kTvCombinePostConcat);
    ASSERT_EQ(ortho.flags & kTvMatrixOrthoNormal, kTvMatrixOrthoNormal);

    const TvMatrix general = Skewed();
    for (const TvMatrix* src : {static_cast<const TvMatrix*>(&ortho), &general}) {
        TvMatrix inv{}, prod{};
        TvMatrixSetIdentity(&inv); // stale flags of the destination must not survive
        TvMatrixInvert(&inv, src);
        TvMatrixSetOptimizations(0);
        TvMatrixMultiply(&prod, &inv, src);
        TvMatrixSetOptimizations(kTvMatrixOptIdentity);
        ExpectIdentityValues(prod, 1e-4f);
        EXPECT_EQ(inv.flags & kTvMatrixIdentity, 0u);
        EXPECT_EQ(inv.flags & kTvMatrixOrthoNormal, src->flags & kTvMatrixOrthoNormal);
    }

    // Inverting in place works too.
    TvMatrix g = general;
    TvMatrixInvert(&g, &g);
    TvMatrixInvert(&g, &g);
    ExpectV3d(g.pos, general.pos.x, general.pos.y, general.pos.z, 1e-4f);

    // A flagged identity is copied whole.
    m->counter = 9;
    TvMatrix out{};
    TvMatrixInvert(&out, m);
    EXPECT_EQ(0, memcmp(&out, m, sizeof(TvMatrix)));
}

TEST_F(MatrixTest, OrthoNormalizeKeepsTheRightAxis) {
    struct Case {
        TvV3d right, up, at;
        TvV3d keep; // the axis that survives unchanged (normalised)
        int keptRow;
    };
    const Case cases[] = {
        {{0, 0, 0}, {0, 2, 0}, {0, 0.1f, 1}, {0, 1, 0}, 1},               // no right: keep up
        {{3, 0, 0}, {0, 0, 0}, {0.1f, 0, 1}, {0.0995f, 0, 0.995f}, 2},    // no up: keep at
        {{1, 0.2f, 0}, {0, 1, 0}, {0, 0, 0}, {0.98058f, 0.19612f, 0}, 0}, // no at: keep right
        {{1, 0.3f, 0.3f}, {0, 1, 0}, {0, 0, 1}, {0, 1, 0}, 1},            // at.up smallest: keep up
        {{1, 0, 0.1f}, {0.3f, 1, 0.3f}, {0.0f, 0.05f, 1}, {0, 0.0499f, 0.9988f}, 2},
    };
    for (const Case& c : cases) {
        TvMatrix src{};
        src.right = c.right;
        src.up = c.up;
        src.at = c.at;
        src.pos = {1, 2, 3};
        TvMatrix dst{};
        TvMatrixOrthoNormalize(&dst, &src);
        const TvV3d rows[3] = {dst.right, dst.up, dst.at};
        ExpectV3d(rows[c.keptRow], c.keep.x, c.keep.y, c.keep.z);
        EXPECT_LT(TvMatrixNonOrthogonality(&dst), 1e-4f);
        EXPECT_LT(TvMatrixNonNormality(&dst), 1e-4f);
        EXPECT_NEAR(TvMatrixDeterminant(&dst), 1.0f, 1e-2f) << "right-handed";
        ExpectV3d(dst.pos, 1, 2, 3, 0);
        EXPECT_EQ(dst.flags, kTvMatrixOrthoNormal);
    }
}

TEST_F(MatrixTest, QueryRotateFindsAxisAngleAndCentre) {
    struct Case {
        TvV3d axis;
        float degrees;
    };
    const Case cases[] = {{{0, 0, 1}, 90.0f}, {{1, 1, 0}, 45.0f}, {{0, 1, 0}, 180.0f}};
    for (const Case& c : cases) {
        // Rotation about an axis through the centre (1, 2, 3) projected off the axis.
        TvV3d n;
        TvV3dNormalizeFast(&n, &c.axis);
        const TvV3d centre = {1, 2, 3};
        const TvV3d off = TvV3dSub(centre, TvV3dScale(n, TvV3dDot(centre, n)));
        TvMatrix r{};
        const TvV3d neg = TvV3dScale(off, -1.0f);
        TvMatrixTranslate(&r, &neg, kTvCombineReplace);
        TvMatrixRotate(&r, &c.axis, c.degrees, kTvCombinePostConcat);
        TvMatrixTranslate(&r, &off, kTvCombinePostConcat);

        TvV3d axis, at;
        float degrees = 0;
        TvMatrixQueryRotate(&r, &axis, &degrees, &at);
        EXPECT_NEAR(degrees, c.degrees, 0.5f);
        EXPECT_NEAR(std::fabs(TvV3dDot(axis, n)), 1.0f, 1e-2f);
        const TvV3d fixed = Apply(r, at);
        ExpectV3d(fixed, at.x, at.y, at.z, 1e-2f);
        ExpectV3d(at, off.x, off.y, off.z, 1e-2f);
    }
}

} // namespace
