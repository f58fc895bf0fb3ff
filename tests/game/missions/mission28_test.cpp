#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

#include "engine/world/world.h"
#include "game/missions/cutscenes.h"
#include "game/missions/mission28.h"
#include "game/missions/missions.h"
#include "game/objects/clumpdata.h"
#include "game/objects/levels.h"
#include "game/objects/utilities.h"
#include "shell/frametimer.h"
#include "engine/world/clump.h"
#include "game/objects/rocktunnel.h"
#include "game/player/playercraft.h"
#include "shell/gamestate.h"
#include "tests/game/missions/mission_rows_fixture.h"

namespace {

constexpr uint32_t kAnchor = 0x0004029A;
constexpr int32_t kAnchorType = 310;

MissionLevel Level() {
    MissionLevel level = RowCityLevel({kAnchorType, 4, 15, 84});
    level.types.push_back({2});
    for (int32_t t : {5, 6, 7, 377, 235})
        level.types.push_back({t, 10.0f, 0, 0, nullptr, uint32_t(sizeof(MV2ShaftObstacle))});
    level.objects.push_back({kAnchor, kAnchorType, 20, 10, 20});
    return level;
}

// The briefing, the console left and the cut-scene (none in this level) past: the run waits for
// the game mode to change.
void ToTheRun(MissionHarness& h) {
    MV2Level2ReturnFlag = 0;
    MV2MissionRestart(28);
    EXPECT_EQ(MV2PendingMission, 42);
    h.Notify(13, nullptr, 0);
    h.Notify(8, nullptr, 0);
    EXPECT_EQ(gMV2CutSceneActorFlag, 0);
}

bool Logged(const MissionHarness& h, const std::string& what, intptr_t value) {
    return MissionLogCount(h, what, value) > 0;
}

TEST(Mission28Test, ScrollSpeedRisesHoldsAndFalls) {
    const struct {
        int32_t elapsed;
        float speed;
    } cases[] = {{0, 0.0f},       {5000, 0.6f},     {12500, 1.5f}, {40000, 1.5f},
                 {62500, 1.5f},   {62600, 1.488f},  {70000, 0.6f}, {75000, 0.0f}};
    for (const auto& c : cases)
        EXPECT_NEAR(MV2ShaftScrollSpeed(c.elapsed), c.speed, 1e-4f) << c.elapsed;
}

TEST(Mission28Test, ModeChangeWhileAModeIsRequestedKeepsWaiting) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Level()));
    ToTheRun(h);
    gMV2GameState.requested = 12;
    h.Notify(4, nullptr, 0);
    EXPECT_TRUE(MV2MissionNotifyInstalled(28, 4));
    EXPECT_EQ(gMV2Mission28.craft.object, nullptr);
    gMV2GameState.requested = 0;
    h.Notify(4, nullptr, 0);
    EXPECT_FALSE(MV2MissionNotifyInstalled(28, 4));
    EXPECT_EQ(gMV2GameState.current, 15);
    MV2Object* craft = MV2GetPlayerObject();
    ASSERT_NE(craft, nullptr);
    EXPECT_EQ(craft->typeWord & kMV2ObjectTypeMask, 15u);
    EXPECT_EQ(craft->typeHandler, MV2Mission28CraftHandler);
    gMV2GameState = {};
}

TEST(Mission28Test, TheRunThrowsRocksByScheduleAndHandsOver) {
    struct Case {
        const char* name;
        int32_t returnFlag;
    };
    for (const Case& c : {Case{"on to level 2", 0}, Case{"back from level 2", 1}}) {
        SCOPED_TRACE(c.name);
        MissionHarness h;
        ASSERT_TRUE(h.Load(Level()));
        ToTheRun(h);
        h.Notify(4, nullptr, 0);
        MV2Object* craft = MV2GetPlayerObject();
        ASSERT_NE(craft, nullptr);
        MV2Level2ReturnFlag = c.returnFlag;
        std::set<MV2ObjectHandle> seen;
        std::map<int32_t, int32_t> first; // type -> elapsed ms when first thrown
        float peak = 0.0f;
        const MV2ObjectHandle handle = craft->handle;
        while (MV2ObjectHandleAlive(handle)) {
            h.Step(100);
            h.Send(craft, 2, 0, 0);
            if (!MV2ObjectHandleAlive(handle)) break;
            const int32_t e = gMV2Mission28.elapsed;
            if (e >= 12500 && e <= 62500) {
                EXPECT_NEAR(gMV2RockTunnel.speed, 1.6f, 1e-4f) << e;
            }
            peak = std::max(peak, gMV2RockTunnel.speed);
            MV2CurrentLevelWorld world;
            for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o)) {
                const int32_t t = int32_t(o->typeWord & kMV2ObjectTypeMask);
                if (seen.insert(o->handle).second && !first.count(t)) first[t] = e;
            }
        }
        EXPECT_NEAR(peak, 1.6f, 1e-4f);
        ASSERT_TRUE(first.count(377));
        EXPECT_GE(first[377], 50000);
        ASSERT_TRUE(first.count(235));
        EXPECT_GE(first[235], 25000);
        EXPECT_LT(first[7], 25000);
        // The hand-over: an amphibious craft in the player's hands.
        MV2Object* sub = MV2GetPlayerObject();
        ASSERT_NE(sub, nullptr);
        EXPECT_EQ(sub->typeWord & kMV2ObjectTypeMask, 84u);
        EXPECT_EQ(MV2GetPlayerSub(), sub);
        EXPECT_EQ(gMV2GameState.requested, 12);
        EXPECT_EQ(Logged(h, "level", 0x02FFFFFF), c.returnFlag == 0);
        EXPECT_EQ(Logged(h, "restart", 35), c.returnFlag != 0);
        gMV2Level.changePending = 0;
        gMV2GameState = {};
        MV2Level2ReturnFlag = 0;
    }
}

// An obstacle placed at shaft coordinates: placed inside the shaft, hidden beyond it with its
// old matrix kept, destroyed behind it; collisions between obstacles are ignored and only a
// type-377 rock survives a type-2 hit.
TEST(Mission28Test, ObstaclesFollowTheShaftAndItsRules) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Level()));
    ToTheRun(h);
    h.Notify(4, nullptr, 0);
    gMV2FrameTimer.ticks = 0.0f; // the obstacles hold still along the shaft
    const auto make = [](int32_t type, float z) {
        MV2CurrentLevelWorld world;
        const float at[3] = {100, 100, 100};
        MV2Object* o = MV2CreateObject(type, at, nullptr);
        *static_cast<MV2ShaftObstacle*>(o->privateData) = {0.0f, {0.5f, 0.0f, z}};
        o->typeHandler = MV2Mission28ObstacleHandler;
        return o;
    };
    const struct {
        float z;
        bool alive, moved;
        uint8_t flags; // of its atomics
    } cases[] = {{10.0f, true, true, 5}, {40.0f, true, false, 0}, {-3.0f, false, false, 0}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.z);
        MV2Object* o = make(5, c.z);
        const MV2ObjectHandle handle = o->handle;
        h.Send(o, 2, 0, 0);
        ASSERT_EQ(MV2ObjectHandleAlive(handle) != 0, c.alive);
        if (!c.alive) continue;
        TvMatrix expected = *o->matrix;
        const TvMatrix tunnel{{1, 0, 0}, {0, 1, 0}, {0, 0, 1}, {0.5f, 0.0f, c.z}, 0, 0};
        const bool placed = MV2TunnelToWorld(&expected, &tunnel) == kMV2TunnelPlaced;
        EXPECT_EQ(placed, c.moved);
        if (placed) {
            EXPECT_NEAR(o->matrix->pos.x, expected.pos.x, 1e-3f);
            EXPECT_NEAR(o->matrix->pos.z, expected.pos.z, 1e-3f);
        } else {
            EXPECT_FLOAT_EQ(o->matrix->pos.x, 100.0f);
        }
        EXPECT_EQ(MV2GetFirstAtomic(o->clump)->object.object.flags & 5, c.flags);
    }
    MV2Object* rock = make(5, 10.0f);
    MV2Object* other = make(7, 12.0f);
    EXPECT_EQ(h.Send(rock, 14, 0, reinterpret_cast<intptr_t>(other)), 0);
    EXPECT_GT(rock->energy, 0.0f);
    const float bolt[3] = {0, 0, 0};
    MV2Object* shot;
    {
        MV2CurrentLevelWorld world;
        shot = MV2CreateObject(2, bolt, nullptr);
    }
    ASSERT_NE(shot, nullptr);
    MV2Object* hard = make(377, 10.0f);
    h.Send(hard, 14, 0, reinterpret_cast<intptr_t>(shot));
    EXPECT_GT(hard->energy, 0.0f);
    h.Send(rock, 14, 0, reinterpret_cast<intptr_t>(shot));
    EXPECT_LT(rock->energy, 0.0f);
    gMV2FrameTimer.ticks = 1.0f;
    gMV2GameState = {};
}

} // namespace
