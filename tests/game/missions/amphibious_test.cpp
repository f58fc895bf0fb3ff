// The amphibious craft on land: it settles on its six sprung wheels, drives and steers, and
// climbs out of the water up a slope; the land-mode controls, folding and the mode-switch tool.
#include "game/missions/amphibious.h"

#include <cmath>

#include "game/missions/levelobjects.h"
#include "game/objects/camera.h"
#include "game/objects/levels.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"
#include "tests/game/creatures/creature_fixture.h"

namespace {

constexpr float kRampTop = 7.279404f; // 20 units at 20 degrees

class AmphibiousTest : public CreatureTest {
protected:
    void SetUp() override {
        CreatureTest::SetUp();
        MV2RegisterAmphibiousHandlers();
        gMV2AmphibiousModeLock = 0;
        // Flat ground at y = 0 for z < 0, a 20-degree slope from z = 0 to z = 20, then a shelf.
        world_ = MakeLeafWorld({{-20, 0, -30},
                                {20, 0, -30},
                                {-20, 0, 0},
                                {20, 0, 0},
                                {-20, kRampTop, 20},
                                {20, kRampTop, 20},
                                {-20, kRampTop, 30},
                                {20, kRampTop, 30}},
                               {{0, 0, 2, 1}, {0, 1, 2, 3}, {0, 2, 4, 3}, {0, 3, 4, 5},
                                {0, 4, 6, 5}, {0, 5, 6, 7}});
        ASSERT_NE(world_, nullptr);
        TV_ENGINE->worldLibrary = world_;
        MV2World = world_;
        gMV2Water.height = -10.0f;
        MV2SetCameraMode(kMV2CameraCockpit);
    }
    void TearDown() override {
        MV2SetPlayerObject(nullptr);
        MV2SetPlayerSub(nullptr);
        MV2DestroyAllObjects();
        MV2SetCameraMode(kMV2CameraChase);
        MV2SetToolRowHandler(10, nullptr); // as before start-up, for the tool tests
        gMV2Water.height = 0.0f;
        MV2World = nullptr;
        TV_ENGINE->worldLibrary = grid_.world;
        if (world_) TpWorldDestroy(world_);
        CreatureTest::TearDown();
    }

    // A tagged frame under the root carrying an atomic of the given radius.
    static TvFrame* Part(TpClump* clump, uint32_t tag, TvV3d at, float radius) {
        TvFrame* frame = TvFrameCreate();
        TvFrameGetMatrix(frame)->pos = at;
        TvFrameAddChild(clump->frame, frame);
        MV2FrameSetTag(frame, tag);
        TpClump* shape = MakeSphereClump(radius);
        TpAtomic* atomic = TpAtomicCreate();
        TpAtomicSetGeometry(atomic, TpAtomicGetGeometry(MV2FindRootAtomic(shape)), 0);
        TpClumpDestroy(shape);
        TpAtomicSetFrame(atomic, frame);
        TpClumpAddAtomic(clump, atomic);
        return frame;
    }

    // The craft as the player's: hinges on either side at three stations, a wheel half a unit
    // under each, the muzzle and the body.
    MV2Object* Craft(TvV3d at) {
        MV2ObjectType* type = BodyType(84, sizeof(MV2AmphibiousData));
        type->subDefinition = MV2FindSubDefinition("SCOUT");
        TpClump* clump = type->model;
        const float stations[3] = {1.5f, 0.0f, -1.5f};
        for (int32_t i = 0; i < 6; i++) {
            const float x = i < 3 ? -1.0f : 1.0f;
            const float z = stations[i % 3];
            Part(clump, uint32_t(2 + i), {x, 0.0f, z}, 0.4f);
            Part(clump, uint32_t(21 + i), {x, -0.5f, z}, 0.4f);
        }
        Part(clump, 500, {0, 0, 1}, 0.1f);
        Part(clump, 13, {0, 0.2f, 0}, 0.5f);
        const float p[3] = {at.x, at.y, at.z};
        MV2Object* craft = MV2CreateObject(84, p, nullptr);
        if (craft) {
            MV2SetPlayerObject(craft);
            MV2SetPlayerSub(craft);
        }
        return craft;
    }

    static MV2AmphibiousCraft* Record(MV2Object* o) {
        return &static_cast<MV2AmphibiousData*>(o->privateData)->craft;
    }

    static void Step(MV2Object* o, int32_t frames = 1) {
        for (int32_t i = 0; i < frames; i++) {
            TvFrameSyncDirty();
            MV2ObjectSendMessage(o, 2, 0, 0);
            gMV2FrameTimer.frameClock += 33;
        }
    }
    static void Send(MV2Object* o, int32_t message, float value) {
        MV2ObjectSendMessage(o, message, 0, reinterpret_cast<intptr_t>(&value));
    }
    static float Heading(MV2Object* o) {
        return std::atan2(o->matrix->at.x, o->matrix->at.z) * 57.29578f;
    }

    TpWorld* world_ = nullptr;
};

} // namespace

TEST_F(AmphibiousTest, SettlesOnAllSixWheelsWithinTwoSeconds) {
    MV2Object* craft = Craft({0, 2.0f, -15});
    ASSERT_NE(craft, nullptr);
    EXPECT_EQ(Record(craft)->mode, kMV2CraftOnLand);
    EXPECT_FLOAT_EQ(Record(craft)->wheelRadius, 1.3f * 0.4f);
    Step(craft, 60);
    EXPECT_EQ(Record(craft)->onGround, 0x3Fu);
    EXPECT_LT(std::fabs(craft->body->velocity.y), 0.002f);
    const float height = craft->matrix->pos.y;
    Step(craft, 30);
    EXPECT_NEAR(craft->matrix->pos.y, height, 0.01f); // at rest, not bouncing
    EXPECT_GT(height, 0.5f); // on its wheels, the hull clear of the ground
    EXPECT_GT(craft->matrix->up.y, 0.999f);
}

TEST_F(AmphibiousTest, DrivesForwardAndTurnsWithTheSteering) {
    MV2Object* craft = Craft({0, 1.0f, -25});
    ASSERT_NE(craft, nullptr);
    Step(craft, 30);
    const TvV3d start = craft->matrix->pos;
    for (int32_t i = 0; i < 60; i++) {
        Send(craft, 5, 1.0f);
        Step(craft);
    }
    const TvV3d moved = TvV3dSub(craft->matrix->pos, start);
    EXPECT_GT(moved.z, 2.0f);
    EXPECT_LT(std::fabs(moved.x), 0.05f);
    EXPECT_NEAR(Heading(craft), 0.0f, 0.5f);

    for (int32_t i = 0; i < 60; i++) {
        Send(craft, 6, 1.0f);
        Send(craft, 5, 1.0f);
        Step(craft);
    }
    EXPECT_FLOAT_EQ(Record(craft)->steering, 30.0f);
    const float turned = Heading(craft);
    EXPECT_GT(std::fabs(turned), 30.0f);
    Send(craft, 6, -1.0f); // the other way round
    for (int32_t i = 0; i < 60; i++) {
        Send(craft, 6, -1.0f);
        Send(craft, 5, 1.0f);
        Step(craft);
    }
    EXPECT_LT(std::fabs(Heading(craft)), std::fabs(turned) - 20.0f);

    // Away from the cockpit view the steering is held at zero.
    MV2SetCameraMode(kMV2CameraChase);
    Send(craft, 6, 1.0f);
    Step(craft);
    EXPECT_EQ(Record(craft)->steering, 0.0f);
}

TEST_F(AmphibiousTest, ClimbsOutOfTheWaterUpATwentyDegreeSlope) {
    gMV2Water.height = 4.0f;
    MV2Object* craft = Craft({0, 1.0f, -6});
    ASSERT_NE(craft, nullptr);
    Step(craft, 30);
    EXPECT_EQ(Record(craft)->onGround, 0x3Fu); // on the sea bed
    EXPECT_LT(craft->matrix->pos.y, 4.0f);
    for (int32_t i = 0; i < 600 && craft->matrix->pos.z < 26.0f; i++) {
        Send(craft, 5, 1.0f);
        Step(craft);
    }
    EXPECT_GT(craft->matrix->pos.z, 20.0f);
    EXPECT_GT(craft->matrix->pos.y, kRampTop + 0.5f); // out of the water, on the shelf
    Step(craft, 30);
    EXPECT_EQ(Record(craft)->onGround, 0x3Fu);
    EXPECT_GT(craft->matrix->up.y, 0.99f);
}

TEST_F(AmphibiousTest, LandControlsAndImpacts) {
    MV2Object* craft = Craft({0, 3.0f, -15}); // in the air, no wheel down
    ASSERT_NE(craft, nullptr);
    Send(craft, 5, 1.0f);
    EXPECT_EQ(Sub(craft)->thrust, 0.0f); // drive ignored without ground
    Step(craft, 120);
    ASSERT_EQ(Record(craft)->onGround, 0x3Fu);
    // Message 10 with p1 = 1 is the lock-on question: refused, nothing fired.
    EXPECT_EQ(MV2ObjectSendMessage(craft, 10, 1, 0), 0);
    // Otherwise p2 receives the shot, as the player's controls read it: none without weapons.
    intptr_t shot = 12345;
    EXPECT_EQ(MV2ObjectSendMessage(craft, 10, 0, reinterpret_cast<intptr_t>(&shot)), 1);
    EXPECT_EQ(shot, 0);
    // Steering stays within -30..30.
    for (float input : {0.01f, 1.0f, -5.0f})
        Send(craft, 6, input);
    EXPECT_FLOAT_EQ(Record(craft)->steering, -30.0f);
    // A knock of 0.03 or less changes nothing.
    Sub(craft)->thrust = 0.1f;
    Send(craft, 18, 0.03f);
    EXPECT_FLOAT_EQ(Sub(craft)->thrust, 0.1f);
    // Messages 27 and 28 keep the attractor word.
    int value = 7;
    MV2ObjectSendMessage(craft, 28, 0, reinterpret_cast<intptr_t>(&value));
    intptr_t read = 0;
    MV2ObjectSendMessage(craft, 27, 0, reinterpret_cast<intptr_t>(&read));
    EXPECT_EQ(read, reinterpret_cast<intptr_t>(&value));
}

TEST_F(AmphibiousTest, FoldsUnderWaterSwimsAndUnfoldsAfterThreeSecondsAboveIt) {
    MV2Object* craft = Craft({0, 1.0f, -15});
    ASSERT_NE(craft, nullptr);
    Step(craft, 30);
    // Above the water the craft keeps its wheels.
    MV2ObjectSendMessage(craft, 63, 0, 0);
    EXPECT_EQ(Record(craft)->mode, kMV2CraftOnLand);
    gMV2Water.height = 10.0f;
    MV2ObjectSendMessage(craft, 63, 0, 0);
    EXPECT_EQ(Record(craft)->mode, kMV2CraftFolding);
    EXPECT_FLOAT_EQ(Sub(craft)->rightingOffset.y, 50.0f);
    for (int32_t i = 0; i < 120 && Record(craft)->mode == kMV2CraftFolding; i++)
        Step(craft);
    ASSERT_EQ(Record(craft)->mode, kMV2CraftSwimming);
    for (int32_t i = 0; i < 6; i++) {
        TvFrame* hinge = Record(craft)->frames[kMV2CraftHingeFrame + i];
        EXPECT_LT(std::fabs(TvFrameGetLTM(hinge)->up.y), 0.6f) << i;
    }
    // Surfacing: 3 s above the surface before it unfolds, the wait starting again below it.
    gMV2Water.height = -10.0f;
    Step(craft, 60); // 2 s
    gMV2Water.height = 10.0f;
    Step(craft);
    gMV2Water.height = -10.0f;
    Step(craft, 80);
    EXPECT_EQ(Record(craft)->mode, kMV2CraftSwimming);
    Step(craft, 15);
    ASSERT_EQ(Record(craft)->mode, kMV2CraftUnfolding);
    Send(craft, 5, 1.0f); // drive controls do nothing while it unfolds
    EXPECT_EQ(Sub(craft)->thrust, 0.0f);
    Step(craft, 31);
    EXPECT_EQ(Record(craft)->mode, kMV2CraftOnLand);
    for (int32_t i = 0; i < 6; i++) {
        TvFrame* hinge = Record(craft)->frames[kMV2CraftHingeFrame + i];
        EXPECT_GT(TvFrameGetLTM(hinge)->up.y, 0.99f) << i;
    }
}

TEST_F(AmphibiousTest, ModeSwitchToolTogglesTheCraftAndShowsItsMode) {
    MV2Object* craft = Craft({0, 1.0f, -15});
    ASSERT_NE(craft, nullptr);
    gMV2Water.height = 10.0f;
    MV2Tool tool{};
    tool.kind = 10;
    tool.row = MV2GetToolRow(10);
    MV2SendToolMessage(&tool, 3, 0, reinterpret_cast<intptr_t>(craft));
    MV2ToolIcon icon{};
    MV2SendToolMessage(&tool, 57, 0, reinterpret_cast<intptr_t>(&icon));
    EXPECT_EQ(icon.sprite, 204);
    EXPECT_EQ(icon.colour, 0xFF61BDFFu);
    MV2SendToolMessage(&tool, 53, 0, 0);
    EXPECT_EQ(Record(craft)->mode, kMV2CraftFolding);
    MV2SendToolMessage(&tool, 57, 0, reinterpret_cast<intptr_t>(&icon));
    EXPECT_EQ(icon.sprite, 205);
    EXPECT_EQ(icon.colour, 0xFFFFFF00u);
    MV2ToolGauge gauge{};
    gauge.level = 9;
    EXPECT_EQ(MV2SendToolMessage(&tool, 59, 0, reinterpret_cast<intptr_t>(&gauge)), 0);
    EXPECT_EQ(gauge.level, 0);
    EXPECT_EQ(gauge.coloured, 1);
    EXPECT_EQ(gauge.colour, 0xFFFFFF00u);
    EXPECT_EQ(MV2SendToolMessage(&tool, 59, 0, 0), 0);
}
