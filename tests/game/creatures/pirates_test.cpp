#include "tests/game/creatures/creature_fixture.h"

#include <array>

#include "game/creatures/pirates.h"
#include "game/missions/lightobject.h"
#include "game/objects/water.h"
#include "game/player/playercraft.h"
#include "game/player/player.h"

namespace {

class PirateTest : public CreatureTest {
protected:
    void TearDown() override {
        MV2SetPlayerObject(nullptr);
        if (floor_) {
            MV2DestroyAllObjects();
            TV_ENGINE->worldLibrary = grid_.world;
            TpWorldDestroy(floor_);
        }
        CreatureTest::TearDown();
    }
    // A floor at y = -5 as the landscape.
    void UseFloor() {
        floor_ = MakeLeafWorld({{-20, -5, -20}, {20, -5, -20}, {20, -5, 20}, {-20, -5, 20}},
                               {{0, 2, 1, 0}, {0, 3, 2, 0}});
        ASSERT_NE(floor_, nullptr);
        TV_ENGINE->worldLibrary = floor_;
    }
    MV2Object* Pirate(int32_t type = 56, TvV3d at = {0.0f, -10.0f, 0.0f}) {
        return MakeSub(type, at);
    }
    // Runs a pin's frames (motion, then its update) until it is gone; the milliseconds it lived.
    uint32_t PinLife(MV2Object* pin) {
        const MV2ObjectHandle handle = pin->handle;
        const uint32_t start = gMV2FrameTimer.frameClock;
        while (MV2ObjectHandleAlive(handle) && gMV2FrameTimer.frameClock - start < 12000) {
            gMV2FrameTimer.frameClock += 50;
            MV2IntegrateMotion(pin);
            MV2ObjectSendMessage(pin, 2, 0, 0);
        }
        return gMV2FrameTimer.frameClock - start;
    }
    TpWorld* floor_ = nullptr;
};

} // namespace

TEST_F(PirateTest, PiratesGetTheirBrainAndType329DoesNot) {
    for (int32_t type : {56, 70}) {
        MV2Object* pirate = Pirate(type);
        ASSERT_NE(pirate, nullptr);
        EXPECT_EQ(pirate->overrideHandler, MV2PirateBrain) << type;
        auto* d = static_cast<MV2PirateData*>(MV2GetLayeredData(pirate));
        ASSERT_NE(d, nullptr) << type;
        EXPECT_GE(d->scanTimer, 0.0f);
        EXPECT_LE(d->scanTimer, 20.0f);
        EXPECT_TRUE(pirate->flags & kMV2ObjectActive);
    }
    EXPECT_NE(MakeSub(329)->overrideHandler, MV2PirateBrain);
}

TEST_F(PirateTest, PerformanceAndOwnShots) {
    MV2Object* pirate = Pirate();
    ASSERT_NE(pirate, nullptr);
    MV2ObjectSendMessage(pirate, 89, 50, 0);
    EXPECT_FLOAT_EQ(Sub(pirate)->maxSpeed, 0.05f);
    EXPECT_FLOAT_EQ(Sub(pirate)->acceleration, 0.01f);

    // A shot owned by another pirate of its type passes; others collide as craft do.
    MV2Object* friendOfType = Pirate(56, {5.0f, -10.0f, 0.0f});
    MV2Object* stranger = MakeSub(1, {-5.0f, -10.0f, 0.0f});
    BodyType(292, sizeof(MV2PinRecord), 0.1f);
    MV2Object* ownShot = MV2CreateObject(292, nullptr, nullptr);
    MV2Object* otherShot = MV2CreateObject(292, nullptr, nullptr);
    ASSERT_TRUE(friendOfType && stranger && ownShot && otherShot);
    MV2ObjectSendMessage(ownShot, 15, 0, reinterpret_cast<intptr_t>(friendOfType));
    MV2ObjectSendMessage(otherShot, 15, 0, reinterpret_cast<intptr_t>(stranger));
    EXPECT_EQ(MV2ObjectSendMessage(pirate, 14, 0, reinterpret_cast<intptr_t>(ownShot)), 0);
    EXPECT_NE(MV2ObjectSendMessage(pirate, 14, 0, reinterpret_cast<intptr_t>(otherShot)), 0);
}

// Headless: a pirate near the player's craft of the other side attacks it once its scan runs,
// unless it has been provoked twice.
TEST_F(PirateTest, PirateAttacksThePlayersCraft) {
    UseFloor();
    for (int32_t passivity : {0, 2}) {
        MV2Object* player = MakeSub(1, {16.0f, 5.0f, 10.0f});
        ASSERT_NE(player, nullptr);
        player->flags |= 8u;
        MV2SetPlayerObject(player);
        MV2Object* pirate = Pirate(56, {10.0f, 5.0f, 10.0f});
        ASSERT_NE(pirate, nullptr);
        MV2GetSubAIData(pirate)->passivity = passivity;
        TvFrameSyncDirty(); // both stand in the world's sectors, which hold positive points
        int32_t frames = 0;
        while (MV2SubAIGetCommand(pirate)->code != kMV2SubAIAttack && frames < 900) {
            Frame(pirate);
            ++frames;
        }
        if (passivity == 0) {
            EXPECT_LT(frames, 900); // the scan runs within 20 s
            EXPECT_EQ(MV2SubAICommandGetTarget(MV2SubAIGetCommand(pirate)), player);
            EXPECT_EQ(MV2GetSubAIData(pirate)->depth, 1);
        } else {
            EXPECT_EQ(frames, 900);
        }
        MV2DestroyAllObjects();
    }
}

TEST_F(PirateTest, PinTimings) {
    MV2SetWaterHeight(100.0f);
    BodyType(292, sizeof(MV2PinRecord), 0.1f);
    BodyType(69, sizeof(MV2LightObjectData));
    MV2Object* gunner = MakeSub(1, {0.0f, 0.0f, 0.0f});
    ASSERT_NE(gunner, nullptr);
    struct Case {
        int32_t weapon;
        float fall; // units per tick down; 0: no landscape to hit
        uint32_t minLife, maxLife;
    };
    // A pin that hits nothing goes at 10 s; a stuck pin explodes 2 s after its hit, a rapid pin
    // vanishes 1 s after its first hit.
    const Case cases[] = {{12, 0.0f, 10000, 10050}, {12, 0.5f, 2000, 2200}, {17, 0.5f, 1000, 1200}};
    for (const Case& c : cases) {
        if (c.fall > 0.0f && !floor_) UseFloor();
        Sub(gunner)->weapons.currentWeaponSlot = c.weapon;
        MV2WeaponRecord record{};
        record.slot = c.weapon;
        Sub(gunner)->weapons.first = &record;
        const float at[3] = {0.0f, -4.0f, 0.0f};
        MV2Object* pin = MV2CreateObject(292, at, nullptr);
        ASSERT_NE(pin, nullptr);
        MV2ObjectSendMessage(pin, 15, 0, reinterpret_cast<intptr_t>(gunner));
        Sub(gunner)->weapons.first = nullptr;
        pin->body->velocity = {0.0f, -c.fall, 0.0f};
        const uint32_t life = PinLife(pin);
        EXPECT_GE(life, c.minLife) << c.weapon << " " << c.fall;
        EXPECT_LE(life, c.maxLife) << c.weapon << " " << c.fall;
    }
}

TEST(Piranha, KeyCycle) {
    struct Case {
        int32_t finished;
        uint32_t biting;
        int32_t next;
        uint32_t bitingAfter;
    };
    const Case cases[] = {
        {0, 0, 1, 0},   {8, 1, 9, 1},   {9, 0, 0, 0},  {9, 1, 10, 1},
        {18, 1, 19, 1}, {19, 1, 0, 0}, {28, 0, 29, 0}, {29, 0, 0, 0},
    };
    for (const Case& c : cases) {
        uint32_t biting = c.biting;
        EXPECT_EQ(MV2PiranhaNextKey(c.finished, &biting), c.next) << c.finished;
        EXPECT_EQ(biting, c.bitingAfter) << c.finished;
    }
}

TEST_F(PirateTest, PinGunIcons) {
    for (const std::array<int32_t, 2> row : {std::array<int32_t, 2>{12, 32}, {17, 298}, {27, 33}}) {
        MV2WeaponRecord slot{};
        slot.slot = row[0];
        MV2ToolIcon icon{};
        EXPECT_EQ(MV2PinGunHandler(&slot, 57, 0, reinterpret_cast<intptr_t>(&icon)), 0);
        EXPECT_EQ(icon.sprite, row[1]);
        EXPECT_EQ(icon.colour, (97u << 16) | (189u << 8) | 255u);
    }
}
