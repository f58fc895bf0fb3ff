// The player's craft: spawn and death, the hurt flash, the controls, alternate thrust, weapon
// choice sounds and the small companion handlers.
#include "tests/game/player_fixture.h"

#include "game/missions/missionflow.h"

TEST_F(PlayerTest, SpawnThenDeathKeepsTheWreckForASecond) {
    CraftType(0);
    ASSERT_EQ(MV2SpawnPlayer(), 1);
    MV2Object* craft = MV2GetPlayerObject();
    ASSERT_NE(craft, nullptr);
    EXPECT_EQ(MV2GetPlayerSub(), craft);
    EXPECT_EQ(craft->overrideHandler, &MV2PlayerHandler);
    EXPECT_FLOAT_EQ(craft->matrix->pos.y, 40.0f); // the level start point
    EXPECT_TRUE(MV2HasWeapon(&Sub(craft)->weapons, 21)); // record 0's bullet gun
    EXPECT_FALSE(MV2HasWeapon(&Sub(craft)->weapons, 23)); // needs equipment level 25

    craft->energy = 0.0f;
    Frame(craft);
    EXPECT_EQ(craft->overrideHandler, &MV2DeadPlayerHandler);
    EXPECT_EQ(MV2GetPlayerControlState(), 0x80);
    EXPECT_FLOAT_EQ(craft->energy, 1000.0f);
    // The dead brain swallows collisions and impacts.
    EXPECT_EQ(MV2ObjectSendMessage(craft, 14, 0, 0), 1);
    const MV2ObjectHandle handle = craft->handle;
    for (int32_t ms = 0; ms < 990; ms += 33)
        Frame(craft);
    EXPECT_TRUE(MV2ObjectHandleAlive(handle));
    EXPECT_FLOAT_EQ(craft->energy, 1000.0f);
    Frame(craft, 33);
    Frame(craft, 33);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
    EXPECT_EQ(MV2GetPlayerSub(), nullptr);
    EXPECT_EQ(MV2GetPlayerSub(), nullptr);
    EXPECT_EQ(MV2GetPlayerObject(), nullptr);
}

TEST_F(PlayerTest, SpawnWithoutACraftTypeFails) {
    EXPECT_EQ(MV2SpawnPlayer(), 0); // type 0 has no model
    EXPECT_EQ(MV2GetPlayerObject(), nullptr);
}

TEST_F(PlayerTest, HurtFlashNeedsADropAboveOne) {
    MV2Object* craft = SpawnPlayer();
    ASSERT_NE(craft, nullptr);
    Frame(craft, 200); // the spawn's flash end lies a millisecond before the spawn
    const int32_t start = int32_t(gMV2FrameTimer.frameClock);
    craft->energy -= 1.0f;
    Frame(craft, 0);
    EXPECT_LT(MV2GetHurtFlashEnd(), start) << "a drop of exactly 1.0 starts no flash";
    craft->energy -= 1.5f;
    Frame(craft, 0);
    EXPECT_EQ(MV2GetHurtFlashEnd(), start + 200);
    // 250 ms later the last flash ended only 50 ms ago: no new one.
    gMV2FrameTimer.frameClock += 250;
    craft->energy -= 1.5f;
    Frame(craft, 0);
    EXPECT_EQ(MV2GetHurtFlashEnd(), start + 200);
    gMV2FrameTimer.frameClock += 100;
    craft->energy -= 1.5f;
    Frame(craft, 0);
    EXPECT_EQ(MV2GetHurtFlashEnd(), start + 550);
}

TEST_F(PlayerTest, ThrustAndYawNeedTheCraftUnderTheSurface) {
    struct Case {
        const char* what;
        int32_t type;
        float height; // above the water surface at 0
        bool moves;
    };
    const Case cases[] = {
        {"under water", 0, -5.0f, true},
        {"just under half a unit above", 0, 0.4f, true},
        {"half a unit above", 0, 0.5f, false},
        {"type 84 above", 84, 3.0f, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        CraftType(c.type);
        MV2SetObjectTypeHandler(c.type, MV2SubmarineHandler);
        MV2Object* craft = Make(c.type, P(0.0f, c.height, 0.0f));
        ASSERT_NE(craft, nullptr);
        MV2SetPlayerObject(craft);
        MV2SetPlayerSub(craft);
        MV2ObjectSendMessage(craft, 29, 0, reinterpret_cast<intptr_t>(&MV2PlayerHandler));
        Press(2, 1.0f);
        Press(3, 1.0f);
        Frame(craft);
        // The thrust is read after the handler's drag: nonzero only when a message arrived.
        EXPECT_EQ(Sub(craft)->thrust != 0.0f, c.moves);
        EXPECT_EQ(Sub(craft)->yawRate != 0.0f, c.moves);
        EXPECT_EQ(MV2GetPlayerControlState() & 1, 1) << "bit 0 follows the thrust axis";
        ClearActions();
        MV2ObjectSendMessage(craft, 4, 1, 0);
    }
}

TEST_F(PlayerTest, AlternateThrustClimbsInsteadOfThrusting) {
    MV2Object* craft = SpawnPlayer();
    ASSERT_NE(craft, nullptr);
    MV2SetAltThrustControl(1, 1, 0);
    Press(2, 1.0f);
    Frame(craft);
    EXPECT_EQ(Sub(craft)->thrust, 0.0f);
    EXPECT_GT(Sub(craft)->verticalSpeed, 0.0f);
    MV2SetAltThrustControl(0, 1, 0);
    Frame(craft);
    EXPECT_GT(Sub(craft)->thrust, 0.0f);
}

TEST_F(PlayerTest, WeaponChoiceSounds) {
    MV2Object* craft = SpawnPlayer();
    ASSERT_NE(craft, nullptr);
    MV2ObjectSendMessage(craft, 21, 21, 0);
    Press(7); // next weapon with one slot: nothing changes
    Frame(craft);
    EXPECT_EQ(Heard("MAPNOTAVAILABLE"), 1);
    Release(7);
    gPlayerSounds.clear();
    Press(19); // the bullet gun's key while it is current: no step, no sound
    Frame(craft);
    EXPECT_TRUE(gPlayerSounds.empty());
    Release(19);
    MV2ObjectSendMessage(craft, 21, 9, 0); // the shotgun, now current
    Press(19);
    Frame(craft);
    EXPECT_EQ(Heard("TOOLSELECT"), 1);
    EXPECT_EQ(Sub(craft)->weapons.currentWeaponSlot, 21);
    EXPECT_EQ(MV2GetWeaponStripOffset(), 68) << "one icon for each of the two steps taken";
}

TEST_F(PlayerTest, EquipmentLevelAndDepthLimit) {
    MV2SetEquipmentLevel(-1);
    EXPECT_EQ(MV2GetEquipmentLevel(), 0);
    MV2SetEquipmentLevel(254);
    EXPECT_EQ(MV2GetEquipmentLevel(), 254);
    CraftType(0)->words[29] = (300u << 16) | 120u;
    gMV2MissionFlow.current = 0; // a game run earlier in the process may have left a mission
    MV2Object* craft = Make(0, P(0.0f, -5.0f, 0.0f));
    ASSERT_NE(craft, nullptr);
    EXPECT_FLOAT_EQ(MV2GetCraftDepthLimit(craft), 120.0f); // no mission runs: the low half
    EXPECT_FLOAT_EQ(MV2GetCraftDepthLimit(nullptr), 0.0f);
}

TEST_F(PlayerTest, MessageTriggerAndSpinningProp) {
    BodyType(253, 0);
    MV2Object* trigger = Make(253, P(0.0f, -5.0f, 0.0f));
    ASSERT_NE(trigger, nullptr);
    EXPECT_EQ(MV2ObjectSendMessage(trigger, 13, 0, 0), -1);
    MV2ObjectSendMessage(trigger, 36, 0x7000088, 0); // a script id of the table
    Frame(trigger);
    EXPECT_EQ(MV2ObjectSendMessage(trigger, 13, 0, 0), 77);
    MV2ObjectSendMessage(trigger, 97, 0, 0);
    EXPECT_EQ(MV2ObjectSendMessage(trigger, 13, 0, 0), 0); // played once, then cleared

    BodyType(343, 0);
    MV2Object* prop = Make(343, P(0.0f, -5.0f, 0.0f));
    ASSERT_NE(prop, nullptr);
    MV2ObjectSendMessage(prop, 24, 42, 0);
    EXPECT_EQ(MV2ObjectSendMessage(prop, 84, 0, 0), 42);
    ASSERT_NE(prop->body, nullptr);
    EXPECT_LE(prop->body->angularVelocity.x, 0.6f);
    EXPECT_GE(prop->body->angularVelocity.x, 0.0f);
}
