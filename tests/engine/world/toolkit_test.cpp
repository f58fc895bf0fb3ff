// Line-triangle test: hits inside, misses outside, lines in or away from the plane, null input.
#include <gtest/gtest.h>

#include "engine/core/error.h"
#include "engine/world/toolkit.h"
#include "tests/support/null_device.h"

namespace {

TEST(IntersectionTest, LinesAgainstATriangle) {
    // Triangle in the plane z = 2, normal +z; a second one in x = 1, normal -x.
    const TvV3d a{0, 0, 2}, b{4, 0, 2}, c{0, 4, 2}, n{0, 0, 1};
    struct Case {
        const char* name;
        TvLine line;
        float t;
    } cases[] = {
        {"hit halfway", {{1, 1, 0}, {1, 1, 4}}, 0.5f},
        {"hit from above", {{1, 1, 4}, {1, 1, 0}}, 0.5f},
        {"hit beyond the segment end", {{1, 1, 0}, {1, 1, 1}}, 2.0f},
        {"outside the triangle", {{3, 3, 0}, {3, 3, 4}}, -1.0f},
        {"line in the plane", {{0, 0, 2}, {3, 0, 2}}, -1.0f},
        {"pointing away from the plane", {{1, 1, 0}, {1, 1, -4}}, -1.0f},
        {"starting on the plane", {{1, 1, 2}, {1, 1, 4}}, -1.0f},
        {"parallel off the plane", {{1, 1, 0}, {3, 1, 0}}, -1.0f},
    };
    for (const Case& c0 : cases) {
        EXPECT_FLOAT_EQ(TkIntersectionTest(&c0.line, &n, &a, &b, &c), c0.t) << c0.name;
    }
    // Projection by the largest normal component, whatever the winding.
    const TvV3d p{1, 0, 0}, q{1, 0, 4}, r{1, 4, 0}, nx{-1, 0, 0};
    TvLine line{{3, 1, 1}, {-1, 1, 1}};
    EXPECT_FLOAT_EQ(TkIntersectionTest(&line, &nx, &p, &q, &r), 0.5f);
    EXPECT_FLOAT_EQ(TkIntersectionTest(&line, &nx, &p, &r, &q), 0.5f);
}

TEST(IntersectionTest, NullArgumentReportsAndMisses) {
    NullEngine engine;
    ASSERT_TRUE(engine.ok());
    TvV3d v{0, 0, 0};
    TvLine line{{0, 0, 0}, {1, 1, 1}};
    EXPECT_EQ(TkIntersectionTest(&line, &v, &v, nullptr, &v), -1.0f);
    TvErrorRecord e;
    TvErrorGet(&e);
    EXPECT_EQ(e.errorCode, E_TV_NULLP);
}

} // namespace
