// Submarine records and load-out: equipment levels, unknown types, award bits, and the load-out
// a save game keeps, with entries no craft carries refused.
#include "tests/game/player_fixture.h"

TEST_F(PlayerTest, SubRecordEntriesFollowTheEquipmentLevel) {
    MV2SubRecord* record = MV2GetSubRecord(0);
    ASSERT_NE(record, nullptr);
    const MV2SubRecord saved = *record;
    // Entries: 255 never, 254 only at 254, an item in no table skipped.
    record->weaponCount = 3;
    record->weapons[0] = MV2LoadoutEntry(255, 16); // bullet gun
    record->weapons[1] = MV2LoadoutEntry(254, 30); // machine gun
    record->weapons[2] = MV2LoadoutEntry(0, 9999); // no such icon
    record->weaponMounts[0] = record->weaponMounts[1] = record->weaponMounts[2] = 0;
    struct Case {
        int32_t level;
        bool bullets, machineGun;
    };
    for (const Case& c : {Case{253, false, false}, Case{254, false, true}, Case{255, false, true}}) {
        SCOPED_TRACE(c.level);
        MV2SetEquipmentLevel(c.level);
        MV2Object* craft = SpawnPlayer();
        ASSERT_NE(craft, nullptr);
        MV2EquipPlayerSub(craft);
        EXPECT_EQ(MV2HasWeapon(&Sub(craft)->weapons, 21) != 0, c.bullets);
        EXPECT_EQ(MV2HasWeapon(&Sub(craft)->weapons, 10) != 0, c.machineGun);
        MV2ObjectSendMessage(craft, 4, 1, 0);
    }
    *record = saved;
}

TEST_F(PlayerTest, RecordWordsAndItemTables) {
    const MV2SubRecord* r = MV2GetSubRecord(2);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(MV2GetSubRecordWord(r, 0), 1);
    EXPECT_EQ(MV2GetSubRecordWord(r, 2), 71);
    EXPECT_EQ(MV2GetSubRecordWord(r, 12), 3);
    EXPECT_EQ(uint32_t(MV2GetSubRecordWord(r, 13)), MV2LoadoutEntry(50, 16));
    EXPECT_EQ(uint32_t(MV2GetSubRecordWord(r, 33)), MV2LoadoutEntry(90, 60));
    EXPECT_EQ(MV2GetSubRecordWord(r, 1), 0) << "the video's name is no number";
    EXPECT_EQ(MV2GetSubRecordWord(r, 57), 0);
    EXPECT_STREQ(r->video, "gp3vid");
    EXPECT_EQ(MV2GetSubRecord(7), nullptr);
    EXPECT_EQ(MV2WeaponSlotOfItem(16), 21);
    EXPECT_EQ(MV2WeaponSlotOfItem(2), 1) << "the first slot of a shared icon";
    EXPECT_EQ(MV2ToolKindOfItem(307), 14);
    EXPECT_EQ(MV2ToolKindOfItem(58), -1);
}

TEST_F(PlayerTest, SelectingAnUnknownTypeTakesRecordZeroAndTheSameTypeKeepsTheCraft) {
    MV2SelectSub(330);
    EXPECT_EQ(MV2GetCurrentSubType(), 330);
    MV2SelectSub(12345);
    EXPECT_EQ(MV2GetCurrentSubRecordIndex(), 0);
    EXPECT_EQ(MV2GetCurrentSubType(), 0);
    MV2Object* craft = SpawnPlayer();
    ASSERT_NE(craft, nullptr);
    EXPECT_EQ(MV2SelectSub(0), craft);
    // -1 restores the default choices and leaves the record.
    MV2SubRecord* r = MV2GetSubRecord(2);
    r->chosen[0] = kMV2EmptyLoadoutEntry;
    EXPECT_EQ(MV2SelectSub(-1), MV2GetSubRecord(0));
    EXPECT_EQ(r->chosen[0], r->alternatives[0][0]);
}

TEST_F(PlayerTest, AwardBitsFollowKillsAndCollectedValue) {
    MV2AddAwardCounter(1, 0, 10);
    int32_t bits = 0;
    MV2GetAwardCounter(1, 1, &bits);
    EXPECT_EQ(bits, 1 << 8);
    MV2AddAwardCounter(1, 0, 40);
    MV2GetAwardCounter(1, 1, &bits);
    EXPECT_EQ(bits, (1 << 8) | (1 << 9) | (1 << 10));
    MV2AddAwardCounter(1, 2, 600);
    MV2AddAwardCounter(1, 1, 37); // bit 37 & 31 = 5
    MV2GetAwardCounter(1, 1, &bits);
    EXPECT_EQ(bits, (1 << 8) | (1 << 9) | (1 << 10) | (1 << 1) | (1 << 2) | (1 << 5));
    MV2AddAwardCounter(1, 3, 7);
    MV2AddAwardCounter(1, 3, 9);
    int32_t plain = 0;
    MV2GetAwardCounter(1, 3, &plain);
    EXPECT_EQ(plain, 9);
    // Slots and counters outside the table do nothing.
    int32_t untouched = 77;
    MV2AddAwardCounter(3, 0, 5);
    MV2GetAwardCounter(0, 4, &untouched);
    MV2GetAwardCounter(-1, 0, &untouched);
    EXPECT_EQ(untouched, 77);
    MV2ClearAwardCounters();
    MV2GetAwardCounter(1, 1, &bits);
    EXPECT_EQ(bits, 0);
}

TEST_F(PlayerTest, LoadoutRoundTripRefusesEntriesNoCraftCarries) {
    MV2Object* craft = SpawnPlayer();
    ASSERT_NE(craft, nullptr);
    MV2ObjectSendMessage(craft, 21, 10, 0);
    MV2ObjectSendMessage(craft, 21, 21, 1);
    MV2ObjectSendMessage(craft, 48, 3, 0);
    MV2ObjectSendMessage(craft, 48, 7, 0);
    Sub(craft)->weapons.first->ammunition = 17; // the machine gun (50 at most)
    MV2PlayerLoadout saved;
    MV2GetPlayerLoadout(&saved);
    ASSERT_EQ(saved.numWeapons, 2);
    EXPECT_EQ(saved.weapons[0].slot, 10);
    EXPECT_EQ(saved.weapons[1].mount, 1);
    ASSERT_EQ(saved.numTools, 2);

    // Entries from a save file: slot 99, a mount no craft has and kind 99 are refused.
    saved.weapons[saved.numWeapons++] = {99, 5, 0};
    saved.weapons[saved.numWeapons++] = {9, 5, 7};
    saved.weapons[saved.numWeapons++] = {26, 500, 0}; // more than the 6 the craft carries
    saved.tools[saved.numTools++] = {99, 0};
    saved.currentWeaponSlot = 21;
    saved.currentTool = 3;
    MV2RemoveAllWeapons(&Sub(craft)->weapons);
    MV2SetPlayerLoadout(&saved);
    MV2PlayerLoadout loaded;
    MV2GetPlayerLoadout(&loaded);
    ASSERT_EQ(loaded.numWeapons, 3);
    EXPECT_EQ(loaded.weapons[0].slot, 10);
    EXPECT_EQ(loaded.weapons[0].ammunition, 17);
    EXPECT_EQ(loaded.weapons[1].slot, 21);
    EXPECT_EQ(loaded.weapons[1].mount, 1);
    EXPECT_EQ(loaded.weapons[2].slot, 26);
    EXPECT_EQ(loaded.weapons[2].ammunition, 6);
    EXPECT_EQ(loaded.currentWeaponSlot, 21);
    ASSERT_EQ(loaded.numTools, 2);
    EXPECT_EQ(loaded.tools[0].kind, 3);
    EXPECT_EQ(loaded.tools[1].kind, 7);
    EXPECT_EQ(loaded.currentTool, 3);
}
