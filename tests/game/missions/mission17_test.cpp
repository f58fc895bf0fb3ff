#include <gtest/gtest.h>

#include <cmath>

#include "game/frontend/hud.h"
#include "game/missions/mission17.h"
#include "game/missions/missions.h"
#include "game/missions/stone.h"
#include "game/player/player.h"
#include "shell/gamestate.h"
#include "tests/game/missions/mission_objects.h"
#include "tests/support/mission_harness.h"

namespace {

const MissionType kStoneType{190, 100.0f, 0, 0, MV2StoneHandler, uint32_t(sizeof(MV2StoneData)), true};

// The whole track in a line, 10 units apart; stones 08, 01 and 02 on it; racers' marks.
MissionLevel RaceTrack() {
    MissionLevel level;
    level.types = {{55}, kStoneType};
    AddCityObjects(level);
    AddMiningObjects(level);
    for (size_t i = 0; i < size_t(kMV2RaceTrackLength); ++i) {
        const uint8_t n = kMV2RaceTrack[i];
        const bool stone = n == 0x08 || n == 0x01 || n == 0x02;
        level.objects.push_back({0x250000u + n, stone ? 190 : 55, 20.0f * float(i % 10),
                                 5.0f + 10.0f * float(i / 10), 300});
    }
    level.objects.push_back({0x250019, 55, 40, 5, 290});
    level.objects.push_back({0x25001A, 55, 0, 5, 290});
    level.objects.push_back({0x25001B, 55, 2, 5, 290});
    return level;
}

// From the set-up to the released start: briefing, console, cut-scene, countdown.
void StartRace(MissionHarness& h) {
    MV2MissionRestart(17);
    h.Notify(13, nullptr, 0);
    h.Notify(8, nullptr, 0);
    h.Notify(4, nullptr, 0);
    h.Notify(17, nullptr, 0x26FFFF);
    h.Notify(19, nullptr, 1256);
    h.Step(10);
}

MV2Object* Objective() {
    MV2Object* o = nullptr;
    uint32_t handle = 0;
    MV2HudGetObjective(&o, &handle);
    return o;
}

void Upright(MV2Object* stone) {
    stone->matrix->at = {0, 0.985f, 0.172f};
    stone->matrix->up = {0, -0.172f, 0.985f};
    stone->matrix->right = {1, 0, 0};
}

} // namespace

TEST(Mission17Test, ThePlayerFollowingTheTrackToTheFinishEndsTheRace) {
    MissionHarness h;
    ASSERT_TRUE(h.Load(RaceTrack()));
    StartRace(h);
    h.ClearLog();
    for (int32_t i = 0; i < 400 && h.Log("restart").empty(); ++i) {
        if (MV2Object* next = Objective()) MissionMoveTo(h, h.Player(), next->matrix->pos);
        h.Step(250);
    }
    std::vector<MissionLogEntry> shown = h.Log("shown");
    int32_t finished = 0;
    for (const MissionLogEntry& e : shown)
        finished += e.value == 1266;
    EXPECT_EQ(finished, 1);
    ASSERT_FALSE(h.Log("restart").empty());
    EXPECT_EQ(h.Log("restart").back().value, 18);
}

TEST(Mission17Test, ASettledStoneAdvancesOnlyThePlayersCurrentCheckpoint) {
    for (const bool current : {false, true}) {
        MissionHarness h;
        ASSERT_TRUE(h.Load(RaceTrack()));
        StartRace(h);
        MV2Object* stone = h.Find(0x250008);
        ASSERT_NE(stone, nullptr);
        if (current) // the player passes 05, 1E, 1F, 20 and 06 to reach the stone
            for (int32_t i = 0; i < 5; ++i) {
                MissionMoveTo(h, h.Player(), Objective()->matrix->pos);
                h.Step(250);
            }
        MV2Object* before = Objective();
        MissionMoveTo(h, h.Player(), {500, 50, 500});
        Upright(stone);
        h.Send(stone, 2, 0, 0); // the stone's update
        h.Step(250);
        if (current) {
            EXPECT_EQ(before, stone);
            EXPECT_EQ(Objective(), h.Find(0x250007)) << std::hex << (Objective() ? Objective()->scriptId : 0);
        } else {
            EXPECT_EQ(Objective(), before);
        }
    }
}

TEST(StoneTest, ThreeStonesKeepTheirOwnPlacesAndSettleWhenUpright) {
    MissionHarness h;
    MissionLevel level;
    level.types = {kStoneType};
    AddCityObjects(level);
    AddMiningObjects(level);
    AddCityObjects(level);
    AddMiningObjects(level);
    level.objects.insert(level.objects.end(), {{0x30001, 190, 10, 5, 10}, {0x30002, 190, 20, 6, 30}, {0x30003, 190, 40, 7, 5}});
    ASSERT_TRUE(h.Load(level));
    static int32_t settled[3];
    settled[0] = settled[1] = settled[2] = 0;
    MV2Object* stones[3] = {h.Find(0x30001), h.Find(0x30002), h.Find(0x30003)};
    for (int32_t i = 0; i < 3; ++i) {
        ASSERT_NE(stones[i], nullptr);
        h.Send(stones[i], 12, 0,
               reinterpret_cast<intptr_t>(+[](MV2Object* s, int32_t) { settled[s->scriptId - 0x30001]++; }));
    }
    const struct {
        TvV3d at, up;
        int32_t settles;
    } kTilts[] = {{{0, 0.985f, 0.172f}, {0, -0.172f, 0.985f}, 1},
                  {{0, 0.97f, 0.243f}, {0, -0.243f, 0.97f}, 0},
                  {{0.6f, 0, 0.8f}, {0, 1, 0}, 0}};
    for (int32_t i = 0; i < 3; ++i) {
        stones[i]->matrix->at = kTilts[i].at;
        stones[i]->matrix->up = kTilts[i].up;
        stones[i]->matrix->right = TvV3dCross(kTilts[i].up, kTilts[i].at);
        stones[i]->matrix->pos = {99, 99, 99}; // pushed away: it returns to its own place
    }
    for (int32_t frame = 0; frame < 3; ++frame)
        for (MV2Object* stone : stones)
            h.Send(stone, 2, 0, 0);
    const TvV3d places[3] = {{10, 5, 10}, {20, 6, 30}, {40, 7, 5}};
    for (int32_t i = 0; i < 3; ++i) {
        const TvV3d& p = stones[i]->matrix->pos;
        EXPECT_FLOAT_EQ(p.x, places[i].x) << i;
        EXPECT_FLOAT_EQ(p.y, places[i].y) << i;
        EXPECT_FLOAT_EQ(p.z, places[i].z) << i;
        EXPECT_EQ(settled[i], kTilts[i].settles) << i;
        EXPECT_FALSE(std::isnan(stones[i]->matrix->at.x));
    }
    // A settled stone stands exactly on the world axes.
    EXPECT_FLOAT_EQ(stones[0]->matrix->up.y, 1.0f);
    EXPECT_FLOAT_EQ(stones[0]->matrix->at.z, 1.0f);
}
