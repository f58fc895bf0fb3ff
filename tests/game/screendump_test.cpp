#include "shell/screendump.h"

#include "engine/core/image.h"
#include "engine/core/raster.h"
#include "tests/support/data_folder.h"
#include "tests/support/null_device.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

uint32_t U32(const std::vector<uint8_t>& b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

class ScreenDumpTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(engine.ok()); }
    TvImage* Image(int32_t w, int32_t h) {
        TvImage* image = TvImageCreate(w, h, 32);
        EXPECT_NE(TvImageAllocatePixels(image), nullptr);
        uint8_t* p = TvImageGetPixels(image);
        for (int32_t y = 0; y < h; ++y)
            for (int32_t x = 0; x < w; ++x) {
                uint8_t* px = p + y * TvImageGetStride(image) + x * 4;
                px[0] = uint8_t(x);   // red in memory byte 0
                px[1] = uint8_t(y);
                px[2] = 0xC0;
                px[3] = 0x55; // dropped
            }
        return image;
    }
    NullEngine engine;
    DataFolder folder;
};

TEST_F(ScreenDumpTest, HeadersRowsBottomUpAndZeroFiller) {
    struct Case {
        int32_t w, h;
        uint32_t rowSize;
    } cases[] = {{1, 2, 4}, {3, 1, 12}, {640, 480, 1920}};
    for (const Case& c : cases) {
        TvImage* image = Image(c.w, c.h);
        ASSERT_EQ(MV2WriteBmpFile(image, "out.bmp"), 1);
        TvImageDestroy(image);
        std::vector<uint8_t> b = folder.Read("out.bmp");
        ASSERT_EQ(b.size(), 54 + c.h * c.rowSize) << c.w;
        EXPECT_EQ(b[0], 'B');
        EXPECT_EQ(b[1], 'M');
        EXPECT_EQ(U32(b, 2), b.size());
        EXPECT_EQ(U32(b, 6), 0u);
        EXPECT_EQ(U32(b, 10), 54u);
        EXPECT_EQ(U32(b, 14), 40u);
        EXPECT_EQ(U32(b, 18), uint32_t(c.w));
        EXPECT_EQ(U32(b, 22), uint32_t(c.h));
        EXPECT_EQ(b[26] | b[27] << 8, 1);
        EXPECT_EQ(b[28] | b[29] << 8, 24);
        for (size_t i = 30; i < 54; ++i)
            EXPECT_EQ(b[i], 0) << i;
        // The first row stored is the last image row: pixel bytes 2, 1, 0.
        EXPECT_EQ(b[54], 0xC0);
        EXPECT_EQ(b[55], uint8_t(c.h - 1));
        EXPECT_EQ(b[56], 0);
        for (uint32_t i = uint32_t(c.w) * 3; i < c.rowSize; ++i)
            EXPECT_EQ(b[54 + i], 0);
    }
    EXPECT_EQ(MV2WriteBmpFile(nullptr, "x.bmp"), 0);
    TvImage* image = Image(2, 2);
    EXPECT_EQ(MV2WriteBmpFile(image, "no/such/folder/x.bmp"), 0);
    TvImageDestroy(image);
}

TEST_F(ScreenDumpTest, EightBitRastersAreRefusedAndDumpsAreNumbered) {
    TvRaster* palette = TvRasterCreate(4, 4, 8, 0x2000);
    if (palette) {
        EXPECT_EQ(MV2ScreenDump(palette), 0);
        TvRasterDestroy(palette);
    }
    // No main camera and no raster: nothing to dump.
    EXPECT_EQ(MV2ScreenDump(nullptr), 0);
    TvRaster* raster = TvRasterCreate(4, 3, 32, 0);
    ASSERT_NE(raster, nullptr);
    gMV2DumpCounter = 0;
    int32_t ok = 1;
    for (int i = 0; i < 10; ++i)
        ok &= MV2ScreenDump(raster);
    TvRasterDestroy(raster);
    if (!ok) GTEST_SKIP() << "the null device cannot read rasters back";
    EXPECT_EQ(folder.Read("dump9.bmp").size(), 54u + 3 * 12);
    EXPECT_TRUE(folder.Read("dump10.bmp").empty());
    EXPECT_EQ(gMV2DumpCounter, 10);
}

} // namespace
