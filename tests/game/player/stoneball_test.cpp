// The rolling stone ball: its route of four way-points and its contact with the player.
#include "tests/game/player/tools_fixture.h"

namespace {

class StoneBallTest : public CraftToolTest {
protected:
    void SetUp() override {
        CraftToolTest::SetUp();
        ModelType(286, 0.5f);
        ModelType(71, 0.2f);
        ball = Make(286, P(0, -10, 0));
        ASSERT_NE(ball, nullptr);
        for (int32_t i = 0; i < 4; ++i)
            points[i] = Make(71, P(i == 1 || i == 2 ? 1.0f : 0.0f, -10, i >= 2 ? 1.0f : 0.0f));
    }
    void Route(int32_t count) {
        MV2StoneBallData* d = MV2GetStoneBallData();
        for (int32_t i = 0; i < count; ++i)
            MV2SetObjectRef(&d->waypoints[i], points[i]);
    }
    MV2Object* ball = nullptr;
    MV2Object* points[4] = {};
};

} // namespace

TEST_F(StoneBallTest, AMissingOrDeadWayPointKeepsTheBallStill) {
    MV2ObjectSendMessage(ball, 11, 1, 0);
    Route(3);
    const TvV3d start = ball->matrix->pos;
    Frame(ball);
    EXPECT_EQ(ball->matrix->pos.x, start.x);
    Route(4);
    MV2ObjectSendMessage(points[3], 4, 0, 0);
    Frame(ball);
    EXPECT_EQ(ball->matrix->pos.x, start.x);
    EXPECT_EQ(MV2GetStoneBallData()->index, 0);
}

TEST_F(StoneBallTest, TheBallVisitsTheFourWayPointsInOrderAndWearsThePlayer) {
    Route(4);
    ball->matrix->pos = P(0.0f, -10.0f, 2.0f);
    MV2ShotSyncFrame(ball);
    Frame(ball);
    EXPECT_EQ(ball->matrix->pos.z, P(0, -10, 2).z) << "not running";
    MV2ObjectSendMessage(ball, 11, 1, 0);
    Frame(ball);
    EXPECT_NEAR(ball->matrix->pos.z, P(0, -10, 1.8f).z, 1e-4f) << "a tenth of the gap a tick";
    std::vector<int32_t> visited;
    for (int32_t f = 0; f < 400 && visited.size() < 6; ++f) {
        const int32_t before = MV2GetStoneBallData()->index;
        Frame(ball);
        if (MV2GetStoneBallData()->index != before) visited.push_back(MV2GetStoneBallData()->index);
    }
    EXPECT_EQ(visited, (std::vector<int32_t>{1, 2, 3, 0, 1, 2}));

    const float energy = craft->energy;
    MV2ObjectSendMessage(ball, 19, 0, reinterpret_cast<intptr_t>(craft));
    EXPECT_FLOAT_EQ(craft->energy, energy - 1.0f);
    MV2Object* other = Make(71, P(3, -10, 3));
    MV2ObjectSendMessage(ball, 19, 0, reinterpret_cast<intptr_t>(other));
    EXPECT_FLOAT_EQ(craft->energy, energy - 1.0f) << "only the controlled craft wears";
}
