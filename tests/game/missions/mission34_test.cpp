#include <gtest/gtest.h>

#include "game/creatures/scarab.h"
#include "game/missions/mission34.h"
#include "game/missions/missions.h"
#include "game/objects/camera.h"
#include "game/objects/clumpdata.h"
#include "game/objects/levels.h"
#include "game/objects/utilities.h"
#include "tests/game/missions/mission_rows_fixture.h"

namespace {

constexpr int32_t kPostType = 302, kBossType = 388;

bool Shown(const MissionHarness& h, intptr_t id) {
    return MissionLogCount(h, "shown", id) > 0;
}

MissionLevel Level11() {
    MissionLevel level;
    level.levelId = 0x0BFFFFFF;
    level.playerPosition[0] = 10, level.playerPosition[1] = 10, level.playerPosition[2] = 10;
    level.types.push_back({kPostType});
    level.types.push_back({kBossType, 100.0f, 0, 0, nullptr, uint32_t(sizeof(MV2ScarabData))});
    for (int32_t type : {375, 386, 389})
        level.types.push_back({type});
    level.objects.push_back({0x0B000009, kBossType, 0, 10, 0});
    for (uint32_t id : {0x0B000003u, 0x0B000004u, 0x0B000005u})
        level.objects.push_back({id, kPostType, float(id & 0xF) * 5.0f, 10, 10});
    for (uint32_t id : {0x0B000006u, 0x0B000007u, 0x0B000008u, 0x0B000001u})
        level.objects.push_back({id, kPostType, 0, 10, float(id & 0xF) * 5.0f});
    return level;
}

std::vector<MV2Object*> ObjectsOfType(int32_t type) {
    return MissionObjectsOfType(type);
}

} // namespace

TEST(Mission34Test, RecoveryTimerFollowsTheBossEnergyRatio) {
    const struct {
        float ratio;
        int32_t timer;
    } kCases[] = {{1.0f, 256}, {0.67f, 256}, {0.66f, 257}, {0.5f, 257}, {0.34f, 257},
                  {0.33f, 258}, {0.1f, 258}, {0.0f, 258}};
    for (const auto& c : kCases)
        EXPECT_EQ(MV2Mission34RecoveryTimer(c.ratio), c.timer) << c.ratio;
}

TEST(Mission34Test, ThreeHatchersThenGuardAndOnlyTheLastAttackerStartsRecovery) {
    MissionHarness h;
    ASSERT_TRUE(h.ok());
    ASSERT_TRUE(h.Load(Level11()));
    MV2Level2ReturnFlag = 0;
    MV2MissionStart(34, 0);
    MV2Object* boss = h.Find(0x0B000009);
    ASSERT_NE(boss, nullptr);
    MV2ScarabData* d = static_cast<MV2ScarabData*>(boss->privateData);
    ASSERT_NE(d, nullptr);
    *d = {};
    d->hitPoints = 50.0f; // half the type's energy: recovery through timer 257
    h.Notify(11, nullptr, 0); // an unrelated event changes nothing
    h.Notify(3, nullptr, 0);
    EXPECT_EQ(d->state, kMV2ScarabTurnBack);

    MV2CurrentLevelWorld world;
    for (int i = 0; i < 4; ++i)
        MV2Mission34SwitchHit(boss, 0);
    EXPECT_EQ(ObjectsOfType(386).size(), 3u);
    EXPECT_EQ(d->state, kMV2ScarabGuard);

    MV2Object* hatcher = ObjectsOfType(386)[0];
    MV2Mission34SwitchHit(hatcher, 1);
    MV2Mission34SwitchHit(hatcher, 1);
    const std::vector<MV2Object*> attackers = ObjectsOfType(375);
    ASSERT_EQ(attackers.size(), 2u);
    MV2Mission34SwitchHit(attackers[0], 1);
    EXPECT_EQ(MV2CountMissionTimers(34, 257), 0);
    MV2ObjectSendMessage(attackers[1], 4, 0, 0);
    MV2Mission34SwitchHit(attackers[0], 1);
    EXPECT_EQ(MV2CountMissionTimers(34, 257), 1);
    EXPECT_EQ(d->state, kMV2ScarabTurnAway);
    EXPECT_EQ(d->laserEnabled, 1);

    // The boss drops the object; its report sends the player back to level 2.
    MV2Mission34SwitchHit(boss, 1);
    ASSERT_EQ(ObjectsOfType(389).size(), 1u);
    EXPECT_EQ(MV2Level2ReturnFlag, 0);
    MV2Mission34SwitchHit(ObjectsOfType(389)[0], 1);
    EXPECT_EQ(MV2Level2ReturnFlag, 1);
    EXPECT_EQ(MV2MissionNotifyInstalled(29, 16), 1);
    MV2Level2ReturnFlag = 0;
}

TEST(Mission15Test, WinsOnlyOnTheTargetKillAndTheSiteStopsTheReminder) {
    for (bool reachSite : {false, true}) {
        MissionHarness h;
        ASSERT_TRUE(h.ok());
        MissionLevel level = RowCityLevel({369});
        level.objects.push_back({35, kPostType, 20, 10, 20});
        level.objects.push_back({36, kPostType, 200, 10, 200});
        level.objects.push_back({7, 369, 30, 10, 30});
        ASSERT_TRUE(h.Load(level));
        MV2MissionStart(15, 0);
        EXPECT_EQ(MV2PendingMission, 22);
        h.Notify(13, nullptr, 0);
        h.Notify(8, nullptr, 0);
        ASSERT_FALSE(h.Log("objective").empty());
        EXPECT_EQ(h.Log("objective").back().value, reinterpret_cast<intptr_t>(h.Find(35)));
        if (reachSite) {
            MV2CurrentLevelWorld world;
            TvV3d at{21, 10, 20};
            MV2ObjectSendMessage(h.Player(), 83, 0, reinterpret_cast<intptr_t>(&at.x));
        }
        h.Run(301000, 1000);
        EXPECT_EQ(Shown(h, 1375), !reachSite);
        EXPECT_TRUE(h.Log("banner").empty());
        h.Kill(h.Find(36), h.Player()); // not the target
        EXPECT_TRUE(h.Log("banner").empty());
        MV2Object* target = nullptr;
        {
            MV2CurrentLevelWorld world;
            for (MV2Object* o : ObjectsOfType(369))
                if (o->flags & kMV2ObjectMissionOwned) target = o;
        }
        ASSERT_NE(target, nullptr);
        h.Kill(target, h.Player());
        ASSERT_EQ(h.Log("banner").size(), 1u);
        EXPECT_EQ(h.Log("banner")[0].value, 1);
        EXPECT_TRUE(Shown(h, 1378));
        h.Run(3000, 1000);
        EXPECT_EQ(h.Log("restart").size(), reachSite ? 1u : 0u);
    }
}
