#include <gtest/gtest.h>

#include <set>

#include "game/creatures/carrier.h"
#include "game/missions/missions.h"
#include "game/player/playercraft.h"
#include "shell/gamestate.h"
#include "tests/game/missions/mission_objects.h"
#include "tests/support/mission_harness.h"

namespace {

constexpr uint32_t kDrops[3] = {0x1E000A, 0x1E000B, 0x1E000C};

// Containers answer the delivered query (object message 59) from this set.
std::set<MV2Object*> g_delivered;

intptr_t ContainerHandler(MV2Object* object, int32_t message, intptr_t p1, intptr_t p2) {
    if (message == 59) return g_delivered.count(object) ? 1 : 0;
    if (message == 13) return 0;
    return MV2ObjectDefaultHandler(object, message, p1, p2);
}

// The convoy's start: the carrier, craft A and the player close together, the drop points
// and the way-points far off so that the carrier stays put.
MissionLevel Convoy() {
    MissionLevel level;
    AddCityObjects(level);
    level.types.push_back({55});
    level.types.push_back({103, 1000.0f});
    level.types.push_back({96, 100.0f, 0, 0, ContainerHandler});
    level.types.push_back({0, 100.0f});
    level.objects.push_back({0x1D0003, 55, 400, 20, 400}); // the carrier's start
    level.objects.push_back({0x1D0002, 55, 405, 20, 400}); // craft A's start
    level.objects.push_back({0x1D0001, 55, 410, 20, 400}); // the player's start
    level.objects.push_back({0x1E0000, 55, 700, 20, 700}); // W1
    level.objects.push_back({0x1E0008, 55, 600, 20, 600}); // W9, where the pirates gather
    level.objects.push_back({0x40242, 55, 500, 20, 500});  // where replacements come from
    level.types.push_back({56, 100.0f, 0x10});
    for (int32_t i = 0; i < 3; ++i)
        level.objects.push_back({kDrops[i], 55, 300.0f + 20.0f * float(i), 20, 300});
    return level;
}

struct Convoy6 {
    MissionHarness h;
    MV2Object* carrier = nullptr;
    std::vector<MV2Object*> containers;

    // The script's keep-position flag is global: later suites enter play normally.
    ~Convoy6() { MV2ScriptPlacesPlayer = 0; }

    bool Start() {
        g_delivered.clear();
        if (!h.Load(Convoy())) return ADD_FAILURE() << "load", false;
        MV2MissionRestart(6);
        h.Notify(7, h.Player(), 0); // in the console
        h.Notify(8, h.Player(), 0); // out of it: the fixture has no opening cut-scene
        MV2MissionInstallNotify(6, 4);
        h.Notify(4, h.Player(), 0); // the cut-scene is over
        const std::vector<MV2Object*> found = MissionObjectsOfType(103);
        if (found.size() != 1) return ADD_FAILURE() << "carriers " << found.size(), false;
        carrier = found[0];
        if (carrier->overrideHandler != MV2CarrierBrain) return ADD_FAILURE() << "carrier brain", false;
        h.ClearLog();
        return true;
    }

    // The carrier drops three containers near the drop points.
    void Release() {
        for (int32_t i = 0; i < 3; ++i) {
            const float at[3] = {350.0f + 5.0f * float(i), 20, 350};
            MV2Object* c = MV2CreateObject(96, at, nullptr);
            containers.push_back(c);
            h.Notify(12, c, reinterpret_cast<intptr_t>(carrier));
        }
    }
};

} // namespace

TEST(Mission6Test, CarrierHitsWarnAtThreeAndFailAtEleven) {
    struct Case {
        int32_t hits;
        int32_t warned, failed;
    };
    for (const Case c : {Case{2, 0, 0}, Case{3, 1, 0}, Case{10, 1, 0}, Case{11, 1, 1}}) {
        Convoy6 r;
        ASSERT_TRUE(r.Start());
        for (int32_t i = 0; i < c.hits; ++i) {
            r.h.Send(r.carrier, 65, 0, 0);
            r.h.Step(300);
        }
        r.h.Step(300);
        EXPECT_EQ(MissionLogCount(r.h, "shown", 927), c.warned) << c.hits;
        EXPECT_EQ(MissionLogCount(r.h, "failed", 929), c.failed) << c.hits;
        EXPECT_EQ(MissionLogCount(r.h, "failed", 94), 0) << c.hits; // the escort stayed close
    }
}

TEST(Mission6Test, StrayingFromTheCarrierFailsAtTheFourthBreach) {
    for (const bool away : {false, true}) {
        Convoy6 r;
        ASSERT_TRUE(r.Start());
        if (away) MissionMoveTo(r.h, r.h.Player(), {100, 20, 100});
        r.h.Run(50000, 100);
        EXPECT_EQ(MissionLogCount(r.h, "shown", 88), away ? 3 : 0);
        EXPECT_EQ(MissionLogCount(r.h, "failed", 94), 0);
        r.h.Run(20000, 100);
        EXPECT_EQ(MissionLogCount(r.h, "failed", 94), away ? 1 : 0);
    }
}

TEST(Mission6Test, ThePlayerIsSentToFreeDropPointsTwoOneZero) {
    Convoy6 r;
    ASSERT_TRUE(r.Start());
    r.Release();
    for (int32_t i = 0; i < 3; ++i) {
        r.h.Send(r.containers[size_t(i)], 44, 0, reinterpret_cast<intptr_t>(MV2GetPlayerObject()));
        r.h.Step(100);
        ASSERT_FALSE(r.h.Log("objective").empty()) << i;
        EXPECT_EQ(r.h.Log("objective").back().value, reinterpret_cast<intptr_t>(r.h.Find(kDrops[2 - i])))
            << i;
    }
}

TEST(Mission6Test, TheEndShowsSuccessOnlyWithADelivery) {
    for (const bool delivered : {true, false}) {
        Convoy6 r;
        ASSERT_TRUE(r.Start());
        r.Release();
        if (delivered) {
            for (MV2Object* c : r.containers)
                g_delivered.insert(c);
            // The player lets the last one go at its drop point: the count is taken again.
            r.h.Notify(12, r.containers[2], reinterpret_cast<intptr_t>(MV2GetPlayerObject()));
        } else {
            MV2MissionSetTimer(6, 273, 1000);
        }
        r.h.Run(120000, 100);
        for (uint32_t id : {923u, 1279u, 136u})
            EXPECT_EQ(MissionLogCount(r.h, "shown", id), delivered ? 1 : 0) << id;
        ASSERT_EQ(r.h.Log("banner").size(), 1u) << delivered;
        EXPECT_EQ(r.h.Log("banner")[0].value, delivered ? 1 : 0);
        r.h.Notify(7, r.h.Player(), 0); // home: the campaign goes on to row 7
        ASSERT_FALSE(r.h.Log("restart").empty());
        EXPECT_EQ(r.h.Log("restart").back().value, 7);
    }
}

TEST(Mission6Test, NinePiratesInAllThenNoMore) {
    Convoy6 r;
    ASSERT_TRUE(r.Start());
    r.h.Run(76000, 1000);
    EXPECT_EQ(MissionObjectsOfType(56).size(), 3u);
    size_t killed = 0;
    for (int32_t round = 0; round < 20; ++round) {
        const std::vector<MV2Object*> pirates = MissionObjectsOfType(56);
        for (MV2Object* p : pirates)
            r.h.Kill(p, r.h.Player());
        killed += pirates.size();
        r.h.Step(300);
    }
    EXPECT_EQ(killed, 9u);
    EXPECT_TRUE(MissionObjectsOfType(56).empty());
}

TEST(Mission6Test, OnlyTheStartOpensTheConsole) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(Convoy()));
    gMV2GameState.requested = 0;
    MV2MissionRestart(6);
    EXPECT_NE(gMV2GameState.requested, 9);
    MV2CallMissionScript(6, nullptr, kMV2ScriptStart, 0, 0);
    EXPECT_EQ(gMV2GameState.requested, 9);
    EXPECT_EQ(MV2ScriptPlacesPlayer, 1);
    gMV2GameState.requested = 0;
    MV2ScriptPlacesPlayer = 0;
}
