#include <gtest/gtest.h>

#include <cstdlib>
#include <vector>

#include "engine/core/bmp.h"
#include "engine/core/im2d.h"
#include "engine/core/im3d.h"
#include "engine/core/image.h"
#include "engine/core/stream.h"
#include "engine/core/texture.h"
#include "game/objects/jpeg.h"
#include "tests/engine/d3d_fixture.h"
#include "tests/support/chunk_writer.h"
#include "tests/support/data_folder.h"
#include "tests/support/image_writer.h"
#include "tests/support/null_device.h"

namespace {

class JpegTest : public ::testing::Test {
protected:
    NullEngine engine;
    DataFolder folder;
    void SetUp() override { ASSERT_TRUE(engine.ok()); }
};

TvRGBA At(const TvImage* image, int32_t x, int32_t y) {
    return reinterpret_cast<const TvRGBA*>(image->pixels + size_t(y) * image->stride)[x];
}

bool Near(uint8_t a, uint8_t b) {
    return std::abs(int(a) - int(b)) <= 6;
}

// Four flat quadrants, large enough that compression keeps their colours.
TvRGBA Quadrant(int32_t x, int32_t y) {
    static const TvRGBA colours[4] = {
        {220, 30, 30, 255}, {30, 200, 40, 255}, {20, 40, 210, 255}, {240, 240, 60, 255}};
    return colours[(x >= 16 ? 1 : 0) + (y >= 16 ? 2 : 0)];
}

// Colour pictures keep their channels; grey and four-ink pictures give their first sample as
// grey.
TEST_F(JpegTest, ColourAndGreyPicturesDecodeToThirtyTwoBits) {
    for (int components : {3, 1, 4}) {
        folder.Write("pic.jpg", JpegFile(32, 32, components, Quadrant));
        TvImage* image = MV2LoadJpeg("pic.jpg");
        ASSERT_NE(image, nullptr) << components;
        EXPECT_EQ(image->width, 32);
        EXPECT_EQ(image->depth, 32);
        for (auto [x, y] :
             {std::pair{4, 4}, std::pair{28, 4}, std::pair{4, 28}, std::pair{28, 28}}) {
            const TvRGBA want = Quadrant(x, y);
            const TvRGBA got = At(image, x, y);
            EXPECT_EQ(got.alpha, 255);
            EXPECT_TRUE(Near(got.red, want.red)) << components << ": " << int(got.red);
            if (components == 3) {
                EXPECT_TRUE(Near(got.green, want.green)) << int(got.green);
                EXPECT_TRUE(Near(got.blue, want.blue)) << int(got.blue);
            } else {
                EXPECT_EQ(got.green, got.red);
                EXPECT_EQ(got.blue, got.red);
            }
        }
        TvImageDestroy(image);
    }
}

TEST_F(JpegTest, BadFilesGiveNullAndTheProgramGoesOn) {
    const std::vector<uint8_t> good = JpegFile(16, 16, 3, Quadrant);
    std::vector<uint8_t> garbage(good.size(), 0x5A);
    std::vector<uint8_t> damagedHeader = good;
    damagedHeader[3] ^= 0xFF;
    const std::vector<std::vector<uint8_t>> files = {
        {}, garbage, damagedHeader, std::vector<uint8_t>(good.begin(), good.begin() + 20)};
    for (size_t i = 0; i < files.size(); i++) {
        folder.Write("bad.jpg", files[i]);
        EXPECT_EQ(MV2LoadJpeg("bad.jpg"), nullptr) << i;
    }
    EXPECT_EQ(MV2LoadJpeg("missing.jpg"), nullptr);

    // Data cut short after the header still gives a picture: the library ends it for us.
    const std::vector<uint8_t> big = JpegFile(64, 64, 3, Quadrant);
    folder.Write("cut.jpg", std::vector<uint8_t>(big.begin(), big.end() - 40));
    TvImage* cut = MV2LoadJpeg("cut.jpg");
    ASSERT_NE(cut, nullptr);
    TvImageDestroy(cut);
}

// The file's size fields, patched into the start-of-frame segment.
std::vector<uint8_t> WithClaimedSize(std::vector<uint8_t> file, uint16_t width, uint16_t height) {
    for (size_t i = 0; i + 8 < file.size(); i++) {
        if (file[i] == 0xFF && file[i + 1] == 0xC0) {
            file[i + 5] = uint8_t(height >> 8);
            file[i + 6] = uint8_t(height);
            file[i + 7] = uint8_t(width >> 8);
            file[i + 8] = uint8_t(width);
            return file;
        }
    }
    ADD_FAILURE() << "no start-of-frame segment";
    return file;
}

TvImage* ReadBytes(const std::vector<uint8_t>& file) {
    return ReadFromBytes(file, MV2LoadJpegStream);
}

// A few hundred bytes may claim any size: above 4096 on a side the picture is refused before
// anything is allocated; at 4096 it decodes until its data ends.
TEST_F(JpegTest, ClaimedSizesAreBounded) {
    const std::vector<uint8_t> small = JpegFile(16, 16, 3, Quadrant);
    ASSERT_LT(small.size(), 1000u);
    for (auto [w, h] : {std::pair{16384, 16384}, std::pair{4097, 16}, std::pair{16, 4097}})
        EXPECT_EQ(ReadBytes(WithClaimedSize(small, uint16_t(w), uint16_t(h))), nullptr) << w;
    TvImage* image = ReadBytes(WithClaimedSize(small, 4096, 4096));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 4096);
    EXPECT_EQ(image->height, 4096);
    TvImageDestroy(image);
}

// A cut file keeps the rows decoded before its data ended; the rows far below are not decoded
// from nothing (the library would give them mid grey) but left opaque black.
TEST_F(JpegTest, CutFilesStopDecodingWhereTheDataEnds) {
    auto noisyRed = [](int32_t x, int32_t y) {
        return TvRGBA{uint8_t(200 + (x * 7 + y * 13) % 40), uint8_t((x * y) % 50), 20, 255};
    };
    const std::vector<uint8_t> whole = JpegFile(64, 256, 3, noisyRed);
    TvImage* image =
        ReadBytes(std::vector<uint8_t>(whole.begin(), whole.begin() + 3 * long(whole.size()) / 10));
    ASSERT_NE(image, nullptr);
    EXPECT_GE(At(image, 10, 2).red, 180) << "the rows before the cut are decoded";
    for (int32_t y : {200, 255}) {
        const TvRGBA c = At(image, 30, y);
        EXPECT_EQ(c.red, 0) << y;
        EXPECT_EQ(c.green, 0) << y;
        EXPECT_EQ(c.blue, 0) << y;
        EXPECT_EQ(c.alpha, 255) << y;
    }
    TvImageDestroy(image);

    // A progressive file is read whole before its rows come out: its first scans cover the
    // whole picture, and every row is decoded from them.
    const std::vector<uint8_t> progressive = JpegFile(64, 256, 3, noisyRed, 95, true);
    image = ReadFromBytes(std::vector<uint8_t>(progressive.begin(),
                                               progressive.begin() + long(progressive.size()) / 2),
                          MV2LoadJpegStream);
    ASSERT_NE(image, nullptr);
    EXPECT_GE(At(image, 30, 250).red, 150) << "the bottom rows come from the first scans";
    TvImageDestroy(image);
}

TEST_F(JpegTest, ReadsFromAnyEngineStreamAndThroughTheRegistry) {
    const std::vector<uint8_t> file = JpegFile(40, 24, 3, Quadrant);
    TvImage* image = ReadBytes(file);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->width, 40);
    EXPECT_EQ(image->height, 24);
    TvImageDestroy(image);

    folder.Write("texture/sea.jpg", file);
    TvImageRegisterImageFormat("jpg", MV2LoadJpeg, nullptr);
    TvImageSetPath(".\\texture\\");
    image = TvImageRead("SEA.jpg");
    ASSERT_NE(image, nullptr);
    TvImageDestroy(image);
}

} // namespace

// Whole engine on the headless stand-in: a BMP and a JPEG texture, written here, load by name
// along the search path and draw on immediate-mode triangles.

namespace {

class TextureDrawTest : public D3DTest {};

// A quad over the screen fractions [x0, x1] x [0.2, 0.8] at depth 10, texture coordinates 0-1.
void TexturedQuad(float x0, float x1) {
    const float z = 10.0f;
    auto at = [z](float sx, float sy, float u, float v) {
        return TvIm3DVertex{
            {(1.0f - 2.0f * sx) * z, (1.0f - 2.0f * sy) * z, z}, u, v, 255, 255, 255, 255};
    };
    TvIm3DVertex v[4] = {at(x0, 0.2f, 0, 0), at(x1, 0.2f, 1, 0), at(x0, 0.8f, 0, 1),
                         at(x1, 0.8f, 1, 1)};
    uint16_t quad[6] = {0, 1, 2, 2, 1, 3};
    ASSERT_NE(TvIm3DTransform(v, 4, nullptr, kTvIm3DVertexUV), nullptr);
    EXPECT_EQ(TvIm3DRenderIndexedPrimitive(kTvPrimitiveTriangleList, quad, 6), 1);
    EXPECT_TRUE(TvIm3DEnd());
}

TEST_F(TextureDrawTest, BmpAndJpegTexturesLoadByNameAndDraw) {
    DataFolder folder;
    BmpDesc bmp;
    bmp.width = bmp.height = 8;
    bmp.data = BmpRows(8, 8, 24, [](int32_t, int32_t) { return 0xC81E1Eu; }); // (200, 30, 30)
    folder.Write("texture/brick.bmp", BmpFile(bmp));
    folder.Write("texture/sky.jpg", JpegFile(16, 16, 3, [](int32_t, int32_t) {
                     return TvRGBA{30, 60, 220, 255};
                 }));
    TvImageRegisterImageFormat("bmp", TvImageReadBMP, nullptr);
    TvImageRegisterImageFormat("jpg", MV2LoadJpeg, nullptr);
    TvImageSetPath(".\\texture\\");

    TvTexture* brick = TvTextureRead("Brick", nullptr);
    TvTexture* sky = TvTextureRead("sky", nullptr);
    ASSERT_NE(brick, nullptr);
    ASSERT_NE(sky, nullptr);
    EXPECT_EQ(brick->raster->type, kTvRasterTypeTexture);

    TvCamera* camera = Camera(640, 480);
    ASSERT_NE(camera, nullptr);
    TvFrame* frame = TvFrameCreate();
    TvCameraSetFrame(camera, frame);
    TvCameraSetNearClipPlane(camera, 1.0f);
    TvCameraSetFarClipPlane(camera, 100.0f);
    ASSERT_NE(TvCameraBeginUpdate(camera), nullptr);
    const TvRGBA black = {0, 0, 0, 255};
    ASSERT_NE(TvCameraClear(camera, &black, 3), nullptr);
    ASSERT_TRUE(
        TvRenderStateSet(kTvRenderStateTextureRaster, reinterpret_cast<intptr_t>(brick->raster)));
    TexturedQuad(0.1f, 0.45f);
    ASSERT_TRUE(
        TvRenderStateSet(kTvRenderStateTextureRaster, reinterpret_cast<intptr_t>(sky->raster)));
    TexturedQuad(0.55f, 0.9f);
    ASSERT_NE(TvCameraEndUpdate(camera), nullptr);
    ASSERT_NE(TvCameraShowRaster(camera, nullptr, 0), nullptr);

    TvRaster* fb = TvCameraGetRaster(camera);
    EXPECT_TRUE(Is565(PixelAt(fb, 180, 240), 200, 30, 30)) << "the BMP texture";
    EXPECT_TRUE(Is565(PixelAt(fb, 460, 240), 30, 60, 220)) << "the JPEG texture";
    EXPECT_TRUE(Is565(PixelAt(fb, 320, 240), 0, 0, 0)) << "between the quads";
    EXPECT_TRUE(Is565(PixelAt(fb, 180, 20), 0, 0, 0)) << "above them";

    TvObjectHasFrameReleaseFrame(&camera->object);
    TvFrameDestroy(frame);
    TvTextureDestroy(brick);
    TvTextureDestroy(sky);
}

} // namespace
