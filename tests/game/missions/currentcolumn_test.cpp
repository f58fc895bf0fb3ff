#include "tests/game/missions/device_fixture.h"

#include <cstring>
#include <limits>

#include "game/missions/currentcolumn.h"

namespace {

class CurrentColumnTest : public DeviceTest {
protected:
    MV2Object* Column(float parameter, TvV3d at = {15, 5, 15}) {
        MV2Object* column = Device(294, sizeof(MV2CurrentColumnData), at);
        std::memcpy(&column->typeWord68, &parameter, sizeof parameter);
        return column;
    }
    static MV2CurrentColumnData* Data(MV2Object* column) {
        return static_cast<MV2CurrentColumnData*>(column->privateData);
    }
    // A craft of AI category 6 whose type may be carried by currents.
    MV2Object* Craft(TvV3d at) {
        MV2Object* craft = MakeSub(2, at);
        craft->aiCategory = 6;
        return craft;
    }
};

} // namespace

TEST_F(CurrentColumnTest, ParameterDecodes) {
    struct Case {
        float parameter;
        float radius;
        int32_t on, off;
    } cases[] = {
        {350505.0f, 3.5f, 500, 500}, {500.0f, 3.5f, 500, 0},  {9999.0f, 3.5f, 9900, 9900},
        {100000.0f, 1.0f, 0, 0},     {std::numeric_limits<float>::quiet_NaN(), 3.5f, 0, 0},
        {-350505.0f, 3.5f, 0, 0},
    };
    for (const Case& c : cases) {
        MV2Object* column = Column(c.parameter);
        Update(column);
        EXPECT_FLOAT_EQ(Data(column)->radius, c.radius) << c.parameter;
        EXPECT_EQ(Data(column)->onTime, c.on) << c.parameter;
        EXPECT_EQ(Data(column)->offTime, c.off) << c.parameter;
        MV2ObjectSendMessage(column, 4, 0, 0);
    }
}

TEST_F(CurrentColumnTest, PushFadesOverTheOuterPartOfTheRadius) {
    MV2Object* column = Column(350505.0f);
    Player({15.0f, 5.0f, 26.0f}); // within 12
    struct Case {
        float x;
        float push; // the force along the axis
    } cases[] = {{0.0f, 0.125f}, {2.0f, 0.125f}, {2.7f, 0.125f}, {3.1f, 0.125f * 0.4f * 1.25f},
                 {3.5f, 0.0f},   {4.0f, 0.0f}};
    for (const Case& c : cases) {
        MV2Object* craft = Craft({15.0f + c.x, 10.0f, 15.0f});
        Update(column);
        EXPECT_NEAR(craft->body->velocity.y, c.push, 1e-4f) << c.x;
        MV2ObjectSendMessage(craft, 4, 0, 0);
    }
}

TEST_F(CurrentColumnTest, OnlyCarriedCraftArePushedAndOnlyWithThePlayerNear) {
    MV2Object* column = Column(350505.0f);
    MV2Object* player = Player({15.0f, 5.0f, 26.0f});
    MV2Object* other = Craft({15.0f, 10.0f, 15.0f});
    other->aiCategory = 3;
    Update(column);
    EXPECT_FLOAT_EQ(other->body->velocity.y, 0.0f);
    other->aiCategory = 6;
    player->matrix->pos = {15.0f, 5.0f, 27.0f};
    Update(column);
    EXPECT_FLOAT_EQ(other->body->velocity.y, 0.0f);
    EXPECT_EQ(Data(column)->on, 1u);
}

TEST_F(CurrentColumnTest, CycleAndIntensity) {
    MV2Object* column = Column(10203.0f); // R 0.1, 200 ms on, 300 ms off
    const uint32_t t0 = gMV2FrameTimer.frameClock;
    Update(column);
    EXPECT_EQ(Data(column)->on, 1u);
    EXPECT_FLOAT_EQ(Data(column)->intensity, 0.5f);
    gMV2FrameTimer.frameClock = t0 + 201;
    Update(column);
    EXPECT_EQ(Data(column)->on, 0u);
    EXPECT_FLOAT_EQ(Data(column)->intensity, 0.0f);
    for (float h : Data(column)->heights) {
        EXPECT_GE(h, 0.0f);
        EXPECT_LE(h, 10.0f);
    }
}

TEST(CurrentCylinder, PointInCylinder) {
    struct Case {
        TvV3d point;
        bool inside;
        float distance;
    } cases[] = {{{1, 5, 0}, true, 1.0f},    {{0, -0.1f, 0}, false, 0.0f}, {{0, 10, 0}, false, 0.0f},
                 {{2, 5, 0}, false, 2.0f},   {{0, 0, 0}, true, 0.0f}};
    const TvV3d origin{0, 0, 0}, axis{0, 2, 0};
    for (const Case& c : cases) {
        float d = -1.0f;
        TvV3d offset, unit;
        EXPECT_EQ(MV2PointInCylinder(&c.point, &origin, &axis, 10.0f, 2.0f, &d, &offset, &unit),
                  c.inside ? 1 : 0)
            << c.point.x << " " << c.point.y;
        EXPECT_NEAR(d, c.distance, 1e-5f);
        EXPECT_FLOAT_EQ(unit.y, 1.0f);
    }
}
