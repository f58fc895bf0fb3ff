#include <gtest/gtest.h>

#include <cmath>

#include "engine/core/error.h"
#include "engine/core/matrix.h"
#include "engine/core/vector.h"
#include "tests/support/null_device.h"

namespace {

class VectorTest : public ::testing::Test {
protected:
    NullEngine engine;
};

TEST_F(VectorTest, TableRootsAreExactAtPowersOfFourAndCloseElsewhere) {
    ASSERT_TRUE(engine.ok());
    struct Case {
        float x;
        float root;
        float inv;
    };
    const Case cases[] = {
        {4.0f, 2.0f, 0.5f}, {1.0f, 1.0f, 1.0f}, {0.25f, 0.5f, 2.0f}, {16.0f, 4.0f, 0.25f}};
    for (const Case& c : cases) {
        EXPECT_EQ(TvSqrt(&c.x), c.root) << c.x;
        EXPECT_EQ(TvInvSqrt(&c.x), c.inv) << c.x;
    }
    const float zero = 0.0f;
    EXPECT_EQ(TvSqrt(&zero), 0.0f);
    EXPECT_EQ(TvInvSqrt(&zero), 0.0f);
    // About 11 bits of precision over several octaves, on both table halves.
    for (float x = 0.01f; x < 5000.0f; x *= 1.37f) {
        EXPECT_NEAR(TvSqrt(&x), std::sqrt(x), std::sqrt(x) * 1e-3f) << x;
        EXPECT_NEAR(TvInvSqrt(&x), 1.0f / std::sqrt(x), 1e-3f / std::sqrt(x)) << x;
    }
}

TEST_F(VectorTest, NormalizeScalesToUnitAndReportsZeroVectors) {
    ASSERT_TRUE(engine.ok());
    TvV3d out;
    const TvV3d v = {3.0f, 0.0f, 4.0f};
    EXPECT_NEAR(TvV3dNormalize(&out, &v), 5.0f, 5e-3f);
    EXPECT_NEAR(out.x, 0.6f, 1e-3f);
    EXPECT_NEAR(out.z, 0.8f, 1e-3f);
    EXPECT_NEAR(TvV3dLength(&v), 5.0f, 5e-3f);
    EXPECT_NEAR(TvV3dNormalizeFast(&out, &v), 0.2f, 1e-4f);

    const TvV3d zero = {0.0f, 0.0f, 0.0f};
    EXPECT_EQ(TvV3dNormalizeFast(&out, &zero), 0.0f);
    TvErrorRecord err{};
    TvErrorGet(&err);
    EXPECT_EQ(err.errorCode, E_TV_NOERROR) << "the fast form reports nothing";
    out = {9.0f, 9.0f, 9.0f};
    EXPECT_EQ(TvV3dNormalize(&out, &zero), 0.0f);
    EXPECT_EQ(out.x, 0.0f);
    EXPECT_EQ(out.y, 0.0f);
    EXPECT_EQ(out.z, 0.0f);
    TvErrorGet(&err);
    EXPECT_EQ(err.pluginID, kTvPluginIdCore);
    EXPECT_EQ(err.errorCode, E_TV_ZEROLENGTH);
}

TEST_F(VectorTest, TransformPointsAddsPositionVectorsDoNot) {
    ASSERT_TRUE(engine.ok());
    TvMatrix m{};
    TvMatrixSetIdentity(&m);
    m.right = {0.0f, 2.0f, 0.0f};
    m.pos = {10.0f, 20.0f, 30.0f};
    const TvV3d in[2] = {{1.0f, 1.0f, 1.0f}, {0.0f, 0.0f, 0.0f}};
    TvV3d out[2] = {{-1, -1, -1}, {-1, -1, -1}};
    TvV3dTransformPoints(out, in, 2, &m);
    EXPECT_EQ(out[0].x, 10.0f);
    EXPECT_EQ(out[0].y, 23.0f);
    EXPECT_EQ(out[0].z, 31.0f);
    EXPECT_EQ(out[1].y, 20.0f);
    TvV3dTransformVectors(out, in, 1, &m);
    EXPECT_EQ(out[0].x, 0.0f);
    EXPECT_EQ(out[0].y, 3.0f);
    EXPECT_EQ(out[0].z, 1.0f);
    TvV3dTransformPoints(out, in, 0, &m);
    EXPECT_EQ(out[1].y, 20.0f) << "a count of 0 writes nothing";
}

TEST(BBoxTest, CalculateAddAndContainIncludeTheBounds) {
    TvBBox box;
    const TvV3d one = {1.0f, 1.0f, 1.0f};
    TvBBoxInitialize(&box, &one);
    EXPECT_TRUE(TvBBoxContainsPoint(&box, &one));

    const TvV3d pts[3] = {{1.0f, -2.0f, 3.0f}, {-1.0f, 5.0f, 0.0f}, {0.0f, 0.0f, -4.0f}};
    TvBBoxCalculate(&box, pts, 3);
    EXPECT_EQ(box.sup.x, 1.0f);
    EXPECT_EQ(box.sup.y, 5.0f);
    EXPECT_EQ(box.sup.z, 3.0f);
    EXPECT_EQ(box.inf.x, -1.0f);
    EXPECT_EQ(box.inf.y, -2.0f);
    EXPECT_EQ(box.inf.z, -4.0f);
    const TvV3d corner = {-1.0f, 5.0f, 3.0f};
    const TvV3d outside = {0.0f, 5.01f, 0.0f};
    EXPECT_TRUE(TvBBoxContainsPoint(&box, &corner));
    EXPECT_FALSE(TvBBoxContainsPoint(&box, &outside));
}

} // namespace
