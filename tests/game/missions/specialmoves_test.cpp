#include "tests/game/missions/device_fixture.h"

#include "engine/core/matrix.h"
#include "game/creatures/submarines.h"
#include "game/missions/specialmoves.h"

namespace {

class SpecialMoveTest : public DeviceTest {
protected:
    void SetUp() override {
        DeviceTest::SetUp();
        MV2ResetSpecialMove();
        gMV2SpecialMove.turned = 0.0f;
    }
    // The player's craft whose sub record allows the moves of `flags`.
    MV2Object* Craft(uint32_t flags) {
        MV2Object* craft = Player({0.0f, -10.0f, 0.0f});
        definition_ = *static_cast<const MV2SubDefinition*>(craft->type->subDefinition);
        definition_.specialFlags = flags;
        craft->type->subDefinition = &definition_;
        return craft;
    }
    MV2SubDefinition definition_{};
};

} // namespace

TEST_F(SpecialMoveTest, FrenzyTakesTheControlsAndAReTriggerExtendsIt) {
    MV2Object* craft = Craft(1);
    const uint32_t t0 = gMV2FrameTimer.frameClock;
    MV2ObjectSendMessage(craft, 63, 0, 0); // the submarine handler's trigger
    EXPECT_EQ(gMV2SpecialMove.state, kMV2SpecialMoveFrenzy);
    EXPECT_EQ(craft->overrideHandler, MV2SubmarineHandler);
    gMV2FrameTimer.frameClock = t0 + 1500;
    MV2StartSpecialMove(craft);
    EXPECT_EQ(gMV2SpecialMove.end, t0 + 3500);
    struct Step {
        uint32_t at;
        uint32_t state;
        MV2ObjectHandler brain;
    } steps[] = {{2500, kMV2SpecialMoveFrenzy, MV2SubmarineHandler},
                 {3500, kMV2SpecialMoveFrenzy, MV2SubmarineHandler},
                 {3501, kMV2SpecialMoveNone, MV2PlayerHandler}};
    for (const Step& s : steps) {
        gMV2FrameTimer.frameClock = t0 + s.at;
        const TvV3d spin = craft->body->angularVelocity;
        MV2UpdateSpecialMove(craft);
        EXPECT_EQ(gMV2SpecialMove.state, s.state) << s.at;
        EXPECT_EQ(craft->overrideHandler, s.brain) << s.at;
        if (s.state == kMV2SpecialMoveFrenzy) {
            EXPECT_NE(craft->body->angularVelocity.x + craft->body->angularVelocity.y +
                          craft->body->angularVelocity.z,
                      spin.x + spin.y + spin.z);
        }
    }
}

TEST_F(SpecialMoveTest, HalfTurns) {
    struct Case {
        uint32_t flags;
        float turnedBefore;
        int32_t frames;
    } cases[] = {{2, 180.0f, 6}, {4, 0.0f, 6}, {4, 180.0f, 1}};
    for (const Case& c : cases) {
        MV2Object* craft = Craft(c.flags);
        gMV2SpecialMove.turned = c.turnedBefore;
        const TvV3d at = craft->matrix->at;
        MV2StartSpecialMove(craft);
        int32_t frames = 0;
        while (MV2SpecialMoveRunning() && frames < 20) {
            MV2UpdateSpecialMove(craft);
            ++frames;
        }
        EXPECT_EQ(frames, c.frames) << c.flags << " " << c.turnedBefore;
        EXPECT_EQ(craft->overrideHandler, MV2PlayerHandler);
        if (c.frames == 6) {
            EXPECT_NEAR(TvV3dDot(craft->matrix->at, at), -1.0f, 1e-3f);
        }
        MV2ObjectSendMessage(craft, 4, 0, 0);
    }
}

TEST_F(SpecialMoveTest, HalfTurnOutlivedHandsTheBrainBackAndNoFlagsNoMove) {
    MV2Object* craft = Craft(2);
    const uint32_t t0 = gMV2FrameTimer.frameClock;
    MV2StartSpecialMove(craft);
    craft->overrideHandler = nullptr;
    gMV2FrameTimer.frameClock = t0 + 2001;
    MV2UpdateSpecialMove(craft);
    EXPECT_FALSE(MV2SpecialMoveRunning());
    EXPECT_EQ(craft->overrideHandler, MV2PlayerHandler);
    definition_.specialFlags = 0;
    MV2StartSpecialMove(craft);
    EXPECT_FALSE(MV2SpecialMoveRunning());
    EXPECT_EQ(MV2ResetSpecialMove(), 1);
}
