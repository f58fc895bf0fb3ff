#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "engine/core/bmp.h"
#include "engine/core/error.h"
#include "engine/core/image.h"
#include "engine/core/stream.h"
#include "tests/support/chunk_writer.h"
#include "tests/support/data_folder.h"
#include "tests/support/engine_checks.h"
#include "tests/support/image_writer.h"
#include "tests/support/null_device.h"

namespace {

class BmpTest : public ::testing::Test {
protected:
    std::optional<NullEngine> engine;
    void SetUp() override { Restart(); }
    // A fresh engine, so that the next error is the one kept.
    void Restart() {
        engine.reset();
        engine.emplace();
        ASSERT_TRUE(engine->ok());
    }
};

TvImage* ReadBytes(const std::vector<uint8_t>& bytes) {
    return ReadFromBytes(bytes, TvImageReadBMPStream);
}

uint8_t Index(const TvImage* image, int32_t x, int32_t y) {
    return image->pixels[size_t(y) * image->stride + x];
}
TvRGBA Colour(const TvImage* image, int32_t x, int32_t y) {
    return reinterpret_cast<const TvRGBA*>(image->pixels + size_t(y) * image->stride)[x];
}

std::vector<TvRGBA> Greys(int n) {
    std::vector<TvRGBA> p;
    for (int i = 0; i < n; i++)
        p.push_back({uint8_t(i), uint8_t(i + 1), uint8_t(i + 2), 0});
    return p;
}

// Palettised pictures of every depth: indices land top row first, colours in red, green, blue
// order with alpha 255.
TEST_F(BmpTest, PalettisedDepths) {
    struct Case {
        uint16_t bits;
        int32_t width, height;
        uint32_t headerSize;
    } cases[] = {{1, 9, 2, 40}, {4, 5, 3, 40}, {8, 3, 2, 40}, {8, 2, 2, 12}, {4, 3, 1, 12}};
    for (const Case& c : cases) {
        const int colours = 1 << c.bits;
        auto value = [&](int32_t x, int32_t y) { return uint32_t(x * 7 + y * 3) % colours; };
        BmpDesc desc;
        desc.width = c.width;
        desc.height = c.height;
        desc.bits = c.bits;
        desc.headerSize = c.headerSize;
        desc.palette = Greys(colours);
        desc.data = BmpRows(c.width, c.height, c.bits, value);
        TvImage* image = ReadBytes(BmpFile(desc));
        ASSERT_NE(image, nullptr) << c.bits << " bits, header " << c.headerSize;
        EXPECT_EQ(image->depth, 8);
        for (int32_t y = 0; y < c.height; y++)
            for (int32_t x = 0; x < c.width; x++)
                ASSERT_EQ(Index(image, x, y), value(x, y))
                    << c.bits << " bits at " << x << "," << y;
        const TvRGBA last = image->palette[colours - 1];
        EXPECT_EQ(last.red, uint8_t(colours - 1));
        EXPECT_EQ(last.blue, uint8_t(colours + 1));
        EXPECT_EQ(last.alpha, 255);
        TvImageDestroy(image);
    }
}

TEST_F(BmpTest, ColoursUsedOutsideTheRangeMeansAFullTable) {
    for (uint32_t used : {0u, 300u}) {
        BmpDesc desc;
        desc.bits = 8;
        desc.coloursUsed = used;
        desc.palette = Greys(256);
        desc.data = BmpRows(1, 1, 8, [](int32_t, int32_t) { return 255u; });
        TvImage* image = ReadBytes(BmpFile(desc));
        ASSERT_NE(image, nullptr) << used;
        EXPECT_EQ(image->palette[255].red, 255) << used;
        TvImageDestroy(image);
    }
    // Two colours used: the table holds two entries and the rest of the palette is cleared.
    BmpDesc desc;
    desc.bits = 8;
    desc.coloursUsed = 2;
    desc.palette = Greys(2);
    desc.data = BmpRows(1, 1, 8, [](int32_t, int32_t) { return 1u; });
    TvImage* image = ReadBytes(BmpFile(desc));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->palette[1].green, 2);
    EXPECT_EQ(image->palette[2].alpha, 0);
    TvImageDestroy(image);
}

TEST_F(BmpTest, TrueColourRowsArePaddedAndBottomUp) {
    BmpDesc desc;
    desc.width = 3;
    desc.height = 2;
    desc.data = BmpRows(3, 2, 24, [](int32_t x, int32_t y) { return 0x102030u * (x + 1) + y; });
    ASSERT_EQ(desc.data.size(), 24u) << "rows of 9 bytes padded to 12";
    TvImage* image = ReadBytes(BmpFile(desc));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(image->depth, 32);
    const TvRGBA top = Colour(image, 2, 0);
    EXPECT_EQ(top.red, 0x30);
    EXPECT_EQ(top.green, 0x60);
    EXPECT_EQ(top.blue, 0x90);
    EXPECT_EQ(top.alpha, 255);
    EXPECT_EQ(Colour(image, 0, 1).blue, 0x31) << "the file's first row is the bottom row";
    TvImageDestroy(image);
}

std::vector<uint8_t> Rle8File(int32_t width, int32_t height, std::vector<uint8_t> codes) {
    BmpDesc desc;
    desc.width = width;
    desc.height = height;
    desc.bits = 8;
    desc.compression = 1;
    desc.palette = Greys(256);
    desc.data = std::move(codes);
    return BmpFile(desc);
}

TEST_F(BmpTest, RunLengthEncodedRows) {
    // Row 1 (bottom): a run of 2 and an odd literal of 3 with its pad byte; row 0: a literal of 4
    // with no pad, then the end of the picture.
    TvImage* image =
        ReadBytes(Rle8File(5, 2, {2, 9, 0, 3, 1, 2, 3, 0xEE, 0, 0, 0, 4, 4, 5, 6, 7, 1, 8, 0, 1}));
    ASSERT_NE(image, nullptr);
    const uint8_t bottom[] = {9, 9, 1, 2, 3};
    const uint8_t top[] = {4, 5, 6, 7, 8};
    for (int32_t x = 0; x < 5; x++) {
        EXPECT_EQ(Index(image, x, 1), bottom[x]) << x;
        EXPECT_EQ(Index(image, x, 0), top[x]) << x;
    }
    TvImageDestroy(image);

    // End of picture after the first line of three: that line becomes the top row.
    image = ReadBytes(Rle8File(2, 3, {2, 5, 0, 1}));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Index(image, 1, 0), 5);
    EXPECT_EQ(Index(image, 1, 2), 0);
    TvImageDestroy(image);
}

// Writers pad each row's codes past the width (to 4 bytes): a width of 130 has runs of 132.
// The codes land in the row buffer (3 x 136 bytes) and only the width reaches the picture.
TEST_F(BmpTest, RunsPastTheWidthStayInTheRowBuffer) {
    std::vector<uint8_t> codes = {132, 7, 0, 0}; // bottom row: one padded run
    // Top row: a run, a literal of 4 and a run across the width, then the end of the picture.
    codes.insert(codes.end(), {100, 3, 0, 4, 1, 2, 3, 4, 28, 9, 0, 1});
    TvImage* image = ReadBytes(Rle8File(130, 2, codes));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Index(image, 0, 1), 7);
    EXPECT_EQ(Index(image, 129, 1), 7);
    EXPECT_EQ(Index(image, 99, 0), 3);
    EXPECT_EQ(Index(image, 103, 0), 4);
    EXPECT_EQ(Index(image, 129, 0), 9);
    TvImageDestroy(image);

    // A run that fills the buffer exactly (width 3: 24 bytes) still reads.
    image = ReadBytes(Rle8File(3, 1, {24, 5, 0, 1}));
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Index(image, 2, 0), 5);
    TvImageDestroy(image);
}

TEST_F(BmpTest, DamagedRunLengthDataIsRefused) {
    const std::vector<std::vector<uint8_t>> damaged = {
        {25, 1, 0, 1},             // run passes the row buffer of 24 bytes
        {22, 1, 0, 3, 1, 2, 3, 0}, // literal passes the row buffer
        {0, 2, 1, 1},              // delta
        {2, 1, 0, 0},              // ends before the last row
    };
    for (const auto& codes : damaged)
        EXPECT_EQ(ReadBytes(Rle8File(3, 2, codes)), nullptr) << int(codes[0]) << int(codes[1]);
}

TEST_F(BmpTest, UnsupportedFormsAreRefusedWithTheirErrors) {
    struct Case {
        const char* what;
        uint16_t bits;
        uint32_t compression, headerSize;
        int32_t width, height;
        uint32_t error;
    } cases[] = {
        {"RLE4", 4, 2, 40, 1, 1, E_TV_FORMATCONVERSION},
        {"16 bits", 16, 0, 40, 1, 1, E_TV_IMAGEFORMAT},
        {"32 bits", 32, 0, 40, 1, 1, E_TV_IMAGEFORMAT},
        {"RLE8 on 4 bits", 4, 1, 40, 1, 1, E_TV_FORMATCONVERSION},
        {"header of 20", 8, 0, 20, 1, 1, E_TV_FORMATCONVERSION},
        {"header of 128", 8, 0, 128, 1, 1, E_TV_FORMATCONVERSION},
        {"palette after a v4 header", 8, 0, 108, 1, 1, E_TV_FORMATCONVERSION},
        {"top-down", 8, 0, 40, 1, -1, E_TV_NOMEM},
        {"zero width", 24, 0, 40, 0, 1, E_TV_NOMEM},
        {"huge", 24, 0, 40, 0x10000, 0x10000, E_TV_NOMEM},
        // A few bytes of run-length codes may not claim more than 4096 on a side.
        {"RLE8 of 16384 x 16384", 8, 1, 40, 16384, 16384, E_TV_NOMEM},
        {"RLE8 wider than 4096", 8, 1, 40, 4097, 1, E_TV_NOMEM},
        {"RLE8 taller than 4096", 8, 1, 40, 1, 4097, E_TV_NOMEM},
    };
    for (const Case& c : cases) {
        Restart();
        BmpDesc desc;
        desc.bits = c.bits;
        desc.compression = c.compression;
        desc.headerSize = c.headerSize;
        desc.width = c.width;
        desc.height = c.height;
        desc.palette = Greys(c.bits == 8 ? 256 : c.bits == 4 ? 16 : 0);
        desc.data.assign(64, 0);
        EXPECT_EQ(ReadBytes(BmpFile(desc)), nullptr) << c.what;
        EXPECT_EQ(LastErrorCode(), c.error) << c.what;
    }
}

// A file written byte by byte: 2 x 2 pixels of 8 bits, two colours used, and six bytes
// between the colour table and the rows that the pixel-data offset skips.
TEST_F(BmpTest, PixelDataOffsetPastThePalette) {
    // clang-format off
    const std::vector<uint8_t> file = {
        'B', 'M', 76, 0, 0, 0, 0, 0, 0, 0,               // magic, file size, reserved
        68, 0, 0, 0,                                     // pixel data at 14 + 40 + 8 + 6
        40, 0, 0, 0, 2, 0, 0, 0, 2, 0, 0, 0, 1, 0, 8, 0, // info header: 2 x 2, 8 bits
        0, 0, 0, 0, 8, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,  // no compression, image size
        2, 0, 0, 0, 0, 0, 0, 0,                          // two colours used
        0x30, 0x20, 0x10, 0, 0x33, 0x22, 0x11, 0,        // colour table (blue, green, red)
        0xEE, 0xEE, 0xEE, 0xEE, 0xEE, 0xEE,              // gap
        1, 0, 0, 0, 0, 1, 0, 0,                          // bottom row, then top row
    };
    // clang-format on
    TvImage* image = ReadBytes(file);
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Index(image, 0, 0), 0);
    EXPECT_EQ(Index(image, 1, 0), 1);
    EXPECT_EQ(Index(image, 0, 1), 1);
    EXPECT_EQ(Index(image, 1, 1), 0);
    EXPECT_EQ(image->palette[1].red, 0x11);
    EXPECT_EQ(image->palette[1].blue, 0x33);
    TvImageDestroy(image);

    // An offset inside the colour table cannot be reached.
    std::vector<uint8_t> back = file;
    back[10] = 60;
    EXPECT_EQ(ReadBytes(back), nullptr);
}

TEST_F(BmpTest, ShortFilesAndWrongMagicGiveNull) {
    BmpDesc desc;
    desc.width = 4;
    desc.height = 4;
    desc.data = BmpRows(4, 4, 24, [](int32_t, int32_t) { return 0u; });
    std::vector<uint8_t> file = BmpFile(desc);
    for (size_t cut : {size_t(10), size_t(30), file.size() - 1}) {
        std::vector<uint8_t> shorter(file.begin(), file.begin() + long(cut));
        EXPECT_EQ(ReadBytes(shorter), nullptr) << cut;
    }
    file[0] = 'X';
    EXPECT_EQ(ReadBytes(file), nullptr);
}

TEST_F(BmpTest, ReadsByNameThroughTheRegistry) {
    DataFolder folder;
    BmpDesc desc;
    desc.data = BmpRows(1, 1, 24, [](int32_t, int32_t) { return 0xABCDEFu; });
    folder.Write("texture/one.bmp", BmpFile(desc));
    TvImageRegisterImageFormat("bmp", TvImageReadBMP, nullptr);
    TvImageSetPath(".\\texture\\");
    TvImage* image = TvImageRead("one.bmp");
    ASSERT_NE(image, nullptr);
    EXPECT_EQ(Colour(image, 0, 0).red, 0xAB);
    TvImageDestroy(image);
    EXPECT_EQ(TvImageReadBMP("missing.bmp"), nullptr);
}

} // namespace
