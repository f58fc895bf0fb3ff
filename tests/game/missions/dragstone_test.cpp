// The drag stone: it turns 30 x speed degrees a second about y, casts its beam from the frame
// tagged 10 to 8 units along (at - 1.21 up), and its beam goes with a switch off or its death.
#include "game/missions/dragstone.h"

#include <cmath>

#include "game/effects/beams.h"
#include "tests/game/missions/levelobject_fixture.h"

namespace {

class DragStoneTest : public LevelObjectTest {
protected:
    void SetUp() override {
        LevelObjectTest::SetUp();
        LevelType(62, 0, {10});
        MV2ResetBeams();
    }
};

float Heading(const MV2Object* o) {
    return std::atan2(o->matrix->at.x, o->matrix->at.z) * 180.0f / 3.14159265f;
}

TEST_F(DragStoneTest, TurnsThirtyTimesItsSpeedDegreesASecond) {
    MV2Object* stone = Make(62, {5, 2, 5});
    ASSERT_NE(stone, nullptr);
    EXPECT_FLOAT_EQ(gMV2DragStone.speed, 1.0f);
    const struct {
        float speed;
        float degreesPerSecond;
    } cases[] = {{1.0f, 30.0f}, {0.5f, 15.0f}, {-2.0f, -60.0f}};
    for (const auto& c : cases) {
        MV2ObjectSendMessage(stone, 12, 0, reinterpret_cast<intptr_t>(&c.speed));
        const float before = Heading(stone);
        gMV2FrameTimer.ticks = 1.0f;
        for (int32_t i = 0; i < 10; ++i) // a third of a second
            Step(stone);
        float turned = std::fabs(Heading(stone) - before);
        if (turned > 180.0f) turned = 360.0f - turned;
        EXPECT_NEAR(turned, std::fabs(c.degreesPerSecond) / 3.0f, 0.01f) << "speed " << c.speed;
        EXPECT_FLOAT_EQ(stone->matrix->pos.x, 5.0f) << "it turns in place";
    }
}

TEST_F(DragStoneTest, BeamRunsFromTheTaggedFrameAndGoesWithTheStone) {
    MV2Object* stone = Make(62, {5, 2, 5});
    ASSERT_NE(stone, nullptr);
    Step(stone);
    const uint32_t beam = gMV2DragStone.beam;
    ASSERT_NE(beam, 0u) << "created with its beam on";
    EXPECT_TRUE(MV2BeamExists(beam));
    TvFrame* tagged = MV2FindFrameByTag(stone->clump, 10);
    ASSERT_NE(tagged, nullptr);
    const TvMatrix* m = TvFrameGetLTM(tagged);
    const TvV3d p = m->pos;
    const TvV3d want = {p.x + 8.0f * (m->at.x - 1.21f * m->up.x), p.y + 8.0f * (m->at.y - 1.21f * m->up.y),
                        p.z + 8.0f * (m->at.z - 1.21f * m->up.z)};
    EXPECT_NEAR(gMV2DragStone.ends[0].x, p.x, 1e-4f);
    EXPECT_NEAR(gMV2DragStone.ends[1].x, want.x, 1e-4f);
    EXPECT_NEAR(gMV2DragStone.ends[1].y, want.y, 1e-4f);
    EXPECT_NEAR(gMV2DragStone.ends[1].z, want.z, 1e-4f);
    // Off and on again: one beam at a time.
    MV2ObjectSendMessage(stone, 11, 0, 0);
    EXPECT_EQ(gMV2DragStone.beam, 0u);
    EXPECT_FALSE(MV2BeamExists(beam));
    MV2ObjectSendMessage(stone, 11, 1, 0);
    const uint32_t again = gMV2DragStone.beam;
    MV2ObjectSendMessage(stone, 11, 1, 0);
    EXPECT_EQ(gMV2DragStone.beam, again);
    MV2ObjectSendMessage(stone, 4, 0, 0);
    EXPECT_EQ(gMV2DragStone.beam, 0u);
    EXPECT_FALSE(MV2BeamExists(again));
}

} // namespace
