#include <gtest/gtest.h>

#include <map>

#include "game/missions/missions.h"
#include "tests/game/missions/mission_objects.h"
#include "tests/support/mission_harness.h"

namespace {

float g_fill = 0.0f;

// The gauge answers message 13 with its fill.
intptr_t Gauge(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 13 && p2) *reinterpret_cast<float*>(p2) = g_fill;
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

MissionLevel Site() {
    MissionLevel level;
    AddCityObjects(level);
    level.types.push_back({55});
    level.types.push_back({98});
    level.types.push_back({99});
    level.types.push_back({56, 100.0f, 0, 0, Gauge});
    level.objects.push_back({0xA0003, 55, 20, 5, 150}); // the site
    level.objects.push_back({0xA0001, 55, 30, 5, 150}); // the post
    level.objects.push_back({0xA0000, 55, 22, 5, 150}); // the way-point, near the site
    level.objects.push_back({0x40053, 56, 40, 5, 150}); // the gauge
    level.objects.push_back({0x50001, 98, 21, 5, 151}); // a trap near the site
    return level;
}

} // namespace

TEST(Mission2Test, OnlyTheStartSendsTheSubOut) {
    for (const int32_t message : {kMV2ScriptStart, kMV2ScriptRestart}) {
        MissionHarness h;
        ASSERT_TRUE(h.Load(Site()));
        MV2CallMissionScript(2, nullptr, message, 0, 0);
        EXPECT_EQ(MV2CountMissionTimers(2, 273), message == kMV2ScriptStart ? 1 : 0);
        EXPECT_EQ(MV2CountMissionTimers(2, 277), 1);
    }
}

TEST(Mission2Test, LosingTheSourceClearsTheTrapsAndHintsShowOnce) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Site()));
    g_fill = 0.0f;
    MV2MissionRestart(2);
    h.Run(14000, 500); // the player is away: the way-point check starts
    MV2Object* site = nullptr;
    for (MV2Object* o = MV2FirstActiveObject(); o; o = MV2NextActiveObject(o))
        if (o->scriptId == 0xA0003) site = o;
    ASSERT_NE(site, nullptr);
    MissionMoveTo(h, h.Player(), {20, 6, 152});
    // The player's magnet holds a source beside the site.
    const float at[3] = {21, 5, 150};
    MV2Object* source = MV2CreateObject(99, at, nullptr);
    h.SetToolAnswer(34, reinterpret_cast<intptr_t>(source));
    h.Run(20000, 500);
    MV2Object* trap = h.Find(0x50001);
    ASSERT_NE(trap, nullptr);
    const MV2ObjectHandle handle = trap->handle;
    h.ClearToolAnswers(); // the source is lost again
    h.Run(120000, 500);
    EXPECT_FALSE(MV2ObjectHandleAlive(handle));
    std::map<intptr_t, int32_t> shown;
    for (const MissionLogEntry& e : h.Log("shown"))
        shown[e.value]++;
    EXPECT_EQ(shown[127], 1); // found
    EXPECT_EQ(shown[135], 1); // lost
    for (intptr_t id : {127, 128, 130, 132, 97, 135, 112, 116, 117, 108, 119, 123, 120, 702})
        EXPECT_LE(shown[id], 1) << id;
}

TEST(Mission2Test, TheEndShowsTheBannerAndStartsRow3) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Site()));
    MV2MissionRestart(2);
    MV2CallMissionScript(2, nullptr, 3, 0, 0);
    h.Step(10);
    ASSERT_EQ(h.Log("banner").size(), 1u);
    EXPECT_EQ(h.Log("banner")[0].value, 1);
    ASSERT_FALSE(h.Log("restart").empty());
    EXPECT_EQ(h.Log("restart").back().value, 3);
    EXPECT_EQ(MV2CountMissionTimers(2, 278), 0);
}
