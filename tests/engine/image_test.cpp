#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/error.h"
#include "engine/core/image.h"
#include "tests/support/data_folder.h"
#include "tests/support/engine_checks.h"
#include "tests/support/null_device.h"

namespace {

class ImageTest : public ::testing::Test {
protected:
    NullEngine engine;
    void SetUp() override { ASSERT_TRUE(engine.ok()); }
};

TvImage* Make(int32_t w, int32_t h, int32_t depth) {
    TvImage* image = TvImageCreate(w, h, depth);
    return image && TvImageAllocatePixels(image) ? image : nullptr;
}

TvRGBA& Pixel(TvImage* image, int32_t x, int32_t y) {
    return reinterpret_cast<TvRGBA*>(image->pixels + size_t(y) * image->stride)[x];
}

TEST_F(ImageTest, AllocationStrideAndSecondAllocation) {
    struct Case {
        int32_t width, depth, stride;
    } cases[] = {{3, 8, 4}, {5, 8, 8}, {3, 24, 12}, {3, 32, 12}, {1, 16, 4}};
    for (const Case& c : cases) {
        TvImage* image = Make(c.width, 2, c.depth);
        ASSERT_NE(image, nullptr);
        EXPECT_EQ(image->stride, c.stride) << c.width << "x" << c.depth;
        EXPECT_EQ(image->palette != nullptr, c.depth == 8);
        if (image->palette) { // the palette lies after the last row
            EXPECT_EQ(reinterpret_cast<uint8_t*>(image->palette), image->pixels + 2 * c.stride);
        }
        uint8_t* first = image->pixels;
        EXPECT_EQ(TvImageAllocatePixels(image), nullptr);
        EXPECT_EQ(image->pixels, first);
        EXPECT_TRUE(TvImageDestroy(image));
    }
}

TEST_F(ImageTest, SizesThatOverflowAreRefused) {
    for (auto [w, h] :
         {std::pair{0x7FFFFFFF, 0x7FFFFFFF}, std::pair{0x40000000, 2}, std::pair{4, -1}}) {
        TvImage* image = TvImageCreate(w, h, 32);
        EXPECT_EQ(TvImageAllocatePixels(image), nullptr) << w << "x" << h;
        EXPECT_EQ(image->pixels, nullptr);
        TvImageDestroy(image);
    }
    EXPECT_EQ(LastErrorCode(), E_TV_NOMEM);
}

TEST_F(ImageTest, FreePixelsOnlyWhenOwned) {
    TvImage* image = TvImageCreate(2, 2, 32);
    EXPECT_EQ(TvImageFreePixels(image), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_FORMATCONVERSION);
    ASSERT_NE(TvImageAllocatePixels(image), nullptr);
    EXPECT_EQ(TvImageFreePixels(image), image);
    EXPECT_EQ(image->pixels, nullptr);
    EXPECT_EQ(image->flags & kTvImageOwnsPixels, 0u);
    TvImageDestroy(image);
}

TEST_F(ImageTest, CopyExpandsPalettesAndRefusesNarrowing) {
    TvImage* pal = Make(2, 1, 8);
    pal->palette[7] = {10, 20, 30, 40};
    pal->pixels[0] = 7;
    pal->pixels[1] = 0;
    TvImage* wide = Make(2, 1, 32);
    ASSERT_EQ(TvImageCopy(wide, pal), wide);
    EXPECT_EQ(Pixel(wide, 0, 0).blue, 30);
    EXPECT_EQ(Pixel(wide, 0, 0).alpha, 40);

    TvImage* same = Make(2, 1, 8);
    ASSERT_EQ(TvImageCopy(same, pal), same);
    EXPECT_EQ(same->pixels[0], 7);
    EXPECT_EQ(same->palette[7].green, 20);

    EXPECT_EQ(TvImageCopy(pal, wide), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_FORMATCONVERSION);
    TvImage* other = Make(3, 1, 32);
    EXPECT_EQ(TvImageCopy(other, wide), nullptr) << "sizes differ";
    for (TvImage* i : {pal, wide, same, other})
        TvImageDestroy(i);
}

TEST_F(ImageTest, GreyMaskBecomesAlphaOfAPalettisedImage) {
    TvImage* image = Make(2, 1, 8);
    image->palette[1] = {200, 100, 50, 255};
    image->pixels[0] = image->pixels[1] = 1;
    TvImage* mask = Make(2, 1, 32);
    Pixel(mask, 0, 0) = {0x10, 0x80, 0x20, 0};
    Pixel(mask, 1, 0) = {0, 0, 0, 0};
    ASSERT_EQ(TvImageMakeMask(mask), mask);
    EXPECT_EQ(Pixel(mask, 0, 0).alpha, 0x80);
    ASSERT_EQ(TvImageApplyMask(image, mask), image);
    EXPECT_EQ(image->depth, 32) << "widened";
    EXPECT_EQ(Pixel(image, 0, 0).red, 200);
    EXPECT_EQ(Pixel(image, 0, 0).alpha, 0x80);
    EXPECT_EQ(Pixel(image, 1, 0).alpha, 0);

    TvImage* small = Make(1, 1, 32);
    EXPECT_EQ(TvImageApplyMask(image, small), nullptr) << "mask smaller than the image";
    TvImage* odd = Make(2, 1, 24);
    EXPECT_EQ(TvImageApplyMask(image, odd), nullptr) << "mask depth not read";
    for (TvImage* i : {image, mask, small, odd})
        TvImageDestroy(i);
}

TEST_F(ImageTest, GammaCorrectionTouchesColoursNotAlpha) {
    TvImage* image = Make(1, 1, 32);
    Pixel(image, 0, 0) = {128, 0, 255, 77};
    ASSERT_EQ(TvImageGammaCorrect(image), image);
    EXPECT_EQ(Pixel(image, 0, 0).red, 128) << "gamma 1.0 is the identity";
    EXPECT_TRUE(image->flags & kTvImageGammaCorrected);

    TvImageSetGamma(2.2f);
    ASSERT_EQ(TvImageGammaCorrect(image), image);
    EXPECT_EQ(Pixel(image, 0, 0).red, 186);
    EXPECT_EQ(Pixel(image, 0, 0).green, 0);
    EXPECT_EQ(Pixel(image, 0, 0).blue, 255);
    EXPECT_EQ(Pixel(image, 0, 0).alpha, 77);

    TvImage* bare = TvImageCreate(1, 1, 8);
    EXPECT_EQ(TvImageGammaCorrect(bare), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_NULLP);
    TvImageDestroy(bare);
    TvImageDestroy(image);
}

// A reader that records the names it is given and succeeds for names containing "good".
std::vector<std::string> g_readNames;
TvImage* RecordingReader(const char* name) {
    g_readNames.push_back(name);
    return std::strstr(name, "good") ? TvImageCreate(1, 1, 32) : nullptr;
}
TvImage* OtherReader(const char*) {
    return nullptr;
}

class ImageReadTest : public ImageTest {
protected:
    DataFolder folder;
    void SetUp() override {
        ImageTest::SetUp();
        g_readNames.clear();
    }
    void Touch(const std::string& relative) { folder.Write(relative, std::string("x")); }
    std::vector<std::string> Read(const char* name) {
        g_readNames.clear();
        if (TvImage* image = TvImageRead(name)) TvImageDestroy(image);
        return g_readNames;
    }
};

TEST_F(ImageReadTest, RegistrationKeepsOneEntryPerExtension) {
    EXPECT_EQ(TvImageRegisterImageFormat("bmp", RecordingReader, nullptr), 1);
    EXPECT_EQ(TvImageRegisterImageFormat("BMP", nullptr, nullptr), 1);
    Touch("a.bmp");
    EXPECT_EQ(Read("a.bmp"), std::vector<std::string>{"a.bmp"}) << "the first reader stays";
    EXPECT_EQ(TvImageRegisterImageFormat("bmp", OtherReader, nullptr), 1);
    EXPECT_TRUE(Read("a.bmp").empty()) << "a non-null reader replaces it";
    EXPECT_EQ(TvImageRegisterImageFormat("abcdefghijklmnopqrs", RecordingReader, nullptr), 0);
    EXPECT_EQ(TvImageRegisterImageFormat("abcdefghijklmnopqr", RecordingReader, nullptr), 1);
}

TEST_F(ImageReadTest, ExtensionsMatchByExactCase) {
    TvImageRegisterImageFormat("bmp", RecordingReader, nullptr);
    for (const char* name : {"p.bmp", "dir.bmp/p", "dir.x/p.bmp"})
        Touch(name);
    EXPECT_EQ(Read("p.bmp").size(), 1u);
    EXPECT_EQ(Read("p.BMP").size(), 1u);
    EXPECT_TRUE(Read("p.Bmp").empty());
    EXPECT_TRUE(Read("dir.bmp\\p").empty()) << "the dot is in a folder name";
    EXPECT_EQ(Read("dir.x/p.bmp").size(), 1u);
}

TEST_F(ImageReadTest, PathSearchTriesEachFolderInTurn) {
    TvImageRegisterImageFormat("bmp", RecordingReader, nullptr);
    Touch("texture/wall.bmp");
    Touch("first/good.bmp");
    Touch("second/good.bmp");
    ASSERT_NE(TvImageSetPath(".\\texture\\"), nullptr);
    EXPECT_EQ(Read("wall.bmp"), std::vector<std::string>{".\\texture\\wall.bmp"});
    EXPECT_EQ(Read("c:\\pics\\wall.bmp"), std::vector<std::string>{}) << "absolute: only itself";

    // Found in the first folder but refused by its reader there: looked for in the next.
    folder.Write("one/good.bmp", std::string("x"));
    TvImageSetPath("one\\;first\\");
    g_readNames.clear();
    TvImage* image = TvImageRead("good.bmp");
    ASSERT_NE(image, nullptr);
    TvImageDestroy(image);
    EXPECT_EQ(g_readNames, std::vector<std::string>{"one\\good.bmp"});

    Touch("second/bad.bmp");
    Touch("first/bad.bmp");
    TvImageSetPath("first\\;second\\");
    EXPECT_EQ(Read("bad.bmp"), (std::vector<std::string>{"first\\bad.bmp", "second\\bad.bmp"}));
    TvImageSetPath("first\\;;second\\");
    EXPECT_EQ(Read("bad.bmp"), std::vector<std::string>{"first\\bad.bmp"})
        << "an empty prefix ends the search";
    EXPECT_STREQ(TvImageGetPath(), "first\\;;second\\");
}

TEST_F(ImageReadTest, ExtensionProbePrefersTheNewestFormat) {
    TvImageRegisterImageFormat("bmp", RecordingReader, nullptr);
    TvImageRegisterImageFormat("jpg", RecordingReader, nullptr);
    Touch("t/a.bmp");
    TvImageSetPath("t\\");
    EXPECT_STREQ(TvImageFindFileExtension("a"), ".bmp");
    Touch("t/a.jpg");
    EXPECT_STREQ(TvImageFindFileExtension("a"), ".jpg");
    EXPECT_EQ(TvImageFindFileExtension("missing"), nullptr);
}

TEST_F(ImageReadTest, RastersAreReadThroughImages) {
    TvImageRegisterImageFormat("bmp", RecordingReader, nullptr);
    Touch("good.bmp");
    TvRaster* raster = TvRasterRead("good.bmp");
    ASSERT_NE(raster, nullptr);
    EXPECT_EQ(raster->width, 1);
    EXPECT_EQ(raster->height, 1);
    EXPECT_EQ(StandardCallCount(7), 1) << "filled from the picture";
    TvRasterDestroy(raster);
    EXPECT_EQ(TvRasterRead("missing.bmp"), nullptr);
    EXPECT_EQ(TvRasterReadMaskedImage("good.bmp", "missing.bmp"), nullptr) << "no mask";
    EXPECT_EQ(StandardCallCount(4), 1) << "no raster without a picture";
}

TEST_F(ImageTest, RasterConversionsCarryTheGammaFlag) {
    static TvImage* seen;
    TV_ENGINE->standardFunctions[7] = [](void*, void* in, int32_t) -> int32_t {
        seen = static_cast<TvImage*>(in);
        return 1;
    };
    TvRaster raster{};
    TvImage* image = Make(1, 1, 32);
    image->flags |= kTvImageGammaCorrected;
    EXPECT_EQ(TvRasterSetFromImage(&raster, image), &raster);
    EXPECT_EQ(seen, image);
    EXPECT_EQ(raster.privateFlags & 1, 1);

    image->flags = kTvImageOwnsPixels;
    EXPECT_EQ(TvImageSetFromRaster(image, &raster), image);
    EXPECT_TRUE(image->flags & kTvImageGammaCorrected);
    NullDeviceGet().refusedStandard = {6};
    EXPECT_EQ(TvImageSetFromRaster(image, &raster), nullptr);

    TV_ENGINE->standardFunctions[9] = [](void* out, void*, int32_t flags) -> int32_t {
        auto* r = static_cast<TvRaster*>(out);
        r->width = 64;
        r->height = 32;
        r->depth = 16;
        r->type = uint8_t(flags & 7);
        r->format = uint8_t(flags >> 8) | 0x03;
        return 1;
    };
    int32_t w = 0, h = 0, d = 0;
    uint32_t flags = 0;
    EXPECT_EQ(TvImageFindRasterFormat(image, 0x8004, &w, &h, &d, &flags), image);
    EXPECT_EQ(w, 64);
    EXPECT_EQ(h, 32);
    EXPECT_EQ(d, 16);
    EXPECT_EQ(flags, 0x8304u);
    TvImageDestroy(image);
}

} // namespace
