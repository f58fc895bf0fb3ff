#include "game/frontend/draw2d.h"
#include "shell/gamestate.h"
#include "tests/game/frontend_sink.h"

#include "engine/core/raster.h"

#include <cmath>
#include <set>

namespace {

class Draw2DTest : public Sink2DTest {
protected:
    void SetUp() override {
        Sink2DTest::SetUp();
        savedMode = gMV2GameState.current;
        gMV2GameState.current = 0;
        MV2Set2DScreenScale(640, 480);
        MV2Rect2D clip = {0, 0, 100, 100};
        MV2Set2DClipRect(&clip);
        MV2Set2DColour(255, 255, 255, 255);
        MV2Set2DSecondColour(0, 0, 0, 255);
        page.width = page.height = kMV2Texture2DSize;
        for (MV2Texture2D& row : gMV2Texture2D) row.raster = &page;
    }
    void TearDown() override {
        for (MV2Texture2D& row : gMV2Texture2D) row.raster = nullptr;
        gMV2GameState.current = savedMode;
        Sink2DTest::TearDown();
    }

    static float Area(const TvIm2DVertex& a, const TvIm2DVertex& b, const TvIm2DVertex& c) {
        return std::fabs((b.x - a.x) * (c.y - a.y) - (c.x - a.x) * (b.y - a.y)) * 0.5f;
    }

    TvRaster page = {};
    int8_t savedMode = 0;
};

uint8_t Red(uint32_t colour) {
    return uint8_t(colour >> 16);
}

TEST_F(Draw2DTest, SpriteTableFollowsTheTextureRuns) {
    EXPECT_EQ(gMV2Sprite2D[0].texture, nullptr);
    EXPECT_EQ(gMV2Sprite2D[0].uRight, 1.0f);
    const struct {
        int32_t sprite, row;
    } cases[] = {{1, 0},    {27, 0},   {28, 2},   {83, 2},   {91, 5},   {109, 3},  {170, 1},
                 {186, 13}, {209, 14}, {213, 15}, {229, 19}, {233, 14}, {292, 16}, {293, 20},
                 {308, 21}, {309, 22}, {313, 23}, {319, 24}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.sprite);
        EXPECT_EQ(gMV2Sprite2D[c.sprite].texture, &gMV2Texture2D[c.row]);
        EXPECT_EQ(MV2GetSpriteCell(c.sprite).textureRow, c.row);
    }
    // Within a page no two sprites share a cell, every cell lies on the page, and uv values
    // are multiples of 1/512.
    std::set<std::tuple<int32_t, int32_t, int32_t>> used;
    for (int32_t s = 1; s < kMV2Sprite2DRows; ++s) {
        MV2SpriteCell c = MV2GetSpriteCell(s);
        EXPECT_TRUE(used.insert({c.textureRow, c.left, c.top}).second) << s;
        EXPECT_LE(c.right, kMV2Texture2DSize);
        EXPECT_LE(c.bottom, kMV2Texture2DSize);
        EXPECT_EQ(std::fmod(gMV2Sprite2D[s].uRight * 512.0f, 1.0f), 0.0f);
    }
    EXPECT_EQ(MV2GetSpriteCell(-1).textureRow, -1);
}

TEST_F(Draw2DTest, ClippedRectIsCutAtTheEdgesWithInterpolatedColour) {
    gMV2GameState.current = 1;
    MV2Set2DColour(200, 0, 0, 255);
    MV2Set2DSecondColour(0, 0, 0, 255);
    MV2Draw2DRect(-50, 50, 50, 150, 1); // left half and bottom half outside
    ASSERT_FALSE(recorded.empty());
    float area = 0.0f;
    bool cutAtBottom = false;
    for (const Sink2DCall& c : recorded) {
        ASSERT_EQ(c.kind, Sink2DCall::kTriangle);
        for (const TvIm2DVertex& v : c.vertices) {
            EXPECT_GE(v.x, 0.0f);
            EXPECT_LE(v.y, 100.0f);
            EXPECT_EQ(v.recipZ, 20.0f);
            // The gradient runs from red 200 at y 50 to 0 at y 150.
            EXPECT_NEAR(Red(v.colour), 200.0f * (150.0f - v.y) / 100.0f, 1.0f);
            if (v.y == 100.0f) cutAtBottom = true;
        }
        area += Area(c.vertices[0], c.vertices[1], c.vertices[2]);
    }
    EXPECT_TRUE(cutAtBottom);
    EXPECT_NEAR(area, 50.0f * 50.0f, 0.01f);

    recorded.clear();
    MV2Draw2DRect(120, 10, 150, 40, 0); // entirely right of the clip rectangle
    EXPECT_TRUE(recorded.empty());
    MV2Draw2DRect(10, 10, 40, 40, 0); // entirely inside: two whole triangles
    EXPECT_EQ(recorded.size(), 2u);
}

TEST_F(Draw2DTest, ClippingAtAllFourEdgesStaysWithinTheTriangleList) {
    gMV2GameState.current = 1;
    MV2Set2DScreenScale(640, 480);
    MV2Rect2D clip = {40, 40, 60, 60};
    MV2Set2DClipRect(&clip);
    TvIm2DVertex v[3] = {};
    v[0].x = 50, v[0].y = -100;
    v[1].x = -100, v[1].y = 200;
    v[2].x = 200, v[2].y = 200;
    MV2Draw2DTriangleClipped(v, nullptr);
    float area = 0.0f;
    for (const Sink2DCall& c : recorded) area += Area(c.vertices[0], c.vertices[1], c.vertices[2]);
    EXPECT_NEAR(area, 400.0f, 0.05f); // the whole clip square lies inside the triangle
}

TEST_F(Draw2DTest, SpriteIndexesOutsideTheTableDrawNothing) {
    MV2Set2DColour(1, 2, 3, 4);
    for (int32_t index : {-1, 320}) {
        MV2SpriteDraw q = {};
        q.sprite = index;
        q.scaleX = q.scaleY = 1.0f;
        q.right = q.bottom = 1.0f;
        q.sweep = 1.0f;
        MV2Draw2DSprite(&q);
        MV2Draw2DSpritePart(&q);
        MV2Draw2DSpriteBar(&q);
        MV2Draw2DSpriteSweep(&q);
        MV2Draw2DSpriteRotated(&q);
        MV2Draw2DIcon(0, 0, index, 0xFFFFFFFF);
        MV2Draw2DSpriteSized(0, 0, 5, 5, index, 0xFFFFFFFF);
    }
    EXPECT_TRUE(recorded.empty());
    EXPECT_EQ(MV2Get2DColour(), 0x04010203u);
}

TEST_F(Draw2DTest, SpriteTakesItsSizeFromTheRasterAndItsColoursTopAndBottom) {
    MV2SpriteDraw q = {};
    q.x = 10, q.y = 20, q.sprite = 293, q.colour0 = 0xFF112233, q.colour1 = 0xFF445566;
    q.scaleX = 2.0f, q.scaleY = 1.0f;
    MV2Draw2DSprite(&q);
    ASSERT_EQ(recorded.size(), 1u);
    const auto& v = recorded[0].vertices;
    MV2SpriteCell cell = MV2GetSpriteCell(293);
    float w = float(cell.right - cell.left), h = float(cell.bottom - cell.top);
    EXPECT_EQ(recorded[0].raster, intptr_t(&page));
    EXPECT_EQ(v[3].x, 10.0f + 2.0f * w);
    EXPECT_EQ(v[3].y, 20.0f + h);
    EXPECT_EQ(v[0].colour, 0xFF112233u);
    EXPECT_EQ(v[2].colour, 0xFF112233u);
    EXPECT_EQ(v[1].colour, 0xFF445566u);
    EXPECT_EQ(v[3].u, gMV2Sprite2D[293].uRight);
}

TEST_F(Draw2DTest, RingThickerThanItsHalfAxesIsAFilledEllipse) {
    MV2Draw2DRing(0, 0, 40, 20, 30, 0);
    ASSERT_EQ(recorded.size(), 72u);
    // The first quad starts at the top and runs clockwise; inner corners sit on the centre.
    EXPECT_NEAR(recorded[0].vertices[0].x, 20.0f, 1e-4f);
    EXPECT_NEAR(recorded[0].vertices[0].y, 0.0f, 1e-4f);
    EXPECT_GT(recorded[0].vertices[2].x, 20.0f);
    for (const Sink2DCall& c : recorded) {
        EXPECT_EQ(c.vertices[1].x, 20.0f);
        EXPECT_EQ(c.vertices[1].y, 10.0f);
        EXPECT_EQ(c.vertices[3].x, 20.0f);
    }
}

TEST_F(Draw2DTest, SweepQuarterAndWhole) {
    MV2SpriteDraw q = {};
    q.x = 0, q.y = 0, q.sprite = 1, q.colour0 = 0xFFFFFFFF;
    MV2SpriteCell cell = MV2GetSpriteCell(1);
    const float W = float(cell.right - cell.left), H = float(cell.bottom - cell.top);
    q.sweep = 0.25f;
    MV2Draw2DSpriteSweep(&q);
    ASSERT_EQ(recorded.size(), 1u);
    // The lower quarter triangle; the side triangles of f = 0.25 have no area.
    const auto& t = recorded[0].vertices;
    ASSERT_EQ(t.size(), 9u);
    EXPECT_EQ(Area(t[3], t[4], t[5]) + Area(t[6], t[7], t[8]), 0.0f);
    EXPECT_EQ(t[0].x, W / 2);
    EXPECT_EQ(t[0].y, H / 2);
    EXPECT_NEAR(t[1].x, W, 1e-4f);
    EXPECT_EQ(t[1].y, H);
    EXPECT_NEAR(t[2].x, 0.0f, 1e-4f);
    EXPECT_EQ(t[2].y, H);
    EXPECT_NEAR(t[1].u, gMV2Sprite2D[1].uRight, 1e-6f);

    recorded.clear();
    q.sweep = 1.0f;
    MV2Draw2DSpriteSweep(&q);
    ASSERT_EQ(recorded.size(), 1u);
    const auto& all = recorded[0].vertices;
    ASSERT_EQ(all.size(), 15u);
    float area = 0.0f;
    for (size_t i = 0; i < all.size(); i += 3) area += Area(all[i], all[i + 1], all[i + 2]);
    EXPECT_NEAR(area, W * H, 0.01f);

    recorded.clear();
    q.sweep = 0.0f;
    MV2Draw2DSpriteSweep(&q);
    EXPECT_TRUE(recorded.empty());
}

TEST_F(Draw2DTest, GradientColourCarriesIntoTheNextLine) {
    MV2Set2DColour(255, 0, 0, 255);
    MV2Set2DSecondColour(0, 0, 255, 255);
    MV2Draw2DRect(0, 0, 10, 10, 1);
    MV2Move2DPen(10, 10);
    MV2Draw2DLineTo(50, 10);
    ASSERT_EQ(recorded.size(), 2u);
    const Sink2DCall& line = recorded[1];
    ASSERT_EQ(line.kind, Sink2DCall::kLine);
    EXPECT_EQ(line.vertices[0].x, 10.0f);
    EXPECT_EQ(line.vertices[0].colour, 0xFFFF0000u);
    EXPECT_EQ(line.vertices[1].colour, 0xFF0000FFu);
}

TEST_F(Draw2DTest, LinesAreClippedAndThePenTakesTheTarget) {
    MV2Set2DColour(255, 255, 255, 255);
    MV2Move2DPen(-10, 50);
    MV2Draw2DLineTo(200, 50);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].vertices[0].x, 0.0f);
    EXPECT_EQ(recorded[0].vertices[1].x, 100.0f);
    recorded.clear();
    MV2Draw2DLineTo(300, 60); // both ends right of the clip: nothing, but the pen moves
    EXPECT_TRUE(recorded.empty());
    MV2Draw2DLineTo(50, 60);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].vertices[1].x, 100.0f);
    // The bottom edge itself counts as outside; the scaled form stops one pixel above it.
    recorded.clear();
    MV2Move2DPen(50, 0);
    MV2Draw2DLineToScaled(50, 200);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].vertices[1].y, 99.0f);
}

TEST_F(Draw2DTest, BarModesPlaceTheSubRectangle) {
    MV2SpriteDraw q = {};
    q.x = 100, q.y = 50, q.sprite = 1, q.scaleX = q.scaleY = 1.0f;
    q.colour0 = 0xFF000001, q.colour1 = 0xFF000002;
    q.left = 0.0f, q.right = 0.5f, q.top = 0.0f, q.bottom = 1.0f;
    MV2SpriteCell cell = MV2GetSpriteCell(1);
    const float w = float(cell.right - cell.left) * 0.5f, h = float(cell.bottom - cell.top);
    const float starts[3] = {100.0f - w / 2, 100.0f - w, 100.0f};
    for (int32_t mode = 0; mode < 3; ++mode) {
        q.mode = mode;
        MV2Draw2DSpriteBar(&q);
        const auto& v = recorded.back().vertices;
        EXPECT_EQ(v[0].x, starts[mode]) << mode;
        EXPECT_EQ(v[0].y, 50.0f - h / 2);
        EXPECT_EQ(v[1].colour, 0xFF000001u); // left corners first colour
        EXPECT_EQ(v[2].colour, 0xFF000002u);
    }
    q.mode = 7; // keeps the previous corners
    MV2Draw2DSpriteBar(&q);
    EXPECT_EQ(recorded.back().vertices[0].x, 100.0f);
    recorded.clear();
    q.right = 0.0f; // empty range
    MV2Draw2DSpriteBar(&q);
    MV2Draw2DSpritePart(&q);
    EXPECT_TRUE(recorded.empty());
}

TEST_F(Draw2DTest, PointsOutlineAndClipRectRoundTrip) {
    MV2Set2DScreenScale(1280, 960);
    MV2Rect2D clip = {10, 20, 300, 200}, back = {};
    MV2Set2DClipRect(&clip);
    MV2Get2DClipRect(&back);
    EXPECT_EQ(back.left, 10);
    EXPECT_EQ(back.bottom, 200);
    MV2Draw2DPoint(5, 100); // left of the clip
    EXPECT_TRUE(recorded.empty());
    MV2Draw2DPoint(20, 100);
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].vertices[0].x, 39.0f);
    EXPECT_EQ(recorded[0].vertices[3].y, 201.0f);
    MV2Draw2DRectOutline(1, 2, 3, 4);
    ASSERT_EQ(recorded.size(), 2u);
    EXPECT_EQ(recorded[1].type, kTvPrimitivePolyLine);
    EXPECT_EQ(recorded[1].indices, (std::vector<uint16_t>{0, 2, 3, 1, 0}));
    EXPECT_EQ(recorded[1].vertices[3].x, 6.0f);
}

} // namespace

TEST_F(Draw2DTest, LineListClipsEachLineAsLineToAndSendsThemTogether) {
    const int32_t xy[] = {10, 10, 50, 20, -10, 50, 200, 50, 300, 60, 400, 70, 90, 90, 20, 95};
    const uint32_t colours[] = {0xFFFF0000u, 0xFF00FF00u, 0xFF0000FFu, 0x80FFFFFFu};
    std::vector<Sink2DCall> single;
    for (int i = 0; i < 4; ++i) {
        MV2Set2DColourARGB(colours[i]);
        MV2Move2DPen(xy[4 * i], xy[4 * i + 1]);
        MV2Draw2DLineTo(xy[4 * i + 2], xy[4 * i + 3]);
    }
    single.swap(recorded);
    MV2Draw2DLineList(xy, colours, 4);
    ASSERT_EQ(single.size(), 3u) << "the line wholly outside draws nothing";
    ASSERT_EQ(recorded.size(), 1u);
    EXPECT_EQ(recorded[0].type, kTvPrimitiveLineList);
    ASSERT_EQ(recorded[0].vertices.size(), 6u);
    for (size_t i = 0; i < 3; ++i)
        for (size_t k = 0; k < 2; ++k) {
            const TvIm2DVertex& a = single[i].vertices[k];
            const TvIm2DVertex& b = recorded[0].vertices[2 * i + k];
            EXPECT_EQ(a.x, b.x);
            EXPECT_EQ(a.y, b.y);
            EXPECT_EQ(a.colour, b.colour);
        }
    recorded.clear();
    MV2Draw2DLineList(xy, colours, 0);
    EXPECT_TRUE(recorded.empty());
}
