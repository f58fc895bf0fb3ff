#include <gtest/gtest.h>

#include <algorithm>
#include <optional>
#include <vector>

#include "engine/core/camera.h"
#include "engine/core/frame.h"
#include "game/missions/missions.h"
#include "game/objects/levels.h"
#include "shell/gamemain.h"
#include "tests/game/missions/mission_rows_fixture.h"

namespace {

constexpr uint32_t kSite = 0x1040002, kApproach = 0x1040001, kSpawn = 0x1040000,
                   kWatched = 0x104003D;
constexpr int32_t kSensorType = 55;

MV2ObjectCallback g_trip = nullptr;

// A watched object that keeps the callback it is given.
intptr_t Sensor(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 12) g_trip = reinterpret_cast<MV2ObjectCallback>(p2);
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

MissionLevel Level() {
    MissionLevel level;
    level.levelId = 0x01FFFFFF;
    level.types.push_back({56});
    level.types.push_back({kSensorType, 100.0f, 0, 0, Sensor});
    level.types.push_back({5});
    level.objects.push_back({kSite, 5, 10, 5, 10});
    level.objects.push_back({kApproach, 5, 40, 5, 10});
    level.objects.push_back({kSpawn, 5, 10, 5, -30}); // behind the camera: not seen
    level.objects.push_back({kWatched, kSensorType, 12, 5, 10});
    level.playerPosition[0] = 150, level.playerPosition[1] = 5, level.playerPosition[2] = 150;
    return level;
}

std::vector<uint32_t> TimesOf(const MissionHarness& h, intptr_t id) {
    std::vector<uint32_t> times;
    for (const MissionLogEntry& e : h.Log("shown"))
        if (e.value == id) times.push_back(e.time);
    return times;
}

struct Case {
    const char* name;
    std::optional<uint32_t> reachSiteAt;  // the player comes within 15 units of the site
    bool waitNearApproach;                // the player waits by the approach point
    std::optional<uint32_t> doneAt;       // the level change is done
    uint32_t runMs;
    std::vector<uint32_t> times1002;      // when "no approach / arrived" is said
    std::vector<uint32_t> times998;
};

TEST(Mission12Test, ApproachWarningsAndTheEnd) {
    const Case cases[] = {
        {"arrives at 20 s", 20000, false, std::nullopt, 30000, {21000}, {}},
        {"never approaches", std::nullopt, false, std::nullopt, 70000, {61000}, {}},
        {"waits by the approach point", std::nullopt, true, std::nullopt, 100000, {},
         {31000, 62000, 93000}},
        {"timers after the level change are ignored", std::nullopt, false, 20000, 80000, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        MissionHarness h;
        ASSERT_TRUE(h.Load(Level()));
        if (c.waitNearApproach) RowMovePlayer(h, 40, 12);
        MV2MissionRestart(12);
        EXPECT_EQ(TimesOf(h, 995).size(), 0u);
        for (uint32_t t = 0; t < c.runMs; t += 100) {
            if (c.reachSiteAt && t == *c.reachSiteAt) RowMovePlayer(h, 10, 12);
            if (c.doneAt && t == *c.doneAt) MV2CallMissionScript(12, nullptr, kMV2ScriptEvent, 15, 0);
            h.Step(100);
        }
        EXPECT_EQ(TimesOf(h, 995), std::vector<uint32_t>{8000});
        EXPECT_EQ(TimesOf(h, 1002), c.times1002);
        EXPECT_EQ(TimesOf(h, 998), c.times998);
        EXPECT_EQ(MissionLogCount(h, "restart", 13) > 0, c.doneAt.has_value());
    }
}

TEST(Mission12Test, TrippedSensorSendsTheCraftIn) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Level()));
    g_trip = nullptr;
    MV2MissionRestart(12);
    ASSERT_NE(g_trip, nullptr);
    int32_t craft = 0;
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
        craft += (o->typeWord & kMV2ObjectTypeMask) == 56;
    EXPECT_EQ(craft, 4);
    h.Run(62000); // no approach: the trigger wait starts
    EXPECT_TRUE(TimesOf(h, 1007).empty());
    g_trip(h.Find(kWatched), 1);
    h.Run(2000);
    EXPECT_EQ(TimesOf(h, 1007).size(), 1u);
    EXPECT_TRUE(TimesOf(h, 915).empty());
    // The camera turns to the craft: they are seen once, and one reinforcement round runs.
    TvFrame* eye = gMV2MainCamera->object.frame;
    const TvV3d up{0, 1, 0};
    TvFrameRotate(eye, &up, 180.0f, kTvCombineReplace);
    TvFrameUpdateObjects(eye);
    h.Run(10000);
    EXPECT_EQ(TimesOf(h, 915).size(), 1u);
    EXPECT_EQ(TimesOf(h, 1008).size(), 1u);
    EXPECT_TRUE(MV2MissionNotifyInstalled(12, 15));
    EXPECT_EQ(MV2CountMissionTimers(12, 261), 1);
}

} // namespace
