// The weapon system: list order and refusals, firing with mounts, ammunition and the fall-back
// to the bullet gun, the HUD fraction, the damage rule and the lock-on.
#include "tests/game/player_fixture.h"

#include "game/objects/objectupdate.h"

namespace {

std::vector<int32_t> Slots(const MV2WeaponList& list) {
    std::vector<int32_t> slots;
    for (const MV2WeaponRecord* w = list.first; w; w = w->next)
        slots.push_back(w->slot);
    return slots;
}

int32_t gFlashes = 0;

intptr_t CountingFlash(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 3) ++gFlashes;
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

int32_t CountType(int32_t type) {
    int32_t n = 0;
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
        n += MV2ShotTypeOf(o) == type;
    return n;
}

// Messages a target type records: {message, p1, p2 value}.
struct Received {
    int32_t message;
    intptr_t p1;
    float value;
    intptr_t p2;
};
std::vector<Received> gReceived;

intptr_t RecordingHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 65) gReceived.push_back({65, p1, *reinterpret_cast<float*>(p2), p2});
    if (message == 76) gReceived.push_back({76, p1, 0.0f, p2});
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

} // namespace

TEST_F(PlayerTest, WeaponListKeepsSlotOrderAndRefusesBadSlots) {
    MV2WeaponList list;
    MV2InitWeaponList(&list);
    ASSERT_NE(MV2AddWeapon(&list, nullptr, nullptr, 1, 0, nullptr), nullptr);
    ASSERT_NE(MV2AddWeapon(&list, nullptr, nullptr, 9, 0, nullptr), nullptr);
    ASSERT_NE(MV2AddWeapon(&list, nullptr, nullptr, 4, 0, nullptr), nullptr);
    EXPECT_EQ(Slots(list), (std::vector<int32_t>{1, 4, 9}));
    EXPECT_EQ(list.currentWeaponSlot, 4);
    EXPECT_EQ(list.last->slot, 9);
    EXPECT_EQ(list.last->prev->slot, 4);
    EXPECT_EQ(list.first->ammunition, -1) << "no definition: unlimited";

    const MV2SubDefinition* def = MV2FindSubDefinition("GUNSHIP");
    struct Case {
        int32_t slot, mount;
        const MV2SubDefinition* definition;
        bool added;
    };
    const Case cases[] = {{28, 0, def, false}, {-1, 0, def, false}, {99, 0, nullptr, false},
                          {5, 4, def, false},  {5, -1, def, false}, {5, 1, nullptr, false},
                          {5, 3, def, true}};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.slot * 100 + c.mount);
        EXPECT_EQ(MV2AddWeapon(&list, nullptr, c.definition, c.slot, c.mount, nullptr) != nullptr,
                  c.added);
    }
    EXPECT_EQ(MV2CountWeapons(&list), 4);
    EXPECT_EQ(MV2RemoveWeapon(&list, 4), 1);
    EXPECT_EQ(MV2RemoveWeapon(&list, 4), 0);
    MV2SelectWeapon(&list, 9);
    MV2SelectNextWeapon(&list);
    EXPECT_EQ(list.currentWeaponSlot, 1) << "wraps to the start";
    MV2RemoveAllWeapons(&list);
    EXPECT_EQ(list.first, nullptr);
    EXPECT_EQ(list.last, nullptr);
}

TEST_F(PlayerTest, TwoMountsFireTogetherEachWithItsCountdown) {
    BodyType(2, sizeof(MV2BoltData), 0.2f);
    MV2Object* craft = SpawnPlayer();
    ASSERT_NE(craft, nullptr);
    MV2ObjectSendMessage(craft, 21, 1, 0);
    MV2ObjectSendMessage(craft, 21, 1, 1);
    MV2WeaponList& list = Sub(craft)->weapons;
    for (MV2WeaponRecord* w = list.first; w; w = w->next)
        w->reloadCountdown = 0;
    list.first->reloadCountdown = 50; // the first mount is still reloading
    intptr_t shot = 0;
    MV2ObjectSendMessage(craft, 10, 0, reinterpret_cast<intptr_t>(&shot));
    EXPECT_EQ(CountType(2), 1);
    for (MV2WeaponRecord* w = list.first; w; w = w->next)
        w->reloadCountdown = 0;
    MV2ObjectSendMessage(craft, 10, 0, reinterpret_cast<intptr_t>(&shot));
    EXPECT_EQ(CountType(2), 3);
    EXPECT_NE(shot, 0);
    EXPECT_EQ(list.first->reloadCountdown, 200);
    EXPECT_EQ(list.last->reloadCountdown, 200);
    EXPECT_EQ(list.first->mount, 1) << "a record goes before the first of its slot";
    EXPECT_EQ(list.last->mount, 0);
    EXPECT_EQ(Heard("TBLAST1"), 3);
    // The shots are projectiles; the shooter's own matrix neither turns nor grows.
    EXPECT_FLOAT_EQ(MV2ShotLength(craft->matrix->at), 1.0f);
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
        if (MV2ShotTypeOf(o) == 2) {
            EXPECT_EQ(o->aiCategory, 10);
        }
}

TEST_F(PlayerTest, LastShellThenTheBulletGunTakesOver) {
    MV2Object* craft = SpawnPlayer();
    ASSERT_NE(craft, nullptr);
    MV2ObjectSendMessage(craft, 21, 21, 0);
    MV2ObjectSendMessage(craft, 21, 9, 0); // one shell from the definition
    MV2SetObjectTypeHandler(331, CountingFlash);
    gFlashes = 0;
    MV2WeaponList& list = Sub(craft)->weapons;
    MV2WeaponRecord* shotgun = list.first;
    ASSERT_EQ(shotgun->ammunition, 1);
    shotgun->reloadCountdown = 0;
    MV2ObjectSendMessage(craft, 10, 0, 0);
    EXPECT_EQ(shotgun->ammunition, 0);
    EXPECT_EQ(Heard("SHOTGUNSHOT"), 1);
    EXPECT_EQ(gFlashes, 1) << "the muzzle flash";
    shotgun->reloadCountdown = 0;
    MV2ObjectSendMessage(craft, 10, 0, 0);
    EXPECT_EQ(list.currentWeaponSlot, 21);
    EXPECT_EQ(list.last->reloadCountdown, 1000);
    EXPECT_EQ(Heard("NOAMMO"), 1);
    EXPECT_EQ(Heard("SHOTGUNSHOT"), 1);
}

TEST_F(PlayerTest, AmmunitionFraction) {
    MV2WeaponList list;
    MV2InitWeaponList(&list);
    MV2WeaponRecord* w = MV2AddWeapon(&list, nullptr, nullptr, 12, 0, nullptr);
    ASSERT_NE(w, nullptr);
    struct Case {
        int32_t ammunition, maximum;
        float fraction;
    };
    for (const Case& c : {Case{-1, -1, 1.0f}, Case{5, 10, 0.5f}, Case{0, 0, 0.0f}, Case{3, -4, 0.0f}}) {
        w->ammunition = c.ammunition;
        w->maximum = c.maximum;
        float f = -1.0f;
        MV2WeaponSendMessage(w, 60, 0, reinterpret_cast<intptr_t>(&f));
        EXPECT_FLOAT_EQ(f, c.fraction);
    }
    int32_t ammo = 0;
    EXPECT_EQ(MV2WeaponSendMessage(w, 13, 0, reinterpret_cast<intptr_t>(&ammo)), 1);
    EXPECT_EQ(ammo, 3);
    MV2RemoveAllWeapons(&list);
}

TEST_F(PlayerTest, DamageRule) {
    MV2Object* craft = SpawnPlayer();
    ASSERT_NE(craft, nullptr);
    MV2Object* other = Make(0, P(5.0f, -10.0f, 0.0f));
    ASSERT_NE(other, nullptr);
    struct Case {
        const char* what;
        uint32_t materialClass;
        bool puppet;
        float energy;
        bool byPlayer;
        const char* sound;
        float energyAfter;
        int32_t message;
    };
    const Case cases[] = {
        {"metal survivor hit by the player", 0, false, 10.0f, true, "WEAPONHITMETAL", 8.0f, 65},
        {"biological survivor hit by another", 2, false, 10.0f, false, "WEAPONHITBIOLOGICAL", 8.0f,
         76},
        {"material class 3 is silent", 3, false, 10.0f, true, nullptr, 8.0f, 65},
        {"a puppet keeps its energy", 1, true, 10.0f, true, "WEAPONHITMINERAL", 10.0f, 76},
        {"a killed target gets no threat", 0, false, 1.0f, true, "WEAPONHITMETAL", -1.0f, 0},
    };
    MV2ObjectType* type = BodyType(40, 0);
    MV2SetObjectTypeHandler(40, RecordingHandler);
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        type->words[31] = (c.materialClass << 30) | (8u << 14) | 8u;
        type->words[7] = kMV2TypeModelLoaded | kMV2TypeCanDie;
        MV2Object* target = Make(40, P(0.0f, -10.0f, 5.0f));
        ASSERT_NE(target, nullptr);
        if (c.puppet) type->words[7] |= kMV2TypePuppet; // read at the hit, not at creation
        target->energy = c.energy;
        gReceived.clear();
        gPlayerSounds.clear();
        const float hit[3] = {0.0f, -10.0f, 5.0f};
        MV2DamageObject(c.byPlayer ? craft : other, target, hit, 2.0f, 1);
        EXPECT_FLOAT_EQ(target->energy, c.energyAfter);
        EXPECT_EQ(gPlayerSounds.size(), c.sound ? 1u : 0u);
        if (c.sound) {
            EXPECT_EQ(Heard(c.sound), 1);
        }
        if (c.message == 0) {
            EXPECT_TRUE(gReceived.empty());
        } else {
            ASSERT_EQ(gReceived.size(), 1u);
            EXPECT_EQ(gReceived[0].message, c.message);
            if (c.puppet) {
                EXPECT_EQ(gReceived[0].p1, 2000) << "damage x 1000";
            }
            if (c.message == 65) {
                EXPECT_FLOAT_EQ(gReceived[0].value, 2.0f);
            }
            if (c.message == 76 && !c.puppet) {
                EXPECT_EQ(gReceived[0].p2, reinterpret_cast<intptr_t>(other));
            }
        }
        MV2ObjectSendMessage(target, 4, 1, 0);
    }
}

TEST_F(PlayerTest, KillsOfCountedTypesRaiseTheAwards) {
    MV2Object* craft = SpawnPlayer();
    ASSERT_NE(craft, nullptr);
    BodyType(56, 0);
    for (int32_t i = 0; i < 10; ++i) {
        MV2Object* target = Make(56, P(0.0f, -10.0f, 5.0f));
        ASSERT_NE(target, nullptr);
        target->energy = 1.0f;
        MV2DamageObject(craft, target, nullptr, 5.0f, 0);
        MV2ObjectSendMessage(target, 4, 1, 0);
    }
    int32_t kills = 0, bits = 0;
    MV2GetAwardCounter(0, 0, &kills);
    MV2GetAwardCounter(0, 1, &bits);
    EXPECT_EQ(kills, 10);
    EXPECT_EQ(bits, 1 << 8);
}

TEST_F(PlayerTest, ReticleLockTakesTwoSeconds) {
    MV2Object* craft = SpawnPlayer();
    ASSERT_NE(craft, nullptr);
    MV2ObjectSendMessage(craft, 21, 3, 0); // the craft bolt launcher asks for the reticle lock
    MV2Object* target = Make(0, P(0.0f, -10.0f, 20.0f));
    ASSERT_NE(target, nullptr);
    int32_t elapsed = 0;
    while (!MV2GetLockedTarget() && elapsed < 5000) {
        MV2UpdateLockOn(craft, target, 1);
        elapsed += 33;
    }
    EXPECT_EQ(MV2GetLockedTarget(), target);
    EXPECT_GE(elapsed, 2000);
    EXPECT_LT(elapsed, 2040);
    // Another candidate while the target left the screen restarts the lock.
    MV2Object* second = Make(0, P(3.0f, -10.0f, 20.0f));
    MV2UpdateLockOn(craft, second, 0);
    EXPECT_EQ(MV2GetLockedTarget(), nullptr);
    EXPECT_EQ(MV2GetLockOnState()->target, second);
    MV2ClearLockOn();
    EXPECT_EQ(MV2GetLockOnState()->target, nullptr);
}
