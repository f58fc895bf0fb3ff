#include "tests/game/frontend/hud_fixture.h"

#include "game/frontend/missionmap.h"
#include "game/objects/camera.h"

#include <cstring>

namespace {

constexpr int32_t kRefType = 41;

class MapTest : public HudTest {
protected:
    void SetUp() override {
        HudTest::SetUp();
        ModelType(kRefType, 0.5f);
        gMV2Map = {};
        MV2MapReset();
        AddText(500, u"label");
        Install();
    }
    void TearDown() override {
        MV2MapFreeTiles();
        gMV2Map = {};
        HudTest::TearDown();
    }

    MV2Object* Reference(int32_t scriptId, float x, float z) {
        const float p[3] = {x, 0.0f, z};
        MV2Object* o = MV2CreateObject(kRefType, p, nullptr);
        if (o) o->scriptId = scriptId;
        return o;
    }

    int32_t VisitedCount() const {
        int32_t n = 0;
        for (int32_t r = 0; r < kMV2MapRows; ++r)
            for (int32_t c = 0; c < kMV2MapColumns; ++c) n += MV2MapCellVisited(c, r);
        return n;
    }
};

TEST_F(MapTest, VisitedCellsAroundThePlayerStayInsideTheGrid) {
    const struct {
        int32_t column, row, flagged;
    } cases[] = {{0, 0, 0}, {39, 19, 4}, {5, 5, 9}, {0, 7, 6}, {20, 0, 6}};
    for (const auto& c : cases) {
        MV2MapClearVisited();
        MV2MapMarkVisitedAround(c.column, c.row);
        EXPECT_EQ(VisitedCount(), c.flagged) << c.column << "," << c.row;
    }
    EXPECT_EQ(MV2MapCellVisited(40, 0), 0);
    EXPECT_EQ(MV2MapCellVisited(-1, 0), 0);
}

TEST_F(MapTest, LabelsFillSixteenSlotsAndGoByIdAllAtOnce) {
    MV2Object* object = Reference(9, 3.0f, 4.0f);
    ASSERT_NE(object, nullptr);
    MV2MapAddLabel(object, 500);
    MV2MapAddLabel(object, 500);
    MV2MapAddLabel(object, 501);
    EXPECT_EQ(gMV2Map.labels[0].x, 3.0f);
    EXPECT_NE(gMV2Map.labels[0].text.text, nullptr);
    MV2MapRemoveLabel(500);
    EXPECT_EQ(gMV2Map.labels[0].id, -1);
    EXPECT_EQ(gMV2Map.labels[1].id, -1);
    EXPECT_EQ(gMV2Map.labels[2].id, 501);
    for (int i = 0; i < 20; ++i) MV2MapAddLabel(object, 600 + i);
    int used = 0;
    for (const MV2MapLabel& l : gMV2Map.labels) used += l.id != -1;
    EXPECT_EQ(used, kMV2MapLabels);
    MV2MapReset();
    for (const MV2MapLabel& l : gMV2Map.labels) EXPECT_EQ(l.id, -1);
}

// References at world (0, 0) -> map (100, 50) and (100, 50) -> map (300, 250).
TEST_F(MapTest, TransformByRotation) {
    ASSERT_NE(Reference(0x101, 0.0f, 0.0f), nullptr);
    ASSERT_NE(Reference(0x102, 100.0f, 50.0f), nullptr);
    MV2LevelMapFields f = {};
    f.firstReference = 0x101, f.secondReference = 0x102;
    f.firstX = 100, f.firstY = 50, f.secondX = 300, f.secondY = 250;
    const struct {
        int32_t rotation;
        float x, z, mapX, mapY;
    } cases[] = {{0, 50.0f, 25.0f, 200.0f, 150.0f}, {2, 50.0f, 25.0f, 200.0f, 150.0f},
                 {0, 25.0f, 0.0f, 150.0f, 50.0f},  {2, 25.0f, 0.0f, 150.0f, 50.0f}};
    for (const auto& c : cases) {
        f.rotation = c.rotation;
        MV2MapSetLevelFields(&f);
        MV2MapInitialiseTransform();
        ASSERT_EQ(gMV2Map.transformSet, 1);
        float mx, my;
        ASSERT_EQ(MV2MapWorldToMap(c.x, c.z, &mx, &my), 1);
        EXPECT_FLOAT_EQ(mx, c.mapX);
        EXPECT_FLOAT_EQ(my, c.mapY);
    }
    // Rotation 2 turns the world pair into (-x, -z): both rotated axes mirror those of rotation 0.
    f.rotation = 0;
    MV2MapSetLevelFields(&f);
    MV2MapInitialiseTransform();
    const float a0 = gMV2Map.a1, b0 = gMV2Map.b1;
    f.rotation = 2;
    MV2MapSetLevelFields(&f);
    MV2MapInitialiseTransform();
    EXPECT_EQ(gMV2Map.a1, -a0);
    EXPECT_EQ(gMV2Map.b1, -b0);
    // Rotation 1 maps world z onto map x.
    f.rotation = 1;
    MV2MapSetLevelFields(&f);
    MV2MapInitialiseTransform();
    float mx, my;
    ASSERT_EQ(MV2MapWorldToMap(100.0f, 50.0f, &mx, &my), 1);
    EXPECT_FLOAT_EQ(mx, 300.0f);
    EXPECT_FLOAT_EQ(my, 250.0f);
}

TEST_F(MapTest, ReferencesSharingACoordinateLeaveTheTransformUnset) {
    ASSERT_NE(Reference(0x201, 10.0f, 0.0f), nullptr);
    ASSERT_NE(Reference(0x202, 10.0f, 40.0f), nullptr);
    MV2LevelMapFields f = {};
    f.firstReference = 0x201, f.secondReference = 0x202;
    f.secondX = 10, f.secondY = 10;
    MV2MapSetLevelFields(&f);
    MV2MapInitialiseTransform();
    EXPECT_EQ(gMV2Map.transformSet, 0);
    float mx, my;
    EXPECT_EQ(MV2MapWorldToMap(1.0f, 1.0f, &mx, &my), 0);
    f.secondReference = 0x999; // missing
    MV2MapSetLevelFields(&f);
    MV2MapInitialiseTransform();
    EXPECT_EQ(gMV2Map.transformSet, 0);
}

TEST_F(MapTest, LevelFieldsReadBoundedNames) {
    std::vector<uint8_t> header(136, 0);
    auto put = [&](int word, uint32_t v) { std::memcpy(&header[size_t(word) * 4], &v, 4); };
    put(27, 0x22), put(28, 0x11), put(29, 5), put(30, 6), put(31, 7), put(32, 8), put(33, 6);
    std::memset(&header[76], 'a', 16); // no terminator before the second name
    std::memcpy(&header[92], "tiles", 6);
    MV2LevelMapFields f;
    ASSERT_EQ(MV2MapReadLevelFields(header.data(), header.size(), 4, 0, &f), 1);
    EXPECT_EQ(f.firstReference, 0x11);
    EXPECT_EQ(f.secondReference, 0x22);
    EXPECT_EQ(f.firstX, 7);
    EXPECT_EQ(f.secondY, 6);
    EXPECT_EQ(f.rotation, 2);
    EXPECT_EQ(std::string(f.firstBase), std::string(16, 'a'));
    EXPECT_STREQ(f.secondBase, "tiles");
    EXPECT_EQ(MV2MapReadLevelFields(header.data(), 135, 4, 0, &f), 0);
}

TEST_F(MapTest, MapModeFourTogglesAndTheCameraViewComesBack) {
    MV2SetCameraMode(0x102);
    MV2Object* player = Reference(0x301, 1.0f, 1.0f);
    ASSERT_EQ(MV2MapOpen(player), 1);
    EXPECT_EQ(MV2GetCameraMode(), 0x100);
    gMV2GameState.current = 1; // the mode switch ran
    EXPECT_EQ(MV2SetMapMode(4), 1);
    EXPECT_EQ(gMV2GameState.requested, 0);
    EXPECT_EQ(MV2GetCameraMode(), 0x102);
    EXPECT_EQ(gMV2Map.open, 0);
    gMV2GameState.current = 0;
    // Back in play the second toggle opens the map again, unless it cannot: no player object,
    // no map, or a map not made available.
    EXPECT_EQ(MV2SetMapMode(4), 0);
    EXPECT_EQ(gMV2GameState.requested, 0);
    EXPECT_EQ(MV2SetMapMode(0), 0);
}

} // namespace
