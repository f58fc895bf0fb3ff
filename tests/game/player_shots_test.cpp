// The guns and their shots: the bolt gun's charge and bolts, bullets, the ray-sphere entry,
// homing missiles, the laser's charge, and the fall-off of the machine gun and the shotgun.
#include "tests/game/player_fixture.h"

#include <cmath>

#include "game/objects/objectupdate.h"
#include "tests/support/mesh_clump.h"

namespace {

int32_t CountType(int32_t type) {
    int32_t n = 0;
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
        n += MV2ShotTypeOf(o) == type;
    return n;
}
} // namespace

TEST_F(PlayerTest, BoltChargeRefillsOneShotEvery400Ms) {
    MV2WeaponList list;
    MV2InitWeaponList(&list);
    MV2WeaponRecord* gun = MV2AddWeapon(&list, nullptr, nullptr, 1, 0, nullptr);
    ASSERT_NE(gun, nullptr);
    auto fire = [&]() { return MV2WeaponSendMessage(gun, 10, 0, 0); };
    auto update = [&]() { MV2WeaponSendMessage(gun, 2, 0, 0); };
    auto left = [&]() { return static_cast<MV2BoltGunData*>(gun->handlerData)->shotsLeft; };
    EXPECT_EQ(fire(), 0);
    EXPECT_EQ(fire(), 0);
    EXPECT_EQ(fire(), 0);
    EXPECT_EQ(fire(), 1) << "empty";
    update(); // the first shot comes back at the next update
    EXPECT_EQ(left(), 1);
    EXPECT_EQ(fire(), 1) << "no bolt while it refills";
    gMV2FrameTimer.frameClock += 399;
    update();
    EXPECT_EQ(left(), 1);
    gMV2FrameTimer.frameClock += 1;
    update();
    EXPECT_EQ(left(), 2);
    gMV2FrameTimer.frameClock += 400;
    update();
    EXPECT_EQ(left(), 3);
    EXPECT_EQ(fire(), 0) << "charged again";
    float f = 0.0f;
    MV2WeaponSendMessage(gun, 60, 0, reinterpret_cast<intptr_t>(&f));
    EXPECT_NEAR(f, 0.6666667f, 1e-6);
    EXPECT_EQ(MV2WeaponSendMessage(gun, 10, 1, 0), 0) << "bolts do not follow the lock";
    MV2RemoveAllWeapons(&list);
}

TEST_F(PlayerTest, BoltBurstsAfterTenSecondsAndNeverHitsBoltsOrItsShooter) {
    BodyType(2, sizeof(MV2BoltData), 0.2f);
    MV2Object* shooter = Make(2, P(5.0f, -10.0f, 0.0f)); // any object will do as a shooter
    MV2Object* bolt = Make(2, P(0.0f, -10.0f, 0.0f));
    MV2Object* other = Make(2, P(0.0f, -10.0f, 3.0f));
    ASSERT_NE(bolt, nullptr);
    ASSERT_NE(other, nullptr);
    MV2ObjectSendMessage(bolt, 15, 0, reinterpret_cast<intptr_t>(shooter));
    EXPECT_EQ(bolt->aiCategory, 10);
    EXPECT_EQ(MV2ObjectSendMessage(bolt, 14, 0, reinterpret_cast<intptr_t>(shooter)), 0);
    EXPECT_EQ(MV2ObjectSendMessage(bolt, 14, 0, reinterpret_cast<intptr_t>(other)), 0);
    EXPECT_EQ(MV2ObjectSendMessage(bolt, 19, 0, reinterpret_cast<intptr_t>(other)), 0);
    EXPECT_EQ(static_cast<MV2BoltData*>(bolt->privateData)->hit, 0u);
    MV2Object* owner = nullptr;
    MV2ObjectSendMessage(bolt, 16, 0, reinterpret_cast<intptr_t>(&owner));
    EXPECT_EQ(owner, shooter);
    MV2ObjectSendMessage(other, 4, 1, 0);
    MV2ObjectSendMessage(shooter, 4, 1, 0);
    const MV2ObjectHandle handle = bolt->handle;
    const float zero = 0.0f;
    MV2ObjectSendMessage(bolt, 73, 0, reinterpret_cast<intptr_t>(&zero)); // no thrust: it stays
    for (int32_t ms = 0; ms < 10000 - 33; ms += 33)
        Frame(bolt);
    EXPECT_TRUE(MV2ObjectHandleAlive(handle));
    EXPECT_EQ(Heard("WEAPONHITMETAL"), 0);
    Frame(bolt, 100);
    Frame(bolt);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
    EXPECT_EQ(Heard("WEAPONHITMETAL"), 1);
}

TEST_F(PlayerTest, BulletLeavesItsOwnerThenFliesAtMostOneAndAHalfSeconds) {
    BodyType(145, sizeof(MV2BulletData), 0.05f);
    CraftType(0, 1.0f);
    MV2Object* craft = Make(0, P(0.0f, -10.0f, 0.0f));
    ASSERT_NE(craft, nullptr);
    MV2Object* bullet = Make(145, P(0.0f, -10.0f, 0.2f));
    ASSERT_NE(bullet, nullptr);
    MV2ObjectSendMessage(bullet, 15, 0, reinterpret_cast<intptr_t>(craft));
    const float before = craft->energy;
    Frame(bullet); // first update: no step
    EXPECT_NEAR(bullet->matrix->pos.z - 50.0f, 0.2f, 1e-4);
    Frame(bullet); // out of the owner's sphere (radius 1) by the exit step plus 0.05
    const float exit = 0.2f + (std::sqrt(0.04f + 4.0f * 0.96f) - 0.2f) * 0.5f + 0.05f;
    EXPECT_NEAR(bullet->matrix->pos.z - 50.0f, exit, 1e-4);
    EXPECT_GT(bullet->matrix->pos.z - 50.0f, 1.0f);
    EXPECT_FLOAT_EQ(craft->energy, before);
    Frame(bullet);
    EXPECT_NEAR(bullet->matrix->pos.z - 50.0f, exit + 175.0f / 30.0f, 1e-3);
    const MV2ObjectHandle handle = bullet->handle;
    int32_t frames = 3;
    MV2ObjectSendMessage(craft, 4, 1, 0);
    bullet->matrix->pos = P(0.0f, -10.0f, -49.0f); // back to the world's edge, heading on
    while (MV2ObjectHandleAlive(handle) && frames < 100) {
        Frame(bullet);
        ++frames;
    }
    // 1.5 s of flight at 30 frames a second after the first, still update.
    EXPECT_NEAR(frames, 46, 1);
}

TEST_F(PlayerTest, RaySphereEntry) {
    struct Case {
        const char* what;
        float centre[3];
        float radius;
        float best;
        int32_t entered;
        float bestAfter;
    };
    const Case cases[] = {
        {"ahead", {0, 0, 10}, 1, 100, 1, 9},
        {"behind", {0, 0, -10}, 1, 100, 0, 100},
        {"beside", {3, 0, 10}, 1, 100, 0, 100},
        {"beyond the nearer best", {0, 0, 10}, 1, 5, 0, 5},
        {"the start inside", {0, 0, 0.5f}, 1, 100, 1, 0},
        {"a nearer best stays", {0, 0, 10}, 1, 9, 0, 9},
    };
    const float start[3] = {0, 0, 0}, direction[3] = {0, 0, 1};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        float best = c.best;
        EXPECT_EQ(MV2RaySphereEntry(c.centre, c.radius, start, direction, &best), c.entered);
        EXPECT_NEAR(best, c.bestAfter, 1e-5);
    }
}

TEST_F(PlayerTest, HomingFanSharesOneTargetAndResearches) {
    BodyType(394, sizeof(MV2HomingMissile), 0.1f);
    CraftType(0);
    MV2Object* shooter = Make(0, P(0.0f, -10.0f, 0.0f));
    MV2Object* enemy = Make(0, P(0.0f, -10.0f, 15.0f));
    ASSERT_NE(enemy, nullptr);
    enemy->flags |= 16u;
    MV2WeaponList list;
    MV2InitWeaponList(&list);
    MV2WeaponRecord* launcher = MV2AddWeapon(&list, nullptr, nullptr, 26, 0, shooter);
    ASSERT_NE(launcher, nullptr);
    MV2CreationRecord record{};
    record.matrix = shooter->matrix;
    record.owner = shooter;
    EXPECT_EQ(MV2WeaponSendMessage(launcher, 10, 0, reinterpret_cast<intptr_t>(&record)), 1);
    EXPECT_EQ(CountType(394), 3);
    const MV2HomingTarget* targets = MV2GetHomingTargets();
    EXPECT_EQ(targets[0].object, enemy);
    EXPECT_EQ(targets[1].object, nullptr);
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o)) {
        if (MV2ShotTypeOf(o) != 394) continue;
        MV2Object* target = nullptr;
        MV2ObjectSendMessage(o, 34, 0, reinterpret_cast<intptr_t>(&target));
        EXPECT_EQ(target, enemy);
        EXPECT_EQ(o->aiCategory, 10);
    }
    MV2RemoveAllWeapons(&list);
}

TEST_F(PlayerTest, HomingMissileWithoutTargetsSearchesThenBurnsOut) {
    BodyType(394, sizeof(MV2HomingMissile), 0.1f);
    MV2Object* missile = Make(394, P(0.0f, -10.0f, 0.0f));
    ASSERT_NE(missile, nullptr);
    auto* d = static_cast<MV2HomingMissile*>(missile->privateData);
    MV2ObjectSendMessage(missile, 33, 0, 0);
    Frame(missile, 0);
    EXPECT_EQ(d->state, 1);
    gMV2FrameTimer.frameClock += 256;
    Frame(missile, 0);
    EXPECT_EQ(d->state, 1);
    EXPECT_EQ(d->nextTime, int32_t(gMV2FrameTimer.frameClock) + 250) << "searched; none found";
    gMV2FrameTimer.frameClock = uint32_t(d->created + 2501);
    Frame(missile, 0);
    EXPECT_EQ(d->state, 4);
    const MV2ObjectHandle handle = missile->handle;
    missile->matrix->pos = P(0.0f, -10.0f, 0.0f);
    gMV2FrameTimer.frameClock = uint32_t(d->created + 9990);
    Frame(missile, 0);
    EXPECT_TRUE(MV2ObjectHandleAlive(handle));
    gMV2FrameTimer.frameClock = uint32_t(d->created + 10001);
    Frame(missile, 0);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle)) << "no owner: gone after 10 s";
}

TEST_F(PlayerTest, LaserDrainsInTenSecondsAndRefillsInTwelveAndAHalf) {
    CraftType(0);
    MV2Object* craft = Make(0, P(0.0f, -10.0f, 0.0f));
    ASSERT_NE(craft, nullptr);
    MV2WeaponList& list = Sub(craft)->weapons;
    MV2WeaponRecord* laser = MV2AddWeapon(&list, Sub(craft), nullptr, 11, 0, craft);
    ASSERT_NE(laser, nullptr);
    auto* d = static_cast<MV2LaserGunData*>(laser->handlerData);
    EXPECT_EQ(MV2WeaponSendMessage(laser, 10, 1, 0), 0);
    EXPECT_EQ(MV2WeaponSendMessage(laser, 10, 0, 0), 1) << "the gun makes no projectile";
    EXPECT_EQ(d->firing, 1u);
    gMV2FrameTimer.ticks = 3.0f; // a tenth of a second a frame
    int32_t frames = 0;
    while (d->firing && frames < 200) {
        MV2WeaponSendMessage(laser, 2, 0, 0);
        ++frames;
    }
    EXPECT_NEAR(frames, 100, 1) << "10 s of beam";
    EXPECT_FLOAT_EQ(d->charge, 0.0f);
    frames = 0;
    while (d->charge < 1.0f && frames < 200) {
        MV2WeaponSendMessage(laser, 2, 0, 0);
        ++frames;
    }
    EXPECT_NEAR(frames, 125, 1) << "12.5 s to refill";
    MV2WeaponSendMessage(laser, 10, 0, 0);
    EXPECT_EQ(d->firing, 1u);
    MV2WeaponSendMessage(laser, 64, 0, 0);
    EXPECT_EQ(d->firing, 0u) << "releasing the trigger ends the beam";
    d->charge = 0.05f;
    MV2WeaponSendMessage(laser, 10, 0, 0);
    EXPECT_EQ(d->firing, 0u) << "needs more than 0.05";
}

// A wall facing the shooter at z = distance, spanning the line of fire.
class FallOffTest : public PlayerTest {
protected:
    MV2Object* Wall(float z) {
        MV2ObjectType* type = BodyType(41, 0);
        MV2SetObjectTypeHandler(41, MV2ObjectDefaultHandler);
        TpClumpDestroy(type->model);
        MeshPart plane = PlaneMesh(1, 1, 4.0f, 4.0f);
        for (auto& t : plane.triangles) // facing the shooter at -z
            std::swap(t[1], t[2]);
        type->model = MakeMeshClump({plane});
        MV2SetAllAtomicFlags(type->model, kTpAtomicCollisionTest | kTpAtomicRender);
        type->words[7] = kMV2TypeModelLoaded | kMV2TypeCanDie;
        return Make(41, P(-2.0f, -12.0f, z));
    }
};

TEST_F(FallOffTest, MachineGunAndShotgunDamageFallsWithDistance) {
    struct Case {
        int32_t slot;
        float distance;
        float damage;
    };
    for (const Case& c : {Case{10, 10.0f, 4.0f}, Case{10, 45.0f, 1.2f},
                          Case{9, 20.0f, 1.1f * 15.0f}}) {
        SCOPED_TRACE(c.slot * 1000 + int32_t(c.distance));
        CraftType(0);
        MV2Object* craft = Make(0, P(0.0f, -10.0f, 0.0f));
        MV2Object* wall = Wall(c.distance);
        ASSERT_NE(wall, nullptr);
        wall->energy = 100.0f;
        MV2WeaponRecord* gun = MV2AddWeapon(&Sub(craft)->weapons, Sub(craft), nullptr, c.slot, 0, craft);
        MV2CreationRecord record{};
        record.matrix = craft->matrix;
        record.owner = craft;
        EXPECT_EQ(MV2WeaponSendMessage(gun, 10, 0, reinterpret_cast<intptr_t>(&record)), 1);
        // The pellets' scatter moves the hit point a little: the distances vary by hundredths.
        EXPECT_NEAR(100.0f - wall->energy, c.damage, 0.05f * c.damage);
        MV2ObjectSendMessage(craft, 4, 1, 0);
        MV2ObjectSendMessage(wall, 4, 1, 0);
    }
}

TEST_F(PlayerTest, MachineGunLoopAndShotSound) {
    CraftType(0);
    MV2Object* craft = Make(0, P(0.0f, -10.0f, 0.0f));
    MV2WeaponRecord* gun = MV2AddWeapon(&Sub(craft)->weapons, Sub(craft), nullptr, 10, 0, craft);
    ASSERT_NE(gun, nullptr);
    MV2CreationRecord record{};
    record.matrix = craft->matrix;
    record.owner = craft;
    MV2WeaponSendMessage(gun, 10, 0, reinterpret_cast<intptr_t>(&record));
    EXPECT_EQ(static_cast<MV2MachineGunData*>(gun->handlerData)->firing, 1u);
    MV2WeaponSendMessage(gun, 64, 0, 0);
    EXPECT_EQ(Heard("MACHINEGUNSHOT"), 1);
    MV2WeaponSendMessage(gun, 64, 0, 0);
    EXPECT_EQ(Heard("MACHINEGUNSHOT"), 1) << "one shot sound per release";
}
