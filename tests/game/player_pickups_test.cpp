// Pickups: the multiplayer weapon file, power-ups, weapons and ammunition given, and the
// teleporter.
#include "tests/game/player_fixture.h"

#include <cstring>
#include <string>

#include "game/objects/dynamics.h"

namespace {

class PickupTest : public PlayerTest {
protected:
    void SetUp() override {
        PlayerTest::SetUp();
        for (int32_t r = 0; r < kMV2MPWeaponRows; ++r)
            *MV2GetMPWeaponRow(r) = {0, 0, 1.0f, 0, 0, {0, 0, 0, 0}};
        for (int32_t i = 0; i < kMV2PowerUps; ++i)
            MV2GetPowerUp(i)->active = 0;
    }
    static void Parse(const std::string& text) {
        MV2ParseMPWeapons(text.data(), text.size());
    }
};

} // namespace

TEST_F(PickupTest, TheWeaponFileFillsSixRowsAndKeepsWhatItDoesNotReach) {
    Parse("name,damage\n");
    EXPECT_EQ(MV2GetMPWeaponRow(0)->damage, 1.0f) << "a header alone changes nothing";
    Parse("header\nmissile,1.5,10,5,20,21,22,23\nmine,2.0,4\n");
    const MV2MPWeaponRow* r = MV2GetMPWeaponRow(0);
    EXPECT_EQ(r->damage, 1.5f);
    EXPECT_EQ(r->initialAmmunition, 10);
    EXPECT_EQ(r->ammunitionPerPickup, 5);
    EXPECT_EQ(r->maximum[0], 20);
    EXPECT_EQ(r->maximum[3], 23);
    EXPECT_EQ(MV2GetMPWeaponRow(1)->damage, 2.0f);
    EXPECT_EQ(MV2GetMPWeaponRow(1)->initialAmmunition, 4) << "a partial row fills what matched";
    EXPECT_EQ(MV2GetMPWeaponRow(1)->ammunitionPerPickup, 0);
    EXPECT_EQ(MV2GetMPWeaponRow(2)->damage, 1.0f) << "rows past the end stay";
    // An over-long line is read in two parts: the rows after it shift by one.
    Parse("header\n" + std::string(300, 'x') + ",3.0,1,1,1,1,1,1\nnext,4.0,2,2,2,2,2,2\n");
    EXPECT_EQ(MV2GetMPWeaponRow(0)->damage, 1.5f) << "255 characters without a comma";
    EXPECT_EQ(MV2GetMPWeaponRow(1)->damage, 3.0f);
    EXPECT_EQ(MV2GetMPWeaponRow(2)->damage, 4.0f);
}

TEST_F(PickupTest, EnergyPickupsAreRefusedAtFullEnergyAndNeverOverfill) {
    MV2Object* craft = SpawnPlayer();
    ASSERT_NE(craft, nullptr);
    const float initial = MV2TypeFloat(craft->type, 1);
    craft->energy = initial - 0.4f; // rounds to full
    EXPECT_EQ(MV2ApplyPowerUp(craft, 0), 0);
    craft->energy = initial - 10.0f;
    EXPECT_EQ(MV2ApplyPowerUp(craft, 1), 1);
    EXPECT_EQ(craft->energy, initial);
    EXPECT_EQ(MV2IsPowerUpActive(1), 0) << "energy acts at once";
}

TEST_F(PickupTest, TimedPowerUpsRunOutAndTheMaskShowsThem) {
    MV2Object* craft = SpawnPlayer();
    ASSERT_EQ(MV2ApplyPowerUp(craft, 7), 1);
    ASSERT_EQ(MV2ApplyPowerUp(craft, 6), 1);
    EXPECT_EQ(MV2GetMPPickupMask(), (1 << 6) | (1 << 7));
    gMV2FrameTimer.milliseconds = 1000;
    gMV2FrameTimer.ticks = 30.0f;
    for (int32_t s = 0; s < 6; ++s)
        MV2UpdatePowerUps();
    EXPECT_EQ(MV2IsPowerUpActive(7), 0) << "five seconds";
    EXPECT_EQ(MV2IsPowerUpActive(6), 1) << "twenty seconds";
    MV2LoadMPWeapons(); // reading the file clears every power-up, file or not
    EXPECT_EQ(MV2GetMPPickupMask(), 0);
}

TEST_F(PickupTest, WeaponPickupsGiveTheWeaponThenOnlyAmmunition) {
    MV2Object* craft = SpawnPlayer();
    *MV2GetMPWeaponRow(3) = {0, 0, 0.5f, 30, 25, {60, 0, 0, 0}};
    ASSERT_EQ(MV2GiveWeapon(craft, 10), 1);
    MV2WeaponRecord* w = Sub(craft)->weapons.first;
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(w->ammunition, 30);
    EXPECT_EQ(w->maximum, 60);
    EXPECT_EQ(MV2GiveWeapon(craft, 10), 1) << "held: ammunition";
    EXPECT_EQ(w->ammunition, 55);
    EXPECT_EQ(MV2GiveAmmo(craft, 10), 1);
    EXPECT_EQ(w->ammunition, 60) << "capped at the maximum";
    EXPECT_EQ(MV2GiveWeapon(craft, 10), 0) << "full: refused";
    EXPECT_EQ(MV2GiveAmmo(craft, 5), 0) << "not held";
    Sub(craft)->weapons.currentWeaponSlot = 10;
    EXPECT_EQ(MV2GetMPWeaponDamage(craft), 0.5f);
}

TEST_F(PickupTest, ALoneTeleporterWithoutALinkSendsThePlayerToItself) {
    MV2Object* craft = SpawnPlayer();
    ModelType(451, 0.5f);
    MV2SetObjectTypeHandler(451, MV2TeleporterHandler);
    MV2GetObjectType(451)->privateData = TvFreeListCreate(sizeof(MV2TeleporterData), 2);
    lists_.push_back(MV2GetObjectType(451)->privateData);
    MV2GetObjectType(451)->privateDataSize = sizeof(MV2TeleporterData);
    MV2Object* t = Make(451, P(0, -10, 0.5f));
    ASSERT_NE(t, nullptr);
    craft->body->velocity = {0.0f, 0.0f, 0.1f}; // towards it
    MV2ObjectSendMessage(t, 2, 0, 0);
    EXPECT_NEAR(craft->matrix->pos.z, t->matrix->pos.z + 0.05f, 1e-4f);
    EXPECT_NEAR(craft->body->velocity.z, 0.2f, 1e-4f) << "along its at vector, a little faster";
    EXPECT_EQ(Heard("MPTELEPORT"), 1);
    MV2ObjectSendMessage(t, 4, 0, 0);
}
