#include <gtest/gtest.h>

#include "engine/core/engine.h"
#include "engine/core/error.h"
#include "engine/core/raster.h"
#include "tests/support/engine_checks.h"
#include "tests/support/null_device.h"

namespace {

// Raster create as a driver does it: type, flags and format from the create flags.
int32_t DriverCreate(void*, void* in, int32_t flags) {
    auto* r = static_cast<TvRaster*>(in);
    r->type = uint8_t(flags & kTvRasterTypeMask);
    r->createFlags = uint8_t(flags & 0xF8);
    r->format = uint8_t(flags >> 8);
    return 1;
}

class RasterTest : public ::testing::Test {
protected:
    NullEngine engine;
    TvStandardFn recordingCreate = nullptr;
    void SetUp() override {
        ASSERT_TRUE(engine.ok());
        recordingCreate = TV_ENGINE->standardFunctions[4];
        TV_ENGINE->standardFunctions[4] = DriverCreate;
    }
};

TEST_F(RasterTest, CreateDestroyAndFormat) {
    TvRaster* r = TvRasterCreate(64, 32, 16, kTvRasterTypeTexture | kTvRasterFormat565);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->parent, r);
    EXPECT_EQ(r->width, 64);
    EXPECT_EQ(r->height, 32);
    EXPECT_EQ(r->type, kTvRasterTypeTexture);
    EXPECT_EQ(TvRasterGetFormat(r), kTvRasterFormat565);
    EXPECT_EQ(r->pixels, nullptr);
    EXPECT_TRUE(TvRasterDestroy(r));
    EXPECT_EQ(StandardCallCount(5), 1);

    // A driver refusal gives null and the record goes back to the free list.
    TV_ENGINE->standardFunctions[4] = recordingCreate;
    NullDeviceGet().refusedStandard = {4};
    EXPECT_EQ(TvRasterCreate(8, 8, 0, 0), nullptr);
    EXPECT_EQ(StandardCallCount(5), 1) << "nothing to destroy";
}

TEST_F(RasterTest, LockHandsBackTheDriversPixelsAndShowReportsRefusal) {
    TvRaster* r = TvRasterCreate(4, 4, 16, 0);
    static uint8_t pixels[32];
    TV_ENGINE->standardFunctions[15] = [](void* out, void*, int32_t mode) -> int32_t {
        *static_cast<uint8_t**>(out) = pixels;
        return mode == 1;
    };
    EXPECT_EQ(TvRasterLock(r, 1), pixels);
    EXPECT_EQ(TvRasterLock(r, 2), nullptr);
    EXPECT_EQ(TvRasterUnlock(r), r);
    EXPECT_EQ(TvRasterShowRaster(r, nullptr, 0), r);
    NullDeviceGet().refusedStandard = {20};
    EXPECT_EQ(TvRasterShowRaster(r, nullptr, 0), nullptr);
    EXPECT_EQ(StandardCallCount(16), 1);
    TvRasterDestroy(r);
}

TEST_F(RasterTest, ContextStackHoldsNineAndDrawingNeedsOne) {
    TvRaster* picture = TvRasterCreate(4, 4, 0, 0);
    EXPECT_EQ(TvRasterRender(picture, 0, 0), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_CONTEXTSTACKEMPTY);
    const TvRect rect = {0, 0, 2, 2};
    EXPECT_EQ(TvRasterRenderFast(picture, 0, 0), nullptr);
    EXPECT_EQ(TvRasterRenderScaled(picture, &rect), nullptr);
    EXPECT_FALSE(TvRasterClear(0));
    EXPECT_EQ(TvRasterPopContext(), nullptr);
    for (int index : {14, 17, 18, 19, 11})
        EXPECT_EQ(StandardCallCount(index), 0) << index;

    TvRaster* targets[10];
    for (int i = 0; i < 10; ++i)
        targets[i] = TvRasterCreate(4, 4, 0, kTvRasterTypeCamera);
    for (int i = 0; i < 9; ++i)
        EXPECT_EQ(TvRasterPushContext(targets[i]), targets[i]) << i;
    EXPECT_EQ(TvRasterPushContext(targets[9]), nullptr);
    EXPECT_EQ(StandardCallCount(11), 9) << "the refused push never reached the driver";

    EXPECT_EQ(TvRasterRender(picture, 1, 2), picture);
    EXPECT_TRUE(TvRasterClear(7));
    EXPECT_EQ(StandardCallCount(17), 1);
    EXPECT_EQ(StandardCallCount(14), 1);
    for (int i = 8; i >= 0; --i)
        EXPECT_EQ(TvRasterPopContext(), targets[i]) << i;
    EXPECT_EQ(TvRasterPopContext(), nullptr);
    for (TvRaster* r : targets)
        TvRasterDestroy(r);
    TvRasterDestroy(picture);
}

TEST_F(RasterTest, FullContextStackReportsItsError) {
    TvRaster* r = TvRasterCreate(4, 4, 0, 0);
    for (int i = 0; i < 9; ++i)
        TvRasterPushContext(r);
    TvRasterPushContext(r);
    EXPECT_EQ(LastErrorCode(), E_TV_CONTEXTSTACKFULL);
    TvRasterDestroy(r);
}

TEST_F(RasterTest, SubRasterRectanglesAndOffsets) {
    TvRaster* top = TvRasterCreate(100, 50, 0, 0);
    TvRaster* mid = TvRasterCreate(0, 0, 0, kTvRasterDontAllocate);
    TvRaster* sub = TvRasterCreate(0, 0, 0, kTvRasterDontAllocate);
    struct Case {
        TvRect rect;
        bool ok;
    };
    const Case cases[] = {
        {{0, 0, 100, 50}, true},        {{60, 30, 40, 20}, true}, // touches right and bottom
        {{100, 0, 0, 10}, false},       {{0, 50, 10, 0}, false},  // starts on the far edge
        {{61, 0, 40, 10}, false},       {{0, 31, 10, 20}, false}, // runs past it
        {{-1, 0, 10, 10}, false},       {{0, 0, -5, 10}, false},  // negative origin or size
        {{1, 1, 0x7FFFFFFF, 1}, false},                           // width that would wrap
    };
    // A raster with pixels of its own cannot become a sub-raster; no error is recorded.
    EXPECT_EQ(TvRasterSubRaster(top, top, &cases[0].rect), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_NOERROR);
    for (const Case& c : cases) {
        EXPECT_EQ(TvRasterSubRaster(mid, top, &c.rect) != nullptr, c.ok)
            << c.rect.x << "," << c.rect.y << " " << c.rect.w << "x" << c.rect.h;
    }
    EXPECT_EQ(LastErrorCode(), E_TV_INVALIDSUBRASTER);

    const TvRect r1 = {10, 5, 50, 30}, r2 = {3, 4, 10, 10};
    ASSERT_EQ(TvRasterSubRaster(mid, top, &r1), mid);
    ASSERT_EQ(TvRasterSubRaster(sub, mid, &r2), sub);
    EXPECT_EQ(sub->parent, top);
    EXPECT_EQ(sub->offsetX, 13);
    EXPECT_EQ(sub->offsetY, 9);
    EXPECT_EQ(sub->width, 10);

    for (TvRaster* r : {sub, mid, top})
        TvRasterDestroy(r);
}

} // namespace
