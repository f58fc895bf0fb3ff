// Friendly fire, the city, the mining sites and the mission helpers on a level-0 fixture.
#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <vector>

#include "engine/core/frame.h"
#include "game/frontend/hud.h"
#include "game/missions/lightobject.h"
#include "game/missions/missions.h"
#include "game/objects/camera.h"
#include "game/objects/levels.h"
#include "game/objects/levelswitch.h"
#include "game/objects/sky.h"
#include "game/player/playercraft.h"
#include "shell/gamestate.h"
#include <cmath>
#include "tests/support/mission_harness.h"

namespace {

std::vector<std::pair<intptr_t, intptr_t>> g_events;
std::vector<int32_t> g_messages;
std::map<const MV2Object*, float> g_values; // the last value message 12 pointed at

int32_t Listener(MV2Object*, int32_t message, intptr_t a, intptr_t b) {
    g_messages.push_back(message);
    if (message == kMV2ScriptEvent) g_events.push_back({a, b});
    return 1;
}

intptr_t PartHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 12 && p2) g_values[object] = *reinterpret_cast<const float*>(p2);
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

constexpr int32_t kFriendType = 44, kCategoryType = 5, kKeyType = 13, kCraftType = 56,
                  kCargoType = 45;

class LevelLogicTest : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(h_.ok());
        MissionLevel level;
        AddCityObjects(level);
        AddMiningObjects(level);
        level.types.push_back({kMissionPartType, 100.0f, 0, 0, PartHandler});
        level.types.push_back({kFriendType, 100.0f, 0x8});
        level.types.push_back({kCategoryType, 10.0f, 0x8, 0});
        level.types.push_back({kKeyType, 100.0f, 0x8});
        level.types.push_back({kCraftType});
        level.types.push_back({kCargoType});
        CutSceneItemDesc camera{0x3E0000, 0, 5};
        const float a[3] = {10, 10, 10}, b[3] = {20, 10, 10};
        camera.path.segments = {LinearSegment(0, 500, a, b)};
        CutSceneItemDesc camera2 = camera;
        camera2.id = 0x700000;
        level.cutScenes = {{0x3EFFFF, 500, {camera}}, {0x70FFFF, 500, {camera2}}};
        ASSERT_TRUE(h_.Load(level)) << (h_.Boxes().empty() ? "" : h_.Boxes()[0]);
        g_events.clear();
        g_messages.clear();
        g_values.clear();
        MV2SetMissionScriptForTest(5, Listener);
    }

    MV2Object* Make(int32_t type, float x = 30, float y = 10, float z = 30) {
        MV2CurrentLevelWorld world;
        const float at[3] = {x, y, z};
        return MV2CreateObject(type, at, nullptr);
    }

    void PlacePlayerAt(const MV2Object* object, float dx) {
        h_.Player()->matrix->pos = object->matrix->pos;
        h_.Player()->matrix->pos.x += dx;
    }

    MissionHarness h_;
};

} // namespace

TEST_F(LevelLogicTest, FriendlyHitsScaleByTypeEnergyAndCountOncePerInstant) {
    MV2Object* friendA = Make(kFriendType);
    MV2Object* friendB = Make(kCategoryType);
    ASSERT_TRUE(friendA && friendB);
    EXPECT_FLOAT_EQ(MV2FriendlyFireWeight(friendA), 0.3f);
    EXPECT_FLOAT_EQ(MV2FriendlyFireWeight(friendB), 0.4f); // AI category 0
    friendB->aiCategory = 12;
    EXPECT_EQ(MV2FriendlyFireWeight(friendB), 0.0f); // beyond the category table
    friendB->aiCategory = 0;

    MV2FriendlyFireAddDamage(friendA, 10.0f); // 10 / 100 x 2 = 0.2 of the weight
    EXPECT_NEAR(MV2GetFriendlyFireMeter(), 0.3f * 0.2f, 1e-6);
    MV2FriendlyFireAddDamage(friendA, 10.0f); // the same instant: nothing more
    EXPECT_NEAR(MV2GetFriendlyFireMeter(), 0.06f, 1e-6);
    h_.Step(10);
    MV2FriendlyFireAddDamage(friendB, 10.0f); // 10 / 10 x 2 = 2, capped at 0.25
    EXPECT_NEAR(MV2GetFriendlyFireMeter(), 0.06f + 0.4f * 0.25f, 1e-6);

    // Hostile kills take the meter down to 0 and no further.
    MV2FriendlyFireDecayFast(friendA);
    MV2FriendlyFireDecayFast(friendA);
    MV2FriendlyFireDecayFast(friendA);
    MV2FriendlyFireDecayFast(friendA);
    EXPECT_EQ(MV2GetFriendlyFireMeter(), 0.0f);

    // On level 2 friendly fire does not count.
    gMV2Level.currentLevelId = 0x02FFFFFF;
    MV2FriendlyFireAddKill(friendA);
    EXPECT_EQ(MV2GetFriendlyFireMeter(), 0.0f);
    gMV2Level.currentLevelId = 0x00FFFFFF;
}

TEST_F(LevelLogicTest, MeterDecaysToZeroInTwoHundredFiftySeconds) {
    gMV2FriendlyFire.meter = 0.51f;
    MV2FriendlyFireDecaySlow(nullptr, 0.0f); // 0.5, and the decay timer is armed
    ASSERT_EQ(gMV2FriendlyFire.decayArmed, 1);
    h_.Run(245000, 500);
    EXPECT_GT(MV2GetFriendlyFireMeter(), 0.0f);
    h_.Run(10000, 500);
    EXPECT_EQ(MV2GetFriendlyFireMeter(), 0.0f);
    EXPECT_EQ(gMV2FriendlyFire.decayArmed, 0);
}

TEST_F(LevelLogicTest, KillsTriggerThePunishmentThroughAReset) {
    MV2Object* key = Make(kKeyType);
    ASSERT_NE(key, nullptr);
    MV2MissionInstallNotify(5, 9);
    MV2MissionSetTimer(5, 300, 100000);
    MV2FriendlyFireAddKill(key); // 2.5: at once
    EXPECT_EQ(gMV2FriendlyFire.triggered, 1);
    EXPECT_EQ(h_.Player()->energy, 9999999.0f);
    // The reset cleared the scripts' timers and handlers.
    EXPECT_EQ(MV2CountMissionTimers(5, 300), 0);
    EXPECT_EQ(MV2MissionNotifyInstalled(5, 9), 0);
    // After the 2000 ms wait the home step shows message 283 and starts the cut-scene.
    h_.Run(2100);
    ASSERT_FALSE(h_.Log("shown").empty());
    EXPECT_EQ(h_.Log("shown").back().value, 283);
    EXPECT_EQ(gMV2GameState.requested, 12);
    // A second trigger is ignored.
    h_.ClearLog();
    MV2FriendlyFireTrigger(77);
    EXPECT_TRUE(h_.Log("failed").empty());
    // A reset of the row, as at level start, lets a script fail the mission with a message.
    MV2CallMissionScript(42, nullptr, kMV2ScriptRestart, 0, 0);
    gMV2GameState.requested = 0;
    MV2FriendlyFireTrigger(77);
    EXPECT_EQ(h_.Log("failed").size(), 1u);
    h_.Run(200);
    EXPECT_EQ(h_.Log("shown").front().value, 77);
}

TEST_F(LevelLogicTest, DropPointReactsWithinSixUnits) {
    MV2Object* drop = h_.Find(0x20014);
    ASSERT_NE(drop, nullptr);
    PlacePlayerAt(drop, 6.0f);
    EXPECT_EQ(MV2CityCheckDropPoint(h_.Player()), nullptr);
    PlacePlayerAt(drop, 5.9f);
    EXPECT_EQ(MV2CityCheckDropPoint(h_.Player()), h_.Find(0x20010));
    MV2SetEquipmentLevel(4); // the city is closed below equipment level 5
    EXPECT_EQ(MV2CityCheckDropPoint(h_.Player()), nullptr);
}

TEST_F(LevelLogicTest, LightsAlternateWhileBusy) {
    auto glow = [](MV2Object* light) {
        return (static_cast<MV2LightObjectData*>(light->privateData)->flags & kMV2LightOn) != 0;
    };
    MV2Object* b1 = gMV2City.record.lightsB[0];
    MV2Object* b2 = gMV2City.record.lightsB[1];
    ASSERT_TRUE(b1 && b2);
    gMV2City.record.busy = 1;
    gMV2DayClock.gameClock = 0;
    MV2UpdateCity();
    EXPECT_EQ(gMV2City.record.lightState, 3);
    EXPECT_TRUE(glow(b1));
    EXPECT_FALSE(glow(b2));
    gMV2DayClock.gameClock = 512;
    MV2UpdateCity();
    EXPECT_EQ(gMV2City.record.lightState, 4);
    EXPECT_FALSE(glow(b1));
    EXPECT_TRUE(glow(b2));
    MV2SetCityActive(0);
    MV2UpdateCity();
    EXPECT_EQ(gMV2City.record.lightState, 2);
}

TEST_F(LevelLogicTest, StrangeCraftAtABayRaisesEventSix) {
    MV2MissionInstallNotify(5, 6);
    MV2Object* craft = Make(kCraftType);
    ASSERT_NE(craft, nullptr);
    const MV2ObjectHandle handle = craft->handle;
    MV2CityReceiveCraft(craft, nullptr);
    EXPECT_EQ(g_events, (std::vector<std::pair<intptr_t, intptr_t>>{{6, 0}}));
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
    // A drone that brings no cargo earns nothing and stays.
    MV2Object* drone = Make(kFriendType);
    MV2CityReceiveCraft(drone, nullptr);
    EXPECT_TRUE(MV2ObjectHandleAlive(drone->handle));
}

TEST_F(LevelLogicTest, BasePartOutputsFloorAtOneFifth) {
    MV2MiningSite& site = gMV2Mining.sites[0];
    MV2Object* base0 = MV2GetObjectRef(&site.parts[kMV2MiningBase0].object);
    MV2Object* base1 = MV2GetObjectRef(&site.parts[kMV2MiningBase0 + 1].object);
    ASSERT_TRUE(base0 && base1);
    base0->energy = 19.0f;
    base1->energy = 20.0f;
    MV2UpdateMining(0);
    EXPECT_EQ(g_values[base0], 0.0f);
    EXPECT_FLOAT_EQ(g_values[base1], 0.2f);
    // A full stock stops every base part and so all production.
    site.stock = site.capacity;
    MV2UpdateMining(1000);
    EXPECT_EQ(g_values[base1], 0.0f);
    EXPECT_EQ(site.productionFactor, 0.0f);
    EXPECT_EQ(site.stock, site.capacity);
}

TEST_F(LevelLogicTest, LoadingTakesTenSeconds) {
    MV2Object* station = MV2MiningGetSiteObject(0);
    ASSERT_NE(station, nullptr);
    MV2MiningSite& site = gMV2Mining.sites[0];
    ASSERT_EQ(MV2MiningDockCraft(station, h_.Player()), 1);
    EXPECT_EQ(MV2MiningDockCraft(station, h_.Player()), 0); // docked already: state 2
    EXPECT_EQ(site.state, 2);
    site.stock = 80.0f;
    site.rate = 0.0f; // no production meanwhile
    MV2MiningStartLoading(station);
    for (int i = 0; i < 100; i++)
        MV2UpdateMining(100);
    EXPECT_EQ(site.state, 4);
    MV2UpdateMining(100);
    EXPECT_EQ(site.state, 3);
    EXPECT_NEAR(site.stock, 80.0f - site.loadAmount, 1e-3);
}

TEST_F(LevelLogicTest, MiningFileIsCheckedWhole) {
    uint8_t bytes[64];
    for (int i = 0; i < 16; i++) {
        const float v = float(i);
        std::memcpy(bytes + 4 * i, &v, 4);
    }
    EXPECT_EQ(MV2MiningParseFile(bytes, 63), 0);
    const float nan = std::nanf("");
    std::memcpy(bytes + 20, &nan, 4);
    EXPECT_EQ(MV2MiningParseFile(bytes, 64), 0);
    const float one = 1.0f;
    std::memcpy(bytes + 20, &one, 4);
    EXPECT_EQ(MV2MiningParseFile(bytes, 64), 1);
    EXPECT_EQ(gMV2Mining.sites[1].rate, 4.0f);
    EXPECT_EQ(gMV2Mining.sites[1].capacity, 1.0f);
}

TEST_F(LevelLogicTest, SecondCutSceneWhileOneRunsIsRefused) {
    ASSERT_EQ(MV2PlayCutScene(0x70FFFF, 0), 1);
    EXPECT_EQ(MV2PlayCutScene(0x3EFFFF, 0), 0);
    EXPECT_EQ(gMV2CutSceneSequence.current, 0x70FFFFu);
    EXPECT_EQ(h_.Player()->energy, 100000.0f);
    // The path ends: the craft gets the player handler back and its energy.
    MV2NotifyScripts(nullptr, 3, 0);
    EXPECT_EQ(h_.Player()->overrideHandler, MV2PlayerHandler);
    EXPECT_EQ(h_.Player()->energy, 100.0f);
    // The mode left: the sequence is over and event 17 tells of it.
    MV2MissionInstallNotify(5, 17);
    MV2NotifyScripts(nullptr, 4, 0);
    EXPECT_EQ(gMV2CutSceneSequence.current, 0u);
    EXPECT_EQ(g_events.back(), (std::pair<intptr_t, intptr_t>{17, 0x70FFFF}));
}

TEST_F(LevelLogicTest, EndCutSceneKeepsTheBrainItSet) {
    h_.Player()->overrideHandler = nullptr;
    ASSERT_EQ(MV2PlayCutScene(0x3EFFFF, 0), 1);
    MV2NotifyScripts(nullptr, 3, 0);
    EXPECT_EQ(h_.Player()->overrideHandler, nullptr);
}

TEST_F(LevelLogicTest, LockWithRangeZeroNeverCallsTheRow) {
    MV2Object* target = Make(kFriendType);
    MV2LockTarget(target, 0.0f, 0, 5);
    EXPECT_EQ(gMV2ObjectiveLock.done, 1);
    PlacePlayerAt(target, 0.5f);
    h_.Run(2000);
    EXPECT_TRUE(g_messages.empty());
    // With a range the row hears of the arrival (message 6 with the target).
    MV2LockTarget(target, 2.0f, 0, 5);
    h_.Run(600);
    EXPECT_EQ(g_messages, (std::vector<int32_t>{6}));
    EXPECT_EQ(h_.Log("objective").back().value, 0); // cleared on arrival
}

TEST_F(LevelLogicTest, PollStopsWhenTheObjectiveIsReplaced) {
    MV2Object* target = Make(kFriendType);
    MV2Object* other = Make(kFriendType, 60, 10, 60);
    MV2LockTarget(target, 2.0f, 0, 5);
    EXPECT_EQ(gMV2ObjectiveLock.running, 1);
    MV2HudSetObjective(other);
    h_.Run(600);
    EXPECT_EQ(gMV2ObjectiveLock.running, 0);
    PlacePlayerAt(target, 0.5f);
    h_.Run(2000);
    EXPECT_TRUE(g_messages.empty());
}

TEST_F(LevelLogicTest, LevelGatesByLevel) {
    gMV2LevelSwitches = 0;
    gMV2Level.currentLevelId = 0x02FFFFFF;
    EXPECT_EQ(MV2SetLevelGates(0xFFFFFF, 0), 0);
    EXPECT_EQ(gMV2LevelSwitches, 0u);
    gMV2Level.currentLevelId = 0x00FFFFFF;
    EXPECT_EQ(MV2SetLevelGates(0x1FFFFFF, 0), 1);
    EXPECT_EQ(gMV2LevelSwitches, (1u << 17) | (1u << 20));
    EXPECT_EQ(MV2SetLevelGates(0x1FFFFFF, 1), 1);
    EXPECT_EQ(gMV2LevelSwitches, 0u);
    MV2SetCurrentLevelGates(0);
    EXPECT_EQ(gMV2LevelSwitches, (1u << 17) | (1u << 20) | (1u << 18) | (1u << 26));
}

TEST_F(LevelLogicTest, NearnessAndParking) {
    MV2Object* post = Make(kFriendType, 40, 10, 40);
    {
        MV2CurrentLevelWorld world;
        MV2ObjectSendMessage(post, 36, 0x4026D, 0);
    }
    MV2Object* visitor = Make(kFriendType, 40 + 84.9f, 10, 40);
    EXPECT_EQ(MV2IsNearObjectA(visitor), 1);
    visitor->matrix->pos.x = 40 + 85.0f;
    EXPECT_EQ(MV2IsNearObjectA(visitor), 0);
    EXPECT_EQ(MV2IsNearObjectB(visitor), 0); // no twin
    TvV3d saved;
    float energy = 0;
    MV2ParkObject(visitor, &saved, &energy);
    EXPECT_EQ(saved.x, 125.0f);
    EXPECT_EQ(energy, 100.0f);
    EXPECT_EQ(visitor->energy, 1000000.0f);
    MV2Object* fresh = MV2RespawnScriptObject(0x4026D);
    ASSERT_NE(fresh, nullptr);
    EXPECT_EQ(fresh->matrix->pos.x, 40.0f);
    EXPECT_FALSE(MV2ObjectHandleAlive(post->handle));
}

