// The remote vehicle: refused outside its level, launched with the controls, the carrier passing
// through it, and the recall near and far from the dock.
#include "tests/game/player/tools_fixture.h"

#include "game/objects/camera.h"

namespace {

class RovTest : public CraftToolTest {
protected:
    void SetUp() override {
        CraftToolTest::SetUp();
        MV2ObjectType* carrierType = CraftType(1);
        carrierType->words[7] |= kMV2TypeNoSpin;
        TagParts(carrierType, {kMV2RovDockTag});
        MV2ObjectType* rov = BodyType(kMV2RovType, sizeof(MV2SubData) + sizeof(MV2RovDock), 0.3f);
        rov->subDefinition = MV2FindSubDefinition("GUNSHIP");
        carrier = Make(1, P(5, -10, 5));
        ASSERT_NE(carrier, nullptr);
        MV2SetPlayerObject(carrier);
        MV2SetPlayerSub(carrier);
        gMV2Level.currentLevelId = 4u << 24;
        ASSERT_EQ(MV2AddTool(&Sub(carrier)->tools, 6, carrier), 1);
        carrierTools = &Sub(carrier)->tools;
        carrierTools->currentKind = 6;
        tool = MV2FindTool(carrierTools, 6);
        tool->cooldown = 0;
        MV2SendToolMessage(tool, 13, 0, reinterpret_cast<intptr_t>(&rov_));
        ASSERT_NE(rov_, nullptr);
        dock = MV2GetRovDock(rov_);
        ASSERT_NE(dock, nullptr);
    }
    void Use() {
        tool->cooldown = 0;
        MV2UseTool(carrierTools, carrier, 0);
    }
    void Frames(int32_t ms) {
        for (int32_t t = 0; t < ms; t += 33)
            Frame(rov_);
    }
    MV2Object* carrier = nullptr;
    MV2ToolList* carrierTools = nullptr;
    MV2Tool* tool = nullptr;
    MV2Object* rov_ = nullptr;
    MV2RovDock* dock = nullptr;
};

} // namespace

TEST_F(RovTest, OutsideLevelFourEveryUseIsRefusedForHalfASecondWithARedIcon) {
    gMV2Level.currentLevelId = 2u << 24;
    Use();
    EXPECT_EQ(dock->launched, 0);
    EXPECT_EQ(MV2GetPlayerObject(), carrier);
    EXPECT_EQ(dock->waitUntil, gMV2FrameTimer.frameClock + 500);
    EXPECT_EQ(Heard("MAPNOTAVAILABLE"), 1);
    Use();
    EXPECT_EQ(Heard("MAPNOTAVAILABLE"), 1) << "refused while the wait runs";
    MV2ToolIcon icon{};
    MV2SendToolMessage(tool, 57, 0, reinterpret_cast<intptr_t>(&icon));
    EXPECT_EQ(icon.sprite, 50);
    EXPECT_EQ(icon.colour, 0xFF0000u);
}

TEST_F(RovTest, ALaunchHandsOverTheControlsAndTheCarrierPassesThroughForTwoSeconds) {
    Use();
    EXPECT_EQ(dock->launched, 1);
    EXPECT_EQ(MV2GetPlayerObject(), rov_);
    EXPECT_EQ(MV2GetCameraMode(), 0);
    EXPECT_EQ(tool->charges, -1);
    MV2Object* shown = nullptr;
    MV2SendToolCommand(carrier, 6, 34, 0, &shown);
    EXPECT_EQ(shown, rov_);
    EXPECT_EQ(MV2ObjectSendMessage(rov_, 14, 0, reinterpret_cast<intptr_t>(carrier)), 0);
    gMV2FrameTimer.frameClock += 2000;
    MV2ObjectSendMessage(rov_, 14, 0, reinterpret_cast<intptr_t>(carrier));
    EXPECT_EQ(dock->contact, 1) << "after the wait the carrier is met";
    dock->returning = 1;
    dock->contact = 0;
    EXPECT_EQ(MV2ObjectSendMessage(rov_, 14, 0, reinterpret_cast<intptr_t>(carrier)), 0);
    EXPECT_EQ(dock->contact, 0) << "and passed while the vehicle returns";
}

TEST_F(RovTest, ARecallFarFromTheDockLeavesTheVehicleOutAndANearOneDocksIt) {
    Use();
    gMV2FrameTimer.frameClock += 2000;
    rov_->matrix->pos = TvV3dAdd(carrier->matrix->pos, {10.0f, 0.0f, 0.0f});
    MV2ShotSyncFrame(rov_);
    MV2ObjectSendMessage(rov_, 63, 0, 0);
    Frame(rov_);
    EXPECT_EQ(MV2GetPlayerObject(), carrier) << "the controls come back";
    EXPECT_EQ(dock->launched, 1);
    EXPECT_EQ(dock->returning, 0);

    // Under the dock: the vehicle flies itself in.
    gMV2FrameTimer.frameClock += 2000;
    Use();
    EXPECT_EQ(MV2GetPlayerObject(), rov_);
    gMV2FrameTimer.frameClock += 2000;
    const TvMatrix* d = TvFrameGetLTM(dock->dock);
    rov_->matrix->pos = TvV3dSub(d->pos, d->up);
    MV2ShotSyncFrame(rov_);
    MV2SetRovRecallKey(1);
    Frame(rov_);
    EXPECT_EQ(dock->returning, 1);
    EXPECT_EQ(MV2GetPlayerObject(), carrier);
    Frames(3000);
    EXPECT_EQ(dock->launched, 0);
    EXPECT_EQ(dock->returning, 0);
    EXPECT_LT(MV2ShotDistanceSquared(rov_->matrix->pos, TvFrameGetLTM(dock->dock)->pos), 0.04f);
}
