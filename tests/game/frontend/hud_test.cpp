#include "tests/game/frontend/hud_fixture.h"

#include "game/frontend/hud.h"
#include "game/objects/camera.h"
#include "shell/cdaudio.h"
#include "tests/support/data_folder.h"
#include "tests/support/hud_writer.h"
#include "tools/sampledata/hud.h"

#include <string>

namespace {

// One element of each drawn kind that needs no other module: sprite, energy gauge, depth.
HudLayoutBytes FullLayout(uint32_t craft, uint32_t mode, uint32_t width) {
    HudLayoutBytes l;
    l.craft = craft, l.mode = mode, l.width = width;
    l.elements.push_back({0, {5, 10, 20, 0x80000000u}});
    l.elements.push_back(HudGaugeElement(0, 100, 100, 64, {{6, 0, 0, 255}, {6, 10, 0, 255}}));
    l.elements.push_back({14, {}});
    return l;
}

std::vector<std::string> BoxTexts() {
    std::vector<std::string> out;
    for (const PlatformMessageBoxRecord& r : PlatformMessageBoxes()) out.push_back(r.text);
    return out;
}

// The file's bytes written out by hand: a byte count, one layout for craft index 3 at width 800
// in HUD mode 0 with sprite scales 1.0 and 0.5, and one sprite element.
TEST_F(HudTest, HandWrittenLayoutFileLoadsAndMatchesTheWriter) {
    const std::vector<uint8_t> bytes = {
        0x74, 0, 0, 0,                            // byte count 116
        1, 0, 0, 0,                               // one layout
        0x70, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 0,    // size 112, craft 3, mode 0
        0x20, 3, 0, 0,                            // width 800
        0, 0, 0x80, 0x3F, 0, 0, 0, 0x3F,          // scales 1.0, 0.5
        1, 0, 0, 0,                               // one element
        94, 0, 0, 0, 94, 0, 0, 0, 94, 0, 0, 0,    // signs
        95, 0, 0, 0, 95, 0, 0, 0, 95, 0, 0, 0,    // edge signs
        4, 0, 0, 0, 4, 0, 0, 0, 4, 0, 0, 0,       // sign sizes
        0, 0, 0, 0, 0, 0, 0, 0,                   // no reticles
        255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, 255, // sign colours
        0, 0, 0, 0xFF,                            // reticle alpha
        24, 0, 0, 0, 0, 0, 0, 0,                  // element: 24 bytes, kind 0
        5, 0, 0, 0, 10, 0, 0, 0, 0xEC, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0x80};
    HudLayoutBytes l;
    l.craft = 3, l.width = 800, l.scaleY = 0.5f;
    l.elements.push_back({0, {5, 10, uint32_t(-20), 0x80000000u}});
    EXPECT_EQ(HudDafFile({l}), bytes);

    DataFolder folder;
    folder.Write("data/hud.daf", bytes);
    ASSERT_EQ(MV2HudReadLayoutFile(), 1);
    MV2HudLayout layout;
    ASSERT_EQ(MV2HudFindLayout(84, 800, 0, &layout), 1);
    EXPECT_EQ(layout.scaleX, 1.0f);
    EXPECT_EQ(layout.scaleY, 0.5f);
    EXPECT_EQ(layout.reticleWord >> 24, 255u);
    MV2HudElement e = {};
    ASSERT_EQ(MV2HudNextElement(&layout, &e), 1);
    EXPECT_EQ(e.kind, 0u);
    EXPECT_EQ(e.Int(1), 10);
    EXPECT_EQ(e.Int(2), -20);
    EXPECT_EQ(e.Word(3) >> 24, 0x80u);
    EXPECT_EQ(MV2HudNextElement(&layout, &e), 0);
}

TEST_F(HudTest, MissingOrShortFileFailsWithItsBox) {
    DataFolder folder;
    EXPECT_EQ(MV2HudReadLayoutFile(), 0);
    folder.Write("data/hud.daf", HudDafFile({FullLayout(0, 4, 640)}, 4)); // count past the end
    EXPECT_EQ(MV2HudReadLayoutFile(), 0);
    EXPECT_EQ(gMV2HudFile.data, nullptr);
    const std::vector<std::string> expected(2, "Error: file data\\hud.daf not found!");
    EXPECT_EQ(BoxTexts(), expected);
    folder.Write("data/hud.daf", HudDafFile({FullLayout(0, 4, 640)}));
    EXPECT_EQ(MV2HudReadLayoutFile(), 1);
    EXPECT_EQ(gMV2HudFile.layouts, 1u);
}

// The walk keeps the layouts before the first inconsistent size; the bad one and all after it
// are dropped.
TEST_F(HudTest, InconsistentSizesStopTheLayoutWalk) {
    struct Case {
        const char* name;
        void (*spoil)(HudLayoutBytes&);
    };
    const Case cases[] = {
        {"layout below 88", [](HudLayoutBytes& l) { l.size = 84; }},
        {"layout not a multiple of 4", [](HudLayoutBytes& l) { l.size = 90 + 4 * 13; }},
        {"layout past the buffer", [](HudLayoutBytes& l) { l.size = 100000; }},
        {"element size 0", [](HudLayoutBytes& l) { l.elements[0].size = 0; }},
        {"element size 6", [](HudLayoutBytes& l) { l.elements[0].size = 6; }},
        {"element not a multiple of 4", [](HudLayoutBytes& l) { l.elements[0].size = 26; }},
        {"element past its layout", [](HudLayoutBytes& l) { l.elements[2].size = 64; }},
        {"more elements than bytes", [](HudLayoutBytes& l) { l.elementCount = 9; }},
        {"sprite element too short", [](HudLayoutBytes& l) { l.elements[0].words.resize(2); }},
        {"gauge with too many segments",
         [](HudLayoutBytes& l) { l.elements[1].words[3] = 3; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        HudLayoutBytes bad = FullLayout(0, 4, 640);
        c.spoil(bad);
        const std::vector<uint8_t> data = HudLayoutData({FullLayout(0, 0, 640), bad, FullLayout(1, 0, 640)});
        EXPECT_EQ(MV2HudCountLayouts(data.data(), data.size()), 1u);
    }
    std::vector<uint8_t> data = HudLayoutData({FullLayout(0, 0, 640)});
    data[0] = 5; // five layouts announced, one present
    EXPECT_EQ(MV2HudCountLayouts(data.data(), data.size()), 1u);
    EXPECT_EQ(MV2HudCountLayouts(data.data(), 3), 0u);
}

TEST_F(HudTest, LayoutChoiceByCraftWidthAndMode) {
    HudLayoutBytes beyond = FullLayout(11, 4, 640); // craft index past the table
    UseLayouts(HudLayoutData({FullLayout(0, 4, 640), FullLayout(3, 0, 800), FullLayout(2, 4, 1024),
                              beyond, FullLayout(0, 4, 800)}));
    ASSERT_EQ(gMV2HudFile.layouts, 5u);
    const struct {
        int32_t type, width;
        uint32_t mode;
        int32_t found;
        uint32_t craft, foundWidth;
    } cases[] = {{0, 640, 4, 1, 0, 640},  {0, 800, 4, 1, 0, 800},  {84, 800, 0, 1, 3, 800},
                 {84, 640, 0, 0, 0, 0},   {1, 1024, 4, 1, 2, 1024}, {0, 640, 0, 0, 0, 0},
                 {15, 640, 4, 0, 0, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.type * 10000 + c.width);
        MV2HudLayout layout = {};
        EXPECT_EQ(MV2HudFindLayout(c.type, c.width, c.mode, &layout), c.found);
        if (c.found) {
            EXPECT_EQ(layout.craft, c.craft);
            EXPECT_EQ(layout.width, c.foundWidth);
        }
    }
}

TEST_F(HudTest, WithoutAMatchingLayoutOnlyClockAndOverlayDraw) {
    UseLayouts(HudLayoutData({FullLayout(3, 0, 800)}));
    MV2SetCameraMode(0);
    TvMatrix matrix = {};
    matrix.at = {0, 0, 1};
    MV2Object sub = {};
    sub.matrix = &matrix;
    sub.typeWord = 0; // craft index 0; only an 800-wide layout for type 84 exists
    MV2RenderHud(&sub);
    EXPECT_EQ(Sprites(), 0u);

    UseLayouts(HudLayoutData({FullLayout(0, 4, 640)}));
    MV2RenderHud(&sub);
    EXPECT_EQ(Sprites(), 3u); // the sprite element and two gauge segments
}

uint32_t Alpha(uint32_t c) {
    return c >> 24;
}

// Gauges: segments run from the last in the list down; the first one at or under the fraction is
// partial, the later ones full in the mode's colour.
TEST_F(HudTest, GaugeColourModes) {
    const HudLayoutBytes l = [] {
        HudLayoutBytes b;
        for (uint32_t mode : {0u, 1u, 2u, 3u})
            b.elements.push_back(HudGaugeElement(mode, 0, 0, 64,
                                                 {{6, 0, 0, 200}, {6, 1, 0, 200}, {6, 2, 0, 200},
                                                  {6, 3, 0, 200}}));
        return b;
    }();
    UseLayouts(HudLayoutData({l}));
    MV2HudLayout layout;
    ASSERT_EQ(MV2HudGetLayout(0, &layout), 1);
    MV2HudElement gauges[4] = {};
    for (int i = 0; i < 4; ++i) {
        if (i) gauges[i] = gauges[i - 1];
        ASSERT_EQ(MV2HudNextElement(&layout, &gauges[i]), 1);
    }
    const uint32_t override = 0x8000FF00u;
    const struct {
        int mode;
        float fraction;
        uint32_t last;  // the colour of the last drawn (fullest) segment
        uint32_t first; // the first drawn segment
    } cases[] = {
        {0, 0.5f, 0xC861BDFFu, 0x4061BDFFu},
        {1, 0.5f, kMV2HudColour, 0x4061BDFFu},
        {1, 0.25f, kMV2HudRed, 0x4061BDFFu},
        {1, 0.4f, kMV2HudYellow, 0x4061BDFFu},
        {2, 0.5f, override, 0x4061BDFFu},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.mode * 100 + int(c.fraction * 100));
        Calls().clear();
        MV2HudDrawGauge(&gauges[c.mode], c.fraction, c.mode == 2 ? &override : nullptr);
        ASSERT_EQ(Calls().size(), 4u);
        EXPECT_EQ(Calls().front().vertices[0].colour, c.first);
        EXPECT_EQ(Calls().back().vertices[0].colour, c.last);
        // Segment i = 2 is the partial one at 0.5 (t = 0): base alpha, HUD colour.
        if (c.fraction == 0.5f) {
            EXPECT_EQ(Alpha(Calls()[1].vertices[0].colour), 64u);
        }
    }
    Calls().clear();
    MV2HudDrawGauge(&gauges[3], 0.5f, nullptr);
    EXPECT_TRUE(Calls().empty());
}

TEST_F(HudTest, NumbersDrawAtMostSevenDigits) {
    const struct {
        int32_t value;
        size_t glyphs;
        float firstU; // the glyph of the first digit drawn
    } cases[] = {{0, 1, 0.0f}, {-5, 1, 0.0f}, {12345678, 7, 2.0f}, {7, 1, 7.0f}, {1000000, 7, 1.0f}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.value);
        Calls().clear();
        MV2HudDrawNumber(c.value, 100, 50, 0xFFFFFFFFu, 1);
        ASSERT_EQ(Glyphs(), c.glyphs);
        // The digit glyphs sit at code '0' + d: column (48 + d) % 16 of their row.
        const float u = Calls().front().vertices[0].u * 256.0f / 16.0f;
        EXPECT_NEAR(u, float((48 + int(c.firstU)) % 16), 0.05f);
        EXPECT_EQ(Calls().front().vertices[0].x, 100.0f);
        EXPECT_EQ(Calls().front().vertices[0].y, 50.0f);
    }
    Calls().clear();
    MV2HudDrawNumber(42, 100, 0, 0xFFFFFFFFu, 2); // right-aligned: ends at x
    EXPECT_EQ(Calls().back().vertices[3].x, 100.0f);
    Calls().clear();
    MV2HudDrawNumber(42, 100, 0, 0xFFFFFFFFu, 0); // centred
    EXPECT_EQ(Calls().front().vertices[0].x, 90.0f);
}

TEST_F(HudTest, ModeSevenTogglesBetweenNormalAndHistory) {
    const struct {
        uint32_t from, to;
    } cases[] = {{0, 3}, {3, 0}, {4, 4}, {5, 5}};
    for (const auto& c : cases) {
        MV2HudSetMode(c.from);
        MV2HudSetMode(7);
        EXPECT_EQ(MV2HudGetMode(), c.to) << c.from;
    }
    MV2HudSetMode(9);
    EXPECT_EQ(MV2HudGetMode(), 9u);
    MV2HudSetMode(0);
}

TEST_F(HudTest, ScoreSortKeepsTheNamedTiesAndSwapsOthers) {
    MV2HudAddScoreRow(0, 0, 0, 1);
    const int32_t rows[][2] = {{100, 5}, {101, 5}, {732, 7}, {733, 7}, {739, 3}, {102, 3}, {103, 9}};
    for (const auto& r : rows) MV2HudAddScoreRow(r[0], 1, r[1], 0);
    EXPECT_EQ(gMV2Hud.tableShown, 1);
    MV2HudSortScoreTable(1, 2);
    const int32_t expected[] = {103, 732, 733, 101, 100, 739, 102};
    for (int i = 0; i < 7; ++i) EXPECT_EQ(gMV2Hud.rows[i].textId, expected[i]) << i;
    EXPECT_EQ(gMV2Hud.rows[kMV2HudScoreRows].textId, 1);
    // Rows beyond ten are ignored.
    for (int i = 0; i < 6; ++i) MV2HudAddScoreRow(200 + i, 0, 0, 0);
    EXPECT_EQ(gMV2Hud.rowCount, kMV2HudScoreRows);
    MV2HudAddScoreRow(0, 0, 0, 1);
    EXPECT_EQ(gMV2Hud.tableShown, 0);
}

TEST_F(HudTest, FailureBannerQueuesTrackTwentyTwo) {
    MV2ResetMusic();
    gMV2FrameTimer.frameClock = 1000;
    MV2HudShowResultBanner(1);
    EXPECT_EQ(MV2MusicPlaylistCount(), 0);
    EXPECT_EQ(gMV2Hud.bannerRow, 76);
    EXPECT_EQ(gMV2Hud.bannerEnd, 21000u);
    MV2HudShowResultBanner(0);
    EXPECT_EQ(gMV2Hud.bannerRow, 77);
    EXPECT_EQ(MV2MusicPlaylistCount(), 1);
    MV2HudHideResultBanner();
    EXPECT_EQ(gMV2Hud.bannerEnd, 1000u);
    MV2ResetMusic();
}

TEST_F(HudTest, EnergyFractionIsZeroWithoutInitialEnergy) {
    MV2ObjectType* type = MV2GetObjectType(30);
    MV2Object object = {};
    object.type = type;
    object.energy = 50.0f;
    const struct {
        float initial, fraction;
    } cases[] = {{100.0f, 0.5f}, {25.0f, 1.0f}, {0.0f, 0.0f}, {-10.0f, 0.0f}};
    for (const auto& c : cases) {
        MV2SetTypeFloat(type, 1, c.initial);
        EXPECT_EQ(MV2HudEnergyFraction(&object), c.fraction) << c.initial;
    }
}

TEST_F(HudTest, ResetStateSetsTheSpecialTypes) {
    MV2HudAddTypeToSet(0, 12);
    gMV2Hud.crackLevel = 40;
    MV2ResetHudState();
    EXPECT_EQ(MV2HudTypeInSet(0, 12), 0);
    EXPECT_EQ(gMV2Hud.typeCounts[1], 3);
    for (int32_t t : {350, 351, 352}) EXPECT_EQ(MV2HudTypeInSet(1, t), 1);
    EXPECT_EQ(MV2HudTypeInSet(1, 448), 0);
    EXPECT_EQ(gMV2Hud.crackLevel, 0);
}

} // namespace

namespace {

TEST_F(HudTest, SampleLayoutsCoverEveryCraftWidthAndMode) {
    DataFolder folder;
    ASSERT_TRUE(SampleDataWriteHud(folder.path()));
    ASSERT_EQ(MV2HudReadLayoutFile(), 1);
    EXPECT_EQ(gMV2HudFile.layouts, 66u);
    for (int32_t type : kMV2HudCraftTable)
        for (int32_t width : {640, 800, 1024})
            for (uint32_t mode : {0u, 4u}) {
                MV2HudLayout layout;
                EXPECT_EQ(MV2HudFindLayout(type, width, mode, &layout), 1) << type << " " << width;
            }
}

} // namespace

namespace {

TEST_F(HudTest, HudStringCharactersOutsideTheTableAreSkipped) {
    const struct {
        char c;
        int32_t row;
    } cases[] = {{'.', 12}, {'-', 84}, {'T', 85}, {':', 86}, {'0', 2},  {'9', 11},
                 {'~', 80}, {'/', 1},  {' ', -1}, {'\0', -1}, {char(0x85), 87}, {char(0x86), -1}, {char(0xFF), -1}};
    for (const auto& c : cases) EXPECT_EQ(MV2HudCharacterRow(c.c), c.row) << int(uint8_t(c.c));
}

} // namespace

namespace {

// Below a quarter of its energy the sub's screen cracks reach (0.25 - fraction) x 64; the level
// never falls back, and a sub exactly at the origin changes nothing.
TEST_F(HudTest, ScreenCrackLevelFollowsLowEnergyAndNeverFalls) {
    MV2ObjectType* type = MV2GetObjectType(30);
    MV2SetTypeFloat(type, 1, 100.0f);
    type->words[29] = (1000u << 16) | 1000u; // a deep depth limit: only the energy counts
    TvMatrix matrix = {};
    matrix.pos = {1.0f, 1.0f, 1.0f};
    MV2Object sub = {};
    sub.type = type;
    sub.matrix = &matrix;
    gMV2Hud.crackLevel = 0;
    const struct {
        float energy;
        int32_t level;
    } cases[] = {{80.0f, 0}, {10.0f, 9}, {20.0f, 9}, {0.0f, 16}};
    for (const auto& c : cases) {
        sub.energy = c.energy;
        MV2UpdateScreenCrackLevel(&sub);
        EXPECT_EQ(gMV2Hud.crackLevel, c.level) << c.energy;
    }
    matrix.pos = {0.0f, 0.0f, 0.0f};
    gMV2Hud.crackLevel = 0;
    MV2UpdateScreenCrackLevel(&sub);
    EXPECT_EQ(gMV2Hud.crackLevel, 0);
}

} // namespace
