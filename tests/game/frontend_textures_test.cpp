// The 2-D texture table's loading, and the sample folder's pages for it.
#include "engine/core/file_interface.h"
#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "shell/bytes.h"
#include "shell/pack.h"
#include "tests/support/data_folder.h"
#include "tests/support/null_device.h"
#include "tools/sampledata/sampledata.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

std::vector<std::string>* g_reads = nullptr;

TvTexture* ReadAllButHud3(const char* name, const char* mask) {
    g_reads->push_back(std::string(name) + "/" + (mask ? mask : "-"));
    if (std::strcmp(name, "hud3") == 0) return nullptr;
    return TvTextureCreate(TvRasterCreate(8, 8, 0, kTvRasterTypeTexture));
}

TEST(Frontend2DTextures, CreationStopsAtTheFirstUnreadableRow) {
    NullEngine engine;
    ASSERT_TRUE(engine.ok());
    std::vector<std::string> reads;
    g_reads = &reads;
    TvTextureReadCallBack saved = TvTextureGetReadCallBack();
    TvTextureSetReadCallBack(ReadAllButHud3);
    EXPECT_EQ(MV2Create2DTextures(), 0);
    ASSERT_EQ(reads.size(), 8u);
    EXPECT_EQ(reads[0], "radar/radarm");
    EXPECT_EQ(reads[4], "glsbits/glsbits");
    EXPECT_NE(MV2Get2DTextureRaster(6), nullptr);
    EXPECT_EQ(MV2Get2DTextureRaster(6)->width, 8);
    EXPECT_EQ(MV2Get2DTextureRaster(7), nullptr);
    EXPECT_EQ(gMV2Texture2D[8].texture, nullptr);
    EXPECT_EQ(MV2Get2DTextureRaster(-1), nullptr);
    EXPECT_EQ(MV2Get2DTextureRaster(25), nullptr);
    MV2Destroy2DTextures();
    for (const MV2Texture2D& row : gMV2Texture2D) {
        EXPECT_EQ(row.texture, nullptr);
        EXPECT_EQ(row.raster, nullptr);
    }
    TvTextureSetReadCallBack(saved);
    g_reads = nullptr;
}

// The palette index of pixel (x, y) of an 8-bit BMP, or -1.
int32_t Pixel8(const std::string& bmp, int32_t x, int32_t y) {
    if (bmp.size() < 54) return -1;
    const uint8_t* b = reinterpret_cast<const uint8_t*>(bmp.data());
    uint32_t data = MV2ReadU32(b + 10);
    int32_t width = int32_t(MV2ReadU32(b + 18)), height = int32_t(MV2ReadU32(b + 22));
    if (MV2ReadU16(b + 28) != 8 || x >= width || y >= height) return -1;
    size_t at = data + size_t(height - 1 - y) * size_t((width + 3) & ~3) + size_t(x);
    return at < bmp.size() ? b[at] : -1;
}

TEST(Frontend2DTextures, SampleFolderHasEveryPageWithTheSpriteCells) {
    DataFolder folder;
    ASSERT_TRUE(SampleDataWrite(folder.path()));
    NullEngine engine;
    ASSERT_TRUE(engine.ok());
    MV2PackFile* pack = MV2MountPackFile(".\\texture.pak");
    ASSERT_NE(pack, nullptr);
    TvFileInterface& f = *TvEngineGetFileInterface();
    auto slurp = [&](const std::string& name) {
        std::string out;
        void* h = f.open((".\\texture\\" + name).c_str(), "rb");
        if (!h) return out;
        char buf[4096];
        size_t n;
        while ((n = f.read(buf, 1, sizeof buf, h)) > 0) out.append(buf, n);
        f.close(h);
        return out;
    };
    std::string pages[kMV2Texture2DRows], masks[kMV2Texture2DRows];
    for (int32_t row = 0; row < kMV2Texture2DRows; ++row) {
        const MV2Texture2D& t = gMV2Texture2D[row];
        pages[row] = slurp(std::string(t.name) + ".bmp");
        EXPECT_FALSE(pages[row].empty()) << t.name;
        if (t.maskName) {
            masks[row] = slurp(std::string(t.maskName) + ".bmp");
            EXPECT_FALSE(masks[row].empty()) << t.maskName;
        }
    }
    // Each sprite's cell is framed on its page and covered by its mask; the index "7" of sprite
    // 7 sits at the cell's top left (its first digit row is three pixels of ink).
    for (int32_t s : {1, 7, 100, 209, 293, 319}) {
        MV2SpriteCell c = MV2GetSpriteCell(s);
        EXPECT_EQ(Pixel8(pages[c.textureRow], c.left, c.top), 1) << s;
        EXPECT_EQ(Pixel8(pages[c.textureRow], c.right - 1, c.bottom - 1), 1) << s;
        if (!masks[c.textureRow].empty()) {
            EXPECT_NE(Pixel8(masks[c.textureRow], c.left + 3, c.top + 3), 0) << s;
        }
    }
    MV2SpriteCell seven = MV2GetSpriteCell(7);
    for (int32_t x = 0; x < 3; ++x) EXPECT_EQ(Pixel8(pages[0], seven.left + 2 + x, seven.top + 2), 8);
    EXPECT_EQ(Pixel8(pages[0], 255, 255), 0); // radar's 30 cells leave the bottom free
    // The HUD font pages carry ink inside each glyph's rectangle, for both sizes.
    for (int32_t large = 0; large < 2; ++large) {
        std::string font = slurp(std::string(gMV2FontPages[large].name) + ".bmp");
        std::string mask = slurp(std::string(gMV2FontPages[large].maskName) + ".bmp");
        ASSERT_GT(font.size(), 54u);
        ASSERT_EQ(mask.size(), font.size());
        const MV2Glyph& g = (large ? gMV2LargeFontGlyphs : gMV2SmallFontGlyphs)[1];
        const uint8_t* b = reinterpret_cast<const uint8_t*>(mask.data());
        size_t at = MV2ReadU32(b + 10) + size_t(255 - (g.top + 5)) * 768 + size_t(g.left + 2) * 3;
        EXPECT_EQ(b[at], 0xFF) << large;
        at = MV2ReadU32(b + 10) + size_t(255 - (g.top + 5)) * 768 + size_t(g.left - 2) * 3;
        EXPECT_EQ(b[at], 0) << large;
    }
    MV2UnmountPackFile(pack);
}

} // namespace
