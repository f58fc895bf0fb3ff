#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

#include "engine/core/d3d/d3dtexture.h"
#include "engine/core/d3d/dds.h"
#include "engine/core/image.h"
#include "engine/core/texture.h"
#include "tests/engine/d3d_fixture.h"
#include "tests/support/chunk_writer.h"
#include "tests/support/data_folder.h"
#include "tests/support/image_writer.h"

namespace {

constexpr uint32_t kFourCC = 0x4;

class DdsTest : public D3DTest {
protected:
    std::vector<TvD3DTextureFormat*> hidden_;

    void TearDown() override {
        ShowCompressedFormats();
        D3DTest::TearDown();
    }

    TvRaster* Read(const std::vector<uint8_t>& file, uint32_t expected = 0) {
        TvStream* s = OpenReadStream(file);
        TvRaster* r = TvD3DReadDDS(s, expected);
        TvStreamClose(s, nullptr);
        if (r) rasters_.push_back(r);
        return r;
    }

    // A texture read by name from a DDS file written into `folder` along the search path.
    TvTexture* TextureFromFile(DataFolder& folder, const std::string& name, const DdsDesc& desc,
                               const char* mask = nullptr) {
        folder.Write("t/" + name + ".dds", DdsFile(desc));
        TvImageSetPath("t\\");
        return TvD3DReadDDSTexture(name.c_str(), mask);
    }

    // The device as a card without compressed formats.
    void HideCompressedFormats() {
        HideFormats([](const DDPIXELFORMAT& p) { return (p.dwFlags & DDPF_FOURCC) != 0; });
    }
    void HideFormats(bool (*hide)(const DDPIXELFORMAT&)) {
        TvD3DTextureFormat** link = &TvD3DDriver.formats;
        while (*link) {
            if (hide((*link)->desc.ddpfPixelFormat)) {
                hidden_.push_back(*link);
                *link = (*link)->next;
            } else {
                link = &(*link)->next;
            }
        }
    }
    void ShowCompressedFormats() {
        for (TvD3DTextureFormat* f : hidden_) {
            f->next = TvD3DDriver.formats;
            TvD3DDriver.formats = f;
        }
        hidden_.clear();
    }
};

// The native texture chunks of a texture, as written.
std::vector<uint8_t> NativeBytes(TvTexture* t) {
    TvStream* out = TvStreamOpen(TV_STREAM_MEMORY, TV_STREAM_WRITE, nullptr);
    EXPECT_TRUE(TvD3DNativeTextureWrite(out, t, 0));
    TvMemory memory{};
    TvStreamClose(out, &memory);
    const std::vector<uint8_t> bytes(memory.start, memory.start + memory.length);
    TvFree(memory.start);
    return bytes;
}

DdsDesc Rgb565(uint32_t w, uint32_t h) {
    DdsDesc s;
    s.width = w;
    s.height = h;
    for (uint32_t i = 0; i < w * h; i++) {
        s.data.push_back(uint8_t(i * 17));
        s.data.push_back(uint8_t(i * 3));
    }
    return s;
}

DdsDesc Argb8888(uint32_t w, uint32_t h, uint32_t levels) {
    DdsDesc s;
    s.width = w;
    s.height = h;
    s.bits = 32;
    s.formatFlags = 0x41; // RGB with alpha
    s.masks[0] = 0x00FF0000;
    s.masks[1] = 0x0000FF00;
    s.masks[2] = 0x000000FF;
    s.masks[3] = 0xFF000000;
    if (levels > 1) {
        s.flags |= 0x20000;
        s.mipCount = levels;
        s.caps |= 0x400008;
    }
    for (uint32_t k = 0; k < levels; k++) {
        const uint32_t lw = std::max(1u, w >> k), lh = std::max(1u, h >> k);
        for (uint32_t i = 0; i < lw * lh; i++)
            for (uint8_t b : {uint8_t(k), uint8_t(i), uint8_t(0x40 + k), uint8_t(0xFF)})
                s.data.push_back(b);
    }
    return s;
}

// One 4 x 4 block of a solid colour, alpha opaque.
DdsDesc Dxt(char n, uint16_t colour565) {
    DdsDesc s;
    s.flags |= 0x80000; // linear size
    s.formatFlags = kFourCC;
    s.fourCC = MakeFourCC('D', 'X', 'T', n);
    s.bits = 0;
    std::memset(s.masks, 0, sizeof s.masks);
    if (n == '2' || n == '3') s.data.assign(8, 0xFF); // explicit alpha, all 15
    if (n == '4' || n == '5') s.data = {0xFF, 0x00, 0, 0, 0, 0, 0, 0};
    const uint8_t colour[8] = {uint8_t(colour565), uint8_t(colour565 >> 8), 0, 0, 0, 0, 0, 0};
    s.data.insert(s.data.end(), colour, colour + 8);
    s.linearSize = uint32_t(s.data.size());
    return s;
}

TEST_F(DdsTest, UncompressedSurfacesLoadAsTheyAre) {
    DdsDesc desc = Rgb565(3, 2);
    TvRaster* r = Read(DdsFile(desc));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(r->width, 3);
    EXPECT_EQ(r->height, 2);
    EXPECT_EQ(r->depth, 16);
    EXPECT_EQ(r->type, kTvRasterTypeTexture);
    EXPECT_EQ(TvRasterGetFormat(r), kTvRasterFormat565);
    EXPECT_EQ((PixelAt(r, 2, 0) & 0xFFFF), uint32_t(desc.data[4] | desc.data[5] << 8));
    EXPECT_EQ((PixelAt(r, 0, 1) & 0xFFFF), uint32_t(desc.data[6] | desc.data[7] << 8))
        << "rows unpadded";
    EXPECT_NE(TvD3DGetRasterData(r)->texture, nullptr);
}

TEST_F(DdsTest, MipLevelsAreReadLargestFirstUnlessTheDeviceCannotFilterThem) {
    const std::vector<uint8_t> file = DdsFile(Argb8888(4, 2, 3));
    TvRaster* r = Read(file);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(TvRasterGetFormat(r), kTvRasterFormat8888 | kTvRasterFormatMipMap);
    IDirectDrawSurface4* level = TvD3DGetRasterData(r)->surface;
    for (uint32_t k = 0; k < 3; k++, level = TvD3DSurfaceNextMipLevel(level)) {
        ASSERT_NE(level, nullptr) << k;
        DDSURFACEDESC2 desc;
        auto* p = static_cast<uint8_t*>(TvD3DSurfaceLockRead(level, &desc));
        ASSERT_NE(p, nullptr);
        EXPECT_EQ(desc.dwWidth, std::max(1u, 4u >> k));
        EXPECT_EQ(p[0], k) << "level " << k;
        EXPECT_EQ(p[2], 0x40 + k);
        TvD3DSurfaceUnlock(level);
    }
    EXPECT_EQ(level, nullptr);

    const DWORD filters = TvD3DDriver.caps.dpcTriCaps.dwTextureFilterCaps;
    TvD3DDriver.caps.dpcTriCaps.dwTextureFilterCaps = filters & ~0x3Cu;
    TvRaster* single = Read(file);
    TvD3DDriver.caps.dpcTriCaps.dwTextureFilterCaps = filters;
    ASSERT_NE(single, nullptr);
    EXPECT_EQ(TvRasterGetFormat(single), kTvRasterFormat8888);
    EXPECT_EQ(TvD3DSurfaceNextMipLevel(TvD3DGetRasterData(single)->surface), nullptr);
    EXPECT_EQ((PixelAt(single, 1, 0) >> 8) & 0xFF, 0x01u) << "the top level's pixels";
}

TEST_F(DdsTest, CompressedFilesWithoutADeviceFormatTakeTheClosestSubstitute) {
    HideCompressedFormats();
    EXPECT_FALSE(TvD3DSupportsDXT());
    struct Case {
        char n;
        uint16_t colour;
        uint32_t format;
    } cases[] = {{'1', 0xF800, kTvRasterFormat1555},
                 {'3', 0x07E0, kTvRasterFormat4444},
                 {'5', 0x001F, kTvRasterFormat8888}};
    for (const Case& c : cases) {
        TvRaster* r = Read(DdsFile(Dxt(c.n, c.colour)));
        ASSERT_NE(r, nullptr) << "DXT" << c.n;
        EXPECT_EQ(TvRasterGetFormat(r), c.format) << "DXT" << c.n;
        uint32_t p = PixelAt(r, 3, 3);
        TvRGBA colour{};
        ASSERT_TRUE(Std(3, &colour, &p, int32_t(c.format)));
        EXPECT_EQ(colour.red > 200, c.colour == 0xF800) << "DXT" << c.n;
        EXPECT_EQ(colour.green > 200, c.colour == 0x07E0) << "DXT" << c.n;
        EXPECT_EQ(colour.blue > 200, c.colour == 0x001F) << "DXT" << c.n;
    }
    // Without a format of exactly the wanted alpha the one with the most alpha bits is taken.
    HideFormats([](const DDPIXELFORMAT& p) { return p.dwRGBAlphaBitMask == 0x8000; });
    TvRaster* widest = Read(DdsFile(Dxt('1', 0xF800)));
    ASSERT_NE(widest, nullptr);
    EXPECT_EQ(TvRasterGetFormat(widest), kTvRasterFormat8888) << "DXT1 without a 1555 format";

    // An uncompressed format the device lacks has no substitute.
    DdsDesc pal;
    pal.bits = 8;
    pal.formatFlags = 0x20; // 8-bit palette
    std::memset(pal.masks, 0, sizeof pal.masks);
    pal.data.assign(16 + 4 + 1024, 0);
    EXPECT_EQ(Read(DdsFile(pal)), nullptr);
}

TEST_F(DdsTest, CompressedFilesKeepTheirFormatOnADeviceThatHasIt) {
    if (!TvD3DSupportsDXT()) GTEST_SKIP() << "the OpenGL side offers no DXT formats";
    TvRaster* r = Read(DdsFile(Dxt('1', 0xF800)));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(TvRasterGetFormat(r), kTvRasterFormat1555) << "DXT1 counts as 1555";
    EXPECT_EQ(TvD3DGetRasterData(r)->format->format.dwFourCC, FOURCC_DXT1);
    EXPECT_EQ(TvRasterLock(r, 1), nullptr) << "compressed blocks are no 1555 pixels";
    r = Read(DdsFile(Dxt('4', 0x07E0)));
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(TvRasterGetFormat(r), kTvRasterFormat4444);
}

TEST_F(DdsTest, DamagedFilesAreRefused) {
    struct Case {
        const char* what;
        void (*damage)(DdsDesc&);
    } cases[] = {
        {"description size", [](DdsDesc& s) { s.descSize = 108; }},
        {"zero width", [](DdsDesc& s) { s.width = 0; }},
        {"wider than the device", [](DdsDesc& s) { s.width = 1u << 20; }},
        {"bit count 12", [](DdsDesc& s) { s.bits = 12; }},
        {"unknown FourCC",
         [](DdsDesc& s) {
             s.formatFlags = kFourCC;
             s.fourCC = MakeFourCC('A', 'T', 'I', '2');
         }},
        {"too many mip levels",
         [](DdsDesc& s) {
             s.flags |= 0x20000;
             s.mipCount = 4;
             s.caps |= 0x400008;
         }},
        {"linear size that does not fit",
         [](DdsDesc& s) {
             s.flags |= 0x80000;
             s.linearSize = 31;
         }},
        {"pixels cut short", [](DdsDesc& s) { s.data.pop_back(); }},
    };
    for (const Case& c : cases) {
        DdsDesc desc = Rgb565(4, 4);
        c.damage(desc);
        EXPECT_EQ(Read(DdsFile(desc)), nullptr) << c.what;
    }
    std::vector<uint8_t> wrongMagic = DdsFile(Rgb565(4, 4));
    wrongMagic[3] = 'X';
    EXPECT_EQ(Read(wrongMagic), nullptr);
    DdsDesc dxt = Dxt('1', 0xF800);
    dxt.linearSize = 16;
    EXPECT_EQ(Read(DdsFile(dxt)), nullptr) << "DXT1 level of one block is 8 bytes";
}

TEST_F(DdsTest, TexturesComeFromTheWholeSearchPathAndTheName) {
    DataFolder folder;
    folder.Write("a/;b/wall.dds", DdsFile(Rgb565(2, 2)));
    TvImageSetPath("a\\;b\\");
    TvTexture* t = TvD3DReadDDSTexture("wall", nullptr);
    ASSERT_NE(t, nullptr);
    EXPECT_STREQ(t->name, "wall");
    EXPECT_STREQ(t->maskName, "");
    EXPECT_EQ(t->dictionary, nullptr) << "in no dictionary";
    EXPECT_EQ(t->raster->width, 2);
    TvTextureDestroy(t);

    EXPECT_EQ(TvD3DReadDDSTexture("missing", nullptr), nullptr);
    EXPECT_EQ(TvD3DReadDDSTexture(std::string(260, 'n').c_str(), nullptr), nullptr);
    EXPECT_EQ(TvD3DReadDDSTexture(nullptr, nullptr), nullptr);
}

// The stored description is the surface's own, pitch included, with the system-memory,
// texture, texture-manage and pitch flags cleared; rows are stored without their padding.
TEST_F(DdsTest, NativeTextureStoresTheSurfaceDescription) {
    DataFolder folder;
    TvTexture* t = TextureFromFile(folder, "tile", Rgb565(3, 2));
    ASSERT_NE(t, nullptr);
    IDirectDrawSurface4* surface = TvD3DGetRasterData(t->raster)->surface;
    DDSURFACEDESC2 own{};
    ASSERT_EQ(surface->GetSurfaceDesc(&own), DD_OK);
    ASSERT_EQ(own.lPitch, 8) << "rows of 6 bytes padded to 4";
    ASSERT_NE(own.dwFlags & DDSD_PITCH, 0u);
    ASSERT_NE(own.ddsCaps.dwCaps & DDSCAPS_TEXTURE, 0u);

    const std::vector<uint8_t> bytes = NativeBytes(t);
    // First struct chunk (20), name "tile" (12 + 8), empty mask (12 + 4), block header (12).
    const size_t block = 20 + 20 + 16 + 12;
    ASSERT_EQ(bytes.size(), block + 4 + kTvDDSDescSize + 12);
    ASSERT_EQ(std::memcmp(bytes.data() + block, "DDS ", 4), 0);
    DDSURFACEDESC2 stored;
    TvD3DParseSurfaceDesc(bytes.data() + block + 4, &stored);
    EXPECT_EQ(stored.lPitch, own.lPitch);
    EXPECT_EQ(stored.dwFlags, own.dwFlags & ~DWORD(DDSD_PITCH));
    EXPECT_EQ(stored.ddsCaps.dwCaps,
              own.ddsCaps.dwCaps & ~DWORD(DDSCAPS_SYSTEMMEMORY | DDSCAPS_TEXTURE));
    EXPECT_EQ(stored.ddsCaps.dwCaps2, own.ddsCaps.dwCaps2 & ~DWORD(DDSCAPS2_TEXTUREMANAGE));
    EXPECT_EQ(stored.dwWidth, 3u);
    const std::vector<uint8_t> pixels(bytes.end() - 12, bytes.end());
    EXPECT_EQ(pixels, Rgb565(3, 2).data);

    // It reads back into a surface of the same pitch and pixels.
    TvTexture* back = nullptr;
    TvStream* in = OpenReadStream(bytes);
    ASSERT_TRUE(TvD3DNativeTextureRead(in, &back, 0));
    TvStreamClose(in, nullptr);
    ASSERT_NE(back, nullptr);
    DDSURFACEDESC2 d;
    auto* p =
        static_cast<uint8_t*>(TvD3DSurfaceLockRead(TvD3DGetRasterData(back->raster)->surface, &d));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(d.lPitch, 8);
    EXPECT_EQ(std::vector<uint8_t>(p + 8, p + 14),
              std::vector<uint8_t>(pixels.begin() + 6, pixels.end()));
    TvD3DSurfaceUnlock(TvD3DGetRasterData(back->raster)->surface);
    TvTextureDestroy(back);
    TvTextureDestroy(t);
}

TEST_F(DdsTest, NativeTextureBlockRoundTrip) {
    DataFolder folder;
    TvTexture* t = TextureFromFile(folder, "stone", Argb8888(4, 4, 3), "stonemask");
    ASSERT_NE(t, nullptr);
    TvTextureSetFilterMode(t, 4);
    TvTextureSetAddressing(t, 2);

    uint32_t size = 0;
    ASSERT_TRUE(TvD3DNativeTextureSize(&size, t, 0));
    const std::vector<uint8_t> bytes = NativeBytes(t);
    EXPECT_EQ(bytes.size(), size);
    EXPECT_EQ(std::memcmp(bytes.data() + 12, "D3D", 4), 0);

    TvTexture* back = nullptr;
    TvStream* in = OpenReadStream(bytes);
    ASSERT_TRUE(TvD3DNativeTextureRead(in, &back, 0));
    TvStreamClose(in, nullptr);
    ASSERT_NE(back, nullptr);
    EXPECT_STREQ(back->name, "stone");
    EXPECT_STREQ(back->maskName, "stonemask");
    EXPECT_EQ(back->filterMode, 4u);
    EXPECT_EQ(back->addressing, 2u);
    EXPECT_EQ(TvRasterGetFormat(back->raster), TvRasterGetFormat(t->raster));
    for (IDirectDrawSurface4 *a = TvD3DGetRasterData(t->raster)->surface,
                             *b = TvD3DGetRasterData(back->raster)->surface;
         a || b; a = TvD3DSurfaceNextMipLevel(a), b = TvD3DSurfaceNextMipLevel(b)) {
        ASSERT_TRUE(a && b) << "same number of levels";
        DDSURFACEDESC2 da, db;
        auto* pa = static_cast<uint8_t*>(TvD3DSurfaceLockRead(a, &da));
        auto* pb = static_cast<uint8_t*>(TvD3DSurfaceLockRead(b, &db));
        ASSERT_EQ(da.dwWidth, db.dwWidth);
        for (DWORD y = 0; y < da.dwHeight; y++)
            EXPECT_EQ(std::memcmp(pa + y * da.lPitch, pb + y * db.lPitch, 4 * da.dwWidth), 0);
        TvD3DSurfaceUnlock(a);
        TvD3DSurfaceUnlock(b);
    }
    TvTextureDestroy(back);

    // Another platform's block is refused without an error; a struct chunk too short for the
    // platform id is refused too.
    std::vector<uint8_t> other = bytes;
    other[12] = 'X';
    in = OpenReadStream(other);
    EXPECT_FALSE(TvD3DNativeTextureRead(in, &back, 0));
    EXPECT_EQ(back, nullptr);
    TvStreamClose(in, nullptr);
    EXPECT_EQ(TakeErrorCode(), E_TV_NOERROR);
    ChunkWriter shortStruct;
    shortStruct.Begin(TV_ID_STRUCT).U32(0x00443344).End();
    in = OpenReadStream(shortStruct.data());
    EXPECT_FALSE(TvD3DNativeTextureRead(in, &back, 0));
    TvStreamClose(in, nullptr);

    // A surface block whose chunk is shorter than what its description makes the reader read
    // is refused, as is one too short for the description itself.
    const size_t blockLength = 12 + 8 + 12 + 8 + 12 + 12 + 4; // its header's length field
    uint32_t stated = 0;
    std::memcpy(&stated, bytes.data() + blockLength, 4);
    ASSERT_EQ(stated, bytes.size() - blockLength - 8) << "the block runs to the end";
    for (uint32_t length : {stated - 4, 100u, 0u}) {
        std::vector<uint8_t> cut = bytes;
        std::memcpy(cut.data() + blockLength, &length, 4);
        in = OpenReadStream(cut);
        EXPECT_FALSE(TvD3DNativeTextureRead(in, &back, 0)) << length;
        EXPECT_EQ(back, nullptr);
        TvStreamClose(in, nullptr);
    }
    TvTextureDestroy(t);
}

} // namespace
