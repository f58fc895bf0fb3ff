#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "engine/core/engine.h"
#include "engine/core/error.h"
#include "engine/core/image.h"
#include "engine/core/memory.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "engine/core/texture_stream.h"
#include "tests/support/chunk_writer.h"
#include "tests/support/data_folder.h"
#include "tests/support/engine_checks.h"
#include "tests/support/null_device.h"

namespace {

// A driver stand-in: rasters take type and format from their flags; the wanted raster size may
// be forced; the last image converted into a raster is kept for inspection.
struct FakeDriver {
    int32_t forcedWidth = 0, forcedHeight = 0;
    std::vector<uint32_t> createFlags;
    int32_t convertedWidth = 0, convertedHeight = 0, convertedDepth = 0;
    TvRGBA convertedFirst{};
};
FakeDriver g_driver;

int32_t Create(void*, void* in, int32_t flags) {
    auto* r = static_cast<TvRaster*>(in);
    r->type = uint8_t(flags & kTvRasterTypeMask);
    r->createFlags = uint8_t(flags & 0xF8);
    r->format = uint8_t(flags >> 8);
    g_driver.createFlags.push_back(uint32_t(flags));
    return 1;
}
int32_t Format(void* out, void* in, int32_t flags) {
    auto* r = static_cast<TvRaster*>(out);
    const auto* image = static_cast<TvImage*>(in);
    r->width = g_driver.forcedWidth ? g_driver.forcedWidth : image->width;
    r->height = g_driver.forcedHeight ? g_driver.forcedHeight : image->height;
    r->type = uint8_t(flags & 7);
    r->format = uint8_t(flags >> 8) | 0x03;
    return 1;
}
int32_t Convert(void*, void* in, int32_t) {
    const auto* image = static_cast<TvImage*>(in);
    g_driver.convertedWidth = image->width;
    g_driver.convertedHeight = image->height;
    g_driver.convertedDepth = image->depth;
    g_driver.convertedFirst = image->depth == 32 ? *reinterpret_cast<TvRGBA*>(image->pixels)
                                                 : image->palette[image->pixels[0]];
    return 1;
}

// Image readers that make a 2 x 2 picture whose first pixel tells which reader ran.
TvImage* Picture(uint8_t tag) {
    TvImage* image = TvImageCreate(2, 2, 8);
    TvImageAllocatePixels(image);
    std::memset(image->pixels, 0, size_t(image->stride) * 2);
    std::memset(image->palette, 0, 256 * sizeof(TvRGBA));
    image->palette[0] = {tag, 0x40, 0x80, 0xFF};
    return image;
}
TvImage* BmpReader(const char*) {
    return Picture(1);
}
TvImage* JpgReader(const char*) {
    return Picture(2);
}

class TextureTest : public ::testing::Test {
protected:
    NullEngine engine;
    DataFolder folder;
    void SetUp() override {
        ASSERT_TRUE(engine.ok());
        g_driver = FakeDriver{};
        TV_ENGINE->standardFunctions[4] = Create;
        TV_ENGINE->standardFunctions[9] = Format;
        TV_ENGINE->standardFunctions[7] = Convert;
        TvImageRegisterImageFormat("bmp", BmpReader, nullptr);
        TvImageRegisterImageFormat("jpg", JpgReader, nullptr);
        TvImageSetPath("tex\\");
    }
    void Touch(const std::string& name) { folder.Write("tex/" + name, std::string("x")); }
};

TEST_F(TextureTest, LookupIgnoresLetterCaseAndMaskAndCountsReferences) {
    Touch("Rock.bmp");
    TvTexture* rock = TvTextureRead("Rock", "");
    ASSERT_NE(rock, nullptr);
    EXPECT_EQ(rock->refCount, 1u);
    EXPECT_EQ(rock->dictionary, TvTexDictionaryGetCurrent());
    EXPECT_STREQ(rock->maskName, "");
    EXPECT_EQ(TvTextureRead("rOCK", nullptr), rock);
    EXPECT_EQ(TvTextureRead("ROCK", "othermask"), rock) << "the mask plays no part";
    EXPECT_EQ(rock->refCount, 3u);
    EXPECT_EQ(TvTextureRead("Rocks", ""), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_TEXTURENOTFOUND);

    TvTextureDestroy(rock);
    TvTextureDestroy(rock);
    EXPECT_EQ(StandardCallCount(5), 0) << "still held";
    TvTextureDestroy(rock);
    EXPECT_EQ(StandardCallCount(5), 1) << "the raster goes with the last reference";
    EXPECT_EQ(TvTexDictionaryFindNamedTexture(TvTexDictionaryGetCurrent(), "rock"), nullptr);
}

TEST_F(TextureTest, DefaultReaderPrefersJpegAndMipmapsOnRequest) {
    Touch("both.bmp");
    Touch("both.jpg");
    TvTexture* t = TvTextureRead("both", nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_EQ(g_driver.convertedFirst.red, 2) << "read from the JPEG file";
    EXPECT_EQ(g_driver.createFlags.back(), 0x0304u);
    EXPECT_EQ(t->raster->type, kTvRasterTypeTexture);
    EXPECT_EQ(t->filterMode, 1u);

    TvTextureSetMipmapping(true);
    Touch("mip.bmp");
    ASSERT_NE(TvTextureRead("mip", nullptr), nullptr);
    EXPECT_EQ(g_driver.createFlags.back() & 0x8000u, 0x8000u);
    EXPECT_EQ(g_driver.convertedFirst.red, 1);
}

TEST_F(TextureTest, PicturesAreWidenedAndResampledToTheDriversSize) {
    Touch("big.bmp");
    g_driver.forcedWidth = 4;
    g_driver.forcedHeight = 1;
    ASSERT_NE(TvTextureRead("big", nullptr), nullptr);
    EXPECT_EQ(g_driver.convertedWidth, 4);
    EXPECT_EQ(g_driver.convertedHeight, 1);
    EXPECT_EQ(g_driver.convertedDepth, 32);
    EXPECT_EQ(g_driver.convertedFirst.green, 0x40);
    EXPECT_EQ(g_driver.convertedFirst.alpha, 0xFF);

    // Without a size change an 8-bit picture reaches the driver as it is.
    g_driver.forcedWidth = g_driver.forcedHeight = 0;
    Touch("small.bmp");
    ASSERT_NE(TvTextureRead("small", nullptr), nullptr);
    EXPECT_EQ(g_driver.convertedDepth, 8);
}

TEST_F(TextureTest, MaskedReadsAndRefusals) {
    Touch("pic.bmp");
    Touch("pic_m.bmp");
    TvTexture* t = TvTextureRead("pic", "pic_m");
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t->maskName, "pic_m");
    EXPECT_EQ(g_driver.convertedFirst.alpha, 0x80) << "alpha from the mask's largest channel";

    Touch("lonely.bmp");
    EXPECT_EQ(TvTextureRead("lonely", "nomask"), nullptr) << "the mask is missing";
    EXPECT_EQ(TvTextureRead("nothing", nullptr), nullptr);

    TV_ENGINE->standardFunctions[9] = [](void*, void*, int32_t) -> int32_t { return 0; };
    Touch("odd.bmp");
    EXPECT_EQ(TvTextureDefaultRead("odd", nullptr), nullptr) << "no raster format";
}

// While a dictionary is current, only it is searched: a texture that another dictionary holds
// is read afresh through the callback (here there is no file, so it is not found).
TEST_F(TextureTest, ACurrentDictionaryHidesTheOthers) {
    TvTexDictionary* other = TvTexDictionaryCreate();
    ASSERT_NE(other, nullptr);
    TvTexture* stone = TvTextureCreate(nullptr);
    TvTextureSetName(stone, "stone");
    TvTexDictionaryAddTexture(other, stone);
    ASSERT_NE(TvTexDictionaryGetCurrent(), other);
    EXPECT_EQ(TvTextureRead("stone", nullptr), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_TEXTURENOTFOUND);
    EXPECT_EQ(stone->refCount, 1u);

    // Without a current dictionary the other one is searched and the texture found.
    TvTexDictionaryDestroy(TvTexDictionaryGetCurrent());
    EXPECT_EQ(TvTextureRead("stone", nullptr), stone);
    EXPECT_EQ(stone->refCount, 2u);
}

TEST_F(TextureTest, DestroyingADictionaryDestroysItsTextures) {
    Touch("a.bmp");
    TvTexDictionary* dict = TvTexDictionaryGetCurrent();
    TvTexture* a = TvTextureRead("a", nullptr);
    TvTextureRead("a", nullptr);
    TvTextureRead("a", nullptr);
    ASSERT_EQ(a->refCount, 3u);
    EXPECT_TRUE(TvTexDictionaryDestroy(dict));
    EXPECT_EQ(StandardCallCount(5), 1);
    EXPECT_EQ(TvTexDictionaryGetCurrent(), nullptr);

    // With no current dictionary a texture belongs to none and is loaded again each time.
    TvTexture* first = TvTextureRead("a", nullptr);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first->dictionary, nullptr);
    TvTexture* second = TvTextureRead("a", nullptr);
    EXPECT_NE(second, first);
    TvTextureDestroy(first);
    TvTextureDestroy(second);

    // Other dictionaries are searched, newest first.
    TvTexDictionary* older = TvTexDictionaryCreate();
    TvTexDictionary* newer = TvTexDictionaryCreate();
    TvTexture* x = TvTextureCreate(nullptr);
    TvTextureSetName(x, "shared");
    TvTexture* y = TvTextureCreate(nullptr);
    TvTextureSetName(y, "SHARED");
    TvTexDictionaryAddTexture(older, x);
    TvTexDictionaryAddTexture(newer, y);
    EXPECT_EQ(TvTextureRead("shared", nullptr), y);
    TvTexDictionaryAddTexture(older, y); // moves it
    EXPECT_EQ(y->dictionary, older);
    EXPECT_EQ(TvTexDictionaryFindNamedTexture(newer, "shared"), nullptr);
    EXPECT_EQ(TvTexDictionaryFindNamedTexture(older, "shared"), y) << "newest first";
}

TEST_F(TextureTest, SetRasterWantsATextureRaster) {
    TvTexture* t = TvTextureCreate(nullptr);
    TvRaster* plain = TvRasterCreate(4, 4, 0, 0);
    TvRaster* texture = TvRasterCreate(4, 4, 0, kTvRasterTypeTexture);
    EXPECT_EQ(TvTextureSetRaster(t, plain), nullptr);
    EXPECT_EQ(TvTextureSetRaster(t, texture), t);
    EXPECT_EQ(StandardCallCount(8), 1);
    EXPECT_EQ(TvTextureSetRaster(t, nullptr), t);
    EXPECT_EQ(t->raster, nullptr);
    TvTextureDestroy(t);
    TvRasterDestroy(plain);
    TvRasterDestroy(texture);
}

// Portable texture chunks.

std::vector<uint8_t> TextureChunk(uint32_t settings, const std::string& name,
                                  const std::string& mask, bool extraChunk = false,
                                  uint32_t structSize = 4) {
    ChunkWriter w;
    w.Begin(TV_ID_STRUCT).U32(settings);
    for (uint32_t i = 4; i < structSize; i += 4)
        w.U32(0xDEADBEEF);
    w.End();
    if (extraChunk) w.Chunk(0x99, {1, 2, 3, 4});
    w.String(name).String(mask);
    WriteExtension(w, {});
    return w.data();
}

TvTexture* ReadChunk(const std::vector<uint8_t>& bytes) {
    TvStream* s = OpenReadStream(bytes);
    TvTexture* t = TvTextureStreamRead(s);
    TvStreamClose(s, nullptr);
    return t;
}

TEST_F(TextureTest, TextureChunksSetModesAndLeaveMipmappingAsTheyFoundIt) {
    Touch("wall.bmp");
    Touch("floor.bmp");
    TvTexture* wall = ReadChunk(TextureChunk(0x0304, "wall", "", true));
    ASSERT_NE(wall, nullptr);
    EXPECT_EQ(wall->filterMode, 4u);
    EXPECT_EQ(wall->addressing, 3u);
    EXPECT_EQ(g_driver.createFlags.back() & 0x8000u, 0x8000u);
    EXPECT_TRUE(TvTextureGetMipmapping()) << "left on";

    // Already loaded: its own modes stay.
    EXPECT_EQ(ReadChunk(TextureChunk(0x0102, "WALL", "")), wall);
    EXPECT_EQ(wall->filterMode, 4u);
    EXPECT_FALSE(TvTextureGetMipmapping());

    TvTexture* floor = ReadChunk(TextureChunk(0x0101, "floor", "", false, 12));
    ASSERT_NE(floor, nullptr) << "a longer struct chunk has its excess skipped";
    EXPECT_EQ(floor->filterMode, 1u);
    EXPECT_EQ(g_driver.createFlags.back() & 0x8000u, 0u);
}

TEST_F(TextureTest, DamagedTextureChunksAreRefused) {
    ChunkWriter badVersion;
    badVersion.Begin(TV_ID_STRUCT, 0x400).U32(1).End();
    EXPECT_EQ(ReadChunk(badVersion.data()), nullptr);
    EXPECT_EQ(LastErrorCode(), E_TV_BADVERSION);

    ChunkWriter shortStruct;
    shortStruct.Begin(TV_ID_STRUCT).Bytes("\x01\x01", 2).End().String("x").String("");
    EXPECT_EQ(ReadChunk(shortStruct.data()), nullptr);

    ChunkWriter noMask;
    noMask.Begin(TV_ID_STRUCT).U32(1).End().String("x");
    EXPECT_EQ(ReadChunk(noMask.data()), nullptr);

    EXPECT_EQ(ReadChunk(TextureChunk(1, "absent", "")), nullptr);
}

TEST_F(TextureTest, StringChunks) {
    EXPECT_EQ(TvStringStreamGetSize("abc"), 4u);
    EXPECT_EQ(TvStringStreamGetSize("abcd"), 8u);
    EXPECT_EQ(TvStringStreamGetSize(nullptr), 4u);

    TvStream* out = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_WRITE, nullptr);
    ASSERT_NE(TvStringStreamWrite("abcd", out), nullptr);
    ASSERT_NE(TvStringStreamWrite(nullptr, out), nullptr);
    TvMemory memory{};
    TvStreamClose(out, &memory);
    const std::vector<uint8_t> written(memory.start, memory.start + memory.length);
    TvFree(memory.start);
    const std::vector<uint8_t> expected = {2,   0,   0,   0,   8, 0, 0, 0, 1, 3, 0, 0,
                                           'a', 'b', 'c', 'd', 0, 0, 0, 0, 2, 0, 0, 0,
                                           4,   0,   0,   0,   1, 3, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(written, expected);
    TvStream* back = OpenReadStream(written);
    char* first = TvStringStreamRead(back);
    char* second = TvStringStreamRead(back);
    EXPECT_STREQ(first, "abcd");
    EXPECT_STREQ(second, "");
    TvStringFree(first);
    TvStringFree(second);
    TvStreamClose(back, nullptr);

    // A 16-bit name reads the same as its 8-bit form; other chunks before it are skipped; a
    // payload without a terminator still gives a terminated string.
    ChunkWriter w;
    w.Chunk(0x77, {9, 9, 9, 9});
    w.Chunk(TV_ID_UNICODESTRING, {'a', 0, 'b', 0, 'c', 0, 0, 0});
    w.Chunk(TV_ID_STRING, {'x', 'y', 'z', 'w'});
    TvStream* in = OpenReadStream(w.data());
    char* wide = TvStringStreamRead(in);
    char* bare = TvStringStreamRead(in);
    EXPECT_STREQ(wide, "abc");
    EXPECT_STREQ(bare, "xyzw");
    EXPECT_EQ(TvStringStreamRead(in), nullptr) << "end of stream";
    TvStringFree(wide);
    TvStringFree(bare);
    TvStreamClose(in, nullptr);
}

} // namespace
