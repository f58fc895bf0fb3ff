#include "framework/core/framework.h"
#include "framework/misc/maths.h"
#include "tests/framework/framework_fixture.h"

#include <cmath>

namespace {

class Maths : public FrameworkTest {
protected:
    void SetUp() override {
        FrameworkTest::SetUp();
        ASSERT_EQ(VkMathsAcquire(), VK_OK);
        m = VkMathsShared();
        ASSERT_NE(m, nullptr);
    }
    void TearDown() override {
        VkMathsRelease();
        FrameworkTest::TearDown();
    }
    static void ExpectMatrix(const VkMatrix& got, const VkMatrix& want, float tolerance = 1e-5f) {
        for (int i = 0; i < 12; ++i)
            EXPECT_NEAR(got.m[i], want.m[i], tolerance) << "element " << i;
    }
    IVkMaths* m = nullptr;
};

const VkMatrix kIdentity = {{1, 0, 0, 0, 1, 0, 0, 0, 1, 0, 0, 0}};

TEST_F(Maths, OneSharedObjectUntilTheLastRelease) {
    IVkMaths* again = Create<IVkMaths>(CLSID_VkMaths, IID_IVkMaths);
    EXPECT_EQ(again, m);
    EXPECT_EQ(VkMathsAcquire(), VK_OK);
    EXPECT_EQ(VkMathsShared(), m);
    VkMathsRelease();
    EXPECT_EQ(again->Release(), 1u); // the shared slot's reference is left
    IVkUnknown* outer = m;
    void* out = &out;
    EXPECT_EQ(VkCreateInstance(CLSID_VkMaths, outer, 0, IID_IVkMaths, &out), VK_E_NOAGGREGATION);
}

TEST_F(Maths, SquareRootFromTheTable) {
    EXPECT_EQ(m->SquareRoot(4.0f), 2.0f);
    EXPECT_EQ(m->SquareRoot(1.0f), 1.0f);
    EXPECT_EQ(m->SquareRoot(0.0f), 0.0f);
    const float values[] = {2.0f, 3.0f, 0.3f, 10.0f, 12345.678f, 1e-20f, 3.99999f, 1e30f};
    for (float v : values)
        EXPECT_NEAR(m->SquareRoot(v), std::sqrt(v), std::sqrt(v) / 2048) << v;
}

TEST_F(Maths, Normalising) {
    VkVector out;
    VkVector zero = {0, 0, 0}, tiny = {1e-20f, 0, 0}, v = {3, 4, 0};
    m->Normalise(&out, &zero);
    EXPECT_EQ(out.x, 1.0f);
    EXPECT_EQ(out.y, 0.0f);
    m->Normalise(&out, &tiny);
    EXPECT_EQ(out.x, 1.0f);
    EXPECT_EQ(m->NormaliseLength(&out, &v), 5.0f);
    EXPECT_NEAR(out.x, 0.6f, 1e-6f);
    EXPECT_NEAR(out.y, 0.8f, 1e-6f);
    EXPECT_EQ(out.z, 0.0f);
}

TEST_F(Maths, BuildingModesCombineBeforeOrAfter) {
    VkMatrix a;
    VkVector t = {1, 2, 3};
    m->Translate(&a, &t, VK_COMBINE_REPLACE);
    ExpectMatrix(a, {{1, 0, 0, 0, 1, 0, 0, 0, 1, 1, 2, 3}});

    // Scale before a translation leaves the translation; after it scales it too.
    VkVector s = {2, 3, 4};
    VkMatrix before = a, after = a;
    m->Scale(&before, &s, VK_COMBINE_BEFORE);
    ExpectMatrix(before, {{2, 0, 0, 0, 3, 0, 0, 0, 4, 1, 2, 3}});
    m->Scale(&after, &s, VK_COMBINE_AFTER);
    ExpectMatrix(after, {{2, 0, 0, 0, 3, 0, 0, 0, 4, 2, 6, 12}});
    VkMatrix unchanged = a;
    m->Scale(&unchanged, &s, 7);
    ExpectMatrix(unchanged, a);

    // A quarter turn about z, then a translation before (turned) or after (as given).
    VkVector z = {0, 0, 1}, x = {1, 0, 0};
    VkMatrix r;
    m->Rotate(&r, &z, 90, VK_COMBINE_REPLACE);
    ExpectMatrix(r, {{0, 1, 0, -1, 0, 0, 0, 0, 1, 0, 0, 0}});
    VkMatrix tb = r, ta = r;
    m->Translate(&tb, &x, VK_COMBINE_BEFORE);
    EXPECT_NEAR(tb.m[9], 0, 1e-6f);
    EXPECT_NEAR(tb.m[10], 1, 1e-6f);
    m->Translate(&ta, &x, VK_COMBINE_AFTER);
    EXPECT_NEAR(ta.m[9], 1, 1e-6f);

    // Transform and Multiply agree: mode 1 is other followed by matrix.
    VkMatrix viaTransform = a, product;
    m->Transform(&viaTransform, &r, VK_COMBINE_BEFORE);
    m->Multiply(&product, &r, &a);
    ExpectMatrix(viaTransform, product);
    VkVector p = {1, 0, 0};
    m->TransformPoint(&p, &product); // turned to (0,1,0), then moved by (1,2,3)
    EXPECT_NEAR(p.x, 1, 1e-6f);
    EXPECT_NEAR(p.y, 3, 1e-6f);
    EXPECT_NEAR(p.z, 3, 1e-6f);
    VkVector d = {1, 0, 0};
    m->TransformDirection(&d, &product);
    EXPECT_NEAR(d.x, 0, 1e-6f);
    EXPECT_NEAR(d.y, 1, 1e-6f);
}

TEST_F(Maths, Inverses) {
    VkVector axis = {1, 2, 2}, t = {5, -1, 2}, s = {2, 3, 0.5f};
    VkMatrix a;
    m->Rotate(&a, &axis, 33, VK_COMBINE_REPLACE);
    m->Translate(&a, &t, VK_COMBINE_AFTER);
    VkMatrix rigid, product;
    m->InvertRigid(&rigid, &a);
    ExpectMatrix(*m->Multiply(&product, &a, &rigid), kIdentity, 1e-3f);

    m->Scale(&a, &s, VK_COMBINE_BEFORE);
    VkMatrix full;
    m->Invert(&full, &a);
    ExpectMatrix(*m->Multiply(&product, &a, &full), kIdentity, 1e-3f);

    // A singular 3x3 part gives its adjugate, undivided.
    VkMatrix singular = {{1, 2, 3, 2, 4, 6, 1, 0, 1, 0, 0, 0}};
    m->Invert(&full, &singular);
    ExpectMatrix(full, {{4, -2, 0, 4, -2, 0, -4, 2, 0, 0, 0, 0}});
}

TEST_F(Maths, RotationsAndTrigonometry) {
    EXPECT_NEAR(m->SinDegrees(90), 1, 1e-6f);
    EXPECT_NEAR(m->CosDegrees(180), -1, 1e-6f);
    EXPECT_NEAR(m->TanDegrees(45), 1, 1e-5f);
    EXPECT_EQ(m->Power(2, 10), 1024.0f);

    const VkVector pairs[][2] = {{{1, 0, 0}, {0, 2, 0}},
                                 {{1, 1, 0}, {0, 0, -3}},
                                 {{1, 0, 0}, {-4, 0, 0}},
                                 {{0, 1, 0}, {0, 5, 0}}};
    for (const auto& pair : pairs) {
        VkMatrix r;
        EXPECT_EQ(m->RotateOnto(&r, &pair[0], &pair[1]), VK_OK);
        VkVector from, to;
        m->NormaliseLength(&from, &pair[0]);
        m->NormaliseLength(&to, &pair[1]);
        m->TransformDirection(&from, &r);
        EXPECT_NEAR(from.x, to.x, 1e-3f);
        EXPECT_NEAR(from.y, to.y, 1e-3f);
        EXPECT_NEAR(from.z, to.z, 1e-3f);
    }

    VkMatrix skew = {{2, 0, 0, 1, 1, 0, 1, 1, 3, 7, 8, 9}};
    EXPECT_EQ(m->Orthonormalise(&skew), VK_OK);
    ExpectMatrix(skew, {{1, 0, 0, 0, 1, 0, 0, 0, 1, 7, 8, 9}}, 1e-3f);
    VkMatrix flat = {{1, 0, 0, 2, 0, 0, 0, 0, 1, 0, 0, 0}}, copy = flat;
    EXPECT_EQ(m->Orthonormalise(&flat), VK_E_FAIL);
    ExpectMatrix(flat, copy, 0);
}

} // namespace
