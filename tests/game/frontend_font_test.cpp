#include "engine/core/raster.h"
#include "engine/core/texture.h"
#include "game/frontend/draw2d.h"
#include "game/frontend/font.h"
#include "shell/enginestart.h"
#include "shell/errors.h"
#include "shell/frametimer.h"
#include "shell/resfile.h"
#include "tests/game/frontend_sink.h"

#include <cstring>
#include <string>

namespace {

constexpr uint16_t kGap = 0xFFFE, kParam = 0xFFFD, kNone = 0xFFFF;

// A language chunk of hand-made text records and a glyph table of 128 codes: letters 10
// pixels wide on page 0, 'X' on page 5 (beyond the language's one page).
class FontTest : public Sink2DTest {
protected:
    void SetUp() override {
        Sink2DTest::SetUp();
        savedResource = gMV2MenuResource;
        savedTimer = gMV2FrameTimer;
        savedDisplay = gMV2DisplayRequest;
        chunk.assign(kGlyphOffset + 128 * 4, 0);
        for (int c = 0; c < 128; ++c) {
            uint8_t* g = &chunk[kGlyphOffset + size_t(c) * 4];
            g[0] = uint8_t((c % 16) * 16), g[1] = uint8_t((c / 16) * 16), g[2] = 10;
            g[3] = c == 'X' ? 5 : 0;
        }
        row.numFontPages = 1;
        pageRaster.width = pageRaster.height = 256;
        page.raster = &pageRaster;
        pages[0] = &page;
        gMV2MenuResource.languages = chunk.data();
        gMV2MenuResource.dir[MV2_CHUNK_LANGUAGES].size = uint32_t(chunk.size());
        gMV2MenuResource.language.glyphTable = chunk.data() + kGlyphOffset;
        gMV2MenuResource.language.row = &row;
        gMV2MenuResource.language.fontPages = pages;
        gMV2FrameTimer.milliseconds = 0;
        gMV2DisplayRequest.width = 640;
        gMV2DisplayRequest.height = 480;
        MV2Set2DColour(255, 255, 255, 255);
        for (MV2FontPage& p : gMV2FontPages) savedPages.push_back(p.texture), p.texture = &page;
    }
    void TearDown() override {
        for (size_t i = 0; i < 2; ++i) gMV2FontPages[i].texture = savedPages[i];
        gMV2MenuResource = savedResource;
        gMV2FrameTimer = savedTimer;
        gMV2DisplayRequest = savedDisplay;
        Sink2DTest::TearDown();
    }

    // A record at `at` with the units and counted-character count of `units`; a descriptor.
    MV2TextDescriptor Text(size_t at, const std::u16string& units, uint32_t lineHeight = 20) {
        uint32_t counted = 0;
        for (size_t i = 0; i < units.size(); ++i) {
            if (units[i] == kParam) {
                ++i;
                continue;
            }
            if (units[i] != kNone && units[i] != 0xFFFC) counted++;
        }
        uint32_t head = counted | lineHeight << 16;
        std::memcpy(&chunk[at], &head, 4);
        uint32_t speaker = 0xFFFFFFFFu;
        std::memcpy(&chunk[at + 4], &speaker, 4);
        for (size_t i = 0; i < units.size(); ++i) {
            uint16_t u = units[i];
            std::memcpy(&chunk[at + 8 + 2 * i], &u, 2);
        }
        MV2TextDescriptor d = {};
        d.text = &chunk[at];
        d.id = 1;
        d.width = 10 * counted;
        d.revealCount = -1;
        d.fadeFront = -1;
        return d;
    }

    size_t Glyphs() const {
        size_t n = 0;
        for (const Sink2DCall& c : recorded) n += c.raster == intptr_t(&pageRaster);
        return n;
    }

    static constexpr size_t kGlyphOffset = 2048;
    std::vector<uint8_t> chunk;
    MV2Language row = {};
    TvRaster pageRaster = {};
    TvTexture page = {};
    TvTexture* pages[1] = {};
    MV2MenuResource savedResource = {};
    MV2FrameTimer savedTimer = {};
    MV2DisplayRequest savedDisplay = {};
    std::vector<TvTexture*> savedPages;
};

TEST_F(FontTest, MissingTextsDrawNothing) {
    MV2TextDescriptor d = Text(0, u"abc");
    d.id = 0xFFFFFFFFu;
    EXPECT_EQ(MV2DrawText({100, 100}, {200, 40}, &d, 0, 2), 0);
    EXPECT_EQ(MV2DrawText({100, 100}, {200, 40}, nullptr, 0, 2), 0);
    MV2TextDescriptor* list[] = {&d, nullptr};
    EXPECT_EQ(MV2DrawTextWrapped(100, 100, 100, list, 0, 2), 0);
    EXPECT_TRUE(recorded.empty());
}

TEST_F(FontTest, BoxedTextAlignsAndSkipsWhatItCannotDraw) {
    // 'X' sits on a page the language lacks, code 200 lies beyond the glyph table: both skipped
    // but counted; the parameter pair and 0xFFFF are neither drawn nor counted.
    MV2TextDescriptor d = Text(0, u"ab\xFFFD\x0031X\xFFFF\x00C8" u"c");
    EXPECT_EQ(MV2DrawText({100, 100}, {200, 40}, &d, 1, 2), 30);
    ASSERT_EQ(Glyphs(), 3u);
    const auto& first = recorded[0].vertices;
    EXPECT_EQ(first[0].x, 0.0f); // left of the box
    EXPECT_EQ(first[0].y, 90.0f); // (40 - 20) / 2 below the box top
    EXPECT_EQ(first[3].x, 10.0f);
    EXPECT_EQ(first[3].y, 110.0f);
    EXPECT_FLOAT_EQ(first[0].u, float('a' % 16 * 16) / 255.5f);
    EXPECT_EQ(first[0].colour, 0xFFFFFFFFu);
    EXPECT_EQ(recorded[2].vertices[0].x, 20.0f);
    EXPECT_EQ(d.revealCount, -1);

    recorded.clear();
    d.width = 30;
    MV2DrawText({100, 100}, {200, 40}, &d, 0, 0); // centred: 100 - 15
    EXPECT_EQ(recorded[0].vertices[0].x, 85.0f);
    EXPECT_EQ(recorded[0].vertices[0].colour, 0xFF313D99u);
    EXPECT_EQ(recorded[0].vertices[1].colour, 0xFFADABF3u);
    recorded.clear();
    MV2DrawText({100, 100}, {200, 40}, &d, 2, 6); // ending at the right edge
    EXPECT_EQ(recorded[0].vertices[0].x, 170.0f);
}

TEST_F(FontTest, RevealShowsACursorAndStepsWithTheClock) {
    MV2TextDescriptor d = Text(0, u"abcdefghij");
    d.revealCount = 3;
    gMV2FrameTimer.milliseconds = 60;
    MV2DrawText({100, 100}, {200, 40}, &d, 1, 2);
    ASSERT_EQ(recorded.size(), 4u);
    EXPECT_EQ(Glyphs(), 3u);
    const auto& cursor = recorded[3].vertices;
    EXPECT_EQ(recorded[3].raster, 0);
    EXPECT_EQ(cursor[0].x, 30.0f);
    EXPECT_EQ(cursor[3].x - cursor[0].x, 10.0f);
    EXPECT_EQ(cursor[3].y - cursor[0].y, 20.0f);
    const int32_t expected[] = {5, 7, 10};
    EXPECT_EQ(d.revealCount, expected[0]);
    EXPECT_EQ(d.revealClock, 10);
    MV2DrawText({100, 100}, {200, 40}, &d, 1, 2);
    EXPECT_EQ(d.revealCount, expected[1]);
    MV2DrawText({100, 100}, {200, 40}, &d, 1, 2);
    EXPECT_EQ(d.revealCount, expected[2]);
    EXPECT_EQ(d.revealClock, 5);
}

TEST_F(FontTest, FadeFrontLightensTheNewestCharacters) {
    MV2TextDescriptor d = Text(0, u"abc");
    d.fadeFront = 2;
    MV2Set2DColour(0, 0, 0, 128);
    MV2DrawText({100, 100}, {200, 40}, &d, 1, 8);
    ASSERT_EQ(recorded.size(), 3u);
    EXPECT_EQ(recorded[0].vertices[0].colour, 0x807F7F7Fu); // two quarters of the way
    EXPECT_EQ(recorded[1].vertices[0].colour, 0x80BFBFBFu); // three quarters
    EXPECT_EQ(recorded[2].vertices[0].colour, 0x80FFFFFFu); // the newest is white
}

TEST_F(FontTest, WrappedTextBreaksAtGapsUpToEightLines) {
    // No gap: one line however wide.
    MV2TextDescriptor one = Text(0, u"abcdefghijklmnop");
    MV2TextDescriptor* list[] = {&one, nullptr};
    EXPECT_EQ(MV2DrawTextWrapped(100, 50, -20, list, 1, 2), 20);
    EXPECT_EQ(Glyphs(), 16u);

    // Ten two-letter words in 30 pixels: each line holds one word; the eighth holds the rest.
    recorded.clear();
    std::u16string words;
    for (int i = 0; i < 10; ++i) words += std::u16string(i ? u"\xFFFE" : u"") + u"ab";
    MV2TextDescriptor many = Text(512, words);
    list[0] = &many;
    EXPECT_EQ(MV2DrawTextWrapped(100, 300, 15, list, 1, 2), 8 * 20);
    ASSERT_EQ(Glyphs(), 20u);
    EXPECT_EQ(recorded[0].vertices[0].y, 300.0f - 7 * 20); // the last line sits at y
    EXPECT_EQ(recorded[0].vertices[0].x, 85.0f);            // at x - w
    EXPECT_EQ(recorded[19].vertices[0].y, 300.0f);
    EXPECT_EQ(recorded[19].vertices[3].x, 85.0f + 6 * 10 + 2 * 5); // three words, two gaps

    // With flag 0x200 the lines only take their height.
    recorded.clear();
    EXPECT_EQ(MV2DrawTextWrapped(100, 300, 15, list, 0x201, 2), 8 * 20);
    EXPECT_TRUE(recorded.empty());
}

TEST_F(FontTest, WrappedTextJoinsTheListAndCarriesTheReveal) {
    MV2TextDescriptor a = Text(0, u"ab\xFFFF");
    MV2TextDescriptor b = Text(256, u"\xFFFE" u"cd");
    MV2TextDescriptor* list[] = {&a, &b, nullptr};
    a.revealCount = 3;
    // "ab" and "cd" on two lines of 25 pixels: all of the first, one of the second and a cursor.
    EXPECT_EQ(MV2DrawTextWrapped(0, 0, -12, list, 1, 2), 40);
    EXPECT_EQ(Glyphs(), 3u);
    EXPECT_EQ(recorded.size(), 4u);
    EXPECT_EQ(recorded[2].vertices[0].y, 20.0f);
    EXPECT_EQ(a.revealCount, 3); // restored, then stepped by the clock (0 ms here)
}

TEST_F(FontTest, RecordEndFollowsTheLastUnitNotTheCountedOnes) {
    // Two counted characters, a parameter pair and a 0xFFFF: the units end at 8 + 5 x 2 = 18,
    // aligned to 20 from the chunk start (the record itself starting at 64).
    MV2TextDescriptor d = Text(64, u"a\xFFFD" u"1\xFFFF" u"b");
    EXPECT_EQ(MV2TextRecordEnd(&d), chunk.data() + 64 + 20);
    MV2TextDescriptor even = Text(64, u"ab");
    EXPECT_EQ(MV2TextRecordEnd(&even), chunk.data() + 64 + 12);
    EXPECT_EQ(MV2TextRecordEnd(nullptr), nullptr);
}

TEST_F(FontTest, HudFontTablesWidthsAndAnchors) {
    for (const MV2Glyph* table : {gMV2SmallFontGlyphs, gMV2LargeFontGlyphs}) {
        EXPECT_EQ(table[0].code, 'a');
        EXPECT_EQ(table[52].code, '0');
        EXPECT_EQ(table[182].code, 131);
        EXPECT_EQ(MV2FontFindGlyph(table, 'c'), 2); // the first match wins over the repeat
        EXPECT_EQ(MV2FontFindGlyph(table, 1), -1);
        for (int32_t i = 0; i < kMV2FontGlyphs; ++i) {
            EXPECT_LE(table[i].right + 2, 256);
            EXPECT_LE(table[i].top + (table[i].font ? 22 : 20), 256);
        }
    }
    EXPECT_EQ(gMV2SmallFontGlyphs[1].left, 13);
    EXPECT_EQ(gMV2SmallFontGlyphs[1].right, 20);
    EXPECT_EQ(gMV2SmallFontGlyphs[0].bottom - gMV2SmallFontGlyphs[0].top, 19);
    EXPECT_EQ(gMV2LargeFontGlyphs[0].bottom - gMV2LargeFontGlyphs[0].top, 22);
    EXPECT_EQ(MV2FontGetTextWidth("a b", 0), 24);
    EXPECT_EQ(MV2FontGetTextWidth("a\x01", 1), 12);

    const int32_t w = MV2FontGetTextWidth("ab", 0);
    const struct {
        int32_t anchor, x, y;
    } cases[] = {{0, 100, 100}, {4, 100 - w / 2, 90}, {8, 100 - w, 80}, {9, 100, 100}};
    for (const auto& c : cases) {
        recorded.clear();
        MV2FontDrawTextAnchored("ab", 100, 100, 0xFF00FF00u, 0, c.anchor);
        ASSERT_EQ(recorded.size(), 2u) << c.anchor;
        EXPECT_EQ(recorded[0].vertices[0].x, float(c.x)) << c.anchor;
        EXPECT_EQ(recorded[0].vertices[0].y, float(c.y)) << c.anchor;
        EXPECT_EQ(recorded[0].vertices[0].colour, 0xFF00FF00u);
        EXPECT_EQ(recorded[0].vertices[0].recipZ, 30.0f);
        EXPECT_EQ(recorded[0].raster, intptr_t(&pageRaster));
    }
}

TEST_F(FontTest, HudFontCullsOffScreenGlyphsButKeepsTheirAdvance) {
    // 'a' from -5 crosses the left edge; 'b' follows where it would have.
    EXPECT_EQ(MV2FontDrawText("ab", -5, 10, 0xFFFFFFFFu, 0), 19);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].vertices[0].x, 5.0f);
    recorded.clear();
    EXPECT_EQ(MV2FontDrawText("ab", 621, 10, 0xFFFFFFFFu, 0), 19); // 'b' would end at 640
    EXPECT_EQ(recorded.size(), 1u);
    recorded.clear();
    EXPECT_EQ(MV2FontDrawTextShadowed("a", 10, 10, 0xFFFFFFFFu, 1, 1), 14);
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[0].vertices[0].x, 12.0f);
    EXPECT_EQ(recorded[0].vertices[0].colour, 0x7F000000u);
    EXPECT_EQ(recorded[1].vertices[3].y, 32.0f);
}

TEST_F(FontTest, MessageTextIsDrawnWithTheSmallFontLineByLine) {
    EXPECT_EQ(MV2DrawMessageText("ab\ncd", 10, 20, 600, 0xFF123456u), (2 * 5 + 5) * 4);
    ASSERT_EQ(recorded.size(), 4u);
    EXPECT_EQ(recorded[0].vertices[0].x, 10.0f);
    EXPECT_EQ(recorded[0].vertices[3].y, 40.0f); // small glyphs are 20 high
    EXPECT_EQ(recorded[2].vertices[0].y, 40.0f); // the second line 20 lower
    EXPECT_EQ(recorded[2].vertices[0].colour, 0xFF123456u);
    EXPECT_FLOAT_EQ(recorded[2].vertices[0].u, float(gMV2SmallFontGlyphs[2].left) / 255.5f);
}

} // namespace
