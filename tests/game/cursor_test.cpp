#include "shell/cursor.h"

#include "game/frontend/draw2d.h"

#include <gtest/gtest.h>

namespace {

class CursorTest : public ::testing::Test {
protected:
    void SetUp() override {
        gMV2MouseCursor = {0, 0, 1, 320, 240, 0, 0, -1, 0, {}};
        MV2Set2DScreenScale(640, 480);
    }
};

TEST_F(CursorTest, ClicksNeedAStillMouse) {
    struct Case {
        int32_t dx, dy;
        bool click;
    } cases[] = {{0, 0, true}, {1, -1, true}, {2, 0, false}, {0, -2, false}};
    for (const Case& c : cases) {
        MV2MouseButton(0, 1);
        MV2MouseMoved(c.dx, c.dy);
        MV2MouseButton(0, 0);
        int32_t x = -1, y = -1;
        EXPECT_EQ(MV2GetMouseClick(0, &x, &y), c.click) << c.dx << "," << c.dy;
        if (c.click) {
            EXPECT_EQ(x, gMV2MouseCursor.x);
            EXPECT_FALSE(MV2GetMouseClick(0, &x, &y)); // taken once
        }
    }
    EXPECT_FALSE(MV2GetMouseClick(3, nullptr, nullptr));
    MV2MouseButton(-1, 1); // ignored
}

TEST_F(CursorTest, ShowCountModesAndTheEdgeClamp) {
    MV2ShowMouseCursor();
    MV2ShowMouseCursor();
    MV2HideMouseCursor();
    EXPECT_TRUE(MV2IsMouseCursorShown());
    MV2HideMouseCursor();
    EXPECT_FALSE(MV2IsMouseCursorShown());
    MV2HideMouseCursor();
    EXPECT_EQ(gMV2MouseCursor.showCount, 0);

    MV2MouseMoved(10000, 10000);
    EXPECT_EQ(gMV2MouseCursor.x, 607); // 639 - 32
    EXPECT_EQ(gMV2MouseCursor.y, 447);
    MV2Set2DScreenScale(1280, 960); // scale 2: 16 units from the edge
    MV2MouseMoved(10000, -100000);
    EXPECT_EQ(gMV2MouseCursor.x, 623);
    EXPECT_EQ(gMV2MouseCursor.y, 0);
    MV2Set2DScreenScale(0, 0); // no scale yet: taken as 1
    MV2MouseMoved(10000, 0);
    EXPECT_EQ(gMV2MouseCursor.x, 607);

    MV2SetMouseMode(2);
    EXPECT_EQ(gMV2MouseCursor.mode, 0);
    MV2MouseMoved(5, -3);
    MV2MouseMoved(1, 1);
    int32_t dx = 0, dy = 0;
    MV2TakeMouseDelta(&dx, &dy);
    EXPECT_EQ(dx, 6);
    EXPECT_EQ(dy, -2);
    MV2TakeMouseDelta(&dx, &dy);
    EXPECT_EQ(dx, 0);
    MV2SetMouseMode(2);
    EXPECT_EQ(gMV2MouseCursor.mode, 1);
    MV2SetMouseMode(5);
    MV2SetMouseMode(2);
    EXPECT_EQ(gMV2MouseCursor.mode, 1);

    EXPECT_EQ(MV2SetMouseCursor(-1), -1);
    MV2SetMouseCursorFrame(4);
    EXPECT_EQ(MV2SetMouseCursor(10), kMV2DefaultCursorSprite);
    EXPECT_EQ(gMV2MouseCursor.frame, 0);
}

} // namespace
