// The deployable turret: creation from its tagged parts, release rules, landing and guarding.
#include "tests/game/player/tools_fixture.h"

#include "game/missions/lightobject.h"

namespace {

class TurretTest : public CraftToolTest {
protected:
    MV2ObjectType* TurretType(std::initializer_list<uint32_t> tags) {
        MV2ObjectType* type = BodyType(kMV2TurretType, sizeof(MV2SubData) + sizeof(MV2DeployableTurretData), 0.5f);
        type->subDefinition = MV2FindSubDefinition("GUNSHIP");
        TagParts(type, tags);
        return type;
    }
    MV2Object* Turret() {
        TurretType({2, 3, 4, 9, 1, 8, 6});
        MV2Object* t = Make(kMV2TurretType, P(0, -15, 0));
        data = MV2GetTurretData(t);
        return t;
    }
    // Releases it at a drop point beneath it, lands and raises it.
    void Deploy(MV2Object* t) {
        MV2ObjectSendMessage(t, 33, 0, reinterpret_cast<intptr_t>(t));
        MV2ObjectSendMessage(t, 44, 0, reinterpret_cast<intptr_t>(craft));
        MV2ObjectSendMessage(t, 43, 0, reinterpret_cast<intptr_t>(craft));
        MV2ObjectSendMessage(t, 18, 0, 0);
        for (int32_t i = 0; i < 10 && data->state != kMV2TurretDeployed; ++i)
            Frame(t);
    }
    MV2DeployableTurretData* data = nullptr;
};

} // namespace

TEST_F(TurretTest, AModelWithoutABarrelFailsCreation) {
    TurretType({2, 3, 4, 9, 1, 6});
    EXPECT_EQ(Make(kMV2TurretType, P(0, -15, 0)), nullptr);
}

TEST_F(TurretTest, ReleasesDeployOnlyAtTheDropPointWithOneMagnetLeft) {
    MV2Object* t = Turret();
    ASSERT_NE(t, nullptr);
    ASSERT_NE(data, nullptr);
    EXPECT_EQ(data->state, kMV2TurretFolded);
    EXPECT_EQ(MV2ObjectSendMessage(t, 45, 0, 0), 1);
    EXPECT_EQ(MV2ObjectSendMessage(t, 75, 0, 0), 1) << "carried";

    MV2ObjectSendMessage(t, 33, 1, 0); // an unreachable point
    MV2ObjectSendMessage(t, 44, 0, 0);
    MV2ObjectSendMessage(t, 43, 0, reinterpret_cast<intptr_t>(craft));
    EXPECT_EQ(data->state, kMV2TurretFolded);
    EXPECT_EQ(data->magnets, 0);

    MV2ObjectSendMessage(t, 33, 0, reinterpret_cast<intptr_t>(t));
    MV2ObjectSendMessage(t, 44, 0, 0);
    MV2ObjectSendMessage(t, 44, 0, 0);
    MV2ObjectSendMessage(t, 43, 0, reinterpret_cast<intptr_t>(craft));
    EXPECT_EQ(data->state, kMV2TurretFolded) << "a second magnet still holds it";
    EXPECT_EQ(data->magnets, 1);
    MV2ObjectSendMessage(t, 43, 0, reinterpret_cast<intptr_t>(craft));
    EXPECT_EQ(data->state, kMV2TurretDropped);
    EXPECT_EQ(data->dropSet, 0);
    EXPECT_EQ(MV2ObjectSendMessage(t, 45, 0, 0), 0);

    MV2ObjectSendMessage(t, 18, 0, 0);
    EXPECT_EQ(data->state, kMV2TurretLanded);
    EXPECT_EQ(MV2ObjectSendMessage(t, 75, 0, 0), 0);
    for (int32_t i = 0; i < 10 && data->state != kMV2TurretDeployed; ++i)
        Frame(t);
    EXPECT_EQ(data->state, kMV2TurretDeployed);
    MV2ObjectSendMessage(t, 63, 0, 0);
    EXPECT_EQ(data->state, kMV2TurretFolding);
    EXPECT_EQ(MV2ObjectSendMessage(t, 75, 0, 0), 1);
}

TEST_F(TurretTest, ItsOwnShotsPassAndATypeSeventyTargetIsGivenUpAfterThreeSeconds) {
    MV2Object* t = Turret();
    ASSERT_NE(data, nullptr);
    Deploy(t);
    ASSERT_EQ(data->state, kMV2TurretDeployed);
    BodyType(296, sizeof(MV2FlareData), 0.1f);
    BodyType(69, sizeof(MV2LightObjectData), 0.1f);
    MV2Object* shot = Make(296, P(0, -14, 0));
    ASSERT_NE(shot, nullptr);
    MV2ObjectSendMessage(shot, 15, 0, reinterpret_cast<intptr_t>(t));
    EXPECT_EQ(MV2ObjectSendMessage(t, 14, 0, reinterpret_cast<intptr_t>(shot)), 0);
    MV2ObjectSendMessage(shot, 15, 0, reinterpret_cast<intptr_t>(craft));
    EXPECT_EQ(MV2ObjectSendMessage(t, 14, 0, reinterpret_cast<intptr_t>(shot)), 1);

    ModelType(70, 1.0f);
    MV2Object* enemy = Make(70, TvV3dAdd(t->matrix->pos, {0.0f, 0.0f, 5.0f}));
    ASSERT_NE(enemy, nullptr);
    enemy->aiCategory = 6;
    enemy->flags = (enemy->flags & ~0x8u) | 0x10u; // the other side

    // While the player steers the turret it looks for nothing.
    MV2SetPlayerObject(t);
    Frame(t, 200);
    Frame(t, 200);
    EXPECT_EQ(MV2GetObjectRef(&data->target), nullptr);
    MV2SetPlayerObject(craft);

    Frame(t, 200);
    Frame(t, 200);
    EXPECT_EQ(MV2GetObjectRef(&data->target), enemy);
    gMV2FrameTimer.frameClock += 3001;
    Frame(t);
    EXPECT_EQ(MV2GetObjectRef(&data->target), nullptr);
}
