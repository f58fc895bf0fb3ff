#include <gtest/gtest.h>

#include <cstring>

#include "engine/core/error.h"
#include "engine/core/image.h"
#include "engine/core/resample.h"
#include "tests/support/engine_checks.h"
#include "tests/support/null_device.h"

namespace {

class ResampleTest : public ::testing::Test {
protected:
    NullEngine engine;
    void SetUp() override { ASSERT_TRUE(engine.ok()); }
    TvImage* Make(int32_t w, int32_t h, int32_t depth = 32) {
        TvImage* image = TvImageCreate(w, h, depth);
        TvImageAllocatePixels(image);
        return image;
    }
};

TvRGBA& At(TvImage* image, int32_t x, int32_t y) {
    return reinterpret_cast<TvRGBA*>(image->pixels + size_t(y) * image->stride)[x];
}

TEST_F(ResampleTest, SameSizeHalvingAndDoubling) {
    TvImage* src = Make(2, 2);
    At(src, 0, 0) = {0, 0, 0, 40};
    At(src, 1, 0) = {100, 10, 255, 80};
    At(src, 0, 1) = {200, 20, 255, 120};
    At(src, 1, 1) = {100, 30, 255, 160};
    src->flags |= kTvImageGammaCorrected;

    TvImage* same = Make(2, 2);
    ASSERT_EQ(TvImageResample(same, src), same);
    for (int32_t y = 0; y < 2; y++)
        for (int32_t x = 0; x < 2; x++)
            EXPECT_EQ(std::memcmp(&At(same, x, y), &At(src, x, y), 4), 0) << x << "," << y;
    EXPECT_TRUE(same->flags & kTvImageGammaCorrected);

    TvImage* half = Make(1, 1);
    ASSERT_EQ(TvImageResample(half, src), half);
    EXPECT_EQ(At(half, 0, 0).red, 100);
    EXPECT_EQ(At(half, 0, 0).green, 15);
    EXPECT_EQ(At(half, 0, 0).blue, 191); // 3/4 of 255, rounded
    EXPECT_EQ(At(half, 0, 0).alpha, 100);

    TvImage* one = Make(1, 1);
    At(one, 0, 0) = {1, 2, 3, 4};
    TvImage* twice = Make(2, 2);
    ASSERT_EQ(TvImageResample(twice, one), twice);
    for (int32_t y = 0; y < 2; y++)
        for (int32_t x = 0; x < 2; x++)
            EXPECT_EQ(At(twice, x, y).alpha, 4);
    for (TvImage* i : {src, same, half, one, twice})
        TvImageDestroy(i);
}

TEST_F(ResampleTest, PartialPixelsAreWeightedByCover) {
    // Three pixels into two: each covers one and a half source pixels, a third of them white.
    TvImage* src = Make(3, 1);
    At(src, 0, 0) = {0, 0, 0, 255};
    At(src, 1, 0) = {255, 255, 255, 255};
    At(src, 2, 0) = {0, 0, 0, 255};
    TvImage* dest = Make(2, 1);
    ASSERT_EQ(TvImageResample(dest, src), dest);
    EXPECT_EQ(At(dest, 0, 0).red, 85);
    EXPECT_EQ(At(dest, 1, 0).red, 85);
    EXPECT_EQ(At(dest, 1, 0).alpha, 255);
    TvImageDestroy(src);
    TvImageDestroy(dest);
}

TEST_F(ResampleTest, OnlyThirtyTwoBitImagesWithPixels) {
    TvImage* pal = Make(2, 2, 8);
    TvImage* dest = Make(1, 1);
    EXPECT_EQ(TvImageResample(dest, pal), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_IMAGEFORMAT);
    TvImage* bare = TvImageCreate(1, 1, 32);
    EXPECT_EQ(TvImageResample(bare, dest), nullptr);
    // A source too wide for 16.16 positions is refused before any step is worked out.
    TvImage* wide = Make(40000, 1);
    EXPECT_EQ(TvImageResample(dest, wide), nullptr);
    for (TvImage* i : {pal, dest, bare, wide})
        TvImageDestroy(i);
}

} // namespace
