#include "tests/game/missions/device_fixture.h"

#include <cmath>

#include "game/creatures/pathnodes.h"
#include "game/creatures/routes.h"
#include "game/missions/routepoint.h"
#include "tests/support/path_record_writer.h"

namespace {

PathNodeSpec Node(uint32_t id, float x, std::vector<uint32_t> links) {
    PathNodeSpec n;
    n.id = id;
    n.x = x;
    n.y = -10.0f;
    n.z = 0.0f;
    n.links = std::move(links);
    return n;
}

class RoutePointTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        // Two nodes along x; the player stands at the origin of the line.
        const std::vector<uint8_t> bytes =
            PathNodeRecordBytes(0x01FEFFFF, {Node(1, 4.0f, {2}), Node(2, 12.0f, {1})});
        MV2PathGraph graph;
        ASSERT_EQ(MV2ParsePathNodeRecord(bytes.data(), bytes.size(), {}, &graph), 1);
        MV2SetPathNodeGraph(&graph);
        player_ = Player({0.0f, -10.0f, 0.0f});
    }
    MV2Object* player_ = nullptr;
};

} // namespace

TEST_F(RoutePointTest, PointsAtDistance) {
    struct Case {
        float r;
        float targetX;
        int32_t result;
        float lo, hi; // the distance of the point from the player
    } cases[] = {
        {0.0f, 20.0f, 1, 0.0f, 0.0f},     // the start itself
        {5.0f, 20.0f, 1, 5.0f, 6.0f},     // between the first two nodes
        {13.0f, 20.0f, 1, 13.0f, 14.0f},  // on the last leg
        {25.0f, 20.0f, 0, 0.0f, 0.0f},    // everything within r
    };
    for (const Case& c : cases) {
        const TvV3d target{c.targetX, -10.0f, 0.0f};
        TvV3d out{-99.0f, -99.0f, -99.0f};
        EXPECT_EQ(MV2FindRoutePointAtDistance(&target, &c.r, &out), c.result) << c.r;
        EXPECT_EQ(MV2RouteWayPointsInUse(), 0) << c.r;
        if (!c.result) {
            EXPECT_FLOAT_EQ(out.x, -99.0f);
            continue;
        }
        const TvV3d p = player_->matrix->pos;
        const float d = std::sqrt((out.x - p.x) * (out.x - p.x) + (out.y - p.y) * (out.y - p.y) +
                                  (out.z - p.z) * (out.z - p.z));
        EXPECT_GE(d, c.lo - 1e-3f) << c.r << " " << out.x << " " << out.y << " " << p.x << " " << p.y;
        EXPECT_LE(d, c.hi + 1e-3f) << c.r << " " << out.x << " " << out.y << " " << p.x << " " << p.y;
    }
    // The long leg: the last midpoint tried after ten halvings of 12 .. 8000.
    const TvV3d far{8000.0f, -10.0f, 0.0f};
    const float r = 3000.0f;
    TvV3d out{};
    MV2FindRoutePointAtDistance(&far, &r, &out);
    float inner = 12.0f, outer = 8000.0f, m = 0.0f;
    for (int i = 0; i < 10; ++i) {
        m = (inner + outer) * 0.5f;
        if (m * m <= 3001.0f * 3001.0f) {
            if (m * m >= r * r) break;
            inner = m;
        } else {
            outer = m;
        }
    }
    EXPECT_FLOAT_EQ(out.x, m);
}

TEST_F(RoutePointTest, NullsAndNoPlayerGiveNothing) {
    const TvV3d target{20.0f, -10.0f, 0.0f};
    const float r = 5.0f;
    TvV3d out{};
    EXPECT_EQ(MV2FindRoutePointAtDistance(nullptr, &r, &out), 0);
    EXPECT_EQ(MV2FindRoutePointAtDistance(&target, nullptr, &out), 0);
    EXPECT_EQ(MV2FindRoutePointAtDistance(&target, &r, nullptr), 0);
    MV2SetPlayerObject(nullptr);
    EXPECT_EQ(MV2FindRoutePointAtDistance(&target, &r, &out), 0);
}
