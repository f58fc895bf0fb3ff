#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <vector>

#include "game/frontend/gameover.h"
#include "game/frontend/hud.h"
#include "game/missions/missions.h"
#include "game/objects/levels.h"
#include "game/player/playercraft.h"
#include "tests/game/missions/mission_rows_fixture.h"

namespace {

constexpr uint32_t kEscort = 0x280001;
constexpr uint32_t kDrones[3] = {0x280003, 0x280004, 0x280007};

MissionLevel Level() {
    MissionLevel level = RowCityLevel({});
    level.types.push_back({4, 100.0f});
    level.types.push_back({330, 20.0f, 0x10});
    level.types.push_back({42});
    level.types.push_back({5});
    level.types.push_back({67});
    for (uint32_t id : {0x290002u, 0x290003u, 0x290004u, 0x290005u, 0x290000u, 0x2C0001u})
        level.objects.push_back({id, 5, 20, 10, 20});
    for (uint32_t id : {0x20046u, 0x20048u, 0x20047u})
        level.objects.push_back({id, 67, 30, 10, 30});
    level.objects.push_back({kEscort, 4, 25, 10, 25});
    for (uint32_t id : kDrones)
        level.objects.push_back({id, 330, 40, 10, 40});
    return level;
}

bool Restarted(const MissionHarness& h, intptr_t row) {
    return MissionLogCount(h, "restart", row) > 0;
}

std::vector<MV2Object*> LiveDrones() {
    std::vector<MV2Object*> drones = MissionObjectsOfType(330);
    std::erase_if(drones, [](MV2Object* o) { return o->energy <= 0; });
    return drones;
}

// The opening cut-scene ends and the game mode has changed: the escort and three drones are out.
MV2Object* Opening(MissionHarness& h) {
    gMV2Hud.bannerRow = 0; // a banner an earlier test left up
    MV2MissionRestart(35);
    h.Notify(3, nullptr, 0);
    h.Notify(4, nullptr, 0);
    h.Run(1000);
    const auto escorts = MissionObjectsOfType(4);
    return escorts.empty() ? nullptr : escorts.front();
}

struct Case {
    const char* name;
    std::function<void(MissionHarness&, MV2Object* escort)> play;
    bool won;
    bool lost;
};

TEST(Mission35Test, LastDroneWinsAndEscortDeathLoses) {
    const Case cases[] = {
        {"the last drone after the hand-over",
         [](MissionHarness& h, MV2Object* escort) {
             h.Notify(6, escort, 0); // the escort reached the city: the player takes over
             h.Run(20000);
             auto drones = LiveDrones();
             ASSERT_EQ(drones.size(), 3u);
             for (MV2Object* d : drones)
                 h.Kill(d, MV2GetPlayerObject());
             h.Run(500);
             EXPECT_EQ(h.Log("banner").size(), 1u);
             EXPECT_EQ(MissionLogCount(h, "shown", 1299), 1);
             EXPECT_FALSE(Restarted(h, 36));
             h.Notify(7, nullptr, 0);
         },
         true, false},
        {"the escort killed",
         [](MissionHarness& h, MV2Object* escort) {
             h.Kill(escort, nullptr);
             h.Run(12900);
             EXPECT_EQ(MV2GameOverActive(), 0);
             h.Run(200);
         },
         false, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MissionHarness h;
        ASSERT_TRUE(h.Load(Level()));
        MV2ResetGameOver();
        MV2Object* escort = Opening(h);
        ASSERT_NE(escort, nullptr);
        EXPECT_EQ(LiveDrones().size(), 3u);
        c.play(h, escort);
        EXPECT_EQ(Restarted(h, 36), c.won);
        EXPECT_EQ(MV2GameOverActive(), c.lost ? 1 : 0);
        MV2ResetGameOver();
    }
}

TEST(Mission35Test, DronesKilledBeforeTheHandOverAreReplaced) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Level()));
    ASSERT_NE(Opening(h), nullptr);
    MV2Object* first = LiveDrones().front();
    h.Kill(first, MV2GetPlayerObject());
    EXPECT_EQ(LiveDrones().size(), 2u);
    h.Run(500);
    EXPECT_EQ(LiveDrones().size(), 3u);
    EXPECT_TRUE(h.Log("banner").empty());
}

TEST(Mission35Test, HitsOnTheEscortAreDamped) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Level()));
    MV2Object* escort = Opening(h);
    ASSERT_NE(escort, nullptr);
    MV2Object* drone = LiveDrones().front();
    const struct {
        float energyAfterHit;
        float expected;
    } hits[] = {{50.0f, 95.0f}, {45.0f, 90.0f}, {90.0f, 90.0f}};
    for (const auto& hit : hits) {
        escort->energy = hit.energyAfterHit;
        h.Send(escort, 76, 0, reinterpret_cast<intptr_t>(drone));
        EXPECT_NEAR(escort->energy, hit.expected, 1e-3f);
    }
}

} // namespace
